// The extremes of a range of samples and the mean squares of its positive and of its
// negative samples, from which the level displays take either the peaks or the RMS levels.
#pragma once

#include "platform/core/WinTypes.h"
#include "records/TPcmFormat.h"

#include <cmath>
#include <cstdint>

struct RangeLevels {
    float maximum;
    float minimum;
    double sums[2] = {0.0, 0.0}; // squares of the positive, of the negative samples
    DWORD counts[2] = {0, 0};

    // Starts inverted at the format's limits, so that the first sample sets both extremes.
    explicit RangeLevels(const TPcmFormat& format)
        : maximum(static_cast<float>(format.MinValue)), minimum(static_cast<float>(format.MaxValue))
    {
    }

    void Add(std::int32_t raw)
    {
        const float v = static_cast<float>(raw);
        if (v > maximum)
            maximum = v;
        if (v < minimum)
            minimum = v;
        const double d = raw;
        if (raw > 0) {
            sums[0] += d * d;
            ++counts[0];
        } else if (raw < 0) {
            sums[1] += d * d;
            ++counts[1];
        }
    }

    // The RMS of the positive and of the negative samples in place of the extremes, where the
    // range has such samples.
    void UseRms()
    {
        if (sums[0] > 0 && counts[0] > 0)
            maximum = static_cast<float>(std::sqrt(sums[0] / counts[0]));
        if (sums[1] > 0 && counts[1] > 0)
            minimum = static_cast<float>(-std::sqrt(sums[1] / counts[1]));
    }
};
