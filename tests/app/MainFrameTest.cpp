// The application starts its main frame, closes it, and the next start restores the same
// windows, mode and settings.
#include "FrameFixture.h"

#include "app/settings/ConfigurationFile.h"
#include "platform/core/MessageBox.h"
#include "platform/core/Profile.h"
#include "platform/ui/Menu.h"
#include "plots/TPlotBase.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "res/resource.h"
#include "siggen/CSigGen.h"
#include "utilities/CAnalysisView.h"
#include "utilities/TTHDFreq.h"

#include "support/QtTestAccess.h"

using namespace frametest;

using MainFrameTest = FrameFixture;

TEST_F(MainFrameTest, StartsWithItsMenusAndClosesWritingProfileAndStartupConfiguration)
{
    ASSERT_NE(Start(), nullptr);
    EXPECT_EQ(AfxGetMainWnd(), frame);
    EXPECT_TRUE(frame->IsWindowVisible());
    EXPECT_EQ(frame->GetWindowTextString(), "QLM436 - Quenrith Analyzer");
    EXPECT_EQ(GetMessageBoxDefaultCaption(), "KDR-5200");
    EXPECT_EQ(ChildCount(), 0);
    EXPECT_NE(frame->Toolbar, nullptr);
    EXPECT_NE(frame->Toolbar2, nullptr);
    EXPECT_NE(frame->StatusBar, nullptr);

    // Edit and Utilities are reached by keys and tool windows only; File has no Delete.
    CMenu* menu = frame->GetMenu();
    ASSERT_NE(menu, nullptr);
    std::vector<std::string> bar;
    for (UINT i = 0; i < menu->GetMenuItemCount(); ++i)
        bar.push_back(menu->GetMenuString(i, MF_BYPOSITION));
    EXPECT_EQ(bar, (std::vector<std::string>{"&File", "&Mode", "&Options", "&Plots", "&Config", "&Window", "&Help"}));
    EXPECT_EQ(QtMainWindowOf(frame)->menuBar()->actions().size(), int(menu->GetMenuItemCount()));
    CMenu* file = menu->GetSubMenu(0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetMenuState(ID_FILE_DELETE, MF_BYCOMMAND), 0xFFFFFFFFu);
    EXPECT_NE(file->GetMenuState(ID_FILE_SET_PATHS, MF_BYCOMMAND), 0xFFFFFFFFu);
    EXPECT_EQ(file->GetMenuItemCount(), 15u);
    // Real Time is the checked mode.
    EXPECT_TRUE(menu->GetMenuState(ID_MODE_REALTIME, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(menu->GetMenuState(ID_MODE_POSTPROCESS, MF_BYCOMMAND) & MF_CHECKED);

    // On a real display, DURNEX_SCREENSHOT names a PNG file for a picture of the whole screen.
    if (const char* shot = std::getenv("DURNEX_SCREENSHOT")) {
        frame->OpenSpectrumPlot(0);
        frame->OpenTimeSeriesPlot(1);
        AfxPumpMessages(500);
        QScreen* screen = QGuiApplication::primaryScreen();
        ASSERT_NE(screen, nullptr);
        EXPECT_TRUE(screen->grabWindow(0).save(QString::fromLocal8Bit(shot)));
    }

    // File/Exit closes the frame; its destructor writes the profile and the configuration.
    const HWND h = frame->GetSafeHwnd();
    frame->ExecuteCommand(ID_APP_EXIT);
    AfxPumpMessages(20);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(app->m_pMainWnd, nullptr);
    frame = nullptr;
    EXPECT_TRUE(std::filesystem::exists(Data("Durnex.ini")));
    EXPECT_TRUE(std::filesystem::exists(Data("Durnex.cfg")));
    char wave[260] = {};
    GetPrivateProfileStringA("Paths", "Wav", "", wave, sizeof wave, Data("Durnex.ini").c_str());
    EXPECT_EQ(std::string(wave), Data("wave"));
}

TEST_F(MainFrameTest, TheNextStartRestoresTheSameWindowsModeAndSettings)
{
    ASSERT_NE(Start(), nullptr);
    frame->SetModePostProcess(false);
    frame->Settings.Processing[3].FFTsize = 2048;
    frame->Settings.MasterDisplayGain = 4;
    frame->OpenTimeSeriesPlot(0);
    frame->OpenSpectrumPlot(2);
    frame->OpenCompositeSurfacePlot(5);
    frame->ExecuteCommand(ID_UTIL_PEAK_FREQ);
    frame->ExecuteCommand(ID_UTIL_SIGNAL_GENERATOR);
    ASSERT_NE(frame->PeakFreqView, nullptr);
    ASSERT_NE(frame->SigGen, nullptr);
    ASSERT_NE(frame->SpectrumPlot[2], nullptr);
    frame->SpectrumPlot[2]->MoveWindow(40, 30, 320, 210);
    AfxPumpMessages(20);
    WINDOWPLACEMENT before{};
    ASSERT_TRUE(frame->SpectrumPlot[2]->GetWindowPlacement(&before));
    frame->MoveWindow(10, 20, 700, 520);
    AfxPumpMessages(20);
    WINDOWPLACEMENT frameBefore{};
    frame->GetWindowPlacement(&frameBefore);
    ASSERT_TRUE(Close());

    ASSERT_NE(Start(), nullptr);
    EXPECT_EQ(frame->Settings.OpMode, 2);
    EXPECT_TRUE(frame->GetMenu()->GetMenuState(ID_MODE_POSTPROCESS, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(frame->Settings.Processing[3].FFTsize, 2048u);
    EXPECT_EQ(frame->Settings.MasterDisplayGain, 4);
    EXPECT_NE(frame->TimeSeriesPlot[0], nullptr);
    ASSERT_NE(frame->SpectrumPlot[2], nullptr);
    EXPECT_NE(frame->CompositeSurfacePlot[5], nullptr);
    EXPECT_EQ(ChildCount(), 3);
    EXPECT_NE(frame->PeakFreqView, nullptr);
    EXPECT_NE(frame->SigGen, nullptr);
    EXPECT_EQ(frame->THDView, nullptr);
    WINDOWPLACEMENT after{};
    ASSERT_TRUE(frame->SpectrumPlot[2]->GetWindowPlacement(&after));
    EXPECT_EQ(after.rcNormalPosition.left, before.rcNormalPosition.left);
    EXPECT_EQ(after.rcNormalPosition.top, before.rcNormalPosition.top);
    EXPECT_EQ(after.rcNormalPosition.right, before.rcNormalPosition.right);
    EXPECT_EQ(after.rcNormalPosition.bottom, before.rcNormalPosition.bottom);
    WINDOWPLACEMENT frameAfter{};
    frame->GetWindowPlacement(&frameAfter);
    EXPECT_EQ(frameAfter.rcNormalPosition.right - frameAfter.rcNormalPosition.left,
              frameBefore.rcNormalPosition.right - frameBefore.rcNormalPosition.left);
    EXPECT_EQ(frameAfter.rcNormalPosition.bottom - frameAfter.rcNormalPosition.top,
              frameBefore.rcNormalPosition.bottom - frameBefore.rcNormalPosition.top);
    EXPECT_EQ(frame->GetWindowTextString(), "QLM436 - Quenrith Analyzer - [Untitled]");
}

TEST_F(MainFrameTest, AtEveryStartTheSecondToolWindowAndStatusBarAreHiddenAndChannelsZeroToSixActive)
{
    FrameSettings stored;
    stored.Main = 0;
    stored.Buttons = 1;
    stored.Statusbar = 1;
    ASSERT_TRUE(WriteConfigurationFile(stored, Data("Durnex.cfg").c_str()));
    ASSERT_NE(Start(), nullptr);
    EXPECT_EQ(frame->Settings.Main, 0);
    EXPECT_EQ(frame->Settings.Buttons, 0);
    EXPECT_EQ(frame->Settings.Statusbar, 0);
    for (int ch = 0; ch < 7; ++ch)
        EXPECT_EQ(frame->Settings.Files[ch].IsActive, 1) << ch;
    EXPECT_EQ(frame->Settings.Files[7].IsActive, 0);
    EXPECT_STREQ(frame->Settings.Calibration[3].ChannelName, "Heart");
}

TEST_F(MainFrameTest, ACommandLineConfigurationIsLoadedInsteadOfTheRecordedWindows)
{
    // The start-up configuration records a phase plot; the named one a spectrogram.
    FrameSettings startup;
    startup.Placements[WindowPlacementIndex(3, 1, false)].IsOpen = 1;
    ASSERT_TRUE(WriteConfigurationFile(startup, Data("Durnex.cfg").c_str()));
    FrameSettings named;
    named.Placements[WindowPlacementIndex(4, 6, false)].IsOpen = 1;
    std::filesystem::create_directories(Data(".setups"));
    ASSERT_TRUE(WriteConfigurationFile(named, Data(".setups/Bench.CFG").c_str()));

    ASSERT_NE(Start({Data(".setups/Bench.CFG")}), nullptr);
    ASSERT_NE(frame->SpectrogramPlot[6], nullptr);
    // Without a stored placement it takes three quarters of the shown frame's client area.
    CRect client;
    frame->GetClientRect(&client);
    WINDOWPLACEMENT wp{};
    frame->SpectrogramPlot[6]->GetWindowPlacement(&wp);
    EXPECT_EQ(wp.rcNormalPosition.right - wp.rcNormalPosition.left, client.Width() * 3 / 4);
    EXPECT_GT(client.Width(), 300);
    EXPECT_EQ(frame->PhasePlot[1], nullptr);
    EXPECT_EQ(ChildCount(), 1);
    ASSERT_TRUE(Close());

    // Without one the recorded windows come back (those of the last close).
    ASSERT_NE(Start({"a.b.cfg"}), nullptr);
    EXPECT_NE(frame->SpectrogramPlot[6], nullptr);
    EXPECT_EQ(frame->PhasePlot[1], nullptr);
}

TEST_F(MainFrameTest, OnlyTheFirstResizeOfTheProcessRestoresWindows)
{
    FrameSettings startup;
    startup.Placements[WindowPlacementIndex(2, 0, false)].IsOpen = 1;
    ASSERT_TRUE(WriteConfigurationFile(startup, Data("Durnex.cfg").c_str()));
    ASSERT_NE(Start(), nullptr);
    ASSERT_NE(frame->SpectrumPlot[0], nullptr);
    frame->CloseSpectrumPlot(0);
    frame->MoveWindow(0, 0, 700, 500);
    frame->SendMessage(WM_SIZE, 0, MAKELPARAM(700, 500));
    AfxPumpMessages(20);
    EXPECT_EQ(frame->SpectrumPlot[0], nullptr);
    EXPECT_EQ(ChildCount(), 0);
}

namespace {
// A THD+N-versus-frequency window holding results the user does not want to lose yet.
class UnsavedTHDFreq : public TTHDFreq {
public:
    bool QuerySave() override { return mayClose; }
    bool mayClose = false;
};
} // namespace

TEST_F(MainFrameTest, AWindowWithUnsavedResultsKeepsTheFrameOpen)
{
    ASSERT_NE(Start(), nullptr);
    frame->OpenSpectrumPlot(0);
    frame->ExecuteCommand(ID_UTIL_THD);
    frame->ExecuteCommand(ID_UTIL_SIGNAL_GENERATOR);
    ASSERT_NE(frame->THDView, nullptr);
    auto* results = new UnsavedTHDFreq;
    RECT r{10, 10, 400, 300};
    ASSERT_TRUE(results->Create(WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, r, frame));
    frame->THDFreqWnd = results;

    EXPECT_FALSE(Close());
    // The generator and the utilities up to Leq are closed and recorded open; plots stay.
    EXPECT_EQ(frame->SigGen, nullptr);
    EXPECT_EQ(frame->THDView, nullptr);
    EXPECT_TRUE(frame->IsWindowMarkedOpen(6, 0, false));
    EXPECT_TRUE(frame->IsWindowMarkedOpen(10, 0, false));
    EXPECT_NE(frame->SpectrumPlot[0], nullptr);
    EXPECT_EQ(frame->THDFreqWnd, results);

    results->mayClose = true;
    EXPECT_TRUE(Close());
}

// A configuration named on the command line that can't be loaded is reported, and the
// windows of the last session come back (their layout would be lost at the next close
// otherwise); a path with blanks is taken as one file.
TEST_F(MainFrameTest, ABadCommandLineConfigurationIsReportedAndTheWindowsComeBack)
{
    FrameSettings startup;
    startup.Placements[WindowPlacementIndex(3, 1, false)].IsOpen = 1;
    ASSERT_TRUE(WriteConfigurationFile(startup, Data("Durnex.cfg").c_str()));
    user.ExpectBox(IDOK, "could not be opened");
    ASSERT_NE(Start({Data("no such/Bench.cfg")}), nullptr);
    EXPECT_NE(frame->PhasePlot[1], nullptr);
    ASSERT_TRUE(Close());

    FrameSettings named;
    named.Placements[WindowPlacementIndex(4, 6, false)].IsOpen = 1;
    std::filesystem::create_directories(Data("my setups"));
    ASSERT_TRUE(WriteConfigurationFile(named, Data("my setups/Bench Two.cfg").c_str()));
    ASSERT_NE(Start({Data("my setups/Bench Two.cfg")}), nullptr);
    EXPECT_NE(frame->SpectrogramPlot[6], nullptr);
    EXPECT_EQ(frame->PhasePlot[1], nullptr);
}
