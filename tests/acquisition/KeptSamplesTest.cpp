// What a user's samples survive, on the simulator and read back by Python's wave module: a
// Recorder run appends to the file a channel holds (an opened saved file, a rewound take, kept
// Real Time buffers) in both wave-file modes, with and without a backup copy, and Exit then asks;
// Exit, the close box and loading a configuration ask before a Real Time run's buffers go, and
// the secondary toolbar's Save keeps them, a failed save all of them for the next try; a saved
// take changes on disk only at a save with MakeBackup on; an in-place cut killed while it moves frames leaves
// its undo copy to the next start, named.
#include "acquisition/SimulatedRunFixture.h"

#include "app/CToolbar2.h"
#include "support/RealDisplay.h"
#include "wave/FileGroup.h"
#include "wave/TWaveFile.h"
#include "wave/WaveCalibrationBlock.h"
#include "wave/WorkingFile.h"

#include <array>
#include <cstring>
#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A folder its user cannot write to: read and search only. The superuser's override would
// ignore that, so it is dropped while the folder is locked, on this thread, where saves run.
class UnwritableFolder {
public:
    explicit UnwritableFolder(std::string path) : path_(std::move(path))
    {
        fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_exec);
        Override(false);
    }
    ~UnwritableFolder()
    {
        Override(true);
        fs::permissions(path_, fs::perms::owner_all);
    }

private:
    static void Override(bool on)
    {
        if (::geteuid() != 0)
            return;
        __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[2]{};
        ASSERT_EQ(::syscall(SYS_capget, &head, caps), 0);
        const unsigned bit = 1u << CAP_DAC_OVERRIDE;
        caps[0].effective = on ? caps[0].effective | bit : caps[0].effective & ~bit;
        ASSERT_EQ(::syscall(SYS_capset, &head, caps), 0);
    }
    std::string path_;
};

std::string Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class KeptSamples : public SimulatedRun {
protected:
    void TearDown() override
    {
        // What a test leaves open goes without the questions about it.
        if (frame != nullptr) {
            frame->ExecuteCommand(ID_STOP);
            frame->DropAllWaveFiles();
        }
        SimulatedFrame::TearDown();
    }
    void Prepare(WORD mode, WORD waveFileMode, BYTE makeBackup)
    {
        ASSERT_NE(Start(), nullptr);
        frame->Settings.OpMode = mode;
        for (auto& c : frame->Settings.Composite)
            c.bIsEnabled = 0;
        for (int ch = 0; ch < 8; ++ch)
            frame->Settings.Device.Channels[ch].bIsEnabled = ch == 0 ? 1 : 0;
        CopyField(frame->Settings.Paths.Wav, Data("wave").c_str());
        frame->Settings.FileIO.WaveFileMode = waveFileMode;
        frame->Settings.FileIO.MakeBackup = makeBackup;
        frame->Settings.FileIO.MaxRamRecordingTimeSecs = 30;
        frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 1;
        frame->Settings.FileIO.RealTimeWaveBufferLengthSecs = 10;
    }
    // A calibration chunk (enabled, named "Rig 7") after the RIFF chunk of a wave file.
    static void AppendCalibrationChunk(const std::string& path)
    {
        WaveCalibrationBlock block;
        std::strcpy(block.Name, "Rig 7");
        for (ChannelCalibration& c : block.Channel) {
            c.IsEnabled = 1;
            c.CalRatio = 2.5f;
            c.DTGain = 1.0f;
            std::strcpy(c.ChannelName, "Crown");
        }
        std::array<std::uint8_t, WaveCalibrationBlock::kSize> bytes{};
        block.WriteToBytes(bytes);
        std::ofstream out(path, std::ios::binary | std::ios::app);
        const std::uint32_t head[2] = {WaveCalibrationBlock::kChunkId, WaveCalibrationBlock::kSize};
        out.write(reinterpret_cast<const char*>(head), sizeof head); // little-endian, as the file wants
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static bool HasCalibrationChunk(const std::string& path)
    {
        return frametest::Python("import struct\n"
                                 "b = open('" + path + "', 'rb').read()\n"
                                 "at = 8 + struct.unpack('<I', b[4:8])[0]\n"
                                 "at += at & 1\n"
                                 "assert struct.unpack('<II', b[at:at+8]) == (102, 2048), b[at:at+8]\n"
                                 "assert b[at+8:at+8+260].split(b'\\0')[0] == b'Rig 7'\n");
    }
};

} // namespace

