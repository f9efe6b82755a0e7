#include "plots/TPhasePlot.h"

#include "records/PrintSettings.h"

#include "dsp/SpectralData.h"
#include "plots/CToolBtn.h"
#include "plots/PlotTextClipboard.h"
#include "plots/TLimitScroll.h"
#include "records/AppMessages.h"
#include "records/PhasePlotSettings.h"
#include "platform/core/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WinApp.h"
#include "plots/CDataView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

BEGIN_MESSAGE_MAP(TPhasePlot, TChannelPlot<PhasePlotSettings>)
    ON_WM_PAINT()
    ON_WM_SIZE()
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
    ON_WM_RBUTTONDOWN()
    ON_WM_RBUTTONUP()
    ON_MESSAGE(WM_DATAVIEW_CLOSING, &TPhasePlot::OnDataViewClosing)
    ON_COMMAND(kZoomIn, &TPhasePlot::OnZoomIn)
    ON_COMMAND(kZoomFull, &TPhasePlot::OnZoomFull)
    ON_COMMAND(kZoom2xIn, &TPhasePlot::OnZoomIn2x)
    ON_COMMAND(kZoom2xOut, &TPhasePlot::OnZoomOut2x)
    ON_COMMAND(kOptions, &TPhasePlot::OnProperties)
    ON_COMMAND(kProperties, &TPhasePlot::OnProperties)
    ON_COMMAND(kHelp, &TPhasePlot::OnHelp)
    ON_EN_CHANGE(kTopEdit, &TPhasePlot::OnEditTop)
    ON_EN_KILLFOCUS(kTopEdit, &TPhasePlot::FinishTyping)
    ON_COMMAND(kCopyText, &TPhasePlot::OnCopyText)
    ON_COMMAND(kViewDataValues, &TPhasePlot::OnViewDataValues)
    ON_COMMAND(kPullCursor, &TPhasePlot::OnPullCursor)
    ON_COMMAND(kCopyBitmap, &TPhasePlot::OnCopyBitmap)
    ON_BN_CLICKED(kToggle, &TPhasePlot::OnToolbarToggle)
END_MESSAGE_MAP()

TPhasePlot::TPhasePlot()
{
    m_leftMargin = 60;
    m_rightMargin = 40;
    m_topMargin = 50;
    // Room for the frequency labels and title under the scroll bar.
    m_bottomMargin = 30 + kScrollHeight;
    m_paneGap = 20;
    m_paneMode = 1;
    m_xBoxWidth = 90;
    m_yBoxWidth = 48;
    m_xFormat = 4;
    m_yFormat = 2;
    std::snprintf(m_xUnit, sizeof m_xUnit, " Hz");
}

TPhasePlot::~TPhasePlot() = default;

BOOL TPhasePlot::Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings processing,
                        ChannelScalingSettings scaling, MarkerSettings markers, PhasePlotSettings* settings,
                        SpectralData* sourceA, SpectralData* sourceB, int channel)
{
    KeepChannelRecords(processing, scaling, markers);
    m_settings = settings;
    m_sourceA = sourceA;
    m_sourceB = sourceB;
    m_channel = channel;
    return CreateWithControls(title, style, rect);
}

