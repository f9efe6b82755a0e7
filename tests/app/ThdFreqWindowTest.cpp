// The THD+N-versus-frequency window through the frame: result files written by Python drawn
// in one or two panes, the save question, the options dialog's checks, limit curves, the
// printout and the logo; and the live test on the device simulator through the sound road.
#include "FilesFrameFixture.h"

#include "acquisition/TUsbDevice.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Profile.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/usb/KdrSimulator.h"
#include "res/ThdDialogIds.h"
#include "res/resource.h"
#include "support/QtTestAccess.h"
#include "utilities/TTHDFreq.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <optional>
#include <thread>

using namespace filesframe;

namespace {

class ThdFreqWindow : public FilesFrame {
protected:
    TTHDFreq* Open()
    {
        frame->SendMessage(WM_COMMAND, ID_UTIL_THD_VS_FREQ, 0);
        AfxPumpMessages(10);
        return frame->THDFreqWnd;
    }

    // Pixels of a colour; with a tolerance, also the softened edges of text.
    static int CountColour(TTHDFreq* w, const CRect& p, COLORREF colour, int tolerance = 0)
    {
        w->UpdateWindow();
        AfxPumpMessages();
        CClientDC dc(w);
        int n = 0;
        for (int y = p.top; y < p.bottom; ++y)
            for (int x = p.left; x < p.right; ++x) {
                const COLORREF c = dc.GetPixel(x, y);
                n += std::abs(GetRValue(c) - GetRValue(colour)) <= tolerance &&
                             std::abs(GetGValue(c) - GetGValue(colour)) <= tolerance &&
                             std::abs(GetBValue(c) - GetBValue(colour)) <= tolerance
                         ? 1
                         : 0;
            }
        return n;
    }
};

} // namespace

