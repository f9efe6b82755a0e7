// The spectrum window inside the frame: a wave file's tone, averaged by the frame, is drawn
// at the tone's column, and the window's channel commands reach the frame.
#include "FilesFrameFixture.h"

#include "records/SpectrumPlotSettings.h"
#include "dsp/SpectralData.h"
#include "platform/ui/GdiWindowDC.h"
#include "plots/spectrum/TSpectraPlot.h"

using namespace filesframe;

namespace {
using SpectrumInFrame = FilesFrame;
}

TEST_F(SpectrumInFrame, AFilesToneIsDrawnAtItsColumnAndTheCepstrumCommandReachesTheFrame)
{
    ASSERT_NE(Start(), nullptr);
    TSpectraPlot* plot = ToneSpectrum(8000);
    ASSERT_NE(plot, nullptr);
    SpectrumPlotSettings& s = frame->Settings.SpectrumOpts[0];
    AfxPumpMessages();

    // The highest pixel of the trace colour is the tone's peak.
    const CRect pane = plot->GetPlotRect();
    CClientDC dc(plot);
    CPoint top(-1, -1);
    for (int y = pane.top; y < pane.bottom && top.x < 0; ++y)
        for (int x = pane.left; x < pane.right; ++x)
            if (dc.GetPixel(x, y) == s.LineColor) {
                top = CPoint(x, y);
                break;
            }
    ASSERT_GE(top.x, 0);
    EXPECT_NEAR(plot->ColumnToFrequency(top.x), 1000.0f, 3 * (s.StopFreq - s.StartFreq) / pane.Width() + 8.0f);

    plot->SendMessage(WM_COMMAND, 801);
    EXPECT_TRUE(plot->IsQuefrencyMode());
    EXPECT_STREQ(plot->GetXUnit(), " msec");
}
