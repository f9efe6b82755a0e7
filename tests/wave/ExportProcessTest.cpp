// Export of a channel's wave file as text or binary numbers, the output read back with
// Python's struct module; cancelled and failed exports leave nothing behind.
#include "ImportExportSupport.h"
#include "platform/core/FileSystem.h"
#include "support/ScriptedUser.h"
#include "wave/ExportProcess.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <memory>

using namespace wavetest;

namespace {

using V = std::vector<long long>;

class Export : public ::testing::Test {
protected:
    TempFolder dir;
    ExportSettings settings;

    std::unique_ptr<TWaveFile> PyFile(int width, const V& samples, WORD mode = TWaveFile::kMemory)
    {
        std::string path = dir.file("src" + std::to_string(width) + ".wav");
        EXPECT_TRUE(WritePyWave(path, 8000, width, 1, samples));
        auto file = std::make_unique<TWaveFile>(path, mode, false, dir.path());
        EXPECT_FALSE(file->IsError());
        return file;
    }

    bool Run(TWaveFile* file, const std::string& out, ExportSettings::OutputType type, char separator = '.')
    {
        settings.Format = type;
        TExportProcess process(file, out, settings);
        process.SetDecimalSeparator(separator);
        if (!process.Start())
            return false;
        while (process.Step()) {
        }
        return process.GetState() == TExportProcess::State::Done;
    }

