// The Leq window through post-process runs of numpy-written files at FFT sizes, overlaps and
// decimations that move the frame on by more than the window's 8192-sample block: it still
// reads every sample. Truths from numpy: the energy mean of the file, LeqT and Lsel over its
// length, and Lmax and Lmin as the time-weighted levels of Hanning-windowed 8192-sample
// blocks every 0.1 s (averaged over 2 blocks for Fast, 11 for Slow), worked out in the time
// domain. Levels are re a full-scale sine; at 1 kHz the A and C weightings are 0 dB.
#include "FrameFixture.h"

#include "res/resource.h"
#include "utilities/CLeqAnalysisView.h"
#include "wave/TWaveFile.h"

#include <cmath>
#include <fstream>
#include <map>
#include <string>

using namespace frametest;

namespace {
struct Settings {
    DWORD fft;
    DWORD overlap;
    WORD decimation;
};

class LeqHop : public FrameFixture {
protected:
    // Files of 1 kHz pieces at 4000 Hz, 16-bit mono, each "name: [(dB, seconds), ...]"; the
    // truths go to name.txt: Leq, seconds, then Lmax and Lmin for Off, Fast, Slow and Forever.
    // A piece (dB, seconds, seed) is band-limited noise (150..1500 Hz) of that mean square.
    void Write(const std::map<std::string, std::string>& files)
    {
        std::string list;
        for (const auto& [name, pieces] : files)
            list += "('" + name + "', [" + pieces + "]), ";
        ASSERT_TRUE(Python(std::string(apptest::kNumpyPreamble) +
                           "import numpy as np, wave\n"
                           "rate, fs, N, H = 4000, 32767.5, 8192, 400\n"
                           "ref = fs * fs / 2\n"
                           "w = np.hanning(N + 1)[:N]\n"
                           "for name, pieces in [" + list + "]:\n"
                           "    parts = []\n"
                           "    for piece in pieces:\n"
                           "        db, n = piece[0], int(piece[1] * rate)\n"
                           "        if len(piece) == 2:\n"
                           "            parts.append(10 ** (db / 20) * np.sin(2 * np.pi * 1000 * np.arange(n) / rate + 0.3))\n"
                           "            continue\n"
                           "        shaped = np.fft.rfft(np.random.default_rng(piece[2]).standard_normal(n))\n"
                           "        f = np.fft.rfftfreq(n, 1 / rate)\n"
                           "        shaped[(f < 150) | (f > 1500)] = 0\n"
                           "        v = np.fft.irfft(shaped, n)\n"
                           "        parts.append(v / np.sqrt(np.mean(v * v)) * np.sqrt(0.5) * 10 ** (db / 20))\n"
                           "    x = np.round(fs * np.concatenate(parts)).astype(np.int16)\n"
                           "    f = wave.open('" + Data("wave/") + "' + name + '.wav', 'wb')\n"
                           "    f.setnchannels(1); f.setsampwidth(2); f.setframerate(rate)\n"
                           "    f.writeframes(x.tobytes()); f.close()\n"
                           "    v = x.astype(float)\n"
                           "    ms = np.array([np.sum((w * v[s:s + N]) ** 2) / np.sum(w * w) for s in range(0, len(v) - N + 1, H)])\n"
                           "    out = [10 * np.log10(np.mean(v * v) / ref), len(v) / rate]\n"
                           "    for B in (1, 2, 11, 10000):\n"
                           "        e, t = [], 0.0\n"
                           "        for k, m in enumerate(ms):\n"
                           "            t = m if k == 0 else (t * k + m) / (k + 1) if k < B else t * (1 - 1 / B) + m / B\n"
                           "            e.append(t)\n"
                           "        out += [10 * np.log10(max(e) / ref), 10 * np.log10(min(e) / ref)]\n"
                           "    open('" + Data() + "' + name + '.txt', 'w').write(' '.join('%.6f' % q for q in out))\n"));
    }
    std::vector<double> Truth(const std::string& name)
    {
        std::ifstream in(Data(name + ".txt"));
        std::vector<double> t;
        for (double v; in >> v;)
            t.push_back(v);
        return t;
    }

