// Construction, settings, memory, the scale table, and the per-block path of SpectralData.
#include "dsp/SpectralData.h"

#include "dsp/PowerDb.h"
#include "numerics/TFft.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

namespace {

constexpr const char* kWorkingMemoryMessage = "SpectralData - Insufficient memory available for working memory";
constexpr const char* kLinearMemoryMessage =
    "Insufficient memory for linear averaging - try using exponential average";

template <typename T>
bool AllocZeroed(std::unique_ptr<T[]>& p, std::size_t n)
{
    p.reset(new (std::nothrow) T[n == 0 ? 1 : n]());
    return p != nullptr;
}

float LocalTimeOfDay()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count() %
                    1000;
    return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) +
           static_cast<float>(ms) / 1000.0f;
}

std::atomic<SpectralData::TimeOfDayFn> g_clock{nullptr};

bool IsUsableFftSize(UINT n)
{
    return n >= 4 && n <= (1u << 21) && (n & (n - 1)) == 0;
}

} // namespace

void SpectralData::SetTimeOfDaySource(TimeOfDayFn fn)
{
    g_clock.store(fn);
}

float SpectralData::TimeOfDay()
{
    const TimeOfDayFn fn = g_clock.load();
    return fn ? fn() : LocalTimeOfDay();
}

void SpectralData::ReportWorkingMemory()
{
    AfxMessageBox(kWorkingMemoryMessage, MB_ICONSTOP);
    error = 1;
}

SpectralData::SpectralData(const ChannelProcessingSettings* processing, const ChannelScalingSettings* scaling,
                           bool loadCompensation)
{
    calibration.Clear();
    if (!processing || !scaling) {
        error = 1;
        return;
    }
    const TPcmFormat& format = processing->SampleFormat;
    fullScale = static_cast<float>((static_cast<double>(format.MaxValue) - format.MinValue) / 2.0);
    N = processing->FFTsize;
    // The transform needs a power of two; any other size (a damaged configuration) is
    // treated like a size of 0: an engine without buffers.
    if (!IsUsableFftSize(N)) {
        N = 0;
        error = 1;
        return;
    }
    bins = N / 2;
    // A decimation ratio of 0 means no decimation (and no division by zero).
    const double ratio = processing->DecimationRatio == 0 ? 1.0 : processing->DecimationRatio;
    // The rate factor is 1.0 unless set from outside; one that is not a positive number would
    // leave the engine without a frequency axis, so it counts as 1.0.
    double rateFactor = processing->RateMultiplier;
    if (!(rateFactor > 0.0) || !std::isfinite(rateFactor))
        rateFactor = 1.0;
    span = static_cast<float>(format.SampleRate * rateFactor / 2.0 / ratio);
    binWidth = span / static_cast<float>(bins);
    lowFrequency = 2.0f * binWidth;
    highFrequency = 0.99f * span;

    SetScaling(nullptr);

    AverageType = processing->AverageType;
    AverageSpeed = processing->AverageSpeed;
    AverageMode = processing->AverageMode;
    AverageBlocks = static_cast<float>(processing->AverageBlocks);
    averageCount = 0;
    AllocateLinearBuffers();
    lastBlockTime = 0.0f;
    windowType = processing->SmoothingWindow;
    noiseBandwidth = static_cast<float>(TSmoothing::NoiseBandwidthFactor(windowType, N));

    peakBin = 0;
    peakDecay = 0;
    overallLevel = peakOverallLevel = kNoLevelDb;
    peakOverallExpiry = 0.0f;

    SetScalingSettings(scaling, loadCompensation);
    AllocateBuffers();
    ComputeScaleTable();
}

SpectralData::~SpectralData() = default;

