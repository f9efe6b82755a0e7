// Feeds arbitrary bytes as what a crash left in the wave folder: a label (up to the first NUL)
// and the working file after it. Whatever they hold, sealing a take gives a wave whose header
// names the frames it was asked for, in a file that compares equal to itself, or leaves the
// file as it was.
#include "FuzzSupport.h"

#include "wave/WorkingFile.h"

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::QuietBoxes();
    const std::uint8_t* nul = std::find(data, data + size, std::uint8_t(0));
    const std::size_t labelSize = std::size_t(nul - data);
    const std::size_t rest = labelSize < size ? labelSize + 1 : size;
    const std::string file = fuzz::PutFile("wav1.tmp", data + rest, size - rest);
    if (file.empty() || fuzz::PutFile("wav1.tmp.label", data, labelSize).empty())
        return 0;
    WorkingFileLabel label;
    WorkingWave wave;
    if (!ReadWorkingFileLabel(file, label) || !InspectWorkingWave(file, wave))
        return 0;
    const std::int64_t frames = TakeFrames(wave, label);
    FUZZ_REQUIRE(frames >= 0);
    if (!SealTake(file, wave, label, frames))
        return 0;
    WorkingWave sealed;
    FUZZ_REQUIRE(InspectWorkingWave(file, sealed));
    FUZZ_REQUIRE(sealed.frames == frames);
    FUZZ_REQUIRE(SameWaveData(file, file));
    return 0;
}
