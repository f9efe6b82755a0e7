#include "plots/spectrogram/TSurfacePlot.h"

#include "dsp/SpectralData.h"
#include "records/SurfacePlotSettings.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/GdiWindowDC.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
constexpr int kThickness = 3; // rows per line, and rows of depth per pixel of slant
constexpr int kMaxPaneWidth = 3000;
constexpr int kMaxPaneHeight = 2999;
constexpr int kMaxPolygonPoints = 4000;
} // namespace

BEGIN_MESSAGE_MAP(TSurfacePlot, TPlotBase)
    ON_WM_SIZE()
    ON_WM_TIMER()
    ON_WM_VSCROLL()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_RBUTTONDOWN()
    ON_WM_RBUTTONUP()
    ON_COMMAND(IDC_HISTORY_SELECT, &TSurfacePlot::OnSelectSegment)
    ON_COMMAND(IDC_HISTORY_PLAY, &TSurfacePlot::OnPlaySegment)
    ON_COMMAND(ID_HISTORY_PLAY, &TSurfacePlot::OnPlaySegment)
    ON_COMMAND(IDC_HISTORY_FILTER, &TSurfacePlot::OnFilterSegment)
    ON_COMMAND(ID_HISTORY_FILTER, &TSurfacePlot::OnFilterSegment)
    ON_COMMAND(ID_HISTORY_CUT, &TSurfacePlot::OnCut)
    ON_COMMAND(ID_HISTORY_COPY_WAVE, &TSurfacePlot::OnCopyAsWave)
    ON_COMMAND(ID_HISTORY_MUTE, &TSurfacePlot::OnMute)
    ON_COMMAND(ID_HISTORY_TIME_SERIES, &TSurfacePlot::OnDisplayTimeSeries)
    ON_COMMAND(ID_HISTORY_AVERAGE, &TSurfacePlot::OnAverageSpectrum)
    ON_COMMAND(ID_HISTORY_SPECTROGRAM, &TSurfacePlot::OnShowSpectrogram)
    ON_COMMAND(ID_HISTORY_SURFACE, &TSurfacePlot::OnShowSurface)
    ON_COMMAND(ID_HISTORY_COPY_BITMAP, &TSurfacePlot::OnCopyAsBitmap)
    ON_COMMAND(ID_HISTORY_COPY_VALUES, &TSurfacePlot::OnCopyCursorValues)
    ON_COMMAND(ID_HISTORY_HELP, &TSurfacePlot::OnHelp)
    ON_COMMAND(IDC_HISTORY_AUTOSCALE, &TSurfacePlot::Autoscale)
    ON_COMMAND(ID_HISTORY_AUTOSCALE, &TSurfacePlot::Autoscale)
    ON_COMMAND(IDC_HISTORY_OPTIONS, &TSurfacePlot::OnProperties)
    ON_COMMAND(ID_HISTORY_PROPERTIES, &TSurfacePlot::OnProperties)
    ON_COMMAND(IDC_HISTORY_TOGGLE, &TSurfacePlot::OnToggle1410)
    ON_EN_CHANGE(IDC_HISTORY_TOP, &TSurfacePlot::OnPlotTopChanged)
    ON_EN_CHANGE(IDC_HISTORY_RANGE, &TSurfacePlot::OnPlotRangeChanged)
    ON_UPDATE_COMMAND_UI_RANGE(ID_HISTORY_CUT, ID_HISTORY_SURFACE, &TSurfacePlot::OnUpdatePopupCommand)
END_MESSAGE_MAP()

TSurfacePlot::TSurfacePlot() : THistoryPlot(kThickness)
{
    m_bottomMargin = 20;
    m_leftMargin = 64;
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
    const std::vector<COLORREF> scale =
        history::BuildColourScale(scheme, m_settings->MinCustomColor, m_settings->MaxCustomColor);
    if (m_hWnd) {
        CClientDC dc(this);
        m_colours = history::KeepDistinctColours(scale, [&](COLORREF c) { return dc.GetNearestColor(c); });
    } else {
        m_colours = history::KeepDistinctColours(scale, [](COLORREF c) { return c; });
    }
}

