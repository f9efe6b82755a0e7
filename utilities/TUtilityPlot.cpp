#include "utilities/TUtilityPlot.h"

#include "records/AppMessages.h"
#include "platform/ui/WinApp.h"

BEGIN_MESSAGE_MAP(TUtilityPlot, TPlotBase)
    ON_WM_CLOSE()
END_MESSAGE_MAP()

BOOL TUtilityPlot::CreateUtilityWindow(LPCSTR title, DWORD style, const RECT& rect, CWnd* frame)
{
    m_frame = frame ? frame : AfxGetMainWnd();
    m_paneMode = 1;
    return CreatePlotWindow(title, style, &rect);
}

void TUtilityPlot::OnClose()
{
    if (m_frame && m_frame->GetSafeHwnd())
        m_frame->SendMessage(WM_UTILITY_CLOSING, 0, reinterpret_cast<LPARAM>(this));
}
