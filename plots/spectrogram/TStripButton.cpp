#include "plots/spectrogram/TStripButton.h"

TStripButton::TStripButton(CWnd* parent, UINT id, const char* caption, const char* tip) : m_tip(tip ? tip : "")
{
    Create(caption, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(0, 0, 1, 1), parent, id);
}

void TStripButton::Press()
{
    m_pressed = true;
    if (m_hWnd)
        SetState(TRUE);
}

void TStripButton::Release()
{
    m_pressed = false;
    if (m_hWnd)
        SetState(FALSE);
}

void TStripButton::Disable()
{
    m_disabled = true;
    if (m_hWnd)
        EnableWindow(FALSE);
}

void TStripButton::Enable()
{
    m_disabled = false;
    if (m_hWnd)
        EnableWindow(TRUE);
}
