// The times of a live run's history lines are places in the channel's file: after a start
// delay, an appended run, a trigger, a size split and a wrapped real-time buffer, every line of
// the spectrogram lies inside the file, and the average spectrum of the window's last second
// peaks at the tone the file holds there. A span selected in the spectrogram and cut removes
// exactly the samples shown there (read back by Python).
#include "acquisition/SimulatedFrameFixture.h"
#include "acquisition/HistoryLineSpan.h"

#include "acquisition/TUsbDevice.h"
#include "dsp/SpectralData.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "records/SpectrogramPlotSettings.h"
#include "res/resource.h"
#include "wave/TWaveFile.h"

#include <fstream>
#include <functional>
#include <string>

namespace {

class LiveHistoryTimes : public SimulatedFrame {
protected:
    // Channel 0 at FFT 1024 with a throttled spectrogram (a line every 50 ms: the window holds
    // the whole run), files on disk in the test's wave folder.
    void Prepare(WORD mode)
    {
        ASSERT_NE(Start(), nullptr);
        frametest::UseChannelZeroAlone(frame->Settings, mode);
        // Composite A sums channel 0 alone: its blocks are the channel's.
        CompositeChannelSettings& a = frame->Settings.Composite[0];
        a.bIsEnabled = 1;
        a.CompositeType = 5;
        a.IncludeInAverage[0] = 1;
        frame->Settings.FileIO.WaveFileMode = 1;
        CopyField(frame->Settings.Paths.Wav, Data("wave").c_str());
        for (SpectrogramPlotSettings* o : {&frame->Settings.SpectrogramOpts[0], &frame->Settings.CompositeSpectrogramOpts[0]}) {
            o->IntervalFlag = 1;
            o->IntervalSecs = 0.05f;
            o->UseFullSpan = 1;
        }
        frame->OpenSpectrogramPlot(0);
        frame->OpenCompositeSpectrogramPlot(0);
        ASSERT_NE(frame->SpectrogramPlot[0], nullptr);
        ASSERT_NE(frame->CompositeSpectrogramPlot[0], nullptr);
    }
    // Channel 0's source: a 24-bit wave at 4000 Hz written by Python, silent (a dither) for
    // `quiet` seconds, then a -6 dB tone of 500 Hz until `change` seconds and of 1500 Hz after.
    void Tones(double quiet, double change)
    {
        const std::string wav = Data("tones.wav");
        ASSERT_TRUE(frametest::Python(
            "import wave, math\n"
            "v = []\n"
            "for n in range(4000 * 20):\n"
            "    t = n / 4000.0\n"
            "    f = 0 if t < " + std::to_string(quiet) + " else (500 if t < " + std::to_string(change) + " else 1500)\n"
            "    v.append((n % 2) * 2 - 1 if f == 0 else round(4194303 * math.sin(2 * math.pi * f * t + 0.3)))\n"
            "w = wave.open('" + wav + "', 'wb')\n"
            "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
            "w.writeframes(b''.join(s.to_bytes(3, 'little', signed=True) for s in v))\n"
            "w.close()\n"));
        Source("0=file:" + wav);
    }
    static void Source(const std::string& text)
    {
        std::string error;
        ASSERT_TRUE(kdrsim::ConfigureSources(text, &error)) << error;
    }
    void Run()
    {
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning) << (asked.empty() ? "" : asked.back());
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    }
    // `milliseconds` of the device's clock while the frame's timers run, then Stop.
    void PlayAndStop(int milliseconds)
    {
        for (int t = 0; t < milliseconds && frame->AcquisitionRunning; t += 20) {
            kdrsim::AdvanceClock(20);
            ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
            AfxPumpMessages(25);
        }
        frame->ExecuteCommand(ID_STOP);
        ASSERT_FALSE(frame->AcquisitionRunning);
    }
    // A Recorder take of 3 s of 500 Hz, and a second run appending 3 s of 1500 Hz.
    void RecordTwoRuns()
    {
        Source("0=sine:500:-6");
        Run();
        PlayAndStop(3000);
        Source("0=sine:1500:-6");
        Run();
        PlayAndStop(3000);
        ASSERT_NE(frame->Settings.Files[0].File, nullptr);
        ASSERT_NEAR(frame->Settings.Files[0].File->GetEndFrame(), 24000.0, 2.0);
    }
    // Every line of the channel's and the composite's spectrogram lies in the channel's file;
    // the average spectrum of each history's last second peaks at `tone`.
    void ExpectLinesInFileAndLastSecondAt(float tone, const std::string& name, bool composite)
    {
        const TWaveFile* file = frame->Settings.Files[0].File.get();
        ASSERT_NE(file, nullptr) << name;
        const double length = file->FramesToSeconds(file->GetEndFrame());
        TSpectrogram* plot = composite ? frame->CompositeSpectrogramPlot[0] : frame->SpectrogramPlot[0];
        const HistoryLineSpan span = LineSpanOf(plot->GetHistory(), length);
        EXPECT_GT(span.lines, 10) << name;
        EXPECT_EQ(span.outside, 0) << name << ": lines " << span.earliest << " .. " << span.latest << " s in a file of "
                                   << length << " s";
        const float end = plot->GetHistoryEndTime();
        ASSERT_GT(end, 1.0f) << name;
        frame->ComputeSegmentAverageSpectrum(0, end - 1.0f, end, composite);
        const SpectralData* engine = composite ? frame->CompositeSpectral[0][2] : frame->Spectral[0];
        ASSERT_NE(engine, nullptr) << name;
        EXPECT_NEAR(engine->GetPeakFrequency(), tone, 10.0f) << name << ", last second ending " << end << " s of "
                                                             << length << " s";
    }
};

} // namespace

