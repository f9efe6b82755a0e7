// Runs: the start and stop of a device run, the processing and wave-writing timers and the
// composite channels' engines.
//
// A Real Time run reads the device (a KDR-5200 or the built-in simulator): every processing
// tick turns the newest block of each enabled channel into its spectrum, computes the composite
// channels and tells the plots; every wave-writing tick moves the new samples into the
// channels' circular real-time buffer files (Real Time), which Stop puts back into time order,
// or appends them to the channels' recording files (Recorder). With triggering on, a processing
// tick analyses the block at a trigger event instead of the newest one (app/MainFrameTrigger.cpp).
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

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <new>
#include <string>
#include <vector>

namespace {
constexpr UINT_PTR kTimerProcess = 101;
constexpr UINT_PTR kTimerWaveWrite = 102;
constexpr WORD kPostProcess = 2;
constexpr const char* kDeviceNotFound =
    "A Durnex KDR-5200 device was not found on your system.  Please make sure that the drivers are installed and "
    "the device is plugged into a USB port.";

bool IsSumType(WORD type) { return type == 0 || type == 5; }

// A composite engine takes a channel's averaging count. Taking it rebuilds the engine's linear
// averaging slots, so it is taken only when it changed: rebuilt every block, a linear average
// would keep one block and read the rest as zero.
void TakeAverageCount(SpectralData& engine, const SpectralData* from)
{
    if (from != nullptr && engine.GetAverageBlocks() != from->GetAverageBlocks())
        engine.CopyAverageCount(from);
}

// A fresh real-time buffer file in the channel's format; null when it cannot be made. Kept for
// processing and saved, it is edited and recorded into as any take is: with MakeBackup on, on a
// working copy that reaches the saved file only at the next save.
std::unique_ptr<TWaveFile> NewRealTimeFile(const TPcmFormat& format, const FileIOSettings& io, const char* folder,
                                           DWORD frames)
{
    std::unique_ptr<TWaveFile> file(io.WaveFileMode == 0 ? new (std::nothrow) TWaveFile(frames, format, folder)
                                                         : new (std::nothrow) TWaveFile(format, io.MakeBackup != 0, folder));
    if (file != nullptr && file->IsError())
        file.reset();
    return file;
}
} // namespace

