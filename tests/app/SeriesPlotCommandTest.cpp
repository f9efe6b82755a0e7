// The time-series plot's own commands reach the frame's edit and playback work on the
// channel's file: the plot sends its selection, the frame acts on it.
#include "FilesFrameFixture.h"

#include "plots/CToolBtn.h"
#include "res/resource.h"

using namespace filesframe;

namespace {

class SeriesPlotCommands : public FilesFrame {
protected:
    TWaveFile* StartWithFile()
    {
        if (Start() == nullptr)
            return nullptr;
        frame->Settings.FileIO.WaveFileMode = 1;
        frame->Settings.FileIO.MakeBackup = 1;
        if (!WriteWave(Data("wave/s.wav"), 8000, original) || !OpenChannel(0, Data("wave/s.wav")))
            return nullptr;
        return frame->Settings.Files[0].File.get();
    }
    const std::vector<int> original{100, -100, 200, -200, 300, -300, 400, -400};
};

constexpr float kFrame = 1.0f / 8000.0f;

} // namespace

TEST_F(SeriesPlotCommands, ThePlotsMuteSilencesItsSelectionInTheFile)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    TSeriesPlot* plot = Select(0, 2 * kFrame, 6 * kFrame);
    ASSERT_NE(plot, nullptr);
    plot->SendMessage(WM_COMMAND, TSeriesPlot::kMute, 0);
    EXPECT_EQ(Samples(file), (std::vector<long>{100, -100, 0, 0, 0, 0, 400, -400}));
    AnswerNoOnClose();
}

TEST_F(SeriesPlotCommands, SelectAllThroughThePlotSelectsTheWholeFile)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    frame->OpenTimeSeriesPlot(0);
    TSeriesPlot* plot = frame->TimeSeriesPlot[0];
    ASSERT_NE(plot, nullptr);
    frame->MDIActivate(plot);
    plot->SendMessage(WM_COMMAND, TSeriesPlot::kSelectAll, 0);
    float start = -1.0f, end = -1.0f;
    plot->GetSelectedSegment(start, end);
    EXPECT_FLOAT_EQ(start, 0.0f);
    EXPECT_FLOAT_EQ(end, 8 * kFrame);
    // Cutting everything leaves an empty file: no sample stays behind.
    frame->ExecuteCommand(ID_EDIT_CUT);
    EXPECT_TRUE(Samples(file).empty());
    AnswerNoOnClose();
}

// The Play button plays the selection through the frame; when the frame can't play it (the
// output is the device, which says so) the button springs back.
TEST_F(SeriesPlotCommands, PlayTheSelectionOrSpringBack)
{
    ASSERT_NE(StartWithFile(), nullptr);
    TSeriesPlot* plot = Select(0, 0.0f, 4 * kFrame);
    ASSERT_NE(plot, nullptr);
    frame->Settings.UseSoundCardForOutput = 0;
    user.ExpectBox(IDOK, "Please check the cabling and retry.");
    plot->SendMessage(WM_COMMAND, TSeriesPlot::kPlay, 0);
    EXPECT_FALSE(plot->GetButton(TSeriesPlot::kPlay)->IsPressed());
    EXPECT_FALSE(frame->Playing);
}