void TPhasePlot::CreateControls()
{
    m_creating = true;
    m_font.CreateFont(m_fontHeight, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    m_zoomInBtn = std::make_unique<CToolBtn>(this, kZoomIn, "ZoomInUp", "ZoomInDn", "ZoomInGry",
                                             "Zoom in along frequency axis");
    m_zoomFullBtn = std::make_unique<CToolBtn>(this, kZoomFull, "ZoomFullUp", "ZoomFullDn", "ZoomFullGry",
                                               "Zoom out to show full frequency span");
    m_zoom2xInBtn = std::make_unique<CToolBtn>(this, kZoom2xIn, "Zoom2XInUp", "Zoom2XInDn", "Zoom2XInGry",
                                               "Zoom in by a factor of 2x");
    m_zoom2xOutBtn = std::make_unique<CToolBtn>(this, kZoom2xOut, "Zoom2XOutUp", "Zoom2XOutDn", "Zoom2XOutGry",
                                                "Zoom out by a factor of 2x");
    m_optionsBtn = std::make_unique<CToolBtn>(this, kOptions, "OptionsUp", "OptionsDn", nullptr,
                                              "Set additional phase display options");
    m_topEdit = std::make_unique<CEdit>();
    m_topEdit->Create(WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(224, 5, 280, 25), this, kTopEdit);
    m_topEdit->SetFont(&m_font);
    m_topSpin = std::make_unique<TLimitScroll>(this, kTopSpin, m_topEdit.get(), 180.0f, -180.0f, 5.0f);
    CreateToggleAndScroll();
    if (m_settings) {
        char text[32];
        std::snprintf(text, sizeof text, "%3.1f", static_cast<double>(m_settings->PlotTop));
        m_topEdit->SetWindowText(text);
    }
    m_creating = false;
    if (m_settings)
        SetFrequencyRange(m_settings->StartFreq, m_settings->StopFreq);
    SetWindowText(m_title);
    UpdateLayout();
}

CToolBtn* TPhasePlot::GetButton(UINT id) const
{
    switch (id) {
    case kZoomIn: return m_zoomInBtn.get();
    case kZoomFull: return m_zoomFullBtn.get();
    case kZoom2xIn: return m_zoom2xInBtn.get();
    case kZoom2xOut: return m_zoom2xOutBtn.get();
    case kOptions: return m_optionsBtn.get();
    default: return nullptr;
    }
}

COLORREF TPhasePlot::PlotBackgroundColor() const
{
    return m_settings ? m_settings->BackgroundColor : RGB(255, 255, 255);
}

void TPhasePlot::SetData(SpectralData* sourceA, SpectralData* sourceB)
{
    m_sourceA = sourceA;
    m_sourceB = sourceB;
    if (m_dataView)
        m_dataView->SetSource(sourceA);
}

void TPhasePlot::SetScalingSettings(ChannelScalingSettings scaling) { m_scaling = scaling; }

// ---- Tool strip and layout -------------------------------------------------------------------

void TPhasePlot::LayoutToolbar()
{
    if (!m_zoomInBtn || !m_settings || !m_settings->ShowToolbar)
        return;
    m_zoomInBtn->MoveWindow(2, 1, 28, 28);
    m_zoom2xInBtn->MoveWindow(32, 1, 28, 28);
    m_zoom2xOutBtn->MoveWindow(62, 1, 28, 28);
    m_zoomFullBtn->MoveWindow(92, 1, 28, 28);
    m_optionsBtn->MoveWindow(136, 1, 28, 28);
    // The box stands at its place when the window is wide enough; in a narrower one it wraps
    // onto a further row of the strip, so that it stays reachable.
    CRect client;
    GetClientRect(&client);
    StripFlow flow(this, &m_font, client.Width() >= 294 + 4, 170);
    const CPoint top = flow.Place("Plot Top", 224, 56 + 2 + 12);
    const int y = top.y + 30 / 2 - 10;
    m_topEdit->MoveWindow(top.x, y, 56, 20);
    m_topSpin->MoveWindow(top.x + 58, y, 12, 20);
    if (flow.Rows() * 30 != m_toolStripHeight) {
        SetToolStripShown(true, flow.Rows());
        if (!m_layingOut)
            UpdateLayout();
    }
    if (m_zoomInBtn->IsPressed()) {
        m_zoomInBtn->Release();
        m_selectionMode = false;
    }
    CRect strip;
    GetClientRect(&strip);
    strip.bottom = strip.top + m_toolStripHeight;
    InvalidateRect(&strip, TRUE);
}

void TPhasePlot::ShowToolbar(bool show)
{
    if (m_settings)
        m_settings->ShowToolbar = show ? 1 : 0;
    SetToolStripShown(show);
    if (m_zoomInBtn) {
        const int cmd = show ? SW_SHOW : SW_HIDE;
        for (CWnd* w : {static_cast<CWnd*>(m_zoomInBtn.get()), static_cast<CWnd*>(m_zoomFullBtn.get()),
                        static_cast<CWnd*>(m_zoom2xInBtn.get()), static_cast<CWnd*>(m_zoom2xOutBtn.get()),
                        static_cast<CWnd*>(m_optionsBtn.get()), static_cast<CWnd*>(m_topEdit.get()),
                        static_cast<CWnd*>(m_topSpin.get())})
            w->ShowWindow(cmd);
        if (show)
            LayoutToolbar();
    }
    UpdateLayout();
}

void TPhasePlot::OnSize(UINT nType, int cx, int cy)
{
    TPlotBase::OnSize(nType, cx, cy);
    if (!m_creating)
        LayoutToolbar();
}

void TPhasePlot::UpdateLayout()
{
    if (m_creating || m_layingOut || !m_hWnd)
        return;
    m_layingOut = true;
    if (m_dataView && m_dataView->GetSafeHwnd())
        m_dataView->Invalidate();
    ShowToolbar(!m_settings || m_settings->ShowToolbar != 0);
    SetPaneMode(m_sourceA && m_sourceB ? 2 : 1);
    if (m_settings) {
        SetFrequencyRange(m_settings->StartFreq, m_settings->StopFreq);
        const float boxed = static_cast<float>(std::atof(m_topEdit->GetWindowTextString().substr(0, 20).c_str()));
        if (boxed != m_settings->PlotTop && !m_topEdit->GetModify()) {
            char text[32];
            std::snprintf(text, sizeof text, "%3.1f", static_cast<double>(m_settings->PlotTop));
            m_topEdit->SetWindowText(text);
        }
    }
    m_lastFrameTime = 0.0f;
    m_leftMargin = 60; // printing may have widened it
    m_bottomMargin = AxisBottomMargin();
    RecalcLayout();
    if (m_scroll && !m_plotRect.IsRectEmpty())
        m_scroll->MoveWindow(m_plotRect.left, m_plotRect.bottom + 1, m_plotRect.Width(), kScrollHeight);
    UpdateScrollRange();
    // A short pane puts the axis title beside its outer labels, where "-180.0" is wider than
    // the margin leaves room for: the panes move right until the two stand clear.
    if (const int need = LeftMarginForTitle(); need > m_leftMargin) {
        m_leftMargin = need;
        RecalcLayout();
        if (m_scroll && !m_plotRect.IsRectEmpty())
            m_scroll->MoveWindow(m_plotRect.left, m_plotRect.bottom + 1, m_plotRect.Width(), kScrollHeight);
        UpdateScrollRange();
    }
    if (m_zoomInBtn && m_zoomInBtn->IsPressed())
        m_zoomInBtn->Release();
    m_selectionMode = false;
    const bool shown = !m_settings || m_settings->ShowToolbar != 0;
    if (m_toggle) {
        m_toggle->MoveWindow(4, m_toolStripHeight + 4, 10, 10);
        m_toggle->SetWindowText(shown ? "-" : "+");
    }
    Invalidate();
    SetWindowText(m_title);
    m_layingOut = false;
}

void TPhasePlot::SetFrequencyRange(float low, float high)
{
    if (!m_sourceA)
        return;
    low = std::max(low, m_sourceA->GetLowFrequency());
    high = std::min(high, m_sourceA->GetHighFrequency());
    if (high <= low) {
        low = m_sourceA->GetLowFrequency();
        high = m_sourceA->GetHighFrequency();
    }
    m_visibleStart = m_sourceA->FrequencyToBin(low);
    m_visibleEnd = m_sourceA->FrequencyToBin(high);
    UpdateLayout();
}

void TPhasePlot::UpdateScrollRange()
{
    if (!m_sourceA || !m_settings)
        return;
    const int first = m_sourceA->GetFirstBin(), last = m_sourceA->GetLastBin();
    m_visibleStart = std::max(m_visibleStart, first);
    m_visibleEnd = std::min(m_visibleEnd, last);
    if (m_visibleStart >= m_visibleEnd) {
        m_visibleStart = first;
        m_visibleEnd = last;
    }
    const bool whole = m_visibleStart == first && m_visibleEnd == last;
    if (m_zoomInBtn) {
        m_zoomInBtn->Enable();
        m_zoom2xInBtn->Enable();
        if (whole) {
            m_zoom2xOutBtn->Disable();
            m_zoomFullBtn->Disable();
        } else {
            m_zoom2xOutBtn->Enable();
            m_zoomFullBtn->Enable();
        }
    }
    if (m_scroll) {
        if (whole) {
            m_scroll->ShowScrollBar(FALSE);
        } else {
            const int room = std::max((last - first) - (m_visibleEnd - m_visibleStart), 0);
            m_scroll->SetScrollRange(0, room, FALSE);
            m_scroll->SetScrollPos(m_visibleStart - first, TRUE);
            m_scroll->ShowScrollBar(TRUE);
        }
    }
    if (m_visibleStart == first)
        m_settings->StartFreq = m_sourceA->GetLowFrequency();
    if (m_visibleEnd == last)
        m_settings->StopFreq = m_sourceA->GetHighFrequency();
    m_settings->StopFreq = std::min(m_settings->StopFreq, m_sourceA->GetHighFrequency());
    m_settings->StartFreq = std::max(m_settings->StartFreq, m_sourceA->GetLowFrequency());
    BuildColumnMap();
    BuildFrequencyTicks();
    BuildPhaseTicks();
}

int TPhasePlot::WidestPhaseLabel(CDC* dc) const
{
    int widest = 0;
    for (const Tick& t : m_yTicks)
        if (t.label[0])
            widest = std::max(widest, static_cast<int>(dc->GetTextExtent(t.label).cx));
    return widest;
}

int TPhasePlot::LeftMarginForTitle()
{
    if (!m_hWnd || m_printing || m_plotRect.IsRectEmpty())
        return 0;
    CClientDC dc(this);
    CFont* old = dc.SelectObject(&m_font);
    static const char kTitle[] = "Phase (degrees)";
    const int length = static_cast<int>(dc.GetTextExtent(kTitle).cx);
    const int centre = m_plotRect.top + m_plotRect.Height() / 2 + 6;
    const int titleTop = centre - length / 2 - 2, titleBottom = centre + length / 2 + 2;
    int need = 0;
    for (const CRect* pane : {&m_paneA, &m_paneB}) {
        if (pane->IsRectEmpty() || (pane == &m_paneB && m_paneMode != 2))
            continue;
        for (const Tick& t : m_yTicks) {
            const int top = pane->top + t.offset - m_fontHeight / 2;
            if (!t.label[0] || top + m_fontHeight <= titleTop || top >= titleBottom)
                continue;
            // Title at x 4, a line of the font wide, 5 pixels, the label, 6 pixels to the pane.
            need = std::max(need, 4 + m_fontHeight + 5 + static_cast<int>(dc.GetTextExtent(t.label).cx) + 6);
        }
    }
    dc.SelectObject(old);
    return need;
}

void TPhasePlot::ScaleForPrinter(CDC* dc, PrintSettings)
{
    if (!dc)
        return;
    CFont* old = dc->SelectObject(TPlotBase::m_font);
    const int title = RotatedTextWidth(dc, TextHeight());
    const int need = 6 + WidestPhaseLabel(dc) + title / 2 + title + 2;
    dc->SelectObject(old);
    if (need <= m_leftMargin)
        return;
    m_leftMargin = need;
    RecalcLayout();
    UpdateScrollRange(); // the columns and ticks for the narrower panes
}

void TPhasePlot::BuildColumnMap()
{
    const int w = m_plotRect.Width();
    m_columns.assign(static_cast<std::size_t>(std::max(w, 0)), ColumnEntry{});
    if (!m_sourceA || !m_settings || w <= 0)
        return;
    const double start = m_settings->StartFreq, stop = m_settings->StopFreq;
    const WORD scale = m_scaling.FreqScaleType;
    if (scale == 0) {
        for (int i = 0; i < w; ++i) {
            const float f = static_cast<float>(start + i * (stop - start) / w);
            m_columns[static_cast<std::size_t>(i)] = {static_cast<UINT>(std::max(m_sourceA->FrequencyToBin(f), 0)), f};
        }
    } else if (scale == 1 || scale == 2) {
        const double l0 = start > 0 ? std::log10(start) : 0.0;
        const double l1 = stop > 0 ? std::log10(stop) : 0.0;
        for (int i = 0; i < w; ++i) {
            const float f = static_cast<float>(std::pow(10.0, l0 + i * (l1 - l0) / w));
            m_columns[static_cast<std::size_t>(i)] = {static_cast<UINT>(std::max(m_sourceA->FrequencyToBin(f), 0)), f};
        }
        m_columns.back().bin += 1;
    }
}

int TPhasePlot::FrequencyToColumn(float frequency) const
{
    for (std::size_t i = 0; i + 1 < m_columns.size(); ++i)
        if (m_columns[i].frequency <= frequency && frequency <= m_columns[i + 1].frequency)
            return static_cast<int>(i);
    return kNoColumn;
}

float TPhasePlot::ColumnFrequency(int x) const
{
    const int i = x - m_plotRect.left;
    if (i < 0 || i >= static_cast<int>(m_columns.size()))
        return 0.0f;
    return m_columns[static_cast<std::size_t>(i)].frequency;
}

UINT TPhasePlot::ColumnBin(int x) const
{
    const int i = x - m_plotRect.left;
    if (i < 0 || i >= static_cast<int>(m_columns.size()))
        return 0;
    return m_columns[static_cast<std::size_t>(i)].bin;
}

void TPhasePlot::BuildFrequencyTicks()
{
    m_xTicks.clear();
    if (!m_settings || m_columns.empty())
        return;
    const double start = m_settings->StartFreq, stop = m_settings->StopFreq;
    const double span = stop - start;
    const bool logAxis = m_scaling.FreqScaleType == 1 || m_scaling.FreqScaleType == 2;
    const std::size_t capacity = m_columns.size();
    auto linearStep = [&]() {
        for (double s : {10000.0, 5000.0, 1000.0, 500.0, 200.0, 100.0, 50.0, 20.0, 10.0, 5.0, 2.0, 1.0})
            if (span / s >= 4)
                return s;
        return 1.0;
    };
    bool secondPass = false;
    double f = 0.0;
    for (;;) {
        if (start <= f && m_xTicks.size() < capacity) {
            const int c = FrequencyToColumn(static_cast<float>(f));
            if (c != kNoColumn) {
                const char* below = span < 10 ? "%1.3f" : span < 100 ? "%1.2f" : "%1.0f";
                const char* above = span < 10 ? "%1.3fk" : span < 100 ? "%1.2fk" : "%1.1fk";
                char text[32];
                if (f == 0.0)
                    std::snprintf(text, sizeof text, "0.0");
                else if (f < 1000)
                    std::snprintf(text, sizeof text, below, f);
                else
                    std::snprintf(text, sizeof text, above, f / 1000.0);
                Tick t;
                t.offset = c;
                CopyTickLabel(t.label, text, 11);
                m_xTicks.push_back(t);
            }
        }
        double step = 1.0;
        if (!logAxis || secondPass)
            step = linearStep();
        else
            step = f < 10 ? 1 : f < 100 ? 10 : f < 1000 ? 100 : f < 10000 ? 1000 : f < 100000 ? 10000 : 100000;
        f += step;
        if (f > stop) {
            if (logAxis && !secondPass && m_xTicks.size() < 4) {
                secondPass = true;
                f = 0.0;
                m_xTicks.clear();
                continue;
            }
            break;
        }
    }
    // Thinned from the right: a label is kept when 30 pixels of clear space lie between its
    // text and the text of the last one kept. (Thirty pixels between the ticks alone let
    // labels wider than that run into each other.)
    constexpr int kLabelGap = 30;
    std::unique_ptr<CClientDC> dc;
    CFont* old = nullptr;
    if (m_hWnd) {
        dc = std::make_unique<CClientDC>(this);
        old = dc->SelectObject(m_printing ? TPlotBase::m_font : &m_font);
    }
    int lastKept = 1 << 30, lastLeft = 1 << 30;
    for (auto it = m_xTicks.rbegin(); it != m_xTicks.rend(); ++it) {
        const int half = dc ? (static_cast<int>(dc->GetTextExtent(it->label).cx) + 1) / 2 : 0;
        if (it->offset <= lastKept - kLabelGap && it->offset + half <= lastLeft - kLabelGap) {
            lastKept = it->offset;
            lastLeft = it->offset - half;
        } else {
            it->label[0] = '\0';
        }
    }
    if (dc)
        dc->SelectObject(old);
}

void TPhasePlot::BuildPhaseTicks()
{
    if (!m_settings || !(m_settings->PlotRange > 0))
        return;
    const double range = m_settings->PlotRange, top = m_settings->PlotTop;
    const double step = range <= 1 ? 0.1 : range <= 10 ? 1 : range <= 30 ? 5 : range <= 90 ? 10 : range <= 180 ? 30 : 45;
    const std::size_t capacity = static_cast<std::size_t>(std::lround(range / step + 1));
    const int h = (m_paneMode == 2 ? m_paneA : m_plotRect).Height();
    m_yTicks.clear();
    int lastKept = -1000;
    for (int k = 0; m_yTicks.size() < capacity; ++k) {
        const double v = top - k * step;
        if (v < top - range - step * 1e-6)
            break;
        Tick t;
        t.offset = static_cast<int>(std::lround((top - v) * h / range));
        if (t.offset >= lastKept + VerticalLabelGap(10)) {
            char text[32];
            std::snprintf(text, sizeof text, "%3.1f", std::fabs(v) < step * 1e-6 ? 0.0 : v);
            CopyTickLabel(t.label, text, 10);
            lastKept = t.offset;
        }
        m_yTicks.push_back(t);
    }
}

// ---- Drawing -------------------------------------------------------------------------------

void TPhasePlot::FillRectIfVisible(CDC* dc, const RECT& rect, const RECT& update)
{
    CRect meet, r(rect), u(update);
    if (m_printing || !m_settings || !meet.IntersectRect(&r, &u))
        return;
    dc->FillSolidRect(&rect, m_settings->BackgroundColor);
}

int TPhasePlot::PhaseToY(float phase, const CRect& pane) const
{
    const double range = m_settings->PlotRange, top = m_settings->PlotTop;
    const int h = pane.Height();
    const long y = std::lround(h * (phase - top + range) / range);
    return static_cast<int>(std::clamp<long>(y, 1, std::max(h, 1)));
}

void TPhasePlot::DrawTrace(CDC* dc, const CRect& pane, const RECT& update, SpectralData* source)
{
    const int w = pane.Width();
    CRect meet, u(update);
    if (!source || w <= 0 || static_cast<int>(m_columns.size()) < w || (!m_printing && !meet.IntersectRect(&u, &pane)))
        return;
    if (m_settings->PlotRange == 0.0f)
        m_settings->PlotRange = 1.0f;
    // Kept between blocks: a block's redraw allocates nothing once the pane's width is known.
    std::vector<POINT>& points = m_tracePoints;
    points.clear();
    points.reserve(static_cast<std::size_t>(w) + 2);
    UINT runBin = m_columns[0].bin;
    int runLength = 0;
    points.push_back({pane.left, pane.bottom - PhaseToY(source->GetPhaseDegrees(static_cast<int>(runBin)), pane)});
    for (int x = 0; x < w; ++x) {
        const UINT bin = m_columns[static_cast<std::size_t>(x)].bin;
        if (bin != runBin) {
            const int y = PhaseToY(source->GetPhaseDegrees(static_cast<int>(runBin)), pane);
            points.push_back({pane.left + x - runLength / 2, pane.bottom - y});
            runBin = bin;
            runLength = 0;
        }
        ++runLength;
        if (x == w - 1) {
            const int y = PhaseToY(source->GetPhaseDegrees(static_cast<int>(runBin)), pane);
            points.push_back({pane.left + x + 1 - runLength / 2, pane.bottom - y});
        }
    }
    const int saved = dc->SaveDC();
    CPen pen(PS_SOLID, m_printing ? -1 : 1, m_settings->LineColor);
    dc->SelectObject(&pen);
    if (!m_printing)
        dc->IntersectClipRect(&pane);
    dc->Polyline(points.data(), static_cast<int>(points.size()));
    dc->RestoreDC(saved);
}

void TPhasePlot::DrawPane(CDC* dc, const CRect& pane, const RECT& update, SpectralData* source, bool frequencyAxis,
                          bool titleFirst)
{
    const int saved = dc->SaveDC();
    FillRectIfVisible(dc, pane, update);
    // While printing the texts take the page's font (an eighth of an inch), which the
    // positions below are measured with, not the screen's.
    CFont* font = m_printing ? TPlotBase::m_font : &m_font;
    dc->SelectObject(font);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    CPen black(PS_SOLID, 1, RGB(0, 0, 0));
    dc->SelectObject(&black);
    CRect client;
    GetClientRect(&client);
    auto title = [&]() {
        dc->SetTextAlign(TA_CENTER | TA_TOP);
        dc->TextOut(client.left + client.Width() / 2, pane.top - TextHeight() - 3, source->GetUnitsLabel());
    };
    if (titleFirst)
        title();
    // Phase axis: the labels right-aligned beside the pane, the title left of the widest, so
    // that the two never meet whatever the font.
    dc->SetTextAlign(TA_RIGHT | TA_TOP);
    for (const Tick& t : m_yTicks) {
        dc->MoveTo(pane.left - 3, pane.top + t.offset);
        dc->LineTo(pane.left, pane.top + t.offset);
        if (t.label[0])
            dc->TextOut(pane.left - 6, pane.top + t.offset - TextHeight() / 2, t.label);
    }
    const int widest = WidestPhaseLabel(dc);
    const int titleWidth = RotatedTextWidth(dc, TextHeight());
    // Made at the height in use: a page's font is not the screen's.
    CFont rotated;
    rotated.CreateFont(TextHeight(), 0, 900, 900, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    dc->SelectObject(&rotated);
    dc->SetTextAlign(TA_CENTER | TA_TOP);
    const int titleX = m_printing ? std::max(static_cast<int>(client.left),
                                             pane.left - 6 - widest - titleWidth / 2 - titleWidth)
                                  : 4;
    // On screen the title keeps below the tool strip and its toggle.
    int titleCentre = m_plotRect.top + m_plotRect.Height() / 2 + 6;
    if (FitSideTitle(dc, "Phase (degrees)", m_toolStripHeight + 4 + 10, client.bottom, &titleCentre))
        dc->TextOut(titleX, titleCentre, "Phase (degrees)");
    dc->SelectObject(font);
    if (frequencyAxis) {
        const int below = pane.bottom + (m_scroll && m_scroll->IsWindowVisible() ? kScrollHeight + 1 : 0);
        dc->SetTextAlign(TA_CENTER | TA_TOP);
        for (const Tick& t : m_xTicks) {
            dc->MoveTo(pane.left + t.offset, below);
            dc->LineTo(pane.left + t.offset, below + 3);
            if (t.label[0])
                dc->TextOut(pane.left + t.offset, below + 3, t.label);
        }
        // Under the labels' line (the layout keeps room for both below the scroll bar).
        const int titleY = std::min(below + 3 + TextHeight() + (m_printing ? TextHeight() / 4 : 0),
                                    static_cast<int>(client.bottom) - TextHeight());
        dc->TextOut(client.left + client.Width() / 2, titleY, "Frequency (Hz)");
    }
    // Grids.
    {
        CPen grid(PS_SOLID, 1, m_printing ? RGB(128, 128, 128) : m_settings->GridColor);
        dc->SelectObject(&grid);
        if (m_settings->GridXEnabled)
            for (const Tick& t : m_xTicks) {
                dc->MoveTo(pane.left + t.offset, pane.top);
                dc->LineTo(pane.left + t.offset, pane.bottom);
            }
        if (m_settings->GridYEnabled)
            for (const Tick& t : m_yTicks) {
                dc->MoveTo(pane.left, pane.top + t.offset);
                dc->LineTo(pane.right, pane.top + t.offset);
            }
        dc->SelectObject(&black);
    }
    if (!titleFirst)
        title();
    dc->RestoreDC(saved);
    DrawTrace(dc, pane, update, source);
}

void TPhasePlot::DrawPlot(CDC* dc, bool full, const RECT& update)
{
    TPlotBase::DrawPlot(dc, full, update);
    if (!m_sourceA || !m_settings)
        return;
    if (m_paneMode == 1) {
        DrawPane(dc, m_plotRect, update, m_sourceA, true, false);
    } else {
        DrawPane(dc, m_paneA, update, m_sourceA, false, true);
        DrawPane(dc, m_paneB, update, m_sourceB, true, true);
    }
    DrawWatermark(dc, m_plotRect, update);
}

void TPhasePlot::DrawBackground(CDC* dc, bool full, const RECT& update)
{
    if (m_printing || update.top >= m_toolStripHeight)
        return;
    TPlotBase::DrawBackground(dc, full, update);
    if (!m_settings || !m_settings->ShowToolbar || !m_topEdit)
        return;
    const int saved = dc->SaveDC();
    dc->SelectObject(&m_font);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(GetSysColor(COLOR_BTNTEXT));
    dc->SetTextAlign(TA_RIGHT | TA_TOP);
    CRect box;
    m_topEdit->GetWindowRect(&box);
    ScreenToClient(&box);
    dc->TextOut(box.left - 3, box.top + m_fontHeight / 2 - 4, "Plot Top");
    dc->RestoreDC(saved);
}

void TPhasePlot::RefreshSysColors()
{
    TPlotBase::RefreshSysColors();
    for (UINT id : {kZoomIn, kZoomFull, kZoom2xIn, kZoom2xOut, kOptions})
        if (CToolBtn* b = GetButton(id))
            b->LoadBitmaps();
}

void TPhasePlot::UpdateFrame(float time)
{
    if (m_settings && m_settings->IntervalFlag && time > 0.0f) {
        if (time >= m_lastFrameTime + m_settings->IntervalSecs) {
            m_lastFrameTime = time;
        } else {
            if (m_lastFrameTime > time)
                m_lastFrameTime = 0.0f;
            return;
        }
    }
    if (m_dataView)
        m_dataView->Refresh();
    TPlotBase::UpdateFrame(time);
}

// ---- Zoom, scroll, Plot Top ----------------------------------------------------------------

void TPhasePlot::SetRangeFromBins()
{
    m_settings->StartFreq = m_sourceA->GetBinFrequency(static_cast<UINT>(m_visibleStart));
    m_settings->StopFreq = m_sourceA->GetBinFrequency(static_cast<UINT>(m_visibleEnd));
    UpdateLayout();
}

void TPhasePlot::OnZoomIn()
{
    if (!m_sourceA || !m_zoomInBtn || m_zoomInBtn->IsDisabled())
        return;
    if (m_zoomInBtn->IsPressed()) {
        m_zoomInBtn->Release();
        m_selectionMode = false;
        return;
    }
    m_selectionMode = true;
    m_zoomInBtn->Press();
}

void TPhasePlot::SetSelectionRect(CRect rect)
{
    // A finished zoom drag: the phase plot keeps no selection of its own.
    m_selection.SetRectEmpty();
    if (!m_sourceA || !m_settings)
        return;
    CRect r(rect);
    r.NormalizeRect();
    const float fl = ColumnFrequency(r.left), fh = ColumnFrequency(std::min(r.right, m_plotRect.right - 1));
    const int bl = m_sourceA->FrequencyToBin(fl), bh = m_sourceA->FrequencyToBin(fh);
    if (bh - bl < 8)
        return;
    m_visibleStart = bl;
    m_visibleEnd = bh;
    m_settings->StartFreq = fl;
    m_settings->StopFreq = fh;
    UpdateLayout();
    if (m_zoomInBtn)
        m_zoomInBtn->Release();
    m_selectionMode = false;
}

void TPhasePlot::OnZoomIn2x()
{
    if (!m_sourceA || !m_settings || (m_zoom2xInBtn && m_zoom2xInBtn->IsDisabled()))
        return;
    const int span = m_visibleEnd - m_visibleStart;
    if (span < 8)
        return;
    m_visibleStart += span / 4;
    m_visibleEnd -= span / 4;
    SetRangeFromBins();
}

void TPhasePlot::OnZoomOut2x()
{
    if (!m_sourceA || !m_settings || (m_zoom2xOutBtn && m_zoom2xOutBtn->IsDisabled()))
        return;
    const int first = m_sourceA->GetFirstBin(), last = m_sourceA->GetLastBin();
    const int span = m_visibleEnd - m_visibleStart;
    if (span >= last - first)
        return;
    const int q = span / 4;
    m_visibleStart = q >= m_visibleStart ? first : m_visibleStart - q;
    m_visibleStart = std::max(m_visibleStart, first);
    m_visibleEnd = std::min(m_visibleEnd + q, last);
    SetRangeFromBins();
}

void TPhasePlot::OnZoomFull()
{
    if (!m_sourceA || !m_settings || (m_zoomFullBtn && m_zoomFullBtn->IsDisabled()))
        return;
    const int first = m_sourceA->GetFirstBin(), last = m_sourceA->GetLastBin();
    if (m_visibleStart == first && m_visibleEnd == last)
        return;
    m_visibleStart = first;
    m_visibleEnd = last;
    SetRangeFromBins();
}

void TPhasePlot::ScrollView(UINT code, UINT position)
{
    if (!m_sourceA || !m_settings || !m_scroll)
        return;
    const int span = m_visibleEnd - m_visibleStart;
    int p = m_scroll->GetScrollPos();
    switch (code) {
    case SB_LINELEFT: p -= 1; break;
    case SB_LINERIGHT: p += 1; break;
    case SB_PAGELEFT: p -= static_cast<int>(static_cast<unsigned>(span) >> 2); break;
    case SB_PAGERIGHT: p += static_cast<int>(static_cast<unsigned>(span) >> 2); break;
    case SB_THUMBPOSITION: p = static_cast<int>(position); break;
    default: return;
    }
    int lo = 0, hi = 0;
    m_scroll->GetScrollRange(&lo, &hi);
    m_scroll->SetScrollPos(std::clamp(p, lo, std::max(lo, hi)), FALSE);
    m_visibleStart = m_sourceA->GetFirstBin() + m_scroll->GetScrollPos();
    m_visibleEnd = m_visibleStart + span;
    SetRangeFromBins();
}

void TPhasePlot::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar)
{
    if (pScrollBar && pScrollBar != m_scroll.get())
        return;
    ScrollView(nSBCode, nPos);
}

void TPhasePlot::OnVScroll(UINT nSBCode, UINT, CScrollBar* pScrollBar)
{
    if (!m_topSpin || pScrollBar != m_topSpin.get())
        return;
    if (nSBCode == SB_LINEUP)
        m_topSpin->StepUp();
    else if (nSBCode == SB_LINEDOWN)
        m_topSpin->StepDown();
}

void TPhasePlot::OnEditTop()
{
    if (m_creating || !m_settings || !m_topEdit || DeferTyping(m_topEdit.get()))
        return;
    ApplyTop(static_cast<float>(std::atof(m_topEdit->GetWindowTextString().substr(0, 20).c_str())));
}

bool TPhasePlot::ApplyTypedBoxes(bool finished)
{
    if (!m_settings || !m_topEdit || !m_topEdit->GetModify())
        return false;
    double value = 0.0;
    if (!TypedValue(m_topEdit.get(), value)) {
        if (finished) {
            char text[32];
            std::snprintf(text, sizeof text, "%3.1f", static_cast<double>(m_settings->PlotTop));
            m_topEdit->SetWindowText(text);
        }
        return !finished;
    }
    m_topEdit->SetModify(FALSE);
    ApplyTop(static_cast<float>(value));
    return false;
}

void TPhasePlot::ApplyTop(float value)
{
    m_topSpin->SetPrecision(1);
    m_settings->PlotTop = value;
    BuildPhaseTicks();
    Invalidate();
    UpdateWindow();
}

void TPhasePlot::OnToolbarToggle()
{
    if (m_creating || !m_settings)
        return;
    m_settings->ShowToolbar = m_settings->ShowToolbar ? 0 : 1;
    UpdateLayout();
    if (m_zoomInBtn)
        m_zoomInBtn->SetFocus();
}

// ---- Read-outs -----------------------------------------------------------------------------

const CRect* TPhasePlot::PaneAt(CPoint point) const
{
    if (m_paneMode == 1)
        return m_plotRect.PtInRect(point) ? &m_plotRect : nullptr;
    if (m_paneA.PtInRect(point))
        return &m_paneA;
    if (m_paneB.PtInRect(point))
        return &m_paneB;
    return nullptr;
}

double TPhasePlot::PixelToXValue(int x, int)
{
    return m_sourceA ? ColumnFrequency(x) : 0.0f;
}

double TPhasePlot::PixelToYValue(int x, int y)
{
    const CRect* pane = PaneAt(CPoint(x, y));
    if (!m_sourceA || !pane || !m_settings)
        return 0.0f;
    if (!m_settings->GrabCursorFlag)
        return static_cast<float>((pane->bottom - y) * static_cast<double>(m_settings->PlotRange) / pane->Height() +
                                  (m_settings->PlotTop - m_settings->PlotRange));
    SpectralData* source = pane == &m_paneB && m_sourceB ? m_sourceB : m_sourceA;
    return source->GetPhaseDegrees(static_cast<int>(ColumnBin(x)));
}

WORD TPhasePlot::GetHarmonicCount(int x, int)
{
    const float f = ColumnFrequency(x);
    if (!m_sourceA || f == 0.0f)
        return 0;
    return static_cast<WORD>(std::lround(m_sourceA->GetHighFrequency() / f));
}

CPoint TPhasePlot::GetHarmonicPoint(WORD k, int x, int y)
{
    // A column from the pane's left edge, where the base draws it.
    return CPoint(FrequencyToColumn(static_cast<float>(k) * ColumnFrequency(x)), y);
}

bool TPhasePlot::PullCursorToTrace(POINT& point)
{
    if (!m_settings || !m_settings->GrabCursorFlag || !m_sourceA)
        return false;
    const CRect* pane = PaneAt(CPoint(point));
    if (!pane)
        pane = &m_plotRect;
    SpectralData* source = pane == &m_paneB && m_sourceB ? m_sourceB : m_sourceA;
    const float phase = source->GetPhaseDegrees(static_cast<int>(ColumnBin(point.x)));
    const int h = pane->Height();
    const long y = pane->bottom - std::lround(h * (phase - m_settings->PlotTop + m_settings->PlotRange) /
                                              m_settings->PlotRange);
    point.y = static_cast<int>(std::clamp<long>(y, pane->top, pane->bottom));
    CPoint screen(point);
    ClientToScreen(&screen);
    SetCursorPos(screen.x, screen.y);
    return true;
}

// ---- Mouse: the base drags the measuring cursor and the zoom's rubber band ----------------

void TPhasePlot::OnRButtonDown(UINT, CPoint point)
{
    CPoint screen(point);
    ClientToScreen(&screen);
    if (m_tracking && !m_selectionMode) {
        if (CMDIFrameWnd* frame = GetMDIFrame())
            frame->MDIActivate(this);
        TrackCursorMenu(point, "Freq", "Phase");
        return;
    }
    if (!PaneAt(point))
        return;
    if (CMDIFrameWnd* frame = GetMDIFrame())
        frame->MDIActivate(this);
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, kCopyText, "&Copy As Text");
    menu.AppendMenu(MF_STRING, kCopyBitmap, "Copy As &Bitmap");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | (m_settings && m_settings->GrabCursorFlag ? MF_CHECKED : 0), kPullCursor,
                    "Pull Cursor To Trace");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | (m_dataView ? MF_CHECKED : 0), kViewDataValues, "&View Data Values");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, kProperties, "&Properties");
    menu.AppendMenu(MF_STRING, kHelp, "&Help");
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, this);
}

