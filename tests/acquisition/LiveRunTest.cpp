// A Real Time run on the simulator: Run starts the device and the timers, every processing tick
// turns the newest block into a spectrum and the composite channels, the run limits stop it,
// the real-time buffer files keep the samples, and Stop joins the device's thread.
#include "LiveRunFixture.h"

#include "acquisition/TUsbDevice.h"
#include "app/CStatusbar.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "wave/TWaveFile.h"
#include "platform/usb/KdrSimulator.h"
#include "res/resource.h"

#include <cmath>
#include <fstream>
#include <vector>

using livetest::LiveRun;

TEST_F(LiveRun, ASineOnChannelZeroReadsBackAtItsFrequencyAndLevel)
{
    Prepare("0=sine:1000:-6");
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    Play(1000);
    EXPECT_GT(frame->FftsProcessed, 5);
    SpectralData* s = frame->Spectral[0];
    ASSERT_NE(s, nullptr);
    int peak = int(s->GetFirstBin());
    for (int b = peak; b <= int(s->GetLastBin()); ++b)
        if (s->GetLevel(b) > s->GetLevel(peak))
            peak = b;
    EXPECT_NEAR(s->GetBinFrequency(UINT(peak)), 1000.0f, 4000.0f / 1024);
    // Full scale is 10 V at the default calibration: -6 dB is 5.012 V peak, 3.544 V RMS.
    const double rms = 10.0 * std::pow(10.0, -6.0 / 20.0) / std::sqrt(2.0);
    EXPECT_NEAR(s->GetLevel(peak), 20.0 * std::log10(rms), 0.05);
    frame->ExecuteCommand(ID_STOP);
    EXPECT_FALSE(frame->AcquisitionRunning);
    EXPECT_FALSE(frame->InputDevice->IsReading());
}

TEST_F(LiveRun, AnFftLimitStopsTheRunAfterExactlyThatManyBlocks)
{
    Prepare("0=noise:-20");
    frame->Settings.RunControl.RunMode = 1;
    frame->Settings.RunControl.FftLimit = 10;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    Play(5000);
    EXPECT_FALSE(frame->AcquisitionRunning);
    EXPECT_EQ(frame->FftsProcessed, 10);
    EXPECT_FALSE(frame->InputDevice->IsReading());
    EXPECT_GE(CMainFrame::ProcessIntervalMs, 10u);
    EXPECT_LE(CMainFrame::ProcessIntervalMs, 100u);
}

TEST_F(LiveRun, TheRealTimeBufferHoldsTheLastSamplesSentInOrderAcrossRingAndFileWraps)
{
    // 2 s of circle (a 3 s buffer) in memory: it wraps at 8192 frames, many times over 64 s,
    // and the device's 60 s ring wraps once on the way.
    const std::vector<std::int32_t> sent = WriteSource("take.wav", 997, "x");
    const std::string take = (root / "take.wav").string();
    Prepare("0=file:" + take + ";3=file:" + take);
    frame->Settings.Device.Channels[3].bIsEnabled = 1;
    frame->Settings.Processing[3] = frame->Settings.Processing[0];
    frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 1;
    frame->Settings.FileIO.WaveFileMode = 0;
    frame->Settings.FileIO.RealTimeWaveBufferLengthSecs = 3;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    Play(64000, 100);
    ASSERT_GT(frame->InputDevice->GetSampleCounter(), frame->InputDevice->GetRingLength());
    frame->ExecuteCommand(ID_STOP);
    ExpectRunSamples(0, sent, 8192);
    ExpectRunSamples(3, sent, 8192);
    EXPECT_EQ(frame->Settings.Files[1].File, nullptr); // not enabled, no buffer
}

TEST_F(LiveRun, AOneSecondBufferOnDiskStillKeepsASecondOfSamples)
{
    const std::vector<std::int32_t> sent = WriteSource("take.wav", 1201, "x");
    Prepare("0=file:" + (root / "take.wav").string());
    frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 1;
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->Settings.FileIO.RealTimeWaveBufferLengthSecs = 1;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    Play(3000);
    frame->ExecuteCommand(ID_STOP);
    ExpectRunSamples(0, sent, 4096);
    // A run that stops before the circle closes keeps what it has, cut to its length.
    frame->Settings.FileIO.WaveFileMode = 0;
    frame->Settings.FileIO.RealTimeWaveBufferLengthSecs = 10;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    Play(2000);
    frame->ExecuteCommand(ID_STOP);
    const DWORD written = DWORD(frame->InputDevice->GetSampleCounter());
    ExpectRunSamples(0, sent, written);
}

