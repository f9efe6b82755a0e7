#include "app/CValueEntryDlg.h"

#include "platform/core/MessageBox.h"

CValueEntryDlg::CValueEntryDlg(UINT templateId, CWnd* parent, int editId, UINT refusalIcon)
    : CDialog(templateId, parent), m_editId(editId), m_refusalIcon(refusalIcon)
{
}

BOOL CValueEntryDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(m_editId, ShownText());
    return TRUE;
}

void CValueEntryDlg::OnOK()
{
    char text[257] = {};
    GetDlgItemText(m_editId, text, sizeof text);
    const std::string refusal = Take(text);
    if (!refusal.empty()) {
        AfxMessageBox(refusal, MB_OK | m_refusalIcon);
        return;
    }
    CDialog::OnOK();
}
