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

// An engine at 4000 Hz fed with a running signal of tones and noise, averaged over its blocks.
namespace {

struct Averaged {
    ChannelProcessingSettings p;
    ChannelScalingSettings s = Scaling(1);
    std::unique_ptr<SpectralData> d;
    Averaged(WORD window, DWORD fft, const std::vector<Tone>& tones, double noiseRms, int blocks = 64)
    {
        p = Processing(4000, fft, window);
        p.AverageBlocks = static_cast<WORD>(blocks);
        d = std::make_unique<SpectralData>(&p, &s, false);
        TSmoothing w(fft, window, TSmoothing::kAmplitudeCorrection);
        unsigned seed = 99;
        for (int b = 0; b < blocks; ++b) {
            // A running signal: each block meets the tones at another phase.
            std::vector<Tone> at = tones;
            for (Tone& t : at)
                t.phase = 2.0 * M_PI * t.bin * b + 0.7 * b;
            FeedBlock(*d, w, at, noiseRms, &seed);
            d->Average(false);
        }
    }
};

} // namespace

TEST(SpectralDataDistortion, ThdOfHarmonicsBetweenBinsReadsTheirWholeLobes)
{
    // Noiseless, between bins: THD sqrt(1 % ^ 2 + 0.5 % ^ 2), where single bins read 1.091 %.
    for (WORD window : {TSmoothing::kHanning, TSmoothing::kFlattop, TSmoothing::kBlackman}) {
        const Averaged m(window, 1024, {{60.37, 0.5}, {120.74, 0.005}, {181.11, 0.0025}}, 0.0, 1);
        ASSERT_TRUE(m.d->ComputeThd()) << window;
        EXPECT_NEAR(20 * std::log10(*m.d->ComputeThd() / 1.118034), 0.0, 0.1) << window;
    }
}

TEST(SpectralDataDistortion, ThdCountsHarmonicsToTheTopOfTheSpanButNoMoreThanForty)
{
    // f0 on bin 64: its 7th harmonic (bin 448), near the top of the span, counts.
    Measured top({{64, 1.0}, {448, 0.02}});
    ASSERT_TRUE(top.d->ComputeThd());
    EXPECT_NEAR(*top.d->ComputeThd(), 2.0f, 1e-2f);
    // f0 on bin 8: the 40th harmonic's search ends at bin 400, so a tone at bin 440 (the
    // 55th) is not distortion: no harmonic to read (N/A) or none worth naming.
    Measured low({{8, 1.0}, {440, 0.05}});
    const auto thd = low.d->ComputeThd();
    EXPECT_TRUE(!thd || *thd < 1e-2f) << (thd ? *thd : -1.0f);
}

