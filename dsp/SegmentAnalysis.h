// The analyses of a selected time segment that need no spectrum engine: block counts of a
// segment average, the zero-padded frame of a short segment, the Hilbert envelope and the
// Schroeder backward integration of a segment, RMS level and crest factor, and the texts
// that report them. The frame's commands drive the plots, captions and progress.
#pragma once

#include "dsp/SegmentProgress.h"
#include "platform/core/WinTypes.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct ChannelCalibration;
struct ChannelProcessingSettings;
class TSampleBuffer;
class TWaveData;
class TWaveFile;

// What the user chose when the segment is shorter than one block.
enum SegmentZeroPadChoice : int {
    SEGMENT_ZEROPAD_CANCEL = 2,
    SEGMENT_ZEROPAD = 2164,
    SEGMENT_INCLUDE_NEIGHBOURS = 2166,
};

// Blocks of a segment average over M frames with blocks of L frames advanced by H frames,
// and the frames left after them.
struct SegmentAveragePlan {
    std::int64_t blocks = 0;
    std::int64_t remainder = 0;
    // Whether a last block ends exactly at the segment's end (after whole blocks), or one
    // short block is padded or widened (no whole block).
    bool finalBlock = false;
};
SegmentAveragePlan PlanSegmentAverage(std::int64_t frames, std::int64_t blockFrames, std::int64_t hopFrames);

// The first frame of a block of L frames centred on a short segment [start, start + M),
// not before the file's start.
std::int64_t CentredBlockStart(std::int64_t startFrame, std::int64_t frames, std::int64_t blockFrames);

// A frame of n samples holding the short segment's samples in its middle and silence on
// both sides.
std::vector<float> ZeroPaddedFrame(std::span<const float> samples, std::size_t n);

// How a spectrogram or 3-D surface history of `lines` lines is rebuilt over a segment of an
// input channel. The history times are block middles: the first line's middle is at the
// segment's start and the last line's at its end (no earlier than half a block, where the
// first block begins at the file's start, and no later than the last whole block's middle),
// so a rebuild of what a rebuild drew draws the same lines. Each line is the average of its own blocks only: up to the channel's averaging count
// of blocks `hop` apart, as many as fit in the line's share of the segment (at least one),
// centred on its middle. When the lines are closer than a frame, they are one frame apart
// and `resolutionNote` is set (the note "Note: You have reached the maximum time resolution
// ..." is due).
struct SegmentRebuildPlan {
    bool run = false;       // false: nothing to rebuild (an empty segment or no lines)
    double firstMiddle = 0; // frame of the first line's middle
    double step = 1;        // frames between lines' middles
    DWORD blockFrames = 0;
    DWORD hopFrames = 1;
    int blocksPerLine = 1;
    bool resolutionNote = false;
    // Frame of line i's middle, and of its first block's first frame (not before 0).
    DWORD LineMiddle(int i) const;
    DWORD FirstBlockOfLine(int i) const;
};
SegmentRebuildPlan PlanSegmentRebuild(const TWaveData& wave, float start, float end, DWORD blockFrames, DWORD hopFrames,
                                      int averageBlocks, int lines);
// The history line that rebuild step i fills: a scrolling spectrogram (scroll type 0) fills
// from the last line back, so the newest block lands at the entry edge; a sweeping one (1)
// from the first on; any other value fills line 0.
int SegmentRebuildLine(int step, int lines, int scrollType);

// The computed signals of the time-series plot: the Hilbert envelope and the Schroeder
// backward integration of a segment.
enum class SegmentSignal { Hilbert, Schroeder };
constexpr DWORD kHilbertPiece = 8192;

// A new sample buffer holding the signal computed from frames [first, end) of a channel of
// the wave, in the channel's format (its rate times its decimation ratio, as the plot reads
// the channel's computed signals) with the channel's calibration. The envelope is taken in
// pieces of 8192 samples, so that a cancel can come between pieces; the rest after the
// whole pieces (also after a cancel) is one shorter piece. Null for an empty segment, or
// after "Hilbert Transform - insufficient memory available" / "Schroeder Integration -
// insufficient memory available" when the buffer can't be had.
std::unique_ptr<TSampleBuffer> ComputeSegmentSignal(SegmentSignal kind, TWaveData& wave, int fileChannel, DWORD first,
                                                    DWORD end, const ChannelProcessingSettings& processing,
                                                    const ChannelCalibration& calibration,
                                                    const SegmentProgress& hooks);

// The same transform applied again to a computed signal already in the buffer: the envelope
// of its first FFTsize samples, or the integration of all of them.
bool ApplySegmentSignal(SegmentSignal kind, TSampleBuffer& buffer, DWORD fftSize);

// The envelope of the first `count` samples in pieces; false when cancelled or refused.
bool HilbertInPieces(TSampleBuffer& buffer, DWORD count, const SegmentProgress& hooks);

// RMS of a segment from its mean square (0 for a mean square not above 0).
double RmsFromMeanSquare(double meanSquare);

struct CrestFactor {
    double crest = 0.0; // peak / rms, 0 without rms
    double db = -999.9; // 20 log10(crest); the "no level" value without rms
};
CrestFactor ComputeCrestFactor(double maximum, double minimum, double rms);

// The labels of the RMS report for a channel's calibration record.
void SegmentLevelLabels(const ChannelCalibration& cal, std::string& linear, std::string& log);

// The reports of the RMS level and the crest factor of [from, to) seconds of a channel of a
// wave file (calibrated values), as the time-series plot's commands show them.
std::string SegmentRmsLevelReport(TWaveFile& wave, int fileChannel, float from, float to,
                                  const ChannelCalibration& calibration);
std::string SegmentCrestFactorReport(TWaveFile& wave, int fileChannel, float from, float to);

std::string FormatRmsLevelMessage(double rms, double db, const std::string& linear, const std::string& log);
std::string FormatCrestFactorMessage(const CrestFactor& c);
std::string FormatQualityFactorMessage(double peakHz, double bandwidthHz, double q);
