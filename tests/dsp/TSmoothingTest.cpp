#include "numerics/TSmoothing.h"

#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

namespace {

std::vector<float> Table(UINT n, WORD type, WORD option)
{
    TSmoothing w(n, type, option);
    EXPECT_EQ(w.error, 0);
    return std::vector<float>(w.GetTable(), w.GetTable() + n);
}

double CoherentGain(const std::vector<float>& w)
{
    return std::accumulate(w.begin(), w.end(), 0.0) / w.size();
}

// Equivalent noise bandwidth in bins: N * sum(w^2) / (sum w)^2.
double Enbw(const std::vector<float>& w)
{
    double s = 0, s2 = 0;
    for (float v : w) {
        s += v;
        s2 += static_cast<double>(v) * v;
    }
    return w.size() * s2 / (s * s);
}

} // namespace

TEST(TSmoothingTextbook, CoherentGainAndNoiseBandwidthMatchHarris1978)
{
    // Harris, "On the use of windows...", Proc. IEEE 66(1), 1978, table 1.
    struct Row { WORD type; double cg; double enbw; };
    const Row rows[] = {
        {TSmoothing::kHanning, 0.50, 1.50},
        {TSmoothing::kHamming, 0.54, 1.36},
        {TSmoothing::kBlackman, 0.42, 1.73},
        {TSmoothing::kBartlett, 0.50, 1.33},
        {TSmoothing::kTriangular, 0.50, 1.33},
    };
    for (const Row& r : rows) {
        const auto w = Table(4096, r.type, TSmoothing::kNoCorrection);
        EXPECT_NEAR(CoherentGain(w), r.cg, 0.005) << r.type;
        EXPECT_NEAR(Enbw(w), r.enbw, 0.01) << r.type;
    }
}

