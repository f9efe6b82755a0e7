// interface-ready
// Windows, messages and message maps.
//
// A CWnd owns (or wraps) one QWidget. Messages are dispatched through static per-class message
// maps written with the macros below, in MFC's spirit:
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
#pragma once

#include "platform/core/WinTypes.h"
#include "platform/ui/Rect.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

class QWidget;
class QObject;
class QEvent;
class QRect;
class CSurface;
class CDC;
class CMenu;
class CScrollBar;
class CWnd;
class CWinApp;
class CFrameWnd;
class CWndHook;

// ---- Handles. Opaque and distinct, so overloads on them are unambiguous. The GDI ones repeat
// platform/ui/GdiTypes.h's declarations exactly (a harmless redeclaration).
struct HWND__;
using HWND = HWND__*;
struct HMENU__;
using HMENU = HMENU__*;
struct HACCEL__;
using HACCEL = HACCEL__*;
struct HCURSOR__;
using HCURSOR = HCURSOR__*;
struct HICON__;
using HICON = HICON__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
struct HDC__;
using HDC = HDC__*;
struct HGDIOBJ__;
using HGDIOBJ = HGDIOBJ__*;
using HBRUSH = HGDIOBJ;
using HFONT = HGDIOBJ;

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(i))))
#define MAKEINTRESOURCE(i) MAKEINTRESOURCEA(i)
#define IS_INTRESOURCE(p) ((reinterpret_cast<std::uintptr_t>(p) >> 16) == 0)

// ---- Window messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SYSCOLORCHANGE = 0x0015;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_CTLCOLOR = 0x0019; // lParam: AFX_CTLCOLOR*
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_MOUSEACTIVATE = 0x0021;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_NEXTDLGCTL = 0x0028;
constexpr UINT WM_DRAWITEM = 0x002B;
constexpr UINT WM_MEASUREITEM = 0x002C;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_CONTEXTMENU = 0x007B;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYFIRST = 0x0100;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_KEYLAST = 0x0109;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_INITMENU = 0x0116;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MOUSEFIRST = 0x0200;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_MOUSELAST = 0x020A;
constexpr UINT WM_PARENTNOTIFY = 0x0210;
constexpr UINT WM_CAPTURECHANGED = 0x0215;
constexpr UINT WM_DEVICECHANGE = 0x0219;
constexpr UINT WM_MDICREATE = 0x0220;
constexpr UINT WM_MDIDESTROY = 0x0221;
constexpr UINT WM_MDIACTIVATE = 0x0222;
constexpr UINT WM_MDIRESTORE = 0x0223;
constexpr UINT WM_MDINEXT = 0x0224;
constexpr UINT WM_MDIMAXIMIZE = 0x0225;
constexpr UINT WM_MDITILE = 0x0226;
constexpr UINT WM_MDICASCADE = 0x0227;
constexpr UINT WM_MDIICONARRANGE = 0x0228;
constexpr UINT WM_MDIGETACTIVE = 0x0229;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// ---- Message parameters.
// WM_SIZE wParam
constexpr UINT SIZE_RESTORED = 0;
constexpr UINT SIZE_MINIMIZED = 1;
constexpr UINT SIZE_MAXIMIZED = 2;
// Mouse-message key state
constexpr UINT MK_LBUTTON = 0x0001;
constexpr UINT MK_RBUTTON = 0x0002;
constexpr UINT MK_SHIFT = 0x0004;
constexpr UINT MK_CONTROL = 0x0008;
constexpr UINT MK_MBUTTON = 0x0010;
// WM_SETCURSOR hit test
constexpr UINT HTNOWHERE = 0;
constexpr UINT HTCLIENT = 1;
// WM_ACTIVATE
constexpr UINT WA_INACTIVE = 0;
constexpr UINT WA_ACTIVE = 1;
constexpr UINT WA_CLICKACTIVE = 2;
// Scroll codes and bars
constexpr UINT SB_LINEUP = 0;
constexpr UINT SB_LINELEFT = 0;
constexpr UINT SB_LINEDOWN = 1;
constexpr UINT SB_LINERIGHT = 1;
constexpr UINT SB_PAGEUP = 2;
constexpr UINT SB_PAGELEFT = 2;
constexpr UINT SB_PAGEDOWN = 3;
constexpr UINT SB_PAGERIGHT = 3;
constexpr UINT SB_THUMBPOSITION = 4;
constexpr UINT SB_THUMBTRACK = 5;
constexpr UINT SB_TOP = 6;
constexpr UINT SB_LEFT = 6;
constexpr UINT SB_BOTTOM = 7;
constexpr UINT SB_RIGHT = 7;
constexpr UINT SB_ENDSCROLL = 8;
constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;
constexpr int SB_CTL = 2;
constexpr int SB_BOTH = 3;
// WM_CTLCOLOR kinds
constexpr UINT CTLCOLOR_MSGBOX = 0;
constexpr UINT CTLCOLOR_EDIT = 1;
constexpr UINT CTLCOLOR_LISTBOX = 2;
constexpr UINT CTLCOLOR_BTN = 3;
constexpr UINT CTLCOLOR_DLG = 4;
constexpr UINT CTLCOLOR_SCROLLBAR = 5;
constexpr UINT CTLCOLOR_STATIC = 6;
// WM_MDITILE
constexpr UINT MDITILE_VERTICAL = 0x0000;
constexpr UINT MDITILE_HORIZONTAL = 0x0001;
constexpr UINT MDITILE_SKIPDISABLED = 0x0002;

