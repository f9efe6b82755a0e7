// The numeric rules the spectrogram and 3-D surface windows share: the colour scale, level to
// colour index or height, the pixel-to-bin map of the frequency axis, the frequency and level
// labels, the time-axis division and the autoscale rule. Plain functions of their arguments,
// so that they are checked without a window.
#pragma once

#include "platform/core/WinTypes.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

class SpectralData;

namespace history {

constexpr int kColours = 200;
constexpr float kNoLevel = -999.9f;

// The 200 colours of a scale: 0 spectrum (black, blue, cyan, green, yellow, red), 1 grey
// (white to black), 2 custom (low colour to high colour).
std::vector<COLORREF> BuildColourScale(WORD scheme, COLORREF low, COLORREF high);
// The scale as a display shows it: each colour replaced by the nearest the device has, and a
// colour equal to the one kept before it dropped.
template <class NearestFn> std::vector<COLORREF> KeepDistinctColours(const std::vector<COLORREF>& colours, NearestFn nearest)
{
    std::vector<COLORREF> kept;
    for (COLORREF c : colours) {
        const COLORREF n = nearest(c);
        if (kept.empty() || kept.back() != n)
            kept.push_back(n);
    }
    return kept;
}

// A level on a scale of n steps by the amplitude scale type (0 linear, 1 dB, 2 logarithmic of
// a linear quantity), truncated and clamped to 0..maxIndex; -1 when the logarithmic scale has
// no span (nothing is drawn). A linear top of 0 or below becomes 1.0 in `top` first.
int ScaleLevel(double level, int n, int maxIndex, WORD ampType, float& top, float range);
// ScaleLevel with the scale's constants worked out once, for the many pixels of a line. With
// `thresholds` a logarithmic scale also finds, once, the least level of every index, so that a
// level is placed by comparisons instead of a logarithm (the same index: the scale rises with
// the level).
class LevelScaler {
public:
    LevelScaler() = default;
    LevelScaler(int n, int maxIndex, WORD ampType, float& top, float range, bool thresholds = false);
    int operator()(double level) const;
    // operator() of each of `count` levels; false (out unset) when the scale has no span.
    bool Scale(const double* levels, int* out, std::size_t count) const;
    // As a scaler made for these arguments with thresholds, made anew only when they changed.
    void Fit(int n, int maxIndex, WORD ampType, float& top, float range);

private:
    int Direct(double level) const;
    int m_n = 0, m_maxIndex = 0;
    WORD m_type = 0xFFFF;
    float m_givenTop = 0.0f, m_givenRange = 0.0f;
    bool m_thresholds = false;
    double m_top = 0.0, m_range = 0.0, m_lb = 0.0, m_span = 0.0;
    std::vector<double> m_least; // m_least[i - 1]: the least level of index i
};
// The level that colour index i of n stands for; -999.0 for an unknown scale type.
float IndexToLevel(int i, int n, WORD ampType, float top, float range);
// Top and bottom of a logarithmic scale as drawn: top 10 when not positive, bottom 1e-6 when
// not positive or not under the top; and their decibel values (0 for a value not positive).
struct LogScale {
    float top, bottom;
    double lt, lb;
};
LogScale LogScaleOf(float top, float range);

// The band a window shows: Start..Stop of its settings, or the engine's whole range; raised
// and lowered to the engine's range; the whole range when nothing is left.
void DisplayedBand(const SpectralData& engine, bool fullSpan, float startHz, float stopHz, float* low, float* high);

// One pixel of the frequency axis: the bin it reads up to and its frequency.
struct FrequencyPixel {
    int bin;
    float frequency;
};
// `count` pixels from low to high, linear (freqScale 0) or logarithmic (1, 2; the last
// pixel's bin raised by one).
std::vector<FrequencyPixel> BuildFrequencyMap(const SpectralData& engine, int count, float low, float high,
                                              WORD freqScale);
// The level each pixel of a frequency axis shows of a spectrum: the highest
// (SpectralData::MaxLevel) from the previous pixel's bin to its own; the first pixel's is its
// bin's. The spectrum is read once per line over the bins the map spans, into buffers kept
// from line to line.
class PixelLevels {
public:
    // One level per pixel of `map`, valid until the next call.
    const std::vector<double>& Read(const SpectralData& engine, const std::vector<FrequencyPixel>& map);

private:
    void Plan(const std::vector<FrequencyPixel>& map);

