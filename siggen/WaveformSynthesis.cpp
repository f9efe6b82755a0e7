#include "siggen/WaveformSynthesis.h"

#include "dsp/DtmfDetector.h"
#include "platform/core/Rand.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr double kTwoPi = 6.283185308;
constexpr double kHeadroom = 0.999;

// The one-channel view of the wave's format that every routine reads its limits from.
struct Limits {
    double rate;
    std::int32_t max, min, zero;
    WORD bytes;
};

Limits LimitsOf(const TWaveData* wave)
{
    const TPcmFormat f(wave->GetSampleRate(), 1, wave->GetBytesPerSample());
    return {static_cast<double>(f.SampleRate), f.MaxValue, f.MinValue, f.ZeroValue, f.BytesPerSample};
}

// Frames of a time in ms; the product is taken in floating point so long times cannot wrap.
std::int64_t MsFrames(double ms, double rate) { return static_cast<std::int64_t>(ms * rate / 1000.0); }
std::int64_t UsFrames(double us, double rate) { return static_cast<std::int64_t>(us * rate / 1000000.0); }

// The shared frame loop: abort checks around the progress step, then one value stored per frame.
template <class Value>
void FrameLoop(TWaveData* wave, WORD channel, const SynthesisContext& ctx, Value value)
{
    const DWORD n = wave->GetLength();
    if (n == 0)
        return;
    const TPcmFormat f(wave->GetSampleRate(), 1, wave->GetBytesPerSample());
    for (DWORD i = 0; i < n; ++i) {
        if (ctx.Aborted())
            return;
        if (i % 1000 == 0 && ctx.progress)
            ctx.progress(static_cast<int>(static_cast<std::uint64_t>(i) * 100 / n));
        if (ctx.Aborted())
            return;
        std::int32_t v = value(i);
        if (f.BytesPerSample == 3)
            v = static_cast<std::int32_t>(f.To24Bit(v));
        // Every frame is inside the wave and every value fits its width; a refusal means the
        // wave has no sample block, and nothing more can be written.
        if (!wave->SetSample(v, i, channel))
            return;
    }
}

// The dithered rule: the waveform value s (-1..1) at amplitude A, dither added in single
// precision, rounded half up and truncated toward zero.
std::int32_t Dithered(const Limits& l, double amplitude, double s)
{
    float x = static_cast<float>(l.zero + amplitude * kHeadroom * static_cast<double>(l.max - l.zero) * s);
    const float d = WhiteNoiseSample();
    x = x + d;
    return static_cast<std::int32_t>(static_cast<double>(x) + 0.5);
}

// As Dithered, from an offset already computed in single precision.
std::int32_t DitherValue(float x)
{
    const float d = WhiteNoiseSample();
    x = x + d;
    return static_cast<std::int32_t>(static_cast<double>(x) + 0.5);
}

// The sine of frequency f at counter k: the first frame already carries one step of phase.
double SineAt(double k, double f, double rate) { return std::sin((k + 1.0) * kTwoPi * f / rate); }

// The undithered rule of the shaped waveforms.
std::int32_t Shaped(double r, double amplitude)
{
    return static_cast<std::int32_t>(std::trunc(std::trunc(r) * amplitude));
}

// White noise peaks at half of full scale. On 8-bit output the value is offset by the silence
// value, which is where every other 8-bit waveform is centred (stored bytes are unsigned).
std::int32_t WhiteNoiseValue(const Limits& l, double amplitude)
{
    const int r = CrtRand();
    const double v = 0.5 * amplitude * static_cast<double>(2 * r - 32768) * l.max / 32768.0;
    return static_cast<std::int32_t>(v) + (l.bytes == 1 ? l.zero : 0);
}

struct PinkCursor {
    std::span<const std::int16_t> samples;
    DWORD loop;
    DWORD j = 0;

    std::int32_t Next(const Limits& l, double amplitude)
    {
        const double v = static_cast<double>(samples[j]) * amplitude * l.max / 32768.0;
        if (++j >= loop)
            j = 0;
        return static_cast<std::int32_t>(v) + (l.bytes == 1 ? l.zero : 0);
    }
};

