// The THD+N-versus-frequency test's settings, held by the frame and edited as a copy by the
// options dialog. Not part of the configuration files.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct ThdFreqSettings {
    COLORREF CurveColor;
    COLORREF BackgroundColor;
    COLORREF GridColor;
    COLORREF LimitColor;
    INT InputChannelA;
    INT InputChannelB; // -1: not used
    float PlotTop;     // percent
    float PlotBottom;  // percent
    INT ChannelCount;  // 1 or 2 (2 exactly when channel B is used)
    float StartFrequency;
    float StopFrequency; // below the start the sweep runs downward
    INT StepType;        // 1 linear, 2 fractional-octave
    float LinearStep;    // Hz
    INT OctaveFraction;  // N of 1/N-octave steps
    INT StepDuration;    // ms; set at every start
    WORD FrequencyScale; // 0 linear, 1 logarithmic (2 drawn as 1)
    WORD AmplitudeScale; // 0 linear, 1 logarithmic
    WORD Weighting;      // 0 flat, 1 A, 2 B, 3 C
    BYTE PromptToSave;
    BYTE LimitAEnabled;
    char LimitAFile[260];
    BYTE LimitBEnabled;
    char LimitBFile[260];

    ThdFreqSettings()
    {
        SetDefaults();
        LimitAEnabled = 1;
    }

    // What the options dialog's "Defaults" button restores (limit A off, no limit files).
    void SetDefaults()
    {
        ZeroRecord(*this);
        CurveColor = RGB(255, 255, 0);
        BackgroundColor = RGB(0, 0, 0);
        GridColor = RGB(0, 128, 0);
        LimitColor = RGB(255, 0, 0);
        InputChannelA = 0;
        InputChannelB = -1;
        PlotTop = 10.0f;
        PlotBottom = 0.001f;
        ChannelCount = 1;
        StartFrequency = 20.0f;
        StopFrequency = 20000.0f;
        StepType = 1;
        LinearStep = 1000.0f;
        OctaveFraction = 3;
        StepDuration = 1000;
        FrequencyScale = 1;
        AmplitudeScale = 1;
        Weighting = 0;
        PromptToSave = 1;
        LimitAEnabled = 0;
        LimitBEnabled = 0;
    }
};
