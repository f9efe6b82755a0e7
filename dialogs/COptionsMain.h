// "Processing Settings": the sheet of the FFT, Scaling and Calibration pages over working
// copies of the frame's records. It validates every page at OK and copies one channel's page
// settings to others; the frame applies the working copies after OK.
#pragma once

#include "dialogs/CCalibrationDlg.h"
#include "dialogs/CScalingDlg.h"
#include "dialogs/CSettingsDlg.h"
#include "platform/ui/Controls.h"
#include "platform/ui/PropertySheet.h"
#include "records/ChannelCalibration.h"
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/UsbDeviceSettings.h"

#include <memory>
#include <string>

class COptionsMain : public CPropertySheet {
public:
    COptionsMain(LPCSTR caption, CWnd* parent, WORD mode, ChannelProcessingSettings* processing,
                 ChannelScalingSettings* scaling, UsbDeviceSettings* device, ChannelCalibration* calibration,
                 INT* inputDeviceIndex, int pageCode);

    CSettingsDlg m_FftPage;
    CScalingDlg m_ScalingPage;
    CCalibrationDlg m_CalibrationPage;

    BOOL OnInitDialog() override;

    // The page code of the page active at the last successful OK (1 FFT, 2 Scaling,
    // 4 Calibration), for the process.
    static int LastPageCode();

    // The process-wide choice of the copy dialog.
    static int& CopySource();
    static BYTE* CopyDestinations();

private:
    void OnSheetOk();
    void OnDefaults();
    void OnCopyChannels();
    void OnHelp() {}
    CSheetPage* ActiveSheetPage() const;
    DECLARE_MESSAGE_MAP()

    BYTE m_initialising = 1;
    int m_pageCode;
    std::unique_ptr<CButton> m_defaults, m_copy, m_help;
};
