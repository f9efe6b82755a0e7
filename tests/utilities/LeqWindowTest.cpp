// The Leq window as a user reads it: a microphone of known sensitivity calibrated on the
// channel, a tone of known sound pressure fed through the window's own clock and reader, and
// the grid's numbers against the definitions: SPL = 20 log10(p_rms / 20 uPa), LeqT and Lsel
// from the energy over the elapsed time.
#include "utilities/CLeqAnalysisView.h"
#include "HostRecords.h"
#include "support/MdiFrameFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace hosttest;

namespace {
class LeqWindow : public MdiFrameTest<CMDIFrameWnd, 900, 700> {
protected:
    HostRecords records;
    double pascals = 1.0; // at the microphone
    double now = 1000.0;
    int reads = 0;
    bool ended = false; // the reader has nothing more, as at the end of a file
    long long sample = 0;
    CLeqAnalysisView* view = nullptr;

    void SetUp() override
    {
        MdiFrameTest::SetUp();
        for (LeqChannelSettings& s : records.leq) {
            for (int g = 0; g < LeqChannelSettings::kGroups; ++g) {
                s.Weighting[g] = 1; // A: 0 dB at 1 kHz
                // Each block its own level for Lmax, Lmin and LN, whatever time it stands for.
                s.Averaging[g] = g == LeqChannelSettings::kLmaxMin || g == LeqChannelSettings::kPercentile ? 0 : 4;
            }
        }
    }
    void TearDown() override
    {
        delete view;
        MdiFrameTest::TearDown();
    }

    void Open()
    {
        UtilityHost host = records.Host();
        host.channelTime = [this](int) { return now; };
        host.readSamples = [this](int channel, DWORD count, float* out) {
            if (channel != 0 || ended)
                return false;
            ++reads;
            for (DWORD i = 0; i < count; ++i, ++sample)
                out[i] = static_cast<float>(records.Tone(pascals, sample));
            return true;
        };
        delete view;
        view = new CLeqAnalysisView;
        view->SetHost(host);
        ASSERT_TRUE(view->Create(frame, 20, 20, 120, 40));
    }

    // The grid's text of result column `r` (0 LeqT .. 8 L90) of the first channel's row.
    double Shown(int r) const { return std::atof(view->GetGrid()->GetCellText(1, static_cast<WORD>(r + 2))); }
    void Step(double seconds, bool final = false)
    {
        now += seconds;
        view->Process(final);
    }
};
} // namespace

