#include "dsp/ReverbAnalysis.h"

#include "dsp/SegmentSamples.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"
#include "wave/TWaveData.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr float kNoBest = -999.0f;

// A private spectrum engine over one channel of the capture: N samples per block, the given
// window, scale and averaging.
struct BlockEngine {
    ChannelProcessingSettings processing;
    ChannelScalingSettings scaling;
    std::unique_ptr<SpectralData> engine;
    std::unique_ptr<TSmoothing> window;
    std::vector<double> values;

    BlockEngine(const TPcmFormat& format, UINT n, WORD windowType, WORD freqScale, DWORD averageBlocks,
                UINT overlap)
    {
        processing.SampleFormat = format;
        processing.SampleFormat.Set(format.SampleRate, 1, format.BytesPerSample);
        processing.FFTsize = n;
        processing.DecimationRatio = 1;
        processing.ApplyLowPassFilter = 0;
        processing.AverageBlocks = averageBlocks;
        processing.AverageType = 0;
        processing.AverageMode = 0;
        processing.AverageSpeed = 4;
        processing.SmoothingWindow = windowType;
        processing.OverlapPercent = static_cast<WORD>(overlap);
        scaling.AmpScaleType = 1;
        scaling.FreqScaleType = freqScale;
        scaling.OctaveNumber = 3;
        // Bands carry the window's energy correction, narrowband levels its amplitude one.
        const WORD option = freqScale == 2 ? TSmoothing::kEnergyCorrection : TSmoothing::kAmplitudeCorrection;
        engine.reset(new (std::nothrow) SpectralData(&processing, &scaling, false));
        window.reset(new (std::nothrow) TSmoothing(n, windowType, option));
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

    // Reads N samples of channel 0 at `frame` (silence past the end), windows and transforms
    // them and averages. `peak` grows to the largest magnitude read.
    bool Process(TWaveData& wave, DWORD frame, double* peak = nullptr)
    {
        if (!ReadSegmentSamples(wave, frame, 0, values) && frame < wave.GetLength())
            return false;
        float* out = engine->GetFrame();
        for (std::size_t i = 0; i < values.size(); ++i) {
            out[i] = static_cast<float>(values[i]);
            if (peak)
                *peak = std::max(*peak, std::fabs(values[i]));
        }
        window->Apply(out);
        engine->ComputeSpectrum();
        engine->Average(false);
        return true;
    }
};

int BandCountOf(const SpectralData& engine)
{
    const int n = engine.GetLastBin() - engine.GetFirstBin() + 2;
    return std::clamp(n, 0, ReverbRecord::kBands);
}

DWORD FramesOf(double seconds, DWORD rate)
{
    if (!(seconds > 0.0))
        return 0;
    return static_cast<DWORD>(seconds * rate);
}

} // namespace

ReverbAnalysis::ReverbAnalysis(ReverbSettings* settings) : settings_(settings)
{
    std::fill(std::begin(decaySpan), std::end(decaySpan), -1.0f);
}

ReverbAnalysis::~ReverbAnalysis() = default;

template <class Engine>
void ReverbAnalysis::FillRecord(int index, Engine& engine, int first, int last, float time)
{
    ReverbRecord& r = records[static_cast<std::size_t>(index)];
    for (int b = 0; b < bandCount - 1; ++b) {
        r.Frequency[b] = engine.GetBinFrequency(static_cast<UINT>(first + b));
        r.Level[b] = engine.GetLevel(first + b);
    }
    if (bandCount > 0) {
        r.Frequency[bandCount - 1] = ReverbRecord::kWideband;
        r.Level[bandCount - 1] = engine.TotalLevel(static_cast<UINT>(first), static_cast<UINT>(last), 1, 0);
    }
    r.Time = time;
}

