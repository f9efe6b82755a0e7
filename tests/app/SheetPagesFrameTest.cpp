// The processing-settings sheet's device input, triggering and output pages through the frame:
// what is chosen there is what a post-process run, a live run on the simulator, playback through
// the sound card and a configuration file then use.
#include "FilesFrameFixture.h"

#include "acquisition/TSoundOutput.h"
#include "acquisition/TUsbDevice.h"
#include "dialogs/COptionsMain.h"
#include "platform/usb/KdrSimulator.h"
#include "res/SheetPageDialogIds.h"
#include "res/resource.h"
#include "wave/TSampleBuffer.h"

#include "support/QtTestAccess.h"

#include <chrono>
#include <cstdint>
#include <functional>

using namespace filesframe;

namespace {
void PickText(CWnd& d, int id, const char* text)
{
    auto* c = dlgtest::As<QComboBox>(d, id);
    ASSERT_NE(c, nullptr) << id;
    const int at = c->findText(text);
    ASSERT_GE(at, 0) << text;
    c->setCurrentIndex(at);
}

void SetText(CWnd& d, int id, const char* text)
{
    auto* e = dlgtest::As<QLineEdit>(d, id);
    ASSERT_NE(e, nullptr) << id;
    e->setText(text);
}

class SheetPagesFrame : public FilesFrame {
protected:
    void SetUp() override
    {
        FilesFrame::SetUp();
        soundFile = root / "played.raw";
        setenv("DURNEX_SOUND_FILE", soundFile.c_str(), 1);
    }
    void TearDown() override
    {
        FilesFrame::TearDown();
        unsetenv("DURNEX_SOUND_FILE");
    }
    // Opens the sheet on `page` as a tool-window button does and runs `step` in it.
    void InSheet(int page, std::function<void(COptionsMain&)> step)
    {
        user.ExpectBox(IDYES, "advanced users");
        CDialog::ScriptModal([step](CWnd& w) { step(static_cast<COptionsMain&>(w)); });
        frame->ShowProcessingSettings(page);
    }
    static bool PumpUntil(const std::function<bool()>& until)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!until()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            AfxPumpMessages(5);
        }
        return true;
    }
    std::filesystem::path soundFile;
};
} // namespace

TEST_F(SheetPagesFrame, ATriggerSetInThePageIsWhereAPostProcessRunStarts)
{
    ASSERT_NE(Start(), nullptr);
    // A 500 Hz burst at half scale (5 V at gain 1) from frame 5003 of silence, written by Python.
    const int onset = 5003;
    ASSERT_TRUE(WriteWaveOf(Data("wave/burst.wav"), 8000, 16000,
                            "0 if i < 5003 else 16383 * math.cos(2 * math.pi * 500 * (i - 5003) / 8000)"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/burst.wav")));
    ChannelProcessingSettings& p = frame->Settings.Processing[0];
    p.FFTsize = 256;
    p.OverlapPercent = 50;
    frame->Settings.Calibration[0].DTGain = 1.0f;
    ASSERT_EQ(frame->Settings.Trigger.TriggerEnabled, 0);

    InSheet(COptionsMain::kTriggerPage, [](COptionsMain& s) {
        ASSERT_EQ(s.GetActiveIndex(), COptionsMain::kTriggerPage);
        CTriggeringDlg& t = s.m_TriggerPage;
        dlgtest::Click(t, IDC_TRIG_ENABLE);
        SetText(t, IDC_TRIG_THRESHOLD, "1.0");
        dlgtest::Click(t, IDC_TRIG_PRE);
        SetText(t, IDC_TRIG_DELAY, "10"); // 80 frames at 8 kHz
        dlgtest::Click(s, IDOK);
    });
    ASSERT_EQ(frame->Settings.Trigger.TriggerEnabled, 1);

    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->PostProcessBusy);
    for (int i = 0; i < 200 && frame->PostProcessBusy && frame->FftsProcessed == 0; ++i)
        frame->PostProcessStep();
    ASSERT_EQ(frame->FftsProcessed, 1);
    EXPECT_TRUE(frame->TriggerDetected);
    // The block began 80 frames before the onset, then the file moved on by one hop.
    EXPECT_EQ(frame->Settings.Files[0].File->GetPosition(), DWORD(onset - 80 + 128));
    TSampleBuffer* b = frame->SampleBuffer[0];
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetSample(79, false), 0.0);
    EXPECT_NEAR(b->GetSample(80, false), 16383.0, 1.0);
    frame->ExecuteCommand(ID_STOP);
}

