// Options of a spectrum plot (sections "SpectrumOpts_%d" and "CompositeSpectrumOpts_%d"),
// with its seven overlay slots and the two traces' combination settings.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct SpectrumOverlaySlot {
    BYTE Show1;      // shown on trace 1
    BYTE Show2;      // shown on trace 2
    COLORREF Color;
    float Offset1;   // dB
    float Offset2;   // dB
};

// Slot colours: input-channel records start with the first list, composite records with the
// second; a configuration without the key gives the first list to both.
inline constexpr COLORREF kInputOverlayColors[7] = {0x008000, 0xAEAE00, 0x800080, 0xFF00FF,
                                                    0x004080, 0x4080FF, 0x000000};
inline constexpr COLORREF kCompositeOverlayColors[7] = {0x0000FF, 0x00C000, 0xFF0000, 0xFF00FF,
                                                        0x004080, 0x4080FF, 0x000000};

struct SpectrumPlotSettings {
    static constexpr int kOverlays = 7;

    WORD PlotType;
    BYTE ShowToolbar;
    BYTE GridYEnabled;
    BYTE GridXEnabled;
    float PlotTop;     // dB
    double PlotRange;  // dB
    float StartFreq;   // Hz
    float StopFreq;    // Hz
    COLORREF BackgroundColor;
    COLORREF PeakColor;
    COLORREF LineColor;
    COLORREF GridColor;
    COLORREF MarkerColor;
    BYTE ShowRMSLevel;
    BYTE ShowPowerMeter;
    WORD PeakHold;
    BYTE ShowOverlayControls;
    WORD OverlayLegendSize;
    SpectrumOverlaySlot Overlays[kOverlays];
    WORD CompositeType1;
    BYTE IncludeInAverage1[kOverlays];
    WORD DifferenceIndex1_1;
    WORD DifferenceIndex1_2;
    WORD CompositeType2;
    BYTE IncludeInAverage2[kOverlays];
    WORD DifferenceIndex2_1;
    WORD DifferenceIndex2_2;
    BYTE GrabCursorFlag;
    float rpm;
    BYTE IntervalFlag;
    float IntervalSecs;

    explicit SpectrumPlotSettings(bool composite = false)
    {
        ZeroRecord(*this);
        ShowToolbar = 1;
        GridYEnabled = 1;
        GridXEnabled = 1;
        PlotTop = -55.0f;
        PlotRange = 45.0;
        StartFreq = 400.0f;
        StopFreq = composite ? 1200.0f : 12000.0f;
        BackgroundColor = 0xDCFFFF;
        PeakColor = 0x0000FF;
        LineColor = 0xFF0000;
        GridColor = 0x808080;
        MarkerColor = 0x000000;
        ShowPowerMeter = 1;
        ShowOverlayControls = 1;
        OverlayLegendSize = 8;
        for (int k = 0; k < kOverlays; ++k)
            Overlays[k].Color = composite ? kCompositeOverlayColors[k] : kInputOverlayColors[k];
        GrabCursorFlag = 1;
        IntervalSecs = 0.1f;
    }
};