void ReverbAnalysis::SegmentBlockSize(DWORD rate, UINT& n, UINT& percent)
{
    if (rate < 32001) {
        n = 4096;
        percent = 90;
    } else if (rate < 88200) {
        n = 8192;
        percent = 95;
    } else if (rate < 120000) {
        n = 16384;
        percent = 97;
    } else {
        n = 32768;
        percent = 95;
    }
}

DWORD ReverbAnalysis::SegmentMinimumFrames(DWORD rate)
{
    UINT n = 0, percent = 0;
    SegmentBlockSize(rate, n, percent);
    const auto hop = std::max<DWORD>(static_cast<DWORD>(n * (1.0 - percent / 100.0)), 1);
    return n + kMinSegmentRecords * hop;
}

int ReverbAnalysis::ChosenFall() const { return 10 * static_cast<int>(std::min<DWORD>(settings_->ExtrapolationMethod, 2) + 1); }

bool ReverbAnalysis::ShowsChosenFall() const
{
    const int k = ChosenFall() / 10 - 1;
    for (int b = 0; b < bandCount; ++b)
        if (results[b].NotMeasured[k] == 0 && results[b].Rt[k] > 0.0f)
            return true;
    return false;
}

void ReverbAnalysis::SetTestTiming()
{
    leadIn = 0.8f;
    toneLength = 0.1f;
    gap = 0.5f;
    noiseLength = maxDecayTime > 4.0f ? maxDecayTime : 4.0f;
    totalLength = leadIn + toneLength + gap + noiseLength + maxDecayTime;
    const float rate = inputFormat.SampleRate > 0 ? static_cast<float>(inputFormat.SampleRate) : 44100.0f;
    recordInterval = ((100.0f - static_cast<float>(overlap)) / 100.0f * static_cast<float>(fftSize)) / rate;
    capacity = recordInterval > 0.0f ? static_cast<int>((maxDecayTime + 1.0f) / recordInterval) : 0;
}

void ReverbAnalysis::FreeRecords()
{
    std::fill(std::begin(decaySpan), std::end(decaySpan), -1.0f);
    records.clear();
    records.shrink_to_fit();
    bandCount = 0;
    recordCount = 0;
}

bool ReverbAnalysis::AllocateRecords()
{
    FreeRecords();
    try {
        if (capacity <= 0)
            throw std::bad_alloc();
        records.resize(static_cast<std::size_t>(capacity));
    } catch (const std::bad_alloc&) {
        records.clear();
        AfxMessageBox("Reverb Error - insufficient memory avaiable to continue processing.", MB_OK);
        return false;
    }
    for (ReverbRecord& r : records)
        r.Clear();
    return true;
}

float ReverbAnalysis::RecordSpacing() const
{
    if (recordCount < 2)
        return 0.0f;
    return records[1].Time - records[0].Time;
}

int ReverbAnalysis::StartRecord() const
{
    const float spacing = RecordSpacing();
    if (!(spacing > 0.0f) || recordCount <= 0)
        return 0;
    const float s = static_cast<float>(settings_->StartOffset) / 1000.0f / spacing + 0.5f;
    // An offset beyond the decay would start past the last record; a spacing next to nothing
    // puts it beyond any int.
    if (!(s >= 0.0f))
        return 0;
    return s >= static_cast<float>(recordCount - 1) ? recordCount - 1 : static_cast<int>(s);
}

void ReverbAnalysis::Synchronize()
{
    if (cancel || !HasRecords() || !capture)
        return;
    BlockEngine e(inputFormat, fftSize, TSmoothing::kHanning, 0, 1, 50);
    if (!e.Ok()) {
        cancel = 1;
        return;
    }
    const DWORD rate = capture->GetSampleRate();
    const DWORD hop = std::max<DWORD>(fftSize / 2, 1);
    const DWORD blocks = FramesOf(1.5 * leadIn, rate) / hop;
    float best = kNoBest;
    float found = -1.0f;
    for (DWORD i = 0; i < blocks; ++i) {
        const DWORD p = i * hop;
        if (!e.Process(*capture, p)) {
            ReportWaveReadFailure(*capture);
            cancel = 1;
            return;
        }
        const float snr = e.engine->ComputeSnr().value_or(kNoBest);
        const float peak = e.engine->GetPeakFrequency();
        if (peak > 900.0f && peak < 1100.0f && snr > best) {
            best = snr;
            found = static_cast<float>(p) / static_cast<float>(rate);
        }
        Progress(static_cast<int>(i * 100 / blocks), "Synchronizing...");
        if (cancel)
            return;
    }
    detectedToneTime = (found < 0.0f || std::fabs(found - leadIn) > 0.5f) ? leadIn : found;
}

