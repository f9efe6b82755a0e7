#include "wave/TWaveData.h"

#include "records/TriggerSettings.h"
#include "platform/core/MessageBox.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

TWaveData::TWaveData()
{
    ResetCalibration();
}

TWaveData::TWaveData(DWORD frames, const TPcmFormat& format) : format_(format)
{
    ResetCalibration();
    if (frames > 0 && !AllocateBlock(frames))
        error_ = 1;
}

TWaveData::~TWaveData()
{
    ReleaseBlock();
}

void TWaveData::ReleaseBlock()
{
    if (block_ != nullptr) {
        GlobalUnlock(block_);
        GlobalFree(block_);
    }
    block_ = nullptr;
    data_ = nullptr;
    dataBytes_ = 0;
    length_ = 0;
    position_ = 0;
    endFrame_ = 0;
}

bool TWaveData::AllocateBlock(DWORD frames)
{
    std::uint64_t bytes = static_cast<std::uint64_t>(frames) * format_.BlockAlign();
    if (bytes == 0 || bytes > 0xFFFFFFFFull)
        return false;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(bytes));
    if (h == nullptr)
        return false;
    ReleaseBlock();
    block_ = h;
    data_ = static_cast<BYTE*>(GlobalLock(h));
    dataBytes_ = static_cast<DWORD>(bytes);
    length_ = frames;
    position_ = 0;
    endFrame_ = 0;
    return true;
}