void SpectralData::AllocateBuffers()
{
    if (!AllocZeroed(frame, N) || !AllocZeroed(averaged, 2 * std::size_t{bins}) || !AllocZeroed(magnitude, bins) ||
        !AllocZeroed(scale, bins)) {
        ReportWorkingMemory();
        return;
    }
    if (windowType == 11 && !AllocZeroed(gaussianWork, bins)) {
        ReportWorkingMemory();
        return;
    }
    if (AmpScaleType == 1) {
        if (!AllocZeroed(magnitudeDb, bins)) {
            ReportWorkingMemory();
            return;
        }
        std::fill_n(magnitudeDb.get(), bins, kNoLevelDb);
    }
    if (!IsOctave()) {
        if (!AllocZeroed(peakHold, bins)) {
            ReportWorkingMemory();
            return;
        }
        peakHoldCount = bins;
    } else {
        BuildBandTable();
        if (error)
            return;
        BuildBandBinTable();
        if (error)
            return;
        if (!AllocZeroed(bandLevels, bandCount) || !AllocZeroed(peakHold, bandCount)) {
            ReportWorkingMemory();
            return;
        }
        std::fill_n(bandLevels.get(), bandCount, kNoLevelDb);
        peakHoldCount = bandCount;
    }
    for (UINT i = 0; i < peakHoldCount; ++i)
        peakHold[i] = {kNoLevelDb, 0.0f};
}

void SpectralData::SetScalingSettings(const ChannelScalingSettings* scaling, bool loadCompensation)
{
    if (!scaling)
        return;
    AmpScaleType = scaling->AmpScaleType;
    FreqScaleType = scaling->FreqScaleType;
    OctaveNumber = scaling->OctaveNumber;
    StandardWeighting = scaling->StandardWeighting;
    TotalPowerWeighting = scaling->TotalPowerWeighting;
    if (loadCompensation) {
        char name[sizeof scaling->MicCompFilename + 1] = {};
        std::memcpy(name, scaling->MicCompFilename, sizeof scaling->MicCompFilename);
        SetCompensation(name, scaling->MicCompEnable != 0);
    }
    BuildWeightingTable(0, StandardWeighting);
    densityFlag = scaling->SpectralDensityFlag ? 1 : 0;
    densityAmplitude = scaling->SpectralDensityType != 0 ? 1 : 0;
    densityDivisor = (densityFlag == 1 && FreqScaleType != 2) ? std::sqrt(binWidth) : 1.0f;
    if (!(densityDivisor > 0.0f))
        densityDivisor = 1.0f;
    ComputeScaleTable();
}

void SpectralData::SetScaling(const ChannelCalibration* cal)
{
    if (cal && cal->IsEnabled != 0) {
        std::memcpy(static_cast<void*>(&calibration), cal, sizeof calibration);
        double conversion = 1.0;
        switch (calibration.ConversionType) {
        case 1:
        case 4:
            conversion = 32.174;
            break;
        case 2:
        case 5:
            conversion = 12.0 * 32.174;
            break;
        case 3:
        case 6:
            conversion = 304.8 * 32.174;
            break;
        case 7:
        case 8:
            conversion = 1000.0 * 12.0 * 32.174;
            break;
        case 9:
        case 10:
            conversion = 1e6 * 12.0 * 32.174;
            break;
        default:
            break;
        }
        calibrationFactor = static_cast<float>(calibration.CalRatio * conversion);
    } else {
        calibration.Clear();
        calibration.IsEnabled = 0;
        calibration.RefLevel = 1.0f;
        calibration.RefType = 0;
        calibration.RefUnits = 4;
        std::strncpy(calibration.LabelLinear, "Percent Full Scale", sizeof calibration.LabelLinear - 1);
        std::strncpy(calibration.LabelLog, "Relative Amplitude (dB)", sizeof calibration.LabelLog - 1);
        calibration.LabelType = 0;
        calibration.PctFullScale = 1.0f;
        calibration.DTGain = 1.0f;
        calibration.CalRatio = 1.0f;
        calibration.ConversionType = 0;
        calibration.IntegrationType = 0;
        calibrationFactor = 1.0f;
    }
    ComputeScaleTable();
}

