// The spectrum window's overlays: a stored spectrum drawn where the live trace was, the data
// source question, slot names kept across stores, the composite slot, the overlay dialog's
// copy taken only on OK, and trace B's commands in a one-pane window.
#include "PlotTestSupport.h"

#include "dsp/SpectralTestSupport.h"
#include "dsp/TOverlayData.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiWindowDC.h"
#include "plots/TOverlayDialog.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "records/MarkerSettings.h"
#include "records/PathSettings.h"
#include "records/SpectrumPlotSettings.h"
#include "res/OverlayDialogIds.h"
#include "support/ScriptedUser.h"

#include "support/QtTestAccess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace spectral_test;
namespace fs = std::filesystem;

namespace {

QAbstractButton* Button(CWnd& d, int id)
{
    CWnd* c = d.GetDlgItem(id);
    return c ? qobject_cast<QAbstractButton*>(QtWidgetOf(c)) : nullptr;
}

std::string Slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SpectrumOverlays : public PlotWindows {
protected:
    void SetUp() override
    {
        PlotWindows::SetUp();
        char tmpl[] = "/tmp/durnex-overlay-XXXXXX";
        dir = mkdtemp(tmpl);
        std::snprintf(paths.Tmp, sizeof paths.Tmp, "%s", dir.c_str());
        std::snprintf(working.ovl, sizeof working.ovl, "%s", dir.c_str());
        settings.StartFreq = 0.0f;
        settings.StopFreq = 2000.0f;
        settings.PlotTop = 0.0f;
        settings.PlotRange = 100.0;
        settings.PeakHold = 0;
        settings.ShowPowerMeter = 0;
        settings.Overlays[0].Color = RGB(0, 200, 0);
    }
    void TearDown() override
    {
        PlotWindows::TearDown();
        fs::remove_all(dir);
    }
    TSpectraPlot* Open(SpectralData* a, SpectralData* b = nullptr)
    {
        auto* p = new TSpectraPlot;
        p->SetPaths(&paths, &working);
        CRect r(0, 0, 900, 500);
        EXPECT_TRUE(p->Create("Spectrum - Crown", kStyle, &r, &processing, &scaling, &markers, &settings, a, b, 0));
        p->UpdateWindow();
        AfxPumpMessages();
        return p;
    }
    std::unique_ptr<SpectralData> Engine(double bin, double amplitude)
    {
        auto e = std::make_unique<SpectralData>(&processing, &scaling, false);
        TSmoothing window(processing.FFTsize, TSmoothing::kHanning, 2);
        FeedBlock(*e, window, {{bin, amplitude}});
        e->Average(false);
        return e;
    }
    static CPoint TopOf(CWnd* w, const CRect& pane, COLORREF colour)
    {
        CClientDC dc(w);
        for (int y = pane.top; y < pane.bottom; ++y)
            for (int x = pane.left; x < pane.right; ++x)
                if (dc.GetPixel(x, y) == colour)
                    return CPoint(x, y);
        return CPoint(-1, -1);
    }
    void Command(CWnd* w, UINT id) { w->SendMessage(WM_COMMAND, id, 0); }
    void Check(TSpectraPlot* p, UINT id, bool on)
    {
        auto* box = static_cast<CButton*>(p->GetDlgItem(static_cast<int>(id)));
        ASSERT_NE(box, nullptr);
        box->SetCheck(on ? BST_CHECKED : BST_UNCHECKED);
        Command(p, id);
    }

    fs::path dir;
    PathSettings paths, working;
    ChannelProcessingSettings processing = Processing(4000, 1024);
    ChannelScalingSettings scaling = Scaling(1);
    MarkerSettings markers;
    SpectrumPlotSettings settings;
};

} // namespace

