// Settings of the Leq and sound-power windows: one Leq record per input channel, one sound
// power record per composite channel. The frame keeps them for the session; neither is
// written to a configuration file.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct LeqChannelSettings {
    // Parameter groups, in the order of Weighting and Averaging.
    enum Group { kLeqT = 0, kLeq = 1, kLsel = 2, kLpk = 3, kLmaxMin = 4, kPercentile = 5, kGroups = 6 };

    INT ReferenceTime;     // LeqT reference period, seconds, > 0
    WORD Weighting[6];     // 0 flat, 1 A, 2 B, 3 C
    WORD Averaging[6];     // 0 Off, 1 Fast, 2 Medium, 3 Slow, 4 Forever (Lpk always Off)
    float Interval;        // recalculation interval, seconds, > 0
    WORD RecalcMode;       // 0 at the interval, 1 when the analyzer stops

    LeqChannelSettings() { SetDefaults(); }
    void SetDefaults()
    {
        ZeroRecord(*this);
        ReferenceTime = 3600;
        for (WORD& w : Weighting)
            w = 1;
        Averaging[kLeqT] = Averaging[kLeq] = Averaging[kLsel] = 3;
        Averaging[kLpk] = 0;
        Averaging[kLmaxMin] = Averaging[kPercentile] = 1;
        Interval = 1.0f;
        RecalcMode = 0;
    }
    // Exponentially averaged blocks of an averaging selector.
    static UINT BlocksOf(WORD averaging)
    {
        switch (averaging) {
        case 1: return 2;
        case 2: return 4;
        case 3: return 11;
        case 4: return 10000;
        default: return 1;
        }
    }
};

struct SoundPowerChannelSettings {
    float EnvironmentalCorrection; // dB
    float BackgroundCorrection;    // dB
    float SurfaceArea;             // square metres, > 0

    SoundPowerChannelSettings()
    {
        ZeroRecord(*this);
        SurfaceArea = 10.0f;
    }
};