// ---- Virtual keys.
constexpr UINT VK_LBUTTON = 0x01;
constexpr UINT VK_RBUTTON = 0x02;
constexpr UINT VK_CANCEL = 0x03;
constexpr UINT VK_MBUTTON = 0x04;
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_PAUSE = 0x13;
constexpr UINT VK_CAPITAL = 0x14;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_PRIOR = 0x21;
constexpr UINT VK_NEXT = 0x22;
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_INSERT = 0x2D;
constexpr UINT VK_DELETE = 0x2E;
constexpr UINT VK_NUMPAD0 = 0x60;
constexpr UINT VK_MULTIPLY = 0x6A;
constexpr UINT VK_ADD = 0x6B;
constexpr UINT VK_SUBTRACT = 0x6D;
constexpr UINT VK_DECIMAL = 0x6E;
constexpr UINT VK_DIVIDE = 0x6F;
constexpr UINT VK_F1 = 0x70;
constexpr UINT VK_F2 = 0x71;
constexpr UINT VK_F3 = 0x72;
constexpr UINT VK_F4 = 0x73;
constexpr UINT VK_F5 = 0x74;
constexpr UINT VK_F6 = 0x75;
constexpr UINT VK_F7 = 0x76;
constexpr UINT VK_F8 = 0x77;
constexpr UINT VK_F9 = 0x78;
constexpr UINT VK_F10 = 0x79;
constexpr UINT VK_F11 = 0x7A;
constexpr UINT VK_F12 = 0x7B;
// 'A'..'Z' and '0'..'9' are their ASCII codes.

// ---- Control notifications (WM_COMMAND, HIWORD of wParam).
constexpr UINT BN_CLICKED = 0;
constexpr UINT BN_DOUBLECLICKED = 5;
constexpr UINT BN_SETFOCUS = 6;
constexpr UINT BN_KILLFOCUS = 7;
constexpr UINT EN_SETFOCUS = 0x0100;
constexpr UINT EN_KILLFOCUS = 0x0200;
constexpr UINT EN_CHANGE = 0x0300;
constexpr UINT EN_UPDATE = 0x0400;
constexpr UINT EN_MAXTEXT = 0x0501;
constexpr UINT CBN_SELCHANGE = 1;
constexpr UINT CBN_DBLCLK = 2;
constexpr UINT CBN_SETFOCUS = 3;
constexpr UINT CBN_KILLFOCUS = 4;
constexpr UINT CBN_EDITCHANGE = 5;
constexpr UINT CBN_EDITUPDATE = 6;
constexpr UINT CBN_DROPDOWN = 7;
constexpr UINT CBN_CLOSEUP = 8;
constexpr UINT CBN_SELENDOK = 9;
constexpr UINT CBN_SELENDCANCEL = 10;
constexpr UINT LBN_SELCHANGE = 1;
constexpr UINT LBN_DBLCLK = 2;
constexpr UINT LBN_SELCANCEL = 3;
constexpr UINT LBN_SETFOCUS = 4;
constexpr UINT LBN_KILLFOCUS = 5;
constexpr UINT CLBN_CHKCHANGE = 40;
constexpr UINT STN_CLICKED = 0;
constexpr UINT STN_DBLCLK = 1;