TEST_F(SpectrumOverlays, AStoredSineDrawsItsPeakOnTheLiveTracesPixel)
{
    // Several bins to a pixel column, as a spectrum is usually shown: each column shows the
    // largest level among its bins, in the live trace and in the overlay alike.
    processing = Processing(4000, 8192);
    for (WORD style : {0, 2}) {
        for (WORD freqScale : {0, 1}) {
            settings.PlotType = style;
            scaling.FreqScaleType = freqScale;
            auto e = Engine(800.0, 0.5);  // 390.625 Hz
            TSpectraPlot* p = Open(e.get());
            const CRect pane = p->GetPlotRect();
            const CPoint live = TopOf(p, pane, settings.LineColor);
            ASSERT_GE(live.x, 0);

            Command(p, 1201);
            ASSERT_TRUE(fs::exists(dir / "Ch_0_1.ovl"));
            EXPECT_EQ(settings.Overlays[0].Show1, 1);
            ASSERT_NE(p->GetOverlay(1, 0), nullptr);
            p->Invalidate();
            p->UpdateWindow();
            EXPECT_EQ(TopOf(p, pane, RGB(0, 200, 0)), live) << "style " << style << " scale " << freqScale;

            // The file reads back as the engine's levels.
            TOverlayData back((dir / "Ch_0_1.ovl").c_str(), 0, 0.0f);
            ASSERT_EQ(back.ErrorFlag(), 0);
            EXPECT_NEAR(back.ValueAt(e->GetBinFrequency(800)), e->GetLevel(800), 1e-4);
            p->DestroyWindow();
            AfxPumpMessages();
            fs::remove(dir / "Ch_0_1.ovl");
            settings.Overlays[0].Show1 = 0;
        }
    }
}

TEST_F(SpectrumOverlays, StoringAsksForTheSourceOnlyWithPeakHoldAndKeepsTheSlotsName)
{
    auto e = Engine(100.0, 0.5);
    settings.PeakHold = 4;
    TSpectraPlot* p = Open(e.get());
    // Cancel stores nothing.
    CDialog::ScriptModal([](CWnd& d) { Button(d, IDCANCEL)->click(); });
    Command(p, 1202);
    EXPECT_FALSE(fs::exists(dir / "Ch_0_2.ovl"));
    EXPECT_EQ(settings.Overlays[1].Show1, 0);

    // A name given to the slot survives the next store.
    ASSERT_TRUE(TOverlayData::WriteName((dir / "Ch_0_2.ovl").c_str(), "Before repair"));
    CDialog::ScriptModal([](CWnd& d) { Button(d, IDOK)->click(); });
    Command(p, 1202);
    TOverlayData stored((dir / "Ch_0_2.ovl").c_str(), 0, 0.0f);
    EXPECT_EQ(stored.ErrorFlag(), 0);
    EXPECT_STREQ(stored.GetName(), "Before repair");
    EXPECT_EQ(CDialog::PendingModalScripts(), 0u);

    // Hiding frees the curve and keeps the file.
    Check(p, 1222, false);
    EXPECT_EQ(settings.Overlays[1].Show1, 0);
    EXPECT_EQ(p->GetOverlay(1, 1), nullptr);
    EXPECT_TRUE(fs::exists(dir / "Ch_0_2.ovl"));

    // A one-pane window has no trace B: its commands do nothing.
    Command(p, 1211);
    Command(p, 1231);
    EXPECT_FALSE(fs::exists(dir / "Ch2_0_1.ovl"));
    EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
}

TEST_F(SpectrumOverlays, TheCompositeSlotAveragesOrSubtractsTheStoredSlots)
{
    auto loud = Engine(100.0, 0.5);
    auto quiet = Engine(100.0, 0.05);  // 20 dB lower everywhere the tone dominates
    TSpectraPlot* p = Open(loud.get());
    Command(p, 1201);
    p->SetData(quiet.get(), nullptr);
    Command(p, 1202);
    const float f = loud->GetBinFrequency(100);

    // 1 minus 2, chosen in the setup dialog.
    CDialog::ScriptModal([](CWnd& d) {
        Button(d, IDC_COMPOSITE_SUBTRACT)->click();
        Button(d, kCompositeFromIds[0])->click();
        Button(d, kCompositeMinusIds[1])->click();
        Button(d, IDOK)->click();
    });
    Command(p, 1207);
    EXPECT_EQ(settings.CompositeType1, 1);
    EXPECT_EQ(settings.Overlays[6].Show1, 1);
    const TOverlayData* c = p->GetOverlay(1, 6);
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->ErrorFlag(), 0);
    EXPECT_NEAR(c->ValueAt(f), loud->GetLevel(100) - quiet->GetLevel(100), 1e-3);
    EXPECT_NEAR(c->ValueAt(f), 20.0, 1e-2);

    // An average may not include only one slot; Cancel after the refusal changes nothing.
    ScriptedUser user;
    user.ExpectBox(IDOK, "At least 2 overlays must be selected for averaging");
    CDialog::ScriptModal([](CWnd& d) {
        Button(d, IDC_COMPOSITE_AVERAGE)->click();
        Button(d, IDC_COMPOSITE_INCLUDE_1 + 1)->click();
        Button(d, IDOK)->click();
        Button(d, IDCANCEL)->click();
    });
    Command(p, 1207);
    EXPECT_EQ(settings.CompositeType1, 1);
    EXPECT_EQ(settings.DifferenceIndex1_2, 1);
}

