// Where a spectrogram's or surface's history lines stand against a file of `length` seconds:
// how many lines show a spectrum, how many of them lie outside the file, the earliest and the
// latest.
#pragma once

#include "plots/spectrogram/TLineHistory.h"

#include <algorithm>

struct HistoryLineSpan {
    int lines = 0;
    int outside = 0;
    float earliest = 1e9f;
    float latest = -1e9f;
};

inline HistoryLineSpan LineSpanOf(const TLineHistory& h, double length)
{
    HistoryLineSpan s;
    for (int k = 0; k < h.Count(); k += h.Thickness()) {
        if (!h.HasSpectrum(k))
            continue;
        const float t = h.Row(k).time;
        ++s.lines;
        s.earliest = std::min(s.earliest, t);
        s.latest = std::max(s.latest, t);
        s.outside += t < 0.0f || t > length ? 1 : 0;
    }
    return s;
}
