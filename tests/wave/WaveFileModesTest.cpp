// Saving: working copies, backups, in-place editing and failures that must not lose data.
#include "platform/core/FileSystem.h"
#include "support/ScriptedUser.h"
#include "wave/TWaveFile.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>

#include <filesystem>

#include <sys/resource.h>
#include <unistd.h>

using namespace wavetest;

namespace {

std::string MakeWave(const TempFolder& dir, const std::string& name, const TPcmFormat& f, DWORD frames,
                     std::uint32_t seed = 1)
{
    std::string path = dir.file(name);
    TWaveFile w(frames, f, dir.path());
    std::vector<std::uint8_t> bytes = PatternBytes(f, frames, seed);
    EXPECT_TRUE(w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size())));
    w.SetFileName(path);
    EXPECT_TRUE(w.Save());
    return path;
}

std::vector<std::uint8_t> Frames(TWaveFile& w, DWORD first, DWORD count)
{
    std::vector<std::uint8_t> out(w.FramesToBytes(count));
    DWORD keep = w.GetPosition();
    w.Seek(first);
    EXPECT_TRUE(w.ReadBytes(out.data(), static_cast<DWORD>(out.size())));
    w.Seek(keep);
    return out;
}

} // namespace

TEST(WaveFileModes, UntitledMemoryWaveCannotBeSavedWithoutAName)
{
    TWaveFile w(10, TPcmFormat(), "");
    EXPECT_TRUE(w.IsUntitled());
    EXPECT_FALSE(w.Save());
}

TEST(WaveFileModes, BackupLeavesTheUserFileUntouchedUntilSaveAndCleansUp)
{
    TempFolder dir;
    TPcmFormat f(8000, 2, 2);
    std::string path = MakeWave(dir, "user.wav", f, 5000);
    std::vector<std::uint8_t> original = ReadFile(path);
    {
        TWaveFile w(path, TWaveFile::kStreamed, true, dir.path());
        ASSERT_FALSE(w.IsError());
        EXPECT_NE(w.GetWorkingCopy(), path);
        EXPECT_TRUE(FileExists(w.GetWorkingCopy()));
        w.MuteFrames(100, 200);
        EXPECT_TRUE(w.IsModified());
        EXPECT_EQ(ReadFile(path), original) << "edits go to the working copy";
        WaveCalibrationBlock cal;
        cal.Channel[0] = ChannelCalibration(0);
        cal.Channel[0].CalRatio = 3.5f;
        w.SetCalibration(cal);
        ASSERT_TRUE(w.Save());
        EXPECT_FALSE(w.IsModified());
        EXPECT_NE(ReadFile(path), original);
        // Further edits after a save stay in the working copy again.
        std::vector<std::uint8_t> saved = ReadFile(path);
        w.MuteFrames(300, 400);
        EXPECT_EQ(ReadFile(path), saved);
    }
    EXPECT_EQ(dir.count(), 1u) << "working copy and undo file deleted";
    TWaveFile back(path, TWaveFile::kMemory, false, dir.path());
    ASSERT_FALSE(back.IsError());
    EXPECT_EQ(back.GetEndFrame(), 5000u);
    EXPECT_EQ(back.GetSample(150, 1, false), 0);
    EXPECT_NE(back.GetSample(350, 1, false), 0);
    ASSERT_TRUE(back.IsCalibrationPresent());
    EXPECT_EQ(+back.CalibrationBlock().Channel[0].CalRatio, 3.5f);
}

TEST(WaveFileModes, NewStreamedWaveIsRenamedOnFirstSaveThenEditedInPlace)
{
    TempFolder dir;
    TPcmFormat f(4000, 1, 3);
    std::string path = dir.file("recording.wav");
    {
        TWaveFile w(f, false, dir.path());
        ASSERT_FALSE(w.IsError());
        std::string temp = w.GetWorkingCopy();
        std::vector<std::uint8_t> bytes = PatternBytes(f, 3000);
        ASSERT_TRUE(w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size())));
        EXPECT_EQ(w.GetEndFrame(), 3000u);
        w.SetFileName(path);
        ASSERT_TRUE(w.Save());
        EXPECT_EQ(w.GetWorkingCopy(), path);
        EXPECT_FALSE(FileExists(temp));
        EXPECT_EQ(GetFileSizeOf(path), 44 + 9000);
        // Now in place: an edit reaches the file at once.
        ASSERT_TRUE(w.SetSample(-5, 10, 0));
        EXPECT_EQ(w.GetSample(10, 0, false), -5);
        ASSERT_TRUE(w.Save());
    }
    TWaveFile back(path, TWaveFile::kMemory, false, dir.path());
    ASSERT_FALSE(back.IsError());
    EXPECT_EQ(back.GetSample(10, 0, false), -5);
    EXPECT_EQ(dir.count(), 1u);
}

