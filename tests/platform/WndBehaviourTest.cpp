// Window behaviour the program leans on: creation that fails, geometry and its messages,
// erasing, input filtering, one-shot timers, menus updated before they open, and opening
// files in the desktop's viewer.
#include "platform/core/Resources.h"
#include "platform/core/SystemFolders.h"
#include "platform/ui/Controls.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/GdiWindowDC.h"
#include "support/QtTestAccess.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QWidget>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {
class Refuses : public CWnd {
public:
    int OnCreate(LPCREATESTRUCT) { return -1; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Refuses, CWnd)
    ON_WM_CREATE()
END_MESSAGE_MAP()

class RefusingFrame : public CMDIFrameWnd {
public:
    int OnCreate(LPCREATESTRUCT) { return -1; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(RefusingFrame, CMDIFrameWnd)
    ON_WM_CREATE()
END_MESSAGE_MAP()

class Geometry : public CWnd {
public:
    void OnGetMinMaxInfo(MINMAXINFO* mmi) { mmi->ptMinTrackSize = POINT{120, 90}; }
    void OnWindowPosChanging(WINDOWPOS* pos) { pos->cx = std::max(pos->cx, 150); } // a minimum width
    void OnSize(UINT type, int cx, int cy) { sizes.push_back(CSize(cx, cy)); lastType = type; }
    BOOL OnEraseBkgnd(CDC* dc)
    {
        ++erases;
        EXPECT_EQ(dc, reinterpret_cast<CDC*>(0x1234));
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* msg) override { return msg->message == WM_KEYDOWN && msg->wParam == 'Q'; }
    void OnKeyDown(UINT vk, UINT, UINT) { keys.push_back(vk); }
    void OnTimer(UINT_PTR id)
    {
        KillTimer(id); // the one-shot pattern
        ++ticks;
    }
    HBRUSH OnCtlColor(CDC*, CWnd* ctl, UINT type)
    {
        lastCtl = ctl;
        lastType = type;
        return reinterpret_cast<HBRUSH>(0x42);
    }
    LRESULT OnChildPing(WPARAM, LPARAM) { ++pings; return 0; }
    std::vector<CSize> sizes;
    UINT lastType = 0;
    int erases = 0, ticks = 0, pings = 0;
    std::vector<UINT> keys;
    CWnd* lastCtl = nullptr;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Geometry, CWnd)
    ON_WM_GETMINMAXINFO()
    ON_WM_WINDOWPOSCHANGING()
    ON_WM_SIZE()
    ON_WM_ERASEBKGND()
    ON_WM_KEYDOWN()
    ON_WM_TIMER()
    ON_WM_CTLCOLOR()
    ON_MESSAGE(WM_APP + 5, &Geometry::OnChildPing)
END_MESSAGE_MAP()

class MenuState : public CMDIFrameWnd {
public:
    void OnRecorder() {}
    void OnUpdateRecorder(CCmdUI* ui)
    {
        ui->SetCheck(recorder);
        ui->SetText(recorder ? "Recorder (on)" : "Recorder");
    }
    void OnUpdateRealTime(CCmdUI* ui) { ui->Enable(FALSE); }
    void OnRealTime() {}
    int recorder = 1;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(MenuState, CMDIFrameWnd)
    ON_COMMAND(ID_MODE_RECORDER, &MenuState::OnRecorder)
    ON_UPDATE_COMMAND_UI(ID_MODE_RECORDER, &MenuState::OnUpdateRecorder)
    ON_COMMAND(ID_MODE_REALTIME, &MenuState::OnRealTime)
    ON_UPDATE_COMMAND_UI(ID_MODE_REALTIME, &MenuState::OnUpdateRealTime)
END_MESSAGE_MAP()

struct Qt6App {
    Qt6App()
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
    }
};
} // namespace

TEST(Creation, AWindowRefusingCreationIsNotCreated)
{
    Qt6App qt;
    Refuses w;
    EXPECT_FALSE(w.CreateEx(0, nullptr, "No", WS_OVERLAPPEDWINDOW, CRect(0, 0, 50, 50), nullptr, 0));
    EXPECT_EQ(w.GetSafeHwnd(), nullptr);
    EXPECT_EQ(QtWidgetOf(&w), nullptr);
}

TEST(Creation, AFrameThatFailsToLoadIsLeftToItsCreatorToDelete)
{
    // The creator deletes a frame whose LoadFrame failed; the layer must not have deleted it.
    Qt6App qt;
    auto* frame = new RefusingFrame;
    EXPECT_FALSE(frame->LoadFrame(IDR_MAINFRAME));
    EXPECT_EQ(frame->GetSafeHwnd(), nullptr);
    delete frame; // AddressSanitizer reports a double delete here if the layer deleted it
    AfxPumpMessages();
}

TEST(Geometry, MovesSizesAndTheirMessages)
{
    Qt6App qt;
    Geometry parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "Parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 400, 300), nullptr, 0));
    Geometry child;
    ASSERT_TRUE(child.Create(nullptr, "Child", WS_VISIBLE, CRect(10, 20, 210, 120), &parent, 77));
    EXPECT_EQ(child.GetDlgCtrlID(), 77);
    EXPECT_EQ(parent.GetDlgItem(77), &child);
    EXPECT_EQ(QtWidgetOf(&child)->minimumSize(), QSize(120, 90)) << "WM_GETMINMAXINFO's tracking size";
    ASSERT_FALSE(child.sizes.empty());
    EXPECT_EQ(child.sizes.back(), CSize(200, 100)) << "WM_SIZE follows creation";

    child.MoveWindow(5, 6, 100, 140);
    AfxPumpMessages();
    CRect r;
    child.GetClientRect(&r);
    EXPECT_EQ(r, CRect(0, 0, 150, 140)) << "WM_WINDOWPOSCHANGING may change the size";
    EXPECT_EQ(child.sizes.back(), CSize(150, 140));
    EXPECT_EQ(child.lastType, SIZE_RESTORED);

    CPoint p(3, 4);
    child.ClientToScreen(&p);
    parent.ScreenToClient(&p);
    EXPECT_EQ(p, CPoint(8, 10)) << "child client (3,4) is parent client (5+3, 6+4)";
    CRect wr;
    child.GetWindowRect(&wr);
    parent.ScreenToClient(&wr);
    EXPECT_EQ(wr, CRect(5, 6, 155, 146));

    child.SetWindowPos(nullptr, 50, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    child.GetWindowRect(&wr);
    parent.ScreenToClient(&wr);
    EXPECT_EQ(wr.TopLeft(), CPoint(50, 60));
    EXPECT_EQ(wr.Size(), CSize(150, 140));

    child.ShowWindow(SW_HIDE);
    EXPECT_FALSE(child.IsWindowVisible());
    EXPECT_EQ(child.GetStyle() & WS_VISIBLE, 0u);
    child.EnableWindow(FALSE);
    EXPECT_FALSE(child.IsWindowEnabled());
    EXPECT_EQ(child.GetStyle() & WS_DISABLED, WS_DISABLED);
    child.DestroyWindow();
    parent.DestroyWindow();
}

TEST(Geometry, EraseIsAskedOncePerInvalidationWithErase)
{
    Qt6App qt;
    Geometry w;
    ASSERT_TRUE(w.CreateEx(0, nullptr, "Erase", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 100, 100), nullptr, 0));
    QtWidgetOf(&w)->grab(); // the first paint
    EXPECT_FALSE(w.TakeErasePending());
    w.Invalidate(FALSE);
    EXPECT_FALSE(w.TakeErasePending());
    w.Invalidate(TRUE);
    EXPECT_TRUE(w.TakeErasePending());
    EXPECT_FALSE(w.TakeErasePending()) << "taken once";
    // The paint DC sends WM_ERASEBKGND with itself as wParam.
    EXPECT_EQ(w.SendMessage(WM_ERASEBKGND, 0x1234, 0), TRUE);
    EXPECT_EQ(w.erases, 1);
    w.DestroyWindow();
}

TEST(Input, PreTranslateMessageEatsInputAndOneShotTimersFireOnce)
{
    Qt6App qt;
    Geometry w;
    ASSERT_TRUE(w.CreateEx(0, nullptr, "Input", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 100, 100), nullptr, 0));
    for (Qt::Key k : {Qt::Key_Q, Qt::Key_W}) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(QtClientWidgetOf(&w), &press);
    }
    EXPECT_EQ(w.keys, (std::vector<UINT>{'W'}));

