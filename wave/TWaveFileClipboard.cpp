// The wave clipboard image: a canonical RIFF WAVE image (44-byte header and the samples, no
// calibration chunk) made and read by way of a temporary wave file, so the same file code
// serves memory and disk waves. Putting the block on the clipboard is the caller's part.
#include "wave/TWaveFile.h"

#include "platform/core/FileSystem.h"
#include "platform/core/MessageBox.h"

#include <algorithm>
#include <cstdio>
#include <new>

HGLOBAL TWaveFile::MakeClipboardImage(DWORD first, DWORD end)
{
    end = std::min(end, endFrame_);
    if (first >= end)
        return nullptr;
    // The image passes through a file in the temporary folder; a full one must not make the
    // copy fail unseen.
    const auto reportNoTempFile = [this] {
        AfxMessageBox("TWaveFile - the selection could not be copied to the clipboard: no temporary file could be "
                      "written in " +
                          tempDir_ + " (the folder may be full or write-protected).",
                      MB_OK | MB_ICONERROR);
    };
    std::string temp = MakeTempFile(tempDir_, "wav");
    if (temp.empty()) {
        reportNoTempFile();
        return nullptr;
    }
    auto* segment = new (std::nothrow) TWaveFile(format_, false, tempDir_);
    bool ok = segment != nullptr && !segment->IsError();
    if (ok) {
        segment->SetFileName(temp);
        ok = CopySegment(this, segment, first, 0, end - first) && segment->Save();
    }
    delete segment;
    HGLOBAL block = nullptr;
    if (!ok)
        reportNoTempFile();
    if (ok) {
        std::uint64_t bytes = 44 + static_cast<std::uint64_t>(end - first) * format_.BlockAlign();
        block = bytes <= 0x7FFFFFFFull ? GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(bytes))
                                       : nullptr;
        if (block == nullptr) {
            AfxMessageBox("TWaveFile - Insufficient memory available for clipboard operation", MB_OK | MB_ICONERROR);
        } else {
            MMIOINFO info{};
            HMMIO h = mmioOpenA(temp.c_str(), &info, MMIO_READ);
            void* p = GlobalLock(block);
            bool read = h != nullptr && mmioRead(h, static_cast<HPSTR>(p), static_cast<LONG>(bytes)) ==
                                            static_cast<LONG>(bytes);
            GlobalUnlock(block);
            if (h)
                mmioClose(h, 0);
            if (!read) {
                GlobalFree(block);
                block = nullptr;
                reportNoTempFile();
            }
        }
    }
    DeleteFileA(temp.c_str());
    return block;
}

HGLOBAL TWaveFile::MakeClipboardImageSeconds(float from, float to)
{
    return MakeClipboardImage(SecondsToFrames(from), SecondsToFrames(to));
}

TWaveFile* TWaveFile::OpenImage(std::span<const std::uint8_t> image, std::string& tempName)
{
    tempName.clear();
    if (image.size() < 12 || image.size() > 0x7FFFFFFFu)
        return nullptr;
    tempName = MakeTempFile(tempDir_, "wav");
    bool written = !tempName.empty();
    if (written) {
        MMIOINFO info{};
        HMMIO h = mmioOpenA(tempName.c_str(), &info, MMIO_CREATE | MMIO_WRITE);
        written = h != nullptr && mmioWrite(h, reinterpret_cast<const char*>(image.data()),
                                            static_cast<LONG>(image.size())) == static_cast<LONG>(image.size());
        if (h && mmioClose(h, 0) != MMSYSERR_NOERROR)
            written = false;
    }
    // The pasted wave passes through a file in the temporary folder; a paste that can't be
    // made must not look as if it had been.
    if (!written) {
        ShowError("TWaveFile - the wave on the clipboard could not be pasted: no temporary file could be written "
                  "in " + tempDir_ + " (the folder may be full or write-protected). The file is unchanged.");
        return nullptr;
    }
    auto* pasted = new (std::nothrow) TWaveFile(tempName, kStreamed, false, tempDir_);
    if (pasted != nullptr && pasted->IsError()) {
        delete pasted;
        pasted = nullptr;
    }
    return pasted;
}

namespace {

const char* const kFormatMismatch = "Cannot Paste the data - the wave data on the clipboard has a different format "
                                    "(rate, bits etc) than the current file.";

} // namespace

template <class Apply>
bool TWaveFile::PasteImage(std::span<const std::uint8_t> image, Apply apply)
{
    std::string temp;
    TWaveFile* pasted = OpenImage(image, temp);
    bool done = false;
    if (pasted != nullptr) {
        if (pasted->GetFormat().Equals(format_))
            done = apply(*pasted, pasted->GetEndFrame());
        else
            AfxMessageBox(kFormatMismatch);
        delete pasted;
    }
    if (!temp.empty())
        DeleteFileA(temp.c_str());
    return done;
}

bool TWaveFile::PasteOver(std::span<const std::uint8_t> image, DWORD frame)
{
    return PasteImage(image, [&](TWaveFile& pasted, DWORD length) {
        if (!SaveUndo(kUndoOverwritten, frame, frame + length))
            return false;
        modified_ = 1;
        const bool done = CopySegment(&pasted, this, 0, frame, length);
        if (done)
            EditDone();
        return done;
    });
}

bool TWaveFile::PasteOverSeconds(std::span<const std::uint8_t> image, float seconds)
{
    return PasteOver(image, SecondsToFrames(seconds));
}

bool TWaveFile::PasteInsert(std::span<const std::uint8_t> image, DWORD frame)
{
    return PasteImage(image, [&](TWaveFile& pasted, DWORD length) {
        frame = std::min(frame, endFrame_);
        const DWORD oldEnd = endFrame_;
        const bool done = InsertSegment(&pasted, this, 0, frame, length);
        // An insert that could not make room moved nothing: undoing it would remove real
        // frames, so the previous undo stands.
        if (endFrame_ != oldEnd) {
            // Undoing an insert only removes frames, so it needs no undo file.
            DiscardUndo();
            undoAvailable_ = 1;
            undoKind_ = kUndoInserted;
            undoFirst_ = frame;
            undoEnd_ = frame + length;
            modified_ = 1;
        }
        return done;
    });
}

bool TWaveFile::PasteInsertSeconds(std::span<const std::uint8_t> image, float seconds)
{
    return PasteInsert(image, SecondsToFrames(seconds));
}

HGLOBAL TWaveFile::Cut(DWORD first, DWORD end)
{
    HGLOBAL image = MakeClipboardImage(first, end);
    // Without a clipboard copy nothing is removed, so nothing can be lost.
    if (image == nullptr)
        return nullptr;
    // Nor without an undo copy, so that the cut frames can always be put back.
    if (!SaveUndo(kUndoRemoved, first, end)) {
        GlobalFree(image);
        return nullptr;
    }
    DeleteSegment(this, first, end);
    EditDone();
    return image;
}

HGLOBAL TWaveFile::CutSeconds(float from, float to)
{
    return Cut(SecondsToFrames(from), SecondsToFrames(to));
}
