// Playback of a selected time segment of an input channel's wave file through the sound card:
// the Edit menu's Play commands, the plots' Play requests, and the refill of two one-second
// buffers that the sound output plays in turn.
#include "app/CMainFrame.h"

#include "acquisition/TSoundOutput.h"
#include "acquisition/TUsbDevice.h"
#include "app/CEnterPlaybackRateDlg.h"
#include "platform/core/MessageBox.h"
#include "platform/sound/WaveOut.h"
#include "platform/ui/Menu.h"
#include "plots/TSeriesPlot.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "records/AppMessages.h"
#include "wave/TWaveData.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>

DWORD CMainFrame::LastArbitraryRate = 0;

// ---- Commands ------------------------------------------------------------------------------

TPlotBase* CMainFrame::PlaybackPlot(int* channel) const
{
    int kind = 0, ch = -1, composite = 0;
    if (!GetActivePlot(&kind, &ch, &composite) || composite != 0 || ch < 0 || ch >= kChannels)
        return nullptr;
    if ((kind != 1 && kind != 4 && kind != 5) || Settings.Files[ch].File == nullptr)
        return nullptr;
    *channel = ch;
    return GetPlot(kind, ch, false);
}

void CMainFrame::PlayActivePlot(TPlotBase* plot, DWORD rate, bool loop)
{
    PlaybackRate = rate;
    PlaybackLoop = loop;
    if (auto* series = dynamic_cast<TSeriesPlot*>(plot))
        series->OnPlaySegment();
    else if (auto* spectrogram = dynamic_cast<TSpectrogram*>(plot))
        spectrogram->OnPlaySegment();
    else if (auto* surface = dynamic_cast<TSurfacePlot*>(plot))
        surface->OnPlaySegment();
}

void CMainFrame::OnPlay()
{
    int channel = 0;
    if (TPlotBase* plot = PlaybackPlot(&channel))
        PlayActivePlot(plot, Settings.Files[channel].File->GetSampleRate(), false);
}

void CMainFrame::OnPlayLoop()
{
    int channel = 0;
    if (TPlotBase* plot = PlaybackPlot(&channel))
        PlayActivePlot(plot, Settings.Files[channel].File->GetSampleRate(), true);
}

void CMainFrame::OnPlayHalfSpeed()
{
    int channel = 0;
    if (TPlotBase* plot = PlaybackPlot(&channel))
        PlayActivePlot(plot, Settings.Files[channel].File->GetSampleRate() / 2, false);
}

void CMainFrame::OnPlayDoubleSpeed()
{
    int channel = 0;
    if (TPlotBase* plot = PlaybackPlot(&channel)) {
        const std::uint64_t doubled = std::uint64_t(Settings.Files[channel].File->GetSampleRate()) * 2;
        PlayActivePlot(plot, DWORD(std::min<std::uint64_t>(doubled, 0xFFFFFFFFu)), false);
    }
}

void CMainFrame::OnPlayArbitrarySpeed()
{
    int channel = 0;
    TPlotBase* plot = PlaybackPlot(&channel);
    if (plot == nullptr)
        return;
    if (LastArbitraryRate == 0)
        LastArbitraryRate = Settings.Files[channel].File->GetSampleRate();
    CEnterPlaybackRateDlg dialog(this, &LastArbitraryRate);
    if (dialog.DoModal() != IDOK)
        return;
    // The dialog ran modal: the plot may have gone meanwhile.
    if (PlaybackPlot(&channel) == plot)
        PlayActivePlot(plot, LastArbitraryRate, false);
}

void CMainFrame::OnUpdatePlayback(CCmdUI* pCmdUI)
{
    int kind = 0, channel = -1, composite = 0;
    bool enable = false;
    if (GetActivePlot(&kind, &channel, &composite) && composite == 0 && channel >= 0 && channel < kChannels &&
        (kind == 1 || kind == 4 || kind == 5)) {
        TPlotBase* plot = GetPlot(kind, channel, false);
        enable = plot != nullptr && plot->CanPlayOrFilter();
    }
    pCmdUI->Enable(enable);
}