TEST_F(LiveRun, TransferFunctionsReadAKnownGainAndDelayAndNoiseIsIncoherent)
{
    // Channel 1 is channel 0 at half the amplitude, 2 samples (0.5 ms) later; 2 and 3 are
    // independent noise.
    const int frames = 40000;
    WriteSource("x.wav", frames, "x");
    WriteSource("y.wav", frames, "[round(0.5 * x[(i - 2) % len(x)]) for i in range(len(x))]");
    Prepare("0=file:" + (root / "x.wav").string() + ";1=file:" + (root / "y.wav").string() +
            ";2=noise:-20;3=noise:-20");
    for (int ch = 0; ch < 4; ++ch) {
        frame->Settings.Device.Channels[ch].bIsEnabled = 1;
        ChannelProcessingSettings& p = frame->Settings.Processing[ch];
        p = frame->Settings.Processing[0];
        p.SmoothingWindow = TSmoothing::kHanning;
        p.AverageType = 1; // linear, so that a composite that lost its averaging slots shows
        p.AverageBlocks = 100;
    }
    frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 0;
    // A: transfer function and coherence, B: real transfer function, C: cross spectrum,
    // D: complex transfer function, all of 1 against 0; E: coherence of 3 against 2.
    const WORD types[5] = {3, 1, 4, 2, 3};
    for (int k = 0; k < 5; ++k) {
        CompositeChannelSettings& c = frame->Settings.Composite[k];
        c.bIsEnabled = 1;
        c.CompositeType = types[k];
        c.ReferenceChannel = k == 4 ? 2 : 0;
        c.TransferChannel = k == 4 ? 3 : 1;
    }
    frame->OpenCompositeSpectrumPlot(0);
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    // Steps of a whole block, so that the blocks averaged hardly overlap.
    Play(40000, 256);
    frame->ExecuteCommand(ID_STOP);
    ASSERT_GT(frame->FftsProcessed, 60);
    const auto A = frame->CompositeSpectral[0];
    ASSERT_NE(A[3], nullptr);
    for (int bin = 20; bin < 480; bin += 23) {
        const double f = A[2]->GetBinFrequency(UINT(bin));
        double phase = -360.0 * f * 0.0005;
        phase -= 360.0 * std::floor((phase + 180.0) / 360.0);
        EXPECT_NEAR(A[3]->GetMagnitudeBuffer()[bin], 1.0, 0.01) << f;   // coherence
        EXPECT_NEAR(A[2]->GetMagnitudeBuffer()[bin], 0.25, 0.01) << f;  // |H|^2 of a gain of 0.5
        EXPECT_NEAR(A[2]->GetPhaseDegrees(bin), phase, 1.0) << f;
        EXPECT_NEAR(frame->CompositeSpectral[1][2]->GetMagnitudeBuffer()[bin], 0.25, 0.01) << f;
        EXPECT_NEAR(frame->CompositeSpectral[2][2]->GetPhaseDegrees(bin), phase, 1.0) << f;
        EXPECT_NEAR(frame->CompositeSpectral[3][2]->GetMagnitudeBuffer()[bin], 0.25, 0.01) << f;
        EXPECT_NEAR(frame->CompositeSpectral[3][2]->GetPhaseDegrees(bin), phase, 1.0) << f;
    }
    const SpectralData* noise = frame->CompositeSpectral[4][3];
    double mean = 0.0;
    for (int bin = 10; bin < 500; ++bin)
        mean += noise->GetMagnitudeBuffer()[bin];
    mean /= 490;
    EXPECT_LT(mean, 0.1);
    // The composite's plot was fed: its trace A is the transfer function.
    ASSERT_NE(frame->CompositeSpectrumPlot[0], nullptr);
}

TEST_F(LiveRun, CompositeChannelsNamingChannelsPastTheEighthAreSkipped)
{
    Prepare("0=noise:-20");
    CompositeChannelSettings& c = frame->Settings.Composite[0];
    c.bIsEnabled = 1;
    c.CompositeType = 2;
    c.ReferenceChannel = 0;
    c.TransferChannel = 9; // from a damaged configuration
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    Play(1000);
    EXPECT_GT(frame->FftsProcessed, 0);
    frame->ExecuteCommand(ID_STOP);
    EXPECT_FALSE(frame->IsChannelInComposite(9, 0));
}

TEST_F(LiveRun, AChannelWaitingForItsFirstBlockIsNotSkipped)
{
    // Channel 0's block is a sixteenth of channel 1's: for the run's first second only channel
    // 0 has a whole block. Channel 1's first block has not arrived yet; nothing was passed over.
    Prepare("0=sine:1000:-6;1=noise:-20");
    frame->Settings.Device.Channels[1].bIsEnabled = 1;
    frame->Settings.Processing[1] = frame->Settings.Processing[0];
    frame->Settings.Processing[0].FFTsize = 256;
    frame->Settings.Processing[1].FFTsize = 4096;
    frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 0;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    Play(300);
    ASSERT_GT(frame->FftsProcessed, 0);
    EXPECT_EQ(frame->SkippedChannels, 0u);
    EXPECT_EQ(frame->StatusBar->StateText(), "Running...");
    EXPECT_EQ(frame->Spectral[1]->GetAverageCount(), 0);
    // Once its block is there, every step reads both.
    Play(1500);
    EXPECT_EQ(frame->SkippedChannels, 0u);
    EXPECT_EQ(frame->StatusBar->StateText(), "Running...");
    EXPECT_GT(frame->Spectral[1]->GetAverageCount(), 0);
    frame->ExecuteCommand(ID_STOP);
}
