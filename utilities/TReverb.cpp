#include "utilities/TReverb.h"

#include "app/AppMessages.h"
#include "platform/ui/WinApp.h"

BEGIN_MESSAGE_MAP(TReverb, TPlotBase)
    ON_WM_CLOSE()
END_MESSAGE_MAP()

BOOL TReverb::CreateReverbWindow(DWORD style, const RECT& rect, CWnd* frame)
{
    m_frame = frame ? frame : AfxGetMainWnd();
    m_paneMode = 1;
    return CreatePlotWindow("Reverberation Time (RT-60)", style, &rect);
}

// A utility window: the frame asks QuerySave, records the placement and deletes it.
void TReverb::OnClose()
{
    if (m_frame && m_frame->GetSafeHwnd())
        m_frame->SendMessage(WM_UTILITY_CLOSING, 0, reinterpret_cast<LPARAM>(this));
}
