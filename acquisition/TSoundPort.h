// One waveform-audio device of the sound card.
//
// Provisional: sound output is not built yet. A port never opens, so nothing plays; Stop and
// Close reset nothing when nothing plays, and are safe at any time.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"
#include "records/TPcmFormat.h"

class CWnd;

class TSoundPort {
public:
    // direction: 1 output, 2 input.
    TSoundPort(int deviceId, WORD direction) : m_deviceId(deviceId), m_direction(direction) {}
    virtual ~TSoundPort() { Close(); }
    TSoundPort(const TSoundPort&) = delete;
    TSoundPort& operator=(const TSoundPort&) = delete;

    bool SetFormat(DWORD rate, WORD channels, WORD bytesPerSample);
    const TPcmFormat& GetFormat() const { return m_format; }
    // False: there is no sound output yet.
    bool Open(CWnd* notifyWindow, bool noDriverMessage);
    bool IsOpen() const { return m_open; }
    // Ends any output.
    void Stop() { Close(); }
    virtual void Close() { m_open = false; }
    // Headers that were never written are done.
    bool IsHeaderDone(int) const { return true; }
    bool AllHeadersDone() const { return true; }
    int GetDeviceId() const { return m_deviceId; }
    WORD GetDirection() const { return m_direction; }

private:
    int m_deviceId;
    WORD m_direction;
    bool m_open = false;
    TPcmFormat m_format{44100, 2, 2};
};
