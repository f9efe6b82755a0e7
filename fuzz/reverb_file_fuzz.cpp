// Feeds arbitrary bytes to the RT-60 window as a *.rvb result file: a file is refused with a
// message, or it loads, every view draws (the bars, the decay of every band, the surface) and
// the text copies are made; saved again it reads back record for record.
#include "FuzzSupport.h"
#include "FuzzWindows.h"

#include "dsp/ReverbAnalysis.h"
#include "utilities/TReverb.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::QuietBoxes();
    static ReverbSettings settings;
    static TReverb* window = [] {
        static ReverbLinks links;
        links.settings = &settings;
        auto* w = new TReverb;
        if (!w->CreateReverbWindow(WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, CRect(0, 0, 640, 420), fuzz::Frame(),
                                   &links))
            std::abort();
        return w;
    }();
    const std::string path = fuzz::PutFile("Probe.rvb", data, size);
    if (path.empty())
        return 0;
    settings = ReverbSettings{};
    ReverbAnalysis& a = window->Analysis();
    a.viewMode = 0;
    if (!window->LoadReverbFile(path))
        return 0;
    FUZZ_REQUIRE(a.viewMode != 0 && a.bandCount >= 1 && a.recordCount >= 1);
    for (UINT view : {TReverb::kReverbTimes, TReverb::kDecayPlot, TReverb::kSurface}) {
        window->SendMessage(WM_COMMAND, view, 0);
        fuzz::Redraw(window);
        (void)a.ViewText(a.viewMode);
    }
    // The wideband decay and the first band's, with the decay starting a second later.
    for (DWORD band : {DWORD(0), static_cast<DWORD>(a.bandCount - 1)}) {
        settings.SelectedBand = band;
        window->SetStartOffset(band == 0 ? 1000 : 0);
        window->SendMessage(WM_COMMAND, TReverb::kDecayPlot, 0);
        fuzz::Redraw(window);
    }

    const std::string written = fuzz::ScratchFile("Written.rvb");
    FUZZ_REQUIRE(window->SaveReverbFile(written));
    ReverbSettings otherSettings;
    ReverbAnalysis back(&otherSettings);
    FUZZ_REQUIRE(back.LoadFile(written));
    FUZZ_REQUIRE(back.bandCount == a.bandCount && back.recordCount == a.recordCount);
    FUZZ_REQUIRE(otherSettings.StartOffset == settings.StartOffset);
    for (int r = 0; r < a.recordCount; ++r) {
        const ReverbRecord& x = a.records[static_cast<std::size_t>(r)];
        const ReverbRecord& y = back.records[static_cast<std::size_t>(r)];
        FUZZ_REQUIRE(x.Time == y.Time);
        for (int b = 0; b < a.bandCount; ++b)
            FUZZ_REQUIRE(x.Frequency[b] == y.Frequency[b] && x.Level[b] == y.Level[b]);
    }
    return 0;
}