void SpectralData::ComputeScaleTable()
{
    if (!scale)
        return;
    float base = calibrationFactor / static_cast<float>(static_cast<double>(N) * fullScale) / densityDivisor;
    const DWORD labelType = calibration.LabelType;
    if (labelType == 1)
        base = static_cast<float>(base * 0.7071067811865);
    else if (labelType == 2)
        base *= 2.0f;
    const DWORD integration = calibration.IntegrationType;
    for (UINT k = 0; k < bins; ++k) {
        double s = base;
        if (weighting)
            s *= weighting[k];
        if (compensation && compensation[k] != 0.0f)
            s /= compensation[k];
        const double f = BinFrequency(k);
        if (integration == 1 && f > 0.0001)
            s /= 2.0 * 3.141592654 * f;
        else if (integration == 2 && f > 0.0001)
            s /= std::pow(2.0 * 3.141592654 * f, 2.0);
        scale[k] = static_cast<float>(s);
    }
}

void SpectralData::SetAveraging(WORD speed, UINT blocks)
{
    AverageSpeed = speed;
    AverageBlocks = static_cast<float>(blocks);
    AllocateLinearBuffers();
}

void SpectralData::CopyAverageCount(const SpectralData* other)
{
    if (!other)
        return;
    AverageBlocks = other->AverageBlocks;
    AllocateLinearBuffers();
}

void SpectralData::AllocateLinearBuffers()
{
    ringIndex = 0;
    // The slots are rebuilt empty: the blocks the phases were kept for are gone from the average.
    blockPhases.clear();
    if (AverageMode == 1 && AverageType == 1)
        AverageType = 0;
    // Counts past the slot limit need no exact value (and may not fit an int).
    const int b = AverageBlocks < 999.0f ? std::max(static_cast<int>(AverageBlocks), 1) : 999;
    ringMagnitude.clear();
    ringComplex.clear();
    // Beyond 1000 blocks Average keeps a running mean and never reads the slots.
    if (AverageType != 1 || bins == 0 || AverageBlocks > 1000.0f)
        return;
    const int slots = std::min(b, 999);
    try {
        ringMagnitude.reserve(static_cast<std::size_t>(slots));
        ringComplex.reserve(static_cast<std::size_t>(slots));
    } catch (const std::bad_alloc&) {
        AfxMessageBox(kLinearMemoryMessage, MB_ICONSTOP);
        error = 1;
        return;
    }
    for (int i = 0; i < slots; ++i) {
        std::unique_ptr<float[]> m, c;
        if (!AllocZeroed(m, bins) || !AllocZeroed(c, 2 * std::size_t{bins})) {
            AfxMessageBox(kLinearMemoryMessage, MB_ICONSTOP);
            error = 1;
            return;
        }
        ringMagnitude.push_back(std::move(m));
        ringComplex.push_back(std::move(c));
    }
}

void SpectralData::ResetAverages()
{
    ClearSpectra();
    ClearPeakHold();
}

void SpectralData::ClearSpectra()
{
    averageCount = 0;
    blockPhases.clear();
    std::fill(heldRatios.begin(), heldRatios.end(), 0.0f);
    if (frame)
        std::fill_n(frame.get(), N, 0.0f);
    if (averaged)
        std::fill_n(averaged.get(), 2 * std::size_t{bins}, 0.0f);
    if (magnitude)
        std::fill_n(magnitude.get(), bins, 0.0f);
    if (magnitudeDb)
        std::fill_n(magnitudeDb.get(), bins, kNoLevelDb);
    if (bandLevels)
        std::fill_n(bandLevels.get(), bandCount, kNoLevelDb);
    for (auto& s : ringMagnitude)
        std::fill_n(s.get(), bins, 0.0f);
    for (auto& s : ringComplex)
        std::fill_n(s.get(), 2 * std::size_t{bins}, 0.0f);
    overallLevel = kNoLevelDb;
}

