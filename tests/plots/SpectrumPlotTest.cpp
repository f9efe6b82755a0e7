// The spectrum window: the mapping between frequencies, levels and pixels for every scale, the
// axis labels, a known sine drawn where the mapping says in every style, the incremental
// update, zoom and scroll, the tool-strip edits and list, text export, autoscale and the
// spectrogram and surface bindings.
#include "PlotTestSupport.h"

#include "records/SpectrogramPlotSettings.h"
#include "records/MarkerSettings.h"
#include "records/SpectrumPlotSettings.h"
#include "records/SurfacePlotSettings.h"
#include "dsp/SpectralTestSupport.h"
#include "platform/core/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Print.h"
#include "records/PrintSettings.h"
#include "support/QtTestAccess.h"
#include "plots/CToolBtn.h"
#include "plots/PlotTextClipboard.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "support/ScriptedUser.h"


#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

using namespace spectral_test;
namespace fs = std::filesystem;

namespace {
class SpectrumWindows : public PlotWindows {
protected:
    void SetUp() override
    {
        PlotWindows::SetUp();
        settings.StartFreq = 0.0f;
        settings.StopFreq = 2000.0f;
        settings.PlotTop = 0.0f;
        settings.PlotRange = 100.0;
        settings.PeakHold = 0;
        settings.ShowPowerMeter = 0;
        settings.ShowOverlayControls = 0;
    }
    TSpectraPlot* Open(SpectralData* a, SpectralData* b = nullptr, CRect r = CRect(0, 0, 800, 500))
    {
        auto* p = new TSpectraPlot;
        EXPECT_TRUE(p->Create("Spectrum - Crown", kStyle, &r, &processing, &scaling, &markers, &settings, a, b,
                              b ? 8 : 0));
        p->UpdateWindow();
        AfxPumpMessages();
        return p;
    }
    // A 4000 Hz, 1024-point engine holding one Hanning-windowed tone.
    std::unique_ptr<SpectralData> Engine(double bin = 128.0, double amplitude = 0.5)
    {
        auto e = std::make_unique<SpectralData>(&processing, &scaling, false);
        TSmoothing window(1024, TSmoothing::kHanning, 2);
        FeedBlock(*e, window, {{bin, amplitude}});
        e->Average(false);
        return e;
    }
    static COLORREF At(CWnd* w, int x, int y)
    {
        CClientDC dc(w);
        return dc.GetPixel(x, y);
    }
    // The first pixel of the colour, scanning the pane's rows from the top.
    static CPoint TopOf(CWnd* w, const CRect& pane, COLORREF colour)
    {
        for (int y = pane.top; y < pane.bottom; ++y)
            for (int x = pane.left; x < pane.right; ++x)
                if (At(w, x, y) == colour)
                    return CPoint(x, y);
        return CPoint(-1, -1);
    }
    ChannelProcessingSettings processing = Processing(4000, 1024);
    ChannelScalingSettings scaling = Scaling(1);
    MarkerSettings markers;
    SpectrumPlotSettings settings;
};
} // namespace

TEST_F(SpectrumWindows, LevelsMapToHeightsExactlyForEveryScale)
{
    auto e = Engine();
    TSpectraPlot* p = Open(e.get());
    const CRect pane(0, 0, 100, 200); // H = 200
    int h = 0;
    // dB, top 0, range 100: -50 at half height; beyond the ends on the first and last rows.
    ASSERT_TRUE(p->LevelToHeight(-50.0, pane, h));
    EXPECT_EQ(h, 100);
    p->LevelToHeight(-150.0, pane, h);
    EXPECT_EQ(h, 1);
    p->LevelToHeight(12.0, pane, h);
    EXPECT_EQ(h, 200);
    // A range of 0 (read from "N/A") is refused rather than divided by.
    settings.PlotRange = 0.0;
    EXPECT_FALSE(p->LevelToHeight(-50.0, pane, h));
    settings.PlotRange = 100.0;

    // Linear with a top of 0: the top becomes 1.0 first.
    scaling.AmpScaleType = 0;
    settings.PlotTop = 0.0f;
    ASSERT_TRUE(p->LevelToHeight(0.25, pane, h));
    EXPECT_EQ(settings.PlotTop, 1.0f);
    EXPECT_EQ(h, 50);

    // Log magnitude from 0.001 to 10: -30..10 in 10*log10, so 0.1 (-10) sits at half height.
    scaling.AmpScaleType = 2;
    settings.PlotTop = 10.0f;
    settings.PlotRange = 0.001;
    ASSERT_TRUE(p->LevelToHeight(0.1, pane, h));
    EXPECT_EQ(h, 100);
    // A bottom not below the top falls back to 1e-9.
    settings.PlotRange = 20.0;
    ASSERT_TRUE(p->LevelToHeight(1e-4, pane, h));
    EXPECT_EQ(h, static_cast<int>(200 * (-40.0 + 90.0) / 100.0));
}

TEST_F(SpectrumWindows, PixelsReadBackAsLevelsOnEveryScale)
{
    auto a = Engine();
    auto b = Engine();
    settings.GrabCursorFlag = 0;
    TSpectraPlot* p = Open(a.get());
    const CRect pane = p->GetPlotRect();
    const int x = pane.left + 40;
    const int y = pane.bottom - pane.Height() / 2;
    const double half = static_cast<double>(pane.bottom - y) / pane.Height(); // 0.5 or just over
    EXPECT_NEAR(p->PixelToYValue(x, y), -100.0 + 100.0 * half, 1e-9);
    EXPECT_NEAR(p->PixelToYValue(x, pane.bottom), -100.0, 1e-9);
    scaling.AmpScaleType = 0;
    settings.PlotTop = 2.0f;
    p->UpdateLayout();
    EXPECT_NEAR(p->PixelToYValue(x, y), 2.0 * half, 1e-9);
    scaling.AmpScaleType = 2;
    settings.PlotTop = 10.0f;
    settings.PlotRange = 0.001;
    p->UpdateLayout();
    EXPECT_NEAR(p->PixelToYValue(x, y), std::pow(10.0, (40.0 * half - 30.0) / 10.0), 1e-9);
    // Outside every pane of a two-trace window there is nothing to read.
    scaling.AmpScaleType = 1;
    p->SetData(a.get(), b.get());
    p->UpdateLayout();
    const CRect lower = p->GetPaneRectB();
    EXPECT_NEAR(p->PixelToYValue(x, lower.bottom - lower.Height() / 2),
                1.2 * (lower.Height() / 2) / lower.Height(), 1e-9);
    EXPECT_EQ(p->PixelToYValue(x, p->GetPaneRectA().bottom + 2), 0.0);
    // With "Pull Cursor To Trace" the reading is the trace's level, not the pointer's.
    settings.GrabCursorFlag = 1;
    const int x500 = p->GetPaneRectA().left + p->FrequencyToColumn(500.0f);
    EXPECT_DOUBLE_EQ(p->PixelToYValue(x500, p->GetPaneRectA().top + 3),
                     a->MaxLevel(p->ColumnToBin(x500 - 1), p->ColumnToBin(x500)));
}

