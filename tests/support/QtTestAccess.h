// The tests' way into the Qt side of windows: a window's widgets, its drawn picture, its
// surface, clicks on its controls. Tests include this instead of Qt or platform/ui/qt headers.
#pragma once

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/qt/QtAccess.h"
#include "platform/ui/qt/Surface.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include <string>
#include <vector>

// The window's widget as drawn on screen (frame, caption-less client, controls), in RGB32.
QImage QtPictureOf(const CWnd* wnd);
// The client area as drawn on screen, in RGB32.
QImage QtClientPictureOf(const CWnd* wnd);
// The control `id` of `parent` as the Qt class W, or null (no such control, or another kind).
template <class W> W* QtControlOf(const CWnd* parent, int id)
{
    CWnd* c = parent ? parent->GetDlgItem(id) : nullptr;
    return c ? qobject_cast<W*>(QtWidgetOf(c)) : nullptr;
}
// Clicks the button `id` of `parent` as the user would; false when there is no such button.
bool QtClickButton(const CWnd* parent, int id);
// Clicks the control `id` of `parent` with the left mouse button at its centre, as a real
// mouse does: the control takes the focus by its focus policy and acts on the release.
bool QtMouseClick(const CWnd* parent, int id);
// The groups of auto radio buttons a template's controls form, found as a user finds them:
// with every radio checked, each is clicked with the mouse, and the radios the click clears
// are its group. Control ids in tab order; groups in the order of their first radio.
std::vector<std::vector<int>> QtClickedRadioGroups(const DialogTemplate& t);
// Presses the left button over the line-up (up) or line-down arrow of the scroll bar `bar` as
// the user's mouse would; false when `bar` is no scroll bar. The release is posted to the event
// queue, as one the user makes while the program may be busy.
bool QtPressScrollArrow(const CWnd* bar, bool up);
bool QtPostScrollArrowRelease(const CWnd* bar, bool up);
// Types `text` into the edit `box` as the user's keyboard would: the box takes the focus
// (everything in it selected, as a click and a select-all leave it), then one key press and
// release a character. False when `box` is no edit.
bool QtTypeInto(const CWnd* box, const std::string& text);
// Types `text` at the edit's caret, without moving the focus or the caret first.
bool QtTypeKeys(const CWnd* box, const std::string& text);
// Presses and releases `key` (a Qt::Key) in `wnd`, as the user would with the focus there;
// a key the control ignores goes on to its parents.
void QtPressKey(const CWnd* wnd, int key);
// The shown controls of the window (and of the windows inside it) whose text does not fit
// them, one line each: a static, button, check box, radio, group box title or any item of a
// combo box wider (or, wrapped, taller) than the room the control gives it.
std::vector<std::string> QtTextsCutOff(const CWnd* wnd);
