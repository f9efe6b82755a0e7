// The Plot Top and Plot Range of a spectrum, spectrogram or surface as they must be to mean
// something on the amplitude scale the channel has now. The scale changes under the windows
// (linear, dB, log magnitude) while the two values stay: a dB top of -55 is no linear full
// scale, a dB span of 45 is no log-magnitude bottom, and the bottom of 1e-6 left by a log
// magnitude axis is no dB span. Values that already fit are kept as the user set them.
#pragma once

#include "platform/core/WinTypes.h"

struct LevelScale {
    float top;
    double range; // a dB span, or the bottom level of a log-magnitude axis
};

// `logBottom` is the bottom a log-magnitude axis is drawn from when its own is no level under
// the top; `minSpan` the least dB span the window's range edit takes.
//   linear (0):        a top at or below zero becomes full scale, 1.0;
//   dB (1):            a span under `minSpan` becomes the 45 dB the windows start with;
//   log magnitude (2): a top at or below zero becomes 10, the top the axis is drawn to, and a
//                      bottom not above zero or not under the top becomes `logBottom`.
LevelScale FitLevelScale(WORD ampScaleType, LevelScale now, double logBottom, double minSpan);
