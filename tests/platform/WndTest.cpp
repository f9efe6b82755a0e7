// Window core: message maps and their dispatch, command routing with update-UI, timers,
// posting from other threads, painting onto the surface.
#include "platform/core/Resources.h"
#include "platform/core/Thread.h"
#include "platform/ui/FrameWnd.h"
#include "support/QtTestAccess.h"
#include "platform/ui/WinApp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <atomic>
#include <string>
#include <vector>

namespace {
constexpr UINT WM_TEST_PING = WM_USER + 0x1A4;
constexpr UINT ID_SHARED = 40001;   // handled by child, frame and application
constexpr UINT ID_FRAME_ONLY = 40002;
constexpr UINT ID_APP_ONLY = 40003;
constexpr UINT ID_DISABLED = 40004; // its update handler disables it
constexpr UINT ID_RANGE_FIRST = 40010;
constexpr UINT ID_NOBODY = 40020;

std::vector<std::string> g_log;

class TestApp : public CWinApp {
public:
    void OnShared() { g_log.push_back("app:shared"); }
    void OnAppOnly() { g_log.push_back("app:apponly"); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TestApp, CWinApp)
    ON_COMMAND(ID_SHARED, &TestApp::OnShared)
    ON_COMMAND(ID_APP_ONLY, &TestApp::OnAppOnly)
END_MESSAGE_MAP()

class TestFrame : public CMDIFrameWnd {
public:
    void OnShared() { g_log.push_back("frame:shared"); }
    void OnFrameOnly() { g_log.push_back("frame:frameonly"); }
    void OnDisabled() { g_log.push_back("frame:disabled"); }
    void OnUpdateDisabled(CCmdUI* ui) { ui->Enable(FALSE); }
    void OnUpdateFrameOnly(CCmdUI* ui) { ui->SetCheck(1); }
    void OnRange(UINT id) { g_log.push_back("frame:range" + std::to_string(id - ID_RANGE_FIRST)); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TestFrame, CMDIFrameWnd)
    ON_COMMAND(ID_SHARED, &TestFrame::OnShared)
    ON_COMMAND(ID_FRAME_ONLY, &TestFrame::OnFrameOnly)
    ON_COMMAND(ID_DISABLED, &TestFrame::OnDisabled)
    ON_UPDATE_COMMAND_UI(ID_DISABLED, &TestFrame::OnUpdateDisabled)
    ON_UPDATE_COMMAND_UI(ID_FRAME_ONLY, &TestFrame::OnUpdateFrameOnly)
    ON_COMMAND_RANGE(ID_RANGE_FIRST, ID_RANGE_FIRST + 3, &TestFrame::OnRange)
END_MESSAGE_MAP()

class TestChild : public CMDIChildWnd {
public:
    bool handleShared = true;
    void OnShared() { g_log.push_back("child:shared"); }
    void OnUpdateShared(CCmdUI* ui)
    {
        if (!handleShared)
            ui->ContinueRouting();
        else
            ui->Enable(TRUE);
    }
    void OnPaint()
    {
        ++paints;
        lastPaint = GetPaintRect();
        QPainter p(&GetSurface()->Image());
        p.fillRect(QRect(0, 0, 40, 30), QColor(255, 0, 0));
    }
    void OnTimer(UINT_PTR id) { timerIds.push_back(id); }
    LRESULT OnPing(WPARAM w, LPARAM l)
    {
        pings.push_back(int(w));
        pingThreads.push_back(QThread::currentThread() == qApp->thread());
        return l + 1;
    }
    void OnLButtonDown(UINT flags, CPoint pt)
    {
        clicks.push_back(pt);
        clickFlags = flags;
    }
    int paints = 0;
    RECT lastPaint{};
    std::vector<UINT_PTR> timerIds;
    std::vector<int> pings;
    std::vector<bool> pingThreads;
    std::vector<CPoint> clicks;
    UINT clickFlags = 0;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TestChild, CMDIChildWnd)
    ON_COMMAND(ID_SHARED, &TestChild::OnShared)
    ON_UPDATE_COMMAND_UI(ID_SHARED, &TestChild::OnUpdateShared)
    ON_WM_PAINT()
    ON_WM_TIMER()
    ON_WM_LBUTTONDOWN()
    ON_MESSAGE(WM_TEST_PING, &TestChild::OnPing)
END_MESSAGE_MAP()

class WindowCore : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
    }
    void SetUp() override
    {
        g_log.clear();
        frame = new TestFrame;
        ASSERT_TRUE(frame->Create(nullptr, "Test frame", WS_OVERLAPPEDWINDOW, CRect(0, 0, 800, 600)));
        app.m_pMainWnd = frame;
        frame->ShowWindow(SW_SHOW);
        child = new TestChild;
        ASSERT_TRUE(child->Create(nullptr, "Child", WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, CRect(10, 10, 310, 210),
                                  frame));
        hFrame = frame->GetSafeHwnd();
        AfxPumpMessages();
    }
    void TearDown() override
    {
        if (CWnd::FromHandle(hFrame))
            frame->DestroyWindow(); // deletes the frame and its children
        app.m_pMainWnd = nullptr;
        AfxPumpMessages();
    }
    TestApp app;
    TestFrame* frame = nullptr;
    TestChild* child = nullptr;
    HWND hFrame = nullptr;
};
} // namespace

