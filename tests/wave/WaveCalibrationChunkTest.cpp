// The calibration chunk as files written on other systems carry it, written and read field by
// field by Python's struct module from the record layout; raw reads and writes at the file
// position and plain file copies, checked by Python's wave module.
#include "support/ScriptedUser.h"
#include "support/NeedsTool.h"
#include "wave/TWaveFile.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace wavetest;

namespace {

// write <path> [level units [ratio]]: a stereo 16-bit wave at 1000 Hz (400 frames, L = 100 i - 20000, R = -50 i) with
// a LIST chunk before its samples and a calibration chunk after the RIFF chunk.
// read <path>: the chunks after the RIFF chunk and every field of the calibration block, one
// "key=value" a line.
const char* kPyCal = R"(import sys, struct, wave
def record(units, ratio, offset, name, level):
    b = bytearray(634)
    struct.pack_into('<IfII', b, 0, 1, level, 1, units)
    b[16:23] = b'Pascals'; b[76:82] = b'dB SPL'
    struct.pack_into('<IffII', b, 136, 1, 12.5, ratio, 0, 0)
    b[156:156 + len(name)] = name
    struct.pack_into('<Hff', b, 196, 2, 0.05, 0.0125)
    b[206:214] = b'Mic 4189'
    struct.pack_into('<fHf', b, 462, 2.0, 1000, offset)
    return bytes(b)
def text(b):
    return b.split(b'\0', 1)[0].decode()
if sys.argv[1] == 'write':
    frames = b''.join(struct.pack('<hh', 100 * i - 20000, -50 * i) for i in range(400))
    fmt = struct.pack('<HHIIHH', 1, 2, 1000, 4000, 4, 16)
    body = b'WAVE' + b'fmt ' + struct.pack('<I', 16) + fmt + b'LIST' + struct.pack('<I', 6) + b'INFOab'
    body += b'data' + struct.pack('<I', len(frames)) + frames
    level, units = (float(sys.argv[3]), int(sys.argv[4])) if len(sys.argv) > 4 else (94.0, 2)
    ratio = float(sys.argv[5]) if len(sys.argv) > 5 else 3.5
    block = b'Rig A'.ljust(260, b'\0') + record(units, ratio, 0.0, b'Left mic', level) + record(15, 0.5, 1.25, b'Probe', 1.0)
    block += bytes(520)
    open(sys.argv[2], 'wb').write(b'RIFF' + struct.pack('<I', len(body)) + body + struct.pack('<II', 102, 2048) + block)
else:
    data = open(sys.argv[2], 'rb').read()
    at = 8 + struct.unpack_from('<I', data, 4)[0]
    at += at & 1
    chunks = []
    while at + 8 <= len(data):
        cid, size = struct.unpack_from('<II', data, at)
        chunks.append('%d:%d' % (cid, size))
        if cid == 102:
            block = data[at + 8: at + 8 + 2048]
        at += 8 + size
    print('chunks=' + ','.join(chunks))
    print('end=%d' % (at == len(data)))
    print('name=' + text(block[:260]))
    for slot, base in (('A', 260), ('B', 894)):
        r = block[base: base + 634]
        en, lvl, rt, un = struct.unpack_from('<IfII', r, 0)
        lt, pct, ratio, conv, integ = struct.unpack_from('<IffII', r, 136)
        mode, sens, meas = struct.unpack_from('<Hff', r, 196)
        gain, ver, off = struct.unpack_from('<fHf', r, 462)
        print('%s=%d %g %d %d %s|%s %d %g %g %s %d %g %s %g %d %g %d' % (slot, en, lvl, rt, un, text(r[16:76]),
              text(r[76:136]), lt, pct, ratio, text(r[156:196]), mode, sens, text(r[206:462]), gain, ver, off,
              r[472:] == bytes(162)))
    print('tail=%d' % (block[1528:] == bytes(520)))
    w = wave.open(sys.argv[2], 'rb')
    f = w.readframes(w.getnframes())
    print('frames=%d first=%s last=%s' % (w.getnframes(), struct.unpack_from('<hh', f, 0), struct.unpack_from('<hh', f, len(f) - 4)))
)";

class WaveCalibrationChunk : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveTool("python3"))
            DURNEX_SKIP_WITHOUT("python3 is needed");
        WriteFile(dir_.file("cal.py"), std::vector<std::uint8_t>(kPyCal, kPyCal + std::strlen(kPyCal)));
    }
    void Python(const std::string& args) { ASSERT_EQ(RunCommand("python3 " + dir_.file("cal.py") + " " + args), 0); }
    std::map<std::string, std::string> Read(const std::string& path)
    {
        EXPECT_EQ(RunCommand("python3 " + dir_.file("cal.py") + " read " + path + " > " + dir_.file("out.txt")), 0);
        std::vector<std::uint8_t> bytes = ReadFile(dir_.file("out.txt"));
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        std::map<std::string, std::string> fields;
        for (std::string line; std::getline(in, line);) {
            const std::size_t eq = line.find('=');
            fields[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return fields;
    }

    ScriptedUser user_; // any message box fails the test
    TempFolder dir_;
};

} // namespace

