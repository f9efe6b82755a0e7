// The Leq calculator of one input channel: 1/3-octave analyzers fed 8192-sample blocks, one
// per distinct weighting of the six parameter groups, and the nine results LeqT, Leq, Lsel,
// Lpk, Lmax, Lmin, L10, L50, L90 in dB over everything fed since the start.
//
// LeqT, Leq and Lsel are energy means of the blocks' levels, each block standing for the
// seconds the caller says, as IEC 61672-1 integrates them: without time weighting, so those
// groups' averaging choice does not change them. Lmax and Lmin are the extremes of their
// group's time-weighted level, Lpk the loudest single block, and L10..L90 come from a histogram
// of the percentile group's time-weighted levels (0.01 dB steps) weighted by time: memory stays
// bounded however long a run goes.
//
// Time weighting: Fast, Medium, Slow and Forever average exponentially over the time their
// block counts (2, 4, 11, 10000) span at one block every 0.1 s, whatever time a block stands
// for, so that the levels don't depend on how densely the caller feeds.
//
// Nothing fed computes -999.9 (no level) for every result.
//
// A part that can't be allocated leaves the calculator inert: it neither accumulates nor
// computes, and its results stay 0.
//
// Threads: user-interface thread only.
#pragma once

#include "records/ChannelCalibration.h"
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/UtilitySettings.h"

#include <array>
#include <memory>
#include <vector>

class SpectralData;
class TSmoothing;

class TLeqCalc {
public:
    static constexpr UINT kBlock = 8192;
    enum Result { kLeqT, kLeq, kLsel, kLpk, kLmax, kLmin, kL10, kL50, kL90, kResults };

    TLeqCalc(const LeqChannelSettings& settings, const ChannelProcessingSettings& processing,
             const ChannelScalingSettings& scaling, const ChannelCalibration& calibration, float elapsed = 1.0f);
    ~TLeqCalc();
    TLeqCalc(const TLeqCalc&) = delete;
    TLeqCalc& operator=(const TLeqCalc&) = delete;

    bool IsComplete() const;
    // The seconds since the start that LeqT and Lsel cover, and of those the seconds whose
    // energy the blocks fed hold (negative: the seconds they stood for). Beyond that the last
    // block's level is taken to go on.
    void SetElapsed(float seconds, double covered = -1.0)
    {
        m_elapsed = seconds;
        m_coveredGiven = covered;
    }
    // One block of kBlock unscaled samples standing for `seconds` of the run.
    void Accumulate(const float* samples, double seconds);
    // A block that reaches past the start or the end of the run, zeros there: its energy
    // counts for `seconds` in LeqT, Leq and Lsel, and nothing else. Blocks overlapping by a
    // quarter or more weigh every sample alike, up to the run's edges.
    void Integrate(const float* samples, double seconds);
    void Compute();
    // Forgets everything fed: the next block starts a new measurement.
    void Reset();

    float GetResult(int which) const { return which >= 0 && which < kResults ? m_results[which] : 0.0f; }
    long long GetCount() const { return m_count; }
    const LeqChannelSettings& GetSettings() const { return m_settings; }
    // What the calculator holds: distinct analyzers and histogram steps.
    int AnalyzerCount() const { return static_cast<int>(m_analyzers.size()); }
    std::size_t HistogramSteps() const { return m_percentile.Steps(); }

    // The processing and scaling records of a group's analyzer, as the calculator builds them.
    // The analyzers don't average: the calculator weights the levels by time itself.
    static ChannelProcessingSettings AnalyzerProcessing(ChannelProcessingSettings processing);
    static ChannelScalingSettings AnalyzerScaling(ChannelScalingSettings scaling, WORD weighting);
    // The time between blocks that an averaging selector's block count is meant for.
    static constexpr double kFeedSeconds = 0.1;

private:
    // Spectra of a block: each analyzer's total level and energy; false when incomplete.
    bool Analyze(const float* samples);
    std::array<double, LeqChannelSettings::kGroups> m_blockEnergy{};
    std::array<float, LeqChannelSettings::kGroups> m_blockLevel{};

    // An exponential average of energies over the time `blocks` span at kFeedSeconds a block;
    // until that time has passed, the mean of everything so far.
    class TimeWeighting {
    public:
        void Add(double energy, double seconds, UINT blocks);
        double Energy() const { return m_energy; }
        void Clear() { m_energy = m_span = 0.0; m_started = false; }

    private:
        double m_energy = 0.0;
        double m_span = 0.0; // in feeding intervals
        bool m_started = false;
    };

    // Time spent at each level, in 0.01 dB steps, over the levels seen so far.
    class LevelHistogram {
    public:
        void Add(float level, double seconds);
        // The level not exceeded for `fraction` of the time.
        float Quantile(double fraction) const;
        void Clear();
        std::size_t Steps() const { return m_time.size(); }
        double Total() const { return m_total; }

    private:
        std::vector<double> m_time;
        int m_first = 0; // the step of m_time[0]
        double m_total = 0.0;
    };


    LeqChannelSettings m_settings;
    std::unique_ptr<TSmoothing> m_window;
    std::vector<std::unique_ptr<SpectralData>> m_analyzers;
    std::array<int, LeqChannelSettings::kGroups> m_analyzerOf{};
    std::array<WORD, LeqChannelSettings::kGroups> m_analyzerWeighting{};
    // Energy x seconds of the integrated groups, and their latest block's energy.
    std::array<double, 3> m_energy{}, m_lastEnergy{};
    TimeWeighting m_maxMinWeighting, m_percentileWeighting;
    float m_peak = 0.0f, m_max = 0.0f, m_min = 0.0f, m_lastPercentile = 0.0f;
    LevelHistogram m_percentile;
    float m_elapsed = 1.0f;
    double m_covered = 0.0, m_coveredGiven = -1.0;
    long long m_count = 0;
    bool m_complete = false;
    std::array<float, kResults> m_results{};
};
