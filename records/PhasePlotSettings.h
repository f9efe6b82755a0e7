// Options of a phase plot (sections "PhaseOpts_%d" and "CompositePhaseOpts_%d").
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct PhasePlotSettings {
    BYTE ShowToolbar;
    BYTE GridYEnabled;
    BYTE GridXEnabled;
    float PlotTop;   // degrees
    float PlotRange; // degrees
    float StartFreq;
    float StopFreq;
    COLORREF BackgroundColor;
    COLORREF LineColor;
    COLORREF GridColor;
    COLORREF MarkerColor;
    BYTE GrabCursorFlag;
    BYTE IntervalFlag;
    float IntervalSecs;

    PhasePlotSettings()
    {
        ZeroRecord(*this);
        ShowToolbar = 1;
        GridYEnabled = 1;
        GridXEnabled = 1;
        PlotTop = 180.0f;
        PlotRange = 360.0f;
        StartFreq = 20.0f;
        StopFreq = 20000.0f;
        BackgroundColor = 0xFFFF00;
        LineColor = 0x000000;
        GridColor = 0x808080;
        MarkerColor = 0x0000FF;
        IntervalSecs = 0.1f;
    }
};
