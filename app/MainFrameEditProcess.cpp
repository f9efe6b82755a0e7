// The Edit commands that process the selected samples (gain, DC offset, dynamic DC offset,
// FIR filter) and File > Import and File > Export.
#include "app/CMainFrame.h"

#include "app/CDynamicDCOffsetDlg.h"
#include "app/CEnterDCOffsetDlg.h"
#include "app/CEnterGainAdjustDlg.h"
#include "app/CFileExportDlg.h"
#include "app/CFileExportProcessDlg.h"
#include "app/CFileImportDlg.h"
#include "app/CFileImportProcessDlg.h"
#include "app/CFilterDialog.h"
#include "records/CommonRoutines.h"
#include "dsp/FilterSegment.h"
#include "dsp/FilterSettings.h"
#include "dsp/SegmentProgress.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/LongOperation.h"
#include "plots/TPlotBase.h"
#include "wave/GainOffset.h"
#include "wave/TWaveFile.h"

#include <cstdio>
#include <cstring>

namespace {

bool IsSegmentKind(int kind) { return kind == 1 || kind == 4 || kind == 5; }

// The Edit/Filter parameters, kept from one filtering to the next while the program runs
// (never written to a configuration file).
FilterSettings& FilterRecord()
{
    static FilterSettings settings;
    return settings;
}

// Import and export options and the folders their file dialogs remember, for the life of
// the process.
ImportSettings& ImportRecord()
{
    static ImportSettings settings;
    return settings;
}
ExportSettings& ExportRecord()
{
    static ExportSettings settings;
    return settings;
}
char g_lastImportFolder[260] = {};
char g_lastExportFolder[260] = {};

enum class SampleEdit { Gain, DcOffset, DynamicDcOffset };

} // namespace

namespace {

// The common road of the three sample edits: target, selection, dialog, processing with the
// caption, progress and Esc, and the refresh of the channel's plots.
void RunSampleEdit(CMainFrame& frame, SampleEdit which)
{
    int kind = 0, channel = 0;
    if (!frame.GetEditTarget(&kind, &channel) || !IsSegmentKind(kind))
        return;
    TWaveFile* file = frame.Settings.Files[channel].File.get();
    const TPcmFormat format = file->GetFormat();
    float start = 0.0f, end = 0.0f;
    frame.GetPlot(kind, channel, false)->GetSelectedSegment(start, end);

    GainOffsetValues& values = RememberedGainOffsetValues();
    ChannelCalibration calibration;
    std::memcpy(static_cast<void*>(&calibration), &frame.Settings.Calibration[channel], sizeof calibration);
    INT_PTR answer = IDCANCEL;
    switch (which) {
    case SampleEdit::Gain: {
        CEnterGainAdjustDlg dlg(&frame, &values.Gain);
        answer = dlg.DoModal();
        break;
    }
    case SampleEdit::DcOffset: {
        CEnterDCOffsetDlg dlg(&frame, calibration, format, &values.Offset);
        answer = dlg.DoModal();
        break;
    }
    case SampleEdit::DynamicDcOffset: {
        CDynamicDCOffsetDlg dlg(&frame, &values.Cutoff, &values.Interval);
        answer = dlg.DoModal();
        break;
    }
    }
    if (answer != IDOK)
        return;
    const DWORD first = file->SecondsToFrames(start);
    const DWORD last = file->SecondsToFrames(end);
    if (last <= first)
        return;
    // What plays or runs from the file stops before its samples change.
    frame.StopRunAndPlayback();

    static constexpr const char* kCaptions[] = {"Adjusting Signal Gain... press <Esc> to cancel.",
                                                "Adjusting DC Offset... press <Esc> to cancel.",
                                                "Applying Dynamic DC offset... press <Esc> to cancel."};
    CWaitCursor wait;
    frame.BeginLongOperation(kCaptions[static_cast<int>(which)]);
    const SegmentProgress hooks = frame.LongOperationHooks();
    // Only Esc stops these edits; a click does not.
    const SampleEditProgress progress = [&frame, &hooks](int percent) {
        hooks.Report(percent);
        return AfxCheckCancel(&frame) != CancelRequest::Escape;
    };
    const int slot = static_cast<int>(frame.Settings.Files[channel].FileChannel);
    SampleEditResult result = SampleEditResult::Unchanged;
    switch (which) {
    case SampleEdit::Gain:
        result = ApplyGain(*file, first, last, slot, values.Gain, progress);
        break;
    case SampleEdit::DcOffset:
        result = ApplyDcOffset(*file, first, last, slot, values.Offset, calibration, progress);
        break;
    case SampleEdit::DynamicDcOffset:
        result = ApplyDynamicDcOffset(*file, first, last, slot, values.Cutoff, values.Interval, progress);
        break;
    }
    frame.EndLongOperation();
    wait.Restore();
    if (result == SampleEditResult::Done) {
        frame.NoteSampleEdit(channel);
        frame.RefreshChannelPlotsAfterEdit(channel);
    }
}

} // namespace

void CMainFrame::OnEditGainAdjust() { RunSampleEdit(*this, SampleEdit::Gain); }

void CMainFrame::OnEditDCOffset() { RunSampleEdit(*this, SampleEdit::DcOffset); }

