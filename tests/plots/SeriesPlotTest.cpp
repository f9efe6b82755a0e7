// The time-series plot: its view of a buffer or file, zoom and scroll, scale boxes, the
// traces it draws (checked at pixels), its block updates, text export, and the requests it
// sends the frame.
#include "PlotTestSupport.h"

#include "records/ChannelCalibration.h"
#include "records/TimeSeriesPlotSettings.h"
#include "platform/core/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Menu.h"
#include "plots/CToolBtn.h"
#include "plots/TSeriesPlot.h"
#include "plots/CDataView.h"
#include "support/QtTestAccess.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A frame that also records the segment requests of its time-series plots and can refuse them.
class SeriesFrame : public RecordingFrame {
public:
    struct Request {
        WPARAM action;
        SeriesSegmentRequest request;
    };
    std::vector<Request> requests;
    LRESULT answer = 0;
    LRESULT OnSeriesRequest(WPARAM wParam, LPARAM lParam)
    {
        requests.push_back({wParam, *reinterpret_cast<const SeriesSegmentRequest*>(lParam)});
        return answer;
    }
    DECLARE_MESSAGE_MAP()
};

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        const char* p = static_cast<const char*>(GlobalLock(h));
        if (p)
            text = p;
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

std::vector<char> ClipboardLink()
{
    std::vector<char> bytes;
    if (!OpenClipboard(nullptr))
        return bytes;
    if (HANDLE h = GetClipboardData(RegisterClipboardFormatA("Link"))) {
        const char* p = static_cast<const char*>(GlobalLock(h));
        bytes.assign(p, p + GlobalSize(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return bytes;
}

} // namespace

BEGIN_MESSAGE_MAP(SeriesFrame, RecordingFrame)
    ON_MESSAGE(WM_SERIES_SEGMENT_COMMAND, &SeriesFrame::OnSeriesRequest)
END_MESSAGE_MAP()

namespace {
class SeriesPlots : public MdiFrameTest<SeriesFrame, 1000, 800> {
protected:
    static constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW;
    void SetUp() override
    {
        MdiFrameTest::SetUp();
        settings.PlotTop = 100.0f;
        settings.PlotCenter = 0.0f;
        settings.StartTime = 0.0f;
        settings.StopTime = 999999.9f;
    }
    void TearDown() override
    {
        if (file_)
            file_.reset();
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
        MdiFrameTest::TearDown();
    }
    TSeriesPlot* Open(TSampleBuffer* buffer, TWaveFile* file = nullptr)
    {
        auto* p = new TSeriesPlot;
        CRect r(0, 0, 700, 420);
        EXPECT_TRUE(p->Create("Time Series - Crown", kStyle, &r, &settings, buffer, nullptr, file, 0, 0));
        p->UpdateLayout();
        AfxPumpMessages();
        return p;
    }
    // A wave in memory of `frames` frames at `rate`, shown in file mode.
    TWaveFile* MakeFile(DWORD frames, DWORD rate)
    {
        dir_ = std::filesystem::temp_directory_path() / "durnex-series-plot";
        std::filesystem::create_directories(dir_);
        file_ = std::make_unique<TWaveFile>(frames, TPcmFormat(rate, 1, 2), dir_.string());
        EXPECT_FALSE(file_->IsError());
        for (DWORD i = 0; i < frames; ++i)
            EXPECT_TRUE(file_->SetSample(0, i, 0));
        file_->ClearCalibration(); // as the frame leaves an uncalibrated channel's file
        settings.TimeSeriesDataSource = 0;
        return file_.get();
    }
    static COLORREF Pixel(CWnd* w, int x, int y)
    {
        w->UpdateWindow();
        AfxPumpMessages();
        CClientDC dc(w);
        return dc.GetPixel(x, y);
    }
    // The pane rows (from the top) where the trace shows in column x.
    static std::vector<int> TraceRows(TSeriesPlot* p, int x, COLORREF colour)
    {
        std::vector<int> rows;
        const CRect pane = p->GetPaneRectA();
        p->UpdateWindow();
        AfxPumpMessages();
        CClientDC dc(p);
        for (int y = pane.top; y < pane.bottom; ++y)
            if (dc.GetPixel(x, y) == colour)
                rows.push_back(y);
        return rows;
    }

    TimeSeriesPlotSettings settings;
    TSampleBuffer buffer{4000, TPcmFormat(4000, 1, 2), 1, false};
    std::filesystem::path dir_;
    std::unique_ptr<TWaveFile> file_;
};
} // namespace

// ---- View and selection ----------------------------------------------------------------------

TEST_F(SeriesPlots, SecondsBecomeSamplesWithinTheSourceAndBadRangesChangeNothing)
{
    TSeriesPlot* p = Open(&buffer);
    EXPECT_EQ(p->GetViewStart(), 0u);
    EXPECT_EQ(p->GetViewEnd(), 4000u);
    p->SetTimeRange(0.25f, 0.5f);
    EXPECT_EQ(p->GetViewStart(), 1000u);
    EXPECT_EQ(p->GetViewEnd(), 2000u);
    p->SetTimeRange(0.5f, 0.25f); // reversed: ignored
    EXPECT_EQ(p->GetViewStart(), 1000u);
    p->SetTimeRange(5.0f, 6.0f); // beyond the data: start 0, end the last
    EXPECT_EQ(p->GetViewStart(), 0u);
    EXPECT_EQ(p->GetViewEnd(), 4000u);

    p->SetTimeRange(0.1f, 0.2f);
    p->SaveView();
    p->SetTimeRange(0.0f, 1.0f);
    p->RestoreView();
    EXPECT_EQ(p->GetViewStart(), 400u);
    EXPECT_EQ(p->GetViewEnd(), 800u);
}

// Select All covers every sample of the view, the last one included, so a cut or a filter of
// "everything" leaves nothing behind.
TEST_F(SeriesPlots, SelectAllOfAFileCoversItToItsLastSample)
{
    TWaveFile* file = MakeFile(16000, 8000);
    TSeriesPlot* p = Open(&buffer, file);
    EXPECT_FALSE(p->CanCut());
    p->SelectAll();
    ASSERT_TRUE(p->CanPlayOrFilter());
    EXPECT_FALSE(p->GetButton(TSeriesPlot::kPlay)->IsDisabled());
    float a = -1.0f, b = -1.0f;
    p->GetSelectedSegment(a, b);
    EXPECT_FLOAT_EQ(a, 0.0f);
    EXPECT_FLOAT_EQ(b, 2.0f);
    EXPECT_EQ(file->SecondsToFrames(b), 16000u);

    // A part of the file: the selection is that part, seconds back as given.
    p->SetTimeRange(0.5f, 1.5f);
    p->UpdateLayout();
    p->SelectAll();
    p->GetSelectedSegment(a, b);
    EXPECT_FLOAT_EQ(a, 0.5f);
    EXPECT_FLOAT_EQ(b, 1.5f);

    // Any new layout drops the selection and greys Play and Filter.
    p->UpdateLayout();
    EXPECT_FALSE(p->CanCopy());
    EXPECT_TRUE(p->GetButton(TSeriesPlot::kPlay)->IsDisabled());
    p->GetSelectedSegment(a, b);
    EXPECT_EQ(a, 0.0f);
    EXPECT_EQ(b, 0.0f);
}

TEST_F(SeriesPlots, ADragInSelectModeSelectsAndInvertsTheBand)
{
    TWaveFile* file = MakeFile(8000, 4000);
    TSeriesPlot* p = Open(&buffer, file);
    const CRect pane = p->GetPaneRectA();
    const int y = pane.top + 5; // above any trace of a silent file
    const COLORREF before = Pixel(p, pane.left + 60, y);
    p->SendMessage(WM_COMMAND, TSeriesPlot::kSelect, 0);
    ASSERT_TRUE(p->IsSelectionMode());
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pane.left + 50, pane.top + 20));
    p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pane.left + 100, pane.top + 30));
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pane.left + 100, pane.top + 30));
    EXPECT_TRUE(p->IsSelectionMode()); // the Select tool stays on for the next drag
    ASSERT_TRUE(p->CanPlayOrFilter());
    float a = 0.0f, b = 0.0f;
    p->GetSelectedSegment(a, b);
    const float perColumn = 2.0f / pane.Width();
    EXPECT_NEAR(a, 50 * perColumn, 1e-4);
    EXPECT_NEAR(b, 100 * perColumn, 1e-4);
    EXPECT_EQ(Pixel(p, pane.left + 60, y), before ^ 0xFFFFFF);
    EXPECT_EQ(Pixel(p, pane.left + 120, y), before);
    p->SendMessage(WM_COMMAND, TSeriesPlot::kZoom2xIn, 0); // a view command clears it
    EXPECT_FALSE(p->CanPlayOrFilter());
    EXPECT_EQ(Pixel(p, pane.left + 60, y), before);
}

