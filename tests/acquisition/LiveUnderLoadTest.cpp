// Live runs on the simulator's real clock with the machine made busy: the user-interface thread,
// the device's reader and a thread that only spins share one processor, and plot windows draw
// every block. Each processing step must still read every enabled channel at one instant, so
// that every channel is analysed on every step and composites combine simultaneous blocks.
#include "BusyCore.h"
#include "LiveRunFixture.h"

#include "acquisition/HistoryLineSpan.h"

#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "res/resource.h"
#include "support/QtTestAccess.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

using livetest::LiveRun;

namespace {

class LiveUnderLoad : public LiveRun {
protected:
    void SetUp() override
    {
        LiveRun::SetUp();
        kdrsim::UseTestClock(false);
    }
    // Lets the frame's timers run for `milliseconds` of real time (or until the run stops).
    void PlayRealTime(int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (frame->AcquisitionRunning && std::chrono::steady_clock::now() < end)
            AfxPumpMessages(20);
    }
    // Every channel enabled with the same processing: FFT 1024, Hanning, averages counted
    // without limit (exponential, a million blocks) unless `blocks` says otherwise.
    void EnableChannels(int count, WORD averageType = 0, DWORD blocks = 1000000)
    {
        for (int ch = 0; ch < 8; ++ch) {
            frame->Settings.Device.Channels[ch].bIsEnabled = ch < count ? 1 : 0;
            ChannelProcessingSettings& p = frame->Settings.Processing[ch];
            p = frame->Settings.Processing[0];
            p.SmoothingWindow = TSmoothing::kHanning;
            p.AverageMode = 0;
            p.AverageType = averageType;
            p.AverageBlocks = blocks;
        }
        frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 0;
    }
};

} // namespace

TEST_F(LiveUnderLoad, EveryChannelIsAnalysedOnEveryStepWithPlotsOpenOnABusyCore)
{
    Prepare("0=noise:-20;1=sine:100:-6;2=sine:250:-12;3=noise:-30;4=sine:400:-3;5=dc:0.2;6=noise:-10;7=sine:800");
    EnableChannels(8);
    for (int ch = 0; ch < 8; ++ch) {
        frame->OpenTimeSeriesPlot(ch);
        frame->OpenSpectrumPlot(ch);
    }
    frame->OpenSpectrogramPlot(3);
    frame->OpenPhasePlot(6);
    {
        const BusyCore busy;
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        PlayRealTime(6000);
        frame->ExecuteCommand(ID_STOP);
    }
    EXPECT_FALSE(frame->AcquisitionRunning);
    ASSERT_GT(frame->FftsProcessed, 10);
    for (int ch = 0; ch < 8; ++ch) {
        ASSERT_NE(frame->Spectral[ch], nullptr) << ch;
        EXPECT_EQ(frame->Spectral[ch]->GetAverageCount(), frame->FftsProcessed) << "channel " << ch;
    }
}

TEST_F(LiveUnderLoad, TwoChannelsOfOneSourceReadAsOneDuringARunOnABusyCore)
{
    const int frames = 40000;
    WriteSource("x.wav", frames, "x");
    const std::string x = (root / "x.wav").string();
    Prepare("1=file:" + x + ";2=file:" + x + ";3=noise:-20;4=sine:300:-6");
    EnableChannels(5, 1, 10); // a short linear average: one block from another instant shows
    frame->Settings.Device.Channels[0].bIsEnabled = 0;
    CompositeChannelSettings& c = frame->Settings.Composite[0];
    c.bIsEnabled = 1;
    c.CompositeType = 3; // transfer function and coherence of 2 against 1
    c.ReferenceChannel = 1;
    c.TransferChannel = 2;
    for (int ch = 1; ch < 5; ++ch)
        frame->OpenSpectrumPlot(ch);
    frame->OpenCompositeSpectrumPlot(0);
    frame->OpenCompositePhasePlot(0);
    int readings = 0;
    {
        const BusyCore busy;
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        // Read while the run goes on, once the average is full.
        for (int second = 0; second < 6 && frame->AcquisitionRunning; ++second) {
            PlayRealTime(1000);
            const auto A = frame->CompositeSpectral[0];
            ASSERT_NE(A[2], nullptr);
            ASSERT_NE(A[3], nullptr);
            if (A[2]->GetAverageCount() < 10)
                continue;
            ++readings;
            for (int bin = 4; bin < 500; bin += 7) {
                const double f = A[2]->GetBinFrequency(UINT(bin));
                EXPECT_NEAR(A[3]->GetMagnitudeBuffer()[bin], 1.0, 0.01) << f << " Hz, second " << second;
                // |H|^2 of 0 dB within 0.05 dB, and no phase.
                EXPECT_NEAR(10.0 * std::log10(A[2]->GetMagnitudeBuffer()[bin]), 0.0, 0.05) << f << " Hz";
                EXPECT_NEAR(A[2]->GetPhaseDegrees(bin), 0.0, 1.0) << f << " Hz";
            }
        }
        frame->ExecuteCommand(ID_STOP);
    }
    EXPECT_GE(readings, 3);
    EXPECT_EQ(frame->Spectral[1]->GetAverageCount(), std::min(frame->FftsProcessed, 10));
}

