// Edit/Filter's work on a wave file: blocks of one second, undo, cancel, and the design check
// before anything is touched.
#include "dsp/FilterSegment.h"

#include "dsp/SegmentSamples.h"
#include "support/ScriptedUser.h"
#include "wave/InPlaceEditSupport.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>
#include <vector>

namespace {

class FilterSegment : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path() /
               ("durnex-filter-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Two tones, 300 Hz (passes the low pass) and 2500 Hz (stopped), at 8000 frames/s.
    std::unique_ptr<TWaveFile> TwoTones(DWORD frames)
    {
        auto w = std::make_unique<TWaveFile>(frames, TPcmFormat(8000, 1, 2), dir_.string());
        // Sample by sample, so the wave's end frame follows, as in a file that was read.
        w->Seek(0);
        for (DWORD i = 0; i < frames; ++i)
            EXPECT_TRUE(w->SetSample(static_cast<std::int32_t>(std::lround(8000 * std::sin(2 * std::numbers::pi * 300 * i / 8000.0) +
                                                               8000 * std::sin(2 * std::numbers::pi * 2500 * i / 8000.0))),
                         i, 0));
        EXPECT_EQ(w->GetEndFrame(), frames);
        w->Seek(1234);
        return w;
    }

    static std::vector<double> Read(TWaveFile& w)
    {
        std::vector<double> x(w.GetLength());
        ReadSegmentSamples(w, 0, 0, x);
        return x;
    }

    static FilterSettings LowPass()
    {
        FilterSettings s;
        s.FilterType = FILTER_LOWPASS;
        s.LowPassCutoff = 1000;
        return s;
    }

    std::filesystem::path dir_;
};

} // namespace

TEST_F(FilterSegment, FiltersTheSegmentInSecondsWithUndo)
{
    auto w = TwoTones(40000);
    const std::vector<double> before = Read(*w);
    std::vector<int> progress;
    SegmentProgress hooks;
    hooks.progress = [&](int p) { progress.push_back(p); };
    // 2.5 s: two blocks of 8000 frames and a rest of 4000.
    ASSERT_TRUE(FilterWaveSegment(w.get(), 8000, 28000, LowPass(), hooks));
    EXPECT_EQ(progress, (std::vector<int>{0, 50}));
    EXPECT_TRUE(w->IsModified());
    EXPECT_EQ(w->GetPosition(), 1234u);
    const std::vector<double> after = Read(*w);
    for (DWORD i = 0; i < 40000; ++i) {
        if (i < 8000 || i >= 28000) {
            ASSERT_EQ(after[i], before[i]) << i;
        } else if (i >= 8200 && i < 27800) {
            const double low = 8000 * std::sin(2 * std::numbers::pi * 300 * i / 8000.0);
            ASSERT_NEAR(after[i], low, 4.0) << i; // the 2500 Hz tone is gone, nothing moved
        }
    }
    ASSERT_TRUE(w->IsUndoAvailable());
    w->Undo();
    EXPECT_EQ(Read(*w), before);
}

TEST_F(FilterSegment, ShortAndOverlongSelections)
{
    auto w = TwoTones(12000);
    std::vector<int> progress;
    SegmentProgress hooks;
    hooks.progress = [&](int p) { progress.push_back(p); };
    ASSERT_TRUE(FilterWaveSegment(w.get(), 1000, 3000, LowPass(), hooks)); // under a second
    EXPECT_EQ(progress, std::vector<int>{0});
    progress.clear();
    // Past the end: cut at the file's end.
    ASSERT_TRUE(FilterWaveSegment(w.get(), 6000, 99999, LowPass(), hooks));
    EXPECT_EQ(progress, std::vector<int>{0});
    const std::vector<double> after = Read(*w);
    for (DWORD i = 6200; i < 11800; ++i)
        ASSERT_NEAR(after[i], 8000 * std::sin(2 * std::numbers::pi * 300 * i / 8000.0), 4.0) << i;
    EXPECT_FALSE(FilterWaveSegment(w.get(), 5000, 5000, LowPass(), hooks));
    EXPECT_FALSE(FilterWaveSegment(w.get(), 13000, 14000, LowPass(), hooks));
    EXPECT_FALSE(FilterWaveSegment(nullptr, 0, 100, LowPass(), hooks));
}

TEST_F(FilterSegment, CancelRestoresTheSegment)
{
    auto w = TwoTones(40000);
    const std::vector<double> before = Read(*w);
    int asked = 0;
    SegmentProgress hooks;
    hooks.cancelled = [&] { return ++asked == 2; }; // Esc during the second block
    EXPECT_FALSE(FilterWaveSegment(w.get(), 0, 40000, LowPass(), hooks));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(Read(*w), before);
    EXPECT_EQ(w->GetPosition(), 1234u);
}

TEST_F(FilterSegment, AFilterThatCannotBeDesignedTouchesNothing)
{
    auto w = TwoTones(16000);
    ASSERT_TRUE(FilterWaveSegment(w.get(), 0, 8000, LowPass(), {}));
    const std::vector<double> filtered = Read(*w);
    ScriptedUser user;
    user.ExpectBox(IDOK, "Filter band edges must be between 0 and 4000 Hz");
    FilterSettings bad;
    bad.FilterType = FILTER_NOTCH;
    bad.NotchCenter = 100;
    bad.NotchWidth = 500;
    EXPECT_FALSE(FilterWaveSegment(w.get(), 0, 16000, bad, {}));
    EXPECT_EQ(Read(*w), filtered);
    // The earlier filtering can still be undone.
    ASSERT_TRUE(w->IsUndoAvailable());
    w->Undo();
    EXPECT_NE(Read(*w), filtered);
}

// Without room for its undo copy a filtering could not be cancelled back: it says so and
// filters nothing.
TEST_F(FilterSegment, NothingIsFilteredWithoutAnUndoCopy)
{
    auto w = TwoTones(16000);
    const std::vector<double> before = Read(*w);
    const std::filesystem::path away = dir_.string() + ".away";
    std::filesystem::rename(dir_, away);
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "its undo copy could not be written");
        EXPECT_FALSE(FilterWaveSegment(w.get(), 0, 16000, LowPass(), SegmentProgress{}));
    }
    std::filesystem::rename(away, dir_);
    EXPECT_EQ(Read(*w), before);
    EXPECT_FALSE(w->IsUndoAvailable());
}

// A filtering, and its undo, of a file edited in place are on disk the moment they return: a
// process killed right after leaves the filtered (or restored) samples and the calibration.
TEST_F(FilterSegment, AFilteringInPlaceIsOnDiskWhenTheProcessIsKilled)
{
    using namespace wavetest;
    const CalibratedWave w = MakeCalibratedWave((dir_ / "take.wav").string(), TPcmFormat(8000, 1, 2), 20000);
    const auto filter = [](TWaveFile& f) { ASSERT_TRUE(FilterWaveSegment(&f, 3000, 17000, LowPass(), {})); };
    const std::vector<std::uint8_t> filtered = InMemory(w, dir_.string(), filter);
    ASSERT_NE(filtered, w.samples);
    ASSERT_TRUE(EditInKilledChild(w.path, dir_.string(), filter));
    ExpectWaveOnDisk(w.path, filtered, w.calibration);
    ASSERT_TRUE(EditInKilledChild(w.path, dir_.string(), [&](TWaveFile& f) {
        filter(f);
        f.Undo();
    }));
    ExpectWaveOnDisk(w.path, filtered, w.calibration);
}