    // What each pixel reads of the row of levels: slot `first` alone (`alone`), or the highest
    // of slots first .. last. Slot 0 is a bin below 0 (level 0); slot s > 0 is bin m_lowBin + s - 1.
    struct Span {
        int first, last;
        bool alone;
    };
    std::vector<int> m_planned; // the bins of the map the spans were worked out for
    std::vector<Span> m_spans;
    int m_lowBin = 0;
    int m_highestSlot = 0;
    std::vector<float> m_row;
    std::vector<double> m_pixels;
};
// The first pixel c with map[c] <= f <= map[c + 1]; -999 when none.
int FrequencyToColumn(const std::vector<FrequencyPixel>& map, float f);

struct AxisLabel {
    int pixel;
    std::string text;
};
// Frequency ticks at whole hertz between low and high, thinned from the highest down so that
// no two kept labels are closer than `spacing` pixels (a thinned label is blank).
std::vector<AxisLabel> BuildFrequencyLabels(const std::vector<FrequencyPixel>& map, float low, float high,
                                            WORD freqScale, int spacing);
// Level ticks of a linear (0) or dB (1) scale over `height` pixels from the top.
std::vector<AxisLabel> BuildAmplitudeScale(WORD ampType, float top, float range, int height);
// Evenly spaced ticks keep every k-th label from the first, k the least that leaves `spacing`
// pixels from one label to the next: labels a text high apart would run into each other.
void ThinEvenLabels(std::vector<AxisLabel>& ticks, int spacing);
// Decade ticks of a logarithmic scale (2) over `height` pixels; labels closer than
// `spacing` pixels to the last kept one are blanked.
std::vector<AxisLabel> BuildLogAmplitudeTicks(float top, float range, int height, int spacing);
// The text of a level tick: as few decimals as the value needs, at most six.
std::string FormatTick(double value);

// Seconds per division of a time axis spanning `span` seconds, with the caption's suffix.
double TimeDivision(double span, const char** suffix);

// The new top and range of a level scale from the highest peak and lowest floor of a
// history; false when the history gives no usable span (nothing changes).
bool Autoscale(WORD ampType, float maxLevel, float minLevel, float* top, float* range);

// Step and decimals of the Plot Top spinner in linear mode for a typed value.
void LinearTopStep(double value, float* step, int* decimals);

// Inline: a line scales every one of its pixels.
namespace scale_detail {
// A scaled value truncated toward zero and kept inside 0..maxIndex (NaN counts as 0). Selects,
// not branches: a noisy spectrum crosses the bottom of the scale at random.
inline int ClampIndex(double v, int maxIndex)
{
    const double top = static_cast<double>(maxIndex);
    double c = v > 0.0 ? v : 0.0;
    c = c < top ? c : top;
    return static_cast<int>(c);
}

inline double Db(double v) { return v > 0.0 ? 10.0 * std::log10(v) : 0.0; }

// ClampIndex of n * (level - top + range) / range (decibels) or n * level / top (linear) for
// every level: the same operations, two levels at a time and without branches.
void ScaleLine(const double* levels, int* out, std::size_t count, double n, double top, double range, bool decibels,
               int maxIndex);
} // namespace scale_detail

inline int LevelScaler::Direct(double level) const
{
    using scale_detail::ClampIndex;
    switch (m_type) {
    case 1:
        if (!(m_range > 0.0))
            return -1;
        return ClampIndex(m_n * (level - m_top + m_range) / m_range, m_maxIndex);
    case 0: return ClampIndex(m_n * level / m_top, m_maxIndex);
    case 2:
        if (m_span <= 0.0)
            return -1;
        if (!(level > 0.0))
            return 0;
        return ClampIndex(m_n * (scale_detail::Db(level) - m_lb) / m_span, m_maxIndex);
    default: return -1;
    }
}

inline bool LevelScaler::Scale(const double* levels, int* out, std::size_t count) const
{
    if (count == 0)
        return true;
    if (Direct(levels[0]) < 0)
        return false; // no span: no level has an index
    if (m_type == 1 || m_type == 0) {
        scale_detail::ScaleLine(levels, out, count, m_n, m_top, m_range, m_type == 1, m_maxIndex);
    } else {
        for (std::size_t i = 0; i < count; ++i)
            out[i] = (*this)(levels[i]);
    }
    return true;
}

inline int LevelScaler::operator()(double level) const
{
    if (m_least.empty() || !(level > 0.0))
        return Direct(level);
    return static_cast<int>(std::upper_bound(m_least.begin(), m_least.end(), level) - m_least.begin());
}

} // namespace history
