#include "dsp/SpectralData.h"

#include "SpectralTestSupport.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace spectral_test;

namespace {

// An engine at 4000 Hz, N 1024 (bin width 3.90625 Hz), rectangular window so that tones on
// bins occupy one bin each, fed with one block.
struct Measured {
    ChannelProcessingSettings p = Processing(4000, 1024, TSmoothing::kUniform);
    ChannelScalingSettings s;
    std::unique_ptr<SpectralData> d;
    explicit Measured(const std::vector<Tone>& tones, WORD amp = 1, double noise = 0.0, DWORD rate = 4000)
    {
        p.SampleFormat.Set(rate, 1, 2);
        s = Scaling(amp);
        d = std::make_unique<SpectralData>(&p, &s, false);
        TSmoothing w(1024, TSmoothing::kUniform, TSmoothing::kNoCorrection);
        unsigned seed = 12345;
        FeedBlock(*d, w, tones, noise, &seed);
        d->Average(false);
    }
};

} // namespace

TEST(SpectralDataDistortion, ThdOfKnownHarmonics)
{
    Measured m({{64, 1.0}, {128, 0.01}, {192, 0.005}});
    EXPECT_NEAR(m.d->ComputeThd(), 100 * std::sqrt(0.01 * 0.01 + 0.005 * 0.005), 1e-3);
    Measured pure({{100, 1.0}});
    EXPECT_LT(pure.d->ComputeThd(), 1e-3f);
    // A fundamental below 1 Hz gives no THD.
    Measured slow({{8, 1.0}, {16, 0.1}}, 1, 0.0, 100);
    EXPECT_EQ(slow.d->ComputeThd(), 0.0f);
    // Silence: no fundamental.
    Measured silent({});
    EXPECT_EQ(silent.d->ComputeThd(), 0.0f);
}

TEST(SpectralDataDistortion, ThdCountsHarmonicsToTheTopOfTheSpanButNoMoreThanForty)
{
    // f0 on bin 64: its 7th harmonic (bin 448), near the top of the span, counts.
    Measured top({{64, 1.0}, {448, 0.02}});
    EXPECT_NEAR(top.d->ComputeThd(), 2.0f, 1e-3f);
    // f0 on bin 8: the 40th harmonic's search ends at bin 400, so a tone at bin 440 (the
    // 55th) is not distortion.
    Measured low({{8, 1.0}, {440, 0.05}});
    EXPECT_LT(low.d->ComputeThd(), 1e-3f);
}

TEST(SpectralDataDistortion, ThdAtHalfTheSpanSearchesOnlyTheSecondHarmonic)
{
    // f0 = 1000 Hz (bin 256); the second harmonic's window reaches the top bins.
    Measured m({{256, 1.0}, {509, 0.02}});
    EXPECT_NEAR(m.d->ComputeThd(), 2.0f, 1e-3f);
}

TEST(SpectralDataDistortion, ThdPlusNoiseSnrAndSinadOfSyntheticSignals)
{
    Measured m({{64, 1.0}, {128, 0.01}, {192, 0.005}}, 1, 1e-7);
    EXPECT_NEAR(m.d->ComputeThdN(), 100 * std::sqrt(0.01 * 0.01 + 0.005 * 0.005), 2e-3);
    Measured s({{100, 1.0}, {140, 0.1}, {300, 0.2}}, 1, 1e-7);
    EXPECT_NEAR(s.d->ComputeSnr(), 10 * std::log10(1.0 / 0.05), 0.01);
    EXPECT_NEAR(s.d->ComputeSinad(), 10 * std::log10(1.05 / 0.05), 0.01);
    // Range variants look only between their frequencies.
    EXPECT_NEAR(s.d->ComputeSnrInRange(300.0f, 600.0f), 10 * std::log10(1.0 / 0.01), 0.01);
    // From 300 Hz the fundamental is bin 100; its third harmonic is the 0.2 tone at bin 300.
    EXPECT_NEAR(s.d->ComputeThdInRange(300.0f, 1900.0f), 20.0f, 1e-3f);
}

