// Triggering in live runs on the simulator: a burst in a source file written by Python is found
// at its sample with the pre-trigger samples before it, the samples after a late event are
// collected, the accept prompt counts and steers the run, a triggered recording begins at the
// event, and a recording stopped between two ticks holds every sample the device delivered.
#include "app/FrameFixture.h"

#include "acquisition/TUsbDevice.h"
#include "app/CStatusbar.h"
#include "platform/core/MessageBox.h"
#include "platform/usb/KdrSimulator.h"
#include "res/resource.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <deque>
#include <fstream>
#include <vector>

namespace {

class LiveTrigger : public frametest::FrameFixture {
protected:
    MessageBoxPresenter saved;
    std::vector<std::string> asked;
    std::deque<int> answers; // for the questions, in order; Yes when none is left

    void SetUp() override
    {
        FrameFixture::SetUp();
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        kdrsim::UseTestClock(true);
        saved = SetMessageBoxPresenter([this](const MessageBoxRequest& r) {
            asked.push_back(r.text);
            if ((r.type & 0xF) == MB_YESNOCANCEL && !answers.empty()) {
                const int a = answers.front();
                answers.pop_front();
                return a;
            }
            return DefaultMessageBoxAnswer(r.type);
        });
    }
    void TearDown() override
    {
        if (frame != nullptr && frame->AcquisitionRunning)
            frame->ExecuteCommand(ID_STOP);
        FrameFixture::TearDown();
        SetMessageBoxPresenter(saved);
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
    }

    // A 24-bit mono source at 4000 Hz of `frames` samples, silent but for bursts of 4000000
    // (4.77 V at full scale 10 V) for 300 samples from each of `onsets`; a ramp of small steps
    // on the silence when `ramp` is set, so that every sample can be told apart.
    std::vector<std::int32_t> WriteBursts(int frames, const std::vector<int>& onsets, bool ramp = false)
    {
        std::string list;
        for (int k : onsets)
            list += std::to_string(k) + ",";
        const std::string wav = Data("burst.wav"), txt = wav + ".txt";
        EXPECT_TRUE(frametest::Python("import wave\n"
                                      "v = [(i % 1000) * 100 if " + std::string(ramp ? "True" : "False") +
                                      " else 0 for i in range(" + std::to_string(frames) + ")]\n"
                                      "for k in [" + list + "]:\n"
                                      "    for i in range(k, min(k + 300, len(v))): v[i] = 4000000\n"
                                      "w = wave.open('" + wav + "', 'wb')\n"
                                      "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
                                      "w.writeframes(b''.join(s.to_bytes(3, 'little', signed=True) for s in v))\n"
                                      "w.close()\n"
                                      "open('" + txt + "', 'w').write('\\n'.join(map(str, v)))\n"));
        std::vector<std::int32_t> samples;
        std::ifstream in(txt);
        for (long long v; in >> v;)
            samples.push_back(std::int32_t(v));
        return samples;
    }

