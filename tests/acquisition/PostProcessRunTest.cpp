// Post Process runs over the channels' files: the user's update interval paces the steps, a
// composite whose member file has ended is left alone, a run refused for its composite settings
// opens the settings, and the level meters follow every step.
#include "app/FilesFrameFixture.h"

#include "app/CStatusbar.h"
#include "dialogs/COptionsMain.h"
#include "dsp/SpectralData.h"
#include "res/resource.h"
#include "wave/TSampleBuffer.h"

#include <chrono>

namespace {

using filesframe::FilesFrame;
using filesframe::WriteWaveOf;

class PostProcessRun : public FilesFrame {
protected:
    // The channel's file: `frames` of a 500 Hz sine at 4000 Hz; FFT 1024 without overlap, so
    // a step advances it by 1024 frames; averages counted without limit.
    void OpenSine(int channel, int frames, double amplitude = 8000.0)
    {
        const std::string path = Data("wave/ch" + std::to_string(channel) + ".wav");
        ASSERT_TRUE(WriteWaveOf(path, 4000, frames, std::to_string(amplitude) + " * math.sin(2 * math.pi * 500 * i / 4000)"));
        ChannelProcessingSettings& p = frame->Settings.Processing[channel];
        p.FFTsize = 1024;
        p.DecimationRatio = 1;
        p.OverlapPercent = 0;
        p.AverageMode = 0;
        p.AverageType = 0;
        p.AverageBlocks = 1000000;
        ASSERT_TRUE(OpenChannel(channel, path));
    }
    void PumpFor(int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (frame->PostProcessBusy && std::chrono::steady_clock::now() < end)
            AfxPumpMessages(20);
    }
};

} // namespace

TEST_F(PostProcessRun, TheUpdateIntervalPacesTheSteps)
{
    ASSERT_NE(Start(), nullptr);
    for (auto& c : frame->Settings.Composite)
        c.bIsEnabled = 0;
    OpenSine(0, 64 * 1024 + 100); // 64 steps
    RunControlSettings& run = frame->Settings.RunControl;
    run.UpdateIntervalFlag = 1;
    run.UpdateIntervalMsec = 500;
    EXPECT_EQ(frame->PostProcessIntervalMs(), 500u);
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->PostProcessBusy);
    // The first step 10 ms after the start, then one each 500 ms: never more than 4 in 1.6 s.
    PumpFor(1600);
    EXPECT_GE(frame->FftsProcessed, 1);
    EXPECT_LE(frame->FftsProcessed, 4);
    frame->ExecuteCommand(ID_STOP);
    EXPECT_FALSE(frame->PostProcessBusy);

    // Without the flag, 10 ms: the rest of the file goes by.
    run.UpdateIntervalFlag = 0;
    frame->ExecuteCommand(ID_RUN);
    PumpFor(20000);
    EXPECT_FALSE(frame->PostProcessBusy);
    EXPECT_EQ(frame->Settings.Files[0].File->GetPosition(), frame->Settings.Files[0].File->GetEndFrame());

    // The interval stays within 10 ms and 10 s.
    EXPECT_EQ(frame->PostProcessIntervalMs(), 10u);
    run.UpdateIntervalFlag = 1;
    run.UpdateIntervalMsec = 5;
    EXPECT_EQ(frame->PostProcessIntervalMs(), 10u);
    run.UpdateIntervalMsec = 60000;
    EXPECT_EQ(frame->PostProcessIntervalMs(), 10000u);
}

