#include "dsp/SpectralData.h"

#include "SpectralTestSupport.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace spectral_test;

namespace {

// IEC 61672-1 weighting functions (A and C), and B from IEC 60651, in dB.
double WeightA(double f)
{
    const double f2 = f * f;
    const double ra = 12194.0 * 12194.0 * f2 * f2 /
                      ((f2 + 20.6 * 20.6) * std::sqrt((f2 + 107.7 * 107.7) * (f2 + 737.9 * 737.9)) * (f2 + 12194.0 * 12194.0));
    return 20 * std::log10(ra) + 2.00;
}
double WeightC(double f)
{
    const double f2 = f * f;
    const double rc = 12194.0 * 12194.0 * f2 / ((f2 + 20.6 * 20.6) * (f2 + 12194.0 * 12194.0));
    return 20 * std::log10(rc) + 0.06;
}

class TempFile {
public:
    explicit TempFile(const std::string& content, const std::string& ext = ".mic")
    {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("durnex_resp_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ext);
        std::ofstream(path_, std::ios::binary) << content;
    }
    ~TempFile() { std::filesystem::remove(path_); }
    const char* c_str() const { return s_.assign(path_.string()).c_str(); }

private:
    std::filesystem::path path_;
    mutable std::string s_;
};

} // namespace

TEST(SpectralDataBands, ThirdOctaveCentresEdgesAndNominalNames)
{
    auto p = Processing(4000, 1024);
    const auto s = Scaling(1, 2);
    SpectralData d(&p, &s, false);
    ASSERT_EQ(d.error, 0);
    EXPECT_EQ(d.GetBandCount(), 34u);
    EXPECT_EQ(d.GetBandCentre(0), 1.0f);
    EXPECT_FLOAT_EQ(d.GetBandCentre(1), 1.25f);
    EXPECT_FLOAT_EQ(d.GetBandCentre(13), 20.0f);
    EXPECT_FLOAT_EQ(d.GetBandCentre(15), 31.5f);
    EXPECT_FLOAT_EQ(d.GetBandCentre(30), 1000.0f);
    EXPECT_FLOAT_EQ(d.GetBandCentre(33), 2000.0f);
    EXPECT_EQ(d.GetBandCentre(34), 0.0f);
    // Edges: geometric, shared between neighbours, a third of an octave wide.
    EXPECT_NEAR(d.GetBandUpper(30), 1000.0 * std::pow(2.0, 1.0 / 6.0), 0.01);
    EXPECT_EQ(d.GetBandLower(31), d.GetBandUpper(30));
    EXPECT_NEAR(d.GetBandLower(0), std::pow(0.5, 1.0 / 6.0), 1e-6);
    EXPECT_EQ(d.GetLastBand(), 33u);
    EXPECT_EQ(d.GetLowFrequency(), d.GetBandLower(d.GetFirstBand()));
    EXPECT_GT(d.GetFirstBand(), 10u); // the low bands are narrower than two bins
    EXPECT_EQ(d.GetBinFrequency(30), 1000.0f);
}

TEST(SpectralDataBands, FrequencyToBandIncludingExactEdges)
{
    auto p = Processing(4000, 1024);
    const auto s = Scaling(1, 2);
    SpectralData d(&p, &s, false);
    EXPECT_EQ(d.FrequencyToBand(1000.0f), 30u);
    EXPECT_EQ(d.FrequencyToBand(0.1f), 0u);
    EXPECT_EQ(d.FrequencyToBand(5000.0f), 33u);
    EXPECT_EQ(d.FrequencyToBand(d.GetBandUpper(30)), 31u);
    EXPECT_EQ(d.FrequencyToBin(1000.0f), 30);
}

TEST(SpectralDataBands, NominalCentresForFineAndCoarseBands)
{
    auto p = Processing(48000, 4096);
    auto s = Scaling(1, 2);
    s.OctaveNumber = 1;
    SpectralData oct(&p, &s, false);
    // Octave bands: 1, 2, 4, 8, 16, 31.5, 63, 125, 250, 500, 1000, 2000, 4000, 8000, 16000.
    const float expect[] = {1, 2, 4, 8, 16, 31.5f, 63, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    for (UINT b = 0; b < 15; ++b)
        EXPECT_FLOAT_EQ(oct.GetBandCentre(b), expect[b]) << b;
    s.OctaveNumber = 48;
    SpectralData fine(&p, &s, false);
    EXPECT_FLOAT_EQ(fine.NominalFrequency(1234.567f), 1234.0f);
    EXPECT_FLOAT_EQ(fine.NominalFrequency(12.34567f), 12.34f);
    EXPECT_EQ(fine.NominalFrequency(0.5f), 1.0f);
    EXPECT_EQ(fine.NominalFrequency(2e6f), 1e6f);
}

TEST(SpectralDataBands, ToneInABandReadsItsPowerAndLevelsFollowTheScale)
{
    auto p = Processing(4000, 1024);
    const auto db = Scaling(1, 2), lin = Scaling(0, 2);
    SpectralData d(&p, &db, false), l(&p, &lin, false);
    TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kEnergyCorrection);
    FeedBlock(d, w, {{256, 0.5}});
    FeedBlock(l, w, {{256, 0.5}});
    d.Average(false);
    l.Average(false);
    // Energy-corrected, the band holds the tone's power: 20 log10(0.5) re full-scale peak.
    EXPECT_NEAR(d.GetLevel(30), 20 * std::log10(0.5), 0.05);
    EXPECT_NEAR(l.GetLevel(30), 50.0, 0.3); // percent of full scale
    EXPECT_EQ(d.FindPeakBin(), 30);
    EXPECT_EQ(d.GetPeakFrequency(), 1000.0f);
    EXPECT_EQ(d.GetLevel(34), 0.0f);
    EXPECT_LT(d.GetLevel(25), -100.0f);
    // Calibrated SPL: the band level carries the 20 uPa offset, linear reads pascals.
    const auto cal = Calibration(kUnitSplAir, 2.0f, 0);
    d.SetScaling(&cal);
    l.SetScaling(&cal);
    FeedBlock(d, w, {{256, 0.5}});
    FeedBlock(l, w, {{256, 0.5}});
    d.Average(false);
    l.Average(false);
    EXPECT_NEAR(d.GetLevel(30), 20 * std::log10(1.0 / 20e-6), 0.05);
    EXPECT_NEAR(l.GetLevel(30), 1.0, 0.01);
}

// White noise summed into bands whose edges fall inside bins: each band holds every bin's power
// in the proportion of the bin's width (centred on its frequency) that lies inside the band,
// computed here from the overlap of intervals. 1/1, 1/3 and 1/12 octave, where edge bins hold
// a large share of a narrow band's power.
TEST(SpectralDataBands, NoiseInBandsIsTheBinsPowerWeightedByTheirOverlap)
{
    for (const WORD octave : {WORD(1), WORD(3), WORD(12)}) {
        SCOPED_TRACE(testing::Message() << "1/" << octave << " octave");
        auto p = Processing(4000, 1024);
        auto s = Scaling(1, 2);
        s.OctaveNumber = octave;
        SpectralData d(&p, &s, false);
        ASSERT_EQ(d.error, 0);
        TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kEnergyCorrection);
        unsigned seed = 7;
        FeedBlock(d, w, {}, 0.1, &seed);
        d.Average(false);
        const float* mag = d.GetMagnitudeBuffer();
        const double width = d.GetBinWidth();
        int edgesInsideBins = 0;
        for (UINT b = d.GetFirstBand(); b <= d.GetLastBand(); ++b) {
            const double lo = d.GetBandLower(b), hi = d.GetBandUpper(b);
            if (hi > 2000.0 - width)
                break; // past the last whole bin
            double power = 0.0;
            for (UINT k = 0; k < UINT(d.GetFftSize() / 2); ++k) {
                const double overlap = std::min(hi, (k + 0.5) * width) - std::max(lo, (k - 0.5) * width);
                if (overlap > 0.0)
                    power += mag[k] * overlap / width;
            }
            const double edge = std::fmod(lo / width + 0.5, 1.0);
            edgesInsideBins += edge > 0.1 && edge < 0.9;
            EXPECT_NEAR(d.GetLevel(int(b)), 10.0 * std::log10(power), 1e-3) << "band " << b << " at " << lo;
        }
        EXPECT_GT(edgesInsideBins, 3);
    }
}

