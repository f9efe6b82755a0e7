// Numbers as decimal text in settings files, independent of the process locale: files
// written on any system read the same way.
#pragma once

#include <cstdint>
#include <string>

// Leading blanks, an optional sign, then decimal digits up to the first other character; no
// digits gives 0. Values beyond 64 bits saturate instead of overflowing.
std::int64_t ParseDecimalInteger(const char* text);

// Decimal floating-point text after leading blanks (an optional sign, digits, a point, an
// exponent); no number gives 0. Text that reads as infinite or not a number, or overflows,
// gives fallback, so that a damaged file cannot feed NaN into the settings.
double ParseDecimalFloat(const char* text, double fallback);

// A parsed value for a single-precision field: fallback when it lies beyond the float range
// (or is not a number), where a plain conversion would be undefined.
float NarrowToFloat(double value, float fallback);

// printf's "%f", "%e" and "%.9f" in the C locale.
std::string FormatFixed(double value, int decimals = 6);
std::string FormatExponent(double value);