// After one pass of S frames is written, it is copied on until the wave is full (the last copy
// cut short); a wave shorter than two passes keeps the rest silent.
void RepeatPass(TWaveData* wave, WORD channel, std::int64_t pass, const SynthesisContext& ctx)
{
    const std::int64_t n = wave->GetLength();
    if (pass < 1 || pass >= n || n / pass <= 1)
        return;
    for (std::int64_t i = pass; i < n; ++i) {
        if (ctx.Aborted())
            return;
        const double v = wave->GetSample(static_cast<DWORD>(i % pass), channel, false);
        if (!wave->SetSample(static_cast<std::int32_t>(v), static_cast<DWORD>(i), channel))
            return;
    }
}

// A frame index of a pass stored directly (sweep and step passes write out of order).
// (SetSample packs 3-byte values as 24-bit two's complement itself.)
// A frame past the wave (a pass longer than a single-shot wave) is passed over.
bool StoreAt(TWaveData* wave, WORD channel, std::int64_t frame, std::int32_t v)
{
    if (frame < 0 || frame >= static_cast<std::int64_t>(wave->GetLength()))
        return true;
    return wave->SetSample(v, static_cast<DWORD>(frame), channel);
}

bool Progress(const SynthesisContext& ctx, std::int64_t i, std::int64_t n)
{
    if (ctx.Aborted())
        return false;
    if (i % 1000 == 0 && ctx.progress && n > 0)
        ctx.progress(static_cast<int>(i * 100 / n));
    return !ctx.Aborted();
}

void NoiseBurst(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a, const SynthesisContext& ctx,
                bool pink)
{
    const Limits l = LimitsOf(wave);
    const std::int64_t p = MsFrames(s.NoiseBurst.CycleMsec, l.rate);
    const std::int64_t b = MsFrames(s.NoiseBurst.BurstMsec, l.rate);
    PinkCursor cursor{ctx.pink, PinkLoopLength(ctx.pink.size())};
    std::int64_t k = 0;
    FrameLoop(wave, c, ctx, [&](DWORD) {
        std::int32_t v = pink ? cursor.Next(l, a) : WhiteNoiseValue(l, a);
        if (k < p - b)
            v = l.zero;
        if (++k >= p)
            k = 0;
        return v;
    });
}

} // namespace

float WhiteNoiseSample()
{
    const float a = static_cast<float>(CrtRand() / 32767.0);
    const float b = static_cast<float>(CrtRand() / 32767.0);
    return static_cast<float>((a - 0.5) + (b - 0.5));
}

std::string UserWaveFailureText(const std::string& path)
{
    if (path.empty())
        return "Generator - No wave file was chosen for the User Defined signal.";
    return "Generator - Failure opening file: " + path;
}

DWORD PinkLoopLength(std::size_t recordingSamples)
{
    if (recordingSamples <= 21)
        return recordingSamples > 0 ? 1 : 0;
    DWORD loop = static_cast<DWORD>(recordingSamples - 20);
    if (loop % 2 != 0)
        --loop;
    return loop;
}

double OctaveBandCentre(int band, int fraction)
{
    return std::pow(10.0, 3.0 * band / (10.0 * fraction));
}

int CountFrequencySteps(const SigGenChannelSettings& settings, int* startBand)
{
    const SigGenFreqStep& s = settings.FreqStep;
    const double lo = std::min(s.StartFreq, s.StopFreq);
    const double hi = std::max(s.StartFreq, s.StopFreq);
    int steps = 1;
    int start = -1;
    if (s.StepType == 2) {
        const int b = std::max(1, s.OctaveFraction);
        int end = -1;
        // Band edges grow by a fixed ratio, so the walk ends a few bands past hi; the cap only
        // guards against a frequency no band can pass.
        for (int j = 1; j < 1000000; ++j) {
            const double edge = OctaveBandCentre(j, b) * std::pow(0.5, 0.5 / b);
            if (lo >= edge)
                start = j;
            if (hi >= edge)
                end = j;
            if (edge > hi)
                break;
        }
        steps = std::max(1, end - start + 1);
        if (s.StopFreq < s.StartFreq)
            start = end;
    } else {
        const double step = s.StepFreq > 0.0f ? s.StepFreq : 1.0;
        const double count = std::trunc((hi - lo) / step + 1.0);
        steps = count > 1.0 ? (count < 1e9 ? static_cast<int>(count) : 1000000000) : 1;
    }
    if (startBand)
        *startBand = start;
    return steps;
}

