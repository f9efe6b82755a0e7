// The RT-60 test's settings, held by the frame and edited as a copy by the options dialog. Not
// part of the configuration files: every start begins at these defaults.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct ReverbSettings {
    DWORD SmoothingMethod;     // 0 none, 1 averaging, 2 Schroeder
    float AveragingTime;       // s; kept for the record, the averaging window is a fixed 0.1 s
    DWORD ExtrapolationMethod; // 0 RT 10, 1 RT 20, 2 RT 30
    float MaxDecayTime;        // s, 1..30: noise length and the longest decay measured
    float TimeExtent;          // s shown on the time axes
    DWORD RtChoice;            // 0..5: RT-10..RT-60 shown by the bar view
    DWORD SelectedBand;        // band shown by the decay view
    COLORREF BarColor;
    COLORREF BackgroundColor;
    COLORREF DecayColor;
    COLORREF SurfaceColor;
    COLORREF GridColor;
    float PlotTop;   // dB
    float PlotRange; // dB
    DWORD InputChannel; // device input channel a live test records
    BYTE PromptToSave;
    INT StartOffset; // ms, 0..1000
    BYTE ClearOffsetOnNewTest;

    ReverbSettings()
    {
        ZeroRecord(*this);
        SmoothingMethod = 1;
        AveragingTime = 0.1f;
        ExtrapolationMethod = 1;
        MaxDecayTime = 10.0f;
        TimeExtent = 10.0f;
        RtChoice = 5;
        SelectedBand = 10;
        PlotTop = 20.0f;
        PlotRange = 80.0f;
        InputChannel = 0;
        PromptToSave = 1;
        StartOffset = 0;
        ClearOffsetOnNewTest = 1;
        SetDefaultColors();
    }

    // What the options dialog's "Defaults" button restores; the time extent, the RT choice and
    // the selected band stay.
    void SetDefaults()
    {
        SmoothingMethod = 1;
        ExtrapolationMethod = 1;
        MaxDecayTime = 10.0f;
        PlotTop = 20.0f;
        PlotRange = 80.0f;
        InputChannel = 0;
        PromptToSave = 1;
        StartOffset = 0;
        ClearOffsetOnNewTest = 1;
        SetDefaultColors();
    }

    void SetDefaultColors()
    {
        BarColor = RGB(0, 0, 255);
        BackgroundColor = RGB(255, 255, 196);
        DecayColor = RGB(128, 0, 0);
        SurfaceColor = RGB(0, 0, 255);
        GridColor = RGB(128, 128, 128);
    }
};