TEST(WaveFileModes, FinishedRecordingLeavesAFileAndAnEmptyObject)
{
    TempFolder dir;
    TPcmFormat f(4000, 1, 2);
    std::string path = dir.file("take1.wav");
    TWaveFile w(f, false, dir.path());
    std::vector<std::uint8_t> bytes = PatternBytes(f, 777);
    EXPECT_TRUE(w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size())));
    w.SetFileName(path);
    ASSERT_TRUE(w.SaveStreamedAs());
    EXPECT_EQ(w.GetLength(), 0u);
    EXPECT_TRUE(w.GetFileName().empty());
    std::vector<std::uint8_t> file = ReadFile(path);
    ASSERT_EQ(file.size(), 44u + bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), file.begin() + 44));
}

TEST(WaveFileModes, MuteRoundsToEvenFramesOnlyWhenStreamed)
{
    TempFolder dir;
    TPcmFormat f(1000, 1, 2);
    std::string path = MakeWave(dir, "mute.wav", f, 20, 5);
    auto silenced = [](TWaveFile& w) {
        std::vector<DWORD> out;
        for (DWORD i = 0; i < 20; ++i)
            if (w.GetSample(i, 0, false) == 0)
                out.push_back(i);
        return out;
    };
    {
        TWaveFile w(path, TWaveFile::kStreamed, true, dir.path());
        w.MuteFrames(3, 10);
        EXPECT_EQ(silenced(w), (std::vector<DWORD>{4, 5, 6, 7, 8, 9}));
        EXPECT_EQ(w.GetUndoKind(), static_cast<DWORD>(TWaveFile::kUndoOverwritten));
        w.Undo();
        EXPECT_TRUE(silenced(w).empty());
        w.MuteFrames(4, 11);
        EXPECT_EQ(silenced(w), (std::vector<DWORD>{4, 5, 6, 7, 8, 9}));
    }
    TWaveFile m(path, TWaveFile::kMemory, false, dir.path());
    m.MuteFrames(3, 10);
    EXPECT_EQ(silenced(m), (std::vector<DWORD>{3, 4, 5, 6, 7, 8, 9}));
}

TEST(WaveFileModes, CalibrationOfAnEmptyWaveDoesNotMarkItModified)
{
    TWaveFile empty(0, TPcmFormat(), "");
    WaveCalibrationBlock cal;
    cal.Channel[0].CalRatio = 9.0f;
    empty.SetCalibration(cal);
    EXPECT_FALSE(empty.IsModified());
    EXPECT_FALSE(empty.IsCalibrationChanged());
    EXPECT_TRUE(empty.IsCalibrationPresent());

    TWaveFile full(10, TPcmFormat(), "");
    full.SetModified(false);
    full.SetCalibration(cal);
    EXPECT_TRUE(full.IsModified());
    EXPECT_TRUE(full.IsCalibrationChanged());
    full.SetModified(false);
    full.SetCalibration(cal);
    EXPECT_FALSE(full.IsModified()) << "the same block again changes nothing";
    full.ClearCalibration();
    EXPECT_FALSE(full.IsCalibrationPresent());
    EXPECT_TRUE(full.IsModified());
    full.SetModified(false);
    full.ClearCalibration();
    EXPECT_FALSE(full.IsModified()) << "clearing an absent calibration again changes nothing";
}

