// The RT-60 of decays that meet a noise floor, against numpy's noise-compensated T20 and T30 of
// the same file (tests/dsp/reverb_floor_reference.py: Lundeby's truncation and Schroeder's
// integral on third-octave Butterworth bands), at the rate of recordings and at the device's:
// swept tones of exact envelope, and interrupted pink noise in a room of known T60 per band.
#include "dsp/ReverbAnalysis.h"
#include "support/NeedsTool.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Debian's numpy lives with the system interpreter; another python3 earlier in PATH may lack it.
std::string PythonWithScipy()
{
    for (const char* python : {"/usr/bin/python3", "python3"})
        if (std::system((std::string(python) + " -c 'import numpy, scipy.signal' >/dev/null 2>&1").c_str()) == 0)
            return python;
    return {};
}

struct Reference {
    double t20, t30; // NaN: the decay does not span the range above its floor
    double t60;      // the band's synthesised T60
};

class ReverbFloor : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_python = PythonWithScipy();
        if (m_python.empty())
            DURNEX_SKIP_WITHOUT("python3 with numpy and scipy is needed");
        m_dir = fs::temp_directory_path() / ("durnex-rt60-floor-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Writes the decay and reads numpy's times per band centre (-999 the whole signal).
    bool Make(int rate, double seconds, double floorDb, int seed, std::map<int, Reference>& out, double t60Scale = 1.0,
              bool room = false)
    {
        const std::string wav = (m_dir / "decay.wav").string(), txt = (m_dir / "ref.txt").string();
        const std::string cmd = m_python + " " DURNEX_SOURCE_DIR "/tests/dsp/reverb_floor_reference.py " +
                                std::to_string(rate) + " " + std::to_string(seconds) + " " + std::to_string(floorDb) +
                                " " + std::to_string(seed) + " " + wav + " " + txt + " " + std::to_string(t60Scale) + (room ? " room" : "");
        if (std::system(cmd.c_str()) != 0)
            return false;
        std::ifstream in(txt);
        std::string t20, t30;
        double t60 = 0.0;
        int centre = 0;
        out.clear();
        while (in >> centre >> t20 >> t30 >> t60)
            out[centre] = {std::strtod(t20.c_str(), nullptr), std::strtod(t30.c_str(), nullptr), t60};
        return !out.empty();
    }

    // Analyses the whole file as a selected segment.
    void Analyse(ReverbAnalysis& a)
    {
        TWaveFile file((m_dir / "decay.wav").string(), TWaveFile::kMemory, false, "");
        ASSERT_FALSE(file.IsError());
        a.capture = std::make_unique<TWaveData>(file.GetLength(), file.GetFormat());
        for (DWORD n = 0; n < file.GetLength(); ++n)
            ASSERT_TRUE(a.capture->SetSample(static_cast<std::int32_t>(file.GetSample(n, 0, false)), n, 0));
        a.segment = 1;
        ASSERT_TRUE(a.AnalyzeCaptureAsSegment());
    }

    // The band of the analysis whose centre lies within 3 % of `centre`; -1 when none.
    static int BandAt(const ReverbAnalysis& a, int centre)
    {
        if (centre == -999)
            return a.bandCount - 1;
        for (int b = 0; b < a.bandCount - 1; ++b)
            if (std::fabs(a.results[b].Frequency - centre) < 0.03 * centre)
                return b;
        return -1;
    }

    // Goes through the bands numpy measured (the whole signal too, unless `bandsOnly`): where
    // numpy finds the floor too near for the range, Schroeder's smoothing must read not available
    // too; every band read is handed to `check` (centre, numpy's reference, its time for the
    // range, the RT-60). Returns how many bands numpy measured and how many of them were read.
    template <class Check>
    static std::pair<int, int> CompareBands(const ReverbAnalysis& a, const std::map<int, Reference>& reference,
                                            const ReverbSettings& settings, bool bandsOnly, Check check)
    {
        int compared = 0, measured = 0;
        for (const auto& [centre, ref] : reference) {
            if (bandsOnly && centre == -999)
                continue;
            const int b = BandAt(a, centre);
            EXPECT_GE(b, 0) << centre << " Hz";
            if (b < 0)
                continue;
            const double truth = settings.ExtrapolationMethod == 1 ? ref.t20 : ref.t30;
            const float rt60 = a.results[b].Rt[5];
            if (std::isnan(truth)) {
                if (settings.SmoothingMethod == 2)
                    EXPECT_EQ(rt60, 0.0f) << centre << " Hz: numpy finds the floor too near";
                continue;
            }
            ++compared;
            if (rt60 == 0.0f)
                continue;
            ++measured;
            check(centre, ref, truth, rt60);
        }
        return {compared, measured};
    }

    std::string m_python;
    fs::path m_dir;
};

} // namespace