TEST_F(ThdFreqWindow, ATwoChannelFileIsDrawnInTwoPanesAndUnsavedResultsAreKept)
{
    ASSERT_NE(Start(), nullptr);
    TTHDFreq* w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->StatusText(), "THD+N vs Frequency data not available. Press Start to begin.");
    // The message is readable on the default black background: white, in the middle of the pane.
    ASSERT_EQ(frame->Settings.ThdFreq.BackgroundColor, RGB(0, 0, 0));
    const CRect pane = w->GetPaneRectA();
    const CRect middle(pane.left, pane.CenterPoint().y - 12, pane.right, pane.CenterPoint().y + 12);
    EXPECT_GT(CountColour(w, middle, RGB(255, 255, 255), 100), 100);
    // On a light background it is black.
    frame->Settings.ThdFreq.BackgroundColor = RGB(255, 255, 224);
    w->Invalidate();
    EXPECT_GT(CountColour(w, middle, RGB(0, 0, 0), 100), 100);
    frame->Settings.ThdFreq.BackgroundColor = RGB(0, 0, 0);
    const std::string path = Data("thd/amp.thd");
    std::filesystem::create_directories(Data("thd"));
    ASSERT_TRUE(Python("import struct\n"
                       "pts = [(f, 0.01 * (1 + f / 2000.0)) for f in (100.0, 1000.0, 5000.0, 10000.0)]\n"
                       "d = struct.pack('<ii4f', 5000, 4, 100.0, 10000.0, 1.0, 0.001)\n"
                       "d += b''.join(struct.pack('<ff', *p) for p in pts)\n"
                       "d += b''.join(struct.pack('<ff', f, v * 3) for f, v in pts)\n"
                       "open('" + path + "', 'wb').write(d)\n"));
    user.ExpectFile(PromptKind::FileOpen, path);
    w->SendMessage(WM_COMMAND, TTHDFreq::kLoad, 0);
    EXPECT_EQ(w->GetWindowTextString(), "THD+N vs Frequency - " + path);
    EXPECT_EQ(frame->Settings.ThdFreq.ChannelCount, 2);
    EXPECT_EQ(frame->Settings.ThdFreq.StartFrequency, 100.0f);
    EXPECT_EQ(frame->Settings.ThdFreq.PlotTop, 1.0f);
    EXPECT_EQ(w->GetPaneMode(), 2);
    EXPECT_EQ(w->StatusText(), "");
    EXPECT_EQ(std::string(frame->Settings.WorkingPaths.thd), Data("thd"));
    // Both curves are drawn in the curve colour, each in its own pane.
    const COLORREF curve = frame->Settings.ThdFreq.CurveColor;
    EXPECT_GT(CountColour(w, w->GetPaneRectA(), curve), 50);
    EXPECT_GT(CountColour(w, w->GetPaneRectB(), curve), 50);

    // Axis ticks: 100 Hz .. 10 kHz on the logarithmic scale, decades of percent.
    const auto ticks = w->FrequencyTicks(w->GetPaneRectA().Width());
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front().offset, 0);
    int kept = 0, last = -1000;
    for (const auto& t : ticks)
        if (!t.label.empty()) {
            EXPECT_GE(t.offset - last, 30) << t.label;
            last = t.offset;
            ++kept;
        }
    EXPECT_GE(kept, 2);
    EXPECT_EQ(ticks.back().label, "10.0k");
    EXPECT_EQ(ticks.back().offset, w->GetPaneRectA().Width() - 1);

    // Yes, then Cancel in the save dialog: nothing was saved, so the window stays.
    w->Analysis().modified = 1;
    user.ExpectBox(IDYES, "THD+N vs Frequency Data has changed.  Do you want to save it?");
    user.ExpectFile(PromptKind::FileSave, "");
    frame->SendMessage(WM_COMMAND, ID_UTIL_THD_VS_FREQ, 0);
    AfxPumpMessages(10);
    ASSERT_EQ(frame->THDFreqWnd, w);
    EXPECT_EQ(w->Analysis().modified, 1);
    // Yes and a file: saved byte for byte as read, then closed.
    const std::string copy = Data("thd/copy.thd");
    user.ExpectBox(IDYES, "THD+N vs Frequency Data has changed.");
    user.ExpectFile(PromptKind::FileSave, copy);
    frame->SendMessage(WM_COMMAND, ID_UTIL_THD_VS_FREQ, 0);
    AfxPumpMessages(10);
    EXPECT_EQ(frame->THDFreqWnd, nullptr);
    EXPECT_EQ(Python("import sys\nsys.exit(0 if open('" + path + "','rb').read() == open('" + copy +
                     "','rb').read() else 1)\n"),
              true);
}

namespace {

// A one-channel result file of four points, written by Python.
bool WriteResult(const std::string& path)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    return Python("import struct\n"
                  "pts = [(100.0, 0.02), (1000.0, 0.05), (5000.0, 0.2), (10000.0, 0.5)]\n"
                  "d = struct.pack('<ii4f', 5000, 4, 100.0, 10000.0, 1.0, 0.001)\n"
                  "d += b''.join(struct.pack('<ff', *p) for p in pts)\n"
                  "open('" + path + "', 'wb').write(d)\n");
}

CComboBox* Combo(CWnd& d, int id) { return static_cast<CComboBox*>(static_cast<CDialog&>(d).GetDlgItem(id)); }

} // namespace

