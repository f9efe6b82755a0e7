// A value typed into a plot's tool strip and a command given at once, before the typing pause
// has passed: the command (the plot options sheet, a print, a configuration save, a run) sees
// the typed value, and the plot draws what its box and its record say. Typing and keys go
// through Qt key events on the real boxes, the keys through the frame's accelerators.
#include "FilesFrameFixture.h"

#include "plots/CPlotOptionsMain.h"
#include "res/PlotOptionsDialogIds.h"
#include "res/resource.h"

#include "support/QtTestAccess.h"
#include "support/RealDisplay.h"

#include <cstdio>
#include <functional>
#include <regex>
#include <string>

using namespace filesframe;

namespace {

// Presses and releases a key with modifiers while the focus is in `wnd`.
void PressKey(const CWnd* wnd, int key, Qt::KeyboardModifiers modifiers)
{
    QWidget* target = QtWidgetOf(wnd);
    ASSERT_NE(target, nullptr);
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
}

double Number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

class TypedThenCommand : public FilesFrame {
protected:
    struct Plot {
        const char* name;
        TPlotBase* window;
        CEdit* top;
        float* record;
        const char* section; // the record's in a configuration file
        bool spectrum;
    };

    void SetUp() override
    {
        FilesFrame::SetUp();
        ASSERT_NE(Start(), nullptr);
        ASSERT_TRUE(
            WriteWaveOf(Data("wave/wav"), 8000, 16000, "round(12000 * math.sin(2 * math.pi * 1000 * i / 8000))"));
        ASSERT_TRUE(OpenChannel(0, Data("wave/wav")));
        frame->OpenTimeSeriesPlot(0);
        frame->ComputeSegmentAverageSpectrum(0, 0.0f, 1.0f, false);
        ASSERT_NE(frame->SpectrumPlot[0], nullptr);
        ASSERT_NE(frame->TimeSeriesPlot[0], nullptr);
        SpectrumPlotSettings& s = frame->Settings.SpectrumOpts[0];
        s.StartFreq = 0.0f;
        s.StopFreq = 4000.0f;
        frame->SpectrumPlot[0]->UpdateLayout();
        frame->SpectrumPlot[0]->Autoscale();
        frame->TimeSeriesPlot[0]->Autoscale();
        AfxPumpMessages();
    }

    Plot Spectrum()
    {
        return {"spectrum", frame->SpectrumPlot[0], frame->SpectrumPlot[0]->GetPlotTopEdit(),
                &frame->Settings.SpectrumOpts[0].PlotTop, "SpectrumOpts_0", true};
    }
    Plot Series()
    {
        return {"time series", frame->TimeSeriesPlot[0], frame->TimeSeriesPlot[0]->GetEdit(TSeriesPlot::kTopEdit),
                &frame->Settings.TimeSeriesOpts[0].PlotTop, "TimeSeriesOpts_0", false};
    }

    // Types `value` into the plot's top box and presses the key (if any) at once.
    void TypeAndPress(const Plot& p, float value, int key, Qt::KeyboardModifiers modifiers)
    {
        frame->MDIActivate(p.window);
        AfxPumpMessages();
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        ASSERT_TRUE(QtTypeInto(p.top, text));
        if (key != 0)
            PressKey(p.top, key, modifiers);
    }

    // What is drawn is what the box and the record say: the box reads the record, and laying
    // the window out again from the record draws the same picture.
    void ExpectDrawnAsSet(const Plot& p, float value)
    {
        EXPECT_FLOAT_EQ(*p.record, value) << p.name;
        EXPECT_NEAR(Number(p.top->GetWindowTextString()), value, 1e-4) << p.name;
        AfxPumpMessages();
        const QImage shown = QtClientPictureOf(p.window);
        p.window->UpdateLayout();
        AfxPumpMessages();
        const QImage again = QtClientPictureOf(p.window);
        // The trace inside the pane and the level labels beside it (the boxes keep the text as
        // typed, and a live pass leaves the pane's frame drawn a little otherwise).
        const CRect pane = p.window->GetPlotRect();
        const CRect inside(pane.left + 2, pane.top + 2, pane.right - 2, pane.bottom - 2);
        const CRect labels(0, pane.top - 8, pane.left - 3, pane.bottom + 8);
        for (const CRect& r : {inside, labels}) {
            int differing = 0;
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x)
                    differing += shown.pixel(x, y) != again.pixel(x, y) ? 1 : 0;
            EXPECT_EQ(differing, 0) << p.name << ": not drawn as the record says, in " << r.left << "," << r.top
                                    << " .. " << r.right << "," << r.bottom;
        }
    }

