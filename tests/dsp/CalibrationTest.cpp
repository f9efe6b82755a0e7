#include "records/ChannelCalibration.h"
#include "support/NeedsTool.h"

#include "records/RecordBytes.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct TempFolder {
    fs::path path;
    TempFolder()
    {
        char tmpl[] = "/tmp/durnex-cal-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string str() const { return path.string(); }
};

std::string ReadText(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteText(const fs::path& p, const std::string& text)
{
    std::ofstream out(p, std::ios::binary);
    out << text;
}

// 94 dB SPL calibrator, 0.05 V measured, rms, gain 1.
ChannelCalibration MeasuredSplRecord()
{
    ChannelCalibration r(2);
    r.CalCreateMode = 2;
    r.RefUnits = kUnitSplAir;
    r.RefLevel = 94.0f;
    r.RefType = 1;
    r.MeasuredInputVoltage = 0.05f;
    r.DTGain = 1.0f;
    CopyField(r.Filename, "Mic94");
    CopyField(r.LabelLinear, "Pascals");
    CopyField(r.LabelLog, "dB SPL");
    return r;
}

} // namespace

TEST(CalibrationRecord, DefaultsAndDirectModeFactors)
{
    ChannelCalibration r(5);
    EXPECT_EQ(+r.IsEnabled, 1u);
    EXPECT_STREQ(r.LabelLinear, "Volts rms");
    EXPECT_STREQ(r.LabelLog, "dBV rms");
    EXPECT_STREQ(r.ChannelName, "Channel 5");
    EXPECT_STREQ(r.Filename, "Volts");
    EXPECT_EQ(+r.DTCalVersion, 1000);
    EXPECT_FLOAT_EQ(+r.CalRatio, 10.0f);
    for (BYTE b : r.Reserved)
        ASSERT_EQ(b, 0);

    ComputeCalibrationFactors(r);
    EXPECT_FLOAT_EQ(+r.CalRatio, 10.0f);
    EXPECT_NEAR(+r.PctFullScale, 0.1414, 1e-4);

    r.RefUnits = kUnitMillivolts;
    r.DTGain = 10.0f;
    ComputeCalibrationFactors(r);
    EXPECT_FLOAT_EQ(+r.CalRatio, 1000.0f);
    EXPECT_NEAR(+r.PctFullScale, std::sqrt(2.0) / 1000.0, 1e-7);

    r.RefUnits = kUnitRpm;
    ComputeCalibrationFactors(r);
    EXPECT_FLOAT_EQ(+r.CalRatio, 0.01f);

    r.DTGain = -3.0f; // a damaged gain is taken as 1
    r.RefUnits = kUnitVolts;
    ComputeCalibrationFactors(r);
    EXPECT_FLOAT_EQ(+r.DTGain, 1.0f);
    EXPECT_FLOAT_EQ(+r.CalRatio, 10.0f);
}

