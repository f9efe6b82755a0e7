// Windows, messages and message maps.
//
// A CWnd owns (or wraps) one QWidget. Messages are dispatched through static per-class message
// maps written with the macros of platform/ui/MessageMap.h, in MFC's spirit:
//
//   BEGIN_MESSAGE_MAP(CMyWnd, CWnd)
//       ON_WM_PAINT()
//       ON_WM_LBUTTONDOWN()
//       ON_COMMAND(ID_RUN, &CMyWnd::OnRun)
//       ON_UPDATE_COMMAND_UI(ID_RUN, &CMyWnd::OnUpdateRun)
//       ON_MESSAGE(WM_PLOT_CLOSING, &CMyWnd::OnPlotClosing)
//       ON_BN_CLICKED(IDC_APPLY, &CMyWnd::OnApply)
//   END_MESSAGE_MAP()
//
// with DECLARE_MESSAGE_MAP() in the class. Handlers named by the ON_WM_* macros are called by
// their MFC names (OnSize, OnPaint, ...) with MFC's arguments; the base versions here do the
// default processing (Default()). Handlers of commands and notifications are given as
// member pointers (&CClass::OnX).
//
// Threads: everything here belongs to the user-interface thread, except ::PostMessage /
// CWnd::PostMessage, which any thread may call (the message is queued through Qt's event loop
// and dropped if the window is gone by then), and SendMessage, which from another thread
// waits until the user-interface thread has handled the message.
//
// Drawing: a custom-drawn window (one made by Create/CreateEx) owns a CSurface at its client
// size and device pixel ratio. Device contexts draw on it at any time; Qt's paint event runs the
// WM_PAINT handler (GetPaintRect() is the update rectangle meanwhile) and then presents the
// surface. The paint DC calls TakeErasePending() and, when set, sends WM_ERASEBKGND with the DC
// (CDC*) as wParam; if that returns 0 it fills the paint rectangle with the class background.
//
// The constants live in platform/ui/WndConstants.h and the message-map machinery in
// platform/ui/MessageMap.h; this header includes both.
#pragma once

#include "platform/core/WinTypes.h"
#include "platform/ui/MessageMap.h"
#include "platform/ui/Rect.h"
#include "platform/ui/WndConstants.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class CSurface;
class CDC;
class CMenu;
class CScrollBar;
class CWinApp;
class CFrameWnd;
class CWndHook;
struct CWndQt;

