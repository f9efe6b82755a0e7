// What a shrinking plot window uncovers, as the X server shows it (openbox on its own Xvfb
// display): the windows below it are painted again there, their title bars, borders and tool
// strips included, not left showing the picture of the window that stood over them.
#include "FrameFixture.h"

#include "support/QtTestAccess.h"
#include "support/RealDisplay.h"


using namespace frametest;

namespace {

class ShrinkRepaint : public OnRealDisplay<FrameFixture> {
protected:
    ShrinkRepaint() : OnRealDisplay("1920x1080x24") {}
};

QImage Screen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32); }

// The pixels of `region` (screen coordinates) that differ between two pictures of the screen.
int Differing(const QImage& a, const QImage& b, const QRegion& region)
{
    int n = 0;
    for (const QRect& r : region)
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y))
                    ++n;
    return n;
}

QRect OnScreen(QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

} // namespace

// The spectrum over the time series, shrunk from about 1150 x 560 to 765 x 230: the part of the
// time series it uncovers (its title bar, borders and tool strip among it) shows on the screen
// what the time series shows once everything is painted anew.
TEST_F(ShrinkRepaint, WhatAShrinkingPlotUncoversIsPaintedAgain)
{
    ASSERT_NE(Start(), nullptr);
    frame->OpenPlot(1, 0, false);
    frame->OpenPlot(2, 0, false);
    TPlotBase* series = frame->GetPlot(1, 0, false);
    TPlotBase* spectrum = frame->GetPlot(2, 0, false);
    ASSERT_TRUE(series && spectrum);
    series->MoveWindow(0, 0, 1000, 480);
    spectrum->MoveWindow(20, 20, 1150, 560);
    spectrum->MDIActivate();
    AfxPumpMessages(1500);
    spectrum->MoveWindow(20, 20, 765, 230);
    AfxPumpMessages(1000);
    const QImage after = Screen();
    ASSERT_FALSE(after.isNull());
    QWidget* sub = QtWidgetOf(series);
    QWidget* top = sub->window();
    const QRegion uncovered = QRegion(OnScreen(sub)) - QRegion(OnScreen(QtWidgetOf(spectrum)));
    for (QWidget* w : top->findChildren<QWidget*>())
        if (w->isVisible())
            w->repaint();
    AfxPumpMessages(500);
    const QImage repainted = Screen();
    EXPECT_EQ(Differing(after, repainted, uncovered), 0);
}
