// Distortion, noise and level measures of SpectralData, all from the averaged power per bin.
#include "dsp/SpectralData.h"

#include "numerics/CubicSpline.h"
#include "numerics/TFft.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

float Db10(double p)
{
    return p > 0.0 ? static_cast<float>(10.0 * std::log10(p)) : kNoLevelDb;
}

} // namespace

double SpectralData::PowerOfLevel(double level) const
{
    // Displayed levels are dB on a logarithmic scale and amplitudes on a linear one; a level
    // with no value carries no power.
    if (AmpScaleType == 1)
        return level <= -999.0 ? 0.0 : std::pow(10.0, level / 10.0);
    return level * level;
}

float SpectralData::NoiseBandwidthFactor() const
{
    return densityFlag ? 1.0f : noiseBandwidth;
}

float SpectralData::TotalLevel(UINT first, UINT last, WORD ampType, int weighting)
{
    if (!magnitude || bins == 0)
        return 0.0f;
    double sum = 0.0;
    if (weighting == -1) {
        // The squares of the displayed levels (as amplitudes) of bins or bands from..to.
        auto displayedPower = [this](UINT from, UINT to) {
            double total = 0.0;
            for (UINT b = from; b <= to; ++b) {
                double L = GetLevel(static_cast<int>(b));
                if (AmpScaleType == 1)
                    L = L <= -999.0 ? 0.0 : std::pow(10.0, L / 20.0);
                total += L * L;
            }
            return total;
        };
        if (IsOctave()) {
            if (bandCount == 0)
                return 0.0f;
            sum = displayedPower(first, std::min(last, bandCount - 1));
        } else {
            sum = displayedPower(std::max(first, NarrowbandBin(lowFrequency)), std::min(last, bins - 1));
            sum *= NoiseBandwidthFactor();
        }
        if (!(sum > 0.0))
            return 0.0f;
        return ampType == 1 ? static_cast<float>(10.0 * std::log10(sum)) : static_cast<float>(std::sqrt(sum));
    }

    const float* t = nullptr;
    if (weighting >= 1 && weighting <= 3) {
        if (!totalWeighting[weighting - 1])
            BuildWeightingTable(weighting, weighting);
        t = totalWeighting[weighting - 1].get();
    }
    if (IsOctave()) {
        if (!bandTable || bandCount == 0)
            return ampType == 1 ? -999.0f : 0.0f;
        first = std::min(first, bandCount - 1);
        last = std::min(last, bandCount - 1);
        first = NarrowbandBin(bandTable[first].lower);
        last = NarrowbandBin(bandTable[last].upper);
    }
    first = std::max(first, NarrowbandBin(lowFrequency));
    first = std::min(first, bins - 1);
    last = std::min(last, bins - 1);
    if (!this->weighting && !t) {
        // The plain sum, every block: four running sums instead of one long chain of adds.
        double part[4] = {0.0, 0.0, 0.0, 0.0};
        UINT k = first;
        for (; k + 3 <= last; k += 4)
            for (int j = 0; j < 4; ++j)
                part[j] += magnitude[k + j];
        for (; k <= last; ++k)
            part[0] += magnitude[k];
        sum = (part[0] + part[1]) + (part[2] + part[3]);
    } else {
        for (UINT k = first; k <= last; ++k) {
            double p = magnitude[k];
            if (this->weighting && this->weighting[k] != 0.0f)
                p /= static_cast<double>(this->weighting[k]) * this->weighting[k];
            if (t)
                p *= static_cast<double>(t[k]) * t[k];
            sum += p;
        }
    }
    if (!IsOctave())
        sum *= NoiseBandwidthFactor();
    float result;
    if (sum > 0.0)
        result = ampType == 1 ? static_cast<float>(10.0 * std::log10(sum)) : static_cast<float>(std::sqrt(sum));
    else
        return -999.0f;
    if (ampType == 1 && IsCalibrated() && IsPlain())
        result += UnitOffset();
    // Linear levels of an uncalibrated channel are shown in percent of full scale.
    if (ampType != 1 && !IsCalibrated() && !coherenceKind)
        result *= 100.0f;
    return result;
}

