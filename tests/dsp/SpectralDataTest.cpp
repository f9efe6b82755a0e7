#include "dsp/SpectralData.h"

#include "SpectralTestSupport.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace spectral_test;

TEST(SpectralDataConstruction, GeometryFollowsRateRatioAndSize)
{
    const auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    EXPECT_EQ(d.error, 0);
    EXPECT_FLOAT_EQ(d.GetSpan(), 2000.0f);
    EXPECT_FLOAT_EQ(d.GetBinWidth(), 3.90625f);
    EXPECT_FLOAT_EQ(d.GetLowFrequency(), 7.8125f);
    EXPECT_FLOAT_EQ(d.GetHighFrequency(), 1980.0f);
    EXPECT_FLOAT_EQ(d.GetFullScale(), 32767.0f);
    EXPECT_EQ(d.GetFirstBin(), 2);
    EXPECT_EQ(d.GetLastBin(), 507);
    EXPECT_EQ(d.GetBinCount(), 512);
    // Uncalibrated until told otherwise.
    EXPECT_EQ(d.GetCalibration().IsEnabled, 0u);
    EXPECT_STREQ(d.GetCalibration().LabelLinear, "Percent Full Scale");
    EXPECT_STREQ(d.GetAmplitudeLabel(), "Relative Amplitude (dB)");
}

TEST(SpectralDataConstruction, DecimationAndRateMultiplierNarrowTheSpan)
{
    auto p = Processing(48000, 2048);
    p.DecimationRatio = 4;
    p.RateMultiplier = 0.5f;
    const auto s = Scaling(0);
    SpectralData d(&p, &s, false);
    EXPECT_FLOAT_EQ(d.GetSpan(), 3000.0f);
    // A ratio of 0 from a damaged configuration means no decimation.
    p.DecimationRatio = 0;
    p.RateMultiplier = 1.0f;
    SpectralData z(&p, &s, false);
    EXPECT_FLOAT_EQ(z.GetSpan(), 24000.0f);
    // So does a rate factor that is no positive number.
    p.RateMultiplier = 0.0f;
    SpectralData r(&p, &s, false);
    EXPECT_FLOAT_EQ(r.GetSpan(), 24000.0f);
    EXPECT_EQ(r.NarrowbandBin(0.0f), 0u);
}

TEST(SpectralDataConstruction, ZeroOrBrokenSizeGivesAnEngineWithoutBuffers)
{
    ScriptedUser user; // no message expected
    const auto s = Scaling(1);
    for (DWORD n : {0u, 1000u, 2u}) {
        auto p = Processing(4000, n);
        SpectralData d(&p, &s, false);
        EXPECT_EQ(d.error, 1) << n;
        EXPECT_EQ(d.GetFrame(), nullptr);
        d.ComputeSpectrum();
        d.Average(false);
        d.UpdatePeakHold();
        EXPECT_EQ(d.GetLevel(3), 0.0f);
        EXPECT_FALSE(d.ComputeThd());
        EXPECT_EQ(d.GetTimeSample(0), 0.0f);
    }
}

TEST(SpectralDataScale, LabelTypeAndIntegrationShapeTheTable)
{
    const auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    const float base = d.GetScale(10);
    EXPECT_FLOAT_EQ(base, 1.0f / (1024.0f * 32767.0f));
    auto cal = Calibration(kUnitVolts, 10.0f, 1);
    d.SetScaling(&cal);
    EXPECT_NEAR(d.GetScale(10), base * 10.0f * 0.7071067811865f, base * 1e-5f);
    cal.IntegrationType = 1;
    d.SetScaling(&cal);
    EXPECT_NEAR(d.GetScale(0), base * 10.0f * 0.7071067811865f, base * 1e-5f); // f = 0: no division
    const double f = 10 * d.GetBinWidth();
    EXPECT_NEAR(d.GetScale(10), base * 10.0 * 0.7071067811865 / (2 * M_PI * f), base * 1e-6);
    cal.IntegrationType = 0;
    cal.ConversionType = 1; // g to ft/s^2
    d.SetScaling(&cal);
    EXPECT_NEAR(d.GetCalibrationFactor(), 321.74f, 1e-3f);
    // A disabled record falls back to percent of full scale.
    cal.IsEnabled = 0;
    d.SetScaling(&cal);
    EXPECT_EQ(d.GetCalibrationFactor(), 1.0f);
    EXPECT_EQ(d.GetCalibration().RefUnits, 4u);
    EXPECT_STREQ(d.GetCalibration().LabelLog, "Relative Amplitude (dB)");
    d.SetScale(3, -1.0f);
    EXPECT_EQ(d.GetScale(3), 1.0f);
}

