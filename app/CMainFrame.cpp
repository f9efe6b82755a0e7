#include "app/CMainFrame.h"

#include "res/resource.h"

BEGIN_MESSAGE_MAP(CMainFrame, CMDIFrameWnd)
    ON_COMMAND(ID_APP_EXIT, &CMainFrame::OnAppExit)
END_MESSAGE_MAP()

// File/Exit closes the main window as its close box does.
void CMainFrame::OnAppExit() { PostMessage(WM_CLOSE); }
