// A file group opened, run in Post Process mode and saved through the File Operations dialog:
// files nobody edited stay byte for byte as they were, and a calibration chunk keeps its name
// and every field, read back by Python from the bytes on disk.
#include "FilesFrameFixture.h"

#include "platform/core/Profile.h"
#include "res/FileDialogIds.h"
#include "res/resource.h"
#include "support/QtTestAccess.h"

#include <csignal>
#include <fstream>
#include <sys/resource.h>

using namespace filesframe;

namespace {

// A mono 16-bit wave of a sine with a calibration chunk (id 102, 2048 bytes) after the RIFF
// chunk: the name, then slot A and slot B records (enabled, volts, the given channel name).
bool WriteCalibratedWave(const std::string& path, const std::string& calName, const std::string& channelName,
                         int enabled)
{
    return Python("import struct, math\n"
                  "n = 4000\n"
                  "data = b''.join(struct.pack('<h', int(8000 * math.sin(2 * math.pi * 50 * i / 4000))) for i in range(n))\n"
                  "fmt = struct.pack('<HHIIHH', 1, 1, 4000, 8000, 2, 16)\n"
                  "riff = b'WAVE' + b'fmt ' + struct.pack('<I', 16) + fmt + b'data' + struct.pack('<I', len(data)) + data\n"
                  "def rec(name):\n"
                  "    r = struct.pack('<IfII', " + std::to_string(enabled) + ", 1.0, 1, 0)\n"
                  "    r += b'Volts rms'.ljust(60, b'\\0') + b'dBV rms'.ljust(60, b'\\0')\n"
                  "    r += struct.pack('<IffII', 0, 10.0, 10.0, 0, 0)\n"
                  "    r += name.ljust(40, b'\\0') + struct.pack('<Hff', 0, 0.0, 0.0)\n"
                  "    r += b'" + calName + "'.ljust(256, b'\\0') + struct.pack('<fHf', 1.0, 1000, 0.0)\n"
                  "    r += bytes(range(162))\n"
                  "    assert len(r) == 634\n"
                  "    return r\n"
                  "block = b'" + calName + "'.ljust(260, b'\\0') + rec(b'" + channelName + "') + rec(b'" + channelName +
                  "') + bytes(520)\n"
                  "open('" + path + "', 'wb').write(b'RIFF' + struct.pack('<I', len(riff)) + riff + struct.pack('<II', 102, 2048) + block)\n");
}

// The calibration chunk's name and its two records as Python reads them from the file.
std::string ReadCalibrationChunk(const std::string& path, const std::string& scratch)
{
    if (!Python("import struct\n"
                "b = open('" + path + "', 'rb').read()\n"
                "size = struct.unpack('<I', b[4:8])[0]\n"
                "at = 8 + size + (size & 1)\n"
                "cid, csize = struct.unpack('<II', b[at:at + 8])\n"
                "blk = b[at + 8:at + 8 + 2048]\n"
                "name = blk[:260].split(b'\\0')[0].decode()\n"
                "a = blk[260:894]; bb = blk[894:1528]\n"
                "out = '%d %d %s %s %s %s' % (cid, csize, name, a[156:196].split(b'\\0')[0].decode(),\n"
                "    a[206:462].split(b'\\0')[0].decode(), a == bb)\n"
                "open('" + scratch + "', 'w').write(out)\n"))
        return "python failed";
    std::ifstream in(scratch);
    std::string s;
    std::getline(in, s);
    return s;
}

class FileGroupSave : public FilesFrame {
protected:
    // The File Operations dialog, reached through File/Open or File/Save, clicking `button` and
    // then Done.
    void FileOperations(UINT command, int button)
    {
        CDialog::ScriptModal([button](CWnd& d) {
            EXPECT_TRUE(QtClickButton(&d, button));
            EXPECT_TRUE(QtClickButton(&d, IDCANCEL));
        });
        frame->ExecuteCommand(command);
        AfxPumpMessages(20);
    }
};

} // namespace