void CMainFrame::OnEditDynamicDCOffset() { RunSampleEdit(*this, SampleEdit::DynamicDcOffset); }

void CMainFrame::OnEditFilter()
{
    int kind = 0, channel = 0;
    if (!GetEditTarget(&kind, &channel) || !IsSegmentKind(kind))
        return;
    TWaveFile* file = Settings.Files[channel].File.get();
    const TPcmFormat format = file->GetFormat();
    float start = 0.0f, end = 0.0f;
    GetPlot(kind, channel, false)->GetSelectedSegment(start, end);
    // A segment the plot refused (it crosses a sweeping spectrogram's write position) is not
    // edited.
    if (end < start)
        return;
    // A filtering rewrites the file as the other edits do, so what plays or runs from it stops.
    StopRunAndPlayback();
    {
        CFilterDialog dlg(this, format.SampleRate, &FilterRecord());
        dlg.SetFilterFolder(Settings.WorkingPaths.filter);
        if (dlg.DoModal() != IDOK)
            return;
    }
    const auto first = static_cast<std::int32_t>(file->SecondsToFrames(start));
    const auto last = static_cast<std::int32_t>(file->SecondsToFrames(end));
    if (!FilterWaveSegment(file, first, last))
        return;
    NoteSampleEdit(channel);
    RefreshChannelPlotsAfterEdit(channel);
}

bool CMainFrame::FilterWaveSegment(TWaveFile* wave, std::int32_t startFrame, std::int32_t endFrame)
{
    if (wave == nullptr)
        return false;
    CWaitCursor wait;
    BeginLongOperation("Filtering in progress... press <Esc> to cancel.");
    const bool done = ::FilterWaveSegment(wave, startFrame, endFrame, FilterRecord(), LongOperationHooks());
    EndLongOperation();
    return done;
}

void CMainFrame::OnFileImport()
{
    if (AcquisitionRunning)
        OnStop();
    ImportSettings& settings = ImportRecord();
    {
        CFileImportDlg dlg(this, &settings);
        if (dlg.DoModal() != IDOK)
            return;
    }
    constexpr DWORD kFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
    // The lists carry a description and list every file.
    CFileDialog source(TRUE, nullptr, "*.*", kFlags | OFN_FILEMUSTEXIST, "All files (*.*)|*||", this);
    source.m_ofn.lpstrTitle = "Select File to Import from";
    source.m_ofn.lpstrInitialDir = g_lastImportFolder;
    if (source.DoModal() != IDOK)
        return;
    const std::string sourcePath = source.GetPathName();
    GetFolderOfPath(sourcePath.c_str(), g_lastImportFolder);

    CFileDialog destination(FALSE, "wav", "*.wav", kFlags | OFN_OVERWRITEPROMPT, "Wave Files (*.wav)|*.wav||", this);
    destination.m_ofn.lpstrTitle = "Save Wave File";
    destination.m_ofn.lpstrInitialDir = Settings.WorkingPaths.Wav;
    if (destination.DoModal() != IDOK)
        return;
    const std::string destinationPath = destination.GetPathName();
    GetFolderOfPath(destinationPath.c_str(), Settings.WorkingPaths.Wav);

    CFileImportProcessDlg progress(this, sourcePath, destinationPath, settings, Settings.WorkingPaths.Tmp);
    if (progress.DoModal() == IDOK) {
        char text[600];
        std::snprintf(text, sizeof text, "Data Imported successfully to %s", destinationPath.c_str());
        AfxMessageBox(text, MB_OK);
    }
}

void CMainFrame::OnFileExport()
{
    if (AcquisitionRunning)
        OnStop();
    if (CountOpenWaveFiles() == 0) {
        AfxMessageBox("At least one wave file must be open in order to export it's contents.", MB_OK);
        return;
    }
    ExportSettings& settings = ExportRecord();
    int kind = 0, channel = -1, composite = 0;
    if (GetActivePlot(&kind, &channel, &composite) && kind >= 1 && composite == 0 && channel >= 0 &&
        channel < kChannels)
        settings.Channel = static_cast<WORD>(channel);
    {
        CFileExportDlg dlg(this, &settings, Settings.Files);
        if (dlg.DoModal() != IDOK)
            return;
    }
    TWaveFile* wave = settings.Channel < kChannels ? Settings.Files[settings.Channel].File.get() : nullptr;
    if (wave == nullptr)
        return;
    // A save dialog whose file must already exist could never make a new export file, so
    // that option is left out.
    CFileDialog output(FALSE, nullptr, "*.*",
                       OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING | OFN_OVERWRITEPROMPT,
                       settings.IsText() ? "File Export (*.txt); All Files (*.*)|*||" : "File Export (*.*)|*||", this);
    output.m_ofn.lpstrTitle = "Select Export Data File";
    output.m_ofn.lpstrInitialDir = g_lastExportFolder;
    if (output.DoModal() != IDOK)
        return;
    const std::string outputPath = output.GetPathName();
    GetFolderOfPath(outputPath.c_str(), g_lastExportFolder);
    CFileExportProcessDlg progress(this, wave, outputPath, settings);
    progress.DoModal();
}
