// What the utility windows show before anything is measured, and how their warnings stand out
// from the window's background.
#include "FrameFixture.h"

#include "res/resource.h"
#include "utilities/CAnalysisView.h"
#include "wave/TWaveFile.h"

#include <cstdlib>
#include <vector>

#include <string>

using namespace frametest;

namespace {
class UtilityReadout : public FrameFixture {};
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
