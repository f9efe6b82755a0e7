// A time-series plot printed through File/Print into a PDF: laid out at the printer's
// resolution with its axes and trace (in its colour, black on a monochrome printer), and back
// to its screen layout afterwards.
#include "LayoutFixture.h"

#include "platform/ui/Print.h"
#include "plots/TSeriesPlot.h"
#include "wave/TSampleBuffer.h"

#include "support/QtTestAccess.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace layouttest;

TEST_F(FrameFixture, APrintedTimeSeriesCarriesItsAxesAndTrace)
{
    frame->OpenTimeSeriesPlot(0);
    TSeriesPlot* plot = frame->TimeSeriesPlot[0];
    ASSERT_NE(plot, nullptr);
    TSampleBuffer block(1000, TPcmFormat(4000, 1, 2), 1, false);
    for (DWORD i = 0; i < 1000; ++i)
        block.SetSample(i, 16384);
    frame->Settings.TimeSeriesOpts[0].TimeSeriesDataSource = 1;
    frame->Settings.TimeSeriesOpts[0].PlotTop = 100.0f;
    frame->Settings.TimeSeriesOpts[0].PlotCenter = 0.0f;
    plot->SetBuffer(&block, nullptr);
    plot->UpdateLayout();
    frame->MDIActivate(plot);
    AfxPumpMessages(10);
    const CRect screenPlot = plot->GetPlotRect();

    // The trace keeps its colour on a colour printer and is black on a monochrome one.
    frame->Settings.TimeSeriesOpts[0].LineColor = RGB(255, 0, 0);
    for (const bool monochrome : {false, true}) {
        if (monochrome) {
            ASSERT_NE(frame->PrinterDevMode, nullptr);
            auto* dm = static_cast<DEVMODEA*>(GlobalLock(frame->PrinterDevMode));
            ASSERT_NE(dm, nullptr);
            dm->dmColor = DMCOLOR_MONOCHROME;
            GlobalUnlock(frame->PrinterDevMode);
        }
        const std::string name = monochrome ? "series-mono" : "series";
        const auto pdf = dir / (name + ".pdf");
        user->Expect({PromptKind::Print, IDOK, pdf.string()});
        CDialog::ScriptModal([](CWnd& d) { static_cast<CDialog&>(d).SendMessage(WM_COMMAND, IDOK, 0); });
        frame->ExecuteCommand(ID_FILE_PRINT);
        AfxPumpMessages(10);
        ASSERT_TRUE(std::filesystem::exists(pdf));

        const auto txt = dir / (name + ".txt");
        ASSERT_EQ(std::system(("pdftotext -layout '" + pdf.string() + "' '" + txt.string() + "'").c_str()), 0);
        std::ifstream in(txt);
        std::stringstream text;
        text << in.rdbuf();
        for (const char* want : {"Channel 0", "Time (milliseconds)"})
            EXPECT_NE(text.str().find(want), std::string::npos) << want << "\n" << text.str();

        const auto png = dir / name;
        ASSERT_EQ(std::system(("pdftoppm -r 60 -png -singlefile '" + pdf.string() + "' '" + png.string() + "'").c_str()),
                  0);
        const QImage page = QImage(QString::fromStdString(png.string() + ".png")).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(page.isNull());
        // The trace's colour (the grid is grey) in the band around 50 % of a 100 % top, in
        // every middle column.
        int traceColumns = 0;
        for (int x = page.width() / 3; x < 2 * page.width() / 3; ++x) {
            bool found = false;
            for (int y = page.height() * 3 / 10; y < page.height() * 55 / 100 && !found; ++y) {
                const QRgb c = page.pixel(x, y);
                found = monochrome ? qGray(c) < 60 : qRed(c) > 180 && qGreen(c) < 90 && qBlue(c) < 90;
            }
            traceColumns += found ? 1 : 0;
        }
        EXPECT_EQ(traceColumns, 2 * page.width() / 3 - page.width() / 3) << name;
    }

    // Back on screen, the plot has its own layout again.
    EXPECT_EQ(plot->GetPlotRect(), screenPlot);
    plot->SetBuffer(nullptr, nullptr);
    plot->UpdateLayout();
}
