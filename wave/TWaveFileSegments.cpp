// One level of undo and the frame-copy primitives. Every copy moves 4096 frames at a time
// through one small block, so segments of any length work alike in memory and on disk.
#include "wave/TWaveFile.h"
#include "wave/WorkingFile.h"

#include "platform/core/FileSystem.h"
#include "platform/core/MessageBox.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

// The block the copies move frames through; on failure the text, when given, is shown.
bool AllocatePiece(std::vector<BYTE>& piece, std::size_t bytes, const char* failureText = nullptr)
{
    try {
        piece.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
        if (failureText != nullptr)
            AfxMessageBox(failureText, MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

// Pieces are sized by the calling wave's format; waves of another frame size would be garbled.
bool FramesFit(const TWaveFile* source, const TWaveFile* target, DWORD align)
{
    return source != nullptr && target != nullptr && source->GetFormat().BlockAlign() == align &&
           target->GetFormat().BlockAlign() == align;
}

constexpr const char* kCopyMemoryText = "TWaveFile - insufficient memory available for copying wave data";
constexpr const char* kInsertMemoryText = "TWaveFile - insufficient memory available to insert segment";

// Moves `count` frames of one wave from `from` to `to`, front to back or back to front so
// that overlapping ranges stay intact.
bool MoveFrames(TWaveFile* wave, DWORD from, DWORD to, DWORD count, std::vector<BYTE>& piece)
{
    const DWORD align = wave->FramesToBytes(1);
    bool ok = true;
    if (to <= from) {
        for (DWORD done = 0; done < count;) {
            DWORD n = std::min(TWaveFile::kPieceFrames, count - done);
            wave->Seek(from + done);
            ok = wave->ReadBytes(piece.data(), n * align) && ok;
            wave->Seek(to + done);
            ok = wave->WriteBytes(piece.data(), n * align) && ok;
            done += n;
        }
    } else {
        for (DWORD remaining = count; remaining > 0;) {
            DWORD n = std::min(TWaveFile::kPieceFrames, remaining);
            remaining -= n;
            wave->Seek(from + remaining);
            ok = wave->ReadBytes(piece.data(), n * align) && ok;
            wave->Seek(to + remaining);
            ok = wave->WriteBytes(piece.data(), n * align) && ok;
        }
    }
    return ok;
}

} // namespace

bool TWaveFile::SaveUndo(WORD kind, DWORD first, DWORD end)
{
    end = std::min(end, endFrame_);
    if (end < first)
        return true;
    // The new undo copy is written before the previous one goes: when it cannot be written,
    // the edit is not made and the last edit can still be taken back.
    std::string name = MakeTempFile(tempDir_, "wav");
    bool ok = !name.empty();
    if (ok) {
        auto* undo = new (std::nothrow) TWaveFile(format_, false, tempDir_);
        ok = undo != nullptr && !undo->IsError();
        if (ok) {
            undo->SetFileName(name);
            ok = CopySegment(this, undo, first, 0, end - first) && undo->Save();
        }
        delete undo;
        if (!ok)
            DeleteFileA(name.c_str());
    }
    if (!ok) {
        ShowError("TWaveFile - the edit was not made: its undo copy could not be written in " + tempDir_ +
                  " (the folder may be full or write-protected). The file is unchanged.");
        return false;
    }
    DiscardUndo();
    undoFile_ = name;
    undoAvailable_ = 1;
    undoFirst_ = first;
    undoEnd_ = end;
    undoKind_ = kind;
    undoWaveEnd_ = endFrame_;
    LabelUndoCopy(WorkingFileLabel::State::Editing);
    return true;
}

void TWaveFile::LabelUndoCopy(WorkingFileLabel::State state) const
{
    if (undoFile_.empty())
        return;
    WorkingFileLabel label; // known for what it is after a crash
    label.kind = WorkingFileLabel::Kind::Undo;
    label.original = untitled_ ? workingCopy_ : fileName_;
    label.editedInPlace = untitled_ || IsEditedInPlace();
    label.first = undoFirst_;
    label.change = undoKind_ == kUndoRemoved ? WorkingFileLabel::Change::Removed : WorkingFileLabel::Change::Overwritten;
    label.state = state;
    (void)WriteWorkingFileLabel(undoFile_, label);
}

void TWaveFile::EditDone()
{
    LabelUndoCopy(WorkingFileLabel::State::Edited);
}

bool TWaveFile::SaveUndoSeconds(WORD kind, float from, float to)
{
    return SaveUndo(kind, SecondsToFrames(from), SecondsToFrames(to));
}

void TWaveFile::DiscardUndo()
{
    if (!undoFile_.empty()) {
        DeleteFileA(undoFile_.c_str());
        RemoveWorkingFileLabel(undoFile_);
    }
    undoFile_.clear();
    undoFirst_ = undoEnd_ = 0;
    undoAvailable_ = 0;
}

void TWaveFile::Undo()
{
    if (!undoAvailable_)
        return;
    TWaveFile* saved = nullptr;
    if (!undoFile_.empty())
        saved = new (std::nothrow) TWaveFile(undoFile_, kStreamed, false, tempDir_);
    const DWORD count = undoEnd_ - undoFirst_;
    const DWORD endBefore = endFrame_;
    if (saved != nullptr && !saved->IsError())
        LabelUndoCopy(WorkingFileLabel::State::Undoing);
    const bool needsSaved = undoKind_ == kUndoOverwritten || undoKind_ == kUndoRemoved;
    bool restored = true;
    if (needsSaved && (saved == nullptr || saved->IsError())) {
        restored = false;
    } else {
        switch (undoKind_) {
        case kUndoInserted:
            DeleteSegment(this, undoFirst_, undoEnd_);
            break;
        case kUndoOverwritten:
            restored = CopySegment(saved, this, 0, undoFirst_, std::min(count, saved->GetEndFrame()));
            if (restored && endFrame_ > undoWaveEnd_)
                DeleteSegment(this, undoWaveEnd_, endFrame_);
            break;
        case kUndoRemoved:
            restored = InsertSegment(saved, this, 0, undoFirst_, std::min(count, saved->GetEndFrame()));
            break;
        default:
            break;
        }
    }
    // A restore that failed with its saved frames at hand (the file could not grow, a write
    // failed) keeps them: they may be the only copy of what the edit removed. Overwriting them
    // back can be repeated; an insert only when it moved nothing.
    const bool keep = !restored && saved != nullptr && !saved->IsError() &&
                      (undoKind_ == kUndoOverwritten || endFrame_ == endBefore);
    if (keep)
        AfxMessageBox("The previous contents of " + fileName_ +
                          " could not be restored. They are kept, so Undo Edit can be tried again.",
                      MB_OK | MB_ICONERROR);
    else if (!restored)
        AfxMessageBox("The previous contents of " + fileName_ + " could not be restored.", MB_OK | MB_ICONERROR);
    delete saved;
    if (!keep)
        DiscardUndo();
}

void TWaveFile::GetUndoRange(DWORD& first, DWORD& end) const
{
    first = undoFirst_;
    end = undoEnd_;
}

void TWaveFile::GetUndoSeconds(float& first, float& end) const
{
    first = static_cast<float>(FramesToSeconds(undoFirst_));
    end = static_cast<float>(FramesToSeconds(undoEnd_));
}

bool TWaveFile::CopySegment(TWaveFile* source, TWaveFile* target, DWORD sourceFirst, DWORD targetFirst,
                            DWORD count)
{
    const DWORD align = format_.BlockAlign();
    if (!FramesFit(source, target, align))
        return false;
    if (target->mode_ == kMemory && static_cast<std::uint64_t>(targetFirst) + count > target->length_) {
        if (static_cast<std::uint64_t>(targetFirst) + count > 0xFFFFFFFFull ||
            !target->Resize(targetFirst + count)) {
            AfxMessageBox(kCopyMemoryText, MB_OK | MB_ICONERROR);
            return false;
        }
    }
    std::vector<BYTE> piece;
    if (!AllocatePiece(piece, static_cast<std::size_t>(kPieceFrames) * align, kCopyMemoryText))
        return false;
    // A file edited in place that grows gets its room (and its calibration chunk moved past it)
    // before the frames arrive, and its header after.
    const std::uint64_t targetEnd = static_cast<std::uint64_t>(targetFirst) + count;
    const bool grows = target->IsEditedInPlace() && targetEnd > target->endFrame_;
    if (grows && (targetEnd > 0xFFFFFFFFull || !target->MakeRoomFor(static_cast<DWORD>(targetEnd)))) {
        AfxMessageBox("TWaveFile - the wave file cannot grow to take the pasted segment; it is unchanged",
                      MB_OK | MB_ICONERROR);
        return false;
    }
    const DWORD sourcePosition = source->GetPosition();
    const DWORD targetPosition = target->GetPosition();
    bool ok = true;
    for (DWORD done = 0; done < count;) {
        DWORD n = std::min(kPieceFrames, count - done);
        source->Seek(sourceFirst + done);
        if (source->GetPosition() != sourceFirst + done || !source->ReadBytes(piece.data(), n * align)) {
            // Frames the source does not have arrive as silence, never as stale bytes.
            std::fill(piece.begin(), piece.end(), static_cast<BYTE>(format_.BytesPerSample == 1 ? 127 : 0));
            ok = false;
        }
        target->Seek(targetFirst + done);
        ok = target->GetPosition() == targetFirst + done && target->WriteBytes(piece.data(), n * align) && ok;
        done += n;
    }
    source->Seek(std::min(sourcePosition, source->GetLength()));
    target->Seek(std::min(targetPosition, target->GetLength()));
    return (!grows || target->CommitInPlaceEdit()) && ok;
}

bool TWaveFile::CopySegmentSeconds(TWaveFile* source, TWaveFile* target, float sourceFrom, float targetFrom,
                                   float seconds)
{
    return CopySegment(source, target, SecondsToFrames(sourceFrom), SecondsToFrames(targetFrom),
                       SecondsToFrames(seconds));
}

bool TWaveFile::InsertSegment(TWaveFile* source, TWaveFile* target, DWORD sourceFirst, DWORD targetFirst,
                              DWORD count)
{
    const DWORD align = format_.BlockAlign();
    if (!FramesFit(source, target, align))
        return false;
    const DWORD oldEnd = target->endFrame_;
    if (static_cast<std::uint64_t>(oldEnd) + count > 0xFFFFFFFFull)
        return false;
    if (target->mode_ == kMemory && oldEnd + count > target->length_ && !target->Resize(oldEnd + count)) {
        AfxMessageBox(kInsertMemoryText, MB_OK | MB_ICONERROR);
        return false;
    }
    std::vector<BYTE> piece;
    if (!AllocatePiece(piece, static_cast<std::size_t>(kPieceFrames) * align, kInsertMemoryText))
        return false;
    if (target->mode_ == kStreamed && oldEnd + count > target->length_) {
        // The file grows first, so the tail can be moved up into frames that exist.
        if (!target->MakeRoomFor(oldEnd + count)) {
            AfxMessageBox("TWaveFile - the wave file cannot grow to take the inserted segment; it is unchanged",
                          MB_OK | MB_ICONERROR);
            return false;
        }
        target->length_ = oldEnd + count;
        target->dataBytes_ = target->FramesToBytes(target->length_);
    }
    const DWORD targetPosition = target->GetPosition();
    targetFirst = std::min(targetFirst, oldEnd);
    bool ok = MoveFrames(target, targetFirst, targetFirst + count, oldEnd - targetFirst, piece);
    ok = CopySegment(source, target, sourceFirst, targetFirst, count) && ok;
    target->endFrame_ = oldEnd + count;
    target->modified_ = 1;
    target->Seek(std::min(targetPosition, target->GetLength()));
    return target->CommitInPlaceEdit() && ok;
}

bool TWaveFile::InsertSegmentSeconds(TWaveFile* source, TWaveFile* target, float sourceFrom, float targetFrom,
                                     float seconds)
{
    return InsertSegment(source, target, SecondsToFrames(sourceFrom), SecondsToFrames(targetFrom),
                         SecondsToFrames(seconds));
}

void TWaveFile::DeleteSegment(TWaveFile* target, DWORD first, DWORD end)
{
    if (target == nullptr)
        return;
    if (calPresent_ && target != this) {
        target->UpdateCalibrationGains(calibration_);
        target->SetCalibrationFrom(calibration_);
    }
    const DWORD oldEnd = target->endFrame_;
    end = std::min(end, oldEnd);
    if (first >= end)
        return;
    std::vector<BYTE> piece;
    if (!AllocatePiece(piece, static_cast<std::size_t>(kPieceFrames) * target->FramesToBytes(1)))
        return;
    const DWORD targetPosition = target->GetPosition();
    MoveFrames(target, end, first, oldEnd - end, piece);
    target->endFrame_ = oldEnd - (end - first);
    if (target->mode_ == kStreamed) {
        // The frames past the new end are stale; the file is cut there on save.
        target->length_ = target->endFrame_;
        target->dataBytes_ = target->FramesToBytes(target->length_);
    }
    target->modified_ = 1;
    target->Seek(std::min(targetPosition, target->GetLength()));
    (void)target->CommitInPlaceEdit(); // says so itself when it fails
}

void TWaveFile::DeleteSeconds(TWaveFile* target, float from, float to)
{
    // A negative time would wrap to a frame past the end and delete up to it; it means the start.
    DeleteSegment(target, SecondsToFrames(std::max(from, 0.0f)), SecondsToFrames(std::max(to, 0.0f)));
}

void TWaveFile::ScaleSeconds(float from, float to, double factor, bool saveUndo)
{
    DWORD first = SecondsToFrames(from);
    DWORD end = std::min(SecondsToFrames(to), endFrame_);
    if (first >= end || !std::isfinite(factor))
        return;
    if (saveUndo && !SaveUndo(kUndoOverwritten, first, end))
        return;
    TWaveData piece(std::min(kPieceFrames, end - first), format_);
    if (piece.IsError())
        return;
    const DWORD align = format_.BlockAlign();
    const DWORD position = position_;
    DWORD f = first;
    while (f < end) {
        DWORD n = std::min(kPieceFrames, end - f);
        Seek(f);
        if (!ReadBytes(piece.GetData(), n * align)) {
            ReportWaveReadFailure(*this); // the frames before f are scaled, the rest untouched
            break;
        }
        for (DWORD i = 0; i < n; ++i) {
            BYTE* frame = piece.GetData() + static_cast<std::size_t>(i) * align;
            for (int c = 0; c < format_.Channels; ++c) {
                double v = (static_cast<double>(RawSample(frame, c)) - format_.ZeroValue) * factor + format_.ZeroValue;
                // Clipped at the format's limits rather than wrapped.
                v = std::clamp(std::trunc(v), static_cast<double>(format_.MinValue),
                               static_cast<double>(format_.MaxValue));
                StoreSample(frame, c, static_cast<std::int32_t>(v));
            }
        }
        Seek(f);
        if (!WriteBytes(piece.GetData(), n * align)) {
            ReportWaveWriteFailure(*this);
            break;
        }
        f += n;
    }
    Seek(std::min(position, length_));
    modified_ = 1;
    if (f >= end)
        EditDone();
}