void GenerateWhiteNoise(TWaveData* wave, const SigGenChannelSettings&, WORD c, double a, const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    FrameLoop(wave, c, ctx, [&](DWORD) { return WhiteNoiseValue(l, a); });
}

void GeneratePinkNoise(TWaveData* wave, const SigGenChannelSettings&, WORD c, double a, const SynthesisContext& ctx)
{
    if (ctx.pink.empty())
        return;
    const Limits l = LimitsOf(wave);
    PinkCursor cursor{ctx.pink, PinkLoopLength(ctx.pink.size())};
    FrameLoop(wave, c, ctx, [&](DWORD) { return cursor.Next(l, a); });
}

void GenerateWhiteNoiseBurst(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a,
                             const SynthesisContext& ctx)
{
    NoiseBurst(wave, s, c, a, ctx, false);
}

void GeneratePinkNoiseBurst(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a,
                            const SynthesisContext& ctx)
{
    if (ctx.pink.empty())
        return;
    NoiseBurst(wave, s, c, a, ctx, true);
}

void GenerateTone(TWaveData* wave, const SigGenChannelSettings&, WORD c, double a, const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    FrameLoop(wave, c, ctx, [&](DWORD i) { return Dithered(l, a, SineAt(i, 1000.0, l.rate)); });
}

void GenerateMultipleTones(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a,
                           const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    int count = 0;
    for (const SigGenTone& t : s.Tones.Tone)
        if (t.Enabled != 0)
            ++count;
    FrameLoop(wave, c, ctx, [&](DWORD i) {
        double sum = 0.0;
        for (const SigGenTone& t : s.Tones.Tone) {
            if (t.Enabled != 1)
                continue;
            const float period = static_cast<float>(l.rate / t.Frequency);
            const double shift = period * t.PhaseDeg / 360.0;
            sum += t.Amplitude * std::sin((i + shift + 1.0) * kTwoPi * t.Frequency / l.rate);
        }
        float x = 0.0f;
        if (count > 0)
            x = static_cast<float>(l.zero + a * kHeadroom * static_cast<double>(l.max - l.zero) * sum / count);
        return DitherValue(x);
    });
}

void GenerateToneBurst(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a,
                       const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    const std::int64_t p = MsFrames(s.ToneBurst.CycleMsec, l.rate);
    const std::int64_t b = MsFrames(s.ToneBurst.BurstMsec, l.rate);
    const double f = s.ToneBurst.Frequency;
    std::int64_t k = 0;
    FrameLoop(wave, c, ctx, [&](DWORD i) {
        const std::int32_t v = k < p - b ? l.zero : Dithered(l, a, SineAt(i, f, l.rate));
        if (++k >= p)
            k = 0;
        return v;
    });
}

void GenerateImdTones(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a,
                      const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    double low = 250.0, high = 8020.0, weight = 0.25;
    if (s.ImdTones.ToneSet == 1) {
        low = 60.0;
        high = 7000.0;
    } else if (s.ImdTones.ToneSet == 2) {
        low = s.ImdTones.LowFreq;
        high = s.ImdTones.HighFreq;
        if (s.ImdTones.PowerRatio > 0.0f)
            weight = 1.0 / s.ImdTones.PowerRatio;
    }
    FrameLoop(wave, c, ctx, [&](DWORD i) {
        const double v = (1.0 * SineAt(i, low, l.rate) + weight * SineAt(i, high, l.rate)) / 2.0;
        return Dithered(l, a, v);
    });
}

