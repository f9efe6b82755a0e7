// Recorder runs on the simulator: every sample reaches its channel's recording files once and
// in order across more than one ring length and several size splits, checked by Python's wave
// module; a run with no channel that can record does not start; a full disk or a writer that
// falls a ring behind stops the run and keeps what was recorded.
#include "acquisition/SimulatedFrameFixture.h"

#include "acquisition/TUsbDevice.h"
#include "app/CStatusbar.h"
#include "app/CToolbar.h"
#include "platform/core/MessageBox.h"
#include "platform/usb/KdrSimulator.h"
#include "res/resource.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fstream>
#include <functional>
#include <sys/resource.h>

namespace {

class RecorderRun : public SimulatedFrame {
protected:
    // The recording file, saved as the user would, holds `frames` samples of the -6 dB
    // 1000 Hz sine from its start (0, a, 0, -a at 4000 samples/s), read by Python.
    void ExpectKeptSine(TWaveFile* file, DWORD frames)
    {
        file->SetFileName(Data("wave/kept.wav"));
        ASSERT_TRUE(file->SaveStreamedAs());
        const std::string a = std::to_string(std::lround(8388607.0 * std::pow(10.0, -6.0 / 20.0)));
        ASSERT_TRUE(frametest::Python(
            "import wave\n"
            "w = wave.open('" + Data("wave/kept.wav") + "')\n"
            "d = w.readframes(w.getnframes())\n"
            "assert w.getnframes() == " + std::to_string(frames) + " and len(d) == 3 * w.getnframes()\n"
            "for n in range(w.getnframes()):\n"
            "    v = int.from_bytes(d[3*n:3*n+3], 'little', signed=True)\n"
            "    assert v == (0 if n % 2 == 0 else (" + a + " if n % 4 == 1 else -" + a + ")), n\n"));
    }
    // Moves `seconds` of the device's samples into the take, one second a step, while the run lasts.
    void RecordSeconds(int seconds)
    {
        for (int s = 0; s < seconds && frame->AcquisitionRunning; ++s) {
            kdrsim::AdvanceClock(1000);
            ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
            frame->WriteRecordingBlock();
        }
    }
    void Prepare(const std::string& sources)
    {
        std::string error;
        ASSERT_TRUE(kdrsim::ConfigureSources(sources, &error)) << error;
        ASSERT_NE(Start(), nullptr);
        frame->Settings.OpMode = 1;
        for (auto& c : frame->Settings.Composite)
            c.bIsEnabled = 0;
        CopyField(frame->Settings.Paths.Wav, Data("wave").c_str());
    }
};

} // namespace

