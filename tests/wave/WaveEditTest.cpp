// One level of undo, the 4096-frame segment copies and the clipboard image.
#include "platform/core/FileSystem.h"
#include "support/ScriptedUser.h"
#include "wave/GainOffset.h"
#include "wave/TWaveFile.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>

#include <sys/resource.h>

using namespace wavetest;

namespace {

// Frame values 0, 1, 2, ... in every channel, so positions can be read back from samples.
void FillRamp(TWaveFile& w, DWORD frames, std::int32_t offset = 0)
{
    w.Rewind();
    for (DWORD i = 0; i < frames; ++i) {
        for (int c = 0; c < w.GetChannels(); ++c) {
            EXPECT_TRUE(w.SetSample(static_cast<std::int32_t>((i + offset) % 30000) * (c == 0 ? 1 : -1), i, c));
            if (w.GetMode() == TWaveFile::kMemory)
                w.Seek(i); // the memory wave's SetSample advances the position once per sample
        }
    }
    w.Rewind();
}

// A streamed wave lengthened to `frames` and filled with the ramp.
void WriteRamp(TWaveFile& w, DWORD frames)
{
    const std::vector<std::uint8_t> zeros(w.FramesToBytes(frames), 0);
    ASSERT_TRUE(w.WriteBytes(zeros.data(), static_cast<DWORD>(zeros.size())));
    FillRamp(w, frames);
}

std::vector<std::int32_t> Column(TWaveFile& w, int channel = 0)
{
    std::vector<std::int32_t> out;
    for (DWORD i = 0; i < w.GetEndFrame(); ++i)
        out.push_back(static_cast<std::int32_t>(w.GetSample(i, channel, false)));
    return out;
}

std::vector<std::int32_t> Ramp(DWORD first, DWORD end)
{
    std::vector<std::int32_t> out;
    for (DWORD i = first; i < end; ++i)
        out.push_back(static_cast<std::int32_t>(i % 30000));
    return out;
}

std::vector<std::int32_t> Concat(std::initializer_list<std::vector<std::int32_t>> parts)
{
    std::vector<std::int32_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::span<const std::uint8_t> Bytes(HGLOBAL h)
{
    return {static_cast<const std::uint8_t*>(GlobalLock(h)), GlobalSize(h)};
}

class WaveEdit : public ::testing::TestWithParam<WORD> {
protected:
    // A 10000-frame stereo 16-bit wave in the mode under test.
    std::unique_ptr<TWaveFile> Make(DWORD frames = 10000)
    {
        TPcmFormat f(8000, 2, 2);
        std::unique_ptr<TWaveFile> w;
        if (GetParam() == TWaveFile::kMemory) {
            w = std::make_unique<TWaveFile>(frames, f, dir.path());
        } else {
            w = std::make_unique<TWaveFile>(f, false, dir.path());
            std::vector<std::uint8_t> zeros(w->FramesToBytes(frames), 0);
            EXPECT_TRUE(w->WriteBytes(zeros.data(), static_cast<DWORD>(zeros.size())));
        }
        FillRamp(*w, frames);
        w->Seek(0);
        EXPECT_EQ(w->GetEndFrame(), frames);
        return w;
    }
    TempFolder dir;
};

} // namespace

TEST_P(WaveEdit, CutThenUndoRestoresTheExactFrames)
{
    auto w = Make();
    HGLOBAL image = w->Cut(1000, 5097);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(GlobalSize(image), 44u + 4097 * 4);
    EXPECT_EQ(w->GetEndFrame(), 10000u - 4097);
    EXPECT_EQ(Column(*w), Concat({Ramp(0, 1000), Ramp(5097, 10000)}));
    EXPECT_EQ(w->GetUndoKind(), static_cast<DWORD>(TWaveFile::kUndoRemoved));
    w->Undo();
    EXPECT_EQ(w->GetEndFrame(), 10000u);
    EXPECT_EQ(Column(*w), Ramp(0, 10000));
    EXPECT_EQ(Column(*w, 1)[4000], -4000);
    EXPECT_FALSE(w->IsUndoAvailable());
    GlobalFree(image);
}

TEST_P(WaveEdit, PasteInsertThenUndoRemovesExactlyTheInsertedFrames)
{
    auto w = Make();
    HGLOBAL image = w->MakeClipboardImage(0, 4096 * 2);
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(w->PasteInsert(Bytes(image), 0));
    GlobalUnlock(image);
    EXPECT_EQ(w->GetEndFrame(), 10000u + 8192);
    EXPECT_EQ(Column(*w), Concat({Ramp(0, 8192), Ramp(0, 10000)})) << "inserting at 0 moves the whole wave up";
    EXPECT_EQ(w->GetUndoKind(), static_cast<DWORD>(TWaveFile::kUndoInserted));
    w->Undo();
    EXPECT_EQ(Column(*w), Ramp(0, 10000));
    GlobalFree(image);
}

TEST_P(WaveEdit, CopyThenPasteOverTheSamePlaceChangesNothingAndRecordsUndo)
{
    auto w = Make();
    HGLOBAL image = w->MakeClipboardImage(3000, 4000);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(GlobalSize(image), 44u + 4000) << "1000 stereo 16-bit frames";
    ASSERT_TRUE(w->PasteOver(Bytes(image), 3000));
    GlobalUnlock(image);
    EXPECT_EQ(Column(*w), Ramp(0, 10000));
    EXPECT_EQ(w->GetUndoKind(), static_cast<DWORD>(TWaveFile::kUndoOverwritten));
    // Pasting elsewhere overwrites, and undo puts the old frames back.
    ASSERT_TRUE(w->PasteOver(Bytes(image), 0));
    GlobalUnlock(image);
    EXPECT_EQ(Column(*w)[10], 3010);
    w->Undo();
    EXPECT_EQ(Column(*w), Ramp(0, 10000));

    // Pasted over the last 400 frames, the 1000 run 600 past the end and lengthen the wave;
    // undo gives it back its old length as well as its old frames.
    ASSERT_TRUE(w->PasteOver(Bytes(image), 9600));
    GlobalUnlock(image);
    EXPECT_EQ(w->GetEndFrame(), 10600u);
    EXPECT_EQ(Column(*w), Concat({Ramp(0, 9600), Ramp(3000, 4000)}));
    w->Undo();
    EXPECT_EQ(w->GetEndFrame(), 10000u);
    EXPECT_EQ(Column(*w), Ramp(0, 10000));
    EXPECT_EQ(Column(*w, 1)[9999], -9999);
    GlobalFree(image);
}

TEST_P(WaveEdit, PasteOfAnotherFormatIsRefused)
{
    auto w = Make(100);
    TWaveFile mono(50, TPcmFormat(8000, 1, 2), dir.path());
    FillRamp(mono, 50);
    HGLOBAL image = mono.MakeClipboardImage(0, 50);
    ASSERT_NE(image, nullptr);
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "Cannot Paste the data - the wave data on the clipboard has a different format");
        user.ExpectBox(IDOK, "different format (rate, bits etc)");
        EXPECT_FALSE(w->PasteOver(Bytes(image), 0));
        EXPECT_FALSE(w->PasteInsert(Bytes(image), 0));
    }
    GlobalUnlock(image);
    EXPECT_EQ(Column(*w), Ramp(0, 100));
    GlobalFree(image);
    // Garbage on the clipboard changes nothing and says nothing.
    std::vector<std::uint8_t> junk(64, 0x11);
    EXPECT_FALSE(w->PasteOver(junk, 0));
    // A 12-bit image in 2-byte samples has the same frame layout and is accepted.
    std::vector<std::uint8_t> body;
    PutChunk(body, "fmt ", FmtBody(1, 2, 8000, 4, 12));
    PutChunk(body, "data", std::vector<std::uint8_t>(8, 0));
    ASSERT_TRUE(w->PasteOver(Riff(body), 5));
    EXPECT_EQ(Column(*w)[5], 0);
    EXPECT_EQ(Column(*w)[7], 7);
}