TEST(SpectralDataLevels, FullScaleSineReadsHundredPercentAndZeroDecibels)
{
    for (WORD window : {TSmoothing::kHanning, TSmoothing::kHamming, TSmoothing::kBlackman, TSmoothing::kFlattop}) {
        auto p = Processing(4000, 1024, window);
        const auto lin = Scaling(0), db = Scaling(1);
        SpectralData a(&p, &lin, false), b(&p, &db, false);
        TSmoothing w(1024, window, TSmoothing::kAmplitudeCorrection);
        FeedBlock(a, w, {{100, 1.0}});
        FeedBlock(b, w, {{100, 1.0}});
        a.Average(false);
        b.Average(false);
        EXPECT_NEAR(a.GetLevel(100), 100.0f, 0.2f) << window;
        EXPECT_NEAR(b.GetLevel(100), 0.0f, 0.02f) << window;
        EXPECT_EQ(b.FindPeakBin(), 100);
        EXPECT_NEAR(b.GetPeakFrequency(), 100 * 3.90625f, 1e-3f);
    }
}

TEST(SpectralDataLevels, SineOfKnownAmplitudeInEachUnit)
{
    // Full scale is CalRatio units; a 0.5 FS sine is CalRatio/2 peak, CalRatio/2/sqrt2 rms.
    struct Case { DWORD units; float calRatio; double linear; double db; };
    const double rms = 0.5 / std::sqrt(2.0);
    const Case cases[] = {
        {kUnitVolts, 10.0f, 10 * rms, 20 * std::log10(10 * rms)},
        {kUnitMillivolts, 10000.0f, 10000 * rms, 20 * std::log10(10000 * rms)},
        {kUnitSplAir, 4.0f, 4 * rms, 20 * std::log10(4 * rms / 20e-6)},
        {kUnitPascalsAir, 4.0f, 4 * rms, 20 * std::log10(4 * rms / 20e-6)},
        {kUnitSplWater, 4.0f, 4 * rms, 20 * std::log10(4 * rms / 1e-6)},
        {kUnitDbu, 2.0f, 2 * rms, 20 * std::log10(2 * rms / 0.775)},
        {kUnitPsi, 1.0f, rms, 20 * std::log10(rms / 2.9e-9)},
    };
    for (const Case& c : cases) {
        auto p = Processing(8000, 2048);
        const auto lin = Scaling(0), db = Scaling(1);
        SpectralData a(&p, &lin, false), b(&p, &db, false);
        const auto cal = Calibration(c.units, c.calRatio, 1);
        a.SetScaling(&cal);
        b.SetScaling(&cal);
        TSmoothing w(2048, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
        FeedBlock(a, w, {{200, 0.5}});
        FeedBlock(b, w, {{200, 0.5}});
        a.Average(false);
        b.Average(false);
        EXPECT_NEAR(a.GetLevel(200), c.linear, c.linear * 1e-3) << c.units;
        EXPECT_NEAR(b.GetLevel(200), c.db, 0.01) << c.units;
    }
}

TEST(SpectralDataLevels, PeakToPeakAndPeakLabelsScaleTheReading)
{
    auto p = Processing(4000, 1024);
    const auto lin = Scaling(0);
    SpectralData d(&p, &lin, false);
    TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    for (DWORD label : {0u, 2u}) {
        const auto cal = Calibration(kUnitVolts, 10.0f, label);
        d.SetScaling(&cal);
        d.ClearSpectra();
        FeedBlock(d, w, {{64, 0.3}});
        d.Average(false);
        EXPECT_NEAR(d.GetLevel(64), label == 0 ? 3.0 : 6.0, 0.012) << label; // symmetric window: (N-1)/N gain
    }
}

TEST(SpectralDataLevels, DensityDividesByTheRootOfTheBinWidth)
{
    auto p = Processing(4000, 1024);
    auto s = Scaling(1);
    s.SpectralDensityFlag = 1;
    s.SpectralDensityType = 1;
    SpectralData amp(&p, &s, false);
    s.SpectralDensityType = 0;
    SpectralData pow(&p, &s, false);
    TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kEnergyCorrection);
    FeedBlock(amp, w, {{100, 1.0}});
    FeedBlock(pow, w, {{100, 1.0}});
    amp.Average(false);
    pow.Average(false);
    const double bw = 3.90625;
    const double p100 = amp.GetMagnitudeBuffer()[100];
    EXPECT_NEAR(amp.GetLevel(100), 10 * std::log10(p100), 1e-3);
    // Both densities are the same level in dB.
    EXPECT_NEAR(pow.GetLevel(100), amp.GetLevel(100), 1e-4);
    // And the stored power is per hertz.
    auto plain = Scaling(1);
    SpectralData ref(&p, &plain, false);
    FeedBlock(ref, w, {{100, 1.0}});
    ref.Average(false);
    EXPECT_NEAR(p100 * bw, ref.GetMagnitudeBuffer()[100], ref.GetMagnitudeBuffer()[100] * 1e-4);
}