void ReverbAnalysis::EvaluateLevels()
{
    if (cancel || !HasRecords() || !capture)
        return;
    BlockEngine e(inputFormat, fftSize, TSmoothing::kFlattop, 2, 1000000, 50);
    if (!e.Ok()) {
        cancel = 1;
        return;
    }
    const DWORD rate = capture->GetSampleRate();
    const DWORD hop = std::max<DWORD>(fftSize / 2, 1);
    const DWORD from = FramesOf(detectedToneTime + gap + noiseLength / 2.0, rate);
    const DWORD to = FramesOf(detectedToneTime + gap + noiseLength, rate);
    const DWORD blocks = to > from ? (to - from) / hop : 0;
    double peak = 0.0;
    for (DWORD i = 0; i < blocks; ++i) {
        if (!e.Process(*capture, from + i * hop, &peak)) {
            ReportWaveReadFailure(*capture);
            cancel = 1;
            return;
        }
        Progress(static_cast<int>(i * 100 / blocks), "Evaluating Levels...");
        if (cancel)
            return;
    }
    const int first = e.engine->GetFirstBin(), last = e.engine->GetLastBin();
    bandCount = BandCountOf(*e.engine);
    FillRecord(0, *e.engine, first, last, 0.0f);

    // The noise's largest sample against full scale, in dB: a sample at full scale has
    // clipped, one below -40 dB leaves too little room above the floor for a 30 dB decay.
    const double fullScale = static_cast<double>(inputFormat.MaxValue) - inputFormat.ZeroValue;
    noisePeakDbfs = (peak > 0.0 && fullScale > 0.0) ? static_cast<float>(20.0 * std::log10(peak / fullScale)) : -999.0f;
    if (peak >= fullScale) {
        AfxMessageBox("The detected signal is overloading (clipping) the input.\rReduce the amplifier volume or "
                      "decrease the sound card input gain and repeat the measurement.",
                      MB_OK | MB_ICONINFORMATION);
        cancel = 1;
    } else if (noisePeakDbfs < -40.0f) {
        AfxMessageBox("The detected signal is to low for accurate measurements.\rIncrease the amplifier volume or "
                      "increase the sound card input gain and repeat the measurement.",
                      MB_OK | MB_ICONINFORMATION);
        cancel = 1;
    }
}

void ReverbAnalysis::AnalyzeDecay()
{
    if (cancel || !HasRecords() || !capture)
        return;
    BlockEngine e(inputFormat, fftSize, TSmoothing::kFlattop, 2, 1, overlap);
    if (!e.Ok()) {
        cancel = 1;
        return;
    }
    const int first = e.engine->GetFirstBin(), last = e.engine->GetLastBin();
    bandCount = BandCountOf(*e.engine);
    const DWORD rate = capture->GetSampleRate();
    const DWORD hop = std::max<DWORD>(static_cast<DWORD>(fftSize * (1.0 - overlap / 100.0)), 1);
    const double margin = segment ? 0.0 : -0.06;
    const DWORD start = FramesOf(margin + detectedToneTime + toneLength + gap + noiseLength, rate);
    const DWORD length = capture->GetLength();
    const DWORD blocks = length > start + fftSize ? (length - start - fftSize) / hop : 0;
    for (DWORD i = 0; i < blocks; ++i) {
        const DWORD p = start + i * hop;
        if (!e.Process(*capture, p)) {
            ReportWaveReadFailure(*capture);
            cancel = 1;
            return;
        }
        const float time = static_cast<float>(p - start) / static_cast<float>(rate);
        FillRecord(recordCount, *e.engine, first, last, time);
        ++recordCount;
        if (recordCount >= capacity) {
            recordCount = capacity - 1;
            break;
        }
        if (i % 10 == 0)
            Progress(static_cast<int>(i * 100 / blocks), "Analyzing Reverberation...");
        if (cancel)
            return;
        if (time > maxDecayTime + 0.1f)
            break;
    }
    Progress(100, "");
    recordInterval = static_cast<float>(hop) / static_cast<float>(rate);
}

