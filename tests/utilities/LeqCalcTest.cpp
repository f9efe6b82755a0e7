// The Leq calculator fed blocks directly, against truths worked out here from the levels and
// times fed: the energy mean over the whole time and IEC 61672-1's LeqT and SEL, the
// A-weighting of IEC 61672 at 100 Hz, and the levels exceeded for 10, 50 and 90 % of the time.
#include "utilities/TLeqCalc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr double kPi = 3.14159265358979323846;

std::vector<float> Tone(double hz, double amplitude, int block)
{
    std::vector<float> s(TLeqCalc::kBlock);
    const double rate = ChannelProcessingSettings().SampleFormat.SampleRate;
    for (UINT i = 0; i < TLeqCalc::kBlock; ++i)
        s[i] = static_cast<float>(amplitude * std::sin(2 * kPi * hz * (i + double(block) * TLeqCalc::kBlock) / rate));
    return s;
}

LeqChannelSettings AllGroups(WORD weighting, WORD averaging)
{
    LeqChannelSettings s;
    for (int g = 0; g < LeqChannelSettings::kGroups; ++g) {
        s.Weighting[g] = weighting;
        s.Averaging[g] = averaging;
    }
    return s;
}

std::unique_ptr<TLeqCalc> Make(const LeqChannelSettings& s)
{
    return std::make_unique<TLeqCalc>(s, ChannelProcessingSettings(), ChannelScalingSettings(), ChannelCalibration());
}

// The Leq of a full-scale 1 kHz tone under the default settings: the levels' 0 dB here.
double FullScaleLeq()
{
    auto reference = Make(LeqChannelSettings());
    reference->Accumulate(Tone(1000.0, 1.0e6, 0).data(), 1.0);
    reference->Compute();
    return reference->GetResult(TLeqCalc::kLeq);
}

double EnergyMean(const std::vector<std::pair<double, double>>& pieces) // (dB, seconds)
{
    double e = 0.0, t = 0.0;
    for (const auto& [db, seconds] : pieces) {
        e += std::pow(10.0, db / 10.0) * seconds;
        t += seconds;
    }
    return 10.0 * std::log10(e / t);
}

// The level exceeded for `percent` of the time, by ranking the pieces from the loudest.
double Exceeded(std::vector<std::pair<double, double>> pieces, double percent)
{
    std::sort(pieces.begin(), pieces.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    double total = 0.0;
    for (const auto& p : pieces)
        total += p.second;
    double above = 0.0;
    for (const auto& [db, seconds] : pieces) {
        above += seconds;
        if (above > percent / 100.0 * total)
            return db;
    }
    return pieces.back().first;
}
} // namespace

// The defaults (A, Slow for the integrated groups, Fast for Lmax/Lmin and LN): a loud stretch
// then a quiet one twice as long, as a measurement of a passing source reads.
TEST(LeqCalc, TheIntegratedLevelsCoverTheWholeTimeFed)
{
    LeqChannelSettings s;
    auto calc = Make(s);
    ASSERT_TRUE(calc->IsComplete());
    // Groups of one weighting share an analyzer.
    EXPECT_EQ(calc->AnalyzerCount(), 1);
    const double loud = FullScaleLeq();

    int block = 0;
    for (int i = 0; i < 10; ++i)
        calc->Accumulate(Tone(1000.0, 1.0e6, block++).data(), 1.0);
    for (int i = 0; i < 20; ++i)
        calc->Accumulate(Tone(1000.0, 1.0e6 / 100.0, block++).data(), 1.0);
    struct Case {
        float elapsed;
        std::vector<std::pair<double, double>> pieces; // what the elapsed time holds
    };
    // At 30 s the blocks cover the time; at 40 s the last level is taken to go on.
    for (const Case& c : {Case{30.0f, {{loud, 10.0}, {loud - 40.0, 20.0}}},
                          Case{40.0f, {{loud, 10.0}, {loud - 40.0, 30.0}}}}) {
        calc->SetElapsed(c.elapsed);
        calc->Compute();
        const double leq = EnergyMean(c.pieces);
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kLeq), leq, 0.05) << c.elapsed;
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kLeqT), leq + 10.0 * std::log10(c.elapsed / 3600.0), 0.05);
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kLsel), leq + 10.0 * std::log10(c.elapsed), 0.05);
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kLmax), loud, 0.05);
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kLpk), loud, 0.05);
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kLmin), loud - 40.0, 0.1);
    }
    // Computing again changes nothing: a recalculation refreshes, it does not restart.
    const float leq = calc->GetResult(TLeqCalc::kLeq);
    calc->Compute();
    EXPECT_EQ(calc->GetResult(TLeqCalc::kLeq), leq);
    EXPECT_EQ(calc->GetCount(), 30);

    // Reset forgets it all: nothing fed has no level.
    calc->Reset();
    EXPECT_EQ(calc->GetCount(), 0);
    calc->Compute();
    for (int r = 0; r < TLeqCalc::kResults; ++r)
        EXPECT_FLOAT_EQ(calc->GetResult(r), -999.9f) << r;
    calc->SetElapsed(2.0f);
    calc->Accumulate(Tone(1000.0, 1.0e6 / 10.0, 0).data(), 2.0);
    calc->Compute();
    EXPECT_NEAR(calc->GetResult(TLeqCalc::kLeq), loud - 20.0, 0.05);
    EXPECT_NEAR(calc->GetResult(TLeqCalc::kLmax), loud - 20.0, 0.05);
}

