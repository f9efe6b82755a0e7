// Helpers for the spectrum-engine tests: settings records, synthetic blocks, a fake clock.
#pragma once

#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/ChannelCalibration.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace spectral_test {

inline ChannelProcessingSettings Processing(DWORD rate, DWORD fftSize, WORD window = TSmoothing::kHanning,
                                            WORD bytes = 2)
{
    ChannelProcessingSettings p;
    p.SampleFormat.Set(rate, 1, bytes);
    p.FFTsize = fftSize;
    p.DecimationRatio = 1;
    p.AverageBlocks = 1;
    p.AverageType = 0;
    p.AverageMode = 0;
    p.SmoothingWindow = window;
    return p;
}

inline ChannelScalingSettings Scaling(WORD ampScale, WORD freqScale = 0)
{
    ChannelScalingSettings s;
    s.AmpScaleType = ampScale;
    s.FreqScaleType = freqScale;
    return s;
}

struct Tone {
    double bin;       // frequency in bins (may be fractional)
    double amplitude; // fraction of full scale (peak)
    double phase = 0.0;
};

// Feeds one block of tones (plus optional white noise of the given rms, fraction of full
// scale) through the engine's window: SetTimeSample, window, ComputeSpectrum.
inline void FeedBlock(SpectralData& d, const TSmoothing& w, const std::vector<Tone>& tones, double noiseRms = 0.0,
                      unsigned* seed = nullptr)
{
    const int n = d.GetFftSize();
    const double fs = d.GetFullScale();
    for (int i = 0; i < n; ++i) {
        double v = 0.0;
        for (const Tone& t : tones)
            v += t.amplitude * std::cos(2.0 * M_PI * t.bin * i / n + t.phase);
        if (noiseRms > 0.0 && seed) {
            // Sum of uniforms: cheap, deterministic, near-Gaussian.
            double s = 0.0;
            for (int j = 0; j < 12; ++j) {
                *seed = *seed * 1664525u + 1013904223u;
                s += (*seed >> 8) / 16777216.0;
            }
            v += (s - 6.0) * noiseRms;
        }
        d.SetTimeSample(static_cast<UINT>(i), static_cast<float>(v * fs));
    }
    w.Apply(d.GetFrame());
    d.ComputeSpectrum();
}

// Sets every bin of the frame to the same complex value (for averaging arithmetic).
inline void SetFrameBins(SpectralData& d, float re, float im)
{
    float* f = d.GetFrame();
    for (int k = 0; k < d.GetFftSize() / 2; ++k) {
        f[2 * k] = re;
        f[2 * k + 1] = im;
    }
}

inline ChannelCalibration Calibration(DWORD units, float calRatio, DWORD labelType = 1)
{
    ChannelCalibration c(0);
    c.IsEnabled = 1;
    c.RefUnits = units;
    c.CalRatio = calRatio;
    c.LabelType = labelType;
    c.ConversionType = 0;
    c.IntegrationType = 0;
    return c;
}

// A controllable clock for peak hold.
inline float g_now = 1000.0f;
inline float FakeNow() { return g_now; }

struct FakeClock {
    FakeClock() { SpectralData::SetTimeOfDaySource(&FakeNow); g_now = 1000.0f; }
    ~FakeClock() { SpectralData::SetTimeOfDaySource(nullptr); }
};

} // namespace spectral_test
