// The Edit/Filter parameters as the user last confirmed them. The frame holds one; it is
// never written to a configuration file and starts from these defaults at every start.
#pragma once

#include "platform/core/WinTypes.h"

#include <cstdint>

enum FilterKind : std::uint32_t {
    FILTER_LOWPASS = 0,
    FILTER_HIGHPASS = 1,
    FILTER_BANDPASS = 2,
    FILTER_NOTCH = 3,
    FILTER_CUSTOM = 4, // magnitude response from a text table
};

struct FilterSettings {
    std::uint32_t FilterType = FILTER_LOWPASS;
    std::int32_t NumTaps = 200;
    std::int32_t HighPassCutoff = 1000; // Hz
    std::int32_t LowPassCutoff = 1000;  // Hz
    std::int32_t BandPassCenter = 1000; // Hz
    std::int32_t BandPassWidth = 500;   // Hz
    std::int32_t NotchCenter = 1000;    // Hz
    std::int32_t NotchWidth = 500;      // Hz
    char ResponseFile[260] = {};
    float FilterGain = 0.0f; // dB
};

// Copied and compared whole; no padding of undefined content.
static_assert(sizeof(FilterSettings) == 4 * 8 + 260 + 4, "fixed layout");
