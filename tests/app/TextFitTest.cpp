// Every dialog, property page, tool window, plot tool strip and utility window shows its texts
// whole: no label, button, check box, radio, group title or combo-box item is wider than the
// control that shows it, and no text a tool strip draws runs under one of its controls. The
// same cases run again at 200 % scale in a child process (Qt scales before it starts).
#include "FrameFixture.h"

#include "app/CStatusbar.h"
#include "app/CToolbar.h"
#include "app/CToolbar2.h"
#include "dialogs/COptionsMain.h"
#include "platform/ui/DialogTemplate.h"
#include "plots/CPlotOptionsMain.h"
#include "res/resource.h"
#include "siggen/CSigGen.h"

#include <cstdlib>
#include <map>

using namespace frametest;

namespace {
std::string Lines(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& l : lines)
        out += "  " + l + "\n";
    return out;
}

// The window's texts that do not fit, prefixed with what the window is.
void ExpectAllFit(const CWnd* wnd, const std::string& what)
{
    const std::vector<std::string> cut = QtTextsCutOff(wnd);
    EXPECT_TRUE(cut.empty()) << what << ":\n" << Lines(cut);
}

class TextFit : public FrameFixture {
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        ASSERT_NE(Start(), nullptr);
        frame->MoveWindow(0, 0, 1900, 1000);
        AfxPumpMessages(10);
    }

    // Drawn texts of a tool strip that run under one of its controls: within the strip, the
    // pixels under a shown control that differ from the colour most of them have.
    std::vector<std::string> StripTextsUnderControls(CWnd* plot, int stripHeight)
    {
        std::vector<std::string> out;
        plot->RedrawWindow();
        AfxPumpMessages(5);
        CSurface* surface = plot->GetSurface();
        if (!surface || surface->Image().isNull())
            return out;
        const QImage& img = surface->Image();
        const double ratio = img.devicePixelRatio();
        QWidget* client = QtClientWidgetOf(plot);
        for (QWidget* w : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!w->isVisibleTo(client) || w->geometry().top() >= stripHeight)
                continue;
            const QRect g = w->geometry().intersected(QRect(0, 1, client->width(), stripHeight - 3));
            std::map<QRgb, int> colours;
            int total = 0;
            for (int y = g.top(); y <= g.bottom(); ++y)
                for (int x = g.left(); x <= g.right(); ++x) {
                    const QPoint p(int(x * ratio), int(y * ratio));
                    if (img.rect().contains(p)) {
                        ++colours[img.pixel(p)];
                        ++total;
                    }
                }
            int most = 0;
            for (const auto& [c, n] : colours)
                most = std::max(most, n);
            if (total - most > 0)
                out.push_back(std::string(w->metaObject()->className()) + " at " + std::to_string(g.x()) + "," +
                              std::to_string(g.y()) + " " + std::to_string(g.width()) + "x" +
                              std::to_string(g.height()) + " covers " + std::to_string(total - most) +
                              " drawn pixels");
        }
        return out;
    }

    void ExpectPlotFits(TPlotBase* plot, const std::string& what)
    {
        ASSERT_NE(plot, nullptr) << what;
        // Wide enough for the whole strip: a narrower window cuts it at its edge by design.
        frame->MDIActivate(plot);
        plot->MoveWindow(0, 0, 1700, 700);
        AfxPumpMessages(10);
        ExpectAllFit(plot, what);
        const std::vector<std::string> under = StripTextsUnderControls(plot, 30);
        EXPECT_TRUE(under.empty()) << what << " tool strip:\n" << Lines(under);
    }
};
} // namespace

TEST_F(TextFit, EveryDialogTemplateAndPropertyPage)
{
    std::vector<std::pair<UINT, std::string>> keys;
    {
        auto& registry = dlg::detail::Templates();
        std::lock_guard lock(registry.mutex);
        for (const auto& [id, t] : registry.byId)
            keys.emplace_back(id, std::string());
        for (const auto& [name, t] : registry.byName)
            keys.emplace_back(0, name);
    }
    ASSERT_GT(keys.size(), 50u);
    for (const auto& [id, name] : keys) {
        CDialog dlg;
        const bool made = id != 0 ? dlg.Create(id, frame) : dlg.Create(name.c_str(), frame);
        ASSERT_TRUE(made) << id << " " << name;
        dlg.ShowWindow(SW_SHOW);
        AfxPumpMessages(2);
        ExpectAllFit(&dlg, "dialog " + (id != 0 ? std::to_string(id) : name) + " \"" + dlg.GetWindowTextString() + "\"");
        dlg.DestroyWindow();
    }
}