TEST_F(PostProcessRun, ACompositeWhoseMemberFileEndedIsNoLongerComputed)
{
    ASSERT_NE(Start(), nullptr);
    for (auto& c : frame->Settings.Composite)
        c.bIsEnabled = 0;
    OpenSine(0, 8000); // blocks at 0, 1024, ... 6144: 7 steps
    OpenSine(1, 4000); // blocks at 0, 1024, 2048: 3 steps
    CompositeChannelSettings& sum = frame->Settings.Composite[0];
    sum.bIsEnabled = 1;
    sum.CompositeType = 0;
    sum.IncludeInAverage[0] = sum.IncludeInAverage[1] = 1;
    CompositeChannelSettings& tf = frame->Settings.Composite[1];
    tf.bIsEnabled = 1;
    tf.CompositeType = 3;
    tf.ReferenceChannel = 0;
    tf.TransferChannel = 1;
    frame->OpenCompositeSpectrumPlot(0);
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->PostProcessBusy);
    for (int i = 0; i < 20 && frame->PostProcessBusy; ++i)
        frame->PostProcessStep();
    EXPECT_FALSE(frame->PostProcessBusy);
    EXPECT_EQ(frame->FftsProcessed, 7);
    EXPECT_EQ(frame->Spectral[0]->GetAverageCount(), 7);
    EXPECT_EQ(frame->Spectral[1]->GetAverageCount(), 3);
    // Both composites stopped with channel 1's file.
    EXPECT_EQ(frame->CompositeSpectral[0][2]->GetAverageCount(), 3);
    EXPECT_EQ(frame->CompositeSpectral[1][2]->GetAverageCount(), 3);
    EXPECT_FALSE(frame->CompositeSourcesHaveData(0));
    EXPECT_FALSE(frame->CompositeSourcesHaveData(16));
}

TEST_F(PostProcessRun, ARunRefusedForItsCompositesOpensTheSettings)
{
    ASSERT_NE(Start(), nullptr);
    OpenSine(0, 8000);
    for (auto& c : frame->Settings.Composite)
        c.bIsEnabled = 0;
    CompositeChannelSettings& c = frame->Settings.Composite[0];
    c.bIsEnabled = 1;
    c.CompositeType = 1;
    c.ReferenceChannel = 0;
    c.TransferChannel = 1;
    frame->Settings.Processing[1].FFTsize = 2048;
    user.ExpectBox(IDOK, "Composite Channel A: The Transfer Channel and Reference Channels must use the same FFT size.");
    user.ExpectBox(IDYES, "advanced users");
    bool opened = false;
    CDialog::ScriptModal([&opened](CWnd& w) {
        opened = true;
        static_cast<COptionsMain&>(w).EndDialog(IDCANCEL);
    });
    frame->ExecuteCommand(ID_RUN);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(frame->PostProcessBusy);
    EXPECT_EQ(frame->Settings.Files[0].File->GetPosition(), 0u);
}

TEST_F(PostProcessRun, TheLevelMetersFollowEveryStep)
{
    ASSERT_NE(Start(), nullptr);
    for (auto& c : frame->Settings.Composite)
        c.bIsEnabled = 0;
    // Quiet for two blocks, then loud.
    const std::string path = Data("wave/steps.wav");
    ASSERT_TRUE(WriteWaveOf(path, 4000, 8192, "(1000 if i < 2048 else 30000) * math.sin(2 * math.pi * 500 * i / 4000)"));
    ChannelProcessingSettings& p = frame->Settings.Processing[0];
    p.FFTsize = 1024;
    p.DecimationRatio = 1;
    p.OverlapPercent = 0;
    ASSERT_TRUE(OpenChannel(0, path));
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->PostProcessBusy);
    CStatusbar* bar = frame->StatusBar.get();
    ASSERT_NE(bar, nullptr);
    int levels[4] = {};
    for (int step = 0; step < 4; ++step) {
        frame->PostProcessStep();
        levels[step] = int(frame->SampleBuffer[0]->GetPeakLevelPercent());
        EXPECT_EQ(bar->Levels[0], levels[step]) << step;
    }
    EXPECT_GT(levels[0], 0);
    EXPECT_GT(levels[2], levels[1]); // the meter rose with the loud blocks, mid-run
    frame->ExecuteCommand(ID_STOP);
}
