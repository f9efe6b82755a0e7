// A TWaveData bound to storage. Mode 0 holds the whole file in memory and writes it whole on
// save; mode 1 streams from and to an open file (recordings, large files, undo and clipboard
// scratch files), optionally on a temporary working copy so that the user's file changes only
// on save; mode 2 is read-only data from a wave image compiled into the program.
//
// Objects are made on the heap and owned by whoever made them; used on the user-interface
// thread only. Messages shown begin with "TWaveFile - ".
#pragma once

#include "platform/core/Mmio.h"
#include "platform/core/WinTypes.h"
#include "wave/TWaveData.h"
#include "wave/WorkingFile.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct WaveLayout;

class TWaveFile : public TWaveData {
public:
    enum Mode : WORD { kMemory = 0, kStreamed = 1, kResource = 2 };
    enum UndoKind : DWORD { kUndoInserted = 0, kUndoOverwritten = 1, kUndoRemoved = 2 };
    static constexpr DWORD kPieceFrames = 4096; // frames moved at a time by the segment copies

    // Opens an existing file. An empty temporary folder means the system's.
    TWaveFile(const std::string& name, WORD mode, bool makeBackup, const std::string& tempDir);
    // A new, untitled wave in memory of the given length (end frame 0).
    TWaveFile(DWORD frames, const TPcmFormat& format, const std::string& tempDir);
    // A new, untitled streamed wave with no frames, on a temporary working copy.
    TWaveFile(const TPcmFormat& format, bool makeBackup, const std::string& tempDir);
    // Read-only data from a RIFF WAVE image (a compiled-in resource); the image is copied.
    explicit TWaveFile(std::span<const std::uint8_t> image);
    // The wave resource of the given type and name ("PinkWave", "PINKWAVE").
    static TWaveFile* FromResource(std::string_view type, std::string_view name);
    ~TWaveFile() override;

    // Names and state.
    void SetFileName(const std::string& name);
    // Takes back the name a failed first save gave: the wave is untitled again.
    void ForgetName();
    const std::string& GetFileName() const { return fileName_; }
    std::string SourceName() const override { return fileName_; }
    const std::string& GetWorkingCopy() const { return workingCopy_; }
    WORD GetMode() const { return mode_; }
    bool IsUntitled() const { return untitled_ != 0; }
    bool IsCalibrationPresent() const { return calPresent_ != 0; }
    bool IsCalibrationChanged() const { return calChanged_ != 0; }
    bool IsUndoAvailable() const { return undoAvailable_ != 0; }
    DWORD GetUndoKind() const { return undoKind_; }
    DWORD GetDataOffset() const { return dataOffset_; }
    double GetRemainingSeconds() const;
    // Edits that only this object holds, which a save must write: those of a wave in memory or
    // on a working copy. A file edited in place holds its own, unless one could not be written.
    bool HasUnsavedEdits() const
    {
        return modified_ && (mode_ == kMemory || workingCopy_ != fileName_ || inPlaceBehind_);
    }

    // Storage.
    [[nodiscard]] bool Save();
    [[nodiscard]] bool WriteWholeFile();
    [[nodiscard]] bool SaveStreamed();
    [[nodiscard]] bool SaveStreamedAs();
    static bool CopyWaveFile(const std::string& source, const std::string& target, DWORD frames,
                             const std::string& tempDir = {});
    static bool CopyDiskFile(const std::string& from, const std::string& to);
    // Why a file of `bytes` could not be written as `target`, in words a user can act on: its
    // folder is missing or not writable, or the disk is (or may be) full.
    static std::string WriteFailureCause(const std::string& target, std::uint64_t bytes);
    // While a streamed wave is being written: makes its header name the frames written so far
    // (no chunk after them is written), so that a crash leaves a readable wave file. False
    // when the header could not be written or the file has a format chunk after its samples.
    [[nodiscard]] bool UpdateHeaderSizes();
    // The frames the header named at its last update (or when the file was made or opened).
    DWORD GetHeaderFrames() const { return headerFrames_; }
    // Where writing stands; ReturnTo takes back everything written after it, so that the
    // channels of a take can be brought back to one end.
    struct WriteMark {
        DWORD position = 0, end = 0, length = 0;
    };
    WriteMark GetWriteMark() const { return {position_, endFrame_, length_}; }
    void ReturnTo(const WriteMark& mark);
    // Unchecked reads and writes at the file's current position (mode 1).
    LONG ReadRaw(void* buffer, LONG bytes);
    LONG WriteRaw(const void* buffer, LONG bytes);