// Whatever the channel's file is and wherever its position stands, a Recorder run adds the
// device's samples after the ones it holds, which stay exactly; until the file is saved, Exit
// asks about it (Cancel keeps the program open).
TEST_F(KeptSamples, ARecorderRunAppendsToTheChannelsFileAndExitThenAsks)
{
    enum class Into { SavedFile, RewoundTake, KeptBuffers };
    const std::string saved = Data("saved.wav");
    for (const Into into : {Into::SavedFile, Into::RewoundTake, Into::KeptBuffers})
        for (const WORD waveFileMode : {WORD(0), WORD(1)})
            for (const BYTE makeBackup : {BYTE(0), BYTE(1)}) {
                SCOPED_TRACE("case " + std::to_string(int(into)) + ", WaveFileMode " + std::to_string(waveFileMode) +
                             ", MakeBackup " + std::to_string(makeBackup));
                fs::create_directories(Data("wave"));
                std::vector<Stretch> before;
                if (into == Into::SavedFile) {
                    ASSERT_TRUE(frametest::Python(
                        "import wave\n"
                        "w = wave.open('" + saved + "', 'wb')\n"
                        "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
                        "w.writeframes(b''.join((8 * k).to_bytes(3, 'little', signed=True) for k in range(24680)))\n"));
                    AppendCalibrationChunk(saved);
                    Prepare(1, waveFileMode, makeBackup);
                    CopyField(frame->Settings.Files[0].FilePath, saved.c_str());
                    frame->ReopenAndApplyAllWaveFiles();
                    ASSERT_NE(frame->Settings.Files[0].File, nullptr);
                    before.push_back({0, 24680});
                    // Where a playback or a post-process run may leave it.
                    frame->Settings.Files[0].File->SetPosition(9000);
                } else if (into == Into::RewoundTake) {
                    Prepare(1, waveFileMode, makeBackup);
                    before.push_back({-12, Run(-12, 2)});
                    frame->RewindWaveFiles();
                } else {
                    Prepare(0, waveFileMode, makeBackup);
                    before.push_back({-12, Run(-12, 2)});
                    answers = {{kBuffers, IDYES}};
                    frame->SetModeRecorder(true);
                    ASSERT_EQ(Asked(kBuffers), 1);
                }
                ASSERT_GT(before.back().frames, 4000);
                TWaveFile* file = frame->Settings.Files[0].File.get();
                ASSERT_NE(file, nullptr);
                const long long added = Run(-6, 2);
                ASSERT_GT(added, 4000);
                ASSERT_EQ(frame->Settings.Files[0].File.get(), file);
                EXPECT_EQ(file->GetEndFrame(), DWORD(before.back().frames + added));
                if (into == Into::SavedFile && waveFileMode == 1 && makeBackup == 0) {
                    // Recorded into in place, the file itself is whole at Stop, calibration and all.
                    std::vector<Stretch> now = before;
                    now.push_back({-6, added});
                    EXPECT_TRUE(Holds(saved, now));
                    EXPECT_TRUE(HasCalibrationChunk(saved));
                }

                answers = {{kUnsaved, IDCANCEL}};
                asked.clear();
                ASSERT_FALSE(Close()) << "Exit closed the program over a recording not saved";
                EXPECT_EQ(Asked(kUnsaved), 1);
                ASSERT_NE(frame->Settings.Files[0].File, nullptr);

                // Saved as the user would, the file holds the old samples, then the new.
                if (file->IsUntitled())
                    file->SetFileName(Data("wave/kept.wav"));
                const std::string path = file->GetFileName();
                ASSERT_TRUE(file->GetMode() == TWaveFile::kMemory ? file->Save() : file->SaveStreamedAs());
                before.push_back({-6, added});
                EXPECT_TRUE(Holds(path, before));
                if (into == Into::SavedFile)
                    EXPECT_TRUE(HasCalibrationChunk(path));
                frame->DropAllWaveFiles();
                ASSERT_TRUE(Close());
                fs::remove_all(Data("wave"));
                fs::remove(saved);
                answers.clear();
                asked.clear();
            }
}

