// The spectrogram and 3-D surface windows headless: where a new line lands in each direction,
// the interval throttle, the waterfall's geometry, selections turned into times, the level
// edits, autoscale and the resize timer, and what the windows ask of their frame.
//
// With DURNEX_SCREENSHOT_DIR set, the windows of every direction and colour mode are saved
// there as PNG files to be looked at.
#include "records/AppMessages.h"
#include "records/MarkerSettings.h"
#include "records/SpectrogramPlotSettings.h"
#include "records/SurfacePlotSettings.h"
#include "dsp/SpectralTestSupport.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "platform/core/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/LongOperation.h"
#include "platform/ui/Menu.h"
#include "records/PrintSettings.h"
#include "support/QtTestAccess.h"
#include "support/MdiFrameFixture.h"
#include "plots/PlotTestSupport.h"


#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace spectral_test;

namespace {

// A frame that records the windows' requests. With busyMs set, a rebuild runs as the frame's
// does: a long operation that peeks at messages (paints and timers go on, input is held back).
class SegmentFrame : public CMDIFrameWnd {
public:
    std::vector<WPARAM> codes;
    std::vector<PlotSegmentRequest> requests;
    int busyMs = 0;
    int depth = 0;
    int deepest = 0;
    LRESULT OnPlotSegment(WPARAM code, LPARAM lParam)
    {
        codes.push_back(code);
        requests.push_back(*reinterpret_cast<const PlotSegmentRequest*>(lParam));
        if (code == PLOT_SEGMENT_REBUILD && busyMs > 0) {
            deepest = std::max(deepest, ++depth);
            // A nested one is only counted: left to run, nesting would never end.
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyMs);
            while (depth == 1 && std::chrono::steady_clock::now() < until) {
                AfxCheckCancel(this);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            --depth;
        }
        return 1;
    }
    LRESULT OnPlotClosing(WPARAM, LPARAM lParam)
    {
        reinterpret_cast<CWnd*>(lParam)->DestroyWindow();
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SegmentFrame, CMDIFrameWnd)
    ON_MESSAGE(WM_PLOT_SEGMENT, &SegmentFrame::OnPlotSegment)
    ON_MESSAGE(WM_PLOT_CLOSING, &SegmentFrame::OnPlotClosing)
END_MESSAGE_MAP()

std::string Format(const char* format, double v)
{
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW;
constexpr int kRate = 8000;
constexpr int kFft = 1024;

class HistoryWindows : public MdiFrameTest<SegmentFrame, 1000, 800> {
protected:
    void SetUp() override
    {
        MdiFrameTest::SetUp();
        engine = std::make_unique<SpectralData>(&processing, &scaling, false);
        quiet = std::make_unique<SpectralData>(&processing, &scaling, false);
        // A tone of 1000 Hz at half of full scale; the quiet engine barely anything.
        FeedBlock(*engine, window, {{1000.0 * kFft / kRate, 0.5}});
        engine->Average(false);
        FeedBlock(*quiet, window, {{1000.0 * kFft / kRate, 1e-6}});
        quiet->Average(false);
        spectrogram.StartFreq = 0.0f;
        spectrogram.StopFreq = 4000.0f;
        spectrogram.PlotTop = 50.0f;
        spectrogram.PlotRange = 150.0f;
        surface.StartFreq = 0.0f;
        surface.StopFreq = 4000.0f;
        surface.PlotTop = 50.0f;
        surface.PlotRange = 150.0f;
    }
    TSpectrogram* OpenSpectrogram(int composite = 0)
    {
        auto* p = new TSpectrogram;
        CRect r(0, 0, 640, 480);
        EXPECT_TRUE(p->Create("Spectrogram - Crown", kStyle, &r, processing, scaling, markers, &spectrogram,
                              engine.get(), 0, 0, composite));
        AfxPumpMessages();
        return p;
    }
    TSurfacePlot* OpenSurface()
    {
        auto* p = new TSurfacePlot;
        CRect r(0, 0, 640, 480);
        EXPECT_TRUE(p->Create("3-D Surface - Crown", kStyle, &r, processing, scaling, markers, &surface, engine.get(),
                              0, 0, 0));
        AfxPumpMessages();
        return p;
    }
    // A spectrogram (kind 0) or a surface (kind 1) with `lines` spectra 0.37 s apart, each of
    // `data` when given.
    TPlotBase* OpenWithLines(int kind, int lines, SpectralData* data)
    {
        TSpectrogram* p = kind == 0 ? OpenSpectrogram() : nullptr;
        TSurfacePlot* s = kind == 1 ? OpenSurface() : nullptr;
        for (int i = 1; i <= lines; ++i) {
            if (p) {
                if (data)
                    p->SetData(data, nullptr);
                p->AddSpectrum(0.37f * i);
            } else if (s) {
                if (data)
                    s->SetData(data, nullptr);
                s->AddSpectrum(0.37f * i);
            }
        }
        return p ? static_cast<TPlotBase*>(p) : static_cast<TPlotBase*>(s);
    }
    static COLORREF Pixel(CBitmap* bitmap, int x, int y)
    {
        CDC mem;
        mem.CreateCompatibleDC(nullptr);
        CBitmap* old = mem.SelectObject(bitmap);
        const COLORREF c = mem.GetPixel(x, y);
        mem.SelectObject(old);
        return c;
    }
    static void Save(CWnd* wnd, const std::string& name)
    {
        const char* dir = std::getenv("DURNEX_SCREENSHOT_DIR");
        if (!dir || !*dir)
            return;
        wnd->Invalidate();
        wnd->UpdateWindow();
        AfxPumpMessages();
        wnd->GetSurface()->Image().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
    }

    ChannelProcessingSettings processing = Processing(kRate, kFft);
    ChannelScalingSettings scaling = Scaling(1);
    MarkerSettings markers;
    SpectrogramPlotSettings spectrogram;
    SurfacePlotSettings surface;
    TSmoothing window{kFft, TSmoothing::kHanning, 2};
    std::unique_ptr<SpectralData> engine;
    std::unique_ptr<SpectralData> quiet;
};

} // namespace

TEST_F(HistoryWindows, NewLinesEnterAtTheEdgeOfTheirDirectionWithTheToneAtItsFrequency)
{
    for (WORD direction = 0; direction < 4; ++direction) {
        spectrogram.Direction = direction;
        TSpectrogram* p = OpenSpectrogram();
        ASSERT_NE(p->GetPaneBitmap(0), nullptr);
        for (int i = 1; i <= 40; ++i) {
            p->SetData(i % 8 == 0 ? engine.get() : quiet.get(), nullptr);
            p->AddSpectrum(0.1f * i);
        }
        BITMAP b{};
        p->GetPaneBitmap(0)->GetBitmap(&b);
        const int column = history::FrequencyToColumn(p->GetFrequencyMap(), 1000.0f);
        ASSERT_GE(column, 0);
        // The newest line (row 0, a tone) sits at the entry edge; the tone is the brightest.
        auto at = [&](int p0, int row) {
            switch (direction) {
            case 0: return CPoint(b.bmWidth - 1 - row, b.bmHeight - 1 - p0);
            case 1: return CPoint(row, b.bmHeight - 1 - p0);
            case 2: return CPoint(p0, b.bmHeight - 1 - row);
            default: return CPoint(p0, row);
            }
        };
        const auto& colours = p->GetColours();
        const CPoint tone = at(column, 0);
        const CPoint beside = at(column + 40, 0);
        const CPoint older = at(column, 4); // row 4..5: a quiet line
        auto index = [&](CPoint q) {
            const COLORREF c = Pixel(p->GetPaneBitmap(0), q.x, q.y);
            return static_cast<int>(std::find(colours.begin(), colours.end(), c) - colours.begin());
        };
        EXPECT_GT(index(tone), index(beside) + 40) << "direction " << direction;
        EXPECT_GT(index(tone), index(older) + 40) << "direction " << direction;
        // Every 8th line of 2 rows had the tone: row 16 does too.
        EXPECT_EQ(index(at(column, 16)), index(tone)) << "direction " << direction;
        EXPECT_FLOAT_EQ(p->GetHistory().RowTime(0), 4.0f);
        EXPECT_STREQ(p->GetEntryEdgeText(), "00:00:04.00");
        Save(p, "spectrogram_direction_" + std::to_string(direction));
        p->DestroyWindow();
        AfxPumpMessages();
    }
}

TEST_F(HistoryWindows, ScreenshotsOfColourModes)
{
    for (WORD mode = 0; mode < 3; ++mode) {
        spectrogram.ColorMode = mode;
        spectrogram.Direction = 0;
        TSpectrogram* p = OpenSpectrogram();
        for (int i = 1; i <= 100; ++i) {
            FeedBlock(*engine, window, {{(500.0 + 25.0 * i) * kFft / kRate, 0.3}}, 0.001, nullptr);
            engine->Average(false);
            p->AddSpectrum(0.05f * i);
        }
        EXPECT_EQ(p->GetColours().size(), 200u);
        // The colour bar beside the plot: the first colour at the bottom, the last at the top, in
        // even steps (its first and last rows are the frame).
        p->Invalidate();
        p->UpdateWindow();
        AfxPumpMessages();
        {
            CClientDC dc(p);
            const CRect area = p->GetPlotRect();
            const auto& colours = p->GetColours();
            const int h = area.Height(), n = static_cast<int>(colours.size());
            int wrong = 0;
            for (int k = 1; k < h - 1; ++k)
                wrong += dc.GetPixel(area.right + 14, area.bottom - 1 - k) !=
                         colours[static_cast<std::size_t>(std::min(k * n / h, n - 1))];
            EXPECT_EQ(wrong, 0) << "mode " << mode;
        }
        Save(p, "spectrogram_mode_" + std::to_string(mode));
        p->DestroyWindow();
        AfxPumpMessages();
    }
    for (WORD mode = 0; mode < 4; ++mode) {
        surface.ColorMode = mode;
        TSurfacePlot* s = OpenSurface();
        for (int i = 1; i <= 100; ++i) {
            FeedBlock(*engine, window, {{(500.0 + 25.0 * i) * kFft / kRate, 0.3}}, 0.001, nullptr);
            engine->Average(false);
            s->AddSpectrum(0.05f * i);
        }
        Save(s, "surface_mode_" + std::to_string(mode));
        s->DestroyWindow();
        AfxPumpMessages();
    }
}

TEST_F(HistoryWindows, IntervalThrottleDropsSpectraUntilTheIntervalHasPassed)
{
    spectrogram.IntervalFlag = 1;
    spectrogram.IntervalSecs = 2.0f;
    TSpectrogram* p = OpenSpectrogram();
    std::vector<float> drawn;
    for (float t : {0.5f, 1.0f, 1.5f, 2.0f, 3.0f, 4.0f, 0.2f}) {
        const float before = p->GetHistory().RowTime(0);
        p->AddSpectrum(t);
        if (p->GetHistory().RowTime(0) != before)
            drawn.push_back(t);
    }
    EXPECT_EQ(drawn, (std::vector<float>{2.0f, 4.0f}));
    // The 0.2 s spectrum reset the throttle: the next one at 2.2 s is drawn.
    p->AddSpectrum(2.2f);
    EXPECT_FLOAT_EQ(p->GetHistory().RowTime(0), 2.2f);
}

TEST_F(HistoryWindows, SweepModeWritesOverTheOldestLineAndWraps)
{
    spectrogram.ScrollType = 1;
    spectrogram.Direction = 3;
    TSpectrogram* p = OpenSpectrogram();
    const int count = p->GetHistory().Count();
    std::vector<int> positions;
    for (int i = 0; i < count / 2 + 2; ++i) {
        positions.push_back(p->GetSweepPosition());
        p->AddSpectrum(1.0f + i);
    }
    EXPECT_EQ(positions[0], 0);
    EXPECT_EQ(positions[1], 2);
    // It wraps once it reaches count - thickness.
    const auto wrap = std::find(positions.begin() + 1, positions.end(), 0);
    ASSERT_NE(wrap, positions.end());
    EXPECT_EQ(*(wrap - 1), ((count - 2 - 1) / 2) * 2);
    // Each line's time sits where it was painted: row 2 holds the last spectrum swept there.
    const auto last = std::find(positions.rbegin(), positions.rend(), 2);
    ASSERT_NE(last, positions.rend());
    EXPECT_FLOAT_EQ(p->GetHistory().RowTime(2), 1.0f + static_cast<float>(positions.rend() - last - 1));
}

TEST_F(HistoryWindows, SelectionBecomesTheTimesOfItsEdgeRows)
{
    spectrogram.Direction = 1;
    TSpectrogram* p = OpenSpectrogram();
    // Line 0 is the newest.
    for (int line = 0; line < p->GetLineCapacity(); ++line)
        p->SetHistoryLine(line, 100.0f - 0.1f * line);
    const CRect area = p->GetPlotRect();
    // Dragged from x = left + 100 back to left + 20.
    p->SendMessage(WM_COMMAND, IDC_HISTORY_SELECT, 0);
    EXPECT_TRUE(p->IsSelectMode());
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(area.left + 100, area.top + 10));
    p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(area.left + 20, area.top + 20));
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(area.left + 20, area.top + 20));
    EXPECT_TRUE(p->IsSelectMode()); // the Select tool stays on for the next drag
    float start = 0, end = 0;
    p->GetSelectedSegment(start, end);
    EXPECT_FLOAT_EQ(start, p->GetHistory().RowTime(100));
    EXPECT_FLOAT_EQ(end, p->GetHistory().RowTime(20));
    EXPECT_TRUE(p->CanPlayOrFilter());
    EXPECT_FALSE(p->GetToolButton(IDC_HISTORY_PLAY)->IsDisabled());
    // The picture under the selection is shown inverted.
    EXPECT_FALSE(p->GetPaneSelection(0).IsRectEmpty());
    // Average Spectrum hands the frame the channel and the two times.
    p->SendMessage(WM_COMMAND, ID_HISTORY_AVERAGE, 0);
    ASSERT_FALSE(frame->codes.empty());
    EXPECT_EQ(frame->codes.back(), static_cast<WPARAM>(ID_HISTORY_AVERAGE));
    EXPECT_FLOAT_EQ(frame->requests.back().Start, start);
    EXPECT_FLOAT_EQ(frame->requests.back().End, end);
    // Toggling select mode on and off leaves play and filter disabled.
    p->SendMessage(WM_COMMAND, IDC_HISTORY_SELECT, 0);
    p->SendMessage(WM_COMMAND, IDC_HISTORY_SELECT, 0);
    EXPECT_TRUE(p->GetToolButton(IDC_HISTORY_PLAY)->IsDisabled());
    EXPECT_TRUE(p->GetToolButton(IDC_HISTORY_FILTER)->IsDisabled());
    p->GetSelectedSegment(start, end);
    EXPECT_EQ(start, 0.0f);
    EXPECT_EQ(end, 0.0f);
}

