// "Select Data Source": whether an operation on a spectrum trace takes its peak-hold values or
// its spectral values. Edits the caller's choice byte (1 peak hold, 0 spectral data) on OK;
// the caller keeps the byte, so the last choice is offered again.
#pragma once

#include "platform/ui/Dialog.h"

class TOverlaySourceSelectDialog : public CDialog {
public:
    TOverlaySourceSelectDialog(CWnd* parent, BYTE* choice);

    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    BYTE* m_choice;
};
