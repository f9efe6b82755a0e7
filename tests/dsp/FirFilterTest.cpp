// FIR designs checked by their measured frequency response (a direct DFT of the taps), and the
// block-by-block stream checked for alignment, continuity, gain and clipping, on sample
// arrays and in place on waves.
#include "dsp/FirFilter.h"

#include "support/ScriptedUser.h"
#include "wave/TWaveData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

namespace {

FilterSettings Settings(std::uint32_t type, int taps = 201)
{
    FilterSettings s;
    s.FilterType = type;
    s.NumTaps = taps;
    return s;
}

// |H(f)| of the taps by a direct DFT, in dB.
double ResponseDb(const std::vector<float>& h, double f, double rate)
{
    double re = 0.0, im = 0.0;
    for (std::size_t k = 0; k < h.size(); ++k) {
        const double a = 2.0 * std::numbers::pi * f * static_cast<double>(k) / rate;
        re += h[k] * std::cos(a);
        im -= h[k] * std::sin(a);
    }
    return 10.0 * std::log10(re * re + im * im + 1e-30);
}

struct Band {
    double minDb = 1e9, maxDb = -1e9;
};

Band Measure(const std::vector<float>& h, double f1, double f2, double rate)
{
    Band b;
    for (double f = f1; f <= f2 + 1e-9; f += 5.0) {
        const double d = ResponseDb(h, f, rate);
        b.minDb = std::min(b.minDb, d);
        b.maxDb = std::max(b.maxDb, d);
    }
    return b;
}

// The frequency between f1 and f2 where the response crosses -6 dB, by bisection.
double MinusSixDbEdge(const std::vector<float>& h, double f1, double f2, double rate)
{
    const bool rising = ResponseDb(h, f1, rate) < ResponseDb(h, f2, rate);
    for (int i = 0; i < 60; ++i) {
        const double m = 0.5 * (f1 + f2);
        const bool above = ResponseDb(h, m, rate) > -6.0206;
        if (above == rising)
            f2 = m;
        else
            f1 = m;
    }
    return 0.5 * (f1 + f2);
}

const TPcmFormat k8k(8000, 1, 2);

} // namespace

TEST(FirFilterDesign, TapCountIsClampedAndMadeOdd)
{
    const std::pair<int, int> cases[] = {{200, 201}, {39, 39}, {999, 999}, {38, 39}, {1000, 999}, {-5, 39}};
    for (auto [asked, got] : cases) {
        TFilter f(k8k, Settings(FILTER_LOWPASS, asked));
        EXPECT_EQ(f.GetTapCount(), got) << asked;
        EXPECT_EQ(f.GetCoefficients().size(), static_cast<std::size_t>(got));
    }
}

TEST(FirFilterDesign, EveryKindIsSymmetric)
{
    for (std::uint32_t type : {FILTER_LOWPASS, FILTER_HIGHPASS, FILTER_BANDPASS, FILTER_NOTCH}) {
        TFilter f(k8k, Settings(type, 151));
        ASSERT_FALSE(f.GetError());
        const auto& c = f.GetCoefficients();
        for (std::size_t i = 0; i < c.size(); ++i)
            EXPECT_FLOAT_EQ(c[i], c[c.size() - 1 - i]) << type << " tap " << i;
        // Hanning ends are zero.
        EXPECT_NEAR(c.front(), 0.0f, 1e-12);
    }
}

TEST(FirFilterDesign, LowPassResponse)
{
    FilterSettings s = Settings(FILTER_LOWPASS);
    s.LowPassCutoff = 1000;
    TFilter f(k8k, s);
    const auto& h = f.GetCoefficients();
    const Band pass = Measure(h, 0, 850, 8000);
    const Band stop = Measure(h, 1150, 4000, 8000);
    EXPECT_LT(pass.maxDb - pass.minDb, 0.1);
    EXPECT_NEAR(pass.maxDb, 0.0, 0.05);
    EXPECT_LT(stop.maxDb, -40.0);
    EXPECT_NEAR(MinusSixDbEdge(h, 850, 1150, 8000), 1000.0, 3.0);
}

TEST(FirFilterDesign, HighPassResponse)
{
    FilterSettings s = Settings(FILTER_HIGHPASS);
    s.HighPassCutoff = 2000;
    TFilter f(k8k, s);
    const auto& h = f.GetCoefficients();
    const Band stop = Measure(h, 0, 1850, 8000);
    const Band pass = Measure(h, 2150, 4000, 8000);
    EXPECT_LT(pass.maxDb - pass.minDb, 0.1);
    EXPECT_LT(stop.maxDb, -40.0);
    EXPECT_NEAR(MinusSixDbEdge(h, 1850, 2150, 8000), 2000.0, 3.0);
}

