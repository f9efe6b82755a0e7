// "Enter Gain Adjustment": the gain of Edit > Gain Adjust in whole dB, -60..+60. Edits the
// caller's value in place on OK.
#pragma once

#include "platform/ui/Dialog.h"

class CEnterGainAdjustDlg : public CDialog {
public:
    CEnterGainAdjustDlg(CWnd* parent, float* gainDb);

    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    float* gain_;
};