// ---- WM_NOTIFY codes and records.
struct NMHDR {
    HWND hwndFrom = nullptr;
    UINT_PTR idFrom = 0;
    UINT code = 0;
};
using LPNMHDR = NMHDR*;
constexpr UINT NM_CLICK = static_cast<UINT>(-2);
constexpr UINT NM_DBLCLK = static_cast<UINT>(-3);
constexpr UINT NM_RETURN = static_cast<UINT>(-4);
constexpr UINT NM_RCLICK = static_cast<UINT>(-5);
constexpr UINT NM_SETFOCUS = static_cast<UINT>(-7);
constexpr UINT NM_KILLFOCUS = static_cast<UINT>(-8);
constexpr UINT UDN_DELTAPOS = static_cast<UINT>(-722);
constexpr UINT DTN_DATETIMECHANGE = static_cast<UINT>(-759);
constexpr UINT TTN_NEEDTEXTA = static_cast<UINT>(-520);
struct NMUPDOWN {
    NMHDR hdr;
    int iPos = 0;
    int iDelta = 0;
};
using LPNMUPDOWN = NMUPDOWN*;

// ---- Records passed with messages.
struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt;
};
using LPMSG = MSG*;

struct CREATESTRUCTA {
    void* lpCreateParams = nullptr;
    HINSTANCE hInstance = nullptr;
    HMENU hMenu = nullptr;
    HWND hwndParent = nullptr;
    int cy = 0;
    int cx = 0;
    int y = 0;
    int x = 0;
    LONG style = 0;
    LPCSTR lpszName = nullptr;
    LPCSTR lpszClass = nullptr;
    DWORD dwExStyle = 0;
};
using CREATESTRUCT = CREATESTRUCTA;
using LPCREATESTRUCT = CREATESTRUCT*;

struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

struct WINDOWPOS {
    HWND hwnd = nullptr;
    HWND hwndInsertAfter = nullptr;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
};


struct DRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemAction = 0;
    UINT itemState = 0;
    HWND hwndItem = nullptr;
    HDC hDC = nullptr; // the gdi layer's handle of a CDC (CDC::FromHandle)
    RECT rcItem;
    std::uintptr_t itemData = 0;
};
using LPDRAWITEMSTRUCT = DRAWITEMSTRUCT*;
constexpr UINT ODT_MENU = 1;
constexpr UINT ODT_LISTBOX = 2;
constexpr UINT ODT_COMBOBOX = 3;
constexpr UINT ODT_BUTTON = 4;
constexpr UINT ODT_STATIC = 5;
constexpr UINT ODA_DRAWENTIRE = 0x0001;
constexpr UINT ODA_SELECT = 0x0002;
constexpr UINT ODA_FOCUS = 0x0004;
constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_GRAYED = 0x0002;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_CHECKED = 0x0008;
constexpr UINT ODS_FOCUS = 0x0010;

struct MEASUREITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    std::uintptr_t itemData = 0;
};
using LPMEASUREITEMSTRUCT = MEASUREITEMSTRUCT*;

// WM_CTLCOLOR's lParam: the control asking, the DC it will draw with, and its kind.
struct AFX_CTLCOLOR {
    CWnd* pWnd = nullptr;
    CDC* pDC = nullptr;
    UINT nCtlType = CTLCOLOR_STATIC;
};

// ---- Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;
constexpr DWORD WS_CHILDWINDOW = WS_CHILD;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_MDICHILD = 0x00000040;
constexpr DWORD FWS_ADDTOTITLE = 0x00008000;
constexpr DWORD FWS_PREFIXTITLE = 0x00040000;
// Window-class styles (AfxRegisterWndClass)
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_OWNDC = 0x0020;
constexpr UINT CS_NOCLOSE = 0x0200;


// SetWindowPos flags and insert-after values
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;
#define HWND_TOP (reinterpret_cast<HWND>(static_cast<std::intptr_t>(0)))
#define HWND_BOTTOM (reinterpret_cast<HWND>(static_cast<std::intptr_t>(1)))
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2)))

// RedrawWindow flags
constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_UPDATENOW = 0x0100;
constexpr UINT RDW_ALLCHILDREN = 0x0080;

// System cursors (LoadCursor(nullptr, IDC_...), CWinApp::LoadStandardCursor)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_UPARROW MAKEINTRESOURCEA(32516)
#define IDC_SIZENWSE MAKEINTRESOURCEA(32642)
#define IDC_SIZENESW MAKEINTRESOURCEA(32643)
#define IDC_SIZEWE MAKEINTRESOURCEA(32644)
#define IDC_SIZENS MAKEINTRESOURCEA(32645)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_NO MAKEINTRESOURCEA(32648)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEA(32650)

// ---- Message maps.
class CCmdTarget;
class CCmdUI;

