// Settings as a user makes them: a calibration file written elsewhere chosen in the sheet, FFT
// size and window changed there, then a live tone read in the calibration's units, and the
// configuration saved and loaded again.
#include "LiveRunFixture.h"

#include "app/CStatusbar.h"
#include "dialogs/COptionsMain.h"
#include "dsp/SpectralData.h"
#include "res/ProcessingDialogIds.h"
#include "res/resource.h"

#include <cmath>
#include <fstream>
#include <functional>

using livetest::LiveRun;

namespace {
void PickText(CWnd& d, int id, const char* text)
{
    auto* c = dynamic_cast<QComboBox*>(QtWidgetOf(d.GetDlgItem(id)));
    ASSERT_NE(c, nullptr) << id;
    const int at = c->findText(text);
    ASSERT_GE(at, 0) << text;
    c->setCurrentIndex(at);
}

// The level and frequency of the highest bin of a channel's spectrum.
void Peak(SpectralData* s, float& hz, float& level)
{
    int peak = int(s->GetFirstBin());
    for (int b = peak; b <= int(s->GetLastBin()); ++b)
        if (s->GetLevel(b) > s->GetLevel(peak))
            peak = b;
    hz = s->GetBinFrequency(UINT(peak));
    level = s->GetLevel(peak);
}

// A 94 dB calibrator on a 50 mV/Pa microphone: 1.0024 Pa rms, 50.12 mV rms at the input, as
// dB re the device's 10 V full scale (peak).
double CalibratorDbfs()
{
    const double pascals = 20e-6 * std::pow(10.0, 94.0 / 20.0);
    return 20.0 * std::log10(pascals * 0.050 * std::sqrt(2.0) / 10.0);
}

class SettingsRoad : public LiveRun {
protected:
    // A microphone calibration as the Windows program writes it (CRLF line ends).
    void WriteMicrophoneCalibration(const std::string& name)
    {
        ASSERT_TRUE(frametest::Python("open('" + Data("cal/" + name + ".cal") +
                                      "', 'wb').write(b'[Calibration]\\r\\nIsEnabled=1\\r\\nRefLevel=94.000000\\r\\n"
                                      "RefUnits=2\\r\\nRefType=1\\r\\nConversionType=0\\r\\nIntegrationType=0\\r\\n"
                                      "LabelLinear=Pascals (PA)\\r\\nLabelLog=SPL (dB re 20uPA)\\r\\nLabelType=1\\r\\n"
                                      "PctFullScaleLeft=0.007071\\r\\nCalRatioLeft=200.000000\\r\\nDTGain=1.000000\\r\\n"
                                      "DTCalVersion=1000\\r\\nFilename=" + name + "\\r\\nCalCreateMode=1\\r\\n"
                                      "TransducerSensitivityVolts=5.000000e-02\\r\\nMeasuredInputVoltage=0.050000\\r\\n"
                                      "RefOffset=0.000000\\r\\n')\n"));
    }
    // Runs the processing settings, answering Yes to the question, with `edit` on the sheet;
    // `then` is a message OK brings.
    void Sheet(const std::function<void(COptionsMain&)>& edit, const char* then = nullptr)
    {
        user.ExpectBox(IDYES, "advanced users");
        if (then != nullptr)
            user.ExpectBox(IDOK, then);
        CDialog::ScriptModal([&](CWnd& w) {
            auto& s = static_cast<COptionsMain&>(w);
            edit(s);
            dlgtest::Click(s, IDOK);
        });
        frame->SendMessage(WM_COMMAND, ID_PROCESSING_SETTINGS);
    }
    // Writes the microphone calibration and chooses it for channel 0 in the sheet.
    void ChooseMicrophoneCalibration(const std::string& name)
    {
        WriteMicrophoneCalibration(name);
        Sheet([&](COptionsMain& s) {
            s.SetActivePage(COptionsMain::kCalibrationPage);
            PickText(s.m_CalibrationPage, kCalComboFirstId + 0, name.c_str());
        });
    }
    void RunFor(int ms)
    {
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        Play(ms);
        frame->ExecuteCommand(ID_STOP);
    }
};
} // namespace

TEST_F(SettingsRoad, ACalibrationFileChosenInTheSheetMakesALiveToneReadInItsUnits)
{
    Prepare("0=sine:1000:" + std::to_string(CalibratorDbfs()));
    WriteMicrophoneCalibration("Mic50");
    Sheet([](COptionsMain& s) {
        PickText(s.m_FftPage, kFftSizeIds[0], "4096");
        PickText(s.m_FftPage, kFftWindowIds[0], "Flattop");
        s.SetActivePage(COptionsMain::kCalibrationPage);
        PickText(s.m_CalibrationPage, kCalComboFirstId + 0, "Mic50");
    });
    std::string rate, bits, channel, fft, window;
    frame->StatusBar->InfoTexts(rate, bits, channel, fft, window);
    EXPECT_EQ(fft, "FFT 4096 pts");
    EXPECT_EQ(window, "Flattop");
    EXPECT_EQ(std::string(frame->Settings.Calibration[0].ChannelName), "Crown");

    RunFor(3000);
    SpectralData* s = frame->Spectral[0];
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetFftSize(), 4096);
    float hz = 0, level = 0;
    Peak(s, hz, level);
    EXPECT_NEAR(hz, 1000.0f, 4000.0f / 4096);
    EXPECT_NEAR(level, 94.0f, 0.1f);

    // Saved and loaded again, the channel reads the same.
    ASSERT_TRUE(frame->SaveConfiguration(Data("config/Mic.cfg").c_str()));
    frame->Settings.Calibration[0].SetDefaults(0);
    user.ExpectBox(IDNO, "Data is still available in the Real-Time data buffers."); // the run's buffers go
    ASSERT_TRUE(frame->LoadConfiguration(Data("config/Mic.cfg").c_str()));
    EXPECT_EQ(std::string(frame->Settings.Calibration[0].Filename), "Mic50");
    EXPECT_EQ(+frame->Settings.Calibration[0].RefUnits, kUnitSplAir);
    RunFor(3000);
    ASSERT_NE(frame->Spectral[0], nullptr);
    Peak(frame->Spectral[0], hz, level);
    EXPECT_NEAR(level, 94.0f, 0.1f);
}

