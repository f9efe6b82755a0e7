// The status bar: panes and their texts, meter columns and bars drawn pixel by pixel, the
// overload count, and the progress bar driven from another thread by messages.
#include "LayoutFixture.h"

#include "numerics/TSmoothing.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiWindowDC.h"
#include "plots/spectrum/TSpectraPlot.h"

#include <thread>

using namespace layouttest;

namespace {
class StatusBar : public FrameFixture {
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        ShowAllToolWindows();
        bar = frame->StatusBar.get();
        ASSERT_NE(bar, nullptr);
    }
    QImage BarPicture() const
    {
        AfxPumpMessages(5);
        return QtPictureOf(bar);
    }
    void EnableChannels(int count)
    {
        for (int ch = 0; ch < 8; ++ch)
            frame->Settings.Device.Channels[ch].bIsEnabled = ch < count ? 1 : 0;
    }
    CStatusbar* bar = nullptr;
};
} // namespace

TEST_F(StatusBar, PanesAndMeterColumnsFollowTheEnabledChannels)
{
    const RECT panes[7] = {bar->StatePane, bar->ModePane, bar->RatePane, bar->BitsPane,
                           bar->ChannelPane, bar->FftPane, bar->WindowPane};
    const int lefts[7] = {3, 126, 229, 302, 355, 418, 521};
    const int rights[7] = {123, 226, 299, 352, 415, 518, 593};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(panes[i].left, lefts[i]);
        EXPECT_EQ(panes[i].right, rights[i]);
        EXPECT_EQ(panes[i].top, 3);
        EXPECT_EQ(panes[i].bottom, 20);
    }
    // Channels 0..2 enabled: two columns, channel 3's bar empty.
    EnableChannels(3);
    bar->Update(2);
    EXPECT_EQ(bar->MeterColumnCount, 2);
    const int area = (1000 - 3) - 596;
    const int width = (area - 3) / 2;
    EXPECT_EQ(bar->MeterColumns[0].left, 596);
    EXPECT_EQ(bar->MeterColumns[0].right, 596 + width);
    EXPECT_EQ(bar->MeterColumns[1].left, 596 + width + 3);
    for (int n : {1, 2, 5, 6, 8}) {
        EnableChannels(n);
        bar->Update(2);
        EXPECT_EQ(bar->MeterColumnCount, (n - 1) / 2 + 1) << n;
    }
}

TEST_F(StatusBar, MetersDrawGradientBarsRedTipsAndCountOverloads)
{
    EnableChannels(2);
    int levels[8] = {99, 100, 0, 0, 0, 0, 0, 0};
    bar->DeviceLevel = [&](int ch) { return levels[ch]; };
    frame->AcquisitionRunning = true;
    frame->OverloadCount[0] = frame->OverloadCount[1] = 0;
    bar->Update(2);
    EXPECT_EQ(bar->Levels[0], 99);
    EXPECT_EQ(bar->Levels[1], 100);
    EXPECT_EQ(frame->OverloadCount[0], 0u);
    EXPECT_EQ(frame->OverloadCount[1], 1u);

    const QImage img = BarPicture();
    const RECT col = bar->MeterColumns[0];
    const int W = col.right - col.left;
    const int H = (col.bottom - col.top - 6) / 2;
    const int x0 = col.left + 2, yUpper = col.top + 2, yLower = col.top + H + 4;
    const int L = W * 99 / 100;
    // Upper bar, level 99: gradient, grey every fourth pixel, red in the last 2 %.
    for (int x = 1; x < L; ++x) {
        const int r = x * 255 / W;
        unsigned want = (unsigned(r) << 16) | (unsigned(255 - r / 3) << 8);
        if (x >= 0.98 * W)
            want = 0xFF0000;
        if (x % 4 == 0)
            want = 0x808080;
        ASSERT_EQ(Rgb(img, x0 + x, yUpper), want) << x;
        ASSERT_EQ(Rgb(img, x0 + x, yUpper + H), want) << x << " bottom row";
    }
    EXPECT_NE(Rgb(img, x0 + L + 1, yUpper + 1), 0xFF0000u) << "ends at the level";
    // Lower bar, level 100: solid red.
    EXPECT_EQ(Rgb(img, x0 + 1, yLower), 0xFF0000u);
    EXPECT_EQ(Rgb(img, x0 + W / 2, yLower + H - 1), 0xFF0000u);
    EXPECT_EQ(Rgb(img, x0 + 4, yLower + 1), 0xFF0000u) << "no grey ticks on a full bar";

    // While stopped every meter reads 0, whatever the device says.
    frame->AcquisitionRunning = false;
    bar->Update(3);
    for (int ch = 0; ch < 8; ++ch)
        EXPECT_EQ(bar->Levels[ch], 0);
    const QImage stopped = BarPicture();
    EXPECT_NE(Rgb(stopped, x0 + W / 2, yLower + 1), 0xFF0000u);
    bar->DeviceLevel = nullptr;
}

