// The application object. The program defines exactly one global object of a class derived
// from CWinApp; its constructor registers it, so AfxGetApp() finds it before main runs.
// The process entry (platform/entry) then calls AfxWinMain, which sets the command line, the
// module path and the title, runs InitInstance, the message loop and ExitInstance.
#pragma once

#include "platform/core/MessageBox.h"
#include "platform/ui/Wnd.h"

#include <string>

class CWinApp : public CCmdTarget {
public:
    // Without a name the title comes from string resource AFX_IDS_APP_TITLE (57344).
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // The message loop; returns the exit code. Ends when the main window is destroyed.
    virtual int Run();

    // Title (message-box caption), command line after the program name, show command.
    LPCSTR m_pszAppName = nullptr;
    LPSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;
    // The module's base name ("Durnex") and its path with the extension ".hlp" (the help file
    // path, from which folder and base name are taken).
    LPCSTR m_pszExeName = nullptr;
    LPCSTR m_pszHelpFilePath = nullptr;
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;

    HCURSOR LoadStandardCursor(LPCSTR lpszCursorName) const;
    HCURSOR LoadCursor(UINT nIDResource) const;
    HCURSOR LoadCursor(LPCSTR lpszResourceName) const;
    HICON LoadIcon(UINT nIDResource) const;
    HICON LoadIcon(LPCSTR lpszResourceName) const;

    // Sets the process state from the command line (argv[0] is the program); also what tests
    // call to set up an application object without AfxWinMain.
    void InitApplicationState(int argc, char** argv);

    DECLARE_MESSAGE_MAP()

private:
    std::string appName_;
    std::string cmdLine_;
    std::string exeName_;
    std::string helpPath_;
};

// Runs the application object: state, InitInstance, Run, ExitInstance. Returns the exit code.
int AfxWinMain(int argc, char** argv);
// The module's full path (the running executable).
std::string AfxGetModulePath();
// The presenter that shows message boxes as Qt dialogs on screen.
MessageBoxPresenter AfxQtMessageBoxPresenter();
// Installs the Qt message-box presenter, unless a Responder is answering boxes.
void AfxInstallMessageBoxPresenter();
