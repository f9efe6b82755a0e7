#include "acquisition/TSoundOutput.h"

#include "platform/core/MessageBox.h"

bool TSoundOutput::Write(const void* data, DWORD bytes, int header, bool loop, UINT* result)
{
    if (!m_open) {
        AfxMessageBox("SoundOut - failure opening device for playback", MB_OK | MB_ICONERROR);
        return false;
    }
    if (header < 0 || header >= kHeaders || m_deviceId < 0 || m_handle == nullptr || data == nullptr || bytes == 0 ||
        m_headers == nullptr)
        return false;
    WAVEHDR& h = m_headers[header];
    // Re-aiming a header the device is still reading would play freed or half-written memory.
    if (h.dwFlags & WHDR_INQUEUE) {
        if (result)
            *result = WAVERR_STILLPLAYING;
        return false;
    }
    h.lpData = static_cast<LPSTR>(const_cast<void*>(data));
    h.dwBufferLength = bytes;
    h.dwUser = 0;
    h.dwFlags = loop ? WHDR_BEGINLOOP | WHDR_ENDLOOP : 0;
    h.dwLoops = loop ? 0x80000000 : 0;
    if (!m_prepared[header]) {
        const MMRESULT prepared = waveOutPrepareHeader(m_handle, &h, sizeof(WAVEHDR));
        if (result)
            *result = prepared;
        if (prepared != MMSYSERR_NOERROR) {
            AfxMessageBox("SoundOut - Failure preparing header for playback", MB_OK | MB_ICONERROR);
            return false;
        }
        m_prepared[header] = true;
    }
    // Setting the flags above dropped the prepared state, so a header written before comes
    // back unprepared here and is prepared again.
    MMRESULT written = waveOutWrite(m_handle, &h, sizeof(WAVEHDR));
    if (written == WAVERR_UNPREPARED && waveOutPrepareHeader(m_handle, &h, sizeof(WAVEHDR)) == MMSYSERR_NOERROR)
        written = waveOutWrite(m_handle, &h, sizeof(WAVEHDR));
    if (result)
        *result = written;
    if (written != MMSYSERR_NOERROR) {
        AfxMessageBox("SoundIO - Failure preparing header for playback", MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

bool TSoundOutput::Restart()
{
    if (!m_open || m_handle == nullptr)
        return false;
    if (waveOutRestart(m_handle) != MMSYSERR_NOERROR) {
        AfxMessageBox("SoundIO - Failure Starting output", MB_OK | MB_ICONERROR);
        Close();
        return false;
    }
    return true;
}

bool TSoundOutput::Pause()
{
    if (!m_open || m_handle == nullptr)
        return false;
    if (waveOutPause(m_handle) != MMSYSERR_NOERROR) {
        AfxMessageBox("SoundIO - Failure pausing output", MB_OK | MB_ICONERROR);
        Close();
        return false;
    }
    return true;
}