    // A post-process run of the file to its end with the Leq window open; the nine results.
    std::vector<double> Run(const std::string& name, const Settings& s, WORD averaging, WORD weighting)
    {
        frame->SetModePostProcess(false);
        auto* file = new TWaveFile(Data("wave/" + name + ".wav"), 0, false, Data("temp"));
        EXPECT_FALSE(file->IsError());
        frame->Settings.Files[0].File.reset(file);
        ChannelProcessingSettings& p = frame->Settings.Processing[0];
        p.SampleFormat = file->GetFormat();
        p.FFTsize = s.fft;
        p.OverlapPercent = s.overlap;
        p.DecimationRatio = s.decimation;
        frame->Settings.Calibration[0].IsEnabled = 0;
        for (auto& c : frame->Settings.Composite)
            c.bIsEnabled = 0;
        LeqChannelSettings& leq = frame->LeqSettings[0];
        leq.Averaging[LeqChannelSettings::kLmaxMin] = averaging;
        leq.Weighting[LeqChannelSettings::kLmaxMin] = weighting;
        if (frame->LeqView == nullptr)
            frame->OnUtilityLeq();
        EXPECT_NE(frame->LeqView, nullptr);
        frame->ExecuteCommand(ID_RUN);
        EXPECT_TRUE(frame->PostProcessBusy);
        for (int i = 0; i < 100000 && frame->PostProcessBusy; ++i)
            frame->PostProcessStep();
        EXPECT_FALSE(frame->PostProcessBusy);
        float r[TLeqCalc::kResults] = {};
        EXPECT_TRUE(frame->LeqView->GetResults(0, r));
        return std::vector<double>(r, r + TLeqCalc::kResults);
    }
};

const Settings kSettings[] = {{1024, 0, 1},  {1024, 50, 1},  {1024, 90, 1}, {16384, 0, 1}, {16384, 50, 1},
                              {16384, 90, 1}, {8192, 0, 1}, {1024, 0, 16}, {1024, 50, 16}};

std::string Name(const Settings& s)
{
    return "FFT " + std::to_string(s.fft) + " overlap " + std::to_string(s.overlap) + " decimation " +
           std::to_string(s.decimation);
}
} // namespace

// 60 s at -40 dB with a 1.5 s burst at -6 dB: wherever the burst falls among the frame's
// blocks, and however far apart those are, the window reads its energy. At 22.5 s at every
// setting; at 16.5 and 18.5 s, where a frame stepping by 16384 samples fell past it, at the
// settings that step so.
TEST_F(LeqHop, ABurstCountsWhateverTheChannelsFftSizeOverlapAndDecimation)
{
    ASSERT_NE(Start(), nullptr);
    const std::pair<std::string, bool> bursts[] = {{"b22", true}, {"b16", false}, {"b18", false}};
    std::map<std::string, std::string> files;
    for (const auto& [name, everySetting] : bursts) {
        const int start = std::stoi(name.substr(1));
        files[name] = "(-40, " + std::to_string(start) + ".5), (-6, 1.5), (-40, " + std::to_string(58 - start) + ")";
    }
    Write(files);
    const auto expectBurst = [&](const std::string& name, bool everySetting) {
        const std::vector<double> t = Truth(name);
        ASSERT_EQ(t.size(), 10u);
        ASSERT_NEAR(t[0], -21.95, 0.05);
        for (const Settings& s : kSettings) {
            if (!everySetting && s.fft * s.decimation * (100 - s.overlap) / 100 != 16384)
                continue;
            const std::string what = name + ", " + Name(s);
            const std::vector<double> r = Run(name, s, 1, 1);
            EXPECT_NEAR(r[TLeqCalc::kLeq], t[0], 0.2) << what;
            EXPECT_NEAR(r[TLeqCalc::kLeqT], t[0] + 10.0 * std::log10(t[1] / 3600.0), 0.2) << what;
            EXPECT_NEAR(r[TLeqCalc::kLsel], t[0] + 10.0 * std::log10(t[1]), 0.2) << what;
            EXPECT_NEAR(r[TLeqCalc::kLmax], t[4], 0.2) << what;
            EXPECT_NEAR(r[TLeqCalc::kLmin], t[5], 0.2) << what;
        }
    };
    for (const auto& [name, everySetting] : bursts)
        expectBurst(name, everySetting);
}