TEST_F(SpectrumOverlays, TheOverlayDialogsChangesReachThePlotOnlyOnOk)
{
    settings.ShowOverlayControls = 1;
    auto e = Engine(100.0, 0.5);
    TSpectraPlot* p = Open(e.get());
    Command(p, 1201);
    const std::string stored = Slurp(dir / "Ch_0_1.ovl");
    const COLORREF before = settings.Overlays[2].Color;

    // Defaults, then Cancel: colours unchanged.
    CDialog::ScriptModal([](CWnd& d) {
        Button(d, IDC_OVERLAY_DEFAULTS)->click();
        Button(d, IDCANCEL)->click();
    });
    Command(p, 1400);
    EXPECT_EQ(settings.Overlays[2].Color, before);

    // A new name and offset on OK: the slot file's rows stay as stored, the curve moves up.
    CDialog::ScriptModal([](CWnd& d) {
        d.GetDlgItem(IDC_OVERLAY_NAME)->SetWindowText("Reference");
        d.GetDlgItem(IDC_OVERLAY_OFFSET)->SetWindowText("10");
        d.GetDlgItem(IDC_OVERLAY_LEGEND_SIZE)->SetWindowText("12");
        Button(d, IDOK)->click();
    });
    Command(p, 1400);
    EXPECT_EQ(settings.Overlays[0].Offset1, 10.0f);
    EXPECT_EQ(settings.OverlayLegendSize, 12);
    const std::string renamed = Slurp(dir / "Ch_0_1.ovl");
    EXPECT_EQ(renamed, ";Reference\n" + stored.substr(stored.find('\n') + 1));
    const float f = e->GetBinFrequency(100);
    ASSERT_NE(p->GetOverlay(1, 0), nullptr);
    EXPECT_NEAR(p->GetOverlay(1, 0)->ValueAt(f), e->GetLevel(100) + 10.0f, 1e-3);
    // Every slot now has a file; the empty ones hold only their name line.
    EXPECT_EQ(Slurp(dir / "Ch_0_4.ovl"), ";\n");
}

// A slot shown before anything was stored in it holds no curve: nothing is drawn for it (a
// flat line at 0 dB would pass for a reference).
TEST_F(SpectrumOverlays, AShownSlotWithNothingStoredDrawsNothing)
{
    auto e = Engine(100.0, 0.5);
    settings.Overlays[1].Color = RGB(200, 0, 200);
    TSpectraPlot* p = Open(e.get());
    Check(p, 1222, true);
    EXPECT_EQ(settings.Overlays[1].Show1, 1);
    p->Invalidate();
    p->UpdateWindow();
    EXPECT_EQ(TopOf(p, p->GetPlotRect(), RGB(200, 0, 200)), CPoint(-1, -1));
    p->DestroyWindow();
    AfxPumpMessages();
}

