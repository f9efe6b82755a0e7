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
#include "records/CommonRoutines.h"
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
    // A 24-bit wave at 4000 Hz written by Python whose sample k is 8 k: a source that numbers
    // every sample of a run. Its path, or empty when Python failed.
    std::string WriteRamp() const
    {
        const std::string ramp = Data("ramp.wav");
        const bool ok = frametest::Python("import wave\n"
                                          "w = wave.open('" + ramp + "', 'wb')\n"
                                          "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
                                          "w.writeframes(b''.join((8 * k).to_bytes(3, 'little', signed=True) for k in range(400000)))\n");
        return ok ? ramp : std::string();
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

// The child half of the crash tests: runs on the real clock, with a core kept busy, until the
// parent kills it, its wave folder the one the parent names. "recorder": a group of 44.1 kHz
// files is open (so channel 0's file is not recorded into and only its backup copy lies in the
// wave folder) while channels 1 to 6 record, calibrated; "realtime": channels 0 and 3 read one
// ramp into a 3 s buffer that wraps. It writes how many samples it has written.
TEST_F(Takes, CrashChildRunsUntilKilled)
{
    const char* status = std::getenv("DURNEX_TAKE_CRASH_STATUS");
    if (status == nullptr)
        GTEST_SKIP() << "started by the tests of what a killed run leaves";
    const std::string mode = std::getenv("DURNEX_TAKE_CRASH_MODE"), folder = std::getenv("DURNEX_TAKE_CRASH_WAVE");
    kdrsim::UseTestClock(false);
    if (mode == "recorder") {
        Prepare("0=sine:1000:-6;1=sine:1000:-6;2=sine:500:-12", 1);
        CopyField(frame->Settings.Paths.Wav, folder.c_str());
        const std::string group = std::getenv("DURNEX_TAKE_CRASH_GROUP");
        ASSERT_TRUE(WriteFileGroupEntry(group, 0, fs::path(group).parent_path() / "g_Crown.wav"));
        ASSERT_EQ(OpenFileGroup(group, frame->FileGroup, frame->Settings.Files, frame->Settings.Calibration, 1, true,
                                folder),
                  1);
        frame->Settings.FileIO.IncludeCalibrationData = 1;
        for (int ch = 1; ch < 7; ++ch) {
            ChannelCalibration& cal = frame->Settings.Calibration[ch];
            cal.IsEnabled = 1;
            cal.RefUnits = kUnitVolts;
            CopyField(cal.ChannelName, ("probe " + std::to_string(ch)).c_str());
        }
    } else {
        Prepare("0=file:" + std::string(std::getenv("DURNEX_TAKE_CRASH_RAMP")) + ";3=file:" +
                    std::getenv("DURNEX_TAKE_CRASH_RAMP"),
                0);
        CopyField(frame->Settings.Paths.Wav, folder.c_str());
        for (int ch = 0; ch < 8; ++ch)
            frame->Settings.Device.Channels[ch].bIsEnabled = ch == 0 || ch == 3 ? 1 : 0;
        frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 1;
        frame->Settings.FileIO.RealTimeWaveBufferLengthSecs = 3;
    }
    const BusyCore busy;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    for (;;) {
        AfxPumpMessages(20);
        std::ofstream(std::string(status) + ".tmp") << frame->RecordedSamples << "\n";
        fs::rename(std::string(status) + ".tmp", status);
    }
}

namespace {

// Starts the child in `mode` and kills it once it has written `samples` samples a channel (or
// after a minute, whatever it has); false when it ended by itself.
bool KillChildAfter(const std::string& mode, long long samples, const std::vector<std::string>& settings,
                    long long* written)
{
    const std::string status = settings[0].substr(settings[0].find('=') + 1);
    std::string filter = "--gtest_filter=Takes.CrashChildRunsUntilKilled";
    std::string self = fs::read_symlink("/proc/self/exe").string();
    char* argv[] = {self.data(), filter.data(), nullptr};
    std::vector<std::string> env = settings;
    env.push_back("DURNEX_TAKE_CRASH_MODE=" + mode);
    for (char** e = environ; *e != nullptr; ++e)
        if (std::string(*e).rfind("DURNEX_TAKE_CRASH_", 0) != 0)
            env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
        return false;
    *written = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (*written < samples && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream(status) >> *written;
    }
    kill(child, SIGKILL);
    int how = 0;
    return waitpid(child, &how, 0) == child && WIFSIGNALED(how) && WTERMSIG(how) == SIGKILL;
}

} // namespace

// Killed while recording with a group open: the next start offers each take with its channel,
// sealed (its header names every frame, all takes end at one sample, its channel's calibration
// chunk follows), and clears the backup copy of the group's intact file without offering it.
TEST_F(Takes, AKilledRecordingIsOfferedAsItsChannelsTakesAndNotAsTheGroupsBackup)
{
    fs::create_directories(Data("group"));
    ASSERT_TRUE(frametest::Python("import wave\n"
                                  "w = wave.open('" + Data("group/g_Crown.wav") + "', 'wb')\n"
                                  "w.setnchannels(1); w.setsampwidth(2); w.setframerate(44100)\n"
                                  "w.writeframes(bytes(range(256)) * 400)\n"));
    long long written = 0;
    ASSERT_TRUE(KillChildAfter("recorder", 4 * 4000,
                               {"DURNEX_TAKE_CRASH_STATUS=" + Data("child-status"), "DURNEX_TAKE_CRASH_WAVE=" + Data("wave"),
                                "DURNEX_TAKE_CRASH_GROUP=" + Data("group/g.qrx")},
                               &written))
        << "the child ended by itself";
    ASSERT_GE(written, 4 * 4000);
    const std::vector<fs::path> left = TakesIn(Data("wave"));
    ASSERT_EQ(left.size(), 7u) << "six takes and the group file's backup";

    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(Asked("from an earlier session"), 1) << (asked.empty() ? "" : asked.back());
    const std::string& text = asked.front();
    EXPECT_EQ(text.find("Working copies"), std::string::npos) << text;
    EXPECT_EQ(text.find("Other working files"), std::string::npos) << text;
    const std::vector<fs::path> takes = TakesIn(Data("wave"));
    ASSERT_EQ(takes.size(), 6u) << "the backup of the intact g_Crown.wav is gone";
    std::string list;
    for (const fs::path& take : takes) {
        const std::size_t at = text.find(take.filename().string() + ": channel ");
        ASSERT_NE(at, std::string::npos) << text;
        const int ch = text[at + take.filename().string().size() + 10] - '0';
        EXPECT_GE(ch, 1) << text;
        EXPECT_NE(text.find(take.filename().string() + ": channel " + std::to_string(ch) + " (" +
                            GetChannelLocationName(ch) + ")"),
                  std::string::npos)
            << text;
        list += "('" + take.string() + "', " + std::to_string(ch) + "),";
    }
    const std::size_t slot = offsetof(WaveCalibrationBlock, Channel);
    const std::size_t name = offsetof(ChannelCalibration, ChannelName);
    ASSERT_TRUE(frametest::Python(
        "import os, struct, wave\n"
        "ends = set()\n"
        "for p, ch in [" + list + "]:\n"
        "    w = wave.open(p)\n"
        "    n = w.getnframes()\n"
        "    assert w.getnchannels() == 1 and w.getsampwidth() == 3 and w.getframerate() == 4000, p\n"
        "    assert n >= 3 * 4000, (p, n)\n"
        "    ends.add(n)\n"
        "    b = open(p, 'rb').read()\n"
        "    at = 8 + struct.unpack('<I', b[4:8])[0]\n"
        "    assert len(b) == at + 8 + 2048 and struct.unpack('<II', b[at:at+8]) == (102, 2048), p\n"
        "    s = at + 8 + " + std::to_string(slot) + "\n"
        "    assert b[s + " + std::to_string(name) + ":].split(b'\\0')[0] == b'probe %d' % ch, (p, ch)\n"
        "    if ch == 1:\n"
        "        d = w.readframes(n)\n"
        "        v = [int.from_bytes(d[i:i+3], 'little', signed=True) for i in range(0, len(d), 3)]\n"
        "        a = " + std::to_string(kAmplitude) + "\n"
        "        k0 = [k for k in range(4) if v[k] == a][0] - 1\n"
        "        assert all(x == [0, a, 0, -a][(k - k0) % 4] for k, x in enumerate(v)), p\n"
        "assert len(ends) == 1, ends\n"));
    ASSERT_TRUE(frametest::Python("import wave\n"
                                  "assert wave.open('" + Data("group/g_Crown.wav") + "').getnframes() == 51200\n"));
    // Offered again at the next start, as they are, until the user deals with them.
    ASSERT_TRUE(Close());
    asked.clear();
    ASSERT_NE(Start(), nullptr);
    EXPECT_EQ(Asked("Takes of live runs"), 1);
    EXPECT_EQ(TakesIn(Data("wave")).size(), 6u);
}

// Killed with a Real Time buffer that has wrapped: the next start offers each buffer as a wave
// in time order (a ramp checks the order sample by sample), both channels ending at one sample.
TEST_F(Takes, AKilledRealTimeRunIsOfferedAsItsBuffersInTimeOrder)
{
    const std::string ramp = WriteRamp();
    ASSERT_FALSE(ramp.empty());
    fs::create_directories(Data("wave"));
    long long written = 0;
    ASSERT_TRUE(KillChildAfter("realtime", 5 * 4000 + 1000,
                               {"DURNEX_TAKE_CRASH_STATUS=" + Data("child-status"),
                                "DURNEX_TAKE_CRASH_WAVE=" + Data("wave"), "DURNEX_TAKE_CRASH_RAMP=" + ramp},
                               &written))
        << "the child ended by itself";
    ASSERT_GE(written, 5 * 4000);
    ASSERT_EQ(TakesIn(Data("wave")).size(), 2u);

    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(Asked("from an earlier session"), 1) << (asked.empty() ? "" : asked.back());
    const std::string& text = asked.front();
    std::string list;
    for (const fs::path& take : TakesIn(Data("wave"))) {
        const std::string n = take.filename().string();
        EXPECT_TRUE(text.find(n + ": channel 0 (Crown)") != std::string::npos ||
                    text.find(n + ": channel 3 (Heart)") != std::string::npos)
            << text;
        list += "'" + take.string() + "',";
    }
    EXPECT_EQ(Asked("a Real Time buffer put into time order"), 1) << text;
    // The buffer holds its last 2 s and a piece (8192 frames), less the piece being written.
    ASSERT_TRUE(frametest::Python(
        "import wave\n"
        "got = []\n"
        "for p in [" + list + "]:\n"
        "    w = wave.open(p)\n"
        "    d = w.readframes(w.getnframes())\n"
        "    v = [int.from_bytes(d[i:i+3], 'little', signed=True) // 8 for i in range(0, len(d), 3)]\n"
        "    assert 8192 - 2 * 256 <= len(v) <= 8192, (p, len(v))\n"
        "    bad = [i for i in range(1, len(v)) if v[i] != v[i - 1] + 1]\n"
        "    assert not bad, (p, bad[:5], v[bad[0] - 1:bad[0] + 1])\n"
        "    got.append(v)\n"
        "assert got[0] == got[1]\n"));
}

// Takes saved as a group, in both modes, and the session then killed: what their working
// copies left (copied aside before the close, put back after it) is no loss, and the next start
// clears it without a word. A working copy edited after the save is offered as what it is.
TEST_F(Takes, SavedTakesLeaveNothingToOfferAfterAKill)
{
    for (const WORD mode : {WORD(0), WORD(1)}) {
        for (const bool edited : {false, true}) {
            Prepare("0=sine:1000:-6", mode);
            frame->Settings.FileIO.MakeBackup = 1;
            frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 1;
            for (int ch = 1; ch < 8; ++ch)
                frame->Settings.Device.Channels[ch].bIsEnabled = 0;
            frame->ExecuteCommand(ID_RUN);
            ASSERT_TRUE(frame->AcquisitionRunning);
            ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
            RunSeconds(2);
            frame->ExecuteCommand(ID_STOP);
            ASSERT_TRUE(SaveFileGroup(Data("g.qrx"), frame->FileGroup, frame->Settings.Files));
            TWaveFile* saved = frame->Settings.Files[mode == 0 ? 0 : 1].File.get();
            ASSERT_NE(saved, nullptr);
            if (edited) {
                saved->MuteSeconds(0.0f, 0.5f);
            }
            fs::create_directories(Data("aside"));
            for (const auto& e : fs::directory_iterator(Data("wave")))
                if (e.path().filename().string().rfind("wav", 0) == 0)
                    fs::copy_file(e.path(), Data("aside/" + e.path().filename().string()));
            frame->DropAllWaveFiles();
            ASSERT_TRUE(Close());
            for (const auto& e : fs::directory_iterator(Data("aside")))
                fs::rename(e.path(), Data("wave/" + e.path().filename().string()));
            // A take of a session that still runs (process 1 always does) is left to it.
            const std::string live = Data("wave/wavF00D.tmp");
            std::ofstream(live) << std::string(4000, 'x');
            std::ofstream(live + ".label") << "kind=take\nprocess=1\nchannel=2\n";
            asked.clear();
            ASSERT_NE(Start(), nullptr);
            EXPECT_TRUE(fs::exists(live) && fs::exists(live + ".label"));
            fs::remove(live);
            if (!edited) {
                EXPECT_TRUE(asked.empty()) << mode << (asked.empty() ? "" : ": " + asked.back());
                EXPECT_TRUE(TakesIn(Data("wave")).empty()) << mode;
            } else {
                // A saved Real Time buffer, as a recording, is edited on its working copy.
                ASSERT_EQ(asked.size(), 1u) << mode;
                EXPECT_NE(asked[0].find("a working copy of " + Data(mode == 0 ? "g_Crown.wav" : "g_Brow.wav") +
                                        " with changes not saved"),
                          std::string::npos)
                    << asked[0];
                EXPECT_EQ(asked[0].find("Takes of live runs"), std::string::npos) << asked[0];
            }
            ASSERT_TRUE(Close());
            fs::remove_all(Data("wave"));
            // The next case saves its takes as a new group, not over this one.
            for (const auto& e : fs::directory_iterator(Data()))
                if (e.path().filename() == "g.qrx" || e.path().filename().string().rfind("g_", 0) == 0)
                    fs::remove(e.path());
            fs::create_directories(Data("wave"));
        }
    }
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
// sample; the seconds before the stall count nothing. The test waits for the stream itself (the
// packets the device has sent), never for a fixed time: a loaded machine reads it late.
TEST_F(Takes, AStallIsReportedAtStopAsTheGapTheTakeHolds)
{
    const std::string ramp = WriteRamp();
    ASSERT_FALSE(ramp.empty());
    Prepare("0=file:" + ramp, 1);
    kdrsim::UseTestClock(false);
    {
        const BusyCore busy;
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        auto playUntil = [&](const auto& done) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
            while (frame->AcquisitionRunning && !done() && std::chrono::steady_clock::now() < end)
                AfxPumpMessages(20);
            return done();
        };
        // Two seconds of the stream read in (500 packets of 4 ms), then the stall.
        const long long first = kdrsim::PacketsSent();
        ASSERT_TRUE(playUntil([&] { return kdrsim::PacketsSent() >= first + 500; }));
        EXPECT_EQ(frame->InputDevice->GetLostPackets(), 0);
        const long long beforeStall = kdrsim::PacketsSent();
        kdrsim::Stall(3000);
        // Two seconds of the stream after it read in, and its loss counted.
        ASSERT_TRUE(playUntil([&] {
            return kdrsim::PacketsSent() >= beforeStall + 500 && frame->InputDevice->GetLostPackets() >= 749;
        })) << frame->InputDevice->GetLostPackets() << " packets counted lost";
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
