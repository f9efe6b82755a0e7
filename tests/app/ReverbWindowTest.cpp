// The RT-60 window through the frame: the analysis of a time-series selection of a recorded
// decay (written by Python), the save question, result files, the options dialog's checks,
// the views and what they draw, and the live test's refusals.
#include "FilesFrameFixture.h"

#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Menu.h"
#include "res/ReverbDialogIds.h"
#include "res/resource.h"
#include "utilities/TReverb.h"
#include "platform/usb/KdrSimulator.h"
#include "acquisition/TUsbDevice.h"

#include <unistd.h>

#include <cmath>

using namespace filesframe;

namespace {

class ReverbWindow : public FilesFrame {
protected:
    // A recording of white noise whose power falls 60 dB in `t60` seconds from its first frame.
    bool WriteDecay(const std::string& path, double t60, double seconds = 2.0)
    {
        return Python("import wave, struct, random\n"
                      "random.seed(5)\n"
                      "rate = 44100\n"
                      "w = wave.open('" + path + "', 'wb')\n"
                      "w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate)\n"
                      "k = 10 ** (-3.0 / (" + std::to_string(t60) + " * rate))\n"
                      "a = 8000.0\n"
                      "out = []\n"
                      "for i in range(int(" + std::to_string(seconds) + " * rate)):\n"
                      "    out.append(max(-32767, min(32767, int(round(random.gauss(0, 1) * a)))))\n"
                      "    a *= k\n"
                      "w.writeframes(struct.pack('<%dh' % len(out), *out))\n"
                      "w.close()\n");
    }

    TReverb* Analyse(float start, float end)
    {
        SeriesSegmentRequest request;
        request.channel = 0;
        request.start = start;
        request.end = end;
        frame->SendMessage(WM_SERIES_SEGMENT_COMMAND, kSeriesReverb, reinterpret_cast<LPARAM>(&request));
        AfxPumpMessages(10);
        return frame->ReverbWnd;
    }

    static int CountColour(TReverb* w, COLORREF colour)
    {
        w->UpdateWindow();
        AfxPumpMessages();
        CClientDC dc(w);
        const CRect p = w->GetPlotRect();
        int n = 0;
        for (int y = p.top; y < p.bottom; ++y)
            for (int x = p.left; x < p.right; x += 2)
                n += dc.GetPixel(x, y) == colour ? 1 : 0;
        return n;
    }
};

} // namespace

TEST_F(ReverbWindow, ASelectedDecayIsAnalysedAndDrawn)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteDecay(Data("wave/decay.wav"), 0.6));
    ASSERT_TRUE(OpenChannel(0, Data("wave/decay.wav")));
    frame->Settings.Reverb.StartOffset = 300; // cleared by the new analysis
    TReverb* w = Analyse(0.0f, 2.0f);
    ASSERT_NE(w, nullptr);
    ReverbAnalysis& a = w->Analysis();
    EXPECT_EQ(w->GetViewMode(), 2u);
    EXPECT_EQ(a.modified, 1);
    EXPECT_EQ(frame->Settings.Reverb.StartOffset, 0);
    EXPECT_EQ(frame->Settings.Reverb.SelectedBand, static_cast<DWORD>(a.bandCount - 1));
    EXPECT_FLOAT_EQ(frame->Settings.Reverb.TimeExtent, 3.0f);
    EXPECT_TRUE(frame->IsWindowEnabled());
    // White noise: every band and the wideband level decay with the recording's 0.6 s (one
    // random decay per band scatters by several per cent; their mean does not).
    EXPECT_NEAR(a.results[a.bandCount - 1].Rt[5], 0.6f, 0.03f);
    int checked = 0;
    double sum = 0;
    for (int b = 0; b < a.bandCount - 1; ++b) {
        if (a.results[b].Frequency < 500.0f || a.results[b].Frequency > 8000.0f)
            continue;
        EXPECT_NEAR(a.results[b].Rt[5], 0.6f, 0.12f) << a.results[b].Frequency << " Hz";
        sum += a.results[b].Rt[5];
        ++checked;
    }
    ASSERT_GE(checked, 10);
    EXPECT_NEAR(sum / checked, 0.6, 0.03);
    // The decay curve is drawn in its colour; the bars in theirs.
    EXPECT_GT(CountColour(w, frame->Settings.Reverb.DecayColor), 50);
    EXPECT_EQ(w->GetSelectionCombo()->GetCount(), a.bandCount);
    w->SendMessage(WM_COMMAND, TReverb::kReverbTimes, 0);
    EXPECT_EQ(w->GetViewMode(), 1u);
    EXPECT_GT(CountColour(w, frame->Settings.Reverb.BarColor), 200);
    EXPECT_EQ(w->GetSelectionCombo()->GetCount(), 6);
    // A double click on the third bar shows that band's decay.
    const CRect p = w->GetPlotRect();
    const int pitch = p.Width() / a.bandCount;
    w->SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(p.left + 2 * pitch + pitch / 2, p.bottom - 5));
    EXPECT_EQ(w->GetViewMode(), 2u);
    EXPECT_EQ(frame->Settings.Reverb.SelectedBand, 2u);
    // The file's read position is where it was.
    EXPECT_EQ(frame->Settings.Files[0].File->GetPosition(), 0u);
    user.ExpectBox(IDNO, "Reverberation Data has changed.");
}