// A file held in memory that cannot be given room for a recording is said before the run, in
// words that name the cause, and is left as it was: the channel is not recorded.
TEST_F(KeptSamples, AnInMemoryFileWithoutRoomIsSaidBeforeTheRun)
{
    ASSERT_TRUE(frametest::Python("import wave\n"
                                  "w = wave.open('" + Data("saved.wav") + "', 'wb')\n"
                                  "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
                                  "w.writeframes(bytes(3 * 4000))\n"));
    Prepare(1, 0, 1);
    frame->Settings.FileIO.MaxRamRecordingTimeSecs = 0;
    CopyField(frame->Settings.Files[0].FilePath, Data("saved.wav").c_str());
    frame->ReopenAndApplyAllWaveFiles();
    ASSERT_NE(frame->Settings.Files[0].File, nullptr);
    // The other channels a Recorder run records still start it.
    EXPECT_GT(Run(-6, 1), 0);
    ASSERT_GE(asked.size(), 1u);
    EXPECT_NE(asked[0].find("is held in memory (WaveFileMode 0) and cannot take a recording after its 1.0 seconds: "
                            "MaxRamRecordingTimeSecs is 0"),
              std::string::npos)
        << asked[0];
    EXPECT_EQ(frame->Settings.Files[0].File->GetEndFrame(), 4000u);
}

// A file held in memory gets MaxRamRecordingTimeSecs of room after its last sample, however long
// it is: a file longer than that room, or one the room counted from its start would leave too
// little of, keeps its samples and gains the whole run, without a word.
TEST_F(KeptSamples, AnInMemoryFileGetsItsRoomAfterItsSamples)
{
    const std::string saved = Data("saved.wav");
    for (const int seconds : {5, 2}) {
        SCOPED_TRACE(std::to_string(seconds) + " s file, 4 s of room, a 3 s run");
        ASSERT_TRUE(frametest::Python(
            "import wave\n"
            "w = wave.open('" + saved + "', 'wb')\n"
            "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
            "w.writeframes(b''.join((8 * k).to_bytes(3, 'little', signed=True) for k in range(" +
            std::to_string(4000 * seconds) + ")))\n"));
        Prepare(1, 0, 1);
        frame->Settings.FileIO.MaxRamRecordingTimeSecs = 4; // the least the profile takes
        CopyField(frame->Settings.Files[0].FilePath, saved.c_str());
        frame->ReopenAndApplyAllWaveFiles();
        TWaveFile* file = frame->Settings.Files[0].File.get();
        ASSERT_NE(file, nullptr);
        const long long added = Run(-6, 3);
        ASSERT_GT(added, 8000);
        EXPECT_TRUE(asked.empty()) << asked.front();
        EXPECT_EQ(file->GetEndFrame(), DWORD(4000 * seconds + added));
        ASSERT_TRUE(file->Save());
        EXPECT_TRUE(Holds(saved, {{0, 4000 * seconds}, {-6, added}}));
        frame->DropAllWaveFiles();
        ASSERT_TRUE(Close());
        asked.clear();
    }
}

// After a Real Time run, Exit, the close box and loading a configuration ask before the buffers
// go: Cancel changes nothing, No lets them go, Yes saves each as a recording file.
TEST_F(KeptSamples, ExitCloseAndLoadingAConfigurationAskBeforeTheBuffersGo)
{
    enum class Road { Exit, CloseBox, LoadConfiguration };
    for (const Road road : {Road::Exit, Road::CloseBox, Road::LoadConfiguration})
        for (const WORD waveFileMode : {WORD(0), WORD(1)})
            for (const int answer : {IDCANCEL, IDNO, IDYES}) {
                SCOPED_TRACE("road " + std::to_string(int(road)) + ", WaveFileMode " + std::to_string(waveFileMode) +
                             ", answer " + std::to_string(answer));
                fs::create_directories(Data("wave"));
                Prepare(0, waveFileMode, 1);
                const std::string config = Data("config/other.cfg");
                if (road == Road::LoadConfiguration)
                    ASSERT_TRUE(frame->SaveConfiguration(config.c_str()));
                const long long frames = Run(-6, 2);
                ASSERT_GT(frames, 4000);
                const TWaveFile* buffer = frame->Settings.Files[0].File.get();
                ASSERT_NE(buffer, nullptr);
                answers = {{kBuffers, answer}};
                asked.clear();
                const HWND h = frame->GetSafeHwnd();
                bool gone = false;
                if (road == Road::LoadConfiguration) {
                    user.ExpectFile(PromptKind::FileOpen, config); // F8's file dialog
                    frame->ExecuteCommand(ID_CONFIG_LOAD);
                    gone = frame->Settings.Files[0].File == nullptr;
                } else {
                    if (road == Road::Exit)
                        frame->ExecuteCommand(ID_APP_EXIT);
                    else
                        QtWidgetOf(frame)->close();
                    PumpUntil([&] { return !IsWindow(h) || !asked.empty(); }, 20000);
                    AfxPumpMessages(20);
                    gone = !IsWindow(h);
                }
                if (gone && road != Road::LoadConfiguration)
                    EndApplication();
                EXPECT_EQ(Asked(kBuffers), 1);
                EXPECT_EQ(gone, answer != IDCANCEL);
                if (answer == IDCANCEL && frame != nullptr) {
                    EXPECT_EQ(frame->Settings.Files[0].File.get(), buffer);
                    EXPECT_EQ(buffer->GetEndFrame(), DWORD(frames));
                }
                if (answer == IDYES)
                    ExpectBufferSaved(frames);
                else
                    EXPECT_TRUE(SavedBuffers().empty());
                if (frame != nullptr) {
                    frame->DropAllWaveFiles();
                    ASSERT_TRUE(Close());
                }
                fs::remove_all(Data("wave"));
                answers.clear();
            }
}

