// What a window that runs a live test (RT-60, THD+N versus frequency) needs of the frame's
// devices. The frame fills the functions when it opens the window; they are asked each time,
// so a test sees the settings as they stand when it starts and the device objects the frame
// holds now (it may replace them while the window is open). Without a frame the functions are
// empty: a test sees the default settings, no devices and no sound output.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"
#include "records/OutputDeviceSettings.h"
#include "records/UsbDeviceSettings.h"

#include <functional>
#include <memory>

class CWnd;
class TSoundOutput;
class TUsbDevice;

// The frame's device settings, copied when a test asks.
struct LiveTestSetup {
    UsbDeviceSettings device;
    OutputDeviceSettings output;
    INT inputDeviceIndex = -1; // negative: no device
    INT outputDeviceIndex = -1;
    bool useSoundCard = false; // else the device's D/A path
    DWORD soundCardIndex = 0;
    WORD opMode = 0; // 2: Post Process
};

struct LiveTestLinks {
    CWnd* frame = nullptr; // told of closing and asked to act
    std::function<LiveTestSetup()> setup;
    std::function<TUsbDevice*()> inputDevice; // each may give null
    std::function<TUsbDevice*()> outputDevice;
    // The frame's one sound output, which playback uses too: what it holds (null when idle),
    // and what takes its place (the old one deleted; null empties the slot).
    std::function<TSoundOutput*()> soundOutput;
    std::function<void(std::unique_ptr<TSoundOutput>)> replaceSoundOutput;

    LiveTestSetup Setup() const { return setup ? setup() : LiveTestSetup{}; }
    TUsbDevice* InputDevice() const { return inputDevice ? inputDevice() : nullptr; }
    TUsbDevice* OutputDevice() const { return outputDevice ? outputDevice() : nullptr; }
    TSoundOutput* SoundOutput() const { return soundOutput ? soundOutput() : nullptr; }
};

// Asks the frame (by `request` with wParam `showSettings`) to open the settings sheet on `page`:
// 0 the device input page, refused with a message in Post Process mode, 6 the output page.
void AskFrameForDeviceSettings(const LiveTestLinks& links, UINT request, WPARAM showSettings, int page);
