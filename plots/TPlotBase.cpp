#include "plots/TPlotBase.h"

#include "records/AppMessages.h"
#include "records/CommonRoutines.h"
#include "records/NumberText.h"
#include "records/PrintSettings.h"
#include "platform/core/Profile.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {
constexpr UINT kScrollBarId = 201;
constexpr int kScrollBarHeight = 12;
constexpr int kSidebandPairs = 12;
constexpr int kMaxHarmonics = 1000;
} // namespace

BEGIN_MESSAGE_MAP(TPlotBase, CMDIChildWnd)
    ON_WM_PAINT()
    ON_WM_SIZE()
    ON_WM_CLOSE()
    ON_WM_MDIACTIVATE()
    ON_WM_KEYDOWN()
    ON_WM_KEYUP()
    ON_WM_TIMER()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_RBUTTONDOWN()
    ON_WM_RBUTTONUP()
    ON_WM_HSCROLL()
END_MESSAGE_MAP()

TPlotBase::TPlotBase() : m_background(GetSysColor(COLOR_BTNFACE)) {}

TPlotBase::~TPlotBase()
{
    // Deleting the object takes its window along; PostNcDestroy must not delete it again.
    m_deleting = true;
    if (GetCapture() == this)
        ReleaseCapture();
    if (!m_dragPane.IsRectEmpty())
        ClipCursor(nullptr);
    m_scrollBar.reset();
    if (m_hWnd)
        DestroyWindow();
}

void TPlotBase::PostNcDestroy()
{
    if (m_deleting)
        return;
    CMDIChildWnd::PostNcDestroy();
}

// ---------------------------------------------------------------------------------------------
// Creation and layout

BOOL TPlotBase::CreatePlotWindow(LPCSTR title, DWORD style, const RECT* rect)
{
    HCURSOR cross = LoadCursor(nullptr, static_cast<UINT>(IDC_PLOT_CROSS));
    if (!cross)
        cross = LoadCursor(nullptr, IDC_CROSS);
    LPCSTR cls = AfxRegisterWndClass(CS_DBLCLKS, cross, nullptr, nullptr);
    if (!CMDIChildWnd::Create(cls, title, style, rect ? *rect : rectDefault, nullptr))
        return FALSE;
    // The base's part only: derived windows create their controls after this returns.
    TPlotBase::CreateControls();
    Invalidate();
    return TRUE;
}

