// Feeds arbitrary bytes to the THD+N window as a *.thd result file: a file is refused with a
// message, or it loads and draws in one or two panes on every combination of linear and
// logarithmic axes; saved again it reads back point for point with the same ranges.
#include "FuzzSupport.h"
#include "FuzzWindows.h"

#include "dsp/ThdFreqAnalysis.h"
#include "utilities/TTHDFreq.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::QuietBoxes();
    static ThdFreqSettings settings;
    static TTHDFreq* window = [] {
        static ThdFreqLinks links;
        links.settings = &settings;
        auto* w = new TTHDFreq;
        if (!w->Create(WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, CRect(0, 0, 640, 420), fuzz::Frame(), &links))
            std::abort();
        return w;
    }();
    const std::string path = fuzz::PutFile("Probe.thd", data, size);
    if (path.empty())
        return 0;
    settings = ThdFreqSettings{};
    settings.LimitAEnabled = 0;
    if (!window->LoadThdFile(path))
        return 0;
    ThdFreqAnalysis& a = window->Analysis();
    FUZZ_REQUIRE(a.PointCount() >= 1);
    for (WORD scales = 0; scales < 4; ++scales) {
        settings.FrequencyScale = scales & 1;
        settings.AmplitudeScale = scales >> 1;
        window->UpdateLayout();
        fuzz::Redraw(window);
    }
    (void)a.PointsText();

    const std::string written = fuzz::ScratchFile("Written.thd");
    FUZZ_REQUIRE(window->SaveThdFile(written));
    ThdFreqSettings otherSettings;
    ThdFreqAnalysis back(&otherSettings);
    FUZZ_REQUIRE(back.LoadFile(written));
    FUZZ_REQUIRE(back.PointCount() == a.PointCount() && back.pointsB.size() == a.pointsB.size());
    for (std::size_t i = 0; i < a.pointsA.size(); ++i)
        FUZZ_REQUIRE(back.pointsA[i].Frequency == a.pointsA[i].Frequency && back.pointsA[i].ThdN == a.pointsA[i].ThdN);
    for (std::size_t i = 0; i < a.pointsB.size(); ++i)
        FUZZ_REQUIRE(back.pointsB[i].Frequency == a.pointsB[i].Frequency && back.pointsB[i].ThdN == a.pointsB[i].ThdN);
    FUZZ_REQUIRE(otherSettings.StartFrequency == settings.StartFrequency &&
                 otherSettings.PlotTop == settings.PlotTop && otherSettings.ChannelCount == settings.ChannelCount);
    return 0;
}
