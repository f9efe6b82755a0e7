#include "dialogs/CCopyProcessingSettingsDlg.h"

#include "dialogs/PageHelpers.h"
#include "platform/core/MessageBox.h"
#include "res/ProcessingDialogIds.h"

BEGIN_MESSAGE_MAP(CCopyProcessingSettingsDlg, CDialog)
    ON_BN_CLICKED(IDC_COPY_SELECT_ALL, &CCopyProcessingSettingsDlg::OnSelectAll)
    ON_BN_CLICKED(IDC_COPY_CLEAR_ALL, &CCopyProcessingSettingsDlg::OnClearAll)
END_MESSAGE_MAP()

CCopyProcessingSettingsDlg::CCopyProcessingSettingsDlg(CWnd* parent, std::string description, int* source,
                                                       BYTE* destinations)
    : CDialog(IDD_COPY_PROCESSING, parent), m_description(std::move(description)), m_source(source),
      m_destinations(destinations)
{
}

BOOL CCopyProcessingSettingsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_COPY_DESCRIPTION, m_description);
    if (m_source && *m_source >= 0 && *m_source < 8)
        CheckDlgButton(kCopySourceFirstId + *m_source, 1);
    for (int ch = 0; ch < 8; ++ch)
        CheckDlgButton(kCopyDestinationFirstId + ch, m_destinations && m_destinations[ch] ? 1 : 0);
    // Only the five channels the device offers are copied between.
    for (int ch = 5; ch < 8; ++ch) {
        sheet::Show(*this, kCopySourceFirstId + ch, false);
        sheet::Show(*this, kCopyDestinationFirstId + ch, false);
    }
    return TRUE;
}

void CCopyProcessingSettingsDlg::OnSelectAll()
{
    for (int ch = 0; ch < 8; ++ch)
        CheckDlgButton(kCopyDestinationFirstId + ch, 1);
}

void CCopyProcessingSettingsDlg::OnClearAll()
{
    for (int ch = 0; ch < 8; ++ch)
        CheckDlgButton(kCopyDestinationFirstId + ch, 0);
}

void CCopyProcessingSettingsDlg::OnOK()
{
    int source = 0;
    for (int ch = 0; ch < 8; ++ch)
        if (IsDlgButtonChecked(kCopySourceFirstId + ch)) {
            source = ch;
            break;
        }
    int count = 0;
    int only = -1;
    BYTE flags[8] = {};
    for (int ch = 0; ch < 8; ++ch) {
        flags[ch] = IsDlgButtonChecked(kCopyDestinationFirstId + ch) ? 1 : 0;
        if (flags[ch]) {
            ++count;
            only = ch;
        }
    }
    if (m_source)
        *m_source = source;
    if (m_destinations)
        std::copy(std::begin(flags), std::end(flags), m_destinations);
    if (count == 0) {
        AfxMessageBox("You must select at least one Destination channel", MB_OK | MB_ICONSTOP);
        return;
    }
    if (count == 1 && only == source) {
        AfxMessageBox("The Source and Destination channels must be different", MB_OK | MB_ICONSTOP);
        return;
    }
    CDialog::OnOK();
}