TEST(FirFilterDesign, BandPassResponse)
{
    FilterSettings s = Settings(FILTER_BANDPASS, 401);
    s.BandPassCenter = 1500;
    s.BandPassWidth = 600; // 1200..1800 Hz
    TFilter f(k8k, s);
    const auto& h = f.GetCoefficients();
    const Band pass = Measure(h, 1300, 1700, 8000);
    EXPECT_LT(pass.maxDb - pass.minDb, 0.1);
    EXPECT_NEAR(pass.maxDb, 0.0, 0.05);
    EXPECT_LT(Measure(h, 0, 1100, 8000).maxDb, -40.0);
    EXPECT_LT(Measure(h, 1900, 4000, 8000).maxDb, -40.0);
    EXPECT_NEAR(MinusSixDbEdge(h, 1100, 1300, 8000), 1200.0, 3.0);
    EXPECT_NEAR(MinusSixDbEdge(h, 1700, 1900, 8000), 1800.0, 3.0);
}

TEST(FirFilterDesign, NotchResponse)
{
    FilterSettings s = Settings(FILTER_NOTCH, 401);
    s.NotchCenter = 2000;
    s.NotchWidth = 800; // 1600..2400 Hz
    TFilter f(k8k, s);
    const auto& h = f.GetCoefficients();
    EXPECT_LT(Measure(h, 1700, 2300, 8000).maxDb, -40.0);
    const Band below = Measure(h, 0, 1500, 8000);
    const Band above = Measure(h, 2500, 4000, 8000);
    EXPECT_LT(below.maxDb - below.minDb, 0.1);
    EXPECT_LT(above.maxDb - above.minDb, 0.1);
    EXPECT_NEAR(MinusSixDbEdge(h, 1500, 1700, 8000), 1600.0, 3.0);
    EXPECT_NEAR(MinusSixDbEdge(h, 2300, 2500, 8000), 2400.0, 3.0);
}

TEST(FirFilterDesign, BandPassPlusNotchIsAUnitImpulse)
{
    FilterSettings bp = Settings(FILTER_BANDPASS);
    bp.BandPassCenter = 1000;
    bp.BandPassWidth = 500;
    FilterSettings notch = Settings(FILTER_NOTCH);
    notch.NotchCenter = 1000;
    notch.NotchWidth = 500;
    TFilter a(k8k, bp);
    TFilter b(k8k, notch);
    for (int i = 0; i < 201; ++i)
        EXPECT_NEAR(a.GetCoefficients()[i] + b.GetCoefficients()[i], i == 100 ? 1.0 : 0.0, 2e-3) << i;
}

TEST(FirFilterDesign, LimitCutoffs)
{
    FilterSettings s = Settings(FILTER_LOWPASS);
    s.LowPassCutoff = 0;
    TFilter zero(k8k, s);
    EXPECT_FALSE(zero.GetError());
    for (float c : zero.GetCoefficients())
        EXPECT_EQ(c, 0.0f);

    s.LowPassCutoff = 4000; // Nyquist: a pure delay
    TFilter all(k8k, s);
    const auto& c = all.GetCoefficients();
    EXPECT_NEAR(c[100], 1.0, 1e-6);
    for (int i = 0; i < 201; ++i)
        if (i != 100)
            EXPECT_NEAR(c[i], 0.0, 1e-6) << i;
}

TEST(FirFilterDesign, BandEdgesOutsideNyquistStopWithAMessage)
{
    struct Case {
        std::uint32_t type;
        int a, b;
    } cases[] = {
        {FILTER_LOWPASS, 4001, 0}, {FILTER_HIGHPASS, -1, 0},
        {FILTER_BANDPASS, 100, 500},  // lower edge -150 Hz
        {FILTER_NOTCH, 3900, 400},    // upper edge 4100 Hz
    };
    for (const Case& k : cases) {
        ScriptedUser user;
        user.ExpectBox(IDOK, "Filter band edges must be between 0 and 4000 Hz");
        FilterSettings s = Settings(k.type);
        s.LowPassCutoff = s.HighPassCutoff = k.a;
        s.BandPassCenter = s.NotchCenter = k.a;
        s.BandPassWidth = s.NotchWidth = k.b;
        TFilter f(k8k, s);
        EXPECT_TRUE(f.GetError()) << k.type;
    }
}

