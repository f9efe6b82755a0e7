// The rules the spectrogram and surface share, checked against hand-worked values: the colour
// scales at their ends, level to colour index, autoscale, the line history's capacity and
// times.
#include "plots/spectrogram/HistoryScale.h"
#include "plots/spectrogram/TLineHistory.h"

#include "dsp/SpectralTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {
constexpr COLORREF Rgb(int r, int g, int b) { return static_cast<COLORREF>(r | (g << 8) | (b << 16)); }
} // namespace

TEST(HistoryColours, SpectrumAndGreyScalesAtTheirEndsAndSeams)
{
    const auto spectrum = history::BuildColourScale(0, 0, 0);
    ASSERT_EQ(spectrum.size(), 200u);
    EXPECT_EQ(spectrum[0], Rgb(0, 0, 0));
    EXPECT_EQ(spectrum[39], Rgb(0, 0, 249));
    EXPECT_EQ(spectrum[40], Rgb(0, 0, 255));
    EXPECT_EQ(spectrum[80], Rgb(0, 255, 255));
    EXPECT_EQ(spectrum[199], Rgb(255, 5, 0));
    const auto grey = history::BuildColourScale(1, 0, 0);
    EXPECT_EQ(grey[0], Rgb(255, 255, 255));
    EXPECT_EQ(grey[199], Rgb(0, 0, 0));
    // Yellow to red: every step differs, so a true-colour display keeps all 200.
    const auto custom = history::BuildColourScale(2, Rgb(255, 255, 0), Rgb(255, 0, 0));
    EXPECT_EQ(custom[0], Rgb(255, 255, 0));
    EXPECT_EQ(history::KeepDistinctColours(custom, [](COLORREF c) { return c; }).size(), 200u);
    // One colour for both ends leaves a scale of one colour.
    const auto flat = history::BuildColourScale(2, Rgb(9, 9, 9), Rgb(9, 9, 9));
    EXPECT_EQ(history::KeepDistinctColours(flat, [](COLORREF c) { return c; }).size(), 1u);
}

TEST(HistoryColours, LevelToIndexByScaleType)
{
    float top = -55.0f;
    EXPECT_EQ(history::ScaleLevel(-100.0, 200, 199, 1, top, 45.0f), 0);
    EXPECT_EQ(history::ScaleLevel(-55.0, 200, 199, 1, top, 45.0f), 199);
    EXPECT_EQ(history::ScaleLevel(-77.5, 200, 199, 1, top, 45.0f), 100);
    EXPECT_EQ(history::ScaleLevel(-999.9, 200, 199, 1, top, 45.0f), 0);
    // Linear: a top of 0 becomes 1.0 in the settings.
    float linearTop = 0.0f;
    EXPECT_EQ(history::ScaleLevel(0.5, 200, 199, 0, linearTop, 0.0f), 100);
    EXPECT_EQ(linearTop, 1.0f);
    // Logarithmic over 1e-4..1 (40 dB): 0.01 is halfway.
    float logTop = 1.0f;
    EXPECT_EQ(history::ScaleLevel(0.01, 200, 199, 2, logTop, 1e-4f), 100);
    // A logarithmic scale without span draws nothing.
    float tiny = 1e-7f;
    EXPECT_EQ(history::ScaleLevel(0.5, 200, 199, 2, tiny, 1.0f), -1);
    // Index back to level: the dB scale's bottom and middle.
    EXPECT_FLOAT_EQ(history::IndexToLevel(0, 200, 1, -55.0f, 45.0f), -100.0f);
    EXPECT_FLOAT_EQ(history::IndexToLevel(100, 200, 1, -55.0f, 45.0f), -77.5f);
}

