// What a crash leaves of a working file and how the next start seals it: takes whose header lags
// their samples, Real Time buffers whose newest part comes first, read back by Python's wave
// module; copies compared with their original; labels and their ring line.
#include "WaveTestSupport.h"

#include "wave/TWaveFile.h"
#include "wave/WaveCalibrationBlock.h"
#include "wave/WorkingFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace wavetest;

namespace {

// A 16-bit mono 4000 Hz wave whose header names `named` frames, holding `values` and then
// `tail` stray bytes (a frame cut short by the crash).
std::vector<std::uint8_t> Take(const std::vector<int>& values, std::uint32_t named, int tail = 0)
{
    std::vector<std::uint8_t> data;
    for (int v : values)
        PutLe(data, std::uint16_t(std::int16_t(v)), 2);
    data.resize(data.size() + std::size_t(tail), 0x55);
    std::vector<std::uint8_t> chunks;
    PutChunk(chunks, "fmt ", FmtBody(1, 1, 4000, 2, 16));
    PutId(chunks, "data");
    PutLe(chunks, named * 2u, 4);
    chunks.insert(chunks.end(), data.begin(), data.end());
    return Riff(chunks, 36 + named * 2);
}

std::vector<int> Ramp(int first, int count)
{
    std::vector<int> v(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        v[std::size_t(i)] = first + i;
    return v;
}

} // namespace

TEST(WorkingFile, ASealedTakeIsAWholeWaveInTimeOrderWithItsCalibration)
{
    TempFolder folder;
    // A wrapped buffer of 1000 frames: [300, 1000) oldest, [0, 256) newest, [256, 300) being
    // written when the crash came (part old, part new).
    std::vector<int> ring = Ramp(700, 256);
    const std::vector<int> inFlight(44, 9999), oldest = Ramp(0, 700);
    ring.insert(ring.end(), inFlight.begin(), inFlight.end());
    ring.insert(ring.end(), oldest.begin(), oldest.end());
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        WorkingFileLabel::Kind kind;
        DWORD wrap, from, to;
        std::int64_t runEnd; // the run's common end, -1 for the file's own
        int first, frames;   // the ramp the sealed file holds
    };
    const Case cases[] = {
        {"lagging header", Take(Ramp(0, 1000), 600), WorkingFileLabel::Kind::Take, 0, 0, 0, -1, 0, 1000},
        {"a frame cut short", Take(Ramp(5, 1000), 0, 1), WorkingFileLabel::Kind::Take, 0, 0, 0, -1, 5, 1000},
        {"another channel ended earlier", Take(Ramp(0, 1000), 1000), WorkingFileLabel::Kind::Take, 0, 0, 0, 900, 0, 900},
        {"buffer before its first wrap", Take(Ramp(0, 800), 512), WorkingFileLabel::Kind::RealTime, 0, 768, 1024, -1, 0, 800},
        {"wrapped buffer", Take(ring, 1000), WorkingFileLabel::Kind::RealTime, 1000, 256, 300, -1, 0, 956},
        {"wrapped at the piece's end", Take(Ramp(0, 1000), 1000), WorkingFileLabel::Kind::RealTime, 1000, 0, 256, -1, 256, 744},
    };
    std::vector<std::uint8_t> calibration(WaveCalibrationBlock::kSize);
    for (std::size_t i = 0; i < calibration.size(); ++i)
        calibration[i] = std::uint8_t(i * 7);
    std::string checks;
    for (const Case& c : cases) {
        const std::string path = folder.file(std::string("wav") + std::to_string(&c - cases) + ".tmp");
        WriteFile(path, c.bytes);
        WorkingFileLabel label;
        label.kind = c.kind;
        label.channel = 2;
        label.run = "r";
        label.calibration = calibration;
        label.wrap = c.wrap;
        label.from = c.from;
        label.to = c.to;
        ASSERT_TRUE(WriteWorkingFileLabel(path, label)) << c.name;
        WorkingFileLabel read;
        WorkingWave wave;
        ASSERT_TRUE(ReadWorkingFileLabel(path, read)) << c.name;
        ASSERT_TRUE(InspectWorkingWave(path, wave)) << c.name;
        const std::int64_t end = c.runEnd >= 0 ? c.runEnd : TakeFrames(wave, read);
        ASSERT_TRUE(SealTake(path, wave, read, end)) << c.name;
        // Sealed once and for all: the label says Take, and a second seal changes nothing.
        const std::vector<std::uint8_t> sealed = ReadFile(path);
        ASSERT_TRUE(ReadWorkingFileLabel(path, read)) << c.name;
        EXPECT_EQ(read.kind, WorkingFileLabel::Kind::Take) << c.name;
        ASSERT_TRUE(InspectWorkingWave(path, wave)) << c.name;
        EXPECT_EQ(wave.frames, c.frames) << c.name;
        ASSERT_TRUE(SealTake(path, wave, read, TakeFrames(wave, read))) << c.name;
        EXPECT_EQ(ReadFile(path), sealed) << c.name;
        checks += "('" + path + "', " + std::to_string(c.first) + ", " + std::to_string(c.frames) + "),";
    }
    EXPECT_EQ(folder.count(), 2 * std::size(cases)) << "each file and its label, nothing else";
    ASSERT_EQ(RunCommand("python3 -c \"\n"
                         "import struct, wave\n"
                         "for p, first, n in [" + checks + "]:\n"
                         "    w = wave.open(p)\n"
                         "    assert w.getnframes() == n, (p, w.getnframes(), n)\n"
                         "    v = struct.unpack('<%dh' % n, w.readframes(n))\n"
                         "    assert list(v) == list(range(first, first + n)), (p, v[:4])\n"
                         "    b = open(p, 'rb').read()\n"
                         "    at = 8 + struct.unpack('<I', b[4:8])[0]\n"
                         "    assert struct.unpack('<II', b[at:at+8]) == (102, 2048) and len(b) == at + 8 + 2048, p\n"
                         "    assert b[at+8:at+16] == bytes(i * 7 % 256 for i in range(8)), p\n"
                         "\""),
              0);
}

