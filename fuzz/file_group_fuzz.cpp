// Feeds arbitrary bytes to the file-group reader: the test information and every channel's
// wave file as the group names it. A name taken from a group must be stored again as one
// that names the same file, and the test date read back as written.
#include "FuzzSupport.h"

#include "wave/FileGroup.h"

#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::QuietBoxes();
    const std::string group = fuzz::PutFile("Take.qrx", data, size);
    if (group.empty())
        return 0;
    FileGroupInfo info;
    ReadFileGroupInfo(group, info);
    for (int channel = 0; channel < kFileGroupChannels; ++channel) {
        const std::string wave = ReadFileGroupEntry(group, channel);
        if (wave.empty())
            continue;
        const std::string again = ResolveFileGroupEntry(group, FileGroupEntryFor(group, wave));
        FUZZ_REQUIRE(std::filesystem::path(again).lexically_normal() ==
                     std::filesystem::path(wave).lexically_normal());
    }
    const std::string written = fuzz::ScratchFile("Written.qrx");
    std::remove(written.c_str());
    FUZZ_REQUIRE(WriteFileGroupInfo(written, info));
    FileGroupInfo back;
    ReadFileGroupInfo(written, back);
    FUZZ_REQUIRE(back.TestDate == info.TestDate);
    return 0;
}
