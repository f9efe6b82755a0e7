// Options of a spectrogram (sections "SpectrogramOpts_%d" and "CompositeSpectrogramOpts_%d").
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct SpectrogramPlotSettings {
    BYTE ShowToolbar;
    BYTE IntervalFlag;
    float IntervalSecs;
    float PlotTop;
    float PlotRange;
    BYTE UseFullSpan;
    float StartFreq;
    float StopFreq;
    WORD ColorMode;     // 0 full colour, 1 grey scale, 2 custom colour
    COLORREF MinCustomColor;
    COLORREF MaxCustomColor;
    DWORD Intensity;
    WORD Direction;     // 0 left, 1 right, 2 up, 3 down
    WORD ScrollType;    // 0 smooth continuous, 1 overlapped

    explicit SpectrogramPlotSettings(bool composite = false)
    {
        ZeroRecord(*this);
        ShowToolbar = 1;
        IntervalSecs = 0.1f;
        PlotTop = -55.0f;
        PlotRange = 45.0f;
        StartFreq = 400.0f;
        StopFreq = 1200.0f;
        ColorMode = composite ? 1 : 0;
        MinCustomColor = 0x00FFFF;
        MaxCustomColor = 0x0000FF;
        Direction = 3;
    }
};