LRESULT CMainFrame::OnPlaySegmentMessage(WPARAM, LPARAM lParam)
{
    const auto* request = reinterpret_cast<const PlaySegmentRequest*>(lParam);
    if (request == nullptr)
        return FALSE;
    return StartSegmentPlayback(request->Channel, request->Start, request->End) ? TRUE : FALSE;
}

// ---- Starting ------------------------------------------------------------------------------

bool CMainFrame::StartSegmentPlayback(int channel, float start, float end)
{
    // A refusal leaves playback idle, so a rate or loop set for this attempt isn't inherited
    // by the next Play button press.
    auto refuse = [this] {
        PlaybackFile = nullptr;
        PlaybackRate = 0;
        PlaybackLoop = false;
        return false;
    };
    if (IsRunning())
        OnStop();
    if (Playing) {
        StopPlayback(); // a second Play stops the first
        return false;
    }
    if (channel < 0 || channel >= kChannels || Settings.Files[channel].File == nullptr)
        return refuse();
    if (end <= start) {
        AfxMessageBox("You must first select a time segment.", MB_OK | MB_ICONERROR);
        return refuse();
    }
    start = std::max(start, 0.0f);
    end = std::max(end, 0.0f);
    if (!(end - start > 0.0f))
        return refuse();

    TWaveFile* file = Settings.Files[channel].File.get();
    PlaybackFile = file;
    PlaybackStartFrame = static_cast<std::int32_t>(file->SecondsToFrames(start));
    PlaybackEndFrame = static_cast<std::int32_t>(file->SecondsToFrames(end));
    PlaybackCurrentFrame = PlaybackStartFrame;
    PlaybackFileSlot = Settings.Files[channel].FileChannel;
    if (PlaybackRate == 0)
        PlaybackRate = file->GetSampleRate();
    const bool started = Settings.UseSoundCardForOutput ? OpenSoundCardPlayback() : OpenDevicePlayback();
    if (!started) {
        if (Settings.UseSoundCardForOutput)
            DeletePlaybackObjects();
        return refuse();
    }
    return true;
}

bool CMainFrame::OpenSoundCardPlayback()
{
    if (PlaybackFile == nullptr)
        return false;
    DeletePlaybackObjects();
    SoundOutput.reset(new (std::nothrow) TSoundOutput(int(Settings.SoundCardDeviceIndex)));
    if (SoundOutput == nullptr || SoundOutput->IsError())
        return false;
    const WORD bytes = PlaybackFile->GetBytesPerSample();
    SoundOutput->SetFormat(PlaybackRate, 1, bytes);
    if (!SoundOutput->Open(this, false)) {
        AfxMessageBox("Failure opening sound card for playback.", MB_OK | MB_ICONERROR);
        return false;
    }
    for (int h = 0; h < 2; ++h) {
        PlaybackWave[h].reset(new (std::nothrow) TWaveData(PlaybackRate, TPcmFormat(PlaybackRate, 1, bytes)));
        const TWaveData* buffer = PlaybackWave[h].get();
        if (buffer == nullptr || buffer->IsError()) {
            AfxMessageBox("Playback Error - insufficient memory available.  Please reduce the length of the selected "
                          "time segment.",
                          MB_OK | MB_ICONERROR);
            return false;
        }
    }
    Playing = true;
    StatusbarUpdate(1);
    // The first completion fills both buffers.
    PostMessage(MM_WOM_DONE, 0, 0);
    return true;
}