TEST(SpectralDataReaders, BoundsPhasesAndRanges)
{
    auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    EXPECT_EQ(d.GetLevel(-1), 0.0f);
    EXPECT_EQ(d.GetLevel(512), 0.0f);
    float* f = d.GetFrame();
    f[2 * 7] = 0.0f;
    f[2 * 7 + 1] = -1.0f;
    f[2 * 6] = 1.0f;
    f[2 * 5] = 0.5f;
    d.Average(false);
    EXPECT_NEAR(d.GetPhaseDegrees(7), -90.0f, 1e-4f);
    EXPECT_EQ(d.GetPhaseDegrees(600), 0.0f);
    // MaxLevel of two neighbours reads the upper one only.
    EXPECT_FLOAT_EQ(d.MaxLevel(5, 6), d.GetLevel(6));
    EXPECT_FLOAT_EQ(d.MaxLevel(4, 7), 0.0f);
    EXPECT_EQ(d.NarrowbandBin(-5.0f), 0u);
    EXPECT_EQ(d.NarrowbandBin(5000.0f), 511u);
    EXPECT_EQ(d.NarrowbandBin(5.9f), 2u);
    EXPECT_EQ(d.GetBinFrequency(600), 2000.0f);
    float c[2];
    d.GetComplexValue(c, 7);
    EXPECT_NEAR(c[0], 0.0f, 1e-6f);
    EXPECT_NEAR(c[1], -1.0f, 1e-5f);
    d.SetUnitsLabel("Volts");
    EXPECT_STREQ(d.GetUnitsLabel(), "Volts");
    d.SetUnitsLabel(nullptr);
    EXPECT_STREQ(d.GetUnitsLabel(), "Volts");
}