void TPlotBase::CreateControls()
{
    m_crossCursor = LoadCursor(nullptr, static_cast<UINT>(IDC_PLOT_CROSS));
    m_hiddenCursor = LoadCursor(nullptr, static_cast<UINT>(IDC_PLOT_HIDDEN));
    m_selectCursor = LoadCursor(nullptr, static_cast<UINT>(IDC_PLOT_SELECT));
    m_arrowCursor = LoadCursor(nullptr, IDC_ARROW);
    if (!m_crossCursor)
        m_crossCursor = LoadCursor(nullptr, IDC_CROSS);
    if (!m_readoutFont.GetSafeHandle())
        m_readoutFont.CreateFont(15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    m_font = &m_readoutFont;
    m_fontHeight = 15;
    SetCursor(m_arrowCursor);
    RecreateReadoutBitmaps();
    LoadWatermark();
    UpdateLayout();
}

void TPlotBase::RecreateReadoutBitmaps()
{
    CClientDC dc(this);
    auto make = [&](std::unique_ptr<CBitmap>& bitmap, int w, int h) {
        bitmap = std::make_unique<CBitmap>();
        if (!bitmap->CreateCompatibleBitmap(&dc, std::max(w, 1), std::max(h, 1)))
            bitmap.reset();
    };
    make(m_xBoxImage, m_xBoxWidth, m_xBoxHeight);
    make(m_xBoxBack, m_xBoxWidth, m_xBoxHeight);
    make(m_yBoxImage, m_yBoxWidth, m_yBoxHeight);
    make(m_yBoxBack, m_yBoxWidth, m_yBoxHeight);
}

int TPlotBase::GetScrollBarHeight() { return (m_scrollShown && !m_printing) ? kScrollBarHeight : 0; }

void TPlotBase::RecalcLayout(BOOL)
{
    if (!m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    if (client.Width() <= m_leftMargin + m_rightMargin || client.Height() <= m_topMargin + m_bottomMargin)
        return;
    m_plotRect = CRect(client.left + m_leftMargin, client.top + m_topMargin, client.right - m_rightMargin,
                       client.bottom - (m_bottomMargin + GetScrollBarHeight()));
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
}

void TPlotBase::SetPaneMode(int mode)
{
    if ((mode == 1 || mode == 2) && mode != m_paneMode)
        m_paneMode = mode;
}

TPlotBase::StripFlow::StripFlow(CWnd* window, CFont* font, bool wide, int start)
    : m_window(window), m_font(font), m_wide(wide), m_x(start)
{
    CRect client;
    window->GetClientRect(&client);
    m_right = client.Width() - 2;
}

CPoint TPlotBase::StripFlow::Place(const char* label, int at, int width)
{
    if (m_wide)
        return CPoint(at, 0);
    int labelWidth = 0;
    {
        CClientDC dc(m_window);
        CFont* old = dc.SelectObject(m_font);
        labelWidth = dc.GetTextExtent(label).cx + 3;
        dc.SelectObject(old);
    }
    if (m_x + labelWidth + width > m_right && m_x > 4) {
        ++m_rows;
        m_x = 4;
    }
    const CPoint p(m_x + labelWidth, (m_rows - 1) * 30);
    m_x = p.x + width + 8;
    return p;
}

void TPlotBase::SetToolStripShown(bool shown, int rows)
{
    m_toolStripHeight = shown ? 30 * std::max(rows, 1) : 0;
    m_topMargin = m_toolStripHeight + 20;
}

void TPlotBase::UpdateLayout()
{
    m_lastFrameTime = 0.0f;
    RecalcLayout();
    PlaceScrollBar();
    UpdateScrollRange();
    LoadWatermark();
    if (m_hWnd)
        Invalidate();
}

void TPlotBase::UpdateFrame(float)
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
    // The repaint wiped the drag's marks: drawn again, the next move finds them to remove.
    ToggleDragMarks();
}

void TPlotBase::ToggleDragMarks()
{
    if (!m_tracking || !m_hWnd)
        return;
    CClientDC dc(this);
    SelectPlotPalette(&dc);
    dc.SetROP2(R2_NOT);
    if (m_selectionMode) {
        DrawSelectionFrame(&dc, m_plotRect, m_selection);
    } else {
        const CRect pane = m_dragPane.IsRectEmpty() ? GetPaneAtPoint(m_lastPoint) : m_dragPane;
        DrawDragFigures(&dc, pane, m_lastPoint);
    }
    RestorePlotPalette(&dc);
}

void TPlotBase::DrawDragFigures(CDC* dc, const CRect& pane, CPoint at)
{
    if (!m_sidebandMode)
        DrawCrosshair(dc, pane, at.x, at.y);
    if (m_harmonicMode)
        DrawHarmonicMarkers(dc, pane, at.x, at.y);
    if (m_sidebandMode)
        DrawSidebandMarkers(dc, pane, at.x, at.y);
    if (m_deltaMode) {
        dc->MoveTo(m_anchorPoint);
        dc->LineTo(at);
    }
}

void TPlotBase::GetSelectedSegment(float& start, float& end)
{
    start = 0.0f;
    end = 0.0f;
}

void TPlotBase::RefreshSysColors()
{
    m_background = GetSysColor(COLOR_BTNFACE);
    if (m_hWnd)
        Invalidate();
}

CRect TPlotBase::GetPaneAtPoint(CPoint point) const
{
    if (m_paneMode == 1)
        return m_plotRect;
    if (m_paneA.PtInRect(point))
        return m_paneA;
    if (m_paneB.PtInRect(point))
        return m_paneB;
    return CRect();
}

CRect TPlotBase::PaneToScreen(const RECT& rect) const
{
    CPoint tl(rect.left, rect.top);
    CPoint br(rect.right, rect.bottom);
    ClientToScreen(&tl);
    ClientToScreen(&br);
    return CRect(tl.x, tl.y, br.x, br.y);
}

// ---------------------------------------------------------------------------------------------
// Scroll bar

void TPlotBase::PlaceScrollBar()
{
    if (!m_hWnd)
        return;
    UpdateScrollPos();
    const CRect r(m_plotRect.left, m_plotRect.bottom, m_plotRect.right, m_plotRect.bottom + kScrollBarHeight);
    if (!m_scrollBar) {
        auto bar = std::make_unique<CScrollBar>();
        if (!bar->Create(WS_CHILD | SBS_HORZ, r, this, kScrollBarId))
            return;
        m_scrollBar = std::move(bar);
    } else {
        m_savedScrollPos = m_scrollBar->GetScrollPos();
        m_scrollBar->MoveWindow(r.left, r.top, r.Width(), kScrollBarHeight, TRUE);
    }
    m_scrollBar->SetScrollRange(0, m_scrollMax, TRUE);
    m_scrollBar->EnableScrollBar(ESB_ENABLE_BOTH);
}

void TPlotBase::ShowPlotScrollBar()
{
    if (m_scrollShown)
        return;
    m_scrollShown = 1;
    if (m_scrollBar)
        m_scrollBar->ShowWindow(SW_SHOW);
    RecalcLayout();
    PlaceScrollBar();
    if (m_hWnd)
        InvalidateRect(&m_plotRect, TRUE);
}

void TPlotBase::HidePlotScrollBar()
{
    if (!m_scrollShown)
        return;
    m_scrollShown = 0;
    if (m_scrollBar)
        m_scrollBar->ShowWindow(SW_HIDE);
    RecalcLayout();
    PlaceScrollBar();
    if (m_hWnd)
        InvalidateRect(&m_plotRect, TRUE);
}

void TPlotBase::UpdateScrollRange()
{
    m_visibleStart = 0;
    m_visibleEnd = 100;
}

void TPlotBase::UpdateScrollPos() { m_scrollMax = 100; }

void TPlotBase::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar)
{
    // Spin controls and other bars of derived windows report here too; they are not ours.
    if (!m_scrollBar || pScrollBar != m_scrollBar.get())
        return;
    if (nSBCode == SB_THUMBTRACK)
        return;
    const int span = m_visibleEnd - m_visibleStart;
    const int p = m_scrollBar->GetScrollPos();
    switch (nSBCode) {
    case SB_LINELEFT:
        m_scrollBar->SetScrollPos(p - 1, FALSE);
        break;
    case SB_LINERIGHT:
        m_scrollBar->SetScrollPos(p + 1, FALSE);
        break;
    case SB_PAGELEFT:
        m_scrollBar->SetScrollPos(p - static_cast<int>(static_cast<unsigned>(span) >> 2), FALSE);
        break;
    case SB_PAGERIGHT:
        m_scrollBar->SetScrollPos(p + static_cast<int>(static_cast<unsigned>(span) >> 2), FALSE);
        break;
    case SB_THUMBPOSITION:
        m_scrollBar->SetScrollPos(static_cast<int>(nPos), FALSE);
        break;
    default:
        break;
    }
    m_visibleStart = m_scrollBar->GetScrollPos();
    m_visibleEnd = m_visibleStart + span;
    UpdateLayout();
}

