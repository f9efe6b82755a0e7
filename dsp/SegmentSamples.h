// Moving one channel of a wave's frames to and from plain numbers relative to the zero
// value, for the analyses and the filter that work on a stretch of a wave file.
#pragma once

#include "platform/core/WinTypes.h"
#include "records/TPcmFormat.h"

#include <cstdint>
#include <span>
#include <vector>

class TWaveData;

// Reads out.size() frames of a channel from frame `first` on. Frames at or past the wave's
// length read as silence (0). False, with out all 0, when not one frame could be read.
bool ReadSegmentSamples(TWaveData& wave, DWORD first, int channel, std::span<double> out);

// Writes values (relative to the zero value, clipped to the format's range) to a channel
// from frame `first` on.
bool WriteSegmentSamples(TWaveData& wave, DWORD first, int channel, std::span<const double> values);

// A value relative to the zero value as a stored sample: truncated, clipped to the format's
// range (a store keeps only the low bytes of a value beyond it); not a number is silence.
std::int32_t SampleFromValue(const TPcmFormat& format, double value);

// count packed samples as floats relative to the zero value, exactly as
// TSampleBuffer::GetSample(i, false) gives them.
void DecodeValues(const TPcmFormat& format, const std::uint8_t* bytes, std::size_t count, float* out);

// The packed little-endian sample bytes of a format, both ways.
std::int32_t DecodeSample(const TPcmFormat& format, const std::uint8_t* bytes);
void EncodeSample(const TPcmFormat& format, std::int32_t value, std::uint8_t* bytes);
