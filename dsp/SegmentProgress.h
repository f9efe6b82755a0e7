// What a long operation on a segment needs of its caller: somewhere to report progress
// (0..99) and a way to learn that the user cancelled (Esc or a click in the main window).
// Either may be empty.
#pragma once

#include <functional>

struct SegmentProgress {
    std::function<void(int percent)> progress;
    std::function<bool()> cancelled;

    void Report(int percent) const
    {
        if (progress)
            progress(percent);
    }
    bool Cancelled() const { return cancelled && cancelled(); }
};
