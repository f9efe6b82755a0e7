// The Leq window in a Real Time run on the simulator's real clock with a core kept busy: a
// looped source of loud and quiet stretches, and the window's levels against the run's own
// samples as the real-time buffer file keeps them.
#include "LiveRunFixture.h"

#include "res/resource.h"
#include "utilities/CLeqAnalysisView.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

using livetest::LiveRun;

namespace {
constexpr int kPeriod = 48000; // samples of the looped source
// The level in dB re 1 V of a mean square in counts: full scale is 10 V at the default
// calibration.
double VoltsDb(double meanSquare)
{
    const double volts = 10.0 / 8388607.0;
    return 10.0 * std::log10(meanSquare * volts * volts);
}
} // namespace

TEST_F(LiveRun, TheLeqWindowReadsTheWholeRunOnTheRealClockUnderLoad)
{
    // 1 kHz, 2 s at -10 dB re full scale then 10 s at -40 dB, looped: the run ends in the
    // quiet stretch, as a block of 2 s can't place a change in the run's last second.
    WriteSource("steps.wav", kPeriod,
                "[round(8388607 * (10 ** -0.5 if i < 8000 else 10 ** -2) * "
                "__import__('math').sin(__import__('math').pi * i / 2 + 0.3)) for i in range(48000)]");
    kdrsim::UseTestClock(false);
    Prepare("0=file:" + (root / "steps.wav").string());
    frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 1;
    frame->Settings.FileIO.WaveFileMode = 0;
    frame->Settings.FileIO.RealTimeWaveBufferLengthSecs = 30;
    frame->OnUtilityLeq();
    ASSERT_NE(frame->LeqView, nullptr);

    std::atomic<bool> stop{false};
    std::thread busy([&stop] {
        volatile double x = 0.0;
        while (!stop.load())
            x = x + 1.0;
    });
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    // About 7 s of samples, however slowly the clock of a loaded machine lets them come. The
    // user-interface thread stalls now and then, as on a core too busy to analyse every block.
    for (int i = 0; i < 3000 && frame->InputDevice->GetSampleCounter() < 7 * 4000; ++i) {
        AfxPumpMessages(10);
        if (i % 8 == 7)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    frame->ExecuteCommand(ID_STOP);
    stop = true;
    busy.join();

    // The run's samples, all of them in the buffer file.
    TWaveFile* file = frame->Settings.Files[0].File.get();
    ASSERT_NE(file, nullptr);
    const DWORD n = file->GetLength();
    ASSERT_EQ(static_cast<long long>(n), frame->InputDevice->GetSampleCounter());
    ASSERT_GT(n, 4000u * 5);
    double sum = 0.0, loud = 0.0, quiet = 0.0;
    DWORD loudCount = 0, quietCount = 0;
    for (DWORD i = 0; i < n; ++i) {
        const double v = file->GetSample(i, 0, false);
        sum += v * v;
        // Whole stretches only, away from the changes.
        const DWORD at = i % kPeriod;
        if (at > 400 && at < 7600) {
            loud += v * v;
            ++loudCount;
        } else if (at > 8400 && at < kPeriod - 400) {
            quiet += v * v;
            ++quietCount;
        }
    }
    const double seconds = n / 4000.0;
    const double leq = VoltsDb(sum / n);
    const TLeqCalc* calc = frame->LeqView->GetCalculator(0);
    ASSERT_NE(calc, nullptr);
    // A block every 0.1 s of the run's samples however the ticks fell.
    EXPECT_EQ(calc->GetCount(), (static_cast<long long>(n) - TLeqCalc::kBlock) / 400 + 1);
    float r[TLeqCalc::kResults];
    ASSERT_TRUE(frame->LeqView->GetResults(0, r));
    EXPECT_NEAR(r[TLeqCalc::kLeq], leq, 0.1);
    // The time is the run's own, its samples' (not the wait for the first packet).
    EXPECT_NEAR(r[TLeqCalc::kLsel], leq + 10.0 * std::log10(seconds), 0.1);
    EXPECT_NEAR(r[TLeqCalc::kLeqT], leq + 10.0 * std::log10(seconds / 3600.0), 0.1);
    EXPECT_NEAR(r[TLeqCalc::kLmax], VoltsDb(loud / loudCount), 0.2);
    EXPECT_NEAR(r[TLeqCalc::kLmin], VoltsDb(quiet / quietCount), 0.2);
    EXPECT_NEAR(r[TLeqCalc::kL90], VoltsDb(quiet / quietCount), 0.2);
}