TEST_F(SpectrumWindows, ColumnsAndFrequenciesRoundTripOnLinearAndLogarithmicAxes)
{
    auto e = Engine();
    TSpectraPlot* p = Open(e.get());
    const CRect plot = p->GetPlotRect();
    const int W = plot.Width();
    ASSERT_EQ(static_cast<int>(p->GetColumns().size()), W);
    // The range starts at the engine's lowest frequency and ends at its highest.
    EXPECT_FLOAT_EQ(settings.StartFreq, e->GetLowFrequency());
    EXPECT_FLOAT_EQ(settings.StopFreq, e->GetHighFrequency());
    const float f0 = settings.StartFreq;
    const float step = (settings.StopFreq - f0) / static_cast<float>(W);
    for (int c : {0, 1, W / 3, W - 2}) {
        const float f = f0 + static_cast<float>(c) * step;
        EXPECT_FLOAT_EQ(p->ColumnToFrequency(plot.left + c), f) << c;
        // A frequency between two columns belongs to the left one.
        EXPECT_EQ(p->FrequencyToColumn(f + step / 2), c) << c;
        EXPECT_EQ(p->ColumnToBin(plot.left + c), e->FrequencyToBin(f));
    }
    EXPECT_EQ(p->FrequencyToColumn(5000.0f), -999);
    EXPECT_EQ(p->ColumnToFrequency(plot.left - 1), 0.0f);
    EXPECT_EQ(p->ColumnToBin(plot.right + 5), 1);

    // Logarithmic from 10 to 1000 Hz: two decades over the width.
    scaling.FreqScaleType = 1;
    settings.StartFreq = 10.0f;
    settings.StopFreq = 1000.0f;
    auto log = Engine();
    p->SetData(log.get(), nullptr);
    p->UpdateLayout();
    ASSERT_NEAR(settings.StartFreq, 10.0f, 1e-3);
    const double l0 = std::log10(settings.StartFreq), l1 = std::log10(settings.StopFreq);
    for (int c : {0, W / 2, W - 1})
        EXPECT_NEAR(p->ColumnToFrequency(plot.left + c), std::pow(10.0, c * (l1 - l0) / W + l0), 1e-3) << c;
    // Cursor questions: harmonics of 1000 Hz within 22050 Hz.
    scaling.FreqScaleType = 0;
    settings.StartFreq = 0.0f;
    settings.StopFreq = 2000.0f;
    p->UpdateLayout();
    const int x250 = plot.left + p->FrequencyToColumn(250.0f);
    EXPECT_EQ(p->GetHarmonicCount(x250, plot.top + 5), static_cast<int>(settings.StopFreq / p->ColumnToFrequency(x250)));
    EXPECT_EQ(p->GetHarmonicCount(plot.left - 10, plot.top + 5), 0);
}

TEST_F(SpectrumWindows, AxisLabelsStepAndThinAsTheirSpansAsk)
{
    processing = Processing(44100, 1024);
    auto e = Engine();
    settings.StopFreq = 22050.0f;
    TSpectraPlot* p = Open(e.get(), nullptr, CRect(0, 0, 1000, 500));
    std::vector<std::string> texts;
    for (const auto& l : p->GetFrequencyLabels())
        if (l.text[0])
            texts.push_back(l.text);
    // Every 5000 Hz (the axis starts just above 0 Hz, at the engine's lowest frequency).
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[0], "5.0k");
    EXPECT_EQ(texts[1], "10.0k");
    EXPECT_EQ(texts[3], "20.0k");
    // Neighbours closer than 30 pixels lose their text.
    const auto& labels = p->GetFrequencyLabels();
    for (size_t i = 0; i + 1 < labels.size(); ++i)
        if (labels[i].text[0] && labels[i + 1].text[0])
            EXPECT_GE(labels[i + 1].offset - labels[i].offset, 30);

    // A span of 30 Hz: two decimals every 5 Hz.
    processing = Processing(4000, 16384);
    auto fine = Engine();
    p->SetData(fine.get(), nullptr);
    settings.StartFreq = 100.0f;
    settings.StopFreq = 130.0f;
    p->UpdateLayout();
    std::vector<std::string> near;
    for (const auto& l : p->GetFrequencyLabels())
        near.push_back(l.text);
    const auto at = std::find(near.begin(), near.end(), "100.00");
    ASSERT_NE(at, near.end());
    ASSERT_NE(at + 1, near.end());
    EXPECT_EQ(*(at + 1), "105.00");

    // A logarithmic axis with too few decades is labelled in linear steps.
    scaling.FreqScaleType = 1;
    settings.StartFreq = 1200.0f;
    settings.StopFreq = 1800.0f;
    p->UpdateLayout();
    ASSERT_GE(p->GetFrequencyLabels().size(), 4u);
    EXPECT_STREQ(p->GetFrequencyLabels()[0].text, "1.2k");

    // dB: a range of 60 steps by 10, one of 15 by 2.
    settings.PlotTop = -10.0f;
    settings.PlotRange = 60.0;
    p->UpdateLayout();
    ASSERT_EQ(p->GetAmplitudeLabels().size(), 7u);
    EXPECT_STREQ(p->GetAmplitudeLabels()[1].text, "-20.0");
    settings.PlotRange = 15.0;
    p->UpdateLayout();
    ASSERT_EQ(p->GetAmplitudeLabels().size(), 8u);
    EXPECT_EQ(p->GetAmplitudeLabels()[1].offset, static_cast<int>(2.0 * p->GetPlotRect().Height() / 15.0));
}

TEST_F(SpectrumWindows, AKnownSinePeaksWhereTheMappingSaysInEveryStyle)
{
    auto e = Engine(128.0, 0.5); // 500 Hz
    const double level = e->GetLevel(128);
    ASSERT_GT(level, -20.0);
    for (WORD style : {0, 1, 2}) {
        settings.PlotType = style;
        TSpectraPlot* p = Open(e.get());
        const CRect pane = p->GetPlotRect();
        int h = 0;
        ASSERT_TRUE(p->LevelToHeight(level, pane, h));
        const CPoint top = TopOf(p, pane, settings.LineColor);
        EXPECT_EQ(top.y, pane.bottom - h) << style;
        EXPECT_NEAR(top.x, pane.left + p->FrequencyToColumn(500.0f), 3) << style;
        delete p;
    }
}

TEST_F(SpectrumWindows, ZoomedOutAColumnShowsTheLargestOfItsBins)
{
    processing = Processing(4000, 16384); // 8192 bins over a few hundred columns
    auto e = std::make_unique<SpectralData>(&processing, &scaling, false);
    TSmoothing window(16384, TSmoothing::kUniform, 2);
    FeedBlock(*e, window, {{3001.0, 0.5}}); // on a bin: a single-bin line
    e->Average(false);
    TSpectraPlot* p = Open(e.get());
    const CRect pane = p->GetPlotRect();
    int h = 0;
    ASSERT_TRUE(p->LevelToHeight(e->GetLevel(3001), pane, h));
    int highest = pane.bottom;
    for (const POINT& q : p->GetTracePoints())
        highest = std::min<int>(highest, q.y);
    EXPECT_EQ(highest, pane.bottom - h);
}