TEST(SpectralDataReaders, SmoothingOfWidthOneKeepsTheLevels)
{
    auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    FeedBlock(d, w, {{100, 0.5}, {200, 0.1}});
    d.Average(false);
    d.SmoothSpectrum(1);
    for (int k = 90; k < 210; ++k) {
        const float m = d.GetMagnitudeBuffer()[k];
        if (m > 0)
            ASSERT_NEAR(d.GetMagnitudeDbBuffer()[k], 20 * std::log10(std::sqrt(m)), 1e-3) << k;
    }
    // A width of 3 averages amplitudes of three neighbours.
    d.SmoothSpectrum(3);
    const float* m = d.GetMagnitudeBuffer();
    const double mean = (std::sqrt(m[99]) + std::sqrt(m[100]) + std::sqrt(m[101])) / 3;
    EXPECT_NEAR(d.GetMagnitudeDbBuffer()[100], 20 * std::log10(mean), 1e-3);
}

TEST(SpectralDataAveraging, ExponentialRunsTheMeanThenWeighsNewBlocksByOneOverB)
{
    auto p = Processing(4000, 64);
    p.AverageBlocks = 3;
    const auto s = Scaling(0);
    SpectralData d(&p, &s, false);
    const float powers[] = {1, 1, 4, 4};
    const float expected[] = {1, 1, 2, 8.0f / 3.0f};
    for (int i = 0; i < 4; ++i) {
        SetFrameBins(d, std::sqrt(powers[i]), 0.0f);
        d.Average(false);
        EXPECT_NEAR(d.GetMagnitudeBuffer()[10], expected[i], 1e-5f) << i;
    }
    // The last bin is never averaged.
    EXPECT_EQ(d.GetMagnitudeBuffer()[31], 0.0f);
}

TEST(SpectralDataAveraging, LinearKeepsTheLastBBlocksExactly)
{
    auto p = Processing(4000, 64);
    p.AverageBlocks = 2;
    p.AverageType = 1;
    const auto s = Scaling(0);
    SpectralData d(&p, &s, false);
    EXPECT_EQ(d.GetLinearSlotCount(), 2);
    for (float power : {1.0f, 3.0f, 5.0f}) {
        SetFrameBins(d, std::sqrt(power), 0.0f);
        d.Average(false);
    }
    EXPECT_NEAR(d.GetMagnitudeBuffer()[10], 4.0f, 1e-5f);
    SetFrameBins(d, std::sqrt(11.0f), 0.0f);
    d.Average(false);
    EXPECT_NEAR(d.GetMagnitudeBuffer()[10], 8.0f, 1e-5f);
    d.ClearSpectra();
    EXPECT_EQ(d.GetAverageCount(), 0);
    SetFrameBins(d, 1.0f, 0.0f);
    d.Average(false);
    EXPECT_NEAR(d.GetMagnitudeBuffer()[10], 1.0f, 1e-6f); // cleared slots do not linger
}

TEST(SpectralDataAveraging, LinearSlotLimits)
{
    ScriptedUser user;
    auto p = Processing(4000, 64);
    p.AverageType = 1;
    p.AverageBlocks = 5000;
    const auto s = Scaling(0);
    // Beyond 1000 blocks the running average stands in for the ring: no slots are held
    // (999 of them would be memory never read, gigabytes at the largest sizes).
    SpectralData big(&p, &s, false);
    EXPECT_EQ(big.GetLinearSlotCount(), 0);
    SetFrameBins(big, 2.0f, 0.0f);
    big.Average(false);
    EXPECT_NEAR(big.GetMagnitudeBuffer()[5], 4.0f, 1e-5f);
    p.AverageBlocks = 4000000000u; // beyond the int range too
    SpectralData huge(&p, &s, false);
    EXPECT_EQ(huge.GetLinearSlotCount(), 0);
    big.SetAveraging(0, 999);
    EXPECT_EQ(big.GetLinearSlotCount(), 999);
    p.AverageBlocks = 1000;
    SpectralData thousand(&p, &s, false);
    SetFrameBins(thousand, 2.0f, 0.0f);
    thousand.Average(false);
    EXPECT_EQ(thousand.GetAverageBlocks(), 998.0f);
    EXPECT_NEAR(thousand.GetMagnitudeBuffer()[5], 4.0f, 1e-5f);
    // Sound Level Meter mode never averages linearly.
    p.AverageMode = 1;
    p.AverageBlocks = 10;
    SpectralData slm(&p, &s, false);
    EXPECT_EQ(slm.GetAverageType(), 0);
    EXPECT_EQ(slm.GetLinearSlotCount(), 0);
}