TEST_F(HistoryWindows, CompositeSelectionKeepsPlayAndFilterOff)
{
    TSpectrogram* p = OpenSpectrogram(1);
    p->SelectAll();
    EXPECT_TRUE(p->CanPlayOrFilter());
    EXPECT_TRUE(p->GetToolButton(IDC_HISTORY_PLAY)->IsDisabled());
    p->OnPlaySegment();
    EXPECT_TRUE(frame->codes.empty());
}

TEST_F(HistoryWindows, LevelEditsFollowTheAmplitudeScale)
{
    TSpectrogram* p = OpenSpectrogram();
    p->GetRangeEdit()->SetWindowText("0.5");
    p->ApplyPendingLevels();
    EXPECT_FLOAT_EQ(spectrogram.PlotRange, 1.0f);
    EXPECT_EQ(p->GetRangeEdit()->GetWindowTextString(), "1.0");
    // Not running: the new scale asks the frame for a rebuild.
    ASSERT_FALSE(frame->codes.empty());
    EXPECT_EQ(frame->codes.back(), PLOT_SEGMENT_REBUILD);
    p->DestroyWindow();
    AfxPumpMessages();

    // Linear: a dB top left at zero becomes full scale, and the colour bar is labelled.
    scaling = Scaling(0);
    spectrogram.PlotTop = 0.0f;
    p = OpenSpectrogram();
    EXPECT_EQ(p->GetRangeEdit()->GetWindowTextString(), "N/A");
    EXPECT_FALSE(p->GetRangeEdit()->IsWindowEnabled());
    EXPECT_FLOAT_EQ(spectrogram.PlotTop, 1.0f);
    EXPECT_EQ(p->GetTopEdit()->GetWindowTextString(), "1.000");
    {
        p->RedrawWindow();
        AfxPumpMessages();
        // The labels stand right of the bar's ticks (10 beyond the plot, bar 8, ticks 2).
        const QImage img = p->GetSurface()->Image();
        const CRect area = p->GetPlotRect();
        int ink = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.right + 22; x < area.right + 45 && x < img.width(); ++x)
                ink += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
        EXPECT_GT(ink, 20);
    }
    p->DestroyWindow();
    AfxPumpMessages();


    scaling = Scaling(2);
    spectrogram.PlotRange = 1e-5f;
    p = OpenSpectrogram();
    p->GetTopEdit()->SetWindowText("0");
    p->ApplyPendingLevels();
    EXPECT_FLOAT_EQ(spectrogram.PlotTop, 0.000001f);
}