    // Mode-aware sample operations.
    void SetPosition(DWORD frame) override;
    double GetSample(DWORD frame, int channel, bool calibrated) override;
    [[nodiscard]] bool SetSample(std::int32_t value, DWORD frame, int channel) override;
    [[nodiscard]] bool ReadSamples(void* destination, DWORD first, DWORD count, int channel) override;
    [[nodiscard]] bool WriteSamples(const void* source, DWORD first, DWORD count, int channel) override;
    [[nodiscard]] bool ReadBytes(void* destination, DWORD bytes) override;
    [[nodiscard]] bool WriteBytes(const void* source, DWORD bytes) override;
    void ReadBlockScaled(DWORD first, DWORD end, float& maximum, float& minimum, int channel, bool calibrated,
                         bool rms);
    void MuteFrames(DWORD first, DWORD end) override;
    void MuteFromFrame(DWORD first);
    void MuteToFrame(DWORD end) { MuteFrames(0, end); }
    void MuteSeconds(float from, float to) { MuteFrames(SecondsToFrames(from), SecondsToFrames(to)); }
    // The Edit menu's mute: in every mode with one undo copy of the frames it silences. False
    // when nothing was muted (an empty range, or no undo copy could be written).
    [[nodiscard]] bool MuteSecondsWithUndo(float from, float to);
    double IntegrateSegment(DWORD first, DWORD end, int channel);
    double IntegrateSeconds(float from, float to, int channel);

    // Calibration. ReadCalibrationChunk takes the calibration the file carries (true when it
    // carries one); without a chunk the block is cleared. WriteCalibrationChunk writes a present
    // calibration right after the open file's RIFF chunk; one that cannot be written is reported
    // and marked absent. False without an open file or when a part-written chunk stays.
    [[nodiscard]] bool ReadCalibrationChunk();
    [[nodiscard]] bool WriteCalibrationChunk();
    [[nodiscard]] bool AppendCalibrationChunk(const std::string& fileName);
    void SetCalibration(WaveCalibrationBlock block);
    void SetCalibrationFrom(WaveCalibrationBlock block);
    void GetCalibrationBlock(WaveCalibrationBlock& out) const { out = calibration_; }
    void GetChannelCalibration(ChannelCalibration& out, int channel) const;
    void ClearCalibration();

    // Undo and segments.
    // Saves frames [first, end) for one level of undo. When the undo copy cannot be written it
    // says so and returns false, keeping the previous undo: the caller must not edit then.
    [[nodiscard]] bool SaveUndo(WORD kind, DWORD first, DWORD end);
    [[nodiscard]] bool SaveUndoSeconds(WORD kind, float from, float to);
    // The edit the undo copy was saved for is complete: a crash from now on leaves the whole
    // edit, which the copy's label then says. Until this call a crash is taken for one in the
    // middle of the edit.
    void EditDone();
    void DiscardUndo();
    void Undo();
    void GetUndoRange(DWORD& first, DWORD& end) const;
    void GetUndoSeconds(float& first, float& end) const;
    [[nodiscard]] bool CopySegment(TWaveFile* source, TWaveFile* target, DWORD sourceFirst, DWORD targetFirst, DWORD count);
    [[nodiscard]] bool CopySegmentSeconds(TWaveFile* source, TWaveFile* target, float sourceFrom, float targetFrom,
                            float seconds);
    [[nodiscard]] bool InsertSegment(TWaveFile* source, TWaveFile* target, DWORD sourceFirst, DWORD targetFirst, DWORD count);
    [[nodiscard]] bool InsertSegmentSeconds(TWaveFile* source, TWaveFile* target, float sourceFrom, float targetFrom,
                              float seconds);
    void DeleteSegment(TWaveFile* target, DWORD first, DWORD end);
    void DeleteSeconds(TWaveFile* target, float from, float to);
    void ScaleSeconds(float from, float to, double factor, bool saveUndo);

