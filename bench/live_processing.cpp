// The cost of a live run's processing: one second of input on all eight channels at FFT 4096
// and 90 % overlap (a new block every 410 samples at 4000 Hz), each block through the frame's
// own per-channel path, then every composite type (two sums, the real and complex transfer
// functions, the transfer function with coherence, the cross spectrum). "core_fraction" is the
// share of one core that keeping up in real time takes (goal: under 0.05).
//
// BM_LiveDrawn: the same eight channels on the program's own live road (a Real Time run on the
// KDR-5200 simulator's real clock, the frame's timers driving it) with the time series and
// spectrum of every channel and a spectrogram open (offscreen). It runs DURNEX_BENCH_SECONDS
// (default 10) and reports the process's processor time per second of data ("core_fraction",
// goal: under 0.15), the steps a second and the processor time of one ("ms_per_step"), and the
// wake-ups (context switches) a second of the UI thread, the device's reader and every other
// thread, so that a thread that wakes per block without work shows. Outside sanitizer builds it
// also counts heap allocations (every malloc, calloc and realloc of the process, so Qt's and
// operator new's too) a step in steady state: "allocs_per_step_ui" on the UI thread, which draws,
// and "allocs_per_step" in all threads.
#include "BenchFrame.h"

#include "app/CMainFrame.h"
#include "platform/usb/KdrSimulator.h"
#include "res/resource.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/ui/Wnd.h"

#include <benchmark/benchmark.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define DURNEX_COUNT_ALLOCS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define DURNEX_COUNT_ALLOCS 0
#endif
#endif
#ifndef DURNEX_COUNT_ALLOCS
#define DURNEX_COUNT_ALLOCS 1
#endif

#if DURNEX_COUNT_ALLOCS
#include <atomic>
#include <cstddef>

// The process's allocation functions, replaced here to count calls: the executable's
// definitions are the ones every library binds to, and glibc's own do the work.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
}

namespace allocs {
std::atomic<long long> all{0};
thread_local __attribute__((tls_model("initial-exec"))) long long mine = 0;
inline void Count()
{
    all.fetch_add(1, std::memory_order_relaxed);
    ++mine;
}
} // namespace allocs

extern "C" void* malloc(std::size_t size)
{
    allocs::Count();
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t n, std::size_t size)
{
    allocs::Count();
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, std::size_t size)
{
    allocs::Count();
    return __libc_realloc(p, size);
}
#endif

