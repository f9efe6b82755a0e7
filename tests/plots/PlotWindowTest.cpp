// Plot windows as the frame uses them: MDI children that keep their placement, report closing
// and activation instead of acting on their own, free themselves after destruction, and mark
// themselves idle with a visible watermark.
#include "PlotTestSupport.h"

#include "records/PhasePlotSettings.h"
#include "records/TimeSeriesPlotSettings.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/GdiWindowDC.h"
#include "plots/TPhasePlot.h"
#include "plots/TSeriesPlot.h"

#include "support/QtTestAccess.h"

#include <filesystem>
#include <fstream>

BEGIN_MESSAGE_MAP(RecordingFrame, CMDIFrameWnd)
    ON_MESSAGE(WM_PLOT_CLOSING, &RecordingFrame::OnPlotClosing)
    ON_MESSAGE(WM_PLOT_ACTIVATED, &RecordingFrame::OnPlotActivated)
END_MESSAGE_MAP()

namespace {
TSeriesPlot* OpenSeries(TimeSeriesPlotSettings& s, const char* title = "Time Series - Crown",
                        CRect r = CRect(10, 10, 410, 310))
{
    auto* p = new TSeriesPlot;
    if (!p->Create(title, WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, &r, &s, nullptr, 0, nullptr, 0, 0)) {
        delete p;
        return nullptr;
    }
    return p;
}

// Colour of a client pixel after the window has painted.
COLORREF PixelAt(CWnd* w, int x, int y)
{
    w->UpdateWindow();
    AfxPumpMessages();
    CClientDC dc(w);
    return dc.GetPixel(x, y);
}
} // namespace

TEST_F(PlotWindows, APlotIsAnMdiChildOfTheFrameAndBecomesActive)
{
    TimeSeriesPlotSettings s;
    TSeriesPlot* p = OpenSeries(s);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetMDIFrame(), frame);
    EXPECT_EQ(frame->MDIGetActive(), p);
    EXPECT_EQ(p->GetWindowTextString(), "Time Series - Crown");
    ASSERT_FALSE(frame->activated.empty());
    EXPECT_EQ(frame->activated.back(), reinterpret_cast<LPARAM>(p));
}

TEST_F(PlotWindows, PlacementSetIsPlacementGot)
{
    TimeSeriesPlotSettings s;
    TSeriesPlot* p = OpenSeries(s);
    ASSERT_NE(p, nullptr);
    WINDOWPLACEMENT set;
    set.showCmd = SW_SHOWNORMAL;
    set.rcNormalPosition = RECT{37, 21, 537, 421};
    ASSERT_TRUE(p->SetWindowPlacement(&set));
    AfxPumpMessages();
    WINDOWPLACEMENT got;
    ASSERT_TRUE(p->GetWindowPlacement(&got));
    EXPECT_EQ(got.showCmd, UINT(SW_SHOWNORMAL));
    EXPECT_EQ(got.rcNormalPosition.left, 37);
    EXPECT_EQ(got.rcNormalPosition.top, 21);
    EXPECT_EQ(got.rcNormalPosition.right, 537);
    EXPECT_EQ(got.rcNormalPosition.bottom, 421);

    // Maximised, it still remembers where it goes back to.
    p->MDIMaximize();
    AfxPumpMessages();
    ASSERT_TRUE(p->GetWindowPlacement(&got));
    EXPECT_EQ(got.showCmd, UINT(SW_SHOWMAXIMIZED));
    EXPECT_EQ(got.rcNormalPosition.left, 37);
    EXPECT_EQ(got.rcNormalPosition.bottom, 421);
}