TEST_F(SpectrumWindows, ABlockUpdateRedrawsOnlyTheTraces)
{
    auto e = Engine(128.0, 0.5);
    TSpectraPlot* p = Open(e.get());
    const CRect pane = p->GetPlotRect();
    const CPoint before = TopOf(p, pane, settings.LineColor);
    // A mark outside the panes would be lost by a repaint.
    {
        CClientDC dc(p);
        dc.SetPixel(5, pane.top + 5, RGB(1, 2, 3));
    }
    TSmoothing window(1024, TSmoothing::kHanning, 2);
    FeedBlock(*e, window, {{256.0, 0.5}}); // the tone moves to 1000 Hz
    e->Average(false);
    p->UpdateFrame(1.0f);
    EXPECT_EQ(At(p, 5, pane.top + 5), RGB(1, 2, 3));
    const CPoint after = TopOf(p, pane, settings.LineColor);
    EXPECT_NEAR(after.x, pane.left + p->FrequencyToColumn(1000.0f), 3);
    EXPECT_EQ(after.y, before.y);
    // The old peak was erased in the background colour.
    EXPECT_NE(At(p, before.x, before.y), settings.LineColor);
}

TEST_F(SpectrumWindows, AnIncrementalUpdateLeavesWhatAFullRepaintDraws)
{
    // After a block update the pane must look as if it had been painted afresh: nothing of the
    // previous traces, bars or peak hold may be left behind, in any style or frequency scale.
    settings.PeakHold = 4;
    markers.Enabled[0] = 1;
    markers.Freq[0] = 700.0f;
    markers.LabelType[0] = 1;
    for (WORD freq : {0, 2})
        for (WORD style : {0, 1, 2}) {
            scaling = Scaling(1, freq);
            settings.PlotType = style;
            settings.StartFreq = 0.0f;
            settings.StopFreq = 2000.0f;
            auto e = std::make_unique<SpectralData>(&processing, &scaling, false);
            e->SetPeakDecay(4);
            TSmoothing window(1024, TSmoothing::kHanning, 2);
            FeedBlock(*e, window, {{128.0, 0.5}, {300.0, 0.05}});
            e->Average(false);
            e->UpdatePeakHold();
            TSpectraPlot* p = Open(e.get());
            p->HideWatermark(); // as during a run
            p->UpdateWindow();
            AfxPumpMessages();
            FeedBlock(*e, window, {{200.0, 0.3}, {300.0, 0.01}});
            e->Average(false);
            e->UpdatePeakHold();
            p->UpdateFrame(1.0f);
            const CRect pane = p->GetPlotRect();
            const QImage incremental = p->GetSurface()->Image().copy(pane.left, pane.top, pane.Width(), pane.Height());
            p->Invalidate();
            p->UpdateWindow();
            AfxPumpMessages();
            const QImage full = p->GetSurface()->Image().copy(pane.left, pane.top, pane.Width(), pane.Height());
            int differ = 0;
            // Column 0 is left out: there the axis ticks of a full repaint lie on the grid lines.
            for (int y = 0; y < full.height(); ++y)
                for (int x = 1; x < full.width(); ++x)
                    if (incremental.pixel(x, y) != full.pixel(x, y) && ++differ < 6)
                        ADD_FAILURE() << "at " << x << "," << y << " " << std::hex << incremental.pixel(x, y) << " vs "
                                      << full.pixel(x, y) << std::dec;
            EXPECT_EQ(differ, 0) << "frequency scale " << freq << ", style " << style;
            delete p;
        }
}

// A marker on a peak at the top of the pane (as an autoscale leaves it) or at its left edge:
// the label's box shows whole inside the pane, top and bottom edges both.
TEST_F(SpectrumWindows, MarkerLabelsStayInsideThePane)
{
    auto e = Engine(128.0, 0.5); // 500 Hz
    markers.Enabled[0] = 1;
    markers.Freq[0] = 500.0f;
    markers.LabelType[0] = 3;
    markers.Enabled[1] = 1;
    markers.LabelType[1] = 1;
    TSpectraPlot* p = Open(e.get());
    markers.Freq[1] = settings.StartFreq; // the first column's
    p->Autoscale();
    p->UpdateFrame(0.0f);
    AfxPumpMessages();
    const CRect pane = p->GetPlotRect();
    const QImage img = p->GetSurface()->Image();
    // Rows of a band with a long run of the marker colour: the box's edges.
    const auto boxEdges = [&](int x0, int x1, int y0, int y1) {
        int edges = 0;
        for (int y = y0; y < y1; ++y) {
            int run = 0;
            for (int x = std::max<int>(x0, pane.left); x < std::min<int>(x1, pane.right); ++x)
                run += (img.pixel(x, y) & 0xFFFFFF) == 0 ? 1 : 0;
            edges += run >= 30 ? 1 : 0;
        }
        return edges;
    };
    const int x = pane.left + p->FrequencyToColumn(500.0f);
    EXPECT_EQ(boxEdges(x - 80, x + 80, pane.top, pane.top + 40), 2);
    // The left edge's marker has its label moved in.
    EXPECT_EQ(boxEdges(pane.left + 1, pane.left + 80, pane.top, pane.bottom), 2);
}

// A marker beyond the frequencies shown is not drawn (its label used to stand at the pane's
// edge naming a frequency the edge is not), and a marker on a peak at the pane's top has its
// label beside the glyph, the stem clear of it.
TEST_F(SpectrumWindows, MarkersOutsideTheSpanAreLeftOutAndStemsMissTheirLabels)
{
    auto e = Engine(128.0, 0.5); // 500 Hz
    settings.StartFreq = 300.0f;
    settings.StopFreq = 700.0f;
    for (int i : {0, 1, 2}) {
        markers.Enabled[i] = 1;
        markers.LabelType[i] = 1;
    }
    markers.Freq[0] = 500.0f;
    markers.Freq[1] = 1500.0f; // beyond the stop
    markers.Freq[2] = 100.0f;  // below the start
    for (const CRect size : {CRect(0, 0, 800, 500), CRect(0, 0, 1280, 720)}) {
        TSpectraPlot* p = Open(e.get(), nullptr, size);
        p->Autoscale();
        p->UpdateFrame(0.0f);
        AfxPumpMessages();
        const CRect pane = p->GetPlotRect();
        const QImage img = p->GetSurface()->Image();
        // With DURNEX_SCREENSHOT_DIR set, the pictures are kept there to be looked at.
        if (const char* keep = std::getenv("DURNEX_SCREENSHOT_DIR"); keep && *keep)
            img.save(QString::fromStdString(std::string(keep) + "/spectrum-markers-" + std::to_string(size.Width()) + ".png"));
        struct Run {
            int y, from, to;
        };
        std::vector<Run> edges; // rows with a long run of black: the label boxes' top and bottom
        for (int y = pane.top; y < pane.bottom; ++y) {
            int run = 0;
            for (int x = pane.left; x <= pane.right; ++x) {
                const bool ink = x < pane.right && (img.pixel(x, y) & 0xFFFFFF) == 0;
                if (ink) {
                    ++run;
                    continue;
                }
                if (run >= 30)
                    edges.push_back({y, x - run, x - 1});
                run = 0;
            }
        }
        ASSERT_EQ(edges.size(), 2u); // one box: the 500 Hz marker's
        const int x = pane.left + p->FrequencyToColumn(500.0f);
        EXPECT_TRUE(x < edges[0].from || x > edges[0].to) << x << " in " << edges[0].from << ".." << edges[0].to;
        EXPECT_TRUE(x + 3 < edges[0].from || x - 3 > edges[0].to); // clear of the glyph too
        delete p;
    }
}

