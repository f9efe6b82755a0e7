// THD, THD+N, SNR, SINAD and IMD on cases drawn at random from every setting a user can make:
// the twelve windows, FFT sizes 1024-65536, rates 4000-96000 S/s, exponential and linear
// averaging over 1-64 blocks read early or late in the run, the tone on or between bins, a DC
// offset, harmonics, noise 40-130 dB down or only the 24-bit rounding of a generated file, and
// two-tone pairs (SMPTE/DIN 4:1, CCIF close pairs, random pairs, exact multiples among them).
// Each case runs as a run does: blocks cut from one long signal, windowed and averaged. The
// truth comes from the signal's known parts alone: THD the harmonics in the analysed band over
// the fundamental (IEEE Std 1241); THD+N and SINAD everything but the tone in the band, SNR the
// tone over the noise there (DC and the bins below the low frequency left out; the noise as the
// blocks averaged hold it, not as it holds on average); IMD the nine
// products over the two tones, a product on DC, on a tone or within 1.5 bins of another part
// not counted. A reading shown must be its definition; N/A is counted where the quantity stands
// clear of the window's leakage (computed from the window's own coefficients) and the noise.
//
// DURNEX_SWEEP_SEED replays a run (the seed is printed; by default it changes with the clock),
// DURNEX_SWEEP_CASES sets the count, DURNEX_SWEEP_CASE runs one case of the seed and shows it
// whole, DURNEX_SWEEP_SLICE=k/J runs every J-th case from k, DURNEX_SWEEP_OUT names a file that
// receives every reading (tools/distortion-sweep.sh gathers those).
#include "dsp/SpectralData.h"

#include "DistortionSweepSupport.h"
#include "SpectralTestSupport.h"
#include "support/Sanitized.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using namespace spectral_test;
using sweep::Rng;
using sweep::WindowLeakage;

namespace {

enum Measure { kThd, kThdN, kSnr, kSinad, kImd, kMeasures };
const char* const kMeasureName[kMeasures] = {"THD", "THD+N", "SNR", "SINAD", "IMD"};
const char* const kWindowName[TSmoothing::kTypeCount] = {"Bartlett", "Blackman", "Exponential", "Flattop",
                                                         "Force",    "Hamming",  "Hanning",     "Kaiser",
                                                         "Parzen",   "Triangular", "Uniform",   "Gaussian"};

// The shares of N/A a window may read where the quantity stands clear: the windows made for
// steady tones hold to 2 %, the rest (leakier or made for transients) to 10 %.
double NaCeiling(WORD window)
{
    switch (window) {
    case TSmoothing::kHanning:
    case TSmoothing::kBlackman:
    case TSmoothing::kKaiser:
    case TSmoothing::kParzen:
    case TSmoothing::kGaussian:
    case TSmoothing::kFlattop:
        return 0.02;
    default:
        return 0.10;
    }
}

bool Steady(WORD window)
{
    return window == TSmoothing::kHanning || window == TSmoothing::kBlackman || window == TSmoothing::kKaiser;
}

constexpr unsigned Windows(std::initializer_list<WORD> ws)
{
    unsigned mask = 0;
    for (WORD w : ws)
        mask |= 1u << w;
    return mask;
}
constexpr unsigned kEveryWindow = (1u << TSmoothing::kTypeCount) - 1;

// NOT YET MET: the classes of readings that still break the bounds above. Each is held to a
// ceiling above the most that 100,000 cases showed in runs of the size this test runs (the
// sanitizers' runs keep only the small transforms, which show more of them; THD+N and SINAD go
// N/A or wrong in pairs, so their counts scatter twice as wide), so that none grows while it
// is worked on;
// a reading in an open class is counted there instead of failing the run, and the run prints
// each class's count against the bound it must reach (0). Readings outside these classes
// keep every bound; a reading off by more than 1 dB turns up on every window now and then, so
// those classes take every window.
enum OpenKind { kOff, kMissing }; // more than 1 dB off (or shown where N/A); THD+N/SINAD N/A where SNR reads
struct OpenClass {
    const char* what;
    OpenKind kind;
    unsigned measures; // 1 << Measure
    unsigned windows;  // 1 << window type
    double perThousand; // ceiling per 1,000 cases run
};
using T = TSmoothing;
const OpenClass kOpenClasses[] = {
    {"IMD more than 1 dB off, or read where there are no products (one to four blocks, a product some 10 dB out of "
     "the noise, whose beat with it the bins of its lobe share)",
     kOff, 1u << kImd, kEveryWindow, 0.05},
    {"THD+N and SINAD more than 1 dB off (a harmonic's lobe meeting a tone's near DC; two tones' beat that the "
     "average keeps, a leaky window; one block's noise beside strong harmonics; the rounding of a generated file)",
     kOff, 1u << kThdN | 1u << kSinad, kEveryWindow, 0.15},
    {"SNR more than 1 dB off (one block's noise)", kOff, 1u << kSnr, kEveryWindow, 0.05},
    {"THD more than 1 dB off (the rounding of a generated file near the arithmetic's floor; a tone on bin 3 whose "
     "offset and 2nd harmonic its few bins can't part; a peak of one exponential block of noise taken for a tone)",
     kOff, 1u << kThd, kEveryWindow, 0.05},
    {"THD+N and SINAD N/A where SNR reads, Bartlett and Triangular (a tone a few bins above a strong offset, whose "
     "place the offset's skirt leaves uncertain; one block's noise beating with the tone's leakage at its harmonics)",
     kMissing, 1u << kThdN | 1u << kSinad, Windows({T::kBartlett, T::kTriangular}), 0.2},
    {"THD+N and SINAD N/A where SNR reads, other windows (a plain tone whose noise is read near the doubt "
     "allowed, beside the leakage's uncertainty where its harmonics would lie)", kMissing, 1u << kThdN | 1u << kSinad,
     kEveryWindow & ~Windows({T::kBartlett, T::kTriangular}), 0.6},
};
// The shares above their bound: N/A where the quantity stands clear (2 % or 10 %), shown
// readings more than 0.5 dB off (1 %), the mean error (0.2 dB); the ceiling of each.
enum ShareKind { kClearNa, kHalfDb, kMeanError };
struct OpenShare {
    ShareKind kind;
    WORD window;
    int measure;
    double ceiling;
};
const OpenShare kOpenShares[] = {
    {kClearNa, T::kExponential, kImd, 0.6},
};

const OpenClass* OpenClassOf(OpenKind kind, int measure, WORD window)
{
    for (const OpenClass& o : kOpenClasses)
        if (o.kind == kind && (o.measures >> measure & 1u) && (o.windows >> window & 1u))
            return &o;
    return nullptr;
}

double Bound(ShareKind kind, WORD window)
{
    return kind == kClearNa ? NaCeiling(window) : kind == kHalfDb ? 0.01 : 0.2;
}

// The ceiling in force: an open class's, else the bound's.
double Ceiling(ShareKind kind, WORD window, int measure)
{
    for (const OpenShare& o : kOpenShares)
        if (o.kind == kind && o.window == window && o.measure == measure)
            return o.ceiling;
    return Bound(kind, window);
}


// A count within what a share allows of `total`, with a margin of three standard deviations
// of a count and one: every seed must pass, not most.
bool Within(double count, double allowed)
{
    return count <= allowed + 3 * std::sqrt(allowed) + 1 + 1e-9;
}

// 15 dB: what "standing clear" of the leakage and the noise means here.
constexpr double kClear = 31.622776601683793;

// Three blocks averaged exponentially at 90 % overlap hold the noise of 1.2-1.7 independent
// blocks, not eight: a line 20 dB over a bin's noise reads 0.36-0.44 dB off at one deviation,
// and the measures, sure of a part at three, rightly read it N/A; at 25 dB three deviations stay
// within the fifth of its power (1 dB) a reading may be off.
constexpr double kClearOfFewBlocks = 316.22776601683793;

// Cases from this index on are drawn on the settings a channel starts with (Hann, FFT 1024,
// three blocks averaged exponentially at 90 % overlap), which most runs keep.
constexpr long kDefaultsFrom = 1000000000;

struct Line {
    double place; // bins
    double amp;   // peak, fraction of full scale
    double phase; // at the first sample of the run
    int order = 1;
};

enum Kind { kOneTone, kTwoTones, kNoTone };

struct Case {
    std::uint64_t runSeed = 0;
    long index = 0;
    Kind kind = kOneTone;
    std::string style;
    bool rounding = false;      // no noise but the 24-bit rounding
    double roundingScale = 0.0; // the generated file's full scale in counts
    DWORD rate = 48000, fft = 1024;
    WORD window = TSmoothing::kHanning, ampScale = 1, averageType = 0;
    int blocks = 3, fed = 12, overlap = 90;
    double dc = 0.0;
    double noiseDb = 0.0;  // below the (stronger) tone
    double noiseVar = 0.0; // variance of the white noise
    std::vector<Line> tones, harmonics, products;