    // Scripts the options sheet: it opens on the plot's page with `value` as its top, and
    // `button` ends it.
    static void ScriptSheet(const Plot& p, float value, int button)
    {
        CDialog::ScriptModal([spectrum = p.spectrum, value, button](CWnd& w) {
            auto& sheet = static_cast<CPlotOptionsMain&>(w);
            CWnd& page = spectrum ? static_cast<CWnd&>(sheet.m_SpectrumPage) : sheet.m_SeriesPage;
            EXPECT_EQ(sheet.GetActivePage(), &page);
            EXPECT_NEAR(Number(page.GetDlgItem(IDC_PO_TOP)->GetWindowTextString()), value, 1e-3)
                << "the sheet shows the value in force";
            dlgtest::Click(sheet, button);
        });
    }

    void PrintTo(const std::string& pdf)
    {
        user.Expect({PromptKind::Print, IDOK, pdf});
        CDialog::ScriptModal([](CWnd& d) { d.SendMessage(WM_COMMAND, IDOK, 0); });
    }

    static std::string PdfText(const std::string& pdf)
    {
        const std::string txt = pdf + ".txt";
        const std::string cmd = "pdftotext -layout '" + pdf + "' '" + txt + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        // The header's time of printing differs from page to page.
        static const std::regex stamp(R"(\w{3} \w{3} +\d+ \d\d:\d\d:\d\d \d{4})");
        return std::regex_replace(ReadFile(txt), stamp, "");
    }

    // Whether the configuration file's [section] PlotTop reads `value`, as Python reads it.
    static bool SavedTop(const std::string& path, const char* section, float value)
    {
        return Python("import configparser, sys\nc = configparser.RawConfigParser(strict=False)\n"
                      "c.read('" + path + "')\n"
                      "sys.exit(0 if abs(float(c['" + section + "']['PlotTop']) - (" + std::to_string(value) +
                      ")) < 1e-3 else 1)\n");
    }
};

} // namespace

// Every command road, on both plots: each command is given with the typed value still within
// its pause, and finds it in force.
TEST_F(TypedThenCommand, EveryCommandSeesTheValueJustTypedAndThePlotDrawsIt)
{
    struct Command {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        // Scripts what the command asks before the key; then checks what it did with `value`.
        std::function<void(const Plot&, float value)> before, after;
    };
    const std::vector<Command> commands = {
        {"F5 and OK", Qt::Key_F5, Qt::NoModifier,
         [](const Plot& p, float value) { ScriptSheet(p, value, IDOK); },
         [this](const Plot& p, float value) {
             // Opened again, the sheet shows it still.
             ScriptSheet(p, value, IDCANCEL);
             frame->ExecuteCommand(ID_PLOT_OPTIONS);
             EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
         }},
        {"Print", Qt::Key_P, Qt::ControlModifier,
         [this](const Plot&, float) { PrintTo(Data("typed.pdf")); },
         [this](const Plot&, float) {
             // The page printed at once is the page printed with the value long in force.
             PrintTo(Data("settled.pdf"));
             frame->ExecuteCommand(ID_FILE_PRINT);
             AfxPumpMessages();
             EXPECT_EQ(PdfText(Data("typed.pdf")), PdfText(Data("settled.pdf")));
         }},
        {"Save Configuration", Qt::Key_F7, Qt::NoModifier,
         [this](const Plot& p, float) { user.ExpectFile(PromptKind::FileSave, Data(std::string(p.name) + ".cfg")); },
         [this](const Plot& p, float value) {
             EXPECT_TRUE(SavedTop(Data(std::string(p.name) + ".cfg"), p.section, value))
                 << "the saved configuration holds the typed top";
         }},
        {"Run", Qt::Key_R, Qt::AltModifier, nullptr,
         [this](const Plot&, float) { EXPECT_TRUE(PumpUntil([&] { return !frame->PostProcessBusy; }, 30000)); }},
    };

    for (const bool spectrum : {true, false}) {
        const Plot p = spectrum ? Spectrum() : Series();
        const float start = *p.record;
        // The spectrum's peak moves down the pane by the typed steps; the series is rescaled.
        const CRect pane = p.window->GetPlotRect();
        const COLORREF trace = frame->Settings.SpectrumOpts[0].LineColor;
        const float range = static_cast<float>(frame->Settings.SpectrumOpts[0].PlotRange);
        const int startRow = spectrum ? HighestRow(p.window, pane, trace) : 0;
        if (spectrum)
            ASSERT_GT(startRow, pane.top);
        float value = start;
        for (const Command& c : commands) {
            SCOPED_TRACE(std::string(p.name) + ", " + c.name);
            value += spectrum ? 5.0f : 10.0f;
            if (c.before)
                c.before(p, value);
            TypeAndPress(p, value, c.key, c.modifiers);
            // The command has run by now, with the typed value in force.
            EXPECT_FLOAT_EQ(*p.record, value);
            EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
            c.after(p, value);
            ExpectDrawnAsSet(p, value);
            if (spectrum && c.key != Qt::Key_R) {
                const int row = HighestRow(p.window, pane, trace);
                EXPECT_NEAR(row - startRow, (value - start) * pane.Height() / range, 1.5)
                    << "the peak is drawn where the typed top puts it";
            }
        }
    }
    EXPECT_EQ(user.Pending(), 0u);
}

