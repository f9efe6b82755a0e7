// The three modes, Run and Stop, and the per-channel set-up.
#include "FrameFixture.h"
#include "dialogs/COptionsMain.h"

#include "dsp/SpectralData.h"
#include "platform/ui/Menu.h"
#include "res/resource.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include "platform/ui/WinApp.h"

#include <cmath>

using namespace frametest;

namespace {
// A mono 16-bit wave of a sine at `hz`, written by Python's wave module.
bool WriteSine(const std::string& path, int rate, double hz, double seconds)
{
    return Python("import wave, struct, math\n"
                  "w = wave.open('" + path + "', 'wb')\n"
                  "w.setnchannels(1); w.setsampwidth(2); w.setframerate(" + std::to_string(rate) + ")\n"
                  "n = int(" + std::to_string(rate) + " * " + std::to_string(seconds) + ")\n"
                  "w.writeframes(b''.join(struct.pack('<h', int(12000 * math.sin(2 * math.pi * " +
                  std::to_string(hz) + " * i / " + std::to_string(rate) + "))) for i in range(n)))\n"
                  "w.close()\n");
}

bool Checked(CMainFrame* f, UINT id) { return (f->GetMenu()->GetMenuState(id, MF_BYCOMMAND) & MF_CHECKED) != 0; }
} // namespace

using MainFrameModesTest = FrameFixture;

TEST_F(MainFrameModesTest, ModeCommandsCheckTheirMenuItemAndSetTheTitle)
{
    ASSERT_NE(Start(), nullptr);
    frame->ExecuteCommand(ID_MODE_RECORDER);
    EXPECT_EQ(frame->Settings.OpMode, 1);
    EXPECT_TRUE(Checked(frame, ID_MODE_RECORDER));
    EXPECT_FALSE(Checked(frame, ID_MODE_REALTIME));
    EXPECT_EQ(frame->GetWindowTextString(), "QLM436 - Quenrith Analyzer - [Untitled]");
    frame->ExecuteCommand(ID_MODE_POSTPROCESS);
    EXPECT_EQ(frame->Settings.OpMode, 2);
    EXPECT_TRUE(Checked(frame, ID_MODE_POSTPROCESS));
    frame->ExecuteCommand(ID_MODE_REALTIME);
    EXPECT_EQ(frame->Settings.OpMode, 0);
    EXPECT_TRUE(Checked(frame, ID_MODE_REALTIME));
    EXPECT_FALSE(Checked(frame, ID_MODE_POSTPROCESS));
    EXPECT_EQ(frame->GetWindowTextString(), "QLM436 - Quenrith Analyzer");

    // Outside Real Time the title names the file group.
    std::snprintf(frame->FileGroup.GroupPath, sizeof frame->FileGroup.GroupPath, "%s", Data("Bench run.qrx").c_str());
    frame->SetModePostProcess(false);
    EXPECT_EQ(frame->GetWindowTextString(), "QLM436 - Quenrith Analyzer - [Bench run.qrx]");
}

TEST_F(MainFrameModesTest, LeavingRealTimeAsksWhetherToKeepTheBuffers)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteSine(Data("wave/a.wav"), 4000, 100, 0.5));
    // Kept: the buffer stays and is rewound.
    auto* kept = new TWaveFile(Data("wave/a.wav"), 0, false, Data("temp"));
    ASSERT_FALSE(kept->IsError());
    kept->SeekEnd();
    frame->Settings.Files[0].File.reset(kept);
    user.ExpectBox(IDYES, "Data is still available in the Real-Time data buffers.");
    frame->ExecuteCommand(ID_MODE_RECORDER);
    EXPECT_EQ(frame->Settings.Files[0].File.get(), kept);
    EXPECT_EQ(kept->GetPosition(), 0u);

    // Back to Real Time, then dropped without a question.
    frame->ExecuteCommand(ID_MODE_REALTIME);
    EXPECT_EQ(frame->Settings.OpMode, 0);
    EXPECT_EQ(frame->Settings.Files[0].File, nullptr);
    frame->Settings.Files[1].File.reset(new TWaveFile(Data("wave/a.wav"), 0, false, Data("temp")));
    frame->SetModePostProcess(false);
    EXPECT_EQ(frame->Settings.Files[1].File, nullptr);
    EXPECT_EQ(frame->Settings.OpMode, 2);

    // Without buffers nothing is asked.
    frame->ExecuteCommand(ID_MODE_REALTIME);
    frame->ExecuteCommand(ID_MODE_RECORDER);
    EXPECT_EQ(frame->Settings.OpMode, 1);
}

