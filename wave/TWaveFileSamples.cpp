// Sample access of a TWaveFile: mode 1 works on the open file, the other modes on memory.
#include "wave/TWaveFile.h"

#include "platform/core/MessageBox.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

// A zeroed scratch buffer that reports failure instead of throwing.
bool Allocate(std::vector<BYTE>& buffer, std::uint64_t bytes)
{
    if (bytes > 0x7FFFFFFFull)
        return false;
    try {
        buffer.assign(static_cast<std::size_t>(bytes), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace

std::int64_t TWaveFile::FrameOffset(DWORD frame) const
{
    return static_cast<std::int64_t>(dataOffset_) + static_cast<std::int64_t>(frame) * format_.BlockAlign();
}

bool TWaveFile::ReadFramesAt(DWORD frame, void* buffer, DWORD frames)
{
    std::int64_t bytes = static_cast<std::int64_t>(frames) * format_.BlockAlign();
    if (file_ == nullptr || bytes > 0x7FFFFFFF)
        return false;
    std::int64_t at = FrameOffset(frame);
    if (mmioSeek64(file_, at, SEEK_SET) != at)
        return false;
    LONG got = mmioRead(file_, static_cast<HPSTR>(buffer), static_cast<LONG>(bytes));
    if (got < 0)
        got = 0;
    if (got < bytes)
        std::memset(static_cast<BYTE*>(buffer) + got, 0, static_cast<std::size_t>(bytes - got));
    return got == bytes;
}

bool TWaveFile::WriteFramesAt(DWORD frame, const void* buffer, DWORD frames)
{
    std::int64_t bytes = static_cast<std::int64_t>(frames) * format_.BlockAlign();
    if (file_ == nullptr || bytes > 0x7FFFFFFF || FrameOffset(frame) + bytes > 0xFFFFFFF0ll)
        return false;
    std::int64_t at = FrameOffset(frame);
    if (mmioSeek64(file_, at, SEEK_SET) != at)
        return false;
    return mmioWrite(file_, static_cast<const char*>(buffer), static_cast<LONG>(bytes)) == bytes;
}

void TWaveFile::SetPosition(DWORD frame)
{
    if (mode_ == kStreamed && file_ != nullptr) {
        std::int64_t at = FrameOffset(frame);
        if (mmioSeek64(file_, at, SEEK_SET) != at)
            error_ = 1;
    }
    position_ = frame;
}

double TWaveFile::GetSample(DWORD frame, int channel, bool calibrated)
{
    if (mode_ != kStreamed)
        return TWaveData::GetSample(frame, channel, calibrated);
    if (file_ == nullptr || frame >= length_)
        return format_.ZeroValue;
    std::vector<BYTE> f;
    if (!Allocate(f, format_.BlockAlign()) || !ReadFramesAt(frame, f.data(), 1)) {
        SetPosition(position_);
        return format_.ZeroValue;
    }
    SetPosition(position_);
    std::int32_t raw = RawSample(f.data(), channel);
    return calibrated ? Calibrated(raw, channel) : static_cast<double>(raw);
}

bool TWaveFile::SetSample(std::int32_t value, DWORD frame, int channel)
{
    if (mode_ != kStreamed)
        return TWaveData::SetSample(value, frame, channel);
    if (file_ == nullptr || frame >= length_)
        return false;
    if (format_.BytesPerSample == 1 && (value > 255 || value < -255))
        return false;
    std::vector<BYTE> f;
    if (!Allocate(f, format_.BlockAlign()) || !ReadFramesAt(frame, f.data(), 1))
        return false;
    StoreSample(f.data(), channel, value);
    bool ok = WriteFramesAt(frame, f.data(), 1);
    SetPosition(position_);
    if (ok) {
        modified_ = 1;
        endFrame_ = std::max(endFrame_, frame + 1);
    }
    return ok;
}

bool TWaveFile::ReadSamples(void* destination, DWORD first, DWORD count, int channel)
{
    if (mode_ != kStreamed)
        return TWaveData::ReadSamples(destination, first, count, channel);
    if (file_ == nullptr || destination == nullptr || count > length_ || first > length_ ||
        count > length_ - first)
        return false;
    const int bps = format_.BytesPerSample;
    const std::size_t align = format_.BlockAlign();
    const std::size_t offset = static_cast<std::size_t>(ChannelIndex(channel)) * bps;
    std::vector<BYTE> piece;
    if (!Allocate(piece, static_cast<std::uint64_t>(std::min(count, kPieceFrames)) * align))
        return false;
    auto* out = static_cast<BYTE*>(destination);
    bool ok = true;
    for (DWORD done = 0; done < count;) {
        DWORD n = std::min(kPieceFrames, count - done);
        ok = ReadFramesAt(first + done, piece.data(), n) && ok;
        GatherSamples(out + static_cast<std::size_t>(done) * bps, piece.data(), n, align, offset, bps);
        done += n;
    }
    SetPosition(position_);
    return ok;
}

bool TWaveFile::WriteSamples(const void* source, DWORD first, DWORD count, int channel)
{
    if (mode_ != kStreamed)
        return TWaveData::WriteSamples(source, first, count, channel);
    if (file_ == nullptr || source == nullptr || first > length_)
        return false;
    count = std::min(count, length_ - first);
    const int bps = format_.BytesPerSample;
    const std::size_t align = format_.BlockAlign();
    const std::size_t offset = static_cast<std::size_t>(ChannelIndex(channel)) * bps;
    std::vector<BYTE> piece;
    if (!Allocate(piece, static_cast<std::uint64_t>(std::min(std::max(count, 1u), kPieceFrames)) * align))
        return false;
    const auto* in = static_cast<const BYTE*>(source);
    bool ok = true;
    for (DWORD done = 0; done < count;) {
        DWORD n = std::min(kPieceFrames, count - done);
        ok = ReadFramesAt(first + done, piece.data(), n) && ok;
        for (DWORD i = 0; i < n; ++i)
            std::memcpy(piece.data() + i * align + offset, in + static_cast<std::size_t>(done + i) * bps, bps);
        ok = WriteFramesAt(first + done, piece.data(), n) && ok;
        done += n;
    }
    SetPosition(position_);
    modified_ = 1;
    return ok;
}

bool TWaveFile::ReadBytes(void* destination, DWORD bytes)
{
    if (mode_ != kStreamed)
        return TWaveData::ReadBytes(destination, bytes);
    if (file_ == nullptr || destination == nullptr || position_ >= length_)
        return false;
    // Only the data section is read; whatever follows it in the file is not samples.
    std::uint64_t available = static_cast<std::uint64_t>(length_ - position_) * format_.BlockAlign();
    DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(bytes, available));
    std::int64_t at = FrameOffset(position_);
    LONG got = 0;
    if (mmioSeek64(file_, at, SEEK_SET) == at)
        got = mmioRead(file_, static_cast<HPSTR>(destination), static_cast<LONG>(want));
    if (got < 0)
        got = 0;
    if (static_cast<DWORD>(got) < bytes)
        std::memset(static_cast<BYTE*>(destination) + got, 0, bytes - static_cast<DWORD>(got));
    SeekRelative(BytesToFrames(static_cast<DWORD>(got)));
    return got > 0;
}

bool TWaveFile::WriteBytes(const void* source, DWORD bytes)
{
    if (mode_ != kStreamed)
        return TWaveData::WriteBytes(source, bytes);
    if (file_ == nullptr || source == nullptr)
        return false;
    DWORD frames = BytesToFrames(bytes);
    std::uint64_t newPosition = static_cast<std::uint64_t>(position_) + frames;
    if (FrameOffset(position_) + static_cast<std::int64_t>(bytes) > 0xFFFFFFF0ll)
        return false;
    std::int64_t at = FrameOffset(position_);
    if (mmioSeek64(file_, at, SEEK_SET) != at)
        return false;
    if (mmioWrite(file_, static_cast<const char*>(source), static_cast<LONG>(bytes)) != static_cast<LONG>(bytes))
        return false;
    position_ = static_cast<DWORD>(newPosition);
    if (position_ > length_) {
        length_ = position_;
        dataBytes_ = FramesToBytes(length_);
    }
    modified_ = 1;
    endFrame_ = std::max(endFrame_, position_);
    return true;
}

void TWaveFile::ReadBlockScaled(DWORD first, DWORD end, float& maximum, float& minimum, int channel,
                                bool calibrated, bool rms)
{
    if (mode_ != kStreamed) {
        GetRangeMinMax(first, end, maximum, minimum, channel, calibrated, rms);
        return;
    }
    if (file_ == nullptr || length_ == 0 || first > length_ - 1)
        return;
    end = std::min(end, length_);
    RangeLevels levels(format_);
    std::vector<BYTE> piece;
    if (end > first && Allocate(piece, static_cast<std::uint64_t>(kPieceFrames) * format_.BlockAlign())) {
        for (DWORD f = first; f < end;) {
            DWORD n = std::min(kPieceFrames, end - f);
            if (!ReadFramesAt(f, piece.data(), n)) {
                ReportWaveReadFailure(*this); // the levels of what was read stand
                break;
            }
            RangeMinMax(*this, piece.data(), n, channel, levels);
            f += n;
        }
    }
    SetPosition(position_);
    FinishRange(levels, channel, calibrated, rms, maximum, minimum);
}

void TWaveFile::MuteFrames(DWORD first, DWORD end)
{
    if (mode_ != kStreamed) {
        TWaveData::MuteFrames(first, end);
        return;
    }
    (void)MuteStreamed(first, end & 1u ? end - 1 : end);
}

void TWaveFile::MuteFromFrame(DWORD first)
{
    // On disk an odd end is rounded down, but the wave's own end is no choice of the caller's:
    // muting to the end leaves no frame at the end sounding.
    if (mode_ == kStreamed)
        (void)MuteStreamed(first, length_);
    else
        TWaveData::MuteFrames(first, length_);
}

bool TWaveFile::MuteSecondsWithUndo(float from, float to)
{
    const DWORD first = SecondsToFrames(from);
    const DWORD end = SecondsToFrames(to);
    if (mode_ == kStreamed)
        return MuteStreamed(first, end & 1u ? end - 1 : end);
    if (first >= std::min(end, endFrame_) || !SaveUndo(kUndoOverwritten, first, end))
        return false;
    TWaveData::MuteFrames(first, end);
    modified_ = 1;
    EditDone();
    return true;
}

bool TWaveFile::MuteStreamed(DWORD first, DWORD end)
{
    if (first & 1u)
        ++first;
    if (file_ == nullptr || !(first < end) || first > length_)
        return false;
    end = std::min(end, length_);
    if (!SaveUndo(kUndoOverwritten, first, end))
        return false;
    TWaveData silence(std::min(kPieceFrames, end - first), format_);
    if (silence.IsError())
        return false;
    silence.Silence();
    bool written = true;
    for (DWORD f = first; f < end;) {
        DWORD n = std::min(kPieceFrames, end - f);
        if (!WriteFramesAt(f, silence.GetData(), n)) {
            ReportWaveWriteFailure(*this);
            end = f;
            written = false;
            break;
        }
        f += n;
    }
    if (written)
        EditDone();
    SetPosition(position_);
    modified_ = 1;
    endFrame_ = std::max(endFrame_, end);
    return true;
}

double TWaveFile::IntegrateSegment(DWORD first, DWORD end, int channel)
{
    if (mode_ != kStreamed)
        return MeanSquare(first, end, channel);
    if (file_ == nullptr || !(first < end) || first > length_)
        return 0.0;
    end = std::min(end, length_);
    if (end <= first)
        return 0.0;
    std::vector<BYTE> piece;
    if (!Allocate(piece, static_cast<std::uint64_t>(std::min(kPieceFrames, end - first)) * format_.BlockAlign())) {
        AfxMessageBox("TWaveFile - insufficient memory available for integrating segment", MB_OK | MB_ICONERROR);
        return 0.0;
    }
    double sum = 0.0;
    const std::size_t align = format_.BlockAlign();
    for (DWORD f = first; f < end;) {
        DWORD n = std::min(kPieceFrames, end - f);
        if (!ReadFramesAt(f, piece.data(), n)) {
            ReportWaveReadFailure(*this);
            SetPosition(position_);
            return 0.0;
        }
        for (DWORD i = 0; i < n; ++i) {
            double v = Calibrated(RawSample(piece.data() + i * align, channel), channel);
            sum += v * v;
        }
        f += n;
    }
    SetPosition(position_);
    return sum / static_cast<double>(end - first);
}

double TWaveFile::IntegrateSeconds(float from, float to, int channel)
{
    return IntegrateSegment(SecondsToFrames(from), SecondsToFrames(to), channel);
}
