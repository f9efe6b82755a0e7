// Runs openbox in short slices, stopped most of the time, as a window manager starved of the
// processor on a loaded machine: it reparents, frames and places a window in separate steps,
// and carries out the program's requests long after they were made.
#pragma once

#include <atomic>
#include <chrono>
#include <csignal>
#include <sys/types.h>
#include <thread>

class StarvedWindowManager {
public:
    StarvedWindowManager(pid_t wm, int runMicros, int stopMicros)
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
    ~StarvedWindowManager()
    {
        stop_ = true;
        thread_.join();
    }
    StarvedWindowManager(const StarvedWindowManager&) = delete;
    StarvedWindowManager& operator=(const StarvedWindowManager&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
