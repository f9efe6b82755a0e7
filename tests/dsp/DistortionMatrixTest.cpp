// Distortion readings that must be numbers where a leaky window's model is put to the test: a
// harmonic fitted against the fundamental's leakage, a nearly symmetric window. The signals are
// running ones of known make-up (a tone, its 2nd and 3rd harmonics, white Gaussian noise) read
// the way a run reads them: blocks cut from one long signal, windowed and averaged. Readings on
// signals drawn from every setting are checked against their definitions by the sweep
// (DistortionSweepTest.cpp).
#include "dsp/SpectralData.h"

#include "DistortionSweepSupport.h"
#include "SpectralTestSupport.h"
#include "support/Sanitized.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace spectral_test;

namespace {

// Gaussian noise from a seed, the same on every build. The seed is mixed first: seeds next to
// each other would otherwise give the same sequence a step apart.
sweep::Rng Gauss(std::uint64_t seed)
{
    sweep::Rng mix(seed);
    return sweep::Rng(static_cast<std::uint64_t>(mix.Uniform() * 9007199254740992.0) * 0x9E3779B97F4A7C15ull);
}

struct Road {
    const char* name;
    WORD type;       // 0 exponential, 1 linear
    DWORD blocks;    // averaged
    int hopTenths;   // the step between blocks in tenths of a block (1: 90 % overlap)
    int fed;         // blocks fed before reading
};

// One channel's engine: its settings (averaged as `road` says, when given), its spectrum and its
// window, built where they stay (the spectrum keeps pointers to the settings).
struct Channel {
    Channel(DWORD rate, DWORD fft, WORD window, const Road* road = nullptr)
        : p(Processing(rate, fft, window, 3)), s(Scaling(1)), w(fft, window, TSmoothing::kAmplitudeCorrection)
    {
        if (road != nullptr) {
            p.AverageType = road->type;
            p.AverageBlocks = road->blocks;
        }
        d = std::make_unique<SpectralData>(&p, &s, false);
    }
    ChannelProcessingSettings p;
    ChannelScalingSettings s;
    TSmoothing w;
    std::unique_ptr<SpectralData> d;
};

// Feeds `road.fed` blocks of one running signal through the engine, its averages reset first.
void RunSignal(SpectralData& d, const TSmoothing& w, double rate, const Road& road, double f0, double amplitude,
               double h2, double h3, double noiseRms, std::uint64_t seed, double dc = 0.0)
{
    const DWORD n = static_cast<DWORD>(d.GetFftSize());
    d.ResetAverages();
    const std::size_t hop = n * static_cast<std::size_t>(road.hopTenths) / 10;
    const std::size_t length = n + hop * static_cast<std::size_t>(road.fed - 1);
    std::vector<float> x(length);
    sweep::Rng g = Gauss(seed);
    const double fs = d.GetFullScale();
    const double phase = 0.37 * static_cast<double>(seed);
    for (std::size_t i = 0; i < length; ++i) {
        const double t = 2.0 * M_PI * f0 * static_cast<double>(i) / rate;
        double v = dc + amplitude * std::cos(t + phase);
        if (h2 > 0.0)
            v += amplitude * (h2 * std::cos(2 * t + 1.1 * phase + 0.4) + h3 * std::cos(3 * t + 0.3 * phase + 1.9));
        v += noiseRms * g.Gauss();
        x[i] = static_cast<float>(v * fs);
    }
    for (int b = 0; b < road.fed; ++b) {
        for (DWORD i = 0; i < n; ++i)
            d.SetTimeSample(i, x[static_cast<std::size_t>(b) * hop + i]);
        w.Apply(d.GetFrame());
        d.ComputeSpectrum();
        d.Average(false);
    }
}

} // namespace