TEST(CalibrationRecord, CreationModes)
{
    ChannelCalibration r = MeasuredSplRecord();
    ComputeCalibrationFactors(r);
    // L = 10^(94/20) * 20e-6 Pa = 1.0024 Pa; CalRatio = L * 10 / 0.05.
    EXPECT_NEAR(+r.CalRatio, 200.47, 0.01);
    EXPECT_NEAR(+r.PctFullScale, std::sqrt(2.0) * 0.05 / 10.0, 1e-7);

    // A hydrophone calibrator's level is in dB re 1 uPa: 120 dB is 1 Pa, so 0.5 V rms
    // measured gives 1 Pa x 10 / 0.5 at full scale.
    ChannelCalibration w = MeasuredSplRecord();
    w.RefUnits = kUnitSplWater;
    w.RefLevel = 120.0f;
    w.MeasuredInputVoltage = 0.5f;
    ComputeCalibrationFactors(w);
    EXPECT_NEAR(+w.CalRatio, 20.0, 1e-4);

    ChannelCalibration s(0);
    s.CalCreateMode = 1;
    s.RefUnits = kUnitAcceleration;
    s.RefType = 0; // peak
    s.TransducerSensitivityVolts = 0.1f;
    s.DTGain = 2.0f;
    s.ConversionType = 5;
    ComputeCalibrationFactors(s);
    EXPECT_NEAR(+s.CalRatio, 10.0 / (0.1 * 0.707106781 * 2.0), 1e-3);
    EXPECT_EQ(+s.IntegrationType, 2u);

    // Non-positive sensitivity leaves the derived fields alone.
    s.TransducerSensitivityVolts = 0.0f;
    s.CalRatio = 123.0f;
    ComputeCalibrationFactors(s);
    EXPECT_FLOAT_EQ(+s.CalRatio, 123.0f);

    ChannelCalibration p(0);
    p.CalCreateMode = 3;
    p.RefUnits = kUnitCustom;
    p.RefLevel = 2.0f;
    p.RefType = 2; // peak to peak
    p.PctFullScale = 0.25f;
    p.ConversionType = 3;
    ComputeCalibrationFactors(p);
    EXPECT_FLOAT_EQ(+p.CalRatio, 2.0f * 0.5f / 0.25f);
    EXPECT_EQ(+p.ConversionType, 0u); // only acceleration keeps a conversion
    EXPECT_EQ(+p.IntegrationType, 0u);

    // A record from before versioning becomes a measurement record.
    ChannelCalibration old(0);
    old.DTCalVersion = 0;
    old.RefUnits = kUnitCustom;
    old.RefLevel = 1.0f;
    old.CalRatio = 20.0f;
    ComputeCalibrationFactors(old);
    EXPECT_EQ(+old.CalCreateMode, 2);
    EXPECT_NEAR(+old.MeasuredInputVoltage, 0.5, 1e-6);
    EXPECT_NEAR(+old.CalRatio, 20.0, 1e-4);
}

// Measured mode with each kind of reference: the measured rms voltage, read back through the
// record, is the reference's rms level, a sine's peak over sqrt(2) and its peak-to-peak over
// 2 sqrt(2) (a dropped factor reads 3 dB or 9 dB off).
TEST(CalibrationRecord, MeasuredModeReadsEachReferenceTypeAsItsRmsLevel)
{
    struct Case {
        DWORD refType;
        double rmsOfReference; // of a sine whose reference value is 1
    };
    const Case cases[] = {{0, 1.0 / std::sqrt(2.0)}, {1, 1.0}, {2, 1.0 / (2.0 * std::sqrt(2.0))}};
    for (const Case& c : cases) {
        for (const float gain : {1.0f, 4.0f}) {
            SCOPED_TRACE(testing::Message() << "reference type " << c.refType << ", gain " << gain);
            ChannelCalibration r(0);
            r.CalCreateMode = 2;
            r.RefUnits = kUnitCustom;
            r.RefLevel = 3.0f;
            r.RefType = c.refType;
            r.MeasuredInputVoltage = 0.25f;
            r.DTGain = gain;
            ComputeCalibrationFactors(r);
            // CalRatio is the rms level of 10 V at the converter: the measured voltage there reads
            // as the reference's rms level.
            const double reading = 0.25 * gain * r.CalRatio / 10.0;
            EXPECT_NEAR(reading, 3.0 * c.rmsOfReference, 1e-5);
            EXPECT_NEAR(+r.PctFullScale, std::sqrt(2.0) * gain * 0.25 / 10.0, 1e-7);
        }
    }
}

TEST(CalibrationRecord, ByteImageMatchesIndependentPacking)
{
    ChannelCalibration r = MeasuredSplRecord();
    ComputeCalibrationFactors(r);
    r.Reserved[0] = 0x5A;
    std::array<std::uint8_t, 634> bytes{};
    r.WriteToBytes(bytes);

    TempFolder tmp;
    fs::path out = tmp.path / "py.bin";
    // Python's struct module packs the same record from the same values.
    char cmd[2048];
    std::snprintf(cmd, sizeof cmd,
                  "python3 -c \"import struct,sys;"
                  "b=struct.pack('<IfII60s60sIffII40sHff256sfHf162s',1,%.9g,1,2,b'Pascals',b'dB SPL',1,%.9g,%.9g,0,0,"
                  "b'Channel 2',2,%.9g,%.9g,b'Mic94',1.0,1000,0.0,b'\\x5a');"
                  "open('%s','wb').write(b)\"",
                  static_cast<double>(r.RefLevel), static_cast<double>(r.PctFullScale),
                  static_cast<double>(r.CalRatio), static_cast<double>(r.TransducerSensitivityVolts),
                  static_cast<double>(r.MeasuredInputVoltage), out.c_str());
    if (std::system(cmd) != 0)
        DURNEX_SKIP_WITHOUT("python3 not available");
    std::string expected = ReadText(out);
    ASSERT_EQ(expected.size(), 634u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), expected);

    ChannelCalibration back;
    back.Clear();
    ASSERT_TRUE(back.ReadFromBytes(bytes));
    EXPECT_TRUE(SameRecordBytes(back, r));
}