// ---- The measuring cursor and the rubber bands ----------------------------------------------

namespace {
COLORREF At(CWnd* w, int x, int y)
{
    CClientDC dc(w);
    return dc.GetPixel(x, y);
}
int BlackInRow(CWnd* w, const CRect& pane, int y)
{
    int n = 0;
    for (int x = pane.left; x < pane.right; ++x)
        n += At(w, x, y) == RGB(0, 0, 0);
    return n;
}
} // namespace

// A 2 Hz sine of half full scale, live: the crosshair and read-outs follow the mouse; with
// "Pull Cursor To Trace" the cursor sits on the trace and reads the sine's value there.
TEST_F(SeriesPlots, TheMeasuringCursorReadsTheSineAndPullsOntoItsTrace)
{
    const double pi = 3.14159265358979323846;
    for (DWORD i = 0; i < 4000; ++i)
        buffer.SetSample(i, static_cast<std::int32_t>(std::lround(16384.0 * std::sin(2 * pi * 2.0 * i / 4000.0))));
    settings.TimeSeriesDataSource = 1;
    settings.BackgroundColor = RGB(255, 255, 255);
    settings.LineColor = RGB(0, 0, 255);
    settings.GridXEnabled = settings.GridYEnabled = 0;
    TSeriesPlot* p = Open(&buffer);
    p->ClearHighlight();
    p->UpdateWindow();
    AfxPumpMessages();
    const CRect pane = p->GetPaneRectA();
    const int h = pane.Height();
    const int x = pane.left + pane.Width() / 3;
    const int y = pane.top + 5; // above the trace, which stays within +-50 %

    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ASSERT_TRUE(p->IsTracking());
    EXPECT_EQ(BlackInRow(p, pane, y), pane.Width() - 1); // the crosshair's row, less its crossing
    EXPECT_EQ(At(p, x, pane.top + 2), RGB(0, 0, 0));
    // Read-outs: milliseconds across the one-second view, percent down from the 100 % top.
    const double ms = 1000.0 * (x - pane.left) / pane.Width();
    EXPECT_NEAR(p->GetXReadoutValue(), ms, 1000.0 / pane.Width() + 1e-3);
    EXPECT_NEAR(p->GetYReadoutValue(), 100.0 - 200.0 * 5 / h, 1e-3);
    EXPECT_EQ(At(p, x - 56, pane.top - 18), RGB(0, 0, 0));         // the 112-wide time box
    EXPECT_EQ(At(p, pane.left - 61, y), RGB(0, 0, 0));             // the 60-wide level box
    // A live block drawn under the cursor, then a move: the old column keeps nothing of it
    // where the trace crossed it.
    p->UpdateFrame(0.5f);
    p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, y));
    int stale = 0;
    for (int r = pane.top; r < pane.bottom; ++r) {
        const COLORREF c = At(p, x, r);
        stale += r != y && c != RGB(255, 255, 255) && c != RGB(0, 0, 255);
    }
    EXPECT_EQ(stale, 0);
    p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    EXPECT_FALSE(p->IsTracking());
    EXPECT_EQ(BlackInRow(p, pane, y), 0);
    // The row the trace draws 0 on reads 0.
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pane.left + 3, pane.bottom - h / 2));
    EXPECT_EQ(p->GetYReadoutValue(), 0.0f);
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pane.left + 3, pane.bottom - h / 2));

    // Pulled: the level is the sine's at the read-out's time, to within a pixel.
    p->SendMessage(WM_COMMAND, TSeriesPlot::kPullCursor, 0);
    ASSERT_EQ(settings.GrabCursorFlag, 1);
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    const double t = p->GetXReadoutValue() / 1000.0;
    const double level = 100.0 * 16384.0 / 32767.5 * std::sin(2 * pi * 2.0 * t);
    EXPECT_NEAR(p->GetYReadoutValue(), level, 200.0 / h + 0.05);
    const int row = pane.bottom - static_cast<int>(std::trunc(h / 2.0 + level * h / 2.0 / 100.0));
    EXPECT_EQ(BlackInRow(p, pane, y), 1); // only the crosshair's column is left on the pressed row
    int onRow = 0;
    for (int r = row - 1; r <= row + 1; ++r)
        onRow = std::max(onRow, BlackInRow(p, pane, r));
    EXPECT_GT(onRow, pane.Width() / 2); // and runs along the trace's height
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    p->SendMessage(WM_COMMAND, TSeriesPlot::kPullCursor, 0);
    EXPECT_EQ(settings.GrabCursorFlag, 0);
}

// With the plot centred off zero (top 60 %, centre 20 %, so the pane spans -20 .. 60 %) the
// level read-out is the trace's scale: the middle row reads the centre, a row k pixels up from
// the bottom reads -20 + 80 k / h.
TEST_F(SeriesPlots, TheLevelReadOutFollowsAnOffCentrePlot)
{
    settings.TimeSeriesDataSource = 1;
    settings.AmpScaleType = 0;
    settings.PlotTop = 60.0f;
    settings.PlotCenter = 20.0f;
    TSeriesPlot* p = Open(&buffer);
    AfxPumpMessages();
    ASSERT_EQ(settings.PlotCenter, 20.0f);
    const CRect pane = p->GetPaneRectA();
    const int h = pane.Height();
    for (const int up : {h / 2, 5, h - 5, h / 4, 3 * h / 4}) {
        SCOPED_TRACE(testing::Message() << up << " pixels up of " << h);
        const int y = pane.bottom - up;
        p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pane.left + 10, y));
        EXPECT_NEAR(p->GetYReadoutValue(), -20.0 + 80.0 * up / h, 1e-3);
        p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pane.left + 10, y));
    }
}