void TPhasePlot::OnViewDataValues()
{
    const bool composite = m_channel >= 8;
    ToggleDataView(m_sourceA, composite ? m_channel - 8 : m_channel, composite, 3);
}

// ---- Copies --------------------------------------------------------------------------------

std::string TPhasePlot::BuildTextTable() const
{
    if (!m_sourceA)
        return {};
    std::string text = ";Freq(Hz)\tPhase (deg) ";
    text += m_sourceA->GetUnitsLabel();
    text += "\r\n";
    for (int bin = m_visibleStart; bin < m_visibleEnd; ++bin) {
        text += FormatPlotNumber("%6.6f", m_sourceA->GetBinFrequency(static_cast<UINT>(bin)));
        text += '\t';
        text += FormatPlotNumber("%f", m_sourceA->GetPhaseDegrees(bin));
        if (m_sourceB) {
            text += '\t';
            text += FormatPlotNumber("%f", m_sourceB->GetPhaseDegrees(bin));
        }
        text += "\r\n";
    }
    return text;
}

void TPhasePlot::CopyDataToClipboard()
{
    if (!m_sourceA)
        return;
    CopyPlotTextToClipboard(this, BuildTextTable(), "Vesterin;Data;Phase;;",
                            "Phase Plot - Insufficient memory to load clipboard", 0);
}

void TPhasePlot::OnCopyText() { CopyDataToClipboard(); }