// What a map entry's thunk receives; `result` is what SendMessage returns.
struct AFX_MSGARGS {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    UINT nID = 0;         // command or control id
    int nCode = 0;        // notification code
    void* pExtra = nullptr; // CCmdUI* for update-UI, NMHDR* for WM_NOTIFY
    LRESULT result = 0;
};
// Calls the handler; returns FALSE only when an ON_COMMAND_EX-style handler declines.
using AFX_THUNK = BOOL (*)(CCmdTarget* target, AFX_MSGARGS& args);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage; // WM_* (WM_COMMAND for commands and control notifications, WM_NOTIFY)
    UINT nCode;    // notification code; CN_COMMAND or CN_UPDATE_COMMAND_UI for commands
    UINT nID;      // first control or command id (0 for plain window messages)
    UINT nLastID;  // last id of a range
    AFX_THUNK pfn; // null ends the table
};
struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

constexpr int CN_COMMAND = 0;
constexpr int CN_UPDATE_COMMAND_UI = -1;
// OnCmdMsg's nCode for WM_NOTIFY carries the message in its high word, as MFC's does.
constexpr int CN_NOTIFY_FLAG = static_cast<int>(WM_NOTIFY << 16);

#define DECLARE_MESSAGE_MAP()                                                                     \
protected:                                                                                        \
    static const AFX_MSGMAP* GetThisMessageMap();                                                 \
    const AFX_MSGMAP* GetMessageMap() const override;                                             \
                                                                                                  \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                    \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }             \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                               \
    {                                                                                             \
        using ThisClass = theClass;                                                               \
        using TheBaseClass = baseClass;                                                           \
        static_assert(sizeof(ThisClass) > 0, "complete class");                                   \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                         \
    {0, 0, 0, 0, nullptr}                                                                         \
    }                                                                                             \
    ;                                                                                             \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                                           \
    }

// Helper for the entries: `self` is the target as ThisClass, `a` the AFX_MSGARGS.
#define AFX_ENTRY(msg, code, id, lastId, body)                                                    \
    {msg, static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(lastId),              \
     [](CCmdTarget* t_, AFX_MSGARGS& a) -> BOOL {                                                 \
         ThisClass* self = static_cast<ThisClass*>(t_);                                           \
         (void)self;                                                                              \
         (void)a;                                                                                 \
         body;                                                                                    \
         return TRUE;                                                                             \
     }},

// Commands and update-UI.
#define ON_COMMAND(id, memberFxn) AFX_ENTRY(WM_COMMAND, CN_COMMAND, id, id, (self->*(memberFxn))())
#define ON_COMMAND_EX(id, memberFxn)                                                              \
    AFX_ENTRY(WM_COMMAND, CN_COMMAND, id, id, if (!(self->*(memberFxn))(a.nID)) return FALSE)
#define ON_COMMAND_RANGE(id, idLast, memberFxn)                                                   \
    AFX_ENTRY(WM_COMMAND, CN_COMMAND, id, idLast, (self->*(memberFxn))(a.nID))
#define ON_UPDATE_COMMAND_UI(id, memberFxn)                                                       \
    AFX_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, id, id, (self->*(memberFxn))(static_cast<CCmdUI*>(a.pExtra)))
#define ON_UPDATE_COMMAND_UI_RANGE(id, idLast, memberFxn)                                         \
    AFX_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, id, idLast, (self->*(memberFxn))(static_cast<CCmdUI*>(a.pExtra)))
