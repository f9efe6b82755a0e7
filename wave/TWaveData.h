// The in-memory container of sampled signals: interleaved PCM frames in one movable global
// memory block, with a position, the number of frames that hold data (the end frame) and the
// wave file's calibration block. Positions and lengths are frames; seconds are frames divided
// by the rate. Used on the user-interface thread only.
//
// Channel index 1 (or any index past the last channel) of a mono wave means channel 0; the
// calibration has two slots, A for channel 0 and B for every other channel.
#pragma once

#include "platform/core/GlobalMemory.h"
#include "platform/core/WinTypes.h"
#include "wave/RangeLevels.h"
#include "records/TPcmFormat.h"
#include "wave/WaveCalibrationBlock.h"

#include <cstdint>
#include <string>

struct TriggerSettings;

class TWaveData {
public:
    TWaveData();
    TWaveData(DWORD frames, const TPcmFormat& format);
    virtual ~TWaveData();
    TWaveData(const TWaveData&) = delete;
    TWaveData& operator=(const TWaveData&) = delete;

    // Set when an allocation or file operation failed; callers test it after construction
    // and after I/O.
    bool IsError() const { return error_ != 0; }
    // The object has already shown the user a message of its own (a refused format, say): a
    // caller need not add a second one for the same failure.
    bool ErrorReported() const { return errorReported_; }
    bool IsModified() const { return modified_ != 0; }
    // The file the samples come from, for messages; empty for data held only in memory.
    virtual std::string SourceName() const { return {}; }
    void SetModified(bool modified) { modified_ = modified ? 1 : 0; }

    // Storage.
    [[nodiscard]] bool Resize(DWORD frames);
    bool TrimToEnd() { return Resize(endFrame_); }

    // Format and counts.
    TPcmFormat GetFormat() const { return format_; }
    void GetFormat(TPcmFormat& out) const { out = format_; }
    void SetFormat(const TPcmFormat& format) { format_ = format; }
    WORD GetChannels() const { return format_.Channels; }
    DWORD GetSampleRate() const { return format_.SampleRate; }
    WORD GetBytesPerSample() const { return format_.BytesPerSample; }
    WORD GetBitsPerSample() const { return format_.BitsPerSample; }
    std::int32_t GetMaxValue() const { return format_.MaxValue; }
    std::int32_t GetMinValue() const { return format_.MinValue; }
    std::int32_t GetZeroValue() const { return format_.ZeroValue; }
    DWORD GetDataBytes() const { return dataBytes_; }
    DWORD GetLength() const { return length_; }
    DWORD GetEndFrame() const { return endFrame_; }
    BYTE* GetData() const { return data_; }
    BYTE* GetPositionPtr() const;

    // Time and position.
    DWORD FramesToBytes(DWORD frames) const;
    DWORD BytesToFrames(DWORD bytes) const;
    double FramesToSeconds(DWORD frames) const;
    DWORD SecondsToFrames(float seconds) const;
    DWORD GetPosition() const { return position_; }
    DWORD GetPositionBytes() const { return FramesToBytes(position_); }
    float GetPositionSeconds() const { return static_cast<float>(FramesToSeconds(position_)); }
    float GetCurrentTime() const { return static_cast<float>(FramesToSeconds(position_)); }
    float GetLengthSeconds() const { return static_cast<float>(FramesToSeconds(length_)); }
    float GetEndSeconds() const { return static_cast<float>(FramesToSeconds(endFrame_)); }
    DWORD Seek(DWORD frame);
    void Rewind();
    void SeekEnd();
    void SeekRelative(DWORD frames);
    double SeekSeconds(float seconds);
    // Stores the position; a file-backed wave also moves its file there.
    virtual void SetPosition(DWORD frame);

