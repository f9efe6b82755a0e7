// Segment analyses against closed forms: block counts, zero padding, the Hilbert envelope of
// an AM tone, Schroeder integration of an exponential decay, RMS and crest factor.
#include "dsp/SegmentAnalysis.h"

#include "dsp/ChannelCalibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;

std::vector<double> AmTone(std::size_t n, double fc, double fm, double m, double amplitude, double rate)
{
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        x[i] = amplitude * (1.0 + m * std::cos(2 * kPi * fm * t)) * std::cos(2 * kPi * fc * t);
    }
    return x;
}

double AmEnvelope(std::size_t i, double fm, double m, double amplitude, double rate)
{
    return amplitude * (1.0 + m * std::cos(2 * kPi * fm * static_cast<double>(i) / rate));
}

} // namespace

TEST(SegmentAveragePlan, NoOverlap)
{
    const std::int64_t L = 1024;
    SegmentAveragePlan exact = PlanSegmentAverage(L, L, L);
    EXPECT_EQ(exact.blocks, 1);
    EXPECT_EQ(exact.remainder, 0);
    EXPECT_FALSE(exact.finalBlock);
    SegmentAveragePlan plusOne = PlanSegmentAverage(L + 1, L, L);
    EXPECT_EQ(plusOne.blocks, 1);
    EXPECT_EQ(plusOne.remainder, 1);
    EXPECT_TRUE(plusOne.finalBlock);
    SegmentAveragePlan threeAndAHalf = PlanSegmentAverage(3 * L + L / 2, L, L);
    EXPECT_EQ(threeAndAHalf.blocks, 3);
    EXPECT_EQ(threeAndAHalf.remainder, L / 2);
}

TEST(SegmentAveragePlan, HalfOverlapAlwaysEndsWithAnAlignedBlock)
{
    const std::int64_t L = 512;
    for (std::int64_t m = L; m < 6 * L; ++m) {
        const SegmentAveragePlan p = PlanSegmentAverage(m, L, L / 2);
        ASSERT_GE(p.remainder, 1) << m;
        ASSERT_LE(p.remainder, L) << m;
        ASSERT_TRUE(p.finalBlock);
        // The whole blocks stay inside the segment.
        ASSERT_LE((p.blocks - 1) * (L / 2) + L, m) << m;
    }
}

TEST(SegmentAveragePlan, ShortSegmentsAndBadInput)
{
    const SegmentAveragePlan s = PlanSegmentAverage(300, 1024, 512);
    EXPECT_EQ(s.blocks, 0);
    EXPECT_EQ(s.remainder, 300);
    EXPECT_TRUE(s.finalBlock);
    EXPECT_EQ(PlanSegmentAverage(0, 1024, 512).blocks, 0);
    EXPECT_FALSE(PlanSegmentAverage(0, 1024, 512).finalBlock);
    EXPECT_EQ(PlanSegmentAverage(4096, 1024, 0).blocks, 4); // no hop: one block per length
}

TEST(SegmentShortBlocks, ZeroPaddingCentresTheSamples)
{
    const std::size_t n = 1024;
    std::vector<float> half(n / 2);
    for (std::size_t i = 0; i < half.size(); ++i)
        half[i] = static_cast<float>(i + 1);
    const std::vector<float> f = ZeroPaddedFrame(half, n);
    ASSERT_EQ(f.size(), n);
    for (std::size_t j = 0; j < n; ++j) {
        if (j < n / 4 || j >= n / 4 + n / 2)
            EXPECT_EQ(f[j], 0.0f) << j;
        else
            EXPECT_EQ(f[j], static_cast<float>(j - n / 4 + 1)) << j;
    }
    // An odd pad never reads past the samples.
    const std::vector<float> odd = ZeroPaddedFrame(std::vector<float>(5, 1.0f), 8);
    EXPECT_EQ(odd, (std::vector<float>{0, 1, 1, 1, 1, 1, 0, 0}));
}

TEST(SegmentShortBlocks, CentredBlockStartsNoEarlierThanTheFile)
{
    EXPECT_EQ(CentredBlockStart(100, 200, 1024), 0);
    EXPECT_EQ(CentredBlockStart(10000, 200, 1024), 10000 + 100 - 512);
}

