// "Single Channel Plot Selection": which plot windows each input channel has open. Edits the
// caller's five arrays of 8 flags in place on OK; Cancel leaves them as they were.
#pragma once

#include "platform/ui/Dialog.h"

class CSelectSingleViewDlg : public CDialog {
public:
    // mode: the frame's run mode (2 Post Process enables every row, also of disabled channels).
    CSelectSingleViewDlg(CWnd* parent, WORD mode, BYTE* series, BYTE* spectrum, BYTE* phase, BYTE* spectrogram,
                         BYTE* surface, const BYTE* enabled);

    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    WORD m_mode;
    BYTE* m_wanted[5];
    const BYTE* m_enabled;
};
