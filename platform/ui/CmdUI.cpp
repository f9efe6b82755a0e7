#include "platform/ui/Menu.h"

namespace {
constexpr UINT kSetCheck = 0x00F1; // BM_SETCHECK, for a button standing for the item
}

void CCmdUI::Enable(BOOL bOn)
{
    if (m_pMenu) {
        m_pMenu->EnableMenuItem(m_nIndex, MF_BYPOSITION | (bOn ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
    } else if (m_pOther) {
        m_pOther->EnableWindow(bOn);
    }
    m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck)
{
    if (m_pMenu)
        m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
    else if (m_pOther)
        m_pOther->SendMessage(kSetCheck, static_cast<WPARAM>(nCheck), 0);
}

void CCmdUI::SetRadio(BOOL bOn)
{
    if (m_pMenu) {
        const UINT pos = m_nIndex;
        m_pMenu->CheckMenuRadioItem(pos, pos, bOn ? pos : pos + 1, MF_BYPOSITION);
        if (!bOn)
            m_pMenu->CheckMenuItem(pos, MF_BYPOSITION | MF_UNCHECKED);
    } else {
        SetCheck(bOn ? 1 : 0);
    }
}

void CCmdUI::SetText(LPCSTR lpszText)
{
    if (m_pMenu) {
        const UINT state = m_pMenu->GetMenuState(m_nIndex, MF_BYPOSITION);
        if (state == static_cast<UINT>(-1))
            return;
        m_pMenu->ModifyMenu(m_nIndex, MF_BYPOSITION | MF_STRING | (state & (MF_CHECKED | MF_GRAYED | MF_DISABLED)),
                            m_nID, lpszText);
    } else if (m_pOther) {
        m_pOther->SetWindowText(lpszText);
    }
}

BOOL CCmdUI::DoUpdate(CCmdTarget* target, BOOL bDisableIfNoHndler)
{
    if (m_nID == 0 || !target)
        return TRUE;
    m_bEnableChanged = FALSE;
    const BOOL handled = target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
    if (bDisableIfNoHndler && !m_bEnableChanged) {
        // No update handler decided: the item is usable exactly when someone handles it.
        int info = 0;
        Enable(target->OnCmdMsg(m_nID, CN_COMMAND, this, &info));
    }
    return handled;
}
