// Plot windows of every kind, per input and composite channel: opened into their slots with
// their titles, activated, highlighted, closed through the frame; the selection commands; the
// channels whose device channel is disabled.
#include "FrameFixture.h"

#include "app/settings/WindowPlacement.h"
#include "records/CommonRoutines.h"
#include "plots/TPlotBase.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "res/PlotSelectionDialogIds.h"
#include "res/resource.h"

#include "support/QtTestAccess.h"

using namespace frametest;
using namespace dlgtest;

namespace {
const char* const kKindTitles[] = {"", "Time Series", "Spectrum", "Phase", "Spectrogram", "3-D Surface"};
}

using MainFrameWindowsTest = FrameFixture;

TEST_F(MainFrameWindowsTest, EveryInputChannelPlotOpensActivatesAndClosesThroughTheFrame)
{
    ASSERT_NE(Start(), nullptr);
    for (int ch = 0; ch < CMainFrame::kChannels; ++ch)
        for (int kind = 1; kind <= 5; ++kind) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " channel " << ch);
            frame->OpenPlot(kind, ch, false);
            TPlotBase* plot = frame->GetPlot(kind, ch, false);
            ASSERT_NE(plot, nullptr);
            EXPECT_EQ(plot->GetWindowTextString(), std::string(kKindTitles[kind]) + " - " +
                                                        (ch < 7 ? GetChannelLocationName(ch) : "Channel 7")); // not "Time Series -   "
            // A second open is a no-op.
            frame->OpenPlot(kind, ch, false);
            EXPECT_EQ(frame->GetPlot(kind, ch, false), plot);
            EXPECT_EQ(ChildCount(), 1);

            frame->MDIActivate(plot);
            AfxPumpMessages();
            int k = 0, c = -1, comp = -1;
            ASSERT_TRUE(frame->GetActivePlot(&k, &c, &comp));
            EXPECT_EQ(k, kind);
            EXPECT_EQ(c, ch);
            EXPECT_EQ(comp, 0);

            frame->UnhighlightAllPlots();
            EXPECT_FALSE(plot->IsHighlighted());
            frame->HighlightAllPlots();
            EXPECT_TRUE(plot->IsHighlighted());

            // The plot's close box asks the frame, which records the placement and destroys it.
            plot->SendMessage(WM_CLOSE);
            AfxPumpMessages();
            EXPECT_EQ(frame->GetPlot(kind, ch, false), nullptr);
            EXPECT_EQ(ChildCount(), 0);
            const WindowPlacementRecord& rec = frame->Settings.Placements[WindowPlacementIndex(kind, ch, false)];
            EXPECT_EQ(rec.IsOpen, 1);
            EXPECT_NE(rec.PlacementText[0], '\0');
            k = 0;
            ASSERT_FALSE(frame->GetActivePlot(&k, &c, &comp));
        }
}

TEST_F(MainFrameWindowsTest, EveryCompositePlotOpensWithItsLetterAndClosesThroughTheFrame)
{
    ASSERT_NE(Start(), nullptr);
    for (int c = 0; c < CMainFrame::kComposites; ++c)
        for (int kind = 2; kind <= 5; ++kind) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " composite " << c);
            frame->OpenPlot(kind, c, true);
            TPlotBase* plot = frame->GetPlot(kind, c, true);
            ASSERT_NE(plot, nullptr);
            EXPECT_EQ(plot->GetWindowTextString(), std::string("Composite ") + kKindTitles[kind] + " Channel " +
                                                        char('A' + c));
            frame->MDIActivate(plot);
            AfxPumpMessages();
            int k = 0, ch = -1, comp = -1;
            ASSERT_TRUE(frame->GetActivePlot(&k, &ch, &comp));
            EXPECT_EQ(k, kind);
            EXPECT_EQ(ch, c);
            EXPECT_EQ(comp, 1);
            frame->SendMessage(WM_PLOT_CLOSING, 0, reinterpret_cast<LPARAM>(plot));
            AfxPumpMessages();
            EXPECT_EQ(frame->GetPlot(kind, c, true), nullptr);
            EXPECT_EQ(ChildCount(), 0);
        }
    // Messages without a window, or from a window in no slot, change nothing.
    frame->OpenSpectrumPlot(1);
    EXPECT_EQ(frame->SendMessage(WM_PLOT_CLOSING, 0, 0), 1);
    EXPECT_EQ(frame->SendMessage(WM_PLOT_CLOSING, 0, reinterpret_cast<LPARAM>(frame)), 1);
    EXPECT_EQ(frame->SendMessage(WM_UTILITY_CLOSING, 0, reinterpret_cast<LPARAM>(frame)), 1);
    EXPECT_NE(frame->SpectrumPlot[1], nullptr);
}