void ReverbAnalysis::NormalizeLevels()
{
    if (cancel || !HasRecords() || recordCount <= 0)
        return;
    const int s = StartRecord();
    // The records before the start move with the rest: a start offset lowered later (or
    // cleared after a file is loaded) then measures one scale, not absolute levels against
    // relative ones.
    for (int b = 0; b < bandCount; ++b) {
        const float reference = records[static_cast<std::size_t>(s)].Level[b];
        for (int r = 0; r < recordCount; ++r)
            records[static_cast<std::size_t>(r)].Level[b] -= reference;
    }
}

void ReverbAnalysis::SmoothDecay()
{
    if (cancel || !HasRecords() || recordCount <= 0)
        return;
    const int s = StartRecord();
    std::fill(std::begin(decaySpan), std::end(decaySpan), -1.0f);
    for (int r = s; r < recordCount; ++r)
        for (int b = 0; b < bandCount; ++b)
            records[static_cast<std::size_t>(r)].Smoothed[b] = records[static_cast<std::size_t>(r)].Level[b];
    const DWORD method = settings_->SmoothingMethod;
    if (method == 1) {
        // Limited before it becomes an int: a record interval next to nothing is no window.
        const float span = recordInterval > 0.0f ? 0.1f / recordInterval : 2.0f;
        int w = span >= 50.0f ? 50 : static_cast<int>(span);
        if (w <= 1)
            w = 2;
        // The start record is averaged like the rest: a forward average reads a constant few dB
        // below the level it starts at, so measuring from the unsmoothed start would count that
        // offset as decay and give times up to a sixth too short.
        for (int b = 0; b < bandCount; ++b) {
            for (int r = s; r < recordCount - w; ++r) {
                double sum = 0.0;
                for (int k = r; k < r + w; ++k)
                    sum += std::pow(10.0, records[static_cast<std::size_t>(k)].Level[b] / 10.0);
                records[static_cast<std::size_t>(r)].Smoothed[b] = static_cast<float>(10.0 * std::log10(sum / w));
            }
        }
        // A fall read off the averaged curve close to the noise floor reads the floor's energy
        // as decay still to come: times long by a tenth and more. So each band's fall is read
        // only where it clears the floor its decay meets by a margin; a decay that does not
        // flatten out within the records has no floor to keep clear of.
        m_floorMargin = kAveragedFloorMargin;
        try {
            const auto first = static_cast<std::size_t>(s);
            std::vector<double> levels(static_cast<std::size_t>(recordCount - s)), times(levels.size());
            for (int b = 0; b < bandCount; ++b) {
                for (std::size_t i = 0; i < levels.size(); ++i) {
                    levels[i] = records[first + i].Level[b];
                    times[i] = records[first + i].Time - records[first].Time;
                }
                const DecayFloor f = FindDecayFloor(levels, times);
                if (f.met)
                    decaySpan[b] = std::max(0.0f, records[first].Smoothed[b] - static_cast<float>(f.level));
            }
        } catch (const std::bad_alloc&) {
            AfxMessageBox("Reverb Error - insufficient memory avaiable to continue processing.", MB_OK);
            cancel = 1;
            return;
        }
    } else if (method == 2) {
        m_floorMargin = kFloorMargin;
        // Schroeder's integral is one of energy, and of the decay alone: summed amplitudes and a
        // noise floor inside the sum both stretch the curve, by half again and more.
        try {
            const auto first = static_cast<std::size_t>(s);
            std::vector<double> levels(static_cast<std::size_t>(recordCount - s)), times(levels.size()), smoothed;
            for (int b = 0; b < bandCount; ++b) {
                for (std::size_t i = 0; i < levels.size(); ++i) {
                    levels[i] = records[first + i].Level[b];
                    times[i] = records[first + i].Time - records[first].Time;
                }
                decaySpan[b] = SchroederIntegral(levels, times, smoothed);
                for (std::size_t i = 0; i < smoothed.size(); ++i)
                    records[first + i].Smoothed[b] = static_cast<float>(smoothed[i]);
            }
        } catch (const std::bad_alloc&) {
            AfxMessageBox("Reverb Error - insufficient memory avaiable to continue processing.", MB_OK);
            cancel = 1;
            return;
        }
    }
    ComputeDecayTimes();
}

