// The RT-60 and THD+N windows drawing results that no measurement produces (the readers refuse
// such files, but the windows' loops and pixel arithmetic must hold whatever they are given):
// every view is drawn, the tick walk and the extent list stay bounded, and no value overflows
// on its way to a pixel.
#include "records/ReverbSettings.h"
#include "records/ThdFreqSettings.h"
#include "support/MdiFrameFixture.h"
#include "support/QtTestAccess.h"
#include "platform/ui/GdiWindowDC.h"
#include "utilities/TReverb.h"
#include "utilities/TTHDFreq.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <stdlib.h>

namespace {

class ResultWindows : public MdiFrameTest<CMDIFrameWnd, 900, 700> {
protected:
    static constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW;

    static int CountColour(CWnd* w, const CRect& p, COLORREF colour)
    {
        w->Invalidate();
        w->UpdateWindow();
        AfxPumpMessages();
        CClientDC dc(w);
        int n = 0;
        for (int y = p.top; y < p.bottom; ++y)
            for (int x = p.left; x < p.right; ++x)
                n += dc.GetPixel(x, y) == colour ? 1 : 0;
        return n;
    }

    // Records of a decay 10 dB a record in every band, at the given times.
    static void Fill(ReverbAnalysis& a, const std::vector<float>& times, int bands, float level0 = 0.0f)
    {
        a.capacity = static_cast<int>(times.size());
        ASSERT_TRUE(a.AllocateRecords());
        a.bandCount = bands;
        a.recordCount = static_cast<int>(times.size());
        for (std::size_t r = 0; r < times.size(); ++r) {
            for (int b = 0; b < bands; ++b) {
                a.records[r].Frequency[b] = b + 1 == bands ? -999.0f : 125.0f * static_cast<float>(b + 1);
                a.records[r].Level[b] = a.records[r].Smoothed[b] = level0 - 10.0f * static_cast<float>(r);
            }
            a.records[r].Time = times[r];
        }
    }
};

// The tick walk as it is defined: whole frequencies from 0 in steps by decade (or one linear
// step), a tick at every new column from the start on, labels thinned to 30 pixels.
std::vector<TTHDFreq::Tick> WalkFromZero(const TTHDFreq& w, const ThdFreqSettings& s, int width)
{
    auto walk = [&](bool logarithmic) {
        std::vector<TTHDFreq::Tick> ticks;
        const double span = s.StopFrequency - s.StartFrequency;
        double step = 1;
        for (double c : {10000.0, 5000.0, 1000.0, 500.0, 200.0, 100.0, 50.0, 20.0, 10.0, 5.0, 2.0, 1.0})
            if (!logarithmic && span / c >= 4) {
                step = c;
                break;
            }
        for (double v = 0; v <= s.StopFrequency; v += step) {
            if (logarithmic)
                step = v < 10 ? 1 : v < 100 ? 10 : v < 1000 ? 100 : v < 10000 ? 1000 : v < 100000 ? 10000
                       : v < 1e6 ? 100000 : 10000;
            if (v < s.StartFrequency)
                continue;
            const int x = w.FrequencyToPixel(static_cast<float>(v), width);
            const char* small = span < 10 ? "%1.3f" : span < 100 ? "%1.2f" : "%1.0f";
            const char* large = span < 10 ? "%1.3fk" : span < 100 ? "%1.2fk" : "%1.1fk";
            char label[32] = "0.0";
            if (v != 0)
                std::snprintf(label, sizeof label, v < 1000 ? small : large, v < 1000 ? v : v / 1000);
            if (ticks.empty() || ticks.back().offset != x)
                ticks.push_back({x, label});
        }
        return ticks;
    };
    std::vector<TTHDFreq::Tick> ticks = walk(s.FrequencyScale != 0);
    if (s.FrequencyScale != 0 && ticks.size() < 4)
        ticks = walk(false);
    int last = 1 << 30;
    for (auto it = ticks.rbegin(); it != ticks.rend(); ++it) {
        if (last - it->offset < 30)
            it->label.clear();
        else
            last = it->offset;
    }
    return ticks;
}

} // namespace

TEST_F(ResultWindows, ThdTicksAreTheWalkFromZeroAndEndForAnyRange)
{
    auto* w = new TTHDFreq;
    ASSERT_TRUE(w->Create(kStyle, CRect(0, 0, 800, 500), frame));
    ThdFreqSettings& s = *w->Links().settings;
    struct Range {
        float start, stop;
        WORD scale;
    };
    for (const Range r : {Range{20, 20000, 1}, Range{12345, 987654, 1}, Range{150, 160, 1}, Range{1000, 5000, 0},
                          Range{20, 20000, 0}, Range{999000, 1000000, 1}}) {
        s.StartFrequency = r.start;
        s.StopFrequency = r.stop;
        s.FrequencyScale = r.scale;
        const auto got = w->FrequencyTicks(600);
        const auto want = WalkFromZero(*w, s, 600);
        ASSERT_EQ(got.size(), want.size()) << r.start << ".." << r.stop;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].offset, want[i].offset) << r.start << ".." << r.stop << " tick " << i;
            EXPECT_EQ(got[i].label, want[i].label) << r.start << ".." << r.stop << " tick " << i;
        }
    }
    // The range of the damaged file that froze the window, on both scales, and ranges a walk of
    // whole steps can never cross: each answers at once with ticks inside the pane.
    for (const Range r : {Range{1e30f, 2e30f, 1}, Range{1e30f, 2e30f, 0}, Range{20, 3e38f, 1}, Range{20, 3e38f, 0},
                          Range{1e-30f, 1e-29f, 1}}) {
        s.StartFrequency = r.start;
        s.StopFrequency = r.stop;
        s.FrequencyScale = r.scale;
        const auto ticks = w->FrequencyTicks(600);
        EXPECT_LE(ticks.size(), 600u);
        for (const auto& t : ticks)
            EXPECT_TRUE(t.offset >= 0 && t.offset < 600) << r.start;
        // Values far outside the axis land on its edges.
        for (float f : {0.0f, -1e30f, 1e30f, 3e38f, std::nanf("")}) {
            const int x = w->FrequencyToPixel(f, 600);
            EXPECT_TRUE(x >= 0 && x < 600) << f;
        }
    }
    s.PlotTop = 3e38f;
    s.PlotBottom = 1e-38f;
    for (WORD scale : {WORD(0), WORD(1)}) {
        s.AmplitudeScale = scale;
        EXPECT_LE(w->AmplitudeTicks(400).size(), 10001u);
        for (float v : {0.0f, 1e-45f, 3e38f, INFINITY, std::nanf("")}) {
            const int y = w->AmplitudeToPixel(v, 400);
            EXPECT_TRUE(y >= 0 && y < 400) << v;
        }
    }
    delete w;
}