    double BinHz() const { return static_cast<double>(rate) / fft; }
    int LoBin() const { return 2; }
    int HiBin() const { return static_cast<int>(std::lround(0.99 * fft / 2)); }
    double BandFraction() const { return (HiBin() - LoBin() + 1) / (fft / 2.0); }
    int Averaged() const { return std::min(fed, blocks); }
    bool OnDefaults() const { return index >= kDefaultsFrom; }
    // Eight blocks in the average, or the defaults' three once they are all in.
    bool Settled() const { return Averaged() >= 8 || (OnDefaults() && fed >= blocks); }
    std::size_t Hop() const { return std::max<std::size_t>(1, fft * static_cast<std::size_t>(100 - overlap) / 100); }
    std::string Describe() const;
};

std::string Fmt(const char* f, double a)
{
    char b[64];
    std::snprintf(b, sizeof b, f, a);
    return b;
}

std::string Case::Describe() const
{
    std::string s = std::string(kWindowName[window]) + ", " + std::to_string(rate) + " S/s, FFT " +
                    std::to_string(fft) + ", " + (averageType == 0 ? "exponential " : "linear ") +
                    std::to_string(blocks) + " blocks, read after " + std::to_string(fed) + " at " +
                    std::to_string(overlap) + " % overlap, " + (ampScale ? "dB" : "linear") + " scale; " + style;
    for (const Line& t : tones)
        s += "; tone " + Fmt("%.4f", t.place * BinHz()) + " Hz (bin " + Fmt("%.4f", t.place) + ") " +
             Fmt("%.4g", t.amp) + " FS";
    for (const Line& h : harmonics)
        s += "; h" + std::to_string(h.order) + " " + Fmt("%.2f", 20 * std::log10(h.amp / tones[0].amp)) + " dB";
    for (const Line& p : products)
        s += "; product " + Fmt("%.3f", p.place * BinHz()) + " Hz " +
             Fmt("%.2f", 20 * std::log10(p.amp / tones.back().amp)) + " dB";
    if (dc != 0.0)
        s += "; DC " + Fmt("%.3g", 100 * dc) + " %";
    if (rounding)
        s += "; only 24-bit rounding, full scale " + Fmt("%.0f", roundingScale);
    else if (tones.empty())
        s += "; noise " + Fmt("%.1f", 10 * std::log10(noiseVar)) + " dB re full scale";
    else
        s += "; noise -" + Fmt("%.1f", noiseDb) + " dB";
    return s;
}

std::uint64_t CaseSeed(std::uint64_t run, long index)
{
    Rng mix(run ^ (0xD1B54A32D192ED03ull * static_cast<std::uint64_t>(index + 1)));
    return mix.Next();
}

// The places of the nine products (f2+f1, f2-f1, f2+2f1, f2-2f1, 2(f2+f1), 2f2+f1, 2f2-f1,
// 2f2+2f1, 2f2-2f1; those below DC show at their mirror) that count: one place for products
// that coincide, none on DC or below the low frequency, past the band, within 1.5 bins of a
// tone or of another product.
std::vector<double> CountedProductPlaces(const Case& c, double f1, double f2)
{
    const double raw[] = {f2 + f1, f2 - f1, f2 + 2 * f1, f2 - 2 * f1, 2 * (f2 + f1), 2 * f2 + f1, 2 * f2 - f1,
                          2 * f2 + 2 * f1, 2 * f2 - 2 * f1};
    std::vector<double> places;
    for (double p : raw) {
        p = std::abs(p);
        if (std::none_of(places.begin(), places.end(), [&](double q) { return std::abs(q - p) < 1e-9; }))
            places.push_back(p);
    }
    std::vector<double> counted;
    for (double p : places) {
        bool ok = p >= c.LoBin() + 1.5 && p <= c.HiBin() - 1.5 && std::abs(p - f1) > 1.5 && std::abs(p - f2) > 1.5;
        for (double q : places)
            if (q != p && std::abs(q - p) <= 1.5)
                ok = false;
        if (ok)
            counted.push_back(p);
    }
    return counted;
}

// The cost of a case grows with the samples the engine reads: the draw keeps them under a cap,
// so that large transforms run few blocks.
constexpr long kSampleCap = 1L << 18;

// The settings a channel starts with: Hann, FFT 1024, three blocks averaged exponentially at 90 % overlap.
void SetTheDefaults(Case& c)
{
    c.window = TSmoothing::kHanning;
    c.fft = 1024;
    c.averageType = 0;
    c.blocks = 3;
    c.overlap = 90;
}

Case Draw(std::uint64_t runSeed, long index)
{
    Rng r(CaseSeed(runSeed, index));
    Case c;
    c.runSeed = runSeed;
    c.index = index;
    c.window = static_cast<WORD>(r.Int(0, TSmoothing::kTypeCount - 1));
    static const std::vector<DWORD> rates = {4000, 8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000};
    c.rate = r.Chance(0.7) ? r.Pick(rates) : static_cast<DWORD>(r.Int(4000, 96000));
    const double u = r.Uniform();
    const int p2 = u < 0.3 ? 10 : u < 0.5 ? 11 : u < 0.67 ? 12 : u < 0.8 ? 13 : u < 0.9 ? 14 : u < 0.96 ? 15 : 16;
    c.fft = 1u << p2;
    c.ampScale = r.Chance(0.5) ? 1 : 0;
    c.averageType = r.Chance(0.5) ? 0 : 1;
    c.blocks = r.Chance(0.15) ? 1 : r.Chance(0.2) ? 3 : std::clamp(static_cast<int>(std::lround(r.LogUniform(1, 64))), 1, 64);
    c.overlap = r.Pick(std::vector<int>{0, 50, 75, 90});
    if (c.OnDefaults())
        SetTheDefaults(c);
    c.dc = r.Chance(0.4) ? 0.0 : r.LogUniform(1e-3, 0.1) * (r.Chance(0.5) ? 1 : -1);
    c.noiseDb = r.Uniform(40, 130);

    const double k = r.Uniform();
    c.kind = k < 0.58 ? kOneTone : k < 0.96 ? kTwoTones : kNoTone;
    c.rounding = c.kind == kOneTone && r.Chance(0.14);
    const double twoPi = 2 * M_PI;
    auto placeOf = [&](double hz) { return hz / c.BinHz(); };
    if (c.kind == kOneTone) {
        c.style = c.rounding ? "one tone, a generated 24-bit file" : "one tone";
        const double A = r.Uniform(0.05, 0.65);
        const double lowest = std::max(20.0, 3 * c.BinHz());
        double place = placeOf(r.LogUniform(lowest, std::max(lowest * 1.01, 0.47 * c.rate)));
        const double mode = r.Uniform();
        if (mode < 0.3 || (c.rounding && mode < 0.5))
            place = std::round(place);
        else if (mode < 0.4 && !c.rounding)
            place = std::floor(place) + 0.5;
        place = std::clamp(place, 3.0, c.HiBin() - 3.0);
        c.tones.push_back({place, A, r.Uniform(0, twoPi)});
        if (r.Chance(0.75)) {
            for (int h = 2; h <= 10; ++h)
                if (h * place <= c.HiBin() - 3 && r.Chance(0.6))
                    c.harmonics.push_back({h * place, A * r.LogUniform(1e-5, 3e-2), r.Uniform(0, twoPi), h});
        }
        if (c.rounding)
            c.roundingScale = 8388607.0 + r.Int(-1, 1);
        else
            c.noiseVar = A * A / 2 * std::pow(10.0, -c.noiseDb / 10);
    } else if (c.kind == kTwoTones) {
        const double style = r.Uniform();
        double f1 = 0, f2 = 0, a1 = 0, a2 = 0;
        if (style < 0.35) {
            // SMPTE / DIN: a low tone and a high one at a quarter of its amplitude.
            f1 = r.Chance(0.5) ? r.Pick(std::vector<double>{50.0, 60.0, 70.0, 250.0}) : r.Uniform(50, 250);
            std::vector<double> highs;
            for (double h : {7000.0, 8000.0, 4000.0, 3150.0})
                if (h <= 0.42 * c.rate)
                    highs.push_back(h);
            f2 = highs.empty() ? std::round(r.Uniform(0.2, 0.42) * c.rate / 10) * 10 : r.Pick(highs);
            if (r.Chance(0.25))
                f2 = std::round(f2 / f1) * f1;
            // The low tone must clear DC: the size a user would pick for it.
            while (placeOf(f1) < 3 && c.fft < 65536 && !c.OnDefaults())
                c.fft *= 2;
            a1 = r.Uniform(0.1, 0.68);
            a2 = a1 / 4;
            c.style = "SMPTE/DIN 4:1";
        } else if (style < 0.6) {
            // CCIF: two close tones of equal amplitude.
            const double spacing = r.Chance(0.7) ? r.Pick(std::vector<double>{1000.0, 60.0, 100.0, 200.0, 500.0})
                                                 : r.Uniform(50, 1000);
            f2 = (c.rate >= 44100 && r.Chance(0.5)) ? 20000.0 : r.Uniform(0.25, 0.45) * c.rate;
            // The low tone clears DC as a user's would: a spacing as wide as the high tone
            // left a "tone" inside DC's own bin, which no analysis tells from an offset.
            f2 = std::max(f2, spacing + std::max(20.0, 3 * c.BinHz()));
            f1 = f2 - spacing;
            a1 = a2 = r.Uniform(0.05, 0.42);
            c.style = "CCIF";
        } else {
            const double lowest = std::max(20.0, 3 * c.BinHz());
            f1 = r.LogUniform(lowest, 0.45 * c.rate);
            const int most = static_cast<int>(0.45 * c.rate / f1);
            if (r.Chance(0.3) && most >= 2) {
                f2 = f1 * r.Int(2, std::min(most, 40));
                c.style = "exact multiple";
            } else {
                f2 = r.LogUniform(lowest, 0.45 * c.rate);
                c.style = "random pair";
            }
            a1 = r.Uniform(0.1, 0.42);
            a2 = a1 * std::pow(10.0, r.Uniform(-20, 0) / 20);
            if (r.Chance(0.5))
                std::swap(a1, a2);
        }
        double p1 = placeOf(f1), p2 = placeOf(f2);
        // The stronger tone first.
        if (a2 > a1) {
            std::swap(p1, p2);
            std::swap(a1, a2);
        }
        c.tones.push_back({p1, a1, r.Uniform(0, twoPi)});
        c.tones.push_back({p2, a2, r.Uniform(0, twoPi)});
        if (r.Chance(0.8)) {
            for (double place : CountedProductPlaces(c, p1, p2))
                if (r.Chance(0.65))
                    c.products.push_back({place, a2 * r.LogUniform(3e-6, 3e-2), r.Uniform(0, twoPi), 0});
        }
        c.noiseVar = a1 * a1 / 2 * std::pow(10.0, -c.noiseDb / 10);
    } else {
        c.style = "no tone";
        c.noiseVar = std::pow(r.LogUniform(1e-5, 1e-2), 2);
    }

    const long cap = r.Chance(0.2) ? 2 * kSampleCap : kSampleCap;
    const int most = static_cast<int>(std::max<long>(1, cap / static_cast<long>(c.fft)));
    c.blocks = std::min(c.blocks, most);
    // Early (the average still filling), just settled, or long after (where a steady signal's
    // reads must agree whatever block they fall on).
    if (c.blocks > 1 && r.Chance(0.3))
        c.fed = r.Int(1, c.blocks - 1);
    else
        c.fed = std::min(most, c.blocks + (r.Chance(0.5) ? r.Int(0, c.blocks + 2) : r.Int(0, 40)));
    return c;
}

// The window's own coefficients (the uniform window has none in its table).
std::vector<double> WindowShape(WORD window, DWORD fft)
{
    std::vector<double> shape(fft, 1.0);
    if (window != TSmoothing::kUniform) {
        const TSmoothing plain(fft, window, TSmoothing::kNoCorrection);
        for (DWORD i = 0; i < fft; ++i)
            shape[i] = plain.GetTable()[i];
    }
    return shape;
}

// The white noise a run's average holds over the band, as a share of what it holds on
// average: a few blocks of a short transform scatter it by several per cent (one block of
// 1024 points by 0.3 dB), and a reading can be no truer than the noise it was given. The
// blocks are averaged as the engine does (linear: the last ones alike; exponential: each new
// block weighs 1/n, n counting up to the blocks asked for).
double NoiseDrawn(const Case& c, const std::vector<double>& noise)
{
    const std::size_t n = c.fft, hop = c.Hop();
    if (noise.size() < n + hop * static_cast<std::size_t>(c.fed - 1) || !(c.noiseVar > 0.0))
        return 1.0;
    const std::vector<double> w = WindowShape(c.window, c.fft);
    double w2 = 0.0;
    for (double v : w)
        w2 += v * v;
    // Two real blocks go through one complex transform: a in the real part, b in the imaginary.
    auto bandPower = [&](int first, int second) {
        std::vector<std::complex<double>> z(n);
        for (std::size_t i = 0; i < n; ++i)
            z[i] = {noise[static_cast<std::size_t>(first) * hop + i] * w[i],
                    second >= 0 ? noise[static_cast<std::size_t>(second) * hop + i] * w[i] : 0.0};
        sweep::Fft(z);
        double a = 0.0, b = 0.0;
        for (int k = c.LoBin(); k <= c.HiBin(); ++k) {
            const std::complex<double> p = z[static_cast<std::size_t>(k)], q = std::conj(z[n - static_cast<std::size_t>(k)]);
            a += std::norm(p + q) / 4;
            b += std::norm(p - q) / 4;
        }
        return std::pair<double, double>{a, b};
    };
    std::vector<double> block(static_cast<std::size_t>(c.fed));
    for (int b = 0; b < c.fed; b += 2) {
        const auto [x, y] = bandPower(b, b + 1 < c.fed ? b + 1 : -1);
        block[static_cast<std::size_t>(b)] = x;
        if (b + 1 < c.fed)
            block[static_cast<std::size_t>(b) + 1] = y;
    }
    double average = 0.0;
    if (c.averageType == 1) {
        const int used = std::min(c.fed, c.blocks);
        for (int b = c.fed - used; b < c.fed; ++b)
            average += block[static_cast<std::size_t>(b)] / used;
    } else {
        for (int b = 0; b < c.fed; ++b) {
            const double count = std::min(b + 1, c.blocks);
            average = ((count - 1) * average + block[static_cast<std::size_t>(b)]) / count;
        }
    }
    const double expected = c.noiseVar * w2 * (c.HiBin() - c.LoBin() + 1);
    return expected > 0.0 ? average / expected : 1.0;
}

// The signal's parts as they went in, and what they add up to over the analysed band.
struct Truth {
    double tone = 0.0, second = 0.0;
    double harmonics = 0.0; // in the band, rounding at their places included
    double products = 0.0;  // counted
    double noise = 0.0;     // in the band
    double noiseVar = 0.0;  // of the white noise a bin sees (in the units of the variance)
    bool harmonicPlaces = false; // a harmonic place (order 2..40) in the band
};

struct Outcome {
    std::optional<float> v[kMeasures];
    Truth truth;
};

// Feeds the case through one channel's engine as a run does and reads every measure; the truth
// gets the noise and rounding the samples carry.
Outcome RunCase(const Case& c)
{
    ChannelProcessingSettings p = Processing(c.rate, c.fft, c.window, 3);
    p.AverageType = c.averageType;
    p.AverageBlocks = static_cast<DWORD>(c.blocks);
    p.OverlapPercent = static_cast<WORD>(c.overlap);
    const ChannelScalingSettings s = Scaling(c.ampScale);
    SpectralData d(&p, &s, false);
    const TSmoothing w(c.fft, c.window, TSmoothing::kAmplitudeCorrection);
    const std::size_t n = c.fft, hop = c.Hop(), length = n + hop * static_cast<std::size_t>(c.fed - 1);
    const double fullScale = d.GetFullScale();

    std::vector<Line> lines = c.tones;
    lines.insert(lines.end(), c.harmonics.begin(), c.harmonics.end());
    lines.insert(lines.end(), c.products.begin(), c.products.end());
    std::vector<double> v(length, c.dc);
    if (c.rounding) {
        // Exact phases: the rounding of a tone on a bin must repeat every block.
        for (const Line& l : lines)
            for (std::size_t i = 0; i < length; ++i)
                v[i] += l.amp * std::cos(2 * M_PI * std::fmod(l.place * static_cast<double>(i), static_cast<double>(n)) /
                                             static_cast<double>(n) + l.phase);
    } else {
        constexpr std::size_t kResync = 1024;
        for (const Line& l : lines) {
            const double omega = 2 * M_PI * l.place / static_cast<double>(n);
            const std::complex<double> step = std::polar(1.0, omega);
            for (std::size_t i0 = 0; i0 < length; i0 += kResync) {
                std::complex<double> z = std::polar(l.amp, std::fmod(omega * static_cast<double>(i0), 2 * M_PI) + l.phase);
                for (std::size_t i = i0; i < std::min(length, i0 + kResync); ++i) {
                    v[i] += z.real();
                    z *= step;
                }
            }
        }
    }
    Outcome run;
    Truth& t = run.truth;
    std::vector<float> x(length);
    std::vector<double> residual(c.rounding ? n : 0), noise;
    double sum = 0.0, sum2 = 0.0;
    if (c.rounding) {
        for (std::size_t i = 0; i < length; ++i) {
            const double want = v[i] * c.roundingScale;
            const double q = std::clamp(std::round(want), -8388608.0, 8388607.0);
            x[i] = static_cast<float>(q);
            const double e = (q - want) / c.roundingScale;
            if (i < n)
                residual[i] = e;
            sum += e;
            sum2 += e * e;
        }
    } else {
        Rng g(CaseSeed(c.runSeed ^ 0x5EED, c.index));
        const double sd = std::sqrt(c.noiseVar);
        noise.resize(length);
        for (std::size_t i = 0; i < length; ++i) {
            noise[i] = sd * g.Gauss();
            const double want = v[i] + noise[i];
            x[i] = static_cast<float>(want * fullScale);
            const double e = x[i] / fullScale - want;
            sum += e;
            sum2 += e * e;
        }
    }
    for (int b = 0; b < c.fed; ++b) {
        for (std::size_t i = 0; i < n; ++i)
            d.SetTimeSample(static_cast<UINT>(i), x[static_cast<std::size_t>(b) * hop + i]);
        w.Apply(d.GetFrame());
        d.ComputeSpectrum();
        d.Average(false);
    }
    run.v[kThd] = d.ComputeThd();
    run.v[kThdN] = d.ComputeThdN();
    run.v[kSnr] = d.ComputeSnr();
    run.v[kSinad] = d.ComputeSinad();
    run.v[kImd] = d.ComputeImd();

    // The truth, from the parts.
    const int lo = c.LoBin(), hi = c.HiBin();
    const double band = c.BandFraction();
    const double meanE = sum / static_cast<double>(length);
    const double varE = sum2 / static_cast<double>(length) - meanE * meanE;
    if (!c.tones.empty()) {
        t.tone = c.tones[0].amp * c.tones[0].amp / 2;
        if (c.tones.size() > 1)
            t.second = c.tones[1].amp * c.tones[1].amp / 2;
        for (int h = 2; h <= 40; ++h)
            t.harmonicPlaces |= h * c.tones[0].place <= hi;
    }
    for (const Line& p : c.products)
        t.products += p.amp * p.amp / 2;
    const bool periodic = c.rounding && c.tones[0].place == std::round(c.tones[0].place);
    if (periodic) {
        // Everything lies on bins and repeats every block: the rounding's lines are the bins of
        // one block's transform; those at the tone's harmonics are distortion, the rest noise.
        std::vector<std::complex<double>> e(residual.begin(), residual.end());
        sweep::Fft(e);
        const long k0 = std::lround(c.tones[0].place);
        auto line = [&](long k, const Line* part) {
            std::complex<double> a = e[static_cast<std::size_t>(k)] / static_cast<double>(n);
            if (part)
                a += std::polar(part->amp / 2, part->phase);
            return 2 * std::norm(a);
        };
        t.tone = line(k0, &c.tones[0]);
        for (long k = lo; k <= hi; ++k) {
            if (k == k0)
                continue;
            if (k % k0 == 0 && k / k0 <= 40) {
                const Line* part = nullptr;
                for (const Line& h : c.harmonics)
                    if (h.order == k / k0)
                        part = &h;
                t.harmonics += line(k, part);
            } else {
                t.noise += line(k, nullptr);
            }
        }
        t.noiseVar = varE;
    } else {
        for (const Line& h : c.harmonics)
            t.harmonics += h.amp * h.amp / 2;
        t.noiseVar = c.noiseVar + varE;
        t.noise = (c.noiseVar * NoiseDrawn(c, noise) + varE) * band;
    }
    return run;
}

// The window's leakage of one size, built once.
const WindowLeakage& Leakage(WORD window, DWORD fft)
{
    static std::map<std::pair<WORD, DWORD>, std::unique_ptr<WindowLeakage>> kept;
    auto& slot = kept[{window, fft}];
    if (!slot)
        slot = std::make_unique<WindowLeakage>(WindowShape(window, fft));
    return *slot;
}

// What a measure should read: NaN where it must read N/A; unjudged where it has no definition
// on this kind of signal (THD and SNR of two tones) or where no analysis can tell two tones
// from one (closer than the window's lobe: they read as one tone that swells and fades).
struct Expect {
    bool judged = true;
    double truthDb = NAN;
};

double Db(double ratio) { return 10 * std::log10(ratio); }

// A shown reading in dB: THD, THD+N and IMD as their ratio, SNR and SINAD as they stand.
double ShownDb(int m, double shown)
{
    return m == kThd || m == kThdN || m == kImd ? 20 * std::log10(shown / 100.0) : shown;
}

// Whether a case's transforms are too large for the sanitizers' runs.
bool TooLargeForSanitizers(const Case& c)
{
    return kSanitized && static_cast<long>(c.fft) * c.fed > (1L << 16);
}

// THD of a pair: the fundamental is the stronger tone, and its harmonics are whatever lines lie on
// its multiples (the weaker tone and the products of an exact multiple); every other line, and its
// skirt, is no harmonic. Unjudged where a line's lobe overlaps a harmonic's place without lying on
// it, or where a line on it stands stronger than a harmonic of that order can (see IMD below).
// A fundamental under three bins (where the default size leaves a pair's low tone; one tone is
// never drawn there) is left unjudged. `first` names the tone taken for the fundamental.
Expect PairThdOf(const Case& c, int first)
{
    Expect e;
    const WindowLeakage& W = Leakage(c.window, c.fft);
    const Line& f = c.tones[static_cast<std::size_t>(first)];
    const double f0 = f.place, fundamental = f.amp * f.amp / 2, reach = 2 * W.lobeHalfWidth + 2;
    if (f0 < 3.0) {
        e.judged = false;
        return e;
    }
    double harmonics = 0.0;
    // A product's skirt is bounded only where its lobe, as the analysis takes it to whole bins,
    // stays out of the harmonic's (which widens with the harmonic's order as its place does).
    auto judge = [&](const Line& l, bool tone) {
        const double power = l.amp * l.amp / 2;
        const double h = std::clamp(std::round(l.place / f0), 2.0, 40.0), off = std::abs(l.place - h * f0);
        if (off >= (tone ? reach : 2 * std::ceil(W.lobeHalfWidth) + 2 + 0.02 * h))
            return true;
        if (off >= 1e-9 * l.place || (tone && power * h * h / fundamental > 0.5))
            return false;
        harmonics += power;
        return true;
    };
    bool judged = judge(c.tones[static_cast<std::size_t>(1 - first)], true);
    for (const Line& p : c.products)
        judged = judge(p, false) && judged;
    e.judged = judged;
    if (harmonics > 0)
        e.truthDb = Db(harmonics / fundamental);
    return e;
}

// Tones within a dB of each other may be read either way round: THD is judged only where both
// readings agree.
Expect PairThd(const Case& c, const Truth& t)
{
    Expect e = PairThdOf(c, 0);
    if (e.judged && t.second > 0.79 * t.tone) {
        const Expect other = PairThdOf(c, 1);
        e.judged = other.judged && std::isnan(other.truthDb) == std::isnan(e.truthDb) &&
                   !(std::abs(other.truthDb - e.truthDb) > 0.5);
    }
    return e;
}

std::array<Expect, kMeasures> Expected(const Case& c, const Truth& t)
{
    std::array<Expect, kMeasures> e;
    if (c.kind == kNoTone)
        return e;
    const double rest = t.harmonics + t.second + t.products + t.noise;
    if (c.kind == kOneTone) {
        if (t.harmonicPlaces && t.harmonics > 0)
            e[kThd].truthDb = Db(t.harmonics / t.tone);
        if (t.noise > 0)
            e[kSnr].truthDb = Db(t.tone / t.noise);
    } else {
        e[kSnr].judged = false;
        e[kThd] = PairThd(c, t);
        const double apart = std::abs(c.tones[0].place - c.tones[1].place);
        if (apart < 20 && apart < 2 * Leakage(c.window, c.fft).lobeHalfWidth + 1)
            e[kThd].judged = e[kThdN].judged = e[kSinad].judged = e[kImd].judged = false;
        // A weaker tone on a multiple of the stronger one, no stronger than a harmonic of that
        // order can be (1/h^2 of its power), is that harmonic to any analysis: one tone and its
        // harmonics have no IMD. Near that level (a 4:1 pair whose high tone is the 4th
        // multiple stands just at it) either reading is right.
        const double h = std::round(c.tones[1].place / c.tones[0].place);
        const bool multiple = h >= 2 && std::abs(c.tones[1].place - h * c.tones[0].place) < 1e-9 * c.tones[1].place;
        const double share = t.second * h * h / t.tone;
        if (multiple && share > 0.5 && share < 2.0)
            e[kImd].judged = false;
        if (t.products > 0 && !(multiple && share <= 0.5))
            e[kImd].truthDb = Db(t.products / (t.tone + t.second));
    }
    if (rest > 0) {
        e[kThdN].truthDb = Db(rest / t.tone);
        e[kSinad].truthDb = Db(t.tone / rest);
    }
    return e;
}

// The share of a steady beat the average keeps, between two lines `apart` bins apart: the
// blocks meet it at phases that turn by 2 pi apart hop / N, weighed as the engine averages them.
// The weight of each block fed in the average the engine keeps.
std::vector<double> BlockWeights(const Case& c)
{
    std::vector<double> weight(static_cast<std::size_t>(c.fed), 0.0);
    if (c.averageType == 1) {
        const int used = std::min(c.fed, c.blocks);
        for (int b = c.fed - used; b < c.fed; ++b)
            weight[static_cast<std::size_t>(b)] = 1.0 / used;
    } else {
        for (int b = 0; b < c.fed; ++b) {
            const double count = std::min(b + 1, c.blocks);
            for (int j = 0; j < b; ++j)
                weight[static_cast<std::size_t>(j)] *= (count - 1) / count;
            weight[static_cast<std::size_t>(b)] = 1.0 / count;
        }
    }
    return weight;
}

// The beat the average keeps of two lines `apart` bins apart, as a complex share.
std::complex<double> BeatKeptAt(const Case& c, double apart)
{
    const std::vector<double> weight = BlockWeights(c);
    std::complex<double> sum = 0.0;
    const double turn = 2 * M_PI * apart * static_cast<double>(c.Hop()) / static_cast<double>(c.fft);
    for (int b = 0; b < c.fed; ++b)
        sum += weight[static_cast<std::size_t>(b)] * std::polar(1.0, std::fmod(turn * b, 2 * M_PI));
    return sum;
}

double BeatKept(const Case& c, double apart)
{
    return std::abs(BeatKeptAt(c, apart));
}

// Whether the noise the free bins read stands for the whole band to a fifth at three deviations
// of what few blocks leave: their mean's scatter, and the rest's own scatter about it. Blocks
// that overlap share their noise: the average is worth 1 / sum of w_i w_j rho_ij blocks, rho
// the square of the window's overlap correlation.
bool FreeBinsTellTheNoise(const Case& c, int free)
{
    const std::vector<double> w = WindowShape(c.window, c.fft), weight = BlockWeights(c);
    double w2 = 0.0;
    for (double v : w)
        w2 += v * v;
    std::vector<double> rho;
    for (std::size_t s = 0; s < w.size(); s += c.Hop()) {
        double r = 0.0;
        for (std::size_t i = 0; i + s < w.size(); ++i)
            r += w[i] * w[i + s];
        rho.push_back(r * r / (w2 * w2));
    }
    double shared = 0.0;
    for (std::size_t i = 0; i < weight.size(); ++i)
        for (std::size_t j = 0; j < weight.size(); ++j)
            shared += weight[i] * weight[j] * (std::max(i, j) - std::min(i, j) < rho.size() ? rho[std::max(i, j) - std::min(i, j)] : 0.0);
    const double band = c.HiBin() - c.LoBin() + 1, rest = band - free;
    const double perBin = std::sqrt(shared * Leakage(c.window, c.fft).noisePerBin * static_cast<double>(c.fft));
    return 3.0 * perBin * (rest / std::sqrt(static_cast<double>(free)) + std::sqrt(rest)) <= 0.2 * band;
}

// Where each quantity stands clear of the window's leakage and the noise.
struct Clarity {
    bool clear[kMeasures] = {};
    bool apart = false; // a harmonic hidden under the leakage, or its beat with it, could move THD+N past its bound
};

Clarity Clear(const Case& c, const Truth& t)
{
    Clarity k;
    if (c.kind == kNoTone)
        return k;
    const WindowLeakage& W = Leakage(c.window, c.fft);
    // Every line at both its images, DC at 0: (place, power at the line's peak).
    struct Source {
        double place, power;
        const Line* line;
    };
    std::vector<Source> sources;
    if (c.dc != 0.0)
        sources.push_back({0.0, c.dc * c.dc, nullptr});
    auto add = [&](const std::vector<Line>& ls) {
        for (const Line& l : ls) {
            sources.push_back({l.place, l.amp * l.amp / 4, &l});
            sources.push_back({-l.place, l.amp * l.amp / 4, nullptr});
        }
    };
    add(c.tones);
    add(c.harmonics);
    add(c.products);
    const double bin = t.noiseVar * W.noisePerBin;
    auto leakAt = [&](double place, const Line* self, double r) {
        double sum = 0.0;
        for (const Source& s : sources)
            if (s.line == nullptr || s.line != self)
                sum += s.power * W.Envelope(place - s.place, r);
        return sum;
    };
    auto peak = [&](const Line& l) {
        const double f = l.place - std::floor(l.place);
        return l.amp * l.amp / 4 * std::max(W.Power(f), W.Power(1 - f));
    };
    // The exponential window's transform has a single pole: a steady line's far leakage beats
    // with a line in a shape much like the line's own lobe, which no analysis tells from the
    // line's power. The beat the average keeps must move the line by less than a tenth (0.4 dB)
    // for it to stand clear: 15 dB over a leakage that meets it at one phase in every block is
    // not (1.3 dB either way). The tones, far above their leakage, are fitted with their beats.
    auto beatKeptAt = [&](double place, const Line* self, double pk) {
        double beat = 0.0;
        for (const Source& s : sources)
            if (s.line == nullptr || s.line != self)
                beat += 2 * std::sqrt(s.power * W.Envelope(place - s.place, 1.0) / pk) * BeatKept(c, place - s.place);
        return beat;
    };
    auto stands = [&](const Line& l) {
        const double pk = peak(l);
        return pk >= kClear * leakAt(l.place, &l, 1.0) && pk >= (c.OnDefaults() ? kClearOfFewBlocks : kClear) * bin &&
               (c.window != TSmoothing::kExponential || l.order == 1 || beatKeptAt(l.place, &l, pk) <= 0.1);
    };
    const bool settled = c.Settled();
    const bool tonesClear = std::all_of(c.tones.begin(), c.tones.end(), stands);
    auto allThatMatter = [&](const std::vector<Line>& ls, double total) {
        return std::all_of(ls.begin(), ls.end(), [&](const Line& l) {
            return l.amp * l.amp / 2 < 0.01 * total || stands(l);
        });
    };
    if (c.kind == kTwoTones) {
        // Every counted place is read: where no product stands clear, one the leakage could
        // hide (15 dB under it; beside a weak one, their beat too) must not move IMD by more
        // than half a dB. Ten bins from a Force tone its leakage stands 35 dB over a sideband
        // there: whether one is there, no analysis can tell.
        double hidden = 0.0;
        for (double place : CountedProductPlaces(c, c.tones[0].place, c.tones[1].place)) {
            const Line* there = nullptr;
            for (const Line& l : c.products)
                if (std::abs(l.place - place) < 1e-9)
                    there = &l;
            if (there && stands(*there))
                continue;
            const double leak = leakAt(place, there, 1.0);
            hidden += 2 * leak / kClear + (there ? 4 * std::sqrt(leak * peak(*there)) : 0.0);
            // Through the exponential window a product hidden under the leakage also beats with
            // it in the shape of its own lobe, by as much as the average keeps of that beat
            // (the same that keeps a weak line from standing clear).
            if (c.window == TSmoothing::kExponential && leak > 0)
                hidden += 2 * (leak / kClear) * beatKeptAt(place, there, leak / kClear);
        }
        k.clear[kImd] = settled && tonesClear && t.products > 0 && allThatMatter(c.products, t.products) &&
                        Db(1 + hidden / t.products) <= 0.5;
        return k;
    }
    // A harmonic that could hide under the leakage at a place with none seen; and one seen
    // that does not stand clear of the leakage, which no analysis tells from the leakage's
    // beat with it (2 sqrt(L H) at its peak, a line's power twice that).
    // The Bartlett and triangular kernels never change sign: a harmonic's beat with the skirts
    // over its lobe has much the shape of its own power there, and what the average keeps of it
    // no analysis tells from that power, however clear the harmonic stands (15 dB over the
    // skirt: a third of its power either way). THD+N may go N/A for it too.
    const bool beatsLikeItsPower = c.window == TSmoothing::kBartlett || c.window == TSmoothing::kTriangular;
    double hidden = 0.0, kept = 0.0;
    for (int h = 2; h <= 40; ++h) {
        const double place = h * c.tones[0].place;
        if (place > c.HiBin())
            break;
        const Line* there = nullptr;
        for (const Line& l : c.harmonics)
            if (l.order == h)
                there = &l;
        if (there && stands(*there)) {
            if (beatsLikeItsPower)
                kept += 2 * peak(*there) * beatKeptAt(place, there, peak(*there));
            continue;
        }
        hidden += 2 * leakAt(place, there, 1.0) / kClear;
        if (there)
            hidden += 4 * std::sqrt(leakAt(place, there, 1.0) * peak(*there));
    }
    const double rest = t.harmonics + t.noise;
    k.apart = rest > 0 && Db(1 + (hidden + kept) / rest) > 0.5;
    // THD counts those hidden harmonics as well: where they could move it by more than half a
    // dB, the leakage hides it.
    k.clear[kThd] = settled && tonesClear && t.harmonics > 0 && !c.harmonics.empty() &&
                    allThatMatter(c.harmonics, t.harmonics) && Db(1 + hidden / t.harmonics) <= 0.5;
    // The engine's own arithmetic (single precision) lies some 135 dB under the tone: noise must
    // stand 15 dB above that too.
    if (settled && tonesClear && t.noise > 0 && t.noise >= t.tone * 1e-12) {
        double unclear = 0.0;
        for (const Line& l : c.harmonics)
            if (!stands(l))
                unclear += l.amp * l.amp / 2;
        int free = 0;
        for (int b = c.LoBin(); b <= c.HiBin(); ++b) {
            double leak = 0.0;
            for (const Source& s : sources)
                leak += s.power * W.Envelope(b - s.place, 0.5);
            free += leak * kClear <= bin ? 1 : 0;
        }
        const int band = c.HiBin() - c.LoBin() + 1;
        k.clear[kSnr] = unclear <= 0.05 * t.noise && free >= band / 4 && (!c.OnDefaults() || FreeBinsTellTheNoise(c, free));
        k.clear[kThdN] = k.clear[kSinad] = k.clear[kSnr] && !k.apart;
    }
    return k;
}

// The window's transform at `x` bins: sum of w[n] e^(-2 pi i x n / N).
std::complex<double> Transform(const std::vector<double>& w, double x)
{
    const std::complex<double> step = std::polar(1.0, -2 * M_PI * x / static_cast<double>(w.size()));
    std::complex<double> turn = 1.0, sum = 0.0;
    for (std::size_t n = 0; n < w.size(); ++n) {
        sum += w[n] * turn;
        turn *= step;
        if ((n & 1023) == 1023) // keep the rotation on the unit circle
            turn /= std::abs(turn);
    }
    return sum;
}

// Whether a harmonic could hide at a place where none is, moving THD+N past half a dB: at the
// right phase its beat with the leakage there (what the average keeps of it) and its own power
// cancel, and every bin of its lobe stays within the average's scatter (two deviations over the
// lobe's bins together). Where the leakage's phase across the lobe turns as the harmonic's does
// (a Gaussian's skirt, one block, a hop that turns the two alike), a harmonic a few dB under the
// leakage hides so, far more than the 15 dB the clarity rule allows for.
bool HidesAtOnePhase(const Case& c, const Truth& t)
{
    if (c.kind != kOneTone || !(t.noiseVar > 0.0))
        return false;
    const std::vector<double> w = WindowShape(c.window, c.fft);
    const WindowLeakage& W = Leakage(c.window, c.fft);
    double sum = 0.0, w2 = 0.0;
    for (double v : w) {
        sum += v;
        w2 += v * v;
    }
    const double noise = t.noiseVar * w2; // a bin's noise power, in the transform's units
    // Every line's two halves and DC: (place, complex amplitude at the first block).
    std::vector<std::pair<double, std::complex<double>>> parts;
    if (c.dc != 0.0)
        parts.push_back({0.0, c.dc});
    for (const std::vector<Line>* ls : {&c.tones, &c.harmonics})
        for (const Line& l : *ls) {
            parts.push_back({l.place, std::polar(l.amp / 2, l.phase)});
            parts.push_back({-l.place, std::polar(l.amp / 2, -l.phase)});
        }
    // Blocks that overlap share their noise: a bin's noise in blocks d hops apart correlates by
    // the window's overlap r(d), and its beat with a line by r(d) turned by the hop's phase
    // between the two. Taken as independent, three blocks at 90 % overlap scattered half as
    // much as they do (checked with numpy), and a 2nd harmonic that could hide under a Hann
    // tone's skirt and move THD+N by 0.6 dB passed for one that could not.
    const std::vector<double> weight = BlockWeights(c);
    std::vector<double> lagged, overlap; // sum of w_b w_b+d (both orders), r(d)
    for (std::size_t d = 0; d < weight.size() && d * c.Hop() < w.size(); ++d) {
        double s = 0.0, r = 0.0;
        for (std::size_t b = 0; b + d < weight.size(); ++b)
            s += weight[b] * weight[b + d];
        for (std::size_t i = 0; i + d * c.Hop() < w.size(); ++i)
            r += w[i] * w[i + d * c.Hop()];
        lagged.push_back(d == 0 ? s : 2 * s);
        overlap.push_back(r / w2);
    }
    auto averaged = [&](double apart, int power) {
        double v = 0.0;
        for (std::size_t d = 0; d < lagged.size(); ++d)
            v += lagged[d] * std::pow(overlap[d], power) *
                 std::cos(2 * M_PI * apart * static_cast<double>(d * c.Hop()) / static_cast<double>(c.fft));
        return std::max(v, 0.0);
    };
    const double noiseShare = averaged(0.0, 2);
    const int reach = static_cast<int>(std::ceil(W.lobeHalfWidth)) + 2;
    double hidden = 0.0;
    for (int h = 2; h <= 40; ++h) {
        const double q = h * c.tones[0].place;
        if (q > c.HiBin())
            break;
        if (std::any_of(c.harmonics.begin(), c.harmonics.end(), [&](const Line& l) { return l.order == h; }))
            continue;
        // Only the parts whose skirt stands near the noise there matter.
        std::vector<std::pair<double, std::complex<double>>> near;
        for (const auto& p : parts)
            if (std::norm(p.second) * sum * sum * W.Envelope(q - p.first, reach + 1.0) > 1e-3 * noise)
                near.push_back(p);
        if (near.empty())
            continue;
        std::vector<std::complex<double>> cross; // the beat's coefficient in each bin
        std::vector<double> own, variance, standing;
        for (int m = std::max(c.LoBin(), static_cast<int>(std::floor(q)) - reach);
             m <= std::min(c.HiBin(), static_cast<int>(std::ceil(q)) + reach); ++m) {
            const std::complex<double> dq = Transform(w, m - q);
            std::complex<double> beat = 0.0;
            double power = noise, beatScatter = 0.0;
            for (const auto& [place, amp] : near) {
                const std::complex<double> d = amp * Transform(w, m - place);
                beat += std::conj(d) * BeatKeptAt(c, q - place);
                power += std::norm(d);
                beatScatter += 2 * std::norm(d) * noise * averaged(m - place, 1);
            }
            cross.push_back(dq * beat);
            own.push_back(std::norm(dq));
            variance.push_back(beatScatter + 3 * noise * noise * noiseShare);
            standing.push_back(power);
        }
        // The largest half-amplitude that some phase leaves within the scatter, in 1 dB steps
        // down from what would double the strongest bin.
        double top = 0.0, ownTop = 0.0;
        for (std::size_t i = 0; i < own.size(); ++i) {
            top = std::max(top, standing[i]);
            ownTop = std::max(ownTop, own[i]);
        }
        if (!(ownTop > 0.0))
            continue;
        double found = 0.0;
        for (int step = 0; step < 100 && found == 0.0; ++step) {
            const double a = 2.0 * std::sqrt(top / ownTop) * std::pow(10.0, -step / 20.0);
            for (int k = 0; k < 64 && found == 0.0; ++k) {
                const std::complex<double> turn = std::polar(1.0, 2 * M_PI * k / 64);
                double chi = 0.0;
                for (std::size_t i = 0; i < own.size() && chi <= 4.0; ++i) {
                    const double change = a * a * own[i] + 2 * a * std::real(turn * cross[i]);
                    chi += change * change / variance[i];
                }
                found = chi <= 4.0 ? a : 0.0;
            }
        }
        hidden += 2 * found * found; // a real line of amplitude 2a holds 2a^2
    }
    const double rest = t.harmonics + t.noise;
    return rest > 0 && Db(1 + hidden / rest) > 0.5;
}

struct Tally {
    long shown = 0, over = 0, clear = 0, clearNa = 0, meanCount = 0;
    double sumErr = 0.0, worst = 0.0;
};

struct Bad {
    double severity;
    std::string text;
};

struct Options {
    std::uint64_t seed;
    long cases, defaults, single = -1, sliceK = 0, sliceJ = 1;
    std::string out;
};

Options ReadOptions()
{
    Options o;
    const char* seed = std::getenv("DURNEX_SWEEP_SEED");
    o.seed = seed ? std::strtoull(seed, nullptr, 10)
                  : static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) % 1000000007ull;
    const char* cases = std::getenv("DURNEX_SWEEP_CASES");
    o.cases = cases ? std::strtol(cases, nullptr, 10) : (kSanitized ? 700 : 7500);
    const char* defaults = std::getenv("DURNEX_SWEEP_DEFAULT_CASES");
    o.defaults = defaults ? std::strtol(defaults, nullptr, 10) : o.cases / 8;
    if (const char* one = std::getenv("DURNEX_SWEEP_CASE"))
        o.single = std::strtol(one, nullptr, 10);
    if (const char* slice = std::getenv("DURNEX_SWEEP_SLICE"))
        std::sscanf(slice, "%ld/%ld", &o.sliceK, &o.sliceJ);
    if (const char* out = std::getenv("DURNEX_SWEEP_OUT"))
        o.out = out;
    return o;
}

} // namespace

