// The output side of a sound-card port (playback, generator).
//
// Provisional: as its port, it never opens, so Write plays nothing and fails.
#pragma once

#include "acquisition/TSoundPort.h"

class TSoundOutput : public TSoundPort {
public:
    explicit TSoundOutput(int deviceId) : TSoundPort(deviceId, 1) {}

    // False: nothing can be queued on a port that is not open.
    bool Write(const void* data, DWORD bytes, int header, bool loop, UINT* result);
    bool Restart() { return false; }
    bool Pause() { return false; }
};