namespace {

// Least-squares line y = a + b x through points [from, to).
bool FitLine(const std::vector<double>& x, const std::vector<double>& y, std::size_t from, std::size_t to, double& a,
             double& b)
{
    if (to < from + 2)
        return false;
    const double m = static_cast<double>(to - from);
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = from; i < to; ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double d = m * sxx - sx * sx;
    if (!(d > 0.0))
        return false;
    b = (m * sxy - sx * sy) / d;
    a = (sy - b * sx) / m;
    return std::isfinite(a) && std::isfinite(b);
}

// The mean energy of levels [from, to) in dB.
double MeanLevel(const std::vector<double>& levels, std::size_t from, std::size_t to)
{
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += std::pow(10.0, levels[i] / 10.0);
    return to > from && sum > 0.0 ? 10.0 * std::log10(sum / static_cast<double>(to - from)) : -999.0;
}

} // namespace

DecayFloor FindDecayFloor(const std::vector<double>& levels, const std::vector<double>& times)
{
    DecayFloor f;
    const std::size_t n = std::min(levels.size(), times.size());
    if (n < 2)
        return f;
    const double interval = times[1] - times[0];
    const std::size_t tail = std::max<std::size_t>(n / 10, 1);
    f.level = MeanLevel(levels, n - tail, n);
    f.cross = times[n - 1];
    std::size_t quiet = n - tail;
    for (int pass = 0; pass < 5; ++pass) {
        // The decay down to 10 dB above the floor; below that the floor bends it.
        std::size_t end = 0;
        while (end < n && levels[end] > f.level + 10.0)
            ++end;
        double fa = 0.0, fb = 0.0;
        if (!FitLine(times, levels, 0, end, fa, fb) || !(fb < 0.0))
            break;
        f.start = fa;
        f.slope = fb;
        f.fitted = true;
        const double meets = (f.level - fa) / fb;
        // The floor again, from where the line lies 10 dB below it, but over at least the last
        // tenth of the records.
        quiet = n - tail;
        for (std::size_t i = 0; i < n - tail; ++i)
            if (times[i] >= meets + 10.0 / -fb) {
                quiet = i;
                break;
            }
        f.level = MeanLevel(levels, quiet, n);
        const bool settled = std::fabs(meets - f.cross) < interval;
        f.cross = meets;
        if (settled)
            break;
    }
    if (f.fitted) {
        // A decay still falling when the records end has its own last records for a "floor":
        // the line runs on through them and holds as much energy there. A floor the decay has
        // met holds far more than the line does over the stretch it was measured on.
        double line = 0.0;
        for (std::size_t i = quiet; i < n; ++i)
            line += std::pow(10.0, (f.start + f.slope * times[i]) / 10.0);
        line /= static_cast<double>(n - quiet);
        f.met = !(line > 0.0) || f.level > 10.0 * std::log10(line) + 5.0;
    } else if (n >= 4) {
        // No two records above the floor: the decay, if any, is on it by the second record, and
        // the records from there on lie flat when it is a floor.
        double a = 0.0, b = 0.0;
        f.met = FitLine(times, levels, 1, n, a, b) && b * (times[n - 1] - times[1]) > -5.0;
    }
    return f;
}

