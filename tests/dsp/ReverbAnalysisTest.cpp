// The RT-60 chain against decays of known reverberation time, its decay-time rules, and the
// *.rvb file read by Python's struct module.
#include "dsp/ReverbAnalysis.h"
#include "support/ScratchFileTest.h"
#include "support/ScriptedUser.h"
#include "wave/TWaveData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct BandDecay {
    double centre; // Hz
    double t60;    // s
};

// Pseudo-random noise inside the middle of a one-third-octave band whose power falls 60 dB in
// t60 seconds from the first sample: tones of random phase spaced nine FFT bins apart (at
// 44.1 kHz and 8192 points), so that their beats average out within every analysis block and
// each block's band power follows the envelope exactly.
std::vector<double> DecayingBandNoise(const BandDecay& band, double rate, std::size_t frames, std::mt19937& rng)
{
    std::vector<double> out(frames, 0.0);
    std::uniform_real_distribution<double> phase(0.0, 2 * kPi);
    const double spacing = 9 * rate / 8192;
    const double lo = band.centre * std::pow(2.0, -0.13), hi = band.centre * std::pow(2.0, 0.13);
    std::vector<double> tones;
    for (double f = std::ceil(lo / spacing) * spacing; f <= hi; f += spacing)
        tones.push_back(f);
    if (tones.empty())
        tones.push_back(std::round(band.centre / spacing) * spacing);
    for (double f : tones) {
        std::complex<double> z = std::polar(1.0, phase(rng));
        const std::complex<double> step = std::polar(1.0, 2 * kPi * f / rate);
        for (std::size_t n = 0; n < frames; ++n) {
            out[n] += z.real();
            z *= step;
        }
    }
    // Power 10^(-6 t / T): amplitude 10^(-3 t / T).
    const double k = std::pow(10.0, -3.0 / (band.t60 * rate));
    double a = 1.0 / std::sqrt(static_cast<double>(tones.size()));
    for (double& v : out) {
        v *= a;
        a *= k;
    }
    return out;
}

// ISO 3382-2: Schroeder's backward integral of the squared band signal, a least-squares line
// through its level between -5 dB and (-5 - span) dB, and 60 dB over that line's slope.
double Iso3382Time(const std::vector<double>& x, double rate, double span)
{
    std::vector<double> energy(x.size());
    double sum = 0.0;
    for (std::size_t n = x.size(); n-- > 0;) {
        sum += x[n] * x[n];
        energy[n] = sum;
    }
    double st = 0, sl = 0, stt = 0, stl = 0;
    int m = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double level = 10.0 * std::log10(energy[n] / energy[0]);
        if (level > -5.0 || level < -5.0 - span)
            continue;
        const double t = n / rate;
        st += t;
        sl += level;
        stt += t * t;
        stl += t * level;
        ++m;
    }
    const double slope = (m * stl - st * sl) / (m * stt - st * st);
    return -60.0 / slope;
}

class ReverbTruth : public ::testing::Test {
protected:
    static constexpr double kRate = 44100;
    static constexpr std::size_t kFrames = 110250; // 2.5 s
    std::vector<BandDecay> bands{{250, 1.2}, {500, 0.9}, {1000, 0.7}, {2000, 0.55}, {4000, 0.4}};
    std::vector<std::vector<double>> parts;
    std::unique_ptr<TWaveData> wave;

    void SetUp() override
    {
        std::mt19937 rng(27);
        std::vector<double> mix(kFrames, 0.0);
        for (const BandDecay& b : bands) {
            parts.push_back(DecayingBandNoise(b, kRate, kFrames, rng));
            for (std::size_t n = 0; n < kFrames; ++n)
                mix[n] += parts.back()[n];
        }
        double peak = 0;
        for (double v : mix)
            peak = std::max(peak, std::fabs(v));
        const TPcmFormat format(44100, 1, 3);
        wave = std::make_unique<TWaveData>(static_cast<DWORD>(kFrames), format);
        const double scale = 0.5 * format.MaxValue / peak;
        for (std::size_t n = 0; n < kFrames; ++n)
            ASSERT_TRUE(wave->SetSample(static_cast<std::int32_t>(std::lround(mix[n] * scale)), static_cast<DWORD>(n), 0));
    }

