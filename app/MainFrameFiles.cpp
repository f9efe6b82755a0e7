// The per-channel wave-file commands of the File menu (New, Open, Save, Close, Delete) and the
// frame operations that bind each channel's wave file to its calibration, processing and
// time-series plot.
#include "app/CMainFrame.h"

#include "app/CDurnexFileSelectDlg.h"
#include "records/CommonRoutines.h"
#include "records/RecordBytes.h"
#include "records/ChannelCalibration.h"
#include "platform/ui/CommonDialogs.h"
#include "plots/TSeriesPlot.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"
#include "wave/WaveCalibrationBlock.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr WORD kRealTime = 0;
constexpr WORD kRecorder = 1;
constexpr WORD kPostProcess = 2;
// The end of "everything" for a time-series selection.
constexpr float kWholeFileSeconds = 999999.875f;


// What the file dialog may change of a channel, kept to see afterwards what it did.
struct ChannelFileSnapshot {
    BYTE IsActive = 0;
    char FilePath[260] = {};
    const TWaveFile* File = nullptr;
    DWORD FileChannel = 0;

    void Take(const ChannelFileState& f)
    {
        IsActive = f.IsActive;
        std::memcpy(FilePath, f.FilePath, sizeof FilePath);
        File = f.File.get();
        FileChannel = f.FileChannel;
    }
    bool SameAs(const ChannelFileState& f) const
    {
        return IsActive == f.IsActive && std::memcmp(FilePath, f.FilePath, sizeof FilePath) == 0 &&
               File == f.File.get() && FileChannel == f.FileChannel;
    }
};

// Gives the file the channel's calibration for both of its slots, or takes its calibration
// away when the channel's is not in use. Only the calibration changes: the file's modified
// flag stays as it was.
void ApplyCalibrationToFile(TWaveFile& file, const ChannelCalibration& calibration)
{
    const bool modified = file.IsModified();
    if (calibration.IsEnabled == 0) {
        file.ClearCalibration();
    } else {
        WaveCalibrationBlock block;
        file.GetCalibrationBlock(block);
        block.Channel[0] = calibration;
        block.Channel[1] = calibration;
        file.TWaveData::SetCalibration(block);
    }
    file.SetModified(modified);
}

} // namespace

void CMainFrame::StopRunAndPlayback()
{
    // A post-process pass reads the channels' files, so it stops as a run does.
    if (AcquisitionRunning || PostProcessBusy)
        OnStop();
    if (Playing)
        StopPlayback();
}

int CMainFrame::CountOpenWaveFiles() const
{
    int n = 0;
    for (const ChannelFileState& f : Settings.Files)
        if (f.File != nullptr)
            ++n;
    return n;
}

int CMainFrame::CountUnsavedNewFiles() const
{
    int count = 0;
    for (int c = 0; c < kChannels; ++c) {
        const TWaveFile* file = Settings.Files[c].File.get();
        if (file == nullptr)
            continue;
        if (file->IsUntitled()) {
            ++count;
            continue;
        }
        // A named file edited in memory or on a working copy loses its edits on closing; one
        // streamed without a copy already holds them.
        if (EditedWave[c] == file && (file->HasUnsavedEdits() || (RecordedWave[c] == file && file->IsModified())))
            ++count;
    }
    return count;
}

void CMainFrame::NoteSampleEdit(int channel)
{
    if (channel >= 0 && channel < kChannels)
        EditedWave[channel] = Settings.Files[channel].File.get();
}

int CMainFrame::AskAboutUnsavedFiles()
{
    if (CountUnsavedNewFiles() <= 0)
        return IDNO;
    const int answer = AfxMessageBox("The file has not been saved.  \r\rDo you want to save the file before closing?",
                                     MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES) {
        OpenChannelFiles();
        return IDYES;
    }
    return answer == IDNO ? IDNO : IDCANCEL;
}

void CMainFrame::OnFileNew()
{
    StopRunAndPlayback();
    if (Settings.OpMode != kRecorder)
        SetModeRecorder(true);
    if (AskAboutUnsavedFiles() != IDNO)
        return;
    ReleaseAllChannelProcessing();
    UpdateTitle();
}

void CMainFrame::OnFileOpen()
{
    StopRunAndPlayback();
    if (Settings.OpMode == kRealTime)
        SetModePostProcess(true);
    if (AskAboutUnsavedFiles() != IDNO)
        return;
    OpenChannelFiles();
    UpdateTitle();
}

void CMainFrame::OnFileSave()
{
    StopRunAndPlayback();
    // In Real Time mode the only files are the last run's buffers, and the file-group dialog
    // would bring named files into a live mode: the buffers are saved as Exit's Yes saves them.
    if (Settings.OpMode == kRealTime) {
        SaveRealTimeBuffers(false);
        UpdateTitle();
        return;
    }
    OpenChannelFiles();
    UpdateTitle();
}

