#include "platform/ui/FrameWnd.h"

#include "platform/core/Resources.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/qt/WndInternal.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>

#include <cmath>

const RECT rectDefault{CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};

namespace {
bool IsDefaultRect(const RECT& r) { return r.left == CW_USEDEFAULT; }

// Accelerators: an application-wide filter that gives key presses in the frame's window (and
// in windows it owns) to the frame's table before the focus widget sees them. Modal dialogs
// keep their keys, as they do under Windows.
class AccelFilter : public QObject {
public:
    explicit AccelFilter(CFrameWnd* frame) : frame_(frame), self_(frame->GetSafeHwnd()) {}
    bool eventFilter(QObject* obj, QEvent* ev) override
    {
        if (ev->type() != QEvent::KeyPress || !obj->isWidgetType())
            return false;
        if (!CWnd::FromHandle(self_) || !frame_->m_hAccelTable)
            return false;
        if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
            return false;
        auto* w = static_cast<QWidget*>(obj);
        QWidget* top = QtWidgetOf(frame_);
        bool ours = false;
        for (QWidget* p = w; p; p = p->parentWidget())
            if (p == top) {
                ours = true;
                break;
            }
        if (!ours)
            return false;
        auto* ke = static_cast<QKeyEvent*>(ev);
        // The keypad's keys are the same virtual keys to Windows.
        const QKeySequence pressed(QKeyCombination(ke->modifiers() & ~Qt::KeypadModifier, Qt::Key(ke->key())));
        for (const AccelEntry& e : GetAcceleratorEntries(frame_->m_hAccelTable)) {
            if (QKeySequence(QString::fromStdString(e.keys), QKeySequence::PortableText) == pressed) {
                frame_->ExecuteCommand(e.id, true);
                return true;
            }
        }
        return false;
    }

private:
    CFrameWnd* frame_;
    HWND self_;
};

QRect DefaultFrameRect()
{
    QRect avail(0, 0, 1280, 800);
    if (QScreen* s = QGuiApplication::primaryScreen())
        avail = s->availableGeometry();
    const int w = std::max(640, avail.width() * 4 / 5), h = std::max(480, avail.height() * 4 / 5);
    return QRect(avail.left() + (avail.width() - w) / 2, avail.top() + (avail.height() - h) / 2, w, h);
}

// Menu-tree changes reach the frames that show the changed menu.
std::vector<CFrameWnd*>& Frames()
{
    static std::vector<CFrameWnd*> f;
    return f;
}
} // namespace

void NotifyMenuBarChanged(HMENU root)
{
    for (CFrameWnd* f : Frames()) {
        CMenu* m = f->GetMenu();
        if (!m || m->GetSafeHmenu() != root || !QtMainWindowOf(f))
            continue;
        const HWND h = f->GetSafeHwnd();
        // Queued and coalesced: a run of removals rebuilds the bar once, after the caller is done.
        if (f->m_rebuildPending)
            continue;
        f->m_rebuildPending = true;
        QMetaObject::invokeMethod(
            QtMainWindowOf(f),
            [f, h] {
                if (CWnd::FromHandle(h) != f)
                    return;
                f->m_rebuildPending = false;
                f->RebuildMenuBar();
            },
            Qt::QueuedConnection);
    }
}

// ---- CFrameWnd -------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
    ON_WM_SIZE()
    ON_WM_CLOSE()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CFrameWnd::CFrameWnd() { Frames().push_back(this); }

CFrameWnd::~CFrameWnd()
{
    auto& f = Frames();
    f.erase(std::remove(f.begin(), f.end(), this), f.end());
    if (CWinApp* app = AfxGetApp())
        if (app->m_pMainWnd == this)
            app->m_pMainWnd = nullptr;
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, void* pContext)
{
    std::string title = LoadResourceString(nIDResource);
    const auto nl = title.find('\n');
    if (nl != std::string::npos)
        title.resize(nl);
    m_strTitle = title;
    if (!Create(nullptr, title.c_str(), dwDefaultStyle, rectDefault, pParentWnd, MAKEINTRESOURCEA(nIDResource), 0,
                pContext))
        return FALSE;
    LoadAccelTable(nIDResource);
    return TRUE;
}