TEST(SpectralDataWeighting, AAndCCurvesFollowIec61672)
{
    auto p = Processing(48000, 16384);
    const auto flat = Scaling(1);
    auto a = Scaling(1), c = Scaling(1);
    a.StandardWeighting = 1;
    c.StandardWeighting = 3;
    SpectralData df(&p, &flat, false), da(&p, &a, false), dc(&p, &c, false);
    // IEC 61672-1 table 2 nominal frequencies from 10 Hz to 20 kHz.
    const double nominal[] = {10,   12.5, 16,   20,   25,   31.5, 40,   50,    63,    80,    100,   125,
                              160,  200,  250,  315,  400,  500,  630,  800,   1000,  1250,  1600,  2000,
                              2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};
    for (double f : nominal) {
        const UINT k = df.NarrowbandBin(static_cast<float>(f));
        const double fk = k * df.GetBinWidth();
        if (fk < 10.0)
            continue;
        const double wa = 20 * std::log10(da.GetScale(k) / df.GetScale(k));
        const double wc = 20 * std::log10(dc.GetScale(k) / df.GetScale(k));
        EXPECT_NEAR(wa, WeightA(fk), 0.2) << f;
        EXPECT_NEAR(wc, WeightC(fk), 0.2) << f;
    }
    const UINT k1000 = df.NarrowbandBin(1000.0f);
    EXPECT_NEAR(da.GetScale(k1000) / df.GetScale(k1000), 1.0, 0.01);
}

