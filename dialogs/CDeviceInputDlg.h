// "Device Input Options": per input channel whether it is acquired, its range, coupling, IEPE
// excitation and low-pass filter, and the device's sampling rate and sample size, offered as the
// input device reports them, on the sheet's working device record. In Post Process mode the
// page only shows them: files, not the device, are processed.
#pragma once

#include "dialogs/CSheetPage.h"
#include "records/UsbDeviceSettings.h"

#include <utility>
#include <vector>

class TUsbDevice;

class CDeviceInputDlg : public CSheetPage {
public:
    CDeviceInputDlg();

    // Set by the sheet.
    UsbDeviceSettings* m_Device = nullptr; // the working device record
    TUsbDevice* m_InputDevice = nullptr;   // what the lists offer; none: only the stored values

    BOOL OnInitDialog() override;
    void Fill() override;
    void Defaults() override;
    bool ValidateAndStore() override;
    void Copy(int source, const BYTE destinations[8]) override;
    BOOL OnDeviceChange(UINT eventType, DWORD_PTR data);

    // What the device reported at the last fill: its input ranges (low, high) and two
    // capability flags, kept for the record; the rows beyond its channel count are not
    // editable.
    const std::vector<std::pair<double, double>>& GetInputRanges() const { return m_ranges; }
    bool GetInputCapability1() const { return m_capability1; }
    bool GetInputCapability2() const { return m_capability2; }
    int GetDeviceChannels() const { return m_deviceChannels; }

private:
    void FillFrom(const UsbDeviceSettings& record);
    void ReadControls(UsbDeviceSettings& record) const;
    static int Find(const std::vector<double>& values, double value);
    int AddGain(int row, double gain);
    int AddFilter(int row, double frequency);
    int AddIepe(int row, WORD source, double current);
    DECLARE_MESSAGE_MAP()

    // What each row's lists hold, by list position.
    std::vector<double> m_gains[8];
    std::vector<double> m_filters[8];
    std::vector<std::pair<WORD, double>> m_iepe[8]; // source, current in amperes
    std::vector<std::pair<double, double>> m_ranges;
    bool m_capability1 = false;
    bool m_capability2 = false;
    int m_deviceChannels = 8;
};
