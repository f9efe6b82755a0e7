// The Qt side of CWnd: the widget of a custom-drawn window and the event filter that turns a
// widget's events into window messages. Internal to the layer.
#pragma once

#include "platform/ui/Wnd.h"

#include <QObject>
#include <QWidget>

// The widget of a window made by CWnd::Create: presents the window's surface and runs WM_PAINT
// for what was invalidated.
class CWndWidget : public QWidget {
public:
    CWndWidget(CWnd* owner, QWidget* parent, Qt::WindowFlags flags);
    ~CWndWidget() override;
    void ReleaseOwner() { owner_ = nullptr; }
    CWnd* Owner() const { return owner_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CWnd* owner_;
};

// Installed on every widget a CWnd owns or wraps.
class CWndHook : public QObject {
public:
    CWndHook(CWnd* owner, QWidget* outer, QWidget* client);
    void ReleaseOwner() { owner_ = nullptr; }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ClientEvent(QEvent* event);
    bool OuterEvent(QEvent* event);
    // A child window that moved or shrank uncovers part of its parent and of the windows below
    // it: have that part painted again.
    void RepaintUncovered();
    CWnd* owner_;
    QWidget* outer_;
    QWidget* client_;
    QRect lastGeometry_; // where a child window last stood, in its parent
};

// Qt key to Windows virtual key (0 when there is none).
UINT QtKeyToVirtualKey(int qtKey);
// The MK_* flags of the current buttons and modifiers.
UINT MouseKeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
