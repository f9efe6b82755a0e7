// The THD+N-versus-frequency test against a device model of known distortion per frequency,
// its step plan, and the *.thd file read by Python's struct module.
#include "dsp/ThdFreqAnalysis.h"
#include "dsp/SegmentSamples.h"
#include "support/ScratchFileTest.h"
#include "support/NeedsTool.h"
#include "support/ScriptedUser.h"
#include "wave/TWaveData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A device whose input stage is a one-pole low-pass (coefficient alpha) followed by
// y = x + k2 x^2 + k3 x^3, x relative to full scale. A tone of amplitude A reaches the
// nonlinearity as A |H(f)|, which gives a second harmonic k2 a^2 / 2, a third k3 a^3 / 4 and a
// fundamental a + 3 k3 a^3 / 4: a known THD that falls with frequency.
struct DistortingDevice {
    double alpha = 0.2, k2 = 0.04, k3 = 0.03;

    double Gain(double f, double rate) const
    {
        const double w = 2 * kPi * f / rate;
        const double re = 1 - (1 - alpha) * std::cos(w), im = (1 - alpha) * std::sin(w);
        return alpha / std::sqrt(re * re + im * im);
    }
    double ThdPercent(double amplitude, double f, double rate) const
    {
        const double a = amplitude * Gain(f, rate);
        const double h1 = a + 0.75 * k3 * a * a * a, h2 = 0.5 * k2 * a * a, h3 = 0.25 * k3 * a * a * a;
        return 100 * std::sqrt(h2 * h2 + h3 * h3) / h1;
    }
    // The capture: `delay` frames of silence, then the stimulus through the device.
    std::vector<double> Record(TWaveData& stimulus, DWORD delay) const
    {
        std::vector<double> x(stimulus.GetLength());
        (void)ReadSegmentSamples(stimulus, 0, 0, x);
        const double full = stimulus.GetMaxValue();
        std::vector<double> y(delay + x.size(), 0.0);
        double state = 0.0;
        for (std::size_t n = 0; n < x.size(); ++n) {
            state += alpha * (x[n] / full - state);
            const double v = state + k2 * state * state + k3 * state * state * state;
            y[delay + n] = v * full;
        }
        return y;
    }
};

std::unique_ptr<TWaveData> CaptureOf(const std::vector<double>& y, DWORD rate)
{
    auto wave = std::make_unique<TWaveData>(static_cast<DWORD>(y.size()), TPcmFormat(rate, 1, 2));
    EXPECT_TRUE(WriteSegmentSamples(*wave, 0, 0, y));
    return wave;
}

} // namespace

TEST(ThdFreqTest, StepPlans)
{
    ThdFreqSettings s;
    int k0 = 0;
    EXPECT_EQ(ThdFreqAnalysis::StepCount(s, k0), 20);
    EXPECT_EQ(k0, -1);
    auto f = ThdFreqAnalysis::StepFrequencies(s);
    EXPECT_DOUBLE_EQ(f[1], 1020.0);
    EXPECT_DOUBLE_EQ(f.back(), 19020.0);

    s.LinearStep = 0.0f;
    EXPECT_EQ(ThdFreqAnalysis::StepCount(s, k0), 19981);
    EXPECT_EQ(s.LinearStep, 1.0f);

    // Downward: from the start.
    s.LinearStep = 1000.0f;
    s.StartFrequency = 20000.0f;
    s.StopFrequency = 20.0f;
    f = ThdFreqAnalysis::StepFrequencies(s);
    EXPECT_DOUBLE_EQ(f[0], 20000.0);
    EXPECT_DOUBLE_EQ(f[1], 19000.0);

    // Third octaves: bands 13 .. 43.
    s.StepType = 2;
    s.StartFrequency = 20.0f;
    s.StopFrequency = 20000.0f;
    EXPECT_EQ(ThdFreqAnalysis::StepCount(s, k0), 31);
    EXPECT_EQ(k0, 13);
    f = ThdFreqAnalysis::StepFrequencies(s);
    EXPECT_NEAR(f[0], std::pow(10.0, 1.3), 1e-9);
    EXPECT_NEAR(f.back(), std::pow(10.0, 4.3), 1e-6);
    s.StartFrequency = 20000.0f;
    s.StopFrequency = 20.0f;
    f = ThdFreqAnalysis::StepFrequencies(s);
    EXPECT_NEAR(f[0], std::pow(10.0, 4.3), 1e-6);

    EXPECT_EQ(ThdFreqAnalysis::StepFftSize(44100, 18.9f), 32768u);
    EXPECT_EQ(ThdFreqAnalysis::StepFftSize(44100, 19.0f), 16384u);
    EXPECT_EQ(ThdFreqAnalysis::StepFftSize(32000, 18.9f), 16384u);
    EXPECT_NEAR(ThdFreqAnalysis::OutputAmplitude(-6.0f, 0, 1.0f), 0.501187, 1e-6);
    EXPECT_NEAR(ThdFreqAnalysis::OutputAmplitude(0.5f, 2, 1.0f), 0.5 / 0.707106, 1e-6);
    EXPECT_EQ(ThdFreqAnalysis::OutputAmplitude(0.0f, 1, 1.0f), 0.0); // silence, not full scale
    EXPECT_EQ(ThdFreqAnalysis::OutputAmplitude(3.0f, 2, 0.0f), 1.0); // no full scale
}

