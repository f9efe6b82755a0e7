// Independent readers and writers agree with us: Python's wave module and sox read the files
// we write with identical samples, and we read theirs with identical samples.
#include "wave/TWaveFile.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace wavetest;

namespace {

// Also prints the fmt chunk's byte rate and block align, which the wave module ignores.
const char* kPyDump = R"(import sys, wave, struct
w = wave.open(sys.argv[1], 'rb')
open(sys.argv[2], 'wb').write(w.readframes(w.getnframes()))
byte_rate, block_align = struct.unpack('<IH', open(sys.argv[1], 'rb').read(34)[28:34])
print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes(), byte_rate, block_align)
)";

const char* kPyWrite = R"(import sys, wave
ch, width, rate = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
data = open(sys.argv[2], 'rb').read()
w = wave.open(sys.argv[1], 'wb')
w.setnchannels(ch); w.setsampwidth(width); w.setframerate(rate)
w.writeframes(data)
w.close()
)";

// Bytes of our 8-bit samples are unsigned; sox's raw output for 8-bit is unsigned too.
std::string SoxRawType(int bytes)
{
    return bytes == 1 ? "-e unsigned-integer" : "-e signed-integer";
}

struct Shape {
    int bytes;
    int channels;
};

class WaveInterop : public ::testing::TestWithParam<Shape> {
protected:
    void SetUp() override
    {
        if (!HaveTool("python3") || !HaveTool("sox"))
            GTEST_SKIP() << "python3 and sox are needed";
        WriteFile(dir.file("dump.py"), std::vector<std::uint8_t>(kPyDump, kPyDump + std::strlen(kPyDump)));
        WriteFile(dir.file("write.py"), std::vector<std::uint8_t>(kPyWrite, kPyWrite + std::strlen(kPyWrite)));
    }
    TempFolder dir;
};

} // namespace

TEST_P(WaveInterop, FilesWeWriteReadIdenticallyInPythonAndSox)
{
    Shape s = GetParam();
    TPcmFormat f(11025, static_cast<WORD>(s.channels), static_cast<WORD>(s.bytes));
    const DWORD frames = 1237; // odd, so 8-bit mono needs a pad byte
    std::vector<std::uint8_t> samples = PatternBytes(f, frames, static_cast<std::uint32_t>(s.bytes * 10 + s.channels));
    std::string path = dir.file("ours.wav");
    {
        TWaveFile w(frames, f, dir.path());
        ASSERT_TRUE(w.WriteBytes(samples.data(), static_cast<DWORD>(samples.size())));
        WaveCalibrationBlock cal;
        cal.Channel[0] = ChannelCalibration(0);
        cal.Channel[1] = ChannelCalibration(1);
        w.SetCalibration(cal); // the calibration chunk follows the RIFF chunk
        w.SetFileName(path);
        ASSERT_TRUE(w.Save());
    }
    ASSERT_EQ(RunCommand("python3 " + dir.file("dump.py") + " " + path + " " + dir.file("py.raw") + " > " +
                  dir.file("py.txt")),
              0);
    EXPECT_EQ(ReadFile(dir.file("py.raw")), samples);
    std::vector<std::uint8_t> info = ReadFile(dir.file("py.txt"));
    std::string text(info.begin(), info.end());
    const int align = s.channels * s.bytes;
    EXPECT_EQ(text, std::to_string(s.channels) + " " + std::to_string(s.bytes) + " 11025 1237 " +
                        std::to_string(11025 * align) + " " + std::to_string(align) + "\n");

    ASSERT_EQ(RunCommand("sox -V1 " + path + " -t raw " + dir.file("sox.raw")), 0);
    EXPECT_EQ(ReadFile(dir.file("sox.raw")), samples);
}

TEST_P(WaveInterop, FilesOthersWriteReadIdenticallyHere)
{
    Shape s = GetParam();
    TPcmFormat f(48000, static_cast<WORD>(s.channels), static_cast<WORD>(s.bytes));
    const DWORD frames = 999;
    std::vector<std::uint8_t> samples = PatternBytes(f, frames, 77);
    WriteFile(dir.file("in.raw"), samples);
    std::string py = dir.file("python.wav");
    ASSERT_EQ(RunCommand("python3 " + dir.file("write.py") + " " + py + " " + dir.file("in.raw") + " " +
                  std::to_string(s.channels) + " " + std::to_string(s.bytes) + " 48000"),
              0);
    // sox writes an extensible header for wide samples; it must read the same.
    std::string sx = dir.file("sox.wav");
    ASSERT_EQ(RunCommand("sox -V1 -t raw -r 48000 -c " + std::to_string(s.channels) + " -b " + std::to_string(s.bytes * 8) +
                  " " + SoxRawType(s.bytes) + " " + dir.file("in.raw") + " " + sx),
              0);
    for (const std::string& path : {py, sx}) {
        for (WORD mode : {TWaveFile::kMemory, TWaveFile::kStreamed}) {
            TWaveFile w(path, mode, true, dir.path());
            ASSERT_FALSE(w.IsError()) << path << " mode " << mode;
            EXPECT_TRUE(w.GetFormat().Equals(f));
            ASSERT_EQ(w.GetEndFrame(), frames);
            std::vector<std::uint8_t> got(samples.size());
            w.Seek(0);
            ASSERT_TRUE(w.ReadBytes(got.data(), static_cast<DWORD>(got.size())));
            EXPECT_EQ(got, samples) << path << " mode " << mode;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, WaveInterop,
                         ::testing::Values(Shape{1, 1}, Shape{1, 2}, Shape{2, 1}, Shape{2, 2}, Shape{3, 1},
                                           Shape{3, 2}, Shape{4, 1}, Shape{4, 2}),
                         [](const ::testing::TestParamInfo<Shape>& i) {
                             return std::to_string(i.param.bytes * 8) + "bit_" +
                                    (i.param.channels == 1 ? "mono" : "stereo");
                         });

TEST(WaveInteropSox, SineWrittenBySoxHasTheExpectedSamples)
{
    if (!HaveTool("sox"))
        GTEST_SKIP() << "sox is needed";
    TempFolder dir;
    std::string path = dir.file("sine.wav");
    // 1 kHz at 8 kHz: a period of 8 samples, amplitude -6 dBFS.
    ASSERT_EQ(RunCommand("sox -V1 -n -r 8000 -c 1 -b 16 " + path + " synth 0.01 sine 1000 gain -6.0206"), 0);
    TWaveFile w(path, TWaveFile::kMemory, false, dir.path());
    ASSERT_FALSE(w.IsError());
    ASSERT_EQ(w.GetEndFrame(), 80u);
    float hi = 0, lo = 0;
    w.GetRangeMinMax(0, 80, hi, lo, 0, true, false);
    EXPECT_NEAR(hi, 0.5, 0.01);
    EXPECT_NEAR(lo, -0.5, 0.01);
    EXPECT_NEAR(w.MeanSquare(0, 80, 0), 0.125, 0.005) << "a sine's mean square is half its peak squared";
}
