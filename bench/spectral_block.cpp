// One channel's full per-block path (window, transform, scale, average, peak hold), reported
// per second of signal: "x_realtime" is how many seconds of 4 kHz or 48 kHz input one
// processor second handles at each FFT size, with a new block every N/10 samples (90 %
// overlap, the channel default).
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

void BM_ChannelBlock(benchmark::State& state)
{
    const auto n = static_cast<DWORD>(state.range(0));
    const auto rate = static_cast<DWORD>(state.range(1));
    const WORD averageType = static_cast<WORD>(state.range(2));
    ChannelProcessingSettings p;
    p.SampleFormat.Set(rate, 1, 3);
    p.FFTsize = n;
    p.AverageBlocks = 10;
    p.AverageType = averageType;
    ChannelScalingSettings s; // dB scale
    SpectralData d(&p, &s, false);
    d.SetPeakDecay(2);
    TSmoothing w(n, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    std::vector<float> block(n);
    std::mt19937 gen(1);
    std::normal_distribution<float> noise(0.0f, 100000.0f);
    for (DWORD i = 0; i < n; ++i)
        block[i] = static_cast<float>(4000000.0 * std::sin(0.1 * i)) + noise(gen);
    for (auto _ : state) {
        for (DWORD i = 0; i < n; ++i)
            d.SetTimeSample(i, block[i]);
        w.Apply(d.GetFrame());
        d.ComputeSpectrum();
        d.Average(false);
        d.UpdatePeakHold();
        benchmark::DoNotOptimize(d.GetMagnitudeBuffer());
    }
    // Blocks per second of signal at 90 % overlap: a new block every n/10 samples.
    const double blocksPerSecond = rate / (n / 10.0);
    state.counters["blocks_per_signal_s"] = blocksPerSecond;
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / blocksPerSecond, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_ChannelBlock)
    ->ArgNames({"N", "rate", "avgType"})
    ->Args({1024, 4000, 0})
    ->Args({4096, 4000, 0})
    ->Args({1024, 48000, 0})
    ->Args({8192, 48000, 0})
    ->Args({65536, 48000, 0})
    ->Args({1024, 4000, 1})
    ->Args({8192, 48000, 1});

BENCHMARK_MAIN();