TEST_F(WindowCore, CommandsRouteChildThenFrameThenApplication)
{
    frame->ExecuteCommand(ID_SHARED);
    frame->ExecuteCommand(ID_FRAME_ONLY);
    frame->ExecuteCommand(ID_APP_ONLY);
    EXPECT_EQ(g_log, (std::vector<std::string>{"child:shared", "frame:frameonly", "app:apponly"}));

    // Without an active child the frame is first.
    g_log.clear();
    child->DestroyWindow();
    AfxPumpMessages();
    EXPECT_EQ(frame->MDIGetActive(), nullptr);
    frame->ExecuteCommand(ID_SHARED);
    EXPECT_EQ(g_log, (std::vector<std::string>{"frame:shared"}));
}

TEST_F(WindowCore, UpdateHandlersDecideEnablingAndChecks)
{
    frame->ExecuteCommand(ID_DISABLED);
    EXPECT_TRUE(g_log.empty()) << "a command its update handler disables must not run";

    CTestCmdUI ui;
    ui.m_nID = ID_FRAME_ONLY;
    EXPECT_TRUE(frame->OnCmdMsg(ID_FRAME_ONLY, CN_UPDATE_COMMAND_UI, &ui, nullptr));
    EXPECT_EQ(ui.m_nCheck, 1);

    // A child's update handler that continues routing lets the frame handle the command.
    child->handleShared = false;
    CTestCmdUI shared;
    shared.m_nID = ID_SHARED;
    EXPECT_FALSE(frame->OnCmdMsg(ID_SHARED, CN_UPDATE_COMMAND_UI, &shared, nullptr));

    // Menu items: no handler anywhere means disabled; a handler means enabled.
    CMenu popup;
    ASSERT_TRUE(popup.CreatePopupMenu());
    popup.AppendMenu(MF_STRING, ID_NOBODY, "Nobody");
    popup.AppendMenu(MF_STRING, ID_APP_ONLY, "App");
    popup.AppendMenu(MF_STRING, ID_DISABLED, "Disabled");
    popup.AppendMenu(MF_STRING, ID_FRAME_ONLY, "Checked");
    frame->UpdateMenuUI(&popup);
    EXPECT_EQ(popup.GetMenuState(0, MF_BYPOSITION) & MF_GRAYED, MF_GRAYED);
    EXPECT_EQ(popup.GetMenuState(1, MF_BYPOSITION) & MF_GRAYED, 0u);
    EXPECT_EQ(popup.GetMenuState(2, MF_BYPOSITION) & MF_GRAYED, MF_GRAYED);
    EXPECT_EQ(popup.GetMenuState(3, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED), MF_CHECKED);
}

TEST_F(WindowCore, CommandRangePassesTheId)
{
    frame->ExecuteCommand(ID_RANGE_FIRST + 2);
    frame->ExecuteCommand(ID_RANGE_FIRST + 4); // outside the range: nobody
    EXPECT_EQ(g_log, (std::vector<std::string>{"frame:range2"}));
}

