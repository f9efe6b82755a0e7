// Feeds arbitrary bytes to the two readers of (frequency, value) tables: the overlay reader that
// spectrum plots, the THD+N limits and the overlay dialogs' microphone and filter entries use,
// and the spectral engine's microphone-compensation and filter-response loader. A table either
// is refused or answers finite values everywhere; an overlay written back reads back with as
// many entries.
#include "FuzzSupport.h"

#include "dsp/SpectralData.h"
#include "dsp/TOverlayData.h"
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"

#include <cmath>
#include <memory>
#include <vector>

namespace {

void CheckOverlay(const std::string& path, WORD scale)
{
    TOverlayData curve(path.c_str(), scale, 0.0f);
    if (curve.ErrorFlag() || curve.GetEntryCount() == 0)
        return;
    const float first = curve.EntryFrequency(0);
    const float last = curve.EntryFrequency(curve.GetEntryCount() - 1);
    const float step = (last - first) / 61.0f + 1.0f;
    for (float f = first / 2.0f; f <= last * 1.5f + step; f += step) {
        FUZZ_REQUIRE(std::isfinite(curve.ValueAt(f)));
        FUZZ_REQUIRE(std::isfinite(curve.ValueOverBand(f, f + step)));
    }
    const std::string written = fuzz::ScratchFile("Written.ovl");
    FUZZ_REQUIRE(curve.WriteFile(written.c_str(), curve.GetName()));
    TOverlayData back(written.c_str(), scale, 0.0f);
    FUZZ_REQUIRE(!back.ErrorFlag());
    FUZZ_REQUIRE(back.GetEntryCount() == curve.GetEntryCount());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::QuietBoxes();
    const std::string path = fuzz::PutFile("Probe.mic", data, size);
    if (path.empty())
        return 0;
    CheckOverlay(path, 0);
    CheckOverlay(path, 2); // one-third-octave plots hold each row as a flat band

    static ChannelProcessingSettings processing = [] {
        ChannelProcessingSettings p;
        p.SampleFormat.Set(4000, 1, 3);
        p.FFTsize = 1024;
        p.DecimationRatio = 1;
        p.AverageBlocks = 1;
        return p;
    }();
    static ChannelScalingSettings scaling = [] {
        ChannelScalingSettings s;
        s.AmpScaleType = 1;
        return s;
    }();
    static const std::unique_ptr<SpectralData> engine = std::make_unique<SpectralData>(&processing, &scaling, false);
    // Room for every bin (half the FFT size) and more.
    std::vector<float> levels(static_cast<std::size_t>(engine->GetFftSize()), 0.0f);
    if (engine->LoadCompensationFile(path.c_str(), levels.data()))
        for (float v : levels)
            FUZZ_REQUIRE(std::isfinite(v) && v >= -240.0f && v <= 240.0f);
    std::vector<float> taps(static_cast<std::size_t>(engine->GetFftSize()) + 1, 0.0f);
    if (engine->LoadFilterResponse(path.c_str(), static_cast<UINT>(taps.size()), taps.data()))
        for (float v : taps)
            FUZZ_REQUIRE(std::isfinite(v));
    return 0;
}