TEST(WorkingFile, ACopyIsTheSameOnlyWithTheSameFormatSamplesAndCalibration)
{
    TempFolder folder;
    const std::string original = folder.file("g_Crown.wav");
    std::vector<std::uint8_t> base = Take(Ramp(0, 500), 500);
    std::vector<std::uint8_t> chunk;
    PutChunk(chunk, "f\0\0\0", std::vector<std::uint8_t>(WaveCalibrationBlock::kSize, 3));
    chunk[0] = 102;
    std::vector<std::uint8_t> withCalibration = base;
    withCalibration.insert(withCalibration.end(), chunk.begin(), chunk.end());
    WriteFile(original, withCalibration);
    std::vector<std::uint8_t> sample = withCalibration, rate = withCalibration, calibration = withCalibration;
    sample[44 + 2 * 123] ^= 1;
    rate[24] ^= 1;
    calibration.back() ^= 1;
    struct Case { const char* name; std::vector<std::uint8_t> bytes; bool same; };
    const Case cases[] = {
        {"a byte copy", withCalibration, true},
        {"one sample changed", sample, false},
        {"another rate", rate, false},
        {"another calibration", calibration, false},
        {"no calibration", base, false},
        {"a frame more", Take(Ramp(0, 501), 501), false},
    };
    for (const Case& c : cases) {
        const std::string copy = folder.file("wav1.tmp");
        WriteFile(copy, c.bytes);
        EXPECT_EQ(SameWaveData(copy, original), c.same) << c.name;
    }
    WriteFile(folder.file("wav2.tmp"), {'R', 'I', 'F', 'F'});
    EXPECT_FALSE(SameWaveData(folder.file("wav2.tmp"), original));
}