// A save of a Real Time run's seven buffers into a wave folder that cannot be written (Exit's
// Yes, the secondary toolbar's Save) names the file and the cause and leaves every buffer as it
// was: once the folder can be written, the next try saves all seven.
TEST_F(KeptSamples, AFailedSaveOfTheBuffersKeepsEveryOneForTheRetry)
{
    enum class Road { Exit, ToolbarSave };
    for (const Road road : {Road::Exit, Road::ToolbarSave})
        for (const WORD waveFileMode : {WORD(0), WORD(1)}) {
            SCOPED_TRACE("road " + std::to_string(int(road)) + ", WaveFileMode " + std::to_string(waveFileMode));
            fs::create_directories(Data("wave"));
            Prepare(0, waveFileMode, 1);
            for (int ch = 0; ch < 7; ++ch)
                frame->Settings.Device.Channels[ch].bIsEnabled = 1;
            if (road == Road::ToolbarSave)
                frame->ExecuteCommand(ID_VIEW_SECONDARY_TOOLBAR);
            const long long frames = Run(-6, 2);
            ASSERT_GT(frames, 4000);
            const HWND h = frame->GetSafeHwnd();
            answers = {{kBuffers, IDYES}};
            auto save = [&] {
                asked.clear();
                if (road == Road::Exit) {
                    frame->ExecuteCommand(ID_APP_EXIT);
                    PumpUntil([&] { return !IsWindow(h) || !asked.empty(); }, 20000);
                } else {
                    EXPECT_TRUE(QtMouseClick(frame->Toolbar2.get(), 203));
                }
                AfxPumpMessages(20);
            };
            {
                UnwritableFolder locked(Data("wave"));
                save();
            }
            ASSERT_TRUE(IsWindow(h)) << "the program stays open";
            const std::string cause = "the folder " + Data("wave") + " is not writable";
            EXPECT_EQ(std::count_if(asked.begin(), asked.end(),
                                    [&](const std::string& t) {
                                        return t.find(Data("wave/Ch_0_")) != std::string::npos &&
                                               t.find(cause) != std::string::npos;
                                    }),
                      1)
                << (asked.empty() ? "" : asked.back());
            if (waveFileMode == 1)
                EXPECT_EQ(Asked("TWaveFile - failure copying temporary backup file"), 1);
            for (int ch = 0; ch < 7; ++ch) {
                ASSERT_NE(frame->Settings.Files[ch].File, nullptr) << ch;
                EXPECT_TRUE(frame->Settings.Files[ch].File->IsUntitled()) << ch;
            }

            save();
            EXPECT_EQ(Asked("The Real-Time data buffers are saved:"), 1);
            if (road == Road::Exit) {
                EXPECT_FALSE(IsWindow(h));
                EndApplication();
            }
            // Every buffer whole, read back by Python.
            EXPECT_TRUE(frametest::Python("import glob, wave\n"
                                          "for c in range(7):\n"
                                          "    f = glob.glob('" + Data("wave") + "/Ch_%d_*.wav' % c)\n"
                                          "    assert len(f) == 1, (c, f)\n"
                                          "    assert wave.open(f[0]).getnframes() == " + std::to_string(frames) +
                                          ", c\n"));
            const std::vector<fs::path> kept = SavedBuffers();
            ASSERT_EQ(kept.size(), 1u);
            EXPECT_TRUE(Holds(kept[0].string(), {{-6, frames}}));
            if (frame != nullptr) {
                frame->DropAllWaveFiles();
                ASSERT_TRUE(Close());
            }
            fs::remove_all(Data("wave"));
            answers.clear();
        }
}

