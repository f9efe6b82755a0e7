// A processor made busy for live tests on the real clock: the calling thread and a spinning
// thread share one processor, and threads the caller starts meanwhile (the device's reader)
// inherit the pinning.
#pragma once

#include <atomic>
#include <pthread.h>
#include <sched.h>
#include <thread>

namespace {

// Pins the calling thread and a spinning thread to one processor; threads the caller starts
// meanwhile (the device's reader) inherit the pinning. Undone on destruction.
class BusyCore {
public:
    BusyCore()
    {
        pthread_getaffinity_np(pthread_self(), sizeof m_saved, &m_saved);
        // The processor the thread runs on now, not always the first: tests run side by side
        // (ctest -j) would otherwise all crowd onto one processor.
        int cpu = sched_getcpu();
        if (cpu < 0 || cpu >= CPU_SETSIZE || !CPU_ISSET(cpu, &m_saved)) {
            cpu = 0;
            while (cpu < CPU_SETSIZE && !CPU_ISSET(cpu, &m_saved))
                ++cpu;
        }
        CPU_ZERO(&m_one);
        CPU_SET(cpu, &m_one);
        pthread_setaffinity_np(pthread_self(), sizeof m_one, &m_one);
        m_spinner = std::thread([this] {
            pthread_setaffinity_np(pthread_self(), sizeof m_one, &m_one);
            while (!m_stop.load(std::memory_order_relaxed))
                m_spins.fetch_add(1, std::memory_order_relaxed);
        });
    }
    ~BusyCore()
    {
        m_stop = true;
        m_spinner.join();
        pthread_setaffinity_np(pthread_self(), sizeof m_saved, &m_saved);
    }
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;

private:
    cpu_set_t m_saved{};
    cpu_set_t m_one{};
    std::atomic<bool> m_stop{false};
    std::atomic<unsigned long long> m_spins{0};
    std::thread m_spinner;
};

} // namespace
