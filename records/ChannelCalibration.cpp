#include "records/ChannelCalibration.h"

#include "records/CommonRoutines.h"
#include "records/NumberText.h"
#include "records/PathSettings.h"
#include "records/RecordBytes.h"
#include "platform/core/FileSystem.h"
#include "platform/core/MessageBox.h"
#include "platform/core/Profile.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <strings.h>
#include <system_error>

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

// ---------------------------------------------------------------------------------------------
// Factors, calibration files and level units.


namespace {

constexpr double kSqrt2 = 1.4142135623730951;

// The reference level in linear units: dB references of the pressure units become pascals
// (or psi), every other unit is taken as it is.
double LinearReferenceLevel(const ChannelCalibration& r)
{
    double level = r.RefLevel;
    switch (r.RefUnits) {
    case kUnitSplAir:
        return std::pow(10.0, level / 20.0) / 1.0e6 * 20.0;
    case kUnitSplWater:
        return std::pow(10.0, level / 20.0) / 1.0e6;
    case kUnitPsi:
        return std::pow(10.0, level / 20.0) / 1.0e9 * 2.9;
    default:
        return level;
    }
}

float Db20(double x)
{
    // Logarithms of zero (and of negative values, which no level should be) have no level.
    if (!(x > 0.0))
        return kNoLevelDb;
    return static_cast<float>(20.0 * std::log10(x));
}

std::string ReadKey(const char* path, const char* key, const char* def)
{
    char buf[300];
    GetPrivateProfileStringA("Calibration", key, def, buf, sizeof buf, path);
    return buf;
}

float ReadFloatKey(const char* path, const char* key, const char* def)
{
    const float fallback = static_cast<float>(ParseDecimalFloat(def, 0.0));
    return NarrowToFloat(ParseDecimalFloat(ReadKey(path, key, def).c_str(), fallback), fallback);
}

DWORD ReadU32Key(const char* path, const char* key, const char* def)
{
    return static_cast<DWORD>(ParseDecimalInteger(ReadKey(path, key, def).c_str()));
}

// A code among count choices; one that names none (a damaged file, or one from a newer
// version) takes def and is noted in replaced.
DWORD ReadChoiceKey(const char* path, const char* key, DWORD def, long long count, std::string& replaced)
{
    const std::string text = ReadKey(path, key, std::to_string(def).c_str());
    const std::int64_t code = ParseDecimalInteger(text.c_str());
    if (code >= 0 && code < count)
        return static_cast<DWORD>(code);
    replaced += "\r" + std::string(key) + "=" + text.substr(0, 40) + " (now " + std::to_string(def) + ")";
    return def;
}

// A number key whose text reads as infinity, not-a-number or beyond single precision: the
// key's default would stand in for it, a calibration nobody made.
bool NumberKeyUnusable(const char* path, const char* key)
{
    const std::string text = ReadKey(path, key, "");
    if (text.empty())
        return false;
    const double nan = std::nan("");
    return !std::isfinite(NarrowToFloat(ParseDecimalFloat(text.c_str(), nan), static_cast<float>(nan)));
}

constexpr double kMaxCalibrationFactor = 1.0e15;
constexpr double kMinCalibrationFactor = 1.0e-15;

// A derived value whose magnitude levels can carry.
bool MagnitudeUsable(float v)
{
    return std::isfinite(v) && std::fabs(static_cast<double>(v)) <= kMaxCalibrationFactor;
}

// The key a calibration file holds a record's field under.
std::string FileKey(const char* field)
{
    const std::string name = field;
    return name == "CalRatio" || name == "PctFullScale" ? name + "Left" : name;
}

// The first setting of a file that no calibration can use, as "Key=text", or empty. Every
// number must be one, and the calibration the numbers make must give levels.
std::string UnusableCalibrationSetting(const char* path, const ChannelCalibration& r)
{
    static constexpr const char* kNumbers[] = {"RefLevel", "PctFullScaleLeft", "CalRatioLeft", "DTGain",
                                               "TransducerSensitivityVolts", "MeasuredInputVoltage", "RefOffset"};
    for (const char* key : kNumbers)
        if (NumberKeyUnusable(path, key))
            return std::string(key) + "=" + ReadKey(path, key, "").substr(0, 40);
    if (!MagnitudeUsable(r.CalRatio))
        return "CalRatioLeft=" + ReadKey(path, "CalRatioLeft", "").substr(0, 40);
    std::string inputs;
    for (const char* field : UnusableFactorInputs(r)) {
        const std::string key = FileKey(field);
        inputs += (inputs.empty() ? "" : ", ") + key + "=" + ReadKey(path, key.c_str(), "").substr(0, 40);
    }
    return inputs;
}

bool WriteKey(const char* path, const char* key, const std::string& value)
{
    return WritePrivateProfileStringA("Calibration", key, value.c_str(), path) != FALSE;
}

std::string Int(long long v) { return std::to_string(v); }

} // namespace

