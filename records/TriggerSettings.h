// Triggering. Never stored in a configuration file: every start begins from these defaults.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct TriggerSettings {
    BYTE TriggerEnabled;  // triggering on
    DWORD TriggerChannel; // input channel watched
    DWORD TriggerSource;  // 0 analog input channel, 1 external TTL trigger
    WORD TriggerType;     // 0 level, 1 edge
    WORD Polarity;        // 0 positive, 1 negative
    float ThresholdVolts; // threshold in volts
    WORD DelayType;       // 0 pre-trigger, 1 post-trigger delay
    float DelayMsec;      // delay in milliseconds
    BYTE PromptToAccept;  // ask before accepting a triggered capture

    TriggerSettings()
    {
        ZeroRecord(*this);
        ThresholdVolts = 1.0f;
        DelayType = 1;
        DelayMsec = 5.0f;
    }
};