// The record changes under the open sheet (here the window's own box, set while the sheet is
// up): OK writes the sheet's value back, and the window is drawn with it, not left showing
// the value the sheet replaced.
TEST_F(TypedThenCommand, ARecordChangedWhileTheSheetIsOpenIsDrawnAsTheSheetLeftIt)
{
    for (const bool spectrum : {true, false}) {
        const Plot p = spectrum ? Spectrum() : Series();
        SCOPED_TRACE(p.name);
        const float before = *p.record;
        frame->MDIActivate(p.window);
        AfxPumpMessages();
        CDialog::ScriptModal([&p, before](CWnd& w) {
            char text[32];
            std::snprintf(text, sizeof text, "%g", before - 20.0f);
            p.top->SetWindowText(text);
            EXPECT_FLOAT_EQ(*p.record, before - 20.0f);
            dlgtest::Click(static_cast<CPlotOptionsMain&>(w), IDOK);
        });
        frame->ExecuteCommand(ID_PLOT_OPTIONS);
        EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
        ExpectDrawnAsSet(p, before);
    }
}

// A configuration loaded (F8) at once after typing: the undo copy the load keeps of the state
// it replaces holds the typed value, and the loaded one is then drawn as its box and record say.
TEST_F(TypedThenCommand, ALoadAtOnceAfterTypingKeepsTheTypedValueInItsUndoCopy)
{
    const Plot p = Spectrum();
    const float before = *p.record;
    ASSERT_TRUE(frame->SaveConfiguration(Data("config/Other.cfg").c_str()));
    user.ExpectFile(PromptKind::FileOpen, Data("config/Other.cfg"));
    // The channel's calibration, taken from its wave file, comes back from the configuration
    // without a box.
    TypeAndPress(p, before + 15.0f, Qt::Key_F8, Qt::NoModifier);
    AfxPumpMessages();
    EXPECT_EQ(user.Pending(), 0u);
    const std::string undo = std::string(frame->Settings.Paths.cfg) + "/-Undo.cfg";
    EXPECT_TRUE(SavedTop(undo, p.section, before + 15.0f)) << "the undo copy holds the typed top";
    ASSERT_NE(frame->SpectrumPlot[0], nullptr) << "the loaded configuration reopens the spectrum";
    ExpectDrawnAsSet(Spectrum(), before);
}

// The frame closed (its close box) at once after typing: the start-up configuration it writes
// holds the typed value.
TEST_F(TypedThenCommand, ClosingAtOnceAfterTypingSavesTheTypedValue)
{
    const Plot p = Spectrum();
    const float typed = *p.record + 15.0f;
    TypeAndPress(p, typed, 0, Qt::NoModifier);
    ASSERT_TRUE(Close());
    EXPECT_TRUE(SavedTop(Data("Durnex.cfg"), p.section, typed));
}
