// "Composite Measurement Settings": the type and channels of one composite, its labels derived
// from the channels' calibration, and the checks before OK.
#include "dialogs/CCompositeSettingsDlg.h"
#include "dialogs/CSelectCompositeViewDlg.h"
#include "platform/core/Resources.h"
#include "res/PlotSelectionDialogIds.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <cstring>

namespace {
QWidget* Item(CWnd& d, int id)
{
    CWnd* c = d.GetDlgItem(id);
    return c ? QtWidgetOf(c) : nullptr;
}
void Click(CWnd& d, int id)
{
    if (auto* b = qobject_cast<QAbstractButton*>(Item(d, id)))
        b->click();
}
// Picks a measurement type by its list text, as the user does.
void PickType(CWnd& d, const char* text)
{
    auto* combo = qobject_cast<QComboBox*>(Item(d, IDC_COMPOSITE_TYPE));
    ASSERT_NE(combo, nullptr);
    const int at = combo->findText(text);
    ASSERT_GE(at, 0) << text;
    combo->setCurrentIndex(at);
    combo->activated(at);
}
std::string EditText(CWnd& d, int id)
{
    auto* e = qobject_cast<QLineEdit*>(Item(d, id));
    return e ? e->text().toStdString() : std::string("<none>");
}

void SetLabels(ChannelCalibration& c, DWORD units, const char* linear, const char* log)
{
    c.RefUnits = units;
    std::strcpy(c.LabelLinear, linear);
    std::strcpy(c.LabelLog, log);
}

class CompositeSettings : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
    }
    void SetUp() override
    {
        SetLabels(cal[0], 0, "Volts rms", "dBV rms");
        SetLabels(cal[1], 0, "Volts rms", "dBV rms");
        SetLabels(cal[2], 3, "G", "dB re 1 G");
        SetLabels(cal[3], 12, "Newtons", "dB re 1 N");
        SetLabels(cal[4], 1, "mV", "dBmV");
    }
    ChannelCalibration cal[8];
    BYTE enabled[8] = {1, 1, 1, 1, 1, 0, 0, 0};
};
} // namespace

TEST_F(CompositeSettings, LabelsComeFromTheChannelsCalibration)
{
    std::string lin, log;
    const BYTE none[8] = {};
    cal[2].ConversionType = 1;
    CCompositeSettingsDlg::DeriveLabels(1, 2, 3, none, cal, lin, log);
    EXPECT_EQ(lin, "Mobility (ft/sec/N)");
    EXPECT_EQ(log, "Mobility (ft/sec/N dB)");
    cal[2].ConversionType = 0;
    CCompositeSettingsDlg::DeriveLabels(2, 2, 3, none, cal, lin, log);
    EXPECT_EQ(lin, "Accelerance (G/N)");
    EXPECT_EQ(log, "Accelerance (G/N dB)");
    cal[2].ConversionType = 11;
    CCompositeSettingsDlg::DeriveLabels(2, 2, 3, none, cal, lin, log);
    EXPECT_EQ(lin, "");

    // Different units: test over reference.
    CCompositeSettingsDlg::DeriveLabels(4, 4, 0, none, cal, lin, log);
    EXPECT_EQ(lin, "mV/Volts rms");
    EXPECT_EQ(log, "dBmV/dBV rms");
    // Same units: the test channel's.
    CCompositeSettingsDlg::DeriveLabels(1, 1, 0, none, cal, lin, log);
    EXPECT_EQ(lin, "Volts rms");

    // Sums: the first included channel, or channel 0.
    const BYTE some[8] = {0, 0, 0, 0, 1, 1, 0, 0};
    CCompositeSettingsDlg::DeriveLabels(5, 0, 0, some, cal, lin, log);
    EXPECT_EQ(lin, "mV");
    CCompositeSettingsDlg::DeriveLabels(0, 0, 0, none, cal, lin, log);
    EXPECT_EQ(log, "dBV rms");
}

