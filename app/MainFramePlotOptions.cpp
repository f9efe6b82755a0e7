// The plot options sheet: the one editor of the channels' plot records outside configuration
// loading and the plots' own controls, and the refresh of exactly the plots it changed.
#include "app/CMainFrame.h"

#include "dsp/SpectralData.h"
#include "plots/CPlotOptionsMain.h"
#include "plots/TPhasePlot.h"
#include "plots/TSeriesPlot.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "records/AppMessages.h"

#include <cstring>
#include <memory>

namespace {
template <typename T>
bool Changed(const T& a, const T& b)
{
    return std::memcmp(static_cast<const void*>(&a), static_cast<const void*>(&b), sizeof(T)) != 0;
}

// One channel set's plot records, as the frame holds them: 8 input channels or 16 composites.
template <int N>
struct PlotRecords {
    TimeSeriesPlotSettings Series[N];
    SpectrumPlotSettings Spectrum[N];
    MarkerSettings Markers[N];
    PhasePlotSettings Phase[N];
    SpectrogramPlotSettings Spectrogram[N];
    SurfacePlotSettings Surface[N];
};
} // namespace

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Commands come as WM_COMMAND without a control (menus, keys, the tool windows' buttons,
    // those posted by the plots); the rest are control notifications, which read nothing.
    if ((message == WM_COMMAND && lParam == 0) || message == WM_LOAD_CONFIGURATION || message == WM_CLOSE)
        FinishPlotTyping();
    return CMDIFrameWnd::WindowProc(message, wParam, lParam);
}

void CMainFrame::FinishPlotTyping()
{
    ForEachOpenPlot([](TPlotBase* plot) { plot->FinishPendingTyping(); });
}

void CMainFrame::OnPlotOptions()
{
    SkipNextEnterRun = 1;
    int kind = 0, channel = 0, composite = 0;
    if (!GetActivePlot(&kind, &channel, &composite) || kind < 1 || kind > kPlotKinds)
        ShowPlotOptions(1, 0);
    else if (composite)
        ShowCompositePlotOptions(kind, channel);
    else
        ShowPlotOptions(kind, channel);
}

void CMainFrame::ShowPlotOptions(int kind, int channel)
{
    SkipNextEnterRun = 1;
    auto before = std::make_unique<PlotRecords<kChannels>>();
    auto work = std::make_unique<PlotRecords<kChannels>>();
    // What the frame holds now: taken when the sheet opens as its working copies, and again
    // when it closes with OK as what the plots show, so a plot whose record changed meanwhile
    // (its own tool strip, autoscale) is redrawn with what the sheet wrote back.
    const auto take = [this](PlotRecords<kChannels>& r) {
        for (int ch = 0; ch < kChannels; ++ch) {
            r.Series[ch] = Settings.TimeSeriesOpts[ch];
            r.Spectrum[ch] = Settings.SpectrumOpts[ch];
            r.Markers[ch] = Settings.Markers[ch];
            r.Phase[ch] = Settings.PhaseOpts[ch];
            r.Spectrogram[ch] = Settings.SpectrogramOpts[ch];
            r.Surface[ch] = Settings.SurfaceOpts[ch];
        }
    };
    WORD scales[kChannels];
    for (int ch = 0; ch < kChannels; ++ch)
        scales[ch] = Settings.Scaling[ch].AmpScaleType;
    take(*work);
    {
        CPlotOptionsMain sheet("Plot Options", this, kind, channel, work->Series, work->Spectrum, work->Markers,
                               work->Phase, work->Spectrogram, work->Surface, 0);
        sheet.SetAmpScaleTypes(scales, kChannels);
        if (sheet.DoModal() != IDOK)
            return;
    }
    take(*before);
    for (int ch = 0; ch < kChannels; ++ch) {
        Settings.TimeSeriesOpts[ch] = work->Series[ch];
        Settings.SpectrumOpts[ch] = work->Spectrum[ch];
        Settings.Markers[ch] = work->Markers[ch];
        Settings.PhaseOpts[ch] = work->Phase[ch];
        Settings.SpectrogramOpts[ch] = work->Spectrogram[ch];
        Settings.SurfaceOpts[ch] = work->Surface[ch];
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        if (TSeriesPlot* plot = TimeSeriesPlot[ch]; plot && Changed(Settings.TimeSeriesOpts[ch], before->Series[ch])) {
            plot->SetTimeRange(Settings.TimeSeriesOpts[ch].StartTime, Settings.TimeSeriesOpts[ch].StopTime);
            plot->UpdateLayout();
        }
        if (TSpectraPlot* plot = SpectrumPlot[ch];
            plot && (Changed(Settings.SpectrumOpts[ch], before->Spectrum[ch]) ||
                     Changed(Settings.Markers[ch], before->Markers[ch]))) {
            plot->UpdateLayout();
            if (Spectral[ch] != nullptr)
                Spectral[ch]->SetPeakDecay(Settings.SpectrumOpts[ch].PeakHold);
        }
        if (TPhasePlot* plot = PhasePlot[ch]; plot && Changed(Settings.PhaseOpts[ch], before->Phase[ch]))
            plot->UpdateLayout();
        if (TSpectrogram* plot = SpectrogramPlot[ch];
            plot && Changed(Settings.SpectrogramOpts[ch], before->Spectrogram[ch])) {
            plot->UpdateLayout();
            RebuildSpectrogram(ch, false, false);
        }
        if (TSurfacePlot* plot = SurfacePlot[ch]; plot && Changed(Settings.SurfaceOpts[ch], before->Surface[ch])) {
            plot->UpdateLayout();
            RebuildSurface(ch, false, false);
        }
    }
}

