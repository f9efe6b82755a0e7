// The options dialogs of the Leq and sound power windows: each works on a copy of every
// channel's record with one on show. A refused number keeps its channel on show, every record
// lands where its channel's entry says, and only OK writes anything back.
#include "utilities/CLeqOptionsDialog.h"
#include "utilities/CSoundPowerOptionsDialog.h"

#include "platform/core/Resources.h"
#include "platform/dialogs/DialogTestSupport.h"
#include "platform/ui/Controls.h"
#include "res/UtilityDialogIds.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <string>

using namespace dlgtest;

namespace {
std::string Text(const CDialog& d, int id)
{
    std::string text;
    d.GetDlgItemText(id, text);
    return text;
}

class UtilityOptions : public TemplateDialogTest {};
} // namespace

TEST_F(UtilityOptions, SoundPowerRecordsLandOnTheirCompositeAndARefusedAreaKeepsItsChannel)
{
    SoundPowerChannelSettings records[16];
    records[3].SurfaceArea = 4.0f;
    ScriptedUser user;
    user.ExpectBox(IDOK, "The Surface Area must be greater than zero");
    user.ExpectBox(IDOK, "The Surface Area: \"ten\" is not a number.");
    CSoundPowerOptionsDialog dialog(nullptr, records);
    CDialog::ScriptModal([&](CWnd& w) {
        auto& d = static_cast<CDialog&>(w);
        auto* combo = static_cast<CComboBox*>(d.GetDlgItem(IDC_UTIL_CHANNEL));
        ASSERT_EQ(combo->GetCount(), 16);
        // "Channel D" shows composite 3's record.
        Pick(d, IDC_UTIL_CHANNEL, 3);
        EXPECT_EQ(Text(d, IDC_SP_AREA), "  4.00");
        // A zero area is refused on the way to "Channel P": D stays on show.
        d.SetDlgItemText(IDC_SP_AREA, "0");
        Pick(d, IDC_UTIL_CHANNEL, 15);
        EXPECT_EQ(combo->GetCurSel(), 3);
        d.SetDlgItemText(IDC_SP_AREA, "2.5");
        d.SetDlgItemText(IDC_SP_BACKGROUND, "1.25");
        Pick(d, IDC_UTIL_CHANNEL, 15);
        EXPECT_EQ(combo->GetCurSel(), 15);
        Click(d, IDC_UTIL_DEFAULTS);
        d.SetDlgItemText(IDC_SP_ENVIRONMENT, "-0.5");
        // A text that is no number is no area either.
        d.SetDlgItemText(IDC_SP_AREA, "ten");
        Click(d, IDOK);
        d.SetDlgItemText(IDC_SP_AREA, "12");
        Click(d, IDOK);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_FLOAT_EQ(records[3].SurfaceArea, 2.5f);
    EXPECT_FLOAT_EQ(records[3].BackgroundCorrection, 1.25f);
    EXPECT_FLOAT_EQ(records[15].SurfaceArea, 12.0f);
    EXPECT_FLOAT_EQ(records[15].EnvironmentalCorrection, -0.5f);
    EXPECT_FLOAT_EQ(records[15].BackgroundCorrection, 0.0f);
    EXPECT_FLOAT_EQ(records[14].SurfaceArea, 10.0f);

    // Copy to all, then Cancel: nothing changes.
    CSoundPowerOptionsDialog again(nullptr, records);
    CDialog::ScriptModal([&](CWnd& w) {
        auto& d = static_cast<CDialog&>(w);
        d.SetDlgItemText(IDC_SP_AREA, "99");
        Click(d, IDC_UTIL_COPY_ALL);
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(again.DoModal(), IDCANCEL);
    EXPECT_FLOAT_EQ(records[15].SurfaceArea, 12.0f);
    EXPECT_FLOAT_EQ(records[0].SurfaceArea, 10.0f);
}

TEST_F(UtilityOptions, LeqChecksTheReferenceTimeBeforeTheIntervalAndCopiesAChannelToAll)
{
    LeqChannelSettings records[8];
    records[5].ReferenceTime = 60;
    records[5].Weighting[LeqChannelSettings::kLeq] = 3;
    ScriptedUser user;
    user.ExpectBox(IDOK, "LeqT Reference Time must be greater than zero");
    user.ExpectBox(IDOK, "Leq Recalculation Interval must be greater than zero");
    CLeqOptionsDialog dialog(nullptr, records);
    CDialog::ScriptModal([&](CWnd& w) {
        auto& d = static_cast<CDialog&>(w);
        Pick(d, IDC_UTIL_CHANNEL, 5);
        EXPECT_EQ(Text(d, IDC_LEQ_REFTIME), "60");
        EXPECT_EQ(static_cast<CComboBox*>(d.GetDlgItem(IDC_LEQ_WEIGHT_FIRST + 1))->GetCurSel(), 3); // Leq: C
        // Both numbers are wrong: the reference time is named first, then the interval.
        d.SetDlgItemText(IDC_LEQ_REFTIME, "0");
        d.SetDlgItemText(IDC_LEQ_INTERVAL, "-1");
        Click(d, IDOK);
        d.SetDlgItemText(IDC_LEQ_REFTIME, "900");
        Click(d, IDOK);
        d.SetDlgItemText(IDC_LEQ_INTERVAL, "0.5");
        // "When analyzer stops" leaves the interval's edit disabled.
        Click(d, IDC_LEQ_ATSTOP);
        EXPECT_FALSE(d.GetDlgItem(IDC_LEQ_INTERVAL)->IsWindowEnabled());
        Click(d, IDC_UTIL_COPY_ALL);
        Click(d, IDOK);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    for (int ch = 0; ch < 8; ++ch) {
        EXPECT_EQ(records[ch].ReferenceTime, 900) << ch;
        EXPECT_FLOAT_EQ(records[ch].Interval, 0.5f) << ch;
        EXPECT_EQ(records[ch].RecalcMode, 1) << ch;
        EXPECT_EQ(records[ch].Weighting[LeqChannelSettings::kLeq], 3) << ch;
    }
}