void SpectralData::FindRankedPeak(int lo, int hi, float* freq, float* level, int rank) const
{
    if (rank < 0 || rank > 10 || !freq || !level)
        return;
    int found[11] = {};
    if (IsOctave()) {
        if (!bandLevels)
            return;
        lo = std::max(lo, static_cast<int>(GetFirstBand()));
        hi = std::min(hi, static_cast<int>(bandCount));
        for (int r = 0; r <= rank; ++r) {
            float best = kNoLevelDb;
            found[r] = 0;
            for (int b = lo; b < hi; ++b) {
                if (std::find(found, found + r, b) != found + r)
                    continue;
                const float v = GetLevel(b);
                if (v > best) {
                    best = v;
                    found[r] = b;
                }
            }
        }
        *freq = GetBandCentre(static_cast<UINT>(found[rank]));
        *level = GetLevel(found[rank]);
        return;
    }
    if (!magnitude)
        return;
    const int n = static_cast<int>(bins);
    lo = std::max({lo, static_cast<int>(NarrowbandBin(lowFrequency)), 5});
    lo = std::min(lo, n - 6);
    hi = std::min(hi, n - 6);
    const float* mag = magnitude.get();
    for (int r = 0; r <= rank; ++r) {
        float best = -10000000.0f;
        found[r] = 0;
        for (int k = lo; k <= hi; ++k) {
            if (k < 5 || k + 5 >= n)
                continue;
            if (std::find(found, found + r, k) != found + r)
                continue;
            const float v = mag[k];
            if (!(v > best))
                continue;
            bool localMax = true;
            for (int j = 1; j <= 5 && localMax; ++j)
                localMax = v > mag[k - j] && v > mag[k + j];
            if (localMax) {
                best = v;
                found[r] = k;
            }
        }
    }
    if (windowType == 11)
        *freq = GaussianPeakFrequency(found[rank]);
    else
        *freq = GetBinFrequency(static_cast<UINT>(found[rank]));
    *level = GetLevel(found[rank]);
}

float SpectralData::RankedPeakFrequency(float f1, float f2, UINT rank, bool fromPeakHold) const
{
    const int lo = FrequencyToBin(f1), hi = FrequencyToBin(f2);
    if (fromPeakHold)
        return static_cast<float>(PeakHoldFrequency(lo, hi));
    float freq = 0.0f, level = 0.0f;
    FindRankedPeak(lo, hi, &freq, &level, static_cast<int>(rank));
    return freq;
}

float SpectralData::MagnitudeAtFrequency(float f) const
{
    if (!magnitude)
        return 0.0f;
    const UINT b = NarrowbandBin(f);
    if (b < 3 || b + 3 > bins)
        return 0.0f;
    return magnitude[b];
}

