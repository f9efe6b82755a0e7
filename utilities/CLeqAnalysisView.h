// The Leq (equivalent noise level) results window.
//
// Provisional: the window opens, keeps its place and closes through the frame, but computes no
// Leq yet; its client area says so, and Update and Process leave it that way.
#pragma once

#include "utilities/CUtilityWindow.h"

class CLeqAnalysisView : public CUtilityWindow {
public:
    CLeqAnalysisView() = default;

    // The window is placed at (left, top).
    BOOL Create(CWnd* frame, int left, int top, int right, int bottom);
    void Update() {}
    void Process(DWORD) {}

private:
    using CUtilityWindow::Create; // the window's own Create replaces the generic one
};
