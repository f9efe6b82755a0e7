#include "utilities/CAnalysisView.h"

const char* CAnalysisView::KindTitle(WORD kind)
{
    static const char* const titles[] = {"THD",       "THD+N",          "IMD",        "SNR",
                                         "SINAD",     "SFDR",           "NF",         "Peak Frequency",
                                         "Peak Level", "Total Power",   "RPM"};
    return kind < sizeof titles / sizeof titles[0] ? titles[kind] : "";
}

BOOL CAnalysisView::Create(CWnd* frame, int left, int top, int, int, WORD kind)
{
    m_kind = kind;
    if (!CreateToolWindow(frame, left, top, 220, 70, "Analysis Viewer"))
        return FALSE;
    SetWindowText(KindTitle(kind));
    SetNote("Results are not computed yet.");
    return TRUE;
}
