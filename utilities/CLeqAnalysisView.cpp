#include "utilities/CLeqAnalysisView.h"

BOOL CLeqAnalysisView::Create(CWnd* frame, int left, int top, int, int)
{
    if (!CreateToolWindow(frame, left, top, 220, 70, "Leq Analysis Viewer"))
        return FALSE;
    SetWindowText("Leq Analysis");
    SetNote("Leq is not computed yet.");
    return TRUE;
}