// The saved frames gone from the temporary folder: Undo says it could not restore them and
// leaves the wave as it is.
TEST_P(WaveEdit, UndoWhoseSavedFramesAreGoneSaysSo)
{
    auto w = Make();
    std::set<std::filesystem::path> before;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        before.insert(e.path());
    HGLOBAL image = w->Cut(1000, 5097);
    ASSERT_NE(image, nullptr);
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (!before.count(e.path()))
            std::filesystem::remove(e.path());
    ScriptedUser user;
    user.ExpectBox(IDOK, "could not be restored.");
    w->Undo();
    EXPECT_EQ(w->GetEndFrame(), 10000u - 4097);
    EXPECT_FALSE(w->IsUndoAvailable());
    GlobalFree(image);
}

TEST_P(WaveEdit, UndoFilesAreReplacedAndSavedOnlyUpToTheEndFrame)
{
    auto w = Make(500);
    std::size_t before = dir.count();
    ASSERT_TRUE(w->SaveUndo(TWaveFile::kUndoOverwritten, 100, 900));
    DWORD first = 0, end = 0;
    w->GetUndoRange(first, end);
    EXPECT_EQ(first, 100u);
    EXPECT_EQ(end, 500u);
    EXPECT_EQ(dir.count(), before + 2) << "the undo file and the label that names it";
    ASSERT_TRUE(w->SaveUndo(TWaveFile::kUndoOverwritten, 0, 10));
    EXPECT_EQ(dir.count(), before + 2) << "the first undo file is deleted";
    w->DiscardUndo();
    EXPECT_EQ(dir.count(), before);
}