TEST_F(WaveCalibrationChunk, PythonsChunkIsTakenAndOursIsWhatPythonReads)
{
    const std::string path = dir_.file("rig.wav");
    Python("write " + path);
    const std::string slotA = "1 94 1 2 Pascals|dB SPL 1 12.5 3.5 Left mic 2 0.05 Mic 4189 2 1000 0 1";
    {
        // Edited in place on disk: the reader takes the chunk, the save writes it anew.
        TWaveFile w(path, TWaveFile::kStreamed, false, dir_.path());
        ASSERT_FALSE(w.IsError());
        ASSERT_TRUE(w.IsCalibrationPresent());
        ChannelCalibration a, b;
        w.GetChannelCalibration(a, 0);
        w.GetChannelCalibration(b, 1);
        EXPECT_STREQ(w.CalibrationBlock().Name, "Rig A");
        EXPECT_EQ(a.RefUnits, 2u);
        EXPECT_FLOAT_EQ(a.RefLevel, 94.0f);
        EXPECT_STREQ(a.ChannelName, "Left mic");
        EXPECT_STREQ(a.Filename, "Mic 4189");
        EXPECT_FLOAT_EQ(a.TransducerSensitivityVolts, 0.05f);
        EXPECT_FLOAT_EQ(b.RefOffset, 1.25f);
        // Frame 10: L = -19000, R = -500; calibrated = raw / full scale x CalRatio (+ RefOffset
        // for the offset units).
        EXPECT_NEAR(w.GetSample(10, 0, true), -19000.0 / 32767 * 3.5, 1e-5);
        EXPECT_NEAR(w.GetSample(10, 1, true), -500.0 / 32767 * 0.5 + 1.25, 1e-6);

        // Re-reading the chunk takes the file's calibration back and leaves the position.
        WaveCalibrationBlock edited = w.CalibrationBlock();
        std::strcpy(edited.Name, "Rig B");
        edited.Channel[1].CalRatio = 0.25f;
        w.SetCalibration(edited);
        w.Seek(123);
        EXPECT_TRUE(w.ReadCalibrationChunk());
        EXPECT_STREQ(w.CalibrationBlock().Name, "Rig A");
        EXPECT_EQ(w.GetPosition(), 123u);
        std::int16_t frame[2] = {};
        ASSERT_TRUE(w.ReadBytes(frame, 4));
        EXPECT_EQ(frame[0], 100 * 123 - 20000);

        w.SetCalibration(edited);
        ASSERT_TRUE(w.Save());
        // Written again after the same RIFF chunk, it replaces itself.
        EXPECT_TRUE(w.WriteCalibrationChunk());
    }
    auto fields = Read(path);
    EXPECT_EQ(fields["chunks"], "102:2048");
    EXPECT_EQ(fields["end"], "1");
    EXPECT_EQ(fields["name"], "Rig B");
    EXPECT_EQ(fields["A"], slotA);
    EXPECT_EQ(fields["B"], "1 1 1 15 Pascals|dB SPL 1 12.5 0.25 Probe 2 0.05 Mic 4189 2 1000 1.25 1");
    EXPECT_EQ(fields["tail"], "1");
    EXPECT_EQ(fields["frames"], "400 first=(-20000, 0) last=(19900, -19950)");

    {
        // Read whole into memory and saved under another name: the same block follows.
        TWaveFile m(path, TWaveFile::kMemory, false, dir_.path());
        ASSERT_TRUE(m.IsCalibrationPresent());
        m.SetFileName(dir_.file("copy.wav"));
        ASSERT_TRUE(m.Save());
    }
    auto copy = Read(dir_.file("copy.wav"));
    EXPECT_EQ(copy["chunks"], "102:2048");
    EXPECT_EQ(copy["A"], slotA);
    EXPECT_EQ(copy["name"], "Rig B");
    EXPECT_EQ(copy["frames"], fields["frames"]);
}

TEST_F(WaveCalibrationChunk, AFileWithoutOneClearsTheCalibrationOnReRead)
{
    const std::string path = dir_.file("plain.wav");
    {
        TWaveFile w(100, TPcmFormat(1000, 1, 2), dir_.path());
        std::vector<std::uint8_t> bytes = PatternBytes(w.GetFormat(), 100);
        ASSERT_TRUE(w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size())));
        w.SetFileName(path);
        ASSERT_TRUE(w.Save());
    }
    TWaveFile w(path, TWaveFile::kMemory, false, dir_.path());
    WaveCalibrationBlock block;
    block.Channel[0] = ChannelCalibration(0);
    block.Channel[0].CalRatio = 7.0f;
    w.SetCalibration(block);
    EXPECT_FALSE(w.ReadCalibrationChunk());
    EXPECT_FALSE(w.IsCalibrationPresent());
    ChannelCalibration a;
    w.GetChannelCalibration(a, 0);
    EXPECT_EQ(a.CalRatio, 1.0f); // as a file without calibration opens
    EXPECT_FALSE(w.WriteCalibrationChunk()); // in memory there is no open file to write to
}

