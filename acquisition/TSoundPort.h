// One waveform-audio device of the sound card: the format it is opened with, the device, and
// three wave headers on which owners queue their own buffers. Completions arrive only as
// MM_WOM_DONE messages at the window given to Open, on the user-interface thread; none arrive
// after Close. An open output is paused until TSoundOutput::Restart.
//
// Only output is built (direction 1): nothing in the system records through the sound card, so
// a port of another direction finds no device.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"
#include "platform/sound/WaveOut.h"
#include "records/TPcmFormat.h"

class CWnd;

class TSoundPort {
public:
    static constexpr int kHeaders = 3;

    // direction: 1 output, 2 input. Reads the device's name and capabilities and allocates
    // the headers, each done.
    TSoundPort(int deviceId, WORD direction);
    virtual ~TSoundPort();
    TSoundPort(const TSoundPort&) = delete;
    TSoundPort& operator=(const TSoundPort&) = delete;

    // Set the working format; every format passes this check (the device judges at Open).
    bool SetFormat(DWORD rate, WORD channels, WORD bytesPerSample);
    // The six fields of a TPcmFormat in its order: channels, rate, bytes and bits per sample,
    // maximum and minimum value.
    bool SetFormatEx(WORD channels, DWORD rate, WORD bytesPerSample, WORD bitsPerSample, std::int32_t maxValue,
                     std::int32_t minValue);
    const TPcmFormat& GetFormat() const { return m_format; }
    // Opens the device in the working format, paused, with completions to `notifyWindow`
    // (none when null). Shows the failure and returns false.
    bool Open(CWnd* notifyWindow, bool noDriverMessage);
    // How many sound-card outputs the system has now; asks nothing of the user.
    static UINT OutputDeviceCount();
    bool IsOpen() const { return m_open; }
    void Stop() { Close(); }
    // Stops at once, returns every header (done) and closes; harmless when closed.
    virtual void Close();
    // True when the header's done flag is set or the header does not exist.
    bool IsHeaderDone(int index) const;
    bool AllHeadersDone() const;
    // Copies the 32-character product name (with its terminating zero).
    void GetDeviceName(char* destination) const;
    int GetDeviceId() const { return m_deviceId; }
    bool IsError() const { return m_error; }

protected:
    bool SetupWaveHeaders();
    void ResetHeaders();

    bool m_error = false;
    WAVEHDR* m_headers = nullptr; // kHeaders of them
    bool m_prepared[kHeaders] = {};
    bool m_open = false;
    WORD m_direction;
    int m_deviceId;
    TPcmFormat m_maxFormat{11025, 1, 1};
    TPcmFormat m_minFormat{11025, 1, 1};
    TPcmFormat m_format{44100, 2, 2};
    char m_deviceName[32] = {};
    DWORD m_formats = 0;
    DWORD m_channels = 0;
    DWORD m_support = 0;
    HWAVEOUT m_handle = nullptr;
};