TEST_F(FileGroupSave, ARunAndASaveLeaveUneditedFilesAndTheirCalibrationNamesAsTheyWere)
{
    ASSERT_NE(Start(), nullptr);
    frame->SetModePostProcess(false);
    const std::string tones = Data("wave/tones.wav"), mono = Data("wave/mono.wav"), off = Data("wave/off.wav");
    ASSERT_TRUE(WriteCalibratedWave(tones, "TonesCal", "Tones", 1));
    ASSERT_TRUE(WriteCalibratedWave(mono, "MonoCal", "Mono", 1));
    // A file whose calibration is switched off keeps its chunk too.
    ASSERT_TRUE(WriteCalibratedWave(off, "OffCal", "Off", 0));
    const std::string qrx = Data("wave/group.qrx");
    WritePrivateProfileStringA("Filenames", "Crown", "tones.wav", qrx.c_str());
    WritePrivateProfileStringA("Filenames", "Brow", "mono.wav", qrx.c_str());
    WritePrivateProfileStringA("Filenames", "Throat", "off.wav", qrx.c_str());
    const std::string before[3] = {ReadFile(tones), ReadFile(mono), ReadFile(off)};
    EXPECT_EQ(ReadCalibrationChunk(tones, Data("temp/c.txt")), "102 2048 TonesCal Tones TonesCal True");

    user.ExpectFile(PromptKind::FileOpen, qrx);
    FileOperations(ID_FILE_OPEN, IDC_GROUP_OPEN);
    for (int c = 0; c < 3; ++c)
        ASSERT_NE(frame->Settings.Files[c].File, nullptr) << c;
    for (int c = 0; c < 3; ++c)
        frame->OpenTimeSeriesPlot(c);

    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->PostProcessBusy);
    for (int i = 0; i < 400 && frame->PostProcessBusy; ++i)
        frame->PostProcessStep();
    frame->ExecuteCommand(ID_STOP);
    for (int c = 0; c < 3; ++c)
        EXPECT_FALSE(frame->Settings.Files[c].File->IsModified()) << c;

    user.ExpectFile(PromptKind::FileSave, qrx);
    user.ExpectBox(IDYES, "already exists");
    FileOperations(ID_FILE_SAVE, IDC_GROUP_SAVE);
    EXPECT_EQ(ReadFile(tones), before[0]);
    EXPECT_EQ(ReadFile(mono), before[1]);
    EXPECT_EQ(ReadFile(off), before[2]);

    // An edited file is rewritten with its calibration name and records kept.
    TSeriesPlot* plot = Select(1, 0.1f, 0.2f);
    ASSERT_NE(plot, nullptr);
    frame->ExecuteCommand(ID_EDIT_MUTE);
    ASSERT_TRUE(frame->Settings.Files[1].File->IsModified());
    user.ExpectFile(PromptKind::FileSave, qrx);
    user.ExpectBox(IDYES, "already exists");
    FileOperations(ID_FILE_SAVE, IDC_GROUP_SAVE);
    EXPECT_NE(ReadFile(mono), before[1]);
    EXPECT_EQ(ReadCalibrationChunk(mono, Data("temp/c.txt")), "102 2048 MonoCal Mono MonoCal True");
    EXPECT_EQ(ReadFile(tones), before[0]);
}

// A group save on a full disk (here a file-size limit) that writes none of its wave files: the
// title does not take the group's name, the takes stay untitled for another try, and an edited
// file held in memory stays with its edits.
TEST_F(FileGroupSave, ASaveThatWroteNoWaveFileLeavesTheTitleUntitled)
{
    ASSERT_NE(Start(), nullptr);
    frame->SetModePostProcess(false);
    for (int c = 0; c < 3; ++c) {
        auto* take = new TWaveFile(4000, TPcmFormat(8000, 1, 2), Data("wave"));
        for (DWORD i = 0; i < 4000; ++i)
            ASSERT_TRUE(take->SetSample(1000 + c, i, 0));
        frame->Settings.Files[c].File.reset(take);
    }
    frame->Settings.FileIO.WaveFileMode = 0;
    ASSERT_TRUE(WriteWaveOf(Data("wave/held.wav"), 8000, 4000, "1000"));
    ASSERT_TRUE(OpenChannel(3, Data("wave/held.wav")));
    ASSERT_TRUE(frame->Settings.Files[3].File->SetSample(5, 10, 0));
    const std::string qrx = Data("wave/full.qrx");
    user.ExpectFile(PromptKind::FileSave, qrx);
    for (int c = 0; c < 4; ++c)
        user.ExpectBox(IDOK, "Failure saving wave file");
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit low = old;
    low.rlim_cur = 1000; // the group file fits, no wave file does
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    FileOperations(ID_FILE_SAVE, IDC_GROUP_SAVE);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    const std::string title = frame->GetWindowTextString();
    EXPECT_EQ(title.find("full"), std::string::npos) << title;
    EXPECT_NE(title.find("[Untitled]"), std::string::npos) << title;
    for (int c = 0; c < 3; ++c)
        EXPECT_TRUE(frame->Settings.Files[c].File->IsUntitled()) << c;
    ASSERT_NE(frame->Settings.Files[3].File, nullptr);
    EXPECT_TRUE(frame->Settings.Files[3].File->IsModified());
    frame->DropAllWaveFiles();
}
