// Composite-channel mathematics of SpectralData: sums, cross spectra, transfer functions and
// coherence, bin by bin, into this (result) engine from buffers of engines of the same size.
// A ratio replaces the averaged cross magnitudes, so its peak bin and overall level are taken
// again from what the engine now shows.
#include "dsp/SpectralData.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

inline float Power(float re, float im) { return re * re + im * im; }
inline float Phase(float re, float im) { return (re == 0.0f && im == 0.0f) ? 0.0f : std::atan2(im, re); }

// Stores bin k from a power and a phase.
inline void PutPolar(float* out, UINT k, double power, double phase)
{
    const double a = power > 0.0 ? std::sqrt(power) : power;
    out[2 * k] = static_cast<float>(a * std::cos(phase));
    out[2 * k + 1] = static_cast<float>(a * std::sin(phase));
}

} // namespace

void SpectralData::UpdateMagnitudeDb()
{
    if (AmpScaleType != 1 || !magnitudeDb || !magnitude)
        return;
    for (UINT k = 0; k < bins; ++k)
        magnitudeDb[k] = magnitude[k] > 0.0f ? 10.0f * std::log10(magnitude[k]) : kNoLevelDb;
}

bool SpectralData::PrepareHeldRatios()
{
    if (heldRatios.size() == bins)
        return true;
    try {
        heldRatios.assign(bins, 0.0f);
    } catch (const std::bad_alloc&) {
        heldRatios.clear();
        return false;
    }
    return true;
}

float SpectralData::HoldRatio(UINT k, float v, bool held)
{
    if (!held)
        return v;
    if (peakDecay != 0)
        v = std::max(heldRatios[k], v);
    heldRatios[k] = v;
    return v;
}

void SpectralData::ComplexSum(const float* const* spectra, int count)
{
    if (!spectra || count <= 0 || !frame)
        return;
    float* out = frame.get();
    for (UINT k = 0; k < bins; ++k) {
        float re = 0.0f, im = 0.0f;
        for (int i = 0; i < count; ++i) {
            if (!spectra[i])
                continue;
            re += spectra[i][2 * k];
            im += spectra[i][2 * k + 1];
        }
        out[2 * k] = re;
        out[2 * k + 1] = im;
    }
}

void SpectralData::RealSum(const float* const* spectra, int count)
{
    if (!spectra || count <= 0 || !frame)
        return;
    float* out = frame.get();
    if (count == 1) {
        if (spectra[0] && spectra[0] != out)
            std::copy_n(spectra[0], 2 * std::size_t{bins}, out);
        return;
    }
    for (UINT k = 0; k < bins; ++k) {
        double power = 0.0, phase = 0.0;
        for (int i = 0; i < count; ++i) {
            if (!spectra[i])
                continue;
            const float re = spectra[i][2 * k], im = spectra[i][2 * k + 1];
            power += Power(re, im);
            phase += Phase(re, im);
        }
        PutPolar(out, k, power, phase);
    }
}

void SpectralData::PolarMean(const float* a, const float* b)
{
    if (!a || !b || !frame)
        return;
    float* out = frame.get();
    for (UINT k = 0; k < bins; ++k) {
        const double mean = (Power(a[2 * k], a[2 * k + 1]) + Power(b[2 * k], b[2 * k + 1])) / 2.0;
        const double phi = (Phase(a[2 * k], a[2 * k + 1]) + Phase(b[2 * k], b[2 * k + 1])) / 2.0;
        PutPolar(out, k, mean, phi);
    }
}

void SpectralData::CrossSpectrum(const float* x, const float* y)
{
    if (!x || !y || !frame)
        return;
    float* out = frame.get();
    for (UINT k = 0; k < bins; ++k) {
        const float xr = x[2 * k], xi = x[2 * k + 1];
        const float yr = y[2 * k], yi = y[2 * k + 1];
        // x * conj(y)
        out[2 * k] = xr * yr + xi * yi;
        out[2 * k + 1] = xi * yr - xr * yi;
    }
    crossKind = 1;
}

void SpectralData::RealTransferFunction(const float* num, const float* den, const void*, const void*)
{
    if (!num || !den || !magnitude)
        return;
    for (UINT k = 0; k < bins; ++k)
        if (den[k] > 0.0f)
            magnitude[k] = num[k] / den[k];
    UpdateMagnitudeDb();
    ratioKind = 1;
    if (IsOctave())
        BuildOctaveBands(true);
    UpdatePeakAndOverallLevel();
}

void SpectralData::CrossOverAuto(const float* referencePower)
{
    if (!referencePower || !magnitude || !averaged)
        return;
    const bool held = PrepareHeldRatios();
    float v = 0.0f;
    for (UINT k = 0; k < bins; ++k) {
        const float den = referencePower[k];
        if (den > 0.0f) {
            const float re = averaged[2 * k] / den, im = averaged[2 * k + 1] / den;
            v = Power(re, im);
        }
        magnitude[k] = HoldRatio(k, v, held);
    }
    UpdateMagnitudeDb();
    transferKind = 1;
    if (IsOctave())
        BuildOctaveBands(true);
    UpdatePeakAndOverallLevel();
}

void SpectralData::Coherence(const float* gx, const float* gy)
{
    if (!gx || !gy || !magnitude || !averaged)
        return;
    const bool held = PrepareHeldRatios();
    float v = 0.0f;
    for (UINT k = 0; k < bins; ++k) {
        const double d = static_cast<double>(gx[k]) * gy[k];
        if (d != 0.0)
            v = static_cast<float>(Power(averaged[2 * k], averaged[2 * k + 1]) / d);
        magnitude[k] = HoldRatio(k, v, held);
    }
    UpdateMagnitudeDb();
    coherenceKind = 1;
    if (IsOctave())
        BuildOctaveBands(true);
    UpdatePeakAndOverallLevel();
}
