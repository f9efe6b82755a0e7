#include "platform/ui/Wnd.h"

#include "platform/ui/FrameWnd.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/qt/WndInternal.h"

#include "platform/core/PostedMessage.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QMdiSubWindow>
#include <QMoveEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QVariant>
#include <QWindow>

#include <algorithm>
#include <array>
#include <atomic>
#include <clocale>
#include <cstring>
#include <mutex>
#include <unordered_map>

// ---- Handle registry --------------------------------------------------------------------

namespace {
std::mutex& HandleMutex()
{
    static std::mutex m;
    return m;
}
std::unordered_map<std::uintptr_t, CWnd*>& Handles()
{
    static std::unordered_map<std::uintptr_t, CWnd*> h;
    return h;
}
// Handles are serial numbers, never reused, so a stale handle can't reach a new window.
std::atomic<std::uintptr_t> g_nextHandle{0x10000};
// Counts unregistrations: a handle found once names the same window until the count moves.
std::atomic<unsigned> g_unregistered{0};

CWnd* g_capture = nullptr;

struct WndClassInfo {
    WNDCLASSA cls;
    std::string name;
};
std::map<std::string, WndClassInfo>& WndClasses()
{
    static std::map<std::string, WndClassInfo> c;
    return c;
}
} // namespace

HWND RegisterWindowHandle(CWnd* wnd)
{
    const std::uintptr_t id = g_nextHandle.fetch_add(4);
    std::lock_guard lock(HandleMutex());
    Handles()[id] = wnd;
    return reinterpret_cast<HWND>(id);
}

void UnregisterWindowHandle(HWND h)
{
    std::lock_guard lock(HandleMutex());
    Handles().erase(reinterpret_cast<std::uintptr_t>(h));
    g_unregistered.fetch_add(1, std::memory_order_acq_rel);
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    // Asked many times a block for the same few windows: each thread keeps what it found, good
    // while no window has gone since.
    struct Found {
        std::uintptr_t id = 0;
        CWnd* wnd = nullptr;
        unsigned unregistered = 0;
    };
    thread_local std::array<Found, 64> found{};
    const auto id = reinterpret_cast<std::uintptr_t>(hWnd);
    Found& f = found[(id >> 2) % found.size()];
    const unsigned unregistered = g_unregistered.load(std::memory_order_acquire);
    if (f.id == id && f.unregistered == unregistered)
        return f.wnd;
    std::lock_guard lock(HandleMutex());
    auto it = Handles().find(id);
    if (it == Handles().end())
        return nullptr;
    f = Found{id, it->second, unregistered};
    return it->second;
}

BOOL IsWindow(HWND hWnd) { return CWnd::FromHandle(hWnd) != nullptr; }

CWnd* WndFromWidget(const QWidget* widget, bool walkUp)
{
    for (const QWidget* w = widget; w; w = walkUp ? w->parentWidget() : nullptr) {
        const QVariant v = w->property(kWndProperty);
        if (v.isValid()) {
            auto* wnd = static_cast<CWnd*>(v.value<void*>());
            if (wnd)
                return wnd;
        }
        if (!walkUp)
            break;
    }
    return nullptr;
}

QWidget* QtWidgetOf(const CWnd* wnd) { return wnd ? CWndQt::Outer(*wnd) : nullptr; }
QWidget* QtClientWidgetOf(const CWnd* wnd) { return wnd ? CWndQt::Client(*wnd) : nullptr; }
BOOL QtAttach(CWnd* wnd, QWidget* widget, UINT nID) { return wnd ? CWndQt::Attach(*wnd, widget, nID) : FALSE; }
QWidget* QtDetach(CWnd* wnd) { return wnd ? CWndQt::Detach(*wnd) : nullptr; }
void QtAdoptWidget(CWnd* wnd, QWidget* widget) { CWndQt::Adopt(*wnd, widget, nullptr); }
void QtAdoptWidgets(CWnd* wnd, QWidget* outer, QWidget* client) { CWndQt::Adopt(*wnd, outer, client); }
void QtHandlePaintEvent(CWnd* wnd, const QRegion& region, QImage* target, QPoint origin)
{
    CWndQt::HandlePaintEvent(*wnd, region, target, origin);
}

// ---- Qt application ----------------------------------------------------------------------

static bool PostMessageIfImpl(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, MessageGate gate);

void AfxEnsureQtApplication()
{
    // Layers below the windows post through the window layer's queue.
    SetMessagePoster(&PostMessageIfImpl);
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "Durnex";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    // Qt sets the locale from the environment; numbers are read and written the C way.
    std::setlocale(LC_NUMERIC, "C");
}

void AfxPumpMessages(int ms)
{
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    if (ms > 0) {
        // Sleeps between events as the application's loop does (processEvents with a time
        // limit returns at once when nothing is pending): a timer ends the last wait, armed
        // again for what is left should it fire early.
        QElapsedTimer t;
        t.start();
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        for (qint64 left = ms; left > 0; left = ms - t.elapsed()) {
            if (!deadline.isActive())
                deadline.start(int(left));
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
    }
    QCoreApplication::sendPostedEvents();
}

// ---- Window classes ------------------------------------------------------------------------

LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon)
{
    char name[128];
    std::snprintf(name, sizeof name, "Afx:%x:%p:%p:%p", nClassStyle, static_cast<void*>(hCursor),
                  static_cast<void*>(hbrBackground), static_cast<void*>(hIcon));
    auto& classes = WndClasses();
    auto it = classes.find(name);
    if (it == classes.end()) {
        WndClassInfo info;
        info.name = name;
        info.cls.style = nClassStyle;
        info.cls.hCursor = hCursor;
        info.cls.hbrBackground = hbrBackground;
        info.cls.hIcon = hIcon;
        it = classes.emplace(name, std::move(info)).first;
        it->second.cls.lpszClassName = it->second.name.c_str();
    }
    return it->second.name.c_str();
}

BOOL AfxRegisterClass(const WNDCLASSA* lpWndClass)
{
    if (!lpWndClass || !lpWndClass->lpszClassName || !*lpWndClass->lpszClassName)
        return FALSE;
    auto& classes = WndClasses();
    if (classes.count(lpWndClass->lpszClassName))
        return FALSE; // as RegisterClass: a name is registered once
    WndClassInfo info;
    info.cls = *lpWndClass;
    info.name = lpWndClass->lpszClassName;
    auto it = classes.emplace(info.name, std::move(info)).first;
    it->second.cls.lpszClassName = it->second.name.c_str();
    return TRUE;
}

BOOL GetClassInfo(HINSTANCE, LPCSTR lpClassName, WNDCLASSA* lpWndClass)
{
    if (!lpClassName || IS_INTRESOURCE(lpClassName))
        return FALSE;
    auto it = WndClasses().find(lpClassName);
    if (it == WndClasses().end())
        return FALSE;
    if (lpWndClass)
        *lpWndClass = it->second.cls;
    return TRUE;
}

// ---- CWnd ------------------------------------------------------------------------------------

CWnd::CWnd() : d(std::make_unique<Impl>()) {}

CWnd::~CWnd()
{
    if (g_capture == this)
        g_capture = nullptr;
    d->timers.clear();
    if (d->hook)
        d->hook->ReleaseOwner();
    if (m_hWnd)
        UnregisterWindowHandle(m_hWnd);
    m_hWnd = nullptr;
    for (QWidget* w : {d->outer.data(), d->client.data()}) {
        if (!w)
            continue;
        w->setProperty(kWndProperty, QVariant());
        if (auto* cw = dynamic_cast<CWndWidget*>(w))
            cw->ReleaseOwner();
    }
    if (d->ownsWidget && d->outer) {
        d->outer->hide();
        delete d->outer.data();
    } else if (d->hook && d->outer) {
        d->outer->removeEventFilter(d->hook);
        if (d->client)
            d->client->removeEventFilter(d->hook);
        delete d->hook;
    }
    d->hook = nullptr;
}

QWidget* CWndQt::Outer(const CWnd& w) { return w.d->outer.data(); }
QWidget* CWndQt::Client(const CWnd& w) { return w.d->client ? w.d->client.data() : w.d->outer.data(); }

void CWndQt::Adopt(CWnd& w, QWidget* widget, QWidget* client)
{
    auto& d = w.d;
    if (client)
        d->client = client;
    d->outer = widget;
    if (!d->client)
        d->client = widget;
    d->ownsWidget = true;
    if (!w.m_hWnd)
        w.m_hWnd = RegisterWindowHandle(&w);
    widget->setProperty(kWndProperty, QVariant::fromValue<void*>(&w));
    if (d->client && d->client != widget)
        d->client->setProperty(kWndProperty, QVariant::fromValue<void*>(&w));
    if (w.m_nID)
        widget->setProperty(kCtrlIdProperty, w.m_nID);
    if (d->client && (w.FindMessageEntry(WM_MOUSEMOVE) || w.FindMessageEntry(WM_SETCURSOR)))
        d->client->setMouseTracking(true);
    if (!d->hook) {
        d->hook = new CWndHook(&w, d->outer, d->client);
        d->hook->setParent(widget);
        widget->installEventFilter(d->hook);
        if (d->client != widget)
            d->client->installEventFilter(d->hook);
    }
}