TEST_F(RecorderRun, EverySampleLandsOnceInOrderInItsChannelFilesAcrossRingWrapsAndSplits)
{
    Prepare("0=sine:1000:-6;1=sine:1000:-12");
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->Settings.FileIO.MaxDiskRecordingSizeBytes = 300000; // about 25 s of 24-bit samples
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    const int ring = frame->InputDevice->GetRingLength();
    const int seconds = ring / 4000 + 5;
    for (int s = 0; s < seconds; ++s) {
        kdrsim::AdvanceClock(1000);
        ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
        frame->WriteRecordingBlock();
        ASSERT_TRUE(frame->AcquisitionRunning) << (asked.empty() ? "" : asked.back());
    }
    const long long recorded = frame->RecordedSamples;
    EXPECT_GT(recorded, ring);
    frame->ExecuteCommand(ID_STOP);
    // Stop takes the last piece, shorter than the others, too: every sample delivered.
    const long long delivered = frame->InputDevice->GetSampleCounter();
    EXPECT_NE(delivered % 256, 0);
    EXPECT_EQ(frame->RecordedSamples, delivered);
    // The open remainder is saved as the user would.
    for (int ch : {0, 1}) {
        TWaveFile* file = frame->Settings.Files[ch].File.get();
        ASSERT_NE(file, nullptr);
        file->SetFileName(frame->RecordingFileName(ch));
        ASSERT_TRUE(file->SaveStreamedAs());
    }
    const long a0 = std::lround(8388607.0 * std::pow(10.0, -6.0 / 20.0));
    const long a1 = std::lround(8388607.0 * std::pow(10.0, -12.0 / 20.0));
    // Split files of one second are told apart by a counter after the stamp: order by both.
    ASSERT_TRUE(frametest::Python(
        "import wave, glob, re, os\n"
        "out = []\n"
        "def key(p):\n"
        "    m = re.match(r'.*Ch_\\d_(\\d{4}_\\d\\d_\\d\\d_\\d{6})(?:_(\\d+))?\\.wav$', p)\n"
        "    return (m.group(1), int(m.group(2) or 1))\n"
        "for ch, a in ((0, " + std::to_string(a0) + "), (1, " + std::to_string(a1) + ")):\n"
        "    files = sorted(glob.glob('" + Data("wave") + "/Ch_%d_*.wav' % ch), key=key)\n"
        "    n = 0\n"
        "    for p in files:\n"
        "        w = wave.open(p)\n"
        "        assert w.getnchannels() == 1 and w.getsampwidth() == 3 and w.getframerate() == 4000, p\n"
        "        d = w.readframes(w.getnframes())\n"
        "        for i in range(0, len(d), 3):\n"
        "            v = int.from_bytes(d[i:i+3], 'little', signed=True)\n"
        "            want = 0 if n % 2 == 0 else (a if n % 4 == 1 else -a)\n"
        "            assert v == want, (p, n, v, want)\n"
        "            n += 1\n"
        "    out.append('%d %d' % (len(files), n))\n"
        "open('" + Data("result.txt") + "', 'w').write(' '.join(out))\n"));
    std::ifstream in(Data("result.txt"));
    int files0 = 0, files1 = 0;
    long long n0 = 0, n1 = 0;
    in >> files0 >> n0 >> files1 >> n1;
    EXPECT_GE(files0, 3);
    EXPECT_EQ(files1, files0);
    EXPECT_EQ(n0, delivered);
    EXPECT_EQ(n1, n0);
}

TEST_F(RecorderRun, ARunWhoseEveryChosenFileIsRefusedDoesNotStart)
{
    Prepare("0=sine:1000:-6");
    // A stereo file chosen on every channel the Recorder run records.
    ASSERT_TRUE(frametest::Python("import wave\n"
                                  "w = wave.open('" + Data("wave/st.wav") + "', 'wb')\n"
                                  "w.setnchannels(2); w.setsampwidth(3); w.setframerate(4000)\n"
                                  "w.writeframes(bytes(600)); w.close()\n"));
    for (int ch = 0; ch < 8; ++ch) {
        auto* file = new TWaveFile(Data("wave/st.wav"), 0, false, Data("temp"));
        ASSERT_FALSE(file->IsError());
        frame->Settings.Files[ch].File.reset(file);
    }
    CDialog::ClearModalScripts();
    frame->ExecuteCommand(ID_RUN);
    EXPECT_FALSE(frame->AcquisitionRunning);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back(), "Recording must be enabled for at least one device channel.");
}

TEST_F(RecorderRun, AFullDiskStopsTheRunWithAMessageAndKeepsAReadableFile)
{
    Prepare("0=sine:1000:-6");
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    // A file-size limit stands in for a full disk: writes past it fail as on a full disk.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    RecordSeconds(20);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(frame->AcquisitionRunning);
    ASSERT_FALSE(asked.empty());
    EXPECT_NE(asked.back().find("could not be written (the disk may be full)"), std::string::npos) << asked.back();
    EXPECT_EQ(std::count_if(asked.begin(), asked.end(),
                            [](const std::string& t) { return t.find("could not be written") != std::string::npos; }),
              1); // Stop's last writes do not try again
    TWaveFile* file = frame->Settings.Files[0].File.get();
    ASSERT_NE(file, nullptr);
    const DWORD frames = file->GetEndFrame();
    EXPECT_GT(frames, 20000u);
    ExpectKeptSine(file, frames);
}

