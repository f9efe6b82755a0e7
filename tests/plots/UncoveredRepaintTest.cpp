// A plot window dragged over another and then shrunk: what it uncovers of the window below
// shows that window's own picture on the screen at once, not a ghost of the one that lay on it.
#include "PlotTestSupport.h"

#include "dsp/SpectralTestSupport.h"
#include "plots/TPhasePlot.h"
#include "records/MarkerSettings.h"
#include "records/PhasePlotSettings.h"


using namespace spectral_test;

namespace {

class UncoveredRepaint : public PlotWindows {
protected:
    TPhasePlot* Open(const CRect& r, COLORREF background)
    {
        settings.push_back(std::make_unique<PhasePlotSettings>());
        settings.back()->BackgroundColor = background;
        auto* p = new TPhasePlot;
        EXPECT_TRUE(p->Create("Phase - Crown", kStyle, &r, processing, scaling, markers, settings.back().get(), &engine,
                              nullptr, 0));
        AfxPumpMessages();
        return p;
    }
    // Pixels of the window's client area whose picture on the screen differs from its own
    // surface, inside `area` (client coordinates).
    static int Stale(CWnd* w, const QImage& screen, const CRect& area)
    {
        const QImage own = w->GetSurface()->Image();
        CPoint origin(0, 0);
        w->ClientToScreen(&origin);
        int stale = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (x < own.width() && y < own.height() &&
                    screen.pixel(origin.x + x, origin.y + y) != own.pixel(x, y))
                    ++stale;
        return stale;
    }

    ChannelProcessingSettings processing = Processing(48000, 8192);
    ChannelScalingSettings scaling = Scaling(1);
    MarkerSettings markers;
    std::vector<std::unique_ptr<PhasePlotSettings>> settings;
    SpectralData engine{&processing, &scaling, false};
};

} // namespace

// Stopped, and running (each window redrawing its traces between the steps of the drag).
TEST_F(UncoveredRepaint, AShrunkWindowLeavesNoGhostOnTheWindowItUncovers)
{
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running ? "running" : "stopped");
        TPhasePlot* below = Open(CRect(0, 0, 600, 450), RGB(255, 255, 200));
        TPhasePlot* above = Open(CRect(620, 0, 960, 300), RGB(40, 40, 160));
        const auto step = [&] {
            if (running) {
                below->UpdateFrame(0.1f);
                above->UpdateFrame(0.1f);
            }
            AfxPumpMessages(5);
        };
        // Dragged over the lower window in steps, then shrunk from its corner in steps, as a
        // mouse drag moves and sizes it; each step is presented before the next.
        for (int x = 560; x >= 120; x -= 110) {
            above->MoveWindow(x, 60, 340, 300);
            step();
        }
        CRect before;
        above->GetWindowRect(&before);
        for (int size = 250; size >= 100; size -= 50) {
            above->MoveWindow(120, 60, size + 40, size);
            step();
        }
        AfxPumpMessages(20);
        CRect after;
        above->GetWindowRect(&after);
        const QImage shown = QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
            QImage::Format_RGB32);
        ASSERT_FALSE(shown.isNull());
        // What the upper window lay on and no longer covers, in the lower window's client area.
        CRect client;
        below->GetClientRect(&client);
        for (CRect part : {CRect(after.right, before.top, before.right, before.bottom),
                           CRect(before.left, after.bottom, before.right, before.bottom)}) {
            below->ScreenToClient(&part);
            part.IntersectRect(&part, &client);
            ASSERT_GT(part.Width() * part.Height(), 1000);
            EXPECT_EQ(Stale(below, shown, part), 0)
                << part.left << "," << part.top << "," << part.right << "," << part.bottom;
        }
        above->DestroyWindow();
        below->DestroyWindow();
        AfxPumpMessages();
    }
}
