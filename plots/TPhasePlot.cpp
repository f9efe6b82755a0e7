#include "plots/TPhasePlot.h"

#include "records/PhasePlotSettings.h"

BOOL TPhasePlot::Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings processing,
                        ChannelScalingSettings scaling, MarkerSettings markers, PhasePlotSettings* settings,
                        SpectralData* first, SpectralData* second, int channel)
{
    KeepChannelRecords(processing, scaling, markers);
    m_settings = settings;
    m_first = first;
    m_second = second;
    m_channel = channel;
    m_paneMode = 1;
    m_leftMargin = 60;
    m_rightMargin = 40;
    UseSettings(settings);
    return CreatePlotWindow(title, style, rect);
}

void TPhasePlot::SetData(SpectralData* source, DWORD word)
{
    m_first = source;
    m_word = word;
}

std::string TPhasePlot::PaneCaption() const
{
    std::string caption = GetWindowTextString();
    if (!m_first)
        caption += " (no data)";
    return caption;
}

COLORREF TPhasePlot::PlotBackgroundColor() const
{
    return m_settings ? m_settings->BackgroundColor : RGB(255, 255, 255);
}