TEST(CalibrationRecord, ByteImageKeepsTextFieldsTerminated)
{
    std::array<std::uint8_t, 634> bytes;
    bytes.fill('A');
    ChannelCalibration r;
    r.ReadFromBytes(bytes);
    EXPECT_EQ(std::strlen(r.LabelLinear), 59u);
    EXPECT_EQ(std::strlen(r.ChannelName), 39u);
    EXPECT_EQ(std::strlen(r.Filename), 255u);
}

TEST(CalibrationFile, BuiltInNamesNeverTouchTheDisk)
{
    TempFolder tmp;
    WriteText(tmp.path / "Voltsish.cal", "[Calibration]\r\nRefUnits=4\r\nLabelLinear=File\r\n");
    ChannelCalibration r;
    r.Clear();
    ASSERT_TRUE(ReadCalibrationFile("Voltsish", &r, true, tmp.str().c_str()));
    EXPECT_EQ(+r.RefUnits, kUnitVolts);
    EXPECT_STREQ(r.LabelLinear, "Volts rms");
    EXPECT_FLOAT_EQ(+r.CalRatio, 10.0f); // a cleared record counts as gain 1, never 10/0

    r.DTGain = 4.0f;
    ASSERT_TRUE(ReadCalibrationFile("Millivolts", &r, true, nullptr));
    EXPECT_EQ(+r.RefUnits, kUnitMillivolts);
    EXPECT_STREQ(r.LabelLog, "dBmV rms");
    EXPECT_FLOAT_EQ(+r.CalRatio, 2500.0f);
    ASSERT_TRUE(ReadCalibrationFile("RPM", &r, true, nullptr));
    EXPECT_EQ(+r.RefUnits, kUnitRpm);
    EXPECT_STREQ(r.LabelLinear, "RPM");
    EXPECT_FLOAT_EQ(+r.CalRatio, 0.01f);
}

TEST(CalibrationFile, MissingFileIsReportedOnlyWhenAsked)
{
    TempFolder tmp;
    ChannelCalibration r;
    {
        ScriptedUser user;
        EXPECT_FALSE(ReadCalibrationFile("Voltage", &r, false, tmp.str().c_str()));
        EXPECT_EQ(+r.IsEnabled, 1u);
    }
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "Failure opening calibration file: \"" + tmp.str() + "/Voltage.cal\".  "
                                                                                   "Calibration will be disabled.");
        EXPECT_FALSE(ReadCalibrationFile("Voltage", &r, true, tmp.str().c_str()));
        EXPECT_EQ(+r.IsEnabled, 0u);
    }
    EXPECT_FALSE(ReadCalibrationFile(nullptr, &r, true, tmp.str().c_str()));
    EXPECT_FALSE(ReadCalibrationFile("Volts", nullptr, true, tmp.str().c_str()));
}

