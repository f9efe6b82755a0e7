#include "dsp/ChannelCalibration.h"

#include <cstdio>

namespace {

// Little-endian field writers and readers over the record's byte image.
void PutU32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}
void PutU16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutF32(std::uint8_t* p, float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    PutU32(p, bits);
}
std::uint32_t GetU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t GetU16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
float GetF32(const std::uint8_t* p)
{
    std::uint32_t bits = GetU32(p);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}
// A text field read from foreign bytes keeps its bytes but always ends in a zero.
void GetText(char* field, std::size_t size, const std::uint8_t* p)
{
    std::memcpy(field, p, size);
    field[size - 1] = '\0';
}

} // namespace

void ChannelCalibration::SetDefaults(int channel)
{
    Clear();
    IsEnabled = 1;
    RefLevel = 1.0f;
    RefType = 1;
    RefUnits = kUnitVolts;
    std::snprintf(LabelLinear, sizeof LabelLinear, "%s", "Volts rms");
    std::snprintf(LabelLog, sizeof LabelLog, "%s", "dBV rms");
    LabelType = 1;
    PctFullScale = 0.0f;
    DTGain = 1.0f;
    CalRatio = 10.0f / DTGain;
    std::snprintf(ChannelName, sizeof ChannelName, "Channel %d", channel);
    CalCreateMode = 0;
    TransducerSensitivityVolts = 0.1f;
    MeasuredInputVoltage = 0.1f;
    std::snprintf(Filename, sizeof Filename, "%s", "Volts");
    DTCalVersion = 1000;
    RefOffset = 0.0f;
}

void ChannelCalibration::WriteToBytes(std::span<std::uint8_t, kSize> out) const
{
    std::uint8_t* p = out.data();
    std::memset(p, 0, kSize);
    PutU32(p + 0, IsEnabled);
    PutF32(p + 4, RefLevel);
    PutU32(p + 8, RefType);
    PutU32(p + 12, RefUnits);
    std::memcpy(p + 16, LabelLinear, 60);
    std::memcpy(p + 76, LabelLog, 60);
    PutU32(p + 136, LabelType);
    PutF32(p + 140, PctFullScale);
    PutF32(p + 144, CalRatio);
    PutU32(p + 148, ConversionType);
    PutU32(p + 152, IntegrationType);
    std::memcpy(p + 156, ChannelName, 40);
    PutU16(p + 196, CalCreateMode);
    PutF32(p + 198, TransducerSensitivityVolts);
    PutF32(p + 202, MeasuredInputVoltage);
    std::memcpy(p + 206, Filename, 256);
    PutF32(p + 462, DTGain);
    PutU16(p + 466, DTCalVersion);
    PutF32(p + 468, RefOffset);
    std::memcpy(p + 472, Reserved, sizeof Reserved);
}

bool ChannelCalibration::ReadFromBytes(std::span<const std::uint8_t, kSize> in)
{
    const std::uint8_t* p = in.data();
    IsEnabled = GetU32(p + 0);
    RefLevel = GetF32(p + 4);
    RefType = GetU32(p + 8);
    RefUnits = GetU32(p + 12);
    GetText(LabelLinear, 60, p + 16);
    GetText(LabelLog, 60, p + 76);
    LabelType = GetU32(p + 136);
    PctFullScale = GetF32(p + 140);
    CalRatio = GetF32(p + 144);
    ConversionType = GetU32(p + 148);
    IntegrationType = GetU32(p + 152);
    GetText(ChannelName, 40, p + 156);
    CalCreateMode = GetU16(p + 196);
    TransducerSensitivityVolts = GetF32(p + 198);
    MeasuredInputVoltage = GetF32(p + 202);
    GetText(Filename, 256, p + 206);
    DTGain = GetF32(p + 462);
    DTCalVersion = GetU16(p + 466);
    RefOffset = GetF32(p + 468);
    std::memcpy(Reserved, p + 472, sizeof Reserved);
    return true;
}
