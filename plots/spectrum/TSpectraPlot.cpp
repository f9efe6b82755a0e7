#include "plots/spectrum/TSpectraPlot.h"

#include "records/SpectrumPlotSettings.h"
#include "dsp/SpectralData.h"

#include <algorithm>
#include <cmath>

BOOL TSpectraPlot::Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings* processing,
                          ChannelScalingSettings* scaling, MarkerSettings* markers, SpectrumPlotSettings* settings,
                          SpectralData* traceA, SpectralData* traceB, int channel)
{
    m_processing = processing;
    m_scaling = scaling;
    m_markers = markers;
    m_settings = settings;
    m_channel = channel;
    SetData(traceA, traceB);
    UseSettings(settings);
    return CreatePlotWindow(title, style, rect);
}

void TSpectraPlot::SetData(SpectralData* traceA, SpectralData* traceB)
{
    m_traceA = traceA;
    m_traceB = traceB;
    SetPaneMode(traceB ? 2 : 1);
}

void TSpectraPlot::SetTimeUnitsMsec(bool on)
{
    if (on == m_quefrency)
        return;
    m_quefrency = on;
    UpdateLayout();
}

bool TSpectraPlot::FindAutoscaleLimits(const SpectralData* spectrum, int first, int last, double* top,
                                       double* bottom) const
{
    if (!spectrum || !top || !bottom || !m_settings)
        return false;
    double highest = 100.0;
    if (m_settings->PeakHold != 0) {
        highest = spectrum->MaxPeakHold(first, last);
        if (m_settings->ShowPowerMeter)
            highest = spectrum->GetPeakHoldOverallLevel();
    } else {
        highest = spectrum->MaxLevel(first, last);
    }
    if (m_settings->ShowPowerMeter) {
        if (m_settings->PeakHold != 0)
            highest = std::max(highest, static_cast<double>(spectrum->GetPeakHoldOverallLevel()));
        highest = std::max(highest, static_cast<double>(spectrum->GetOverallLevel()));
    }
    float minFreq = 0.0f;
    float minLevel = 0.0f;
    spectrum->FindMinimumInRange(static_cast<UINT>(std::max(first, 0)), static_cast<UINT>(std::max(last, 0)), &minFreq,
                                 &minLevel);
    double lowest = minLevel;

    switch (spectrum->GetAmpScaleType()) {
    case 1: {
        highest = std::min(highest, 300.0);
        lowest = std::max(lowest, -300.0);
        const double span = highest - lowest;
        if (span <= 1e-6)
            return false;
        const double step = span > 20 ? 10 : span > 10 ? 5 : span > 1 ? 1 : span > 0.1 ? 0.1 : 0.01;
        double t = step * std::trunc(highest / step);
        if (highest > 0)
            t += step;
        double b = step * std::trunc(lowest / step);
        if (lowest < 0)
            b -= step;
        if (step / 4 > span) {
            t += 4 * step;
            b += 4 * step;
        }
        *top = t;
        *bottom = b;
        return true;
    }
    case 0: {
        highest = std::min(highest, 1e9);
        lowest = std::max(lowest, 0.0);
        if (highest - lowest <= 1e-6)
            return false;
        const double unit = highest > 1e-8 ? std::pow(10.0, std::trunc(std::log10(highest))) : 1.0;
        double t = unit * std::trunc(highest / unit + 1);
        if (t <= 1e-7)
            t = 1.0;
        *top = t;
        return true;
    }
    case 2: {
        highest = std::min(highest, 10000.0);
        lowest = std::max(lowest, 1e-9);
        if (highest - lowest <= 1e-9)
            return false;
        const double unit = highest > 1e-8 ? std::pow(10.0, std::trunc(std::log10(highest))) : 1.0;
        double t = unit * std::trunc(highest / unit + 1);
        if (t <= 1e-7)
            t = 1.0;
        const double unitLow = lowest > 1e-11 ? std::pow(10.0, std::trunc(std::log10(lowest))) : 1.0;
        double b = unitLow / 10;
        if (b <= 1e-10)
            b = 1.0;
        *top = t;
        *bottom = b;
        return true;
    }
    default:
        return true;
    }
}

void TSpectraPlot::Autoscale()
{
    if (!m_settings || !m_traceA || (m_paneMode == 2 && !m_traceB))
        return;
    double top = m_settings->PlotTop;
    double bottom = top - m_settings->PlotRange;
    double topA = top, bottomA = bottom;
    if (!FindAutoscaleLimits(m_traceA, m_traceA->GetFirstBin(), m_traceA->GetLastBin(), &topA, &bottomA))
        return;
    double topB = topA, bottomB = bottomA;
    if (m_paneMode == 2 &&
        !FindAutoscaleLimits(m_traceB, m_traceB->GetFirstBin(), m_traceB->GetLastBin(), &topB, &bottomB))
        return;
    top = std::max(topA, topB);
    bottom = std::min(bottomA, bottomB);
    switch (m_traceA->GetAmpScaleType()) {
    case 1: {
        top = std::clamp(top, -300.0, 300.0);
        double range = std::min(top - bottom, 200.0);
        if (range < 1)
            range = 10;
        m_settings->PlotTop = static_cast<float>(top);
        m_settings->PlotRange = range;
        break;
    }
    case 0:
        m_settings->PlotTop = static_cast<float>(top);
        break;
    case 2:
        top = std::clamp(top, 1e-5, 10000.0);
        if (bottom > 1000)
            bottom = 1000;
        if (bottom < 1e-6)
            bottom = 1e-9;
        m_settings->PlotTop = static_cast<float>(top);
        m_settings->PlotRange = bottom;
        break;
    default:
        break;
    }
    UpdateLayout();
}

std::string TSpectraPlot::PaneCaption() const
{
    std::string caption = GetWindowTextString();
    if (!m_traceA)
        caption += " (no data)";
    return caption;
}

COLORREF TSpectraPlot::PlotBackgroundColor() const
{
    return m_settings ? m_settings->BackgroundColor : RGB(255, 255, 255);
}