TEST(SpectralDataDistortion, SfdrIsThePowerRatioOfPeakAndSpur)
{
    Measured m({{100, 1.0}, {300, 0.01}});
    EXPECT_NEAR(m.d->ComputeSfdr(), 40.0f, 0.01f);
    UINT lo = 0, hi = 0;
    m.d->FindValleys(100, &lo, &hi);
    EXPECT_LE(lo, 95u);
    EXPECT_GE(hi, 105u);
}

TEST(SpectralDataDistortion, ImdOfTwoTonesIsTheSameOnEitherScale)
{
    const std::vector<Tone> tones = {{100, 1.0}, {170, 0.5}, {70, 0.01}, {270, 0.02}};
    const double expected = 100 * std::sqrt(0.01 * 0.01 + 0.02 * 0.02) / std::sqrt(1.0 + 0.25);
    Measured log(tones, 1), lin(tones, 0);
    EXPECT_NEAR(log.d->ComputeImd(), expected, 1e-3);
    EXPECT_NEAR(lin.d->ComputeImd(), expected, 1e-3);
    Measured silent({});
    EXPECT_EQ(silent.d->ComputeImd(), 0.0f);
}

TEST(SpectralDataLevelMeasures, OverallLevelObeysParsevalWithTheNoiseBandwidth)
{
    // Hanning, amplitude corrected: power spread over three bins (1.5x), ENBW 1.5 bins.
    auto p = Processing(4000, 1024);
    const auto lin = Scaling(0), db = Scaling(1);
    SpectralData a(&p, &lin, false), b(&p, &db, false);
    TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    FeedBlock(a, w, {{100.3, 0.5}});
    FeedBlock(b, w, {{100.3, 0.5}});
    a.Average(false);
    b.Average(false);
    // Uncalibrated linear levels are percent of full scale, the overall level too.
    EXPECT_NEAR(a.GetOverallLevel(), 50.0f, 0.5f);
    EXPECT_NEAR(b.GetOverallLevel(), 20 * std::log10(0.5), 0.05f);
    // Sum of displayed levels (weighting -1) agrees.
    EXPECT_NEAR(a.TotalLevel(a.GetFirstBin(), a.GetLastBin(), 0, -1), a.GetOverallLevel(), 0.01f);
    // Calibrated in pascals: the overall level carries the SPL offset.
    const auto cal = Calibration(kUnitSplAir, 2.0f, 0);
    b.SetScaling(&cal);
    FeedBlock(b, w, {{100.3, 0.5}});
    b.Average(false);
    EXPECT_NEAR(b.GetOverallLevel(), 20 * std::log10(1.0 / 20e-6), 0.05f);
}

TEST(SpectralDataLevelMeasures, ParzenAndKaiserReadTrueSineAndNoiseLevels)
{
    // A 0.5-full-scale sine on a bin reads -6.02 dB through an amplitude-corrected window.
    // White noise of rms 0.1 full scale, averaged over 16 blocks of 4096, reads -20 dB rms
    // (RMS-labelled calibration of ratio 1): as the overall level of the amplitude-corrected
    // narrowband spectrum (which carries the noise-bandwidth factor), and as the summed power
    // density of the energy-corrected spectrum. The power of one windowed block has a relative
    // spread of sqrt(2 sum w^4)/sum w^2, 3.6 % (Parzen) and 3.9 % (Kaiser) at N = 4096; over 16
    // blocks under 1 % (0.043 dB), so 0.15 dB is three and a half standard deviations, while
    // the faults this guards against are 1.5 dB and more.
    for (WORD type : {TSmoothing::kParzen, TSmoothing::kKaiser}) {
        auto p = Processing(4000, 4096, type);
        const auto db = Scaling(1);
        SpectralData sine(&p, &db, false);
        TSmoothing amp(4096, type, TSmoothing::kAmplitudeCorrection);
        FeedBlock(sine, amp, {{100.0, 0.5}});
        sine.Average(false);
        EXPECT_NEAR(sine.GetLevel(100), 20 * std::log10(0.5), 0.05) << "type " << type;

        p.AverageBlocks = 16;
        auto density = Scaling(1);
        density.SpectralDensityFlag = 1;
        const auto rms = Calibration(kUnitCustom, 1.0f, 1);
        SpectralData narrow(&p, &db, false), dense(&p, &density, false);
        narrow.SetScaling(&rms);
        dense.SetScaling(&rms);
        TSmoothing energy(4096, type, TSmoothing::kEnergyCorrection);
        unsigned seedA = 7, seedB = 7;
        for (int b = 0; b < 16; ++b) {
            FeedBlock(narrow, amp, {}, 0.1, &seedA);
            narrow.Average(false);
            FeedBlock(dense, energy, {}, 0.1, &seedB);
            dense.Average(false);
        }
        EXPECT_NEAR(narrow.GetOverallLevel(), -20.0, 0.15) << "type " << type;
        EXPECT_NEAR(dense.GetOverallLevel() + 10 * std::log10(dense.GetBinWidth()), -20.0, 0.15) << "type " << type;
    }
}

