#include "app/CFileExportProcessDlg.h"

#include "platform/ui/Controls.h"
#include "res/FileDialogIds.h"

CFileExportProcessDlg::CFileExportProcessDlg(CWnd* parent, TWaveFile* wave, std::string output,
                                             const ExportSettings& settings)
    : CProcessStatusDlg(parent, "Are you sure you want to cancel exporting?"),
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
    if (process_->Start())
        StartSteps();
    return TRUE;
}