// ---------------------------------------------------------------------------------------------
// Painting

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
    const int bar = GetScrollBarHeight();
    CRect u(update);
    CRect meet;
    if (m_paneMode == 1) {
        if (!m_printing && !meet.IntersectRect(&u, &m_plotRect))
            return;
        CRect r = m_plotRect;
        r.bottom += bar;
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
        r.bottom += bar;
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

void TPlotBase::LoadWatermark()
{
    CBitmap logo;
    BITMAP info{};
    if (!logo.LoadBitmap("WATERMARK_LOGO") || !logo.GetBitmap(&info)) {
        m_watermarkRect.SetRectEmpty();
        return;
    }
    m_watermarkRect = CRect(m_plotRect.right - 1 - info.bmWidth, m_plotRect.top + 1, m_plotRect.right - 1,
                            m_plotRect.top + 1 + info.bmHeight);
}

void TPlotBase::DrawWatermark(CDC* dc, const RECT& plot, const RECT& update)
{
    CRect meet;
    const CRect p(plot);
    const CRect u(update);
    if (!meet.IntersectRect(&p, &u) || m_printing || !m_watermark || m_logoHidden || m_watermarkRect.IsRectEmpty())
        return;
    CBitmap logo;
    CBitmap mask;
    BITMAP info{};
    if (!logo.LoadBitmap("WATERMARK_LOGO") || !mask.LoadBitmap("WATERMARK_LOGO_MASK") || !logo.GetBitmap(&info))
        return;
    // The mask clears the logo's shape (AND), the logo fills it (OR): its black surround is
    // transparent.
    CDC memory;
    if (!memory.CreateCompatibleDC(dc))
        return;
    CBitmap* old = memory.SelectObject(&mask);
    dc->BitBlt(m_watermarkRect.left, m_watermarkRect.top, info.bmWidth, info.bmHeight, &memory, 0, 0, SRCAND);
    memory.SelectObject(&logo);
    dc->BitBlt(m_watermarkRect.left, m_watermarkRect.top, info.bmWidth, info.bmHeight, &memory, 0, 0, SRCPAINT);
    memory.SelectObject(old);
}

void TPlotBase::DrawPlot(CDC* dc, bool full, const RECT& update)
{
    // Windows that draw nothing of their own show their caption on a plain plot area.
    const std::string caption = PaneCaption();
    if (!caption.empty() && !m_printing) {
        CRect client;
        GetClientRect(&client);
        dc->FillSolidRect(&client, m_background);
        const CRect* panes[2] = {m_paneMode == 1 ? &m_plotRect : &m_paneA, m_paneMode == 1 ? nullptr : &m_paneB};
        for (const CRect* p : panes)
            if (p && !p->IsRectEmpty())
                dc->FillSolidRect(p, PlotBackgroundColor());
        if (!m_paneA.IsRectEmpty()) {
            CRect textRect = m_paneMode == 1 ? m_plotRect : m_paneA;
            const int saved = dc->SaveDC();
            dc->SetBkMode(TRANSPARENT);
            dc->SetTextColor(RGB(96, 96, 96));
            dc->DrawText(caption, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            dc->RestoreDC(saved);
        }
    }
    DrawPanes(dc, full, update);
    DrawBackground(dc, full, update);
    // Windows with nothing to draw yet still show whether they are idle; a window that paints
    // its plot over this draws the mark again last.
    DrawWatermark(dc, m_plotRect, update);
}

void TPlotBase::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    DrawPlot(&dc, true, client);
}

void TPlotBase::OnSize(UINT nType, int cx, int cy)
{
    CMDIChildWnd::OnSize(nType, cx, cy);
    UpdateLayout();
    LoadWatermark();
    Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Frame messages

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

void TPlotBase::AppendFrameCommand(CMenu& menu, UINT id, LPCSTR text)
{
    CWnd* frame = GetMDIFrame();
    if (!frame)
        frame = AfxGetMainWnd();
    CTestCmdUI state;
    state.m_nID = id;
    if (frame)
        state.DoUpdate(frame, TRUE);
    menu.AppendMenu(MF_STRING | (frame && state.m_bEnabled ? 0 : MF_GRAYED), id, text);
}

void TPlotBase::AppendFrameEditCommands(CMenu& menu, bool paste, bool filePosition)
{
    CMenu speeds;
    speeds.CreatePopupMenu();
    AppendFrameCommand(speeds, ID_EDIT_PLAY_HALF, "&Half Speed");
    AppendFrameCommand(speeds, ID_EDIT_PLAY_DOUBLE, "&Double Speed");
    AppendFrameCommand(speeds, ID_EDIT_PLAY_ARBITRARY, "&Arbitrary Speed");
    AppendFrameCommand(speeds, ID_EDIT_PLAY_LOOP, "&Loop");
    menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(speeds.Detach()), "Play Special");
    menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
    AppendFrameCommand(menu, ID_EDIT_UNDO, "&Undo Edit");
    if (paste) {
        AppendFrameCommand(menu, ID_EDIT_PASTE_INSERT, "Paste &Insert");
        AppendFrameCommand(menu, ID_EDIT_PASTE_OVER, "Paste &Over");
    }
    AppendFrameCommand(menu, ID_EDIT_GAIN, "&Gain Adjust");
    AppendFrameCommand(menu, ID_EDIT_DC_OFFSET, "DC O&ffset");
    AppendFrameCommand(menu, ID_EDIT_DYNAMIC_DC_OFFSET, "D&ynamic DC Offset");
    if (filePosition)
        AppendFrameCommand(menu, ID_EDIT_SET_FILE_POSITION, "Set File Position...");
}

BOOL TPlotBase::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo)
{
    if (CMDIChildWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    // The frame routes through its active child (this window) first: that pass ends here.
    CMDIFrameWnd* frame = GetMDIFrame();
    if (nID < 0xE000 || m_routingToFrame || frame == nullptr)
        return FALSE;
    m_routingToFrame = true;
    const HWND self = m_hWnd;
    const BOOL handled = frame->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    // The command may have closed this window.
    if (CWnd::FromHandle(self) == this)
        m_routingToFrame = false;
    return handled;
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
void TPlotBase::OnKeyDown(UINT nChar, UINT, UINT)
{
    if (nChar == VK_RETURN)
        m_enterDown = true;
}

// Enter in a value box of the tool strip finishes what was typed there and goes no further.
BOOL TPlotBase::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN && pMsg->hwnd != m_hWnd) {
        CWnd* box = CWnd::FromHandle(pMsg->hwnd);
        if (box && box->GetParent() == this && dynamic_cast<CEdit*>(box)) {
            FinishTyping();
            return TRUE;
        }
    }
    return CMDIChildWnd::PreTranslateMessage(pMsg);
}

