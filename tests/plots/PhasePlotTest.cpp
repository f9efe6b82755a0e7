// The phase plot: its ticks, panes, zoom limits, throttle, read-outs, the trace at known
// pixels, the text copy and the value window.
#include "PlotTestSupport.h"

#include "records/PhasePlotSettings.h"
#include "dsp/SpectralTestSupport.h"
#include "platform/core/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Menu.h"
#include "plots/TPhasePlot.h"
#include "plots/CDataView.h"
#include "support/QtTestAccess.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace spectral_test;

namespace {
class PhasePlots : public PlotWindows {
protected:
    TPhasePlot* Open(SpectralData* a, SpectralData* b = nullptr, int channel = 0)
    {
        auto* p = new TPhasePlot;
        CRect r(0, 0, 700, 420);
        EXPECT_TRUE(p->Create("Phase - Crown", kStyle, &r, processing, scaling, markers, &settings, a, b, channel));
        AfxPumpMessages();
        return p;
    }
    // Every bin of the engine's averaged spectrum at the given phase (degrees).
    static void SetPhase(SpectralData& d, double degrees)
    {
        float* c = d.GetComplexBuffer();
        const double r = degrees * 3.14159265358979323846 / 180.0;
        for (int k = 0; k < d.GetFftSize() / 2; ++k) {
            c[2 * k] = static_cast<float>(std::cos(r));
            c[2 * k + 1] = static_cast<float>(std::sin(r));
        }
    }
    std::vector<std::string> Labels(const std::vector<TPhasePlot::Tick>& ticks)
    {
        std::vector<std::string> out;
        for (const auto& t : ticks)
            if (t.label[0])
                out.push_back(t.label);
        return out;
    }

    ChannelProcessingSettings processing = Processing(48000, 8192);
    ChannelScalingSettings scaling = Scaling(1);
    MarkerSettings markers;
    PhasePlotSettings settings;
    SpectralData engine{&processing, &scaling, false};
    SpectralData second{&processing, &scaling, false};
};
} // namespace

TEST_F(PhasePlots, PhaseTicksStepWithTheRange)
{
    TPhasePlot* p = Open(&engine);
    EXPECT_EQ(Labels(p->GetYTicks()),
              (std::vector<std::string>{"180.0", "135.0", "90.0", "45.0", "0.0", "-45.0", "-90.0", "-135.0", "-180.0"}));
    settings.PlotTop = 90.0f;
    settings.PlotRange = 90.0f;
    p->UpdateLayout();
    ASSERT_GE(p->GetYTicks().size(), 2u);
    EXPECT_STREQ(p->GetYTicks()[1].label, "80.0");
    settings.PlotRange = 0.5f;
    p->UpdateLayout();
    EXPECT_EQ(p->GetYTicks().size(), 6u); // 90.0 down to 89.5 in tenths
}

// The top box typed by the user is applied once the typing pauses, never rewritten meanwhile.
TEST_F(PhasePlots, TypedTopAppliesWhenTypingStops)
{
    TPhasePlot* p = Open(&engine);
    EXPECT_EQ(TypeAndPause(p->GetTopEdit(), "-0.5"), Prefixes("-0.5"));
    EXPECT_FLOAT_EQ(settings.PlotTop, -0.5f);
    TypeAndPause(p->GetTopEdit(), "-");
    EXPECT_FLOAT_EQ(settings.PlotTop, -0.5f);
    QtPressKey(p->GetTopEdit(), Qt::Key_Return);
    AfxPumpMessages();
    EXPECT_EQ(p->GetTopEdit()->GetWindowTextString(), "-0.5");
}