// The amplitude scale changes under an open window (as the frame applies a new scaling): the
// dB top and span it had are no log-magnitude levels, and the 1e-6 bottom left by a log
// magnitude axis is no dB span. Each becomes what the new axis draws with, in the boxes and
// on the colour bar; values that fit stay as set.
TEST_F(HistoryWindows, LevelsCarriedOverFromAnotherScaleBecomeOnesItCanShow)
{
    spectrogram.PlotTop = surface.PlotTop = -55.0f;
    spectrogram.PlotRange = surface.PlotRange = 45.0f;
    TSpectrogram* p = OpenSpectrogram();
    TSurfacePlot* s = OpenSurface();
    auto rescale = [&](WORD type) {
        scaling = Scaling(type);
        p->SetScalingSettings(scaling);
        p->UpdateLayout();
        s->SetScalingSettings(scaling);
        s->UpdateLayout();
    };
    rescale(2);
    for (TPlotBase* w : {static_cast<TPlotBase*>(p), static_cast<TPlotBase*>(s)}) {
        const bool isSurface = w == s;
        const float& plotTop = isSurface ? surface.PlotTop : spectrogram.PlotTop;
        const float& plotRange = isSurface ? surface.PlotRange : spectrogram.PlotRange;
        EXPECT_FLOAT_EQ(plotTop, 10.0f);
        EXPECT_FLOAT_EQ(plotRange, 1e-6f);
        CEdit* topEdit = isSurface ? s->GetTopEdit() : p->GetTopEdit();
        CEdit* rangeEdit = isSurface ? s->GetRangeEdit() : p->GetRangeEdit();
        EXPECT_EQ(topEdit->GetWindowTextString(), "10.0000");
        EXPECT_EQ(rangeEdit->GetWindowTextString(), "0.000001");
    }
    // The colour bar runs from that bottom to that top.
    const auto& ticks = p->GetLevelTicks();
    ASSERT_GE(ticks.size(), 2u);
    EXPECT_EQ(ticks.front().text, "0.000001");
    EXPECT_EQ(ticks.back().text, "10");

    // Back to dB: the top of 10 is a level there too; the bottom is no span.
    rescale(1);
    EXPECT_FLOAT_EQ(spectrogram.PlotTop, 10.0f);
    EXPECT_FLOAT_EQ(spectrogram.PlotRange, 45.0f);
    EXPECT_FLOAT_EQ(surface.PlotRange, 45.0f);
    EXPECT_EQ(p->GetRangeEdit()->GetWindowTextString(), "45.0");
    EXPECT_EQ(s->GetRangeEdit()->GetWindowTextString(), "45.0");

    // A log-magnitude axis that fits is kept.
    spectrogram.PlotTop = 2.0f;
    spectrogram.PlotRange = 0.01f;
    rescale(2);
    EXPECT_FLOAT_EQ(spectrogram.PlotTop, 2.0f);
    EXPECT_FLOAT_EQ(spectrogram.PlotRange, 0.01f);
    p->DestroyWindow();
    s->DestroyWindow();
    AfxPumpMessages();
}

// What a user types is applied once, when the typing pauses, and the box keeps it as typed:
// no rebuild for "-" or "6" on the way to "-30" or "60", and no "0.5" rewritten to "1.0" while
// it is typed; Enter finishes it.
TEST_F(HistoryWindows, TypedLevelsApplyOnceAndStayAsTyped)
{
    TSpectrogram* p = OpenSpectrogram();
    frame->codes.clear();
    const auto settle = [&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (p->IsLevelApplyPending() && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            AfxPumpMessages();
        }
    };
    ASSERT_TRUE(QtTypeInto(p->GetTopEdit(), "-30"));
    AfxPumpMessages();
    EXPECT_TRUE(frame->codes.empty());
    EXPECT_EQ(p->GetTopEdit()->GetWindowTextString(), "-30");
    settle();
    EXPECT_FLOAT_EQ(spectrogram.PlotTop, -30.0f);
    EXPECT_EQ(frame->codes, std::vector<WPARAM>{PLOT_SEGMENT_REBUILD});
    ASSERT_TRUE(QtTypeInto(p->GetRangeEdit(), "60"));
    settle();
    EXPECT_FLOAT_EQ(spectrogram.PlotRange, 60.0f);
    EXPECT_EQ(frame->codes.size(), 2u);
    EXPECT_EQ(p->GetTopEdit()->GetWindowTextString(), "-30");
    EXPECT_EQ(p->GetRangeEdit()->GetWindowTextString(), "60");
    // A span below 1 dB waits, as typed, past the pause; Enter takes it as 1 and the box says so.
    ASSERT_TRUE(QtTypeInto(p->GetRangeEdit(), "0.5"));
    for (int i = 0; i < 60; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        AfxPumpMessages();
    }
    EXPECT_EQ(p->GetRangeEdit()->GetWindowTextString(), "0.5");
    EXPECT_FLOAT_EQ(spectrogram.PlotRange, 60.0f);
    QtPressKey(p->GetRangeEdit(), Qt::Key_Return);
    settle();
    EXPECT_FLOAT_EQ(spectrogram.PlotRange, 1.0f);
    EXPECT_EQ(p->GetRangeEdit()->GetWindowTextString(), "1.0");
    EXPECT_EQ(frame->codes.size(), 3u);
}

// A click on a level spinner while the frame is stopped: one step, one rebuild after the button
// is let go, however long the rebuild holds the mouse back and however often the control's
// auto-repeat ticks meanwhile.
TEST_F(HistoryWindows, OneSpinnerClickIsOneStepAndRebuildsNeverNest)
{
    TSpectrogram* p = OpenSpectrogram();
    frame->codes.clear();
    frame->busyMs = 1500; // longer than the control's first repeat delay
    for (const bool top : {true, false}) {
        TLimitScroll* spin = top ? p->GetTopSpin() : p->GetRangeSpin();
        const float before = top ? spectrogram.PlotTop : spectrogram.PlotRange;
        const std::size_t asked = frame->codes.size();
        ASSERT_TRUE(QtPressScrollArrow(spin, false));
        ASSERT_TRUE(QtPostScrollArrowRelease(spin, false));
        // The step shows at once (new scale and legend); the picture waits for the release.
        EXPECT_FLOAT_EQ(top ? spectrogram.PlotTop : spectrogram.PlotRange, before - 5.0f);
        EXPECT_EQ(frame->codes.size(), asked);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while ((p->IsLevelApplyPending() || frame->codes.size() == asked) && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            AfxPumpMessages();
        }
        // Long enough for a runaway control to have stepped again.
        for (int i = 0; i < 40; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            AfxPumpMessages();
        }
        EXPECT_FLOAT_EQ(top ? spectrogram.PlotTop : spectrogram.PlotRange, before - 5.0f);
        EXPECT_EQ(frame->codes.size(), asked + 1);
        EXPECT_EQ(frame->deepest, 1);
        EXPECT_FALSE(p->IsRebuilding());
    }
}

