// Files whose samples end on an odd byte (8- and 24-bit mono with an odd frame count): the pad
// byte after the samples belongs to the RIFF chunk, so the calibration chunk starts one byte
// later. Sealed takes a crash left, and files grown in place and killed before the edit is
// finished, are read back by Python's wave module and the program's own reader.
#include "InPlaceEditSupport.h"

#include "wave/WorkingFile.h"

#include <cstring>
#include <fstream>

using namespace wavetest;

namespace {

// A take as a crash leaves it: its header names `named` frames, `frames` are on disk.
std::vector<std::uint8_t> TakeOnDisk(const TPcmFormat& f, const std::vector<std::uint8_t>& samples, std::uint32_t named)
{
    std::vector<std::uint8_t> chunks;
    PutChunk(chunks, "fmt ",
             FmtBody(1, f.Channels, f.SampleRate, f.BlockAlign(), static_cast<std::uint16_t>(f.BytesPerSample * 8)));
    PutId(chunks, "data");
    PutLe(chunks, named * f.BlockAlign(), 4);
    chunks.insert(chunks.end(), samples.begin(), samples.end());
    return Riff(chunks, 36 + named * f.BlockAlign());
}

std::array<std::uint8_t, WaveCalibrationBlock::kSize> SomeCalibration()
{
    WaveCalibrationBlock block;
    std::strcpy(block.Name, "Take rig");
    block.Channel[0].IsEnabled = 1;
    block.Channel[0].CalRatio = 3.25f;
    block.Channel[0].DTGain = 1.0f;
    std::strcpy(block.Channel[0].ChannelName, "Heart");
    std::array<std::uint8_t, WaveCalibrationBlock::kSize> bytes{};
    block.WriteToBytes(bytes);
    return bytes;
}

// Pastes frames [first, end) of the file into itself at `at`.
void PasteInsertOwn(TWaveFile& w, DWORD first, DWORD end, DWORD at)
{
    HGLOBAL image = w.MakeClipboardImage(first, end);
    ASSERT_NE(image, nullptr);
    const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(GlobalLock(image)), GlobalSize(image));
    EXPECT_TRUE(w.PasteInsert(bytes, at));
    GlobalUnlock(image);
    GlobalFree(image);
}

std::uint32_t Le32At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

} // namespace

// A take sealed at the next start with an odd number of bytes of samples: its pad byte is
// written, the calibration chunk follows it, and the take opens calibrated.
TEST(OddDataSize, ASealedTakeKeepsItsPadByteAndOpensWithItsCalibration)
{
    TempFolder dir;
    struct Case {
        const char* name;
        TPcmFormat format;
        std::uint32_t onDisk, named; // frames on disk, frames the lagging header names
        WorkingFileLabel::Kind kind;
        DWORD wrap, from, to;
        std::int64_t runEnd; // the run's common end, -1 for the take's own
        std::uint32_t first, frames; // what the sealed take holds: frames from `first` on, in order
    };
    const Case cases[] = {
        {"24-bit take", TPcmFormat(4000, 1, 3), 1001, 256, WorkingFileLabel::Kind::Take, 0, 0, 0, -1, 0, 1001},
        {"24-bit take cut to the run's end", TPcmFormat(4000, 1, 3), 1200, 1200, WorkingFileLabel::Kind::Take, 0, 0, 0,
         777, 0, 777},
        {"8-bit take", TPcmFormat(4000, 1, 1), 999, 0, WorkingFileLabel::Kind::Take, 0, 0, 0, -1, 0, 999},
        {"24-bit wrapped buffer", TPcmFormat(4000, 1, 3), 1000, 1000, WorkingFileLabel::Kind::RealTime, 1000, 257, 300,
         -1, 300, 957},
        {"24-bit stereo (always even)", TPcmFormat(4000, 2, 3), 1001, 512, WorkingFileLabel::Kind::Take, 0, 0, 0, -1, 0,
         1001},
    };
    const auto calibration = SomeCalibration();
    // A case that fails stops there, and the next still runs.
    const auto seal = [&](const Case& c) {
        const TPcmFormat& f = c.format;
        const std::vector<std::uint8_t> samples = PatternBytes(f, c.onDisk, 3);
        const std::string path = dir.file("wav" + std::to_string(&c - cases) + ".tmp");
        WriteFile(path, TakeOnDisk(f, samples, c.named));
        WorkingFileLabel label;
        label.kind = c.kind;
        label.channel = 3;
        label.run = "run";
        label.calibration.assign(calibration.begin(), calibration.end());
        label.wrap = c.wrap;
        label.from = c.from;
        label.to = c.to;
        ASSERT_TRUE(WriteWorkingFileLabel(path, label));
        WorkingWave wave;
        ASSERT_TRUE(InspectWorkingWave(path, wave));
        ASSERT_TRUE(SealTake(path, wave, label, c.runEnd >= 0 ? c.runEnd : TakeFrames(wave, label)));

        // The samples in time order: a wrapped buffer's oldest part, [to, wrap), comes first.
        std::vector<std::uint8_t> expected = Slice(samples, f, c.first, std::min(c.onDisk, c.first + c.frames));
        if (expected.size() < std::size_t(c.frames) * f.BlockAlign()) {
            const std::vector<std::uint8_t> newest = Slice(samples, f, 0, c.frames - (c.onDisk - c.first));
            expected.insert(expected.end(), newest.begin(), newest.end());
        }
        const std::vector<std::uint8_t> sealed = ReadFile(path);
        const std::size_t bytes = std::size_t(c.frames) * f.BlockAlign();
        ASSERT_EQ(sealed.size(), 44 + bytes + (bytes & 1) + 8 + WaveCalibrationBlock::kSize);
        if (bytes & 1)
            EXPECT_EQ(sealed[44 + bytes], 0) << "the pad byte";
        ExpectWaveOnDisk(path, expected, calibration);
        RemoveWorkingFileLabel(path);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seal(c);
    }
}

