// The generated signals measured against outside truth: the frequency numpy finds in the
// shaped waveforms, scipy's chirp, the DTMF frequency pairs
// of ITU-T Q.23 found by a Goertzel filter, the -3 dB/octave slope of pink noise, and the 4:1
// amplitude ratio of the SMPTE intermodulation test signal.
#include "platform/core/Rand.h"
#include "support/NeedsTool.h"
#include "platform/core/Resources.h"
#include "siggen/TWaveformBuilder.h"
#include "siggen/WaveformSynthesis.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string PythonWithScipy()
{
    for (const char* p : {"/usr/bin/python3", "python3"})
        if (std::system((std::string(p) + " -c 'import numpy, scipy' >/dev/null 2>&1").c_str()) == 0)
            return p;
    return {};
}

std::unique_ptr<TWaveData> Render(SynthesisRoutine routine, const SigGenChannelSettings& s, DWORD rate, DWORD frames,
                                  std::span<const std::int16_t> pink = {})
{
    auto wave = std::make_unique<TWaveData>(frames, TPcmFormat(rate, 1, 2));
    wave->Silence();
    SynthesisContext ctx;
    ctx.pink = pink;
    CrtSrand(1);
    routine(wave.get(), s, 0, 1.0, ctx);
    return wave;
}

// Amplitude of frequency f in frames [first, first + count) by the Goertzel recurrence.
double Goertzel(TWaveData& w, DWORD first, DWORD count, double f)
{
    const double omega = 2.0 * M_PI * f / w.GetSampleRate();
    const double coeff = 2.0 * std::cos(omega);
    double s1 = 0.0, s2 = 0.0;
    for (DWORD i = 0; i < count; ++i) {
        const double s0 = w.GetSample(first + i, 0, false) + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / count;
}

std::string ScratchFile(const char* name)
{
    return (fs::temp_directory_path() / ("durnex-truth-" + std::to_string(::getpid()) + "-" + name)).string();
}

// Writes `wave` to a scratch file and runs `code` on it with numpy and scipy (the file's path
// is argv[1]); true when the script exits 0.
bool ScriptPasses(const std::string& python, const TWaveData& wave, const std::string& name, const std::string& code,
                  int repeats = 1)
{
    const std::string path = ScratchFile((name + ".wav").c_str()), script = ScratchFile((name + ".py").c_str());
    if (!WriteSignalFile(wave, path, repeats, {}))
        return false;
    FILE* f = std::fopen(script.c_str(), "w");
    if (f == nullptr)
        return false;
    std::fputs(code.c_str(), f);
    std::fclose(f);
    const bool passed = std::system((python + " " + script + " " + path).c_str()) == 0;
    fs::remove(script);
    fs::remove(path);
    return passed;
}

} // namespace

TEST(SignalTruth, LinearSweepIsScipysChirpHalfAFrameLater)
{
    const std::string python = PythonWithScipy();
    if (python.empty())
        DURNEX_SKIP_WITHOUT("python3 with numpy and scipy is needed");
    SigGenChannelSettings s;
    s.FreqSweep = {200.0f, 3000.0f, 500, 1, 1, 0};
    const auto wave = Render(GenerateFreqSweep, s, 8000, 4000);
    // The generator's phase at frame i is 2 pi (i + 1) f(i) / rate with f rising by half the
    // sweep rate per frame: chirp's phase at t = (i + 0.5) / rate plus a constant. Dither (under
    // one step) and adding a half before truncating toward zero (up to one and a half steps
    // below zero) bound the difference by two and a half steps.
    const std::string code =
        "import sys, wave, numpy as np; from scipy.signal import chirp\n"
        "w = wave.open(sys.argv[1]); x = np.frombuffer(w.readframes(w.getnframes()), '<i2').astype(float)\n"
        "rate, n, f0, f1 = 8000.0, 4000, 200.0, 3000.0; k = (f1 - f0) / n / 2.0\n"
        "c = 2 * np.pi / rate * (0.5 * f0 - 0.25 * k)\n"
        "t = (np.arange(n) + 0.5) / rate\n"
        "ref = chirp(t, f0=f0, t1=n / rate, f1=f1, method='linear', phi=np.degrees(c) - 90.0)\n"
        "err = np.abs(x - 0.999 * 32767 * ref).max()\n"
        "print('largest difference', err); sys.exit(0 if err <= 2.5 else 1)\n";
    EXPECT_TRUE(ScriptPasses(python, *wave, "chirp", code));
}