// Two traces' overlay columns in windows from short to tall: no overlay control covers
// another; while the window can hold both columns every one lies inside it, clear of the
// toggles; a tall window keeps the rows 16 pixels apart beside each pane.
TEST_F(SpectrumOverlays, OverlayControlsOfBothTracesNeverCoverEachOtherInAShortWindow)
{
    settings.ShowOverlayControls = 1;
    auto a = Engine(128.0, 0.5);
    auto b = Engine(128.0, 0.5);
    TSpectraPlot* p = Open(a.get(), b.get());
    std::vector<int> ids;
    for (int base : {1201, 1211, 1221, 1231})
        for (int i = 0; i < 7; ++i)
            ids.push_back(base + i);
    for (int id : {1400, 1401, 1410, 1411, 1412})
        ids.push_back(id);
    for (BYTE meter : {0, 1})
        for (int height = 260; height <= 760; height += 25) {
            settings.ShowPowerMeter = meter;
            p->MoveWindow(0, 0, 700, height);
            p->UpdateLayout();
            AfxPumpMessages();
            CRect client;
            p->GetClientRect(&client);
            SCOPED_TRACE(testing::Message() << "meter " << int(meter) << " client height " << client.Height());
            ASSERT_EQ(p->GetTraceCount(), 2);
            std::vector<std::pair<int, CRect>> shown;
            for (int id : ids) {
                CWnd* c = p->GetDlgItem(id);
                ASSERT_NE(c, nullptr) << id;
                if (!c->IsWindowVisible())
                    continue;
                CRect r;
                c->GetWindowRect(&r);
                p->ScreenToClient(&r);
                shown.emplace_back(id, r);
            }
            EXPECT_EQ(shown.size(), ids.size());
            for (size_t i = 0; i < shown.size(); ++i) {
                if (client.Height() >= 330) {
                    CRect inside;
                    inside.IntersectRect(&shown[i].second, &client);
                    EXPECT_EQ(inside, shown[i].second) << "control " << shown[i].first << " leaves the window";
                }
                for (size_t j = i + 1; j < shown.size(); ++j) {
                    // Below that height the columns run past the bottom, over the toggles.
                    if (client.Height() < 330 && shown[j].first >= 1410)
                        continue;
                    CRect meet;
                    EXPECT_FALSE(meet.IntersectRect(&shown[i].second, &shown[j].second))
                        << "controls " << shown[i].first << " and " << shown[j].first << " overlap";
                }
            }
        }
    // Tall: the rows of trace B start 22 pixels into pane B, 16 apart.
    settings.ShowPowerMeter = 0;
    p->MoveWindow(0, 0, 700, 900);
    p->UpdateLayout();
    CRect first, second;
    p->GetDlgItem(1231)->GetWindowRect(&first);
    p->GetDlgItem(1232)->GetWindowRect(&second);
    p->ScreenToClient(&first);
    p->ScreenToClient(&second);
    EXPECT_EQ(first.top, p->GetPaneRectB().top + 22);
    EXPECT_EQ(second.top - first.top, 16);
    delete p;
}

