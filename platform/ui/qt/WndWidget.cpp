#include "platform/ui/qt/WndWidget.h"

#include "platform/ui/qt/WndInternal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QWheelEvent>

CWndWidget::CWndWidget(CWnd* owner, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), owner_(owner)
{
    // The surface covers the whole client area; Qt needn't clear it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
}

CWndWidget::~CWndWidget()
{
    if (CWnd* o = owner_) {
        owner_ = nullptr;
        o->HandleDestroyedWidget();
    }
}

void CWndWidget::paintEvent(QPaintEvent* event)
{
    if (!owner_)
        return;
    // Painted into the window's backing store (or rendered into an image) with no painter of
    // the caller's: the picture itself, with the widget's origin where the redirection puts it.
    // Anything else (a grab into a pixmap, a painter's own transform) goes through a painter.
    QPoint offset;
    QPaintDevice* device = sharedPainter() ? nullptr : redirected(&offset);
    QImage* target = device && device->devType() == QInternal::Image ? static_cast<QImage*>(device) : nullptr;
    QtHandlePaintEvent(owner_, event->region(), target, -offset);
}

CWndHook::CWndHook(CWnd* owner, QWidget* outer, QWidget* client) : owner_(owner), outer_(outer), client_(client) {}

UINT QtKeyToVirtualKey(int k)
{
    if (k >= Qt::Key_A && k <= Qt::Key_Z)
        return UINT('A' + (k - Qt::Key_A));
    if (k >= Qt::Key_0 && k <= Qt::Key_9)
        return UINT('0' + (k - Qt::Key_0));
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
        return VK_F1 + UINT(k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Plus: return VK_ADD;
    case Qt::Key_Minus: return VK_SUBTRACT;
    case Qt::Key_Asterisk: return VK_MULTIPLY;
    case Qt::Key_Slash: return VK_DIVIDE;
    case Qt::Key_Period: return VK_DECIMAL;
    default: return 0;
    }
}

UINT MouseKeyFlags(Qt::MouseButtons b, Qt::KeyboardModifiers m)
{
    UINT f = 0;
    if (b & Qt::LeftButton) f |= MK_LBUTTON;
    if (b & Qt::RightButton) f |= MK_RBUTTON;
    if (b & Qt::MiddleButton) f |= MK_MBUTTON;
    if (m & Qt::ShiftModifier) f |= MK_SHIFT;
    if (m & Qt::ControlModifier) f |= MK_CONTROL;
    return f;
}

namespace {
LPARAM PointParam(const QPointF& p)
{
    return MAKELPARAM(WORD(SHORT(qFloor(p.x()))), WORD(SHORT(qFloor(p.y()))));
}

UINT ButtonMessage(QEvent::Type type, Qt::MouseButton button)
{
    const int base = button == Qt::LeftButton ? 0 : button == Qt::RightButton ? 3 : button == Qt::MiddleButton ? 6 : -1;
    if (base < 0)
        return 0;
    switch (type) {
    case QEvent::MouseButtonPress: return WM_LBUTTONDOWN + UINT(base);
    case QEvent::MouseButtonRelease: return WM_LBUTTONUP + UINT(base);
    case QEvent::MouseButtonDblClick: return WM_LBUTTONDBLCLK + UINT(base);
    default: return 0;
    }
}
} // namespace

bool CWndHook::eventFilter(QObject* watched, QEvent* event)
{
    if (!owner_)
        return false;
    if (watched == client_) {
        if (ClientEvent(event))
            return true;
    }
    if (!owner_)
        return false;
    if (watched == outer_)
        return OuterEvent(event);
    return false;
}

namespace {
// A key event the focus window ignored travels on to its parents in Qt; in Windows it belongs
// to the focus window alone. So a window takes keys only when it has the focus itself or none
// of its children has it.
bool KeyIsForChild(QWidget* client)
{
    QWidget* focus = QApplication::focusWidget();
    return focus && focus != client && client->isAncestorOf(focus);
}
} // namespace