// A short (or zero) length still keeps a playable file.
double CMainFrame::RealTimeWrapSeconds(DWORD bufferSeconds)
{
    const double span = double(bufferSeconds) - 1.0;
    return span < 1.0 ? 1.0 : span;
}

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
    if (!ValidateCompositeChannels(true)) {
        ShowProcessingSettings(-1); // where the composite channels can be put right
        return FALSE;
    }
    if (CountEnabledChannels() == 0) {
        AfxMessageBox("Please enable one or more device channels", MB_OK | MB_ICONSTOP);
        ShowProcessingSettings(0); // the Input page, where channels are enabled
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
    for (int ch = 0; ch < kChannels; ++ch) {
        // A Recorder channel that is not recorded but has a file keeps analysing that file's
        // format; one with neither keeps its own.
        const bool recorded = Settings.Device.Channels[ch].bIsEnabled == 1 && Settings.Files[ch].IsActive != 0;
        if (Settings.OpMode == 0 || recorded)
            Settings.Processing[ch].SampleFormat.Set(Settings.Device.SamplingRate, 1, bytes);
        else if (const TWaveFile* file = Settings.Files[ch].File.get())
            Settings.Processing[ch].SampleFormat = file->GetFormat();
    }
    TriggerDetected = false;
    PostTriggerCapture = false;
    CapturePercent = 0;
    TriggerBlockStart = 0;
    TriggerEventSample = 0;
    TriggerSearchFrame = 0;
    RecordingTriggered = false;
    RecordingHalted = false;
    // Named before the first file of the run is made: the files of one run share it.
    RunLabel = std::to_string(std::time(nullptr)) + "-" + std::to_string(GetTickCount64());
    RecordedSamples = 0;
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
    RunClockStarted = false;
    BeginUtilityRun();
    RealTimeWrapPoint = 0;
    WaveWritePosition = 0;
    RecordedSamples = 0;
    StepChannels = 0;
    SkippedChannels = 0;
    StepEndSample = -1;
    RealTimeFramesWritten = 0;
    RecordStartSample = -1;
    if (Settings.OpMode == 0) {
        // The last run's buffer files make way for this run's.
        DropAllWaveFiles();
        const FileIOSettings& io = Settings.FileIO;
        std::string unmade;
        for (int ch = 0; ch < kChannels; ++ch) {
            if (io.RealTimeWaveBufferEnableFlag != 1 || Settings.Device.Channels[ch].bIsEnabled == 0)
                continue;
            const TPcmFormat& format = Settings.Processing[ch].SampleFormat;
            const double frames = RealTimeWrapSeconds(io.RealTimeWaveBufferLengthSecs) * 1.1 * format.SampleRate;
            std::unique_ptr<TWaveFile> file = NewRealTimeFile(format, io, Settings.Paths.Wav, DWORD(frames));
            if (file == nullptr) {
                // The run goes on without this channel's buffer, and the user is told so once.
                unmade += (unmade.empty() ? "" : ", ") + std::to_string(ch);
                continue;
            }
            GiveChannelCalibration(*file, ch);
            LabelTake(*file, ch, true);
            Settings.Files[ch].File = std::move(file);
            Settings.Files[ch].FileChannel = 0;
        }
        if (!unmade.empty())
            ReportUnwritableWaveFolder(unmade, false);
    }
    if (SigGen != nullptr)
        SigGen->StartOutput();
    if (!InputDevice->StartInput()) {
        CloseLogFiles();
        InputDevice->CloseDevice();
        if (SigGen != nullptr)
            SigGen->StopOutput();
        return FALSE;
    }
    AcquisitionRunning = true;
    SetTimer(kTimerProcess, 10, nullptr);
    SetTimer(kTimerWaveWrite, 40, nullptr);
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
    if (SigGen != nullptr)
        SigGen->StopOutput();
    KillTimer(kTimerProcess);
    KillTimer(kTimerWaveWrite);
    if (InputDevice != nullptr)
        InputDevice->StopInput();
    AcquisitionRunning = false;
    EndUtilityRun();
    ToolbarUpdateRunButtons();
    StatusbarUpdate(2);
    HighlightAllPlots();
    if (Settings.OpMode == 0) {
        // What reached the rings since the last tick belongs in the files too.
        DrainRingsToFiles(true);
        // The unroll keeps the last W frames written: the history lines move back by what it
        // drops.
        const long long dropped = RealTimeWrapPoint > 0 ? RealTimeFramesWritten - (long long)RealTimeWrapPoint : 0;
        UnrollRealTimeBuffers();
        for (int ch = 0; ch < kChannels && dropped > 0; ++ch)
            if (const TWaveFile* file = Settings.Files[ch].File.get(); file != nullptr && file->GetFormat().SampleRate != 0)
                ShiftChannelHistories(ch, -double(dropped) / file->GetFormat().SampleRate);
    } else if (Settings.OpMode == 1 && !HoldRecordingForStartDelay()) {
        // Up to the device's last sample: the last tick may have been up to 40 ms ago.
        DrainRingsToFiles(true);
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        // The plot shows the channel's file now (or its live block again when it has none).
        if (TimeSeriesPlot[ch] != nullptr)
            AttachWaveFileToPlots(ch);
    }
    UpdateHistoryTimeLabels();
    // The last samples written above lengthen the take past what the tool window last showed.
    ToolbarUpdateState();
}