TEST_F(PlotWindows, CloseAsksTheFrameAndLeavesTheWindowOpen)
{
    TimeSeriesPlotSettings s;
    TSeriesPlot* p = OpenSeries(s);
    ASSERT_NE(p, nullptr);
    const HWND h = p->GetSafeHwnd();
    p->SendMessage(WM_CLOSE);
    ASSERT_EQ(frame->closing.size(), 1u);
    EXPECT_EQ(frame->closing[0], reinterpret_cast<LPARAM>(p));
    EXPECT_TRUE(IsWindow(h));

    // The close box of the MDI child goes the same way, once.
    auto* sub = qobject_cast<QMdiSubWindow*>(QtWidgetOf(p));
    ASSERT_NE(sub, nullptr);
    sub->close();
    AfxPumpMessages();
    EXPECT_EQ(frame->closing.size(), 2u);
    EXPECT_TRUE(IsWindow(h));
    EXPECT_TRUE(sub->isVisible());
}

TEST_F(PlotWindows, TheFrameDestroysAClosingPlotWhichFreesItself)
{
    frame->destroyOnClosing = true;
    TimeSeriesPlotSettings s;
    TSeriesPlot* p = OpenSeries(s);
    ASSERT_NE(p, nullptr);
    const HWND h = p->GetSafeHwnd();
    p->SendMessage(WM_CLOSE);
    AfxPumpMessages();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(frame->MDIGetActive(), nullptr);
    // The sanitizer reports the object if it was not freed, or freed twice.

    // The same from the close box, inside Qt's close event.
    TSeriesPlot* q = OpenSeries(s);
    ASSERT_NE(q, nullptr);
    const HWND hq = q->GetSafeHwnd();
    qobject_cast<QMdiSubWindow*>(QtWidgetOf(q))->close();
    AfxPumpMessages();
    EXPECT_FALSE(IsWindow(hq));
    EXPECT_EQ(frame->closing.size(), 2u);
}

TEST_F(PlotWindows, DeletingAPlotTakesItsWindowAlongOnce)
{
    TimeSeriesPlotSettings s;
    TSeriesPlot* p = OpenSeries(s);
    ASSERT_NE(p, nullptr);
    const HWND h = p->GetSafeHwnd();
    delete p;
    AfxPumpMessages();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_TRUE(frame->closing.empty());
}

TEST_F(PlotWindows, ActivatingAnotherPlotTellsTheFrameWhich)
{
    TimeSeriesPlotSettings s;
    PhasePlotSettings ps;
    TSeriesPlot* a = OpenSeries(s);
    ASSERT_NE(a, nullptr);
    auto* b = new TPhasePlot;
    CRect r(50, 50, 450, 350);
    ASSERT_TRUE(b->Create("Phase - Crown", kStyle, &r, ChannelProcessingSettings(), ChannelScalingSettings(),
                          MarkerSettings(), &ps, nullptr, nullptr, 0));
    AfxPumpMessages();
    ASSERT_FALSE(frame->activated.empty());
    EXPECT_EQ(frame->activated.back(), reinterpret_cast<LPARAM>(b));
    frame->activated.clear();
    frame->MDIActivate(a);
    AfxPumpMessages();
    // Deactivation says nothing; the newly active one reports itself.
    ASSERT_EQ(frame->activated.size(), 1u);
    EXPECT_EQ(frame->activated[0], reinterpret_cast<LPARAM>(a));
    EXPECT_EQ(frame->MDIGetActive(), a);
}

TEST_F(PlotWindows, HighlightIsAVisibleMarkThatClearingRemoves)
{
    TimeSeriesPlotSettings s;
    s.BackgroundColor = RGB(255, 255, 255);
    TSeriesPlot* p = OpenSeries(s, "Time Series - Crown", CRect(10, 10, 710, 310)); // the strip on one row
    ASSERT_NE(p, nullptr);
    AfxPumpMessages();
    const CRect mark = p->GetWatermarkRect();
    ASSERT_FALSE(mark.IsRectEmpty());
    const CRect plot = p->GetPlotRect();
    EXPECT_EQ(mark.right, plot.right - 1);
    EXPECT_EQ(mark.top, plot.top + 1);
    const int cx = mark.left + mark.Width() / 2 - 8;
    const int cy = mark.top + 3;

    EXPECT_TRUE(p->IsHighlighted());
    const COLORREF on = PixelAt(p, cx, cy);
    EXPECT_NE(on, RGB(255, 255, 255));

    p->ClearHighlight();
    EXPECT_FALSE(p->IsHighlighted());
    EXPECT_EQ(PixelAt(p, cx, cy), RGB(255, 255, 255));

    p->SetHighlight();
    EXPECT_EQ(PixelAt(p, cx, cy), on);
}