TEST(CalibrationFile, WriteThenReadRoundTrips)
{
    TempFolder tmp;
    ChannelCalibration r = MeasuredSplRecord();
    ComputeCalibrationFactors(r);
    r.IsEnabled = 0;
    fs::path file = tmp.path / "Mic94.cal";
    ASSERT_TRUE(WriteCalibrationFile(file.c_str(), &r));
    EXPECT_EQ(+r.IsEnabled, 1u);

    std::string text = ReadText(file);
    EXPECT_EQ(text, "[Calibration]\r\n"
                    "IsEnabled=1\r\n"
                    "RefLevel=94.000000\r\n"
                    "RefUnits=2\r\n"
                    "RefType=1\r\n"
                    "ConversionType=0\r\n"
                    "IntegrationType=0\r\n"
                    "LabelLinear=Pascals\r\n"
                    "LabelLog=dB SPL\r\n"
                    "LabelType=1\r\n"
                    "PctFullScaleLeft=0.007071\r\n"
                    "CalRatioLeft=200.474884\r\n"
                    "DTGain=1.000000\r\n"
                    "DTCalVersion=1000\r\n"
                    "Filename=Mic94\r\n"
                    "CalCreateMode=2\r\n"
                    "TransducerSensitivityVolts=1.000000e-01\r\n"
                    "MeasuredInputVoltage=0.050000\r\n"
                    "RefOffset=0.000000\r\n");

    ChannelCalibration back;
    back.Clear();
    ASSERT_TRUE(ReadCalibrationFile("Mic94", &back, true, tmp.str().c_str()));
    EXPECT_TRUE(CalibrationEquals(back, r, 2));
    EXPECT_STREQ(back.Filename, "Mic94");
    EXPECT_TRUE(LoadCalibration(r, tmp.str().c_str(), 2));

    // A changed measurement no longer agrees with the file.
    ChannelCalibration changed = r;
    changed.MeasuredInputVoltage = 0.06f;
    EXPECT_FALSE(LoadCalibration(changed, tmp.str().c_str(), 0));
    // The gain counts only in Recorder and Post Process mode.
    changed = r;
    changed.DTGain = 2.0f;
    EXPECT_TRUE(LoadCalibration(changed, tmp.str().c_str(), 0));
    EXPECT_FALSE(LoadCalibration(changed, tmp.str().c_str(), 1));
    EXPECT_FALSE(LoadCalibration(changed, nullptr, 0));
}

TEST(CalibrationFile, DirectModeWritesNothingAndNeedsNoFile)
{
    TempFolder tmp;
    ChannelCalibration r(0);
    fs::path file = tmp.path / "Direct.cal";
    EXPECT_FALSE(WriteCalibrationFile(file.c_str(), &r));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(LoadCalibration(r, nullptr, 2));
}

TEST(CalibrationFile, MissingAndDamagedKeysTakeTheirDefaults)
{
    TempFolder tmp;
    WriteText(tmp.path / "Odd.cal",
              "[calibration]\nrefLEVEL=  \nDTGain=abc\nRefUnits=-1\n"
              "RefOffset=-3e38\nCalCreateMode=4\nIntegrationType=2\n"
              "LabelLinear=" + std::string(300, 'x') + "\nMeasuredInputVoltage=0.25");
    ChannelCalibration r;
    r.Clear();
    ScriptedUser user;
    // Codes that name no unit or mode take their defaults, as a gain that is not positive
    // takes 1, and the user is told which.
    user.ExpectBox(IDOK, "Odd.cal\" holds settings this version cannot use.\r\rThese settings were "
                         "replaced:\rRefUnits=-1 (now 0)\rDTGain=abc (now 1.000000)\rCalCreateMode=4 (now 0)");
    ASSERT_TRUE(ReadCalibrationFile("Odd", &r, true, tmp.str().c_str()));
    EXPECT_EQ(user.Pending(), 0u);
    EXPECT_FLOAT_EQ(+r.RefLevel, 0.0f);  // no digits read as 0
    EXPECT_FLOAT_EQ(+r.DTGain, 1.0f);    // which no gain can be
    EXPECT_FLOAT_EQ(+r.CalRatio, 1.0f);  // missing: the default
    EXPECT_EQ(+r.RefUnits, 0u);
    EXPECT_EQ(+r.CalCreateMode, 0);
    EXPECT_EQ(+r.IntegrationType, 2u); // the last code of its list
    EXPECT_EQ(std::strlen(r.LabelLinear), 59u);
    EXPECT_STREQ(r.LabelLog, "dBV rms");
    EXPECT_FLOAT_EQ(+r.MeasuredInputVoltage, 0.25f); // last line without a line end
    EXPECT_EQ(+r.RefType, 1u);
    EXPECT_EQ(+r.DTCalVersion, 0);
    EXPECT_FLOAT_EQ(+r.TransducerSensitivityVolts, 0.1f);
    EXPECT_FLOAT_EQ(+r.RefOffset, -3e38f);                  // large, but a float
    ComputeCalibrationFactors(r);
    EXPECT_FLOAT_EQ(+r.DTGain, 1.0f);
    EXPECT_TRUE(std::isfinite(r.CalRatio));
}