    // RT-60 of the band whose centre is nearest `centre` after a segment analysis.
    static float Rt60Of(const ReverbAnalysis& a, double centre)
    {
        int best = -1;
        for (int b = 0; b < a.bandCount - 1; ++b)
            if (best < 0 || std::fabs(a.results[b].Frequency - centre) < std::fabs(a.results[best].Frequency - centre))
                best = b;
        return best < 0 ? 0.0f : a.results[best].Rt[5];
    }

    void Analyse(ReverbAnalysis& a)
    {
        a.capture = std::make_unique<TWaveData>(wave->GetLength(), wave->GetFormat());
        std::vector<std::int32_t> v(wave->GetLength());
        for (DWORD n = 0; n < wave->GetLength(); ++n)
            ASSERT_TRUE(a.capture->SetSample(static_cast<std::int32_t>(wave->GetSample(n, 0, false)), n, 0));
        a.segment = 1;
        ASSERT_TRUE(a.AnalyzeCaptureAsSegment());
    }
};

TEST_F(ReverbTruth, T20AndT30AgreeWithIso3382OnExponentialDecays)
{
    for (DWORD smoothing : {1u, 2u}) {
        for (DWORD method : {1u, 2u}) {
            ReverbSettings settings;
            settings.SmoothingMethod = smoothing;
            settings.ExtrapolationMethod = method; // RT 20 gives T20, RT 30 gives T30
            ReverbAnalysis a(&settings);
            Analyse(a);
            ASSERT_EQ(a.fftSize, 8192u);
            ASSERT_EQ(a.viewMode, 1u);
            for (std::size_t i = 0; i < bands.size(); ++i) {
                const double reference = Iso3382Time(parts[i], kRate, method == 1 ? 20.0 : 30.0);
                ASSERT_NEAR(reference, bands[i].t60, 0.02 * bands[i].t60) << "the reference itself";
                EXPECT_NEAR(Rt60Of(a, bands[i].centre), reference, 0.05 * reference)
                    << bands[i].centre << " Hz, smoothing " << smoothing << ", extrapolation " << method;
            }
        }
    }
}

TEST_F(ReverbTruth, StartOffsetSkipsRecordsAndKeepsTheSlope)
{
    ReverbSettings settings;
    ReverbAnalysis a(&settings);
    Analyse(a);
    // 409 frames at 44.1 kHz: 9.27 ms a record, so 100 ms is record 11.
    settings.StartOffset = 100;
    EXPECT_EQ(a.StartRecord(), 11);
    a.SmoothDecay();
    EXPECT_NEAR(Rt60Of(a, 1000), 0.7, 0.05 * 0.7);
    settings.StartOffset = 1000;
    EXPECT_EQ(a.StartRecord(), 108);

    // Analysed from 200 ms on, then the offset cleared: the decay measured from the first
    // record keeps its slope in every band.
    ReverbSettings late;
    late.ClearOffsetOnNewTest = 0;
    late.StartOffset = 200;
    ReverbAnalysis b(&late);
    Analyse(b);
    late.StartOffset = 0;
    b.SmoothDecay();
    for (const BandDecay& band : bands)
        EXPECT_NEAR(Rt60Of(b, band.centre), band.t60, 0.05 * band.t60) << band.centre << " Hz";
}

// Records whose smoothed level in band 0 falls `slope` dB per second from 0 dB, one every
// 10 ms.
std::vector<ReverbRecord> LinearDecay(double slope, int count)
{
    std::vector<ReverbRecord> r(count);
    for (int i = 0; i < count; ++i) {
        r[i].Clear();
        r[i].Time = 0.01f * i;
        r[i].Frequency[0] = 1000;
        r[i].Smoothed[0] = static_cast<float>(-slope * r[i].Time);
    }
    return r;
}

