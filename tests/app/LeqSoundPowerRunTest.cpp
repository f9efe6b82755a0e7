// The Leq and sound power windows through post-process runs of wave files written by Python,
// against truths worked out from what was written: for Leq (default settings) numpy's energy
// mean over the whole file, LeqT and Lsel over its length and the levels of its pieces; for
// sound power the energy mean of the microphones' A-weighted levels and ISO 3744's Lw.
#include "FrameFixture.h"

#include "dsp/SpectralData.h"
#include "res/resource.h"
#include "utilities/CSoundPowerAnalysisView.h"
#include "utilities/CLeqAnalysisView.h"
#include "wave/TWaveFile.h"

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

using namespace frametest;

namespace {
struct Truth {
    double leq = 0.0, seconds = 0.0;
    std::vector<double> pieces; // each piece's own level
};

class LeqRun : public FrameFixture {
protected:
    // A 4000 Hz 16-bit mono file of 1 kHz pieces, each (dB re a full-scale sine, seconds),
    // and what numpy reads of it: levels re a full-scale sine's mean square.
    Truth Write(const std::string& pieces)
    {
        Truth t;
        const std::string path = Data("wave/leq.wav"), truth = Data("truth.txt");
        const bool ok = Python(std::string(apptest::kNumpyPreamble) +
                               "import numpy as np, wave\n"
                               "rate, fs = 4000, 32767.5\n"
                               "parts = []\n"
                               "for db, sec in [" + pieces + "]:\n"
                               "    n = int(sec * rate)\n"
                               "    parts.append(np.round(fs * 10 ** (db / 20) * np.sin(2 * np.pi * 1000 * np.arange(n) / rate + 0.3)))\n"
                               "x = np.concatenate(parts).astype(np.int16)\n"
                               "w = wave.open('" + path + "', 'wb')\n"
                               "w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate)\n"
                               "w.writeframes(x.tobytes()); w.close()\n"
                               "ref = fs * fs / 2\n"
                               "level = lambda v: 10 * np.log10(np.mean(np.asarray(v, float) ** 2) / ref)\n"
                               "out = [level(x), len(x) / rate] + [level(p.astype(np.int16)) for p in parts]\n"
                               "open('" + truth + "', 'w').write(' '.join('%.6f' % v for v in out))\n");
        EXPECT_TRUE(ok);
        std::ifstream in(truth);
        in >> t.leq >> t.seconds;
        for (double v; in >> v;)
            t.pieces.push_back(v);
        return t;
    }

    void Open(DWORD fftSize, DWORD overlap)
    {
        ASSERT_NE(Start(), nullptr);
        frame->SetModePostProcess(false);
        auto* file = new TWaveFile(Data("wave/leq.wav"), 0, false, Data("temp"));
        ASSERT_FALSE(file->IsError());
        frame->Settings.Files[0].File.reset(file);
        ChannelProcessingSettings& p = frame->Settings.Processing[0];
        p.SampleFormat = file->GetFormat();
        p.FFTsize = fftSize;
        p.OverlapPercent = overlap;
        frame->Settings.Calibration[0].IsEnabled = 0;
        for (auto& c : frame->Settings.Composite)
            c.bIsEnabled = 0;
    }

    void Run()
    {
        frame->OnUtilityLeq();
        ASSERT_NE(frame->LeqView, nullptr);
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->PostProcessBusy);
        for (int i = 0; i < 100000 && frame->PostProcessBusy; ++i)
            frame->PostProcessStep();
        ASSERT_FALSE(frame->PostProcessBusy);
    }

    // What the grid shows in the channel's row, column of result `r`.
    double Shown(int r) const { return std::atof(frame->LeqView->GetGrid()->GetCellText(1, static_cast<WORD>(r + 2))); }

    void ExpectTruths(const Truth& t, double loud, double quiet, const char* what)
    {
        const double T = frame->LeqSettings[0].ReferenceTime;
        EXPECT_NEAR(Shown(TLeqCalc::kLeq), t.leq, 0.2) << what;
        EXPECT_NEAR(Shown(TLeqCalc::kLeqT), t.leq + 10.0 * std::log10(t.seconds / T), 0.2) << what;
        EXPECT_NEAR(Shown(TLeqCalc::kLsel), t.leq + 10.0 * std::log10(t.seconds), 0.2) << what;
        EXPECT_NEAR(Shown(TLeqCalc::kLmax), loud, 0.2) << what;
        EXPECT_NEAR(Shown(TLeqCalc::kLmin), quiet, 0.2) << what;
        EXPECT_NEAR(Shown(TLeqCalc::kL90), quiet, 0.2) << what;
    }
};
} // namespace

// 1 kHz at -10 dB for 10 s, then -40 dB for 20 s: the defaults (Slow, A, recalculated every
// second) read the whole file, not its last second.
TEST_F(LeqRun, AFileReadsItsWholeEnergyWithTheDefaultSettings)
{
    const Truth t = Write("(-10, 10), (-40, 20)");
    ASSERT_EQ(t.pieces.size(), 2u);
    ASSERT_NEAR(t.leq, -14.76, 0.05);
    Open(1024, 90);
    Run();
    ExpectTruths(t, t.pieces[0], t.pieces[1], "30 s");
    // The loud third of the time is above 10 % of it and below half.
    EXPECT_NEAR(Shown(TLeqCalc::kL10), t.pieces[0], 0.2);
    EXPECT_NEAR(Shown(TLeqCalc::kL50), t.pieces[1], 0.2);
}

