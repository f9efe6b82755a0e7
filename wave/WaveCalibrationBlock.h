// The calibration block a wave file carries after its RIFF chunk: a name and the calibration
// records of channel slots A (left) and B (right). 2048 bytes on disk, read and written field
// by field, little-endian; files written on Windows read back byte for byte.
#pragma once

#include "records/ChannelCalibration.h"
#include "platform/core/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <span>

#pragma pack(push, 1)
struct WaveCalibrationBlock {
    static constexpr std::size_t kSize = 2048;
    static constexpr std::size_t kLegacySize = 1024;
    static constexpr DWORD kChunkId = 102;       // calibration chunk id, as a little-endian number
    static constexpr DWORD kLegacyChunkId = 101; // the older 1024-byte chunk, read only

    char Name[260];
    ChannelCalibration Channel[2]; // slot A (channel 0), slot B (channel 1)
    BYTE Reserved[520];

    WaveCalibrationBlock() { Clear(); }

    // Every byte zero: the block of a wave without calibration.
    void Clear();
    void WriteToBytes(std::span<std::uint8_t, kSize> out) const;
    void ReadFromBytes(std::span<const std::uint8_t, kSize> in);
    // Converts the older chunk: the left fields fill slot A, which is then copied to slot B
    // before B takes the right-hand values.
    void ReadLegacyBytes(std::span<const std::uint8_t, kLegacySize> in);
    // Every level and factor of both slots a finite number of sane size, every code one of its
    // list, and the factor of each enabled slot a wave of `channels` uses one levels can be drawn
    // from: a damaged chunk (NaN, a code past its list, a zero factor) would reach the plots'
    // arithmetic.
    bool HoldsUsableValues(int channels) const;
    // Equal when the two byte images are equal.
    bool SameBytes(const WaveCalibrationBlock& other) const;
};
#pragma pack(pop)

static_assert(sizeof(WaveCalibrationBlock) == 2048, "calibration block layout");
static_assert(offsetof(WaveCalibrationBlock, Channel) == 260);