TEST(SegmentHilbert, EnvelopeOfAnAmToneFollowsTheModulation)
{
    const double rate = 8000, fc = 1000, fm = 31.25, m = 0.5, a = 8000;
    const std::size_t n = 4096;
    std::vector<double> x = AmTone(n, fc, fm, m, a, rate);
    ASSERT_TRUE(HilbertEnvelope(x));
    // fc and fm fit the block a whole number of times, so there is no edge effect at all.
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_NEAR(x[i], AmEnvelope(i, fm, m, a, rate), 0.01 * a) << i;
}

TEST(SegmentHilbert, ASineHasAFlatEnvelope)
{
    std::vector<double> x(1000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = 1000.0 * std::sin(2 * kPi * 440.0 * static_cast<double>(i) / 8000.0);
    ASSERT_TRUE(HilbertEnvelope(x)); // 1000 samples: padded to 1024 for the transform
    for (std::size_t i = 100; i < 900; ++i)
        ASSERT_NEAR(x[i], 1000.0, 30.0) << i;
}

TEST(SegmentHilbert, PiecesCoverALongSegmentAndItsRest)
{
    const double rate = 8192, fc = 1024, fm = 8, m = 0.3, a = 1000;
    const std::size_t n = 10000; // one piece of 8192, then a rest of 1808
    std::vector<double> x = AmTone(n, fc, fm, m, a, rate);
    std::vector<int> reports;
    SegmentProgress hooks;
    hooks.progress = [&](int p) { reports.push_back(p); };
    ASSERT_TRUE(SegmentHilbertEnvelope(x, hooks));
    EXPECT_EQ(reports, std::vector<int>{0});
    for (std::size_t i = 0; i < 8192; ++i)
        ASSERT_NEAR(x[i], AmEnvelope(i, fm, m, a, rate), 0.01 * a) << i;
    // The rest is an incomplete stretch; its middle still follows the envelope.
    for (std::size_t i = 8192 + 300; i < n - 300; ++i)
        ASSERT_NEAR(x[i], AmEnvelope(i, fm, m, a, rate), 0.05 * a) << i;
}

TEST(SegmentHilbert, CancelStopsBetweenPiecesButDoesTheRest)
{
    std::vector<double> x(3 * kHilbertPiece + 100, 0.0);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = (i % 2 == 0) ? 100.0 : -100.0;
    int pieces = 0;
    SegmentProgress hooks;
    hooks.progress = [&](int) { ++pieces; };
    hooks.cancelled = [] { return true; };
    EXPECT_FALSE(SegmentHilbertEnvelope(x, hooks));
    EXPECT_EQ(pieces, 1);
    // The first piece and the rest are done, the pieces in between untouched.
    EXPECT_NEAR(x[100], 100.0, 1.0);
    EXPECT_EQ(x[kHilbertPiece + 1], -100.0);
    EXPECT_NEAR(x[x.size() - 50], 100.0, 1.0);
}

TEST(SegmentSchroeder, ExponentialDecayGivesAStraightLineOfTheDecaySlope)
{
    // A decaying noise burst: 60 dB per 0.5 s in amplitude.
    const double rate = 8000, t60 = 0.5;
    const double tau = t60 / (3.0 * std::log(10.0)); // e^{-t/tau} falls 60 dB in t60
    const std::size_t n = static_cast<std::size_t>(rate * 2 * t60);
    std::mt19937 gen(7);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = 10000.0 * noise(gen) * std::exp(-static_cast<double>(i) / rate / tau);
    ASSERT_TRUE(BackwardIntegrate(x, 32767.0));
    EXPECT_NEAR(x[0], 32767.0, 1e-6);
    // Least-squares line through 20 log10 of the curve over its first half.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const std::size_t half = n / 2;
    for (std::size_t i = 0; i < half; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double y = 20.0 * std::log10(x[i]);
        sx += t;
        sy += y;
        sxx += t * t;
        sxy += t * y;
    }
    const double slope = (half * sxy - sx * sy) / (half * sxx - sx * sx);
    EXPECT_NEAR(slope, -60.0 / t60, 0.02 * 60.0 / t60);
    // Straight: no point strays far from the line.
    const double icept = (sy - slope * sx) / half;
    for (std::size_t i = 0; i < half; i += 97)
        ASSERT_NEAR(20.0 * std::log10(x[i]), icept + slope * static_cast<double>(i) / rate, 0.6) << i;
}

TEST(SegmentSchroeder, PureExponentialMatchesTheClosedForm)
{
    const std::size_t n = 4000;
    const double r = std::exp(-1.0 / 200.0);
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = std::pow(r, static_cast<double>(i));
    ASSERT_TRUE(BackwardIntegrate(x, 1.0));
    // sum_{k>=i} r^k over a finite tail, normalised by the whole sum.
    for (std::size_t i = 0; i < n; i += 250) {
        const double expected = (std::pow(r, i) - std::pow(r, n)) / (1.0 - std::pow(r, n));
        ASSERT_NEAR(x[i], expected, 1e-9) << i;
    }
    std::vector<double> silence(100, 0.0);
    EXPECT_FALSE(BackwardIntegrate(silence, 1.0));
}

TEST(SegmentLevels, SineRmsAndCrestFactor)
{
    const double a = 12000.0;
    std::vector<double> x(8000);
    double sum = 0, mx = -1e9, mn = 1e9;
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = a * std::sin(2 * kPi * 125.0 * static_cast<double>(i) / 8000.0 + 0.3);
        sum += x[i] * x[i];
        mx = std::max(mx, x[i]);
        mn = std::min(mn, x[i]);
    }
    const double rms = RmsFromMeanSquare(sum / static_cast<double>(x.size()));
    EXPECT_NEAR(rms, a / std::sqrt(2.0), 1e-6 * a);
    const CrestFactor c = ComputeCrestFactor(mx, mn, rms);
    EXPECT_NEAR(c.crest, std::sqrt(2.0), 1e-3);
    EXPECT_NEAR(c.db, 3.0103, 0.01);
    EXPECT_EQ(FormatCrestFactorMessage(c), "Crest Factor =   1.41   (  3.01 dB)");
}