void GenerateLevelSweep(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a,
                        const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    // The sweep time times the rate is taken in 64 bits: a 600 s sweep at 48 kHz passes 2^32.
    std::int64_t n = static_cast<std::int64_t>(s.LevelSweep.SweepMsec) * static_cast<std::int64_t>(l.rate) / 1000;
    if (n < 1)
        n = 1;
    const double step = (s.LevelSweep.StopLevelDb - s.LevelSweep.StartLevelDb) / static_cast<double>(n);
    const double f = s.LevelSweep.Frequency;
    std::int64_t k = 0;
    FrameLoop(wave, c, ctx, [&](DWORD) {
        const double level = s.LevelSweep.StartLevelDb + static_cast<double>(k) * step;
        const double g = std::pow(10.0, level / 20.0);
        const std::int32_t v = Dithered(l, a, g * SineAt(static_cast<double>(k), f, l.rate));
        if (++k >= n)
            k = 0;
        return v;
    });
}

double ShapedPeriod(double rate, float frequency)
{
    const double p = frequency > 0.0f ? rate / frequency : 1.0;
    return std::clamp(p, 1.0, 4.0e9);
}

std::int64_t ShapedCycleStart(double period, std::int64_t cycle)
{
    return static_cast<std::int64_t>(std::trunc(static_cast<double>(cycle) * period));
}

namespace {

// The frame counter of a shaped waveform within its cycle. A period of whole frames repeats
// exactly; a fractional one (10 kHz at 44.1 kHz is 4.41 frames) is played as cycles of the
// two nearest whole lengths, so that the cycles keep to the frequency asked for.
class ShapedCycle {
public:
    explicit ShapedCycle(double period) : m_period(period) { m_length = Length(); }
    std::int64_t Frame() const { return m_k; }
    std::int64_t CurrentLength() const { return m_length; }
    // Frames of the current cycle before the point `percent` % of a period into it, counted
    // from the exact start of the cycle, so that a fractional period keeps its duty on average.
    std::int64_t FramesBefore(double percent) const
    {
        const double start = static_cast<double>(m_cycle) * m_period;
        const auto edge = static_cast<std::int64_t>(std::trunc(start + m_period * percent / 100.0)) -
                          static_cast<std::int64_t>(std::trunc(start));
        return std::clamp<std::int64_t>(edge, 0, m_length);
    }
    void Advance()
    {
        if (++m_k < m_length)
            return;
        m_k = 0;
        ++m_cycle;
        m_length = Length();
    }

private:
    std::int64_t Length() const
    {
        return std::max<std::int64_t>(1, ShapedCycleStart(m_period, m_cycle + 1) - ShapedCycleStart(m_period, m_cycle));
    }

    double m_period;
    std::int64_t m_cycle = 0;
    std::int64_t m_k = 0;
    std::int64_t m_length = 1;
};

} // namespace

void GenerateSawtooth(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a, const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    ShapedCycle cycle(ShapedPeriod(l.rate, s.Sawtooth.Frequency));
    const double lo = kHeadroom * l.min, hi = kHeadroom * l.max;
    const bool falling = s.Sawtooth.Slope == -1;
    FrameLoop(wave, c, ctx, [&](DWORD) {
        const double step =
            static_cast<double>(cycle.Frame()) * (hi - lo) / static_cast<double>(cycle.CurrentLength());
        const double r = falling ? hi - step : lo + step;
        cycle.Advance();
        return Shaped(r, a);
    });
}

void GenerateTriangular(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a,
                        const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    ShapedCycle cycle(ShapedPeriod(l.rate, s.Triangular.Frequency));
    const double lo = kHeadroom * l.min, hi = kHeadroom * l.max;
    FrameLoop(wave, c, ctx, [&](DWORD) {
        const std::int64_t k = cycle.Frame();
        const std::int64_t h = std::max<std::int64_t>(1, cycle.CurrentLength() / 2);
        double r;
        if (k < h)
            r = lo + static_cast<double>(k) * (hi - lo) / static_cast<double>(h);
        else
            r = lo + ((hi - lo) - static_cast<double>(k - h) * (hi - lo) / static_cast<double>(h));
        cycle.Advance();
        return Shaped(r, a);
    });
}

