// The frame's status bar on a real screen (Xvfb at 1920 x 1080 with openbox framing the window):
// the frame's client area is the area under its menu bar, and the status bar laid out at its
// bottom shows whole inside the window, as shown, resized and maximised through the window
// manager.
#include "FrameFixture.h"

#include "support/RealDisplay.h"
#include "support/QtTestAccess.h"

#include "app/CStatusbar.h"
#include "res/resource.h"

#include <algorithm>

using namespace frametest;

namespace {

class StatusBarOnScreen : public OnRealDisplay<FrameFixture> {
protected:
    StatusBarOnScreen() : OnRealDisplay("1920x1080x24") {}
};

QRect ScreenRect(const RECT& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)); }

QRect ClientOnScreen(const CWnd& w)
{
    RECT r{};
    w.GetClientRect(&r);
    w.ClientToScreen(&r);
    return ScreenRect(r);
}

QRect WindowOnScreen(const CWnd& w)
{
    RECT r{};
    w.GetWindowRect(&r);
    return ScreenRect(r);
}

// The frame's top-level window, decoration excluded, as the toolkit last heard from the X server.
QRect XWindowRect(CWnd& frame)
{
    QWidget* top = QtWidgetOf(&frame);
    return top ? top->geometry() : QRect();
}

// The menu item's action in the frame's menu bar, found as the user finds it.
QAction* MenuAction(CFrameWnd& frame, UINT id)
{
    QMainWindow* main = QtMainWindowOf(&frame);
    if (!main)
        return nullptr;
    for (QAction* top : main->menuBar()->actions())
        if (QMenu* m = top->menu())
            for (QAction* a : m->findChildren<QAction*>())
                if (a->data().toUInt() == id && !a->menu())
                    return a;
    return nullptr;
}

QRgb At(const QImage& img, QPoint p) { return img.pixel(p) & 0xFFFFFFu; }

} // namespace

TEST_F(StatusBarOnScreen, TheStatusBarShowsWholeInsideTheFrame)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return QtWidgetOf(frame)->isVisible() && XWindowRect(*frame).isValid(); }, 30000));
    AfxPumpMessages(300);
    QMainWindow* main = QtMainWindowOf(frame);
    ASSERT_NE(main, nullptr);

    // At start the status bar is hidden: the MDI area reaches the bottom of the window, and
    // the client area starts under the menu bar.
    EXPECT_EQ(frame->Settings.Statusbar, 0);
    {
        const QRect x = XWindowRect(*frame), client = ClientOnScreen(*frame);
        const QRect bar(main->menuBar()->mapToGlobal(QPoint(0, 0)), main->menuBar()->size());
        EXPECT_GT(bar.height(), 0);
        EXPECT_EQ(client.top(), bar.bottom() + 1);
        EXPECT_EQ(client.bottom(), x.bottom());
        EXPECT_EQ(WindowOnScreen(*frame->GetMDIClient()).bottom(), x.bottom());
    }

    // Shown from its menu item, as the user does.
    QAction* toggle = MenuAction(*frame, ID_VIEW_STATUSBAR);
    ASSERT_NE(toggle, nullptr);
    toggle->trigger();
    ASSERT_TRUE(PumpUntil([&] { return frame->Settings.Statusbar == 1; }, 10000));

    struct Step {
        const char* what;
        int cmdShow; // 0: resized to w x h instead
        int w, h;
    };
    const Step steps[] = {
        {"as started", -1, 0, 0},
        {"resized smaller", 0, 1000, 600},
        {"resized larger", 0, 1600, 900},
        {"maximised", SW_SHOWMAXIMIZED, 0, 0},
        {"restored", SW_RESTORE, 0, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.cmdShow == 0)
            frame->SetWindowPos(nullptr, 0, 0, s.w, s.h, SWP_NOMOVE | SWP_NOZORDER);
        else if (s.cmdShow > 0)
            frame->ShowWindow(s.cmdShow);
        // The window manager answers in its own time: wait until the window has the size asked
        // for (or, maximised, the screen's width) and the layout follows it.
        const auto placed = [&] {
            const QRect x = XWindowRect(*frame);
            const bool sized = s.cmdShow == 0 ? x.width() == s.w
                               : s.cmdShow == SW_SHOWMAXIMIZED ? x.width() == 1920
                               : s.cmdShow == SW_RESTORE       ? x.width() < 1920
                                                               : true;
            return sized && ClientOnScreen(*frame).bottom() == x.bottom() &&
                   WindowOnScreen(*frame->StatusBar).bottom() == x.bottom();
        };
        ASSERT_TRUE(PumpUntil(placed, 20000)) << "window " << XWindowRect(*frame).width() << "x"
                                              << XWindowRect(*frame).height();

        const QRect x = XWindowRect(*frame);
        const QRect status = WindowOnScreen(*frame->StatusBar);
        const QRect mdi = WindowOnScreen(*frame->GetMDIClient());
        EXPECT_EQ(status.height(), CStatusbar::kHeight);
        EXPECT_EQ(status.left(), x.left());
        EXPECT_EQ(status.right(), x.right());
        EXPECT_TRUE(x.contains(status)) << "status bar top " << status.top() << ", window bottom " << x.bottom();
        EXPECT_EQ(mdi.bottom() + 1, status.top());

        // The panes as the X server shows them: the bar's white top line, the first pane's dark
        // top and light bottom line, and the face down to the bar's last row, with the window's
        // edge right under it. Looked for exactly where the toolkit has the bar when looking:
        // the window manager may still be moving the window when the layout is done (maximising,
        // openbox sizes the client before it moves the frame), and the toolkit hears of it.
        QRect at;
        const auto barShown = [&](const QImage& img) {
            at = WindowOnScreen(*frame->StatusBar);
            const int column = at.left() + 60, y = at.top();
            return y >= 0 && y + 25 < img.height() && column < img.width() && At(img, {column, y}) == 0xFFFFFFu &&
                   At(img, {column, y + 3}) == 0x8C8C8Cu && At(img, {column, y + 20}) == 0xE6E6E6u &&
                   At(img, {column, y + 25}) == 0xF0F0F0u;
        };
        QImage shot;
        const bool shown =
            PumpUntil([&] { return barShown(shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage()); }, 10000);
        EXPECT_TRUE(shown) << "no whole status bar drawn at row " << at.top() << ", window at "
                           << XWindowRect(*frame).x() << "," << XWindowRect(*frame).y();
        if (shown && at.top() + 26 < shot.height())
            EXPECT_NE(At(shot, {at.left() + 60, at.top() + 26}), 0xF0F0F0u) << "the window goes on below the bar";
    }
}
