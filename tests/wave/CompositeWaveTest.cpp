// The composite wave of a file group: the channels' first channels summed as raw values,
// times the gain, limited to the sample range; the result read back with Python.
#include "ImportExportSupport.h"
#include "wave/ChannelFileState.h"
#include "platform/core/FileSystem.h"
#include "support/ScriptedUser.h"
#include "wave/CompositeWave.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace wavetest;

namespace {

using V = std::vector<long long>;

class CompositeWave : public ::testing::Test {
protected:
    TempFolder dir;
    ChannelFileState files[8];

    ~CompositeWave() override
    {
        for (auto& f : files)
            f.File.reset();
    }

    void Put(int channel, const V& samples, int width = 2, int channels = 1, WORD mode = TWaveFile::kStreamed)
    {
        std::string path = dir.file("c" + std::to_string(channel) + ".wav");
        ASSERT_TRUE(WritePyWave(path, 8000, width, channels, samples));
        files[channel].File.reset(new TWaveFile(path, mode, false, dir.path()));
        ASSERT_FALSE(files[channel].File->IsError());
    }
};

TEST_F(CompositeWave, SumsTheGroupChannels)
{
    ScriptedUser user;
    Put(1, {100, -200, 300, -400, 5});
    Put(2, {10, 20, -30}, 2, 1, TWaveFile::kMemory); // shorter: nothing past its end
    Put(4, {1, 9, 2, 9, 3, 9, 4, 9, 5, 9}, 2, 2);    // stereo: its first channel only
    Put(7, {30000, 30000, 30000, 30000, 30000});     // channel 7 is no part of it
    int reference = FindCompositeReference(files);
    EXPECT_EQ(reference, 1);
    int lastProgress = -1;
    ASSERT_TRUE(BuildCompositeWave(files, reference, dir.file("sum.wav"), 0.0f, dir.path(),
                                   [&](int p) { lastProgress = p; }));
    EXPECT_EQ(lastProgress, 0);
    PyWave w = ReadPyWave(dir.file("sum.wav"));
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.rate, 8000);
    EXPECT_EQ(w.samples, (V{111, -178, 273, -396, 10}));

    // 6 dB: each sum times 10^(6/20), rounded to the nearest value.
    ASSERT_TRUE(BuildCompositeWave(files, reference, dir.file("gain.wav"), 6.0f, dir.path()));
    const double f = std::pow(10.0, 0.3);
    EXPECT_EQ(ReadPyWave(dir.file("gain.wav")).samples,
              (V{std::llround(111 * f), std::llround(-178 * f), std::llround(273 * f), std::llround(-396 * f),
                 std::llround(10 * f)}));
}

TEST_F(CompositeWave, SaturatesInsteadOfWrapping)
{
    ScriptedUser user;
    Put(0, {30000, -30000, 1, -1, 0});
    Put(5, {30000, -30000, 0, 0, 0});
    ASSERT_TRUE(BuildCompositeWave(files, 0, dir.file("sum.wav"), 0.0f, dir.path()));
    EXPECT_EQ(ReadPyWave(dir.file("sum.wav")).samples, (V{32767, -32767, 1, -1, 0}));
    // The dialog's starting gain of 50 dB.
    ASSERT_TRUE(BuildCompositeWave(files, 0, dir.file("loud.wav"), 50.0f, dir.path()));
    EXPECT_EQ(ReadPyWave(dir.file("loud.wav")).samples, (V{32767, -32767, 316, -316, 0}));
}

TEST_F(CompositeWave, LongerThanOnePiece)
{
    ScriptedUser user;
    V a, b;
    for (long long i = 0; i < 10000; ++i) {
        a.push_back(i % 1000);
        b.push_back(-(i % 300));
    }
    Put(0, a);
    Put(3, b, 2, 1, TWaveFile::kMemory);
    ASSERT_TRUE(BuildCompositeWave(files, 0, dir.file("sum.wav"), 0.0f, dir.path()));
    V out = ReadPyWave(dir.file("sum.wav")).samples;
    ASSERT_EQ(out.size(), 10000u);
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out[i], a[i] + b[i]) << i;
}

TEST_F(CompositeWave, NoSourcesOrEmptySources)
{
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "Source files not available - you must first open a File Set");
        Put(7, {1, 2});
        EXPECT_EQ(FindCompositeReference(files), -1);
    }
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "The source files are empty - cannot create composite file");
        files[2].File.reset(new TWaveFile(0, TPcmFormat(8000, 1, 2), dir.path())); // a new, empty recording
        Put(3, {1});
        EXPECT_EQ(FindCompositeReference(files), -1);
    }
}

TEST_F(CompositeWave, UnwritableTargetIsReportedAndLeavesNothing)
{
    ScriptedUser user;
    Put(0, {1, 2, 3});
    user.ExpectBox(IDOK, "Failure writing the composite file");
    EXPECT_FALSE(BuildCompositeWave(files, 0, dir.file("missing/sum.wav"), 0.0f, dir.path()));
    EXPECT_FALSE(FileExists(dir.file("missing/sum.wav")));
}

} // namespace