TEST_F(RecorderRun, ARingOverrunStopsTheRunSayingSamplesWereLostAndKeepsThoseBefore)
{
    Prepare("0=sine:1000:-6");
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    RecordSeconds(3);
    ASSERT_TRUE(frame->AcquisitionRunning);
    const long long before = frame->RecordedSamples;
    ASSERT_GT(before, 8000);
    // The writer falls behind by more than the ring holds.
    const int ringSeconds = frame->InputDevice->GetRingLength() / TUsbDevice::kRingSampleRate;
    for (int s = 0; s < ringSeconds + 2; ++s) {
        kdrsim::AdvanceClock(1000);
        ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
    }
    frame->WriteRecordingBlock();
    EXPECT_FALSE(frame->AcquisitionRunning);
    ASSERT_EQ(std::count_if(asked.begin(), asked.end(),
                            [](const std::string& t) { return t.find("samples were lost") != std::string::npos; }),
              1)
        << (asked.empty() ? "" : asked.back());
    EXPECT_EQ(frame->RecordedSamples, before);
    TWaveFile* file = frame->Settings.Files[0].File.get();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetEndFrame(), DWORD(before));
    ExpectKeptSine(file, DWORD(before));
}

TEST_F(RecorderRun, AStartDelayKeepsItsSecondsOutOfTheFilesAndCountsDown)
{
    Prepare("0=sine:1000:-6;3=noise:-20");
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->Settings.RunControl.StartDelayFlag = 1;
    frame->Settings.RunControl.StartDelaySecs = 2.0f;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    // The first processing tick starts the run's clock (and the delay) at the device's 1000 ms.
    for (int i = 0; i < 100 && !frame->RunClockStarted; ++i)
        AfxPumpMessages(10);
    ASSERT_TRUE(frame->RunClockStarted);
    ASSERT_EQ(frame->RunStartTick, kdrsim::Now());
    // 5 s of the device's clock; finely around the delay's end, where the recording begins.
    bool countingDown = false;
    for (DWORD t = 0; t < 5000;) {
        const DWORD step = t >= 1900 && t < 2300 ? 10 : 100;
        kdrsim::AdvanceClock(step);
        ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
        AfxPumpMessages(25);
        t += step;
        if (t == 500) {
            const std::string state = frame->StatusBar->StateText();
            ASSERT_EQ(state.rfind("Start Delay (", 0), 0u) << state;
            countingDown = state != "Start Delay (2.0)...";
        }
    }
    EXPECT_TRUE(countingDown); // the pane counts the delay down instead of standing at its length
    frame->ExecuteCommand(ID_STOP);
    ASSERT_EQ(frame->InputDevice->GetSampleCounter(), 20000);
    // The run's 5 s less the 2 s delay, to one wave-writing tick (40 ms, 160 samples).
    for (int ch : {0, 3}) {
        const TWaveFile* file = frame->Settings.Files[ch].File.get();
        ASSERT_NE(file, nullptr);
        EXPECT_NEAR(double(file->GetEndFrame()), 12000.0, 160.0) << ch;
    }
}

