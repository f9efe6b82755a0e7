#include "plots/spectrogram/TSpectrogram.h"

#include "app/settings/SpectrogramPlotSettings.h"

BOOL TSpectrogram::Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings processing,
                          ChannelScalingSettings scaling, MarkerSettings markers, SpectrogramPlotSettings* settings,
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

void TSpectrogram::SetData(SpectralData* traceA, SpectralData* traceB)
{
    m_traceA = traceA;
    m_traceB = traceB;
    SetPaneMode(traceB ? 2 : 1);
}

void TSpectrogram::ClearHistory()
{
    m_historyStart = 0.0f;
    m_historyEnd = 0.0f;
}

void TSpectrogram::ShowToolbar(bool show)
{
    if (m_settings)
        m_settings->ShowToolbar = show ? 1 : 0;
    SetToolStripShown(show);
    UpdateLayout();
}

void TSpectrogram::AddSpectrum(float) {}

int TSpectrogram::GetOrientation() const { return m_settings ? m_settings->Direction : 0; }

void TSpectrogram::Rebuild(int, SpectralData*, SpectralData*) {}

void TSpectrogram::SetHistoryLine(int, float) {}

void TSpectrogram::UpdateTimeStrings()
{
    if (m_hWnd)
        InvalidateRect(&m_plotRect, FALSE);
}

void TSpectrogram::UpdateLayout()
{
    if (m_settings)
        SetToolStripShown(m_settings->ShowToolbar != 0);
    TPlotBase::UpdateLayout();
}

void TSpectrogram::GetSelectedSegment(float& start, float& end)
{
    start = 0.0f;
    end = 0.0f;
}

std::string TSpectrogram::PaneCaption() const
{
    std::string caption = GetWindowTextString();
    if (!m_traceA)
        caption += " (no data)";
    return caption;
}

COLORREF TSpectrogram::PlotBackgroundColor() const { return RGB(0, 0, 0); }
