#include "wave/TWaveFile.h"

#include "platform/core/FileSystem.h"
#include "platform/core/MessageBox.h"
#include "platform/core/Resources.h"
#include "wave/WaveRiff.h"
#include "wave/WorkingFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <vector>

namespace {

constexpr LONG kIoChunk = 1 << 20; // bytes per mmio call when whole files move
constexpr std::int64_t kMaxWaveFileBytes = 0xFFFFFFFFll;
constexpr const char* kTooLargeText = "TWaveFile - the file is larger than the 4 GB a wave file can describe; it was "
                                      "not opened, so that no save can cut it short";

std::string TruncationText(DWORD frames)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "TWaveFile - the wave file ends before its data section does: the %u whole frames present "
                  "were read",
                  frames);
    return text;
}

} // namespace

void TWaveFile::ShowError(const std::string& text) const
{
    errorReported_ = true;
    AfxMessageBox(text, MB_OK | MB_ICONERROR);
}

void TWaveFile::ShowOpenError(const std::string& text) const
{
    // Files are opened in groups and at start-up: the message names the one it is about.
    ShowError(text + "\r\rFile: " + fileName_);
}

void TWaveFile::InitDefaults(const std::string& tempDir)
{
    untitled_ = 0;
    undoAvailable_ = 0;
    calPresent_ = 0;
    calChanged_ = 0;
    tempWorking_ = 0;
    makeBackup_ = 0;
    fileName_.clear();
    workingCopy_.clear();
    undoFile_.clear();
    undoFirst_ = undoEnd_ = undoKind_ = undoWaveEnd_ = 0;
    dataOffset_ = 44;
    factCountAt_ = 0;
    trailingFormat_.clear();
    tempDir_ = tempDir.empty() ? GetSystemTempFolder() : tempDir;
}

TWaveFile::TWaveFile(const std::string& name, WORD mode, bool makeBackup, const std::string& tempDir)
{
    InitDefaults(tempDir);
    mode_ = mode;
    makeBackup_ = makeBackup ? 1 : 0;
    fileName_ = name;
    bool ok = false;
    if (mode == kMemory) {
        ok = ReadWholeFile();
    } else if (mode == kStreamed) {
        if (makeBackup && GetFileSizeOf(name) > kMaxWaveFileBytes) {
            ShowOpenError(kTooLargeText); // refused before a copy of it is made
        } else if (makeBackup) {
            std::string copy = MakeTempFile(tempDir_, "wav");
            if (!copy.empty()) {
                workingCopy_ = copy;
                ok = CopyDiskFile(name, copy) && OpenStreamed();
                // Said beside it, so that after a crash the copy is known for what it is.
                WorkingFileLabel label;
                label.kind = WorkingFileLabel::Kind::Backup;
                label.original = name;
                if (ok)
                    (void)WriteWorkingFileLabel(copy, label);
            }
        } else {
            workingCopy_ = name;
            ok = OpenStreamed();
        }
    }
    if (!ok)
        error_ = 1;
    endFrame_ = length_;
}

TWaveFile::TWaveFile(DWORD frames, const TPcmFormat& format, const std::string& tempDir) : TWaveData(frames, format)
{
    InitDefaults(tempDir);
    mode_ = kMemory;
    untitled_ = 1;
    tempWorking_ = 1;
    calibration_.Clear();
    UpdateCalibrationGains(calibration_);
    endFrame_ = 0;
}

TWaveFile::TWaveFile(const TPcmFormat& format, bool makeBackup, const std::string& tempDir)
{
    InitDefaults(tempDir);
    format_ = format;
    mode_ = kStreamed;
    makeBackup_ = makeBackup ? 1 : 0;
    untitled_ = 1;
    tempWorking_ = 1;
    calibration_.Clear();
    UpdateCalibrationGains(calibration_);
    workingCopy_ = MakeTempFile(tempDir_, "wav");
    if (workingCopy_.empty() || !CreateStreamed())
        error_ = 1;
}

TWaveFile::TWaveFile(std::span<const std::uint8_t> image)
{
    InitDefaults({});
    mode_ = kResource;
    if (!ReadImage(image))
        error_ = 1;
    endFrame_ = length_;
}

TWaveFile* TWaveFile::FromResource(std::string_view type, std::string_view name)
{
    return new (std::nothrow) TWaveFile(FindResourceBytes(type, name));
}