TEST(ThdFreqTest, RateChecksAndStepLength)
{
    ScriptedUser user;
    ThdFreqSettings s;
    ThdFreqAnalysis t(&s);
    user.ExpectBox(IDOK, "The output device sampling rate must be 22050 or greater.  The currently selected sampling "
                         "rate is 22049 Hz.");
    EXPECT_FALSE(t.BuildStimulus(22049, 1, 2, 0.5, 0.5));
    EXPECT_TRUE(t.IsCancelled());

    // A stop exactly at half the rate passes; steps of 1000 ms at 44100 Hz are 44101 frames.
    ThdFreqAnalysis u(&s);
    s.StartFrequency = 1000.0f;
    s.StopFrequency = 22050.0f;
    s.LinearStep = 21050.0f;
    ASSERT_TRUE(u.BuildStimulus(44100, 1, 2, 0.5, 0.5));
    EXPECT_EQ(s.StepDuration, 1000);
    std::vector<double> x(u.stimulus->GetLength());
    ASSERT_TRUE(ReadSegmentSamples(*u.stimulus, 0, 0, x));
    const std::size_t first = u.stimulus->SecondsToFrames(u.leadIn + u.burst + u.gap);
    // Phase restarts at each step: a zero crossing upward one frame before the step's start.
    const double full = 0.99 * 0.5 * 32767;
    EXPECT_NEAR(x[first], full * std::sin(2 * kPi * 1000 / 44100), 1.5);
    EXPECT_NEAR(x[first + 44101], full * std::sin(2 * kPi * 22050 / 44100), 1.5);
    EXPECT_NEAR(x[first + 44101 + 1], full * std::sin(2 * 2 * kPi * 22050 / 44100), 1.5);
}

// The whole analysis against the device model, delayed by two sync blocks: every step reads
// back the model's THD within 0.5 dB at the step's frequency, on bin centres of the
// 16384-point analysis and between them alike.
TEST(ThdFreqTest, ReadsBackKnownDistortionAtEveryStep)
{
    constexpr double bin = 44100.0 / 16384;
    for (double offset : {0.0, 0.5}) {
        ThdFreqSettings s;
        s.StartFrequency = static_cast<float>((75 + offset) * bin);
        s.LinearStep = static_cast<float>(372 * bin);
        s.StopFrequency = s.StartFrequency + 5.1f * s.LinearStep;
        ThdFreqAnalysis t(&s);
        const double amplitude = 0.5;
        ASSERT_TRUE(t.BuildStimulus(44100, 1, 2, amplitude, amplitude));
        const DistortingDevice device;
        t.capture = CaptureOf(device.Record(*t.stimulus, 8192), 44100);
        t.tooLow = 1;
        t.FindSyncTone();
        EXPECT_NEAR(t.syncTime, t.leadIn + 8192 / 44100.0, 0.1);
        t.ComputeThdNPoints();
        ASSERT_EQ(t.PointCount(), 6);
        EXPECT_TRUE(t.pointsB.empty());
        EXPECT_EQ(t.tooLow, 0);
        EXPECT_EQ(t.clipped, 0);
        for (int k = 0; k < 6; ++k) {
            const double f = (75 + offset + 372 * k) * bin;
            const auto& p = t.pointsA[static_cast<std::size_t>(k)];
            EXPECT_NEAR(p.Frequency, f, 3.0) << "step " << k;
            const double want = device.ThdPercent(0.99 * amplitude, f, 44100);
            EXPECT_NEAR(20 * std::log10(p.ThdN / want), 0.0, 0.5) << "step " << k << " at " << f << " Hz: " << p.ThdN
                                                                 << " % against " << want << " %";
        }
    }
}

