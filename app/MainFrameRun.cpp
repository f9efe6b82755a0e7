// Runs: the start and stop of a device run, the processing timer and the composite channels'
// engines.
//
// A Real Time run reads the device (a KDR-5200 or the built-in simulator): every processing
// tick turns the newest block of each enabled channel into its spectrum and tells the plots.
// A Recorder run also appends the rings to the channels' recording files. The real-time buffer
// files, live triggering and data logging are not built yet.
#include "app/CMainFrame.h"

#include "acquisition/TUsbDevice.h"
#include "records/CommonRoutines.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"
#include "platform/core/SysTime.h"
#include "platform/ui/LongOperation.h"
#include "plots/TPhasePlot.h"
#include "siggen/CSigGen.h"
#include "plots/TSeriesPlot.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <cstdio>
#include <new>
#include <vector>

namespace {
constexpr UINT_PTR kTimerProcess = 101;
constexpr WORD kPostProcess = 2;
constexpr const char* kDeviceNotFound =
    "A Durnex KDR-5200 device was not found on your system.  Please make sure that the drivers are installed and "
    "the device is plugged into a USB port.";

bool IsSumType(WORD type) { return type == 0 || type == 5; }
} // namespace

// ---- Device runs ----------------------------------------------------------------------

BOOL CMainFrame::StartDataAcquisition()
{
    if (Settings.OpMode == kPostProcess || AcquisitionRunning)
        return FALSE;
    FftsProcessed = 0;
    if (Settings.OpMode == 1)
        for (int ch = 0; ch < 7; ++ch) {
            Settings.Device.Channels[ch].bIsEnabled = 1;
            Settings.Files[ch].IsActive = 1;
        }
    if (!CheckFolderExists(Settings.Paths.Tmp))
        return FALSE;
    if (!ValidateCompositeChannels(true))
        return FALSE;
    if (CountEnabledChannels() == 0) {
        AfxMessageBox("Please enable one or more device channels", MB_OK | MB_ICONSTOP);
        return FALSE;
    }
    if (Settings.DTInputDeviceIndex < 0 || InputDevice == nullptr ||
        !InputDevice->OpenDevice(this, Settings.DTInputDeviceIndex, 1)) {
        AfxMessageBox(kDeviceNotFound, MB_OK | MB_ICONSTOP);
        return FALSE;
    }
    if (!InputDevice->SetDeviceConfigurationAD(Settings.Device, int(MaxChannelBlock()), Settings.Trigger.TriggerEnabled != 0,
                                               int(Settings.Trigger.TriggerSource))) {
        AfxMessageBox("Unable to open the device.  It may already be in use by another program", MB_OK | MB_ICONSTOP);
        InputDevice->CloseDevice();
        return FALSE;
    }
    const WORD bytes = WORD(Settings.Device.BitsPerSample / 8);
    for (int ch = 0; ch < kChannels; ++ch)
        Settings.Processing[ch].SampleFormat.Set(Settings.Device.SamplingRate, 1, bytes);
    if (Settings.OpMode == 1 && !PrepareRecordingFiles()) {
        InputDevice->CloseDevice();
        return FALSE;
    }
    for (int ch = 0; ch < kChannels; ++ch)
        if (TimeSeriesPlot[ch] != nullptr) {
            Settings.TimeSeriesOpts[ch].TimeSeriesDataSource = 1;
            TimeSeriesPlot[ch]->SaveView();
            TimeSeriesPlot[ch]->UpdateLayout();
        }
    SetupAllChannels();
    ReconfigureProcessing();
    ReleaseAllChannelProcessing();
    ToolbarUpdateState();
    FftsProcessed = 0;
    RunStartTime = -1.0f;
    RunStartTick = 0;
    BeginUtilityRun();
    if (!InputDevice->StartInput()) {
        CloseLogFiles();
        InputDevice->CloseDevice();
        if (SigGen != nullptr)
            SigGen->StopOutput();
        return FALSE;
    }
    AcquisitionRunning = true;
    SetTimer(kTimerProcess, 10, nullptr);
    if (Settings.OpMode == 1)
        SetTimer(102, 40, nullptr);
    ToolbarUpdateRunButtons();
    StatusbarUpdate(2);
    UnhighlightAllPlots();
    return TRUE;
}