    // Numbers of a binary output, unpacked by Python's struct module.
    V Unpack(const std::string& path, const char* code)
    {
        std::string out = path + ".txt";
        EXPECT_EQ(RunCommand("python3 -c \"import struct,sys; d=open('" + path + "','rb').read(); s=struct.calcsize('<" +
                             code + "'); open('" + out + "','w').write('\\n'.join(repr(v) for v in struct.unpack('<%d" +
                             code + "' % (len(d)//s), d)))\""),
                  0);
        std::istringstream in(ReadText(out));
        V values;
        double v;
        while (in >> v)
            values.push_back(static_cast<long long>(v));
        return values;
    }
};

TEST_F(Export, TextIntegersAreTheStoredValues)
{
    ScriptedUser user;
    auto w16 = PyFile(2, {0, 1, -1, 32767, -32767, -32768});
    ASSERT_TRUE(Run(w16.get(), dir.file("a.txt"), ExportSettings::kAsciiInteger));
    EXPECT_EQ(ReadText(dir.file("a.txt")), "0\n1\n-1\n32767\n-32767\n-32768\n");
    auto w24 = PyFile(3, {8388607, -8388607, 5});
    ASSERT_TRUE(Run(w24.get(), dir.file("b.txt"), ExportSettings::kAsciiInteger));
    EXPECT_EQ(ReadText(dir.file("b.txt")), "8388607\n-8388607\n5\n");
    EXPECT_EQ(dir.count(), 4u) << "temporary output left behind";
}

TEST_F(Export, EightBitIsCentredOn127)
{
    ScriptedUser user;
    auto w16 = PyFile(2, {32767, 0, -32767, -32768});
    ASSERT_TRUE(Run(w16.get(), dir.file("a.bin"), ExportSettings::kBinary8));
    EXPECT_EQ(Unpack(dir.file("a.bin"), "B"), (V{254, 127, 0, 0}));
    auto w24 = PyFile(3, {8388607, 0, -8388607});
    ASSERT_TRUE(Run(w24.get(), dir.file("b.bin"), ExportSettings::kBinary8));
    EXPECT_EQ(Unpack(dir.file("b.bin"), "B"), (V{254, 127, 0}));
    auto w8 = PyFile(1, {0, 127, 255});
    ASSERT_TRUE(Run(w8.get(), dir.file("c.bin"), ExportSettings::kBinary8));
    EXPECT_EQ(Unpack(dir.file("c.bin"), "B"), (V{0, 127, 255}));
}

// 16-bit export keeps the top 16 bits of wider samples (a 24-bit ramp comes out shifted by 8
// bits, where it was clipped in 11,898 of 12,000 samples) and moves 8-bit ones up; 32-bit
// keeps the values.
TEST_F(Export, SixteenBitKeepsFullScaleAndThirtyTwoKeepsTheValues)
{
    ScriptedUser user;
    V ramp;
    for (long long v = -8388608; v <= 8388607 && ramp.size() < 12000; v += 1398)
        ramp.push_back(v);
    ramp.back() = 8388607;
    ramp.push_back(-1);
    auto w24 = PyFile(3, ramp);
    ASSERT_TRUE(Run(w24.get(), dir.file("a.bin"), ExportSettings::kBinary16));
    V shifted;
    for (long long v : ramp)
        shifted.push_back(v >> 8);
    EXPECT_EQ(Unpack(dir.file("a.bin"), "h"), shifted);
    ASSERT_TRUE(Run(w24.get(), dir.file("b.bin"), ExportSettings::kBinary32));
    EXPECT_EQ(Unpack(dir.file("b.bin"), "i"), ramp);
    auto w16 = PyFile(2, {32767, -32768, 5});
    ASSERT_TRUE(Run(w16.get(), dir.file("c.bin"), ExportSettings::kBinary16));
    EXPECT_EQ(Unpack(dir.file("c.bin"), "h"), (V{32767, -32768, 5}));
    auto w8 = PyFile(1, {0, 127, 255});
    ASSERT_TRUE(Run(w8.get(), dir.file("d.bin"), ExportSettings::kBinary16));
    const V eight = Unpack(dir.file("d.bin"), "h");
    ASSERT_EQ(eight.size(), 3u);
    EXPECT_LT(eight[0], -32000);
    EXPECT_EQ(eight[1] % 256, 0);
    EXPECT_GT(eight[2], 32000);
}

TEST_F(Export, FloatsInTheFileUnits)
{
    ScriptedUser user;
    auto w = PyFile(2, {1, -2, 32767, 0});
    // Without calibration: fractions of full scale.
    ASSERT_TRUE(Run(w.get(), dir.file("a.bin"), ExportSettings::kBinaryFloat));
    std::string out = dir.file("a.bin.txt");
    ASSERT_EQ(RunCommand("python3 -c \"import struct; d=open('" + dir.file("a.bin") +
                         "','rb').read(); v=struct.unpack('<4f', d); "
                         "assert abs(v[0]-1/32767)<1e-9 and abs(v[1]+2/32767)<1e-9 and v[2]==1.0 and v[3]==0.0, v\""),
              0);
    // A calibration of 16383.5 units at full scale: the sample 1 is 0.5 units.
    WaveCalibrationBlock block;
    block.Channel[0].IsEnabled = 1;
    block.Channel[0].CalRatio = 16383.5f;
    block.Channel[0].RefUnits = kUnitVolts;
    block.Channel[1] = block.Channel[0];
    w->SetCalibration(block);
    ASSERT_TRUE(Run(w.get(), dir.file("b.txt"), ExportSettings::kAsciiFloat));
    EXPECT_EQ(ReadText(dir.file("b.txt")), "0.500000\n-1.000000\n16383.500000\n0.000000\n");
    ASSERT_TRUE(Run(w.get(), dir.file("c.txt"), ExportSettings::kAsciiFloat, ','));
    EXPECT_EQ(ReadText(dir.file("c.txt")), "0,500000\n-1,000000\n16383,500000\n0,000000\n");
}

TEST_F(Export, ManyBlocksFromAStreamedFile)
{
    ScriptedUser user;
    V samples;
    for (long long i = 0; i < 20000; ++i)
        samples.push_back((i * 131) % 60001 - 30000);
    auto w = PyFile(2, samples, TWaveFile::kStreamed);
    settings.Format = ExportSettings::kBinary16;
    TExportProcess process(w.get(), dir.file("big.bin"), settings);
    ASSERT_TRUE(process.Start());
    int steps = 1;
    while (process.Step())
        ++steps;
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(process.GetProgress(), 100);
    EXPECT_EQ(Unpack(dir.file("big.bin"), "h"), samples);
}

TEST_F(Export, CancelKeepsWhatWasThere)
{
    ScriptedUser user;
    auto w = PyFile(2, V(20000, 7));
    WriteText(dir.file("out.txt"), "earlier export");
    settings.Format = ExportSettings::kAsciiInteger;
    const std::size_t before = dir.count();
    {
        TExportProcess process(w.get(), dir.file("out.txt"), settings);
        ASSERT_TRUE(process.Start());
        EXPECT_TRUE(process.Step());
        process.Cancel();
        EXPECT_FALSE(process.Step());
        EXPECT_EQ(process.GetState(), TExportProcess::State::Cancelled);
    }
    EXPECT_EQ(ReadText(dir.file("out.txt")), "earlier export");
    EXPECT_EQ(dir.count(), before);
    {
        // Dropped unfinished: the same.
        TExportProcess process(w.get(), dir.file("new.txt"), settings);
        ASSERT_TRUE(process.Start());
        EXPECT_TRUE(process.Step());
    }
    EXPECT_FALSE(FileExists(dir.file("new.txt")));
    EXPECT_EQ(dir.count(), before);
}

TEST_F(Export, OutputThatCannotBeOpened)
{
    ScriptedUser user;
    user.ExpectBox(IDOK, "Failure opening export file");
    auto w = PyFile(2, {1, 2});
    EXPECT_FALSE(Run(w.get(), dir.file("no/such/folder/out.txt"), ExportSettings::kAsciiInteger));
}

TEST_F(Export, EmptyWaveGivesAnEmptyFile)
{
    ScriptedUser user;
    TWaveFile empty(0, TPcmFormat(8000, 1, 2), dir.path());
    ASSERT_TRUE(Run(&empty, dir.file("e.txt"), ExportSettings::kAsciiInteger));
    EXPECT_TRUE(FileExists(dir.file("e.txt")));
    EXPECT_EQ(ReadText(dir.file("e.txt")), "");
}

} // namespace
