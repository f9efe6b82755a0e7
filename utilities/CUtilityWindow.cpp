#include "utilities/CUtilityWindow.h"

#include "records/AppMessages.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/WinApp.h"

BEGIN_MESSAGE_MAP(CUtilityWindow, CWnd)
    ON_WM_PAINT()
    ON_WM_CLOSE()
END_MESSAGE_MAP()

CUtilityWindow::~CUtilityWindow()
{
    if (m_hWnd)
        DestroyWindow();
}

BOOL CUtilityWindow::CreateToolWindow(CWnd* frame, int x, int y, int width, int height, LPCSTR title)
{
    m_frame = frame ? frame : AfxGetMainWnd();
    LPCSTR cls = AfxRegisterWndClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW);
    const CRect rect(x, y, x + width, y + height);
    return CreateEx(WS_EX_TOOLWINDOW, cls, title, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
                    rect, m_frame, 0);
}

void CUtilityWindow::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
}

// The frame records the placement and deletes the window; closing here would lose both.
void CUtilityWindow::OnClose()
{
    CWnd* frame = m_frame ? m_frame : AfxGetMainWnd();
    if (frame && frame->GetSafeHwnd())
        frame->SendMessage(WM_UTILITY_CLOSING, 0, reinterpret_cast<LPARAM>(this));
}
