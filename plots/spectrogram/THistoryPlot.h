// What the spectrogram and the 3-D surface share: the records and engines of an input or
// composite channel, and a history of spectra with its times.
//
// Provisional: the history's line capacity is 0, so SetHistoryLine stores nothing and the
// history times stay 0.
//
// Threads: user-interface thread only.
#pragma once

#include "plots/TChannelPlot.h"

#include <string>

class SpectralData;

template <class Settings> class THistoryPlot : public TChannelPlot<Settings> {
public:
    // channel: input 0 to 7 or composite 0 to 15, as composite says.
    BOOL Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings processing,
                ChannelScalingSettings scaling, MarkerSettings markers, Settings* settings, SpectralData* source,
                DWORD word, int channel, int composite);

    void SetData(SpectralData* traceA, SpectralData* traceB);
    void SetScalingSettings(ChannelScalingSettings scaling) { this->m_scaling = scaling; }
    void ClearHistory();
    // Scales from the history, so without one it leaves the scale as it is.
    void Autoscale() {}
    // Play (button, pop-up entry and the frame's Play commands): plays the selected time
    // segment of an input channel through the frame.
    void OnPlaySegment();
    // No play button is pressed yet, so there is nothing to release.
    void ReleasePlayButton() {}
    // No history, so nothing to select.
    void SelectAll() {}
    virtual void ReservedHook() {}

    float GetHistoryStartTime() const { return m_historyStart; }
    float GetHistoryEndTime() const { return m_historyEnd; }
    int GetLineCapacity() const { return 0; }
    void SetHistoryLine(int line, float time);
    void UpdateTimeStrings();

    void GetSelectedSegment(float& start, float& end) override;

    SpectralData* GetTraceA() const { return m_traceA; }
    SpectralData* GetTraceB() const { return m_traceB; }
    const ChannelScalingSettings& GetScalingSettings() const { return this->m_scaling; }
    int GetChannel() const { return m_channel; }
    bool IsComposite() const { return m_composite != 0; }

protected:
    std::string PaneCaption() const override;
    COLORREF PlotBackgroundColor() const override;

private:
    using TPlotBase::Create; // the plot's own Create replaces the frame-window one
    SpectralData* m_traceA = nullptr;
    SpectralData* m_traceB = nullptr;
    int m_channel = 0;
    int m_composite = 0;
    float m_historyStart = 0.0f;
    float m_historyEnd = 0.0f;
};

// Defined once, in THistoryPlot.cpp.
extern template class THistoryPlot<SpectrogramPlotSettings>;
extern template class THistoryPlot<SurfacePlotSettings>;
