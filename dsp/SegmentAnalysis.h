// The arithmetic of the analyses of a selected time segment: block counts of a segment
// average, the zero-padded frame of a short segment, the Hilbert envelope, the Schroeder
// backward integration, RMS level and crest factor, and the texts that report them. The
// frame's commands read the wave file, drive the plots and call these.
#pragma once

#include "dsp/SegmentProgress.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct ChannelCalibration;

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

// Replaces the samples (relative to the zero value) by their Hilbert envelope, the modulus
// of the analytic signal. Lengths that are no power of two are padded with silence for the
// transform; the padding's results are dropped. False when the work memory can't be had.
bool HilbertEnvelope(std::span<double> samples);

// The envelope of a whole segment in pieces of 8192 samples, so a long segment can be
// cancelled between pieces; what is left after the whole pieces (also after a cancel) is
// done as one shorter piece. False when cancelled or out of memory.
bool SegmentHilbertEnvelope(std::span<double> samples, const SegmentProgress& hooks);
constexpr std::size_t kHilbertPiece = 8192;

// Schroeder's backward integration of |x|, scaled so that the start of the curve is full
// scale (maximum - zero value): each sample becomes the sum of |x| from it to the end.
// False when the segment holds nothing but silence.
bool BackwardIntegrate(std::span<double> samples, double fullScale);

// RMS of a segment from its mean square (0 for a mean square not above 0).
double RmsFromMeanSquare(double meanSquare);

struct CrestFactor {
    double crest = 0.0; // peak / rms, 0 without rms
    double db = -999.9; // 20 log10(crest); the "no level" value without rms
};
CrestFactor ComputeCrestFactor(double maximum, double minimum, double rms);

// The labels of the RMS report for a channel's calibration record.
void SegmentLevelLabels(const ChannelCalibration& cal, std::string& linear, std::string& log);

std::string FormatRmsLevelMessage(double rms, double db, const std::string& linear, const std::string& log);
std::string FormatCrestFactorMessage(const CrestFactor& c);
std::string FormatQualityFactorMessage(double peakHz, double bandwidthHz, double q);
