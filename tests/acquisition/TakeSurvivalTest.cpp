// Takes of live runs on the simulator that survive what happens to a run: a recording process
// killed outright (its takes read by Python's wave module, and named at the next start), the
// device leaving the bus, packets the device drops, and a Real Time take saved as a file group
// with its calibration chunk.
#include "acquisition/SimulatedFrameFixture.h"
#include "BusyCore.h"

#include "acquisition/TUsbDevice.h"
#include "app/CStatusbar.h"
#include "platform/core/MessageBox.h"
#include "platform/usb/KdrSimulator.h"
#include "res/resource.h"
#include "wave/FileGroup.h"
#include "wave/TWaveFile.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;

class Takes : public SimulatedFrame {
protected:
    void TearDown() override
    {
        // The untitled takes go with the frame, without the question about saving them.
        if (frame != nullptr) {
            frame->ExecuteCommand(ID_STOP);
            frame->DropAllWaveFiles();
        }
        SimulatedFrame::TearDown();
    }
    void Prepare(const std::string& sources, WORD mode)
    {
        std::string error;
        ASSERT_TRUE(kdrsim::ConfigureSources(sources, &error)) << error;
        ASSERT_NE(Start(), nullptr);
        frame->Settings.OpMode = mode;
        for (auto& c : frame->Settings.Composite)
            c.bIsEnabled = 0;
        frame->Settings.FileIO.WaveFileMode = 1;
    }
    // Moves the test clock a second at a time, the wave-writing timer following.
    void RunSeconds(int seconds)
    {
        for (int s = 0; s < seconds && frame->AcquisitionRunning; ++s) {
            kdrsim::AdvanceClock(1000);
            ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
            frame->DrainRingsToFiles(false);
        }
    }
    int Asked(const std::string& part) const
    {
        return int(std::count_if(asked.begin(), asked.end(),
                                 [&](const std::string& t) { return t.find(part) != std::string::npos; }));
    }
    static std::vector<fs::path> TakesIn(const fs::path& folder)
    {
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string().rfind("wav", 0) == 0 && e.path().extension() == ".tmp")
                found.push_back(e.path());
        return found;
    }
};

const long kAmplitude = std::lround(8388607.0 * std::pow(10.0, -6.0 / 20.0));

} // namespace

// The child half of the crash test: records on the real clock, with a core kept busy, until the
// parent kills it. It writes where its takes are, then how many samples it has recorded.
TEST_F(Takes, CrashChildRecordsUntilKilled)
{
    const char* status = std::getenv("DURNEX_TAKE_CRASH_STATUS");
    if (status == nullptr)
        GTEST_SKIP() << "started by AKilledRecordingLeavesEveryTakeReadableUpToItsLastSecond";
    kdrsim::UseTestClock(false);
    Prepare("0=sine:1000:-6;1=sine:500:-12", 1);
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        volatile unsigned long long spin = 0;
        while (!stop.load(std::memory_order_relaxed))
            spin = spin + 1;
    });
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    for (;;) {
        AfxPumpMessages(20);
        std::ofstream(std::string(status) + ".tmp") << Data("wave") << "\n" << frame->RecordedSamples << "\n";
        fs::rename(std::string(status) + ".tmp", status);
    }
}

