// Frames under a real window manager (openbox on its own Xvfb display), read from the X server:
// a maximised main window keeps the rectangle it is restored to, start after start; the RPM
// window opens clear of the toolbars; a window whose style has no maximise box offers none.
#include "FrameFixture.h"

#include "support/QtTestAccess.h"

#include "app/CToolbar.h"
#include "app/CToolbar2.h"
#include "siggen/CSigGen.h"
#include "support/RealDisplay.h"
#include "XServerTruth.h"


#include <optional>

using namespace frametest;

namespace {


RECT NormalRect(const CWnd& w)
{
    WINDOWPLACEMENT wp{};
    w.GetWindowPlacement(&wp);
    return wp.rcNormalPosition;
}

// Waits until the window's placement has not changed for half a second.
void Still(const CWnd& w)
{
    RECT last = NormalRect(w);
    for (int settled = 0, tries = 0; settled < 10 && tries < 200; ++tries) {
        AfxPumpMessages(50);
        const RECT now = NormalRect(w);
        settled = std::memcmp(&now, &last, sizeof now) == 0 ? settled + 1 : 0;
        last = now;
    }
}

// The framed window's rectangle as the X server has it.
std::optional<QRect> ServerFrame(QWidget* top)
{
    const std::optional<QPoint> origin = xtruth::ClientOrigin(top);
    const std::optional<xtruth::Extents> e = xtruth::FrameExtents(top);
    const std::string info = xtruth::Output("xwininfo -id " + std::to_string(top->winId()));
    const auto w = info.find("Width:"), h = info.find("Height:");
    if (!origin || !e || w == std::string::npos || h == std::string::npos)
        return std::nullopt;
    return QRect(origin->x() - e->left, origin->y() - e->top, std::stoi(info.substr(w + 6)) + e->left + e->right,
                 std::stoi(info.substr(h + 7)) + e->top + e->bottom);
}

std::string Text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

bool Near(const RECT& a, const RECT& b)
{
    return std::abs(a.left - b.left) <= 2 && std::abs(a.top - b.top) <= 2 && std::abs(a.right - b.right) <= 2 &&
           std::abs(a.bottom - b.bottom) <= 2;
}

// What openbox lets a user do with a window.
std::string AllowedActions(QWidget* top)
{
    return xtruth::Output("xprop -id " + std::to_string(top->winId()) + " _NET_WM_ALLOWED_ACTIONS");
}

class WindowFrames : public OnRealDisplay<FrameFixture> {
protected:
    WindowFrames() : OnRealDisplay("1920x1080x24") {}

    void SetUp() override
    {
        OnRealDisplay::SetUp();
        if (!IsSkipped() && !HasFatalFailure() && !xtruth::ToolsInstalled())
            DURNEX_SKIP_WITHOUT("xwininfo and xprop are needed");
    }

    // Started (with openbox starved for its first second and a half, when asked), and maximised
    // or not as asked once openbox has carried it out.
    void StartAndWait(bool maximised, bool starved = false)
    {
        {
            std::optional<StarvedWindowManager> slow;
            if (starved)
                slow.emplace(display_.OpenboxPid(), 400, 5000);
            ASSERT_NE(Start(), nullptr);
            if (starved)
                AfxPumpMessages(1500);
        }
        QWidget* top = QtWidgetOf(frame);
        const int screenWidth = QGuiApplication::primaryScreen()->geometry().width();
        ASSERT_TRUE(PumpUntil(
            [&] {
                const QRect f = top->frameGeometry(), g = top->geometry();
                return f != g && f.contains(g) && top->isMaximized() == maximised &&
                       (top->width() == screenWidth) == maximised;
            },
            30000))
            << "maximised " << top->isMaximized() << ", " << top->width() << " wide";
        Still(*frame);
    }

    bool Maximised() const { return QtWidgetOf(frame)->isMaximized(); }
};

} // namespace

