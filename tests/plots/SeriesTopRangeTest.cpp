// One Plot Top range for a time-series plot wherever a top can come from: typed into the
// window's tool strip, typed into the options page, or read from a configuration file. What one
// place takes the others take, and the page's refusal names that range.
#include "PlotTestSupport.h"

#include "app/settings/ConfigurationFile.h"
#include "platform/dialogs/DialogTestSupport.h"
#include "plots/CPlotOptionsMain.h"
#include "plots/TSeriesPlot.h"
#include "res/PlotOptionsDialogIds.h"
#include "support/ScratchFileTest.h"
#include "support/ScriptedUser.h"
#include "wave/TSampleBuffer.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

// The records a Plot Options sheet edits, and the sheet over them.
struct SheetRecords {
    TimeSeriesPlotSettings series[8];
    SpectrumPlotSettings spectrum[16];
    MarkerSettings markers[16];
    PhasePlotSettings phase[16];
    SpectrogramPlotSettings spectrogram[16];
    SurfacePlotSettings surface[16];
    CPlotOptionsMain Sheet()
    {
        return CPlotOptionsMain("Plot Options", nullptr, 1, 0, series, spectrum, markers, phase, spectrogram, surface, 0);
    }
};

class SeriesTops : public PlotWindows {
protected:
    void SetUp() override
    {
        PlotWindows::SetUp();
        CDialog::ClearModalScripts();
        char tmpl[] = "/tmp/durnex-top-XXXXXX";
        m_dir = mkdtemp(tmpl);
    }
    void TearDown() override
    {
        EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
        std::filesystem::remove_all(m_dir);
        PlotWindows::TearDown();
    }

    // The top the strip holds after `text` was typed and Enter pressed.
    float TypedInTheStrip(WORD scale, float before, const std::string& text)
    {
        TimeSeriesPlotSettings settings;
        settings.AmpScaleType = scale;
        settings.PlotTop = before;
        settings.PlotCenter = 0.0f;
        settings.StopTime = 999999.9f;
        auto* p = new TSeriesPlot;
        CRect r(0, 0, 700, 420);
        EXPECT_TRUE(p->Create("Time Series - Crown", kStyle, &r, &settings, &m_buffer, nullptr, nullptr, 0, 0));
        p->UpdateLayout();
        AfxPumpMessages();
        CEdit* top = p->GetEdit(TSeriesPlot::kTopEdit);
        QtTypeInto(top, text);
        QtPressKey(top, Qt::Key_Return);
        AfxPumpMessages();
        // The box shows what the plot holds.
        EXPECT_FLOAT_EQ(std::strtof(top->GetWindowTextString().c_str(), nullptr), settings.PlotTop);
        p->DestroyWindow();
        AfxPumpMessages();
        return settings.PlotTop;
    }

    // The messages the page shows on OK with `text` in its Plot Top box (`refusal` scripted as
    // the one expected), and the top it stores.
    std::vector<std::string> OkOnThePage(WORD scale, const std::string& text, const std::string& refusal,
                                         float& stored)
    {
        SheetRecords r;
        TimeSeriesPlotSettings* series = r.series;
        series[0].AmpScaleType = scale;
        series[0].PlotTop = 1.0f;
        series[0].PlotCenter = -20.0f;
        ScriptedUser user;
        CDialog::ScriptModal([&](CWnd& w) {
            auto& s = static_cast<CPlotOptionsMain&>(w);
            s.m_SeriesPage.SetDlgItemText(IDC_PO_TOP, text.c_str());
            if (!refusal.empty())
                user.ExpectBox(IDOK, refusal);
            dlgtest::Click(s, IDOK);
            if (s.GetSafeHwnd() && s.IsWindowVisible())
                dlgtest::Click(s, IDCANCEL);
        });
        const WORD scales[8] = {scale, scale, scale, scale, scale, scale, scale, scale};
        CPlotOptionsMain sheet = r.Sheet();
        sheet.SetAmpScaleTypes(scales, 8);
        sheet.DoModal();
        stored = series[0].PlotTop;
        return user.Texts();
    }

    // Whether a configuration holding `text` as the top keeps it (false: held and named).
    bool KeptByTheConfiguration(WORD scale, const std::string& text)
    {
        const std::string path = (m_dir / "Top.cfg").string();
        std::ofstream(path) << "[TimeSeriesOpts_0]\nAmpScaleType=" << scale << "\nPlotTop=" << text << "\n";
        auto s = std::make_unique<FrameSettings>();
        ConfigurationCheck check;
        EXPECT_TRUE(ReadConfigurationFile(*s, path.c_str(), &check));
        for (const std::string& named : check.replaced)
            if (named.find("PlotTop") != std::string::npos)
                return false;
        return true;
    }

    TSampleBuffer m_buffer{4000, TPcmFormat(4000, 1, 2), 1, false};
    std::filesystem::path m_dir;
};

} // namespace

TEST_F(SeriesTops, TheStripThePageAndAConfigurationTakeTheSameTops)
{
    const std::string linearRange = "Plot Top must be between -10000000.00 and 10000000.00";
    const std::string dbRange = "Plot Top must be between -400.00 and 400.00";
    const struct {
        WORD scale;
        const char* top;
        bool taken;
    } rows[] = {
        // Linear: the pane spans the centre below the top, so 0 and below are views too.
        {0, "0", true},
        {0, "-5", true},
        {0, "1e-8", true},
        {0, "10000000", true},
        {0, "-10000000", false},
        {0, "2e7", false},
        // Decibels.
        {1, "0", true},
        {1, "-399", true},
        {1, "400", true},
        {1, "-400", false},
        {1, "450", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << (row.scale == 0 ? "linear" : "dB") << " top " << row.top);
        const float value = std::strtof(row.top, nullptr);
        const float before = row.scale == 0 ? 50.0f : -10.0f;
        EXPECT_FLOAT_EQ(TypedInTheStrip(row.scale, before, row.top), row.taken ? value : before) << "strip";
        float stored = 0.0f;
        const std::string refusal = row.taken ? "" : row.scale == 0 ? linearRange : dbRange;
        const std::vector<std::string> said = OkOnThePage(row.scale, row.top, refusal, stored);
        EXPECT_EQ(said, row.taken ? std::vector<std::string>{} : std::vector<std::string>{refusal}) << "page";
        EXPECT_FLOAT_EQ(stored, row.taken ? value : 1.0f) << "page";
        EXPECT_EQ(KeptByTheConfiguration(row.scale, row.top), row.taken) << "configuration";
    }
}

// Plot Center above Plot Top is refused in plain words.
TEST_F(SeriesTops, ACentreAboveTheTopIsRefusedInPlainWords)
{
    SheetRecords r;
    ScriptedUser user;
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        s.m_SeriesPage.SetDlgItemText(IDC_PO_TOP, "5");
        s.m_SeriesPage.SetDlgItemText(IDC_PO_CENTER, "6");
        user.ExpectBox(IDOK, "Plot Center must be less than the Plot Top setting");
        dlgtest::Click(s, IDOK);
        dlgtest::Click(s, IDCANCEL);
    });
    CPlotOptionsMain sheet = r.Sheet();
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);
}