TEST_F(RecorderRun, AChannelNotRecordedKeepsItsFilesFormat)
{
    Prepare("0=sine:1000:-6");
    ASSERT_TRUE(frametest::Python("import wave\n"
                                  "w = wave.open('" + Data("wave/other.wav") + "', 'wb')\n"
                                  "w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)\n"
                                  "w.writeframes(bytes(16000)); w.close()\n"));
    auto* file = new TWaveFile(Data("wave/other.wav"), 0, false, Data("temp"));
    ASSERT_FALSE(file->IsError());
    frame->Settings.Files[7].File.reset(file);
    frame->Settings.Files[7].IsActive = 0;
    frame->Settings.Device.Channels[7].bIsEnabled = 0;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    const TPcmFormat& kept = frame->Settings.Processing[7].SampleFormat;
    EXPECT_EQ(kept.SampleRate, 8000u);
    EXPECT_EQ(kept.GetBitsPerSample(), 16u);
    const TPcmFormat& recorded = frame->Settings.Processing[0].SampleFormat;
    EXPECT_EQ(recorded.SampleRate, 4000u);
    EXPECT_EQ(recorded.GetBitsPerSample(), 24u);
    frame->ExecuteCommand(ID_STOP);
}

// A full disk that one channel's file meets first (its header is longer, so its samples lie
// further into the file): the piece the others took is taken back, and every channel of the take
// ends at the same sample.
TEST_F(RecorderRun, AFullDiskLeavesEveryChannelOfTheTakeEndingAtTheSameSample)
{
    Prepare("0=sine:1000:-6;3=sine:500:-6");
    frame->Settings.FileIO.WaveFileMode = 1;
    ASSERT_TRUE(frametest::Python("import struct\n"
                                  "fmt = struct.pack('<HHIIHH', 1, 1, 4000, 12000, 3, 24)\n"
                                  "body = b'WAVE' + b'fmt ' + struct.pack('<I', 16) + fmt\n"
                                  "body += b'LIST' + struct.pack('<I', 3000) + bytes(3000)\n"
                                  "body += b'data' + struct.pack('<I', 3) + bytes(3)\n"
                                  "open('" + Data("wave/long_header.wav") + "', 'wb').write(b'RIFF' + struct.pack('<I', len(body)) + body)\n"));
    auto* chosen = new TWaveFile(Data("wave/long_header.wav"), TWaveFile::kStreamed, false, Data("temp"));
    ASSERT_FALSE(chosen->IsError());
    frame->Settings.Files[3].File.reset(chosen);
    CopyField(frame->Settings.Files[3].FilePath, Data("wave/long_header.wav").c_str());
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    RecordSeconds(20);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(frame->AcquisitionRunning);
    ASSERT_FALSE(asked.empty());
    EXPECT_NE(asked.back().find("The recording file of channel 3 could not be written"), std::string::npos) << asked.back();
    // Channel 3's file keeps the frame it held before the run, the take follows it.
    const DWORD frames = frame->Settings.Files[3].File->GetEndFrame() - 1;
    EXPECT_GT(frames, 20000u);
    for (int ch = 0; ch < 7; ++ch) {
        ASSERT_NE(frame->Settings.Files[ch].File, nullptr) << ch;
        EXPECT_EQ(frame->Settings.Files[ch].File->GetEndFrame(), frames + (ch == 3 ? 1 : 0)) << ch;
    }
    // Each kept file reads back, on disk, as long as the take.
    for (int ch : {0, 3}) {
        TWaveFile* file = frame->Settings.Files[ch].File.get();
        ASSERT_TRUE(frametest::Python("import wave\n"
                                      "w = wave.open('" + file->GetWorkingCopy() + "')\n"
                                      "assert w.getnframes() == " + std::to_string(frames + (ch == 3 ? 1 : 0)) +
                                      ", w.getnframes()\n"));
    }
    for (int ch = 0; ch < 8; ++ch) {
        frame->Settings.Files[ch].File.reset();
    }
}