// A main window closed maximised is restored to the rectangle it had before, start after start,
// and comes back there when the user restores it; one closed normal keeps its size, also when
// the window manager frames it late.
TEST_F(WindowFrames, TheMainWindowKeepsItsRestoreRectangle)
{
    ASSERT_NO_FATAL_FAILURE(StartAndWait(false));
    frame->SetWindowPos(nullptr, 150, 100, 1100, 700, SWP_NOZORDER);
    ASSERT_TRUE(PumpUntil([&] { return QtWidgetOf(frame)->width() == 1100; }, 20000));
    Still(*frame);
    const RECT normal = NormalRect(*frame);
    frame->ShowWindow(SW_SHOWMAXIMIZED);
    ASSERT_TRUE(PumpUntil([&] { return Maximised(); }, 20000));
    Still(*frame);
    ASSERT_TRUE(Close());
    for (int start = 0; start < 3; ++start) {
        ASSERT_NO_FATAL_FAILURE(StartAndWait(true)) << start;
        EXPECT_PRED2(Near, NormalRect(*frame), normal) << "start " << start << ": " << Text(NormalRect(*frame));
        ASSERT_TRUE(Close());
    }
    ASSERT_NO_FATAL_FAILURE(StartAndWait(true));
    frame->ShowWindow(SW_RESTORE);
    ASSERT_TRUE(PumpUntil([&] { return !Maximised(); }, 20000));
    Still(*frame);
    // The placement settles before openbox has redrawn its frame on a busy machine: the server's
    // frame is read again until it is where it belongs, for ten seconds at most.
    std::optional<QRect> shown;
    auto serverRect = [&] {
        return shown ? RECT{shown->left(), shown->top(), shown->right() + 1, shown->bottom() + 1} : RECT{};
    };
    PumpUntil(
        [&] {
            shown = ServerFrame(QtWidgetOf(frame));
            return shown && Near(serverRect(), normal);
        },
        10000);
    ASSERT_TRUE(shown);
    EXPECT_PRED2(Near, serverRect(), normal);
    Still(*frame);
    const RECT restored = NormalRect(*frame);
    ASSERT_TRUE(Close());
    for (int start = 0; start < 2; ++start) {
        ASSERT_NO_FATAL_FAILURE(StartAndWait(false, true)) << start;
        const RECT now = NormalRect(*frame);
        EXPECT_EQ(now.right - now.left, restored.right - restored.left) << "starved start " << start << ": " << Text(now);
        EXPECT_EQ(now.bottom - now.top, restored.bottom - restored.top) << "starved start " << start << ": " << Text(now);
        ASSERT_TRUE(Close());
    }
}

// The RPM window has no place of its own: opened without a stored placement, its frame (title
// bar included) lies below the toolbars, not over Run, Stop and the gain box; also when the
// window manager frames it late.
TEST_F(WindowFrames, TheRpmWindowOpensClearOfTheToolbars)
{
    ASSERT_NO_FATAL_FAILURE(StartAndWait(false));
    QWidget* main = QtWidgetOf(frame);
    const std::optional<QPoint> mainOrigin = xtruth::ClientOrigin(main);
    ASSERT_TRUE(mainOrigin);
    std::vector<QRect> bars;
    for (CWnd* bar : {static_cast<CWnd*>(frame->Toolbar.get()), static_cast<CWnd*>(frame->Toolbar2.get())})
        if (bar != nullptr && bar->IsWindowVisible() && QtWidgetOf(bar)->height() > 0) {
            QWidget* w = QtWidgetOf(bar);
            bars.emplace_back(*mainOrigin + w->mapTo(main, QPoint(0, 0)), w->size());
        }
    ASSERT_FALSE(bars.empty());
    for (bool starved : {false, true}) {
        SCOPED_TRACE(starved ? "starved window manager" : "window manager at ease");
        {
            std::optional<StarvedWindowManager> slow;
            if (starved)
                slow.emplace(display_.OpenboxPid(), 400, 5000);
            frame->OnUtilityRPM();
            AfxPumpMessages(starved ? 1500 : 0);
        }
        CWnd* rpm = frame->GetUtilityWindow(18);
        ASSERT_NE(rpm, nullptr);
        QWidget* top = QtWidgetOf(rpm)->window();
        ASSERT_TRUE(PumpUntil([top] { return top->frameGeometry() != top->geometry(); }, 30000));
        Still(*rpm);
        const std::optional<QRect> outer = ServerFrame(top);
        ASSERT_TRUE(outer);
        for (const QRect& bar : bars)
            EXPECT_FALSE(outer->intersects(bar)) << "frame at " << outer->x() << "," << outer->y() << " "
                                                 << outer->width() << "x" << outer->height() << ", toolbar "
                                                 << bar.x() << "," << bar.y() << " " << bar.width() << "x"
                                                 << bar.height();
        frame->OnUtilityRPM(); // closes it
        frame->Settings.Placements[WindowPlacementIndex(18, 0, false)].PlacementText[0] = '\0';
    }
}

