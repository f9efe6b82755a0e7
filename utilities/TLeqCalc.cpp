#include "utilities/TLeqCalc.h"

#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

ChannelProcessingSettings TLeqCalc::AnalyzerProcessing(ChannelProcessingSettings p, WORD averaging)
{
    p.FFTsize = kBlock;
    p.DecimationRatio = 1;
    p.ApplyLowPassFilter = 0;
    p.AverageType = 0;
    p.AverageMode = 1;
    p.AverageBlocks = LeqChannelSettings::BlocksOf(averaging);
    p.AverageSpeed = averaging;
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

TLeqCalc::TLeqCalc(const LeqChannelSettings& settings, const ChannelProcessingSettings& processing,
                   const ChannelScalingSettings& scaling, const ChannelCalibration& calibration, float elapsed,
                   int capacity)
    : m_settings(settings), m_elapsed(elapsed), m_capacity(std::max(1, capacity))
{
    try {
        m_window = std::make_unique<TSmoothing>(kBlock, 6, 1);
        for (int g = 0; g < LeqChannelSettings::kGroups; ++g) {
            const WORD averaging = g == LeqChannelSettings::kLpk ? 0 : settings.Averaging[g];
            const ChannelProcessingSettings p = AnalyzerProcessing(processing, averaging);
            const ChannelScalingSettings s = AnalyzerScaling(scaling, settings.Weighting[g]);
            auto analyzer = std::make_unique<SpectralData>(&p, &s, true);
            if (analyzer->HasError())
                continue;
            analyzer->SetScaling(&calibration);
            m_analyzers[static_cast<std::size_t>(g)] = std::move(analyzer);
        }
        m_peak.assign(static_cast<std::size_t>(m_capacity), 0.0f);
        m_maxMin.assign(static_cast<std::size_t>(m_capacity), 0.0f);
        m_percentile.assign(static_cast<std::size_t>(m_capacity), 0.0f);
    } catch (const std::bad_alloc&) {
        m_peak.clear();
        m_maxMin.clear();
        m_percentile.clear();
    }
}

TLeqCalc::~TLeqCalc() = default;

bool TLeqCalc::IsComplete() const
{
    if (!m_window || m_peak.empty() || m_maxMin.empty() || m_percentile.empty())
        return false;
    return std::all_of(m_analyzers.begin(), m_analyzers.end(), [](const auto& a) { return a != nullptr; });
}

float TLeqCalc::GroupLevel(int group)
{
    SpectralData& a = *m_analyzers[static_cast<std::size_t>(group)];
    return a.TotalLevel(static_cast<UINT>(a.GetFirstBin()), static_cast<UINT>(a.GetLastBin()), 1,
                        m_settings.Weighting[group]);
}

void TLeqCalc::Accumulate(const float* samples)
{
    if (!IsComplete() || !samples)
        return;
    for (auto& a : m_analyzers) {
        std::memcpy(a->GetFrame(), samples, kBlock * sizeof(float));
        m_window->Apply(a->GetFrame());
        a->ComputeSpectrum();
        a->Average(false);
    }
    const auto i = static_cast<std::size_t>(m_index);
    m_peak[i] = GroupLevel(LeqChannelSettings::kLpk);
    m_maxMin[i] = GroupLevel(LeqChannelSettings::kLmaxMin);
    m_percentile[i] = GroupLevel(LeqChannelSettings::kPercentile);
    m_count = std::min(m_count + 1, m_capacity);
    m_index = (m_index + 1) % m_capacity;
}

void TLeqCalc::Compute()
{
    if (!IsComplete())
        return;
    // Nothing fed since the interval began: no level, rather than the last interval's entries
    // still lying in the histories.
    if (m_count == 0) {
        m_results.fill(kNoLevelDb);
        return;
    }
    auto energyLevel = [](float level, double factor) {
        double v = std::pow(10.0, level / 10.0) * factor;
        if (v <= 0.0)
            v = 1e-8;
        return static_cast<float>(10.0 * std::log10(v));
    };
    const double T = m_settings.ReferenceTime > 0 ? m_settings.ReferenceTime : 1;
    m_results[kLeqT] = energyLevel(GroupLevel(LeqChannelSettings::kLeqT), m_elapsed / T);
    m_results[kLeq] = GroupLevel(LeqChannelSettings::kLeq);
    m_results[kLsel] = energyLevel(GroupLevel(LeqChannelSettings::kLsel), m_elapsed);

    // Every stored entry counts: a loud last block is the interval's maximum too.
    const int n = m_count;
    for (std::vector<float>* h : {&m_peak, &m_maxMin, &m_percentile})
        if (n >= 2)
            std::sort(h->begin(), h->begin() + n);
    const int top = std::max(0, n - 1);
    auto index = [&](double fraction) {
        return std::clamp(static_cast<int>(fraction * n + 0.5), 0, top);
    };
    m_results[kLpk] = m_peak[static_cast<std::size_t>(top)];
    m_results[kLmax] = m_maxMin[static_cast<std::size_t>(top)];
    m_results[kLmin] = m_maxMin[0];
    m_results[kL10] = m_percentile[static_cast<std::size_t>(index(0.9))];
    m_results[kL50] = m_percentile[static_cast<std::size_t>(index(0.5))];
    m_results[kL90] = m_percentile[static_cast<std::size_t>(index(0.1))];
}

void TLeqCalc::ResetInterval()
{
    for (auto& a : m_analyzers)
        if (a)
            a->ResetAverages();
    m_index = 0;
    m_count = 0;
}
