// Feeds arbitrary bytes to the configuration reader as a start-up configuration, then writes
// what it read and reads that back: whatever a file holds, the configuration the system writes
// from it must read back cleanly, whole and the same.
#include "FuzzSupport.h"

#include "app/settings/ConfigurationFile.h"

#include <algorithm>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::QuietBoxes();
    const std::string path = fuzz::PutFile("Durnex.cfg", data, size);
    if (path.empty())
        return 0;
    auto first = std::make_unique<FrameSettings>();
    ConfigurationCheck check;
    FUZZ_REQUIRE(ReadConfigurationFile(*first, path.c_str(), &check));

    const std::string written = fuzz::ScratchFile("written.cfg");
    FUZZ_REQUIRE(WriteConfigurationFile(*first, written.c_str()));
    auto second = std::make_unique<FrameSettings>();
    FUZZ_REQUIRE(ReadConfigurationFile(*second, written.c_str(), &check));
    FUZZ_REQUIRE(check.result == FileReadResult::Ok && !check.damaged);

    // A file the system wrote holds every key once, so another pass keeps every line, mode
    // and window placement (floats may move by their last printed decimal).
    const std::string again = fuzz::ScratchFile("again.cfg");
    FUZZ_REQUIRE(WriteConfigurationFile(*second, again.c_str()));
    auto third = std::make_unique<FrameSettings>();
    FUZZ_REQUIRE(ReadConfigurationFile(*third, again.c_str(), &check));
    std::string a, b;
    FUZZ_REQUIRE(ReadSmallFile(written, kMaxSettingsFileBytes, a) == FileReadResult::Ok);
    FUZZ_REQUIRE(ReadSmallFile(again, kMaxSettingsFileBytes, b) == FileReadResult::Ok);
    FUZZ_REQUIRE(std::count(a.begin(), a.end(), '\n') == std::count(b.begin(), b.end(), '\n'));
    FUZZ_REQUIRE(third->OpMode == second->OpMode);
    FUZZ_REQUIRE(std::memcmp(third->Placements, second->Placements, sizeof second->Placements) == 0);
    // Once written by the system, what is written reads back equal: values held to their
    // ranges stay held, and the next write is the same file, byte for byte.
    FUZZ_REQUIRE(check.replaced.empty() && !check.damaged);
    const std::string thrice = fuzz::ScratchFile("thrice.cfg");
    FUZZ_REQUIRE(WriteConfigurationFile(*third, thrice.c_str()));
    std::string c;
    FUZZ_REQUIRE(ReadSmallFile(thrice, kMaxSettingsFileBytes, c) == FileReadResult::Ok);
    FUZZ_REQUIRE(b == c);
    for (const ChannelProcessingSettings& p : third->Processing)
        FUZZ_REQUIRE(std::uint64_t(p.FFTsize) * p.DecimationRatio <= kMaxFftSize);
    return 0;
}