TEST_F(WindowCore, SendDispatchesAtOncePostQueues)
{
    EXPECT_EQ(child->SendMessage(WM_TEST_PING, 7, 41), 42);
    EXPECT_EQ(child->pings, (std::vector<int>{7}));
    EXPECT_TRUE(child->PostMessage(WM_TEST_PING, 8, 0));
    EXPECT_EQ(child->pings.size(), 1u) << "posted messages wait for the loop";
    AfxPumpMessages();
    EXPECT_EQ(child->pings, (std::vector<int>{7, 8}));
    // A window that is gone takes no posts, and a stale handle reaches nothing.
    const HWND h = child->GetSafeHwnd();
    child->DestroyWindow();
    EXPECT_FALSE(::PostMessage(h, WM_TEST_PING, 9, 0));
    EXPECT_EQ(::SendMessage(h, WM_TEST_PING, 9, 0), 0);
    EXPECT_EQ(CWnd::FromHandle(h), nullptr);
}

TEST_F(WindowCore, PostsFromAnotherThreadArriveInOrderOnTheWindowsThread)
{
    struct Job {
        HWND target;
        std::atomic<int> sent{0};
    } job{child->GetSafeHwnd()};
    CWinThread* t = AfxBeginThread(
        [](LPVOID p) -> UINT {
            auto* j = static_cast<Job*>(p);
            for (int i = 0; i < 50; ++i)
                if (::PostMessage(j->target, WM_TEST_PING, WPARAM(i), 0))
                    ++j->sent;
            return 5;
        },
        &job, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(t, nullptr);
    t->m_bAutoDelete = FALSE;
    t->ResumeThread();
    ASSERT_TRUE(t->Join(5000));
    EXPECT_EQ(t->GetExitCode(), 5u);
    delete t;
    AfxPumpMessages();
    ASSERT_EQ(job.sent.load(), 50);
    ASSERT_EQ(child->pings.size(), 50u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(child->pings[size_t(i)], i);
        EXPECT_TRUE(child->pingThreads[size_t(i)]);
    }
}

TEST_F(WindowCore, TimersTickByIdUntilKilled)
{
    EXPECT_EQ(child->SetTimer(101, 10), 101u);
    EXPECT_EQ(child->SetTimer(102, 10), 102u);
    QElapsedTimer clock;
    clock.start();
    auto count = [&](UINT_PTR id) { return std::count(child->timerIds.begin(), child->timerIds.end(), id); };
    while ((count(101) < 3 || count(102) < 3) && clock.elapsed() < 5000)
        AfxPumpMessages(20);
    EXPECT_GE(count(101), 3);
    EXPECT_GE(count(102), 3);
    EXPECT_TRUE(child->KillTimer(101));
    EXPECT_FALSE(child->KillTimer(101)) << "a timer is killed once";
    const auto before101 = count(101), before102 = count(102);
    clock.restart();
    while (count(102) < before102 + 3 && clock.elapsed() < 5000)
        AfxPumpMessages(20);
    EXPECT_EQ(count(101), before101);
    EXPECT_GE(count(102), before102 + 3);
    // Destroying the window stops its timers.
    const HWND h = child->GetSafeHwnd();
    child->DestroyWindow();
    AfxPumpMessages(50);
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowCore, PaintHandlerDrawsOnTheSurfaceWhichIsPresented)
{
    QWidget* client = QtClientWidgetOf(child);
    ASSERT_NE(client, nullptr);
    const QImage shown = client->grab().toImage();
    EXPECT_GE(child->paints, 1);
    ASSERT_GT(shown.width(), 40);
    const qreal dpr = shown.devicePixelRatio();
    EXPECT_EQ(QColor(shown.pixel(int(5 * dpr), int(5 * dpr))), QColor(255, 0, 0));
    EXPECT_EQ(child->GetSurface()->Width(), client->width());
    EXPECT_EQ(child->GetSurface()->Height(), client->height());

    // Invalidating part of the window repaints just that part.
    child->paints = 0;
    CRect part(50, 20, 70, 40);
    child->InvalidateRect(&part, FALSE);
    child->UpdateWindow();
    EXPECT_EQ(child->paints, 1);
    EXPECT_EQ(CRect(child->lastPaint), part);

    // Drawing outside WM_PAINT shows without one.
    child->paints = 0;
    {
        QPainter p(&child->GetSurface()->Image());
        p.fillRect(QRect(100, 60, 10, 10), QColor(0, 0, 255));
    }
    child->GetSurface()->Changed(QRect(100, 60, 10, 10));
    const QImage again = client->grab().toImage();
    EXPECT_EQ(child->paints, 0);
    EXPECT_EQ(QColor(again.pixel(int(105 * dpr), int(65 * dpr))), QColor(0, 0, 255));
}

// The surface goes straight into the window's backing store. It must land as a painter on the
// widget puts it (a grab draws through one): at the window's place, over what lies beneath,
// and under a window that overlaps it, for the whole window and for a small change.
TEST_F(WindowCore, SurfaceReachesTheBackingStoreAsAPainterDrawsIt)
{
    auto* upper = new TestChild;
    ASSERT_TRUE(upper->Create(nullptr, "Upper", WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, CRect(200, 120, 420, 300),
                              frame));
    AfxPumpMessages();
    QWidget* client = QtClientWidgetOf(child);
    QWidget* above = QtClientWidgetOf(upper);
    ASSERT_NE(client, nullptr);
    ASSERT_NE(above, nullptr);
    QBackingStore* store = client->window()->backingStore();
    ASSERT_NE(store, nullptr);
    ASSERT_EQ(store->paintDevice()->devType(), int(QInternal::Image));
    const auto& shown = *static_cast<const QImage*>(store->paintDevice());
    auto compare = [&](QWidget* w, const QRegion& where) {
        const QImage drawn = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QPoint at = w->mapTo(w->window(), QPoint(0, 0));
        int differing = 0, compared = 0;
        for (const QRect& r : where)
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x, ++compared)
                    differing += (shown.pixel(x + at.x(), y + at.y()) | 0xFF000000u) != drawn.pixel(x, y);
        EXPECT_GT(compared, 500);
        return differing;
    };
    for (const QRect& change : {QRect(), QRect(150, 90, 37, 23)}) {
        std::uint32_t seed = change.isNull() ? 7u : 11u;
        QImage& image = child->GetSurface()->Image();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                image.setPixel(x, y, 0xFF000000u | (seed >> 8));
            }
        child->GetSurface()->Changed(change);
        AfxPumpMessages();
        const QRegion visible = client->visibleRegion();
        ASSERT_FALSE(visible.isEmpty());
        // The upper window covers part of the lower one, which shows only around it.
        EXPECT_NE(visible, QRegion(client->rect()));
        const QRegion presented = change.isNull() ? visible : visible & change;
        EXPECT_EQ(compare(client, presented), 0);
        EXPECT_EQ(compare(above, above->visibleRegion()), 0);
    }
}

