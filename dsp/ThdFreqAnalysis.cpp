#include "dsp/ThdFreqAnalysis.h"

#include "dsp/SegmentSamples.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"
#include "wave/TWaveData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr WORD kHanning = 6;

std::string PrintfInt(const char* pattern, int value)
{
    char text[512];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// Triangular dither within +-1 sample step.
double Dither()
{
    constexpr double kMax = RAND_MAX;
    return (std::rand() / kMax - 0.5) + (std::rand() / kMax - 0.5);
}

// A private spectrum engine over one channel: N samples per block, Hanning window, the test's
// weighting, averaging every block until the spectra are cleared.
struct StepEngine {
    ChannelProcessingSettings processing;
    ChannelScalingSettings scaling;
    std::unique_ptr<SpectralData> engine;
    std::unique_ptr<TSmoothing> window;
    std::vector<double> values;

    StepEngine(const TPcmFormat& format, UINT n, UINT overlap, WORD weighting, bool accumulate)
    {
        processing.SampleFormat = format;
        processing.SampleFormat.Set(format.SampleRate, 1, format.BytesPerSample);
        processing.FFTsize = n;
        processing.DecimationRatio = 1;
        processing.ApplyLowPassFilter = 0;
        processing.AverageBlocks = 1;
        processing.AverageType = 0;
        processing.AverageMode = 0;
        processing.AverageSpeed = 4;
        processing.SmoothingWindow = kHanning;
        processing.OverlapPercent = static_cast<WORD>(overlap);
        scaling.AmpScaleType = 1;
        scaling.FreqScaleType = 0;
        scaling.OctaveNumber = 3;
        scaling.StandardWeighting = weighting;
        scaling.TotalPowerWeighting = weighting;
        engine.reset(new (std::nothrow) SpectralData(&processing, &scaling, false));
        window.reset(new (std::nothrow) TSmoothing(n, kHanning, TSmoothing::kAmplitudeCorrection));
        if (engine && accumulate)
            engine->SetAveraging(4, 1000000);
        try {
            values.resize(n);
        } catch (const std::bad_alloc&) {
            values.clear();
        }
    }

    bool Ok() const
    {
        return engine && !engine->HasError() && engine->GetFrame() && window && !window->HasError() &&
               !values.empty();
    }

    // One block of channel `channel` from `frame`; returns the block's peak level in percent
    // on the logarithmic scale of the sample buffers (100 at full scale).
    int Process(TWaveData& wave, DWORD frame, int channel)
    {
        (void)ReadSegmentSamples(wave, frame, channel, values);
        float* out = engine->GetFrame();
        double peak = 0.0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            out[i] = static_cast<float>(values[i]);
            peak = std::max(peak, std::fabs(values[i]));
        }
        window->Apply(out);
        engine->ComputeSpectrum();
        engine->Average(false);
        const TPcmFormat f = wave.GetFormat();
        const double full = static_cast<double>(f.MaxValue) - f.ZeroValue;
        if (peak < 1.0)
            peak = 1.0;
        if (peak >= full - 1 || full <= 1)
            return 100;
        return static_cast<int>(100.0 * std::log10(peak) / std::log10(full));
    }
};

// The point of a step from its averaged spectrum: the measured peak and its THD+N, when the
// tone is there to measure near the step's frequency.
std::optional<ThdPoint> StepPoint(const SpectralData& e, double nominal)
{
    const std::optional<float> thdN = e.ComputeThdN();
    const double peak = e.GetPeakFrequency();
    const double tolerance = 3.0 * e.GetBinWidth() + 0.02 * nominal;
    if (!thdN || std::fabs(peak - nominal) > tolerance)
        return std::nullopt;
    return ThdPoint{static_cast<float>(peak), *thdN};
}

} // namespace

ThdFreqAnalysis::ThdFreqAnalysis(ThdFreqSettings* settings) : settings_(settings) {}

ThdFreqAnalysis::~ThdFreqAnalysis() = default;