// With MakeBackup on, a take just saved from kept Real Time buffers changes on disk only at the
// next save: a Recorder run into it, or an edit of it, goes to its working copy, and No at Exit
// leaves the saved file as it was saved.
TEST_F(KeptSamples, ASavedTakeChangesOnDiskOnlyAtTheNextSave)
{
    enum class Then { RecorderRun, Edit };
    for (const Then then : {Then::RecorderRun, Then::Edit}) {
        SCOPED_TRACE(int(then));
        fs::create_directories(Data("wave"));
        Prepare(0, 1, 1);
        const long long frames = Run(-12, 2);
        ASSERT_GT(frames, 4000);
        answers = {{kBuffers, IDYES}};
        frame->SetModeRecorder(true);
        ASSERT_TRUE(SaveFileGroup(Data("wave/g.qrx"), frame->FileGroup, frame->Settings.Files));
        const std::string saved = Data("wave/g_Crown.wav");
        ASSERT_TRUE(Holds(saved, {{-12, frames}}));
        const std::string bytes = Bytes(saved);
        if (then == Then::RecorderRun) {
            EXPECT_GT(Run(-6, 2), 4000);
        } else {
            ASSERT_TRUE(frame->Settings.Files[0].File->MuteSecondsWithUndo(0.5f, 1.0f));
            frame->NoteSampleEdit(0);
        }
        EXPECT_EQ(Bytes(saved), bytes) << "the saved file changed before a save";
        answers = {{kUnsaved, IDNO}};
        asked.clear();
        ASSERT_TRUE(Close());
        EXPECT_EQ(Asked(kUnsaved), 1);
        EXPECT_EQ(Bytes(saved), bytes) << "No at Exit left the run or the edit in the saved file";
        fs::remove_all(Data("wave"));
        answers.clear();
        asked.clear();
    }
}

// After a Real Time run the secondary toolbar's Save button (the frame's File > Save stays grey in
// that mode) saves each buffer into the wave folder and names it; Exit then has nothing to ask.
// Before any run it has nothing to save and says nothing.
TEST_F(KeptSamples, TheSecondaryToolbarsSaveKeepsTheRealTimeBuffers)
{
    for (const WORD waveFileMode : {WORD(0), WORD(1)}) {
        SCOPED_TRACE("WaveFileMode " + std::to_string(waveFileMode));
        fs::create_directories(Data("wave"));
        Prepare(0, waveFileMode, 1);
        frame->ExecuteCommand(ID_VIEW_SECONDARY_TOOLBAR);
        ASSERT_TRUE(frame->Toolbar2->IsWindowVisible());
        asked.clear();
        ASSERT_TRUE(QtMouseClick(frame->Toolbar2.get(), 203));
        AfxPumpMessages(5);
        EXPECT_TRUE(asked.empty()) << "nothing to save yet";

        const long long frames = Run(-6, 2);
        ASSERT_GT(frames, 4000);
        ASSERT_TRUE(QtMouseClick(frame->Toolbar2.get(), 203));
        AfxPumpMessages(5);
        ExpectBufferSaved(frames);
        EXPECT_EQ(Asked("The Real-Time data buffers are saved:"), 1);
        EXPECT_EQ(frame->Settings.OpMode, 0) << "the mode stays";

        asked.clear();
        ASSERT_TRUE(Close());
        EXPECT_EQ(Asked(kBuffers), 0);
        EXPECT_EQ(SavedBuffers().size(), 1u);
        fs::remove_all(Data("wave"));
    }
}