namespace {
Qt::WindowFlags TopLevelFlags(DWORD style, DWORD exStyle, bool owned)
{
    Qt::WindowFlags f;
    if ((exStyle & WS_EX_TOOLWINDOW) || ((style & WS_POPUP) && owned))
        f = Qt::Tool;
    else
        f = Qt::Window;
    if ((style & WS_CAPTION) != WS_CAPTION && (style & WS_POPUP))
        f |= Qt::FramelessWindowHint;
    if ((style & WS_CAPTION) == WS_CAPTION) {
        // The title bar's buttons are the style's, none taken by default: window managers that
        // read the hints show no maximise button where the style has no maximise box.
        f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (style & WS_SYSMENU)
            f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (style & WS_MINIMIZEBOX)
            f |= Qt::WindowMinimizeButtonHint;
        if (style & WS_MAXIMIZEBOX)
            f |= Qt::WindowMaximizeButtonHint;
    }
    if (exStyle & WS_EX_TOPMOST)
        f |= Qt::WindowStaysOnTopHint;
    return f;
}

// A framed window without a sizing border has the size the program gives it and no other: its
// size limits say so, and window managers (openbox reads nothing else for it) then offer the
// user neither sizing nor maximising.
constexpr const char* kFixedSizeProperty = "durnexFixedSize";

// The limits move from the old size to the new one without a moment in which they leave room
// between them: a window manager that saw one would give the window sizing and maximising, and
// openbox keeps the buttons it drew for them.
void FixSize(QWidget* w, const QSize& size)
{
    if (QWindow* h = w->windowHandle(); h && w->minimumSize() == w->maximumSize()) {
        h->setMinimumSize(w->minimumSize().expandedTo(size));
        h->setMaximumSize(size);
    }
    w->setFixedSize(size);
}

void ResizeTopLevel(QWidget* w, const QSize& size)
{
    if (w->property(kFixedSizeProperty).toBool())
        FixSize(w, size);
    else
        w->resize(size);
}

// Places the client area; a fixed size is set first, as its limits would keep the old one.
void SetTopLevelGeometry(QWidget* w, const QRect& client)
{
    if (w->property(kFixedSizeProperty).toBool())
        FixSize(w, client.size());
    w->setGeometry(client);
}
} // namespace

namespace {
void PlaceFrameWhenFramed(QWidget* w, const QPoint& at);
} // namespace

BOOL CWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, void* pContext)
{
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID, pContext);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, void* lpParam)
{
    const RECT r{x, y, x + nWidth, y + nHeight};
    const UINT id = (dwStyle & WS_CHILD) ? static_cast<UINT>(reinterpret_cast<std::uintptr_t>(nIDorHMenu)) : 0;
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, r, FromHandle(hWndParent), id, lpParam);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, void* lpParam)
{
    if (m_hWnd)
        return FALSE;
    AfxEnsureQtApplication();
    CREATESTRUCT cs;
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = static_cast<LONG>(dwStyle);
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.hwndParent = pParentWnd ? pParentWnd->m_hWnd : nullptr;
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs))
        return FALSE;
    m_dwStyle = static_cast<DWORD>(cs.style);
    m_dwExStyle = cs.dwExStyle;
    m_nID = (m_dwStyle & WS_CHILD) ? nID : 0;
    const HICON classIcon = AdoptClassInfo(cs);

    const bool child = (m_dwStyle & WS_CHILD) != 0;
    QWidget* parentWidget = nullptr;
    if (pParentWnd)
        parentWidget = child ? QtClientWidgetOf(pParentWnd) : QtWidgetOf(pParentWnd);
    if (child && !parentWidget)
        return FALSE;
    Qt::WindowFlags flags = child ? Qt::Widget : TopLevelFlags(m_dwStyle, m_dwExStyle, parentWidget != nullptr);
    auto* w = new CWndWidget(this, parentWidget, flags);
    m_customDrawn = true;
    if (!child)
        m_pOwner = pParentWnd;
    QtAdoptWidget(this, w);
    if (cs.lpszName)
        w->setWindowTitle(QString::fromLocal8Bit(cs.lpszName));
    if (child) {
        w->setGeometry(cs.x, cs.y, qMax(0, cs.cx), qMax(0, cs.cy));
    } else {
        w->setProperty(kFixedSizeProperty, (m_dwStyle & WS_CAPTION) == WS_CAPTION && !(m_dwStyle & WS_THICKFRAME));
        SetTopLevelGeometry(w, QRect(cs.x, cs.y, qMax(1, cs.cx), qMax(1, cs.cy)));
    }
    // An owned window with a title bar (a tool window) is asked for where its frame goes, as
    // its recorded placement is; placed by its client it would stand a title bar lower.
    if (!child && m_pOwner && (m_dwStyle & WS_CAPTION) == WS_CAPTION)
        PlaceFrameWhenFramed(w, QPoint(cs.x, cs.y));
    if (m_dwStyle & WS_DISABLED)
        w->setEnabled(false);
    GetClientRect(&m_paintRect);
    ApplyClassCursor(this);
    if (!child)
        ApplyClassIcon(w, classIcon);

    MINMAXINFO mmi{};
    mmi.ptMaxTrackSize = {32767, 32767};
    if (FindMessageEntry(WM_GETMINMAXINFO) && !w->property(kFixedSizeProperty).toBool()) {
        SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        if (mmi.ptMinTrackSize.x > 0 || mmi.ptMinTrackSize.y > 0)
            w->setMinimumSize(mmi.ptMinTrackSize.x, mmi.ptMinTrackSize.y);
        if (mmi.ptMaxTrackSize.x < 32767 || mmi.ptMaxTrackSize.y < 32767)
            w->setMaximumSize(mmi.ptMaxTrackSize.x, mmi.ptMaxTrackSize.y);
    }
    d->invalid = QRegion(0, 0, w->width(), w->height());
    d->erasePending = true;
    if (SendMessage(WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow();
        return FALSE;
    }
    if (!m_hWnd)
        return FALSE;
    // Windows sends the first WM_SIZE at creation.
    SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(WORD(w->width()), WORD(w->height())));
    if (m_dwStyle & WS_VISIBLE)
        w->show();
    return TRUE;
}

BOOL CWndQt::Attach(CWnd& w, QWidget* widget, UINT nID)
{
    auto& d = w.d;
    if (!widget || w.m_hWnd)
        return FALSE;
    if (CWnd* other = WndFromWidget(widget))
        if (other != &w)
            return FALSE;
    d->outer = widget;
    d->client = widget;
    d->ownsWidget = false;
    w.m_hWnd = RegisterWindowHandle(&w);
    if (nID)
        w.SetDlgCtrlID(static_cast<int>(nID));
    else
        w.m_nID = widget->property(kCtrlIdProperty).toUInt();
    w.m_dwStyle = (widget->isWindow() ? 0 : WS_CHILD) | (widget->isVisible() ? WS_VISIBLE : 0);
    widget->setProperty(kWndProperty, QVariant::fromValue<void*>(&w));
    // Windows sends moves without a button held; Qt does so only with tracking on.
    if (w.FindMessageEntry(WM_MOUSEMOVE) || w.FindMessageEntry(WM_SETCURSOR))
        widget->setMouseTracking(true);
    d->hook = new CWndHook(&w, widget, widget);
    widget->installEventFilter(d->hook);
    CWnd* self = &w;
    QObject::connect(widget, &QObject::destroyed, d->hook, [self] { self->HandleDestroyedWidget(); });
    return TRUE;
}

QWidget* CWndQt::Detach(CWnd& wnd)
{
    auto& d = wnd.d;
    QWidget* w = d->outer.data();
    if (!wnd.m_hWnd)
        return nullptr;
    d->timers.clear();
    if (d->hook) {
        d->hook->ReleaseOwner();
        if (w) {
            w->removeEventFilter(d->hook);
            QObject::disconnect(w, nullptr, d->hook, nullptr);
        }
        if (d->client && d->client != w)
            d->client->removeEventFilter(d->hook);
        d->hook->deleteLater();
        d->hook = nullptr;
    }
    if (w)
        w->setProperty(kWndProperty, QVariant());
    UnregisterWindowHandle(wnd.m_hWnd);
    wnd.m_hWnd = nullptr;
    d->outer = nullptr;
    d->client = nullptr;
    d->ownsWidget = false;
    return w;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    if (!pParent)
        return FALSE;
    CWnd* item = pParent->GetDlgItem(static_cast<int>(nID));
    if (!item)
        return FALSE;
    if (item == this)
        return TRUE;
    return SubclassWindow(item->m_hWnd);
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    CWnd* other = FromHandle(hWnd);
    if (!other || m_hWnd)
        return FALSE;
    const bool temp = other->d->temporary;
    const UINT id = other->m_nID;
    QWidget* w = QtDetach(other);
    if (temp)
        delete other;
    return w ? QtAttach(this, w, id) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND old = m_hWnd;
    QtDetach(this);
    return old;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT&) { return TRUE; }
BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }
void CWnd::PostNcDestroy() {}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd || d->destroying)
        return FALSE;
    d->destroying = true;
    SendMessage(WM_DESTROY);
    d->timers.clear();
    // Child and owned windows go first, at once, as Windows destroys them with their parent.
    if (QWidget* outer = d->outer.data()) {
        std::vector<HWND> children;
        for (QWidget* w : outer->findChildren<QWidget*>()) {
            CWnd* c = WndFromWidget(w);
            if (c && c != this && c->m_hWnd &&
                std::find(children.begin(), children.end(), c->m_hWnd) == children.end())
                children.push_back(c->m_hWnd);
        }
        for (HWND h : children)
            if (CWnd* c = FromHandle(h))
                c->DestroyWindow();
    }
    if (g_capture == this) {
        g_capture = nullptr;
        if (QWidget* c = QtClientWidgetOf(this))
            c->releaseMouse();
    }
    QWidget* outer = d->outer.data();
    QWidget* client = d->client.data();
    if (auto* cw = dynamic_cast<CWndWidget*>(client))
        cw->ReleaseOwner();
    if (d->hook) {
        d->hook->ReleaseOwner();
        if (!d->ownsWidget) {
            if (outer)
                outer->removeEventFilter(d->hook);
            delete d->hook;
        }
        d->hook = nullptr;
    }
    for (QWidget* w : {outer, client})
        if (w)
            w->setProperty(kWndProperty, QVariant());
    d->outer = nullptr;
    d->client = nullptr;
    d->surface.reset();
    UnregisterWindowHandle(m_hWnd);
    m_hWnd = nullptr;
    if (outer) {
        outer->hide();
        outer->deleteLater(); // Qt may be inside one of this widget's events
        outer->setParent(nullptr);
    }
    d->destroying = false;
    OnNcDestroy();
    if (d->temporary) {
        delete this;
        return TRUE;
    }
    PostNcDestroy(); // may delete this
    return TRUE;
}