TEST(SignalTruth, LogarithmicSweepEndsAtItsStopFrequency)
{
    // Counted from zero crossings over the last and first 20 ms of a 1 s sweep.
    SigGenChannelSettings s;
    s.FreqSweep = {100.0f, 4000.0f, 1000, 2, 1, 0};
    const auto wave = Render(GenerateFreqSweep, s, 48000, 48000);
    auto crossings = [&](DWORD first, DWORD count) {
        int n = 0;
        for (DWORD i = first + 1; i < first + count; ++i)
            if ((wave->GetSample(i - 1, 0, false) < 0) != (wave->GetSample(i, 0, false) < 0))
                ++n;
        return n / 2.0 / (count / 48000.0);
    };
    EXPECT_NEAR(crossings(48000 - 960, 960), 4000.0, 4000.0 * 0.03);
    EXPECT_NEAR(crossings(0, 960), 100.0, 100.0 * 0.3);
}

TEST(SignalTruth, DtmfKeysCarryTheirQ23FrequencyPairs)
{
    const double rows[4] = {697, 770, 852, 941}, cols[4] = {1209, 1336, 1477, 1633};
    const char* keys = "123A456B789C*0#D";
    SigGenChannelSettings s;
    std::strcpy(s.Dtmf.Keys, keys);
    s.Dtmf.PulseMsec = 50;
    s.Dtmf.SpacingMsec = 50;
    s.Dtmf.TwistDb = 0.0f;
    const auto wave = Render(GenerateDtmf, s, 8000, 16 * 800);
    for (int k = 0; k < 16; ++k) {
        SCOPED_TRACE(keys[k]);
        double level[8];
        for (int j = 0; j < 4; ++j) {
            level[j] = Goertzel(*wave, k * 800, 400, rows[j]);
            level[4 + j] = Goertzel(*wave, k * 800, 400, cols[j]);
        }
        const int row = k / 4, col = k % 4;
        // Each tone at half of 0.999 full scale; every other pair frequency at least 20 dB down.
        EXPECT_NEAR(level[row], 0.999 * 32767 / 2, 300.0);
        EXPECT_NEAR(level[4 + col], 0.999 * 32767 / 2, 300.0);
        for (int j = 0; j < 8; ++j) {
            if (j != row && j != 4 + col) {
                EXPECT_LT(level[j], level[row] / 10.0) << j;
            }
        }
        // The gap after the key is silent but for the dither.
        EXPECT_LT(Goertzel(*wave, k * 800 + 400, 400, rows[row]), 5.0);
    }
    // A twist of +6 dB lowers the row tone to half the column tone.
    s.Dtmf.TwistDb = 6.0f;
    std::strcpy(s.Dtmf.Keys, "5");
    const auto twisted = Render(GenerateDtmf, s, 8000, 800);
    EXPECT_NEAR(Goertzel(*twisted, 0, 400, 770) / Goertzel(*twisted, 0, 400, 1336), 0.501, 0.01);
}

TEST(SignalTruth, SmpteImdToneSetHasAFourToOneAmplitudeRatio)
{
    SigGenChannelSettings s;
    s.ImdTones.ToneSet = 1;
    const auto wave = Render(GenerateImdTones, s, 48000, 48000);
    const double low = Goertzel(*wave, 0, 48000, 60.0), high = Goertzel(*wave, 0, 48000, 7000.0);
    EXPECT_NEAR(low / high, 4.0, 0.01);
    EXPECT_NEAR(low + high, 0.999 * 32767 * 1.25 / 2, 20.0);
}