TEST_F(StatusBar, StateAndModeTexts)
{
    COLORREF colour = 1;
    EXPECT_EQ(bar->StateText(&colour), "Stopped");
    EXPECT_EQ(colour, RGB(0, 0, 0));
    frame->Playing = true;
    EXPECT_EQ(bar->StateText(), "Playing...");
    frame->Playing = false;

    frame->AcquisitionRunning = true;
    frame->Settings.Trigger.TriggerEnabled = 1;
    frame->TriggerDetected = false;
    EXPECT_EQ(bar->StateText(&colour), "Waiting For Trigger...");
    EXPECT_EQ(colour, RGB(255, 0, 0));
    frame->PostTriggerCapture = true;
    frame->CapturePercent = 42;
    EXPECT_EQ(bar->StateText(), "Acquiring FFT (42%)");
    frame->CapturePercent = 9;
    EXPECT_EQ(bar->StateText(), "Trigger Detected...");
    frame->PostTriggerCapture = false;
    frame->Settings.Trigger.TriggerEnabled = 0;
    frame->FftsProcessed = 3;
    frame->Settings.OpMode = 1;
    EXPECT_EQ(bar->StateText(&colour), "Recording...");
    EXPECT_EQ(colour, RGB(0, 0, 0));
    frame->Settings.OpMode = 0;
    EXPECT_EQ(bar->StateText(), "Running...");
    frame->FftsProcessed = 0;
    frame->Settings.RunControl.StartDelayFlag = 0;
    EXPECT_EQ(bar->StateText().rfind("Acquiring FFT (", 0), 0u);
    frame->AcquisitionRunning = false;

    EXPECT_EQ(bar->ModeText(), "Real Time");
    frame->Settings.OpMode = 2;
    EXPECT_EQ(bar->ModeText(), "Post Process");
    // Post Process without an active plot: the four channel panes are blank.
    std::string rate, bits, channel, fft, window;
    bar->InfoTexts(rate, bits, channel, fft, window);
    EXPECT_EQ(rate + bits + channel + fft + window, "");
    frame->Settings.OpMode = 0;
    bar->InfoTexts(rate, bits, channel, fft, window);
    EXPECT_EQ(rate, "4000 Hz");
    EXPECT_EQ(bits, "24 Bit");
    EXPECT_EQ(fft, "FFT 1024 pts");
    EXPECT_EQ(channel, "");
}

TEST_F(StatusBar, ChannelPaneNamesTheActivePlot)
{
    frame->OpenSpectrumPlot(1);
    AfxPumpMessages(10);
    ASSERT_NE(frame->SpectrumPlot[1], nullptr);
    frame->MDIActivate(frame->SpectrumPlot[1]);
    AfxPumpMessages(10);
    std::string rate, bits, channel, fft, window;
    bar->InfoTexts(rate, bits, channel, fft, window);
    EXPECT_EQ(channel, "Ch 1");

    frame->Settings.Composite[2].bIsEnabled = 1;
    frame->OpenCompositeSpectrumPlot(2);
    AfxPumpMessages(10);
    if (frame->CompositeSpectrumPlot[2]) {
        frame->MDIActivate(frame->CompositeSpectrumPlot[2]);
        AfxPumpMessages(10);
        bar->InfoTexts(rate, bits, channel, fft, window);
        EXPECT_EQ(channel, "Ch C");
    }
}

