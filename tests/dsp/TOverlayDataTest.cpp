#include "dsp/TOverlayData.h"

#include "SpectralTestSupport.h"
#include "records/SpectrumPlotSettings.h"
#include "support/ScratchFileTest.h"
#include "support/ScriptedUser.h"

#include <cmath>
#include <cstdio>
#include <string>

using namespace spectral_test;

namespace {

class OverlayFile : public ScratchFileTest {
protected:
    OverlayFile() : ScratchFileTest("curve.ovl") {}
    std::string Path() const { return file.string(); }
    std::string Rows(int n, double f0 = 10.0, double step = 10.0)
    {
        std::string s;
        char line[64];
        for (int i = 0; i < n; ++i) {
            std::snprintf(line, sizeof line, "%f\t%f\n", f0 + step * i, -0.5 * i);
            s += line;
        }
        return s;
    }
};

} // namespace

TEST_F(OverlayFile, HandWrittenFilesLoadWhateverTheirWhiteSpaceAndLineEnds)
{
    struct Case {
        const char* text;
        float offset;
    } cases[] = {
        {";Ref\n100\t-10\n200\t-20\n300\t-30\n", 0.0f},
        {";Ref\r\n  100   -10\r\n200 \t -20  trailing words\r\n300\t-30\r\n", 0.0f},
        {";Ref\n100\t-10\n200\t-20\n300\t-30\n\n400\t99\n", 5.0f},  // blank line ends the table
        {";Ref\n+1e2 -1e1\n200\t-20\n300\t-30\nnot a row\n400\t99\n", -1.5f},
    };
    for (const Case& c : cases) {
        Put(c.text);
        TOverlayData o(Path().c_str(), 0, c.offset);
        ASSERT_EQ(o.ErrorFlag(), 0) << c.text;
        EXPECT_EQ(o.GetEntryCount(), 3u) << c.text;
        EXPECT_STREQ(o.GetName(), "Ref");
        // Held flat outside the table, exact at the entries.
        EXPECT_FLOAT_EQ(o.ValueAt(50.0f), -10.0f + c.offset);
        EXPECT_FLOAT_EQ(o.ValueAt(400.0f), -30.0f + c.offset);
        EXPECT_FLOAT_EQ(o.ValueAt(200.0f), -20.0f + c.offset);
    }

    // Straight lines between the entries, and a natural cubic through collinear points.
    Put(";Ref\n;SPLINE OFF\n100\t-10\n200\t-20\n300\t-40\n");
    TOverlayData linear(Path().c_str(), 0, 0.0f);
    EXPECT_EQ(linear.GetSplineOff(), 1);
    EXPECT_FLOAT_EQ(linear.ValueAt(150.0f), -15.0f);
    EXPECT_FLOAT_EQ(linear.ValueAt(250.0f), -30.0f);
    Put(";Ref\n100\t-10\n200\t-20\n300\t-30\n");
    EXPECT_NEAR(TOverlayData(Path().c_str(), 0, 0.0f).ValueAt(150.0f), -15.0f, 1e-4);

    // Equal neighbouring frequencies are accepted.
    Put("100\t-10\n200\t-20\n200\t-25\n300\t-30\n");
    EXPECT_EQ(TOverlayData(Path().c_str(), 0, 0.0f).ErrorFlag(), 0);
}

TEST_F(OverlayFile, NameLineIsCutAtTwentyThreeCharactersOrATab)
{
    Put(";An overlay name longer than twenty-three\n;SPLINE OFFx\n1\t1\n2\t2\n3\t3\n");
    TOverlayData a(Path().c_str(), 0, 0.0f);
    EXPECT_STREQ(a.GetName(), "An overlay name longer ");
    EXPECT_EQ(a.GetSplineOff(), 1);
    Put(";first\n;Mic 4\tcal 2019\r\n1\t1\n2\t2\n3\t3\n");
    EXPECT_STREQ(TOverlayData(Path().c_str(), 0, 0.0f).GetName(), "Mic 4");
    // The name-only form reads the same name without a table.
    TOverlayData nameOnly(Path().c_str(), 0, 0.0f, 1);
    EXPECT_STREQ(nameOnly.GetName(), "Mic 4");
    EXPECT_EQ(nameOnly.GetEntryCount(), 0u);
    EXPECT_FALSE(nameOnly.WriteFile((dir / "x.ovl").c_str(), "x"));
}

