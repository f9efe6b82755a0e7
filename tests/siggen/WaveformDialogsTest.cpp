// The parameter dialogs as the user meets them: fields filled from the record, refusals in their
// order with the record untouched, everything stored at once on OK, and the signal length
// question.
#include "platform/core/Resources.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/WinApp.h"
#include "res/SigGenDialogIds.h"
#include "siggen/WaveformDialogs.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {
QWidget* Item(CWnd& d, int id) { return d.GetDlgItem(id) ? QtWidgetOf(d.GetDlgItem(id)) : nullptr; }
void Click(CWnd& d, int id) { ASSERT_TRUE(QtClickButton(&d, id)) << id; }
void Type(CWnd& d, int id, const char* text) { qobject_cast<QLineEdit*>(Item(d, id))->setText(text); }
std::string Text(CWnd& d, int id)
{
    if (auto* e = qobject_cast<QLineEdit*>(Item(d, id)))
        return e->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(Item(d, id)))
        return l->text().toStdString();
    return "<none>";
}

class WaveformDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
    }
    // Runs `dialog` with `steps` (typing and clicking) and OK pressed after each refusal;
    // `refusals` are the messages expected, in order.
    static INT_PTR Run(CDialog& dialog, std::function<void(CWnd&)> steps, std::vector<std::string> refusals = {})
    {
        ScriptedUser user;
        for (const std::string& r : refusals)
            user.ExpectBox(IDOK, r);
        CDialog::ScriptModal([&](CWnd& d) { steps(d); });
        return dialog.DoModal();
    }
};
} // namespace

TEST_F(WaveformDialogs, TonesCheckOnlyEnabledRowsAndNeedOne)
{
    SigGenTones tones = SigGenChannelSettings().Tones;
    const SigGenTones before = tones;
    CTones all(nullptr, &tones, 24000);
    EXPECT_EQ(Run(all,
                  [](CWnd& d) {
                      EXPECT_EQ(Text(d, kToneFreqFirstId), "1000.00");
                      Click(d, kToneEnableFirstId);           // the only enabled row off
                      Type(d, kToneFreqFirstId + 4, "99999"); // disabled: not checked
                      Click(d, IDOK);
                      Click(d, IDCANCEL);
                  },
                  {"At least one tone must be enabled."}),
              IDCANCEL);
    EXPECT_EQ(std::memcmp(&tones, &before, sizeof tones), 0);

    CTones some(nullptr, &tones, 24000);
    EXPECT_EQ(Run(some,
                  [](CWnd& d) {
                      Click(d, kToneEnableFirstId + 2);
                      Type(d, kToneFreqFirstId + 2, "30000");
                      Click(d, IDOK);
                      Type(d, kToneFreqFirstId + 2, "3000");
                      Type(d, kToneLevelFirstId + 2, "-100");
                      Click(d, IDOK);
                      Type(d, kToneLevelFirstId + 2, "-6");
                      Type(d, kTonePhaseFirstId + 2, "181");
                      Click(d, IDOK);
                      Type(d, kTonePhaseFirstId + 2, "-90");
                      Type(d, kToneFreqFirstId + 4, "99999");
                      Click(d, IDOK);
                  },
                  {"Frequency must be between 0 and 24000 Hz.", "Relative Level must be between -96 and 0 dB.",
                   "Phase must be between -180 and 180."}),
              IDOK);
    EXPECT_EQ(tones.Tone[2].Enabled, 1);
    EXPECT_FLOAT_EQ(tones.Tone[2].Frequency, 3000.0f);
    EXPECT_NEAR(tones.Tone[2].Amplitude, 0.501187, 1e-6);
    EXPECT_FLOAT_EQ(tones.Tone[2].PhaseDeg, -90.0f);
    EXPECT_FLOAT_EQ(tones.Tone[4].Frequency, 99999.0f); // stored as typed
}

