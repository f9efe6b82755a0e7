#include "utilities/CLeqOptionsDialog.h"

#include "records/NumberText.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Controls.h"
#include "res/UtilityDialogIds.h"

#include <cstdio>
#include <cstdlib>
#include <string>

BEGIN_MESSAGE_MAP(CLeqOptionsDialog, CDialog)
    ON_CBN_SELCHANGE(IDC_UTIL_CHANNEL, &CLeqOptionsDialog::OnChannelChange)
    ON_BN_CLICKED(IDC_UTIL_DEFAULTS, &CLeqOptionsDialog::OnDefaults)
    ON_BN_CLICKED(IDC_UTIL_COPY_ALL, &CLeqOptionsDialog::OnCopyAll)
    ON_BN_CLICKED(IDC_LEQ_INTERVALS, &CLeqOptionsDialog::OnIntervalsChoice)
    ON_BN_CLICKED(IDC_LEQ_ATSTOP, &CLeqOptionsDialog::OnIntervalsChoice)
    ON_BN_CLICKED(IDC_UTIL_HELP, &CLeqOptionsDialog::OnHelpButton)
END_MESSAGE_MAP()

namespace {
// Control of each group's averaging and weighting (Lpk has no averaging control).
int AveragingId(int group)
{
    static const int ids[6] = {IDC_LEQ_AVG_FIRST, IDC_LEQ_AVG_FIRST + 1, IDC_LEQ_AVG_FIRST + 2, -1,
                               IDC_LEQ_AVG_FIRST + 3, IDC_LEQ_AVG_FIRST + 4};
    return ids[group];
}
int WeightingId(int group)
{
    static const int ids[6] = {IDC_LEQ_WEIGHT_FIRST, IDC_LEQ_WEIGHT_FIRST + 1, IDC_LEQ_WEIGHT_FIRST + 2,
                               IDC_LEQ_LPK_WEIGHT, IDC_LEQ_WEIGHT_FIRST + 3, IDC_LEQ_WEIGHT_FIRST + 4};
    return ids[group];
}
CComboBox* Combo(CDialog& d, int id)
{
    return static_cast<CComboBox*>(d.GetDlgItem(id));
}
} // namespace

CLeqOptionsDialog::CLeqOptionsDialog(CWnd* parent, LeqChannelSettings* settings)
    : TChannelRecordsDialog(IDD_LEQ_OPTIONS, parent, settings)
{
}

BOOL CLeqOptionsDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (CComboBox* c = Combo(*this, IDC_UTIL_CHANNEL)) {
        for (int ch = 0; ch < 8; ++ch)
            c->AddString(("Channel " + std::to_string(ch)).c_str());
        c->SetCurSel(m_channel);
    }
    for (int g = 0; g < 6; ++g) {
        if (CComboBox* c = AveragingId(g) >= 0 ? Combo(*this, AveragingId(g)) : nullptr)
            for (const char* t : {"Off", "Fast", "Medium", "Slow", "Forever"})
                c->AddString(t);
        if (CComboBox* c = Combo(*this, WeightingId(g)))
            for (const char* t : {"Flat", "A", "B", "C"})
                c->AddString(t);
    }
    Load();
    return TRUE;
}

void CLeqOptionsDialog::SelectValue(int id, WORD value)
{
    if (CComboBox* c = Combo(*this, id))
        c->SetCurSel(value < c->GetCount() ? value : -1);
}

void CLeqOptionsDialog::Load()
{
    const LeqChannelSettings& s = Shown();
    for (int g = 0; g < 6; ++g) {
        if (AveragingId(g) >= 0)
            SelectValue(AveragingId(g), s.Averaging[g]);
        SelectValue(WeightingId(g), s.Weighting[g]);
    }
    SetDlgItemText(IDC_LEQ_REFTIME, std::to_string(s.ReferenceTime));
    char text[32];
    std::snprintf(text, sizeof text, "%6.2f", static_cast<double>(s.Interval));
    SetDlgItemText(IDC_LEQ_INTERVAL, text);
    CheckRadioButton(IDC_LEQ_INTERVALS, IDC_LEQ_ATSTOP, s.RecalcMode == 0 ? IDC_LEQ_INTERVALS : IDC_LEQ_ATSTOP);
    OnIntervalsChoice();
}

bool CLeqOptionsDialog::Store()
{
    LeqChannelSettings& s = Shown();
    // Text that is no number is refused, naming its field, rather than read as 0.
    double reference = 0.0, interval = 0.0;
    if (!ReadNumberField(*this, IDC_LEQ_REFTIME, NumberField{"LeqT Reference Time", -1e9, 1e9, true}, reference) ||
        !ReadNumberField(*this, IDC_LEQ_INTERVAL, NumberField{"Leq Recalculation Interval"}, interval))
        return false;
    if (reference <= 0) {
        AfxMessageBox("LeqT Reference Time must be greater than zero", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    s.ReferenceTime = static_cast<INT>(reference);
    if (!(interval > 0.0 && interval < 3.0e38)) {
        AfxMessageBox("Leq Recalculation Interval must be greater than zero", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    s.Interval = static_cast<float>(interval);
    for (int g = 0; g < 6; ++g) {
        if (CComboBox* c = AveragingId(g) >= 0 ? Combo(*this, AveragingId(g)) : nullptr; c && c->GetCurSel() >= 0)
            s.Averaging[g] = static_cast<WORD>(c->GetCurSel());
        if (CComboBox* c = Combo(*this, WeightingId(g)); c && c->GetCurSel() >= 0)
            s.Weighting[g] = static_cast<WORD>(c->GetCurSel());
    }
    s.RecalcMode = IsDlgButtonChecked(IDC_LEQ_INTERVALS) ? 0 : 1;
    return true;
}

void CLeqOptionsDialog::OnDefaults()
{
    for (int g : {0, 1, 2})
        SelectValue(AveragingId(g), 3);
    for (int g : {4, 5})
        SelectValue(AveragingId(g), 1);
    for (int g = 0; g < 6; ++g)
        SelectValue(WeightingId(g), 1);
    SetDlgItemText(IDC_LEQ_REFTIME, "3600");
    SetDlgItemText(IDC_LEQ_INTERVAL, "1.0");
    CheckRadioButton(IDC_LEQ_INTERVALS, IDC_LEQ_ATSTOP, IDC_LEQ_INTERVALS);
    OnIntervalsChoice();
}

void CLeqOptionsDialog::OnIntervalsChoice()
{
    if (CWnd* edit = GetDlgItem(IDC_LEQ_INTERVAL))
        edit->EnableWindow(IsDlgButtonChecked(IDC_LEQ_INTERVALS) ? TRUE : FALSE);
}
