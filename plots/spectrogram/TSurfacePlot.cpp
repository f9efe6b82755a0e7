#include "plots/spectrogram/TSurfacePlot.h"

#include "dsp/SpectralData.h"
#include "records/CommonRoutines.h"
#include "records/SurfacePlotSettings.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/GdiWindowDC.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kThickness = 3; // rows per line, and rows of depth per pixel of slant
constexpr int kMaxPolygonPoints = 4000;
constexpr int kEdgeGap = 8; // from the window's left edge to the caption on its side
constexpr int kLeftMargin = 64;
} // namespace

TSurfacePlot::TSurfacePlot() : THistoryPlot(kThickness)
{
    m_bottomMargin = 20;
    m_leftMargin = kLeftMargin;
    m_rightMargin = 24;
    m_paneGap = 20;
}

COLORREF TSurfacePlot::PictureBackground() const
{
    if (!m_settings)
        return RGB(0, 0, 0);
    switch (m_settings->ColorMode) {
    case 1: return m_settings->BackgroundColor;
    case 2: return m_settings->MinCustomColor;
    case 3: return RGB(255, 255, 255);
    default: return RGB(0, 0, 0);
    }
}

bool TSurfacePlot::ShowsLevelBox() const { return !m_settings || m_settings->ColorMode != 1; }

COLORREF TSurfacePlot::GetOutlineColor() const
{
    if (m_settings && m_settings->ColorMode == 1)
        return m_settings->LineColor;
    return PictureBackground() == RGB(255, 255, 255) ? RGB(0, 0, 0) : RGB(255, 255, 255);
}

void TSurfacePlot::BuildPalette()
{
    // A single line colour needs no scale; the old one is kept.
    if (!m_settings || m_settings->ColorMode == 1)
        return;
    const WORD scheme = m_settings->ColorMode == 3 ? 1 : m_settings->ColorMode == 2 ? 2 : 0;
    KeepDisplayableColours(history::BuildColourScale(scheme, m_settings->MinCustomColor, m_settings->MaxCustomColor));
}

void TSurfacePlot::CreatePaneBitmaps()
{
    for (int pane = 0; pane < 2; ++pane) {
        // The old picture is not carried over: the waterfall's geometry follows the size.
        const bool shown = pane == 0 || PaneCount() == 2;
        if (shown && KeepPaneBitmap(pane, true))
            continue;
        m_paneBitmap[pane].reset();
        if (shown)
            m_paneBitmap[pane] = NewPaneBitmap(pane);
    }
}

void TSurfacePlot::RecalcLayout(BOOL bNotify)
{
    // The time labels end 6 left of the panes; the margin holds the widest of them beside the
    // caption on its side, which short panes would otherwise bring down onto them.
    if (m_hWnd && !m_printing && m_plotFont.GetSafeHandle())
        m_leftMargin = std::max(kLeftMargin, LeftMarginFor(TextWidth(FormatTime(0.0f, true, true)), 6));
    THistoryPlot::RecalcLayout(bNotify);
}

void TSurfacePlot::FinishLayout()
{
    const int capacity = 2 * m_plotRect.Width();
    m_outline.clear();
    m_polygonCapacity = 0;
    if (capacity >= 1 && capacity <= kMaxPolygonPoints) {
        m_outline.reserve(static_cast<std::size_t>(capacity) + 4);
        m_polygonCapacity = capacity;
    }
}

void TSurfacePlot::BuildScales()
{
    m_frequencyMap.clear();
    m_frequencyLabels.clear();
    m_levelTicks.clear();
    if (!m_traceA || !m_settings)
        return;
    // The front line is as wide as the plot less the slant of the lines behind it.
    const int lines = PaneRect(0).Height() / kThickness;
    BuildFrequencyScale(m_plotRect.Width() - lines, 30);
}

int TSurfacePlot::LevelHeight(double level, int most)
{
    return history::ScaleLevel(level, most, most, m_scaling.AmpScaleType, m_settings->PlotTop, m_settings->PlotRange);
}