TEST(SpectralDataWeighting, BCurvePassesThroughItsTable)
{
    auto p = Processing(40000, 8192);
    const auto flat = Scaling(0);
    auto b = Scaling(0);
    b.StandardWeighting = 2;
    SpectralData df(&p, &flat, false), db(&p, &b, false);
    // Bins that fall on table frequencies (bin width 4.8828 Hz: 500 Hz is bin 102.4, so use
    // the exact points 1000 and 10000 Hz at bins 204.8 and 2048).
    const UINT k = 2048; // 10000 Hz
    EXPECT_NEAR(20 * std::log10(db.GetScale(k) / df.GetScale(k)), -5.0, 1e-3);
    const UINT k0 = db.NarrowbandBin(5.0f);
    EXPECT_NEAR(20 * std::log10(db.GetScale(k0) / df.GetScale(k0)), -37.0, 1e-3);
}

TEST(SpectralDataWeighting, TotalLevelWeightingOfAToneAtOneKilohertzIsNeutral)
{
    auto p = Processing(8000, 2048);
    auto s = Scaling(1);
    SpectralData flat(&p, &s, false);
    s.TotalPowerWeighting = 1;
    SpectralData aw(&p, &s, false);
    TSmoothing w(2048, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    FeedBlock(flat, w, {{256, 0.5}}); // 1000 Hz
    FeedBlock(aw, w, {{256, 0.5}});
    flat.Average(false);
    aw.Average(false);
    EXPECT_NEAR(aw.GetOverallLevel(), flat.GetOverallLevel(), 0.02);
    FeedBlock(flat, w, {{25.6, 0.5}}); // 100 Hz: A is -19.1 dB there
    FeedBlock(aw, w, {{25.6, 0.5}});
    flat.Average(false);
    aw.Average(false);
    EXPECT_NEAR(aw.GetOverallLevel() - flat.GetOverallLevel(), -19.1, 0.3);
}

TEST(SpectralDataResponseFiles, SplineOffInterpolatesLinearlyAndEndsHold)
{
    ScriptedUser user;
    auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    TempFile f(";SPLINE OFF\r\n; a comment\r\n100\t0\r\n200 10\r\n\r\n400\t-10\r\n");
    std::vector<float> out(512, 99.0f);
    ASSERT_TRUE(d.LoadCompensationFile(f.c_str(), out.data()));
    const float bw = d.GetBinWidth();
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[25], 0.0f);   // 97.7 Hz, below the first point
    EXPECT_EQ(out[511], -10.0f); // above the last point
    const UINT k = 38;           // 148.4 Hz
    EXPECT_NEAR(out[k], (k * bw - 100.0f) / 10.0f, 1e-3f);
    const UINT m = 80; // 312.5 Hz
    EXPECT_NEAR(out[m], 10.0f - (m * bw - 200.0f) / 10.0f, 1e-3f);
}