TEST_F(WindowCore, MouseInputBecomesMessagesWithKeyFlags)
{
    QWidget* client = QtClientWidgetOf(child);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(12, 34), client->mapToGlobal(QPointF(12, 34)), Qt::LeftButton,
                      Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier);
    QApplication::sendEvent(client, &press);
    ASSERT_EQ(child->clicks.size(), 1u);
    EXPECT_EQ(child->clicks[0], CPoint(12, 34));
    EXPECT_EQ(child->clickFlags, MK_LBUTTON | MK_CONTROL | MK_SHIFT);
}

TEST_F(WindowCore, ClosingAFrameDestroysItAndItsChildren)
{
    const HWND hChild = child->GetSafeHwnd();
    frame->SendMessage(WM_CLOSE);
    EXPECT_FALSE(IsWindow(hFrame));
    EXPECT_FALSE(IsWindow(hChild));
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    AfxPumpMessages();
}

TEST_F(WindowCore, SendFromAnotherThreadRunsOnTheWindowsThreadAndWaits)
{
    struct Job {
        CWnd* target;
        LRESULT result = 0;
    } job{child};
    CWinThread* t = AfxBeginThread(
        [](LPVOID p) -> UINT {
            auto* j = static_cast<Job*>(p);
            j->result = j->target->SendMessage(WM_TEST_PING, 3, 99);
            return 0;
        },
        &job, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    t->m_bAutoDelete = FALSE;
    t->ResumeThread();
    QElapsedTimer clock;
    clock.start();
    while (!t->IsFinished() && clock.elapsed() < 5000)
        AfxPumpMessages(5);
    ASSERT_TRUE(t->Join(1000));
    delete t;
    EXPECT_EQ(job.result, 100);
    ASSERT_EQ(child->pings, (std::vector<int>{3}));
    EXPECT_TRUE(child->pingThreads[0]);
}