TEST_F(SettingsRoad, ACalibrationWhoseFileIsGoneIsReportedAndTheChannelKeepsItsName)
{
    Prepare("0=sine:1000:-20");
    ChooseMicrophoneCalibration("Mic50");
    ASSERT_TRUE(frame->SaveConfiguration(Data("config/Mic.cfg").c_str()));
    std::filesystem::remove(Data("cal/Mic50.cal"));
    user.ExpectBox(IDOK, "Mic50");
    ASSERT_TRUE(frame->LoadConfiguration(Data("config/Mic.cfg").c_str()));
    const ChannelCalibration& c = frame->Settings.Calibration[0];
    EXPECT_EQ(std::string(c.ChannelName), "Crown");
    EXPECT_EQ(+c.RefUnits, kUnitVolts);
    EXPECT_EQ(+c.CalCreateMode, 0);
}

TEST_F(SettingsRoad, ValuesNoDialogCanSetAreReadAsSoundOnesAndARunGoesOn)
{
    Prepare("0=sine:1000:-20;1=noise:-30");
    std::ofstream(Data("config/Odd.cfg"))
        << "[ChannelInfo_1]\nbIsEnabled=1\n"
           "[Settings_0]\nAverageType=7\nAverageMode=5\nAverageSpeed=9\n"
           "[Settings_1]\nAverageMode=1\nAverageSpeed=9\n"
           "[Scaling_0]\nAmpScaleType=9\nFreqScaleType=2\nOctaveNumber=65535\nStandardWeighting=9\n"
           "TotalPowerWeighting=9\nSpectralDensityType=9\n"
           "[Scaling_1]\nFreqScaleType=7\nOctaveNumber=7\n"
           "[Calibration_0]\nCalCreateMode=0\nRefUnits=99\nRefType=9\nDTGain=-5\nCalRatio=nan\nConversionType=99\n"
           "LabelType=9\n"
           "[Calibration_1]\nCalCreateMode=7\nFilename=Volts\n"
           "[CompositeSettings_0]\nbIsEnabled=1\nCompositeType=9\nIncludeInAverage_0=1\n"
           "[Marker_0]\nEnabled_0=1\nFreq_0=-5\nLabelType_0=9\n"
           "[PlotStatus]\nTimeSeriesPlot_0=1\nSpectrumPlot_0=1\nSpectrumPlot_1=1\nPhasePlot_0=1\nCompositeSpectrumPlot_0=1\n";
    // Codes no list has are named as they take their defaults.
    user.ExpectBox(IDOK, "holds settings this version cannot use.\r\rThese settings were replaced:\r"
                         "[Settings_0] AverageType=7 (now 0)\r[Settings_0] AverageMode=5 (now 0)");
    ASSERT_TRUE(frame->LoadConfiguration(Data("config/Odd.cfg").c_str()));
    // Bands finer than any the Scaling page offers would be narrower than a bin and stall
    // every block.
    EXPECT_EQ(frame->Settings.Scaling[0].OctaveNumber, 3);
    RunFor(2000);
    EXPECT_GT(frame->FftsProcessed, 3);
    Sheet([](COptionsMain&) {}, "You have changed the calibration of one or more source channels");
    RunFor(2000);
    EXPECT_GT(frame->FftsProcessed, 3);
}

TEST_F(SettingsRoad, ACalibrationFileTurnedOffInTheSheetStaysOff)
{
    Prepare("0=sine:1000:-20");
    ChooseMicrophoneCalibration("Mic50");
    ASSERT_EQ(frame->Settings.Calibration[0].IsEnabled, 1u);
    Sheet([](COptionsMain& s) {
        s.SetActivePage(COptionsMain::kCalibrationPage);
        dlgtest::Click(s.m_CalibrationPage, kCalEnableFirstId + 0);
    });
    EXPECT_EQ(frame->Settings.Calibration[0].IsEnabled, 0u);
    EXPECT_EQ(std::string(frame->Settings.Calibration[0].Filename), "Mic50");
    // So it is saved, and so it comes back.
    ASSERT_TRUE(frame->SaveConfiguration(Data("config/Off.cfg").c_str()));
    ASSERT_TRUE(frame->LoadConfiguration(Data("config/Off.cfg").c_str()));
    EXPECT_EQ(frame->Settings.Calibration[0].IsEnabled, 0u);
}