TEST(DistortionSweep, EveryReadingIsItsDefinitionOrNotANumber)
{
    const Options o = ReadOptions();
    std::printf("distortion sweep: DURNEX_SWEEP_SEED=%" PRIu64 ", %ld cases\n", o.seed, o.cases);
    std::fflush(stdout); // the seed must reach the log even where a case aborts the run
    RecordProperty("seed", std::to_string(o.seed));
    std::FILE* out = o.out.empty() ? nullptr : std::fopen(o.out.c_str(), "w");
    Tally tally[TSmoothing::kTypeCount][kMeasures];
    std::vector<Bad> bad;
    std::vector<long> open(std::size(kOpenClasses), 0);
    long apart = 0, run = 0, skipped = 0;
    // The drawn cases, then those on the default settings (an eighth as many), each sliced alike.
    std::vector<long> indices;
    if (o.single >= 0)
        indices.push_back(o.single);
    for (long from : {0L, kDefaultsFrom})
        for (long i = o.sliceK; o.single < 0 && i < (from ? o.defaults : o.cases); i += std::max(1L, o.sliceJ))
            indices.push_back(from + i);
    for (const long i : indices) {
        const Case c = Draw(o.seed, i);
        // The sanitizers make the engine tens of times slower: there the large cases are left out.
        if (o.single < 0 && TooLargeForSanitizers(c)) {
            ++skipped;
            continue;
        }
        ++run;
        const Outcome r = RunCase(c);
        const auto expect = Expected(c, r.truth);
        const bool settled = c.Settled();
        Clarity clarity;
        const bool snrShown = r.v[kSnr].has_value();
        const bool missing = c.kind == kOneTone && snrShown && (!r.v[kThdN] || !r.v[kSinad]);
        if (settled || missing)
            clarity = Clear(c, r.truth);
        if (missing && !clarity.apart && HidesAtOnePhase(c, r.truth)) {
            clarity.apart = true;
            clarity.clear[kThdN] = clarity.clear[kSinad] = false;
        }
        apart += (c.kind == kOneTone && snrShown && clarity.apart) ? 1 : 0;
        const std::string replay = "DURNEX_SWEEP_SEED=" + std::to_string(o.seed) + " DURNEX_SWEEP_CASE=" +
                                   std::to_string(i) + ": " + c.Describe();
        if (o.single >= 0)
            std::printf("%s\n", replay.c_str());
        for (int m = 0; m < kMeasures; ++m) {
            const Expect& e = expect[static_cast<std::size_t>(m)];
            Tally& tl = tally[c.window][m];
            const auto& got = r.v[m];
            const bool percent = m == kThd || m == kThdN || m == kImd;
            double gotDb = NAN, err = NAN;
            if (got)
                gotDb = percent ? (*got > 0 ? 20 * std::log10(*got / 100.0) : -INFINITY) : *got;
            if (got && e.judged)
                err = std::isnan(e.truthDb) ? INFINITY : gotDb - e.truthDb;
            if (o.single >= 0)
                std::printf("  %-6s %s truth %s%s\n", kMeasureName[m],
                            got ? Fmt("%.4f dB", gotDb).c_str() : "N/A",
                            e.judged ? (std::isnan(e.truthDb) ? "N/A" : Fmt("%.4f dB", e.truthDb).c_str()) : "(none)",
                            clarity.clear[m] ? ", clear" : "");
            if (out)
                std::fprintf(out, "%" PRIu64 "\t%ld\t%s\t%s\t%d\t%.6f\t%.6f\t%.6f\t%d\t%d\t%d\t%s\n", o.seed, i,
                             kWindowName[c.window], kMeasureName[m], got ? 1 : 0, gotDb,
                             e.judged ? e.truthDb : NAN, err, clarity.clear[m] ? 1 : 0, clarity.apart ? 1 : 0,
                             e.judged ? 1 : 0, c.Describe().c_str());
            // Two tones closer than the lobe read as one tone: no reading of them is judged; a
            // quantity without a definition is never clear.
            if (clarity.clear[m] && e.judged && !std::isnan(e.truthDb)) {
                ++tl.clear;
                tl.clearNa += got ? 0 : 1;
            }
            if (!got) {
                // THD+N and SINAD are everything but the tone: readable wherever SNR is.
                if ((m == kThdN || m == kSinad) && c.kind == kOneTone && snrShown && !clarity.apart) {
                    if (const OpenClass* o = OpenClassOf(kMissing, m, c.window))
                        ++open[o - kOpenClasses];
                    else
                        bad.push_back({2.0, std::string(kMeasureName[m]) + " N/A while SNR reads " +
                                                Fmt("%.2f dB", *r.v[kSnr]) + "; " + replay});
                }
                continue;
            }
            if (!e.judged)
                continue;
            ++tl.shown;
            if (std::isfinite(err))
                tl.over += std::abs(err) > 0.5 ? 1 : 0;
            tl.worst = std::max(tl.worst, std::abs(err));
            const OpenClass* o = std::abs(err) <= 1.0 ? nullptr : OpenClassOf(kOff, m, c.window);
            // A reading counted in an open class is left out of the mean: its class holds it.
            if (o)
                ++open[o - kOpenClasses];
            else if (std::isfinite(err)) {
                tl.sumErr += err;
                ++tl.meanCount;
            }
            if (!o && !(std::abs(err) <= 1.0))
                bad.push_back({std::abs(err), std::string(kMeasureName[m]) + " " + Fmt("%.3f dB", gotDb) + ", truth " +
                                                  (std::isnan(e.truthDb) ? std::string("N/A")
                                                                         : Fmt("%.3f dB", e.truthDb)) +
                                                  "; " + replay});
        }
    }
    if (out)
        std::fclose(out);
    std::printf("%ld cases run (%ld left out under the sanitizers); THD+N/SINAD N/A allowed for %ld where a "
                "harmonic hidden under the leakage could move them more than 0.5 dB\n",
                run, skipped, apart);
    std::printf("%-11s %-6s %7s %9s %7s %8s %7s\n", "window", "measure", "shown", "mean err", ">0.5dB", "clear", "N/A");
    std::string shares;
    for (WORD w = 0; w < TSmoothing::kTypeCount; ++w) {
        for (int m = 0; m < kMeasures; ++m) {
            const Tally& tl = tally[w][m];
            const double mean = tl.meanCount ? tl.sumErr / static_cast<double>(tl.meanCount) : 0.0;
            std::printf("%-11s %-6s %7ld %9.3f %7ld %8ld %7ld\n", kWindowName[w], kMeasureName[m], tl.shown, mean,
                        tl.over, tl.clear, tl.clearNa);
            // Shares are judged where there are enough readings to hold them.
            auto within = [](long n, long total, double share) {
                return Within(static_cast<double>(n), share * static_cast<double>(total));
            };
            const std::string where = std::string(kWindowName[w]) + " " + kMeasureName[m];
            // An open share prints against its bound.
            auto report = [&](ShareKind kind, const std::string& text) {
                if (Ceiling(kind, w, m) != Bound(kind, w))
                    std::printf("open: %s %s (ceiling %.3g; the bound: %.3g)\n", where.c_str(), text.c_str(),
                                Ceiling(kind, w, m), Bound(kind, w));
            };
            if (tl.meanCount >= 20) {
                report(kMeanError, "mean error " + Fmt("%.3f dB", mean));
                if (std::abs(mean) > Ceiling(kMeanError, w, m))
                    shares += where + ": mean error " + Fmt("%.3f dB", mean) + "\n";
            }
            if (Steady(w) && tl.shown >= 50) {
                report(kHalfDb, std::to_string(tl.over) + " of " + std::to_string(tl.shown) + " shown more than 0.5 dB off");
                if (!within(tl.over, tl.shown, Ceiling(kHalfDb, w, m)))
                    shares += where + ": " + std::to_string(tl.over) + " of " + std::to_string(tl.shown) +
                              " shown readings more than 0.5 dB off\n";
            }
            if (tl.clear >= 50) {
                report(kClearNa, std::to_string(tl.clearNa) + " of " + std::to_string(tl.clear) + " clear readings N/A");
                if (!within(tl.clearNa, tl.clear, Ceiling(kClearNa, w, m)))
                    shares += where + ": " + std::to_string(tl.clearNa) + " of " + std::to_string(tl.clear) +
                              " clear readings N/A\n";
            }
        }
    }
    for (std::size_t i = 0; i < open.size(); ++i) {
        const OpenClass& o = kOpenClasses[i];
        const double allowed = o.perThousand * static_cast<double>(run) / 1000.0;
        std::printf("open: %s: %ld in %ld cases (ceiling %.1f per 1,000; the bound: 0)\n", o.what, open[i], run,
                    o.perThousand);
        if (!Within(static_cast<double>(open[i]), allowed))
            shares += std::string(o.what) + ": " + std::to_string(open[i]) + " in " + std::to_string(run) +
                      " cases, above its ceiling of " + Fmt("%.1f", o.perThousand) + " per 1,000\n";
    }
    std::sort(bad.begin(), bad.end(), [](const Bad& a, const Bad& b) { return a.severity > b.severity; });
    std::string worst;
    for (std::size_t i = 0; i < std::min<std::size_t>(bad.size(), 25); ++i)
        worst += bad[i].text + "\n";
    EXPECT_TRUE(bad.empty()) << bad.size() << " readings wrong or missing (seed " << o.seed << "), the worst:\n"
                             << worst;
    EXPECT_TRUE(shares.empty()) << "seed " << o.seed << ":\n" << shares;
}

