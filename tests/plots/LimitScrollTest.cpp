// The spinner of numeric boxes: steps within limits, written back with its precision.
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Controls.h"
#include "platform/ui/WinApp.h"
#include "plots/TLimitScroll.h"

#include <gtest/gtest.h>

namespace {
class LimitScroll : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxEnsureQtApplication();
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "spin host", WS_POPUP, CRect(0, 0, 200, 100), nullptr, 0));
        ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 80, 20), &parent, 1001));
    }
    std::string Text() const { return edit.GetWindowTextString(); }
    CWnd parent;
    CEdit edit;
};
} // namespace

TEST_F(LimitScroll, AdditiveStepsStopAtTheLimits)
{
    TLimitScroll spin(&parent, 1002, &edit, 10.0f, -20.0f, 1.0f);
    EXPECT_FALSE(spin.IsWindowVisible()); // the owner places and shows it
    edit.SetWindowText("9.5");
    spin.StepUp();
    EXPECT_EQ(Text(), "10");
    spin.StepUp();
    EXPECT_EQ(Text(), "10");
    edit.SetWindowText("-19");
    spin.StepDown();
    EXPECT_EQ(Text(), "-20");
    spin.StepDown();
    EXPECT_EQ(Text(), "-20");
    // Text that is no number reads as 0.
    edit.SetWindowText("abc");
    spin.StepUp();
    EXPECT_EQ(Text(), "1");
}

TEST_F(LimitScroll, AValueThatRoundsToZeroIsWrittenWithoutASign)
{
    TLimitScroll spin(&parent, 1002, &edit, 100.0f, -100.0f, 1.0f);
    spin.SetPrecision(2);
    edit.SetWindowText("-1.004");
    spin.StepUp();
    EXPECT_EQ(Text(), "0.00");
    spin.SetPrecision(12);
    edit.SetWindowText("-1.0");
    spin.StepUp();
    EXPECT_EQ(Text(), "0.0e+00");
    // Values that do not round to zero keep their sign.
    EXPECT_EQ(TLimitScroll::FormatValue("%3.2f", -0.005001), "-0.01");
    EXPECT_EQ(TLimitScroll::FormatValue("%1.1e", -2e-9), "-2.0e-09");
    EXPECT_EQ(TLimitScroll::FormatValue("%3.1f", -0.04), "0.0");
}

TEST_F(LimitScroll, MultiplicativeStepsStartFromOneAndFallToTheMinimum)
{
    TLimitScroll spin(&parent, 1002, CRect(82, 0, 94, 20), &edit, 1000.0f, 0.001f, 2.0f);
    spin.SetStep(2.0f, 1);
    edit.SetWindowText("0");
    spin.StepUp();
    EXPECT_EQ(Text(), "1");
    spin.StepUp();
    EXPECT_EQ(Text(), "2");
    edit.SetWindowText("0");
    spin.SetPrecision(3);
    spin.StepDown();
    EXPECT_EQ(Text(), "0.001");

    spin.SetPrecision(4);
    edit.SetWindowText("0.0015");
    spin.StepDown();
    EXPECT_EQ(Text(), "0.0010");
}

TEST_F(LimitScroll, SettersKeepWhatTheyMust)
{
    TLimitScroll spin(&parent, 1002, 0, 0, 12, 20, &edit, 20.0f, -20.0f, 1.0f);
    spin.SetLimits(5.0f, 5.0f);
    spin.SetLimits(1.0f, 10.0f);
    EXPECT_EQ(spin.GetMaximum(), 20.0f);
    EXPECT_EQ(spin.GetMinimum(), -20.0f);
    spin.SetLimits(30.0f, -30.0f);
    EXPECT_EQ(spin.GetMaximum(), 30.0f);

    spin.SetStep(0.0f, 1);
    EXPECT_EQ(spin.GetStepMode(), 1);
    EXPECT_EQ(spin.GetStep(), 1.0f);

    spin.SetPrecision(-3);
    EXPECT_STREQ(spin.GetFormat(), "%1.0f");
    spin.SetPrecision(12);
    EXPECT_STREQ(spin.GetFormat(), "%1.1e");
    spin.SetStep(10.0f, 1);
    edit.SetWindowText("2");
    spin.StepUp();
    EXPECT_EQ(Text(), "2.0e+01");
}