TEST_F(ReverbWindow, SegmentLimitsAndAMissingSelection)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteDecay(Data("wave/decay.wav"), 0.4, 1.5));
    ASSERT_TRUE(OpenChannel(0, Data("wave/decay.wav")));
    user.ExpectBox(IDOK, "You must first select a time segment.");
    Analyse(0.5f, 0.5f);
    EXPECT_EQ(frame->ReverbWnd, nullptr);
    user.ExpectBox(IDOK, "The selected time segment is too short.  It must be at least 1.0 second in duration.");
    TReverb* w = Analyse(0.0f, 0.99f);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->GetViewMode(), 0u);
    EXPECT_FALSE(w->IsRunning());
    EXPECT_EQ(w->StatusText(), "Reverberation data not available.  Press Start to begin.");
    EXPECT_FALSE(w->GetButton(TReverb::kSave)->IsWindowEnabled());
    EXPECT_FALSE(w->GetButton(TReverb::kDecayPlot)->IsWindowEnabled());
    // Exactly one second is enough.
    Analyse(0.0f, 1.0f);
    EXPECT_EQ(w->GetViewMode(), 2u);
    EXPECT_TRUE(w->GetButton(TReverb::kSave)->IsWindowEnabled());
    user.ExpectBox(IDNO, "Reverberation Data has changed.");
}

