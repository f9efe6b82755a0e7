// The sound power window as a user reads it: a calibrated microphone's tone of known pressure
// behind a composite channel, and the row's level against ISO 3744's
// Lw = Lp - K1 - K2 + 10 log10(S / 1 m^2), with the source rules that refuse a measurement.
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "records/ChannelFileState.h"
#include "records/CompositeChannelSettings.h"
#include "records/UsbDeviceSettings.h"
#include "records/UtilitySettings.h"
#include "utilities/CSoundPowerAnalysisView.h"
#include "support/MdiFrameFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
constexpr double kPi = 3.14159265358979323846;

class SoundPowerWindow : public MdiFrameTest<CMDIFrameWnd, 900, 700> {
protected:
    UsbDeviceSettings device;
    ChannelFileState files[8] = {};
    CompositeChannelSettings composites[16];
    ChannelProcessingSettings processing[8];
    ChannelScalingSettings scaling[8];
    ChannelCalibration calibration[8];
    SoundPowerChannelSettings power[16];
    WORD mode = 0;
    std::unique_ptr<SpectralData> engine; // composite A's result
    CSoundPowerAnalysisView* view = nullptr;

    void SetUp() override
    {
        MdiFrameTest::SetUp();
        // A 50 mV/Pa microphone on channel 0, averaged forever as the measurement wants.
        ChannelCalibration& c = calibration[0];
        c.IsEnabled = 1;
        c.RefUnits = kUnitSplAir;
        c.RefType = 1;
        c.CalCreateMode = 1;
        c.DTCalVersion = 1;
        c.DTGain = 1.0f;
        c.TransducerSensitivityVolts = 0.05f;
        ComputeCalibrationFactors(c);
        ChannelProcessingSettings& p = processing[0];
        p.FFTsize = 8192;
        p.AverageMode = 1;
        p.AverageSpeed = 4;
        for (int k = 0; k < 16; ++k)
            composites[k] = CompositeChannelSettings(k); // only A is enabled
        CompositeChannelSettings& a = composites[0];
        a.bIsEnabled = 1;
        a.CompositeType = 0;
        a.IncludeInAverage[0] = 1;
    }
    void TearDown() override
    {
        delete view;
        MdiFrameTest::TearDown();
    }

    // The composite's spectrum of a 1 kHz tone of `pascals` rms at the microphone: with one
    // source the complex sum is that channel's spectrum.
    void Measure(double pascals)
    {
        const ChannelProcessingSettings& p = processing[0];
        engine = std::make_unique<SpectralData>(&p, &scaling[0], false);
        ASSERT_FALSE(engine->HasError());
        engine->SetScaling(&calibration[0]);
        // The amplitude-corrected window, as the frame builds it for a spectrum of lines.
        TSmoothing window(p.FFTsize, p.SmoothingWindow, TSmoothing::kAmplitudeCorrection);
        const double fullScale = (double(p.SampleFormat.MaxValue) - p.SampleFormat.MinValue) / 2.0;
        const double peak = pascals * 0.05 * std::sqrt(2.0) / 10.0 * fullScale;
        for (int block = 0; block < 3; ++block) {
            float* f = engine->GetFrame();
            for (DWORD i = 0; i < p.FFTsize; ++i)
                f[i] = static_cast<float>(
                    peak * std::sin(2.0 * kPi * 1000.0 * double(i + block * p.FFTsize) / p.SampleFormat.SampleRate));
            window.Apply(f);
            engine->ComputeSpectrum();
            engine->Average(false);
        }
    }

    void Open()
    {
        UtilityHost host;
        host.opMode = &mode;
        host.device = &device;
        host.files = files;
        host.composites = composites;
        host.processing = processing;
        host.scaling = scaling;
        host.calibration = calibration;
        host.soundPower = power;
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
    power[0].SurfaceArea = 25.0f;
    power[0].BackgroundCorrection = 1.5f;
    power[0].EnvironmentalCorrection = 0.5f;
    Open();
    view->Update();
    const double lp = 20.0 * std::log10(1.0 / 20e-6);
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
    processing[0].AverageMode = 1;
    processing[0].AverageSpeed = 3; // slow
    Open();
    view->Update();
    EXPECT_STREQ(Cell(), "Error: The source channel averaging must be set to \"Forever\".");

    // Block averaging needs at least 1000 blocks ("Infinite").
    processing[0].AverageMode = 0;
    processing[0].AverageBlocks = 999;
    view->Update();
    EXPECT_STREQ(Cell(), "Error: The source channel averaging must be set to \"Infinite\".");
    processing[0].AverageBlocks = 1000;
    view->Update();
    EXPECT_NEAR(std::atof(Cell()), view->GetLevel(0), 0.01);

    // A second microphone that is not calibrated in SPL spoils the composite it joins.
    composites[0].IncludeInAverage[3] = 1;
    calibration[3].RefUnits = kUnitVolts;
    view->Update();
    EXPECT_STREQ(Cell(), "Error: The source channels must be calibrated to units of SPL.");
}
