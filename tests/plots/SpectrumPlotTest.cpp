// Spectrum, spectrogram and surface windows: bindings, autoscale of the spectrum from its
// engine's levels, and the history they do not keep yet.
#include "PlotTestSupport.h"

#include "records/SpectrogramPlotSettings.h"
#include "records/SpectrumPlotSettings.h"
#include "records/SurfacePlotSettings.h"
#include "dsp/SpectralTestSupport.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "plots/spectrum/TSpectraPlot.h"

#include <cmath>

using namespace spectral_test;

namespace {
class SpectrumWindows : public PlotWindows {
protected:
    TSpectraPlot* OpenSpectrum(SpectralData* a, SpectralData* b = nullptr)
    {
        auto* p = new TSpectraPlot;
        CRect r(0, 0, 500, 350);
        EXPECT_TRUE(p->Create("Spectrum - Crown", kStyle, &r, &processing, &scaling, &markers, &settings, a, b, 0));
        return p;
    }
    ChannelProcessingSettings processing = Processing(4000, 1024);
    ChannelScalingSettings scaling = Scaling(1);
    MarkerSettings markers;
    SpectrumPlotSettings settings;
};
} // namespace

TEST_F(SpectrumWindows, AutoscaleInDecibelsFramesTheSpectrumOnTenDecibelSteps)
{
    SpectralData engine(&processing, &scaling, false);
    TSmoothing window(1024, TSmoothing::kHanning, 2);
    FeedBlock(engine, window, {{100.0, 0.5}, {300.0, 0.001}});
    engine.Average(false);
    settings.PeakHold = 0;
    settings.ShowPowerMeter = 0;
    TSpectraPlot* p = OpenSpectrum(&engine);
    p->Autoscale();

    const double highest = engine.MaxLevel(engine.GetFirstBin(), engine.GetLastBin());
    float f = 0, lowest = 0;
    engine.FindMinimumInRange(engine.GetFirstBin(), engine.GetLastBin(), &f, &lowest);
    ASSERT_GT(highest - lowest, 20.0);
    const double top = settings.PlotTop;
    EXPECT_EQ(std::fmod(top, 10.0), 0.0);
    EXPECT_GE(top, highest);
    EXPECT_LT(top - highest, 10.0 + 1e-9);
    EXPECT_LE(settings.PlotRange, 200.0);
    if (top - settings.PlotRange > -300.0 && settings.PlotRange < 200.0)
        EXPECT_LE(top - settings.PlotRange, lowest);
}

TEST_F(SpectrumWindows, AutoscaleWithoutAUsableSpanOrWithoutDataChangesNothing)
{
    // An engine that has seen nothing: every level equal, no span.
    SpectralData engine(&processing, &scaling, false);
    TSpectraPlot* p = OpenSpectrum(&engine);
    p->Autoscale();
    EXPECT_EQ(settings.PlotTop, -55.0f);
    EXPECT_EQ(settings.PlotRange, 45.0);

    p->SetData(nullptr, nullptr);
    p->Autoscale();
    EXPECT_EQ(settings.PlotTop, -55.0f);
}

TEST_F(SpectrumWindows, LinearAutoscaleRoundsTheTopUpToTheNextUnit)
{
    // The top is the next whole unit (power of ten) above the highest level.
    scaling = Scaling(0);
    SpectralData engine(&processing, &scaling, false);
    TSpectraPlot* p = OpenSpectrum(&engine);
    double top = 0, bottom = 0;
    settings.PeakHold = 0;
    settings.ShowPowerMeter = 0;
    TSmoothing window(1024, TSmoothing::kHanning, 2);
    FeedBlock(engine, window, {{100.0, 0.5}});
    engine.Average(false);
    ASSERT_TRUE(p->FindAutoscaleLimits(&engine, engine.GetFirstBin(), engine.GetLastBin(), &top, &bottom));
    const double highest = engine.MaxLevel(engine.GetFirstBin(), engine.GetLastBin());
    const double unit = std::pow(10.0, std::trunc(std::log10(highest)));
    EXPECT_DOUBLE_EQ(top, unit * std::trunc(highest / unit + 1));
    EXPECT_GT(top, highest);
}

TEST_F(SpectrumWindows, BindingsUnitsAndToolStrip)
{
    SpectralData a(&processing, &scaling, false);
    SpectralData b(&processing, &scaling, false);
    TSpectraPlot* p = OpenSpectrum(&a, &b);
    EXPECT_EQ(p->GetPaneMode(), 2);
    p->SetData(&a, nullptr);
    EXPECT_EQ(p->GetTraceA(), &a);
    EXPECT_EQ(p->GetTraceB(), nullptr);
    EXPECT_EQ(p->GetPaneMode(), 1);
    EXPECT_STREQ(p->GetXUnit(), " Hz");
    p->SetTimeUnitsMsec(true);
    EXPECT_STREQ(p->GetXUnit(), " msec");
    p->ShowToolbar(false);
    EXPECT_EQ(settings.ShowToolbar, 0);
    EXPECT_EQ(p->GetToolStripHeight(), 0);
    EXPECT_FALSE(p->CanCut());
    EXPECT_FALSE(p->CanPlayOrFilter());
}

TEST_F(SpectrumWindows, SpectrogramAndSurfaceKeepTheirBindingsAndNoHistoryYet)
{
    SpectrogramPlotSettings gs;
    SurfacePlotSettings ss;
    SpectralData a(&processing, &scaling, false);
    CRect r(0, 0, 400, 300);
    auto* g = new TSpectrogram;
    ASSERT_TRUE(g->Create("Spectrogram - Crown", kStyle, &r, processing, scaling, markers, &gs, &a, 0, 3, 0));
    auto* s = new TSurfacePlot;
    ASSERT_TRUE(s->Create("Composite 3-D Surface Channel B", kStyle, &r, processing, scaling, markers, &ss, &a, 0, 1, 1));
    EXPECT_EQ(g->GetTraceA(), &a);
    EXPECT_EQ(g->GetChannel(), 3);
    EXPECT_FALSE(g->IsComposite());
    EXPECT_TRUE(s->IsComposite());

    ChannelScalingSettings other = Scaling(0);
    g->SetScalingSettings(other);
    EXPECT_EQ(g->GetScalingSettings().AmpScaleType, 0);

    // Nothing is recorded, and nothing pretends to be.
    g->AddSpectrum(1.5f);
    g->SetHistoryLine(0, 2.0f);
    g->Rebuild(0, &a, nullptr);
    s->Rebuild(&a, nullptr);
    EXPECT_LE(g->GetLineCapacity(), 0);
    EXPECT_LE(s->GetLineCapacity(), 0);
    EXPECT_EQ(g->GetHistoryStartTime(), 0.0f);
    EXPECT_EQ(g->GetHistoryEndTime(), 0.0f);
    float t0 = 0, t1 = 0;
    g->GetSelectedSegment(t0, t1);
    EXPECT_EQ(t1, 0.0f);
    EXPECT_FALSE(g->CanCut());

    gs.Direction = 1;
    EXPECT_EQ(g->GetOrientation(), 1);
    g->ShowToolbar(false);
    EXPECT_EQ(gs.ShowToolbar, 0);
    s->ShowToolbar(false);
    EXPECT_EQ(ss.ShowToolbar, 0);
}