TEST_F(ThdFreqWindow, OptionsAreCheckedInOrderAndOnlyOkWritesThemBack)
{
    ASSERT_NE(Start(), nullptr);
    TTHDFreq* w = Open();
    ASSERT_NE(w, nullptr);
    const ThdFreqSettings before = frame->Settings.ThdFreq;
    ASSERT_EQ(frame->Settings.Device.SamplingRate, 4000u);

    // The same channel twice is refused before any frequency is looked at; then the
    // frequencies in order; Cancel keeps the record.
    CDialog::ScriptModal([](CWnd& d) {
        auto& dlg = static_cast<CDialog&>(d);
        EXPECT_EQ(Combo(d, IDC_THD_CHANNEL_A)->GetCurSel(), 0);
        EXPECT_EQ(Combo(d, IDC_THD_CHANNEL_B)->GetCurSel(), 0); // "Not Used"
        // The default stop of 20 kHz is offered as the top of the input's band.
        EXPECT_EQ(dlg.GetDlgItem(IDC_THD_STOP)->GetWindowTextString(), "2000.00");
        Combo(d, IDC_THD_CHANNEL_B)->SetCurSel(1); // Channel 0, as A
        dlg.SetDlgItemText(IDC_THD_START, "5");
        d.SendMessage(WM_COMMAND, IDOK, 0);
        Combo(d, IDC_THD_CHANNEL_B)->SetCurSel(0);
        d.SendMessage(WM_COMMAND, IDOK, 0);
        dlg.SetDlgItemText(IDC_THD_START, "100");
        dlg.SetDlgItemText(IDC_THD_STOP, "50");
        d.SendMessage(WM_COMMAND, IDOK, 0);
        dlg.SetDlgItemText(IDC_THD_STOP, "2000.01");
        d.SendMessage(WM_COMMAND, IDOK, 0);
        // Then the amplitude axis: upside down, and a logarithmic one down to zero.
        dlg.SetDlgItemText(IDC_THD_STOP, "2000");
        dlg.SetDlgItemText(IDC_THD_PLOT_TOP, "0.001");
        dlg.SetDlgItemText(IDC_THD_PLOT_BOTTOM, "10");
        d.SendMessage(WM_COMMAND, IDOK, 0);
        dlg.SetDlgItemText(IDC_THD_PLOT_TOP, "10");
        dlg.SetDlgItemText(IDC_THD_PLOT_BOTTOM, "0");
        d.SendMessage(WM_COMMAND, IDOK, 0);
        d.SendMessage(WM_COMMAND, IDCANCEL, 0);
    });
    user.ExpectBox(IDOK, "You cannot select the same channel for both inputs");
    user.ExpectBox(IDOK, "Start Frequency cannot be less than 10 Hz.");
    user.ExpectBox(IDOK, "Start Frequency must be less than the Stop Frequency.");
    user.ExpectBox(IDOK, "Stop Frequency must be less than 2000.00 Hz (one half of the sampling rate).");
    user.ExpectBox(IDOK, "Plot Top must be greater than Plot Bottom.");
    user.ExpectBox(IDOK, "Plot Bottom must be greater than zero on a logarithmic scale.");
    w->SendMessage(WM_COMMAND, TTHDFreq::kOptions, 0);
    EXPECT_TRUE(SameRecordBytes(before, frame->Settings.ThdFreq));

    // Octave steps, a second channel, a limit file chosen in its dialog and a stop exactly at
    // half the input rate: OK writes them back and the window shows two panes.
    const std::string limit = Data("thd/limit.ovl");
    std::filesystem::create_directories(Data("thd"));
    { std::ofstream(limit) << "Limit\n100 1\n2000 1\n"; }
    CDialog::ScriptModal([](CWnd& d) {
        auto& dlg = static_cast<CDialog&>(d);
        QtMouseClick(&d, IDC_THD_OCTAVE); // the edit between the two radios does not split them
        EXPECT_FALSE(dlg.IsDlgButtonChecked(IDC_THD_LINEAR));
        EXPECT_FALSE(dlg.GetDlgItem(IDC_THD_STEP)->IsWindowEnabled());
        EXPECT_TRUE(dlg.GetDlgItem(IDC_THD_FRACTION)->IsWindowEnabled());
        Combo(d, IDC_THD_FRACTION)->SetCurSel(2); // 1/6
        // Without a device the lists offer two channels.
        EXPECT_EQ(Combo(d, IDC_THD_CHANNEL_A)->GetCount(), 2);
        Combo(d, IDC_THD_CHANNEL_B)->SetCurSel(2); // Channel 1
        Combo(d, IDC_THD_WEIGHTING)->SetCurSel(1);
        dlg.SetDlgItemText(IDC_THD_START, "10");
        dlg.SetDlgItemText(IDC_THD_STOP, "2000");
        EXPECT_TRUE(dlg.GetDlgItem(IDC_THD_LIMIT_A_SELECT)->IsWindowEnabled());
        d.SendMessage(WM_COMMAND, IDC_THD_LIMIT_A_SELECT, 0);
        d.SendMessage(WM_COMMAND, IDOK, 0);
    });
    user.ExpectFile(PromptKind::FileOpen, limit);
    w->SendMessage(WM_COMMAND, TTHDFreq::kOptions, 0);
    const ThdFreqSettings& s = frame->Settings.ThdFreq;
    EXPECT_EQ(s.StepType, 2);
    EXPECT_EQ(s.OctaveFraction, 6);
    EXPECT_EQ(s.InputChannelB, 1);
    EXPECT_EQ(s.ChannelCount, 2);
    EXPECT_EQ(s.Weighting, 1);
    EXPECT_EQ(s.StartFrequency, 10.0f);
    EXPECT_EQ(s.StopFrequency, 2000.0f);
    EXPECT_EQ(std::string(s.LimitAFile), limit);
    EXPECT_EQ(std::string(frame->Settings.WorkingPaths.thd), Data("thd"));
    EXPECT_EQ(w->GetPaneMode(), 2);

    // Defaults: the documented defaults with limit A off and no files, shown in the controls.
    CDialog::ScriptModal([](CWnd& d) {
        auto& dlg = static_cast<CDialog&>(d);
        d.SendMessage(WM_COMMAND, IDC_THD_DEFAULTS, 0);
        EXPECT_EQ(dlg.GetDlgItem(IDC_THD_START)->GetWindowTextString(), " 20.00");
        EXPECT_EQ(dlg.GetDlgItem(IDC_THD_LIMIT_A_FILE)->GetWindowTextString(), "");
        EXPECT_FALSE(dlg.IsDlgButtonChecked(IDC_THD_LIMIT_A));
        EXPECT_FALSE(dlg.GetDlgItem(IDC_THD_LIMIT_A_SELECT)->IsWindowEnabled());
        EXPECT_EQ(Combo(d, IDC_THD_CHANNEL_B)->GetCurSel(), 0);
        d.SendMessage(WM_COMMAND, IDCANCEL, 0);
    });
    w->SendMessage(WM_COMMAND, TTHDFreq::kOptions, 0);
    EXPECT_EQ(s.StepType, 2);
}

