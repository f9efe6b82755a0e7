// The per-channel processing of the frame: an input channel's sample block, window table and
// spectrum engine, and a composite channel's four engines, each built together from its
// records by one Rebuild; and the one builder of every spectrum engine the frame makes.
//
// User-interface thread only. Each object owns what it builds; the plots and utilities that
// draw from those objects are rebound by the frame after every Rebuild, and never own them.
#pragma once

#include "acquisition/TUsbDevice.h"
#include "app/settings/FrameSettings.h"

#include <array>
#include <memory>
#include <vector>

class SpectralData;
class TSampleBuffer;
class TSmoothing;
class TWaveFile;

// A spectrum engine from a channel's processing and scaling records, with compensation loaded,
// holding peaks as `peakDecay` says; null when it cannot be allocated (the engine reports its
// own failures through its error flag).
std::unique_ptr<SpectralData> MakeSpectralData(const ChannelProcessingSettings& processing,
                                               const ChannelScalingSettings& scaling, WORD peakDecay);

// A channel's block: decimation ratio x FFT size samples.
DWORD BlockLengthOf(const ChannelProcessingSettings& processing);

class TChannelProcessing {
public:
    // Reads the records of input channel `channel` of `settings` (kept by reference).
    TChannelProcessing(const FrameSettings& settings, int channel);
    ~TChannelProcessing();
    TChannelProcessing(TChannelProcessing&&) noexcept;
    TChannelProcessing(const TChannelProcessing&) = delete;
    TChannelProcessing& operator=(const TChannelProcessing&) = delete;

    // Deletes the objects and builds the sample buffer, window table and engine afresh from the
    // channel's records; whatever could be built is kept.
    void Rebuild();
    // Deletes the sample buffer, the window table and the engine, in that order.
    void Clear();
    // The channel's block length by its current records.
    DWORD BlockLength() const;

    TSampleBuffer* Buffer() const { return m_buffer.get(); }
    TSmoothing* Window() const { return m_window.get(); }
    SpectralData* Engine() const { return m_engine.get(); }
    // Gives the channel another sample buffer (a computed signal) and hands back the one it had.
    std::unique_ptr<TSampleBuffer> SwapBuffer(std::unique_ptr<TSampleBuffer> buffer);

    // Stores a block of BlockLength() device samples in the sample buffer.
    bool StoreBlock(const int* samples);
    // The channel's block that ends at device sample number `end` (one past its last sample),
    // from the device's ring into the sample buffer through `scratch`: NotYet before the run
    // has that many samples, the ring's answer otherwise (NoRing also when the sample buffer
    // cannot take the block).
    TUsbDevice::RingRead ReadBlock(const TUsbDevice& device, long long end, std::vector<int>& scratch);
    // The channel's block read from slot `slot` of its wave file at the file's position into
    // the sample buffer; the position stays. NoBuffer when the buffer cannot take a block.
    enum class FileRead { Ok, NoBuffer, Failed };
    FileRead ReadFileBlock(TWaveFile& file, DWORD slot);
    // The block in the sample buffer decimated, windowed, transformed and averaged as of `time`;
    // false when an object is missing.
    bool Analyze(float time);

private:
    const FrameSettings* m_settings;
    int m_channel;
    std::unique_ptr<TSampleBuffer> m_buffer;
    std::unique_ptr<TSmoothing> m_window;
    std::unique_ptr<SpectralData> m_engine;
};

class TCompositeProcessing {
public:
    enum Engine { kReference, kTransfer, kResult, kCoherence, kEngines };

    // Reads the records of composite channel `composite` of `settings` (kept by reference).
    TCompositeProcessing(const FrameSettings& settings, int composite);
    ~TCompositeProcessing();
    TCompositeProcessing(TCompositeProcessing&&) noexcept;
    TCompositeProcessing(const TCompositeProcessing&) = delete;
    TCompositeProcessing& operator=(const TCompositeProcessing&) = delete;

    // Deletes the engines and, when the composite is enabled, builds those its type uses from

    // gives them its averaging count.
    void Rebuild(const SpectralData* countFrom);
    void Clear();

    SpectralData* Get(int engine) const { return m_engines[std::size_t(engine)].get(); }
    // The four engines (reference, transfer, result, coherence), null where not in use.
    std::array<SpectralData*, kEngines> Engines() const;
    // The input channel the result engine is built from: the transfer channel of a two-channel
    // type, the lowest included channel of a sum (0 when none is).
    int SourceChannel() const;

private:
    const FrameSettings* m_settings;
    int m_composite;
    std::array<std::unique_ptr<SpectralData>, kEngines> m_engines;
};

// Read access by index to one kind of object of a set of channel objects: the names the frame's
// code and tests use (frame->Spectral[ch]) over the channel objects that own what they name.
template <class Channel, class T> class ChannelIndex {
public:
    using Getter = T (Channel::*)() const;
    ChannelIndex(const std::vector<Channel>& channels, Getter get) : m_channels(&channels), m_get(get) {}
    T operator[](int index) const { return ((*m_channels)[std::size_t(index)].*m_get)(); }

private:
    const std::vector<Channel>* m_channels;
    Getter m_get;
};