void SpectralData::ClearPeakHold()
{
    for (UINT i = 0; i < peakHoldCount && peakHold; ++i)
        peakHold[i] = {kNoLevelDb, 0.0f};
    peakOverallLevel = kNoLevelDb;
    peakOverallExpiry = 0.0f;
}

void SpectralData::SetPeakDecay(WORD selector)
{
    peakDecay = selector;
    ClearPeakHold();
}

void SpectralData::SetUnitsLabel(const char* text)
{
    if (!text)
        return;
    std::strncpy(unitsLabel, text, sizeof unitsLabel - 1);
    unitsLabel[sizeof unitsLabel - 1] = '\0';
}

float SpectralData::GetScale(UINT bin) const
{
    if (!scale || bin >= bins)
        return 1.0f;
    return scale[bin];
}

void SpectralData::SetScale(UINT bin, float value)
{
    if (!scale || bin >= bins)
        return;
    scale[bin] = value <= 0.0f ? 1.0f : value;
}

void SpectralData::SetWhiteningScale()
{
    if (!magnitude || !scale)
        return;
    const float base = calibrationFactor / static_cast<float>(static_cast<double>(N) * fullScale) / densityDivisor;
    for (UINT k = 0; k < bins; ++k)
        if (magnitude[k] > 0.0f)
            scale[k] = std::sqrt(1.0f / magnitude[k]) * base;
}

// ---------------------------------------------------------------- per block

void SpectralData::ZeroTimeSamples(UINT from, UINT to)
{
    if (!frame || to <= from)
        return;
    const UINT end = std::min(to, N - 1);
    for (UINT i = from; i < end; ++i)
        frame[i] = 0.0f;
}

void SpectralData::ComputeSpectrum()
{
    if (!frame)
        return;
    inverse.reset();
    TFft fft(N);
    if (!fft.Forward(frame.get()))
        return;
    if (!scale)
        return;
    float* f = frame.get();
    const float* s = scale.get();
    for (UINT k = 0; k < bins; ++k) {
        f[2 * k] *= s[k];
        f[2 * k + 1] *= s[k];
    }
}

void SpectralData::UpdateTimeAverage(float t)
{
    if (AverageMode == 0)
        return;
    float dt = t - lastBlockTime;
    if (dt <= 0.0f)
        dt = 0.001f;
    lastBlockTime = t;
    const float r = 0.1f / dt;
    switch (AverageSpeed) {
    case 0:
        AverageBlocks = (coherenceKind || transferKind || crossKind) ? 1.1f : 1.0f;
        break;
    case 1:
        AverageBlocks = r * 1.8f;
        break;
    case 2:
        AverageBlocks = r * 2.7097f;
        break;
    case 3:
        AverageBlocks = r * 11.365f;
        break;
    case 4:
        AverageBlocks = 100000.0f;
        break;
    default:
        AverageBlocks = 1.0f;
        break;
    }
}