TEST_F(Takes, AKilledRecordingLeavesEveryTakeReadableUpToItsLastSecond)
{
    const std::string status = Data("child-status");
    std::string filter = "--gtest_filter=Takes.CrashChildRecordsUntilKilled";
    std::string self = fs::read_symlink("/proc/self/exe").string();
    char* argv[] = {self.data(), filter.data(), nullptr};
    std::vector<std::string> env = {"DURNEX_TAKE_CRASH_STATUS=" + status};
    for (char** e = environ; *e != nullptr; ++e)
        if (std::string(*e).rfind("DURNEX_TAKE_CRASH_STATUS=", 0) != 0)
            env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, envp.data()), 0);

    // Killed once it has recorded four seconds (or after a minute, whatever it has).
    std::string childWave;
    long long recorded = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (recorded < 4 * 4000 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream in(status);
        in >> childWave >> recorded;
    }
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int how = 0;
    ASSERT_EQ(waitpid(child, &how, 0), child);
    ASSERT_TRUE(WIFSIGNALED(how) && WTERMSIG(how) == SIGKILL) << "the child ended by itself";
    ASSERT_GE(recorded, 4 * 4000);
    const fs::path childRoot = fs::path(childWave).parent_path();
    const std::vector<fs::path> takes = TakesIn(childWave);
    ASSERT_EQ(takes.size(), 7u) << "channels 0 to 6 record";

    // Every take is a wave file whose header names all but at most its last second (and a piece)
    // of the samples on disk; channel 0's take is its sine, sample for sample.
    fs::create_directories(Data("wave"));
    std::string list;
    for (const fs::path& take : takes) {
        fs::copy_file(take, Data("wave/" + take.filename().string()));
        list += "'" + take.string() + "',";
    }
    ASSERT_TRUE(frametest::Python(
        "import wave, os\n"
        "sines = 0\n"
        "for p in [" + list + "]:\n"
        "    w = wave.open(p)\n"
        "    n = w.getnframes()\n"
        "    on_disk = (os.path.getsize(p) - 44) // 3\n"
        "    assert w.getnchannels() == 1 and w.getsampwidth() == 3 and w.getframerate() == 4000, p\n"
        "    assert n >= 2 * 4000 and on_disk - n <= 4000 + 256, (p, n, on_disk)\n"
        "    d = w.readframes(n)\n"
        "    assert len(d) == 3 * n, p\n"
        "    v = [int.from_bytes(d[i:i+3], 'little', signed=True) for i in range(0, len(d), 3)]\n"
        "    if max(v) > 8000000 * 0.45:\n"
        "        a = " + std::to_string(kAmplitude) + "\n"
        "        assert all(x == (0 if k % 2 == 0 else (a if k % 4 == 1 else -a)) for k, x in enumerate(v)), p\n"
        "        sines += 1\n"
        "assert sines == 1, sines\n"));
    std::error_code ec;
    fs::remove_all(childRoot, ec);

    // The next start names them in one message, and deletes nothing.
    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(Asked("from an earlier session"), 1) << (asked.empty() ? "" : asked.back());
    const std::string& text = asked.front();
    EXPECT_NE(text.find("The wave folder " + Data("wave") + " holds 7 recordings"), std::string::npos) << text;
    for (const fs::path& take : takes)
        EXPECT_NE(text.find(take.filename().string()), std::string::npos) << text;
    EXPECT_EQ(TakesIn(Data("wave")).size(), 7u);
}

TEST_F(Takes, ALostDeviceStopsTheRunWithAMessageNamingItAndTheTakesStayReadable)
{
    Prepare("0=sine:1000:-6", 1);
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    RunSeconds(3);
    kdrsim::Unplug();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!frame->InputDevice->IsDeviceLost() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    frame->DrainRingsToFiles(false);
    EXPECT_FALSE(frame->AcquisitionRunning);
    ASSERT_EQ(Asked("The KDR-5200 device (Durnex System) was disconnected during the run."), 1)
        << (asked.empty() ? "" : asked.back());
    // The working copy on disk is a whole wave file, as far as the last sample received.
    TWaveFile* file = frame->Settings.Files[0].File.get();
    ASSERT_NE(file, nullptr);
    EXPECT_GE(file->GetEndFrame(), 3u * 4000 - 256);
    ASSERT_TRUE(frametest::Python("import wave\n"
                                  "w = wave.open('" + file->GetWorkingCopy() + "')\n"
                                  "assert w.getnframes() == " + std::to_string(file->GetEndFrame()) + ", w.getnframes()\n"
                                  "assert len(w.readframes(w.getnframes())) == 3 * w.getnframes()\n"));
    // Back on the bus, a Run opens it afresh.
    kdrsim::Plug();
    frame->ExecuteCommand(ID_RUN);
    EXPECT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    frame->ExecuteCommand(ID_STOP);
}

