// The post-process driver: a run over the channels' wave files, block by block, analysed as a
// live block is, optionally only at trigger events found in one channel's file; and the
// file-position operations of the tool strip, the plots and the wave commands.
#include "app/CMainFrame.h"

#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/LongOperation.h"
#include "plots/TPhasePlot.h"
#include "plots/TSeriesPlot.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr UINT_PTR kTimerProcess = 101;
constexpr WORD kPostProcess = 2;
} // namespace

// ---- Post-processing ------------------------------------------------------------------

DWORD CMainFrame::GetPostProcessHop(ChannelProcessingSettings settings)
{
    const long long hop = (100LL - settings.OverlapPercent) * settings.FFTsize / 100;
    return hop > 0 ? DWORD(hop) : 1;
}

void CMainFrame::StartPostProcess()
{
    if (Playing)
        StopPlayback();
    // A single-step request (Enter in a plot) is for this start only: left set by a start
    // that did not run, it would turn the next Run into one silent step.
    const bool singleStep = RunWholeFile != 0;
    RunWholeFile = 0;
    if (!ValidateCompositeChannels(true)) {
        ShowProcessingSettings(-1); // where the composite channels can be put right
        return;
    }
    TriggerDetected = false;
    PostTriggerCapture = false;
    CapturePercent = 0;
    TriggerForce = false;
    TriggerSearchFrame = 0;
    const TriggerSettings& trig = Settings.Trigger;
    if (trig.TriggerEnabled && trig.TriggerChannel < DWORD(kChannels) &&
        Settings.Files[trig.TriggerChannel].File != nullptr)
        TriggerSearchFrame = Settings.Files[trig.TriggerChannel].File->GetPosition();
    bool anyFile = false;
    for (const ChannelFileState& file : Settings.Files)
        anyFile = anyFile || file.File != nullptr;
    if (!anyFile) {
        if (!singleStep)
            AfxMessageBox("Please Open a file for Processing", MB_OK | MB_ICONSTOP);
        return;
    }
    if (CountTachometerFiles() >= 2) {
        AfxMessageBox("Multiple files contain tachometer data.  Only 1 tachometer channel is allowed at a time.\r\r"
                      "Either close the additional tach files or change their calibration settings.",
                      MB_OK | MB_ICONSTOP);
        return;
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        if (TimeSeriesPlot[ch] != nullptr) {
            Settings.TimeSeriesOpts[ch].TimeSeriesDataSource = 1;
            TimeSeriesPlot[ch]->SaveView();
            TimeSeriesPlot[ch]->UpdateLayout();
        }
        if (SpectrumPlot[ch] != nullptr)
            SpectrumPlot[ch]->SetTimeUnitsMsec(false);
    }
    if (!singleStep) {
        SetupAllChannels();
        ReconfigureProcessing();
        ResetAllSpectralAverages();
        ToolbarUpdateState();
    }
    FftsProcessed = 0;
    LatestTachometerValue = 0.0f;
    BeginUtilityRun();
    for (int ch = 0; ch < kChannels; ++ch) {
        OverloadCount[ch] = 0;
        const TWaveFile* file = Settings.Files[ch].File.get();
        PostProcessStartTime[ch] = file != nullptr ? file->GetPositionSeconds() : 0.0f;
    }
    if (singleStep) {
        // The stop leaves the time-series plots as the step drew them while the request is set.
        RunWholeFile = 1;
        PostProcessBusy = true;
        PostProcessStep();
        StopPostProcess();
        RunWholeFile = 0;
        return;
    }
    SetTimer(kTimerProcess, 10, nullptr);
    PostProcessBusy = true;
    ToolbarUpdateRunButtons();
    StatusbarUpdate(2);
    UnhighlightAllPlots();
}

