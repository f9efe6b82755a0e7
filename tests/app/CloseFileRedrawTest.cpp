// Closing the files takes their traces off the plot windows at once, not at their next redraw,
// and the history windows' time labels with them: by the File menu's Close, and by Close File
// in File Operations while that dialog is still up.
#include "FilesFrameFixture.h"

#include "res/FileDialogIds.h"
#include "res/resource.h"

#include <functional>

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

class CloseFileRedraw : public FilesFrame {
protected:
    // A tone file on channel 0 run part way through its time series, spectrum, phase,
    // spectrogram and surface windows; then `close` closes it, and every window is checked as
    // last drawn.
    void RunThenClose(const std::function<void(const std::function<void()>& check)>& close)
    {
        ASSERT_NE(Start(), nullptr);
        ASSERT_TRUE(WriteWaveOf(Data("wave/tone.wav"), 4000, 40000, "16000 * math.sin(2 * math.pi * 250 * i / 4000)"));
        ASSERT_TRUE(OpenChannel(0, Data("wave/tone.wav")));
        for (int kind = 1; kind <= 5; ++kind)
            frame->OpenPlot(kind, 0, false);
        TPlotBase* series = frame->GetPlot(1, 0, false);
        TPlotBase* spectrum = frame->GetPlot(2, 0, false);
        auto* spectrogram = dynamic_cast<TSpectrogram*>(frame->GetPlot(4, 0, false));
        auto* surface = dynamic_cast<TSurfacePlot*>(frame->GetPlot(5, 0, false));
        ASSERT_NE(series, nullptr);
        ASSERT_NE(spectrum, nullptr);
        ASSERT_NE(spectrogram, nullptr);
        ASSERT_NE(surface, nullptr);
        // A few blocks of the file through the windows, stopped mid-file.
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
        ASSERT_STRNE(spectrogram->GetEntryEdgeText(), "00:00:00.00");
        ASSERT_STRNE(surface->GetEntryEdgeText(), "00:00:00.00");

        bool checked = false;
        close([&] {
            checked = true;
            EXPECT_EQ(frame->Settings.Files[0].File, nullptr);
            EXPECT_LE(RowsDrawnIn(series, seriesColour), 2);
            EXPECT_LE(RowsDrawnIn(spectrum, spectrumColour), 2);
            EXPECT_STREQ(spectrogram->GetEntryEdgeText(), "00:00:00.00");
            EXPECT_STREQ(surface->GetEntryEdgeText(), "00:00:00.00");
        });
        EXPECT_TRUE(checked);
    }
};
} // namespace

TEST_F(CloseFileRedraw, FileMenuCloseClearsTheOldTracesAtOnce)
{
    RunThenClose([&](const std::function<void()>& check) {
        frame->ExecuteCommand(ID_FILE_CLOSE);
        check();
    });
}

TEST_F(CloseFileRedraw, CloseFileInFileOperationsClearsThemWhileTheDialogIsUp)
{
    RunThenClose([&](const std::function<void()>& check) {
        CDialog::ScriptModal([&](CWnd& d) {
            dlgtest::Click(d, IDC_GROUP_CLOSE);
            check();
            dlgtest::Click(d, IDCANCEL);
        });
        frame->ExecuteCommand(ID_FILE_OPEN);
    });
}