TEST_F(Takes, DroppedPacketsShowInTheStatusBarAndAreReportedAtStop)
{
    Prepare("0=sine:1000:-6", 0);
    for (int ch = 1; ch < 8; ++ch)
        frame->Settings.Device.Channels[ch].bIsEnabled = 0;
    frame->Settings.Device.Channels[0].bIsEnabled = 1;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    RunSeconds(2);
    kdrsim::SendZeroPackets(5);
    RunSeconds(1);
    kdrsim::SendShortReads(2, 100); // short, and short again when read once more: two more
    RunSeconds(1);
    EXPECT_EQ(frame->InputDevice->GetLostPackets(), 2) << "the zero packets carried nothing";
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (frame->FftsProcessed == 0 && std::chrono::steady_clock::now() < end)
        frame->AcquireAndProcessBlock();
    EXPECT_EQ(frame->StatusBar->StateText(), "Running - 2 lost");
    EXPECT_EQ(Asked("packets lost"), 0) << "said once, at Stop";
    frame->ExecuteCommand(ID_STOP);
    EXPECT_EQ(Asked("2 packets lost, 8 ms missing from every channel."), 1) << (asked.empty() ? "" : asked.back());
}

// A device that stalls for 3 s in a Recorder run on the real clock, a core kept busy: the loss is
// said once, at Stop, and is exactly the gap in the take, which a ramp source numbers sample by
// sample; the seconds before the stall count nothing.
TEST_F(Takes, AStallIsReportedAtStopAsTheGapTheTakeHolds)
{
    const std::string ramp = Data("ramp.wav");
    ASSERT_TRUE(frametest::Python("import wave\n"
                                  "w = wave.open('" + ramp + "', 'wb')\n"
                                  "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
                                  "w.writeframes(b''.join((8 * k).to_bytes(3, 'little', signed=True) for k in range(400000)))\n"));
    Prepare("0=file:" + ramp, 1);
    kdrsim::UseTestClock(false);
    {
        const BusyCore busy;
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        auto play = [&](int ms) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
            while (frame->AcquisitionRunning && std::chrono::steady_clock::now() < end)
                AfxPumpMessages(20);
        };
        play(2000);
        EXPECT_EQ(frame->InputDevice->GetLostPackets(), 0);
        kdrsim::Stall(3000);
        play(5000);
        frame->ExecuteCommand(ID_STOP);
    }
    const long long lost = frame->InputDevice->GetLostPackets();
    EXPECT_NEAR(double(lost), 750.0, 1.0);
    ASSERT_EQ(Asked("packets lost"), 1) << (asked.empty() ? "" : asked.back());
    EXPECT_EQ(Asked(std::to_string(lost) + " packets lost, " + std::to_string(lost * 4) + " ms missing from every channel."), 1)
        << asked.back();
    TWaveFile* take = frame->Settings.Files[0].File.get();
    ASSERT_NE(take, nullptr);
    ASSERT_TRUE(frametest::Python("import wave\n"
                                  "w = wave.open('" + take->GetWorkingCopy() + "')\n"
                                  "d = w.readframes(w.getnframes())\n"
                                  "v = [int.from_bytes(d[i:i+3], 'little', signed=True) // 8 for i in range(0, len(d), 3)]\n"
                                  "gaps = [(b - a - 1) for a, b in zip(v, v[1:]) if b != a + 1]\n"
                                  "assert len(gaps) == 1 and gaps[0] == 16 * " + std::to_string(lost) + ", gaps\n"));
}

