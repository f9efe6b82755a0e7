// The readers of SpectralData: displayed levels, peak hold, phases, frequencies, bins, labels.
#include "dsp/SpectralData.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

float SpectralData::UnitOffset() const
{
    switch (calibration.RefUnits) {
    case 2:
    case 8:
        return 93.9794f;
    case 10:
    case 11:
        return 120.0f;
    case 9:
        return 170.752f;
    case 7:
        return 2.213966f;
    default:
        return 0.0f;
    }
}

float SpectralData::GetLevel(int bin) const
{
    float result = 0.0f;
    if (bin < 0)
        return result;
    const UINT b = static_cast<UINT>(bin);
    const bool calibratedPlain = IsCalibrated() && IsPlain();
    if (IsOctave()) {
        if (!bandLevels || b >= bandCount)
            return result;
        double L = bandLevels[b];
        if (calibratedPlain)
            L += UnitOffset();
        if (AmpScaleType != 0 && AmpScaleType != 2 && !coherenceKind)
            return static_cast<float>(L);
        const double lin = std::pow(10.0, L / 20.0);
        if (calibratedPlain) {
            switch (calibration.RefUnits) {
            case 2:
            case 8:
                return static_cast<float>(lin / 1e6 * 20.0);
            case 10:
            case 11:
                return static_cast<float>(lin / 1e6);
            case 9:
                return static_cast<float>(lin / 1e9 * 2.9);
            case 7:
                return static_cast<float>(lin * 0.775);
            default:
                return static_cast<float>(lin);
            }
        }
        if (!coherenceKind && !IsCalibrated())
            return static_cast<float>(lin * 100.0);
        return static_cast<float>(lin);
    }
    if (AmpScaleType == 0 || AmpScaleType == 2) {
        if (!magnitude || b >= bins)
            return result;
        const float p = magnitude[b];
        if (densityFlag && !densityAmplitude)
            result = p;
        else if (p > 0.0f)
            result = std::sqrt(p);
        if (!coherenceKind && !IsCalibrated())
            result *= 100.0f;
        return result;
    }
    if (AmpScaleType == 1) {
        if (!magnitudeDb || b >= bins)
            return result;
        if (densityFlag) {
            // Amplitude and power densities name the same level in dB: 10 log10 of the
            // power per hertz.
            const float p = magnitude ? magnitude[b] : 0.0f;
            result = p > 0.0f ? 10.0f * std::log10(p) : kNoLevelDb;
        } else {
            result = magnitudeDb[b];
        }
        if (calibratedPlain)
            result += UnitOffset();
        if (coherenceKind && magnitude && magnitude[b] > 0.0f)
            result = std::sqrt(magnitude[b]);
        return result;
    }
    return result;
}

void SpectralData::GetLevels(int first, int count, float* out) const
{
    if (count <= 0)
        return;
    // Whatever lies outside the bins this pass reads directly goes through GetLevel, so that
    // the two never disagree.
    const auto fallback = [&] {
        for (int i = 0; i < count; ++i)
            out[i] = GetLevel(first + i);
    };
    if (IsOctave() || first < 0 || (AmpScaleType != 0 && AmpScaleType != 1 && AmpScaleType != 2)) {
        fallback();
        return;
    }
    const UINT end = static_cast<UINT>(std::min<long long>(static_cast<long long>(first) + count, bins));
    const UINT begin = static_cast<UINT>(first);
    float* o = out;
    if (AmpScaleType == 0 || AmpScaleType == 2) {
        if (!magnitude) {
            fallback();
            return;
        }
        const float* m = magnitude.get();
        const bool power = densityFlag && !densityAmplitude;
        const bool percent = !coherenceKind && !IsCalibrated();
        for (UINT b = begin; b < end; ++b, ++o) {
            const float p = m[b];
            float r = 0.0f;
            if (power)
                r = p;
            else if (p > 0.0f)
                r = std::sqrt(p);
            if (percent)
                r *= 100.0f;
            *o = r;
        }
    } else {
        if (!magnitudeDb) {
            fallback();
            return;
        }
        const float* m = magnitude.get();
        const float* db = magnitudeDb.get();
        const bool offset = IsCalibrated() && IsPlain();
        const float unit = offset ? UnitOffset() : 0.0f;
        for (UINT b = begin; b < end; ++b, ++o) {
            float r = 0.0f;
            if (densityFlag) {
                const float p = m ? m[b] : 0.0f;
                r = p > 0.0f ? 10.0f * std::log10(p) : kNoLevelDb;
            } else {
                r = db[b];
            }
            if (offset)
                r += unit;
            if (coherenceKind && m && m[b] > 0.0f)
                r = std::sqrt(m[b]);
            *o = r;
        }
    }
    // Bins beyond the spectrum.
    for (float* stop = out + count; o < stop; ++o)
        *o = 0.0f;
}