BOOL CFrameWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                       CWnd* pParentWnd, LPCSTR lpszMenuName, DWORD dwExStyle, void* pContext)
{
    if (m_hWnd)
        return FALSE;
    AfxEnsureQtApplication();
    if (lpszMenuName) {
        const BOOL ok = IS_INTRESOURCE(lpszMenuName)
                            ? m_menu.LoadMenu(static_cast<UINT>(reinterpret_cast<std::uintptr_t>(lpszMenuName)))
                            : FALSE;
        if (!ok && !IS_INTRESOURCE(lpszMenuName))
            return FALSE;
    }
    (void)lpszClassName;
    return CreateMainWindow(lpszWindowName, dwStyle, rect, pParentWnd, dwExStyle, pContext);
}

BOOL CFrameWnd::CreateMainWindow(LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                                 DWORD dwExStyle, void* pContext)
{
    CREATESTRUCT cs;
    cs.lpszName = lpszWindowName;
    cs.style = static_cast<LONG>(dwStyle);
    cs.dwExStyle = dwExStyle;
    cs.lpCreateParams = pContext;
    const QRect def = DefaultFrameRect();
    if (IsDefaultRect(rect)) {
        cs.x = def.x();
        cs.y = def.y();
        cs.cx = def.width();
        cs.cy = def.height();
    } else {
        cs.x = rect.left;
        cs.y = rect.top;
        cs.cx = rect.right - rect.left;
        cs.cy = rect.bottom - rect.top;
    }
    cs.hwndParent = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
    if (!PreCreateWindow(cs))
        return FALSE;
    m_dwStyle = static_cast<DWORD>(cs.style) & ~WS_VISIBLE;
    m_dwExStyle = cs.dwExStyle;
    const HICON classIcon = AdoptClassInfo(cs);

    auto* mainWindow = new QMainWindow(pParentWnd ? QtWidgetOf(pParentWnd) : nullptr,
                                   pParentWnd ? Qt::Tool : Qt::Window);
    auto* clientArea = new QWidget(mainWindow);
    clientArea->setObjectName("FrameClient");
    mainWindow->setCentralWidget(clientArea);
    if (cs.lpszName)
        mainWindow->setWindowTitle(QString::fromLocal8Bit(cs.lpszName));
    mainWindow->move(cs.x, cs.y);
    mainWindow->resize(std::max(1, cs.cx), std::max(1, cs.cy));
    QtAdoptWidgets(this, mainWindow, clientArea);
    ApplyClassIcon(mainWindow, classIcon);
    // The application's main window lends its icon to every window that has none of its own
    // (plot and tool windows), as the program's icon on the desktop.
    // The program makes its frame the main window before creating it.
    if (classIcon && (AfxGetMainWnd() == nullptr || AfxGetMainWnd() == this))
        if (const QIcon* icon = IconOf(classIcon))
            QApplication::setWindowIcon(*icon);
    if (m_menu.GetSafeHmenu())
        RebuildMenuBar();

    if (auto* mdi = dynamic_cast<CMDIFrameWnd*>(this)) {
        auto* area = new QMdiArea(clientArea);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area->setGeometry(clientArea->rect());
        mdi->m_mdiClient = std::make_unique<CMDIClientArea>();
        mdi->m_mdiClient->m_pFrame = mdi;
        QtAttach(mdi->m_mdiClient.get(), area, 0xE900); // AFX_IDW_PANE_FIRST, as MFC numbers the client
        mdi->m_hWndMDIClient = mdi->m_mdiClient->m_hWnd;
        const HWND self = m_hWnd;
        QObject::connect(area, &QMdiArea::subWindowActivated, area, [mdi, self](QMdiSubWindow* sub) {
            if (CWnd::FromHandle(self) == mdi)
                mdi->OnSubWindowActivated(sub != nullptr, WndFromWidget(sub));
        });
    }
    auto* filter = new AccelFilter(this);
    filter->setParent(mainWindow);
    qApp->installEventFilter(filter);

    if (!SendCreateMessage(cs))
        return FALSE;
    RecalcLayout();
    SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(WORD(clientArea->width()), WORD(clientArea->height())));
    if (dwStyle & WS_VISIBLE)
        ShowWindow(SW_SHOW);
    return TRUE;
}


