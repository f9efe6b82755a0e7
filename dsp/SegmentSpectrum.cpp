#include "dsp/SegmentSpectrum.h"

#include "records/ChannelProcessingSettings.h"
#include "dsp/SegmentSamples.h"
#include "dsp/SpectralData.h"
#include "numerics/SimdDispatch.h"
#include "numerics/TSmoothing.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

namespace {

// Reads up to `frames` frames at `frame` into the work block; what is not read stays silent.
// False when the wave cannot be read; the failure is reported once, here.
bool ReadWork(TWaveData& wave, int fileChannel, DWORD frame, DWORD frames, TSampleBuffer& work)
{
    work.Clear();
    frames = std::min(frames, work.GetCount());
    const DWORD length = wave.GetLength();
    if (frame >= length)
        return true;
    const DWORD n = std::min(frames, length - frame);
    if (n > 0 && !wave.ReadSamples(work.GetSamplePtr(0), frame, n, fileChannel)) {
        ReportWaveReadFailure(wave);
        return false;
    }
    return true;
}

// The rest of a block once the work block holds its decimated samples.
void TransformCompacted(TSampleBuffer& work, SpectralData& engine, const TSmoothing& window)
{
    // A history rebuild draws between blocks; the decoding and windowing must not pay for what
    // the drawing left in the vector registers.
    simd::ClearUpperHalves();
    const UINT n = static_cast<UINT>(engine.GetFftSize());
    float* frame = engine.GetFrame();
    if (frame && n <= work.GetCount()) {
        DecodeValues(work.GetFormat(), work.GetSamplePtr(0), n, frame);
    } else {
        for (UINT i = 0; i < n; ++i)
            engine.SetTimeSample(i, static_cast<float>(work.GetSample(i, false)));
    }
    window.Apply(engine.GetFrame());
    engine.ComputeSpectrum();
    engine.Average(false);
    engine.UpdatePeakHold();
}

// The rest of a block once the work block holds its samples.
void TransformWork(TSampleBuffer& work, SpectralData& engine, const TSmoothing& window)
{
    simd::ClearUpperHalves();
    work.CompactChannels();
    TransformCompacted(work, engine, window);
}

// A channel's values (relative to the zero value) over frames that only move forward, read
// in long pieces: with overlapping blocks each frame is then read and decoded once instead of
// once per block that holds it (ten times at 90 % overlap).
class ChannelValues {
public:
    // Reads no further than frame `end` (the segment's end), so that what lies beyond is
    // never touched.
    ChannelValues(TWaveData& wave, int channel, std::size_t blockFrames, std::int64_t end)
        : wave_(wave), channel_(channel), format_(wave.GetFormat()),
          end_(std::min<std::int64_t>(end, wave.GetLength()))
    {
        capacity_ = std::max<std::size_t>(16 * blockFrames, 65536);
        try {
            values_.resize(capacity_);
            bytes_.resize(capacity_ * format_.BytesPerSample);
        } catch (const std::bad_alloc&) {
            values_.clear();
            bytes_.clear();
        }
    }
    bool IsReady() const { return !values_.empty(); }

    // Points `values` at the values of frames [frame, frame + count), frames past the wave's
    // end as silence, or at null when this cannot serve (the caller reads the block itself).
    // False when the wave cannot be read; the failure is reported once, here.
    bool Get(std::int64_t frame, std::size_t count, const float*& values)
    {
        values = nullptr;
        if (!IsReady() || count > capacity_ || frame < 0)
            return true;
        if (frame < start_ || frame + static_cast<std::int64_t>(count) > start_ + static_cast<std::int64_t>(filled_)) {
            std::size_t keep = 0;
            if (frame >= start_ && frame < start_ + static_cast<std::int64_t>(filled_)) {
                const auto from = static_cast<std::size_t>(frame - start_);
                keep = filled_ - from;
                std::memmove(values_.data(), values_.data() + from, keep * sizeof(float));
            }
            start_ = frame;
            filled_ = keep;
            if (!Fill()) {
                filled_ = 0;
                return false;
            }
        }
        values = values_.data() + (frame - start_);
        return true;
    }

private:
    bool Fill()
    {
        const std::int64_t first = start_ + static_cast<std::int64_t>(filled_);
        const std::size_t want = capacity_ - filled_;
        const std::size_t present =
            first < end_ ? static_cast<std::size_t>(std::min<std::int64_t>(end_ - first, static_cast<std::int64_t>(want)))
                         : 0;
        if (present > 0) {
            SilenceBytes(present);
            if (!wave_.ReadSamples(bytes_.data(), static_cast<DWORD>(first), static_cast<DWORD>(present), channel_)) {
                ReportWaveReadFailure(wave_);
                return false;
            }
            DecodeValues(format_, bytes_.data(), present, values_.data() + filled_);
        }
        std::fill(values_.data() + filled_ + present, values_.data() + capacity_, 0.0f);
        filled_ = capacity_;
        return true;
    }