namespace {

ThdFreqSettings LinearSteps(float start, float step, float stop)
{
    ThdFreqSettings s;
    s.StartFrequency = start;
    s.LinearStep = step;
    s.StopFrequency = stop;
    return s;
}

// The stimulus of `t` as the device hears it at 4000 samples/s, as a fraction of full scale:
// the burst, then the steps of (P + 1) / 44100 s each at 0.99 of the amplitude.
std::vector<double> HeardAtDeviceRate(const ThdFreqAnalysis& t, ThdFreqSettings& s, double amplitude)
{
    constexpr double rate = 4000;
    const std::vector<double> f = ThdFreqAnalysis::StepFrequencies(s);
    const double stepSeconds = (static_cast<long long>(s.StepDuration * 44100 / 1000.0) + 1) / 44100.0;
    const double first = t.leadIn + t.burst + t.gap;
    std::vector<double> x(static_cast<std::size_t>(rate * (first + f.size() * stepSeconds + 0.5)), 0.0);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double time = i / rate;
        if (time >= t.leadIn && time < t.leadIn + t.burst)
            x[i] = amplitude * std::sin(2 * kPi * 1000 * (time - t.leadIn));
        const long long k = static_cast<long long>(std::floor((time - first) / stepSeconds));
        if (k >= 0 && k < static_cast<long long>(f.size()))
            x[i] = 0.99 * amplitude * std::sin(2 * kPi * f[static_cast<std::size_t>(k)] * (time - first));
    }
    return x;
}

} // namespace

// The KDR-5200 samples at 4000 samples/s: the sizes for sound-card rates never fit a step, so
// the analysis takes the largest that leaves each step enough blocks, and reads the device
// model's distortion within 0.5 dB at steps between bins up to the top of its band.
TEST(ThdFreqTest, AtTheDevicesRateTheAnalysisSizeFitsTheSteps)
{
    EXPECT_EQ(ThdFreqAnalysis::StepFftSize(4000, 20.0f), 2048u);
    EXPECT_EQ(ThdFreqAnalysis::StepFftSize(4000, 18.9f), 4096u); // steps of two seconds
    EXPECT_EQ(ThdFreqAnalysis::StepFftSize(22050, 20.0f), 16384u);
    EXPECT_EQ(ThdFreqAnalysis::StepFftSize(96000, 20.0f), 65536u);
    EXPECT_EQ(ThdFreqAnalysis::StepFftSize(200, 20.0f), 0u);
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "The input sampling rate of 200 Hz is too low for this test");
        EXPECT_FALSE(ThdFreqAnalysis::CheckInputRate(200, 20.0f));
    }

    ThdFreqSettings s = LinearSteps(100.3f, 373.7f, 1600.0f);
    ThdFreqAnalysis t(&s);
    const double amplitude = 0.5;
    ASSERT_TRUE(t.BuildStimulus(44100, 1, 2, amplitude, amplitude));
    constexpr double rate = 4000;
    const std::vector<double> f = ThdFreqAnalysis::StepFrequencies(s);
    std::vector<double> x = HeardAtDeviceRate(t, s, amplitude);
    for (double& v : x)
        v *= 32767;
    TWaveData heard(static_cast<DWORD>(x.size()), TPcmFormat(4000, 1, 2));
    ASSERT_TRUE(WriteSegmentSamples(heard, 0, 0, x));
    const DistortingDevice device;
    t.capture = CaptureOf(device.Record(heard, 600), 4000);
    t.FindSyncTone();
    t.ComputeThdNPoints();
    ASSERT_EQ(t.PointCount(), 5);
    for (int k = 0; k < 5; ++k) {
        const auto& p = t.pointsA[static_cast<std::size_t>(k)];
        const double fk = f[static_cast<std::size_t>(k)];
        EXPECT_NEAR(p.Frequency, fk, 2.0) << "step " << k;
        const double want = device.ThdPercent(0.99 * amplitude, fk, rate);
        EXPECT_NEAR(20 * std::log10(p.ThdN / want), 0.0, 0.5) << "step " << k << " at " << fk << " Hz: " << p.ThdN
                                                             << " % against " << want << " %";
    }
}