// Ctrl measures from where the drag began; the right button then copies the read-outs as they
// show and ends the drag.
TEST_F(SeriesPlots, CtrlMeasuresDifferencesAndTheCursorMenuCopiesThem)
{
    settings.TimeSeriesDataSource = 1;
    TSeriesPlot* p = Open(&buffer);
    const CRect pane = p->GetPaneRectA();
    const int h = pane.Height();
    const CPoint a(pane.left + 100, pane.top + 200), b(pane.left + 300, pane.top + 60);
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(a.x, a.y));
    EXPECT_FLOAT_EQ(p->GetXReadoutValue(), 0.0f);
    EXPECT_FLOAT_EQ(p->GetYReadoutValue(), 0.0f);
    p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, MAKELPARAM(b.x, b.y));
    EXPECT_NEAR(p->GetXReadoutValue(), 1000.0 * 200 / pane.Width(), 1000.0 / pane.Width() + 1e-3);
    EXPECT_NEAR(p->GetYReadoutValue(), 200.0 * (a.y - b.y) / h, 1e-3);
    int menus = 0;
    bool hasBitmap = false;
    auto previous = CMenu::SetPopupChooser([&](CMenu& menu) -> UINT {
        ++menus;
        hasBitmap = menu.GetMenuState(TSeriesPlot::kCopyBitmap, MF_BYCOMMAND) != 0xFFFFFFFFu;
        return TSeriesPlot::kCopyCursor;
    });
    p->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON | MK_LBUTTON, MAKELPARAM(b.x, b.y));
    CMenu::SetPopupChooser(previous);
    EXPECT_EQ(menus, 1);
    EXPECT_TRUE(hasBitmap);
    EXPECT_FALSE(p->IsTracking());
    char want[80];
    std::snprintf(want, sizeof want, "Time=\t%5.4f\r\nLevel=\t%5.4f\r\n", static_cast<double>(p->GetXReadoutValue()),
                  static_cast<double>(p->GetYReadoutValue()));
    EXPECT_EQ(ClipboardText(), want);
    EXPECT_NE(p->GetXReadoutValue(), 0.0f);
}

// Select and zoom drags show their rubber band while dragging; a plain drag afterwards drops
// the selection it finds.
TEST_F(SeriesPlots, DragsShowARubberBandAndAPlainDragClearsTheSelection)
{
    TWaveFile* file = MakeFile(8000, 4000);
    TSeriesPlot* p = Open(&buffer, file);
    p->ClearHighlight();
    const CRect pane = p->GetPaneRectA();
    const CRect plot = p->GetPlotRect();
    const COLORREF top = Pixel(p, pane.left + 75, plot.top);
    const COLORREF inside = Pixel(p, pane.left + 75, pane.top + 20);

    p->SendMessage(WM_COMMAND, TSeriesPlot::kSelect, 0);
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pane.left + 50, pane.top + 20));
    p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pane.left + 100, pane.top + 30));
    EXPECT_EQ(At(p, pane.left + 75, plot.top), top ^ 0xFFFFFF); // the band's top edge
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pane.left + 100, pane.top + 30));
    ASSERT_TRUE(p->CanPlayOrFilter());
    EXPECT_EQ(At(p, pane.left + 75, pane.top + 20), inside ^ 0xFFFFFF);

    // The Select tool stays on after a selection; let go of it, and a plain drag clears the
    // selection and its band.
    p->SendMessage(WM_COMMAND, TSeriesPlot::kSelect, 0);
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pane.left + 200, pane.top + 100));
    EXPECT_FALSE(p->CanPlayOrFilter());
    EXPECT_TRUE(p->GetButton(TSeriesPlot::kPlay)->IsDisabled());
    EXPECT_EQ(At(p, pane.left + 75, pane.top + 20), inside);
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pane.left + 200, pane.top + 100));

    // Zoom In: the band shows while dragging, and the view becomes what it covered.
    p->SendMessage(WM_COMMAND, TSeriesPlot::kZoomIn, 0);
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pane.left + 100, pane.top + 20));
    p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pane.left + 300, pane.top + 20));
    EXPECT_EQ(At(p, pane.left + 200, plot.top), top ^ 0xFFFFFF);
    const DWORD s0 = p->TimeToSample(p->ColumnToTime(pane.left + 100));
    const DWORD s1 = p->TimeToSample(p->ColumnToTime(pane.left + 300));
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pane.left + 300, pane.top + 20));
    EXPECT_EQ(p->GetViewStart(), s0);
    EXPECT_EQ(p->GetViewEnd(), s1);
    EXPECT_FALSE(p->CanPlayOrFilter());

    // Dragged past the right edge, a selection runs to the end of the view.
    p->SendMessage(WM_COMMAND, TSeriesPlot::kZoomFull, 0);
    p->SendMessage(WM_COMMAND, TSeriesPlot::kSelect, 0);
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pane.left + 50, pane.top + 20));
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pane.right + 40, pane.top + 20));
    float a = 0.0f, b = 0.0f;
    p->GetSelectedSegment(a, b);
    EXPECT_FLOAT_EQ(b, 2.0f);
}

// ---- Zoom and scroll -------------------------------------------------------------------------

TEST_F(SeriesPlots, ZoomCommandsKeepTheirLimits)
{
    // At 1024 samples per second these sample times are exact in binary.
    TSampleBuffer exact(4096, TPcmFormat(1024, 1, 2), 1, false);
    TSeriesPlot* p = Open(&exact);
    p->SetTimeRange(10.0f / 1024, 110.0f / 1024); // start 10, span 100
    p->UpdateLayout();
    ASSERT_EQ(p->GetViewStart(), 10u);
    ASSERT_EQ(p->GetViewEnd(), 110u);
    p->SendMessage(WM_COMMAND, TSeriesPlot::kZoom2xOut, 0);
    EXPECT_EQ(p->GetViewStart(), 0u);
    EXPECT_EQ(p->GetViewEnd(), 135u);

    p->SetTimeRange(0.0f, 19.0f / 1024);
    p->UpdateLayout();
    p->SendMessage(WM_COMMAND, TSeriesPlot::kZoom2xIn, 0); // 19 samples: no further
    EXPECT_EQ(p->GetViewEnd() - p->GetViewStart(), 19u);

    // A drag-zoom narrower than 20 samples keeps zoom mode and the view.
    p->SendMessage(WM_COMMAND, TSeriesPlot::kZoomFull, 0);
    ASSERT_EQ(p->GetViewEnd(), 4096u);
    p->SendMessage(WM_COMMAND, TSeriesPlot::kZoomIn, 0);
    const CRect pane = p->GetPaneRectA();
    p->SetSelectionRect(CRect(pane.left + 10, pane.top, pane.left + 11, pane.bottom));
    EXPECT_TRUE(p->GetButton(TSeriesPlot::kZoomIn)->IsPressed());
    EXPECT_EQ(p->GetViewEnd(), 4096u);
    p->SetSelectionRect(CRect(pane.left + 100, pane.top, pane.left + 200, pane.bottom));
    EXPECT_FALSE(p->GetButton(TSeriesPlot::kZoomIn)->IsPressed());
    EXPECT_LT(p->GetViewEnd() - p->GetViewStart(), 4096u);
    EXPECT_TRUE(p->GetPlotScrollBar()->IsWindowVisible());
}

