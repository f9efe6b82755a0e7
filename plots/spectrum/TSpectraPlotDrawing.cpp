// The spectrum window's drawing and geometry: the pixel-column table, the amplitude mapping,
// the axis labels, the trace polylines and their incremental redraw, axes, titles, readout,
// power meter, legend and markers.
#include "plots/spectrum/TSpectraPlot.h"

#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/MarkerSettings.h"
#include "records/PrintSettings.h"
#include "records/SpectrumPlotSettings.h"
#include "dsp/SpectralData.h"
#include "dsp/TOverlayData.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/GdiWindowDC.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {
constexpr COLORREF kLightGrey = RGB(192, 192, 192);

// A level's height as a whole pixel count clamped to lo..hi; NaN sits at the bottom.
int ClampHeight(double h, int lo, int hi)
{
    if (!(h == h))
        return lo;
    if (h < lo)
        return lo;
    if (h > hi)
        return hi;
    return static_cast<int>(h);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Mapping

bool TSpectraPlot::MakeHeightMap(const CRect& pane, HeightMap& map)
{
    map.H = pane.Height();
    if (IsPaneB(pane)) {
        map.kind = HeightMap::kCoherence;
        return true;
    }
    const int type = m_scaling ? m_scaling->AmpScaleType : 1;
    const double T = m_settings ? m_settings->PlotTop : 0.0;
    const double R = m_settings ? m_settings->PlotRange : 0.0;
    if (type == 0) {
        if (m_settings && m_settings->PlotTop <= 0.0f)
            m_settings->PlotTop = 1.0f;
        map.kind = HeightMap::kLinear;
        map.top = m_settings ? m_settings->PlotTop : 1.0;
        return true;
    }
    if (type == 2) {
        const double top = T > 0 ? T : 10.0;
        const double bottom = (R <= 0 || top <= R) ? 1e-9 : R;
        map.lo = bottom > 0 ? 10.0 * std::log10(bottom) : 0.0;
        const double hi = top > 0 ? 10.0 * std::log10(top) : 0.0;
        map.span = hi - map.lo;
        map.kind = HeightMap::kLogMagnitude;
        return map.span > 0;
    }
    // A range of 0 (the "N/A" of a linear axis read back) has no scale to draw with.
    map.kind = HeightMap::kDecibel;
    map.top = T;
    map.range = R;
    return R > 0;
}

int TSpectraPlot::HeightMap::operator()(double level) const
{
    double h = 0.0;
    switch (kind) {
    case kCoherence: h = H * level / 1.2; break;
    case kLinear: h = H * level / top; break;
    case kLogMagnitude: h = level > 0 ? H * (10.0 * std::log10(level) - lo) / span : 0.0; break;
    default: h = H * (level - top + range) / range; break;
    }
    return ClampHeight(h, 1, std::max(H, 1));
}

bool TSpectraPlot::LevelToHeight(double level, const CRect& pane, int& height)
{
    HeightMap map;
    if (!MakeHeightMap(pane, map))
        return false;
    height = map(level);
    return true;
}

double TSpectraPlot::FrequencyScale() const
{
    if (!m_quefrency || !m_processing)
        return 1.0;
    const double rate = m_processing->SampleFormat.SampleRate;
    const double n = m_processing->FFTsize;
    return rate > 0 ? n * 1000.0 / rate / rate : 1.0;
}

// ---------------------------------------------------------------------------------------------
// Tables

void TSpectraPlot::BuildColumnTable()
{
    if (!m_traceA || !m_settings || !m_scaling)
        return;
    const double k = FrequencyScale();
    const int count = std::max(0, static_cast<int>(m_plotRect.Width()));
    m_columns.assign(static_cast<size_t>(count), Column{});
    if (count == 0)
        return;
    if (m_scaling->FreqScaleType == 0) {
        const float f0 = static_cast<float>(m_settings->StartFreq * k);
        const float step = (static_cast<float>(m_settings->StopFreq * k) - f0) / static_cast<float>(count);
        for (int c = 0; c < count; ++c) {
            const float f = f0 + static_cast<float>(c) * step;
            m_columns[static_cast<size_t>(c)] = {m_traceA->FrequencyToBin(static_cast<float>(f / k)), f};
        }
    } else if (m_scaling->FreqScaleType == 1 || m_scaling->FreqScaleType == 2) {
        const double a = m_settings->StartFreq * k;
        const double b = m_settings->StopFreq * k;
        const double l0 = a > 0 ? std::log10(a) : 0.0;
        const double l1 = b > 0 ? std::log10(b) : 0.0;
        for (int c = 0; c < count; ++c) {
            const float f = static_cast<float>(std::pow(10.0, c * (l1 - l0) / count + l0));
            m_columns[static_cast<size_t>(c)] = {m_traceA->FrequencyToBin(static_cast<float>(f / k)), f};
        }
        if (count > 1)
            m_columns[0].bin = m_columns[1].bin;
        m_columns[static_cast<size_t>(count - 1)].bin += 1;
    }
}

int TSpectraPlot::FrequencyToColumn(float f) const
{
    if (!m_traceA || m_columns.size() < 2)
        return -999;
    for (size_t c = 0; c + 1 < m_columns.size(); ++c)
        if (m_columns[c].frequency <= f && m_columns[c + 1].frequency >= f)
            return static_cast<int>(c);
    return -999;
}

float TSpectraPlot::ColumnToFrequency(int x) const
{
    const int c = x - m_plotRect.left;
    if (!m_traceA || c < 0 || c >= static_cast<int>(m_columns.size()))
        return 0.0f;
    return m_columns[static_cast<size_t>(c)].frequency;
}

int TSpectraPlot::ColumnToBin(int x) const
{
    if (!m_traceA || m_columns.empty())
        return 0;
    const int c = x - m_plotRect.left;
    if (c < 0 || c >= static_cast<int>(m_columns.size()))
        return 1;
    return m_columns[static_cast<size_t>(c)].bin;
}

void TSpectraPlot::BuildFrequencyLabels()
{
    if (!m_traceA || !m_settings || !m_scaling)
        return;
    const double k = FrequencyScale();
    const double lo = m_settings->StartFreq * k;
    const double hi = m_settings->StopFreq * k;
    const double span = hi - lo;
    const size_t room = static_cast<size_t>(std::max(0, static_cast<int>(m_plotRect.Width())));
    m_freqLabels.clear();
    if (room == 0 || !(span > 0))
        return;
    auto linearStep = [&]() {
        for (double s : {10000.0, 5000.0, 1000.0, 500.0, 200.0, 100.0, 50.0, 20.0, 10.0, 5.0, 2.0})
            if (span / s >= 4)
                return s;
        return 1.0;
    };
    auto text = [&](double f, char* out) {
        const char* plain = span >= 100 ? "%1.0f" : span >= 10 ? "%1.2f" : "%1.3f";
        const char* kilo = span >= 100 ? "%1.1fk" : span >= 10 ? "%1.2fk" : "%1.3fk";
        if (span >= 100 && f == 0.0)
            std::snprintf(out, 12, "0.0");
        else if (f < 1000)
            std::snprintf(out, 12, plain, f);
        else
            std::snprintf(out, 12, kilo, f / 1000.0);
    };
    const bool logAxis = m_scaling->FreqScaleType != 0;
    for (int pass = logAxis ? 0 : 1; pass < 2; ++pass) {
        m_freqLabels.clear();
        const double linear = linearStep();
        double f = 0.0;
        // A guard against a step that cannot move f (a span far below a hertz).
        for (int guard = 0; f <= hi && guard < 100000; ++guard) {
            if (f >= lo) {
                const int column = FrequencyToColumn(static_cast<float>(f));
                if (column >= 0) {
                    Label label;
                    label.offset = column;
                    text(f, label.text);
                    if (m_freqLabels.size() < room)
                        m_freqLabels.push_back(label);
                    else
                        m_freqLabels.back() = label;
                }
            }
            double step = linear;
            if (pass == 0)
                step = f < 10 ? 1 : f < 100 ? 10 : f < 1000 ? 100 : f < 10000 ? 1000 : f < 100000 ? 10000
                       : f < 1e6 ? 100000 : 10000;
            f += step;
        }
        if (pass == 0 && m_freqLabels.size() >= 4)
            break;
    }
    // Thin from the right: a label keeps its text only when that text stands the gap clear of
    // the last kept one's. Labels are centred on their ticks and can be wider than the gap, so
    // the distance between the ticks alone lets them run together in a narrow window.
    const int gap = m_printing ? 300 : 30;
    if (m_freqLabels.empty())
        return;
    std::unique_ptr<CClientDC> screen;
    CDC* dc = m_printing ? m_printDC : nullptr;
    if (!dc && !m_printing && m_hWnd) {
        screen = std::make_unique<CClientDC>(this);
        dc = screen.get();
    }
    const int saved = dc ? dc->SaveDC() : 0;
    if (dc)
        dc->SelectObject(m_font);
    // The left edge and the width of a label's text as TA_CENTER lays it out.
    auto extent = [&](const Label& l) {
        const int w = dc ? static_cast<int>(dc->GetTextExtent(l.text).cx) : 0;
        return std::pair<int, int>(l.offset - w / 2, w);
    };
    int keptLeft = extent(m_freqLabels.back()).first;
    int keptOffset = m_freqLabels.back().offset;
    for (size_t i = m_freqLabels.size() - 1; i-- > 0;) {
        const auto [left, width] = extent(m_freqLabels[i]);
        if (keptOffset - m_freqLabels[i].offset >= gap && keptLeft - (left + width) >= gap) {
            keptOffset = m_freqLabels[i].offset;
            keptLeft = left;
        } else {
            m_freqLabels[i].text[0] = '\0';
        }
    }
    if (dc)
        dc->RestoreDC(saved);
}

int TSpectraPlot::PaneHeightForLabels() const { return m_paneMode == 1 ? m_plotRect.Height() : m_paneA.Height(); }

void TSpectraPlot::BuildAmplitudeLabels()
{
    if (!m_traceA || !m_settings || !m_scaling)
        return;
    if (m_scaling->AmpScaleType == 2) {
        BuildLogMagnitudeLabels();
        return;
    }
    const double T = m_settings->PlotTop;
    const double span = m_scaling->AmpScaleType == 0 ? T : m_settings->PlotRange;
    if (!(span > 0))
        return;
    m_ampLabels.clear();
    double step = 0;
    if (m_scaling->AmpScaleType == 0) {
        const std::pair<double, double> steps[] = {
            {1.1e-7, 1e-8},  {1.1e-6, 1e-7},  {1.1e-5, 1e-6},   {1.1e-4, 1e-5},    {0.0011, 1e-4},
            {0.011, 0.001},  {0.11, 0.01},    {1.01, 0.1},      {10.01, 1},        {100.01, 10},
            {1000.01, 100},  {10000.01, 1000}, {100000.01, 10000}, {1000000.01, 100000}};
        step = 1e6;
        for (const auto& [limit, s] : steps)
            if (span <= limit) {
                step = s;
                break;
            }
    } else {
        const std::pair<double, double> steps[] = {{0.11, 0.01}, {1.01, 0.1}, {2.01, 0.2},  {5.01, 0.5},
                                                   {10.01, 1},   {20.01, 2},  {50.01, 5}};
        step = 10;
        for (const auto& [limit, s] : steps)
            if (span <= limit) {
                step = s;
                break;
            }
    }
    const size_t room = static_cast<size_t>(span / step) + 1;
    const int H = PaneHeightForLabels();
    // Stepping down from the top by repeated subtraction would drift; count the steps instead.
    for (size_t i = 0; i < room; ++i) {
        const double v = T - static_cast<double>(i) * step;
        if (v < T - span - step * 1e-6)
            break;
        Label label;
        label.offset = static_cast<int>((T - v) * H / span);
        FormatTickLabel(std::fabs(v) < step * 1e-6 ? 0.0 : v, label.text, sizeof label.text);
        m_ampLabels.push_back(label);
    }
    // Every stride-th label from the top keeps its text: evenly spaced and never overlapping,
    // where thinning by distance alone skipped one here and two there.
    const int stride = LabelStride(step * H / span, VerticalLabelGap(m_printing ? 120 : 12));
    for (size_t i = 0; i < m_ampLabels.size(); ++i)
        if (i % static_cast<size_t>(stride) != 0)
            m_ampLabels[i].text[0] = '\0';
}

void TSpectraPlot::BuildLogMagnitudeLabels()
{
    m_ampLabels.clear();
    const double T = m_settings->PlotTop > 0 ? m_settings->PlotTop : 10.0;
    const double R = m_settings->PlotRange;
    const double B = (R <= 0 || T <= R) ? 1e-9 : R;
    const double lo = 10.0 * std::log10(B);
    const double hi = 10.0 * std::log10(T);
    const double S = hi - lo;
    const int H = PaneHeightForLabels();
    if (!(S > 0) || H <= 0)
        return;
    const size_t room = static_cast<size_t>(H);
    auto add = [&](double v) {
        const int offset = static_cast<int>(H - H * (10.0 * std::log10(v) - lo) / S);
        if (offset < 0)
            return;
        Label label;
        label.offset = offset;
        FormatTickLabel(v, label.text, sizeof label.text);
        if (m_ampLabels.size() < room)
            m_ampLabels.push_back(label);
        else
            m_ampLabels.back() = label;
    };
    double v = B;
    for (int guard = 0; v <= T && guard < 100000; ++guard) {
        add(v);
        const double w = v * 1.00000001;
        double step = 10000;
        for (double d = 1e-9; d < 1e6; d *= 10)
            if (w < d * 10) {
                step = d;
                break;
            }
        v += step;
    }
    add(T);
    // Thin from the top label down: the top label is the last one built.
    const int gap = VerticalLabelGap(m_printing ? 120 : 12);
    int kept = -100000;
    for (size_t i = m_ampLabels.size(); i-- > 0;) {
        Label& l = m_ampLabels[i];
        if (l.offset - kept >= gap)
            kept = l.offset;
        else
            l.text[0] = '\0';
    }
}

void TSpectraPlot::BuildAmplitudeLabelsB()
{
    if (!m_traceA)
        return;
    m_ampLabelsB.clear();
    const int H = PaneHeightForLabels();
    const int stride = LabelStride(H / 12.0, VerticalLabelGap(10));
    for (int i = 0; i <= 12; ++i) {
        const double v = 1.2 - 0.1 * i;
        Label label;
        label.offset = static_cast<int>((1.2 - v) * H / 1.2 + 1e-9);
        std::snprintf(label.text, sizeof label.text, "%3.2f", std::fabs(v) < 1e-9 ? 0.0 : v);
        if (i % stride != 0)
            label.text[0] = '\0';
        m_ampLabelsB.push_back(label);
    }
}

void TSpectraPlot::AllocatePointArrays()
{
    m_pointCapacity = std::max(0, static_cast<int>(m_plotRect.Width())) * 4;
    for (auto* v : {&m_pointsA, &m_pointsB, &m_prevA, &m_prevB, &m_peakPoints, &m_prevPeak, &m_buildPoints, &m_curvePoints,
                    &m_fallenBars}) {
        v->clear();
        v->reserve(static_cast<size_t>(m_pointCapacity) + 8);
    }
}

// ---------------------------------------------------------------------------------------------
// Trace polylines

void TSpectraPlot::BuildTracePoints(SpectralData* spectrum, const CRect& pane, std::vector<POINT>& points,
                                    bool peakHold)
{
    const int W = pane.Width();
    if (!spectrum || static_cast<int>(m_columns.size()) < W || W > m_pointCapacity || W <= 0 || !m_settings)
        return;
    // Built aside and swapped in, so that a level off the scale keeps the previous polyline;
    // the two buffers trade places each block and are not allocated again.
    std::vector<POINT>& out = m_buildPoints;
    out.clear();
    out.reserve(static_cast<size_t>(m_pointCapacity));
    const int cap = m_pointCapacity;
    const int bottom = pane.bottom;
    // The scale is read once for the whole trace, not once for every column.
    HeightMap map;
    if (!MakeHeightMap(pane, map))
        return; // the previous polyline stays
    int pb = -1, hp = 0, r = 0;
    for (int c = 0; c < W; ++c) {
        const int x = pane.left + c;
        const int b = m_columns[static_cast<size_t>(c)].bin;
        if (b != pb || c == W - 1) {
            const double level = peakHold ? spectrum->MaxPeakHold(pb, b) : spectrum->MaxLevel(pb, b);
            const int h = map(level);
            const int n = static_cast<int>(out.size());
            switch (m_settings->PlotType) {
            case 1:
                if (c == 0)
                    out.push_back({x - r, bottom});
                if (n < cap - 4) {
                    out.push_back({x - r, bottom - hp});
                    out.push_back({x, bottom - hp});
                    out.push_back({x, bottom});
                }
                break;
            case 2:
                if (c == 0)
                    out.push_back({x - r, bottom - h});
                if (c > 0 && n < cap - 3) {
                    out.push_back({x - r, bottom - hp});
                    out.push_back({x, bottom - hp});
                }
                break;
            default: {
                const int xp = x - 1;
                if (c == 0) {
                    out.push_back({xp, bottom - h});
                    hp = h;
                }
                if (n < cap)
                    out.push_back({xp - r / 2, bottom - hp});
                break;
            }
            }
            hp = h;
            pb = b;
            r = 0;
        }
        ++r;
    }
    points.swap(out);
}

void TSpectraPlot::BuildBandPoints(SpectralData* spectrum, const CRect& pane, std::vector<POINT>& points,
                                   bool peakHold)
{
    // A band spectrum is drawn as a curve through its band centres, the same way as an
    // overlay stored from it.
    if (!spectrum)
        return;
    const TOverlayData curve(spectrum, 0.0f, peakHold ? 1 : 0);
    if (curve.ErrorFlag() || curve.GetEntryCount() == 0)
        return;
    BuildOverlayPoints(&curve, pane, points);
}

void TSpectraPlot::BuildTrace(SpectralData* spectrum, const CRect& pane, std::vector<POINT>& points, bool peakHold)
{
    if (m_scaling && m_scaling->FreqScaleType == 2 && m_settings && m_settings->PlotType != 1)
        BuildBandPoints(spectrum, pane, points, peakHold);
    else
        BuildTracePoints(spectrum, pane, points, peakHold);
}


COLORREF TSpectraPlot::PrintColor(CDC* dc, COLORREF color) const
{
    if (!m_printing)
        return color;
    if (IsMonochrome(dc))
        return RGB(0, 0, 0);
    return color == RGB(255, 255, 255) ? kLightGrey : color;
}

void TSpectraPlot::DrawPolyline(CDC* dc, const CRect& pane, const RECT& update, const std::vector<POINT>& points,
                                COLORREF color, int style)
{
    if (points.empty())
        return;
    CRect meet;
    const CRect u(update);
    if (!m_printing && !meet.IntersectRect(&pane, &u))
        return;
    const int saved = dc->SaveDC();
    int penStyle = PS_SOLID;
    if (m_printing && IsMonochrome(dc) && style >= 0 && style <= 3)
        penStyle = style == 0 ? PS_DASH : style == 1 ? PS_DOT : style == 2 ? PS_DASHDOT : PS_DASHDOTDOT;
    CPen pen(penStyle, m_printing ? 4 : 1, PrintColor(dc, color));
    dc->SelectObject(&pen);
    const bool octaveBars = m_settings && m_scaling && m_settings->PlotType == 1 && m_scaling->FreqScaleType == 2;
    if (!m_printing && octaveBars && (style == -1 || style == -2)) {
        for (size_t k = 0; 3 * k + 3 < points.size(); ++k) {
            CRect bar(points[3 * k + 1].x + 1, points[3 * k + 1].y, points[3 * k + 3].x - 1, points[3 * k + 3].y);
            bar.NormalizeRect();
            dc->FillSolidRect(&bar, color);
        }
    } else if (m_printing) {
        const int n = static_cast<int>(points.size());
        const int half = n / 2;
        if (half > 0) {
            dc->Polyline(points.data(), half);
            dc->Polyline(points.data() + half - 1, n - half + 1);
        } else {
            dc->Polyline(points.data(), n);
        }
    } else {
        dc->Polyline(points.data(), static_cast<int>(points.size()));
    }
    dc->RestoreDC(saved);
}

void TSpectraPlot::MarkersOf(const CRect& pane, POINT*& points, RECT*& rects)
{
    if (m_paneMode == 1) {
        points = m_markerPos;
        rects = m_markerRect;
    } else if (IsPaneB(pane)) {
        points = m_markerPosB;
        rects = m_markerRectB;
    } else {
        points = m_markerPosA;
        rects = m_markerRectA;
    }
}

// One pane's per-block update: the old trace painted out and the new one in, without a full
// repaint. Octave bars paint only the strip by which each bar moved.
void TSpectraPlot::RedrawPane(CDC* dc, SpectralData* spectrum, const CRect& pane, int trace, bool bars)
{
    if (!spectrum || !m_settings)
        return;
    const int saved = dc->SaveDC();
    dc->IntersectClipRect(&pane);
    POINT* markerPoints = nullptr;
    RECT* markerRects = nullptr;
    MarkersOf(pane, markerPoints, markerRects);
    const CRect markersErased = EraseMarkers(dc, markerPoints, markerRects, pane);
    std::vector<POINT>& current = trace == 0 ? m_pointsA : m_pointsB;
    std::vector<POINT>& previous = trace == 0 ? m_prevA : m_prevB;
    const bool peak = trace == 0 && m_settings->PeakHold != 0;
    if (bars) {
        BuildTracePoints(spectrum, pane, current, false);
        if (peak)
            BuildTracePoints(spectrum, pane, m_peakPoints, true);
    } else {
        BuildTrace(spectrum, pane, current, false);
        if (peak)
            BuildTrace(spectrum, pane, m_peakPoints, true);
    }
    const RECT& update = pane;
    if (bars) {
        // First where bars fell (background, or the peak colour under a peak bar), then where
        // they rose.
        auto fallen = [this](const std::vector<POINT>& prev, const std::vector<POINT>& next) -> const std::vector<POINT>& {
            m_fallenBars.assign(prev.begin(), prev.end());
            const size_t n = std::min(prev.size(), next.size());
            for (size_t k = 0; 3 * k + 3 < n; ++k)
                m_fallenBars[3 * k + 3].y = std::max(prev[3 * k + 2].y, next[3 * k + 2].y);
            return m_fallenBars;
        };
        DrawPolyline(dc, pane, update, fallen(previous, current),
                     peak ? m_settings->PeakColor : m_settings->BackgroundColor, -1);
        if (peak) {
            DrawPolyline(dc, pane, update, fallen(m_prevPeak, m_peakPoints), m_settings->BackgroundColor, -2);
            DrawPolyline(dc, pane, update, m_peakPoints, m_settings->PeakColor, -2);
        }
        DrawPolyline(dc, pane, update, current, m_settings->LineColor, -1);
        DrawFrequencyGrid(dc, pane, update);
        DrawAmplitudeGrid(dc, pane, update);
    } else {
        if (peak)
            DrawPolyline(dc, pane, update, m_prevPeak, m_settings->BackgroundColor, -2);
        DrawPolyline(dc, pane, update, previous, m_settings->BackgroundColor, -1);
        // Grid lines can need drawing again only where the old traces and the markers were
        // painted out.
        CRect erased = PolylineBounds(previous);
        auto add = [&erased](const CRect& r) {
            if (erased.IsRectEmpty())
                erased = r;
            else if (!r.IsRectEmpty())
                erased.UnionRect(&erased, &r);
        };
        if (peak)
            add(PolylineBounds(m_prevPeak));
        add(markersErased);
        if (!erased.IsRectEmpty()) {
            const int grid = dc->SaveDC();
            dc->IntersectClipRect(&erased);
            DrawFrequencyGrid(dc, pane, update);
            DrawAmplitudeGrid(dc, pane, update);
            dc->RestoreDC(grid);
        }
        if (peak)
            DrawPolyline(dc, pane, update, m_peakPoints, m_settings->PeakColor, -2);
        DrawPolyline(dc, pane, update, current, m_settings->LineColor, -1);
    }
    DrawOverlays(dc, pane, update);
    DrawMarkers(dc, spectrum, markerPoints, markerRects, pane, update);
    dc->RestoreDC(saved);
    if (m_settings->ShowRMSLevel)
        InvalidatePowerReadout(pane);
    // The line styles keep trace A's meter only; the bars keep both.
    if (bars || trace == 0) {
        const int slot = trace == 0 ? 0 : 1;
        UpdateMeter(dc, pane, spectrum, m_meterLevel[slot], m_meterPeak[slot]);
        m_meterLevelDrawn[slot] = m_meterLevel[slot];
        m_meterPeakDrawn[slot] = m_meterPeak[slot];
    }
    previous = current;
    if (peak)
        m_prevPeak = m_peakPoints;
}

void TSpectraPlot::RedrawFrame(CDC* dc)
{
    if (!m_traceA || !dc)
        return;
    if (m_scaling && m_settings && m_scaling->FreqScaleType == 2 && m_settings->PlotType == 1) {
        DrawTraces(dc);
        return;
    }
    RedrawPane(dc, m_traceA, m_paneMode == 1 ? m_plotRect : m_paneA, 0, false);
    if (m_paneMode == 2 && m_traceB)
        RedrawPane(dc, m_traceB, m_paneB, 1, false);
}

void TSpectraPlot::DrawTraces(CDC* dc)
{
    if (!m_traceA || !dc)
        return;
    RedrawPane(dc, m_traceA, m_paneMode == 1 ? m_plotRect : m_paneA, 0, true);
    if (m_paneMode == 2 && m_traceB)
        RedrawPane(dc, m_traceB, m_paneB, 1, true);
}

// ---------------------------------------------------------------------------------------------
// Full repaint

void TSpectraPlot::FillRectIfVisible(CDC* dc, const CRect& rect, const RECT& update)
{
    CRect meet;
    const CRect u(update);
    if (m_printing || !meet.IntersectRect(&rect, &u) || !m_settings)
        return;
    dc->FillSolidRect(&rect, m_settings->BackgroundColor);
}

void TSpectraPlot::DrawPlot(CDC* dc, bool full, const RECT& update)
{
    m_printDC = m_printing ? dc : nullptr;
    TPlotBase::DrawPlot(dc, full, update);
    if (!m_traceA || m_pointCapacity == 0 || !m_settings) {
        DrawWatermark(dc, m_plotRect, update);
        return;
    }
    const bool octaveBars = m_scaling && m_scaling->FreqScaleType == 2 && m_settings->PlotType == 1;
    auto paneA = [&](const CRect& pane, bool withFrequencyAxis, bool drawnMeter) {
        FillRectIfVisible(dc, pane, update);
        DrawTitle(dc, pane, update, m_traceA->GetUnitsLabel());
        DrawFrequencyGrid(dc, pane, update);
        DrawAmplitudeGrid(dc, pane, update);
        DrawAmplitudeAxis(dc, pane, update);
        if (withFrequencyAxis)
            DrawFrequencyAxis(dc, pane, update);
        DrawMeterFrame(dc, pane, update);
        DrawMeter(dc, pane, m_traceA, drawnMeter ? m_meterLevelDrawn[0] : m_meterLevel[0],
                  drawnMeter ? m_meterPeakDrawn[0] : m_meterPeak[0]);
        if (m_settings->PeakHold != 0)
            DrawPolyline(dc, pane, update, m_peakPoints, m_settings->PeakColor, -2);
        DrawPolyline(dc, pane, update, m_pointsA, m_settings->LineColor, -1);
        if (octaveBars) {
            DrawFrequencyGrid(dc, pane, update);
            DrawAmplitudeGrid(dc, pane, update);
        }
        DrawOverlayLegend(dc, full, pane, update);
        DrawOverlays(dc, pane, update);
        POINT* points = nullptr;
        RECT* rects = nullptr;
        MarkersOf(pane, points, rects);
        DrawMarkers(dc, m_traceA, points, rects, pane, update);
        DrawPowerReadout(dc, m_traceA, pane, update);
    };
    if (m_paneMode == 1) {
        paneA(m_plotRect, true, false);
    } else {
        paneA(m_paneA, false, true);
        if (m_traceB) {
            const CRect& pane = m_paneB;
            FillRectIfVisible(dc, pane, update);
            DrawTitle(dc, pane, update, m_traceB->GetUnitsLabel());
            DrawAmplitudeAxis(dc, pane, update);
            DrawFrequencyAxis(dc, pane, update);
            DrawFrequencyGrid(dc, pane, update);
            DrawAmplitudeGrid(dc, pane, update);
            DrawPolyline(dc, pane, update, m_pointsB, m_settings->LineColor, -1);
            if (octaveBars) {
                DrawFrequencyGrid(dc, pane, update);
                DrawAmplitudeGrid(dc, pane, update);
            }
            DrawOverlayLegend(dc, full, pane, update);
            DrawOverlays(dc, pane, update);
            DrawMarkers(dc, m_traceB, m_markerPosB, m_markerRectB, pane, update);
        }
    }
    DrawWatermark(dc, m_plotRect, update);
}

void TSpectraPlot::ScaleForPrinter(CDC* dc, PrintSettings settings)
{
    if (!dc)
        return;
    m_printDC = dc; // the labels are measured in the printer's font
    const int W = dc->GetDeviceCaps(HORZRES);
    const int H = dc->GetDeviceCaps(VERTRES);
    const int px = dc->GetDeviceCaps(LOGPIXELSX);
    const int py = dc->GetDeviceCaps(LOGPIXELSY);
    const int left = static_cast<int>(settings.MarginLeft * px);
    const int right = static_cast<int>(settings.MarginRight * px);
    const int top = static_cast<int>(settings.MarginTop * py);
    const int bottom = static_cast<int>(settings.MarginBottom * py);
    m_plotRect = CRect(static_cast<int>(left + 0.75 * px), static_cast<int>(top + 1.2 * py),
                       static_cast<int>(W - right - 1.5 * px), static_cast<int>(H - bottom - 0.5 * py));
    if (m_plotRect.Width() <= 0 || m_plotRect.Height() <= 0)
        return;
    if (m_paneMode == 1) {
        m_paneA = m_plotRect;
    } else {
        m_paneA = m_plotRect;
        m_paneA.bottom -= m_plotRect.Height() / 2 + py / 2;
        m_paneB = m_plotRect;
        m_paneB.top = m_plotRect.bottom - m_paneA.Height();
    }
    UpdateScrollRange();
    AllocatePointArrays();
    ReloadOverlays();
    RedrawFrame(dc);
}

// ---------------------------------------------------------------------------------------------
// Titles, readout, meter, axes, grid, legend

void TSpectraPlot::DrawTitle(CDC* dc, const CRect& pane, const RECT& update, const char* units)
{
    if (update.top >= pane.top && !m_printing)
        return;
    if (!m_scaling || !m_settings)
        return;
    const int saved = dc->SaveDC();
    dc->SetBkMode(TRANSPARENT);
    dc->SelectObject(m_font);
    dc->SetTextColor(RGB(0, 0, 0));
    const int y = pane.top - m_fontHeight - 3;
    const char* label = units ? units : "";
    const bool rms = m_settings->ShowRMSLevel != 0;
    if (m_scaling->SpectralDensityFlag == 1) {
        const char* note = m_scaling->SpectralDensityType == 0 ? "PSD: Units^2/Hz"
                           : m_scaling->SpectralDensityType == 1 ? "PSD: Units/sqrt(Hz)"
                                                                 : "";
        dc->SetTextAlign(TA_RIGHT | TA_TOP);
        dc->TextOut(pane.right, y, note);
        dc->SetTextAlign((rms ? TA_CENTER : TA_LEFT) | TA_TOP);
        dc->TextOut(rms ? pane.left + pane.Width() / 2 : pane.left, y, label);
    } else {
        dc->SetTextAlign((rms ? TA_RIGHT : TA_CENTER) | TA_TOP);
        dc->TextOut(rms ? pane.right : pane.left + pane.Width() / 2, y, label);
    }
    dc->RestoreDC(saved);
}

void TSpectraPlot::DrawPowerReadout(CDC* dc, SpectralData* spectrum, const CRect& pane, const RECT& update)
{
    if (!spectrum || !m_settings || !m_scaling || !m_settings->ShowRMSLevel)
        return;
    if (update.top >= pane.top && !m_printing)
        return;
    const float value = spectrum->TotalLevel(static_cast<UINT>(std::max(m_visibleStart, 0)),
                                             static_cast<UINT>(std::max(m_visibleEnd, 0)), m_scaling->AmpScaleType, -1);
    const char* names[] = {"Pwr", "Pwr A", "Pwr B", "Pwr C"};
    const char* name = m_scaling->StandardWeighting < 4 ? names[m_scaling->StandardWeighting] : "Pwr";
    char text[64];
    std::snprintf(text, sizeof text, "%s =%1.2f", name, static_cast<double>(value));
    const int saved = dc->SaveDC();
    dc->SetBkMode(TRANSPARENT);
    dc->SelectObject(m_font);
    dc->SetTextAlign(TA_LEFT | TA_TOP);
    dc->TextOut(pane.left, pane.top - m_fontHeight - 3, text);
    dc->RestoreDC(saved);
}

void TSpectraPlot::InvalidatePowerReadout(const CRect& pane)
{
    if (!m_hWnd || m_printing)
        return;
    const CRect strip(pane.left + 20, pane.top - m_fontHeight - 3, pane.left + pane.Width() / 2, pane.top - 3);
    InvalidateRect(&strip, TRUE);
}

CRect TSpectraPlot::MeterStrip(const CRect& pane, CDC* dc) const
{
    CRect strip(pane.right + 10, pane.top, pane.right + 30, pane.bottom);
    if (m_printing && dc) {
        const int px = dc->GetDeviceCaps(LOGPIXELSX);
        strip.left += px / 8;
        strip.right += px / 4;
    }
    return strip;
}

void TSpectraPlot::DrawMeterFrame(CDC* dc, const CRect& pane, const RECT& update)
{
    if (!m_settings || !m_settings->ShowPowerMeter || !m_scaling)
        return;
    const CRect strip = MeterStrip(pane, dc);
    const CRect reach(pane.right + 10, pane.top, pane.right + m_rightMargin, pane.bottom);
    CRect meet;
    const CRect u(update);
    if (!m_printing && !meet.IntersectRect(&reach, &u))
        return;
    CRect frame(strip.left, pane.top, strip.right, pane.bottom + GetScrollBarHeight());
    frame.InflateRect(1, 1);
    DrawPaneFrame(dc, frame, m_printing ? 0 : 2);
    const int saved = dc->SaveDC();
    dc->SetBkMode(TRANSPARENT);
    dc->SelectObject(m_font);
    dc->SetTextColor(RGB(0, 0, 0));
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    dc->SelectObject(&pen);
    dc->SetTextAlign(TA_LEFT | TA_TOP);
    for (const Label& l : m_ampLabels) {
        if (!l.text[0])
            continue;
        const int y = pane.top + l.offset;
        dc->MoveTo(strip.right, y);
        dc->LineTo(strip.right + 3, y);
        dc->TextOut(strip.right + (m_printing ? 60 : 6), y - m_fontHeight / 2, l.text);
    }
    if (m_paneMode == 1) {
        const char* names[] = {"Pwr", "Pwr A", "Pwr B", "Pwr C"};
        const char* name = m_scaling->TotalPowerWeighting < 4 ? names[m_scaling->TotalPowerWeighting] : "Pwr";
        dc->TextOut(strip.left, pane.bottom + GetScrollBarHeight() + (m_printing ? 20 : 3), name);
    }
    dc->RestoreDC(saved);
    if (!m_printing)
        dc->FillSolidRect(&strip, m_settings->BackgroundColor);
}

void TSpectraPlot::DrawMeter(CDC* dc, const CRect& pane, SpectralData* spectrum, int level, int peak)
{
    if (!m_settings || !m_settings->ShowPowerMeter || !spectrum)
        return;
    const int H = pane.Height();
    level = std::clamp(level, 1, std::max(1, H - 2));
    peak = std::clamp(peak, 1, std::max(1, H - 2));
    const CRect strip = MeterStrip(pane, dc);
    const int bottom = pane.bottom;
    const bool outline = m_printing && IsMonochrome(dc);
    auto bar = [&](int h, COLORREF color) {
        const CRect r(strip.left + 2, bottom - 1 - h, strip.right - 2, bottom - 1);
        if (outline) {
            const int saved = dc->SaveDC();
            CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
            dc->SelectObject(&pen);
            dc->SelectStockObject(NULL_BRUSH);
            dc->Rectangle(&r);
            dc->RestoreDC(saved);
        } else {
            dc->FillSolidRect(&r, PrintColor(dc, color));
        }
    };
    if (m_settings->PeakHold != 0)
        bar(peak, m_settings->PeakColor);
    bar(level, m_settings->LineColor);
}

void TSpectraPlot::UpdateMeter(CDC* dc, const CRect& pane, SpectralData* spectrum, int& level, int& peak)
{
    if (!m_settings || !spectrum || !m_settings->ShowPowerMeter)
        return;
    const double levelValue = spectrum->GetOverallLevel();
    const double peakValue = m_settings->PeakHold != 0 ? spectrum->GetPeakHoldOverallLevel() : -999.9;
    const int H = pane.Height();
    const int top = std::max(1, H - 2);
    int hl = 0;
    if (!LevelToHeight(levelValue, pane, hl))
        return;
    int hp = hl;
    if (peakValue >= -999.0 && !LevelToHeight(peakValue, pane, hp))
        return;
    hl = std::clamp(hl, 1, top);
    hp = std::clamp(hp, 1, top);
    hp = std::max(hp, hl);
    const CRect strip = MeterStrip(pane, dc);
    const int bottom = pane.bottom;
    auto paint = [&](int from, int to, COLORREF color) {
        if (from == to)
            return;
        const CRect r(strip.left + 2, bottom - 1 - std::max(from, to), strip.right - 2, bottom - 1 - std::min(from, to));
        dc->FillSolidRect(&r, color);
    };
    const bool hold = m_settings->PeakHold != 0;
    if (!m_printing) {
        if (hold)
            paint(peak, hp, hp > peak ? m_settings->PeakColor : m_settings->BackgroundColor);
        if (hl > level)
            paint(level, hl, m_settings->LineColor);
        else if (hl < level)
            paint(hl, hold ? std::min(level, hp) : level, hold ? m_settings->PeakColor : m_settings->BackgroundColor);
    }
    level = hl;
    peak = hp;
}

void TSpectraPlot::DrawAmplitudeAxis(CDC* dc, const CRect& pane, const RECT& update)
{
    if (!m_traceA || m_ampLabels.empty() || m_ampLabelsB.empty())
        return;
    if (update.left >= pane.left && !m_printing)
        return;
    const int saved = dc->SaveDC();
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    const bool lower = IsPaneB(pane);
    CFont rotated;
    rotated.CreateFont(m_fontHeight, 0, 900, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    dc->SelectObject(&rotated);
    dc->SetTextAlign(TA_CENTER | TA_TOP);
    const int x = m_printing && m_printDC ? static_cast<int>(pane.left - 0.65 * dc->GetDeviceCaps(LOGPIXELSX)) : 4;
    // On screen the title keeps below the tool strip, and to its own half of the height between
    // two panes.
    CRect client;
    GetClientRect(&client);
    int top = m_toolStripHeight + 2, bottom = client.bottom;
    if (m_paneMode != 1) {
        const int between = (m_paneA.bottom + m_paneB.top) / 2;
        if (lower)
            top = std::max(top, between);
        else
            bottom = between;
    }
    const char* label = lower ? "Coherence" : m_traceA->GetAmplitudeLabel();
    const std::string title = label ? label : "";
    int centre = pane.top + 6 + pane.Height() / 2;
    if (FitSideTitle(dc, title, top, bottom, &centre))
        dc->TextOut(x, centre, title);
    dc->SelectObject(m_font);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    dc->SelectObject(&pen);
    dc->SetTextAlign(TA_RIGHT | TA_TOP);
    for (const Label& l : lower ? m_ampLabelsB : m_ampLabels) {
        const int y = pane.top + l.offset;
        if (!l.text[0])
            continue;
        dc->MoveTo(pane.left, y);
        dc->LineTo(pane.left - 3, y);
        dc->TextOut(pane.left - (m_printing ? 80 : 6), y - m_fontHeight / 2, l.text);
    }
    dc->RestoreDC(saved);
}

void TSpectraPlot::DrawFrequencyAxis(CDC* dc, const CRect& pane, const RECT& update)
{
    if (!m_traceA)
        return;
    const int bar = GetScrollBarHeight();
    if (update.bottom <= pane.bottom && !m_printing)
        return;
    const int saved = dc->SaveDC();
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    dc->SelectObject(m_font);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    dc->SelectObject(&pen);
    dc->SetTextAlign(TA_CENTER | TA_TOP);
    for (const Label& l : m_freqLabels) {
        if (!l.text[0])
            continue;
        const int x = pane.left + l.offset;
        dc->MoveTo(x, pane.bottom + bar);
        dc->LineTo(x, pane.bottom + bar + 3);
        dc->TextOut(x, pane.bottom + bar + (m_printing ? 20 : 3), l.text);
    }
    const char* title = m_quefrency ? "Quefrency (msec)" : "Frequency (Hz)";
    if (m_printing) {
        dc->TextOut(pane.left + pane.Width() / 2, pane.bottom + bar + m_fontHeight + 50, title);
    } else {
        CRect client;
        GetClientRect(&client);
        dc->TextOut(client.Width() / 2, client.bottom - m_fontHeight, title);
    }
    dc->RestoreDC(saved);
}

void TSpectraPlot::DrawFrequencyGrid(CDC* dc, const CRect& pane, const RECT& update)
{
    CRect meet;
    const CRect u(update);
    if (!m_settings || !m_settings->GridXEnabled || (!m_printing && !meet.IntersectRect(&pane, &u)))
        return;
    const int saved = dc->SaveDC();
    CPen pen(PS_SOLID, 1, m_printing ? RGB(128, 128, 128) : m_settings->GridColor);
    dc->SelectObject(&pen);
    for (const Label& l : m_freqLabels) {
        if (!l.text[0])
            continue;
        dc->MoveTo(pane.left + l.offset, pane.top);
        dc->LineTo(pane.left + l.offset, pane.bottom);
    }
    dc->RestoreDC(saved);
}

void TSpectraPlot::DrawAmplitudeGrid(CDC* dc, const CRect& pane, const RECT& update)
{
    CRect meet;
    const CRect u(update);
    if (!m_settings || !m_settings->GridYEnabled || m_ampLabels.empty() || m_ampLabelsB.empty() ||
        (!m_printing && !meet.IntersectRect(&pane, &u)))
        return;
    const int saved = dc->SaveDC();
    CPen pen(PS_SOLID, 1, m_printing ? RGB(128, 128, 128) : m_settings->GridColor);
    dc->SelectObject(&pen);
    for (const Label& l : IsPaneB(pane) ? m_ampLabelsB : m_ampLabels) {
        if (!l.text[0])
            continue;
        dc->MoveTo(pane.left, pane.top + l.offset);
        dc->LineTo(pane.right, pane.top + l.offset);
    }
    dc->RestoreDC(saved);
}

void TSpectraPlot::DrawOverlayLegend(CDC* dc, bool, const CRect& pane, const RECT& update)
{
    if (!m_traceA || !m_settings || (!m_settings->ShowOverlayControls && !m_printing))
        return;
    if (!m_printing && update.right <= pane.right)
        return;
    const bool paneB = IsPaneB(pane);
    const int trace = paneB ? 2 : 1;
    const int saved = dc->SaveDC();
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    if (!m_printing && !paneB) {
        CFont header;
        header.CreateFont(m_fontHeight, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, "Arial");
        dc->SelectObject(&header);
        dc->SetTextAlign(TA_CENTER | TA_TOP);
        const int x = pane.right + m_rightMargin / 2 + (m_settings->ShowPowerMeter ? 36 : 0);
        dc->TextOut(x, pane.top - m_fontHeight, "Overlays");
    }

    // On screen the rows stand beside the pane's show boxes; on paper, where there are no
    // boxes, beside the pane itself.
    CButton* firstBox = (paneB ? m_showB : m_showA)[0].get();
    int x = pane.right;
    int y = pane.top;
    if (!m_printing) {
        if (!firstBox || !firstBox->GetSafeHwnd()) {
            dc->RestoreDC(saved);
            return;
        }
        CRect box;
        firstBox->GetWindowRect(&box);
        ScreenToClient(&box);
        x = box.left;
        y = box.top;
    }
    dc->SelectObject(m_font);
    dc->SetTextAlign(TA_LEFT | TA_TOP);
    const int px = m_printing ? dc->GetDeviceCaps(LOGPIXELSX) : 0;
    const int py = m_printing ? dc->GetDeviceCaps(LOGPIXELSY) : 0;
    const bool colourPrinter = m_printing && !IsMonochrome(dc);
    int row = 0;
    for (int k = 0; k < kOverlaySlots; ++k) {
        const SpectrumOverlaySlot& s = m_settings->Overlays[k];
        const bool shown = trace == 1 ? s.Show1 : s.Show2;
        if (m_printing && !shown)
            continue;
        const std::string path = OverlaySlotPath(trace, k);
        const TOverlayData slot(path.c_str(), 0, 0.0f, 1);
        const COLORREF colour = PrintColor(dc, s.Color);
        dc->SetTextColor(colour);
        if (!m_printing) {
            // Beside the row's own box: in a short window the rows wrap into columns.
            CRect box;
            (paneB ? m_showB : m_showA)[k]->GetWindowRect(&box);
            ScreenToClient(&box);
            dc->TextOut(box.left + 16, box.top - 8 + m_fontHeight / 2, slot.GetName());
            continue;
        }
        const int rowY = y + static_cast<int>(0.15 * py * row);
        static const int styles[kOverlaySlots] = {PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT,
                                                  PS_DASH, PS_DOT, PS_DASHDOTDOT};
        CPen pen(colourPrinter ? PS_SOLID : styles[k], 1, colour);
        CPen* old = dc->SelectObject(&pen);
        const int lineY = rowY + static_cast<int>(0.1 * py);
        dc->MoveTo(x + static_cast<int>(0.55 * px), lineY);
        dc->LineTo(x + static_cast<int>(0.58 * px), lineY);
        dc->SelectObject(old);
        dc->TextOut(x + static_cast<int>(0.6 * px), rowY, slot.GetName());
        ++row;
    }

    CRect store;
    if (m_storeA[0] && m_storeA[0]->GetSafeHwnd()) {
        m_storeA[0]->GetWindowRect(&store);
        ScreenToClient(&store);
    }
    // Rows moved up to the pane's top in a short window leave no room for the captions.
    if (!m_printing && !paneB && m_storeA[0] && m_storeA[0]->GetSafeHwnd() && store.top - 18 >= pane.top) {
        CFont caption;
        caption.CreateFont(m_fontHeight - 2, 0, 900, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
        dc->SelectObject(&caption);
        dc->SetTextColor(RGB(0, 0, 0));
        dc->TextOut(store.left + 1, store.top - 10 + m_fontHeight / 2, "Set");
        dc->TextOut(store.left + 16, store.top - 10 + m_fontHeight / 2, "On");
    }
    dc->RestoreDC(saved);
}

void TSpectraPlot::DrawBackground(CDC* dc, bool full, const RECT& update)
{
    if (m_printing || update.top >= m_toolStripHeight)
        return;
    TPlotBase::DrawBackground(dc, full, update);
    if (!m_settings || !m_settings->ShowToolbar || !m_plotTopEdit)
        return;
    const int saved = dc->SaveDC();
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    dc->SelectObject(m_font);
    dc->SetTextAlign(TA_RIGHT | TA_TOP);
    auto label = [&](CWnd* control, const char* text, int lift) {
        CRect r;
        control->GetWindowRect(&r);
        ScreenToClient(&r);
        dc->TextOut(r.left - 3, r.top - lift + m_fontHeight / 2, text);
    };
    label(m_plotTopEdit.get(), "Plot Top:", 4);
    // A linear axis hides the range box: no label for it.
    if (m_scaling && m_scaling->AmpScaleType != 0)
        label(m_plotRangeEdit.get(), m_scaling->AmpScaleType == 2 ? "Plot Bottom:" : "Plot Range:", 4);
    label(m_peakHoldCombo.get(), "Peak Hold:", 2);
    dc->RestoreDC(saved);
}

// ---------------------------------------------------------------------------------------------
// Cursor answers

double TSpectraPlot::PixelToXValue(int x, int) { return m_traceA ? ColumnToFrequency(x) : 0.0; }

double TSpectraPlot::PixelToYValue(int x, int y)
{
    const CRect pane = GetPaneAtPoint(CPoint(x, y));
    if (pane.IsRectEmpty() || !m_settings || !m_scaling)
        return 0.0;
    double value = 0.0;
    const bool lower = IsPaneB(pane);
    if (m_settings->GrabCursorFlag) {
        SpectralData* s = lower ? m_traceB : m_traceA;
        value = s ? s->MaxLevel(ColumnToBin(x - 1), ColumnToBin(x)) : 0.0;
    } else {
        const double H = pane.Height();
        const double d = pane.bottom - y;
        const double T = m_settings->PlotTop;
        const double R = m_settings->PlotRange;
        if (lower) {
            value = d * 1.2 / H;
        } else if (m_scaling->AmpScaleType == 0) {
            value = d * T / H;
        } else if (m_scaling->AmpScaleType == 2) {
            const double top = T > 0 ? T : 10.0;
            const double bottom = (R <= 0 || top <= R) ? 1e-9 : R;
            const double lo = 10.0 * std::log10(bottom);
            const double S = 10.0 * std::log10(top) - lo;
            value = S > 0 ? std::pow(10.0, (d * S / H + lo) / 10.0) : 0.0;
        } else {
            value = d * R / H + (T - R);
        }
    }
    m_yFormat = m_scaling->AmpScaleType == 1 ? 2 : std::fabs(value) < 0.01 ? 100 : 3;
    return value;
}

WORD TSpectraPlot::GetHarmonicCount(int x, int)
{
    const float f = ColumnToFrequency(x);
    if (f <= 0.0f || !m_settings)
        return 0;
    return static_cast<WORD>(std::min(65535.0f, std::trunc(m_settings->StopFreq / f)));
}

CPoint TSpectraPlot::GetHarmonicPoint(WORD k, int x, int y)
{
    return CPoint(FrequencyToColumn(static_cast<float>(k) * ColumnToFrequency(x)), y);
}

CPoint TSpectraPlot::GetUpperSidebandPoint(WORD k, CPoint anchor, int x, int y)
{
    const float f1 = ColumnToFrequency(anchor.x);
    const float d = std::fabs(ColumnToFrequency(x) - f1);
    return CPoint(FrequencyToColumn(f1 + static_cast<float>(k) * d), y);
}

CPoint TSpectraPlot::GetLowerSidebandPoint(WORD k, CPoint anchor, int x, int y)
{
    const float f1 = ColumnToFrequency(anchor.x);
    const float d = std::fabs(ColumnToFrequency(x) - f1);
    return CPoint(FrequencyToColumn(f1 - static_cast<float>(k) * d), y);
}

void TSpectraPlot::MoveCursorToTrace(CPoint& point)
{
    if (!m_traceA || !m_settings || !m_settings->GrabCursorFlag)
        return;
    const CRect pane = GetPaneAtPoint(point);
    if (pane.IsRectEmpty())
        return;
    SpectralData* s = IsPaneB(pane) ? m_traceB : m_traceA;
    if (!s)
        return;
    int h = 0;
    if (!LevelToHeight(s->MaxLevel(ColumnToBin(point.x - 1), ColumnToBin(point.x)), pane, h))
        return;
    point.y = std::clamp(static_cast<int>(pane.bottom - h), static_cast<int>(pane.top), static_cast<int>(pane.bottom));
    CPoint screen = point;
    ClientToScreen(&screen);
    SetCursorPos(screen.x, screen.y);
}

// ---------------------------------------------------------------------------------------------
// Markers

bool TSpectraPlot::AnyMarkerEnabled() const
{
    return m_markers && std::any_of(std::begin(m_markers->Enabled), std::end(m_markers->Enabled),
                                    [](DWORD on) { return on != 0; });
}

void TSpectraPlot::DrawMarkers(CDC* dc, SpectralData* spectrum, POINT* points, RECT* rects, const CRect& pane,
                               const RECT& update)
{
    if (!spectrum || !AnyMarkerEnabled() || !m_settings || m_columns.empty() || !points || !rects)
        return;
    if (static_cast<int>(m_columns.size()) < pane.Width() && !m_printing)
        return;
    CRect meet;
    const CRect u(update);
    if (!m_printing && !meet.IntersectRect(&pane, &u))
        return;
    const int saved = dc->SaveDC();
    if (!m_printing)
        dc->IntersectClipRect(&pane);
    CPen pen(PS_SOLID, m_printing ? 1 : 1, PrintColor(dc, m_settings->MarkerColor));
    dc->SelectObject(&pen);
    dc->SelectObject(m_font);
    // The coherence pane shows plain ratios, whatever trace A's scale.
    const bool dB = m_scaling && m_scaling->AmpScaleType == 1 && !IsPaneB(pane);
    for (int i = 0; i < MarkerSettings::kMarkers; ++i) {
        if (!m_markers->Enabled[i])
            continue;
        const float f = m_markers->Freq[i];
        const int bin = spectrum->FrequencyToBin(f);
        int column = FrequencyToColumn(f);
        // Within a column's width of either end the marker belongs to the end column (0 Hz
        // below the first column's frequency, say).
        if (column < 0 && m_columns.size() >= 2) {
            const std::size_t n = m_columns.size();
            if (f < m_columns[0].frequency && f >= 2.0f * m_columns[0].frequency - m_columns[1].frequency)
                column = 0;
            else if (f > m_columns[n - 1].frequency &&
                     f <= 2.0f * m_columns[n - 1].frequency - m_columns[n - 2].frequency)
                column = static_cast<int>(n - 1);
        }
        // A marker outside the frequencies shown is not drawn at all: pulled to the edge its
        // label would name a frequency the edge is not.
        if (column < 0) {
            if (!m_printing) {
                points[i] = {pane.left - 1000, pane.top - 1000};
                rects[i] = RECT{};
            }
            continue;
        }
        const int x = column + pane.left;
        const bool peak = m_markers->MarkPeakHoldFlag && m_settings->PeakHold != 0;
        const double level = peak ? spectrum->GetPeakHoldValue(static_cast<UINT>(std::max(bin, 0))) : spectrum->GetLevel(bin);
        int h = 0;
        if (!LevelToHeight(level, pane, h))
            continue;
        const int y = pane.bottom - h - 1;
        const POINT tri[3] = {{x, y}, {x - 3, y - 8}, {x + 3, y - 8}};
        CBrush fill(PrintColor(dc, m_settings->MarkerColor));
        dc->SelectObject(&fill);
        dc->Polygon(tri, 3);
        if (!m_printing)
            points[i] = {x, y};
        if (m_markers->LabelType[i] == 0) {
            dc->MoveTo(x, y - 8);
            dc->LineTo(x, y - 20);
            rects[i] = RECT{};
            continue;
        }
        char text[64] = " ";
        switch (m_markers->LabelType[i]) {
        case 1: std::snprintf(text, sizeof text, "%3.2f Hz", static_cast<double>(f)); break;
        case 2: std::snprintf(text, sizeof text, dB ? "%3.2f dB" : "%3.2f", level); break;
        case 3:
            std::snprintf(text, sizeof text, dB ? "%3.2f Hz/%3.2f dB" : "%3.2f Hz/%3.2f", static_cast<double>(f), level);
            break;
        case 4: std::snprintf(text, sizeof text, "%.30s", m_markers->CustomLabel[i]); break;
        default: break;
        }
        if (!text[0])
            std::strcpy(text, " ");
        dc->SetBkMode(TRANSPARENT);
        dc->SetTextAlign(TA_CENTER | TA_TOP);
        const CSize size = dc->GetTextExtent(text);
        // Above the glyph on its stem, but inside the pane: a marker on a peak near a side
        // has its label moved in. Near the top (as after an autoscale) there is no room above:
        // the label then stands beside the glyph and the stem stops at the pane's top, so
        // neither crosses the other.
        const int above = y - m_fontHeight - 19;
        const int half = size.cx / 2 + 3;
        int top = above;
        int cx = pane.Width() > 2 * half ? std::clamp<int>(x, pane.left + half, pane.right - 1 - half) : x;
        if (above < pane.top + 1) {
            top = pane.top + 1;
            cx = x + 5 + half <= pane.right - 1 - half || x - 5 - half < pane.left + half ? x + 5 + half : x - 5 - half;
        }
        dc->MoveTo(x, y - 8);
        dc->LineTo(x, std::max<int>(y - 20, pane.top));
        dc->TextOut(cx, top, text);
        const CRect box(cx - size.cx / 2 - 2, top, cx + size.cx / 2 + 2, top + size.cy - 1);
        dc->SelectStockObject(NULL_BRUSH);
        dc->Rectangle(&box);
        if (!m_printing)
            rects[i] = box;
    }
    dc->RestoreDC(saved);
}

CRect TSpectraPlot::EraseMarkers(CDC* dc, const POINT* points, const RECT* rects, const CRect& pane)
{
    CRect erased;
    if (m_printing || m_columns.empty() || static_cast<int>(m_columns.size()) < pane.Width() || !AnyMarkerEnabled() ||
        !m_settings || !points || !rects)
        return erased;
    const int saved = dc->SaveDC();
    dc->IntersectClipRect(&pane);
    CPen pen(PS_SOLID, 1, m_settings->BackgroundColor);
    CBrush brush(m_settings->BackgroundColor);
    dc->SelectObject(&pen);
    dc->SelectObject(&brush);
    auto add = [&erased](const CRect& r) {
        if (erased.IsRectEmpty())
            erased = r;
        else
            erased.UnionRect(&erased, &r);
    };
    for (int i = 0; i < MarkerSettings::kMarkers; ++i) {
        if (!m_markers->Enabled[i])
            continue;
        const POINT p = points[i];
        const POINT tri[3] = {{p.x, p.y}, {p.x - 3, p.y - 8}, {p.x + 3, p.y - 8}};
        dc->Polygon(tri, 3);
        dc->MoveTo(p.x, p.y - 8);
        dc->LineTo(p.x, p.y - 20);
        add(CRect(p.x - 3, p.y - 20, p.x + 4, p.y + 1));
        if (m_markers->LabelType[i] != 0) {
            CRect box(rects[i]);
            box.right += 1;
            box.bottom += 1;
            dc->FillSolidRect(&box, m_settings->BackgroundColor);
            if (!box.IsRectEmpty())
                add(box);
        }
    }
    dc->RestoreDC(saved);
    erased.IntersectRect(&erased, &pane);
    return erased;
}
