// "Dynamic DC Offset": the low cutoff (0.1..500 Hz) and the recalculation interval
// (1..1000 samples) of the running-mean removal. Both are stored only when both pass.
#pragma once

#include "platform/ui/Dialog.h"

#include <cstdint>

class CDynamicDCOffsetDlg : public CDialog {
public:
    CDynamicDCOffsetDlg(CWnd* parent, float* cutoff, std::int32_t* interval);

    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    float* cutoff_;
    std::int32_t* interval_;
};