TEST_F(SeriesPlots, ThumbTrackingMovesOnlySourcesBelowAMillionSamples)
{
    TWaveFile* file = MakeFile(1000000, 4000);
    TSeriesPlot* p = Open(&buffer, file);
    p->SetTimeRange(0.0f, 10.0f);
    p->UpdateLayout();
    p->ScrollView(SB_THUMBTRACK, 5000);
    EXPECT_EQ(p->GetViewStart(), 0u);
    p->ScrollView(SB_THUMBPOSITION, 5000);
    EXPECT_EQ(p->GetViewStart(), (1000000u - 40000u) / 2);
    EXPECT_EQ(p->GetViewEnd() - p->GetViewStart(), 40000u);
    p->ScrollView(SB_THUMBPOSITION, 10000); // to the end, never past it
    EXPECT_EQ(p->GetViewEnd(), 1000000u);
}

// ---- Scale boxes ---------------------------------------------------------------------------

TEST_F(SeriesPlots, ScaleBoxesKeepTopAboveCenterAndRangeAtLeastATenth)
{
    settings.PlotCenter = 20.0f;
    TSeriesPlot* p = Open(&buffer);
    p->GetEdit(TSeriesPlot::kTopEdit)->SetWindowText("10");
    EXPECT_FLOAT_EQ(settings.PlotTop, 10.0f);
    EXPECT_FLOAT_EQ(settings.PlotCenter, 0.0f);
    EXPECT_EQ(p->GetEdit(TSeriesPlot::kCenterEdit)->GetWindowTextString(), "0.000000");

    // A centre typed at or above a negative top lifts the top just above it, not below.
    settings.PlotTop = -20.0f;
    p->GetEdit(TSeriesPlot::kCenterEdit)->SetWindowText("-10");
    EXPECT_FLOAT_EQ(settings.PlotCenter, -10.0f);
    EXPECT_FLOAT_EQ(settings.PlotTop, -9.0f);

    settings.AmpScaleType = 1;
    p->UpdateLayout();
    p->GetEdit(TSeriesPlot::kRangeEdit)->SetWindowText("0.05");
    EXPECT_FLOAT_EQ(settings.PlotRange, 0.1f);
    EXPECT_EQ(p->GetEdit(TSeriesPlot::kRangeEdit)->GetWindowTextString(), "0.1");
}

// Typed by the user, a box is never rewritten while its number is on the way ("0" of "0.5"
// used to become "0.1" and then "0.1.5"): it is applied once the typing pauses, and Enter
// finishes a value the plot cannot take as what it takes.
TEST_F(SeriesPlots, TypedScaleBoxesApplyWhenTypingStops)
{
    settings.AmpScaleType = 1;
    settings.PlotTop = 0.0f;
    settings.PlotRange = 40.0f;
    TSeriesPlot* p = Open(&buffer);
    CEdit* range = p->GetEdit(TSeriesPlot::kRangeEdit);
    CEdit* top = p->GetEdit(TSeriesPlot::kTopEdit);
    EXPECT_EQ(TypeAndPause(range, "0.5"), Prefixes("0.5"));
    EXPECT_FLOAT_EQ(settings.PlotRange, 0.5f);
    EXPECT_EQ(range->GetWindowTextString(), "0.5");
    EXPECT_EQ(TypeAndPause(top, "-20"), Prefixes("-20"));
    EXPECT_FLOAT_EQ(settings.PlotTop, -20.0f);

    // Below the least range it waits as typed; Enter takes the least and the box says so.
    EXPECT_EQ(TypeAndPause(range, "0.05"), Prefixes("0.05"));
    EXPECT_FLOAT_EQ(settings.PlotRange, 0.5f);
    QtPressKey(range, Qt::Key_Return);
    AfxPumpMessages();
    EXPECT_FLOAT_EQ(settings.PlotRange, 0.1f);
    EXPECT_EQ(range->GetWindowTextString(), "0.1");
    // Text that is no number is put back to what the plot shows.
    TypeAndPause(top, "-2x");
    QtPressKey(top, Qt::Key_Return);
    AfxPumpMessages();
    EXPECT_FLOAT_EQ(settings.PlotTop, -20.0f);
    EXPECT_FLOAT_EQ(std::stof(top->GetWindowTextString()), -20.0f);
}

// ---- Traces at known pixels ------------------------------------------------------------------

// More samples than columns: every column is a min-max stroke, so a single sample of a long
// view still shows.
TEST_F(SeriesPlots, ADecimatedViewStillShowsASingleSampleSpike)
{
    TWaveFile* file = MakeFile(400000, 4000);
    EXPECT_TRUE(file->SetSample(32767, 123457, 0)); // one full-scale sample
    settings.BackgroundColor = RGB(255, 255, 255);
    settings.LineColor = RGB(255, 0, 0);
    settings.GridXEnabled = settings.GridYEnabled = 0;
    TSeriesPlot* p = Open(&buffer, file);
    p->ClearHighlight();
    const CRect pane = p->GetPaneRectA();
    const int h = pane.Height();
    // The column holding sample 123457 reaches the top clamp (100 % on a 100 % top).
    const int column = p->TimeToColumn(file->FramesToSeconds(123457));
    ASSERT_GE(column, 0);
    const std::vector<int> rows = TraceRows(p, pane.left + column, RGB(255, 0, 0));
    ASSERT_FALSE(rows.empty());
    EXPECT_LE(rows.front(), pane.bottom - (h - 1));
    // Silence elsewhere: the mid line only.
    const std::vector<int> quiet = TraceRows(p, pane.left + column + 40, RGB(255, 0, 0));
    ASSERT_EQ(quiet.size(), 1u);
    EXPECT_EQ(quiet.front(), pane.bottom - h / 2);
}

TEST_F(SeriesPlots, FewerSamplesThanColumnsDrawOnePointPerSampleAtItsLevel)
{
    TSampleBuffer small(100, TPcmFormat(4000, 1, 2), 1, false);
    for (DWORD i = 0; i < 100; ++i)
        small.SetSample(i, 16384); // half of full scale: 50 %
    settings.LineColor = RGB(0, 0, 255);
    settings.GridXEnabled = settings.GridYEnabled = 0;
    TSeriesPlot* p = Open(&small);
    p->ClearHighlight();
    // One point per sample, and the last column again so the trace reaches the right edge.
    const std::vector<POINT>& points = p->GetTracePoints();
    ASSERT_EQ(points.size(), 101u);
    EXPECT_EQ(points[100].y, points[99].y);
    EXPECT_EQ(points[100].x, p->GetPaneRectA().right - 1);
    const CRect pane = p->GetPaneRectA();
    const int h = pane.Height();
    const int expected = pane.bottom - static_cast<int>(std::trunc(h / 2.0 + (50.0 * h / 2.0) / 100.0));
    EXPECT_EQ(TraceRows(p, pane.left + pane.Width() / 2, RGB(0, 0, 255)), std::vector<int>{expected});
}

