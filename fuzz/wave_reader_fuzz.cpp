// Feeds arbitrary bytes to the wave reader: the RIFF walk, the calibration chunks, the format
// checks and the sample read, as the memory image reader and the file readers use them.
#include "platform/core/MessageBox.h"
#include "wave/TWaveFile.h"
#include "wave/WaveRiff.h"

#include "platform/core/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace {

bool QuietBoxes()
{
    // Damaged input shows message boxes; here nobody is there to read them.
    SetMessageBoxPresenter([](const MessageBoxRequest&) { return IDOK; });
    return true;
}

// The streamed reader works on a file: every fourth input also goes through one, read to
// its end in the pieces the segment copies use.
void ReadStreamed(const std::uint8_t* data, std::size_t size)
{
    struct Scratch {
        std::string path = MakeTempFile("", "wav");
        ~Scratch()
        {
            if (!path.empty())
                std::remove(path.c_str());
        }
    };
    static const Scratch scratch;
    const std::string& path = scratch.path;
    if (path.empty())
        return;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    TWaveFile wave(path, TWaveFile::kStreamed, false, "");
    if (wave.IsError())
        return;
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(TWaveFile::kPieceFrames) * wave.FramesToBytes(1));
    for (DWORD first = 0; first < wave.GetEndFrame(); first += TWaveFile::kPieceFrames) {
        wave.Seek(first);
        (void)(wave.ReadBytes(piece.data(), static_cast<DWORD>(piece.size())));
    }
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
    if (size % 4 == 0)
        ReadStreamed(data, size);
    return 0;
}