bool CFrameWnd::SendCreateMessage(CREATESTRUCT& cs)
{
    m_creating = true;
    const LRESULT created = SendMessage(WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
    if (created == -1 || !m_hWnd) {
        DestroyWindow();
        m_creating = false;
        return false;
    }
    m_creating = false;
    return true;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    // The framework's default frame classes, so that a frame can copy one and register its own.
    if (!cs.lpszClass) {
        const bool mdi = dynamic_cast<CMDIFrameWnd*>(this) != nullptr;
        const char* name = mdi ? "AfxMDIFrame" : "AfxFrameOrView";
        WNDCLASSA wc;
        if (!GetClassInfo(nullptr, name, &wc)) {
            wc.style = CS_DBLCLKS;
            wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
            wc.lpszClassName = name;
            AfxRegisterClass(&wc);
        }
        cs.lpszClass = name;
    }
    return TRUE;
}

void CFrameWnd::RecalcLayout(BOOL)
{
    if (auto* mdi = dynamic_cast<CMDIFrameWnd*>(this))
        if (QMdiArea* area = QtMdiAreaOf(mdi))
            area->setGeometry(QtClientWidgetOf(this)->rect());
}

void CFrameWnd::ActivateFrame(int nCmdShow)
{
    ShowWindow(nCmdShow == -1 ? SW_SHOW : nCmdShow);
    BringWindowToTop();
}

CMenu* CFrameWnd::GetMenu() const { return m_menu.GetSafeHmenu() ? CMenu::FromHandle(m_menu.GetSafeHmenu()) : nullptr; }

BOOL CFrameWnd::SetMenu(CMenu* pMenu)
{
    if (m_menu.GetSafeHmenu() && (!pMenu || pMenu->GetSafeHmenu() != m_menu.GetSafeHmenu()))
        m_menu.DestroyMenu();
    if (pMenu && pMenu->GetSafeHmenu() != m_menu.GetSafeHmenu())
        m_menu.Attach(pMenu->Detach());
    RebuildMenuBar();
    return TRUE;
}

void FillQMenu(QMenu* menu, HMENU hMenu, CFrameWnd* frame)
{
    const HWND target = frame ? frame->GetSafeHwnd() : nullptr;
    for (const MenuItemInfo& item : GetMenuItems(hMenu)) {
        if (item.flags & MF_SEPARATOR) {
            menu->addSeparator();
            continue;
        }
        const QString text = QString::fromLocal8Bit(item.text.c_str());
        if (item.flags & MF_POPUP) {
            QMenu* sub = menu->addMenu(text);
            const HMENU hs = item.sub;
            sub->setEnabled(!(item.flags & (MF_GRAYED | MF_DISABLED)));
            QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, hs, frame, target] {
                CMenu* m = CMenu::FromHandle(hs);
                if (!m)
                    return;
                if (frame && CWnd::FromHandle(target) == frame)
                    frame->UpdateMenuUI(m);
                sub->clear();
                FillQMenu(sub, hs, frame && CWnd::FromHandle(target) == frame ? frame : nullptr);
            });
            FillQMenu(sub, hs, frame);
            continue;
        }
        QAction* a = menu->addAction(text);
        a->setData(item.id);
        a->setEnabled(!(item.flags & (MF_GRAYED | MF_DISABLED)));
        if (item.flags & MF_CHECKED) {
            a->setCheckable(true);
            a->setChecked(true);
        }
        if (target) {
            const UINT id = item.id;
            // Posted, as Windows does: the menu closes before the command runs.
            QObject::connect(a, &QAction::triggered, a, [target, id] {
                ::PostMessage(target, WM_COMMAND, MAKEWPARAM(WORD(id), 0), 0);
            });
        }
    }
}