TEST_F(LiveUnderLoad, TransferCompositesReadTheirPeakAndOverallLevelFromTheRatioOnABusyCore)
{
    // The same noise in both channels (a ratio of 1), a loud 500 Hz tone in the reference
    // and a loud 1000 Hz tone in the transfer channel, each 40 dB above the other channel's:
    // the cross spectrum peaks at 500 Hz (|T||R| there is ten times that at 1000 Hz), while
    // |H|^2 is 1e-2 at 500 Hz and 1e4 at 1000 Hz. With a Hanning window the ratio is 1e4 on
    // the tone's two to five bins and about 1 on the ~500 others: an overall level of
    // 10 log10((2..5e4 + 500) x 0.667) = 41..45 dB, where the cross magnitudes read about 1 dB.
    const char* tones = "[max(-8388607, min(8388607, round(0.01 * x[i] + %s * __import__('math').sin(__import__('math').pi * i / 4) + "
                        "%s * __import__('math').sin(__import__('math').pi * i / 2)))) for i in range(len(x))]";
    char reference[512], transfer[512];
    std::snprintf(reference, sizeof reference, tones, "4e6", "4e4");
    std::snprintf(transfer, sizeof transfer, tones, "4e5", "4e6");
    WriteSource("r.wav", 40000, reference);
    WriteSource("t.wav", 40000, transfer);
    Prepare("1=file:" + (root / "r.wav").string() + ";2=file:" + (root / "t.wav").string() + ";3=sine:300:-6");
    EnableChannels(4, 1, 4); // a short linear average: the cross magnitudes are its own
    frame->Settings.Device.Channels[0].bIsEnabled = 0;
    const WORD types[] = {1, 2, 3};
    for (int k = 0; k < 3; ++k) {
        CompositeChannelSettings& c = frame->Settings.Composite[k];
        c.bIsEnabled = 1;
        c.CompositeType = types[k];
        c.ReferenceChannel = 1;
        c.TransferChannel = 2;
        frame->OpenCompositeSpectrumPlot(k);
    }
    frame->OpenSpectrumPlot(1);
    {
        const BusyCore busy;
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        PlayRealTime(4000);
        frame->ExecuteCommand(ID_STOP);
    }
    ASSERT_GT(frame->FftsProcessed, 5);
    for (int k = 0; k < 3; ++k) {
        const SpectralData* C = frame->CompositeSpectral[k][2];
        ASSERT_NE(C, nullptr) << k;
        EXPECT_NEAR(C->GetPeakFrequency(), 1000.0, 6.0) << "composite " << k;
        EXPECT_GT(C->GetOverallLevel(), 40.0f) << "composite " << k;
        EXPECT_LT(C->GetOverallLevel(), 50.0f) << "composite " << k;
    }
    // The reference channel itself peaks at its loud tone.
    EXPECT_NEAR(frame->Spectral[1]->GetPeakFrequency(), 500.0, 6.0);
}

// A live run on a busy core draws a spectrogram line by line and the surface's waterfall: what
// each step leaves around the pictures (only the time labels it changed are repainted) is what
// a full repaint of the window draws.
TEST_F(LiveUnderLoad, HistoryWindowsDrawnLineByLineMatchAFullRepaint)
{
    Prepare("0=sine:300:-6");
    EnableChannels(1);
    frame->OpenSpectrogramPlot(0);
    frame->OpenSurfacePlot(0);
    ASSERT_NE(frame->SpectrogramPlot[0], nullptr);
    ASSERT_NE(frame->SurfacePlot[0], nullptr);
    {
        const BusyCore busy;
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        PlayRealTime(3000);
        ASSERT_TRUE(frame->AcquisitionRunning);
        TPlotBase* const windows[2] = {frame->SpectrogramPlot[0], frame->SurfacePlot[0]};
        for (TPlotBase* w : windows) {
            const QImage during = w->GetSurface()->Image().copy();
            w->Invalidate();
            w->UpdateWindow();
            const QImage full = w->GetSurface()->Image();
            const CRect plot = w->GetPlotRect();
            int differing = 0;
            for (int y = 0; y < full.height(); ++y)
                for (int x = 0; x < full.width(); ++x)
                    differing += !plot.PtInRect(CPoint(x, y)) && during.pixel(x, y) != full.pixel(x, y);
            EXPECT_EQ(differing, 0) << (w == windows[0] ? "spectrogram" : "surface");
        }
        EXPECT_GT(frame->SpectrogramPlot[0]->GetHistoryEndTime(), 1.0f);
        EXPECT_GT(frame->SurfacePlot[0]->GetHistoryEndTime(), 1.0f);
        frame->ExecuteCommand(ID_STOP);
    }
    EXPECT_FALSE(frame->AcquisitionRunning);
}

