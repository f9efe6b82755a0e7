// Message maps and command routing: static tables per class, written with the macros below
// (see platform/ui/Wnd.h for an example), command targets and update-UI state.
#pragma once

#include "platform/ui/WndConstants.h"

#include <string>

class CMenu;
class CScrollBar;
class CWnd;

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