TEST_F(MainFrameWindowsTest, PlotsFollowTheirChannelsEngineThroughEveryRebuild)
{
    ASSERT_NE(Start(), nullptr);
    frame->Settings.Device.Channels[6].bIsEnabled = 0;
    frame->SetupChannelProcessing(6);
    frame->OpenSpectrumPlot(0);
    frame->OpenSpectrumPlot(6);
    frame->OpenCompositeSpectrumPlot(0);
    EXPECT_EQ(frame->SpectrumPlot[0]->GetTraceA(), frame->Spectral[0]);
    EXPECT_NE(frame->Spectral[0], nullptr);
    EXPECT_EQ(frame->SpectrumPlot[6]->GetTraceA(), nullptr);
    EXPECT_EQ(frame->CompositeSpectrumPlot[0]->GetTraceA(), frame->CompositeSpectral[0][2]);
    EXPECT_NE(frame->CompositeSpectral[0][2], nullptr);

    frame->Settings.Processing[0].FFTsize = 512;
    frame->SetupChannelProcessing(0);
    ASSERT_NE(frame->Spectral[0], nullptr);
    EXPECT_EQ(frame->SpectrumPlot[0]->GetTraceA(), frame->Spectral[0]);
    frame->ReconfigureProcessing();
    EXPECT_NE(frame->CompositeSpectral[0][2], nullptr);
    EXPECT_EQ(frame->CompositeSpectrumPlot[0]->GetTraceA(), frame->CompositeSpectral[0][2]);

    // Post Process mode builds every channel, enabled on the device or not.
    frame->SetModePostProcess(false);
    frame->SetupAllChannels();
    ASSERT_NE(frame->Spectral[6], nullptr);
    EXPECT_EQ(frame->SpectrumPlot[6]->GetTraceA(), frame->Spectral[6]);
}

TEST_F(MainFrameWindowsTest, CloseAllPlotsClosesEveryKindAndRecordsThem)
{
    ASSERT_NE(Start(), nullptr);
    frame->OpenTimeSeriesPlot(3);
    frame->OpenPhasePlot(7);
    frame->OpenCompositeSpectrumPlot(15);
    frame->OpenCompositeSpectrogramPlot(0);
    EXPECT_EQ(ChildCount(), 4);
    // A change of system colours reaches every open plot and the tool windows.
    frame->SendMessage(WM_SYSCOLORCHANGE);
    frame->ExecuteCommand(ID_CLOSE_ALL_PLOTS);
    AfxPumpMessages();
    EXPECT_EQ(ChildCount(), 0);
    EXPECT_TRUE(frame->IsWindowMarkedOpen(1, 3, false));
    EXPECT_TRUE(frame->IsWindowMarkedOpen(2, 15, true));
    // The next full recording pass finds them closed.
    frame->RecordAllWindowPlacements();
    EXPECT_FALSE(frame->IsWindowMarkedOpen(1, 3, false));
    EXPECT_FALSE(frame->IsWindowMarkedOpen(2, 15, true));
}

