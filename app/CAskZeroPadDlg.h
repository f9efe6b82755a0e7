// "Zero Padding Option": asked when a selected segment is shorter than one FFT block. Writes
// the caller's choice: IDC_ZERO_PAD (2164), IDC_INCLUDE_SAMPLES (2166) or IDCANCEL (2).
#pragma once

#include "platform/ui/Dialog.h"

class CAskZeroPadDlg : public CDialog {
public:
    CAskZeroPadDlg(CWnd* parent, int* choice);

    void OnCancel() override;

protected:
    DECLARE_MESSAGE_MAP()
    void OnZeroPad();
    void OnIncludeSamples();

private:
    int* choice_;
};
