#include "numerics/TFft.h"

#include "numerics/SimdDispatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

namespace {

// Direct DFT in long double: the independent truth for every size.
std::vector<std::complex<long double>> DirectDft(const std::vector<float>& x)
{
    const std::size_t n = x.size();
    std::vector<std::complex<long double>> out(n / 2 + 1);
    const long double pi = 3.14159265358979323846264338327950288L;
    std::vector<std::complex<long double>> w(n);
    for (std::size_t i = 0; i < n; ++i) {
        const long double a = -2.0L * pi * static_cast<long double>(i) / static_cast<long double>(n);
        w[i] = {std::cos(a), std::sin(a)};
    }
    for (std::size_t k = 0; k <= n / 2; ++k) {
        std::complex<long double> s = 0;
        for (std::size_t i = 0; i < n; ++i)
            s += static_cast<long double>(x[i]) * w[(k * i) % n];
        out[k] = s;
    }
    return out;
}

std::vector<float> RandomSignal(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x)
        v = d(gen);
    return x;
}

// Twice the direct DFT in the packed layout, and the worst difference of `packed` from it
// relative to the float precision a transform of log2(N) stages can keep.
double WorstPackedError(const std::vector<float>& signal, const std::vector<float>& packed)
{
    const std::size_t n = signal.size();
    const auto ref = DirectDft(signal);
    long double power = 0;
    for (const auto& c : ref)
        power += std::norm(c);
    const double rms = static_cast<double>(std::sqrt(power / ref.size()));
    const double tol = 4.0 * std::log2(static_cast<double>(n)) * 1.2e-7 * rms * 2.0;
    double worst = std::max(std::fabs(packed[0] - 2.0 * static_cast<double>(ref[0].real())),
                            std::fabs(packed[1] - 2.0 * static_cast<double>(ref[n / 2].real())));
    for (std::size_t k = 1; k < n / 2; ++k) {
        worst = std::max(worst, std::fabs(packed[2 * k] - 2.0 * static_cast<double>(ref[k].real())));
        worst = std::max(worst, std::fabs(packed[2 * k + 1] - 2.0 * static_cast<double>(ref[k].imag())));
    }
    return worst / tol;
}

// Holds the numerics on the SSE2 baseline for its lifetime.
struct BaselineForced {
    BaselineForced() { simd::ForceBaseline(true); }
    ~BaselineForced() { simd::ForceBaseline(false); }
    BaselineForced(const BaselineForced&) = delete;
    BaselineForced& operator=(const BaselineForced&) = delete;
};

// Runs op on a copy of input, once on the road the processor picks and once on the baseline.
template <typename Op>
void ExpectSameBits(const std::vector<float>& input, Op op, const char* what, std::size_t n)
{
    std::vector<float> picked = input, baseline = input;
    ASSERT_TRUE(op(picked.data())) << what << " N=" << n;
    {
        BaselineForced forced;
        ASSERT_FALSE(simd::UseAvx());
        ASSERT_TRUE(op(baseline.data())) << what << " N=" << n;
    }
    EXPECT_EQ(std::memcmp(picked.data(), baseline.data(), sizeof(float) * input.size()), 0) << what << " N=" << n;
}

} // namespace

TEST(TFftSize, Log2SizeAcceptsOnlyThePowersOfTwoFrom32To65536)
{
    EXPECT_EQ(TFft::Log2Size(32), 5u);
    EXPECT_EQ(TFft::Log2Size(1024), 10u);
    EXPECT_EQ(TFft::Log2Size(65536), 16u);
    EXPECT_EQ(TFft::Log2Size(48), 0u);
    EXPECT_EQ(TFft::Log2Size(16), 0u);
    EXPECT_EQ(TFft::Log2Size(131072), 0u);
    EXPECT_EQ(TFft::Log2Size(0), 0u);
}

TEST(TFftSize, SetSizeFallsBackTo512WithTheErrorFlag)
{
    TFft f(1024);
    EXPECT_EQ(f.error, 0);
    f.SetSize(48);
    EXPECT_EQ(f.GetSize(), 512u);
    EXPECT_EQ(f.error, 1);
    TFft g(16);
    g.SetSize(65536);
    EXPECT_EQ(g.GetSize(), 65536u);
    EXPECT_EQ(g.error, 0);
    // The constructor takes any size unchecked.
    TFft h(48);
    EXPECT_EQ(h.GetSize(), 48u);
    EXPECT_EQ(h.error, 0);
}

TEST(TFftSize, SizesThatAreNoPowerOfTwoLeaveTheDataAlone)
{
    std::vector<float> x = RandomSignal(48, 1);
    const std::vector<float> before = x;
    TFft f(48);
    EXPECT_FALSE(f.Forward(x.data()));
    EXPECT_FALSE(f.Inverse(x.data()));
    EXPECT_EQ(x, before);
    EXPECT_FALSE(TFft::Transform(nullptr, 1024, 1));
}

