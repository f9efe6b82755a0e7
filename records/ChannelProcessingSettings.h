// FFT and processing settings of one input channel (8 in the frame; section "Settings_%d").
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"
#include "records/TPcmFormat.h"

struct ChannelProcessingSettings {
    TPcmFormat SampleFormat;       // rate, channels, bytes per sample of the channel
    DWORD FFTsize;                 // FFT length in samples
    WORD DecimationRatio;          // decimation before the FFT
    BYTE ApplyLowPassFilter;       // low-pass before decimation
    DWORD AverageBlocks;           // blocks averaged
    WORD AverageType;              // 0 exponential, 1 linear, 2 vector
    WORD AverageMode;              // 0 free run in blocks, 1 sound level meter
    WORD AverageSpeed;             // 0 off, 1 fast, 2 medium, 3 slow, 4 forever
    WORD SmoothingWindow;          // window type of TSmoothing
    WORD OverlapPercent;           // block overlap in percent
    WORD ChannelProcessing;        // read from a configuration, never written
    WORD DelayChannel;             // read, never written
    float DelayTimeMsec;           // read, never written
    DWORD Unkeyed;                 // not stored in configurations
    BYTE EnableOverloadDetection;  // read, never written
    BYTE ExcludeOverloadFlag;      // read, never written
    float RateMultiplier;          // not stored; span = rate * RateMultiplier / 2 / DecimationRatio
    BYTE IndependentScalingAndCalibration; // read, never written

    // The device's default rate; the constructor and a configuration without the key use it.
    static constexpr DWORD kDefaultSamplingRate = 4000;

    ChannelProcessingSettings()
    {
        ZeroRecord(*this);
        SampleFormat.Set(kDefaultSamplingRate, 1, 3);
        FFTsize = 1024;
        DecimationRatio = 1;
        ApplyLowPassFilter = 1;
        AverageBlocks = 3;
        AverageType = 0;
        AverageMode = 0;
        AverageSpeed = 1;
        SmoothingWindow = 6;
        OverlapPercent = 90;
        EnableOverloadDetection = 1;
        RateMultiplier = 1.0f;
    }
};