// A wave folder nothing can be written to (a path under a regular file, which holds for root
// too): Run says so once, naming the folder and what is not kept; Stop says nothing more.
TEST_F(Takes, AnUnwritableWaveFolderIsSaidOnceAtRun)
{
    struct Case { WORD mode; const char* says; bool runs; };
    const Case cases[] = {
        {0, "no real-time buffer file could be made there for channels 0, 1, 2.  The run goes on, but those channels' "
            "samples are not kept.", true},
        {1, "no recording file could be made there for channels 0, 1, 2, 3, 4, 5, 6.  Nothing would be recorded, so the "
            "run does not start.", false},
    };
    for (const Case& c : cases) {
        Prepare("0=sine:1000:-6", c.mode);
        for (int ch = 0; ch < 8; ++ch)
            frame->Settings.Device.Channels[ch].bIsEnabled = ch < 3 ? 1 : 0;
        std::ofstream(Data("plain-file")) << "not a folder";
        const std::string folder = Data("plain-file/wave");
        CopyField(frame->Settings.Paths.Wav, folder.c_str());
        asked.clear();
        frame->ExecuteCommand(ID_RUN);
        EXPECT_EQ(frame->AcquisitionRunning, c.runs) << c.mode;
        ASSERT_EQ(asked.size(), 1u) << c.mode << (asked.empty() ? "" : ": " + asked.back());
        EXPECT_EQ(asked[0], "The wave folder " + folder + " cannot be written: " + c.says) << c.mode;
        if (c.runs) {
            ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
            RunSeconds(2);
            frame->ExecuteCommand(ID_STOP);
            EXPECT_EQ(asked.size(), 1u) << (asked.empty() ? "" : asked.back());
        }
        for (int ch = 0; ch < 8; ++ch)
            EXPECT_EQ(frame->Settings.Files[ch].File, nullptr) << c.mode << "," << ch;
        frame->DropAllWaveFiles();
        ASSERT_TRUE(Close());
    }
}

TEST_F(Takes, ARealTimeTakeSavedAsAFileGroupKeepsItsChannelsCalibration)
{
    Prepare("0=sine:1000:-6", 0);
    for (int ch = 1; ch < 8; ++ch)
        frame->Settings.Device.Channels[ch].bIsEnabled = 0;
    frame->Settings.Device.Channels[0].bIsEnabled = 1;
    frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 1;
    frame->Settings.FileIO.RealTimeWaveBufferLengthSecs = 3; // wraps after 2 s: Stop unrolls it
    frame->Settings.FileIO.IncludeCalibrationData = 1;
    ChannelCalibration& cal = frame->Settings.Calibration[0];
    cal.IsEnabled = 1;
    cal.CalCreateMode = 0;
    cal.RefUnits = kUnitVolts;
    CopyField(cal.ChannelName, "Crown probe");
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    RunSeconds(5);
    frame->ExecuteCommand(ID_STOP);
    TWaveFile* take = frame->Settings.Files[0].File.get();
    ASSERT_NE(take, nullptr);
    // Unrolled into a fresh working file whose header already names its samples.
    EXPECT_GE(take->GetEndFrame(), 2u * 4000);
    ASSERT_TRUE(frametest::Python("import wave\n"
                                  "assert wave.open('" + take->GetWorkingCopy() + "').getnframes() == " +
                                  std::to_string(take->GetEndFrame()) + "\n"));
    ASSERT_TRUE(SaveFileGroup(Data("wave/g.qrx"), frame->FileGroup, frame->Settings.Files));
    // The chunk after the RIFF chunk: id 102, 2048 bytes, the channel's record in both slots.
    const std::size_t slot = offsetof(WaveCalibrationBlock, Channel);
    const std::size_t name = offsetof(ChannelCalibration, ChannelName);
    ASSERT_TRUE(frametest::Python(
        "import struct, wave\n"
        "p = '" + Data("wave/g_Crown.wav") + "'\n"
        "assert wave.open(p).getnframes() >= 4000\n"
        "b = open(p, 'rb').read()\n"
        "at = 8 + struct.unpack('<I', b[4:8])[0]\n"
        "cid, size = struct.unpack('<II', b[at:at+8])\n"
        "assert (cid, size) == (102, 2048), (cid, size)\n"
        "body = b[at+8:at+8+2048]\n"
        "for s in (" + std::to_string(slot) + ", " + std::to_string(slot + ChannelCalibration::kSize) + "):\n"
        "    assert struct.unpack('<I', body[s:s+4])[0] == 1, s\n"
        "    assert body[s+" + std::to_string(name) + ":].split(b'\\0')[0] == b'Crown probe', s\n"));
}
