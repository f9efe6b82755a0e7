// Import of text and binary sample files into wave files, read back with Python's wave
// module; malformed sources leave nothing behind.
#include "ImportExportSupport.h"
#include "platform/core/FileSystem.h"
#include "support/ScriptedUser.h"
#include "wave/ImportProcess.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace wavetest;

namespace {

class Import : public ::testing::Test {
protected:
    TempFolder dir;   // sources and destinations
    TempFolder temp;  // working copies
    ImportSettings settings;

    // Runs the whole import as the progress dialog would; true when it ended saved.
    bool Run(const std::string& source, const std::string& destination, int* steps = nullptr)
    {
        TImportProcess process(source, destination, settings, temp.path());
        if (!process.Start())
            return false;
        int n = 0;
        int lastProgress = -1;
        while (process.Step()) {
            ++n;
            EXPECT_GT(process.GetProgress(), lastProgress);
            lastProgress = process.GetProgress();
        }
        if (steps)
            *steps = n + 1;
        return process.GetState() == TImportProcess::State::Done;
    }

    std::vector<long long> ImportText(const std::string& text)
    {
        WriteText(dir.file("in.txt"), text);
        EXPECT_TRUE(Run(dir.file("in.txt"), dir.file("out.wav")));
        PyWave w = ReadPyWave(dir.file("out.wav"));
        EXPECT_TRUE(w.ok);
        return w.samples;
    }
};

using V = std::vector<long long>;

TEST_F(Import, TextIntegersTruncatedToTheSampleRange)
{
    ScriptedUser user;
    settings.ScalingMode = ImportSettings::kTruncate;
    settings.SampleRate = 8000;
    WriteText(dir.file("in.txt"), "1\n-2\n40000\n-40000\n32767\n");
    ASSERT_TRUE(Run(dir.file("in.txt"), dir.file("out.wav")));
    PyWave w = ReadPyWave(dir.file("out.wav"));
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.width, 2);
    EXPECT_EQ(w.rate, 8000);
    EXPECT_EQ(w.samples, (V{1, -2, 32767, -32767, 32767}));
    EXPECT_EQ(temp.count(), 0u) << "working copy left behind";
}

TEST_F(Import, LastLineWithoutLineEndAndBlankLinesAndCrLf)
{
    ScriptedUser user;
    settings.ScalingMode = ImportSettings::kTruncate;
    // The last value counts even without a line end; empty lines hold no sample.
    EXPECT_EQ(ImportText("1\n2\n3"), (V{1, 2, 3}));
    EXPECT_EQ(ImportText("1\r\n\r\n2\r\n3\r\n\r\n"), (V{1, 2, 3}));
    EXPECT_EQ(ImportText("\xEF\xBB\xBF-4\r\n5\r\n\x1a"), (V{-4, 5}));
}

TEST_F(Import, ColumnsAreRunsOfTabs)
{
    ScriptedUser user;
    settings.ScalingMode = ImportSettings::kTruncate;
    settings.Column = 2;
    EXPECT_EQ(ImportText("7\t\t9\n\t5\t6\n"), (V{9, 6}));
    std::string line;
    for (int c = 1; c <= 16; ++c)
        line += std::to_string(c * 10) + "\t";
    settings.Column = 16;
    EXPECT_EQ(ImportText(line + "\n" + line + "\n"), (V{160, 160}));
}

TEST_F(Import, DecimalCommaAndIntegerFields)
{
    ScriptedUser user;
    settings.ScalingMode = ImportSettings::kTruncate;
    settings.Format = ImportSettings::kAsciiFloat;
    EXPECT_EQ(ImportText("3,5\n-2,75\n1e3\n"), (V{3, -2, 1000}));
    settings.Format = ImportSettings::kAsciiInteger;
    EXPECT_EQ(ImportText("3,7\n2.9\n+12\n"), (V{3, 2, 12}));
}

TEST_F(Import, AutomaticRescaleFillsTheRangeCentred)
{
    ScriptedUser user;
    settings.ScalingMode = ImportSettings::kRescale;
    EXPECT_EQ(ImportText("0\n10\n5\n"), (V{-32767, 32767, 0}));
    // A constant source is scaled as if it spanned -1 to 1.
    settings.Format = ImportSettings::kAsciiFloat;
    EXPECT_EQ(ImportText("0.5\n0.5\n"), (V{16383, 16383}));
    settings.BytesPerSample = 3;
    settings.Format = ImportSettings::kAsciiInteger;
    PyWave w;
    WriteText(dir.file("in.txt"), "-4\n4\n0\n");
    ASSERT_TRUE(Run(dir.file("in.txt"), dir.file("out24.wav")));
    w = ReadPyWave(dir.file("out24.wav"));
    EXPECT_EQ(w.width, 3);
    EXPECT_EQ(w.samples, (V{-8388607, 8388607, 0}));
}