void CMainFrame::OnUpdateFileSave(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(Settings.OpMode != kRealTime && CountOpenWaveFiles() > 0);
}

void CMainFrame::OnUpdateFileClose(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(Settings.OpMode != kRealTime && CountOpenWaveFiles() > 0);
}

void CMainFrame::OnFileClose()
{
    StopRunAndPlayback();
    if (AskAboutUnsavedFiles() != IDNO)
        return;
    DropAllWaveFiles();
    FileGroup.Clear();
    ReleaseAllChannelProcessing();
    UpdateTitle();
}

void CMainFrame::OnFileDelete()
{
    if (AcquisitionRunning)
        return;
    if (Playing)
        StopPlayback();
    CFileDialog dlg(TRUE, "wav", nullptr,
                    OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING,
                    "Wave Files (*.wav)|*.wav||", this);
    dlg.m_ofn.lpstrTitle = "Delete Wave Files";
    dlg.m_ofn.lpstrInitialDir = Settings.WorkingPaths.Wav;
    if (dlg.DoModal() != IDOK)
        return;
    const std::string path = dlg.GetPathName();
    GetFolderOfPath(path.c_str(), Settings.WorkingPaths.Wav);

    char text[600];
    for (const ChannelFileState& f : Settings.Files) {
        if (f.File == nullptr)
            continue;
        // File names are case-sensitive here; the same file reached by another spelling of
        // its path (a link, "..") is caught by comparing the files themselves.
        std::error_code ec;
        const std::string& held = f.File->GetFileName();
        if (held == path || (!held.empty() && std::filesystem::equivalent(held, path, ec))) {
            std::snprintf(text, sizeof text,
                          "The selected file: %s is currently in use.  Please close the file before deleting it",
                          path.c_str());
            AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
    }
    std::snprintf(text, sizeof text, "Are you sure you want to delete: %s", path.c_str());
    if (AfxMessageBox(text, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    std::error_code ec;
    if (!std::filesystem::remove(path, ec)) {
        std::snprintf(text, sizeof text, "Failure deleting wave file: %s", path.c_str());
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    }
}

void CMainFrame::OpenChannelFiles()
{
    StopRunAndPlayback();
    ChannelFileSnapshot before[kChannels];
    for (int c = 0; c < kChannels; ++c)
        before[c].Take(Settings.Files[c]);
    BYTE changed = 0;
    {
        CDurnexFileSelectDlg dlg(this, &FileGroup, Settings.WorkingPaths.Wav, Settings.Files, Settings.Calibration,
                                 &changed);
        dlg.SetFileOptions(static_cast<WORD>(Settings.FileIO.WaveFileMode), Settings.FileIO.MakeBackup != 0,
                           Settings.Paths.Tmp);
        dlg.SetUnsavedCounter([this] { return CountUnsavedNewFiles(); });
        dlg.SetFilesChangedHandler([this, &before] {
            bool closed = false;
            for (int c = 0; c < kChannels; ++c) {
                if (Settings.Files[c].File.get() == before[c].File)
                    continue;
                EditedWave[c] = nullptr;
                if (Settings.Files[c].File == nullptr) {
                    AttachWaveFileToPlots(c);
                    closed = true;
                }
            }
            // The windows behind the dialog show what came from the closed files: it goes now,
            // as the File menu's Close takes it, not when the dialog is done.
            if (closed)
                ReleaseAllChannelProcessing();
            ToolbarUpdateState();
        });
        dlg.DoModal();
    }
    // Files the dialog closed or replaced take their edit record with them.
    for (int c = 0; c < kChannels; ++c)
        if (Settings.Files[c].File.get() != before[c].File)
            EditedWave[c] = nullptr;
    if (Settings.OpMode == kRecorder || Settings.OpMode == kPostProcess) {
        // A file the dialog could not open it has reported already: its channel is cleared
        // as the reopen would clear it, without reporting it a second time.
        for (int c = 0; c < kChannels; ++c) {
            ChannelFileState& f = Settings.Files[c];
            if (f.File == nullptr && f.FilePath[0] != '\0' && !before[c].SameAs(f)) {
                f.Clear();
                f.IsActive = 0;
                EditedWave[c] = nullptr;
            }
        }
        ReopenAllWaveFiles();
    }
    if (changed) {
        for (int c = 0; c < kChannels; ++c) {
            if (!before[c].SameAs(Settings.Files[c]))
                ApplyChannelFile(c);
        }
        ReconfigureProcessing();
        UpdateTitle();
    }
    ToolbarUpdateState();
    StatusbarUpdate(2);
    ResetUtilityViews();
}

void CMainFrame::ReopenAllWaveFiles()
{
    if (Settings.OpMode == kRealTime)
        return;
    for (int c = 0; c < kChannels; ++c) {
        bool reported = false;
        if (ReopenChannelFile(c, &reported))
            continue;
        ChannelFileState& f = Settings.Files[c];
        // The file has said what is wrong with it already (a format not read, say).
        if (reported) {
            f.Clear();
            f.IsActive = 0;
            EditedWave[c] = nullptr;
            continue;
        }
        char text[600];
        std::snprintf(text, sizeof text,
                      "Failure opening wave file %s on channel %d.  Please check that the wave file path is valid "
                      "and is not write protected",
                      f.FilePath, c);
        AfxMessageBox(text, MB_OK | MB_ICONSTOP);
        f.Clear();
        f.IsActive = 0;
        EditedWave[c] = nullptr;
    }
}

bool CMainFrame::ReopenChannelFile(int channel, bool* reported)
{
    if (Settings.OpMode == kRealTime || channel < 0 || channel >= kChannels)
        return false;
    ChannelFileState& f = Settings.Files[channel];
    if (f.FilePath[0] == '\0') {
        OnChannelWindowsChanged(channel);
        return true;
    }
    bool created = false;
    if (f.File == nullptr) {
        f.File = std::make_unique<TWaveFile>(f.FilePath, static_cast<WORD>(Settings.FileIO.WaveFileMode),
                                             Settings.FileIO.MakeBackup != 0, Settings.Paths.Wav);
        created = true;
    }
    TSeriesPlot* plot = TimeSeriesPlot[channel];
    if (f.File->IsError()) {
        if (reported)
            *reported = f.File->ErrorReported();
        f.File.reset();
        f.IsActive = 0;
        f.FileChannel = 0;
        if (plot != nullptr) {
            plot->SetWaveFile(nullptr, 0);
            plot->SetFileChannel(f.FileChannel);
            Settings.TimeSeriesOpts[channel].TimeSeriesDataSource = 1;
            plot->RestoreView();
            plot->UpdateLayout();
        }
        return false;
    }
    Settings.Processing[channel].SampleFormat = f.File->GetFormat();
    if (created) {
        ChannelCalibration cal;
        f.File->GetChannelCalibration(cal, static_cast<int>(f.FileChannel));
        ComputeCalibrationFactors(cal);
        std::memcpy(static_cast<void*>(&Settings.Calibration[channel]), &cal, sizeof cal);
        ApplyCalibrationToFile(*f.File, cal);
    }
    if (plot != nullptr) {
        plot->SetWaveFile(f.File.get(), 0);
        plot->SetFileChannel(f.FileChannel);
        Settings.TimeSeriesOpts[channel].TimeSeriesDataSource = 0;
        plot->SetTimeRange(0.0f, kWholeFileSeconds);
        plot->UpdateLayout();
        SetChannelFileTime(channel, static_cast<float>(GetChannelFileTime(channel)));
    }
    OnChannelWindowsChanged(channel);
    return true;
}

void CMainFrame::ApplyChannelFile(int channel)
{
    InitChannelScaling(channel);
    SetupChannelProcessing(channel);
    AttachWaveFileToPlots(channel);
    ReleaseChannelProcessing(channel);
}

void CMainFrame::ReopenAndApplyAllWaveFiles()
{
    ReopenAllWaveFiles();
    for (int c = 0; c < kChannels; ++c)
        ApplyChannelFile(c);
    ReconfigureProcessing();
    ToolbarUpdateState();
}

void CMainFrame::ReattachChannelFile()
{
    for (int c = 0; c < kChannels; ++c) {
        AttachWaveFileToPlots(c);
        OnChannelWindowsChanged(c);
    }
}

void CMainFrame::AttachWaveFileToPlots(int channel)
{
    if (channel < 0 || channel >= kChannels)
        return;
    ChannelFileState& f = Settings.Files[channel];
    if (f.File == nullptr) {
        // The history windows' lines came from the file just closed: their times go with it.
        if (SpectrogramPlot[channel] != nullptr)
            SpectrogramPlot[channel]->ClearHistory();
        if (SurfacePlot[channel] != nullptr)
            SurfacePlot[channel]->ClearHistory();
    }
    TSeriesPlot* plot = TimeSeriesPlot[channel];
    if (plot != nullptr && f.File == nullptr) {
        plot->SetBuffer(SampleBuffer[channel], 0);
        plot->SetWaveFile(nullptr, 0);
        plot->SetFileChannel(f.FileChannel);
        Settings.TimeSeriesOpts[channel].TimeSeriesDataSource = 1;
        plot->RestoreView();
        plot->UpdateLayout();
    } else if (plot != nullptr) {
        ChannelCalibration cal;
        std::memcpy(static_cast<void*>(&cal), &Settings.Calibration[channel], sizeof cal);
        if (SampleBuffer[channel] != nullptr)
            SampleBuffer[channel]->SetScaling(&cal);
        ApplyCalibrationToFile(*f.File, cal);
        plot->SetBuffer(SampleBuffer[channel], 0);
        plot->SetWaveFile(f.File.get(), 0);
        plot->SetFileChannel(f.FileChannel);
        Settings.TimeSeriesOpts[channel].TimeSeriesDataSource = 0;
        plot->SetTimeRange(0.0f, kWholeFileSeconds);
        plot->UpdateLayout();
        SetChannelFileTime(channel, static_cast<float>(GetChannelFileTime(channel)));
    }
    OnChannelWindowsChanged(channel);
}

void CMainFrame::DropAllWaveFiles()
{
    for (int c = 0; c < kChannels; ++c) {
        const bool held = Settings.Files[c].File != nullptr;
        Settings.Files[c].Clear();
        // The time-series plot drew from the deleted file; it goes back to the channel's buffer.
        if (held)
            AttachWaveFileToPlots(c);
    }
    std::fill(std::begin(EditedWave), std::end(EditedWave), nullptr);
    // Nor may the tool window go on showing the deleted files' times.
    ToolbarUpdateState();
}

// Channels whose Real Time buffer holds samples not saved yet.
static std::vector<int> HeldRealTimeBuffers(const CMainFrame& frame)
{
    std::vector<int> held;
    for (int c = 0; c < CMainFrame::kChannels; ++c) {
        const TWaveFile* file = frame.Settings.Files[c].File.get();
        if (file != nullptr && file->IsUntitled() && file->GetEndFrame() > 0)
            held.push_back(c);
    }
    return held;
}

bool CMainFrame::KeepRealTimeBuffers()
{
    if (HeldRealTimeBuffers(*this).empty())
        return true;
    const int answer = AfxMessageBox("Data is still available in the Real-Time data buffers.\r"
                                     "Do you want to keep this data?\r\r"
                                     "Yes saves each channel's buffer in the wave folder as "
                                     "Ch_<channel>_<date>_<time>.wav; No discards it.",
                                     MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL)
        return false;
    if (answer != IDYES)
        return true;
    return SaveRealTimeBuffers(true);
}

bool CMainFrame::SaveRealTimeBuffers(bool closing)
{
    const std::vector<int> held = HeldRealTimeBuffers(*this);
    if (held.empty())
        return true;
    std::string saved;
    for (int c : held) {
        TWaveFile& file = *Settings.Files[c].File;
        const std::string name = RecordingFileName(c);
        file.SetFileName(name);
        const bool ok = file.GetMode() == TWaveFile::kMemory ? file.Save() : file.SaveStreamedAs();
        if (!ok) {
            // The buffer stays as it was, untitled and held, so that the next save takes it too.
            file.ForgetName();
            // A buffer on disk has said which file and why; one in memory has not.
            const std::string why =
                file.GetMode() == TWaveFile::kMemory
                    ? ": " + TWaveFile::WriteFailureCause(name, std::uint64_t(file.GetEndFrame()) *
                                                                    file.GetFormat().BlockAlign())
                    : "";
            AfxMessageBox("The Real-Time data buffer of channel " + std::to_string(c) + " could not be saved as " +
                              name + why + ".  It is kept unsaved" +
                              (closing ? " and the program stays open" : "") + "; save it again once the wave folder can take it." +
                              (saved.empty() ? "" : "\rThese buffers are saved:" + saved),
                          MB_OK | MB_ICONSTOP);
            return false;
        }
        saved += "\r" + name;
    }
    AfxMessageBox("The Real-Time data buffers are saved:" + saved, MB_OK | MB_ICONINFORMATION);
    return true;
}

bool CMainFrame::CloseAllWaveFiles()
{
    StopRunAndPlayback();
    if (Settings.OpMode == kRealTime) {
        // A run's buffers are the user's samples: they go only when the user says so.
        if (!KeepRealTimeBuffers())
            return false;
        DropAllWaveFiles();
        return true;
    }
    if (AskAboutUnsavedFiles() != IDNO)
        return false;
    DropAllWaveFiles();
    FileGroup.Clear();
    for (int c = 0; c < kChannels; ++c)
        ApplyChannelFile(c);
    UpdateTitle();
    return true;
}

void CMainFrame::StartWholeFileRun()
{
    if (Playing)
        StopPlayback();
    if (SkipNextEnterRun) {
        SkipNextEnterRun = 0;
        return;
    }
    if (PostProcessBusy) {
        // Clearing the flag ends the pass that is running.
        PostProcessBusy = false;
        return;
    }
    RunWholeFile = 1;
    StartPostProcess();
}