TEST_F(ThdFreqWindow, LimitsFollowTheirFileAndThePrintoutIsMonochromeAndTheIdleWindowShowsTheLogo)
{
    ASSERT_NE(Start(), nullptr);
    TTHDFreq* w = Open();
    ASSERT_NE(w, nullptr);
    const std::string path = Data("thd/one.thd");
    ASSERT_TRUE(WriteResult(path));
    ASSERT_TRUE(w->LoadThdFile(path));

    // The logo marks the idle window: its pixels differ from a window told to hide it.
    const CRect logo = w->GetWatermarkRect();
    ASSERT_FALSE(logo.IsRectEmpty());
    EXPECT_TRUE(w->IsHighlighted());
    auto pixels = [&] {
        w->Invalidate();
        w->UpdateWindow();
        AfxPumpMessages();
        CClientDC dc(w);
        std::vector<COLORREF> v;
        for (int y = logo.top; y < logo.bottom; ++y)
            for (int x = logo.left; x < logo.right; ++x)
                v.push_back(dc.GetPixel(x, y));
        return v;
    };
    const auto shown = pixels();
    w->SetLogoHidden(true);
    EXPECT_NE(shown, pixels());
    w->SetLogoHidden(false);

    // A limit file drawn as a level line in the limit colour, read again once it is edited.
    const std::string limit = Data("thd/limit.ovl");
    auto writeLimit = [&](const char* value) {
        std::ofstream(limit) << ";Limit\n10\t" << value << "\n1000\t" << value << "\n20000\t" << value << "\n";
    };
    writeLimit("0.1");
    ThdFreqSettings& s = frame->Settings.ThdFreq;
    s.LimitAEnabled = 1;
    CopyField(s.LimitAFile, limit.c_str());
    auto limitRow = [&] {
        w->Invalidate();
        w->UpdateWindow();
        AfxPumpMessages();
        CClientDC dc(w);
        const CRect p = w->GetPaneRectA();
        for (int y = p.top; y < p.bottom; ++y)
            if (dc.GetPixel(p.CenterPoint().x, y) == s.LimitColor)
                return p.bottom - 1 - y;
        return -1;
    };
    const int height = w->GetPaneRectA().Height();
    EXPECT_EQ(limitRow(), w->AmplitudeToPixel(0.1f, height));
    writeLimit("0.01");
    EXPECT_EQ(limitRow(), w->AmplitudeToPixel(0.01f, height));

    // The picture copy reaches the clipboard.
    w->SendMessage(WM_COMMAND, TTHDFreq::kCopyBitmap, 0);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));

    // Printed: grey grid and a black curve on white, nothing in the screen's colours.
    const std::string pdf = Data("thd/print.pdf");
    user.Expect({PromptKind::Print, IDOK, pdf});
    CDialog::ScriptModal([](CWnd& d) { d.SendMessage(WM_COMMAND, IDOK, 0); });
    w->SendMessage(WM_COMMAND, TTHDFreq::kPrint, 0);
    AfxPumpMessages(10);
    ASSERT_TRUE(std::filesystem::exists(pdf));
    const std::string png = Data("thd/print");
    ASSERT_EQ(std::system(("pdftoppm -r 50 -png -singlefile '" + pdf + "' '" + png + "'").c_str()), 0);
    QImage page(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(page.isNull());
    int grey = 0, black = 0, yellow = 0, green = 0, red = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            grey += std::abs(c.red() - 128) < 24 && std::abs(c.green() - 128) < 24 && std::abs(c.blue() - 128) < 24;
            black += c.red() < 40 && c.green() < 40 && c.blue() < 40;
            yellow += c.red() > 200 && c.green() > 200 && c.blue() < 80;
            green += c.green() > 100 && c.red() < 60 && c.blue() < 60;
            red += c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    EXPECT_GT(grey, 100);
    EXPECT_GT(black, 100);
    EXPECT_EQ(yellow, 0);
    EXPECT_EQ(green, 0);
    EXPECT_EQ(red, 0); // the limit too is black
    EXPECT_LT(black, page.width() * page.height() / 10); // no black plot background

    // Margins that leave no page are refused with the one message, and nothing is printed.
    const std::string none = Data("thd/none.pdf");
    user.Expect({PromptKind::Print, IDOK, none});
    user.Expect({PromptKind::MessageBox, IDOK, "", 0, "The margins leave no room for the plot on the page."});
    CDialog::ScriptModal([](CWnd& d) {
        auto& dialog = static_cast<CDialog&>(d);
        dialog.SetDlgItemText(1859, "6");
        dialog.SetDlgItemText(1860, "6");
        dialog.SendMessage(WM_COMMAND, IDOK, 0);
    });
    w->SendMessage(WM_COMMAND, TTHDFreq::kPrint, 0);
    AfxPumpMessages(10);
    EXPECT_FALSE(std::filesystem::exists(none));
    EXPECT_EQ(user.Pending(), 0u);
}

