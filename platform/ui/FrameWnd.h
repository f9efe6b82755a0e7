// Frame windows: CFrameWnd (a QMainWindow with a menu bar and accelerators), the MDI frame
// CMDIFrameWnd (a QMdiArea as its MDI client) and the MDI child CMDIChildWnd (a sub-window).
//
// Command routing: an MDI frame offers a command to its active child first, then to itself,
// then to the application. Menus are updated through ON_UPDATE_COMMAND_UI handlers before they
// open; accelerators are bound to the frame window itself, so they fire even when their menu
// item has been removed, and not when an update handler disables the command.
//
// Frames delete themselves when their window is destroyed (PostNcDestroy), as MFC frames do;
// the main window's destruction ends the application's message loop.
#pragma once

#include "platform/ui/Menu.h"
#include "platform/ui/Wnd.h"

#include <memory>
#include <string>

class CMDIChildWnd;
class CMDIFrameWnd;

// Where a window gets a default position and size (CW_USEDEFAULT in each field).
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);
extern const RECT rectDefault;

class CFrameWnd : public CWnd {
public:
    CFrameWnd();
    ~CFrameWnd() override;

    // Creates the frame from resource nIDResource: its menu (MENU), accelerators (ACCELERATOR)
    // and title (the string of that id, up to its first '\n').
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* pParentWnd = nullptr, void* pContext = nullptr);
    using CWnd::Create;
    BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle = WS_OVERLAPPEDWINDOW,
                const RECT& rect = rectDefault, CWnd* pParentWnd = nullptr, LPCSTR lpszMenuName = nullptr,
                DWORD dwExStyle = 0, void* pContext = nullptr);

    // Lays out the client area (the MDI client fills it by default).
    virtual void RecalcLayout(BOOL bNotify = TRUE);
    virtual void ActivateFrame(int nCmdShow = -1);

    CMenu* GetMenu() const override;
    BOOL SetMenu(CMenu* pMenu) override;
    // Re-creates the menu bar from the menu tree (after items were removed or renamed).
    void RebuildMenuBar();
    // Runs the update-UI handlers for the items of a pop-up.
    void UpdateMenuUI(CMenu* pPopup);
    // Binds the accelerator table (replacing the current one).
    BOOL LoadAccelTable(UINT nIDResource);
    HACCEL m_hAccelTable = nullptr;
    BOOL m_bAutoMenuEnable = TRUE;
    bool m_rebuildPending = false;

    void SetTitle(LPCSTR lpszTitle);
    const std::string& GetTitle() const { return m_strTitle; }
    virtual void OnUpdateFrameTitle(BOOL bAddToTitle);

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) override;
    BOOL GetWindowPlacement(WINDOWPLACEMENT* lpwndpl) const override;
    BOOL SetWindowPlacement(const WINDOWPLACEMENT* lpwndpl) override;
    // Names the framework's default frame class ("AfxFrameOrView", MDI: "AfxMDIFrame") when no
    // class is given, so GetClassInfo can copy its description.
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;

    // Sends a command as a menu item or accelerator would (with the update-UI check).
    BOOL ExecuteCommand(UINT nID, bool fromAccelerator = false);

    void OnSize(UINT nType, int cx, int cy);
    void OnClose();
    void OnDestroy();

protected:
    void PostNcDestroy() override;
    BOOL CreateMainWindow(LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                          DWORD dwExStyle, void* pContext);
    DECLARE_MESSAGE_MAP()

protected:
    std::string m_strTitle;
    CMenu m_menu;
    // While Create runs: a failed creation leaves the object to its creator to delete.
    bool m_creating = false;
    // Sends WM_CREATE while m_creating is set; a refusal (-1) destroys the window: false.
    bool SendCreateMessage(CREATESTRUCT& cs);
};

// The MDI client: the area holding the children. It answers WM_MDI* messages.
class CMDIClientArea : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    CMDIFrameWnd* m_pFrame = nullptr;
};

class CMDIFrameWnd : public CFrameWnd {
public:
    CMDIFrameWnd();
    ~CMDIFrameWnd() override;

    HWND m_hWndMDIClient = nullptr;

    // The active child, or null; *pbMaximized tells whether it is maximised.
    CMDIChildWnd* MDIGetActive(BOOL* pbMaximized = nullptr) const;
    void MDIActivate(CWnd* pWndActivate);
    void MDIMaximize(CWnd* pWnd);
    void MDIRestore(CWnd* pWnd);
    void MDINext();
    void MDITile();
    void MDITile(int nType);
    void MDICascade();
    void MDICascade(int nType);
    void MDIIconArrange();

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) override;
    void RecalcLayout(BOOL bNotify = TRUE) override;
    CMDIClientArea* GetMDIClient() const { return m_mdiClient.get(); }

protected:
    BOOL CreateMainWindowMDI(LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                             DWORD dwExStyle, void* pContext);
    friend class CFrameWnd;
    std::unique_ptr<CMDIClientArea> m_mdiClient;
    HWND m_lastActive = nullptr;
    // The MDI area reports its active child (`now`, or none when `anyActive` is false).
    void OnSubWindowActivated(bool anyActive, CWnd* now);
};

class CMDIChildWnd : public CFrameWnd {
public:
    CMDIChildWnd();
    ~CMDIChildWnd() override;

    // Creates the child in pParentWnd's MDI client (the main window's when null). rect is in
    // the MDI client's coordinates; rectDefault lets the client choose.
    virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName,
                        DWORD dwStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, const RECT& rect = rectDefault,
                        CMDIFrameWnd* pParentWnd = nullptr, void* pContext = nullptr);
    CMDIFrameWnd* GetMDIFrame() const;
    void MDIActivate();
    void MDIMaximize();
    void MDIRestore();
    void MDIDestroy();

    // Its own map only: the MDI frame routes on to itself and the application.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) override;
    BOOL GetWindowPlacement(WINDOWPLACEMENT* lpwndpl) const override;
    BOOL SetWindowPlacement(const WINDOWPLACEMENT* lpwndpl) override;
    void RecalcLayout(BOOL bNotify = TRUE) override;
    void ActivateFrame(int nCmdShow = -1) override;
    // The restored rectangle, kept while the child is maximised or minimised.
    RECT m_rectNormal{};
    void NoteGeometry();
    void OnLayerGeometryChanged() override { NoteGeometry(); }
};
