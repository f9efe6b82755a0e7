// Live redraw of spectrum windows: eight input-channel windows of 1280 x 800, FFT 4096, each
// updated once per block as a run does (erase the previous polylines, draw the new ones,
// meter, grid, markers) and presented by the event loop. "share_of_33ms_frame" is the
// processor time of one round of eight updates as a fraction of a 33 ms frame; live runs keep
// 30 frames per second on one core while it stays below 1/3.
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/MarkerSettings.h"
#include "records/SpectrumPlotSettings.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/core/Resources.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/WinApp.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "res/resource.h"

#include <benchmark/benchmark.h>

#include <array>
#include <ctime>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kWindows = 8;
constexpr DWORD kFft = 4096;

struct Channel {
    ChannelProcessingSettings processing;
    ChannelScalingSettings scaling;
    MarkerSettings markers;
    SpectrumPlotSettings settings;
    std::unique_ptr<SpectralData> engine;
    TSpectraPlot* plot = nullptr;
};

void Feed(SpectralData& d, const TSmoothing& w, std::mt19937& gen, double tone)
{
    std::normal_distribution<float> noise(0.0f, 20000.0f);
    for (DWORD i = 0; i < kFft; ++i)
        d.SetTimeSample(i, static_cast<float>(3000000.0 * std::sin(tone * i)) + noise(gen));
    w.Apply(d.GetFrame());
    d.ComputeSpectrum();
    d.Average(false);
    d.UpdatePeakHold();
}

void BM_EightSpectrumWindowsPerBlock(benchmark::State& state)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    AfxEnsureQtApplication();
    RegisterBuiltInResources();
    CWinApp app;
    auto* frame = new CMDIFrameWnd;
    if (!frame->LoadFrame(IDR_MAINFRAME)) {
        state.SkipWithError("no frame");
        return;
    }
    app.m_pMainWnd = frame;
    frame->MoveWindow(0, 0, 1400, 900);
    frame->ShowWindow(SW_SHOW);

    std::array<Channel, kWindows> channels;
    std::mt19937 gen(1);
    TSmoothing window(kFft, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    for (int c = 0; c < kWindows; ++c) {
        Channel& ch = channels[static_cast<size_t>(c)];
        ch.processing.SampleFormat.Set(48000, 1, 3);
        ch.processing.FFTsize = kFft;
        ch.processing.AverageBlocks = 4;
        ch.settings.StartFreq = 0.0f;
        ch.settings.StopFreq = 24000.0f;
        ch.settings.PlotTop = 0.0f;
        ch.settings.PlotRange = 120.0;
        ch.settings.PeakHold = 2;
        ch.markers.Enabled[0] = 1;
        ch.markers.Freq[0] = 1000.0f;
        ch.markers.LabelType[0] = 3;
        ch.engine = std::make_unique<SpectralData>(&ch.processing, &ch.scaling, false);
        ch.engine->SetPeakDecay(2);
        Feed(*ch.engine, window, gen, 0.05 + 0.01 * c);
        ch.plot = new TSpectraPlot;
        CRect r(0, 0, 1280, 800);
        ch.plot->Create("Spectrum", WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, &r, &ch.processing, &ch.scaling,
                        &ch.markers, &ch.settings, ch.engine.get(), nullptr, c);
    }
    AfxPumpMessages();
    // Two spectra per channel, alternated, so that every update moves the traces.
    std::array<std::unique_ptr<SpectralData>, kWindows> other;
    for (int c = 0; c < kWindows; ++c) {
        Channel& ch = channels[static_cast<size_t>(c)];
        other[static_cast<size_t>(c)] = std::make_unique<SpectralData>(&ch.processing, &ch.scaling, false);
        other[static_cast<size_t>(c)]->SetPeakDecay(2);
        Feed(*other[static_cast<size_t>(c)], window, gen, 0.07 + 0.01 * c);
    }
    float t = 0.0f;
    bool flip = false;
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        flip = !flip;
        t += 0.05f;
        for (int c = 0; c < kWindows; ++c) {
            Channel& ch = channels[static_cast<size_t>(c)];
            SpectralData* engine = flip ? other[static_cast<size_t>(c)].get() : ch.engine.get();
            ch.plot->SetData(engine, nullptr);
            ch.plot->UpdateFrame(t);
        }
        AfxPumpMessages();
    }
    // Processor time of the whole process (the event loop's helper threads included), so that a
    // busy machine does not count its other work against the windows.
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (state.iterations() > 0)
        state.counters["share_of_33ms_frame"] = seconds / static_cast<double>(state.iterations()) / 0.033;
    frame->DestroyWindow();
    app.m_pMainWnd = nullptr;
    AfxPumpMessages();
}
BENCHMARK(BM_EightSpectrumWindowsPerBlock)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
