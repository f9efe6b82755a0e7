// Distortion, noise and level measures of SpectralData, all from the averaged power per bin.
#include "dsp/SpectralData.h"

#include "numerics/CubicSpline.h"
#include "numerics/TFft.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <new>
#include <utility>
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

double SpectralData::DensityBinWidth() const
{
    // Density bins hold power per hertz: each stands for a bin's width of power.
    return static_cast<double>(densityDivisor) * densityDivisor;
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
            sum *= NoiseBandwidthFactor() * DensityBinWidth();
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
        sum *= NoiseBandwidthFactor() * DensityBinWidth();
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


ToneModel::Spectrum SpectralData::ModelSpectrum() const
{
    return {magnitude.get(), bins, N, windowType, binWidth, highFrequency, AverageBlocks, averageCount,
            &blockPhases, phaseBin};
}

ToneModel::Parts SpectralData::FitTone(float f1, float f2) const
{
    return toneModel.FitTone(ModelSpectrum(), NarrowbandBin(f1), NarrowbandBin(f2));
}

namespace {

// A part read to within a fifth of its power (under 1 dB either way), or nothing. Where it may
// be more than read by `above` but less only by `below`, 0.8 to 1.25 of it is as close.
bool Measurable(double part, double below, double above)
{
    return part > 0.0 && below <= 0.2 * part && above <= 0.25 * part;
}

std::optional<float> Percent(double part, double below, double above, double whole)
{
    if (!Measurable(part, below, above) || !(whole > 0.0))
        return std::nullopt;
    return static_cast<float>(100.0 * std::sqrt(part / whole));
}

std::optional<float> Percent(double part, double spread, double whole)
{
    return Percent(part, spread, spread, whole);
}

std::optional<float> RatioDb(double whole, double part, double below, double above)
{
    if (!Measurable(part, below, above) || !(whole > 0.0))
        return std::nullopt;
    return static_cast<float>(10.0 * std::log10(whole / part));
}

std::optional<float> RatioDb(double whole, double part, double spread)
{
    return RatioDb(whole, part, spread, spread);
}

} // namespace

std::optional<float> SpectralData::ComputeThd() const
{
    return ComputeThdInRange(lowFrequency, highFrequency);
}

std::optional<float> SpectralData::ComputeThdInRange(float f1, float f2) const
{
    const ToneModel::Parts t = FitTone(f1, f2);
    if (!t.tone || t.harmonicsFound == 0)
        return std::nullopt;
    return Percent(t.harmonics, t.harmonicsSpread, t.fundamental);
}

std::optional<float> SpectralData::ComputeThdN() const
{
    return ComputeThdNInRange(lowFrequency, highFrequency);
}

std::optional<float> SpectralData::ComputeThdNInRange(float f1, float f2) const
{
    const ToneModel::Parts t = FitTone(f1, f2);
    if (!t.tone)
        return std::nullopt;
    return Percent(t.distortionAndNoise, t.distortionAndNoiseSpreadBelow, t.distortionAndNoiseSpread, t.fundamental);
}

std::optional<float> SpectralData::ComputeSnr() const
{
    return ComputeSnrInRange(lowFrequency, highFrequency);
}

std::optional<float> SpectralData::ComputeSnrInRange(float f1, float f2) const
{
    const ToneModel::Parts t = FitTone(f1, f2);
    if (!t.tone)
        return std::nullopt;
    return RatioDb(t.fundamental, t.noise, t.noiseSpread);
}

std::optional<float> SpectralData::ComputeSinad() const
{
    return ComputeSinadInRange(lowFrequency, highFrequency);
}

std::optional<float> SpectralData::ComputeSinadInRange(float f1, float f2) const
{
    const ToneModel::Parts t = FitTone(f1, f2);
    if (!t.tone)
        return std::nullopt;
    return RatioDb(t.fundamental, t.distortionAndNoise, t.distortionAndNoiseSpreadBelow, t.distortionAndNoiseSpread);
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

std::optional<float> SpectralData::ComputeImd() const
{
    if (!magnitude)
        return std::nullopt;
    ToneModel::TwoTones t;
    // The fit's tables are small, but a failed allocation reads N/A rather than escape.
    try {
        t = toneModel.FitTwoTones(ModelSpectrum(), peakBin, NarrowbandBin(lowFrequency), NarrowbandBin(highFrequency));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (!t.found)
        return std::nullopt;
    return static_cast<float>(100.0 * std::sqrt(t.products / t.tones));
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