// A clean 24-bit capture at the device's rate with white noise 112 dB below the tone reads
// that THD+N within 1 dB at every step from 250 Hz to 1850 Hz. At 50 Hz the window's leakage
// buries the first harmonics' bins 30 dB above the noise: the step gives no point where it
// read 10 dB high.
TEST(ThdFreqTest, ACleanCaptureReadsItsNoiseFloorDownToFiftyHertz)
{
    ThdFreqSettings s = LinearSteps(50.0f, 200.0f, 1850.0f);
    ThdFreqAnalysis t(&s);
    const double amplitude = 0.5;
    ASSERT_TRUE(t.BuildStimulus(44100, 1, 2, amplitude, amplitude));
    const std::vector<double> f = ThdFreqAnalysis::StepFrequencies(s);
    const double tone = 0.99 * amplitude, noiseRms = tone / std::sqrt(2.0) * std::pow(10.0, -112.0 / 20);
    const std::vector<double> x = HeardAtDeviceRate(t, s, amplitude);
    std::vector<double> y(x.size() + 600, 0.0);
    unsigned seed = 77;
    const double full = 8388607.0;
    for (std::size_t i = 600; i < y.size(); ++i) {
        double g = 0.0;
        for (int j = 0; j < 12; ++j) {
            seed = seed * 1664525u + 1013904223u;
            g += (seed >> 8) / 16777216.0;
        }
        y[i] = std::round((x[i - 600] + (g - 6.0) * noiseRms) * full);
    }
    auto capture = std::make_unique<TWaveData>(static_cast<DWORD>(y.size()), TPcmFormat(4000, 1, 3));
    ASSERT_TRUE(WriteSegmentSamples(*capture, 0, 0, y));
    t.capture = std::move(capture);
    t.FindSyncTone();
    t.ComputeThdNPoints();
    // Rounding to 24 bits adds its own noise (1/12 of a step squared).
    const double floorDb = 10 * std::log10((noiseRms * noiseRms + 1.0 / 12 / full / full) / (tone * tone / 2));
    ASSERT_GE(t.PointCount(), static_cast<int>(f.size()) - 1);
    for (const auto& p : t.pointsA)
        EXPECT_NEAR(20 * std::log10(p.ThdN / 100), floorDb, 1.0) << p.Frequency << " Hz: " << p.ThdN << " %";
}

TEST(ThdFreqTest, QuietAndOverloadedCaptures)
{
    ThdFreqSettings s;
    s.StartFrequency = 1000.0f;
    s.StopFrequency = 1000.0f;
    ThdFreqAnalysis t(&s);
    ASSERT_TRUE(t.BuildStimulus(44100, 1, 2, 0.001, 0.001));
    std::vector<double> x(t.stimulus->GetLength());
    ASSERT_TRUE(ReadSegmentSamples(*t.stimulus, 0, 0, x));
    t.capture = CaptureOf(x, 44100);
    t.tooLow = 1;
    t.FindSyncTone(); // nothing loud enough: the nominal lead-in
    t.ComputeThdNPoints();
    EXPECT_EQ(t.PointCount(), 1);
    EXPECT_EQ(t.tooLow, 1);

    for (double& v : x)
        v *= 2000.0; // far past full scale: clipped on the way into the wave
    t.capture = CaptureOf(x, 44100);
    t.ComputeThdNPoints();
    EXPECT_EQ(t.clipped, 1);
    EXPECT_EQ(t.tooLow, 0);
}

class ThdFiles : public ScratchFileTest {
protected:
    ThdFiles() : ScratchFileTest("amp.thd") {}
    ThdFreqSettings settings;

    std::string Python(const std::string& expr)
    {
        const std::string cmd = "python3 -c \"import struct; d=open('" + file.string() + "','rb').read(); print(" +
                                expr + ")\"";
        std::string out;
        if (FILE* p = popen(cmd.c_str(), "r")) {
            char buf[256];
            while (fgets(buf, sizeof buf, p))
                out += buf;
            pclose(p);
        }
        return out;
    }
};