    w.SetTimer(201, 10);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 150)
        AfxPumpMessages(10);
    EXPECT_EQ(w.ticks, 1);
    w.DestroyWindow();
}

TEST(Input, ControlColoursAndDescendantsReachTheParent)
{
    Qt6App qt;
    Geometry parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "Parent", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100), nullptr, 0));
    Geometry a, b;
    ASSERT_TRUE(a.Create(nullptr, "", WS_VISIBLE, CRect(0, 0, 10, 10), &parent, 1));
    ASSERT_TRUE(b.Create(nullptr, "", WS_VISIBLE, CRect(0, 0, 10, 10), &a, 2));
    AFX_CTLCOLOR cc;
    cc.pWnd = &a;
    cc.nCtlType = CTLCOLOR_EDIT;
    EXPECT_EQ(parent.SendMessage(WM_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&cc)), 0x42);
    EXPECT_EQ(parent.lastCtl, &a);
    EXPECT_EQ(parent.lastType, CTLCOLOR_EDIT);

    parent.SendMessageToDescendants(WM_APP + 5);
    EXPECT_EQ(a.pings, 1);
    EXPECT_EQ(b.pings, 1);
    EXPECT_EQ(parent.pings, 0);
    EXPECT_TRUE(parent.IsChild(&b));
    EXPECT_FALSE(b.IsChild(&parent));
    parent.DestroyWindow();
    EXPECT_FALSE(IsWindow(b.GetSafeHwnd()));
}

