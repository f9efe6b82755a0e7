// The window's tables a distortion reading is made from are made once in the process and shared
// by every model of the same window type and size, on any thread.
#include "dsp/SpectralData.h"

#include "SpectralTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <thread>
#include <vector>

using namespace spectral_test;

namespace {

struct Setting {
    WORD window;
    DWORD fft;
};
constexpr Setting kSettings[] = {
    {TSmoothing::kHanning, 1024}, {TSmoothing::kBlackman, 1024}, {TSmoothing::kFlattop, 1024},
    {TSmoothing::kKaiser, 1024},  {TSmoothing::kHamming, 1024},  {TSmoothing::kGaussian, 1024},
    {TSmoothing::kHanning, 4096}, {TSmoothing::kBlackman, 4096}, {TSmoothing::kFlattop, 4096},
    {TSmoothing::kKaiser, 4096},  {TSmoothing::kHamming, 4096},  {TSmoothing::kGaussian, 4096},
};
constexpr std::size_t kCount = std::size(kSettings);

using Readings = std::array<std::optional<float>, 3>; // THD, THD+N, SNR

// A fresh engine (and so a fresh model) fed a tone between bins with a 1 % second harmonic
// 80 dB above the noise, averaged over 8 blocks.
Readings Read(const Setting& s)
{
    ChannelProcessingSettings p = Processing(4000, s.fft, s.window);
    p.AverageBlocks = 8;
    const ChannelScalingSettings db = Scaling(1);
    SpectralData d(&p, &db, false);
    const TSmoothing w(s.fft, s.window, TSmoothing::kAmplitudeCorrection);
    unsigned seed = 7;
    const double bin = 37.3 * s.fft / 1024.0;
    for (int b = 0; b < 8; ++b) {
        FeedBlock(d, w, {{bin, 0.5, 0.9 * b}, {2.0 * bin, 0.005, 1.7 * b}}, 0.5e-4 / std::sqrt(2.0), &seed);
        d.Average(false);
    }
    return {d.ComputeThd(), d.ComputeThdN(), d.ComputeSnr()};
}

} // namespace

TEST(ToneModelTables, ModelsMadeOnManyThreadsAtOnceReadAsOneAlone)
{
    // Each thread takes the settings from another place, so that threads make, find and wait
    // for the same tables at once; every setting is new to the process when they start.
    constexpr std::size_t kThreads = 4;
    std::vector<std::array<Readings, kCount>> got(kThreads);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < kThreads; ++t)
        threads.emplace_back([&got, t] {
            for (std::size_t i = 0; i < kCount; ++i) {
                const std::size_t j = (i + t * 5) % kCount;
                got[t][j] = Read(kSettings[j]);
            }
        });
    for (std::thread& t : threads)
        t.join();
    for (std::size_t j = 0; j < kCount; ++j) {
        const Readings alone = Read(kSettings[j]);
        const std::string what = "window " + std::to_string(kSettings[j].window) + ", N " +
                                 std::to_string(kSettings[j].fft);
        ASSERT_TRUE(alone[0]) << what;
        EXPECT_NEAR(20.0 * std::log10(*alone[0] / 1.0), 0.0, 0.1) << what;
        for (std::size_t t = 0; t < kThreads; ++t)
            EXPECT_EQ(got[t][j], alone) << what << ", thread " << t;
    }
}