TEST_F(SeriesPlots, ANonZeroCenterSitsAtMidHeightWithTheTopAtTheTop)
{
    // 0 %, 50 % and full scale in thirds, on a scale from 0 (bottom) through 50 (centre) to
    // 100 (top).
    TSampleBuffer small(99, TPcmFormat(4000, 1, 2), 1, false);
    for (DWORD i = 0; i < 99; ++i)
        small.SetSample(i, i < 33 ? 0 : i < 66 ? 16384 : 32767);
    settings.PlotTop = 100.0f;
    settings.PlotCenter = 50.0f;
    settings.LineColor = RGB(0, 0, 255);
    settings.GridXEnabled = settings.GridYEnabled = 0;
    TSeriesPlot* p = Open(&small);
    p->ClearHighlight();
    const CRect pane = p->GetPaneRectA();
    const int w = pane.Width(), h = pane.Height();
    EXPECT_EQ(TraceRows(p, pane.left + w / 6, RGB(0, 0, 255)), std::vector<int>{pane.bottom - 1});
    EXPECT_EQ(TraceRows(p, pane.left + w / 2, RGB(0, 0, 255)), std::vector<int>{pane.bottom - h / 2});
    EXPECT_EQ(TraceRows(p, pane.left + 5 * w / 6, RGB(0, 0, 255)), std::vector<int>{pane.bottom - (h - 1)});
}

TEST_F(SeriesPlots, CenterAtOrAboveTopIsPutOneBelowIt)
{
    settings.PlotTop = 50.0f;
    settings.PlotCenter = 50.0f;
    TSeriesPlot* p = Open(&buffer);
    (void)p;
    EXPECT_FLOAT_EQ(settings.PlotCenter, 49.0f);
}

// ---- Block updates ---------------------------------------------------------------------------

TEST_F(SeriesPlots, BlockUpdatesOfAFileReuseTheColumnsReadOnce)
{
    TWaveFile* file = MakeFile(200000, 4000);
    TSeriesPlot* p = Open(&buffer, file);
    const auto afterLayout = p->GetFileReads();
    ASSERT_GT(afterLayout, 0u);
    for (int i = 1; i <= 5; ++i)
        p->UpdateFrame(0.1f * i);
    EXPECT_EQ(p->GetFileReads(), afterLayout);
    p->UpdateLayout(); // the data may have changed: read again
    EXPECT_GT(p->GetFileReads(), afterLayout);
}

// A block's redraw leaves the pane as a full repaint draws it, grid lines and all, as the
// trace grows and shrinks; and while the trace stays low only its own rows are reported
// changed (and so presented again), not the whole pane under the grid.
TEST_F(SeriesPlots, ABlockUpdateLeavesWhatAFullRepaintDrawsAndTouchesOnlyTheTraceRows)
{
    TSeriesPlot* p = Open(&buffer);
    p->ClearHighlight(); // as during a run
    const CRect pane = p->GetPaneRectA();
    CSurface* surface = p->GetSurface();
    const auto present = surface->onChanged;
    std::vector<QRect> changed;
    surface->onChanged = [&](const QRect& r) {
        changed.push_back(r);
        present(r);
    };
    const auto pixels = [&] { return surface->Image().copy(pane.left, pane.top, pane.Width(), pane.Height()); };
    float time = 0.0f;
    for (const double percent : {80.0, 3.0, 2.0, 60.0, 1.0}) {
        for (DWORD i = 0; i < 4000; ++i)
            buffer.SetSample(i, static_cast<int>(percent * 327.67 * std::sin(0.37 * i + percent)));
        changed.clear();
        p->UpdateFrame(time += 0.1f);
        AfxPumpMessages();
        const QImage block = pixels();
        QRect touched;
        for (const QRect& r : changed)
            touched |= r;
        p->Invalidate();
        p->UpdateWindow();
        AfxPumpMessages();
        const QImage full = pixels();
        int differ = 0;
        for (int y = 0; y < full.height(); ++y)
            for (int x = 0; x < full.width(); ++x)
                differ += block.pixel(x, y) != full.pixel(x, y);
        EXPECT_EQ(differ, 0) << percent << " %";
        if (percent == 2.0) // after 3 %: both traces within a few rows of the middle
            EXPECT_LT(touched.height(), pane.Height() / 5) << touched.y() << "+" << touched.height();
    }
    surface->onChanged = present;
}

// Over a run of blocks, each block's redraw leaves the plot area as a full repaint draws it:
// dense noise (painted out by its bounds) and a slow sine (painted out along itself) in turn,
// in one- and two-channel display modes, under a held measuring cursor; and over a file, under
// the inverted selection band and file-position line, for a dense view and for a short file
// whose samples change between blocks.
TEST_F(SeriesPlots, EveryBlockRedrawLeavesWhatAFullRepaintDraws)
{
    const auto plotPixels = [](TSeriesPlot* p) {
        const CRect r = p->GetPlotRect();
        return p->GetSurface()->Image().copy(r.left, r.top, r.Width(), r.Height());
    };
    // Differing pixels between the picture the blocks left and a full repaint's.
    const auto againstFullRepaint = [&](TSeriesPlot* p) {
        AfxPumpMessages();
        const QImage block = plotPixels(p);
        p->Invalidate();
        p->UpdateWindow();
        AfxPumpMessages();
        const QImage full = plotPixels(p);
        int differ = 0;
        for (int y = 0; y < full.height(); ++y)
            for (int x = 0; x < full.width(); ++x)
                differ += block.pixel(x, y) != full.pixel(x, y);
        return differ;
    };
    const double pi = 3.14159265358979323846;
    unsigned noise = 12345;
    const auto fill = [&](double percent, bool dense) {
        for (DWORD i = 0; i < 4000; ++i) {
            noise = noise * 1103515245u + 12345u;
            const double v = dense ? ((noise >> 8) % 2001) / 1000.0 - 1.0 : std::sin(2 * pi * i / 4000.0 + percent);
            buffer.SetSample(i, static_cast<int>(percent * 327.67 * v));
        }
    };

    settings.TimeSeriesDataSource = 1;
    settings.LineColor = RGB(0, 0, 255);
    TSeriesPlot* live = Open(&buffer);
    live->ClearHighlight(); // as during a run
    const CRect pane = live->GetPaneRectA();
    float time = 0.0f;
    for (const WORD mode : {WORD(0), WORD(2)}) {
        settings.PlotChannel = mode;
        live->UpdateLayout();
        live->UpdateWindow();
        int block = 0;
        for (const double percent : {80.0, 30.0, 5.0, 90.0, 0.0, 60.0}) {
            const bool dense = block++ % 2 == 0;
            fill(percent, dense);
            const CPoint at(pane.left + 40 + 20 * block, pane.top + 30 + 10 * block);
            live->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
            live->UpdateFrame(time += 0.1f);
            live->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
            EXPECT_EQ(againstFullRepaint(live), 0) << "mode " << mode << ", " << percent << " %"
                                                   << (dense ? " noise" : " sine");
        }
    }
    live->DestroyWindow();

    settings.PlotChannel = 0;
    for (const DWORD frames : {DWORD(200000), DWORD(300)}) {
        TWaveFile* file = MakeFile(frames, 4000);
        for (DWORD i = 0; i < frames; ++i) {
            noise = noise * 1103515245u + 12345u;
            ASSERT_TRUE(file->SetSample(static_cast<int>((noise >> 8) % 40001) - 20000, i, 0));
        }
        TSeriesPlot* p = Open(&buffer, file);
        p->ClearHighlight();
        const CRect filePane = p->GetPaneRectA();
        p->SendMessage(WM_COMMAND, TSeriesPlot::kSelect, 0);
        p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(filePane.left + 50, filePane.top + 20));
        p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(filePane.left + 200, filePane.top + 30));
        p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(filePane.left + 200, filePane.top + 30));
        ASSERT_TRUE(p->CanPlayOrFilter());
        p->ShowTimePosition(p->ColumnToTime(filePane.left + 120));
        for (int block = 1; block <= 3; ++block) {
            for (DWORD i = 0; frames < 1000 && i < frames; ++i)
                ASSERT_TRUE(file->SetSample(static_cast<int>(8000 * block * std::sin(0.05 * i * block)), i, 0));
            p->UpdateFrame(0.0f);
            EXPECT_EQ(againstFullRepaint(p), 0) << frames << " frames, block " << block;
        }
        p->DestroyWindow();
        file_.reset();
    }
}