// The spectrogram and 3-D surface windows' time labels, after their history changed hands.
void CMainFrame::UpdateHistoryTimeLabels()
{
    for (int ch = 0; ch < kChannels; ++ch) {
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
    if (nIDEvent == kTimerWaveWrite) {
        if (Settings.OpMode == 0 && AcquisitionRunning)
            DrainRingsToFiles(false);
        else if (Settings.OpMode == 1 && AcquisitionRunning && !HoldRecordingForStartDelay())
            WriteRecordingBlock();
        return;
    }
    if (nIDEvent != kTimerProcess)
        return;
    if (Settings.OpMode == kPostProcess) {
        KillTimer(kTimerProcess);
        PostProcessStep();
        // Re-armed only while the run goes on: a stopped run leaves no idle tick behind.
        if (PostProcessBusy)
            SetTimer(kTimerProcess, PostProcessIntervalMs(), nullptr);
        return;
    }
    KillTimer(kTimerProcess);
    const int processed = AcquireAndProcessBlock();
    const TriggerSettings& trig = Settings.Trigger;
    if (processed == 1 && trig.TriggerEnabled != 0 && trig.TriggerSource == 1) {
        // An external trigger gives one block a trigger; the next needs the input re-armed.
        if (AcquisitionRunning && InputDevice != nullptr && InputDevice->IsInputRunning()) {
            FftsProcessed = 0;
            SetTimer(kTimerProcess, 10, nullptr);
        }
        return;
    }
    // Speeds up to 10 ms while blocks are ready and backs off to 100 ms while they are not.
    const long next = long(ProcessIntervalMs) + (processed ? -10 : 10);
    ProcessIntervalMs = DWORD(next < 10 ? 10 : next > 100 ? 100 : next);
    if (AcquisitionRunning)
        SetTimer(kTimerProcess, ProcessIntervalMs, nullptr);
}

DWORD CMainFrame::PostProcessIntervalMs() const
{
    const RunControlSettings& run = Settings.RunControl;
    return run.UpdateIntervalFlag == 1 ? std::clamp<DWORD>(run.UpdateIntervalMsec, 10, 10000) : 10;
}

bool CMainFrame::HoldRecordingForStartDelay()
{
    const RunControlSettings& run = Settings.RunControl;
    if (run.StartDelayFlag != 1 || InputDevice == nullptr)
        return false;
    // The delay counts from the run's first processing tick; until then it has not begun.
    if (RunClockStarted && double(DWORD(TUsbDevice::Now() - RunStartTick)) / 1000.0 >= double(run.StartDelaySecs))
        return false;
    // What arrives during the delay is not recorded: the recording begins where it ends.
    RecordedSamples = std::max(RecordedSamples, InputDevice->GetSampleCounter());
    return true;
}

int CMainFrame::AcquireAndProcessBlock()
{
    if (!AcquisitionRunning || InputDevice == nullptr)
        return 0;
    const DWORD nowTick = TUsbDevice::Now();
    if (!RunClockStarted) {
        RunClockStarted = true;
        RunStartTick = nowTick;
        RunStartTime = GetSecondsOfDay(); // the start delay's countdown on the status bar
    }
    const RunControlSettings& run = Settings.RunControl;
    if (run.RunMode == 1 && FftsProcessed >= 0 && DWORD(FftsProcessed) >= run.FftLimit) {
        StopDataAcquisition();
        return 0;
    }
    double elapsed = double(DWORD(nowTick - RunStartTick)) / 1000.0;
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
    const TriggerSettings& trig = Settings.Trigger;
    const bool analogTrigger = IsAnalogTriggerLive();
    const bool externalTrigger = trig.TriggerEnabled != 0 && trig.TriggerSource == 1;
    if (analogTrigger) {
        if (!WaitForTrigger())
            return 0;
        if (Settings.OpMode == 1 && !RecordingTriggered) {
            // The recording begins with the first accepted event's block, pre-trigger samples
            // and all (as far as the ring still holds them).
            RecordingTriggered = true;
            RecordedSamples = std::max({TriggerBlockStart, InputDevice->GetSampleCounter() - InputDevice->GetRingLength(), 0LL});
        }
    }
    std::vector<int>& block = StepBlock;
    try {
        if (block.size() < MaxChannelBlock())
            block.resize(MaxChannelBlock());
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const float now = GetSecondsOfDay();
    // The step's one instant: a triggered block starts at the event's block start (analog) or,
    // for an external trigger, at the run's first sample or the delay after it; otherwise every
    // channel's block ends at the newest end, fixed once here. Packets that arrive while the
    // channels are processed and drawn then change nothing this step reads.
    long long first = -1;
    if (analogTrigger)
        first = TriggerBlockStart;
    else if (externalTrigger)
        first = std::max(0LL, TriggerDelaySamples(Settings.Device.SamplingRate));
    const long long newestEnd = first >= 0 ? -1 : InputDevice->NewestBlockEnd(TUsbDevice::Now());
    StepChannels = 0;
    DWORD skipped = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (Settings.Device.Channels[ch].bIsEnabled != 1)
            continue;
        // A Recorder channel not flagged for recording is neither analysed nor plotted.
        if (Settings.OpMode == 1 && Settings.Files[ch].IsActive == 0)
            continue;
        const DWORD length = ChannelBlockLength(ch);
        if (length == 0 || length > block.size())
            continue;
        if (first < 0 && newestEnd < 0)
            continue; // no packet yet, or none for 64 ms: nothing is there for any channel
        const long long end = first >= 0 ? first + (long long)length : newestEnd;
        // A block reaching before the run's (or the recording's) first sample has not arrived
        // yet: the channel waits for it, it is not skipped.
        if (end - (long long)length < FirstAnalysedSample(ch))
            continue;
        if (Channel(ch).ReadBlock(*InputDevice, end, block) != TUsbDevice::RingRead::Ok) {
            skipped |= 1u << ch;
            continue;
        }
        if (!AnalyzeChannelBlock(ch, now))
            continue;
        // The history plots of a channel with a file label a block by its middle's place in
        // that file, so that a span selected there is the samples it shows.
        float blockTime = now;
        LiveBlockTime(ch, end, length, &blockTime);
        StepBlockTime[ch] = blockTime;
        FeedChannelPlots(ch, now, blockTime);
        WriteLogRows(ch, now);
    }
    const bool processed = StepChannels != 0;
    // Said on the status bar while it lasts: a channel whose block was not there when others' were.
    SkippedChannels = processed ? skipped : 0;
    StepEndSample = first >= 0 ? first + (long long)ChannelBlockLength(0) : newestEnd;
    if (processed) {
        ++FftsProcessed;
        ProcessCompositeAndPlots();
        if (externalTrigger)
            TriggerDetected = true;
        if (externalTrigger && Settings.OpMode == 1 && !RecordingTriggered) {
            // The device's samples begin at the external trigger: the recording from the first.
            RecordingTriggered = true;
            RecordedSamples = std::max(0LL, InputDevice->GetSampleCounter() - InputDevice->GetRingLength());
        }
    }
    if (Settings.OpMode == 1)
        ToolbarUpdateState();
    int result = processed ? 1 : 0;
    if (FftsProcessed == 0) {
        result = 0;
        // The run's clock starts with its first block; a start delay, once begun, runs on.
        if (run.StartDelayFlag != 1) {
            RunClockStarted = false;
            RunStartTime = -1.0f;
        }
    }
    StatusbarUpdate(1);
    StatusbarUpdate(3);
    UpdateUtilityViews();
    return result;
}

long long CMainFrame::FirstAnalysedSample(int channel) const
{
    if (Settings.OpMode != 1)
        return 0;
    // Before its first piece the recording begins at the next sample to be written: a start
    // delay or a trigger has set that by the time a block may be read.
    const long long take = RecordStartSample >= 0 ? RecordStartSample : RecordedSamples;
    // After a split the channel's file begins at the split.
    const TWaveFile* file = channel >= 0 && channel < kChannels ? Settings.Files[channel].File.get() : nullptr;
    return file != nullptr ? std::max(take, RecordedSamples - (long long)file->GetPosition()) : take;
}

bool CMainFrame::LiveBlockTime(int channel, long long end, DWORD length, float* seconds) const
{
    if (channel < 0 || channel >= kChannels)
        return false;
    const TWaveFile* file = Settings.Files[channel].File.get();
    if (file == nullptr || file->GetFormat().SampleRate == 0)
        return false;
    // The files take the device's samples in order: RecordedSamples is the one the next write
    // puts at the file's position (Recorder), or at frame RealTimeFramesWritten of a real-time
    // buffer unrolled as if it never wrapped.
    const long long next = Settings.OpMode == 1 ? (long long)file->GetPosition() : RealTimeFramesWritten;
    const long long middle = end - (long long)(length / 2) - RecordedSamples + next;
    *seconds = float(double(middle) / file->GetFormat().SampleRate);
    return true;
}

int CMainFrame::CompositeTimeChannel(int composite) const
{
    if (composite < 0 || composite >= kComposites)
        return -1;
    const CompositeChannelSettings& c = Settings.Composite[composite];
    // A sum is timed by its source, its first included channel.
    if (IsSumType(c.CompositeType))
        return GetCompositeSource(composite);
    return c.ReferenceChannel < DWORD(kChannels) ? int(c.ReferenceChannel) : -1;
}

void CMainFrame::ShiftChannelHistories(int channel, double seconds)
{
    if (channel < 0 || channel >= kChannels || seconds == 0.0)
        return;
    if (SpectrogramPlot[channel] != nullptr)
        SpectrogramPlot[channel]->ShiftHistory(float(seconds));
    if (SurfacePlot[channel] != nullptr)
        SurfacePlot[channel]->ShiftHistory(float(seconds));
    for (int k = 0; k < kComposites; ++k) {
        if (Settings.Composite[k].bIsEnabled == 0 || CompositeTimeChannel(k) != channel)
            continue;
        if (CompositeSpectrogramPlot[k] != nullptr)
            CompositeSpectrogramPlot[k]->ShiftHistory(float(seconds));
        if (CompositeSurfacePlot[k] != nullptr)
            CompositeSurfacePlot[k]->ShiftHistory(float(seconds));
    }
}

DWORD CMainFrame::ChannelBlockLength(int channel) const
{
    return channel < 0 || channel >= kChannels ? 0 : Channel(channel).BlockLength();
}

bool CMainFrame::ProcessChannelBlock(int channel, const int* samples, float now)
{
    if (channel < 0 || channel >= kChannels || !Channel(channel).StoreBlock(samples))
        return false;
    return AnalyzeChannelBlock(channel, now);
}

bool CMainFrame::AnalyzeChannelBlock(int channel, float time)
{
    if (channel < 0 || channel >= kChannels || !Channel(channel).Analyze(time))
        return false;
    StepChannels |= 1u << channel;
    return true;
}

void CMainFrame::UnrollRealTimeBuffers()
{
    const FileIOSettings& io = Settings.FileIO;
    const DWORD W = RealTimeWrapPoint;
    bool reported = false;
    for (int ch = 0; ch < kChannels; ++ch) {
        TWaveFile* old = Settings.Files[ch].File.get();
        if (old == nullptr)
            continue;
        TWaveFile* kept = old;
        const DWORD P = old->GetPosition();
        if (W > 0 && P <= W) {
            // The oldest part runs from P to W, the newest from 0 to P.
            std::unique_ptr<TWaveFile> file =
                NewRealTimeFile(old->GetFormat(), io, Settings.Paths.Wav, io.WaveFileMode == 0 ? W : 0);
            if (file != nullptr) {
                const bool ok = file->CopySegment(old, file.get(), P, 0, W - P) &&
                                file->CopySegment(old, file.get(), 0, W - P, P);
                if (ok) {
                    // The channel takes the ordered copy at once (the old buffer goes), so no
                    // message box below runs while the channel points at a deleted file.
                    kept = file.get();
                    Settings.Files[ch].File = std::move(file);
                } else {
                    file.reset();
                    if (!reported)
                        AfxMessageBox("The real-time buffer could not be put into time order; it is kept as it was "
                                      "written, its newest part first.",
                                      MB_OK | MB_ICONSTOP);
                    reported = true;
                }
            }
        }
        // A file in memory was made longer than it would fill: it ends where its samples end.
        if (kept->GetMode() == TWaveFile::kMemory && kept->GetEndFrame() < kept->GetLength() && !kept->TrimToEnd() &&
            !reported) {
            AfxMessageBox("The real-time buffer could not be cut to its length.", MB_OK | MB_ICONSTOP);
            reported = true;
        }
        kept->Rewind();
        (void)kept->UpdateHeaderSizes(); // until it is saved, a crash still leaves a readable take
        GiveChannelCalibration(*kept, ch);
        LabelTake(*kept, ch, false); // in time order now
    }
    RealTimeWrapPoint = 0;
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

bool CMainFrame::CompositeSourcesHaveData(int composite) const
{
    if (composite < 0 || composite >= kComposites)
        return false;
    const bool post = Settings.OpMode == kPostProcess;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (!IsChannelInComposite(ch, composite))
            continue;
        const TWaveFile* file = Settings.Files[ch].File.get();
        if (post && file != nullptr && file->GetPosition() >= file->GetEndFrame())
            return false;
        // A member that has samples this run but whose block this step did not analyse would
        // be combined with its previous block: the result would describe no instant at all.
        const bool hasSource = post ? file != nullptr
                                    : Settings.Device.Channels[ch].bIsEnabled == 1 &&
                                          (Settings.OpMode != 1 || Settings.Files[ch].IsActive != 0);
        if (hasSource && (StepChannels & (1u << ch)) == 0)
            return false;
    }
    return true;
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
        const TWaveFile* f = Settings.Files[ch].File.get();
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
        TCompositeProcessing& composite = CompositeChannel(k);
        // The engines take the averaging count of the channel the result is built from.
        const int source = Settings.Composite[k].bIsEnabled != 0 ? composite.SourceChannel() : 0;
        composite.Rebuild(Spectral[source]);
        SpectralData* C = composite.Get(TCompositeProcessing::kResult);
        SpectralData* H = composite.Get(TCompositeProcessing::kCoherence);
        // Every window lets go of the freed engines before any is laid out: a layout repaints
        // the other windows too.
        if (CompositeSpectrumPlot[k] != nullptr)
            CompositeSpectrumPlot[k]->SetData(C, H);
        if (CompositePhasePlot[k] != nullptr)
            CompositePhasePlot[k]->SetData(C, nullptr);
        if (CompositeSpectrogramPlot[k] != nullptr)
            CompositeSpectrogramPlot[k]->SetData(C, nullptr);
        if (CompositeSurfacePlot[k] != nullptr)
            CompositeSurfacePlot[k]->SetData(C, nullptr);
        if (CompositeSpectrumPlot[k] != nullptr)
            CompositeSpectrumPlot[k]->UpdateLayout();
        if (CompositePhasePlot[k] != nullptr)
            CompositePhasePlot[k]->UpdateLayout();
        if (CompositeSpectrogramPlot[k] != nullptr) {
            CompositeSpectrogramPlot[k]->SetScalingSettings(Settings.Scaling[source]);
            CompositeSpectrogramPlot[k]->UpdateLayout();
            CompositeSpectrogramPlot[k]->ClearHistory();
        }
        if (CompositeSurfacePlot[k] != nullptr) {
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
    TakeAverageCount(result, countFrom);
    result.Average(false);
    result.UpdatePeakHold();
}

bool CMainFrame::ComputeTwoChannelComposite(int composite, TSampleBuffer* const buffers[], SpectralData* const inputs[],
                                            SpectralData* R, SpectralData* T, SpectralData* C, SpectralData* H)
{
    if (composite < 0 || composite >= kComposites)
        return false;
    const CompositeChannelSettings& k = Settings.Composite[composite];
    // Stored settings may name any channel; only 0..7 index the channel arrays.
    if (k.ReferenceChannel >= DWORD(kChannels) || k.TransferChannel >= DWORD(kChannels))
        return false;
    const int r = int(k.ReferenceChannel), t = int(k.TransferChannel);
    const WORD type = k.CompositeType;
    if (type < 1 || type > 4 || R == nullptr || T == nullptr || C == nullptr || (type == 3 && H == nullptr))
        return false;
    TSampleBuffer* rb = buffers[r];
    TSampleBuffer* tb = buffers[t];
    const DWORD n = Settings.Processing[r].FFTsize;
    if (rb == nullptr || tb == nullptr || Smoothing[r] == nullptr || Smoothing[t] == nullptr ||
        rb->GetSamplesPerChannel() < n || tb->GetSamplesPerChannel() < n || R->GetFftSize() != int(n) ||
        T->GetFftSize() != int(n) || C->GetFftSize() != int(n) || (H != nullptr && H->GetFftSize() != int(n)))
        return false;
    for (DWORD i = 0; i < n; ++i) {
        R->SetTimeSample(i, float(rb->GetSample(i, false)));
        T->SetTimeSample(i, float(tb->GetSample(i, false)));
    }
    Smoothing[r]->Apply(R->GetFrame());
    Smoothing[t]->Apply(T->GetFrame());
    R->ComputeSpectrum();
    T->ComputeSpectrum();
    auto average = [&](SpectralData* engine, int channel) {
        TakeAverageCount(*engine, inputs[channel]);
        engine->Average(false);
    };
    // The cross spectrum of transfer against reference, so that a transfer channel that lags
    // reads a falling phase.
    auto cross = [&](SpectralData* engine) { engine->CrossSpectrum(T->GetFrame(), R->GetFrame()); };
    switch (type) {
    case 1:
        average(R, r);
        average(T, t);
        cross(C);
        average(C, t);
        C->RealTransferFunction(T->GetMagnitudeBuffer(), R->GetMagnitudeBuffer());
        break;
    case 2:
        cross(C);
        average(C, t);
        average(T, t);
        average(R, r);
        C->CrossOverAuto(R->GetMagnitudeBuffer());
        break;
    case 3:
        cross(H);
        H->Average(false);
        R->Average(false);
        T->Average(false);
        H->Coherence(T->GetMagnitudeBuffer(), R->GetMagnitudeBuffer());
        cross(C);
        average(C, t);
        C->CrossOverAuto(R->GetMagnitudeBuffer());
        break;
    default:
        cross(C);
        average(C, t);
        break;
    }
    C->UpdatePeakHold();
    return true;
}

void CMainFrame::ProcessCompositeAndPlots()
{
    for (int k = 0; k < kComposites; ++k) {
        const CompositeChannelSettings& c = Settings.Composite[k];
        SpectralData* C = CompositeSpectral[k][2];
        if (c.bIsEnabled == 0 || C == nullptr || c.CompositeType > 5 || !CompositeSourcesHaveData(k))
            continue;
        if (IsSumType(c.CompositeType)) {
            std::vector<const float*> frames;
            int first = -1;
            for (int ch = 0; ch < kChannels; ++ch)
                if (c.IncludeInAverage[ch] == 1 && Spectral[ch] != nullptr) {
                    frames.push_back(Spectral[ch]->GetTimeBuffer());
                    if (first < 0)
                        first = ch;
                }
            SumCompositeSpectra(*C, frames, c.CompositeType, first >= 0 ? Spectral[first] : nullptr);
        } else {
            TSampleBuffer* buffers[kChannels];
            SpectralData* inputs[kChannels];
            for (int ch = 0; ch < kChannels; ++ch) {
                buffers[ch] = SampleBuffer[ch];
                inputs[ch] = Spectral[ch];
            }
            const auto e = CompositeSpectral[k];
            if (!ComputeTwoChannelComposite(k, buffers, inputs, e[0], e[1], C, e[3]))
                continue;
        }
        // The composite's block is its time channel's, at the same samples: its time is that
        // block's (the middle's place in the channel's file).
        const int timeChannel = CompositeTimeChannel(k);
        float t = 0.0f;
        if (timeChannel >= 0 && (StepChannels & (1u << timeChannel)) != 0)
            t = StepBlockTime[timeChannel];
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

// A processed block of a channel reaches its plots: the time of the block for the time series,
// spectrum and phase, and the history time for the spectrogram and surface lines.
void CMainFrame::FeedChannelPlots(int ch, float frameTime, float historyTime)
{
    if (TimeSeriesPlot[ch] != nullptr)
        TimeSeriesPlot[ch]->UpdateFrame(frameTime);
    if (SpectrumPlot[ch] != nullptr)
        SpectrumPlot[ch]->UpdateFrame(frameTime);
    if (PhasePlot[ch] != nullptr)
        PhasePlot[ch]->UpdateFrame(frameTime);
    if (SpectrogramPlot[ch] != nullptr)
        SpectrogramPlot[ch]->AddSpectrum(historyTime);
    if (SurfacePlot[ch] != nullptr)
        SurfacePlot[ch]->AddSpectrum(historyTime);
}
