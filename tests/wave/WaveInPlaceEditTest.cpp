// A streamed wave file edited without a backup copy is the user's own file: after every edit,
// and after its undo, a process killed outright leaves it a valid wave of exactly the edited
// samples with its calibration chunk; killed while an edit runs, a valid wave with the chunk.
// With a backup copy the user's file changes only on save.
#include "InPlaceEditSupport.h"

#include "support/ScriptedUser.h"
#include "wave/GainOffset.h"
#include "wave/WorkingFile.h"

#include <filesystem>
#include <fstream>

using namespace wavetest;

namespace {

const TPcmFormat kStereo16(8000, 2, 2);

std::span<const std::uint8_t> Bytes(HGLOBAL h)
{
    return {static_cast<const std::uint8_t*>(GlobalLock(h)), GlobalSize(h)};
}

// Pastes frames [first, end) of the wave into (insert) or over itself at `at`.
void PasteOwn(TWaveFile& w, DWORD first, DWORD end, DWORD at, bool insert)
{
    HGLOBAL image = w.MakeClipboardImage(first, end);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(insert ? w.PasteInsert(Bytes(image), at) : w.PasteOver(Bytes(image), at));
    GlobalUnlock(image);
    GlobalFree(image);
}

void PasteInsertOwn(TWaveFile& w, DWORD first, DWORD end, DWORD at) { PasteOwn(w, first, end, at, true); }
void PasteOverOwn(TWaveFile& w, DWORD first, DWORD end, DWORD at) { PasteOwn(w, first, end, at, false); }

void CutOut(TWaveFile& w, DWORD first, DWORD end)
{
    HGLOBAL image = w.Cut(first, end);
    ASSERT_NE(image, nullptr);
    GlobalFree(image);
}

void Silence(std::vector<std::uint8_t>& bytes, const TPcmFormat& f, DWORD first, DWORD end)
{
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(first) * f.BlockAlign(),
              bytes.begin() + static_cast<std::ptrdiff_t>(end) * f.BlockAlign(), f.BytesPerSample == 1 ? 128 : 0);
}

const SampleEditProgress kNoProgress = [](int) { return true; };

struct InPlaceCase {
    const char* name;
    TPcmFormat format;
    DWORD frames;
    std::function<void(TWaveFile&)> edit;
    // The samples after the edit, from those before it (and the folder for a memory copy).
    std::function<std::vector<std::uint8_t>(const CalibratedWave&, const std::string&)> expected;
};

