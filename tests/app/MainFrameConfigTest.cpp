// Named configurations: save and load from the Config menu, from the tool window's message,
// the undo configuration, and files that can't be read.
#include "FrameFixture.h"

#include "app/CStatusbar.h"
#include "app/CToolbar.h"
#include "app/CToolbar2.h"
#include "app/settings/ConfigurationFile.h"
#include "plots/TPlotBase.h"
#include "res/resource.h"
#include "wave/TWaveFile.h"

using namespace frametest;

namespace {
RECT NormalRect(CWnd* w)
{
    WINDOWPLACEMENT wp{};
    w->GetWindowPlacement(&wp);
    return wp.rcNormalPosition;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
} // namespace

using MainFrameConfigTest = FrameFixture;

TEST_F(MainFrameConfigTest, SaveAndLoadBringBackTheSameWindowsAtTheSamePlacesAndSettings)
{
    ASSERT_NE(Start(), nullptr);
    frame->OpenSpectrumPlot(1);
    frame->OpenCompositePhasePlot(4);
    frame->SpectrumPlot[1]->MoveWindow(20, 25, 330, 220);
    frame->CompositePhasePlot[4]->MoveWindow(60, 70, 280, 190);
    AfxPumpMessages();
    const RECT spectrum = NormalRect(frame->SpectrumPlot[1]);
    const RECT phase = NormalRect(frame->CompositePhasePlot[4]);
    frame->Settings.Processing[1].AverageBlocks = 17;
    frame->SaveConfiguration(Data("config/Bench.cfg").c_str());
    ASSERT_TRUE(std::filesystem::exists(Data("config/Bench.cfg")));

    frame->OnCloseAllPlots();
    frame->OpenTimeSeriesPlot(5);
    frame->Settings.Processing[1].AverageBlocks = 3;
    frame->LoadConfiguration("Bench.cfg"); // a bare name is looked for in the configuration folder
    AfxPumpMessages();
    EXPECT_EQ(frame->TimeSeriesPlot[5], nullptr);
    ASSERT_NE(frame->SpectrumPlot[1], nullptr);
    ASSERT_NE(frame->CompositePhasePlot[4], nullptr);
    EXPECT_EQ(ChildCount(), 2);
    EXPECT_TRUE(SameRect(NormalRect(frame->SpectrumPlot[1]), spectrum));
    EXPECT_TRUE(SameRect(NormalRect(frame->CompositePhasePlot[4]), phase));
    EXPECT_EQ(frame->Settings.Processing[1].AverageBlocks, 17u);
    // The fixed channel names follow every load.
    EXPECT_STREQ(frame->Settings.Calibration[0].ChannelName, "Crown");
}

TEST_F(MainFrameConfigTest, TheUndoConfigurationHoldsTheStateBeforeTheLastLoad)
{
    ASSERT_NE(Start(), nullptr);
    FrameSettings other;
    other.Placements[WindowPlacementIndex(5, 2, false)].IsOpen = 1;
    other.Scaling[0].OctaveNumber = 6;
    ASSERT_TRUE(WriteConfigurationFile(other, Data("config/Other.cfg").c_str()));

    frame->OpenPhasePlot(3);
    const WORD octave = frame->Settings.Scaling[0].OctaveNumber;
    frame->LoadConfiguration(Data("config/Other.cfg").c_str());
    EXPECT_NE(frame->SurfacePlot[2], nullptr);
    EXPECT_EQ(frame->PhasePlot[3], nullptr);
    EXPECT_EQ(frame->Settings.Scaling[0].OctaveNumber, 6);
    const std::string undo = Data("config/-Undo.cfg");
    ASSERT_TRUE(std::filesystem::exists(undo));
    const std::string undoText = ReadFile(undo);

    // Loading the undo file restores the earlier state and does not overwrite it first.
    frame->LoadConfiguration("-Undo.cfg");
    EXPECT_NE(frame->PhasePlot[3], nullptr);
    EXPECT_EQ(frame->SurfacePlot[2], nullptr);
    EXPECT_EQ(frame->Settings.Scaling[0].OctaveNumber, octave);
    EXPECT_EQ(ReadFile(undo), undoText);
}

TEST_F(MainFrameConfigTest, AMissingOrUnreadableConfigurationIsReportedAndChangesNothing)
{
    ASSERT_NE(Start(), nullptr);
    frame->OpenSpectrogramPlot(1);
    frame->Settings.Processing[2].FFTsize = 4096;
    user.ExpectBox(IDOK, "could not be opened");
    frame->LoadConfiguration("Missing.cfg");
    EXPECT_NE(frame->SpectrogramPlot[1], nullptr);
    EXPECT_EQ(frame->Settings.Processing[2].FFTsize, 4096u);
    EXPECT_FALSE(std::filesystem::exists(Data("config/-Undo.cfg")));

    // A folder in place of a file.
    std::filesystem::create_directories(Data("config/Folder.cfg"));
    user.ExpectBox(IDOK, "could not be opened");
    frame->LoadConfiguration("Folder.cfg");
    EXPECT_NE(frame->SpectrogramPlot[1], nullptr);
    EXPECT_EQ(user.Pending(), 0u);
}

// A configuration holding a code this version has no entry for (here an averaging mode)
// loads with that setting at its default and says which; the file stays as it was.
TEST_F(MainFrameConfigTest, UnknownChoicesInALoadedConfigurationAreNamedAndTakeTheirDefaults)
{
    ASSERT_NE(Start(), nullptr);
    FrameSettings other;
    other.Processing[1].AverageBlocks = 17;
    other.Processing[1].AverageMode = 1;
    const std::string path = Data("config/Newer.cfg");
    ASSERT_TRUE(WriteConfigurationFile(other, path.c_str()));
    std::string text = ReadFile(path);
    const std::size_t at = text.find("AverageMode=1", text.find("[Settings_1]"));
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 13, "AverageMode=7");
    std::ofstream(path, std::ios::binary) << text;

