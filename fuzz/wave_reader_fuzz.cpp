// Feeds arbitrary bytes to the wave reader: the RIFF walk, the calibration chunks, the format
// checks and the sample read, as the memory image reader and the file readers use them.
#include "platform/core/MessageBox.h"
#include "wave/TWaveFile.h"
#include "wave/WaveRiff.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

bool QuietBoxes()
{
    // Damaged input shows message boxes; here nobody is there to read them.
    SetMessageBoxPresenter([](const MessageBoxRequest&) { return IDOK; });
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static bool quiet = QuietBoxes();
    (void)quiet;
    std::span<const std::uint8_t> image(data, size);
    TWaveFile wave(image);
    if (!wave.IsError()) {
        // Everything the reader accepted must be readable to its end.
        float hi = 0, lo = 0;
        wave.GetRangeMinMax(0, wave.GetEndFrame(), hi, lo, 1, true, true);
        volatile double s = wave.GetSample(wave.GetEndFrame() - 1, 1, true);
        (void)s;
    }
    return 0;
}