TEST_F(SpectrumWindows, TheIntervalThrottleSkipsFramesTooCloseTogether)
{
    auto e = Engine();
    settings.IntervalFlag = 1;
    settings.IntervalSecs = 0.5f;
    TSpectraPlot* p = Open(e.get());
    p->UpdateFrame(0.6f);
    EXPECT_FLOAT_EQ(p->GetLastFrameTime(), 0.6f);
    p->UpdateFrame(0.7f);
    p->UpdateFrame(1.0f);
    EXPECT_FLOAT_EQ(p->GetLastFrameTime(), 0.6f);
    p->UpdateFrame(1.2f);
    EXPECT_FLOAT_EQ(p->GetLastFrameTime(), 1.2f);
    p->UpdateFrame(0.3f); // time went back: skipped, and the reference starts again
    EXPECT_FLOAT_EQ(p->GetLastFrameTime(), 0.0f);
    p->UpdateFrame(0.5f);
    EXPECT_FLOAT_EQ(p->GetLastFrameTime(), 0.5f);
}

TEST_F(SpectrumWindows, CoherenceFillsTheLowerPaneOnAFixedScale)
{
    auto a = Engine();
    auto b = Engine();
    TSpectraPlot* p = Open(a.get(), b.get());
    EXPECT_EQ(p->GetPaneMode(), 2);
    EXPECT_EQ(p->GetTraceCount(), 2);
    const CRect lower = p->GetPaneRectB();
    int h = 0;
    ASSERT_TRUE(p->LevelToHeight(0.6, lower, h));
    EXPECT_EQ(h, lower.Height() / 2);
    ASSERT_EQ(p->GetAmplitudeLabelsB().size(), 13u);
    EXPECT_STREQ(p->GetAmplitudeLabelsB()[0].text, "1.20");
    EXPECT_STREQ(p->GetAmplitudeLabelsB()[12].text, "0.00");

    // A level marker in the coherence pane reads a plain number: a coherence has no decibels,
    // though trace A's scale is in dB. The box's top edge is the text's width and 4 pixels.
    ChannelScalingSettings plain = Scaling(0);
    auto coherence = std::make_unique<SpectralData>(&processing, &plain, false);
    TSmoothing window(1024, TSmoothing::kHanning, 2);
    FeedBlock(*coherence, window, {{128.0, 0.5}});
    coherence->Average(false);
    markers.Enabled[0] = 1;
    markers.Freq[0] = static_cast<float>(coherence->GetBinFrequency(128));
    markers.LabelType[0] = 2;
    p->SetData(a.get(), coherence.get());
    p->UpdateLayout();
    AfxPumpMessages();
    char text[32];
    std::snprintf(text, sizeof text, "%3.2f", coherence->GetLevel(coherence->FrequencyToBin(markers.Freq[0])));
    int plainWidth = 0, dBWidth = 0;
    {
        CClientDC dc(p);
        CFont font; // the plots' read-out font
        font.CreateFont(15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
        dc.SelectObject(&font);
        plainWidth = dc.GetTextExtent(text).cx;
        dBWidth = dc.GetTextExtent(std::string(text) + " dB").cx;
    }
    int widest = 0;
    for (int y = lower.top; y < lower.bottom; ++y) {
        int run = 0;
        for (int x = lower.left; x < lower.right; ++x) {
            run = At(p, x, y) == settings.MarkerColor ? run + 1 : 0;
            widest = std::max(widest, run);
        }
    }
    EXPECT_NEAR(widest, plainWidth + 4, 1);
    EXPECT_LT(widest, dBWidth + 2);
    markers.Enabled[0] = 0;
    p->SetData(a.get(), nullptr);
    p->UpdateLayout();
    EXPECT_EQ(p->GetPaneMode(), 1);
}

TEST_F(SpectrumWindows, ZoomCommandsMoveTheVisibleBins)
{
    auto e = Engine();
    TSpectraPlot* p = Open(e.get());
    const int first = e->GetFirstBin(), last = e->GetLastBin();
    EXPECT_TRUE(p->GetButton(402)->IsDisabled());
    EXPECT_TRUE(p->GetButton(404)->IsDisabled());
    p->SendMessage(WM_COMMAND, 403);
    const int span = last - first;
    EXPECT_EQ(p->GetVisibleStart(), first + span / 4);
    EXPECT_EQ(p->GetVisibleEnd(), last - span / 4);
    EXPECT_TRUE(p->IsScrollBarShown());
    EXPECT_FALSE(p->GetButton(404)->IsDisabled());
    const int zoomed = p->GetVisibleEnd() - p->GetVisibleStart();
    p->SendMessage(WM_COMMAND, 404); // out by 1.5, not 2
    EXPECT_EQ(p->GetVisibleEnd() - p->GetVisibleStart(), zoomed + 2 * (zoomed / 4));
    // Scrolling right to the end reaches the last bin.
    p->SendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 30000),
                   reinterpret_cast<LPARAM>(p->GetScrollBar()->GetSafeHwnd()));
    EXPECT_EQ(p->GetVisibleEnd(), last);
    p->SendMessage(WM_COMMAND, 402);
    EXPECT_EQ(p->GetVisibleStart(), first);
    EXPECT_EQ(p->GetVisibleEnd(), last);
    EXPECT_FALSE(p->IsScrollBarShown());

    // A dragged zoom of fewer than 4 bins leaves the zoom armed; a second 401 disarms it.
    p->SendMessage(WM_COMMAND, 401);
    EXPECT_TRUE(p->IsSelectionMode());
    const CRect plot = p->GetPlotRect();
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(plot.left + 100, plot.top + 10));
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(plot.left + 101, plot.top + 10));
    EXPECT_TRUE(p->IsSelectionMode());
    EXPECT_TRUE(p->GetButton(401)->IsPressed());
    const float f0 = p->ColumnToFrequency(plot.left + 100), f1 = p->ColumnToFrequency(plot.left + 200);
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(plot.left + 100, plot.top + 10));
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(plot.left + 200, plot.top + 10));
    EXPECT_FALSE(p->IsSelectionMode());
    EXPECT_FLOAT_EQ(settings.StartFreq, f0);
    EXPECT_FLOAT_EQ(settings.StopFreq, f1);
    EXPECT_EQ(p->GetVisibleStart(), e->FrequencyToBin(settings.StartFreq));
}

// Typed by the user, a level box is applied once the typing pauses and never rewritten while
// the number is on the way ("0" of "0.5" used to become "0.1").
TEST_F(SpectrumWindows, TypedLevelBoxesApplyWhenTypingStops)
{
    auto e = Engine();
    TSpectraPlot* p = Open(e.get());
    EXPECT_EQ(TypeAndPause(p->GetPlotRangeEdit(), "0.5"), Prefixes("0.5"));
    EXPECT_DOUBLE_EQ(settings.PlotRange, 0.5);
    EXPECT_EQ(TypeAndPause(p->GetPlotTopEdit(), "-12.5"), Prefixes("-12.5"));
    EXPECT_FLOAT_EQ(settings.PlotTop, -12.5f);
    TypeAndPause(p->GetPlotRangeEdit(), "0");
    EXPECT_DOUBLE_EQ(settings.PlotRange, 0.5);
    QtPressKey(p->GetPlotRangeEdit(), Qt::Key_Return);
    AfxPumpMessages();
    EXPECT_DOUBLE_EQ(settings.PlotRange, 0.1);
    EXPECT_EQ(p->GetPlotRangeEdit()->GetWindowTextString(), "0.1");
}