// ---- Windows.
class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }
    // The window of a handle, or null when the handle is stale.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd) { return FromHandle(hWnd); }

    // Creates a custom-drawn window. Class names come from AfxRegisterWndClass (or null for the
    // default class). WS_CHILD makes a child of pParentWnd; otherwise a top-level window, owned
    // by pParentWnd when given (WS_EX_TOOLWINDOW/WS_POPUP: a Qt::Tool window).
    virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID, void* pContext = nullptr);
    virtual BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                          const RECT& rect, CWnd* pParentWnd, UINT nID, void* lpParam = nullptr);
    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y,
                  int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, void* lpParam = nullptr);

    // Wraps the child control `nID` of pParent (taking it over from a temporary wrapper).
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();

    virtual BOOL DestroyWindow();
    // Called after the window is gone (WM_NCDESTROY); frames delete themselves here.
    virtual void PostNcDestroy();
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    // Input messages pass through the window and its parents before dispatch; TRUE eats one.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // ---- Messages.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL bDeep = TRUE);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The default processing of the message being handled (for a wrapped widget: the widget's
    // own handling of the event).
    LRESULT Default();
    // Sends WM_COMMAND (MAKEWPARAM(id, code), this window) to the parent: how controls notify.
    void NotifyParent(UINT nCode);
    // Sends WM_NOTIFY with `hdr` (hwndFrom, idFrom filled in) to the parent; returns its result.
    LRESULT NotifyParent(NMHDR& hdr);

    // ---- Text, visibility, state.
    void SetWindowText(LPCSTR lpszString);
    void SetWindowText(const std::string& s) { SetWindowText(s.c_str()); }
    int GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const;
    void GetWindowText(std::string& rString) const;
    std::string GetWindowTextString() const;
    int GetWindowTextLength() const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsIconic() const;
    BOOL IsZoomed() const;
    DWORD GetStyle() const { return m_dwStyle; }
    DWORD GetExStyle() const { return m_dwExStyle; }
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    int GetDlgCtrlID() const { return static_cast<int>(m_nID); }
    int SetDlgCtrlID(int nID);
    CWnd* GetDlgItem(int nID) const;
    void CenterWindow(CWnd* pAlternateOwner = nullptr);

    // ---- Geometry. Child windows use their parent's client coordinates; top-level windows
    // and GetWindowRect use screen coordinates.
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void ScreenToClient(LPRECT lpRect) const;
    // Windows' meaning: the normal (restored) rectangle, the show state, the minimised and
    // maximised positions. MDI children report positions in the MDI client's coordinates.
    virtual BOOL GetWindowPlacement(WINDOWPLACEMENT* lpwndpl) const;
    virtual BOOL SetWindowPlacement(const WINDOWPLACEMENT* lpwndpl);

    // ---- Painting.
    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    void ValidateRect(LPCRECT lpRect);
    void UpdateWindow();
    BOOL RedrawWindow(LPCRECT lpRectUpdate = nullptr, void* prgnUpdate = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    // The back buffer DCs draw on, created on demand at the client size.
    CSurface* GetSurface();
    // The update rectangle while WM_PAINT runs (the client rectangle otherwise).
    const RECT& GetPaintRect() const { return m_paintRect; }
    BOOL IsPainting() const { return m_inPaint; }
    // True once per invalidation with erase; the paint DC asks before painting.
    bool TakeErasePending();
    // Background of the window's class (AfxRegisterWndClass brush), or null for COLOR_WINDOW.
    HBRUSH GetClassBackgroundBrush() const { return m_classBrush; }
    HCURSOR GetClassCursor() const { return m_classCursor; }
    UINT GetClassStyle() const { return m_classStyle; }

    // ---- Focus, capture, relations.
    CWnd* SetFocus();
    static CWnd* GetFocus();
    CWnd* SetCapture();
    static CWnd* GetCapture();
    CWnd* GetParent() const;
    CWnd* SetParent(CWnd* pWndNewParent);
    CWnd* GetOwner() const;
    void SetOwner(CWnd* pOwnerWnd);
    CFrameWnd* GetParentFrame() const;
    CWnd* GetTopLevelParent() const;
    CWnd* GetTopLevelFrame() const { return GetTopLevelParent(); }
    BOOL IsChild(const CWnd* pWnd) const;
    void BringWindowToTop();
    CWnd* SetActiveWindow();
    BOOL SetForegroundWindow();
    static CWnd* GetActiveWindow();
    // The screen as a window: its rectangles are the primary screen's.
    static CWnd* GetDesktopWindow();

    // ---- Timers: WM_TIMER with the id, every nElapse ms, until killed or the window goes.
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, void* lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);

    // ---- Menus (frames).
    virtual CMenu* GetMenu() const;
    virtual BOOL SetMenu(CMenu* pMenu);
    void DrawMenuBar();

    // ---- Handlers with their default processing. Derived classes redeclare those they map.
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnDestroy();
    void OnNcDestroy();
    void OnClose();
    void OnSize(UINT nType, int cx, int cy);
    void OnMove(int x, int y);
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnTimer(UINT_PTR nIDEvent);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnRButtonDown(UINT nFlags, CPoint point);
    void OnRButtonUp(UINT nFlags, CPoint point);
    void OnRButtonDblClk(UINT nFlags, CPoint point);
    void OnMButtonDown(UINT nFlags, CPoint point);
    void OnMButtonUp(UINT nFlags, CPoint point);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    void OnWindowPosChanging(WINDOWPOS* lpwndpos);
    void OnMDIActivate(BOOL bActivate, CWnd* pActivateWnd, CWnd* pDeactivateWnd);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);
    void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct);
    void OnSetFocus(CWnd* pOldWnd);
    void OnKillFocus(CWnd* pNewWnd);
    void OnShowWindow(BOOL bShow, UINT nStatus);
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    void OnSysColorChange();
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    void OnContextMenu(CWnd* pWnd, CPoint pos);
    void OnCaptureChanged(CWnd* pWnd);
    void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);

    // ---- Layer internals (used by the frame, dialog and control code of the layer).
    // Sends an input message after PreTranslateMessage; returns whether it was consumed.
    bool DispatchInput(UINT message, WPARAM wParam, LPARAM lParam);
    bool IsCustomDrawn() const { return m_customDrawn; }
    // Called by the layer's widgets.
    void HandleResize();
    void HandleDestroyedWidget();
    void MarkCustomDrawn() { m_customDrawn = true; }
    // The outer widget moved or changed size (MDI children keep their restored rectangle).
    virtual void OnLayerGeometryChanged() {}

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

    DWORD m_dwStyle = 0;
    DWORD m_dwExStyle = 0;
    UINT m_nID = 0;
    HBRUSH m_classBrush = nullptr;
    HCURSOR m_classCursor = nullptr;
    UINT m_classStyle = 0;
    CWnd* m_pOwner = nullptr;

    // Takes the style, brush and cursor of the registered class cs names; returns its icon.
    HICON AdoptClassInfo(const CREATESTRUCT& cs);

