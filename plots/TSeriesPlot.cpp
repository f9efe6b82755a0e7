#include "plots/TSeriesPlot.h"

#include "records/TimeSeriesPlotSettings.h"
#include "records/ChannelCalibration.h"
#include "platform/ui/GdiObjects.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"
#include "wave/WaveCalibrationBlock.h"

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
    UseSettings(settings);
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

void TSeriesPlot::OnPlaySegment()
{
    if (!CanPlayOrFilter())
        return;
    float start = 0.0f, end = 0.0f;
    GetSelectedSegment(start, end);
    if (!RequestSegmentPlayback(m_channel, start, end))
        ReleasePlayButton();
}

void TSeriesPlot::ShowTimePosition(float seconds)
{
    m_timePosition = seconds;
    if (m_hWnd)
        InvalidateRect(&m_plotRect, FALSE);
}

void TSeriesPlot::Autoscale()
{
    if (!m_settings || !m_buffer)
        return;
    const bool fileMode = m_file && m_settings->TimeSeriesDataSource == 0;
    const bool rms = m_settings->DisplayMaxMinRangeAsRMS != 0;
    float maximum = 0.0f, minimum = 0.0f;
    ChannelCalibration calibration;
    if (fileMode) {
        const int slot = m_channelMode == 1 ? 1 : 0;
        m_file->ReadBlockScaled(m_viewStart, m_viewEnd, maximum, minimum, slot, true, rms);
        WaveCalibrationBlock block;
        m_file->GetCalibrationBlock(block);
        calibration = block.Channel[slot];
    } else {
        m_buffer->GetRangeMinMax(m_viewStart, m_viewEnd, maximum, minimum, true, rms);
        m_buffer->GetScaling(calibration);
    }
    if (maximum < minimum)
        maximum = minimum;
    // Uncalibrated samples are fractions of full scale; the plot shows percent.
    if (!calibration.IsEnabled) {
        maximum *= 100.0f;
        minimum *= 100.0f;
    }
    double top = 0.0, bottom = 0.0;
    if (m_settings->AmpScaleType == 0) {
        auto stepOf = [](double v) { return v == 0.0 ? 1.0 : std::pow(10.0, std::trunc(std::log10(std::fabs(v)))); };
        const double topStep = stepOf(maximum);
        top = std::trunc(maximum / topStep + 1) * topStep;
        const double bottomStep = stepOf(minimum);
        bottom = std::trunc(minimum / bottomStep - 1) * bottomStep;
        if (top == 0.0)
            top = 0.1;
        if (calibration.IsEnabled && calibration.RefUnits == 13)
            bottom = 0.0;
    } else {
        const double level = maximum > 0.0f ? ConvertToDecibels(calibration, maximum) : 0.0;
        top = std::trunc(level / 10) * 10;
        if (level > 0)
            top += 10;
        bottom = top - 100;
    }
    if (m_settings->PlotChannel == 5)
        top *= 2;
    const double range = top - bottom;
    if (m_settings->AmpScaleType != 0) {
        m_settings->PlotTop = static_cast<float>(top);
        m_settings->PlotRange = static_cast<float>(std::min(range, 200.0));
    } else {
        m_settings->PlotTop = static_cast<float>(top);
        const bool straddles = top > 0 && bottom < 0;
        const double ratio = straddles ? std::fabs(top) / std::fabs(bottom) : 0.0;
        if (straddles && ratio <= 100)
            m_settings->PlotCenter = 0.0f;
        else if ((top >= 0 && bottom >= 0) || (top < 0 && bottom < 0) || (straddles && ratio > 100))
            m_settings->PlotCenter = static_cast<float>(range / 2);
        else
            m_settings->PlotCenter = 0.0f;
    }
    UpdateLayout();
}

void TSeriesPlot::UpdateLayout()
{
    m_hasSelection = false;
    TSettingsPlot::UpdateLayout();
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
