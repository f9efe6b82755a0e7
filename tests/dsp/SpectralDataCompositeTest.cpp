#include "dsp/SpectralData.h"

#include "SpectralTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>

using namespace spectral_test;

namespace {

constexpr int kN = 512;

struct Chain {
    ChannelProcessingSettings p = Processing(8000, kN);
    ChannelScalingSettings s = Scaling(0);
    SpectralData ref{&p, &s, false}, tra{&p, &s, false}, res{&p, &s, false}, coh{&p, &s, false};
    TSmoothing w{kN, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection};

    explicit Chain(DWORD blocks)
    {
        p.AverageBlocks = blocks;
        for (SpectralData* d : {&ref, &tra, &res, &coh})
            d->SetAveraging(0, blocks);
    }

    void Block(const float* x, const float* y)
    {
        for (int i = 0; i < kN; ++i) {
            ref.SetTimeSample(i, x[i]);
            tra.SetTimeSample(i, y[i]);
        }
        for (SpectralData* d : {&ref, &tra}) {
            w.Apply(d->GetFrame());
            d->ComputeSpectrum();
            d->Average(false);
        }
        res.CrossSpectrum(tra.GetFrame(), ref.GetFrame());
        res.Average(false);
        res.CrossOverAuto(ref.GetMagnitudeBuffer());
        coh.CrossSpectrum(tra.GetFrame(), ref.GetFrame());
        coh.Average(false);
        coh.Coherence(tra.GetMagnitudeBuffer(), ref.GetMagnitudeBuffer());
    }
};

std::complex<double> FirResponse(double omega)
{
    return 0.5 + 0.25 * std::polar(1.0, -omega) - 0.125 * std::polar(1.0, -2 * omega);
}

} // namespace

TEST(SpectralDataComposite, TransferFunctionOfAKnownFirAndItsCoherence)
{
    std::mt19937 gen(3);
    std::normal_distribution<float> noise(0.0f, 3000.0f);
    const int blocks = 150;
    std::vector<float> x(static_cast<std::size_t>(blocks) * kN + 2), y(x.size());
    for (float& v : x)
        v = noise(gen);
    for (std::size_t i = 2; i < x.size(); ++i)
        y[i] = 0.5f * x[i] + 0.25f * x[i - 1] - 0.125f * x[i - 2];
    Chain c(blocks);
    for (int b = 0; b < blocks; ++b)
        c.Block(&x[2 + static_cast<std::size_t>(b) * kN], &y[2 + static_cast<std::size_t>(b) * kN]);
    EXPECT_TRUE(c.res.IsTransferKind());
    EXPECT_TRUE(c.res.IsCrossKind());
    EXPECT_TRUE(c.coh.IsCoherenceKind());
    for (int k = 4; k < kN / 2 - 2; k += 7) {
        const std::complex<double> h = FirResponse(2 * M_PI * k / kN);
        EXPECT_NEAR(c.res.GetMagnitudeBuffer()[k], std::norm(h), 0.03 * std::norm(h) + 1e-4) << k;
        EXPECT_NEAR(c.res.GetPhaseDegrees(k), std::arg(h) * 180 / M_PI, 2.0) << k;
        EXPECT_GT(c.coh.GetMagnitudeBuffer()[k], 0.97f) << k;
        // Coherence reads as a plain number, not percent.
        EXPECT_NEAR(c.coh.GetLevel(k), 1.0f, 0.02f) << k;
    }
}

TEST(SpectralDataComposite, IndependentNoiseHasLowCoherence)
{
    std::mt19937 gen(9);
    std::normal_distribution<float> noise(0.0f, 3000.0f);
    const int blocks = 150;
    Chain c(blocks);
    std::vector<float> x(kN), y(kN);
    for (int b = 0; b < blocks; ++b) {
        for (int i = 0; i < kN; ++i) {
            x[i] = noise(gen);
            y[i] = noise(gen);
        }
        c.Block(x.data(), y.data());
    }
    double mean = 0;
    int n = 0;
    for (int k = 4; k < kN / 2 - 2; ++k, ++n)
        mean += c.coh.GetMagnitudeBuffer()[k];
    mean /= n;
    EXPECT_LT(mean, 0.05);
    EXPECT_GT(mean, 0.0);
}

TEST(SpectralDataComposite, SumsOfEqualSpectra)
{
    auto p = Processing(4000, 64);
    const auto s = Scaling(0);
    SpectralData a(&p, &s, false), r(&p, &s, false);
    for (int k = 0; k < 32; ++k) {
        a.GetFrame()[2 * k] = 3.0f;
        a.GetFrame()[2 * k + 1] = 4.0f;
    }
    const float* two[] = {a.GetFrame(), a.GetFrame()};
    r.ComplexSum(two, 2);
    EXPECT_FLOAT_EQ(r.GetFrame()[10], 6.0f);
    EXPECT_FLOAT_EQ(r.GetFrame()[11], 8.0f);
    r.RealSum(two, 2);
    const std::complex<double> z(r.GetFrame()[10], r.GetFrame()[11]);
    EXPECT_NEAR(std::abs(z), 5.0 * std::sqrt(2.0), 1e-4);
    EXPECT_NEAR(std::arg(z), 2 * std::atan2(4.0, 3.0) - 2 * M_PI * (2 * std::atan2(4.0, 3.0) > M_PI), 1e-5);
    r.RealSum(two, 1);
    EXPECT_FLOAT_EQ(r.GetFrame()[11], 4.0f);
    r.PolarMean(a.GetFrame(), a.GetFrame());
    EXPECT_NEAR(r.GetFrame()[10], 3.0f, 1e-5f);
    r.ComplexSum(nullptr, 2); // nothing
    EXPECT_NEAR(r.GetFrame()[10], 3.0f, 1e-5f);
}