TEST_F(TextFit, TheSettingsSheetsWithWhatTheirPagesFillIn)
{
    user.ExpectBox(IDYES, "advanced users");
    CDialog::ScriptModal([](CWnd& w) {
        auto& sheet = static_cast<COptionsMain&>(w);
        for (int i = 0; i < sheet.GetPageCount(); ++i) {
            sheet.SetActivePage(i);
            AfxPumpMessages(2);
            ExpectAllFit(&sheet, "processing settings page " + std::to_string(i));
        }
        sheet.EndDialog(IDCANCEL);
    });
    frame->ShowProcessingSettings(0);

    CDialog::ScriptModal([](CWnd& w) {
        auto& sheet = static_cast<CPlotOptionsMain&>(w);
        for (int i = 0; i < sheet.GetPageCount(); ++i) {
            sheet.SetActivePage(i);
            AfxPumpMessages(2);
            ExpectAllFit(&sheet, "plot options page " + std::to_string(i));
        }
        sheet.EndDialog(IDCANCEL);
    });
    frame->SendMessage(WM_COMMAND, ID_PLOT_OPTIONS);
    EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
}

TEST_F(TextFit, ToolWindowsInEveryMode)
{
    for (int mode = 0; mode < 3; ++mode) {
        if (mode == 1)
            frame->SetModeRecorder(false);
        else if (mode == 2)
            frame->SetModePostProcess(false);
        AfxPumpMessages(5);
        ExpectAllFit(frame->Toolbar.get(), "main tool window, mode " + std::to_string(mode));
        ExpectAllFit(frame->Toolbar2.get(), "secondary tool window, mode " + std::to_string(mode));
        ExpectAllFit(frame->StatusBar.get(), "status bar, mode " + std::to_string(mode));
    }
}

TEST_F(TextFit, EveryPlotKindsToolStrip)
{
    const char* const kinds[] = {"", "time series", "spectrum", "phase", "spectrogram", "3-D surface"};
    for (int kind = 1; kind <= 5; ++kind) {
        frame->OpenPlot(kind, 0, false);
        ExpectPlotFits(frame->GetPlot(kind, 0, false), std::string(kinds[kind]) + " of channel 0");
    }
    // The strips' labels change with the amplitude scale.
    for (WORD scale : {0, 1}) {
        frame->Settings.TimeSeriesOpts[0].AmpScaleType = scale;
        frame->GetPlot(1, 0, false)->UpdateLayout();
        ExpectPlotFits(frame->GetPlot(1, 0, false), "time series, amplitude scale " + std::to_string(scale));
    }
    for (WORD scale : {0, 1, 2}) {
        frame->Settings.Scaling[0].AmpScaleType = scale;
        frame->GetPlot(2, 0, false)->UpdateLayout();
        ExpectPlotFits(frame->GetPlot(2, 0, false), "spectrum, amplitude scale " + std::to_string(scale));
    }
    for (int kind = 2; kind <= 5; ++kind) {
        frame->OpenPlot(kind, 0, true);
        ExpectPlotFits(frame->GetPlot(kind, 0, true), std::string(kinds[kind]) + " of composite A");
    }
}

TEST_F(TextFit, TheGeneratorAndEveryUtilityWindow)
{
    frame->OnSignalGenerator();
    AfxPumpMessages(10);
    ASSERT_NE(frame->SigGen, nullptr);
    ExpectAllFit(frame->SigGen.get(), "signal generator");
    for (int kind = 7; kind <= 19; ++kind) {
        ASSERT_TRUE(frame->ToggleUtilityWindow(kind)) << kind;
        AfxPumpMessages(5);
        ExpectAllFit(frame->GetUtilityWindow(kind), "utility window of kind " + std::to_string(kind));
    }
}

// The same cases with Qt scaling every window to 200 %, in a process of their own.
TEST(TextFitScaled, AtTwoHundredPercent)
{
    if (std::getenv("QT_SCALE_FACTOR") != nullptr)
        GTEST_SKIP() << "already scaled";
    const std::string cmd = "QT_SCALE_FACTOR=2 /proc/" + std::to_string(getpid()) +
                            "/exe --gtest_filter='TextFit.*' --gtest_brief=1 > /dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "run " << cmd << " to see what does not fit";
}