TEST_F(PhasePlots, FrequencyTicksOnLinearAndLogarithmicAxes)
{
    settings.StartFreq = 20.0f;
    settings.StopFreq = 20000.0f;
    TPhasePlot* p = Open(&engine);
    // Linear: 1000 Hz steps; 20 kHz itself lies beyond the last column.
    const auto& ticks = p->GetXTicks();
    ASSERT_EQ(ticks.size(), 19u);
    std::vector<std::string> labels = Labels(ticks);
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels.back(), "19.0k");

    settings.StartFreq = 5.0f;
    settings.StopFreq = 100.0f;
    p->UpdateLayout();
    ASSERT_GE(p->GetXTicks().size(), 2u);
    EXPECT_EQ(Labels(p->GetXTicks()).front(), "20.00"); // span 95: two decimals, 20 Hz steps

    p->SetScalingSettings(Scaling(1, 1));
    settings.StartFreq = 20.0f;
    settings.StopFreq = 20000.0f;
    p->UpdateLayout();
    // 20..90, 100..900, 1000..9000, 10000: 27 ticks, labels thinned to 30 pixels.
    EXPECT_EQ(p->GetXTicks().size(), 27u);
    int lastLabelled = 1 << 30;
    for (auto it = p->GetXTicks().rbegin(); it != p->GetXTicks().rend(); ++it)
        if (it->label[0]) {
            EXPECT_LE(it->offset, lastLabelled - 30);
            lastLabelled = it->offset;
        }
}

// The frequency labels as drawn, in windows from narrow to wide, on linear and logarithmic
// axes: the ink of neighbouring labels stands at least 30 pixels apart, every label drawn is
// one of the table's (none run into another), and the phase labels do not overlap either.
TEST_F(PhasePlots, LabelsKeepClearOfEachOtherAtEveryWidth)
{
    settings.StartFreq = 20.0f;
    settings.StopFreq = 20000.0f;
    for (const WORD scale : {WORD(0), WORD(1)}) {
        scaling = Scaling(1, scale);
        for (const int width : {240, 330, 460, 700, 1100}) {
            auto* p = new TPhasePlot;
            CRect r(0, 0, width, 200);
            ASSERT_TRUE(p->Create("Phase - Crown", kStyle, &r, processing, scaling, markers, &settings, &engine,
                                  nullptr, 0));
            p->UpdateWindow();
            AfxPumpMessages();
            const CRect pane = p->GetPaneRectA();
            const QImage image = p->GetSurface()->Image();
            const auto inked = [&](int x, int y0, int y1) {
                for (int y = y0; y < y1; ++y)
                    if (qGray(image.pixel(x, y)) < 160)
                        return true;
                return false;
            };
            // Runs of inked columns in the label row; a gap under 6 pixels lies inside a label.
            std::vector<std::pair<int, int>> inks;
            CScrollBar* bar = p->GetPlotScrollBar();
            const int below = pane.bottom + (bar && bar->IsWindowVisible() ? TPhasePlot::kScrollHeight + 1 : 0);
            const int top = below + 3, bottom = top + 13;
            // From just left of the pane: a narrow window's wrapped strip leaves a short pane,
            // whose axis title on its side reaches down past the label row at the far left.
            for (int x = std::max(0, pane.left - 20); x < image.width(); ++x) {
                if (!inked(x, top, bottom))
                    continue;
                if (!inks.empty() && x - inks.back().second < 6)
                    inks.back().second = x;
                else
                    inks.push_back({x, x});
            }
            const auto& ticks = p->GetXTicks();
            const auto labelled = std::count_if(ticks.begin(), ticks.end(), [](const auto& t) { return t.label[0]; });
            EXPECT_GE(labelled, 2) << width << " px, scale " << scale;
            EXPECT_EQ(static_cast<long>(inks.size()), labelled) << width << " px, scale " << scale;
            for (std::size_t i = 1; i < inks.size(); ++i)
                EXPECT_GE(inks[i].first - inks[i - 1].second - 1, 30)
                    << width << " px, scale " << scale << ", label " << i;
            // The axis title and the phase labels beside it: three clear columns between them.
            int clear = 0;
            for (int x = 8; x < pane.left - 6 && clear < 3; ++x)
                clear = inked(x, pane.top - 6, pane.bottom + 6) ? 0 : clear + 1;
            EXPECT_EQ(clear, 3) << width << " px, scale " << scale;
            // Phase labels: each one's rows clear of the next one's.
            int lastBottom = -1000;
            for (const auto& t : p->GetYTicks())
                if (t.label[0]) {
                    EXPECT_GE(t.offset - 7, lastBottom) << width << " px: " << t.label;
                    lastBottom = t.offset + 8;
                }
            p->DestroyWindow();
        }
    }
}