int ThdFreqAnalysis::StepCount(ThdFreqSettings& s, int& firstIndex)
{
    const double lo = std::min(s.StartFrequency, s.StopFrequency);
    const double hi = std::max(s.StartFrequency, s.StopFrequency);
    firstIndex = -1;
    if (s.StepType == 1) {
        if (!(s.LinearStep > 0.0f))
            s.LinearStep = 1.0f;
        const int n = static_cast<int>((hi - lo) / s.LinearStep + 1);
        return std::max(n, 1);
    }
    if (s.StepType == 2) {
        if (s.OctaveFraction < 1)
            s.OctaveFraction = 1;
        const double fraction = s.OctaveFraction;
        int kLo = -1, kHi = -1;
        for (int k = 1; k < 100000; ++k) {
            const double edge = std::pow(10.0, 3.0 * k / (10.0 * fraction)) * std::pow(0.5, 0.5 / fraction);
            if (edge > hi)
                break;
            if (edge <= lo)
                kLo = k;
            kHi = k;
        }
        firstIndex = s.StopFrequency < s.StartFrequency ? kHi : kLo;
        return std::max(kHi - kLo + 1, 1);
    }
    return 1;
}

std::vector<double> ThdFreqAnalysis::StepFrequencies(ThdFreqSettings& s)
{
    int k0 = -1;
    const int n = StepCount(s, k0);
    const bool down = s.StopFrequency < s.StartFrequency;
    std::vector<double> f(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        if (s.StepType == 2) {
            const int m = down ? k0 - i : k0 + i;
            f[static_cast<std::size_t>(i)] = std::pow(10.0, 3.0 * m / (10.0 * s.OctaveFraction));
        } else {
            const double step = s.StepType == 1 ? s.LinearStep : 0.0;
            f[static_cast<std::size_t>(i)] = down ? s.StartFrequency - i * step : s.StartFrequency + i * step;
        }
    }
    return f;
}

double ThdFreqAnalysis::OutputAmplitude(float level, int unit, float fullScale)
{
    const double L = level, FS = fullScale;
    double a = 1.0;
    switch (unit) {
    case 0: a = std::pow(10.0, L / 20.0); break;
    case 1: a = L / 100.0; break;
    case 2: a = L / FS / 0.707106; break;
    case 3: a = L / 1000.0 / FS / 0.707106; break;
    case 4: a = std::pow(10.0, L / 20.0) / FS / 0.707106; break;
    case 5: a = std::pow(10.0, L / 20.0) / 1000.0 / FS / 0.707106; break;
    case 6: a = std::pow(10.0, L / 20.0) / FS / 0.707106 * 0.775; break;
    default: a = 1.0; break;
    }
    // A level of nothing plays silence rather than full scale; above full scale (also a level
    // over a full scale of 0 V) is full scale.
    if (!(a > 0.0))
        a = 0.0;
    else if (a > 1.0)
        a = 1.0;
    return a;
}

namespace {

constexpr UINT kOverlap = 94;
// Blocks in one step at the lowest sound-card rate (22050 Hz, 16384 points).
constexpr long long kMinStepBlocks = 3;
constexpr UINT kMinStepFft = 256;

struct StepPlan {
    long long frames; // S: frames per step
    long long guard;  // g
    long long hop;    // h
    long long blocks; // nb
};

StepPlan PlanSteps(double rate, double seconds, UINT n)
{
    StepPlan p;
    p.frames = static_cast<long long>(rate * seconds);
    p.guard = p.frames / 25;
    p.hop = static_cast<long long>(n * (1.0 - kOverlap / 100.0));
    p.blocks = p.hop > 0 ? (p.frames - p.guard - static_cast<long long>(n) - p.guard) / p.hop : 0;
    return p;
}

// Seconds a step lasts for a start frequency (a low start holds every step twice as long).
double StepSeconds(float start)
{
    return start < 19.0f ? 2.0 : 1.0;
}

} // namespace

UINT ThdFreqAnalysis::StepFftSize(DWORD r, float start)
{
    const bool low = start < 19.0f;
    UINT n;
    if (r < 44100)
        n = 16384;
    else if (r <= 48000)
        n = low ? 32768 : 16384;
    else if (r <= 88000)
        n = low ? 65536 : 32768;
    else
        n = low ? 131072 : 65536;
    while (n >= kMinStepFft && PlanSteps(r, StepSeconds(start), n).blocks < kMinStepBlocks)
        n /= 2;
    return n >= kMinStepFft ? n : 0;
}

bool ThdFreqAnalysis::CheckInputRate(DWORD rate, float start)
{
    if (StepFftSize(rate, start) != 0)
        return true;
    AfxMessageBox(PrintfInt("The input sampling rate of %d Hz is too low for this test: a step is shorter than one "
                            "analysis block.  Please increase the analyzer input sampling rate.",
                            static_cast<int>(rate)),
                  MB_OK | MB_ICONHAND);
    return false;
}

