// The block of samples every analysis works on: raw PCM samples in a channel's format, the
// channel's calibration for scaling, and, when the channel decimates, a 39-tap low-pass filter
// applied in place before every ratio-th sample is kept. Samples read as values relative to
// the zero value, optionally scaled to the calibrated unit. One thread at a time.
#pragma once

#include "records/ChannelCalibration.h"
#include "platform/core/GlobalMemory.h"
#include "platform/core/WinTypes.h"
#include "records/TPcmFormat.h"

#include <cstdint>

struct TriggerSettings;

class TSampleBuffer {
public:
    static constexpr int kTaps = 39;

    TSampleBuffer(DWORD count, const TPcmFormat& format, DWORD decimationRatio, bool lowPass);
    ~TSampleBuffer();
    TSampleBuffer(const TSampleBuffer&) = delete;
    TSampleBuffer& operator=(const TSampleBuffer&) = delete;

    // Set when the block could not be allocated (also for a count of 0).
    bool IsError() const { return error_ != 0; }

    void SetScaling(const ChannelCalibration* record);
    void GetScaling(ChannelCalibration& out) const { out = scaling_; }
    const TPcmFormat& GetFormat() const { return format_; }

    DWORD GetSampleRate() const { return format_.SampleRate; }
    DWORD GetCount() const { return count_; }
    DWORD GetSamplesPerChannel() const;
    DWORD GetDecimationRatio() const { return ratio_; }
    // The time the channel's samples span at the analysed rate (count is of undecimated samples
    // and holds the filter's lead-in).
    float GetDuration() const { return IndexToTime(GetSamplesPerChannel()); }
    float IndexToTime(DWORD index) const;
    DWORD TimeToIndex(float seconds) const;

    double GetSample(DWORD index, bool scaled) const;
    void SetSample(DWORD index, std::int32_t value);
    BYTE* GetSamplePtr(DWORD index) const;
    void Clear();
    void ClearRange(DWORD first, DWORD end);
    void GetRangeMinMax(DWORD first, DWORD end, float& maximum, float& minimum, bool scaled, bool rms) const;
    DWORD GetPeakLevelPercent() const;

    void DesignLowPass();
    void ApplyLowPass();
    void CompactChannels();
    const float* GetFilterTaps() const { return taps_; }

    bool FindTrigger(const TriggerSettings& trigger, DWORD first, DWORD end, DWORD& index) const;
    // The envelope of samples [first, first + count): sqrt(x^2 + h^2) with h the Hilbert
    // transform of the piece, computed through the FFT.
    bool HilbertEnvelope(DWORD first, DWORD count);
    bool BackwardIntegrate(DWORD count);
    // False when samples [first, first + milliseconds) hold a run longer than 2 ms of samples
    // closer to the zero value than the trigger's threshold (percent of full scale).
    bool HasNoQuietRun(const TriggerSettings& trigger, DWORD milliseconds, DWORD first) const;

private:
    std::int32_t Raw(DWORD index) const;
    void Store(DWORD index, std::int32_t value);
    double Scaled(std::int32_t raw) const;
    std::int32_t ClampToStorage(double value) const;

    DWORD error_ = 0;
    TPcmFormat format_;
    HGLOBAL block_ = nullptr;
    BYTE* samples_ = nullptr;
    DWORD count_ = 0;
    ChannelCalibration scaling_;
    DWORD ratio_ = 1;
    BYTE lowPass_ = 0;
    float taps_[kTaps] = {};
};
