#include "app/CTervaneApp.h"

#include "app/CMainFrame.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CTervaneApp, CWinApp)
END_MESSAGE_MAP()

BOOL CTervaneApp::InitInstance()
{
    auto* frame = new CMainFrame;
    // Overlapped window, clip children, both scroll bars (passed on to the MDI client), title.
    if (!frame->LoadFrame(IDR_MAINFRAME, 0x02FF8000)) {
        delete frame;
        return FALSE;
    }
    m_pMainWnd = frame;
    frame->ShowWindow(m_nCmdShow);
    frame->UpdateWindow();
    return TRUE;
}

int CTervaneApp::ExitInstance() { return CWinApp::ExitInstance(); }
