// The devices' side of a live test, shared by the RT-60 and THD+N-versus-frequency windows:
// the stimulus out through the frame's sound output (or the device's D/A path, which the
// KDR-5200 lacks), one or two device input channels captured meanwhile, and the capture read
// back from the rings by sample number once playback has ended. Each step reports its own
// failure in a message box and returns false; the window then abandons its test.
//
// Threads: user-interface thread only.
#pragma once

#include "utilities/LiveTestLinks.h"

class TWaveData;
struct TPcmFormat;

class LiveTestRoad {
public:
    // owner: the window the sound output reports to; the frame is told of a stopped input by
    // `request` with wParam `deviceStopped`.
    LiveTestRoad(CWnd* owner, const LiveTestLinks& links, UINT request, WPARAM deviceStopped)
        : m_owner(owner), m_links(links), m_request(request), m_deviceStopped(deviceStopped)
    {
    }

    TUsbDevice* InputDevice() const { return m_links.InputDevice(); }
    TUsbDevice* OutputDevice() const { return m_links.OutputDevice(); }
    // The input device's channel count, or `fallback` when there is no device to ask. A device
    // opened only to be asked is closed again.
    int InputChannelCount(int fallback);
    // The rate the input device really samples at: the configured rate within what the device
    // can deliver (a rate it cannot would label the samples wrongly).
    DWORD InputRate() const;

    void EnableFrame(bool enable);
    // Plays the whole signal once, from a new sound output in the frame's slot.
    bool PlayThroughSoundCard(const TWaveData& signal);
    bool PlayThroughDeviceOutput(const TPcmFormat& format);
    // The input device is there and open.
    bool OpenInputDevice();
    // Configures the input with the settings (rings for blocks of `largestBlock`) and starts it.
    bool StartInput(const struct UsbDeviceSettings& settings, int largestBlock);
    // True once the sound output has played everything it was given (or there is none).
    bool PlaybackDone() const;
    void DeleteSoundOutput();
    // Stops the D/A output and the input and tells the frame.
    void StopDevices();
    void CloseOutputDevice();

    enum class Read { Ok, NoMemory, Unreadable, NotStored };
    // The first `count` samples of device channel `channel` since the input started, as samples
    // of the capture's width into its channel `target`; Unreadable (reported) when the ring no
    // longer holds them all.
    Read ReadChannel(int channel, int count, TWaveData& capture, int target);

private:
    CWnd* m_owner;
    LiveTestLinks m_links;
    UINT m_request;
    WPARAM m_deviceStopped;
};