// Stop writes the device's last samples, up to 40 ms of them, after the run's last tick: the
// main tool window's length and position then show the whole take, as a repaint would.
TEST_F(RecorderRun, TheToolWindowShowsTheWholeTakeOnceStopped)
{
    Prepare("0=sine:1000:-6");
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->Toolbar->SetMode(1);
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    RecordSeconds(2);
    frame->ToolbarUpdateState();
    AfxPumpMessages(5);
    kdrsim::AdvanceClock(500);
    ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
    const float before = frame->GetChannelFileDuration(0);
    frame->ExecuteCommand(ID_STOP);
    ASSERT_GT(frame->GetChannelFileDuration(0), before + 0.4f);

    // What the tool window last drew of the two times, then drawn afresh.
    CToolbar* bar = frame->Toolbar.get();
    const QImage shown = bar->GetSurface()->Image().copy(QRect(150, 3, 330, 22));
    EXPECT_EQ(bar->PositionBar()->GetScrollPos(), 1000);
    bar->RedrawWindow();
    AfxPumpMessages(5);
    EXPECT_EQ(shown, bar->GetSurface()->Image().copy(QRect(150, 3, 330, 22)))
        << "the tool window kept the take's length from before Stop";
}

// An in-memory recording has MaxRamRecordingTimeSecs of room: once that is used up the run
// stops saying so, not blaming a disk, and the samples up to there are the device's.
TEST_F(RecorderRun, AnInMemoryRecordingThatFillsItsLengthStopsSayingSoAndKeepsItsSamples)
{
    Prepare("0=sine:1000:-6");
    frame->Settings.FileIO.WaveFileMode = 0;
    frame->Settings.FileIO.MaxRamRecordingTimeSecs = 2;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    RecordSeconds(4);
    EXPECT_FALSE(frame->AcquisitionRunning);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("channel 0 has filled its in-memory file (2 seconds"), std::string::npos) << asked[0];
    TWaveFile* file = frame->Settings.Files[0].File.get();
    ASSERT_NE(file, nullptr);
    // Whole pieces of 256 samples up to the file's 8000 frames.
    EXPECT_EQ(file->GetEndFrame(), 8000u / 256 * 256);
    const long a = std::lround(8388607.0 * std::pow(10.0, -6.0 / 20.0));
    for (DWORD n = 0; n < file->GetEndFrame(); ++n)
        ASSERT_EQ(std::lround(file->GetSample(n, 0, false)), n % 2 == 0 ? 0 : (n % 4 == 1 ? a : -a)) << n;
}

// The take is written at its file's position: moving that position with Rewind, Forward or the
// position bar while recording would write the next samples over the take's start. Each first
// stops the recording, which keeps every sample up to there.
TEST_F(RecorderRun, RewindForwardAndThePositionBarStopTheRecordingBeforeMoving)
{
    Prepare("0=sine:1000:-6");
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->Toolbar->SetMode(1);
    CToolbar* bar = frame->Toolbar.get();
    const auto rewind = [&] { bar->SendMessage(WM_COMMAND, MAKEWPARAM(CToolbar::IDC_REWIND, BN_CLICKED), 0); };
    const auto forward = [&] { bar->SendMessage(WM_COMMAND, MAKEWPARAM(CToolbar::IDC_FORWARD, BN_CLICKED), 0); };
    const auto scroll = [&] {
        bar->SendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 500),
                         reinterpret_cast<LPARAM>(bar->PositionBar()->GetSafeHwnd()));
    };
    for (const auto& move : {std::function<void()>(rewind), std::function<void()>(forward),
                             std::function<void()>(scroll)}) {
        frame->Settings.Files[0].File.reset();
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        RecordSeconds(2);
        move();
        EXPECT_FALSE(frame->AcquisitionRunning);
        TWaveFile* file = frame->Settings.Files[0].File.get();
        ASSERT_NE(file, nullptr);
        const DWORD frames = file->GetEndFrame();
        EXPECT_EQ(frames, frame->InputDevice->GetSampleCounter());
        // Nothing more reaches the take, wherever its position now stands.
        kdrsim::AdvanceClock(1000);
        frame->WriteRecordingBlock();
        EXPECT_EQ(file->GetEndFrame(), frames);
        ExpectKeptSine(file, frames);
        frame->ExecuteCommand(ID_STOP);
    }
    EXPECT_TRUE(asked.empty()) << asked.front();
}
