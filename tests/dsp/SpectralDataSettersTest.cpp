// Setting the engine's spectrum by hand: whitening scales and single bins.
#include "dsp/SpectralData.h"

#include "SpectralTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace spectral_test;

TEST(SpectralDataWhitening, ScaleTakenFromASpectrumMakesThatSpectrumFlat)
{
    const auto p = Processing(4000, 1024);
    const auto s = Scaling(0);
    SpectralData d(&p, &s, false);
    ASSERT_EQ(d.error, 0);
    TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    const std::vector<Tone> tones = {{40.0, 0.5}, {123.0, 0.05}, {300.5, 0.2}};
    auto feed = [&] {
        unsigned seed = 7;
        FeedBlock(d, w, tones, 0.01, &seed);
        d.Average(false);
    };
    feed();
    const int bins = d.GetBinCount();
    const float base = d.GetScale(0);
    ASSERT_FLOAT_EQ(base, 1.0f / (1024.0f * 32767.0f));
    // A bin without power keeps its scale: there is nothing to divide by.
    d.SetBinLevel(5, 0.0f, 0);
    const std::vector<float> measured(d.GetMagnitudeBuffer(), d.GetMagnitudeBuffer() + bins);

    d.SetWhiteningScale();
    EXPECT_EQ(d.GetScale(5), base);
    for (int k = 0; k < bins; ++k)
        if (measured[static_cast<std::size_t>(k)] > 0.0f)
            ASSERT_NEAR(d.GetScale(static_cast<UINT>(k)) * std::sqrt(measured[static_cast<std::size_t>(k)]), base,
                        base * 1e-5)
                << k;

    // The same block through the whitened engine: every bin that had power now has power 1,
    // tones and noise floor alike (the last bin is not averaged).
    d.ResetAverages();
    feed();
    const float* flat = d.GetMagnitudeBuffer();
    for (int k = 0; k < bins - 1; ++k)
        if (k != 5)
            ASSERT_NEAR(flat[k], 1.0f, 1e-3f) << k;
}

TEST(SpectralDataBinLevel, AmplitudeOrDbSetsAPowerAndALevelThatAgree)
{
    const auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    ASSERT_EQ(d.error, 0);
    const float* power = d.GetMagnitudeBuffer();
    const float* db = d.GetMagnitudeDbBuffer();
    ASSERT_NE(db, nullptr);
    const int last = d.GetBinCount() - 1;

    d.SetBinLevel(10, 0.5f, 0); // an amplitude
    EXPECT_FLOAT_EQ(power[10], 0.25f);
    EXPECT_NEAR(db[10], 10.0 * std::log10(0.25), 1e-5);

    d.SetBinLevel(11, -20.0f, 1); // a level in dB
    EXPECT_FLOAT_EQ(power[11], 0.01f);
    EXPECT_FLOAT_EQ(db[11], -20.0f);

    // Bins outside the spectrum go to its ends; levels are held to +-999 dB.
    d.SetBinLevel(-3, 30.0f, 1);
    EXPECT_FLOAT_EQ(power[0], 1000.0f);
    EXPECT_FLOAT_EQ(db[0], 30.0f);
    d.SetBinLevel(last + 50, -2000.0f, 1);
    EXPECT_EQ(power[last], 0.0f); // 10^-99.9 is below the smallest float
    EXPECT_FLOAT_EQ(db[last], -999.0f);

    // NaN is no level: the bin keeps what it had.
    d.SetBinLevel(11, std::nanf(""), 1);
    d.SetBinLevel(10, std::nanf(""), 0);
    EXPECT_FLOAT_EQ(power[11], 0.01f);
    EXPECT_FLOAT_EQ(power[10], 0.25f);
}
