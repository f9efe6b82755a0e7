#include "plots/spectrogram/THistoryPlot.h"

#include "records/SpectrogramPlotSettings.h"
#include "records/SurfacePlotSettings.h"

template <class Settings>
BOOL THistoryPlot<Settings>::Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings processing,
                                    ChannelScalingSettings scaling, MarkerSettings markers, Settings* settings,
                                    SpectralData* source, DWORD, int channel, int composite)
{
    this->KeepChannelRecords(processing, scaling, markers);
    m_channel = channel;
    m_composite = composite;
    this->m_settings = settings;
    SetData(source, nullptr);
    this->UseSettings(settings);
    return this->CreatePlotWindow(title, style, rect);
}

template <class Settings> void THistoryPlot<Settings>::SetData(SpectralData* traceA, SpectralData* traceB)
{
    m_traceA = traceA;
    m_traceB = traceB;
    this->SetPaneMode(traceB ? 2 : 1);
}

template <class Settings> void THistoryPlot<Settings>::ClearHistory()
{
    m_historyStart = 0.0f;
    m_historyEnd = 0.0f;
}

template <class Settings> void THistoryPlot<Settings>::SetHistoryLine(int, float) {}

template <class Settings> void THistoryPlot<Settings>::UpdateTimeStrings()
{
    if (this->m_hWnd)
        this->InvalidateRect(&this->m_plotRect, FALSE);
}

template <class Settings> void THistoryPlot<Settings>::GetSelectedSegment(float& start, float& end)
{
    start = 0.0f;
    end = 0.0f;
}

template <class Settings> void THistoryPlot<Settings>::OnPlaySegment()
{
    if (m_composite != 0 || !this->CanPlayOrFilter())
        return;
    float start = 0.0f, end = 0.0f;
    GetSelectedSegment(start, end);
    if (!this->RequestSegmentPlayback(m_channel, start, end))
        ReleasePlayButton();
}

template <class Settings> std::string THistoryPlot<Settings>::PaneCaption() const
{
    std::string caption = this->GetWindowTextString();
    if (!m_traceA)
        caption += " (no data)";
    return caption;
}

template <class Settings> COLORREF THistoryPlot<Settings>::PlotBackgroundColor() const { return RGB(0, 0, 0); }

template class THistoryPlot<SpectrogramPlotSettings>;
template class THistoryPlot<SurfacePlotSettings>;
