// A dialog that asks for one value in one edit: it shows the caller's value, and on OK checks
// the text, showing the refusal and staying open, or keeps the value and closes.
#pragma once

#include "platform/core/MessageBox.h"
#include "platform/ui/Dialog.h"

#include <string>

class CValueEntryDlg : public CDialog {
public:
    CValueEntryDlg(UINT templateId, CWnd* parent, int editId, UINT refusalIcon = MB_ICONSTOP);

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    // The caller's value as the edit first shows it.
    virtual std::string ShownText() const = 0;
    // Checks the entered text and, when it is taken, gives it to the caller; the refusal's
    // message, or empty when taken.
    virtual std::string Take(const char* text) = 0;

private:
    int m_editId;
    UINT m_refusalIcon;
};
