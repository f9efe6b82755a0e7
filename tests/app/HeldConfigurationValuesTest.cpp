// A configuration whose plot, marker and generator values lie beyond what their dialogs take:
// the load holds them and names them in its one message, and the options sheet then takes OK
// on every page, as the marker dialog does, without a word.
#include "FilesFrameFixture.h"

#include "app/settings/ConfigurationFile.h"
#include "plots/CPlotOptionsMain.h"
#include "plots/TMarkerOptionsDialog.h"
#include "res/PlotOptionsDialogIds.h"

#include <fstream>
#include <memory>
#include <string>

using namespace filesframe;

namespace {
using HeldConfigurationValues = FilesFrame;

// Replaces the value of key in the first [section] of a written configuration.
bool SetKey(std::string& text, const std::string& section, const std::string& key, const std::string& value)
{
    const std::size_t at = text.find("[" + section + "]\r\n");
    if (at == std::string::npos)
        return false;
    const std::size_t line = text.find("\r\n" + key + "=", at);
    if (line == std::string::npos)
        return false;
    const std::size_t begin = line + 2 + key.size() + 1;
    text.replace(begin, text.find("\r\n", begin) - begin, value);
    return true;
}
} // namespace

TEST_F(HeldConfigurationValues, AreNamedInTheOneLoadMessageAndEveryOptionsPageThenTakesOk)
{
    ASSERT_NE(Start(), nullptr);
    auto other = std::make_unique<FrameSettings>();
    other->Markers[0].Enabled[1] = 1;
    const std::string path = Data("config/Beyond.cfg");
    ASSERT_TRUE(WriteConfigurationFile(*other, path.c_str()));
    std::string text = ReadFile(path);
    // Each value beyond its dialog, and the line the load's message names it by.
    const struct {
        const char* section;
        const char* key;
        const char* value;
        const char* now;
    } edits[] = {
        {"PhaseOpts_0", "PlotTop", "1e9", "180.000000"},
        {"PhaseOpts_0", "PlotRange", "-5", "360.000000"},
        {"SpectrogramOpts_0", "StartFreq", "1e12", "400.000000"},
        {"SurfaceOpts_0", "IntervalSecs", "1e6", "2.000000"},
        {"TimeSeriesOpts_0", "PlotTop", "-3e7", "100.000000"},
        {"SpectrumOpts_0", "Offset1_2", "500", "0.000000"},
        {"SpectrumOpts_0", "OverlayLegendSize", "300", "8"},
        {"Marker_0", "Freq_1", "-1e30", "500.000000"},
        {"Device", "SigGenBitsPerSample", "13", "24"},
        {"ChannelInfo_3", "Gain", "inf", "10.000000"},
        {"Main", "MasterDisplayGain", "nan", "0"},
        {"Calibration_2", "RefLevel", "-nan", "20.000000"},
    };
    for (const auto& e : edits)
        ASSERT_TRUE(SetKey(text, e.section, e.key, e.value)) << e.section << " " << e.key;
    std::ofstream(path, std::ios::binary) << text;

    user.ExpectBox(IDOK, "[PhaseOpts_0] PlotTop=1e9 (now 180.000000)");
    frame->LoadConfiguration(path.c_str());
    ASSERT_EQ(user.Pending(), 0u);
    const std::vector<std::string> shown = user.Texts();
    ASSERT_FALSE(shown.empty());
    const std::string& message = shown.back();
    for (const auto& e : edits) {
        const std::string named = std::string("[") + e.section + "] " + e.key + "=" + e.value + " (now " + e.now + ")";
        EXPECT_NE(message.find(named), std::string::npos) << named << "\n" << message;
    }

    const FrameSettings& f = frame->Settings;
    EXPECT_EQ(f.Output.SigGenBitsPerSample, 24u);
    EXPECT_FLOAT_EQ(f.PhaseOpts[0].PlotTop, 180.0f);
    EXPECT_FLOAT_EQ(f.SpectrogramOpts[0].StartFreq, 400.0f);
    EXPECT_FLOAT_EQ(f.Markers[0].Freq[1], 500.0f);

    // The real sheet, every page visited, then OK: nothing refused, nothing changed.
    const PhasePlotSettings phaseBefore = f.PhaseOpts[0];
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        for (int page = 0; page < 5; ++page)
            s.SetActivePage(page);
        CDialog::ScriptModal([](CWnd& d) { dlgtest::Click(d, IDOK); });
        dlgtest::Click(s.m_SpectrumPage, IDC_PO_MARKER_OPTIONS);
        dlgtest::Click(s, IDOK);
    });
    frame->ShowPlotOptions(1, 0);
    EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
    EXPECT_FLOAT_EQ(f.PhaseOpts[0].PlotTop, phaseBefore.PlotTop);
    EXPECT_FLOAT_EQ(f.Markers[0].Freq[1], 500.0f);
    EXPECT_EQ(f.Markers[0].Enabled[1], 1u);

    // Saved again, the held values read back without a word.
    frame->SaveConfiguration(path.c_str());
    frame->LoadConfiguration(path.c_str());
    EXPECT_EQ(user.Pending(), 0u);
}
