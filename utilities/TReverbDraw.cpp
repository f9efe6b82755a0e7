// Painting of the RT-60 window: titles and axis labels, the status line, and the three views.
#include "utilities/TReverb.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string Printf(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Text turned counter-clockwise by `tenths` of a degree, in Arial of the given height.
void TurnedText(CDC* dc, int x, int y, int height, int tenths, const std::string& text)
{
    CFont font;
    font.CreateFont(-height, 0, tenths, tenths, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    CFont* old = dc->SelectObject(&font);
    dc->TextOut(x, y, text);
    dc->SelectObject(old);
}

// A height or row in pixels as the views clamp it: truncated, 1 when negative, H - 1 when above
// H. Judged before the conversion to int, so that no level or time overflows on its way.
int ClampedPixel(float v, int H)
{
    if (!(v > -1.0f))
        return 1;
    if (v >= static_cast<float>(H) + 1.0f)
        return H - 1;
    return static_cast<int>(v);
}

// Grid steps of 10 dB over the plot range, at least one; a range no dialog allows draws no more
// lines than there are pixels to hold them.
int LevelSteps(float range)
{
    const float steps = range / 10.0f;
    return steps >= 1000.0f ? 1000 : steps >= 1.0f ? static_cast<int>(steps) : 1;
}

// The record shown `q` records after the start record s, or -1 once past the last (or when the
// time axis runs backwards).
int RecordAt(float q, int s, int count)
{
    return q >= 0.0f && q < static_cast<float>(count - s) ? s + static_cast<int>(q) : -1;
}

} // namespace

int TReverb::WholeHz(float f) { return f > -1e9f && f < 1e9f ? static_cast<int>(f) : 0; }

int TReverb::TimeSteps() const { return Settings().TimeExtent >= 1.0f ? 4 : 10; }

std::string TReverb::TimeLabel(float seconds) const
{
    // Tenths when the divisions fall on them; hundredths when they don't (an extent of 5 s
    // divides into 1.25 s), so that no label reads a time the grid line does not stand at.
    const double tenths = 10.0 * Settings().TimeExtent / TimeSteps();
    const bool onTenths = std::fabs(tenths - std::round(tenths)) < 1e-3;
    return Printf(Settings().TimeExtent > 2.0f && onTenths ? "%6.1f" : "%6.2f", seconds);
}

std::string TReverb::TimeLabelAt(int i) const
{
    return TimeLabel(static_cast<float>(i) * Settings().TimeExtent / static_cast<float>(TimeSteps()));
}

std::string TReverb::SelectionText() const
{
    const ReverbAnalysis& a = *m_analysis;
    if (a.viewMode == 1)
        return "RT-" + std::to_string(10 * (std::min<DWORD>(Settings().RtChoice, 5) + 1));
    if (a.viewMode == 2 && a.bandCount > 0) {
        const int b = std::clamp(static_cast<int>(Settings().SelectedBand), 0, a.bandCount - 1);
        return b == a.bandCount - 1 ? std::string("Wideband") : std::to_string(WholeHz(a.results[b].Frequency)) + " Hz";
    }
    return {};
}

std::string TReverb::StatusText() const
{
    const ReverbAnalysis& a = *m_analysis;
    if (a.running)
        return "Reverb measurement in progress. Press <Esc> to cancel.";
    if (a.viewMode == 0)
        return "Reverberation data not available.  Press Start to begin.";
    if (a.viewMode == 2 && a.cutoffHint)
        return "Adjust decay cutoff point by right clicking on the trace and selecting \"Set Decay Start Time\"";
    return {};
}

void TReverb::DrawPlot(CDC* dc, bool full, const RECT& update)
{
    if (!m_analysis)
        return;
    const ReverbAnalysis& a = *m_analysis;
    const int saved = dc->SaveDC();
    if (!m_printing) {
        TPlotBase::DrawPlot(dc, full, update);
        if (!a.running && a.viewMode != 0 && m_offsetEdit) {
            CFont* old = dc->SelectObject(&m_font);
            dc->SetBkMode(TRANSPARENT);
            dc->SetTextColor(GetSysColor(COLOR_BTNTEXT));
            const CSize size = dc->GetTextExtent("Start Offset:");
            dc->TextOut(640 - 4 - size.cx, 9 + m_fontHeight / 2 - 4, "Start Offset:");
            dc->SelectObject(old);
        }
        DrawProgressText(dc, &m_font);
    } else {
        dc->FillSolidRect(&m_plotRect, RGB(255, 255, 255));
    }
    dc->SetBkMode(TRANSPARENT);
    DrawTitleAndLabels(dc);
    switch (a.viewMode) {
    case 1: DrawReverbTimes(dc); break;
    case 2:
        DrawDecay(dc);
        if (a.cutoffHint)
            DrawStatusMessage(dc);
        break;
    case 3: DrawSurface(dc); break;
    default: DrawStatusMessage(dc); break;
    }
    dc->RestoreDC(saved);
}