TEST(SpectralDataDistortion, NothingToMeasureIsNotANumber)
{
    unsigned seed = 5;
    auto p = Processing(4000, 1024);
    const auto db = Scaling(1);
    TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    auto measure = [&](const std::vector<Tone>& tones, double noise) {
        auto d = std::make_unique<SpectralData>(&p, &db, false);
        FeedBlock(*d, w, tones, noise, &seed);
        d->Average(false);
        return d;
    };
    // A DC channel (was 294 % THD+N), silence and noise alone have no tone, and no two tones.
    const char* const names[] = {"DC", "silence", "noise"};
    int i = 0;
    for (const auto& d : {measure({{0.0, 0.1}}, 1e-5), measure({}, 0.0), measure({}, 0.01)}) {
        EXPECT_FALSE(d->ComputeThd()) << names[i];
        EXPECT_FALSE(d->ComputeThdN()) << names[i];
        EXPECT_FALSE(d->ComputeSnr()) << names[i];
        EXPECT_FALSE(d->ComputeSinad()) << names[i];
        EXPECT_FALSE(d->ComputeImd()) << names[i];
        ++i;
    }
    // Noise in 200-800 Hz only (was SINAD -11.37 dB): a peak of the noise band stands far above
    // the faint band around it, but no more than the noise beside it does. One block and two
    // averaged (where the noise's bins scatter most), on windows that leak little and much.
    for (DWORD blocks : {1, 2})
    for (WORD type : {TSmoothing::kHanning, TSmoothing::kBlackman, TSmoothing::kHamming, TSmoothing::kFlattop}) {
        auto bandNoise = Processing(4000, 1024, type);
        bandNoise.AverageBlocks = blocks;
        SpectralData d(&bandNoise, &db, false);
        const TSmoothing tw(1024, type, TSmoothing::kAmplitudeCorrection);
        unsigned state = 7;
        auto uniform = [&state] {
            state = state * 1664525u + 1013904223u;
            return (state >> 8) / 16777216.0;
        };
        for (int block = 0; block < 12; ++block) {
            std::vector<Tone> parts;
            for (int b = 52; b <= 204; ++b)
                parts.push_back({b + uniform() - 0.5, 0.01 * std::sqrt(-2.0 * std::log(1.0 - uniform())), 2 * M_PI * uniform()});
            FeedBlock(d, tw, parts, 1e-5, &seed);
            d.Average(false);
        }
        EXPECT_FALSE(d.ComputeThd()) << type << ", " << blocks;
        EXPECT_FALSE(d.ComputeThdN()) << type << ", " << blocks;
        EXPECT_FALSE(d.ComputeSnr()) << type << ", " << blocks;
        EXPECT_FALSE(d.ComputeSinad()) << type << ", " << blocks;
    }
    // A 1 kHz tone at 4000 samples/s: every harmonic lies past the band (was 0.000002 %), the
    // rest can be measured.
    const auto k = measure({{256.0, 0.5}}, 1e-4);
    EXPECT_FALSE(k->ComputeThd());
    EXPECT_TRUE(k->ComputeThdN());
    // Just inside the band the second harmonic is searched and read.
    const auto in = measure({{250.0, 0.5}, {500.0, 0.01}}, 0.0);
    ASSERT_TRUE(in->ComputeThd());
    EXPECT_NEAR(*in->ComputeThd(), 2.0f, 0.01f);
    // A fundamental below 1 Hz is DC.
    auto slow = Processing(100, 1024);
    SpectralData d(&slow, &db, false);
    FeedBlock(d, w, {{8, 1.0}, {16, 0.1}});
    d.Average(false);
    EXPECT_FALSE(d.ComputeThd());
    // An engine without buffers has nothing to measure either.
    auto broken = Processing(4000, 1000);
    SpectralData none(&broken, &db, false);
    EXPECT_FALSE(none.ComputeThdN());
}

TEST(SpectralDataDistortion, RangeVariantsMeasureBetweenTheirFrequencies)
{
    // 100 Hz-wide tones at bins 100 (1.0) and 300 (0.2, its third harmonic) and a 0.1 spur at 140;
    // a few blocks, so that the noise of the narrow range below is read (one block's, beating
    // with the tone's skirt, sits at the doubt allowed).
    const Averaged m(TSmoothing::kHanning, 1024, {{100, 1.0}, {140, 0.1}, {300, 0.2}}, 1e-6, 4);
    // Over the band: the harmonic at 300 is distortion, the spur at 140 noise.
    EXPECT_NEAR(*m.d->ComputeSnr(), 10 * std::log10(1.0 / 0.01), 0.1);
    EXPECT_NEAR(*m.d->ComputeSinad(), 10 * std::log10(1.0 / 0.05), 0.1);
    EXPECT_NEAR(*m.d->ComputeThd(), 20.0f, 0.1f);
    // From 1100 Hz on only the 0.2 tone is there: the measures see a clean tone.
    const auto snr = m.d->ComputeSnrInRange(1100.0f, 1900.0f);
    ASSERT_TRUE(snr);
    EXPECT_GT(*snr, 80.0f);
}

