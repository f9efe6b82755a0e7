// Scaling settings of one input channel (8 in the frame; section "Scaling_%d").
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct ChannelScalingSettings {
    WORD AmpScaleType;          // 0 linear, 1 logarithmic (dB), 2 log magnitude
    WORD FreqScaleType;         // 0 linear, 1 logarithmic, 2 1/N-octave bands
    WORD OctaveNumber;          // N of the 1/N-octave bands
    BYTE SpectralDensityFlag;   // show spectral density
    WORD SpectralDensityType;   // 0 units^2/Hz, 1 units/sqrt(Hz)
    WORD StandardWeighting;     // 0 flat, 1 A, 2 B, 3 C
    WORD TotalPowerWeighting;   // 0 flat, 1 A, 2 B, 3 C
    BYTE MicCompEnable;         // apply the microphone compensation file
    char MicCompFilename[260];  // compensation file (*.mic), full path

    ChannelScalingSettings()
    {
        ZeroRecord(*this);
        AmpScaleType = 1;
        OctaveNumber = 3;
    }
};