void TReverb::DrawTitleAndLabels(CDC* dc)
{
    const DWORD view = m_analysis->viewMode;
    std::string title, xLabel, yLabel;
    if (view == 1) {
        title = SelectionText() + " Reverberation Time versus Frequency";
        xLabel = "Frequency (Hz)";
        yLabel = "Reverberation Time (seconds)";
    } else if (view == 2) {
        title = SelectionText() + " Reverberation Decay Plot";
        xLabel = "Time (seconds)";
        yLabel = "Amplitude (dB)";
    } else if (view == 3) {
        title = "Reverberation 3-D Surface Plot";
        xLabel = "Frequency (Hz)";
    }
    const CRect& p = m_plotRect;
    dc->SetTextColor(RGB(0, 0, 0));
    if (!m_printing)
        dc->SelectObject(&m_font);
    if (!title.empty()) {
        CRect r(p.left, p.top - m_fontHeight - 4, p.right, p.top - 2);
        dc->DrawText(title, &r, DT_CENTER | DT_SINGLELINE | DT_BOTTOM);
    }
    if (!xLabel.empty()) {
        const int rows = view == 1 ? 2 : 1;
        CRect r(p.left, p.bottom + 2 + rows * (m_fontHeight + 1), p.right, p.bottom + 4 + (rows + 1) * (m_fontHeight + 1));
        dc->DrawText(xLabel, &r, DT_CENTER | DT_SINGLELINE | DT_TOP);
    }
    if (!yLabel.empty()) {
        const CSize size = dc->GetTextExtent(yLabel);
        TurnedText(dc, std::max(p.left - 56 * (m_printing ? m_fontHeight : 14) / 14, 0),
                   p.top + p.Height() / 2 + size.cx / 2, m_fontHeight, 900, yLabel);
    }
}

