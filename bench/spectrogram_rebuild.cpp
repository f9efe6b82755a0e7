// A spectrogram rebuilt from an hour of one channel (4000 samples/s, 24 bits, FFT 4096, Hanning)
// into a window whose frequency axis is 1920 pixels wide, on the frame's own road (the status
// bar's progress and Esc included), against the same lines computed without drawing: every
// block the rebuild reads, read, windowed, transformed and averaged into a spectrum engine, and
// the history line's levels (the band's peak and floor the window keeps for each line).
// Both are timed in alternating rounds (DURNEX_BENCH_ROUNDS, default 5) in processor time of the
// whole process (every thread's share counts), and the best round of each is kept, so that load
// from other processes on a shared machine does not tilt the ratio. The file, the frame and the
// window are made before the rounds; a profile of many rounds (DURNEX_BENCH_ROUNDS=100) is then
// mostly the rounds'.
//
// Counters: lines, draw_s and compute_s (best round, processor seconds), us_per_line of each,
// and "vs_compute": the rebuild's time over the computation's (goal: at most 2); "vs_transform"
// the same against the transforms alone (no history line). The same for the
// 3-D surface window, whose lines are drawn as filled polygons. DURNEX_BENCH_SECONDS shortens
// the file (default 3600).
#include "BenchFrame.h"

#include "dsp/SegmentAnalysis.h"
#include "dsp/SegmentSpectrum.h"
#include "dsp/SpectralData.h"
#include "plots/spectrogram/HistoryScale.h"
#include "numerics/TSmoothing.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "records/SpectrogramPlotSettings.h"
#include "records/SurfacePlotSettings.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr DWORD kRate = 4000;
constexpr DWORD kFft = 4096;
constexpr int kAxisPixels = 1920;

int EnvInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    const int n = v ? std::atoi(v) : 0;
    return n > 0 ? n : fallback;
}

// Processor time of the whole process, in seconds.
double Now()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

