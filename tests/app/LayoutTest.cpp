// The frame's layout of its tool windows and status bar, the view toggles and their check
// marks, the accelerators, the plot tool-strip toggles, tiling and the display gain.
#include "LayoutFixture.h"

#include "plots/TSeriesPlot.h"
#include "plots/spectrum/TSpectraPlot.h"

#include "support/QtTestAccess.h"

#include <cstdlib>

using namespace layouttest;

namespace {
class FrameLayout : public FrameFixture {};
} // namespace

TEST_F(FrameLayout, ToolWindowsStatusBarAndClientAtSeveralSizes)
{
    ShowAllToolWindows();
    for (auto [w, h] : {std::pair{800, 600}, {1280, 800}, {1920, 1080}, {640, 200}}) {
        Resize(w, h);
        RECT c{};
        frame->GetClientRect(&c);
        ASSERT_EQ(c.right, w);
        ASSERT_EQ(c.bottom, h);
        EXPECT_TRUE(SameRect(InFrame(frame->Toolbar.get()), 0, 0, w, 36)) << RectText(InFrame(frame->Toolbar.get()));
        EXPECT_TRUE(SameRect(InFrame(frame->Toolbar2.get()), 0, 36, w, 68)) << RectText(InFrame(frame->Toolbar2.get()));
        EXPECT_TRUE(SameRect(InFrame(frame->StatusBar.get()), 0, h - 26, w, h)) << RectText(InFrame(frame->StatusBar.get()));
        EXPECT_TRUE(SameRect(InFrame(frame->GetMDIClient()), 0, 68, w, h - 26))
            << RectText(InFrame(frame->GetMDIClient()));

        // On the surfaces: the status bar's white top line and the first pane's dark frame,
        // the second tool window's first button (raised frame), the main tool window's face.
        const QImage img = ClientPicture();
        EXPECT_EQ(Rgb(img, w / 2, h - 26), 0xFFFFFFu);
        EXPECT_EQ(Rgb(img, 50, h - 26 + 3), 0x8C8C8Cu);
        EXPECT_EQ(Rgb(img, 3, 36 + 2), 0xFFFFFFu);
        EXPECT_EQ(Rgb(img, 3 + 27, 36 + 2 + 27), 0x000000u);
        EXPECT_EQ(Rgb(img, w - 20, 18), 0xF0F0F0u);
        // The meter area reaches the right edge less 3 pixels.
        const int n = frame->StatusBar->MeterColumnCount;
        EXPECT_LE(frame->StatusBar->MeterColumns[n - 1].right, w - 3);
        EXPECT_GT(frame->StatusBar->MeterColumns[n - 1].right, w - 3 - n);
    }
}

TEST_F(FrameLayout, HiddenToolWindowsGiveTheClientTheirRoom)
{
    ShowAllToolWindows();
    frame->OnToggleMainToolbar();
    frame->OnToggleSecondaryToolbar();
    frame->OnToggleStatusbar();
    AfxPumpMessages(10);
    EXPECT_TRUE(SameRect(InFrame(frame->GetMDIClient()), 0, 0, 1000, 700));
    EXPECT_FALSE(frame->Toolbar->IsWindowVisible());
    EXPECT_FALSE(frame->Toolbar2->IsWindowVisible());
    EXPECT_FALSE(frame->StatusBar->IsWindowVisible());
    EXPECT_EQ(MenuState(ID_VIEW_MAIN_TOOLBAR) & MF_CHECKED, 0u);
    EXPECT_EQ(MenuState(ID_VIEW_SECONDARY_TOOLBAR) & MF_CHECKED, 0u);
    EXPECT_EQ(MenuState(ID_VIEW_STATUSBAR) & MF_CHECKED, 0u);

    // The secondary tool window moves up to the top when the main one is hidden.
    frame->OnToggleSecondaryToolbar();
    AfxPumpMessages(10);
    EXPECT_TRUE(SameRect(InFrame(frame->Toolbar2.get()), 0, 0, 1000, 32));
    EXPECT_TRUE(SameRect(InFrame(frame->GetMDIClient()), 0, 32, 1000, 700));
    EXPECT_NE(MenuState(ID_VIEW_SECONDARY_TOOLBAR) & MF_CHECKED, 0u);
}