double SpectralData::MaxLevel(int lo, int hi) const
{
    if (lo == hi - 1 || lo < 0)
        return GetLevel(hi);
    double best = -999999.0;
    for (int k = lo; k <= hi; ++k) {
        const double v = GetLevel(k);
        if (v > best)
            best = v;
    }
    return best;
}

float SpectralData::GetPeakHoldValue(UINT bin) const
{
    if (!peakHold || peakHoldCount == 0)
        return kNoLevelDb;
    if (bin >= peakHoldCount)
        bin = peakHoldCount - 1;
    const float v = peakHold[bin].level;
    if (coherenceKind)
        return std::pow(10.0f, v / 20.0f);
    return v;
}

int SpectralData::PeakHoldBestBin(int lo, int hi) const
{
    if (lo == hi - 1 || lo < 0)
        return std::max(hi, 0);
    double best = -999999.0;
    int bestBin = -1;
    for (int k = lo; k <= hi; ++k) {
        const double v = GetPeakHoldValue(static_cast<UINT>(k));
        if (v > best) {
            best = v;
            bestBin = k;
        }
    }
    return bestBin;
}

double SpectralData::MaxPeakHold(int lo, int hi) const
{
    if (!peakHold)
        return kNoLevelDb;
    const int b = PeakHoldBestBin(lo, hi);
    return b < 0 ? -999999.0 : GetPeakHoldValue(static_cast<UINT>(b));
}

double SpectralData::PeakHoldFrequency(int lo, int hi) const
{
    if (!peakHold)
        return kNoLevelDb;
    const int b = PeakHoldBestBin(lo, hi);
    return GetBinFrequency(static_cast<UINT>(b < 0 ? lo : b));
}

float SpectralData::GetPhaseDegrees(int bin) const
{
    if (!averaged)
        return 0.0f;
    if (bin < 0)
        bin = 0;
    UINT b = static_cast<UINT>(bin);
    if (IsOctave())
        b = NarrowbandBin(GetBandCentre(b));
    if (b >= bins)
        return 0.0f;
    const float re = averaged[2 * b], im = averaged[2 * b + 1];
    if (re == 0.0f && im == 0.0f)
        return 0.0f;
    return static_cast<float>(std::atan2(im, re) * 57.2957795056);
}

void SpectralData::GetComplexValue(float out[2], int bin) const
{
    out[0] = out[1] = 0.0f;
    if (!averaged || bin < 0)
        return;
    UINT b = static_cast<UINT>(bin);
    UINT phaseBin = b;
    if (IsOctave()) {
        if (b >= bandCount)
            return;
        phaseBin = NarrowbandBin(GetBandCentre(b));
    } else if (b >= bins) {
        return;
    }
    if (phaseBin >= bins)
        return;
    double L = GetLevel(bin);
    if (AmpScaleType == 1)
        L = std::pow(10.0, L / 20.0);
    const float re = averaged[2 * phaseBin], im = averaged[2 * phaseBin + 1];
    const double phi = (re == 0.0f && im == 0.0f) ? 0.0 : std::atan2(im, re);
    out[0] = static_cast<float>(L * std::cos(phi));
    out[1] = static_cast<float>(L * std::sin(phi));
}

float SpectralData::GetBinFrequency(UINT bin) const
{
    if (IsOctave())
        return GetBandCentre(bin);
    if (bin >= bins)
        return span;
    return BinFrequency(bin);
}

int SpectralData::FrequencyToBin(float f) const
{
    if (IsOctave())
        return static_cast<int>(FrequencyToBand(f));
    return static_cast<int>(NarrowbandBin(f));
}

UINT SpectralData::NarrowbandBin(float f) const
{
    if (bins == 0 || !(f >= 0.0f) || !(binWidth > 0.0f))
        return 0;
    if (f > span)
        return bins - 1;
    const double k = std::trunc(static_cast<double>(f) / binWidth + 0.5);
    return k >= bins - 1 ? bins - 1 : static_cast<UINT>(k);
}

float SpectralData::GetLowFrequency() const
{
    if (IsOctave())
        return GetBandLower(GetFirstBand());
    return lowFrequency;
}

float SpectralData::GetHighFrequency() const
{
    if (IsOctave())
        return GetBandUpper(GetLastBand());
    return highFrequency;
}

int SpectralData::GetFirstBin() const
{
    if (IsOctave())
        return static_cast<int>(GetFirstBand());
    return static_cast<int>(NarrowbandBin(lowFrequency));
}

int SpectralData::GetLastBin() const
{
    if (IsOctave())
        return static_cast<int>(GetLastBand());
    return static_cast<int>(NarrowbandBin(highFrequency));
}