double RefTypeToRms(DWORD refType)
{
    switch (refType) {
    case 0:
        return 0.707106781;
    case 2:
        return 0.3535533905;
    default:
        return 1.0;
    }
}

void ComputeCalibrationFactors(ChannelCalibration& r)
{
    if (!(r.DTGain > 0.0f))
        r.DTGain = 1.0f;
    const double gain = r.DTGain;
    const double level = LinearReferenceLevel(r);

    if (r.DTCalVersion == 0) {
        r.CalCreateMode = 2;
        if (r.CalRatio != 0.0f)
            r.MeasuredInputVoltage =
                static_cast<float>(level * RefTypeToRms(r.RefType) * 10.0 / (static_cast<double>(r.CalRatio) * gain));
    }

    switch (r.CalCreateMode) {
    case 0:
        if (r.RefUnits == kUnitVolts) {
            r.CalRatio = static_cast<float>(10.0 / gain);
            r.PctFullScale = static_cast<float>(kSqrt2 * gain / 10.0);
        } else if (r.RefUnits == kUnitMillivolts) {
            r.CalRatio = static_cast<float>(10000.0 / gain);
            r.PctFullScale = static_cast<float>(kSqrt2 * gain / 10.0 / 1000.0);
        } else if (r.RefUnits == kUnitRpm) {
            r.CalRatio = 0.01f;
            r.PctFullScale = static_cast<float>(kSqrt2 / 10.0);
        }
        break;
    case 1: {
        const double s = r.TransducerSensitivityVolts;
        if (!(s > 0.0))
            return;
        const bool plain = r.RefUnits == kUnitSplWater || r.RefUnits == kUnitProximity ||
                           r.RefUnits == kUnitTemperature;
        const double factor = plain ? 1.0 : RefTypeToRms(r.RefType);
        r.CalRatio = static_cast<float>(10.0 / (s * factor * gain));
        double pct = kSqrt2 * gain * s * factor / 10.0;
        if (r.RefUnits == kUnitSplWater)
            pct *= 1.0e6;
        r.PctFullScale = static_cast<float>(pct);
        break;
    }
    case 2: {
        const double m = r.MeasuredInputVoltage;
        if (!(m > 0.0))
            return;
        r.CalRatio = static_cast<float>(level * RefTypeToRms(r.RefType) * 10.0 / (m * gain));
        r.PctFullScale = static_cast<float>(kSqrt2 * gain * m / 10.0);
        break;
    }
    case 3: {
        double factor = 1.0;
        if (r.RefType == 1)
            factor = 1.414213562373;
        else if (r.RefType == 2)
            factor = 0.5;
        r.CalRatio = 1.0f;
        if (r.PctFullScale > 0.0f && level > 0.0)
            r.CalRatio = static_cast<float>(level * factor / r.PctFullScale);
        break;
    }
    default:
        break;
    }

    if (r.RefUnits == kUnitAcceleration) {
        switch (r.ConversionType) {
        case 1: case 2: case 3: case 7: case 9:
            r.IntegrationType = 1;
            break;
        case 4: case 5: case 6: case 8: case 10:
            r.IntegrationType = 2;
            break;
        default:
            r.IntegrationType = 0;
            break;
        }
    } else {
        r.ConversionType = 0;
        r.IntegrationType = 0;
    }
}

bool CalibrationFactorUsable(float factor)
{
    return factor >= kMinCalibrationFactor && factor <= kMaxCalibrationFactor;
}

