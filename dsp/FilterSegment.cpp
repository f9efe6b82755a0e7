#include "dsp/FilterSegment.h"

#include "dsp/FirFilter.h"
#include "wave/TWaveFile.h"

#include <algorithm>

bool FilterWaveSegment(TWaveFile* wave, std::int32_t startFrame, std::int32_t endFrame, const FilterSettings& settings,
                       const SegmentProgress& hooks)
{
    if (wave == nullptr || startFrame < 0)
        return false;
    const std::int64_t end = std::min<std::int64_t>(endFrame, wave->GetLength());
    if (end <= startFrame)
        return false;
    const std::int64_t total = end - startFrame;
    const DWORD position = wave->GetPosition();

    // Designed before the undo is taken: a design that fails leaves the wave and its
    // previous undo as they were.
    TFilter filter(wave->GetFormat(), settings);
    if (filter.GetError())
        return false;
    const std::int64_t blockFrames = wave->GetSampleRate(); // one second
    if (blockFrames <= 0)
        return false;

    // Without an undo copy a cancelled filtering could not be taken back: nothing is filtered.
    if (!wave->SaveUndo(TWaveFile::kUndoOverwritten, static_cast<DWORD>(startFrame), static_cast<DWORD>(end)))
        return false;

    std::int64_t blocks = total / blockFrames;
    std::int64_t rest = total - blocks * blockFrames;
    std::int64_t length = blockFrames;
    if (blocks == 0) {
        blocks = 1;
        length = total;
        rest = 0;
    }
    bool cancelled = false;
    std::int64_t frame = startFrame;
    for (std::int64_t i = 0; i < blocks; ++i) {
        hooks.Report(static_cast<int>(i * 100 / blocks));
        // A block that can't be read is left as it is; the others are still filtered.
        filter.ApplyBlock(wave, static_cast<std::uint32_t>(frame), static_cast<std::int32_t>(length));
        frame += length;
        if (hooks.Cancelled()) {
            cancelled = true;
            break;
        }
    }
    if (!cancelled) {
        if (rest > 0)
            filter.ApplyBlock(wave, static_cast<std::uint32_t>(frame), static_cast<std::int32_t>(rest));
        filter.Finish(wave); // the last frames, which wait on the filter's delay
    }

    if (cancelled) {
        wave->Undo(); // the file is as it was before
    } else {
        wave->SetModified(true);
        wave->EditDone();
    }
    wave->Seek(position);
    return !cancelled;
}
