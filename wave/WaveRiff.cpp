#include "wave/WaveRiff.h"

#include <array>
#include <cstring>

namespace {

constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');
constexpr FOURCC kFact = mmioFOURCC('f', 'a', 'c', 't');
constexpr WORD kFormatPcm = 1;
constexpr WORD kFormatExtensible = 0xFFFE;
constexpr WORD kMaxChannels = 256;

WORD Le16(const unsigned char* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }
DWORD Le32(const unsigned char* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}
void Put16(unsigned char* p, WORD v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool FindTopLevel(HMMIO h, DWORD id, MMCKINFO& ck)
{
    if (mmioSeek(h, 0, SEEK_SET) != 0)
        return false;
    ck = MMCKINFO{};
    ck.ckid = id;
    MMRESULT r = mmioDescend(h, &ck, nullptr, MMIO_FINDCHUNK);
    return r == MMSYSERR_NOERROR || r == MMIOERR_CHUNKPASTEND;
}

} // namespace

WaveLayoutResult ReadWaveLayout(HMMIO h, WaveLayout& out)
{
    out = WaveLayout{};
    if (mmioSeek(h, 0, SEEK_SET) != 0)
        return WaveLayoutResult::NotWave;
    out.riff.fccType = kWave;
    MMRESULT r = mmioDescend(h, &out.riff, nullptr, MMIO_FINDRIFF);
    // A RIFF chunk that claims more than the file holds is walked up to the end of the file.
    if (r != MMSYSERR_NOERROR && r != MMIOERR_CHUNKPASTEND)
        return WaveLayoutResult::NotWave;
    const std::int64_t formStart = static_cast<std::int64_t>(out.riff.dwDataOffset) + 4;

    MMCKINFO fmt{};
    fmt.ckid = kFmt;
    r = mmioDescend(h, &fmt, &out.riff, MMIO_FINDCHUNK);
    if (r != MMSYSERR_NOERROR || fmt.cksize < 14)
        return WaveLayoutResult::NoFormat;
    out.formatChunk = fmt;
    std::array<unsigned char, 40> f{};
    LONG want = fmt.cksize < f.size() ? static_cast<LONG>(fmt.cksize) : static_cast<LONG>(f.size());
    LONG got = mmioRead(h, reinterpret_cast<HPSTR>(f.data()), want);
    if (got < 14)
        return WaveLayoutResult::NoFormat;
    out.formatTag = Le16(&f[0]);
    const WORD channels = out.channels = Le16(&f[2]);
    const DWORD rate = out.sampleRate = Le32(&f[4]);
    out.blockAlign = Le16(&f[12]);
    out.bitsPerSample = got >= 16 ? Le16(&f[14]) : 0;
    if (channels == 0 || out.blockAlign == 0 || out.blockAlign % channels != 0 || rate == 0)
        return WaveLayoutResult::BadFormat;
    WORD bytes = static_cast<WORD>(out.blockAlign / channels);
    bool pcm = out.formatTag == kFormatPcm;
    // Extensible files (sox writes them for wide samples) are PCM when their sub-format is.
    if (out.formatTag == kFormatExtensible && got >= 26)
        pcm = Le16(&f[24]) == kFormatPcm;
    if (!pcm || bytes < 1 || bytes > 4 || channels > kMaxChannels ||
        (out.bitsPerSample != 0 && out.bitsPerSample > bytes * 8))
        return WaveLayoutResult::Unsupported;
    out.format.Set(rate, channels, bytes);

    if (mmioSeek64(h, formStart, SEEK_SET) != formStart)
        return WaveLayoutResult::NoData;
    out.data.ckid = kData;
    r = mmioDescend(h, &out.data, &out.riff, MMIO_FINDCHUNK);
    if (r != MMSYSERR_NOERROR && r != MMIOERR_CHUNKPASTEND)
        return WaveLayoutResult::NoData;
    out.statedBytes = out.data.cksize;
    if (out.statedBytes == 0)
        return WaveLayoutResult::EmptyData;
    MMCKINFO fact{};
    fact.ckid = kFact;
    if (mmioSeek64(h, formStart, SEEK_SET) == formStart &&
        mmioDescend(h, &fact, &out.riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR && fact.cksize >= 4 &&
        fact.dwDataOffset < out.data.dwDataOffset)
        out.factCountAt = fact.dwDataOffset;
    std::int64_t fileSize = mmioSize(h);
    std::int64_t present = fileSize - static_cast<std::int64_t>(out.data.dwDataOffset);
    if (present < 0)
        present = 0;
    out.availableBytes = present < out.statedBytes ? static_cast<DWORD>(present) : out.statedBytes;
    out.truncated = out.availableBytes < out.statedBytes;
    if (mmioSeek64(h, out.data.dwDataOffset, SEEK_SET) != out.data.dwDataOffset)
        return WaveLayoutResult::NoData;
    return WaveLayoutResult::Ok;
}

bool ReadWaveCalibration(HMMIO h, WaveCalibrationBlock& block)
{
    bool present = false;
    MMCKINFO ck{};
    if (FindTopLevel(h, WaveCalibrationBlock::kChunkId, ck)) {
        // The block is read whatever the chunk's size field says.
        std::array<std::uint8_t, WaveCalibrationBlock::kSize> bytes{};
        if (mmioRead(h, reinterpret_cast<HPSTR>(bytes.data()), static_cast<LONG>(bytes.size())) ==
            static_cast<LONG>(bytes.size())) {
            block.ReadFromBytes(bytes);
            present = true;
        }
    }
    if (!present && FindTopLevel(h, WaveCalibrationBlock::kLegacyChunkId, ck)) {
        std::array<std::uint8_t, WaveCalibrationBlock::kLegacySize> bytes{};
        if (mmioRead(h, reinterpret_cast<HPSTR>(bytes.data()), static_cast<LONG>(bytes.size())) ==
            static_cast<LONG>(bytes.size())) {
            block.ReadLegacyBytes(bytes);
            present = true;
        }
    }
    // A file that cannot seek back fails the caller's next read, which reports it.
    (void)mmioSeek(h, 0, SEEK_SET);
    return present;
}

bool WriteWaveHeader(HMMIO h, const TPcmFormat& format, DWORD dataBytes, MMCKINFO& riff, MMCKINFO& data)
{
    riff = MMCKINFO{};
    riff.fccType = kWave;
    riff.cksize = 36 + dataBytes + (dataBytes & 1u);
    if (mmioCreateChunk(h, &riff, MMIO_CREATERIFF) != MMSYSERR_NOERROR)
        return false;
    MMCKINFO fmt{};
    fmt.ckid = kFmt;
    fmt.cksize = 16;
    if (mmioCreateChunk(h, &fmt, 0) != MMSYSERR_NOERROR)
        return false;
    unsigned char f[16];
    Put16(f + 0, kFormatPcm);
    Put16(f + 2, format.Channels);
    Put32(f + 4, format.SampleRate);
    Put32(f + 8, static_cast<DWORD>(format.BytesPerSample) * format.SampleRate * format.Channels);
    Put16(f + 12, format.BlockAlign());
    Put16(f + 14, format.BitsPerSample);
    if (mmioWrite(h, reinterpret_cast<const char*>(f), 16) != 16)
        return false;
    if (mmioAscend(h, &fmt, 0) != MMSYSERR_NOERROR)
        return false;
    data = MMCKINFO{};
    data.ckid = kData;
    data.cksize = dataBytes;
    return mmioCreateChunk(h, &data, 0) == MMSYSERR_NOERROR;
}

std::array<std::uint8_t, kCalibrationChunkBytes> CalibrationChunkBytes(const WaveCalibrationBlock& block)
{
    std::array<std::uint8_t, kCalibrationChunkBytes> bytes{};
    Put32(bytes.data(), WaveCalibrationBlock::kChunkId);
    Put32(bytes.data() + 4, static_cast<DWORD>(WaveCalibrationBlock::kSize));
    block.WriteToBytes(
        std::span<std::uint8_t, WaveCalibrationBlock::kSize>(bytes.data() + 8, WaveCalibrationBlock::kSize));
    return bytes;
}

MMRESULT WriteCalibrationChunkAt(HMMIO h, const WaveCalibrationBlock& block)
{
    // One write: a chunk is never found with its header but without its block.
    const auto bytes = CalibrationChunkBytes(block);
    const LONG n = static_cast<LONG>(bytes.size());
    return mmioWrite(h, reinterpret_cast<const char*>(bytes.data()), n) == n ? MMSYSERR_NOERROR : MMIOERR_CANNOTWRITE;
}

std::string WaveLayoutMessage(WaveLayoutResult result, const WaveLayout& layout)
{
    switch (result) {
    case WaveLayoutResult::NotWave:
        return "TWaveFile - not a wave file: it does not begin with a RIFF WAVE header";
    case WaveLayoutResult::NoFormat:
        return "TWaveFile - invalid wave file format (FMT section): the format is missing or the file ends inside it";
    case WaveLayoutResult::BadFormat: {
        std::string fault;
        if (layout.channels == 0)
            fault = "it names 0 channels";
        else if (layout.blockAlign == 0)
            fault = "its frames are 0 bytes long (block align 0)";
        else if (layout.blockAlign % layout.channels != 0)
            fault = "its frames of " + std::to_string(layout.blockAlign) + " bytes (block align) cannot hold " +
                    std::to_string(layout.channels) + " channels of whole samples";
        else
            fault = "its sample rate is 0";
        return "TWaveFile - invalid wave file format (FMT section): " + fault;
    }
    case WaveLayoutResult::Unsupported:
        return "TWaveFile - unsupported wave format: only PCM files with 8, 16, 24 or 32-bit samples can be read";
    case WaveLayoutResult::NoData:
        return "TWaveFile - invalid wave file data found (DATA section)";
    default:
        return {};
    }
}