namespace {

// A case an earlier run found, drawn again and run; none under the sanitizers where its
// transforms are large.
std::optional<std::pair<Case, Outcome>> Replayed(std::uint64_t seed, long index)
{
    const Case c = Draw(seed, index);
    if (TooLargeForSanitizers(c))
        return std::nullopt;
    return std::pair<Case, Outcome>{c, RunCase(c)};
}

// Replays a case an earlier run found: each judged measure of `measures` shown where `clear`
// says it must be, and within 1 dB of its definition wherever it is shown.
void ExpectReplayed(std::uint64_t seed, long index, unsigned measures, bool clear)
{
    const auto run = Replayed(seed, index);
    if (!run)
        return;
    const auto& [c, o] = *run;
    const auto expect = Expected(c, o.truth);
    for (int m = 0; m < kMeasures; ++m) {
        const auto& got = o.v[m];
        const Expect& e = expect[static_cast<std::size_t>(m)];
        if (!(measures >> m & 1u) || !e.judged)
            continue;
        EXPECT_TRUE(got || !clear) << kMeasureName[m] << " N/A: " << c.Describe();
        if (got)
            EXPECT_NEAR(ShownDb(m, *got), e.truthDb, 1.0) << kMeasureName[m] << ": " << c.Describe();
    }
}

} // namespace