void CMainFrame::StopDataAcquisition()
{
    if (Settings.OpMode == kPostProcess || !AcquisitionRunning)
        return;
    CWaitCursor wait;
    KillTimer(kTimerProcess);
    KillTimer(102);
    if (InputDevice != nullptr)
        InputDevice->StopInput();
    AcquisitionRunning = false;
    EndUtilityRun();
    ToolbarUpdateRunButtons();
    StatusbarUpdate(2);
    HighlightAllPlots();
    for (int ch = 0; ch < kChannels; ++ch) {
        if (TSeriesPlot* plot = TimeSeriesPlot[ch]) {
            plot->RestoreView();
            plot->UpdateLayout();
        }
        if (SpectrogramPlot[ch] != nullptr)
            SpectrogramPlot[ch]->UpdateTimeStrings();
        if (SurfacePlot[ch] != nullptr)
            SurfacePlot[ch]->UpdateTimeStrings();
    }
    for (int c = 0; c < kComposites; ++c) {
        if (CompositeSpectrogramPlot[c] != nullptr)
            CompositeSpectrogramPlot[c]->UpdateTimeStrings();
        if (CompositeSurfacePlot[c] != nullptr)
            CompositeSurfacePlot[c]->UpdateTimeStrings();
    }
}

DWORD CMainFrame::ProcessIntervalMs = 0;

void CMainFrame::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == 102) {
        if (Settings.OpMode == 1 && AcquisitionRunning)
            WriteRecordingBlock();
        return;
    }
    if (nIDEvent != kTimerProcess)
        return;
    if (Settings.OpMode == kPostProcess) {
        PostProcessStep();
        return;
    }
    KillTimer(kTimerProcess);
    const int processed = AcquireAndProcessBlock();
    // Speeds up to 10 ms while blocks are ready and backs off to 100 ms while they are not.
    const long next = long(ProcessIntervalMs) + (processed ? -10 : 10);
    ProcessIntervalMs = DWORD(next < 10 ? 10 : next > 100 ? 100 : next);
    if (AcquisitionRunning)
        SetTimer(kTimerProcess, ProcessIntervalMs, nullptr);
}

int CMainFrame::AcquireAndProcessBlock()
{
    if (!AcquisitionRunning || InputDevice == nullptr)
        return 0;
    const ULONGLONG nowTick = GetTickCount64();
    if (RunStartTick == 0)
        RunStartTick = nowTick;
    const RunControlSettings& run = Settings.RunControl;
    if (run.RunMode == 1 && FftsProcessed >= 0 && DWORD(FftsProcessed) >= run.FftLimit) {
        StopDataAcquisition();
        return 0;
    }
    double elapsed = double(nowTick - RunStartTick) / 1000.0;
    if (run.StartDelayFlag == 1) {
        if (elapsed < double(run.StartDelaySecs)) {
            StatusbarUpdate(1);
            return 0;
        }
        elapsed -= double(run.StartDelaySecs);
    }
    if (run.RunMode == 2 && elapsed >= double(run.TimeLimitSecs) && FftsProcessed > 0) {
        StopDataAcquisition();
        return 0;
    }
    std::vector<int> block;
    try {
        block.resize(MaxChannelBlock());
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const DWORD nowMs = TUsbDevice::Now();
    const float now = GetSecondsOfDay();
    bool processed = false;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (Settings.Device.Channels[ch].bIsEnabled != 1)
            continue;
        const ChannelProcessingSettings& p = Settings.Processing[ch];
        const DWORD length = DWORD(p.DecimationRatio) * p.FFTsize;
        TSampleBuffer* buffer = SampleBuffer[ch];
        SpectralData* engine = Spectral[ch];
        if (length > block.size() || !InputDevice->ReadRingBlock(ch, int(length), block.data(), nowMs))
            continue;
        if (buffer == nullptr || engine == nullptr || Smoothing[ch] == nullptr || buffer->GetCount() < length)
            continue;
        for (DWORD i = 0; i < length; ++i)
            buffer->SetSample(i, block[i]);
        buffer->CompactChannels();
        for (UINT i = 0; i < p.FFTsize; ++i)
            engine->SetTimeSample(i, static_cast<float>(buffer->GetSample(i, false)));
        Smoothing[ch]->Apply(engine->GetFrame());
        engine->ComputeSpectrum();
        engine->UpdateTimeAverage(now);
        engine->Average(false);
        engine->UpdatePeakHold();
        processed = true;
        if (TimeSeriesPlot[ch] != nullptr)
            TimeSeriesPlot[ch]->UpdateFrame(now);
        if (SpectrumPlot[ch] != nullptr)
            SpectrumPlot[ch]->UpdateFrame(now);
        if (PhasePlot[ch] != nullptr)
            PhasePlot[ch]->UpdateFrame(now);
        if (SpectrogramPlot[ch] != nullptr)
            SpectrogramPlot[ch]->AddSpectrum(now);
        if (SurfacePlot[ch] != nullptr)
            SurfacePlot[ch]->AddSpectrum(now);
        WriteLogRows(ch, now);
    }
    if (processed) {
        ++FftsProcessed;
        ProcessCompositeAndPlots();
    }
    int result = processed ? 1 : 0;
    if (FftsProcessed == 0) {
        result = 0;
        RunStartTick = 0;
    }
    StatusbarUpdate(1);
    StatusbarUpdate(3);
    UpdateUtilityViews();
    return result;
}