TEST_F(SheetPagesFrame, AChannelDisabledInTheInputPageIsNotAcquired)
{
    kdrsim::Reset();
    kdrsim::SelectSimulator(true);
    kdrsim::UseTestClock(true);
    std::string error;
    ASSERT_TRUE(kdrsim::ConfigureSources("0=sine:1000:-6;1=noise:-20;2=noise:-20", &error)) << error;
    ASSERT_NE(Start(), nullptr);
    frame->Settings.OpMode = 0;
    for (auto& c : frame->Settings.Composite)
        c.bIsEnabled = 0;
    for (int ch = 0; ch < 3; ++ch)
        frame->Settings.Processing[ch].FFTsize = 1024;
    InSheet(COptionsMain::kInputPage, [](COptionsMain& s) {
        ASSERT_EQ(s.GetActiveIndex(), COptionsMain::kInputPage);
        for (int ch = 0; ch < 3; ++ch)
            ASSERT_TRUE(s.m_InputPage.IsDlgButtonChecked(kInputEnableFirstId + ch));
        dlgtest::Click(s.m_InputPage, kInputEnableFirstId + 1);
        dlgtest::Click(s, IDOK);
    });
    EXPECT_EQ(frame->Settings.Device.Channels[1].bIsEnabled, 0);

    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    for (int t = 0; t < 1000 && frame->AcquisitionRunning; t += 20) {
        kdrsim::AdvanceClock(20);
        ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
        AfxPumpMessages(25);
    }
    EXPECT_GT(frame->FftsProcessed, 0);
    EXPECT_GT(frame->InputDevice->CountReadable(0, 0, 16), 0);
    EXPECT_GT(frame->InputDevice->CountReadable(2, 0, 16), 0);
    EXPECT_EQ(frame->InputDevice->CountReadable(1, 0, 16), 0); // no ring for it
    EXPECT_EQ(frame->Spectral[1], nullptr);
    EXPECT_NE(frame->Spectral[2], nullptr);
    frame->ExecuteCommand(ID_STOP);
    EXPECT_NE(frame->Settings.Files[0].File, nullptr);
    EXPECT_EQ(frame->Settings.Files[1].File, nullptr); // and no real-time buffer
    kdrsim::Reset();
    kdrsim::SelectSimulator(false);
}

TEST_F(SheetPagesFrame, ChoosingTheSoundCardInTheOutputPageMakesPlayReachIt)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/ramp.wav"), 8000, 16000, "(i * 37) % 60001 - 30000"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/ramp.wav")));
    frame->Settings.UseSoundCardForOutput = 0;
    InSheet(COptionsMain::kOutputPage, [](COptionsMain& s) {
        ASSERT_EQ(s.GetActiveIndex(), COptionsMain::kOutputPage);
        dlgtest::Click(s.m_OutputPage, IDC_OUT_SOUND);
        dlgtest::Click(s, IDOK);
    });
    ASSERT_EQ(frame->Settings.UseSoundCardForOutput, 1);

    ASSERT_NE(Select(0, 0.5f, 1.5f), nullptr);
    frame->SendMessage(WM_COMMAND, MAKEWPARAM(ID_EDIT_PLAY, 0), 0);
    ASSERT_TRUE(frame->Playing);
    ASSERT_TRUE(PumpUntil([&] { return !frame->Playing; }));
    const std::string bytes = ReadFile(soundFile.string());
    ASSERT_GE(bytes.size(), 2u * 8000u);
    for (long i = 0; i < 8000; ++i) {
        const auto played = static_cast<std::int16_t>(std::uint8_t(bytes[2 * i]) | std::uint8_t(bytes[2 * i + 1]) << 8);
        ASSERT_EQ(played, static_cast<std::int16_t>(((4000 + i) * 37) % 60001 - 30000)) << "frame " << i;
    }
}

TEST_F(SheetPagesFrame, InputAndOutputChoicesSurviveAConfigurationSaveAndLoad)
{
    ASSERT_NE(Start(), nullptr);
    frame->Settings.OpMode = 0;
    InSheet(COptionsMain::kInputPage, [](COptionsMain& s) {
        PickText(s.m_InputPage, kInputFilterFirstId + 3, " 200.0 Hz");
        s.SetActivePage(COptionsMain::kOutputPage);
        CDeviceOutputDlg& o = s.m_OutputPage;
        dlgtest::Click(o, IDC_OUT_SOUND);
        SetText(o, IDC_OUT_RATE, "22050");
        PickText(o, IDC_OUT_CHANNELS, "2");
        PickText(o, IDC_OUT_BITS, "16");
        dlgtest::Click(s, IDOK);
    });
    ASSERT_DOUBLE_EQ(frame->Settings.Device.Channels[3].FilterFreq, 200.0);
    frame->SaveConfiguration(Data("config/Sheet.cfg").c_str());
    // Read back by Python's own INI reader.
    ASSERT_TRUE(Python("import configparser\n"
                       "c = configparser.ConfigParser(strict=False)\n"
                       "c.read('" + Data("config/Sheet.cfg") + "')\n"
                       "assert float(c['ChannelInfo_3']['FilterFreq']) == 200.0\n"
                       "assert c['Device']['SigGenSamplingRate'] == '22050'\n"
                       "assert c['Device']['SigGenNumChannels'] == '2'\n"
                       "assert c['Device']['SigGenBitsPerSample'] == '16'\n"
                       "assert c['Device']['UseSoundCardForOutput'] == '1'\n"));

    frame->Settings.Device.Channels[3].FilterFreq = 20000.0;
    frame->Settings.Output = OutputDeviceSettings();
    frame->Settings.UseSoundCardForOutput = 0;
    frame->LoadConfiguration("Sheet.cfg");
    EXPECT_DOUBLE_EQ(frame->Settings.Device.Channels[3].FilterFreq, 200.0);
    EXPECT_EQ(frame->Settings.Output.SigGenSamplingRate, 22050u);
    EXPECT_EQ(frame->Settings.Output.SigGenNumChannels, 2u);
    EXPECT_EQ(frame->Settings.Output.SigGenBitsPerSample, 16u);
    EXPECT_EQ(frame->Settings.UseSoundCardForOutput, 1);
}
