#include "support/RealDisplay.h"

#include "support/QtTestAccess.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Starts a program; `keepFd` stays open in it (for Xvfb's -displayfd).
pid_t Spawn(std::vector<std::string> args, int keepFd = -1)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (keepFd >= 0)
            ::fcntl(keepFd, F_SETFD, 0);
        ::freopen("/dev/null", "w", stderr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// The display number Xvfb writes to the pipe once it is ready; empty when it exits or hangs.
std::string ReadDisplayNumber(int fd)
{
    std::string number;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return {};
        char c = 0;
        if (::read(fd, &c, 1) != 1)
            return {};
        if (c == '\n')
            return number;
        number += c;
    }
}

} // namespace

bool RealDisplay::ToolsInstalled() { return DurnexToolInstalled("Xvfb") && DurnexToolInstalled("openbox"); }

bool RealDisplay::ToolkitUp() { return QGuiApplication::instance() != nullptr; }

std::string RealDisplay::Start(const std::string& screen, const std::string& scale)
{
    Stop();
    // Xvfb picks a free display itself and names it on the pipe.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return "no pipe for Xvfb";
    xvfb_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp"}, fds[1]);
    ::close(fds[1]);
    const std::string number = ReadDisplayNumber(fds[0]);
    ::close(fds[0]);
    if (number.empty())
        return "Xvfb did not start";
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    if (!scale.empty())
        ::setenv("QT_SCALE_FACTOR", scale.c_str(), 1);
    // openbox runs its start-up command once it manages the screen.
    static std::atomic<int> starts{0};
    const std::string ready = (std::filesystem::temp_directory_path() /
                               ("durnex-openbox-" + std::to_string(::getpid()) + "-" + std::to_string(starts++)))
                                  .string();
    std::error_code ec;
    std::filesystem::remove(ready, ec);
    wm_ = Spawn({"openbox", "--sm-disable", "--startup", "touch " + ready});
    for (int i = 0; i < 400 && !std::filesystem::exists(ready, ec); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const bool up = std::filesystem::exists(ready, ec);
    std::filesystem::remove(ready, ec);
    return up ? std::string() : "openbox did not start";
}

void RealDisplay::Stop()
{
    for (pid_t* p : {&wm_, &xvfb_})
        if (*p > 0) {
            ::kill(*p, SIGTERM);
            ::waitpid(*p, nullptr, 0);
            *p = -1;
        }
}

StarvedWindowManager::StarvedWindowManager(pid_t wm, int runMicros, int stopMicros)
{
    thread_ = std::thread([this, wm, runMicros, stopMicros] {
        while (!stop_) {
            ::kill(wm, SIGCONT);
            std::this_thread::sleep_for(std::chrono::microseconds(runMicros));
            ::kill(wm, SIGSTOP);
            std::this_thread::sleep_for(std::chrono::microseconds(stopMicros));
        }
        ::kill(wm, SIGCONT);
    });
}

StarvedWindowManager::~StarvedWindowManager()
{
    stop_ = true;
    thread_.join();
}

bool PumpUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        AfxPumpMessages(20);
    }
    return true;
}