TEST_F(WaveformDialogs, BurstsRefuseInOrderAndAcceptAZeroToneBurst)
{
    SigGenNoiseBurst noise{1, 1000, 2000};
    CNoiseBurst nb(nullptr, &noise);
    EXPECT_EQ(Run(nb,
                  [](CWnd& d) {
                      EXPECT_TRUE(qobject_cast<QAbstractButton*>(Item(d, IDC_NOISE_PINK))->isChecked());
                      Type(d, IDC_BURST_MSEC, "0");
                      Click(d, IDOK);
                      Type(d, IDC_BURST_MSEC, "300");
                      Type(d, IDC_CYCLE_MSEC, "300");
                      Click(d, IDOK);
                      Click(d, IDC_NOISE_WHITE);
                      Type(d, IDC_CYCLE_MSEC, "500");
                      Click(d, IDC_SIGGEN_HELP); // does nothing
                      Click(d, IDOK);
                  },
                  {"Burst time must be greater than 0", "Burst time must be less than the cycle time."}),
              IDOK);
    EXPECT_EQ(noise.NoiseType, 0);
    EXPECT_EQ(noise.BurstMsec, 300);
    EXPECT_EQ(noise.CycleMsec, 500);

    SigGenToneBurst tone{1000, 1000, 2000};
    CToneBurst tb(nullptr, &tone, 4000);
    EXPECT_EQ(Run(tb,
                  [](CWnd& d) {
                      Type(d, IDC_TONE_BURST_FREQ, "4001");
                      Click(d, IDOK);
                      Type(d, IDC_TONE_BURST_FREQ, "440");
                      Type(d, IDC_BURST_MSEC, "0");
                      Type(d, IDC_CYCLE_MSEC, "1");
                      Click(d, IDOK);
                  },
                  {"Frequency must be between 0 and 4000 Hz."}),
              IDOK);
    EXPECT_EQ(tone.Frequency, 440);
    EXPECT_EQ(tone.BurstMsec, 0);
}

TEST_F(WaveformDialogs, ImdChecksOnlyTheCustomSet)
{
    SigGenImdTones imd{0, 100.0f, 5000.0f, 4.0f};
    CIMDtones standard(nullptr, &imd, 24000);
    EXPECT_EQ(Run(standard,
                  [](CWnd& d) {
                      EXPECT_EQ(Text(d, IDC_IMD_LOW), " 100.0");
                      EXPECT_EQ(Text(d, IDC_IMD_RATIO), "4");
                      Click(d, IDC_IMD_SET2);
                      Type(d, IDC_IMD_LOW, "-5");
                      Click(d, IDOK);
                  }),
              IDOK);
    EXPECT_EQ(imd.ToneSet, 1);
    EXPECT_FLOAT_EQ(imd.LowFreq, -5.0f);

    CIMDtones custom(nullptr, &imd, 24000);
    EXPECT_EQ(Run(custom,
                  [](CWnd& d) {
                      Click(d, IDC_IMD_CUSTOM);
                      Click(d, IDOK);
                      Type(d, IDC_IMD_LOW, "6000");
                      Click(d, IDOK);
                      Type(d, IDC_IMD_LOW, "60");
                      Type(d, IDC_IMD_RATIO, "11");
                      Click(d, IDOK);
                      Type(d, IDC_IMD_RATIO, "4");
                      Click(d, IDOK);
                  },
                  {"Low Frequency must be between 0.0 and 24000", "High Frequency must be greater than the Low Frequency",
                   "Power Ratio must be between 1 and 10"}),
              IDOK);
    EXPECT_EQ(imd.ToneSet, 2);
    EXPECT_FLOAT_EQ(imd.LowFreq, 60.0f);
}

