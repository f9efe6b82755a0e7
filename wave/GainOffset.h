// The sample processing of the Edit commands Gain Adjust, DC Offset and Dynamic DC Offset:
// the selected range of one channel of a wave file is read into a sample buffer, changed
// sample by sample, and written back, after one level of undo has been saved. The first
// sample that would reach the sampling range's limit asks once whether to go on and clip.
//
// The frame's command handlers run the parameter dialogs, then call these with a progress
// callback connected to their Esc-cancel loop. User-interface thread only.
#pragma once

#include "records/ChannelCalibration.h"
#include "platform/core/WinTypes.h"
#include "records/TPcmFormat.h"

#include <cstdint>
#include <functional>
#include <string>

class TWaveFile;

// The commands' last values, kept for the life of the process (never written to a file).
struct GainOffsetValues {
    float Gain = 0.0f;         // dB, a whole number once set
    float Offset = 0.0f;       // in the channel's units, or percent of full scale
    float Cutoff = 10.0f;      // Hz, dynamic DC offset
    std::int32_t Interval = 1; // samples between recalculations of the running mean
};
// The one record the dialogs are handed by address.
GainOffsetValues& RememberedGainOffsetValues();

// Called with the progress in percent (0..99) as the work goes on; returning false stops the
// work (Esc) and leaves the file as it was.
using SampleEditProgress = std::function<bool(int percent)>;

enum class SampleEditResult {
    Unchanged, // an empty range: nothing done, no undo saved
    Done,      // the whole range was processed and written back
    Stopped,   // stopped by the progress callback: the file is unchanged (its undo is saved)
    Refused,   // No at the clipping question: the file is unchanged
    NoMemory,  // the buffer could not be made: the file is unchanged (its undo is saved)
    Failed,    // the undo copy, reading or writing failed: reported; not written back unless writing failed
};

// Frames [first, end) of the file's channel slot. gainDb as accepted by the gain dialog.
SampleEditResult ApplyGain(TWaveFile& file, DWORD first, DWORD end, int channel, float gainDb,
                           const SampleEditProgress& progress = {});
// offsetValue in the calibration's units when it is enabled with a ratio, else percent of
// full scale.
SampleEditResult ApplyDcOffset(TWaveFile& file, DWORD first, DWORD end, int channel, float offsetValue,
                               const ChannelCalibration& calibration, const SampleEditProgress& progress = {});
// Subtracts the mean of a forward-looking window of rate / cutoff samples, recomputed every
// interval samples.
SampleEditResult ApplyDynamicDcOffset(TWaveFile& file, DWORD first, DWORD end, int channel, float cutoff,
                                      std::int32_t interval, const SampleEditProgress& progress = {});

// The DC offset in sample units for a value entered by the user.
double DcOffsetInSampleUnits(float value, const TPcmFormat& format, const ChannelCalibration& calibration);
// The averaging window of the dynamic DC offset, in samples (at least 1).
DWORD DynamicDcWindowLength(DWORD sampleRate, float cutoff);

// The checks of the three dialogs' OK buttons: the message to show, or an empty string when
// the entry is accepted (and stored in *result).
std::string CheckGainEntry(const char* text, float* result);
std::string CheckDcOffsetEntry(const char* text, float* result);
std::string CheckDynamicDcEntries(const char* cutoffText, const char* intervalText, float* cutoff,
                                  std::int32_t* interval);
// The units prompt of the DC offset dialog for a channel's calibration.
const char* DcOffsetPrompt(const ChannelCalibration& calibration);