// The surface's right margin is narrower than the level box: the box moves in until it shows
// whole, outline and all.
TEST_F(HistoryWindows, SurfaceLevelBoxAndCursorStayWholeAsLinesArrive)
{
    TSurfacePlot* s = OpenSurface();
    s->AddSpectrum(1.0f);
    const CRect area = s->GetPlotRect();
    CRect client;
    s->GetClientRect(&client);
    const CPoint at(area.left + 50, area.bottom - 5);
    s->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    ASSERT_TRUE(s->IsLevelBoxShown());
    const CPoint box = s->GetLevelBoxPosition();
    EXPECT_LE(box.x + 52, client.right);
    CClientDC dc(s);
    EXPECT_EQ(dc.GetPixel(box.x, box.y), RGB(0, 0, 0));      // left edge of the outline
    EXPECT_EQ(dc.GetPixel(box.x + 51, box.y), RGB(0, 0, 0)); // right edge

    // New lines under the held cursor (a live run): the box and the cross stay over the new
    // picture, and a move leaves no cross behind.
    const CRect pane = s->GetPaneRectA();
    ASSERT_LT(box.x + 1, pane.right); // the box reaches over the picture
    CBitmap* bitmap = s->GetPaneBitmap(0);
    // Pixels of a row that differ from the picture, but where the box stands now.
    const auto crossed = [&](int y) {
        const CPoint b = s->GetLevelBoxPosition();
        const CRect now(b.x, b.y - 10, b.x + 52, b.y + 10);
        int inverted = 0;
        for (int x = pane.left; x < pane.right; ++x)
            if (!now.PtInRect(CPoint(x, y)))
                inverted += dc.GetPixel(x, y) != Pixel(bitmap, x - pane.left, y - pane.top);
        return inverted;
    };
    s->SetData(quiet.get(), nullptr);
    for (int i = 2; i <= 4; ++i)
        s->AddSpectrum(1.0f * i);
    EXPECT_EQ(dc.GetPixel(box.x + 1, box.y), RGB(255, 255, 255)); // the box's face
    EXPECT_GE(crossed(at.y), box.x - pane.left - 2);
    const CPoint next(at.x + 30, at.y - 40);
    s->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(next.x, next.y));
    EXPECT_LE(crossed(at.y), 2); // the new cross's slanted line crosses the old row once
    EXPECT_GE(crossed(next.y), box.x - pane.left - 2);
    s->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(next.x, next.y));
    EXPECT_FALSE(s->IsLevelBoxShown());
    // Let go: the picture as it is, under the box too.
    int left = 0;
    for (int x = pane.left; x < pane.right; ++x)
        left += dc.GetPixel(x, next.y) != Pixel(bitmap, x - pane.left, next.y - pane.top);
    EXPECT_EQ(left, 0);
}

TEST_F(HistoryWindows, AutoscaleFramesTheHistoryAndAsksForARebuild)
{
    bool running = false;
    WORD mode = 2;
    TSpectrogram* p = OpenSpectrogram();
    p->BindFrameState(&running, &running, &mode);
    for (int i = 1; i <= 10; ++i)
        p->AddSpectrum(0.1f * i);
    float peak = 0, floor = 0;
    p->GetHistory().LevelExtent(&peak, &floor);
    frame->codes.clear();
    p->SendMessage(WM_COMMAND, IDC_HISTORY_AUTOSCALE, 0);
    EXPECT_GE(spectrogram.PlotTop, peak);
    EXPECT_LE(spectrogram.PlotRange, 100.0f);
    ASSERT_EQ(frame->codes.size(), 1u);
    EXPECT_EQ(frame->codes.back(), PLOT_SEGMENT_REBUILD);
    // Again: nothing changes, nothing is asked.
    p->Autoscale();
    EXPECT_EQ(frame->codes.size(), 1u);
    // While the frame runs, the scale changes without a rebuild and the edit shows it.
    spectrogram.PlotTop = 80.0f;
    running = true;
    p->Autoscale();
    EXPECT_EQ(frame->codes.size(), 1u);
    EXPECT_EQ(p->GetTopEdit()->GetWindowTextString(), Format("%3.1f", spectrogram.PlotTop));
}

TEST_F(HistoryWindows, SizeChangesEndInOneRebuildRequest)
{
    TSpectrogram* p = OpenSpectrogram();
    frame->codes.clear();
    for (int w : {600, 620, 640}) {
        p->MoveWindow(0, 0, w, 400);
        AfxPumpMessages();
    }
    EXPECT_TRUE(p->IsResizeTimerPending());
    EXPECT_TRUE(frame->codes.empty());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (frame->codes.empty() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        AfxPumpMessages();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    AfxPumpMessages();
    EXPECT_EQ(frame->codes, std::vector<WPARAM>{PLOT_SEGMENT_REBUILD});
    // While the frame runs, a resize asks for nothing.
    bool running = true;
    WORD mode = 0;
    p->BindFrameState(&running, &running, &mode);
    p->MoveWindow(0, 0, 500, 380);
    AfxPumpMessages();
    EXPECT_FALSE(p->IsResizeTimerPending());
}

TEST_F(HistoryWindows, ResizeKeepsTheNewestLinesAtTheEntryEdge)
{
    spectrogram.Direction = 0;
    TSpectrogram* p = OpenSpectrogram();
    for (int i = 1; i <= 20; ++i) {
        p->SetData(i == 20 ? engine.get() : quiet.get(), nullptr);
        p->AddSpectrum(0.1f * i);
    }
    p->MoveWindow(0, 0, 700, 520);
    AfxPumpMessages();
    BITMAP b{};
    p->GetPaneBitmap(0)->GetBitmap(&b);
    const int column = history::FrequencyToColumn(p->GetFrequencyMap(), 1000.0f);
    const auto& colours = p->GetColours();
    const COLORREF newest = Pixel(p->GetPaneBitmap(0), b.bmWidth - 1, b.bmHeight - 1 - column);
    const COLORREF older = Pixel(p->GetPaneBitmap(0), b.bmWidth - 5, b.bmHeight - 1 - column);
    const auto index = [&](COLORREF c) { return std::find(colours.begin(), colours.end(), c) - colours.begin(); };
    EXPECT_GT(index(newest), index(older) + 40);
}

TEST_F(HistoryWindows, LevelBoxReadsThePictureAndSaysUnderAtTheBottom)
{
    TSpectrogram* p = OpenSpectrogram();
    p->SetData(quiet.get(), nullptr);
    p->AddSpectrum(1.0f);
    const CRect area = p->GetPlotRect();
    // An empty part of the picture is the bottom colour: the bottom of the scale.
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(area.left + 5, area.top + 5));
    EXPECT_FLOAT_EQ(p->GetCursorLevel(), spectrogram.PlotTop - spectrogram.PlotRange);
    EXPECT_TRUE(p->IsLevelBoxShown());
    EXPECT_EQ(p->GetLevelBoxText(), "Under");
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(area.left + 5, area.top + 5));
    EXPECT_FALSE(p->IsLevelBoxShown());
    // Ctrl: relative to the press, the box in the middle of the legend showing 0.
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(area.left + 5, area.top + 5));
    EXPECT_EQ(p->GetLevelBoxPosition(), CPoint(area.right + 19, area.top + area.Height() / 2));
    EXPECT_EQ(p->GetLevelBoxText(), "0.000");
    // The cursor's values go to the clipboard as text: time vertical, so frequency first.
    p->SendMessage(WM_COMMAND, ID_HISTORY_COPY_VALUES, 0);
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(area.left + 5, area.top + 5));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE text = GetClipboardData(CF_TEXT);
    ASSERT_NE(text, nullptr);
    const std::string copied = static_cast<const char*>(GlobalLock(text));
    GlobalUnlock(text);
    CloseClipboard();
    EXPECT_EQ(copied, Format("Freq=\t%5.4f\r\n", p->GetCursorX()) + Format("Time=\t%5.4f\r\n", p->GetCursorY()) +
                          Format("Amp=\t%5.4f\r\n", spectrogram.PlotTop - spectrogram.PlotRange));
    EXPECT_FLOAT_EQ(p->GetCursorY(), 0.0f); // an empty row has no time yet
}

TEST_F(HistoryWindows, AnnotationFromTheMeasurementMenuMarksThePicture)
{
    spectrogram.MaxCustomColor = RGB(255, 0, 255);
    TSpectrogram* p = OpenSpectrogram();
    p->AddSpectrum(1.0f);
    const CRect area = p->GetPlotRect();
    const CPoint at(area.left + 100, area.top + 100);
    std::vector<UINT> offered;
    const auto previous = CMenu::SetPopupChooser([&](CMenu& menu) {
        for (UINT i = 0; i < menu.GetMenuItemCount(); ++i)
            offered.push_back(menu.GetMenuItemID(static_cast<int>(i)));
        return static_cast<UINT>(ID_HISTORY_ANNOTATE);
    });
    const int before = TSpectrogram::AnnotationCount();
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    p->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    CMenu::SetPopupChooser(previous);
    EXPECT_EQ(offered, (std::vector<UINT>{ID_HISTORY_COPY_VALUES, ID_HISTORY_COPY_BITMAP, ID_HISTORY_ANNOTATE}));
    EXPECT_EQ(TSpectrogram::AnnotationCount(), before + 1);
    // The circle of radius 10 around the point is drawn into the picture in the custom colour.
    EXPECT_EQ(Pixel(p->GetPaneBitmap(0), at.x - area.left - 10, at.y - area.top), RGB(255, 0, 255));
    // The right button ended the measurement.
    EXPECT_FALSE(p->IsLevelBoxShown());
}

