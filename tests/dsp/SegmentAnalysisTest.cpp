// Segment analyses against closed forms: block counts, zero padding, the Hilbert envelope of
// an AM tone, Schroeder integration of an exponential decay, RMS and crest factor.
#include "dsp/SegmentAnalysis.h"
#include "support/NeedsTool.h"

#include "records/ChannelProcessingSettings.h"
#include "records/ChannelCalibration.h"
#include "dsp/SegmentSamples.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveData.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;

std::vector<double> AmTone(std::size_t n, double fc, double fm, double m, double amplitude, double rate)
{
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        x[i] = amplitude * (1.0 + m * std::cos(2 * kPi * fm * t)) * std::cos(2 * kPi * fc * t);
    }
    return x;
}

double AmEnvelope(std::size_t i, double fm, double m, double amplitude, double rate)
{
    return amplitude * (1.0 + m * std::cos(2 * kPi * fm * static_cast<double>(i) / rate));
}

} // namespace

TEST(SegmentAveragePlan, NoOverlap)
{
    const std::int64_t L = 1024;
    SegmentAveragePlan exact = PlanSegmentAverage(L, L, L);
    EXPECT_EQ(exact.blocks, 1);
    EXPECT_EQ(exact.remainder, 0);
    EXPECT_FALSE(exact.finalBlock);
    SegmentAveragePlan plusOne = PlanSegmentAverage(L + 1, L, L);
    EXPECT_EQ(plusOne.blocks, 1);
    EXPECT_EQ(plusOne.remainder, 1);
    EXPECT_TRUE(plusOne.finalBlock);
    SegmentAveragePlan threeAndAHalf = PlanSegmentAverage(3 * L + L / 2, L, L);
    EXPECT_EQ(threeAndAHalf.blocks, 3);
    EXPECT_EQ(threeAndAHalf.remainder, L / 2);
}

TEST(SegmentAveragePlan, HalfOverlapAlwaysEndsWithAnAlignedBlock)
{
    const std::int64_t L = 512;
    for (std::int64_t m = L; m < 6 * L; ++m) {
        const SegmentAveragePlan p = PlanSegmentAverage(m, L, L / 2);
        ASSERT_GE(p.remainder, 1) << m;
        ASSERT_LE(p.remainder, L) << m;
        ASSERT_TRUE(p.finalBlock);
        // The whole blocks stay inside the segment.
        ASSERT_LE((p.blocks - 1) * (L / 2) + L, m) << m;
    }
}

TEST(SegmentAveragePlan, ShortSegmentsAndBadInput)
{
    const SegmentAveragePlan s = PlanSegmentAverage(300, 1024, 512);
    EXPECT_EQ(s.blocks, 0);
    EXPECT_EQ(s.remainder, 300);
    EXPECT_TRUE(s.finalBlock);
    EXPECT_EQ(PlanSegmentAverage(0, 1024, 512).blocks, 0);
    EXPECT_FALSE(PlanSegmentAverage(0, 1024, 512).finalBlock);
    EXPECT_EQ(PlanSegmentAverage(4096, 1024, 0).blocks, 4); // no hop: one block per length
}

