#include "plots/TMarkerOptionsDialog.h"

#include "dialogs/PageHelpers.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Controls.h"
#include "res/PlotOptionsDialogIds.h"

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace {
const char* const kLabelTypes[5] = {"None", "Frequency", "Amplitude", "Frequency and Amplitude", "Custom"};
constexpr DWORD kCustom = 4;
} // namespace

BEGIN_MESSAGE_MAP(TMarkerOptionsDialog, CDialog)
    ON_CONTROL_RANGE(BN_CLICKED, kMarkerEnabledFirstId, kMarkerEnabledFirstId + 7, &TMarkerOptionsDialog::OnEnabledClicked)
    ON_CONTROL_RANGE(CBN_SELCHANGE, kMarkerLabelFirstId, kMarkerLabelFirstId + 7, &TMarkerOptionsDialog::OnLabelTypeChanged)
END_MESSAGE_MAP()

TMarkerOptionsDialog::TMarkerOptionsDialog(CWnd* parent, MarkerSettings* record)
    : CDialog(IDD_MARKER_OPTIONS, parent), m_record(record)
{
    if (m_record)
        m_work = *m_record;
}

BOOL TMarkerOptionsDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int i = 0; i < MarkerSettings::kMarkers; ++i) {
        CheckDlgButton(kMarkerEnabledFirstId + i, m_work.Enabled[i] ? BST_CHECKED : BST_UNCHECKED);
        char text[64];
        std::snprintf(text, sizeof text, "%6.2f", static_cast<double>(m_work.Freq[i]));
        SetDlgItemText(kMarkerFreqFirstId + i, text);
        if (CComboBox* list = sheet::Combo(*this, kMarkerLabelFirstId + i)) {
            list->ResetContent();
            for (DWORD t = 0; t < 5; ++t)
                list->SetItemData(list->AddString(kLabelTypes[t]), t);
            list->SetCurSel(m_work.LabelType[i] < 5 ? static_cast<int>(m_work.LabelType[i]) : -1);
        }
        SetDlgItemText(kMarkerCustomFirstId + i, sheet::Field(m_work.CustomLabel[i], sizeof m_work.CustomLabel[i]));
        ApplyRowState(i);
    }
    CheckDlgButton(IDC_MARKER_PEAK_HOLD, m_work.MarkPeakHoldFlag ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void TMarkerOptionsDialog::ApplyRowState(int i)
{
    const bool enabled = IsDlgButtonChecked(kMarkerEnabledFirstId + i) != 0;
    const bool custom = sheet::SelectedData(*this, kMarkerLabelFirstId + i, 0) == kCustom;
    sheet::Enable(*this, kMarkerFreqFirstId + i, enabled);
    sheet::Enable(*this, kMarkerLabelFirstId + i, enabled);
    sheet::Enable(*this, kMarkerCustomFirstId + i, enabled && custom);
}

void TMarkerOptionsDialog::OnEnabledClicked(UINT id) { ApplyRowState(static_cast<int>(id) - kMarkerEnabledFirstId); }

void TMarkerOptionsDialog::OnLabelTypeChanged(UINT id)
{
    const int i = static_cast<int>(id) - kMarkerLabelFirstId;
    sheet::Enable(*this, kMarkerCustomFirstId + i, sheet::SelectedData(*this, id, 0) == kCustom);
}

void TMarkerOptionsDialog::OnOK()
{
    MarkerSettings next = m_work;
    for (int i = 0; i < MarkerSettings::kMarkers; ++i) {
        next.Enabled[i] = IsDlgButtonChecked(kMarkerEnabledFirstId + i) ? 1 : 0;
        if (!next.Enabled[i])
            continue; // a disabled marker keeps its frequency and labels
        double frequency = 0.0;
        const std::string name = "Marker " + std::to_string(i + 1) + " Frequency";
        if (!ReadNumberField(*this, kMarkerFreqFirstId + i,
                             NumberField{name.c_str(), -std::numeric_limits<float>::max(), std::numeric_limits<float>::max()},
                             frequency))
            return;
        if (!(frequency > 0.0)) {
            AfxMessageBox("Marker Frequency must be greater than zero", MB_OK | MB_ICONERROR);
            return;
        }
        next.Freq[i] = static_cast<float>(frequency);
        next.LabelType[i] = static_cast<DWORD>(sheet::SelectedData(*this, kMarkerLabelFirstId + i, next.LabelType[i]));
        std::string label;
        GetDlgItemText(kMarkerCustomFirstId + i, label);
        sheet::Store(next.CustomLabel[i], sizeof next.CustomLabel[i], label);
    }
    next.MarkPeakHoldFlag = IsDlgButtonChecked(IDC_MARKER_PEAK_HOLD) ? 1 : 0;
    // Only a whole, valid set reaches the caller's record.
    m_work = next;
    if (m_record)
        *m_record = m_work;
    CDialog::OnOK();
}