TEST_F(MainFrameWindowsTest, SelectSingleChannelPlotsOpensTickedAndClosesUntickedPlots)
{
    ASSERT_NE(Start(), nullptr);
    frame->OpenPhasePlot(0);
    CDialog::ScriptModal([](CWnd& d) {
        Click(d, kSingleViewPhaseIds[0]);      // untick channel 0's phase plot
        Click(d, kSingleViewSpectrumIds[2]);   // tick channel 2's spectrum
        Click(d, kSingleViewSpectrogramIds[4]); // and channel 4's spectrogram
        Click(d, IDOK);
    });
    frame->ExecuteCommand(ID_SELECT_SINGLE_PLOTS);
    AfxPumpMessages();
    EXPECT_EQ(frame->PhasePlot[0], nullptr);
    EXPECT_NE(frame->SpectrumPlot[2], nullptr);
    EXPECT_NE(frame->SpectrogramPlot[4], nullptr);
    EXPECT_EQ(ChildCount(), 2);

    // Cancel changes nothing.
    CDialog::ScriptModal([](CWnd& d) {
        Click(d, kSingleViewSpectrumIds[2]);
        Click(d, IDCANCEL);
    });
    frame->ExecuteCommand(ID_SELECT_SINGLE_PLOTS);
    AfxPumpMessages();
    EXPECT_NE(frame->SpectrumPlot[2], nullptr);
    EXPECT_EQ(ChildCount(), 2);
}

TEST_F(MainFrameWindowsTest, ACompositePlotOfADisabledCompositeStaysClosed)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(frame->Settings.Composite[0].bIsEnabled, 1);
    ASSERT_EQ(frame->Settings.Composite[1].bIsEnabled, 0);
    CDialog::ScriptModal([](CWnd& d) {
        Click(d, kCompositePlotFirstId + 4 * 0 + 0); // A: spectrum
        Click(d, kCompositePlotFirstId + 4 * 1 + 2); // B (disabled): spectrogram
        Click(d, IDOK);
    });
    frame->ExecuteCommand(ID_SELECT_COMPOSITE_PLOTS);
    AfxPumpMessages();
    EXPECT_NE(frame->CompositeSpectrumPlot[0], nullptr);
    EXPECT_EQ(frame->CompositeSpectrogramPlot[1], nullptr);
    EXPECT_EQ(ChildCount(), 1);
}

TEST_F(MainFrameWindowsTest, DisablingAnInputChannelClosesItsPlotsAndTheCompositesUsingIt)
{
    ASSERT_NE(Start(), nullptr);
    CompositeChannelSettings& c = frame->Settings.Composite[2]; // "C": transfer function 0 -> 2
    c.bIsEnabled = 1;
    c.CompositeType = 1;
    c.ReferenceChannel = 2;
    c.TransferChannel = 0;
    CompositeChannelSettings& d = frame->Settings.Composite[3]; // "D": sum of 1 and 0
    d.bIsEnabled = 1;
    d.CompositeType = 0;
    d.IncludeInAverage[1] = 1;
    d.IncludeInAverage[0] = 1;
    frame->OpenSpectrumPlot(2);
    frame->OpenCompositePhasePlot(2);
    frame->OpenCompositePhasePlot(3);

    // Post Process mode keeps them all.
    frame->SetModePostProcess(false);
    frame->Settings.Device.Channels[2].bIsEnabled = 0;
    frame->CloseDisabledChannelPlots();
    frame->DisableCompositesOfDisabledChannels();
    EXPECT_NE(frame->SpectrumPlot[2], nullptr);
    EXPECT_EQ(frame->Settings.Composite[2].bIsEnabled, 1);

    frame->OnModeRealTime();
    EXPECT_EQ(frame->Settings.OpMode, 0);
    EXPECT_EQ(frame->SpectrumPlot[2], nullptr);
    EXPECT_EQ(frame->Settings.Composite[2].bIsEnabled, 0);
    EXPECT_EQ(frame->CompositePhasePlot[2], nullptr);
    EXPECT_EQ(frame->Settings.Composite[3].bIsEnabled, 1);
    EXPECT_NE(frame->CompositePhasePlot[3], nullptr);
    // A disabled device channel has no objects in Real Time mode.
    EXPECT_EQ(frame->Spectral[2], nullptr);
    EXPECT_EQ(frame->SampleBuffer[2], nullptr);
    EXPECT_EQ(frame->Smoothing[2], nullptr);
}