    // The wave clipboard image: a RIFF WAVE image of frames [first, end) without calibration,
    // in a movable global memory block the caller owns (null on failure, after a message).
    HGLOBAL MakeClipboardImage(DWORD first, DWORD end);
    HGLOBAL MakeClipboardImageSeconds(float from, float to);
    // Pastes a clipboard image over or into the wave at a frame; false when nothing changed.
    [[nodiscard]] bool PasteOver(std::span<const std::uint8_t> image, DWORD frame);
    [[nodiscard]] bool PasteOverSeconds(std::span<const std::uint8_t> image, float seconds);
    [[nodiscard]] bool PasteInsert(std::span<const std::uint8_t> image, DWORD frame);
    [[nodiscard]] bool PasteInsertSeconds(std::span<const std::uint8_t> image, float seconds);
    // Cut = image of the segment (the caller puts it on the clipboard), undo kind 2, delete.
    HGLOBAL Cut(DWORD first, DWORD end);
    HGLOBAL CutSeconds(float from, float to);

private:
    void InitDefaults(const std::string& tempDir);
    // Opens a wave file, reads its calibration and RIFF layout and takes its format and
    // calibration; `frames` gets the whole frames present. Null (after any message) when the
    // file cannot be opened or holds no frames.
    HMMIO OpenWithLayout(const std::string& name, DWORD flags, WaveLayout& layout, DWORD& frames);
    bool ReadWholeFile();
    bool OpenStreamed();
    // Keeps the open file's "fmt " chunk when it follows the samples; false when it cannot.
    bool KeepTrailingFormat(const WaveLayout& layout);
    // Reads the calibration chunk of h and takes it, or clears the block when there is none;
    // h's position returns to 0.
    void TakeCalibrationChunk(HMMIO h);
    // Writes the calibration chunk right after the RIFF chunk. One that cannot be written is
    // reported, marked absent and cut off; false only when the file could not be cut back.
    bool WriteCalibrationAfter(HMMIO h, const MMCKINFO& riff);
    bool CreateStreamed();
    bool ReadImage(std::span<const std::uint8_t> image);
    // Brings the header of the open file up to date for `endFrame_` frames, cuts off what lies
    // past the data and writes the calibration chunk after it when present. Every write leaves
    // a file whose header describes it, so a crash at any point leaves a readable wave (but for
    // a file whose format chunk follows its samples: that chunk is written anew).
    bool FinishStreamedFile();
    // The file is the user's own, edited in place: its edits are written to it as they are made.
    bool IsEditedInPlace() const
    {
        return mode_ == kStreamed && file_ != nullptr && !fileName_.empty() && workingCopy_ == fileName_;
    }
    // After an edit of a file edited in place: the file on disk becomes exactly the edited wave
    // with its calibration chunk. False (after a message) when it could not be written.
    bool CommitInPlaceEdit();
    // Makes the open file ready to hold `frames` frames: the bytes are written (never a sparse
    // hole a full disk could fail later) and the calibration chunk moved past them.
    bool MakeRoomFor(DWORD frames);
    // Writes the calibration chunk (when present) at `at`, past anything a reader looks at, then
    // points the RIFF size at it; zeros fill the file up to `at` first.
    bool MoveTailTo(std::int64_t at);
    bool FillTo(std::int64_t end);
    bool CalibrationChunkIsAt(std::int64_t at);
    // Where the RIFF chunk on disk ends, padded; -1 when it can't be read.
    std::int64_t RiffEndOnDisk();
    bool Put32At(std::int64_t at, DWORD value);
    // Writes the data and RIFF sizes for `bytes` of samples ending the RIFF chunk at riffEnd, and
    // the "fact" frame count when the file has one.
    bool PutHeaderSizes(DWORD bytes, std::int64_t riffEnd);
    bool CloseFile();
    // Mode-1 frame I/O at explicit frames; the object's position is not changed.
    [[nodiscard]] bool ReadFramesAt(DWORD frame, void* buffer, DWORD frames);
    [[nodiscard]] bool WriteFramesAt(DWORD frame, const void* buffer, DWORD frames);
    std::int64_t FrameOffset(DWORD frame) const;
    // Mode-1 muting of [first, end) with an odd first frame raised by one, undo saved; false
    // when nothing was muted.
    bool MuteStreamed(DWORD first, DWORD end);
    bool MoveWorkingCopyTo(const std::string& target, const char* failureText);
    // The box of a save whose copy into the file failed: the text, the file and the cause.
    void ShowSaveFailure(const char* text) const;
    // Opens a pasted image as a streamed wave through a temporary file; null on failure.
    TWaveFile* OpenImage(std::span<const std::uint8_t> image, std::string& tempName);
    // Opens a pasted image and, when its format is this wave's, runs apply(pasted, frames);
    // the scratch file goes afterwards. False when nothing was pasted.
    template <class Apply>
    bool PasteImage(std::span<const std::uint8_t> image, Apply apply);
    void ShowError(const std::string& text) const;
    // A message about the file being opened, followed by its name.
    void ShowOpenError(const std::string& text) const;

    BYTE untitled_ = 0;
    BYTE undoAvailable_ = 0;
    BYTE calPresent_ = 0;
    BYTE calChanged_ = 0;
    WORD mode_ = kMemory;
    BYTE tempWorking_ = 0;
    BYTE makeBackup_ = 0;
    // Set on the scratch wave of a copy: its caller reports a failed move into place itself.
    bool quietMove_ = false;
    std::string tempDir_;
    std::string fileName_;
    std::string workingCopy_;
    std::string undoFile_;
    DWORD undoFirst_ = 0;
    DWORD undoEnd_ = 0;
    DWORD undoKind_ = 0;
    // The end frame when the undo was saved: a paste over that ran past it lengthened the wave,
    // and its undo shortens it again.
    DWORD undoWaveEnd_ = 0;
    // Labels the undo copy for the next start: where its frames belong and how far the edit got.
    void LabelUndoCopy(WorkingFileLabel::State state) const;
    // An edit of a file edited in place that could not be written to it: a save must.
    bool inPlaceBehind_ = false;
    DWORD dataOffset_ = 44;
    DWORD headerFrames_ = 0;
    // Where the open file's "fact" chunk keeps its frame count (0: it has none before the samples).
    std::int64_t factCountAt_ = 0;
    HMMIO file_ = nullptr;
    // A "fmt " chunk that stood after the data chunk of the open file, header and all: the
    // samples may grow over it, so a save writes it again after them.
    std::vector<std::uint8_t> trailingFormat_;
    MMCKINFO riffCk_{};
    MMCKINFO dataCk_{};
};