TEST(WorkingFile, LabelsSayWhatTheFileIsAndTheRingLineIsRewrittenInPlace)
{
    TempFolder folder;
    const std::string path = folder.file("wavA.tmp");
    WorkingFileLabel label;
    label.kind = WorkingFileLabel::Kind::RealTime;
    label.channel = 7;
    label.run = "123-456/0";
    ASSERT_TRUE(WriteWorkingFileLabel(path, label));
    ASSERT_TRUE(UpdateRingPosition(path, 8192, 512, 768));
    ASSERT_TRUE(UpdateRingPosition(path, 8192, 768, 1024));
    WorkingFileLabel read;
    ASSERT_TRUE(ReadWorkingFileLabel(path, read));
    EXPECT_EQ(read.kind, WorkingFileLabel::Kind::RealTime);
    EXPECT_EQ(read.channel, 7);
    EXPECT_EQ(read.run, "123-456/0");
    EXPECT_EQ(read.wrap, 8192u);
    EXPECT_EQ(read.from, 768u);
    EXPECT_EQ(read.to, 1024u);

    // A backup names its original; a name that would break a line is left out.
    label = {};
    label.kind = WorkingFileLabel::Kind::Backup;
    label.original = "/data/g_Crown.wav";
    ASSERT_TRUE(WriteWorkingFileLabel(path, label));
    ASSERT_TRUE(ReadWorkingFileLabel(path, read));
    EXPECT_EQ(read.original, "/data/g_Crown.wav");
    EXPECT_FALSE(UpdateRingPosition(folder.file("wavB.tmp"), 1, 0, 0)) << "no label, no ring line";
    label.original = "/data/a\nkind=take";
    ASSERT_TRUE(WriteWorkingFileLabel(path, label));
    ASSERT_TRUE(ReadWorkingFileLabel(path, read));
    EXPECT_EQ(read.kind, WorkingFileLabel::Kind::Backup);
    EXPECT_TRUE(read.original.empty());

    // Whatever is not a label reads as none.
    WriteFile(WorkingFileLabelPath(path), {'x', '=', '1', '\n'});
    EXPECT_FALSE(ReadWorkingFileLabel(path, read));
    RemoveWorkingFileLabel(path);
    EXPECT_FALSE(ReadWorkingFileLabel(path, read));
    EXPECT_EQ(folder.count(), 0u);
}

// An undo copy's label says whether its edit went into the file itself, where the copy may hold
// the only frames the edit overwrote: an edit in place, or in an untitled take's own file; not
// an edit on a backup working copy. A label that does not say reads as in place.
TEST(WorkingFile, AnUndoCopysLabelSaysWhetherItsEditWentIntoTheFileItself)
{
    TempFolder folder;
    const TPcmFormat f(8000, 2, 2);
    std::vector<std::uint8_t> chunks;
    PutChunk(chunks, "fmt ", FmtBody(1, f.Channels, f.SampleRate, f.BlockAlign(), 16));
    PutChunk(chunks, "data", PatternBytes(f, 12000));
    struct Case {
        const char* name;
        bool untitled, makeBackup, inPlace;
    };
    for (const Case c : {Case{"in place", false, false, true}, Case{"on a backup copy", false, true, false},
                         Case{"an untitled take", true, false, true}}) {
        const std::string path = folder.file("w.wav");
        WriteFile(path, Riff(chunks));
        std::unique_ptr<TWaveFile> wave(c.untitled ? new TWaveFile(f, false, folder.path())
                                                   : new TWaveFile(path, TWaveFile::kStreamed, c.makeBackup, folder.path()));
        ASSERT_FALSE(wave->IsError()) << c.name;
        if (c.untitled) {
            const std::vector<std::uint8_t> frames = PatternBytes(f, 12000);
            ASSERT_TRUE(wave->WriteBytes(frames.data(), DWORD(frames.size()))) << c.name;
        }
        ASSERT_TRUE(wave->SaveUndo(TWaveFile::kUndoRemoved, 3001, 7777)) << c.name;
        std::string undo;
        for (const auto& e : std::filesystem::directory_iterator(folder.path())) {
            WorkingFileLabel l;
            if (e.path().extension() == ".tmp" && ReadWorkingFileLabel(e.path().string(), l) &&
                l.kind == WorkingFileLabel::Kind::Undo)
                undo = e.path().string();
        }
        ASSERT_FALSE(undo.empty()) << c.name;
        WorkingFileLabel read;
        ASSERT_TRUE(ReadWorkingFileLabel(undo, read));
        EXPECT_EQ(read.editedInPlace, c.inPlace) << c.name;
        EXPECT_EQ(read.original, c.untitled ? wave->GetWorkingCopy() : path) << c.name;
        wave.reset();
        std::filesystem::remove(path);
        EXPECT_EQ(folder.count(), 0u) << c.name;
    }
    const std::string path = folder.file("wavC.tmp");
    WriteFile(WorkingFileLabelPath(path), {'k', 'i', 'n', 'd', '=', 'u', 'n', 'd', 'o', '\n'});
    WorkingFileLabel read;
    read.editedInPlace = false;
    ASSERT_TRUE(ReadWorkingFileLabel(path, read));
    EXPECT_TRUE(read.editedInPlace);
    RemoveWorkingFileLabel(path);
}