// A file whose numbers are none (infinity, not-a-number, beyond single precision), or make a
// calibration whose levels cannot be finite, is refused naming what is wrong: no default
// stands in for a number, and the record stays as it was.
TEST(CalibrationFile, NumbersNoCalibrationCanUseRefuseTheFile)
{
    TempFolder tmp;
    const std::string sound = "[Calibration]\nRefUnits=2\nRefType=1\nDTGain=1.0\nDTCalVersion=1000\nCalRatioLeft=200.0\n";
    const struct {
        const char* keys;
        const char* named;
    } cases[] = {
        {"CalCreateMode=2\nRefLevel=nan\nMeasuredInputVoltage=0.05\n", "RefLevel=nan"},
        {"CalCreateMode=2\nRefLevel=94\nMeasuredInputVoltage=-inf\n", "MeasuredInputVoltage=-inf"},
        {"CalCreateMode=1\nTransducerSensitivityVolts=5e38\n", "TransducerSensitivityVolts=5e38"},
        {"CalCreateMode=0\nDTGain=Infinity\n", "DTGain=Infinity"},
        {"CalCreateMode=0\nRefOffset=1e999\n", "RefOffset=1e999"},
        // Finite, but full scale would be 1.4e31 Pa: squared levels overflow.
        {"CalCreateMode=1\nTransducerSensitivityVolts=1e-30\n", "TransducerSensitivityVolts=1e-30"},
        // 3e38 dB SPL is an infinite pressure.
        {"CalCreateMode=2\nRefLevel=3e38\nMeasuredInputVoltage=0.05\n",
         "RefLevel=3e38, MeasuredInputVoltage=0.05"},
        {"CalCreateMode=3\nRefLevel=1e30\nPctFullScaleLeft=1e-20\n", "RefLevel=1e30, PctFullScaleLeft=1e-20"},
        {"CalCreateMode=1\nTransducerSensitivityVolts=0.05\nCalRatioLeft=1e30\n", "CalRatioLeft=1e30"},
        // Zero, negative or tiny factors leave no level to read: a sensitivity of 0 keeps the
        // stored factor, and so does a direct calibration in units other than volts.
        {"CalCreateMode=1\nTransducerSensitivityVolts=0\nCalRatioLeft=0\n", "TransducerSensitivityVolts=0, CalRatioLeft=0"},
        {"CalCreateMode=1\nTransducerSensitivityVolts=-0.05\nCalRatioLeft=-3\n",
         "TransducerSensitivityVolts=-0.05, CalRatioLeft=-3"},
        {"CalCreateMode=0\nRefUnits=4\nCalRatioLeft=1e-30\n", "CalRatioLeft=1e-30"},
        {"CalCreateMode=2\nRefUnits=4\nRefLevel=0\nMeasuredInputVoltage=0.05\n", "RefLevel=0, MeasuredInputVoltage=0.05"},
        {"CalCreateMode=2\nRefLevel=94\nMeasuredInputVoltage=0\nCalRatioLeft=0\n",
         "RefLevel=94, MeasuredInputVoltage=0, CalRatioLeft=0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        // Keys first in the file count first.
        WriteText(tmp.path / "Bad.cal", "[Calibration]\n" + std::string(c.keys) + sound.substr(14));
        ChannelCalibration r = MeasuredSplRecord();
        const ChannelCalibration before = r;
        {
            ScriptedUser user;
            EXPECT_FALSE(ReadCalibrationFile("Bad", &r, false, tmp.str().c_str()));
            EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);
        }
        ScriptedUser user;
        user.ExpectBox(IDOK, "The calibration file \"" + tmp.str() + "/Bad.cal\" holds a value no calibration can use: " +
                                 c.named + ".  Calibration will be disabled.");
        EXPECT_FALSE(ReadCalibrationFile("Bad", &r, true, tmp.str().c_str()));
        EXPECT_EQ(+r.IsEnabled, 0u);
        EXPECT_FLOAT_EQ(+r.RefLevel, 94.0f);
    }
    // The extremes a real transducer reaches still read: a hydrophone of -200 dB re 1 V/uPa.
    WriteText(tmp.path / "Hydro.cal", "[Calibration]\nCalCreateMode=1\nRefUnits=10\nRefType=1\nDTGain=1\n"
                                      "DTCalVersion=1000\nTransducerSensitivityVolts=1e-10\nCalRatioLeft=1e11\n");
    ChannelCalibration r;
    ScriptedUser user;
    ASSERT_TRUE(ReadCalibrationFile("Hydro", &r, true, tmp.str().c_str()));
    ComputeCalibrationFactors(r);
    EXPECT_FLOAT_EQ(+r.CalRatio, 1e11f);
    EXPECT_TRUE(std::isfinite(ConvertToDecibels(r, r.CalRatio)));
}