// A tone gliding from 100 to 1900 Hz over the file, over white noise.
bool WriteHour(const std::string& folder, const std::string& path, DWORD frames)
{
    const TPcmFormat format(kRate, 1, 3);
    TWaveFile w(format, false, folder);
    const DWORD piece = 40000;
    std::vector<BYTE> bytes(static_cast<std::size_t>(piece) * 3);
    std::uint64_t seed = 88172645463325252ull;
    double phase = 0.0;
    bool ok = true;
    for (DWORD first = 0; first < frames; first += piece) {
        for (DWORD i = 0; i < piece; ++i) {
            seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
            const double noise = static_cast<double>(seed >> 11) * (1.0 / 9007199254740992.0) - 0.5;
            const double f = 100.0 + 1800.0 * (first + i) / frames;
            phase += 2.0 * M_PI * f / kRate;
            const double v = 0.3 * std::sin(phase) + 0.01 * noise;
            const auto s = static_cast<std::int32_t>(std::lround(v * 8388607.0));
            BYTE* b = &bytes[static_cast<std::size_t>(i) * 3];
            b[0] = static_cast<BYTE>(s), b[1] = static_cast<BYTE>(s >> 8), b[2] = static_cast<BYTE>(s >> 16);
        }
        ok = ok && w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    w.SetFileName(path);
    return ok && w.SaveStreamedAs();
}

struct Scene {
    bench::BenchFrame app{"rebuild"};
    std::string path;
    bool ready = false;
    Scene()
    {
        CMainFrame* frame = app.frame;
        if (frame == nullptr)
            return;
        path = (app.root / "wave" / "hour.wav").string();
        const DWORD frames = static_cast<DWORD>(EnvInt("DURNEX_BENCH_SECONDS", 3600)) * kRate;
        if (!WriteHour((app.root / "temp").string(), path, frames))
            return;
        frame->MoveWindow(0, 0, 2400, 1300);
        ChannelProcessingSettings& p = frame->Settings.Processing[0];
        p.FFTsize = kFft;
        p.DecimationRatio = 1;
        p.SmoothingWindow = TSmoothing::kHanning;
        SpectrogramPlotSettings& s = frame->Settings.SpectrogramOpts[0];
        s.Direction = 3; // frequency across, time running down
        s.ScrollType = 0;
        s.UseFullSpan = 1;
        SurfacePlotSettings& f = frame->Settings.SurfaceOpts[0];
        f.UseFullSpan = 1;
        ready = app.OpenChannel(0, path);
    }
};

std::unique_ptr<Scene> g_scene;

// Sizes the window until its frequency axis has kAxisPixels pixels.
template <class Plot> bool FitAxis(Plot* plot, int height)
{
    CWnd* child = plot;
    int width = kAxisPixels + 200;
    for (int attempt = 0; attempt < 4; ++attempt) {
        child->MoveWindow(0, 0, width, height);
        AfxPumpMessages(20);
        plot->UpdateLayout();
        const int have = static_cast<int>(plot->GetFrequencyMap().size());
        if (have == kAxisPixels)
            return true;
        width += kAxisPixels - have;
    }
    return false;
}

// The same lines as the rebuild, computed without drawing; with `levels` the history line's
// peak and floor over the window's band too.
double ComputeOnly(CMainFrame& frame, int lines, bool levels)
{
    const double start = Now();
    TWaveFile& file = *frame.Settings.Files[0].File;
    const ChannelProcessingSettings& p = frame.Settings.Processing[0];
    const SegmentRebuildPlan plan =
        PlanSegmentRebuild(file, 0.0f, static_cast<float>(file.FramesToSeconds(file.GetLength())), kFft,
                           CMainFrame::GetPostProcessHop(p), static_cast<int>(std::max<DWORD>(p.AverageBlocks, 1)), lines);
    TSampleBuffer work(kFft, file.GetFormat(), 1, false);
    SpectralData engine(&p, &frame.Settings.Scaling[0], true);
    // The channel's window, as the rebuild uses it: its table is set-up, not a line's work.
    const TSmoothing& window = *frame.Smoothing[0];
    for (int i = 0; i < lines; ++i) {
        if (!ProcessRebuildLine(file, 0, plan, i, work, engine, window))
            break;
        benchmark::DoNotOptimize(engine.GetMagnitudeBuffer());
        if (levels) {
            float low = 0.0f, high = 0.0f, f = 0.0f, peak = 0.0f, floor = 0.0f;
            history::DisplayedBand(engine, true, 0.0f, 0.0f, &low, &high);
            const int first = engine.FrequencyToBin(low), last = engine.FrequencyToBin(high);
            engine.FindRankedPeak(first, last, &f, &peak, 0);
            engine.FindMinimumInRange(static_cast<UINT>(std::max(first, 0)), static_cast<UINT>(std::max(last, 0)), &f, &floor);
            benchmark::DoNotOptimize(peak + floor);
        }
    }
    return Now() - start;
}

template <class Open, class Rebuild> void Race(benchmark::State& state, Open open, Rebuild rebuild)
{
    if (!g_scene)
        g_scene = std::make_unique<Scene>();
    Scene& s = *g_scene;
    if (!s.ready) {
        state.SkipWithError("the frame or the test file could not be set up");
        return;
    }
    CMainFrame& frame = *s.app.frame;
    if (frame.Smoothing[0] == nullptr) {
        state.SkipWithError("the channel has no window");
        return;
    }
    auto* plot = open(frame);
    if (plot == nullptr) {
        state.SkipWithError("the window did not open");
        return;
    }
    // The surface's axis is foreshortened: it gets the window that gives the spectrogram 1920.
    FitAxis(plot, 900);
    const float end = static_cast<float>(frame.Settings.Files[0].File->FramesToSeconds(frame.Settings.Files[0].File->GetLength()));
    rebuild(frame, end); // tables, page cache
    const int lines = plot->GetRebuildLines();
    const int rounds = EnvInt("DURNEX_BENCH_ROUNDS", 5);
    double draw = 1e300, compute = 1e300, transform = 1e300;
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round) {
            transform = std::min(transform, ComputeOnly(frame, lines, false));
            compute = std::min(compute, ComputeOnly(frame, lines, true));
            const double start = Now();
            rebuild(frame, end);
            draw = std::min(draw, Now() - start);
        }
        state.SetIterationTime(draw);
    }
    state.counters["lines"] = lines;
    state.counters["axis_pixels"] = static_cast<double>(plot->GetFrequencyMap().size());
    state.counters["draw_s"] = draw;
    state.counters["compute_s"] = compute;
    state.counters["draw_us_per_line"] = 1e6 * draw / lines;
    state.counters["compute_us_per_line"] = 1e6 * compute / lines;
    state.counters["vs_compute"] = draw / compute;
    state.counters["vs_transform"] = draw / transform;
}

void BM_SpectrogramRebuild(benchmark::State& state)
{
    Race(
        state,
        [](CMainFrame& f) {
            f.OpenSpectrogramPlot(0);
            return f.SpectrogramPlot[0];
        },
        [](CMainFrame& f, float end) { f.RebuildSpectrogramFromSegment(0, 0.0f, end, false, false); });
}

void BM_SurfaceRebuild(benchmark::State& state)
{
    Race(
        state,
        [](CMainFrame& f) {
            f.OpenSurfacePlot(0);
            return f.SurfacePlot[0];
        },
        [](CMainFrame& f, float end) { f.RebuildSurfaceFromSegment(0, 0.0f, end, false, false); });
}

BENCHMARK(BM_SpectrogramRebuild)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SurfaceRebuild)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_scene.reset();
    benchmark::Shutdown();
    return 0;
}
