#include "app/settings/WindowPlacement.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

struct RecordArray {
    WindowPlacementRecord r[kWindowPlacementCount];
};

struct PlacementRecords : ::testing::Test {
    std::unique_ptr<RecordArray> holder = std::make_unique<RecordArray>();
    WindowPlacementRecord (&records)[kWindowPlacementCount] = holder->r;
    DesktopInfo desktop{1920, 1080, false};
    void SetUp() override
    {
        InitWindowPlacementRecords(records);
        ResetCascadeOffsets();
    }
    WindowPlacementRecord& At(int kind, int channel, bool composite)
    {
        return records[WindowPlacementIndex(kind, channel, composite)];
    }
};

WINDOWPLACEMENT Placement(UINT show, RECT normal)
{
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    wp.showCmd = show;
    wp.ptMinPosition = {-1, -1};
    wp.ptMaxPosition = {-4, -23};
    wp.rcNormalPosition = normal;
    return wp;
}

} // namespace

TEST_F(PlacementRecords, NamesInRecordOrder)
{
    EXPECT_STREQ(records[0].WindowName, "MainWindow");
    EXPECT_STREQ(records[1].WindowName, "TimeSeriesPlot_0");
    EXPECT_STREQ(records[16].WindowName, "SpectrumPlot_7");
    EXPECT_STREQ(records[40].WindowName, "SurfacePlot_7");
    EXPECT_STREQ(records[41].WindowName, "CompositeSpectrumPlot_0");
    EXPECT_STREQ(records[53].WindowName, "CompositeSpectrumPlot_12");
    EXPECT_STREQ(records[104].WindowName, "CompositeSurfacePlot_15");
    EXPECT_STREQ(records[105].WindowName, "SignalGenerator");
    EXPECT_STREQ(records[118].WindowName, "UtilitySoundPower");
    for (const WindowPlacementRecord& r : records) {
        EXPECT_EQ(r.IsOpen, 0);
        EXPECT_STREQ(r.PlacementText, "");
    }
}

TEST_F(PlacementRecords, RecordSelectionAndChannelClamps)
{
    EXPECT_EQ(WindowPlacementIndex(WK_SpectrumPlot, 12, true), 53);
    EXPECT_EQ(WindowPlacementIndex(WK_SpectrumPlot, 20, true), 56);
    EXPECT_EQ(WindowPlacementIndex(WK_TimeSeriesPlot, 9, false), 8);
    EXPECT_EQ(WindowPlacementIndex(WK_TimeSeriesPlot, -3, false), 1);
    EXPECT_EQ(WindowPlacementIndex(WK_MainWindow, 5, false), 0);
    EXPECT_EQ(WindowPlacementIndex(WK_UtilityRPM, 0, false), 117);
    EXPECT_EQ(WindowPlacementIndex(WK_TimeSeriesPlot, 0, true), -1);
    EXPECT_EQ(WindowPlacementIndex(WK_SignalGenerator, 0, true), -1);
    EXPECT_EQ(WindowPlacementIndex(20, 0, false), -1);
    EXPECT_EQ(WindowPlacementIndex(-1, 0, false), -1);
    EXPECT_FALSE(IsWindowMarkedOpen(records, WK_PhasePlot, 0, false));
    EXPECT_FALSE(IsWindowMarkedOpen(records, 25, 0, false));
}

TEST_F(PlacementRecords, FormatAndParse)
{
    WINDOWPLACEMENT wp = Placement(SW_SHOWNORMAL, {22, 22, 657, 451});
    char text[256];
    FormatPlacement(&wp, text, sizeof text);
    EXPECT_STREQ(text, "0, 1, {-1,-1}, {-4,-23}, {22,22,657,451}");
    FormatPlacement(nullptr, text, sizeof text);
    EXPECT_STREQ(text, "0, 1, {-1,-1}, {-4,-23}, {22,22,657,451}");

    WINDOWPLACEMENT back{};
    ASSERT_TRUE(ParsePlacement(text, &back, desktop));
    EXPECT_EQ(back.length, sizeof(WINDOWPLACEMENT));
    EXPECT_EQ(back.showCmd, 1u);
    EXPECT_EQ(back.ptMinPosition, (POINT{0, 0})); // pulled onto the desktop
    EXPECT_EQ(back.ptMaxPosition, (POINT{0, 0}));
    EXPECT_EQ(back.rcNormalPosition, (RECT{22, 22, 657, 451}));

    WINDOWPLACEMENT minimised{};
    ASSERT_TRUE(ParsePlacement("0, 2, {0,0}, {0,0}, {10,10,500,400}", &minimised, desktop));
    EXPECT_EQ(minimised.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
    DesktopInfo frameMinimised = desktop;
    frameMinimised.frameMinimized = true;
    ASSERT_TRUE(ParsePlacement("0, 2, {0,0}, {0,0}, {10,10,500,400}", &minimised, frameMinimised));
    EXPECT_EQ(minimised.showCmd, static_cast<UINT>(SW_MINIMIZE));

    WINDOWPLACEMENT far{};
    ASSERT_TRUE(ParsePlacement("0, 3, {0,0}, {0,0}, {5000,3000,5600,3400}", &far, desktop));
    EXPECT_EQ(far.rcNormalPosition, (RECT{960, 540, 5600, 3400}));
    EXPECT_EQ(far.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));

    // Text that is missing, too short or incomplete leaves the window where it was created.
    WINDOWPLACEMENT untouched{};
    untouched.rcNormalPosition = {1, 2, 3, 4};
    EXPECT_FALSE(ParsePlacement(nullptr, &untouched, desktop));
    EXPECT_FALSE(ParsePlacement("0,", &untouched, desktop));
    EXPECT_FALSE(ParsePlacement("garbage text", &untouched, desktop));
    EXPECT_FALSE(ParsePlacement("0, 1, {0,0}, {0,0}, {1,2,3", &untouched, desktop));
    EXPECT_FALSE(ParsePlacement("0, 1, {0,0}, {0,0}, {1,2,3,4}", nullptr, desktop));
    EXPECT_EQ(untouched.rcNormalPosition, (RECT{1, 2, 3, 4}));
    // Numbers beyond 32 bits saturate rather than overflow.
    WINDOWPLACEMENT huge{};
    ASSERT_TRUE(ParsePlacement("0, 1, {0,0}, {0,0}, {10,10,99999999999999,400}", &huge, desktop));
    EXPECT_EQ(huge.rcNormalPosition.right, 2147483647);
}

