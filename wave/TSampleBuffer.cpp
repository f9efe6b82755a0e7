#include "wave/TSampleBuffer.h"

#include "records/TriggerSettings.h"
#include "numerics/TFft.h"
#include "numerics/TSmoothing.h"
#include "wave/RangeLevels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace {

constexpr double kPi = 3.141592654; // the design's own value of pi

} // namespace

TSampleBuffer::TSampleBuffer(DWORD count, const TPcmFormat& format, DWORD decimationRatio, bool lowPass)
    : format_(format), count_(count), ratio_(decimationRatio), lowPass_(lowPass ? 1 : 0)
{
    if (ratio_ > 1 && lowPass_) {
        count_ = count_ > 0xFFFFFFFFu - kTaps ? count_ : count_ + kTaps;
        DesignLowPass();
    }
    scaling_.Clear();
    SetScaling(nullptr);
    std::uint64_t bytes = static_cast<std::uint64_t>(count_) * format_.BytesPerSample;
    if (count_ > 0 && bytes <= 0x7FFFFFFFull)
        block_ = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(bytes));
    if (block_ != nullptr) {
        samples_ = static_cast<BYTE*>(GlobalLock(block_));
        Clear();
    } else {
        error_ = 1;
    }
}

TSampleBuffer::~TSampleBuffer()
{
    if (block_ != nullptr) {
        GlobalUnlock(block_);
        GlobalFree(block_);
    }
}

void TSampleBuffer::SetScaling(const ChannelCalibration* record)
{
    if (record != nullptr && record->IsEnabled != 0) {
        scaling_ = *record;
    } else {
        if (record == nullptr)
            scaling_.IsEnabled = 0;
        scaling_.RefLevel = 1.0f;
        scaling_.RefType = 0;
        scaling_.RefUnits = kUnitCustom;
        std::memset(scaling_.LabelLinear, 0, sizeof scaling_.LabelLinear);
        std::memset(scaling_.LabelLog, 0, sizeof scaling_.LabelLog);
        std::strcpy(scaling_.LabelLinear, "Percent Full Scale");
        std::strcpy(scaling_.LabelLog, "Relative Amplitude (dB)");
        scaling_.LabelType = 0;
        scaling_.PctFullScale = 1.0f;
        scaling_.CalRatio = 1.0f;
        scaling_.DTGain = 1.0f;
        scaling_.ConversionType = 0;
        scaling_.IntegrationType = 0;
        scaling_.RefOffset = 0.0f;
        std::memset(scaling_.Filename, 0, sizeof scaling_.Filename);
        std::memset(scaling_.ChannelName, 0, sizeof scaling_.ChannelName);
    }
    if (scaling_.RefUnits != kUnitRpm) {
        double fullScale = format_.FullScale();
        if (fullScale != 0.0)
            scaling_.CalRatio = static_cast<float>(scaling_.CalRatio / fullScale);
    }
}

DWORD TSampleBuffer::GetSamplesPerChannel() const
{
    if (ratio_ > 1)
        return lowPass_ ? (count_ - kTaps) / ratio_ : count_ / ratio_;
    return count_;
}

float TSampleBuffer::IndexToTime(DWORD index) const
{
    if (format_.SampleRate == 0 || ratio_ == 0)
        return 0.0f;
    return static_cast<float>(index / (static_cast<double>(format_.SampleRate) / ratio_));
}

DWORD TSampleBuffer::TimeToIndex(float seconds) const
{
    if (ratio_ == 0 || !std::isfinite(seconds))
        return 0;
    double v = std::trunc(static_cast<double>(format_.SampleRate) * seconds / ratio_);
    if (v <= 0)
        return 0;
    if (v >= 4294967295.0)
        return 0xFFFFFFFFu;
    return static_cast<DWORD>(v);
}

std::int32_t TSampleBuffer::Raw(DWORD index) const
{
    return format_.DecodeSample(samples_ + static_cast<std::size_t>(index) * format_.BytesPerSample);
}

void TSampleBuffer::Store(DWORD index, std::int32_t value)
{
    format_.EncodeSample(samples_ + static_cast<std::size_t>(index) * format_.BytesPerSample, value);
}

double TSampleBuffer::Scaled(std::int32_t raw) const
{
    double offset = (scaling_.RefUnits == kUnitProximity || scaling_.RefUnits == kUnitTemperature)
                        ? static_cast<double>(scaling_.RefOffset)
                        : 0.0;
    return (static_cast<double>(raw) - format_.ZeroValue) * scaling_.CalRatio + offset;
}

// Filtered and integrated values are clipped to what the sample width can hold instead of
// wrapping around.
std::int32_t TSampleBuffer::ClampToStorage(double value) const
{
    double lo, hi;
    switch (format_.BytesPerSample) {
    case 1:
        lo = 0;
        hi = 255;
        break;
    case 2:
        lo = -32768;
        hi = 32767;
        break;
    case 3:
        lo = -8388608;
        hi = 8388607;
        break;
    default:
        lo = -2147483648.0;
        hi = 2147483647.0;
        break;
    }
    if (!std::isfinite(value))
        return format_.ZeroValue;
    return static_cast<std::int32_t>(std::clamp(std::trunc(value), lo, hi));
}

