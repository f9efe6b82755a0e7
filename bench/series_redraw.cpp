// Redrawing the time-series plots of eight one-hour channels (4000 samples per second, one
// wave file each) showing their whole length, against reading the eight files once with
// plain read() calls in the same run. The first draw reads every sample (one min-max stroke
// per pixel column); later block updates and repaints must not: their ratio to one read of
// the files should stay well under 0.1.
#include "records/TimeSeriesPlotSettings.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Resources.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/WinApp.h"
#include "plots/TSeriesPlot.h"
#include "res/resource.h"
#include "wave/TWaveFile.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kChannels = 8;
constexpr DWORD kRate = 4000;
constexpr DWORD kFrames = kRate * 3600;
const TPcmFormat kFormat(kRate, 1, 2);

struct Scene {
    std::string folder;
    std::vector<std::string> paths;
    std::vector<std::unique_ptr<TWaveFile>> files;
    std::vector<TimeSeriesPlotSettings> settings = std::vector<TimeSeriesPlotSettings>(kChannels);
    std::vector<TSeriesPlot*> plots;
    CWinApp app;
    CMDIFrameWnd* frame = nullptr;

    Scene()
    {
        folder = GetSystemTempFolder() + "durnex-bench-series-" + std::to_string(::getpid());
        std::filesystem::create_directories(folder);
        for (int c = 0; c < kChannels; ++c) {
            const std::string path = folder + "/ch" + std::to_string(c) + ".wav";
            TWaveFile w(kFrames, kFormat, folder);
            std::vector<BYTE> bytes(w.FramesToBytes(kFrames));
            for (DWORD i = 0; i < kFrames; ++i) {
                const auto v = static_cast<std::int16_t>(12000 * std::sin(i * (0.01 + 0.003 * c)));
                bytes[2 * i] = static_cast<BYTE>(v & 0xFF);
                bytes[2 * i + 1] = static_cast<BYTE>((v >> 8) & 0xFF);
            }
            (void)w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size()));
            w.SetFileName(path);
            (void)w.Save();
            paths.push_back(path);
        }
        frame = new CMDIFrameWnd;
        frame->LoadFrame(IDR_MAINFRAME);
        app.m_pMainWnd = frame;
        frame->MoveWindow(0, 0, 1600, 1000);
        frame->ShowWindow(SW_SHOW);
    }
    ~Scene()
    {
        if (frame)
            frame->DestroyWindow();
        app.m_pMainWnd = nullptr;
        files.clear();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    // Opens the files streamed, as the frame opens large files, and a plot on each.
    void Open()
    {
        for (int c = 0; c < kChannels; ++c) {
            files.push_back(std::make_unique<TWaveFile>(paths[c], TWaveFile::kStreamed, false, folder));
            files.back()->ClearCalibration();
            settings[c].TimeSeriesDataSource = 0;
            settings[c].StartTime = 0.0f;
            settings[c].StopTime = 999999.9f;
            auto* p = new TSeriesPlot;
            const RECT r{0, c * 100, 1200, c * 100 + 300};
            p->Create("Time Series", WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, &r, &settings[c], nullptr, nullptr,
                      files.back().get(), 0, c);
            plots.push_back(p);
        }
        AfxPumpMessages();
    }
};

// Made on first use and destroyed before the application object goes.
std::unique_ptr<Scene> g_scene;
Scene& TheScene()
{
    if (!g_scene)
        g_scene = std::make_unique<Scene>();
    return *g_scene;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The reference: every byte of the eight files read once into a fresh buffer.
double ReadAllOnce(const Scene& s)
{
    const auto start = std::chrono::steady_clock::now();
    std::vector<BYTE> buffer(static_cast<std::size_t>(kFrames) * 2 + 4096);
    for (const std::string& path : s.paths) {
        int fd = ::open(path.c_str(), O_RDONLY);
        ssize_t n;
        std::size_t total = 0;
        while ((n = ::read(fd, buffer.data() + total, buffer.size() - total)) > 0)
            total += static_cast<std::size_t>(n);
        ::close(fd);
        benchmark::DoNotOptimize(buffer.data());
    }
    return Seconds(std::chrono::steady_clock::now() - start);
}

double BestReadTime(const Scene& s)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i)
        best = std::min(best, ReadAllOnce(s));
    return best;
}

