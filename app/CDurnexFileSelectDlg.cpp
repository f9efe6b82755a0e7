#include "app/CDurnexFileSelectDlg.h"

#include "app/CEnterGainAdjustDlg.h"
#include "records/RecordBytes.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/Controls.h"
#include "platform/ui/LongOperation.h"
#include "res/FileDialogIds.h"
#include "wave/CompositeWave.h"
#include "wave/TWaveFile.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

BEGIN_MESSAGE_MAP(CDurnexFileSelectDlg, CDialog)
    ON_BN_CLICKED(IDC_GROUP_SAVE, &CDurnexFileSelectDlg::OnSave)
    ON_BN_CLICKED(IDC_GROUP_OPEN, &CDurnexFileSelectDlg::OnOpen)
    ON_BN_CLICKED(IDC_GROUP_CLOSE, &CDurnexFileSelectDlg::OnClose)
    ON_BN_CLICKED(IDC_GROUP_COMPOSITE, &CDurnexFileSelectDlg::OnCreateComposite)
    ON_BN_CLICKED(IDC_HELP_BUTTON, &CDurnexFileSelectDlg::OnHelp)
    ON_NOTIFY(DTN_DATETIMECHANGE, IDC_GROUP_DATE, &CDurnexFileSelectDlg::OnDateChanged)
END_MESSAGE_MAP()

namespace {

constexpr int kChannels = 8;
constexpr DWORD kGroupFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
constexpr const char* kGroupFilter = "Quenrith File (*.qrx)|*.qrx||";

CDateTimeCtrl* Picker(CDialog* d) { return static_cast<CDateTimeCtrl*>(d->GetDlgItem(IDC_GROUP_DATE)); }

} // namespace

CDurnexFileSelectDlg::CDurnexFileSelectDlg(CWnd* parent, FileGroupInfo* group, char* waveFolder,
                                           ChannelFileState* files, ChannelCalibration* calibrations, BYTE* changed)
    : CDialog(IDD_FILE_SELECT, parent), group_(group), waveFolder_(waveFolder), files_(files),
      calibrations_(calibrations), changed_(changed)
{
}

void CDurnexFileSelectDlg::SetFileOptions(WORD waveMode, bool makeBackup, std::string tempFolder)
{
    waveMode_ = waveMode;
    makeBackup_ = makeBackup;
    tempFolder_ = std::move(tempFolder);
}

BOOL CDurnexFileSelectDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ShowGroup();
    if (CWnd* bar = GetDlgItem(IDC_PROCESS_PROGRESS))
        bar->ShowWindow(SW_HIDE);
    UpdateButtons();
    // The Filename box only shows the group's path: the focus starts on what the dialog is
    // most likely opened for (Save with files open, as Ctrl+S does; Open without), so that
    // Enter does it rather than closing the dialog.
    GotoDlgCtrl(GetDlgItem(CountOpenFiles() > 0 ? IDC_GROUP_SAVE : IDC_GROUP_OPEN));
    return FALSE;
}

int CDurnexFileSelectDlg::CountOpenFiles() const
{
    int n = 0;
    for (int c = 0; c < kChannels; ++c)
        if (files_[c].File != nullptr)
            ++n;
    return n;
}

void CDurnexFileSelectDlg::UpdateButtons(int pressed)
{
    const bool open = CountOpenFiles() > 0;
    // A button about to disable itself hands the focus to "Done" first: left to the tab order,
    // the focus would land on a neighbour ("Close File..." after Open) that Enter then presses.
    // The button that was pressed counts as focused: after a file dialog the focus is still on
    // its way back to this window, and the window manager gives it back to the button.
    const int disabling = open ? IDC_GROUP_OPEN : IDC_GROUP_CLOSE;
    CWnd* focus = GetFocus();
    if (pressed == disabling || (focus && focus == GetDlgItem(disabling)))
        GotoDlgCtrl(GetDlgItem(IDCANCEL));
    for (int id : {IDC_GROUP_SAVE, IDC_GROUP_CLOSE, IDC_GROUP_COMPOSITE})
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(open);
    if (CWnd* w = GetDlgItem(IDC_GROUP_OPEN))
        w->EnableWindow(!open);
}

void CDurnexFileSelectDlg::ShowGroup()
{
    SetDlgItemText(IDC_GROUP_FILENAME, group_->IsUntitled() ? "[Untitled]" : group_->GroupPath);
    SetDlgItemText(IDC_GROUP_TEST_NAME, group_->TestName);
    SetDlgItemText(IDC_GROUP_TECHNICIAN, group_->Technician);
    SetDlgItemText(IDC_GROUP_COMMENTS, group_->Comments);
    if (CDateTimeCtrl* p = Picker(this))
        p->SetTime(group_->TestDate > 0 ? group_->TestDate : std::time(nullptr));
}

