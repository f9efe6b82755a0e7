// The Leq window through a post-process run of wave files written by numpy, with the default
// Leq settings, against the truths numpy works out from the samples it wrote: the energy
// mean over the whole file, LeqT and Lsel over its length, and the levels of its pieces.
#include "FrameFixture.h"

#include "res/resource.h"
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

// Twenty minutes with LeqT, Leq and Lsel averaged Forever: 2 minutes at -10 dB amid 18 at
// -50 dB, read in 8192-point blocks end to end.
TEST_F(LeqRun, ATwentyMinuteFileAveragedForeverReadsItsWholeEnergy)
{
    const Truth t = Write("(-50, 300), (-10, 120), (-50, 780)");
    ASSERT_EQ(t.pieces.size(), 3u);
    Open(8192, 0);
    LeqChannelSettings& s = frame->LeqSettings[0];
    for (int g : {LeqChannelSettings::kLeqT, LeqChannelSettings::kLeq, LeqChannelSettings::kLsel})
        s.Averaging[g] = 4;
    Run();
    EXPECT_NEAR(double(frame->LeqView->GetCalculator(0)->GetCount()), t.seconds / 2.048, 2.0);
    ExpectTruths(t, t.pieces[1], t.pieces[0], "20 min");
}