TEST_F(CompositeSettings, ChoosingASumStoresItsTypeChannelsAndLabels)
{
    CompositeChannelSettings record;
    record.CompositeType = 1;
    record.TransferChannel = 1;
    record.ReferenceChannel = 0;
    CDialog::ScriptModal([&](CWnd& d) {
        EXPECT_EQ(d.GetWindowTextString(), "Composite Measurement Settings");
        // A transfer function: the channel radios are in use, the include boxes are not.
        EXPECT_TRUE(Item(d, kCompositeTestFirstId + 1)->isEnabled());
        EXPECT_FALSE(Item(d, kCompositeIncludeIds[0])->isEnabled());
        // Disabled channels cannot be chosen outside Post Process; the eighth row is hidden.
        EXPECT_FALSE(Item(d, kCompositeTestFirstId + 5)->isEnabled());
        EXPECT_TRUE(Item(d, kCompositeTestFirstId + 7)->isHidden());
        PickType(d, "Sum Channels (Real)");
        EXPECT_TRUE(Item(d, kCompositeIncludeIds[0])->isEnabled());
        EXPECT_FALSE(Item(d, kCompositeTestFirstId + 1)->isEnabled());
        Click(d, kCompositeIncludeIds[4]);
        Click(d, kCompositeIncludeIds[2]);
        EXPECT_EQ(EditText(d, IDC_COMPOSITE_LABEL_LINEAR), "G");
        Click(d, IDOK);
    });
    CCompositeSettingsDlg dialog(nullptr, 0, &record, enabled);
    dialog.SetCalibrations(cal);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(record.CompositeType, 5);
    EXPECT_EQ(record.IncludeInAverage[2], 1);
    EXPECT_EQ(record.IncludeInAverage[4], 1);
    EXPECT_EQ(record.IncludeInAverage[0], 0);
    EXPECT_STREQ(record.LabelLinear, "G");
    EXPECT_STREQ(record.LabelLog, "dB re 1 G");

    CDialog::ScriptModal([&](CWnd& d) {
        PickType(d, "Sum Channels (Complex)");
        Click(d, IDOK);
    });
    CCompositeSettingsDlg again(nullptr, 0, &record, enabled);
    again.SetCalibrations(cal);
    EXPECT_EQ(again.DoModal(), IDOK);
    EXPECT_EQ(record.CompositeType, 0);
}

TEST_F(CompositeSettings, OkRefusesWhatCannotBeComputed)
{
    CompositeChannelSettings record;
    record.CompositeType = 2;
    record.TransferChannel = 1;
    record.ReferenceChannel = 1;
    ScriptedUser user;
    user.ExpectBox(IDOK, "The Test Channel must be different than the Reference Channel.");
    user.ExpectBox(IDOK, "You must select at least one channel.");
    CDialog::ScriptModal([&](CWnd& d) {
        Click(d, IDOK); // refused, the dialog stays
        PickType(d, "Cross Spectrum");
        Click(d, kCompositeReferenceFirstId + 0);
        PickType(d, "Sum Channels (Real)");
        Click(d, IDOK); // no channel included: refused
        Click(d, kCompositeIncludeIds[1]);
        Click(d, IDOK);
    });
    CCompositeSettingsDlg dialog(nullptr, 0, &record, enabled);
    dialog.SetCalibrations(cal);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(record.CompositeType, 5);
    EXPECT_EQ(record.IncludeInAverage[1], 1);
}

TEST_F(CompositeSettings, TheCompositeDialogsOperationButtonOpensItAndShowsTheNewOperation)
{
    CompositeChannelSettings records[16];
    for (int c = 0; c < 16; ++c)
        records[c].SetDefaults(c);
    ChannelProcessingSettings processing[8];
    BYTE s[16] = {}, p[16] = {}, g[16] = {}, u[16] = {};
    std::string shown;
    CDialog::ScriptModal([&](CWnd& d) {
        // Composite A is enabled, B is not: only A's button works.
        EXPECT_TRUE(Item(d, kCompositeOperationIds[0])->isEnabled());
        EXPECT_FALSE(Item(d, kCompositeOperationIds[1])->isEnabled());
        Click(d, kCompositeOperationIds[0]);
        shown = qobject_cast<QAbstractButton*>(Item(d, kCompositeOperationIds[0]))->text().toStdString();
        Click(d, IDOK);
    });
    CDialog::ScriptModal([&](CWnd& d) {
        PickType(d, "Real Transfer Function");
        Click(d, kCompositeTestFirstId + 3);
        Click(d, kCompositeReferenceFirstId + 0);
        Click(d, IDOK);
    });
    CSelectCompositeViewDlg dialog(nullptr, 0, records, processing, s, p, g, u, enabled);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(records[0].CompositeType, 1);
    EXPECT_EQ(records[0].TransferChannel, 3u);
    EXPECT_EQ(records[0].ReferenceChannel, 0u);
    EXPECT_EQ(shown, "Real T/F: 3 vs 0");
}

TEST_F(CompositeSettings, ARefusedOkThenCancelLeavesTheRecordAsItWas)
{
    CompositeChannelSettings record;
    record.CompositeType = 1;
    record.TransferChannel = 1;
    record.ReferenceChannel = 0;
    const CompositeChannelSettings before = record;
    ScriptedUser user;
    user.ExpectBox(IDOK, "You must select at least one channel.");
    CDialog::ScriptModal([&](CWnd& d) {
        PickType(d, "Sum Channels (Complex)");
        Click(d, IDOK); // refused: nothing included
        Click(d, IDCANCEL);
    });
    CCompositeSettingsDlg dialog(nullptr, 0, &record, enabled);
    dialog.SetCalibrations(cal);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
}