TEST(ReverbDecayTimes, ExtrapolationRulesAndTheirLimits)
{
    ReverbBandResult out[ReverbRecord::kBands];
    // 51 dB/s stopping at 18 dB: RT-10 = 10/51 s measured between the 10 ms records (not the
    // 0.2 s of the record after it), RT-20 never reached.
    auto r = LinearDecay(51, 36);
    ComputeReverbDecayTimes(r.data(), 36, 1, 0, 10.0f, 1, out);
    const double rt10 = 10.0 / 51.0;
    EXPECT_NEAR(out[0].Rt[0], rt10, 1e-5);
    EXPECT_EQ(out[0].NotMeasured[0], 0);
    for (int k = 1; k < 6; ++k) {
        EXPECT_NEAR(out[0].Rt[k], rt10 * (k + 1), 1e-5) << k;
        EXPECT_EQ(out[0].NotMeasured[k], 1) << "extrapolated " << k;
    }

    // RT 10 with RT-10 = 10/2.49 = 4.016 s and D = 10 s: 20.08 s and 24.1 s reach 2 D and are
    // dropped.
    r = LinearDecay(2.49, 500);
    ComputeReverbDecayTimes(r.data(), 500, 1, 0, 10.0f, 0, out);
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(out[0].Rt[k], 10.0 / 2.49 * (k + 1), 1e-3) << k;
    EXPECT_EQ(out[0].Rt[4], 0.0f);
    EXPECT_EQ(out[0].Rt[5], 0.0f);

    // A band that never falls 10 dB has no times at all.
    r = LinearDecay(5, 100);
    ComputeReverbDecayTimes(r.data(), 100, 1, 0, 10.0f, 2, out);
    for (float t : out[0].Rt)
        EXPECT_EQ(t, 0.0f);
}

class ReverbFiles : public ScratchFileTest {
protected:
    ReverbFiles() : ScratchFileTest("room.rvb") {}
    ReverbSettings settings;

