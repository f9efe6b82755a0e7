// The plot options sheet on its own working arrays: the channel walk and its refusals, the
// last channel that has no list entry, copying to all channels, the composite sheet, the
// pages' checks, and the marker dialog that writes nothing unless its OK succeeds.
#include "plots/CPlotOptionsMain.h"
#include "plots/TMarkerOptionsDialog.h"
#include "platform/core/Resources.h"
#include "platform/dialogs/DialogTestSupport.h"
#include "res/PlotOptionsDialogIds.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace dlgtest;

namespace {
std::string Text(const CWnd& w, int id)
{
    std::string s;
    static_cast<const CDialog&>(w).GetDlgItemText(id, s);
    return s;
}

void Set(CWnd& w, int id, const char* text) { static_cast<CDialog&>(w).SetDlgItemText(id, text); }

bool Enabled(CWnd& w, int id) { return w.GetDlgItem(id)->IsWindowEnabled() != FALSE; }

CComboBox* List(CWnd& sheet) { return static_cast<CComboBox*>(sheet.GetDlgItem(IDC_PLOTOPTS_CHANNEL)); }

class PlotOptionsSheet : public TemplateDialogTest {
protected:
    INT_PTR Run(int kind, int channel, bool composite = false, const WORD* scales = nullptr)
    {
        CPlotOptionsMain sheet(composite ? "Composite Plot Options" : "Plot Options", nullptr, kind, channel,
                               series, spectrum, markers, phase, spectrogram, surface, composite ? 1 : 0);
        if (scales)
            sheet.SetAmpScaleTypes(scales, composite ? 16 : 8);
        return sheet.DoModal();
    }

    ScriptedUser user;
    TimeSeriesPlotSettings series[8];
    SpectrumPlotSettings spectrum[16];
    MarkerSettings markers[16];
    PhasePlotSettings phase[16];
    SpectrogramPlotSettings spectrogram[16];
    SurfacePlotSettings surface[16];
};
} // namespace

TEST_F(PlotOptionsSheet, TheWalkStoresEveryPageAndStopsOnAPageThatRefuses)
{
    spectrum[3].PlotTop = -20.0f;
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        EXPECT_EQ(s.GetWindowTextString(), "Plot Options");
        EXPECT_EQ(s.GetPageCount(), 5);
        EXPECT_EQ(s.GetActivePage(), &s.m_SpectrumPage);
        ASSERT_EQ(List(s)->GetCount(), 7);
        EXPECT_EQ(List(s)->GetCurSel(), 2);
        std::string entry;
        List(s)->GetLBText(2, entry);
        EXPECT_EQ(entry, "Channel - Throat");

        Set(s.m_SpectrumPage, IDC_PO_TOP, "-10.5");
        Click(s, IDC_PLOTOPTS_NEXT);
        EXPECT_EQ(s.GetChannel(), 3);
        EXPECT_EQ(Text(s.m_SpectrumPage, IDC_PO_TOP), "-20.00");

        // A refused field on a page not showing: its message, its page, and no walk.
        Set(s.m_PhasePage, IDC_PO_TOP, "-180");
        user.ExpectBox(IDOK, "Plot Top must be between -180.00 and 180.00");
        Click(s, IDC_PLOTOPTS_NEXT);
        EXPECT_EQ(s.GetChannel(), 3);
        EXPECT_EQ(List(s)->GetCurSel(), 3);
        EXPECT_EQ(s.GetActivePage(), &s.m_PhasePage);

        Set(s.m_PhasePage, IDC_PO_TOP, "90");
        for (int i = 0; i < 3; ++i)
            Click(s, IDC_PLOTOPTS_PREV);
        EXPECT_EQ(s.GetChannel(), 0);
        EXPECT_FALSE(Enabled(s, IDC_PLOTOPTS_PREV));
        EXPECT_TRUE(Enabled(s, IDC_PLOTOPTS_NEXT));
        Click(s, IDOK);
    });
    ASSERT_EQ(Run(2, 2), IDOK);
    EXPECT_FLOAT_EQ(spectrum[2].PlotTop, -10.5f);
    EXPECT_FLOAT_EQ(spectrum[3].PlotTop, -20.0f);
    EXPECT_FLOAT_EQ(phase[3].PlotTop, 90.0f);
    EXPECT_EQ(user.Shown().size(), 1u);
}

