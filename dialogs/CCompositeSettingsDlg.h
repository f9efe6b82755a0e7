// "Composite Measurement Settings": what one composite channel computes, from which input
// channels, and the amplitude labels of its plots. Edits the caller's record in place.
#pragma once

#include "records/CompositeChannelSettings.h"
#include "records/ChannelCalibration.h"
#include "platform/ui/Dialog.h"

#include <string>

class CCompositeSettingsDlg : public CDialog {
public:
    // mode: the frame's run mode (2 Post Process accepts every channel).
    CCompositeSettingsDlg(CWnd* parent, WORD mode, CompositeChannelSettings* record, const BYTE* enabled);

    // The channels' calibration records the labels come from; the frame's unless set.
    void SetCalibrations(const ChannelCalibration* records) { m_calibrations = records; }

    BOOL OnInitDialog() override;
    void OnOK() override;
    virtual void UpdateControlStates();
    virtual void UpdateLabels();

    // The labels a composite of this type over these channels gets from their calibration.
    static void DeriveLabels(WORD type, int test, int reference, const BYTE include[8],
                             const ChannelCalibration* calibrations, std::string& linear, std::string& log);

private:
    WORD SelectedType() const;
    int CheckedChannel(int firstId) const;
    void OnTypeChanged();
    void OnChannelClicked(UINT id);
    DECLARE_MESSAGE_MAP()

    WORD m_mode;
    CompositeChannelSettings* m_record;
    const BYTE* m_enabled;
    const ChannelCalibration* m_calibrations = nullptr;
};