// Control notifications sent as WM_COMMAND (BN_CLICKED, EN_CHANGE, CBN_SELCHANGE, ...).
#define ON_CONTROL(code, id, memberFxn) AFX_ENTRY(WM_COMMAND, code, id, id, (self->*(memberFxn))())
#define ON_CONTROL_RANGE(code, id, idLast, memberFxn)                                             \
    AFX_ENTRY(WM_COMMAND, code, id, idLast, (self->*(memberFxn))(a.nID))
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_BN_SETFOCUS(id, memberFxn) ON_CONTROL(BN_SETFOCUS, id, memberFxn)
#define ON_BN_KILLFOCUS(id, memberFxn) ON_CONTROL(BN_KILLFOCUS, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_UPDATE(id, memberFxn) ON_CONTROL(EN_UPDATE, id, memberFxn)
#define ON_EN_SETFOCUS(id, memberFxn) ON_CONTROL(EN_SETFOCUS, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_EN_MAXTEXT(id, memberFxn) ON_CONTROL(EN_MAXTEXT, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_DBLCLK(id, memberFxn) ON_CONTROL(CBN_DBLCLK, id, memberFxn)
#define ON_CBN_SETFOCUS(id, memberFxn) ON_CONTROL(CBN_SETFOCUS, id, memberFxn)
#define ON_CBN_KILLFOCUS(id, memberFxn) ON_CONTROL(CBN_KILLFOCUS, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_CBN_EDITUPDATE(id, memberFxn) ON_CONTROL(CBN_EDITUPDATE, id, memberFxn)
#define ON_CBN_DROPDOWN(id, memberFxn) ON_CONTROL(CBN_DROPDOWN, id, memberFxn)
#define ON_CBN_CLOSEUP(id, memberFxn) ON_CONTROL(CBN_CLOSEUP, id, memberFxn)
#define ON_CBN_SELENDOK(id, memberFxn) ON_CONTROL(CBN_SELENDOK, id, memberFxn)
#define ON_CBN_SELENDCANCEL(id, memberFxn) ON_CONTROL(CBN_SELENDCANCEL, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)
#define ON_LBN_SETFOCUS(id, memberFxn) ON_CONTROL(LBN_SETFOCUS, id, memberFxn)
#define ON_LBN_KILLFOCUS(id, memberFxn) ON_CONTROL(LBN_KILLFOCUS, id, memberFxn)
#define ON_CLBN_CHKCHANGE(id, memberFxn) ON_CONTROL(CLBN_CHKCHANGE, id, memberFxn)
#define ON_STN_CLICKED(id, memberFxn) ON_CONTROL(STN_CLICKED, id, memberFxn)
#define ON_STN_DBLCLK(id, memberFxn) ON_CONTROL(STN_DBLCLK, id, memberFxn)
// WM_NOTIFY entries: handler (NMHDR* pNMHDR, LRESULT* pResult).
#define ON_NOTIFY(code, id, memberFxn)                                                            \
    AFX_ENTRY(WM_NOTIFY, code, id, id, (self->*(memberFxn))(static_cast<NMHDR*>(a.pExtra), &a.result))
#define ON_NOTIFY_RANGE(code, id, idLast, memberFxn)                                              \
    AFX_ENTRY(WM_NOTIFY, code, id, idLast, (self->*(memberFxn))(a.nID, static_cast<NMHDR*>(a.pExtra), &a.result))
// The program's own messages: handler LRESULT (WPARAM, LPARAM).
#define ON_MESSAGE(message, memberFxn)                                                            \
    AFX_ENTRY(message, 0, 0, 0, a.result = (self->*(memberFxn))(a.wParam, a.lParam))

// Window messages, handled by the MFC-named member.
#define AFX_POINT_OF(lp) CPoint(static_cast<SHORT>(LOWORD(lp)), static_cast<SHORT>(HIWORD(lp)))
#define ON_WM_CREATE()                                                                            \
    AFX_ENTRY(WM_CREATE, 0, 0, 0, a.result = self->OnCreate(reinterpret_cast<LPCREATESTRUCT>(a.lParam)))
#define ON_WM_DESTROY() AFX_ENTRY(WM_DESTROY, 0, 0, 0, self->OnDestroy())
#define ON_WM_NCDESTROY() AFX_ENTRY(WM_NCDESTROY, 0, 0, 0, self->OnNcDestroy())
#define ON_WM_CLOSE() AFX_ENTRY(WM_CLOSE, 0, 0, 0, self->OnClose())
#define ON_WM_SIZE()                                                                              \
    AFX_ENTRY(WM_SIZE, 0, 0, 0, self->OnSize(UINT(a.wParam), static_cast<SHORT>(LOWORD(a.lParam)), static_cast<SHORT>(HIWORD(a.lParam))))
#define ON_WM_MOVE()                                                                              \
    AFX_ENTRY(WM_MOVE, 0, 0, 0, self->OnMove(static_cast<SHORT>(LOWORD(a.lParam)), static_cast<SHORT>(HIWORD(a.lParam))))
#define ON_WM_PAINT() AFX_ENTRY(WM_PAINT, 0, 0, 0, self->OnPaint())
#define ON_WM_ERASEBKGND()                                                                        \
    AFX_ENTRY(WM_ERASEBKGND, 0, 0, 0, a.result = self->OnEraseBkgnd(reinterpret_cast<CDC*>(a.wParam)))