TEST_F(HistoryWindows, SurfaceWaterfallRecedesOnePixelRightAndOneLineUpPerSpectrum)
{
    TSurfacePlot* s = OpenSurface();
    const CRect area = s->GetPlotRect();
    const int lines = area.Height() / 3;
    ASSERT_TRUE(s->HasPolygonBuffer());
    EXPECT_EQ(static_cast<int>(s->GetFrequencyMap().size()), area.Width() - lines);
    s->AddSpectrum(0.1f);
    CBitmap* bitmap = s->GetPaneBitmap(0);
    ASSERT_NE(bitmap, nullptr);
    BITMAP b{};
    bitmap->GetBitmap(&b);
    // The tone's peak: the highest drawn pixel, at most a third of the pane above the bottom.
    auto highest = [&]() {
        for (int y = 0; y < b.bmHeight; ++y)
            for (int x = 0; x < b.bmWidth; ++x)
                if (Pixel(bitmap, x, y) != s->GetBackgroundColor())
                    return CPoint(x, y);
        return CPoint(-1, -1);
    };
    const CPoint first = highest();
    ASSERT_GE(first.y, b.bmHeight - 1 - b.bmHeight / 3);
    s->SetData(quiet.get(), nullptr);
    for (int i = 0; i < 10; ++i)
        s->AddSpectrum(0.2f + 0.1f * i);
    const CPoint moved = highest();
    EXPECT_EQ(moved.y, first.y - 30);
    EXPECT_NEAR(moved.x, first.x + 10, 1);
    // Surface in single-colour mode: no level box and no amplitude in the copied values.
    surface.ColorMode = 1;
    EXPECT_EQ(s->CursorValuesText().find("Amp="), std::string::npos);
}

// Levels above the top all stand at the greatest height: every line is one flat row, and the
// picture holds those rows and nothing else, in every colour mode and frequency scale (no
// walls down the lines' ends, which older lines left beside the newer ones).
TEST_F(HistoryWindows, SurfaceDrawsOnlyTheOutlinesOfItsLines)
{
    unsigned seed = 11;
    FeedBlock(*quiet, window, {}, 0.01, &seed);
    quiet->Average(false);
    surface.PlotTop = -200.0f;
    surface.PlotRange = 10.0f;
    const struct {
        WORD mode, freq;
    } views[] = {{0, 0}, {3, 2}, {1, 1}};
    for (const auto& v : views) {
        surface.ColorMode = v.mode;
        surface.LineColor = RGB(0, 200, 0);
        scaling = Scaling(1, v.freq);
        TSurfacePlot* s = OpenSurface();
        s->SetData(quiet.get(), nullptr);
        constexpr int kLines = 5;
        for (int i = 1; i <= kLines; ++i)
            s->AddSpectrum(0.1f * i);
        CBitmap* bitmap = s->GetPaneBitmap(0);
        ASSERT_NE(bitmap, nullptr);
        BITMAP b{};
        bitmap->GetBitmap(&b);
        const int count = static_cast<int>(s->GetFrequencyMap().size());
        const int most = s->GetPaneRectA().Height() / 3;
        // Greatest height: the last colour of the scale, or the line colour.
        const COLORREF ink = v.mode == 1 ? RGB(0, 200, 0) : s->GetColours().back();
        int stray = 0, missing = 0;
        for (int y = 0; y < b.bmHeight; ++y)
            for (int x = 0; x < b.bmWidth; ++x) {
                const COLORREF c = Pixel(bitmap, x, y);
                // Line k back (0 newest) lies k right and 3k up.
                const int k = (b.bmHeight - 1 - most - y) / 3;
                const bool outline = (b.bmHeight - 1 - most - y) % 3 == 0 && k >= 0 && k < kLines && x >= k &&
                                     x <= k + count - 2;
                if (outline)
                    missing += c != ink;
                else
                    stray += c != s->GetBackgroundColor();
            }
        EXPECT_EQ(missing, 0) << "mode " << v.mode;
        EXPECT_EQ(stray, 0) << "mode " << v.mode;
        s->DestroyWindow();
        AfxPumpMessages();
    }
}

// The time labels right of the window's edge by the gap the caption on its side keeps.
TEST_F(HistoryWindows, SurfaceTimeLabelsStayInsideTheWindow)
{
    TSurfacePlot* s = OpenSurface();
    for (int i = 1; i <= 20; ++i)
        s->AddSpectrum(3600.0f + 0.37f * i);
    s->RedrawWindow();
    AfxPumpMessages();
    const QImage img = s->GetSurface()->Image();
    const CRect area = s->GetPlotRect();
    int ink = 0, labels = 0;
    for (int y = area.top - 10; y < area.bottom + 10; ++y) {
        for (int x = 0; x < 7; ++x)
            ink += qGray(img.pixel(x, y)) < 160 ? 1 : 0;
        for (int x = 7; x < area.left - 6; ++x)
            labels += qGray(img.pixel(x, y)) < 160 ? 1 : 0;
    }
    EXPECT_EQ(ink, 0);
    EXPECT_GT(labels, 50);
}

namespace {
// Runs of marked indexes, split where at least `gap` unmarked ones lie between.
std::vector<std::pair<int, int>> Runs(const std::vector<bool>& marked, int gap)
{
    std::vector<std::pair<int, int>> runs;
    int blank = gap;
    for (int i = 0; i < static_cast<int>(marked.size()); ++i) {
        if (!marked[static_cast<std::size_t>(i)]) {
            ++blank;
            continue;
        }
        if (blank >= gap || runs.empty())
            runs.push_back({i, i});
        runs.back().second = i;
        blank = 0;
    }
    return runs;
}

bool Ink(const QImage& img, int x, int y) { return qGray(img.pixel(x, y)) < 160; }
} // namespace

