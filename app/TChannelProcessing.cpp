#include "app/TChannelProcessing.h"

#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "records/CommonRoutines.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <new>

std::unique_ptr<SpectralData> MakeSpectralData(const ChannelProcessingSettings& processing,
                                               const ChannelScalingSettings& scaling, WORD peakDecay)
{
    std::unique_ptr<SpectralData> engine(new (std::nothrow) SpectralData(&processing, &scaling, true));
    if (engine != nullptr)
        engine->SetPeakDecay(peakDecay);
    return engine;
}

DWORD BlockLengthOf(const ChannelProcessingSettings& processing)
{
    // A ratio of 0 (a damaged record) reads as 1, as the engine takes it.
    return std::max<DWORD>(processing.DecimationRatio, 1) * processing.FFTsize;
}

// ---- Input channels ------------------------------------------------------------------------

TChannelProcessing::TChannelProcessing(const FrameSettings& settings, int channel)
    : m_settings(&settings), m_channel(channel)
{
}

TChannelProcessing::~TChannelProcessing() { Clear(); }

TChannelProcessing::TChannelProcessing(TChannelProcessing&&) noexcept = default;

void TChannelProcessing::Clear()
{
    m_buffer.reset();
    m_engine.reset();
    m_window.reset();
}

DWORD TChannelProcessing::BlockLength() const { return BlockLengthOf(m_settings->Processing[m_channel]); }

void TChannelProcessing::Rebuild()
{
    Clear();
    const ChannelProcessingSettings& processing = m_settings->Processing[m_channel];
    const ChannelScalingSettings& scaling = m_settings->Scaling[m_channel];
    // The window's amplitude correction, or its power correction for bands and densities.
    const WORD windowOption = scaling.FreqScaleType == 2 || scaling.SpectralDensityFlag == 1 ? 1 : 2;
    // Each object reports its own failures; whatever was built is kept.
    m_buffer.reset(new (std::nothrow) TSampleBuffer(BlockLength(), processing.SampleFormat, processing.DecimationRatio,
                                                    processing.ApplyLowPassFilter != 0));
    m_window.reset(new (std::nothrow) TSmoothing(processing.FFTsize, processing.SmoothingWindow, windowOption));
    m_engine = MakeSpectralData(processing, scaling, m_settings->SpectrumOpts[m_channel].PeakHold);
}

std::unique_ptr<TSampleBuffer> TChannelProcessing::SwapBuffer(std::unique_ptr<TSampleBuffer> buffer)
{
    std::swap(m_buffer, buffer);
    return buffer;
}

bool TChannelProcessing::StoreBlock(const int* samples)
{
    const DWORD length = BlockLength();
    if (m_buffer == nullptr || m_buffer->GetCount() < length)
        return false;
    for (DWORD i = 0; i < length; ++i)
        m_buffer->SetSample(i, samples[i]);
    return true;
}

TUsbDevice::RingRead TChannelProcessing::ReadBlock(const TUsbDevice& device, long long end, std::vector<int>& scratch)
{
    const DWORD length = BlockLength();
    if (end < (long long)length)
        return TUsbDevice::RingRead::NotYet;
    if (scratch.size() < length)
        return TUsbDevice::RingRead::NoRing;
    const TUsbDevice::RingRead read = device.ReadSamples(m_channel, end - length, int(length), scratch.data());
    if (read == TUsbDevice::RingRead::Ok && !StoreBlock(scratch.data()))
        return TUsbDevice::RingRead::NoRing;
    return read;
}

TChannelProcessing::FileRead TChannelProcessing::ReadFileBlock(TWaveFile& file, DWORD slot)
{
    const DWORD length = BlockLength();
    // A computed signal (Hilbert envelope, Schroeder integral) of a short segment may stand
    // in the buffer; a block read into it would run past its end.
    if (m_buffer == nullptr || m_buffer->GetCount() < length)
        return FileRead::NoBuffer;
    return file.ReadSamples(m_buffer->GetSamplePtr(0), file.GetPosition(), length, int(slot)) ? FileRead::Ok
                                                                                               : FileRead::Failed;
}