// The threshold road (a line's thousands of pixels placed by comparisons) must give every level
// the index the logarithm gives: a sweep across twelve decades, and every threshold and the
// double just below it, where a wrong threshold would show.
TEST(HistoryColours, ThresholdScalerPlacesLevelsAsTheLogarithmDoes)
{
    for (const auto& [top, range] : {std::pair{1.0f, 1e-4f}, std::pair{3.7f, 0.02f}, std::pair{0.0f, 5.0f}}) {
        float settingsTop = top;
        history::LevelScaler scale;
        scale.Fit(200, 199, 2, settingsTop, range);
        std::vector<double> levels{0.0, -1.0, std::nan(""), HUGE_VAL, 4.9e-324};
        for (double v = 1e-9; v < 1e3; v *= 1.0071)
            levels.push_back(v);
        for (int i = 1; i <= 199; ++i) {
            // The least level of index i, found through the direct formula's neighbours.
            double lo = 1e-12, hi = 1e6;
            for (int k = 0; k < 200; ++k) {
                const double mid = std::sqrt(lo * hi);
                float t = top;
                (history::ScaleLevel(mid, 200, 199, 2, t, range) >= i ? hi : lo) = mid;
            }
            levels.push_back(hi);
            levels.push_back(std::nextafter(hi, 0.0));
            levels.push_back(std::nextafter(hi, HUGE_VAL));
        }
        for (double v : levels) {
            float t = top;
            ASSERT_EQ(scale(v), history::ScaleLevel(v, 200, 199, 2, t, range)) << "level " << v << " top " << top;
        }
    }
    // Linear and dB scales, and a changed top: the same as the direct formula, top rule included.
    float top = 0.0f;
    history::LevelScaler linear;
    linear.Fit(200, 199, 0, top, 0.0f);
    EXPECT_EQ(top, 1.0f);
    EXPECT_EQ(linear(0.5), 100);
    float db = -55.0f;
    history::LevelScaler decibels;
    decibels.Fit(200, 199, 1, db, 45.0f);
    EXPECT_EQ(decibels(-77.5), 100);
    db = -65.0f;
    decibels.Fit(200, 199, 1, db, 45.0f);
    EXPECT_EQ(decibels(-77.5), history::ScaleLevel(-77.5, 200, 199, 1, db, 45.0f));
    EXPECT_NE(decibels(-77.5), 100);
}

// A line's levels scaled in one pass give each the index ScaleLevel gives it alone, where the
// clamp and the truncation decide: below and above the scale, NaN and infinities, every index
// boundary and the doubles either side of it, and a count that leaves one level over.
TEST(HistoryColours, LineScalingAgreesWithTheLevelByLevelRuleAtItsEdges)
{
    struct Scale {
        WORD type;
        float top, range;
    };
    for (const Scale& sc : {Scale{1, -55.0f, 45.0f}, Scale{1, 20.0f, 160.0f}, Scale{0, 1.0f, 0.0f}, Scale{0, 3e-3f, 0.0f}}) {
        std::vector<double> levels{std::nan(""), HUGE_VAL, -HUGE_VAL, -1e300, 1e300, 0.0, -0.0, -999.9};
        for (int i = 0; i <= 200; ++i) {
            // Level of index boundary i: where n * (l - top + range) / range (or n * l / top) is i.
            const double b = sc.type == 1 ? double(sc.top) - sc.range + double(sc.range) * i / 200.0
                                          : double(sc.top) * i / 200.0;
            levels.insert(levels.end(), {b, std::nextafter(b, -HUGE_VAL), std::nextafter(b, HUGE_VAL)});
        }
        levels.push_back(0.123); // an odd count
        float top = sc.top;
        history::LevelScaler scaler;
        scaler.Fit(200, 199, sc.type, top, sc.range);
        std::vector<int> got(levels.size(), -7);
        ASSERT_TRUE(scaler.Scale(levels.data(), got.data(), levels.size()));
        for (std::size_t i = 0; i < levels.size(); ++i) {
            float t = sc.top;
            ASSERT_EQ(got[i], history::ScaleLevel(levels[i], 200, 199, sc.type, t, sc.range))
                << "type " << sc.type << " top " << sc.top << " level " << levels[i];
        }
    }
}

TEST(HistoryAutoscale, WorkedExamples)
{
    float top = -55.0f, range = 45.0f;
    ASSERT_TRUE(history::Autoscale(1, -31.0f, -72.4f, &top, &range));
    EXPECT_FLOAT_EQ(top, -30.0f);
    EXPECT_FLOAT_EQ(range, 50.0f);
    // Less than about a dB of span: the range falls back to 10.
    ASSERT_TRUE(history::Autoscale(1, -31.0f, -31.5f, &top, &range));
    EXPECT_FLOAT_EQ(range, 10.0f);
    // A flat history changes nothing.
    EXPECT_FALSE(history::Autoscale(1, -40.0f, -40.0f, &top, &range));
    float linear = 5.0f, unused = 7.0f;
    ASSERT_TRUE(history::Autoscale(0, 0.0372f, 0.0f, &linear, &unused));
    EXPECT_NEAR(linear, 0.1f, 1e-6);
    EXPECT_FLOAT_EQ(unused, 7.0f);
    float logTop = 1.0f, bottom = 1e-6f;
    ASSERT_TRUE(history::Autoscale(2, 0.5f, 0.00002f, &logTop, &bottom));
    EXPECT_NEAR(bottom, 0.0001f, 1e-9);
    EXPECT_FLOAT_EQ(logTop, 1.0f);
}