namespace {

// Half the main-lobe width of each window type in bins (to its first null, or where a window
// without nulls has shed nearly all of a tone's power): Bartlett, Blackman, Exponential,
// Flattop, Force, Hamming, Hanning, Kaiser, Parzen, Triangular, Uniform, Gaussian.
constexpr int kLobeHalfWidth[TSmoothing::kTypeCount] = {2, 3, 8, 4, 2, 2, 2, 4, 4, 2, 1, 4};

int LobeHalfWidth(WORD type)
{
    return type < TSmoothing::kTypeCount ? kLobeHalfWidth[type] : 1;
}

// The window's response at a frequency offset x (bins) from a tone, as power.
double ResponseAt(const std::vector<double>& w, double x)
{
    const double step = -2.0 * M_PI * x / static_cast<double>(w.size());
    const double c = std::cos(step), s = std::sin(step);
    double re = 0.0, im = 0.0, ur = 1.0, ui = 0.0;
    for (std::size_t n = 0; n < w.size(); ++n) {
        re += w[n] * ur;
        im += w[n] * ui;
        const double t = ur * c - ui * s;
        ui = ur * s + ui * c;
        ur = t;
        if ((n & 1023) == 1023) {
            // The rotation drifts over long windows: restart it from the exact angle.
            const double a = step * static_cast<double>(n + 1);
            ur = std::cos(a);
            ui = std::sin(a);
        }
    }
    return re * re + im * im;
}

// The tone's offset from its strongest bin (-0.5 .. 0.5 bins): the offset whose window
// response best matches the lobe's shape.
double ToneOffset(const std::vector<double>& w, const float* lobe, int halfWidth)
{
    auto mismatch = [&](double delta) {
        double pg = 0.0, gg = 0.0, pp = 0.0;
        for (int m = -halfWidth; m <= halfWidth; ++m) {
            const double gm = ResponseAt(w, m - delta), pm = lobe[m + halfWidth];
            pg += pm * gm;
            gg += gm * gm;
            pp += pm * pm;
        }
        return gg > 0.0 ? pp - pg * pg / gg : pp;
    };
    // Golden-section search; the mismatch has one minimum over half a bin either way.
    const double r = (std::sqrt(5.0) - 1.0) / 2.0;
    double a = -0.5, b = 0.5;
    double x1 = b - r * (b - a), x2 = a + r * (b - a);
    double f1 = mismatch(x1), f2 = mismatch(x2);
    for (int i = 0; i < 24; ++i) {
        if (f1 <= f2) {
            b = x2;
            x2 = x1;
            f2 = f1;
            x1 = b - r * (b - a);
            f1 = mismatch(x1);
        } else {
            a = x1;
            x1 = x2;
            f1 = f2;
            x2 = a + r * (b - a);
            f2 = mismatch(x2);
        }
    }
    return (a + b) / 2.0;
}

} // namespace

const std::vector<double>& SpectralData::WindowShape() const
{
    if (windowShape.size() == N)
        return windowShape;
    try {
        windowShape.assign(N, 1.0);
        // A uniform window is never applied: its table stays all zeros.
        if (windowType < TSmoothing::kTypeCount && windowType != TSmoothing::kUniform) {
            const TSmoothing w(N, windowType, TSmoothing::kNoCorrection);
            if (!w.HasError() && w.GetTable())
                for (UINT n = 0; n < N; ++n)
                    windowShape[n] = w.GetTable()[n];
        }
    } catch (const std::bad_alloc&) {
        windowShape.clear();
    }
    return windowShape;
}