TEST_F(WaveformDialogs, SweepAndStepStoreTheirChoices)
{
    SigGenFreqSweep sweep = SigGenChannelSettings().FreqSweep;
    CFreqSweep fs(nullptr, &sweep, 24000);
    EXPECT_EQ(Run(fs,
                  [](CWnd& d) {
                      Type(d, IDC_SWEEP_START, "24000.5");
                      Click(d, IDOK);
                      Type(d, IDC_SWEEP_START, "0");
                      Type(d, IDC_SWEEP_STOP, "20"); // downward
                      Type(d, IDC_SWEEP_MSEC, "600001");
                      Click(d, IDOK);
                      Type(d, IDC_SWEEP_MSEC, "500");
                      Click(d, IDC_SWEEP_LOG);
                      Click(d, IDC_SWEEP_SWEEP_BACK);
                      Click(d, IDC_SWEEP_SINGLE);
                      Click(d, IDOK);
                  },
                  {"Start Frequency must be between   0.00 and 24000.00 Hz.",
                   "Sweep time must be between 1 and 600000 Milliseconds."}),
              IDOK);
    EXPECT_FLOAT_EQ(sweep.StartFreq, 0.0f);
    EXPECT_FLOAT_EQ(sweep.StopFreq, 20.0f);
    EXPECT_EQ(sweep.SweepType, 2);
    EXPECT_EQ(sweep.SweepBack, 1);
    EXPECT_EQ(sweep.SingleSweep, 1);

    SigGenFreqStep step = SigGenChannelSettings().FreqStep;
    CFreqStep st(nullptr, &step, 24000);
    EXPECT_EQ(Run(st,
                  [](CWnd& d) {
                      auto* combo = qobject_cast<QComboBox*>(Item(d, IDC_STEP_FRACTION));
                      EXPECT_EQ(combo->currentText().toStdString(), "1/3 Octave");
                      Type(d, IDC_STEP_SIZE, "0");
                      Click(d, IDOK);
                      Type(d, IDC_STEP_SIZE, "10");
                      Click(d, IDC_STEP_OCTAVE);
                      combo->setCurrentIndex(combo->findText("1/12 Octave"));
                      Click(d, IDC_STEP_STEP_BACK);
                      Click(d, IDOK);
                  },
                  {"The Step Size must be greater than zero."}),
              IDOK);
    EXPECT_EQ(step.StepType, 2);
    EXPECT_EQ(step.OctaveFraction, 12);
    EXPECT_EQ(step.StepBack, 1);
}

TEST_F(WaveformDialogs, PulseLimitsFollowTheOutputRate)
{
    SigGenPulse pulse{200, 10000, 0};
    CPulse dialog(nullptr, &pulse, 25000);
    EXPECT_EQ(Run(dialog,
                  [](CWnd& d) {
                      Type(d, IDC_PULSE_WIDTH, "19");
                      Click(d, IDOK);
                      Type(d, IDC_PULSE_WIDTH, "20");
                      Type(d, IDC_PULSE_INTERVAL, "200000001");
                      Click(d, IDOK);
                      Type(d, IDC_PULSE_INTERVAL, "20");
                      Click(d, IDOK);
                      Type(d, IDC_PULSE_INTERVAL, "200000000");
                      Click(d, IDC_PULSE_SINGLE);
                      Click(d, IDOK);
                  },
                  {"Pulse Width must be between 20 and 2000000 Micro Seconds.",
                   "Repetition interval must be between 20 and 200000000 Micro Seconds.",
                   "Pulse Width must be less than the repetition interval"}),
              IDOK);
    EXPECT_EQ(pulse.WidthUsec, 20);
    EXPECT_EQ(pulse.IntervalUsec, 200000000);
    EXPECT_EQ(pulse.SingleShot, 1);
}

TEST_F(WaveformDialogs, DtmfAndUserWaveStoreTheirTexts)
{
    SigGenDtmf dtmf = SigGenChannelSettings().Dtmf;
    CDTMF dialog(nullptr, &dtmf);
    EXPECT_EQ(Run(dialog,
                  [](CWnd& d) {
                      EXPECT_EQ(Text(d, IDC_DTMF_KEYS), "1234567890*#ABCD");
                      Type(d, IDC_DTMF_KEYS, "555-1234");
                      Type(d, IDC_DTMF_TWIST, "30.5");
                      Click(d, IDOK);
                      Type(d, IDC_DTMF_TWIST, "-6");
                      Click(d, IDC_DTMF_REPEAT);
                      Click(d, IDOK);
                  },
                  {"Twist must be between -30 and +30 dB"}),
              IDOK);
    EXPECT_STREQ(dtmf.Keys, "555-1234");
    EXPECT_FLOAT_EQ(dtmf.TwistDb, -6.0f);
    EXPECT_EQ(dtmf.Repeat, 1);

    // A case-sensitive name with a space, as the file system holds it.
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "durnex some folder";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "Take 1.WAV").string();
    std::ofstream(file) << "x";
    SigGenUserWave user{};
    char folder[260] = "/tmp/";
    CUserWaveDialog pick(nullptr, &user, folder);
    ScriptedUser answers;
    answers.ExpectFile(PromptKind::FileOpen, file);
    CDialog::ScriptModal([&](CWnd& d) {
        Click(d, IDC_USER_PICK);
        EXPECT_EQ(Text(d, IDC_USER_PATH), file);
        Click(d, IDOK);
    });
    EXPECT_EQ(pick.DoModal(), IDOK);
    EXPECT_EQ(std::string(user.Path), file);
    EXPECT_EQ(std::string(folder), dir.string());
    std::filesystem::remove_all(dir);
}

