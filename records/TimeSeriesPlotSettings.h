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

// The Plot Top a time-series plot takes: above `least`, up to `most`. One range by amplitude
// scale for the tool strip, the options page and a configuration read back. A linear pane spans
// the centre below the top to as far above it, so a top of 0 or below is a view too (autoscale
// gives one to a signal that stays below zero).
struct SeriesTopRange {
    float least;
    float most;
    bool Holds(double top) const { return top > least && top <= most; }
};

inline SeriesTopRange SeriesPlotTopRange(unsigned scaleType)
{
    return scaleType == 0 ? SeriesTopRange{-1e7f, 1e7f} : SeriesTopRange{-400.0f, 400.0f};
}

// A linear centre that has to give way to the top: 0 under a positive top, else clear below it,
// so that the span never closes to nothing.
inline float SeriesCenterBelow(float top) { return top > 0.0f ? 0.0f : (top < 0.0f ? top * 1.1f : -1.0f); }