TEST(FirFilterDesign, GainIsClamped)
{
    FilterSettings s = Settings(FILTER_LOWPASS);
    s.FilterGain = 6.0f;
    TFilter f(k8k, s);
    EXPECT_NEAR(f.GetLinearGain(), 1.99526, 1e-4);
    f.SetGain(91.0f);
    EXPECT_EQ(f.GetGainDb(), 90.0f);
    f.SetGain(-120.0f);
    EXPECT_EQ(f.GetGainDb(), -90.0f);
}

TEST(FirFilterStream, ImpulseComesOutCentredOnItsInput)
{
    FilterSettings s = Settings(FILTER_LOWPASS, 39);
    s.LowPassCutoff = 1000;
    TFilter f(k8k, s);
    const int c = 19;
    std::vector<double> in(100, 0.0), out(100, 0.0), tail(c, 0.0);
    in[50] = 1000.0;
    f.Process(in, out);
    f.Flush(tail);
    // Output j of the call belongs to input j - c; so input 50's response is centred at
    // output 50 + c, and equals the taps.
    const auto& h = f.GetCoefficients();
    for (int k = 0; k < 39; ++k)
        EXPECT_NEAR(out[50 + k], 1000.0 * h[k], 1e-9) << k;
}

TEST(FirFilterStream, PassbandSineKeepsItsPhase)
{
    FilterSettings s = Settings(FILTER_LOWPASS);
    s.LowPassCutoff = 2000;
    TFilter f(k8k, s);
    const int n = 4000, c = 100;
    std::vector<double> in(n), out(n), tail(c);
    for (int i = 0; i < n; ++i)
        in[i] = 10000.0 * std::sin(2.0 * std::numbers::pi * 250.0 * i / 8000.0);
    f.Process(in, out);
    f.Flush(tail);
    // Aligned output: y[t] = out[t + c], and y[t] ~ x[t] away from the ends.
    for (int t = 300; t < n - 300; ++t)
        ASSERT_NEAR(out[t + c], in[t], 2.0) << t;
}

TEST(FirFilterStream, BlocksJoinSeamlessly)
{
    FilterSettings s = Settings(FILTER_BANDPASS, 101);
    TFilter one(k8k, s), two(k8k, s);
    std::vector<double> in(3000);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = std::fmod(i * 7919.0, 2001.0) - 1000.0;
    std::vector<double> a(3000), b(3000);
    one.Process(in, a);
    two.Process(std::span(in).first(1234), std::span(b).first(1234));
    two.Process(std::span(in).subspan(1234), std::span(b).subspan(1234));
    for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_DOUBLE_EQ(a[i], b[i]) << i;
}

TEST(FirFilterStream, GainScalesTheInput)
{
    FilterSettings s = Settings(FILTER_LOWPASS, 39);
    s.LowPassCutoff = 4000; // pass-through
    s.FilterGain = 6.0f;
    TFilter f(k8k, s);
    std::vector<double> in(60, 100.0), out(60);
    f.Process(in, out);
    EXPECT_NEAR(out[59], 199.526, 1e-2);
}

// ---- Filtering a wave in place, block by block ----

namespace {

std::unique_ptr<TWaveData> SineWave(const TPcmFormat& fmt, DWORD frames, double amplitude, double hz)
{
    auto w = std::make_unique<TWaveData>(frames, fmt);
    for (DWORD i = 0; i < frames; ++i)
        EXPECT_TRUE(w->SetSample(static_cast<std::int32_t>(std::lround(fmt.ZeroValue + amplitude * std::sin(2 * std::numbers::pi * hz * i / fmt.SampleRate))), i, 0));
    return w;
}

std::vector<double> Samples(TWaveData& w)
{
    std::vector<double> s(w.GetLength());
    for (DWORD i = 0; i < w.GetLength(); ++i)
        s[i] = w.GetSample(i, 0, false);
    return s;
}

// Filters [first, end) in blocks of the given length, as Edit/Filter does.
void FilterStretch(TFilter& f, TWaveData& w, DWORD first, DWORD end, DWORD block)
{
    for (DWORD p = first; p < end; p += block)
        ASSERT_TRUE(f.ApplyBlock(&w, p, static_cast<std::int32_t>(std::min(block, end - p))));
    ASSERT_TRUE(f.Finish(&w));
}

// A wave whose reads fail at one frame.
class FlakyWave : public TWaveData {
public:
    using TWaveData::TWaveData;
    DWORD failAt = 0xFFFFFFFF;
    bool ReadSamples(void* d, DWORD first, DWORD count, int channel) override
    {
        if (first == failAt)
            return false;
        return TWaveData::ReadSamples(d, first, count, channel);
    }
};

} // namespace