// Five minutes with LeqT, Leq and Lsel averaged Forever: 30 s at -10 dB amid 270 s at -50 dB,
// the frame stepping on by whole 8192-point blocks.
TEST_F(LeqRun, AFiveMinuteFileAveragedForeverReadsItsWholeEnergy)
{
    const Truth t = Write("(-50, 75), (-10, 30), (-50, 195)");
    ASSERT_EQ(t.pieces.size(), 3u);
    Open(8192, 0);
    LeqChannelSettings& s = frame->LeqSettings[0];
    for (int g : {LeqChannelSettings::kLeqT, LeqChannelSettings::kLeq, LeqChannelSettings::kLsel})
        s.Averaging[g] = 4;
    Run();
    // The window's own blocks, one every 0.1 s, not the frame's one every 2.048 s.
    EXPECT_NEAR(double(frame->LeqView->GetCalculator(0)->GetCount()), (t.seconds - 2.048) / 0.1 + 1.0, 1.0);
    ExpectTruths(t, t.pieces[1], t.pieces[0], "5 min");
}

namespace {
// IEC 61672-1's A-weighting in dB at `f` Hz (its closed form, annex E).
double AWeighting(double f)
{
    const double f1 = 20.598997, f2 = 107.65265, f3 = 737.86223, f4 = 12194.217;
    const double f2x = f * f;
    const double ra = f4 * f4 * f2x * f2x /
                      ((f2x + f1 * f1) * std::sqrt((f2x + f2 * f2) * (f2x + f3 * f3)) * (f2x + f4 * f4));
    return 20.0 * std::log10(ra) + 2.0;
}
} // namespace

// Three microphones on channels 0..2, each a numpy-written file of its own tone and level,
// behind composite A: the sound power window reads the energy mean of their A-weighted
// levels and Lw by ISO 3744, where the composite's summed spectrum reads 4.3 dB more.
TEST_F(LeqRun, SoundPowerOfThreeMicrophonesIsFromTheEnergyMeanOfTheirLevels)
{
    ASSERT_NE(Start(), nullptr);
    frame->SetModePostProcess(false);
    const double hz[3] = {1000.0, 800.0, 1250.0}, db[3] = {-20.0, -17.0, -14.0};
    double energy = 0.0;
    for (int ch = 0; ch < 3; ++ch) {
        const std::string path = Data("wave/mic" + std::to_string(ch) + ".wav");
        ASSERT_TRUE(Python("import math, struct, wave\n"
                           "w = wave.open('" + path + "', 'wb')\n"
                           "w.setnchannels(1); w.setsampwidth(2); w.setframerate(4000)\n"
                           "a = 32767.5 * 10 ** (" + std::to_string(db[ch]) + " / 20)\n"
                           "w.writeframes(b''.join(struct.pack('<h', round(a * math.sin(2 * math.pi * " +
                           std::to_string(hz[ch]) + " * i / 4000))) for i in range(16000)))\n"
                           "w.close()\n"));
        auto* file = new TWaveFile(path, 0, false, Data("temp"));
        ASSERT_FALSE(file->IsError());
        frame->Settings.Files[ch].File.reset(file);
        frame->Settings.Files[ch].FileChannel = 0;
        ChannelProcessingSettings& p = frame->Settings.Processing[ch];
        p.SampleFormat = file->GetFormat();
        p.FFTsize = 1024;
        p.OverlapPercent = 50;
        p.AverageMode = 0;
        p.AverageBlocks = 1000; // "Infinite", as the measurement wants
        frame->Settings.Calibration[ch].IsEnabled = 0;
        frame->Settings.Calibration[ch].RefUnits = kUnitSplAir;
        energy += std::pow(10.0, (db[ch] + AWeighting(hz[ch])) / 10.0);
    }
    for (auto& c : frame->Settings.Composite)
        c.bIsEnabled = 0;
    CompositeChannelSettings& a = frame->Settings.Composite[0];
    a.bIsEnabled = 1;
    a.CompositeType = 0;
    for (int ch = 0; ch < 3; ++ch)
        a.IncludeInAverage[ch] = 1;
    SoundPowerChannelSettings& s = frame->SoundPowerSettings[0];
    s.SurfaceArea = 50.0f;
    s.BackgroundCorrection = 0.8f;
    s.EnvironmentalCorrection = 2.0f;
    frame->OnUtilitySoundPower();
    ASSERT_NE(frame->SoundPowerView, nullptr);
    frame->ExecuteCommand(ID_RUN);
    for (int i = 0; i < 1000 && frame->PostProcessBusy; ++i)
        frame->PostProcessStep();
    ASSERT_FALSE(frame->PostProcessBusy);

    const double lp = 10.0 * std::log10(energy / 3.0);
    const double lw = lp - 0.8 - 2.0 + 10.0 * std::log10(50.0);
    EXPECT_NEAR(frame->SoundPowerView->MeanPressureLevel(0), lp, 0.1);
    EXPECT_NEAR(frame->SoundPowerView->GetLevel(0), lw, 0.1);
    EXPECT_NEAR(std::atof(frame->SoundPowerView->GetGrid()->GetCellText(1, 1)), lw, 0.1);
    // The composite's own spectrum, the sum of the three, reads 10 log10 3 above the mean.
    SpectralData* sum = frame->CompositeSpectral[0][2];
    ASSERT_NE(sum, nullptr);
    EXPECT_NEAR(sum->TotalLevel(UINT(sum->GetFirstBin()), UINT(sum->GetLastBin()), 1, 1), lp + 10.0 * std::log10(3.0),
                0.1);
}
