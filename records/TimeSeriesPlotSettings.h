// Options of an input channel's time-series plot (section "TimeSeriesOpts_%d").
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct TimeSeriesPlotSettings {
    WORD AmpScaleType;      // 0 linear, 1 logarithmic
    WORD PlotChannel;       // display mode 0..7
    BYTE ShowToolbar;
    BYTE GridYEnabled;
    BYTE GridXEnabled;
    float PlotTop;
    float PlotRange;
    float PlotCenter;
    COLORREF BackgroundColor;
    COLORREF LineColor;
    COLORREF GridColor;
    WORD TimeSeriesDataSource; // not stored: 0 the wave file, 1 the channel's TSampleBuffer
    float StartTime;        // seconds
    float StopTime;
    float OrderNumber;
    DWORD ThresholdMarkPercentage;
    BYTE DisplayMaxMinRangeAsRMS;
    BYTE IntervalFlag;
    float IntervalSecs;
    BYTE GrabCursorFlag;

    TimeSeriesPlotSettings()
    {
        ZeroRecord(*this);
        ShowToolbar = 1;
        GridYEnabled = 1;
        GridXEnabled = 1;
        PlotTop = 10.0f;
        PlotRange = 200.0f;
        BackgroundColor = 0xFFFFFF;
        LineColor = 0x0000FF;
        GridColor = 0x808080;
        TimeSeriesDataSource = 1;
        StopTime = 1.0f;
        OrderNumber = 1.0f;
        ThresholdMarkPercentage = 100;
        IntervalSecs = 0.1f;
    }
};
