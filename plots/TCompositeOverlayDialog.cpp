#include "plots/TCompositeOverlayDialog.h"

#include "platform/core/MessageBox.h"
#include "res/OverlayDialogIds.h"

BEGIN_MESSAGE_MAP(TCompositeOverlayDialog, CDialog)
    ON_BN_CLICKED(IDC_COMPOSITE_AVERAGE, &TCompositeOverlayDialog::OnOperation)
    ON_BN_CLICKED(IDC_COMPOSITE_SUBTRACT, &TCompositeOverlayDialog::OnOperation)
    ON_BN_CLICKED(IDC_COMPOSITE_HELP, &TCompositeOverlayDialog::OnHelp)
END_MESSAGE_MAP()

TCompositeOverlayDialog::TCompositeOverlayDialog(CWnd* parent, OverlayCompositeSettings* block)
    : CDialog(IDD_COMPOSITE_OVERLAY, parent), m_block(block)
{
}

BOOL TCompositeOverlayDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int i = 0; i < 6; ++i) {
        CheckDlgButton(IDC_COMPOSITE_INCLUDE_1 + i, m_block->IncludeInAverage[i] ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(kCompositeFromIds[i], m_block->DifferenceIndex1 == i ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(kCompositeMinusIds[i], m_block->DifferenceIndex2 == i ? BST_CHECKED : BST_UNCHECKED);
    }
    const bool average = m_block->CompositeType == OverlayCompositeSettings::kAverage;
    CheckDlgButton(IDC_COMPOSITE_AVERAGE, average ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_COMPOSITE_SUBTRACT, m_block->CompositeType == OverlayCompositeSettings::kSubtract
                                               ? BST_CHECKED
                                               : BST_UNCHECKED);
    EnableForOperation(average);
    return TRUE;
}

void TCompositeOverlayDialog::EnableForOperation(bool average)
{
    for (int i = 0; i < 6; ++i) {
        if (CWnd* c = GetDlgItem(IDC_COMPOSITE_INCLUDE_1 + i))
            c->EnableWindow(average);
        for (int id : {kCompositeFromIds[i], kCompositeMinusIds[i]})
            if (CWnd* c = GetDlgItem(id))
                c->EnableWindow(!average);
    }
}

void TCompositeOverlayDialog::OnOperation()
{
    EnableForOperation(IsDlgButtonChecked(IDC_COMPOSITE_AVERAGE) != 0);
}

void TCompositeOverlayDialog::OnOK()
{
    // Checked against a copy, so that a refused OK leaves the caller's block as it was.
    OverlayCompositeSettings edited = *m_block;
    const bool average = IsDlgButtonChecked(IDC_COMPOSITE_AVERAGE) != 0;
    edited.CompositeType = average ? OverlayCompositeSettings::kAverage : OverlayCompositeSettings::kSubtract;
    int included = 0;
    for (int i = 0; i < 6; ++i) {
        edited.IncludeInAverage[i] = IsDlgButtonChecked(IDC_COMPOSITE_INCLUDE_1 + i) ? 1 : 0;
        included += edited.IncludeInAverage[i];
        if (IsDlgButtonChecked(kCompositeFromIds[i]))
            edited.DifferenceIndex1 = static_cast<WORD>(i);
        if (IsDlgButtonChecked(kCompositeMinusIds[i]))
            edited.DifferenceIndex2 = static_cast<WORD>(i);
    }
    if (!average && edited.DifferenceIndex1 == edited.DifferenceIndex2) {
        AfxMessageBox("Cannot Subtract an overlay from itself", MB_OK | MB_ICONSTOP);
        return;
    }
    if (average && included < 2) {
        AfxMessageBox("At least 2 overlays must be selected for averaging", MB_OK | MB_ICONSTOP);
        return;
    }
    *m_block = edited;
    CDialog::OnOK();
}
