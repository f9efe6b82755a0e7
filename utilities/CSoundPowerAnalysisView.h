// The sound-power results window.
//
// Provisional: the window opens, keeps its place and closes through the frame, but computes no
// sound power yet; its client area says so, and Update and Reset leave it that way.
#pragma once

#include "utilities/CUtilityWindow.h"

class CSoundPowerAnalysisView : public CUtilityWindow {
public:
    CSoundPowerAnalysisView() = default;

    // The window is placed at (left, top).
    BOOL Create(CWnd* frame, int left, int top, int right, int bottom);
    void Update(DWORD) {}
    void Reset() {}

private:
    using CUtilityWindow::Create; // the window's own Create replaces the generic one
};
