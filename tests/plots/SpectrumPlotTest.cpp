// Spectrum windows: bindings and autoscale of the spectrum from its engine's levels.
#include "PlotTestSupport.h"

#include "records/MarkerSettings.h"
#include "records/SpectrumPlotSettings.h"
#include "dsp/SpectralTestSupport.h"
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