    // Channel 0 (and in Recorder mode every channel) at FFT 1024 without decimation; an analog
    // level trigger on channel 0 at 1 V with the given delay.
    void Prepare(WORD mode, const std::string& sources, WORD delayType, float delayMs)
    {
        std::string error;
        ASSERT_TRUE(kdrsim::ConfigureSources(sources, &error)) << error;
        ASSERT_NE(Start(), nullptr);
        frametest::UseChannelZeroAlone(frame->Settings, mode);
        frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 0;
        frame->Settings.FileIO.WaveFileMode = 0; // recording files in memory, 30 s of them
        frame->Settings.FileIO.MaxRamRecordingTimeSecs = 30;
        CopyField(frame->Settings.Paths.Wav, Data("wave").c_str());
        frametest::TriggerOnChannelZero(frame->Settings.Trigger, delayType, delayMs);
    }
    void Run()
    {
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning) << (asked.empty() ? "" : asked.back());
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    }
    // Moves the device clock in steps while the frame's timers run.
    void Play(int milliseconds, DWORD step = 20)
    {
        for (int t = 0; t < milliseconds && frame->AcquisitionRunning; t += int(step)) {
            kdrsim::AdvanceClock(step);
            ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
            AfxPumpMessages(25);
        }
    }
    // Moves the clock without letting a timer tick, in steps the reader keeps up with (the
    // device drops what waits longer than 2 s).
    static void Advance(DWORD milliseconds)
    {
        while (milliseconds > 0) {
            const DWORD step = milliseconds < 500 ? milliseconds : 500;
            kdrsim::AdvanceClock(step);
            ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
            milliseconds -= step;
        }
    }
    // The channel's processed block is the source's samples from `first` on.
    void ExpectBlockFrom(long long first, const std::vector<std::int32_t>& source)
    {
        const TSampleBuffer* b = frame->SampleBuffer[0];
        ASSERT_NE(b, nullptr);
        for (DWORD i = 0; i < 1024; ++i)
            ASSERT_EQ(std::int32_t(b->GetSample(i, false)), source[std::size_t((first + i) % (long long)source.size())])
                << "sample " << i;
    }
    // The recording (or buffer) file of channel `ch` is the source from `first` up to the
    // device's count.
    void ExpectRecordingFrom(int ch, long long first, const std::vector<std::int32_t>& source)
    {
        TWaveFile* file = frame->Settings.Files[ch].File.get();
        ASSERT_NE(file, nullptr);
        const long long counter = frame->InputDevice->GetSampleCounter();
        ASSERT_EQ((long long)file->GetEndFrame(), counter - first) << "channel " << ch;
        for (DWORD i = 0; i < file->GetEndFrame(); ++i)
            ASSERT_EQ(std::int32_t(file->GetSample(i, 0, false)), source[std::size_t((first + i) % (long long)source.size())])
                << "channel " << ch << " frame " << i;
    }
};

} // namespace

TEST_F(LiveTrigger, ABurstIsFoundAtItsSampleWithThePreTriggerSamplesBeforeIt)
{
    const std::vector<std::int32_t> source = WriteBursts(40000, {10003});
    Prepare(0, "0=file:" + Data("burst.wav"), 0, 100.0f); // 100 ms = 400 samples before
    frame->Settings.RunControl.RunMode = 1;
    frame->Settings.RunControl.FftLimit = 1;
    frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 1;
    frame->Settings.FileIO.RealTimeWaveBufferLengthSecs = 10;
    Run();
    Play(2400);
    EXPECT_EQ(frame->FftsProcessed, 0); // silence only so far
    EXPECT_EQ(frame->StatusBar->StateText(), "Waiting For Trigger...");
    Play(3000);
    EXPECT_FALSE(frame->AcquisitionRunning);
    EXPECT_EQ(frame->FftsProcessed, 1);
    EXPECT_EQ(frame->TriggerEventSample, 10003);
    EXPECT_EQ(frame->TriggerBlockStart, 10003 - 400);
    ExpectBlockFrom(10003 - 400, source);
    // Triggering picks blocks; the real-time buffer still keeps every sample.
    ExpectRecordingFrom(0, 0, source);
}

TEST_F(LiveTrigger, APostDelayEventNearTheNewestSampleIsCollectedThenProcessed)
{
    const std::vector<std::int32_t> source = WriteBursts(40000, {8000}, true);
    Prepare(0, "0=file:" + Data("burst.wav"), 1, 50.0f); // the block begins 200 samples after
    Run();
    // Driven tick by tick: the onset arrives at 2 s, 8200 + 1024 samples are there at 2.306 s.
    Advance(2100);
    EXPECT_EQ(frame->AcquireAndProcessBlock(), 0);
    ASSERT_TRUE(frame->PostTriggerCapture);
    const int early = frame->CapturePercent;
    EXPECT_EQ(early, int((frame->InputDevice->GetSampleCounter() - 8200) * 100.0 / 1024));
    EXPECT_EQ(frame->TriggerBlockStart, 8200);
    Advance(100);
    EXPECT_EQ(frame->AcquireAndProcessBlock(), 0);
    EXPECT_GT(frame->CapturePercent, early);
    EXPECT_EQ(frame->StatusBar->StateText(), "Acquiring FFT (" + std::to_string(frame->CapturePercent) + "%)");
    Advance(200);
    EXPECT_EQ(frame->AcquireAndProcessBlock(), 1);
    EXPECT_FALSE(frame->PostTriggerCapture);
    EXPECT_EQ(frame->FftsProcessed, 1);
    ExpectBlockFrom(8200, source);
    // The search goes on past the block, not back into the burst it came from.
    EXPECT_GE(frame->TriggerSearchFrame, 8200 + 1024);
}

