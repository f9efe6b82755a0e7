// Options of a 3-D surface plot (sections "SurfaceOpts_%d" and "CompositeSurfaceOpts_%d").
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct SurfacePlotSettings {
    BYTE ShowToolbar;
    BYTE IntervalFlag;
    float IntervalSecs;
    float PlotTop;
    float PlotRange;
    BYTE UseFullSpan;
    float StartFreq;
    float StopFreq;
    COLORREF BackgroundColor;
    COLORREF LineColor;
    COLORREF MinCustomColor;
    COLORREF MaxCustomColor;
    DWORD Intensity;
    WORD ColorMode;     // 0 full colour, 1 solid colour, 2 custom colour, 3 grey scale

    SurfacePlotSettings()
    {
        ZeroRecord(*this);
        IntervalSecs = 0.1f;
        PlotTop = -55.0f;
        PlotRange = 45.0f;
        StartFreq = 400.0f;
        StopFreq = 1200.0f;
        BackgroundColor = 0x000000;
        LineColor = 0xC80000;
        MinCustomColor = 0x00FFFF;
        MaxCustomColor = 0x0000FF;
    }
};
