#include "app/CTervaneApp.h"

#include "app/CMainFrame.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CTervaneApp, CWinApp)
END_MESSAGE_MAP()

BOOL CTervaneApp::InitInstance()
{
    auto* frame = new CMainFrame;
    // The frame is the main window already while it is created: the windows it reopens at its
    // first resize find their MDI frame as the application's main window.
    m_pMainWnd = frame;
    // Overlapped window, clip children, both scroll bars (passed on to the MDI client), title.
    if (!frame->LoadFrame(IDR_MAINFRAME, 0x02FF8000)) {
        m_pMainWnd = nullptr;
        delete frame;
        return FALSE;
    }
    frame->ShowWindow(m_nCmdShow);
    frame->UpdateWindow();
    return TRUE;
}

int CTervaneApp::ExitInstance() { return CWinApp::ExitInstance(); }