TEST_F(ReverbWindow, YesToTheSaveQuestionKeepsTheWindowUntilTheDataAreSaved)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteDecay(Data("wave/decay.wav"), 0.5));
    ASSERT_TRUE(OpenChannel(0, Data("wave/decay.wav")));
    TReverb* w = Analyse(0.0f, 2.0f);
    ASSERT_NE(w, nullptr);
    // Yes, then Cancel in the file dialog: nothing was saved, so the window stays.
    user.ExpectBox(IDYES, "Reverberation Data has changed.  Do you want to save it?");
    user.ExpectFile(PromptKind::FileSave, "");
    frame->SendMessage(WM_COMMAND, ID_UTIL_RT60, 0);
    AfxPumpMessages(10);
    ASSERT_EQ(frame->ReverbWnd, w);
    EXPECT_EQ(w->Analysis().modified, 1);
    // Yes and a file: saved, then closed.
    const std::string path = Data("reverb/room.rvb");
    user.ExpectBox(IDYES, "Reverberation Data has changed.");
    user.ExpectFile(PromptKind::FileSave, path);
    const int records = w->Analysis().recordCount;
    frame->SendMessage(WM_COMMAND, ID_UTIL_RT60, 0);
    AfxPumpMessages(10);
    EXPECT_EQ(frame->ReverbWnd, nullptr);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 16u + 376u * records);

    // Loaded again: the title names the file, the data are not marked changed.
    frame->SendMessage(WM_COMMAND, ID_UTIL_RT60, 0);
    AfxPumpMessages(10);
    ASSERT_NE(frame->ReverbWnd, nullptr);
    user.ExpectFile(PromptKind::FileOpen, path);
    frame->ReverbWnd->SendMessage(WM_COMMAND, TReverb::kLoad, 0);
    EXPECT_EQ(frame->ReverbWnd->GetWindowTextString(), "Reverberation Time (RT-60) - " + path);
    EXPECT_EQ(frame->ReverbWnd->Analysis().recordCount, records);
    EXPECT_EQ(frame->ReverbWnd->GetViewMode(), 1u);
    EXPECT_EQ(frame->ReverbWnd->Analysis().modified, 0);
    EXPECT_EQ(std::string(frame->Settings.WorkingPaths.rvb), Data("reverb").substr(0, Data("reverb").size()));
    EXPECT_NEAR(frame->ReverbWnd->Analysis().results[frame->ReverbWnd->Analysis().bandCount - 1].Rt[5], 0.5f, 0.03f);

    // "Print...": the page names the methods and shows the view's title.
    const auto pdf = root / "reverb.pdf";
    user.Expect({PromptKind::Print, IDOK, pdf.string()});
    CDialog::ScriptModal([](CWnd& d) { d.SendMessage(WM_COMMAND, IDOK, 0); });
    frame->ReverbWnd->SendMessage(WM_COMMAND, TReverb::kPrint, 0);
    AfxPumpMessages(10);
    const auto txt = root / "reverb.txt";
    ASSERT_EQ(std::system(("pdftotext -layout '" + pdf.string() + "' '" + txt.string() + "'").c_str()), 0);
    const std::string text = ReadFile(txt.string());
    for (const char* want : {"Extrapolation Method: RT 20", "Smoothing Method: Averaging",
                             "RT-60 Reverberation Time versus Frequency", "Frequency (Hz)", "Wide"})
        EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
    EXPECT_TRUE(frame->ReverbWnd->IsWindowEnabled());
}