// In a window narrower than the tool strip the boxes wrap onto further rows: every control
// stays inside the window, clear of the others and above the plot, where the user can reach it.
TEST_F(SpectrumWindows, ANarrowWindowWrapsItsToolStripAndKeepsEveryControlReachable)
{
    auto e = Engine();
    for (const int width : {900, 640, 480, 380}) {
        TSpectraPlot* p = Open(e.get(), nullptr, CRect(0, 0, width, 500));
        SCOPED_TRACE(testing::Message() << "width " << width);
        EXPECT_EQ(ExpectControlsWithinReach(p,
                                            {p->GetPlotTopEdit(), p->GetPlotRangeEdit(), p->GetDlgItem(451),
                                             p->GetPeakHoldCombo()},
                                            p->GetPlotRect().top),
                  4u);
        delete p;
    }
}

TEST_F(SpectrumWindows, ToolStripEditsAndListKeepTheirLimits)
{
    auto e = Engine();
    TSpectraPlot* p = Open(e.get());
    p->GetPlotRangeEdit()->SetWindowText("0.05");
    EXPECT_DOUBLE_EQ(settings.PlotRange, 0.1);
    EXPECT_EQ(p->GetPlotRangeEdit()->GetWindowTextString(), "0.1");
    p->GetPlotTopEdit()->SetWindowText("-12.5");
    EXPECT_FLOAT_EQ(settings.PlotTop, -12.5f);
    // The spin beside it steps the text by 5 dB, and the record follows the text.
    CWnd* spin = p->GetDlgItem(451);
    ASSERT_NE(spin, nullptr);
    p->SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), reinterpret_cast<LPARAM>(spin->GetSafeHwnd()));
    EXPECT_EQ(p->GetPlotTopEdit()->GetWindowTextString(), "-7.50");
    EXPECT_FLOAT_EQ(settings.PlotTop, -7.5f);

    scaling.AmpScaleType = 2;
    settings.PlotTop = 1.0f;
    settings.PlotRange = 0.001;
    p->UpdateLayout();
    p->GetPlotTopEdit()->SetWindowText("20000");
    EXPECT_FLOAT_EQ(settings.PlotTop, 10000.0f);
    EXPECT_EQ(p->GetPlotTopEdit()->GetWindowTextString(), "20000");

    scaling.AmpScaleType = 0;
    p->UpdateLayout();
    EXPECT_EQ(p->GetPlotRangeEdit()->GetWindowTextString(), "N/A");
    EXPECT_FALSE(p->GetPlotRangeEdit()->IsWindowVisible());

    // Peak hold: the same item changes nothing; another sets trace A's decay.
    e->UpdatePeakHold();
    CComboBox* list = p->GetPeakHoldCombo();
    list->SetCurSel(0);
    p->SendMessage(WM_COMMAND, MAKEWPARAM(510, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list->GetSafeHwnd()));
    EXPECT_EQ(settings.PeakHold, 0);
    list->SetCurSel(4);
    p->SendMessage(WM_COMMAND, MAKEWPARAM(510, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list->GetSafeHwnd()));
    EXPECT_EQ(settings.PeakHold, 4);
}

// The amplitude scale changes under the window while the record keeps the levels of the old
// one: each becomes what the new axis draws with, shown in its box and on the axis.
TEST_F(SpectrumWindows, LevelsCarriedOverFromAnotherScaleBecomeOnesTheAxisCanShow)
{
    auto e = Engine();
    settings.PlotTop = -55.0f;
    settings.PlotRange = 45.0;
    TSpectraPlot* p = Open(e.get());
    const CRect pane = p->GetPlotRect();
    int h = 0;

    scaling.AmpScaleType = 2;
    p->UpdateLayout();
    EXPECT_FLOAT_EQ(settings.PlotTop, 10.0f);
    EXPECT_DOUBLE_EQ(settings.PlotRange, 1e-9);
    EXPECT_EQ(p->GetPlotTopEdit()->GetWindowTextString(), "10.0000");
    EXPECT_EQ(p->GetPlotRangeEdit()->GetWindowTextString(), "0.000000001");
    // The axis: its lowest label on the pane's bottom row, its highest on the top row.
    const auto& labels = p->GetAmplitudeLabels();
    ASSERT_GE(labels.size(), 2u);
    char text[32];
    TPlotBase::FormatTickLabel(10.0, text, sizeof text);
    EXPECT_EQ(labels.back().offset, 0);
    EXPECT_STREQ(labels.back().text, text);
    EXPECT_EQ(labels.front().offset, pane.Height());

    // Back to dB: a top of 10 is a level there too; a bottom of 1e-9 is no span.
    scaling.AmpScaleType = 1;
    p->UpdateLayout();
    EXPECT_FLOAT_EQ(settings.PlotTop, 10.0f);
    EXPECT_DOUBLE_EQ(settings.PlotRange, 45.0);
    EXPECT_EQ(p->GetPlotRangeEdit()->GetWindowTextString(), "45.0");
    // The "N/A" of a linear axis read back as 0 by the options page: the trace is drawn again.
    settings.PlotRange = 0.0;
    p->UpdateLayout();
    EXPECT_TRUE(p->LevelToHeight(-20.0, pane, h));

    // Linear from a dB top below zero: full scale.
    settings.PlotTop = -55.0f;
    scaling.AmpScaleType = 0;
    p->UpdateLayout();
    EXPECT_FLOAT_EQ(settings.PlotTop, 1.0f);
    EXPECT_EQ(p->GetPlotTopEdit()->GetWindowTextString(), "1.000");

    // The tool strip labels only the boxes it shows: none beside the hidden range box.
    const auto labelInk = [&] {
        p->RedrawWindow();
        AfxPumpMessages();
        CRect box;
        p->GetPlotRangeEdit()->GetWindowRect(&box);
        p->ScreenToClient(&box);
        const QImage img = p->GetSurface()->Image();
        int ink = 0;
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = std::max<int>(box.left - 70, 0); x < box.left - 1; ++x)
                ink += qGray(img.pixel(x, y)) < 100 ? 1 : 0;
        return ink;
    };
    EXPECT_EQ(labelInk(), 0);

    // A log-magnitude axis that fits is kept as set.
    settings.PlotTop = 2.0f;
    settings.PlotRange = 0.01;
    scaling.AmpScaleType = 2;
    p->UpdateLayout();
    EXPECT_FLOAT_EQ(settings.PlotTop, 2.0f);
    EXPECT_DOUBLE_EQ(settings.PlotRange, 0.01);
    EXPECT_GT(labelInk(), 20); // "Plot Bottom:"
}

TEST_F(SpectrumWindows, SmoothingNeedsNarrowbandDecibels)
{
    scaling.AmpScaleType = 0;
    auto e = Engine();
    TSpectraPlot* p = Open(e.get());
    const float before = e->GetLevel(127);
    ScriptedUser user;
    user.Expect({PromptKind::MessageBox, IDOK, {}, 0, "requires narrowband frequency scaling"});
    p->SendMessage(WM_COMMAND, 833);
    EXPECT_EQ(e->GetLevel(127), before);
}