void GenerateSquare(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a, const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    ShapedCycle cycle(ShapedPeriod(l.rate, s.Square.Frequency));
    FrameLoop(wave, c, ctx, [&](DWORD) {
        const double r =
            cycle.Frame() < cycle.FramesBefore(s.Square.DutyPercent) ? kHeadroom * l.max : kHeadroom * l.min;
        cycle.Advance();
        return Shaped(r, a);
    });
}

void GeneratePulse(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a, const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    const std::int64_t r = std::max<std::int64_t>(1, UsFrames(s.Pulse.IntervalUsec, l.rate));
    const std::int64_t w = UsFrames(s.Pulse.WidthUsec, l.rate);
    const auto high = static_cast<std::int32_t>(a * kHeadroom * l.max);
    std::int64_t k = 0;
    FrameLoop(wave, c, ctx, [&](DWORD) {
        const std::int32_t v = k < w ? high : l.zero;
        if (++k >= r)
            k = 0;
        return v;
    });
}

void GenerateUserWave(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a, const SynthesisContext& ctx)
{
    const std::string path(s.UserWave.Path, strnlen(s.UserWave.Path, sizeof s.UserWave.Path));
    std::unique_ptr<TWaveFile> opened;
    const TWaveData* file = ctx.userWave;
    if (!ctx.userWaveLoaded) {
        try {
            if (!path.empty())
                opened = std::make_unique<TWaveFile>(path, TWaveFile::kMemory, false, ctx.tempFolder);
        } catch (const std::bad_alloc&) {
            opened.reset();
        }
        if (opened && !opened->IsError())
            file = opened.get();
        else if (ctx.report)
            ctx.report(UserWaveFailureText(path));
    }
    // A file that does not open leaves the channel silent rather than repeating one sample.
    if (!file || file->GetLength() == 0)
        return;
    auto* source = const_cast<TWaveData*>(file); // GetSample only reads
    const DWORD length = file->GetLength();
    DWORD k = 0;
    FrameLoop(wave, c, ctx, [&](DWORD) {
        const double r = source->GetSample(k, c, false);
        if (++k >= length)
            k = 0;
        return Shaped(r, a);
    });
}

void GenerateDtmf(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a, const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    const std::string keys(s.Dtmf.Keys, strnlen(s.Dtmf.Keys, sizeof s.Dtmf.Keys));
    const std::uint64_t count = keys.size();
    const auto rate = static_cast<std::uint64_t>(l.rate);
    // Unsigned 64-bit: the 32-bit products wrap for long pulses at high rates.
    const std::uint64_t width = rate * static_cast<std::uint32_t>(s.Dtmf.PulseMsec) / 1000;
    const std::uint64_t spacing = rate * static_cast<std::uint32_t>(s.Dtmf.SpacingMsec) / 1000;
    const std::uint64_t period = std::max<std::uint64_t>(1, width + spacing);
    const std::uint64_t total =
        rate * ((static_cast<std::uint64_t>(static_cast<std::uint32_t>(s.Dtmf.PulseMsec)) +
                 static_cast<std::uint32_t>(s.Dtmf.SpacingMsec)) * count) / 1000;
    const double twist = std::pow(10.0, std::fabs(s.Dtmf.TwistDb) / 20.0);
    const double rowWeight = s.Dtmf.TwistDb >= 0.0f ? 1.0 / twist : 1.0;
    const double colWeight = s.Dtmf.TwistDb >= 0.0f ? 1.0 : 1.0 / twist;
    std::uint64_t k = 0, t = 0;
    FrameLoop(wave, c, ctx, [&](DWORD) {
        double row = 0.0, col = 0.0;
        if (count > 0) {
            std::uint64_t index = k / period;
            if (index >= count)
                index = 0;
            char key = keys[index];
            if (key >= 'a' && key <= 'd')
                key = static_cast<char>(key - 'a' + 'A');
            row = DtmfDetector::GetRowFrequency(key);
            col = DtmfDetector::GetColumnFrequency(key);
        }
        if (t >= period)
            t = 0;
        ++t;
        double v = 0.0;
        if (t <= width)
            v = rowWeight * SineAt(static_cast<double>(k), row, l.rate) +
                colWeight * SineAt(static_cast<double>(k), col, l.rate);
        const float x =
            static_cast<float>(l.zero + a * kHeadroom * static_cast<double>(l.max - l.zero) * v / 2.0);
        if (++k >= total)
            k = 0;
        return DitherValue(x);
    });
}

