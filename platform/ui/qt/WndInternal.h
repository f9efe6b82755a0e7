// State of a CWnd that only the layer's sources see.
#pragma once

#include "platform/ui/Wnd.h"
#include "platform/ui/qt/QtAccess.h"
#include "platform/ui/qt/Surface.h"
#include "platform/ui/qt/WndWidget.h"

#include <QDialog>
#include <QPointer>
#include <QRegion>
#include <QIcon>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

// A window client's controls that hide the surface under them, found again when the client or
// the number of its children changes (a plot has dozens of children; a block's changes meet few).
struct CWndCovers {
    QPointer<QWidget> client;
    qsizetype children = -1;
    std::vector<QPointer<QWidget>> controls;
};

struct CWnd::Impl {
    QPointer<QWidget> outer;  // the window as a whole (what moves, shows, closes)
    QPointer<QWidget> client; // its client area (what paints and takes input)
    bool ownsWidget = false;
    bool temporary = false; // a wrapper made by GetDlgItem; deleted with its widget
    CWndHook* hook = nullptr;
    std::unique_ptr<CSurface> surface;
    QRegion invalid; // what WM_PAINT still has to draw
    QRect changed;   // drawn on the surface outside WM_PAINT, not yet handed to Qt
    CWndCovers covers;
    bool erasePending = false;
    std::map<UINT_PTR, std::unique_ptr<QTimer>> timers;
    // The message being handled, for Default().
    UINT curMessage = 0;
    WPARAM curWParam = 0;
    LPARAM curLParam = 0;
    bool destroying = false;
};

// Shows, hides, minimises or maximises a window as WINDOWPLACEMENT's showCmd asks.
void ShowForPlacement(QWidget* w, UINT showCmd);
// Maximises a window at the program's request: the program may maximise a window whose style
// has no maximise box, the user may not.
inline constexpr const char* kMaximiseAskedProperty = "durnexMaximiseAsked";
void ShowMaximisedAsAsked(QWidget* w);
// A top-level window placed before it was first shown, when its frame was not known yet:
// once the window manager has framed it, its outer rectangle becomes the one asked for.
inline constexpr const char* kPendingFrameProperty = "durnexPendingFrame";
void SettlePendingFrame(QWidget* window);
// Notes the frame a top-level window has while neither maximised nor minimised.
void NoteNormalFrame(QWidget* window);

// Handle registry (thread-safe).
HWND RegisterWindowHandle(CWnd* wnd);
void UnregisterWindowHandle(HWND h);
// Property names on widgets.
inline constexpr const char* kWndProperty = "durnexCWnd";
inline constexpr const char* kCtrlIdProperty = "durnexCtrlId";
// The cursor a window shows by default (its class cursor, else the arrow).
void ApplyClassCursor(CWnd* wnd);
// Sets the widget that ::SetCursor applies to while a message is handled.
void SetCursorTarget(QWidget* w);
QWidget* CursorTarget();
// True (once) for the mouse move SetCursorPos caused.
bool TakeSuppressedMove(const QPoint& global);
// Where a pointer at `global` may be under ClipCursor's confinement (itself without one).
QPoint ConfinedCursorPos(const QPoint& global);
// The Qt icon of a handle (null for none).
const QIcon* IconOf(HICON h);
// Gives a window the icon of its class, if the class has one.
void ApplyClassIcon(QWidget* w, HICON icon);
// The Qt cursor of a handle.
struct HCURSOR__;
const QCursor* CursorOf(HCURSOR h);
// Called by the event filter: input held back while a long operation peeks at the queue.
bool PeekFilterActive();
// A posted message arriving while a long operation peeks waits until it is over (UI thread);
// its gate, if any, runs when it is finally delivered.
void DeferPostedMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam, std::function<bool()> gate = {});

// The window of a dialog or property sheet: Esc and Enter go to the owner's key handler, the
// close box becomes the owner's IDCANCEL command. The owner is released before it goes.
class CommandDialogWidget : public QDialog {
public:
    CommandDialogWidget(CWnd* owner, std::function<bool(UINT vk)> keys, QWidget* parent);
    void ReleaseOwner() { owner_ = nullptr; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void reject() override;

private:
    CWnd* owner_;
    std::function<bool(UINT vk)> keys_;
};

// Esc and Enter as dialogs and property sheets both take them: Esc sends IDCANCEL; Enter clicks
// a focused push button and is left to a multi-line edit that wants it. Returns whether the
// key was handled, or nothing when Enter should go to the window's default button.
std::optional<bool> CommonDialogKey(CWnd* wnd, UINT vk);
// A focused combo box with its list open keeps Enter and Esc for the list.
bool FocusedComboListOpen();
