// "Print Annotations and Margins": edits a PrintSettings record in place (titles, margins in
// inches, the comment block) when closed with OK; Cancel changes nothing.
#pragma once

#include "records/PrintSettings.h"
#include "platform/ui/Dialog.h"

class CPrintAnnotationDialog : public CDialog {
public:
    static constexpr UINT IDD = 144;
    CPrintAnnotationDialog(CWnd* pParent, PrintSettings* settings);

    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    PrintSettings* settings_;
};