#define ON_WM_TIMER() AFX_ENTRY(WM_TIMER, 0, 0, 0, self->OnTimer(UINT_PTR(a.wParam)))
#define ON_WM_MOUSEMOVE() AFX_ENTRY(WM_MOUSEMOVE, 0, 0, 0, self->OnMouseMove(UINT(a.wParam), AFX_POINT_OF(a.lParam)))
#define ON_WM_LBUTTONDOWN()                                                                       \
    AFX_ENTRY(WM_LBUTTONDOWN, 0, 0, 0, self->OnLButtonDown(UINT(a.wParam), AFX_POINT_OF(a.lParam)))
#define ON_WM_LBUTTONUP() AFX_ENTRY(WM_LBUTTONUP, 0, 0, 0, self->OnLButtonUp(UINT(a.wParam), AFX_POINT_OF(a.lParam)))
#define ON_WM_LBUTTONDBLCLK()                                                                     \
    AFX_ENTRY(WM_LBUTTONDBLCLK, 0, 0, 0, self->OnLButtonDblClk(UINT(a.wParam), AFX_POINT_OF(a.lParam)))
#define ON_WM_RBUTTONDOWN()                                                                       \
    AFX_ENTRY(WM_RBUTTONDOWN, 0, 0, 0, self->OnRButtonDown(UINT(a.wParam), AFX_POINT_OF(a.lParam)))
#define ON_WM_RBUTTONUP() AFX_ENTRY(WM_RBUTTONUP, 0, 0, 0, self->OnRButtonUp(UINT(a.wParam), AFX_POINT_OF(a.lParam)))
#define ON_WM_RBUTTONDBLCLK()                                                                     \
    AFX_ENTRY(WM_RBUTTONDBLCLK, 0, 0, 0, self->OnRButtonDblClk(UINT(a.wParam), AFX_POINT_OF(a.lParam)))
#define ON_WM_MBUTTONDOWN()                                                                       \
    AFX_ENTRY(WM_MBUTTONDOWN, 0, 0, 0, self->OnMButtonDown(UINT(a.wParam), AFX_POINT_OF(a.lParam)))
#define ON_WM_MBUTTONUP() AFX_ENTRY(WM_MBUTTONUP, 0, 0, 0, self->OnMButtonUp(UINT(a.wParam), AFX_POINT_OF(a.lParam)))
#define ON_WM_MOUSEWHEEL()                                                                        \
    AFX_ENTRY(WM_MOUSEWHEEL, 0, 0, 0,                                                             \
              a.result = self->OnMouseWheel(LOWORD(a.wParam), static_cast<SHORT>(HIWORD(a.wParam)), AFX_POINT_OF(a.lParam)))
#define ON_WM_KEYDOWN()                                                                           \
    AFX_ENTRY(WM_KEYDOWN, 0, 0, 0, self->OnKeyDown(UINT(a.wParam), LOWORD(a.lParam), HIWORD(a.lParam)))
#define ON_WM_KEYUP() AFX_ENTRY(WM_KEYUP, 0, 0, 0, self->OnKeyUp(UINT(a.wParam), LOWORD(a.lParam), HIWORD(a.lParam)))
#define ON_WM_CHAR() AFX_ENTRY(WM_CHAR, 0, 0, 0, self->OnChar(UINT(a.wParam), LOWORD(a.lParam), HIWORD(a.lParam)))
#define ON_WM_SYSKEYDOWN()                                                                        \
    AFX_ENTRY(WM_SYSKEYDOWN, 0, 0, 0, self->OnSysKeyDown(UINT(a.wParam), LOWORD(a.lParam), HIWORD(a.lParam)))
#define ON_WM_HSCROLL()                                                                           \
    AFX_ENTRY(WM_HSCROLL, 0, 0, 0,                                                                \
              self->OnHScroll(LOWORD(a.wParam), static_cast<SHORT>(HIWORD(a.wParam)),             \
                              reinterpret_cast<CScrollBar*>(CWnd::FromHandle(reinterpret_cast<HWND>(a.lParam)))))
#define ON_WM_VSCROLL()                                                                           \
    AFX_ENTRY(WM_VSCROLL, 0, 0, 0,                                                                \
              self->OnVScroll(LOWORD(a.wParam), static_cast<SHORT>(HIWORD(a.wParam)),             \
                              reinterpret_cast<CScrollBar*>(CWnd::FromHandle(reinterpret_cast<HWND>(a.lParam)))))
#define ON_WM_SETCURSOR()                                                                         \
    AFX_ENTRY(WM_SETCURSOR, 0, 0, 0,                                                              \
              a.result = self->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(a.wParam)),    \
                                           LOWORD(a.lParam), HIWORD(a.lParam)))