TEST_F(SpectrumWindows, CopyAsTextListsTheVisibleBinsBesideTheLinkBlock)
{
    auto e = Engine();
    TSpectraPlot* p = Open(e.get());
    p->SetFrequencyRange(e->GetBinFrequency(10), e->GetBinFrequency(20));
    ASSERT_EQ(p->GetVisibleStart(), 10);
    ASSERT_EQ(p->GetVisibleEnd(), 20);
    p->SendMessage(WM_COMMAND, 802);
    ASSERT_TRUE(OpenClipboard(p));
    const std::string text = static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT)));
    HANDLE link = GetClipboardData(RegisterClipboardFormat("Link"));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(std::memcmp(GlobalLock(link), BuildPlotLinkBlock("QorinDT;Data;Spectrum;;").data(), 128), 0);
    CloseClipboard();
    size_t rows = 0;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
        ++rows;
    EXPECT_EQ(rows, 12u); // header and bins 10..20
    EXPECT_EQ(text.rfind(";Freq(Hz)\t", 0), 0u);
    char first[32];
    std::snprintf(first, sizeof first, "%6.6f\t", static_cast<double>(e->GetBinFrequency(10)));
    EXPECT_NE(text.find(std::string("\r\n") + first), std::string::npos);
}

TEST_F(SpectrumWindows, WriteToTextFileWritesTheHeaderAndTheRows)
{
    auto a = Engine();
    auto b = Engine();
    TSpectraPlot* p = Open(a.get(), b.get());
    p->SetFrequencyRange(a->GetBinFrequency(100), a->GetBinFrequency(104));
    const fs::path out = fs::temp_directory_path() / ("spectrum-" + std::to_string(::getpid()) + ".txt");
    ScriptedUser user;
    user.Expect({PromptKind::FileSave, IDOK, out.string(), 0, {}});
    p->SendMessage(WM_COMMAND, 1520);
    std::ifstream f(out, std::ios::binary);
    std::string line;
    std::getline(f, line);
    EXPECT_EQ(line.rfind(";Channel: 8 ", 0), 0u);
    std::getline(f, line);
    EXPECT_EQ(line.rfind(";Freq(Hz)\t", 0), 0u);
    int rows = 0;
    while (std::getline(f, line)) {
        ++rows;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line; // two traces: three columns
        EXPECT_EQ(line.back(), '\r');
    }
    EXPECT_EQ(rows, 5);
    fs::remove(out);

    // A file that cannot be made is reported, not passed over in silence.
    user.Expect({PromptKind::FileSave, IDOK, "/proc/durnex-spectrum.txt", 0, {}});
    user.Expect({PromptKind::MessageBox, IDOK, {}, 0, "Unable to create the file"});
    p->SendMessage(WM_COMMAND, 1520);
}

TEST_F(SpectrumWindows, AutoscaleInDecibelsFramesTheVisibleSpectrumOnTenDecibelSteps)
{
    auto engine = std::make_unique<SpectralData>(&processing, &scaling, false);
    TSmoothing window(1024, TSmoothing::kHanning, 2);
    FeedBlock(*engine, window, {{100.0, 0.5}, {300.0, 0.001}});
    engine->Average(false);
    TSpectraPlot* p = Open(engine.get());
    p->Autoscale();

    const double highest = engine->MaxLevel(engine->GetFirstBin(), engine->GetLastBin());
    float f = 0, lowest = 0;
    engine->FindMinimumInRange(engine->GetFirstBin(), engine->GetLastBin(), &f, &lowest);
    ASSERT_GT(highest - lowest, 20.0);
    const double top = settings.PlotTop;
    EXPECT_EQ(std::fmod(top, 10.0), 0.0);
    EXPECT_GE(top, highest);
    EXPECT_LT(top - highest, 10.0 + 1e-9);
    EXPECT_LE(settings.PlotRange, 200.0);
}

TEST_F(SpectrumWindows, AutoscaleWithoutAUsableSpanOrWithoutDataChangesNothing)
{
    SpectralData engine(&processing, &scaling, false);
    TSpectraPlot* p = Open(&engine);
    settings.PlotTop = -55.0f;
    settings.PlotRange = 45.0;
    p->Autoscale();
    EXPECT_EQ(settings.PlotTop, -55.0f);
    EXPECT_EQ(settings.PlotRange, 45.0);
    p->SetData(nullptr, nullptr);
    p->Autoscale();
    EXPECT_EQ(settings.PlotTop, -55.0f);
}

TEST_F(SpectrumWindows, LinearAutoscaleRoundsTheTopUpToTheNextUnit)
{
    scaling = Scaling(0);
    auto engine = Engine(100.0, 0.5);
    TSpectraPlot* p = Open(engine.get());
    double top = 0, bottom = 0;
    ASSERT_TRUE(p->FindAutoscaleLimits(engine.get(), engine->GetFirstBin(), engine->GetLastBin(), &top, &bottom));
    const double highest = engine->MaxLevel(engine->GetFirstBin(), engine->GetLastBin());
    const double unit = std::pow(10.0, std::trunc(std::log10(highest)));
    EXPECT_DOUBLE_EQ(top, unit * std::trunc(highest / unit + 1));
    EXPECT_GT(top, highest);
}

TEST_F(SpectrumWindows, TheMenuSetsAMarkerUnderTheClickAndOutsideThePanesOpensNothing)
{
    auto e = Engine();
    TSpectraPlot* p = Open(e.get());
    const CRect plot = p->GetPlotRect();
    int menus = 0;
    bool hasCepstrum = false;
    auto previous = CMenu::SetPopupChooser([&](CMenu& menu) -> UINT {
        ++menus;
        hasCepstrum = menu.GetMenuState(801, MF_BYCOMMAND) != 0xFFFFFFFF;
        // The items the window handles are offered enabled.
        for (UINT id : {802u, 1520u, 1502u, 818u, 819u, 820u, 870u, 801u, 803u, 821u, 860u, 804u, 1500u, 1501u})
            EXPECT_EQ(menu.GetMenuState(id, MF_BYCOMMAND) & MF_GRAYED, 0u) << id;
        return 811;
    });
    p->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(plot.left - 10, plot.top + 5));
    AfxPumpMessages();
    EXPECT_EQ(menus, 0);
    p->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(plot.left + 150, plot.top + 40));
    AfxPumpMessages();
    EXPECT_EQ(menus, 1);
    EXPECT_TRUE(hasCepstrum);
    EXPECT_EQ(markers.Enabled[0], 1u);
    EXPECT_FLOAT_EQ(markers.Freq[0], p->ColumnToFrequency(plot.left + 150));

    // During a cursor drag the right button offers the cursor's values, and ends the drag.
    int cursorMenus = 0;
    CMenu::SetPopupChooser([&](CMenu& menu) -> UINT {
        ++cursorMenus;
        EXPECT_NE(menu.GetMenuState(1503, MF_BYCOMMAND), 0xFFFFFFFFu);
        return 1503;
    });
    settings.GrabCursorFlag = 0;
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(plot.left + 150, plot.top + 40));
    EXPECT_TRUE(p->IsTracking());
    p->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON | MK_LBUTTON, MAKELPARAM(plot.left + 150, plot.top + 40));
    EXPECT_FALSE(p->IsTracking());
    EXPECT_EQ(cursorMenus, 1);
    ASSERT_TRUE(OpenClipboard(p));
    ASSERT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    const std::string text = static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT)));
    CloseClipboard();
    char want[80];
    std::snprintf(want, sizeof want, "Freq=\t%5.4f\r\nAmp=\t%5.4f\r\n", static_cast<double>(p->GetXReadoutValue()),
                  static_cast<double>(p->GetYReadoutValue()));
    EXPECT_EQ(text, want);
    EXPECT_EQ(text.rfind("Freq=\t", 0), 0u);
    CMenu::SetPopupChooser(previous);
}

