// The Edit commands on the wave file of the input channel whose plot is active: undo, cut,
// copy, the two pastes, mute, select all and set file position; and the long-operation
// plumbing (caption, status-bar progress, Esc) that the edits and analyses share.
#include "app/CMainFrame.h"

#include "app/CSetFilePositionDlg.h"
#include "app/CStatusbar.h"
#include "app/CToolbar.h"
#include "records/ChannelCalibration.h"
#include "dsp/SegmentProgress.h"
#include "platform/core/FileSystem.h"
#include "platform/core/GlobalMemory.h"
#include "platform/core/SysTime.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/LongOperation.h"
#include "plots/TSeriesPlot.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "wave/TWaveFile.h"
#include "wave/WaveCalibrationBlock.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

namespace {

bool IsSegmentKind(int kind) { return kind == 1 || kind == 4 || kind == 5; }

// The values of Set File Position, kept for the life of the process.
FilePositionValues& FilePosition()
{
    static FilePositionValues values;
    return values;
}

// The CF_WAVE bytes on the clipboard (empty when there are none). The clipboard must be open.
std::vector<std::uint8_t> ClipboardWaveBytes()
{
    std::vector<std::uint8_t> bytes;
    if (!IsClipboardFormatAvailable(CF_WAVE))
        return bytes;
    HANDLE h = GetClipboardData(CF_WAVE);
    if (h == nullptr)
        return bytes;
    auto block = static_cast<HGLOBAL>(h);
    if (const auto* p = static_cast<const std::uint8_t*>(GlobalLock(block))) {
        bytes.assign(p, p + GlobalSize(block));
        GlobalUnlock(block);
    }
    return bytes;
}

// Hands a wave image to the clipboard, which owns it from then on; frees it when the
// clipboard can't be had. Without an image (the copy failed, or the selection was empty) the
// clipboard is emptied, so that a following paste cannot insert what was there before.
void PutWaveOnClipboard(CWnd* owner, HGLOBAL image)
{
    if (!OpenClipboard(owner)) {
        if (image != nullptr)
            GlobalFree(image);
        return;
    }
    EmptyClipboard();
    if (image != nullptr)
        SetClipboardData(CF_WAVE, image);
    CloseClipboard();
}

} // namespace

// ---- Long operations -----------------------------------------------------------------------

void CMainFrame::BeginLongOperation(const char* caption)
{
    LongOperationCaption = GetWindowTextString();
    if (LongOperationCaption.size() > 260)
        LongOperationCaption.resize(260);
    SetWindowText(caption);
    if (StatusBar != nullptr && StatusBar->GetSafeHwnd() != nullptr)
        StatusBar->ShowProgress();
}

void CMainFrame::EndLongOperation()
{
    if (StatusBar != nullptr && StatusBar->GetSafeHwnd() != nullptr)
        StatusBar->HideProgress();
    SetWindowText(LongOperationCaption.c_str());
}

SegmentProgress CMainFrame::LongOperationHooks()
{
    SegmentProgress hooks;
    hooks.progress = [this](int percent) {
        if (StatusBar != nullptr && StatusBar->GetSafeHwnd() != nullptr)
            StatusBar->SetProgress(percent);
    };
    hooks.cancelled = [this] { return AfxCheckCancel(this) != CancelRequest::None; };
    return hooks;
}

// ---- Targets and refreshes -----------------------------------------------------------------

bool CMainFrame::GetEditTarget(int* kind, int* channel) const
{
    int k = 0;
    int ch = -1;
    int composite = 0;
    if (!GetActivePlot(&k, &ch, &composite) || k < 1 || k > kPlotKinds || composite != 0)
        return false;
    if (ch < 0 || ch >= kChannels || Settings.Files[ch].File == nullptr)
        return false;
    *kind = k;
    *channel = ch;
    return true;
}

void CMainFrame::RefreshChannelPlotsAfterEdit(int channel)
{
    if (TimeSeriesPlot[channel] != nullptr)
        TimeSeriesPlot[channel]->UpdateLayout();
    if (SpectrogramPlot[channel] != nullptr)
        RebuildSpectrogram(channel, false, false);
    if (SurfacePlot[channel] != nullptr)
        RebuildSurface(channel, false, false);
    RebuildCompositeHistoriesOf(channel);
}

