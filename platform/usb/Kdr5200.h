// How the KDR-5200 is known on the bus.
#pragma once

#include "platform/usb/WinUsb.h"

// Its device-interface class {05f588b8-5641-4ff6-baff-b32357ba3884}, as the device reports it
// in its Microsoft OS descriptors.
inline constexpr GUID kKdr5200InterfaceClass = {0x05f588b8, 0x5641, 0x4ff6,
                                                {0xba, 0xff, 0xb3, 0x23, 0x57, 0xba, 0x38, 0x84}};
