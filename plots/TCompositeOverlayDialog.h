// "Composite Overlay Setup": how the seventh overlay of a trace is formed, as the average of
// chosen overlays 1..6 or as one of them minus another. Edits the caller's copy of the
// trace's composite block; the caller takes it only on OK.
//
// User-interface thread only.
#pragma once

#include "dsp/TOverlayData.h"
#include "platform/ui/Dialog.h"

class TCompositeOverlayDialog : public CDialog {
public:
    TCompositeOverlayDialog(CWnd* parent, OverlayCompositeSettings* block);

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    void OnOperation();
    void OnHelp() {}
    DECLARE_MESSAGE_MAP()

private:
    void EnableForOperation(bool average);

    OverlayCompositeSettings* m_block;
};