void SpectralData::Average(bool meanBands)
{
    if (error || !frame || !averaged || !magnitude)
        return;
    if (AverageMode == 1 && AverageType == 1)
        AverageType = 0;
    float B = AverageBlocks;
    if (AverageType == 1) {
        if (static_cast<float>(averageCount) < B) {
            averageCount += 1;
            ringIndex = averageCount - 1;
        } else {
            averageCount = static_cast<int>(B);
            ringIndex += 1;
            if (static_cast<float>(ringIndex) >= B)
                ringIndex = 0;
        }
    } else {
        averageCount += 1;
        if (B < static_cast<float>(averageCount))
            averageCount = static_cast<int>(B);
    }
    if (averageCount <= 0)
        averageCount = 1;
    const int n = averageCount;
    const float* x = frame.get();
    float* av = averaged.get();
    float* mag = magnitude.get();
    const UINT last = bins >= 1 ? bins - 1 : 0; // the last bin is not averaged
    auto m = [this](float re, float im) {
        const float p = re * re + im * im;
        return (crossKind && p > 0.0f) ? std::sqrt(p) : p;
    };

    bool ring = AverageType == 1 && B <= 1000.0f;
    if (ring) {
        ringIndex = std::clamp(ringIndex, 0, 999);
        if (B < 0.0f)
            B = 1.0f;
        if (B >= 1000.0f)
            B = 998.0f;
        AverageBlocks = B;
        // Slots are rebuilt with every change of the averaging; should they be missing or
        // fewer than the blocks asked for, the running average stands in rather than reading
        // past them.
        if (ringIndex >= static_cast<int>(ringMagnitude.size()) ||
            static_cast<std::size_t>(B) > ringMagnitude.size())
            ring = false;
    }
    if (ring) {
        float* sm = ringMagnitude[static_cast<std::size_t>(ringIndex)].get();
        float* sc = ringComplex[static_cast<std::size_t>(ringIndex)].get();
        for (UINT k = 0; k < last; ++k) {
            sc[2 * k] = x[2 * k];
            sc[2 * k + 1] = x[2 * k + 1];
            sm[k] = m(x[2 * k], x[2 * k + 1]);
        }
        std::fill_n(av, 2 * std::size_t{last}, 0.0f);
        std::fill_n(mag, last, 0.0f);
        const int used = static_cast<int>(B);
        for (int s = 0; s < used; ++s) {
            const float* rm = ringMagnitude[static_cast<std::size_t>(s)].get();
            const float* rc = ringComplex[static_cast<std::size_t>(s)].get();
            for (UINT k = 0; k < last; ++k) {
                av[2 * k] += rc[2 * k];
                av[2 * k + 1] += rc[2 * k + 1];
                mag[k] += rm[k];
            }
        }
        const float inv = 1.0f / static_cast<float>(n);
        for (UINT k = 0; k < last; ++k) {
            av[2 * k] *= inv;
            av[2 * k + 1] *= inv;
            mag[k] *= inv;
        }
    } else if (AverageType != 2 && !crossKind) {
        // The common case without per-bin choices, so that the loop runs in vectors.
        const float a = static_cast<float>(n - 1);
        const float inv = 1.0f / static_cast<float>(n);
        for (UINT k = 0; k < last; ++k) {
            const float re = x[2 * k], im = x[2 * k + 1];
            av[2 * k] = (a * av[2 * k] + re) * inv;
            av[2 * k + 1] = (a * av[2 * k + 1] + im) * inv;
            mag[k] = (a * mag[k] + (re * re + im * im)) * inv;
        }
    } else {
        const float a = static_cast<float>(n - 1);
        const float inv = 1.0f / static_cast<float>(n);
        const bool vector = AverageType == 2;
        for (UINT k = 0; k < last; ++k) {
            av[2 * k] = (a * av[2 * k] + x[2 * k]) * inv;
            av[2 * k + 1] = (a * av[2 * k + 1] + x[2 * k + 1]) * inv;
            mag[k] = (a * mag[k] + m(x[2 * k], x[2 * k + 1])) * inv;
            if (vector) {
                const float p = av[2 * k] * av[2 * k] + av[2 * k + 1] * av[2 * k + 1];
                mag[k] = (crossKind && p > 0.0f) ? std::sqrt(p) : p;
            }
        }
    }

    if (AmpScaleType == 1 && magnitudeDb)
        PowerToDb(mag, magnitudeDb.get(), last, kNoLevelDb);

    if (IsOctave())
        BuildOctaveBands(meanBands);
    UpdatePeakAndOverallLevel();
    RecordBlockPhase(ring);
}