// The file-position line: a 3-pixel inverted band at the position's column, moved by each new
// position and drawn again by a full paint; a file at its start (a rewind, or the take a live
// run leaves at Stop) shows none, so the pane's left edge stays as the frame draws it.
TEST_F(SeriesPlots, TheFilePositionLineMarksPositionsPastTheStartOnly)
{
    TWaveFile* file = MakeFile(8000, 4000); // silent: the trace runs along the middle row
    TSeriesPlot* p = Open(&buffer, file);
    p->ClearHighlight();
    const CRect pane = p->GetPaneRectA();
    const int y = pane.top + 5;
    const auto darkColumns = [&] {
        std::vector<int> xs;
        for (int x = pane.left; x < pane.right; ++x)
            if (Pixel(p, x, y) != settings.BackgroundColor)
                xs.push_back(x - pane.left);
        return xs;
    };
    const std::vector<int> clean = darkColumns(); // grid lines only
    p->ShowTimePosition(0.0f);
    EXPECT_EQ(darkColumns(), clean);
    p->Invalidate();
    EXPECT_EQ(darkColumns(), clean);

    const float at = p->ColumnToTime(pane.left + 101);
    p->ShowTimePosition(at);
    const int c = p->TimeToColumn(at);
    std::vector<int> marked = clean;
    for (int x = c - 1; x <= c + 1; ++x)
        marked.push_back(x);
    std::sort(marked.begin(), marked.end());
    EXPECT_EQ(darkColumns(), marked);
    p->Invalidate();
    EXPECT_EQ(darkColumns(), marked);
    p->ShowTimePosition(0.0f); // rewound
    EXPECT_EQ(darkColumns(), clean);
}

TEST_F(SeriesPlots, TheIntervalThrottleRestartsWhenTimeGoesBack)
{
    settings.IntervalFlag = 1;
    settings.IntervalSecs = 1.0f;
    TSeriesPlot* p = Open(&buffer);
    p->UpdateFrame(1.0f);
    EXPECT_FLOAT_EQ(p->GetLastFrameTime(), 1.0f);
    p->UpdateFrame(1.5f); // too soon
    EXPECT_FLOAT_EQ(p->GetLastFrameTime(), 1.0f);
    p->UpdateFrame(0.5f); // a new run: skipped, throttle from 0
    EXPECT_FLOAT_EQ(p->GetLastFrameTime(), 0.0f);
    p->UpdateFrame(1.0f);
    EXPECT_FLOAT_EQ(p->GetLastFrameTime(), 1.0f);
}

// ---- Axes ------------------------------------------------------------------------------------

TEST_F(SeriesPlots, AxisTitlesFollowTheSpanAndTheCalibration)
{
    TSampleBuffer longer(10000, TPcmFormat(4000, 1, 2), 1, false);
    TSeriesPlot* p = Open(&longer);
    p->SetTimeRange(0.0f, 1.5f);
    p->UpdateLayout();
    EXPECT_EQ(p->TimeAxisTitle(), "Time (milliseconds)");
    p->SetTimeRange(0.0f, 2.5f);
    p->UpdateLayout();
    EXPECT_EQ(p->TimeAxisTitle(), "Time (seconds)");
    EXPECT_EQ(p->AmplitudeAxisTitle(false), "Percent Full Scale");

    ChannelCalibration cal(0);
    cal.IsEnabled = 1;
    cal.RefUnits = kUnitVelocity;
    longer.SetScaling(&cal);
    EXPECT_EQ(p->AmplitudeAxisTitle(false), "Velocity (in/sec)");
    EXPECT_EQ(p->AmplitudeAxisTitle(true), "Velocity (in/sec)");
    settings.AmpScaleType = 1;
    EXPECT_EQ(p->AmplitudeAxisTitle(false), "Velocity (in/sec dB)");
}

TEST_F(SeriesPlots, TimeTicksFallOnRoundSecondsWithinTheView)
{
    TSampleBuffer longer(40000, TPcmFormat(4000, 1, 2), 1, false);
    settings.TimeSeriesDataSource = 1;
    TSeriesPlot* p = Open(&longer);
    // 10 s: one-second steps, 1..10 on columns, 0 itself left out.
    const auto& ticks = p->GetTimeTicks();
    ASSERT_GE(ticks.size(), 8u);
    EXPECT_STREQ(ticks.front().label, "1.000");
    EXPECT_EQ(ticks.front().x, p->TimeToColumn(1.0f));
}

// Time labels in narrow windows, for a file in seconds and a live block in milliseconds
// ("100.000"): the text of neighbouring labels never meets, and every label drawn is one of the
// table's.
TEST_F(SeriesPlots, TimeLabelsStandClearOfEachOtherInNarrowWindows)
{
    TWaveFile* file = MakeFile(3600, 4000); // 0.9 s: ticks every 0.1 s
    for (const bool live : {false, true}) {
        settings.TimeSeriesDataSource = live ? 1 : 0;
        for (const int width : {300, 380, 460, 620}) {
            auto* p = new TSeriesPlot;
            CRect r(0, 0, width, 300);
            ASSERT_TRUE(p->Create("Time Series - Crown", kStyle, &r, &settings, &buffer, nullptr, live ? nullptr : file,
                                  0, 0));
            p->UpdateLayout();
            p->UpdateWindow();
            AfxPumpMessages();
            const CRect pane = p->GetPaneRectA();
            const QImage image = p->GetSurface()->Image();
            CScrollBar* bar = p->GetPlotScrollBar();
            const int top = pane.bottom + (bar && bar->IsWindowVisible() ? TSeriesPlot::kScrollHeight + 1 : 0) + 3;
            std::vector<std::pair<int, int>> inks;
            for (int x = pane.left - 5; x < image.width(); ++x) { // right of the amplitude labels
                bool ink = false;
                for (int y = top; y < top + 13 && !ink; ++y)
                    ink = qGray(image.pixel(x, y)) < 160;
                if (!ink)
                    continue;
                if (!inks.empty() && x - inks.back().second < 5)
                    inks.back().second = x;
                else
                    inks.push_back({x, x});
            }
            const auto& ticks = p->GetTimeTicks();
            const auto labelled = std::count_if(ticks.begin(), ticks.end(), [](const auto& t) { return t.label[0]; });
            EXPECT_GE(labelled, 2) << width;
            EXPECT_EQ(static_cast<long>(inks.size()), labelled) << (live ? "live " : "file ") << width << " px";
            for (std::size_t i = 1; i < inks.size(); ++i)
                EXPECT_GE(inks[i].first - inks[i - 1].second - 1, 6) << width << " px, label " << i;
            p->DestroyWindow();
        }
    }
}

// ---- Text export -----------------------------------------------------------------------------