TEST(SegmentRebuild, LinesOverASegment)
{
    const TWaveData wave(80000, TPcmFormat(8000, 1, 2));
    struct Case {
        float start, end;
        int averageBlocks, lines;
        double step;
        int blocksPerLine;
        DWORD firstBlock;
        bool note;
    };
    // Middles from 1 s to 3 s (frames 8000..24000), blocks of 1024 frames 512 apart: the last
    // line lands on the segment's end; a line averages the blocks that fit its share, up to the
    // averaging count, centred on its middle.
    const Case cases[] = {
        {1.0f, 3.0f, 3, 101, 160.0, 1, 8000 - 512, false},
        {1.0f, 3.0f, 3, 11, 1600.0, 3, 8000 - 512 - 512, false},
        {1.0f, 3.0f, 2, 11, 1600.0, 2, 8000 - 512 - 256, false},
        {1.0f, 3.0f, 1000, 3, 8000.0, 15, 8000 - 512 - 7 * 512, false},
        // Fewer frames than lines: one frame a line, with the note.
        {1.0f, 1.005f, 3, 100, 1.0, 1, 8000 - 512, true},
    };
    for (const Case& c : cases) {
        const SegmentRebuildPlan p = PlanSegmentRebuild(wave, c.start, c.end, 1024, 512, c.averageBlocks, c.lines);
        ASSERT_TRUE(p.run) << c.lines;
        EXPECT_DOUBLE_EQ(p.step, c.step) << c.lines;
        EXPECT_EQ(p.blocksPerLine, c.blocksPerLine) << c.lines;
        EXPECT_EQ(p.FirstBlockOfLine(0), c.firstBlock) << c.lines;
        EXPECT_EQ(p.resolutionNote, c.note) << c.lines;
        EXPECT_EQ(p.LineMiddle(0), 8000u);
        if (!c.note)
            EXPECT_EQ(p.LineMiddle(c.lines - 1), 24000u) << c.lines;
        // The times the lines get plan the same lines again: a rebuild of a rebuild keeps them.
        const float first = float(wave.FramesToSeconds(p.LineMiddle(0)));
        const float last = float(wave.FramesToSeconds(p.LineMiddle(c.lines - 1)));
        const SegmentRebuildPlan again = PlanSegmentRebuild(wave, first, last, 1024, 512, c.averageBlocks, c.lines);
        for (int i = 0; i < c.lines; ++i)
            ASSERT_EQ(again.LineMiddle(i), p.LineMiddle(i)) << c.lines << " line " << i;
    }
    // Near the start both ends clamp to the first block's middle: nothing to do; no lines
    // neither.
    EXPECT_FALSE(PlanSegmentRebuild(wave, 0.01f, 0.05f, 1024, 512, 3, 100).run);
    EXPECT_FALSE(PlanSegmentRebuild(wave, 1.0f, 3.0f, 1024, 512, 3, 0).run);
    EXPECT_EQ(SegmentRebuildLine(0, 100, 0), 99);
    EXPECT_EQ(SegmentRebuildLine(99, 100, 0), 0);
    EXPECT_EQ(SegmentRebuildLine(7, 100, 1), 7);
    EXPECT_EQ(SegmentRebuildLine(7, 100, 2), 0);
}

TEST(SegmentShortBlocks, ZeroPaddingCentresTheSamples)
{
    const std::size_t n = 1024;
    std::vector<float> half(n / 2);
    for (std::size_t i = 0; i < half.size(); ++i)
        half[i] = static_cast<float>(i + 1);
    const std::vector<float> f = ZeroPaddedFrame(half, n);
    ASSERT_EQ(f.size(), n);
    for (std::size_t j = 0; j < n; ++j) {
        if (j < n / 4 || j >= n / 4 + n / 2)
            EXPECT_EQ(f[j], 0.0f) << j;
        else
            EXPECT_EQ(f[j], static_cast<float>(j - n / 4 + 1)) << j;
    }
    // An odd pad never reads past the samples.
    const std::vector<float> odd = ZeroPaddedFrame(std::vector<float>(5, 1.0f), 8);
    EXPECT_EQ(odd, (std::vector<float>{0, 1, 1, 1, 1, 1, 0, 0}));
}

TEST(SegmentShortBlocks, CentredBlockStartsNoEarlierThanTheFile)
{
    EXPECT_EQ(CentredBlockStart(100, 200, 1024), 0);
    EXPECT_EQ(CentredBlockStart(10000, 200, 1024), 10000 + 100 - 512);
}

// A 24-bit mono wave at the given rate holding the signal (values relative to zero).
std::unique_ptr<TWaveData> WaveOf(const std::vector<double>& x, DWORD rate)
{
    auto w = std::make_unique<TWaveData>(static_cast<DWORD>(x.size()), TPcmFormat(rate, 1, 3));
    EXPECT_TRUE(WriteSegmentSamples(*w, 0, 0, x));
    return w;
}

std::vector<double> BufferSamples(const TSampleBuffer& b, DWORD count)
{
    std::vector<double> x(count);
    for (DWORD i = 0; i < count; ++i)
        x[i] = b.GetSample(i, false);
    return x;
}

