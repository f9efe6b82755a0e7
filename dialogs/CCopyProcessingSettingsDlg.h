// "Copy Processing Settings": which input channel's page settings are copied to which
// channels. The sheet does the copying from the answer.
#pragma once

#include "platform/ui/Dialog.h"

#include <string>

class CCopyProcessingSettingsDlg : public CDialog {
public:
    // source and destinations are the caller's, read at opening and written at OK (also when
    // OK is refused, so the caller sees what was chosen).
    CCopyProcessingSettingsDlg(CWnd* parent, std::string description, int* source, BYTE* destinations);

    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnSelectAll();
    void OnClearAll();
    DECLARE_MESSAGE_MAP()

    std::string m_description;
    int* m_source;
    BYTE* m_destinations;
};
