#include "numerics/SimdDispatch.h"

#include <atomic>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define DURNEX_HAS_AVX_ROAD 1
#endif

namespace simd {

namespace {
std::atomic<bool> g_baselineForced{false};

#ifdef DURNEX_HAS_AVX_ROAD
__attribute__((target("avx"))) void ZeroUpperHalves() { _mm256_zeroupper(); }
#endif
} // namespace

bool ProcessorHasAvx()
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const bool has = __builtin_cpu_supports("avx");
    return has;
#else
    return false;
#endif
}

bool UseAvx()
{
    return ProcessorHasAvx() && !g_baselineForced.load(std::memory_order_relaxed);
}

void ForceBaseline(bool on)
{
    g_baselineForced.store(on, std::memory_order_relaxed);
}

void ClearUpperHalves()
{
#ifdef DURNEX_HAS_AVX_ROAD
    // Whether or not the baseline is forced: this changes no result, only what the processor
    // believes is still in use.
    if (ProcessorHasAvx())
        ZeroUpperHalves();
#endif
}

} // namespace simd
