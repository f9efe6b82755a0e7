// What the utility windows show before anything is measured, and how their warnings stand out
// from the window's background.
#include "FrameFixture.h"

#include "platform/ui/GdiWindowDC.h"
#include "res/resource.h"
#include "utilities/CAnalysisView.h"
#include "utilities/TTHDFreq.h"
#include "wave/TWaveFile.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <vector>

#include <string>

using namespace frametest;

namespace {
class UtilityReadout : public FrameFixture {};

// WCAG 2's contrast ratio of two colours from their relative luminance.
double Contrast(COLORREF a, COLORREF b)
{
    auto luminance = [](COLORREF c) {
        double sum = 0.0;
        const double weights[3] = {0.2126, 0.7152, 0.0722};
        const int values[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
        for (int i = 0; i < 3; ++i) {
            const double s = values[i] / 255.0;
            sum += weights[i] * (s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4));
        }
        return sum;
    };
    const double la = luminance(a), lb = luminance(b);
    return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}
} // namespace

// Before a run no row has a spectrum to read: no row claims a peak at 0 Hz or a level of
// -999 dB. After a post-process run of a file on channel 0 its row and composite A's read.
TEST_F(UtilityReadout, RowsWithNoDataShowNoNumber)
{
    ASSERT_NE(Start(), nullptr);
    frame->OnUtilityPeakFreq();
    frame->OnUtilityTotalPower();
    frame->OnUtilityTHDN();
    const std::vector<CAnalysisView*> views = {frame->PeakFreqView.get(), frame->TotalPowerView.get(),
                                               frame->THDNView.get()};
    for (CAnalysisView* view : views) {
        ASSERT_NE(view, nullptr);
        CDataGrid* grid = view->GetGrid();
        ASSERT_GT(grid->GetRowCount(), 1);
        for (WORD r = 1; r < grid->GetRowCount(); ++r)
            EXPECT_STREQ(grid->GetCellText(r, 1), "") << grid->GetCellText(r, 0);
    }

    frame->SetModePostProcess(false);
    ASSERT_EQ(std::system(("sox -n -r 4000 -b 16 -c 1 '" + Data("wave/tone.wav") + "' synth 3 sine 750 vol 0.5").c_str()), 0);
    auto* file = new TWaveFile(Data("wave/tone.wav"), 0, false, Data("temp"));
    ASSERT_FALSE(file->IsError());
    frame->Settings.Files[0].File.reset(file);
    frame->Settings.Processing[0].SampleFormat = file->GetFormat();
    CompositeChannelSettings& a = frame->Settings.Composite[0];
    a.bIsEnabled = 1;
    a.CompositeType = 0;
    a.IncludeInAverage[0] = 1;
    frame->ExecuteCommand(ID_RUN);
    for (int i = 0; i < 5000 && frame->PostProcessBusy; ++i)
        frame->PostProcessStep();
    ASSERT_FALSE(frame->PostProcessBusy);
    CDataGrid* grid = frame->PeakFreqView->GetGrid();
    ASSERT_EQ(grid->GetRowCount(), 3);
    EXPECT_NEAR(std::atof(grid->GetCellText(1, 1)), 750.0, 4.0);
    EXPECT_STREQ(grid->GetCellText(2, 0), "A Ch A");
    EXPECT_NEAR(std::atof(grid->GetCellText(2, 1)), 750.0, 4.0);
}

// The THD+N window's "signal too low" warning is drawn red and readable (4.5:1, WCAG's level for
// text) on the default black background and on light and dark ones: the text's own colour
// stands in the pane's middle where the message is, and stands out from the background.
TEST_F(UtilityReadout, TheThdNWarningReadsOnItsBackground)
{
    ASSERT_NE(Start(), nullptr);
    frame->OnUtilityTHDFreq();
    TTHDFreq* w = frame->THDFreqWnd;
    ASSERT_NE(w, nullptr);
    w->Analysis().tooLow = 1;
    ASSERT_EQ(w->StatusText(), "The signal is too low for accurate results (<-40dBfs). Check the cables and signal level.");
    for (COLORREF back : {RGB(0, 0, 0), RGB(255, 255, 224), RGB(0, 0, 128)}) {
        frame->Settings.ThdFreq.BackgroundColor = back;
        w->Invalidate();
        w->UpdateWindow();
        AfxPumpMessages();
        const COLORREF text = w->StatusColor();
        const CRect pane = w->GetPaneRectA();
        CClientDC dc(w);
        int drawn = 0;
        for (int y = pane.CenterPoint().y - 12; y < pane.CenterPoint().y + 12; ++y)
            for (int x = pane.left; x < pane.right; ++x) {
                // The text's core and its softened edges nearest it.
                const COLORREF c = dc.GetPixel(x, y);
                drawn += std::abs(GetRValue(c) - GetRValue(text)) <= 40 && std::abs(GetGValue(c) - GetGValue(text)) <= 40 &&
                                 std::abs(GetBValue(c) - GetBValue(text)) <= 40
                             ? 1
                             : 0;
            }
        EXPECT_GT(drawn, 100) << std::hex << back;
        EXPECT_GE(Contrast(text, back), 4.5) << std::hex << back << " " << text;
        EXPECT_GT(GetRValue(text), 2 * GetGValue(text)) << std::hex << back << " " << text;
    }
}

// SINAD, tachometer RPM and sound power have no button: a configuration that lists them open
// under [PlotStatus], here the start-up one, opens them, as the README tells.
TEST_F(UtilityReadout, WindowsWithoutAButtonOpenFromTheirConfigurationKeys)
{
    {
        std::ofstream cfg(Data("Durnex.cfg"));
        cfg << "[PlotStatus]\nUtilitySINAD=1\nUtilityRPM=1\nUtilitySoundPower=1\n";
    }
    ASSERT_NE(Start(), nullptr);
    EXPECT_NE(frame->SINADView, nullptr);
    EXPECT_NE(frame->RPMView, nullptr);
    EXPECT_NE(frame->SoundPowerView, nullptr);
    EXPECT_EQ(frame->LeqView, nullptr);
}