TEST(HistoryScales, FrequencyLabelsAndLevelTicks)
{
    // A 400..1200 Hz linear axis over 800 pixels (one per Hz) gets labels every 200 Hz, the
    // stop frequency too, on the last pixel (whose band ends there).
    std::vector<history::FrequencyPixel> map;
    for (int p = 0; p < 800; ++p)
        map.push_back({p, 400.0f + p});
    const auto labels = history::BuildFrequencyLabels(map, 400.0f, 1200.0f, 0, 30);
    ASSERT_EQ(labels.size(), 5u);
    EXPECT_EQ(labels[0].pixel, 0);
    EXPECT_EQ(labels[0].text, "400");
    EXPECT_EQ(labels[3].text, "1.0k");
    EXPECT_EQ(labels[4].pixel, 799);
    EXPECT_EQ(labels[4].text, "1.2k");
    // A logarithmic 20..2000 Hz axis ends on its stop frequency as well; a stop frequency
    // between ticks gets no label of its own.
    std::vector<history::FrequencyPixel> logMap;
    for (int p = 0; p < 300; ++p)
        logMap.push_back({p, static_cast<float>(std::pow(10.0, std::log10(20.0) + p * 2.0 / 300))});
    const auto decades = history::BuildFrequencyLabels(logMap, 20.0f, 2000.0f, 1, 20);
    ASSERT_FALSE(decades.empty());
    EXPECT_EQ(decades.back().pixel, 299);
    EXPECT_EQ(decades.back().text, "2.0k");
    const auto between = history::BuildFrequencyLabels(map, 400.0f, 1150.0f, 0, 30);
    EXPECT_EQ(between.back().text, "1.1k");
    EXPECT_EQ(between.back().pixel, 699); // the pixel whose band holds 1100 Hz at its top
    // dB: 45 dB over 300 pixels in 5 dB steps from the top down.
    const auto ticks = history::BuildAmplitudeScale(1, -55.0f, 45.0f, 300);
    ASSERT_EQ(ticks.size(), 10u);
    EXPECT_EQ(ticks.front().text, "-55");
    EXPECT_EQ(ticks.back().pixel, 300);
    EXPECT_EQ(ticks.back().text, "-100");
    // 150 dB in 10 dB steps over 100 pixels: a tick every 6.7 pixels keeps them all, and a label
    // on every second one leaves the labels of a 13-pixel font clear of each other.
    auto crowded = history::BuildAmplitudeScale(1, 50.0f, 150.0f, 100);
    ASSERT_EQ(crowded.size(), 16u);
    history::ThinEvenLabels(crowded, 13);
    std::vector<std::string> kept;
    int previous = -100;
    for (const auto& t : crowded)
        if (!t.text.empty()) {
            EXPECT_GE(t.pixel - previous, 13) << t.text;
            previous = t.pixel;
            kept.push_back(t.text);
        }
    EXPECT_EQ(kept, (std::vector<std::string>{"50", "30", "10", "-10", "-30", "-50", "-70", "-90"}));
    const char* suffix = nullptr;
    EXPECT_DOUBLE_EQ(history::TimeDivision(15.0, &suffix), 1.0);
    EXPECT_STREQ(suffix, " (1 sec/div)");
}

TEST(LineHistory, CapacityTimesAndLinesOutsideIt)
{
    TLineHistory h(2);
    h.Resize(600);
    EXPECT_EQ(h.LineCapacity(), 301);
    h.SetLine(300, 9.0f); // beyond the last row: ignored
    EXPECT_EQ(h.EndTime(), 0.0f);
    // Per block, newest first: a history not yet full starts at 0.
    h.Record(1.0f, 0, true, -20.0f, -80.0f);
    h.Record(2.0f, 0, true, -10.0f, -90.0f);
    EXPECT_EQ(h.StartTime(), 0.0f);
    EXPECT_EQ(h.EndTime(), 2.0f);
    EXPECT_EQ(h.RowTime(0), 2.0f);
    EXPECT_EQ(h.RowTime(1), 2.0f);
    EXPECT_EQ(h.RowTime(2), 1.0f);
    EXPECT_EQ(h.Row(1).tag, 1u);
    // Rows never written do not count as levels of 0.
    float peak = 0, floor = 0;
    h.LevelExtent(&peak, &floor);
    EXPECT_EQ(peak, -10.0f);
    EXPECT_EQ(floor, -90.0f);
    // A resize keeps the rows that still fit.
    h.Resize(3);
    EXPECT_EQ(h.RowTime(2), 1.0f);
    EXPECT_EQ(h.RowTime(99), 1.0f); // clamped to the last row
    h.Clear();
    EXPECT_EQ(h.EndTime(), 0.0f);
    EXPECT_EQ(h.RowTime(0), 0.0f);
}