TEST(TFftForward, MatchesTheDirectDftInTheDocumentedPacking)
{
    for (int p = 2; p <= 12; ++p) {
        const std::size_t n = std::size_t{1} << p;
        const std::vector<float> x = RandomSignal(n, 100 + p);
        std::vector<float> y = x;
        TFft f(static_cast<UINT>(n));
        ASSERT_TRUE(f.Forward(y.data()));
        EXPECT_LT(WorstPackedError(x, y), 1.0) << "N=" << n;
    }
}

TEST(TFftForward, LargeSizesStayAtFloatPrecisionOnSelectedBins)
{
    // The full direct DFT is too slow at 65536; a handful of bins checks the big tables.
    const std::size_t n = 65536;
    std::vector<float> x = RandomSignal(n, 7);
    const std::vector<float> orig = x;
    TFft f(static_cast<UINT>(n));
    ASSERT_TRUE(f.Forward(x.data()));
    const long double pi = 3.14159265358979323846264338327950288L;
    const double tol = 4.0 * 16 * 1.2e-7 * std::sqrt(static_cast<double>(n) / 3.0) * 2.0;
    for (std::size_t k : {std::size_t{1}, std::size_t{3}, std::size_t{4097}, std::size_t{16384}, std::size_t{32767}}) {
        std::complex<long double> s = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const long double a = -2.0L * pi * static_cast<long double>((k * i) % n) / n;
            s += static_cast<long double>(orig[i]) * std::complex<long double>(std::cos(a), std::sin(a));
        }
        EXPECT_NEAR(x[2 * k], 2.0 * static_cast<double>(s.real()), tol) << k;
        EXPECT_NEAR(x[2 * k + 1], 2.0 * static_cast<double>(s.imag()), tol) << k;
    }
}

TEST(TFftForward, ConstantGivesTwiceNAtDcAndNothingElse)
{
    const std::size_t n = 1024;
    std::vector<float> x(n, 1.0f);
    TFft(static_cast<UINT>(n)).Forward(x.data());
    EXPECT_FLOAT_EQ(x[0], 2.0f * n);
    for (std::size_t i = 1; i < n; ++i)
        ASSERT_NEAR(x[i], 0.0f, 1e-3f) << i;
}

TEST(TFftForward, CosineOnABinReadsAmplitudeTimesN)
{
    const std::size_t n = 1024;
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = static_cast<float>(0.7 * std::cos(2.0 * M_PI * 5.0 * i / n));
    TFft(static_cast<UINT>(n)).Forward(x.data());
    EXPECT_NEAR(std::hypot(x[10], x[11]), 0.7 * n, 1e-3);
    EXPECT_NEAR(x[11], 0.0, 1e-3);
    // A sine sits on the negative imaginary axis with exp(-i...) in the forward transform.
    for (std::size_t i = 0; i < n; ++i)
        x[i] = static_cast<float>(std::sin(2.0 * M_PI * 3.0 * i / n));
    TFft(static_cast<UINT>(n)).Forward(x.data());
    EXPECT_NEAR(x[7], -static_cast<double>(n), 1e-3);
    EXPECT_NEAR(x[6], 0.0, 1e-3);
}

TEST(TFftRoundTrip, InverseOfForwardReturnsTheSignal)
{
    for (int p = 2; p <= 16; ++p) {
        const std::size_t n = std::size_t{1} << p;
        std::vector<float> x = RandomSignal(n, 900 + p);
        const std::vector<float> orig = x;
        TFft f(static_cast<UINT>(n));
        ASSERT_TRUE(f.Forward(x.data()));
        ASSERT_TRUE(f.Inverse(x.data()));
        double worst = 0;
        for (std::size_t i = 0; i < n; ++i)
            worst = std::max(worst, static_cast<double>(std::fabs(x[i] - orig[i])));
        EXPECT_LT(worst, 2e-6 * p) << "N=" << n;
    }
}

TEST(TFftComplex, InverseIsScaledByOneOverCountAtEverySize)
{
    // Small sizes take the short last passes alone; large ones (segment analyses) many passes.
    for (int p = 0; p <= 19; ++p) {
        const int n = 1 << p;
        std::vector<float> x = RandomSignal(2 * static_cast<std::size_t>(n), 5 + p);
        const std::vector<float> orig = x;
        ASSERT_TRUE(TFft::ComplexTransform(x.data(), n, 1));
        ASSERT_TRUE(TFft::ComplexTransform(x.data(), n, -1));
        double worst = 0;
        for (int i = 0; i < 2 * n; ++i)
            worst = std::max(worst, static_cast<double>(std::fabs(x[i] - orig[i])));
        EXPECT_LT(worst, 2e-6 * (p + 1)) << "n=" << n;
    }
}