// Harmonics that stand clear of the window's leakage and the noise read numbers, for several
// noise seeds and harmonic phases, and whatever is shown is its definition within 1 dB. A
// Hamming window with the tone 0.45 bins off and a 2nd harmonic 15 dB above the leakage 200
// bins away reads THD: what harmonic and leakage add or cancel by is fitted over the lobe.
// A flat-top (laid out as one period, symmetric about N/2) between bins at 4000 S/s reads THD
// the same way. Bartlett harmonics lying under the fundamental's leakage read their power or
// N/A at every phase: where harmonic and leakage cancel, the bins beside the harmonic say
// nothing of it (read 1.5 dB low), and the fit needs the fundamental's kernel at the
// fundamental's place (read 1.9 dB high at 48 kHz). A pure tone through Hann 100 dB above the
// noise reads its SNR. Where the noise lies 30 dB under the leakage in every bin, or the leakage
// beats with the noise in the harmonics' bins by more than the noise itself, the noise
// measures may read N/A.
TEST(SpectralDataDistortion, ClearHarmonicsReadNumbersOnLeakyWindows)
{
    enum : unsigned { kThd = 1, kThdN = 2, kSnr = 4, kSinad = 8 };
    struct Case {
        const char* name;
        DWORD rate, fft;
        WORD window;
        double bin;        // the tone's place in bins
        double h2, h3;     // harmonics, relative to the tone
        double noiseDb;    // below the tone
        unsigned required; // the measures that must read a number
    };
    const Case cases[] = {
        {"Hamming 0.45 bins off", 48000, 4096, TSmoothing::kHamming, 200.45, 1e-3, 0.0, 90.0, kThd},
        {"flat-top between bins", 4000, 1024, TSmoothing::kFlattop, 25.5, 1e-3, 5e-4, 80.0, kThd},
        {"Bartlett, harmonics under the leakage", 4000, 4096, TSmoothing::kBartlett, 52.7 * 4096 / 4000, 1e-4, 5e-5,
         100.0, 0},
        {"Bartlett at 48 kHz", 48000, 1024, TSmoothing::kBartlett, 999.0 * 1024 / 48000, 1e-3, 5e-4, 80.0, 0},
        {"Hann pure tone", 48000, 1024, TSmoothing::kHanning, 21.33, 0.0, 0.0, 100.0, kSnr},
    };
    // Blocks at 90 % overlap, each spectrum read as it stands (no averaging): the noise beats
    // with the leakage most there.
    const Road road{"one block, 90 %", 0, 1, 1, 12};
    const double A = 0.5, tone = A * A / 2;
    for (const Case& c : cases) {
        const Channel ch(c.rate, c.fft, c.window);
        const auto& d = ch.d;
        const TSmoothing& w = ch.w;
        const double f0 = c.bin * c.rate / c.fft;
        const double harm = (c.h2 * c.h2 + c.h3 * c.h3) * tone;
        const double noise = tone * std::pow(10.0, -c.noiseDb / 10);
        const double thdN = 10 * std::log10((harm + noise) / tone);
        for (std::uint64_t seed : {1, 2, 3, 22, 32}) {
            RunSignal(*d, w, c.rate, road, f0, A, c.h2, c.h3, std::sqrt(noise), seed);
            const auto db20 = [](float pc) { return 20 * std::log10(pc / 100.0); };
            struct Read {
                const char* name;
                std::optional<float> v;
                double truthDb; // NaN: no distortion, N/A
                unsigned bit;
            } reads[] = {
                {"THD", d->ComputeThd(), harm > 0 ? 10 * std::log10(harm / tone) : NAN, kThd},
                {"THD+N", d->ComputeThdN(), thdN, kThdN},
                {"SNR", d->ComputeSnr(), 10 * std::log10(tone / noise), kSnr},
                {"SINAD", d->ComputeSinad(), -thdN, kSinad},
            };
            for (const Read& r : reads) {
                if (!r.v) {
                    EXPECT_FALSE(c.required & r.bit) << c.name << " seed " << seed << " " << r.name << ": N/A";
                    continue;
                }
                const double got = r.name[0] == 'T' ? db20(*r.v) : *r.v;
                EXPECT_FALSE(std::isnan(r.truthDb)) << c.name << " seed " << seed << " " << r.name << ": " << got;
                EXPECT_NEAR(got, r.truthDb, 1.0) << c.name << " seed " << seed << " " << r.name;
            }
        }
    }
}

