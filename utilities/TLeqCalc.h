// The Leq calculator of one input channel: six 1/3-octave analyzers (one per parameter group,
// each with its own weighting and averaging) fed 8192-sample blocks, three level histories of
// up to 24 hours at ten blocks a second, and the nine results LeqT, Leq, Lsel, Lpk, Lmax,
// Lmin, L10, L50, L90 in dB.
//
// An interval with nothing fed computes -999.9 (no level) for every result.
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
    static constexpr int kCapacity = 864000;
    enum Result { kLeqT, kLeq, kLsel, kLpk, kLmax, kLmin, kL10, kL50, kL90, kResults };

    TLeqCalc(const LeqChannelSettings& settings, const ChannelProcessingSettings& processing,
             const ChannelScalingSettings& scaling, const ChannelCalibration& calibration, float elapsed = 1.0f,
             int capacity = kCapacity);
    ~TLeqCalc();
    TLeqCalc(const TLeqCalc&) = delete;
    TLeqCalc& operator=(const TLeqCalc&) = delete;

    bool IsComplete() const;
    void SetElapsed(float seconds) { m_elapsed = seconds; }
    // One block of kBlock unscaled samples.
    void Accumulate(const float* samples);
    void Compute();
    void ResetInterval();

    float GetResult(int which) const { return which >= 0 && which < kResults ? m_results[which] : 0.0f; }
    int GetCount() const { return m_count; }
    const LeqChannelSettings& GetSettings() const { return m_settings; }

    // The processing and scaling records of a group's analyzer, as the calculator builds them.
    static ChannelProcessingSettings AnalyzerProcessing(ChannelProcessingSettings processing, WORD averaging);
    static ChannelScalingSettings AnalyzerScaling(ChannelScalingSettings scaling, WORD weighting);

private:
    float GroupLevel(int group);

    LeqChannelSettings m_settings;
    std::unique_ptr<TSmoothing> m_window;
    std::array<std::unique_ptr<SpectralData>, LeqChannelSettings::kGroups> m_analyzers;
    std::vector<float> m_peak, m_maxMin, m_percentile;
    float m_elapsed = 1.0f;
    int m_index = 0;
    int m_count = 0;
    int m_capacity = kCapacity;
    std::array<float, kResults> m_results{};
};