TEST_F(ResultWindows, ThdWindowDrawsPointsOfADamagedRangeInItsPane)
{
    auto* w = new TTHDFreq;
    ASSERT_TRUE(w->Create(kStyle, CRect(0, 0, 800, 500), frame));
    ThdFreqSettings& s = *w->Links().settings;
    s.StartFrequency = 1e30f;
    s.StopFrequency = 2e30f;
    w->Analysis().pointsA = {{1e20f, 0.5f}, {1.5e30f, 1e30f}, {3e38f, 0.01f}};
    w->UpdateLayout();
    const CRect p = w->GetPlotRect();
    EXPECT_GT(CountColour(w, p, s.CurveColor), 0);
    delete w;
}

TEST_F(ResultWindows, ReverbViewsOfHugeTimesAndLevelsDrawWithinThePlot)
{
    auto* w = new TReverb;
    ASSERT_TRUE(w->CreateReverbWindow(kStyle, CRect(0, 0, 800, 500), frame));
    ReverbAnalysis& a = w->Analysis();
    ReverbSettings& st = *w->Links().settings;
    // Record times past any int, a spacing next to nothing, levels far past any pixel.
    Fill(a, {0.0f, 1e-30f, 2.07e37f}, 4, 1e30f);
    a.records[1].Smoothed[1] = -3e38f;
    a.viewMode = 1;
    a.maxDecayTime = 3e38f;
    a.recordInterval = 1e-30f;
    st.TimeExtent = 3e38f;
    st.StartOffset = 1000;
    a.ComputeDecayTimes();
    const CRect p = w->GetPlotRect();
    for (UINT view : {TReverb::kReverbTimes, TReverb::kDecayPlot, TReverb::kSurface}) {
        w->SendMessage(WM_COMMAND, view, 0);
        EXPECT_EQ(w->GetViewMode(), view - TReverb::kReverbTimes + 1);
        // The grid, or the surface's axes, are drawn whatever the records hold.
        EXPECT_GT(CountColour(w, p, view == TReverb::kSurface ? RGB(0, 0, 0) : st.GridColor), 0);
        for (int x : {p.left, p.right - 1}) {
            EXPECT_TRUE(std::isfinite(w->ReverbXValueAt(x, p.top)));
            EXPECT_TRUE(std::isfinite(w->ReverbYValueAt(x, p.top)));
        }
    }
    EXPECT_LE(w->GetExtentCombo()->GetCount(), 1000);
    delete w;
}

TEST_F(ResultWindows, AReverbFileADayLongKeepsItsExtentListShortAndDrawsItsDecay)
{
    char folder[] = "/tmp/durnex-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/day.rvb";
    {
        auto* w = new TReverb;
        ASSERT_TRUE(w->CreateReverbWindow(kStyle, CRect(0, 0, 800, 500), frame));
        Fill(w->Analysis(), {0.0f, 43200.0f, 86400.0f}, 3);
        ASSERT_TRUE(w->SaveReverbFile(path));
        delete w;
    }
    auto* w = new TReverb;
    ASSERT_TRUE(w->CreateReverbWindow(kStyle, CRect(0, 0, 800, 500), frame));
    ASSERT_TRUE(w->LoadReverbFile(path));
    ReverbSettings& st = *w->Links().settings;
    EXPECT_EQ(st.TimeExtent, 86400.0f);
    // A list of tenths of a second up to a day would hold 864,000 entries.
    EXPECT_LE(w->GetExtentCombo()->GetCount(), 1000);
    EXPECT_GE(w->GetExtentCombo()->GetCount(), 300);
    // The combos' layout height is their list's: the boxes stay one line high, off the plot.
    for (CComboBox* combo : {w->GetExtentCombo(), w->GetSelectionCombo()}) {
        CRect box;
        combo->GetWindowRect(&box);
        EXPECT_LT(box.Height(), 40);
    }
    w->SendMessage(WM_COMMAND, TReverb::kDecayPlot, 0);
    EXPECT_GT(CountColour(w, w->GetPlotRect(), st.DecayColor), 50);
    delete w;
    std::filesystem::remove_all(folder);
}