void TSurfacePlot::PaintNewSpectrum(int pane, SpectralData* trace)
{
    CBitmap* bitmap = m_paneBitmap[pane].get();
    if (!trace || !bitmap || !bitmap->GetSafeHandle() || m_frequencyMap.empty() || m_polygonCapacity == 0 ||
        !m_settings)
        return;
    if (m_scaling.AmpScaleType == 0 && m_settings->PlotTop <= 0.0f)
        m_settings->PlotTop = 1.0f;
    BITMAP info{};
    bitmap->GetBitmap(&info);
    const int w = info.bmWidth;
    const int hb = info.bmHeight;
    const COLORREF background = PictureBackground();
    const COLORREF outline = GetOutlineColor();
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap* oldBitmap = mem.SelectObject(bitmap);
    // The waterfall recedes: everything moves one pixel right and one line up.
    const CRect all(0, 0, w, hb);
    mem.ScrollDC(1, -kThickness, &all, &all, nullptr, nullptr);
    mem.FillSolidRect(0, 0, 1, hb, background);
    mem.FillSolidRect(0, hb - kThickness, w, kThickness, background);

    const int most = PaneRect(pane).Height() / 3;
    bool drawn = most > 0;
    if (drawn) {
        m_outline.clear();
        m_outline.push_back({0, hb + 1});
        const bool bands = m_scaling.FreqScaleType == 2;
        const bool singleColour = m_settings->ColorMode == 1;
        const std::vector<double>& levels = m_pixelLevels.Read(*trace, m_frequencyMap);
        m_scale.Fit(most, most, m_scaling.AmpScaleType, m_settings->PlotTop, m_settings->PlotRange);
        int previousBin = -1;
        int previousHeight = 0;
        int duplicates = 1;
        for (std::size_t x = 0; x + 1 < m_frequencyMap.size(); ++x) {
            const int bin = m_frequencyMap[x].bin;
            if (singleColour && x > 0 && bin == previousBin) {
                ++duplicates;
                continue;
            }
            const int h = m_scale(levels[x]);
            if (h < 0) {
                drawn = false;
                break;
            }
            if (x == 0)
                previousHeight = h;
            const int px = static_cast<int>(x);
            if (bands) {
                m_outline.push_back({px, hb - 1 - previousHeight});
                m_outline.push_back({px, hb - 1 - h});
            } else {
                m_outline.push_back({px - duplicates / 2, hb - 1 - previousHeight});
            }
            previousHeight = h;
            previousBin = bin;
            duplicates = 1;
        }
        if (drawn) {
            m_outline.push_back({m_outline.back().x, hb + 1});
            m_outline.push_back({0, hb + 1});
            const int saved = mem.SaveDC();
            // The new spectrum's fill hides the older ones behind it. Its closing edges are
            // drawn in the background: outlined, the right one would stand beside every older
            // line's end and, recoloured by height, stack into a wedge down the right side.
            CPen hidden(PS_SOLID, 1, background);
            CBrush brush(background);
            mem.SelectObject(&hidden);
            mem.SelectObject(&brush);
            mem.SetPolyFillMode(WINDING);
            mem.Polygon(m_outline.data(), static_cast<int>(m_outline.size()));
            CPen pen(PS_SOLID, 1, outline);
            mem.SelectObject(&pen);
            mem.Polyline(m_outline.data() + 1, static_cast<int>(m_outline.size()) - 3);
            const POINT end = m_outline[m_outline.size() - 3]; // a line leaves out its end point
            mem.SetPixelV(end.x, end.y, outline);
            mem.RestoreDC(saved);
            if (!singleColour && !m_colours.empty()) {
                const int n = static_cast<int>(m_colours.size());
                const double scale = static_cast<double>(n) / most;
                auto colourAt = [&](int y) {
                    const int index = std::clamp(static_cast<int>(std::trunc((hb - y) * scale)), 0, n - 1);
                    return m_colours[static_cast<std::size_t>(index)];
                };
                for (std::size_t i = 0; i + 2 < m_outline.size(); ++i) {
                    const POINT p = m_outline[i];
                    if (p.y < 0 || p.y >= hb)
                        continue;
                    mem.SetPixelV(p.x, p.y, colourAt(p.y));
                    for (int y = p.y + 1; y < hb && mem.GetPixel(p.x, y) == outline; ++y)
                        mem.SetPixelV(p.x, y, colourAt(y));
                    for (int y = p.y - 1; y >= 0 && mem.GetPixel(p.x, y) == outline; --y)
                        mem.SetPixelV(p.x, y, colourAt(y));
                }
            }
        }
    }
    mem.SelectObject(oldBitmap);
    PresentPane(pane, bitmap, w, hb);
}

void TSurfacePlot::Rebuild(SpectralData* traceA, SpectralData* traceB)
{
    ClearSelection();
    PaintNewSpectrum(0, traceA);
    if (PaneCount() == 2)
        PaintNewSpectrum(1, traceB);
    // A rebuild names the line's place with its time, just after this.
    HoldLineLevels(traceA);
}