TEST_F(PlotOptionsSheet, TheLastChannelHasNoEntryButWalksInsideTheArraysAndCopiesReachIt)
{
    markers[0].Freq[0] = 123.0f;
    // Prev from channel 7 goes to the last entry, Next to the first.
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        EXPECT_EQ(s.GetActivePage(), &s.m_PhasePage);
        EXPECT_EQ(s.GetChannel(), 7);
        EXPECT_EQ(List(s)->GetCurSel(), CB_ERR);
        EXPECT_TRUE(Enabled(s, IDC_PLOTOPTS_PREV));
        EXPECT_TRUE(Enabled(s, IDC_PLOTOPTS_NEXT));
        Click(s, IDC_PLOTOPTS_PREV);
        EXPECT_EQ(s.GetChannel(), 6);
        EXPECT_FALSE(Enabled(s, IDC_PLOTOPTS_NEXT));
        Click(s, IDC_PLOTOPTS_NEXT);
        EXPECT_EQ(s.GetChannel(), 6);
        Click(s, IDCANCEL);
    });
    EXPECT_EQ(Run(3, 7), IDCANCEL);

    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        Set(s.m_PhasePage, IDC_PO_TOP, "45");
        Click(s.m_PhasePage, IDC_PO_COPY_ALL);
        for (int ch = 0; ch < 8; ++ch)
            EXPECT_FLOAT_EQ(phase[ch].PlotTop, 45.0f) << ch;
        Click(s, IDC_PLOTOPTS_NEXT);
        EXPECT_EQ(s.GetChannel(), 0);
        EXPECT_EQ(Text(s.m_PhasePage, IDC_PO_TOP), "45.00");
        // The spectrum page copies its record, never the markers.
        s.SetActivePage(&s.m_SpectrumPage);
        Set(s.m_SpectrumPage, IDC_PO_TOP, "-33");
        Click(s.m_SpectrumPage, IDC_PO_COPY_ALL);
        Click(s, IDOK);
    });
    ASSERT_EQ(Run(3, 7), IDOK);
    for (int ch = 0; ch < 8; ++ch)
        EXPECT_FLOAT_EQ(spectrum[ch].PlotTop, -33.0f) << ch;
    EXPECT_FLOAT_EQ(spectrum[8].PlotTop, SpectrumPlotSettings().PlotTop); // past the channel sheet's arrays
    EXPECT_FLOAT_EQ(markers[0].Freq[0], 123.0f);
    EXPECT_FLOAT_EQ(markers[7].Freq[0], 0.0f);
}

TEST_F(PlotOptionsSheet, TheCompositeSheetHasFourPagesSixteenChannelsAndItsSourcesScale)
{
    WORD scales[16] = {};
    scales[12] = 2; // log magnitude
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        EXPECT_EQ(s.GetWindowTextString(), "Composite Plot Options");
        EXPECT_EQ(s.GetPageCount(), 4);
        EXPECT_EQ(s.GetActivePage(), &s.m_SpectrogramPage);
        EXPECT_EQ(List(s)->GetCount(), 16);
        EXPECT_EQ(List(s)->GetCurSel(), 12);
        CPlotOptionsSpectrogram& p = s.m_SpectrogramPage;
        EXPECT_EQ(Text(p, IDC_PO_RANGE_LABEL), "Plot Bottom");
        // The dB levels of the records are no log-magnitude levels: the boxes show the axis
        // the windows draw, and a surface's small bottom keeps its digits.
        EXPECT_EQ(Text(p, IDC_PO_TOP), "10.00000");
        EXPECT_EQ(Text(p, IDC_PO_RANGE), "0.000001");
        EXPECT_EQ(Text(s.m_SurfacePage, IDC_PO_RANGE), "0.000001");
        EXPECT_EQ(Text(s.m_SpectrumPage, IDC_PO_RANGE), "0.000000001");
        // Log magnitude: the arrows double and halve.
        Set(p, IDC_PO_TOP, "3");
        TLimitScroll* spin = p.Spin(IDC_PO_TOP_SPIN);
        ASSERT_NE(spin, nullptr);
        p.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), reinterpret_cast<LPARAM>(spin->GetSafeHwnd()));
        EXPECT_EQ(Text(p, IDC_PO_TOP), "6.00000");
        Click(p, IDC_PO_GRAY_SCALE);
        Click(s.m_SurfacePage, IDC_PO_GRAY_SCALE);
        Set(s.m_SpectrumPage, IDC_PO_TOP, "-12");
        s.SetActivePage(&s.m_SpectrumPage);
        EXPECT_EQ(Text(s.m_SpectrumPage, IDC_PO_RANGE_LABEL), "Plot Bottom");
        Click(s.m_SpectrumPage, IDC_PO_COPY_ALL);
        Click(s, IDOK);
    });
    ASSERT_EQ(Run(4, 12, true, scales), IDOK);
    // "Gray Scale" is 1 in a spectrogram record and 3 in a surface record.
    EXPECT_EQ(spectrogram[12].ColorMode, 1);
    EXPECT_EQ(surface[12].ColorMode, 3);
    EXPECT_FLOAT_EQ(spectrogram[12].PlotTop, 6.0f);
    EXPECT_FLOAT_EQ(surface[12].PlotRange, 1e-6f);
    EXPECT_DOUBLE_EQ(spectrum[12].PlotRange, 1e-9);
    for (int c = 0; c < 16; ++c)
        EXPECT_FLOAT_EQ(spectrum[c].PlotTop, -12.0f) << c;
}

