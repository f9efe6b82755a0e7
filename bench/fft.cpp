// TFft against FFTW (float, real-to-complex, FFTW_MEASURE) for N = 1024 .. 65536 in one run.
// Each of our cases reports "vs_fftw": our time per transform divided by FFTW's. The two are
// timed alternately in short rounds and the best round of each is kept, so that load from
// other processes on a shared machine does not tilt the ratio.
#include "numerics/TFft.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <algorithm>
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

// Best time per call in ns over short rounds of about 10 ms.
template <typename F>
double RoundTime(F&& f, int reps)
{
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();
    for (int i = 0; i < reps; ++i)
        f();
    return std::chrono::duration<double, std::nano>(clock::now() - t0).count() / reps;
}

#ifdef DURNEX_HAVE_FFTW
struct FftwCase {
    float* in = nullptr;
    fftwf_complex* out = nullptr;
    fftwf_plan plan = nullptr;
    explicit FftwCase(int n)
    {
        in = fftwf_alloc_real(n);
        out = fftwf_alloc_complex(n / 2 + 1);
        plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
        const std::vector<float> x = Signal(n);
        std::copy(x.begin(), x.end(), in);
    }
    ~FftwCase()
    {
        fftwf_destroy_plan(plan);
        fftwf_free(in);
        fftwf_free(out);
    }
    void Run()
    {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
    }
};
#endif

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
#ifdef DURNEX_HAVE_FFTW
    FftwCase ref(n);
    const int reps = std::max(1, 10000000 / (n * 10));
    double best = 1e300, bestRef = 1e300;
    for (int round = 0; round < 30; ++round) {
        bestRef = std::min(bestRef, RoundTime([&] { ref.Run(); }, reps));
        best = std::min(best, RoundTime([&] { fft.Forward(x.data()); benchmark::DoNotOptimize(x.data()); }, reps));
    }
    state.counters["vs_fftw"] = best / bestRef;
#endif
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