// The keep-the-buffers question on screen: Esc leaves the box up and the buffers in place;
// only a button answers it.
TEST_F(MainFrameModesTest, EscOnTheKeepBuffersQuestionLosesNothing)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteSine(Data("wave/a.wav"), 4000, 100, 0.5));
    auto* kept = new TWaveFile(Data("wave/a.wav"), 0, false, Data("temp"));
    ASSERT_FALSE(kept->IsError());
    frame->Settings.Files[0].File.reset(kept);
    MessageBoxPresenter scripted = SetMessageBoxPresenter(AfxQtMessageBoxPresenter());
    bool stayed = false, bufferHeld = false;
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [&, timer] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible() || !box->text().contains("keep this data"))
                continue;
            timer->stop();
            timer->deleteLater();
            dlgtest::Key(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Escape);
            QApplication::processEvents();
            stayed = box->isVisible();
            bufferHeld = frame->Settings.Files[0].File.get() == kept;
            box->button(QMessageBox::Yes)->click();
            return;
        }
    });
    timer->start(5);
    frame->ExecuteCommand(ID_MODE_RECORDER);
    SetMessageBoxPresenter(scripted);
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(bufferHeld);
    EXPECT_EQ(frame->Settings.OpMode, 1);
    EXPECT_EQ(frame->Settings.Files[0].File.get(), kept);
}

TEST_F(MainFrameModesTest, RunInRealTimeReportsTheMissingDeviceAndStaysStopped)
{
    ASSERT_NE(Start(), nullptr);
    user.ExpectBox(IDOK, "A Durnex KDR-5200 device was not found on your system.");
    frame->ExecuteCommand(ID_RUN);
    EXPECT_FALSE(frame->AcquisitionRunning);
    frame->ExecuteCommand(ID_STOP); // harmless when nothing runs

    // With no device channel enabled the device is never asked for.
    for (UsbChannelSettings& ch : frame->Settings.Device.Channels)
        ch.bIsEnabled = 0;
    frame->Settings.Composite[0].bIsEnabled = 0;
    EXPECT_EQ(frame->CountEnabledChannels(), 0);
    EXPECT_EQ(frame->MaxChannelBlock(), 32u);
    EXPECT_EQ(frame->MinChannelBlock(), 1048576u);
    // ... and the settings sheet opens where channels are enabled.
    user.ExpectBox(IDOK, "Please enable one or more device channels");
    user.ExpectBox(IDYES, "advanced users");
    int openedOn = -1;
    CDialog::ScriptModal([&openedOn](CWnd& w) {
        auto& sheet = static_cast<COptionsMain&>(w);
        openedOn = sheet.GetActiveIndex();
        sheet.EndDialog(IDCANCEL);
    });
    frame->ExecuteCommand(ID_RUN);
    EXPECT_EQ(openedOn, COptionsMain::kInputPage);
    EXPECT_FALSE(frame->AcquisitionRunning);
}

TEST_F(MainFrameModesTest, RunInPostProcessWithoutAFileAsksForOne)
{
    ASSERT_NE(Start(), nullptr);
    frame->SetModePostProcess(false);
    user.ExpectBox(IDOK, "Please Open a file for Processing");
    frame->ExecuteCommand(ID_RUN);
    EXPECT_FALSE(frame->PostProcessBusy);
    frame->ExecuteCommand(ID_STOP);
}