void CMainFrame::UpdateChannelPlots()
{
    for (int ch = 0; ch < kChannels; ++ch)
        if (SpectrumPlot[ch] != nullptr)
            SpectrumPlot[ch]->UpdateLayout();
}

// ---- Composite channels ---------------------------------------------------------------

bool CMainFrame::IsChannelInComposite(int channel, int composite) const
{
    if (channel < 0 || channel >= kChannels || composite < 0 || composite >= kComposites)
        return false;
    const CompositeChannelSettings& k = Settings.Composite[composite];
    if (k.bIsEnabled == 0 || k.CompositeType > 5)
        return false;
    if (IsSumType(k.CompositeType))
        return k.IncludeInAverage[channel] == 1;
    return k.ReferenceChannel == DWORD(channel) || k.TransferChannel == DWORD(channel);
}

int CMainFrame::GetCompositeSource(int composite) const
{
    if (composite < 0 || composite >= kComposites)
        return -1;
    const CompositeChannelSettings& k = Settings.Composite[composite];
    if (!IsSumType(k.CompositeType))
        return k.TransferChannel < DWORD(kChannels) ? int(k.TransferChannel) : -1;
    for (int ch = 0; ch < kChannels; ++ch)
        if (k.IncludeInAverage[ch] == 1)
            return ch;
    return -1;
}