// The measuring cursor against the signal: a 500 Hz tone of half full scale. Free, a row d pixels
// up reads -100 + 100 d / H dB; pulled onto the trace at the tone it reads the tone's -6.02 dB
// and its frequency to within a column.
TEST_F(SpectrumWindows, TheCursorReadsTheScaleAndPulledTheTonesFrequencyAndLevel)
{
    auto e = Engine(128.0, 0.5);
    TSpectraPlot* p = Open(e.get());
    const CRect plot = p->GetPlotRect();
    const double H = plot.Height(), column = 2000.0 / plot.Width();
    int toneX = plot.left;
    while (toneX < plot.right && p->ColumnToFrequency(toneX) < 500.0)
        ++toneX;
    settings.GrabCursorFlag = 0;
    for (const int up : {10, plot.Height() / 2, plot.Height() - 10}) {
        const int y = plot.bottom - up;
        p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(toneX, y));
        EXPECT_NEAR(p->GetYReadoutValue(), -100.0 + 100.0 * up / H, 1e-3) << up;
        EXPECT_NEAR(p->GetXReadoutValue(), 500.0, column + 1e-3);
        p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(toneX, y));
    }
    // Pulled, along the columns about the tone: the highest reading is the tone's.
    settings.GrabCursorFlag = 1;
    double best = -1000.0, bestFreq = 0.0;
    for (int x = toneX - 2; x <= toneX + 2; ++x) {
        p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, plot.top + 5));
        if (p->GetYReadoutValue() > best) {
            best = p->GetYReadoutValue();
            bestFreq = p->GetXReadoutValue();
        }
        p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, plot.top + 5));
    }
    EXPECT_NEAR(best, 20.0 * std::log10(0.5), 0.05);
    EXPECT_NEAR(bestFreq, 500.0, column + 1e-3);
    settings.GrabCursorFlag = 0;
}

// A live block drawn while the measuring cursor is held, then a move: the column the cursor
// left is as it was before the press.
TEST_F(SpectrumWindows, ALiveBlockUnderAHeldCursorLeavesNoStrayPixels)
{
    auto e = Engine();
    TSpectraPlot* p = Open(e.get());
    settings.GrabCursorFlag = 0;
    p->UpdateFrame(1.0f);
    AfxPumpMessages();
    const CRect plot = p->GetPlotRect();
    const int x = plot.left + 150, y = plot.top + 40;
    std::vector<COLORREF> before;
    for (int r = plot.top; r < plot.bottom; ++r)
        before.push_back(At(p, x, r));
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ASSERT_TRUE(p->IsTracking());
    p->UpdateFrame(2.0f);
    p->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, y));
    int stray = 0;
    for (int r = plot.top; r < plot.bottom; ++r)
        stray += r != y && At(p, x, r) != before[std::size_t(r - plot.top)];
    EXPECT_EQ(stray, 0);
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x + 40, y));
}

TEST_F(SpectrumWindows, PrintedOnAPageItKeepsItsAxesAndTraceAndComesBackOnScreen)
{
    auto e = Engine(128.0, 0.5);
    settings.ShowRMSLevel = 1;
    settings.ShowPowerMeter = 1;
    scaling.StandardWeighting = 1;   // names the readout
    scaling.TotalPowerWeighting = 3; // names the meter
    scaling.SpectralDensityFlag = 1;
    scaling.SpectralDensityType = 0;
    TSpectraPlot* p = Open(e.get());
    const CRect screenPlot = p->GetPlotRect();
    const fs::path dir = fs::temp_directory_path() / ("spectrum-print-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path pdf = dir / "spectrum.pdf";
    ScriptedUser user;
    user.Expect({PromptKind::Print, IDOK, pdf.string(), 0, {}});
    PRINTDLG pd;
    pd.Flags = PD_RETURNDC;
    ASSERT_TRUE(PrintDlg(&pd));
    CDC dc;
    ASSERT_TRUE(dc.Attach(pd.hDC));
    PrintSettings margins;
    margins.MarginLeft = margins.MarginRight = margins.MarginTop = margins.MarginBottom = 0.5f;
    ASSERT_GT(dc.StartDoc("spectrum"), 0);
    ASSERT_GT(dc.StartPage(), 0);
    p->PrintPlot(&dc, &margins, true, 0);
    ASSERT_GT(dc.EndPage(), 0);
    ASSERT_GT(dc.EndDoc(), 0);
    dc.DeleteDC();
    GlobalFree(pd.hDevMode);
    GlobalFree(pd.hDevNames);
    // The window lays itself out for the screen again.
    EXPECT_EQ(p->GetPlotRect(), screenPlot);

    const std::string txt = (dir / "page.txt").string();
    ASSERT_EQ(std::system(("pdftotext -layout '" + pdf.string() + "' '" + txt + "'").c_str()), 0);
    std::ifstream f(txt);
    const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Frequency (Hz)"), std::string::npos);
    EXPECT_NE(text.find("-50.0"), std::string::npos);
    EXPECT_NE(text.find("PSD: Units^2/Hz"), std::string::npos);
    EXPECT_NE(text.find("Pwr A ="), std::string::npos);
    EXPECT_NE(text.find("Pwr C"), std::string::npos);
    if (const char* keep = std::getenv("DURNEX_SPECTRUM_SHOTS"))
        fs::copy_file(pdf, fs::path(keep) / "printed.pdf", fs::copy_options::overwrite_existing);
    fs::remove_all(dir);
}

// On a real display (xvfb-run), DURNEX_SPECTRUM_SHOTS names a folder that receives a picture of
// the window for each style over each frequency and amplitude scale, to be looked at.
TEST_F(SpectrumWindows, ScreenshotsOfEveryStyleAndScaleOnARealDisplay)
{
    const char* dir = std::getenv("DURNEX_SPECTRUM_SHOTS");
    if (!dir)
        GTEST_SKIP() << "no DURNEX_SPECTRUM_SHOTS";
    settings.ShowPowerMeter = 1;
    settings.ShowOverlayControls = 1;
    settings.ShowRMSLevel = 1;
    settings.PeakHold = 4;
    markers.Enabled[0] = 1;
    markers.Freq[0] = 500.0f;
    markers.LabelType[0] = 3;
    const char* styles[] = {"line", "bar", "step"};
    const char* freqs[] = {"linear", "log", "octave"};
    const char* amps[] = {"linear", "dB", "logmag"};
    for (WORD f = 0; f < 3; ++f)
        for (WORD a = 0; a < 3; ++a) {
            scaling = Scaling(a, f);
            scaling.OctaveNumber = 3;
            auto e = std::make_unique<SpectralData>(&processing, &scaling, false);
            TSmoothing window(1024, TSmoothing::kHanning, 2);
            unsigned seed = 7;
            FeedBlock(*e, window, {{128.0, 0.5}, {300.5, 0.05}}, 0.001, &seed);
            e->SetPeakDecay(4);
            e->Average(false);
            e->UpdatePeakHold();
            for (WORD s = 0; s < 3; ++s) {
                settings.PlotType = s;
                settings.StartFreq = 0.0f;
                settings.StopFreq = 2000.0f;
                TSpectraPlot* p = Open(e.get(), nullptr, CRect(0, 0, 900, 560));
                p->Autoscale();
                p->UpdateFrame(0.0f);
                AfxPumpMessages(50);
                const std::string name = std::string(dir) + "/" + freqs[f] + "-" + amps[a] + "-" + styles[s] + ".png";
                EXPECT_TRUE(p->GetSurface()->Image().save(QString::fromStdString(name)));
                delete p;
            }
        }
    // The whole window with its controls, during a Shift-drag of the measuring cursor.
    scaling = Scaling(1, 0);
    auto e = Engine(128.0, 0.5);
    settings.PlotType = 0;
    settings.PlotTop = 0.0f;
    settings.PlotRange = 100.0;
    // A composite's two panes in a small window, and a narrow one-pane window.
    auto coherence = Engine(64.0, 0.5);
    for (const CRect r : {CRect(0, 0, 560, 330), CRect(0, 0, 330, 420)}) {
        TSpectraPlot* w = Open(e.get(), r.Width() > 400 ? coherence.get() : nullptr, r);
        AfxPumpMessages(50);
        EXPECT_TRUE(QtWidgetOf(w)->grab().save(QString::fromStdString(
            std::string(dir) + "/small-" + std::to_string(r.Width()) + "x" + std::to_string(r.Height()) + ".png")));
        delete w;
    }
    TSpectraPlot* p = Open(e.get(), nullptr, CRect(0, 0, 900, 560));
    const CRect pane = p->GetPlotRect();
    const int x = pane.left + p->FrequencyToColumn(250.0f);
    p->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(x, pane.top + 100));
    AfxPumpMessages(50);
    EXPECT_TRUE(QtWidgetOf(p)->grab().save(QString::fromStdString(std::string(dir) + "/window-drag.png")));
    p->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, pane.top + 100));
}

