// The Qt side of the layer's windows. The program's own code never sees it: only the layer's
// sources and the tests' helper library include this folder.
#pragma once

#include "platform/ui/Wnd.h"

#include <QWidget>

class QImage;
class QMainWindow;
class QMdiArea;
class QMenu;
class QRect;
class CFrameWnd;
class CMDIFrameWnd;

// The widget of the window as a whole: what moves, shows and closes (a frame's QMainWindow, an
// MDI child's QMdiSubWindow); null for no window, before creation and after destruction.
QWidget* QtWidgetOf(const CWnd* wnd);
// The widget holding the client area (the same as QtWidgetOf except for frames and MDI
// children): child windows go in it, and client coordinates are its coordinates.
QWidget* QtClientWidgetOf(const CWnd* wnd);
// The CWnd wrapping a widget (or one of its ancestors when `walkUp`), or null.
CWnd* WndFromWidget(const QWidget* widget, bool walkUp = false);

// Wraps an existing widget (a control made by a dialog template, a Qt widget made by the
// layer). The widget's events become messages for the window; events its map does not handle
// (or whose handler calls Default()) go on to the widget. The widget stays owned by its Qt
// parent; QtDetach unwraps without destroying it.
BOOL QtAttach(CWnd* wnd, QWidget* widget, UINT nID = 0);
QWidget* QtDetach(CWnd* wnd);

// Makes the window own `widget` (deleting it with the window); used by Create and frames.
void QtAdoptWidget(CWnd* wnd, QWidget* widget);
// The same for a window whose client area is a widget inside it (frames, MDI children).
void QtAdoptWidgets(CWnd* wnd, QWidget* outer, QWidget* client);
// Called by the layer's widgets: runs WM_PAINT for what is invalid and presents the surface,
// copied straight onto `target` (the backing store's picture, the widget's origin at `origin`)
// when one is given, else through a painter on the widget.
void QtHandlePaintEvent(CWnd* wnd, const QRegion& region, QImage* target = nullptr, QPoint origin = QPoint());

// A frame's main window (null for MDI children and before creation).
QMainWindow* QtMainWindowOf(const CFrameWnd* frame);
// The MDI frame's client area (null before creation).
QMdiArea* QtMdiAreaOf(const CMDIFrameWnd* frame);
// Fills a Qt menu from a menu tree; actions carry their command id as data. Sub-menus update
// through `frame` as they open (when given).
void FillQMenu(QMenu* menu, HMENU hMenu, CFrameWnd* frame);

// What the functions above need of a CWnd's private state.
struct CWndQt {
    static BOOL Attach(CWnd& w, QWidget* widget, UINT nID);
    static QWidget* Detach(CWnd& w);
    static void Adopt(CWnd& w, QWidget* outer, QWidget* client);
    static void HandlePaintEvent(CWnd& w, const QRegion& region, QImage* target, QPoint origin);
    // Sends WM_PAINT for the window's invalid region, drawing it on the surface; the rectangle
    // painted (empty when nothing was invalid or the window went away meanwhile).
    static QRect PaintInvalid(CWnd& w);
    // Hands the surface changes gathered since the last call to Qt as repaints.
    static void FlushSurfaceChanges();
    static QWidget* Outer(const CWnd& w);
    static QWidget* Client(const CWnd& w);
};
