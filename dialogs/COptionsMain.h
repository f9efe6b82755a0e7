// "Processing Settings": the sheet of the Device Input, FFT, Scaling, Triggering, Calibration,
// Run Control and Output pages over working copies of the frame's records. It validates every
// page at OK and copies one channel's page settings to others; the frame applies the working
// copies after OK. A page's position in the sheet is its page code.
#pragma once

#include "dialogs/CCalibrationDlg.h"
#include "dialogs/CDeviceInputDlg.h"
#include "dialogs/CDeviceOutputDlg.h"
#include "dialogs/CRunControlDlg.h"
#include "dialogs/CScalingDlg.h"
#include "dialogs/CSettingsDlg.h"
#include "dialogs/CTriggeringDlg.h"
#include "platform/ui/Controls.h"
#include "platform/ui/PropertySheet.h"
#include "records/ChannelCalibration.h"
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/OutputDeviceSettings.h"
#include "records/RunControlSettings.h"
#include "records/TriggerSettings.h"
#include "records/UsbDeviceSettings.h"

#include <memory>
#include <string>

class COptionsMain : public CPropertySheet {
public:
    // Page codes: the callers' names for the pages, and their places in the sheet.
    enum PageCode { kInputPage = 0, kFftPage, kScalingPage, kTriggerPage, kCalibrationPage, kRunControlPage, kOutputPage };

    COptionsMain(LPCSTR caption, CWnd* parent, WORD mode, ChannelProcessingSettings* processing,
                 ChannelScalingSettings* scaling, UsbDeviceSettings* device, ChannelCalibration* calibration,
                 TriggerSettings* trigger, RunControlSettings* runControl, INT* inputDeviceIndex,
                 INT* outputDeviceIndex, DWORD* soundCardIndex, BYTE* useSoundCard, OutputDeviceSettings* output,
                 int pageCode);

    CSettingsDlg m_FftPage;
    CScalingDlg m_ScalingPage;
    CTriggeringDlg m_TriggerPage;
    CCalibrationDlg m_CalibrationPage;
    CDeviceInputDlg m_InputPage;
    CDeviceOutputDlg m_OutputPage;
    CRunControlDlg m_RunControlPage;

    BOOL OnInitDialog() override;

    // The page code of the page active at the last successful OK, for the process; the
    // sheet opens there when the caller asks for the page last used (-1).
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
    CSheetPage* PageOfCode(int code);
    DECLARE_MESSAGE_MAP()

    BYTE m_initialising = 1;
    int m_pageCode;
    std::unique_ptr<CButton> m_defaults, m_copy, m_help;
};