TEST(FirFilterWave, PassbandToneStaysInPlaceAndStopbandToneGoes)
{
    const TPcmFormat fmt(8000, 1, 2);
    auto pass = SineWave(fmt, 24000, 10000, 300);
    auto stop = SineWave(fmt, 24000, 10000, 2500);
    const std::vector<double> before = Samples(*pass);
    FilterSettings s = Settings(FILTER_LOWPASS);
    s.LowPassCutoff = 1000;
    TFilter a(fmt, s), b(fmt, s);
    FilterStretch(a, *pass, 4000, 20000, 8000);
    FilterStretch(b, *stop, 4000, 20000, 8000);
    const std::vector<double> after = Samples(*pass);
    const std::vector<double> gone = Samples(*stop);
    for (DWORD i = 0; i < 24000; ++i) {
        if (i < 4000 || i >= 20000) {
            ASSERT_EQ(after[i], before[i]) << "outside the stretch " << i;
        } else if (i >= 4200 && i < 19800) {
            ASSERT_NEAR(after[i], before[i], 3.0) << i; // no shift, no loss
            ASSERT_LE(std::fabs(gone[i]), 3.0) << i;
        }
    }
    EXPECT_TRUE(pass->IsModified());
}

TEST(FirFilterWave, BlockLengthDoesNotChangeTheResult)
{
    const TPcmFormat fmt(8000, 1, 2);
    FilterSettings s = Settings(FILTER_HIGHPASS, 101);
    s.HighPassCutoff = 500;
    auto one = SineWave(fmt, 10000, 9000, 440);
    auto many = SineWave(fmt, 10000, 9000, 440);
    TFilter f1(fmt, s), f2(fmt, s);
    FilterStretch(f1, *one, 1000, 9000, 8000);
    FilterStretch(f2, *many, 1000, 9000, 777);
    EXPECT_EQ(Samples(*one), Samples(*many));
}

TEST(FirFilterWave, OutputsSaturateInsteadOfWrapping)
{
    const TPcmFormat fmt(8000, 1, 2);
    auto w = SineWave(fmt, 8000, 30000, 100);
    FilterSettings s = Settings(FILTER_LOWPASS, 39);
    s.LowPassCutoff = 4000;
    s.FilterGain = 12.0f;
    TFilter f(fmt, s);
    FilterStretch(f, *w, 0, 8000, 8000);
    const std::vector<double> out = Samples(*w);
    for (DWORD i = 0; i < 8000; ++i) {
        ASSERT_LE(std::fabs(out[i]), 32767.0);
        const double expected = 30000 * 3.98107 * std::sin(2 * std::numbers::pi * 100 * i / 8000.0);
        if (std::fabs(expected) > 32767.0)
            ASSERT_EQ(std::fabs(out[i]), 32767.0) << i;
    }
}

TEST(FirFilterWave, EightAndTwentyFourBitSamples)
{
    for (WORD bytes : {1, 3}) {
        const TPcmFormat fmt(8000, 1, bytes);
        const double a = bytes == 1 ? 100.0 : 4000000.0;
        auto w = SineWave(fmt, 4000, a, 200);
        const std::vector<double> before = Samples(*w);
        FilterSettings s = Settings(FILTER_LOWPASS);
        s.LowPassCutoff = 1000;
        TFilter f(fmt, s);
        FilterStretch(f, *w, 0, 4000, 8000);
        const std::vector<double> after = Samples(*w);
        for (DWORD i = 200; i < 3800; ++i)
            ASSERT_NEAR(after[i], before[i], a * 1e-3 + 1.0) << bytes << " " << i;
    }
}

TEST(FirFilterWave, AFailedReadSkipsOnlyThatBlock)
{
    const TPcmFormat fmt(8000, 1, 2);
    FlakyWave w(24000, fmt);
    for (DWORD i = 0; i < 24000; ++i)
        EXPECT_TRUE(w.SetSample(static_cast<std::int32_t>(8000 * std::sin(2 * std::numbers::pi * 2500 * i / 8000.0)), i, 0));
    w.failAt = 8000;
    FilterSettings s = Settings(FILTER_LOWPASS);
    s.LowPassCutoff = 1000;
    TFilter f(fmt, s);
    EXPECT_TRUE(f.ApplyBlock(&w, 0, 8000));
    EXPECT_FALSE(f.ApplyBlock(&w, 8000, 8000));
    EXPECT_TRUE(f.ApplyBlock(&w, 16000, 8000));
    EXPECT_TRUE(f.Finish(&w));
    const std::vector<double> out = Samples(w);
    // The 2500 Hz tone is gone from the blocks that were read, kept in the one that was not.
    for (DWORD i = 200; i < 7800; ++i)
        ASSERT_LE(std::fabs(out[i]), 3.0) << i;
    double kept = 0;
    for (DWORD i = 8200; i < 15800; ++i)
        kept = std::max(kept, std::fabs(out[i]));
    EXPECT_GT(kept, 7000.0);
    for (DWORD i = 16200; i < 23800; ++i)
        ASSERT_LE(std::fabs(out[i]), 3.0) << i;
}

