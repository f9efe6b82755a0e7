// A utility window drawn as a plot: an MDI child that the frame owns and deletes. Closing it
// asks the frame (WM_UTILITY_CLOSING), which asks QuerySave, records the placement and
// deletes the window.
#pragma once

#include "plots/TPlotBase.h"

class TUtilityPlot : public TPlotBase {
public:
    // True: nothing has changed, so the window may close.
    virtual bool QuerySave() { return true; }

protected:
    // frame: the window told of the close; null is the main window.
    BOOL CreateUtilityWindow(LPCSTR title, DWORD style, const RECT& rect, CWnd* frame);
    void OnClose();
    DECLARE_MESSAGE_MAP()

private:
    CWnd* m_frame = nullptr;
};
