// durnex-usbprobe: exits 0 when a KDR-5200 is on the USB bus (and can be opened), 1 when not.
// tools/run.sh asks it whether to start the analyser on the built-in simulator.
#include "platform/usb/KdrSimulator.h"
#include "platform/usb/Kdr5200.h"

#include <cstdlib>

int main()
{
    // The real bus only, whatever the environment selects for the analyser.
    unsetenv("DURNEX_SIMULATOR");
    kdrsim::SelectSimulator(false);
    HDEVINFO set = SetupDiGetClassDevsA(&kKdr5200InterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return 1;
    SP_DEVICE_INTERFACE_DATA data;
    const bool found = SetupDiEnumDeviceInterfaces(set, nullptr, &kKdr5200InterfaceClass, 0, &data) != FALSE;
    SetupDiDestroyDeviceInfoList(set);
    return found ? 0 : 1;
}
