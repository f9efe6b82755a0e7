// The signal generator's tool window, owned by the frame (which deletes it to close it).
//
// Provisional: the window opens as the frame's tool window titled "SigGen" and closes through
// the frame (WM_UTILITY_CLOSING), but builds and plays no signal yet: its client area says so,
// nothing is ever output, StopOutput has nothing to stop, and SaveSignalToFile reports that
// there is no signal to save and writes nothing.
#pragma once

#include "utilities/CUtilityWindow.h"

class CSigGen : public CUtilityWindow {
public:
    CSigGen() = default;

    // Creates the tool window titled "SigGen" at (left, top).
    BOOL CreateWnd(CWnd* frame, int left, int top, int right, int bottom);
    // Nothing plays, so there is nothing to stop.
    void StopOutput() {}
    bool IsRunning() const { return false; }
    // Writes nothing and says so; false.
    bool SaveSignalToFile(const char* path, DWORD lengthOption);
};
