#include "acquisition/TSoundPort.h"

#include "platform/core/MessageBox.h"
#include "platform/ui/Wnd.h"

#include <cstring>
#include <new>

TSoundPort::TSoundPort(int deviceId, WORD direction) : m_direction(direction), m_deviceId(deviceId)
{
    // Only the output side has devices here.
    const UINT devices = direction == 1 ? waveOutGetNumDevs() : 0;
    if (devices == 0) {
        m_deviceId = -1;
    } else {
        // A number left from a machine with more devices reads the last one, as Open will use.
        const UINT id = m_deviceId < 0 ? 0 : (UINT(m_deviceId) >= devices ? devices - 1 : UINT(m_deviceId));
        WAVEOUTCAPSA caps;
        if (waveOutGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) {
            AfxMessageBox("waveOutGetDevCaps - failure reading device info", MB_OK | MB_ICONERROR);
        } else {
            std::memcpy(m_deviceName, caps.szPname, sizeof m_deviceName);
            m_deviceName[sizeof m_deviceName - 1] = '\0';
            m_formats = caps.dwFormats;
            m_channels = caps.wChannels;
            m_support = caps.dwSupport;
            const DWORD rate = (m_formats & 0xF00) ? 44100 : (m_formats & 0xF0) ? 22050 : 11025;
            const WORD channels = (m_formats & 0xAAA) ? 2 : 1;
            // Every card here takes 24-bit samples, whatever its 16-bit format bits say.
            m_maxFormat.Set(rate, channels, 3);
        }
    }
    if (!SetupWaveHeaders()) {
        AfxMessageBox("SoundIO::SetupWaveHeaders - insufficient memory available", MB_OK | MB_ICONERROR);
        m_error = true;
    }
}

TSoundPort::~TSoundPort()
{
    TSoundPort::Close();
    delete[] m_headers;
}

bool TSoundPort::SetupWaveHeaders()
{
    m_headers = new (std::nothrow) WAVEHDR[kHeaders];
    if (m_headers == nullptr)
        return false;
    ResetHeaders();
    return true;
}

void TSoundPort::ResetHeaders()
{
    if (m_headers == nullptr)
        return;
    for (int i = 0; i < kHeaders; ++i) {
        m_headers[i] = WAVEHDR();
        m_headers[i].dwFlags = WHDR_DONE;
        m_prepared[i] = false;
    }
}

bool TSoundPort::SetFormat(DWORD rate, WORD channels, WORD bytesPerSample)
{
    m_format.Set(rate, channels, bytesPerSample);
    return true;
}

bool TSoundPort::SetFormatEx(WORD channels, DWORD rate, WORD bytesPerSample, WORD bitsPerSample,
                             std::int32_t maxValue, std::int32_t minValue)
{
    m_format.Set(rate, channels, bytesPerSample);
    if (bitsPerSample != 0)
        m_format.BitsPerSample = bitsPerSample;
    if (maxValue != 0 || minValue != 0) {
        m_format.MaxValue = maxValue;
        m_format.MinValue = minValue;
    }
    return true;
}

UINT TSoundPort::OutputDeviceCount() { return waveOutGetNumDevs(); }

bool TSoundPort::Open(CWnd* notifyWindow, bool)
{
    if (m_error)
        return false;
    const UINT devices = m_direction == 1 ? waveOutGetNumDevs() : 0;
    if (devices == 0) {
        AfxMessageBox("No sound card is available on this system.", MB_OK | MB_ICONERROR);
        m_deviceId = -1;
        return false;
    }
    if (m_deviceId < 0)
        m_deviceId = 0; // a card has come since the port was made
    if (UINT(m_deviceId) >= devices)
        m_deviceId = int(devices - 1);
    if (m_open)
        Close();
    for (bool& prepared : m_prepared)
        prepared = false;

    const WORD bits = static_cast<WORD>(m_format.BytesPerSample * 8);
    const WORD align = static_cast<WORD>(m_format.Channels * m_format.BytesPerSample);
    WAVEFORMATEXTENSIBLE description;
    WAVEFORMATEX& plain = description.Format;
    plain.wFormatTag = WAVE_FORMAT_PCM;
    plain.nChannels = m_format.Channels;
    plain.nSamplesPerSec = m_format.SampleRate;
    plain.nAvgBytesPerSec = m_format.SampleRate * align;
    plain.nBlockAlign = align;
    plain.wBitsPerSample = bits;
    plain.cbSize = 0;
    // 24-bit samples go in the extensible description, as current systems want them.
    if (m_format.BytesPerSample == 3) {
        plain.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        plain.cbSize = 22;
        description.wValidBitsPerSample = bits;
        description.dwChannelMask = m_format.Channels == 1 ? SPEAKER_FRONT_LEFT : SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
        description.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
    }
    const HWND window = notifyWindow != nullptr ? notifyWindow->GetSafeHwnd() : nullptr;
    const MMRESULT error = waveOutOpen(&m_handle, UINT(m_deviceId), &plain, reinterpret_cast<DWORD_PTR>(window), 0,
                                       window != nullptr ? CALLBACK_WINDOW : CALLBACK_NULL);
    if (error != MMSYSERR_NOERROR) {
        // The sound layer has logged the real cause.
        m_handle = nullptr;
        AfxMessageBox("Sound Card is currently in use", MB_OK);
        return false;
    }
    m_open = true;
    waveOutPause(m_handle);
    return true;
}

void TSoundPort::Close()
{
    if (m_error || !m_open || m_deviceId < 0 || m_handle == nullptr)
        return;
    waveOutPause(m_handle);
    waveOutReset(m_handle);
    for (int i = 0; i < kHeaders; ++i)
        if (m_prepared[i])
            waveOutUnprepareHeader(m_handle, &m_headers[i], sizeof(WAVEHDR));
    waveOutClose(m_handle);
    m_handle = nullptr;
    ResetHeaders();
    m_open = false;
}

bool TSoundPort::IsHeaderDone(int index) const
{
    if (m_headers == nullptr || index < 0 || index >= kHeaders)
        return true;
    return (m_headers[index].dwFlags & WHDR_DONE) != 0;
}

bool TSoundPort::AllHeadersDone() const
{
    for (int i = 0; i < kHeaders; ++i)
        if (!IsHeaderDone(i))
            return false;
    return true;
}

void TSoundPort::GetDeviceName(char* destination) const
{
    if (destination != nullptr)
        std::memcpy(destination, m_deviceName, sizeof m_deviceName);
}