TEST_F(PhasePlots, TwoSourcesMakeTwoPanes)
{
    TPhasePlot* one = Open(&engine);
    EXPECT_EQ(one->GetPaneMode(), 1);
    TPhasePlot* two = Open(&engine, &second);
    EXPECT_EQ(two->GetPaneMode(), 2);
    EXPECT_FALSE(two->GetPaneRectB().IsRectEmpty());
    two->SetData(&engine, nullptr);
    two->UpdateLayout();
    EXPECT_EQ(two->GetPaneMode(), 1);
}

TEST_F(PhasePlots, ZoomStepsBelowEightBinsAndOutAtFullSpanDoNothing)
{
    TPhasePlot* p = Open(&engine);
    p->SendMessage(WM_COMMAND, TPhasePlot::kZoomFull, 0);
    const int start = p->GetVisibleStart(), end = p->GetVisibleEnd();
    ASSERT_EQ(start, engine.GetFirstBin());
    ASSERT_EQ(end, engine.GetLastBin());
    p->SendMessage(WM_COMMAND, TPhasePlot::kZoom2xOut, 0);
    EXPECT_EQ(p->GetVisibleStart(), start);
    EXPECT_EQ(p->GetVisibleEnd(), end);
    p->SendMessage(WM_COMMAND, TPhasePlot::kZoom2xIn, 0);
    EXPECT_EQ(p->GetVisibleEnd() - p->GetVisibleStart(), (end - start) - 2 * ((end - start) / 4));
    settings.StartFreq = engine.GetBinFrequency(100);
    settings.StopFreq = engine.GetBinFrequency(107);
    p->UpdateLayout();
    ASSERT_EQ(p->GetVisibleEnd() - p->GetVisibleStart(), 7);
    p->SendMessage(WM_COMMAND, TPhasePlot::kZoom2xIn, 0);
    EXPECT_EQ(p->GetVisibleEnd() - p->GetVisibleStart(), 7);
}

TEST_F(PhasePlots, TheIntervalThrottleDrawsEveryFourthQuarterSecondBlock)
{
    settings.IntervalFlag = 1;
    settings.IntervalSecs = 1.0f;
    TPhasePlot* p = Open(&engine);
    std::vector<float> drawn;
    for (int i = 1; i <= 8; ++i) {
        const float before = p->GetLastFrameTime();
        p->UpdateFrame(0.25f * i);
        if (p->GetLastFrameTime() != before)
            drawn.push_back(p->GetLastFrameTime());
    }
    EXPECT_EQ(drawn, (std::vector<float>{1.0f, 2.0f}));
    p->UpdateFrame(0.5f); // a new run
    EXPECT_EQ(p->GetLastFrameTime(), 0.0f);
}