std::vector<const char*> UnusableFactorInputs(const ChannelCalibration& record)
{
    ChannelCalibration made = record;
    ComputeCalibrationFactors(made);
    const bool ratio = CalibrationFactorUsable(made.CalRatio), pct = MagnitudeUsable(made.PctFullScale);
    std::vector<const char*> inputs;
    if (ratio && pct)
        return inputs;
    const DWORD units = made.RefUnits;
    switch (made.CalCreateMode) {
    case 0:
        // Volts and millivolts are made from the gain; other units keep the factors they hold.
        if (units != kUnitVolts && units != kUnitMillivolts && units != kUnitRpm) {
            if (!ratio)
                inputs.push_back("CalRatio");
            if (!pct)
                inputs.push_back("PctFullScale");
        }
        break;
    case 1:
        inputs.push_back("TransducerSensitivityVolts");
        if (!(made.TransducerSensitivityVolts > 0.0f))
            inputs.push_back("CalRatio"); // no sensitivity: the stored factor stands
        break;
    case 2:
        inputs.push_back("RefLevel");
        inputs.push_back("MeasuredInputVoltage");
        if (!(made.MeasuredInputVoltage > 0.0f))
            inputs.push_back("CalRatio");
        break;
    case 3:
        inputs.push_back("RefLevel");
        inputs.push_back("PctFullScale");
        break;
    default:
        break;
    }
    if (inputs.empty())
        inputs.push_back("DTGain");
    return inputs;
}

std::string CalibrationFilePath(const char* calFolder, const char* name)
{
    const std::string folder = calFolder != nullptr ? calFolder : "";
    const std::string file = std::string(name != nullptr ? name : "") + ".cal";
    const std::string exact = JoinDataFolder(folder, file.c_str());
    std::error_code ec;
    if (folder.empty() || std::filesystem::exists(exact, ec))
        return exact;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (strcasecmp(entry.c_str(), file.c_str()) == 0)
            return JoinDataFolder(folder, entry.c_str());
    }
    return exact;
}

