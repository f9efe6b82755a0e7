// Quiet runs and durations of sample buffers, against the closed forms of a sine's dwell near
// zero and of samples over rate.
#include "records/TriggerSettings.h"
#include "wave/TSampleBuffer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A sine of `fraction` of full scale around the format's zero value, with `gap` samples of
// silence from sample `at`.
void Fill(TSampleBuffer& b, double fraction, double hertz, DWORD at = 0, DWORD gap = 0)
{
    const TPcmFormat& f = b.GetFormat();
    const double full = static_cast<double>(f.MaxValue) - f.ZeroValue;
    for (DWORD i = 0; i < b.GetCount(); ++i) {
        double v = fraction * full * std::sin(2 * kPi * hertz * i / f.SampleRate + 0.3);
        if (i >= at && i < at + gap)
            v = 0;
        b.SetSample(i, static_cast<std::int32_t>(std::lround(v)) + f.ZeroValue);
    }
}

} // namespace

class SampleBufferQuietRun : public ::testing::TestWithParam<WORD> {};

TEST_P(SampleBufferQuietRun, RunsLongerThanTwoMillisecondsNearZeroAreFound)
{
    // At 4000 Hz the hold is 8 samples. A sine of amplitude A stays below a threshold T for
    // 2 asin(T/A) / (2 pi f) around each zero crossing: with T/A = 0.2 that is 2.6 samples at
    // 100 Hz and 12.8 samples at 20 Hz.
    TSampleBuffer b(4000, TPcmFormat(4000, 1, GetParam()), 1, false);
    ASSERT_FALSE(b.IsError());
    TriggerSettings trigger;
    trigger.ThresholdVolts = 10.9f; // percent of full scale, whole percent
    Fill(b, 0.5, 100);
    EXPECT_TRUE(b.HasNoQuietRun(trigger, 1000, 0));
    Fill(b, 0.5, 20);
    EXPECT_FALSE(b.HasNoQuietRun(trigger, 1000, 0));

    // A steady half of full scale with a gap: 8 quiet samples are held, 9 are a quiet run,
    // found only inside the window [first, first + ms) and up to the end of the buffer.
    Fill(b, 0.5, 0.25, 3000, 8); // a quarter of a cycle: rising slowly from 0.3 rad
    EXPECT_TRUE(b.HasNoQuietRun(trigger, 1000, 2000));
    Fill(b, 0.5, 0.25, 3000, 9);
    EXPECT_FALSE(b.HasNoQuietRun(trigger, 1000, 2000));
    EXPECT_TRUE(b.HasNoQuietRun(trigger, 200, 2000));
    EXPECT_TRUE(b.HasNoQuietRun(trigger, 1000, 3009));
    EXPECT_FALSE(b.HasNoQuietRun(trigger, 60000, 2995));
}

INSTANTIATE_TEST_SUITE_P(Widths, SampleBufferQuietRun, ::testing::Values(WORD{1}, WORD{2}, WORD{3}, WORD{4}),
                         [](const auto& info) { return std::to_string(info.param * 8) + "bit"; });

TEST(SampleBufferDuration, IsTheChannelsSamplesOverTheAnalysedRate)
{
    // 4096 device samples (the buffer adds the filter's 39 lead-in samples), decimated by 4:
    // 1024 samples at 2000 Hz.
    TSampleBuffer decimated(4096, TPcmFormat(8000, 1, 2), 4, true);
    EXPECT_FLOAT_EQ(decimated.GetDuration(), 0.512f);
    TSampleBuffer plain(1000, TPcmFormat(8000, 1, 3), 1, false);
    EXPECT_FLOAT_EQ(plain.GetDuration(), 0.125f);
}
