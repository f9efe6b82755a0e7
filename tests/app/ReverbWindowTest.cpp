// The RT-60 window through the frame: the analysis of a time-series selection of a recorded
// decay (written by Python), the save question, result files, the options dialog's checks,
// the views and what they draw, the measurement cursor, and the live test: its refusal on this
// device, its stimulus through the sound road, and its analysis of a recorded capture.
#include "FilesFrameFixture.h"

#include "platform/core/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
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
    bool WriteDecay(const std::string& path, double t60, double seconds = 2.0, int rate = 44100)
    {
        return Python("import wave, struct, random\n"
                      "random.seed(5)\n"
                      "rate = " + std::to_string(rate) + "\n"
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
    // The extent box shows the extent in use (a second past the segment's length).
    CComboBox* extent = w->GetExtentCombo();
    ASSERT_GE(extent->GetCurSel(), 0);
    std::string shown(64, '\0');
    shown.resize(std::size_t(std::max(extent->GetLBText(extent->GetCurSel(), shown.data()), 0)));
    EXPECT_EQ(shown, "3.0 seconds");
    // Each time label reads the time its grid line stands at: hundredths where the divisions
    // fall between tenths.
    const struct {
        float extent;
        int division;
        const char* label;
    } labels[] = {{3.0f, 1, "  0.75"}, {4.0f, 1, "   1.0"}, {5.0f, 1, "  1.25"}, {5.0f, 3, "  3.75"},
                  {10.0f, 1, "   2.5"}, {0.5f, 1, "  0.05"}};
    for (const auto& l : labels) {
        frame->Settings.Reverb.TimeExtent = l.extent;
        EXPECT_EQ(w->TimeLabelAt(l.division), l.label) << l.extent;
    }
    frame->Settings.Reverb.TimeExtent = 3.0f;
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
    // The two boxes are placed with their lists' 500 pixels but stay one line high, above
    // the plot, so they hide none of it.
    for (CComboBox* box : {w->GetExtentCombo(), w->GetSelectionCombo()}) {
        CRect r;
        box->GetWindowRect(&r);
        w->ScreenToClient(&r);
        EXPECT_EQ(r.Width(), 100);
        EXPECT_LT(r.bottom, w->GetPlotRect().top) << r.bottom;
    }
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

// At the device's 4000 Hz a record covers a tenth of a second: the decay times are read
// between records, and a selection too short for one analysis block says so.
TEST_F(ReverbWindow, AtTheDevicesRateDecayTimesFallBetweenRecords)
{
    ASSERT_NE(Start(), nullptr);
    for (double t60 : {0.6, 1.5}) {
        frame->Settings.Files[0].File.reset();
        ASSERT_TRUE(WriteDecay(Data("wave/d4k.wav"), t60, 4.0, 4000));
        ASSERT_TRUE(OpenChannel(0, Data("wave/d4k.wav")));
        TReverb* w = Analyse(0.0f, 4.0f);
        ASSERT_NE(w, nullptr);
        ReverbAnalysis& a = w->Analysis();
        ASSERT_EQ(w->GetViewMode(), 2u);
        EXPECT_NEAR(a.recordInterval, 409.0 / 4000.0, 1e-6);
        EXPECT_NEAR(a.results[a.bandCount - 1].Rt[5], t60, 0.05 * t60);
        double sum = 0;
        int checked = 0;
        for (int b = 0; b < a.bandCount - 1; ++b) {
            if (a.results[b].Frequency < 200.0f)
                continue;
            EXPECT_NEAR(a.results[b].Rt[5], t60, 0.12 * t60) << a.results[b].Frequency << " Hz";
            sum += a.results[b].Rt[5];
            ++checked;
        }
        ASSERT_GE(checked, 10);
        EXPECT_NEAR(sum / checked, t60, 0.05 * t60);
        a.modified = 0;
    }
    // A block of 4096 frames and three hops of 409 make the three records a fall needs; a
    // segment that has them but shows no band falling the chosen range is refused as well,
    // rather than answered with times extrapolated from a shorter fall.
    frame->Settings.Files[0].File.reset();
    ASSERT_TRUE(WriteDecay(Data("wave/d4k.wav"), 0.92, 4.0, 4000));
    ASSERT_TRUE(OpenChannel(0, Data("wave/d4k.wav")));
    const std::string tooShort = "The selected time segment is too short for the analysis at 4000 Hz.  It must be at "
                                 "least 1.34 seconds in duration.";
    const struct {
        float seconds;
        DWORD smoothing, extrapolation;
        std::string refusal; // empty: analysed
        bool analysed;       // the refusal came after the analysis: no data left
    } segments[] = {
        {1.0f, 1, 1, tooShort, false},
        {1.2f, 1, 1, tooShort, false},
        {1.4f, 1, 1, "The selected time segment does not show a decay of 20 dB above the noise in any band.", true},
        {1.4f, 2, 2, "The selected time segment does not show a decay of 30 dB above the noise in any band.", true},
        {1.4f, 1, 0, "", true}, // ten decibels it does show
        {2.5f, 2, 2, "", true},
    };
    for (const auto& c : segments) {
        SCOPED_TRACE(c.seconds);
        frame->Settings.Reverb.SmoothingMethod = c.smoothing;
        frame->Settings.Reverb.ExtrapolationMethod = c.extrapolation;
        if (!c.refusal.empty())
            user.ExpectBox(IDOK, c.refusal);
        TReverb* w = frame->ReverbWnd;
        const int before = w->Analysis().recordCount;
        const DWORD viewBefore = w->GetViewMode();
        ASSERT_EQ(Analyse(0.0f, c.seconds), w);
        ReverbAnalysis& a = w->Analysis();
        EXPECT_EQ(user.Pending(), 0u);
        EXPECT_TRUE(frame->IsWindowEnabled());
        EXPECT_FALSE(w->IsRunning());
        if (!c.analysed) {
            // Refused before anything was replaced.
            EXPECT_EQ(a.recordCount, before);
            EXPECT_EQ(w->GetViewMode(), viewBefore);
            continue;
        }
        if (!c.refusal.empty()) {
            EXPECT_EQ(w->GetViewMode(), 0u);
            EXPECT_EQ(a.modified, 0);
            continue;
        }
        ASSERT_EQ(w->GetViewMode(), 2u);
        EXPECT_EQ(a.modified, 1);
        const int k = static_cast<int>(c.extrapolation);
        EXPECT_EQ(a.results[a.bandCount - 1].NotMeasured[k], 0);
        if (c.seconds > 2.0f) {
            for (int b = 0; b < a.bandCount; ++b)
                if (a.results[b].Frequency >= 200.0f && a.results[b].Rt[5] > 0.0f)
                    EXPECT_NEAR(a.results[b].Rt[5], 0.92, 0.15 * 0.92) << a.results[b].Frequency;
            EXPECT_NEAR(a.results[a.bandCount - 1].Rt[5], 0.92, 0.1 * 0.92);
        }
        a.modified = 0;
    }
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

TEST_F(ReverbWindow, TheMeasurementCursorReadsBarsAndDecayAndCopiesItsValues)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteDecay(Data("wave/decay.wav"), 0.6));
    ASSERT_TRUE(OpenChannel(0, Data("wave/decay.wav")));
    TReverb* w = Analyse(0.0f, 2.0f);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->GetViewMode(), 2u);
    ReverbAnalysis& a = w->Analysis();
    const ReverbSettings& st = frame->Settings.Reverb;
    const CRect p = w->GetPlotRect();
    w->UpdateWindow();
    AfxPumpMessages();
    auto pixel = [&](int x, int y) {
        CClientDC dc(w);
        return dc.GetPixel(x, y);
    };
    // A column of the grid-free background well above the curve, and a spot in the X read-out's box.
    const int x = p.left + p.Width() / 3 + 1, y = p.top + p.Height() / 4 + 1;
    const COLORREF lineBefore = pixel(x, p.top + 3), boxBefore = pixel(x - 30, p.top - 10);

    // Decay view: seconds along, decibels up.
    w->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ASSERT_TRUE(w->IsTracking());
    EXPECT_FLOAT_EQ(w->GetXReadoutValue(), static_cast<float>(x - p.left) / (static_cast<float>(p.Width()) / st.TimeExtent));
    EXPECT_NEAR(w->GetYReadoutValue(),
                st.PlotTop - st.PlotRange + static_cast<float>(p.bottom - y) / (static_cast<float>(p.Height()) / st.PlotRange),
                1e-3);
    EXPECT_NE(pixel(x, p.top + 3), lineBefore); // the crosshair's vertical line
    EXPECT_NE(pixel(x - 30, p.top - 10), boxBefore); // the read-out box
    w->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, y));
    EXPECT_EQ(pixel(x, p.top + 3), lineBefore);
    EXPECT_GT(w->GetXReadoutValue(), static_cast<float>(x - p.left) / (static_cast<float>(p.Width()) / st.TimeExtent));

    // The right button offers the values, copies them and ends the cursor.
    int menus = 0;
    auto previous = CMenu::SetPopupChooser([&](CMenu& menu) -> UINT {
        ++menus;
        EXPECT_EQ(menu.GetMenuItemCount(), 2u);
        EXPECT_EQ(menu.GetMenuString(1503, MF_BYCOMMAND), "Copy measurement cursor Values to clipboard");
        EXPECT_EQ(menu.GetMenuString(1502, MF_BYCOMMAND), "Copy to clipboard as Bitmap");
        return 1503;
    });
    w->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON | MK_LBUTTON, MAKELPARAM(x + 40, y));
    EXPECT_EQ(menus, 1);
    EXPECT_FALSE(w->IsTracking());
    w->UpdateWindow();
    AfxPumpMessages();
    EXPECT_EQ(pixel(x + 40, p.top + 3), lineBefore);
    ASSERT_TRUE(OpenClipboard(w));
    const std::string text = static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT)));
    CloseClipboard();
    char want[80];
    std::snprintf(want, sizeof want, "Freq=\t%5.4f\r\nAmp=\t%5.4f\r\n", static_cast<double>(w->GetXReadoutValue()),
                  static_cast<double>(w->GetYReadoutValue()));
    EXPECT_EQ(text, want);
    CMenu::SetPopupChooser(previous);

    // Bars: the frequency of the bar under the cursor and seconds up.
    w->SendMessage(WM_COMMAND, TReverb::kReverbTimes, 0);
    const CRect bars = w->GetPlotRect();
    const int pitch = bars.Width() / a.bandCount;
    const int bx = bars.left + 2 * pitch + pitch / 2, by = bars.bottom - bars.Height() / 2;
    w->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bx, by));
    ASSERT_TRUE(w->IsTracking());
    EXPECT_FLOAT_EQ(w->GetXReadoutValue(), a.results[2].Frequency);
    EXPECT_NEAR(w->GetYReadoutValue(), st.TimeExtent / 2.0f, st.TimeExtent / bars.Height());
    w->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(bx, by));
    EXPECT_FALSE(w->IsTracking());

    // The waterfall has no cursor.
    w->SendMessage(WM_COMMAND, TReverb::kSurface, 0);
    w->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bx, by));
    EXPECT_FALSE(w->IsTracking());
    w->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(bx, by));
    user.ExpectBox(IDNO, "Reverberation Data has changed.");
}

