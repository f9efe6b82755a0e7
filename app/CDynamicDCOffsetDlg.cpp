#include "app/CDynamicDCOffsetDlg.h"

#include "res/FileDialogIds.h"
#include "wave/GainOffset.h"

#include <cstdio>

CDynamicDCOffsetDlg::CDynamicDCOffsetDlg(CWnd* parent, float* cutoff, std::int32_t* interval)
    : CDialog(IDD_DYNAMIC_DC_OFFSET, parent), cutoff_(cutoff), interval_(interval)
{
}

BOOL CDynamicDCOffsetDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    char text[32];
    std::snprintf(text, sizeof text, "%6.2f", double(*cutoff_));
    SetDlgItemText(IDC_DYNAMIC_CUTOFF, text);
    std::snprintf(text, sizeof text, "%d", int(*interval_));
    SetDlgItemText(IDC_DYNAMIC_INTERVAL, text);
    return TRUE;
}

void CDynamicDCOffsetDlg::OnOK()
{
    char cutoffText[257] = {};
    char intervalText[257] = {};
    GetDlgItemText(IDC_DYNAMIC_CUTOFF, cutoffText, sizeof cutoffText);
    GetDlgItemText(IDC_DYNAMIC_INTERVAL, intervalText, sizeof intervalText);
    float cutoff = 0.0f;
    std::int32_t interval = 0;
    const std::string refusal = CheckDynamicDcEntries(cutoffText, intervalText, &cutoff, &interval);
    if (!refusal.empty()) {
        AfxMessageBox(refusal, MB_OK | MB_ICONSTOP);
        return;
    }
    *cutoff_ = cutoff;
    *interval_ = interval;
    CDialog::OnOK();
}
