// The Leq calculator against closed forms: LeqT and Lsel from the energy average and the
// elapsed time, the A-weighting of IEC 61672 at 100 Hz, and the statistics of a steady tone.
#include "utilities/TLeqCalc.h"

#include <gtest/gtest.h>

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

// A calculator with a small history (the statistics need no 24 hours).
std::unique_ptr<TLeqCalc> Make(const LeqChannelSettings& s)
{
    return std::make_unique<TLeqCalc>(s, ChannelProcessingSettings(), ChannelScalingSettings(), ChannelCalibration(),
                                      1.0f, 1000);
}
} // namespace

TEST(LeqCalc, LeqTAndLselFollowFromTheEnergyAverageAndTheElapsedTime)
{
    LeqChannelSettings s = AllGroups(0, 3);
    s.ReferenceTime = 3600;
    auto calc = Make(s);
    ASSERT_TRUE(calc->IsComplete());
    for (int b = 0; b < 12; ++b)
        calc->Accumulate(Tone(250.0, 1.0e6, b).data());
    calc->SetElapsed(360.0f);
    calc->Compute();
    const float leq = calc->GetResult(TLeqCalc::kLeq);
    EXPECT_GT(leq, -200.0f);
    EXPECT_NEAR(calc->GetResult(TLeqCalc::kLeqT), leq - 10.0f, 0.01);
    EXPECT_NEAR(calc->GetResult(TLeqCalc::kLsel), leq + 10.0 * std::log10(360.0), 0.01);

    // A steady tone: every statistic reads the same level.
    for (int r : {TLeqCalc::kLpk, TLeqCalc::kLmax, TLeqCalc::kLmin, TLeqCalc::kL10, TLeqCalc::kL50, TLeqCalc::kL90})
        EXPECT_NEAR(calc->GetResult(r), leq, 0.3) << r;

    // A tone 20 dB louder raises every level by 20 dB.
    auto loud = Make(s);
    for (int b = 0; b < 12; ++b)
        loud->Accumulate(Tone(250.0, 1.0e7, b).data());
    loud->SetElapsed(360.0f);
    loud->Compute();
    EXPECT_NEAR(loud->GetResult(TLeqCalc::kLeq) - leq, 20.0, 0.05);
}

TEST(LeqCalc, AWeightingAt100HzIsTheStandardsMinus19Point1Decibels)
{
    auto flat = Make(AllGroups(0, 4));
    auto a = Make(AllGroups(1, 4));
    auto c = Make(AllGroups(3, 4));
    for (int b = 0; b < 4; ++b) {
        const auto tone = Tone(100.0, 1.0e6, b);
        flat->Accumulate(tone.data());
        a->Accumulate(tone.data());
        c->Accumulate(tone.data());
    }
    flat->Compute();
    a->Compute();
    c->Compute();
    // IEC 61672-1, table 3: A -19.1 dB and C -0.3 dB at 100 Hz.
    EXPECT_NEAR(a->GetResult(TLeqCalc::kLeq) - flat->GetResult(TLeqCalc::kLeq), -19.1, 0.3);
    EXPECT_NEAR(c->GetResult(TLeqCalc::kLeq) - flat->GetResult(TLeqCalc::kLeq), -0.3, 0.3);
}

TEST(LeqCalc, OneStoredEntryGivesEveryPercentileAndAnEmptyIntervalHasNoLevel)
{
    auto calc = Make(AllGroups(0, 1));
    calc->Accumulate(Tone(500.0, 1.0e6, 0).data());
    EXPECT_EQ(calc->GetCount(), 1);
    calc->Compute();
    const float l = calc->GetResult(TLeqCalc::kL50);
    EXPECT_NE(l, 0.0f);
    EXPECT_EQ(calc->GetResult(TLeqCalc::kL10), l);
    EXPECT_EQ(calc->GetResult(TLeqCalc::kL90), l);
    EXPECT_EQ(calc->GetResult(TLeqCalc::kLmax), calc->GetResult(TLeqCalc::kLmin));
    calc->ResetInterval();
    EXPECT_EQ(calc->GetCount(), 0);
    // An interval with nothing fed has no level: none of the last interval's results stays.
    calc->Compute();
    for (int r = 0; r < TLeqCalc::kResults; ++r)
        EXPECT_FLOAT_EQ(calc->GetResult(r), -999.9f) << r;
    calc->Accumulate(Tone(500.0, 1.0e4, 1).data());
    calc->Compute();
    EXPECT_NEAR(calc->GetResult(TLeqCalc::kL50), l - 40.0f, 0.5);

    // A quiet stretch then a loud one: L10 reads the loud level, L90 the quiet one.
    auto mixed = Make(AllGroups(0, 0));
    for (int b = 0; b < 21; ++b)
        mixed->Accumulate(Tone(500.0, b < 10 ? 1.0e4 : 1.0e6, b).data());
    mixed->Compute();
    EXPECT_NEAR(mixed->GetResult(TLeqCalc::kL10) - mixed->GetResult(TLeqCalc::kL90), 40.0, 1.0);
    EXPECT_GE(mixed->GetResult(TLeqCalc::kLmax), mixed->GetResult(TLeqCalc::kL10));
    EXPECT_LE(mixed->GetResult(TLeqCalc::kLmin), mixed->GetResult(TLeqCalc::kL90));

    // The loudest block is the last one fed before the recalculation: Lmax and Lpk hold it.
    auto last = Make(AllGroups(0, 0));
    for (int b = 0; b < 6; ++b)
        last->Accumulate(Tone(500.0, b < 5 ? 1.0e4 : 1.0e6, b).data());
    last->Compute();
    EXPECT_NEAR(last->GetResult(TLeqCalc::kLmax) - last->GetResult(TLeqCalc::kLmin), 40.0, 1.0);
    EXPECT_NEAR(last->GetResult(TLeqCalc::kLpk), last->GetResult(TLeqCalc::kLmax), 0.01);
}
