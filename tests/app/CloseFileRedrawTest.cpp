// Close File takes the closed files' traces off the plot windows at once, not at their next
// redraw, and the history windows' time labels with them.
#include "FilesFrameFixture.h"

#include "res/resource.h"

using namespace filesframe;

namespace {
// Rows of what the window last drew (its surface, not a fresh repaint) holding the colour: a
// trace of a tone spans many, silence or nothing at most a line.
int RowsDrawnIn(CWnd* w, COLORREF colour)
{
    AfxPumpMessages(10);
    CSurface* s = w->GetSurface();
    if (!s || s->Image().isNull())
        return -1;
    const QImage& img = s->Image();
    const QRgb want = qRgb(GetRValue(colour), GetGValue(colour), GetBValue(colour)) & 0xFFFFFFu;
    int rows = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFFu) == want) {
                ++rows;
                break;
            }
    return rows;
}
} // namespace

TEST_F(FilesFrame, CloseFileClearsTheOldTracesAtOnce)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/tone.wav"), 4000, 40000, "16000 * math.sin(2 * math.pi * 250 * i / 4000)"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/tone.wav")));
    frame->OpenPlot(1, 0, false);
    frame->OpenPlot(2, 0, false);
    frame->OpenPlot(4, 0, false);
    frame->OpenPlot(5, 0, false);
    TPlotBase* series = frame->GetPlot(1, 0, false);
    TPlotBase* spectrum = frame->GetPlot(2, 0, false);
    ASSERT_NE(series, nullptr);
    ASSERT_NE(spectrum, nullptr);
    // A few blocks of the file through the spectrum.
    frame->ExecuteCommand(ID_RUN);
    for (int i = 0; i < 400 && frame->PostProcessBusy && frame->FftsProcessed < 3; ++i)
        frame->PostProcessStep();
    frame->ExecuteCommand(ID_STOP);
    AfxPumpMessages(10);
    series->RedrawWindow();
    spectrum->RedrawWindow();
    const COLORREF seriesColour = frame->Settings.TimeSeriesOpts[0].LineColor;
    const COLORREF spectrumColour = frame->Settings.SpectrumOpts[0].LineColor;
    ASSERT_GT(RowsDrawnIn(series, seriesColour), 40);
    ASSERT_GT(RowsDrawnIn(spectrum, spectrumColour), 40);

    // The history windows named the times of the lines they showed.
    auto* spectrogram = dynamic_cast<TSpectrogram*>(frame->GetPlot(4, 0, false));
    auto* surface = dynamic_cast<TSurfacePlot*>(frame->GetPlot(5, 0, false));
    ASSERT_NE(spectrogram, nullptr);
    ASSERT_NE(surface, nullptr);
    ASSERT_STRNE(spectrogram->GetEntryEdgeText(), "00:00:00.00");
    ASSERT_STRNE(surface->GetEntryEdgeText(), "00:00:00.00");

    frame->ExecuteCommand(ID_FILE_CLOSE);
    ASSERT_EQ(frame->Settings.Files[0].File, nullptr);
    EXPECT_STREQ(spectrogram->GetEntryEdgeText(), "00:00:00.00");
    EXPECT_STREQ(surface->GetEntryEdgeText(), "00:00:00.00");
    EXPECT_LE(RowsDrawnIn(series, seriesColour), 2);
    EXPECT_LE(RowsDrawnIn(spectrum, spectrumColour), 2);
}