    // The zero value's bytes in the first `count` samples of the byte buffer.
    void SilenceBytes(std::size_t count)
    {
        const int bps = format_.BytesPerSample;
        if (format_.ZeroValue == 0) {
            std::memset(bytes_.data(), 0, count * bps);
            return;
        }
        for (std::size_t i = 0; i < count; ++i)
            EncodeSample(format_, format_.ZeroValue, bytes_.data() + i * bps);
    }

    TWaveData& wave_;
    int channel_;
    TPcmFormat format_;
    std::int64_t end_;
    std::size_t capacity_ = 0;
    std::vector<float> values_;
    std::vector<BYTE> bytes_;
    std::int64_t start_ = 0;
    std::size_t filled_ = 0;
};

} // namespace

bool ProcessSegmentBlock(TWaveData& wave, int fileChannel, DWORD frame, TSampleBuffer& work, SpectralData& engine,
                         const TSmoothing& window)
{
    if (!ReadWork(wave, fileChannel, frame, work.GetCount(), work))
        return false;
    TransformWork(work, engine, window);
    return true;
}

bool ProcessRebuildLine(TWaveData& wave, int fileChannel, const SegmentRebuildPlan& plan, int line, TSampleBuffer& work,
                        SpectralData& engine, const TSmoothing& window)
{
    engine.ResetAverages();
    DWORD frame = plan.FirstBlockOfLine(line);
    for (int k = 0; k < plan.blocksPerLine; ++k, frame += plan.hopFrames)
        if (!ProcessSegmentBlock(wave, fileChannel, frame, work, engine, window))
            return false;
    return true;
}

SegmentAverageResult ComputeSegmentAverage(TWaveData& wave, int fileChannel, DWORD startFrame, DWORD endFrame,
                                           DWORD hopFrames, TSampleBuffer& work, SpectralData& engine,
                                           const TSmoothing& window, const ChannelProcessingSettings& processing,
                                           const std::function<int()>& askZeroPad, const SegmentProgress& hooks)
{
    if (endFrame <= startFrame)
        return SegmentAverageResult::Nothing;
    const DWORD ratio = std::max<DWORD>(processing.DecimationRatio, 1);
    const std::int64_t blockFrames = static_cast<std::int64_t>(ratio) * engine.GetFftSize();
    const std::int64_t frames = static_cast<std::int64_t>(endFrame) - startFrame;
    const SegmentAveragePlan plan = PlanSegmentAverage(frames, blockFrames, hopFrames);
    const std::int64_t hop = hopFrames > 0 ? hopFrames : blockFrames;

    int choice = SEGMENT_ZEROPAD;
    if (plan.blocks == 0) {
        choice = askZeroPad ? askZeroPad() : SEGMENT_ZEROPAD_CANCEL;
        if (choice != SEGMENT_ZEROPAD && choice != SEGMENT_INCLUDE_NEIGHBOURS)
            return SegmentAverageResult::Cancelled;
    }

    engine.SetAveraging(4, 100000);
    engine.ResetAverages();
    // Without decimation a block is its frames as they stand, so the blocks can be cut from
    // one forward read of the channel.
    const UINT n = static_cast<UINT>(engine.GetFftSize());
    std::optional<ChannelValues> stream;
    if (ratio == 1 && work.GetDecimationRatio() < 2 && work.GetCount() == n && window.GetLength() == n &&
        engine.GetFrame() != nullptr && plan.blocks > 1)
        stream.emplace(wave, fileChannel, n, endFrame);
    std::int64_t frame = startFrame;
    int reported = -1;
    for (std::int64_t i = 0; i < plan.blocks; ++i) {
        const int percent = static_cast<int>(i * 100 / plan.blocks);
        if (percent != reported)
            hooks.Report(reported = percent);
        const float* values = nullptr;
        bool read = !stream || stream->Get(frame, n, values);
        if (read && values) {
            window.ApplyTo(values, engine.GetFrame());
            engine.ComputeSpectrum();
            engine.Average(false);
            engine.UpdatePeakHold();
        } else if (read) {
            read = ProcessSegmentBlock(wave, fileChannel, static_cast<DWORD>(frame), work, engine, window);
        }
        if (!read) {
            engine.SetAveraging(processing.AverageSpeed, processing.AverageBlocks);
            return SegmentAverageResult::ReadFailed;
        }
        frame += hop;
        if (hooks.Cancelled()) {
            // Part of a segment averaged is not its average: nothing is left to show.
            engine.ResetAverages();
            engine.SetAveraging(processing.AverageSpeed, processing.AverageBlocks);
            return SegmentAverageResult::Stopped;
        }
    }

    // The last block.
    bool read = true;
    if (plan.finalBlock) {
        if (plan.blocks >= 1) {
            read = ProcessSegmentBlock(wave, fileChannel, static_cast<DWORD>(endFrame - blockFrames), work, engine,
                                       window);
        } else {
            read = ProcessShortSegmentBlock(wave, fileChannel, startFrame, static_cast<DWORD>(plan.remainder), choice,
                                            work, engine, window);
        }
    }
    engine.SetAveraging(processing.AverageSpeed, processing.AverageBlocks);
    return read ? SegmentAverageResult::Done : SegmentAverageResult::ReadFailed;
}

