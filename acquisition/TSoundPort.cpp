#include "acquisition/TSoundPort.h"

bool TSoundPort::SetFormat(DWORD rate, WORD channels, WORD bytesPerSample)
{
    m_format.Set(rate, channels, bytesPerSample);
    return true;
}

bool TSoundPort::Open(CWnd*, bool)
{
    m_open = false;
    return false;
}