TEST_F(ReverbWindow, TheDecayMenuMovesTheStartToTheClickedPointAndClearsIt)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteDecay(Data("wave/decay.wav"), 0.6));
    ASSERT_TRUE(OpenChannel(0, Data("wave/decay.wav")));
    TReverb* w = Analyse(0.0f, 2.0f);
    ASSERT_NE(w, nullptr);
    ReverbAnalysis& a = w->Analysis();
    const CRect p = w->GetPlotRect();
    const float spacing = a.records[1].Time - a.records[0].Time;
    bool offered = false, clearOffered = false;
    UINT choice = 810;
    auto previous = CMenu::SetPopupChooser([&](CMenu& menu) -> UINT {
        offered = menu.GetMenuState(810, MF_BYCOMMAND) != 0xFFFFFFFF;
        clearOffered = menu.GetMenuState(811, MF_BYCOMMAND) != 0xFFFFFFFF;
        return choice;
    });
    // The curve starts at the offset, so a click lies that far along the analysed stretch.
    const int x = p.left + p.Width() / 20;
    const float along = w->ReverbXValueAt(x, p.top + 5);
    w->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, p.top + 5));
    EXPECT_TRUE(offered);
    EXPECT_FALSE(clearOffered);
    const int first = frame->Settings.Reverb.StartOffset;
    EXPECT_EQ(first, static_cast<int>(along * 1000.0f));
    EXPECT_NEAR(a.records[static_cast<std::size_t>(a.StartRecord())].Time, along, spacing);
    EXPECT_EQ(w->GetOffsetEdit()->GetWindowTextString(), std::to_string(first));
    w->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, p.top + 5));
    EXPECT_TRUE(clearOffered);
    EXPECT_NEAR(a.records[static_cast<std::size_t>(a.StartRecord())].Time, 2 * along, 2 * spacing);
    // The re-fitted decay still has the recording's slope.
    EXPECT_NEAR(a.results[a.bandCount - 1].Rt[5], 0.6f, 0.05f);
    // Clearing opens the options with the offset already 0.
    int dialogs = 0;
    CDialog::ScriptModal([&](CWnd& d) {
        ++dialogs;
        EXPECT_EQ(static_cast<CDialog&>(d).GetDlgItemInt(IDC_REVERB_OFFSET, nullptr, TRUE), 0u);
        d.SendMessage(WM_COMMAND, IDCANCEL, 0);
    });
    choice = 811;
    w->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, p.top + 5));
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(frame->Settings.Reverb.StartOffset, 0);
    EXPECT_EQ(a.StartRecord(), 0);
    // The bars offer no start point.
    choice = 0;
    w->SendMessage(WM_COMMAND, TReverb::kReverbTimes, 0);
    w->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, p.top + 5));
    EXPECT_FALSE(offered);
    CMenu::SetPopupChooser(previous);
    user.ExpectBox(IDNO, "Reverberation Data has changed.");
}