void CWnd::HandleDestroyedWidget()
{
    if (!m_hWnd || d->destroying)
        return;
    d->destroying = true;
    d->outer = nullptr;
    d->client = nullptr;
    d->timers.clear();
    if (g_capture == this)
        g_capture = nullptr;
    SendMessage(WM_DESTROY);
    if (d->hook) {
        d->hook->ReleaseOwner();
        if (!d->ownsWidget)
            d->hook->deleteLater(); // an owned widget's hook goes with the widget
        d->hook = nullptr;
    }
    d->surface.reset();
    UnregisterWindowHandle(m_hWnd);
    m_hWnd = nullptr;
    d->destroying = false;
    const bool temp = d->temporary;
    OnNcDestroy();
    if (temp) {
        delete this;
        return;
    }
    PostNcDestroy();
}

// ---- Dispatch ------------------------------------------------------------------------------

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_hWnd && message != WM_NCDESTROY)
        return 0;
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        // From another thread the message is handled on the window's thread, and the sender
        // waits for the result, as Windows does.
        LRESULT result = 0;
        const HWND self = m_hWnd;
        QMetaObject::invokeMethod(
            app,
            [self, message, wParam, lParam, &result] {
                if (CWnd* w = FromHandle(self))
                    result = w->WindowProc(message, wParam, lParam);
            },
            Qt::BlockingQueuedConnection);
        return result;
    }
    return WindowProc(message, wParam, lParam);
}

LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* w = CWnd::FromHandle(hWnd);
    return w ? w->SendMessage(message, wParam, lParam) : 0;
}

BOOL PostMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsWindow(hWnd))
        return FALSE;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return FALSE;
    // Runs on the application's thread; the handle is checked again on arrival.
    QMetaObject::invokeMethod(
        app,
        [hWnd, message, wParam, lParam] {
            if (PeekFilterActive()) {
                DeferPostedMessage(hWnd, message, wParam, lParam);
                return;
            }
            if (CWnd* w = CWnd::FromHandle(hWnd))
                w->SendMessage(message, wParam, lParam);
        },
        Qt::QueuedConnection);
    return TRUE;
}

// The poster of platform/core/PostedMessage.h: ::PostMessage with a gate that runs on arrival.
static bool PostMessageIfImpl(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, MessageGate gate)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    QMetaObject::invokeMethod(
        app,
        [hWnd, message, wParam, lParam, gate = std::move(gate)] {
            if (PeekFilterActive()) {
                DeferPostedMessage(hWnd, message, wParam, lParam, gate);
                return;
            }
            if (gate && !gate())
                return;
            if (CWnd* w = CWnd::FromHandle(hWnd))
                w->SendMessage(message, wParam, lParam);
        },
        Qt::QueuedConnection);
    return true;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessage(m_hWnd, message, wParam, lParam);
}


void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep)
{
    QWidget* c = QtClientWidgetOf(this);
    if (!c)
        return;
    const auto children = c->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* w : children) {
        CWnd* wnd = WndFromWidget(w);
        if (!wnd)
            continue;
        HWND h = wnd->m_hWnd;
        wnd->SendMessage(message, wParam, lParam);
        if (bDeep && (wnd = FromHandle(h)))
            wnd->SendMessageToDescendants(message, wParam, lParam, TRUE);
    }
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        const BOOL handled = OnCommand(wParam, lParam);
        if (pResult)
            *pResult = handled;
        return handled;
    }
    if (message == WM_NOTIFY) {
        LRESULT r = 0;
        const BOOL handled = OnNotify(wParam, lParam, &r);
        if (pResult)
            *pResult = r;
        return handled;
    }
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message);
    if (!entry)
        return FALSE;
    const UINT savedMsg = d->curMessage;
    const WPARAM savedW = d->curWParam;
    const LPARAM savedL = d->curLParam;
    d->curMessage = message;
    d->curWParam = wParam;
    d->curLParam = lParam;
    AFX_MSGARGS args;
    args.message = message;
    args.wParam = wParam;
    args.lParam = lParam;
    const HWND self = m_hWnd;
    entry->pfn(this, args);
    // The handler may have destroyed (and deleted) this window.
    if (FromHandle(self) == this || (!self && d)) {
        d->curMessage = savedMsg;
        d->curWParam = savedW;
        d->curLParam = savedL;
    }
    if (pResult)
        *pResult = args.result;
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT nID = LOWORD(wParam);
    const int nCode = HIWORD(wParam);
    if (lParam == 0 && (nCode == 0 || nCode == 1)) {
        // A menu item or accelerator: a command its update handler disables does not run.
        CTestCmdUI state;
        state.m_nID = nID;
        OnCmdMsg(nID, CN_UPDATE_COMMAND_UI, &state, nullptr);
        if (!state.m_bEnabled)
            return TRUE;
        return OnCmdMsg(nID, CN_COMMAND, nullptr, nullptr);
    }
    return OnCmdMsg(nID, nCode, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult)
{
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (!hdr)
        return FALSE;
    AFX_MSGARGS args;
    args.message = WM_NOTIFY;
    args.lParam = lParam;
    args.nID = static_cast<UINT>(hdr->idFrom);
    args.nCode = static_cast<int>(hdr->code);
    args.pExtra = hdr;
    const BOOL handled = OnCmdMsg(static_cast<UINT>(hdr->idFrom), CN_NOTIFY_FLAG, &args, nullptr);
    if (pResult)
        *pResult = args.result;
    return handled;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow();
        return 0;
    case WM_SETCURSOR:
        // The parent may decide first, as Windows asks it.
        if (m_dwStyle & WS_CHILD)
            if (CWnd* p = GetParent())
                if (p->SendMessage(WM_SETCURSOR, wParam, lParam))
                    return TRUE;
        ApplyClassCursor(this);
        return FALSE;
    case WM_SETTEXT:
        SetWindowText(reinterpret_cast<LPCSTR>(lParam));
        return TRUE;
    case WM_GETTEXT:
        return GetWindowText(reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
        return GetWindowTextLength();
    case WM_CTLCOLOR:
        return 0;
    case WM_MOUSEWHEEL:
        // Unhandled wheel turns go to the parent, as in Windows.
        if (m_dwStyle & WS_CHILD)
            if (CWnd* p = GetParent())
                return p->SendMessage(message, wParam, lParam);
        return 0;
    default:
        return 0;
    }
}

LRESULT CWnd::Default()
{
    m_defaultRequested = true;
    return DefWindowProc(d->curMessage, d->curWParam, d->curLParam);
}

bool CWnd::DispatchInput(UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg;
    msg.hwnd = m_hWnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    const HWND self = m_hWnd;
    for (CWnd* w = this; w; w = w->GetParent()) {
        if (w->PreTranslateMessage(&msg))
            return true;
        if (!FromHandle(self))
            return true;
        if (!(w->m_dwStyle & WS_CHILD))
            break;
    }
    if (!FindMessageEntry(message))
        return false;
    const bool saved = m_defaultRequested;
    m_defaultRequested = false;
    SendMessage(message, wParam, lParam);
    if (FromHandle(self) != this)
        return true;
    const bool consumed = !m_defaultRequested;
    m_defaultRequested = saved;
    return consumed;
}

void CWnd::NotifyParent(UINT nCode)
{
    CWnd* parent = (m_dwStyle & WS_CHILD) ? GetParent() : GetOwner();
    if (parent)
        parent->SendMessage(WM_COMMAND, MAKEWPARAM(WORD(m_nID), WORD(nCode)), reinterpret_cast<LPARAM>(m_hWnd));
}

LRESULT CWnd::NotifyParent(NMHDR& hdr)
{
    hdr.hwndFrom = m_hWnd;
    hdr.idFrom = m_nID;
    CWnd* parent = (m_dwStyle & WS_CHILD) ? GetParent() : GetOwner();
    return parent ? parent->SendMessage(WM_NOTIFY, m_nID, reinterpret_cast<LPARAM>(&hdr)) : 0;
}

// ---- Text, state ---------------------------------------------------------------------------

void CWnd::SetWindowText(LPCSTR lpszString)
{
    if (QWidget* w = QtWidgetOf(this)) {
        const QString text = QString::fromLocal8Bit(lpszString ? lpszString : "");
        if (w->metaObject()->indexOfProperty("text") >= 0 && !w->isWindow())
            w->setProperty("text", text);
        else
            w->setWindowTitle(text);
    }
}

std::string CWnd::GetWindowTextString() const
{
    QWidget* w = QtWidgetOf(this);
    if (!w)
        return {};
    QString t;
    if (w->metaObject()->indexOfProperty("text") >= 0 && !w->isWindow())
        t = w->property("text").toString();
    else
        t = w->windowTitle();
    return t.toLocal8Bit().toStdString();
}

void CWnd::GetWindowText(std::string& rString) const { rString = GetWindowTextString(); }

int CWnd::GetWindowText(LPSTR buf, int nMaxCount) const
{
    if (!buf || nMaxCount <= 0)
        return 0;
    const std::string s = GetWindowTextString();
    const int n = std::min<int>(static_cast<int>(s.size()), nMaxCount - 1);
    std::memcpy(buf, s.data(), size_t(n));
    buf[n] = '\0';
    return n;
}

int CWnd::GetWindowTextLength() const { return static_cast<int>(GetWindowTextString().size()); }

namespace {
void NoteStateSent(QWidget* w);
} // namespace