#define ON_WM_GETMINMAXINFO()                                                                     \
    AFX_ENTRY(WM_GETMINMAXINFO, 0, 0, 0, self->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(a.lParam)))
#define ON_WM_WINDOWPOSCHANGING()                                                                 \
    AFX_ENTRY(WM_WINDOWPOSCHANGING, 0, 0, 0, self->OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(a.lParam)))
#define ON_WM_MDIACTIVATE()                                                                       \
    AFX_ENTRY(WM_MDIACTIVATE, 0, 0, 0,                                                            \
              self->OnMDIActivate(CWnd::FromHandle(reinterpret_cast<HWND>(a.lParam)) == self,     \
                                  CWnd::FromHandle(reinterpret_cast<HWND>(a.lParam)),             \
                                  CWnd::FromHandle(reinterpret_cast<HWND>(a.wParam))))
#define ON_WM_CTLCOLOR()                                                                          \
    AFX_ENTRY(WM_CTLCOLOR, 0, 0, 0, {                                                             \
        AFX_CTLCOLOR* cc_ = reinterpret_cast<AFX_CTLCOLOR*>(a.lParam);                            \
        a.result = reinterpret_cast<LRESULT>(self->OnCtlColor(cc_->pDC, cc_->pWnd, cc_->nCtlType)); \
    })
