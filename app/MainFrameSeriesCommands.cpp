// The frame's side of the time-series plot's segment commands: the plot sends what it has
// selected, the frame makes the plot active (its edit commands act on the active plot) and
// runs the command on the channel's wave file.
#include "app/CMainFrame.h"

#include "records/AppMessages.h"
#include "plots/TSeriesPlot.h"

LRESULT CMainFrame::OnSeriesSegmentCommand(WPARAM wParam, LPARAM lParam)
{
    const auto* request = reinterpret_cast<const SeriesSegmentRequest*>(lParam);
    if (request == nullptr || request->channel < 0 || request->channel >= kChannels)
        return 0;
    const int channel = request->channel;
    const float start = request->start;
    const float end = request->end;
    if (TimeSeriesPlot[channel] != nullptr && MDIGetActive() != TimeSeriesPlot[channel])
        MDIActivate(TimeSeriesPlot[channel]);
    switch (wParam) {
    case kSeriesSelectAll: OnSelectAll(); return 1;
    case kSeriesCut: OnEditCut(); return 1;
    case kSeriesCopyWave: OnEditCopy(); return 1;
    case kSeriesMute: OnEditMute(); return 1;
    case kSeriesFilter: OnEditFilter(); return 1;
    case kSeriesAverageSpectrum: ComputeSegmentAverageSpectrum(channel, start, end, false); return 1;
    case kSeriesSpectrogram: RebuildSpectrogramFromSegment(channel, start, end, false, true); return 1;
    case kSeriesSurface: RebuildSurfaceFromSegment(channel, start, end, false, true); return 1;
    case kSeriesDtmf: RunDtmfDetection(channel, start, end); return 1;
    case kSeriesRmsLevel: ShowSegmentStatistics(channel, start, end); return 1;
    case kSeriesCrestFactor: ShowCrestFactor(channel, start, end); return 1;
    case kSeriesHilbertEnvelope: ComputeHilbertTransform(channel, start, end); return 1;
    case kSeriesSchroeder: ComputeSchroederIntegration(channel, start, end); return 1;
    case kSeriesSpectrumAtTime: ComputeSpectrumAtTime(channel, start); return 1;
    case kSeriesPlay: return StartSegmentPlayback(channel, start, end) ? 1 : 0;
    case kSeriesReverb: return AnalyzeReverbSegment(channel, start, end) ? 1 : 0;
    default: return 0;
    }
}

void CMainFrame::ShowSeriesPlotFile(int channel)
{
    TSeriesPlot* plot = TimeSeriesPlot[channel];
    if (plot == nullptr)
        return;
    Settings.TimeSeriesOpts[channel].TimeSeriesDataSource = 0;
    if (Settings.Files[channel].File != nullptr)
        plot->SetTimeRange(0.0f, 999999.9f);
    else
        plot->RestoreView();
    plot->UpdateLayout();
    SetChannelFileTime(channel, static_cast<float>(GetChannelFileTime(channel)));
}

void CMainFrame::ShowLiveSeriesPlotsFiles()
{
    // A single step (Enter) leaves the plots on the block it analysed, and a computed signal
    // stays until the user asks for the file again: once no run is going, Stop and Rewind do.
    constexpr WORD kPostProcess = 2;
    if (Settings.OpMode != kPostProcess || PostProcessBusy)
        return;
    for (int ch = 0; ch < kChannels; ++ch)
        if (TimeSeriesPlot[ch] != nullptr && Settings.Files[ch].File != nullptr &&
            Settings.TimeSeriesOpts[ch].TimeSeriesDataSource != 0)
            ShowSeriesPlotFile(ch);
}

void CMainFrame::OnStopCommand()
{
    OnStop();
    ShowLiveSeriesPlotsFiles();
}