TEST_F(MainFrameWindowsTest, PlacementRecordsFollowTheWindowsAndChannelsAreClamped)
{
    ASSERT_NE(Start(), nullptr);
    frame->OpenCompositeSpectrumPlot(12);
    frame->CompositeSpectrumPlot[12]->MoveWindow(11, 12, 300, 200);
    AfxPumpMessages();
    frame->RecordWindowPlacement(2, 12, true);
    const WindowPlacementRecord& rec = frame->Settings.Placements[53];
    EXPECT_STREQ(rec.WindowName, "CompositeSpectrumPlot_12");
    EXPECT_EQ(rec.IsOpen, 1);
    EXPECT_NE(std::string(rec.PlacementText).find("{11,12,311,212}"), std::string::npos) << rec.PlacementText;
    // Channel 20 is composite 15's record, channel -3 input channel 0's.
    frame->RecordWindowPlacement(2, 20, true);
    EXPECT_EQ(frame->Settings.Placements[56].IsOpen, 0);
    frame->OpenTimeSeriesPlot(0);
    frame->RecordWindowPlacement(1, -3, false);
    EXPECT_EQ(frame->Settings.Placements[1].IsOpen, 1);
    // The frame is always recorded open.
    frame->RecordWindowPlacement(0, 0, false);
    EXPECT_EQ(frame->Settings.Placements[0].IsOpen, 1);
    // A new plot with a stored placement is created there.
    frame->CloseCompositeSpectrumPlot(12);
    frame->OpenCompositeSpectrumPlot(12);
    WINDOWPLACEMENT wp{};
    frame->CompositeSpectrumPlot[12]->GetWindowPlacement(&wp);
    EXPECT_EQ(wp.rcNormalPosition.left, 11);
    EXPECT_EQ(wp.rcNormalPosition.top, 12);
}

TEST_F(MainFrameWindowsTest, NewPlotWindowsCascadeWhollyInsideTheMdiArea)
{
    ASSERT_NE(Start(), nullptr);
    // The frame's client holds the tool windows and the status bar too: cascading by its size
    // put the later windows' bottoms, with their time axes, below the MDI area.
    frame->MoveWindow(0, 0, 1000, 700);
    AfxPumpMessages();
    ResetCascadeOffsets();
    QMdiArea* area = QtMdiAreaOf(frame);
    const QRect visible(QPoint(0, 0), area->viewport()->size());
    CRect client;
    frame->GetClientRect(&client);
    ASSERT_LT(visible.height(), client.Height());
    int opened = 0;
    for (int ch = 0; ch < CMainFrame::kChannels; ++ch)
        for (int kind = 1; kind <= 3; ++kind) {
            frame->OpenPlot(kind, ch, false);
            ++opened;
        }
    const auto windows = area->subWindowList(QMdiArea::CreationOrder);
    ASSERT_EQ(int(windows.size()), opened);
    int lowest = 0;
    for (QMdiSubWindow* w : windows) {
        EXPECT_TRUE(visible.contains(w->geometry())) << w->windowTitle().toStdString() << " at "
            << w->geometry().x() << "," << w->geometry().y() << " " << w->geometry().width() << "x"
            << w->geometry().height() << " in " << visible.width() << "x" << visible.height();
        lowest = std::max(lowest, w->geometry().bottom());
    }
    // They are still cascaded down to near the area's bottom, not stacked at the top.
    EXPECT_GT(lowest, visible.height() - 30);
}

