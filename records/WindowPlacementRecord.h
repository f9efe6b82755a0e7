// Window kinds and the placement record kept for every window the frame can open. The records
// travel in configuration files (sections "PlotStatus" and "PlotPlacement").
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

enum WindowKind : int {
    WK_MainWindow = 0,
    WK_TimeSeriesPlot = 1,
    WK_SpectrumPlot = 2,
    WK_PhasePlot = 3,
    WK_SpectrogramPlot = 4,
    WK_SurfacePlot = 5,
    WK_SignalGenerator = 6,
    WK_UtilityPeakFreq = 7,
    WK_UtilityPeakAmp = 8,
    WK_UtilityTotalPwr = 9,
    WK_UtilityTHD = 10,
    WK_UtilityTHD_N = 11,
    WK_UtilityIMD = 12,
    WK_UtilitySNR = 13,
    WK_UtilitySINAD = 14,
    WK_UtilityLeq = 15,
    WK_THDvsFreq = 16,
    WK_Reverb = 17,
    WK_UtilityRPM = 18,
    WK_UtilitySoundPower = 19,
    WK_Count = 20
};

struct WindowPlacementRecord {
    char WindowName[256];    // also the record's key in a configuration file
    BYTE IsOpen;             // 1 when the window was open when last recorded
    char PlacementText[256]; // "%d, %d, {%d,%d}, {%d,%d}, {%d,%d,%d,%d}", empty if never recorded

    WindowPlacementRecord() { ZeroRecord(*this); }
};

// 1 frame + 8 x 5 channel plots + 16 x 4 composite plots + generator + 13 utilities.
constexpr int kWindowPlacementCount = 119;
