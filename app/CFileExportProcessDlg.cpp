#include "app/CFileExportProcessDlg.h"

#include "platform/ui/Controls.h"
#include "res/FileDialogIds.h"

BEGIN_MESSAGE_MAP(CFileExportProcessDlg, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CFileExportProcessDlg::CFileExportProcessDlg(CWnd* parent, TWaveFile* wave, std::string output,
                                             const ExportSettings& settings)
    : CDialog(IDD_FILE_PROCESS_STATUS, parent),
      process_(std::make_unique<TExportProcess>(wave, std::move(output), settings))
{
}

CFileExportProcessDlg::~CFileExportProcessDlg() = default;

BOOL CFileExportProcessDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (auto* bar = static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROCESS_PROGRESS))) {
        bar->SetRange32(0, 100);
        bar->SetPos(0);
    }
    SetDlgItemText(IDC_PROCESS_STATUS, process_->GetStatusText());
    // An output that can't be opened has been reported; only Cancel is left.
    if (process_->Start()) {
        SetTimer(kTimerId, kTimerMs);
        timerOn_ = true;
    }
    return TRUE;
}

void CFileExportProcessDlg::OnTimer(UINT_PTR id)
{
    if (id != kTimerId || !timerOn_)
        return;
    const bool more = process_->Step();
    if (auto* bar = static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROCESS_PROGRESS)))
        bar->SetPos(process_->GetProgress());
    if (more)
        return;
    KillTimer(kTimerId);
    timerOn_ = false;
    if (process_->GetState() == TExportProcess::State::Done)
        EndDialog(IDOK);
    // A failure has been reported and the partial output removed; the dialog waits for Cancel.
}

void CFileExportProcessDlg::OnCancel()
{
    if (timerOn_)
        KillTimer(kTimerId);
    if (AfxMessageBox("Are you sure you want to cancel exporting?", MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
        timerOn_ = false;
        process_->Cancel();
        CDialog::OnCancel();
        return;
    }
    if (timerOn_)
        SetTimer(kTimerId, kTimerMs);
}