// An in-place cut killed once it has begun to move frames: the file is part-moved, and the next
// start keeps the cut's undo copy, the only place its frames are left, and names it with the
// frame its frames belong at and the cut cut short.
TEST_F(KeptSamples, AnUndoCopyOfAnInPlaceEditKilledMidwayIsKeptAndNamedAtTheNextStart)
{
    fs::create_directories(Data("wave"));
    const std::string path = Data("cut.wav");
    // Long enough that the cut is still moving frames when the kill comes.
    constexpr long long kFrames = 3000000, kFirst = 3001, kEnd = 7777;
    ASSERT_TRUE(frametest::Python(
        "import wave, array, sys\n"
        "a = array.array('h', (v for k in range(" + std::to_string(kFrames) + ") for v in (k % 30000, -(k % 30000))))\n"
        "if sys.byteorder != 'little': a.byteswap()\n"
        "w = wave.open('" + path + "', 'wb')\n"
        "w.setnchannels(2); w.setsampwidth(2); w.setframerate(4000)\n"
        "w.writeframes(a.tobytes())\n"));
    const std::int64_t watch = 44 + kFirst * 4;
    char first[4] = {};
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pread(fd, first, 4, watch), 4);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        auto* w = new TWaveFile(path, TWaveFile::kStreamed, false, Data("wave"));
        const char ready = 'r';
        (void)!write(pipeFds[1], &ready, 1);
        HGLOBAL cut = w->Cut(DWORD(kFirst), DWORD(kEnd));
        (void)cut;
        const char done = 'd';
        (void)!write(pipeFds[1], &done, 1);
        for (;;)
            pause();
    }
    close(pipeFds[1]);
    char c = 0;
    ASSERT_EQ(read(pipeFds[0], &c, 1), 1);
    // Killed once the frames at the cut have changed: the move is under way (or just done).
    for (int i = 0; i < 20000000; ++i) {
        char now[4] = {};
        if (pread(fd, now, 4, watch) == 4 && !std::equal(now, now + 4, first))
            break;
    }
    kill(child, SIGKILL);
    // The header names the shorter file only once the cut has moved every frame.
    std::uint8_t size[4] = {};
    ASSERT_EQ(pread(fd, size, 4, 40), 4);
    const bool moved = (size[0] | size[1] << 8 | size[2] << 16 | std::uint32_t(size[3]) << 24) != kFrames * 4;
    close(fd);
    int how = 0;
    ASSERT_EQ(waitpid(child, &how, 0), child);
    ASSERT_TRUE(WIFSIGNALED(how));
    char told[2] = {};
    const bool finished = read(pipeFds[0], told, 2) == 1 && told[0] == 'd';
    RecordProperty("killed", finished ? "after the cut returned" : "while the cut moved frames");
    close(pipeFds[0]);
    std::vector<fs::path> undo;
    for (const auto& e : fs::directory_iterator(Data("wave")))
        if (e.path().extension() == ".tmp")
            undo.push_back(e.path());
    ASSERT_EQ(undo.size(), 1u);

    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(Asked("from an earlier session"), 1) << (asked.empty() ? "" : asked.back());
    // It says where its frames go back, and that the cut did not end.
    const std::string place = ": the undo copy of " + path + ", holding its frames as they were before its last "
                              "edit: its 4776 frames belong at frame 3001 of the file, where the edit cut them out";
    EXPECT_EQ(Asked(undo[0].filename().string() + place), 1) << asked.back();
    const int cutShort = Asked(place + "; the edit was cut short, so the file may be part-edited from frame 3001 on");
    if (moved)
        EXPECT_EQ(cutShort + Asked(place + "; the edit was finished"), 1) << asked.back();
    else
        EXPECT_EQ(cutShort, 1) << asked.back();
    ASSERT_TRUE(fs::exists(undo[0]));
    ASSERT_TRUE(frametest::Python("import wave, struct\n"
                                  "w = wave.open('" + undo[0].string() + "')\n"
                                  "n = w.getnframes()\n"
                                  "assert n == " + std::to_string(kEnd - kFirst) + ", n\n"
                                  "d = w.readframes(n)\n"
                                  "for i in range(n):\n"
                                  "    k = " + std::to_string(kFirst) + " + i\n"
                                  "    assert struct.unpack('<hh', d[4*i:4*i+4]) == (k % 30000, -(k % 30000)), i\n"));
    // Offered again at the next start, until the user deals with it.
    ASSERT_TRUE(Close());
    asked.clear();
    ASSERT_NE(Start(), nullptr);
    EXPECT_EQ(Asked("the undo copy of"), 1);
}
