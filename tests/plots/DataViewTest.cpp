// The value window: its rows and scrolling, its titles, and how it asks its plot to close it.
#include "records/AppMessages.h"
#include "records/TimeSeriesPlotSettings.h"
#include "dsp/SpectralTestSupport.h"
#include "support/MdiFrameFixture.h"
#include "support/QtTestAccess.h"
#include "plots/CDataView.h"
#include "wave/TSampleBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace spectral_test;

namespace {
class ValueOwnerFrame : public CMDIFrameWnd {
public:
    std::vector<LPARAM> closing;
    LRESULT OnDataViewClosing(WPARAM, LPARAM lParam)
    {
        closing.push_back(lParam);
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};
} // namespace

BEGIN_MESSAGE_MAP(ValueOwnerFrame, CMDIFrameWnd)
    ON_MESSAGE(WM_DATAVIEW_CLOSING, &ValueOwnerFrame::OnDataViewClosing)
END_MESSAGE_MAP()

namespace {
class DataViews : public MdiFrameTest<ValueOwnerFrame, 900, 700> {
protected:
    std::unique_ptr<CDataView> OpenSeriesView()
    {
        auto view = std::make_unique<CDataView>();
        EXPECT_TRUE(view->Create(frame, CRect(100, 100, 0, 0), nullptr, 3, false, 1));
        DataViewSeriesSource series;
        series.buffer = &buffer;
        series.settings = &settings;
        view->SetSeriesSource(series);
        AfxPumpMessages();
        return view;
    }
    TSampleBuffer buffer{4000, TPcmFormat(4000, 1, 2), 1, false};
    TimeSeriesPlotSettings settings;
};
} // namespace

TEST_F(DataViews, ScrollingMovesByRowsAndPagesWithinTheItems)
{
    settings.TimeSeriesDataSource = 1;
    auto view = OpenSeriesView();
    EXPECT_EQ(view->GetWindowTextString(), "Time Series - Ch 3");
    EXPECT_EQ(view->ItemCount(), 4001);
    const int visible = view->VisibleRows();
    ASSERT_GT(visible, 0);
    view->SendMessage(WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(view->GetScrollBar()->GetSafeHwnd()));
    EXPECT_EQ(view->GetScrollPosition(), 12);
    view->SendMessage(WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(view->GetScrollBar()->GetSafeHwnd()));
    EXPECT_EQ(view->GetScrollPosition(), 13);
    // The first row now shows sample 13: 3.25 ms.
    EXPECT_EQ(view->CellText(1, 0), "3.250000");
    view->SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 9000),
                      reinterpret_cast<LPARAM>(view->GetScrollBar()->GetSafeHwnd()));
    EXPECT_EQ(view->GetScrollPosition(), 4001 - visible);
    view->SendMessage(WM_VSCROLL, SB_PAGEUP, reinterpret_cast<LPARAM>(view->GetScrollBar()->GetSafeHwnd()));
    EXPECT_EQ(view->GetScrollPosition(), 4001 - visible - 12);
    // Rows stop after the last sample.
    view->SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 4001 - visible),
                      reinterpret_cast<LPARAM>(view->GetScrollBar()->GetSafeHwnd()));
    EXPECT_TRUE(view->CellText(visible, 0).empty());
}

TEST_F(DataViews, ClosingAsksTheOwnerAndLeavesTheWindowAlive)
{
    auto view = OpenSeriesView();
    view->SendMessage(WM_CLOSE);
    ASSERT_EQ(frame->closing.size(), 1u);
    EXPECT_EQ(frame->closing[0], reinterpret_cast<LPARAM>(view.get()));
    EXPECT_TRUE(::IsWindow(view->GetSafeHwnd()));
}

TEST_F(DataViews, ResizingKeepsTheScrollBarOnTheRightEdge)
{
    auto view = OpenSeriesView();
    view->MoveWindow(50, 50, 400, 300);
    AfxPumpMessages();
    CRect client, bar;
    view->GetClientRect(&client);
    view->GetScrollBar()->GetWindowRect(&bar);
    view->ScreenToClient(&bar);
    EXPECT_EQ(bar.right, client.right);
    EXPECT_EQ(bar.Width(), CDataView::kScrollWidth);
    EXPECT_EQ(bar.Height(), client.Height());
}

TEST_F(DataViews, ASpectrumViewListsTheDisplayedBinsUnderTheCompositeLetter)
{
    ChannelProcessingSettings processing = Processing(4000, 1024);
    ChannelScalingSettings scaling = Scaling(1);
    SpectralData engine(&processing, &scaling, false);
    CDataView view;
    ASSERT_TRUE(view.Create(frame, CRect(100, 100, 0, 0), &engine, 2, true, 2));
    EXPECT_EQ(view.GetWindowTextString(), "Spectral Data - Ch C");
    EXPECT_EQ(view.ItemCount(), engine.GetLastBin() + 2 - engine.GetFirstBin());
    char first[32];
    std::snprintf(first, sizeof first, "%3.4f", engine.GetBinFrequency(static_cast<UINT>(engine.GetFirstBin())));
    EXPECT_EQ(view.CellText(1, 0), first);

    // Without an engine: twelve empty items.
    view.SetSource(nullptr);
    EXPECT_EQ(view.ItemCount(), 12);
    EXPECT_TRUE(view.CellText(1, 0).empty());
}

// The whole title must show in the title bar, whatever its font: the window is at least as wide
// as the title measured in the title-bar font plus room for the frame's buttons, and never
// narrower than its own size.
TEST_F(DataViews, TheWindowIsWideEnoughForItsWholeTitle)
{
    struct Case {
        int kind;
        bool composite;
        int channel;
        int pointSize; // 0: the platform's own title font
        const char* title;
    };
    const Case cases[] = {
        {2, false, 0, 0, "Spectral Data - Ch 0"},   {3, true, 2, 0, "Phase Data - Ch C"},
        {1, false, 7, 0, "Time Series - Ch 7"},     {2, false, 0, 16, "Spectral Data - Ch 0"},
        {2, true, 15, 20, "Spectral Data - Ch P"}, {1, false, 3, 20, "Time Series - Ch 3"},
    };
    const QFont original = QApplication::font("QMdiSubWindowTitleBar");
    ChannelProcessingSettings processing = Processing(4000, 1024);
    ChannelScalingSettings scaling = Scaling(1);
    SpectralData engine(&processing, &scaling, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.title) + " at " + std::to_string(c.pointSize) + " pt");
        QFont font = original;
        if (c.pointSize > 0)
            font.setPointSize(c.pointSize);
        QApplication::setFont(font, "QMdiSubWindowTitleBar");
        CDataView view;
        ASSERT_TRUE(view.Create(frame, CRect(100, 100, 0, 0), c.kind == 1 ? nullptr : &engine, c.channel,
                                c.composite, c.kind));
        AfxPumpMessages();
        ASSERT_EQ(view.GetWindowTextString(), c.title);
        const QFontMetrics metrics(font);
        const int buttons = 3 * std::max(metrics.height(), 16);
        CRect client;
        view.GetClientRect(&client);
        EXPECT_GE(client.Width(), metrics.horizontalAdvance(QString::fromLatin1(c.title)) + buttons);
        EXPECT_GE(client.Width(), CDataView::kWidth);
        EXPECT_EQ(client.Height(), CDataView::kHeight);
    }
    QApplication::setFont(original, "QMdiSubWindowTitleBar");
}
