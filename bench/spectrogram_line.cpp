// Adding one spectrum to a spectrogram whose frequency axis is 1920 pixels wide (time running
// down, as by default): the colour of every pixel, the scroll of the picture and its copy to
// the window. "frame_fraction" is the time of one line as a fraction of a 33 ms display frame.
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/MarkerSettings.h"
#include "records/SpectrogramPlotSettings.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "platform/core/Resources.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

namespace {

void BM_SpectrogramLine(benchmark::State& state)
{
    AfxEnsureQtApplication();
    RegisterBuiltInResources();
    CWinApp app;
    auto* frame = new CMDIFrameWnd;
    frame->LoadFrame(IDR_MAINFRAME);
    app.m_pMainWnd = frame;
    frame->MoveWindow(0, 0, 2300, 900);
    frame->ShowWindow(SW_SHOW);

    ChannelProcessingSettings p;
    p.SampleFormat.Set(48000, 1, 3);
    p.FFTsize = 4096;
    p.DecimationRatio = 1;
    ChannelScalingSettings s;
    SpectralData engine(&p, &s, false);
    TSmoothing w(4096, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    for (DWORD i = 0; i < 4096; ++i)
        engine.SetTimeSample(i, static_cast<float>(4000000.0 * std::sin(0.3 * i)));
    w.Apply(engine.GetFrame());
    engine.ComputeSpectrum();
    engine.Average(false);

    SpectrogramPlotSettings settings;
    settings.UseFullSpan = 1;
    settings.Direction = 3;
    MarkerSettings markers;
    auto* plot = new TSpectrogram;
    // 84 + 1920 + 76 pixels of client area, and the frame's border.
    CRect r(0, 0, 84 + 1920 + 76 + 8, 700);
    plot->Create("Spectrogram - Crown", WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, &r, p, s, markers, &settings,
                 &engine, 0, 0, 0);
    AfxPumpMessages();
    state.counters["axis_pixels"] = static_cast<double>(plot->GetFrequencyMap().size());

    float t = 0.0f;
    for (auto _ : state) {
        t += 0.01f;
        plot->AddSpectrum(t);
    }
    // seconds per line / 0.033
    state.counters["frame_fraction"] =
        benchmark::Counter(0.033, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    frame->DestroyWindow();
    AfxPumpMessages();
}
BENCHMARK(BM_SpectrogramLine)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
