// TFilter: the linear-phase FIR filter of Edit/Filter. It designs one odd-length filter from a
// FilterSettings record and runs it over a stretch of a wave file's first channel, one block
// of frames at a time, carrying its input history so the stretch is filtered as one stream.
//
// The output is aligned with the input: the filter's (n - 1) / 2 samples of delay are taken
// back by writing each block's results that many frames earlier, and Finish() writes the
// stretch's last frames (filtered as if silence followed, as silence is assumed before the
// stretch). Results are clipped to the format's sample range.
//
// One filter run on the user-interface thread owns the object; no locking.
#pragma once

#include "dsp/FilterSettings.h"
#include "records/TPcmFormat.h"

#include <cstdint>
#include <span>
#include <vector>

class TWaveData;

class TFilter {
public:
    static constexpr int MinTaps = 39;
    static constexpr int MaxTaps = 999;

    // Designs at once. A design that cannot be made (band edges outside 0 to half the sample
    // rate, an unreadable response table) has shown its message and sets the error flag.
    TFilter(TPcmFormat format, FilterSettings settings);

    bool GetError() const { return error_; }

    void SetGain(float dB);
    float GetGainDb() const { return gainDb_; }
    float GetLinearGain() const { return linearGain_; }

    int GetTapCount() const { return taps_; }
    const std::vector<float>& GetCoefficients() const { return coefficients_; }
    const TPcmFormat& GetFormat() const { return format_; }

    // Runs the design for the settings' kind; false (after a message) when it fails.
    bool Design();

    // Filters frames startFrame .. startFrame + count - 1 of channel 0 in place. Outputs land
    // (n - 1) / 2 frames earlier (never before the stretch's first frame). A block that does
    // not follow on from the previous one starts a new stretch after finishing the old one.
    // False when nothing was done: no design, no wave, or the block could not be read.
    // The wave is a TWaveFile in the program (its reads and writes go to the open file).
    bool ApplyBlock(TWaveData* wave, std::uint32_t startFrame, std::int32_t count);
    // Writes the last (n - 1) / 2 filtered frames of the stretch. False without a stretch or
    // when the write fails.
    bool Finish(TWaveData* wave);

    // The stream on plain samples (relative to the zero value). Process() takes count inputs
    // and gives count outputs, the first belonging to the input (n - 1) / 2 samples before
    // this call's first; Flush() gives the (n - 1) / 2 outputs still owed and clears the
    // history.
    void Process(std::span<const double> in, std::span<double> out);
    void Flush(std::span<double> out);
    void ClearHistory();

private:
    bool DesignWindowedSinc();
    bool DesignFromResponseFile();
    bool WriteOutputs(TWaveData* wave, std::int64_t firstFrame, std::span<const double> out);

    bool error_ = false;
    TPcmFormat format_;
    FilterSettings settings_;
    int taps_ = 0;
    float gainDb_ = 0.0f;
    float linearGain_ = 1.0f;
    std::vector<float> coefficients_;
    std::vector<double> history_; // the last n - 1 inputs, times the gain
    std::vector<double> work_;

    // Where the stream stands in the wave: the first frame of the stretch and the frame the
    // next block must start at; -1 when no stretch is under way.
    std::int64_t stretchStart_ = -1;
    std::int64_t nextFrame_ = -1;
};