TEST_F(PhasePlots, TheTraceSitsAtItsPhaseAndPullCursorReadsIt)
{
    SetPhase(engine, 90.0);
    settings.LineColor = RGB(0, 0, 0);
    settings.BackgroundColor = RGB(255, 255, 255);
    settings.GridXEnabled = settings.GridYEnabled = 0;
    TPhasePlot* p = Open(&engine);
    p->ClearHighlight();
    const CRect pane = p->GetPlotRect();
    const int h = pane.Height();
    const int y = pane.bottom - static_cast<int>(std::lround(h * (90.0 - 180.0 + 360.0) / 360.0));
    p->UpdateWindow();
    AfxPumpMessages();
    CClientDC dc(p);
    const int x = pane.left + pane.Width() / 2;
    EXPECT_EQ(dc.GetPixel(x, y), RGB(0, 0, 0));
    EXPECT_EQ(dc.GetPixel(x, y - 20), RGB(255, 255, 255));

    // Without the pull the read-out is the cursor's height; with it, the trace's phase.
    EXPECT_NEAR(p->PixelToYValue(x, pane.bottom - h / 4), -90.0f, 360.0f / h + 1e-3f);
    settings.GrabCursorFlag = 1;
    EXPECT_NEAR(p->PixelToYValue(x, pane.bottom - h / 4), 90.0f, 1e-3f);
    POINT pt{x, pane.top + 3};
    ASSERT_TRUE(p->PullCursorToTrace(pt));
    EXPECT_EQ(pt.y, y);
}

// The base's measuring cursor on the phase plot: crosshair and read-outs, harmonics at
// multiples of the cursor's frequency, pull-to-trace onto the 90-degree trace, and Ctrl's
// differences copied as they show.
TEST_F(PhasePlots, TheMeasuringCursorReadsPhaseMarksHarmonicsAndPullsOntoTheTrace)
{
    SetPhase(engine, 90.0);
    settings.LineColor = RGB(0, 0, 0);
    settings.BackgroundColor = RGB(255, 255, 255);
    settings.GridXEnabled = settings.GridYEnabled = 0;
    settings.StartFreq = 0.0f;
    settings.StopFreq = 24000.0f;
    TPhasePlot* p = Open(&engine);
    p->ClearHighlight();
    p->UpdateWindow();
    AfxPumpMessages();
    const CRect pane = p->GetPlotRect();
    const int h = pane.Height();
    CClientDC dc(p);
    const auto blackInRow = [&](int y) {
        int n = 0;
        for (int x = pane.left; x < pane.right; ++x)
            n += dc.GetPixel(x, y) == RGB(0, 0, 0);
        return n;
    };
    const int trace = pane.bottom - static_cast<int>(std::lround(h * (90.0 - 180.0 + 360.0) / 360.0));
    ASSERT_EQ(blackInRow(trace), pane.Width());

    // Plain: the crosshair over the pane, frequency and phase under the point.
    const int x = pane.left + 97, y = pane.top + 10;
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ASSERT_TRUE(p->IsTracking());
    EXPECT_EQ(blackInRow(y), pane.Width() - 1);
    EXPECT_EQ(blackInRow(trace), pane.Width() - 1); // the trace, less where the column crosses it
    const float f = p->ColumnFrequency(x);
    EXPECT_GT(f, 0.0f);
    EXPECT_FLOAT_EQ(p->GetXReadoutValue(), f);
    EXPECT_NEAR(p->GetYReadoutValue(), 180.0 - 360.0 * 10 / h, 1e-3);
    // A live block repaints the pane under the drag: the crosshair comes back with it, and the
    // next move leaves nothing of it behind.
    p->UpdateFrame(0.0f);
    EXPECT_EQ(blackInRow(y), pane.Width() - 1);
    p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y + 20));
    EXPECT_EQ(blackInRow(y), 1); // the column crossing it, nothing left of the old row
    EXPECT_EQ(blackInRow(y + 20), pane.Width() - 1);
    p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    EXPECT_EQ(blackInRow(y), 0);
    EXPECT_EQ(blackInRow(trace), pane.Width());

    // Shift: lines at the columns of 2f, 3f, ... (each about k times the cursor's column).
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(x, y));
    int marked = 0;
    for (int k = 2; k * 97 < pane.Width() - 2; ++k) {
        const int c = p->FrequencyToColumn(static_cast<float>(k) * f);
        ASSERT_NE(c, TPhasePlot::kNoColumn);
        EXPECT_LE(std::abs(c - k * 97), k);
        EXPECT_EQ(dc.GetPixel(pane.left + c, pane.top + 3), RGB(0, 0, 0)) << k;
        ++marked;
    }
    EXPECT_GE(marked, 3);
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    EXPECT_EQ(blackInRow(pane.top + 3), 0);

    // Pulled: the cursor sits on the trace and reads its phase wherever it was pressed.
    p->SendMessage(WM_COMMAND, TPhasePlot::kPullCursor, 0);
    ASSERT_EQ(settings.GrabCursorFlag, 1);
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, pane.bottom - 8));
    EXPECT_NEAR(p->GetYReadoutValue(), 90.0f, 1e-3);
    EXPECT_EQ(blackInRow(pane.bottom - 8), 1); // only the column crosses the pressed row
    EXPECT_EQ(blackInRow(trace), 1);            // the crosshair's row is the trace's, inverted
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, pane.bottom - 8));
    p->SendMessage(WM_COMMAND, TPhasePlot::kPullCursor, 0);

    // Ctrl: differences from the start; the right button copies them as shown.
    const CPoint a(pane.left + 50, pane.top + 150), b(pane.left + 250, pane.top + 40);
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(a.x, a.y));
    p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, MAKELPARAM(b.x, b.y));
    EXPECT_FLOAT_EQ(p->GetXReadoutValue(), p->ColumnFrequency(b.x) - p->ColumnFrequency(a.x));
    EXPECT_NEAR(p->GetYReadoutValue(), 360.0 * (a.y - b.y) / h, 1e-3);
    int menus = 0;
    auto previous = CMenu::SetPopupChooser([&](CMenu&) -> UINT {
        ++menus;
        return 1503;
    });
    p->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON | MK_LBUTTON, MAKELPARAM(b.x, b.y));
    CMenu::SetPopupChooser(previous);
    EXPECT_EQ(menus, 1);
    EXPECT_FALSE(p->IsTracking());
    ASSERT_TRUE(OpenClipboard(nullptr));
    const std::string copied = static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT)));
    CloseClipboard();
    char want[80];
    std::snprintf(want, sizeof want, "Freq=\t%5.4f\r\nPhase=\t%5.4f\r\n", static_cast<double>(p->GetXReadoutValue()),
                  static_cast<double>(p->GetYReadoutValue()));
    EXPECT_EQ(copied, want);
}