namespace {

// The live test on the built-in simulator, whose channel 0 hears what the sound output plays.
class ThdFreqLiveTest : public ThdFreqWindow {
protected:
    void SetUp() override
    {
        ThdFreqWindow::SetUp();
        // The capture goes to the temporary folder: one of its own, so suites run side by side
        // don't take each other's file.
        const char* before = getenv("TMPDIR");
        m_tmpdir = before ? std::optional<std::string>(before) : std::nullopt;
        setenv("TMPDIR", root.c_str(), 1);
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        std::string error;
        ASSERT_TRUE(kdrsim::ConfigureSources("0=loopback", &error)) << error;
    }
    void TearDown() override
    {
        ThdFreqWindow::TearDown();
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
        if (m_tmpdir)
            setenv("TMPDIR", m_tmpdir->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    std::optional<std::string> m_tmpdir;
    TTHDFreq* Prepare()
    {
        if (Start() == nullptr)
            return nullptr;
        frame->Settings.DTInputDeviceIndex = 0;
        frame->Settings.UseSoundCardForOutput = 1;
        frame->Settings.Output.SigGenSamplingRate = 44100;
        frame->Settings.Output.SigGenNumChannels = 1;
        frame->Settings.Output.SigGenBitsPerSample = 16;
        frame->Settings.Output.OutputLevel1 = -6.0f; // dBFS
        frame->Settings.Output.OutputLevelUnit = 0;
        return Open();
    }
    // Three steps: 500, 1000 and 1500 Hz.
    TTHDFreq* PrepareThreeSteps()
    {
        TTHDFreq* w = Prepare();
        ThdFreqSettings& s = frame->Settings.ThdFreq;
        s.StartFrequency = 500.0f;
        s.StopFrequency = 1500.0f;
        s.LinearStep = 500.0f;
        return w;
    }
    static bool WaitForEnd(TTHDFreq* w, int seconds)
    {
        for (int i = 0; i < seconds * 100 && w->IsRunning(); ++i) {
            AfxPumpMessages(1);
            usleep(10000);
        }
        return !w->IsRunning();
    }
    // The test is over and left nothing running.
    void ExpectIdle(TTHDFreq* w)
    {
        EXPECT_FALSE(w->IsRunning());
        EXPECT_TRUE(frame->IsWindowEnabled());
        EXPECT_EQ(frame->SoundOutput, nullptr);
        EXPECT_FALSE(frame->InputDevice->IsReading());
        EXPECT_FALSE(frame->AcquisitionRunning);
        EXPECT_EQ(w->Analysis().PointCount(), 0);
        EXPECT_EQ(w->Analysis().modified, 0);
        EXPECT_TRUE(w->IsHighlighted());
        EXPECT_EQ(w->StatusText(), "THD+N vs Frequency data not available. Press Start to begin.");
    }
};

} // namespace

TEST_F(ThdFreqLiveTest, TheDefaultTestStopsAtTheInputRateCheck)
{
    TTHDFreq* w = Prepare();
    ASSERT_NE(w, nullptr);
    // 20 kHz cannot be measured with 4000 samples/s: refused, once, before anything plays.
    user.ExpectBox(IDOK, "The Stop Frequency must be less than 2000.00 Hz (one half of the input sampling rate).");
    w->SendMessage(WM_COMMAND, TTHDFreq::kStart, 0);
    ExpectIdle(w);
    EXPECT_EQ(w->Analysis().stimulus, nullptr);
    EXPECT_EQ(w->Analysis().capture, nullptr);
    AfxPumpMessages(20); // a late buffer notice finds no test
    EXPECT_FALSE(w->IsRunning());
}

TEST_F(ThdFreqLiveTest, EscDuringPlaybackAbandonsTheTestOnce)
{
    TTHDFreq* w = PrepareThreeSteps();
    ASSERT_NE(w, nullptr);
    w->SendMessage(WM_COMMAND, TTHDFreq::kStart, 0);
    ASSERT_TRUE(w->IsRunning());
    EXPECT_FALSE(frame->IsWindowEnabled());
    EXPECT_FALSE(w->IsHighlighted());
    EXPECT_TRUE(frame->InputDevice->IsReading());
    EXPECT_EQ(w->StatusText(),
              "THD+N vs Frequency measurement in progress.  Please wait or press the <Esc> key to abort.");
    // No pumping before Esc: the tests' sound card takes the stimulus at once, and on a loaded
    // machine its end could be handled first, ending the test before Esc arrives.
    w->SendMessage(WM_CHAR, VK_ESCAPE, 0);
    ExpectIdle(w);
    w->SendMessage(WM_CHAR, VK_ESCAPE, 0);
    AfxPumpMessages(20);
    EXPECT_FALSE(w->IsRunning());
}

// The whole road at the device's 4000 samples/s: the stimulus through the sound card into the
// simulator's input, the device's ring read into the capture (kept by DebugFlag), the burst
// found and every step analysed. Each step's THD+N agrees within 1 dB with numpy's reading of
// the same capture: a least-squares sine fit (frequency, amplitude, phase, offset) over the
// middle of the step, THD+N = rms of the residual / rms of the fitted sine.
TEST_F(ThdFreqLiveTest, TheTestRunsToItsEndAtTheDevicesRateAndAgreesWithNumpy)
{
    TTHDFreq* w = PrepareThreeSteps();
    ASSERT_NE(w, nullptr);
    WritePrivateProfileStringA("THDFreqOpts", "DebugFlag", "1", frame->ProfilePath.c_str());
    char temp[260] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string capture = std::string(temp) + "/ThdFreqCapture.wav";
    std::filesystem::remove(capture);
    // The tests' sound card takes the whole stimulus at once, and the simulator's input hears
    // it at its own pace: its clock is moved through the test before playback's end is seen.
    kdrsim::UseTestClock(true);
    w->SendMessage(WM_COMMAND, TTHDFreq::kStart, 0);
    ASSERT_TRUE(w->IsRunning());
    EXPECT_EQ(w->Analysis().stimulus->GetLength(), static_cast<DWORD>(44100 * (2.0 + 4505.6 / 44100 + 3)));
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(2000));
    usleep(300000);
    for (int i = 0; i < 60; ++i) {
        kdrsim::AdvanceClock(100);
        ASSERT_TRUE(kdrsim::WaitUntilDelivered(2000));
    }
    ASSERT_TRUE(WaitForEnd(w, 60));
    EXPECT_TRUE(frame->IsWindowEnabled());
    EXPECT_EQ(frame->SoundOutput, nullptr);
    EXPECT_FALSE(frame->InputDevice->IsReading());
    const ThdFreqAnalysis& a = w->Analysis();
    ASSERT_EQ(a.PointCount(), 3);
    EXPECT_EQ(a.clipped, 0);
    EXPECT_EQ(a.tooLow, 0);
    EXPECT_EQ(a.modified, 1);
    ASSERT_TRUE(std::filesystem::exists(capture));
    const std::string out = Data("numpy_thdn.txt");
    ASSERT_TRUE(Python(std::string(kNumpyPrelude) +
                       "import wave, numpy as np\n"
                       "w = wave.open('" + capture + "', 'rb')\n"
                       "assert w.getframerate() == 4000 and w.getnchannels() == 1, w.getparams()\n"
                       "n = w.getsampwidth(); d = np.frombuffer(w.readframes(w.getnframes()), np.uint8)\n"
                       "d = d.reshape(-1, n).astype(np.int64)\n"
                       "x = sum(d[:, i] << (8 * i) for i in range(n))\n"
                       "x = np.where(x >= 1 << (8 * n - 1), x - (1 << (8 * n)), x).astype(float)\n"
                       "onset = np.argmax(np.abs(x) > 0.1 * 2 ** (8 * n - 1)) / 4000.0\n"
                       "assert 0.8 < onset < 1.6, onset\n"
                       "res = []\n"
                       "for k, f0 in enumerate((500.0, 1000.0, 1500.0)):\n"
                       "    a = int((onset + 4505.6 / 44100 + 1.0 + k + 0.25) * 4000); y = x[a:a + 2000]\n"
                       "    t = np.arange(len(y)) / 4000.0\n"
                       "    def fit(f):\n"
                       "        m = np.column_stack([np.sin(2 * np.pi * f * t), np.cos(2 * np.pi * f * t), np.ones_like(t)])\n"
                       "        c = np.linalg.lstsq(m, y, rcond=None)[0]\n"
                       "        return np.sum((y - m @ c) ** 2), c\n"
                       "    f = min(np.arange(f0 - 2, f0 + 2, 0.01), key=lambda f: fit(f)[0])\n"
                       "    r, c = fit(f)\n"
                       "    res.append(100 * np.sqrt(r / len(y)) / np.sqrt((c[0] ** 2 + c[1] ** 2) / 2))\n"
                       "open('" + out + "', 'w').write(' '.join('%.9g' % v for v in res))\n"));
    std::ifstream in(out);
    for (int k = 0; k < 3; ++k) {
        double offline = 0.0;
        ASSERT_TRUE(in >> offline);
        const ThdPoint& p = a.pointsA[static_cast<std::size_t>(k)];
        EXPECT_NEAR(p.Frequency, 500.0f * (k + 1), 4.0f) << "step " << k;
        EXPECT_NEAR(20 * std::log10(p.ThdN / offline), 0.0, 1.0)
            << "step " << k << ": " << p.ThdN << " % here, " << offline << " % by numpy";
    }
    std::filesystem::remove(capture);
    // New results are offered for saving when the window closes.
    user.ExpectBox(IDNO, "THD+N vs Frequency Data has changed.  Do you want to save it?");
}

// The same on the simulator's real clock with a core kept busy: the device delivers at its own
// pace while the end of playback waits in the queue, and the test still reads every step.
TEST_F(ThdFreqLiveTest, OnTheRealClockUnderLoadEveryStepIsRead)
{
    TTHDFreq* w = PrepareThreeSteps();
    ASSERT_NE(w, nullptr);
    std::atomic<bool> stop{false};
    std::thread busy([&stop] {
        volatile double x = 0.0;
        while (!stop.load())
            x = x + 1.0;
    });
    w->SendMessage(WM_COMMAND, TTHDFreq::kStart, 0);
    ASSERT_TRUE(w->IsRunning());
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    // The whole stimulus (5.1 s) and a little more has been sampled.
    const long long wanted = static_cast<long long>(4000 * 5.4);
    for (int i = 0; i < 6000 && frame->InputDevice->GetSampleCounter() < wanted; ++i)
        usleep(10000);
    stop = true;
    busy.join();
    ASSERT_GE(frame->InputDevice->GetSampleCounter(), wanted);
    ASSERT_TRUE(WaitForEnd(w, 60));
    const ThdFreqAnalysis& a = w->Analysis();
    ASSERT_EQ(a.PointCount(), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(a.pointsA[static_cast<std::size_t>(k)].Frequency, 500.0f * (k + 1), 4.0f) << "step " << k;
        // A clean loopback: far below a per cent at every step.
        EXPECT_LT(a.pointsA[static_cast<std::size_t>(k)].ThdN, 1.0f) << "step " << k;
    }
    user.ExpectBox(IDNO, "THD+N vs Frequency Data has changed.  Do you want to save it?");
}

// A device that ran on for longer than its rings hold (playback's end seen late) has
// overwritten the start of the capture: the test says so and ends without results.
TEST_F(ThdFreqLiveTest, ACaptureOverrunInTheRingIsReportedNotCut)
{
    TTHDFreq* w = PrepareThreeSteps();
    ASSERT_NE(w, nullptr);
    kdrsim::UseTestClock(true);
    w->SendMessage(WM_COMMAND, TTHDFreq::kStart, 0);
    ASSERT_TRUE(w->IsRunning());
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(2000));
    const int ringSeconds = frame->InputDevice->GetRingLength() / TUsbDevice::kRingSampleRate;
    for (int i = 0; i < ringSeconds + 2; ++i) {
        kdrsim::AdvanceClock(1000);
        ASSERT_TRUE(kdrsim::WaitUntilDelivered(5000));
    }
    user.ExpectBox(IDOK, "The capture could not be read from the device's buffer; nothing was analysed.");
    ASSERT_TRUE(WaitForEnd(w, 30));
    ExpectIdle(w);
}
