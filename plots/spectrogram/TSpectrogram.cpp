#include "plots/spectrogram/TSpectrogram.h"

#include "dsp/SpectralData.h"
#include "records/CommonRoutines.h"
#include "records/SpectrogramPlotSettings.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Menu.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

int TSpectrogram::s_annotations = 0;

namespace {
constexpr int kThickness = 2;
constexpr int kLeftMargin = 84;
constexpr int kBottomMargin = 30;

std::string Format(const char* format, double v)
{
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// The parts of the rectangles outside `hole`, as rectangles.
std::vector<CRect> Without(const std::vector<CRect>& rects, const CRect& hole)
{
    if (hole.IsRectEmpty())
        return rects;
    std::vector<CRect> out;
    for (const CRect& r : rects) {
        CRect cut;
        if (!cut.IntersectRect(&r, &hole)) {
            out.push_back(r);
            continue;
        }
        const CRect pieces[] = {CRect(r.left, r.top, r.right, cut.top), CRect(r.left, cut.bottom, r.right, r.bottom),
                                CRect(r.left, cut.top, cut.left, cut.bottom),
                                CRect(cut.right, cut.top, r.right, cut.bottom)};
        for (const CRect& piece : pieces)
            if (!piece.IsRectEmpty())
                out.push_back(piece);
    }
    return out;
}
} // namespace

// The twins' shared commands are in the base's map.
BEGIN_MESSAGE_MAP(TSpectrogram, THistoryPlot<SpectrogramPlotSettings>)
    ON_COMMAND(ID_HISTORY_ANNOTATE, &TSpectrogram::OnAnnotateCommand)
END_MESSAGE_MAP()

TSpectrogram::TSpectrogram() : THistoryPlot(kThickness)
{
    m_bottomMargin = kBottomMargin;
    m_leftMargin = kLeftMargin;
    m_rightMargin = 76;
    m_paneGap = 20;
}

void TSpectrogram::RecalcLayout(BOOL bNotify)
{
    // Time down the side: the margin holds the caption on its side beside the time labels,
    // which end 8 short of the panes.
    if (m_hWnd && !m_printing && m_plotFont.GetSafeHandle()) {
        m_leftMargin = kLeftMargin;
        // Time across: its labels 9 under the panes and the caption under them, 2 apart.
        m_bottomMargin = FrequencyVertical() ? std::max(kBottomMargin, 9 + m_textHeight + 2 + m_textHeight) : kBottomMargin;
        if (!FrequencyVertical())
            m_leftMargin = std::max(m_leftMargin, LeftMarginFor(TextWidth(FormatTime(0.0f, true, true)), 8));
    }
    THistoryPlot::RecalcLayout(bNotify);
}

int TSpectrogram::GetOrientation() const { return m_settings ? m_settings->Direction : 0; }

WORD TSpectrogram::GetScrollType() const { return m_settings ? m_settings->ScrollType : 0; }

bool TSpectrogram::FrequencyVertical() const { return GetOrientation() <= 1; }

bool TSpectrogram::ScrollsHistory() const { return GetScrollType() == 0; }

COLORREF TSpectrogram::PictureBackground() const
{
    if (!m_settings)
        return RGB(0, 0, 0);
    switch (m_settings->ColorMode) {
    case 1: return RGB(255, 255, 255);
    case 2: return m_settings->MinCustomColor;
    default: return RGB(0, 0, 0);
    }
}

int TSpectrogram::HistoryRows() const
{
    const CRect pane = PaneRect(0);
    return std::max<int>(FrequencyVertical() ? pane.Width() : pane.Height(), 0);
}

int TSpectrogram::FrequencyAxisLength() const
{
    return std::max<int>(FrequencyVertical() ? PaneRect(0).Height() : m_plotRect.Width(), 0);
}

// ---- Palette, pictures and scales ------------------------------------------------------------

void TSpectrogram::BuildPalette()
{
    if (!m_settings)
        return;
    KeepDisplayableColours(
        history::BuildColourScale(m_settings->ColorMode, m_settings->MinCustomColor, m_settings->MaxCustomColor));
}

void TSpectrogram::CreatePaneBitmap(int pane)
{
    // At the same size the picture stays as it is (the layout clears it unless it is kept).
    if (KeepPaneBitmap(pane, false))
        return;
    std::unique_ptr<CBitmap>& slot = m_paneBitmap[pane];
    std::unique_ptr<CBitmap> bitmap = NewPaneBitmap(pane);
    if (!bitmap) {
        slot.reset();
        return;
    }
    if (slot && slot->GetSafeHandle() && m_keepPicture) {
        const CRect r = PaneRect(pane);
        const int w = r.Width();
        const int h = r.Height();
        // The time axis keeps its pixel scale (the newest lines stay at the entry edge); the
        // frequency axis stretches to the new size.
        BITMAP old{};
        slot->GetBitmap(&old);
        const int dw = w - old.bmWidth;
        const int dh = h - old.bmHeight;
        CRect to;
        switch (GetOrientation()) {
        case 0: to = CRect(dw, 0, old.bmWidth + dw, h); break;
        case 1: to = CRect(0, 0, old.bmWidth, h); break;
        case 2: to = CRect(0, dh, w, old.bmHeight + dh); break;
        default: to = CRect(0, 0, w, old.bmHeight); break;
        }
        CDC mem;
        mem.CreateCompatibleDC(nullptr);
        CBitmap* oldNew = mem.SelectObject(bitmap.get());
        CDC src;
        src.CreateCompatibleDC(nullptr);
        CBitmap* oldSrc = src.SelectObject(slot.get());
        mem.SetStretchBltMode(COLORONCOLOR);
        mem.StretchBlt(to.left, to.top, to.Width(), to.Height(), &src, 0, 0, old.bmWidth, old.bmHeight, SRCCOPY);
        src.SelectObject(oldSrc);
        mem.SelectObject(oldNew);
    }
    slot = std::move(bitmap);
}

void TSpectrogram::CreatePaneBitmaps()
{
    CreatePaneBitmap(0);
    if (PaneCount() == 2)
        CreatePaneBitmap(1);
    else
        m_paneBitmap[1].reset();
}

void TSpectrogram::ClearPaneImages()
{
    for (auto& bitmap : m_paneBitmap) {
        if (!bitmap || !bitmap->GetSafeHandle())
            continue;
        BITMAP info{};
        bitmap->GetBitmap(&info);
        CDC mem;
        mem.CreateCompatibleDC(nullptr);
        CBitmap* old = mem.SelectObject(bitmap.get());
        mem.FillSolidRect(0, 0, info.bmWidth, info.bmHeight, PictureBackground());
        mem.SelectObject(old);
    }
    m_sweep = 0;
}

void TSpectrogram::FinishLayout()
{
    if (!m_keepPicture)
        ClearPaneImages();
    if (m_sweep >= m_history.Count())
        m_sweep = 0;
}

void TSpectrogram::BuildScales()
{
    m_frequencyMap.clear();
    m_frequencyLabels.clear();
    m_levelTicks.clear();
    if (!m_settings)
        return;
    const WORD amp = m_scaling.AmpScaleType;
    if (amp == 2)
        m_levelTicks = history::BuildLogAmplitudeTicks(m_settings->PlotTop, m_settings->PlotRange, PaneRect(0).Height(),
                                                       m_printing ? 120 : 12);
    else {
        m_levelTicks = history::BuildAmplitudeScale(amp, m_settings->PlotTop, m_settings->PlotRange, m_plotRect.Height());
        history::ThinEvenLabels(m_levelTicks, m_textHeight);
    }
    if (m_traceA)
        BuildFrequencyScale(FrequencyAxisLength(), FrequencyVertical() ? m_textHeight + 2 : 30);
}

// ---- Lines ---------------------------------------------------------------------------------

bool TSpectrogram::LineColours(SpectralData* trace, std::vector<COLORREF>& colours)
{
    const int n = static_cast<int>(m_colours.size());
    if (!trace || !m_settings || n == 0 || m_frequencyMap.empty())
        return false;
    colours.resize(m_frequencyMap.size());
    m_scale.Fit(n, n - 1, m_scaling.AmpScaleType, m_settings->PlotTop, m_settings->PlotRange);
    // The band a pixel covers runs from the previous pixel's bin to its own.
    const std::vector<double>& levels = m_pixelLevels.Read(*trace, m_frequencyMap);
    m_lineIndices.resize(levels.size());
    if (!m_scale.Scale(levels.data(), m_lineIndices.data(), levels.size()))
        return false;
    // Through plain pointers: written through the vector, the table would be read anew for
    // every pixel.
    const history::FrequencyPixel* map = m_frequencyMap.data();
    const int* index = m_lineIndices.data();
    const COLORREF* table = m_colours.data();
    COLORREF* out = colours.data();
    int previousBin = -1;
    COLORREF previous = 0;
    for (std::size_t p = 0; p < m_frequencyMap.size(); ++p) {
        const int bin = map[p].bin;
        if (p == 0 || bin != previousBin) {
            previous = table[static_cast<std::size_t>(index[p])];
            previousBin = bin;
        }
        out[p] = previous;
    }
    return true;
}

CPoint TSpectrogram::PicturePoint(int p, int r, int width, int height) const
{
    switch (GetOrientation()) {
    case 0: return CPoint(width - 1 - r, height - 1 - p);
    case 1: return CPoint(r, height - 1 - p);
    case 2: return CPoint(p, height - 1 - r);
    default: return CPoint(p, r);
    }
}

bool TSpectrogram::LineContextsReady()
{
    if (!m_pictureDC.GetSafeHdc() && !m_pictureDC.CreateCompatibleDC(nullptr))
        return false;
    return m_stripDC.GetSafeHdc() || m_stripDC.CreateCompatibleDC(nullptr);
}

CRect TSpectrogram::WriteLine(int pane, int row, SpectralData* trace)
{
    CBitmap* bitmap = m_paneBitmap[pane].get();
    if (!bitmap || !bitmap->GetSafeHandle() || !LineColours(trace, m_lineColours) || m_lineColours.empty() ||
        !LineContextsReady())
        return CRect();
    BITMAP info{};
    bitmap->GetBitmap(&info);
    const int w = info.bmWidth;
    const int h = info.bmHeight;
    const int n = static_cast<int>(m_lineColours.size());
    // The line's pixels form a rectangle whose opposite corners are its first pixel on the first
    // row and its last on the last row, in every orientation.
    const CPoint a = PicturePoint(0, row, w, h);
    const CPoint b = PicturePoint(n - 1, row + kThickness - 1, w, h);
    const CRect strip(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1);
    const int sw = strip.Width();
    BITMAP have{};
    if (m_strip.GetSafeHandle())
        m_strip.GetBitmap(&have);
    if (have.bmWidth != sw || have.bmHeight != strip.Height()) {
        m_strip.DeleteObject();
        if (!m_strip.CreateBitmap(sw, strip.Height(), 1, 32, nullptr))
            return CRect();
        m_stripBits.assign(static_cast<std::size_t>(sw) * static_cast<std::size_t>(strip.Height()), 0);
    }
    // Pixel (p, k) of the line lies at first + p * along + k * across in the strip.
    const auto index = [&](int p, int k) {
        const CPoint at = PicturePoint(p, row + k, w, h);
        return static_cast<std::ptrdiff_t>(at.y - strip.top) * sw + (at.x - strip.left);
    };
    const std::ptrdiff_t first = index(0, 0);
    const std::ptrdiff_t along = n > 1 ? index(1, 0) - first : 0;
    const std::ptrdiff_t across = index(0, 1) - first;
    DWORD* bits = m_stripBits.data();
    // The bitmap's bytes are blue, green, red, unused; a COLORREF's red, green, blue.
    const auto pixel = [](COLORREF c) { return (DWORD(GetRValue(c)) << 16) | (DWORD(GetGValue(c)) << 8) | GetBValue(c); };
    if (along == 1 || along == -1) {
        // Frequency across: the line's first row pixel by pixel, its other rows copies of it.
        for (int p = 0; p < n; ++p)
            bits[first + p * along] = pixel(m_lineColours[static_cast<std::size_t>(p)]);
        const std::ptrdiff_t start = along > 0 ? first : first - (n - 1);
        for (int k = 1; k < kThickness; ++k)
            std::copy_n(bits + start, n, bits + start + k * across);
    } else {
        // Frequency down: each row of the strip holds one pixel of the line, kThickness wide.
        for (int p = 0; p < n; ++p) {
            const DWORD v = pixel(m_lineColours[static_cast<std::size_t>(p)]);
            for (int k = 0; k < kThickness; ++k)
                bits[first + p * along + k * across] = v;
        }
    }
    m_strip.SetBitmapBits(static_cast<DWORD>(m_stripBits.size() * sizeof(DWORD)), m_stripBits.data());
    CRect written;
    const CRect picture(0, 0, w, h);
    if (!written.IntersectRect(&strip, &picture))
        return CRect();
    CBitmap* old = m_pictureDC.SelectObject(bitmap);
    CBitmap* oldStrip = m_stripDC.SelectObject(&m_strip);
    m_pictureDC.BitBlt(written.left, written.top, written.Width(), written.Height(), &m_stripDC,
                       written.left - strip.left, written.top - strip.top, SRCCOPY);
    m_stripDC.SelectObject(oldStrip);
    m_pictureDC.SelectObject(old);
    return written;
}

void TSpectrogram::PaintNewSpectrum(int pane, SpectralData* trace)
{
    CBitmap* bitmap = m_paneBitmap[pane].get();
    if (!bitmap || !bitmap->GetSafeHandle() || !trace || !LineContextsReady())
        return;
    BITMAP info{};
    bitmap->GetBitmap(&info);
    const int w = info.bmWidth;
    const int h = info.bmHeight;
    int row = m_sweep;
    if (GetScrollType() == 0) {
        // Only a line that will be drawn moves the picture on.
        if (!LineColours(trace, m_lineColours))
            return;
        row = 0;
        CBitmap* old = m_pictureDC.SelectObject(bitmap);
        const CRect all(0, 0, w, h);
        const int t = kThickness;
        const int dx = GetOrientation() == 0 ? -t : GetOrientation() == 1 ? t : 0;
        const int dy = GetOrientation() == 2 ? -t : GetOrientation() == 3 ? t : 0;
        m_pictureDC.ScrollDC(dx, dy, &all, &all, nullptr, nullptr);
        m_pictureDC.SelectObject(old);
    }
    if (WriteLine(pane, row, trace).IsRectEmpty())
        return;
    PresentPane(pane, bitmap, w, h);
}

void TSpectrogram::ShowRebuiltLines()
{
    for (int pane = 0; pane < 2; ++pane) {
        const CRect written = m_unshown[pane];
        m_unshown[pane].SetRectEmpty();
        CBitmap* bitmap = m_paneBitmap[pane].get();
        if (written.IsRectEmpty() || !bitmap || !bitmap->GetSafeHandle() || !m_hWnd || !IsWindowVisible() ||
            !LineContextsReady())
            continue;
        CClientDC dc(this);
        CBitmap* old = m_pictureDC.SelectObject(bitmap);
        CRect shown = written;
        const CRect r = PaneRect(pane);
        shown.OffsetRect(r.left, r.top);
        dc.BitBlt(shown.left, shown.top, shown.Width(), shown.Height(), &m_pictureDC, written.left, written.top,
                  SRCCOPY);
        m_pictureDC.SelectObject(old);
        m_shownLines[pane].UnionRect(&m_shownLines[pane], &shown);
    }
}

CRect TSpectrogram::LinesArea(int pane) const
{
    CBitmap* bitmap = m_paneBitmap[pane].get();
    const int n = static_cast<int>(m_frequencyMap.size());
    const int rows = GetLineCapacity() * kThickness;
    if (!bitmap || !bitmap->GetSafeHandle() || n == 0 || rows <= 0)
        return CRect();
    BITMAP info{};
    bitmap->GetBitmap(&info);
    const CPoint a = PicturePoint(0, 0, info.bmWidth, info.bmHeight);
    const CPoint b = PicturePoint(n - 1, rows - 1, info.bmWidth, info.bmHeight);
    const CRect lines(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1);
    const CRect picture(0, 0, info.bmWidth, info.bmHeight);
    CRect area;
    if (!area.IntersectRect(&lines, &picture))
        return CRect();
    const CRect r = PaneRect(pane);
    area.OffsetRect(r.left, r.top);
    return area;
}

void TSpectrogram::UpdateLayoutForRebuild()
{
    for (int pane = 0; pane < 2; ++pane) {
        m_leftForLines[pane].SetRectEmpty();
        m_shownLines[pane].SetRectEmpty();
        m_unshown[pane].SetRectEmpty();
    }
    m_layingOutForRebuild = true;
    UpdateLayout();
    m_layingOutForRebuild = false;
}

void TSpectrogram::RepaintAfterLayout()
{
    if (!m_layingOutForRebuild || !IsWindowVisible()) {
        UpdateWindow();
        return;
    }
    CRect client;
    GetClientRect(&client);
    std::vector<CRect> rest{client};
    for (int pane = 0; pane < PaneCount(); ++pane) {
        m_leftForLines[pane] = LinesArea(pane);
        rest = Without(rest, m_leftForLines[pane]);
    }
    // What the lines will cover would only be painted over. The rest is painted a rectangle
    // at a time: a paint clipped to the client less the pictures tests every pixel it copies.
    ValidateRect(nullptr);
    for (const CRect& r : rest) {
        InvalidateRect(&r, TRUE);
        UpdateWindow();
    }
}

void TSpectrogram::EndRebuild()
{
    ShowRebuiltLines();
    for (int pane = 0; pane < 2; ++pane) {
        CRect covered;
        covered.IntersectRect(&m_shownLines[pane], &m_leftForLines[pane]);
        if (!covered.EqualRect(&m_leftForLines[pane]))
            InvalidateRect(&m_leftForLines[pane], FALSE);
        m_leftForLines[pane].SetRectEmpty();
        m_shownLines[pane].SetRectEmpty();
    }
}

void TSpectrogram::AdvanceSweep()
{
    if (GetScrollType() == 0) {
        m_sweep = 0;
    } else {
        m_sweep += kThickness;
        if (m_sweep >= m_history.Count() - kThickness)
            m_sweep = 0;
    }
}

void TSpectrogram::Rebuild(int line, SpectralData* traceA, SpectralData* traceB)
{
    ClearSelection();
    for (int pane = 0; pane < PaneCount(); ++pane) {
        const CRect written = WriteLine(pane, line * kThickness, pane == 0 ? traceA : traceB);
        m_unshown[pane].UnionRect(&m_unshown[pane], &written);
    }
    KeepLineLevels(line, traceA);
}

// ---- Coordinates ---------------------------------------------------------------------------

double TSpectrogram::PixelToXValue(int x, int)
{
    if (!m_traceA)
        return 0.0f;
    switch (GetOrientation()) {
    case 0: return RowTime(m_plotRect.right - 1 - x);
    case 1: return RowTime(x - m_plotRect.left);
    default: return FrequencyAtColumn(x - m_plotRect.left);
    }
}

double TSpectrogram::PixelToYValue(int x, int y)
{
    const CRect p = PaneUnder(x, y);
    switch (GetOrientation()) {
    case 0:
    case 1: return FrequencyAtColumn(p.bottom - 1 - y);
    case 2: return RowTime(p.bottom - 1 - y);
    default: return RowTime(y - p.top);
    }
}

std::string TSpectrogram::CursorValuesText() const
{
    char text[128];
    const char* format = FrequencyVertical() ? "Time=\t%5.4f\r\nFreq=\t%5.4f\r\nAmp=\t%5.4f\r\n"
                                                   : "Freq=\t%5.4f\r\nTime=\t%5.4f\r\nAmp=\t%5.4f\r\n";
    std::snprintf(text, sizeof text, format, m_xValue, m_yValue, m_cursorLevel);
    return text;
}

// ---- Selection -----------------------------------------------------------------------------

CRect TSpectrogram::SelectionShape(int pane) const
{
    CRect shape;
    const CRect area = PaneRect(pane);
    shape.IntersectRect(&m_paneSelection[pane], &area);
    return shape;
}

void TSpectrogram::GetSelectedSegment(float& start, float& end)
{
    start = 0.0f;
    end = 0.0f;
    CRect s, pane;
    if (!SelectedArea(&s, &pane))
        return;
    int startRow = 0, endRow = 0;
    const bool sweep = GetScrollType() == 1;
    switch (GetOrientation()) {
    case 0:
        startRow = pane.right - 1 - (sweep ? s.right : s.left);
        endRow = pane.right - 1 - (sweep ? s.left : s.right);
        break;
    case 1:
        startRow = (sweep ? s.left : s.right) - pane.left;
        endRow = (sweep ? s.right : s.left) - pane.left;
        break;
    case 2:
        startRow = pane.bottom - 1 - (sweep ? s.bottom : s.top);
        endRow = pane.bottom - 1 - (sweep ? s.top : s.bottom);
        break;
    default:
        startRow = (sweep ? s.top : s.bottom) - pane.top;
        endRow = (sweep ? s.bottom : s.top) - pane.top;
        break;
    }
    start = RowTime(startRow);
    end = RowTime(endRow);
    if (sweep && end < start)
        AfxMessageBox("Spectrogram View: The selected time segment cannot cross the scroll boundary.  Please "
                      "reselect the time segment.",
                      MB_OK | MB_ICONERROR);
}

// ---- Drawing -------------------------------------------------------------------------------

void TSpectrogram::TimeCaption(char (&caption)[48]) const
{
    const double span = static_cast<double>(m_history.EndTime()) - m_history.StartTime();
    const char* suffix = "";
    history::TimeDivision(span, &suffix);
    std::snprintf(caption, sizeof caption, "Time (sec)%s", span > 0.0 ? suffix : "");
}

CRect TSpectrogram::TimeLabelBox(const CRect& p, int row, const char* text)
{
    if (FrequencyVertical()) {
        const int x = GetOrientation() == 0 ? p.right - 1 - row : p.left + row;
        return TextBox(x, p.bottom + 9, TA_CENTER, text);
    }
    const int y = GetOrientation() == 2 ? p.bottom - 1 - row : p.top + row;
    return TextBox(p.left - 8, y - m_textHeight / 2, TA_RIGHT, text);
}

CRect TSpectrogram::TimeCaptionBox(int pane, const char* caption)
{
    if (FrequencyVertical()) {
        CRect client;
        GetClientRect(&client);
        return TextBox(client.Width() / 2, BottomCaptionTop(client), TA_CENTER, caption);
    }
    int centre = 0;
    if (!SideCaptionCentre(pane, caption, &centre))
        return CRect();
    return VerticalTextBox(8, centre, caption);
}

void TSpectrogram::RepaintTimeLabels(const char* oldEntry, const char* oldFar)
{
    char caption[48];
    TimeCaption(caption);
    // The caption as last drawn, whose place is painted over if the new one differs.
    char shown[48];
    std::memcpy(shown, m_shownCaption, sizeof shown);
    const bool captionChanged = std::strcmp(caption, shown) != 0;
    const PaneList panes = TimeAxisPanes();
    for (int i = 0; i < panes.count; ++i) {
        const CRect p = PaneRect(panes.pane[i]);
        // The division ticks move with the lines: their strip, which holds no text.
        if (FrequencyVertical())
            InvalidateArea(CRect(p.left, p.bottom, p.right, p.bottom + 6));
        else
            InvalidateArea(CRect(p.left - 6, p.top, p.left, p.bottom));
        const int far = std::max((FrequencyVertical() ? p.Width() : p.Height()) - 1, 0);
        const struct {
            int row;
            const char* was;
            const char* now;
        } labels[2] = {{0, oldEntry, m_entryText}, {far, oldFar, m_farText}};
        for (const auto& l : labels) {
            if (std::strcmp(l.was, l.now) == 0)
                continue;
            CRect box = TimeLabelBox(p, l.row, l.was);
            const CRect now = TimeLabelBox(p, l.row, l.now);
            box.UnionRect(&box, &now);
            InvalidateArea(box);
        }
        if (captionChanged && (i == 0 || !FrequencyVertical())) {
            CRect box = TimeCaptionBox(panes.pane[i], shown);
            const CRect now = TimeCaptionBox(panes.pane[i], caption);
            box.UnionRect(&box, &now);
            InvalidateArea(box);
        }
    }
    UpdateWindow();
    std::memcpy(m_shownCaption, caption, sizeof caption);
}

void TSpectrogram::DrawTimeAxis(CDC* dc, int pane)
{
    if (m_history.Empty())
        return;
    const CRect p = PaneRect(pane);
    const double span = static_cast<double>(m_history.EndTime()) - m_history.StartTime();
    const char* suffix = "";
    const double division = history::TimeDivision(span, &suffix);
    char caption[48];
    TimeCaption(caption);
    const bool horizontal = FrequencyVertical();
    const CRect captionBox = TimeCaptionBox(pane, caption);
    if (!captionBox.IsRectEmpty() && Meets(m_drawUpdate, captionBox)) {
        CRect drawn;
        if (!m_printing && drawn.IntersectRect(&m_drawUpdate, &captionBox) && drawn.EqualRect(&captionBox))
            std::memcpy(m_shownCaption, caption, sizeof caption);
        if (horizontal) {
            CRect client;
            GetClientRect(&client);
            dc->SetTextAlign(TA_CENTER | TA_TOP);
            dc->TextOut(client.Width() / 2, BottomCaptionTop(client), caption);
        } else {
            DrawVerticalText(dc, 8, captionBox.top + captionBox.Height() / 2, caption);
        }
    }
    const int rows = m_history.Count();
    const int w = horizontal ? p.Width() : p.Height();
    auto tick = [&](int row) {
        if (horizontal) {
            const int x = GetOrientation() == 0 ? p.right - 1 - row : p.left + row;
            dc->MoveTo(x, p.bottom);
            dc->LineTo(x, p.bottom + 6);
        } else {
            const int y = GetOrientation() == 2 ? p.bottom - 1 - row : p.top + row;
            dc->MoveTo(p.left - 6, y);
            dc->LineTo(p.left, y);
        }
    };
    auto label = [&](int row, const char* text) {
        tick(row);
        if (!Meets(m_drawUpdate, TimeLabelBox(p, row, text)))
            return;
        if (horizontal) {
            const int x = GetOrientation() == 0 ? p.right - 1 - row : p.left + row;
            dc->SetTextAlign(TA_CENTER | TA_TOP);
            dc->TextOut(x, p.bottom + 9, text);
        } else {
            const int y = GetOrientation() == 2 ? p.bottom - 1 - row : p.top + row;
            dc->SetTextAlign(TA_RIGHT | TA_TOP);
            dc->TextOut(p.left - 8, y - m_textHeight / 2, text);
        }
    };
    label(0, m_entryText);
    label(std::max(w - 1, 0), m_farText);
    if (span > 0.0 && division > 0.0) {
        // A page stretches the history's rows over its pane; on screen a row is a pixel.
        const bool stretched = m_printing && rows > 0;
        long previous = 0;
        for (int k = 0; k < (stretched ? rows : std::min(rows, w)); ++k) {
            const long index = static_cast<long>(std::trunc(RowTime(k) / division));
            if (k > 0 && index != previous)
                tick(stretched ? static_cast<int>(static_cast<long long>(k) * w / rows) : k);
            previous = index;
        }
    }
}

void TSpectrogram::DrawFrequencyAxis(CDC* dc, int pane)
{
    if (!m_traceA || m_frequencyLabels.empty())
        return;
    THistoryPlot::DrawFrequencyAxis(dc, pane);
    CRect client;
    GetClientRect(&client);
    const std::string caption = "Frequency (Hz)";
    if (FrequencyVertical()) {
        int centre = 0;
        if (SideCaptionCentre(pane, caption, &centre) && Meets(m_drawUpdate, VerticalTextBox(8, centre, caption)))
            DrawVerticalText(dc, 8, centre, caption);
    } else if (Meets(m_drawUpdate, TextBox(client.Width() / 2, BottomCaptionTop(client), TA_CENTER, caption))) {
        dc->SetTextAlign(TA_CENTER | TA_TOP);
        dc->TextOut(client.Width() / 2, BottomCaptionTop(client), caption);
    }
}

void TSpectrogram::DrawLegend(CDC* dc, const RECT& update)
{
    if (!m_traceA || m_colours.empty())
        return;
    CRect client;
    GetClientRect(&client);
    const CRect band(m_plotRect.right + 10, client.top, client.right, client.bottom);
    CRect meet;
    CRect u(update);
    if (!m_printing && !meet.IntersectRect(&u, &band))
        return;
    const int x0 = m_plotRect.right + 10;
    const int height = m_plotRect.Height();
    const int n = static_cast<int>(m_colours.size());
    // One fill a run of rows of one colour: a tall bar holds many rows a colour.
    auto colourOf = [&](int k) { return m_colours[static_cast<std::size_t>(std::min(k * n / std::max(height, 1), n - 1))]; };
    const CRect frame(x0, m_plotRect.top, x0 + 8, m_plotRect.bottom);
    if (Meets(update, frame)) {
        for (int k = 0; k < height;) {
            const COLORREF colour = colourOf(k);
            int end = k + 1;
            while (end < height && colourOf(end) == colour)
                ++end;
            dc->FillSolidRect(x0, m_plotRect.bottom - end, 8, end - k, colour);
            k = end;
        }
        CBrush black(RGB(0, 0, 0));
        dc->FrameRect(&frame, &black);
    }
    dc->SetTextAlign(TA_LEFT | TA_TOP);
    for (const history::AxisLabel& t : m_levelTicks) {
        const int y = m_plotRect.top + t.pixel;
        dc->MoveTo(x0 + 8, y);
        dc->LineTo(x0 + 10, y);
        if (!t.text.empty() && Meets(update, TextBox(x0 + 12, y - m_textHeight / 2, TA_LEFT, t.text)))
            dc->TextOut(x0 + 12, y - m_textHeight / 2, t.text);
    }
    if (const char* label = m_traceA->GetAmplitudeLabel()) {
        const int x = client.right - RotatedTextWidth(dc, m_textHeight) - 2;
        int centre = m_plotRect.top + height / 2;
        // On screen the caption stays under the tool strip and inside the window.
        const bool fits = m_printing || FitAlong(centre, TextWidth(label) + 4, m_toolStripHeight + 2, client.bottom, &centre);
        if (fits && Meets(update, VerticalTextBox(x, centre, label)))
            DrawVerticalText(dc, x, centre, label);
    }
}

int TSpectrogram::PageRightMargin(CDC* dc, int rotated)
{
    // The colour bar, its ticks and labels, then the amplitude caption on its side.
    return 10 + 12 + WidestLabel(dc, m_levelTicks) + 4 + rotated + 2;
}

// ---- Annotation ----------------------------------------------------------------------------

void TSpectrogram::AddMeasurementEntries(CMenu& menu) { menu.AppendMenu(MF_STRING, ID_HISTORY_ANNOTATE, "&Annotate"); }

void TSpectrogram::Annotate(CPoint point)
{
    const int pane = PaneAt(point);
    if (pane < 0 || !m_paneBitmap[0] || !m_settings)
        return;
    const bool vertical = FrequencyVertical();
    const float frequency = vertical ? m_yValue : m_xValue;
    const float time = vertical ? m_xValue : m_yValue;
    const int number = ++s_annotations;
    const std::string texts[4] = {
        Format("%6.2f Hz", frequency), Format("%6.2f sec", time),
        Format(m_scaling.AmpScaleType == 1 ? "%6.2f dB" : "%6.2f %%", m_cursorLevel), "#" + std::to_string(number)};
    CFont font;
    font.CreateFont(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
    auto draw = [&](CDC& dc, int x, int y) {
        const int saved = dc.SaveDC();
        CPen pen(PS_SOLID, 1, m_settings->MaxCustomColor);
        dc.SelectObject(&pen);
        dc.SelectStockObject(HOLLOW_BRUSH);
        dc.SelectObject(&font);
        dc.SetTextColor(m_settings->MaxCustomColor);
        dc.SetBkMode(TRANSPARENT);
        dc.Ellipse(x - 10, y - 10, x + 10, y + 10);
        dc.SetTextAlign(TA_LEFT | TA_TOP);
        dc.TextOut(x + 13, y - 11, texts[0]);
        dc.TextOut(x + 13, y - 1, texts[2]);
        dc.SetTextAlign(TA_RIGHT | TA_TOP);
        dc.TextOut(x - 13, y - 11, texts[3]);
        dc.TextOut(x - 13, y - 1, texts[1]);
        dc.RestoreDC(saved);
    };
    {
        CClientDC dc(this);
        draw(dc, point.x, point.y);
    }
    CBitmap* bitmap = m_paneBitmap[pane].get();
    if (!bitmap)
        bitmap = m_paneBitmap[0].get();
    const CRect r = PaneRect(pane);
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap* old = mem.SelectObject(bitmap);
    draw(mem, point.x - r.left, point.y - r.top);
    mem.SelectObject(old);
}
