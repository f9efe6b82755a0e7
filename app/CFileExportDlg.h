// "File Export Options": the output type and the channel (0..6 with a wave file) of
// File > Export. Edits the caller's record on OK.
#pragma once

#include "wave/ChannelFileState.h"
#include "platform/ui/Dialog.h"
#include "wave/ExportSettings.h"

class CFileExportDlg : public CDialog {
public:
    // files: the frame's eight channel file records (read only).
    CFileExportDlg(CWnd* parent, ExportSettings* settings, const ChannelFileState* files);

    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    ExportSettings* settings_;
    const ChannelFileState* files_;
};
