#include "dsp/SegmentAnalysis.h"

#include "dsp/ChannelCalibration.h"
#include "dsp/TFft.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

SegmentAveragePlan PlanSegmentAverage(std::int64_t frames, std::int64_t blockFrames, std::int64_t hopFrames)
{
    SegmentAveragePlan plan;
    if (frames <= 0 || blockFrames <= 0)
        return plan;
    if (hopFrames <= 0)
        hopFrames = blockFrames; // a hop of nothing would never end
    if (frames < blockFrames) {
        plan.blocks = 0;
        plan.remainder = frames;
    } else {
        plan.blocks = (frames - blockFrames) / hopFrames + 1;
        plan.remainder = frames - plan.blocks * hopFrames;
    }
    plan.finalBlock = plan.remainder >= 1 && plan.remainder <= blockFrames;
    return plan;
}

std::int64_t CentredBlockStart(std::int64_t startFrame, std::int64_t frames, std::int64_t blockFrames)
{
    const std::int64_t centre = startFrame + frames / 2;
    return std::max<std::int64_t>(centre - blockFrames / 2, 0);
}

std::vector<float> ZeroPaddedFrame(std::span<const float> samples, std::size_t n)
{
    std::vector<float> frame(n, 0.0f);
    const std::size_t r = std::min(samples.size(), n);
    const std::size_t pad = n - r;
    // pad / 2 zeros first; an odd pad leaves its extra zero at the end.
    std::copy_n(samples.begin(), r, frame.begin() + static_cast<std::ptrdiff_t>(pad / 2));
    return frame;
}

bool HilbertEnvelope(std::span<double> samples)
{
    const std::size_t count = samples.size();
    if (count == 0)
        return true;
    std::size_t n = 32;
    while (n < count)
        n *= 2;
    std::vector<float> z;
    try {
        z.assign(2 * n, 0.0f);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i)
        z[2 * i] = static_cast<float>(samples[i]);
    if (!TFft::ComplexTransform(z.data(), static_cast<int>(n), +1))
        return false;
    // Hilbert transform in the frequency domain: positive frequencies turned by -90 degrees,
    // negative ones by +90; DC and Nyquist have no quadrature part.
    for (std::size_t k = 0; k < n; ++k) {
        const float re = z[2 * k];
        const float im = z[2 * k + 1];
        if (k == 0 || k == n / 2) {
            z[2 * k] = z[2 * k + 1] = 0.0f;
        } else if (k < n / 2) {
            z[2 * k] = im; // (re + i im) * -i
            z[2 * k + 1] = -re;
        } else {
            z[2 * k] = -im; // (re + i im) * i
            z[2 * k + 1] = re;
        }
    }
    if (!TFft::ComplexTransform(z.data(), static_cast<int>(n), -1))
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        const double x = samples[i];
        const double h = z[2 * i];
        samples[i] = std::sqrt(x * x + h * h);
    }
    return true;
}

bool SegmentHilbertEnvelope(std::span<double> samples, const SegmentProgress& hooks)
{
    const std::size_t m = samples.size();
    const std::size_t pieces = m / kHilbertPiece;
    bool cancelled = false;
    for (std::size_t p = 0; p < pieces; ++p) {
        hooks.Report(static_cast<int>(p * 100 / pieces));
        if (!HilbertEnvelope(samples.subspan(p * kHilbertPiece, kHilbertPiece)))
            return false;
        if (hooks.Cancelled()) {
            cancelled = true;
            break;
        }
    }
    // The rest after the whole pieces, counted from all of them also after a cancel, as the
    // last piece; only the samples that exist are transformed.
    const std::size_t rest = m - pieces * kHilbertPiece;
    if (rest > 0 && !HilbertEnvelope(samples.subspan(m - rest, rest)))
        return false;
    return !cancelled;
}

bool BackwardIntegrate(std::span<double> samples, double fullScale)
{
    double total = 0.0;
    for (double x : samples)
        total += std::fabs(x);
    if (!(total > 0.0))
        return false;
    const double scale = fullScale / total;
    double run = 0.0;
    for (std::size_t i = samples.size(); i-- > 0;) {
        run += std::fabs(samples[i]);
        samples[i] = run * scale;
    }
    return true;
}

double RmsFromMeanSquare(double meanSquare)
{
    return meanSquare > 0.0 ? std::sqrt(meanSquare) : 0.0;
}

CrestFactor ComputeCrestFactor(double maximum, double minimum, double rms)
{
    CrestFactor c;
    const double peak = std::max(std::fabs(maximum), std::fabs(minimum));
    if (rms > 0.0) {
        c.crest = peak / rms;
        if (c.crest > 0.0)
            c.db = 20.0 * std::log10(c.crest);
    }
    return c;
}

void SegmentLevelLabels(const ChannelCalibration& cal, std::string& linear, std::string& log)
{
    if (cal.IsEnabled == 0) {
        linear = "Percent Full Scale";
        log = "dBFS";
        return;
    }
    switch (cal.RefUnits) {
    case 0:
        linear = "Volts";
        log = "dBV";
        break;
    case 1:
        linear = "Millivolts";
        log = "dBmV";
        break;
    case 3:
        linear = "Acceleration (G)";
        log = "Acceleration (G dB)";
        break;
    default: {
        char l[sizeof cal.LabelLinear + 1] = {};
        char g[sizeof cal.LabelLog + 1] = {};
        std::memcpy(l, cal.LabelLinear, sizeof cal.LabelLinear);
        std::memcpy(g, cal.LabelLog, sizeof cal.LabelLog);
        linear = l;
        log = g;
        break;
    }
    }
}

std::string FormatRmsLevelMessage(double rms, double db, const std::string& linear, const std::string& log)
{
    char text[256];
    std::snprintf(text, sizeof text, "RMS Level:\r%6.4f\t%s\r%6.2f\t%s", rms, linear.c_str(), db, log.c_str());
    return text;
}

std::string FormatCrestFactorMessage(const CrestFactor& c)
{
    char text[128];
    std::snprintf(text, sizeof text, "Crest Factor = %6.2f   (%6.2f dB)", c.crest, c.db);
    return text;
}

std::string FormatQualityFactorMessage(double peakHz, double bandwidthHz, double q)
{
    char text[192];
    std::snprintf(text, sizeof text, "Peak Frequency = %6.3f Hz\rBandwidth (-3dB) = %6.3f Hz\rQuality Factor = %6.3f",
                  peakHz, bandwidthHz, q);
    return text;
}
