#include "plots/TPlotBase.h"

#include "records/AppMessages.h"
#include "records/PrintSettings.h"
#include "platform/core/Profile.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"

#include <algorithm>
#include <strings.h>

namespace {
// The logo's size; it sits one pixel inside the plot rectangle's top-right corner.
constexpr int kLogoWidth = 32;
constexpr int kLogoHeight = 24;
constexpr COLORREF kLogoColor = RGB(0, 40, 110);
} // namespace

BEGIN_MESSAGE_MAP(TPlotBase, CMDIChildWnd)
    ON_WM_PAINT()
    ON_WM_SIZE()
    ON_WM_CLOSE()
    ON_WM_MDIACTIVATE()
    ON_WM_KEYUP()
END_MESSAGE_MAP()

TPlotBase::TPlotBase() : m_background(GetSysColor(COLOR_BTNFACE)) {}

TPlotBase::~TPlotBase()
{
    // Deleting the object takes its window along; PostNcDestroy must not delete it again.
    m_deleting = true;
    if (m_hWnd)
        DestroyWindow();
}

void TPlotBase::PostNcDestroy()
{
    if (m_deleting)
        return;
    CMDIChildWnd::PostNcDestroy();
}

BOOL TPlotBase::CreatePlotWindow(LPCSTR title, DWORD style, const RECT* rect)
{
    HCURSOR cross = LoadCursor(nullptr, static_cast<UINT>(IDC_PLOT_CROSS));
    if (!cross)
        cross = LoadCursor(nullptr, IDC_CROSS);
    LPCSTR cls = AfxRegisterWndClass(CS_DBLCLKS, cross, nullptr, nullptr);
    if (!CMDIChildWnd::Create(cls, title, style, rect ? *rect : rectDefault, nullptr))
        return FALSE;
    UpdateLayout();
    Invalidate();
    return TRUE;
}