TEST_F(MainFrameModesTest, PostProcessingStepsThroughTheFileAndFindsTheTone)
{
    ASSERT_NE(Start(), nullptr);
    frame->SetModePostProcess(false);
    ASSERT_TRUE(WriteSine(Data("wave/tone.wav"), 4000, 500.0, 2.0));
    auto* file = new TWaveFile(Data("wave/tone.wav"), 0, false, Data("temp"));
    ASSERT_FALSE(file->IsError());
    frame->Settings.Files[0].File.reset(file);
    frame->Settings.Processing[0].SampleFormat = file->GetFormat();
    frame->Settings.Processing[0].FFTsize = 1024;
    frame->Settings.Processing[0].DecimationRatio = 1;
    frame->Settings.Processing[0].OverlapPercent = 50;
    frame->Settings.Calibration[0].IsEnabled = 0;
    frame->OpenSpectrumPlot(0);

    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->PostProcessBusy);
    int steps = 0;
    while (frame->PostProcessBusy && steps < 1000) {
        frame->PostProcessStep();
        ++steps;
    }
    EXPECT_FALSE(frame->PostProcessBusy);
    // 8000 frames, blocks of 1024 advancing by 512: blocks start at 0, 512, ... 6656.
    EXPECT_EQ(frame->FftsProcessed, 14);
    EXPECT_EQ(file->GetPosition(), file->GetEndFrame());
    ASSERT_NE(frame->Spectral[0], nullptr);
    EXPECT_NEAR(frame->Spectral[0]->GetPeakFrequency(), 500.0f, 4000.0f / 1024);
    EXPECT_STREQ(frame->Spectral[0]->GetUnitsLabel(), "Channel 0");
    EXPECT_EQ(frame->SpectrumPlot[0]->GetTraceA(), frame->Spectral[0]);

    // Rewound, the run goes on its timer until the file ends.
    frame->RewindWaveFiles();
    EXPECT_EQ(file->GetPosition(), 0u);
    frame->ExecuteCommand(ID_RUN);
    for (int i = 0; i < 300 && frame->PostProcessBusy; ++i)
        AfxPumpMessages(10);
    EXPECT_FALSE(frame->PostProcessBusy);
    EXPECT_EQ(frame->FftsProcessed, 14);

    // Stop ends a run where it stands; a single step processes one block.
    frame->RewindWaveFiles();
    frame->ExecuteCommand(ID_RUN);
    frame->PostProcessStep();
    frame->ExecuteCommand(ID_STOP);
    EXPECT_FALSE(frame->PostProcessBusy);
    EXPECT_EQ(file->GetPosition(), 512u);
    frame->RunWholeFile = 1;
    frame->StartPostProcess();
    EXPECT_FALSE(frame->PostProcessBusy);
    EXPECT_EQ(frame->RunWholeFile, 0u);
    EXPECT_EQ(frame->FftsProcessed, 1);
    EXPECT_EQ(file->GetPosition(), 1024u);
}

TEST_F(MainFrameModesTest, TheHopFollowsTheOverlap)
{
    ChannelProcessingSettings p;
    p.FFTsize = 1024;
    p.OverlapPercent = 50;
    EXPECT_EQ(CMainFrame::GetPostProcessHop(p), 512u);
    p.OverlapPercent = 100;
    EXPECT_EQ(CMainFrame::GetPostProcessHop(p), 1u);
    p.FFTsize = 64;
    p.OverlapPercent = 99;
    EXPECT_EQ(CMainFrame::GetPostProcessHop(p), 1u);
}

