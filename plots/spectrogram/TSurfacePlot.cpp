#include "plots/spectrogram/TSurfacePlot.h"

#include "app/settings/SurfacePlotSettings.h"

BOOL TSurfacePlot::Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings processing,
                          ChannelScalingSettings scaling, MarkerSettings markers, SurfacePlotSettings* settings,
                          SpectralData* source, DWORD, int channel, int composite)
{
    m_processing = processing;
    m_scaling = scaling;
    m_markers = markers;
    m_settings = settings;
    m_channel = channel;
    m_composite = composite;
    SetData(source, nullptr);
    SetToolStripShown(!settings || settings->ShowToolbar != 0);
    return CreatePlotWindow(title, style, rect);
}

void TSurfacePlot::SetData(SpectralData* traceA, SpectralData* traceB)
{
    m_traceA = traceA;
    m_traceB = traceB;
    SetPaneMode(traceB ? 2 : 1);
}

void TSurfacePlot::ClearHistory()
{
    m_historyStart = 0.0f;
    m_historyEnd = 0.0f;
}

void TSurfacePlot::ShowToolbar(bool show)
{
    if (m_settings)
        m_settings->ShowToolbar = show ? 1 : 0;
    SetToolStripShown(show);
    UpdateLayout();
}

void TSurfacePlot::AddSpectrum(float) {}

void TSurfacePlot::Rebuild(SpectralData*, SpectralData*) {}

void TSurfacePlot::SetHistoryLine(int, float) {}

void TSurfacePlot::UpdateTimeStrings()
{
    if (m_hWnd)
        InvalidateRect(&m_plotRect, FALSE);
}

void TSurfacePlot::UpdateLayout()
{
    if (m_settings)
        SetToolStripShown(m_settings->ShowToolbar != 0);
    TPlotBase::UpdateLayout();
}

void TSurfacePlot::GetSelectedSegment(float& start, float& end)
{
    start = 0.0f;
    end = 0.0f;
}

std::string TSurfacePlot::PaneCaption() const
{
    std::string caption = GetWindowTextString();
    if (!m_traceA)
        caption += " (no data)";
    return caption;
}

COLORREF TSurfacePlot::PlotBackgroundColor() const { return RGB(0, 0, 0); }