bool ReadCalibrationFile(const char* name, ChannelCalibration* record, bool showError, const char* calFolder,
                         std::string* reason)
{
    if (name == nullptr || record == nullptr)
        return false;
    ChannelCalibration& r = *record;

    const bool volts = std::strncmp(name, "Volts", 5) == 0;
    const bool millivolts = !volts && std::strncmp(name, "Millivolts", 10) == 0;
    const bool rpm = !volts && !millivolts && std::strncmp(name, "RPM", 3) == 0;
    if (volts || millivolts || rpm) {
        r.IsEnabled = 1;
        r.CalCreateMode = 0;
        r.RefLevel = 1.0f;
        r.RefType = 1;
        r.LabelType = 1;
        r.ConversionType = 0;
        r.IntegrationType = 0;
        r.TransducerSensitivityVolts = 0.1f;
        r.MeasuredInputVoltage = 0.1f;
        r.DTCalVersion = 1000;
        r.RefOffset = 0.0f;
        // A cleared record has no gain yet; full scale is then that of gain 1.
        if (!(r.DTGain > 0.0f))
            r.DTGain = 1.0f;
        if (volts) {
            r.RefUnits = kUnitVolts;
            CopyField(r.LabelLinear, "Volts rms");
            CopyField(r.LabelLog, "dBV rms");
            r.CalRatio = 10.0f / r.DTGain;
        } else if (millivolts) {
            r.RefUnits = kUnitMillivolts;
            CopyField(r.LabelLinear, "Millivolts rms");
            CopyField(r.LabelLog, "dBmV rms");
            r.CalRatio = 10000.0f / r.DTGain;
        } else {
            r.RefUnits = kUnitRpm;
            CopyField(r.LabelLinear, "RPM");
            CopyField(r.LabelLog, "RPM dB");
            r.CalRatio = 0.01f;
        }
        return true;
    }

    const std::string path = CalibrationFilePath(calFolder, name);
    // Only a regular file is read: a folder or a FIFO in its place is no calibration, and a
    // FIFO would hold the program up.
    std::string content;
    if (ReadSmallFile(path, kMaxSettingsFileBytes, content) != FileReadResult::Ok) {
        if (reason != nullptr)
            *reason = "could not be opened";
        if (showError) {
            AfxMessageBox("Failure opening calibration file: \"" + path + "\".  Calibration will be disabled.",
                          MB_OK | MB_ICONEXCLAMATION);
            r.IsEnabled = 0;
        }
        return false;
    }

    const char* p = path.c_str();
    // Read into a copy: a file that is refused leaves the record as it was.
    const ChannelCalibration before = r;
    r.IsEnabled = 1;
    r.RefLevel = ReadFloatKey(p, "RefLevel", "1.0");
    std::string replaced;
    r.RefUnits = ReadChoiceKey(p, "RefUnits", 0, 17, replaced);
    r.RefType = ReadChoiceKey(p, "RefType", 1, 3, replaced);
    r.ConversionType = ReadChoiceKey(p, "ConversionType", 0, 11, replaced);
    r.IntegrationType = ReadChoiceKey(p, "IntegrationType", 0, 3, replaced);
    CopyField(r.LabelLinear, ReadKey(p, "LabelLinear", "Volts rms").c_str());
    CopyField(r.LabelLog, ReadKey(p, "LabelLog", "dBV rms").c_str());
    r.LabelType = ReadU32Key(p, "LabelType", "1");
    r.PctFullScale = ReadFloatKey(p, "PctFullScaleLeft", "1.0");
    r.CalRatio = ReadFloatKey(p, "CalRatioLeft", "1.0");
    r.DTGain = ReadFloatKey(p, "DTGain", "1.0");
    // A gain divides every factor: none but a positive one can be used.
    if (!(r.DTGain > 0.0f)) {
        replaced += "\rDTGain=" + ReadKey(p, "DTGain", "1.0").substr(0, 40) + " (now 1.000000)";
        r.DTGain = 1.0f;
    }
    r.DTCalVersion = static_cast<WORD>(ReadU32Key(p, "DTCalVersion", "0"));
    r.CalCreateMode = static_cast<WORD>(ReadChoiceKey(p, "CalCreateMode", 0, 4, replaced));
    r.TransducerSensitivityVolts = ReadFloatKey(p, "TransducerSensitivityVolts", "0.100");
    r.MeasuredInputVoltage = ReadFloatKey(p, "MeasuredInputVoltage", "0.100");
    r.RefOffset = ReadFloatKey(p, "RefOffset", "0.0");
    CopyField(r.Filename, name);
    if (const std::string unusable = UnusableCalibrationSetting(p, r); !unusable.empty()) {
        r = before;
        if (reason != nullptr)
            *reason = "holds a value no calibration can use: " + unusable;
        if (showError) {
            AfxMessageBox("The calibration file \"" + path + "\" holds a value no calibration can use: " + unusable +
                              ".  Calibration will be disabled.",
                          MB_OK | MB_ICONEXCLAMATION);
            r.IsEnabled = 0;
        }
        return false;
    }
    if (showError && !replaced.empty())
        AfxMessageBox("The calibration file \"" + path + "\" holds settings this version cannot use.\r\rThese "
                      "settings were replaced:" + replaced,
                      MB_OK | MB_ICONEXCLAMATION);
    return true;
}

bool WriteCalibrationFile(const char* path, ChannelCalibration* record)
{
    if (path == nullptr || record == nullptr || record->CalCreateMode == 0)
        return false;
    ChannelCalibration& r = *record;
    r.IsEnabled = 1;
    // Text fields of a damaged record are cut at their size rather than read past it.
    auto text = [](const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); };
    bool ok = true;
    ok &= WriteKey(path, "IsEnabled", Int(r.IsEnabled));
    ok &= WriteKey(path, "RefLevel", FormatFixed(r.RefLevel));
    ok &= WriteKey(path, "RefUnits", Int(static_cast<INT>(r.RefUnits)));
    ok &= WriteKey(path, "RefType", Int(static_cast<INT>(r.RefType)));
    ok &= WriteKey(path, "ConversionType", Int(static_cast<INT>(r.ConversionType)));
    ok &= WriteKey(path, "IntegrationType", Int(static_cast<INT>(r.IntegrationType)));
    ok &= WriteKey(path, "LabelLinear", text(r.LabelLinear, sizeof r.LabelLinear));
    ok &= WriteKey(path, "LabelLog", text(r.LabelLog, sizeof r.LabelLog));
    ok &= WriteKey(path, "LabelType", Int(static_cast<INT>(r.LabelType)));
    ok &= WriteKey(path, "PctFullScaleLeft", FormatFixed(r.PctFullScale));
    ok &= WriteKey(path, "CalRatioLeft", FormatFixed(r.CalRatio));
    ok &= WriteKey(path, "DTGain", FormatFixed(r.DTGain));
    ok &= WriteKey(path, "DTCalVersion", Int(r.DTCalVersion));
    ok &= WriteKey(path, "Filename", text(r.Filename, sizeof r.Filename));
    ok &= WriteKey(path, "CalCreateMode", Int(r.CalCreateMode));
    ok &= WriteKey(path, "TransducerSensitivityVolts", FormatExponent(r.TransducerSensitivityVolts));
    ok &= WriteKey(path, "MeasuredInputVoltage", FormatFixed(r.MeasuredInputVoltage));
    ok &= WriteKey(path, "RefOffset", FormatFixed(r.RefOffset));
    return ok;
}

