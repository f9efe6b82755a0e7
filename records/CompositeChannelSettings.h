// One composite channel A..P (16 in the frame; section "CompositeSettings_%d").
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

#include <cstdio>

struct CompositeChannelSettings {
    static constexpr int kCount = 16;

    BYTE bIsEnabled;          // composite channel in use
    WORD CompositeType;       // 0 complex sum, 1 real TF, 2 complex TF, 3 complex TF + coherence,
                              // 4 cross spectrum, 5 real sum
    DWORD ReferenceChannel;   // input channel used as reference
    DWORD TransferChannel;    // input channel used as response
    BYTE IncludeInAverage[16];// channels taking part in a sum
    char ChannelName[80];     // display name
    char LabelLinear[60];     // linear unit label
    char LabelLog[60];        // logarithmic unit label

    CompositeChannelSettings() { SetDefaults(0); }
    explicit CompositeChannelSettings(int index) { SetDefaults(index); }

    void SetDefaults(int index)
    {
        ZeroRecord(*this);
        bIsEnabled = index == 0 ? 1 : 0;
        char letter = (index >= 0 && index < kCount) ? static_cast<char>('A' + index) : 'X';
        std::snprintf(ChannelName, sizeof ChannelName, "Ch %c", letter);
    }
};