// Each band's RT-60 (read over the chosen fall and extrapolated) lies within 10 % of numpy's
// T20 or T30, or reads not available (0): the decay does not clear its floor by enough. Where
// numpy finds the floor too near for the range, Schroeder's smoothing does too. Rows scale every
// band's T60 (0.2 s to 2.2 s in all).
TEST_F(ReverbFloor, DecaysOverANoiseFloorAgreeWithNumpysCompensatedTimes)
{
    struct Method {
        DWORD smoothing, extrapolation;
        double measuredShare; // of the bands numpy measures, at least this many must be measured
        INT startOffset = 0;  // ms: the fall is read from this far into the decay
    };
    // At 4000 samples/s each record is a one-second block, which takes in the floor long before
    // the decay itself reaches it: fast bands clear it by too little for RT 30, and the fastest
    // for RT 20.
    const struct {
        int rate;
        double seconds, floorDb, t60Scale;
        std::vector<Method> methods;
    } cases[] = {
        {44100, 3.0, -66, 1.0, {{2, 2, 0.9}, {2, 1, 0.9}, {1, 1, 1.0}}},
        {48000, 3.0, -60, 1.0, {{1, 1, 1.0}, {1, 2, 1.0}}},
        {48000, 3.0, -65, 0.5, {{1, 1, 0.9}, {1, 2, 0.6}}},
        {96000, 3.0, -62, 0.6, {{1, 1, 1.0}, {1, 2, 0.7}}},
        {48000, 3.0, -150, 1.0, {{1, 1, 1.0}, {1, 2, 1.0}}}, // no floor but the samples' own
        {4000, 4.0, -66, 1.0, {{2, 2, 0.0}, {2, 1, 0.6}, {1, 1, 0.6}}},
        {4000, 8.0, -60, 2.0, {{1, 1, 1.0}, {1, 2, 0.7}}},
        {44100, 3.0, -40, 1.0, {{2, 2, 0.0}}},
        {4000, 4.0, -40, 1.0, {{2, 2, 0.0}}},
    };
    // The swept tones differ from seed to seed only in their phases.
    for (const auto& c : cases) {
        for (int seed : {1, 2}) {
            std::map<int, Reference> reference;
            ASSERT_TRUE(Make(c.rate, c.seconds, c.floorDb, seed, reference, c.t60Scale));
            ReverbSettings settings;
            ReverbAnalysis a(&settings);
            Analyse(a);
            for (const Method& m : c.methods) {
                SCOPED_TRACE(::testing::Message() << c.rate << " Hz, floor " << c.floorDb << " dB, T60 x" << c.t60Scale
                                                  << ", smoothing " << m.smoothing << ", RT "
                                                  << 10 * (m.extrapolation + 1) << ", seed " << seed);
                settings.SmoothingMethod = m.smoothing;
                settings.ExtrapolationMethod = m.extrapolation;
                a.SmoothDecay();
                const auto [compared, measured] =
                    CompareBands(a, reference, settings, false, [](int centre, const Reference&, double truth, float rt60) {
                        EXPECT_NEAR(rt60, truth, 0.1 * truth) << centre << " Hz";
                    });
                EXPECT_GE(measured, m.measuredShare * compared);
                if (m.measuredShare > 0.0)
                    EXPECT_GT(compared, 10);
            }
        }
    }

    // Steady pink noise played into a room and cut off, recorded from the cut on: every band's
    // decay is itself random, so that one decay's T20 scatters about the room's T60 by up to a
    // quarter in the low bands (ISO 3382-2: 0.88 T sqrt(2.9 / (B T)) for one decay of bandwidth
    // B), numpy's as much as ours. The averaging reads each fall where the curve, still wandering
    // a few dB in a narrow band, first crosses it: half again the scatter of a fitted line. So a
    // band reads right within 10 % of numpy's time or within three (averaging) or two (Schroeder)
    // times that scatter of the synthesised T60, and over each row the readings carry no bias.
    const struct {
        int rate;
        double seconds, floorDb, t60Scale; // T60 1.15 s at 63 Hz to 0.6 s at 8 kHz, times this
        std::vector<Method> methods;
    } rooms[] = {
        {4000, 4.0, -66, 1.0, {{1, 1, 0.9}, {1, 2, 0.0}, {2, 1, 0.6}, {2, 2, 0.0}}},
        // One-second blocks at 4000 samples/s take in so much of a fast decay that few bands
        // clear the floor by enough: not available, never a wrong time.
        {4000, 3.0, -70, 0.6, {{1, 1, 0.0}, {2, 1, 0.0}}},
        {4000, 6.0, -62, 2.25, {{1, 1, 1.0}, {1, 2, 1.0}, {2, 1, 1.0}, {2, 2, 0.9}, {1, 1, 1.0, 300}}},
        {48000, 4.0, -66, 1.0, {{1, 1, 1.0}, {1, 2, 1.0}, {2, 1, 1.0}, {2, 2, 1.0}}},
        {48000, 3.0, -70, 0.6, {{1, 1, 1.0}, {1, 2, 1.0}, {2, 2, 1.0}}},
        {48000, 6.0, -60, 2.25, {{1, 1, 1.0}, {1, 2, 1.0}, {2, 2, 1.0}, {1, 1, 1.0, 200}}},
    };
    for (const auto& c : rooms) {
        // Per smoothing, extrapolation and start offset: the summed error over the T60, and the bands.
        std::map<std::tuple<DWORD, DWORD, INT>, std::pair<double, int>> bias;
        for (int seed : {1, 2, 3}) {
            std::map<int, Reference> reference;
            ASSERT_TRUE(Make(c.rate, c.seconds, c.floorDb, seed, reference, c.t60Scale, true));
            ReverbSettings settings;
            ReverbAnalysis a(&settings);
            Analyse(a);
            for (const Method& m : c.methods) {
                SCOPED_TRACE(::testing::Message() << "room at " << c.rate << " Hz, floor " << c.floorDb << " dB, T60 x"
                                                  << c.t60Scale << ", smoothing " << m.smoothing << ", RT "
                                                  << 10 * (m.extrapolation + 1) << ", offset " << m.startOffset
                                                  << " ms, seed " << seed);
                settings.SmoothingMethod = m.smoothing;
                settings.ExtrapolationMethod = m.extrapolation;
                settings.StartOffset = m.startOffset;
                a.SmoothDecay();
                // The whole signal decays as its bands do, no faster, no slower.
                if (const float whole = a.results[BandAt(a, -999)].Rt[5]; whole != 0.0f)
                    EXPECT_TRUE(whole > 0.9 * 0.6 * c.t60Scale && whole < 1.1 * 1.15 * c.t60Scale) << whole;
                const auto check = [&](int centre, const Reference& ref, double truth, float rt60) {
                    const double bandwidth = 0.2316 * centre;
                    const double scatter = m.extrapolation == 1 ? 0.88 * std::sqrt(2.90 / (bandwidth * ref.t60))
                                                                : 0.55 * std::sqrt(2.52 / (bandwidth * ref.t60));
                    const bool nearNumpy = std::fabs(rt60 - truth) <= 0.1 * truth;
                    const double spread = (m.smoothing == 1 ? 3 : 2) * scatter;
                    const bool nearRoom = std::fabs(rt60 - ref.t60) <= std::max(0.1, spread) * ref.t60;
                    EXPECT_TRUE(nearNumpy || nearRoom)
                        << centre << " Hz: " << rt60 << " s, numpy " << truth << " s, the room's T60 " << ref.t60 << " s";
                    auto& [sum, count] = bias[{m.smoothing, m.extrapolation, m.startOffset}];
                    sum += (rt60 - ref.t60) / ref.t60;
                    ++count;
                };
                const auto [compared, measured] = CompareBands(a, reference, settings, true, check);
                EXPECT_GE(measured, m.measuredShare * compared);
            }
        }
        for (const auto& [method, sum] : bias) {
            const auto& [smoothing, extrapolation, offset] = method;
            if (sum.second < 10)
                continue;
            EXPECT_NEAR(sum.first / sum.second, 0.0, 0.04)
                << "mean error, room at " << c.rate << " Hz, floor " << c.floorDb << " dB, T60 x" << c.t60Scale
                << ", smoothing " << smoothing << ", RT " << 10 * (extrapolation + 1) << ", offset " << offset << " ms";
        }
    }
}