// The generator's style has no maximise box: openbox offers no maximising (nor resizing: the
// style has no sizing border either), and the Motif hints ask for no maximise button. The main
// window's style has one, and it is offered.
TEST_F(WindowFrames, AWindowWithoutAMaximiseBoxCannotBeMaximised)
{
    ASSERT_NO_FATAL_FAILURE(StartAndWait(false));
    EXPECT_NE(AllowedActions(QtWidgetOf(frame)).find("_NET_WM_ACTION_MAXIMIZE_VERT"), std::string::npos);
    frame->OnSignalGenerator();
    ASSERT_NE(frame->SigGen, nullptr);
    QWidget* top = QtWidgetOf(frame->SigGen.get())->window();
    ASSERT_TRUE(PumpUntil([top] { return top->frameGeometry() != top->geometry(); }, 30000));
    Still(*frame->SigGen);
    const std::string actions = AllowedActions(top);
    EXPECT_NE(actions.find("_NET_WM_ACTION_CLOSE"), std::string::npos) << actions;
    EXPECT_EQ(actions.find("MAXIMIZE"), std::string::npos) << actions;
    EXPECT_EQ(actions.find("_NET_WM_ACTION_RESIZE"), std::string::npos) << actions;
    // Window managers that follow the Motif hints neither draw a maximise button nor maximise.
    const std::string motif = xtruth::Output("xprop -id " + std::to_string(top->winId()) + " _MOTIF_WM_HINTS");
    unsigned flags = 0, functions = 0, decorations = 0;
    ASSERT_EQ(std::sscanf(motif.c_str() + std::min(motif.size(), motif.find('=') + 1), " %x , %x , %x", &flags,
                          &functions, &decorations),
              3)
        << motif;
    constexpr unsigned kMwmFunctions = 0x1, kMwmDecorations = 0x2, kMwmAll = 0x1, kMwmFuncMaximize = 0x10,
                       kMwmDecorMaximize = 0x40;
    EXPECT_TRUE((flags & kMwmFunctions) && (flags & kMwmDecorations)) << motif;
    EXPECT_FALSE(functions & (kMwmFuncMaximize | kMwmAll)) << motif;
    EXPECT_FALSE(decorations & (kMwmDecorMaximize | kMwmAll)) << motif;
}

// A utility window can be sized but its style has no maximise box: a double click on its title
// bar, which openbox takes for maximising, leaves it as it was.
TEST_F(WindowFrames, AUtilityWindowIsNotMaximisedFromItsTitleBar)
{
    if (!DurnexToolInstalled("xdotool"))
        DURNEX_SKIP_WITHOUT("xdotool is needed");
    ASSERT_NO_FATAL_FAILURE(StartAndWait(false));
    ASSERT_TRUE(frame->ToggleUtilityWindow(10));
    CWnd* thd = frame->GetUtilityWindow(10);
    ASSERT_NE(thd, nullptr);
    QWidget* top = QtWidgetOf(thd)->window();
    ASSERT_TRUE(PumpUntil([top] { return top->frameGeometry() != top->geometry(); }, 30000));
    Still(*thd);
    const std::optional<QRect> before = ServerFrame(top);
    ASSERT_TRUE(before);
    const std::optional<QPoint> client = xtruth::ClientOrigin(top);
    ASSERT_TRUE(client);
    // The middle of the title bar, between the frame's top and the client's.
    const QPoint title(before->center().x(), (before->top() + client->y()) / 2);
    (void)xtruth::Output("xdotool mousemove " + std::to_string(title.x()) + " " + std::to_string(title.y()) +
                         " click --repeat 2 --delay 80 1");
    AfxPumpMessages(1500);
    EXPECT_FALSE(top->isMaximized());
    EXPECT_EQ(ServerFrame(top), before);
}