TEST(SpectralDataAveraging, VectorAveragingCancelsOppositePhases)
{
    auto p = Processing(4000, 64);
    p.AverageBlocks = 2;
    p.AverageType = 2;
    const auto s = Scaling(0);
    SpectralData vec(&p, &s, false);
    p.AverageType = 0;
    SpectralData expo(&p, &s, false);
    for (float sign : {1.0f, -1.0f}) {
        SetFrameBins(vec, sign * 3.0f, sign * 4.0f);
        SetFrameBins(expo, sign * 3.0f, sign * 4.0f);
        vec.Average(false);
        expo.Average(false);
    }
    EXPECT_NEAR(vec.GetMagnitudeBuffer()[9], 0.0f, 1e-6f);
    EXPECT_NEAR(expo.GetMagnitudeBuffer()[9], 25.0f, 1e-5f);
}

TEST(SpectralDataAveraging, SoundLevelMeterDerivesBlocksFromTheInterval)
{
    auto p = Processing(4000, 64);
    p.AverageMode = 1;
    p.AverageSpeed = 1;
    const auto s = Scaling(0);
    SpectralData d(&p, &s, false);
    d.UpdateTimeAverage(0.05f);
    EXPECT_NEAR(d.GetAverageBlocks(), 0.1f / 0.05f * 1.8f, 1e-4f);
    d.UpdateTimeAverage(0.05f); // no time passed: 1 ms assumed
    EXPECT_NEAR(d.GetAverageBlocks(), 100.0f * 1.8f, 1e-2f);
    d.SetAveraging(4, 3);
    d.UpdateTimeAverage(1.0f);
    EXPECT_EQ(d.GetAverageBlocks(), 100000.0f);
    d.SetAveraging(0, 3);
    d.UpdateTimeAverage(2.0f);
    EXPECT_EQ(d.GetAverageBlocks(), 1.0f);
}

namespace {

// An engine in dB whose held levels decay, on the fake clock.
struct Holding {
    FakeClock clock;
    ChannelProcessingSettings p;
    ChannelScalingSettings s = Scaling(1);
    SpectralData d;
    explicit Holding(DWORD fft) : p(Processing(4000, fft)), d(&p, &s, false) { d.SetPeakDecay(1); }
};

} // namespace

TEST(SpectralDataPeakHold, HeldLevelsWaitThenDecayTowardsTheLiveLevel)
{
    Holding h(64);
    SpectralData& d = h.d;
    SetFrameBins(d, 1.0f, 0.0f); // 0 dB
    d.Average(false);
    d.UpdatePeakHold();
    EXPECT_NEAR(d.GetPeakHoldValue(10), 0.0f, 1e-5f);
    SetFrameBins(d, 0.1f, 0.0f); // -20 dB
    d.Average(false);
    g_now += 0.5f;
    d.UpdatePeakHold();
    EXPECT_NEAR(d.GetPeakHoldValue(10), 0.0f, 1e-5f); // still held
    g_now += 1.0f;
    d.UpdatePeakHold();
    EXPECT_NEAR(d.GetPeakHoldValue(10), -2.0f, 1e-5f);
    for (int i = 0; i < 20; ++i) {
        g_now += 0.1f;
        d.UpdatePeakHold();
    }
    EXPECT_NEAR(d.GetPeakHoldValue(10), -20.0f, 1e-4f); // floored at the live level
    EXPECT_NEAR(d.GetPeakHoldValue(1000), d.GetPeakHoldValue(31), 1e-6f);
    // The overall level is held even with decay off.
    d.SetPeakDecay(0);
    EXPECT_EQ(d.GetPeakHoldOverallLevel(), kNoLevelDb);
    d.UpdatePeakHold();
    EXPECT_EQ(d.GetPeakHoldOverallLevel(), d.GetOverallLevel());
    EXPECT_EQ(d.GetPeakHoldValue(10), kNoLevelDb); // decay 0 holds no bins
}

