// Run limits. Never stored in a configuration file.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct RunControlSettings {
    WORD RunMode;              // 0 until Stop, 1 after FftLimit FFTs, 2 after TimeLimitSecs
    DWORD FftLimit;            // FFT count limit
    float TimeLimitSecs;       // time limit in seconds
    BYTE StartDelayFlag;       // delay the start
    float StartDelaySecs;      // start delay in seconds
    BYTE UpdateIntervalFlag;   // Post Process mode uses UpdateIntervalMsec
    DWORD UpdateIntervalMsec;  // Post Process processing interval, ms

    RunControlSettings()
    {
        ZeroRecord(*this);
        FftLimit = 500;
        TimeLimitSecs = 10.0f;
        StartDelaySecs = 2.0f;
        UpdateIntervalMsec = 100;
    }
};
