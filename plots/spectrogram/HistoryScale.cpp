#include "plots/spectrogram/HistoryScale.h"

#include "dsp/SpectralData.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace history {

void scale_detail::ScaleLine(const double* levels, int* out, std::size_t count, double n, double top, double range,
                             bool decibels, int maxIndex)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    // max(v, 0) gives 0 for NaN as ClampIndex does; the conversion truncates toward zero.
    const __m128d vn = _mm_set1_pd(n), vtop = _mm_set1_pd(top), vrange = _mm_set1_pd(range);
    const __m128d zero = _mm_setzero_pd(), highest = _mm_set1_pd(static_cast<double>(maxIndex));
    for (; i + 2 <= count; i += 2) {
        const __m128d level = _mm_loadu_pd(levels + i);
        const __m128d v = decibels ? _mm_div_pd(_mm_mul_pd(vn, _mm_add_pd(_mm_sub_pd(level, vtop), vrange)), vrange)
                                   : _mm_div_pd(_mm_mul_pd(vn, level), vtop);
        const __m128i index = _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(v, zero), highest));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), index);
    }
#endif
    for (; i < count; ++i)
        out[i] = ClampIndex(decibels ? n * (levels[i] - top + range) / range : n * levels[i] / top, maxIndex);
}

namespace {

constexpr double kStep = 1.28; // 256 levels over a run of 200 / 5 x 40 steps

constexpr COLORREF Rgb(int r, int g, int b)
{
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

int Trunc(double v) { return static_cast<int>(std::trunc(v)); }

using scale_detail::Db;

std::string Label(double f, double span)
{
    char text[24];
    if (f == 0.0)
        return "0.0";
    const char* below = span < 10.0 ? "%1.3f" : span < 100.0 ? "%1.2f" : "%1.0f";
    const char* above = span < 10.0 ? "%1.3fk" : span < 100.0 ? "%1.2fk" : "%1.1fk";
    if (f < 1000.0)
        std::snprintf(text, sizeof text, below, f);
    else
        std::snprintf(text, sizeof text, above, f / 1000.0);
    return text;
}

double LinearFrequencyStep(double span)
{
    for (double step : {10000.0, 5000.0, 1000.0, 500.0, 200.0, 100.0, 50.0, 20.0, 10.0, 5.0, 2.0, 1.0})
        if (span / step >= 4.0)
            return step;
    return 1.0;
}

double DecadeFrequencyStep(double f)
{
    if (f < 10.0)
        return 1.0;
    if (f < 100.0)
        return 10.0;
    if (f < 1000.0)
        return 100.0;
    if (f < 10000.0)
        return 1000.0;
    if (f < 100000.0)
        return 10000.0;
    return 100000.0;
}

std::vector<AxisLabel> FrequencyTicks(const std::vector<FrequencyPixel>& map, float low, float high, bool linear)
{
    std::vector<AxisLabel> labels;
    const double span = static_cast<double>(high) - low;
    const double linearStep = LinearFrequencyStep(span);
    double f = 0.0;
    // Whole hertz from 0 up to the high end; the table holds one label per pixel at most.
    while (f <= high && labels.size() < map.size()) {
        if (f >= low) {
            int column = FrequencyToColumn(map, static_cast<float>(f));
            // The last pixel stands for the band up to the high end, which the map's own
            // frequencies (each pixel's low edge) stop one pixel short of: the stop frequency
            // is labelled there.
            if (column < 0 && f >= map.back().frequency)
                column = static_cast<int>(map.size()) - 1;
            if (column >= 0)
                labels.push_back({column, Label(f, span)});
        }
        f += linear ? linearStep : DecadeFrequencyStep(f);
    }
    return labels;
}

} // namespace

std::vector<COLORREF> BuildColourScale(WORD scheme, COLORREF low, COLORREF high)
{
    std::vector<COLORREF> colours(kColours);
    for (int i = 0; i < kColours; ++i) {
        const int j = i % 40;
        const int v = Trunc(5.0 * j * kStep);
        const int down = Trunc(255.0 - 5.0 * j * kStep);
        COLORREF c = 0;
        if (scheme == 1) {
            const int g = Trunc(255.0 - i * kStep);
            c = Rgb(g, g, g);
        } else if (scheme == 2) {
            auto mix = [i](int a, int b) { return Trunc(a + i * static_cast<double>(b - a) / kColours); };
            c = Rgb(mix(low & 0xFF, high & 0xFF), mix((low >> 8) & 0xFF, (high >> 8) & 0xFF),
                    mix((low >> 16) & 0xFF, (high >> 16) & 0xFF));
        } else {
            switch (i / 40) {
            case 0: c = Rgb(0, 0, v); break;
            case 1: c = Rgb(0, v, 255); break;
            case 2: c = Rgb(0, 255, down); break;
            case 3: c = Rgb(v, 255, 0); break;
            default: c = Rgb(255, down, 0); break;
            }
        }
        colours[static_cast<std::size_t>(i)] = c;
    }
    return colours;
}

LogScale LogScaleOf(float top, float range)
{
    LogScale s{top, range, 0.0, 0.0};
    if (s.top <= 0.0f)
        s.top = 10.0f;
    if (s.bottom <= 0.0f || s.bottom >= s.top)
        s.bottom = 1e-6f;
    s.lt = Db(s.top);
    s.lb = Db(s.bottom);
    return s;
}

LevelScaler::LevelScaler(int n, int maxIndex, WORD ampType, float& top, float range, bool thresholds)
    : m_n(n), m_maxIndex(maxIndex), m_type(ampType), m_givenRange(range), m_thresholds(thresholds), m_range(range)
{
    if (ampType == 0 && top <= 0.0f)
        top = 1.0f;
    m_givenTop = top;
    m_top = top;
    if (ampType != 2)
        return;
    const LogScale s = LogScaleOf(top, range);
    m_lb = s.lb;
    m_span = s.lt - s.lb;
    if (!thresholds || m_span <= 0.0 || maxIndex <= 0 || maxIndex > 4096)
        return;
    // Positive doubles order as their bit patterns do: each least level by bisection of those.
    const auto at = [](std::uint64_t bits) { return std::bit_cast<double>(bits); };
    const std::uint64_t positive = 1, infinity = std::bit_cast<std::uint64_t>(HUGE_VAL);
    m_least.resize(static_cast<std::size_t>(maxIndex));
    std::uint64_t low = positive;
    for (int i = 1; i <= maxIndex; ++i) {
        std::uint64_t lo = low, hi = infinity;
        if (Direct(at(lo)) >= i) {
            hi = lo;
        } else {
            while (hi - lo > 1) {
                const std::uint64_t mid = lo + (hi - lo) / 2;
                (Direct(at(mid)) >= i ? hi : lo) = mid;
            }
        }
        m_least[static_cast<std::size_t>(i - 1)] = at(hi);
        low = hi;
    }
}

void LevelScaler::Fit(int n, int maxIndex, WORD ampType, float& top, float range)
{
    if (ampType == 0 && top <= 0.0f)
        top = 1.0f;
    if (m_thresholds && n == m_n && maxIndex == m_maxIndex && ampType == m_type && top == m_givenTop &&
        range == m_givenRange)
        return;
    *this = LevelScaler(n, maxIndex, ampType, top, range, true);
}

int ScaleLevel(double level, int n, int maxIndex, WORD ampType, float& top, float range)
{
    return LevelScaler(n, maxIndex, ampType, top, range)(level);
}

float IndexToLevel(int i, int n, WORD ampType, float top, float range)
{
    if (n <= 0)
        return kNoLevel;
    switch (ampType) {
    case 1: return top - range + static_cast<float>(i) * range / static_cast<float>(n);
    case 0: return static_cast<float>(i) * top / static_cast<float>(n);
    case 2: {
        const LogScale s = LogScaleOf(top, range);
        if (s.lt - s.lb <= 0.0)
            return 0.0f;
        return static_cast<float>(std::pow(10.0, (static_cast<double>(i) / n * (s.lt - s.lb) + s.lb) / 10.0));
    }
    default: return -999.0f;
    }
}

void DisplayedBand(const SpectralData& engine, bool fullSpan, float startHz, float stopHz, float* low, float* high)
{
    const float lo = engine.GetLowFrequency();
    const float hi = engine.GetHighFrequency();
    float l = fullSpan ? lo : startHz;
    float h = fullSpan ? hi : stopHz;
    l = std::max(l, lo);
    h = std::min(h, hi);
    if (!(h > l)) {
        l = lo;
        h = hi;
    }
    *low = l;
    *high = h;
}

std::vector<FrequencyPixel> BuildFrequencyMap(const SpectralData& engine, int count, float low, float high,
                                              WORD freqScale)
{
    std::vector<FrequencyPixel> map;
    if (count <= 0)
        return map;
    map.resize(static_cast<std::size_t>(count));
    const auto lg = [](double v) { return v > 0.0 ? std::log10(v) : 0.0; };
    for (int p = 0; p < count; ++p) {
        double f = 0.0;
        if (freqScale == 0)
            f = low + p * (static_cast<double>(high) - low) / count;
        else
            f = std::pow(10.0, lg(low) + p * (lg(high) - lg(low)) / count);
        map[static_cast<std::size_t>(p)] = {engine.FrequencyToBin(static_cast<float>(f)), static_cast<float>(f)};
    }
    if (freqScale != 0)
        map.back().bin += 1;
    return map;
}

// The pixels of a map read the same bins line after line: which ones is worked out once.
void PixelLevels::Plan(const std::vector<FrequencyPixel>& map)
{
    m_planned.resize(map.size());
    m_spans.resize(map.size());
    int low = 0;
    for (std::size_t p = 0; p < map.size(); ++p) {
        m_planned[p] = map[p].bin;
        low = p == 0 ? map[p].bin : std::min(low, map[p].bin);
    }
    m_lowBin = std::max(low, 0);
    const auto slot = [&](int bin) { return bin < 0 ? 0 : bin - m_lowBin + 1; };
    m_highestSlot = 0;
    int previous = -1;
    for (std::size_t p = 0; p < map.size(); ++p) {
        const int lo = previous;
        const int hi = map[p].bin;
        previous = hi;
        m_highestSlot = std::max(m_highestSlot, slot(hi));
        // As SpectralData::MaxLevel(lo, hi): hi alone after its neighbour or without a lower
        // bin; else every bin from lo to hi (none when lo lies above hi).
        if (lo == hi - 1 || lo < 0)
            m_spans[p] = {slot(hi), slot(hi), true};
        else
            m_spans[p] = {slot(lo), slot(hi), false};
    }
}

const std::vector<double>& PixelLevels::Read(const SpectralData& engine, const std::vector<FrequencyPixel>& map)
{
    const bool same = m_planned.size() == map.size() &&
                      std::equal(map.begin(), map.end(), m_planned.begin(),
                                 [](const FrequencyPixel& a, int bin) { return a.bin == bin; });
    if (!same)
        Plan(map);
    m_pixels.resize(map.size());
    if (map.empty())
        return m_pixels;
    m_row.resize(static_cast<std::size_t>(m_highestSlot) + 1);
    m_row[0] = 0.0f;
    engine.GetLevels(m_lowBin, m_highestSlot, m_row.data() + 1);
    const float* row = m_row.data();
    for (std::size_t p = 0; p < m_spans.size(); ++p) {
        const Span s = m_spans[p];
        if (s.alone) {
            m_pixels[p] = row[s.first];
            continue;
        }
        double best = -999999.0;
        for (int k = s.first; k <= s.last; ++k) {
            const double v = row[k];
            best = v > best ? v : best;
        }
        m_pixels[p] = best;
    }
    return m_pixels;
}

int FrequencyToColumn(const std::vector<FrequencyPixel>& map, float f)
{
    for (std::size_t c = 0; c + 1 < map.size(); ++c)
        if (map[c].frequency <= f && f <= map[c + 1].frequency)
            return static_cast<int>(c);
    return -999;
}

std::vector<AxisLabel> BuildFrequencyLabels(const std::vector<FrequencyPixel>& map, float low, float high,
                                            WORD freqScale, int spacing)
{
    std::vector<AxisLabel> labels = FrequencyTicks(map, low, high, freqScale == 0);
    if (freqScale != 0 && labels.size() < 4)
        labels = FrequencyTicks(map, low, high, true);
    int kept = 0;
    bool any = false;
    for (auto it = labels.rbegin(); it != labels.rend(); ++it) {
        if (any && std::abs(kept - it->pixel) < spacing) {
            it->text.clear();
            continue;
        }
        kept = it->pixel;
        any = true;
    }
    return labels;
}

std::string FormatTick(double value)
{
    char text[32];
    for (int decimals = 0; decimals <= 6; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        if (std::fabs(std::strtod(text, nullptr) - value) <= 1e-9 * std::max(1.0, std::fabs(value)))
            break;
    }
    // "-0" reads oddly on a scale.
    if (std::string(text) == "-0")
        return "0";
    return text;
}

std::vector<AxisLabel> BuildAmplitudeScale(WORD ampType, float top, float range, int height)
{
    std::vector<AxisLabel> ticks;
    const double span = ampType == 0 ? top : range;
    if (!(span > 0.0) || height <= 0 || ampType > 1)
        return ticks;
    double step = 0.0;
    if (ampType == 0) {
        const double bounds[] = {1e-4, 1e-3, 0.01, 0.1, 1.0, 10.0, 100.0, 1000.0};
        const double steps[] = {1e-5, 1e-4, 1e-3, 0.01, 0.1, 1.0, 10.0, 100.0};
        step = 1000.0;
        for (int k = 0; k < 8; ++k)
            if (span <= bounds[k]) {
                step = steps[k];
                break;
            }
    } else {
        const double bounds[] = {0.11, 1.01, 2.01, 5.01, 10.01, 20.01, 50.01};
        const double steps[] = {0.01, 0.1, 0.2, 0.5, 1.0, 2.0, 5.0};
        step = 10.0;
        for (int k = 0; k < 7; ++k)
            if (span <= bounds[k]) {
                step = steps[k];
                break;
            }
    }
    const int most = Trunc(span / step + 1.0);
    for (int k = 0; k < most; ++k) {
        const double v = top - k * step;
        if (v < top - span - 1e-6 * span)
            break;
        ticks.push_back({Trunc((top - v) * height / span), FormatTick(v)});
    }
    return ticks;
}

void ThinEvenLabels(std::vector<AxisLabel>& ticks, int spacing)
{
    if (ticks.size() < 2 || spacing <= 0)
        return;
    const double pitch = std::abs(ticks.back().pixel - ticks.front().pixel) / static_cast<double>(ticks.size() - 1);
    const std::size_t every = pitch > 0.0 ? static_cast<std::size_t>(std::ceil(spacing / pitch)) : ticks.size();
    for (std::size_t i = 0; i < ticks.size(); ++i)
        if (every > 1 && i % every != 0)
            ticks[i].text.clear();
}

std::vector<AxisLabel> BuildLogAmplitudeTicks(float top, float range, int height, int spacing)
{
    std::vector<AxisLabel> ticks;
    const LogScale s = LogScaleOf(top, range);
    if (s.lt - s.lb <= 0.0 || height <= 0)
        return ticks;
    const auto pixel = [&](double v) { return Trunc(height - height * (Db(v) - s.lb) / (s.lt - s.lb)); };
    double v = s.bottom;
    while (v <= s.top && static_cast<int>(ticks.size()) < height) {
        ticks.push_back({pixel(v), FormatTick(v)});
        const double x = v * 1.00001;
        const double step = x < 1e-6 ? 1e-7 : x >= 1e6 ? 1e4 : std::pow(10.0, std::floor(std::log10(x)));
        v += step;
    }
    ticks.push_back({pixel(s.top), FormatTick(s.top)});
    int kept = 0;
    bool any = false;
    for (auto it = ticks.rbegin(); it != ticks.rend(); ++it) {
        if (any && std::abs(it->pixel - kept) < spacing) {
            it->text.clear();
            continue;
        }
        kept = it->pixel;
        any = true;
    }
    return ticks;
}

double TimeDivision(double span, const char** suffix)
{
    struct Row {
        double upTo, division;
        const char* text;
    };
    static const Row rows[] = {{0.02, 0.001, " (1 msec/div)"}, {0.2, 0.01, " (10 msec/div)"},
                               {2.0, 0.1, " (100 msec/div)"},  {20.0, 1.0, " (1 sec/div)"},
                               {200.0, 10.0, " (10 sec/div)"}, {2000.0, 100.0, " (100 sec/div)"}};
    for (const Row& r : rows)
        if (span <= r.upTo) {
            *suffix = r.text;
            return r.division;
        }
    *suffix = " (1 sec/div)";
    return 1.0;
}

bool Autoscale(WORD ampType, float maxLevel, float minLevel, float* top, float* range)
{
    double mx = maxLevel;
    double mn = minLevel;
    if (ampType == 1) {
        mx = std::min(mx, 300.0);
        mn = std::max(mn, -300.0);
        const double span = mx - mn;
        if (span <= 0.000001)
            return false;
        const double g = span > 20.0 ? 10.0 : span > 10.0 ? 5.0 : span > 1.0 ? 1.0 : span > 0.1 ? 0.1 : 0.01;
        double t = std::trunc(mx / g) * g;
        double b = std::trunc(mn / g) * g;
        if (mx > 0.0)
            t += g;
        if (mn < 0.0)
            b -= g;
        if (span < g / 4.0) {
            t += 4.0 * g;
            b += 4.0 * g;
        }
        t = std::clamp(t, -300.0, 300.0);
        double r = t - b;
        if (r > 60.0)
            r -= 20.0;
        if (r > 100.0)
            r = 100.0;
        if (r < 1.0)
            r = 10.0;
        *top = static_cast<float>(t);
        *range = static_cast<float>(r);
        return true;
    }
    if (ampType != 0 && ampType != 2)
        return false;
    const double ceiling = ampType == 0 ? 1e9 : 10000.0;
    const double ground = ampType == 0 ? 0.0 : 0.000001;
    mx = std::min(mx, ceiling);
    mn = std::max(mn, ground);
    if (mx - mn <= 0.000001)
        return false;
    const double d = mx > 1e-8 ? std::pow(10.0, std::trunc(std::log10(mx))) : 1.0;
    double t = std::trunc(mx / d + 1.0) * d;
    if (t <= 1e-7)
        t = 1.0;
    if (ampType == 0) {
        *top = static_cast<float>(t);
        return true;
    }
    double b = mn > 1e-8 ? std::pow(10.0, std::trunc(std::log10(mn))) : 1.0;
    b = std::max(b, 0.000001);
    *top = static_cast<float>(std::clamp(t, 0.00001, 10000.0));
    *range = static_cast<float>(std::clamp(b, 0.000001, 1000.0));
    return true;
}

void LinearTopStep(double value, float* step, int* decimals)
{
    struct Row {
        double upTo;
        float step;
        int decimals;
    };
    static const Row rows[] = {{0.0001, 0.00001f, 7}, {0.0011, 0.0001f, 7}, {0.011, 0.001f, 6},
                               {0.11, 0.01f, 5},      {1.1, 0.1f, 4},       {11.0, 1.0f, 3},
                               {110.0, 10.0f, 2},     {1100.0, 100.0f, 1}};
    for (const Row& r : rows)
        if (value <= r.upTo) {
            *step = r.step;
            *decimals = r.decimals;
            return;
        }
    *step = 1000.0f;
    *decimals = 1;
}

} // namespace history