bool CalibrationEquals(const ChannelCalibration& a, const ChannelCalibration& b, WORD opMode)
{
    auto sameText = [](const char* x, const char* y, std::size_t n) { return std::strncmp(x, y, n) == 0; };
    if (!FloatsEqualToDecimals(a.RefLevel, b.RefLevel, 2))
        return false;
    if (a.RefType != b.RefType || a.RefUnits != b.RefUnits)
        return false;
    if (!sameText(a.LabelLinear, b.LabelLinear, sizeof a.LabelLinear) ||
        !sameText(a.LabelLog, b.LabelLog, sizeof a.LabelLog))
        return false;
    if (a.LabelType != b.LabelType || a.CalCreateMode != b.CalCreateMode ||
        a.ConversionType != b.ConversionType || a.IntegrationType != b.IntegrationType)
        return false;
    if (!FloatsEqualToDecimals(a.TransducerSensitivityVolts, b.TransducerSensitivityVolts, 2) ||
        !FloatsEqualToDecimals(a.MeasuredInputVoltage, b.MeasuredInputVoltage, 4) ||
        !FloatsEqualToDecimals(a.RefOffset, b.RefOffset, 2))
        return false;
    // The device gain matters only where it came with the data (Recorder, Post Process).
    if ((opMode == 1 || opMode == 2) && a.DTGain != b.DTGain)
        return false;
    return a.DTCalVersion == b.DTCalVersion;
}

bool LoadCalibration(const ChannelCalibration& record, const char* calFolder, WORD opMode)
{
    if (record.CalCreateMode == 0)
        return true;
    if (record.Filename[0] == '\0' || calFolder == nullptr || calFolder[0] == '\0')
        return false;
    char name[sizeof record.Filename];
    std::memcpy(name, record.Filename, sizeof name);
    name[sizeof name - 1] = '\0';
    ChannelCalibration fromFile;
    fromFile.Clear();
    if (!ReadCalibrationFile(name, &fromFile, false, calFolder))
        return false;
    return CalibrationEquals(fromFile, record, opMode);
}

float PressureToDecibels(int kind, float pascals)
{
    if (kind == 0)
        return Db20(static_cast<double>(pascals) * 1.0e6 / 20.0);
    if (kind == 1)
        return Db20(static_cast<double>(pascals) * 1.0e6);
    return 0.0f;
}

float DecibelsToPressure(int kind, float dB)
{
    if (kind == 0)
        return static_cast<float>(std::pow(10.0, dB / 20.0) / 1.0e6 * 20.0);
    if (kind == 1)
        return static_cast<float>(std::pow(10.0, dB / 20.0) / 1.0e6);
    return 0.0f;
}

float PsiToDecibels(float psi) { return Db20(static_cast<double>(psi) * 1.0e9 / 2.9); }

float DecibelsToPsi(float dB) { return static_cast<float>(std::pow(10.0, dB / 20.0) / 1.0e9 * 2.9); }

float VoltsToDbu(float volts) { return Db20(static_cast<double>(volts) / 0.775); }

float DbuToVolts(float dB) { return static_cast<float>(std::pow(10.0, dB / 20.0) * 0.775); }

float ConvertToDecibels(const ChannelCalibration& record, float value)
{
    if (record.IsEnabled == 0)
        return Db20(value);
    switch (record.RefUnits) {
    case kUnitSplAir:
    case kUnitPascalsAir:
        return PressureToDecibels(0, value);
    case kUnitDbu:
        return VoltsToDbu(value);
    case kUnitPsi:
        return PsiToDecibels(value);
    case kUnitSplWater:
    case kUnitPascalsWater:
        return PressureToDecibels(1, value);
    default:
        return Db20(value);
    }
}