bool TPlotBase::DeferTyping(CEdit* box)
{
    if (!box || !box->GetModify())
        return false;
    m_typingPending = true;
    if (m_hWnd) {
        KillTimer(kTypedApplyTimer);
        SetTimer(kTypedApplyTimer, kTypedApplyDelayMs);
    }
    return true;
}

void TPlotBase::FinishTyping()
{
    if (m_typingPending && m_hWnd)
        KillTimer(kTypedApplyTimer);
    m_typingPending = false;
    ApplyTypedBoxes(true);
}

void TPlotBase::FinishPendingTyping()
{
    if (m_typingPending)
        FinishTyping();
}

void TPlotBase::OnTimer(UINT_PTR id)
{
    if (id != kTypedApplyTimer)
        return;
    KillTimer(kTypedApplyTimer);
    m_typingPending = ApplyTypedBoxes(false);
}

bool TPlotBase::ApplyTypedBoxes(bool) { return false; }

bool TPlotBase::IsMonochrome(CDC* dc) { return dc && dc->GetDeviceCaps(NUMCOLORS) == 2; }

bool TPlotBase::TypedValue(CEdit* box, double& value)
{
    return box && ParseTypedNumber(box->GetWindowTextString(), value);
}

void TPlotBase::OnKeyUp(UINT nChar, UINT, UINT)
{
    if (nChar != VK_RETURN)
        return;
    // An Enter pressed in a message box or dialog is released here once the box has closed:
    // the frame learns it was not pressed in this window and runs nothing.
    const bool pressedHere = m_enterDown;
    m_enterDown = false;
    CWnd* frame = GetMDIFrame();
    if (!frame)
        frame = AfxGetMainWnd();
    if (frame)
        frame->SendMessage(WM_RUN_WHOLE_FILE, pressedHere ? 1 : 0, reinterpret_cast<LPARAM>(this));
}

// ---------------------------------------------------------------------------------------------
// What derived windows answer

double TPlotBase::PixelToXValue(int, int) { return 0.0; }
double TPlotBase::PixelToYValue(int, int) { return 0.0; }
WORD TPlotBase::GetHarmonicCount(int, int) { return 0; }
CPoint TPlotBase::GetHarmonicPoint(WORD, int, int) { return CPoint(0, 0); }
CPoint TPlotBase::GetUpperSidebandPoint(WORD, CPoint, int, int) { return CPoint(0, 0); }
CPoint TPlotBase::GetLowerSidebandPoint(WORD, CPoint, int, int) { return CPoint(0, 0); }
void TPlotBase::MoveCursorToTrace(CPoint&) {}

// ---------------------------------------------------------------------------------------------
// Read-outs and marks

void TPlotBase::FormatAxisValue(std::string& text, float value, int format, const char* unit)
{
    const char* u = unit ? unit : "";
    char buffer[64];
    switch (format) {
    case 0:
        std::snprintf(buffer, sizeof buffer, "%ld%s", static_cast<long>(value), u);
        break;
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6: {
        char pattern[16];
        std::snprintf(pattern, sizeof pattern, "%%4.%df%%s", format);
        std::snprintf(buffer, sizeof buffer, pattern, static_cast<double>(value), u);
        break;
    }
    case 100:
        std::snprintf(buffer, sizeof buffer, "%4.1e%s", static_cast<double>(value), u);
        break;
    case 201:
        text = FormatTime(value, true, false);
        return;
    default: {
        const double m = std::fabs(value);
        const char* pattern = m < 1 ? "%4.3f%s" : m < 10 ? "%4.2f%s" : m < 100 ? "%4.1f%s" : "%4.0f%s";
        std::snprintf(buffer, sizeof buffer, pattern, static_cast<double>(value), u);
        break;
    }
    }
    text = buffer;
}

