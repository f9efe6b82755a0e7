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