TEST(SpectralDataComposite, RealTransferRatiosAndZeroReferences)
{
    auto p = Processing(4000, 64);
    const auto s = Scaling(1);
    SpectralData r(&p, &s, false);
    std::vector<float> num(32, 4.0f), den(32, 4.0f);
    r.GetMagnitudeBuffer()[5] = 7.0f;
    den[5] = 0.0f;
    r.RealTransferFunction(num.data(), den.data(), &num, &den);
    EXPECT_TRUE(r.IsRatioKind());
    EXPECT_FLOAT_EQ(r.GetMagnitudeBuffer()[4], 1.0f);
    EXPECT_FLOAT_EQ(r.GetMagnitudeBuffer()[5], 7.0f); // unchanged
    EXPECT_NEAR(r.GetLevel(4), 0.0f, 1e-6f);
}

TEST(SpectralDataComposite, TransferRepeatsThePreviousBinAndHoldsMaxima)
{
    auto p = Processing(4000, 64);
    const auto s = Scaling(0);
    SpectralData r(&p, &s, false);
    for (int k = 0; k < 32; ++k) {
        r.GetFrame()[2 * k] = 2.0f;
        r.GetFrame()[2 * k + 1] = 0.0f;
    }
    r.Average(false);
    std::vector<float> g(32, 1.0f);
    g[6] = 0.0f;
    g[7] = 2.0f;
    r.CrossOverAuto(g.data());
    const float* m = r.GetMagnitudeBuffer();
    EXPECT_FLOAT_EQ(m[5], 4.0f);
    EXPECT_FLOAT_EQ(m[6], 4.0f); // zero reference: the bin before
    EXPECT_FLOAT_EQ(m[7], 1.0f);
    // With peak hold the transfer keeps its maxima.
    r.SetPeakDecay(1);
    std::vector<float> big(32, 4.0f);
    r.CrossOverAuto(big.data());
    EXPECT_FLOAT_EQ(m[5], 4.0f);
    // Coherence also repeats the previous bin where the product is zero.
    SpectralData c(&p, &s, false);
    for (int k = 0; k < 32; ++k)
        c.GetFrame()[2 * k] = 1.0f;
    c.Average(false);
    std::vector<float> gx(32, 1.0f), gy(32, 1.0f);
    gy[9] = 0.0f;
    gx[8] = 2.0f;
    c.Coherence(gx.data(), gy.data());
    EXPECT_FLOAT_EQ(c.GetMagnitudeBuffer()[8], 0.5f);
    EXPECT_FLOAT_EQ(c.GetMagnitudeBuffer()[9], 0.5f);
    EXPECT_FLOAT_EQ(c.GetMagnitudeBuffer()[10], 1.0f);
}

// With peak hold the transfer function and the coherence hold their own largest values, never
// the cross spectrum's magnitudes that averaging writes in between: a transfer channel of half
// a loud reference reads a quarter, and a coherence of 1, after every block.
TEST(SpectralDataComposite, PeakHoldKeepsTransferValuesNotCrossSpectrumMagnitudes)
{
    std::mt19937 gen(5);
    std::normal_distribution<float> noise(0.0f, 3.0e6f);
    std::vector<float> x(kN), y(kN);
    Chain c(20);
    c.res.SetPeakDecay(2);
    c.coh.SetPeakDecay(2);
    for (int b = 0; b < 5; ++b) {
        for (int i = 0; i < kN; ++i) {
            x[i] = noise(gen);
            y[i] = x[i] / 2;
        }
        c.Block(x.data(), y.data());
        for (int k = 2; k < kN / 2 - 2; ++k) {
            ASSERT_NEAR(c.res.GetMagnitudeBuffer()[k], 0.25f, 1e-4f) << b << " " << k;
            ASSERT_NEAR(c.coh.GetMagnitudeBuffer()[k], 1.0f, 1e-4f) << b << " " << k;
        }
    }
    // A reset lets go of what was held.
    for (SpectralData* d : {&c.ref, &c.tra, &c.res, &c.coh})
        d->ResetAverages();
    for (int i = 0; i < kN; ++i)
        y[i] = x[i] / 4;
    c.Block(x.data(), y.data());
    EXPECT_NEAR(c.res.GetMagnitudeBuffer()[10], 1.0f / 16, 1e-5f);
}

TEST(SpectralDataComposite, CompositeKindsAverageOffWithAFractionOfABlock)
{
    auto p = Processing(4000, 64);
    p.AverageMode = 1;
    p.AverageSpeed = 0;
    const auto s = Scaling(0);
    SpectralData r(&p, &s, false);
    r.UpdateTimeAverage(1.0f);
    EXPECT_EQ(r.GetAverageBlocks(), 1.0f);
    std::vector<float> z(64, 1.0f);
    r.CrossSpectrum(z.data(), z.data());
    r.UpdateTimeAverage(2.0f);
    EXPECT_EQ(r.GetAverageBlocks(), 1.1f);
    // Cross spectra average amplitudes: |x conj y| = 2 for a bin of (1, 1).
    r.Average(false);
    EXPECT_NEAR(r.GetMagnitudeBuffer()[3], 2.0f, 1e-5f);
}
