// Core services without a window: the run-time's 15-bit rand, the clocks, the folders,
// worker threads.
#include "platform/core/Rand.h"
#include "platform/core/SysTime.h"
#include "platform/core/SystemFolders.h"
#include "platform/core/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>
#include <unistd.h>

TEST(CrtRand, MatchesTheMicrosoftRunTimeSequence)
{
    // The first values the Microsoft C run-time gives after srand(1) (its default seed).
    CrtSrand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int e : expected)
        EXPECT_EQ(CrtRand(), e);
    // And the generator's definition from any seed, over a long run, stays in 0..32767.
    CrtSrand(0xDEADBEEF);
    std::uint32_t s = 0xDEADBEEF;
    int lo = RAND15_MAX, hi = 0;
    for (int i = 0; i < 100000; ++i) {
        s = s * 214013u + 2531011u;
        const int v = CrtRand();
        ASSERT_EQ(v, int((s >> 16) & 0x7FFF));
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, RAND15_MAX);
}

TEST(CrtRand, EachThreadHasItsOwnSequence)
{
    CrtSrand(1);
    std::atomic<int> other{-1};
    std::thread([&] { other = CrtRand(); }).join(); // a new thread starts from seed 1
    EXPECT_EQ(other.load(), 41);
    EXPECT_EQ(CrtRand(), 41);
}

TEST(SysTime, MonotonicMillisecondsAndLocalTime)
{
    const DWORD t0 = timeGetTime();
    Sleep(30);
    const DWORD t1 = timeGetTime();
    EXPECT_GE(t1 - t0, 25u); // unsigned difference, as callers compute it across a wrap
    EXPECT_LT(t1 - t0, 5000u);

    SYSTEMTIME st;
    GetLocalTime(&st);
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    EXPECT_EQ(st.wYear, tm.tm_year + 1900);
    EXPECT_EQ(st.wMonth, tm.tm_mon + 1);
    EXPECT_EQ(st.wDayOfWeek, tm.tm_wday);
    EXPECT_LT(st.wMilliseconds, 1000);
}

TEST(SystemFolders, ModuleDocumentsAndCommonDataTheXdgWay)
{
    const std::string module = GetModuleFileNameString();
    ASSERT_FALSE(module.empty());
    EXPECT_TRUE(std::filesystem::exists(module));
    char buf[8];
    EXPECT_EQ(GetModuleFileNameA(nullptr, buf, sizeof buf), 7u); // cut to the buffer
    EXPECT_EQ(std::string(buf), module.substr(0, 7));

    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* oldDocs = std::getenv("XDG_DOCUMENTS_DIR");
    const std::string saved = oldDocs ? oldDocs : "";
    setenv("XDG_DOCUMENTS_DIR", "/srv/docs/", 1);
    char path[MAX_PATH];
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, path), 0);
    EXPECT_STREQ(path, "/srv/docs");
    if (oldDocs)
        setenv("XDG_DOCUMENTS_DIR", saved.c_str(), 1);
    else
        unsetenv("XDG_DOCUMENTS_DIR");

    const char* oldData = std::getenv("XDG_DATA_DIRS");
    const std::string savedData = oldData ? oldData : "";
    setenv("XDG_DATA_DIRS", "/opt/share:/usr/share", 1);
    EXPECT_EQ(GetCommonAppDataFolder(), "/opt/share");
    unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(GetCommonAppDataFolder(), "/usr/local/share");
    if (oldData)
        setenv("XDG_DATA_DIRS", savedData.c_str(), 1);
    EXPECT_NE(SHGetFolderPathA(nullptr, 0x7F, nullptr, 0, path), 0) << "unknown folders fail";
}

TEST(Threads, AutoDeletingThreadRunsAndJoinableThreadReportsItsExitCode)
{
    static std::atomic<int> ran{0};
    ran = 0;
    CWinThread* fire = AfxBeginThread([](LPVOID) -> UINT { ++ran; return 0; }, nullptr);
    ASSERT_NE(fire, nullptr);
    for (int i = 0; i < 500 && ran.load() == 0; ++i)
        Sleep(2);
    EXPECT_EQ(ran.load(), 1);

    int value = 20;
    CWinThread* t = AfxBeginThread([](LPVOID p) -> UINT { return UINT(*static_cast<int*>(p) + 1); }, &value,
                                   THREAD_PRIORITY_TIME_CRITICAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(t, nullptr);
    t->m_bAutoDelete = FALSE;
    EXPECT_EQ(t->GetExitCode(), STILL_ACTIVE);
    t->ResumeThread();
    EXPECT_TRUE(t->Join());
    EXPECT_EQ(t->GetExitCode(), 21u);
    delete t;
    EXPECT_EQ(AfxBeginThread(nullptr, nullptr), nullptr);
}

TEST(SystemFolders, WinExecOfWindowsViewersOpensThePathAndRefusesOtherPrograms)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("durnex-winexec-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path log = dir / "args.txt";
    {
        std::ofstream script(dir / "xdg-open");
        script << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << log.string() << "'\n";
    }
    fs::permissions(dir / "xdg-open", fs::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);
    EXPECT_GT(WinExec("notepad.exe /data/Durnex/readme.txt", 1), 31u);
    EXPECT_GT(WinExec("\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" https://example.org", 1), 31u);
    EXPECT_GT(WinExec("Notepad.exe /tmp/a b.flt", 1), 31u) << "the rest of the line is one path";
    EXPECT_EQ(WinExec("rm -rf /tmp/nothing", 1), 2u);
    EXPECT_EQ(WinExec("notepad.exe", 1), 2u);
    setenv("PATH", oldPath.c_str(), 1);
    std::vector<std::string> lines;
    for (int i = 0; i < 300 && lines.size() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        lines.clear();
        std::ifstream in(log);
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"/data/Durnex/readme.txt", "/tmp/a b.flt", "https://example.org"}));
    fs::remove_all(dir);
}
