#include "app/CFileExportDlg.h"

#include "records/CommonRoutines.h"
#include "platform/ui/Controls.h"
#include "res/FileDialogIds.h"

namespace {
constexpr const char* kOutputTypes[] = {"ASCII - integer",  "ASCII - floating point", "Binary - 8 bit",
                                        "Binary - 16 bit",  "Binary - 32 bit",        "Binary - floating point"};
// Channel 7 has no location and is never offered.
constexpr int kExportChannels = 7;
} // namespace

CFileExportDlg::CFileExportDlg(CWnd* parent, ExportSettings* settings, const ChannelFileState* files)
    : CDialog(IDD_FILE_EXPORT, parent), settings_(settings), files_(files)
{
}

BOOL CFileExportDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    auto* type = static_cast<CComboBox*>(GetDlgItem(IDC_EXPORT_TYPE));
    for (const char* t : kOutputTypes)
        type->AddString(t);
    type->SetCurSel(settings_->Format < 6 ? settings_->Format : 0);

    auto* channel = static_cast<CComboBox*>(GetDlgItem(IDC_EXPORT_CHANNEL));
    int selected = -1;
    for (int c = 0; c < kExportChannels; ++c) {
        if (files_ == nullptr || files_[c].File == nullptr)
            continue;
        const int i = channel->AddString(GetChannelLocationName(c));
        channel->SetItemData(i, DWORD_PTR(c));
        if (c == settings_->Channel)
            selected = i;
    }
    if (channel->GetCount() > 0)
        channel->SetCurSel(selected >= 0 ? selected : 0);
    return TRUE;
}

void CFileExportDlg::OnOK()
{
    auto* type = static_cast<CComboBox*>(GetDlgItem(IDC_EXPORT_TYPE));
    auto* channel = static_cast<CComboBox*>(GetDlgItem(IDC_EXPORT_CHANNEL));
    if (channel->GetCurSel() < 0) {
        // Only a channel 7 file is open: there is nothing this dialog can export.
        AfxMessageBox("At least one wave file must be open in order to export it's contents.", MB_OK);
        return;
    }
    settings_->Format = static_cast<WORD>(type->GetCurSel() < 0 ? 0 : type->GetCurSel());
    settings_->Channel = static_cast<WORD>(channel->GetItemData(channel->GetCurSel()));
    CDialog::OnOK();
}
