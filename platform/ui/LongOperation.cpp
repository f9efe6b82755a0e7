#include "platform/ui/LongOperation.h"

#include "platform/ui/qt/WndInternal.h"
#include "platform/ui/qt/WndWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <deque>
#include <mutex>

namespace {
int g_inPeek = 0;
std::deque<MSG> g_input;
struct DeferredPost {
    MSG msg;
    std::function<bool()> gate;
};
std::deque<DeferredPost> g_deferredPosts;
bool g_afterPeekArmed = false;
int g_waitCount = 0;

void ArmAfterPeek();

void AfterPeek()
{
    g_afterPeekArmed = false;
    if (g_inPeek) {
        ArmAfterPeek();
        return;
    }
    // The operation is over: input it did not take is stale; posted messages go now.
    g_input.clear();
    std::deque<DeferredPost> posts;
    posts.swap(g_deferredPosts);
    for (const DeferredPost& p : posts) {
        if (p.gate && !p.gate())
            continue;
        if (CWnd* w = CWnd::FromHandle(p.msg.hwnd))
            w->SendMessage(p.msg.message, p.msg.wParam, p.msg.lParam);
    }
}

void ArmAfterPeek()
{
    if (g_afterPeekArmed || !QCoreApplication::instance())
        return;
    g_afterPeekArmed = true;
    QTimer::singleShot(0, QCoreApplication::instance(), [] { AfterPeek(); });
}

Qt::Key VirtualKeyToQt(UINT vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return Qt::Key(Qt::Key_A + int(vk - 'A'));
    if (vk >= '0' && vk <= '9')
        return Qt::Key(Qt::Key_0 + int(vk - '0'));
    if (vk >= VK_F1 && vk <= VK_F12)
        return Qt::Key(Qt::Key_F1 + int(vk - VK_F1));
    switch (vk) {
    case VK_ESCAPE: return Qt::Key_Escape;
    case VK_RETURN: return Qt::Key_Return;
    case VK_SPACE: return Qt::Key_Space;
    case VK_TAB: return Qt::Key_Tab;
    case VK_BACK: return Qt::Key_Backspace;
    case VK_DELETE: return Qt::Key_Delete;
    case VK_INSERT: return Qt::Key_Insert;
    case VK_LEFT: return Qt::Key_Left;
    case VK_RIGHT: return Qt::Key_Right;
    case VK_UP: return Qt::Key_Up;
    case VK_DOWN: return Qt::Key_Down;
    default: return Qt::Key_unknown;
    }
}

// Holds input back while PeekMessage runs Qt's loop.
class PeekInputFilter : public QObject {
public:
    bool eventFilter(QObject* obj, QEvent* ev) override
    {
        if (!g_inPeek || !obj->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(obj);
        MSG m;
        CWnd* wnd = WndFromWidget(w, true);
        m.hwnd = wnd ? wnd->GetSafeHwnd() : nullptr;
        switch (ev->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            auto* ke = static_cast<QKeyEvent*>(ev);
            if (ev->type() == QEvent::KeyRelease && ke->isAutoRepeat())
                return true;
            m.message = ev->type() == QEvent::KeyPress ? WM_KEYDOWN : WM_KEYUP;
            m.wParam = QtKeyToVirtualKey(ke->key());
            m.lParam = ev->type() == QEvent::KeyPress ? 1 : MAKELPARAM(1, 0xC000);
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease: {
            auto* me = static_cast<QMouseEvent*>(ev);
            const int base = me->button() == Qt::LeftButton ? 0 : me->button() == Qt::RightButton ? 3 : 6;
            m.message = (ev->type() == QEvent::MouseButtonRelease ? WM_LBUTTONUP : WM_LBUTTONDOWN) + UINT(base);
            m.wParam = MouseKeyFlags(me->buttons(), me->modifiers());
            m.lParam = MAKELPARAM(WORD(SHORT(me->position().x())), WORD(SHORT(me->position().y())));
            break;
        }
        case QEvent::ShortcutOverride:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::Close:
            return true; // held back, not queued
        default:
            return false;
        }
        m.time = timeGetTimeForQueue();
        g_input.push_back(m);
        ArmAfterPeek();
        return true;
    }
    static DWORD timeGetTimeForQueue()
    {
        static QElapsedTimer t;
        if (!t.isValid())
            t.start();
        return static_cast<DWORD>(t.elapsed());
    }
};

void EnsureFilter()
{
    static PeekInputFilter* filter = nullptr;
    if (!filter && QCoreApplication::instance()) {
        filter = new PeekInputFilter;
        filter->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(filter);
    }
}

bool Matches(const MSG& m, HWND hWnd, UINT lo, UINT hi)
{
    if (lo || hi)
        if (m.message < lo || m.message > hi)
            return false;
    if (!hWnd)
        return true;
    if (m.hwnd == hWnd)
        return true;
    CWnd* target = CWnd::FromHandle(hWnd);
    CWnd* from = CWnd::FromHandle(m.hwnd);
    if (!target || !from)
        return false;
    // A window's children's input counts as the window's, and so do MDI children's for a frame.
    for (CWnd* p = from->GetParent(); p; p = p->GetParent())
        if (p == target)
            return true;
    QWidget* tw = QtWidgetOf(target);
    QWidget* fw = QtWidgetOf(from);
    return tw && fw && tw->isAncestorOf(fw);
}
} // namespace

bool PeekFilterActive() { return g_inPeek > 0; }

void DeferPostedMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam, std::function<bool()> gate)
{
    MSG m;
    m.hwnd = h;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    g_deferredPosts.push_back({m, std::move(gate)});
    ArmAfterPeek();
}

