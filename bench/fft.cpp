// TFft against FFTW (float, real-to-complex, FFTW_MEASURE) for N = 1024 .. 65536 in one run.
// Each of our cases reports "vs_fftw": our time per transform divided by FFTW's, measured in the
// same process just before it.
#include "dsp/TFft.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <map>
#include <random>
#include <vector>

#ifdef DURNEX_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

std::vector<float> Signal(std::size_t n)
{
    std::mt19937 gen(42);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x)
        v = d(gen);
    return x;
}

std::map<int, double>& FftwTimes()
{
    static std::map<int, double> t;
    return t;
}

// Time per call in ns, measured outside the benchmark loop so both sides use the same clock.
template <typename F>
double TimePerCall(F&& f)
{
    using clock = std::chrono::steady_clock;
    int reps = 16;
    for (;;) {
        const auto t0 = clock::now();
        for (int i = 0; i < reps; ++i)
            f();
        const double ns = std::chrono::duration<double, std::nano>(clock::now() - t0).count();
        if (ns > 2e8)
            return ns / reps;
        reps *= 2;
    }
}

#ifdef DURNEX_HAVE_FFTW
void BM_Fftw(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    float* in = fftwf_alloc_real(n);
    fftwf_complex* out = fftwf_alloc_complex(n / 2 + 1);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    const std::vector<float> x = Signal(n);
    std::copy(x.begin(), x.end(), in);
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
    }
    FftwTimes()[n] = TimePerCall([&] { fftwf_execute(plan); benchmark::DoNotOptimize(out); });
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
}
BENCHMARK(BM_Fftw)->RangeMultiplier(2)->Range(1024, 65536);
#endif

void BM_TFft(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<float> x = Signal(n);
    TFft fft(static_cast<UINT>(n));
    fft.Forward(x.data()); // builds the tables once, outside the timing
    for (auto _ : state) {
        fft.Forward(x.data());
        benchmark::DoNotOptimize(x.data());
    }
    const double ours = TimePerCall([&] { fft.Forward(x.data()); benchmark::DoNotOptimize(x.data()); });
    const auto it = FftwTimes().find(n);
    if (it != FftwTimes().end() && it->second > 0)
        state.counters["vs_fftw"] = ours / it->second;
}
BENCHMARK(BM_TFft)->RangeMultiplier(2)->Range(1024, 65536);

void BM_TFftInverse(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<float> x = Signal(n);
    TFft fft(static_cast<UINT>(n));
    fft.Inverse(x.data());
    for (auto _ : state) {
        fft.Inverse(x.data());
        benchmark::DoNotOptimize(x.data());
    }
}
BENCHMARK(BM_TFftInverse)->RangeMultiplier(4)->Range(1024, 65536);

} // namespace

BENCHMARK_MAIN();