// A tone a few bins above DC, its lobe meeting the offset's and its harmonics' lobes each
// other's, reads every measure within half a decibel on the windows with wide lobes, once the
// average has settled (a 2nd harmonic half under the fundamental's lobe may be N/A: here it is
// nearly nothing). A uniform window's harmonics half a bin off read their whole power, not the
// 85 % their lobes hold (THD read 0.6 dB low); so do the force window's (91 %) and the
// exponential's (88 %), and their clear harmonics read a number.
TEST(SpectralDataDistortion, ATonesFewBinsAboveDcAndLeakyHarmonicsReadTheirDefinitions)
{
    struct Case {
        const char* name;
        DWORD rate, fft;
        WORD window;
        double bin, h2, h3, dc;
    };
    const Case cases[] = {
        {"Kaiser 4.7 bins up, an offset", 44100, 4096, TSmoothing::kKaiser, 4.72, 1e-6, 3e-2, -0.012},
        {"Blackman 4.6 bins up, an offset", 22050, 1024, TSmoothing::kBlackman, 4.63, 1e-6, 1e-2, 0.008},
        {"Parzen 5 bins up, an offset", 44100, 4096, TSmoothing::kParzen, 5.0, 1e-2, 1e-3, 0.018},
        {"uniform, harmonics half a bin off", 48000, 4096, TSmoothing::kUniform, 100.25, 3e-2, 2e-2, 0.0},
        {"force, on a bin", 48000, 4096, TSmoothing::kForce, 497.0, 3e-2, 0.0, 0.0},
        {"force, harmonics half a bin off", 44100, 8192, TSmoothing::kForce, 300.25, 3e-2, 1e-2, 0.0},
        {"exponential, between bins", 48000, 8192, TSmoothing::kExponential, 1500.3, 3e-2, 0.0, 0.0},
        // The 3rd harmonic stands 22 dB over the leakage of the tone and its mirror image, whose
        // beats with it the blocks' turning phases thin out (bounded as if they never turned,
        // THD read N/A).
        {"exponential, the leakage's beats turning", 10800, 16384, TSmoothing::kExponential, 436.08, 1e-6, 2.2e-2,
         0.0},
        {"exponential, and an offset's", 10800, 16384, TSmoothing::kExponential, 436.08, 1e-6, 2.2e-2, 0.018},
        // The leakage covers every bin: what is left of it may sum to less than nothing, and
        // the tone was taken for none.
        {"exponential, nothing but leakage beside", 96000, 16384, TSmoothing::kExponential, 266.29, 1e-6, 1.2e-2, 0.0},
    };
    const auto leaky = [](WORD window) {
        return window == TSmoothing::kUniform || window == TSmoothing::kForce || window == TSmoothing::kExponential;
    };
    const Road road{"linear 16, apart", 1, 16, 10, 16};
    const double A = 0.5, tone = A * A / 2, noise = tone * 1e-9;
    for (const Case& c : cases) {
        const Channel ch(c.rate, c.fft, c.window, &road);
        const double harm = (c.h2 * c.h2 + c.h3 * c.h3) * tone;
        const double thd = 10 * std::log10(harm / tone), thdN = 10 * std::log10((harm + noise) / tone);
        for (std::uint64_t seed : {4, 5, 6}) {
            // The sanitizers' slow transforms read the large ones once.
            if (kSanitized && seed > 4 && c.fft >= 16384)
                continue;
            RunSignal(*ch.d, ch.w, c.rate, road, c.bin * c.rate / c.fft, A, c.h2, c.h3, std::sqrt(noise), seed, c.dc);
            const std::optional<float> reads[] = {ch.d->ComputeThd(), ch.d->ComputeThdN(), ch.d->ComputeSnr()};
            const double truth[] = {thd, thdN, 90.0};
            // The leaky windows' leakage covers the noise: there only THD is asked for.
            for (int m = 0; m < (leaky(c.window) ? 1 : 3); ++m) {
                ASSERT_TRUE(reads[m].has_value()) << c.name << " seed " << seed << " measure " << m;
                const double got = m < 2 ? 20 * std::log10(*reads[m] / 100.0) : *reads[m];
                EXPECT_NEAR(got, truth[m], m < 2 ? 0.25 : 0.5) << c.name << " seed " << seed << " measure " << m;
            }
        }
    }
}

