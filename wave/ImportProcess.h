// The conversion behind File > Import: a file of raw samples (a tab-separated text column or
// headerless binary numbers) becomes a mono 16- or 24-bit wave file, scaled into the sample
// range and, when asked, calibrated to engineering units.
//
// The progress dialog drives it: Start when it opens (examines the whole source), then Step
// from its 50 ms timer, one block of up to 8192 samples a call, until Step returns false;
// Cancel when the user gives up. The wave is built in a temporary working copy and only the
// final save puts it at the destination, so a failed or cancelled import leaves whatever was
// at the destination as it was. Every failure is reported in a message box at once.
// User-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"
#include "wave/ImportSettings.h"
#include "records/TPcmFormat.h"
#include "wave/WaveCalibrationBlock.h"

#include <cstdio>
#include <memory>
#include <string>

class TWaveData;
class TWaveFile;

class TImportProcess {
public:
    static constexpr DWORD kBlockFrames = 8192;
    static constexpr std::size_t kLineLength = 2048; // longest text line kept; the rest is skipped

    enum class State { Created, Importing, Done, Failed, Cancelled };

    // tempDir holds the working copy until the final save (empty: the system's temporary folder).
    TImportProcess(std::string source, std::string destination, const ImportSettings& settings,
                   const std::string& tempDir);
    ~TImportProcess();
    TImportProcess(const TImportProcess&) = delete;
    TImportProcess& operator=(const TImportProcess&) = delete;

    // Opens the source, skips its header, scans it for the count and the value range, works out
    // scale, offset and calibration. False (after a message) when nothing can be imported.
    bool Start();
    // Converts and appends the next block; after the last block saves the wave at the
    // destination. True while more calls are needed.
    bool Step();
    // Stops, closes the source and drops the working copy.
    void Cancel();

    State GetState() const { return state_; }
    // 0..100.
    int GetProgress() const { return progress_; }
    const char* GetStatusText() const { return status_; }
    DWORD GetCount() const { return count_; }
    DWORD GetDone() const { return done_; }
    double GetScale() const { return scale_; }
    double GetOffset() const { return offset_; }
    const WaveCalibrationBlock& GetCalibration() const { return calibration_; }
    const TPcmFormat& GetFormat() const { return format_; }

    // The sample a source value becomes: (v - offset) x scale + zero, truncated toward zero and
    // limited to the sample range.
    std::int32_t Convert(double value) const;

private:
    enum class Read { Value, End, Malformed, Truncated };

    bool SkipHeader();
    bool Scan();
    void MakeCalibration();
    Read ReadValue(double& value);
    Read ReadTextValue(double& value);
    Read ReadBinaryValue(double& value);
    // Reads one line into line_; false at the end of the file.
    bool ReadLine();
    void Fail();
    void CloseSource();
    void ReportMalformed(Read why);

    std::string source_;
    std::string destination_;
    ImportSettings settings_;
    TPcmFormat format_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<TWaveFile> wave_;
    std::unique_ptr<TWaveData> block_;
    WaveCalibrationBlock calibration_;
    State state_ = State::Created;
    const char* status_ = "";
    int progress_ = 0;
    DWORD count_ = 0;
    DWORD done_ = 0;
    double scale_ = 1.0;
    double offset_ = 0.0;
    std::string line_;
    unsigned long long lineNumber_ = 0;  // of the line last read, for messages
    unsigned long long valueNumber_ = 0; // of the value last read, for messages
};
