#include "app/CAskZeroPadDlg.h"

#include "res/FileDialogIds.h"

BEGIN_MESSAGE_MAP(CAskZeroPadDlg, CDialog)
    ON_BN_CLICKED(IDC_ZERO_PAD, &CAskZeroPadDlg::OnZeroPad)
    ON_BN_CLICKED(IDC_INCLUDE_SAMPLES, &CAskZeroPadDlg::OnIncludeSamples)
END_MESSAGE_MAP()

CAskZeroPadDlg::CAskZeroPadDlg(CWnd* parent, int* choice) : CDialog(IDD_ASK_ZERO_PAD, parent), choice_(choice) {}

void CAskZeroPadDlg::OnZeroPad()
{
    *choice_ = IDC_ZERO_PAD;
    EndDialog(IDOK);
}

void CAskZeroPadDlg::OnIncludeSamples()
{
    *choice_ = IDC_INCLUDE_SAMPLES;
    EndDialog(IDOK);
}

void CAskZeroPadDlg::OnCancel()
{
    *choice_ = IDCANCEL;
    CDialog::OnCancel();
}