bool TChannelProcessing::Analyze(float time)
{
    if (m_buffer == nullptr || m_engine == nullptr || m_window == nullptr)
        return false;
    const UINT n = m_settings->Processing[m_channel].FFTsize;
    m_buffer->CompactChannels();
    for (UINT i = 0; i < n; ++i)
        m_engine->SetTimeSample(i, static_cast<float>(m_buffer->GetSample(i, false)));
    m_window->Apply(m_engine->GetFrame());
    m_engine->ComputeSpectrum();
    m_engine->UpdateTimeAverage(time);
    m_engine->Average(false);
    m_engine->UpdatePeakHold();
    return true;
}

// ---- Composite channels --------------------------------------------------------------------

TCompositeProcessing::TCompositeProcessing(const FrameSettings& settings, int composite)
    : m_settings(&settings), m_composite(composite)
{
}

TCompositeProcessing::~TCompositeProcessing() = default;

TCompositeProcessing::TCompositeProcessing(TCompositeProcessing&&) noexcept = default;

void TCompositeProcessing::Clear()
{
    for (auto& engine : m_engines)
        engine.reset();
}

std::array<SpectralData*, TCompositeProcessing::kEngines> TCompositeProcessing::Engines() const
{
    return {Get(kReference), Get(kTransfer), Get(kResult), Get(kCoherence)};
}

int TCompositeProcessing::SourceChannel() const
{
    const CompositeChannelSettings& c = m_settings->Composite[m_composite];
    constexpr int kChannels = FrameSettings::kChannels;
    if (c.CompositeType == 0 || c.CompositeType == 5) {
        for (int ch = 0; ch < kChannels; ++ch)
            if (c.IncludeInAverage[ch] == 1)
                return ch;
        return 0;
    }
    // Stored settings may name any channel; only 0..7 are channels.
    return c.ReferenceChannel < DWORD(kChannels) && c.TransferChannel < DWORD(kChannels) ? int(c.TransferChannel) : 0;
}

void TCompositeProcessing::Rebuild(const SpectralData* countFrom)
{
    Clear();
    const FrameSettings& s = *m_settings;
    const CompositeChannelSettings& c = s.Composite[m_composite];
    const int source = SourceChannel();
    if (c.bIsEnabled == 0)
        return;
    const WORD decay = s.CompositeSpectrumOpts[m_composite].PeakHold;
    auto make = [&s, decay](int ch) { return MakeSpectralData(s.Processing[ch], s.Scaling[ch], decay); };
    // The result reads in the composite's own units.
    auto labelled = [&c](const ChannelCalibration& calibration) {
        ChannelCalibration copy = calibration;
        CopyField(copy.LabelLinear, c.LabelLinear);
        CopyField(copy.LabelLog, c.LabelLog);
        return copy;
    };
    auto& R = m_engines[kReference];
    auto& T = m_engines[kTransfer];
    auto& C = m_engines[kResult];
    auto& H = m_engines[kCoherence];
    if (c.CompositeType == 0 || c.CompositeType == 5) {
        C = make(source);
        if (C != nullptr && s.Calibration[source].IsEnabled != 0) {
            const ChannelCalibration copy = labelled(s.Calibration[source]);
            C->SetScaling(&copy);
        }
    } else if (c.ReferenceChannel < DWORD(FrameSettings::kChannels) && c.TransferChannel < DWORD(FrameSettings::kChannels)) {
        const int r = int(c.ReferenceChannel), t = int(c.TransferChannel);
        C = make(t);
        R = make(r);
        T = make(t);
        if (R != nullptr && s.Calibration[r].IsEnabled != 0)
            R->SetScaling(&s.Calibration[r]);
        if (T != nullptr && s.Calibration[t].IsEnabled != 0)
            T->SetScaling(&s.Calibration[t]);
        if (C != nullptr) {
            const ChannelCalibration copy = labelled(s.Calibration[t]);
            C->SetScaling(&copy);
        }
        if (c.CompositeType == 3) {
            H = make(t);
            if (H != nullptr) {
                H->SetUnitsLabel("Coherence");
                H->SetPeakDecay(0);
            }
        }
    }
    if (C != nullptr)
        C->SetUnitsLabel(c.ChannelName);
    if (countFrom != nullptr)
        for (auto& engine : m_engines)
            if (engine != nullptr)
                engine->CopyAverageCount(countFrom);
}