TEST_F(OverlayFile, MalformedFilesAreRefusedAndAnswerNothing)
{
    // Too few rows, and a missing file: refused silently (slots hold name-only files).
    for (const char* text : {";only a name\n", "100\t1\n200\t2\n", "abc\n1\t1\n2\t2\n3\t3\n", "nan\t1\n2\t2\n3\t3\n4\t4\n"}) {
        Put(text);
        TOverlayData o(Path().c_str(), 0, 3.0f);
        EXPECT_EQ(o.ErrorFlag(), 1) << text;
        EXPECT_EQ(o.ValueAt(100.0f), 0.0f);
        EXPECT_EQ(o.ValueOverBand(50.0f, 150.0f), 0.0f);
    }
    EXPECT_EQ(TOverlayData((dir / "missing.ovl").c_str(), 0, 0.0f).ErrorFlag(), 1);

    // A short table out of order, or with a negative frequency, is refused with the message.
    for (const char* text : {"100\t1\n200\t2\n150\t3\n300\t4\n400\t5\n", "-5\t1\n200\t2\n300\t3\n"}) {
        ScriptedUser user;
        user.ExpectBox(IDOK, "Overlay data error - values must be in ascending order by frequency!\r\rFile: " + Path());
        Put(text);
        EXPECT_EQ(TOverlayData(Path().c_str(), 0, 0.0f).ErrorFlag(), 1) << text;
    }

    // A long table (a stored spectrum) keeps the part before the fault...
    std::string rows = Rows(200);
    const size_t at = [&] {
        size_t p = 0;
        for (int i = 0; i < 49; ++i)
            p = rows.find('\n', p) + 1;
        return p;
    }();
    rows.insert(at, "5\t0\n");
    rows.resize(rows.rfind('\n', rows.size() - 2) + 1);  // still 200 rows
    Put(rows);
    TOverlayData cut(Path().c_str(), 0, 0.0f);
    EXPECT_EQ(cut.ErrorFlag(), 0);
    EXPECT_EQ(cut.GetEntryCount(), 49u);
    // ...but one cut to fewer than three entries is refused, not drawn from two points.
    Put("10\t0\n5\t0\n" + Rows(150, 20.0));
    ScriptedUser user;
    user.ExpectBox(IDOK, "ascending order");
    EXPECT_EQ(TOverlayData(Path().c_str(), 0, 0.0f).ErrorFlag(), 1);
}

TEST_F(OverlayFile, FrequenciesBeyondOneMegahertzAreRefusedAndNeverAnswerNan)
{
    // A microphone table with a frequency no measurement reaches: refused with a message in
    // either scale, rather than splined into NaN.
    for (WORD scale : {WORD(0), WORD(2)}) {
        ScriptedUser user;
        user.ExpectBox(IDOK, "Overlay data error - frequencies must not exceed 1 MHz!\r\rFile: " + Path());
        Put(";mic\n100\t0\n1000\t1\n1e20\t2\n");
        TOverlayData o(Path().c_str(), scale, 0.0f);
        EXPECT_EQ(o.ErrorFlag(), 1);
        EXPECT_TRUE(o.ErrorReported());
        EXPECT_EQ(o.ValueAt(5e19f), 0.0f);
    }
    // 1 MHz itself is a frequency, in band mode too.
    Put("100\t0\n1000\t1\n1000000\t2\n");
    for (WORD scale : {WORD(0), WORD(2)}) {
        TOverlayData o(Path().c_str(), scale, 0.0f);
        EXPECT_EQ(o.ErrorFlag(), 0);
        for (float f = 0.0f; f <= 1.2e6f; f += 997.0f)
            ASSERT_TRUE(std::isfinite(o.ValueAt(f)) && std::isfinite(o.ValueOverBand(f, f + 997.0f))) << f;
    }
    // A stored spectrum cut where its frequencies leave the range keeps what came before.
    Put(Rows(150) + "2e6\t0\n");
    TOverlayData cut(Path().c_str(), 0, 0.0f);
    EXPECT_EQ(cut.ErrorFlag(), 0);
    EXPECT_EQ(cut.GetEntryCount(), 150u);
}