// A configuration asking blocks of 2^20 x 50 samples of every channel is held at load, named
// in its one message, and a Run on the real clock with a busy core keeps the device's rings at
// twenty of the largest block the FFT page offers (it asked for gigabytes before).
TEST_F(LiveUnderLoad, AConfigurationsOversizedBlocksAreHeldBeforeARun)
{
    Prepare("0=noise:-20;1=sine:100:-6;2=sine:250:-12;3=noise:-30;4=sine:400:-3;5=dc:0.2;6=noise:-10");
    std::string text = "[Mode]\r\nOpMode=0\r\n";
    for (int ch = 0; ch < 8; ++ch)
        text += "[Settings_" + std::to_string(ch) + "]\r\nFFTsize=1048576\r\nDecimationRatio=50\r\n";
    {
        std::ofstream out(Data("config/Huge.cfg"), std::ios::binary);
        out << text;
    }
    user.ExpectBox(IDOK, "[Settings_0] DecimationRatio=50 (now 1)");
    ASSERT_TRUE(frame->LoadConfiguration(Data("config/Huge.cfg").c_str()));
    // Stops here rather than asking gigabytes of the machine should the hold ever fail.
    ASSERT_EQ(frame->MaxChannelBlock(), 1048576u);
    frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 0;
    {
        const BusyCore busy;
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        PlayRealTime(2000);
        EXPECT_TRUE(frame->AcquisitionRunning);
        ASSERT_NE(frame->InputDevice, nullptr);
        EXPECT_LE(frame->InputDevice->GetRingLength(), 20 * 1048576);
        frame->ExecuteCommand(ID_STOP);
    }
    EXPECT_FALSE(frame->AcquisitionRunning);
    EXPECT_EQ(user.Texts().size(), 1u);
}

TEST_F(LiveUnderLoad, AWrappedBuffersHistoryLiesInItsFileAndEndsAtItsLastToneOnABusyCore)
{
    // 500 Hz for 3.5 s, then 1500 Hz; a 3 s real-time buffer keeps about the last 2 s of a 5 s
    // run, and the spectrogram's lines move with it.
    const std::string wav = Data("tones.wav");
    WriteSource("tones.wav", 4000 * 20,
                "[round(4194303 * __import__('math').sin(2 * __import__('math').pi * (500 if n < 14000 else 1500) * n / "
                "4000)) for n in range(len(x))]");
    Prepare("0=file:" + wav);
    EnableChannels(1, 0, 3);
    frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 1;
    frame->Settings.FileIO.RealTimeWaveBufferLengthSecs = 3;
    frame->Settings.SpectrogramOpts[0].IntervalFlag = 1;
    frame->Settings.SpectrogramOpts[0].IntervalSecs = 0.05f;
    frame->OpenSpectrogramPlot(0);
    ASSERT_NE(frame->SpectrogramPlot[0], nullptr);
    {
        const BusyCore busy;
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        PlayRealTime(5000);
        frame->ExecuteCommand(ID_STOP);
    }
    ASSERT_FALSE(frame->AcquisitionRunning);
    const TWaveFile* file = frame->Settings.Files[0].File.get();
    ASSERT_NE(file, nullptr);
    const double length = file->FramesToSeconds(file->GetEndFrame());
    ASSERT_LT(length, 2.5);
    const HistoryLineSpan span = LineSpanOf(frame->SpectrogramPlot[0]->GetHistory(), length);
    EXPECT_GT(span.lines, 10);
    EXPECT_EQ(span.outside, 0) << "lines " << span.earliest << " .. " << span.latest << " s in " << length << " s";
    const float end = frame->SpectrogramPlot[0]->GetHistoryEndTime();
    ASSERT_GT(end, 1.0f);
    frame->ComputeSegmentAverageSpectrum(0, end - 1.0f, end, false);
    EXPECT_NEAR(frame->Spectral[0]->GetPeakFrequency(), 1500.0f, 10.0f);
}
