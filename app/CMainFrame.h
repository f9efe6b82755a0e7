// The main window: an MDI frame with the main menu and accelerators (resource IDR_MAINFRAME).
// For now it holds no state of its own; Exit closes it.
#pragma once

#include "platform/ui/FrameWnd.h"

class CMainFrame : public CMDIFrameWnd {
public:
    CMainFrame() = default;
    ~CMainFrame() override = default;

protected:
    void OnAppExit();
    DECLARE_MESSAGE_MAP()
};
