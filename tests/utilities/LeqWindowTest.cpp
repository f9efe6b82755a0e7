// The Leq window as a user reads it: a microphone of known sensitivity calibrated on the
// channel, a tone of known sound pressure served through the window's own clock and reader,
// and the grid's numbers against the definitions: SPL = 20 log10(p_rms / 20 uPa), LeqT and
// Lsel from the energy over the elapsed time.
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
    long long sample = 0;      // the channel's next sample
    long long changeAt = -1;   // from here on the tone is ten times louder
    long long goneBefore = 0;  // samples before this are no longer in the ring
    bool ended = false;        // the reader has nothing more, as at the end of a file
    bool running = true;       // a live run goes
    int reads = 0;
    CLeqAnalysisView* view = nullptr;

    void SetUp() override
    {
        MdiFrameTest::SetUp();
        for (LeqChannelSettings& s : records.leq) {
            for (int g = 0; g < LeqChannelSettings::kGroups; ++g) {
                s.Weighting[g] = 1; // A: 0 dB at 1 kHz
                // Each block its own level for Lmax, Lmin and LN.
                s.Averaging[g] = g == LeqChannelSettings::kLmaxMin || g == LeqChannelSettings::kPercentile ? 0 : 4;
            }
        }
    }
    void TearDown() override
    {
        delete view;
        MdiFrameTest::TearDown();
    }

    DWORD Rate() const { return records.processing[0].SampleFormat.SampleRate; }
    void Open()
    {
        UtilityHost host = records.Host();
        host.sampleClock = [this](int channel) {
            UtilityHost::SampleClock c;
            if (channel == 0) {
                c.next = sample;
                c.rate = Rate();
            }
            return c;
        };
        host.liveRunning = [this] { return running; };
        host.readSamples = [this](int channel, long long first, DWORD count, float* out) {
            if (channel != 0 || first < goneBefore)
                return UtilityHost::SampleRead::Gone;
            if (ended || first + count > sample)
                return UtilityHost::SampleRead::NotYet;
            ++reads;
            for (DWORD i = 0; i < count; ++i) {
                const long long n = first + i;
                out[i] = static_cast<float>(records.Tone(changeAt >= 0 && n >= changeAt ? 10.0 : 1.0, n));
            }
            return UtilityHost::SampleRead::Ok;
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
        sample += std::llround(seconds * Rate());
        view->Process(final);
    }
    // Blocks whole within the first `samples` from the start, one every hop.
    long long BlocksIn(long long samples) const
    {
        return samples < TLeqCalc::kBlock ? 0 : (samples - TLeqCalc::kBlock) / CLeqAnalysisView::HopSamples(Rate()) + 1;
    }
};
} // namespace

