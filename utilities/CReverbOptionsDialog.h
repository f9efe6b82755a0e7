// "Reverberation Options": edits a copy of the frame's RT-60 settings (display, measurement
// control and the two analysis methods). OK writes nothing back until every value passes;
// the caller copies the record back on OK.
#pragma once

#include "platform/ui/Dialog.h"
#include "platform/ui/GdiObjects.h"
#include "utilities/ReverbLinks.h"

struct ReverbSettings;

class CReverbOptionsDialog : public CDialog {
public:
    CReverbOptionsDialog(CWnd* parent, ReverbSettings* settings, const ReverbLinks& links);

    BOOL OnInitDialog() override;
    void OnOK() override;
    // Writes the record into the controls.
    void FillControls();
    // Reads and checks the controls in order; false (reported) at the first bad value, with
    // the values read before it already stored in the record.
    bool ReadControls();

protected:
    void OnBackgroundColor();
    void OnBarColor();
    void OnDecayColor();
    void OnGridColor();
    void OnSurfaceColor();
    void OnAdjustInput();
    void OnAdjustOutput();
    void OnDefaults();
    void OnHelp() {}
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    DECLARE_MESSAGE_MAP()

private:
    void ChooseColor(COLORREF& field);
    int DeviceChannelCount();
    ReverbSettings* m_settings;
    ReverbLinks m_links;
    CBrush m_brushes[5]; // background, bar, decay, grid, surface
};
