#include "app/CFileImportProcessDlg.h"

#include "platform/ui/Controls.h"
#include "res/FileDialogIds.h"

CFileImportProcessDlg::CFileImportProcessDlg(CWnd* parent, std::string source, std::string destination,
                                             const ImportSettings& settings, const std::string& tempDir)
    : CProcessStatusDlg(parent, "Are you sure you want to cancel importing?"),
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
        StartSteps();
    }
    return TRUE;
}