bool CMainFrame::ValidateCompositeChannels(int checkFilePositions)
{
    const bool post = Settings.OpMode == kPostProcess;
    auto fail = [](int k, const char* text) {
        char message[300];
        std::snprintf(message, sizeof message, text, GetChannelLetter(k));
        AfxMessageBox(message, MB_OK | MB_ICONSTOP);
        return false;
    };
    auto position = [this](int ch) -> long long {
        const TWaveFile* f = Settings.Files[ch].File;
        return f != nullptr ? (long long)f->GetPosition() : -1;
    };
    for (int k = 0; k < kComposites; ++k) {
        const CompositeChannelSettings& c = Settings.Composite[k];
        if (c.bIsEnabled == 0)
            continue;
        if (!IsSumType(c.CompositeType)) {
            const int r = int(c.ReferenceChannel), t = int(c.TransferChannel);
            if (r < 0 || r >= kChannels || t < 0 || t >= kChannels)
                continue;
            const ChannelProcessingSettings &pr = Settings.Processing[r], &pt = Settings.Processing[t];
            if (!post && Settings.Device.Channels[r].bIsEnabled == 0)
                return fail(k, "Composite Channel %c: The Reference Channel is not enabled.  Check the Device settings.");
            if (!post && Settings.Device.Channels[t].bIsEnabled == 0)
                return fail(k, "Composite Channel %c: The Transfer Channel is not enabled.  Check the Device settings.");
            if (pr.FFTsize != pt.FFTsize)
                return fail(k, "Composite Channel %c: The Transfer Channel and Reference Channels must use the same FFT size.");
            if (post && pr.OverlapPercent != pt.OverlapPercent)
                return fail(k, "Composite Channel %c: The Transfer Channel and Reference Channels must use the same Overlap Percentage.");
            if (post && checkFilePositions && position(r) >= 0 && position(t) >= 0 && position(r) != position(t))
                return fail(k, "Composite Channel %c:  The Transfer Channel and Reference Channels must have the same file "
                               "position.  Please rewind or use the <Edit><Set File Postion> menu command.");
            if (pr.DecimationRatio != pt.DecimationRatio)
                return fail(k, "Composite Channel %c: The Transfer Channel and Reference Channels must use the same Decimation Ratio.");
            continue;
        }
        int first = -1;
        long long firstPosition = -1;
        for (int i = 0; i < kChannels; ++i) {
            if (c.IncludeInAverage[i] != 1)
                continue;
            if (!post && Settings.Device.Channels[i].bIsEnabled == 0) {
                char text[200];
                std::snprintf(text, sizeof text,
                              "Composite Channel %%c: Input Channel %d is not enabled.  Check the Device settings.", i);
                return fail(k, text);
            }
            if (first < 0)
                first = i;
            const ChannelProcessingSettings &p0 = Settings.Processing[first], &pi = Settings.Processing[i];
            if (pi.FFTsize != p0.FFTsize)
                return fail(k, "Composite Channel %c:  All of the Channels included in the Average must use the same FFT size.");
            if (post && pi.OverlapPercent != p0.OverlapPercent)
                return fail(k, "Composite Channel %c:  All of the Channels included in the Average must use the same Overlap "
                               "Percentage.");
            if (post && checkFilePositions && position(i) >= 0) {
                if (firstPosition < 0)
                    firstPosition = position(i);
                else if (position(i) != firstPosition)
                    return fail(k, "Composite Channel %c:  All of the Channels included in the Average must have the same "
                                   "file position.  Please rewind or use the <Edit><Set File Postion> menu command.");
            }
            if (pi.DecimationRatio != p0.DecimationRatio)
                return fail(k, "Composite Channel %c:  All of the Channels included in the Average must use the same "
                               "Decimation Ratio.");
        }
    }
    return true;
}

void CMainFrame::ReconfigureProcessing()
{
    for (int k = 0; k < kComposites; ++k) {
        for (SpectralData*& engine : CompositeSpectral[k]) {
            delete engine;
            engine = nullptr;
        }
        const CompositeChannelSettings& c = Settings.Composite[k];
        SpectralData*& R = CompositeSpectral[k][0];
        SpectralData*& T = CompositeSpectral[k][1];
        SpectralData*& C = CompositeSpectral[k][2];
        SpectralData*& H = CompositeSpectral[k][3];
        const WORD decay = Settings.CompositeSpectrumOpts[k].PeakHold;
        int source = 0;
        if (c.bIsEnabled != 0) {
            auto make = [this, decay](int ch) {
                SpectralData* e = new (std::nothrow) SpectralData(&Settings.Processing[ch], &Settings.Scaling[ch], true);
                if (e != nullptr)
                    e->SetPeakDecay(decay);
                return e;
            };
            auto labelled = [&c](const ChannelCalibration& cal) {
                ChannelCalibration copy = cal;
                CopyField(copy.LabelLinear, c.LabelLinear);
                CopyField(copy.LabelLog, c.LabelLog);
                return copy;
            };
            if (IsSumType(c.CompositeType)) {
                source = GetCompositeSource(k) < 0 ? 0 : GetCompositeSource(k);
                C = make(source);
                if (C != nullptr && Settings.Calibration[source].IsEnabled != 0) {
                    const ChannelCalibration copy = labelled(Settings.Calibration[source]);
                    C->SetScaling(&copy);
                }
            } else if (c.ReferenceChannel < DWORD(kChannels) && c.TransferChannel < DWORD(kChannels)) {
                const int r = int(c.ReferenceChannel), t = int(c.TransferChannel);
                source = t;
                C = make(t);
                R = make(r);
                T = make(t);
                if (R != nullptr && Settings.Calibration[r].IsEnabled != 0)
                    R->SetScaling(&Settings.Calibration[r]);
                if (T != nullptr && Settings.Calibration[t].IsEnabled != 0)
                    T->SetScaling(&Settings.Calibration[t]);
                if (C != nullptr) {
                    const ChannelCalibration copy = labelled(Settings.Calibration[t]);
                    C->SetScaling(&copy);
                }
                if (c.CompositeType == 3) {
                    H = make(t);
                    if (H != nullptr) {
                        H->SetUnitsLabel("Coherence");
                        H->SetPeakDecay(0);
                    }
                }
            }
            if (C != nullptr)
                C->SetUnitsLabel(c.ChannelName);
            if (Spectral[source] != nullptr)
                for (SpectralData* engine : CompositeSpectral[k])
                    if (engine != nullptr)
                        engine->CopyAverageCount(Spectral[source]);
        }
        if (CompositeSpectrumPlot[k] != nullptr) {
            CompositeSpectrumPlot[k]->SetData(C, H);
            CompositeSpectrumPlot[k]->UpdateLayout();
        }
        if (CompositePhasePlot[k] != nullptr) {
            CompositePhasePlot[k]->SetData(C, nullptr);
            CompositePhasePlot[k]->UpdateLayout();
        }
        if (CompositeSpectrogramPlot[k] != nullptr) {
            CompositeSpectrogramPlot[k]->SetData(C, nullptr);
            CompositeSpectrogramPlot[k]->SetScalingSettings(Settings.Scaling[source]);
            CompositeSpectrogramPlot[k]->UpdateLayout();
            CompositeSpectrogramPlot[k]->ClearHistory();
        }
        if (CompositeSurfacePlot[k] != nullptr) {
            CompositeSurfacePlot[k]->SetData(C, nullptr);
            CompositeSurfacePlot[k]->SetScalingSettings(Settings.Scaling[source]);
            CompositeSurfacePlot[k]->UpdateLayout();
            CompositeSurfacePlot[k]->ClearHistory();
        }
    }
}