double TSampleBuffer::GetSample(DWORD index, bool scaled) const
{
    if (samples_ == nullptr || index >= count_)
        return format_.ZeroValue;
    std::int32_t raw = Raw(index);
    return scaled ? Scaled(raw) : static_cast<double>(raw) - format_.ZeroValue;
}

void TSampleBuffer::SetSample(DWORD index, std::int32_t value)
{
    if (samples_ == nullptr || index >= count_)
        return;
    Store(index, value);
}

BYTE* TSampleBuffer::GetSamplePtr(DWORD index) const
{
    if (samples_ == nullptr || index >= count_)
        return nullptr;
    return samples_ + static_cast<std::size_t>(index) * format_.BytesPerSample;
}

void TSampleBuffer::Clear()
{
    ClearRange(0, count_);
}

void TSampleBuffer::ClearRange(DWORD first, DWORD end)
{
    if (samples_ == nullptr || end <= first)
        return;
    end = std::min(end, count_);
    if (end <= first)
        return;
    // Silence is all zero bytes but for unsigned 8-bit: a fill either way, not a store per
    // sample (blocks are cleared before every read).
    const std::size_t bps = format_.BytesPerSample;
    BYTE* p = samples_ + first * bps;
    const std::size_t bytes = static_cast<std::size_t>(end - first) * bps;
    Store(first, format_.ZeroValue);
    bool zeroBytes = true;
    for (std::size_t b = 0; b < bps; ++b)
        zeroBytes = zeroBytes && p[b] == 0;
    if (zeroBytes) {
        std::memset(p, 0, bytes);
    } else if (bps == 1) {
        std::memset(p, p[0], bytes);
    } else {
        for (std::size_t at = bps; at < bytes; at += bps)
            std::memcpy(p + at, p, bps);
    }
}

void TSampleBuffer::GetRangeMinMax(DWORD first, DWORD end, float& maximum, float& minimum, bool scaled,
                                   bool rms) const
{
    if (samples_ == nullptr || count_ == 0)
        return;
    if (end <= first) {
        first = 0;
        end = 2;
    }
    if (end == 0)
        end = 2;
    if (first >= count_)
        first = count_ >= 2 ? count_ - 2 : 0;
    end = std::min(end, count_);
    RangeLevels levels(format_);
    for (DWORD i = first; i < end; ++i)
        levels.Add(Raw(i));
    if (rms)
        levels.UseRms();
    maximum = levels.maximum;
    minimum = levels.minimum;
    if (scaled) {
        double offset = (scaling_.RefUnits == kUnitProximity || scaling_.RefUnits == kUnitTemperature)
                            ? static_cast<double>(scaling_.RefOffset)
                            : 0.0;
        maximum = static_cast<float>((maximum - format_.ZeroValue) * scaling_.CalRatio + offset);
        minimum = static_cast<float>((minimum - format_.ZeroValue) * scaling_.CalRatio + offset);
    }
}

DWORD TSampleBuffer::GetPeakLevelPercent() const
{
    if (samples_ == nullptr)
        return 0;
    std::int64_t peak = 0;
    DWORD n = std::min(GetSamplesPerChannel(), count_);
    for (DWORD i = 0; i < n; ++i) {
        std::int64_t v = static_cast<std::int64_t>(Raw(i)) - format_.ZeroValue;
        peak = std::max(peak, v < 0 ? -v : v);
    }
    if (peak < 1)
        peak = 1;
    double full = static_cast<double>(format_.MaxValue) - format_.ZeroValue;
    if (static_cast<double>(peak) >= full - 1 || full <= 1)
        return 100;
    return static_cast<DWORD>(100.0 * std::log10(static_cast<double>(peak)) / std::log10(full));
}

void TSampleBuffer::DesignLowPass()
{
    if (ratio_ == 0 || format_.SampleRate == 0)
        return;
    double half = format_.SampleRate / 2.0;
    double cutoff = half / ratio_;
    double w = cutoff * kPi / half;
    const int centre = kTaps / 2;
    taps_[centre] = static_cast<float>(w / kPi);
    for (int k = 1; k <= centre; ++k) {
        float h = static_cast<float>(std::sin(k * w) / (k * kPi));
        taps_[centre + k] = h;
        taps_[centre - k] = h;
    }
    TSmoothing window(kTaps, TSmoothing::kHanning, TSmoothing::kNoCorrection);
    if (!window.HasError() && window.GetTable() != nullptr)
        window.Apply(taps_);
}

void TSampleBuffer::ApplyLowPass()
{
    if (ratio_ < 2 || !lowPass_ || samples_ == nullptr || count_ < 41)
        return;
    for (DWORD i = 0; i + 41 <= count_; ++i) {
        double y = 0.0;
        for (int k = 0; k < kTaps; ++k)
            y += static_cast<double>(taps_[k]) * Raw(i + static_cast<DWORD>(k));
        Store(i, ClampToStorage(y));
    }
}

