// "Enter DC Offset value": the offset of Edit > DC Offset, in the channel's calibrated units
// (the prompt names them) or in percent of full scale. Zero is refused.
#pragma once

#include "records/ChannelCalibration.h"
#include "platform/ui/Dialog.h"
#include "records/TPcmFormat.h"

class CEnterDCOffsetDlg : public CDialog {
public:
    CEnterDCOffsetDlg(CWnd* parent, const ChannelCalibration& calibration, const TPcmFormat& format, float* offset);

    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    ChannelCalibration calibration_;
    TPcmFormat format_;
    float* offset_;
};
