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

// Marks the upper halves of the AVX registers as unused. Library code (Qt's raster fills) can
// return with them in use, and some processors then merge them into every baseline SSE
// instruction that follows, which makes scalar loops two to three times slower. Loops that may
// run right after drawing call this first; without AVX it does nothing.
void ClearUpperHalves();

} // namespace simd
