#include "dsp/DtmfScan.h"

#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "dsp/DtmfDetector.h"
#include "dsp/SegmentSamples.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "wave/TWaveData.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

UINT DtmfTransformSize(DWORD sampleRate)
{
    if (sampleRate <= 8000)
        return 512;
    if (sampleRate <= 16000)
        return 1024;
    if (sampleRate <= 34000)
        return 2048;
    if (sampleRate <= 50000)
        return 4096;
    return 8192;
}

UINT DtmfHop(UINT transformSize)
{
    return static_cast<UINT>(transformSize * (1.0 - 0.99));
}

namespace {

// Reads, windows, transforms and averages one block at a frame position.
void ProcessBlock(TWaveData& wave, int channel, DWORD frame, std::vector<double>& block, const TSmoothing& window,
                  SpectralData& engine)
{
    ReadSegmentSamples(wave, frame, channel, block);
    for (std::size_t i = 0; i < block.size(); ++i)
        engine.SetTimeSample(static_cast<UINT>(i), static_cast<float>(block[i]));
    window.Apply(engine.GetFrame());
    engine.ComputeSpectrum();
    engine.Average(false);
}

} // namespace

bool ScanDtmfKeys(TWaveData& wave, int fileChannel, float start, float end,
                  const ChannelProcessingSettings& processing, const ChannelScalingSettings& scaling,
                  const SegmentProgress& hooks, std::string& keys)
{
    keys.clear();
    start = std::max(start, 0.0f);
    end = std::max(end, 0.0f);
    if (!(end - start > 0.0f))
        return false;
    const DWORD frames = wave.SecondsToFrames(end - start);
    const DWORD first = wave.SecondsToFrames(start);
    const UINT n = DtmfTransformSize(wave.GetSampleRate());

    const TSmoothing window(n, TSmoothing::kHanning, TSmoothing::kEnergyCorrection);
    ChannelProcessingSettings proc = processing;
    proc.FFTsize = n;
    proc.DecimationRatio = 1;
    proc.AverageBlocks = 1;
    proc.AverageType = 0;
    proc.SmoothingWindow = TSmoothing::kHanning;
    ChannelScalingSettings scal = scaling;
    scal.AmpScaleType = 1;
    scal.FreqScaleType = 0;
    scal.OctaveNumber = 3;
    scal.SpectralDensityFlag = 0;
    scal.SpectralDensityType = 0;
    scal.StandardWeighting = 0;
    scal.TotalPowerWeighting = 0;
    scal.MicCompEnable = 0;
    auto engine = std::make_unique<SpectralData>(&proc, &scal, false);
    if (window.HasError() || engine->HasError())
        return false;
    std::vector<double> block(n);

    // First pass: the level of the strongest tone anywhere in the segment sets the detection
    // threshold. (Taking only the last block's level would set it from whatever ends the
    // segment, silence included, and then noise would pass for keys.)
    const DWORD half = n / 2;
    DWORD blocks = std::max<DWORD>(frames / half, 1);
    engine->SetPeakDecay(0);
    const int lo = engine->FrequencyToBin(600.0f);
    const int hi = engine->FrequencyToBin(1700.0f);
    float reference = -99.9f;
    bool found = false;
    DWORD frame = first;
    for (DWORD i = 0; i < blocks; ++i) {
        hooks.Report(static_cast<int>(static_cast<std::uint64_t>(i) * 100 / blocks));
        ProcessBlock(wave, fileChannel, frame, block, window, *engine);
        float freq = 0.0f;
        float level = -99.9f;
        engine->FindRankedPeak(lo, hi, &freq, &level, 0);
        if (!found || level > reference) {
            reference = level;
            found = true;
        }
        frame += half;
        // Keys of part of a segment are not its keys: a cancelled scan reports none.
        if (hooks.Cancelled())
            return false;
    }

    DtmfDetector detector(reference - 20.0f, 20, 20);
    const UINT hop = std::max<UINT>(DtmfHop(n), 1);
    blocks = std::max<DWORD>(frames / hop, 1);
    engine->SetPeakDecay(0);
    engine->ResetAverages();
    frame = first;
    for (DWORD i = 0; i < blocks; ++i) {
        hooks.Report(static_cast<int>(static_cast<std::uint64_t>(i) * 100 / blocks));
        // Milliseconds past the int range (beyond 24 days into a file) are held at its end.
        const double ms = std::trunc(static_cast<double>(static_cast<float>(wave.FramesToSeconds(frame)) * 1000.0f));
        const auto timeMs = static_cast<std::int32_t>(std::min(ms, static_cast<double>(INT32_MAX)));
        ProcessBlock(wave, fileChannel, frame, block, window, *engine);
        detector.DetectBlock(engine.get(), timeMs);
        frame += hop;
        if (hooks.Cancelled())
            return false;
    }
    keys = detector.GetKeys();
    return true;
}

std::string FormatDtmfMessage(const std::string& keys)
{
    return "DTMF keys = " + keys;
}
