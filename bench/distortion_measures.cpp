// What the distortion measures cost a run: each block's new spectrum (window, transform,
// average) read by none, one (THD) or all four of THD, THD+N, SNR and SINAD, as the utility
// windows of one channel read them. Compare "measures" 1 and 4 with 0 (the block alone) of the
// same size and window in the same run: the four share one analysis of the spectrum, so four
// should cost about what one does.
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <map>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace {

// A running tone between bins with 0.1 % and 0.05 % harmonics, 80 dB above white noise, as
// samples of a channel whose full scale is `fs`.
std::vector<float> RunningTone(std::size_t length, DWORD rate, double fs)
{
    std::vector<float> x(length);
    std::mt19937 gen(1);
    std::normal_distribution<double> noise(0.0, 0.5 / std::sqrt(2.0) * 1e-4);
    const double f0 = 97.3 * rate / 4000.0;
    for (std::size_t i = 0; i < length; ++i) {
        const double t = 2.0 * M_PI * f0 * static_cast<double>(i) / rate;
        x[i] = static_cast<float>(fs * (0.5 * (std::cos(t) + 1e-3 * std::cos(2 * t + 0.4) + 5e-4 * std::cos(3 * t + 1.9)) +
                                        noise(gen)));
    }
    return x;
}

void BM_DistortionMeasures(benchmark::State& state)
{
    const auto n = static_cast<DWORD>(state.range(0));
    const auto rate = static_cast<DWORD>(state.range(1));
    const auto window = static_cast<WORD>(state.range(2));
    const auto measures = state.range(3);
    ChannelProcessingSettings p;
    p.SampleFormat.Set(rate, 1, 3);
    p.FFTsize = n;
    p.SmoothingWindow = window; // averaging as a channel starts: exponential over 3 blocks
    ChannelScalingSettings s;
    SpectralData d(&p, &s, false);
    const TSmoothing w(n, window, TSmoothing::kAmplitudeCorrection);
    // Cut into blocks at 90 % overlap: every block's spectrum differs from the last.
    const std::size_t hop = n / 10, blocks = 32, length = n + hop * blocks;
    const std::vector<float> x = RunningTone(length, rate, d.GetFullScale());
    std::size_t block = 0;
    int shown = 0;
    for (auto _ : state) {
        for (DWORD i = 0; i < n; ++i)
            d.SetTimeSample(i, x[block * hop + i]);
        block = (block + 1) % blocks;
        w.Apply(d.GetFrame());
        d.ComputeSpectrum();
        d.Average(false);
        if (measures >= 1) {
            const std::optional<float> thd = d.ComputeThd();
            shown += thd ? 1 : 0;
        }
        if (measures >= 4) {
            const std::optional<float> r[] = {d.ComputeThdN(), d.ComputeSnr(), d.ComputeSinad()};
            for (const auto& v : r)
                shown += v ? 1 : 0;
        }
        benchmark::DoNotOptimize(shown);
    }
    state.counters["shown_per_block"] = static_cast<double>(shown) / static_cast<double>(state.iterations());
}

// A new spectrum's first reading: a fresh engine (a channel opened, its FFT size or window
// changed) fed one block and read for THD ("thd" 1) or not at all (0, the reference). The
// window's tables the reading needs are made once in the process and found by every later
// engine of the same window and size, so the first THD should cost about what a later one does.
void BM_FirstReadOfAFreshSpectrum(benchmark::State& state)
{
    const auto n = static_cast<DWORD>(state.range(0));
    const auto window = static_cast<WORD>(state.range(1));
    const bool thd = state.range(2) != 0;
    ChannelProcessingSettings p;
    p.SampleFormat.Set(48000, 1, 3);
    p.FFTsize = n;
    p.SmoothingWindow = window;
    ChannelScalingSettings s;
    const TSmoothing w(n, window, TSmoothing::kAmplitudeCorrection);
    const std::vector<float> x = RunningTone(n, 48000, SpectralData(&p, &s, false).GetFullScale());
    int shown = 0;
    auto read = [&] {
        SpectralData d(&p, &s, false);
        for (DWORD i = 0; i < n; ++i)
            d.SetTimeSample(i, x[i]);
        w.Apply(d.GetFrame());
        d.ComputeSpectrum();
        d.Average(false);
        if (thd)
            shown += d.ComputeThd() ? 1 : 0;
        benchmark::DoNotOptimize(shown);
    };
    // The first read of a setting in the process makes the tables: timed apart (the benchmark
    // runs this function more than once), so that the loop times what every later engine costs.
    static std::map<std::pair<DWORD, WORD>, double> first;
    if (thd && !first.count({n, window})) {
        const auto start = std::chrono::steady_clock::now();
        read();
        first[{n, window}] = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    if (thd)
        state.counters["first_ms"] = first[{n, window}];
    read();
    shown = 0;
    for (auto _ : state)
        read();
    state.counters["shown_per_read"] = static_cast<double>(shown) / static_cast<double>(state.iterations());
}

} // namespace

// N, window (6 Hanning, 7 Kaiser, 2 exponential: the widest lobe), THD read or not.
BENCHMARK(BM_FirstReadOfAFreshSpectrum)
    ->ArgNames({"N", "window", "thd"})
    ->ArgsProduct({{4096, 65536}, {2, 6, 7}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// N, rate, window (5 Hamming, 6 Hanning, 3 flat-top, 1 Blackman), measures read per block.
BENCHMARK(BM_DistortionMeasures)
    ->ArgNames({"N", "rate", "window", "measures"})
    ->ArgsProduct({{1024}, {4000}, {1, 3, 5, 6}, {0, 1, 4}})
    ->ArgsProduct({{4096}, {48000}, {6}, {0, 1, 4}})
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
