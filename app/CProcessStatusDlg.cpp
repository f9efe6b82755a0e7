#include "app/CProcessStatusDlg.h"

#include "platform/ui/Controls.h"
#include "res/FileDialogIds.h"

BEGIN_MESSAGE_MAP(CProcessStatusDlg, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CProcessStatusDlg::CProcessStatusDlg(CWnd* parent, const char* cancelQuestion)
    : CDialog(IDD_FILE_PROCESS_STATUS, parent), cancelQuestion_(cancelQuestion)
{
}

void CProcessStatusDlg::StartSteps()
{
    SetTimer(kTimerId, kTimerMs);
    timerOn_ = true;
}

void CProcessStatusDlg::ShowProgress()
{
    if (auto* bar = static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROCESS_PROGRESS)))
        bar->SetPos(WorkProgress());
}

void CProcessStatusDlg::OnTimer(UINT_PTR id)
{
    if (id != kTimerId || !timerOn_)
        return;
    const bool more = StepWork();
    ShowProgress();
    if (more)
        return;
    KillTimer(kTimerId);
    timerOn_ = false;
    if (WorkDone())
        EndDialog(IDOK);
    // A failed step has been reported by the work; the dialog waits for Cancel.
}

void CProcessStatusDlg::OnCancel()
{
    // The question is modal: no step runs while it is up.
    if (timerOn_)
        KillTimer(kTimerId);
    if (AfxMessageBox(cancelQuestion_, MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
        timerOn_ = false;
        CancelWork();
        CDialog::OnCancel();
        return;
    }
    if (timerOn_)
        SetTimer(kTimerId, kTimerMs);
}
