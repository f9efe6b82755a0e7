// The maker's USB acquisition device (KDR-5200).
//
// Provisional: this build has no USB device layer yet, so the device is never found.
// OpenDevice fails, nothing is configured or started, every level and ring count is 0, and
// the output operations fail as the device's own do (it offers no analog output). Stopping
// and closing are harmless at any time.
//
// Threads: user-interface thread only (there is no reader thread yet).
#pragma once

#include "records/UsbDeviceSettings.h"
#include "platform/core/WinTypes.h"

class CWnd;

class TUsbDevice {
public:
    TUsbDevice() = default;
    ~TUsbDevice() { CloseDevice(); }
    TUsbDevice(const TUsbDevice&) = delete;
    TUsbDevice& operator=(const TUsbDevice&) = delete;

    // Always false: no device is found. The owner and index are recorded only.
    bool OpenDevice(CWnd* owner, int deviceIndex, int mode);
    void CloseDevice();
    // False: a device that is not open cannot be configured.
    bool SetDeviceConfigurationAD(UsbDeviceSettings settings, int largestBlock, bool triggerFlag, int triggerValue);
    bool StartInput() { return false; }
    bool StopInput() { return false; }
    bool IsInputRunning() const { return false; }

    // Level of channel 0..7 in percent of full scale; 0 with nothing read, and for any other
    // index.
    DWORD GetChannelLevel(int channel) const;
    // Samples held in the channel rings: none.
    int GetRingFill() const { return 0; }
    int GetRingLength() const { return 0; }

    // The device has no analog output.
    bool StartOutput() { return false; }
    bool StopOutput() { return false; }

private:
    CWnd* m_owner = nullptr;
    int m_deviceIndex = -1;
};