bool ThdFreqAnalysis::BuildStimulus(DWORD rate, WORD channels, WORD bytes, double a0, double a1)
{
    if (cancel)
        return false;
    ThdFreqSettings& s = *settings_;
    if (rate < 22050) {
        AfxMessageBox(PrintfInt("The output device sampling rate must be 22050 or greater.  The currently selected "
                                "sampling rate is %d Hz.",
                                static_cast<int>(rate)),
                      MB_OK | MB_ICONHAND);
        cancel = 1;
        return false;
    }
    const int half = static_cast<int>(rate / 2);
    if (s.StopFrequency > static_cast<float>(half)) {
        AfxMessageBox(PrintfInt("The Stop Frequency must be less than %d Hz (one half of the sampling rate).  Either "
                                "increase the analyzer sampling rate \r or lower the stop frequency (click the options "
                                "button on the right).",
                                half),
                      MB_OK | MB_ICONHAND);
        cancel = 1;
        return false;
    }
    s.StepDuration = s.StartFrequency < 19.0f ? 2000 : 1000;
    outputFormat.Set(rate, channels, bytes);
    burst = static_cast<float>(4505.6 / rate);
    int k0 = -1;
    const int n = StepCount(s, k0);
    const double total = leadIn + burst + gap + n * s.StepDuration / 1000.0;
    stimulus.reset();
    auto wave = std::unique_ptr<TWaveData>(new (std::nothrow)
                                               TWaveData(static_cast<DWORD>(rate * total), outputFormat));
    if (!wave || wave->IsError()) {
        cancel = 1;
        return false;
    }
    const double zero = outputFormat.ZeroValue, max = outputFormat.MaxValue;
    const DWORD first = wave->SecondsToFrames(leadIn);
    const DWORD last = first + wave->SecondsToFrames(burst);
    bool ok = true;
    for (DWORD f = first; f <= last && f < wave->GetLength(); ++f) {
        const double j = f - first;
        const double v = zero + (max - zero) * a0 * std::sin(2 * kPi * 1000.0 * j / rate);
        ok = wave->SetSample(static_cast<std::int32_t>(v), f, 0) && ok;
    }
    if (!ok) {
        cancel = 1;
        return false;
    }
    stimulus = std::move(wave);
    WriteSteppedSine(*stimulus, stimulus->SecondsToFrames(leadIn + burst + gap), a0, a1);
    return !cancel;
}

void ThdFreqAnalysis::WriteSteppedSine(TWaveData& wave, DWORD firstFrame, double a0, double a1)
{
    const TPcmFormat fmt = wave.GetFormat();
    const double R = fmt.SampleRate;
    const long long P = static_cast<long long>(settings_->StepDuration * R / 1000.0);
    const std::vector<double> freq = StepFrequencies(*settings_);
    const long long n = static_cast<long long>(freq.size());
    const long long total = n * P;
    const double zero = fmt.ZeroValue, max = fmt.MaxValue;
    long long s = 0, p = 0;
    for (long long j = 0; j < total && !cancel; ++j) {
        const DWORD frame = static_cast<DWORD>(firstFrame + j);
        if (frame >= wave.GetLength())
            break;
        if (j % 10000 == 0)
            Progress(static_cast<int>(j * 100 / total), "Building Signal...");
        const double phase = (p + 1) * 2 * kPi * freq[static_cast<std::size_t>(s)] / R;
        const double v0 = zero + 0.99 * a0 * (max - zero) * std::sin(phase) + Dither();
        if (!wave.SetSample(static_cast<std::int32_t>(v0 + 0.5), frame, 0))
            cancel = 1;
        if (fmt.Channels == 2) {
            const double v1 = zero + 0.99 * a1 * (max - zero) * std::sin(phase) + Dither();
            if (!wave.SetSample(static_cast<std::int32_t>(v1 + 0.5), frame, 1))
                cancel = 1;
        }
        if (++p > P) {
            p = 0;
            s = std::min(s + 1, n - 1);
        }
    }
}