void CMainFrame::SumCompositeSpectra(SpectralData& result, const std::vector<const float*>& spectra,
                                     WORD compositeType, const SpectralData* countFrom)
{
    if (compositeType == 0)
        result.ComplexSum(spectra.data(), int(spectra.size()));
    else
        result.RealSum(spectra.data(), int(spectra.size()));
    if (countFrom != nullptr)
        result.CopyAverageCount(countFrom);
    result.Average(false);
    result.UpdatePeakHold();
}

// The sums of channels (types 0 and 5) are computed here; the transfer-function, coherence and
// cross-spectrum types need the two-channel spectra of the acquisition work and stay empty.
void CMainFrame::ProcessCompositeAndPlots()
{
    for (int k = 0; k < kComposites; ++k) {
        const CompositeChannelSettings& c = Settings.Composite[k];
        SpectralData* C = CompositeSpectral[k][2];
        if (c.bIsEnabled == 0 || C == nullptr || !IsSumType(c.CompositeType))
            continue;
        std::vector<const float*> frames;
        int first = -1;
        for (int ch = 0; ch < kChannels; ++ch)
            if (c.IncludeInAverage[ch] == 1 && Spectral[ch] != nullptr) {
                frames.push_back(Spectral[ch]->GetTimeBuffer());
                if (first < 0)
                    first = ch;
            }
        SumCompositeSpectra(*C, frames, c.CompositeType, first >= 0 ? Spectral[first] : nullptr);
        float t = 0.0f;
        if (first >= 0 && Settings.Files[first].File != nullptr)
            t = Settings.Files[first].File->GetPositionSeconds();
        if (CompositeSpectrumPlot[k] != nullptr)
            CompositeSpectrumPlot[k]->UpdateFrame(t);
        if (CompositePhasePlot[k] != nullptr)
            CompositePhasePlot[k]->UpdateFrame(t);
        if (CompositeSpectrogramPlot[k] != nullptr)
            CompositeSpectrogramPlot[k]->AddSpectrum(t);
        if (CompositeSurfacePlot[k] != nullptr)
            CompositeSurfacePlot[k]->AddSpectrum(t);
        WriteCompositeLogRows(k, Settings.OpMode == kPostProcess ? t : GetSecondsOfDay());
    }
}

