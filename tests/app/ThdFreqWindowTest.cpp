// The THD+N-versus-frequency window through the frame: a two-channel result file written by
// Python is loaded and drawn in two panes, and the save question keeps unsaved results.
#include "FilesFrameFixture.h"

#include "platform/ui/GdiWindowDC.h"
#include "res/resource.h"
#include "utilities/TTHDFreq.h"

using namespace filesframe;

namespace {

class ThdFreqWindow : public FilesFrame {
protected:
    TTHDFreq* Open()
    {
        frame->SendMessage(WM_COMMAND, ID_UTIL_THD_VS_FREQ, 0);
        AfxPumpMessages(10);
        return frame->THDFreqWnd;
    }

    static int CountColour(TTHDFreq* w, const CRect& p, COLORREF colour)
    {
        w->UpdateWindow();
        AfxPumpMessages();
        CClientDC dc(w);
        int n = 0;
        for (int y = p.top; y < p.bottom; ++y)
            for (int x = p.left; x < p.right; ++x)
                n += dc.GetPixel(x, y) == colour ? 1 : 0;
        return n;
    }
};

} // namespace

TEST_F(ThdFreqWindow, ATwoChannelFileIsDrawnInTwoPanesAndUnsavedResultsAreKept)
{
    ASSERT_NE(Start(), nullptr);
    TTHDFreq* w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->StatusText(), "THD+N vs Frequency data not available. Press Start to begin.");
    const std::string path = Data("thd/amp.thd");
    std::filesystem::create_directories(Data("thd"));
    ASSERT_TRUE(Python("import struct\n"
                       "pts = [(f, 0.01 * (1 + f / 2000.0)) for f in (100.0, 1000.0, 5000.0, 10000.0)]\n"
                       "d = struct.pack('<ii4f', 5000, 4, 100.0, 10000.0, 1.0, 0.001)\n"
                       "d += b''.join(struct.pack('<ff', *p) for p in pts)\n"
                       "d += b''.join(struct.pack('<ff', f, v * 3) for f, v in pts)\n"
                       "open('" + path + "', 'wb').write(d)\n"));
    user.ExpectFile(PromptKind::FileOpen, path);
    w->SendMessage(WM_COMMAND, TTHDFreq::kLoad, 0);
    EXPECT_EQ(w->GetWindowTextString(), "THD+N vs Frequency - " + path);
    EXPECT_EQ(frame->Settings.ThdFreq.ChannelCount, 2);
    EXPECT_EQ(frame->Settings.ThdFreq.StartFrequency, 100.0f);
    EXPECT_EQ(frame->Settings.ThdFreq.PlotTop, 1.0f);
    EXPECT_EQ(w->GetPaneMode(), 2);
    EXPECT_EQ(w->StatusText(), "");
    EXPECT_EQ(std::string(frame->Settings.WorkingPaths.thd), Data("thd"));
    // Both curves are drawn in the curve colour, each in its own pane.
    const COLORREF curve = frame->Settings.ThdFreq.CurveColor;
    EXPECT_GT(CountColour(w, w->GetPaneRectA(), curve), 50);
    EXPECT_GT(CountColour(w, w->GetPaneRectB(), curve), 50);

    // Axis ticks: 100 Hz .. 10 kHz on the logarithmic scale, decades of percent.
    const auto ticks = w->FrequencyTicks(w->GetPaneRectA().Width());
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front().offset, 0);
    int kept = 0, last = -1000;
    for (const auto& t : ticks)
        if (!t.label.empty()) {
            EXPECT_GE(t.offset - last, 30) << t.label;
            last = t.offset;
            ++kept;
        }
    EXPECT_GE(kept, 2);
    EXPECT_EQ(ticks.back().label, "10.0k");
    EXPECT_EQ(ticks.back().offset, w->GetPaneRectA().Width() - 1);

    // Yes, then Cancel in the save dialog: nothing was saved, so the window stays.
    w->Analysis().modified = 1;
    user.ExpectBox(IDYES, "THD+N vs Frequency Data has changed.  Do you want to save it?");
    user.ExpectFile(PromptKind::FileSave, "");
    frame->SendMessage(WM_COMMAND, ID_UTIL_THD_VS_FREQ, 0);
    AfxPumpMessages(10);
    ASSERT_EQ(frame->THDFreqWnd, w);
    EXPECT_EQ(w->Analysis().modified, 1);
    // Yes and a file: saved byte for byte as read, then closed.
    const std::string copy = Data("thd/copy.thd");
    user.ExpectBox(IDYES, "THD+N vs Frequency Data has changed.");
    user.ExpectFile(PromptKind::FileSave, copy);
    frame->SendMessage(WM_COMMAND, ID_UTIL_THD_VS_FREQ, 0);
    AfxPumpMessages(10);
    EXPECT_EQ(frame->THDFreqWnd, nullptr);
    EXPECT_EQ(Python("import sys\nsys.exit(0 if open('" + path + "','rb').read() == open('" + copy +
                     "','rb').read() else 1)\n"),
              true);
}
