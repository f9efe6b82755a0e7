// "Enter DC Offset value": the offset of Edit > DC Offset, in the channel's calibrated units
// (the prompt names them) or in percent of full scale. Zero is refused.
#pragma once

#include "app/CValueEntryDlg.h"
#include "records/ChannelCalibration.h"
#include "records/TPcmFormat.h"

class CEnterDCOffsetDlg : public CValueEntryDlg {
public:
    CEnterDCOffsetDlg(CWnd* parent, const ChannelCalibration& calibration, const TPcmFormat& format, float* offset);

    BOOL OnInitDialog() override;

private:
    std::string ShownText() const override;
    std::string Take(const char* text) override;

    ChannelCalibration calibration_;
    TPcmFormat format_;
    float* offset_;
};
