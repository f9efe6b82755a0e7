// The long-operation loop: Esc and clicks reach PeekMessage, other input is held back, the
// window keeps painting, timers and posted messages wait.
#include "platform/core/PostedMessage.h"
#include "platform/core/Resources.h"
#include "platform/ui/LongOperation.h"
#include "support/QtTestAccess.h"
#include "platform/ui/WinApp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QWidget>

#include <thread>
#include <vector>

namespace {
class BusyWnd : public CWnd {
public:
    void OnKeyDown(UINT vk, UINT, UINT) { keys.push_back(vk); }
    void OnPaint()
    {
        ++paints;
        QPainter(&GetSurface()->Image()).fillRect(QRect(0, 0, 10, 10), Qt::green);
    }
    void OnTimer(UINT_PTR) { ++ticks; }
    LRESULT OnPosted(WPARAM, LPARAM) { ++posted; return 0; }
    std::vector<UINT> keys;
    int paints = 0, ticks = 0, posted = 0;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(BusyWnd, CWnd)
    ON_WM_KEYDOWN()
    ON_WM_PAINT()
    ON_WM_TIMER()
    ON_MESSAGE(WM_APP + 1, &BusyWnd::OnPosted)
END_MESSAGE_MAP()

class LongOperation : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxEnsureQtApplication();
        ASSERT_TRUE(wnd.CreateEx(0, nullptr, "Busy", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 200, 100), nullptr, 0));
        AfxPumpMessages();
    }
    void TearDown() override
    {
        wnd.DestroyWindow();
        AfxPumpMessages();
    }
    BusyWnd wnd;
};
} // namespace

TEST_F(LongOperation, ScriptedEscEndsTheLoopAndIsNotDispatched)
{
    int steps = 0;
    AfxPostKeyPress(&wnd, 'A'); // other keys are taken from the queue and ignored
    CancelRequest r = CancelRequest::None;
    for (; steps < 100; ++steps) {
        if (steps == 3)
            AfxPostKeyPress(&wnd, VK_ESCAPE);
        r = AfxCheckCancel(&wnd);
        if (r != CancelRequest::None)
            break;
    }
    EXPECT_EQ(r, CancelRequest::Escape);
    EXPECT_EQ(steps, 3);
    EXPECT_TRUE(wnd.keys.empty()) << "input during the loop is not dispatched to the window";
    AfxPumpMessages();
    EXPECT_TRUE(wnd.keys.empty()) << "and not afterwards either";
    // Normal dispatch resumes after the operation.
    AfxPostKeyPress(&wnd, 'B');
    AfxPumpMessages();
    EXPECT_EQ(wnd.keys, (std::vector<UINT>{'B'}));
}

TEST_F(LongOperation, PendingLeftClickCancelsAndStaysQueuedDuringTheLoop)
{
    AfxPostLeftClick(&wnd, POINT{5, 5});
    EXPECT_EQ(AfxCheckCancel(&wnd), CancelRequest::Click);
    EXPECT_EQ(AfxCheckCancel(&wnd), CancelRequest::Click) << "a click is peeked, not removed";
    MSG msg;
    EXPECT_TRUE(PeekMessage(&msg, wnd.GetSafeHwnd(), WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_LBUTTONDOWN);
    EXPECT_EQ(LOWORD(msg.lParam), 5);
    EXPECT_EQ(AfxCheckCancel(&wnd), CancelRequest::None);
}

TEST_F(LongOperation, WindowsRepaintWhileTimersAndPostsWait)
{
    wnd.SetTimer(7, 10);
    wnd.PostMessage(WM_APP + 1);
    wnd.paints = 0;
    wnd.Invalidate();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 120)
        AfxCheckCancel(&wnd);
    EXPECT_GE(wnd.paints, 1) << "the window stays painted";
    EXPECT_EQ(wnd.ticks, 0);
    EXPECT_EQ(wnd.posted, 0);
    AfxPumpMessages(60);
    EXPECT_EQ(wnd.posted, 1) << "posted messages arrive once the loop is over";
    EXPECT_GE(wnd.ticks, 1);
}

// Layers below the windows post with a gate that decides on arrival, also after a long
// operation held the message back; the gate runs on the user-interface thread, in order.
TEST_F(LongOperation, GatedPostsDecideOnArrivalInOrder)
{
    std::vector<int> gates;
    bool open = true;
    auto gate = [&](int n) {
        return [&, n] {
            gates.push_back(n);
            return open;
        };
    };
    ASSERT_TRUE(PostMessageIf(wnd.GetSafeHwnd(), WM_APP + 1, 0, 0, gate(1)));
    ASSERT_TRUE(PostMessageIf(nullptr, WM_APP + 1, 0, 0, gate(2))); // no window: only the gate runs
    std::thread([&] { PostMessageIf(wnd.GetSafeHwnd(), WM_APP + 1, 0, 0, gate(3)); }).join();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 50)
        AfxCheckCancel(&wnd);
    EXPECT_TRUE(gates.empty()) << "held back by the long operation";
    open = false; // what the gate sees when the messages finally arrive
    PostMessageIf(wnd.GetSafeHwnd(), WM_APP + 1, 0, 0, gate(4));
    AfxPumpMessages(60);
    EXPECT_EQ(gates, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(wnd.posted, 0) << "a gate that says no drops its message";
    open = true;
    PostMessageIf(wnd.GetSafeHwnd(), WM_APP + 1, 0, 0, gate(5));
    AfxPumpMessages(10);
    EXPECT_EQ(wnd.posted, 1);
}

TEST(WaitCursor, NestsAndRestores)
{
    AfxEnsureQtApplication();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        CWaitCursor outer;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            CWaitCursor inner;
        }
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