// ---- Coordinates ---------------------------------------------------------------------------

double TSurfacePlot::PixelToYValue(int x, int y)
{
    const CRect p = PaneUnder(x, y);
    const int h = std::max(LevelHeight(GetLevelAtPoint(x, y), PaneRect(0).Height() / 3), 0);
    return RowTime(p.bottom - 1 - y - h);
}

double TSurfacePlot::PixelToXValue(int x, int y)
{
    if (!m_traceA)
        return 0.0f;
    const CRect p = PaneUnder(x, y);
    const int h = std::max(LevelHeight(GetLevelAtPoint(x, y), PaneRect(0).Height() / 3), 0);
    return FrequencyAtColumn(x - (p.bottom - y) / kThickness - p.left + h / kThickness);
}

std::string TSurfacePlot::CursorValuesText() const
{
    char text[128];
    if (m_settings && m_settings->ColorMode == 1)
        std::snprintf(text, sizeof text, "Freq=\t%5.4f\r\nTime=\t%5.4f\r\n", m_xValue, m_yValue);
    else
        std::snprintf(text, sizeof text, "Freq=\t%5.4f\r\nTime=\t%5.4f\r\nAmp=\t%5.4f\r\n", m_xValue, m_yValue,
                      m_cursorLevel);
    return text;
}

// ---- Cursor marks ----------------------------------------------------------------------------

void TSurfacePlot::DrawSlantedLine(CDC* dc, const CRect& pane, int x)
{
    dc->MoveTo(x, pane.bottom);
    dc->LineTo(x + (pane.bottom - pane.top) / kThickness, pane.top);
}

void TSurfacePlot::DrawCrosshair(CDC* dc, const CRect& pane, int x, int y)
{
    const int saved = dc->SaveDC();
    dc->IntersectClipRect(&pane);
    dc->MoveTo(pane.left, y);
    dc->LineTo(pane.right, y);
    dc->MoveTo(x - (pane.bottom - y) / kThickness, pane.bottom);
    dc->LineTo(x + (y - pane.top) / kThickness, pane.top);
    dc->RestoreDC(saved);
}

void TSurfacePlot::DrawHarmonicMarkers(CDC* dc, const CRect& pane, int x, int y)
{
    const int count = std::min<int>(GetHarmonicCount(x, y), 1000);
    if (count <= 1)
        return;
    const int saved = dc->SaveDC();
    dc->IntersectClipRect(&pane);
    for (int k = 2; k <= count; ++k)
        DrawSlantedLine(dc, pane, GetHarmonicPoint(static_cast<WORD>(k), x, y).x);
    dc->RestoreDC(saved);
}

void TSurfacePlot::DrawSidebandMarkers(CDC* dc, const CRect& pane, int x, int y)
{
    const int saved = dc->SaveDC();
    dc->IntersectClipRect(&pane);
    const CPoint a = m_anchorPoint;
    dc->MoveTo(a.x - (pane.bottom - a.y) / kThickness, pane.bottom);
    dc->LineTo(a.x + (a.y - pane.top) / kThickness, pane.top);
    dc->MoveTo(pane.left, y);
    dc->LineTo(pane.right, y);
    for (int k = 1; k <= 12; ++k) {
        DrawSlantedLine(dc, pane, GetUpperSidebandPoint(static_cast<WORD>(k), a, x, y).x);
        DrawSlantedLine(dc, pane, GetLowerSidebandPoint(static_cast<WORD>(k), a, x, y).x);
    }
    dc->RestoreDC(saved);
}

CPoint TSurfacePlot::GetHarmonicPoint(WORD k, int x, int y)
{
    const int column = ColumnOfFrequency(static_cast<float>(k) * static_cast<float>(PixelToXValue(x, y)));
    return CPoint(m_plotRect.left + column, y);
}

CPoint TSurfacePlot::GetUpperSidebandPoint(WORD k, CPoint anchor, int x, int y)
{
    const float f1 = static_cast<float>(PixelToXValue(anchor.x, anchor.y));
    const float d = std::fabs(static_cast<float>(PixelToXValue(x, y)) - f1);
    return CPoint(m_plotRect.left + ColumnOfFrequency(f1 + static_cast<float>(k) * d), y);
}

CPoint TSurfacePlot::GetLowerSidebandPoint(WORD k, CPoint anchor, int x, int y)
{
    const float f1 = static_cast<float>(PixelToXValue(anchor.x, anchor.y));
    const float d = std::fabs(static_cast<float>(PixelToXValue(x, y)) - f1);
    return CPoint(m_plotRect.left + ColumnOfFrequency(f1 - static_cast<float>(k) * d), y);
}