// A live step asks for the state pane and the meters every time; it repaints only what changed,
// and what it repaints is what a repaint of the whole bar draws there.
TEST_F(StatusBar, StepsRepaintOnlyWhatChanged)
{
    EnableChannels(2);
    // The longest window name, which ends near the first meter column (past it in wider fonts).
    frame->Settings.Processing[0].SmoothingWindow = TSmoothing::kExponential;
    int levels[8] = {30, 60, 0, 0, 0, 0, 0, 0};
    bar->DeviceLevel = [&](int ch) { return levels[ch]; };
    frame->AcquisitionRunning = true;
    frame->FftsProcessed = 1;
    bar->Update(2);
    CSurface* surface = bar->GetSurface();
    auto mark = [&](const RECT& pane) {
        CClientDC dc(bar);
        dc.SetPixel(pane.right - 2, pane.bottom - 2, RGB(1, 2, 3));
        AfxPumpMessages(5);
    };
    auto marked = [&](const RECT& pane) {
        return (surface->Image().pixel(pane.right - 2, pane.bottom - 2) & 0xFFFFFFu) == 0x010203u;
    };
    mark(bar->StatePane);
    mark(bar->ModePane);
    bar->Update(1); // still "Running..."
    bar->Update(3); // the same levels
    EXPECT_TRUE(marked(bar->StatePane)) << "an unchanged state text is not repainted";

    levels[1] = 90;
    bar->Update(1);
    bar->Update(3);
    EXPECT_TRUE(marked(bar->StatePane));
    EXPECT_TRUE(marked(bar->ModePane)) << "a meter's change repaints its column alone";
    const RECT column = bar->MeterColumns[0];
    const QImage stepped = surface->Image().copy(column.left, 0, column.right - column.left, CStatusbar::kHeight);

    frame->Settings.Trigger.TriggerEnabled = 1; // "Waiting For Trigger..."
    bar->Update(1);
    EXPECT_FALSE(marked(bar->StatePane)) << "a new state text is painted at once";
    EXPECT_TRUE(marked(bar->ModePane));
    frame->Settings.Trigger.TriggerEnabled = 0;

    bar->Update(2);
    EXPECT_FALSE(marked(bar->ModePane));
    const QImage whole = surface->Image().copy(column.left, 0, column.right - column.left, CStatusbar::kHeight);
    EXPECT_TRUE(stepped == whole) << "the meter column as a full repaint draws it";
    frame->AcquisitionRunning = false;
    frame->FftsProcessed = 0;
    bar->DeviceLevel = nullptr;
}

TEST_F(StatusBar, ProgressFromAnotherThread)
{
    CProgressCtrl* progress = bar->Progress();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(progress->IsWindowVisible());
    RECT r{};
    progress->GetWindowRect(&r);
    bar->ScreenToClient(&r);
    EXPECT_TRUE(SameRect(r, 3, 3, 123, 20)) << RectText(r);

    const HWND h = bar->GetSafeHwnd();
    CStatusbar::LastProgressPosition = 0;
    std::thread worker([h] {
        ::PostMessage(h, WM_STATUS_SHOWPROGRESS, 0, 0);
        ::PostMessage(h, WM_STATUS_SETPROGRESS, 0, 40);
    });
    worker.join();
    AfxPumpMessages(20);
    EXPECT_TRUE(progress->IsWindowVisible());
    EXPECT_EQ(progress->GetPos(), 40);

    // Out-of-range and repeated positions are ignored.
    EXPECT_EQ(bar->SendMessage(WM_STATUS_SETPROGRESS, 0, 100), 1);
    bar->SendMessage(WM_STATUS_SETPROGRESS, 0, static_cast<LPARAM>(-1));
    EXPECT_EQ(progress->GetPos(), 40);
    progress->SetPos(10);
    bar->SendMessage(WM_STATUS_SETPROGRESS, 0, 40);
    EXPECT_EQ(progress->GetPos(), 10) << "same as the last position set";

    std::thread hider([h] { ::SendMessage(h, WM_STATUS_HIDEPROGRESS, 0, 0); });
    while (progress->IsWindowVisible())
        AfxPumpMessages(5);
    hider.join();
    EXPECT_EQ(progress->GetPos(), 0);

    // The last position outlives the operation: a new one's first 40 is ignored.
    bar->ShowProgress();
    bar->SetProgress(40);
    EXPECT_EQ(progress->GetPos(), 0);
    bar->SetProgress(41);
    EXPECT_EQ(progress->GetPos(), 41);
    bar->HideProgress();
}
