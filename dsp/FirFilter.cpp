#include "dsp/FirFilter.h"

#include "dsp/SegmentSamples.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"
#include "wave/TWaveData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

namespace {

constexpr float kPi = 3.141592654f;

} // namespace

TFilter::TFilter(TPcmFormat format, FilterSettings settings)
{
    format_.Set(format.SampleRate, format.Channels, format.BytesPerSample);
    settings_ = settings;
    SetGain(settings_.FilterGain);
    int n = settings_.NumTaps;
    n = std::clamp(n, MinTaps, MaxTaps);
    if (n % 2 == 0)
        ++n; // odd, so the filter has a centre tap and a whole-sample delay
    taps_ = n;
    coefficients_.assign(static_cast<std::size_t>(n), 0.0f);
    history_.assign(static_cast<std::size_t>(n - 1), 0.0);
    error_ = !Design();
    ClearHistory();
}

void TFilter::SetGain(float dB)
{
    if (std::isnan(dB))
        dB = 0.0f;
    dB = std::clamp(dB, -90.0f, 90.0f);
    gainDb_ = dB;
    linearGain_ = static_cast<float>(std::pow(10.0, dB / 20.0));
}

bool TFilter::Design()
{
    if (taps_ <= 0 || coefficients_.size() != static_cast<std::size_t>(taps_))
        return false;
    if (settings_.FilterType == FILTER_CUSTOM)
        return DesignFromResponseFile();
    return DesignWindowedSinc();
}

// Each kind is the sum of two cosine-modulated ideal low-pass prototypes (modulation w,
// half-width B, both in radians per sample), Hanning-windowed.
bool TFilter::DesignWindowedSinc()
{
    const double h = format_.SampleRate / 2.0;
    const float pi = kPi;
    double lower = 0.0; // band edges, for the check below
    double upper = 0.0;
    float w1 = 0, b1 = 0, w2 = 0, b2 = 0;
    switch (settings_.FilterType) {
    case FILTER_LOWPASS:
        lower = upper = settings_.LowPassCutoff;
        w1 = 0;
        b1 = static_cast<float>(pi * settings_.LowPassCutoff / h);
        w2 = pi;
        b2 = 0;
        break;
    case FILTER_HIGHPASS:
        lower = upper = settings_.HighPassCutoff;
        w1 = pi;
        b1 = 0;
        w2 = pi;
        b2 = static_cast<float>(pi * (h - settings_.HighPassCutoff) / h);
        break;
    case FILTER_BANDPASS:
        lower = settings_.BandPassCenter - settings_.BandPassWidth / 2.0;
        upper = settings_.BandPassCenter + settings_.BandPassWidth / 2.0;
        w1 = static_cast<float>(pi * settings_.BandPassCenter / h);
        b1 = static_cast<float>(pi * (settings_.BandPassWidth / 2.0) / h);
        w2 = w1;
        b2 = b1;
        break;
    case FILTER_NOTCH:
        lower = settings_.NotchCenter - settings_.NotchWidth / 2.0;
        upper = settings_.NotchCenter + settings_.NotchWidth / 2.0;
        w1 = 0;
        b1 = static_cast<float>(pi * lower / h);
        w2 = pi;
        b2 = static_cast<float>(pi * (h - upper) / h);
        break;
    default:
        return false;
    }
    // An edge outside 0..h would give a negative half-width, a filter of a different kind
    // than the one asked for; refuse it rather than ruin the segment.
    if (lower < 0.0 || upper > h || lower > upper) {
        char text[160];
        std::snprintf(text, sizeof text, "Filter band edges must be between %ld and %ld Hz",
                      0L, static_cast<long>(format_.SampleRate / 2));
        AfxMessageBox(text, MB_OK | MB_ICONERROR);
        std::fill(coefficients_.begin(), coefficients_.end(), 0.0f);
        return false;
    }

    const int n = taps_;
    const int c = (n - 1) / 2;
    std::vector<double> p1(static_cast<std::size_t>(n), 0.0);
    std::vector<double> p2(static_cast<std::size_t>(n), 0.0);
    p1[c] = b1 / pi;
    p2[c] = b2 / pi;
    for (int i = c + 1; i < n; ++i) {
        const int k = i - c;
        const float kb1 = static_cast<float>(k) * b1;
        const float kw1 = static_cast<float>(k) * w1;
        const float kb2 = static_cast<float>(k) * b2;
        const float kw2 = static_cast<float>(k) * w2;
        p1[i] = std::sin(kb1) * std::cos(kw1) / (k * static_cast<double>(pi));
        p2[i] = std::sin(kb2) * std::cos(kw2) / (k * static_cast<double>(pi));
        p1[n - 1 - i] = p1[i];
        p2[n - 1 - i] = p2[i];
    }
    const TSmoothing hanning(static_cast<UINT>(n), TSmoothing::kHanning, TSmoothing::kNoCorrection);
    const float* window = hanning.GetTable();
    if (window == nullptr)
        return false;
    for (int i = 0; i < n; ++i)
        coefficients_[i] = static_cast<float>(p1[i] * window[i] + p2[i] * window[i]);
    return true;
}