TEST_F(ThdFiles, TwoChannelFileReadsBackInPythonAndHere)
{
    ThdFreqAnalysis a(&settings);
    a.pointsA = {{20.0f, 0.012f}, {1020.0f, 0.5f}};
    a.pointsB = {{20.0f, 0.015f}, {1020.0f, 0.25f}};
    a.modified = 1;
    ASSERT_TRUE(a.SaveFile(file.string()));
    EXPECT_EQ(a.modified, 0);
    EXPECT_EQ(std::filesystem::file_size(file), 24u + 32u);
    EXPECT_EQ(Python("struct.unpack_from('<ii4f', d, 0)"), "(5000, 2, 20.0, 20000.0, 10.0, 0.0010000000474974513)\n");
    EXPECT_EQ(Python("struct.unpack_from('<4f', d, 32) + struct.unpack_from('<f', d, 52)"),
              "(1020.0, 0.5, 20.0, 0.014999999664723873, 0.25)\n");
    EXPECT_EQ(a.PointsText().substr(0, 29), "20.000000\t0.012000\t0.015000\r\n");

    // Channel A only: one channel; the stored start and plot range come back.
    std::string bytes = Text();
    Put(bytes.substr(0, 24 + 16));
    settings.StartFrequency = 50.0f;
    settings.ChannelCount = 2;
    ThdFreqAnalysis b(&settings);
    ASSERT_TRUE(b.LoadFile(file.string()));
    EXPECT_EQ(b.PointCount(), 2);
    EXPECT_TRUE(b.pointsB.empty());
    EXPECT_EQ(settings.ChannelCount, 1);
    EXPECT_EQ(settings.StartFrequency, 20.0f);
    EXPECT_EQ(b.PointsText(), "20.000000\t0.012000\r\n1020.000000\t0.500000\r\n");
}

// A two-channel file packed by Python: channel B's points, after channel A's, come back as B's,
// and the text copy carries them in its third column.
TEST_F(ThdFiles, ChannelBOfAFilePackedByPythonLoadsAsChannelB)
{
    const std::string pack = "python3 -c \"import struct; open('" + file.string() +
                             "','wb').write(struct.pack('<ii4f', 5000, 3, 30.0, 3000.0, 5.0, 0.01) + "
                             "struct.pack('<6f', 30, 0.1, 300, 0.2, 3000, 0.3) + "
                             "struct.pack('<6f', 30, 1.5, 300, 2.5, 3000, 3.5))\"";
    if (std::system(pack.c_str()) != 0)
        DURNEX_SKIP_WITHOUT("python3 is needed");
    settings.ChannelCount = 1;
    ThdFreqAnalysis t(&settings);
    ASSERT_TRUE(t.LoadFile(file.string()));
    ASSERT_EQ(t.PointCount(), 3);
    ASSERT_EQ(t.pointsB.size(), 3u);
    EXPECT_EQ(settings.ChannelCount, 2);
    const float thdA[] = {0.1f, 0.2f, 0.3f}, thdB[] = {1.5f, 2.5f, 3.5f}, freq[] = {30, 300, 3000};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(t.pointsA[i].Frequency, freq[i]);
        EXPECT_EQ(t.pointsA[i].ThdN, thdA[i]);
        EXPECT_EQ(t.pointsB[i].Frequency, freq[i]);
        EXPECT_EQ(t.pointsB[i].ThdN, thdB[i]) << i;
    }
    EXPECT_EQ(t.PointsText().substr(0, 29), "30.000000\t0.100000\t1.500000\r\n");
}