int SpectralData::GetBinCount() const
{
    if (IsOctave())
        return static_cast<int>(GetLastBand()) - static_cast<int>(GetFirstBand());
    return static_cast<int>(bins);
}

const char* SpectralData::GetAmplitudeLabel() const
{
    if (AmpScaleType != 0 && AmpScaleType != 2)
        return calibration.LabelLog;
    return calibration.LabelLinear;
}

int SpectralData::FindPeakBin() const
{
    if (!IsOctave())
        return static_cast<int>(peakBin);
    float best = kNoLevelDb;
    int found = 0;
    const int first = static_cast<int>(GetFirstBand()), last = static_cast<int>(GetLastBand());
    for (int b = first; b <= last; ++b) {
        const float v = GetLevel(b);
        if (v > best) {
            best = v;
            found = b;
        }
    }
    return found;
}

float SpectralData::GaussianPeakFrequency(int centreBin) const
{
    if (!gaussianWork || !magnitude || bins < 2)
        return 0.0f;
    float* entry = gaussianWork.get();
    const float half = binWidth / 2.0f;
    for (UINT k = 0; k + 1 < bins; ++k) {
        const float a = magnitude[k] > 0.0f ? 2.5f * std::log(magnitude[k]) : 1.0f;
        const float b = magnitude[k + 1] > 0.0f ? 2.5f * std::log(magnitude[k + 1]) : 1.0f;
        entry[k] = BinFrequency(k) + half + half * (b - a);
    }
    const int lo = std::clamp(centreBin - 1, 4, static_cast<int>(bins) - 1);
    const int hi = std::clamp(centreBin + 1, 4, static_cast<int>(bins) - 1);
    float best = -999999.0f;
    float result = 0.0f;
    for (int k = lo; k <= hi; ++k) {
        const float v = GetLevel(k);
        if (v > best) {
            best = v;
            result = entry[k];
        }
    }
    return result;
}

float SpectralData::GetPeakFrequency() const
{
    if (IsOctave())
        return GetBandCentre(static_cast<UINT>(FindPeakBin()));
    if (windowType == 11)
        return GaussianPeakFrequency(static_cast<int>(peakBin));
    return static_cast<float>(peakBin) * binWidth;
}

void SpectralData::SmoothSpectrum(int width)
{
    if (width <= 0 || !magnitude || !magnitudeDb)
        return;
    const int n = static_cast<int>(bins);
    const int from = (1 - width) / 2, to = (width - 1) / 2;
    for (int k = 0; k < n; ++k) {
        double sum = 0;
        int used = 0;
        for (int j = from; j <= to; ++j) {
            const int i = k - j;
            if (i < 0 || i >= n)
                continue;
            sum += std::sqrt(std::max(magnitude[i], 0.0f));
            ++used;
        }
        const double mean = used ? sum / used : 0.0;
        magnitudeDb[k] = mean > 0 ? static_cast<float>(20.0 * std::log10(mean)) : kNoLevelDb;
    }
    if (!peakHold || IsOctave())
        return;
    // Every bin averages the held levels as they were: smoothed in place, later bins read
    // neighbours already smoothed and kept levels no spectrum shows.
    const int held = static_cast<int>(std::min(peakHoldCount, bins));
    std::vector<double> amplitude;
    try {
        amplitude.resize(static_cast<std::size_t>(held));
    } catch (const std::bad_alloc&) {
        return;
    }
    for (int k = 0; k < held; ++k)
        amplitude[k] = std::pow(10.0, peakHold[k].level / 20.0);
    for (int k = 0; k < held; ++k) {
        double sum = 0;
        int used = 0;
        for (int j = from; j <= to; ++j) {
            const int i = k - j;
            if (i < 0 || i >= held)
                continue;
            sum += amplitude[i];
            ++used;
        }
        const double mean = used ? sum / used : 0.0;
        peakHold[k].level = mean > 0 ? static_cast<float>(20.0 * std::log10(mean)) : kNoLevelDb;
    }
}

void SpectralData::SetBinLevel(int bin, float value, WORD mode)
{
    if (!magnitude || bins == 0 || std::isnan(value))
        return;
    const UINT b = static_cast<UINT>(std::clamp(bin, 0, static_cast<int>(bins) - 1));
    if (mode == 0) {
        // The value is an amplitude: its power and its level in dB agree.
        magnitude[b] = value * value;
        if (magnitudeDb)
            magnitudeDb[b] = value > 0.0f ? 20.0f * std::log10(value) : kNoLevelDb;
    } else if (mode == 1) {
        value = std::clamp(value, -999.0f, 999.0f);
        magnitude[b] = std::pow(10.0f, value / 10.0f);
        if (magnitudeDb)
            magnitudeDb[b] = value;
    }
}
