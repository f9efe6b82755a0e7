#include "app/CValueEntryDlg.h"

#include "records/NumberText.h"
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
    // Every value these dialogs ask for is a number: other text is refused before it is
    // checked, named by the dialog's title (its one field).
    const std::string title = GetWindowTextString();
    double number = 0.0;
    if (!ReadNumberField(*this, m_editId, NumberField{title.empty() ? "The value" : title.c_str()}, number))
        return;
    char text[257] = {};
    GetDlgItemText(m_editId, text, sizeof text);
    const std::string refusal = Take(text);
    if (!refusal.empty()) {
        AfxMessageBox(refusal, MB_OK | m_refusalIcon);
        return;
    }
    CDialog::OnOK();
}
