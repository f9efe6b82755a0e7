// The data logging sheet: one page per available channel, validation that keeps the sheet
// open on the failing page, the interval's limits, and copying a page to all channels.
#include "utilities/CDataLoggingMainDlg.h"

#include "platform/core/Resources.h"
#include "platform/dialogs/DialogTestSupport.h"
#include "platform/ui/Controls.h"
#include "res/UtilityDialogIds.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

using namespace dlgtest;

namespace {
class DataLoggingSheet : public TemplateDialogTest {
protected:
    void SetUp() override
    {
        TemplateDialogTest::SetUp();
        block.Channel[0].Enable = 1;
        block.Channel[0].DataItem[0] = 1;
    }

    static void UncheckAll(CDataLogChannelOptionsDlg& page)
    {
        auto* list = static_cast<CListCtrl*>(page.GetDlgItem(IDC_LOGCH_ITEMS));
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->GetItemCount(), DataLoggingSettings::kDataItems);
        for (int r = 0; r < list->GetItemCount(); ++r)
            list->SetCheck(r, FALSE);
    }

    DataLoggingBlock block;
    bool inputs[8] = {true, true, false, false, false, false, false, false};
    bool composites[16] = {};
};
} // namespace

TEST_F(DataLoggingSheet, AFailingPageKeepsTheSheetOpenUntilItsValuesPass)
{
    ScriptedUser user;
    user.ExpectBox(IDOK, "You must select at least one data item.");
    user.ExpectBox(IDOK, "The Logging Update Interval must be less than 3600 seconds");
    CDataLoggingMainDlg sheet(nullptr, &block, inputs, composites, "/tmp");
    ASSERT_EQ(sheet.ChannelPageCount(), 2);
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<CPropertySheet&>(w);
        EXPECT_EQ(s.GetActivePage(), sheet.FilePage()); // every page built, the file page on show
        CDataLogChannelOptionsDlg& page = *sheet.ChannelPage(0);
        EXPECT_EQ(page.GetTabText(), "Ch 0");
        UncheckAll(page);
        Click(s, IDOK);
        EXPECT_EQ(s.GetActivePage(), &page);

        // The list is keyed by item number: Complex Spectrum Values (33) stands after Phase.
        auto* list = static_cast<CListCtrl*>(page.GetDlgItem(IDC_LOGCH_ITEMS));
        EXPECT_EQ(list->GetItemData(15), 33u);
        list->SetCheck(15, TRUE);
        page.CheckRadioButton(IDC_LOGCH_ASOFTEN, IDC_LOGCH_INTERVALS, IDC_LOGCH_INTERVALS);
        page.SetDlgItemText(IDC_LOGCH_INTERVAL, "3600.5");
        Click(s, IDOK);
        page.SetDlgItemText(IDC_LOGCH_INTERVAL, "3600");
        Click(s, IDOK);
    });
    ASSERT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(block.Channel[0].DataItem[33], 1);
    EXPECT_EQ(block.Channel[0].DataItem[0], 0);
    EXPECT_EQ(block.Channel[0].IntervalFlag, 1);
    EXPECT_FLOAT_EQ(block.Channel[0].IntervalSecs, 3600.0f);
}

TEST_F(DataLoggingSheet, ANegativeIntervalIsStoredAsZeroAndCopiedToEveryChannel)
{
    CDataLoggingMainDlg sheet(nullptr, &block, inputs, composites, "/tmp");
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<CPropertySheet&>(w);
        CDataLogChannelOptionsDlg& page = *sheet.ChannelPage(0);
        s.SetActivePage(&page);
        page.CheckRadioButton(IDC_LOGCH_ASOFTEN, IDC_LOGCH_INTERVALS, IDC_LOGCH_INTERVALS);
        page.SetDlgItemText(IDC_LOGCH_INTERVAL, "-5");
        Click(page, IDC_LOGCH_COPY_ALL);
        Click(s, IDOK);
    });
    ASSERT_EQ(sheet.DoModal(), IDOK);
    for (int ch : {0, 1}) {
        EXPECT_EQ(block.Channel[ch].Enable, 1) << ch;
        EXPECT_EQ(block.Channel[ch].DataItem[0], 1) << ch;
        EXPECT_EQ(block.Channel[ch].IntervalFlag, 1) << ch;
        EXPECT_FLOAT_EQ(block.Channel[ch].IntervalSecs, 0.0f) << ch;
    }
}