int TSurfacePlot::XReadoutLeft(const CRect& pane, int x, int y) const
{
    const int column = std::clamp<int>(x + (y - pane.top) / kThickness, pane.left, pane.right);
    return column - m_xBoxWidth / 2;
}

void TSurfacePlot::DrawXReadout(CDC* dc, const CRect& pane, int x, int y, float value)
{
    if (!m_xBoxImage || !m_xBoxBack)
        return;
    std::snprintf(m_xUnit, sizeof m_xUnit, " Hz");
    std::string text;
    FormatAxisValue(text, value, m_xFormat, m_xUnit);
    DrawReadoutBox(dc, XReadoutLeft(pane, x, y), pane.top - 1 - m_xBoxHeight, m_xBoxWidth, m_xBoxHeight,
                   m_xBoxImage.get(), m_xBoxBack.get(), text);
}

void TSurfacePlot::EraseXReadout(CDC* dc, const CRect& pane, int x, int y)
{
    if (!m_xBoxBack)
        return;
    EraseReadoutBox(dc, XReadoutLeft(pane, x, y), pane.top - 1 - m_xBoxHeight, m_xBoxWidth, m_xBoxHeight,
                    m_xBoxBack.get());
}

// ---- Selection -----------------------------------------------------------------------------

CRect TSurfacePlot::SelectionShape(int pane) const
{
    const CRect p = PaneRect(pane);
    CRect band(p.left, m_paneSelection[pane].top, p.right, m_paneSelection[pane].bottom);
    band.NormalizeRect();
    CRect shape;
    shape.IntersectRect(&band, &p);
    return shape;
}

void TSurfacePlot::GetSelectedSegment(float& start, float& end)
{
    start = 0.0f;
    end = 0.0f;
    CRect s, pane;
    if (!SelectedArea(&s, &pane))
        return;
    CRect first = m_paneSelection[0];
    first.NormalizeRect();
    start = RowTime(pane.bottom - 1 - first.top);
    end = RowTime(pane.bottom - 1 - first.bottom);
}

// ---- Drawing -------------------------------------------------------------------------------

CRect TSurfacePlot::TimeLabelBox(const CRect& p, int edge, const char* text)
{
    return TextBox(p.left - 6, TimeLabelTop(p, edge), TA_RIGHT, text);
}

int TSurfacePlot::TimeLabelTop(const CRect& p, int edge) const
{
    // The entry edge's label stays above the frequency labels, which start 4 below the pane.
    return edge == 0 ? std::min(p.bottom - 1 - m_textHeight / 2, p.bottom + 3 - m_textHeight) : p.top - m_textHeight / 2;
}

void TSurfacePlot::RepaintTimeLabels(const char* oldEntry, const char* oldFar)
{
    const char* was[2] = {oldEntry, oldFar};
    const char* now[2] = {m_entryText, m_farText};
    for (int pane = 0; pane < PaneCount(); ++pane) {
        const CRect p = PaneRect(pane);
        // A label's place beside its edge, old text and new: the caption on its side, further
        // left, stays as it is.
        for (int edge = 0; edge < 2; ++edge)
            if (std::strcmp(was[edge], now[edge]) != 0) {
                CRect box = TimeLabelBox(p, edge, was[edge]);
                const CRect drawn = TimeLabelBox(p, edge, now[edge]);
                box.UnionRect(&box, &drawn);
                InvalidateArea(box);
            }
    }
    UpdateWindow();
}

void TSurfacePlot::DrawTimeAxis(CDC* dc, int pane)
{
    if (m_history.Empty())
        return;
    const CRect p = PaneRect(pane);
    int centre = 0;
    if (SideCaptionCentre(pane, "Time (sec)", &centre) && Meets(m_drawUpdate, VerticalTextBox(kEdgeGap, centre, "Time (sec)")))
        DrawVerticalText(dc, kEdgeGap, centre, "Time (sec)");
    dc->SetTextAlign(TA_RIGHT | TA_TOP);
    const int ys[2] = {p.bottom - 1, p.top};
    const char* texts[2] = {m_entryText, m_farText};
    for (int i = 0; i < 2; ++i) {
        dc->MoveTo(p.left - 3, ys[i]);
        dc->LineTo(p.left, ys[i]);
        if (Meets(m_drawUpdate, TimeLabelBox(p, i, texts[i])))
            dc->TextOut(p.left - 6, TimeLabelTop(p, i), texts[i]);
    }
}