// The KDR-5200 has no analog output, so this road ends at the output's refusal, which is
// reported rather than leaving Play without a word.
bool CMainFrame::OpenDevicePlayback()
{
    if (AcquisitionRunning)
        OnStop();
    if (PlaybackFile == nullptr)
        return false;
    if (Settings.DTOutputDeviceIndex < 0) {
        AfxMessageBox("There are no Durnex KDR-5200 Series data acquisition devices available on your system.",
                      MB_OK | MB_ICONERROR);
        return false;
    }
    if (OutputDevice == nullptr || !OutputDevice->OpenDevice(this, Settings.DTOutputDeviceIndex, 1)) {
        AfxMessageBox("Failure opening Durnex KDR-5200 Series data acquisition device.  Please check the cabling and "
                      "retry.",
                      MB_OK | MB_ICONERROR);
        return false;
    }
    if (!OutputDevice->OpenOutput(static_cast<int>(PlaybackRate), PlaybackFile->GetBytesPerSample() * 8, 1)) {
        OutputDevice->CloseDevice();
        AfxMessageBox("Failure Configuring KDR5200 Output subsystem.", MB_OK | MB_ICONERROR);
        return false;
    }
    OutputDevice->CloseDevice();
    return false;
}

// ---- Refilling and stopping ----------------------------------------------------------------

LRESULT CMainFrame::OnWaveOutDone(WPARAM, LPARAM)
{
    if (!Playing || PlaybackFile == nullptr || SoundOutput == nullptr)
        return 0;
    for (int h = 0; h < 2; ++h) {
        TWaveData* buffer = PlaybackWave[h].get();
        if (buffer == nullptr || !SoundOutput->IsHeaderDone(h))
            continue;
        buffer->Silence();
        if (PlaybackCurrentFrame >= PlaybackEndFrame) {
            if (!PlaybackLoop)
                continue; // this header stays idle
            PlaybackCurrentFrame = PlaybackStartFrame;
        }
        const DWORD first = DWORD(PlaybackCurrentFrame);
        const DWORD frames = std::min<DWORD>(buffer->GetLength(), DWORD(PlaybackEndFrame - PlaybackCurrentFrame));
        // The channel's samples in one read; frames past the file's end stay silent.
        const DWORD length = PlaybackFile->GetLength();
        const DWORD inFile = first < length ? std::min(frames, length - first) : 0;
        if (inFile > 0 && !PlaybackFile->ReadSamples(buffer->GetData(), first, inFile, int(PlaybackFileSlot))) {
            ReportWaveReadFailure(*PlaybackFile);
            StopPlayback();
            return 0;
        }
        PlaybackCurrentFrame += std::int32_t(frames);
        if (PlaybackCurrentFrame >= PlaybackEndFrame)
            std::fputs("Playback Segment Limit Reached\n", stderr);
        SoundOutput->Write(buffer->GetData(), buffer->GetDataBytes(), h, false, nullptr);
        // A failed write or start has shown its message and may have closed the port.
        if (SoundOutput == nullptr || !SoundOutput->Restart())
            break;
    }
    if (SoundOutput != nullptr && SoundOutput->AllHeadersDone())
        StopPlayback();
    return 0;
}

void CMainFrame::StopPlayback()
{
    if (OutputDevice != nullptr)
        OutputDevice->StopOutput();
    PlaybackFile = nullptr;
    PlaybackStartFrame = 0;
    PlaybackEndFrame = 0;
    PlaybackCurrentFrame = 0;
    PlaybackRate = 0;
    PlaybackLoop = false;
    Playing = false;
    DeletePlaybackObjects();
    for (int ch = 0; ch < kChannels; ++ch) {
        if (TimeSeriesPlot[ch] != nullptr)
            TimeSeriesPlot[ch]->ReleasePlayButton();
        if (SpectrogramPlot[ch] != nullptr)
            SpectrogramPlot[ch]->ReleasePlayButton();
        if (SurfacePlot[ch] != nullptr)
            SurfacePlot[ch]->ReleasePlayButton();
    }
    StatusbarUpdate(1);
}

void CMainFrame::DeletePlaybackObjects()
{
    if (SoundOutput != nullptr) {
        SoundOutput->Stop();
        SoundOutput.reset();
    }
    for (std::unique_ptr<TWaveData>& wave : PlaybackWave)
        wave.reset();
}