// A file edited in place grows to an odd data size (8- and 24-bit mono, an insert of an odd
// number of frames), and the process is killed after the room was made and before the edit
// was finished: the calibration chunk the room was made for lies where the RIFF size, pad byte
// and all, says it does.
TEST(OddDataSize, AFileGrownInPlaceToAnOddSizeAndKilledBeforeTheEndKeepsItsCalibration)
{
    TempFolder dir, scratch;
    struct Case {
        const char* name;
        TPcmFormat format;
        DWORD frames, count;
    };
    const Case cases[] = {
        {"24-bit mono", TPcmFormat(4000, 1, 3), 600000, 400001},
        {"8-bit mono", TPcmFormat(8000, 1, 1), 2000000, 1000001},
    };
    const auto grow = [&](const Case& c) {
        const TPcmFormat& f = c.format;
        const CalibratedWave w = MakeCalibratedWave(dir.file("grown.wav"), f, c.frames);
        const std::vector<std::uint8_t> original = ReadFile(w.path);
        const std::vector<std::uint8_t> expected =
            Join({Slice(w.samples, f, 0, c.count), Slice(w.samples, f, 0, c.frames)});
        ASSERT_EQ(expected.size() & 1, 1u) << "the case must grow the file to an odd data size";
        const std::uint32_t oldBytes = Le32At(original, 40);
        // The kill must come after the file grew and before its data size changed: a busy
        // machine may let the edit run past that, so it is tried again, up to a bound.
        int inBetween = 0;
        const auto failures = [] {
            return testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
        };
        const int failedBefore = failures();
        for (int attempt = 0; attempt < 40 && inBetween < 2; ++attempt) {
            WriteFile(w.path, original);
            const bool returned = EditInKilledChild(
                w.path, scratch.path(), [&](TWaveFile& t) { PasteInsertOwn(t, 0, c.count, 0); },
                [&original](const std::string& p) {
                    // The RIFF size is the last thing the growth writes.
                    std::ifstream in(p, std::ios::binary);
                    std::uint8_t size[4] = {};
                    in.seekg(4);
                    in.read(reinterpret_cast<char*>(size), 4);
                    return std::memcmp(size, original.data() + 4, 4) != 0;
                });
            const std::vector<std::uint8_t> left = ReadFile(w.path);
            if (!returned && Le32At(left, 4) != Le32At(original, 4) && Le32At(left, 40) == oldBytes)
                ++inBetween;
            ExpectWaveOnDisk(w.path, expected, w.calibration, &w.samples, 0);
            if (failures() > failedBefore)
                return;
        }
        EXPECT_GT(inBetween, 0) << "no kill came between the growth and the end of the edit";
        // Finished, the file is exactly the samples, the pad byte and the chunk.
        WriteFile(w.path, original);
        ASSERT_TRUE(EditInKilledChild(w.path, scratch.path(), [&](TWaveFile& t) { PasteInsertOwn(t, 0, c.count, 0); }));
        ExpectWaveOnDisk(w.path, expected, w.calibration);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        grow(c);
    }
}
