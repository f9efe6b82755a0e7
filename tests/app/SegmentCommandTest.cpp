// The segment analyses the plots call on the frame: RMS level, crest factor, DTMF keys and
// the Hilbert envelope, checked against closed forms and the messages they show.
#include "FilesFrameFixture.h"

#include "app/CStatusbar.h"
#include "plots/CToolBtn.h"
#include "app/CToolbar.h"
#include "res/resource.h"
#include "dsp/SpectralData.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "wave/TSampleBuffer.h"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace filesframe;

namespace {
class SegmentCommands : public FilesFrame {
protected:
    // A two-channel 8 kHz file whose frames are (v, right) for each v of the Python list
    // `samples`, opened as channel 0 (left) and channel 1 (right).
    bool OpenPair(const std::string& name, const std::string& samples, const std::string& right)
    {
        const std::string path = Data("wave/" + name);
        if (!Python("import wave, struct, math, random\n"
                    "random.seed(7)\n"
                    "w = wave.open('" + path + "', 'wb')\n"
                    "w.setnchannels(2); w.setsampwidth(2); w.setframerate(8000)\n"
                    "s = " + samples + "\n"
                    "w.writeframes(b''.join(struct.pack('<hh', v, " + right + ") for v in s))\n"
                    "w.close()\n"))
            return false;
        frame->Settings.Files[1].FileChannel = 1;
        return OpenChannel(0, path) && OpenChannel(1, path) && frame->Settings.Files[1].FileChannel == 1;
    }
};
} // namespace

TEST_F(SegmentCommands, CrestFactorOfASquareWaveIsOneAndOfASineIsRootTwo)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/square.wav"), 8000, 8000, "16000 if (i // 20) % 2 == 0 else -16000"));
    ASSERT_TRUE(WriteWaveOf(Data("wave/sine.wav"), 8000, 8000, "round(16000 * math.sin(2 * math.pi * 100 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/square.wav")));
    ASSERT_TRUE(OpenChannel(1, Data("wave/sine.wav")));
    user.ExpectBox(IDOK, "Crest Factor =   1.00   (");
    frame->ShowCrestFactor(0, 0.0f, 1.0f);
    EXPECT_NE(user.Texts().back().find("0.00 dB)"), std::string::npos) << user.Texts().back();
    user.ExpectBox(IDOK, "Crest Factor =   1.41   (  3.01 dB)");
    frame->ShowCrestFactor(1, 0.0f, 1.0f);
}

TEST_F(SegmentCommands, RmsLevelWithoutCalibrationIsInPercentOfFullScale)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/half.wav"), 8000, 8000, "16384 if (i // 20) % 2 == 0 else -16384"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/half.wav")));
    frame->Settings.Calibration[0].IsEnabled = 0;
    user.ExpectBox(IDOK, "RMS Level:");
    frame->ShowSegmentStatistics(0, 0.0f, 1.0f);
    const auto texts = user.Texts();
    ASSERT_FALSE(texts.empty());
    // Half of full scale is 6.02 dB below it.
    EXPECT_NE(texts.back().find("Percent Full Scale"), std::string::npos) << texts.back();
    EXPECT_NE(texts.back().find("-6.02\tdBFS"), std::string::npos) << texts.back();
}

TEST_F(SegmentCommands, DtmfDetectionListsTheKeysOfTheSegment)
{
    ASSERT_NE(Start(), nullptr);
    // Key 5 (770 + 1336 Hz) for 0.2 s, silence, then key 9 (852 + 1477 Hz) for 0.2 s.
    ASSERT_TRUE(WriteWaveOf(Data("wave/dtmf.wav"), 8000, 4800,
                            "(6000 * (math.sin(2*math.pi*770*i/8000) + math.sin(2*math.pi*1336*i/8000)) if i < 1600 else "
                            "0 if i < 3200 else "
                            "6000 * (math.sin(2*math.pi*852*i/8000) + math.sin(2*math.pi*1477*i/8000)))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/dtmf.wav")));
    const DWORD position = frame->Settings.Files[0].File->GetPosition();
    user.ExpectBox(IDOK, "DTMF keys = ");
    frame->RunDtmfDetection(0, 0.0f, 0.6f);
    const auto texts = user.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_NE(texts.back().find('5'), std::string::npos) << texts.back();
    EXPECT_NE(texts.back().find('9'), std::string::npos) << texts.back();
    EXPECT_EQ(frame->Settings.Files[0].File->GetPosition(), position);
    EXPECT_EQ(frame->GetWindowTextString().find("press <Esc>"), std::string::npos);
}

