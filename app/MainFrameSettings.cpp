// The processing-settings sheet: the one editor of the channels' processing, scaling,
// calibration, device, trigger, run-control and output records outside configuration loading,
// and the rebuild after it.
#include "app/CMainFrame.h"
#include "app/CStatusbar.h"
#include "app/CToolbar.h"

#include "acquisition/TUsbDevice.h"
#include "dialogs/COptionsMain.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/LongOperation.h"
#include "siggen/CSigGen.h"
#include "wave/TWaveFile.h"
#include "wave/WaveCalibrationBlock.h"

#include <cstring>
#include <memory>

namespace {
template <typename T>
bool SameBytes(const T& a, const T& b)
{
    return std::memcmp(static_cast<const void*>(&a), static_cast<const void*>(&b), sizeof(T)) == 0;
}

// Whether channel ch feeds composite c.
bool IsCompositeSource(const CompositeChannelSettings& c, int ch)
{
    if (c.CompositeType == 0 || c.CompositeType == 5)
        return c.IncludeInAverage[ch] != 0;
    return c.ReferenceChannel == static_cast<DWORD>(ch) || c.TransferChannel == static_cast<DWORD>(ch);
}
} // namespace

void CMainFrame::OnProcessingSettings() { ShowProcessingSettings(-1); }

CalibrationContext CMainFrame::MakeCalibrationContext() const
{
    CalibrationContext context;
    context.CalibrationFolder = Settings.Paths.cal;
    context.WaveFolder = Settings.Paths.Wav;
    context.InputDevice = InputDevice.get();
    context.Generator = SigGen.get();
    return context;
}

void CMainFrame::ShowProcessingSettings(int pageCode)
{
    if (AcquisitionRunning || PostProcessBusy)
        OnStop();
    if (Playing)
        StopPlayback();
    if (AfxMessageBox("Changing the Processing Settings is for advanced users only.  Are you sure you want to continue?",
                      MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    CWaitCursor wait;
    if (OutputDevice != nullptr)
        OutputDevice->CloseDevice();

    // Working copies: nothing of the frame changes while the sheet is open.
    auto work = std::make_unique<FrameSettings>();
    FrameSettings& w = *work;
    for (int ch = 0; ch < kChannels; ++ch) {
        w.Processing[ch] = Settings.Processing[ch];
        w.Scaling[ch] = Settings.Scaling[ch];
        w.Calibration[ch] = Settings.Calibration[ch];
    }
    w.Device = Settings.Device;
    w.Trigger = Settings.Trigger;
    w.RunControl = Settings.RunControl;
    w.DTInputDeviceIndex = Settings.DTInputDeviceIndex;
    w.DTOutputDeviceIndex = Settings.DTOutputDeviceIndex;
    w.SoundCardDeviceIndex = Settings.SoundCardDeviceIndex;
    w.UseSoundCardForOutput = Settings.UseSoundCardForOutput;
    w.Output = Settings.Output;

    {
        auto sheet = std::make_unique<COptionsMain>(
            "Processing Settings", this, Settings.OpMode, w.Processing, w.Scaling, &w.Device, w.Calibration, &w.Trigger,
            &w.RunControl, &w.DTInputDeviceIndex, &w.DTOutputDeviceIndex, &w.SoundCardDeviceIndex,
            &w.UseSoundCardForOutput, &w.Output, pageCode);
        sheet->m_InputPage.m_InputDevice = InputDevice.get();
        sheet->m_OutputPage.m_Device = OutputDevice.get();
        sheet->m_ScalingPage.m_CompensationFolder = Settings.Paths.mic;
        sheet->m_CalibrationPage.m_Context = MakeCalibrationContext();
        for (int ch = 0; ch < kChannels; ++ch)
            sheet->m_CalibrationPage.m_HasWaveFile[ch] = Settings.Files[ch].File != nullptr ? 1 : 0;
        if (sheet->DoModal() != IDOK)
            return;
    }

    // A changed calibration goes into the channel's wave file when the file carried one.
    for (int ch = 0; ch < kChannels; ++ch) {
        TWaveFile* file = Settings.Files[ch].File.get();
        if (file == nullptr || SameBytes(w.Calibration[ch], Settings.Calibration[ch]))
            continue;
        if (Settings.Calibration[ch].IsEnabled == 0 || Settings.FileIO.IncludeCalibrationData == 0)
            continue;
        WaveCalibrationBlock block;
        file->GetCalibrationBlock(block);
        block.Channel[0] = w.Calibration[ch];
        block.Channel[1] = w.Calibration[ch];
        file->TWaveData::SetCalibration(block);
        file->SetCalibration(block);
    }

    bool warnComposites = false;
    for (int ch = 0; ch < kChannels && !warnComposites; ++ch) {
        if (w.Device.Channels[ch].bIsEnabled == 0)
            continue;
        const ChannelCalibration& before = Settings.Calibration[ch];
        const ChannelCalibration& after = w.Calibration[ch];
        if (before.RefUnits == after.RefUnits && before.ConversionType == after.ConversionType)
            continue;
        for (int c = 0; c < kComposites; ++c)
            if (Settings.Composite[c].bIsEnabled == 1 && IsCompositeSource(Settings.Composite[c], ch)) {
                warnComposites = true;
                break;
            }
    }
    if (warnComposites)
        AfxMessageBox("You have changed the calibration of one or more source channels for a composite channel.  This "
                      "may require updating the composite channel's amplitude axis labels.  Click the <Plots><Select "
                      "Composite Channel Plots> menu to correct this.",
                      MB_OK | MB_ICONINFORMATION);

    for (int ch = 0; ch < kChannels; ++ch)
        Settings.Processing[ch] = w.Processing[ch];
    for (int ch = 0; ch < kChannels; ++ch)
        Settings.Scaling[ch] = w.Scaling[ch];
    Settings.Device = w.Device;
    for (int ch = 0; ch < kChannels; ++ch)
        Settings.Calibration[ch] = w.Calibration[ch];
    Settings.Trigger = w.Trigger;
    Settings.RunControl = w.RunControl;

    // The generator rebuilds for a changed output.
    const bool outputChanged = w.UseSoundCardForOutput != Settings.UseSoundCardForOutput ||
                               w.SoundCardDeviceIndex != Settings.SoundCardDeviceIndex ||
                               w.DTOutputDeviceIndex != Settings.DTOutputDeviceIndex ||
                               !SameBytes(w.Output, Settings.Output);
    Settings.DTInputDeviceIndex = w.DTInputDeviceIndex;
    Settings.DTOutputDeviceIndex = w.DTOutputDeviceIndex;
    Settings.SoundCardDeviceIndex = w.SoundCardDeviceIndex;
    Settings.UseSoundCardForOutput = w.UseSoundCardForOutput;
    Settings.Output = w.Output;

    CloseDisabledChannelPlots();
    DisableCompositesOfDisabledChannels();
    ReattachChannelFile();
    SetupAllChannels();
    ReconfigureProcessing();
    ResetUtilityViews();
    ToolbarFillAveraging();
    StatusbarUpdate(2);
    if (outputChanged && SigGen != nullptr)
        SigGen->Refresh();
}
