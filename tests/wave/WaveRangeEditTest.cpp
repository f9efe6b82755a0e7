// Deleting and muting time ranges at a wave's start, inside it and at or past its end, in
// memory and on disk, for every sample width; the saved files are read back by Python's wave
// module.
#include "support/ScriptedUser.h"
#include "support/NeedsTool.h"
#include "wave/TWaveFile.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace wavetest;

namespace {

const char* kPyFrames = R"(import sys, wave
w = wave.open(sys.argv[1], 'rb')
open(sys.argv[2], 'wb').write(w.readframes(w.getnframes()))
print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())
)";

struct Case {
    WORD mode;
    WORD bytes;
    WORD channels;
};

std::string Name(const Case& c)
{
    return std::string(c.mode == TWaveFile::kMemory ? "Memory" : "Streamed") + std::to_string(c.bytes * 8) + "bit" +
           std::to_string(c.channels) + "ch";
}

class WaveRangeEdit : public ::testing::TestWithParam<Case> {
protected:
    static constexpr DWORD kFrames = 1001; // odd, so an odd end is the wave's own
    static constexpr DWORD kRate = 1000;

    void SetUp() override
    {
        if (!HaveTool("python3"))
            DURNEX_SKIP_WITHOUT("python3 is needed");
        format_ = TPcmFormat(kRate, GetParam().channels, GetParam().bytes);
        original_ = PatternBytes(format_, kFrames, GetParam().bytes * 3u + GetParam().channels);
        path_ = dir_.file("take.wav");
        TWaveFile w(kFrames, format_, dir_.path());
        ASSERT_TRUE(w.WriteBytes(original_.data(), static_cast<DWORD>(original_.size())));
        w.SetFileName(path_);
        ASSERT_TRUE(w.Save());
    }

    // Frames [first, end) of the original, as bytes.
    std::vector<std::uint8_t> Original(DWORD first, DWORD end) const
    {
        const std::size_t align = format_.BlockAlign();
        return {original_.begin() + static_cast<std::ptrdiff_t>(first * align),
                original_.begin() + static_cast<std::ptrdiff_t>(end * align)};
    }

    std::vector<std::uint8_t> Silence(DWORD frames) const
    {
        return std::vector<std::uint8_t>(static_cast<std::size_t>(frames) * format_.BlockAlign(),
                                         format_.BytesPerSample == 1 ? 127 : 0);
    }

    // The samples Python's wave module reads from the saved file; its frame count checked.
    std::vector<std::uint8_t> PythonFrames(DWORD expectedFrames)
    {
        WriteFile(dir_.file("frames.py"), std::vector<std::uint8_t>(kPyFrames, kPyFrames + std::strlen(kPyFrames)));
        EXPECT_EQ(RunCommand("python3 " + dir_.file("frames.py") + " " + path_ + " " + dir_.file("py.raw") + " > " +
                             dir_.file("py.txt")),
                  0);
        std::vector<std::uint8_t> info = ReadFile(dir_.file("py.txt"));
        EXPECT_EQ(std::string(info.begin(), info.end()),
                  std::to_string(format_.Channels) + " " + std::to_string(format_.BytesPerSample) + " " +
                      std::to_string(kRate) + " " + std::to_string(expectedFrames) + "\n");
        return ReadFile(dir_.file("py.raw"));
    }

    ScriptedUser user_; // any message box fails the test
    TempFolder dir_;
    TPcmFormat format_;
    std::vector<std::uint8_t> original_;
    std::string path_;
};

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST_P(WaveRangeEdit, DeletedSecondsCloseTheGapAndNothingElseIsLost)
{
    {
        TWaveFile w(path_, GetParam().mode, false, dir_.path());
        ASSERT_FALSE(w.IsError());
        w.DeleteSeconds(&w, 0.125f, 0.25f);  // inside: frames [125, 250)
        w.DeleteSeconds(&w, 0.0f, 0.0625f);  // at the start: [0, 62)
        w.DeleteSeconds(&w, 0.75f, 5.0f);    // to past the end: [750, 814)
        // Ranges that hold no frame delete none; a negative time is the start, not a frame
        // far past the end.
        w.DeleteSeconds(&w, 0.0f, -1.0f);
        w.DeleteSeconds(&w, 0.5f, 0.25f);
        w.DeleteSeconds(&w, 0.75f, 0.875f);
        w.DeleteSeconds(&w, -1.0f, 0.03125f); // [0, 31)
        EXPECT_EQ(w.GetEndFrame(), 719u);
        EXPECT_TRUE(w.IsModified());
        ASSERT_TRUE(w.Save());
    }
    // What is left, in the original's frame numbers: [93, 125) and [250, 937).
    EXPECT_EQ(PythonFrames(719), Join({Original(93, 125), Original(250, 937)}));
}

