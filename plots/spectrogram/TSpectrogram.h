// The spectrogram of an input or composite channel: a history of spectra drawn as a colour
// image.
//
// Provisional: it keeps its records, its bound engines and its own copy of the scaling
// record, shows or hides its tool strip, and draws the plot's frame and the channel's
// caption. It keeps no history of spectra yet: its line capacity is 0, so AddSpectrum,
// Rebuild and SetHistoryLine store nothing and the history times stay 0. Autoscale scales
// from the history, so without one it leaves the scale as it is.
//
// Threads: user-interface thread only.
#pragma once

#include "plots/spectrogram/THistoryPlot.h"

class TSpectrogram : public THistoryPlot<SpectrogramPlotSettings> {
public:
    TSpectrogram() = default;

    void AddSpectrum(float time);
    // The Direction of the plot settings (0..3).
    int GetOrientation() const;
    void Rebuild(int line, SpectralData* traceA, SpectralData* traceB);
};