TEST(DistortionSweep, CasesTheSweepFoundReadTheirDefinitionOrNotANumber)
{
    // Cases earlier runs found, replayed: a Kaiser SMPTE pair whose product 690 bins from the low
    // tone read N/A (a beat with the tone's nil leakage fitted there took the product's lobe for a
    // cross term); one Hamming block and a flat-top average that read a product 20-30 dB above
    // its truth; a CCIF pair five bins apart whose second tone was refused for the first
    // tone's lobe beyond it, and their difference product taken for it (IMD 100 %); one Kaiser
    // tone five bins up whose second harmonic's lobe holds that tone's skirt (no second tone).
    // Tones on a bin through the Bartlett and triangular windows: one block of a generated file
    // whose harmonics' skirts were scaled to what the tone's leakage left of their peaks (SNR
    // 38 dB low); a generated file's rounding, lines on bins whose skirts beside the tone's
    // leakage were read as noise (3.5 dB high); a triangular tone whose noise was read as
    // nothing under a harmonic 35 dB above it (THD 1.5 dB high); a Bartlett harmonic read from
    // side bins that hold a 10 % offset's skirt (THD 2.2 dB high); a triangular tone 3.5 bins
    // up whose 2nd harmonic's fit made a harmonic of the leakage's misfit (THD+N 92 dB high); one
    // triangular block on bin 106 whose median bin read nothing, every bin above its leakage then
    // taken for a spur and counted as noise (THD+N 8.8 dB high).
    // Tones and products beside DC: a second tone three bins up (Blackman) and a first one
    // (Kaiser) read N/A, the strongest product eight bins up was left out (Parzen and Kaiser 5-13
    // dB low); a Hann offset's beat with a low tone left the fit singular; a Hamming tone's far
    // leakage beating with its mirror image made every product unsure; a tone a fifth of a bin
    // from the third multiple of one eight bins up, 130 dB above the noise, passed for a harmonic.
    // One flat-top tone with strong harmonics, one of them crowded by its neighbours and placed at
    // its search's edge, then taken for a second tone (IMD read on one tone, twice); a Bartlett
    // tone on a bin whose 2nd harmonic its leakage placed 0.04 bin off (the same); uniform CCIF
    // pairs read 30-60 dB high; a Hann pair whose low tone three bins up went unplaced and a
    // product of it was taken for it (IMD 40 dB high); one force block whose fit traded its
    // columns (IMD 56 dB high); generated 24-bit tones: the transform's own spurs read as a
    // harmonic (Gaussian), the noise read from the certain half of a force window's bins (SNR 86
    // dB low), a triangular tone's hidden bins read as rounding lines (SNR 37 dB low), Parzen and
    // Blackman tones on bins 4 and 40 whose rounding lines on the harmonics' places were read
    // as noise (SNR 1.2-1.4 dB low). One Gaussian block whose noise, beating with a strong skirt,
    // was read as nothing and a lobe of it taken for a harmonic (THD read where there is none).
    // Force pairs clear of the noise whose beats, bounded rather than fitted, left IMD N/A.
    // Low tones three to four bins up whose products' lobes overlap (Gaussian, Kaiser: IMD
    // 1.0-2.3 dB high from their beat); a flat-top pair with no noise the leakage leaves seen
    // (the fit weighed every bin as exact: IMD 1.1 dB high). Uniform and force pairs whose
    // leakages' beat, kept through the average, was read as noise above what the bins beside the
    // products hold (IMD N/A in the clear). Bartlett tones whose beats with their mirror image and
    // a 5-9 % offset the bins told only roughly (SNR 2.1 and 9.1 dB low), and not from one
    // block's phase (THD+N 2.1 dB off); a Gaussian tone whose noise's beat with the leakage was
    // taken off its 2nd harmonic's lobe as a Bartlett tone's is (THD+N 1.7 dB high). A force
    // CCIF pair five bins apart whose second tone was refused for the leaky first tone's lobe
    // beyond it, and their sum product taken for it (IMD 34 dB high); Gaussian and flat-top tones
    // whose strong harmonics a few bins apart share a lobe, one placed off by its neighbour and
    // taken for a second tone (IMD read on one tone). Force tones on a bin whose harmonics'
    // lobes were taken for half of what they hold (THD+N 1.1-1.2 dB low). Six Gaussian blocks at
    // 90 % overlap whose free bins' mean was doubted as if the bins shared the noise only over a
    // lobe's width, where the window's kernel spreads it further (SNR 1.3 dB high).
    // Uniform and force pairs whose IMD read N/A in the clear: an exact CCIF pair whose mirror
    // images' beat, left out, left the noise read as nothing; a difference product placed a 500th
    // of a bin off, its beat column trading with its power; a force pair whose free bins read the
    // noise as scattering like one block's; a product left out whose deviation passed all its
    // lobe could hold. One block of a Hamming pair whose product lies in a tone's lobe, and of a
    // uniform SMPTE pair whose low tone lies four bins up (IMD 2.1-2.7 dB low). One Hamming block
    // of a tone 72 bins up whose beat with its image, fitted from no bin that tells it, was
    // doubted only by what the place moves it (SNR 7.9 dB low, THD+N 1.1 dB high). One Bartlett
    // and one triangular block of a CCIF pair whose product beside a tone, its place set by the
    // tones' unmoved places, traded with its beat with that tone's skirt (IMD 1.0-1.3 dB off). An
    // exponential SMPTE pair whose products' beats with the tones' skirts were bounded as if the
    // two had one shape over the lobe (IMD N/A in the clear). Bartlett tones on a bin of a
    // generated file (odd, even beside an offset, even with harmonics) whose free bins, chiefly
    // the rounding's lines, stood for the bins between them (SNR 1.4-1.5 dB low). Fifty Bartlett
    // blocks of a tone 4.8 bins up beside a 3 % offset, whose place's doubt, taken from the
    // offset's skirt as noise, hid its clear harmonics (THD and THD+N N/A). One uniform block of a
    // tone 0.03 bins above bin 8, placed as far below it (THD 3.3 dB high). Three triangular
    // blocks of a pair 21 and 31 bins up beside a 0.1 % offset, whose skirts met in the bins
    // beside a difference product on a bin: that beat was read as the product (IMD 4.8 dB high).
    // Force tones 18-600 bins up within 0.03 bins of a bin, placed from their lobe alone, which
    // their image's skirt bends (SNR 1.3-2.7 dB low, THD 1.5 dB high). Bartlett and triangular
    // tones whose harmonics' lobes were read from fits one block's noise moved far more than the
    // lobes as they stand (THD+N N/A where SNR read); one Bartlett block of a tone 3753 bins up
    // whose beat with its image was left to the bins (THD+N 1.2 dB low). Uniform pairs whose tones
    // the other's skirt bends: one block of a tone 19 dB under its neighbour placed 0.4 bin off (a
    // product read where there is none), a CCIF pair 10 bins apart (IMD 1.3 dB high). Exponential
    // tones whose beat with their image, fitted beyond what the average keeps of it, took an
    // offset's skirt (THD+N 2.7 dB high) or a harmonic's lobe (clear THD N/A). Blackman, flat-top,
    // Gaussian and Parzen pairs of one to seven blocks whose product stood some 10 dB out of the
    // noise: its beat with the noise, which the window spreads over the bins of its lobe alike,
    // was weighed as if each bin's were its own (IMD 1.0-1.5 dB off, and as sure). Eight
    // exponential blocks of a tone on a bin beside a 6 % offset, whose fit with the offset was
    // refused while the tone's alone, five times as scattered, was kept (THD+N 1.1 dB high).
    // Bartlett, triangular, uniform and force pairs clear of the noise whose IMD read N/A: a
    // product's beats with both tones' far skirts, fitted free though the blocks' turns keep
    // little of them, made up its own column over its lobe; a strong product's skirt beyond the
    // fit's reach, left out of its column, was a misfit that made every product as unsure (over
    // a leaky tone's lobe, that skirt took one exponential block's tone for a product: IMD 11 dB).
    // Gaussian and flat-top tones 3.2-3.5 bins up, one to three blocks, whose 2nd harmonic read from
    // the fit with the offset hid no more than the fit's share (THD 1.7-2.5 dB high); a Hamming tone
    // 3.3 bins up beside a strong 2nd harmonic whose fitted mirror beat's deviation was taken for
    // the noise's alone (THD+N 2.5 dB high); a force SMPTE pair whose mirror beat was taken as exact.
    // One flat-top block of a tone five bins up beside a 2.6 % offset, placed from its lobe alone
    // 0.015 bin off, its harmonics from theirs: their far skirts were read as noise (SNR 8.2 dB low).
    // A Hann tone three bins up placed by that fit beside DC (THD+N 4 dB high); one Gaussian block
    // of a plain tone whose noise lobes were read as they stood (THD+N 1.1 dB low). One uniform
    // block of a CCIF pair whose strongest product, on a bin, the tones' skirts cancelled: its
    // beat, bounded by the power fitted rather than by what the product may hold, left it out
    // unseen (IMD 1.9-3.2 dB low). On the default settings, SMPTE pairs whose low tone lies
    // 3.1-3.2 bins up, placed beside DC in a dip of the fit a tenth to a quarter of a bin off
    // (IMD N/A in the clear). A triangular generated tone on bin 196, whose rounding's lines lie
    // 8 bins apart and whose lines' mean stood for the empty bins between (SNR 5.5 dB low); one
    // triangular block of a tone half a bin off, whose noise's beat with the skirt was cut as
    // spurs (THD+N 3.6 dB low); one Bartlett block of an SMPTE pair whose low tone's direct and
    // mirror skirts cancelled in DC's empty bin, taken as adding in power (IMD 1.0 dB high). A
    // Hamming pair on exact multiples, 37 blocks, whose product under the stronger tone's first
    // sidelobe beat with that tone's mirror image at one phase in every block (IMD 1.3 dB high).
    // One force block of a generated tone on bin 7 whose unseen harmonics'
    // skirts were bounded by the tone's own, which its phase kept thousands of times lower (SNR 73
    // dB low); one force block of a CCIF pair without products whose offset of nothing was fitted
    // beating with the tones, and took their skirts for products with it (IMD -50 dB for none).
    // Parzen and flat-top tones three bins up whose 3rd harmonic, 31 dB down, reached the bins
    // shared with DC unmodelled: the offset or the 2nd harmonic took it (SNR 1.4, THD+N 1.1 dB high). A
    // Gaussian tone on bin 3 beside a 0.4 % offset, 37 blocks in one phase, whose 2nd harmonic 30
    // dB down was refused as the 3rd's lobe edge, its share read from a fit whose offset and image
    // traded: the tone's place went 0.014 bin off (SNR 1.2 dB low). One flat-top block of a tone on
    // bin 3.5 whose beat with its image, read past the tone's power, was shrunk whole, its well-read
    // even part with its doubtful odd one (its far skirt read twice as strong: SNR 1.5 dB high).
    // A Gaussian tone on bin 3 with no offset and a 3rd harmonic 32 dB down, whose 3rd's columns
    // beside DC took the tone's misfit with an offset it hasn't (THD 5.4 dB high). One uniform
    // block of 32768 points, a tone half a bin off 65 dB over its noise, whose beat with its image,
    // kept whole, was held to the averaged tones' share (THD+N 16 dB high). One Hamming block of a
    // tone whose skirt covers every bin, the median bin holding nothing beyond it: each bin whose
    // beat with the noise happened to add passed for a spur (THD+N 3.6 dB high). Triangular pairs on
    // exact multiples whose skirts beat with each other's mirror image, left out, at one phase in every
    // block (IMD 16 dB high; IMD read where there are no products). A generated Parzen tone on bin 6,
    // 23 blocks, whose rounding's lines two bins apart the lobe blurs into white noise: the lines on
    // the harmonics' places were read as noise (SNR 1.1 dB low). Three uniform blocks of an SMPTE pair
    // whose low tone 4.5 bins up, its place left as its lobe read it, set its difference product 0.03
    // bin off (IMD 2.0 dB high); two Hamming blocks of a pair whose offset of nothing was fitted far
    // past DC's lobe, traded with its beats, and those took the lobe beside a low tone for a product
    // (IMD 2.0 dB high). A generated Gaussian tone on bin 3 whose 9th harmonic, between a strong 8th
    // and 10th, cancelled part of their skirts and was read as nothing, its beats with them left out
    // (THD 1.4 dB low); a Gaussian tone on bin 3.5 whose 3rd harmonic, its lobe not listed, lay in the
    // 2nd's, bounded by a fit of the 2nd alone (THD+N 1.3 dB low); a Gaussian pair 3.65 bins apart
    // whose tone's beat with the product two spacings below passed for the product of nothing one
    // spacing below (IMD 1.2 dB high). A Gaussian plain tone 11 bins up whose empty 2nd harmonic's
    // lobe was read from its fit, the fit's own noise left out of the doubt (THD+N 1.7 dB high).
    // A Gaussian tone on bin 3 beside a 1 % offset and a 2nd harmonic 32 dB down, whose fit with
    // both read the offset below nothing, and fitted again without the harmonic, which the bins
    // called for, read the tone 0.9 dB low (SNR 1.2 dB low). One flat-top block of a tone on bin 3.5
    // whose 3rd harmonic beat with the image's skirt, left out of the fit beside DC: the 3rd was
    // refused there and the 2nd took its lobe (THD 1.0 dB high). One Kaiser block of an SMPTE pair
    // whose difference product, 3 bins beside the high tone, was fitted as nothing, its columns
    // traded, and bounded by that fit (IMD 1.8 dB low). Five triangular blocks of a tone on bin 3 whose
    // 2nd harmonic, 33 dB down, cancels the skirt in its lobe: a lobe read below the leakage may hide
    // a harmonic, not only leakage taken too large (read as the latter, THD+N 2.8 dB low). One or
    // two blocks of Blackman, Kaiser and Parzen tones whose harmonic's few bins of noise passed two
    // deviations (THD 1.0-1.1 dB off). A triangular tone on a bin read after one block, the free
    // bins' median far under the noise (the typical content read as nothing, THD+N 3 dB low); one
    // triangular block of a tone with no harmonic in its band, whose THD+N, the noise SNR reads,
    // left out the noise of the bins the free ones stand for (1.0 dB low). One triangular block
    // whose 2nd harmonic, 6 dB over the tone's skirt, cancelled a sixth of it (THD 1.1 dB low). One
    // uniform block beside an offset whose 2nd harmonic, fitted as a second line, left its lobe
    // holding less than nothing, and every bin's doubt negative (THD+N 10 dB high). A Gaussian
    // tone on bin 3 whose 3rd harmonic, in the 2nd's sliver, passed for the 2nd in the fit with
    // the offset too (THD+N 4.4 dB high). Two force blocks of a CCIF pair beside a 1 % offset,
    // whose beats with the tones' far skirts, fitted past what the two amplitudes allow, took the
    // skirts' misfit and left the products 7 and 42 dB high (IMD 8 dB high). One Hann block of
    // 65536 points without a tone, whose strongest lobe of noise, 52 times a bin's mean over five
    // bins, passed for one: a peak found anywhere in the band is weighed against the most the
    // noise reaches over all its places, not over one. One flat-top block of a pair whose low tone
    // lies 3.3 bins up, under DC's lobe, where no second tone is looked for: the strongest product
    // passed for it, and the low tone for a product of the two (IMD 37 dB high). A generated
    // Parzen tone on bin 42 beside a 3.6 % offset, whose image beat the blocks' phases hold: the
    // offset's beat midway to DC, taken as fitted into that beat, read as noise (SNR 21 dB low).
    // One block of a Hann tone on bin 8 on the defaults, whose white noise, 23 bins on the places
    // a generated file's lines would take against 63 between, stood 4.1 apart by chance and was
    // read as those lines (SNR 3.8 dB high). One force block of an SMPTE pair whose low tone lies
    // 3.4 bins up beside a 6 % offset too small to stand out of the tone's skirt: the offset's
    // beat, left out, read the tone 0.5 dB low and its skirt short (THD+N 1.4 dB high). A Gaussian
    // tone on bin 3.04 whose 2nd harmonic, 45 dB down, was refused in the fit beside DC as the 3rd's
    // lobe edge and taken into that fit, its sliver read against it (THD 1.1 dB low, THD+N 1.4 dB).
    // One Bartlett block of a tone on a bin whose 10th harmonic's skirt filled every other bin,
    // read as noise before any harmonic was modelled: a 4th harmonic 26 dB over the band's noise
    // was turned away unmodelled, its skirt counted as noise (SNR 3.8 dB low). A uniform tone on
    // bin 8.5 whose 7th harmonic, 34 dB down midway between bins 59 and 60, fell a hair past half a
    // bin from its peak bin and was modelled as another tone (THD 1.6 dB high); one Parzen block of
    // a tone on bin 3.5 whose 3rd harmonic, in the 2nd's bins, cancelled the tone's sidelobe beside
    // it and was read a third short as the lobe stood (THD+N 1.2 dB low). Force tones on a bin
    // beside an offset, the tone's skirt filling every other bin: a 0.1 % offset read against that
    // skirt went unmodelled, its skirt counted as noise (THD+N 1.1 dB high); a 2.7 % offset's beat
    // with the tone, bounded, left the other half's median near nothing (SNR 1.4 dB low).
    // Triangular windows: one block of a tone on a bin beside a 9 % offset, whose 7th harmonic's
    // skirt, 34 dB down and not yet modelled, bent the fit with the offset (SNR 1.3 dB high); a
    // pair beside a 2 % offset whose strongest product, 25 bins up, its beat with the offset's
    // skirt moved by a quarter (IMD 1.1 dB low); one block of a tone on a bin with no harmonic in
    // its band, whose noise's beat with the skirt passed for spurs (THD+N 2 dB low). One Hamming
    // block of a tone half a bin off beside a 1 % offset, the leakage's misfit over the noise in
    // every bin, the free bins' median and mean both nothing: every bin that happened to hold more
    // passed for a spur (THD+N 11.6 dB high). On the defaults, an SMPTE pair whose low tone lies
    // 1.28 bins up beside a 3.8 % offset, whose kernel meets one bin read: the offset and its beat,
    // free in the far bins, were read below nothing and refused, and the tone took bin 1 for its
    // own (THD+N 1.5 dB high); one whose low tone lies 1.6 bins up, below the search for a second
    // tone: the product 2f2 - f1 passed for it (IMD 7 dB high). A Hann tone 3.2 bins up whose 2nd
    // harmonic keeps two bins of its own beside the tone's lobe, too few to fit: read as it stood
    // where it cancelled the skirt, bounded by that (THD+N 1.1 dB low). A Parzen tone on bin 8
    // beside a 4 % offset: its harmonics' beats bounded by what their bins held beyond the skirts,
    // the beats themselves (THD and THD+N N/A). A Hann CCIF pair whose sum product lies 7.6 bins
    // above the low tone's 2nd harmonic: its skirt, rising through that lobe, read as a harmonic
    // (THD -110 dB where there is none). A flat-top pair of exact multiples, 13 blocks: the low
    // tone's direct and mirror skirts beat in the far bins by the window's unpaired first
    // coefficient, weighed as exact (IMD 1.1 dB high). Generated tones on a bin whose rounding is
    // all the noise: a triangular tone whose odd bins over the limit, the tone's leakage beating
    // with the lines' skirts, were kept as spurs (SNR 1.1 dB low); one Bartlett block of a tone on
    // bin 4 whose odd bins, too few to read, the lines' mean stood for (SNR 1.6 dB low); a flat-top
    // tone whose lines 16 bins apart were read as white noise, the empty bins between taken as full
    // (THD+N 5.8 dB high). Six Kaiser blocks at 75 % overlap whose 2nd harmonic, 23 dB over a bin's
    // noise, its beat with the noise left 22 % low and sure of itself by that low reading (THD 1.1
    // dB low). Six exponential Gaussian blocks of a plain tone on bin 57, whose 2nd harmonic could
    // hide under the skirt at a fifth of the noise: a doubt one way only, taken either way (THD+N
    // N/A). A triangular CCIF pair whose sum product lies 11.6 bins above the high tone's 2nd
    // harmonic, where the free bins' typical content read nothing: the product's skirt went
    // unbounded and read as a harmonic (THD -92 dB where there is none). One Gaussian block of a
    // plain tone beside a 6 % offset, whose truncated skirts meet at the 2nd harmonic: the offset's
    // beat taken at any phase bin by bin let a harmonic hide at seven times what the lobe allows
    // (THD+N N/A where SNR read). Three Kaiser blocks of a SMPTE pair whose low tone lies 3.07 bins
    // up: the first fit traded the difference product below nothing against its beat with the
    // product below, which was then held to naught (IMD 1.5 dB low). A Blackman pair 6.93 bins
    // apart whose products 2f1-2f2 and 2f1-f2 lie 1.502 bins from a tone and from f1+f2: the
    // places read put them inside a bin and a half, skipped unseen (IMD 5.7 dB low).
    struct Replay {
        std::uint64_t seed;
        long index;
        bool clear; // must be shown
        unsigned measures = 1u << kImd;
    };
    const unsigned oneTone = 1u << kThd | 1u << kThdN | 1u << kSnr | 1u << kSinad;
    const unsigned distortionAndNoise = 1u << kThdN | 1u << kSinad;
    for (const Replay& r : {Replay{31415926, 84503, true}, Replay{16180339, 54560, false}, Replay{16180339, 59769, false},
                            Replay{31415926, 90391, true}, Replay{20261209, 26876, false}, Replay{11235813, 42619, true},
                            Replay{57721566, 50109, true}, Replay{14142135, 56829, false}, Replay{11235813, 78010, false},
                            Replay{11235813, 27215, true}, Replay{11235813, 46267, true}, Replay{11235813, 80030, true},
                            Replay{14142135, 38603, false, oneTone}, Replay{11235813, 31277, false, oneTone},
                            Replay{777003, 32302, false, oneTone}, Replay{777003, 27427, false, oneTone},
                            Replay{14142135, 31367, false, oneTone}, Replay{86420135, 7172, false},
                            Replay{86420135, 13473, false}, Replay{97531024, 68016, false},
                            Replay{97531024, 78696, false}, Replay{97531024, 80304, false},
                            Replay{97531024, 41757, false, oneTone}, Replay{97531024, 24575, false, oneTone},
                            Replay{97531024, 26242, false, oneTone}, Replay{31415927, 98360, false},
                            Replay{27182845, 65496, false}, Replay{27182845, 37870, true},
                            Replay{55511133, 27025, true}, Replay{31415927, 10669, true, oneTone},
                            Replay{31415927, 67859, false, oneTone}, Replay{55511133, 93858, false, oneTone},
                            Replay{55511133, 97914, false, oneTone}, Replay{27182845, 31537, true},
                            Replay{27182845, 82466, false}, Replay{27182845, 58196, false},
                            Replay{27182845, 34657, false}, Replay{97531864, 31021, true},
                            Replay{35791113, 5843, true}, Replay{24681357, 84756, false, oneTone},
                            Replay{27221277, 3506, false, oneTone}, Replay{14142136, 95186, false, oneTone},
                            Replay{61803398, 50863, false, oneTone}, Replay{12119201, 72778, false, oneTone},
                            Replay{54913690, 17264, false}, Replay{61803398, 53755, false}, Replay{61803398, 78665, false},
                            Replay{79136238, 10146, false, oneTone}, Replay{54913690, 17, false, oneTone},
                            Replay{18469562, 89801, true}, Replay{18469562, 30441, true}, Replay{54913690, 15041, true},
                            Replay{18469562, 47960, true}, Replay{79670217, 68839, false}, Replay{79670217, 4578, false},
                            Replay{58090607, 3821, false, oneTone}, Replay{58090607, 7640, false, oneTone},
                            Replay{31415926, 58478, false}, Replay{50918692, 20846, false},
                            Replay{27182818, 75, true}, Replay{31415926, 76963, false, oneTone},
                            Replay{31415926, 30757, false, oneTone}, Replay{50918692, 57950, false, oneTone},
                            Replay{50918692, 3787, true, oneTone}, Replay{16180339, 6665, false, oneTone},
                            Replay{44444443, 93638, false}, Replay{33333331, 17423, false, oneTone},
                            Replay{44444443, 66930, false, oneTone}, Replay{33333331, 6205, false, oneTone},
                            Replay{11111117, 47015, false, oneTone},
                            Replay{11111117, 5831, true, distortionAndNoise},
                            Replay{33333331, 77263, true, distortionAndNoise},
                            Replay{55555553, 837, true, distortionAndNoise}, Replay{33333331, 66045, false, oneTone},
                            Replay{55555553, 90805, false}, Replay{11111117, 67548, false},
                            Replay{50918692, 99774, false, oneTone}, Replay{33333331, 69205, true, 1u << kThd},
                            Replay{88888883, 19580, false}, Replay{88888883, 42089, false},
                            Replay{88888883, 14709, false}, Replay{88888883, 64386, false},
                            Replay{99999971, 14516, false}, Replay{99999971, 53513, false},
                            Replay{33333331, 1359, false}, Replay{13579111, 66451, false, oneTone},
                            Replay{13579111, 21502, false, distortionAndNoise}, Replay{88888883, 2448, true},
                            Replay{88888883, 42498, true}, Replay{88888883, 10477, true},
                            Replay{99999971, 20748, true}, Replay{24681357, 25198, false},
                            Replay{88888883, 77694, false}, Replay{88888883, 74235, false},
                            Replay{99999971, 30115, false}, Replay{88888883, 55419, false},
                            Replay{55443321, 72627, false, oneTone}, Replay{70710678, 42946, false, oneTone},
                            Replay{70710678, 82187, false, oneTone}, Replay{16180399, 37591, false},
                            Replay{70710678, 18302, false}, Replay{31415927, 1000007365, true},
                            Replay{27182818, 1000000801, true}, Replay{57721566, 14671, false, oneTone},
                            Replay{57721566, 68029, false, oneTone}, Replay{14142135, 80972, false},
                            Replay{14142135, 18666, false}, Replay{24142424, 35607, false, oneTone},
                            Replay{57721566, 56755, false}, Replay{57721566, 46725, true, oneTone},
                            Replay{31415927, 98137, false, oneTone}, Replay{24142424, 91219, false, oneTone},
                            Replay{22360679, 40074, false, oneTone}, Replay{26457513, 92160, false, oneTone},
                            Replay{26457513, 87253, false, oneTone}, Replay{73205080, 32340, false, oneTone},
                            Replay{26457513, 84695, false, oneTone}, Replay{28284271, 99834, false},
                            Replay{26457513, 11787, false}, Replay{28284271, 43136, false, oneTone},
                            Replay{24142424, 34240, true}, Replay{26457513, 75315, false},
                            Replay{22360679, 65283, false, 1u << kThd | distortionAndNoise},
                            Replay{14142135, 37080, false, distortionAndNoise}, Replay{73205080, 91022, false},
                            Replay{41421356, 27470, false, distortionAndNoise}, Replay{14142135, 39255, false, oneTone},
                            Replay{73205080, 35455, false, oneTone}, Replay{44721359, 35362, false},
                            Replay{54772256, 74440, false, distortionAndNoise},
                            Replay{26457513, 54657, false, oneTone}, Replay{44721359, 7462, false, oneTone},
                            Replay{54772256, 50494, false, oneTone},
                            Replay{26457513, 51414, false, oneTone}, Replay{54772256, 6970, false, oneTone},
                            Replay{12247448, 65364, false, oneTone}, Replay{22912878, 48449, false, oneTone},
                            Replay{22912878, 1151, false, oneTone}, Replay{17320508, 30410, false},
                            Replay{26925824, 16267, false, oneTone}, Replay{37416573, 63647, false},
                            Replay{42426407, 20123, false, oneTone}, Replay{45825757, 1000002830, false, oneTone},
                            Replay{53851648, 19804, false, distortionAndNoise}, Replay{53851648, 88400, false, oneTone},
                            Replay{45825757, 25901, false, oneTone}, Replay{60000001, 42642, true, 1u << kThd},
                            Replay{45825757, 67713, false, oneTone}, Replay{42426407, 43781, false, oneTone},
                            Replay{47958315, 73117, false, oneTone}, Replay{62449979, 74811, false, oneTone},
                            Replay{62449979, 59508, false}, Replay{64031242, 88081, false, oneTone},
                            Replay{62449979, 90121, false, oneTone},
                            Replay{62449979, 1000010248, true, distortionAndNoise},
                            Replay{64031242, 1000011587, false}, Replay{64031242, 1000002317, false, oneTone},
                            Replay{62449979, 90657, false, oneTone}, Replay{60000001, 1000004040, false, 1u << kThd},
                            Replay{64031242, 71587, true}, Replay{64031242, 5920, false, oneTone},
                            Replay{42426407, 76293, false, oneTone}, Replay{45825757, 52123, false, oneTone},
                            Replay{72111025, 17712, false, oneTone},
                            Replay{64031242, 85447, true, distortionAndNoise},
                            Replay{72111025, 9216, false, 1u << kThd},
                            Replay{64031242, 73211, true, distortionAndNoise}, Replay{77459667, 79795, false},
                            Replay{77459667, 38413, true, distortionAndNoise},
                            Replay{92195444, 25426, true, 1u << kThd | distortionAndNoise},
                            Replay{92195444, 7231, false}})
        ExpectReplayed(r.seed, r.index, r.measures, r.clear);
}