TEST(TFftComplex, ImpulseAtOneGivesTheTwiddleRow)
{
    // The DFT of a unit impulse at index 1 is exp(-2 pi i k / n): every stage's twiddles show.
    for (int n : {2, 4, 8, 16, 32, 64, 128, 2048}) {
        std::vector<float> x(2 * static_cast<std::size_t>(n), 0.0f);
        x[2] = 1.0f;
        ASSERT_TRUE(TFft::ComplexTransform(x.data(), n, 1));
        for (int k = 0; k < n; ++k) {
            ASSERT_NEAR(x[2 * k], std::cos(2 * M_PI * k / n), 1e-6) << n << " " << k;
            ASSERT_NEAR(x[2 * k + 1], -std::sin(2 * M_PI * k / n), 1e-6) << n << " " << k;
        }
    }
}

TEST(TFftSplit, ComplexPassThenSplitIsTwiceTheDftAndTheInverseUndoesIt)
{
    // The real transform spelled out: the half-size complex transform of the samples read as
    // complex pairs, then the split; back again with the split, the complex inverse and 1/4.
    for (int p = 2; p <= 11; ++p) {
        const std::size_t n = std::size_t{1} << p;
        const std::vector<float> x = RandomSignal(n, 300 + p);
        std::vector<float> y = x;
        ASSERT_TRUE(TFft::ComplexTransform(y.data(), static_cast<int>(n / 2), 1));
        ASSERT_TRUE(TFft::RealSplit(y.data(), static_cast<int>(n), 1));
        EXPECT_LT(WorstPackedError(x, y), 1.0) << "N=" << n;
        ASSERT_TRUE(TFft::RealSplit(y.data(), static_cast<int>(n), -1));
        ASSERT_TRUE(TFft::ComplexTransform(y.data(), static_cast<int>(n / 2), -1));
        double worst = 0;
        for (std::size_t i = 0; i < n; ++i)
            worst = std::max(worst, std::fabs(0.25 * y[i] - x[i]));
        EXPECT_LT(worst, 2e-6 * p) << "N=" << n;
    }
    std::vector<float> odd(12, 1.0f);
    const std::vector<float> before = odd;
    EXPECT_FALSE(TFft::RealSplit(odd.data(), 12, 1));
    EXPECT_FALSE(TFft::RealSplit(odd.data(), 2, 1));
    EXPECT_EQ(odd, before);
}

TEST(TFftSimd, BaselineAndAvxGiveTheSameBitsAtEveryPowerOfTwo)
{
    if (!simd::ProcessorHasAvx())
        GTEST_SKIP() << "this processor has no AVX: only the baseline road runs here";
    for (int p = 1; p <= 16; ++p) {
        const std::size_t n = std::size_t{1} << p;
        const int count = static_cast<int>(n);
        const std::vector<float> complexInput = RandomSignal(2 * n, 500 + p);
        ExpectSameBits(complexInput, [count](float* d) { return TFft::ComplexTransform(d, count, 1); }, "complex", n);
        ExpectSameBits(complexInput, [count](float* d) { return TFft::ComplexTransform(d, count, -1); },
                       "complex inverse", n);
        if (n < 4)
            continue;
        const std::vector<float> real = RandomSignal(n, 700 + p);
        ExpectSameBits(real, [count](float* d) { return TFft::Transform(d, count, 1); }, "forward", n);
        ExpectSameBits(real, [count](float* d) { return TFft::Transform(d, count, -1); }, "inverse", n);
        ExpectSameBits(real, [count](float* d) { return TFft::RealSplit(d, count, 1); }, "split", n);
        ExpectSameBits(real, [count](float* d) { return TFft::RealSplit(d, count, -1); }, "split inverse", n);
    }
}

TEST(TFftSimd, TheBaselineRoadMatchesTheDirectDftAndRoundTrips)
{
    BaselineForced forced;
    for (int p = 2; p <= 12; p += 2) {
        const std::size_t n = std::size_t{1} << p;
        const std::vector<float> x = RandomSignal(n, 40 + p);
        std::vector<float> y = x;
        TFft f(static_cast<UINT>(n));
        ASSERT_TRUE(f.Forward(y.data()));
        EXPECT_LT(WorstPackedError(x, y), 1.0) << "N=" << n;
        ASSERT_TRUE(f.Inverse(y.data()));
        double worst = 0;
        for (std::size_t i = 0; i < n; ++i)
            worst = std::max(worst, static_cast<double>(std::fabs(y[i] - x[i])));
        EXPECT_LT(worst, 2e-6 * p) << "N=" << n;
    }
}