float SchroederIntegral(const std::vector<double>& levels, const std::vector<double>& times, std::vector<double>& smoothed)
{
    smoothed = levels;
    const std::size_t n = std::min(levels.size(), times.size());
    if (n < 2)
        return 0.0f;
    const double interval = times[1] - times[0];
    const DecayFloor f = FindDecayFloor(levels, times);
    const double floor = f.level, a = f.start, b = f.slope, cross = f.cross;
    const bool fitted = f.fitted;
    double start = levels[0];
    std::size_t cut = n - 1;
    double rest = 0.0;
    if (fitted) {
        start = a;
        for (std::size_t i = 1; i < n; ++i)
            if (times[i] > cross) {
                cut = i - 1;
                break;
            }
        // What the line holds beyond the cut, record by record: a geometric series.
        const double ratio = std::pow(10.0, b * interval / 10.0);
        if (ratio < 1.0)
            rest = std::pow(10.0, (a + b * (times[cut] + interval)) / 10.0) / (1.0 - ratio);
        // A line next to flat would hold more than a double does: no tail then.
        if (!std::isfinite(rest))
            rest = 0.0;
    }
    std::vector<double> energy(cut + 1);
    double running = rest;
    for (std::size_t i = cut + 1; i-- > 0;) {
        running += std::pow(10.0, levels[i] / 10.0);
        energy[i] = running;
    }
    if (energy[0] > 0.0 && std::isfinite(energy[0]))
        for (std::size_t i = 0; i <= cut; ++i)
            smoothed[i] = 10.0 * std::log10(energy[i] / energy[0]);
    const double span = start - floor;
    return std::isfinite(span) && span > 0.0 ? static_cast<float>(span) : 0.0f;
}

namespace {
// When the smoothed level of band b, falling, first lies `fall` dB below record s at record r:
// on the straight line between records r - 1 and r. Records lie a tenth of a second apart at
// the device's rate, and a time read off the record grid would be up to that much long, three
// or six times over once extrapolated.
float CrossingTime(const ReverbRecord* recs, int s, int r, int b, float fall)
{
    const float t = recs[r].Time - recs[s].Time;
    if (r <= s)
        return t;
    const float before = recs[s].Smoothed[b] - recs[r - 1].Smoothed[b];
    const float now = recs[s].Smoothed[b] - recs[r].Smoothed[b];
    const float t0 = recs[r - 1].Time - recs[s].Time;
    if (!(before < fall && now > before))
        return t;
    const float at = t0 + (fall - before) / (now - before) * (t - t0);
    return std::isfinite(at) ? std::clamp(at, t0, t) : t;
}
} // namespace

