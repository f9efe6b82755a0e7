#include "app/CEnterGainAdjustDlg.h"

#include "res/FileDialogIds.h"
#include "wave/GainOffset.h"

#include <cstdio>

CEnterGainAdjustDlg::CEnterGainAdjustDlg(CWnd* parent, float* gainDb)
    : CDialog(IDD_GAIN_ADJUST, parent), gain_(gainDb)
{
}

BOOL CEnterGainAdjustDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    char text[32];
    std::snprintf(text, sizeof text, "%6.2f", double(*gain_));
    SetDlgItemText(IDC_GAIN_DB, text);
    return TRUE;
}

void CEnterGainAdjustDlg::OnOK()
{
    char text[257] = {};
    GetDlgItemText(IDC_GAIN_DB, text, sizeof text);
    float gain = 0.0f;
    const std::string refusal = CheckGainEntry(text, &gain);
    if (!refusal.empty()) {
        AfxMessageBox(refusal, MB_OK | MB_ICONSTOP);
        return;
    }
    *gain_ = gain;
    CDialog::OnOK();
}