TEST_F(FrameLayout, TogglingTheStatusBarMovesOnlyTheClientBottom)
{
    ShowAllToolWindows();
    const RECT before = InFrame(frame->Toolbar2.get());
    frame->ExecuteCommand(ID_VIEW_STATUSBAR);
    AfxPumpMessages(10);
    EXPECT_EQ(frame->Settings.Statusbar, 0);
    const RECT after = InFrame(frame->Toolbar2.get());
    EXPECT_TRUE(SameRect(after, before.left, before.top, before.right, before.bottom));
    EXPECT_TRUE(SameRect(InFrame(frame->GetMDIClient()), 0, 68, 1000, 700));
    // The status bar's strip now belongs to the client: no white top line drawn there.
    const QImage img = ClientPicture();
    EXPECT_NE(Rgb(img, 500, 700 - 26), 0xFFFFFFu);
    frame->ExecuteCommand(ID_VIEW_STATUSBAR);
    AfxPumpMessages(10);
    EXPECT_EQ(frame->Settings.Statusbar, 1);
    EXPECT_TRUE(frame->StatusBar->IsWindowVisible());
    EXPECT_NE(MenuState(ID_VIEW_STATUSBAR) & MF_CHECKED, 0u);
}

TEST_F(FrameLayout, StartsWithTheSecondaryToolWindowAndStatusBarHidden)
{
    EXPECT_EQ(frame->Settings.Buttons, 0);
    EXPECT_EQ(frame->Settings.Statusbar, 0);
    EXPECT_EQ(InFrame(frame->GetMDIClient()).top, frame->Settings.Main ? 36 : 0);
    EXPECT_EQ(InFrame(frame->GetMDIClient()).bottom, 700);
}

TEST_F(FrameLayout, EveryAcceleratorReachesItsCommandWithOrWithoutItsMenuItem)
{
    const std::vector<std::pair<QKeyCombination, UINT>> keys = {
        {Qt::Key_F1, ID_HELP_ABOUT},
        {Qt::Key_F4, ID_PROCESSING_SETTINGS},
        {Qt::Key_F5, ID_PLOT_OPTIONS},
        {Qt::Key_F6, ID_SYSTEM_CHECK},
        {Qt::Key_F7, ID_CONFIG_SAVE},
        {Qt::Key_F8, ID_CONFIG_LOAD},
        {Qt::Key_F11, ID_UTIL_SIGNAL_GENERATOR},
        {Qt::CTRL | Qt::Key_O, ID_FILE_OPEN},
        {Qt::CTRL | Qt::Key_S, ID_FILE_SAVE},
        {Qt::CTRL | Qt::Key_P, ID_FILE_PRINT},
        {Qt::CTRL | Qt::Key_Z, ID_EDIT_UNDO},
        {Qt::CTRL | Qt::Key_Insert, ID_EDIT_COPY},
        {Qt::SHIFT | Qt::Key_Delete, ID_EDIT_CUT},
        {Qt::SHIFT | Qt::Key_Insert, ID_EDIT_PASTE_INSERT},
        {Qt::CTRL | Qt::Key_L, ID_EDIT_PLAY_LOOP},
        {Qt::ALT | Qt::Key_R, ID_RUN},
        {Qt::ALT | Qt::Key_S, ID_STOP},
    };
    // The Edit and Utilities pop-ups are gone from the menu bar.
    CMenu* menu = frame->GetMenu();
    for (UINT i = 0; i < menu->GetMenuItemCount(); ++i) {
        EXPECT_NE(menu->GetMenuString(i, MF_BYPOSITION), "&Edit");
        EXPECT_NE(menu->GetMenuString(i, MF_BYPOSITION), "&Utilities");
    }
    frame->forceEnable = true;
    std::vector<UINT> expected;
    for (const auto& [key, id] : keys) {
        frame->swallow.insert(id);
        expected.push_back(id);
    }
    for (const auto& [key, id] : keys) {
        QWidget* target = QtMdiAreaOf(frame);
        QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers());
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key.key(), key.keyboardModifiers());
        QApplication::sendEvent(target, &release);
        AfxPumpMessages();
    }
    EXPECT_EQ(frame->commands, expected);
}