TEST_F(PlotOptionsSheet, OkStopsOnEachRefusedFieldAndKeepsWhatWasReadBeforeIt)
{
    series[0].AmpScaleType = 0;
    series[0].PlotTop = 10.0f;
    WORD linear[8] = {};
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        CPlotOptionsSeries& t = s.m_SeriesPage;
        // A linear top lies above -1e7 however the page came to linear.
        Set(t, IDC_PO_TOP, "-2e7");
        user.ExpectBox(IDOK, "Plot Top must be between -10000000.00 and 10000000.00");
        Click(s, IDOK);
        EXPECT_EQ(s.GetActivePage(), &t);
        Click(t, IDC_PO_LOG);
        EXPECT_TRUE(Enabled(t, IDC_PO_RANGE));
        EXPECT_FALSE(Enabled(t, IDC_PO_CENTER));
        Click(t, IDC_PO_LINEAR);
        EXPECT_EQ(Text(t, IDC_PO_RANGE), "N/A");
        Set(t, IDC_PO_TOP, "0");
        Set(t, IDC_PO_CENTER, "0");
        Set(t, IDC_PO_START_TIME, "0");
        Set(t, IDC_PO_STOP_TIME, "0");
        user.ExpectBox(IDOK, "Start Time must be less than the Stop Time");
        Click(s, IDOK);
        Set(t, IDC_PO_STOP_TIME, "2");

        CPlotOptionsSpectrum& p = s.m_SpectrumPage;
        EXPECT_EQ(Text(p, IDC_PO_RANGE), "N/A");
        Set(p, IDC_PO_TOP, "1e9"); // typed by hand: not bounded
        Click(p, IDC_PO_SPECIFIC);
        Set(p, IDC_PO_INTERVAL, "3600.5");
        Click(p, IDC_PO_POWER_METER);
        user.ExpectBox(IDOK, "Update Interval must be greater than zero and less than 3600 seconds.");
        Click(s, IDOK);
        EXPECT_EQ(s.GetActivePage(), &p);
        EXPECT_FLOAT_EQ(spectrum[0].PlotTop, 1e9f);
        EXPECT_EQ(spectrum[0].ShowPowerMeter, 1); // after the refused interval: not read
        Set(p, IDC_PO_INTERVAL, "3600");

        // The full span disables the boxes but their values are still checked.
        CPlotOptionsSpectrogram& g = s.m_SpectrogramPage;
        EXPECT_FALSE(Enabled(g, IDC_PO_STOP_FREQ));
        Set(g, IDC_PO_STOP_FREQ, "-5");
        user.ExpectBox(IDOK, "Stop Frequency must be greater than zero");
        Click(s, IDOK);
        EXPECT_EQ(s.GetActivePage(), &g);
        Set(g, IDC_PO_STOP_FREQ, "1300");
        Click(s, IDOK);
    });
    spectrogram[0].UseFullSpan = 1;
    ASSERT_EQ(Run(1, 0, false, linear), IDOK);
    EXPECT_EQ(series[0].AmpScaleType, 0);
    EXPECT_FLOAT_EQ(series[0].PlotTop, 0.0f);
    EXPECT_FLOAT_EQ(series[0].PlotCenter, 0.0f);
    EXPECT_FLOAT_EQ(series[0].StopTime, 2.0f);
    EXPECT_EQ(spectrum[0].PlotRange, 0.0); // "N/A" reads as 0
    EXPECT_EQ(spectrum[0].ShowPowerMeter, 0);
    EXPECT_EQ(spectrum[0].IntervalFlag, 1);
    EXPECT_FLOAT_EQ(spectrum[0].IntervalSecs, 3600.0f);
    EXPECT_FLOAT_EQ(spectrogram[0].StopFreq, 1300.0f);
    EXPECT_EQ(spectrogram[0].UseFullSpan, 1);
}