void TPlotBase::FormatTickLabel(double value, char* buffer, int length)
{
    if (!buffer || length < 10)
        return;
    const double m = std::fabs(value);
    const char* pattern = m < 1e-10  ? nullptr
                       : m < 0.001 ? "%3.1e"
                       : m < 0.01  ? "%1.3f"
                       : m < 0.1   ? "%1.2f"
                       : m < 10    ? "%3.2f"
                       : m < 1000  ? "%3.1f"
                       : m < 10000 ? "%3.0f"
                                   : "%3.1e";
    if (!pattern) {
        std::snprintf(buffer, static_cast<size_t>(length), "0.0");
        return;
    }
    std::snprintf(buffer, static_cast<size_t>(length), pattern, value);
    // Exponents lose their leading zeros: e-05 (e-005 elsewhere) becomes e-5.
    char* e = std::strchr(buffer, 'e');
    if (!e || std::strlen(e) < 3)
        return;
    char* digits = e + 2;
    const int exponent = std::atoi(digits);
    const size_t room = static_cast<size_t>(length) - static_cast<size_t>(digits - buffer);
    std::snprintf(digits, room, "%d", exponent);
}

int TPlotBase::LabelStride(double pitch, int minimum)
{
    if (!(pitch > 0))
        return 1;
    // Offsets are whole pixels: a stride that only just fits may lose one to truncation.
    const double ratio = (minimum + 1) / pitch;
    return ratio >= 1e6 ? 1000000 : std::max(1, static_cast<int>(std::ceil(ratio - 1e-9)));
}

CRect TPlotBase::PolylineBounds(const std::vector<POINT>& points)
{
    if (points.empty())
        return CRect();
    CRect r(points.front().x, points.front().y, points.front().x, points.front().y);
    for (const POINT& p : points) {
        r.left = std::min(r.left, p.x);
        r.right = std::max(r.right, p.x);
        r.top = std::min(r.top, p.y);
        r.bottom = std::max(r.bottom, p.y);
    }
    r.right += 1;
    r.bottom += 1;
    return r;
}

void TPlotBase::DrawXReadout(CDC* dc, const CRect& pane, int x, int y, float value)
{
    if (x == 0 || y == 0 || !m_xBoxImage || !m_xBoxBack)
        return;
    std::string text;
    FormatAxisValue(text, value, m_xFormat, m_xUnit);
    const int w = m_xBoxWidth, h = m_xBoxHeight;
    DrawReadoutBox(dc, x - w / 2, pane.top - 1 - h, w, h, m_xBoxImage.get(), m_xBoxBack.get(), text);
}

void TPlotBase::EraseXReadout(CDC* dc, const CRect& pane, int x, int y)
{
    if (x == 0 || y == 0 || !m_xBoxImage || !m_xBoxBack)
        return;
    const int w = m_xBoxWidth, h = m_xBoxHeight;
    EraseReadoutBox(dc, x - w / 2, pane.top - 1 - h, w, h, m_xBoxBack.get());
}

void TPlotBase::DrawYReadout(CDC* dc, const CRect& pane, int x, int y, float value)
{
    if (x == 0 || y == 0 || !m_yBoxImage || !m_yBoxBack)
        return;
    std::string text;
    FormatAxisValue(text, value, m_yFormat, m_yUnit);
    const int w = m_yBoxWidth, h = m_yBoxHeight;
    DrawReadoutBox(dc, pane.left - 1 - w, y - h / 2, w, h, m_yBoxImage.get(), m_yBoxBack.get(), text);
}

void TPlotBase::EraseYReadout(CDC* dc, const CRect& pane, int x, int y)
{
    if (x == 0 || y == 0 || !m_yBoxImage || !m_yBoxBack)
        return;
    const int w = m_yBoxWidth, h = m_yBoxHeight;
    EraseReadoutBox(dc, pane.left - 1 - w, y - h / 2, w, h, m_yBoxBack.get());
}