int CMainFrame::PostProcessStep()
{
    if (!PostProcessBusy)
        return 0;
    const RunControlSettings& run = Settings.RunControl;
    if (run.RunMode == 1 && DWORD(FftsProcessed) >= run.FftLimit) {
        StopPostProcess();
        return 0;
    }
    const TriggerSettings& trig = Settings.Trigger;
    if (trig.TriggerEnabled && trig.TriggerChannel < DWORD(kChannels) &&
        Settings.Files[trig.TriggerChannel].File != nullptr) {
        const int found = PostProcessTriggerSearch();
        if (found < 0)
            return 0;
        if (found == 0) {
            TriggerForce = false;
            for (int ch = 0; ch < kChannels; ++ch) {
                TWaveFile* file = Settings.Files[ch].File.get();
                if (file == nullptr)
                    continue;
                const ChannelProcessingSettings& p = Settings.Processing[ch];
                file->SeekRelative(GetPostProcessHop(p) * p.DecimationRatio);
            }
            ToolbarUpdateState();
            StatusbarUpdate(1);
            StatusbarUpdate(3);
            return 0;
        }
    }
    StepChannels = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
        TWaveFile* file = Settings.Files[ch].File.get();
        if (file == nullptr)
            continue;
        const ChannelProcessingSettings& p = Settings.Processing[ch];
        const DWORD block = ChannelBlockLength(ch);
        if (file->GetEndFrame() < block || file->GetPosition() >= file->GetEndFrame() - block) {
            file->SeekEnd();
            continue;
        }
        if (run.RunMode == 2 && file->GetPositionSeconds() - PostProcessStartTime[ch] >= run.TimeLimitSecs) {
            file->SeekSeconds(PostProcessStartTime[ch] + run.TimeLimitSecs);
            continue;
        }
        const float fileTime = file->GetPositionSeconds();
        const float blockTime = fileTime + static_cast<float>(file->FramesToSeconds(block / 2));
        const TChannelProcessing::FileRead read = Channel(ch).ReadFileBlock(*file, Settings.Files[ch].FileChannel);
        if (read == TChannelProcessing::FileRead::NoBuffer)
            continue;
        if (read == TChannelProcessing::FileRead::Failed) {
            // Stop rather than analyse a block of silence as if it had been read.
            ReportWaveReadFailure(*file);
            StopPostProcess();
            return 0;
        }
        file->SeekRelative(GetPostProcessHop(p) * p.DecimationRatio);
        if (!AnalyzeChannelBlock(ch, blockTime))
            continue;
        StepBlockTime[ch] = blockTime;
        FeedChannelPlots(ch, blockTime, blockTime);
        // The row carries the block's middle, as the plots do (and the speed is read there).
        WriteLogRows(ch, blockTime);
    }
    const bool processed = StepChannels != 0;
    if (processed) {
        ++FftsProcessed;
        ProcessCompositeAndPlots();
    }
    int result = 1;
    if (FftsProcessed == 0) {
        RunStartTime = -1.0f;
        result = 0;
    }
    if (!processed)
        StopPostProcess();
    ToolbarUpdateState();
    StatusbarUpdate(1);
    StatusbarUpdate(3);
    UpdateUtilityViews();
    return result;
}

void CMainFrame::StopPostProcess()
{
    if (Settings.OpMode != kPostProcess || !PostProcessBusy)
        return;
    CWaitCursor wait;
    KillTimer(kTimerProcess);
    PostProcessBusy = false;
    EndUtilityRun();
    for (int ch = 0; ch < kChannels && RunWholeFile == 0; ++ch)
        ShowSeriesPlotFile(ch);
    UpdateHistoryTimeLabels();
    ToolbarUpdateRunButtons();
    StatusbarUpdate(2);
    HighlightAllPlots();
}


int CMainFrame::CountTachometerFiles() const
{
    int count = 0;
    for (int ch = 0; ch < kChannels; ++ch)
        if (IsTachometerFile(ch))
            ++count;
    return count;
}

