// The segment analyses that run a channel's spectrum engine: the average spectrum of a
// segment, the spectrum of one block at a time, the inverse transform of the current
// spectrum into a time signal, the cepstrum, and the quality factor of a peak. The frame's
// commands own the objects, the plots, the caption and the progress; these do the work.
//
// User-interface thread only, as the engines they drive.
#pragma once

#include "dsp/SegmentAnalysis.h"
#include "dsp/SegmentProgress.h"
#include "platform/core/WinTypes.h"

#include <functional>
#include <optional>
#include <string>

class SpectralData;
class TSampleBuffer;
class TSmoothing;
class TWaveData;
struct ChannelProcessingSettings;

// Processes one block into the engine: reads the work block's length of frames of a channel
// at `frame` (frames past the wave's end read as silence), decimates, stores the engine's
// FFTsize samples relative to the zero value, windows, transforms, averages and holds peaks.
// The work block is in the wave's sample format with the channel's decimation. False, with
// nothing transformed, when the wave cannot be read.
[[nodiscard]] bool ProcessSegmentBlock(TWaveData& wave, int fileChannel, DWORD frame, TSampleBuffer& work, SpectralData& engine,
                         const TSmoothing& window);

// Line i of a history rebuild into the engine: its averages reset, then its own blocks of the
// plan processed. False when the wave cannot be read.
[[nodiscard]] bool ProcessRebuildLine(TWaveData& wave, int fileChannel, const SegmentRebuildPlan& plan, int line,
                                      TSampleBuffer& work, SpectralData& engine, const TSmoothing& window);

enum class SegmentAverageResult {
    Nothing,   // an empty segment
    Cancelled, // the user declined the zero-padding question
    Done,      // averaged
    Stopped,   // cut short by Esc: the averages are reset, so nothing shows as the segment's
    ReadFailed, // the wave could not be read: reported, and the average is not valid
};

// The average spectrum of frames [startFrame, endFrame): whole blocks of the work block's
// length L advanced by hopFrames, then one block that ends at the segment's end. A segment
// shorter than L asks `askZeroPad` (SEGMENT_ZEROPAD, SEGMENT_INCLUDE_NEIGHBOURS or
// SEGMENT_ZEROPAD_CANCEL). The engine averages "forever" meanwhile and gets back the
// channel's averaging afterwards.
SegmentAverageResult ComputeSegmentAverage(TWaveData& wave, int fileChannel, DWORD startFrame, DWORD endFrame,
                                           DWORD hopFrames, TSampleBuffer& work, SpectralData& engine,
                                           const TSmoothing& window, const ChannelProcessingSettings& processing,
                                           const std::function<int()>& askZeroPad, const SegmentProgress& hooks);

// Processes the block of a segment of `frames` frames at `startFrame` that is shorter than one
// block, as the user chose: SEGMENT_INCLUDE_NEIGHBOURS reads the block centred on the segment
// with the samples on either side; otherwise the segment's samples are centred in a frame of
// silence. The work block keeps the frame the engine took. False when the wave cannot be read
// (reported).
[[nodiscard]] bool ProcessShortSegmentBlock(TWaveData& wave, int fileChannel, DWORD startFrame, DWORD frames,
                                            int choice, TSampleBuffer& work, SpectralData& engine,
                                            const TSmoothing& window);

// The spectrum of the block centred on `seconds` (not starting before the wave's start).
// Returns the block's start in seconds, where the caller leaves the wave's position; nothing
// when the wave cannot be read (reported).
std::optional<float> ComputeSegmentSpectrumAtTime(TWaveData& wave, int fileChannel, float seconds, TSampleBuffer& work,
                                   SpectralData& engine, const TSmoothing& window,
                                   const ChannelProcessingSettings& processing);

// The current averaged spectrum transformed back into the first FFTsize samples of the
// buffer, with the window taken out again where it is not (nearly) zero.
bool InverseSpectrumToSamples(SpectralData& engine, const TSmoothing& window, TSampleBuffer& buffer);

// The cepstrum: the displayed levels of the current spectrum, as a time frame, transformed
// once more; its bins are quefrencies (bin k is k samples of delay).
void ComputeSpectrumCepstrum(SpectralData& engine, const TSmoothing& window);

// The text of the quality-factor report over f1..f2 of the averaged or the held spectrum.
std::string QualityFactorReport(const SpectralData& engine, float f1, float f2, bool fromPeakHold);