// 36 s at 1 Pa, then 6 s at 10 Pa, at the device's rate and at a sound card's: the window is
// called at steps of 60 ms, then once after half a minute, then every second (a frame with a
// long hop, or one too busy to analyse every block), and still reads every sample.
TEST_F(LeqWindow, ACalibratedToneReadsItsLevelsOverEverySampleHoweverTheWindowIsCalled)
{
    for (DWORD rate : {4000u, 44100u}) {
        SCOPED_TRACE(rate);
        records.processing[0].SampleFormat.Set(rate, 1, 3);
        sample = 0;
        changeAt = -1;
        ended = false;
        Open();
        ASSERT_NE(view->GetCalculator(0), nullptr);
        EXPECT_EQ(view->GetCalculator(1), nullptr); // not on the device
        EXPECT_EQ(view->GetGrid()->GetRowCount(), 2);
        // A block every 0.1 s of samples, at most a quarter block apart.
        EXPECT_EQ(CLeqAnalysisView::HopSamples(rate), rate == 4000 ? 400 : 2048);

        for (int i = 0; i < 50; ++i)
            Step(0.06);
        EXPECT_EQ(view->GetCalculator(0)->GetCount(), BlocksIn(sample));
        Step(36.0 - 3.0);
        changeAt = sample;
        for (int i = 0; i < 6; ++i)
            Step(1.0);
        EXPECT_EQ(view->GetCalculator(0)->GetCount(), BlocksIn(sample));
        const double spl = Spl(1.0); // 93.98 dB
        const double whole = spl + 10.0 * std::log10((36.0 + 6.0 * 100.0) / 42.0);
        EXPECT_NEAR(Shown(TLeqCalc::kLeq), whole, 0.1);
        // LeqT spreads that energy over the 3600 s reference time, Lsel over one second.
        EXPECT_NEAR(Shown(TLeqCalc::kLeqT), whole + 10.0 * std::log10(42.0 / 3600.0), 0.1);
        EXPECT_NEAR(Shown(TLeqCalc::kLsel), whole + 10.0 * std::log10(42.0), 0.1);
        EXPECT_NEAR(Shown(TLeqCalc::kLmax), spl + 20.0, 0.1);
        EXPECT_NEAR(Shown(TLeqCalc::kLpk), spl + 20.0, 0.1);
        EXPECT_NEAR(Shown(TLeqCalc::kLmin), spl, 0.1);
        // 10 Pa for a seventh of the time: above 10 %, below 50 %.
        EXPECT_NEAR(Shown(TLeqCalc::kL10), spl + 20.0, 0.1);
        EXPECT_NEAR(Shown(TLeqCalc::kL50), spl, 0.1);
        EXPECT_NEAR(Shown(TLeqCalc::kL90), spl, 0.1);

        // At the end of a file nothing more is fed: the recalculations that follow keep the
        // run's levels on show rather than clearing them.
        ended = true;
        for (int i = 0; i < 3; ++i)
            Step(1.1);
        EXPECT_NEAR(Shown(TLeqCalc::kLmax), spl + 20.0, 0.1);
        EXPECT_NEAR(Shown(TLeqCalc::kL50), spl, 0.1);
    }

    // The clipboard names the unit of each group's weighting.
    const std::string text = view->ClipboardText();
    EXPECT_NE(text.find("Channel 0\r\nLeq(t) Ref Time = 3600 sec"), std::string::npos) << text;
    char leqLine[64];
    std::snprintf(leqLine, sizeof leqLine, "Leq  \t%6.2f \t dB(A)", view->GetCalculator(0)->GetResult(TLeqCalc::kLeq));
    EXPECT_NE(text.find(leqLine), std::string::npos) << text;
}

// "When analyzer stops" shows nothing until the run ends. A window reset before a live run
// counts from the run's first sample, whatever the last run counted; samples the ring lost
// are stood for by the newest block, and the run's time stays whole.
TEST_F(LeqWindow, WhenAnalyzerStopsShowsNothingUntilTheRunEndsAndALiveRunCountsFromItsFirstSample)
{
    records.processing[0].SampleFormat.Set(4000, 1, 3);
    records.leq[0].RecalcMode = 1;
    running = false;
    sample = 123456; // the last run's count, until the device starts again
    Open();
    // Between runs the ring still holds the last run's samples: they are not this one's.
    view->Process(false);
    EXPECT_EQ(view->GetCalculator(0)->GetCount(), 0);
    sample = 0;
    running = true;
    for (int i = 0; i < 40; ++i)
        Step(0.1);
    EXPECT_EQ(view->GetCalculator(0)->GetCount(), BlocksIn(sample));
    EXPECT_EQ(Shown(TLeqCalc::kLeq), 0.0);
    // The window misses a minute and more: the ring holds only the last 60 s.
    sample += 100 * 4000;
    goneBefore = sample - 60 * 4000;
    view->Process(false);
    Step(10.0);
    running = false;
    Step(0.0, true);
    EXPECT_NEAR(Shown(TLeqCalc::kLeq), Spl(1.0), 0.1);
    EXPECT_NEAR(Shown(TLeqCalc::kLsel), Spl(1.0) + 10.0 * std::log10(114.0), 0.1);
    EXPECT_LT(view->GetCalculator(0)->GetCount(), BlocksIn(sample) / 2);
}
