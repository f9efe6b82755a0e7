// What a window that runs a live test (RT-60, THD+N versus frequency) needs of the frame's
// devices: pointers to the frame's own records and objects, which outlive the window.
#pragma once

#include "platform/core/WinTypes.h"

#include <memory>

class CWnd;
class TSoundOutput;
class TUsbDevice;
struct OutputDeviceSettings;
struct UsbDeviceSettings;

struct LiveTestLinks {
    CWnd* frame = nullptr; // told of closing and asked to act
    const UsbDeviceSettings* device = nullptr;
    const OutputDeviceSettings* output = nullptr;
    const INT* inputDeviceIndex = nullptr; // negative: no device
    const INT* outputDeviceIndex = nullptr;
    const BYTE* useSoundCard = nullptr;
    const DWORD* soundCardIndex = nullptr;
    const WORD* opMode = nullptr; // 2: Post Process
    const std::unique_ptr<TUsbDevice>* inputDevice = nullptr; // the frame's device objects (each may be null)
    const std::unique_ptr<TUsbDevice>* outputDevice = nullptr;
    std::unique_ptr<TSoundOutput>* soundOutput = nullptr; // the frame's one sound output, null when idle
};

// Asks the frame (by `request` with wParam `showSettings`) to open the settings sheet on `page`:
// 0 the device input page, refused with a message in Post Process mode, 6 the output page.
void AskFrameForDeviceSettings(const LiveTestLinks& links, UINT request, WPARAM showSettings, int page);