void TSampleBuffer::CompactChannels()
{
    if (ratio_ < 2 || samples_ == nullptr)
        return;
    ApplyLowPass();
    const int bps = format_.BytesPerSample;
    for (DWORD i = 0; i < count_ / ratio_; ++i)
        std::memmove(samples_ + static_cast<std::size_t>(i) * bps,
                     samples_ + static_cast<std::size_t>(i) * ratio_ * bps, bps);
}

bool TSampleBuffer::FindTrigger(const TriggerSettings& trigger, DWORD first, DWORD end, DWORD& index) const
{
    index = 0;
    if (samples_ == nullptr)
        return false;
    end = std::min(end, count_);
    const double threshold = trigger.ThresholdVolts;
    for (DWORD i = first; i < end; ++i) {
        double s = GetSample(i, true);
        bool fires = false;
        if (trigger.TriggerType == 0 && trigger.Polarity == 0)
            fires = s >= threshold;
        else if (trigger.TriggerType == 0 && trigger.Polarity == 1)
            fires = s <= -threshold;
        else if (trigger.TriggerType == 1 && (trigger.Polarity == 0 || trigger.Polarity == 1) && i + 1 < end) {
            double next = GetSample(i + 1, true);
            fires = trigger.Polarity == 0 ? next - s >= threshold : s - next >= threshold;
        } else if (trigger.TriggerType > 1 || trigger.Polarity > 1) {
            return false;
        }
        if (fires) {
            index = i;
            return true;
        }
    }
    return false;
}

bool TSampleBuffer::HilbertEnvelope(DWORD first, DWORD count)
{
    if (samples_ == nullptr || count == 0 || first >= count_)
        return false;
    count = std::min(count, count_ - first);
    // The transform needs a power of two: the piece is padded with silence.
    DWORD n = 4;
    while (n < count && n < 0x40000000u)
        n <<= 1;
    std::vector<float> work;
    try {
        work.assign(static_cast<std::size_t>(n) * 2, 0.0f);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (DWORD i = 0; i < count; ++i)
        work[2 * i] = static_cast<float>(static_cast<double>(Raw(first + i)) - format_.ZeroValue);
    if (!TFft::ComplexTransform(work.data(), static_cast<int>(n), +1))
        return false;
    // Positive frequencies turn by -90 degrees, negative ones by +90; DC and Nyquist vanish.
    for (DWORD k = 1; k < n; ++k) {
        float re = work[2 * k];
        float im = work[2 * k + 1];
        if (k < n / 2) {
            work[2 * k] = im;
            work[2 * k + 1] = -re;
        } else if (k > n / 2) {
            work[2 * k] = -im;
            work[2 * k + 1] = re;
        }
    }
    work[0] = work[1] = 0.0f;
    work[n] = work[n + 1] = 0.0f;
    if (!TFft::ComplexTransform(work.data(), static_cast<int>(n), -1))
        return false;
    for (DWORD i = 0; i < count; ++i) {
        double x = static_cast<double>(Raw(first + i)) - format_.ZeroValue;
        double h = work[2 * i];
        double sq = x * x + h * h;
        if (sq > 0)
            Store(first + i, ClampToStorage(format_.ZeroValue + std::sqrt(sq)));
    }
    return true;
}

bool TSampleBuffer::BackwardIntegrate(DWORD count)
{
    if (samples_ == nullptr)
        return false;
    count = std::min(count, count_);
    double total = 0.0;
    for (DWORD i = 0; i < count; ++i)
        total += std::fabs(GetSample(i, false));
    if (!(total > 0))
        return false;
    double scale = (static_cast<double>(format_.MaxValue) - format_.ZeroValue) / total;
    double run = 0.0;
    for (DWORD i = count; i-- > 0;) {
        run += std::fabs(GetSample(i, false));
        Store(i, ClampToStorage(run * scale + format_.ZeroValue));
    }
    return true;
}

bool TSampleBuffer::HasNoQuietRun(const TriggerSettings& trigger, DWORD milliseconds, DWORD first) const
{
    if (samples_ == nullptr)
        return true;
    DWORD window = static_cast<DWORD>(static_cast<std::uint64_t>(format_.SampleRate) * milliseconds / 1000);
    DWORD hold = static_cast<DWORD>(format_.SampleRate * 0.002);
    double t = trigger.ThresholdVolts;
    if (!std::isfinite(t) || std::fabs(t) > 1e6)
        return true;
    // Quiet is measured from the zero value, so that the low half of 8-bit samples (below 127)
    // is loud, and 24- and 32-bit samples are judged like the others.
    const double threshold = std::trunc(t) * (static_cast<double>(format_.MaxValue) - format_.ZeroValue) / 100.0;
    DWORD end = static_cast<DWORD>(std::min<std::uint64_t>(static_cast<std::uint64_t>(first) + window, count_));
    DWORD run = 0;
    for (DWORD i = first; i < end; ++i) {
        if (std::fabs(static_cast<double>(Raw(i)) - format_.ZeroValue) < threshold) {
            if (++run > hold)
                return false;
        } else {
            run = 0;
        }
    }
    return true;
}
