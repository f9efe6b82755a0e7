#include "plots/TSeriesPlot.h"

#include "app/settings/TimeSeriesPlotSettings.h"
#include "platform/ui/GdiObjects.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>

BOOL TSeriesPlot::Create(LPCSTR title, DWORD style, const RECT* rect, TimeSeriesPlotSettings* settings,
                         TSampleBuffer* buffer, DWORD bufferWord, TWaveFile* file, DWORD fileWord, int channel)
{
    m_settings = settings;
    m_buffer = buffer;
    m_sampleCount = bufferWord;
    m_file = file;
    m_fileWord = fileWord;
    m_channel = channel;
    m_paneMode = 1;
    SetToolStripShown(!settings || settings->ShowToolbar != 0);
    m_viewEnd = Extent();
    return CreatePlotWindow(title, style, rect);
}

void TSeriesPlot::SetBuffer(TSampleBuffer* buffer, DWORD count)
{
    m_buffer = buffer;
    m_sampleCount = count;
}

void TSeriesPlot::SetRange(TWaveFile* file, DWORD word)
{
    m_file = file;
    m_fileWord = word;
}

void TSeriesPlot::SetChannelMode(UINT mode) { m_channelMode = mode; }

DWORD TSeriesPlot::Extent() const
{
    if (m_file)
        return m_file->GetLength();
    if (!m_buffer)
        return 0;
    return m_sampleCount ? m_sampleCount : m_buffer->GetSamplesPerChannel();
}

DWORD TSeriesPlot::SecondsToIndex(float seconds) const
{
    if (m_file)
        return m_file->SecondsToFrames(seconds);
    return m_buffer ? m_buffer->TimeToIndex(seconds) : 0;
}

float TSeriesPlot::IndexToSeconds(DWORD index) const
{
    if (m_file)
        return static_cast<float>(m_file->FramesToSeconds(index));
    return m_buffer ? m_buffer->IndexToTime(index) : 0.0f;
}

void TSeriesPlot::SetSelection(float start, float end)
{
    if (!m_buffer || end < start)
        return;
    const DWORD extent = Extent();
    DWORD first = SecondsToIndex(start);
    DWORD last = SecondsToIndex(end);
    if (first > extent)
        first = 0;
    if (last > extent)
        last = extent;
    m_viewStart = first;
    m_viewEnd = last;
    m_hasSelection = false;
}

void TSeriesPlot::SaveView()
{
    m_savedStart = m_viewStart;
    m_savedEnd = m_viewEnd;
}

void TSeriesPlot::RestoreView()
{
    UpdateLayout();
    const DWORD extent = Extent();
    m_viewStart = std::min(m_savedStart, extent);
    m_viewEnd = std::min(m_savedEnd, extent);
    if (m_viewEnd < m_viewStart)
        m_viewEnd = m_viewStart;
}

void TSeriesPlot::SelectAll()
{
    if (m_viewEnd <= m_viewStart)
        return;
    m_selStart = m_viewStart;
    m_selEnd = m_viewEnd;
    m_hasSelection = true;
    if (m_hWnd)
        Invalidate();
}

void TSeriesPlot::GetSelectedSegment(float& start, float& end)
{
    if (!m_hasSelection) {
        start = 0.0f;
        end = 0.0f;
        return;
    }
    start = IndexToSeconds(m_selStart);
    end = IndexToSeconds(m_selEnd);
}

void TSeriesPlot::ShowTimePosition(float seconds)
{
    m_timePosition = seconds;
    if (m_hWnd)
        InvalidateRect(&m_plotRect, FALSE);
}

void TSeriesPlot::ShowToolbar(bool show)
{
    if (m_settings)
        m_settings->ShowToolbar = show ? 1 : 0;
    SetToolStripShown(show);
    UpdateLayout();
}

void TSeriesPlot::Autoscale() {}

void TSeriesPlot::UpdateLayout()
{
    if (m_settings)
        SetToolStripShown(m_settings->ShowToolbar != 0);
    m_hasSelection = false;
    TPlotBase::UpdateLayout();
}

std::string TSeriesPlot::PaneCaption() const
{
    std::string caption = GetWindowTextString();
    if (!m_buffer && !m_file)
        caption += " (no data)";
    return caption;
}

COLORREF TSeriesPlot::PlotBackgroundColor() const
{
    return m_settings ? m_settings->BackgroundColor : RGB(255, 255, 255);
}

void TSeriesPlot::DrawPlot(CDC* dc, bool full, const RECT& update)
{
    TPlotBase::DrawPlot(dc, full, update);
    if (m_hasSelection && !m_printing)
        dc->InvertRect(&m_plotRect);
    // The file position, over the file's whole length.
    if (m_file && m_timePosition >= 0.0f && !m_plotRect.IsRectEmpty()) {
        const float length = m_file->GetLengthSeconds();
        if (length > 0.0f && m_timePosition <= length) {
            const int x = m_plotRect.left +
                          static_cast<int>(std::lround((m_plotRect.Width() - 1) * (m_timePosition / length)));
            CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
            CPen* old = dc->SelectObject(&pen);
            dc->MoveTo(x, m_plotRect.top);
            dc->LineTo(x, m_plotRect.bottom);
            dc->SelectObject(old);
        }
    }
}
