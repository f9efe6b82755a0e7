// A frame-owned tool window of a utility (results windows, the generator).
//
// The frame owns the object: deleting it closes the window. The window never closes itself:
// its close box sends WM_UTILITY_CLOSING to the frame (lParam = this object), which records
// the placement and deletes it.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/Wnd.h"

class CUtilityWindow : public CWnd {
public:
    CUtilityWindow() = default;
    ~CUtilityWindow() override;

    CWnd* GetFrame() const { return m_frame; }

protected:
    // A tool window owned by `frame` at (x, y) with the given client size.
    BOOL CreateToolWindow(CWnd* frame, int x, int y, int width, int height, LPCSTR title);

    void OnPaint();
    void OnClose();
    DECLARE_MESSAGE_MAP()

private:
    CWnd* m_frame = nullptr;
};
