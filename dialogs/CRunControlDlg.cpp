#include "dialogs/CRunControlDlg.h"

#include "dialogs/PageHelpers.h"
#include "platform/core/MessageBox.h"
#include "res/SheetPageDialogIds.h"

namespace {
constexpr const char* kCaption = "Run Control Options";

// A whole number typed in the edit; 0 when it holds none.
long ReadCount(const CDialog& page, int id)
{
    std::string text;
    page.GetDlgItemText(id, text);
    return sheet::ParseInteger(text);
}

// A typed number of seconds; 0 when the edit holds none or one a float cannot hold.
double ReadSeconds(const CDialog& page, int id)
{
    double v = 0.0;
    return sheet::ReadNumber(page, id, v) && v < 1.0e30 ? v : 0.0;
}
} // namespace

CRunControlDlg::CRunControlDlg() : CSheetPage(IDD_RUN_CONTROL_PAGE) {}

BOOL CRunControlDlg::OnInitDialog()
{
    CSheetPage::OnInitDialog();
    Fill();
    return TRUE;
}

void CRunControlDlg::Fill()
{
    if (!m_RunControl)
        return;
    const RunControlSettings& r = *m_RunControl;
    CheckRadioButton(IDC_RUN_UNTIL_STOP, IDC_RUN_SECONDS,
                     r.RunMode == 1 ? IDC_RUN_FFTS : r.RunMode == 2 ? IDC_RUN_SECONDS : IDC_RUN_UNTIL_STOP);
    SetDlgItemText(IDC_RUN_FFT_LIMIT, std::to_string(r.FftLimit));
    SetDlgItemText(IDC_RUN_TIME_LIMIT, sheet::FormatNumber("%1.1f", r.TimeLimitSecs));
    CheckDlgButton(IDC_RUN_START_DELAY, r.StartDelayFlag ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemText(IDC_RUN_START_DELAY_SECS, sheet::FormatNumber("%1.1f", r.StartDelaySecs));
    CheckDlgButton(IDC_RUN_INTERVAL, r.UpdateIntervalFlag ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemText(IDC_RUN_INTERVAL_MSEC, std::to_string(r.UpdateIntervalMsec));
    // The interval paces the reading of files only.
    sheet::Enable(*this, IDC_RUN_INTERVAL, m_OpMode == 2);
    sheet::Enable(*this, IDC_RUN_INTERVAL_MSEC, m_OpMode == 2);
}

void CRunControlDlg::Defaults()
{
    if (!m_RunControl)
        return;
    *m_RunControl = RunControlSettings();
    m_RunControl->FftLimit = 100;
    Fill();
}

bool CRunControlDlg::ValidateAndStore()
{
    if (!m_RunControl || !GetSafeHwnd())
        return true;
    const int chosen = GetCheckedRadioButton(IDC_RUN_UNTIL_STOP, IDC_RUN_SECONDS);
    const WORD mode = chosen == IDC_RUN_FFTS ? 1 : chosen == IDC_RUN_SECONDS ? 2 : 0;
    const long ffts = ReadCount(*this, IDC_RUN_FFT_LIMIT);
    const double seconds = ReadSeconds(*this, IDC_RUN_TIME_LIMIT);
    const bool delayOn = IsDlgButtonChecked(IDC_RUN_START_DELAY) != 0;
    const double delay = ReadSeconds(*this, IDC_RUN_START_DELAY_SECS);
    const bool intervalOn = IsDlgButtonChecked(IDC_RUN_INTERVAL) != 0;
    const long interval = ReadCount(*this, IDC_RUN_INTERVAL_MSEC);
    const char* refusal = nullptr;
    if (mode == 1 && ffts <= 0)
        refusal = "The FFT run limit must be greater than zero.";
    else if (mode == 2 && !(seconds > 0.0))
        refusal = "The run time limit must be greater than zero.";
    else if (delayOn && !(delay > 0.0))
        refusal = "The start delay time limit must be greater than zero.";
    else if (m_OpMode == 2 && intervalOn && (interval <= 0 || interval >= 10000))
        refusal = "Update Interval must be greater than zero and less than 10000 milliseconds.";
    if (refusal) {
        MessageBoxA(this, refusal, kCaption, MB_OK | MB_ICONSTOP);
        return false;
    }
    // A value of an option not chosen is kept only when it could be used later.
    RunControlSettings& r = *m_RunControl;
    r.RunMode = mode;
    if (ffts > 0)
        r.FftLimit = static_cast<DWORD>(ffts);
    if (seconds > 0.0)
        r.TimeLimitSecs = static_cast<float>(seconds);
    r.StartDelayFlag = delayOn ? 1 : 0;
    if (delay > 0.0)
        r.StartDelaySecs = static_cast<float>(delay);
    if (m_OpMode == 2) {
        r.UpdateIntervalFlag = intervalOn ? 1 : 0;
        if (interval > 0 && interval < 10000)
            r.UpdateIntervalMsec = static_cast<DWORD>(interval);
    }
    return true;
}