TEST(FirFilterWave, AFailedDesignLeavesTheWaveAlone)
{
    ScriptedUser user;
    user.ExpectBox(IDOK, "Filter band edges");
    const TPcmFormat fmt(8000, 1, 2);
    auto w = SineWave(fmt, 8000, 9000, 440);
    const std::vector<double> before = Samples(*w);
    FilterSettings s = Settings(FILTER_BANDPASS);
    s.BandPassCenter = 3900;
    s.BandPassWidth = 400;
    TFilter f(fmt, s);
    EXPECT_TRUE(f.GetError());
    EXPECT_FALSE(f.ApplyBlock(w.get(), 0, 8000));
    EXPECT_FALSE(f.Finish(w.get()));
    EXPECT_EQ(Samples(*w), before);
}

// ---- Design from a response table ----

#include <filesystem>
#include <fstream>

namespace {

std::string WriteTable(const std::string& name, const std::string& text)
{
    const std::filesystem::path p = std::filesystem::temp_directory_path() / name;
    std::ofstream(p) << text;
    return p.string();
}

FilterSettings Custom(const std::string& path, int taps = 201)
{
    FilterSettings s = Settings(FILTER_CUSTOM, taps);
    std::snprintf(s.ResponseFile, sizeof s.ResponseFile, "%s", path.c_str());
    return s;
}

} // namespace

TEST(FirFilterResponseFile, FlatTableIsAUnitImpulse)
{
    const std::string path = WriteTable("durnex-flat.flt", "; flat\n0\t0\n1000\t0\n4000\t0\n");
    TFilter f(k8k, Custom(path));
    ASSERT_FALSE(f.GetError());
    const auto& h = f.GetCoefficients();
    for (double hz : {0.0, 500.0, 1000.0, 2000.0, 3500.0})
        EXPECT_NEAR(ResponseDb(h, hz, 8000), 0.0, 0.1) << hz;
    for (std::size_t i = 0; i < h.size(); ++i)
        EXPECT_FLOAT_EQ(h[i], h[h.size() - 1 - i]);
    std::filesystem::remove(path);
}

TEST(FirFilterResponseFile, FollowsAStepTable)
{
    // 0 dB up to 1000 Hz, -40 dB from 1500 Hz on, linear in dB between.
    const std::string path =
        WriteTable("durnex-step.flt", ";SPLINE OFF\n0\t0\n1000\t0\n1500\t-40\n4000\t-40\n");
    TFilter f(k8k, Custom(path, 401));
    ASSERT_FALSE(f.GetError());
    const auto& h = f.GetCoefficients();
    const Band pass = Measure(h, 0, 900, 8000);
    EXPECT_NEAR(pass.maxDb, 0.0, 0.3);
    EXPECT_NEAR(pass.minDb, 0.0, 0.3);
    EXPECT_NEAR(ResponseDb(h, 1250, 8000), -20.0, 1.5);
    const Band stop = Measure(h, 1700, 3900, 8000);
    EXPECT_NEAR(stop.maxDb, -40.0, 1.5);
    EXPECT_NEAR(stop.minDb, -40.0, 3.0);
    std::filesystem::remove(path);
}

TEST(FirFilterResponseFile, AnUnreadableTableStopsWithTheLoadersMessage)
{
    ScriptedUser user;
    user.ExpectBox(IDOK, "Failure opening mic compensation file");
    TFilter f(k8k, Custom("/nonexistent/durnex/none.flt"));
    EXPECT_TRUE(f.GetError());
    const std::string path = WriteTable("durnex-short.flt", "0\t0\n100\t0\n");
    user.ExpectBox(IDOK, "file: " + path + "\rIt holds fewer than 3 lines of frequency and level.");
    TFilter g(k8k, Custom(path));
    EXPECT_TRUE(g.GetError());
    std::filesystem::remove(path);
}
