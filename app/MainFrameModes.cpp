// The three modes, Run and Stop, and the per-channel set-up that builds each input channel's
// sample buffer, window table and spectrum engine and binds them to the channel's plots.
#include "app/CMainFrame.h"

#include "acquisition/TUsbDevice.h"
#include "records/CommonRoutines.h"
#include "records/ChannelCalibration.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Menu.h"
#include "plots/TPhasePlot.h"
#include "plots/TSeriesPlot.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "res/resource.h"
#include "siggen/CSigGen.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {
constexpr WORD kRealTime = 0;
constexpr WORD kRecorder = 1;
constexpr WORD kPostProcess = 2;
} // namespace

void CMainFrame::UpdateModeMenuChecks()
{
    CMenu* menu = GetMenu();
    if (menu == nullptr)
        return;
    const UINT ids[3] = {ID_MODE_REALTIME, ID_MODE_RECORDER, ID_MODE_POSTPROCESS};
    for (WORD mode = 0; mode < 3; ++mode)
        menu->CheckMenuItem(ids[mode], MF_BYCOMMAND | (mode == Settings.OpMode ? MF_CHECKED : MF_UNCHECKED));
}

void CMainFrame::OnModeRealTime()
{
    if (Settings.OpMode == kRealTime)
        return;
    if (AcquisitionRunning)
        OnStop();
    if (!CloseAllWaveFiles())
        return;
    Settings.OpMode = kRealTime;
    UpdateModeMenuChecks();
    ToolbarSetMode();
    StatusbarUpdate(2);

    SetupAllChannels();
    ReconfigureProcessing();
    ReleaseAllChannelProcessing();
    CloseDisabledChannelPlots();
    DisableCompositesOfDisabledChannels();
    ResetUtilityViews();
    UpdateTitle();
}

void CMainFrame::OnModeRecorder() { SetModeRecorder(true); }

void CMainFrame::OnModePostProcess() { SetModePostProcess(true); }

// Leaving Real Time: the circular real-time buffers may be kept for processing (rewound) or
// dropped. Returns true when they were dropped.
static bool LeaveRealTimeBuffers(CMainFrame& frame, bool ask)
{
    bool anyFile = false;
    for (const ChannelFileState& file : frame.Settings.Files)
        anyFile = anyFile || file.File != nullptr;
    if (!anyFile)
        return false;
    int answer = IDNO;
    if (ask)
        answer = AfxMessageBox("Data is still available in the Real-Time data buffers.\r"
                               "Do you want to keep this data for further Processing?",
                               MB_YESNO | MB_ICONQUESTION);
    if (answer == IDYES) {
        for (ChannelFileState& file : frame.Settings.Files)
            if (file.File != nullptr)
                file.File->Rewind();
        return false;
    }
    // The stored paths stay; only the files go, and the plots that drew them let go first.
    for (int ch = 0; ch < CMainFrame::kChannels; ++ch) {
        ChannelFileState& file = frame.Settings.Files[ch];
        if (file.File == nullptr)
            continue;
        file.File.reset();
        frame.EditedWave[ch] = nullptr;
        frame.AttachWaveFileToPlots(ch);
    }
    return true;
}

void CMainFrame::SetModeRecorder(bool ask)
{
    if (Settings.OpMode == kRecorder)
        return;
    if (AcquisitionRunning)
        OnStop();
    if (Settings.OpMode == kRealTime)
        LeaveRealTimeBuffers(*this, ask);
    Settings.OpMode = kRecorder;
    UpdateModeMenuChecks();
    ToolbarSetMode();
    StatusbarUpdate(2);
    UpdateTitle();
}

void CMainFrame::SetModePostProcess(bool ask)
{
    if (Settings.OpMode == kPostProcess)
        return;
    if (AcquisitionRunning)
        OnStop();
    if (Settings.OpMode == kRealTime && LeaveRealTimeBuffers(*this, ask))
        ReleaseAllChannelProcessing();
    Settings.OpMode = kPostProcess;
    UpdateModeMenuChecks();
    ToolbarSetMode();
    StatusbarUpdate(2);
    UpdateTitle();
}