TEST(ReverbLiveRates, TheInputMustLieIn20To100kHzAndTheOutputNotBelowIt)
{
    const std::string input = "The Input Sampling rate must be between 20,000 Hz and 100,000 Hz.  Please check the Input "
                              "Device settings.";
    const std::string output = "The Output Sampling rate cannot be less than the input sampling rate.  Please check the "
                               "Output Device settings.";
    EXPECT_EQ(TReverb::LiveRateProblem(20000, 44100), nullptr);
    EXPECT_EQ(TReverb::LiveRateProblem(100000, 100000), nullptr);
    EXPECT_EQ(TReverb::LiveRateProblem(48000, 48000), nullptr);
    EXPECT_EQ(TReverb::LiveRateProblem(19999, 44100), input);
    EXPECT_EQ(TReverb::LiveRateProblem(100001, 192000), input);
    EXPECT_EQ(TReverb::LiveRateProblem(4000, 44100), input);
    EXPECT_EQ(TReverb::LiveRateProblem(48000, 44100), output);
    // A device that can't reach the range whatever it is set to is named with its rate.
    EXPECT_EQ(TReverb::DeviceRateProblem(4000, 4000).substr(0, 156),
              "The RT-60 test needs an input sampling rate between 20,000 Hz and 100,000 Hz.  The KDR-5200 samples at "
              "a fixed 4000 samples/s, so the test cannot run on it.");
    EXPECT_EQ(TReverb::DeviceRateProblem(1000, 20000), "");
    EXPECT_NE(TReverb::DeviceRateProblem(200000, 400000).find("200000 to 400000"), std::string::npos);
}

