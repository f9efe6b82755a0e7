// "Triggering Options": whether runs wait for a trigger, where it comes from, its type, slope,
// threshold and delay, on the sheet's working trigger record.
#pragma once

#include "dialogs/CSheetPage.h"
#include "records/TriggerSettings.h"

class CTriggeringDlg : public CSheetPage {
public:
    CTriggeringDlg();

    TriggerSettings* m_Trigger = nullptr; // the sheet's working record

    BOOL OnInitDialog() override;
    void Fill() override;
    void Defaults() override;
    bool ValidateAndStore() override;
    void Copy(int, const BYTE[8]) override {}

protected:
    bool OffersCopy() const override { return false; }
};