TEST(DistortionSweep, HarmonicCasesTheSweepFoundReadTheirDefinitionOrNotANumber)
{
    // THD: a Blackman tone on bin 3 whose 3rd harmonic's bins the 2nd's lobe took (N/A); a Parzen
    // tone on a bin whose fitted leakage fell below nothing beside its harmonics (N/A, a NaN
    // bound); a Blackman harmonic 20 dB over the noise, 12 blocks at 90 % overlap (N/A, its beat
    // with the noise bounded 1.6 times too wide). THD or THD+N 2-24 dB off: Gaussian tones 3-4 bins
    // up whose harmonics' lobes meet or whose 2nd harmonic lies on the edge of the tone's lobe,
    // one block of Parzen tones 4-6 bins up (a 2nd harmonic read as nothing; a fit of nothing);
    // one triangular block whose 2nd or 3rd harmonic cancelled with the tone's leakage,
    // read as the lobe stood with its beat bounded by that (THD+N 1.3-2.7 dB low), or, no bin of
    // its lobe left above the leakage, never fitted at all (one Bartlett block, 1.5 dB low).
    // Gaussian tones 7-8 bins up whose skirt's doubt in the 2nd harmonic's lobe, taken whole, kept THD N/A
    // where no harmonic could hide there. Gaussian and Parzen tones 3.5-4 bins up beside a 1-4 %
    // offset whose 2nd harmonic lies under the tone's lobe: the fit with the offset took it in
    // (THD 2.1-2.5 dB low), or it was read from the sliver of its lobe its own bins show (THD+N
    // 1.1 dB low); a Gaussian tone on bin 3.5 whose offset that fit took for the harmonic (THD
    // 3.5 dB high), and Gaussian tones on bins 3.1 and 3.5 beside an offset whose 3rd harmonic's
    // skirt, 35-38 dB down, that fit gave the 2nd (THD 1.5-3.7 dB high; N/A, the 2nd hidden under
    // the tone's lobe). A Gaussian tone on bin 3 whose 2nd harmonic, 32 dB down on bin 6, that fit
    // left out (THD 3.5 dB low); a Parzen 2nd harmonic 66 dB down cancelling the tone's skirt six
    // bins up, fitted closely and read as hidden (THD+N 3 dB low); a Kaiser tone on bin 3.2 with no
    // 2nd harmonic, whose 3rd's skirt the bins past bin 6 must not give the 2nd (THD 1.9 dB high).
    // A Kaiser tone on bin 3.76, no offset, no 2nd harmonic: the 3rd's lobe edge in bin 8 must not
    // be read as a 2nd harmonic in the offset's place (THD 1.3 dB high); a Blackman tone on bin
    // 3.09 with a 3rd harmonic 65 dB down, whose lobe edge in bins 7-8 must not be either (1.0 dB).
    // A flat-top tone on bin 4.14, one block, no offset: its 2nd harmonic, 69 dB down under the
    // tone's lobe, shows in its beat with the tone more than in its power; refused, the tone's
    // beats bent to it and the noise read low (SNR 2.4 dB high).
    // Triangular tones 3.7 bins up whose 2nd harmonic's lobe, its leakage taken far too high, was
    // bounded by bins whose shortfall counted as nothing (THD+N 1.9-3.1 dB low).
    // Leaky windows, THD N/A: an exponential tone whose noise lies under its leakage everywhere,
    // its harmonics' places doubted by the leakage's whole allowance; a force tone on a bin whose
    // harmonic's beat with the tone's leakage was bounded, not fitted; one uniform block of a tone
    // between bins whose noise read as nothing, its leakage's doubt cut by free bins that could not
    // tell it (THD 5-7 dB high); exponential and force tones whose harmonics' beats with the tone's
    // mirror image were bounded bin by bin, and the noise on the edge of a lobe read as a harmonic.
    // One uniform block, THD 1.2 dB off: a harmonic on a bin, whose power and beat with the
    // leakage share one bin, and a fit that took side bins holding only the leakage's scatter for
    // exact where the noise read as nothing.
    // One force block of a tone on a bin whose 9th harmonic, 32 dB down, meets its skirt over the
    // band at one phase: the tone's fit read that beat as its own with its image, and the leakage
    // it left in the lower harmonics' lobes passed for them (THD+N 1.1 dB high). Four Blackman
    // blocks of a tone 6.4 bins up, whose beat with its image the average keeps a fifth of, fitted
    // whole from a few bins: the skirt at the 2nd harmonic read past what could hide (1.3 dB low).
    // Bartlett tones on a bin, their 2nd or 4th harmonic strong: the harmonics' beats with the
    // tone's skirt over the free bins counted as their power (THD+N 1.1-2.2 dB high). Triangular
    // tones on a bin, their 2nd harmonic read from its side bins, where the leakage of the tone and
    // of its image is all in quadrature; Bartlett tones between bins, their 2nd harmonic under
    // the image's skirt: the harmonic's beats with those went unbounded (THD 1.3-1.5 dB off).
    // Force tones whose harmonic's beat with the tone's skirt was bounded by nothing: one block,
    // the leakage fitted below nothing on the 2nd harmonic's peak (THD 1.4 dB high); a tone on a
    // bin whose 8th harmonic cancelled on its peak bin, its side bins all quadrature (1.2 dB low).
    // Flat-top and Parzen tones 5-6 bins up whose strong harmonic's fit took in a bin its
    // neighbour's lobe shares, bent past its beat's bound and refused (THD N/A in the clear).
    // An exponential 2nd harmonic a few bins under the band's top, its lobe cut there and beating
    // with its own image at a phase the average keeps (THD 1.0 dB low). Generated files of tones
    // 3.2-3.4 bins up with a strong 2nd harmonic, whose beats with the tone's skirts stay put: a
    // Hamming fit that left the beat with the image's skirt unbounded, and a Bartlett lobe read as
    // it stood where the harmonic cancelled the skirt in its peak bin (THD+N 1.6-2.3 dB off).
    // One uniform block of a tone on bin 43.5 whose 2nd harmonic, on a bin 5 dB over the skirt,
    // cancelled it there and was read as nothing, and whose 4th was fitted as if its power and
    // beat, which share that one bin, were told apart (THD 2.2 dB low). Uniform harmonics that
    // must keep their fit: a clear 9th 0.14 bin off its bin, which holds enough of itself beside
    // it, and a 2nd on a bin through 31 blocks, whose beat the blocks' turning phases thin.
    // One Kaiser block of a tone 5.8 bins up, half the band under its harmonics' places, whose noise
    // there was doubted only as the free bins' mean, not as what those bins hold (SNR 1 dB high).
    // Clean pairs whose second tone's skirt over the harmonics' places read as harmonics: a
    // Bartlett, an exponential and a uniform one (THD 1.5-13 % where there is none); a Hann pair
    // whose product six bins from the 2nd harmonic's place passed for it, and an equal CCIF pair
    // whose free bins summed to nothing beside the second tone, a lobe of noise counted.
    // Two Bartlett blocks of a tone on bin 7 beside a 7 % offset: the offset's skirt in the tone's
    // nulls beside the 2nd harmonic's place, taken to meet it at the tone's phase, bounded the
    // harmonic at half its power (THD+N 1.1 dB low); one Bartlett block on bin 19 beside a 0.75 %
    // offset, whose 2nd harmonic, up to a fifth of the noise, may cancel that skirt there unseen
    // (THD+N may read N/A). Thirty-two Bartlett blocks of a generated tone on bin 6 beside a 1.8 %
    // offset, its place read a hair past its doubt, whose rounding's lines two bins apart, the odd
    // bins between them all under the tone's skirt, were read as white noise (SNR 1.8 dB low).
    // Harmonics some 25 dB over the noise in their lobes, three blocks averaged at 75-90 %
    // overlap that hold the noise of one or two: bounded at two deviations as if three counted
    // (THD 1.0 dB off, Hann, Parzen and uniform).
    // One triangular block of a tone 39.8 bins up beside a 7 % offset, whose 3rd harmonic cancelled
    // the skirts in its peak bin and stood whole in the skirt-free bin beside it: its beat, bounded
    // by the peak bin, let the lobe read a fifth of it (THD+N 1.6 dB low). Four Bartlett blocks of a
    // tone on bin 7 beside a 1.3 % offset, its 2nd harmonic cancelling the skirt in its peak bin: its
    // fit from the side bins took the skirt bins' scatter as theirs, and the lobe read as it stood
    // (THD+N 1.1 dB low).
    // One Gaussian block of a tone on bin 3.5 whose 7th harmonic, 7 dB under the 8th 3.5 bins on,
    // cancelled with it over both lobes: their beat, bounded by what it left of the 7th, read
    // THD+N 1.1 dB low (may read N/A).
    struct Replay {
        std::uint64_t seed;
        long index;
        Measure measure;
        bool clear; // must be shown
    };
    for (const Replay& r : {Replay{11235813, 42906, kThd, true}, Replay{11235813, 64215, kThd, true},
                            Replay{11235813, 70124, kThd, true}, Replay{57721566, 57521, kThd, false},
                            Replay{11235813, 97774, kThd, false}, Replay{14142135, 43488, kThdN, false},
                            Replay{57721566, 60834, kThdN, false}, Replay{27182845, 89101, kThd, true},
                            Replay{27182845, 92741, kThd, true}, Replay{31415927, 66293, kThdN, false},
                            Replay{55511133, 64260, kThdN, false}, Replay{71342895, 9628, kThdN, false},
                            Replay{16180339, 16144, kThd, false}, Replay{16180339, 61388, kThd, false},
                            Replay{24681357, 78483, kThd, true}, Replay{35791113, 86392, kThd, true},
                            Replay{97531864, 7252, kThd, true}, Replay{97531864, 57059, kThd, true},
                            Replay{97531864, 42513, kThd, true}, Replay{79136238, 76559, kThd, false},
                            Replay{18469562, 23589, kThd, false}, Replay{18469562, 7592, kThd, false},
                            Replay{35791113, 66795, kThd, false}, Replay{18469562, 19324, kThdN, false},
                            Replay{21494561, 43305, kThd, false}, Replay{31415926, 90314, kThd, false},
                            Replay{31415926, 25207, kThdN, false}, Replay{50918692, 58921, kThd, false},
                            Replay{50918692, 65908, kThdN, false}, Replay{27182818, 28552, kThdN, false},
                            Replay{62831853, 8378, kThd, false}, Replay{17320508, 51766, kThd, false},
                            Replay{22222223, 94066, kSnr, false}, Replay{99999971, 78784, kThdN, false},
                            Replay{88888883, 9525, kThdN, false}, Replay{88888883, 27337, kThdN, false},
                            Replay{88888883, 78275, kThdN, false}, Replay{11111117, 2331, kThd, false},
                            Replay{55555553, 30645, kThd, false}, Replay{88888883, 74313, kThd, false},
                            Replay{13579111, 50572, kThd, false}, Replay{31415927, 69545, kThd, false},
                            Replay{31415927, 40959, kThd, false}, Replay{31415927, 17581, kThd, true},
                            Replay{31415927, 23268, kThd, true}, Replay{31415927, 7824, kThd, false},
                            Replay{16180399, 44380, kThdN, false}, Replay{16180399, 14673, kThdN, false},
                            Replay{16180399, 61360, kThdN, false}, Replay{24142424, 91932, kThd, false},
                            Replay{24142424, 16074, kThd, true}, Replay{24142424, 6006, kThd, true},
                            Replay{22360679, 50694, kSnr, false}, Replay{44721359, 2227, kThdN, false},
                            Replay{44721359, 69761, kThd, false}, Replay{26925824, 17803, kThd, false},
                            Replay{26925824, 4625, kThd, false}, Replay{26925824, 16558, kThd, false},
                            Replay{17320508, 43830, kThd, false}, Replay{33166247, 1000003580, kThd, false},
                            Replay{40000003, 3459, kThdN, false}, Replay{31415926, 59024, kThdN, false},
                            Replay{40000003, 68788, kSnr, false}, Replay{50990195, 92369, kThd, false},
                            Replay{50990195, 1000005170, kThd, false}, Replay{26925824, 18877, kThd, false},
                            Replay{50990195, 82540, kThdN, false}, Replay{50990195, 37296, kThdN, false},
                            Replay{53851648, 17768, kThdN, false}})
        ExpectReplayed(r.seed, r.index, 1u << r.measure, r.clear);
}

TEST(DistortionSweep, RunWindowCasesReadWhereTheirSkirtsLeaveNoRoomToHide)
{
    // Force and uniform tones (2-35 blocks, 8-816 bins up) whose readings went N/A: each unseen
    // harmonic was bounded bin by bin at the most its peak bin could cancel (four times the
    // leakage there), though the bins beside its place, turned otherwise by the windows' complex
    // transforms, would show it; and the unseen harmonics' skirts beat with the tone's as if the
    // average kept it whole.
    struct Replay {
        std::uint64_t seed;
        long index;
        Measure measure;
    };
    for (const Replay& r : {Replay{88888883, 4991, kThd}, Replay{88888883, 2243, kThd},
                            Replay{88888883, 16766, kThdN}, Replay{88888883, 1114, kThd},
                            Replay{88888883, 11409, kThd}, Replay{88888883, 8444, kSnr}})
        ExpectReplayed(r.seed, r.index, 1u << r.measure, true);
}

TEST(DistortionSweep, QuantityStandsClearOnlyWhereNothingCouldHideUnderTheLeakage)
{
    // A Gaussian tone on bin 3, 4th harmonic 36 dB down: the tone's skirt at bin 6 stands 15.5 dB
    // under its peak (exp(-9 / 2.53)), so a 2nd harmonic 15 dB under that skirt, 30 dB down,
    // would outweigh the THD. A tone on bin 40 leaves its harmonics' places clear. An
    // exponential CCIF pair whose hop turns their difference a whole number of times: a product
    // hidden 15 dB under the skirt at 2f2 - f1 keeps its whole beat with it (a third of the IMD).
    // On the default settings (three exponential blocks at 90 % overlap, worth some 1.5 blocks) a
    // 2nd harmonic 20 dB over a bin's noise is no clear THD, nor a plain tone's noise 119 dB down,
    // the Hann skirt over most of the band, a clear SNR; at 38 dB and 78 dB down they are.
    for (const auto& [seed, index, measure, clear] :
         {std::tuple{35791113ull, 88971L, kThd, false}, std::tuple{35791113ull, 22082L, kThd, true},
          std::tuple{27182818ull, 4865L, kImd, false}, std::tuple{27182818ull, 47784L, kImd, true},
          std::tuple{31415927ull, 1000001270L, kThd, false}, std::tuple{31415927ull, 1000000008L, kThd, true},
          std::tuple{31415927ull, 1000004210L, kSnr, false}, std::tuple{31415927ull, 1000000002L, kSnr, true}}) {
        const auto run = Replayed(seed, index);
        if (!run)
            continue;
        EXPECT_EQ(Clear(run->first, run->second.truth).clear[measure], clear) << run->first.Describe();
    }
    // A Gaussian tone 48 bins up, three blocks: the skirt at its 2nd harmonic turns as a
    // harmonic's lobe does, and one 3 dB under it cancels its own power with its beat in every bin
    // (checked with numpy). A Hamming tone on bin 30.5 with 36 blocks leaves none unseen that
    // would move THD+N by half a dB. A Hann tone on bin 69.5 read after two blocks at 90 % overlap
    // and a Blackman tone on bin 10.5, three blocks at 90 %: their blocks share most of their
    // noise, and a 2nd harmonic under the skirt may hide at 16-18 % of the noise.
    for (const auto& [seed, index, hides] :
         {std::tuple{44444443ull, 18147L, true}, std::tuple{33333331ull, 5736L, false},
          std::tuple{24142424ull, 1000005182L, true}, std::tuple{57721566ull, 11328L, true}}) {
        const auto run = Replayed(seed, index);
        if (run)
            EXPECT_EQ(HidesAtOnePhase(run->first, run->second.truth), hides) << run->first.Describe();
    }
}

