// File groups: the *.qrx keys (checked with Python's configparser), paths relative to the
// group, Windows-written groups, and saving, opening and closing the channels' files.
#include "ImportExportSupport.h"
#include "wave/ChannelFileState.h"
#include "records/ChannelCalibration.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Profile.h"
#include "support/ScriptedUser.h"
#include "wave/FileGroup.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace wavetest;

namespace {

using V = std::vector<long long>;

class FileGroup : public ::testing::Test {
protected:
    TempFolder dir;
    ChannelFileState files[8];
    ChannelCalibration cals[8];
    FileGroupInfo info;

    ~FileGroup() override
    {
        for (auto& f : files)
            f.File.reset();
    }

    // An untitled in-memory wave of n frames holding value.
    TWaveFile* NewWave(DWORD n, std::int32_t value)
    {
        auto* w = new TWaveFile(n, TPcmFormat(8000, 1, 2), dir.path());
        for (DWORD i = 0; i < n; ++i)
            EXPECT_TRUE(w->SetSample(value, i, 0));
        return w;
    }

    // [section] key of a file, as Python's configparser reads it.
    std::string PyIni(const std::string& path, const std::string& section, const std::string& key)
    {
        std::string out = dir.file("ini.out");
        int r = RunCommand("python3 -c \"import configparser; c=configparser.ConfigParser(interpolation=None); "
                           "c.optionxform=str; c.read('" + path + "'); open('" + out + "','w').write(c.get('" +
                           section + "','" + key + "', fallback='<missing>'))\"");
        EXPECT_EQ(r, 0);
        return ReadText(out);
    }
};

TEST_F(FileGroup, EntriesRelativeToTheGroup)
{
    EXPECT_EQ(FileGroupEntryFor("/data/tests/Run2.qrx", "/data/tests/Run2_Heart.wav"), "Run2_Heart.wav");
    EXPECT_EQ(FileGroupEntryFor("/data/tests/Run2.qrx", "/data/tests/sub/../x.wav"), "x.wav");
    EXPECT_EQ(FileGroupEntryFor("/data/tests/Run2.qrx", "/data/tests/raw/x.wav"), "raw/x.wav");
    EXPECT_EQ(FileGroupEntryFor("/data/tests/Run2.qrx", "/elsewhere/x.wav"), "/elsewhere/x.wav");

    EXPECT_EQ(ResolveFileGroupEntry("/data/tests/Run2.qrx", "x.wav"), "/data/tests/x.wav");
    EXPECT_EQ(ResolveFileGroupEntry("/data/tests/Run2.qrx", "raw\\x.wav"), "/data/tests/raw/x.wav");
    EXPECT_EQ(ResolveFileGroupEntry("/data/tests/Run2.qrx", "/elsewhere/x.wav"), "/elsewhere/x.wav");
    EXPECT_EQ(ResolveFileGroupEntry("/data/tests/Run2.qrx", "C:\\Data\\x.wav"), "C:\\Data\\x.wav");
    EXPECT_EQ(ResolveFileGroupEntry("/data/tests/Run2.qrx", "\\\\server\\x.wav"), "\\\\server\\x.wav");
    EXPECT_EQ(ResolveFileGroupEntry("/data/tests/Run2.qrx", ""), "");
    EXPECT_EQ(ResolveFileGroupEntry("/Run2.qrx", "a.wav"), "/a.wav");

    // Names of ours with ':' second are written so that they read back as names beside the
    // group, not as paths on a drive; a drive path needs its separator.
    for (const char* name : {"b:wav", "c:", "x:y/z.wav", "D:/x.wav", "e:f g.wav"}) {
        const std::string path = std::string("/data/tests/") + name;
        const std::string entry = FileGroupEntryFor("/data/tests/Run2.qrx", path);
        EXPECT_EQ(entry, std::string("./") + name);
        EXPECT_EQ(std::filesystem::path(ResolveFileGroupEntry("/data/tests/Run2.qrx", entry)).lexically_normal(),
                  std::filesystem::path(path))
            << name;
    }
    EXPECT_EQ(ResolveFileGroupEntry("/data/tests/Run2.qrx", "b:wav"), "/data/tests/b:wav");
    EXPECT_EQ(ResolveFileGroupEntry("/data/tests/Run2.qrx", "D:/x.wav"), "D:/x.wav");

    EXPECT_EQ(FileGroupChannelFileName("/data/tests/Run2.qrx", 3), "/data/tests/Run2_Heart.wav");
    EXPECT_EQ(FileGroupChannelFileName("/data/Test1.qrx", 0), "/data/Test1_Crown.wav");
}

TEST_F(FileGroup, SaveNamesUntitledFilesAfterTheGroup)
{
    ScriptedUser user;
    files[3].File.reset(NewWave(10, 1234));
    files[7].File.reset(NewWave(10, 7));
    std::filesystem::create_directory(dir.file("raw"));
    ASSERT_TRUE(WritePyWave(dir.file("raw/base.wav"), 8000, 2, 1, {1, 2, 3}));
    files[6].File.reset(new TWaveFile(dir.file("raw/base.wav"), TWaveFile::kMemory, false, dir.path()));
    CopyField(files[6].FilePath, dir.file("raw/base.wav").c_str());
    CopyField(info.TestName, "Run2");
    CopyField(info.Technician, "A. Tester");
    CopyField(info.Comments, "windy; 3 m");
    info.TestDate = 4102444800LL; // 2100-01-01, past 32 bits
    const std::string group = dir.file("Run2.qrx");
    ASSERT_TRUE(SaveFileGroup(group, info, files));

    EXPECT_STREQ(info.GroupPath, group.c_str());
    EXPECT_STREQ(files[3].FilePath, dir.file("Run2_Heart.wav").c_str());
    EXPECT_FALSE(files[3].File->IsUntitled());
    EXPECT_FALSE(files[3].File->IsModified());
    EXPECT_EQ(ReadPyWave(dir.file("Run2_Heart.wav")).samples, V(10, 1234));
    EXPECT_TRUE(files[7].File->IsUntitled()) << "channel 7 is no part of a group";

    EXPECT_EQ(PyIni(group, "TestInfo", "TestName"), "Run2");
    EXPECT_EQ(PyIni(group, "TestInfo", "Technician"), "A. Tester");
    EXPECT_EQ(PyIni(group, "TestInfo", "Comments"), "windy; 3 m");
    EXPECT_EQ(PyIni(group, "TestInfo", "TestDate"), "4102444800");
    EXPECT_EQ(PyIni(group, "Filenames", "Heart"), "Run2_Heart.wav");
    EXPECT_EQ(PyIni(group, "Filenames", "Base"), "raw/base.wav");
    EXPECT_EQ(PyIni(group, "Filenames", "Crown"), "<missing>");
}

TEST_F(FileGroup, OpenTakesFilesAndCalibrationsAndReportsMissingOnes)
{
    // A group as written on Windows: CRLF lines, bare names, a drive-letter path.
    ASSERT_TRUE(WritePyWave(dir.file("Test1_Crown.wav"), 8000, 2, 1, {5, 6}));
    ASSERT_TRUE(WritePyWave(dir.file("Test1_Throat.wav"), 8000, 2, 1, {7}));
    WriteText(dir.file("Test1.qrx"), "[TestInfo]\r\nTestName=Test1\r\nTechnician=B\r\nComments=\r\nTestDate=0\r\n"
                                     "[Filenames]\r\nCrown=Test1_Crown.wav\r\nThroat=Test1_Throat.wav\r\n"
                                     "Heart=C:\\Data\\Test1_Heart.wav\r\n");
    // Files open before the group are closed first; channel 7 keeps its own.
    files[1].File.reset(NewWave(4, 1));
    files[7].File.reset(NewWave(4, 7));
    ScriptedUser user;
    user.ExpectBox(IDOK, "Failure opening wave file C:\\Data\\Test1_Heart.wav.  Please check that the wave file "
                         "path is valid and is not write protected");
    EXPECT_EQ(OpenFileGroup(dir.file("Test1.qrx"), info, files, cals, TWaveFile::kStreamed, false, dir.path()), 2);
    EXPECT_STREQ(info.TestName, "Test1");
    EXPECT_STREQ(info.Technician, "B");
    EXPECT_EQ(info.TestDate, 0);
    EXPECT_STREQ(info.GroupPath, dir.file("Test1.qrx").c_str());
    ASSERT_NE(files[0].File, nullptr);
    EXPECT_EQ(files[0].File->GetSample(1, 0, false), 6.0);
    EXPECT_STREQ(files[0].FilePath, dir.file("Test1_Crown.wav").c_str());
    EXPECT_EQ(files[1].File, nullptr);
    EXPECT_STREQ(files[1].FilePath, "") << "no entry: no file and an empty path";
    ASSERT_NE(files[2].File, nullptr);
    EXPECT_EQ(files[3].File, nullptr);
    EXPECT_STREQ(files[3].FilePath, "C:\\Data\\Test1_Heart.wav") << "a missing file keeps its path";
    ASSERT_NE(files[7].File, nullptr);
    EXPECT_EQ(cals[0].IsEnabled, 0u);
    // Nothing was edited: closing asks nothing about the opened files.
    EXPECT_FALSE(files[0].File->IsModified());
}

TEST_F(FileGroup, AFileThatNamesNoWaveFilesIsReportedNotTakenForAGroup)
{
    // A wave file chosen in place of a group, and a group whose only file is on channel 7.
    ASSERT_TRUE(WritePyWave(dir.file("take.wav"), 8000, 2, 1, {5, 6}));
    WriteText(dir.file("seven.qrx"), "[TestInfo]\r\nTestName=Seven\r\n[Filenames]\r\nChannel 7=x.wav\r\n");
    for (const char* name : {"take.wav", "seven.qrx"}) {
        ScriptedUser user;
        user.ExpectBox(IDOK, "The file group " + dir.file(name) + " names no wave files.  No file was opened.");
        EXPECT_EQ(OpenFileGroup(dir.file(name), info, files, cals, TWaveFile::kStreamed, false, dir.path()), 0);
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(files[c].File, nullptr);
    }
    EXPECT_TRUE(FileExists(dir.file("take.wav")));
}

TEST_F(FileGroup, CalibratedFileGivesItsRecordToTheChannel)
{
    ScriptedUser user;
    auto* w = NewWave(3, 100);
    WaveCalibrationBlock block;
    ChannelCalibration cal(0);
    cal.IsEnabled = 1;
    cal.CalCreateMode = 0;
    cal.RefLevel = 1.0f;
    cal.PctFullScale = 0.25f;
    block.Channel[0] = cal;
    block.Channel[1] = cal;
    w->SetCalibration(block);
    w->SetFileName(dir.file("cal.wav"));
    ASSERT_TRUE(w->Save());
    delete w;
    WriteText(dir.file("g.qrx"), "[Filenames]\nSolar=cal.wav\n");
    EXPECT_EQ(OpenFileGroup(dir.file("g.qrx"), info, files, cals, TWaveFile::kMemory, false, dir.path()), 1);
    ASSERT_NE(files[4].File, nullptr);
    EXPECT_EQ(+cals[4].IsEnabled, 1u);
    ChannelCalibration expected = cal;
    ComputeCalibrationFactors(expected);
    EXPECT_FLOAT_EQ(+cals[4].CalRatio, +expected.CalRatio);
    EXPECT_FALSE(files[4].File->IsModified());
}

TEST_F(FileGroup, SavingOverAGroupKeepsItsOtherKeys)
{
    ScriptedUser user;
    const std::string group = dir.file("g.qrx");
    WriteText(group, "[Filenames]\r\nBrow=old_brow.wav\r\n[Other]\r\nKey=kept\r\n");
    files[0].File.reset(NewWave(2, 3));
    ASSERT_TRUE(SaveFileGroup(group, info, files));
    EXPECT_EQ(PyIni(group, "Filenames", "Brow"), "old_brow.wav");
    EXPECT_EQ(PyIni(group, "Filenames", "Crown"), "g_Crown.wav");
    EXPECT_EQ(PyIni(group, "Other", "Key"), "kept");
    // Read back the same.
    FileGroupInfo again;
    ReadFileGroupInfo(group, again);
    EXPECT_EQ(again.TestDate, 0);
    EXPECT_EQ(ReadFileGroupEntry(group, 0), dir.file("g_Crown.wav"));
    EXPECT_EQ(ReadFileGroupEntry(group, 7), "");
}

// A wave that cannot be written (its folder is gone) must not leave the group reported saved.
TEST_F(FileGroup, SaveReportsAWaveThatCouldNotBeWritten)
{
    std::filesystem::create_directory(dir.file("gone"));
    ASSERT_TRUE(WritePyWave(dir.file("gone/a.wav"), 8000, 2, 1, {1, 2, 3}));
    files[1].File.reset(new TWaveFile(dir.file("gone/a.wav"), TWaveFile::kMemory, false, dir.path()));
    ASSERT_FALSE(files[1].File->IsError());
    EXPECT_TRUE(files[1].File->SetSample(9, 0, 0));
    std::filesystem::remove_all(dir.file("gone"));
    ScriptedUser user;
    user.ExpectBox(IDOK, "Failure saving wave file " + dir.file("gone/a.wav"));
    EXPECT_FALSE(SaveFileGroup(dir.file("g.qrx"), info, files));
    EXPECT_TRUE(files[1].File->IsModified()) << "the edits are still unsaved";
}

TEST_F(FileGroup, CloseAsksAboutUnsavedWork)
{
    // Untitled: asked; No keeps everything.
    files[0].File.reset(NewWave(2, 1));
    CopyField(info.TestName, "T");
    {
        ScriptedUser user;
        user.ExpectBox(IDNO, "The file has not been saved.  Do you want to continue without saving?");
        EXPECT_FALSE(CloseFileGroup(info, files, 8));
        EXPECT_NE(files[0].File, nullptr);
        EXPECT_STREQ(info.TestName, "T");
    }
    // A named file whose edits live only in its working copy (make backup): asked too.
    files[0].File.reset();
    ASSERT_TRUE(WritePyWave(dir.file("a.wav"), 8000, 2, 1, {1, 2, 3}));
    files[2].File.reset(new TWaveFile(dir.file("a.wav"), TWaveFile::kStreamed, true, dir.path()));
    ASSERT_FALSE(files[2].File->IsError());
    EXPECT_EQ(CountUnsavedWaveFiles(files, 8), 0);
    EXPECT_TRUE(files[2].File->SetSample(9, 0, 0));
    EXPECT_EQ(CountUnsavedWaveFiles(files, 8), 1);
    {
        ScriptedUser user;
        user.ExpectBox(IDNO, "The file has not been saved.");
        EXPECT_FALSE(CloseFileGroup(info, files, 8));
    }
    // Edits of a streamed file without backup are in the file already: no question.
    files[2].File.reset();
    files[2].File.reset(new TWaveFile(dir.file("a.wav"), TWaveFile::kStreamed, false, dir.path()));
    EXPECT_TRUE(files[2].File->SetSample(9, 0, 0));
    files[7].File.reset(new TWaveFile(dir.file("a.wav"), TWaveFile::kStreamed, false, dir.path()));
    EXPECT_EQ(CountUnsavedWaveFiles(files, 8), 0);
    {
        ScriptedUser user;
        EXPECT_TRUE(CloseFileGroup(info, files, 8));
    }
    for (const auto& f : files) {
        EXPECT_EQ(f.File, nullptr);
        EXPECT_STREQ(f.FilePath, "");
    }
    EXPECT_STREQ(info.TestName, "");
    EXPECT_TRUE(info.IsUntitled());
}

} // namespace