TEST_F(SeriesPlots, CopyAsTextListsTheSelectionInMillisecondsAndPercent)
{
    TWaveFile* file = MakeFile(4000, 4000);
    EXPECT_TRUE(file->SetSample(16384, 2000, 0)); // 16384 of a full scale of 32767.5: 50.001526 %
    TSeriesPlot* p = Open(&buffer, file);
    p->SetTimeRange(0.5f, 0.50075f); // samples 2000..2003: three samples when all selected
    p->UpdateLayout();
    p->SelectAll();
    p->SendMessage(WM_COMMAND, TSeriesPlot::kCopyText, 0);
    const std::string text = ClipboardText();
    EXPECT_EQ(text, "500.000000\t50.001526\r\n500.250000\t0.000000\r\n500.500000\t0.000000\r\n");
    const std::vector<char> link = ClipboardLink();
    ASSERT_EQ(link.size(), 128u);
    EXPECT_EQ(std::string(link.data(), 26), std::string("QorinDT\0Data\0Time Series\0\0", 26));

    // In dB, silence is the no-level value as a single-precision number.
    settings.AmpScaleType = 1;
    EXPECT_NE(p->BuildTextTable().find("500.250000\t-999.900024\r\n"), std::string::npos);
}

// Rows are as wide as their numbers: a calibrated value of 1e30 units does not run into the
// next row or past the end of the table.
TEST_F(SeriesPlots, TextRowsGrowWithTheirNumbers)
{
    TSampleBuffer big(3, TPcmFormat(4000, 1, 2), 1, false);
    ChannelCalibration cal(0);
    cal.IsEnabled = 1;
    cal.CalRatio = 1e30f;
    big.SetScaling(&cal);
    big.SetSample(0, 32767);
    big.SetSample(1, -32767);
    TSeriesPlot* p = Open(&big);
    const std::string text = p->BuildTextTable();
    std::vector<std::string> rows;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        rows.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_GT(rows[0].size(), 40u);
    char expected[128];
    std::snprintf(expected, sizeof expected, "0.000000\t%f", static_cast<float>(big.GetSample(0, true)));
    EXPECT_EQ(rows[0], expected);
    EXPECT_EQ(rows[2], "0.500000\t0.000000");
}

// ---- Commands to the frame -------------------------------------------------------------------

TEST_F(SeriesPlots, SegmentCommandsReachTheFrameAndARefusedPlaySpringsBack)
{
    TWaveFile* file = MakeFile(8000, 4000);
    TSeriesPlot* p = Open(&buffer, file);
    p->SelectAll();
    p->SendMessage(WM_COMMAND, TSeriesPlot::kMute, 0);
    ASSERT_EQ(frame->requests.size(), 1u);
    EXPECT_EQ(frame->requests[0].action, static_cast<WPARAM>(kSeriesMute));
    EXPECT_EQ(frame->requests[0].request.channel, 0);
    EXPECT_FLOAT_EQ(frame->requests[0].request.end, 2.0f);

    frame->answer = 0;
    p->SendMessage(WM_COMMAND, TSeriesPlot::kPlay, 0);
    EXPECT_EQ(frame->requests.back().action, static_cast<WPARAM>(kSeriesPlay));
    EXPECT_FALSE(p->GetButton(TSeriesPlot::kPlay)->IsPressed());
    frame->answer = 1;
    p->SendMessage(WM_COMMAND, TSeriesPlot::kPlay, 0);
    EXPECT_TRUE(p->GetButton(TSeriesPlot::kPlay)->IsPressed());
    p->ReleasePlayButton();
    EXPECT_FALSE(p->GetButton(TSeriesPlot::kPlay)->IsPressed());

    // A double click asks for the spectrum at the clicked time.
    const CRect pane = p->GetPaneRectA();
    p->SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(pane.left + pane.Width() / 2, pane.top + 10));
    EXPECT_EQ(frame->requests.back().action, static_cast<WPARAM>(kSeriesSpectrumAtTime));
    EXPECT_NEAR(frame->requests.back().request.start, 1.0f, 2.0f / pane.Width());
}

TEST_F(SeriesPlots, ThePopUpMenuOpensOnlyInThePaneWithSelectionItemsGreyedWithout)
{
    TWaveFile* file = MakeFile(8000, 4000);
    TSeriesPlot* p = Open(&buffer, file);
    std::vector<MenuItemInfo> shown;
    int menus = 0;
    auto previous = CMenu::SetPopupChooser([&](CMenu& m) {
        ++menus;
        shown = GetMenuItems(m.GetSafeHmenu());
        return 0u;
    });
    p->SendMessage(WM_RBUTTONDOWN, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(menus, 0);
    const CRect pane = p->GetPaneRectA();
    p->SendMessage(WM_RBUTTONDOWN, 0, MAKELPARAM(pane.left + 10, pane.top + 10));
    ASSERT_EQ(menus, 1);
    auto flagsOf = [&](UINT id) {
        for (const MenuItemInfo& i : shown)
            if (i.id == id)
                return i.flags;
        return 0xFFFFFFFFu;
    };
    EXPECT_TRUE(flagsOf(TSeriesPlot::kCut) & MF_GRAYED);
    EXPECT_FALSE(flagsOf(TSeriesPlot::kCopyBitmap) & MF_GRAYED);
    EXPECT_FALSE(flagsOf(TSeriesPlot::kSelectAll) & MF_GRAYED);
    p->SelectAll();
    p->SendMessage(WM_RBUTTONDOWN, 0, MAKELPARAM(pane.left + 10, pane.top + 10));
    EXPECT_FALSE(flagsOf(TSeriesPlot::kCut) & MF_GRAYED);
    EXPECT_FALSE(flagsOf(TSeriesPlot::kSchroeder) & MF_GRAYED);
    CMenu::SetPopupChooser(previous);
}

TEST_F(SeriesPlots, TheValueWindowTogglesAndGoesWhenItClosesItself)
{
    buffer.SetSample(0, 16384);
    TSeriesPlot* p = Open(&buffer);
    p->SendMessage(WM_COMMAND, TSeriesPlot::kViewDataValues, 0);
    CDataView* view = p->GetDataView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetKind(), 1);
    EXPECT_EQ(view->GetWindowTextString(), "Time Series - Ch 0");
    EXPECT_EQ(view->CellText(1, 0), "0.000000");
    EXPECT_EQ(view->CellText(1, 1), "50.001526"); // 16384 of 32767.5
    EXPECT_EQ(view->ItemCount(), 4001);
    // The frame replaces the channel's buffer (as the envelope and integration commands do):
    // the open window lists the new one, never the freed one.
    {
        auto replacement = std::make_unique<TSampleBuffer>(10, TPcmFormat(4000, 1, 2), 1, false);
        replacement->SetSample(0, -16384);
        p->SetBuffer(replacement.get(), nullptr);
        EXPECT_EQ(view->CellText(1, 1), "-50.001526");
        EXPECT_EQ(view->ItemCount(), 11);
        p->SetBuffer(&buffer, nullptr);
    }
    view->SendMessage(WM_CLOSE);
    EXPECT_EQ(p->GetDataView(), nullptr);
    p->SendMessage(WM_COMMAND, TSeriesPlot::kViewDataValues, 0);
    ASSERT_NE(p->GetDataView(), nullptr);
    p->SendMessage(WM_COMMAND, TSeriesPlot::kViewDataValues, 0);
    EXPECT_EQ(p->GetDataView(), nullptr);
}