TEST_F(PlacementRecords, RecordingAndRestoring)
{
    // The frame is always open, even before it has a window.
    RecordWindowPlacement(records, WK_MainWindow, 0, false, false, nullptr);
    EXPECT_EQ(records[0].IsOpen, 1);
    EXPECT_STREQ(records[0].PlacementText, "");

    WINDOWPLACEMENT wp = Placement(SW_SHOWMAXIMIZED, {30, 40, 530, 440});
    RecordWindowPlacement(records, WK_PhasePlot, 9, true, true, &wp);
    WindowPlacementRecord& phase = At(WK_PhasePlot, 9, true);
    EXPECT_EQ(phase.IsOpen, 1);
    EXPECT_STREQ(phase.PlacementText, "0, 3, {-1,-1}, {-4,-23}, {30,40,530,440}");
    EXPECT_TRUE(IsWindowMarkedOpen(records, WK_PhasePlot, 9, true));

    WINDOWPLACEMENT restore{};
    ASSERT_TRUE(GetRestorePlacement(records, WK_PhasePlot, 9, true, desktop, &restore));
    EXPECT_EQ(restore.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_EQ(restore.rcNormalPosition, (RECT{30, 40, 530, 440}));

    // Closed later: the flag drops, the last placement stays.
    RecordWindowPlacement(records, WK_PhasePlot, 9, true, false, nullptr);
    EXPECT_EQ(phase.IsOpen, 0);
    EXPECT_STREQ(phase.PlacementText, "0, 3, {-1,-1}, {-4,-23}, {30,40,530,440}");
    EXPECT_FALSE(GetRestorePlacement(records, WK_PhasePlot, 9, true, desktop, &restore));

    // Open with an empty text: nothing to restore.
    At(WK_UtilityLeq, 0, false).IsOpen = 1;
    EXPECT_FALSE(GetRestorePlacement(records, WK_UtilityLeq, 0, false, desktop, &restore));
    RecordWindowPlacement(records, WK_TimeSeriesPlot, 0, true, true, &wp); // no such record
}

TEST_F(PlacementRecords, CascadeRectangles)
{
    // 1000 x 800 client: offsets 0, 24, ... 216; the one at 216 resets the offsets.
    for (int i = 0; i <= 9; ++i) {
        RECT r = GetCascadeRect(1000, 800);
        EXPECT_EQ(r.left, 24 * i);
        EXPECT_EQ(r.top, 24 * i);
        EXPECT_EQ(r.right, 750 + 24 * i);
        EXPECT_EQ(r.bottom, 600 + 24 * i);
    }
    EXPECT_EQ(GetCascadeRect(1000, 800).left, 0);
}

TEST_F(PlacementRecords, InitialRectangles)
{
    bool maximised = true;
    RECT r = GetInitialWindowRect(records, WK_UtilitySoundPower, 0, false, 1000, 800, desktop, &maximised);
    EXPECT_FALSE(maximised);
    EXPECT_EQ(r, (RECT{500, 500, 750, 600}));
    r = GetInitialWindowRect(records, WK_UtilityRPM, 0, false, 1000, 800, desktop, nullptr);
    // The cascade moved on with the first call; a title bar lower, clear of the toolbars.
    EXPECT_EQ(r, (RECT{24, 54, 774, 654}));
    r = GetInitialWindowRect(records, WK_SignalGenerator, 0, false, 1000, 800, desktop, nullptr);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 200);

    // A stored placement wins, whether or not the window is marked open.
    CopyField(At(WK_SpectrumPlot, 3, false).PlacementText, "0, 3, {0,0}, {0,0}, {-5,2500,400,300}");
    r = GetInitialWindowRect(records, WK_SpectrumPlot, 3, false, 1000, 800, desktop, &maximised);
    EXPECT_TRUE(maximised);
    // The top pulled onto the desktop passes the bottom: the window keeps its least height.
    EXPECT_EQ(r, (RECT{0, 540, 400, 540 + 39}));
    // Unreadable text falls back to the cascade.
    CopyField(At(WK_SpectrumPlot, 4, false).PlacementText, "not a placement");
    r = GetInitialWindowRect(records, WK_SpectrumPlot, 4, false, 1000, 800, desktop, &maximised);
    EXPECT_FALSE(maximised);
    EXPECT_EQ(r.right - r.left, 750);
}