// A line's levels read in one pass per line must be, bit for bit, the per-pixel
// SpectralData::MaxLevel reads they replace: every amplitude scale, density and calibrated
// units, linear, logarithmic and band frequency axes, full span, zoomed in (many pixels per bin)
// and coarse (many bins per pixel).
TEST(HistoryPixelLevels, OnePassReadsWhatPerPixelLookupsRead)
{
    using namespace spectral_test;
    struct Case {
        WORD amp, freq;
        bool density, calibrated;
    };
    const Case cases[] = {{0, 0, false, false}, {1, 0, false, false}, {2, 0, false, false}, {1, 1, false, false},
                          {0, 1, false, true},  {1, 0, true, false},  {1, 0, false, true},  {2, 1, true, false},
                          {1, 2, false, false}, {0, 2, false, true}};
    struct Span {
        float low, high;
        int pixels;
    };
    const Span spans[] = {{0.0f, 0.0f, 900}, {100.0f, 140.0f, 700}, {20.0f, 1900.0f, 150}, {0.0f, 0.0f, 1}};
    history::PixelLevels reader;
    int compared = 0;
    for (const Case& c : cases) {
        auto p = Processing(4000, 1024);
        auto scaling = Scaling(c.amp, c.freq);
        scaling.SpectralDensityFlag = c.density ? 1 : 0;
        SpectralData engine(&p, &scaling, false);
        if (c.calibrated) {
            const auto cal = Calibration(kUnitSplAir, 4.0f, 1);
            engine.SetScaling(&cal);
        }
        TSmoothing w(1024, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
        unsigned seed = 7;
        FeedBlock(engine, w, {{40.0, 0.5}, {201.5, 0.01}}, 1e-4, &seed);
        engine.Average(false);
        const std::string what = "amp " + std::to_string(c.amp) + " freq " + std::to_string(c.freq) +
                                 (c.density ? " density" : "") + (c.calibrated ? " calibrated" : "");
        // The row read against GetLevel itself, past both ends of the spectrum.
        const int bins = engine.GetBinCount();
        for (const int first : {-3, 0, bins - 4}) {
            std::vector<float> row(12, -1.0f);
            engine.GetLevels(first, 12, row.data());
            for (int i = 0; i < 12; ++i) {
                const float want = engine.GetLevel(first + i);
                ASSERT_EQ(std::memcmp(&row[i], &want, sizeof want), 0) << what << " bin " << first + i;
            }
        }
        for (const Span& span : spans) {
            float low = span.low, high = span.high;
            if (!(high > low)) {
                low = engine.GetLowFrequency();
                high = engine.GetHighFrequency();
            }
            const auto map = history::BuildFrequencyMap(engine, span.pixels, low, high, c.freq);
            const std::vector<double>& got = reader.Read(engine, map);
            ASSERT_EQ(got.size(), map.size());
            for (std::size_t x = 0; x < map.size(); ++x) {
                const double want = engine.MaxLevel(x == 0 ? -1 : map[x - 1].bin, map[x].bin);
                ASSERT_EQ(std::memcmp(&got[x], &want, sizeof want), 0)
                    << what << " span " << low << ".." << high << " pixel " << x << ": " << got[x] << " vs " << want;
                ++compared;
            }
            // And the line's colour indices in one loop are the level-by-level ones.
            float top = c.amp == 1 ? -20.0f : 150.0f;
            const float range = c.amp == 1 ? 80.0f : 1e-3f;
            history::LevelScaler scale;
            scale.Fit(200, 199, c.amp, top, range);
            std::vector<int> indices(got.size(), -7);
            ASSERT_TRUE(scale.Scale(got.data(), indices.data(), got.size()));
            for (std::size_t x = 0; x < got.size(); ++x)
                ASSERT_EQ(indices[x], scale(got[x])) << what << " pixel " << x << " level " << got[x];
        }
    }
    EXPECT_GT(compared, 10 * 1700);

    // A map no axis makes (bins below 0, falling, past the end) follows MaxLevel's rules too;
    // and a new spectrum on the same map is read anew.
    auto p = Processing(4000, 256);
    const auto scaling = Scaling(1);
    SpectralData engine(&p, &scaling, false);
    TSmoothing w(256, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    const std::vector<history::FrequencyPixel> odd = {{-2, 0.0f}, {-1, 0.0f}, {3, 0.0f}, {3, 0.0f},  {7, 0.0f},
                                                       {5, 0.0f},  {6, 0.0f},  {9, 0.0f}, {200, 0.0f}};
    for (const double bin : {4.0, 8.0}) {
        engine.ClearSpectra();
        FeedBlock(engine, w, {{bin, 0.5}});
        engine.Average(false);
        const std::vector<double>& got = reader.Read(engine, odd);
        for (std::size_t x = 0; x < odd.size(); ++x)
            EXPECT_EQ(got[x], engine.MaxLevel(x == 0 ? -1 : odd[x - 1].bin, odd[x].bin)) << "tone " << bin << " pixel " << x;
    }
}