TEST(DistortionSweep, LinesCrowdedAboveLeaveNoFundamentalBesideDc)
{
    // A Gaussian CCIF pair 4.3 bins apart stands as no lobe; its difference product 4.3 bins up
    // and that product's double fit as a tone beside DC and its 2nd harmonic, and read the pair
    // as THD+N 49 dB. Two tones closer than a lobe read N/A.
    const auto run = Replayed(11235813, 13810);
    if (run)
        EXPECT_FALSE(run->second.v[kThdN]) << run->first.Describe();
}

TEST(DistortionSweep, ThdNCasesOfPairsTheSweepFoundReadTheirDefinitionOrNotANumber)
{
    // Pairs earlier runs found: a force window's low tone four bins up whose fit read the high
    // tone's skirt as its own beat (1.3 dB high; shown right now), the same with one block whose
    // two tones' beat stays (1.3 dB high), and a uniform CCIF pair whose beat meets the blocks at
    // one phase (1.0 dB low), and one uniform block of a CCIF pair three bins apart, neither
    // tone standing as a lobe, whose noise peak was taken for the fundamental (79 dB high).
    // One force block of an SMPTE pair whose low tone three to four bins up was placed from its
    // lobe alone, bent by its image's and the offset's skirts (1.4-1.6 dB low); a uniform pair
    // four bins apart whose weaker tone, its near side holding the two tones' beat, went
    // unmodelled (1.8 dB high). A uniform pair 0.6 dB apart whose weaker tone, on a bin, held more
    // in its lobe than the stronger one between bins and was read as the fundamental (1.0 dB off).
    // Exponential blocks of a random pair whose low tone's image beat was fitted far beyond what
    // the average keeps (1.1 dB high). One exponential block of an SMPTE pair whose low tone, 9
    // bins up, hid a 7 % offset in its lobe, their beat read as the tone (1.5 dB high). One force
    // block of a random pair whose low tone, 7 bins up, beat with a 9 % offset (1.1 dB high).
    // One uniform block of a pair three to four bins apart: the weaker tone placed from its lobe,
    // bent by the stronger one's skirt (1.2 dB high), and a tone six bins up placed by its fit
    // with its mirror image, which took the other tone's skirt for the image's (1.4 dB low).
    // Three uniform blocks of a random pair, the weaker tone five bins up and 0.02 bin past its
    // bin's middle, placed on the wrong side of it (1.3 dB high). Three uniform blocks of an equal
    // CCIF pair 4.3 bins apart, the tone read with their beat in its lobe (0.66 dB low). An
    // exponential random pair whose low tone, 3.4 bins up, a 2 % offset's fit took into its lobe
    // (11.8 dB low). One exponential block of a random pair whose low tone, 11 bins up beside a 7 %
    // offset, was read with another offset that fits the power spectrum as well (1.1 dB high).
    // Three uniform blocks of a random pair four bins apart, the weaker tone on its bin holding its
    // beat with the stronger one's skirt, which the average kept (1.0 dB low). An exponential random
    // pair 30 bins apart, 14 blocks keeping the tones' beat, whose second tone's lobe was read with
    // the beat in it and the beat beyond the lobe as noise (1.8 dB low).
    struct Replay {
        std::uint64_t seed;
        long index;
        bool clear; // must be shown
    };
    for (const Replay& r : {Replay{11235813, 89888, true}, Replay{14142135, 76365, false},
                            Replay{57721566, 93286, false}, Replay{55511133, 12010, false},
                            Replay{24681357, 12668, false}, Replay{97531864, 97132, false},
                            Replay{35791113, 3893, false}, Replay{79136238, 42694, false},
                            Replay{55555553, 62257, false}, Replay{11111117, 47992, false},
                            Replay{88888883, 72533, false}, Replay{88888883, 61722, false},
                            Replay{27182818, 59460, false}, Replay{24142424, 50285, false},
                            Replay{26457513, 17940, false}, Replay{22360679, 27994, false},
                            Replay{28284271, 89020, true}, Replay{22360679, 86732, false},
                            Replay{73205080, 47718, false}})
        ExpectReplayed(r.seed, r.index, 1u << kThdN, r.clear);
}

// A drawn pair's THD+N, its second tone turned through eight phases (after `adjust`): its
// definition within `tolerance`, or N/A.
void ExpectThdNAtEveryPhaseOfTheSecondTone(std::uint64_t seed, long index, double tolerance,
                                           const std::function<void(Case&)>& adjust = {})
{
    for (int step = 0; step < 8; ++step) {
        Case c = Draw(seed, index);
        if (adjust)
            adjust(c);
        c.tones[1].phase = step * M_PI / 4;
        const Outcome o = RunCase(c);
        if (o.v[kThdN])
            EXPECT_NEAR(ShownDb(kThdN, *o.v[kThdN]), Expected(c, o.truth)[kThdN].truthDb, tolerance) << c.Describe();
    }
}

TEST(DistortionSweep, ExponentialPairWhoseBeatTheAverageKeepsReadsThdNAtEveryPhase)
{
    // Through the exponential window a second tone's beat with the fundamental's skirt has the
    // shape of the tone's own power about its lobe, and 14 blocks 30 bins apart keep four fifths
    // of it: whatever the tones' phases, THD+N reads its definition or N/A.
    ExpectThdNAtEveryPhaseOfTheSecondTone(73205080, 47718, 1.0);
}

TEST(DistortionSweep, UniformPairJustPastItsBinReadsThdNAtEveryPhase)
{
    // A weaker tone five bins above a low one, just past its bin's middle on either side, fits
    // almost as well on the wrong side with its beat's sign turned: whatever the tones' phases,
    // THD+N reads its definition or N/A.
    for (const double past : {0.0221, -0.0221, 0.06})
        ExpectThdNAtEveryPhaseOfTheSecondTone(24142424, 50285, 1.0, [past](Case& c) {
            c.tones[1].place = 13.0 + past;
            c.products.clear();
        });
}

TEST(DistortionSweep, OneExponentialBlockBesideAnOffsetReadsThdNAtEveryPhase)
{
    // One exponential block's power spectrum of a 7 % offset and a tone 11 bins up fits other
    // offsets and tones as well, up to 3 dB stronger or weaker: whatever the tone's phase, THD+N
    // reads its definition or N/A, and the block's phase, which tells them apart, leaves it
    // shown at half of them.
    int shown = 0;
    for (int step = 0; step < 8; ++step) {
        Case c = Draw(28284271, 89020);
        c.tones[0].phase = step * M_PI / 4;
        const Outcome o = RunCase(c);
        if (!o.v[kThdN])
            continue;
        ++shown;
        EXPECT_NEAR(ShownDb(kThdN, *o.v[kThdN]), Expected(c, o.truth)[kThdN].truthDb, 1.0) << c.Describe();
    }
    EXPECT_GE(shown, 4);
}

TEST(DistortionSweep, EqualUniformPairReadsEachToneWithoutTheirBeat)
{
    // Three uniform blocks of an equal CCIF pair 4.3 bins apart: each tone's lobe holds their
    // beat, which the average keeps in part, by the tones' phases. Whatever those, THD+N reads
    // within half a dB.
    ExpectThdNAtEveryPhaseOfTheSecondTone(26457513, 17940, 0.5);
}

// Each reading of `m` shown within 1 dB of its definition, for a case changed by `vary` at every step.
void ExpectWithinAtEverySetting(std::uint64_t seed, long index, int m, int steps,
                                const std::function<void(Case&, int)>& vary)
{
    for (int step = 0; step < steps; ++step) {
        Case c = Draw(seed, index);
        if (TooLargeForSanitizers(c))
            return;
        vary(c, step);
        const Outcome o = RunCase(c);
        if (o.v[m])
            EXPECT_NEAR(ShownDb(m, *o.v[m]), Expected(c, o.truth)[m].truthDb, 1.0)
                << kMeasureName[m] << ": " << c.Describe();
    }
}

TEST(DistortionSweep, LinesTheOffsetOrTheThirdHarmonicTookReadTheirDefinitionOrNotANumber)
{
    // An exponential pair's low tone 2.6-5.5 bins up under a 2 % offset's lobe, at six phases: the
    // offset's fit took the tone's lobe (THD+N 11 dB low at every phase on bin 3.4).
    ExpectWithinAtEverySetting(22360679, 27994, kThdN, 24, [](Case& c, int step) {
        c.tones[1].place = std::array{2.6, 3.37, 4.2, 5.5}[static_cast<std::size_t>(step / 6)];
        c.tones[1].phase = (step % 6) * M_PI / 3;
        c.products.clear();
    });
    // A Gaussian tone on bin 3 with no offset and strong odd harmonics, their phases turned: the
    // third's columns beside DC fitted an offset of most of the tone (THD 5.4 dB high).
    ExpectWithinAtEverySetting(26457513, 92160, kThd, 6, [](Case& c, int step) {
        for (Line& h : c.harmonics)
            h.phase += step * M_PI / 3;
    });
    // One uniform block of 32768 points, the tone 0.40-0.50 bin off at three phases: its image
    // beat, kept whole, held to the averaged tones' share (THD+N 16 dB high).
    ExpectWithinAtEverySetting(26457513, 87253, kThdN, 9, [](Case& c, int step) {
        const double off = std::array{0.40, 0.4978, 0.50}[static_cast<std::size_t>(step / 3)];
        const double moved = std::floor(c.tones[0].place) + off - c.tones[0].place;
        c.tones[0].place += moved;
        for (Line& h : c.harmonics)
            h.place += h.order * moved;
        c.tones[0].phase += (step % 3) * 2 * M_PI / 3;
    });
}

TEST(DistortionSweep, LinesThatCancelAtSomePhaseReadTheirDefinitionOrNotANumber)
{
    // Gaussian 7th and 8th harmonics 3.5 bins apart, one block, the 7th turned through eight
    // phases: where their beat cancels, the 7th's lobe holds a fifth of it (THD+N 1.1 dB low).
    ExpectWithinAtEverySetting(50990195, 37296, kThdN, 8, [](Case& c, int step) {
        for (Line& h : c.harmonics)
            if (h.order == 7)
                h.phase += step * M_PI / 4;
    });
    // One triangular or Bartlett block beside a 7 % offset, the 3rd harmonic turned: where it
    // cancels the skirts in its peak bin, the bin beside it still shows it whole (1.6 dB low).
    ExpectWithinAtEverySetting(50990195, 82540, kThdN, 16, [](Case& c, int step) {
        c.window = step < 8 ? TSmoothing::kTriangular : TSmoothing::kBartlett;
        for (Line& h : c.harmonics)
            if (h.order == 3)
                h.phase += (step % 8) * M_PI / 4;
    });
}

TEST(DistortionSweep, UniformToneBesideAnOffsetReadsThdNAsWithoutIt)
{
    // A uniform run puts an offset into DC's bin alone: a tone beside one, at four phases, reads
    // THD+N as it does without it (N/A with any offset, where its harmonics' bound took the
    // leaky windows' allowance for a beat with the offset there is none of).
    int shown = 0, steps = 0;
    for (const double dc : {0.0, -0.0017, 0.01, -0.05})
        for (int step = 0; step < 4; ++step, ++steps) {
            Case c = Draw(50990195, 66940);
            if (TooLargeForSanitizers(c))
                return;
            c.dc = dc;
            c.tones[0].phase += step * M_PI / 2;
            const Outcome o = RunCase(c);
            if (!o.v[kThdN])
                continue;
            ++shown;
            EXPECT_NEAR(ShownDb(kThdN, *o.v[kThdN]), Expected(c, o.truth)[kThdN].truthDb, 1.0) << c.Describe();
        }
    EXPECT_EQ(shown, steps);
}