TEST(Menus, PopupsShowWhatTheUpdateHandlersSayWhenTheyOpen)
{
    Qt6App qt;
    CWinApp app;
    auto* frame = new MenuState;
    ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
    frame->ShowWindow(SW_SHOW);
    QMenu* mode = nullptr;
    for (QAction* a : QtMainWindowOf(frame)->menuBar()->actions())
        if (a->text() == "&Mode")
            mode = a->menu();
    ASSERT_NE(mode, nullptr);
    emit mode->aboutToShow(); // what Qt does as the menu opens
    QAction *realTime = nullptr, *recorder = nullptr, *post = nullptr;
    for (QAction* a : mode->actions()) {
        if (a->data().toUInt() == ID_MODE_REALTIME) realTime = a;
        if (a->data().toUInt() == ID_MODE_RECORDER) recorder = a;
        if (a->data().toUInt() == ID_MODE_POSTPROCESS) post = a;
    }
    ASSERT_TRUE(realTime && recorder && post);
    EXPECT_FALSE(realTime->isEnabled());
    EXPECT_TRUE(recorder->isEnabled());
    EXPECT_TRUE(recorder->isChecked());
    EXPECT_EQ(recorder->text(), "Recorder (on)");
    EXPECT_FALSE(post->isEnabled()) << "no handler anywhere: disabled";

    frame->recorder = 0;
    emit mode->aboutToShow();
    for (QAction* a : mode->actions())
        if (a->data().toUInt() == ID_MODE_RECORDER) {
            EXPECT_FALSE(a->isChecked());
            EXPECT_EQ(a->text(), "Recorder");
        }
    frame->DestroyWindow();
    AfxPumpMessages();
}

