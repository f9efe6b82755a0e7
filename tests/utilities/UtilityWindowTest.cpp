// Utility windows as the frame uses them: tool windows it owns that ask it to close them
// (WM_UTILITY_CLOSING) instead of closing themselves.
#include "records/AppMessages.h"
#include "utilities/CAnalysisView.h"
#include "utilities/CLeqAnalysisView.h"
#include "utilities/CSoundPowerAnalysisView.h"
#include "utilities/TReverb.h"
#include "support/MdiFrameFixture.h"
#include "utilities/TTHDFreq.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <vector>

namespace {
class UtilityFrame : public CMDIFrameWnd {
public:
    std::vector<LPARAM> closing;
    bool deleteOnClosing = false;
    LRESULT OnUtilityClosing(WPARAM, LPARAM lParam)
    {
        closing.push_back(lParam);
        // As the frame does: the window is deleted while its close message is handled.
        if (deleteOnClosing && lParam)
            delete reinterpret_cast<CWnd*>(lParam);
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};
} // namespace

BEGIN_MESSAGE_MAP(UtilityFrame, CMDIFrameWnd)
    ON_MESSAGE(WM_UTILITY_CLOSING, &UtilityFrame::OnUtilityClosing)
END_MESSAGE_MAP()

namespace {
class UtilityWindows : public MdiFrameTest<UtilityFrame, 900, 700> {};
} // namespace

TEST_F(UtilityWindows, AnAnalysisViewOpensWithItsKindsTitleAndAsksTheFrameToCloseIt)
{
    auto* view = new CAnalysisView;
    ASSERT_TRUE(view->Create(frame, 120, 80, 0, 0, 7));
    AfxPumpMessages();
    EXPECT_EQ(view->GetKind(), 7);
    EXPECT_EQ(view->GetWindowTextString(), "Peak Frequency");
    EXPECT_TRUE(view->IsWindowVisible());
    EXPECT_EQ(view->GetOwner(), frame);

    const HWND h = view->GetSafeHwnd();
    view->SendMessage(WM_CLOSE);
    ASSERT_EQ(frame->closing.size(), 1u);
    EXPECT_EQ(frame->closing[0], reinterpret_cast<LPARAM>(view));
    EXPECT_TRUE(IsWindow(h)); // the frame decides

    // The close box goes the same way.
    QtWidgetOf(view)->close();
    AfxPumpMessages();
    EXPECT_EQ(frame->closing.size(), 2u);
    EXPECT_TRUE(IsWindow(h));

    // The frame closes it by deleting it.
    delete view;
    AfxPumpMessages();
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(UtilityWindows, KindTitlesFollowTheTable)
{
    EXPECT_STREQ(CAnalysisView::KindTitle(0), "THD");
    EXPECT_STREQ(CAnalysisView::KindTitle(1), "THD+N");
    EXPECT_STREQ(CAnalysisView::KindTitle(4), "SINAD");
    EXPECT_STREQ(CAnalysisView::KindTitle(8), "Peak Level");
    EXPECT_STREQ(CAnalysisView::KindTitle(9), "Total Power");
    EXPECT_STREQ(CAnalysisView::KindTitle(10), "RPM");
    EXPECT_STREQ(CAnalysisView::KindTitle(11), "");
}

TEST_F(UtilityWindows, LeqAndSoundPowerWindowsOpenAndAskToClose)
{
    auto* leq = new CLeqAnalysisView;
    ASSERT_TRUE(leq->Create(frame, 10, 10, 110, 30));
    auto* power = new CSoundPowerAnalysisView;
    ASSERT_TRUE(power->Create(frame, 40, 40, 140, 60));
    EXPECT_EQ(leq->GetWindowTextString(), "Leq Analysis");
    EXPECT_EQ(power->GetWindowTextString(), "Sound Power Analysis");
    // Without a frame's records behind them the frame's refresh and reset calls are harmless.
    leq->Reset();
    leq->Process(false);
    leq->Process(true);
    power->Update();
    power->Reset();
    leq->SendMessage(WM_CLOSE);
    power->SendMessage(WM_CLOSE);
    ASSERT_EQ(frame->closing.size(), 2u);
    EXPECT_EQ(frame->closing[0], reinterpret_cast<LPARAM>(leq));
    EXPECT_EQ(frame->closing[1], reinterpret_cast<LPARAM>(power));
    delete leq;
    delete power;
}

TEST_F(UtilityWindows, ReverbAndThdFreqAreMdiChildrenThatReportClosingAsUtilities)
{
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW;
    auto* reverb = new TReverb;
    ASSERT_TRUE(reverb->CreateReverbWindow(style, CRect(0, 0, 500, 400), frame));
    auto* thd = new TTHDFreq;
    ASSERT_TRUE(thd->Create(style, CRect(30, 30, 530, 430), frame));
    EXPECT_EQ(reverb->GetMDIFrame(), frame);
    EXPECT_EQ(reverb->GetWindowTextString(), "Reverberation Time (RT-60)");
    EXPECT_EQ(thd->GetWindowTextString(), "THD+N vs Frequency");
    // Nothing was measured, so nothing is lost by closing.
    EXPECT_TRUE(reverb->QuerySave());
    EXPECT_TRUE(thd->QuerySave());

    const HWND h = reverb->GetSafeHwnd();
    reverb->SendMessage(WM_CLOSE);
    thd->SendMessage(WM_CLOSE);
    ASSERT_EQ(frame->closing.size(), 2u);
    EXPECT_EQ(frame->closing[0], reinterpret_cast<LPARAM>(reverb));
    EXPECT_EQ(frame->closing[1], reinterpret_cast<LPARAM>(thd));
    EXPECT_TRUE(IsWindow(h));

    // Owned by the frame's pointers: deleting them takes the windows along, once.
    delete reverb;
    delete thd;
    AfxPumpMessages();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(frame->MDIGetActive(), nullptr);
}

TEST_F(UtilityWindows, TheFrameMayDeleteAWindowWhileItReportsClosing)
{
    frame->deleteOnClosing = true;
    auto* a = new CAnalysisView;
    ASSERT_TRUE(a->Create(frame, 0, 0, 0, 0, 0));
    const HWND ha = a->GetSafeHwnd();
    a->SendMessage(WM_CLOSE);
    AfxPumpMessages();
    EXPECT_FALSE(IsWindow(ha));

    auto* b = new CLeqAnalysisView;
    ASSERT_TRUE(b->Create(frame, 0, 0, 0, 0));
    const HWND hb = b->GetSafeHwnd();
    QtWidgetOf(b)->close(); // the close box, inside Qt's close event
    AfxPumpMessages();
    EXPECT_FALSE(IsWindow(hb));
    EXPECT_EQ(frame->closing.size(), 2u);
}