BOOL CWnd::ShowWindow(int nCmdShow)
{
    QWidget* w = QtWidgetOf(this);
    if (!w)
        return FALSE;
    const BOOL was = w->isVisible();
    switch (nCmdShow) {
    case SW_HIDE:
        w->hide();
        m_dwStyle &= ~WS_VISIBLE;
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        w->showMinimized();
        m_dwStyle |= WS_VISIBLE;
        break;
    case SW_SHOWMAXIMIZED:
        ShowMaximisedAsAsked(w);
        m_dwStyle |= WS_VISIBLE;
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
        if (w->isMinimized() || w->isMaximized()) {
            w->showNormal();
            NoteStateSent(w);
        } else {
            w->show();
        }
        m_dwStyle |= WS_VISIBLE;
        break;
    default:
        w->show();
        m_dwStyle |= WS_VISIBLE;
        break;
    }
    return was;
}

BOOL CWnd::IsWindowVisible() const
{
    QWidget* w = QtWidgetOf(this);
    return w && w->isVisible();
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    QWidget* w = QtWidgetOf(this);
    if (!w)
        return FALSE;
    const BOOL wasDisabled = !w->isEnabled();
    w->setEnabled(bEnable != 0);
    if (bEnable)
        m_dwStyle &= ~WS_DISABLED;
    else
        m_dwStyle |= WS_DISABLED;
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const
{
    QWidget* w = QtWidgetOf(this);
    return w && w->isEnabled();
}

BOOL CWnd::IsIconic() const
{
    QWidget* w = QtWidgetOf(this);
    return w && w->isMinimized();
}

BOOL CWnd::IsZoomed() const
{
    QWidget* w = QtWidgetOf(this);
    return w && w->isMaximized();
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT)
{
    const DWORD old = m_dwStyle;
    m_dwStyle = (m_dwStyle & ~dwRemove) | dwAdd;
    if ((old ^ m_dwStyle) & WS_VISIBLE)
        ShowWindow((m_dwStyle & WS_VISIBLE) ? SW_SHOW : SW_HIDE);
    if ((old ^ m_dwStyle) & WS_DISABLED)
        EnableWindow(!(m_dwStyle & WS_DISABLED));
    return old != m_dwStyle;
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT)
{
    const DWORD old = m_dwExStyle;
    m_dwExStyle = (m_dwExStyle & ~dwRemove) | dwAdd;
    return old != m_dwExStyle;
}

int CWnd::SetDlgCtrlID(int nID)
{
    const int old = static_cast<int>(m_nID);
    m_nID = static_cast<UINT>(nID);
    if (QWidget* w = QtWidgetOf(this))
        w->setProperty(kCtrlIdProperty, m_nID);
    return old;
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    QWidget* c = QtClientWidgetOf(this);
    if (!c)
        return nullptr;
    QWidget* found = nullptr;
    const auto all = c->findChildren<QWidget*>();
    for (QWidget* w : all) {
        const QVariant v = w->property(kCtrlIdProperty);
        if (v.isValid() && v.toInt() == nID) {
            // The nearest one wins: a direct child before a grandchild.
            if (!found || w->parentWidget() == c) {
                found = w;
                if (w->parentWidget() == c)
                    break;
            }
        }
    }
    if (!found)
        return nullptr;
    if (CWnd* wnd = WndFromWidget(found))
        return wnd;
    // A control without a wrapper yet: a temporary one that lives as long as the control.
    auto* temp = new CWnd;
    temp->d->temporary = true;
    QtAttach(temp, found, static_cast<UINT>(nID));
    return temp;
}

namespace {
void NoteAskedPosition(QWidget* w);
void NoteSentPosition(QWidget* w, const QRect& before);
} // namespace

void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    QWidget* w = QtWidgetOf(this);
    if (!w)
        return;
    CWnd* owner = pAlternateOwner ? pAlternateOwner : GetOwner();
    QRect area;
    if (owner && QtWidgetOf(owner) && QtWidgetOf(owner)->isVisible())
        area = QRect(QtWidgetOf(owner)->mapToGlobal(QPoint(0, 0)), QtWidgetOf(owner)->size());
    else if (QScreen* s = QGuiApplication::primaryScreen())
        area = s->availableGeometry();
    if (w->isWindow()) {
        w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
        NoteAskedPosition(w);
    }
}

// ---- Geometry ------------------------------------------------------------------------------

namespace {
// The frame as the toolkit measures it, once it is known: it lies around the client. Between
// the window manager reparenting the window and sizing its frame the toolkit may measure one
// that does not (a 1 x 1 frame at the client's corner), and keep it until the frame extents come.
bool FrameKnown(const QRect& frame, const QRect& client) { return frame != client && frame.contains(client); }

// A top-level widget keeps the frame it measured at its window's last move or resize. A window
// manager that changes the decoration afterwards, without moving the client (openbox restoring a
// maximised window gives it back its border), would leave the frame, the frame position and every
// move made from it a few pixels off for good. The native window re-reads the frame extents when
// the window manager announces new ones: when they differ, the widget is told to measure again.
void RefreshFrame(QWidget* w)
{
    QWindow* h = w->isWindow() ? w->windowHandle() : nullptr;
    if (!h || !h->handle())
        return;
    const QMargins now = h->frameMargins();
    const QRect f = w->frameGeometry(), g = w->geometry();
    const QMargins kept(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
    if (now == kept || now.isNull())
        return;
    QMoveEvent remeasure(h->position(), h->position());
    QCoreApplication::sendEvent(h, &remeasure);
}

// The frame of a window neither maximised nor minimised, as last seen: openbox takes the border
// off a maximised window and keeps its title bar, and the normal rectangle of a maximised window
// is the one it gets back with its border. Noted as the window moves and sizes while normal.
constexpr const char* kNormalFrameProperty = "durnexNormalFrame";

bool Zoomed(const QWidget* w)
{
    return w->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen);
}

QMargins MarginsOf(const QRect& frame, const QRect& client)
{
    return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                    frame.bottom() - client.bottom());
}

// Frame margins kept in a widget property.
QVariant MarginsValue(const QMargins& m) { return QRect(m.left(), m.top(), m.right(), m.bottom()); }
QMargins MarginsFrom(const QVariant& v)
{
    const QRect m = v.toRect();
    return QMargins(m.x(), m.y(), m.width(), m.height());
}

std::optional<QMargins> NormalFrameMargins(const QWidget* w)
{
    const QRect f = w->frameGeometry(), g = w->geometry();
    if (!Zoomed(w) && FrameKnown(f, g))
        return MarginsOf(f, g);
    if (const QVariant kept = w->property(kNormalFrameProperty); kept.isValid())
        return MarginsFrom(kept);
    if (FrameKnown(f, g))
        return MarginsOf(f, g);
    return std::nullopt;
}

// A combo box's given height is that of the box with its drop-down list, as on Windows: the
// box stays one line high and the rest sets how many items the list shows.
int ComboBoxHeightFor(QComboBox& combo, int givenHeight)
{
    const int box = combo.sizeHint().height();
    const int item = std::max(1, combo.fontMetrics().height() + 2);
    if (givenHeight > box)
        combo.setMaxVisibleItems(std::max(1, (givenHeight - box) / item));
    return box;
}
} // namespace

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint)
{
    SetWindowPos(nullptr, x, y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE | (bRepaint ? 0 : SWP_NOREDRAW));
}