namespace {

constexpr int kN = 4096;
constexpr double kRate = 4000.0;
constexpr double kBlocksPerSecond = kRate / (kN / 10.0);

void BM_LiveSecond(benchmark::State& state)
{
    AfxEnsureQtApplication();
    const std::filesystem::path root = std::filesystem::temp_directory_path() / "durnex-bench-live";
    std::filesystem::create_directories(root / "bin");
    setenv("HOME", root.c_str(), 1);
    CMainFrame::SetModulePath((root / "bin" / "Durnex").string());
    {
        CMainFrame frame;
        for (int ch = 0; ch < 8; ++ch) {
            frame.Settings.Device.Channels[ch].bIsEnabled = 1;
            ChannelProcessingSettings& p = frame.Settings.Processing[ch];
            p.SampleFormat.Set(4000, 1, 3);
            p.FFTsize = kN;
            p.DecimationRatio = 1;
            p.OverlapPercent = 90;
            p.SmoothingWindow = TSmoothing::kHanning;
        }
        // Six composites, one of each type, on pairs of channels.
        const WORD types[6] = {0, 1, 2, 3, 4, 5};
        for (int k = 0; k < 6; ++k) {
            CompositeChannelSettings& c = frame.Settings.Composite[k];
            c.bIsEnabled = 1;
            c.CompositeType = types[k];
            c.ReferenceChannel = DWORD(k % 8);
            c.TransferChannel = DWORD((k + 1) % 8);
            for (int ch = 0; ch < 8; ++ch)
                c.IncludeInAverage[ch] = ch < 4 ? 1 : 0;
        }
        for (int k = 6; k < 16; ++k)
            frame.Settings.Composite[k].bIsEnabled = 0;
        frame.SetupAllChannels();
        frame.ReconfigureProcessing();
        std::mt19937 gen(1);
        std::normal_distribution<double> noise(0.0, 100000.0);
        std::vector<int> block(kN);
        for (int i = 0; i < kN; ++i)
            block[std::size_t(i)] = int(2000000.0 * std::sin(0.1 * i) + noise(gen));
        const int blocks = int(std::lround(kBlocksPerSecond));
        for (auto _ : state) {
            for (int b = 0; b < blocks; ++b) {
                for (int ch = 0; ch < 8; ++ch)
                    benchmark::DoNotOptimize(frame.ProcessChannelBlock(ch, block.data(), float(b)));
                frame.ProcessCompositeAndPlots();
            }
        }
        state.counters["blocks_per_second"] = blocks;
        // Seconds of processing per second of signal.
        // Processor seconds per second of signal (the rate counters use processor time).
        state.counters["core_fraction"] =
            benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
    CMainFrame::SetModulePath("");
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
}

// Context switches (voluntary and not) and processor ticks of every thread, by thread id.
struct ThreadSample {
    std::string name;
    long long switches = 0;
    long long ticks = 0;
};

std::map<int, ThreadSample> SampleThreads()
{
    std::map<int, ThreadSample> out;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ThreadSample t;
        std::ifstream comm(entry.path() / "comm");
        std::getline(comm, t.name);
        std::ifstream status(entry.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                t.switches += std::atoll(line.substr(line.find(':') + 1).c_str());
        }
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const std::size_t close = text.rfind(')');
        if (close != std::string::npos) {
            std::istringstream fields(text.substr(close + 2));
            std::string field;
            long long utime = 0, stime = 0;
            for (int i = 3; i <= 15 && fields >> field; ++i) {
                if (i == 14)
                    utime = std::atoll(field.c_str());
                if (i == 15)
                    stime = std::atoll(field.c_str());
            }
            t.ticks = utime + stime;
        }
        out[std::stoi(entry.path().filename().string())] = t;
    }
    return out;
}

double ProcessSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

void BM_LiveDrawn(benchmark::State& state)
{
    const char* env = std::getenv("DURNEX_BENCH_SECONDS");
    const int seconds = env && std::atoi(env) > 0 ? std::atoi(env) : 10;
    kdrsim::Reset();
    kdrsim::SelectSimulator(true);
    kdrsim::UseTestClock(false);
    std::string error;
    if (!kdrsim::ConfigureSources("0=sine:1000:-6;1=noise:-40;2=sine:250:-10;3=sine:1500:-20;4=noise:-20;"
                                  "5=sine:60:-3;6=sine:700:-12;7=noise:-30",
                                  &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    {
        bench::BenchFrame app("live");
        CMainFrame* frame = app.frame;
        if (frame == nullptr) {
            state.SkipWithError("the frame did not start");
            return;
        }
        frame->MoveWindow(0, 0, 1920, 1080);
        frame->Settings.OpMode = 0;
        for (int ch = 0; ch < 8; ++ch)
            frame->Settings.Device.Channels[ch].bIsEnabled = 1;
        for (auto& c : frame->Settings.Composite)
            c.bIsEnabled = 0;
        for (int ch = 0; ch < 8; ++ch) {
            frame->OpenTimeSeriesPlot(ch);
            frame->OpenSpectrumPlot(ch);
        }
        frame->OpenSpectrogramPlot(0);
        frame->MDITile();
        AfxPumpMessages(100);
        frame->ExecuteCommand(ID_RUN);
        if (!frame->AcquisitionRunning || !kdrsim::WaitUntilStreaming(5000)) {
            state.SkipWithError("the run did not start");
            return;
        }
        AfxPumpMessages(1000); // the rings fill, the windows settle
        const int ui = int(::gettid());
        double cpu = 0.0;
        int steps = 0;
        [[maybe_unused]] int totalSteps = 0;
        [[maybe_unused]] long long allocs0 = 0, mine0 = 0;
        std::map<int, ThreadSample> before, after;
        for (auto _ : state) {
            before = SampleThreads();
            const int steps0 = frame->FftsProcessed;
#if DURNEX_COUNT_ALLOCS
            allocs0 = allocs::all.load();
            mine0 = allocs::mine;
#endif
            const double cpu0 = ProcessSeconds();
            const auto t0 = std::chrono::steady_clock::now();
            AfxPumpMessages(seconds * 1000);
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            cpu = (ProcessSeconds() - cpu0) / wall;
            steps = int(double(frame->FftsProcessed - steps0) / wall);
            totalSteps = frame->FftsProcessed - steps0;
#if DURNEX_COUNT_ALLOCS
            allocs0 = allocs::all.load() - allocs0;
            mine0 = allocs::mine - mine0;
#endif
            after = SampleThreads();
            state.SetIterationTime(wall);
        }
        frame->ExecuteCommand(ID_STOP);
        AfxPumpMessages(50);
        // Wake-ups a second by kind of thread: the UI thread, the device reader, Qt's pool, others.
        std::map<std::string, double> wakeups;
        std::map<std::string, double> share;
        const double ticks = double(::sysconf(_SC_CLK_TCK)) * seconds;
        for (const auto& [tid, a] : after) {
            const auto b = before.find(tid);
            const long long s0 = b == before.end() ? 0 : b->second.switches;
            const long long c0 = b == before.end() ? 0 : b->second.ticks;
            const std::string kind = tid == ui ? "ui" : a.name;
            wakeups[kind] += double(a.switches - s0) / seconds;
            share[kind] += double(a.ticks - c0) / ticks;
        }
        state.counters["core_fraction"] = cpu;
        state.counters["steps_per_s"] = steps;
        // Processor milliseconds a step (every channel's block, its windows and the status bar).
        state.counters["ms_per_step"] = steps > 0 ? 1000.0 * cpu / steps : 0.0;
#if DURNEX_COUNT_ALLOCS
        if (totalSteps > 0) {
            state.counters["allocs_per_step"] = double(allocs0) / totalSteps;
            state.counters["allocs_per_step_ui"] = double(mine0) / totalSteps;
        }
#endif
        for (const auto& [kind, w] : wakeups) {
            std::string key;
            for (char c : kind)
                key += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
            state.counters["wakeups_per_s_" + key] = w;
            state.counters["core_" + key] = share[kind];
        }
    }
    kdrsim::Reset();
    kdrsim::SelectSimulator(false);
}

} // namespace

BENCHMARK(BM_LiveSecond)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveDrawn)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