TEST_F(FrameLayout, EnterRunsTheWholeFileOnlyWhenNoPassIsBusy)
{
    frame->PostProcessBusy = true;
    frame->RunWholeFile = 0;
    frame->SendMessage(WM_KEYUP, VK_RETURN, 0);
    EXPECT_EQ(frame->RunWholeFile, 0u);
    frame->PostProcessBusy = false;
    frame->SendMessage(WM_KEYUP, 'A', 0);
    EXPECT_EQ(frame->RunWholeFile, 0u);
    EXPECT_EQ(frame->SendMessage(WM_DEVICECHANGE, 7, 0), TRUE);
}

TEST_F(FrameLayout, PlotToolStripTogglesFollowTheOrOverChannelsAndCompositesAToH)
{
    auto& s = frame->Settings;
    for (int i = 0; i < 8; ++i)
        s.SpectrumOpts[i].ShowToolbar = 0;
    for (int i = 0; i < 16; ++i)
        s.CompositeSpectrumOpts[i].ShowToolbar = 0;
    // Only composite J shows its strip: the OR over 0..7 and A..H is false, so all are shown.
    s.CompositeSpectrumOpts[9].ShowToolbar = 1;
    s.CompositeSpectrumOpts[10].ShowToolbar = 0;
    frame->ExecuteCommand(ID_VIEW_SPECTRUM_TOOLBARS);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(s.SpectrumOpts[i].ShowToolbar, 1);
        EXPECT_EQ(s.CompositeSpectrumOpts[i].ShowToolbar, 1);
    }
    EXPECT_EQ(s.CompositeSpectrumOpts[10].ShowToolbar, 0) << "I to P keep their flags";
    EXPECT_NE(MenuState(ID_VIEW_SPECTRUM_TOOLBARS) & MF_CHECKED, 0u);

    // Shown only on channel 7: the toggle hides all, and the item was unchecked.
    for (int i = 0; i < 8; ++i)
        s.TimeSeriesOpts[i].ShowToolbar = 0;
    s.TimeSeriesOpts[7].ShowToolbar = 1;
    frame->UpdateToolbarMenuChecks();
    EXPECT_EQ(MenuState(ID_VIEW_SERIES_TOOLBARS) & MF_CHECKED, 0u);
    frame->ExecuteCommand(ID_VIEW_SERIES_TOOLBARS);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(s.TimeSeriesOpts[i].ShowToolbar, 0);
    frame->ExecuteCommand(ID_VIEW_SERIES_TOOLBARS);
    EXPECT_NE(MenuState(ID_VIEW_SERIES_TOOLBARS) & MF_CHECKED, 0u);

    // Composite J alone does not check the item (A..G decide).
    for (int i = 0; i < 8; ++i)
        s.PhaseOpts[i].ShowToolbar = 0;
    for (int i = 0; i < 16; ++i)
        s.CompositePhaseOpts[i].ShowToolbar = 0;
    s.CompositePhaseOpts[7].ShowToolbar = 1; // H
    frame->UpdateToolbarMenuChecks();
    EXPECT_EQ(MenuState(ID_VIEW_PHASE_TOOLBARS) & MF_CHECKED, 0u);
    s.CompositePhaseOpts[6].ShowToolbar = 1; // G
    frame->UpdateToolbarMenuChecks();
    EXPECT_NE(MenuState(ID_VIEW_PHASE_TOOLBARS) & MF_CHECKED, 0u);
}

TEST_F(FrameLayout, OpenPlotsFollowTheirToolStripToggle)
{
    frame->OpenSpectrumPlot(0);
    AfxPumpMessages(10);
    ASSERT_NE(frame->SpectrumPlot[0], nullptr);
    const bool before = frame->Settings.SpectrumOpts[0].ShowToolbar != 0;
    frame->ExecuteCommand(ID_VIEW_SPECTRUM_TOOLBARS);
    EXPECT_NE(frame->Settings.SpectrumOpts[0].ShowToolbar != 0, before);
}

