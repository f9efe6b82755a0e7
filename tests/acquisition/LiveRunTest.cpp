// A Real Time run on the simulator: Run starts the device and the processing timer, every
// tick turns the newest block into a spectrum, the run limits stop it, and Stop joins the
// device's thread.
#include "app/FrameFixture.h"

#include "acquisition/TUsbDevice.h"
#include "dsp/SpectralData.h"
#include "platform/usb/KdrSimulator.h"
#include "res/resource.h"

#include <cmath>

namespace {

class LiveRun : public frametest::FrameFixture {
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        kdrsim::UseTestClock(true);
    }
    void TearDown() override
    {
        FrameFixture::TearDown();
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
    }
    // Channel 0 alone, FFT 1024, flat-top window, Real Time mode.
    void Prepare(const std::string& sources)
    {
        std::string error;
        ASSERT_TRUE(kdrsim::ConfigureSources(sources, &error)) << error;
        ASSERT_NE(Start(), nullptr);
        frame->Settings.OpMode = 0;
        for (int ch = 0; ch < 8; ++ch)
            frame->Settings.Device.Channels[ch].bIsEnabled = ch == 0 ? 1 : 0;
        for (auto& c : frame->Settings.Composite)
            c.bIsEnabled = 0;
        frame->Settings.Processing[0].FFTsize = 1024;
        frame->Settings.Processing[0].DecimationRatio = 1;
        frame->Settings.Processing[0].SmoothingWindow = 3;
    }
    // Moves the device clock in 20 ms steps while the frame's timers run.
    void Play(int milliseconds)
    {
        for (int t = 0; t < milliseconds && frame->AcquisitionRunning; t += 20) {
            kdrsim::AdvanceClock(20);
            ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
            AfxPumpMessages(25);
        }
    }
};

} // namespace

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
