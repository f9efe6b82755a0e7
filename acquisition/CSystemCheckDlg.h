// "System Check": with the sensors terminated, measures every half second the largest spectral
// level between 400 and 1200 Hz of channels 0 to 6 from the input device, and rates each one
// "Good", "Marginal" or "Fail".
//
// The frame hands it its input device, a copy of its device settings and its channel 0
// calibration when it builds the dialog. Threads: user-interface thread (the device's reader
// thread fills the rings it reads).
#pragma once

#include "acquisition/CSystemCheckGrid.h"
#include "platform/ui/Dialog.h"
#include "records/ChannelCalibration.h"
#include "records/UsbDeviceSettings.h"

class TUsbDevice;

class CSystemCheckDlg : public CDialog {
public:
    static constexpr UINT_PTR kTimerSystemCheck = 201;
    static constexpr int kChecked = 7; // channels 0..6; channel 7 has no sensor
    static constexpr float kNoLevel = -999.9f;

    CSystemCheckDlg(CWnd* parent, TUsbDevice* device, const UsbDeviceSettings& settings,
                    const ChannelCalibration* calibration);

    BOOL OnInitDialog() override;
    void OnCancel() override; // Close (2) and Esc: a running check stops first

    void OnStartStop();
    bool StartCheck();
    void StopCheck();
    void RateChannels();
    void SetupGrid();
    // One measurement of every channel (what each timer tick does).
    void MeasureChannels();

    bool IsRunning() const { return m_running != 0; }
    float GetLevel(int channel) const { return channel >= 0 && channel < 8 ? m_levels[channel] : kNoLevel; }
    void SetLevel(int channel, float level)
    {
        if (channel >= 0 && channel < 8)
            m_levels[channel] = level;
    }
    CSystemCheckGrid& GetGrid() { return m_grid; }

protected:
    DECLARE_MESSAGE_MAP()
    void OnTimer(UINT_PTR nIDEvent);

private:
    TUsbDevice* m_device;
    UsbDeviceSettings m_settings;
    const ChannelCalibration* m_calibration;
    CSystemCheckGrid m_grid;
    BYTE m_running = 0;
    BYTE m_initialising = 0;
    float m_levels[8];
};
