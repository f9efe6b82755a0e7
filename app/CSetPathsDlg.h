// "Set Paths": the seven data folders the user may change (wave, temp, configuration,
// calibration, microphone compensation, overlay, data logging). OK stores them only when every
// folder exists; the first missing one is reported and the dialog stays open.
// User-interface thread only.
#pragma once

#include "records/PathSettings.h"
#include "platform/ui/Dialog.h"

#include <string>

class CSetPathsDlg : public CDialog {
public:
    static constexpr UINT IDD = 159;
    static constexpr int IDC_DEFAULTS = 1994;
    static constexpr int kFirstEdit = 1983; // ..1989, in PathSettings' folder order

    // paths is edited in place on OK. The data folder of the Defaults button is the frame's
    // when the parent is the main frame.
    CSetPathsDlg(CWnd* pParent, PathSettings* paths);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnDefaults();

protected:
    DECLARE_MESSAGE_MAP()

private:
    PathSettings* paths_;
    std::string dataFolder_;
};