// Short panes bring the caption on its side down beside the labels of their edges: it stands in
// a column of its own, once when two panes' captions would meet, inside the window; below the
// panes the time labels and the caption under them keep apart.
TEST_F(HistoryWindows, CaptionsKeepClearOfLabelsInShortPanes)
{
    struct Case {
        int kind;
        WORD direction;
        int panes, width, height;
    };
    // The caption's length in a tall window, where nothing crowds it.
    auto captionRuns = [&](TPlotBase* w, int* column) {
        AfxPumpMessages();
        w->Invalidate();
        w->UpdateWindow();
        const QImage img = w->GetSurface()->Image();
        const CRect plot = w->GetPlotRect();
        const int top = w->GetToolStripHeight() + 16;
        std::vector<bool> columns(static_cast<std::size_t>(plot.left - 7), false);
        for (int x = 0; x < plot.left - 7; ++x)
            for (int y = top; y < img.height(); ++y)
                if (Ink(img, x, y))
                    columns[static_cast<std::size_t>(x)] = true;
        const auto groups = Runs(columns, 1);
        std::vector<std::pair<int, int>> runs;
        if (groups.size() < 2) // caption and labels share columns
            return runs;
        *column = groups[0].second - groups[0].first + 1;
        std::vector<bool> rows(static_cast<std::size_t>(img.height()), false);
        for (int y = top; y < img.height(); ++y)
            for (int x = groups[0].first; x <= groups[0].second; ++x)
                if (Ink(img, x, y))
                    rows[static_cast<std::size_t>(y)] = true;
        return Runs(rows, 6);
    };
    // Narrow, but wide enough for the tool strip's one row (a narrower window wraps it onto two).
    const Case cases[] = {{1, 0, 2, 640, 250}, {1, 0, 2, 460, 170}, {1, 0, 1, 460, 120},
                          {0, 2, 2, 640, 260}, {0, 3, 2, 460, 220}, {0, 2, 1, 460, 200}};
    int tallLength[2] = {0, 0};
    for (int kind = 0; kind < 2; ++kind) {
        spectrogram.Direction = 2;
        TPlotBase* w = OpenWithLines(kind, 30, engine.get());
        w->MoveWindow(0, 0, 640, 700);
        int column = 0;
        const auto runs = captionRuns(w, &column);
        ASSERT_EQ(runs.size(), 1u) << kind;
        tallLength[kind] = runs[0].second - runs[0].first + 1;
        w->DestroyWindow();
        AfxPumpMessages();
    }
    for (const Case& c : cases) {
        processing.SampleFormat.Set(kRate, c.panes, 2);
        processing.ChannelProcessing = c.panes == 2 ? 2 : 0;
        spectrogram.Direction = c.direction;
        TPlotBase* w = OpenWithLines(c.kind, 30, engine.get());
        w->MoveWindow(0, 0, c.width, c.height);
        int column = 0;
        const auto runs = captionRuns(w, &column);
        const std::string what = std::string(c.kind ? "surface" : "spectrogram") + " direction " +
                                 std::to_string(c.direction) + ", " + std::to_string(c.panes) + " pane(s), " +
                                 std::to_string(c.width) + "x" + std::to_string(c.height);
        ASSERT_FALSE(runs.empty()) << what << ": the caption shares its columns with the labels";
        EXPECT_LE(column, 16) << what; // one text on its side
        EXPECT_LE(static_cast<int>(runs.size()), c.panes) << what;
        for (const auto& r : runs) {
            // Whole, and alone: two captions run into each other would be one longer run.
            EXPECT_NEAR(r.second - r.first + 1, tallLength[c.kind], 2) << what;
            EXPECT_GE(r.first, w->GetToolStripHeight() + 14) << what;
            EXPECT_LT(r.second, w->GetSurface()->Image().height()) << what;
        }
        w->DestroyWindow();
        AfxPumpMessages();
    }
    // Time across a narrow window: below the ticks, the labels' rows, then the caption's.
    processing.SampleFormat.Set(kRate, 1, 2);
    processing.ChannelProcessing = 0;
    for (WORD direction : {WORD(0), WORD(1)}) {
        spectrogram.Direction = direction;
        TPlotBase* w = OpenWithLines(0, 30, engine.get());
        w->MoveWindow(0, 0, 300, 220);
        AfxPumpMessages();
        w->Invalidate();
        w->UpdateWindow();
        const QImage img = w->GetSurface()->Image();
        const CRect plot = w->GetPlotRect();
        std::vector<bool> rows(static_cast<std::size_t>(img.height()), false);
        for (int y = plot.bottom + 7; y < img.height(); ++y)
            for (int x = plot.left - 45; x < plot.right; ++x)
                if (Ink(img, x, y))
                    rows[static_cast<std::size_t>(y)] = true;
        EXPECT_EQ(Runs(rows, 1).size(), 2u) << "direction " << direction;
        w->DestroyWindow();
        AfxPumpMessages();
    }
}

TEST_F(HistoryWindows, SurfaceSelectionInTheLowerPaneIsCopiedIntoTheUpper)
{
    processing.SampleFormat.Set(kRate, 2, 2);
    processing.ChannelProcessing = 2;
    TSurfacePlot* s = OpenSurface();
    ASSERT_EQ(s->GetPaneMode(), 2);
    const CRect a = s->GetPaneRectA();
    const CRect b = s->GetPaneRectB();
    s->SetSelectionRect(CRect(b.left, b.top + 10, b.right, b.top + 40));
    EXPECT_EQ(s->GetPaneSelection(0), CRect(b.left, a.top + 10, b.right, a.top + 40));
}

// The time labels change with every line; redrawing them must leave exactly what a full repaint
// draws, not the new text over the old.
TEST_F(HistoryWindows, TimeLabelsRedrawnDuringARunMatchAFullRepaint)
{
    for (int kind = 0; kind < 2; ++kind) {
        TSpectrogram* p = kind == 0 ? OpenSpectrogram() : nullptr;
        TSurfacePlot* s = kind == 1 ? OpenSurface() : nullptr;
        CWnd* w = p ? static_cast<CWnd*>(p) : static_cast<CWnd*>(s);
        for (int i = 1; i <= 30; ++i) {
            if (p) {
                p->SetData(engine.get(), nullptr);
                p->AddSpectrum(0.37f * i);
            } else {
                s->SetData(engine.get(), nullptr);
                s->AddSpectrum(0.37f * i);
            }
            AfxPumpMessages();
        }
        const QRect margin(0, 0, 60, w->GetSurface()->Image().height()); // left of the panes
        const QImage during = w->GetSurface()->Image().copy(margin);
        w->Invalidate();
        w->UpdateWindow();
        AfxPumpMessages();
        EXPECT_TRUE(during == w->GetSurface()->Image().copy(margin)) << (p ? "spectrogram" : "surface");
        w->DestroyWindow();
        AfxPumpMessages();
    }
}

// A new line repaints its picture and the time labels' strip; the titles, the frequency axis and
// the legend stay as they were: marks drawn there survive the line, and a full repaint (which
// wipes them) draws the strip as the line left it.
TEST_F(HistoryWindows, ANewLineRepaintsOnlyItsTimeLabels)
{
    for (WORD direction : {WORD(0), WORD(2)}) {
        spectrogram.Direction = direction;
        TSpectrogram* p = OpenSpectrogram();
        p->SetData(engine.get(), nullptr);
        p->AddSpectrum(1.0f);
        AfxPumpMessages();
        CRect client;
        p->GetClientRect(&client);
        const CRect plot = p->GetPlotRect();
        // The strip: under the plot (time across) or left of it (time down).
        const CRect strip = direction < 2 ? CRect(plot.left - 20, plot.bottom + 3, plot.right, client.bottom)
                                          : CRect(client.left, plot.top + 10, plot.left - 3, plot.bottom - 10);
        const CPoint marks[3] = {CPoint(plot.left + plot.Width() / 2, plot.top - 4), // the title row
                                 CPoint(client.right - 4, plot.top + plot.Height() / 2), // the legend
                                 direction < 2 ? CPoint(plot.left - 4, plot.top + 2)   // frequency labels
                                               : CPoint(plot.left + 2, client.bottom - 4)};
        {
            CClientDC dc(p);
            for (const CPoint& m : marks)
                dc.SetPixel(m.x, m.y, RGB(1, 2, 3));
        }
        CSurface* surface = p->GetSurface();
        auto at = [&](CPoint m) { return surface->Image().pixel(m.x, m.y) & 0xFFFFFFu; };
        const QRect s(strip.left, strip.top, strip.Width(), strip.Height());
        const QImage before = surface->Image().copy(s);

        p->AddSpectrum(2.5f);
        AfxPumpMessages();
        const QImage after = surface->Image().copy(s);
        EXPECT_FALSE(before == after) << "the labels say the new line's time; direction " << direction;
        for (const CPoint& m : marks)
            EXPECT_EQ(at(m), 0x010203u) << m.x << "," << m.y << " repainted; direction " << direction;

        p->Invalidate();
        p->UpdateWindow();
        AfxPumpMessages();
        for (const CPoint& m : marks)
            EXPECT_NE(at(m), 0x010203u) << "a full repaint reaches " << m.x << "," << m.y;
        EXPECT_TRUE(after == surface->Image().copy(s)) << "direction " << direction;
        p->DestroyWindow();
        AfxPumpMessages();
    }
}

