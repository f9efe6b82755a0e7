// Feeds arbitrary bytes to the simulator's file source as a wave file: the RIFF walk, the format
// checks, the bounds on what it holds and the resampling to the device's rate.
#include "FuzzSupport.h"

#include "platform/usb/KdrSimulator.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::QuietBoxes();
    const std::string path = fuzz::PutFile("source.wav", data, size);
    if (path.empty())
        return 0;
    std::string error;
    // Either it takes the file, or it says why; it never runs out of memory.
    if (!kdrsim::ConfigureSources("0=file:" + path, &error) && error.empty())
        __builtin_trap();
    return 0;
}
