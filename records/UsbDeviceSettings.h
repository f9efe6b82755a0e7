// The input device record: section "Device" plus eight "ChannelInfo_%d". Handed by value to
// the device layer when a run starts.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct UsbChannelSettings {
    BYTE bIsEnabled;     // channel in use
    DWORD ChannelNumber; // the channel's own index; never stored in a file
    double Gain;         // input gain
    WORD CouplingType;
    WORD IEPESource;
    double IEPECurrent;
    WORD FilterType;
    double FilterFreq;

    UsbChannelSettings() { SetDefaults(0); }
    explicit UsbChannelSettings(DWORD channel) { SetDefaults(channel); }

    void SetDefaults(DWORD channel)
    {
        ZeroRecord(*this);
        bIsEnabled = channel <= 4 ? 1 : 0;
        ChannelNumber = channel;
        Gain = 1.0;
        IEPECurrent = 1.0;
        FilterFreq = 20000.0;
    }
};

struct UsbDeviceSettings {
    static constexpr int kChannels = 8;
    static constexpr DWORD kDefaultSamplingRate = 4000;
    static constexpr DWORD kDefaultBitsPerSample = 24;

    DWORD SamplingRate;   // input rate, Hz
    DWORD BitsPerSample;  // 24 selects 24-bit scaling
    WORD AnalogInputType; // 0 or 1
    UsbChannelSettings Channels[kChannels];

    UsbDeviceSettings()
    {
        ZeroRecord(*this);
        SamplingRate = kDefaultSamplingRate;
        BitsPerSample = kDefaultBitsPerSample;
        AnalogInputType = 0;
        for (int i = 0; i < kChannels; ++i)
            Channels[i].SetDefaults(static_cast<DWORD>(i));
    }
};
