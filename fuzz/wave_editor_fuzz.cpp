// Takes a wave file through the editor's road: open it (in memory, or streamed with or
// without a backup copy), apply a few edits as the Edit commands do (set a sample, mute, cut,
// copy and paste over or in, undo), save it and open it again. Whatever the reader accepted, a
// save that reports success must leave a file that reopens with the frames the object held.
#include "FuzzSupport.h"

#include "platform/core/GlobalMemory.h"
#include "wave/TWaveFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <span>
#include <vector>

namespace {

constexpr DWORD kCompared = 1024; // frames compared at each end of the file

// The raw samples of the first and last frames, of the first two channels.
std::vector<double> Fingerprint(TWaveFile& wave)
{
    std::vector<double> out;
    const DWORD end = wave.GetEndFrame();
    const int channels = std::min<int>(wave.GetFormat().Channels, 2);
    auto take = [&](DWORD frame) {
        for (int c = 0; c < channels; ++c)
            out.push_back(wave.GetSample(frame, c, false));
    };
    for (DWORD f = 0; f < std::min(end, kCompared); ++f)
        take(f);
    for (DWORD f = end > kCompared ? std::max(end - kCompared, kCompared) : end; f < end; ++f)
        take(f);
    return out;
}

void Edit(TWaveFile& wave, FuzzedDataProvider& in)
{
    const int edits = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < edits; ++i) {
        const DWORD end = wave.GetEndFrame();
        if (end == 0)
            return;
        const DWORD a = in.ConsumeIntegralInRange<DWORD>(0, end - 1);
        const DWORD b = in.ConsumeIntegralInRange<DWORD>(a, end);
        switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0: {
            const int value = in.ConsumeIntegralInRange(-100, 100);
            const int channel = in.ConsumeIntegralInRange(0, 1);
            if (!wave.SaveUndo(TWaveFile::kUndoOverwritten, a, a + 1))
                break;
            // A refused sample (out of its range) is part of what is fuzzed.
            (void)wave.SetSample(value, a, channel);
            break;
        }
        case 1:
            if (wave.SaveUndo(TWaveFile::kUndoOverwritten, a, b))
                wave.MuteFrames(a, b);
            break;
        case 2:
            if (HGLOBAL image = wave.Cut(a, b))
                GlobalFree(image);
            break;
        case 3:
        case 4:
            if (HGLOBAL image = wave.MakeClipboardImage(a, b)) {
                const auto* p = static_cast<const std::uint8_t*>(GlobalLock(image));
                const std::span<const std::uint8_t> bytes(p, GlobalSize(image));
                const DWORD at = in.ConsumeIntegralInRange<DWORD>(0, end);
                // Whether anything was pasted shows in the frames compared after the save.
                if (in.ConsumeBool())
                    (void)wave.PasteInsert(bytes, at);
                else
                    (void)wave.PasteOver(bytes, at);
                GlobalUnlock(image);
                GlobalFree(image);
            }
            break;
        default:
            if (wave.IsUndoAvailable())
                wave.Undo();
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::QuietBoxes();
    FuzzedDataProvider in(data, size);
    const int mode = in.ConsumeIntegralInRange(0, 2);
    const std::vector<std::uint8_t> edits = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 32));
    const std::vector<std::uint8_t> file = in.ConsumeRemainingBytes<std::uint8_t>();
    const std::string path = fuzz::PutFile("edited.wav", file.data(), file.size());
    if (path.empty())
        return 0;
    std::vector<double> expected;
    DWORD frames = 0;
    {
        TWaveFile wave(path, mode == 0 ? TWaveFile::kMemory : TWaveFile::kStreamed, mode == 2,
                       fuzz::ScratchFolder());
        if (wave.IsError())
            return 0;
        FuzzedDataProvider editInput(edits.data(), edits.size());
        Edit(wave, editInput);
        if (!wave.Save())
            return 0;
        frames = wave.GetEndFrame();
        expected = Fingerprint(wave);
    }
    TWaveFile back(path, TWaveFile::kMemory, false, fuzz::ScratchFolder());
    if (frames == 0)
        return 0; // a wave cut to nothing is saved without samples, which no reader takes
    FUZZ_REQUIRE(!back.IsError());
    FUZZ_REQUIRE(back.GetEndFrame() == frames);
    FUZZ_REQUIRE(Fingerprint(back) == expected);
    return 0;
}