void CWnd::MoveWindow(LPCRECT r, BOOL bRepaint)
{
    if (r)
        MoveWindow(r->left, r->top, r->right - r->left, r->bottom - r->top, bRepaint);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
{
    QWidget* w = QtWidgetOf(this);
    if (!w)
        return FALSE;
    WINDOWPOS pos;
    pos.hwnd = m_hWnd;
    pos.x = x;
    pos.y = y;
    pos.cx = cx;
    pos.cy = cy;
    pos.flags = nFlags;
    if (FindMessageEntry(WM_WINDOWPOSCHANGING))
        SendMessage(WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if (w->isWindow())
        RefreshFrame(w);
    QRect g = w->geometry();
    if (w->isWindow())
        g.moveTopLeft(w->pos()); // frame position, as Windows measures top-level windows
    if (!(pos.flags & SWP_NOMOVE))
        g.moveTopLeft(QPoint(pos.x, pos.y));
    if (!(pos.flags & SWP_NOSIZE)) {
        g.setSize(QSize(qMax(0, pos.cx), qMax(0, pos.cy)));
        if (auto* combo = qobject_cast<QComboBox*>(w); combo && !w->isWindow())
            g.setHeight(ComboBoxHeightFor(*combo, pos.cy));
    }
    if (w->isWindow()) {
        // Only what is asked for: a move to where the toolkit believes the window stands could
        // take it back to an old place.
        const QRect before = w->geometry();
        if (!(pos.flags & SWP_NOMOVE))
            w->move(g.topLeft());
        if (!(pos.flags & SWP_NOSIZE))
            ResizeTopLevel(w, g.size());
        if (!(pos.flags & SWP_NOMOVE))
            PlaceFrameWhenFramed(w, g.topLeft());
        else
            NoteSentPosition(w, before);
    } else {
        w->setGeometry(g);
    }
    if (!(pos.flags & SWP_NOZORDER)) {
        if (pWndInsertAfter == reinterpret_cast<const CWnd*>(HWND_BOTTOM))
            w->lower();
        else if (!pWndInsertAfter || pWndInsertAfter == reinterpret_cast<const CWnd*>(HWND_TOP) ||
                 pWndInsertAfter == reinterpret_cast<const CWnd*>(HWND_TOPMOST))
            w->raise();
        else if (QWidget* after = QtWidgetOf(pWndInsertAfter))
            w->stackUnder(after);
    }
    if (pos.flags & SWP_SHOWWINDOW)
        ShowWindow(SW_SHOW);
    if (pos.flags & SWP_HIDEWINDOW)
        ShowWindow(SW_HIDE);
    return TRUE;
}

void CWnd::GetClientRect(LPRECT r) const
{
    if (!r)
        return;
    QWidget* c = QtClientWidgetOf(this);
    *r = RECT{0, 0, c ? c->width() : 0, c ? c->height() : 0};
}

void CWnd::GetWindowRect(LPRECT r) const
{
    if (!r)
        return;
    QWidget* w = QtWidgetOf(this);
    if (!w) {
        *r = RECT{};
        return;
    }
    if (w->isWindow()) {
        RefreshFrame(w);
        const QRect g = w->geometry();
        QRect f = FrameKnown(w->frameGeometry(), g) ? w->frameGeometry() : g;
        // Between the frame's coming and the placement made before it being carried out, the
        // frame is measured where it is going.
        if (const QVariant pending = w->property(kPendingFrameProperty); pending.isValid() && f != g)
            f.moveTopLeft(pending.toRect().topLeft());
        *r = RECT{f.left(), f.top(), f.left() + f.width(), f.top() + f.height()};
    } else {
        const QPoint tl = w->mapToGlobal(QPoint(0, 0));
        *r = RECT{tl.x(), tl.y(), tl.x() + w->width(), tl.y() + w->height()};
    }
}

namespace {
// A rectangle mapped by its two corners.
template <class Map> void MapCorners(LPRECT r, Map&& map)
{
    if (!r)
        return;
    POINT a{r->left, r->top}, b{r->right, r->bottom};
    map(&a);
    map(&b);
    *r = RECT{a.x, a.y, b.x, b.y};
}
} // namespace

void CWnd::ClientToScreen(LPPOINT p) const
{
    QWidget* c = QtClientWidgetOf(this);
    if (!p || !c)
        return;
    const QPoint g = c->mapToGlobal(QPoint(p->x, p->y));
    p->x = g.x();
    p->y = g.y();
}

void CWnd::ClientToScreen(LPRECT r) const { MapCorners(r, [this](POINT* p) { ClientToScreen(p); }); }

void CWnd::ScreenToClient(LPPOINT p) const
{
    QWidget* c = QtClientWidgetOf(this);
    if (!p || !c)
        return;
    const QPoint l = c->mapFromGlobal(QPoint(p->x, p->y));
    p->x = l.x();
    p->y = l.y();
}

void CWnd::ScreenToClient(LPRECT r) const { MapCorners(r, [this](POINT* p) { ScreenToClient(p); }); }

namespace {
constexpr const char* kSettleChainProperty = "durnexSettleChain";
// While a top-level window's placement is watched: the client position the program last asked
// for and the client size asked for with it, the client positions carried by the requests sent
// since, when the watch ends, and how often the window may still be put back.
constexpr const char* kAskedAtProperty = "durnexAskedAt";
constexpr const char* kAskedSizeProperty = "durnexAskedSize";
constexpr const char* kSentProperty = "durnexSent";
constexpr const char* kWatchUntilProperty = "durnexWatchUntil";
constexpr const char* kPutBacksProperty = "durnexPutBacks";
constexpr const char* kHearsReportsProperty = "durnexHearsReports";
constexpr qint64 kWatchMs = 10000;
constexpr qint64 kAnswerGapMs = 250;
constexpr int kPutBacks = 4;
constexpr qsizetype kSentKept = 16;

qint64 NowMs()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

bool PlacementWatched(const QWidget* w)
{
    const QVariant until = w->property(kWatchUntilProperty);
    return until.isValid() && until.toLongLong() > NowMs();
}

// When the program's last request about a watched window went, and when the window manager's
// last two answers about any of them came: it works through the requests of every window in
// turn, so a window's answers may lie far apart while it is at the others'.
qint64 g_sentAt = -1, g_answeredAt = -1, g_answeredBefore = -1;

// Every move or resize the toolkit sends the window manager carries the client's position as
// the toolkit knows it at that moment. Notes it, when the window's geometry changed.
void NoteSent(QWidget* w)
{
    QVariantList sent = w->property(kSentProperty).toList();
    const QVariant now(w->geometry().topLeft());
    if (sent.isEmpty() || sent.constLast() != now)
        sent.append(now);
    while (sent.size() > kSentKept)
        sent.removeFirst();
    w->setProperty(kSentProperty, sent);
    g_sentAt = NowMs();
    w->setProperty(kWatchUntilProperty, NowMs() + kWatchMs);
}

// A request that changes the window's state (a restore) is answered too: the window manager
// then puts the window where it remembers it, which may be a place asked for earlier.
void NoteStateSent(QWidget* w)
{
    if (PlacementWatched(w))
        g_sentAt = NowMs();
}

void NoteSentPosition(QWidget* w, const QRect& before)
{
    if (PlacementWatched(w) && w->geometry() != before) {
        NoteSent(w);
        if (w->property(kAskedSizeProperty).isValid())
            w->setProperty(kAskedSizeProperty, w->size());
    }
}

// Notes where the program has just asked the window's client to be, a request on its way.
void NoteAskedPosition(QWidget* w)
{
    if (!PlacementWatched(w))
        return;
    NoteSent(w);
    w->setProperty(kAskedAtProperty, w->geometry().topLeft());
    w->setProperty(kAskedSizeProperty, w->size());
}

// Whether the window manager was still at the program's requests when it moved a window last:
// it owed an answer to one, or had answered a moment before. It answers each request it carries
// out, one after the other; a user's move comes by itself.
bool MovedWhileAnswering()
{
    if (g_answeredAt < 0)
        return true; // no answer heard at all: every request is still on its way
    return g_sentAt > g_answeredBefore || g_answeredAt - g_answeredBefore < kAnswerGapMs;
}

// A loaded window manager carries out the program's requests in its own time: a resize sent
// before the window was framed, or while the toolkit still knew an older place, can move the
// window back there after it was put where it belongs. A window found at such a place while the
// window manager is at the program's requests is put back where it was last asked to be; true
// when it was. A move to a place no request carried, or one the window manager makes by itself,
// the user's, stands, and the place is the window's from then on.
bool PutBackFromEarlierPlace(QWidget* w)
{
    if (!PlacementWatched(w) || w->isMaximized() || w->isMinimized() || w->isFullScreen())
        return false;
    const QVariant at = w->property(kAskedAtProperty);
    const QPoint now = w->geometry().topLeft();
    if (!at.isValid() || at.toPoint() == now || !w->property(kSentProperty).toList().contains(QVariant(now)))
        return false;
    const int left = w->property(kPutBacksProperty).toInt();
    if (!MovedWhileAnswering() || left <= 0) {
        w->setProperty(kSentProperty, QVariantList());
        w->setProperty(kAskedAtProperty, now);
        w->setProperty(kAskedSizeProperty, w->size());
        return false;
    }
    w->setProperty(kPutBacksProperty, left - 1);
    const QRect before = w->geometry();
    // The request carries a size too: the one asked for with the place, not the one a late or
    // half-carried-out answer gave the window, which would be asked for anew and kept.
    const QVariant size = w->property(kAskedSizeProperty);
    SetTopLevelGeometry(w, QRect(at.toPoint(), size.isValid() ? size.toSize() : w->size()));
    NoteSentPosition(w, before);
    return true;
}

// The sizes a window had while it was placed before it was framed (its earlier one, and the
// outer size its client was given until the frame was known), and the one it was given once the
// frame was known. A window manager starved of the processor has been seen to frame such a
// window at one of the earlier sizes and drop the resizes asked for meanwhile: found at one
// while the placement is watched, the window is given its size again, a few times at most.
constexpr const char* kStaleSizeProperty = "durnexStaleSize";
constexpr const char* kGivenSizeProperty = "durnexGivenSize";
constexpr const char* kResizedAtProperty = "durnexResizedAt";
constexpr const char* kResizesLeftProperty = "durnexResizesLeft";
constexpr qint64 kResizeAgainMs = 300;
constexpr int kResizesAgain = 4;

// The size a window should have: the one it was given, where it stands at an earlier one.
QSize SizeNotStale(const QWidget* w, const QSize& size)
{
    const QVariant stale = w->property(kStaleSizeProperty), given = w->property(kGivenSizeProperty);
    return given.isValid() && stale.toList().contains(QVariant(size)) ? given.toSize() : size;
}

void ResizeBackFromStaleSize(QWidget* w)
{
    const QVariant stale = w->property(kStaleSizeProperty), given = w->property(kGivenSizeProperty);
    if (!stale.isValid() || !given.isValid())
        return;
    const int left = w->property(kResizesLeftProperty).toInt();
    if (!PlacementWatched(w) || Zoomed(w) || left <= 0 || w->size() == given.toSize() ||
        !stale.toList().contains(QVariant(w->size())) ||
        NowMs() - w->property(kResizedAtProperty).toLongLong() < kResizeAgainMs)
        return;
    w->setProperty(kResizedAtProperty, NowMs());
    w->setProperty(kResizesLeftProperty, left - 1);
    ResizeTopLevel(w, given.toSize());
}

// The frame a window had while maximised with a placement pending, when it was restored, and
// how long it may keep that frame before the placement is carried out with it.
constexpr const char* kZoomedFrameProperty = "durnexZoomedFrame";
constexpr const char* kRestoredAtProperty = "durnexRestoredAt";
constexpr qint64 kBorderBackMs = 1000;

// Hears the window manager answer requests about a watched window (the X protocol's
// ConfigureNotify, its own or the server's), also where the toolkit has the window where the
// answer puts it already and tells it nothing.
class Answers : public QAbstractNativeEventFilter {
public:
    static void Listen()
    {
        static Answers* filter = nullptr;
        if (!filter && QCoreApplication::instance()) {
            filter = new Answers;
            QCoreApplication::instance()->installNativeEventFilter(filter);
        }
    }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        // The event as it comes off the wire; the top bit marks one a client sent.
        struct ConfigureNotify {
            quint8 responseType, pad0;
            quint16 sequence;
            quint32 event, window;
        };
        constexpr quint8 kConfigureNotify = 22, kSentByAClient = 0x80;
        if (type != "xcb_generic_event_t" || !message)
            return false;
        const auto* e = static_cast<const ConfigureNotify*>(message);
        if ((e->responseType & ~kSentByAClient) != kConfigureNotify)
            return false;
        QWidget* w = QWidget::find(static_cast<WId>(e->window));
        if (w && w->isWindow() && PlacementWatched(w)) {
            g_answeredBefore = g_answeredAt;
            g_answeredAt = NowMs();
        }
        return false;
    }
};

// Looks at where the window system has put a watched window as soon as the toolkit takes it in
// (its moves and resizes, not the program's, which the toolkit reports at once).
class Reports : public QObject {
public:
    explicit Reports(QWidget* w) : QObject(w) { w->installEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if ((e->type() == QEvent::Move || e->type() == QEvent::Resize) && e->spontaneous() && o == parent())
            (void)PutBackFromEarlierPlace(static_cast<QWidget*>(o));
        return false;
    }
};

// Starts watching a placement, or goes on watching: requests made for a placement a moment ago
// may still be on their way.
void WatchPlacement(QWidget* w)
{
    if (!PlacementWatched(w)) {
        w->setProperty(kSentProperty, QVariant());
        w->setProperty(kAskedAtProperty, QVariant());
        w->setProperty(kAskedSizeProperty, QVariant());
    }
    if (!w->property(kHearsReportsProperty).toBool()) {
        new Reports(w);
        w->setProperty(kHearsReportsProperty, true);
    }
    Answers::Listen();
    w->setProperty(kPutBacksProperty, kPutBacks);
    w->setProperty(kWatchUntilProperty, NowMs() + kWatchMs);
    NoteAskedPosition(w);
}

// Carries out a placement made before the window manager framed the window, once it has;
// true when nothing is pending any more.
bool ApplyPendingFrame(QWidget* w)
{
    const QVariant pending = w->property(kPendingFrameProperty);
    if (!pending.isValid())
        return true;
    RefreshFrame(w);
    const QRect f = w->frameGeometry(), g = w->geometry();
    if (!FrameKnown(f, g))
        return false;
    // A window maximised before it was framed keeps the rectangle asked for until it is
    // restored: the frame it has now is not the one it will have then. Restored, it waits a
    // moment for the window manager to give it back its border.
    const QVariant frame = MarginsValue(MarginsOf(f, g));
    if (Zoomed(w)) {
        w->setProperty(kZoomedFrameProperty, frame);
        w->setProperty(kRestoredAtProperty, QVariant());
        return false;
    }
    if (w->property(kZoomedFrameProperty) == frame) {
        const QVariant since = w->property(kRestoredAtProperty);
        if (!since.isValid())
            w->setProperty(kRestoredAtProperty, NowMs());
        if (!since.isValid() || NowMs() - since.toLongLong() < kBorderBackMs)
            return false;
    }
    w->setProperty(kZoomedFrameProperty, QVariant());
    w->setProperty(kPendingFrameProperty, QVariant());
    const QRect outer = pending.toRect();
    const int dl = g.left() - f.left(), dt = g.top() - f.top();
    const int dw = f.width() - g.width(), dh = f.height() - g.height();
    if (outer.isEmpty()) { // a place alone: the client keeps the size it was given
        SetTopLevelGeometry(w, QRect(outer.topLeft() + QPoint(dl, dt), g.size()));
    } else {
        const QRect client(outer.left() + dl, outer.top() + dt, qMax(1, outer.width() - dw),
                           qMax(1, outer.height() - dh));
        SetTopLevelGeometry(w, client);
        w->setProperty(kGivenSizeProperty, client.size());
        w->setProperty(kResizesLeftProperty, kResizesAgain);
    }
    NoteAskedPosition(w);
    return true;
}

// Platforms without a window manager never frame a window.
bool PlatformFramesWindows()
{
    const QString name = QGuiApplication::platformName();
    return name != QLatin1String("offscreen") && name != QLatin1String("minimal");
}

// The program asks for a top-level window's frame at `at`. Before the window manager has framed
// the window the frame is unknown and the client stands there: it is moved down and in by the
// frame once that is known, keeping an outer size asked for with an earlier placement.
void PlaceFrameWhenFramed(QWidget* w, const QPoint& at)
{
    if (!PlatformFramesWindows())
        return;
    RefreshFrame(w);
    if (FrameKnown(w->frameGeometry(), w->geometry())) {
        NoteAskedPosition(w);
        return;
    }
    const QVariant pending = w->property(kPendingFrameProperty);
    w->setProperty(kPendingFrameProperty, QRect(at, pending.isValid() ? pending.toRect().size() : QSize(0, 0)));
    WatchPlacement(w);
    if (w->isVisible())
        SettlePendingFrame(w);
}
} // namespace

BOOL CWnd::GetWindowPlacement(WINDOWPLACEMENT* wp) const
{
    QWidget* w = QtWidgetOf(this);
    if (!w || !wp)
        return FALSE;
    // A frame that has arrived since the window was placed is taken into account first:
    // read between the two, the placement would count the frame twice. So is a late move back
    // to an earlier place.
    if (w->isWindow()) {
        RefreshFrame(w);
        (void)ApplyPendingFrame(w);
        (void)PutBackFromEarlierPlace(w);
    }
    wp->length = sizeof(WINDOWPLACEMENT);
    wp->flags = 0;
    wp->showCmd = w->isMinimized() ? SW_SHOWMINIMIZED : w->isMaximized() ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    wp->ptMinPosition = POINT{-1, -1};
    wp->ptMaxPosition = POINT{-1, -1};
    QRect n = w->isWindow() ? w->normalGeometry() : w->geometry();
    if (w->isWindow()) {
        if (!n.isValid())
            n = w->geometry();
        // The normal rectangle counts the window frame, as Windows does; until the frame is
        // known the client stands where the outer rectangle was asked for. A window maximised
        // before it was framed is still to be put where it was asked to be.
        const QVariant pending = w->property(kPendingFrameProperty);
        if (pending.isValid() && Zoomed(w))
            n = pending.toRect();
        else if (const std::optional<QMargins> m = NormalFrameMargins(w)) {
            // A late answer can give a window an earlier size a moment before it is maximised,
            // where it is not given its size again until restored.
            if (Zoomed(w))
                n.setSize(SizeNotStale(w, n.size()));
            n = n.marginsAdded(*m);
        }
    }
    wp->rcNormalPosition = RECT{n.left(), n.top(), n.left() + n.width(), n.top() + n.height()};
    return TRUE;
}

HICON CWnd::AdoptClassInfo(const CREATESTRUCT& cs)
{
    WNDCLASSA cls;
    if (!cs.lpszClass || !GetClassInfo(nullptr, cs.lpszClass, &cls))
        return nullptr;
    m_classStyle = cls.style;
    m_classBrush = cls.hbrBackground;
    m_classCursor = cls.hCursor;
    return cls.hIcon;
}

BOOL CWnd::SetWindowPlacement(const WINDOWPLACEMENT* wp)
{
    QWidget* w = QtWidgetOf(this);
    if (!w || !wp)
        return FALSE;
    const RECT& r = wp->rcNormalPosition;
    if (w->isWindow())
        RefreshFrame(w);
    // The frame the window has when normal, read before it is restored: until the window
    // manager has given it back its border, the toolkit measures the maximised one.
    const QMargins normal = w->isWindow() ? NormalFrameMargins(w).value_or(QMargins()) : QMargins();
    if (w->isVisible() && (w->isMaximized() || w->isMinimized()))
        w->showNormal();
    if (w->isWindow()) {
        const QRect f = w->frameGeometry(), g = w->geometry();
        const int dw = normal.left() + normal.right(), dh = normal.top() + normal.bottom();
        w->move(r.left, r.top);
        ResizeTopLevel(w, QSize(qMax(1, int(r.right - r.left) - dw), qMax(1, int(r.bottom - r.top) - dh)));
        // Before the window manager has framed the window its frame is unknown, and the
        // rectangle above is taken for the client area: set it right once the frame is known.
        const QRect outer(QPoint(r.left, r.top), QSize(qMax(1, int(r.right - r.left)), qMax(1, int(r.bottom - r.top))));
        const bool framed = FrameKnown(f, g);
        w->setProperty(kPendingFrameProperty, !framed && PlatformFramesWindows() ? QVariant(outer) : QVariant());
        w->setProperty(kStaleSizeProperty,
                       !framed && w->isVisible() ? QVariant(QVariantList{g.size(), w->size()}) : QVariant());
        w->setProperty(kGivenSizeProperty, QVariant());
        if (PlatformFramesWindows()) {
            WatchPlacement(w);
            if (w->isVisible())
                SettlePendingFrame(w);
        }
    } else {
        w->setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    ShowForPlacement(w, wp->showCmd);
    return TRUE;
}

void NoteNormalFrame(QWidget* window)
{
    if (!window || !window->isWindow() || Zoomed(window))
        return;
    const QRect f = window->frameGeometry(), g = window->geometry();
    if (FrameKnown(f, g))
        window->setProperty(kNormalFrameProperty, MarginsValue(MarginsOf(f, g)));
}

void SettlePendingFrame(QWidget* window)
{
    // The frame extents arrive from the window manager some time after the window is mapped;
    // without a window manager they never do, and the rectangle stays the client's. After that
    // the placement is watched for a while for late moves back. One chain of tries a window: a
    // later show starts a new one in its place.
    struct Try {
        static bool Busy(QWidget* w)
        {
            return (w->property(kPendingFrameProperty).isValid() && !Zoomed(w)) || PlacementWatched(w);
        }
        static void Later(QPointer<QWidget> w, int chain, int tries)
        {
            // Often at first, then seldom: a window manager on a loaded machine has been seen to
            // frame a window many seconds late.
            constexpr int kOften = 200, kSeldom = 480; // 5 s at 25 ms, then 2 min at 250 ms
            QTimer::singleShot(tries < kOften ? 25 : 250, [w, chain, tries] {
                if (!w || w->property(kSettleChainProperty).toInt() != chain)
                    return;
                if (ApplyPendingFrame(w)) {
                    (void)PutBackFromEarlierPlace(w);
                    ResizeBackFromStaleSize(w);
                }
                if (!Busy(w))
                    return;
                if (tries + 1 < kOften + kSeldom)
                    Later(w, chain, tries + 1);
                else
                    w->setProperty(kPendingFrameProperty, QVariant());
            });
        }
    };
    if (!window || !Try::Busy(window))
        return;
    const int chain = window->property(kSettleChainProperty).toInt() + 1;
    window->setProperty(kSettleChainProperty, chain);
    Try::Later(window, chain, 0);
}

void ShowForPlacement(QWidget* w, UINT showCmd)
{
    switch (showCmd) {
    case SW_HIDE:
        w->hide();
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        w->showMinimized();
        break;
    case SW_SHOWMAXIMIZED:
        ShowMaximisedAsAsked(w);
        break;
    default:
        w->show();
        break;
    }
}

void ShowMaximisedAsAsked(QWidget* w)
{
    w->setProperty(kMaximiseAskedProperty, true);
    w->showMaximized();
}

// ---- Painting ------------------------------------------------------------------------------

namespace {
// Schedules the repaint of what changed on a window's surface. Controls that paint all of their
// own area (scroll bars, custom-drawn children) hide the surface under them: a change there is
// not seen, and repainting them for it would cost a style's full drawing on every block.
void UpdateBesideControls(QWidget* client, const QRect& changed, CWndCovers& covers)
{
    const QObjectList& children = client->children();
    if (covers.client != client || covers.children != children.size()) {
        covers.controls.clear();
        for (QObject* o : children) {
            if (!o->isWidgetType())
                continue;
            auto* child = static_cast<QWidget*>(o);
            if (!child->isWindow() && (qobject_cast<QScrollBar*>(child) || child->testAttribute(Qt::WA_OpaquePaintEvent)))
                covers.controls.emplace_back(child);
        }
        covers.client = client;
        covers.children = children.size();
    }
    QRegion region;
    bool cut = false;
    for (const QPointer<QWidget>& child : covers.controls) {
        if (!child || !child->geometry().intersects(changed) || !child->isVisible())
            continue;
        if (!cut) {
            region = QRegion(changed);
            cut = true;
        }
        region -= child->geometry();
    }
    if (!cut)
        client->update(changed);
    else if (!region.isEmpty())
        client->update(region);
}

// Windows whose surfaces changed since the last flush. A block's figures (a trace, its grid
// lines, read-outs) each report a change; they reach Qt as one repaint a window, in the next
// round of the event loop or before a window is repainted at once.
std::vector<HWND> g_changedWindows;
bool g_flushPosted = false;
} // namespace

void CWndQt::FlushSurfaceChanges()
{
    g_flushPosted = false;
    // The two lists trade places, so that neither is allocated again on each showing.
    static std::vector<HWND> spare;
    std::vector<HWND> windows = std::move(spare);
    windows.clear();
    windows.swap(g_changedWindows);
    for (const HWND h : windows) {
        CWnd* w = CWnd::FromHandle(h);
        if (!w || w->d->changed.isEmpty())
            continue;
        const QRect r = w->d->changed;
        w->d->changed = QRect();
        if (QWidget* cw = QtClientWidgetOf(w))
            UpdateBesideControls(cw, r, w->d->covers);
    }
    spare = std::move(windows);
}

CSurface* CWnd::GetSurface()
{
    QWidget* c = QtClientWidgetOf(this);
    if (!d->surface) {
        d->surface = std::make_unique<CSurface>();
        const HWND self = m_hWnd;
        d->surface->onChanged = [this, self](const QRect& r) {
            // Drawing outside WM_PAINT shows at once, as drawing on a window DC does.
            if (m_inPaint || FromHandle(self) != this)
                return;
            QWidget* cw = QtClientWidgetOf(this);
            if (!cw)
                return;
            if (d->changed.isEmpty())
                g_changedWindows.push_back(self);
            d->changed |= r.isNull() ? cw->rect() : r;
            if (!g_flushPosted) {
                g_flushPosted = true;
                QMetaObject::invokeMethod(qApp, [] { CWndQt::FlushSurfaceChanges(); }, Qt::QueuedConnection);
            }
        };
    }
    if (c)
        d->surface->Resize(c->width(), c->height(), c->devicePixelRatioF());
    else if (d->surface->Image().isNull())
        d->surface->Resize(1, 1);
    return d->surface.get();
}

void CWnd::Invalidate(BOOL bErase) { InvalidateRect(nullptr, bErase); }

void CWnd::InvalidateRect(LPCRECT r, BOOL bErase)
{
    QWidget* c = QtClientWidgetOf(this);
    if (!c)
        return;
    const QRect q = r ? QRect(r->left, r->top, r->right - r->left, r->bottom - r->top) : c->rect();
    const QRect clipped = q.intersected(c->rect());
    if (clipped.isEmpty())
        return;
    d->invalid += clipped;
    if (bErase)
        d->erasePending = true;
    c->update(clipped);
}

void CWnd::ValidateRect(LPCRECT r)
{
    if (!r)
        d->invalid = QRegion();
    else
        d->invalid -= QRect(r->left, r->top, r->right - r->left, r->bottom - r->top);
}

void CWnd::UpdateWindow()
{
    QWidget* c = QtClientWidgetOf(this);
    if (m_customDrawn) {
        // WM_PAINT draws on the surface now, as Windows sends it at once; the surface reaches
        // the screen with every other window's changes in the loop's next round. A repaint
        // forced through Qt here would paint and flush the whole top-level window each time.
        if (!c || !c->isVisible() || m_inPaint || d->invalid.isEmpty())
            return;
        const HWND self = m_hWnd;
        const QRect painted = CWndQt::PaintInvalid(*this);
        if (!painted.isEmpty() && FromHandle(self) == this)
            GetSurface()->Changed(painted);
        return;
    }
    // What was drawn outside WM_PAINT goes with this repaint.
    CWndQt::FlushSurfaceChanges();
    if (!c || d->invalid.isEmpty())
        return;
    if (c->isVisible())
        c->repaint(d->invalid);
}

BOOL CWnd::RedrawWindow(LPCRECT r, void*, UINT flags)
{
    if (flags & RDW_INVALIDATE)
        InvalidateRect(r, (flags & RDW_ERASE) != 0);
    if (flags & RDW_UPDATENOW)
        UpdateWindow();
    return TRUE;
}

bool CWnd::TakeErasePending()
{
    const bool e = d->erasePending;
    d->erasePending = false;
    return e;
}

QRect CWndQt::PaintInvalid(CWnd& w)
{
    auto& d = w.d;
    if (d->invalid.isEmpty())
        return QRect();
    w.GetSurface();
    const HWND self = w.m_hWnd;
    const QRect r = d->invalid.boundingRect();
    d->invalid = QRegion();
    w.m_paintRect = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    w.m_inPaint = true;
    w.SendMessage(WM_PAINT);
    if (CWnd::FromHandle(self) != &w)
        return QRect();
    w.m_inPaint = false;
    d->erasePending = false;
    w.GetClientRect(&w.m_paintRect);
    return r;
}

namespace {
// The surface's rows copied into a 32-bit picture of the same scale, as a painter clipped to
// the region would draw it (every surface pixel is opaque); false where that can't be done.
bool CopyRows(const QImage& from, QImage& to, QPoint origin, const QRegion& region)
{
    const auto plain = [](const QImage& i) {
        return i.devicePixelRatio() == 1.0 && (i.format() == QImage::Format_RGB32 || i.format() == QImage::Format_ARGB32 ||
                                               i.format() == QImage::Format_ARGB32_Premultiplied);
    };
    if (!plain(from) || !plain(to))
        return false;
    const QRect source = from.rect() & to.rect().translated(-origin);
    uchar* bits = to.bits();
    const qsizetype stride = to.bytesPerLine();
    for (const QRect& part : region) {
        const QRect r = part & source;
        if (r.isEmpty())
            continue;
        const std::size_t bytes = std::size_t(r.width()) * 4;
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memcpy(bits + qsizetype(y + origin.y()) * stride + qsizetype(r.left() + origin.x()) * 4,
                        from.constScanLine(y) + qsizetype(r.left()) * 4, bytes);
    }
    return true;
}
} // namespace

void CWndQt::HandlePaintEvent(CWnd& w, const QRegion& region, QImage* target, QPoint origin)
{
    QWidget* c = Client(w);
    if (!c)
        return;
    const HWND self = w.m_hWnd;
    PaintInvalid(w);
    if (CWnd::FromHandle(self) != &w)
        return;
    CSurface* surface = w.GetSurface();
    // Straight into the backing store: a painter begun on the widget for one copy costs more
    // than the copy, and allocates.
    if (target && CopyRows(surface->Image(), *target, origin, region))
        return;
    // One rectangle at a time: under a rectangular clip the raster engine copies the rows
    // itself, where a clip of several rectangles would hand each band of rows to worker threads
    // and wait for them on every block.
    QPainter p(c);
    for (const QRect& r : region) {
        p.setClipRect(r);
        p.drawImage(QPointF(0, 0), surface->Image());
    }
}

void CWnd::HandleResize()
{
    QWidget* c = QtClientWidgetOf(this);
    if (!c)
        return;
    if (!m_inPaint)
        GetClientRect(&m_paintRect);
    if (m_customDrawn) {
        const int oldW = d->surface ? d->surface->Width() : 0, oldH = d->surface ? d->surface->Height() : 0;
        GetSurface();
        // The uncovered area always needs painting; all of it with CS_HREDRAW/CS_VREDRAW.
        QRegion add(c->rect());
        if (!(m_classStyle & (CS_HREDRAW | CS_VREDRAW)))
            add -= QRect(0, 0, oldW, oldH);
        if (!add.isEmpty()) {
            d->invalid += add;
            d->erasePending = true;
        }
    }
    const UINT type = QtWidgetOf(this) && QtWidgetOf(this)->isMaximized() ? SIZE_MAXIMIZED
                      : QtWidgetOf(this) && QtWidgetOf(this)->isMinimized() ? SIZE_MINIMIZED
                                                                     : SIZE_RESTORED;
    SendMessage(WM_SIZE, type, MAKELPARAM(WORD(c->width()), WORD(c->height())));
}

// ---- Focus, capture, relations ---------------------------------------------------------------

CWnd* CWnd::SetFocus()
{
    CWnd* old = GetFocus();
    if (QWidget* c = QtClientWidgetOf(this)) {
        if (c->focusPolicy() == Qt::NoFocus)
            c->setFocusPolicy(Qt::ClickFocus);
        c->setFocus(Qt::OtherFocusReason);
    }
    return old;
}

CWnd* CWnd::GetFocus() { return WndFromWidget(QApplication::focusWidget(), true); }

CWnd* CWnd::SetCapture()
{
    CWnd* old = g_capture;
    if (QWidget* c = QtClientWidgetOf(this)) {
        if (c->isVisible())
            c->grabMouse();
        g_capture = this;
    }
    if (old && old != this)
        old->SendMessage(WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(m_hWnd));
    return old;
}

CWnd* CWnd::GetCapture() { return g_capture; }

BOOL ReleaseCapture()
{
    CWnd* old = g_capture;
    g_capture = nullptr;
    if (old) {
        if (QWidget* c = QtClientWidgetOf(old))
            c->releaseMouse();
        old->SendMessage(WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}

CWnd* CWnd::GetParent() const
{
    QWidget* w = QtWidgetOf(this);
    if (!w)
        return nullptr;
    if (w->isWindow())
        return m_pOwner && m_pOwner->m_hWnd ? m_pOwner : WndFromWidget(w->parentWidget(), true);
    return WndFromWidget(w->parentWidget(), true);
}

CWnd* CWnd::SetParent(CWnd* pWndNewParent)
{
    CWnd* old = GetParent();
    QWidget* w = QtWidgetOf(this);
    if (w && pWndNewParent && QtClientWidgetOf(pWndNewParent)) {
        const bool vis = w->isVisible();
        w->setParent(QtClientWidgetOf(pWndNewParent), w->windowFlags());
        if (vis)
            w->show();
    }
    return old;
}

CWnd* CWnd::GetOwner() const { return m_pOwner ? m_pOwner : GetParent(); }
void CWnd::SetOwner(CWnd* pOwnerWnd) { m_pOwner = pOwnerWnd; }

CFrameWnd* CWnd::GetParentFrame() const
{
    for (CWnd* p = GetParent(); p; p = p->GetParent())
        if (auto* f = dynamic_cast<CFrameWnd*>(p))
            return f;
    return nullptr;
}

CWnd* CWnd::GetTopLevelParent() const
{
    const CWnd* w = this;
    while (QtWidgetOf(w) && !QtWidgetOf(w)->isWindow()) {
        CWnd* p = w->GetParent();
        if (!p)
            break;
        w = p;
    }
    return const_cast<CWnd*>(w);
}

BOOL CWnd::IsChild(const CWnd* pWnd) const
{
    for (CWnd* p = pWnd ? pWnd->GetParent() : nullptr; p; p = p->GetParent())
        if (p == this)
            return TRUE;
    return FALSE;
}

void CWnd::BringWindowToTop()
{
    if (QWidget* w = QtWidgetOf(this)) {
        w->raise();
        if (w->isWindow())
            w->activateWindow();
    }
}

CWnd* CWnd::SetActiveWindow()
{
    CWnd* old = GetActiveWindow();
    if (QWidget* w = QtWidgetOf(this))
        w->window()->activateWindow();
    return old;
}

BOOL CWnd::SetForegroundWindow()
{
    SetActiveWindow();
    return TRUE;
}

CWnd* CWnd::GetActiveWindow() { return WndFromWidget(QApplication::activeWindow(), true); }

CWnd* CWnd::GetDesktopWindow()
{
    static CWnd* desktop = nullptr;
    AfxEnsureQtApplication();
    if (!desktop) {
        desktop = new CWnd;
        auto* w = new QWidget(nullptr, Qt::Window); // never shown; it only has the screen's size
        QtAttach(desktop, w);
    }
    QRect screen(0, 0, 1024, 768);
    if (QScreen* s = QGuiApplication::primaryScreen())
        screen = s->geometry();
    if (QWidget* w = QtWidgetOf(desktop))
        w->setGeometry(screen);
    return desktop;
}

UINT GetDpiForSystem()
{
    AfxEnsureQtApplication();
    QScreen* s = QGuiApplication::primaryScreen();
    return static_cast<UINT>(qRound(96.0 * (s ? s->devicePixelRatio() : 1.0)));
}

int GetSystemMetrics(int nIndex)
{
    AfxEnsureQtApplication();
    QScreen* s = QGuiApplication::primaryScreen();
    const QRect full = s ? s->geometry() : QRect(0, 0, 1024, 768);
    const QRect avail = s ? s->availableGeometry() : full;
    switch (nIndex) {
    case SM_CXSCREEN: return full.width();
    case SM_CYSCREEN: return full.height();
    case SM_CXFULLSCREEN: return avail.width();
    case SM_CYFULLSCREEN: return avail.height();
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return QApplication::style() ? QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
    case SM_CYCAPTION: return QApplication::style() ? QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight) : 20;
    case SM_CYMENU: return 20;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    default: return 0;
    }
}

int TitleBarWidthFor(std::string_view title)
{
    AfxEnsureQtApplication();
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int text = metrics.horizontalAdvance(QString::fromLocal8Bit(title.data(), static_cast<int>(title.size())));
    const int titleBar = QApplication::style() ? QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight) : 20;
    const int button = std::max(titleBar, metrics.height() + 8);
    return text + 4 * button + 2 * GetSystemMetrics(SM_CXFRAME) + 16;
}

// ---- Timers --------------------------------------------------------------------------------

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, void*)
{
    if (!m_hWnd || !QtWidgetOf(this))
        return 0;
    auto& t = d->timers[nIDEvent];
    if (!t) {
        t = std::make_unique<QTimer>();
        const HWND self = m_hWnd;
        QObject::connect(t.get(), &QTimer::timeout, [self, nIDEvent] {
            // A tick during a long operation is skipped, as Windows coalesces WM_TIMER.
            if (PeekFilterActive())
                return;
            if (CWnd* w = CWnd::FromHandle(self))
                w->SendMessage(WM_TIMER, nIDEvent, 0);
        });
    }
    // Windows never fires faster than every 10 ms.
    t->start(static_cast<int>(std::max<UINT>(nElapse, 10)));
    return nIDEvent ? nIDEvent : 1;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent)
{
    auto it = d->timers.find(nIDEvent);
    if (it == d->timers.end())
        return FALSE;
    // The timer may be the one whose tick is being handled.
    it->second->stop();
    it->second.release()->deleteLater();
    d->timers.erase(it);
    return TRUE;
}

// ---- Menus (frames override) ---------------------------------------------------------------

CMenu* CWnd::GetMenu() const { return nullptr; }
BOOL CWnd::SetMenu(CMenu*) { return FALSE; }
void CWnd::DrawMenuBar()
{
    if (auto* f = dynamic_cast<CFrameWnd*>(this))
        f->RebuildMenuBar();
}

// ---- Default handlers ------------------------------------------------------------------------

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnNcDestroy() {}
void CWnd::OnClose() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnMButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnMButtonUp(UINT, CPoint) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return static_cast<BOOL>(Default()); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
void CWnd::OnWindowPosChanging(WINDOWPOS*) { Default(); }
void CWnd::OnMDIActivate(BOOL, CWnd*, CWnd*) { Default(); }
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT) { Default(); }
void CWnd::OnMeasureItem(int, LPMEASUREITEMSTRUCT) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnActivate(UINT, CWnd*, BOOL) { Default(); }
void CWnd::OnSysColorChange() { Default(); }
BOOL CWnd::OnDeviceChange(UINT, DWORD_PTR) { return TRUE; }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }
void CWnd::OnInitMenuPopup(CMenu*, UINT, BOOL) { Default(); }