void CMainFrame::ShowCompositePlotOptions(int kind, int composite)
{
    SkipNextEnterRun = 1;
    auto before = std::make_unique<PlotRecords<kComposites>>();
    auto work = std::make_unique<PlotRecords<kComposites>>();
    const auto take = [this](PlotRecords<kComposites>& r) {
        for (int c = 0; c < kComposites; ++c) {
            r.Spectrum[c] = Settings.CompositeSpectrumOpts[c];
            r.Markers[c] = Settings.CompositeMarkers[c];
            r.Phase[c] = Settings.CompositePhaseOpts[c];
            r.Spectrogram[c] = Settings.CompositeSpectrogramOpts[c];
            r.Surface[c] = Settings.CompositeSurfaceOpts[c];
        }
    };
    WORD scales[kComposites];
    // A composite's plots are drawn in the amplitude scale of its source channel.
    for (int c = 0; c < kComposites; ++c)
        scales[c] = Settings.Scaling[CompositeRecordChannel(c)].AmpScaleType;
    take(*work);
    {
        CPlotOptionsMain sheet("Composite Plot Options", this, kind, composite, nullptr, work->Spectrum, work->Markers,
                               work->Phase, work->Spectrogram, work->Surface, 1);
        sheet.SetAmpScaleTypes(scales, kComposites);
        if (sheet.DoModal() != IDOK)
            return;
    }
    take(*before);
    for (int c = 0; c < kComposites; ++c) {
        Settings.CompositeSpectrumOpts[c] = work->Spectrum[c];
        Settings.CompositeMarkers[c] = work->Markers[c];
        Settings.CompositePhaseOpts[c] = work->Phase[c];
        Settings.CompositeSpectrogramOpts[c] = work->Spectrogram[c];
        Settings.CompositeSurfaceOpts[c] = work->Surface[c];
    }
    for (int c = 0; c < kComposites; ++c) {
        if (TSpectraPlot* plot = CompositeSpectrumPlot[c];
            plot && (Changed(Settings.CompositeSpectrumOpts[c], before->Spectrum[c]) ||
                     Changed(Settings.CompositeMarkers[c], before->Markers[c])))
            plot->UpdateLayout();
        if (TPhasePlot* plot = CompositePhasePlot[c]; plot && Changed(Settings.CompositePhaseOpts[c], before->Phase[c]))
            plot->UpdateLayout();
        if (TSpectrogram* plot = CompositeSpectrogramPlot[c];
            plot && Changed(Settings.CompositeSpectrogramOpts[c], before->Spectrogram[c])) {
            plot->UpdateLayout();
            RebuildSpectrogram(c, true, false);
        }
        if (TSurfacePlot* plot = CompositeSurfacePlot[c];
            plot && Changed(Settings.CompositeSurfaceOpts[c], before->Surface[c])) {
            plot->UpdateLayout();
            RebuildSurface(c, true, false);
        }
    }
}
