// The output side of a sound-card port: playback, the signal generator and the test windows
// queue their buffers on its three headers and refill each when its MM_WOM_DONE arrives.
#pragma once

#include "acquisition/TSoundPort.h"

class TSoundOutput : public TSoundPort {
public:
    explicit TSoundOutput(int deviceId) : TSoundPort(deviceId, 1) {}

    // Queues `bytes` of `data` on header 0 to 2, once or looped until Close; the data stays the
    // caller's and must live until the header is done. A header still playing is refused.
    // The device's answer goes to `result` when given.
    bool Write(const void* data, DWORD bytes, int header, bool loop, UINT* result);
    bool Restart();
    bool Pause();
};