TEST_F(ReverbWindow, OptionsAreCheckedInOrderAndCancelLeavesTheRecord)
{
    ASSERT_NE(Start(), nullptr);
    frame->SendMessage(WM_COMMAND, ID_UTIL_RT60, 0);
    AfxPumpMessages(10);
    TReverb* w = frame->ReverbWnd;
    ASSERT_NE(w, nullptr);
    const ReverbSettings before = frame->Settings.Reverb;

    // A bad range is refused with its own limits; a colour picked, then Cancel.
    CDialog::ScriptModal([](CWnd& d) {
        auto& dlg = static_cast<CDialog&>(d);
        dlg.SetDlgItemText(IDC_REVERB_PLOT_RANGE, "5");
        d.SendMessage(WM_COMMAND, IDOK, 0);
        d.SendMessage(WM_COMMAND, IDC_REVERB_BAR, 0);
        d.SendMessage(WM_COMMAND, IDCANCEL, 0);
    });
    user.ExpectBox(IDOK, "Plot Range must be between 10 and 200");
    user.ExpectColor(RGB(1, 2, 3));
    w->SendMessage(WM_COMMAND, TReverb::kOptions, 0);
    EXPECT_TRUE(SameRecordBytes(before, frame->Settings.Reverb));

    // Edges that pass, then OK: written back.
    CDialog::ScriptModal([](CWnd& d) {
        auto& dlg = static_cast<CDialog&>(d);
        dlg.SetDlgItemText(IDC_REVERB_PLOT_RANGE, "10");
        dlg.SetDlgItemText(IDC_REVERB_PLOT_TOP, "-200");
        dlg.SetDlgItemText(IDC_REVERB_MAX_DECAY, "30.5");
        d.SendMessage(WM_COMMAND, IDOK, 0);
        dlg.SetDlgItemText(IDC_REVERB_MAX_DECAY, "1");
        dlg.SetDlgItemText(IDC_REVERB_OFFSET, "1001");
        d.SendMessage(WM_COMMAND, IDOK, 0);
        dlg.SetDlgItemText(IDC_REVERB_OFFSET, "1000");
        d.SendMessage(WM_COMMAND, IDC_REVERB_SMOOTH_SCHROEDER, 0);
        dlg.CheckRadioButton(IDC_REVERB_SMOOTH_NONE, IDC_REVERB_SMOOTH_SCHROEDER, IDC_REVERB_SMOOTH_SCHROEDER);
        d.SendMessage(WM_COMMAND, IDOK, 0);
    });
    user.ExpectBox(IDOK, "Maximum decay time must be between 1 and 30 seconds.");
    user.ExpectBox(IDOK, "Start time offset must be greater than zero and less than 1000 milliseconds.");
    w->SendMessage(WM_COMMAND, TReverb::kOptions, 0);
    const ReverbSettings& s = frame->Settings.Reverb;
    EXPECT_EQ(s.PlotRange, 10.0f);
    EXPECT_EQ(s.PlotTop, -200.0f);
    EXPECT_EQ(s.MaxDecayTime, 1.0f);
    EXPECT_EQ(s.StartOffset, 1000);
    EXPECT_EQ(s.SmoothingMethod, 2u);
    EXPECT_EQ(std::string(w->GetOffsetEdit()->GetWindowTextString()), "1000");

    // Defaults keep the extent, the RT choice and the band.
    frame->Settings.Reverb.TimeExtent = 2.5f;
    frame->Settings.Reverb.SelectedBand = 4;
    CDialog::ScriptModal([](CWnd& d) {
        d.SendMessage(WM_COMMAND, IDC_REVERB_DEFAULTS, 0);
        d.SendMessage(WM_COMMAND, IDOK, 0);
    });
    w->SendMessage(WM_COMMAND, TReverb::kOptions, 0);
    EXPECT_EQ(s.TimeExtent, 2.5f);
    EXPECT_EQ(s.SelectedBand, 4u);
    EXPECT_EQ(s.PlotRange, 80.0f);
    EXPECT_EQ(s.StartOffset, 0);

    // The device buttons lead to the processing settings; input only outside Post Process.
    CDialog::ScriptModal([](CWnd& d) {
        d.SendMessage(WM_COMMAND, IDC_REVERB_ADJUST_OUTPUT, 0);
        d.SendMessage(WM_COMMAND, IDC_REVERB_ADJUST_INPUT, 0);
        d.SendMessage(WM_COMMAND, IDCANCEL, 0);
    });
    user.ExpectBox(IDNO, "advanced users");
    user.ExpectBox(IDOK, "The analyzer is currently in the Post Processing mode and the input device settings cannot be changed.");
    frame->Settings.OpMode = 2;
    w->SendMessage(WM_COMMAND, TReverb::kOptions, 0);
}

TEST_F(ReverbWindow, TheLiveTestRefusesRatesOutsideItsRange)
{
    ASSERT_NE(Start(), nullptr);
    frame->SendMessage(WM_COMMAND, ID_UTIL_RT60, 0);
    AfxPumpMessages(10);
    TReverb* w = frame->ReverbWnd;
    ASSERT_NE(w, nullptr);
    frame->Settings.Device.SamplingRate = 19999;
    user.ExpectBox(IDOK, "The Input Sampling rate must be between 20,000 Hz and 100,000 Hz.");
    w->SendMessage(WM_COMMAND, TReverb::kStart, 0);
    frame->Settings.Device.SamplingRate = 100001;
    user.ExpectBox(IDOK, "The Input Sampling rate must be between 20,000 Hz and 100,000 Hz.");
    w->SendMessage(WM_COMMAND, TReverb::kStart, 0);
    frame->Settings.Device.SamplingRate = 48000;
    frame->Settings.Output.SigGenSamplingRate = 44100;
    user.ExpectBox(IDOK, "The Output Sampling rate cannot be less than the input sampling rate.");
    w->SendMessage(WM_COMMAND, TReverb::kStart, 0);
    EXPECT_FALSE(w->IsRunning());
    EXPECT_TRUE(frame->IsWindowEnabled());
}