// The measures of one spectrum share one analysis of it; whatever changes the spectrum is read
// anew: a new block, or bins written through the buffer (as the filter response does).
TEST(SpectralDataDistortion, MeasuresFollowTheSpectrumAsItChanges)
{
    Averaged m(TSmoothing::kHanning, 1024, {{100, 0.5}, {200, 0.005}}, 1e-5, 4);
    TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    struct Step {
        const char* name;
        void (*change)(SpectralData&, const TSmoothing&);
        double thd; // per cent
    };
    const Step steps[] = {
        {"as fed", [](SpectralData&, const TSmoothing&) {}, 1.0},
        {"2nd harmonic's lobe written 100 times higher",
         [](SpectralData& d, const TSmoothing&) {
             for (int k = 197; k <= 203; ++k)
                 d.GetMagnitudeBuffer()[k] *= 100.0f;
         },
         10.0},
        {"a new block with a 3rd harmonic",
         [](SpectralData& d, const TSmoothing& win) {
             unsigned seed = 5;
             d.ResetAverages();
             for (int b = 0; b < 4; ++b) {
                 FeedBlock(d, win, {{100, 0.5, 0.7 * b}, {300, 0.01, 0.3 * b}}, 1e-5, &seed);
                 d.Average(false);
             }
         },
         2.0},
    };
    for (const Step& step : steps) {
        step.change(*m.d, w);
        const auto thd = m.d->ComputeThd();
        const auto thdN = m.d->ComputeThdN();
        const auto sinad = m.d->ComputeSinad();
        ASSERT_TRUE(thd && thdN && sinad) << step.name << (thd ? " thd" : "") << (thdN ? " thdN" : "") << (sinad ? " sinad" : "");
        EXPECT_NEAR(*thd, step.thd, 0.02 * step.thd) << step.name;
        EXPECT_NEAR(*thdN, step.thd, 0.02 * step.thd) << step.name;
        EXPECT_NEAR(*sinad, -20 * std::log10(step.thd / 100), 0.2) << step.name;
    }
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

TEST(SpectralDataDistortion, ImdReadsProductsOnlyWhereTheyStandOutOfTheToneSkirts)
{
    // A 4:1 pair whose low tone lies 6-9 bins from DC, with a DC offset, noise 96 dB down and
    // no products: beside the high tone the noise's beat with its skirt was read as products
    // (-90 dB). Products 50 dB under the high tone (f2 +- f1) read their power, with the low
    // tone seven bins from DC on windows whose lobe spans four (it was refused), and with it
    // three to five bins from DC, where its lobe meets DC's and its place is fitted (N/A before).
    // The triangular window, not quite symmetric, has the tones' beats with the products fitted
    // as a symmetric one (bounded, its slow skirts kept the products N/A).
    struct Pair {
        WORD window;
        double low;
        double product; // amplitude of f2 +- f1 each, 0 for none
    };
    const Pair pairs[] = {{TSmoothing::kHanning, 5.9733, 0.0}, {TSmoothing::kBlackman, 8.5814, 0.0},
                          {TSmoothing::kKaiser, 7.05, 3e-4},     {TSmoothing::kGaussian, 6.7, 3e-4},
                          {TSmoothing::kKaiser, 4.6, 3e-4},      {TSmoothing::kGaussian, 3.8, 3e-4},
                          {TSmoothing::kParzen, 3.7, 3e-4},      {TSmoothing::kFlattop, 4.2, 3e-4},
                          {TSmoothing::kGaussian, 4.5, 0.0},     {TSmoothing::kFlattop, 3.4, 0.0},
                          {TSmoothing::kTriangular, 7.05, 3e-4}, {TSmoothing::kTriangular, 13.5, 3e-4},
                          {TSmoothing::kTriangular, 20.3, 3e-4}};
    for (const Pair& p : pairs) {
        const double a1 = 0.39, a2 = a1 / 4, high = 682.6667;
        std::vector<Tone> tones = {{0.0, -0.0056}, {p.low, a1}, {high, a2}};
        if (p.product > 0.0)
            tones.insert(tones.end(), {{high - p.low, p.product}, {high + p.low, p.product}});
        const Averaged m(p.window, 8192, tones, a1 / std::sqrt(2.0) * std::pow(10.0, -96.4 / 20), 20);
        const auto imd = m.d->ComputeImd();
        if (p.product == 0.0) {
            EXPECT_FALSE(imd) << p.window << " " << p.low << ": " << (imd ? *imd : 0.0f) << " %";
            continue;
        }
        if (!imd) {
            ADD_FAILURE() << p.window << " " << p.low << ": N/A";
            continue;
        }
        const double truth = 100.0 * std::sqrt(2 * p.product * p.product / (a1 * a1 + a2 * a2));
        EXPECT_NEAR(20 * std::log10(*imd / truth), 0.0, 0.5) << p.window << " " << p.low;
    }
}

TEST(SpectralDataDistortion, ImdReadsTonesAndProductsBesideDc)
{
    // IMD is the products' power over the tones' (closed form: the parts fed in). A weaker
    // second tone three bins from DC, beside an offset, was never searched (N/A); a first tone
    // there, placed to a whole bin, left the fit no tone (N/A); a difference product eight bins
    // up was left out (3 dB low with the sum product as strong).
    struct Row {
        WORD window;
        std::vector<Tone> tones, products;
    };
    const Row rows[] = {
        {TSmoothing::kBlackman, {{500.4, 0.2}, {3.3, 0.05}}, {{497.1, 3e-4}, {503.7, 3e-4}}},
        {TSmoothing::kKaiser, {{3.45, 0.3}, {100.8, 0.075}}, {{97.35, 3e-4}, {104.25, 3e-4}}},
        {TSmoothing::kParzen, {{300.2, 0.2}, {307.9, 0.2}}, {{7.7, 3e-4}, {608.1, 3e-4}}},
    };
    for (const Row& r : rows) {
        std::vector<Tone> parts = {{0.0, -0.0056}};
        parts.insert(parts.end(), r.tones.begin(), r.tones.end());
        parts.insert(parts.end(), r.products.begin(), r.products.end());
        const Averaged m(r.window, 4096, parts, r.tones[0].amplitude / std::sqrt(2.0) * std::pow(10.0, -100.0 / 20), 16);
        double tones = 0.0, products = 0.0;
        for (const Tone& t : r.tones)
            tones += t.amplitude * t.amplitude;
        for (const Tone& t : r.products)
            products += t.amplitude * t.amplitude;
        const auto imd = m.d->ComputeImd();
        if (!imd) {
            ADD_FAILURE() << r.window << ": N/A";
            continue;
        }
        EXPECT_NEAR(20 * std::log10(*imd / (100.0 * std::sqrt(products / tones))), 0.0, 0.5) << r.window;
    }
}

TEST(SpectralDataDistortion, ImdReadsProductsWhoseLobesOverlap)
{
    // A low tone four bins up sets its products four bins apart, where their lobes share bins:
    // in one block their beat, left out of the fit, moved IMD by half a dB or left it N/A
    // (closed form: the parts fed in).
    for (WORD window : {TSmoothing::kHanning, TSmoothing::kBlackman, TSmoothing::kKaiser, TSmoothing::kParzen,
                        TSmoothing::kGaussian, TSmoothing::kFlattop}) {
        const std::vector<Tone> parts = {{4.13, 0.3}, {160.31, 0.075}, {156.18, 1e-3}, {152.05, 2e-3}};
        const Averaged m(window, 4096, parts, 0.3 / std::sqrt(2.0) * std::pow(10.0, -110.0 / 20), 1);
        const double truth = 100.0 * std::sqrt((1e-6 + 4e-6) / (0.09 + 0.075 * 0.075));
        const auto imd = m.d->ComputeImd();
        if (!imd) {
            ADD_FAILURE() << window << ": N/A";
            continue;
        }
        EXPECT_NEAR(20 * std::log10(*imd / truth), 0.0, 0.5) << window;
    }
}

TEST(SpectralDataDistortion, ImdReadsAProductUnderATonesSidelobeBesideItsMirrorImage)
{
    // A Hamming pair on exact multiples (f2 = 18 f1), a running signal cut into blocks at 75 %
    // overlap and averaged over 37: the sum product 3 bins above the strong tone, 2-5 dB under
    // its first sidelobe, beats with that tone's mirror image at almost one phase in every block
    // (their phases advance by 28.01 turns a block) while the direct beat averages away. Left
    // out, that beat was read as product power, 0.6-0.9 dB high (closed form: the parts fed in).
    const DWORD n = 1024;
    const int blocks = 37;
    const double low = 3.0280893, high = 18 * low, a1 = 0.1147, a2 = 0.0268, second = 1.25e-4;
    for (double product : {4.7e-4, 6.6e-4}) {
        auto p = Processing(32000, n, TSmoothing::kHamming);
        p.AverageBlocks = blocks;
        const auto s = Scaling(0);
        SpectralData d(&p, &s, false);
        const TSmoothing w(n, TSmoothing::kHamming, TSmoothing::kAmplitudeCorrection);
        const std::vector<Tone> lines = {{high, a1, 5.748}, {low, a2, 0.687}, {high + low, product, 3.657},
                                         {2 * high + 2 * low, second, 5.852}};
        const std::size_t hop = n / 4;
        for (int b = 0; b <= blocks; ++b) {
            std::vector<Tone> at = lines;
            for (Tone& t : at)
                t.phase += 2.0 * M_PI * t.bin * static_cast<double>(hop * static_cast<std::size_t>(b)) / n;
            at.push_back({0.0, 0.0066});
            FeedBlock(d, w, at);
            d.Average(false);
        }
        const double truth = 100.0 * std::sqrt((product * product + second * second) / (a1 * a1 + a2 * a2));
        const auto imd = d.ComputeImd();
        if (!imd) {
            ADD_FAILURE() << product << ": N/A";
            continue;
        }
        EXPECT_NEAR(20 * std::log10(*imd / truth), 0.0, 0.3) << product;
    }
}

TEST(SpectralDataLevelMeasures, ParzenAndKaiserReadTrueSineAndNoiseLevels)
{
    // A 0.5-full-scale sine on a bin reads -6.02 dB through an amplitude-corrected window.
    // White noise of rms 0.1 full scale, averaged over 16 blocks of 4096, reads -20 dB rms
    // (RMS-labelled calibration of ratio 1): as the overall level of the amplitude-corrected
    // narrowband spectrum (which carries the noise-bandwidth factor), and as the power density
    // of the energy-corrected spectrum summed over the bins' widths. The power of one windowed
    // block has a relative spread of sqrt(2 sum w^4)/sum w^2, 3.6 % (Parzen) and 3.9 % (Kaiser) at N = 4096; over 16
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
        EXPECT_NEAR(dense.GetOverallLevel(), -20.0, 0.15) << "type " << type;
    }
}