// A tone whose peak lies within DC's lobe (3-4 bins up on windows three or four bins wide) is
// fitted together with the offset, their beat and the tone's beat with its image (the
// flat-top's lone first sample shows far out as a beat the kernel's real part misses): SNR
// reads within half a decibel, with an offset or without (N/A when such a tone was refused,
// as its lobe reaches DC itself).
TEST(SpectralDataDistortion, ToneInsideDcsLobeReadsWithTheOffset)
{
    struct Case {
        const char* name;
        DWORD rate, fft;
        WORD window;
        double bin, dc;
    };
    const Case cases[] = {
        {"Kaiser 3.4 bins up, an offset", 48000, 4096, TSmoothing::kKaiser, 3.4, 0.01},
        {"Parzen on bin 4", 16000, 1024, TSmoothing::kParzen, 4.0, 0.0},
        {"Blackman 3.1 bins up, an offset", 44100, 1024, TSmoothing::kBlackman, 3.1, 0.005},
        {"flat-top on bin 4, an offset", 88200, 1024, TSmoothing::kFlattop, 4.0, 0.002},
        {"Gaussian 3.6 bins up", 22050, 2048, TSmoothing::kGaussian, 3.6, 0.0},
    };
    const Road road{"linear 16, apart", 1, 16, 10, 16};
    const double A = 0.5, noiseDb = 90.0, noise = A * A / 2 * std::pow(10.0, -noiseDb / 10);
    for (const Case& c : cases) {
        const Channel ch(c.rate, c.fft, c.window, &road);
        for (std::uint64_t seed : {4, 5}) {
            RunSignal(*ch.d, ch.w, c.rate, road, c.bin * c.rate / c.fft, A, 0.0, 0.0, std::sqrt(noise), seed, c.dc);
            const std::optional<float> snr = ch.d->ComputeSnr();
            ASSERT_TRUE(snr.has_value()) << c.name << " seed " << seed;
            EXPECT_NEAR(*snr, noiseDb, 0.5) << c.name << " seed " << seed;
        }
    }
}

// The triangular window rises to its top a sample late: not quite symmetric, its leakage has a
// part out of phase with the kernel that the harmonics' beat with the leakage is fitted to.
// Bounded as such, harmonics 40 dB under the tone and far above the noise read THD+N and
// SINAD (they read N/A when the window was taken for one without any symmetry).
TEST(SpectralDataDistortion, NearlySymmetricWindowReadsDistortionAndNoise)
{
    const Road road{"exponential 3, 90 %", 0, 3, 1, 12};
    const double A = 0.5, tone = A * A / 2, h = 1e-2, harm = 1.25 * h * h * tone;
    const Channel ch(48000, 1024, TSmoothing::kTriangular, &road);
    const auto& d = ch.d;
    const TSmoothing& w = ch.w;
    for (const auto& [f0, first] : {std::pair{999.0, 1}, std::pair{1234.5, 2}}) {
        for (double noiseDb : {100.0, 120.0}) {
            const double noise = tone * std::pow(10.0, -noiseDb / 10);
            const double thdN = 10 * std::log10((harm + noise) / tone);
            for (std::uint64_t seed = first; seed < 4000; seed += 1000) {
                RunSignal(*d, w, 48000, road, f0, A, h, h / 2, std::sqrt(noise), seed);
                const auto measured = d->ComputeThdN();
                const auto sinad = d->ComputeSinad();
                const std::string where = std::to_string(f0) + " Hz, noise " + std::to_string(noiseDb) + " dB, seed " +
                                          std::to_string(seed);
                ASSERT_TRUE(measured && sinad) << where;
                EXPECT_NEAR(20 * std::log10(*measured / 100), thdN, 1.0) << where;
                EXPECT_NEAR(*sinad, -thdN, 1.0) << where;
            }
        }
    }
}