namespace {

// The live test on the built-in simulator, whose channel 0 hears what the sound output plays.
class ReverbLiveTest : public ReverbWindow {
protected:
    void SetUp() override
    {
        ReverbWindow::SetUp();
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        std::string error;
        ASSERT_TRUE(kdrsim::ConfigureSources("0=loopback", &error)) << error;
    }
    void TearDown() override
    {
        ReverbWindow::TearDown();
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
    }
    TReverb* Prepare()
    {
        if (Start() == nullptr)
            return nullptr;
        frame->Settings.DTInputDeviceIndex = 0;
        frame->Settings.UseSoundCardForOutput = 1;
        frame->Settings.Device.SamplingRate = 20000;
        frame->Settings.Output.SigGenSamplingRate = 44100;
        frame->Settings.Output.SigGenNumChannels = 1;
        frame->Settings.Output.SigGenBitsPerSample = 16;
        frame->Settings.Reverb.MaxDecayTime = 1.0f;
        frame->SendMessage(WM_COMMAND, ID_UTIL_RT60, 0);
        AfxPumpMessages(10);
        return frame->ReverbWnd;
    }
    // Pumps messages until the test is over (at most `seconds`).
    static bool WaitForEnd(TReverb* w, int seconds)
    {
        for (int i = 0; i < seconds * 100 && w->IsRunning(); ++i) {
            AfxPumpMessages(1);
            usleep(10000);
        }
        return !w->IsRunning();
    }
};

} // namespace

TEST_F(ReverbLiveTest, PlaybackCaptureAndTheEndOfTheTestThroughTheSoundRoad)
{
    TReverb* w = Prepare();
    ASSERT_NE(w, nullptr);
    w->SendMessage(WM_COMMAND, TReverb::kStart, 0);
    ASSERT_TRUE(w->IsRunning());
    EXPECT_FALSE(frame->IsWindowEnabled());
    ASSERT_NE(frame->SoundOutput, nullptr);
    EXPECT_TRUE(frame->InputDevice->IsReading());
    EXPECT_EQ(w->StatusText(), "Reverb measurement in progress. Press <Esc> to cancel.");
    // 0.8 + 0.1 + 0.5 + 4 + 1 s, and a tenth more.
    EXPECT_EQ(w->Analysis().testSignal->GetLength(), static_cast<DWORD>(6.4f * 1.1f * 44100));
    // The device samples at 4000 Hz whatever the input settings say, so the capture read at the
    // configured 20 kHz holds nothing where the noise should be: the level check says so and
    // the test ends without data, the frame usable again.
    user.ExpectBox(IDOK, "The detected signal is to low for accurate measurements.");
    ASSERT_TRUE(WaitForEnd(w, 30));
    EXPECT_EQ(kdrsim::StartCommands(), 1); // the capture started the device once
    EXPECT_TRUE(frame->IsWindowEnabled());
    EXPECT_EQ(frame->SoundOutput, nullptr);
    EXPECT_FALSE(frame->InputDevice->IsReading());
    EXPECT_FALSE(frame->AcquisitionRunning);
    EXPECT_EQ(w->GetViewMode(), 0u);
    EXPECT_EQ(w->Analysis().modified, 0);
    EXPECT_TRUE(w->GetButton(TReverb::kStart)->IsWindowEnabled());
}

TEST_F(ReverbLiveTest, EscDuringPlaybackAbandonsTheTestAtOnce)
{
    TReverb* w = Prepare();
    ASSERT_NE(w, nullptr);
    w->SendMessage(WM_COMMAND, TReverb::kStart, 0);
    ASSERT_TRUE(w->IsRunning());
    AfxPumpMessages(5);
    w->SendMessage(WM_CHAR, VK_ESCAPE, 0);
    EXPECT_FALSE(w->IsRunning());
    EXPECT_TRUE(frame->IsWindowEnabled());
    EXPECT_EQ(frame->SoundOutput, nullptr);
    EXPECT_FALSE(frame->InputDevice->IsReading());
    EXPECT_EQ(w->Analysis().capture, nullptr);
    EXPECT_EQ(w->Analysis().testSignal, nullptr);
    EXPECT_EQ(w->GetViewMode(), 0u);
    AfxPumpMessages(20); // a late buffer notice finds no test
    EXPECT_FALSE(w->IsRunning());
}
