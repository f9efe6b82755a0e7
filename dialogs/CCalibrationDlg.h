// "Calibration": per input channel whether calibration is on, which calibration applies
// (Volts, Millivolts, RPM, a *.cal file or the one the channel's wave file carries), editing
// and creating calibrations, and the channel's name. Works on the sheet's working copies.
#pragma once

#include "dialogs/CCalibrationDetailsDlg.h"
#include "dialogs/CSheetPage.h"
#include "records/ChannelCalibration.h"
#include "records/UsbDeviceSettings.h"

#include <string>

class CCalibrationDlg : public CSheetPage {
public:
    CCalibrationDlg();

    // Set by the sheet.
    ChannelCalibration* m_Calibration = nullptr; // eight working records
    UsbDeviceSettings* m_Device = nullptr;
    INT* m_InputDeviceIndex = nullptr;
    BYTE m_HasWaveFile[8] = {};                 // the channel has an open wave file
    CalibrationContext m_Context;                // what the details dialog needs of the frame

    // Entry kinds (item data of the calibration lists).
    enum Kind : DWORD { kVolts = 0, kMillivolts = 1, kFile = 2, kEmbedded = 3, kRpm = 4 };

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    void Fill() override;
    void Defaults() override;
    bool ValidateAndStore() override;
    void Copy(int source, const BYTE destinations[8]) override;

    void FillList(int row);
    void ApplySelection(int row);
    void UpdateRowStates();
    void ApplyChannelEnables() override { UpdateRowStates(); }

private:
    void OnEnableClicked(UINT id);
    void OnComboChanged(UINT id);
    void OnEdit(UINT id);
    void OnNew(UINT id);
    bool RunDetails(int row, ChannelCalibration& scratch, bool askName);
    DECLARE_MESSAGE_MAP()

    ChannelCalibration m_entry[8];
    BYTE m_pageInitialising = 1;
};
