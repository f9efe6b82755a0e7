// Options > System Check on the simulator: channels rated from what the device sends, the
// thresholds, the grid as drawn, and a missing device.
#include "app/FrameFixture.h"

#include "acquisition/CSystemCheckDlg.h"
#include "acquisition/TUsbDevice.h"
#include "platform/usb/KdrSimulator.h"
#include "res/DeviceDialogIds.h"
#include "res/resource.h"

#include "support/QtTestAccess.h"

namespace {

class SystemCheck : public frametest::FrameFixture {
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        kdrsim::UseTestClock(true);
    }
    void TearDown() override
    {
        FrameFixture::TearDown();
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
    }
    static void Advance(DWORD ms)
    {
        for (; ms > 0; ms -= 500) {
            kdrsim::AdvanceClock(500);
            ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
        }
    }
    static std::string ButtonText(CWnd& d)
    {
        std::string text;
        static_cast<CDialog&>(d).GetDlgItemText(IDC_SYSTEM_CHECK_START, text);
        return text;
    }
};

} // namespace

TEST_F(SystemCheck, RatesEveryChannelFromTheDeviceEveryHalfSecond)
{
    std::string error;
    ASSERT_TRUE(kdrsim::ConfigureSources("0=sine:1000:-6;2=sine:100:-60;7=sine:800:0", &error)) << error;
    ASSERT_NE(Start(), nullptr);
    bool ran = false;
    CDialog::ScriptModal([&](CWnd& d) {
        auto& dlg = static_cast<CSystemCheckDlg&>(d);
        CSystemCheckGrid& grid = dlg.GetGrid();
        EXPECT_EQ(grid.GetCellText(0, 1), "Signal Level (dBV)"); // channel 0 is calibrated in volts
        EXPECT_EQ(grid.GetCellText(1, 0), "Crown");
        EXPECT_EQ(grid.GetCellText(7, 0), "Base");
        EXPECT_EQ(grid.GetCellText(1, 2), "");
        dlgtest::Click(d, IDC_SYSTEM_CHECK_START);
        ASSERT_TRUE(dlg.IsRunning());
        EXPECT_EQ(ButtonText(d), "Stop");
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
        Advance(1000);
        dlg.SendMessage(WM_TIMER, CSystemCheckDlg::kTimerSystemCheck);
        // A 1 kHz tone inside 400..1200 Hz fails; a 100 Hz tone outside it and the dithered
        // silence of the terminated channels are good. Channel 7 (a tone, sharing the device's
        // block with channel 0) has no row.
        EXPECT_EQ(grid.GetCellText(1, 2), "Fail");
        EXPECT_EQ(grid.GetCellColor(1, 2), 2);
        for (int row : {2, 3, 4, 5, 6, 7}) {
            EXPECT_EQ(grid.GetCellText(row, 2), "Good") << row << " " << grid.GetCellText(row, 1);
            EXPECT_EQ(grid.GetCellColor(row, 2), 1) << row;
        }
        EXPECT_LT(dlg.GetLevel(2), dlg.GetLevel(0) - 40.0f);
        EXPECT_EQ(dlg.GetLevel(7), CSystemCheckDlg::kNoLevel);
        // The grid as drawn: red behind the failing verdict, green behind a good one.
        AfxPumpMessages(5);
        const QImage picture = QtPictureOf(&grid);
        EXPECT_EQ(picture.pixel(picture.width() - 6, 22 + 2), qRgb(255, 0, 0));
        EXPECT_EQ(picture.pixel(picture.width() - 6, 3 * 22 + 2), qRgb(0, 200, 0));

        // A stalled device: the channels keep their last verdicts.
        const std::string level = grid.GetCellText(1, 1);
        kdrsim::Stall(5000);
        Advance(500);
        dlg.SendMessage(WM_TIMER, CSystemCheckDlg::kTimerSystemCheck);
        EXPECT_EQ(grid.GetCellText(1, 1), level);

        dlgtest::Click(d, IDC_SYSTEM_CHECK_START); // Stop: the verdicts stay
        EXPECT_FALSE(dlg.IsRunning());
        EXPECT_EQ(ButtonText(d), "Start");
        EXPECT_EQ(grid.GetCellText(1, 2), "Fail");
        dlgtest::Click(d, IDC_SYSTEM_CHECK_START);
        EXPECT_TRUE(dlg.IsRunning());
        ran = true;
        dlgtest::Click(d, IDCANCEL); // Close stops the running check first
    });
    frame->SendMessage(WM_COMMAND, ID_SYSTEM_CHECK);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(frame->InputDevice->IsReading());
}