TWaveFile::~TWaveFile()
{
    bool closed = true;
    if (mode_ == kStreamed && file_ != nullptr && !CloseFile()) {
        ShowError("TWaveFile - failure on mmioClose()");
        closed = false;
    }
    if (closed) {
        // A temporary working copy goes with the object; the user's own file never does.
        if ((makeBackup_ || untitled_ || tempWorking_) && !workingCopy_.empty() && workingCopy_ != fileName_ &&
            FileExists(workingCopy_) && !DeleteFileA(workingCopy_.c_str()))
            ShowError("TWaveFile - failure deleting temporary file");
        else if (!workingCopy_.empty() && workingCopy_ != fileName_)
            RemoveWorkingFileLabel(workingCopy_);
        DiscardUndo();
    }
}

void TWaveFile::SetFileName(const std::string& name)
{
    fileName_ = name;
    untitled_ = 0;
}

void TWaveFile::ForgetName()
{
    fileName_.clear();
    untitled_ = 1;
}

double TWaveFile::GetRemainingSeconds() const
{
    double bytes = 0;
    if (mode_ == kStreamed)
        bytes = 2000000000.0;
    else if (mode_ == kMemory)
        bytes = static_cast<double>(dataBytes_) - static_cast<double>(GetPositionBytes());
    if (format_.Channels == 0 || format_.BytesPerSample == 0 || format_.SampleRate == 0 || bytes <= 0)
        return 0.0;
    return bytes / format_.Channels / format_.BytesPerSample / format_.SampleRate;
}

bool TWaveFile::CloseFile()
{
    if (file_ == nullptr)
        return true;
    MMRESULT r = mmioClose(file_, 0);
    file_ = nullptr;
    return r == MMSYSERR_NOERROR;
}

// ---- reading ----

HMMIO TWaveFile::OpenWithLayout(const std::string& name, DWORD flags, WaveLayout& layout, DWORD& frames)
{
    frames = 0;
    MMIOINFO info{};
    HMMIO h = mmioOpenA(name.c_str(), &info, flags);
    if (h == nullptr)
        return nullptr;
    // RIFF sizes cannot name more than 4 GB: such a file's chunks describe only part of it, and
    // a save would keep that part alone.
    if (mmioSize(h) > kMaxWaveFileBytes) {
        ShowOpenError(kTooLargeText);
        mmioClose(h, 0);
        return nullptr;
    }
    WaveLayoutResult r = ReadWaveLayout(h, layout);
    frames = r == WaveLayoutResult::Ok ? layout.availableBytes / layout.blockAlign : 0;
    if (frames == 0) {
        std::string text = WaveLayoutMessage(r, layout);
        if (!text.empty())
            ShowOpenError(text);
        else if (r == WaveLayoutResult::Ok && layout.truncated)
            ShowOpenError(TruncationText(0));
        mmioClose(h, 0);
        return nullptr;
    }
    // The gains follow the format, so the calibration is taken after it.
    format_ = layout.format;
    TakeCalibrationChunk(h);
    const std::int64_t first = layout.data.dwDataOffset;
    if (mmioSeek64(h, first, SEEK_SET) != first) {
        mmioClose(h, 0);
        return nullptr;
    }
    return h;
}

bool TWaveFile::ReadWholeFile()
{
    WaveLayout layout;
    DWORD frames = 0;
    HMMIO h = OpenWithLayout(fileName_, MMIO_READ, layout, frames);
    if (h == nullptr)
        return false;
    if (!AllocateBlock(frames)) {
        ShowError("WAVE_DATA_MEMORY");
        mmioClose(h, 0);
        return false;
    }
    std::uint64_t done = 0;
    while (done < dataBytes_) {
        LONG want = static_cast<LONG>(std::min<std::uint64_t>(kIoChunk, dataBytes_ - done));
        LONG got = mmioRead(h, reinterpret_cast<HPSTR>(data_ + done), want);
        if (got != want) {
            ReleaseBlock();
            mmioClose(h, 0);
            return false;
        }
        done += static_cast<std::uint64_t>(got);
    }
    mmioClose(h, 0);
    if (layout.truncated)
        ShowOpenError(TruncationText(frames));
    endFrame_ = length_;
    modified_ = 0;
    return true;
}

bool TWaveFile::OpenStreamed()
{
    WaveLayout layout;
    DWORD frames = 0;
    HMMIO h = OpenWithLayout(workingCopy_, MMIO_READWRITE, layout, frames);
    if (h == nullptr)
        return false;
    file_ = h;
    if (!KeepTrailingFormat(layout)) {
        CloseFile();
        return false;
    }
    riffCk_ = layout.riff;
    dataCk_ = layout.data;
    dataOffset_ = layout.data.dwDataOffset;
    factCountAt_ = layout.factCountAt;
    length_ = frames;
    dataBytes_ = FramesToBytes(frames);
    position_ = 0;
    endFrame_ = length_;
    headerFrames_ = length_;
    modified_ = 0;
    if (layout.truncated)
        ShowOpenError(TruncationText(frames));
    return true;
}