TEST_P(WaveRangeEdit, MutingToAndFromAFrameSilencesUpToTheWavesEnds)
{
    const bool streamed = GetParam().mode == TWaveFile::kStreamed;
    {
        TWaveFile w(path_, GetParam().mode, false, dir_.path());
        ASSERT_FALSE(w.IsError());
        w.MuteToFrame(10);
        w.MuteFromFrame(990); // to frame 1000, the last of an odd length, on disk too
        if (streamed) {
            float from = 0, to = 0;
            w.GetUndoSeconds(from, to);
            EXPECT_FLOAT_EQ(from, 0.99f);
            EXPECT_FLOAT_EQ(to, 1.001f);
        }
        // From the end or past it there is nothing to mute, and the undo stays as it was.
        w.MuteFromFrame(kFrames);
        w.MuteFromFrame(5000);
        DWORD first = 0, end = 0;
        w.GetUndoRange(first, end);
        EXPECT_EQ(end, streamed ? kFrames : 0u);
        EXPECT_EQ(w.GetEndFrame(), kFrames);
        ASSERT_TRUE(w.Save());
    }
    EXPECT_EQ(PythonFrames(kFrames), Join({Silence(10), Original(10, 990), Silence(11)}));

    if (streamed) {
        // The mute is undone from its undo file, up to the last frame.
        TWaveFile w(path_, TWaveFile::kStreamed, false, dir_.path());
        w.MuteFromFrame(500);
        w.Undo();
        ASSERT_TRUE(w.Save());
        EXPECT_EQ(PythonFrames(kFrames), Join({Silence(10), Original(10, 990), Silence(11)}));
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, WaveRangeEdit,
                         ::testing::Values(Case{TWaveFile::kMemory, 1, 1}, Case{TWaveFile::kStreamed, 1, 1},
                                           Case{TWaveFile::kMemory, 2, 2}, Case{TWaveFile::kStreamed, 2, 2},
                                           Case{TWaveFile::kMemory, 3, 2}, Case{TWaveFile::kStreamed, 3, 2},
                                           Case{TWaveFile::kMemory, 4, 1}, Case{TWaveFile::kStreamed, 4, 1}),
                         [](const auto& info) { return Name(info.param); });

TEST(WaveDataRanges, MeanSquareOverSecondsMatchesTheSineAndPositionsReadBack)
{
    // 2 s at 1000 Hz, stereo 16-bit, 50 Hz sines: on the left half of full scale in the first
    // second and a quarter in the second, on the right a quarter throughout; slot A is
    // calibrated to 4 units at full scale.
    TWaveData d(2000, TPcmFormat(1000, 2, 2));
    ASSERT_FALSE(d.IsError());
    std::vector<std::int16_t> left(2000), right(2000);
    for (int i = 0; i < 2000; ++i) {
        const double s = std::sin(2 * 3.14159265358979323846 * 50 * i / 1000.0);
        left[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::lround((i < 1000 ? 16383.5 : 8191.75) * s));
        right[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::lround(8191.75 * s));
    }
    ASSERT_TRUE(d.WriteSamples(left.data(), 0, 2000, 0));
    ASSERT_TRUE(d.WriteSamples(right.data(), 0, 2000, 1));
    WaveCalibrationBlock cal = d.CalibrationBlock();
    cal.Channel[0].CalRatio = 4.0f;
    d.UpdateCalibrationGains(cal);

    // Calibrated sample = raw / full scale x CalRatio; a sine's mean square is A^2 / 2 (to the
    // rounding of the samples).
    EXPECT_NEAR(d.MeanSquareSeconds(0.25f, 0.75f, 0), 0.5 * 2.0 * 2.0, 6e-4);
    EXPECT_NEAR(d.MeanSquareSeconds(0.5f, 1.5f, 0), (0.5 * 2.0 * 2.0 + 0.5) / 2, 4e-4);
    EXPECT_NEAR(d.MeanSquareSeconds(1.0f, 2.0f, 0), 0.5, 2e-4);
    EXPECT_NEAR(d.MeanSquareSeconds(0.5f, 1.5f, 1), 0.5 * 0.25 * 0.25, 2e-5);
    EXPECT_DOUBLE_EQ(d.MeanSquareSeconds(1.5f, 9.0f, 0), d.MeanSquareSeconds(1.5f, 2.0f, 0));
    EXPECT_EQ(d.MeanSquareSeconds(1.5f, 0.5f, 0), 0.0);
    EXPECT_EQ(d.MeanSquareSeconds(3.0f, 4.0f, 0), 0.0);

    d.Seek(1500);
    EXPECT_FLOAT_EQ(d.GetCurrentTime(), 1.5f);
    EXPECT_EQ(d.GetPositionPtr(), d.GetData() + 1500 * 4);
    d.SeekEnd();
    EXPECT_EQ(d.GetPositionPtr(), nullptr); // no frame at the end
    EXPECT_EQ(TWaveData().GetPositionPtr(), nullptr);

    // Muting in memory reaches both channels and both ends, with the 8-bit zero value 127.
    d.MuteToFrame(100);
    d.MuteFromFrame(1999);
    EXPECT_EQ(d.GetSample(99, 1, false), 0.0);
    EXPECT_EQ(d.GetSample(1999, 0, false), 0.0);
    EXPECT_EQ(d.GetSample(100, 0, false), left[100]);
    EXPECT_EQ(d.GetSample(1998, 1, false), right[1998]);
    TWaveData bytes(5, TPcmFormat(1000, 2, 1));
    std::vector<std::uint8_t> loud(10, 250);
    ASSERT_TRUE(bytes.WriteBytes(loud.data(), 10));
    EXPECT_EQ(bytes.GetZeroValue(), 127);
    bytes.MuteFromFrame(3);
    bytes.MuteToFrame(1);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.GetData(), bytes.GetData() + 10),
              (std::vector<std::uint8_t>{127, 127, 250, 250, 250, 250, 127, 127, 127, 127}));
}
