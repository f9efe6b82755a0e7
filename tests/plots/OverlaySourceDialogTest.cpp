// "Select Data Source": offers the last choice and changes it on OK only.
#include "platform/core/Resources.h"
#include "plots/TOverlaySourceSelectDialog.h"
#include "res/PlotSelectionDialogIds.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

namespace {
QAbstractButton* Button(CWnd& d, int id) { return QtControlOf<QAbstractButton>(&d, id); }

class OverlaySource : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
    }
};
} // namespace

TEST_F(OverlaySource, OkTakesTheCheckedSourceAndTheLastChoiceIsOfferedAgain)
{
    BYTE choice = 0;
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(d.GetWindowTextString(), "Select Data Source");
        ASSERT_NE(Button(d, IDC_SOURCE_SPECTRAL), nullptr);
        EXPECT_TRUE(Button(d, IDC_SOURCE_SPECTRAL)->isChecked());
        Button(d, IDC_SOURCE_PEAK_HOLD)->click();
        Button(d, IDOK)->click();
    });
    TOverlaySourceSelectDialog first(nullptr, &choice);
    EXPECT_EQ(first.DoModal(), IDOK);
    EXPECT_EQ(choice, 1);

    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_TRUE(Button(d, IDC_SOURCE_PEAK_HOLD)->isChecked());
        Button(d, IDC_SOURCE_SPECTRAL)->click();
        Button(d, IDCANCEL)->click();
    });
    TOverlaySourceSelectDialog second(nullptr, &choice);
    EXPECT_EQ(second.DoModal(), 2); // IDCANCEL
    EXPECT_EQ(choice, 1);
}