// The base map is empty: a CWnd without a map entry does the default processing.
const AFX_MSGMAP* CWnd::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {&CCmdTarget::GetThisMessageMap, &entries[0]};
    return &map;
}
const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

// ---- CCmdTarget -----------------------------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}
const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message) const
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr)
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e && e->pfn; ++e)
            if (e->nMessage == message && message != WM_COMMAND && message != WM_NOTIFY)
                return e;
    return nullptr;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindCommandEntry(UINT message, UINT nCode, UINT nID) const
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr)
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e && e->pfn; ++e)
            if (e->nMessage == message && e->nCode == nCode && nID >= e->nID && nID <= e->nLastID)
                return e;
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo)
{
    if (nCode == CN_NOTIFY_FLAG || (nCode & 0xFFFF0000) == CN_NOTIFY_FLAG) {
        auto* args = static_cast<AFX_MSGARGS*>(pExtra);
        if (!args)
            return FALSE;
        const AFX_MSGMAP_ENTRY* e = FindCommandEntry(WM_NOTIFY, static_cast<UINT>(args->nCode), nID);
        if (!e)
            return FALSE;
        if (pHandlerInfo)
            return TRUE;
        e->pfn(this, *args);
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* e = FindCommandEntry(WM_COMMAND, static_cast<UINT>(nCode), nID);
    if (!e)
        return FALSE;
    if (pHandlerInfo)
        return TRUE;
    AFX_MSGARGS args;
    args.message = WM_COMMAND;
    args.nID = nID;
    args.nCode = nCode;
    args.pExtra = pExtra;
    if (nCode == CN_UPDATE_COMMAND_UI) {
        auto* ui = static_cast<CCmdUI*>(pExtra);
        if (!ui)
            return FALSE;
        ui->m_bContinueRouting = FALSE;
        e->pfn(this, args);
        return !ui->m_bContinueRouting;
    }
    return e->pfn(this, args);
}

// ---- Application queries ---------------------------------------------------------------------

CWnd* AfxGetMainWnd()
{
    CWinApp* app = AfxGetApp();
    return app ? app->m_pMainWnd : nullptr;
}