TEST_P(WaveEdit, SegmentCopiesAtPieceBoundaries)
{
    auto w = Make(3 * 4096 + 10);
    TWaveFile target(0, TPcmFormat(8000, 2, 2), dir.path());
    for (DWORD count : {4096u * 2, 4097u, 1u}) {
        ASSERT_TRUE(w->CopySegment(w.get(), &target, 5, 0, count));
        EXPECT_EQ(target.GetEndFrame(), std::max<DWORD>(count, 8192));
        std::vector<std::int32_t> got = Column(target);
        EXPECT_EQ(std::vector<std::int32_t>(got.begin(), got.begin() + count), Ramp(5, 5 + count));
    }
    // Deleting a range that runs past the end only removes what is there.
    w->DeleteSegment(w.get(), 3 * 4096, 999999);
    EXPECT_EQ(w->GetEndFrame(), 3u * 4096);
    EXPECT_TRUE(w->IsModified());
}

TEST_P(WaveEdit, ScaleClipsAtFullScaleAndIntegrateMatchesTheClosedForm)
{
    auto w = Make(8000); // 1 s at 8 kHz, channel 0 holds the frame index
    // A new wave's cleared calibration (CalRatio 0) scales by 2 / full scale, so the mean
    // square of 2i / 32767 over [0, n) is 4 (n-1)(2n-1)/6 / 32767^2.
    const double n = 4000, expected = 4 * (n - 1) * (2 * n - 1) / 6 / (32767.0 * 32767.0);
    EXPECT_NEAR(w->IntegrateSegment(0, 4000, 0), expected, 1e-9);
    EXPECT_NEAR(w->IntegrateSeconds(0.0f, 0.5f, 0), expected, 1e-9);
    w->ScaleSeconds(0.5f, 1.0f, 5.0, true);
    EXPECT_EQ(w->GetSample(4000, 0, false), 20000);
    EXPECT_EQ(w->GetSample(7999, 0, false), 32767) << "clipped, not wrapped";
    EXPECT_EQ(w->GetSample(7999, 1, false), -32767);
    EXPECT_EQ(w->GetSample(3999, 0, false), 3999);
    w->Undo();
    EXPECT_EQ(Column(*w), Ramp(0, 8000));
}

// The temporary folder gone while a file is edited (as a full or write-protected folder would
// refuse the copy): every overwriting edit says so and changes nothing, and the last edit can
// still be taken back once the folder is there again. A paste, which needs a scratch file
// there, says so as well.
TEST_P(WaveEdit, EditsWhoseUndoCopyCannotBeWrittenAreRefusedAndTheLastUndoKept)
{
    auto w = Make(8000);
    w->ScaleSeconds(0.0f, 0.1f, 0.5, true); // frames [0, 800) halved, undo saved
    const std::vector<std::int32_t> halved = Column(*w);
    ASSERT_EQ(halved[600], 300);
    const std::string away = dir.path() + ".away";
    std::filesystem::rename(dir.path(), away);
    {
        ScriptedUser user;
        for (int i = 0; i < 4; ++i)
            user.ExpectBox(IDOK, "TWaveFile - the edit was not made: its undo copy could not be written in " +
                                     dir.path());
        EXPECT_FALSE(w->SaveUndo(TWaveFile::kUndoOverwritten, 2000, 3000));
        w->ScaleSeconds(0.25f, 0.5f, 2.0, true);
        EXPECT_EQ(ApplyGain(*w, 2000, 3000, 0, 6.0f), SampleEditResult::Failed);
        if (w->GetMode() == TWaveFile::kStreamed)
            w->MuteFrames(2000, 3000); // muting saves its own undo on disk
        else
            EXPECT_FALSE(w->SaveUndo(TWaveFile::kUndoRemoved, 0, 10));
        // A paste passes through a temporary file first; it says so too.
        std::vector<std::uint8_t> image(44 + 400, 0);
        user.ExpectBox(IDOK, "TWaveFile - the wave on the clipboard could not be pasted");
        EXPECT_FALSE(w->PasteInsert(image, 100));
    }
    std::filesystem::rename(away, dir.path());
    EXPECT_EQ(Column(*w), halved);
    ASSERT_TRUE(w->IsUndoAvailable());
    w->Undo();
    EXPECT_EQ(Column(*w), Ramp(0, 8000));
}