TEST_F(OverlayFile, LargestTableLoadsAndALongerOneStopsWhenFull)
{
    std::string text = ";big\n";
    text.reserve(30u * (TOverlayData::kMaxEntries + 2));
    char line[48];
    for (UINT i = 0; i < TOverlayData::kMaxEntries + 1; ++i) {
        std::snprintf(line, sizeof line, "%u\t%d\n", i, -static_cast<int>(i % 97));
        text += line;
    }
    Put(text);
    TOverlayData o(Path().c_str(), 0, 0.0f);
    ASSERT_EQ(o.ErrorFlag(), 0);
    EXPECT_EQ(o.GetEntryCount(), TOverlayData::kMaxEntries);
    EXPECT_FLOAT_EQ(o.ValueAt(524287.0f), -static_cast<float>(524287 % 97));
    EXPECT_FLOAT_EQ(o.ValueAt(1e9f), -static_cast<float>(524287 % 97));
}

TEST_F(OverlayFile, WrittenFilesReadBackIdentically)
{
    // A Python-written file with Windows line ends.
    const std::string py = "import sys\nwith open(sys.argv[1], 'w', newline='\\r\\n') as f:\n"
                           "    f.write(';From Python\\n;SPLINE OFF\\n')\n"
                           "    for i in range(1, 501):\n"
                           "        f.write('%f\\t%f\\n' % (i * 3.7, -20.0 - (i % 11) * 0.125))\n";
    const auto script = dir / "w.py";
    {
        std::ofstream(script) << py;
    }
    ASSERT_EQ(std::system(("python3 " + script.string() + " " + Path()).c_str()), 0);
    TOverlayData a(Path().c_str(), 0, 2.0f);
    ASSERT_EQ(a.ErrorFlag(), 0);
    EXPECT_EQ(a.GetEntryCount(), 500u);
    EXPECT_STREQ(a.GetName(), "From Python");
    EXPECT_FLOAT_EQ(a.EntryValue(10), -20.0f - (11 % 11) * 0.125f);

    // Written back: stored values without the offset, the switch kept, and read back equal.
    const auto copy = dir / "copy.ovl";
    ASSERT_TRUE(a.WriteFile(copy.c_str(), "A copy whose name is far too long"));
    EXPECT_STREQ(a.GetName(), "A copy whose name is fa");
    TOverlayData b(copy.c_str(), 0, 2.0f);
    ASSERT_EQ(b.ErrorFlag(), 0);
    EXPECT_STREQ(b.GetName(), "A copy whose name is fa");
    EXPECT_EQ(b.GetSplineOff(), 1);
    ASSERT_EQ(b.GetEntryCount(), a.GetEntryCount());
    for (UINT i = 0; i < a.GetEntryCount(); ++i) {
        EXPECT_NEAR(b.EntryFrequency(i), a.EntryFrequency(i), 1e-3f);
        EXPECT_EQ(b.EntryValue(i), a.EntryValue(i));
    }
    // A second round trip is byte-identical to the first.
    Put("");
    ASSERT_TRUE(b.WriteFile(Path().c_str(), b.GetName()));
    std::ifstream c1(copy), c2(file);
    std::string s1((std::istreambuf_iterator<char>(c1)), {}), s2((std::istreambuf_iterator<char>(c2)), {});
    EXPECT_EQ(s1, s2);

    // A slot that failed to load still writes its name line (the dialogs' empty slots).
    TOverlayData empty((dir / "none.ovl").c_str(), 0, 0.0f, 0, 1);
    ASSERT_TRUE(empty.WriteFile(Path().c_str(), "Empty"));
    EXPECT_EQ(Text(), ";Empty\n;SPLINE OFF\n");
}

