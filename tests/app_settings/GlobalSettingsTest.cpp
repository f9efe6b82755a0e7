#include "app/settings/GlobalSettings.h"

#include "platform/core/Profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class Profiles : public ::testing::Test {
protected:
    fs::path dir;
    fs::path profile;
    std::string data;
    void SetUp() override
    {
        char tmpl[] = "/tmp/durnex-prof-XXXXXX";
        dir = mkdtemp(tmpl);
        profile = dir / "Durnex.ini";
        data = (dir / "data").string() + "/";
    }
    void TearDown() override { fs::remove_all(dir); }
    void Put(const fs::path& p, const std::string& text)
    {
        std::ofstream out(p, std::ios::binary);
        out << text;
    }
    std::string Text(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};

} // namespace

TEST_F(Profiles, MissingProfileGivesEveryDefault)
{
    PathSettings paths, working;
    FileIOSettings io;
    io.WaveFileMode = 0;
    io.MakeBackup = 0;
    ReadGlobalSettings(profile.c_str(), data, false, paths, working, io);
    EXPECT_EQ(std::string(paths.Wav), data + "wave");
    EXPECT_EQ(std::string(paths.thd), data + "Thd");
    EXPECT_TRUE(SameRecordBytes(paths, working));
    FileIOSettings defaults;
    EXPECT_TRUE(SameRecordBytes(io, defaults));
    EXPECT_EQ(ReadInstallProfile((dir / "DurnexInstall.ini").c_str()), 0);
    Put(dir / "DurnexInstall.ini", "[install]\r\nwindowsinstall=1\r\n");
    EXPECT_EQ(ReadInstallProfile((dir / "DurnexInstall.ini").c_str()), 1);
}

TEST_F(Profiles, ReadsFoldersAndClampsFileOptions)
{
    Put(profile, "[Paths]\r\nWav=C:\\Durnex\\wave\r\ncal=/srv/cal\r\n"
                 "[FileIO]\r\nWaveFileMode=0\r\nMaxDiskRecordingSizeBytes=500\r\nMakeBackup=7\r\n"
                 "RealTimeWaveBufferLengthSecs=-10\r\nMaxRamRecordingTimeSecs=abc\r\n");
    PathSettings paths, working;
    FileIOSettings io;
    ReadGlobalSettings(profile.c_str(), data, false, paths, working, io);
    EXPECT_STREQ(paths.Wav, "C:\\Durnex\\wave");
    EXPECT_STREQ(paths.cal, "/srv/cal");
    EXPECT_EQ(std::string(paths.Tmp), data + "temp");
    EXPECT_STREQ(working.cal, "/srv/cal");
    EXPECT_EQ(io.WaveFileMode, 0u);
    EXPECT_EQ(io.MaxDiskRecordingSizeBytes, 1000000u);
    EXPECT_EQ(io.MakeBackup, 1);
    EXPECT_EQ(io.RealTimeWaveBufferLengthSecs, 3600u); // a negative length keeps the default
    EXPECT_EQ(io.MaxRamRecordingTimeSecs, 4u);         // no digits read as 0, below the least

    Put(profile, "[FileIO]\r\nMaxDiskRecordingSizeBytes=3000000000\r\n");
    ReadGlobalSettings(profile.c_str(), data, false, paths, working, io);
    EXPECT_EQ(io.MaxDiskRecordingSizeBytes, 2000000000u);
}

TEST_F(Profiles, DocumentsInstallWithDefaultIgnoresEditedPaths)
{
    Put(profile, "[Install]\r\nDefault=1\r\n[Paths]\r\nWav=/elsewhere\r\n");
    PathSettings paths, working;
    FileIOSettings io;
    ReadGlobalSettings(profile.c_str(), data, true, paths, working, io);
    EXPECT_EQ(std::string(paths.Wav), data + "wave");
    EXPECT_EQ(std::string(working.Wav), data + "wave");
    // Without the documents installation the edited folder counts.
    ReadGlobalSettings(profile.c_str(), data, false, paths, working, io);
    EXPECT_STREQ(paths.Wav, "/elsewhere");
}

TEST_F(Profiles, WriteKeepsOtherKeysAndReadsBack)
{
    Put(profile, "[Install]\r\nDefault=0\r\n[FileIO]\r\nHideLogo=TRUE\r\nWaveFileMode=0\r\n");
    PathSettings paths, working;
    FileIOSettings io;
    paths.SetDefaults(data);
    io.MaxDiskRecordingSizeBytes = 5000000;
    io.AutoReopenOnLaunch = 0;
    ASSERT_TRUE(WriteGlobalSettings(profile.c_str(), paths, io));
    EXPECT_EQ(Text(profile), "[Install]\r\nDefault=0\r\n[FileIO]\r\nHideLogo=TRUE\r\nWaveFileMode=1\r\n"
                             "MaxRamRecordingTimeSecs=3600\r\nMakeBackup=1\r\nIncludeCalibrationData=1\r\n"
                             "RealTimeWaveBufferEnableFlag=1\r\nRealTimeWaveBufferLengthSecs=3600\r\n"
                             "MaxDiskRecordingSizeBytes=5000000\r\nAutoReopenOnLaunch=0\r\n"
                             "[Paths]\r\nWav=" + data + "wave\r\nTmp=" + data + "temp\r\ncfg=" + data +
                                 "config\r\ncal=" + data + "cal\r\nmic=" + data + "miccomp\r\novl=" + data +
                                 "overlay\r\ntxt=" + data + "log\r\nrvb=" + data + "reverb\r\nthd=" + data +
                                 "Thd\r\nfilter=" + data + "filter\r\n");
    FileIOSettings back;
    PathSettings readPaths;
    ReadGlobalSettings(profile.c_str(), "/other/", false, readPaths, working, back);
    EXPECT_TRUE(SameRecordBytes(back, io));
    EXPECT_TRUE(SameRecordBytes(readPaths, paths));
    EXPECT_FALSE(WriteGlobalSettings((dir / "no" / "p.ini").c_str(), paths, io));
}