TEST(DistortionSweep, ThdNCasesTheSweepFoundReadWhereSnrDoes)
{
    // One-tone cases earlier runs found with THD+N N/A where SNR read: the second harmonic's lobe
    // held the tone's skirt, whose allowed error, taken whole, passed for a harmonic that could
    // hide there, though the free bins beside it showed the skirt read far closer (Blackman,
    // Hann, Parzen and Gaussian, one to five blocks). A plain tone's noise and its harmonics'
    // lobes read to 0.1 dB, whose doubts of independent causes, summed as bounds, passed the
    // fifth allowed (flat-top, Hamming and Gaussian). Two to thirteen Bartlett and triangular
    // blocks whose tone's beat with its mirror image, and with an offset of 5 %, the bins told
    // only to a third at its second harmonic: the blocks' phases tell them. A low flat-top tone
    // whose beat with its mirror image was allowed a fixed share over the band, beyond what its
    // place's doubt moves it by; low Hamming and Hann tones whose harmonics' fitted lobes, each
    // off by its own noise, were summed as bounds. One or two Bartlett and triangular blocks of a
    // tone 6-8 bins up whose beat with its image the bins beside its lobe tell, weighed as closely
    // as the noise there lets them. Gaussian tones (one block on bin 14, eight and 29 blocks
    // between bins) whose mirror image's beat was fitted mostly from bins of plain noise, which
    // outweighed the bins beside the lobe where it shows: the leakage at the second harmonic read
    // up to a fifth high. Parzen tones 4.5-4.6 bins up whose strong second harmonic (35-37 dB
    // down) lay two thirds under the tone's lobe, read from the third its own bins show. Gaussian
    // tones (one, three and 44 blocks) whose second harmonic's fit took the bins' shared noise,
    // and its beat with the skirt, as independent in every bin. Bartlett and triangular tones four
    // to seven bins up beside an offset of 3-5 %, whose place was doubted by the offset's skirt
    // under the lobe as if it were noise, far beyond what its beat can move it: the leakage's
    // doubt at the second harmonic passed the fifth. One to three such blocks, a tone 7-39 bins up
    // beside an offset of 1 % or less, whose harmonics were each bounded by one bin at a time: the
    // beats moved the leakage from the tone's kernel. Gaussian tones 9-37 bins up (3-12 blocks)
    // whose mirror image's skirt turns the leakage's phase a little over the 2nd harmonic's lobe:
    // each bin bounded a harmonic by itself (four times the leakage), or each pair of bins by its
    // own phase. Parzen tones 3.5-4.5 bins up: one to four blocks whose second harmonic's own bins
    // held its beat with the tone, which the fit with the offset took but the check of it did not;
    // a tone 4.3 bins up whose harmonic, half seen, was read widened with that beat only bounded;
    // tones whose harmonic, all but unseen, the fit showed was not there, taken to hide seventy
    // times what its bins held (one with an 8 % offset). A flat-top tone 14 bins up whose
    // harmonics' lobes, read as they stand, kept the leakage's doubt the free bins' mean carries
    // for them. Three Hamming blocks of a plain tone whose harmonics' lobes, read as they stand,
    // kept the doubt of the typical content that no longer stood for them. Eight Hann blocks of a
    // tone 6.5 bins up whose second harmonic's lobe read below its leakage by the noise's beat
    // with it, which then counted twice. One Bartlett or triangular block of a tone 5-39 bins up
    // whose beat with its mirror image the bins told only to a sixth of the leakage at its second
    // harmonic: the block's phase tells it. Lone Hamming tones 28-74 bins up (2-36 blocks) whose
    // beat with their mirror image kept a fixed share of its bound in every bin, some twenty times
    // its real error, summed over the harmonics' lobes. Kaiser and Blackman tones 7-34 bins up
    // (one to three blocks, some beside an offset of up to 7 %) whose mirror image's skirt moved
    // the leakage at the 2nd harmonic a fifth from the tone's own: each bin bounded a harmonic by
    // itself. Bartlett and triangular tones 6-10 bins up (7-45 blocks, offsets of 2-7 %) whose
    // offset's beat with the tone's leakage and its harmonics was bounded as if the average kept
    // it whole, though the blocks' turning phases cancel it. A Bartlett tone on bin 8 whose 3rd
    // harmonic's fit was refused for a beat past its bound by a rounding's crumbs in the nulls
    // of both kernels. Three triangular blocks of a plain tone on bin 28 whose 2nd harmonic's lobe
    // of noise, modelled as a harmonic, was doubted up to all that its bins beside the place, full
    // of the tone's leakage, could cancel, though its place held none.
    // Kaiser, Hann and Blackman tones whose noise lies 125-130 dB under them, near the
    // arithmetic's own rounding, whose doubt was summed with the lobes' as one bound. Four
    // Blackman blocks beside a 3 % offset whose beat with the tone was bounded whole, though the
    // blocks' turning phases leave a tenth of it.
    // A uniform tone 80 bins up with harmonics, two blocks, whose beat with its mirror
    // image kept half its bound in every bin its skirt covers, far beyond what its place moves it.
    // Plain Hamming tones 16-31 bins up (3-54 blocks) beside an offset of 0.7-2 %, whose
    // skirt reaches no bin beyond its lobe, that kept the fixed share of their mirror beat.
    // Eight uniform blocks of a plain tone 123 bins up beside a 1.3 % offset, whose unseen
    // harmonics' skirts beat with the tone's as if the average kept those beats whole.
    // A hidden 2nd harmonic bounded too wide: one Hann block 11 bins up and three Gaussian blocks
    // 9 bins up, each beside a small offset, whose bins each took the skirt's doubt and the noise
    // summed, and pairs of bins in place of all at once; 49 Gaussian blocks 22 bins up whose
    // harmonic's beat with the skirt was taken whole, though the blocks' turning phases cancel it
    // (and plain Gaussian tones 9-74 bins up, 3-60 blocks, some beside an offset of 1-3 %).
    // A Hamming tone 4.5 bins up (49 blocks) beside a 0.3 % offset whose mirror beat's fitted
    // deviation, the noise's own, was summed as one bound with the leakage model's errors.
    // Parzen tones 4.5-5 bins up: a 2nd harmonic 34 dB down refused because the fit without the
    // offset scattered a little more than a scatter read from four bins was taken to allow; no
    // 2nd harmonic beside a 7 % offset, its lobe's leakage misfit doubted whole though the fit
    // with the offset bounded what could hide there.
    // One or two Bartlett and triangular blocks of a tone 10-16 bins up beside an offset of 2-4 %,
    // whose strong 2nd or 3rd harmonic's beat with the offset was bounded bin by bin (the fit then
    // knew the lobe no better than its bound), or whose fit was refused where the offset cancelled
    // the tone's leakage in its kernels' nulls. Two Gaussian blocks of a tone on bin 8 whose
    // 2nd harmonic's fit took in the bin its 3rd's lobe shares, bent past its beat and refused.
    // One Parzen block 4.5 bins up whose lobes of noise had their beat fits refused on edge bins
    // for a beat within the fit's own noise. One Parzen block 4.3 bins up beside a 3 % offset
    // whose 3rd harmonic, its place in a null of the tone's kernel, was refused for a beat the
    // leakage's doubt there allows; three Parzen blocks 3.6 bins up beside a 10 % offset whose
    // 3rd harmonic, crowded into the 2nd's sliver, was widened as the 2nd harmonic's hidden part.
    // Force tones 68-193 bins up 40-49 dB over their noise (one to sixteen blocks, beside offsets
    // of 0.15-8.5 %) whose exact kernel kept the leaky windows' allowance and a fixed share of
    // their beats with the image and the offset, summed over the harmonics' lobes (a lone force tone
    // on a bin, eight blocks, keeps that allowance and reads).
    // Gaussian tones on a bin (17-30 blocks, noise 111-126 dB down) whose skirt covers the band:
    // the free bins' scatter, holding the noise's beat with it, counted a fifth to a half of the
    // blocks, and the 2nd harmonic's hiding room under the skirt with them.
    // A Gaussian tone 104 bins up beside a 3 % offset (nine blocks) whose 2nd harmonic's beat with
    // the offset's skirt was bounded bin by bin, though that skirt turns sign from bin to bin.
    // Uniform tones 36-100 bins up 41-48 dB over their noise (4 and 32 blocks, one beside a
    // 0.15 % offset) whose skirt kept the leaky windows' allowance, summed over the harmonics'
    // lobes and the free bins; and one block of a tone 68 bins up whose empty places on a bin
    // must not be doubted as if a harmonic had cancelled the skirt there. Four uniform blocks of a
    // tone 90 bins up beside a 0.17 % offset, which that window puts into DC's bin alone, taken as
    // beside the tone: its mirror beat kept half its bound over the band (again, 18 blocks 30 bins
    // up beside 0.28 %). One Hann block on the default settings, a tone 4.5 bins up whose 2nd
    // harmonic's bins its image's skirt moves by a tenth: bounded by two of them, not three.
    // Hann tones on the default settings 122 dB over their noise, whose noise's beat with the
    // skirt at the 2nd harmonic was thinned only as the noise's own scatter, though it turns
    // against the noise the overlapping blocks share.
    // One Gaussian block of a tone 8.7 bins up beside a 9.5 % offset, whose fit with the offset was
    // refused: the offset's beat was bounded whole, though the tone's fit alone had read nearly all
    // of it into its beat with its image, whose shape on the skirt it shares.
    // Six force blocks of a plain tone 58 bins up, whose harmonics that could hide under its skirt
    // were summed with the leakage's doubt as if one cause. A Hann tone on the default settings
    // 6.5 bins up, read after four blocks, whose beat with its image the bins told only to its
    // size and the average's share held to nothing: the leakage at the 2nd harmonic read 3 % high.
    struct Replay {
        std::uint64_t seed;
        long index;
    };
    for (const Replay& r : {Replay{13579111, 47578}, Replay{11235813, 46482}, Replay{14142135, 73102},
                            Replay{14142135, 25797}, Replay{27182845, 68741}, Replay{31415927, 89120},
                            Replay{35791113, 45633}, Replay{97531864, 2925},
                            Replay{79136238, 83399}, Replay{79136238, 62832}, Replay{54913690, 5880},
                            Replay{54913690, 4896}, Replay{18469562, 30874}, Replay{79136238, 9320},
                            Replay{18469562, 13413}, Replay{79136238, 65588}, Replay{31415926, 7044},
                            Replay{50918692, 55409}, Replay{31415926, 42291}, Replay{50918692, 13640},
                            Replay{31415926, 40702}, Replay{50918692, 65289},
                            Replay{50918692, 76256}, Replay{16180339, 40265}, Replay{50918692, 32157},
                            Replay{11111117, 86440}, Replay{33333331, 69431},
                            Replay{44444443, 36118}, Replay{33333331, 18853}, Replay{22222223, 13668},
                            Replay{11111117, 47697}, Replay{44444443, 73110}, Replay{22222223, 10931},
                            Replay{22222223, 69722}, Replay{33333331, 56286}, Replay{22222223, 18696},
                            Replay{11111117, 28859}, Replay{33333331, 53840}, Replay{44444443, 29118},
                            Replay{22222223, 8858}, Replay{11111117, 15011}, Replay{33333331, 23305},
                            Replay{33333331, 5736}, Replay{22222223, 22829}, Replay{11111117, 97553},
                            Replay{22222223, 1409}, Replay{55555553, 27914}, Replay{55555553, 13426},
                            Replay{55555553, 44987}, Replay{55555553, 59905}, Replay{6363758, 3651},
                            Replay{88888883, 46550}, Replay{99999971, 77794}, Replay{99999971, 71308},
                            Replay{99999971, 67434},
                            Replay{33333331, 5742}, Replay{11111117, 53437}, Replay{55555553, 69443},
                            Replay{99999971, 17483}, Replay{88888883, 33763}, Replay{88888883, 94972},
                            Replay{88888883, 26912}, Replay{88888883, 49657}, Replay{22222223, 5274},
                            Replay{33333331, 89552}, Replay{88888883, 51385},
                            Replay{99999971, 54818}, Replay{13579111, 24428},
                            Replay{13579111, 52921}, Replay{24681357, 27873}, Replay{24681357, 52505},
                            Replay{24681357, 68412}, Replay{24681357, 73721}, Replay{97531864, 37777},
                            Replay{97531864, 44952}, Replay{99999971, 25021},
                            Replay{99999971, 96080}, Replay{22222223, 7081},
                            Replay{22222223, 11473}, Replay{31415927, 5420}, Replay{88888883, 27511},
                            Replay{27182818, 690}, Replay{24681357, 11206}, Replay{99999971, 90067},
                            Replay{13579111, 76606}, Replay{16180399, 9797}, Replay{31415927, 62814},
                            Replay{31415927, 26527}, Replay{13579111, 36570}, Replay{14142135, 10340},
                            Replay{16180399, 94140}, Replay{86602540, 18019}, Replay{13579111, 13871},
                            Replay{57721566, 43982}, Replay{24142424, 86085}, Replay{24142424, 9822},
                            Replay{24142424, 1268}, Replay{22360679, 96896}, Replay{12247448, 64010},
                            Replay{26925824, 1000006622}, Replay{50990195, 66940},
                            Replay{42426407, 23044}, Replay{50990195, 1000003002}})
        ExpectReplayed(r.seed, r.index, 1u << kThdN | 1u << kSnr, true);
    // Of those, cases whose SNR may read N/A: the noise under their harmonics' places (two fifths
    // to two thirds of the band) scatters by itself beyond what the free bins' mean tells of it, and
    // with their other doubts past the fifth allowed. THD+N must still read.
    for (const Replay& r : {Replay{50918692, 11462}, Replay{11111117, 61641}, Replay{14142135, 64079},
                            Replay{31415927, 31596}, Replay{24142424, 28063}}) {
        ExpectReplayed(r.seed, r.index, 1u << kThdN, true);
        ExpectReplayed(r.seed, r.index, 1u << kSnr, false);
    }
    // A Hann tone on the defaults 122 dB over its noise, whose harmonics' places hold nothing
    // THD+N reads as it stands: there it takes the typical content as SNR does, with that
    // content's own scatter, and may read N/A with it.
    ExpectReplayed(24142424, 1000010495, 1u << kThdN | 1u << kSnr, false);
}

TEST(DistortionSweep, OneBlockOfNoiseShowsNoToneOnAnyWindow)
{
    // One block of noise alone has no fundamental: a peak of it, however its bins share the
    // noise through the window, is no tone, and every measure reads N/A. Replayed: two
    // exponential blocks whose peak passed for a tone (THD+N 8.4 dB, THD 9.5 dB).
    const unsigned every = (1u << kMeasures) - 1;
    ExpectReplayed(88888883, 63204, every, false);
    ExpectReplayed(62831853, 71136, every, false);
    int shown = 0;
    std::string first;
    for (WORD window = 0; window < TSmoothing::kTypeCount; ++window)
        for (DWORD fft : {1024u, 4096u})
            for (long draw = 0; draw < 4; ++draw) {
                Case c;
                c.kind = kNoTone;
                c.style = "no tone";
                c.runSeed = 0x4E015E;
                c.index = (window * 2 + (fft > 1024u)) * 100 + draw;
                c.window = window;
                c.fft = fft;
                c.rate = 44100;
                c.blocks = 1;
                c.fed = 1 + static_cast<int>(draw % 4);
                c.overlap = 50;
                c.averageType = static_cast<WORD>(draw % 2);
                c.noiseVar = std::pow(10.0, -(4.0 + 0.5 * static_cast<double>(draw % 7)));
                const Outcome o = RunCase(c);
                for (int m = 0; m < kMeasures; ++m)
                    if (o.v[m] && shown++ == 0)
                        first = std::string(kMeasureName[m]) + " shown: " + c.Describe();
            }
    EXPECT_EQ(shown, 0) << first;
}

// A drawn one-tone case moved to each offset and place: THD+N and SINAD read wherever SNR
// does, within 1 dB of their truth.
static void ExpectThdNWhereSnrReads(std::uint64_t seed, long index, std::initializer_list<double> offsets,
                                    std::initializer_list<double> places)
{
    const auto drawn = Replayed(seed, index);
    if (!drawn)
        return;
    for (const double dc : offsets)
        for (const double place : places) {
            Case c = drawn->first;
            c.dc = dc;
            c.tones[0].place = place;
            const Outcome o = RunCase(c);
            const auto expect = Expected(c, o.truth);
            if (!o.v[kSnr])
                continue;
            for (const int m : {kThdN, kSinad}) {
                EXPECT_TRUE(o.v[m]) << kMeasureName[m] << " N/A: " << c.Describe();
                if (!o.v[m])
                    continue;
                EXPECT_NEAR(ShownDb(m, *o.v[m]), expect[static_cast<std::size_t>(m)].truthDb, 1.0) << c.Describe();
            }
        }
}

TEST(DistortionSweep, LowHammingToneReadsThdNWhereSnrDoes)
{
    // A Hamming tone a few bins up, beside a small offset or none, many blocks averaged: the
    // fitted mirror beat's own deviation is one error over the harmonics' lobes and the free
    // bins, beside the model's, so THD+N and SINAD read wherever SNR does. At 5.5 bins the low
    // lobes may be read as places a harmonic hides: that reading and the lobe as it stands are
    // weighed with that deviation counted once either way.
    ExpectThdNWhereSnrReads(99999971, 25021, {-0.003, 0.0, 0.002}, {4.3, 4.49, 5.5});
}

TEST(DistortionSweep, PlainHammingToneBesideAnOffsetReadsThdNWhereSnrDoes)
{
    // A plain Hamming tone between bins beside an offset, whose skirt reaches no bin beyond its
    // lobe: THD+N and SINAD read the noise wherever SNR does, the offset of either sign and size.
    ExpectThdNWhereSnrReads(88888883, 26912, {-0.05, -0.01, 0.003, 0.02}, {31.2, 57.81, 72.9});
}

TEST(DistortionSweep, OneBartlettBlockWithAStrongHarmonicBesideAnOffsetReadsThdNWhereSnrDoes)
{
    // One Bartlett block of a tone 11 bins up with a 3rd harmonic 45 dB down, beside an offset
    // of either sign and size: the harmonic's beats with the tone and with the offset are each
    // one number over its lobe, so its lobe reads to a few per cent and THD+N wherever SNR does.
    ExpectThdNWhereSnrReads(27182818, 690, {-0.03, -0.018, -0.008, 0.008, 0.02, 0.04}, {11.16});
}

TEST(DistortionSweep, SmptePairOnTheDefaultSettingsReadsImdOnEveryRead)
{
    // The settings a channel starts with (Hann, FFT 1024, three blocks averaged exponentially at
    // 90 % overlap) and a 60 Hz + 1500 Hz pair at 4:1 whose first products stand 66 dB down, far
    // above the noise: the misfit of DC's lobe, where the tones' far skirts beat with their mirror
    // images, made the products unsure and IMD N/A on half the reads.
    const double bin = 4000.0 / 1024;
    for (int draw = 0; draw < 12; ++draw)
        for (int fed : {30, 37, 44, 51}) {
            Case c;
            c.runSeed = 60;
            c.index = draw;
            c.kind = kTwoTones;
            c.style = "SMPTE on the default settings";
            c.rate = 4000;
            SetTheDefaults(c);
            c.fed = fed;
            c.tones = {Line{60 / bin, 0.4, 0.7 * draw}, Line{1500 / bin, 0.1, 1.3 * draw + 0.5}};
            c.products = {Line{1440 / bin, 5e-5, 2.1 * draw + 1.0}, Line{1560 / bin, 5e-5, 0.9 * draw + 2.0}};
            c.noiseVar = 1e-10;
            c.noiseDb = 100;
            const Outcome o = RunCase(c);
            ASSERT_TRUE(o.v[kImd].has_value()) << c.Describe() << ", read after " << fed;
            const double truth = 100.0 * std::sqrt(o.truth.products / (o.truth.tone + o.truth.second));
            EXPECT_NEAR(20.0 * std::log10(*o.v[kImd] / truth), 0.0, 0.5) << c.Describe();
        }
}

TEST(DistortionSweep, TriangularWindowsReadAGeneratedToneOnAnyBin)
{
    // A generated 24-bit tone on a bin through the Bartlett and triangular windows, on an odd bin
    // or one whose rounding repeats in 4 to 1024 bins: its lines lie that far apart (every other
    // place empty where the tone alone turns sign each half repeat), and the even bins between
    // them hold nothing. SNR reads the rounding within 1 dB wherever shown.
    if (const auto drawn = Replayed(57721566, 14671))
        for (const WORD window : {TSmoothing::kBartlett, TSmoothing::kTriangular})
            for (const double place : {196.0, 200.0, 392.0, 1024.0, 2047.0, 4160.0})
                for (const double dc : {0.0, 0.004}) {
                    Case c = drawn->first;
                    c.window = window;
                    c.tones[0].place = place;
                    c.dc = dc;
                    const Outcome o = RunCase(c);
                    const auto expect = Expected(c, o.truth);
                    if (o.v[kSnr])
                        EXPECT_NEAR(*o.v[kSnr], expect[kSnr].truthDb, 1.0) << c.Describe();
                }
}

TEST(DistortionSweep, GeneratedToneOnAnyBinReadsOnEveryWindow)
{
    // A generated 24-bit tone on a bin, its rounding all the noise there is: a comb of lines whose
    // spacing the tone's bin sets (every 4 to 1024 bins, or every other such place where the tone
    // turns sign each half repeat), the bins between them empty. Through every window, one block
    // or several, beside an offset or none, SNR and THD+N read the rounding within 1 dB or N/A.
    const auto drawn = Replayed(57721566, 14671);
    if (!drawn)
        return;
    for (WORD window = 0; window < TSmoothing::kTypeCount; ++window)
        for (const double place : {4.0, 12.0, 196.0, 1024.0, 2047.0})
            for (const int blocks : {1, 4}) {
                Case c = drawn->first;
                c.fft = 8192;
                c.window = window;
                c.tones[0].place = place;
                c.blocks = c.fed = blocks;
                c.dc = blocks == 1 ? 0.004 : 0.0;
                const Outcome o = RunCase(c);
                const auto expect = Expected(c, o.truth);
                for (const int m : {kSnr, kThdN})
                    if (o.v[m])
                        EXPECT_NEAR(ShownDb(m, *o.v[m]), expect[static_cast<std::size_t>(m)].truthDb, 1.0)
                            << kMeasureName[m] << ": " << c.Describe();
            }
}

TEST(DistortionSweep, PureGaussianToneReadsThdNWhereSnrDoes)
{
    // A Gaussian tone with no harmonic, its skirt at the 2nd harmonic's place above the noise: a
    // harmonic hidden there can only have made THD+N read low, and one block's offset beats the
    // whole lobe at one phase; THD+N and SINAD read wherever SNR does, within 1 dB.
    ExpectThdNWhereSnrReads(64031242, 85447, {0.0, 0.01}, {57.0, 57.3, 63.81});
    ExpectThdNWhereSnrReads(64031242, 73211, {0.0605, -0.02}, {46.5737, 52.2});
}
