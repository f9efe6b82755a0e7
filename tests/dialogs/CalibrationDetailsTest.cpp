// "Calibration Parameters": a calibration entered as a sensitivity, measured from a wave file
// written by Python's wave module, saved as a *.cal file the record reads back from.
#include "dialogs/CCalibrationDetailsDlg.h"
#include "acquisition/TUsbDevice.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/usb/KdrSimulator.h"
#include "platform/core/Resources.h"
#include "platform/dialogs/DialogTestSupport.h"
#include "res/ProcessingDialogIds.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace dlgtest;

namespace {
void SetText(CWnd& d, int id, const char* text)
{
    if (auto* e = As<QLineEdit>(d, id))
        e->setText(text);
}

std::string Text(CWnd& d, int id)
{
    auto* e = As<QLineEdit>(d, id);
    return e ? e->text().toStdString() : std::string();
}

std::string Bytes(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A sine written by Python's wave module: 16-bit, `channels` copies of it.
bool WriteSine(const std::filesystem::path& path, int rate, double seconds, double hz, double amplitude, int channels = 1)
{
    const std::string script =
        "import wave, math, struct, sys\n"
        "p, rate, sec, hz, amp, ch = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4]), "
        "float(sys.argv[5]), int(sys.argv[6])\n"
        "w = wave.open(p, 'wb'); w.setnchannels(ch); w.setsampwidth(2); w.setframerate(rate)\n"
        "n = int(rate * sec)\n"
        "w.writeframes(b''.join(struct.pack('<' + 'h' * ch, *([round(amp * 32767 * math.sin(2 * math.pi * hz * i / rate))] * ch)) for i in range(n)))\n"
        "w.close()\n";
    const std::filesystem::path py = path.parent_path() / "sine.py";
    std::ofstream(py) << script;
    const std::string cmd = "python3 '" + py.string() + "' '" + path.string() + "' " + std::to_string(rate) + " " +
                            std::to_string(seconds) + " " + std::to_string(hz) + " " + std::to_string(amplitude) + " " +
                            std::to_string(channels);
    return std::system(cmd.c_str()) == 0;
}

class CalibrationDetails : public TemplateDialogTest {
protected:
    void SetUp() override
    {
        TemplateDialogTest::SetUp();
        folder = std::filesystem::temp_directory_path() / ("durnex-caldetails-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder / "cal");
        std::filesystem::create_directories(folder / "elsewhere");
        context.CalibrationFolder = (folder / "cal").string();
        context.WaveFolder = folder.string();
        // A new calibration as the Calibration page makes it.
        record.Clear();
        record.IsEnabled = 1;
        record.RefType = 1;
        record.RefUnits = kUnitSplAir;
        std::strcpy(record.LabelLinear, "Pascals (PA)");
        std::strcpy(record.LabelLog, "SPL (dB re 20uPA)");
        record.LabelType = 1;
        record.PctFullScale = 1.0f;
        record.CalRatio = 1.0f;
        record.CalCreateMode = 1;
        record.TransducerSensitivityVolts = 0.1f;
        record.DTGain = 1.0f;
        record.DTCalVersion = 1000;
    }
    void TearDown() override
    {
        TemplateDialogTest::TearDown();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    INT_PTR Run(bool askName = true)
    {
        CCalibrationDetailsDlg dialog(nullptr, &record, 0, UsbDeviceSettings(), 0, askName, false, 0.0f);
        dialog.SetContext(context);
        return dialog.DoModal();
    }

    std::filesystem::path folder;
    CalibrationContext context;
    ChannelCalibration record;
};
} // namespace

TEST_F(CalibrationDetails, MicrophoneSensitivityIsSavedToAFileTheRecordReadsBackFrom)
{
    ScriptedUser user;
    // Reserved names are refused whatever their case; the folder browsed to does not matter.
    user.ExpectFile(PromptKind::FileSave, (folder / "elsewhere" / "rpm.cal").string());
    user.ExpectBox(IDOK, "are reserved calibration names");
    user.ExpectFile(PromptKind::FileSave, (folder / "elsewhere" / "rpm2.cal").string());
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(d.GetWindowTextString(), "Calibration Parameters");
        EXPECT_TRUE(W(d, IDC_CAL_TRANSDUCER)->isEnabled());
        EXPECT_FALSE(W(d, IDC_CAL_MEASURE)->isEnabled());
        EXPECT_EQ(Text(d, IDC_CAL_SENSITIVITY), "100.000");
        SetText(d, IDC_CAL_SENSITIVITY, "50");
        Click(d, IDC_CAL_SAVE);
    });
    ASSERT_EQ(Run(), IDOK);
    EXPECT_FLOAT_EQ(record.TransducerSensitivityVolts, 0.05f);
    EXPECT_FLOAT_EQ(record.MeasuredInputVoltage, 0.05f);
    EXPECT_FLOAT_EQ(record.RefLevel, 94.0f);
    // Full scale is 10 V: 10 / 0.05 V per pascal.
    EXPECT_NEAR(record.CalRatio, 200.0f, 1e-3f);
    EXPECT_STREQ(record.Filename, "rpm2");

    const auto saved = folder / "cal" / "rpm2.cal";
    ASSERT_TRUE(std::filesystem::exists(saved));
    EXPECT_FALSE(std::filesystem::exists(folder / "elsewhere" / "rpm2.cal"));
    // The file is exactly what the record's own writer makes of it, and reads back as it.
    ChannelCalibration copy = record;
    const auto reference = folder / "reference.cal";
    ASSERT_TRUE(WriteCalibrationFile(reference.string().c_str(), &copy));
    EXPECT_EQ(Bytes(saved), Bytes(reference));
    EXPECT_TRUE(LoadCalibration(record, context.CalibrationFolder.c_str(), 0));
}

TEST_F(CalibrationDetails, HydrophoneSensitivityInDecibelsMayBeNegative)
{
    std::strcpy(record.Filename, "Hydro");
    CDialog::ScriptModal([](CWnd& d) {
        auto* combo = As<QComboBox>(d, IDC_CAL_TRANSDUCER);
        combo->setCurrentIndex(combo->findText("Hydrophone"));
        EXPECT_EQ(Text(d, IDC_CAL_LABEL_LOG), "SPL (dB re 1uPA)");
        SetText(d, IDC_CAL_SENSITIVITY, "-180");
        Click(d, IDC_CAL_SAVE);
    });
    ASSERT_EQ(Run(false), IDOK);
    EXPECT_NEAR(record.TransducerSensitivityVolts, 1e-9f, 1e-15f);
    EXPECT_FLOAT_EQ(record.RefLevel, 120.0f);
    EXPECT_TRUE(std::filesystem::exists(folder / "cal" / "Hydro.cal"));
}

TEST_F(CalibrationDetails, ALevelThatIsNoNumberOrNoMagnitudeIsRefused)
{
    std::strcpy(record.Filename, "Probe");
    ScriptedUser user;
    // A wave file's calibration signal in g, then an external signal in pascals: text that is
    // no number, and a level of nothing, which would make every calibrated value zero.
    user.ExpectBox(IDOK, "The Calibration Signal Level must be a number");
    user.ExpectBox(IDOK, "The Calibration Signal Level must be greater than zero");
    user.ExpectBox(IDOK, "The Reference Signal Level must be a number");
    user.ExpectBox(IDOK, "The Reference Signal Level must be greater than zero");
    CDialog::ScriptModal([](CWnd& d) {
        auto pick = [&](int id, const char* text) {
            auto* combo = As<QComboBox>(d, id);
            combo->setCurrentIndex(combo->findText(text));
        };
        Click(d, IDC_CAL_METHOD_WAVE);
        pick(IDC_CAL_WAVE_UNITS, "Acceleration (G)");
        SetText(d, IDC_CAL_DETECTED_LEVEL, "50");
        SetText(d, IDC_CAL_WAVE_LEVEL, "one");
        Click(d, IDC_CAL_SAVE);
        SetText(d, IDC_CAL_WAVE_LEVEL, "0");
        Click(d, IDC_CAL_SAVE);
        Click(d, IDC_CAL_METHOD_EXTERNAL);
        pick(IDC_CAL_EXTERNAL_UNITS, "Pascals (in air)");
        SetText(d, IDC_CAL_MEASURED_VOLTAGE, "100");
        SetText(d, IDC_CAL_EXTERNAL_LEVEL, "");
        Click(d, IDC_CAL_SAVE);
        SetText(d, IDC_CAL_EXTERNAL_LEVEL, "0.0");
        Click(d, IDC_CAL_SAVE);
        EXPECT_TRUE(static_cast<CDialog&>(d).IsModalRunning());
        SetText(d, IDC_CAL_EXTERNAL_LEVEL, "1");
        Click(d, IDC_CAL_SAVE);
    });
    ASSERT_EQ(Run(false), IDOK);
    EXPECT_EQ(record.CalCreateMode, 2);
    // 1 Pa rms read as 100 mV rms: full scale (10 V at gain 1) is 100 Pa.
    EXPECT_NEAR(record.CalRatio, 100.0f, 1e-3f);
}

TEST_F(CalibrationDetails, CancelAsksOnlyWhenSomethingChanged)
{
    CDialog::ScriptModal([](CWnd& d) { Click(d, IDC_CAL_CANCEL); });
    EXPECT_EQ(Run(), IDCANCEL);

    ScriptedUser user;
    user.ExpectBox(IDCANCEL, "Calibration Values have changed.  Save changes?");
    user.ExpectBox(IDNO, "Calibration Values have changed.  Save changes?");
    CDialog::ScriptModal([](CWnd& d) {
        SetText(d, IDC_CAL_SENSITIVITY, "12.5");
        Click(d, IDC_CAL_CANCEL); // Cancel in the question: the dialog stays
        Click(d, IDC_CAL_CANCEL);
    });
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_FALSE(std::filesystem::exists(folder / "cal" / ".cal"));
}

TEST_F(CalibrationDetails, WaveFileCalibrationMeasuresThePeakOfTheSignal)
{
    const auto tone = folder / "tone.wav";
    const auto stereo = folder / "stereo.wav";
    const auto shortFile = folder / "short.wav";
    const auto barely = folder / "barely.wav";
    ASSERT_TRUE(WriteSine(tone, 48000, 3.0, 1000.0, 0.5));
    ASSERT_TRUE(WriteSine(stereo, 48000, 3.0, 1000.0, 0.5, 2));
    ASSERT_TRUE(WriteSine(shortFile, 48000, 1.5, 1000.0, 0.5));
    // Just over two seconds: fewer samples after the first second than two blocks need.
    ASSERT_TRUE(WriteSine(barely, 8000, 2.05, 1000.0, 0.25));
    record.CalCreateMode = 3;
    record.RefLevel = 94.0f;
    ScriptedUser user;
    user.ExpectBox(IDOK, "The selected wave file has more than one channel.  Please select a mono wave file");
    user.ExpectBox(IDOK, "The selected wave file must have at least 2 seconds of data.");
    double detectedShort = 0.0;
    CDialog::ScriptModal([&](CWnd& w) {
        auto& d = static_cast<CCalibrationDetailsDlg&>(w);
        EXPECT_TRUE(W(d, IDC_CAL_MEASURE_WAVE)->isEnabled());
        EXPECT_FALSE(W(d, IDC_CAL_TRANSDUCER)->isEnabled());
        EXPECT_FALSE(d.MeasureWaveFile(stereo.string()));
        EXPECT_FALSE(d.MeasureWaveFile(shortFile.string()));
        EXPECT_TRUE(d.MeasureWaveFile(barely.string()));
        detectedShort = std::atof(Text(d, IDC_CAL_DETECTED_LEVEL).c_str());
        EXPECT_TRUE(d.MeasureWaveFile(tone.string()));
        Click(d, IDC_CAL_SAVE_AS);
    });
    user.ExpectFile(PromptKind::FileSave, (folder / "cal" / "Tone.cal").string());
    ASSERT_EQ(Run(), IDOK);
    EXPECT_NEAR(detectedShort, 25.0, 0.1);
    EXPECT_NEAR(record.PctFullScale, 0.5f, 0.002f);
    // 94 dB SPL rms is 1.0024 Pa rms, so the calibrated peak at full scale is that times
    // the square root of two over the signal's share of full scale.
    const double pascals = std::pow(10.0, 94.0 / 20.0) * 20e-6;
    EXPECT_NEAR(record.CalRatio, pascals * std::sqrt(2.0) / record.PctFullScale, 1e-4);
}

// A 94 dB SPL, 1 kHz calibrator on a 50 mV/Pa microphone gives 50.1 mV rms: 43 dB below the
// device's 10 V full scale. Measured through the simulated device, the calibration makes the
// channel read 94.0 dB.
TEST_F(CalibrationDetails, CalibratorMeasuredThroughTheDeviceMakesTheChannelRead94dB)
{
    kdrsim::Reset();
    kdrsim::SelectSimulator(true);
    kdrsim::UseTestClock(true);
    const double volts = std::pow(10.0, 94.0 / 20.0) * 20e-6 * 0.050;
    const double dBFS = 20.0 * std::log10(volts * std::sqrt(2.0) / 10.0);
    std::string error;
    ASSERT_TRUE(kdrsim::ConfigureSources("0=sine:1000:" + std::to_string(dBFS), &error)) << error;
    TUsbDevice device;
    context.InputDevice = &device;
    record.CalCreateMode = 2;
    record.RefLevel = 94.0f;
    std::strcpy(record.Filename, "Calibrator");
    auto run = [](DWORD ms) {
        for (; ms > 0; ms -= 500) {
            kdrsim::AdvanceClock(500);
            ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
        }
    };
    std::string status;
    CDialog::ScriptModal([&](CWnd& w) {
        auto& d = static_cast<CCalibrationDetailsDlg&>(w);
        EXPECT_TRUE(W(d, IDC_CAL_MEASURE)->isEnabled());
        EXPECT_EQ(As<QComboBox>(d, IDC_CAL_EXTERNAL_UNITS)->currentText().toStdString(), "SPL dB (in air)");
        Click(d, IDC_CAL_MEASURE);
        ASSERT_TRUE(d.IsMeasuring());
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        run(3000);
        d.SendMessage(WM_TIMER, 201);
        d.GetDlgItemText(IDC_CAL_STATUS, status);
        Click(d, IDC_CAL_MEASURE); // stop: a good signal, no complaint
        EXPECT_FALSE(d.IsMeasuring());
        EXPECT_NEAR(std::atof(Text(d, IDC_CAL_MEASURED_VOLTAGE).c_str()), volts * 1000.0, 0.2);
        Click(d, IDC_CAL_SAVE);
    });
    ASSERT_EQ(Run(false), IDOK);
    EXPECT_NEAR(std::atof(status.c_str()), 1000.0, 2.0);
    EXPECT_NEAR(record.MeasuredInputVoltage, volts, 2e-4);
    EXPECT_TRUE(LoadCalibration(record, context.CalibrationFolder.c_str(), 0));

    // The channel's spectrum, calibrated so, reads the calibrator's level.
    ChannelProcessingSettings processing;
    processing.SampleFormat.Set(TUsbDevice::kRingSampleRate, 1, 3);
    processing.FFTsize = 4096;
    processing.SmoothingWindow = TSmoothing::kFlattop;
    ChannelScalingSettings scaling;
    scaling.AmpScaleType = 1;
    SpectralData engine(&processing, &scaling, false);
    engine.SetScaling(&record);
    const TSmoothing window(4096, TSmoothing::kFlattop, TSmoothing::kAmplitudeCorrection);
    ASSERT_TRUE(device.OpenDevice(nullptr, 0, 0));
    UsbDeviceSettings only;
    for (int ch = 0; ch < 8; ++ch)
        only.Channels[ch].bIsEnabled = ch == 0 ? 1 : 0;
    ASSERT_TRUE(device.SetDeviceConfigurationAD(only, 4096, false, 0));
    ASSERT_TRUE(device.StartInput());
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    run(2000);
    std::vector<int> samples(4096);
    ASSERT_TRUE(device.ReadRingBlock(0, 4096, samples.data(), TUsbDevice::Now()));
    for (int i = 0; i < 4096; ++i)
        engine.SetTimeSample(UINT(i), float(samples[std::size_t(i)]));
    window.Apply(engine.GetFrame());
    engine.ComputeSpectrum();
    engine.Average(false);
    device.CloseDevice();
    const UINT lo = UINT(engine.FrequencyToBin(20.0f));
    EXPECT_NEAR(engine.TotalLevel(lo, UINT(engine.GetBinCount() - 1), 1, 0), 94.0f, 0.1f);
    kdrsim::Reset();
    kdrsim::SelectSimulator(false);
}
