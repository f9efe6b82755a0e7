// Independent readers and writers agree with us: Python's wave module and sox read the files
// we write with identical samples, and we read theirs with identical samples.
#include "wave/TWaveFile.h"
#include "support/NeedsTool.h"
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
            DURNEX_SKIP_WITHOUT("python3 and sox are needed");
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
        DURNEX_SKIP_WITHOUT("sox is needed");
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

namespace {

// Reads a wave file as sox's and libsndfile's users see it: the "fact" frame count against the
// data chunk, what libsndfile reads against the expected 24-bit samples, and whether the
// calibration chunk follows the RIFF chunk.
const char* kPyCheck = R"(import sys, struct
import numpy as np, soundfile as sf
path, expected, channels = sys.argv[1], sys.argv[2], int(sys.argv[3])
b = open(path, 'rb').read()
riff = struct.unpack('<I', b[4:8])[0]
p, fact, data, align = 12, -1, -1, 0
while p + 8 <= 8 + riff:
    cid, size = b[p:p + 4], struct.unpack('<I', b[p + 4:p + 8])[0]
    if cid == b'fact': fact = struct.unpack('<I', b[p + 8:p + 12])[0]
    if cid == b'data': data = size
    if cid == b'fmt ': align = struct.unpack('<H', b[p + 20:p + 22])[0]
    p += 8 + size + (size & 1)
tail = b[8 + riff + (riff & 1):]
cal = len(tail) >= 8 and struct.unpack('<II', tail[:8]) == (102, 2048)
raw = np.frombuffer(open(expected, 'rb').read(), dtype=np.uint8).reshape(-1, 3)
want = (np.pad(raw, ((0, 0), (1, 0))).copy().view('<i4').reshape(-1) >> 8).reshape(-1, channels)
got, rate = sf.read(path, dtype='int32', always_2d=True)
print(fact, data // align, len(got), int(np.array_equal(got >> 8, want)), int(cal))
)";

// In-place edits of a file sox wrote: cut, paste insert, mute and the undo of a cut.
std::vector<std::uint8_t> EditLikeAUser(TWaveFile& w, std::vector<std::uint8_t> bytes, DWORD align)
{
    const auto at = [&](DWORD frame) { return bytes.begin() + static_cast<std::ptrdiff_t>(frame * align); };
    HGLOBAL image = w.Cut(100, 300);
    EXPECT_NE(image, nullptr);
    std::vector<std::uint8_t> cut(at(100), at(300));
    bytes.erase(at(100), at(300));
    if (image != nullptr) {
        EXPECT_TRUE(w.PasteInsert({static_cast<const std::uint8_t*>(GlobalLock(image)), GlobalSize(image)}, 1000));
        GlobalUnlock(image);
        GlobalFree(image);
        bytes.insert(at(1000), cut.begin(), cut.end());
    }
    w.MuteFrames(400, 600);
    std::fill(at(400), at(600), std::uint8_t{0});
    HGLOBAL second = w.Cut(0, 50);
    GlobalFree(second);
    w.Undo();
    HGLOBAL last = w.Cut(2500, 2800);
    GlobalFree(last);
    bytes.erase(at(2500), at(2800));
    return bytes;
}

// The independent readers the fact-chunk checks use.
bool HaveSoxAndSoundfile()
{
    return HaveTool("sox") && RunCommand("/usr/bin/python3 -c 'import soundfile, numpy' 2>/dev/null") == 0;
}

} // namespace

