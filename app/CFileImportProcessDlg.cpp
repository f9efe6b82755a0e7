#include "app/CFileImportProcessDlg.h"

#include "platform/ui/Controls.h"
#include "res/FileDialogIds.h"

BEGIN_MESSAGE_MAP(CFileImportProcessDlg, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CFileImportProcessDlg::CFileImportProcessDlg(CWnd* parent, std::string source, std::string destination,
                                             const ImportSettings& settings, const std::string& tempDir)
    : CDialog(IDD_FILE_PROCESS_STATUS, parent),
      process_(std::make_unique<TImportProcess>(std::move(source), std::move(destination), settings, tempDir))
{
}

CFileImportProcessDlg::~CFileImportProcessDlg() = default;

BOOL CFileImportProcessDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (auto* bar = static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROCESS_PROGRESS)))
        bar->SetRange32(0, 100);
    SetDlgItemText(IDC_PROCESS_STATUS, "Examining Import File...");
    ShowProgress();
    // A source that can't be opened or read has been reported; only Cancel is left.
    if (process_->Start()) {
        SetDlgItemText(IDC_PROCESS_STATUS, process_->GetStatusText());
        SetTimer(kTimerId, kTimerMs);
        timerOn_ = true;
    }
    return TRUE;
}

void CFileImportProcessDlg::ShowProgress()
{
    if (auto* bar = static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROCESS_PROGRESS)))
        bar->SetPos(process_->GetProgress());
}

void CFileImportProcessDlg::OnTimer(UINT_PTR id)
{
    if (id != kTimerId || !timerOn_)
        return;
    const bool more = process_->Step();
    ShowProgress();
    if (more)
        return;
    KillTimer(kTimerId);
    timerOn_ = false;
    if (process_->GetState() == TImportProcess::State::Done)
        EndDialog(IDOK);
    // A failed step has been reported; the dialog waits for Cancel.
}

void CFileImportProcessDlg::OnCancel()
{
    if (timerOn_)
        KillTimer(kTimerId);
    if (AfxMessageBox("Are you sure you want to cancel importing?", MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
        timerOn_ = false;
        process_->Cancel();
        CDialog::OnCancel();
        return;
    }
    if (timerOn_)
        SetTimer(kTimerId, kTimerMs);
}