TEST_F(SegmentCommands, HilbertEnvelopeOfASineIsItsAmplitudeInTheTimeSeries)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/tone.wav"), 8000, 10000, "round(10000 * math.sin(2 * math.pi * 500 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/tone.wav")));
    frame->Settings.Calibration[0].IsEnabled = 0;
    // The command comes from the channel's time-series plot, which shows the file.
    frame->OpenTimeSeriesPlot(0);
    ASSERT_EQ(frame->Settings.TimeSeriesOpts[0].TimeSeriesDataSource, 0);
    frame->ComputeHilbertTransform(0, 0.0f, 1.25f);
    EXPECT_EQ(frame->Settings.TimeSeriesOpts[0].TimeSeriesDataSource, 1);
    ASSERT_NE(frame->TimeSeriesPlot[0], nullptr);
    TSampleBuffer* envelope = frame->SampleBuffer[0];
    ASSERT_NE(envelope, nullptr);
    EXPECT_EQ(frame->TimeSeriesPlot[0]->GetBuffer(), envelope);
    // Away from the ends of each piece the envelope is the amplitude.
    for (DWORD i : {1000u, 4000u, 7000u, 9000u})
        EXPECT_NEAR(envelope->GetSample(i, false), 10000.0, 300.0) << i;
}

TEST_F(SegmentCommands, AWholeFileStepAfterTheEnvelopeOfAShortSegmentStaysInsideItsBuffer)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/tone.wav"), 8000, 8000, "round(10000 * math.sin(2 * math.pi * 500 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/tone.wav")));
    frame->OpenTimeSeriesPlot(0);
    const ChannelProcessingSettings& p = frame->Settings.Processing[0];
    const DWORD block = std::max<DWORD>(p.DecimationRatio, 1) * p.FFTsize;
    ASSERT_GT(block, 80u);
    // 80 frames: the channel's buffer is now the envelope, shorter than one block.
    frame->ComputeHilbertTransform(0, 0.0f, 0.01f);
    ASSERT_NE(frame->SampleBuffer[0], nullptr);
    ASSERT_LT(frame->SampleBuffer[0]->GetCount(), block);
    // Enter in a plot processes one step of every file; this channel's block does not fit.
    frame->StartWholeFileRun();
    EXPECT_FALSE(frame->PostProcessBusy);
    EXPECT_EQ(frame->RunWholeFile, 0u);
}

TEST_F(SegmentCommands, AnEmptySegmentAsksForASelection)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWave(Data("wave/a.wav"), 8000, {1, 2, 3}));
    ASSERT_TRUE(OpenChannel(0, Data("wave/a.wav")));
    user.ExpectBox(IDOK, "You must first select a time segment.");
    frame->ShowSegmentTimeSeries(0, 0.5f, 0.5f);
}

TEST_F(SegmentCommands, SegmentAverageFindsTheToneAndAShortSegmentAsksAboutZeroPadding)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/k.wav"), 8000, 8000, "round(12000 * math.sin(2 * math.pi * 1000 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/k.wav")));
    SpectralData* engine = frame->Spectral[0];
    ASSERT_NE(engine, nullptr);
    TWaveFile* file = frame->Settings.Files[0].File.get();
    file->Seek(123);
    frame->ComputeSegmentAverageSpectrum(0, 0.0f, 1.0f, false);
    EXPECT_GT(engine->GetAverageCount(), 1);
    EXPECT_NEAR(engine->RankedPeakFrequency(100.0f, 3900.0f, 0, false), 1000.0f, 10.0f);
    EXPECT_EQ(file->GetPosition(), 123u); // the position is put back
    EXPECT_NE(frame->SpectrumPlot[0], nullptr);

    // A segment shorter than one block: the question; Cancel computes nothing.
    const int count = engine->GetAverageCount();
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(d.GetWindowTextString(), "Zero Padding Option");
        dlgtest::Click(d, IDCANCEL);
    });
    frame->ComputeSegmentAverageSpectrum(0, 0.0f, 0.01f, false);
    EXPECT_EQ(engine->GetAverageCount(), count);
}

TEST_F(SegmentCommands, CompositeSegmentAverageAddsTheMemberChannels)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/m0.wav"), 8000, 8000, "round(6000 * math.sin(2 * math.pi * 500 * i / 8000))"));
    ASSERT_TRUE(WriteWaveOf(Data("wave/m1.wav"), 8000, 8000, "round(6000 * math.sin(2 * math.pi * 1500 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/m0.wav")));
    ASSERT_TRUE(OpenChannel(1, Data("wave/m1.wav")));
    CompositeChannelSettings& c = frame->Settings.Composite[0];
    c.bIsEnabled = 1;
    c.CompositeType = 0;
    c.IncludeInAverage[0] = 1;
    c.IncludeInAverage[1] = 1;
    frame->ReconfigureProcessing();
    SpectralData* result = frame->CompositeSpectral[0][2];
    ASSERT_NE(result, nullptr);
    frame->ComputeSegmentAverageSpectrum(0, 0.0f, 1.0f, true);
    EXPECT_GT(result->GetAverageCount(), 1);
    // Both members' tones are in the sum.
    EXPECT_NEAR(result->RankedPeakFrequency(100.0f, 1000.0f, 0, false), 500.0f, 10.0f);
    EXPECT_NEAR(result->RankedPeakFrequency(1000.0f, 3900.0f, 0, false), 1500.0f, 10.0f);
    EXPECT_NE(frame->CompositeSpectrumPlot[0], nullptr);
    EXPECT_EQ(frame->Settings.Files[1].File->GetPosition(), 0u);
}