bool CWndHook::ClientEvent(QEvent* event)
{
    CWnd* w = owner_;
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && KeyIsForChild(client_))
        return false;
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint global = me->globalPosition().toPoint();
        if (TakeSuppressedMove(global))
            return true;
        // A confined pointer is pulled back inside, and the move is reported where it stays.
        QPointF at = me->position();
        if (const QPoint inside = ConfinedCursorPos(global); inside != global) {
            SetCursorPos(inside.x(), inside.y());
            at += QPointF(inside - global);
        }
        SetCursorTarget(client_);
        const HWND self = w->m_hWnd;
        w->SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(self), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        if (!CWnd::FromHandle(self))
            return true;
        return w->DispatchInput(WM_MOUSEMOVE, MouseKeyFlags(me->buttons(), me->modifiers()), PointParam(at));
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(event);
        UINT msg = ButtonMessage(event->type(), me->button());
        if (!msg)
            return false;
        // Without CS_DBLCLKS a second click is a plain button-down, as Windows sends it.
        if (event->type() == QEvent::MouseButtonDblClick && w->IsCustomDrawn() && !(w->GetClassStyle() & CS_DBLCLKS))
            msg = msg - (WM_LBUTTONDBLCLK - WM_LBUTTONDOWN);
        SetCursorTarget(client_);
        UINT flags = MouseKeyFlags(me->buttons(), me->modifiers());
        if (event->type() == QEvent::MouseButtonRelease) {
            // Windows reports the state after the release.
            flags &= ~(me->button() == Qt::LeftButton ? MK_LBUTTON : me->button() == Qt::RightButton ? MK_RBUTTON : MK_MBUTTON);
        }
        const bool eaten = w->DispatchInput(msg, flags, PointParam(me->position()));
        if (msg == WM_RBUTTONUP && WndFromWidget(client_) == w && w->FindMessageEntry(WM_CONTEXTMENU)) {
            const QPointF g = me->globalPosition();
            w->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(w->m_hWnd), PointParam(g));
        }
        return eaten;
    }
    case QEvent::Wheel: {
        auto* we = static_cast<QWheelEvent*>(event);
        const int delta = we->angleDelta().y();
        if (delta == 0)
            return false;
        const UINT flags = MouseKeyFlags(we->buttons(), we->modifiers());
        return w->DispatchInput(WM_MOUSEWHEEL, MAKEWPARAM(WORD(flags), WORD(SHORT(delta))), PointParam(we->globalPosition()));
    }
    case QEvent::KeyPress: {
        auto* ke = static_cast<QKeyEvent*>(event);
        const UINT vk = QtKeyToVirtualKey(ke->key());
        const HWND self = w->m_hWnd;
        bool eaten = false;
        const bool alt = ke->modifiers() & Qt::AltModifier;
        if (vk) {
            const LPARAM lp = MAKELPARAM(WORD(ke->isAutoRepeat() ? 1 : 1), WORD(ke->isAutoRepeat() ? 0x4000 : 0));
            eaten = w->DispatchInput(alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, lp);
        }
        if (!CWnd::FromHandle(self))
            return true;
        const QString text = ke->text();
        if (!text.isEmpty() && text.at(0).unicode() >= 0x08 && !alt) {
            const QByteArray local = text.toLocal8Bit();
            const UINT ch = local.isEmpty() ? text.at(0).unicode() : UINT(static_cast<unsigned char>(local.at(0)));
            eaten = w->DispatchInput(WM_CHAR, ch, 1) || eaten;
        }
        return eaten;
    }
    case QEvent::KeyRelease: {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (ke->isAutoRepeat())
            return false;
        const UINT vk = QtKeyToVirtualKey(ke->key());
        if (!vk)
            return false;
        const bool alt = ke->modifiers() & Qt::AltModifier;
        return w->DispatchInput(alt ? WM_SYSKEYUP : WM_KEYUP, vk, MAKELPARAM(1, 0xC000));
    }
    case QEvent::FocusIn:
        w->SendMessage(WM_SETFOCUS, 0, 0);
        return false;
    case QEvent::FocusOut:
        w->SendMessage(WM_KILLFOCUS, 0, 0);
        return false;
    case QEvent::Resize:
        w->HandleResize();
        return false;
    case QEvent::ApplicationPaletteChange:
        w->SendMessage(WM_SYSCOLORCHANGE, 0, 0);
        return false;
    default:
        return false;
    }
}