// Line after line, with a span that grows through several division units: what the lines leave
// around the pictures (they repaint only the time labels that changed) is what a full repaint
// draws. Every direction and scroll type of the spectrogram and the surface, one pane and two,
// in a roomy window and a cramped one where the texts crowd each other.
TEST_F(HistoryWindows, LinesLeaveTheWindowAsAFullRepaintDrawsIt)
{
    markers.Enabled[0] = 1;
    markers.Freq[0] = 1000.0f;
    struct Case {
        int kind; // 0 spectrogram, 1 surface
        WORD direction, scroll;
    };
    std::vector<Case> cases;
    for (WORD direction = 0; direction < 4; ++direction)
        for (WORD scroll = 0; scroll < 2; ++scroll)
            cases.push_back({0, direction, scroll});
    cases.push_back({1, 0, 0});
    for (const CRect size : {CRect(0, 0, 640, 480), CRect(0, 0, 330, 190)}) {
        for (int panes = 1; panes <= 2; ++panes) {
            processing.SampleFormat.Set(kRate, panes, 2);
            processing.ChannelProcessing = panes == 2 ? 2 : 0;
            for (const Case& c : cases) {
                spectrogram.Direction = c.direction;
                spectrogram.ScrollType = c.scroll;
                TPlotBase* w = c.kind == 0 ? static_cast<TPlotBase*>(OpenSpectrogram()) : OpenSurface();
                auto* p = dynamic_cast<TSpectrogram*>(w);
                auto* s = dynamic_cast<TSurfacePlot*>(w);
                w->MoveWindow(size.left, size.top, size.Width(), size.Height());
                AfxPumpMessages();
                ASSERT_EQ(w->GetPaneMode(), panes);
                for (int i = 1; i <= 60; ++i) {
                    SpectralData* a = i % 5 == 0 ? engine.get() : quiet.get();
                    SpectralData* b = panes == 2 ? engine.get() : nullptr;
                    const float time = 0.004f * float(i * i * i) / 10.0f;
                    if (p) {
                        p->SetData(a, b);
                        p->AddSpectrum(time);
                    } else {
                        s->SetData(a, b);
                        s->AddSpectrum(time);
                    }
                    if (i % 7 == 0)
                        AfxPumpMessages();
                }
                AfxPumpMessages();
                const QImage during = w->GetSurface()->Image().copy();
                w->Invalidate();
                w->UpdateWindow();
                AfxPumpMessages();
                const QImage full = w->GetSurface()->Image();
                // The pictures (their lines cover the watermark a full repaint puts back) aside.
                const CRect plot = w->GetPlotRect();
                int differing = 0;
                QRect where;
                for (int y = 0; y < full.height(); ++y)
                    for (int x = 0; x < full.width(); ++x)
                        if (!plot.PtInRect(CPoint(x, y)) && during.pixel(x, y) != full.pixel(x, y)) {
                            ++differing;
                            where |= QRect(x, y, 1, 1);
                        }
                EXPECT_EQ(differing, 0) << (p ? "spectrogram" : "surface") << " direction " << c.direction
                                        << " scroll " << c.scroll << ", " << panes << " pane(s), " << size.Width()
                                        << " wide, within " << where.left() << "," << where.top() << " "
                                        << where.width() << "x" << where.height();
                w->DestroyWindow();
                AfxPumpMessages();
            }
        }
    }
}

// A cleared history (a file closed, a new run) names no times of the lines it dropped, on the
// window as drawn, without waiting for a repaint.
TEST_F(HistoryWindows, ClearedHistoryShowsNoOldTimes)
{
    for (int kind = 0; kind < 2; ++kind) {
        TPlotBase* w = OpenWithLines(kind, 30, nullptr);
        auto* p = dynamic_cast<TSpectrogram*>(w);
        auto* s = dynamic_cast<TSurfacePlot*>(w);
        THistoryPlot<SpectrogramPlotSettings>* ps = p;
        THistoryPlot<SurfacePlotSettings>* ss = s;
        AfxPumpMessages();
        ASSERT_STRNE(p ? ps->GetEntryEdgeText() : ss->GetEntryEdgeText(), "00:00:00.00");
        if (p)
            p->ClearHistory();
        else
            s->ClearHistory();
        AfxPumpMessages();
        EXPECT_STREQ(p ? ps->GetEntryEdgeText() : ss->GetEntryEdgeText(), "00:00:00.00");
        // Left of and below the panes, where the time labels stand.
        const CRect area = static_cast<TPlotBase*>(w)->GetPlotRect();
        const int width = w->GetSurface()->Image().width(), height = w->GetSurface()->Image().height();
        const QRect left(0, 0, area.left, height), below(0, area.bottom, width, height - area.bottom);
        const QImage drawnLeft = w->GetSurface()->Image().copy(left);
        const QImage drawnBelow = w->GetSurface()->Image().copy(below);
        w->Invalidate();
        w->UpdateWindow();
        AfxPumpMessages();
        EXPECT_TRUE(drawnLeft == w->GetSurface()->Image().copy(left)) << (p ? "spectrogram" : "surface");
        EXPECT_TRUE(drawnBelow == w->GetSurface()->Image().copy(below)) << (p ? "spectrogram" : "surface");
        w->DestroyWindow();
        AfxPumpMessages();
    }
}

// Printing lays the window out for the page and back: the picture on screen is what it was.
// The page here is a bitmap the size of the screen, at the screen's 96 pixels an inch.
TEST_F(HistoryWindows, PrintingLeavesThePictureOnScreenAsItWas)
{
    for (int kind = 0; kind < 2; ++kind) {
        TPlotBase* w = OpenWithLines(kind, 30, engine.get());
        const bool p = kind == 0;
        w->Invalidate();
        w->UpdateWindow();
        AfxPumpMessages();
        const CRect area = w->GetPlotRect();
        const QRect pane(area.left, area.top, area.Width(), area.Height());
        const QImage before = w->GetSurface()->Image().copy(pane);
        const int colours = [&] {
            int n = 0;
            for (int y = 0; y < before.height(); ++y)
                for (int x = 0; x < before.width(); ++x)
                    n += qRed(before.pixel(x, y)) != qBlue(before.pixel(x, y)) ? 1 : 0;
            return n;
        }();
        ASSERT_GT(colours, 100) << "the tone's lines in colour";

        CDC page;
        ASSERT_TRUE(page.CreateCompatibleDC(nullptr));
        const int pageW = page.GetDeviceCaps(HORZRES), pageH = page.GetDeviceCaps(VERTRES);
        CBitmap sheet;
        ASSERT_TRUE(sheet.CreateBitmap(pageW, pageH, 1, 32, nullptr));
        CBitmap* old = page.SelectObject(&sheet);
        page.FillSolidRect(0, 0, pageW, pageH, RGB(255, 255, 255));
        PrintSettings margins;
        margins.MarginLeft = margins.MarginRight = margins.MarginTop = margins.MarginBottom = 0.25f;
        w->PrintPlot(&page, &margins, false, 0);
        int printed = 0;
        for (int y = 0; y < pageH; y += 2)
            for (int x = 0; x < pageW; x += 2) {
                const COLORREF c = page.GetPixel(x, y);
                printed += GetRValue(c) != GetBValue(c) ? 1 : 0;
            }
        page.SelectObject(old);
        EXPECT_GT(printed, 20) << "the page holds the picture";
        AfxPumpMessages();
        w->UpdateWindow();

        EXPECT_EQ(w->GetPlotRect(), area) << kind;
        EXPECT_TRUE(before == w->GetSurface()->Image().copy(pane)) << (p ? "spectrogram" : "surface");
        w->DestroyWindow();
        AfxPumpMessages();
    }
}

