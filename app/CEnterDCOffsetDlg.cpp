#include "app/CEnterDCOffsetDlg.h"

#include "res/FileDialogIds.h"
#include "wave/GainOffset.h"

#include <cstdio>
#include <cstring>

CEnterDCOffsetDlg::CEnterDCOffsetDlg(CWnd* parent, const ChannelCalibration& calibration, const TPcmFormat& format,
                                     float* offset)
    : CDialog(IDD_DC_OFFSET, parent), format_(format), offset_(offset)
{
    // The record is packed: copy its bytes rather than binding to its fields.
    std::memcpy(static_cast<void*>(&calibration_), &calibration, sizeof calibration_);
}

BOOL CEnterDCOffsetDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    char text[32];
    std::snprintf(text, sizeof text, "%6.3f", double(*offset_));
    SetDlgItemText(IDC_DC_OFFSET_VALUE, text);
    SetDlgItemText(IDC_DC_OFFSET_PROMPT, DcOffsetPrompt(calibration_));
    return TRUE;
}

void CEnterDCOffsetDlg::OnOK()
{
    char text[257] = {};
    GetDlgItemText(IDC_DC_OFFSET_VALUE, text, sizeof text);
    float value = 0.0f;
    const std::string refusal = CheckDcOffsetEntry(text, &value);
    if (!refusal.empty()) {
        AfxMessageBox(refusal, MB_OK | MB_ICONSTOP);
        return;
    }
    *offset_ = value;
    CDialog::OnOK();
}
