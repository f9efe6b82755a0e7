// The frame's constructor: names, data folder and its first-use copy, defaults, and what the
// constructor settles whatever the start-up configuration says. No window is created.
#include "FrameFixture.h"

#include "app/settings/ConfigurationFile.h"
#include "platform/core/FileSystem.h"

#include <csignal>
#include <cstdlib>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace frametest;

namespace {

// Sets an environment variable for the life of the object.
class EnvVar {
public:
    EnvVar(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvVar()
    {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

using MainFrameStartupTest = FrameFixture;

TEST_F(MainFrameStartupTest, ProgramFolderWithATrailingBinGivesTheDataFolderAndItsFiles)
{
    CMainFrame f;
    EXPECT_EQ(f.ProgramBaseName, "Durnex");
    EXPECT_FALSE(f.WindowsInstall);
    EXPECT_EQ(f.InstallProfilePath, Data("bin/DurnexInstall.ini"));
    EXPECT_EQ(f.DataFolder, Data());
    EXPECT_EQ(f.ProfilePath, Data("Durnex.ini"));
    EXPECT_EQ(f.StartupConfigPath, Data("Durnex.cfg"));
    EXPECT_STREQ(f.Settings.Paths.Wav, Data("wave").c_str());
    EXPECT_STREQ(f.Settings.Paths.filter, Data("filter").c_str());
    EXPECT_STREQ(f.Settings.WorkingPaths.cfg, Data("config").c_str());
}

TEST_F(MainFrameStartupTest, AFolderWithoutATrailingBinIsKeptWithItsCase)
{
    // "Cabinet" holds "bin" but is not the installation's bin folder; case is never changed.
    CMainFrame::SetModulePath(Data("Cabinet/Tools/Lab"));
    CMainFrame f;
    EXPECT_EQ(f.DataFolder, Data("Cabinet/Tools/"));
    EXPECT_EQ(f.ProgramBaseName, "Lab");
    EXPECT_EQ(f.ProfilePath, Data("Cabinet/Tools/Lab.ini"));
    EXPECT_EQ(f.StartupConfigPath, Data("Cabinet/Tools/Lab.cfg"));
    EXPECT_EQ(f.InstallProfilePath, Data("Cabinet/Tools/LabInstall.ini"));
}

TEST_F(MainFrameStartupTest, ADocumentsInstallationCopiesTheCommonDataFolderOnFirstUseOnly)
{
    EnvVar home("HOME", Data("home"));
    EnvVar config("XDG_CONFIG_HOME", Data("home/.config"));
    EnvVar docs("XDG_DOCUMENTS_DIR", Data("home/Docs"));
    EnvVar share("XDG_DATA_DIRS", Data("share") + ":/usr/share");
    WriteText(root / "bin" / "DurnexInstall.ini", "[Install]\r\nWindowsInstall=1\r\n");
    WriteText(root / "share" / "Durnex" / "config" / "Shop.cfg", "[Settings_0]\r\n");
    WriteText(root / "share" / "Durnex" / "wave" / "Tone.wav", "RIFF");

    std::string dataFolder;
    {
        CMainFrame f;
        EXPECT_TRUE(f.WindowsInstall);
        dataFolder = f.DataFolder;
        EXPECT_EQ(dataFolder, Data("home/Docs/Durnex/"));
        EXPECT_EQ(f.ProfilePath, dataFolder + "Durnex.ini");
        EXPECT_STREQ(f.Settings.Paths.cfg, (dataFolder + "config").c_str());
    }
    EXPECT_TRUE(std::filesystem::exists(dataFolder + "config/Shop.cfg"));
    EXPECT_TRUE(std::filesystem::exists(dataFolder + "wave/Tone.wav"));

    // An existing data folder is left alone.
    WriteText(root / "share" / "Durnex" / "config" / "Later.cfg", "");
    { CMainFrame f; }
    EXPECT_FALSE(std::filesystem::exists(dataFolder + "config/Later.cfg"));
}

TEST_F(MainFrameStartupTest, AMissingInstallProfileOrCommonFolderStillStarts)
{
    EnvVar share("XDG_DATA_DIRS", Data("nowhere"));
    EnvVar docs("XDG_DOCUMENTS_DIR", Data("home/Docs"));
    WriteText(root / "bin" / "DurnexInstall.ini", "[Install]\r\nWindowsInstall=1\r\n");
    CMainFrame f;
    EXPECT_EQ(f.DataFolder, Data("home/Docs/Durnex/"));
    // Nothing to copy, but the standard folders are made as an installation leaves them, and
    // the first start has the default channels in use with their fixed names.
    for (const char* sub : {"wave", "temp", "config", "cal"})
        EXPECT_TRUE(std::filesystem::is_directory(Data("home/Docs/Durnex/") + sub)) << sub;
    for (int ch = 0; ch < 8; ++ch)
        EXPECT_EQ(f.Settings.Device.Channels[ch].bIsEnabled, ch <= 4 ? 1 : 0) << ch;
    EXPECT_STREQ(f.Settings.Calibration[6].ChannelName, "Base");
}

#ifdef DURNEX_PROGRAM_DIR
// The program as built, started by hand: the build leaves an install profile beside it, so its
// data goes to the Documents folder as an installed program's does, never into the build tree.
TEST_F(MainFrameStartupTest, TheBuiltProgramStartedByHandKeepsItsDataInTheDocumentsFolder)
{
    EnvVar docs("XDG_DOCUMENTS_DIR", Data("home/Docs"));
    EnvVar share("XDG_DATA_DIRS", Data("nowhere"));
    CMainFrame::SetModulePath(std::string(DURNEX_PROGRAM_DIR) + "/Durnex");
    CMainFrame f;
    EXPECT_TRUE(f.WindowsInstall);
    EXPECT_EQ(f.DataFolder, Data("home/Docs/Durnex/"));
    EXPECT_EQ(f.ProfilePath, Data("home/Docs/Durnex/Durnex.ini"));
    EXPECT_STREQ(f.Settings.Paths.Wav, Data("home/Docs/Durnex/wave").c_str());
}
#endif

TEST_F(MainFrameStartupTest, RightAfterConstructionNothingIsBuiltOrOpen)
{
    FrameSettings stored;
    stored.Placements[WindowPlacementIndex(2, 1, false)].IsOpen = 1;
    stored.OpMode = 1;
    ASSERT_TRUE(WriteConfigurationFile(stored, Data("Durnex.cfg").c_str()));
    CMainFrame f;
    EXPECT_EQ(f.Settings.OpMode, 1);
    EXPECT_TRUE(f.IsWindowMarkedOpen(2, 1, false));
    for (int ch = 0; ch < CMainFrame::kChannels; ++ch) {
        EXPECT_EQ(f.SampleBuffer[ch], nullptr);
        EXPECT_EQ(f.Spectral[ch], nullptr);
        EXPECT_EQ(f.Smoothing[ch], nullptr);
        for (int kind = 1; kind <= 5; ++kind)
            EXPECT_EQ(f.GetPlot(kind, ch, false), nullptr);
        EXPECT_EQ(f.Settings.Files[ch].File, nullptr);
        EXPECT_EQ(f.Settings.Files[ch].FilePath[0], '\0');
    }
    for (int c = 0; c < CMainFrame::kComposites; ++c)
        for (int e = 0; e < 4; ++e)
            EXPECT_EQ(f.CompositeSpectral[c][e], nullptr);
    for (int kind = 6; kind <= 19; ++kind)
        EXPECT_EQ(f.GetUtilityWindow(kind), nullptr);
    EXPECT_EQ(f.Settings.Device.SamplingRate, 4000u);
    EXPECT_EQ(f.Settings.Device.BitsPerSample, 24u);
    EXPECT_NE(f.InputDevice, nullptr);
    EXPECT_NE(f.OutputDevice, nullptr);
}

TEST_F(MainFrameStartupTest, TheDestructorWritesWhatTheNextConstructorReads)
{
    {
        CMainFrame f;
        f.Settings.Scaling[2].FreqScaleType = 2;
        f.Settings.FileIO.MaxRamRecordingTimeSecs = 120;
        std::snprintf(f.Settings.Paths.ovl, sizeof f.Settings.Paths.ovl, "%s", Data("overlay").c_str());
    }
    CMainFrame g;
    EXPECT_EQ(g.Settings.Scaling[2].FreqScaleType, 2);
    EXPECT_EQ(g.Settings.FileIO.MaxRamRecordingTimeSecs, 120u);
}

// A settings file that is there but cannot be read (a folder, a FIFO, a file whose read fails
// with an I/O error) gives a message and the defaults, never an abort or a wait, and is left
// as it is at exit instead of being replaced by those defaults.
TEST_F(MainFrameStartupTest, UnreadableSettingsFilesAreReportedAndLeftAlone)
{
    namespace fs = std::filesystem;
    struct Case {
        const char* file;
        std::function<void(const fs::path&)> make;
        fs::file_type type;
    };
    const std::vector<Case> cases = {
        {"bin/DurnexInstall.ini", [](const fs::path& p) { fs::create_directory(p); }, fs::file_type::directory},
        {"Durnex.ini", [](const fs::path& p) { ::mkfifo(p.c_str(), 0644); }, fs::file_type::fifo},
        {"Durnex.cfg", [](const fs::path& p) { fs::create_symlink("/proc/self/mem", p); }, fs::file_type::symlink},
        {"Durnex.cfg", [](const fs::path& p) { fs::create_directory(p); }, fs::file_type::directory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path p = root / c.file;
        c.make(p);
        user.ExpectBox(IDOK, "cannot be read");
        {
            CMainFrame f;
            EXPECT_EQ(f.Settings.OpMode, 0);
            EXPECT_STREQ(f.Settings.Calibration[2].ChannelName, "Throat");
            f.Settings.OpMode = 2;
        }
        EXPECT_EQ(fs::symlink_status(p).type(), c.type);
        EXPECT_TRUE(user.Unexpected().empty());
        // The next case starts from nothing again.
        for (const char* name : {c.file, "Durnex.ini", "Durnex.cfg"})
            fs::remove_all(root / name);
    }
}

// A damaged start-up configuration is reported; its readable settings are used, and the file
// as it was is kept beside the one written at exit.
TEST_F(MainFrameStartupTest, ADamagedStartupConfigurationIsKeptAsACopy)
{
    {
        CMainFrame f;
        f.Settings.OpMode = 2;
    }
    const std::string damaged = ReadFile(Data("Durnex.cfg")) + std::string("\x01\x02\0binary tail\xfe\r\n", 17);
    WriteText(root / "Durnex.cfg", damaged);
    user.ExpectBox(IDOK, Data("Durnex.cfg.damaged"));
    {
        CMainFrame f;
        EXPECT_EQ(f.Settings.OpMode, 2);
    }
    EXPECT_EQ(ReadFile(Data("Durnex.cfg.damaged")), damaged);
    auto s = std::make_unique<FrameSettings>();
    ConfigurationCheck check;
    ASSERT_TRUE(ReadConfigurationFile(*s, Data("Durnex.cfg").c_str(), &check));
    EXPECT_FALSE(check.damaged);
    EXPECT_EQ(s->OpMode, 2);
}

// A start-up configuration from a newer version, with a weighting this one does not know, is
// reported with the setting named; the setting takes its default and the file as it was stays
// in a copy, since the one written at exit holds the default.
TEST_F(MainFrameStartupTest, UnknownChoicesInTheStartupConfigurationAreNamedAndKept)
{
    {
        CMainFrame f;
        f.Settings.Scaling[2].StandardWeighting = 1;
    }
    std::string text = ReadFile(Data("Durnex.cfg"));
    const std::size_t at = text.find("StandardWeighting=1", text.find("[Scaling_2]"));
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 19, "StandardWeighting=5");
    WriteText(root / "Durnex.cfg", text);
    user.ExpectBox(IDOK, "[Scaling_2] StandardWeighting=5 (now 0)");
    {
        CMainFrame f;
        EXPECT_EQ(f.Settings.Scaling[2].StandardWeighting, 0);
    }
    EXPECT_TRUE(user.Unexpected().empty());
    EXPECT_EQ(ReadFile(Data("Durnex.cfg.damaged")), text);
}

// Settings that cannot be saved at exit (here past a file-size limit) are reported, the old
// file stays whole and no temporary file is left; a write-protected file is left silently.
TEST_F(MainFrameStartupTest, SettingsThatCannotBeSavedAtExitAreReported)
{
    namespace fs = std::filesystem;
    { CMainFrame f; }
    const std::string before = ReadFile(Data("Durnex.cfg"));
    auto* f = new CMainFrame;
    f->Settings.OpMode = 2;
    user.ExpectBox(IDOK, "could not be saved in " + Data("Durnex.cfg"));
    {
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        auto previous = std::signal(SIGXFSZ, SIG_DFL);
        KeepProcessAliveAtFileSizeLimit();
        rlimit low = old;
        low.rlim_cur = 2048;
        ::setrlimit(RLIMIT_FSIZE, &low);
        delete f;
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
    }
    EXPECT_EQ(ReadFile(Data("Durnex.cfg")), before);
    for (const auto& e : fs::directory_iterator(root))
        EXPECT_EQ(e.path().filename().string().rfind("new", 0), std::string::npos) << e.path();

    fs::permissions(Data("Durnex.cfg"), fs::perms::owner_read | fs::perms::group_read);
    {
        CMainFrame g;
        g.Settings.OpMode = 1;
    }
    EXPECT_EQ(ReadFile(Data("Durnex.cfg")), before);
}

// Settings no dialog allows and the machine cannot honour: a main window of 60000 by 40000
// pixels, a block of 2^20 x 50 samples on every channel, a real-time buffer of 2^32 - 1
// seconds. The program starts with its window on the screen and the values held, names them
// in one box, and the next start, from the files it wrote, is silent.
TEST_F(MainFrameStartupTest, SettingsBeyondTheDialogsAreHeldAndNamedOnce)
{
    { CMainFrame f; }
    std::string text = ReadFile(Data("Durnex.cfg"));
    auto set = [&text](const std::string& section, const std::string& key, const std::string& value) {
        const std::size_t at = text.find("\r\n" + key + "=", text.find("[" + section + "]"));
        ASSERT_NE(at, std::string::npos) << section << " " << key;
        const std::size_t end = text.find("\r\n", at + 2);
        text.replace(at + 2, end - at - 2, key + "=" + value);
    };
    set("PlotPlacement", "MainWindow", "0, 1, {-1,-1}, {-1,-1}, {0,0,60000,40000}");
    for (int ch = 0; ch < 8; ++ch) {
        set("Settings_" + std::to_string(ch), "FFTsize", "1048576");
        set("Settings_" + std::to_string(ch), "DecimationRatio", "50");
    }
    WriteText(root / "Durnex.cfg", text);
    WriteText(root / "Durnex.ini", "[FileIO]\r\nRealTimeWaveBufferLengthSecs=4294967295\r\n");

    user.ExpectBox(IDOK, "[Settings_0] DecimationRatio=50 (now 1)");
    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(user.Texts().size(), 1u);
    const std::string box = user.Texts()[0];
    EXPECT_NE(box.find("[Settings_7] DecimationRatio=50 (now 1)"), std::string::npos) << box;
    EXPECT_NE(box.find("The profile " + Data("Durnex.ini") +
                       " holds settings this version cannot use.\r\rThese settings were replaced:\r"
                       "[FileIO] RealTimeWaveBufferLengthSecs=4294967295 (now 100000)"),
              std::string::npos)
        << box;
    for (int ch = 0; ch < 8; ++ch) {
        EXPECT_EQ(frame->Settings.Processing[ch].FFTsize, 1048576u) << ch; // a size the FFT page offers
        EXPECT_EQ(frame->Settings.Processing[ch].DecimationRatio, 1) << ch;
    }
    EXPECT_LE(frame->MaxChannelBlock(), 1048576u);
    EXPECT_EQ(frame->Settings.FileIO.RealTimeWaveBufferLengthSecs, 100000u);
    // The window lies on the screen, and its surface is no larger than the screen.
    WINDOWPLACEMENT wp{};
    ASSERT_TRUE(frame->GetWindowPlacement(&wp));
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_GE(wp.rcNormalPosition.left, 0);
    EXPECT_GE(wp.rcNormalPosition.top, 0);
    EXPECT_LE(wp.rcNormalPosition.right, width);
    EXPECT_LE(wp.rcNormalPosition.bottom, height);
    ASSERT_TRUE(Close());

    ASSERT_NE(Start(), nullptr);
    EXPECT_EQ(user.Texts().size(), 1u) << "the held values were saved: nothing to name again";
    EXPECT_EQ(frame->Settings.Processing[3].DecimationRatio, 1);
}