    user.ExpectBox(IDOK, "[Settings_1] AverageMode=7 (now 0)");
    frame->LoadConfiguration(path.c_str());
    EXPECT_EQ(user.Pending(), 0u);
    EXPECT_EQ(frame->Settings.Processing[1].AverageMode, 0);
    EXPECT_EQ(frame->Settings.Processing[1].AverageBlocks, 17u);
    EXPECT_EQ(ReadFile(path), text);
}

// A hand-written configuration without calibration sections gives its channels the plain
// calibration and no message; a calibration file that is named but missing is named, once.
TEST_F(MainFrameConfigTest, OnlyCalibrationFilesAConfigurationNamesAreReportedMissing)
{
    ASSERT_NE(Start(), nullptr);
    const std::string path = Data("config/Shop.cfg");
    std::ofstream(path, std::ios::binary) << "[Settings_0]\r\nFFTsize=2048\r\n";
    frame->LoadConfiguration(path.c_str());
    EXPECT_TRUE(user.Unexpected().empty());
    EXPECT_EQ(frame->Settings.Processing[0].FFTsize, 2048u);
    EXPECT_STREQ(frame->Settings.Calibration[2].Filename, "Volts");
    EXPECT_EQ(+frame->Settings.Calibration[2].RefUnits, 0u);

    std::ofstream(path, std::ios::binary) << "[Calibration_2]\r\nFilename=Probe\r\nCalCreateMode=1\r\n";
    user.ExpectBox(IDOK, "Throat: " + Data("cal/Probe.cal"));
    frame->LoadConfiguration(path.c_str());
    EXPECT_EQ(user.Pending(), 0u);
    EXPECT_TRUE(user.Unexpected().empty());
    EXPECT_EQ(+frame->Settings.Calibration[2].CalCreateMode, 0);
}