void GenerateDigitalZero(TWaveData* wave, const SigGenChannelSettings&, WORD c, double, const SynthesisContext& ctx)
{
    const Limits l = LimitsOf(wave);
    FrameLoop(wave, c, ctx, [&](DWORD) { return l.zero; });
}

void GenerateFreqSweep(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a,
                       const SynthesisContext& ctx)
{
    const std::int64_t n = wave->GetLength();
    if (n == 0)
        return;
    const Limits l = LimitsOf(wave);
    const SigGenFreqSweep& p = s.FreqSweep;
    const std::int64_t frames = MsFrames(p.SweepMsec, l.rate);
    double f1 = p.StartFreq, f2 = p.StopFreq;
    f1 = std::min(f1, l.rate / 2.0);
    f2 = std::min(f2, l.rate / 2.0);
    bool reversed = false;
    const bool logarithmic = p.SweepType == 2;
    double k = 0.0;
    if (!logarithmic) {
        k = frames > 0 ? (f2 - f1) / static_cast<double>(frames) / 2.0 : 0.0;
    } else {
        f1 = std::max(f1, 1.0);
        f2 = std::max(f2, 1.0);
        double s1 = f1 / 10.0, s2 = f2 / 10.0;
        if (s1 > s2) {
            std::swap(s1, s2);
            reversed = true;
        }
        k = frames > 0 ? 0.5 * (std::log10(s2 / 2.0) - std::log10(s1 / 2.0)) / static_cast<double>(frames) : 0.0;
        // Raise the rate of change until the frequency really reached at the end of the scaled
        // pass, measured from its last seven sign changes, is the stop frequency.
        if (s2 != s1 && frames >= 1000) {
            const double l1 = std::log10(s1);
            for (int iterations = 1;; ++iterations) {
                std::int64_t z[7] = {-1, -1, -1, -1, -1, -1, -1};
                int found = 0;
                int nextSign = 0;
                for (std::int64_t i = frames - 1; i >= 0 && found < 7; --i) {
                    const double x = std::clamp(l1 + static_cast<double>(i) * k, -200.0, 200.0);
                    const double v = SineAt(static_cast<double>(i), std::pow(10.0, x), l.rate);
                    const int sign = v > 0.0 ? 1 : -1;
                    if (i <= frames - 2 && sign != nextSign)
                        z[found++] = i;
                    nextSign = sign;
                }
                const std::int64_t span = z[0] - z[6];
                const double fe = span != 0 ? 3.0 * l.rate / static_cast<double>(span) : s2;
                if (fe >= s2)
                    break;
                k *= 1.001;
                if (iterations > 10000)
                    break;
                if (ctx.Aborted())
                    return;
            }
        }
        f1 = s1 * 10.0;
        f2 = s2 * 10.0;
    }
    const double l1 = logarithmic ? std::log10(f1) : 0.0;
    for (std::int64_t i = 0; i < frames; ++i) {
        if (!Progress(ctx, i, n))
            return;
        const double f = logarithmic ? std::pow(10.0, std::clamp(l1 + static_cast<double>(i) * k, -200.0, 200.0))
                                     : f1 + static_cast<double>(i) * k;
        const std::int32_t v = Dithered(l, a, SineAt(static_cast<double>(i), f, l.rate));
        if (!StoreAt(wave, c, reversed ? frames - 1 - i : i, v) ||
            (p.SweepBack && !StoreAt(wave, c, reversed ? frames + i : 2 * frames - 1 - i, v)))
            return;
    }
    RepeatPass(wave, c, p.SweepBack ? 2 * frames : frames, ctx);
}