TEST_F(OverlayFile, BandModeHoldsEachRowFlatAndWritesBandCentresWithOffset)
{
    Put(Rows(40, 100.0, 100.0));
    TOverlayData o(Path().c_str(), 2, 3.0f);
    ASSERT_EQ(o.ErrorFlag(), 0);
    EXPECT_EQ(o.GetEntryCount(), 120u);
    EXPECT_FLOAT_EQ(o.ValueAt(500.0f), -2.0f + 3.0f);
    EXPECT_NEAR(o.ValueAt(500.0f * 1.000005f), -2.0f + 3.0f, 1e-3);
    ASSERT_TRUE(o.WriteFile(Path().c_str(), "bands"));
    TOverlayData back(Path().c_str(), 0, 0.0f);
    ASSERT_EQ(back.GetEntryCount(), 40u);
    for (UINT i = 0; i < 40; ++i) {
        EXPECT_FLOAT_EQ(back.EntryFrequency(i), 100.0f + 100.0f * i);
        EXPECT_FLOAT_EQ(back.EntryValue(i), -0.5f * i + 3.0f);
    }
}

TEST_F(OverlayFile, BandMaximumMatchesABruteForceSearchForEveryCurveInTurn)
{
    // Two curves swept column by column in turn, as a plot draws its overlays: each keeps
    // its own search position, so neither falls back to the interpolated value.
    std::string a, b;
    char line[64];
    for (int i = 0; i < 400; ++i) {
        std::snprintf(line, sizeof line, "%d\t%f\n", 10 + 5 * i, 10.0 * std::sin(i * 0.37));
        a += line;
        std::snprintf(line, sizeof line, "%d\t%f\n", 1000 + 2 * i, 10.0 * std::cos(i * 0.91));
        b += line;
    }
    Put(a);
    TOverlayData ca(Path().c_str(), 0, 1.0f);
    Put(b);
    TOverlayData cb(Path().c_str(), 0, 1.0f);
    auto brute = [](const TOverlayData& o, float lo, float hi) {
        float m = -1e30f;
        bool found = false;
        for (UINT i = 0; i < o.GetEntryCount(); ++i)
            if (lo < o.EntryFrequency(i) && o.EntryFrequency(i) < hi) {
                m = std::max(m, o.EntryValue(i));
                found = true;
            }
        return found ? m + o.GetOffset() : o.ValueAt(hi);
    };
    for (float lo = 1100.0f; lo < 1700.0f; lo += 13.0f) {
        const float hi = lo + 13.0f;
        EXPECT_FLOAT_EQ(ca.ValueOverBand(lo, hi), brute(ca, lo, hi)) << lo;
        EXPECT_FLOAT_EQ(cb.ValueOverBand(lo, hi), brute(cb, lo, hi)) << lo;
    }
    // Bands below the table's first and above its last entry are held flat.
    EXPECT_FLOAT_EQ(cb.ValueOverBand(100.0f, 500.0f), cb.EntryValue(0) + 1.0f);
    EXPECT_FLOAT_EQ(cb.ValueOverBand(1500.0f, 5000.0f), cb.EntryValue(399) + 1.0f);
    // A band between two entries answers the curve's value at its top.
    EXPECT_FLOAT_EQ(ca.ValueOverBand(11.0f, 12.0f), ca.ValueAt(12.0f));
}

