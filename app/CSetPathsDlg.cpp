#include "app/CSetPathsDlg.h"

#include "app/CMainFrame.h"
#include "records/CommonRoutines.h"

#include <cstdio>

BEGIN_MESSAGE_MAP(CSetPathsDlg, CDialog)
    ON_BN_CLICKED(CSetPathsDlg::IDC_DEFAULTS, &CSetPathsDlg::OnDefaults)
END_MESSAGE_MAP()

namespace {
constexpr int kShown = 7; // the reverberation, THD and filter folders are not shown
} // namespace

CSetPathsDlg::CSetPathsDlg(CWnd* pParent, PathSettings* paths) : CDialog(IDD, pParent), paths_(paths)
{
    if (auto* frame = dynamic_cast<CMainFrame*>(pParent))
        dataFolder_ = frame->DataFolder;
}

BOOL CSetPathsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int i = 0; i < kShown; ++i)
        SetDlgItemText(kFirstEdit + i, paths_ != nullptr ? paths_->Folder(i) : "");
    return TRUE;
}

void CSetPathsDlg::OnDefaults()
{
    for (int i = 0; i < kShown; ++i)
        SetDlgItemText(kFirstEdit + i, JoinDataFolder(dataFolder_, PathSettings::DefaultName(i)));
}

void CSetPathsDlg::OnOK()
{
    char texts[kShown][260] = {};
    for (int i = 0; i < kShown; ++i)
        GetDlgItemText(kFirstEdit + i, texts[i], 260);
    for (int i = 0; i < kShown; ++i)
        if (!CheckFolderExists(texts[i]))
            return;
    if (paths_ != nullptr)
        for (int i = 0; i < kShown; ++i)
            std::snprintf(paths_->Folder(i), sizeof texts[i], "%.259s", texts[i]);
    CDialog::OnOK();
}