void CFrameWnd::RebuildMenuBar()
{
    QMainWindow* mainWindow = QtMainWindowOf(this);
    if (!mainWindow)
        return;
    QMenuBar* bar = mainWindow->menuBar();
    bar->clear();
    const HMENU root = m_menu.GetSafeHmenu();
    if (!root) {
        bar->hide();
        return;
    }
    bar->show();
    const HWND self = m_hWnd;
    for (const MenuItemInfo& item : GetMenuItems(root)) {
        const QString text = QString::fromLocal8Bit(item.text.c_str());
        if (item.flags & MF_SEPARATOR)
            continue;
        if (item.flags & MF_POPUP) {
            QMenu* sub = bar->addMenu(text);
            const HMENU hs = item.sub;
            QObject::connect(sub, &QMenu::aboutToShow, sub, [this, self, sub, hs] {
                CMenu* m = CMenu::FromHandle(hs);
                if (!m || CWnd::FromHandle(self) != this)
                    return;
                UpdateMenuUI(m);
                sub->clear();
                FillQMenu(sub, hs, this);
            });
            FillQMenu(sub, hs, this);
        } else {
            QAction* a = bar->addAction(text);
            const UINT id = item.id;
            QObject::connect(a, &QAction::triggered, a,
                             [self, id] { ::PostMessage(self, WM_COMMAND, MAKEWPARAM(WORD(id), 0), 0); });
        }
    }
}

void CFrameWnd::UpdateMenuUI(CMenu* pPopup)
{
    if (!pPopup)
        return;
    const HWND self = m_hWnd;
    const UINT n = pPopup->GetMenuItemCount();
    for (UINT i = 0; i < n && i != static_cast<UINT>(-1); ++i) {
        const UINT id = pPopup->GetMenuItemID(static_cast<int>(i));
        if (id == 0 || id == static_cast<UINT>(-1))
            continue;
        CCmdUI ui;
        ui.m_nID = id;
        ui.m_nIndex = i;
        ui.m_pMenu = pPopup;
        ui.DoUpdate(this, m_bAutoMenuEnable);
        if (CWnd::FromHandle(self) != this)
            return;
    }
}

BOOL CFrameWnd::LoadAccelTable(UINT nIDResource)
{
    m_hAccelTable = LoadAccelerators(nullptr, nIDResource);
    return m_hAccelTable != nullptr;
}

BOOL CFrameWnd::ExecuteCommand(UINT nID, bool fromAccelerator)
{
    if (!m_hWnd)
        return FALSE;
    return static_cast<BOOL>(SendMessage(WM_COMMAND, MAKEWPARAM(WORD(nID), WORD(fromAccelerator ? 1 : 0)), 0));
}

void CFrameWnd::SetTitle(LPCSTR lpszTitle) { m_strTitle = lpszTitle ? lpszTitle : ""; }

