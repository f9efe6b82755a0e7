// "File Import Options": describes the source of File > Import (type, header, column, scaling
// and units) and the new wave file's rate and precision. Edits the caller's record on OK;
// a refused entry keeps the dialog open.
#pragma once

#include "platform/ui/Dialog.h"
#include "wave/ImportSettings.h"

class CFileImportDlg : public CDialog {
public:
    CFileImportDlg(CWnd* parent, ImportSettings* settings);

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    DECLARE_MESSAGE_MAP()
    void OnTypeChanged();
    void OnHeaderSizeChanged();
    void OnScalingClicked();
    void OnUnitsChanged();

private:
    ImportSettings* settings_;
    bool filling_ = false;
};
