#include "app/CMainFrame.h"

#include "res/resource.h"

BEGIN_MESSAGE_MAP(CMainFrame, CMDIFrameWnd)
    ON_COMMAND(ID_APP_EXIT, &CMainFrame::OnAppExit)
#include "app/MainFrameLayoutMap.inc"
#include "app/MainFrameFilesMap.inc"
END_MESSAGE_MAP()

CMainFrame::CMainFrame() = default;
CMainFrame::~CMainFrame() = default;

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) { return CMDIFrameWnd::PreCreateWindow(cs); }

// File/Exit closes the main window as its close box does.
void CMainFrame::OnAppExit() { PostMessage(WM_CLOSE); }
