// The file layout we write and the files we accept, including files other programs wrote
// and files that are damaged.
#include "platform/core/FileSystem.h"
#include "support/ScriptedUser.h"
#include "wave/TWaveFile.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>

#include <unistd.h>

using namespace wavetest;

namespace {

// A saved mode-0 wave holding the pattern bytes.
void WritePatternWave(const std::string& path, const TPcmFormat& f, DWORD frames, const WaveCalibrationBlock* cal)
{
    TWaveFile w(frames, f, "");
    ASSERT_FALSE(w.IsError());
    std::vector<std::uint8_t> bytes = PatternBytes(f, frames);
    ASSERT_TRUE(w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size())));
    if (cal)
        w.SetCalibration(*cal);
    w.SetFileName(path);
    ASSERT_TRUE(w.Save());
}

std::vector<std::uint8_t> SampleBytes(TWaveFile& w)
{
    return std::vector<std::uint8_t>(w.GetData(), w.GetData() + w.FramesToBytes(w.GetEndFrame()));
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

WaveCalibrationBlock SomeCalibration()
{
    WaveCalibrationBlock b;
    std::strcpy(b.Name, "Bench rig 4");
    b.Channel[0] = ChannelCalibration(0);
    b.Channel[1] = ChannelCalibration(1);
    b.Channel[0].CalRatio = 12.5f;
    b.Channel[1].RefUnits = kUnitSplAir;
    std::strcpy(b.Channel[1].ChannelName, "Right mic");
    return b;
}

} // namespace