TEST(SpectralDataResponseFiles, CubicByDefaultAndLevelsClampedTo240)
{
    ScriptedUser user;
    auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    TempFile f("100 300\n200 0\n300 -500\n");
    std::vector<float> out(512);
    ASSERT_TRUE(d.LoadCompensationFile(f.c_str(), out.data()));
    EXPECT_EQ(out[0], 240.0f);
    EXPECT_EQ(out[511], -240.0f);
    // The natural spline through (100,240), (200,0), (300,-240) is the line.
    EXPECT_NEAR(out[40], 240.0f - (40 * d.GetBinWidth() - 100.0f) * 2.4f, 0.05f);
}

TEST(SpectralDataResponseFiles, BadTablesAreReportedAndLeaveNoCompensation)
{
    auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    std::vector<float> out(512);
    {
        ScriptedUser user;
        TempFile f("100 1\n200 2\n");
        user.ExpectBox(IDOK, std::string("file: ") + f.c_str() + "\rIt holds fewer than 3 lines of frequency and level.");
        EXPECT_FALSE(d.LoadCompensationFile(f.c_str(), out.data()));
    }
    {
        ScriptedUser user;
        TempFile f("100 1\n50 2\n200 3\n");
        user.ExpectBox(IDOK, std::string("file: ") + f.c_str() + "\rIts frequencies are not in ascending order from 0 Hz.");
        EXPECT_FALSE(d.LoadCompensationFile(f.c_str(), out.data()));
    }
    {
        ScriptedUser user;
        TempFile f("-5 1\n50 2\n200 3\n");
        user.ExpectBox(IDOK, std::string("file: ") + f.c_str() + "\rIts frequencies are not in ascending order from 0 Hz.");
        EXPECT_FALSE(d.LoadCompensationFile(f.c_str(), out.data()));
    }
    {
        // A garbage line with data after it would silently drop the rest: refused.
        ScriptedUser user;
        user.ExpectBox(IDOK, "A line holds no frequency and level");
        TempFile f("100 1\n150 2\nhello\n200 3\n400 4\n");
        EXPECT_FALSE(d.LoadCompensationFile(f.c_str(), out.data()));
    }
    {
        // Non-numbers such as nan are garbage, not frequencies.
        ScriptedUser user;
        TempFile f("100 1\nnan 2\n");
        user.ExpectBox(IDOK, std::string("file: ") + f.c_str() + "\rIt holds fewer than 3 lines of frequency and level.");
        EXPECT_FALSE(d.LoadCompensationFile(f.c_str(), out.data()));
    }
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "Failure opening mic compensation file: /nonexistent/x.mic");
        EXPECT_FALSE(d.LoadCompensationFile("/nonexistent/x.mic", out.data()));
        EXPECT_FALSE(d.LoadCompensationFile("", out.data()));
    }
}

TEST(SpectralDataResponseFiles, FrequenciesBeyondOneMegahertzAreRefusedNotSplinedIntoNan)
{
    auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    std::vector<float> out(512, 0.0f);
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "A frequency lies beyond 1 MHz");
        TempFile f("100 0\n1000 1\n1e20 2\n");
        EXPECT_FALSE(d.LoadCompensationFile(f.c_str(), out.data()));
    }
    // The highest frequency the system measures at is still a table point.
    ScriptedUser user;
    TempFile f("100 0\n1000 1\n1000000 2\n");
    ASSERT_TRUE(d.LoadCompensationFile(f.c_str(), out.data()));
    for (float v : out)
        ASSERT_TRUE(std::isfinite(v));
}