TEST_F(PlotWindows, ToolStripShowsAndHidesThroughTheSettings)
{
    TimeSeriesPlotSettings s;
    TSeriesPlot* p = OpenSeries(s, "Time Series - Crown", CRect(10, 10, 710, 310)); // the strip on one row
    ASSERT_NE(p, nullptr);
    AfxPumpMessages();
    CRect client;
    p->GetClientRect(&client);
    EXPECT_EQ(p->GetToolStripHeight(), 30);
    EXPECT_EQ(p->GetPlotRect().top, client.top + 50);
    // The strip: button face with a black line along its bottom edge.
    EXPECT_EQ(PixelAt(p, client.left + 5, client.top + 29), RGB(0, 0, 0));

    p->ShowToolbar(false);
    EXPECT_EQ(s.ShowToolbar, 0);
    EXPECT_EQ(p->GetToolStripHeight(), 0);
    EXPECT_EQ(p->GetPlotRect().top, client.top + 20);
    EXPECT_NE(PixelAt(p, client.left + 5, client.top + 29), RGB(0, 0, 0));

    p->ShowToolbar(true);
    EXPECT_EQ(s.ShowToolbar, 1);
    EXPECT_EQ(p->GetPlotRect().top, client.top + 50);
}

namespace {
// The base alone: the series and phase plots choose their own pane mode.
class BarePlot : public TPlotBase {
public:
    BOOL Open(const RECT& r) { return CreatePlotWindow("Bare", WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, &r); }
};
} // namespace

TEST_F(PlotWindows, TwoPanesShareThePlotHeightAndAClientTooSmallKeepsTheLayout)
{
    auto* p = new BarePlot;
    ASSERT_TRUE(p->Open(CRect(10, 10, 410, 310)));
    p->SetPaneMode(2);
    p->SetPaneMode(7); // ignored
    EXPECT_EQ(p->GetPaneMode(), 2);
    p->UpdateLayout();
    const CRect plot = p->GetPlotRect();
    const CRect a = p->GetPaneRectA();
    const CRect b = p->GetPaneRectB();
    EXPECT_EQ(a.top, plot.top);
    EXPECT_EQ(a.Height(), plot.Height() - (plot.Height() / 2 + 10));
    EXPECT_EQ(b.Height(), a.Height());
    EXPECT_EQ(b.bottom, plot.bottom);

    // Shrunk below the margins, the panes stay where they were.
    WINDOWPLACEMENT wp;
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = RECT{0, 0, 30, 60};
    p->SetWindowPlacement(&wp);
    AfxPumpMessages();
    p->UpdateLayout();
    EXPECT_EQ(p->GetPlotRect(), plot);
    EXPECT_EQ(p->GetPaneRectA(), a);
}

TEST(PlotWatermark, TheProfileCanHideTheLogo)
{
    const auto dir = std::filesystem::temp_directory_path() / "durnex-logo-test";
    std::filesystem::create_directories(dir);
    const std::string ini = (dir / "Durnex.ini").string();
    auto write = [&](const char* text) {
        std::ofstream f(ini, std::ios::trunc);
        f << "[FileIO]\r\nHideLogo=" << text << "\r\n";
    };
    std::filesystem::remove(ini);
    EXPECT_FALSE(TPlotBase::IsLogoHidden(ini.c_str())); // no file: the default FALSE
    EXPECT_FALSE(TPlotBase::IsLogoHidden(""));
    for (const char* yes : {"TRUE", "true", "True"}) {
        write(yes);
        EXPECT_TRUE(TPlotBase::IsLogoHidden(ini.c_str())) << yes;
    }
    for (const char* no : {"FALSE", "TRUEX", "1", "yes"}) {
        write(no);
        EXPECT_FALSE(TPlotBase::IsLogoHidden(ini.c_str())) << no;
    }
    std::filesystem::remove_all(dir);
}
