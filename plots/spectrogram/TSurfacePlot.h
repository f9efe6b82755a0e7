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

#include "app/settings/ChannelProcessingSettings.h"
#include "app/settings/ChannelScalingSettings.h"
#include "app/settings/MarkerSettings.h"
#include "plots/TPlotBase.h"

struct SurfacePlotSettings;
class SpectralData;

class TSurfacePlot : public TPlotBase {
public:
    TSurfacePlot() = default;

    // channel: input 0 to 7 or composite 0 to 15, as composite says.
    BOOL Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings processing,
                ChannelScalingSettings scaling, MarkerSettings markers, SurfacePlotSettings* settings,
                SpectralData* source, DWORD word, int channel, int composite);

    void SetData(SpectralData* traceA, SpectralData* traceB);
    void SetScalingSettings(ChannelScalingSettings scaling) { m_scaling = scaling; }
    void ClearHistory();
    void Autoscale() {}
    // No play button is pressed yet, so there is nothing to release.
    void ReleasePlayButton() {}
    void ShowToolbar(bool show);
    // No history, so nothing to select.
    void SelectAll() {}
    virtual void ReservedHook() {}

    virtual void AddSpectrum(float time);
    float GetHistoryStartTime() const { return m_historyStart; }
    float GetHistoryEndTime() const { return m_historyEnd; }
    int GetLineCapacity() const { return 0; }
    // Appends the engine's current spectrum as the next history line.
    void Rebuild(SpectralData* traceA, SpectralData* traceB);
    void SetHistoryLine(int line, float time);
    void UpdateTimeStrings();

    void UpdateLayout() override;
    void GetSelectedSegment(float& start, float& end) override;

    SpectralData* GetTraceA() const { return m_traceA; }
    SpectralData* GetTraceB() const { return m_traceB; }
    SurfacePlotSettings* GetSettings() const { return m_settings; }
    const ChannelScalingSettings& GetScalingSettings() const { return m_scaling; }
    int GetChannel() const { return m_channel; }
    bool IsComposite() const { return m_composite != 0; }

protected:
    std::string PaneCaption() const override;
    COLORREF PlotBackgroundColor() const override;

private:
    using TPlotBase::Create; // the plot's own Create replaces the frame-window one
    ChannelProcessingSettings m_processing;
    ChannelScalingSettings m_scaling;
    MarkerSettings m_markers;
    SurfacePlotSettings* m_settings = nullptr;
    SpectralData* m_traceA = nullptr;
    SpectralData* m_traceB = nullptr;
    int m_channel = 0;
    int m_composite = 0;
    float m_historyStart = 0.0f;
    float m_historyEnd = 0.0f;
};