// Runs a plain tone at each of `bins` with each offset and noise level and seed: wherever SNR
// reads, THD+N and SINAD read too, each within 1 dB of the noise. Returns the reads SNR showed.
int ExpectDistortionAndNoiseWhereSnrReads(const Channel& ch, const Road& road, double rate, double A,
                                          std::initializer_list<double> bins, std::initializer_list<double> dcs,
                                          std::initializer_list<double> noiseDbs,
                                          std::initializer_list<std::uint64_t> seeds)
{
    const double tone = A * A / 2;
    const double n = static_cast<double>(ch.d->GetFftSize());
    int snrShown = 0;
    for (double bin : bins)
        for (double dc : dcs)
            for (double noiseDb : noiseDbs)
                for (std::uint64_t seed : seeds) {
                    const double noise = tone * std::pow(10.0, -noiseDb / 10);
                    RunSignal(*ch.d, ch.w, rate, road, bin * rate / n, A, 0.0, 0.0, std::sqrt(noise), seed, dc);
                    const auto snr = ch.d->ComputeSnr();
                    if (!snr)
                        continue;
                    ++snrShown;
                    const std::string where = std::to_string(bin) + " bins, DC " + std::to_string(dc) + ", noise " +
                                              std::to_string(noiseDb) + " dB, seed " + std::to_string(seed);
                    const auto thdN = ch.d->ComputeThdN();
                    const auto sinad = ch.d->ComputeSinad();
                    EXPECT_TRUE(thdN && sinad) << where << ": SNR " << *snr;
                    if (!thdN || !sinad)
                        continue;
                    EXPECT_NEAR(20 * std::log10(*thdN / 100), -noiseDb, 1.0) << where;
                    EXPECT_NEAR(*sinad, noiseDb, 1.0) << where;
                }
    return snrShown;
}

// A tone some ten bins up through the triangular window, no harmonics, the noise 40-45 dB
// down: the tone's beat with its own mirror image is fitted over the band though the window's
// slight asymmetry shows only one part of it clearly (at 9.5 bins THD+N and SINAD read N/A when
// the faint part was left free to run past what a beat can be, and the whole beat went
// unfitted).
// A DC offset of 5-7 % beside a tone some 90 bins up through the Bartlett window, two blocks
// averaged: the offset's skirt falls slowly, and where it meets the tone's leakage the two add
// or cancel by the tone's phase, a tenth of the leakage and more at the 2nd harmonic's place.
// Fitted with the tone, that beat leaves THD+N and SINAD readable (only bounded, they read N/A
// in half the reads).
// Far from DC the same windows' skirts fall only as the square of the distance, and the tone's
// beat with its mirror image is a fifth of its leakage at the 2nd harmonic: how well the fit
// tells it is read from how the bins beside the tone scatter (Bartlett, a tone on a bin, a small
// offset: N/A in three reads of eight); the triangular tone's fit must not take the noise's high
// bins for other tones where the beat is small (the rest then followed the floor read low
// there: the beat went unfitted, N/A in every read), and an offset's beat is fitted
// with the tone even where the tone's alone does not hold (N/A in five reads of six).
TEST(SpectralDataDistortion, ToneNearDcOrBesideAnOffsetReadsDistortionAndNoiseWhereSnrReads)
{
    const Road triangularRoad{"linear 18, 80 %", 1, 18, 2, 24};
    const Channel triangular(11025, 1024, TSmoothing::kTriangular, &triangularRoad);
    EXPECT_GE(ExpectDistortionAndNoiseWhereSnrReads(triangular, triangularRoad, 11025, 0.3, {9.5, 11.5, 13.25}, {0.0},
                                                    {40.0, 45.0}, {5, 6, 7}),
              12);
    const Road bartlettRoad{"exponential 2, 80 %", 0, 2, 2, 3};
    const Channel bartlett(44100, 8192, TSmoothing::kBartlett, &bartlettRoad);
    EXPECT_GE(ExpectDistortionAndNoiseWhereSnrReads(bartlett, bartlettRoad, 44100, 0.5, {86.18, 91.7}, {0.05, -0.07},
                                                    {84.0}, {1, 2, 3, 4, 5}),
              16);
    const Road onBinRoad{"exponential 6, 50 %", 0, 6, 5, 12};
    const Channel onBin(16000, 2048, TSmoothing::kBartlett, &onBinRoad);
    EXPECT_EQ(ExpectDistortionAndNoiseWhereSnrReads(onBin, onBinRoad, 16000, 0.235, {63.0, 71.0}, {0.0028, -0.003},
                                                    {83.0}, {1, 2}),
              8);
    const Road farRoad{"linear 2", 1, 2, 10, 13};
    const Channel far(76000, 16384, TSmoothing::kTriangular, &farRoad);
    EXPECT_EQ(ExpectDistortionAndNoiseWhereSnrReads(far, farRoad, 76000, 0.6, {80.83}, {0.0}, {87.0}, {1, 3, 4}), 3);
    const Road offsetRoad{"exponential 15, 50 %", 0, 15, 5, 22};
    const Channel offset(96000, 4096, TSmoothing::kTriangular, &offsetRoad);
    EXPECT_EQ(ExpectDistortionAndNoiseWhereSnrReads(offset, offsetRoad, 96000, 0.375, {51.0, 60.0}, {-0.0172}, {77.0},
                                                    {1, 3, 5}),
              6);
}

