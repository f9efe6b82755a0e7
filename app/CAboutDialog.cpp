#include "app/CAboutDialog.h"

#include "plots/CToolBtn.h"

BEGIN_MESSAGE_MAP(CAboutDialog, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

namespace {
constexpr int kVersionText = 1813;
constexpr UINT kLogoId = 102;
} // namespace

CAboutDialog::CAboutDialog(CWnd* pParent, bool splash) : CDialog(IDD, pParent), splash_(splash) {}

CAboutDialog::~CAboutDialog() = default;

const char* CAboutDialog::VersionText()
{
    // CR LF: a static control breaks its lines there.
    return "QLM436 - Quenrith Analyzer\r\n"
           "Version 1.1.0.7\r\n"
           "\r\n"
           "Multichannel measurement and analysis\r\n"
           "for the KDR-5200 acquisition device.";
}

BOOL CAboutDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    logo_ = std::make_unique<CToolBtn>(this, kLogoId, "SPLASH_SCREEN_LOGO", "SPLASH_SCREEN_LOGO", nullptr, "");
    if (logo_->GetSafeHwnd() != nullptr)
        logo_->MoveWindow(24, 24, 245, 227);
    SetDlgItemText(kVersionText, VersionText());
    if (CWnd* ok = GetDlgItem(IDOK)) {
        ok->ShowWindow(SW_HIDE);
        SetTimer(kTimerShowOk, 100, nullptr);
        PostMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok->GetSafeHwnd()), TRUE);
    }
    return TRUE;
}

void CAboutDialog::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kTimerShowOk) {
        KillTimer(kTimerShowOk);
        if (CWnd* ok = GetDlgItem(IDOK))
            ok->ShowWindow(SW_SHOW);
        if (splash_)
            SetTimer(kTimerSplash, 1500, nullptr);
    } else if (nIDEvent == kTimerSplash && splash_) {
        OnOK();
    }
}

void CAboutDialog::OnOK()
{
    if (splash_)
        KillTimer(kTimerSplash);
    CDialog::OnOK();
}