TEST_F(MainFrameModesTest, CalibrationGainFollowsTheDeviceInRealTimeOnly)
{
    ASSERT_NE(Start(), nullptr);
    ChannelCalibration& cal = frame->Settings.Calibration[0];
    cal.IsEnabled = 1;
    cal.CalCreateMode = 0;
    cal.DTGain = 1.0f;
    frame->Settings.Device.Channels[0].Gain = 10.0;
    frame->SetupChannelProcessing(0);
    EXPECT_FLOAT_EQ(cal.DTGain, 10.0f);
    ASSERT_NE(frame->Spectral[0], nullptr);
    EXPECT_STREQ(frame->Spectral[0]->GetUnitsLabel(), "Crown");

    frame->SetModeRecorder(false);
    frame->Settings.Device.Channels[0].Gain = 100.0;
    frame->SetupChannelProcessing(0);
    EXPECT_FLOAT_EQ(cal.DTGain, 10.0f);

    cal.IsEnabled = 0;
    frame->SetupChannelProcessing(0);
    EXPECT_STREQ(frame->Spectral[0]->GetUnitsLabel(), "Channel 0");
}

TEST_F(MainFrameModesTest, ACalibrationFileThatCannotBeReadFallsBackToTheDefaults)
{
    ASSERT_NE(Start(), nullptr);
    ChannelCalibration& cal = frame->Settings.Calibration[1];
    cal.CalCreateMode = 1;
    std::snprintf(cal.Filename, sizeof cal.Filename, "NoSuchMicrophone");
    cal.RefLevel = 94.0f;
    EXPECT_FALSE(frame->InitChannelScaling(1));
    EXPECT_EQ(cal.CalCreateMode, 0);
    EXPECT_FLOAT_EQ(cal.RefLevel, 1.0f);
    EXPECT_STREQ(cal.ChannelName, "Brow"); // the user's name, not the calibration's
}

TEST_F(MainFrameModesTest, ASummingCompositeOfTwoFilesShowsTheirCommonTone)
{
    ASSERT_NE(Start(), nullptr);
    frame->SetModePostProcess(false);
    ASSERT_TRUE(WriteSine(Data("wave/left.wav"), 4000, 250.0, 1.0));
    ASSERT_TRUE(WriteSine(Data("wave/right.wav"), 4000, 250.0, 1.0));
    const char* names[2] = {"wave/left.wav", "wave/right.wav"};
    for (int ch = 0; ch < 2; ++ch) {
        auto* file = new TWaveFile(Data(names[ch]), 0, false, Data("temp"));
        ASSERT_FALSE(file->IsError());
        frame->Settings.Files[ch].File.reset(file);
        frame->Settings.Processing[ch].SampleFormat = file->GetFormat();
        frame->Settings.Processing[ch].OverlapPercent = 50;
    }
    CompositeChannelSettings& a = frame->Settings.Composite[0];
    a.bIsEnabled = 1;
    a.CompositeType = 0;
    a.IncludeInAverage[0] = 1;
    a.IncludeInAverage[1] = 1;
    frame->OpenCompositeSpectrumPlot(0);
    frame->ExecuteCommand(ID_RUN);
    for (int i = 0; i < 100 && frame->PostProcessBusy; ++i)
        frame->PostProcessStep();
    EXPECT_EQ(frame->GetCompositeSource(0), 0);
    SpectralData* sum = frame->CompositeSpectral[0][2];
    ASSERT_NE(sum, nullptr);
    EXPECT_EQ(frame->CompositeSpectrumPlot[0]->GetTraceA(), sum);
    EXPECT_NEAR(sum->GetPeakFrequency(), 250.0f, 4000.0f / 1024);
}

TEST_F(MainFrameModesTest, TheToolWindowsAveragingReachesTheChannelsEngineOnly)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_NE(frame->Spectral[1], nullptr);
    frame->Settings.Processing[1].AverageBlocks = 12;
    frame->Settings.Processing[1].AverageSpeed = 3;
    frame->ApplyChannelAveraging(1);
    EXPECT_FLOAT_EQ(frame->Spectral[1]->GetAverageBlocks(), 12.0f);
    // Indexes outside 0..7 and channels without an engine are ignored.
    frame->ApplyChannelAveraging(8);
    frame->ApplyChannelAveraging(-1);
    frame->Settings.Device.Channels[5].bIsEnabled = 0;
    frame->SetupChannelProcessing(5);
    frame->ApplyChannelAveraging(5);
    EXPECT_EQ(frame->Spectral[5], nullptr);
}