TEST_F(WaveformDialogs, SignalLengthShowsBothLengthsAndStoresTheMultiplier)
{
    DWORD multiplier = 4;
    CSaveSignalLengthDlg dialog(nullptr, 2.5, &multiplier);
    CDialog::ScriptModal([&](CWnd& d) {
        EXPECT_EQ(Text(d, IDC_SAVE_DEFAULT_LENGTH), "  2.50");
        EXPECT_EQ(Text(d, IDC_SAVE_TOTAL_LENGTH), " 10.00");
        auto* combo = qobject_cast<QComboBox*>(Item(d, IDC_SAVE_MULTIPLIER));
        EXPECT_EQ(combo->count(), 20);
        EXPECT_EQ(combo->currentText().toStdString(), "4");
        combo->setCurrentIndex(2);
        Click(d, IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(multiplier, 3u);
}

// A number is the whole text: "1000abc", "2k", "1e3" in a whole-number field and "4,000" are
// refused with the field's name, never read up to their first odd character, and nothing is
// stored. A negative burst (silence forever) is refused too.
TEST_F(WaveformDialogs, TypedNumbersAreWholeTextsOrRefusedByName)
{
    SigGenToneBurst tone{1000, 100, 2000};
    const SigGenToneBurst before = tone;
    CToneBurst tb(nullptr, &tone, 24000);
    EXPECT_EQ(Run(tb,
                  [](CWnd& d) {
                      Type(d, IDC_TONE_BURST_FREQ, "1000abc");
                      Click(d, IDOK);
                      Type(d, IDC_TONE_BURST_FREQ, "2k");
                      Click(d, IDOK);
                      Type(d, IDC_TONE_BURST_FREQ, "1e3");
                      Type(d, IDC_BURST_MSEC, "1.5");
                      Click(d, IDOK);
                      Type(d, IDC_BURST_MSEC, "-500");
                      Click(d, IDOK);
                      Click(d, IDCANCEL);
                  },
                  {"Frequency: \"1000abc\" is not a number.  Please enter a number.",
                   "Frequency: \"2k\" is not a number.  Please enter a number.", "Burst Time must be a whole number.",
                   "Burst time must not be negative."}),
              IDCANCEL);
    EXPECT_EQ(std::memcmp(&tone, &before, sizeof tone), 0);

    SigGenTones tones = SigGenChannelSettings().Tones;
    const SigGenTones tonesBefore = tones;
    CTones rows(nullptr, &tones, 24000);
    EXPECT_EQ(Run(rows,
                  [](CWnd& d) {
                      Type(d, kToneLevelFirstId + 3, "-6dB"); // a disabled row is stored, so read too
                      Click(d, IDOK);
                      Click(d, IDCANCEL);
                  },
                  {"Tone 4 Relative Level: \"-6dB\" is not a number.  Please enter a number."}),
              IDCANCEL);
    EXPECT_EQ(std::memcmp(&tones, &tonesBefore, sizeof tones), 0);

    SigGenFreqSweep sweep = SigGenChannelSettings().FreqSweep;
    CFreqSweep fs(nullptr, &sweep, 24000);
    EXPECT_EQ(Run(fs,
                  [](CWnd& d) {
                      Type(d, IDC_SWEEP_STOP, "4,000");
                      Click(d, IDOK);
                      Type(d, IDC_SWEEP_STOP, " 4e3 ");
                      Type(d, IDC_SWEEP_MSEC, "1e3");
                      Click(d, IDOK);
                  },
                  {"Stop Frequency: \"4,000\" is not a number.  Please enter a number."}),
              IDOK);
    EXPECT_FLOAT_EQ(sweep.StopFreq, 4000.0f);
    EXPECT_EQ(sweep.SweepMsec, 1000);
}
