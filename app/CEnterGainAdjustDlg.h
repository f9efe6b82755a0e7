// "Enter Gain Adjustment": the gain of Edit > Gain Adjust in whole dB, -60..+60. Edits the
// caller's value in place on OK.
#pragma once

#include "app/CValueEntryDlg.h"

class CEnterGainAdjustDlg : public CValueEntryDlg {
public:
    CEnterGainAdjustDlg(CWnd* parent, float* gainDb);

private:
    std::string ShownText() const override;
    std::string Take(const char* text) override;

    float* gain_;
};
