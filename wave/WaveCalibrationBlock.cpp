#include "wave/WaveCalibrationBlock.h"

#include <array>
#include <cmath>
#include <cstring>

namespace {

std::uint32_t GetU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

float GetF32(const std::uint8_t* p)
{
    std::uint32_t bits = GetU32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

template <std::size_t N>
void GetText(char (&field)[N], const std::uint8_t* p, std::size_t bytes)
{
    std::memset(field, 0, N);
    std::size_t n = bytes < N ? bytes : N;
    std::memcpy(field, p, n);
    field[N - 1] = '\0';
}

} // namespace

void WaveCalibrationBlock::Clear()
{
    std::memset(static_cast<void*>(this), 0, sizeof *this);
}

void WaveCalibrationBlock::WriteToBytes(std::span<std::uint8_t, kSize> out) const
{
    std::uint8_t* p = out.data();
    std::memset(p, 0, kSize);
    std::memcpy(p, Name, sizeof Name);
    for (int slot = 0; slot < 2; ++slot)
        Channel[slot].WriteToBytes(std::span<std::uint8_t, ChannelCalibration::kSize>(
            p + 260 + slot * ChannelCalibration::kSize, ChannelCalibration::kSize));
    // The reserved tail is written as zero whatever the object holds.
}

void WaveCalibrationBlock::ReadFromBytes(std::span<const std::uint8_t, kSize> in)
{
    Clear();
    const std::uint8_t* p = in.data();
    GetText(Name, p, sizeof Name);
    for (int slot = 0; slot < 2; ++slot)
        Channel[slot].ReadFromBytes(std::span<const std::uint8_t, ChannelCalibration::kSize>(
            p + 260 + slot * ChannelCalibration::kSize, ChannelCalibration::kSize));
}

void WaveCalibrationBlock::ReadLegacyBytes(std::span<const std::uint8_t, kLegacySize> in)
{
    const std::uint8_t* p = in.data();
    ChannelCalibration a = Channel[0];
    a.IsEnabled = GetU32(p + 0);
    GetText(Name, p + 4, 260);
    a.RefLevel = GetF32(p + 264);
    a.RefType = GetU32(p + 268);
    a.RefUnits = GetU32(p + 272);
    GetText(a.LabelLinear, p + 276, 60);
    GetText(a.LabelLog, p + 336, 60);
    a.LabelType = GetU32(p + 396);
    a.PctFullScale = GetF32(p + 400);
    a.CalRatio = GetF32(p + 408);
    a.ConversionType = GetU32(p + 416);
    a.IntegrationType = GetU32(p + 420);
    GetText(a.ChannelName, p + 424, 40);
    a.DTGain = 1.0f;
    a.DTCalVersion = 0;

    ChannelCalibration b = a;
    b.PctFullScale = GetF32(p + 404);
    b.CalRatio = GetF32(p + 412);
    GetText(b.ChannelName, p + 464, 40);
    b.DTGain = 1.0f;
    b.DTCalVersion = 0;

    Channel[0] = a;
    Channel[1] = b;
}

bool WaveCalibrationBlock::SameBytes(const WaveCalibrationBlock& other) const
{
    std::array<std::uint8_t, kSize> a{};
    std::array<std::uint8_t, kSize> b{};
    WriteToBytes(a);
    other.WriteToBytes(b);
    return a == b;
}

bool WaveCalibrationBlock::HoldsUsableValues(int channels) const
{
    // Beyond this a product of two factors would leave the float range.
    constexpr float kLargest = 1e15f;
    for (int slot = 0; slot < 2; ++slot) {
        const ChannelCalibration& c = Channel[slot];
        const float values[] = {c.RefLevel, c.PctFullScale,         c.CalRatio, c.TransducerSensitivityVolts,
                                c.MeasuredInputVoltage, c.DTGain, c.RefOffset};
        for (float v : values)
            if (!std::isfinite(v) || std::fabs(v) > kLargest)
                return false;
        if (c.RefType >= 3 || c.RefUnits >= 17 || c.ConversionType >= 11 || c.IntegrationType >= 3 ||
            c.CalCreateMode >= 4)
            return false;
        // A factor in use that is zero, negative or tiny leaves the channel without levels. The
        // second slot of a mono file is not used: older files may hold anything there.
        if (c.IsEnabled != 0 && (slot == 0 || channels > 1) && !CalibrationFactorUsable(c.CalRatio))
            return false;
    }
    return true;
}
