// The THD window in a Real Time run on the simulator, with the channel's default processing
// (Hann, exponential averaging over 3 blocks at 90 % overlap), FFT 4096: a file of a 97 Hz tone
// with its 2nd and 3rd harmonics (THD 0.1118 %) and noise 40 dB under the tone, looped. The
// window reads that THD within 1 dB or N/A, never the noise (it alternated N/A with
// 0.158-0.170 %).
#include "LiveRunFixture.h"

#include "res/resource.h"
#include "utilities/CAnalysisView.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

using livetest::LiveRun;

TEST_F(LiveRun, TheThdWindowReadsTheFilesThdOrNothingAt40DbSnr)
{
    // 40000 samples hold 970 whole periods: the loop joins without a step. The noise's rms is
    // 1500000 * 0.0197721 = 29658, 40 dB under the tone's 2965821.
    WriteSource("thd.wav", 40000,
                "[round(4194303 * (__import__('math').sin(2 * __import__('math').pi * 97 * i / 4000) + "
                "0.001 * __import__('math').sin(4 * __import__('math').pi * 97 * i / 4000 + 0.4) + "
                "0.0005 * __import__('math').sin(6 * __import__('math').pi * 97 * i / 4000 + 1.9)) + "
                "0.0197721 * x[i]) for i in range(40000)]");
    Prepare("0=file:" + (root / "thd.wav").string());
    ChannelProcessingSettings& p = frame->Settings.Processing[0];
    const ChannelProcessingSettings defaults;
    p.SmoothingWindow = defaults.SmoothingWindow;
    p.AverageBlocks = defaults.AverageBlocks;
    p.AverageType = defaults.AverageType;
    p.OverlapPercent = defaults.OverlapPercent;
    p.FFTsize = 4096;
    frame->OnUtilityTHD();
    ASSERT_NE(frame->THDView, nullptr);
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));

    const double truth = 100 * std::sqrt(0.001 * 0.001 + 0.0005 * 0.0005);
    int readings = 0, numbers = 0;
    std::string seen;
    // The first block is whole after a second; then one reading every 100 ms for 4 s.
    Play(1500);
    for (int i = 0; i < 40 && frame->AcquisitionRunning; ++i) {
        Play(100);
        const std::string read = frame->THDView->GetGrid()->GetCellText(1, 1);
        ++readings;
        if (read == "N/A")
            continue;
        ++numbers;
        const double db = 20 * std::log10(std::atof(read.c_str()) / truth);
        if (!(std::abs(db) <= 1.0))
            seen += read + " ";
    }
    frame->ExecuteCommand(ID_STOP);
    std::printf("%d of %d readings were numbers\n", numbers, readings);
    EXPECT_GE(readings, 30);
    EXPECT_TRUE(seen.empty()) << "read " << seen << "for " << truth << " % (" << numbers << " numbers of " << readings
                              << " readings)";
}