std::vector<InPlaceCase> Cases()
{
    const TPcmFormat f = kStereo16;
    const TPcmFormat mono8(8000, 1, 1);
    // The pattern spans the full range, so each of them asks once before it clips.
    auto gain = [](TWaveFile& w) {
        ScriptedUser user;
        user.ExpectBox(IDYES, "Applying the gain to the selected data will exceed the sampling range");
        EXPECT_EQ(ApplyGain(w, 1000, 5000, 1, 6.0f, kNoProgress), SampleEditResult::Done);
    };
    auto scale = [](TWaveFile& w) { w.ScaleSeconds(0.25f, 1.0f, 0.5, true); };
    auto offset = [](TWaveFile& w) {
        ScriptedUser user;
        user.ExpectBox(IDYES, "Applying the DC Offset to the selected data will exceed the sampling range");
        ChannelCalibration none;
        none.IsEnabled = 0;
        EXPECT_EQ(ApplyDcOffset(w, 200, 9000, 0, 1.5f, none, kNoProgress), SampleEditResult::Done);
    };
    auto dynamic = [](TWaveFile& w) {
        ScriptedUser user;
        user.ExpectBox(IDYES, "Applying the DC Offset to the selected data will exceed the sampling range");
        EXPECT_EQ(ApplyDynamicDcOffset(w, 0, 6000, 0, 50.0f, 7, kNoProgress), SampleEditResult::Done);
    };
    return {
        // 0.5 s to 1.25 s out of 1.5 s: the chunk moves down by more than its own size.
        {"CutOfThreeQuarterSeconds", f, 12000, [](TWaveFile& w) { CutOut(w, 4000, 10000); },
         [f](const CalibratedWave& w, const std::string&) {
             return Join({Slice(w.samples, f, 0, 4000), Slice(w.samples, f, 10000, 12000)});
         }},
        // One frame: the chunk's new place overlaps its old one.
        {"CutOfOneFrame", f, 12000, [](TWaveFile& w) { CutOut(w, 5000, 5001); },
         [f](const CalibratedWave& w, const std::string&) {
             return Join({Slice(w.samples, f, 0, 5000), Slice(w.samples, f, 5001, 12000)});
         }},
        // An 8-bit mono file left with an odd number of bytes gets its pad byte.
        {"CutLeavingAnOddSize", mono8, 6000, [](TWaveFile& w) { CutOut(w, 10, 11); },
         [mono8](const CalibratedWave& w, const std::string&) {
             return Join({Slice(w.samples, mono8, 0, 10), Slice(w.samples, mono8, 11, 6000)});
         }},
        {"CutOfEverything", f, 3000, [](TWaveFile& w) { CutOut(w, 0, 3000); },
         [](const CalibratedWave&, const std::string&) { return std::vector<std::uint8_t>{}; }},
        {"PasteInsert", f, 12000, [](TWaveFile& w) { PasteInsertOwn(w, 100, 2100, 3000); },
         [f](const CalibratedWave& w, const std::string&) {
             return Join({Slice(w.samples, f, 0, 3000), Slice(w.samples, f, 100, 2100), Slice(w.samples, f, 3000, 12000)});
         }},
        {"PasteInsertOfOneFrameAtTheEnd", f, 12000, [](TWaveFile& w) { PasteInsertOwn(w, 7, 8, 12000); },
         [f](const CalibratedWave& w, const std::string&) {
             return Join({w.samples, Slice(w.samples, f, 7, 8)});
         }},
        {"PasteOverInside", f, 12000, [](TWaveFile& w) { PasteOverOwn(w, 0, 1500, 6000); },
         [f](const CalibratedWave& w, const std::string&) {
             return Join({Slice(w.samples, f, 0, 6000), Slice(w.samples, f, 0, 1500), Slice(w.samples, f, 7500, 12000)});
         }},
        {"PasteOverPastTheEnd", f, 12000, [](TWaveFile& w) { PasteOverOwn(w, 0, 3000, 11000); },
         [f](const CalibratedWave& w, const std::string&) {
             return Join({Slice(w.samples, f, 0, 11000), Slice(w.samples, f, 0, 3000)});
         }},
        // On disk an odd first frame is raised by one.
        {"Mute", f, 12000, [](TWaveFile& w) { w.MuteFrames(1001, 3000); },
         [f](const CalibratedWave& w, const std::string&) {
             std::vector<std::uint8_t> out = w.samples;
             Silence(out, f, 1002, 3000);
             return out;
         }},
        {"Scale", f, 12000, scale,
         [scale](const CalibratedWave& w, const std::string& dir) { return InMemory(w, dir, scale); }},
        {"Gain", f, 12000, gain, [gain](const CalibratedWave& w, const std::string& dir) { return InMemory(w, dir, gain); }},
        {"DcOffset", f, 12000, offset,
         [offset](const CalibratedWave& w, const std::string& dir) { return InMemory(w, dir, offset); }},
        {"DynamicDcOffset", f, 12000, dynamic,
         [dynamic](const CalibratedWave& w, const std::string& dir) { return InMemory(w, dir, dynamic); }},
    };
}

void PrintTo(const InPlaceCase& c, std::ostream* os) { *os << c.name; }

class InPlaceEdit : public ::testing::TestWithParam<InPlaceCase> {
protected:
    TempFolder dir;
    TempFolder scratch;
};

} // namespace

