#include "utilities/CSoundPowerAnalysisView.h"

BOOL CSoundPowerAnalysisView::Create(CWnd* frame, int left, int top, int, int)
{
    if (!CreateToolWindow(frame, left, top, 220, 70, "Sound Power Analysis Viewer"))
        return FALSE;
    SetWindowText("Sound Power Analysis");
    SetNote("Sound power is not computed yet.");
    return TRUE;
}