#define ON_WM_DRAWITEM()                                                                          \
    AFX_ENTRY(WM_DRAWITEM, 0, 0, 0, self->OnDrawItem(int(a.wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(a.lParam)))
#define ON_WM_MEASUREITEM()                                                                       \
    AFX_ENTRY(WM_MEASUREITEM, 0, 0, 0, self->OnMeasureItem(int(a.wParam), reinterpret_cast<LPMEASUREITEMSTRUCT>(a.lParam)))
#define ON_WM_SETFOCUS() AFX_ENTRY(WM_SETFOCUS, 0, 0, 0, self->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(a.wParam))))
#define ON_WM_KILLFOCUS() AFX_ENTRY(WM_KILLFOCUS, 0, 0, 0, self->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(a.wParam))))
#define ON_WM_SHOWWINDOW() AFX_ENTRY(WM_SHOWWINDOW, 0, 0, 0, self->OnShowWindow(BOOL(a.wParam), UINT(a.lParam)))
#define ON_WM_ACTIVATE()                                                                          \
    AFX_ENTRY(WM_ACTIVATE, 0, 0, 0,                                                               \
              self->OnActivate(LOWORD(a.wParam), CWnd::FromHandle(reinterpret_cast<HWND>(a.lParam)), HIWORD(a.wParam)))
#define ON_WM_SYSCOLORCHANGE() AFX_ENTRY(WM_SYSCOLORCHANGE, 0, 0, 0, self->OnSysColorChange())
#define ON_WM_DEVICECHANGE()                                                                      \
    AFX_ENTRY(WM_DEVICECHANGE, 0, 0, 0, a.result = self->OnDeviceChange(UINT(a.wParam), DWORD_PTR(a.lParam)))
#define ON_WM_CONTEXTMENU()                                                                       \
    AFX_ENTRY(WM_CONTEXTMENU, 0, 0, 0, self->OnContextMenu(CWnd::FromHandle(reinterpret_cast<HWND>(a.wParam)), AFX_POINT_OF(a.lParam)))
#define ON_WM_CAPTURECHANGED()                                                                    \
    AFX_ENTRY(WM_CAPTURECHANGED, 0, 0, 0, self->OnCaptureChanged(CWnd::FromHandle(reinterpret_cast<HWND>(a.lParam))))
#define ON_WM_INITMENUPOPUP()                                                                     \
    AFX_ENTRY(WM_INITMENUPOPUP, 0, 0, 0,                                                          \
              self->OnInitMenuPopup(reinterpret_cast<CMenu*>(a.wParam), LOWORD(a.lParam), HIWORD(a.lParam)))

// ---- Command targets.
class CObject {
public:
    virtual ~CObject() = default;
};

class CCmdTarget : public CObject {
public:
    // Looks the command (or update-UI request, or notification) up in this object's map chain.
    // nCode: CN_COMMAND, CN_UPDATE_COMMAND_UI (pExtra = CCmdUI*), a control notification code,
    // or CN_NOTIFY_FLAG | code for WM_NOTIFY (pExtra = AFX_MSGARGS* carrying the NMHDR).
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo);

    // Wait cursor for this target's long work (kept as a count; nested calls are fine).
    void BeginWaitCursor();
    void EndWaitCursor();
    void RestoreWaitCursor();

    // Finds the entry for a window message (nCode/nID 0) in the chain, or null.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message) const;
    // Finds a WM_COMMAND / WM_NOTIFY entry, or null.
    const AFX_MSGMAP_ENTRY* FindCommandEntry(UINT message, UINT nCode, UINT nID) const;

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

// State of a user-interface item (menu item, accelerator-bound command, tool button) asked of
// its command handlers before it shows or fires.
class CCmdUI {
public:
    UINT m_nID = 0;
    UINT m_nIndex = 0;           // position in its menu
    CMenu* m_pMenu = nullptr;    // the menu holding the item, or null
    CMenu* m_pSubMenu = nullptr; // the pop-up the item opens, or null
    CWnd* m_pOther = nullptr;    // a control standing for the item, or null
    BOOL m_bEnableChanged = FALSE;
    BOOL m_bContinueRouting = FALSE;

    virtual ~CCmdUI() = default;
    virtual void Enable(BOOL bOn = TRUE);
    virtual void SetCheck(int nCheck = 1); // 0 off, 1 on, 2 indeterminate
    virtual void SetRadio(BOOL bOn = TRUE);
    virtual void SetText(LPCSTR lpszText);
    void ContinueRouting() { m_bContinueRouting = TRUE; }
    // Routes the update through `target`; returns whether a handler took it. Without a handler
    // the item is disabled when bDisableIfNoHndler and nobody handles the command itself.
    BOOL DoUpdate(CCmdTarget* target, BOOL bDisableIfNoHndler);
};

// A CCmdUI that only records the answers (for accelerators and tests).
class CTestCmdUI : public CCmdUI {
public:
    BOOL m_bEnabled = TRUE;
    int m_nCheck = -1; // -1: not set
    BOOL m_bRadio = FALSE;
    bool m_bTextSet = false;
    std::string m_strText;
    void Enable(BOOL bOn = TRUE) override { m_bEnabled = bOn; m_bEnableChanged = TRUE; }
    void SetCheck(int nCheck = 1) override { m_nCheck = nCheck; }
    void SetRadio(BOOL bOn = TRUE) override { m_bRadio = bOn; m_nCheck = bOn ? 1 : 0; }
    void SetText(LPCSTR t) override { m_bTextSet = true; m_strText = t ? t : ""; }
};

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
    // The CWnd wrapping a widget (or one of its ancestors when `walkUp`), or null.
    static CWnd* FromWidget(const QWidget* widget, bool walkUp = false);

    // Creates a custom-drawn window. Class names come from AfxRegisterWndClass (or null for the
    // default class). WS_CHILD makes a child of pParentWnd; otherwise a top-level window, owned
    // by pParentWnd when given (WS_EX_TOOLWINDOW/WS_POPUP: a Qt::Tool window).
    virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID, void* pContext = nullptr);
    virtual BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                          const RECT& rect, CWnd* pParentWnd, UINT nID, void* lpParam = nullptr);
    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y,
                  int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, void* lpParam = nullptr);

    // Wraps an existing widget (a control made by a dialog template, a Qt widget made by the
    // layer). The widget's events become messages for this object; events its map does not
    // handle (or whose handler calls Default()) go on to the widget. The widget stays owned by
    // its Qt parent; Detach() unwraps without destroying it.
    BOOL Attach(QWidget* widget, UINT nID = 0);
    QWidget* Detach();
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

    // ---- The Qt side. The widget of the window as a whole: what moves, shows and closes
    // (a frame's QMainWindow, an MDI child's QMdiSubWindow); null before creation and after
    // destruction. Drawing goes through GetSurface(), input arrives as messages.
    QWidget* GetQWidget() const;

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
    // Makes the wrapper own `widget` (deleting it with the window); used by Create and frames.
    void AdoptWidget(QWidget* widget, HWND parentHint = nullptr);
    // The same for a window whose client area is a widget inside it (frames, MDI children).
    void AdoptWidgets(QWidget* outer, QWidget* client);
    // Sends an input message after PreTranslateMessage; returns whether it was consumed.
    bool DispatchInput(UINT message, WPARAM wParam, LPARAM lParam);
    // The QWidget holding the client area (the same as GetQWidget() except for frames and MDI
    // children): child windows go in it, and client coordinates are its coordinates.
    virtual QWidget* GetClientWidget() const;
    bool IsCustomDrawn() const { return m_customDrawn; }
    // Called by the layer's widgets.
    void HandlePaintEvent(const QRect& rect);
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