TEST(WaveFileModes, FailedWritesLeaveTheOriginalIntact)
{
    TempFolder dir;
    TPcmFormat f(8000, 2, 2);
    std::string path = MakeWave(dir, "precious.wav", f, 1000, 3);
    std::vector<std::uint8_t> original = ReadFile(path);

    // A whole-file save that runs out of room half-way.
    {
        TWaveFile big(200000, f, dir.path());
        std::vector<std::uint8_t> bytes = PatternBytes(f, 200000, 4);
        EXPECT_TRUE(big.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size())));
        big.SetFileName(path);
        FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(big.Save());
        EXPECT_FALSE(big.IsError()) << "the samples are still held, for another save";
    }
    EXPECT_EQ(ReadFile(path), original);

    // A streamed save with backup whose copy to the user's file fails half-way.
    {
        TWaveFile w(path, TWaveFile::kStreamed, true, dir.path());
        ASSERT_FALSE(w.IsError());
        std::vector<std::uint8_t> more = PatternBytes(f, 100000, 5);
        w.SeekEnd();
        ASSERT_TRUE(w.WriteBytes(more.data(), static_cast<DWORD>(more.size())));
        {
            ScriptedUser user;
            user.ExpectBox(IDOK, "failure copying temporary backup file.");
            FileSizeLimit limit(64 * 1024);
            EXPECT_FALSE(w.Save());
        }
        EXPECT_EQ(ReadFile(path), original);
        // The edits are still in the working copy, still unsaved, and a later save succeeds.
        EXPECT_EQ(w.GetEndFrame(), 101000u);
        EXPECT_TRUE(w.IsModified());
        ASSERT_TRUE(w.Save());
        EXPECT_FALSE(w.IsModified());
    }
    TWaveFile back(path, TWaveFile::kMemory, false, dir.path());
    EXPECT_EQ(back.GetEndFrame(), 101000u);
    EXPECT_EQ(dir.count(), 1u);
}

TEST(WaveFileModes, SavingIntoAMissingFolderFailsAndKeepsTheData)
{
    TempFolder dir;
    TPcmFormat f(8000, 1, 2);
    TWaveFile w(f, false, dir.path());
    std::vector<std::uint8_t> bytes = PatternBytes(f, 100);
    EXPECT_TRUE(w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size())));
    w.SetFileName(dir.file("no/such/folder.wav"));
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "failure copying temporary backup file.");
        EXPECT_FALSE(w.Save());
    }
    EXPECT_TRUE(FileExists(w.GetWorkingCopy()));
    EXPECT_EQ(Frames(w, 0, 100), bytes);
    w.SetFileName(dir.file("found.wav"));
    EXPECT_TRUE(w.Save());
}

// The folder of a file edited on a backup copy goes away before the save (a removed stick):
// the save fails with one message, not the same one twice, and keeps the edits.
TEST(WaveFileModes, ASaveWhoseFolderIsGoneSaysSoOnce)
{
    TempFolder dir;
    TPcmFormat f(8000, 1, 2);
    std::filesystem::create_directory(dir.file("stick"));
    std::string path = MakeWave(dir, "stick/take.wav", f, 100, 2);
    TWaveFile w(path, TWaveFile::kStreamed, true, dir.path());
    ASSERT_FALSE(w.IsError());
    ASSERT_TRUE(w.SetSample(77, 10, 0));
    std::filesystem::remove_all(dir.file("stick"));
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "failure copying temporary backup file.");
        EXPECT_FALSE(w.Save());
    }
    EXPECT_TRUE(w.IsModified());
    EXPECT_EQ(w.GetSample(10, 0, false), 77);
}

TEST(WaveFileModes, TemporaryFolderOnAnotherFileSystem)
{
    if (!FolderExists("/dev/shm"))
        GTEST_SKIP() << "no second file system";
    TempFolder dir;
    std::string shm = "/dev/shm/durnex-wave-" + std::to_string(::getpid());
    ASSERT_TRUE(std::filesystem::create_directory(shm));
    TPcmFormat f(8000, 2, 3);
    std::vector<std::uint8_t> bytes = PatternBytes(f, 5000, 9);
    std::string path = dir.file("crossed.wav");
    {
        TWaveFile w(f, false, shm); // working copy on tmpfs, the user's file elsewhere
        EXPECT_TRUE(w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size())));
        w.SetFileName(path);
        ASSERT_TRUE(w.Save());
        EXPECT_EQ(w.GetWorkingCopy(), path);
        w.MuteFrames(0, 10); // undo file on tmpfs, edit in place
        ASSERT_TRUE(w.Save());
    }
    {
        TWaveFile w(path, TWaveFile::kStreamed, true, shm); // backup copy on tmpfs
        ASSERT_FALSE(w.IsError());
        EXPECT_TRUE(w.SetSample(123, 20, 1));
        ASSERT_TRUE(w.Save());
    }
    TWaveFile back(path, TWaveFile::kMemory, false, dir.path());
    ASSERT_FALSE(back.IsError());
    EXPECT_EQ(back.GetEndFrame(), 5000u);
    EXPECT_EQ(back.GetSample(5, 0, false), 0);
    EXPECT_EQ(back.GetSample(20, 1, false), 123);
    EXPECT_EQ(Frames(back, 30, 10), std::vector<std::uint8_t>(bytes.begin() + 30 * 6, bytes.begin() + 40 * 6));
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::is_empty(shm, ec)) << "no temporary file left on the other file system";
    std::filesystem::remove_all(shm, ec);
    EXPECT_EQ(dir.count(), 1u);
}