bool TWaveData::Resize(DWORD frames)
{
    std::uint64_t bytes = static_cast<std::uint64_t>(frames) * format_.BlockAlign();
    if (bytes > 0xFFFFFFFFull)
        return false;
    if (block_ == nullptr) {
        if (frames == 0)
            return true;
        if (!AllocateBlock(frames)) {
            error_ = 1;
            return false;
        }
        if (format_.BytesPerSample == 1)
            std::memset(data_, 127, dataBytes_);
        return true;
    }
    if (frames == length_)
        return true;
    DWORD oldBytes = dataBytes_;
    GlobalUnlock(block_);
    HGLOBAL h = GlobalReAlloc(block_, static_cast<SIZE_T>(bytes), GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (h == nullptr) {
        data_ = static_cast<BYTE*>(GlobalLock(block_));
        return false;
    }
    block_ = h;
    data_ = static_cast<BYTE*>(GlobalLock(h));
    // New frames hold silence, which is not zero for unsigned 8-bit samples.
    if (bytes > oldBytes && format_.BytesPerSample == 1 && data_ != nullptr)
        std::memset(data_ + oldBytes, 127, static_cast<std::size_t>(bytes - oldBytes));
    dataBytes_ = static_cast<DWORD>(bytes);
    length_ = frames;
    position_ = std::min(position_, length_);
    endFrame_ = std::min(endFrame_, length_);
    return true;
}

BYTE* TWaveData::GetPositionPtr() const
{
    if (data_ == nullptr || position_ >= length_)
        return nullptr;
    return data_ + static_cast<std::size_t>(position_) * format_.BlockAlign();
}

DWORD TWaveData::FramesToBytes(DWORD frames) const
{
    return static_cast<DWORD>(static_cast<std::uint64_t>(frames) * format_.BlockAlign());
}

DWORD TWaveData::BytesToFrames(DWORD bytes) const
{
    if (format_.Channels == 0 || format_.BytesPerSample == 0)
        return 0;
    return bytes / format_.Channels / format_.BytesPerSample;
}

double TWaveData::FramesToSeconds(DWORD frames) const
{
    if (format_.SampleRate == 0)
        return 0.0;
    return static_cast<double>(frames) / format_.SampleRate;
}

DWORD TWaveData::SecondsToFrames(float seconds) const
{
    // Rate x seconds truncated toward zero; out-of-range products keep their low 32 bits.
    double product = static_cast<double>(format_.SampleRate) * static_cast<double>(seconds);
    if (!std::isfinite(product))
        return 0;
    product = std::trunc(product);
    if (product >= 9.2e18 || product <= -9.2e18)
        return 0;
    return static_cast<DWORD>(static_cast<std::int64_t>(product));
}

DWORD TWaveData::Seek(DWORD frame)
{
    if (frame <= length_)
        position_ = frame;
    SetPosition(position_);
    return position_;
}

void TWaveData::Rewind()
{
    position_ = 0;
    SetPosition(0);
}

void TWaveData::SeekEnd()
{
    position_ = length_;
    SetPosition(length_);
}

void TWaveData::SeekRelative(DWORD frames)
{
    std::uint64_t p = static_cast<std::uint64_t>(position_) + frames;
    if (p >= length_)
        p = length_ > 0 ? length_ - 1 : 0;
    position_ = static_cast<DWORD>(p);
    SetPosition(position_);
}

double TWaveData::SeekSeconds(float seconds)
{
    Seek(SecondsToFrames(seconds));
    return FramesToSeconds(position_);
}

void TWaveData::SetPosition(DWORD frame)
{
    position_ = frame;
}

int TWaveData::ChannelIndex(int channel) const
{
    if (channel < 0)
        return 0;
    int last = format_.Channels > 0 ? format_.Channels - 1 : 0;
    return channel > last ? last : channel;
}

std::int32_t TWaveData::RawSample(const BYTE* frameBytes, int channel) const
{
    return format_.DecodeSample(frameBytes + static_cast<std::size_t>(ChannelIndex(channel)) * format_.BytesPerSample);
}

void TWaveData::StoreSample(BYTE* frameBytes, int channel, std::int32_t value) const
{
    format_.EncodeSample(frameBytes + static_cast<std::size_t>(ChannelIndex(channel)) * format_.BytesPerSample, value);
}

double TWaveData::Calibrated(std::int32_t raw, int channel) const
{
    int slot = Slot(ChannelIndex(channel));
    return (static_cast<double>(raw) - format_.ZeroValue) * gain_[slot] + offset_[slot];
}

double TWaveData::GetSample(DWORD frame, int channel, bool calibrated)
{
    if (data_ == nullptr || length_ == 0 || frame > length_ - 1)
        return format_.ZeroValue;
    std::int32_t raw = RawSample(data_ + static_cast<std::size_t>(frame) * format_.BlockAlign(), channel);
    if (calibrated)
        return Calibrated(raw, channel);
    if (format_.BytesPerSample >= 3)
        return static_cast<double>(raw) - format_.ZeroValue;
    return raw;
}

bool TWaveData::SetSample(std::int32_t value, DWORD frame, int channel)
{
    if (data_ == nullptr || frame >= length_)
        return false;
    if (format_.BytesPerSample == 1 && (value > 255 || value < -255))
        return false;
    StoreSample(data_ + static_cast<std::size_t>(frame) * format_.BlockAlign(), channel, value);
    if (position_ < length_)
        ++position_;
    endFrame_ = std::max(endFrame_, position_);
    modified_ = 1;
    return true;
}

bool TWaveData::ReadSamples(void* destination, DWORD first, DWORD count, int channel)
{
    if (data_ == nullptr || destination == nullptr || count > length_)
        return false;
    if (first > length_)
        first = 0;
    const int bps = format_.BytesPerSample;
    auto* out = static_cast<BYTE*>(destination);
    if (count <= length_ - first) {
        const std::size_t align = format_.BlockAlign();
        const std::size_t offset = static_cast<std::size_t>(ChannelIndex(channel)) * bps;
        GatherSamples(out, data_ + static_cast<std::size_t>(first) * align, count, align, offset, bps);
        return true;
    }
    for (DWORD i = 0; i < count; ++i) {
        DWORD v = static_cast<DWORD>(format_.ZeroValue);
        for (int b = 0; b < bps; ++b)
            out[static_cast<std::size_t>(i) * bps + b] = static_cast<BYTE>(v >> (8 * b));
    }
    return false;
}

namespace {

// A copy of a size known when compiling is a move or two, where one of a size known only when
// running is a library call per sample: the analyses read millions of samples this way.
template <int Bytes>
void Gather(BYTE* out, const BYTE* in, DWORD count, std::size_t align)
{
    for (DWORD i = 0; i < count; ++i, out += Bytes, in += align)
        std::memcpy(out, in, Bytes);
}

} // namespace

void TWaveData::GatherSamples(BYTE* out, const BYTE* frames, DWORD count, std::size_t align, std::size_t offset,
                              int bps)
{
    const BYTE* in = frames + offset;
    switch (bps) {
    case 1:
        Gather<1>(out, in, count, align);
        break;
    case 2:
        Gather<2>(out, in, count, align);
        break;
    case 3:
        Gather<3>(out, in, count, align);
        break;
    case 4:
        Gather<4>(out, in, count, align);
        break;
    default:
        for (DWORD i = 0; i < count; ++i)
            std::memcpy(out + static_cast<std::size_t>(i) * bps, in + i * align, static_cast<std::size_t>(bps));
        break;
    }
}

bool TWaveData::WriteSamples(const void* source, DWORD first, DWORD count, int channel)
{
    if (data_ == nullptr || source == nullptr || count > length_ || first > length_)
        return false;
    count = std::min(count, length_ - first);
    const int bps = format_.BytesPerSample;
    const std::size_t align = format_.BlockAlign();
    const std::size_t offset = static_cast<std::size_t>(ChannelIndex(channel)) * bps;
    const auto* in = static_cast<const BYTE*>(source);
    for (DWORD i = 0; i < count; ++i)
        std::memcpy(data_ + static_cast<std::size_t>(first + i) * align + offset,
                    in + static_cast<std::size_t>(i) * bps, bps);
    modified_ = 1;
    return true;
}

bool TWaveData::ReadBytes(void* destination, DWORD bytes)
{
    // Any frame before the end can be read, the last one included.
    if (destination == nullptr || data_ == nullptr || position_ >= length_)
        return false;
    std::uint64_t before = static_cast<std::uint64_t>(position_) * format_.BlockAlign();
    std::uint64_t available = dataBytes_ > before ? dataBytes_ - before : 0;
    std::uint64_t n = std::min<std::uint64_t>(bytes, available);
    std::memcpy(destination, data_ + before, static_cast<std::size_t>(n));
    if (n < bytes)
        std::memset(static_cast<BYTE*>(destination) + n, 0, static_cast<std::size_t>(bytes - n));
    SeekRelative(BytesToFrames(static_cast<DWORD>(n)));
    return true;
}

bool TWaveData::WriteBytes(const void* source, DWORD bytes)
{
    if (source == nullptr || data_ == nullptr)
        return false;
    std::uint64_t before = static_cast<std::uint64_t>(position_) * format_.BlockAlign();
    if (before + bytes > dataBytes_)
        return false;
    std::memcpy(data_ + before, source, bytes);
    // The position may reach the length, so that the end frame counts the last frame written.
    position_ = static_cast<DWORD>(std::min<std::uint64_t>(position_ + BytesToFrames(bytes), length_));
    SetPosition(position_);
    modified_ = 1;
    endFrame_ = std::max(endFrame_, position_);
    return true;
}

bool TWaveData::WriteFloatSamples(const std::int32_t* values, DWORD count)
{
    if (values == nullptr || count == 0)
        return false;
    const int bps = format_.BytesPerSample;
    std::uint64_t bytes = static_cast<std::uint64_t>(count) * bps;
    if (bytes > 0xFFFFFFFFull)
        return false;
    std::vector<BYTE> packed;
    try {
        packed.resize(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (DWORD i = 0; i < count; ++i) {
        DWORD v = static_cast<DWORD>(values[i]);
        for (int b = 0; b < bps; ++b)
            packed[static_cast<std::size_t>(i) * bps + b] = static_cast<BYTE>(v >> (8 * b));
    }
    return WriteBytes(packed.data(), static_cast<DWORD>(bytes));
}

void TWaveData::RangeMinMax(const TWaveData& wave, const BYTE* frames, DWORD count, int channel,
                            RangeLevels& levels)
{
    const std::size_t align = wave.format_.BlockAlign();
    for (DWORD i = 0; i < count; ++i)
        levels.Add(wave.RawSample(frames + static_cast<std::size_t>(i) * align, channel));
}

void TWaveData::GetRangeMinMax(DWORD first, DWORD end, float& maximum, float& minimum, int channel, bool calibrated,
                               bool rms)
{
    if (data_ == nullptr || length_ == 0 || first > length_ - 1)
        return;
    end = std::min(end, length_);
    RangeLevels levels(format_);
    if (end > first)
        RangeMinMax(*this, data_ + static_cast<std::size_t>(first) * format_.BlockAlign(), end - first, channel,
                    levels);
    FinishRange(levels, channel, calibrated, rms, maximum, minimum);
}

void TWaveData::FinishRange(RangeLevels& levels, int channel, bool calibrated, bool rms, float& maximum,
                            float& minimum) const
{
    if (rms)
        levels.UseRms();
    maximum = levels.maximum;
    minimum = levels.minimum;
    if (calibrated) {
        int slot = Slot(ChannelIndex(channel));
        maximum = static_cast<float>((maximum - format_.ZeroValue) * gain_[slot] + offset_[slot]);
        minimum = static_cast<float>((minimum - format_.ZeroValue) * gain_[slot] + offset_[slot]);
    }
}

double TWaveData::MeanSquare(DWORD first, DWORD end, int channel)
{
    if (end <= first || first > length_ || data_ == nullptr)
        return 0.0;
    end = std::min(end, length_);
    if (end <= first)
        return 0.0;
    double sum = 0.0;
    const std::size_t align = format_.BlockAlign();
    for (DWORD f = first; f < end; ++f) {
        double v = Calibrated(RawSample(data_ + static_cast<std::size_t>(f) * align, channel), channel);
        sum += v * v;
    }
    return sum / static_cast<double>(end - first);
}

double TWaveData::MeanSquareSeconds(float from, float to, int channel)
{
    return MeanSquare(SecondsToFrames(from), SecondsToFrames(to), channel);
}

void TWaveData::Silence()
{
    if (data_ != nullptr)
        std::memset(data_, format_.BytesPerSample == 1 ? 127 : 0, dataBytes_);
}

void TWaveData::MuteFrames(DWORD first, DWORD end)
{
    if (data_ == nullptr || !(first < end) || first > length_)
        return;
    end = std::min(end, length_);
    const std::size_t align = format_.BlockAlign();
    for (DWORD f = first; f < end; ++f)
        for (int c = 0; c < format_.Channels; ++c)
            StoreSample(data_ + static_cast<std::size_t>(f) * align, c, format_.ZeroValue);
    modified_ = 1;
    endFrame_ = std::max(endFrame_, end);
}

void TWaveData::DecimateFrames(DWORD factor)
{
    if (factor < 2 || error_ || data_ == nullptr)
        return;
    const std::size_t align = format_.BlockAlign();
    for (DWORD i = 0; i < length_ / factor; ++i)
        std::memmove(data_ + i * align, data_ + static_cast<std::size_t>(i) * factor * align, align);
}

bool TWaveData::FindTriggerFrame(const TriggerSettings& trigger, DWORD first, DWORD end, int channel, DWORD* frame)
{
    if (data_ == nullptr)
        return false;
    double thresholdPercent = trigger.ThresholdVolts;
    if (!std::isfinite(thresholdPercent) || std::fabs(thresholdPercent) > 1e6)
        return false;
    double threshold = std::trunc(thresholdPercent) * (static_cast<double>(format_.MaxValue) - format_.ZeroValue) /
                           100.0 +
                       format_.ZeroValue;
    end = std::min(end, length_);
    const std::size_t align = format_.BlockAlign();
    for (DWORD f = first; f < end; ++f) {
        double s = RawSample(data_ + static_cast<std::size_t>(f) * align, channel);
        bool fires = false;
        if (trigger.TriggerType == 0) {
            fires = trigger.Polarity == 0 ? s >= threshold : s <= -threshold;
        } else if (trigger.TriggerType == 1 && f + 1 < end) {
            double next = RawSample(data_ + static_cast<std::size_t>(f + 1) * align, channel);
            fires = trigger.Polarity == 0 ? next - s >= threshold : s - next >= threshold;
        }
        if (fires) {
            if (frame)
                *frame = f;
            return true;
        }
    }
    return false;
}

void TWaveData::ResetCalibration()
{
    calibration_.Clear();
    calibration_.Channel[0].CalRatio = 1.0f;
    calibration_.Channel[1].CalRatio = 1.0f;
    UpdateCalibrationGains(calibration_);
}

void TWaveData::SetCalibration(WaveCalibrationBlock block)
{
    WaveCalibrationBlock merged = calibration_;
    merged.Channel[0] = block.Channel[0];
    merged.Channel[1] = block.Channel[1];
    UpdateCalibrationGains(merged);
}

void TWaveData::UpdateCalibrationGains(WaveCalibrationBlock block)
{
    calibration_ = block;
    const double fullScale = format_.FullScale();
    for (int slot = 0; slot < 2; ++slot) {
        const ChannelCalibration& c = calibration_.Channel[slot];
        double gain = c.CalRatio;
        DWORD units = c.RefUnits;
        offset_[slot] = (units == kUnitProximity || units == kUnitTemperature) ? c.RefOffset : 0.0f;
        if (!(c.IsEnabled != 0 && units == kUnitRpm)) {
            if (gain == 0.0)
                gain = 2.0;
            gain = fullScale != 0.0 ? gain / fullScale : gain;
        }
        gain_[slot] = static_cast<float>(gain);
    }
}

namespace {
void ReportWaveFailure(const TWaveData& wave, const char* verb)
{
    const std::string name = wave.SourceName();
    std::string text = std::string("Failure ") + verb + " wave " + (name.empty() ? "data" : "file " + name);
    AfxMessageBox(text.c_str(), MB_OK | MB_ICONERROR);
}
} // namespace

void ReportWaveReadFailure(const TWaveData& wave) { ReportWaveFailure(wave, "reading"); }
void ReportWaveWriteFailure(const TWaveData& wave) { ReportWaveFailure(wave, "writing"); }