void CMainFrame::OnRun()
{
    if (Settings.OpMode == kPostProcess)
        StartPostProcess();
    else
        StartDataAcquisition();
}

void CMainFrame::OnStop()
{
    if (Playing)
        StopPlayback();
    if (Settings.OpMode == kPostProcess)
        StopPostProcess();
    else
        StopDataAcquisition();
    if (SigGen != nullptr)
        SigGen->StopOutput();
}

void CMainFrame::SetupAllChannels()
{
    // Calibrations that fell back to Volts are named in one message, not one box a channel.
    std::string lost;
    for (int ch = 0; ch < kChannels; ++ch) {
        const ChannelCalibration& c = Settings.Calibration[ch];
        const std::string file(c.Filename, strnlen(c.Filename, sizeof c.Filename));
        std::string reason;
        if (!InitChannelScaling(ch, &reason))
            lost += "\r" + std::string(c.ChannelName, strnlen(c.ChannelName, sizeof c.ChannelName)) + ": " +
                    CalibrationFilePath(Settings.Paths.cal, file.c_str()) + " " + reason;
        SetupChannelProcessing(ch);
    }
    if (!lost.empty())
        AfxMessageBox("These calibration files could not be read, so their channels' calibrations are reset to Volts:" +
                          lost,
                      MB_OK | MB_ICONEXCLAMATION);
}

bool CMainFrame::InitChannelScaling(int channel, std::string* reason)
{
    if (channel < 0 || channel >= kChannels || Settings.Files[channel].File != nullptr)
        return true;
    ChannelCalibration& record = Settings.Calibration[channel];
    // A calibration made directly (mode 0) is its own source; the others come from their file.
    // One that names no file (taken from a wave file's own chunk) is its own source too: the
    // record holds every number of it.
    if (record.CalCreateMode == 0 || record.Filename[0] == '\0')
        return true;
    ChannelCalibration loaded = record;
    if (ReadCalibrationFile(record.Filename, &loaded, false, Settings.Paths.cal, reason)) {
        // Whether the calibration is in use is the channel's choice, which the file does not hold.
        loaded.IsEnabled = record.IsEnabled;
        record = loaded;
        return true;
    }
    // The channel keeps its name and its choice of using a calibration: they are the user's,
    // not the calibration's.
    char name[sizeof record.ChannelName];
    std::memcpy(name, record.ChannelName, sizeof name);
    const DWORD enabled = record.IsEnabled;
    record.SetDefaults(channel);
    std::memcpy(record.ChannelName, name, sizeof name);
    record.IsEnabled = enabled;
    return false;
}