// Levels held for known times in a shuffled order: L10, L50 and L90 against the ranking of
// the pieces, and Leq against their energy mean; blocks standing for unequal times count by
// their time, not by their number.
TEST(LeqCalc, PercentileLevelsAreTheLevelsExceededForTheirShareOfTheTime)
{
    struct Case {
        const char* name;
        std::vector<std::pair<double, double>> pieces; // (dB below the reference, seconds)
        double secondsPerBlock;
    };
    const Case cases[] = {
        {"four levels", {{-30, 11}, {-10, 5}, {-40, 45}, {-20, 17}, {-30, 22}}, 1.0},
        {"one level rarely", {{-40, 60}, {0, 4}, {-40, 36}}, 1.0},
        // The same quiet time in a few long blocks: the loud blocks are many but short.
        {"unequal blocks", {{-40, 80}, {-5, 20}}, 0.0},
    };
    // No time weighting: each block reads its own level.
    LeqChannelSettings s;
    s.Averaging[LeqChannelSettings::kPercentile] = 0;
    for (const Case& c : cases) {
        auto calc = Make(s);
        const double zero = FullScaleLeq();
        std::vector<std::pair<double, double>> truth;
        double total = 0.0;
        int block = 0;
        for (const auto& [db, seconds] : c.pieces) {
            // "unequal blocks": quiet in 8 blocks of 10 s, loud in 40 blocks of 0.5 s.
            const double each = c.secondsPerBlock > 0.0 ? c.secondsPerBlock : (db < -20 ? 10.0 : 0.5);
            for (double t = 0.0; t < seconds - 1e-9; t += each)
                calc->Accumulate(Tone(1000.0, 1.0e6 * std::pow(10.0, db / 20.0), block++).data(), each);
            truth.emplace_back(zero + db, seconds);
            total += seconds;
        }
        calc->SetElapsed(static_cast<float>(total));
        calc->Compute();
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kLeq), EnergyMean(truth), 0.1) << c.name;
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kL10), Exceeded(truth, 10), 0.1) << c.name;
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kL50), Exceeded(truth, 50), 0.1) << c.name;
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kL90), Exceeded(truth, 90), 0.1) << c.name;
        // The history holds levels, not blocks: a few hundred 0.01 dB steps here.
        EXPECT_LE(calc->HistogramSteps(), 4100u) << c.name;
    }
}

TEST(LeqCalc, AWeightingAt100HzIsTheStandardsMinus19Point1Decibels)
{
    // Four blocks of a 100 Hz tone through a calculator of these settings.
    const auto fed = [](const LeqChannelSettings& s) {
        auto calc = Make(s);
        for (int b = 0; b < 4; ++b)
            calc->Accumulate(Tone(100.0, 1.0e6, b).data(), 1.0);
        calc->Compute();
        return calc;
    };
    const float flat = fed(AllGroups(0, 4))->GetResult(TLeqCalc::kLeq);
    const float a = fed(AllGroups(1, 4))->GetResult(TLeqCalc::kLeq);
    const float c = fed(AllGroups(3, 4))->GetResult(TLeqCalc::kLeq);
    // IEC 61672-1, table 3: A -19.1 dB and C -0.3 dB at 100 Hz.
    EXPECT_NEAR(a - flat, -19.1, 0.3);
    EXPECT_NEAR(c - flat, -0.3, 0.3);
    // Each group keeps its own weighting: C for the percentiles beside A for Leq.
    LeqChannelSettings mixed = AllGroups(1, 1);
    mixed.Weighting[LeqChannelSettings::kPercentile] = 3;
    const auto both = fed(mixed);
    EXPECT_NEAR(both->GetResult(TLeqCalc::kLeq), a, 0.05);
    EXPECT_NEAR(both->GetResult(TLeqCalc::kL50), c, 0.05);
}

// Fast and Slow average over the time their block counts span at a block every 0.1 s, however
// densely the blocks come: 3 s quiet then a loud stretch of 0.3 s, and Lmax against the closed
// form of exponential time weighting, E = E1 + (E0 - E1) (1 - 1/B)^(t / 0.1 s).
TEST(LeqCalc, TimeWeightingSpansItsTimeWhateverTheBlocksStandFor)
{
    struct Case {
        WORD averaging;
        double seconds; // each block stands for
    };
    const Case cases[] = {{1, 0.1}, {1, 0.025}, {1, 0.05}, {1, 0.3}, {3, 0.1}, {3, 0.02}, {3, 0.15}};
    const double loud = FullScaleLeq(), quiet = loud - 20.0;
    for (const Case& c : cases) {
        LeqChannelSettings s = AllGroups(1, c.averaging);
        auto calc = Make(s);
        int block = 0;
        for (long i = std::lround(3.0 / c.seconds); i > 0; --i)
            calc->Accumulate(Tone(1000.0, 1.0e5, block++).data(), c.seconds);
        for (long i = std::lround(0.3 / c.seconds); i > 0; --i)
            calc->Accumulate(Tone(1000.0, 1.0e6, block++).data(), c.seconds);
        calc->SetElapsed(3.3f);
        calc->Compute();
        const double keep = std::pow(1.0 - 1.0 / LeqChannelSettings::BlocksOf(c.averaging), 0.3 / 0.1);
        const double e0 = std::pow(10.0, quiet / 10.0), e1 = std::pow(10.0, loud / 10.0);
        const double lmax = 10.0 * std::log10(e1 + (e0 - e1) * keep);
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kLmax), lmax, 0.05) << c.averaging << " " << c.seconds;
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kLmin), quiet, 0.05) << c.averaging << " " << c.seconds;
        // The integrated levels are not time weighted.
        EXPECT_NEAR(calc->GetResult(TLeqCalc::kLeq), 10.0 * std::log10((e0 * 3.0 + e1 * 0.3) / 3.3), 0.05);
    }
}