TEST_F(FrameLayout, DisplayGainIsClampedAndMovesEveryPlotsScale)
{
    auto& s = frame->Settings;
    frame->SetDisplayGainShift(-30);
    EXPECT_EQ(s.MasterDisplayGain, -20);
    EXPECT_FLOAT_EQ(s.SpectrumOpts[3].PlotTop, -35.0f);
    EXPECT_DOUBLE_EQ(s.SpectrumOpts[3].PlotRange, 45.0);
    EXPECT_FLOAT_EQ(s.CompositeSurfaceOpts[15].PlotTop, -35.0f);
    EXPECT_FLOAT_EQ(s.SpectrogramOpts[7].PlotRange, 45.0f);
    frame->SetDisplayGainShift(20);
    EXPECT_FLOAT_EQ(s.SurfaceOpts[0].PlotTop, -75.0f);
    EXPECT_FLOAT_EQ(s.CompositeSpectrogramOpts[0].PlotTop, -75.0f);
    // The same value again changes nothing, even in records changed since.
    s.SpectrumOpts[0].PlotTop = 3.0f;
    frame->SetDisplayGainShift(20);
    EXPECT_FLOAT_EQ(s.SpectrumOpts[0].PlotTop, 3.0f);
}

TEST_F(FrameLayout, TileArrangesTheOpenPlotsSideBySide)
{
    frame->OpenSpectrumPlot(0);
    frame->OpenTimeSeriesPlot(1);
    AfxPumpMessages(10);
    ASSERT_NE(frame->SpectrumPlot[0], nullptr);
    ASSERT_NE(frame->TimeSeriesPlot[1], nullptr);
    frame->TilePlots();
    AfxPumpMessages(10);
    RECT a{}, b{};
    frame->SpectrumPlot[0]->GetWindowRect(&a);
    frame->TimeSeriesPlot[1]->GetWindowRect(&b);
    const bool apart = a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
    EXPECT_TRUE(apart) << RectText(a) << " " << RectText(b);
}

// On a real display, DURNEX_LAYOUT_SHOT names a PNG file for a picture of the whole screen
// with the frame filling it, every tool window shown and a few windows open.
TEST_F(FrameLayout, ScreenshotOnARealDisplay)
{
    const char* shot = std::getenv("DURNEX_LAYOUT_SHOT");
    if (!shot)
        GTEST_SKIP() << "no DURNEX_LAYOUT_SHOT";
    ShowAllToolWindows();
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    QWidget* outer = QtWidgetOf(frame)->window();
    outer->setGeometry(screen->availableGeometry());
    AfxPumpMessages(100);
    frame->Settings.OpMode = 2;
    frame->Toolbar->SetMode(2);
    frame->OpenTimeSeriesPlot(0);
    frame->OpenSpectrumPlot(0);
    frame->OpenSpectrumPlot(1);
    frame->TilePlots();
    frame->StatusBar->Update(2);
    AfxPumpMessages(500);
    EXPECT_TRUE(screen->grabWindow(0).save(QString::fromLocal8Bit(shot)));

    // The same in Real Time mode during a run, with eight channels' meters.
    if (const char* live = std::getenv("DURNEX_LAYOUT_SHOT_LIVE")) {
        frame->Settings.OpMode = 0;
        frame->Toolbar->SetMode(0);
        for (auto& ch : frame->Settings.Device.Channels)
            ch.bIsEnabled = 1;
        frame->StatusBar->DeviceLevel = [](int ch) { return ch == 5 ? 100 : 12 * ch + 8; };
        frame->AcquisitionRunning = true;
        frame->FftsProcessed = 1;
        frame->StatusBar->Update(2);
        AfxPumpMessages(300);
        EXPECT_TRUE(screen->grabWindow(0).save(QString::fromLocal8Bit(live)));
        frame->AcquisitionRunning = false;
        frame->StatusBar->DeviceLevel = nullptr;
    }
    // A tooltip on the second tool window.
    if (const char* tip = std::getenv("DURNEX_LAYOUT_SHOT_TIP")) {
        CToolBtn* b = frame->Toolbar2->Button(506);
        b->ShowTip();
        AfxPumpMessages(300);
        EXPECT_TRUE(screen->grabWindow(0).save(QString::fromLocal8Bit(tip)));
        b->HideTip();
    }
}