namespace {

// The backup question of the edits that change a streamed file in place.
bool ConfirmDiskEdit(const FileIOSettings& io)
{
    if (io.WaveFileMode != 1 || io.MakeBackup != 0)
        return true;
    return AfxMessageBox("You are about to modify the disk file and have not selected the \"Make Backup\" file "
                         "option.\r\rDo you want to continue?",
                         MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

} // namespace

// ---- Update handlers -----------------------------------------------------------------------

void CMainFrame::OnUpdateEditUndo(CCmdUI* pCmdUI)
{
    int kind = 0;
    int channel = 0;
    pCmdUI->Enable(GetEditTarget(&kind, &channel) && Settings.Files[channel].File->IsUndoAvailable());
}

namespace {

// The active plot when it is an input channel's time series, spectrogram or surface.
TPlotBase* ActiveSegmentPlot(const CMainFrame& frame)
{
    int kind = 0, channel = -1, composite = 0;
    if (!frame.GetActivePlot(&kind, &channel, &composite) || composite != 0 || !IsSegmentKind(kind))
        return nullptr;
    return frame.GetPlot(kind, channel, false);
}

} // namespace

void CMainFrame::OnUpdateEditCut(CCmdUI* pCmdUI)
{
    TPlotBase* plot = ActiveSegmentPlot(*this);
    pCmdUI->Enable(plot != nullptr && plot->CanCut());
}

void CMainFrame::OnUpdateEditCopy(CCmdUI* pCmdUI)
{
    TPlotBase* plot = ActiveSegmentPlot(*this);
    pCmdUI->Enable(plot != nullptr && plot->CanCopy());
}

void CMainFrame::OnUpdateEditPaste(CCmdUI* pCmdUI)
{
    bool wave = false;
    if (OpenClipboard(this)) {
        wave = IsClipboardFormatAvailable(CF_WAVE) != 0;
        CloseClipboard();
    }
    int kind = 0, channel = -1, composite = 0;
    pCmdUI->Enable(wave && GetActivePlot(&kind, &channel, &composite) && composite == 0 && kind == 1);
}

void CMainFrame::OnUpdateSelectAll(CCmdUI* pCmdUI)
{
    int kind = 0, channel = -1, composite = 0;
    pCmdUI->Enable(GetActivePlot(&kind, &channel, &composite) && composite == 0 && IsSegmentKind(kind));
}

void CMainFrame::OnUpdateEditSetFilePosition(CCmdUI* pCmdUI) { pCmdUI->Enable(CountOpenWaveFiles() >= 1); }

void CMainFrame::OnUpdateEditFilter(CCmdUI* pCmdUI)
{
    TPlotBase* plot = ActiveSegmentPlot(*this);
    pCmdUI->Enable(plot != nullptr && plot->CanPlayOrFilter());
}

// ---- Commands ------------------------------------------------------------------------------

void CMainFrame::OnEditUndo()
{
    StopRunAndPlayback();
    int kind = 0, channel = 0;
    if (!GetEditTarget(&kind, &channel))
        return;
    TWaveFile* file = Settings.Files[channel].File.get();
    if (file->IsUndoAvailable()) {
        file->Undo();
        NoteSampleEdit(channel);
    }
    ToolbarUpdateState();
    RefreshChannelPlotsAfterEdit(channel);
}

void CMainFrame::OnEditCut()
{
    StopRunAndPlayback();
    int kind = 0, channel = 0;
    if (!GetEditTarget(&kind, &channel) || !IsSegmentKind(kind))
        return;
    if (!ConfirmDiskEdit(Settings.FileIO))
        return;
    float start = 0.0f, end = 0.0f;
    GetPlot(kind, channel, false)->GetSelectedSegment(start, end);
    // A segment the plot refused (it crosses a sweeping spectrogram's write position) is not
    // edited.
    if (end < start)
        return;
    // The segment is cut only when the clipboard can take it, so a cut never loses data.
    if (!OpenClipboard(this))
        return;
    CloseClipboard();
    PutWaveOnClipboard(this, Settings.Files[channel].File->CutSeconds(start, end));
    NoteSampleEdit(channel);
    ToolbarUpdateState();
    RefreshChannelPlotsAfterEdit(channel);
}

void CMainFrame::OnEditCopy()
{
    int kind = 0, channel = -1, composite = 0;
    if (!GetActivePlot(&kind, &channel, &composite) || composite != 0 || channel < 0 || channel >= kChannels)
        return;
    TPlotBase* plot = IsSegmentKind(kind) ? GetPlot(kind, channel, false) : nullptr;
    // The history plots' own copy hook comes first; it needs no wave file.
    if (plot != nullptr && kind == 4)
        static_cast<TSpectrogram*>(plot)->ReservedHook();
    else if (plot != nullptr && kind == 5)
        static_cast<TSurfacePlot*>(plot)->ReservedHook();
    // The spectrogram and 3-D surface copy their selected segment as the time series does;
    // their "Copy as Wave" would otherwise do nothing at all.
    TWaveFile* file = Settings.Files[channel].File.get();
    if (file == nullptr || plot == nullptr)
        return;
    float start = 0.0f, end = 0.0f;
    plot->GetSelectedSegment(start, end);
    // A segment the plot refused (it crosses a sweeping spectrogram's write position) is not
    // copied.
    if (end < start)
        return;
    if (!OpenClipboard(this))
        return;
    CloseClipboard();
    PutWaveOnClipboard(this, file->MakeClipboardImageSeconds(start, end));
}

void CMainFrame::OnEditMute()
{
    StopRunAndPlayback();
    int kind = 0, channel = 0;
    if (!GetEditTarget(&kind, &channel) || !IsSegmentKind(kind))
        return;
    float start = 0.0f, end = 0.0f;
    GetPlot(kind, channel, false)->GetSelectedSegment(start, end);
    // A segment the plot refused (it crosses a sweeping spectrogram's write position) is not
    // edited.
    if (end < start)
        return;
    TWaveFile* file = Settings.Files[channel].File.get();
    // Like every other edit, a mute can be taken back once; without its undo copy it is not made.
    if (!file->MuteSecondsWithUndo(start, end))
        return;
    NoteSampleEdit(channel);
    RefreshChannelPlotsAfterEdit(channel);
}

namespace {

enum class PasteKind { Insert, Over };

// Pastes the clipboard wave into the channel's open file at its position.
void PasteClipboardWave(CMainFrame& frame, int channel, PasteKind how)
{
    if (!ConfirmDiskEdit(frame.Settings.FileIO) || !OpenClipboard(&frame))
        return;
    const std::vector<std::uint8_t> image = ClipboardWaveBytes();
    CloseClipboard();
    if (image.empty())
        return;
    TWaveFile* file = frame.Settings.Files[channel].File.get();
    const std::span<const std::uint8_t> bytes(image);
    // At the file's own frame: its position in single-precision seconds turned back into frames
    // falls one frame short for about half of all positions.
    const DWORD at = file->GetPosition();
    if (how == PasteKind::Insert ? file->PasteInsert(bytes, at) : file->PasteOver(bytes, at))
        frame.NoteSampleEdit(channel);
    frame.ToolbarUpdateState();
    frame.RefreshChannelPlotsAfterEdit(channel);
}

} // namespace

// The clipboard wave becomes the channel's new, untitled file.
void CMainFrame::PasteClipboardAsChannelFile(int channel)
{
    ChannelFileState& f = Settings.Files[channel];
    if (!OpenClipboard(nullptr))
        return;
    const std::vector<std::uint8_t> image = ClipboardWaveBytes();
    CloseClipboard();
    if (image.empty())
        return;
    const std::string tempFolder = Settings.WorkingPaths.Tmp;
    const std::string tempName = MakeTempFile(tempFolder, "wav");
    bool written = false;
    if (!tempName.empty()) {
        if (std::FILE* out = std::fopen(tempName.c_str(), "wb")) {
            written = std::fwrite(image.data(), 1, image.size(), out) == image.size();
            written = std::fclose(out) == 0 && written;
        }
    }
    // A paste that can't be made must not look as if it had been.
    if (!written) {
        if (!tempName.empty())
            std::remove(tempName.c_str());
        AfxMessageBox("The wave on the clipboard could not be pasted: no temporary file could be written in " +
                          tempFolder + " (the folder may be full or write-protected).",
                      MB_OK | MB_ICONSTOP);
        return;
    }
    const WORD mode = static_cast<WORD>(Settings.FileIO.WaveFileMode);
    const bool backup = Settings.FileIO.MakeBackup != 0;
    std::unique_ptr<TWaveFile> pasted(new TWaveFile(tempName, TWaveFile::kStreamed, false, tempFolder));
    if (pasted->IsError()) {
        pasted.reset();
        std::remove(tempName.c_str());
        return;
    }
    // A new untitled wave receives the samples, so saving asks for a name and the scratch
    // file can go at once.
    const DWORD frames = pasted->GetEndFrame();
    std::unique_ptr<TWaveFile> file(mode == TWaveFile::kMemory
                                        ? new TWaveFile(frames, pasted->GetFormat(), tempFolder)
                                        : new TWaveFile(pasted->GetFormat(), backup, tempFolder));
    bool ok = !file->IsError();
    if (ok && frames > 0)
        ok = mode == TWaveFile::kMemory ? file->CopySegment(pasted.get(), file.get(), 0, 0, frames)
                                         : file->InsertSegment(pasted.get(), file.get(), 0, 0, frames);
    WaveCalibrationBlock block;
    pasted->GetCalibrationBlock(block);
    pasted.reset();
    std::remove(tempName.c_str());
    if (!ok)
        return;
    file->DiscardUndo();
    file->SetModified(true);
    file->Rewind();
    f.File = std::move(file);
    ChannelCalibration cal;
    f.File->GetChannelCalibration(cal, static_cast<int>(f.FileChannel));
    ComputeCalibrationFactors(cal);
    std::memcpy(static_cast<void*>(&Settings.Calibration[channel]), &cal, sizeof cal);
    block.Channel[0] = cal;
    block.Channel[1] = cal;
    f.File->TWaveData::SetCalibration(block);
    // The channel is processed in its file's format, or its samples would be misread.
    Settings.Processing[channel].SampleFormat = f.File->GetFormat();
    ApplyChannelFile(channel);
    ToolbarUpdateState();
}

namespace {

// Both pastes: into the file of the active input channel's time series, spectrogram or
// surface; on a channel with no file the clipboard wave becomes its file.
void PasteCommand(CMainFrame& frame, PasteKind how)
{
    frame.StopRunAndPlayback();
    int kind = 0, channel = -1, composite = 0;
    if (!frame.GetActivePlot(&kind, &channel, &composite) || composite != 0 || kind < 1 || channel < 0 ||
        channel >= CMainFrame::kChannels)
        return;
    if (frame.Settings.Files[channel].File == nullptr)
        frame.PasteClipboardAsChannelFile(channel);
    else if (IsSegmentKind(kind))
        PasteClipboardWave(frame, channel, how);
}

} // namespace

void CMainFrame::OnEditPasteInsert() { PasteCommand(*this, PasteKind::Insert); }

void CMainFrame::OnEditPasteOver() { PasteCommand(*this, PasteKind::Over); }

void CMainFrame::OnSelectAll()
{
    StopRunAndPlayback();
    int kind = 0, channel = 0;
    if (!GetEditTarget(&kind, &channel))
        return;
    if (TimeSeriesPlot[channel] != nullptr)
        TimeSeriesPlot[channel]->SelectAll();
    if (SpectrogramPlot[channel] != nullptr)
        SpectrogramPlot[channel]->SelectAll();
    if (SurfacePlot[channel] != nullptr)
        SurfacePlot[channel]->SelectAll();
}

void CMainFrame::OnEditSetFilePosition()
{
    StopRunAndPlayback();
    FilePositionValues& v = FilePosition();
    int activeChannel = -1;
    {
        int kind = 0, channel = -1, composite = 0;
        if (GetActivePlot(&kind, &channel, &composite) && kind >= 1 && composite == 0 && channel >= 0 &&
            channel < kChannels)
            activeChannel = channel;
    }
    // A position must lie within every file it moves: a file can't be set past its end.
    FilePositionEnds ends;
    for (int c = 0; c < kChannels; ++c) {
        const TWaveFile* file = Settings.Files[c].File.get();
        if (file == nullptr)
            continue;
        const std::int64_t frames = file->GetEndFrame();
        const double seconds = file->FramesToSeconds(file->GetEndFrame());
        if (ends.AllFrames < 0 || frames < ends.AllFrames)
            ends.AllFrames = frames;
        if (ends.AllSeconds < 0.0 || seconds < ends.AllSeconds)
            ends.AllSeconds = seconds;
        if (c == activeChannel) {
            ends.ActiveFrames = frames;
            ends.ActiveSeconds = seconds;
        }
    }
    {
        CSetFilePositionDlg dlg(this, &v.Seconds, &v.Samples, &v.Mode, &v.ApplyToAll);
        dlg.SetEnds(ends);
        if (dlg.DoModal() != IDOK)
            return;
    }
    const auto apply = [&](int channel) {
        if (Settings.Files[channel].File == nullptr)
            return;
        if (v.Mode == 0)
            SetChannelFileTime(channel, v.Seconds);
        else
            SetChannelFilePosition(channel, static_cast<DWORD>(v.Samples));
    };
    if (v.ApplyToAll) {
        for (int c = 0; c < kChannels; ++c)
            apply(c);
    } else if (activeChannel >= 0) {
        apply(activeChannel);
    }
    if (Toolbar != nullptr && Toolbar->GetSafeHwnd() != nullptr)
        Toolbar->UpdateState(true, false);
    // The key that closed the dialog must not reach the MDI client, where Enter starts a run.
    for (int i = 0; i < 10; ++i) {
        MSG msg;
        while (PeekMessage(&msg, GetSafeHwnd(), WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        }
        Sleep(50);
    }
}
