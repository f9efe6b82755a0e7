// The work of Edit/Filter on a wave file: filters a segment of the wave's first channel in
// place, one second of frames at a time, with one level of undo and a cancel between blocks.
// The frame's command adds the dialog, the caption, the status bar's progress and the
// redrawing of the channel's plots.
#pragma once

#include "dsp/FilterSettings.h"
#include "dsp/SegmentProgress.h"

#include <cstdint>

class TWaveFile;

// True when the whole segment [startFrame, endFrame) was filtered (the wave is then marked
// changed and its undo holds the unfiltered segment). False when nothing was done (no wave,
// an empty segment, a filter that could not be designed: its message has been shown) or when
// the user cancelled (the segment is then restored from the undo). The wave's position is
// kept.
bool FilterWaveSegment(TWaveFile* wave, std::int32_t startFrame, std::int32_t endFrame, const FilterSettings& settings,
                       const SegmentProgress& hooks);
