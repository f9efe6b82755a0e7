// The RIFF WAVE layout: finding the format, the samples and the calibration chunk in a file
// or memory image, and writing the canonical 44-byte header. Sizes read from a file are
// checked against the bytes that are really there.
#pragma once

#include "platform/core/Mmio.h"
#include "platform/core/WinTypes.h"
#include "records/TPcmFormat.h"
#include "wave/WaveCalibrationBlock.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

enum class WaveLayoutResult {
    Ok,
    NotWave,     // no RIFF chunk of form WAVE
    NoFormat,    // no "fmt " chunk, or one too short to read
    BadFormat,   // zero channels or block align, or a block align that is not whole samples
    Unsupported, // not integer PCM of 1 to 4 bytes per sample
    NoData,      // no "data" chunk
    EmptyData,   // a data chunk of size 0
};

struct WaveLayout {
    TPcmFormat format;
    WORD formatTag = 0;
    WORD channels = 0;   // as the "fmt " chunk states them, also when they make no format
    DWORD sampleRate = 0;
    WORD blockAlign = 0;
    WORD bitsPerSample = 0;
    MMCKINFO riff{};
    MMCKINFO formatChunk{}; // the "fmt " chunk; it may stand after the data chunk
    MMCKINFO data{};
    DWORD statedBytes = 0;    // the data chunk's size field
    DWORD availableBytes = 0; // the sample bytes the file really holds, at most statedBytes
    bool truncated = false;   // the file ends before its data chunk does
    // File offset of the frame count of a "fact" chunk before the samples (sox writes one into
    // extensible files), or 0: a file edited in place keeps that count equal to its frames.
    std::int64_t factCountAt = 0;
};

// Reads the layout from the start of the file; on Ok the position is at the first sample.
WaveLayoutResult ReadWaveLayout(HMMIO h, WaveLayout& out);

// Searches the top-level chunks for the calibration chunk (then the older one) and reads it
// into `block`. True when a calibration was found and read; the position returns to 0.
bool ReadWaveCalibration(HMMIO h, WaveCalibrationBlock& block);

// Writes "RIFF", "WAVE", a 16-byte "fmt " chunk and the "data" chunk header for dataBytes of
// samples at the current position (the start of the file); the chunk records are left dirty
// for mmioAscend. The position ends at the first sample.
bool WriteWaveHeader(HMMIO h, const TPcmFormat& format, DWORD dataBytes, MMCKINFO& riff, MMCKINFO& data);

// The calibration chunk as it stands in a file: its 8-byte header (id 102, size 2048), then the block.
constexpr std::size_t kCalibrationChunkBytes = 8 + WaveCalibrationBlock::kSize;
std::array<std::uint8_t, kCalibrationChunkBytes> CalibrationChunkBytes(const WaveCalibrationBlock& block);

// Writes the calibration chunk at the current position, header and block in one write.
MMRESULT WriteCalibrationChunkAt(HMMIO h, const WaveCalibrationBlock& block);

// The message a layout failure is reported with, saying what is wrong with `layout`, or empty
// for the failures that are silent.
std::string WaveLayoutMessage(WaveLayoutResult result, const WaveLayout& layout);