TEST(SignalTruth, PinkNoiseFallsThreeDecibelsAnOctave)
{
    const std::string python = PythonWithScipy();
    if (python.empty())
        DURNEX_SKIP_WITHOUT("python3 with numpy and scipy is needed");
    RegisterBuiltInResources();
    std::unique_ptr<TWaveFile> recording(TWaveFile::FromResource("PinkWave", "PINKWAVE"));
    ASSERT_TRUE(recording && !recording->IsError());
    std::vector<std::int16_t> pink(recording->GetLength());
    for (DWORD i = 0; i < pink.size(); ++i)
        pink[i] = static_cast<std::int16_t>(recording->GetSample(i, 0, false));
    SigGenChannelSettings s;
    const auto wave = Render(GeneratePinkNoise, s, 44100, 44100 * 20, pink);
    // Welch's density averaged per octave from 31.5 Hz to 16 kHz, fitted by a line in
    // log2(frequency): the slope is -3 dB per octave and no band strays from the line.
    const std::string code =
        "import sys, wave, numpy as np; from scipy.signal import welch\n"
        "w = wave.open(sys.argv[1]); x = np.frombuffer(w.readframes(w.getnframes()), '<i2').astype(float)\n"
        "f, p = welch(x, fs=44100, nperseg=32768)\n"
        "centres = 1000.0 * 2.0 ** np.arange(-5, 5)\n"
        "db = np.array([10 * np.log10(p[(f >= c / 2 ** 0.5) & (f < c * 2 ** 0.5)].mean()) for c in centres])\n"
        "slope, icpt = np.polyfit(np.log2(centres), db, 1)\n"
        "dev = np.abs(db - (slope * np.log2(centres) + icpt)).max()\n"
        "print('slope', slope, 'largest deviation', dev)\n"
        "sys.exit(0 if abs(slope + 3.0) <= 0.5 and dev <= 1.0 else 1)\n";
    EXPECT_TRUE(ScriptPasses(python, *wave, "pink", code));
}

TEST(SignalTruth, ShapedWaveformsPlayTheFrequencyAskedFor)
{
    const std::string python = PythonWithScipy();
    if (python.empty())
        DURNEX_SKIP_WITHOUT("python3 with numpy and scipy is needed");
    // Periods of 4.41, 14.7 and 4.41 frames: whole-frame periods would play 11025, 3150 and
    // 11025 Hz. The built length is played three times, as the loop plays it, and numpy finds
    // the strongest component (Hann window, peak interpolated on the log spectrum).
    const DWORD rate = 44100;
    SigGenChannelSettings saw, triangle, square;
    saw.Type = SigGenType::Sawtooth;
    saw.Sawtooth = {1, 10000.0f};
    triangle.Type = SigGenType::Triangular;
    triangle.Triangular.Frequency = 3000.0f;
    square.Type = SigGenType::Square;
    square.Square = {10000.0f, 50};
    const struct {
        const char* name;
        SynthesisRoutine routine;
        const SigGenChannelSettings& settings;
        double frequency;
    } cases[] = {{"saw", GenerateSawtooth, saw, 10000.0}, {"triangle", GenerateTriangular, triangle, 3000.0},
                 {"square", GenerateSquare, square, 10000.0}};
    for (const auto& c : cases) {
        const std::int64_t length = GetWaveformLength(c.settings, TPcmFormat(rate, 1, 2), {}, {});
        ASSERT_GT(length, 0);
        const auto wave = Render(c.routine, c.settings, rate, DWORD(length));
        const std::string code =
            "import sys, wave, numpy as np\n"
            "w = wave.open(sys.argv[1]); x = np.frombuffer(w.readframes(w.getnframes()), '<i2').astype(float)\n"
            "x = x - x.mean(); s = np.abs(np.fft.rfft(x * np.hanning(len(x)))); k = int(np.argmax(s))\n"
            "a, b, c = np.log(s[k - 1:k + 2]); k = k + 0.5 * (a - c) / (a - 2 * b + c)\n"
            "f = k * 44100.0 / len(x); print('" + std::string(c.name) + "', f)\n"
            "sys.exit(0 if abs(f - " + std::to_string(c.frequency) + ") < 0.5 else 1)\n";
        EXPECT_TRUE(ScriptPasses(python, *wave, c.name, code, 3)) << c.name;
        if (c.routine == GenerateSquare) {
            // Half of every 4.41 frames is high on average, though no cycle can be.
            DWORD high = 0;
            for (DWORD i = 0; i < wave->GetLength(); ++i)
                high += wave->GetSample(i, 0, false) > 0 ? 1 : 0;
            EXPECT_NEAR(double(high) / wave->GetLength(), 0.5, 0.002);
        }
    }
}