void ComputeReverbDecayTimes(const ReverbRecord* recs, int count, int bandCount, int s, float D, DWORD method,
                             ReverbBandResult (&out)[ReverbRecord::kBands])
{
    for (ReverbBandResult& r : out)
        r = ReverbBandResult{};
    bandCount = std::clamp(bandCount, 0, ReverbRecord::kBands);
    if (recs == nullptr || count <= 0 || s < 0 || s >= count)
        return;
    for (int r = s; r < count; ++r) {
        for (int b = 0; b < bandCount; ++b) {
            out[b].Frequency = recs[r].Frequency[b];
            const float drop = recs[s].Smoothed[b] - recs[r].Smoothed[b];
            for (int k = 1; k <= 6; ++k) {
                if (out[b].Rt[k - 1] < 0.0f && drop >= 10.0f * k) {
                    out[b].Rt[k - 1] = CrossingTime(recs, s, r, b, 10.0f * k);
                    out[b].NotMeasured[k - 1] = 0;
                }
            }
        }
    }
    for (int b = 0; b < bandCount; ++b) {
        float* rt = out[b].Rt;
        // A time replaced by one extrapolated from a shorter fall is no longer the one read off
        // the decay: its flag says so, whatever the decay showed.
        unsigned char* guessed = out[b].NotMeasured;
        if (rt[0] >= D) {
            rt[0] = 0.0f;
            guessed[0] = 1;
        }
        if (rt[1] >= D) {
            rt[1] = 2.0f * rt[0];
            guessed[1] = 1;
        }
        if (method == 0) {
            for (int k = 1; k < 6; ++k) {
                rt[k] = static_cast<float>(k + 1) * rt[0];
                guessed[k] = 1;
            }
        } else if (method == 1) {
            if (rt[1] < 0.0f)
                rt[1] = 2.0f * rt[0];
            rt[2] = 1.5f * rt[1];
            rt[3] = 2.0f * rt[1];
            rt[4] = 2.5f * rt[1];
            rt[5] = 3.0f * rt[1];
            std::fill(guessed + 2, guessed + 6, 1);
        } else {
            if (rt[1] < 0.0f)
                rt[1] = 2.0f * rt[0];
            if (rt[2] < 0.0f)
                rt[2] = 1.5f * rt[1];
            rt[3] = 1.33333f * rt[2];
            rt[4] = 1.66666f * rt[2];
            rt[5] = 2.0f * rt[2];
            std::fill(guessed + 3, guessed + 6, 1);
        }
        for (int k = 0; k < 6; ++k)
            if (rt[k] >= 2.0f * D || rt[k] < 0.0f) {
                rt[k] = 0.0f;
                guessed[k] = 1;
            }
    }
}

void ReverbAnalysis::ComputeDecayTimes()
{
    if (cancel || !HasRecords())
        return;
    ComputeReverbDecayTimes(records.data(), recordCount, bandCount, StartRecord(), maxDecayTime,
                            settings_->ExtrapolationMethod, results);
    // Where the floor cuts the decay short of the chosen range, the band's time is not
    // available, nor are those extrapolated from it; a shorter fall it does span still is.
    const int chosen = ChosenFall();
    for (int b = 0; b < std::min(bandCount, kMaxBands); ++b) {
        if (decaySpan[b] < 0.0f)
            continue;
        for (int k = 1; k <= 6; ++k) {
            if (static_cast<float>(std::min(10 * k, chosen)) + m_floorMargin > decaySpan[b]) {
                results[b].Rt[k - 1] = 0.0f;
                results[b].NotMeasured[k - 1] = 1;
            }
        }
    }
}

void ReverbAnalysis::MarkDataPresent()
{
    if (cancel || !HasRecords() || recordCount <= 0)
        viewMode = 0;
    else if (viewMode == 0)
        viewMode = 1;
}

bool ReverbAnalysis::AnalyzeCaptureAsSegment()
{
    if (!capture)
        return false;
    inputFormat = capture->GetFormat();
    SegmentBlockSize(inputFormat.SampleRate, fftSize, overlap);
    const float length = capture->GetLengthSeconds();
    maxDecayTime = length;
    leadIn = toneLength = gap = noiseLength = 0.0f;
    totalLength = length;
    recordInterval = ((100.0f - static_cast<float>(overlap)) / 100.0f * static_cast<float>(fftSize)) /
                     static_cast<float>(inputFormat.SampleRate);
    capacity = static_cast<int>((length + 1.0f) / recordInterval);
    if (!AllocateRecords()) {
        cancel = 1;
        return false;
    }
    detectedToneTime = 0.0f;
    recordCount = 0;
    AnalyzeDecay();
    NormalizeLevels();
    SmoothDecay();
    ComputeDecayTimes();
    MarkDataPresent();
    return viewMode != 0;
}