TEST(SegmentHilbert, EnvelopeOfAnAmToneFollowsTheModulation)
{
    const double rate = 8192, fc = 1024, fm = 8, m = 0.5, a = 2e6;
    // 10000 frames: one piece of 8192 samples, then the last 1808 as a piece of their own.
    const std::vector<double> x = AmTone(12000, fc, fm, m, a, rate);
    auto w = WaveOf(x, 8192);
    ChannelProcessingSettings proc;
    ChannelCalibration cal;
    std::vector<int> reports;
    SegmentProgress hooks;
    hooks.progress = [&](int p) { reports.push_back(p); };
    auto b = ComputeSegmentSignal(SegmentSignal::Hilbert, *w, 0, 1000, 11000, proc, cal, hooks);
    ASSERT_TRUE(b);
    ASSERT_EQ(b->GetCount(), 10000u);
    EXPECT_EQ(reports, (std::vector<int>{0, 0}));
    const std::vector<double> env = BufferSamples(*b, 10000);
    // Whole periods of carrier and modulation fit the first piece: no edge effects there.
    for (DWORD i = 0; i < 8192; ++i)
        ASSERT_NEAR(env[i], AmEnvelope(i + 1000, fm, m, a, rate), 0.01 * a) << i;
    // The rest is an incomplete stretch; away from its ends it still follows the envelope.
    for (DWORD i = 8192 + 300; i < 10000 - 300; ++i)
        ASSERT_NEAR(env[i], AmEnvelope(i + 1000, fm, m, a, rate), 0.05 * a) << i;
}

TEST(SegmentHilbert, ASineHasAFlatEnvelopeAlsoWhenAppliedAgain)
{
    std::vector<double> x(1000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = 1e6 * std::sin(2 * kPi * 440.0 * static_cast<double>(i) / 8000.0);
    auto w = WaveOf(x, 8000);
    auto b = ComputeSegmentSignal(SegmentSignal::Hilbert, *w, 0, 0, 1000, ChannelProcessingSettings(),
                                  ChannelCalibration(), {});
    ASSERT_TRUE(b);
    for (DWORD i = 100; i < 900; ++i)
        ASSERT_NEAR(b->GetSample(i, false), 1e6, 3e4) << i;
    // The envelope of an envelope stays (a flat signal has no quadrature part).
    ASSERT_TRUE(ApplySegmentSignal(SegmentSignal::Hilbert, *b, 512));
    for (DWORD i = 100; i < 400; ++i)
        ASSERT_NEAR(b->GetSample(i, false), 1e6, 1e5) << i;
}

TEST(SegmentHilbert, CancelStopsBetweenPiecesAndGivesNoSignal)
{
    std::vector<double> x(3 * kHilbertPiece + 100);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = (i % 2 == 0) ? 1000.0 : -1000.0; // Nyquist: its envelope is |x|
    auto w = WaveOf(x, 8000);
    int pieces = 0;
    SegmentProgress hooks;
    hooks.progress = [&](int) { ++pieces; };
    hooks.cancelled = [] { return true; };
    auto b = ComputeSegmentSignal(SegmentSignal::Hilbert, *w, 0, 0, static_cast<DWORD>(x.size()),
                                  ChannelProcessingSettings(), ChannelCalibration(), hooks);
    EXPECT_EQ(pieces, 2); // the start, and the first piece
    // Half an envelope would show raw samples as envelope: the caller keeps what it had.
    EXPECT_FALSE(b);
}

TEST(SegmentHilbert, EmptySegmentGivesNothing)
{
    auto w = WaveOf(std::vector<double>(100, 5.0), 8000);
    EXPECT_FALSE(ComputeSegmentSignal(SegmentSignal::Hilbert, *w, 0, 50, 50, ChannelProcessingSettings(),
                                      ChannelCalibration(), {}));
}

TEST(SegmentSchroeder, ExponentialDecayGivesAStraightLineOfTheDecaySlope)
{
    // A decaying noise burst: 60 dB per 0.5 s in amplitude.
    const double rate = 8000, t60 = 0.5;
    const double tau = t60 / (3.0 * std::log(10.0)); // e^{-t/tau} falls 60 dB in t60
    const std::size_t n = static_cast<std::size_t>(rate * 2 * t60);
    std::mt19937 gen(7);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = 2e6 * noise(gen) * std::exp(-static_cast<double>(i) / rate / tau);
    auto w = WaveOf(x, 8000);
    auto b = ComputeSegmentSignal(SegmentSignal::Schroeder, *w, 0, 0, static_cast<DWORD>(n),
                                  ChannelProcessingSettings(), ChannelCalibration(), {});
    ASSERT_TRUE(b);
    const std::vector<double> y = BufferSamples(*b, static_cast<DWORD>(n));
    EXPECT_NEAR(y[0], 8388607.0, 1.0); // starts at full scale
    // Least-squares line through 20 log10 of the curve over its first half.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const std::size_t half = n / 2;
    for (std::size_t i = 0; i < half; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double v = 20.0 * std::log10(y[i]);
        sx += t;
        sy += v;
        sxx += t * t;
        sxy += t * v;
    }
    const double slope = (half * sxy - sx * sy) / (half * sxx - sx * sx);
    EXPECT_NEAR(slope, -60.0 / t60, 0.02 * 60.0 / t60);
    const double icept = (sy - slope * sx) / half;
    for (std::size_t i = 0; i < half; i += 97)
        ASSERT_NEAR(20.0 * std::log10(y[i]), icept + slope * static_cast<double>(i) / rate, 0.6) << i;
}

TEST(SegmentSchroeder, PureExponentialMatchesTheClosedForm)
{
    const std::size_t n = 4000;
    const double r = std::exp(-1.0 / 200.0);
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = 1e6 * std::pow(r, static_cast<double>(i));
    auto w = WaveOf(x, 8000);
    auto b = ComputeSegmentSignal(SegmentSignal::Schroeder, *w, 0, 0, static_cast<DWORD>(n),
                                  ChannelProcessingSettings(), ChannelCalibration(), {});
    ASSERT_TRUE(b);
    // sum_{k>=i} r^k over a finite tail, normalised by the whole sum, at full scale; the
    // samples were stored as whole numbers, hence the relative tolerance.
    for (DWORD i = 0; i < n; i += 250) {
        const double expected = 8388607.0 * (std::pow(r, i) - std::pow(r, n)) / (1.0 - std::pow(r, n));
        ASSERT_NEAR(b->GetSample(i, false), expected, 2e-5 * 8388607.0) << i;
    }
    auto silent = WaveOf(std::vector<double>(100, 0.0), 8000);
    auto s = ComputeSegmentSignal(SegmentSignal::Schroeder, *silent, 0, 0, 100, ChannelProcessingSettings(),
                                  ChannelCalibration(), {});
    ASSERT_TRUE(s);
    EXPECT_EQ(s->GetSample(0, false), 0.0); // nothing to integrate: left silent
}

TEST(SegmentLevels, SineRmsAndCrestFactor)
{
    const double a = 12000.0;
    std::vector<double> x(8000);
    double sum = 0, mx = -1e9, mn = 1e9;
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = a * std::sin(2 * kPi * 125.0 * static_cast<double>(i) / 8000.0 + 0.3);
        sum += x[i] * x[i];
        mx = std::max(mx, x[i]);
        mn = std::min(mn, x[i]);
    }
    const double rms = RmsFromMeanSquare(sum / static_cast<double>(x.size()));
    EXPECT_NEAR(rms, a / std::sqrt(2.0), 1e-6 * a);
    const CrestFactor c = ComputeCrestFactor(mx, mn, rms);
    EXPECT_NEAR(c.crest, std::sqrt(2.0), 1e-3);
    EXPECT_NEAR(c.db, 3.0103, 0.01);
    EXPECT_EQ(FormatCrestFactorMessage(c), "Crest Factor =   1.41   (  3.01 dB)");
}