bool ProcessShortSegmentBlock(TWaveData& wave, int fileChannel, DWORD startFrame, DWORD frames, int choice,
                              TSampleBuffer& work, SpectralData& engine, const TSmoothing& window)
{
    const DWORD ratio = std::max<DWORD>(work.GetDecimationRatio(), 1);
    const std::int64_t blockFrames = static_cast<std::int64_t>(ratio) * engine.GetFftSize();
    if (choice == SEGMENT_INCLUDE_NEIGHBOURS) {
        const std::int64_t first = CentredBlockStart(startFrame, frames, blockFrames);
        std::int64_t count = blockFrames;
        const std::int64_t left = static_cast<std::int64_t>(wave.GetLength()) - first;
        if (left < blockFrames)
            count = std::max<std::int64_t>(left - 1, 0);
        if (!ReadWork(wave, fileChannel, static_cast<DWORD>(first), static_cast<DWORD>(count), work))
            return false;
        TransformWork(work, engine, window);
        return true;
    }
    // The segment's samples in the middle of a frame of silence. After decimation the frames
    // are frames / ratio samples; only those are placed.
    if (!ReadWork(wave, fileChannel, startFrame, frames, work))
        return false;
    work.CompactChannels();
    const std::size_t n = static_cast<std::size_t>(engine.GetFftSize());
    const std::size_t count = std::min<std::size_t>(frames / ratio, n);
    std::vector<float> samples(count);
    for (std::size_t j = 0; j < count; ++j)
        samples[j] = static_cast<float>(work.GetSample(static_cast<DWORD>(j), false));
    const std::vector<float> padded = ZeroPaddedFrame(samples, n);
    // The padded frame goes back into the work block, where a composite takes its block from.
    const TPcmFormat& format = work.GetFormat();
    for (std::size_t j = 0; j < padded.size() && j < work.GetCount(); ++j)
        work.SetSample(static_cast<DWORD>(j), SampleFromValue(format, padded[j]));
    TransformCompacted(work, engine, window);
    return true;
}

std::optional<float> ComputeSegmentSpectrumAtTime(TWaveData& wave, int fileChannel, float seconds, TSampleBuffer& work,
                                   SpectralData& engine, const TSmoothing& window,
                                   const ChannelProcessingSettings& processing)
{
    const DWORD ratio = std::max<DWORD>(processing.DecimationRatio, 1);
    const DWORD blockFrames = ratio * static_cast<DWORD>(engine.GetFftSize());
    float start = seconds - static_cast<float>(wave.FramesToSeconds(blockFrames / 2));
    if (start < 0.0f)
        start = 0.0f;
    engine.ResetAverages();
    engine.SetAveraging(processing.AverageSpeed, processing.AverageBlocks);
    if (!ProcessSegmentBlock(wave, fileChannel, wave.SecondsToFrames(start), work, engine, window))
        return std::nullopt;
    return start;
}

bool InverseSpectrumToSamples(SpectralData& engine, const TSmoothing& window, TSampleBuffer& buffer)
{
    engine.ComputeInverse();
    float* inverse = engine.GetInverseBuffer();
    if (inverse == nullptr)
        return false;
    window.RemoveInPlace(inverse);
    const TPcmFormat& format = buffer.GetFormat();
    const UINT n = static_cast<UINT>(engine.GetFftSize());
    for (UINT i = 0; i < n; ++i)
        buffer.SetSample(i, SampleFromValue(format, engine.GetTimeSample(i)));
    return true;
}

void ComputeSpectrumCepstrum(SpectralData& engine, const TSmoothing& window)
{
    engine.LevelsToTimeFrame();
    window.Apply(engine.GetFrame());
    engine.ComputeSpectrum();
    engine.Average(false);
    engine.UpdatePeakHold();
}

std::string QualityFactorReport(const SpectralData& engine, float f1, float f2, bool fromPeakHold)
{
    const float peak = engine.RankedPeakFrequency(f1, f2, 0, fromPeakHold);
    const float bandwidth = engine.HalfPowerBandwidth(f1, f2, fromPeakHold);
    const float q = engine.QualityFactor(f1, f2, fromPeakHold);
    return FormatQualityFactorMessage(peak, bandwidth, q);
}
