// TFft against FFTW (float, real-to-complex and complex-to-real, FFTW_MEASURE plans) for
// N = 256 .. 65536 in one run, forward and inverse.
//
// Each case reports "vs_fftw": our time per transform divided by FFTW's in the same direction.
// The two are timed alternately in short rounds (DURNEX_BENCH_ROUNDS, default 15) and the
// best round of each is kept, so that load from other processes on a shared machine does not
// tilt the ratio. Every timed call starts from the same input: both sides copy it in first
// (our transform works in place, FFTW's inverse destroys its input), and the time of that
// copy, measured alike, is taken off both.
#include "numerics/TFft.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#ifdef DURNEX_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

std::vector<float> Signal(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x)
        v = d(gen);
    return x;
}

int Rounds()
{
    const char* v = std::getenv("DURNEX_BENCH_ROUNDS");
    const int n = v ? std::atoi(v) : 0;
    return n > 0 ? n : 15;
}

// Time per call in ns over one round of reps calls.
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
// FFTW's plans of both directions on their own aligned buffers. Our packing of the N floats
// (DC, Nyquist, then re/im of bins 1 .. N/2-1) holds the same numbers as FFTW's N/2+1
// complex values, so the inverse inputs are the same spectrum in the two layouts.
struct Fftw {
    int n;
    float* real;
    fftwf_complex* spectrum;
    fftwf_plan forward;
    fftwf_plan inverse;
    explicit Fftw(int size) : n(size)
    {
        real = fftwf_alloc_real(static_cast<std::size_t>(n));
        spectrum = fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
        forward = fftwf_plan_dft_r2c_1d(n, real, spectrum, FFTW_MEASURE);
        inverse = fftwf_plan_dft_c2r_1d(n, spectrum, real, FFTW_MEASURE);
    }
    ~Fftw()
    {
        fftwf_destroy_plan(forward);
        fftwf_destroy_plan(inverse);
        fftwf_free(real);
        fftwf_free(spectrum);
    }
};
#endif

// direction +1 forward, -1 inverse.
void Race(benchmark::State& state, int direction)
{
    const int n = static_cast<int>(state.range(0));
    const std::vector<float> signal = Signal(static_cast<std::size_t>(n), 42);
    std::vector<float> packed = signal;
    TFft::Transform(packed.data(), n, 1); // also builds the tables, outside the timing
    const std::vector<float>& input = direction == 1 ? signal : packed;
    std::vector<float> work(input);
    TFft fft(static_cast<UINT>(n));
    auto ours = [&] {
        std::memcpy(work.data(), input.data(), sizeof(float) * static_cast<std::size_t>(n));
        if (direction == 1)
            fft.Forward(work.data());
        else
            fft.Inverse(work.data());
        benchmark::DoNotOptimize(work.data());
    };
    for (auto _ : state)
        ours();
#ifdef DURNEX_HAVE_FFTW
    Fftw ref(n);
    // FFTW's inputs in its layout: the real signal, or the N/2+1 bins of the same spectrum.
    std::vector<float> refInput;
    if (direction == 1) {
        refInput = signal;
    } else {
        refInput.assign(static_cast<std::size_t>(n) + 2, 0.0f);
        refInput[0] = packed[0] / 2;
        refInput[static_cast<std::size_t>(n)] = packed[1] / 2;
        for (int k = 1; k < n / 2; ++k) {
            refInput[2 * static_cast<std::size_t>(k)] = packed[2 * static_cast<std::size_t>(k)] / 2;
            refInput[2 * static_cast<std::size_t>(k) + 1] = packed[2 * static_cast<std::size_t>(k) + 1] / 2;
        }
    }
    float* refTarget = direction == 1 ? ref.real : reinterpret_cast<float*>(ref.spectrum);
    auto theirs = [&] {
        std::memcpy(refTarget, refInput.data(), sizeof(float) * refInput.size());
        fftwf_execute(direction == 1 ? ref.forward : ref.inverse);
        benchmark::DoNotOptimize(ref.real);
        benchmark::DoNotOptimize(ref.spectrum);
    };
    auto copyOurs = [&] {
        std::memcpy(work.data(), input.data(), sizeof(float) * static_cast<std::size_t>(n));
        benchmark::DoNotOptimize(work.data());
    };
    auto copyTheirs = [&] {
        std::memcpy(refTarget, refInput.data(), sizeof(float) * refInput.size());
        benchmark::DoNotOptimize(refTarget);
    };
    const int reps = std::max(4, 2000000 / n);
    double best = 1e300, bestRef = 1e300, copy = 1e300, copyRef = 1e300;
    const int rounds = Rounds();
    for (int round = 0; round < rounds; ++round) {
        bestRef = std::min(bestRef, RoundTime(theirs, reps));
        best = std::min(best, RoundTime(ours, reps));
        copyRef = std::min(copyRef, RoundTime(copyTheirs, reps));
        copy = std::min(copy, RoundTime(copyOurs, reps));
    }
    state.counters["ours_ns"] = best - copy;
    state.counters["fftw_ns"] = bestRef - copyRef;
    state.counters["vs_fftw"] = (best - copy) / (bestRef - copyRef);
    // Both sides must have done the same transform, or the race compared different work:
    // FFTW's forward is half our packed values, its inverse N times ours.
    theirs();
    ours();
    const float* out = direction == 1 ? reinterpret_cast<const float*>(ref.spectrum) : ref.real;
    double worst = 0.0, size = 0.0;
    for (int i = 2; i < n; ++i) {
        const double theirsValue = direction == 1 ? 2.0 * out[i] : out[i] / static_cast<double>(n);
        worst = std::max(worst, std::abs(work[static_cast<std::size_t>(i)] - theirsValue));
        size = std::max(size, std::abs(theirsValue));
    }
    if (worst > 1e-5 * size)
        state.SkipWithError("TFft and FFTW disagree");
#endif
}

void BM_TFftForward(benchmark::State& state)
{
    Race(state, 1);
}
void BM_TFftInverse(benchmark::State& state)
{
    Race(state, -1);
}
BENCHMARK(BM_TFftForward)->RangeMultiplier(2)->Range(256, 65536);
BENCHMARK(BM_TFftInverse)->RangeMultiplier(2)->Range(256, 65536);

} // namespace

BENCHMARK_MAIN();