void ThdFreqAnalysis::FindSyncTone()
{
    syncTime = leadIn;
    if (cancel || !capture)
        return;
    const TPcmFormat fmt = capture->GetFormat();
    // Blocks of 4096 at sound-card rates; a slower input takes blocks of about as many
    // seconds (never past the 0.1 s burst), or one block would span the whole lead-in.
    DWORD size = 4096;
    while (size > 256 && size > fmt.SampleRate * 4096.0 / 44100.0)
        size /= 2;
    StepEngine e(fmt, size, 0, settings_->Weighting, false);
    if (!e.Ok())
        return;
    const DWORD span = capture->SecondsToFrames(leadIn + burst + 1.5f * gap);
    const DWORD blocks = span / size;
    float best = -999.0f;
    for (DWORD b = 0; b < blocks && !cancel; ++b) {
        (void)e.Process(*capture, b * size, 0);
        const float snr = e.engine->ComputeSnr().value_or(-999.0f);
        const float f = e.engine->GetPeakFrequency();
        if (f > 900.0f && f < 1100.0f && snr > best) {
            best = snr;
            syncTime = static_cast<float>(capture->FramesToSeconds(b * size + size * 3 / 4));
        }
        if (b % 10 == 0)
            Progress(static_cast<int>(b * 100 / blocks), "Synchronizing...");
    }
    if (std::fabs(syncTime - leadIn) > 0.5f)
        syncTime = leadIn;
}

void ThdFreqAnalysis::FreePoints()
{
    pointsA.clear();
    pointsB.clear();
}

void ThdFreqAnalysis::ComputeThdNPoints()
{
    if (cancel || !capture)
        return;
    const TPcmFormat fmt = capture->GetFormat();
    const DWORD r = fmt.SampleRate;
    const int channels = std::min<int>(fmt.Channels, 2);
    const UINT N = StepFftSize(r, settings_->StartFrequency);
    if (N == 0) {
        FreePoints();
        (void)CheckInputRate(r, settings_->StartFrequency);
        cancel = 1;
        return;
    }
    StepEngine a(fmt, N, kOverlap, settings_->Weighting, true);
    std::unique_ptr<StepEngine> b;
    if (channels == 2)
        b = std::make_unique<StepEngine>(fmt, N, kOverlap, settings_->Weighting, true);
    FreePoints();
    const std::vector<double> nominal = StepFrequencies(*settings_);
    const int n = static_cast<int>(nominal.size());
    if (!a.Ok() || (b && !b->Ok())) {
        AfxMessageBox("THD+N vs Freq Plot - Insufficient memory available", MB_OK);
        return;
    }
    try {
        pointsA.reserve(static_cast<std::size_t>(n));
        if (b)
            pointsB.reserve(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
        FreePoints();
        AfxMessageBox("THD+N vs Freq Plot - Insufficient memory available", MB_OK);
        return;
    }
    const StepPlan plan = PlanSteps(r, settings_->StepDuration / 1000.0, N);
    const long long S = plan.frames, g = plan.guard, h = plan.hop, nb = plan.blocks;
    long long start = g + static_cast<long long>(r * (syncTime + gap + burst / 2));
    for (int k = 0; k < n; ++k) {
        a.engine->ClearSpectra();
        if (b)
            b->engine->ClearSpectra();
        for (long long j = 0; j < nb; ++j) {
            const DWORD at = static_cast<DWORD>(start + j * h);
            const int pa = a.Process(*capture, at, 0);
            const int pb = b ? b->Process(*capture, at, 1) : 0;
            for (int p : {pa, pb}) {
                if (p >= 100) {
                    clipped = 1;
                    tooLow = 0;
                }
                if (p >= 60)
                    tooLow = 0;
            }
        }
        // A step whose tone can't be measured on channel A (none above the noise, or beyond
        // the band) gives no point; channel B keeps the step in line with A.
        const double f = nominal[static_cast<std::size_t>(k)];
        if (const auto pa = StepPoint(*a.engine, f)) {
            pointsA.push_back(*pa);
            if (b)
                pointsB.push_back(StepPoint(*b->engine, f).value_or(ThdPoint{static_cast<float>(f), 0.0f}));
        }
        start += S;
        Progress(k * 100 / n, "Computing Distortion Values...");
        if (cancel) {
            Progress(0, "Cancelling...");
            return;
        }
    }
    Progress(100, "");
    // Nothing measurable at any step: the signal never reached the input.
    if (pointsA.empty())
        tooLow = 1;
}