void CDurnexFileSelectDlg::ReadTexts()
{
    GetDlgItemText(IDC_GROUP_TEST_NAME, group_->TestName, sizeof group_->TestName);
    GetDlgItemText(IDC_GROUP_TECHNICIAN, group_->Technician, sizeof group_->Technician);
    GetDlgItemText(IDC_GROUP_COMMENTS, group_->Comments, sizeof group_->Comments);
}

void CDurnexFileSelectDlg::OnSave()
{
    GetDlgItemText(IDC_GROUP_TEST_NAME, group_->TestName, sizeof group_->TestName);
    CFileDialog dlg(FALSE, "qrx", group_->TestName, kGroupFlags | OFN_OVERWRITEPROMPT, kGroupFilter, this);
    dlg.m_ofn.lpstrTitle = "Save Quenrith File Group";
    dlg.m_ofn.lpstrInitialDir = waveFolder_;
    if (dlg.DoModal() != IDOK) {
        UpdateButtons();
        return;
    }
    ReadTexts();
    time64_t date = 0;
    if (CDateTimeCtrl* p = Picker(this))
        p->GetTime(date);
    group_->TestDate = date;
    const std::string path = dlg.GetPathName();
    // The group takes the path only once its file is written.
    SaveFileGroup(path, *group_, files_);
    SetDlgItemText(IDC_GROUP_FILENAME, group_->IsUntitled() ? "[Untitled]" : group_->GroupPath);
    UpdateButtons();
}

void CDurnexFileSelectDlg::OnOpen()
{
    CFileDialog dlg(TRUE, "qrx", nullptr, kGroupFlags | OFN_FILEMUSTEXIST, kGroupFilter, this);
    dlg.m_ofn.lpstrTitle = "Load Quenrith File Group";
    dlg.m_ofn.lpstrInitialDir = waveFolder_;
    if (dlg.DoModal() != IDOK)
        return;
    const std::string path = dlg.GetPathName();
    OpenFileGroup(path, *group_, files_, calibrations_, waveMode_, makeBackup_,
                  waveFolder_ ? std::string(waveFolder_) : std::string());
    CopyField(group_->GroupPath, path.c_str());
    if (filesChanged_)
        filesChanged_();
    ShowGroup();
    UpdateButtons(IDC_GROUP_OPEN);
    *changed_ = 1;
}

void CDurnexFileSelectDlg::OnClose()
{
    const int unsaved = unsavedCounter_ ? unsavedCounter_() : CountUnsavedWaveFiles(files_, kChannels);
    if (unsaved > 0 &&
        AfxMessageBox("The file has not been saved.  Do you want to continue without saving?",
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    for (int c = 0; c < kChannels; ++c)
        if (files_[c].File != nullptr)
            files_[c].Clear();
    if (filesChanged_)
        filesChanged_();
    group_->Clear();
    ShowGroup();
    UpdateButtons(IDC_GROUP_CLOSE);
    *changed_ = 1;
}

void CDurnexFileSelectDlg::OnCreateComposite()
{
    const int reference = FindCompositeReference(files_);
    if (reference < 0)
        return;
    char proposed[300];
    std::snprintf(proposed, sizeof proposed, "%s Composite", group_->TestName);
    CFileDialog dlg(FALSE, "wav", proposed, kGroupFlags | OFN_OVERWRITEPROMPT, "Wave File (*.wav)|*.wav||", this);
    dlg.m_ofn.lpstrTitle = "Create Quenrith Composite File";
    dlg.m_ofn.lpstrInitialDir = waveFolder_;
    if (dlg.DoModal() != IDOK)
        return;
    float gainDb = 50.0f;
    CEnterGainAdjustDlg gain(this, &gainDb);
    if (gain.DoModal() != IDOK)
        return;

    CWaitCursor wait;
    auto* bar = static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROCESS_PROGRESS));
    if (bar) {
        bar->SetRange32(0, 100);
        bar->SetPos(0);
        bar->ShowWindow(SW_SHOW);
    }
    BuildCompositeWave(files_, reference, dlg.GetPathName(), gainDb, tempFolder_, [bar](int percent) {
        if (bar)
            bar->SetPos(percent);
    });
    if (bar)
        bar->ShowWindow(SW_HIDE);
}

void CDurnexFileSelectDlg::OnHelp() {}

void CDurnexFileSelectDlg::OnDateChanged(NMHDR*, LRESULT* result)
{
    if (result)
        *result = 0;
}
