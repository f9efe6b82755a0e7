// The eight markers of a spectrum display (sections "Marker_%d" and "CompositeMarker_%d").
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct MarkerSettings {
    static constexpr int kMarkers = 8;

    DWORD Enabled[kMarkers];      // 1 = shown
    float Freq[kMarkers];         // Hz
    DWORD LabelType[kMarkers];    // 0 none, 1 frequency, 2 amplitude, 3 both, 4 custom
    char CustomLabel[kMarkers][30];
    BYTE MarkPeakHoldFlag;

    MarkerSettings() { ZeroRecord(*this); }
};