void TSurfacePlot::CreatePaneBitmaps()
{
    for (int pane = 0; pane < 2; ++pane) {
        std::unique_ptr<CBitmap>& slot = m_paneBitmap[pane];
        // The old picture is not carried over: the waterfall's geometry follows the size.
        slot.reset();
        if (pane == 1 && PaneCount() == 1)
            continue;
        const CRect r = PaneRect(pane);
        const int w = r.Width();
        const int h = r.Height();
        if (w <= 0 || h <= 0 || w > kMaxPaneWidth || h > kMaxPaneHeight || !m_hWnd)
            continue;
        auto bitmap = std::make_unique<CBitmap>();
        CClientDC dc(this);
        if (!bitmap->CreateCompatibleBitmap(&dc, w, h)) {
            AfxMessageBox("3-D Surface Plot - Insufficient memory available for bitmap image", MB_OK | MB_ICONSTOP);
            continue;
        }
        CDC mem;
        mem.CreateCompatibleDC(&dc);
        CBitmap* old = mem.SelectObject(bitmap.get());
        mem.FillSolidRect(0, 0, w, h, PictureBackground());
        mem.SelectObject(old);
        slot = std::move(bitmap);
    }
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
    const int lines = PaneRect(0).Height() / kThickness;
    const int count = m_plotRect.Width() - lines;
    const float low = m_settings->UseFullSpan ? m_traceA->GetLowFrequency() : m_settings->StartFreq;
    const float high = m_settings->UseFullSpan ? m_traceA->GetHighFrequency() : m_settings->StopFreq;
    m_frequencyMap = history::BuildFrequencyMap(*m_traceA, count, low, high, m_scaling.FreqScaleType);
    m_frequencyLabels = history::BuildFrequencyLabels(m_frequencyMap, low, high, m_scaling.FreqScaleType, 30);
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
        int previousBin = -1;
        int previousHeight = 0;
        int duplicates = 1;
        for (std::size_t x = 0; x + 1 < m_frequencyMap.size(); ++x) {
            const int bin = m_frequencyMap[x].bin;
            if (singleColour && x > 0 && bin == previousBin) {
                ++duplicates;
                continue;
            }
            const double level = trace->MaxLevel(x == 0 ? -1 : previousBin, bin);
            const int h = LevelHeight(level, most);
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
            CPen pen(PS_SOLID, 1, outline);
            CBrush brush(background);
            mem.SelectObject(&pen);
            mem.SelectObject(&brush);
            mem.SetPolyFillMode(WINDING);
            // The new spectrum's fill hides the older ones behind it.
            mem.Polygon(m_outline.data(), static_cast<int>(m_outline.size()));
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
    if (m_hWnd && IsWindowVisible()) {
        CClientDC dc(this);
        CDC src;
        src.CreateCompatibleDC(&dc);
        CBitmap* was = src.SelectObject(bitmap);
        const CRect r = PaneRect(pane);
        dc.BitBlt(r.left, r.top, w, hb, &src, 0, 0, SRCCOPY);
        src.SelectObject(was);
    }
}

void TSurfacePlot::AddSpectrum(float time)
{
    if (!AcceptLine(time))
        return;
    PaintNewSpectrum(0, m_traceA);
    if (PaneCount() == 2)
        PaintNewSpectrum(1, m_traceB);
    RecordNewLine(time);
    UpdateTimeStrings();
}

void TSurfacePlot::Rebuild(SpectralData* traceA, SpectralData* traceB)
{
    ClearSelection();
    PaintNewSpectrum(0, traceA);
    if (PaneCount() == 2)
        PaintNewSpectrum(1, traceB);
    float peak = 0.0f, floor = 0.0f;
    TakeLevels(traceA, &peak, &floor);
    m_history.SetLevels(0, peak, floor);
}

// ---- Coordinates ---------------------------------------------------------------------------

float TSurfacePlot::FrequencyAtColumn(int c) const
{
    if (!m_traceA || c < 0 || c >= static_cast<int>(m_frequencyMap.size()))
        return 0.0f;
    return m_frequencyMap[static_cast<std::size_t>(c)].frequency;
}

double TSurfacePlot::PixelToYValue(int x, int y)
{
    const int at = PaneAt(CPoint(x, y));
    const CRect p = PaneRect(at < 0 ? 0 : at);
    const int h = std::max(LevelHeight(GetLevelAtPoint(x, y), PaneRect(0).Height() / 3), 0);
    return RowTime(p.bottom - 1 - y - h);
}

double TSurfacePlot::PixelToXValue(int x, int y)
{
    if (!m_traceA)
        return 0.0f;
    const int at = PaneAt(CPoint(x, y));
    const CRect p = PaneRect(at < 0 ? 0 : at);
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
    const int left = XReadoutLeft(pane, x, y);
    const int w = m_xBoxWidth, h = m_xBoxHeight;
    const int top = pane.top - 1 - h;
    std::snprintf(m_xUnit, sizeof m_xUnit, " Hz");
    std::string text;
    FormatAxisValue(text, value, m_xFormat, m_xUnit);
    CDC memory;
    if (!memory.CreateCompatibleDC(dc))
        return;
    CBitmap* old = memory.SelectObject(m_xBoxBack.get());
    memory.BitBlt(0, 0, w, h, dc, left, top, SRCCOPY);
    memory.SelectObject(m_xBoxImage.get());
    memory.Rectangle(0, 0, w, h);
    memory.SelectObject(m_font);
    memory.SetTextAlign(TA_CENTER);
    memory.TextOut(w / 2, 1, text);
    dc->BitBlt(left, top, w, h, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
}

void TSurfacePlot::EraseXReadout(CDC* dc, const CRect& pane, int x, int y)
{
    if (!m_xBoxBack)
        return;
    const int left = XReadoutLeft(pane, x, y);
    CDC memory;
    if (!memory.CreateCompatibleDC(dc))
        return;
    CBitmap* old = memory.SelectObject(m_xBoxBack.get());
    dc->BitBlt(left, pane.top - 1 - m_xBoxHeight, m_xBoxWidth, m_xBoxHeight, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
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
    if (m_selection.IsRectEmpty())
        return;
    CRect s = m_selection;
    s.NormalizeRect();
    CRect pane = m_plotRect;
    if (PaneCount() == 2)
        pane = PaneRect(PaneAt(s.TopLeft()) == 1 ? 1 : 0);
    CRect first = m_paneSelection[0];
    first.NormalizeRect();
    start = RowTime(pane.bottom - 1 - first.top);
    end = RowTime(pane.bottom - 1 - first.bottom);
}

// ---- Drawing -------------------------------------------------------------------------------

void TSurfacePlot::InvalidateTimeLabels()
{
    for (int pane = 0; pane < PaneCount(); ++pane) {
        const CRect p = PaneRect(pane);
        CRect r(p.left - m_leftMargin, p.top - m_textHeight, p.left, p.bottom + m_textHeight);
        InvalidateRect(&r, FALSE);
    }
}

void TSurfacePlot::DrawVerticalText(CDC* dc, int x, int centreY, const std::string& text)
{
    CFont font;
    font.CreateFont(m_textHeight, 0, 900, 900, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
    CFont* old = dc->SelectObject(&font);
    dc->SetTextAlign(TA_CENTER | TA_TOP);
    dc->TextOut(x, centreY, text);
    dc->SelectObject(old);
}

void TSurfacePlot::DrawTitle(CDC* dc, int pane, SpectralData* trace)
{
    if (!trace)
        return;
    const CRect p = PaneRect(pane);
    const int y = p.top - m_textHeight - 3;
    const std::string units = trace->GetUnitsLabel() ? trace->GetUnitsLabel() : "";
    CRect client;
    GetClientRect(&client);
    if (m_scaling.SpectralDensityFlag == 1) {
        dc->SetTextAlign(TA_LEFT | TA_TOP);
        dc->TextOut(p.left, y, units);
        dc->SetTextAlign(TA_RIGHT | TA_TOP);
        dc->TextOut(p.right, y, m_scaling.SpectralDensityType == 0 ? "PSD: Units^2/Hz" : "PSD: Units/sqrt(Hz)");
    } else {
        dc->SetTextAlign(TA_CENTER | TA_TOP);
        dc->TextOut(client.Width() / 2, y, units);
    }
}

void TSurfacePlot::DrawTimeAxis(CDC* dc, int pane)
{
    if (m_history.Empty())
        return;
    const CRect p = PaneRect(pane);
    DrawVerticalText(dc, 8, p.top + p.Height() / 2, "Time (sec)");
    dc->SetTextAlign(TA_RIGHT | TA_TOP);
    const int ys[2] = {p.bottom - 1, p.top};
    const char* texts[2] = {m_entryText, m_farText};
    for (int i = 0; i < 2; ++i) {
        dc->MoveTo(p.left - 3, ys[i]);
        dc->LineTo(p.left, ys[i]);
        dc->TextOut(p.left - 6, ys[i] - m_textHeight / 2, texts[i]);
    }
}

void TSurfacePlot::DrawFrequencyAxis(CDC* dc, int pane)
{
    const CRect p = PaneRect(pane);
    dc->SetTextAlign(TA_CENTER | TA_TOP);
    for (const history::AxisLabel& l : m_frequencyLabels) {
        const int x = p.left + l.pixel;
        dc->MoveTo(x, p.bottom);
        dc->LineTo(x, p.bottom + 3);
        if (!l.text.empty())
            dc->TextOut(x, p.bottom + 4, l.text);
    }
}

void TSurfacePlot::DrawMarkerArrows(CDC* dc, int pane)
{
    const CRect p = PaneRect(pane);
    CPen red(PS_SOLID, 1, RGB(255, 0, 0));
    CPen* old = dc->SelectObject(&red);
    for (int m = 0; m < MarkerSettings::kMarkers; ++m) {
        if (!m_markers.Enabled[m])
            continue;
        const int column = ColumnOfFrequency(m_markers.Freq[m]);
        if (column < 0)
            continue;
        const int x = p.left + column;
        const int tip = p.bottom + 2;
        dc->MoveTo(x - 4, tip + 6);
        dc->LineTo(x, tip);
        dc->LineTo(x + 4, tip + 6);
        dc->MoveTo(x, tip);
        dc->LineTo(x, tip + 14);
    }
    dc->SelectObject(old);
}

void TSurfacePlot::DrawImage(CDC* dc, int pane, const RECT& update)
{
    CBitmap* bitmap = m_paneBitmap[pane].get();
    if (!bitmap || !bitmap->GetSafeHandle())
        return;
    const CRect p = PaneRect(pane);
    CRect meet;
    CRect u(update);
    if (!m_printing && !meet.IntersectRect(&u, &p))
        return;
    BITMAP info{};
    bitmap->GetBitmap(&info);
    CDC src;
    src.CreateCompatibleDC(dc);
    CBitmap* old = src.SelectObject(bitmap);
    if (m_printing) {
        dc->SetStretchBltMode(COLORONCOLOR);
        dc->StretchBlt(p.left, p.top, p.Width(), p.Height(), &src, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    } else {
        dc->BitBlt(p.left, p.top, info.bmWidth, info.bmHeight, &src, 0, 0, SRCCOPY);
    }
    src.SelectObject(old);
}

void TSurfacePlot::DrawPlot(CDC* dc, bool full, const RECT& update)
{
    TPlotBase::DrawPlot(dc, full, update);
    if (!m_traceA)
        return;
    const int saved = dc->SaveDC();
    dc->SelectObject(LabelFont());
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    CPen black(PS_SOLID, 1, RGB(0, 0, 0));
    dc->SelectObject(&black);
    if (PaneCount() == 1) {
        DrawTitle(dc, 0, m_traceA);
        DrawTimeAxis(dc, 0);
        DrawFrequencyAxis(dc, 0);
        DrawMarkerArrows(dc, 0);
        DrawImage(dc, 0, update);
    } else {
        DrawTimeAxis(dc, 0);
        DrawTimeAxis(dc, 1);
        DrawFrequencyAxis(dc, 1);
        DrawMarkerArrows(dc, 0);
        DrawMarkerArrows(dc, 1);
        DrawTitle(dc, 0, m_traceA);
        DrawImage(dc, 0, update);
        DrawTitle(dc, 1, m_traceB);
        DrawImage(dc, 1, update);
    }
    dc->RestoreDC(saved);
    if (!m_printing && !m_selection.IsRectEmpty()) {
        m_drawnSelection[0].SetRectEmpty();
        m_drawnSelection[1].SetRectEmpty();
        PaintSelection(dc);
    }
    DrawWatermark(dc, m_plotRect, update);
}

void TSurfacePlot::DrawBackground(CDC* dc, bool full, const RECT& update)
{
    TPlotBase::DrawBackground(dc, full, update);
    if (m_printing || !m_settings || !m_settings->ShowToolbar || m_toolStripHeight <= 0)
        return;
    const int saved = dc->SaveDC();
    dc->SelectObject(&m_plotFont);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(GetSysColor(COLOR_BTNTEXT));
    dc->SetTextAlign(TA_RIGHT | TA_TOP);
    const int y = m_toolStripHeight / 2 - m_textHeight / 2;
    dc->TextOut(228 - 3, y, "Plot Top");
    dc->TextOut(374 - 3, y, m_scaling.AmpScaleType == 2 ? "Plot Bottom:" : "Plot Range:");
    dc->RestoreDC(saved);
}