TEST_F(ThdFiles, DamagedFilesAreRefusedAndChangeNothing)
{
    ScriptedUser user;
    ThdFreqAnalysis a(&settings);
    a.pointsA = {{20.0f, 0.012f}};
    ASSERT_TRUE(a.SaveFile(file.string()));
    const std::string good = Text();
    settings.StartFrequency = 50.0f;

    std::string bad = good;
    bad[0] = char(0x89); // 5001
    Put(bad);
    user.ExpectBox(IDOK, "Invalid thd file: " + file.string());
    EXPECT_FALSE(a.LoadFile(file.string()));
    EXPECT_EQ(a.PointCount(), 0);

    bad = good;
    bad[4] = 0;
    Put(bad);
    user.ExpectBox(IDOK, "File contains no thd data: " + file.string());
    EXPECT_FALSE(a.LoadFile(file.string()));

    // A count the file cannot hold.
    bad = good;
    bad[7] = 0x10;
    Put(bad);
    user.ExpectBox(IDOK, "Error reading thd file: " + file.string());
    EXPECT_FALSE(a.LoadFile(file.string()));
    EXPECT_EQ(settings.StartFrequency, 50.0f);

    // A two-channel file cut inside channel B is refused, not loaded as channel A alone.
    a.pointsA = {{20.0f, 0.012f}, {40.0f, 0.02f}};
    a.pointsB = {{20.0f, 0.015f}, {40.0f, 0.03f}};
    ASSERT_TRUE(a.SaveFile(file.string()));
    const std::string two = Text();
    for (std::size_t cut : {std::size_t{1}, std::size_t{8}, std::size_t{15}}) {
        Put(two.substr(0, 24 + 32 - cut));
        user.ExpectBox(IDOK, "Error reading thd file: " + file.string());
        EXPECT_FALSE(a.LoadFile(file.string())) << cut;
        EXPECT_EQ(a.PointCount(), 0) << cut;
    }
    Put(good);

    // A stop not above the start and a bottom not below the top keep the settings' values.
    bad = good;
    std::memcpy(&bad[12], "\0\0\xa0\x41", 4); // stop 20 = start
    std::memcpy(&bad[20], "\0\0\x20\x41", 4); // bottom 10 = top
    Put(bad);
    settings.StopFrequency = 8000.0f;
    settings.PlotBottom = 0.01f;
    ASSERT_TRUE(a.LoadFile(file.string()));
    EXPECT_EQ(settings.StopFrequency, 8000.0f);
    EXPECT_EQ(settings.PlotBottom, 0.01f);

    // A write that cannot complete is reported and the results stay unsaved.
    a.modified = 1;
    user.ExpectBox(IDOK, "Error writing thd file.");
    EXPECT_FALSE(a.SaveFile("/dev/full"));
    EXPECT_EQ(a.modified, 1);
}

TEST_F(ThdFiles, ValuesNoTestProducesAreRefusedAndChangeNothing)
{
    ScriptedUser user;
    ThdFreqAnalysis a(&settings);
    a.pointsA = {{20.0f, 0.012f}, {1020.0f, 0.5f}};
    ASSERT_TRUE(a.SaveFile(file.string()));
    const std::string good = Text();
    settings.StartFrequency = 50.0f;
    settings.StopFrequency = 8000.0f;
    settings.PlotTop = 5.0f;
    const ThdFreqSettings before = settings;
    auto patched = [&](std::vector<std::pair<std::size_t, float>> values) {
        std::string bytes = good;
        for (auto [at, v] : values)
            std::memcpy(&bytes[at], &v, 4);
        return bytes;
    };
    // The range that froze the window (1e30 .. 2e30 Hz), a stop past 1 MHz, a plot top that is
    // not a number; points at 1e20 Hz, at a negative or infinite frequency, with a THD+N that
    // is negative or not a number.
    const std::vector<std::vector<std::pair<std::size_t, float>>> faults = {
        {{8, 1e30f}, {12, 2e30f}}, {{12, 2e6f}}, {{16, std::nanf("")}}, {{24, 1e20f}},
        {{32, -20.0f}}, {{24, INFINITY}}, {{28, -0.5f}}, {{36, std::nanf("")}},
    };
    for (const auto& fault : faults) {
        Put(patched(fault));
        user.ExpectBox(IDOK, "Invalid thd file: " + file.string());
        EXPECT_FALSE(a.LoadFile(file.string())) << fault[0].first;
        EXPECT_EQ(a.PointCount(), 0);
        EXPECT_EQ(std::memcmp(&settings, &before, sizeof settings), 0);
    }
    // 1 MHz is still a frequency.
    Put(patched({{12, 1e6f}, {32, 1e6f}}));
    ASSERT_TRUE(a.LoadFile(file.string()));
    EXPECT_EQ(settings.StopFrequency, 1e6f);
}

TEST(ThdFilePaths, RelativeNamesLieInTheDataFolder)
{
    EXPECT_EQ(ThdFreqAnalysis::ThdFilePath("sub/a.thd", "/data/thd"), "/data/thd/sub/a.thd");
    EXPECT_EQ(ThdFreqAnalysis::ThdFilePath("/x/a.thd", "/data/thd"), "/x/a.thd");
    EXPECT_EQ(ThdFreqAnalysis::ThdFilePath("a.t", "/data/thd"), "a.t");
}
