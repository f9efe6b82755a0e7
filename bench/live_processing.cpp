// The cost of a live run's processing: one second of input on all eight channels at FFT 4096
// and 90 % overlap (a new block every 410 samples at 4000 Hz), each block through the frame's
// own per-channel path, then every composite type (two sums, the real and complex transfer
// functions, the transfer function with coherence, the cross spectrum). "core_fraction" is the
// share of one core that keeping up in real time takes (goal: under 0.05).
#include "app/CMainFrame.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/ui/Wnd.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

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

} // namespace

BENCHMARK(BM_LiveSecond)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