void GenerateFreqStep(TWaveData* wave, const SigGenChannelSettings& s, WORD c, double a,
                      const SynthesisContext& ctx)
{
    const std::int64_t n = wave->GetLength();
    if (n == 0)
        return;
    const Limits l = LimitsOf(wave);
    const SigGenFreqStep& p = s.FreqStep;
    const std::int64_t dwell = MsFrames(p.DwellMsec, l.rate);
    int startBand = -1;
    const int steps = CountFrequencySteps(s, &startBand);
    const std::int64_t frames = static_cast<std::int64_t>(steps) * dwell;
    // More steps than the wave has frames cannot be heard; the table need not hold them.
    const std::int64_t tableSize = std::min<std::int64_t>(steps, std::max<std::int64_t>(1, n));
    std::vector<double> table;
    try {
        table.resize(static_cast<std::size_t>(tableSize));
    } catch (const std::bad_alloc&) {
        return;
    }
    const bool down = p.StopFreq < p.StartFreq;
    const double step = p.StepFreq > 0.0f ? p.StepFreq : 1.0;
    const int fraction = std::max(1, p.OctaveFraction);
    for (std::int64_t m = 0; m < tableSize; ++m) {
        if (p.StepType == 2)
            table[m] = OctaveBandCentre(static_cast<int>(down ? startBand - m : startBand + m), fraction);
        else
            table[m] = down ? p.StartFreq - static_cast<double>(m) * step : p.StartFreq + static_cast<double>(m) * step;
    }
    std::int64_t m = 0, counter = 0;
    for (std::int64_t i = 0; i < frames && i < n; ++i) {
        if (!Progress(ctx, i, n))
            return;
        const std::int32_t v =
            Dithered(l, a, SineAt(static_cast<double>(counter), table[static_cast<std::size_t>(m)], l.rate));
        if (!StoreAt(wave, c, i, v) || (p.StepBack && !StoreAt(wave, c, 2 * frames - 1 - i, v)))
            return;
        if (++counter >= dwell) {
            counter = 0;
            m = std::min(m + 1, tableSize - 1);
        }
    }
    RepeatPass(wave, c, p.StepBack ? 2 * frames : frames, ctx);
}

SynthesisRoutine RoutineFor(const SigGenChannelSettings& s)
{
    switch (s.Type) {
    case SigGenType::WhiteNoise: return GenerateWhiteNoise;
    case SigGenType::PinkNoise: return GeneratePinkNoise;
    case SigGenType::NoiseBurst:
        if (s.NoiseBurst.NoiseType == 1)
            return GeneratePinkNoiseBurst;
        return s.NoiseBurst.NoiseType == 0 ? GenerateWhiteNoiseBurst : nullptr;
    case SigGenType::Tone1k: return GenerateTone;
    case SigGenType::MultipleTones: return GenerateMultipleTones;
    case SigGenType::ToneBurst: return GenerateToneBurst;
    case SigGenType::ImdTones: return GenerateImdTones;
    case SigGenType::FreqSweep: return GenerateFreqSweep;
    case SigGenType::LevelSweep: return GenerateLevelSweep;
    case SigGenType::Sawtooth: return GenerateSawtooth;
    case SigGenType::Triangular: return GenerateTriangular;
    case SigGenType::Pulse: return GeneratePulse;
    case SigGenType::Square: return GenerateSquare;
    case SigGenType::UserDefined: return GenerateUserWave;
    case SigGenType::Dtmf: return GenerateDtmf;
    case SigGenType::DigitalZero: return GenerateDigitalZero;
    case SigGenType::FreqStep: return GenerateFreqStep;
    default: return nullptr;
    }
}

void FillDeviceOutputBlock(TWaveData& wave, DWORD& position, bool looped, std::span<std::int32_t> block)
{
    const DWORD frames = wave.GetLength();
    const std::size_t channels = wave.GetChannels() == 2 ? 2 : 1;
    for (std::size_t slot = 0; slot < block.size(); slot += channels) {
        if (position >= frames && looped)
            position = 0;
        const bool inside = position < frames;
        for (std::size_t c = 0; c < channels && slot + c < block.size(); ++c)
            block[slot + c] = inside ? static_cast<std::int32_t>(wave.GetSample(position, static_cast<int>(c), false)) : 0;
        if (inside)
            ++position;
    }
}