TEST_F(SegmentCommands, CompositeHistoryRebuildOpensTheCompositeWindowAndKeepsPositions)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/h0.wav"), 8000, 8000, "round(6000 * math.sin(2 * math.pi * 500 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/h0.wav")));
    CompositeChannelSettings& c = frame->Settings.Composite[2];
    c.bIsEnabled = 1;
    c.CompositeType = 5;
    c.IncludeInAverage[0] = 1;
    frame->ReconfigureProcessing();
    user.ExpectBox(IDOK, "You must first select a time segment.");
    frame->RebuildSpectrogramFromSegment(2, 0.25f, 0.25f, true, true);
    frame->Settings.Files[0].File->Seek(77);
    frame->RebuildSpectrogramFromSegment(2, 0.0f, 1.0f, true, true);
    EXPECT_NE(frame->CompositeSpectrogramPlot[2], nullptr);
    EXPECT_EQ(frame->Settings.Files[0].File->GetPosition(), 77u);
    frame->RebuildSurfaceFromSegment(2, 0.0f, 1.0f, true, true);
    EXPECT_NE(frame->CompositeSurfacePlot[2], nullptr);
    EXPECT_EQ(frame->Settings.Files[0].File->GetPosition(), 77u);
}

// A channel file cut short on disk while it is open: the post-process step says so and the
// run stops, instead of analysing silence as if it had been read.
TEST_F(SegmentCommands, AFileThatCannotBeReadStopsThePostProcessRunWithAMessage)
{
    ASSERT_NE(Start(), nullptr);
    frame->Settings.FileIO.WaveFileMode = 1; // streamed
    frame->Settings.FileIO.MakeBackup = 0;   // straight from the file
    const std::string path = Data("wave/tone.wav");
    ASSERT_TRUE(WriteWaveOf(path, 8000, 40000, "round(10000 * math.sin(2 * math.pi * 500 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, path));
    std::filesystem::resize_file(path, 44 + 2 * 100);
    user.ExpectBox(IDOK, "Failure reading wave file " + path);
    frame->StartWholeFileRun();
    EXPECT_FALSE(frame->PostProcessBusy);
}

// A Post Process run shows as running: the Run button pressed and the state pane not
// "Stopped"; Stop releases both.
TEST_F(SegmentCommands, APostProcessRunShowsAsRunning)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/tone.wav"), 8000, 80000, "round(10000 * math.sin(2 * math.pi * 500 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/tone.wav")));
    frame->SendMessage(WM_COMMAND, ID_RUN);
    ASSERT_TRUE(frame->PostProcessBusy);
    AfxPumpMessages(100);
    EXPECT_TRUE(frame->IsRunning());
    EXPECT_NE(frame->StatusBar->StateText(), "Stopped");
    EXPECT_TRUE(frame->Toolbar->RunButton()->IsPressed());
    frame->SendMessage(WM_COMMAND, ID_STOP);
    EXPECT_EQ(frame->StatusBar->StateText(), "Stopped");
    EXPECT_FALSE(frame->Toolbar->RunButton()->IsPressed());
}

// Enter with no file open starts nothing, and must not turn the next Run into one silent step.
TEST_F(SegmentCommands, EnterWithoutAFileLeavesTheNextRunWhole)
{
    ASSERT_NE(Start(), nullptr);
    frame->SetModePostProcess(false);
    frame->StartWholeFileRun();
    EXPECT_FALSE(frame->PostProcessBusy);
    ASSERT_TRUE(WriteWaveOf(Data("wave/tone.wav"), 8000, 80000, "round(10000 * math.sin(2 * math.pi * 500 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/tone.wav")));
    frame->SendMessage(WM_COMMAND, ID_RUN);
    AfxPumpMessages(200);
    EXPECT_TRUE(frame->PostProcessBusy);
    EXPECT_GT(frame->FftsProcessed, 1);
    frame->SendMessage(WM_COMMAND, ID_STOP);
}

// A composite's history rebuilt from a segment of a two-channel file whose right channel is
// the left one negated: the power sum of the two stands 10 log10(2) dB above one channel, and
// the complex sum cancels on every line, the last one at the end of the file too. The rebuild
// also runs through the windows' own road (the span they already show), after the composites
// were reconfigured with their history windows open.
TEST_F(SegmentCommands, CompositeHistoriesOfOppositeChannelsArePowerDoubledOrCancelled)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(OpenPair("pair.wav", "[round(8000 * math.sin(2 * math.pi * 1000 * i / 8000)) for i in range(16000)]", "-v"));

    // The peak level of every rebuilt line; once the averaging has settled they are all equal.
    const auto linePeaks = [](const TLineHistory& h) {
        std::vector<float> peaks;
        for (int k = 0; k < h.Count(); k += h.Thickness())
            if (h.Row(k).time > 0.0f)
                peaks.push_back(h.Row(k).peak);
        return peaks;
    };
    const auto settled = [](std::vector<float> peaks) {
        std::nth_element(peaks.begin(), peaks.begin() + peaks.size() / 2, peaks.end());
        return peaks[peaks.size() / 2];
    };
    frame->RebuildSpectrogramFromSegment(0, 0.0f, 2.0f, false, true);
    ASSERT_NE(frame->SpectrogramPlot[0], nullptr);
    const std::vector<float> single = linePeaks(frame->SpectrogramPlot[0]->GetHistory());
    ASSERT_GT(single.size(), 10u);
    const float one = settled(single);

    for (const int index : {1, 2}) {
        const WORD type = index == 1 ? 5 : 0; // real (power) sum, complex sum
        SCOPED_TRACE(type);
        CompositeChannelSettings& c = frame->Settings.Composite[index];
        c.bIsEnabled = 1;
        c.CompositeType = type;
        c.IncludeInAverage[0] = 1;
        c.IncludeInAverage[1] = 1;
        frame->ReconfigureProcessing();
        for (const bool shownSpan : {false, true}) {
            if (shownSpan) {
                frame->RebuildSpectrogram(index, true, false);
                frame->RebuildSurface(index, true, false);
            } else {
                frame->RebuildSpectrogramFromSegment(index, 0.0f, 2.0f, true, true);
                frame->RebuildSurfaceFromSegment(index, 0.0f, 2.0f, true, true);
            }
            ASSERT_NE(frame->CompositeSpectrogramPlot[index], nullptr);
            ASSERT_NE(frame->CompositeSurfacePlot[index], nullptr);
            EXPECT_GT(linePeaks(frame->CompositeSurfacePlot[index]->GetHistory()).size(), 10u);
            const std::vector<float> peaks = linePeaks(frame->CompositeSpectrogramPlot[index]->GetHistory());
            ASSERT_GT(peaks.size(), 10u);
            if (type == 5) {
                EXPECT_NEAR(settled(peaks) - one, 10.0f * std::log10(2.0f), 0.02f);
            } else {
                for (const float p : peaks)
                    EXPECT_LT(p, one - 100.0f);
            }
        }
    }
    EXPECT_EQ(frame->Settings.Files[0].File->GetPosition(), 0u);
    EXPECT_EQ(frame->Settings.Files[1].File->GetPosition(), 0u);
}

// The two-channel composites rebuilt from a segment: with the transfer channel exactly half the
// reference (broadband noise, so that every bin has energy), the transfer functions read half,
// -6.02 dB, at every frequency of every line.
TEST_F(SegmentCommands, TransferFunctionHistoriesOfAHalvedChannelReadMinusSixDecibelsEverywhere)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(OpenPair("halved.wav", "[2 * random.randint(-4000, 4000) for i in range(16000)]", "v // 2"));
    for (const WORD type : {WORD(1), WORD(2), WORD(3)}) {
        SCOPED_TRACE(type);
        CompositeChannelSettings& c = frame->Settings.Composite[type];
        c.bIsEnabled = 1;
        c.CompositeType = type;
        c.ReferenceChannel = 0;
        c.TransferChannel = 1;
        frame->ReconfigureProcessing();
        frame->RebuildSpectrogramFromSegment(type, 0.0f, 2.0f, true, true);
        ASSERT_NE(frame->CompositeSpectrogramPlot[type], nullptr);
        const TLineHistory& h = frame->CompositeSpectrogramPlot[type]->GetHistory();
        int lines = 0;
        for (int k = 0; k < h.Count(); k += h.Thickness()) {
            if (h.Row(k).time <= 0.0f)
                continue;
            ++lines;
            EXPECT_NEAR(h.Row(k).peak, -6.02f, 0.05f);
            EXPECT_NEAR(h.Row(k).floor, -6.02f, 0.05f);
        }
        EXPECT_GT(lines, 10);
    }
}