private:
    friend class CWndHook;
    friend class CWndWidget;
    friend struct CWndQt; // the layer's Qt side (platform/ui/qt/QtAccess.h)
    struct Impl;
    std::unique_ptr<Impl> d;
    RECT m_paintRect{};
    bool m_inPaint = false;
    bool m_customDrawn = false;
    bool m_defaultRequested = false;
};

// The HWND of a CWnd and back; handles stay unique for the life of the process.
BOOL IsWindow(HWND hWnd);
LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// Thread-safe; returns FALSE when the window does not exist.
BOOL PostMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// Ends the message loop with the exit code.
void PostQuitMessage(int nExitCode);
// Peeks at queued input for hWnd (and its children), or any window when hWnd is null, with
// message ids in [wMsgFilterMin, wMsgFilterMax] (both 0: all). Keeps windows painted meanwhile
// and holds other input back from dispatch; see LongOperation.h.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
BOOL PeekMessage(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
SHORT GetKeyState(int nVirtKey);
SHORT GetAsyncKeyState(int vKey);
BOOL GetCursorPos(LPPOINT lpPoint);
// Moves the mouse pointer (screen coordinates). The mouse move this causes is not reported as
// WM_MOUSEMOVE, so a window that pulls the pointer does not see its own pull.
BOOL SetCursorPos(int x, int y);
// Confines the mouse pointer to a screen rectangle (right and bottom excluded) while it moves
// over the program's windows; null releases it. Where the desktop does not let a program move
// the pointer (Wayland), the moves reported are still held inside.
BOOL ClipCursor(const RECT* lpRect);
// The confining rectangle, or the whole desktop when there is none.
BOOL GetClipCursor(LPRECT lpRect);
BOOL ReleaseCapture();
HCURSOR SetCursor(HCURSOR hCursor);
HCURSOR LoadCursor(HINSTANCE hInstance, LPCSTR lpCursorName);
HCURSOR LoadCursor(HINSTANCE hInstance, UINT nIDResource);
// Icons from resources, by name ("IDI_MAIN_APP") or id; null when there is none.
HICON LoadIcon(HINSTANCE hInstance, LPCSTR lpIconName);
HICON LoadIcon(HINSTANCE hInstance, UINT nIDResource);
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
// The module handle resources are loaded from (resources are compiled in: any value works).
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
int GetSystemMetrics(int nIndex);
// Dots per inch of the screen's device pixels: 96 at normal scale, 192 at twice the scale.
// Window coordinates are in units of 96 dots per inch.
UINT GetDpiForSystem();
// The outer width a top-level window needs for the window manager to draw this title in full:
// the text in the title-bar font (bold, as most window managers draw it) plus room for an icon,
// three frame buttons and the frame itself.
int TitleBarWidthFor(std::string_view title);
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CYMENU = 15;
constexpr int SM_CXFULLSCREEN = 16;
constexpr int SM_CYFULLSCREEN = 17;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
// System colours and GetSysColor are the GDI layer's (platform/ui/GdiTypes.h, GdiObjects.h).

// Registers (or finds) a window class by its attributes and returns its name; the name stays
// valid for the life of the process.
LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr, HBRUSH hbrBackground = nullptr,
                           HICON hIcon = nullptr);
// A named class ("Durnex"): RegisterClass-style, for frames that name their class.
struct WNDCLASSA {
    UINT style = 0;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr;
    LPCSTR lpszMenuName = nullptr;
    LPCSTR lpszClassName = nullptr;
};
using WNDCLASS = WNDCLASSA;
BOOL AfxRegisterClass(const WNDCLASSA* lpWndClass);
BOOL GetClassInfo(HINSTANCE hInstance, LPCSTR lpClassName, WNDCLASSA* lpWndClass);

// The Qt application the layer runs on, created on first use (tests call this before making
// windows; the program's entry creates it with the real command line first).
void AfxEnsureQtApplication();
// Lets queued messages, timers and paints run for up to `ms` milliseconds (tests).
void AfxPumpMessages(int ms = 0);

// The application object and its main window (CWinApp lives in platform/ui/WinApp.h).
CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