TEST_F(PhasePlots, CopyAsTextHasAHeaderAndOneLinePerVisibleBin)
{
    SetPhase(engine, 45.0);
    SetPhase(second, -30.0);
    engine.SetUnitsLabel("Crown");
    TPhasePlot* p = Open(&engine);
    settings.StartFreq = engine.GetBinFrequency(10);
    settings.StopFreq = engine.GetBinFrequency(20);
    p->UpdateLayout();
    ASSERT_EQ(p->GetVisibleStart(), 10);
    ASSERT_EQ(p->GetVisibleEnd(), 20);
    p->SendMessage(WM_COMMAND, TPhasePlot::kCopyText, 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    const char* text = static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT)));
    const std::string table = text ? text : "";
    HANDLE link = GetClipboardData(RegisterClipboardFormatA("Link"));
    ASSERT_NE(link, nullptr);
    const std::string linkBytes(static_cast<const char*>(GlobalLock(link)), 21);
    CloseClipboard();
    EXPECT_EQ(linkBytes, std::string("Vesterin\0Data\0Phase\0\0", 21));
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < table.size();) {
        const std::size_t end = table.find("\r\n", at);
        lines.push_back(table.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], ";Freq(Hz)\tPhase (deg) Crown");
    char first[64];
    std::snprintf(first, sizeof first, "%6.6f\t%f", engine.GetBinFrequency(10), engine.GetPhaseDegrees(10));
    EXPECT_EQ(lines[1], first);

    p->SetData(&engine, &second);
    p->UpdateLayout();
    const std::string both = p->BuildTextTable();
    const std::string row = both.substr(both.find("\r\n") + 2);
    EXPECT_EQ(std::count(row.begin(), row.begin() + static_cast<long>(row.find("\r\n")), '\t'), 2);
}

