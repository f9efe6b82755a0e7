// The results window of one single-number utility (THD, THD+N, IMD, SNR, SINAD, peak
// frequency, peak level, total power, tachometer RPM).
//
// Provisional: the window opens with its kind's title, keeps its kind and closes through the
// frame, but computes no results yet; its client area says so, and UpdateResults and Reset
// leave it that way.
#pragma once

#include "utilities/CUtilityWindow.h"

class CAnalysisView : public CUtilityWindow {
public:
    CAnalysisView() = default;

    // Kinds: 0 THD, 1 THD+N, 2 IMD, 3 SNR, 4 SINAD, 5 SFDR, 6 NF, 7 peak frequency, 8 peak level,
    // 9 total power, 10 tachometer RPM. The window is placed at (left, top).
    BOOL Create(CWnd* frame, int left, int top, int right, int bottom, WORD kind);
    void UpdateResults() {}
    void Reset() {}

    WORD GetKind() const { return m_kind; }
    // The window title of a kind ("" for an unknown kind).
    static const char* KindTitle(WORD kind);

private:
    using CUtilityWindow::Create; // the window's own Create replaces the generic one
    WORD m_kind = 0;
};