// Each edit, and each edit followed by its undo, made by a process killed as soon as it returns.
TEST_P(InPlaceEdit, AKillAfterTheEditOrItsUndoLeavesExactlyTheEditedFile)
{
    const InPlaceCase& c = GetParam();
    const CalibratedWave w = MakeCalibratedWave(dir.file("take.wav"), c.format, c.frames);
    const std::vector<std::uint8_t> expected = c.expected(w, scratch.path());
    ASSERT_TRUE(EditInKilledChild(w.path, scratch.path(), c.edit));
    ExpectWaveOnDisk(w.path, expected, w.calibration);
    // Its undo copy (an insert needs none) says the edit was finished.
    std::size_t copies = 0;
    for (const auto& e : std::filesystem::directory_iterator(scratch.path())) {
        WorkingFileLabel label;
        if (e.path().extension() == ".tmp" && ReadWorkingFileLabel(e.path().string(), label)) {
            ++copies;
            EXPECT_EQ(label.state, WorkingFileLabel::State::Edited);
        }
    }
    EXPECT_EQ(copies, std::string(c.name).starts_with("PasteInsert") ? 0u : 1u);

    const CalibratedWave again = MakeCalibratedWave(dir.file("undone.wav"), c.format, c.frames);
    ASSERT_TRUE(EditInKilledChild(again.path, scratch.path(), [&](TWaveFile& f) {
        c.edit(f);
        ASSERT_TRUE(f.IsUndoAvailable());
        f.Undo();
    }));
    ExpectWaveOnDisk(again.path, again.samples, again.calibration);
}

INSTANTIATE_TEST_SUITE_P(Edits, InPlaceEdit, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<InPlaceCase>& i) { return std::string(i.param.name); });

namespace {

// What a reader polling the file sees first of an edit under way.
std::function<bool(const std::string&)> FileSizeChanges(std::int64_t size)
{
    return [size](const std::string& p) { return std::filesystem::file_size(p) != static_cast<std::uintmax_t>(size); };
}

std::function<bool(const std::string&)> BytesChangeAt(std::int64_t at, const std::vector<std::uint8_t>& file)
{
    std::vector<std::uint8_t> was(file.begin() + at, file.begin() + at + 16);
    return [at, was](const std::string& p) {
        std::vector<std::uint8_t> now(16);
        std::ifstream in(p, std::ios::binary);
        in.seekg(at);
        in.read(reinterpret_cast<char*>(now.data()), 16);
        return now != was;
    };
}

} // namespace

// The longest edits, an insert and a cut near the start of a long file, killed while they run:
// whenever the kill comes, the file is the edit or the file before it (its frames before the
// edit untouched), with its calibration chunk found after the RIFF chunk.
TEST(InPlaceEditKilled, AKillWhileTheLongestEditsRunLeavesAValidFileWithItsCalibration)
{
    TempFolder dir, scratch;
    const TPcmFormat f = kStereo16;
    constexpr DWORD kFrames = 2000000, kAt = 1000, kCount = 4000;
    struct Edit {
        const char* name;
        std::function<void(TWaveFile&)> edit;
        std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)> expected;
    };
    const Edit edits[] = {
        {"insert", [](TWaveFile& w) { PasteInsertOwn(w, 0, kCount, kAt); },
         [f](const std::vector<std::uint8_t>& s) {
             return Join({Slice(s, f, 0, kAt), Slice(s, f, 0, kCount), Slice(s, f, kAt, kFrames)});
         }},
        {"cut", [](TWaveFile& w) { CutOut(w, kAt, kAt + kCount); },
         [f](const std::vector<std::uint8_t>& s) { return Join({Slice(s, f, 0, kAt), Slice(s, f, kAt + kCount, kFrames)}); }},
    };
    int killedMidway = 0;
    for (const Edit& e : edits) {
        const CalibratedWave w = MakeCalibratedWave(dir.file(std::string(e.name) + ".wav"), f, kFrames);
        const std::vector<std::uint8_t> expected = e.expected(w.samples);
        const std::vector<std::uint8_t> original = ReadFile(w.path);
        const std::int64_t size = static_cast<std::int64_t>(original.size());
        const std::int64_t middle = 44 + static_cast<std::int64_t>(kFrames / 2) * f.BlockAlign();
        const std::function<bool(const std::string&)> moments[] = {
            [](const std::string&) { return true; },        // at once
            FileSizeChanges(size),                           // room made, or the chunk moved
            BytesChangeAt(4, original),                      // the RIFF size switched
            BytesChangeAt(middle, original),                 // frames on the move
            BytesChangeAt(44 + kAt * f.BlockAlign(), original), // the segment written
        };
        for (const auto& moment : moments) {
            WriteFile(w.path, original);
            if (!EditInKilledChild(w.path, scratch.path(), e.edit, moment))
                ++killedMidway;
            SCOPED_TRACE(e.name);
            ExpectWaveOnDisk(w.path, expected, w.calibration, &w.samples, kAt * f.BlockAlign());
        }
    }
    EXPECT_GT(killedMidway, 0) << "no kill came while an edit ran";
}

