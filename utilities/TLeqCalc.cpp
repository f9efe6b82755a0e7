#include "utilities/TLeqCalc.h"

#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

ChannelProcessingSettings TLeqCalc::AnalyzerProcessing(ChannelProcessingSettings p)
{
    p.FFTsize = kBlock;
    p.DecimationRatio = 1;
    p.ApplyLowPassFilter = 0;
    p.AverageType = 0;
    p.AverageMode = 1;
    p.AverageBlocks = 1;
    p.AverageSpeed = 0;
    p.SmoothingWindow = 6;
    p.OverlapPercent = 50;
    p.ChannelProcessing = 0;
    p.DelayChannel = 0;
    p.DelayTimeMsec = 0.0f;
    p.Unkeyed = 0;
    p.EnableOverloadDetection = 0;
    p.ExcludeOverloadFlag = 0;
    p.RateMultiplier = 1.0f;
    p.IndependentScalingAndCalibration = 0;
    return p;
}

ChannelScalingSettings TLeqCalc::AnalyzerScaling(ChannelScalingSettings s, WORD weighting)
{
    s.AmpScaleType = 1;
    s.FreqScaleType = 2;
    s.OctaveNumber = 3;
    s.SpectralDensityFlag = 0;
    s.StandardWeighting = weighting;
    s.TotalPowerWeighting = weighting;
    return s;
}

void TLeqCalc::TimeWeighting::Add(double energy, double seconds, UINT blocks)
{
    const double steps = std::max(0.0, seconds) / kFeedSeconds;
    if (!m_started || blocks <= 1) {
        m_energy = energy;
        m_span = steps;
        m_started = true;
        return;
    }
    if (m_span + steps <= blocks) {
        // Still within the averaging's span: the mean of everything so far, by time.
        const double total = m_span + steps;
        if (total > 0.0)
            m_energy = (m_energy * m_span + energy * steps) / total;
        m_span = total;
        return;
    }
    // (1 - 1/B) of the average stays at each feeding interval.
    const double keep = std::pow(1.0 - 1.0 / blocks, steps);
    m_energy = m_energy * keep + energy * (1.0 - keep);
    m_span += steps;
}

TLeqCalc::TLeqCalc(const LeqChannelSettings& settings, const ChannelProcessingSettings& processing,
                   const ChannelScalingSettings& scaling, const ChannelCalibration& calibration, float elapsed)
    : m_settings(settings), m_elapsed(elapsed)
{
    try {
        m_window = std::make_unique<TSmoothing>(kBlock, 6, 1);
        // Groups of the same weighting read one analyzer: with the defaults one transform a
        // block instead of six.
        std::vector<WORD> keys;
        bool built = true;
        for (int g = 0; g < LeqChannelSettings::kGroups; ++g) {
            const WORD key = settings.Weighting[g];
            const auto found = std::find(keys.begin(), keys.end(), key);
            if (found != keys.end()) {
                m_analyzerOf[static_cast<std::size_t>(g)] = static_cast<int>(found - keys.begin());
                continue;
            }
            const ChannelProcessingSettings p = AnalyzerProcessing(processing);
            const ChannelScalingSettings s = AnalyzerScaling(scaling, key);
            auto analyzer = std::make_unique<SpectralData>(&p, &s, true);
            if (analyzer->HasError()) {
                built = false;
                break;
            }
            analyzer->SetScaling(&calibration);
            m_analyzerOf[static_cast<std::size_t>(g)] = static_cast<int>(keys.size());
            m_analyzerWeighting[keys.size()] = key;
            keys.push_back(key);
            m_analyzers.push_back(std::move(analyzer));
        }
        m_complete = built;
    } catch (const std::bad_alloc&) {
        m_complete = false;
    }
}

TLeqCalc::~TLeqCalc() = default;

namespace {
// Levels in dB and their energies; no energy reads as no level.
double Energy(float db) { return db <= -999.0f ? 0.0 : std::pow(10.0, db / 10.0); }
float Level(double energy) { return energy > 0.0 ? static_cast<float>(10.0 * std::log10(energy)) : kNoLevelDb; }
} // namespace

bool TLeqCalc::IsComplete() const { return m_complete && m_window != nullptr; }

bool TLeqCalc::Analyze(const float* samples)
{
    if (!IsComplete() || !samples)
        return false;
    // One total level per analyzer: every group it serves has its weighting.
    for (std::size_t i = 0; i < m_analyzers.size(); ++i) {
        SpectralData& a = *m_analyzers[i];
        std::memcpy(a.GetFrame(), samples, kBlock * sizeof(float));
        m_window->Apply(a.GetFrame());
        a.ComputeSpectrum();
        a.Average(false);
        m_blockLevel[i] = a.TotalLevel(static_cast<UINT>(a.GetFirstBin()), static_cast<UINT>(a.GetLastBin()), 1,
                                       m_analyzerWeighting[i]);
        m_blockEnergy[i] = Energy(m_blockLevel[i]);
    }
    return true;
}

void TLeqCalc::Integrate(const float* samples, double seconds)
{
    if (!Analyze(samples))
        return;
    using G = LeqChannelSettings;
    for (int g : {G::kLeqT, G::kLeq, G::kLsel})
        m_energy[static_cast<std::size_t>(g)] +=
            m_blockEnergy[static_cast<std::size_t>(m_analyzerOf[static_cast<std::size_t>(g)])] * std::max(0.0, seconds);
}

