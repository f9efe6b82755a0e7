#include "dsp/SegmentSpectrum.h"

#include "records/ChannelProcessingSettings.h"
#include "dsp/SegmentSamples.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveData.h"

#include <algorithm>
#include <cmath>
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

// The rest of a block once the work block holds its samples.
void TransformWork(TSampleBuffer& work, SpectralData& engine, const TSmoothing& window)
{
    work.CompactChannels();
    const UINT n = static_cast<UINT>(engine.GetFftSize());
    for (UINT i = 0; i < n; ++i)
        engine.SetTimeSample(i, static_cast<float>(work.GetSample(i, false)));
    window.Apply(engine.GetFrame());
    engine.ComputeSpectrum();
    engine.Average(false);
    engine.UpdatePeakHold();
}

} // namespace

bool ProcessSegmentBlock(TWaveData& wave, int fileChannel, DWORD frame, TSampleBuffer& work, SpectralData& engine,
                         const TSmoothing& window)
{
    if (!ReadWork(wave, fileChannel, frame, work.GetCount(), work))
        return false;
    TransformWork(work, engine, window);
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
    std::int64_t frame = startFrame;
    for (std::int64_t i = 0; i < plan.blocks; ++i) {
        hooks.Report(static_cast<int>(i * 100 / plan.blocks));
        if (!ProcessSegmentBlock(wave, fileChannel, static_cast<DWORD>(frame), work, engine, window)) {
            engine.SetAveraging(processing.AverageSpeed, processing.AverageBlocks);
            return SegmentAverageResult::ReadFailed;
        }
        frame += hop;
        if (hooks.Cancelled())
            break;
    }

    // The last block, also after a cancel.
    bool read = true;
    if (plan.finalBlock) {
        if (plan.blocks >= 1) {
            read = ProcessSegmentBlock(wave, fileChannel, static_cast<DWORD>(endFrame - blockFrames), work, engine,
                                       window);
        } else if (choice == SEGMENT_INCLUDE_NEIGHBOURS) {
            const std::int64_t first = CentredBlockStart(startFrame, frames, blockFrames);
            std::int64_t count = blockFrames;
            const std::int64_t left = static_cast<std::int64_t>(wave.GetLength()) - first;
            if (left < blockFrames)
                count = std::max<std::int64_t>(left - 1, 0);
            read = ReadWork(wave, fileChannel, static_cast<DWORD>(first), static_cast<DWORD>(count), work);
            if (read)
                TransformWork(work, engine, window);
        } else {
            // The segment's samples in the middle of a frame of silence. After decimation the
            // R frames are R / ratio samples; only those are placed.
            read = ReadWork(wave, fileChannel, startFrame, static_cast<DWORD>(plan.remainder), work);
            if (!read) {
                engine.SetAveraging(processing.AverageSpeed, processing.AverageBlocks);
                return SegmentAverageResult::ReadFailed;
            }
            work.CompactChannels();
            const std::size_t read = static_cast<std::size_t>(plan.remainder / ratio);
            std::vector<float> samples(read);
            for (std::size_t j = 0; j < read; ++j)
                samples[j] = static_cast<float>(work.GetSample(static_cast<DWORD>(j), false));
            const std::vector<float> padded = ZeroPaddedFrame(samples, static_cast<std::size_t>(engine.GetFftSize()));
            for (std::size_t j = 0; j < padded.size(); ++j)
                engine.SetTimeSample(static_cast<UINT>(j), padded[j]);
            window.Apply(engine.GetFrame());
            engine.ComputeSpectrum();
            engine.Average(false);
            engine.UpdatePeakHold();
        }
    }
    engine.SetAveraging(processing.AverageSpeed, processing.AverageBlocks);
    return read ? SegmentAverageResult::Done : SegmentAverageResult::ReadFailed;
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