INSTANTIATE_TEST_SUITE_P(Modes, WaveEdit, ::testing::Values(TWaveFile::kMemory, TWaveFile::kStreamed),
                         [](const ::testing::TestParamInfo<WORD>& i) {
                             return i.param == TWaveFile::kMemory ? std::string("Memory") : std::string("Streamed");
                         });

TEST(WaveEditStreamed, EditsOnAStreamedFileSurviveSaveAndReopen)
{
    TempFolder dir;
    std::string path = dir.file("edited.wav");
    {
        TWaveFile w(TPcmFormat(8000, 1, 2), false, dir.path());
        std::vector<std::uint8_t> zeros(2 * 6000, 0);
        EXPECT_TRUE(w.WriteBytes(zeros.data(), static_cast<DWORD>(zeros.size())));
        FillRamp(w, 6000);
        WaveCalibrationBlock cal;
        cal.Channel[0].CalRatio = 2.0f;
        w.SetCalibration(cal);
        w.SetFileName(path);
        ASSERT_TRUE(w.Save());
        HGLOBAL image = w.Cut(0, 1000); // the file shrinks on the next save
        ASSERT_NE(image, nullptr);
        GlobalFree(image);
        ASSERT_TRUE(w.Save());
    }
    TWaveFile back(path, TWaveFile::kMemory, false, dir.path());
    ASSERT_FALSE(back.IsError());
    EXPECT_EQ(Column(back), Ramp(1000, 6000));
    EXPECT_TRUE(back.IsCalibrationPresent()) << "the calibration chunk is rewritten after the shorter data";
    EXPECT_EQ(+back.CalibrationBlock().Channel[0].CalRatio, 2.0f);
    EXPECT_EQ(GetFileSizeOf(path), 44 + 10000 + 8 + 2048);
}

TEST(WaveEditMemory, TargetsThatCannotGrowAreLeftUnchangedWithAMessage)
{
    TempFolder dir;
    TPcmFormat f(8000, 2, 2);
    TWaveFile source(100, f, dir.path());
    FillRamp(source, 100);
    TWaveFile target(100, f, dir.path());
    FillRamp(target, 100, 7);
    std::vector<std::int32_t> before = Column(target);
    ScriptedUser user;
    user.ExpectBox(IDOK, "TWaveFile - insufficient memory available for copying wave data");
    user.ExpectBox(IDOK, "TWaveFile - insufficient memory available to insert segment");
    // Both would need more than the 4 GB a wave's data can span.
    EXPECT_FALSE(source.CopySegment(&source, &target, 0, 0xF0000000u, 10));
    EXPECT_FALSE(source.InsertSegment(&source, &target, 0, 0, 0x7FFFFFFFu));
    EXPECT_EQ(target.GetLength(), 100u);
    EXPECT_EQ(Column(target), before);
}