// sox writes 24-bit and multichannel files with an extensible format and a "fact" chunk. Edited
// in place (or on a backup copy) and saved, such a file names its new length everywhere, reads
// back sample for sample in sox and libsndfile, and carries the calibration chunk.
TEST(WaveInteropSox, ASoxFileEditedAndSavedReadsBackEverywhere)
{
    if (!HaveSoxAndSoundfile())
        DURNEX_SKIP_WITHOUT("sox and python3-soundfile are needed");
    for (const bool backup : {false, true}) {
        TempFolder dir;
        WriteFile(dir.file("check.py"), std::vector<std::uint8_t>(kPyCheck, kPyCheck + std::strlen(kPyCheck)));
        const std::string path = dir.file("sox.wav");
        ASSERT_EQ(RunCommand("sox -V1 -n -r 4000 -c 3 -b 24 " + path + " synth 0.75 sine 100 sine 300 noise"), 0);
        ASSERT_EQ(RunCommand("sox -V1 " + path + " -t raw " + dir.file("before.raw")), 0);
        std::vector<std::uint8_t> expected = ReadFile(dir.file("before.raw"));
        ASSERT_EQ(expected.size(), 3000u * 9);
        {
            TWaveFile w(path, TWaveFile::kStreamed, backup, dir.path());
            ASSERT_FALSE(w.IsError());
            ASSERT_EQ(w.GetEndFrame(), 3000u);
            expected = EditLikeAUser(w, expected, 9);
            WaveCalibrationBlock cal;
            cal.Channel[0] = ChannelCalibration(0);
            cal.Channel[0].CalRatio = 2.5f;
            w.SetCalibration(cal);
            ASSERT_TRUE(w.Save());
        }
        WriteFile(dir.file("expected.raw"), expected);
        ASSERT_EQ(RunCommand("sox -V1 " + path + " -t raw " + dir.file("after.raw")), 0);
        EXPECT_EQ(ReadFile(dir.file("after.raw")), expected) << "backup " << backup;
        ASSERT_EQ(RunCommand("/usr/bin/python3 " + dir.file("check.py") + " " + path + " " + dir.file("expected.raw") +
                             " 3 > " + dir.file("check.txt")),
                  0);
        const std::vector<std::uint8_t> said = ReadFile(dir.file("check.txt"));
        const std::string frames = std::to_string(expected.size() / 9);
        // A backup save writes a canonical file, which needs no "fact" chunk (-1).
        EXPECT_EQ(std::string(said.begin(), said.end()),
                  (backup ? "-1 " : frames + " ") + frames + " " + frames + " 1 1\n")
            << "backup " << backup;
        TWaveFile back(path, TWaveFile::kMemory, false, dir.path());
        EXPECT_EQ(+back.CalibrationBlock().Channel[0].CalRatio, 2.5f);
    }
}

// A recording into a file sox wrote: while samples are appended, each header update also brings
// the "fact" count along, so the file as it stands (after a crash, say) reads whole.
TEST(WaveInteropSox, AppendingToASoxFileKeepsItsFrameCountsInStep)
{
    if (!HaveSoxAndSoundfile())
        DURNEX_SKIP_WITHOUT("sox and python3-soundfile are needed");
    TempFolder dir;
    WriteFile(dir.file("check.py"), std::vector<std::uint8_t>(kPyCheck, kPyCheck + std::strlen(kPyCheck)));
    const std::string path = dir.file("take.wav");
    ASSERT_EQ(RunCommand("sox -V1 -n -r 4000 -c 1 -b 24 " + path + " synth 0.25 sine 50"), 0);
    ASSERT_EQ(RunCommand("sox -V1 " + path + " -t raw " + dir.file("before.raw")), 0);
    std::vector<std::uint8_t> expected = ReadFile(dir.file("before.raw"));
    TWaveFile w(path, TWaveFile::kStreamed, false, dir.path());
    ASSERT_FALSE(w.IsError());
    const std::vector<std::uint8_t> more = PatternBytes(w.GetFormat(), 700, 5);
    w.Seek(w.GetEndFrame());
    ASSERT_TRUE(w.WriteBytes(more.data(), static_cast<DWORD>(more.size())));
    ASSERT_TRUE(w.UpdateHeaderSizes());
    expected.insert(expected.end(), more.begin(), more.end());
    WriteFile(dir.file("expected.raw"), expected);
    ASSERT_EQ(RunCommand("/usr/bin/python3 " + dir.file("check.py") + " " + path + " " + dir.file("expected.raw") +
                         " 1 > " + dir.file("check.txt")),
              0);
    const std::vector<std::uint8_t> said = ReadFile(dir.file("check.txt"));
    EXPECT_EQ(std::string(said.begin(), said.end()), "1700 1700 1700 1 0\n");
}