// Placements stored on a larger screen, or damaged, are fitted as Windows' SetWindowPlacement
// keeps windows visible: the frame, the generator and the utilities to the screen, the plots
// and the two test windows to the MDI area. Read back from the windows themselves.
TEST_F(MainFrameWindowsTest, EveryRestoredWindowIsFittedToWhereItLives)
{
    ASSERT_NE(Start(), nullptr);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    auto store = [this](int kind, int channel, bool composite, const char* text) {
        WindowPlacementRecord& r = frame->Settings.Placements[WindowPlacementIndex(kind, channel, composite)];
        r.IsOpen = 1;
        std::snprintf(r.PlacementText, sizeof r.PlacementText, "%s", text);
    };
    auto placed = [](CWnd* w) {
        WINDOWPLACEMENT wp{};
        EXPECT_TRUE(w->GetWindowPlacement(&wp));
        return wp.rcNormalPosition;
    };
    // On the area, or at its top left where the window's least size is larger than the area.
    auto within = [](const RECT& r, int w, int h) {
        return r.left >= 0 && r.top >= 0 && (r.right <= w || r.left == 0) && (r.bottom <= h || r.top == 0) &&
               r.right > r.left && r.bottom > r.top;
    };
    struct Case {
        int kind;
        const char* text;
    };
    const Case cases[] = {
        {0, "0, 1, {-1,-1}, {-1,-1}, {0,0,1920,1080}"},           // a larger screen's full window
        {0, "0, 1, {-1,-1}, {-1,-1}, {0,0,60000,40000}"},         // damaged: gigabytes of surface
        {0, "0, 1, {-1,-1}, {-1,-1}, {700,500,2700,2500}"},       // past the right and bottom
        {2, "0, 1, {-1,-1}, {-1,-1}, {300,200,4000,3000}"},       // a plot larger than the MDI area
        {7, "0, 1, {-1,-1}, {-1,-1}, {5000,5000,5400,5300}"},     // a utility beyond the screen
        {9, "0, 1, {-1,-1}, {-1,-1}, {2147483000,10,2147483600,400}"},
        {17, "0, 1, {-1,-1}, {-1,-1}, {400,300,5000,4000}"},      // the RT-60 window, an MDI child
    };
    for (const Case& c : cases) {
        store(c.kind, 0, false, c.text);
        CWnd* window = nullptr;
        if (c.kind == 0) {
            frame->RestoreWindowPlacement(0, 0, false);
            window = frame;
        } else if (c.kind <= 5) {
            frame->OpenPlot(c.kind, 0, false);
            frame->RestoreWindowPlacement(c.kind, 0, false);
            window = frame->GetPlot(c.kind, 0, false);
        } else {
            ASSERT_TRUE(frame->ToggleUtilityWindow(c.kind));
            window = frame->GetUtilityWindow(c.kind);
        }
        ASSERT_NE(window, nullptr) << c.text;
        AfxPumpMessages(20);
        const RECT r = placed(window);
        if (IsMdiWindowKind(c.kind)) {
            CRect area;
            frame->GetMDIClient()->GetClientRect(&area);
            EXPECT_TRUE(within(r, area.Width(), area.Height()))
                << c.text << " -> " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        } else {
            EXPECT_TRUE(within(r, width, height))
                << c.text << " -> " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        }
        if (c.kind >= 6)
            frame->ToggleUtilityWindow(c.kind);
    }
}

// Without a stored placement the generator and the utilities open at their fixed places
// counted from the MDI area's top left, so they cover neither the menu nor the Run and Stop
// buttons wherever the frame stands.
TEST_F(MainFrameWindowsTest, UtilitiesOpenRelativeToTheFramesClientArea)
{
    ASSERT_NE(Start(), nullptr);
    frame->MoveWindow(60, 40, 700, 500);
    AfxPumpMessages(20);
    POINT origin{0, 0};
    frame->GetMDIClient()->ClientToScreen(&origin);
    ASSERT_GT(origin.y, 40) << "the menu and tool window lie above the MDI area";
    for (int kind : {7, 8, 6}) {
        WindowPlacementRecord& record = frame->Settings.Placements[WindowPlacementIndex(kind, 0, false)];
        record.IsOpen = 0;
        record.PlacementText[0] = '\0';
        if (kind == 6)
            frame->OnSignalGenerator();
        else
            ASSERT_TRUE(frame->ToggleUtilityWindow(kind));
        CWnd* window = frame->GetUtilityWindow(kind);
        ASSERT_NE(window, nullptr);
        AfxPumpMessages(20);
        CRect r;
        window->GetWindowRect(&r);
        const int fixed = kind == 7 ? 100 : kind == 8 ? 140 : 200;
        // Within a thick frame's border of the place.
        EXPECT_NEAR(r.left, origin.x + fixed, 4) << kind;
        EXPECT_NEAR(r.top, origin.y + fixed, 4) << kind;
        if (kind == 6)
            frame->OnSignalGenerator();
        else
            frame->ToggleUtilityWindow(kind);
    }
}