void TLeqCalc::Accumulate(const float* samples, double seconds)
{
    if (!Analyze(samples))
        return;
    const auto& analyzerEnergy = m_blockEnergy;
    const auto& analyzerLevel = m_blockLevel;
    auto of = [this](int group) { return static_cast<std::size_t>(m_analyzerOf[static_cast<std::size_t>(group)]); };
    using G = LeqChannelSettings;
    const double w = seconds > 0.0 ? seconds : 0.0;
    for (int g : {G::kLeqT, G::kLeq, G::kLsel}) {
        const double e = analyzerEnergy[of(g)];
        m_lastEnergy[static_cast<std::size_t>(g)] = e;
        m_energy[static_cast<std::size_t>(g)] += e * w;
    }
    const float peak = analyzerLevel[of(G::kLpk)];
    m_maxMinWeighting.Add(analyzerEnergy[of(G::kLmaxMin)], w, G::BlocksOf(m_settings.Averaging[G::kLmaxMin]));
    m_percentileWeighting.Add(analyzerEnergy[of(G::kPercentile)], w, G::BlocksOf(m_settings.Averaging[G::kPercentile]));
    const float level = Level(m_maxMinWeighting.Energy());
    m_lastPercentile = Level(m_percentileWeighting.Energy());
    m_peak = m_count == 0 ? peak : std::max(m_peak, peak);
    m_max = m_count == 0 ? level : std::max(m_max, level);
    m_min = m_count == 0 ? level : std::min(m_min, level);
    try {
        m_percentile.Add(m_lastPercentile, w);
    } catch (const std::bad_alloc&) {
        // The histogram keeps what it had; the other results go on.
    }
    m_covered += w;
    ++m_count;
}

void TLeqCalc::Compute()
{
    if (!IsComplete())
        return;
    if (m_count == 0) {
        m_results.fill(kNoLevelDb);
        return;
    }
    auto level = [](double energy) { return static_cast<float>(10.0 * std::log10(energy > 0.0 ? energy : 1e-8)); };
    // Past the time the blocks hold whole (the newest second or so of a run still going) the
    // last level goes on.
    const double covered = m_coveredGiven >= 0.0 ? m_coveredGiven : m_covered;
    const double tail = std::max(0.0, static_cast<double>(m_elapsed) - covered);
    const double span = covered + tail;
    auto mean = [&](int g) {
        const auto i = static_cast<std::size_t>(g);
        return span > 0.0 ? (m_energy[i] + m_lastEnergy[i] * tail) / span : m_lastEnergy[i];
    };
    using G = LeqChannelSettings;
    const double T = m_settings.ReferenceTime > 0 ? m_settings.ReferenceTime : 1;
    m_results[kLeqT] = level(mean(G::kLeqT) * span / T);
    m_results[kLeq] = level(mean(G::kLeq));
    m_results[kLsel] = level(mean(G::kLsel) * span);
    m_results[kLpk] = m_peak;
    m_results[kLmax] = m_max;
    m_results[kLmin] = m_min;
    // L10 is the level exceeded for a tenth of the time.
    const bool timed = m_percentile.Total() > 0.0;
    m_results[kL10] = timed ? m_percentile.Quantile(0.9) : m_lastPercentile;
    m_results[kL50] = timed ? m_percentile.Quantile(0.5) : m_lastPercentile;
    m_results[kL90] = timed ? m_percentile.Quantile(0.1) : m_lastPercentile;
}

void TLeqCalc::Reset()
{
    for (auto& a : m_analyzers)
        a->ResetAverages();
    m_energy.fill(0.0);
    m_lastEnergy.fill(0.0);
    m_percentile.Clear();
    m_maxMinWeighting.Clear();
    m_percentileWeighting.Clear();
    m_peak = m_max = m_min = m_lastPercentile = 0.0f;
    m_covered = 0.0;
    m_coveredGiven = -1.0;
    m_count = 0;
}

// ---- Level histogram ------------------------------------------------------------------------

namespace {
constexpr double kStepsPerDb = 100.0;
// Levels are kept within +-1000 dB (silence reads -999): at most 200,001 steps.
constexpr double kLimitDb = 1000.0;
} // namespace

void TLeqCalc::LevelHistogram::Add(float level, double seconds)
{
    const double clamped = std::clamp(static_cast<double>(level), -kLimitDb, kLimitDb);
    const int step = static_cast<int>(std::lround(clamped * kStepsPerDb));
    if (m_time.empty()) {
        m_first = step;
        m_time.assign(1, 0.0);
    } else if (step < m_first) {
        m_time.insert(m_time.begin(), static_cast<std::size_t>(m_first - step), 0.0);
        m_first = step;
    } else if (step - m_first >= static_cast<int>(m_time.size())) {
        m_time.resize(static_cast<std::size_t>(step - m_first + 1), 0.0);
    }
    m_time[static_cast<std::size_t>(step - m_first)] += seconds;
    m_total += seconds;
}

float TLeqCalc::LevelHistogram::Quantile(double fraction) const
{
    if (m_time.empty())
        return kNoLevelDb;
    // The first level whose time from the bottom passes the fraction: with ten equal blocks,
    // one loud, L10 reads the loud one.
    const double goal = fraction * m_total * (1.0 + 1e-9);
    double below = 0.0;
    std::size_t i = 0;
    for (; i + 1 < m_time.size(); ++i) {
        below += m_time[i];
        if (m_time[i] > 0.0 && below > goal)
            break;
    }
    return static_cast<float>((m_first + static_cast<int>(i)) / kStepsPerDb);
}

void TLeqCalc::LevelHistogram::Clear()
{
    m_time.clear();
    m_time.shrink_to_fit();
    m_first = 0;
    m_total = 0.0;
}
