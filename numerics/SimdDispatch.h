// Which vector road the numerics take. SSE2 is the baseline; AVX is taken at run time when the
// processor has it. Both roads do the same operations in the same order, so results agree bit
// for bit; tests hold them to that by running the same work with the baseline forced.
#pragma once

namespace simd {

// The processor has AVX (whether or not the baseline is forced).
bool ProcessorHasAvx();
// Whether transforms started from now on take the AVX road.
bool UseAvx();
// Forces (true) or releases (false) the SSE2 baseline for every thread. Meant for tests; the
// program never calls it.
void ForceBaseline(bool on);

} // namespace simd