TEST_F(LeqWindow, AOnePascalToneReadsNinetyFourDecibelsAndTheTimeLevelsFollowTheElapsedTime)
{
    Open();
    ASSERT_NE(view->GetCalculator(0), nullptr);
    EXPECT_EQ(view->GetCalculator(1), nullptr); // not on the device
    EXPECT_EQ(view->GetGrid()->GetRowCount(), 2);

    // Steps of 60 ms: only every second one is at least 0.1 s after the last feed.
    for (int i = 0; i < 10; ++i)
        Step(0.06);
    EXPECT_EQ(reads, 5);

    // Six minutes on, the interval has passed: the grid shows the run's levels.
    Step(360.0 - 0.6);
    EXPECT_EQ(reads, 6);
    const double spl = Spl(pascals); // 93.98 dB
    EXPECT_NEAR(Shown(TLeqCalc::kLeq), spl, 0.2);
    // LeqT spreads that energy over the 3600 s reference time, Lsel over one second.
    EXPECT_NEAR(Shown(TLeqCalc::kLeqT), spl + 10.0 * std::log10(360.0 / 3600.0), 0.2);
    EXPECT_NEAR(Shown(TLeqCalc::kLsel), spl + 10.0 * std::log10(360.0), 0.2);
    // A steady tone: the statistics read its level too.
    for (int r : {TLeqCalc::kLmax, TLeqCalc::kLmin, TLeqCalc::kL10, TLeqCalc::kL50, TLeqCalc::kL90})
        EXPECT_NEAR(Shown(r), spl, 0.2) << r;
    // Ten times the pressure for the next minute, fed every 10 s: the levels cover the whole
    // run, 360 s at 1 Pa and 60 s at 10 Pa, not the last interval. The blocks stand for the
    // time to their middles, so the tone's change counts about a second late here.
    pascals = 10.0;
    for (int i = 0; i < 6; ++i)
        Step(10.0);
    EXPECT_EQ(view->GetCalculator(0)->GetCount(), 12);
    const double whole = spl + 10.0 * std::log10((360.0 + 60.0 * 100.0) / 420.0);
    EXPECT_NEAR(Shown(TLeqCalc::kLeq), whole, 0.2);
    EXPECT_NEAR(Shown(TLeqCalc::kLeqT), whole + 10.0 * std::log10(420.0 / 3600.0), 0.2);
    EXPECT_NEAR(Shown(TLeqCalc::kLsel), whole + 10.0 * std::log10(420.0), 0.2);
    EXPECT_NEAR(Shown(TLeqCalc::kLmax), spl + 20.0, 0.2);
    EXPECT_NEAR(Shown(TLeqCalc::kLmin), spl, 0.2);
    // 10 Pa for a seventh of the time: above 10 %, below 50 %.
    EXPECT_NEAR(Shown(TLeqCalc::kL10), spl + 20.0, 0.2);
    EXPECT_NEAR(Shown(TLeqCalc::kL50), spl, 0.2);
    EXPECT_NEAR(Shown(TLeqCalc::kL90), spl, 0.2);

    // At the end of a file nothing more is fed: the recalculations that follow keep the run's
    // levels on show rather than clearing them.
    ended = true;
    for (int i = 0; i < 3; ++i)
        Step(1.1);
    EXPECT_NEAR(Shown(TLeqCalc::kLmax), spl + 20.0, 0.2);
    EXPECT_NEAR(Shown(TLeqCalc::kL50), spl, 0.2);
    ended = false;

    // The clipboard names the unit of each group's weighting.
    const std::string text = view->ClipboardText();
    EXPECT_NE(text.find("Channel 0\r\nLeq(t) Ref Time = 3600 sec"), std::string::npos) << text;
    char leqLine[64];
    std::snprintf(leqLine, sizeof leqLine, "Leq  \t%6.2f \t dB(A)", view->GetCalculator(0)->GetResult(TLeqCalc::kLeq));
    EXPECT_NE(text.find(leqLine), std::string::npos) << text;
}

TEST_F(LeqWindow, WhenAnalyzerStopsShowsNothingUntilTheRunEndsAndARunGoesOnAcrossMidnight)
{
    records.leq[0].RecalcMode = 1;
    Open();
    for (int i = 0; i < 20; ++i)
        Step(0.1 + 1e-3);
    EXPECT_EQ(reads, 20);
    EXPECT_EQ(Shown(TLeqCalc::kLeq), 0.0);
    Step(0.0, true);
    EXPECT_NEAR(Shown(TLeqCalc::kLeq), Spl(pascals), 0.2);

    // A live run across midnight: the time of day starts again from 0, feeding goes on, and
    // LeqT and Lsel take the whole time since the start (800 s), not a clock gone backwards.
    now = 86000.0;
    Open();
    reads = 0;
    Step(399.9);
    now = 0.2; // 00:00:00.2
    view->Process(false);
    Step(0.15);
    Step(0.15);
    Step(399.5);
    EXPECT_EQ(reads, 4);
    Step(0.0, true);
    const double leq = Shown(TLeqCalc::kLeq);
    EXPECT_NEAR(leq, Spl(pascals), 0.2);
    EXPECT_NEAR(Shown(TLeqCalc::kLeqT), leq + 10.0 * std::log10(800.0 / 3600.0), 0.15);
    EXPECT_NEAR(Shown(TLeqCalc::kLsel), leq + 10.0 * std::log10(800.0), 0.15);
}
