// "Run Control Options": how long a run lasts (until Stop, a number of FFTs or of seconds), an
// optional start delay and, in Post Process mode, the processing interval, on the sheet's
// working run-control record.
#pragma once

#include "dialogs/CSheetPage.h"
#include "records/RunControlSettings.h"

class CRunControlDlg : public CSheetPage {
public:
    CRunControlDlg();

    RunControlSettings* m_RunControl = nullptr; // the sheet's working record

    BOOL OnInitDialog() override;
    void Fill() override;
    void Defaults() override;
    bool ValidateAndStore() override;
    void Copy(int, const BYTE[8]) override {}

protected:
    bool OffersCopy() const override { return false; }
};