TEST(TSmoothingTextbook, CorrectionFactorsMatchEachTablesOwnMoments)
{
    // Amplitude correction makes the mean 1, energy correction the mean square 1, and the
    // engine's noise-bandwidth factor is 1/ENBW: each within 0.1 dB of the table's own value.
    // Exponential and Uniform carry no correction by design.
    for (UINT n : {1024u, 4096u, 65536u}) {
        for (WORD t = 0; t < TSmoothing::kTypeCount; ++t) {
            if (t == TSmoothing::kExponential || t == TSmoothing::kUniform)
                continue;
            const auto a = Table(n, t, TSmoothing::kAmplitudeCorrection);
            EXPECT_NEAR(20 * std::log10(CoherentGain(a)), 0.0, 0.1) << "type " << t << " N " << n;
            const auto e = Table(n, t, TSmoothing::kEnergyCorrection);
            double ms = 0;
            for (float v : e)
                ms += static_cast<double>(v) * v;
            EXPECT_NEAR(10 * std::log10(ms / n), 0.0, 0.1) << "type " << t << " N " << n;
            const auto plain = Table(n, t, TSmoothing::kNoCorrection);
            EXPECT_NEAR(10 * std::log10(TSmoothing::NoiseBandwidthFactor(t, n) * Enbw(plain)), 0.0, 0.1)
                << "type " << t << " N " << n;
        }
    }
    EXPECT_EQ(TSmoothing::NoiseBandwidthFactor(TSmoothing::kUniform, 1024), 1.0);
    EXPECT_EQ(TSmoothing::NoiseBandwidthFactor(TSmoothing::kExponential, 1024), 1.0);
    // Where the long-standing constants agree they stay: Hanning is exactly doubled.
    const auto h = Table(1024, TSmoothing::kHanning, TSmoothing::kNoCorrection);
    const auto h2 = Table(1024, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    for (int i = 0; i < 1024; ++i)
        ASSERT_FLOAT_EQ(h2[i], 2.0f * h[i]);
}

TEST(TSmoothingShapes, HanningEndsAndCentre)
{
    const auto w = Table(1024, TSmoothing::kHanning, TSmoothing::kNoCorrection);
    EXPECT_NEAR(w[0], 0.0f, 1e-7f);
    EXPECT_NEAR(w[1023], 0.0f, 1e-7f);
    EXPECT_NEAR(w[511], 1.0f, 1e-5f);
}

TEST(TSmoothingShapes, FlattopPeakAndFirstCoefficient)
{
    const auto w = Table(1024, TSmoothing::kFlattop, TSmoothing::kNoCorrection);
    const auto it = std::max_element(w.begin(), w.end());
    EXPECT_EQ(it - w.begin(), 512);
    EXPECT_NEAR(*it, 4.1726444f, 1e-5f);
    EXPECT_EQ(w[0], w[1]);
}

TEST(TSmoothingShapes, KaiserCentreIsOneAndEdgeIsOneOverI0)
{
    const auto w = Table(1024, TSmoothing::kKaiser, TSmoothing::kNoCorrection);
    EXPECT_EQ(w[512], 1.0f);
    // I0(5*pi) from its power series to full double precision.
    const double z = 5.0 * M_PI;
    double sum = 1, term = 1;
    for (int k = 1; k < 200; ++k) {
        term *= (z / 2) * (z / 2) / k / k;
        sum += term;
    }
    EXPECT_NEAR(w[0], 1.0 / sum, 1e-6 / sum * 10);
}

TEST(TSmoothingShapes, ForceParzenGaussianAndExponential)
{
    const auto f = Table(8, TSmoothing::kForce, TSmoothing::kNoCorrection);
    EXPECT_EQ(f, (std::vector<float>{1, 1, 1, 1, 0, 0, 0, 0}));
    const auto p = Table(1001, TSmoothing::kParzen, TSmoothing::kNoCorrection);
    for (int i = 0; i < 1001; ++i)
        ASSERT_NEAR(p[i], p[1000 - i], 1e-6f);
    EXPECT_NEAR(p[500], 1.0f, 1e-6f);
    const auto g = Table(1024, TSmoothing::kGaussian, TSmoothing::kNoCorrection);
    EXPECT_NEAR(g[0], std::exp(-12.5), 1e-9);
    EXPECT_EQ(g[0], g[1023]);
    const auto e = Table(101, TSmoothing::kExponential, TSmoothing::kAmplitudeCorrection);
    EXPECT_NEAR(e[100], std::exp(-10.0), 1e-9);
}

TEST(TSmoothingApply, UniformLeavesDataAndOthersMultiply)
{
    std::vector<float> x(64, 3.0f);
    TSmoothing u(64, TSmoothing::kUniform, TSmoothing::kAmplitudeCorrection);
    u.Apply(x.data());
    EXPECT_EQ(x, std::vector<float>(64, 3.0f));
    TSmoothing h(64, TSmoothing::kHanning, TSmoothing::kNoCorrection);
    h.Apply(x.data());
    EXPECT_NEAR(x[0], 0.0f, 1e-12f);
    std::vector<float> back(64, -1.0f);
    h.Remove(x.data(), back.data());
    EXPECT_FLOAT_EQ(back[0], -1.0f); // zero coefficient: left as it was
    EXPECT_NEAR(back[20], 3.0f, 1e-5f);
    h.RemoveInPlace(x.data());
    EXPECT_NEAR(x[20], 3.0f, 1e-5f);
}

TEST(TSmoothingErrors, InvalidTypeIsReportedAndNamedEmpty)
{
    ScriptedUser user;
    user.ExpectBox(IDOK, "TSmoothing: Invalid Window Type");
    TSmoothing w(64, 12, 0);
    EXPECT_EQ(w.error, 1);
    EXPECT_NE(w.GetTable(), nullptr);
    char name[32] = "x";
    TSmoothing::GetTypeName(12, name);
    EXPECT_STREQ(name, "");
    TSmoothing::GetTypeName(9, name);
    EXPECT_STREQ(name, "Triangular");
    EXPECT_EQ(TSmoothing::GetTypeCount(), 12);
}