// An insert that cannot grow the file changes nothing, so its undo must not remove frames.
TEST(WaveEditStreamed, FailedPasteInsertLeavesNothingForUndoToRemove)
{
    TempFolder dir;
    TWaveFile w(TPcmFormat(8000, 2, 2), false, dir.path());
    ASSERT_NO_FATAL_FAILURE(WriteRamp(w, 10000));
    HGLOBAL image = w.MakeClipboardImage(0, 100);
    ASSERT_NE(image, nullptr);

    // The working copy may not grow past its present size.
    const std::int64_t size = GetFileSizeOf(w.GetWorkingCopy());
    ASSERT_GT(size, 0);
    bool pasted = false;
    {
        FileSizeLimit limit(static_cast<rlim_t>(size));
        ScriptedUser user;
        user.ExpectBox(IDOK, "TWaveFile - the wave file cannot grow");
        pasted = w.PasteInsert(Bytes(image), 500);
    }
    GlobalUnlock(image);
    GlobalFree(image);

    EXPECT_FALSE(pasted);
    EXPECT_EQ(w.GetEndFrame(), 10000u);
    w.Undo();
    EXPECT_EQ(w.GetEndFrame(), 10000u) << "undo removed frames that were never inserted";
    EXPECT_EQ(Column(w), Ramp(0, 10000));
}

// Undo of a cut when the file can no longer grow (a full disk): the frames to put back are the
// only copy left, so they are kept for another try, which succeeds once there is room.
TEST(WaveEditStreamed, AnUndoThatCannotGrowTheFileKeepsItsFramesForAnotherTry)
{
    TempFolder dir;
    TWaveFile w(TPcmFormat(8000, 2, 2), false, dir.path());
    ASSERT_NO_FATAL_FAILURE(WriteRamp(w, 10000));
    HGLOBAL image = w.Cut(1000, 3000);
    ASSERT_NE(image, nullptr);
    GlobalFree(image);
    // The cut frames stay in the file until it is saved; saving cuts the file to its new end.
    w.SetFileName(dir.file("cut.wav"));
    ASSERT_TRUE(w.Save());
    const std::vector<std::int32_t> cut = Column(w);

    const std::int64_t size = GetFileSizeOf(w.GetWorkingCopy());
    {
        FileSizeLimit limit(static_cast<rlim_t>(size));
        ScriptedUser user;
        user.ExpectBox(IDOK, "TWaveFile - the wave file cannot grow");
        user.ExpectBox(IDOK, "could not be restored. They are kept, so Undo Edit can be tried again.");
        w.Undo();
    }
    EXPECT_EQ(Column(w), cut);
    ASSERT_TRUE(w.IsUndoAvailable());
    w.Undo();
    EXPECT_EQ(Column(w), Ramp(0, 10000));
    EXPECT_FALSE(w.IsUndoAvailable());
}

namespace {

// A small file system of its own, full once its 256 KiB are used: a real full disk. Needs the
// right to mount (the test is skipped without it).
class SmallDisk {
public:
    SmallDisk()
    {
        mounted_ = RunCommand("mount -t tmpfs -o size=256k tmpfs " + dir_.path() + " 2>/dev/null") == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            RunCommand("umount -l " + dir_.path());
    }
    bool mounted() const { return mounted_; }
    std::string file(const std::string& name) const { return dir_.file(name); }
    // Writes a file that takes every byte still free.
    void Fill() const { RunCommand("dd if=/dev/zero of=" + file("filler") + " bs=4k 2>/dev/null"); }

private:
    TempFolder dir_;
    bool mounted_ = false;
};

} // namespace

// A paste insert on a full disk: the file can't take the frames, so it says so and the file
// keeps every frame it had, in place; the undo then has nothing to take out.
TEST(WaveEditStreamed, APasteInsertOnAFullDiskLeavesTheFileAsItWas)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small tmpfs is not allowed here";
    TempFolder scratch;
    const std::string path = disk.file("take.wav");
    {
        TWaveFile w(TPcmFormat(8000, 1, 2), false, scratch.path());
        ASSERT_NO_FATAL_FAILURE(WriteRamp(w, 50000));
        w.SetFileName(path);
        ASSERT_TRUE(w.Save());
    }
    disk.Fill();
    TWaveFile w(path, TWaveFile::kStreamed, false, scratch.path());
    ASSERT_FALSE(w.IsError());
    HGLOBAL image = w.MakeClipboardImage(0, 20000); // made in the scratch folder, not on the disk
    ASSERT_NE(image, nullptr);
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "TWaveFile - the wave file cannot grow");
        EXPECT_FALSE(w.PasteInsert(Bytes(image), 1000));
    }
    GlobalUnlock(image);
    GlobalFree(image);
    EXPECT_EQ(w.GetEndFrame(), 50000u);
    EXPECT_EQ(Column(w), Ramp(0, 50000));
    EXPECT_EQ(GetFileSizeOf(path), 44 + 100000);
}