void SpectralData::RecordBlockPhase(bool ring)
{
    // A vector average or a cross spectrum holds no beat of powers to thin out; a history
    // that can't be kept is none, and every beat is then taken as one that never turns.
    if (AverageType == 2 || crossKind || coherenceKind || transferKind || !frame || peakBin + 1 >= bins) {
        blockPhases.clear();
        return;
    }
    // Kept for so many blocks: what the blocks before them weigh counts as never turning.
    constexpr std::size_t kHistory = 256;
    const int n = std::max(averageCount, 1);
    // A new average, or the strongest tone moved: the phases begin again at its bin. Two
    // tones alike (a CCIF pair) take turns as the strongest: the blocks keep both.
    const UINT apart = peakBin > phaseBin ? peakBin - phaseBin : phaseBin - peakBin;
    if (n > 1 && apart > 1 && !blockPhases.empty() &&
        std::llabs(static_cast<long long>(peakBin) - blockPhases.back().secondBin) <= 1)
        SwapPhaseBins();
    if (n == 1 || blockPhases.empty() || (peakBin > phaseBin ? peakBin - phaseBin : phaseBin - peakBin) > 1) {
        blockPhases.clear();
        phaseBin = peakBin;
    }
    if (ring) {
        // The ring holds the last n blocks alike.
        while (blockPhases.size() >= static_cast<std::size_t>(n))
            blockPhases.erase(blockPhases.begin());
        for (ToneModel::BlockPhase& b : blockPhases)
            b.weight = 1.0 / n;
    } else {
        for (ToneModel::BlockPhase& b : blockPhases)
            b.weight *= (n - 1.0) / n;
    }
    if (blockPhases.size() >= kHistory)
        blockPhases.erase(blockPhases.begin());
    const UINT second = SecondPeakBin();
    try {
        blockPhases.push_back({1.0 / n, {frame[2 * phaseBin], frame[2 * phaseBin + 1]},
                               {frame[2 * second], frame[2 * second + 1]}, second});
    } catch (const std::bad_alloc&) {
        blockPhases.clear();
    }
}

void SpectralData::SwapPhaseBins()
{
    // The blocks that read the new strongest tone's bin as their second keep it as their
    // first (a neighbouring bin's phase is another, so only that very bin's).
    const UINT bin = blockPhases.back().secondBin;
    std::erase_if(blockPhases, [&](const ToneModel::BlockPhase& b) { return b.secondBin != bin; });
    for (ToneModel::BlockPhase& b : blockPhases) {
        std::swap(b.value, b.second);
        b.secondBin = phaseBin;
    }
    phaseBin = bin;
}

UINT SpectralData::SecondPeakBin() const
{
    // The strongest peak of the average clear of the first tone's lobe: the second tone of a
    // pair, whose phase the products' beats turn with too. Its place may move while the
    // average settles: each block keeps the bin it was read at.
    const float* mag = magnitude.get();
    const UINT last = bins >= 1 ? bins - 1 : 0;
    const long long reach = ToneModel::LobeReach(windowType);
    UINT best = 0;
    for (UINT k = NarrowbandBin(lowFrequency) + 1; k < last; ++k)
        if (std::llabs(static_cast<long long>(k) - phaseBin) > reach && mag[k] >= mag[k - 1] && mag[k] > mag[k + 1] &&
            (best == 0 || mag[k] > mag[best]))
            best = k;
    return best;
}

void SpectralData::UpdatePeakAndOverallLevel()
{
    if (!magnitude)
        return;
    const float* mag = magnitude.get();
    const UINT last = bins >= 1 ? bins - 1 : 0;
    const UINT lowBin = NarrowbandBin(lowFrequency);
    float best = 0.0f;
    for (UINT k = lowBin + 1; k < last; ++k) {
        if (mag[k] > best) {
            best = mag[k];
            peakBin = k;
        }
    }
    overallLevel = TotalLevel(static_cast<UINT>(GetFirstBin()), static_cast<UINT>(GetLastBin()),
                              static_cast<WORD>(AmpScaleType), TotalPowerWeighting);
}