bool TWaveFile::KeepTrailingFormat(const WaveLayout& layout)
{
    trailingFormat_.clear();
    const MMCKINFO& fmt = layout.formatChunk;
    if (fmt.dwDataOffset < layout.data.dwDataOffset)
        return true;
    // Only the first 40 bytes of a format mean anything; an oversized chunk is cut to them.
    constexpr DWORD kMaxKept = 4096, kMeaningful = 40;
    const DWORD size = fmt.cksize <= kMaxKept ? fmt.cksize : kMeaningful;
    std::vector<std::uint8_t> chunk(8 + size + (size & 1u), 0);
    const std::int64_t at = fmt.dwDataOffset;
    if (mmioSeek64(file_, at, SEEK_SET) != at ||
        mmioRead(file_, reinterpret_cast<HPSTR>(chunk.data() + 8), static_cast<LONG>(size)) != static_cast<LONG>(size))
        return false;
    const DWORD id = mmioFOURCC('f', 'm', 't', ' ');
    for (int i = 0; i < 4; ++i) {
        chunk[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(id >> (8 * i));
        chunk[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    trailingFormat_ = std::move(chunk);
    const std::int64_t first = layout.data.dwDataOffset;
    return mmioSeek64(file_, first, SEEK_SET) == first;
}

bool TWaveFile::CreateStreamed()
{
    MMIOINFO info{};
    HMMIO h = mmioOpenA(workingCopy_.c_str(), &info, MMIO_CREATE | MMIO_READWRITE);
    if (h == nullptr)
        return false;
    if (!WriteWaveHeader(h, format_, 0, riffCk_, dataCk_)) {
        mmioClose(h, 0);
        return false;
    }
    file_ = h;
    dataOffset_ = dataCk_.dwDataOffset;
    factCountAt_ = 0;
    length_ = 0;
    dataBytes_ = 0;
    position_ = 0;
    endFrame_ = 0;
    headerFrames_ = 0;
    return true;
}

bool TWaveFile::ReadImage(std::span<const std::uint8_t> image)
{
    if (image.empty() || image.size() > 0x7FFFFFFFu)
        return false;
    // The memory reader only reads, so the image needs no copy.
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = const_cast<HPSTR>(reinterpret_cast<const char*>(image.data()));
    info.cchBuffer = static_cast<LONG>(image.size());
    HMMIO h = mmioOpenA(nullptr, &info, MMIO_READ);
    if (h == nullptr)
        return false;
    WaveLayout layout;
    bool ok = ReadWaveLayout(h, layout) == WaveLayoutResult::Ok && layout.availableBytes >= layout.blockAlign;
    if (ok) {
        format_ = layout.format;
        TakeCalibrationChunk(h);
        const std::int64_t first = layout.data.dwDataOffset;
        ok = mmioSeek64(h, first, SEEK_SET) == first && AllocateBlock(layout.availableBytes / layout.blockAlign) &&
             mmioRead(h, reinterpret_cast<HPSTR>(data_), static_cast<LONG>(dataBytes_)) ==
                 static_cast<LONG>(dataBytes_);
        if (!ok)
            ReleaseBlock();
    }
    mmioClose(h, 0);
    modified_ = 0;
    return ok;
}

// ---- writing ----

bool TWaveFile::Save()
{
    switch (mode_) {
    case kMemory:
        return WriteWholeFile();
    case kStreamed:
        return SaveStreamed();
    default:
        return false;
    }
}

bool TWaveFile::WriteWholeFile()
{
    if (mode_ != kMemory || untitled_ || fileName_.empty())
        return false;
    // Written beside the target and renamed over it, so a failed write leaves the old file.
    std::string folder = fileName_;
    std::size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash + 1);
    // A failed write sets no error flag: the samples are still held whole, and the frame drops
    // a wave in error.
    std::string temp = MakeTempFile(folder, "wav");
    if (temp.empty())
        return false;
    auto fail = [&](HMMIO h) {
        if (h)
            mmioClose(h, 0);
        DeleteFileA(temp.c_str());
        return false;
    };
    MMIOINFO info{};
    HMMIO h = mmioOpenA(temp.c_str(), &info, MMIO_CREATE | MMIO_READWRITE);
    if (h == nullptr)
        return fail(nullptr);
    DWORD end = std::min(endFrame_, length_);
    DWORD bytes = FramesToBytes(end);
    MMCKINFO riff{}, data{};
    if (!WriteWaveHeader(h, format_, bytes, riff, data))
        return fail(h);
    std::uint64_t done = 0;
    while (done < bytes) {
        LONG want = static_cast<LONG>(std::min<std::uint64_t>(kIoChunk, bytes - done));
        if (mmioWrite(h, reinterpret_cast<const char*>(data_ + done), want) != want)
            return fail(h);
        done += static_cast<std::uint64_t>(want);
    }
    if (mmioAscend(h, &data, 0) != MMSYSERR_NOERROR || mmioAscend(h, &riff, 0) != MMSYSERR_NOERROR)
        return fail(h);
    if (calPresent_ && !WriteCalibrationAfter(h, riff))
        return fail(h);
    if (mmioClose(h, 0) != MMSYSERR_NOERROR) {
        ShowError("TWaveFile - failure on mmioClose()");
        return fail(nullptr);
    }
    if (!MoveFileA(temp.c_str(), fileName_.c_str()))
        return fail(nullptr);
    modified_ = 0;
    untitled_ = 0;
    calChanged_ = 0;
    return true;
}

bool TWaveFile::FinishStreamedFile()
{
    if (file_ == nullptr)
        return false;
    std::uint64_t bytes64 = static_cast<std::uint64_t>(endFrame_) * format_.BlockAlign();
    if (dataOffset_ + bytes64 + 1 + kCalibrationChunkBytes > 0xFFFFFFF0ull)
        return false;
    DWORD bytes = static_cast<DWORD>(bytes64);
    DWORD pad = bytes & 1u;
    std::int64_t dataEnd = static_cast<std::int64_t>(dataOffset_) + bytes;
    if (pad) {
        const char zero = 0;
        if (mmioSeek64(file_, dataEnd, SEEK_SET) != dataEnd || mmioWrite(file_, &zero, 1) != 1)
            return false;
    }
    std::int64_t riffEnd = dataEnd + pad;
    if (!trailingFormat_.empty()) {
        // A format chunk that followed the samples goes after them again: without it the file
        // would no longer open. Everything after it is dropped and the calibration written anew.
        const LONG n = static_cast<LONG>(trailingFormat_.size());
        if (riffEnd + n > 0xFFFFFFFFll || !mmioSetSize(file_, riffEnd) ||
            mmioSeek64(file_, riffEnd, SEEK_SET) != riffEnd ||
            mmioWrite(file_, reinterpret_cast<const char*>(trailingFormat_.data()), n) != n)
            return false;
        riffEnd += n;
        if (!PutHeaderSizes(bytes, riffEnd))
            return false;
        riffCk_.cksize = static_cast<DWORD>(riffEnd - static_cast<std::int64_t>(riffCk_.dwDataOffset));
        if (!WriteCalibrationChunk())
            return false;
    } else {
        // The data size first: a smaller one leaves the old calibration chunk where the RIFF
        // size finds it; a larger one follows MakeRoomFor, which moved the chunk past the data.
        const std::int64_t riffSizeAt = static_cast<std::int64_t>(riffCk_.dwDataOffset) - 4;
        if (!Put32At(static_cast<std::int64_t>(dataOffset_) - 4, bytes) ||
            (factCountAt_ != 0 && !Put32At(factCountAt_, endFrame_)))
            return false;
        if (calPresent_ && !CalibrationChunkIsAt(riffEnd)) {
            // The chunk goes where no reader looks yet; where that would overlap the chunk in
            // use, it first goes past the end of the file, then back.
            const std::int64_t inUse = RiffEndOnDisk();
            const std::int64_t size = mmioSize(file_);
            if (inUse < 0 || size < 0)
                return false;
            const std::int64_t chunkEnd = riffEnd + static_cast<std::int64_t>(kCalibrationChunkBytes);
            const std::int64_t beyond = std::max(size, chunkEnd);
            const bool placed =
                (chunkEnd <= inUse || riffEnd >= size || MoveTailTo(beyond + (beyond & 1))) && MoveTailTo(riffEnd);
            const std::int64_t stays = placed ? -1 : RiffEndOnDisk();
            if (stays >= 0 && CalibrationChunkIsAt(stays)) {
                // No room to move it (a full disk): the chunk stays where the RIFF size finds it,
                // after bytes the data size no longer counts, so the file still is the edited
                // wave with its calibration. The next save tries again.
                riffEnd = stays;
            } else if (!placed) {
                ShowError("Error writing Calibration data to wave file");
                // The file goes on without it, still describing itself.
                calPresent_ = 0;
            }
        }
        if (!Put32At(riffSizeAt, static_cast<DWORD>(riffEnd - static_cast<std::int64_t>(riffCk_.dwDataOffset))))
            return false;
        riffCk_.cksize = static_cast<DWORD>(riffEnd - static_cast<std::int64_t>(riffCk_.dwDataOffset));
        if (!mmioSetSize(file_, riffEnd + (calPresent_ ? static_cast<std::int64_t>(kCalibrationChunkBytes) : 0)))
            return false;
    }
    dataCk_.cksize = bytes;
    inPlaceBehind_ = false;
    length_ = endFrame_;
    dataBytes_ = bytes;
    headerFrames_ = endFrame_;
    calChanged_ = 0;
    return true;
}

std::int64_t TWaveFile::RiffEndOnDisk()
{
    unsigned char le[4] = {};
    const std::int64_t at = static_cast<std::int64_t>(riffCk_.dwDataOffset) - 4;
    if (mmioSeek64(file_, at, SEEK_SET) != at || mmioRead(file_, reinterpret_cast<HPSTR>(le), 4) != 4)
        return -1;
    const DWORD size = static_cast<DWORD>(le[0]) | (static_cast<DWORD>(le[1]) << 8) |
                       (static_cast<DWORD>(le[2]) << 16) | (static_cast<DWORD>(le[3]) << 24);
    const std::int64_t end = static_cast<std::int64_t>(riffCk_.dwDataOffset) + size;
    return end + (end & 1);
}

bool TWaveFile::CalibrationChunkIsAt(std::int64_t at)
{
    const auto want = CalibrationChunkBytes(calibration_);
    std::array<std::uint8_t, kCalibrationChunkBytes> have{};
    const LONG n = static_cast<LONG>(have.size());
    return mmioSeek64(file_, at, SEEK_SET) == at && mmioRead(file_, reinterpret_cast<HPSTR>(have.data()), n) == n &&
           have == want;
}

bool TWaveFile::FillTo(std::int64_t end)
{
    const std::int64_t size = mmioSize(file_);
    if (size < 0 || mmioSeek64(file_, size, SEEK_SET) != size)
        return false;
    static const std::vector<char> zeros(64 * 1024, 0);
    for (std::int64_t at = size; at < end;) {
        const LONG n = static_cast<LONG>(std::min<std::int64_t>(static_cast<std::int64_t>(zeros.size()), end - at));
        if (mmioWrite(file_, zeros.data(), n) != n)
            return false;
        at += n;
    }
    return true;
}

bool TWaveFile::MoveTailTo(std::int64_t at)
{
    if (at + static_cast<std::int64_t>(kCalibrationChunkBytes) > 0xFFFFFFF0ll || !FillTo(at))
        return false;
    if (calPresent_ && (mmioSeek64(file_, at, SEEK_SET) != at ||
                        WriteCalibrationChunkAt(file_, calibration_) != MMSYSERR_NOERROR))
        return false;
    return Put32At(static_cast<std::int64_t>(riffCk_.dwDataOffset) - 4,
                   static_cast<DWORD>(at - static_cast<std::int64_t>(riffCk_.dwDataOffset)));
}

bool TWaveFile::MakeRoomFor(DWORD frames)
{
    if (file_ == nullptr)
        return false;
    const std::uint64_t bytes = static_cast<std::uint64_t>(frames) * format_.BlockAlign();
    const std::int64_t needed = static_cast<std::int64_t>(dataOffset_ + bytes + (bytes & 1u));
    if (needed + static_cast<std::int64_t>(kCalibrationChunkBytes) > 0xFFFFFFF0ll)
        return false;
    const std::int64_t had = mmioSize(file_);
    if (had < 0)
        return false;
    bool ok;
    if (!trailingFormat_.empty()) {
        ok = FillTo(needed); // its tail is written anew when the file is finished
    } else {
        const std::int64_t inUse = RiffEndOnDisk();
        ok = inUse >= 0 && (needed <= inUse || MoveTailTo(std::max(had + (had & 1), needed)));
    }
    if (!ok)
        (void)mmioSetSize(file_, had); // back to what it was: the RIFF size still names the old end
    return ok;
}

bool TWaveFile::CommitInPlaceEdit()
{
    if (!IsEditedInPlace())
        return true;
    const DWORD position = position_;
    const bool ok = FinishStreamedFile();
    SetPosition(std::min(position, length_));
    if (!ok) {
        inPlaceBehind_ = true;
        ShowError("TWaveFile - the edit could not be written completely to " + fileName_ +
                  " (the disk may be full); save the file to keep it.");
    }
    return ok;
}

bool TWaveFile::Put32At(std::int64_t at, DWORD v)
{
    const unsigned char le[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                 static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    return mmioSeek64(file_, at, SEEK_SET) == at && mmioWrite(file_, reinterpret_cast<const char*>(le), 4) == 4;
}

bool TWaveFile::PutHeaderSizes(DWORD bytes, std::int64_t riffEnd)
{
    return Put32At(static_cast<std::int64_t>(dataOffset_) - 4, bytes) &&
           Put32At(static_cast<std::int64_t>(riffCk_.dwDataOffset) - 4,
                   static_cast<DWORD>(riffEnd - static_cast<std::int64_t>(riffCk_.dwDataOffset))) &&
           (factCountAt_ == 0 || Put32At(factCountAt_, bytes / format_.BlockAlign()));
}

bool TWaveFile::UpdateHeaderSizes()
{
    if (mode_ != kStreamed || file_ == nullptr || !trailingFormat_.empty())
        return false;
    const std::uint64_t bytes = static_cast<std::uint64_t>(endFrame_) * format_.BlockAlign();
    const std::uint64_t riffEnd = dataOffset_ + bytes + (bytes & 1u);
    if (riffEnd > 0xFFFFFFFFull || riffEnd < riffCk_.dwDataOffset)
        return false;
    // The writes are unbuffered: once the sizes are in place, so are the samples they name.
    if (!PutHeaderSizes(static_cast<DWORD>(bytes), static_cast<std::int64_t>(riffEnd)))
        return false;
    headerFrames_ = endFrame_;
    return true;
}

void TWaveFile::ReturnTo(const WriteMark& mark)
{
    endFrame_ = mark.end;
    if (mode_ == kStreamed) {
        length_ = mark.length;
        dataBytes_ = FramesToBytes(length_);
    }
    SetPosition(std::min(mark.position, length_));
}

bool TWaveFile::MoveWorkingCopyTo(const std::string& target, const char* failureText)
{
    if (MoveFileA(workingCopy_.c_str(), target.c_str())) {
        RemoveWorkingFileLabel(workingCopy_);
        workingCopy_ = target;
        return true;
    }
    if (!CopyDiskFile(workingCopy_, target)) {
        if (!quietMove_)
            ShowSaveFailure(failureText);
        return false;
    }
    DeleteFileA(workingCopy_.c_str());
    RemoveWorkingFileLabel(workingCopy_);
    workingCopy_ = target;
    return true;
}

bool TWaveFile::SaveStreamed()
{
    if (mode_ == kMemory)
        return WriteWholeFile();
    if (mode_ != kStreamed)
        return false;
    if (file_ == nullptr)
        return true;
    if (fileName_.empty())
        return false;
    const DWORD position = position_;
    if (!FinishStreamedFile())
        return false; // the file still describes itself and stays open
    if (workingCopy_ == fileName_) {
        SetPosition(std::min(position, length_));
        modified_ = 0;
        return true;
    }
    if (!CloseFile()) {
        ShowError("TWaveFile - failure on mmioClose()");
        return false;
    }
    bool ok;
    if (makeBackup_ || !tempWorking_) {
        ok = CopyWaveFile(workingCopy_, fileName_, endFrame_, tempDir_);
        if (!ok)
            ShowSaveFailure("TWaveFile - failure copying temporary backup file.");
        // Saved, the working copy is what any backup is: a copy of the file (a take it was is
        // kept now).
        WorkingFileLabel label;
        label.kind = WorkingFileLabel::Kind::Backup;
        label.original = fileName_;
        if (ok && FileExists(WorkingFileLabelPath(workingCopy_)))
            (void)WriteWorkingFileLabel(workingCopy_, label);
    } else {
        ok = MoveWorkingCopyTo(fileName_, "TWaveFile - failure copying temporary backup file.");
        if (ok)
            tempWorking_ = 0;
    }
    // The working copy is reopened whatever happened, so the data stays at hand; reopening
    // clears the modified flag, which a failed save must leave set: the edits are still
    // only in the working copy, and closing has to ask about them.
    if (!OpenStreamed()) {
        error_ = 1;
        modified_ = 1;
        return false;
    }
    Seek(std::min(position, length_));
    modified_ = ok ? 0 : 1;
    return ok;
}

bool TWaveFile::SaveStreamedAs()
{
    if (mode_ != kStreamed)
        return false;
    const DWORD position = position_;
    if (file_ != nullptr) {
        if (!FinishStreamedFile())
            return false; // the file still describes itself and stays open
        if (!CloseFile()) {
            ShowError("TWaveFile - failure on mmioClose()");
            return false;
        }
    }
    bool ok = true;
    if (!fileName_.empty() && workingCopy_ != fileName_) {
        if (!tempWorking_) {
            ok = CopyWaveFile(workingCopy_, fileName_, endFrame_, tempDir_);
            if (ok) {
                DeleteFileA(workingCopy_.c_str());
                RemoveWorkingFileLabel(workingCopy_);
                workingCopy_.clear();
            } else {
                ShowSaveFailure("TWaveFile - failure copying temporary backup file");
            }
        } else {
            ok = MoveWorkingCopyTo(fileName_, "TWaveFile - failure copying temporary backup file");
        }
    }
    if (!ok) {
        // The wave stays as it was, open on its working copy, so that a later save tries again.
        if (OpenStreamed()) {
            Seek(std::min(position, length_));
            modified_ = 1;
            return false;
        }
        // Unreadable now: the samples stay in the working copy, which the object then keeps.
        makeBackup_ = 0;
        untitled_ = 0;
        fileName_ = workingCopy_;
        return false;
    }
    fileName_.clear();
    workingCopy_.clear();
    DiscardUndo();
    calibration_.Clear();
    UpdateCalibrationGains(calibration_);
    calPresent_ = calChanged_ = 0;
    untitled_ = 0;
    tempWorking_ = 0;
    length_ = dataBytes_ = position_ = endFrame_ = 0;
    dataOffset_ = 44;
    factCountAt_ = 0;
    trailingFormat_.clear();
    return true;
}

bool TWaveFile::CopyWaveFile(const std::string& source, const std::string& target, DWORD frames,
                             const std::string& tempDir)
{
    TWaveFile src(source, kStreamed, false, tempDir);
    if (src.IsError())
        return false;
    TWaveFile dst(src.GetFormat(), false, tempDir);
    if (dst.IsError())
        return false;
    dst.quietMove_ = true; // a failed move into place is the caller's to report, once
    dst.SetFileName(target);
    if (src.calPresent_)
        dst.SetCalibrationFrom(src.calibration_);
    frames = std::min(frames, src.GetEndFrame());
    if (!dst.CopySegment(&src, &dst, 0, 0, frames))
        return false;
    return dst.Save();
}

bool TWaveFile::CopyDiskFile(const std::string& from, const std::string& to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

std::string TWaveFile::WriteFailureCause(const std::string& target, std::uint64_t bytes)
{
    namespace fs = std::filesystem;
    const fs::path parent = fs::path(target).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    if (!FolderExists(folder))
        return "the folder " + folder + " does not exist";
    // Permissions alone don't tell (the superuser, access lists, a read-only mount): a file
    // made there does.
    const std::string probe = MakeTempFile(folder, "wav");
    if (probe.empty())
        return "the folder " + folder + " is not writable";
    DeleteFileA(probe.c_str());
    std::error_code ec;
    const fs::space_info space = fs::space(folder, ec);
    char text[200];
    if (!ec && space.available < bytes) {
        std::snprintf(text, sizeof text, "the disk is full (%.1f MB free, %.1f MB needed)", space.available / 1e6,
                      double(bytes) / 1e6);
        return text;
    }
    return "the disk may be full";
}

void TWaveFile::ShowSaveFailure(const char* text) const
{
    const std::uint64_t bytes = std::uint64_t(endFrame_) * format_.BlockAlign() + dataOffset_;
    ShowError(std::string(text) + "\r\r" + fileName_ + " could not be written: " +
              WriteFailureCause(fileName_, bytes) + ".");
}

LONG TWaveFile::ReadRaw(void* buffer, LONG bytes)
{
    if (file_ == nullptr)
        return -1;
    return mmioRead(file_, static_cast<HPSTR>(buffer), bytes);
}

LONG TWaveFile::WriteRaw(const void* buffer, LONG bytes)
{
    if (file_ == nullptr)
        return -1;
    return mmioWrite(file_, static_cast<const char*>(buffer), bytes);
}

// ---- calibration ----

void TWaveFile::TakeCalibrationChunk(HMMIO h)
{
    WaveCalibrationBlock block;
    bool present = ReadWaveCalibration(h, block);
    if (present && !block.HoldsUsableValues(format_.Channels)) {
        ShowError("The calibration data in the wave file \"" + fileName_ +
                  "\" is damaged: a value is not a number or lies out of range.\r\rThe file is used without it.");
        present = false;
    }
    calPresent_ = present ? 1 : 0;
    if (present)
        UpdateCalibrationGains(block);
    else
        ResetCalibration();
}

bool TWaveFile::ReadCalibrationChunk()
{
    if (file_ != nullptr) {
        TakeCalibrationChunk(file_);
        SetPosition(position_);
        return calPresent_ != 0;
    }
    const std::string& name = workingCopy_.empty() ? fileName_ : workingCopy_;
    MMIOINFO info{};
    HMMIO h = mmioOpenA(name.c_str(), &info, MMIO_READ);
    if (h == nullptr)
        return false;
    TakeCalibrationChunk(h);
    mmioClose(h, 0);
    return calPresent_ != 0;
}

bool TWaveFile::WriteCalibrationChunk()
{
    if (file_ == nullptr)
        return false;
    return calPresent_ == 0 || WriteCalibrationAfter(file_, riffCk_);
}

bool TWaveFile::WriteCalibrationAfter(HMMIO h, const MMCKINFO& riff)
{
    const std::int64_t riffEnd = static_cast<std::int64_t>(riff.dwDataOffset) + riff.cksize + (riff.cksize & 1u);
    MMRESULT r = MMIOERR_CANNOTSEEK;
    if (mmioSeek64(h, riffEnd, SEEK_SET) == riffEnd)
        r = WriteCalibrationChunkAt(h, calibration_);
    if (r == MMSYSERR_NOERROR)
        return true;
    ShowError(r == MMIOERR_CANNOTWRITE ? "Error writing Calibration data to wave file"
                                       : "Error on mmioCreateChunk() for Calibration data");
    // The save goes on without it: a part-written chunk would be read as a calibration.
    calPresent_ = 0;
    return mmioSetSize(h, riffEnd);
}

bool TWaveFile::AppendCalibrationChunk(const std::string& name)
{
    MMIOINFO info{};
    HMMIO h = mmioOpenA(name.c_str(), &info, MMIO_READWRITE);
    if (h == nullptr)
        return false;
    // An existing calibration chunk after the RIFF chunk is overwritten in place, so that the
    // reader, which takes the block after the first one's header whatever its size field says,
    // sees the new calibration; otherwise one is appended.
    std::int64_t at = mmioSize(h);
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioSeek(h, 0, SEEK_SET) == 0 && mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF) == MMSYSERR_NOERROR &&
        mmioAscend(h, &riff, 0) == MMSYSERR_NOERROR) {
        MMCKINFO cal{};
        cal.ckid = WaveCalibrationBlock::kChunkId;
        MMRESULT r = mmioDescend(h, &cal, nullptr, MMIO_FINDCHUNK);
        if (r == MMSYSERR_NOERROR || r == MMIOERR_CHUNKPASTEND)
            at = static_cast<std::int64_t>(cal.dwDataOffset) - 8;
    }
    bool ok = mmioSeek64(h, at, SEEK_SET) == at && WriteCalibrationChunkAt(h, calibration_) == MMSYSERR_NOERROR;
    if (mmioClose(h, 0) != MMSYSERR_NOERROR)
        ok = false;
    return ok;
}

void TWaveFile::SetCalibration(WaveCalibrationBlock block)
{
    if (length_ == 0) {
        calChanged_ = 0;
        modified_ = 0;
    } else if (!block.SameBytes(calibration_)) {
        calChanged_ = 1;
        modified_ = 1;
    }
    calPresent_ = 1;
    UpdateCalibrationGains(block);
}

void TWaveFile::SetCalibrationFrom(WaveCalibrationBlock block)
{
    SetCalibration(block);
}

void TWaveFile::GetChannelCalibration(ChannelCalibration& out, int channel) const
{
    out = calibration_.Channel[channel > 0 ? 1 : 0];
}

void TWaveFile::ClearCalibration()
{
    WaveCalibrationBlock cleared;
    cleared.Clear();
    cleared.Channel[0].CalRatio = 1.0f;
    cleared.Channel[1].CalRatio = 1.0f;
    // Clearing a calibration that is already absent and clear changes nothing in the file, so
    // it does not mark an unedited file for rewriting.
    const bool unchanged = calPresent_ == 0 && cleared.SameBytes(calibration_);
    UpdateCalibrationGains(cleared);
    calPresent_ = 0;
    if (unchanged)
        return;
    if (length_ == 0) {
        calChanged_ = 0;
        modified_ = 0;
    } else {
        calChanged_ = 1;
        modified_ = 1;
    }
}