// A run of live blocks drawn by the per-block road leaves the window exactly as a full repaint
// draws it: traces, peak hold, grid, meter, a labelled marker and a shown overlay, in every
// style, on narrowband and octave axes, in decibels and linear, with one pane and with two.
TEST_F(SpectrumOverlays, ARunOfBlocksDrawsWhatAFullRepaintDraws)
{
    settings.ShowPowerMeter = 1;
    settings.ShowOverlayControls = 1;
    markers.Enabled[0] = 1;
    markers.Freq[0] = 700.0f;
    markers.LabelType[0] = 3;
    for (int panes : {1, 2})
        for (WORD amp : {1, 0})
            for (WORD freq : {0, 2})
                for (WORD style : {0, 1, 2}) {
                    SCOPED_TRACE(testing::Message() << panes << " panes, amplitude scale " << amp << ", frequency scale "
                                                    << freq << ", style " << style);
                    scaling = Scaling(amp, freq);
                    scaling.OctaveNumber = 3;
                    ChannelScalingSettings coherenceScale = Scaling(0, freq);
                    coherenceScale.OctaveNumber = 3;
                    settings.PlotType = style;
                    settings.StartFreq = 0.0f;
                    settings.StopFreq = 2000.0f;
                    settings.PlotTop = amp == 1 ? 0.0f : 0.6f;
                    settings.PlotRange = 100.0;
                    auto a = std::make_unique<SpectralData>(&processing, &scaling, false);
                    auto b = std::make_unique<SpectralData>(&processing, &coherenceScale, false);
                    a->SetPeakDecay(4);
                    TSmoothing window(1024, TSmoothing::kHanning, 2);
                    unsigned seed = 3;
                    auto feed = [&](int k) {
                        FeedBlock(*a, window, {{128.0 + 37.0 * k, 0.5 - 0.07 * k}, {300.0, 0.05}}, 0.002, &seed);
                        a->Average(false);
                        a->UpdatePeakHold();
                        FeedBlock(*b, window, {{90.0 + 21.0 * k, 0.9 - 0.1 * k}}, 0.01, &seed);
                        b->Average(false);
                    };
                    feed(0);
                    settings.PeakHold = 0; // storing asks nothing then
                    TSpectraPlot* p = Open(a.get(), panes == 2 ? b.get() : nullptr);
                    p->HideWatermark(); // as during a run
                    Command(p, 1201);   // the first block, stored and shown as overlay 1
                    if (panes == 2)
                        Command(p, 1211);
                    settings.PeakHold = 4;
                    p->UpdateLayout();
                    p->Invalidate();
                    p->UpdateWindow();
                    AfxPumpMessages();
                    for (int k = 1; k <= 6; ++k) {
                        feed(k);
                        p->UpdateFrame(0.1f * k);
                        AfxPumpMessages(); // the power readout repaints its strip
                    }
                    CRect client;
                    p->GetClientRect(&client);
                    const CRect plot = p->GetPlotRect();
                    // From the titles above the panes to the bottom of the panes, right of the
                    // axis ticks (a full repaint draws them over the grid's first column).
                    const QRect area(plot.left + 1, plot.top - 20, client.right - plot.left - 1, plot.Height() + 20);
                    const QImage incremental = p->GetSurface()->Image().copy(area);
                    p->Invalidate();
                    p->UpdateWindow();
                    AfxPumpMessages();
                    const QImage full = p->GetSurface()->Image().copy(area);
                    int differ = 0;
                    for (int y = 0; y < full.height(); ++y)
                        for (int x = 0; x < full.width(); ++x)
                            if (incremental.pixel(x, y) != full.pixel(x, y) && ++differ < 4)
                                ADD_FAILURE() << "at " << area.left() + x << "," << area.top() + y << " " << std::hex
                                              << incremental.pixel(x, y) << " vs " << full.pixel(x, y) << std::dec;
                    EXPECT_EQ(differ, 0);
                    p->DestroyWindow();
                    AfxPumpMessages();
                    fs::remove(dir / "Ch_0_1.ovl");
                    fs::remove(dir / "Ch2_0_1.ovl");
                    settings.Overlays[0].Show1 = 0;
                    settings.Overlays[0].Show2 = 0;
                }
}

// A two-pane window too short for the two overlay columns one above the other (765 x 200, with
// a wrapped tool strip) puts them side by side: every overlay control of both traces inside the
// window, below the "Overlays" header, right of the panes and clear of the others; one pane
// too, and with the power meter.
TEST_F(SpectrumOverlays, OverlayControlsStayInsideAShortWindowBelowTheirHeader)
{
    settings.ShowOverlayControls = 1;
    auto a = Engine(128.0, 0.5);
    auto b = Engine(128.0, 0.5);
    for (const bool two : {true, false}) {
        TSpectraPlot* p = Open(a.get(), two ? b.get() : nullptr);
        for (BYTE meter : {0, 1})
            for (const CSize size : {CSize(765, 200), CSize(765, 240), CSize(900, 170), CSize(700, 300),
                                     CSize(1000, 150)}) {
                settings.ShowPowerMeter = meter;
                p->MoveWindow(0, 0, size.cx, size.cy);
                p->UpdateLayout();
                AfxPumpMessages();
                CRect client;
                p->GetClientRect(&client);
                SCOPED_TRACE(testing::Message() << (two ? "two panes" : "one pane") << ", meter " << int(meter)
                                                << ", " << size.cx << "x" << size.cy);
                std::vector<int> ids;
                for (int base : two ? std::vector<int>{1201, 1211, 1221, 1231} : std::vector<int>{1201, 1221})
                    for (int i = 0; i < 7; ++i)
                        ids.push_back(base + i);
                ids.push_back(1400);
                if (two)
                    ids.push_back(1401);
                std::vector<CRect> placed;
                for (int id : ids) {
                    CWnd* c = p->GetDlgItem(id);
                    ASSERT_NE(c, nullptr) << id;
                    EXPECT_TRUE(c->IsWindowVisible()) << id;
                    CRect r;
                    c->GetWindowRect(&r);
                    p->ScreenToClient(&r);
                    CRect inside;
                    inside.IntersectRect(&r, &client);
                    EXPECT_EQ(inside, r) << "control " << id << " leaves the window";
                    EXPECT_GE(r.top, p->GetPaneRectA().top) << "control " << id << " over the header";
                    EXPECT_GE(r.left, p->GetPlotRect().right) << "control " << id << " over the plot";
                    for (const CRect& other : placed) {
                        CRect meet;
                        EXPECT_FALSE(meet.IntersectRect(&r, &other)) << "control " << id << " covers another";
                    }
                    placed.push_back(r);
                }
            }
        p->DestroyWindow();
    }
}

