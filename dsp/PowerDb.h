// Powers to decibels (10 log10) for whole spectra. The spectrum engine turns every bin of
// every block into dB; a library call per bin was half the time of a long segment average.
#pragma once

#include <cstddef>

// db[i] = 10 log10(power[i]) for power[i] > 0, `none` otherwise (zero, negative, not a
// number). The result is the exact value rounded to float, but for values within about
// 1e-13 of a rounding boundary; infinities and subnormal powers take the library's road.
void PowerToDb(const float* power, float* db, std::size_t count, float none);