// A level that steps every 2 s: Lmax and Lmin (C weighted) read the same at FFT 1024 and
// 16384, and what numpy's time weighting reads, from Off to Forever.
TEST_F(LeqHop, TimeWeightedLevelsReadTheSameAtEveryFftSize)
{
    ASSERT_NE(Start(), nullptr);
    Write({{"steps", "(-10, 2), (-25, 2), (-40, 2), (-20, 2), (-35, 2), (-15, 2), (-30, 2), (-12, 2), (-38, 2), "
                     "(-18, 2), (-28, 2), (-22, 2)"}});
    const std::vector<double> t = Truth("steps");
    ASSERT_EQ(t.size(), 10u);
    const char* const names[] = {"Off", "Fast", "Slow", "Forever"};
    const WORD averagings[] = {0, 1, 3, 4};
    for (int a = 0; a < 4; ++a) {
        const double lmax = t[2 + 2 * a], lmin = t[3 + 2 * a];
        std::vector<double> first;
        for (const Settings& s : {Settings{1024, 0, 1}, Settings{16384, 0, 1}}) {
            const std::string what = std::string(names[a]) + ", " + Name(s);
            const std::vector<double> r = Run("steps", s, averagings[a], 3);
            EXPECT_NEAR(r[TLeqCalc::kLmax], lmax, 0.3) << what;
            EXPECT_NEAR(r[TLeqCalc::kLmin], lmin, 0.3) << what;
            if (first.empty())
                first = r;
            EXPECT_NEAR(r[TLeqCalc::kLmax], first[TLeqCalc::kLmax], 0.3) << what;
            EXPECT_NEAR(r[TLeqCalc::kLmin], first[TLeqCalc::kLmin], 0.3) << what;
            EXPECT_NEAR(r[TLeqCalc::kLeq], t[0], 0.2) << what;
        }
    }
}

// Band-limited noise at -30 dB with a burst of noise at -10 dB, three seeds, weighted flat:
// the integrated levels against numpy's mean square at the frame's smallest and largest hops.
TEST_F(LeqHop, NoiseWithABurstReadsItsEnergyForEverySeed)
{
    ASSERT_NE(Start(), nullptr);
    Write({{"n1", "(-30, 12.5, 1), (-10, 1.5, 11), (-30, 16, 21)"},
           {"n2", "(-30, 12.5, 2), (-10, 1.5, 12), (-30, 16, 22)"},
           {"n3", "(-30, 12.5, 3), (-10, 1.5, 13), (-30, 16, 23)"}});
    for (WORD g = 0; g < LeqChannelSettings::kGroups; ++g)
        frame->LeqSettings[0].Weighting[g] = 0;
    const std::pair<const char*, Settings> runs[] = {{"n1", {1024, 90, 1}}, {"n1", {16384, 0, 1}},
                                                     {"n2", {16384, 0, 1}}, {"n3", {1024, 0, 16}}};
    for (const auto& [name, s] : runs) {
        const std::vector<double> t = Truth(name);
        ASSERT_EQ(t.size(), 10u);
        const std::string what = std::string(name) + ", " + Name(s);
        const std::vector<double> r = Run(name, s, 1, 0);
        EXPECT_NEAR(r[TLeqCalc::kLeq], t[0], 0.2) << what;
        EXPECT_NEAR(r[TLeqCalc::kLeqT], t[0] + 10.0 * std::log10(t[1] / 3600.0), 0.2) << what;
        EXPECT_NEAR(r[TLeqCalc::kLsel], t[0] + 10.0 * std::log10(t[1]), 0.2) << what;
    }
}