void TReverb::DrawStatusMessage(CDC* dc)
{
    const std::string text = StatusText();
    if (text.empty())
        return;
    CRect r = m_plotRect;
    if (m_analysis->cutoffHint && m_analysis->viewMode == 2) {
        const CSize size = dc->GetTextExtent(text);
        const CRect box(r.CenterPoint().x - size.cx / 2 - 2, r.CenterPoint().y - size.cy / 2 - 1,
                        r.CenterPoint().x + size.cx / 2 + 2, r.CenterPoint().y + size.cy / 2 + 1);
        dc->FillSolidRect(&box, RGB(255, 255, 255));
    }
    dc->SetTextColor(RGB(0, 0, 0));
    dc->DrawText(text, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void TReverb::DrawFrequencyLabel(CDC* dc, int band, int x, int bottom)
{
    const ReverbAnalysis& a = *m_analysis;
    std::string label;
    if (band == a.bandCount - 1) {
        label = "Wide";
    } else {
        const float f = a.results[band].Frequency;
        label = f >= 1000.0f ? Printf("%6.1fk", f / 1000.0) : std::to_string(WholeHz(f));
    }
    const auto first = label.find_first_not_of(' ');
    label = first == std::string::npos ? label : label.substr(first);
    const int y = bottom + (band % 2 == 0 ? 2 : 16 * m_fontHeight / 14);
    const CSize size = dc->GetTextExtent(label);
    dc->TextOut(x - size.cx / 2, y, label);
}

void TReverb::DrawTimeGrid(CDC* dc, bool vertical)
{
    const CRect& p = m_plotRect;
    const int steps = TimeSteps();
    CPen grid(PS_SOLID, 1, m_printing ? RGB(0, 0, 0) : Settings().GridColor);
    CPen* old = dc->SelectObject(&grid);
    for (int i = 0; i <= steps; ++i) {
        const std::string label = TimeLabelAt(i);
        const CSize size = dc->GetTextExtent(label);
        if (vertical) {
            const int x = p.left + i * p.Width() / steps;
            dc->MoveTo(x, p.top);
            dc->LineTo(x, p.bottom);
            dc->TextOut(x - size.cx / 2, p.bottom + 2, label);
        } else {
            const int y = p.bottom - i * p.Height() / steps;
            dc->MoveTo(p.left, y);
            dc->LineTo(p.right, y);
            dc->TextOut(p.left - 6 - size.cx, y - 6 - size.cy / 2, label);
        }
    }
    dc->SelectObject(old);
}

void TReverb::DrawReverbTimes(CDC* dc)
{
    const ReverbAnalysis& a = *m_analysis;
    if (a.bandCount < 1)
        return;
    const CRect& p = m_plotRect;
    const int W = p.Width(), H = p.Height();
    const float E = Settings().TimeExtent;
    DrawTimeGrid(dc, false);
    const int w = W / a.bandCount - 2;
    const DWORD choice = std::min<DWORD>(Settings().RtChoice, 5);
    const COLORREF bar = m_printing ? RGB(0, 0, 0) : Settings().BarColor;
    const CSize mark = dc->GetTextExtent(ReverbAnalysis::kExtrapolatedMark);
    bool marked = false;
    for (int b = 0; b < a.bandCount; ++b) {
        const int left = p.left + 2 + (2 + w) * b;
        const int right = std::min(left + w, static_cast<int>(p.right) - 1);
        const int h = E > 0.0f ? ClampedPixel(a.results[b].Rt[choice] / (E / static_cast<float>(H)), H) : 0;
        if (right > left)
            dc->FillSolidRect(left, p.bottom - h, right - left, h, bar);
        const int centre = left + w / 2;
        // An extrapolated time has its mark over the bar (inside the area when the bar fills it).
        if (a.IsExtrapolated(b, static_cast<int>(choice))) {
            dc->TextOut(centre - mark.cx / 2, std::max(p.bottom - h - mark.cy, static_cast<int>(p.top) + 1),
                        ReverbAnalysis::kExtrapolatedMark);
            marked = true;
        }
        dc->MoveTo(centre, p.bottom);
        dc->LineTo(centre, p.bottom + 3);
        DrawFrequencyLabel(dc, b, centre, p.bottom);
    }
    dc->TextOut(p.left + 4, p.top + 2, "Start Offset = " + std::to_string(Settings().StartOffset) + " msec");
    if (marked)
        dc->TextOut(p.left + 4, p.top + 2 + 16 * m_fontHeight / 14, ReverbAnalysis::kExtrapolatedLegend);
}

void TReverb::DrawDecay(CDC* dc)
{
    ReverbAnalysis& a = *m_analysis;
    if (a.bandCount < 1 || a.recordCount < 1)
        return;
    const CRect& p = m_plotRect;
    const int W = p.Width(), H = p.Height();
    if (W <= 0 || H <= 0)
        return;
    ReverbSettings& st = Settings();
    if (st.SelectedBand >= static_cast<DWORD>(a.bandCount))
        st.SelectedBand = static_cast<DWORD>(a.bandCount - 1);
    const int band = static_cast<int>(st.SelectedBand);
    const float top = st.PlotTop, range = st.PlotRange, E = st.TimeExtent;
    CPen grid(PS_SOLID, 1, m_printing ? RGB(0, 0, 0) : st.GridColor);
    CPen* old = dc->SelectObject(&grid);
    const int steps = LevelSteps(range);
    for (int i = 0; i <= steps; ++i) {
        const int y = p.bottom - i * H / steps;
        dc->MoveTo(p.left, y);
        dc->LineTo(p.right, y);
        const std::string label = Printf("%6.1f", top - range + 10.0f * static_cast<float>(i));
        const CSize size = dc->GetTextExtent(label);
        dc->TextOut(p.left - 6 - size.cx, y - size.cy / 2, label);
    }
    dc->SelectObject(old);
    DrawTimeGrid(dc, true);

    CPen pen(PS_SOLID, 1, m_printing ? RGB(0, 0, 0) : st.DecayColor);
    old = dc->SelectObject(&pen);
    const int s = a.StartRecord();
    std::vector<POINT> points;
    points.reserve(static_cast<std::size_t>(W));
    for (int x = 0; x < W; ++x) {
        if (!(a.recordInterval > 0.0f))
            break;
        const int r = RecordAt(static_cast<float>(x) * (E / static_cast<float>(W)) / a.recordInterval, s, a.recordCount);
        if (r < 0)
            break;
        const int y = ClampedPixel(
            static_cast<float>(H) * (a.records[static_cast<std::size_t>(r)].Smoothed[band] - top + range) / range, H);
        points.push_back({p.left + x, p.bottom - y});
    }
    if (points.size() > 1)
        dc->Polyline(points.data(), static_cast<int>(points.size()));
    dc->SelectObject(old);
    const DWORD choice = std::min<DWORD>(st.RtChoice, 5);
    dc->TextOut(p.left + 4, p.top + 2, "Start Offset = " + std::to_string(st.StartOffset) + " msec");
    char line[64];
    std::snprintf(line, sizeof line, "RT-%d = %6.2f secs", static_cast<int>((choice + 1) * 10), a.results[band].Rt[choice]);
    const bool extrapolated = a.IsExtrapolated(band, static_cast<int>(choice));
    dc->TextOut(p.left + 4, p.top + 2 + 16 * m_fontHeight / 14,
                extrapolated ? line + std::string(" ") + ReverbAnalysis::kExtrapolatedMark : std::string(line));
    if (extrapolated)
        dc->TextOut(p.left + 4, p.top + 2 + 32 * m_fontHeight / 14, ReverbAnalysis::kExtrapolatedLegend);
}

void TReverb::DrawSurface(CDC* dc)
{
    const ReverbAnalysis& a = *m_analysis;
    if (a.bandCount < 2 || a.recordCount < 1 || !(a.recordInterval > 0.0f))
        return;
    const CRect& p = m_plotRect;
    const int W = p.Width(), H = p.Height();
    const ReverbSettings& st = Settings();
    const float top = st.PlotTop, range = st.PlotRange, E = st.TimeExtent;
    dc->FillSolidRect(&p, RGB(255, 255, 255));
    const int A = H / 2;
    const int R = (H - A) / 2;
    if (R <= 0)
        return;
    const int rowWidth = W - 48 - R;
    const int P = rowWidth / (a.bandCount - 1);
    const float perRow = E / static_cast<float>(R) / a.recordInterval;
    const int s = a.StartRecord();
    CPen pen(PS_SOLID, 1, m_printing ? RGB(0, 0, 0) : st.SurfaceColor);
    CBrush brush(m_printing ? RGB(255, 255, 255) : st.BackgroundColor);
    CPen* oldPen = dc->SelectObject(&pen);
    CBrush* oldBrush = dc->SelectObject(&brush);
    dc->SetPolyFillMode(WINDING);
    std::vector<POINT> poly;
    int lastHeight = 0;
    for (int i = 0; i < R; ++i) {
        const int x0 = p.left + R - i;
        const int y0 = p.top + A + 2 * i;
        const int r = RecordAt(static_cast<float>(i) * perRow + 0.5f, s, a.recordCount);
        if (r < 0)
            break;
        poly.clear();
        poly.push_back({x0, y0});
        for (int b = 0; b < a.bandCount - 1; ++b) {
            float h = static_cast<float>(A) * (a.records[static_cast<std::size_t>(r)].Smoothed[b] - top + range) / range;
            h = h > 0.0f ? std::min(h, static_cast<float>(A)) : 0.0f;
            const int x = b == a.bandCount - 2 ? x0 + (a.bandCount - 1) * P : x0 + b * P;
            poly.push_back({x, y0 - static_cast<int>(h)});
            if (i == 0)
                lastHeight = static_cast<int>(h);
        }
        poly.push_back({x0 + (a.bandCount - 1) * P, y0});
        poly.push_back({x0, y0});
        dc->Polygon(poly.data(), static_cast<int>(poly.size()));
    }
    dc->SelectObject(oldBrush);
    dc->SelectObject(oldPen);
    dc->SetTextColor(RGB(0, 0, 0));
    const int frontY = p.top + A + 2 * (R - 1);
    for (int b = 0; b < a.bandCount; ++b)
        DrawFrequencyLabel(dc, b, p.left + b * P + P / 2, frontY);

    // Depth (time) axis along the rows' right ends, from the back row to the front row.
    CPen axis(PS_SOLID, 1, RGB(0, 0, 0));
    CPen* old = dc->SelectObject(&axis);
    const int backX = p.left + R + (a.bandCount - 1) * P, backY = p.top + A;
    const int frontX = p.left + 1 + (a.bandCount - 1) * P;
    dc->MoveTo(backX + 6, backY);
    dc->LineTo(frontX + 6, frontY);
    const int steps = TimeSteps();
    const int span = frontY - backY;
    for (int i = 0; i <= steps; ++i) {
        const int dy = i * span / steps;
        const int x = backX + 6 - dy / 2, y = backY + dy;
        dc->MoveTo(x, y);
        dc->LineTo(x + 4, y);
        if (i > 0)
            dc->TextOut(x + 6, y - 6, TimeLabelAt(i));
    }
    TurnedText(dc, backX + 24, backY + span / 2, m_fontHeight, 634, "Seconds");
    // Amplitude axis right of the back row.
    const int ax = backX + 8;
    dc->MoveTo(ax, backY);
    dc->LineTo(ax, backY - lastHeight);
    const int levels = LevelSteps(range);
    for (int i = 0; i <= levels; ++i) {
        const int y = backY - i * A / levels;
        if (backY - y > lastHeight)
            break;
        dc->MoveTo(ax, y);
        dc->LineTo(ax + 4, y);
        dc->TextOut(ax + 6, y - m_fontHeight / 2, Printf("%6.0f", top - range + 10.0f * static_cast<float>(i)));
    }
    dc->SelectObject(old);
    const CSize size = dc->GetTextExtent("Amplitude (dB)");
    TurnedText(dc, p.right - 15 - m_fontHeight, p.top + A / 2 + size.cx / 2, m_fontHeight, 900, "Amplitude (dB)");
    dc->TextOut(p.left + 4, p.top + 2, "Start Offset = " + std::to_string(st.StartOffset) + " msec");
}