// A valid file whose format chunk follows its samples (an extensible one, kept byte for byte),
// edited in place and saved, with and without its samples growing over where the format
// stood: the file always reopens with every sample, and a backup copy saves whole too.
TEST(WaveFileModes, AFormatChunkAfterTheSamplesIsKeptBySaves)
{
    TempFolder dir;
    const TPcmFormat f(8000, 2, 2);
    const std::vector<std::uint8_t> samples = PatternBytes(f, 1001);
    std::vector<std::uint8_t> fmt = FmtBody(0xFFFE, 2, 8000, 4, 16, 24);
    fmt[24] = 1; // sub-format PCM
    std::vector<std::uint8_t> chunks;
    PutChunk(chunks, "data", samples);
    PutChunk(chunks, "fmt ", fmt);
    const std::string path = dir.file("late-format.wav");
    WriteFile(path, Riff(chunks));

    const std::vector<std::uint8_t> grown = PatternBytes(f, 500, 7);
    {
        TWaveFile w(path, TWaveFile::kStreamed, false, dir.path());
        ASSERT_FALSE(w.IsError());
        ASSERT_EQ(w.GetEndFrame(), 1001u);
        ASSERT_TRUE(w.SetSample(-77, 3, 1));
        ASSERT_TRUE(w.Save());
        w.Seek(w.GetEndFrame());
        ASSERT_TRUE(w.WriteBytes(grown.data(), static_cast<DWORD>(grown.size())));
        ASSERT_TRUE(w.Save());
    }
    std::vector<std::uint8_t> expected = samples;
    expected[3 * 4 + 2] = static_cast<std::uint8_t>(-77 & 0xFF);
    expected[3 * 4 + 3] = static_cast<std::uint8_t>((-77 >> 8) & 0xFF);
    expected.insert(expected.end(), grown.begin(), grown.end());
    {
        TWaveFile back(path, TWaveFile::kMemory, false, dir.path());
        ASSERT_FALSE(back.IsError());
        ASSERT_EQ(back.GetEndFrame(), 1501u);
        EXPECT_EQ(Frames(back, 0, 1501), expected);
    }
    // The format chunk itself, after the (padded) samples and inside the RIFF chunk.
    const std::vector<std::uint8_t> file = ReadFile(path);
    ASSERT_GE(file.size(), 8u + 1501u * 4u + 8u + fmt.size());
    const std::size_t at = 12 + 8 + 1501 * 4;
    EXPECT_EQ(std::string(file.begin() + at, file.begin() + at + 4), "fmt ");
    EXPECT_TRUE(std::equal(fmt.begin(), fmt.end(), file.begin() + static_cast<long>(at + 8)));
    EXPECT_EQ(file[4] | (file[5] << 8) | (file[6] << 16) | (file[7] << 24), static_cast<int>(at + 8 + fmt.size() - 8));

    // Through a backup working copy the user's file is written anew, canonically.
    {
        TWaveFile w(path, TWaveFile::kStreamed, true, dir.path());
        ASSERT_FALSE(w.IsError());
        ASSERT_TRUE(w.SetSample(5, 0, 0));
        ASSERT_TRUE(w.Save());
    }
    TWaveFile again(path, TWaveFile::kMemory, false, dir.path());
    ASSERT_FALSE(again.IsError());
    EXPECT_EQ(again.GetEndFrame(), 1501u);
    EXPECT_EQ(again.GetSample(0, 0, false), 5);
    EXPECT_EQ(Frames(again, 1, 1500), std::vector<std::uint8_t>(expected.begin() + 4, expected.end()));
    EXPECT_EQ(dir.count(), 1u);
}
