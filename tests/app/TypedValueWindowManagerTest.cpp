// The typed tool-strip value and F5 at once, under a real window manager (openbox on its own
// Xvfb display), where the sheet takes the focus from the box as it opens: the sheet shows the
// typed value, and after OK the record, the box and the drawn trace all agree on it.
#include "FilesFrameFixture.h"

#include "plots/CPlotOptionsMain.h"
#include "res/PlotOptionsDialogIds.h"
#include "res/resource.h"
#include "support/RealDisplay.h"

#include "support/QtTestAccess.h"

#include <cstdio>
#include <cstdlib>

using namespace filesframe;

using TypedUnderWindowManager = OnRealDisplay<FilesFrame>;

TEST_F(TypedUnderWindowManager, F5AtOnceAfterTypingOpensTheSheetOnTheTypedTopAndOkKeepsIt)
{
    ASSERT_NE(Start(), nullptr);
    TSpectraPlot* plot = ToneSpectrum(16000);
    ASSERT_NE(plot, nullptr);
    SpectrumPlotSettings& s = frame->Settings.SpectrumOpts[0];
    frame->MDIActivate(plot);
    // The window manager maps and activates the frame some time after it is shown.
    ASSERT_TRUE(PumpUntil([&] { return QtWidgetOf(frame)->window()->isActiveWindow(); }, 10000));
    const CRect pane = plot->GetPlotRect();
    const int startRow = HighestRow(plot, pane, s.LineColor);
    ASSERT_GT(startRow, pane.top);
    const float start = s.PlotTop, range = static_cast<float>(s.PlotRange);
    const float typed = start + 10.0f;

    bool sheetShown = false;
    CDialog::ScriptModal([&](CWnd& w) {
        auto& sheet = static_cast<CPlotOptionsMain&>(w);
        // Let the window manager give the sheet the focus, as it does for the user.
        PumpUntil([&] { return QtWidgetOf(&sheet)->window()->isActiveWindow(); }, 10000);
        sheetShown = true;
        EXPECT_NEAR(std::strtod(sheet.m_SpectrumPage.GetDlgItem(IDC_PO_TOP)->GetWindowTextString().c_str(), nullptr),
                    typed, 1e-3);
        dlgtest::Click(sheet, IDOK);
    });
    char text[32];
    std::snprintf(text, sizeof text, "%g", typed);
    ASSERT_TRUE(QtTypeInto(plot->GetPlotTopEdit(), text));
    QtPressKey(plot->GetPlotTopEdit(), Qt::Key_F5);
    ASSERT_TRUE(sheetShown);
    // Longer than the typing pause: nothing that was typed lands later.
    AfxPumpMessages(1500);
    EXPECT_FLOAT_EQ(s.PlotTop, typed);
    EXPECT_NEAR(std::strtod(plot->GetPlotTopEdit()->GetWindowTextString().c_str(), nullptr), typed, 1e-4);
    EXPECT_NEAR(HighestRow(plot, pane, s.LineColor) - startRow, 10.0f * pane.Height() / range, 1.5);
}