void CFrameWnd::OnUpdateFrameTitle(BOOL) { SetWindowText(m_strTitle.c_str()); }

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo)
{
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CFrameWnd::GetWindowPlacement(WINDOWPLACEMENT* wp) const { return CWnd::GetWindowPlacement(wp); }
BOOL CFrameWnd::SetWindowPlacement(const WINDOWPLACEMENT* wp) { return CWnd::SetWindowPlacement(wp); }

void CFrameWnd::OnSize(UINT nType, int, int)
{
    if (nType != SIZE_MINIMIZED)
        RecalcLayout();
}

void CFrameWnd::OnClose() { DestroyWindow(); }

void CFrameWnd::OnDestroy() {}

void CFrameWnd::PostNcDestroy()
{
    if (CWinApp* app = AfxGetApp()) {
        if (app->m_pMainWnd == this) {
            app->m_pMainWnd = nullptr;
            PostQuitMessage(0);
        }
    }
    // A frame whose creation failed is deleted by its creator, which learns of the failure.
    if (!m_creating)
        delete this;
}

// ---- MDI client --------------------------------------------------------------------------------


LRESULT CMDIClientArea::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_pFrame)
        return CWnd::WindowProc(message, wParam, lParam);
    CWnd* child = CWnd::FromHandle(reinterpret_cast<HWND>(wParam));
    switch (message) {
    case WM_MDIACTIVATE:
        m_pFrame->MDIActivate(child);
        return 0;
    case WM_MDIRESTORE:
        m_pFrame->MDIRestore(child);
        return 0;
    case WM_MDIMAXIMIZE:
        m_pFrame->MDIMaximize(child);
        return 0;
    case WM_MDITILE:
        m_pFrame->MDITile(static_cast<int>(wParam));
        return TRUE;
    case WM_MDICASCADE:
        m_pFrame->MDICascade(static_cast<int>(wParam));
        return TRUE;
    case WM_MDIICONARRANGE:
        m_pFrame->MDIIconArrange();
        return 0;
    case WM_MDINEXT:
        m_pFrame->MDINext();
        return 0;
    case WM_MDIDESTROY:
        if (auto* c = dynamic_cast<CMDIChildWnd*>(child))
            c->MDIDestroy();
        return 0;
    case WM_MDIGETACTIVE: {
        BOOL maximized = FALSE;
        CMDIChildWnd* active = m_pFrame->MDIGetActive(&maximized);
        if (lParam)
            *reinterpret_cast<BOOL*>(lParam) = maximized;
        return reinterpret_cast<LRESULT>(active ? active->GetSafeHwnd() : nullptr);
    }
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

// ---- CMDIFrameWnd ------------------------------------------------------------------------------

CMDIFrameWnd::CMDIFrameWnd() = default;
CMDIFrameWnd::~CMDIFrameWnd() = default;

QMainWindow* QtMainWindowOf(const CFrameWnd* frame) { return qobject_cast<QMainWindow*>(QtWidgetOf(frame)); }

QMdiArea* QtMdiAreaOf(const CMDIFrameWnd* frame)
{
    return frame && frame->GetMDIClient() ? qobject_cast<QMdiArea*>(QtWidgetOf(frame->GetMDIClient())) : nullptr;
}

void CMDIFrameWnd::RecalcLayout(BOOL bNotify) { CFrameWnd::RecalcLayout(bNotify); }

void CMDIFrameWnd::OnSubWindowActivated(bool anyActive, CWnd* now)
{
    QMdiArea* area = QtMdiAreaOf(this);
    if (!anyActive) {
        // Qt reports no active child when the application loses focus; MDI keeps its child.
        if (area && !area->subWindowList().isEmpty() && CWnd::FromHandle(m_lastActive))
            return;
    }
    CWnd* before = CWnd::FromHandle(m_lastActive);
    if (now == before)
        return;
    const HWND hNow = now ? now->GetSafeHwnd() : nullptr;
    const HWND hBefore = before ? before->GetSafeHwnd() : nullptr;
    m_lastActive = hNow;
    if (before)
        before->SendMessage(WM_MDIACTIVATE, reinterpret_cast<WPARAM>(hBefore), reinterpret_cast<LPARAM>(hNow));
    if (CWnd* n = CWnd::FromHandle(hNow))
        n->SendMessage(WM_MDIACTIVATE, reinterpret_cast<WPARAM>(hBefore), reinterpret_cast<LPARAM>(hNow));
}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive(BOOL* pbMaximized) const
{
    CWnd* w = CWnd::FromHandle(m_lastActive);
    auto* child = dynamic_cast<CMDIChildWnd*>(w);
    if (child && (!QtWidgetOf(child) || !QtWidgetOf(child)->isVisible()))
        child = nullptr;
    if (!child) {
        // The last one activated is gone: the area's current one, if any.
        if (QMdiArea* area = QtMdiAreaOf(this)) {
            const auto list = area->subWindowList(QMdiArea::ActivationHistoryOrder);
            for (auto it = list.rbegin(); it != list.rend() && !child; ++it)
                if ((*it)->isVisible())
                    child = dynamic_cast<CMDIChildWnd*>(WndFromWidget(*it));
        }
    }
    if (pbMaximized)
        *pbMaximized = child && QtWidgetOf(child)->isMaximized();
    return child;
}

void CMDIFrameWnd::MDIActivate(CWnd* pWnd)
{
    QMdiArea* area = QtMdiAreaOf(this);
    auto* sub = pWnd ? qobject_cast<QMdiSubWindow*>(QtWidgetOf(pWnd)) : nullptr;
    if (!area || !sub)
        return;
    area->setActiveSubWindow(sub);
    OnSubWindowActivated(true, WndFromWidget(sub));
}

void CMDIFrameWnd::MDIMaximize(CWnd* pWnd)
{
    if (pWnd && QtWidgetOf(pWnd)) {
        QtWidgetOf(pWnd)->showMaximized();
        MDIActivate(pWnd);
    }
}

void CMDIFrameWnd::MDIRestore(CWnd* pWnd)
{
    if (pWnd && QtWidgetOf(pWnd))
        QtWidgetOf(pWnd)->showNormal();
}

void CMDIFrameWnd::MDINext()
{
    if (QMdiArea* area = QtMdiAreaOf(this))
        area->activateNextSubWindow();
}

void CMDIFrameWnd::MDITile() { MDITile(MDITILE_HORIZONTAL); }

void CMDIFrameWnd::MDITile(int nType)
{
    QMdiArea* area = QtMdiAreaOf(this);
    if (!area)
        return;
    std::vector<QMdiSubWindow*> wins;
    for (QMdiSubWindow* s : area->subWindowList(QMdiArea::CreationOrder)) {
        if (!s->isVisible() || s->isMinimized())
            continue;
        if (s->isMaximized())
            s->showNormal();
        wins.push_back(s);
    }
    if (wins.empty())
        return;
    const QRect r = area->viewport()->rect();
    const int n = static_cast<int>(wins.size());
    // MDITILE_HORIZONTAL stacks wide windows one above another; vertical puts them side by side.
    // Beyond three, a grid of floor(sqrt(n)) columns (rows for vertical), extra ones at the end.
    const int lanes = n <= 3 ? 1 : static_cast<int>(std::floor(std::sqrt(double(n))));
    const bool horizontal = (nType & MDITILE_HORIZONTAL) != 0;
    int index = 0;
    for (int lane = 0; lane < lanes; ++lane) {
        const int inLane = n / lanes + (lane >= lanes - n % lanes ? 1 : 0);
        for (int k = 0; k < inLane; ++k, ++index) {
            QRect g;
            if (horizontal) {
                const int x0 = r.width() * lane / lanes, x1 = r.width() * (lane + 1) / lanes;
                const int y0 = r.height() * k / inLane, y1 = r.height() * (k + 1) / inLane;
                g = QRect(x0, y0, x1 - x0, y1 - y0);
            } else {
                const int y0 = r.height() * lane / lanes, y1 = r.height() * (lane + 1) / lanes;
                const int x0 = r.width() * k / inLane, x1 = r.width() * (k + 1) / inLane;
                g = QRect(x0, y0, x1 - x0, y1 - y0);
            }
            wins[size_t(index)]->setGeometry(g);
        }
    }
}

void CMDIFrameWnd::MDICascade()
{
    if (QMdiArea* area = QtMdiAreaOf(this))
        area->cascadeSubWindows();
}

void CMDIFrameWnd::MDICascade(int) { MDICascade(); }

void CMDIFrameWnd::MDIIconArrange()
{
    if (QMdiArea* area = QtMdiAreaOf(this)) {
        int x = 0;
        for (QMdiSubWindow* s : area->subWindowList())
            if (s->isMinimized()) {
                s->move(x, area->viewport()->height() - s->height());
                x += s->width();
            }
    }
}

BOOL CMDIFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo)
{
    if (CMDIChildWnd* child = MDIGetActive())
        if (child->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
            return TRUE;
    return CFrameWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

// ---- CMDIChildWnd ------------------------------------------------------------------------------

CMDIChildWnd::CMDIChildWnd() = default;
CMDIChildWnd::~CMDIChildWnd() = default;

BOOL CMDIChildWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                          CMDIFrameWnd* pParentWnd, void* pContext)
{
    if (m_hWnd)
        return FALSE;
    CMDIFrameWnd* frame = pParentWnd ? pParentWnd : dynamic_cast<CMDIFrameWnd*>(AfxGetMainWnd());
    QMdiArea* area = frame ? QtMdiAreaOf(frame) : nullptr;
    if (!area)
        return FALSE;
    CREATESTRUCT cs;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = static_cast<LONG>(dwStyle | WS_CHILD);
    cs.dwExStyle = WS_EX_MDICHILD;
    cs.hwndParent = frame->m_hWndMDIClient;
    cs.lpCreateParams = pContext;
    if (IsDefaultRect(rect)) {
        const QRect vp = area->viewport()->rect();
        const int k = static_cast<int>(area->subWindowList().size()) % 8;
        cs.x = 24 * k;
        cs.y = 24 * k;
        cs.cx = std::max(200, vp.width() * 3 / 4);
        cs.cy = std::max(150, vp.height() * 3 / 4);
    } else {
        cs.x = rect.left;
        cs.y = rect.top;
        cs.cx = rect.right - rect.left;
        cs.cy = rect.bottom - rect.top;
    }
    if (!PreCreateWindow(cs))
        return FALSE;
    m_dwStyle = static_cast<DWORD>(cs.style) & ~WS_VISIBLE;
    m_dwExStyle = cs.dwExStyle;
    const HICON classIcon = AdoptClassInfo(cs);
    auto* sub = new QMdiSubWindow;
    ApplyClassIcon(sub, classIcon);
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* client = new CWndWidget(this, nullptr, Qt::Widget);
    sub->setWidget(client);
    MarkCustomDrawn();
    if (cs.lpszName)
        sub->setWindowTitle(QString::fromLocal8Bit(cs.lpszName));
    area->addSubWindow(sub);
    sub->setGeometry(cs.x, cs.y, std::max(1, cs.cx), std::max(1, cs.cy));
    m_rectNormal = RECT{cs.x, cs.y, cs.x + std::max(1, cs.cx), cs.y + std::max(1, cs.cy)};
    QtAdoptWidgets(this, sub, client);
    ApplyClassCursor(this);
    if (!SendCreateMessage(cs))
        return FALSE;
    SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(WORD(client->width()), WORD(client->height())));
    if (dwStyle & WS_VISIBLE) {
        if (dwStyle & WS_MAXIMIZE)
            sub->showMaximized();
        else if (dwStyle & WS_MINIMIZE)
            sub->showMinimized();
        else
            sub->show();
        m_dwStyle |= WS_VISIBLE;
        frame->MDIActivate(this);
    }
    return TRUE;
}