TEST(SpectralDataLevelMeasures, SilenceHasNoOverallLevel)
{
    auto p = Processing(4000, 1024);
    const auto db = Scaling(1);
    SpectralData d(&p, &db, false);
    d.Average(false);
    EXPECT_EQ(d.GetOverallLevel(), -999.0f);
    EXPECT_EQ(d.TotalLevel(0, 511, 1, -1), 0.0f);
}

TEST(SpectralDataPeaks, RankedPeaksComeInOrderOfStrength)
{
    Measured m({{60, 0.2}, {120, 1.0}, {200, 0.5}});
    float f = -1, l = -1;
    const float bw = m.d->GetBinWidth();
    m.d->FindRankedPeak(0, 511, &f, &l, 0);
    EXPECT_FLOAT_EQ(f, 120 * bw);
    EXPECT_NEAR(l, 0.0f, 0.01f);
    m.d->FindRankedPeak(0, 511, &f, &l, 1);
    EXPECT_FLOAT_EQ(f, 200 * bw);
    m.d->FindRankedPeak(0, 511, &f, &l, 2);
    EXPECT_FLOAT_EQ(f, 60 * bw);
    f = l = 7.0f;
    m.d->FindRankedPeak(0, 511, &f, &l, 11);
    EXPECT_EQ(f, 7.0f);
    EXPECT_EQ(l, 7.0f);
    EXPECT_FLOAT_EQ(m.d->RankedPeakFrequency(100.0f, 1000.0f, 1, false), 200 * bw);
    EXPECT_EQ(m.d->MagnitudeAtFrequency(5.0f), 0.0f);
    EXPECT_NEAR(m.d->MagnitudeAtFrequency(120 * bw), 1.0f, 1e-4f);
    float fmin = 0, lmin = 0;
    m.d->FindMinimumInRange(100, 140, &fmin, &lmin);
    EXPECT_LT(lmin, -100.0f);
}

TEST(SpectralDataPeaks, HalfPowerBandwidthAndQualityOfAResonance)
{
    auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    float* m = d.GetMagnitudeBuffer();
    const double f0 = 1000.0, bw = 50.0;
    for (int k = 0; k < 512; ++k) {
        const double x = (k * d.GetBinWidth() - f0) / (bw / 2);
        m[k] = static_cast<float>(1.0 / (1.0 + x * x));
    }
    EXPECT_NEAR(d.HalfPowerBandwidth(700.0f, 1300.0f, false), bw, 0.5);
    EXPECT_NEAR(d.QualityFactor(700.0f, 1300.0f, false), f0 / bw, 0.2);
    // A range that cuts the resonance off on one side has no bandwidth.
    EXPECT_EQ(d.HalfPowerBandwidth(990.0f, 1300.0f, false), 0.0f);
    EXPECT_EQ(d.QualityFactor(990.0f, 1300.0f, false), 0.0f);
}
