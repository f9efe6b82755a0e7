// The sound power window as a user reads it: a calibrated microphone's tone of known pressure
// behind a composite channel, and the row's level against ISO 3744's
// Lw = Lp - K1 - K2 + 10 log10(S / 1 m^2), with the source rules that refuse a measurement.
#include "utilities/CSoundPowerAnalysisView.h"
#include "HostRecords.h"
#include "support/MdiFrameFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace hosttest;

namespace {
class SoundPowerWindow : public MdiFrameTest<CMDIFrameWnd, 900, 700> {
protected:
    HostRecords records;
    std::unique_ptr<SpectralData> engine; // composite A's result
    CSoundPowerAnalysisView* view = nullptr;

    void SetUp() override
    {
        MdiFrameTest::SetUp();
        // The microphone averaged forever, as the measurement wants, alone in composite A.
        ChannelProcessingSettings& p = records.processing[0];
        p.FFTsize = 8192;
        p.AverageMode = 1;
        p.AverageSpeed = 4;
        CompositeChannelSettings& a = records.composites[0];
        a.CompositeType = 0;
        a.IncludeInAverage[0] = 1;
    }
    void TearDown() override
    {
        delete view;
        MdiFrameTest::TearDown();
    }

    // With one source the composite's complex sum is that channel's spectrum.
    void Measure(double pascals)
    {
        engine = records.Spectrum(pascals);
        ASSERT_NE(engine, nullptr);
    }

    void Open()
    {
        UtilityHost host = records.Host();
        host.compositeSpectral = [this](int k) { return k == 0 ? engine.get() : nullptr; };
        view = new CSoundPowerAnalysisView;
        view->SetHost(host);
        ASSERT_TRUE(view->Create(frame, 20, 20, 120, 40));
    }
    const char* Cell() const { return view->GetGrid()->GetCellText(1, 1); }
};
} // namespace

TEST_F(SoundPowerWindow, TheLevelIsIso3744sFromACalibratedPressureAndTheCorrectionsLowerIt)
{
    Measure(1.0); // 93.98 dB SPL; A-weighting is 0 dB at 1 kHz
    records.soundPower[0].SurfaceArea = 25.0f;
    records.soundPower[0].BackgroundCorrection = 1.5f;
    records.soundPower[0].EnvironmentalCorrection = 0.5f;
    Open();
    view->Update();
    const double lp = Spl(1.0);
    const double lw = lp - 1.5 - 0.5 + 10.0 * std::log10(25.0);
    EXPECT_NEAR(view->GetLevel(0), lw, 0.2);
    EXPECT_NEAR(std::atof(Cell()), lw, 0.2);

    // Twice the pressure, 6 dB more power; the copy holds what the grid shows.
    Measure(2.0);
    view->Update();
    EXPECT_NEAR(view->GetLevel(0), lw + 20.0 * std::log10(2.0), 0.2);
    char line[64];
    std::snprintf(line, sizeof line, "Channel A\t%6.2f\n", static_cast<double>(view->GetLevel(0)));
    EXPECT_EQ(view->ClipboardText(), std::string(line) + "\r\n");
}

TEST_F(SoundPowerWindow, SourcesThatDoNotAverageForeverRefuseTheMeasurementInTheirRow)
{
    Measure(1.0);
    records.processing[0].AverageMode = 1;
    records.processing[0].AverageSpeed = 3; // slow
    Open();
    view->Update();
    EXPECT_STREQ(Cell(), "Error: The source channel averaging must be set to \"Forever\".");

    // Block averaging needs at least 1000 blocks ("Infinite").
    records.processing[0].AverageMode = 0;
    records.processing[0].AverageBlocks = 999;
    view->Update();
    EXPECT_STREQ(Cell(), "Error: The source channel averaging must be set to \"Infinite\".");
    records.processing[0].AverageBlocks = 1000;
    view->Update();
    EXPECT_NEAR(std::atof(Cell()), view->GetLevel(0), 0.01);

    // A second microphone that is not calibrated in SPL spoils the composite it joins.
    records.composites[0].IncludeInAverage[3] = 1;
    records.calibration[3].RefUnits = kUnitVolts;
    view->Update();
    EXPECT_STREQ(Cell(), "Error: The source channels must be calibrated to units of SPL.");
}
