// A real X display for a test process of its own: Xvfb on a display it picks itself, with
// openbox managing it, so windows are framed, placed and focused as on a desktop.
#pragma once

#include "support/NeedsTool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <utility>

class RealDisplay {
public:
    RealDisplay() = default;
    RealDisplay(const RealDisplay&) = delete;
    RealDisplay& operator=(const RealDisplay&) = delete;
    ~RealDisplay() { Stop(); }

    static bool ToolsInstalled();
    // Qt picks its platform once per process: once it is up, another display cannot be used.
    static bool ToolkitUp();

    // Starts Xvfb with a `screen` such as "1280x800x24", points DISPLAY and Qt's platform (and
    // QT_SCALE_FACTOR, when `scale` is not empty) at it and waits until openbox manages it.
    // Returns what went wrong, or an empty string.
    std::string Start(const std::string& screen, const std::string& scale = "");
    // Ends openbox, then Xvfb; nothing when they are not running.
    void Stop();
    // openbox's process, for tests that stop it to make it late.
    pid_t OpenboxPid() const { return wm_; }

private:
    pid_t xvfb_ = -1, wm_ = -1;
};

// Runs openbox in short slices, stopped most of the time, as a window manager starved of the
// processor on a loaded machine: it reparents, frames and places a window in separate steps,
// and carries out the program's requests long after they were made.
class StarvedWindowManager {
public:
    StarvedWindowManager(pid_t wm, int runMicros, int stopMicros);
    ~StarvedWindowManager();
    StarvedWindowManager(const StarvedWindowManager&) = delete;
    StarvedWindowManager& operator=(const StarvedWindowManager&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// For a fixture's SetUp: skips the test without Xvfb and openbox (fails it under CI=true) or
// when the toolkit is already up, and fails it when the display does not come up.
#define DURNEX_START_REAL_DISPLAY(display, screen, scale)                                          \
    do {                                                                                           \
        if (!RealDisplay::ToolsInstalled())                                                        \
            DURNEX_SKIP_WITHOUT("Xvfb and openbox are needed");                                    \
        if (RealDisplay::ToolkitUp())                                                              \
            GTEST_SKIP() << "the toolkit is already up on another platform";                      \
        const std::string durnexDisplayFault = (display).Start(screen, scale);                     \
        ASSERT_TRUE(durnexDisplayFault.empty()) << durnexDisplayFault;                             \
    } while (0)

// A fixture on a real display of its own, up before the fixture and down after it.
template <class Fixture> class OnRealDisplay : public Fixture {
protected:
    explicit OnRealDisplay(std::string screen = "1280x800x24", std::string scale = "")
        : screen_(std::move(screen)), scale_(std::move(scale))
    {
    }
    void SetUp() override
    {
        DURNEX_START_REAL_DISPLAY(display_, screen_, scale_);
        fixtureUp_ = true;
        Fixture::SetUp();
    }
    void TearDown() override
    {
        if (fixtureUp_)
            Fixture::TearDown();
        display_.Stop();
    }
    RealDisplay display_;

private:
    std::string screen_, scale_;
    bool fixtureUp_ = false;
};

// Pumps messages until `done` holds or `ms` have passed; whether it holds. The window manager
// answers in its own time, so tests wait for what they check, with a generous bound.
bool PumpUntil(const std::function<bool()>& done, int ms);