// ---- Autoscale -------------------------------------------------------------------------------

TEST_F(SeriesPlots, LinearAutoscaleFramesTheSignalInPercent)
{
    // -0.5 and 0.73 of full scale: -50 % and 73 % give top 80 and center 0.
    buffer.SetSample(100, -16384);
    buffer.SetSample(200, 23920);
    TSeriesPlot* p = Open(&buffer);
    p->Autoscale();
    EXPECT_FLOAT_EQ(settings.PlotTop, 80.0f);
    EXPECT_FLOAT_EQ(settings.PlotCenter, 0.0f);

    // All below zero (-20 % to -50 %): the centre sits between the limits, under the top.
    for (DWORD i = 0; i < 4000; ++i)
        buffer.SetSample(i, -6554);
    buffer.SetSample(20, -16384);
    p->Autoscale();
    EXPECT_FLOAT_EQ(settings.PlotTop, -10.0f);
    EXPECT_FLOAT_EQ(settings.PlotCenter, -35.0f);
    EXPECT_LT(settings.PlotCenter, settings.PlotTop);
}

TEST_F(SeriesPlots, LogarithmicAutoscaleSpansOneHundredDecibels)
{
    buffer.SetSample(5, 16384);
    settings.AmpScaleType = 1;
    TSeriesPlot* p = Open(&buffer);
    p->Autoscale();
    EXPECT_EQ(std::fmod(settings.PlotTop, 10.0f), 0.0f);
    EXPECT_FLOAT_EQ(settings.PlotRange, 100.0f);
}

TEST_F(SeriesPlots, AZoomedViewShowsItsTimeTitleWholeAndDecibelLabelsEvenly)
{
    TSeriesPlot* p = Open(&buffer, MakeFile(40000, 4000));
    // Zoomed in, the scroll bar stands under the pane and the labels and title below it.
    p->SetTimeRange(2.0f, 6.0f);
    p->UpdateLayout();
    p->UpdateWindow();
    AfxPumpMessages();
    ASSERT_EQ(p->TimeAxisTitle(), "Time (seconds)");
    CRect client;
    p->GetClientRect(&client);
    const CRect pane = p->GetPaneRectA();
    // The title's ink, in the middle columns below the tick labels: it ends above the window's
    // last row, which stays blank, so no part of it is cut off.
    CClientDC dc(p);
    int lowestInk = -1;
    for (int y = pane.bottom + 12 + 3 + 15; y < client.bottom; ++y)
        for (int x = pane.CenterPoint().x - 50; x < pane.CenterPoint().x + 50; ++x)
            if (dc.GetPixel(x, y) == RGB(0, 0, 0))
                lowestInk = y;
    ASSERT_GT(lowestInk, 0) << "no title drawn";
    EXPECT_LT(lowestInk, client.bottom - 1);

    // Decibels over ranges of 40 to 90 at any height: labels one pitch apart, never overlapping.
    settings.AmpScaleType = 1;
    settings.PlotTop = 0.0f;
    for (float range : {40.0f, 60.0f, 70.0f, 90.0f})
        for (int height = 200; height <= 600; height += 11) {
            settings.PlotRange = range;
            p->MoveWindow(0, 0, 700, height);
            p->UpdateLayout();
            std::vector<int> shown;
            for (const auto& t : p->GetAmpTicks())
                if (t.label[0])
                    shown.push_back(t.y);
            SCOPED_TRACE(testing::Message() << "range " << range << " height " << height);
            ASSERT_GE(shown.size(), 2u);
            const int pitch = shown[1] - shown[0];
            for (size_t i = 1; i < shown.size(); ++i) {
                EXPECT_GE(shown[i] - shown[i - 1], 17);
                EXPECT_NEAR(shown[i] - shown[i - 1], pitch, 1);
            }
        }
}

// In a pane a few pixels tall the amplitude title is left out rather than written over the
// tool strip; in a pane tall enough it shows.
TEST_F(SeriesPlots, TheAmplitudeTitleNeverRunsOverTheToolStrip)
{
    TSeriesPlot* p = Open(&buffer);
    ExpectSideTitleBelowTheStrip(p, 22, 420);
}

// In a window narrower than the tool strip the boxes wrap onto further rows: every shown control
// stays inside the window, clear of the others and above the plot, on either amplitude scale.
TEST_F(SeriesPlots, ANarrowWindowWrapsItsToolStripAndKeepsEveryControlReachable)
{
    TSeriesPlot* p = Open(&buffer);
    for (const WORD scale : {WORD(0), WORD(1)})
        for (const int width : {900, 760, 640, 560, 480, 420, 380}) {
            settings.AmpScaleType = scale;
            p->MoveWindow(0, 0, width, 420);
            p->UpdateLayout();
            AfxPumpMessages();
            SCOPED_TRACE(testing::Message() << "scale " << scale << ", width " << width);
            std::vector<CWnd*> controls;
            for (UINT id : {TSeriesPlot::kSelect, TSeriesPlot::kPlay, TSeriesPlot::kFilter, TSeriesPlot::kZoomIn,
                            TSeriesPlot::kZoom2xIn, TSeriesPlot::kZoom2xOut, TSeriesPlot::kZoomFull,
                            TSeriesPlot::kOptions, TSeriesPlot::kAutoscale, TSeriesPlot::kTopEdit,
                            TSeriesPlot::kTopSpin, TSeriesPlot::kRangeEdit, TSeriesPlot::kRangeSpin,
                            TSeriesPlot::kCenterEdit, TSeriesPlot::kCenterSpin})
                controls.push_back(p->GetDlgItem(static_cast<int>(id)));
            EXPECT_GE(ExpectControlsWithinReach(p, controls, std::min(p->GetToolStripHeight(), p->GetPlotRect().top)),
                      13u);
            // One row while the whole strip fits; more only where the boxes need them.
            if (width >= 760)
                EXPECT_EQ(p->GetToolStripHeight(), 30);
            if (width <= 420)
                EXPECT_GT(p->GetToolStripHeight(), 30);
        }
}

// Whatever top is typed over whatever centre, the span stays open: the centre steps below the
// top, never onto it, and the typed top is kept.
TEST_F(SeriesPlots, ATypedTopNeverClosesTheSpanOnTheCentre)
{
    struct Case {
        const char* top;
        float center;
    };
    for (const Case c : {Case{"0", 0.0f}, Case{"-5", 0.0f}, Case{"-5", -5.0f}, Case{"10", 20.0f}, Case{"0", 3.0f},
                         Case{"7", 7.0f}}) {
        settings.PlotTop = 100.0f;
        settings.PlotCenter = c.center;
        TSeriesPlot* p = Open(&buffer);
        SCOPED_TRACE(testing::Message() << "top " << c.top << " over centre " << c.center);
        p->GetEdit(TSeriesPlot::kTopEdit)->SetWindowText(c.top);
        AfxPumpMessages();
        EXPECT_FLOAT_EQ(settings.PlotTop, static_cast<float>(std::atof(c.top)));
        EXPECT_LT(settings.PlotCenter, settings.PlotTop);
        EXPECT_FLOAT_EQ(static_cast<float>(std::atof(p->GetEdit(TSeriesPlot::kCenterEdit)->GetWindowTextString().c_str())),
                        settings.PlotCenter);
        p->DestroyWindow();
    }
}