TEST_F(LiveHistoryTimes, EveryLineLiesInTheFileAndTheLastSecondShowsItsTone)
{
    // Each case records channel 0 with the tone source (silent for `quiet` s, 500 Hz until
    // `change` s, then 1500 Hz) for `milliseconds`, with its own settings; the appended run
    // records two runs of sines instead. The channel's file is at most `maxFrames` long, and
    // its last second is 1500 Hz.
    struct Case {
        const char* name;
        WORD mode;
        double quiet, change;
        int milliseconds;
        std::function<void(FrameSettings&)> settings;
        DWORD maxFrames;
    };
    const Case cases[] = {
        // The take begins after the delay: 3 s of the 5 s run.
        {"start delay", 1, 0.0, 3.8, 5000,
         [](FrameSettings& s) {
             s.RunControl.StartDelayFlag = 1;
             s.RunControl.StartDelaySecs = 2.0f;
         },
         12200},
        {"appended run", 1, -1.0, 0.0, 0, nullptr, 24010},
        // The recording begins at the first event, a second after the device's start.
        {"trigger", 1, 1.0, 3.8, 5000, [](FrameSettings& s) { frametest::TriggerOnChannelZero(s.Trigger, 0, 0.0f); }, 16200},
        // The file is split after about 2.5 s: the channel's file holds what came after.
        {"split", 1, 0.0, 3.8, 5000, [](FrameSettings& s) { s.FileIO.MaxDiskRecordingSizeBytes = 30000; }, 12000},
        // A 3 s buffer keeps the run's last 2 s or so.
        {"wrapped real-time buffer", 0, 0.0, 5.0, 6000,
         [](FrameSettings& s) {
             s.FileIO.RealTimeWaveBufferEnableFlag = 1;
             s.FileIO.RealTimeWaveBufferLengthSecs = 3;
         },
         9000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prepare(c.mode);
        if (c.quiet < 0.0) {
            RecordTwoRuns();
        } else {
            Tones(c.quiet, c.change);
            c.settings(frame->Settings);
            Run();
            PlayAndStop(c.milliseconds);
        }
        if (HasFatalFailure())
            return;
        ASSERT_LE(frame->Settings.Files[0].File->GetEndFrame(), c.maxFrames);
        ExpectLinesInFileAndLastSecondAt(1500.0f, c.name, false);
        ExpectLinesInFileAndLastSecondAt(1500.0f, std::string(c.name) + ", composite", true);
        TearDown();
        SetUp();
    }
}

TEST_F(LiveHistoryTimes, ACutOfASpanSelectedInTheSpectrogramRemovesTheSamplesShownThere)
{
    // 3 s of 500 Hz, then a second run appends 3 s of 1500 Hz; the lines of the second run are
    // selected and cut.
    Prepare(1);
    RecordTwoRuns();
    TWaveFile* file = frame->Settings.Files[0].File.get();
    ASSERT_NE(file, nullptr);
    {
        // The take before the cut, as the program reads it.
        std::ofstream before(Data("before.txt"));
        for (DWORD i = 0; i < file->GetEndFrame(); ++i)
            before << long(file->GetSample(i, 0, false)) << '\n';
    }
    TSpectrogram* plot = frame->SpectrogramPlot[0];
    const TLineHistory& h = plot->GetHistory();
    int last = 0; // the oldest row with a line
    for (int k = 0; k < h.Count(); k += h.Thickness())
        if (h.HasSpectrum(k))
            last = k;
    frame->MDIActivate(plot);
    const CRect pane = plot->GetPlotRect();
    ASSERT_EQ(plot->GetOrientation(), 3); // the newest row at the top
    plot->SetSelectionRect(CRect(pane.left, pane.top, pane.right, pane.top + last));
    float start = 0.0f, end = 0.0f;
    plot->GetSelectedSegment(start, end);
    ASSERT_GT(end, start);
    const DWORD S = file->SecondsToFrames(start), E = file->SecondsToFrames(end);
    frame->ExecuteCommand(ID_EDIT_CUT);
    ASSERT_EQ(file->GetEndFrame(), 24000u - (E - S)) << (asked.empty() ? "" : asked.back());
    file->SetFileName(Data("wave/after.wav"));
    ASSERT_TRUE(file->SaveStreamedAs());
    // What went is exactly frames S..E of the take (the file read by Python), and they are the
    // second run's tone.
    ASSERT_TRUE(frametest::Python(std::string(apptest::kNumpyPreamble) +
                                  "import wave, numpy as np\n"
                                  "def read(p):\n"
                                  "    w = wave.open(p); d = w.readframes(w.getnframes())\n"
                                  "    return np.array([int.from_bytes(d[i:i+3], 'little', signed=True) for i in range(0, len(d), 3)], float)\n"
                                  "b = np.loadtxt('" + Data("before.txt") + "'); a = read('" + Data("wave/after.wav") + "')\n"
                                  "S, E = " + std::to_string(S) + ", " + std::to_string(E) + "\n"
                                  "assert np.array_equal(a, np.concatenate([b[:S], b[E:]]))\n"
                                  "cut = b[S:E]\n"
                                  "f = np.argmax(np.abs(np.fft.rfft(cut * np.hanning(len(cut))))) * 4000.0 / len(cut)\n"
                                  "assert abs(f - 1500) < 5, f\n"
                                  "assert S >= 12000 - 8, S\n"));
}