    // An analysis of three records of `bands` bands, the last at 9.6 s.
    void Fill(ReverbAnalysis& a, int bands)
    {
        a.capacity = 3;
        ASSERT_TRUE(a.AllocateRecords());
        a.bandCount = bands;
        a.recordCount = 3;
        for (int r = 0; r < 3; ++r) {
            for (int b = 0; b < bands; ++b) {
                a.records[r].Frequency[b] = b + 1 == bands ? -999.0f : 100.0f * (b + 1);
                a.records[r].Level[b] = 0.0f - 15.0f * r - b;
                a.records[r].Smoothed[b] = 0.0f - 15.0f * r - b;
            }
            a.records[r].Time = 4.8f * r;
        }
    }
    // The bytes of those records saved with four bands.
    std::string SavedBytes()
    {
        ReverbAnalysis a(&settings);
        Fill(a, 4);
        EXPECT_TRUE(a.SaveFile(file.string()));
        return Text();
    }
    // The same file in the older layout: its own magic and no offset.
    static std::string OlderLayout(const std::string& bytes)
    {
        std::string old = bytes.substr(0, bytes.size() - 4);
        old[0] = char(0x9B);
        old[1] = char(0x33);
        return old;
    }
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

TEST_F(ReverbFiles, SavedLayoutReadsBackInPythonAndInTheAnalysis)
{
    ReverbAnalysis a(&settings);
    Fill(a, 4);
    settings.StartOffset = 250;
    a.modified = 1;
    ASSERT_TRUE(a.SaveFile(file.string()));
    EXPECT_EQ(a.modified, 0);
    EXPECT_EQ(std::filesystem::file_size(file), 16u + 376u * 3u);
    EXPECT_EQ(Python("struct.unpack_from('<III', d, 0)"), "(50270, 4, 3)\n");
    // Record 1: band 2's frequency and level, empty slot 4, the time; then the offset.
    EXPECT_EQ(Python("[round(v, 3) for v in struct.unpack_from('<f', d, 388+8) + struct.unpack_from('<f', d, 388+4*33) + "
                     "struct.unpack_from('<f', d, 388+16) + struct.unpack_from('<f', d, 388+4*35) + "
                     "struct.unpack_from('<f', d, 388+4*93)] + list(struct.unpack_from('<i', d, 12+376*3))"),
              "[300.0, -17.0, 0.0, -999.0, 4.8, 250]\n");

    ReverbAnalysis b(&settings);
    settings = ReverbSettings{};
    ASSERT_TRUE(b.LoadFile(file.string()));
    EXPECT_EQ(b.bandCount, 4);
    EXPECT_EQ(b.recordCount, 3);
    EXPECT_EQ(settings.StartOffset, 250);
    EXPECT_EQ(b.maxDecayTime, 10.0f); // 9.6 + 0.5, whole seconds
    EXPECT_EQ(settings.TimeExtent, 10.0f);
    EXPECT_EQ(b.viewMode, 1u);
    EXPECT_EQ(b.modified, 0);
    EXPECT_EQ(b.fileName, file.string());
    EXPECT_EQ(b.records[1].Level[2], -17.0f);
    EXPECT_FLOAT_EQ(b.recordInterval, 4.8f); // the stored spacing, not today's FFT settings
}

TEST_F(ReverbFiles, OldLayoutAndDamagedFiles)
{
    ScriptedUser user;
    settings.StartOffset = 250;
    const std::string bytes = SavedBytes();

    // The older layout: its own magic and no offset.
    Put(OlderLayout(bytes));
    ReverbAnalysis b(&settings);
    ASSERT_TRUE(b.LoadFile(file.string()));
    EXPECT_EQ(settings.StartOffset, 0);

    // The new magic without the offset: the records stay, the short read is reported.
    Put(bytes.substr(0, bytes.size() - 4));
    user.ExpectBox(IDOK, "Error reading reverb file: ");
    EXPECT_FALSE(b.LoadFile(file.string()));
    EXPECT_EQ(b.recordCount, 3);

    // Counts the band results or the file can't hold.
    std::string many = bytes;
    many[4] = 40;
    Put(many);
    user.ExpectBox(IDOK, "Invalid reverb file: ");
    EXPECT_FALSE(b.LoadFile(file.string()));
    std::string longer = bytes;
    longer[8] = 4;
    Put(longer);
    user.ExpectBox(IDOK, "Invalid reverb file: ");
    EXPECT_FALSE(b.LoadFile(file.string()));
    EXPECT_TRUE(b.records.empty());
    user.ExpectBox(IDOK, "Failure opening reverb file: ");
    EXPECT_FALSE(b.LoadFile((dir / "missing.rvb").string()));
}

// A file cut anywhere inside its header or a record, the last one included, is refused as a
// whole rather than loaded with a blank record; both layouts (with and without the offset).
TEST_F(ReverbFiles, AFileCutInsideAnyRecordIsRefused)
{
    ScriptedUser user;
    const std::string current = SavedBytes(), old = OlderLayout(current);
    constexpr std::size_t kRecords = 12 + 3 * 376;
    for (const std::string* whole : {&current, &old}) {
        for (std::size_t size : {std::size_t(7), std::size_t(12 + 100), kRecords - 376, kRecords - 4, kRecords - 1}) {
            SCOPED_TRACE(testing::Message() << (whole == &old ? "older layout" : "current layout") << ", cut at "
                                            << size);
            Put(whole->substr(0, size));
            user.ExpectBox(IDOK, "Invalid reverb file: " + file.string());
            ReverbAnalysis b(&settings);
            EXPECT_FALSE(b.LoadFile(file.string()));
            EXPECT_TRUE(b.records.empty());
            EXPECT_EQ(b.recordCount, 0);
        }
    }
}

TEST_F(ReverbFiles, ValuesNoAnalysisProducesAreRefusedAndLeaveNoRecords)
{
    ScriptedUser user;
    const std::string good = SavedBytes();
    auto patched = [&](std::size_t at, float value) {
        std::string bytes = good;
        std::memcpy(&bytes[at], &value, 4);
        return bytes;
    };
    const std::size_t record2 = 12 + 376 * 2, record1 = 12 + 376;
    // Record times past a day (the 2 GB extent list), far past any int (the decay plot's
    // overflow), negative or not a number; levels not a number; band frequencies past 1 MHz.
    const std::pair<std::size_t, float> faults[] = {
        {record2 + 4 * 93, 1e6f},          {record2 + 4 * 93, 2.07e37f},
        {record2 + 4 * 93, -1.0f},         {record1 + 4 * 93, std::nanf("")},
        {record1 + 4 * 31, std::nanf("")}, {record1 + 4 * 62 + 4, INFINITY},
        {record1 + 4 * 1, 2e6f},           {record1 + 4 * 2, -5.0f},
        {record1 + 4 * 31, 1e30f},
    };
    for (const auto& [at, value] : faults) {
        Put(patched(at, value));
        user.ExpectBox(IDOK, "Invalid reverb file: " + file.string());
        ReverbAnalysis b(&settings);
        EXPECT_FALSE(b.LoadFile(file.string())) << at << " " << value;
        EXPECT_TRUE(b.records.empty());
        EXPECT_EQ(b.recordCount, 0);
        EXPECT_EQ(b.viewMode, 0u);
    }
    // A day, 1 MHz and the wideband entry's -999 are values a file may hold; slots past the
    // band count are never read.
    std::string edge = patched(record2 + 4 * 93, 86400.0f);
    const float megahertz = 1e6f;
    std::memcpy(&edge[record1 + 4 * 0], &megahertz, 4);
    const float junk = std::nanf("");
    std::memcpy(&edge[record1 + 4 * 10], &junk, 4);
    Put(edge);
    ReverbAnalysis c(&settings);
    ASSERT_TRUE(c.LoadFile(file.string()));
    EXPECT_EQ(c.maxDecayTime, 86400.0f);
    EXPECT_EQ(c.records[1].Frequency[0], 1e6f);
}

TEST_F(ReverbFiles, PathsAndViewText)
{
    EXPECT_EQ(ReverbAnalysis::ReverbFilePath("room.rvb", "/data/reverb"), "/data/reverb/room.rvb");
    EXPECT_EQ(ReverbAnalysis::ReverbFilePath("/tmp/room.rvb", "/data/reverb"), "/tmp/room.rvb");
    EXPECT_EQ(ReverbAnalysis::ReverbFilePath("a.r", "/data/reverb"), "a.r");

    ReverbAnalysis a(&settings);
    Fill(a, 10);
    a.maxDecayTime = 20.0f;
    a.ComputeDecayTimes();
    settings.RtChoice = 0;
    const std::string times = a.ViewText(1);
    EXPECT_EQ(std::count(times.begin(), times.end(), '\n'), 10);
    // 15 dB a record 4.8 s apart: 10 dB two thirds of the way.
    EXPECT_EQ(times.substr(0, 20), "100.000000\t3.200000\r");
    EXPECT_NE(times.find("\r\nWideband\t3.200000\r\n"), std::string::npos);
    settings.SelectedBand = 2;
    EXPECT_EQ(a.ViewText(2), "0.000000\t-2.000000\r\n4.800000\t-17.000000\r\n9.600000\t-32.000000\r\n");
    const std::string surface = a.ViewText(3);
    EXPECT_EQ(surface.substr(0, 30), "0.000000\t0.000000\t-1.000000\t-2");
    EXPECT_EQ(std::count(surface.begin(), surface.end(), '\t'), 3 * 11);
}

} // namespace