// A calibration that names no file (one a wave file's chunk gave) loads back from the
// configuration saved with it, quietly and as it was saved; a calibration file that is refused
// is named with what is wrong with it.
TEST_F(MainFrameConfigTest, ACalibrationLoadsBackFromItsConfigurationOrIsNamedWithItsFault)
{
    ASSERT_NE(Start(), nullptr);
    const std::string path = Data("config/Rig.cfg");
    std::ofstream(Data("cal/Bad.cal"), std::ios::binary)
        << "[Calibration]\r\nRefLevel=nan\r\nCalCreateMode=1\r\nTransducerSensitivityVolts=0.1\r\n";
    struct Case {
        const char* filename; // the channel's calibration file, "" for none
        const char* told;     // what the load says about it, "" for nothing
    };
    for (const Case& c : {Case{"", ""},
                          Case{"Bad", "Throat: $cal/Bad.cal holds a value no calibration can use: RefLevel=nan"},
                          Case{"Probe", "Throat: $cal/Probe.cal could not be opened"}}) {
        SCOPED_TRACE(std::string("Filename '") + c.filename + "'");
        ChannelCalibration& cal = frame->Settings.Calibration[2];
        cal.CalCreateMode = 2;
        cal.RefLevel = 94.0f;
        cal.MeasuredInputVoltage = 0.25f;
        std::snprintf(cal.Filename, sizeof cal.Filename, "%s", c.filename);
        ASSERT_TRUE(frame->SaveConfiguration(path.c_str()));
        std::string told = c.told;
        if (const auto at = told.find("$cal"); at != std::string::npos)
            told.replace(at, 4, Data("cal"));
        if (!told.empty())
            user.ExpectBox(IDOK, told);
        frame->LoadConfiguration(path.c_str());
        EXPECT_EQ(user.Pending(), 0u);
        EXPECT_TRUE(user.Unexpected().empty());
        EXPECT_EQ(user.Shown().size(), told.empty() ? 0u : 1u);
        if (told.empty()) {
            EXPECT_EQ(+frame->Settings.Calibration[2].CalCreateMode, 2);
            EXPECT_FLOAT_EQ(frame->Settings.Calibration[2].RefLevel, 94.0f);
            EXPECT_FLOAT_EQ(frame->Settings.Calibration[2].MeasuredInputVoltage, 0.25f);
        } else {
            EXPECT_EQ(+frame->Settings.Calibration[2].CalCreateMode, 0) << "reset to Volts";
        }
        user.Clear();
    }
}

// Without its undo copy the loaded configuration would replace the working state for good:
// the load stops after saying so.
TEST_F(MainFrameConfigTest, ALoadWhoseUndoCopyCannotBeWrittenChangesNothing)
{
    ASSERT_NE(Start(), nullptr);
    FrameSettings other;
    other.Scaling[0].OctaveNumber = 6;
    ASSERT_TRUE(WriteConfigurationFile(other, Data("config/Other.cfg").c_str()));
    std::filesystem::create_directories(Data("config/-Undo.cfg")); // a folder where the copy goes
    frame->OpenPhasePlot(3);
    const WORD octave = frame->Settings.Scaling[0].OctaveNumber;
    ASSERT_NE(octave, 6);
    user.ExpectBox(IDOK, "-Undo.cfg\" could not be written.");
    frame->LoadConfiguration(Data("config/Other.cfg").c_str());
    EXPECT_NE(frame->PhasePlot[3], nullptr);
    EXPECT_EQ(frame->Settings.Scaling[0].OctaveNumber, octave);
}

// The loaded tool-window and status-bar flags are put in force: shown, laid out, marked in
// the menu, and the display gain box shows the loaded gain.
TEST_F(MainFrameConfigTest, ALoadShowsTheToolWindowsAndGainItRecords)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(frame->Settings.Statusbar, 0);
    FrameSettings other;
    other.Main = 1;
    other.Buttons = 1;
    other.Statusbar = 1;
    other.MasterDisplayGain = 7;
    ASSERT_TRUE(WriteConfigurationFile(other, Data("config/Tools.cfg").c_str()));
    frame->LoadConfiguration("Tools.cfg");
    EXPECT_TRUE(frame->Toolbar2->IsWindowVisible());
    EXPECT_TRUE(frame->StatusBar->IsWindowVisible());
    EXPECT_TRUE(frame->GetMenu()->GetMenuState(ID_VIEW_STATUSBAR, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(frame->Toolbar->GainBox()->GetWindowTextString(), "7");
    CRect status;
    frame->StatusBar->GetWindowRect(&status);
    EXPECT_EQ(status.Height(), CStatusbar::kHeight);
}

TEST_F(MainFrameConfigTest, TheConfigMenuCommandsUseTheFileDialogsAndRememberTheFolder)
{
    ASSERT_NE(Start(), nullptr);
    std::filesystem::create_directories(Data("elsewhere"));
    frame->OpenPhasePlot(6);
    user.ExpectFile(PromptKind::FileSave, Data("elsewhere/Saved.cfg"));
    frame->ExecuteCommand(ID_CONFIG_SAVE);
    AfxPumpMessages();
    ASSERT_TRUE(std::filesystem::exists(Data("elsewhere/Saved.cfg")));
    EXPECT_STREQ(frame->Settings.WorkingPaths.cfg, Data("elsewhere").c_str());
    const std::vector<Prompt> shown = user.Shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().text, "Save Configuration File");
    EXPECT_NE(shown.back().filter.find("Configuration Files (*.cfg)"), std::string::npos);

    frame->ClosePhasePlot(6);
    user.ExpectFile(PromptKind::FileOpen, Data("elsewhere/Saved.cfg"));
    frame->ExecuteCommand(ID_CONFIG_LOAD);
    AfxPumpMessages();
    EXPECT_NE(frame->PhasePlot[6], nullptr);
    EXPECT_EQ(user.Shown().back().text, "Open Configuration File");

    // Cancel does nothing.
    user.ExpectFile(PromptKind::FileOpen, "");
    frame->ExecuteCommand(ID_CONFIG_LOAD);
    EXPECT_NE(frame->PhasePlot[6], nullptr);
}

