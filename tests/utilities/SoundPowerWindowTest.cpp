// The sound power window as a user reads it: calibrated microphones' tones of known pressure
// behind a composite channel, and the row's level against ISO 3744's
// Lw = Lp - K1 - K2 + 10 log10(S / 1 m^2), Lp the energy mean of the microphone positions, with
// the source rules that refuse a measurement.
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
    std::unique_ptr<SpectralData> engines[8]; // the microphones'
    std::unique_ptr<SpectralData> sum;        // composite A's result
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

    // Microphone `channel`, calibrated as channel 0, hears `pascals`.
    void Measure(double pascals, int channel = 0)
    {
        records.processing[channel] = records.processing[0];
        records.calibration[channel] = records.calibration[0];
        records.composites[0].IncludeInAverage[channel] = 1;
        engines[channel] = records.Spectrum(pascals);
        ASSERT_NE(engines[channel], nullptr);
        sum = records.Spectrum(pascals);
    }

    void Open()
    {
        UtilityHost host = records.Host();
        host.spectral = [this](int ch) { return ch >= 0 && ch < 8 ? engines[ch].get() : nullptr; };
        host.compositeSpectral = [this](int k) { return k == 0 ? sum.get() : nullptr; };
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

// Three microphones at 80, 83 and 86 dB SPL: Lp is their energy mean (83.7 dB), not the
// level of their sum (88.4 dB, 4.8 dB too high).
TEST_F(SoundPowerWindow, ThreeMicrophonesGiveTheEnergyMeanOfTheirLevels)
{
    const double levels[3] = {80.0, 83.0, 86.0};
    double energy = 0.0;
    for (int ch = 0; ch < 3; ++ch) {
        Measure(20e-6 * std::pow(10.0, levels[ch] / 20.0), ch);
        energy += std::pow(10.0, levels[ch] / 10.0);
    }
    const double lp = 10.0 * std::log10(energy / 3.0);
    ASSERT_NEAR(lp, 83.67, 0.01);
    records.soundPower[0].SurfaceArea = 6.0f;
    records.soundPower[0].BackgroundCorrection = 0.4f;
    records.soundPower[0].EnvironmentalCorrection = 1.2f;
    Open();
    view->Update();
    EXPECT_NEAR(view->MeanPressureLevel(0), lp, 0.1);
    const double lw = lp - 0.4 - 1.2 + 10.0 * std::log10(6.0);
    EXPECT_NEAR(view->GetLevel(0), lw, 0.1);
    EXPECT_NEAR(std::atof(Cell()), lw, 0.1);

    // A microphone with nothing measured yet is left out until it has a level.
    engines[1]->ResetAverages();
    view->Update();
    const double two = 10.0 * std::log10((std::pow(10.0, 8.0) + std::pow(10.0, 8.6)) / 2.0);
    EXPECT_NEAR(view->MeanPressureLevel(0), two, 0.1);
    // None measured: no number.
    engines[0]->ResetAverages();
    engines[2]->ResetAverages();
    view->Update();
    EXPECT_STREQ(Cell(), "");
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