void CMainFrame::SetupChannelProcessing(int channel)
{
    if (channel < 0 || channel >= kChannels)
        return;
    DeleteChannelObjects(channel);

    const ChannelScalingSettings& scaling = Settings.Scaling[channel];
    ChannelCalibration& calibration = Settings.Calibration[channel];
    TWaveFile* file = Settings.Files[channel].File.get();
    const bool postProcess = Settings.OpMode == kPostProcess;

    if (postProcess || Settings.Device.Channels[channel].bIsEnabled == 1) {
        Channel(channel).Rebuild();

        char label[40];
        std::snprintf(label, sizeof label, "Channel %d", channel);
        if (!postProcess) {
            if (calibration.IsEnabled == 0) {
                if (Spectral[channel] != nullptr)
                    Spectral[channel]->SetUnitsLabel(label);
            } else {
                if (Settings.OpMode == kRealTime)
                    calibration.DTGain = static_cast<float>(Settings.Device.Channels[channel].Gain);
                ComputeCalibrationFactors(calibration);
                if (SampleBuffer[channel] != nullptr)
                    SampleBuffer[channel]->SetScaling(&calibration);
                if (Spectral[channel] != nullptr) {
                    Spectral[channel]->SetScaling(&calibration);
                    Spectral[channel]->SetUnitsLabel(calibration.ChannelName);
                }
            }
        } else if (calibration.IsEnabled == 0) {
            if (file != nullptr)
                file->ClearCalibration();
            if (Spectral[channel] != nullptr)
                Spectral[channel]->SetUnitsLabel(label);
        } else {
            if (file != nullptr) {
                // Only the channel records are handed over: the file's calibration name stays,
                // and re-applying a channel's settings is no edit of its file.
                WaveCalibrationBlock block;
                block.Channel[0] = calibration;
                block.Channel[1] = calibration;
                file->TWaveData::SetCalibration(block);
            }
            if (SampleBuffer[channel] != nullptr)
                SampleBuffer[channel]->SetScaling(&calibration);
            if (Spectral[channel] != nullptr) {
                Spectral[channel]->SetScaling(&calibration);
                Spectral[channel]->SetUnitsLabel(calibration.ChannelName);
            }
        }
    }

    // Every plot gets the new objects before any is laid out: a layout may repaint the other
    // windows, which must not draw from the objects just deleted.
    if (TimeSeriesPlot[channel] != nullptr) {
        TimeSeriesPlot[channel]->SetBuffer(SampleBuffer[channel], 0);
        TimeSeriesPlot[channel]->SetWaveFile(file, 0);
        TimeSeriesPlot[channel]->SetFileChannel(Settings.Files[channel].FileChannel);
    }
    if (SpectrumPlot[channel] != nullptr)
        SpectrumPlot[channel]->SetData(Spectral[channel], nullptr);
    if (PhasePlot[channel] != nullptr)
        PhasePlot[channel]->SetData(Spectral[channel], nullptr);
    if (SpectrogramPlot[channel] != nullptr) {
        SpectrogramPlot[channel]->SetData(Spectral[channel], nullptr);
        SpectrogramPlot[channel]->SetScalingSettings(scaling);
    }
    if (SurfacePlot[channel] != nullptr) {
        SurfacePlot[channel]->SetData(Spectral[channel], nullptr);
        SurfacePlot[channel]->SetScalingSettings(scaling);
    }
    if (TimeSeriesPlot[channel] != nullptr)
        TimeSeriesPlot[channel]->UpdateLayout();
    if (SpectrumPlot[channel] != nullptr)
        SpectrumPlot[channel]->UpdateLayout();
    if (PhasePlot[channel] != nullptr)
        PhasePlot[channel]->UpdateLayout();
    if (SpectrogramPlot[channel] != nullptr) {
        SpectrogramPlot[channel]->UpdateLayout();
        SpectrogramPlot[channel]->ClearHistory();
    }
    if (SurfacePlot[channel] != nullptr) {
        SurfacePlot[channel]->UpdateLayout();
        SurfacePlot[channel]->ClearHistory();
    }
}

void CMainFrame::ApplyChannelAveraging(int channel)
{
    if (channel < 0 || channel >= kChannels || Spectral[channel] == nullptr)
        return;
    Spectral[channel]->SetAveraging(Settings.Processing[channel].AverageSpeed,
                                    Settings.Processing[channel].AverageBlocks);
    UpdateChannelPlots();
}

void CMainFrame::ResetAllSpectralAverages()
{
    for (int ch = 0; ch < kChannels; ++ch)
        ResetChannelSpectralAverages(ch);
}

void CMainFrame::ResetChannelSpectralAverages(int channel)
{
    if (channel >= 0 && channel < kChannels && Spectral[channel] != nullptr)
        Spectral[channel]->ResetAverages();
}

int CMainFrame::CountEnabledChannels() const
{
    int count = 0;
    for (const UsbChannelSettings& channel : Settings.Device.Channels)
        count += channel.bIsEnabled == 1 ? 1 : 0;
    return count;
}

DWORD CMainFrame::MaxChannelBlock() const
{
    DWORD largest = 32;
    for (int ch = 0; ch < kChannels; ++ch)
        if (Settings.Device.Channels[ch].bIsEnabled == 1)
            largest = std::max(largest, ChannelBlockLength(ch));
    return largest;
}

DWORD CMainFrame::MinChannelBlock() const
{
    DWORD smallest = 1048576;
    for (int ch = 0; ch < kChannels; ++ch)
        if (Settings.Device.Channels[ch].bIsEnabled == 1)
            smallest = std::min(smallest, ChannelBlockLength(ch));
    return smallest;
}
