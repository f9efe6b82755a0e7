#include "dialogs/CSheetPage.h"

#include "platform/ui/Controls.h"
#include "platform/ui/PropertySheet.h"
#include "res/ProcessingDialogIds.h"

bool CSheetPage::ChannelRowEnabled(int row) const
{
    if (m_OpMode == 2 || row < 0 || row >= 8 || m_ChannelEnable[row] == nullptr)
        return true;
    // Controls are addressed through their type the way the pages' GetDlgItem casts do.
    return static_cast<const CButton*>(m_ChannelEnable[row])->GetCheck() == BST_CHECKED;
}

BOOL CSheetPage::OnSetActive()
{
    ApplyChannelEnables();
    if (CPropertySheet* sheet = GetSheet())
        if (CWnd* copy = sheet->GetDlgItem(IDC_SHEET_COPY))
            copy->EnableWindow(OffersCopy() ? TRUE : FALSE);
    return CPropertyPage::OnSetActive();
}

BOOL CSheetPage::OnKillActive()
{
    if (!SheetInitialising() && !ValidateAndStore())
        return FALSE;
    return CPropertyPage::OnKillActive();
}
