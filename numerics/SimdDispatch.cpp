#include "numerics/SimdDispatch.h"

#include <atomic>

namespace simd {

namespace {
std::atomic<bool> g_baselineForced{false};
}

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

} // namespace simd
