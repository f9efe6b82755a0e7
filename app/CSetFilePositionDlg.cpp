#include "app/CSetFilePositionDlg.h"

#include "res/FileDialogIds.h"

#include <cstdio>
#include <cstdlib>

BEGIN_MESSAGE_MAP(CSetFilePositionDlg, CDialog)
    ON_BN_CLICKED(IDC_POSITION_BY_SECONDS, &CSetFilePositionDlg::OnModeClicked)
    ON_BN_CLICKED(IDC_POSITION_BY_SAMPLES, &CSetFilePositionDlg::OnModeClicked)
END_MESSAGE_MAP()

namespace {
constexpr const char* kNegativePosition = "The file position must be greater or equal to zero";
}

CSetFilePositionDlg::CSetFilePositionDlg(CWnd* parent, float* seconds, std::int32_t* samples, DWORD* mode,
                                         BYTE* applyToAll)
    : CDialog(IDD_SET_FILE_POSITION, parent), seconds_(seconds), samples_(samples), mode_(mode),
      applyToAll_(applyToAll)
{
}

BOOL CSetFilePositionDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    char text[32];
    std::snprintf(text, sizeof text, "%6.2f", double(*seconds_));
    SetDlgItemText(IDC_POSITION_SECONDS, text);
    std::snprintf(text, sizeof text, "%d", int(*samples_));
    SetDlgItemText(IDC_POSITION_SAMPLES, text);
    CheckDlgButton(IDC_POSITION_ALL_FILES, *applyToAll_ ? BST_CHECKED : BST_UNCHECKED);
    ShowMode();
    return TRUE;
}

void CSetFilePositionDlg::ShowMode()
{
    const bool bySamples = *mode_ == 1;
    CheckDlgButton(IDC_POSITION_BY_SECONDS, bySamples ? BST_UNCHECKED : BST_CHECKED);
    CheckDlgButton(IDC_POSITION_BY_SAMPLES, bySamples ? BST_CHECKED : BST_UNCHECKED);
    if (CWnd* w = GetDlgItem(IDC_POSITION_SECONDS))
        w->EnableWindow(!bySamples);
    if (CWnd* w = GetDlgItem(IDC_POSITION_SAMPLES))
        w->EnableWindow(bySamples);
}

void CSetFilePositionDlg::OnModeClicked()
{
    *mode_ = IsDlgButtonChecked(IDC_POSITION_BY_SAMPLES) ? 1 : 0;
    ShowMode();
}

void CSetFilePositionDlg::OnOK()
{
    char text[257] = {};
    if (IsDlgButtonChecked(IDC_POSITION_BY_SECONDS)) {
        *mode_ = 0;
        GetDlgItemText(IDC_POSITION_SECONDS, text, sizeof text);
        const float seconds = static_cast<float>(std::atof(text));
        if (seconds < 0.0f) {
            AfxMessageBox(kNegativePosition, MB_OK | MB_ICONSTOP);
            return;
        }
        *seconds_ = seconds;
    } else if (IsDlgButtonChecked(IDC_POSITION_BY_SAMPLES)) {
        *mode_ = 1;
        GetDlgItemText(IDC_POSITION_SAMPLES, text, sizeof text);
        const long samples = std::strtol(text, nullptr, 10);
        if (samples < 0) {
            AfxMessageBox(kNegativePosition, MB_OK | MB_ICONSTOP);
            return;
        }
        *samples_ = static_cast<std::int32_t>(samples > INT32_MAX ? INT32_MAX : samples);
    }
    *applyToAll_ = IsDlgButtonChecked(IDC_POSITION_ALL_FILES) ? 1 : 0;
    CDialog::OnOK();
}