// Smoothing averages the held amplitudes as they stood, bin by bin (a centred moving average,
// shorter at the edges). Smoothed in place, 5 bins left a held -20 dB beside a tone where the
// spectrum read -77 dB.
TEST(SpectralDataPeakHold, SmoothingAveragesTheHeldLevelsAsTheyWere)
{
    Holding h(1024);
    SpectralData& d = h.d;
    TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    unsigned seed = 11;
    FeedBlock(d, w, {{256.0, 0.5}, {269.0, 0.001}}, 1e-5, &seed);
    d.Average(false);
    d.UpdatePeakHold();
    std::vector<double> before(512);
    for (UINT k = 0; k < 512; ++k)
        before[k] = d.GetPeakHoldValue(k);
    for (int width : {5, 15}) {
        std::vector<double> held = before;
        if (width == 15) {
            d.SmoothSpectrum(5);
            for (UINT k = 0; k < 512; ++k)
                held[k] = d.GetPeakHoldValue(k);
        }
        d.SmoothSpectrum(width);
        for (int k = 0; k < 512; ++k) {
            double sum = 0.0;
            int used = 0;
            for (int i = std::max(0, k - width / 2); i <= std::min(511, k + width / 2); ++i, ++used)
                sum += std::pow(10.0, held[i] / 20.0);
            ASSERT_NEAR(d.GetPeakHoldValue(static_cast<UINT>(k)), 20 * std::log10(sum / used), 1e-3)
                << "width " << width << " bin " << k;
        }
    }
}

TEST(SpectralDataInverse, InverseOfTheAveragedSpectrumRebuildsTheBlock)
{
    auto p = Processing(4000, 256, TSmoothing::kUniform);
    const auto s = Scaling(0);
    SpectralData d(&p, &s, false);
    std::vector<float> x(256);
    for (int i = 0; i < 256; ++i) {
        x[i] = static_cast<float>(1000 + 8000 * std::cos(2 * M_PI * 5 * i / 256) + 3000 * std::sin(2 * M_PI * 17 * i / 256 + 0.3));
        d.SetTimeSample(i, x[i]);
    }
    d.ComputeSpectrum();
    d.Average(false);
    d.ComputeInverse();
    ASSERT_NE(d.GetInverseBuffer(), nullptr);
    for (int i = 0; i < 256; ++i)
        ASSERT_NEAR(d.GetTimeSample(i), x[i], 0.05f) << i;
    EXPECT_EQ(d.GetTimeSample(256), 0.0f);
    // A new block drops the old inverse.
    d.ComputeSpectrum();
    EXPECT_EQ(d.GetInverseBuffer(), nullptr);
}

TEST(SpectralDataInverse, LevelsToTimeFrameLaysTheLevelsIntoTheMiddle)
{
    auto p = Processing(4000, 64);
    const auto s = Scaling(0);
    SpectralData d(&p, &s, false);
    for (int k = 0; k < 32; ++k) {
        d.GetFrame()[2 * k] = static_cast<float>(k) / 100.0f;
        d.GetFrame()[2 * k + 1] = 0.0f;
    }
    d.Average(false);
    std::vector<float> levels(32);
    for (int k = 0; k < 32; ++k)
        levels[k] = d.GetLevel(k);
    d.LevelsToTimeFrame();
    EXPECT_EQ(d.GetAverageCount(), 0);
    const float* f = d.GetFrame();
    for (int i = 0; i < 64; ++i) {
        if (i >= 20 && i <= 44)
            EXPECT_FLOAT_EQ(f[i], levels[i - 20]) << i;
        else
            EXPECT_EQ(f[i], 0.0f) << i;
    }
    d.ZeroTimeSamples(20, 100);
    EXPECT_EQ(f[21], 0.0f);
}
