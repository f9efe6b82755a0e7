// The generator's output format (section "Device") and the output page's level settings,
// which have no configuration key.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct OutputDeviceSettings {
    DWORD SigGenSamplingRate;  // Hz
    DWORD SigGenNumChannels;   // 1 or 2
    DWORD SigGenBitsPerSample;
    float OutputLevel1;        // level of output channel 1, in OutputLevelUnit
    float OutputLevel2;        // level of output channel 2
    DWORD OutputLevelUnit;     // 0 dBFS, 1 percent, 2 V rms, 3 mV rms, 4 dBV, 5 dBmV, 6 dBu
    float FullScaleVolts;      // peak volts at digital full scale

    OutputDeviceSettings()
    {
        ZeroRecord(*this);
        SigGenSamplingRate = 50000;
        SigGenNumChannels = 1;
        SigGenBitsPerSample = 24;
        OutputLevel1 = 1.0f;
        OutputLevel2 = 1.0f;
        OutputLevelUnit = 0;
        FullScaleVolts = 10.0f;
    }
};
