// The long-operation loop: Esc and clicks reach PeekMessage, other input is held back, the
// window keeps painting, timers and posted messages wait.
#include "platform/core/Resources.h"
#include "platform/ui/LongOperation.h"
#include "platform/ui/Surface.h"
#include "platform/ui/WinApp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QWidget>

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