// Without the in-place road (a backup working copy) the user's file is untouched by edits and
// by a kill, and a save gives it the edits with its calibration chunk.
TEST(InPlaceEditKilled, WithABackupCopyTheFileChangesOnlyOnSave)
{
    TempFolder dir, scratch;
    const TPcmFormat f = kStereo16;
    const CalibratedWave w = MakeCalibratedWave(dir.file("kept.wav"), f, 12000);
    const std::vector<std::uint8_t> original = ReadFile(w.path);
    const auto edit = [](TWaveFile& t) {
        CutOut(t, 4000, 10000);
        PasteInsertOwn(t, 0, 500, 100);
    };
    const std::vector<std::uint8_t> cut = Join({Slice(w.samples, f, 0, 4000), Slice(w.samples, f, 10000, 12000)});
    const std::vector<std::uint8_t> expected =
        Join({Slice(cut, f, 0, 100), Slice(cut, f, 0, 500), Slice(cut, f, 100, 6000)});

    const pid_t child = fork();
    if (child == 0) {
        TWaveFile* t = new TWaveFile(w.path, TWaveFile::kStreamed, true, scratch.path());
        edit(*t);
        std::raise(SIGKILL);
    }
    int how = 0;
    ASSERT_EQ(waitpid(child, &how, 0), child);
    ASSERT_TRUE(WIFSIGNALED(how) && WTERMSIG(how) == SIGKILL);
    EXPECT_EQ(ReadFile(w.path), original) << "a kill changed the user's file";

    TWaveFile t(w.path, TWaveFile::kStreamed, true, scratch.path());
    ASSERT_FALSE(t.IsError());
    EXPECT_NE(t.GetWorkingCopy(), w.path);
    edit(t);
    EXPECT_EQ(ReadFile(w.path), original);
    EXPECT_TRUE(t.IsModified());
    ASSERT_TRUE(t.Save());
    ExpectWaveOnDisk(w.path, expected, w.calibration);
}

// A one-frame cut on a disk with no room left: the calibration chunk can't make its detour past
// the end of the file, so it stays where it is, after bytes the data no longer counts; nothing
// is lost and the next save, with room again, makes the file canonical.
TEST(InPlaceEditKilled, OnAFullDiskTheCalibrationChunkStaysWhereItWas)
{
    TempFolder dir, scratch;
    const TPcmFormat f = kStereo16;
    const CalibratedWave w = MakeCalibratedWave(dir.file("full.wav"), f, 12000);
    const std::vector<std::uint8_t> expected = Join({Slice(w.samples, f, 0, 5000), Slice(w.samples, f, 5001, 12000)});
    TWaveFile t(w.path, TWaveFile::kStreamed, false, scratch.path());
    ASSERT_FALSE(t.IsError());
    {
        FileSizeLimit limit(static_cast<rlim_t>(std::filesystem::file_size(w.path)));
        ScriptedUser user; // no message: nothing is lost
        CutOut(t, 5000, 5001);
    }
    EXPECT_TRUE(t.IsCalibrationPresent());
    ExpectWaveOnDisk(w.path, expected, w.calibration, &expected);
    ASSERT_TRUE(t.Save());
    ExpectWaveOnDisk(w.path, expected, w.calibration);
}