TEST(WaveFileFormat, CanonicalHeaderPadByteAndCalibrationChunkAfterTheRiffChunk)
{
    TempFolder dir;
    std::string path = dir.file("odd.wav");
    WaveCalibrationBlock cal = SomeCalibration();
    WritePatternWave(path, TPcmFormat(8000, 1, 1), 11, &cal);
    std::vector<std::uint8_t> b = ReadFile(path);
    ASSERT_EQ(b.size(), 44u + 11 + 1 + 8 + 2048);
    EXPECT_EQ(std::memcmp(b.data(), "RIFF", 4), 0);
    EXPECT_EQ(Le32(b, 4), 36u + 11 + 1);
    EXPECT_EQ(std::memcmp(b.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(Le32(b, 16), 16u);
    EXPECT_EQ(b[20] | (b[21] << 8), 1);    // PCM
    EXPECT_EQ(Le32(b, 24), 8000u);         // rate
    EXPECT_EQ(Le32(b, 28), 8000u);         // bytes per second
    EXPECT_EQ(b[34] | (b[35] << 8), 8);    // bits
    EXPECT_EQ(Le32(b, 40), 11u);           // data size
    EXPECT_EQ(b[44 + 11], 0) << "pad byte";
    EXPECT_EQ(Le32(b, 56), 102u);          // calibration chunk id
    EXPECT_EQ(Le32(b, 60), 2048u);
    EXPECT_EQ(std::memcmp(b.data() + 64, "Bench rig 4", 12), 0);
    // CalRatio of slot A at 260 + 144 in the block, little-endian float.
    float ratio;
    std::uint32_t bits = Le32(b, 64 + 260 + 144);
    std::memcpy(&ratio, &bits, 4);
    EXPECT_EQ(ratio, 12.5f);

    TWaveFile back(path, TWaveFile::kMemory, false, dir.path());
    ASSERT_FALSE(back.IsError());
    EXPECT_TRUE(back.IsCalibrationPresent());
    EXPECT_FALSE(back.IsModified());
    EXPECT_TRUE(back.CalibrationBlock().SameBytes(cal));
    EXPECT_EQ(back.GetEndFrame(), 11u);
}

TEST(WaveFileFormat, ChunkVariantsOtherWritersProduce)
{
    TempFolder dir;
    TPcmFormat f(22050, 2, 2);
    std::vector<std::uint8_t> samples = PatternBytes(f, 100);
    std::array<std::uint8_t, 2048> calBytes{};
    SomeCalibration().WriteToBytes(calBytes);
    std::vector<std::uint8_t> cal(calBytes.begin(), calBytes.end());

    // Extra chunks between "fmt " and "data", an 18-byte "fmt ", a calibration chunk whose
    // size field is 0, and an older 101 chunk after it.
    std::vector<std::uint8_t> body;
    PutChunk(body, "fmt ", FmtBody(1, 2, 22050, 4, 16, 2));
    PutChunk(body, "LIST", std::vector<std::uint8_t>(27, 'x'));
    PutChunk(body, "fact", {1, 2, 3, 4});
    PutChunk(body, "data", samples);
    std::vector<std::uint8_t> file = Riff(body);
    PutChunk(file, "\x66\0\0\0", cal, 0);
    PutChunk(file, "\x65\0\0\0", std::vector<std::uint8_t>(1024, 0));
    std::string path = dir.file("variants.wav");
    WriteFile(path, file);

    for (WORD mode : {TWaveFile::kMemory, TWaveFile::kStreamed}) {
        TWaveFile w(path, mode, true, dir.path());
        ASSERT_FALSE(w.IsError()) << "mode " << mode;
        EXPECT_EQ(w.GetEndFrame(), 100u);
        EXPECT_TRUE(w.IsCalibrationPresent());
        EXPECT_STREQ(w.CalibrationBlock().Name, "Bench rig 4") << "the 102 chunk wins over 101";
        std::vector<std::uint8_t> got(samples.size());
        w.Seek(0);
        ASSERT_TRUE(w.ReadBytes(got.data(), static_cast<DWORD>(got.size())));
        EXPECT_EQ(got, samples);
        if (mode == TWaveFile::kStreamed)
            EXPECT_GT(w.GetDataOffset(), 44u);
    }
}

TEST(WaveFileFormat, LegacyCalibrationChunkIsConverted)
{
    TempFolder dir;
    std::vector<std::uint8_t> legacy(1024, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            legacy[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    auto putF = [&](std::size_t at, float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        put32(at, u);
    };
    put32(0, 1);
    std::memcpy(&legacy[4], "Old rig", 7);
    putF(264, 94.0f);
    put32(268, 1);
    put32(272, kUnitSplAir);
    std::memcpy(&legacy[276], "Pascals", 7);
    std::memcpy(&legacy[336], "dB SPL", 6);
    putF(400, 0.25f);
    putF(404, 0.5f);
    putF(408, 3.0f);
    putF(412, 4.0f);
    std::memcpy(&legacy[424], "Left", 4);
    std::memcpy(&legacy[464], "Right", 5);

    std::vector<std::uint8_t> body;
    PutChunk(body, "fmt ", FmtBody(1, 1, 8000, 2, 16));
    PutChunk(body, "data", std::vector<std::uint8_t>(20, 0));
    std::vector<std::uint8_t> file = Riff(body);
    PutChunk(file, "\x65\0\0\0", legacy);
    std::string path = dir.file("legacy.wav");
    WriteFile(path, file);

    TWaveFile w(path, TWaveFile::kMemory, false, dir.path());
    ASSERT_FALSE(w.IsError());
    ASSERT_TRUE(w.IsCalibrationPresent());
    const WaveCalibrationBlock& c = w.CalibrationBlock();
    EXPECT_STREQ(c.Name, "Old rig");
    EXPECT_EQ(+c.Channel[0].IsEnabled, 1u);
    EXPECT_EQ(+c.Channel[0].RefLevel, 94.0f);
    EXPECT_EQ(+c.Channel[0].RefUnits, static_cast<DWORD>(kUnitSplAir));
    EXPECT_STREQ(c.Channel[0].LabelLinear, "Pascals");
    EXPECT_EQ(+c.Channel[0].CalRatio, 3.0f);
    EXPECT_EQ(+c.Channel[1].CalRatio, 4.0f);
    EXPECT_EQ(+c.Channel[0].PctFullScale, 0.25f);
    EXPECT_EQ(+c.Channel[1].PctFullScale, 0.5f);
    EXPECT_STREQ(c.Channel[0].ChannelName, "Left");
    EXPECT_STREQ(c.Channel[1].ChannelName, "Right");
    EXPECT_STREQ(c.Channel[1].LabelLog, "dB SPL") << "slot B starts as a copy of slot A";
    EXPECT_EQ(+c.Channel[1].DTGain, 1.0f);
    EXPECT_EQ(+c.Channel[1].DTCalVersion, 0);
}

TEST(WaveFileFormat, FileWithoutCalibrationReadsWithCalibrationAbsent)
{
    TempFolder dir;
    std::string path = dir.file("plain.wav");
    WritePatternWave(path, TPcmFormat(8000, 1, 2), 10, nullptr);
    EXPECT_EQ(ReadFile(path).size(), 64u);
    TWaveFile w(path, TWaveFile::kMemory, false, dir.path());
    ASSERT_FALSE(w.IsError());
    EXPECT_FALSE(w.IsCalibrationPresent());
    EXPECT_EQ(w.GetGain(0), static_cast<float>(1.0 / 32767.0));
}

// Every damaged file is refused (or salvaged) with a clear message and never crashes.
struct BadFileCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* message; // nullptr: opens without a word, or (a file of no samples) the caller reports it
    bool opens;
};

class WaveFileBadInput : public ::testing::TestWithParam<int> {};

static std::vector<BadFileCase> BadFiles()
{
    std::vector<BadFileCase> cases;
    auto wave = [](std::vector<std::uint8_t> fmt, std::vector<std::uint8_t> data, std::int64_t dataSize = -1) {
        std::vector<std::uint8_t> body;
        if (!fmt.empty())
            PutChunk(body, "fmt ", fmt);
        PutChunk(body, "data", data, dataSize);
        return Riff(body);
    };
    std::vector<std::uint8_t> pcm = FmtBody(1, 1, 8000, 2, 16);
    std::vector<std::uint8_t> good = wave(pcm, std::vector<std::uint8_t>(200, 1));
    cases.push_back({"empty file", {}, "not a wave file", false});
    cases.push_back({"not RIFF", {'J', 'U', 'N', 'K', 0, 0, 0, 0}, "not a wave file", false});
    cases.push_back({"no fmt chunk", wave({}, std::vector<std::uint8_t>(20, 0)), "(FMT section)", false});
    cases.push_back({"short fmt chunk", wave({1, 0, 1, 0}, std::vector<std::uint8_t>(20, 0)), "(FMT section)", false});
    // A format that gives no sample size says which of its numbers is wrong.
    cases.push_back({"zero channels", wave(FmtBody(1, 0, 8000, 2, 16), std::vector<std::uint8_t>(20, 0)),
                     "invalid wave file format (FMT section): it names 0 channels", false});
    cases.push_back({"zero block align", wave(FmtBody(1, 1, 8000, 0, 16), std::vector<std::uint8_t>(20, 0)),
                     "(FMT section): its frames are 0 bytes long (block align 0)", false});
    cases.push_back({"odd block align", wave(FmtBody(1, 2, 8000, 3, 8), std::vector<std::uint8_t>(20, 0)),
                     "its frames of 3 bytes (block align) cannot hold 2 channels of whole samples", false});
    cases.push_back({"zero sample rate", wave(FmtBody(1, 1, 0, 2, 16), std::vector<std::uint8_t>(20, 0)),
                     "(FMT section): its sample rate is 0", false});
    cases.push_back({"float samples", wave(FmtBody(3, 1, 8000, 4, 32), std::vector<std::uint8_t>(20, 0)),
                     "unsupported wave format", false});
    cases.push_back({"compressed", wave(FmtBody(2, 1, 8000, 256, 4, 32), std::vector<std::uint8_t>(20, 0)),
                     "unsupported wave format", false});
    cases.push_back({"eight bytes a sample", wave(FmtBody(1, 1, 8000, 8, 64), std::vector<std::uint8_t>(20, 0)),
                     "unsupported wave format", false});
    {
        std::vector<std::uint8_t> body;
        PutChunk(body, "fmt ", pcm);
        cases.push_back({"no data chunk", Riff(body), "(DATA section)", false});
    }
    cases.push_back({"empty data chunk", wave(pcm, {}), nullptr, false});
    {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + 44 + 101);
        cases.push_back({"truncated data", cut, "ends before its data section", true});
    }
    cases.push_back({"absurd data size", wave(pcm, std::vector<std::uint8_t>(6, 1), 0xFFFFFFF0),
                     "ends before its data section", true});
    {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + 30);
        cases.push_back({"cut inside fmt", cut, "the file ends inside it", false});
    }
    {
        std::vector<std::uint8_t> b = good;
        b[4] = b[5] = b[6] = b[7] = 0xFF; // RIFF size past the end
        cases.push_back({"riff size past end", b, nullptr, true});
    }
    {
        std::vector<std::uint8_t> b = good;
        PutChunk(b, "\x66\0\0\0", std::vector<std::uint8_t>(100, 0xEE), 2048); // calibration cut short
        cases.push_back({"calibration cut short", b, nullptr, true});
    }
    return cases;
}

TEST_P(WaveFileBadInput, IsRefusedOrSalvagedWithAClearMessage)
{
    BadFileCase c = BadFiles()[static_cast<std::size_t>(GetParam())];
    TempFolder dir;
    std::string path = dir.file("bad.wav");
    WriteFile(path, c.bytes);
    for (WORD mode : {TWaveFile::kMemory, TWaveFile::kStreamed}) {
        ScriptedUser user;
        if (c.message)
            user.ExpectBox(IDOK, c.message);
        std::unique_ptr<TWaveFile> w(new TWaveFile(path, mode, true, dir.path()));
        EXPECT_EQ(!w->IsError(), c.opens) << c.name << " mode " << mode;
        // Every message names the file it is about.
        for (const std::string& text : user.Texts())
            EXPECT_NE(text.find("File: " + path), std::string::npos) << text;
        EXPECT_EQ(w->ErrorReported(), c.message != nullptr) << c.name;
        if (c.opens) {
            EXPECT_GT(w->GetEndFrame(), 0u);
            EXPECT_LE(w->GetDataBytes(), c.bytes.size());
            EXPECT_FALSE(w->IsCalibrationPresent()) << c.name;
        }
        w.reset();
        EXPECT_EQ(ReadFile(path), c.bytes) << "the user's file is never touched by a failed open";
        EXPECT_EQ(dir.count(), 1u) << c.name << ": no temporary file left behind";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WaveFileBadInput, ::testing::Range(0, static_cast<int>(BadFiles().size())),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string n = BadFiles()[static_cast<std::size_t>(info.param)].name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

TEST(WaveFileFormat, ResourceImageReadsAndRefusesGarbage)
{
    TPcmFormat f(8000, 1, 2);
    std::vector<std::uint8_t> body;
    PutChunk(body, "fmt ", FmtBody(1, 1, 8000, 2, 16));
    std::vector<std::uint8_t> samples = PatternBytes(f, 50);
    PutChunk(body, "data", samples);
    std::vector<std::uint8_t> image = Riff(body);
    TWaveFile w{std::span<const std::uint8_t>(image)};
    ASSERT_FALSE(w.IsError());
    EXPECT_EQ(w.GetMode(), TWaveFile::kResource);
    EXPECT_EQ(SampleBytes(w), samples);
    EXPECT_FALSE(w.Save()) << "resource data is read-only";

    std::vector<std::uint8_t> junk(100, 0x5A);
    TWaveFile bad{std::span<const std::uint8_t>(junk)};
    EXPECT_TRUE(bad.IsError());
}

TEST(WaveFileFormat, AppendedCalibrationReplacesAnEarlierOne)
{
    TempFolder dir;
    std::string path = dir.file("append.wav");
    WritePatternWave(path, TPcmFormat(8000, 1, 2), 10, nullptr);
    TWaveFile source(10, TPcmFormat(8000, 1, 2), dir.path());
    WaveCalibrationBlock cal = SomeCalibration();
    source.SetCalibration(cal);
    ASSERT_TRUE(source.AppendCalibrationChunk(path));
    std::int64_t size = static_cast<std::int64_t>(ReadFile(path).size());
    EXPECT_EQ(size, 64 + 8 + 2048);
    cal.Channel[0].CalRatio = 99.0f;
    source.SetCalibration(cal);
    ASSERT_TRUE(source.AppendCalibrationChunk(path));
    EXPECT_EQ(static_cast<std::int64_t>(ReadFile(path).size()), size) << "overwritten in place";
    TWaveFile back(path, TWaveFile::kMemory, false, dir.path());
    ASSERT_TRUE(back.IsCalibrationPresent());
    EXPECT_EQ(+back.CalibrationBlock().Channel[0].CalRatio, 99.0f);
}

// The reader takes the block after the first calibration chunk's header whatever its size
// field says, so a new calibration has to go there, not behind it.
TEST(WaveFileFormat, AppendedCalibrationReplacesOneWithASizeOfZero)
{
    TempFolder dir;
    TPcmFormat f(8000, 1, 2);
    std::array<std::uint8_t, 2048> calBytes{};
    SomeCalibration().WriteToBytes(calBytes);
    std::vector<std::uint8_t> body;
    PutChunk(body, "fmt ", FmtBody(1, 1, 8000, 2, 16));
    PutChunk(body, "data", PatternBytes(f, 10));
    std::vector<std::uint8_t> file = Riff(body);
    PutChunk(file, "\x66\0\0\0", std::vector<std::uint8_t>(calBytes.begin(), calBytes.end()), 0);
    const std::string path = dir.file("zero.wav");
    WriteFile(path, file);

    TWaveFile source(10, f, dir.path());
    WaveCalibrationBlock cal = SomeCalibration();
    cal.Channel[0].CalRatio = 99.0f;
    source.SetCalibration(cal);
    ASSERT_TRUE(source.AppendCalibrationChunk(path));
    EXPECT_EQ(ReadFile(path).size(), file.size()) << "overwritten in place";
    TWaveFile back(path, TWaveFile::kMemory, false, dir.path());
    ASSERT_TRUE(back.IsCalibrationPresent());
    EXPECT_EQ(+back.CalibrationBlock().Channel[0].CalRatio, 99.0f);
}

// A file past 4 GB cannot be described by its RIFF sizes, which then name only part of it:
// opening it would let the next save cut off everything they do not name.
TEST(WaveFileFormat, FilesPastFourGigabytesAreRefused)
{
    TempFolder dir;
    std::vector<std::uint8_t> body;
    PutChunk(body, "fmt ", FmtBody(1, 1, 8000, 2, 16));
    PutChunk(body, "data", std::vector<std::uint8_t>(100, 1)); // the size field wrapped round
    std::vector<std::uint8_t> file = Riff(body);
    const std::string path = dir.file("huge.wav");
    WriteFile(path, file);
    ASSERT_EQ(::truncate(path.c_str(), (std::int64_t{1} << 32) + 4096), 0); // sparse: no disk used
    for (WORD mode : {TWaveFile::kMemory, TWaveFile::kStreamed}) {
        for (bool backup : {false, true}) {
            ScriptedUser user;
            user.ExpectBox(IDOK, "larger than the 4 GB");
            TWaveFile w(path, mode, backup, dir.path());
            EXPECT_TRUE(w.IsError()) << "mode " << mode;
        }
    }
    EXPECT_EQ(dir.count(), 1u) << "no copy was made";
    EXPECT_EQ(GetFileSizeOf(path), (std::int64_t{1} << 32) + 4096) << "the file is left as it was";
}