TEST(OverlayFromSpectrum, TraceAndCompositeCurvesFollowTheSource)
{
    const auto p = Processing(4000, 1024);
    const auto s = Scaling(1);
    SpectralData d(&p, &s, false);
    TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    FeedBlock(d, w, {{100.0, 0.5}});

    // A stored trace answers the live levels at the bin frequencies.
    TOverlayData trace(&d, 0.0f, 0);
    ASSERT_EQ(trace.ErrorFlag(), 0);
    EXPECT_EQ(trace.GetEntryCount(), static_cast<UINT>(d.GetLastBin() - d.GetFirstBin() + 1));
    for (int bin : {d.GetFirstBin(), 99, 100, 101, 333, d.GetLastBin()})
        EXPECT_FLOAT_EQ(trace.ValueAt(d.GetBinFrequency(static_cast<UINT>(bin))), d.GetLevel(bin)) << bin;

    // Flat curves at known levels to combine.
    char tmpl[] = "/tmp/durnex-test-XXXXXX";
    const std::filesystem::path dir = mkdtemp(tmpl);
    auto write = [&](const char* name, float level) {
        const auto path = dir / name;
        std::ofstream(path) << "0\t" << level << "\n1000\t" << level << "\n5000\t" << level << "\n";
        return std::make_unique<TOverlayData>(path.c_str(), 0, 0.0f);
    };
    auto a = write("a.ovl", -20.0f), b = write("b.ovl", -20.0f), c = write("c.ovl", -6.0f);
    auto broken = std::make_unique<TOverlayData>((dir / "missing.ovl").c_str(), 0, 0.0f);
    std::filesystem::remove_all(dir);

    const TOverlayData* six[6] = {a.get(), b.get(), c.get(), nullptr, broken.get(), nullptr};
    OverlayCompositeSettings avg;
    avg.IncludeInAverage[0] = avg.IncludeInAverage[1] = 1;
    TOverlayData composite;
    composite.BuildFromSpectrum(&d, six, avg);
    ASSERT_EQ(composite.ErrorFlag(), 0);
    EXPECT_NEAR(composite.ValueAt(500.0f), -20.0f, 1e-4);

    // Included slots that hold no curve are left out of the mean, not counted as 0 dB or silence.
    avg.IncludeInAverage[3] = avg.IncludeInAverage[4] = 1;
    composite.BuildFromSpectrum(&d, six, avg);
    EXPECT_NEAR(composite.ValueAt(500.0f), -20.0f, 1e-4);
    // -20 dB and -6 dB average in amplitude: 20 log10((0.1 + 0.501187) / 2).
    avg.IncludeInAverage[0] = 0;
    avg.IncludeInAverage[2] = 1;
    composite.BuildFromSpectrum(&d, six, avg);
    EXPECT_NEAR(composite.ValueAt(500.0f), 20.0 * std::log10((0.1 + std::pow(10.0, -6.0 / 20.0)) / 2.0), 1e-3);

    OverlayCompositeSettings sub;
    sub.CompositeType = OverlayCompositeSettings::kSubtract;
    sub.DifferenceIndex1 = 2;
    sub.DifferenceIndex2 = 0;
    composite.BuildFromSpectrum(&d, six, sub);
    ASSERT_EQ(composite.ErrorFlag(), 0);
    EXPECT_NEAR(composite.ValueAt(800.0f), 14.0f, 1e-4);  // first minus second
    for (auto [i, j] : {std::pair{0, 0}, std::pair{0, 3}, std::pair{4, 1}, std::pair{6, 1}}) {
        sub.DifferenceIndex1 = static_cast<WORD>(i);
        sub.DifferenceIndex2 = static_cast<WORD>(j);
        composite.BuildFromSpectrum(&d, six, sub);
        EXPECT_EQ(composite.ErrorFlag(), 1) << i << "," << j;
        EXPECT_EQ(composite.ValueAt(800.0f), 0.0f);
    }
    // A composite that cannot be formed is not written as the source's spectrum.
    char tmpl2[] = "/tmp/durnex-test-XXXXXX";
    const std::filesystem::path out = std::filesystem::path(mkdtemp(tmpl2)) / "Ch_0_7.ovl";
    ASSERT_TRUE(composite.WriteFile(out.c_str(), "Composite"));
    std::ifstream written(out);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(written)), {}), ";Composite\n");
    std::filesystem::remove_all(out.parent_path());
    OverlayCompositeSettings lone;
    lone.IncludeInAverage[1] = 1;
    composite.BuildFromSpectrum(&d, six, lone);
    EXPECT_EQ(composite.ErrorFlag(), 1);
}