void CWndHook::RepaintUncovered()
{
    if (outer_->isWindow())
        return; // the window manager exposes what a top-level window uncovers
    const QRect now = outer_->geometry();
    QWidget* parent = outer_->parentWidget();
    // Qt leaves what a shrinking child window uncovers of the windows below it unpainted (their
    // clients paint all of their area themselves, and Qt skips them): ask each widget there for
    // its part, the windows' frames and title bars and the controls on them as much as their
    // clients. Once the move has settled: asked for in the middle of it, Qt drops it.
    if (parent && lastGeometry_.isValid() && outer_->isVisible()) {
        const QRegion uncovered = QRegion(lastGeometry_) - QRegion(now);
        if (!uncovered.isEmpty())
            QMetaObject::invokeMethod(
                parent,
                [parent = QPointer<QWidget>(parent), moved = QPointer<QWidget>(outer_), uncovered] {
                    if (!parent)
                        return;
                    parent->update(uncovered);
                    for (QWidget* w : parent->findChildren<QWidget*>()) {
                        if (w->window() != parent->window() || !w->isVisible() || (moved && (w == moved || moved->isAncestorOf(w))))
                            continue;
                        const QRegion part = uncovered.translated(-w->mapTo(parent, QPoint(0, 0))) & w->rect();
                        if (!part.isEmpty())
                            w->update(part);
                    }
                },
                Qt::QueuedConnection);
    }
    lastGeometry_ = now;
}

bool CWndHook::OuterEvent(QEvent* event)
{
    CWnd* w = owner_;
    switch (event->type()) {
    case QEvent::Close: {
        // The window decides: WM_CLOSE's default destroys it, a handler may keep it.
        event->ignore();
        w->SendMessage(WM_CLOSE, 0, 0);
        return true;
    }
    case QEvent::Move: {
        QWidget* c = client_ ? client_ : outer_;
        const QPoint p = outer_->isWindow() ? c->mapToGlobal(QPoint(0, 0)) : outer_->pos();
        if (outer_->isWindow())
            NoteNormalFrame(outer_);
        RepaintUncovered();
        w->SendMessage(WM_MOVE, 0, MAKELPARAM(WORD(SHORT(p.x())), WORD(SHORT(p.y()))));
        if (owner_)
            owner_->OnLayerGeometryChanged();
        return false;
    }
    case QEvent::Show:
        lastGeometry_ = outer_->geometry();
        if (outer_->isWindow())
            SettlePendingFrame(outer_);
        w->SendMessage(WM_SHOWWINDOW, TRUE, 0);
        return false;
    case QEvent::Hide:
        w->SendMessage(WM_SHOWWINDOW, FALSE, 0);
        return false;
    case QEvent::Resize:
        // The client's resize reports the size; the window only notes its rectangle.
        if (outer_->isWindow())
            NoteNormalFrame(outer_);
        RepaintUncovered();
        w->OnLayerGeometryChanged();
        return false;
    case QEvent::WindowStateChange:
        if (outer_->isWindow() && outer_->isMaximized() && !outer_->property(kMaximiseAskedProperty).toBool() &&
            (w->GetStyle() & WS_CAPTION) == WS_CAPTION && !(w->GetStyle() & WS_MAXIMIZEBOX)) {
            // Maximised by the user through the window manager, though the style has no maximise
            // box: openbox offers maximising for every window the user may size.
            QMetaObject::invokeMethod(
                outer_, [o = QPointer<QWidget>(outer_), normal = outer_->normalGeometry()] {
                    if (!o)
                        return;
                    o->showNormal();
                    if (normal.isValid())
                        o->setGeometry(normal);
                },
                Qt::QueuedConnection);
            return false;
        }
        if (!outer_->isMaximized())
            outer_->setProperty(kMaximiseAskedProperty, QVariant());
        // A placement made while the window was maximised is carried out once it is restored.
        if (outer_->isWindow() && !(outer_->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
            SettlePendingFrame(outer_);
        w->OnLayerGeometryChanged();
        return false;
    default:
        return false;
    }
}