CMDIFrameWnd* CMDIChildWnd::GetMDIFrame() const { return dynamic_cast<CMDIFrameWnd*>(GetParentFrame()); }

void CMDIChildWnd::MDIActivate()
{
    if (CMDIFrameWnd* f = GetMDIFrame())
        f->MDIActivate(this);
}

void CMDIChildWnd::MDIMaximize()
{
    if (CMDIFrameWnd* f = GetMDIFrame())
        f->MDIMaximize(this);
}

void CMDIChildWnd::MDIRestore()
{
    if (CMDIFrameWnd* f = GetMDIFrame())
        f->MDIRestore(this);
}

void CMDIChildWnd::MDIDestroy() { DestroyWindow(); }

void CMDIChildWnd::RecalcLayout(BOOL) {}

void CMDIChildWnd::ActivateFrame(int nCmdShow)
{
    ShowWindow(nCmdShow == -1 ? SW_SHOW : nCmdShow);
    MDIActivate();
}

BOOL CMDIChildWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo)
{
    return CCmdTarget::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CMDIChildWnd::NoteGeometry()
{
    QWidget* w = QtWidgetOf(this);
    if (w && !w->isMaximized() && !w->isMinimized()) {
        const QRect g = w->geometry();
        m_rectNormal = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    }
}

BOOL CMDIChildWnd::GetWindowPlacement(WINDOWPLACEMENT* wp) const
{
    QWidget* w = QtWidgetOf(this);
    if (!w || !wp)
        return FALSE;
    const_cast<CMDIChildWnd*>(this)->NoteGeometry();
    wp->length = sizeof(WINDOWPLACEMENT);
    wp->flags = 0;
    wp->showCmd = w->isMinimized() ? SW_SHOWMINIMIZED : w->isMaximized() ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    wp->ptMinPosition = POINT{-1, -1};
    wp->ptMaxPosition = POINT{-1, -1};
    wp->rcNormalPosition = m_rectNormal;
    return TRUE;
}

BOOL CMDIChildWnd::SetWindowPlacement(const WINDOWPLACEMENT* wp)
{
    QWidget* w = QtWidgetOf(this);
    if (!w || !wp)
        return FALSE;
    if (w->isMaximized() || w->isMinimized())
        w->showNormal();
    const RECT& r = wp->rcNormalPosition;
    w->setGeometry(r.left, r.top, std::max<LONG>(1, r.right - r.left), std::max<LONG>(1, r.bottom - r.top));
    m_rectNormal = RECT{r.left, r.top, r.left + std::max<LONG>(1, r.right - r.left),
                        r.top + std::max<LONG>(1, r.bottom - r.top)};
    ShowForPlacement(w, wp->showCmd);
    return TRUE;
}
