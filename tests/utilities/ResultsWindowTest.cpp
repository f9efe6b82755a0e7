// The single-number results windows as a user reads them: a calibrated microphone's tone of
// known pressure, and the peak frequency, peak level and total power rows against the
// definition of sound pressure level and IEC 61672's A-weighting.
#include "utilities/CAnalysisView.h"
#include "HostRecords.h"
#include "support/MdiFrameFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace hosttest;

namespace {
class ResultsWindow : public MdiFrameTest<CMDIFrameWnd, 900, 700> {
protected:
    HostRecords records;
    std::unique_ptr<SpectralData> engine; // channel 0's

    void SetUp() override
    {
        MdiFrameTest::SetUp();
        records.processing[0].FFTsize = 8192; // lines 0.49 Hz apart
        records.composites[0].bIsEnabled = 0;
    }

    // The value row of channel 0 in a window of `kind` over the engine.
    double Shown(WORD kind)
    {
        UtilityHost host = records.Host();
        host.spectral = [this](int ch) { return ch == 0 ? engine.get() : nullptr; };
        auto view = std::make_unique<CAnalysisView>();
        view->SetHost(host);
        EXPECT_TRUE(view->Create(frame, 20, 20, 0, 0, kind));
        view->Reset();
        EXPECT_EQ(view->GetGrid()->GetRowCount(), 2); // header, channel 0
        return std::atof(view->GetGrid()->GetCellText(1, 1));
    }
};
} // namespace

TEST_F(ResultsWindow, PeakAndTotalPowerOfACalibratedToneReadItsSoundPressureLevel)
{
    engine = records.Spectrum(1.0, 1000.0);
    ASSERT_NE(engine, nullptr);
    EXPECT_NEAR(Shown(7), 1000.0, 0.5);     // Peak Frequency, Hz
    EXPECT_NEAR(Shown(8), Spl(1.0), 0.05);  // Peak Level: the line of a tone on a bin
    EXPECT_NEAR(Shown(9), Spl(1.0), 0.05);  // Total Power, flat

    // 100 Hz through the A-weighting of total power: IEC 61672-1 gives -19.1 dB.
    records.scaling[0].TotalPowerWeighting = 1;
    engine = records.Spectrum(2.0, 100.0);
    ASSERT_NE(engine, nullptr);
    EXPECT_NEAR(Shown(9), Spl(2.0) - 19.1, 0.1);
}