// An untitled wave whose group name cannot be taken (a folder stands there): the save fails, and
// the wave stays untitled, its channel names no path and the group names no file for it.
TEST_F(FileGroup, AFailedFirstSaveLeavesTheWaveUntitledAndUnnamed)
{
    std::filesystem::create_directory(dir.file("g_Crown.wav"));
    files[0].File.reset(NewWave(2, 3));
    ScriptedUser user;
    user.ExpectBox(IDOK, "Failure saving wave file " + dir.file("g_Crown.wav"));
    EXPECT_FALSE(SaveFileGroup(dir.file("g.qrx"), info, files));
    EXPECT_TRUE(files[0].File->IsUntitled());
    EXPECT_EQ(files[0].File->GetFileName(), "");
    EXPECT_STREQ(files[0].FilePath, "");
    EXPECT_EQ(ReadFileGroupEntry(dir.file("g.qrx"), 0), "");
    // No file is the group's: the title must not show it, and no group file naming nothing stays.
    EXPECT_TRUE(info.IsUntitled());
    EXPECT_FALSE(FileExists(dir.file("g.qrx")));
}

// Untitled takes named after a group whose wave files exist: Yes to the question that names
// those files replaces them with the takes (No is tried through the real dialog).
TEST_F(FileGroup, YesToTheQuestionReplacesTheExistingWaveFiles)
{
    ASSERT_TRUE(WritePyWave(dir.file("Test1_Crown.wav"), 8000, 2, 1, {1, 2, 3}));
    ASSERT_TRUE(WritePyWave(dir.file("Test1_Heart.wav"), 8000, 2, 1, {4, 5, 6}));
    for (int c : {0, 1, 3})
        files[c].File.reset(NewWave(4, 100 + c));
    ScriptedUser user;
    user.ExpectBox(IDYES, " in " + dir.path() + " with untitled takes:\rTest1_Crown.wav\rTest1_Heart.wav"
                          "\r\rDo you want to replace them?");
    EXPECT_TRUE(SaveFileGroup(dir.file("Test1.qrx"), info, files));
    EXPECT_EQ(ReadPyWave(dir.file("Test1_Crown.wav")).samples, V(4, 100));
    EXPECT_EQ(ReadPyWave(dir.file("Test1_Brow.wav")).samples, V(4, 101));
    EXPECT_EQ(ReadPyWave(dir.file("Test1_Heart.wav")).samples, V(4, 103));
}
