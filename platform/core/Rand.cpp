#include "platform/core/Rand.h"

#include <cstdint>

namespace {
thread_local std::uint32_t t_seed = 1;
}

void CrtSrand(unsigned int seed) { t_seed = seed; }

int CrtRand()
{
    t_seed = t_seed * 214013u + 2531011u;
    return static_cast<int>((t_seed >> 16) & 0x7FFF);
}
