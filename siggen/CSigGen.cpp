#include "siggen/CSigGen.h"

#include "platform/core/MessageBox.h"

BOOL CSigGen::CreateWnd(CWnd* frame, int left, int top, int, int)
{
    if (!CreateToolWindow(frame, left, top, 216, 120, "SigGen"))
        return FALSE;
    SetNote("Signal generation is not available yet.");
    return TRUE;
}

bool CSigGen::SaveSignalToFile(const char*, DWORD)
{
    AfxMessageBox("The signal generator has no signal to save yet.  No file was written.", MB_ICONEXCLAMATION);
    return false;
}