int CMainFrame::PostProcessTriggerSearch()
{
    const TriggerSettings& trig = Settings.Trigger;
    const int t = int(trig.TriggerChannel);
    TWaveFile* tfile = Settings.Files[t].File.get();
    const ChannelProcessingSettings& tp = Settings.Processing[t];
    const long long endFrame = tfile->GetEndFrame();
    const long long block = ChannelBlockLength(t);
    TriggerDetected = false;
    StatusbarUpdate(1);
    // The search position is kept within the file: a read never starts past its end.
    TriggerSearchFrame = std::clamp(TriggerSearchFrame, 0LL, endFrame);
    if (tfile->GetPosition() >= endFrame - block || TriggerSearchFrame >= endFrame) {
        StopPostProcess();
        return 0;
    }
    const DWORD count = DWORD(std::min<long long>(2LL * tp.FFTsize, endFrame - TriggerSearchFrame));
    const std::unique_ptr<TSampleBuffer> piece = NewTriggerPiece(count, tfile->GetFormat(), Settings.Calibration[t].DTGain);
    if (piece == nullptr)
        return 0;
    if (!tfile->ReadSamples(piece->GetSamplePtr(0), DWORD(TriggerSearchFrame), count,
                            int(Settings.Files[t].FileChannel))) {
        ReportWaveReadFailure(*tfile);
        StopPostProcess();
        return -1;
    }
    TriggerSearchFrame += count;
    DWORD index = 0;
    const bool hit = piece->FindTrigger(trig, 0, count, index) || TriggerForce;
    if (!hit)
        return 0;
    TriggerDetected = true;
    StatusbarUpdate(1);
    long long event = TriggerSearchFrame - count + index + TriggerDelaySamples(piece->GetSampleRate());
    // A pre-trigger span reaching before the file's start begins the block at its first frame.
    event = std::max(event, 0LL);
    for (int ch = 0; ch < kChannels; ++ch) {
        TWaveFile* file = Settings.Files[ch].File.get();
        if (file != nullptr)
            file->Seek(DWORD(std::min<long long>(event, file->GetEndFrame())));
    }
    if (!trig.PromptToAccept)
        return 1;
    for (int ch = 0; ch < kChannels; ++ch) {
        TWaveFile* file = Settings.Files[ch].File.get();
        if (file == nullptr || file->GetPosition() + (long long)ChannelBlockLength(ch) > file->GetEndFrame())
            continue;
        const TChannelProcessing::FileRead read = Channel(ch).ReadFileBlock(*file, Settings.Files[ch].FileChannel);
        if (read == TChannelProcessing::FileRead::NoBuffer)
            continue;
        if (read == TChannelProcessing::FileRead::Failed) {
            ReportWaveReadFailure(*file);
            StopPostProcess();
            return -1;
        }
        if (TimeSeriesPlot[ch] != nullptr)
            TimeSeriesPlot[ch]->UpdateFrame(0.0f);
    }
    const int answer = AskToAcceptTrigger(t, "Accept This Trigger Event?");
    if (answer == IDYES)
        return 1;
    TriggerDetected = false;
    StatusbarUpdate(1);
    if (answer == IDCANCEL)
        StopPostProcess();
    return -1;
}

// ---- File positions -------------------------------------------------------------------

double CMainFrame::GetChannelFileTime(int channel) const
{
    if (channel < 0 || channel >= kChannels || Settings.Files[channel].File == nullptr)
        return 0.0;
    return Settings.Files[channel].File->GetPositionSeconds();
}

void CMainFrame::SetChannelFileTime(int channel, float seconds)
{
    if (channel < 0 || channel >= kChannels || Settings.Files[channel].File == nullptr)
        return;
    Settings.Files[channel].File->SeekSeconds(seconds);
    if (TimeSeriesPlot[channel] != nullptr)
        TimeSeriesPlot[channel]->ShowTimePosition(seconds);
}

void CMainFrame::SetChannelFilePosition(int channel, DWORD frame)
{
    if (channel < 0 || channel >= kChannels || Settings.Files[channel].File == nullptr)
        return;
    TWaveFile* file = Settings.Files[channel].File.get();
    file->Seek(frame);
    if (TimeSeriesPlot[channel] != nullptr)
        TimeSeriesPlot[channel]->ShowTimePosition(static_cast<float>(file->FramesToSeconds(frame)));
}

float CMainFrame::GetChannelFileDuration(int channel) const
{
    if (channel < 0 || channel >= kChannels || Settings.Files[channel].File == nullptr)
        return 0.0f;
    return Settings.Files[channel].File->GetEndSeconds();
}

void CMainFrame::RewindWaveFiles()
{
    ShowLiveSeriesPlotsFiles();
    for (int ch = 0; ch < kChannels; ++ch) {
        TWaveFile* file = Settings.Files[ch].File.get();
        if (file == nullptr)
            continue;
        file->Rewind();
        if (TimeSeriesPlot[ch] != nullptr)
            TimeSeriesPlot[ch]->ShowTimePosition(0.0f);
    }
    ToolbarUpdateState();
}

void CMainFrame::SeekWaveFilesToEnd()
{
    for (int ch = 0; ch < kChannels; ++ch) {
        TWaveFile* file = Settings.Files[ch].File.get();
        if (file == nullptr)
            continue;
        file->SeekEnd();
        if (TimeSeriesPlot[ch] != nullptr)
            TimeSeriesPlot[ch]->ShowTimePosition(file->GetLengthSeconds());
    }
    ToolbarUpdateState();
}
