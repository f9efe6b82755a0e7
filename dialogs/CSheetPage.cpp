#include "dialogs/CSheetPage.h"

#include "platform/ui/PropertySheet.h"
#include "res/ProcessingDialogIds.h"

BOOL CSheetPage::OnSetActive()
{
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