TEST_F(PlotOptionsSheet, TheMarkerDialogWritesItsRecordOnlyWhenOkSucceeds)
{
    MarkerSettings m;
    m.Enabled[0] = 1;
    m.Freq[0] = 100.0f;
    m.LabelType[0] = 4;
    std::strcpy(m.CustomLabel[0], "Old");
    m.Freq[4] = 500.0f;
    const MarkerSettings before = m;
    CDialog::ScriptModal([&](CWnd& d) {
        EXPECT_EQ(d.GetWindowTextString(), "Marker Options");
        EXPECT_TRUE(Enabled(d, kMarkerCustomFirstId + 0));
        EXPECT_FALSE(Enabled(d, kMarkerFreqFirstId + 1));
        Click(d, kMarkerEnabledFirstId + 1);
        EXPECT_TRUE(Enabled(d, kMarkerFreqFirstId + 1));
        EXPECT_FALSE(Enabled(d, kMarkerCustomFirstId + 1));
        Pick(d, kMarkerLabelFirstId + 1, 4);
        EXPECT_TRUE(Enabled(d, kMarkerCustomFirstId + 1));
        EXPECT_FALSE(Enabled(d, kMarkerCustomFirstId + 2));
        Set(d, kMarkerFreqFirstId + 0, "250");
        Set(d, kMarkerFreqFirstId + 1, "300");
        Click(d, kMarkerEnabledFirstId + 4);
        Set(d, kMarkerFreqFirstId + 4, "0");
        user.ExpectBox(IDOK, "Marker Frequency must be greater than zero");
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    {
        TMarkerOptionsDialog dialog(nullptr, &m);
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    }
    EXPECT_EQ(std::memcmp(&m, &before, sizeof m), 0);

    CDialog::ScriptModal([&](CWnd& d) {
        Set(d, kMarkerCustomFirstId + 0, std::string(40, 'x').c_str());
        Set(d, kMarkerFreqFirstId + 4, "0"); // disabled: not read
        Click(d, kMarkerEnabledFirstId + 1);
        Set(d, kMarkerFreqFirstId + 1, "abc");
        user.ExpectBox(IDOK, "Marker 2 Frequency: \"abc\" is not a number.  Please enter a number.");
        Click(d, IDOK);
        Set(d, kMarkerFreqFirstId + 1, "1000Hz");
        user.ExpectBox(IDOK, "Marker 2 Frequency: \"1000Hz\" is not a number.  Please enter a number.");
        Click(d, IDOK);
        Set(d, kMarkerFreqFirstId + 1, "1e3");
        Click(d, IDC_MARKER_PEAK_HOLD);
        Click(d, IDOK);
    });
    {
        TMarkerOptionsDialog dialog(nullptr, &m);
        EXPECT_EQ(dialog.DoModal(), IDOK);
    }
    EXPECT_EQ(std::string(m.CustomLabel[0]), std::string(29, 'x'));
    EXPECT_EQ(m.Enabled[1], 1u);
    EXPECT_FLOAT_EQ(m.Freq[1], 1000.0f);
    EXPECT_EQ(m.Enabled[4], 0u);
    EXPECT_FLOAT_EQ(m.Freq[4], 500.0f);
    EXPECT_EQ(m.MarkPeakHoldFlag, 1);
}

// A plot box's number is its whole text: "1000abc" or "2k" is no 1000 or 2 but a refusal that
// names the box, on its page, with the record left as it was.
TEST_F(PlotOptionsSheet, TypedNumbersAreWholeTextsOrRefusedByName)
{
    spectrum[0].PlotTop = -20.0f;
    spectrum[0].StartFreq = 10.0f;
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        CPlotOptionsSpectrum& p = s.m_SpectrumPage;
        const struct {
            CPlotOptionsPage* page;
            int id;
            const char* text;
            const char* message;
        } cases[] = {
            {&p, IDC_PO_TOP, "10dB", "Plot Top: \"10dB\" is not a number.  Please enter a number."},
            {&p, IDC_PO_START_FREQ, "2k", "Start Frequency: \"2k\" is not a number.  Please enter a number."},
            {&p, IDC_PO_STOP_FREQ, "4,000", "Stop Frequency: \"4,000\" is not a number.  Please enter a number."},
            {&s.m_PhasePage, IDC_PO_RANGE, "90deg", "Plot Range: \"90deg\" is not a number.  Please enter a number."},
            {&s.m_SeriesPage, IDC_PO_STOP_TIME, "1e400", "Stop Time: \"1e400\" is not a number.  Please enter a number."},
        };
        for (const auto& c : cases) {
            std::string before;
            static_cast<CDialog&>(*c.page).GetDlgItemText(c.id, before);
            Set(*c.page, c.id, c.text);
            user.ExpectBox(IDOK, c.message);
            Click(s, IDOK);
            EXPECT_EQ(s.GetActivePage(), c.page) << c.text;
            Set(*c.page, c.id, before.c_str());
        }
        EXPECT_FLOAT_EQ(spectrum[0].PlotTop, -20.0f);
        EXPECT_FLOAT_EQ(spectrum[0].StartFreq, 10.0f);
        Set(p, IDC_PO_START_FREQ, " 2e3 ");
        Set(p, IDC_PO_STOP_FREQ, "4000");
        Click(s, IDOK);
    });
    ASSERT_EQ(Run(1, 0), IDOK);
    EXPECT_FLOAT_EQ(spectrum[0].StartFreq, 2000.0f);
    EXPECT_FLOAT_EQ(spectrum[0].StopFreq, 4000.0f);
}