TEST(SpectralDataResponseFiles, RepeatedFrequencyAndTrailingTextAreAccepted)
{
    ScriptedUser user;
    auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    // A long comment line (beyond any line buffer) and a trailer after the table.
    TempFile f(";" + std::string(400, 'x') + "\n100 0\n200 6\n200 8\n400 0\nEnd of table\n");
    std::vector<float> out(512);
    ASSERT_TRUE(d.LoadCompensationFile(f.c_str(), out.data()));
    for (float v : out)
        ASSERT_TRUE(std::isfinite(v));
    EXPECT_NEAR(out[d.NarrowbandBin(200.0f)], 6.0f, 0.2f);
}

TEST(SpectralDataResponseFiles, CompensationDividesTheScale)
{
    ScriptedUser user;
    TempFile f("10 6.0206\n1000 6.0206\n3000 6.0206\n");
    auto p = Processing(4000, 1024);
    auto s = Scaling(1);
    SpectralData plain(&p, &s, true);
    s.MicCompEnable = 1;
    std::snprintf(s.MicCompFilename, sizeof s.MicCompFilename, "%s", f.c_str());
    SpectralData comp(&p, &s, true);
    EXPECT_TRUE(comp.HasCompensation());
    EXPECT_NEAR(comp.GetScale(100) / plain.GetScale(100), 0.5, 1e-4);
    // Disabled: no table.
    s.MicCompEnable = 0;
    SpectralData off(&p, &s, true);
    EXPECT_FALSE(off.HasCompensation());
}

TEST(SpectralDataResponseFiles, MissingCompensationFileKeepsTheChannelRunning)
{
    ScriptedUser user;
    user.ExpectBox(IDOK, "Failure opening mic compensation file");
    auto p = Processing(4000, 1024);
    auto s = Scaling(1);
    s.MicCompEnable = 1;
    std::snprintf(s.MicCompFilename, sizeof s.MicCompFilename, "/nonexistent/mic.mic");
    SpectralData d(&p, &s, true);
    EXPECT_EQ(d.error, 0);
    EXPECT_FALSE(d.HasCompensation());
}

TEST(SpectralDataResponseFiles, FilterResponseBuildsASymmetricImpulse)
{
    ScriptedUser user;
    TempFile f("0 0\n500 0\n600 -60\n2000 -60\n", ".flt");
    auto p = Processing(4000, 256);
    const auto s = Scaling(0);
    SpectralData d(&p, &s, false);
    std::vector<float> taps(129);
    ASSERT_TRUE(d.LoadFilterResponse(f.c_str(), 129, taps.data()));
    for (int i = 0; i < 64; ++i)
        ASSERT_FLOAT_EQ(taps[64 - i], taps[64 + i]) << i;
    const auto [lo, hi] = std::minmax_element(taps.begin(), taps.end());
    EXPECT_NEAR(*hi - *lo, 0.5f, 1e-4f);
    EXPECT_FALSE(d.LoadFilterResponse(f.c_str(), 10, taps.data())); // fewer taps than bins
}

TEST(SpectralDataResponseFiles, RandomTextNeverCrashesAndNeverYieldsNonFiniteLevels)
{
    Responder anyAnswer; // every box gets its default answer; the texts do not matter here
    auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    std::mt19937 gen(77);
    const char* tokens[] = {"100", "-3.5", "1e9", "-1e30", "nan", "inf", ";", ";SPLINE OFF", "abc", "\t", " ",
                            "\r", "0", "0.0001", "250.5", "1e-40", "99999999999999999999", "-", "+", "."};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int lines = static_cast<int>(gen() % 40);
        for (int l = 0; l < lines; ++l) {
            const int parts = static_cast<int>(gen() % 4);
            for (int k = 0; k < parts; ++k) {
                text += tokens[gen() % std::size(tokens)];
                text += (gen() % 3) ? " " : "\t";
            }
            if (gen() % 50 == 0)
                text += std::string(gen() % 500, static_cast<char>('0' + gen() % 10));
            text += "\n";
        }
        TempFile f(text);
        std::vector<float> out(512, 0.0f);
        if (d.LoadCompensationFile(f.c_str(), out.data()))
            for (float v : out)
                ASSERT_TRUE(std::isfinite(v) && v >= -240.0f && v <= 240.0f) << text;
    }
}