TEST(SegmentLevels, SquareWaveAndSilence)
{
    const CrestFactor square = ComputeCrestFactor(32767.0, -32767.0, 32767.0);
    EXPECT_EQ(FormatCrestFactorMessage(square), "Crest Factor =   1.00   (  0.00 dB)");
    // A peak read in single precision can fall a hair below the RMS: no "-0.00 dB".
    EXPECT_EQ(FormatCrestFactorMessage(ComputeCrestFactor(0.99999994, -0.5, 1.0)), "Crest Factor =   1.00   (  0.00 dB)");
    EXPECT_EQ(RmsFromMeanSquare(0.0), 0.0);
    EXPECT_EQ(RmsFromMeanSquare(-1e-9), 0.0);
    const CrestFactor silent = ComputeCrestFactor(0.0, 0.0, 0.0);
    EXPECT_EQ(silent.crest, 0.0);
    EXPECT_EQ(FormatCrestFactorMessage(silent), "Crest Factor =   0.00   (-999.90 dB)");
}

TEST(SegmentLevels, LabelsAndTexts)
{
    ChannelCalibration cal;
    std::string lin, log;
    cal.IsEnabled = 0;
    SegmentLevelLabels(cal, lin, log);
    EXPECT_EQ(lin, "Percent Full Scale");
    EXPECT_EQ(log, "dBFS");
    cal.IsEnabled = 1;
    const std::pair<DWORD, std::pair<const char*, const char*>> units[] = {
        {0, {"Volts", "dBV"}}, {1, {"Millivolts", "dBmV"}}, {3, {"Acceleration (G)", "Acceleration (G dB)"}}};
    for (const auto& [u, labels] : units) {
        cal.RefUnits = u;
        SegmentLevelLabels(cal, lin, log);
        EXPECT_EQ(lin, labels.first);
        EXPECT_EQ(log, labels.second);
    }
    cal.RefUnits = 2;
    std::memset(cal.LabelLinear, 'P', sizeof cal.LabelLinear); // unterminated in the record
    std::strcpy(cal.LabelLog, "dB SPL");
    SegmentLevelLabels(cal, lin, log);
    EXPECT_EQ(lin, std::string(60, 'P'));
    EXPECT_EQ(log, "dB SPL");
    EXPECT_EQ(FormatRmsLevelMessage(0.70711, -3.0103, "Volts", "dBV"), "RMS Level:\r0.7071\tVolts\r -3.01\tdBV");
    EXPECT_EQ(FormatQualityFactorMessage(1000.0, 50.0, 20.0),
              "Peak Frequency = 1000.000 Hz\rBandwidth (-3dB) = 50.000 Hz\rQuality Factor = 20.000");
}

