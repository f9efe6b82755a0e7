#include "acquisition/TUsbDevice.h"

bool TUsbDevice::OpenDevice(CWnd* owner, int, int)
{
    m_owner = owner;
    return false;
}

void TUsbDevice::CloseDevice() { m_deviceIndex = -1; }

bool TUsbDevice::SetDeviceConfigurationAD(UsbDeviceSettings, int, bool, int) { return false; }

DWORD TUsbDevice::GetChannelLevel(int) const { return 0; }