void SpectralData::UpdatePeakHold()
{
    if (error || !peakHold)
        return;
    const float now = TimeOfDay();
    float hold = 0.0f, step = 0.0f;
    if (peakDecay != 0) {
        step = 2.0f;
        switch (peakDecay) {
        case 1:
            hold = 1.0f;
            break;
        case 2:
            hold = 5.0f;
            break;
        case 3:
            hold = 10.0f;
            break;
        default:
            hold = 100000.0f;
            break;
        }
    }
    if (peakDecay != 0) {
        UINT count = 0;
        if (IsOctave() && bandLevels)
            count = std::min(bandCount, peakHoldCount);
        else if (!IsOctave() && magnitude)
            count = std::min(bins, peakHoldCount);
        // A narrowband dB level is the stored dB value (plus the unit's offset): read it
        // directly rather than through GetLevel's choices for every bin.
        const bool plainDb = !IsOctave() && AmpScaleType == 1 && magnitudeDb && !densityFlag && !coherenceKind;
        const bool addOffset = IsCalibrated() && IsPlain();
        const float offset = addOffset ? UnitOffset() : 0.0f;
        for (UINT i = 0; i < count; ++i) {
            float level;
            if (plainDb) {
                level = magnitudeDb[i];
                if (addOffset)
                    level += offset;
            } else {
                level = GetLevel(static_cast<int>(i));
            }
            PeakEntry& e = peakHold[i];
            if (e.level <= level) {
                e.level = level;
                e.expiry = now + hold;
            } else if (e.expiry < now) {
                e.level -= step;
                if (level > e.level)
                    e.level = level;
            }
        }
    }
    if (peakOverallLevel < overallLevel) {
        peakOverallLevel = overallLevel;
        peakOverallExpiry = now + hold;
    } else if (peakOverallExpiry < now) {
        peakOverallLevel -= step;
        if (overallLevel > peakOverallLevel)
            peakOverallLevel = overallLevel;
    }
}

void SpectralData::ComputeInverse()
{
    if (!averaged || !magnitude)
        return;
    inverse.reset();
    if (!AllocZeroed(inverse, N)) {
        AfxMessageBox(kWorkingMemoryMessage, MB_ICONSTOP);
        return;
    }
    float* out = inverse.get();
    for (UINT k = 0; k < bins; ++k) {
        float a = magnitude[k];
        if (a > 0.0f)
            a = std::sqrt(a);
        const float re = averaged[2 * k], im = averaged[2 * k + 1];
        const float phi = (re == 0.0f && im == 0.0f) ? 0.0f : std::atan2(im, re);
        out[2 * k] = a * std::cos(phi);
        out[2 * k + 1] = a * std::sin(phi);
    }
    TFft fft(N);
    fft.Inverse(out);
    for (UINT k = 0; k < bins; ++k) {
        if (scale && scale[k] != 0.0f) {
            out[2 * k] /= scale[k];
            out[2 * k + 1] /= scale[k];
        }
    }
}

float SpectralData::GetTimeSample(UINT index) const
{
    if (!inverse || index >= N)
        return 0.0f;
    return inverse[index];
}

void SpectralData::LevelsToTimeFrame()
{
    if (!averaged || !magnitude || !frame)
        return;
    std::vector<float> levels;
    try {
        levels.resize(bins);
    } catch (const std::bad_alloc&) {
        AfxMessageBox(kWorkingMemoryMessage, MB_ICONSTOP);
        return;
    }
    for (UINT k = 0; k < bins; ++k)
        levels[k] = GetLevel(static_cast<int>(k));
    ResetAverages();
    std::size_t next = 0;
    const UINT from = N / 4 + 4;
    const UINT to = N / 2 + N / 4 >= 4 ? N / 2 + N / 4 - 4 : 0;
    for (UINT i = 0; i < N; ++i) {
        if (i >= from && i <= to && next < levels.size())
            frame[i] = levels[next++];
        else
            frame[i] = 0.0f;
    }
}