void TPlotBase::DrawReadoutBox(CDC* dc, int left, int top, int w, int h, CBitmap* image, CBitmap* back,
                               const std::string& text)
{
    CDC memory;
    if (!memory.CreateCompatibleDC(dc))
        return;
    CBitmap* old = memory.SelectObject(back);
    memory.BitBlt(0, 0, w, h, dc, left, top, SRCCOPY);
    memory.SelectObject(image);
    memory.Rectangle(0, 0, w, h);
    memory.SelectObject(m_font);
    memory.SetTextAlign(TA_CENTER);
    memory.TextOut(w / 2, 1, text);
    dc->BitBlt(left, top, w, h, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
}

void TPlotBase::EraseReadoutBox(CDC* dc, int left, int top, int w, int h, CBitmap* back)
{
    CDC memory;
    if (!memory.CreateCompatibleDC(dc))
        return;
    CBitmap* old = memory.SelectObject(back);
    dc->BitBlt(left, top, w, h, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
}

void TPlotBase::DrawCrosshair(CDC* dc, const CRect& pane, int x, int y)
{
    const int saved = dc->SaveDC();
    dc->IntersectClipRect(&pane);
    dc->MoveTo(pane.left, y);
    dc->LineTo(pane.right, y);
    dc->MoveTo(x, pane.top);
    dc->LineTo(x, pane.bottom);
    dc->RestoreDC(saved);
}

void TPlotBase::DrawHarmonicMarkers(CDC* dc, const CRect& pane, int x, int y)
{
    if (GetHarmonicCount(x, y) < 2)
        return;
    const int saved = dc->SaveDC();
    dc->IntersectClipRect(&pane);
    const int n = std::min<int>(GetHarmonicCount(x, y), kMaxHarmonics);
    const bool vertical = IsFrequencyAxisVertical() != 0;
    for (int k = 2; k <= n; ++k) {
        const CPoint p = GetHarmonicPoint(static_cast<WORD>(k), x, y);
        if (!vertical) {
            dc->MoveTo(pane.left + p.x, pane.top);
            dc->LineTo(pane.left + p.x, pane.bottom);
        } else {
            dc->MoveTo(pane.left, pane.bottom - p.y);
            dc->LineTo(pane.right, pane.bottom - p.y);
        }
    }
    dc->RestoreDC(saved);
}

void TPlotBase::DrawSidebandMarkers(CDC* dc, const CRect& pane, int x, int y)
{
    const int saved = dc->SaveDC();
    dc->IntersectClipRect(&pane);
    const bool vertical = IsFrequencyAxisVertical() != 0;
    if (!vertical) {
        dc->MoveTo(m_anchorPoint.x, pane.top);
        dc->LineTo(m_anchorPoint.x, pane.bottom);
        dc->MoveTo(pane.left, y);
        dc->LineTo(pane.right, y);
    } else {
        dc->MoveTo(pane.left, m_anchorPoint.y);
        dc->LineTo(pane.right, m_anchorPoint.y);
        dc->MoveTo(x, pane.top);
        dc->LineTo(x, pane.bottom);
    }
    for (int k = 1; k <= kSidebandPairs; ++k) {
        const CPoint u = GetUpperSidebandPoint(static_cast<WORD>(k), m_anchorPoint, x, y);
        const CPoint l = GetLowerSidebandPoint(static_cast<WORD>(k), m_anchorPoint, x, y);
        if (!vertical) {
            dc->MoveTo(pane.left + u.x, pane.top);
            dc->LineTo(pane.left + u.x, pane.bottom);
            dc->MoveTo(pane.left + l.x, pane.top);
            dc->LineTo(pane.left + l.x, pane.bottom);
        } else {
            dc->MoveTo(pane.left, pane.bottom - u.y);
            dc->LineTo(pane.right, pane.bottom - u.y);
            dc->MoveTo(pane.left, pane.bottom - l.y);
            dc->LineTo(pane.right, pane.bottom - l.y);
        }
    }
    dc->RestoreDC(saved);
}

void TPlotBase::DrawSelectionFrame(CDC* dc, const CRect& clip, const CRect& s)
{
    const int saved = dc->SaveDC();
    dc->IntersectClipRect(&clip);
    dc->MoveTo(s.left, s.bottom);
    dc->LineTo(s.left, s.top);
    dc->LineTo(s.right, s.top);
    dc->LineTo(s.right, s.bottom);
    dc->LineTo(s.left, s.bottom);
    dc->RestoreDC(saved);
}

void TPlotBase::ExtendSelection(int x, int y)
{
    if (m_selection.left == 0) {
        if (m_selectionAxis == 0) {
            x = std::clamp(x, static_cast<int>(m_plotRect.left), static_cast<int>(m_plotRect.right));
            m_selection = CRect(x, m_plotRect.top, x + 1, m_plotRect.bottom);
        } else {
            y = std::clamp(y, static_cast<int>(m_plotRect.top), static_cast<int>(m_plotRect.bottom));
            m_selection = CRect(m_plotRect.left, y, m_plotRect.right, y + 1);
        }
        return;
    }
    if (m_selectionAxis == 0)
        m_selection.right = x;
    else
        m_selection.bottom = y;
}

void TPlotBase::SetSelectionRect(CRect) { m_selectionMode = 0; }

void TPlotBase::ClearSelection()
{
    m_selection.SetRectEmpty();
    m_selectionMode = 0;
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TPlotBase::ConfineToPane(const CRect& pane)
{
    m_dragPane = pane;
    const CRect screen = PaneToScreen(pane);
    ClipCursor(&screen);
}

CPoint TPlotBase::ClampToDragPane(CPoint point) const
{
    if (m_dragPane.IsRectEmpty())
        return point;
    point.x = std::clamp(point.x, m_dragPane.left, m_dragPane.right - 1);
    point.y = std::clamp(point.y, m_dragPane.top, m_dragPane.bottom - 1);
    return point;
}

void TPlotBase::OnLButtonDown(UINT nFlags, CPoint point)
{
    m_deltaMode = m_harmonicMode = m_sidebandMode = 0;
    m_tracking = 0;
    m_lastPoint = CPoint(0, 0);
    m_dragPane.SetRectEmpty();
    ClipCursor(nullptr);
    RecreateReadoutBitmaps();

    const CRect pane = GetPaneAtPoint(point);
    CClientDC dc(this);
    SelectPlotPalette(&dc);
    dc.SetROP2(R2_NOT);
    if (m_selectionMode) {
        if (pane.PtInRect(point)) {
            m_selection.SetRectEmpty();
            SetCapture();
            ConfineToPane(pane);
            ExtendSelection(point.x, point.y);
            DrawSelectionFrame(&dc, m_plotRect, m_selection);
            m_tracking = 1;
            SetCursor(m_selectCursor);
        }
        RestorePlotPalette(&dc);
        return;
    }
    if (pane.PtInRect(point)) {
        m_tracking = 1;
        if (nFlags & MK_CONTROL)
            m_deltaMode = 1;
        if (nFlags & MK_SHIFT)
            m_harmonicMode = 1;
        if ((nFlags & MK_CONTROL) && (nFlags & MK_SHIFT)) {
            m_deltaMode = m_harmonicMode = 0;
            m_sidebandMode = 1;
        }
        ClearSelection();
        SetCursor(m_hiddenCursor);
        SetCapture();
        ConfineToPane(pane);
        MoveCursorToTrace(point);
        point = ClampToDragPane(point);
        if (!m_sidebandMode)
            DrawCrosshair(&dc, pane, point.x, point.y);
        if (m_harmonicMode)
            DrawHarmonicMarkers(&dc, pane, point.x, point.y);
        const float xv = static_cast<float>(PixelToXValue(point.x, point.y));
        const float yv = static_cast<float>(PixelToYValue(point.x, point.y));
        dc.SetROP2(R2_COPYPEN);
        if (!m_deltaMode && !m_sidebandMode) {
            m_xValue = xv;
            m_yValue = yv;
            DrawXReadout(&dc, pane, point.x, point.y, xv);
            DrawYReadout(&dc, pane, point.x, point.y, yv);
        } else {
            m_anchorPoint = point;
            m_anchorX = xv;
            m_anchorY = yv;
            m_xValue = m_yValue = 0.0f;
            DrawXReadout(&dc, pane, point.x, point.y, 0.0f);
            DrawYReadout(&dc, pane, point.x, point.y, 0.0f);
        }
        dc.SetROP2(R2_NOT);
        if (m_sidebandMode)
            DrawSidebandMarkers(&dc, pane, point.x, point.y);
        m_lastPoint = point;
    }
    RestorePlotPalette(&dc);
}

void TPlotBase::OnMouseMove(UINT nFlags, CPoint point) { HandleMouseMove(nFlags, point); }

void TPlotBase::HandleMouseMove(UINT, CPoint point)
{
    if (m_tracking)
        point = ClampToDragPane(point);
    const CRect pane = GetPaneAtPoint(point);
    if (m_selectionMode && m_tracking) {
        SetCursor(m_selectCursor);
        CClientDC dc(this);
        SelectPlotPalette(&dc);
        dc.SetROP2(R2_NOT);
        DrawSelectionFrame(&dc, m_plotRect, m_selection);
        ExtendSelection(point.x, point.y);
        DrawSelectionFrame(&dc, m_plotRect, m_selection);
        RestorePlotPalette(&dc);
        return;
    }
    if (!pane.PtInRect(point)) {
        SetCursor(m_selectionMode ? m_selectCursor : m_arrowCursor);
        return;
    }
    if (!m_tracking) {
        SetCursor(m_selectionMode ? m_selectCursor : m_crossCursor);
        return;
    }
    SetCursor(m_hiddenCursor);
    MoveCursorToTrace(point);
    point = ClampToDragPane(point);
    CClientDC dc(this);
    SelectPlotPalette(&dc);
    dc.SetROP2(R2_NOT);
    const CPoint last = m_lastPoint;
    DrawDragFigures(&dc, pane, last);
    DrawDragFigures(&dc, pane, point);
    dc.SetROP2(R2_COPYPEN);
    EraseXReadout(&dc, pane, last.x, last.y);
    EraseYReadout(&dc, pane, last.x, last.y);
    float xv = static_cast<float>(PixelToXValue(point.x, point.y));
    if (m_deltaMode || m_sidebandMode)
        xv -= m_anchorX;
    m_xValue = xv;
    DrawXReadout(&dc, pane, point.x, point.y, xv);
    float yv = static_cast<float>(PixelToYValue(point.x, point.y));
    if (m_deltaMode || m_sidebandMode)
        yv -= m_anchorY;
    m_yValue = yv;
    DrawYReadout(&dc, pane, point.x, point.y, yv);
    m_lastPoint = point;
    RestorePlotPalette(&dc);
}

void TPlotBase::RemoveDragMarks(CDC* dc, const CRect& pane)
{
    const CPoint last = m_lastPoint;
    dc->SetROP2(R2_NOT);
    DrawDragFigures(dc, pane, last);
    dc->SetROP2(R2_COPYPEN);
    EraseXReadout(dc, pane, last.x, last.y);
    EraseYReadout(dc, pane, last.x, last.y);
}

void TPlotBase::InvalidateReadoutAreas()
{
    const CRect* panes[2] = {m_paneMode == 1 ? &m_plotRect : &m_paneA, m_paneMode == 2 ? &m_paneB : nullptr};
    const int w = m_xBoxWidth, h = m_yBoxHeight;
    for (const CRect* p : panes) {
        if (!p || p->IsRectEmpty())
            continue;
        const CRect left(p->left - w, p->top - h, p->left - 1, p->bottom + h);
        const CRect top(p->left - w, p->top - h - 1, p->right + w, p->top - 1);
        const CRect right(p->right + 1, p->top - h - 1, p->right + 200, p->bottom + h + 1);
        InvalidateRect(&left, TRUE);
        InvalidateRect(&top, TRUE);
        InvalidateRect(&right, TRUE);
    }
}

void TPlotBase::OnLButtonUp(UINT, CPoint point)
{
    if (m_tracking)
        point = ClampToDragPane(point);
    const CRect pane = m_tracking && !m_dragPane.IsRectEmpty() ? m_dragPane : GetPaneAtPoint(point);
    if (!m_selectionMode && m_tracking && pane.PtInRect(point)) {
        CClientDC dc(this);
        SelectPlotPalette(&dc);
        RemoveDragMarks(&dc, pane);
        RestorePlotPalette(&dc);
        if (GetCapture() == this)
            ReleaseCapture();
        SetCursor(m_crossCursor);
        m_tracking = 0;
        const CRect* corners[2] = {&m_paneA, m_paneMode == 2 ? &m_paneB : nullptr};
        for (const CRect* p : corners) {
            if (!p || p->IsRectEmpty())
                continue;
            const CRect corner(p->left - m_yBoxWidth / 2, p->top - m_xBoxHeight / 2, p->left, p->top);
            InvalidateRect(&corner, TRUE);
        }
    } else if (m_selectionMode && m_tracking) {
        CClientDC dc(this);
        SelectPlotPalette(&dc);
        dc.SetROP2(R2_NOT);
        DrawSelectionFrame(&dc, m_plotRect, m_selection);
        RestorePlotPalette(&dc);
        ExtendSelection(point.x, point.y);
        m_selection.NormalizeRect();
        m_tracking = 0;
        if (GetCapture() == this)
            ReleaseCapture();
        SetCursor(m_crossCursor);
        SetSelectionRect(m_selection);
    }
    m_tracking = 0;
    if (!m_dragPane.IsRectEmpty())
        ClipCursor(nullptr);
    m_dragPane.SetRectEmpty();
    m_deltaMode = m_harmonicMode = m_sidebandMode = 0;
    InvalidateReadoutAreas();
}

void TPlotBase::OnRButtonDown(UINT, CPoint) {}
void TPlotBase::OnRButtonUp(UINT, CPoint) {}

// ---------------------------------------------------------------------------------------------
// Printing and the clipboard picture

void TPlotBase::ScaleForPrinter(CDC*, PrintSettings) {}

int TPlotBase::RotatedTextWidth(CDC* dc, int height) const
{
    const CSize window = dc->GetWindowExt(), viewport = dc->GetViewportExt();
    if (!m_printing || window.cx == 0 || window.cy == 0 || viewport.cx == 0)
        return height;
    const double sx = std::abs(double(viewport.cx) / window.cx), sy = std::abs(double(viewport.cy) / window.cy);
    return static_cast<int>(std::ceil(height * sy / sx));
}

void TPlotBase::PrintPlot(CDC* dc, const PrintSettings* settings, bool selfScaled, WORD position)
{
    if (!dc || !settings || !m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    if (client.Width() <= 0 || client.Height() <= 0)
        return;
    const int pageW = dc->GetDeviceCaps(HORZRES);
    const int pageH = dc->GetDeviceCaps(VERTRES);
    const int dpiX = dc->GetDeviceCaps(LOGPIXELSX);
    const int dpiY = dc->GetDeviceCaps(LOGPIXELSY);
    const int left = static_cast<int>(dpiX * settings->MarginLeft);
    const int right = static_cast<int>(dpiX * settings->MarginRight);
    const int top = static_cast<int>(dpiY * settings->MarginTop) + static_cast<int>(dpiY * 0.75);
    const int bottom = static_cast<int>(dpiY * settings->MarginBottom);
    const int plotH = pageH - top - bottom;
    // Margins that leave no page would divide by nothing below.
    if (pageW - left - right <= 0 || plotH <= 0)
        return;

    dc->MoveTo(left, top);
    dc->LineTo(pageW - right, top);
    dc->LineTo(pageW - right, pageH - bottom);
    dc->LineTo(left, pageH - bottom);
    dc->LineTo(left, top);

    const int oldMode = dc->SetMapMode(MM_ANISOTROPIC);
    if (!selfScaled) {
        dc->SetWindowExt(client.right, client.bottom);
        if (position == 1 || position == 2) {
            dc->SetViewportExt(pageW - left - right, pageH / 2 - top - bottom);
            dc->SetViewportOrg(left, position == 1 ? top : pageH / 2 + top);
        } else {
            dc->SetViewportExt(pageW - left - right, pageH - top - bottom);
            dc->SetViewportOrg(left, top);
        }
    }
    int height = static_cast<int>(dpiY * 0.125);
    if (!selfScaled) {
        const float scale = static_cast<float>(plotH) / static_cast<float>(client.Height());
        height = static_cast<int>(dpiY * 0.125 / scale + 0.5);
    }
    CFont printerFont;
    printerFont.CreateFont(height, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    CFont* savedFont = m_font;
    const int savedHeight = m_fontHeight;
    m_font = &printerFont;
    m_fontHeight = height;
    m_printing = 1;

    ScaleForPrinter(dc, *settings);
    DrawPlot(dc, true, client);

    m_printing = 0;
    dc->SetMapMode(oldMode);
    m_font = savedFont;
    m_fontHeight = savedHeight;
    Invalidate();
    // Windows lay themselves out for the page in ScaleForPrinter: the screen's layout returns.
    UpdateLayout();
}

void TPlotBase::CopyBitmapToClipboard()
{
    // The picture comes from the window's own surface, not from the screen, so no menu that
    // has just closed can be caught in it and there is nothing to wait for.
    if (!m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    const int w = client.Width();
    const int h = client.Height() - m_toolStripHeight;
    if (w <= 0 || h <= 0)
        return;
    CClientDC screen(this);
    auto bitmap = std::make_unique<CBitmap>();
    if (!bitmap->CreateCompatibleBitmap(&screen, w, h))
        return;
    {
        CDC memory;
        if (!memory.CreateCompatibleDC(&screen))
            return;
        CBitmap* old = memory.SelectObject(bitmap.get());
        memory.BitBlt(0, 0, w, h, &screen, 0, m_toolStripHeight, SRCCOPY);
        CPen black(PS_SOLID, 1, RGB(0, 0, 0));
        CPen* oldPen = memory.SelectObject(&black);
        // LineTo leaves out its last pixel, so the walk ends back on its first one.
        memory.MoveTo(0, 0);
        memory.LineTo(w - 1, 0);
        memory.LineTo(w - 1, h - 1);
        memory.LineTo(0, h - 1);
        memory.LineTo(0, 0);
        memory.SelectObject(oldPen);
        memory.SelectObject(old);
    }
    if (!OpenClipboard(this))
        return;
    EmptyClipboard();
    SetClipboardData(CF_BITMAP, reinterpret_cast<HANDLE>(bitmap->Detach()));
    CloseClipboard();
}