TEST(Menus, InsertModifyAndRadioChecks)
{
    CMenu m;
    ASSERT_TRUE(m.CreatePopupMenu());
    m.AppendMenu(MF_STRING, 10, "Ten");
    m.AppendMenu(MF_STRING, 12, "Twelve");
    EXPECT_TRUE(m.InsertMenu(1, MF_BYPOSITION | MF_STRING, 11, "Eleven"));
    EXPECT_TRUE(m.InsertMenu(10, MF_BYCOMMAND | MF_SEPARATOR));
    ASSERT_EQ(m.GetMenuItemCount(), 4u);
    EXPECT_EQ(m.GetMenuItemID(0), 0u); // the separator went in front of 10
    EXPECT_TRUE(m.CheckMenuRadioItem(10, 12, 11, MF_BYCOMMAND));
    EXPECT_EQ(m.GetMenuState(11, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(m.GetMenuState(10, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_TRUE(m.ModifyMenu(12, MF_BYCOMMAND | MF_STRING, 13, "Thirteen"));
    EXPECT_EQ(m.GetMenuItemID(3), 13u);
    EXPECT_EQ(m.GetMenuString(13, MF_BYCOMMAND), "Thirteen");
    EXPECT_FALSE(m.ModifyMenu(99, MF_BYCOMMAND, 1, "x"));
    EXPECT_FALSE(m.RemoveMenu(9, MF_BYPOSITION));
}

TEST(DesktopViewer, PassesThePathAsOneArgumentWithoutAShell)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("durnex-viewer-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path log = dir / "args.txt";
    {
        std::ofstream script(dir / "xdg-open");
        script << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '" << log.string() << "'\n";
    }
    fs::permissions(dir / "xdg-open", fs::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);
    const std::string tricky = "/tmp/a file; touch " + (dir / "pwned").string();
    EXPECT_TRUE(OpenInDesktopViewer(tricky));
    setenv("PATH", oldPath.c_str(), 1);
    for (int i = 0; i < 200 && !fs::exists(log); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(log);
    std::string count, arg;
    std::getline(in, count);
    std::getline(in, arg);
    EXPECT_EQ(count, "1");
    EXPECT_EQ(arg, tricky);
    EXPECT_FALSE(fs::exists(dir / "pwned"));
    fs::remove_all(dir);
}

namespace {
// Counts the paint events of widgets and the area they asked to paint.
struct PaintSpy : QObject {
    std::map<QObject*, int> paints;
    std::map<QObject*, QRegion> areas;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) {
            ++paints[o];
            areas[o] += static_cast<QPaintEvent*>(e)->region();
        }
        return false;
    }
};
} // namespace

// A block's figures drawn outside WM_PAINT (trace, grid lines, read-outs) reach the screen as one
// repaint of the window, covering every figure; a scroll bar beside the clipped figures is not
// repainted for them, nor one drawn under (its area is hidden).
TEST(Painting, FiguresOutsidePaintShowInOneRepaintAndLeaveTheScrollBarAlone)
{
    Qt6App qt;
    CWnd w;
    ASSERT_TRUE(w.CreateEx(0, nullptr, "Figures", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 240, 160), nullptr, 0));
    CScrollBar bar;
    ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | SBS_HORZ, CRect(0, 100, 200, 116), &w, 5));
    AfxPumpMessages(50);
    PaintSpy spy;
    QWidget* client = QtClientWidgetOf(&w);
    QWidget* scroll = QtWidgetOf(&bar);
    client->installEventFilter(&spy);
    scroll->installEventFilter(&spy);
    std::vector<QRect> figures;
    {
        CClientDC dc(&w);
        dc.IntersectClipRect(0, 0, 200, 100); // the plot area above the bar
        CPen pen(PS_SOLID, 3, RGB(200, 0, 0));
        dc.SelectObject(&pen);
        for (int i = 0; i < 20; ++i) {
            dc.FillSolidRect(5 * i, 3 * i, 6, 4, RGB(0, 10 * i, 0));
            figures.emplace_back(5 * i, 3 * i, 6, 4);
        }
        dc.MoveTo(0, 99); // a trace along the bottom edge: its pen reaches into the bar
        dc.LineTo(199, 99);
    }
    {
        CClientDC dc(&w);
        dc.FillSolidRect(20, 104, 50, 8, RGB(1, 2, 3)); // under the bar: not seen
    }
    AfxPumpMessages(50);
    EXPECT_EQ(spy.paints[client], 1);
    EXPECT_EQ(spy.paints[scroll], 0);
    for (const QRect& f : figures)
        EXPECT_TRUE(spy.areas[client].contains(f)) << f.x() << "," << f.y();
    EXPECT_TRUE(spy.areas[client].contains(QRect(0, 99, 199, 1)));
    client->removeEventFilter(&spy);
    scroll->removeEventFilter(&spy);
    w.DestroyWindow();
}
