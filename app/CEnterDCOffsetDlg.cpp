#include "app/CEnterDCOffsetDlg.h"

#include "res/FileDialogIds.h"
#include "wave/GainOffset.h"

#include <cstdio>
#include <cstring>

CEnterDCOffsetDlg::CEnterDCOffsetDlg(CWnd* parent, const ChannelCalibration& calibration, const TPcmFormat& format,
                                     float* offset)
    : CValueEntryDlg(IDD_DC_OFFSET, parent, IDC_DC_OFFSET_VALUE), format_(format), offset_(offset)
{
    // The record is packed: copy its bytes rather than binding to its fields.
    std::memcpy(static_cast<void*>(&calibration_), &calibration, sizeof calibration_);
}

BOOL CEnterDCOffsetDlg::OnInitDialog()
{
    CValueEntryDlg::OnInitDialog();
    SetDlgItemText(IDC_DC_OFFSET_PROMPT, DcOffsetPrompt(calibration_));
    return TRUE;
}

std::string CEnterDCOffsetDlg::ShownText() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%6.3f", double(*offset_));
    return text;
}

std::string CEnterDCOffsetDlg::Take(const char* text)
{
    float value = 0.0f;
    std::string refusal = CheckDcOffsetEntry(text, &value);
    if (refusal.empty())
        *offset_ = value;
    return refusal;
}