TEST_F(SystemCheck, ThresholdsAndAMissingDevice)
{
    ASSERT_NE(Start(), nullptr);
    kdrsim::Unplug();
    user.ExpectBox(IDOK, "A Durnex KDR-5200 device was not found on your system.");
    CDialog::ScriptModal([&](CWnd& d) {
        auto& dlg = static_cast<CSystemCheckDlg&>(d);
        dlgtest::Click(d, IDC_SYSTEM_CHECK_START);
        EXPECT_FALSE(dlg.IsRunning());
        EXPECT_EQ(ButtonText(d), "Start");

        const float levels[7] = {-80.0f, -70.0f, -80.001f, -999.5f, -998.0f, -69.999f, -70.001f};
        for (int ch = 0; ch < 7; ++ch)
            dlg.SetLevel(ch, levels[ch]);
        dlg.RateChannels();
        CSystemCheckGrid& grid = dlg.GetGrid();
        const char* verdict[7] = {"Marginal", "Fail", "Good", "", "Good", "Fail", "Marginal"};
        const int colour[7] = {5, 2, 1, 0, 1, 2, 5};
        for (int ch = 0; ch < 7; ++ch) {
            EXPECT_EQ(grid.GetCellText(ch + 1, 2), verdict[ch]) << ch;
            EXPECT_EQ(grid.GetCellColor(ch + 1, 2), colour[ch]) << ch;
        }
        EXPECT_EQ(grid.GetCellText(1, 1), "-80.000");
        EXPECT_EQ(grid.GetCellText(4, 1), "");
        EXPECT_EQ(CSystemCheckGrid::ColorOf(5), RGB(178, 178, 0));
        dlgtest::Click(d, IDCANCEL);
    });
    frame->SendMessage(WM_COMMAND, ID_SYSTEM_CHECK);
    kdrsim::Plug();
}

// The level column names the unit the levels are measured in: channel 0's calibration's.
TEST_F(SystemCheck, TheLevelHeadingNamesTheCalibrationsUnit)
{
    std::string error;
    ASSERT_TRUE(kdrsim::ConfigureSources("0=sine:1000:-6", &error)) << error;
    ASSERT_NE(Start(), nullptr);
    const struct {
        BYTE enabled;
        WORD units;
        const char* heading;
    } cases[] = {{0, 0, "Signal Level (dBFS)"}, {1, 0, "Signal Level (dBV)"}, {1, 1, "Signal Level (dBmV)"}};
    for (const auto& c : cases) {
        frame->Settings.Calibration[0].IsEnabled = c.enabled;
        frame->Settings.Calibration[0].RefUnits = c.units;
        float level = 0.0f;
        CDialog::ScriptModal([&](CWnd& d) {
            auto& dlg = static_cast<CSystemCheckDlg&>(d);
            EXPECT_EQ(dlg.GetGrid().GetCellText(0, 1), c.heading);
            if (c.enabled == 0) {
                dlgtest::Click(d, IDC_SYSTEM_CHECK_START);
                ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
                Advance(1000);
                dlg.SendMessage(WM_TIMER, CSystemCheckDlg::kTimerSystemCheck);
                level = dlg.GetLevel(0);
            }
            dlgtest::Click(d, IDCANCEL);
        });
        frame->SendMessage(WM_COMMAND, ID_SYSTEM_CHECK);
        // Uncalibrated, a tone 6 dB below full scale reads as such in dBFS.
        if (c.enabled == 0)
            EXPECT_NEAR(level, -6.0f, 0.5f);
    }
}
