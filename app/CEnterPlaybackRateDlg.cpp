#include "app/CEnterPlaybackRateDlg.h"

#include "platform/core/MessageBox.h"
#include "res/PlaybackDialogIds.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

CEnterPlaybackRateDlg::CEnterPlaybackRateDlg(CWnd* parent, DWORD* rate)
    : CDialog(IDD_PLAYBACK_RATE, parent), m_rate(rate)
{
}

BOOL CEnterPlaybackRateDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    char text[32];
    std::snprintf(text, sizeof text, "%d", int(*m_rate));
    SetDlgItemText(IDC_PLAYBACK_RATE, text);
    return TRUE;
}

void CEnterPlaybackRateDlg::OnOK()
{
    char text[257] = {};
    GetDlgItemText(IDC_PLAYBACK_RATE, text, sizeof text);
    // Read wide and bounded, so a long row of digits can't wrap round into a small rate.
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (value <= 0) {
        AfxMessageBox("Sampling Rate must be greater than zero.", MB_OK | MB_ICONERROR);
        return;
    }
    if (errno == ERANGE || value > kMaxRate) {
        char message[96];
        std::snprintf(message, sizeof message, "Sampling Rate must not be greater than %ld.", kMaxRate);
        AfxMessageBox(message, MB_OK | MB_ICONERROR);
        return;
    }
    *m_rate = static_cast<DWORD>(value);
    CDialog::OnOK();
}