TEST_F(MainFrameConfigTest, TheLoadMessageTakesThePathItPointsTo)
{
    ASSERT_NE(Start(), nullptr);
    FrameSettings other;
    other.Placements[WindowPlacementIndex(2, 7, false)].IsOpen = 1;
    ASSERT_TRUE(WriteConfigurationFile(other, Data("config/Seven.cfg").c_str()));
    EXPECT_EQ(frame->SendMessage(WM_LOAD_CONFIGURATION, 0, 0), 0);
    static char path[300];
    std::snprintf(path, sizeof path, "%s", Data("config/Seven.cfg").c_str());
    frame->PostMessage(WM_LOAD_CONFIGURATION, 0, reinterpret_cast<LPARAM>(path));
    AfxPumpMessages(20);
    EXPECT_NE(frame->SpectrumPlot[7], nullptr);
}

TEST_F(MainFrameConfigTest, AMaximisedPlotComesBackMaximisedAtTheNextStart)
{
    ASSERT_NE(Start(), nullptr);
    frame->OpenTimeSeriesPlot(2);
    frame->MDIMaximize(frame->TimeSeriesPlot[2]);
    AfxPumpMessages();
    ASSERT_TRUE(frame->TimeSeriesPlot[2]->IsZoomed());
    ASSERT_TRUE(Close());
    ASSERT_NE(Start(), nullptr);
    ASSERT_NE(frame->TimeSeriesPlot[2], nullptr);
    EXPECT_TRUE(frame->TimeSeriesPlot[2]->IsZoomed());
}

TEST_F(MainFrameConfigTest, LoadingAConfigurationStopsARunningPostProcessFirst)
{
    ASSERT_NE(Start(), nullptr);
    frame->SetModePostProcess(false);
    ASSERT_TRUE(Python("import wave\n"
                       "w = wave.open('" + Data("wave/quiet.wav") + "', 'wb')\n"
                       "w.setnchannels(1); w.setsampwidth(2); w.setframerate(4000)\n"
                       "w.writeframes(bytes(2 * 40000)); w.close()\n"));
    auto* file = new TWaveFile(Data("wave/quiet.wav"), 0, false, Data("temp"));
    ASSERT_FALSE(file->IsError());
    frame->Settings.Files[0].File.reset(file);
    frame->Settings.Processing[0].SampleFormat = file->GetFormat();
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->PostProcessBusy);
    FrameSettings other;
    other.OpMode = 2;
    ASSERT_TRUE(WriteConfigurationFile(other, Data("config/Post.cfg").c_str()));
    frame->LoadConfiguration("Post.cfg");
    EXPECT_FALSE(frame->PostProcessBusy);
    EXPECT_EQ(frame->Settings.OpMode, 2);
}

TEST_F(MainFrameConfigTest, PlacementsOfNoSizeOpenTheirWindowsLargeEnoughToSee)
{
    ASSERT_NE(Start(), nullptr);
    std::ofstream(Data("config/Flat.cfg"))
        << "[PlotStatus]\nSpectrumPlot_0=1\nPhasePlot_1=1\nUtilityPeakFreq=1\n"
           "[PlotPlacement]\nSpectrumPlot_0=0, 1, {0,0}, {0,0}, {500,400,100,50}\n"
           "PhasePlot_1=0, 1, {0,0}, {0,0}, {40,40,40,40}\n"
           "UtilityPeakFreq=0, 1, {0,0}, {0,0}, {300,300,300,300}\n";
    ASSERT_TRUE(frame->LoadConfiguration(Data("config/Flat.cfg").c_str()));
    AfxPumpMessages();
    for (CWnd* w : {static_cast<CWnd*>(frame->SpectrumPlot[0]), static_cast<CWnd*>(frame->PhasePlot[1]),
                    frame->GetUtilityWindow(7)}) {
        ASSERT_NE(w, nullptr);
        CRect r;
        w->GetWindowRect(&r);
        EXPECT_GE(r.Width(), 136);
        EXPECT_GE(r.Height(), 39);
    }
}
