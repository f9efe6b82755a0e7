// What the results windows and the Leq calculators read of the frame: its records and
// per-channel objects by pointer, and the few frame operations they call. The frame fills one
// of these when it opens a window; the windows own none of it.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"

#include <functional>

class SpectralData;
struct ChannelCalibration;
struct ChannelFileState;
struct ChannelProcessingSettings;
struct ChannelScalingSettings;
struct CompositeChannelSettings;
struct LeqChannelSettings;
struct SoundPowerChannelSettings;
struct UsbDeviceSettings;

struct UtilityHost {
    const WORD* opMode = nullptr; // 0 Real Time, 1 Recorder, 2 Post Process
    const UsbDeviceSettings* device = nullptr;
    const ChannelFileState* files = nullptr;                // [8]
    const CompositeChannelSettings* composites = nullptr;   // [16]
    const ChannelProcessingSettings* processing = nullptr;  // [8]
    const ChannelScalingSettings* scaling = nullptr;        // [8]
    const ChannelCalibration* calibration = nullptr;        // [8]
    LeqChannelSettings* leq = nullptr;                      // [8]
    SoundPowerChannelSettings* soundPower = nullptr;        // [16]
    // The channel's engine (0..7) and a composite's result engine (0..15); null when none.
    std::function<SpectralData*(int channel)> spectral;
    std::function<SpectralData*(int composite)> compositeSpectral;
    // The tachometer channel (-1 when none) and its latest value (RPM; 0 without one).
    std::function<int()> tachometerChannel;
    std::function<float()> tachometerValue;
    float* latestTachometer = nullptr; // the frame's copy of the RPM window's value
    // Where a channel's samples stand for the Leq window: the number of its next sample (the
    // samples of a live run received since its first; the file's position in Post Process)
    // and their rate (0: the channel has none).
    struct SampleClock {
        long long next = 0;
        DWORD rate = 0;
    };
    std::function<SampleClock(int channel)> sampleClock;
    // Whether a live run is going: before one starts, its first sample is number 0.
    std::function<bool()> liveRunning;
    enum class SampleRead { Ok, NotYet, Gone };
    // `count` unscaled samples of the channel from sample number `first`: NotYet when they are
    // not all there yet, Gone when a live ring no longer holds them.
    std::function<SampleRead(int channel, long long first, DWORD count, float* out)> readSamples;
    WORD Mode() const { return opMode ? *opMode : 0; }
    // An input channel is on view: enabled on the device (Real Time), enabled and active
    // (Recorder), or with a wave file (Post Process).
    bool InputShown(int channel) const;
    // Leq computes a channel: enabled (Real Time), with a file or active (Recorder), with a
    // file (Post Process).
    bool InputComputed(int channel) const;
    bool CompositeEnabled(int composite) const;
    SpectralData* Engine(int channel) const { return spectral ? spectral(channel) : nullptr; }
    SpectralData* CompositeEngine(int composite) const
    {
        return compositeSpectral ? compositeSpectral(composite) : nullptr;
    }
};
