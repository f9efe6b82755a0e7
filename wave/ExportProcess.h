// The conversion behind File > Export: the samples of a channel's wave file, from its first
// frame to its end frame, written without any header as one number per text line or as a run
// of binary numbers (the import's six types).
//
// The progress dialog drives it: Start when it opens, then Step from its 50 ms timer, one block
// of up to 8192 samples a call, until Step returns false; Cancel when the user gives up. The
// output is written to a temporary file beside it and renamed into place at the end, so a
// failed or cancelled export leaves whatever was there before. Values beyond a narrower output
// type are limited to its range. User-interface thread only; the wave is not owned.
#pragma once

#include "platform/core/WinTypes.h"
#include "wave/ExportSettings.h"

#include <cstdio>
#include <memory>
#include <string>

class TSampleBuffer;
class TWaveFile;

class TExportProcess {
public:
    static constexpr DWORD kBlockFrames = 8192;

    enum class State { Created, Exporting, Done, Failed, Cancelled };

    TExportProcess(TWaveFile* wave, std::string output, const ExportSettings& settings);
    ~TExportProcess();
    TExportProcess(const TExportProcess&) = delete;
    TExportProcess& operator=(const TExportProcess&) = delete;

    // Opens the output. False (after a message) when nothing can be exported.
    bool Start();
    // Writes the next block; after the last one puts the output in place. True while more
    // calls are needed.
    bool Step();
    // Stops and removes what was written.
    void Cancel();

    State GetState() const { return state_; }
    int GetProgress() const { return progress_; }
    const char* GetStatusText() const { return "Exporting..."; }
    DWORD GetPosition() const { return position_; }

    // The decimal separator of "ASCII - floating point" text; the system's locale decides by
    // default.
    void SetDecimalSeparator(char separator) { separator_ = separator; }

private:
    bool WriteSample(DWORD index);
    void Fail();
    void Discard();

    TWaveFile* wave_;
    std::string output_;
    std::string temp_;
    ExportSettings settings_;
    std::unique_ptr<TSampleBuffer> buffer_;
    std::FILE* file_ = nullptr;
    State state_ = State::Created;
    int progress_ = 0;
    DWORD position_ = 0;
    DWORD end_ = 0;
    DWORD total_ = 0;
    char separator_;
};