TEST_F(Import, DefinedUnitsWriteTheCalibration)
{
    ScriptedUser user;
    settings.Format = ImportSettings::kAsciiFloat;
    settings.ScalingMode = ImportSettings::kDefineUnits;
    settings.DataValue = 1.0f;
    settings.EqualsValue = 94.0f;
    settings.Units = 8;
    CopyField(settings.LabelLinear, "Pascals");
    CopyField(settings.LabelLog, "SPL (dB ref 20uPA)");
    WriteText(dir.file("in.txt"), "2.0\n-1.0\n1.0\n");
    ASSERT_TRUE(Run(dir.file("in.txt"), dir.file("out.wav")));
    PyWave w = ReadPyWave(dir.file("out.wav"));
    EXPECT_EQ(w.samples, (V{32767, -16383, 16383}));

    TWaveFile file(dir.file("out.wav"), TWaveFile::kMemory, false, temp.path());
    ASSERT_FALSE(file.IsError());
    EXPECT_TRUE(file.IsCalibrationPresent());
    for (int slot = 0; slot < 2; ++slot) {
        ChannelCalibration cal;
        file.GetChannelCalibration(cal, slot);
        EXPECT_EQ(+cal.IsEnabled, 1u);
        EXPECT_FLOAT_EQ(+cal.CalRatio, 188.0f);
        EXPECT_FLOAT_EQ(+cal.PctFullScale, 0.5f);
        EXPECT_FLOAT_EQ(+cal.RefLevel, 94.0f);
        EXPECT_EQ(+cal.RefUnits, 8u);
        EXPECT_EQ(+cal.CalCreateMode, 2);
        EXPECT_EQ(+cal.DTCalVersion, 1000);
        EXPECT_NEAR(+cal.MeasuredInputVoltage, 94.0 * 0.7071 * 10.0 / 188.0, 1e-5);
        EXPECT_STREQ(cal.LabelLinear, "Pascals");
        EXPECT_STREQ(cal.LabelLog, "SPL (dB ref 20uPA)");
    }
    // The calibrated value of the peak sample is the source's 2.0 data units x 94.
    EXPECT_NEAR(file.GetSample(0, 0, true), 188.0, 0.01);
}

TEST_F(Import, HeaderLinesAndHeaderBytes)
{
    ScriptedUser user;
    settings.ScalingMode = ImportSettings::kTruncate;
    settings.HasHeader = 1;
    settings.HeaderSize = 2;
    EXPECT_EQ(ImportText("Time\tValue\nseconds\tvolts\n0\t5\n1\t6\n"), (V{0, 1}));

    // Binary sources written by Python's struct module.
    settings.HeaderSize = 3;
    auto binary = [&](const char* pack, ImportSettings::SourceType type) {
        settings.Format = type;
        std::string src = dir.file("in.bin");
        EXPECT_EQ(RunCommand("python3 -c \"import struct; open('" + src + "','wb').write(b'HDR' + " + pack + ")\""), 0);
        EXPECT_TRUE(Run(src, dir.file("bin.wav")));
        return ReadPyWave(dir.file("bin.wav")).samples;
    };
    EXPECT_EQ(binary("bytes([0, 127, 255])", ImportSettings::kBinary8), (V{0, 127, 255}));
    EXPECT_EQ(binary("struct.pack('<4h', 1, -2, 32767, -32768)", ImportSettings::kBinary16),
              (V{1, -2, 32767, -32767}));
    EXPECT_EQ(binary("struct.pack('<3i', 70000, -5, -70000)", ImportSettings::kBinary32), (V{32767, -5, -32767}));
    EXPECT_EQ(binary("struct.pack('<3f', 1.75, -3.5, 100.25)", ImportSettings::kBinaryFloat), (V{1, -3, 100}));
    // The column setting does not apply to binary sources.
    settings.Column = 40;
    EXPECT_EQ(binary("struct.pack('<2h', 9, 8)", ImportSettings::kBinary16), (V{9, 8}));
}

TEST_F(Import, ManyBlocksSampleBySample)
{
    ScriptedUser user;
    settings.Format = ImportSettings::kBinary16;
    settings.ScalingMode = ImportSettings::kTruncate;
    std::string src = dir.file("big.bin");
    ASSERT_EQ(RunCommand("python3 -c \"import struct; open('" + src +
                         "','wb').write(struct.pack('<20000h', *[(i * 37) % 65536 - 32768 for i in range(20000)]))\""),
              0);
    int steps = 0;
    ASSERT_TRUE(Run(src, dir.file("big.wav"), &steps));
    EXPECT_EQ(steps, 3); // 8192 + 8192 + 3616
    PyWave w = ReadPyWave(dir.file("big.wav"));
    ASSERT_EQ(w.samples.size(), 20000u);
    for (long long i = 0; i < 20000; ++i) {
        long long expected = std::max<long long>((i * 37) % 65536 - 32768, -32767);
        ASSERT_EQ(w.samples[static_cast<std::size_t>(i)], expected) << "sample " << i;
    }
}

