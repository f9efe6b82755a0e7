// The C run-time's rand() as the Microsoft run-time computes it: a 15-bit value from the
// linear congruential generator seed = seed * 214013 + 2531011, taking bits 16..30. Noise and
// dither code relies on this range and sequence. One state per thread, as in the run-time;
// the initial seed is 1.
#pragma once

constexpr int RAND15_MAX = 32767;

void CrtSrand(unsigned int seed);
int CrtRand();