// The floor search and the integral on decays drawn exactly: a straight fall of `slope` dB/s over
// a steady floor, one record every 10 ms. The fall to -30 dB lies where the line puts it (floor
// or not), the span is the floor's depth, or what the records show when the decay never meets
// one, and the floor counts as met only where the records flatten out on it.
TEST(ReverbSchroeder, CutsAtTheFloorAndReportsTheSpan)
{
    const double nan = std::nan("");
    const struct {
        double slope, floorDb;
        int count;
        double spanLow, spanHigh; // the span returned lies in this range
        double fall30;            // seconds to -30 dB on the curve; 0: not checked
        int nanAt;                // a record holding NaN; -1 none
        int met;                  // the floor is met: 1, not: 0, not checked: -1
    } cases[] = {
        {60, -50, 300, 48, 52, 0.5, -1, 1},    {60, -66, 300, 64, 68, 0.5, -1, 1},
        {100, -48, 200, 46, 50, 0.3, -1, 1},   {60, -999, 300, 150, 1e9, 0.5, -1, 0},
        {0, -999, 300, 0, 5, 0, -1, 1},        {60, -20, 300, 0, 25, 0, -1, 1},
        {60, -50, 300, 0, 1e9, 0, 40, -1},     {60, -50, 1, 0, 0, 0, -1, 0},
        {60, -50, 2, 0, 1e9, 0, -1, 0},        {300, -999, 100, 250, 1e9, 0.1, -1, 0},
        {3000, -30, 100, 0, 1e9, 0, -1, 1},    {500, -999, 3, 0, 1e9, 0, -1, 0},
        {20, -50, 100, 0, 1e9, 0, -1, 0}, // the records end 30 dB short of the floor
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.slope << " dB/s over " << c.floorDb << " dB, " << c.count << " records");
        std::vector<double> levels(c.count), times(c.count), smoothed;
        for (int i = 0; i < c.count; ++i) {
            times[i] = 0.01 * i;
            levels[i] = 10 * std::log10(std::pow(10.0, -c.slope * times[i] / 10) + std::pow(10.0, c.floorDb / 10));
        }
        if (c.nanAt >= 0)
            levels[c.nanAt] = nan;
        if (c.met >= 0)
            EXPECT_EQ(FindDecayFloor(levels, times).met, c.met == 1);
        const float span = SchroederIntegral(levels, times, smoothed);
        ASSERT_EQ(smoothed.size(), levels.size());
        EXPECT_TRUE(std::isfinite(span));
        EXPECT_GE(span, c.spanLow);
        EXPECT_LE(span, c.spanHigh);
        if (c.fall30 > 0) {
            int r = 0;
            while (r < c.count && smoothed[r] > -30.0)
                ++r;
            ASSERT_LT(r, c.count);
            EXPECT_NEAR(times[r], c.fall30, 0.02);
            // Monotonic down to the cut: an integral of energy never rises.
            for (int i = 1; i < r; ++i)
                EXPECT_LE(smoothed[i], smoothed[i - 1] + 1e-9);
        }
    }
}