// The other reference: the eight files read once through the wave reader, as a plot must to
// find the extremes of every sample (one scaled min-max pass over each whole file).
double WaveScanTime(const Scene& s)
{
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : s.paths) {
        TWaveFile w(path, TWaveFile::kStreamed, false, s.folder);
        float maximum = 0.0f, minimum = 0.0f;
        w.ReadBlockScaled(0, w.GetEndFrame(), maximum, minimum, 0, true, false);
        benchmark::DoNotOptimize(maximum);
    }
    return Seconds(std::chrono::steady_clock::now() - start);
}

// The first draw of all eight plots: layout and every column's extremes read from the files.
void BM_FirstDraw(benchmark::State& state)
{
    Scene& s = TheScene();
    if (s.plots.empty())
        s.Open();
    const double read = BestReadTime(s);
    const double scan = WaveScanTime(s);
    double total = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (TSeriesPlot* p : s.plots)
            p->UpdateLayout();
        total += Seconds(std::chrono::steady_clock::now() - start);
    }
    state.counters["ratio_to_read"] = total / static_cast<double>(state.iterations()) / read;
    state.counters["ratio_to_wave_scan"] = total / static_cast<double>(state.iterations()) / scan;
}

// What happens after the first draw: a block update of every plot and a full repaint.
void BM_Redraw(benchmark::State& state)
{
    Scene& s = TheScene();
    if (s.plots.empty())
        s.Open();
    for (TSeriesPlot* p : s.plots)
        p->UpdateLayout();
    const double read = BestReadTime(s);
    const double scan = WaveScanTime(s);
    double total = 0.0;
    float t = 0.0f;
    for (auto _ : state) {
        t += 0.1f;
        const auto start = std::chrono::steady_clock::now();
        for (TSeriesPlot* p : s.plots) {
            p->UpdateFrame(t);
            p->RedrawWindow();
        }
        AfxPumpMessages();
        total += Seconds(std::chrono::steady_clock::now() - start);
    }
    state.counters["ratio_to_read"] = total / static_cast<double>(state.iterations()) / read;
    state.counters["ratio_to_wave_scan"] = total / static_cast<double>(state.iterations()) / scan;
}

// The two halves of a redraw: the block update alone (trace rebuilt from the kept column
// extremes, old trace erased, new one drawn) and the full repaint alone.
void BM_BlockUpdate(benchmark::State& state)
{
    Scene& s = TheScene();
    if (s.plots.empty())
        s.Open();
    const double read = BestReadTime(s);
    double total = 0.0;
    float t = 0.0f;
    for (auto _ : state) {
        t += 0.1f;
        const auto start = std::chrono::steady_clock::now();
        for (TSeriesPlot* p : s.plots)
            p->UpdateFrame(t);
        total += Seconds(std::chrono::steady_clock::now() - start);
    }
    state.counters["ratio_to_read"] = total / static_cast<double>(state.iterations()) / read;
}

void BM_Repaint(benchmark::State& state)
{
    Scene& s = TheScene();
    if (s.plots.empty())
        s.Open();
    const double read = BestReadTime(s);
    double total = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (TSeriesPlot* p : s.plots)
            p->RedrawWindow();
        total += Seconds(std::chrono::steady_clock::now() - start);
    }
    state.counters["ratio_to_read"] = total / static_cast<double>(state.iterations()) / read;
}

BENCHMARK(BM_FirstDraw)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Redraw)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_BlockUpdate)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_Repaint)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    AfxEnsureQtApplication();
    RegisterBuiltInResources();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_scene.reset();
    benchmark::Shutdown();
    return 0;
}