void TFilter::ClearHistory()
{
    std::fill(history_.begin(), history_.end(), 0.0);
    stretchStart_ = -1;
    nextFrame_ = -1;
}

// out[j] = sum over k of coefficient[k] * x[j + k], x being the n - 1 held inputs followed by
// this call's inputs; with symmetric taps that is the output centred on input j - (n-1)/2.
void TFilter::Process(std::span<const double> in, std::span<double> out)
{
    const std::size_t held = history_.size();
    const std::size_t count = std::min(in.size(), out.size());
    work_.resize(held + count);
    std::copy(history_.begin(), history_.end(), work_.begin());
    for (std::size_t j = 0; j < count; ++j)
        work_[held + j] = in[j] * linearGain_;
    const std::size_t n = coefficients_.size();
    for (std::size_t j = 0; j < count; ++j) {
        double acc = 0.0;
        const double* x = work_.data() + j;
        for (std::size_t k = 0; k < n; ++k)
            acc += x[k] * coefficients_[k];
        out[j] = acc;
    }
    std::copy(work_.end() - static_cast<std::ptrdiff_t>(held), work_.end(), history_.begin());
}

void TFilter::Flush(std::span<double> out)
{
    const std::size_t c = history_.size() / 2;
    std::vector<double> silence(c, 0.0);
    std::vector<double> tail(c, 0.0);
    Process(silence, tail);
    std::copy_n(tail.begin(), std::min(out.size(), c), out.begin());
    std::fill(history_.begin(), history_.end(), 0.0);
}


bool TFilter::ApplyBlock(TWaveData* wave, std::uint32_t startFrame, std::int32_t count)
{
    if (error_ || taps_ <= 0 || coefficients_.empty() || wave == nullptr || count <= 0)
        return false;
    if (stretchStart_ >= 0 && static_cast<std::int64_t>(startFrame) != nextFrame_)
        Finish(wave); // a block was skipped: end that stream before starting another

    std::vector<double> in, out;
    try {
        in.resize(static_cast<std::size_t>(count));
        out.resize(static_cast<std::size_t>(count));
        work_.reserve(history_.size() + in.size());
    } catch (const std::bad_alloc&) {
        return false; // the block stays as it is
    }
    if (!ReadSegmentSamples(*wave, startFrame, 0, in))
        return false;
    if (stretchStart_ < 0) {
        std::fill(history_.begin(), history_.end(), 0.0); // silence before the stretch
        stretchStart_ = startFrame;
    }
    Process(in, out);
    nextFrame_ = static_cast<std::int64_t>(startFrame) + count;
    const std::int64_t delay = static_cast<std::int64_t>(history_.size() / 2);
    return WriteOutputs(wave, static_cast<std::int64_t>(startFrame) - delay, out);
}

bool TFilter::Finish(TWaveData* wave)
{
    if (stretchStart_ < 0 || wave == nullptr)
        return false;
    const std::size_t delay = history_.size() / 2;
    std::vector<double> tail(delay);
    Flush(tail);
    const bool ok = WriteOutputs(wave, nextFrame_ - static_cast<std::int64_t>(delay), tail);
    stretchStart_ = -1;
    nextFrame_ = -1;
    return ok;
}

// Writes outputs that belong to frames firstFrame.. of channel 0, leaving out those before
// the stretch (they belong to the silence assumed before it). Clipped to the sample range.
bool TFilter::WriteOutputs(TWaveData* wave, std::int64_t firstFrame, std::span<const double> out)
{
    std::size_t skip = 0;
    if (firstFrame < stretchStart_)
        skip = static_cast<std::size_t>(
            std::min<std::int64_t>(stretchStart_ - firstFrame, static_cast<std::int64_t>(out.size())));
    if (skip == out.size())
        return true;
    return WriteSegmentSamples(*wave, static_cast<DWORD>(firstFrame + static_cast<std::int64_t>(skip)), 0,
                               out.subspan(skip));
}
