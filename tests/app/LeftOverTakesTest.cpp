// Takes a crash left in the wave folder, offered at the next start: the takes of one run end at
// the sample where the earliest of them ends, as they did while the run went on; takes of
// another run keep their own end.
#include "FrameFixture.h"

#include "wave/WaveCalibrationBlock.h"
#include "wave/WorkingFile.h"

using namespace frametest;

namespace {

class LeftOverTakes : public FrameFixture {};

} // namespace

TEST_F(LeftOverTakes, TheTakesOfOneRunAreCutToItsEarliestEnd)
{
    struct Take {
        const char* file;
        int channel;
        const char* run;
        int frames;   // on disk
        int expected; // after the start sealed it
    };
    // 24-bit mono: odd frame counts make odd data sizes, with a pad byte before the chunk.
    const Take takes[] = {
        {"wav0001.tmp", 0, "run-a", 1257, 1001}, {"wav0002.tmp", 1, "run-a", 1001, 1001},
        {"wav0003.tmp", 2, "run-a", 1100, 1001}, {"wav0004.tmp", 3, "run-b", 1300, 1299},
        {"wav0005.tmp", 4, "run-b", 1299, 1299},
    };
    std::string list;
    for (const Take& t : takes) {
        const std::string path = Data("wave/") + t.file;
        // Sample k of channel c is 1000 * c + k, so a cut that kept the wrong end shows.
        ASSERT_TRUE(Python("import wave\n"
                           "w = wave.open('" + path + "', 'wb')\n"
                           "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
                           "w.writeframes(b''.join((1000 * " + std::to_string(t.channel) +
                           " + k).to_bytes(3, 'little') for k in range(" + std::to_string(t.frames) + ")))\n"));
        WorkingFileLabel label;
        label.kind = WorkingFileLabel::Kind::Take;
        label.channel = t.channel;
        label.run = t.run;
        label.calibration.assign(WaveCalibrationBlock::kSize, std::uint8_t(t.channel + 1));
        ASSERT_TRUE(WriteWorkingFileLabel(path, label));
        list += "('" + path + "', " + std::to_string(t.channel) + ", " + std::to_string(t.expected) + "),";
    }
    user.ExpectBox(IDOK, "from an earlier session");
    ASSERT_NE(Start(), nullptr);
    EXPECT_EQ(user.Pending(), 0u) << "the takes were offered";
    ASSERT_TRUE(Python("import struct, wave\n"
                       "for p, ch, n in [" + list + "]:\n"
                       "    w = wave.open(p)\n"
                       "    assert w.getnframes() == n, (p, w.getnframes(), n)\n"
                       "    d = w.readframes(n)\n"
                       "    v = [int.from_bytes(d[i:i+3], 'little') for i in range(0, len(d), 3)]\n"
                       "    assert v == [1000 * ch + k for k in range(n)], p\n"
                       "    b = open(p, 'rb').read()\n"
                       "    at = 8 + struct.unpack('<I', b[4:8])[0]\n"
                       "    at += at & 1\n"
                       "    assert struct.unpack('<II', b[at:at+8]) == (102, 2048) and len(b) == at + 2056, p\n"
                       "    assert b[at + 8:at + 2056] == bytes([ch + 1]) * 2048, p\n"));
}

// An undo copy of an edit made in the file itself is named with the frame its frames belong at,
// how the edit changed them and how far it got; a label written before labels said so still reads.
TEST_F(LeftOverTakes, AnUndoCopySaysWhereItsFramesBelongAndHowFarItsEditGot)
{
    using Change = WorkingFileLabel::Change;
    using State = WorkingFileLabel::State;
    struct Copy {
        long long first; // -1: a label as earlier versions wrote it
        Change change;
        State state;
        const char* said;
    } const copies[] = {
        {-1, Change::Unknown, State::Unknown, " (the file may be part-edited)"},
        {500, Change::Overwritten, State::Edited,
         ": its 300 frames belong at frame 500 of the file, where the edit overwrote them; the edit was finished"},
        {42, Change::Removed, State::Undoing,
         ": its 300 frames belong at frame 42 of the file, where the edit cut them out; taking the edit back was cut "
         "short, so the file may be part-restored from frame 42 on"},
    };
    const std::string original = Data("take.wav");
    ASSERT_TRUE(Python("import wave\n"
                       "for p in ['" + original + "'] + ['" + Data("wave/wav000") + "%d.tmp' % i for i in range(3)]:\n"
                       "    w = wave.open(p, 'wb')\n"
                       "    w.setnchannels(1); w.setsampwidth(2); w.setframerate(4000)\n"
                       "    w.writeframes(bytes(600))\n"));
    for (int i = 0; i < 3; ++i) {
        WorkingFileLabel label;
        label.kind = WorkingFileLabel::Kind::Undo;
        label.original = original;
        label.first = copies[i].first;
        label.change = copies[i].change;
        label.state = copies[i].state;
        ASSERT_TRUE(WriteWorkingFileLabel(Data("wave/wav000") + std::to_string(i) + ".tmp", label));
    }
    user.ExpectBox(IDOK, "from an earlier session");
    ASSERT_NE(Start(), nullptr);
    const std::vector<std::string> texts = user.Texts();
    ASSERT_EQ(texts.size(), 1u);
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(texts[0].find("wav000" + std::to_string(i) + ".tmp: the undo copy of " + original +
                                ", holding its frames as they were before its last edit" + copies[i].said),
                  std::string::npos)
            << texts[0];
}