TEST(CalibrationEquality, ComparesToTheDecimalsThatMatter)
{
    ChannelCalibration a = MeasuredSplRecord();
    ChannelCalibration b = a;
    a.MeasuredInputVoltage = 0.05001f;
    b.MeasuredInputVoltage = 0.05005f;
    EXPECT_TRUE(CalibrationEquals(a, b, 2));
    b.MeasuredInputVoltage = 0.0502f;
    EXPECT_FALSE(CalibrationEquals(a, b, 2));
    b = a;
    b.RefLevel = 94.004f;
    EXPECT_TRUE(CalibrationEquals(a, b, 2));
    b.LabelLog[0] = 'x';
    EXPECT_FALSE(CalibrationEquals(a, b, 2));
    b = a;
    b.DTCalVersion = 0;
    EXPECT_FALSE(CalibrationEquals(a, b, 0));
}

TEST(LevelUnits, ClosedForms)
{
    ChannelCalibration r(0);
    EXPECT_FLOAT_EQ(ConvertToDecibels(r, 0.0f), -999.9f);
    EXPECT_NEAR(ConvertToDecibels(r, 10.0f), 20.0, 1e-5);
    r.RefUnits = kUnitSplAir;
    EXPECT_NEAR(ConvertToDecibels(r, 1.0f), 93.98, 0.005);
    r.RefUnits = kUnitPascalsWater;
    EXPECT_NEAR(ConvertToDecibels(r, 1.0f), 120.0, 1e-4);
    r.RefUnits = kUnitDbu;
    EXPECT_NEAR(ConvertToDecibels(r, 0.775f), 0.0, 1e-5);
    r.RefUnits = kUnitPsi;
    EXPECT_NEAR(ConvertToDecibels(r, 2.9e-9f), 0.0, 1e-4);
    r.IsEnabled = 0; // disabled calibration: plain 20 log10
    EXPECT_NEAR(ConvertToDecibels(r, 1.0f), 0.0, 1e-6);

    EXPECT_NEAR(DecibelsToPressure(0, 94.0f), 1.00237, 1e-5);
    EXPECT_NEAR(DecibelsToPressure(1, 120.0f), 1.0, 1e-6);
    EXPECT_EQ(DecibelsToPressure(2, 94.0f), 0.0f);
    EXPECT_EQ(PressureToDecibels(5, 1.0f), 0.0f);
    EXPECT_NEAR(DbuToVolts(0.0f), 0.775, 1e-7);
    EXPECT_NEAR(VoltsToDbu(DbuToVolts(4.0f)), 4.0, 1e-5);
    EXPECT_NEAR(PsiToDecibels(DecibelsToPsi(170.0f)), 170.0, 1e-4);
    EXPECT_FLOAT_EQ(VoltsToDbu(0.0f), -999.9f);
    EXPECT_FLOAT_EQ(PsiToDecibels(-1.0f), -999.9f); // no NaN from a negative value
    EXPECT_NEAR(RefTypeToRms(0), 0.707106781, 1e-9);
    EXPECT_NEAR(RefTypeToRms(2), 0.3535533905, 1e-9);
    EXPECT_EQ(RefTypeToRms(7), 1.0);
}