// A rebuild's lines, written one by one and shown a batch at a time, against a picture drawn
// pixel by pixel where the direction puts each row of each line, in the colour the scale gives
// the pixel's level: every direction, one pane and two. On the window the lines' area shows the
// picture and the rest what a full repaint draws; a rebuild cut short leaves the window as a
// full repaint draws it.
TEST_F(HistoryWindows, RebuiltLinesMatchAPictureDrawnPixelByPixel)
{
    auto pixelsOf = [](CBitmap* bitmap, int w, int h) {
        std::vector<DWORD> bits(static_cast<std::size_t>(w) * h);
        bitmap->GetBitmapBits(static_cast<DWORD>(bits.size() * sizeof(DWORD)), bits.data());
        for (DWORD& v : bits)
            v &= 0xFFFFFFu;
        return bits;
    };
    for (int panes = 1; panes <= 2; ++panes) {
        processing.SampleFormat.Set(kRate, panes, 2);
        processing.ChannelProcessing = panes == 2 ? 2 : 0;
        // Spectra with their tones at different frequencies over noise, so that every line and
        // every pixel of it differs from its neighbours.
        std::vector<std::unique_ptr<SpectralData>> spectra;
        unsigned seed = 11;
        for (int k = 0; k < 5; ++k) {
            spectra.push_back(std::make_unique<SpectralData>(&processing, &scaling, false));
            FeedBlock(*spectra.back(), window, {{(300.0 + 700.0 * k) * kFft / kRate, 0.3}}, 1e-3, &seed);
            spectra.back()->Average(false);
        }
        auto spectrumOf = [&](int line, int pane) { return spectra[static_cast<std::size_t>(line * 3 + pane) % 5].get(); };
        for (WORD direction = 0; direction < 4; ++direction) {
            spectrogram.Direction = direction;
            TSpectrogram* p = OpenSpectrogram();
            ASSERT_EQ(p->GetPaneMode(), panes);
            const std::vector<history::FrequencyPixel>& map = p->GetFrequencyMap();
            const std::vector<COLORREF>& colours = p->GetColours();
            // The colour of each pixel of a spectrum's line: its level's on the scale, a pixel
            // reading the bin of the one before it that one's.
            auto lineOf = [&](SpectralData* e) {
                history::PixelLevels reader;
                const std::vector<double>& levels = reader.Read(*e, map);
                float top = spectrogram.PlotTop;
                history::LevelScaler scale;
                const int n = static_cast<int>(colours.size());
                scale.Fit(n, n - 1, scaling.AmpScaleType, top, spectrogram.PlotRange);
                std::vector<DWORD> line(map.size());
                for (std::size_t x = 0; x < map.size(); ++x) {
                    const COLORREF c = colours[static_cast<std::size_t>(scale(levels[x]))];
                    line[x] = x > 0 && map[x].bin == map[x - 1].bin
                                  ? line[x - 1]
                                  : (DWORD(GetRValue(c)) << 16) | (DWORD(GetGValue(c)) << 8) | GetBValue(c);
                }
                return line;
            };
            const std::string what = "direction " + std::to_string(direction) + ", " + std::to_string(panes) + " pane(s)";
            const CRect paneRect[2] = {panes == 1 ? p->GetPlotRect() : p->GetPaneRectA(), p->GetPaneRectB()};

            p->UpdateLayoutForRebuild();
            const int lines = p->GetLineCapacity();
            ASSERT_GT(lines, 50) << what;
            for (int line = 0; line < lines; ++line) {
                p->Rebuild(line, spectrumOf(line, 0), spectrumOf(line, 1));
                p->SetHistoryLine(line, 0.01f * float(line));
                if (line % 32 == 31)
                    p->ShowRebuiltLines();
            }
            p->EndRebuild();
            p->UpdateTimeStrings(); // as the frame ends a rebuild
            AfxPumpMessages();
            const QImage during = p->GetSurface()->Image().copy();

            std::vector<bool> lineArea(static_cast<std::size_t>(during.width()) * during.height(), false);
            for (int pane = 0; pane < panes; ++pane) {
                BITMAP b{};
                ASSERT_NE(p->GetPaneBitmap(pane), nullptr);
                p->GetPaneBitmap(pane)->GetBitmap(&b);
                ASSERT_EQ(static_cast<int>(map.size()), direction < 2 ? b.bmHeight : b.bmWidth) << what;
                std::vector<DWORD> want(static_cast<std::size_t>(b.bmWidth) * b.bmHeight, 0); // black background
                for (int line = 0; line < lines; ++line) {
                    const std::vector<DWORD> colour = lineOf(spectrumOf(line, pane));
                    for (int k = 0; k < 2; ++k) {
                        const int row = 2 * line + k;
                        for (int f = 0; f < static_cast<int>(map.size()); ++f) {
                            CPoint at;
                            switch (direction) {
                            case 0: at = CPoint(b.bmWidth - 1 - row, b.bmHeight - 1 - f); break;
                            case 1: at = CPoint(row, b.bmHeight - 1 - f); break;
                            case 2: at = CPoint(f, b.bmHeight - 1 - row); break;
                            default: at = CPoint(f, row); break;
                            }
                            if (at.x < 0 || at.y < 0 || at.x >= b.bmWidth || at.y >= b.bmHeight)
                                continue; // the last line may lie past the picture's edge
                            want[static_cast<std::size_t>(at.y) * b.bmWidth + at.x] = colour[static_cast<std::size_t>(f)];
                            const CPoint client(paneRect[pane].left + at.x, paneRect[pane].top + at.y);
                            lineArea[static_cast<std::size_t>(client.y) * during.width() + client.x] = true;
                        }
                    }
                }
                const std::vector<DWORD> got = pixelsOf(p->GetPaneBitmap(pane), b.bmWidth, b.bmHeight);
                const auto diff = std::mismatch(want.begin(), want.end(), got.begin());
                EXPECT_TRUE(diff.first == want.end())
                    << what << ", pane " << pane << ": pixel " << (diff.first - want.begin()) % b.bmWidth << ","
                    << (diff.first - want.begin()) / b.bmWidth << " is " << std::hex << *diff.second << " for "
                    << *diff.first;
                // Where the lines went, the window shows the picture.
                int differing = 0;
                for (int y = 0; y < b.bmHeight; ++y)
                    for (int x = 0; x < b.bmWidth; ++x)
                        if (lineArea[static_cast<std::size_t>(paneRect[pane].top + y) * during.width() +
                                     paneRect[pane].left + x] &&
                            (during.pixel(paneRect[pane].left + x, paneRect[pane].top + y) & 0xFFFFFFu) !=
                                got[static_cast<std::size_t>(y) * b.bmWidth + x])
                            ++differing;
                EXPECT_EQ(differing, 0) << what << ", pane " << pane << " on the window";
            }
            // Around them, what a full repaint draws.
            p->Invalidate();
            p->UpdateWindow();
            AfxPumpMessages();
            const QImage full = p->GetSurface()->Image().copy();
            int differing = 0;
            for (int y = 0; y < full.height(); ++y)
                for (int x = 0; x < full.width(); ++x)
                    if (!lineArea[static_cast<std::size_t>(y) * full.width() + x] && during.pixel(x, y) != full.pixel(x, y))
                        ++differing;
            EXPECT_EQ(differing, 0) << what << " around the lines";

            // Cut short after a third of its lines, the rebuild leaves no part of the old picture.
            p->UpdateLayoutForRebuild();
            for (int line = 0; line < lines / 3; ++line)
                p->Rebuild(line, spectrumOf(line + 1, 0), spectrumOf(line + 1, 1));
            p->EndRebuild();
            AfxPumpMessages();
            const QImage cut = p->GetSurface()->Image().copy();
            p->Invalidate();
            p->UpdateWindow();
            AfxPumpMessages();
            EXPECT_TRUE(cut == p->GetSurface()->Image()) << what << " cut short";
            p->DestroyWindow();
            AfxPumpMessages();
        }
    }
}

// Spectrogram and surface windows too narrow for the one-row strip (often about 370 pixels)
// wrap Plot Top and Plot Range onto further rows: every control inside the window and above the
// plot, each box's label drawn beside it where it went.
TEST_F(HistoryWindows, ANarrowWindowWrapsItsBoxesAndKeepsEveryControlReachable)
{
    spectrogram.ShowToolbar = 1;
    surface.ShowToolbar = 1;
    for (int kind : {0, 1}) {
        TPlotBase* p = kind == 0 ? static_cast<TPlotBase*>(OpenSpectrogram()) : OpenSurface();
        for (const int width : {640, 460, 370, 300, 220}) {
            SCOPED_TRACE(testing::Message() << (kind == 0 ? "spectrogram" : "surface") << ", width " << width);
            p->MoveWindow(0, 0, width, 480);
            p->UpdateLayout();
            AfxPumpMessages();
            std::vector<CWnd*> controls;
            for (UINT id : {IDC_HISTORY_SELECT, IDC_HISTORY_PLAY, IDC_HISTORY_FILTER, IDC_HISTORY_OPTIONS,
                            IDC_HISTORY_AUTOSCALE, IDC_HISTORY_TOP, IDC_HISTORY_TOP_SPIN, IDC_HISTORY_RANGE,
                            IDC_HISTORY_RANGE_SPIN})
                controls.push_back(p->GetDlgItem(static_cast<int>(id)));
            EXPECT_EQ(ExpectControlsWithinReach(p, controls, std::min(p->GetToolStripHeight(), p->GetPlotRect().top)),
                      9u);
            if (width >= 460)
                EXPECT_EQ(p->GetToolStripHeight(), 30);
            if (width <= 370)
                EXPECT_GT(p->GetToolStripHeight(), 30);
            p->Invalidate();
            for (UINT id : {IDC_HISTORY_TOP, IDC_HISTORY_RANGE}) {
                CRect box;
                p->GetDlgItem(static_cast<int>(id))->GetWindowRect(&box);
                p->ScreenToClient(&box);
                EXPECT_GT(InkIn(p, CRect(std::max(0, box.left - 44), box.top, box.left - 2, box.bottom)), 20)
                    << "no label beside box " << id;
            }
        }
        p->DestroyWindow();
    }
}
