#include "plots/TOverlaySourceSelectDialog.h"

#include "res/PlotSelectionDialogIds.h"

TOverlaySourceSelectDialog::TOverlaySourceSelectDialog(CWnd* parent, BYTE* choice)
    : CDialog(IDD_OVERLAY_SOURCE, parent), m_choice(choice)
{
}

BOOL TOverlaySourceSelectDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    const bool peak = m_choice && *m_choice == 1;
    CheckRadioButton(IDC_SOURCE_PEAK_HOLD, IDC_SOURCE_SPECTRAL, peak ? IDC_SOURCE_PEAK_HOLD : IDC_SOURCE_SPECTRAL);
    return TRUE;
}

void TOverlaySourceSelectDialog::OnOK()
{
    if (m_choice)
        *m_choice = IsDlgButtonChecked(IDC_SOURCE_PEAK_HOLD) ? 1 : 0;
    CDialog::OnOK();
}
