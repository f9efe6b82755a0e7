// "THD+N vs Frequency Options": edits a copy of the frame's THD+N-versus-frequency settings
// (test frequencies, inputs, weighting, axes, colours, limit files). The caller copies the
// record back on OK, which closes the dialog only when every value passes.
#pragma once

#include "platform/ui/Dialog.h"
#include "platform/ui/GdiObjects.h"
#include "utilities/ThdFreqLinks.h"

struct ThdFreqSettings;

class CTHDFreqOptionsDialog : public CDialog {
public:
    CTHDFreqOptionsDialog(CWnd* parent, ThdFreqSettings* settings, const ThdFreqLinks& links);

    BOOL OnInitDialog() override;
    void OnOK() override;
    // Writes the record into the controls.
    void FillControls();
    // Reads and checks the controls in order; false (reported) at the first bad value, with
    // the values read before it already stored in the record.
    bool ValidateAndStore();

protected:
    void OnLineColor();
    void OnBackgroundColor();
    void OnGridColor();
    void OnLimitColor();
    void OnStepType();
    void OnLimitCheck();
    void OnSelectLimitA();
    void OnSelectLimitB();
    void OnEditLimitA();
    void OnEditLimitB();
    void OnInputSettings();
    void OnOutputSettings();
    void OnDefaults();
    void OnHelp() {}
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    DECLARE_MESSAGE_MAP()

private:
    void ChooseColor(COLORREF& field);
    void MakeBrushes();
    void EnableDependents();
    void SelectLimitFile(int editId, const char* title);
    void EditLimitFile(int editId);
    int DeviceChannelCount();
    // Half the input device's sampling rate: the top of the band a test can measure.
    double InputHalfRate() const;
    ThdFreqSettings* m_settings;
    ThdFreqLinks m_links;
    CBrush m_brushes[4]; // curve, background, grid, limit
};
