// The layout of PCM samples: channels, rate, sample width and the sample limits that every
// level computation reads. A plain value type of six 32-bit words, copied whole and compared
// byte for byte inside the settings records, so it carries no padding of undefined content.
#pragma once

#include "platform/core/WinTypes.h"

#include <cstdint>

struct TPcmFormat {
    WORD Channels = 1;        // interleaved channels per frame
    WORD Reserved = 0;        // keeps the rate on a 4-byte boundary with defined content
    DWORD SampleRate = 44100; // frames per second
    WORD BytesPerSample = 2;  // 1, 2, 3 or 4
    WORD BitsPerSample = 16;  // derived
    std::int32_t MaxValue = 32767;  // derived
    std::int32_t MinValue = -32767; // derived: the negated maximum, so full scale is symmetric
    std::int32_t ZeroValue = 0;     // derived: silence (127 for unsigned 8-bit)

    TPcmFormat() { Set(44100, 1, 2); }
    TPcmFormat(DWORD rate, WORD channels, WORD bytes) { Set(rate, channels, bytes); }

    // Stores rate, channels and width after defaulting (0 Hz -> 44100, 0 channels -> 1,
    // a width of 0 or above 4 -> 2), then derives bits and limits.
    void Set(DWORD rate, WORD channels, WORD bytes)
    {
        if (rate == 0)
            rate = 44100;
        if (channels == 0)
            channels = 1;
        if (bytes == 0 || bytes > 4)
            bytes = 2;
        SampleRate = rate;
        Channels = channels;
        BytesPerSample = bytes;
        Reserved = 0;
        BitsPerSample = static_cast<WORD>(bytes * 8);
        switch (bytes) {
        case 1:
            MaxValue = 255;
            MinValue = 0;
            ZeroValue = 127;
            break;
        case 3:
            MaxValue = 8388607;
            MinValue = -8388607;
            ZeroValue = 0;
            break;
        case 4:
            MaxValue = 2147483647;
            MinValue = -2147483647;
            ZeroValue = 0;
            break;
        default:
            MaxValue = 32767;
            MinValue = -32767;
            ZeroValue = 0;
            break;
        }
    }

    // Same rate, channel count and width; bits and limits are not compared.
    bool Equals(const TPcmFormat& other) const
    {
        return SampleRate == other.SampleRate && Channels == other.Channels &&
               BytesPerSample == other.BytesPerSample;
    }

    // A 3-byte sample read into 32 bits becomes negative when bit 23 is set.
    std::int32_t SignExtend24(DWORD raw) const
    {
        if (BytesPerSample == 3 && (raw & 0x800000u) != 0)
            return static_cast<std::int32_t>(static_cast<std::int64_t>(raw) - 16777216);
        return static_cast<std::int32_t>(raw);
    }

    // A negative value for a 3-byte sample becomes its 24-bit two's complement.
    DWORD To24Bit(std::int32_t value) const
    {
        if (BytesPerSample == 3 && value < 0)
            return static_cast<DWORD>(static_cast<std::int64_t>(value) + 16777216) | 0x800000u;
        return static_cast<DWORD>(value);
    }

    // One stored sample as a value: 8-bit unsigned as stored, 16-bit signed, 24-bit
    // sign-extended, 32-bit signed. Little-endian whatever the machine.
    std::int32_t DecodeSample(const BYTE* p) const
    {
        switch (BytesPerSample) {
        case 1:
            return p[0];
        case 2:
            return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
        case 3:
            return SignExtend24(static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
                                (static_cast<DWORD>(p[2]) << 16));
        default:
            return static_cast<std::int32_t>(static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
                                             (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24));
        }
    }

    // A value stored as one sample, its low BytesPerSample bytes little-endian.
    void EncodeSample(BYTE* p, std::int32_t value) const
    {
        DWORD v = BytesPerSample >= 3 ? To24Bit(value) : static_cast<DWORD>(value);
        for (int i = 0; i < BytesPerSample; ++i)
            p[i] = static_cast<BYTE>(v >> (8 * i));
    }

    DWORD GetSampleRate() const { return SampleRate; }
    WORD GetChannels() const { return Channels; }
    WORD GetBytesPerSample() const { return BytesPerSample; }
    WORD GetBitsPerSample() const { return BitsPerSample; }
    // Full scale used by all level scaling: (maximum - minimum) / 2, in floating point.
    double FullScale() const { return (static_cast<double>(MaxValue) - MinValue) / 2.0; }
    WORD BlockAlign() const { return static_cast<WORD>(Channels * BytesPerSample); }
};

static_assert(sizeof(TPcmFormat) == 24, "six 32-bit words");