std::vector<double> SpectralData::ToneLeakage(UINT centre, int halfWidth, double lobePower) const
{
    const std::vector<double>& w = WindowShape();
    std::vector<double> leak;
    std::vector<float> v;
    try {
        leak.assign(bins, 0.0);
        v.assign(2 * static_cast<std::size_t>(N), 0.0f);
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (w.size() != N || halfWidth < 1 || centre < static_cast<UINT>(halfWidth) || centre + halfWidth >= bins)
        return leak;
    const double delta = ToneOffset(w, &magnitude[centre - halfWidth], halfWidth);
    // The window shifted by the offset: its transform is the response at every bin's distance
    // from the tone.
    for (UINT n = 0; n < N; ++n) {
        const double a = 2.0 * M_PI * delta * n / N;
        v[2 * n] = static_cast<float>(w[n] * std::cos(a));
        v[2 * n + 1] = static_cast<float>(w[n] * std::sin(a));
    }
    if (!TFft::ComplexTransform(v.data(), static_cast<int>(N), +1))
        return leak;
    auto response = [&](long long m) {
        const std::size_t i = static_cast<std::size_t>(((m % N) + N) % N);
        return static_cast<double>(v[2 * i]) * v[2 * i] + static_cast<double>(v[2 * i + 1]) * v[2 * i + 1];
    };
    // A real tone is a pair at +f and -f; the mirror image leaks into the low bins too.
    double lobe = 0.0;
    for (UINT k = 0; k < bins; ++k) {
        const long long m = static_cast<long long>(k) - centre;
        leak[k] = response(m) + response(-static_cast<long long>(k) - centre);
        if (std::llabs(m) <= halfWidth)
            lobe += leak[k];
    }
    if (!(lobe > 0.0))
        return std::vector<double>(bins, 0.0);
    for (double& x : leak)
        x *= lobePower / lobe;
    return leak;
}

SpectralData::ToneParts SpectralData::AnalyseTone(UINT lo, UINT hi) const
{
    ToneParts parts;
    if (!magnitude || bins < 8)
        return parts;
    const float* mag = magnitude.get();
    const int W = LobeHalfWidth(windowType);
    // DC and its lobe are never part of the band; the fundamental's lobe must clear it.
    const UINT bandLo = std::max<UINT>(lo, 1);
    hi = std::min(hi, bins - 1);
    const UINT from = std::max<UINT>(bandLo, static_cast<UINT>(W));
    const UINT searchFrom = std::max<UINT>(from, static_cast<UINT>(2 * W));
    if (hi <= searchFrom + static_cast<UINT>(W))
        return parts;
    // The strongest peak that stands out as a tone's lobe does: above its neighbours and four
    // times what lies just beyond the lobe on either side. The skirt of a DC offset, which
    // falls away from DC, never counts.
    UINT k0 = 0;
    for (UINT k = searchFrom; k + W <= hi; ++k) {
        if (!(mag[k] > mag[k - 1] && mag[k] >= mag[k + 1]) || (k0 != 0 && mag[k] <= mag[k0]))
            continue;
        const float beyond = std::max(mag[k - W - 1], k + W + 1 < bins ? mag[k + W + 1] : 0.0f);
        if (mag[k] >= 4.0f * beyond)
            k0 = k;
    }
    if (k0 == 0 || !(mag[k0] > 0.0f) || !(BinFrequency(k0) > 1.0f))
        return parts;

    // Bins already given to a tone: 1 fundamental, 2 harmonic.
    std::vector<unsigned char> owner;
    std::vector<double> leak;
    try {
        owner.assign(bins, 0);
    } catch (const std::bad_alloc&) {
        return parts;
    }
    for (UINT k = k0 - W; k <= k0 + W; ++k) {
        parts.fundamental += mag[k];
        owner[k] = 1;
    }
    leak = ToneLeakage(k0, W, parts.fundamental);
    auto net = [&](UINT k) { return mag[k] - (owner[k] == 1 || leak.empty() ? 0.0 : leak[k]); };

    // Harmonics h * f0, each searched within +-2h bins of h times the peak bin; only those
    // inside the band count.
    const double f0 = BinFrequency(k0);
    const double top = BinFrequency(hi);
    const int count = std::min(static_cast<int>(std::trunc(highFrequency / f0)) + 1, 40);
    for (int h = 2; h <= count; ++h) {
        if (h * f0 > top)
            break;
        const long centre = static_cast<long>(h) * k0;
        const long a = std::max<long>(from, centre - 2 * h), b = std::min<long>(hi, centre + 2 * h);
        long best = -1;
        for (long k = a; k <= b; ++k)
            if (owner[static_cast<std::size_t>(k)] == 0 && (best < 0 || mag[k] > mag[best]))
                best = k;
        if (best < 0)
            continue;
        ++parts.harmonicCount;
        const long ka = std::max<long>(from, best - W), kb = std::min<long>(hi, best + W);
        for (long k = ka; k <= kb; ++k) {
            if (owner[static_cast<std::size_t>(k)] != 0)
                continue;
            owner[static_cast<std::size_t>(k)] = 2;
            parts.harmonics += net(static_cast<UINT>(k));
        }
    }

    // The noise: what the bins no tone owns hold, and for the bins under the tones' lobes and
    // the excluded lobe of DC their typical content, so that the whole band counts. Where the
    // window's leakage of the fundamental outweighs the noise, what is left after taking it
    // away is only as good as the prediction: those bins are left to the typical content too.
    // Typical: the mean of the free bins, leaving out spurs (ten times the median and more),
    // which count once where they are.
    std::vector<double> free;
    try {
        free.reserve(hi - from + 1);
    } catch (const std::bad_alloc&) {
        return parts;
    }
    auto collect = [&](double guard) {
        free.clear();
        for (UINT k = from; k <= hi; ++k)
            if (owner[k] == 0 && (leak.empty() || leak[k] <= guard))
                free.push_back(net(k));
    };
    collect(HUGE_VAL);
    const std::size_t unowned = free.size();
    double sum = 0.0;
    for (double v : free)
        sum += v;
    collect(0.05 * std::max(sum, 0.0) / std::max<std::size_t>(unowned, 1));
    // A window that leaks everywhere leaves too few bins clear of it: take all free bins.
    if (free.size() < std::max<std::size_t>(8, unowned / 4))
        collect(HUGE_VAL);
    double freeSum = 0.0, typical = 0.0;
    if (!free.empty()) {
        for (double v : free)
            freeSum += v;
        std::vector<double> sorted = free;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const double limit = 10.0 * std::max(sorted[sorted.size() / 2], 0.0);
        std::size_t n = 0;
        for (double v : free) {
            if (v <= limit) {
                typical += v;
                ++n;
            }
        }
        typical = n > 0 ? std::max(typical, 0.0) / n : 0.0;
    }
    const UINT bandBins = hi - bandLo + 1;
    UINT harmonicBins = 0;
    for (UINT k = from; k <= hi; ++k)
        harmonicBins += owner[k] == 2 ? 1 : 0;
    parts.noise = std::max(freeSum, 0.0) + typical * (bandBins - free.size());
    parts.distortionAndNoise = std::max(parts.harmonics - typical * harmonicBins, 0.0) + parts.noise;
    parts.harmonics = std::max(parts.harmonics, 0.0);
    // A tone stands 10 dB above the noise in as many bins as its lobe.
    parts.tone = parts.fundamental > 10.0 * typical * (2 * W + 1);
    return parts;
}

namespace {

std::optional<float> Percent(double part, double whole)
{
    return static_cast<float>(100.0 * std::sqrt(part / whole));
}

std::optional<float> RatioDb(double part, double whole)
{
    if (!(whole > 0.0))
        return std::nullopt;
    return static_cast<float>(10.0 * std::log10(part / whole));
}

} // namespace

std::optional<float> SpectralData::ComputeThd() const
{
    return ComputeThdInRange(lowFrequency, highFrequency);
}

std::optional<float> SpectralData::ComputeThdInRange(float f1, float f2) const
{
    const ToneParts t = AnalyseTone(NarrowbandBin(f1), NarrowbandBin(f2));
    if (!t.tone || t.harmonicCount == 0)
        return std::nullopt;
    return Percent(t.harmonics, t.fundamental);
}

std::optional<float> SpectralData::ComputeThdN() const
{
    return ComputeThdNInRange(lowFrequency, highFrequency);
}

std::optional<float> SpectralData::ComputeThdNInRange(float f1, float f2) const
{
    const ToneParts t = AnalyseTone(NarrowbandBin(f1), NarrowbandBin(f2));
    if (!t.tone)
        return std::nullopt;
    return Percent(t.distortionAndNoise, t.fundamental);
}

std::optional<float> SpectralData::ComputeSnr() const
{
    return ComputeSnrInRange(lowFrequency, highFrequency);
}

std::optional<float> SpectralData::ComputeSnrInRange(float f1, float f2) const
{
    const ToneParts t = AnalyseTone(NarrowbandBin(f1), NarrowbandBin(f2));
    if (!t.tone)
        return std::nullopt;
    return RatioDb(t.fundamental, t.noise);
}

std::optional<float> SpectralData::ComputeSinad() const
{
    return ComputeSinadInRange(lowFrequency, highFrequency);
}

std::optional<float> SpectralData::ComputeSinadInRange(float f1, float f2) const
{
    const ToneParts t = AnalyseTone(NarrowbandBin(f1), NarrowbandBin(f2));
    if (!t.tone)
        return std::nullopt;
    return RatioDb(t.fundamental, t.distortionAndNoise);
}

void SpectralData::FindValleys(UINT peak, UINT* lo, UINT* hi) const
{
    if (!magnitude || !lo || !hi || bins == 0)
        return;
    const float* mag = magnitude.get();
    const int n = static_cast<int>(bins);
    int start = std::max(static_cast<int>(peak) - 5, 3);
    start = std::min(start, n - 1);
    int minBin = start;
    float minVal = mag[start];
    for (int k = start - 1; k >= 4; --k) {
        if (mag[k] <= minVal) {
            minVal = mag[k];
            minBin = k;
        } else if (mag[k] > 2.0f * minVal) {
            break;
        }
    }
    *lo = static_cast<UINT>(minBin);
    start = std::min(static_cast<int>(peak) + 5, n - 1);
    minBin = start;
    minVal = mag[start];
    for (int k = start + 1; k < n; ++k) {
        if (mag[k] <= minVal) {
            minVal = mag[k];
            minBin = k;
        } else if (mag[k] > 2.0f * minVal) {
            break;
        }
    }
    *hi = static_cast<UINT>(minBin);
}

float SpectralData::ComputeSfdr() const
{
    if (!magnitude || bins == 0)
        return 0.0f;
    UINT lo = 0, hi = 0;
    FindValleys(peakBin, &lo, &hi);
    double spur = -999999.9;
    for (UINT k = 4; k < lo; ++k)
        spur = std::max(spur, static_cast<double>(magnitude[k]));
    for (UINT k = hi; k < bins; ++k)
        spur = std::max(spur, static_cast<double>(magnitude[k]));
    return Db10(magnitude[peakBin]) - Db10(spur);
}

float SpectralData::ComputeImd() const
{
    if (!magnitude || bins == 0)
        return 0.0f;
    const float f1 = BinFrequency(peakBin);
    const int lowBin = static_cast<int>(NarrowbandBin(lowFrequency));
    const int highBin = static_cast<int>(NarrowbandBin(highFrequency));
    double best = -9999.0;
    int second = 0;
    for (int k = lowBin + 1; k < highBin; ++k) {
        if (std::abs(k - static_cast<int>(peakBin)) <= 3)
            continue;
        const double v = GetLevel(k);
        if (v > best) {
            best = v;
            second = k;
        }
    }
    const float f2 = BinFrequency(static_cast<UINT>(second));
    const int b2 = static_cast<int>(NarrowbandBin(f2)), b1 = static_cast<int>(NarrowbandBin(f1));
    const double a1 = PowerOfLevel(MaxLevel(b2 - 3, b2 + 3));
    const double a2 = PowerOfLevel(MaxLevel(b1 - 3, b1 + 3));
    if (a1 == 0.0 || a2 == 0.0 || a1 + a2 == 0.0)
        return 0.0f;
    const float products[9] = {f2 + f1,         f2 - f1,         f2 + 2 * f1,     f2 - 2 * f1, 2 * (f2 + f1),
                               2 * f2 + f1,     2 * f2 - f1,     2 * f2 + 2 * f1, 2 * f2 - 2 * f1};
    double sum = 0.0;
    for (float f : products) {
        if (!(f > 0.0f))
            continue;
        const int b = static_cast<int>(NarrowbandBin(f));
        if (b > 0 && b + 3 < static_cast<int>(bins))
            sum += PowerOfLevel(MaxLevel(b - 3, b + 3));
    }
    const double root = sum > 0.0 ? std::sqrt(sum) : 0.0;
    return static_cast<float>(100.0 * root / std::sqrt(a1 + a2));
}

void SpectralData::FindMinimumInRange(UINT lo, UINT hi, float* freq, float* level) const
{
    if (!freq || !level)
        return;
    if (IsOctave()) {
        hi = std::min(hi, bandCount);
        double best = 1e14;
        UINT found = lo;
        for (UINT b = lo; b < hi; ++b) {
            const double v = GetLevel(static_cast<int>(b));
            if (v < best) {
                best = v;
                found = b;
            }
        }
        *freq = GetBandCentre(found);
        *level = static_cast<float>(best);
        return;
    }
    if (bins == 0)
        return;
    lo = std::max(lo, NarrowbandBin(lowFrequency));
    lo = std::min(lo, bins - 1);
    hi = std::min(hi, bins - 1);
    double best = 1e14;
    UINT found = lo;
    for (UINT k = lo; k <= hi; ++k) {
        const double v = GetLevel(static_cast<int>(k));
        if (v < best) {
            best = v;
            found = k;
        }
    }
    *freq = GetBinFrequency(found);
    *level = static_cast<float>(best);
}

float SpectralData::HalfPowerBandwidth(float f1, float f2, bool fromPeakHold) const
{
    if (!magnitude || bins == 0)
        return 0.0f;
    if (fromPeakHold && (!peakHold || peakHoldCount < bins))
        return 0.0f;
    const UINT lo = NarrowbandBin(f1), hi = NarrowbandBin(f2);
    if (hi < lo + 2)
        return 0.0f;
    std::vector<float> table;
    try {
        table.resize(2 * static_cast<std::size_t>(hi - lo + 1));
    } catch (const std::bad_alloc&) {
        AfxMessageBox("SpectralData - Insufficient memory available for working memory", MB_ICONSTOP);
        return 0.0f;
    }
    for (UINT k = lo; k <= hi; ++k) {
        table[2 * (k - lo)] = BinFrequency(k);
        table[2 * (k - lo) + 1] = fromPeakHold ? std::pow(10.0f, peakHold[k].level / 10.0f) : magnitude[k];
    }
    CubicSpline spline;
    spline.Init(table.data(), hi - lo + 1, CubicSpline::kCubic);
    const float fp = RankedPeakFrequency(f1, f2, 0, fromPeakHold);
    const float v = spline.Evaluate(fp);
    if (!(v > 0.0f))
        return 0.0f;
    float lower = 0.0f, upper = 0.0f;
    bool haveLower = false, haveUpper = false;
    for (int i = 0;; ++i) {
        const float f = fp - 0.1f * static_cast<float>(i);
        if (spline.Evaluate(f) <= v / 2.0f) {
            lower = f;
            haveLower = true;
            break;
        }
        if (f - 0.1f <= f1)
            break;
    }
    for (int i = 0;; ++i) {
        const float f = fp + 0.1f * static_cast<float>(i);
        if (spline.Evaluate(f) <= v / 2.0f) {
            upper = f;
            haveUpper = true;
            break;
        }
        if (f + 0.1f >= f2)
            break;
    }
    // Without a half-power point on both sides there is no bandwidth to report.
    if (!haveLower || !haveUpper)
        return 0.0f;
    return upper - lower;
}

float SpectralData::QualityFactor(float f1, float f2, bool fromPeakHold) const
{
    const float bw = HalfPowerBandwidth(f1, f2, fromPeakHold);
    if (bw <= 0.0f)
        return 0.0f;
    return RankedPeakFrequency(f1, f2, 0, fromPeakHold) / bw;
}