// The overall level of a density spectrum is the noise's total power whatever the FFT size:
// the density bins were summed without their width (-25.98 dB for -20 dB at 1024 points).
TEST(SpectralDataLevelMeasures, DensityOverallLevelIsTheTotalPowerAtEverySize)
{
    for (DWORD fft : {256u, 1024u, 4096u}) {
        auto p = Processing(4000, fft);
        p.AverageBlocks = 32;
        auto density = Scaling(1);
        density.SpectralDensityFlag = 1;
        const auto rms = Calibration(kUnitCustom, 1.0f, 1);
        SpectralData d(&p, &density, false);
        d.SetScaling(&rms);
        TSmoothing energy(fft, TSmoothing::kHanning, TSmoothing::kEnergyCorrection);
        unsigned seed = 21;
        for (int b = 0; b < 32; ++b) {
            FeedBlock(d, energy, {}, 0.1, &seed);
            d.Average(false);
        }
        // Summed from the bin of the low frequency on: two bins' share of white noise left out.
        const double kept = 10 * std::log10(1.0 - 2.0 / (fft / 2));
        EXPECT_NEAR(d.GetOverallLevel(), -20.0 + kept, 0.2) << fft;
        EXPECT_NEAR(d.TotalLevel(d.GetFirstBin(), d.GetLastBin(), 1, -1), -20.0 + kept, 0.2) << fft;
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

TEST(SpectralDataDistortion, ImdOfLeakyWindowsReadsProductsTheAverageThinsTheBeatsOf)
{
    // An equal pair with its three strongest products 40 dB down, 20 blocks averaged, noise
    // 100 dB down. Through the leaky windows the products sit on the tones' skirts and beat
    // with them: the blocks' phases at both tones tell how little of those beats the average
    // keeps (a CCIF pair's tones take turns as the strongest; Force read N/A). The uniform
    // window's beats of the second tone are the first tone's: fitted apart they left the fit
    // near singular, and with the products 256.5 bins apart it read N/A.
    struct Row {
        WORD window;
        double first, gap;
    };
    const Row rows[] = {{TSmoothing::kForce, 1500.37, 61.3}, {TSmoothing::kForce, 911.81, 61.3},
                        {TSmoothing::kUniform, 1500.37, 61.3}, {TSmoothing::kUniform, 365.47, 256.5}};
    for (const Row& r : rows) {
        const double a = 0.3, gap = r.gap, product = 3e-3;
        const double f1 = r.first, f2 = r.first + gap;
        const std::vector<Tone> tones = {{f1, a}, {f2, a}, {gap, product}, {2 * f1 - f2, product}, {2 * f2 - f1, product}};
        const Averaged m(r.window, 8192, tones, a / std::sqrt(2.0) * std::pow(10.0, -100.0 / 20), 20);
        const auto imd = m.d->ComputeImd();
        if (!imd) {
            ADD_FAILURE() << r.window << " " << r.first << ": N/A";
            continue;
        }
        const double truth = 100.0 * std::sqrt(3 * product * product / (2 * a * a));
        EXPECT_NEAR(20 * std::log10(*imd / truth), 0.0, 0.5) << r.window << " " << r.first;
    }
}

TEST(SpectralDataDistortion, ImdOfOneForceBlockReadsNoProductsInTheSkirts)
{
    // One force block of a CCIF pair 155 bins apart without products, noise 103 dB down. Where no
    // offset stands out, the offset's beats with the tones, fitted free, took up what the tones'
    // skirts left unmodelled at the products' places, and the products with them (IMD -50 dB for
    // none). At every phase of the pair: N/A.
    ChannelProcessingSettings p = Processing(53799, 32768, TSmoothing::kForce, 3);
    ChannelScalingSettings s = Scaling(1);
    const TSmoothing w(32768, TSmoothing::kForce, TSmoothing::kAmplitudeCorrection);
    for (double phase : {0.0, 1.0, 2.0, 3.0}) {
        SpectralData d(&p, &s, false);
        unsigned seed = 7;
        FeedBlock(d, w, {{14316.2403, 0.2427, phase}, {14471.6683, 0.2427, 2.0 * phase}}, 7.4e-6 * 0.2427, &seed);
        d.Average(false);
        const auto imd = d.ComputeImd();
        EXPECT_FALSE(imd) << "phase " << phase << ": " << (imd ? *imd : 0.0f) << " %";
    }
}

TEST(SpectralDataDistortion, ThdReadsNoHarmonicsInASecondTonesSkirt)
{
    // A 60 Hz + 1 kHz pair with its products and no harmonics: the 1 kHz tone's skirt over the
    // 60 Hz tone's 16th and 17th harmonic places is no harmonic (it read THD 0.003 % on Hann, and
    // 1.5 % through a Bartlett window's skirt). THD+N counts all of it: 25 % from the parts fed in.
    const double bin = 4000.0 / 1024;
    const std::vector<Tone> tones = {{60 / bin, 0.4}, {1000 / bin, 0.1}, {940 / bin, 2e-5}, {1060 / bin, 1e-5}};
    const double rest = 0.1 * 0.1 + 2e-5 * 2e-5 + 1e-5 * 1e-5;
    for (WORD window : {TSmoothing::kHanning, TSmoothing::kBartlett, TSmoothing::kHamming, TSmoothing::kUniform})
        for (int blocks : {3, 30}) {
            const Averaged m(window, 1024, tones, 1e-6, blocks);
            const auto thd = m.d->ComputeThd();
            EXPECT_FALSE(thd) << window << " " << blocks << ": " << (thd ? *thd : 0.0f) << " %";
            // The uniform window's skirt over the whole band leaves its THD+N less sure.
            if (window == TSmoothing::kUniform)
                continue;
            const auto thdN = m.d->ComputeThdN();
            ASSERT_TRUE(thdN) << window << " " << blocks;
            EXPECT_NEAR(*thdN, 100.0 * std::sqrt(rest) / 0.4, 0.01) << window << " " << blocks;
        }
}