// A tone four or five bins up through the triangular window with harmonics 40-45 dB down: the
// tone's beat with its mirror image is large over the harmonics' lobes, and where the bins say
// little of it, what is known beforehand holds it near nothing, as uncertain as that leaves it
// (taken as good to a tenth there, THD+N read 1.2 dB high). Every reading shown is within 1 dB.
TEST(SpectralDataDistortion, TriangularToneNearDcWithHarmonicsReadsItsDefinitionOrNothing)
{
    const Road road{"exponential 3, 80 %", 0, 3, 2, 34};
    const double A = 0.475, tone = A * A / 2, h2 = 0.006, h3 = 0.0095;
    const Channel ch(22050, 1024, TSmoothing::kTriangular, &road);
    const auto& d = ch.d;
    const double noise = tone * std::pow(10.0, -42.8 / 10);
    const double thdN = 10 * std::log10((tone * (h2 * h2 + h3 * h3) + noise) / tone);
    for (double bin : {3.6, 4.6}) {
        for (std::uint64_t seed = 1; seed <= 12; ++seed) {
            RunSignal(*d, ch.w, 22050, road, bin * 22050 / 1024, A, h2, h3, std::sqrt(noise), seed);
            const std::string where = std::to_string(bin) + " bins, seed " + std::to_string(seed);
            if (const auto measured = d->ComputeThdN())
                EXPECT_NEAR(20 * std::log10(*measured / 100), thdN, 1.0) << where;
            if (const auto sinad = d->ComputeSinad())
                EXPECT_NEAR(*sinad, -thdN, 1.0) << where;
        }
    }
}

// A force tone on a bin leaks only into the bins at odd distances, and so do its harmonics: a
// tenth of each harmonic's power lies past its lobe, in bins the noise is not read from. That
// skirt is distortion all the same (left out, THD+N read 0.4 dB low where THD was right).
TEST(SpectralDataDistortion, ForceHarmonicsSkirtsCountInDistortionAndNoise)
{
    const Road road{"linear 16, apart", 1, 16, 10, 16};
    const double A = 0.5, tone = A * A / 2, h2 = 3e-2, h3 = 1e-2, noise = tone * 1e-6;
    const double thdN = 10 * std::log10(((h2 * h2 + h3 * h3) * tone + noise) / tone);
    for (DWORD fft : {4096u, 16384u}) {
        const Channel ch(8000, fft, TSmoothing::kForce, &road);
        RunSignal(*ch.d, ch.w, 8000, road, 300.0 * 8000 / fft, A, h2, h3, std::sqrt(noise), 4, 0.0);
        const std::optional<float> got = ch.d->ComputeThdN();
        ASSERT_TRUE(got.has_value()) << fft;
        EXPECT_NEAR(20 * std::log10(*got / 100.0), thdN, 0.15) << fft;
    }
}
