// Feeds arbitrary bytes to File > Import as a source file, text or binary by the first byte:
// the import must end (done, failed or nothing to import) and a finished one must leave a wave
// file that opens with one frame for every value it counted.
#include "FuzzSupport.h"

#include "wave/ImportProcess.h"
#include "wave/TWaveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::QuietBoxes();
    if (size < 2)
        return 0;
    ImportSettings settings;
    const std::uint8_t options = data[0];
    settings.Format = static_cast<WORD>(options % 6);
    settings.BytesPerSample = (options & 0x08) != 0 ? 3 : 2;
    settings.HasHeader = (options & 0x10) != 0 ? 1 : 0;
    settings.HeaderSize = options >> 6;
    settings.Column = 1 + (options >> 5) % 3;
    settings.ScalingMode = static_cast<WORD>((options >> 3) % 3);
    settings.SampleRate = 8000;
    const std::string source = fuzz::PutFile("source.txt", data + 1, size - 1);
    if (source.empty())
        return 0;
    const std::string target = fuzz::ScratchFile("imported.wav");
    std::remove(target.c_str());
    TImportProcess import(source, target, settings, fuzz::ScratchFolder());
    if (!import.Start())
        return 0;
    // Every step converts at least one block, so the number of steps is bounded by the size.
    for (std::size_t steps = 0; import.Step(); ++steps)
        FUZZ_REQUIRE(steps <= size + 2);
    if (import.GetState() != TImportProcess::State::Done)
        return 0;
    TWaveFile wave(target, TWaveFile::kMemory, false, fuzz::ScratchFolder());
    FUZZ_REQUIRE(!wave.IsError());
    FUZZ_REQUIRE(wave.GetEndFrame() == import.GetCount());
    return 0;
}