    // Samples. The file-backed wave overrides these to work on its open file.
    virtual double GetSample(DWORD frame, int channel, bool calibrated);
    [[nodiscard]] virtual bool SetSample(std::int32_t value, DWORD frame, int channel);
    // One channel, packed at bytes per sample.
    [[nodiscard]] virtual bool ReadSamples(void* destination, DWORD first, DWORD count, int channel);
    [[nodiscard]] virtual bool WriteSamples(const void* source, DWORD first, DWORD count, int channel);
    // Raw interleaved bytes at the position, advancing it.
    [[nodiscard]] virtual bool ReadBytes(void* destination, DWORD bytes);
    [[nodiscard]] virtual bool WriteBytes(const void* source, DWORD bytes);
    // Packs the low bytes of each 32-bit value and writes them at the position.
    [[nodiscard]] bool WriteFloatSamples(const std::int32_t* values, DWORD count);
    void GetRangeMinMax(DWORD first, DWORD end, float& maximum, float& minimum, int channel, bool calibrated,
                        bool rms);
    double MeanSquare(DWORD first, DWORD end, int channel);
    double MeanSquareSeconds(float from, float to, int channel);
    void Silence();
    virtual void MuteFrames(DWORD first, DWORD end);
    void MuteFromFrame(DWORD first) { MuteFrames(first, length_); }
    void MuteToFrame(DWORD end) { MuteFrames(0, end); }
    void MuteSeconds(float from, float to) { MuteFrames(SecondsToFrames(from), SecondsToFrames(to)); }
    void DecimateFrames(DWORD factor);
    // True at the first frame of [first, end) where the trigger fires; its index goes to *frame.
    bool FindTriggerFrame(const TriggerSettings& trigger, DWORD first, DWORD end, int channel,
                          DWORD* frame = nullptr);

    // Calibration.
    void ResetCalibration();
    void SetCalibration(WaveCalibrationBlock block);
    void UpdateCalibrationGains(WaveCalibrationBlock block);
    const WaveCalibrationBlock& CalibrationBlock() const { return calibration_; }
    float GetGain(int slot) const { return gain_[slot > 0 ? 1 : 0]; }
    float GetOffset(int slot) const { return offset_[slot > 0 ? 1 : 0]; }

protected:
    // The channel actually addressed (past the last channel means the last one).
    int ChannelIndex(int channel) const;
    static int Slot(int channel) { return channel > 0 ? 1 : 0; }
    // Reads one raw sample from a frame image (1 and 2 bytes as signed 16-bit, 3 and 4 bytes
    // sign-extended); stores one value into a frame image.
    std::int32_t RawSample(const BYTE* frameBytes, int channel) const;
    void StoreSample(BYTE* frameBytes, int channel, std::int32_t value) const;
    double Calibrated(std::int32_t raw, int channel) const;
    // Frees the block and zeroes the counts.
    void ReleaseBlock();
    // Allocates a zeroed block of `frames` frames in place of the current one.
    bool AllocateBlock(DWORD frames);
    static void RangeMinMax(const TWaveData& wave, const BYTE* frames, DWORD count, int channel,
                            RangeLevels& levels);
    // Copies the bps-byte sample at byte `offset` of each of `count` frames of `align` bytes to
    // consecutive places in out.
    static void GatherSamples(BYTE* out, const BYTE* frames, DWORD count, std::size_t align, std::size_t offset,
                              int bps);
    // The reported pair of a range: its RMS levels when asked, then in calibrated units when asked.
    void FinishRange(RangeLevels& levels, int channel, bool calibrated, bool rms, float& maximum,
                     float& minimum) const;

    BYTE error_ = 0;
    mutable bool errorReported_ = false; // set by TWaveFile::ShowError
    BYTE modified_ = 1;
    HGLOBAL block_ = nullptr;
    BYTE* data_ = nullptr;
    TPcmFormat format_;
    DWORD dataBytes_ = 0;
    DWORD length_ = 0;
    DWORD position_ = 0;
    DWORD endFrame_ = 0;
    WaveCalibrationBlock calibration_;
    float gain_[2] = {1.0f, 1.0f};
    float offset_[2] = {0.0f, 0.0f};
};

// Tells the user, once, that samples of `wave` could not be read; the caller then stops.
void ReportWaveReadFailure(const TWaveData& wave);
// The same for samples that could not be written.
void ReportWaveWriteFailure(const TWaveData& wave);