namespace {

// The live test on the built-in simulator. The device samples at 4000 Hz, below what the test
// needs, so Start is refused; the steps after the check are driven one by one: the stimulus
// out through the sound road into ALSA's file plugin, and a capture recorded by Python as a
// room would send it back.
class ReverbLiveTest : public ReverbWindow {
protected:
    void SetUp() override
    {
        ReverbWindow::SetUp();
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        std::string error;
        ASSERT_TRUE(kdrsim::ConfigureSources("0=loopback", &error)) << error;
        soundFile = root / "played.raw";
        setenv("DURNEX_SOUND_FILE", soundFile.c_str(), 1);
    }
    void TearDown() override
    {
        ReverbWindow::TearDown();
        unsetenv("DURNEX_SOUND_FILE");
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
    }
    TReverb* Prepare(float maxDecay)
    {
        if (Start() == nullptr)
            return nullptr;
        frame->Settings.DTInputDeviceIndex = 0;
        frame->Settings.UseSoundCardForOutput = 1;
        frame->Settings.Output.SigGenSamplingRate = 48000;
        frame->Settings.Output.SigGenNumChannels = 1;
        frame->Settings.Output.SigGenBitsPerSample = 16;
        frame->Settings.Reverb.MaxDecayTime = maxDecay;
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
    void ExpectIdleFrame(TReverb* w)
    {
        EXPECT_FALSE(w->IsRunning());
        EXPECT_TRUE(frame->IsWindowEnabled());
        EXPECT_EQ(frame->SoundOutput, nullptr);
        EXPECT_FALSE(frame->InputDevice->IsReading());
        EXPECT_FALSE(frame->AcquisitionRunning);
        EXPECT_TRUE(w->GetButton(TReverb::kStart)->IsWindowEnabled());
    }
    // What a room sends back of the stimulus at 48 kHz: silence, the 1 kHz tone at `tone`
    // seconds, noise for the 4 s burst at `gain` of full scale (rms), then its decay with
    // reverberation time `t60`, over a floor 90 dB down.
    bool WriteCapture(const std::string& path, double tone, double gain, double t60, double total)
    {
        return Python("import wave, struct, random, math\n"
                      "random.seed(7)\n"
                      "rate = 48000\n"
                      "tone, gain, t60 = " + std::to_string(tone) + ", " + std::to_string(gain) + ", " +
                      std::to_string(t60) + "\n"
                      "noise0 = tone + 0.1 + 0.5\n"
                      "cut = noise0 + 4.0\n"
                      "k = 10 ** (-3.0 / (t60 * rate))\n"
                      "out = []\n"
                      "a = 1.0\n"
                      "for i in range(int(" + std::to_string(total) + " * rate)):\n"
                      "    t = i / rate\n"
                      "    v = random.gauss(0, 1) * 32767 * 10 ** (-90 / 20)\n"
                      "    if tone <= t < tone + 0.1:\n"
                      "        v += 8000 * math.sin(2 * math.pi * 1000 * (t - tone))\n"
                      "    elif noise0 <= t < cut:\n"
                      "        v += random.gauss(0, 1) * 32767 * gain\n"
                      "    elif t >= cut:\n"
                      "        a *= k\n"
                      "        v += random.gauss(0, 1) * 32767 * gain * a\n"
                      "    out.append(max(-32768, min(32767, int(round(v)))))\n"
                      "w = wave.open('" + path + "', 'wb')\n"
                      "w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate)\n"
                      "w.writeframes(struct.pack('<%dh' % len(out), *out))\n"
                      "w.close()\n");
    }
    // Runs the test's analysis on a recorded capture.
    void AnalyseCapture(TReverb* w, const std::string& path)
    {
        const TPcmFormat format(48000, 1, 2);
        w->PrepareTest(format, format);
        w->Analysis().capture.reset(new TWaveFile(path, TWaveFile::kMemory, false, ""));
        w->AnalyzeTestCapture();
    }
    std::filesystem::path soundFile;
};

} // namespace

TEST_F(ReverbLiveTest, StartIsRefusedOnADeviceThatSamplesAt4000Hz)
{
    TReverb* w = Prepare(1.0f);
    ASSERT_NE(w, nullptr);
    // The device's own rate, and a configured rate it cannot deliver: both are 4000 Hz captures.
    std::filesystem::remove(soundFile);
    const long long starts = kdrsim::StartCommands();
    for (DWORD configured : {4000u, 48000u}) {
        frame->Settings.Device.SamplingRate = configured;
        user.ExpectBox(IDOK, "The RT-60 test needs an input sampling rate between 20,000 Hz and 100,000 Hz.  The "
                             "KDR-5200 samples at a fixed 4000 samples/s");
        w->SendMessage(WM_COMMAND, TReverb::kStart, 0);
        AfxPumpMessages(5);
        ExpectIdleFrame(w);
        EXPECT_EQ(w->Analysis().testSignal, nullptr);
        EXPECT_EQ(kdrsim::StartCommands(), starts);
        EXPECT_FALSE(std::filesystem::exists(soundFile) && std::filesystem::file_size(soundFile) > 0);
    }
}

TEST_F(ReverbLiveTest, TheStimulusGoesOutThroughTheSoundRoadAndPlaybackEndsTheTest)
{
    TReverb* w = Prepare(10.0f);
    ASSERT_NE(w, nullptr);
    const TPcmFormat format(48000, 1, 2);
    w->PrepareTest(format, format);
    ASSERT_TRUE(w->IsRunning());
    w->PlayThroughSoundCard();
    ASSERT_NE(frame->SoundOutput, nullptr);
    EXPECT_EQ(w->StatusText(), "Reverb measurement in progress. Press <Esc> to cancel.");
    ASSERT_TRUE(WaitForEnd(w, 60));
    // Playback ended with nothing captured: nothing analysed, the frame usable again.
    ExpectIdleFrame(w);
    EXPECT_EQ(w->GetViewMode(), 0u);
    EXPECT_EQ(w->Analysis().modified, 0);

    // 0.8 + 0.1 + 0.5 + 10 + 10 s, and a tenth more, at 48 kHz.
    const std::string bytes = ReadFile(soundFile.string());
    const auto frames = static_cast<std::size_t>(21.4f * 1.1f * 48000);
    ASSERT_EQ(bytes.size(), frames * 2);
    auto sample = [&](std::size_t i) {
        return static_cast<int>(static_cast<std::int16_t>(std::uint8_t(bytes[2 * i]) | std::uint8_t(bytes[2 * i + 1]) << 8));
    };
    for (std::size_t i = 0; i < 38400; ++i)
        ASSERT_EQ(sample(i), 0) << i;
    // The tone at a quarter of full scale from frame 38,400, 4,801 frames of it.
    for (std::size_t k = 0; k <= 4800; ++k)
        ASSERT_EQ(sample(38400 + k), static_cast<int>(32767 * 0.25 * std::sin(2 * M_PI * 1000.0 * k / 48000.0))) << k;
    for (std::size_t i = 38400 + 4801; i < 67200; ++i)
        ASSERT_EQ(sample(i), 0) << i;
    // The pink noise of the resource, read by the wave reader, for 10 s from frame 67,200.
    std::unique_ptr<TWaveFile> pink(TWaveFile::FromResource("PinkWave", "PINKWAVE"));
    ASSERT_NE(pink, nullptr);
    ASSERT_GE(pink->GetLength(), 480000u);
    for (std::size_t k = 0; k < 480000; ++k) {
        const long s = pink->GetSample(static_cast<DWORD>(k), 0, false) - pink->GetFormat().ZeroValue;
        ASSERT_EQ(sample(67200 + k), static_cast<int>(s * 32767 / 32768)) << k;
    }
    for (std::size_t i = 67200 + 480000; i < frames; ++i)
        ASSERT_EQ(sample(i), 0) << i;
}

TEST_F(ReverbLiveTest, EscDuringPlaybackAbandonsTheTestAtOnce)
{
    TReverb* w = Prepare(1.0f);
    ASSERT_NE(w, nullptr);
    const TPcmFormat format(48000, 1, 2);
    w->PrepareTest(format, format);
    w->PlayThroughSoundCard();
    ASSERT_TRUE(w->IsRunning());
    // The test's sound card takes frames faster than real time, so the whole stimulus may be
    // played within milliseconds; the window learns that only from the notice queued for it.
    // So the window's queue is left alone until Esc is in: Esc then reaches a test whose
    // playback has begun (the sound file grows) and has not been reported over.
    for (int i = 0; i < 1000 && !(std::filesystem::exists(soundFile) && std::filesystem::file_size(soundFile) > 0); ++i)
        usleep(10000);
    ASSERT_GT(std::filesystem::file_size(soundFile), 0u);
    ASSERT_TRUE(w->IsRunning());
    ASSERT_NE(frame->SoundOutput, nullptr);
    w->SendMessage(WM_CHAR, VK_ESCAPE, 0);
    ExpectIdleFrame(w);
    EXPECT_EQ(w->Analysis().capture, nullptr);
    EXPECT_EQ(w->Analysis().testSignal, nullptr);
    EXPECT_EQ(w->GetViewMode(), 0u);
    AfxPumpMessages(20); // a late buffer notice finds no test
    EXPECT_FALSE(w->IsRunning());
}

TEST_F(ReverbLiveTest, ARecordedCaptureIsSynchronisedLevelCheckedAndAnalysed)
{
    TReverb* w = Prepare(3.0f);
    ASSERT_NE(w, nullptr);
    frame->Settings.Reverb.ExtrapolationMethod = 2; // RT 30
    const double total = (0.8 + 0.1 + 0.5 + 4.0 + 3.0) * 1.1;
    // The tone a hop late (the sound card's delay), found where it is rather than at 0.8 s.
    const double tone = 11 * 4096 / 48000.0;
    ASSERT_TRUE(WriteCapture(Data("wave/capture.wav"), tone, 0.1, 1.2, total));
    ReverbAnalysis& a = w->Analysis();
    // Averaging and Schroeder's integral, over the room's floor 70 dB down.
    for (DWORD smoothing : {1u, 2u}) {
        SCOPED_TRACE(smoothing);
        frame->Settings.Reverb.SmoothingMethod = smoothing;
        a.modified = 0;
        AnalyseCapture(w, Data("wave/capture.wav"));
        EXPECT_NEAR(a.detectedToneTime, tone, 4096 / 48000.0 + 1e-4);
        EXPECT_NEAR(a.noisePeakDbfs, -20 + 20 * std::log10(4.5), 2.0); // about 4.5 sigma over 4 s
        ExpectIdleFrame(w);
        ASSERT_EQ(w->GetViewMode(), 1u);
        EXPECT_EQ(a.modified, 1);
        EXPECT_FLOAT_EQ(frame->Settings.Reverb.TimeExtent, 3.0f);
        // RT-60 from the 30 dB fall: within 5 % of the room's in the wideband entry, within an
        // eighth in each band (one random decay per band).
        for (int b = 0; b < a.bandCount; ++b)
            EXPECT_NEAR(a.results[b].Rt[5], 1.2f, b == a.bandCount - 1 ? 0.06f : 0.15f) << a.results[b].Frequency;
    }

    // Noise that reaches full scale is clipping; noise 50 dB down is too low: no data either way.
    ASSERT_TRUE(WriteCapture(Data("wave/loud.wav"), tone, 0.5, 1.2, total));
    user.ExpectBox(IDOK, "The detected signal is overloading (clipping) the input.");
    AnalyseCapture(w, Data("wave/loud.wav"));
    EXPECT_EQ(w->GetViewMode(), 0u);
    EXPECT_EQ(a.modified, 0);
    ExpectIdleFrame(w);
    ASSERT_TRUE(WriteCapture(Data("wave/quiet.wav"), tone, 0.0007, 1.2, total));
    user.ExpectBox(IDOK, "The detected signal is to low for accurate measurements.");
    AnalyseCapture(w, Data("wave/quiet.wav"));
    EXPECT_EQ(w->GetViewMode(), 0u);
    EXPECT_LT(a.noisePeakDbfs, -40.0f);
    ExpectIdleFrame(w);
}

TEST_F(ReverbLiveTest, TheDeviceCapturesTheStimulusLoopedBackAtItsOwnRate)
{
    // At the 4000 Hz the device really samples at, channel 3 hears the sound output; the
    // simulator's clock moves only when told, so the whole stimulus is queued before it is heard.
    TReverb* w = Prepare(1.0f);
    ASSERT_NE(w, nullptr);
    std::string error;
    ASSERT_TRUE(kdrsim::ConfigureSources("3=loopback", &error)) << error;
    kdrsim::UseTestClock(true);
    frame->Settings.Reverb.InputChannel = 3;
    w->PrepareTest(TPcmFormat(4000, 1, 3), TPcmFormat(48000, 1, 2));
    w->PlayThroughSoundCard();
    // Played all but the sound card's last period, which is silence.
    const auto played = static_cast<std::uintmax_t>((6.4f * 1.1f - 0.1f) * 48000) * 2;
    for (int i = 0; i < 500 && !(std::filesystem::exists(soundFile) && std::filesystem::file_size(soundFile) >= played); ++i)
        usleep(10000);
    ASSERT_GE(std::filesystem::file_size(soundFile), played);
    w->StartCapture();
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(2000));
    for (int ms = 0; ms < 7200; ms += 400) {
        kdrsim::AdvanceClock(400);
        ASSERT_TRUE(kdrsim::WaitUntilDelivered(2000));
    }
    frame->InputDevice->StopInput();
    w->CollectCapture();
    TWaveData* capture = w->Analysis().capture.get();
    ASSERT_NE(capture, nullptr);
    // RMS in dB re full scale of a stretch of the capture.
    auto level = [&](double from, double to) {
        double sum = 0;
        const DWORD a = capture->SecondsToFrames(static_cast<float>(from)), b = capture->SecondsToFrames(static_cast<float>(to));
        for (DWORD i = a; i < b; ++i) {
            const double v = capture->GetSample(i, 0, false) / 8388607.0;
            sum += v * v;
        }
        return 10 * std::log10(sum / (b - a) + 1e-30);
    };
    EXPECT_LT(level(0.1, 0.75), -100.0);                         // lead-in: the device's dither
    EXPECT_NEAR(level(0.82, 0.88), 20 * std::log10(0.25 / std::sqrt(2.0)), 1.0); // the tone
    EXPECT_LT(level(0.95, 1.35), -100.0);                        // the gap
    EXPECT_GT(level(1.5, 5.3), -40.0);                           // the pink noise
    EXPECT_LT(level(5.5, 7.0), -100.0);                          // silence for the decay
    w->StopTest();
    ExpectIdleFrame(w);
    AfxPumpMessages(20); // the end of playback finds no test
    EXPECT_EQ(w->GetViewMode(), 0u);
}