TEST_F(SpectrumWindows, DecibelLabelsStandEvenlyAndNeverOverlapOnAnyRangeOrHeight)
{
    auto e = Engine();
    TSpectraPlot* p = Open(e.get());
    for (float top : {0.0f, -3.0f}) {
        for (double range : {40.0, 45.0, 60.0, 70.0, 90.0}) {
            for (int height = 160; height <= 560; height += 9) {
                settings.PlotTop = top;
                settings.PlotRange = range;
                p->MoveWindow(0, 0, 800, height);
                p->UpdateLayout();
                std::vector<int> shown;
                for (const auto& l : p->GetAmplitudeLabels())
                    if (l.text[0])
                        shown.push_back(l.offset);
                SCOPED_TRACE(testing::Message() << "top " << top << " range " << range << " height " << height);
                ASSERT_GE(shown.size(), 2u);
                EXPECT_EQ(shown[0], 0); // the top is always labelled
                // Each label is 15 pixels high: apart means at least that plus a little; evenly
                // means one pitch throughout, give or take the pixel offsets are truncated to.
                const int pitch = shown[1] - shown[0];
                for (size_t i = 1; i < shown.size(); ++i) {
                    EXPECT_GE(shown[i] - shown[i - 1], 17);
                    EXPECT_NEAR(shown[i] - shown[i - 1], pitch, 1);
                }
            }
        }
    }
    // A top that rounds to zero in the box's two decimals shows no minus sign.
    settings.PlotTop = -0.001f;
    p->UpdateLayout();
    EXPECT_EQ(p->GetPlotTopEdit()->GetWindowTextString(), "0.00");
    delete p;
}

// The frequency labels as drawn: the ink of each label (the dark columns nearest its tick)
// stands clear of its neighbours' on any window width, axis kind and span.
TEST_F(SpectrumWindows, FrequencyLabelsNeverCrowdTogetherOnAnyWidthOrAxis)
{
    processing = Processing(44100, 1024);
    auto e = Engine();
    TSpectraPlot* p = Open(e.get());
    struct Axis {
        WORD freqScale;
        float lo, hi;
    };
    for (const Axis axis : {Axis{0, 0.0f, 22050.0f}, Axis{0, 0.0f, 2000.0f}, Axis{0, 1000.0f, 1030.0f},
                            Axis{1, 20.0f, 20000.0f}, Axis{1, 1200.0f, 1800.0f}, Axis{2, 20.0f, 20000.0f}})
        for (int width = 180; width <= 1000; width += 53) {
            scaling.FreqScaleType = axis.freqScale;
            scaling.OctaveNumber = 3;
            settings.StartFreq = axis.lo;
            settings.StopFreq = axis.hi;
            p->MoveWindow(0, 0, width, 400);
            p->UpdateLayout();
            p->Invalidate();
            p->UpdateWindow();
            AfxPumpMessages();
            const CRect pane = p->GetPlotRect();
            std::vector<int> ticks;
            for (const auto& l : p->GetFrequencyLabels())
                if (l.text[0])
                    ticks.push_back(pane.left + l.offset);
            SCOPED_TRACE(testing::Message() << "scale " << axis.freqScale << " " << axis.lo << "-" << axis.hi
                                            << " width " << width);
            ASSERT_GE(ticks.size(), width > 300 ? 2u : 1u); // the rightmost label always shows
            // Each dark column of the label row belongs to the nearest tick.
            const QImage& image = p->GetSurface()->Image();
            const int top = pane.bottom + p->GetScrollBarHeight() + 4;
            std::vector<int> left(ticks.size(), INT_MAX), right(ticks.size(), INT_MIN);
            for (int x = 0; x < image.width(); ++x)
                for (int y = top; y < top + 14 && y < image.height(); ++y)
                    if (qGray(image.pixel(x, y)) < 128) {
                        size_t k = 0;
                        for (size_t i = 1; i < ticks.size(); ++i)
                            if (std::abs(ticks[i] - x) < std::abs(ticks[k] - x))
                                k = i;
                        left[k] = std::min(left[k], x);
                        right[k] = std::max(right[k], x);
                        break;
                    }
            for (size_t i = 0; i + 1 < ticks.size(); ++i)
                EXPECT_GE(left[i + 1] - right[i] - 1, 30) << "between labels at " << ticks[i] << " and " << ticks[i + 1];
        }
    delete p;
}

// In panes a few pixels tall the level and coherence titles are left out rather than written
// over the tool strip; in panes tall enough they show.
TEST_F(SpectrumWindows, TheLevelTitlesNeverRunOverTheToolStrip)
{
    auto a = Engine();
    auto b = Engine();
    for (SpectralData* second : {static_cast<SpectralData*>(nullptr), b.get()}) {
        SCOPED_TRACE(second ? "two panes" : "one pane");
        TSpectraPlot* p = Open(a.get(), second);
        ExpectSideTitleBelowTheStrip(p, 22, 500);
    }
}
