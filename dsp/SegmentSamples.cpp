#include "dsp/SegmentSamples.h"

#include "wave/TWaveData.h"

#include <algorithm>
#include <cmath>
#include <new>

std::int32_t DecodeSample(const TPcmFormat& format, const std::uint8_t* b)
{
    switch (format.BytesPerSample) {
    case 1:
        return b[0]; // unsigned, 0..255
    case 2:
        return static_cast<std::int16_t>(b[0] | (b[1] << 8));
    case 3:
        return format.SignExtend24(static_cast<DWORD>(b[0] | (b[1] << 8) | (b[2] << 16)));
    default:
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                                         (static_cast<std::uint32_t>(b[2]) << 16) |
                                         (static_cast<std::uint32_t>(b[3]) << 24));
    }
}

namespace {

// The width is fixed per loop so that the decoding is a few instructions per sample.
template <int Bytes>
void DecodeLoop(const TPcmFormat& format, const std::uint8_t* b, std::size_t count, float* out)
{
    const double zero = format.ZeroValue;
    for (std::size_t i = 0; i < count; ++i, b += Bytes) {
        std::int32_t raw;
        if constexpr (Bytes == 1)
            raw = b[0];
        else if constexpr (Bytes == 2)
            raw = static_cast<std::int16_t>(b[0] | (b[1] << 8));
        else if constexpr (Bytes == 3)
            // Sign-extended by shifts: a branch on the sign bit mispredicts on every zero crossing.
            raw = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0] | (b[1] << 8) | (b[2] << 16)) << 8) >> 8;
        else
            raw = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                                            (static_cast<std::uint32_t>(b[2]) << 16) |
                                            (static_cast<std::uint32_t>(b[3]) << 24));
        out[i] = static_cast<float>(static_cast<double>(raw) - zero);
    }
}

} // namespace

void DecodeValues(const TPcmFormat& format, const std::uint8_t* bytes, std::size_t count, float* out)
{
    switch (format.BytesPerSample) {
    case 1:
        DecodeLoop<1>(format, bytes, count, out);
        break;
    case 2:
        DecodeLoop<2>(format, bytes, count, out);
        break;
    case 3:
        DecodeLoop<3>(format, bytes, count, out);
        break;
    default:
        DecodeLoop<4>(format, bytes, count, out);
        break;
    }
}

void EncodeSample(const TPcmFormat& format, std::int32_t value, std::uint8_t* bytes)
{
    const DWORD u = format.BytesPerSample == 3 ? format.To24Bit(value) : static_cast<DWORD>(value);
    for (int b = 0; b < format.BytesPerSample; ++b)
        bytes[b] = static_cast<std::uint8_t>(u >> (8 * b));
}

std::int32_t SampleFromValue(const TPcmFormat& format, double value)
{
    if (std::isnan(value))
        value = 0.0;
    const double v = std::trunc(value) + format.ZeroValue;
    return static_cast<std::int32_t>(
        std::clamp(v, static_cast<double>(format.MinValue), static_cast<double>(format.MaxValue)));
}

bool ReadSegmentSamples(TWaveData& wave, DWORD first, int channel, std::span<double> out)
{
    std::fill(out.begin(), out.end(), 0.0);
    const DWORD length = wave.GetLength();
    if (first >= length || out.empty())
        return false;
    // The wave refuses a read that runs past its end; read what is there.
    const DWORD count = static_cast<DWORD>(std::min<std::uint64_t>(out.size(), length - first));
    const TPcmFormat format = wave.GetFormat();
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(count) * format.BytesPerSample);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!wave.ReadSamples(bytes.data(), first, count, channel))
        return false;
    const double zero = wave.GetZeroValue();
    for (DWORD i = 0; i < count; ++i)
        out[i] = DecodeSample(format, bytes.data() + static_cast<std::size_t>(i) * format.BytesPerSample) - zero;
    return true;
}

bool WriteSegmentSamples(TWaveData& wave, DWORD first, int channel, std::span<const double> values)
{
    if (values.empty())
        return true;
    const TPcmFormat format = wave.GetFormat();
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(values.size() * format.BytesPerSample);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        EncodeSample(format, SampleFromValue(format, values[i]), bytes.data() + i * format.BytesPerSample);
    return wave.WriteSamples(bytes.data(), first, static_cast<DWORD>(values.size()), channel);
}