TEST(SegmentLevels, SquareWaveAndSilence)
{
    const CrestFactor square = ComputeCrestFactor(32767.0, -32767.0, 32767.0);
    EXPECT_EQ(FormatCrestFactorMessage(square), "Crest Factor =   1.00   (  0.00 dB)");
    EXPECT_EQ(RmsFromMeanSquare(0.0), 0.0);
    EXPECT_EQ(RmsFromMeanSquare(-1e-9), 0.0);
    const CrestFactor silent = ComputeCrestFactor(0.0, 0.0, 0.0);
    EXPECT_EQ(silent.crest, 0.0);
    EXPECT_EQ(FormatCrestFactorMessage(silent), "Crest Factor =   0.00   (-999.90 dB)");
}

TEST(SegmentLevels, LabelsAndTexts)
{
    ChannelCalibration cal;
    std::string lin, log;
    cal.IsEnabled = 0;
    SegmentLevelLabels(cal, lin, log);
    EXPECT_EQ(lin, "Percent Full Scale");
    EXPECT_EQ(log, "dBFS");
    cal.IsEnabled = 1;
    const std::pair<DWORD, std::pair<const char*, const char*>> units[] = {
        {0, {"Volts", "dBV"}}, {1, {"Millivolts", "dBmV"}}, {3, {"Acceleration (G)", "Acceleration (G dB)"}}};
    for (const auto& [u, labels] : units) {
        cal.RefUnits = u;
        SegmentLevelLabels(cal, lin, log);
        EXPECT_EQ(lin, labels.first);
        EXPECT_EQ(log, labels.second);
    }
    cal.RefUnits = 2;
    std::memset(cal.LabelLinear, 'P', sizeof cal.LabelLinear); // unterminated in the record
    std::strcpy(cal.LabelLog, "dB SPL");
    SegmentLevelLabels(cal, lin, log);
    EXPECT_EQ(lin, std::string(60, 'P'));
    EXPECT_EQ(log, "dB SPL");
    EXPECT_EQ(FormatRmsLevelMessage(0.70711, -3.0103, "Volts", "dBV"), "RMS Level:\r0.7071\tVolts\r -3.01\tdBV");
    EXPECT_EQ(FormatQualityFactorMessage(1000.0, 50.0, 20.0),
              "Peak Frequency = 1000.000 Hz\rBandwidth (-3dB) = 50.000 Hz\rQuality Factor = 20.000");
}
