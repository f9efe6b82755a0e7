// Device contexts on windows. Each draws on the window's surface (CWnd::GetSurface), so
// drawing works at any time, not only while the window paints; the window shows what was
// drawn. CPaintDC belongs in a WM_PAINT handler: it is clipped to the update rectangle and
// erases the background first when the invalidation asked for it. A window context made for
// no window (the screen) draws on an off-screen surface of the screen's size: nothing drawn
// there is seen, since Qt gives no access to the desktop's pixels.
#pragma once

#include "platform/ui/GdiDC.h"

class CWnd;

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = FALSE;
    RECT rcPaint{};
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd);
    CWnd* m_hWnd = nullptr;
};

// The window's whole area: here the client area, the only part drawn by the program.
class CWindowDC : public CDC {
public:
    explicit CWindowDC(CWnd* wnd);
    CWnd* m_hWnd = nullptr;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    CWnd* m_hWnd = nullptr;
    PAINTSTRUCT m_ps;
};

// GetDC/ReleaseDC in free-function form: a client context the caller gives back.
CDC* GetWindowClientDC(CWnd* wnd);
int ReleaseWindowDC(CWnd* wnd, CDC* dc);