TEST_F(PhasePlots, ACompositeValueWindowTakesTheCompositeIndexAndLetter)
{
    TPhasePlot* p = Open(&engine, nullptr, 8 + 2);
    p->SendMessage(WM_COMMAND, TPhasePlot::kViewDataValues, 0);
    CDataView* view = p->GetDataView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetChannel(), 2);
    EXPECT_TRUE(view->IsComposite());
    EXPECT_EQ(view->GetKind(), 3);
    EXPECT_EQ(view->GetWindowTextString(), "Phase Data - Ch C");
    EXPECT_EQ(view->GetSource(), &engine);
    p->SetData(&second, nullptr);
    EXPECT_EQ(view->GetSource(), &second);
    view->SendMessage(WM_CLOSE);
    EXPECT_EQ(p->GetDataView(), nullptr);
}

TEST_F(PhasePlots, RightClickOutsideThePanesOpensNoMenu)
{
    TPhasePlot* p = Open(&engine, &second);
    int menus = 0;
    auto previous = CMenu::SetPopupChooser([&](CMenu&) {
        ++menus;
        return 0u;
    });
    const CRect a = p->GetPaneRectA();
    const CRect b = p->GetPaneRectB();
    p->SendMessage(WM_RBUTTONDOWN, 0, MAKELPARAM(a.left + 5, a.bottom + (b.top - a.bottom) / 2));
    EXPECT_EQ(menus, 0);
    p->SendMessage(WM_RBUTTONDOWN, 0, MAKELPARAM(b.left + 5, b.top + 5));
    EXPECT_EQ(menus, 1);
    CMenu::SetPopupChooser(previous);
}

// In a pane a few pixels tall the phase title is left out rather than written over the tool
// strip; in a pane tall enough it shows.
TEST_F(PhasePlots, ThePhaseTitleNeverRunsOverTheToolStrip)
{
    TPhasePlot* p = Open(&engine);
    ExpectSideTitleBelowTheStrip(p, 22, 420);
}

// A window too narrow for the one-row strip (a phase window is often about 215 pixels wide)
// wraps Plot Top onto a further row: every control inside the window and above the plot, and
// the box's label drawn beside it where it went.
TEST_F(PhasePlots, ANarrowWindowWrapsPlotTopAndKeepsItReachable)
{
    TPhasePlot* p = Open(&engine);
    for (const int width : {700, 320, 260, 215, 190}) {
        SCOPED_TRACE(testing::Message() << "width " << width);
        p->MoveWindow(0, 0, width, 420);
        p->UpdateLayout();
        AfxPumpMessages();
        std::vector<CWnd*> controls;
        for (UINT id : {TPhasePlot::kZoomIn, TPhasePlot::kZoom2xIn, TPhasePlot::kZoom2xOut, TPhasePlot::kZoomFull,
                        TPhasePlot::kOptions, TPhasePlot::kTopEdit, TPhasePlot::kTopSpin})
            controls.push_back(p->GetDlgItem(static_cast<int>(id)));
        EXPECT_EQ(ExpectControlsWithinReach(p, controls, std::min(p->GetToolStripHeight(), p->GetPlotRect().top)), 7u);
        if (width >= 320)
            EXPECT_EQ(p->GetToolStripHeight(), 30);
        if (width <= 260)
            EXPECT_EQ(p->GetToolStripHeight(), 60);
        CRect box;
        p->GetDlgItem(TPhasePlot::kTopEdit)->GetWindowRect(&box);
        p->ScreenToClient(&box);
        p->Invalidate();
        EXPECT_GT(InkIn(p, CRect(std::max(0, box.left - 44), box.top, box.left - 2, box.bottom)), 20)
            << "no label beside the box";
    }
    p->DestroyWindow();
}