void TPlotBase::RecalcLayout(BOOL)
{
    if (!m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    if (client.Width() <= m_leftMargin + m_rightMargin || client.Height() <= m_topMargin + m_bottomMargin)
        return;
    m_plotRect = CRect(client.left + m_leftMargin, client.top + m_topMargin, client.right - m_rightMargin,
                       client.bottom - m_bottomMargin);
    if (m_paneMode == 1) {
        m_paneA = m_plotRect;
        m_paneB.SetRectEmpty();
    } else {
        const int h = m_plotRect.Height();
        m_paneA = m_plotRect;
        m_paneA.bottom -= h / 2 + m_paneGap / 2;
        m_paneB = m_plotRect;
        m_paneB.top = m_plotRect.bottom - m_paneA.Height();
    }
    m_watermarkRect = CRect(m_plotRect.right - 1 - kLogoWidth, m_plotRect.top + 1, m_plotRect.right - 1,
                            m_plotRect.top + 1 + kLogoHeight);
}

void TPlotBase::SetPaneMode(int mode)
{
    if ((mode == 1 || mode == 2) && mode != m_paneMode)
        m_paneMode = mode;
}

void TPlotBase::SetToolStripShown(bool shown)
{
    m_toolStripHeight = shown ? 30 : 0;
    m_topMargin = m_toolStripHeight + 20;
}

void TPlotBase::UpdateLayout()
{
    m_lastFrameTime = 0.0f;
    RecalcLayout();
    if (m_hWnd)
        Invalidate();
}

void TPlotBase::UpdateFrame(float time)
{
    if (!m_hWnd)
        return;
    if (m_paneMode == 1) {
        InvalidateRect(&m_plotRect, FALSE);
    } else {
        InvalidateRect(&m_paneB, FALSE);
        InvalidateRect(&m_paneA, FALSE);
    }
    UpdateWindow();
}

void TPlotBase::GetSelectedSegment(float&, float&) {}

void TPlotBase::RefreshSysColors()
{
    m_background = GetSysColor(COLOR_BTNFACE);
    if (m_hWnd)
        Invalidate();
}

void TPlotBase::ShowWatermark()
{
    m_watermark = 1;
    if (m_hWnd)
        InvalidateRect(&m_watermarkRect, TRUE);
}

void TPlotBase::HideWatermark()
{
    m_watermark = 0;
    if (m_hWnd)
        InvalidateRect(&m_watermarkRect, TRUE);
}

std::string TPlotBase::PaneCaption() const { return GetWindowTextString(); }

COLORREF TPlotBase::PlotBackgroundColor() const { return RGB(255, 255, 255); }

void TPlotBase::DrawPaneFrame(CDC* dc, const RECT& r, int width)
{
    const int saved = dc->SaveDC();
    CPen light(PS_SOLID, width, m_printing ? RGB(0, 0, 0) : GetSysColor(COLOR_BTNHIGHLIGHT));
    CPen dark(PS_SOLID, width, m_printing ? RGB(0, 0, 0) : GetSysColor(COLOR_BTNSHADOW));
    dc->SelectObject(&light);
    dc->MoveTo(r.left, r.bottom);
    dc->LineTo(r.right, r.bottom);
    dc->LineTo(r.right, r.top);
    dc->SelectObject(&dark);
    dc->LineTo(r.left, r.top);
    dc->LineTo(r.left, r.bottom);
    dc->RestoreDC(saved);
}

void TPlotBase::DrawPanes(CDC* dc, bool, const RECT& update)
{
    const int width = m_printing ? 0 : 2;
    CRect u(update);
    CRect meet;
    if (m_paneMode == 1) {
        if (!m_printing && !meet.IntersectRect(&u, &m_plotRect))
            return;
        CRect r = m_plotRect;
        r.InflateRect(1, 1);
        DrawPaneFrame(dc, r, width);
        return;
    }
    if (m_printing || meet.IntersectRect(&u, &m_paneA)) {
        CRect r = m_paneA;
        r.InflateRect(1, 1);
        DrawPaneFrame(dc, r, width);
    }
    if (m_printing || meet.IntersectRect(&u, &m_paneB)) {
        CRect r = m_paneB;
        r.InflateRect(1, 1);
        DrawPaneFrame(dc, r, width);
    }
}

void TPlotBase::DrawBackground(CDC* dc, bool, const RECT& update)
{
    if (m_printing || m_toolStripHeight <= 0)
        return;
    CRect strip;
    GetClientRect(&strip);
    strip.bottom = strip.top + m_toolStripHeight;
    CRect meet;
    CRect u(update);
    if (!meet.IntersectRect(&u, &strip))
        return;
    dc->FillSolidRect(&strip, GetSysColor(COLOR_BTNFACE));
    dc->FillSolidRect(strip.left, strip.top, strip.Width(), 1, RGB(255, 255, 255));
    dc->FillSolidRect(strip.left, strip.bottom - 1, strip.Width(), 1, RGB(0, 0, 0));
}

bool TPlotBase::IsLogoHidden(const char* profilePath)
{
    if (!profilePath || !*profilePath)
        return false;
    char value[80] = {};
    GetPrivateProfileStringA("FileIO", "HideLogo", "FALSE", value, sizeof value, profilePath);
    return strncasecmp(value, "TRUE", 20) == 0;
}

void TPlotBase::DrawWatermark(CDC* dc, const RECT&, const RECT&)
{
    if (m_printing || !m_watermark || m_watermarkRect.IsRectEmpty())
        return;
    if (m_logoHidden)
        return;
    // Our own mark: a rounded navy tag with a white wave across it.
    const CRect& r = m_watermarkRect;
    const int saved = dc->SaveDC();
    CBrush fill(kLogoColor);
    CPen edge(PS_SOLID, 1, kLogoColor);
    dc->SelectObject(&fill);
    dc->SelectObject(&edge);
    dc->RoundRect(r.left, r.top, r.right, r.bottom, 8, 8);
    CPen wave(PS_SOLID, 2, RGB(255, 255, 255));
    dc->SelectObject(&wave);
    const int mid = r.top + r.Height() / 2;
    const POINT pts[] = {{r.left + 4, mid}, {r.left + 9, mid - 6}, {r.left + 15, mid + 6},
                         {r.left + 21, mid - 6}, {r.left + 27, mid}};
    dc->Polyline(pts, 5);
    dc->RestoreDC(saved);
}

void TPlotBase::DrawPlot(CDC* dc, bool full, const RECT& update)
{
    CRect client;
    GetClientRect(&client);
    if (!m_printing)
        dc->FillSolidRect(&client, m_background);
    const CRect* panes[2] = {m_paneMode == 1 ? &m_plotRect : &m_paneA, m_paneMode == 1 ? nullptr : &m_paneB};
    for (const CRect* p : panes)
        if (p && !p->IsRectEmpty())
            dc->FillSolidRect(p, PlotBackgroundColor());
    // The caption says what the plot shows; it never draws data it has not computed.
    const std::string caption = PaneCaption();
    if (!caption.empty() && !m_paneA.IsRectEmpty()) {
        CRect textRect = m_paneMode == 1 ? m_plotRect : m_paneA;
        dc->SetBkMode(TRANSPARENT);
        dc->SetTextColor(RGB(96, 96, 96));
        dc->DrawText(caption, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    DrawPanes(dc, full, update);
    DrawBackground(dc, full, update);
    DrawWatermark(dc, m_plotRect, update);
}

void TPlotBase::OnPaint()
{
    CPaintDC dc(this);
    DrawPlot(&dc, true, GetPaintRect());
}

void TPlotBase::OnSize(UINT nType, int cx, int cy)
{
    CMDIChildWnd::OnSize(nType, cx, cy);
    UpdateLayout();
    Invalidate();
}

// The frame records the placement and destroys the window; closing here would lose both.
void TPlotBase::OnClose()
{
    CWnd* frame = GetMDIFrame();
    if (!frame)
        frame = AfxGetMainWnd();
    if (frame)
        frame->SendMessage(WM_PLOT_CLOSING, 0, reinterpret_cast<LPARAM>(this));
}

bool TPlotBase::RequestSegmentPlayback(int channel, float start, float end)
{
    CWnd* frame = GetMDIFrame();
    if (!frame)
        frame = AfxGetMainWnd();
    PlaySegmentRequest request;
    request.Channel = channel;
    request.Start = start;
    request.End = end;
    return frame != nullptr && frame->SendMessage(WM_PLAY_SEGMENT, 0, reinterpret_cast<LPARAM>(&request)) != 0;
}

void TPlotBase::OnMDIActivate(BOOL bActivate, CWnd*, CWnd*)
{
    if (!bActivate)
        return;
    CWnd* frame = GetMDIFrame();
    if (!frame)
        frame = AfxGetMainWnd();
    if (frame)
        frame->SendMessage(WM_PLOT_ACTIVATED, 0, reinterpret_cast<LPARAM>(this));
}

// Enter in a plot processes the whole file.
void TPlotBase::OnKeyUp(UINT nChar, UINT, UINT)
{
    if (nChar != VK_RETURN)
        return;
    CWnd* frame = GetMDIFrame();
    if (!frame)
        frame = AfxGetMainWnd();
    if (frame)
        frame->SendMessage(WM_RUN_WHOLE_FILE, 0, reinterpret_cast<LPARAM>(this));
}

void TPlotBase::PrintPlot(CDC* dc, const PrintSettings* settings, bool, WORD)
{
    if (!dc)
        return;
    // The page area inside the margins, in device pixels.
    const int dpiX = dc->GetDeviceCaps(LOGPIXELSX);
    const int dpiY = dc->GetDeviceCaps(LOGPIXELSY);
    const int pageW = dc->GetDeviceCaps(HORZRES);
    const int pageH = dc->GetDeviceCaps(VERTRES);
    const float ml = settings ? settings->MarginLeft : 1.0f;
    const float mr = settings ? settings->MarginRight : 1.0f;
    const float mt = settings ? settings->MarginTop : 1.0f;
    const float mb = settings ? settings->MarginBottom : 1.0f;
    CRect page(static_cast<int>(ml * dpiX), static_cast<int>(mt * dpiY), pageW - static_cast<int>(mr * dpiX),
               pageH - static_cast<int>(mb * dpiY));
    if (page.IsRectEmpty())
        return;
    m_printing = 1;
    DrawPaneFrame(dc, page, 0);
    const std::string caption = PaneCaption();
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    dc->DrawText(caption, &page, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    m_printing = 0;
}