TEST_F(LiveTrigger, APreDelayReachingBeforeTheRunsStartPassesTheEventOver)
{
    // Rising edges at 0.052 s and, the source looping every 2 s, at 2.052 s; each rise is
    // between two of the search's 16-sample pieces (sample 8207 to 8208).
    const std::vector<std::int32_t> source = WriteBursts(8000, {208}, true);
    Prepare(0, "0=file:" + Data("burst.wav"), 0, 100.0f);
    frame->Settings.Trigger.TriggerType = 1;
    frame->Settings.RunControl.RunMode = 1;
    frame->Settings.RunControl.FftLimit = 1;
    Run();
    Play(4000);
    EXPECT_EQ(frame->FftsProcessed, 1);
    EXPECT_EQ(frame->TriggerEventSample, 8207);
    EXPECT_EQ(frame->TriggerBlockStart, 8207 - 400);
    ExpectBlockFrom(8207 - 400, source);
}

TEST_F(LiveTrigger, ThePromptCountsEventsAndItsAnswersDiscardAcceptOrStop)
{
    // A burst every second.
    WriteBursts(4000, {1000});
    Prepare(0, "0=file:" + Data("burst.wav"), 1, 0.0f);
    frame->Settings.Trigger.PromptToAccept = 1;
    frame->Settings.RunControl.RunMode = 1;
    frame->Settings.RunControl.FftLimit = 5;
    answers = {IDNO, IDYES, IDYES, IDCANCEL};
    Run();
    Play(8000);
    EXPECT_FALSE(frame->AcquisitionRunning);
    EXPECT_EQ(frame->FftsProcessed, 2);
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[0], "Trigger Number 1 of 5\r\rAccept This Trigger Event?");
    EXPECT_EQ(asked[1], "Trigger Number 1 of 5\r\rAccept This Trigger Event?"); // the first was refused
    EXPECT_EQ(asked[2], "Trigger Number 2 of 5\r\rAccept This Trigger Event?");
    EXPECT_EQ(asked[3], "Trigger Number 3 of 5\r\rAccept This Trigger Event?");
    // The prompt showed the trigger channel's plot.
    EXPECT_NE(frame->TimeSeriesPlot[0], nullptr);
}

TEST_F(LiveTrigger, ATriggeredRecordingBeginsAtTheEventAndStopKeepsEverySampleToTheDevicesCount)
{
    const std::vector<std::int32_t> source = WriteBursts(40000, {6000}, true);
    const std::string file = "file:" + Data("burst.wav");
    Prepare(1, "0=" + file + ";3=" + file, 0, 250.0f); // 1000 samples before the event
    Run();
    Play(1000);
    for (int ch = 0; ch < 7; ++ch)
        ASSERT_NE(frame->Settings.Files[ch].File, nullptr) << ch;
    EXPECT_EQ(frame->Settings.Files[0].File->GetEndFrame(), 0u); // held back for the trigger
    Play(3000);
    ASSERT_TRUE(frame->AcquisitionRunning);
    // Samples come on after the last tick before Stop.
    Advance(28);
    frame->ExecuteCommand(ID_STOP);
    ASSERT_NE(frame->InputDevice->GetSampleCounter() % 256, 0); // the last piece is a short one
    ExpectRecordingFrom(0, 5000, source);
    ExpectRecordingFrom(3, 5000, source);
}

TEST_F(LiveTrigger, AnExternalTriggerAnalysesTheRunsFirstBlockAndStopsProcessingThere)
{
    // The device has no trigger input of its own, so its samples begin at the run's start and
    // its input never reports re-armed: one block, then only the files go on.
    const std::vector<std::int32_t> source = WriteBursts(40000, {}, true);
    Prepare(0, "0=file:" + Data("burst.wav"), 1, 25.0f); // 100 samples after the start
    frame->Settings.Trigger.TriggerSource = 1;
    Run();
    Play(3000);
    EXPECT_TRUE(frame->AcquisitionRunning);
    EXPECT_EQ(frame->FftsProcessed, 1);
    ExpectBlockFrom(100, source);
}