// ---- RMS and crest factor of a segment of a file written by Python's wave module ----

namespace {

// Writes a 16-bit mono file: 0.25 s silence, then a 997 Hz sine of 0.5 full scale, then a
// full-scale square wave; returns false when python3 is not there.
bool WritePythonWave(const std::string& path)
{
    const std::string script =
        "import wave, struct, math\n"
        "w = wave.open('" + path + "', 'wb')\n"
        "w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)\n"
        "f = [0] * 2000\n"
        "f += [int(round(16383 * math.sin(2 * math.pi * 997 * i / 8000 + 0.3))) for i in range(8000)]\n"
        "f += [32767 if (i // 8) % 2 == 0 else -32767 for i in range(8000)]\n"
        "w.writeframes(b''.join(struct.pack('<h', v) for v in f))\n"
        "w.close()\n";
    const std::string py = path + ".py";
    std::ofstream(py) << script;
    const int rc = std::system(("python3 '" + py + "'").c_str());
    std::filesystem::remove(py);
    return rc == 0 && std::filesystem::exists(path);
}

} // namespace

TEST(SegmentLevels, ReportsOfAFileWrittenByPython)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "durnex-segment-levels";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "tones.wav").string();
    if (!WritePythonWave(path))
        DURNEX_SKIP_WITHOUT("python3 is not available");
    for (WORD mode : {TWaveFile::kMemory, TWaveFile::kStreamed}) {
        TWaveFile w(path, mode, false, dir.string());
        ASSERT_FALSE(w.IsError());
        ChannelCalibration cal;
        cal.IsEnabled = 0;
        // The sine from 0.25 s to 1.25 s: 16383 / sqrt 2 in raw units, crest factor sqrt 2;
        // an uncalibrated channel reports it in percent of full scale (32767).
        const double fraction = 16383.0 / std::sqrt(2.0) / 32767.0;
        double value = 0, db = 0;
        const std::string rms = SegmentRmsLevelReport(w, 0, 0.25f, 1.25f, cal);
        ASSERT_EQ(std::sscanf(rms.c_str(), "RMS Level:\r%lf\tPercent Full Scale\r%lf\tdBFS", &value, &db), 2) << rms;
        EXPECT_NEAR(value, 100.0 * fraction, 1e-3);
        EXPECT_NEAR(db, 20 * std::log10(fraction), 0.01);
        // A disabled calibration that still carries a volts ratio scales the file's samples;
        // the percent of full scale stays the same.
        WaveCalibrationBlock block;
        block.Channel[0] = cal;
        block.Channel[0].CalRatio = 10.0f;
        w.SetCalibration(block);
        const std::string scaled = SegmentRmsLevelReport(w, 0, 0.25f, 1.25f, block.Channel[0]);
        ASSERT_EQ(std::sscanf(scaled.c_str(), "RMS Level:\r%lf\tPercent Full Scale\r%lf\tdBFS", &value, &db), 2)
            << scaled;
        EXPECT_NEAR(value, 100.0 * fraction, 1e-3);
        EXPECT_NEAR(db, 20 * std::log10(fraction), 0.01);
        EXPECT_EQ(SegmentCrestFactorReport(w, 0, 0.25f, 1.25f), "Crest Factor =   1.41   (  3.01 dB)");
        EXPECT_EQ(SegmentCrestFactorReport(w, 0, 1.25f, 2.25f), "Crest Factor =   1.00   (  0.00 dB)");
        EXPECT_EQ(SegmentCrestFactorReport(w, 0, 0.0f, 0.25f), "Crest Factor =   0.00   (-999.90 dB)");
    }
    std::filesystem::remove_all(dir);
}
