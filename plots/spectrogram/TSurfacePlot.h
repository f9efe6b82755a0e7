// The 3-D surface of an input or composite channel: a history of spectra drawn as a
// waterfall.
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

class TSurfacePlot : public THistoryPlot<SurfacePlotSettings> {
public:
    TSurfacePlot() = default;

    virtual void AddSpectrum(float time);
    // Appends the engine's current spectrum as the next history line.
    void Rebuild(SpectralData* traceA, SpectralData* traceB);
};
