// The spectrum plot of an input or composite channel: trace A (and B for two-trace composite
// channels) of the bound engines.
//
// Provisional: it keeps its records and engines, autoscales PlotTop and PlotRange from the
// engines' levels over all their bins, switches the x unit for a cepstrum and shows or hides
// its tool strip; it draws the plot's frame and the channel's caption, and no trace yet.
//
// Threads: user-interface thread only.
#pragma once

#include "plots/TSettingsPlot.h"

struct ChannelProcessingSettings;
struct ChannelScalingSettings;
struct MarkerSettings;
class SpectralData;

class TSpectraPlot : public TSettingsPlot<SpectrumPlotSettings> {
public:
    TSpectraPlot() = default;

    // channel: the input channel 0 to 7, or 8 + the composite index.
    BOOL Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings* processing,
                ChannelScalingSettings* scaling, MarkerSettings* markers, SpectrumPlotSettings* settings,
                SpectralData* traceA, SpectralData* traceB, int channel);

    void SetData(SpectralData* traceA, SpectralData* traceB);
    // PlotTop and PlotRange of the settings from the data; unchanged when the data give no
    // usable span.
    void Autoscale();
    // true: the x axis is quefrency in " msec" (a cepstrum); false: frequency in " Hz".
    void SetTimeUnitsMsec(bool on);

    // The rounded limits of one spectrum over bins first..last; false when nothing usable.
    bool FindAutoscaleLimits(const SpectralData* spectrum, int first, int last, double* top, double* bottom) const;

    SpectralData* GetTraceA() const { return m_traceA; }
    SpectralData* GetTraceB() const { return m_traceB; }
    int GetChannel() const { return m_channel; }
    bool IsQuefrencyMode() const { return m_quefrency; }
    const char* GetXUnit() const { return m_quefrency ? " msec" : " Hz"; }

protected:
    std::string PaneCaption() const override;
    COLORREF PlotBackgroundColor() const override;

private:
    using TPlotBase::Create; // the plot's own Create replaces the frame-window one
    ChannelProcessingSettings* m_processing = nullptr;
    ChannelScalingSettings* m_scaling = nullptr;
    MarkerSettings* m_markers = nullptr;
    SpectralData* m_traceA = nullptr;
    SpectralData* m_traceB = nullptr;
    int m_channel = 0;
    bool m_quefrency = false;
};