// A one-trace window at small sizes keeps its seven overlay rows in one column under the
// "Overlays" header, every control inside the window and clear of the others, the "Options..."
// button with them, and leaves the plot its usable width (120 pixels and more). The same in a process at
// twice the scale (below).
TEST_F(SpectrumOverlays, AShortOneTraceWindowKeepsOneOverlayColumn)
{
    settings.ShowOverlayControls = 1;
    auto a = Engine(128.0, 0.5);
    TSpectraPlot* p = Open(a.get());
    for (BYTE meter : {1, 0})
        for (const CSize size : {CSize(365, 255), CSize(365, 240), CSize(420, 230), CSize(380, 262), CSize(500, 255),
                                 CSize(600, 300)}) {
            settings.ShowPowerMeter = meter;
            p->MoveWindow(0, 0, size.cx, size.cy);
            p->UpdateLayout();
            AfxPumpMessages();
            CRect client;
            p->GetClientRect(&client);
            const CRect plot = p->GetPlotRect();
            SCOPED_TRACE(testing::Message() << "meter " << int(meter) << ", " << size.cx << "x" << size.cy << ", plot "
                                            << plot.left << "-" << plot.right << " x " << plot.top << "-" << plot.bottom);
            std::vector<CRect> placed;
            for (int id : {1201, 1202, 1203, 1204, 1205, 1206, 1207, 1221, 1222, 1223, 1224, 1225, 1226, 1227, 1400}) {
                CWnd* c = p->GetDlgItem(id);
                ASSERT_NE(c, nullptr) << id;
                EXPECT_TRUE(c->IsWindowVisible()) << id;
                CRect r;
                c->GetWindowRect(&r);
                p->ScreenToClient(&r);
                CRect inside;
                inside.IntersectRect(&r, &client);
                EXPECT_EQ(inside, r) << "control " << id << " leaves the window";
                EXPECT_GE(r.top, plot.top) << "control " << id << " over the header";
                EXPECT_GE(r.left, plot.right) << "control " << id << " over the plot";
                // The boxes keep their own 14 pixels down to the reported size; shorter, they close up.
                EXPECT_GE(std::min(r.Width(), r.Height()), size.cy >= 255 ? 14 : 10) << "control " << id << " too small";
                for (const CRect& other : placed) {
                    CRect meet;
                    EXPECT_FALSE(meet.IntersectRect(&r, &other)) << "control " << id << " covers another";
                }
                placed.push_back(r);
            }
            // One column: the store buttons one under the other, likewise the show boxes.
            for (int i = 1; i < 7; ++i) {
                EXPECT_EQ(placed[i].left, placed[0].left) << "store " << i + 1;
                EXPECT_GT(placed[i].top, placed[i - 1].top) << "store " << i + 1;
                EXPECT_EQ(placed[7 + i].left, placed[7].left) << "show " << i + 1;
            }
            // The header is drawn above the column, within the window.
            const CRect header(placed[0].left - 8, plot.top - 20, client.right, plot.top);
            EXPECT_GT(InkIn(p, header), 20) << "no \"Overlays\" header";
            EXPECT_GE(plot.Width(), 120) << "the plot squeezed";
        }
    p->DestroyWindow();
}

TEST(SpectrumOverlaysScaled, AShortOneTraceWindowAtTwiceTheScale)
{
    if (std::getenv("QT_SCALE_FACTOR") != nullptr)
        GTEST_SKIP() << "already scaled";
    const std::string cmd = "QT_SCALE_FACTOR=2 /proc/" + std::to_string(getpid()) +
                            "/exe --gtest_filter='SpectrumOverlays.AShortOneTraceWindowKeepsOneOverlayColumn:"
                            "SpectrumOverlays.OverlayControlsStayInsideAShortWindowBelowTheirHeader' --gtest_brief=1 "
                            "> /dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "run " << cmd << " to see what is out of place";
}