// Bad sources: a clear message, nothing at the destination, no working copy left.
class ImportRefused : public Import {
protected:
    void ExpectRefused(const std::string& source, const std::string& message)
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, message);
        std::string out = dir.file("out.wav");
        WriteText(out, "previous");
        TImportProcess process(source, out, settings, temp.path());
        EXPECT_FALSE(process.Start());
        EXPECT_EQ(process.GetState(), TImportProcess::State::Failed);
        EXPECT_FALSE(process.Step());
        EXPECT_EQ(ReadText(out), "previous") << "the destination was touched";
        EXPECT_EQ(temp.count(), 0u);
    }
};

TEST_F(ImportRefused, MalformedSources)
{
    WriteText(dir.file("text.txt"), "1\n2\nabc\n4\n");
    ExpectRefused(dir.file("text.txt"), "Line 3 of the import file");
    settings.Column = 3;
    WriteText(dir.file("short.txt"), "1\t2\t3\n4\t5\n");
    ExpectRefused(dir.file("short.txt"), "Line 2 of the import file");
    settings.Column = 1;
    settings.Format = ImportSettings::kAsciiFloat;
    WriteText(dir.file("nan.txt"), "1.5\nnan\n");
    ExpectRefused(dir.file("nan.txt"), "holds no number in column 1");

    settings.Format = ImportSettings::kBinary16;
    WriteText(dir.file("odd.bin"), std::string("\x01\x00\x02\x00\x03", 5));
    ExpectRefused(dir.file("odd.bin"), "ends in an incomplete sample");
    settings.Format = ImportSettings::kBinaryFloat;
    WriteText(dir.file("inf.bin"), std::string("\x00\x00\x80\x3f\x00\x00\x80\x7f", 8));
    ExpectRefused(dir.file("inf.bin"), "Value 2 of the import file");
}

TEST_F(ImportRefused, EmptyAndMissingSources)
{
    WriteText(dir.file("empty.txt"), "");
    ExpectRefused(dir.file("empty.txt"), "holds no samples to import");
    WriteText(dir.file("blank.txt"), "\n\r\n\n");
    ExpectRefused(dir.file("blank.txt"), "holds no samples to import");
    settings.Format = ImportSettings::kBinary8;
    settings.HasHeader = 1;
    settings.HeaderSize = 100;
    WriteText(dir.file("small.bin"), "12345");
    ExpectRefused(dir.file("small.bin"), "holds no samples to import");
    ExpectRefused(dir.file("missing.bin"), "Failure opening import data file: " + dir.file("missing.bin"));
}

TEST_F(Import, CancelLeavesNothing)
{
    ScriptedUser user;
    settings.Format = ImportSettings::kBinary8;
    WriteText(dir.file("in.bin"), std::string(20000, '\x40'));
    std::string out = dir.file("out.wav");
    TImportProcess process(dir.file("in.bin"), out, settings, temp.path());
    ASSERT_TRUE(process.Start());
    EXPECT_EQ(process.GetCount(), 20000u);
    EXPECT_TRUE(process.Step());
    EXPECT_EQ(process.GetDone(), 8192u);
    process.Cancel();
    EXPECT_EQ(process.GetState(), TImportProcess::State::Cancelled);
    EXPECT_FALSE(process.Step());
    EXPECT_FALSE(FileExists(out));
    EXPECT_EQ(temp.count(), 0u);
}

TEST_F(Import, ConversionIsLimitedNotWrapped)
{
    ScriptedUser user;
    settings.ScalingMode = ImportSettings::kTruncate;
    settings.BytesPerSample = 3;
    WriteText(dir.file("in.txt"), "1\n");
    TImportProcess process(dir.file("in.txt"), dir.file("o.wav"), settings, temp.path());
    ASSERT_TRUE(process.Start());
    EXPECT_EQ(process.Convert(9e9), 8388607);
    EXPECT_EQ(process.Convert(-9e9), -8388607);
    EXPECT_EQ(process.Convert(-2.9), -2); // truncated toward zero
    EXPECT_EQ(process.Convert(1e300), 8388607);
}

TEST(ImportSettingsRecord, StartValuesAndChecks)
{
    ImportSettings s;
    EXPECT_EQ(s.SampleRate, 48000u);
    EXPECT_EQ(s.ScalingMode, ImportSettings::kRescale);
    EXPECT_STREQ(s.LabelLog, "dBV");
    EXPECT_EQ(CheckImportSettings(s), "");
    s.HasHeader = 1;
    s.HeaderSize = -1;
    EXPECT_EQ(CheckImportSettings(s), "Header Size cannot be less than zero");
    s.HasHeader = 0;
    s.Column = 17;
    EXPECT_EQ(CheckImportSettings(s), "Column Index value must be 1 to 16");
    s.Format = ImportSettings::kBinary32; // no column limit for binary sources
    EXPECT_EQ(CheckImportSettings(s), "");
    s.SampleRate = 0;
    EXPECT_EQ(CheckImportSettings(s), "Sampling Rate must be greater than zero");
    ImportSettings a, b;
    a.DataValue = 2.0f;
    a.SetStartValues();
    EXPECT_TRUE(SameRecordBytes(a, b));
}

} // namespace
