// Settings files that are not what they should be: things in their place that cannot be read,
// write-protected and unreadable files, folders that take no new file, file-size limits and
// damaged contents. The readers must neither abort nor block, and no writer may lose a file.
#include "app/settings/ConfigurationFile.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Profile.h"

#include "support/ScratchFileTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class HostileSettingsFile : public ScratchFileTest {
protected:
    HostileSettingsFile() : ScratchFileTest("Durnex.cfg") {}
    static std::unique_ptr<FrameSettings> Fresh() { return std::make_unique<FrameSettings>(); }

    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        return names;
    }
};

// Runs fn in a child process; its exit code, or -signal when a signal ended it.
int InChild(const std::function<int()>& fn)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(fn());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

} // namespace

// A folder, a FIFO, a link to a device that never ends and a file whose read fails with an
// I/O error (/proc/self/mem at offset 0) in a settings file's place: every reader gives its
// defaults at once, and no writer replaces or writes into what is there.
TEST_F(HostileSettingsFile, ThingsThatAreNoFileAreNeitherReadNorReplaced)
{
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        fs::file_type type;
    };
    const std::vector<Case> cases = {
        {"folder", [](const fs::path& p) { fs::create_directory(p); }, fs::file_type::directory},
        {"fifo", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, fs::file_type::fifo},
        {"zero", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }, fs::file_type::symlink},
        {"eio", [](const fs::path& p) { fs::create_symlink("/proc/self/mem", p); }, fs::file_type::symlink},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path p = dir / c.name;
        c.make(p);
        std::string content;
        EXPECT_EQ(ReadSmallFile(p.string(), kMaxSettingsFileBytes, content), FileReadResult::Unreadable);
        EXPECT_FALSE(GetLastFileError().empty());

        char value[16];
        GetPrivateProfileStringA("Install", "WindowsInstall", "0", value, sizeof value, p.c_str());
        EXPECT_STREQ(value, "0");
        EXPECT_FALSE(WritePrivateProfileStringA("Install", "WindowsInstall", "1", p.c_str()));

        auto s = Fresh();
        s->OpMode = 2;
        ConfigurationCheck check;
        EXPECT_FALSE(ReadConfigurationFile(*s, p.c_str(), &check));
        EXPECT_EQ(check.result, FileReadResult::Unreadable);
        EXPECT_EQ(s->OpMode, 2);
        EXPECT_FALSE(WriteConfigurationFile(*s, p.c_str()));
        EXPECT_EQ(fs::symlink_status(p).type(), c.type);
    }
    EXPECT_EQ(Entries().size(), cases.size()) << "no temporary file is left";
}

// A write-protected configuration or profile is the user's decision: it is not replaced. A
// folder where no new file can be made (here /proc/self, whose files can be written in place,
// as a full or read-only folder's can) gets no in-place write either.
TEST_F(HostileSettingsFile, NothingIsReplacedWhenItMustNotBeOrCannotBeSafely)
{
    auto s = Fresh();
    ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
    const std::string before = Text();
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    s->OpMode = 2;
    EXPECT_TRUE(IsWriteProtectedFile(file.string()));
    EXPECT_FALSE(WriteConfigurationFile(*s, file.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("Mode", "OpMode", "2", file.c_str()));
    EXPECT_EQ(Text(), before);
    EXPECT_EQ(Entries().size(), 1u);

    const std::string comm = "/proc/self/comm";
    std::string name;
    ASSERT_EQ(ReadSmallFile(comm, 64, name), FileReadResult::Ok);
    EXPECT_FALSE(WriteConfigurationFile(*s, comm.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("Mode", "OpMode", "2", comm.c_str()));
    std::string after;
    ASSERT_EQ(ReadSmallFile(comm, 64, after), FileReadResult::Ok);
    EXPECT_EQ(after, name);
    EXPECT_NE(GetLastFileError().find("no new file can be made"), std::string::npos) << GetLastFileError();
}

// A configuration its user cannot read (mode 000) is reported unreadable and never replaced by
// defaults. Permissions do not bind the superuser, so the reading runs as nobody.
TEST_F(HostileSettingsFile, AnUnreadableConfigurationIsReportedAndKept)
{
    auto s = Fresh();
    s->OpMode = 1;
    ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
    const std::string before = Text();
    fs::permissions(dir, fs::perms::all);
    fs::permissions(file, fs::perms::owner_write);
    const int code = InChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 10;
        auto fresh = Fresh();
        ConfigurationCheck check;
        if (ReadConfigurationFile(*fresh, file.c_str(), &check) || check.result != FileReadResult::Unreadable)
            return 11;
        return WriteConfigurationFile(*fresh, file.c_str()) ? 12 : 0;
    });
    EXPECT_EQ(code, 0);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Text(), before);
    EXPECT_EQ(Entries().size(), 1u);
}

// A file-size limit (ulimit -f) makes the process's saves fail, with the old file kept whole
// and no temporary file left; it does not end the process.
TEST_F(HostileSettingsFile, AFileSizeLimitFailsTheSaveAndEndsNothing)
{
    auto s = Fresh();
    ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
    const std::string before = Text();
    const int code = InChild([&] {
        KeepProcessAliveAtFileSizeLimit();
        rlimit low{};
        ::getrlimit(RLIMIT_FSIZE, &low);
        low.rlim_cur = 4096;
        if (::setrlimit(RLIMIT_FSIZE, &low) != 0)
            return 10;
        auto changed = Fresh();
        changed->OpMode = 2;
        if (WriteConfigurationFile(*changed, file.c_str()))
            return 11;
        return GetLastFileError().find("large") != std::string::npos ? 0 : 12;
    });
    EXPECT_EQ(code, 0) << "a negative code is the signal that ended the process";
    EXPECT_EQ(Text(), before);
    EXPECT_EQ(Entries().size(), 1u) << "no new*.tmp is left";
}

// What the reader cannot use marks the file damaged, so its owner can keep a copy before it
// is replaced; files the system writes, or a user edits by its rules, are not.
TEST_F(HostileSettingsFile, DamagedContentIsToldFromEditedContent)
{
    auto s = Fresh();
    ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
    const std::string good = Text();
    auto check = [&](const std::string& text) {
        Put(text);
        auto r = Fresh();
        ConfigurationCheck c;
        EXPECT_TRUE(ReadConfigurationFile(*r, file.c_str(), &c));
        EXPECT_EQ(c.result, FileReadResult::Ok);
        return c.damaged;
    };
    EXPECT_FALSE(check(good));
    EXPECT_FALSE(check("[settings_0]\nfftsize=2048\n\n[Mode]\r\nOpMode=1"));
    EXPECT_FALSE(check(""));
    EXPECT_TRUE(check(good.substr(0, good.size() / 2) + std::string("\0\x13\x88garbage\xff", 11) + "\r\n"));
    EXPECT_TRUE(check("[Mode]\r\nOpMode=1\r\nthis line is no setting\r\n"));
    EXPECT_TRUE(check("[Install]\r\nWindowsInstall=1\r\n")) << "another kind of file";
    EXPECT_TRUE(check("[Mode]\r\nOpMode=1\r\n" + std::string(13000, '\n') + "[Main]\r\nMasterDisplayGain=3\r\n"));
}