TEST_F(WaveCalibrationChunk, RawBytesAtTheFilePositionAndPlainCopiesThatReplace)
{
    const TPcmFormat f(4000, 2, 3);
    const std::vector<std::uint8_t> samples = PatternBytes(f, 300, 9);
    const std::string source = dir_.file("python.wav");
    WriteFile(dir_.file("in.raw"), samples);
    ASSERT_EQ(RunCommand("python3 -c \"import sys, wave; w = wave.open(sys.argv[1], 'wb'); w.setnchannels(2); "
                         "w.setsampwidth(3); w.setframerate(4000); w.writeframes(open(sys.argv[2], 'rb').read()); "
                         "w.close()\" " +
                         source + " " + dir_.file("in.raw")),
              0);

    // A copy over a longer file replaces it; a copy from nothing leaves the target alone.
    const std::string work = dir_.file("work.wav");
    WriteFile(work, std::vector<std::uint8_t>(5000, 0xAB));
    EXPECT_TRUE(TWaveFile::CopyDiskFile(source, work));
    EXPECT_EQ(ReadFile(work), ReadFile(source));
    EXPECT_FALSE(TWaveFile::CopyDiskFile(dir_.file("missing.wav"), work));
    EXPECT_EQ(ReadFile(work), ReadFile(source));

    std::vector<std::uint8_t> expected = samples;
    {
        TWaveFile w(work, TWaveFile::kStreamed, false, dir_.path());
        ASSERT_FALSE(w.IsError());
        EXPECT_DOUBLE_EQ(w.GetRemainingSeconds(), 2e9 / (2 * 3 * 4000));
        std::vector<std::uint8_t> got(5 * 6);
        w.Seek(100);
        EXPECT_EQ(w.ReadRaw(got.data(), 30), 30);
        EXPECT_EQ(got, std::vector<std::uint8_t>(samples.begin() + 600, samples.begin() + 630));
        const std::vector<std::uint8_t> mark = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        w.Seek(200);
        EXPECT_EQ(w.WriteRaw(mark.data(), 12), 12);
        std::copy(mark.begin(), mark.end(), expected.begin() + 1200);
        ASSERT_TRUE(w.Save());
    }
    ASSERT_EQ(RunCommand("python3 -c \"import sys, wave; w = wave.open(sys.argv[1], 'rb'); "
                         "open(sys.argv[2], 'wb').write(w.readframes(w.getnframes()))\" " +
                         work + " " + dir_.file("out.raw")),
              0);
    EXPECT_EQ(ReadFile(dir_.file("out.raw")), expected);

    // In memory there is no file to read raw from; what remains is the block after the position.
    TWaveFile m(work, TWaveFile::kMemory, false, dir_.path());
    std::uint8_t byte = 0;
    EXPECT_EQ(m.ReadRaw(&byte, 1), -1);
    m.Seek(100);
    EXPECT_DOUBLE_EQ(m.GetRemainingSeconds(), 200.0 / 4000);
}

// A chunk whose values are no numbers, or out of range, is refused with a message: the file
// opens without calibration rather than feeding NaN to the plots.
TEST_F(WaveCalibrationChunk, AChunkWithValuesNoCalibrationHoldsIsRefused)
{
    struct Case {
        const char* level;
        int units;
        bool taken;
        const char* ratio = "3.5";
    };
    // A factor of zero, below zero or so small that levels vanish gives no levels either.
    const Case cases[] = {{"nan", 2, false},         {"inf", 2, false},          {"-1e30", 2, false},
                          {"94", 17, false},         {"94", 16, true},           {"-20", 2, true},
                          {"94", 2, false, "0"},     {"94", 2, false, "-3.5"},   {"94", 2, false, "1e-30"},
                          {"94", 2, false, "nan"},   {"94", 2, true, "1e-9"}};
    for (const Case& c : cases) {
        const std::string path = dir_.file("odd.wav");
        Python("write " + path + " " + c.level + " " + std::to_string(c.units) + " " + c.ratio);
        if (!c.taken)
            user_.ExpectBox(IDOK, "The calibration data in the wave file \"" + path +
                                      "\" is damaged: a value is not a number or lies out of range.");
        TWaveFile w(path, TWaveFile::kMemory, false, dir_.path());
        ASSERT_FALSE(w.IsError()) << c.level;
        EXPECT_EQ(w.IsCalibrationPresent(), c.taken) << c.level << " " << c.units << " " << c.ratio;
        EXPECT_EQ(user_.Pending(), 0u) << c.level;
        ChannelCalibration a;
        w.GetChannelCalibration(a, 0);
        EXPECT_TRUE(std::isfinite(a.RefLevel)) << c.level;
        EXPECT_TRUE(std::isfinite(w.GetSample(10, 0, true))) << c.level;
    }
}