BOOL PeekMessage(LPMSG lpMsg, HWND hWnd, UINT lo, UINT hi, UINT wRemoveMsg)
{
    if (!QCoreApplication::instance())
        return FALSE;
    EnsureFilter();
    ++g_inPeek;
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --g_inPeek;
    for (auto it = g_input.begin(); it != g_input.end(); ++it) {
        if (!Matches(*it, hWnd, lo, hi))
            continue;
        if (lpMsg)
            *lpMsg = *it;
        if (wRemoveMsg & PM_REMOVE)
            g_input.erase(it);
        return TRUE;
    }
    return FALSE;
}

CancelRequest AfxCheckCancel(CWnd* wnd)
{
    const HWND h = wnd ? wnd->GetSafeHwnd() : nullptr;
    MSG msg;
    if (PeekMessage(&msg, h, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) && msg.message == WM_KEYDOWN &&
        msg.wParam == VK_ESCAPE)
        return CancelRequest::Escape;
    if (PeekMessage(&msg, h, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE))
        return CancelRequest::Click;
    return CancelRequest::None;
}

void AfxPostKeyPress(CWnd* wnd, UINT vk)
{
    QWidget* w = wnd ? QtClientWidgetOf(wnd) : nullptr;
    if (!w)
        return;
    const Qt::Key k = VirtualKeyToQt(vk);
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, k, Qt::NoModifier));
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyRelease, k, Qt::NoModifier));
}

void AfxPostLeftClick(CWnd* wnd, POINT p)
{
    QWidget* w = wnd ? QtClientWidgetOf(wnd) : nullptr;
    if (!w)
        return;
    const QPointF local(p.x, p.y);
    const QPointF global = w->mapToGlobal(local);
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, local, global, Qt::LeftButton,
                                                   Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, local, global, Qt::LeftButton,
                                                   Qt::NoButton, Qt::NoModifier));
}

// ---- Wait cursor ------------------------------------------------------------------------------

namespace {
void PushWait()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    if (g_waitCount++ == 0)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}
void PopWait()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()) || g_waitCount == 0)
        return;
    if (--g_waitCount == 0)
        QGuiApplication::restoreOverrideCursor();
}
} // namespace

CWaitCursor::CWaitCursor() { PushWait(); }
CWaitCursor::~CWaitCursor() { PopWait(); }
void CWaitCursor::Restore()
{
    if (g_waitCount > 0 && qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::changeOverrideCursor(QCursor(Qt::WaitCursor));
}

void CCmdTarget::BeginWaitCursor() { PushWait(); }
void CCmdTarget::EndWaitCursor() { PopWait(); }
void CCmdTarget::RestoreWaitCursor()
{
    if (g_waitCount > 0 && qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::changeOverrideCursor(QCursor(Qt::WaitCursor));
}
