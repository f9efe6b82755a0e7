// "Composite Channel and Plot Settings": per composite channel A..P its enable flag, its name
// and which of its four plot windows are open. On OK the caller's working copy of the 16
// records (enable flag and name) and the four arrays of 16 flags hold the dialog's state, once
// the enabled composites are consistent; Cancel leaves them as they were. Each operation
// button opens the composite's measurement settings on the working copy.
#pragma once

#include "records/ChannelProcessingSettings.h"
#include "records/ChannelCalibration.h"
#include "records/CompositeChannelSettings.h"
#include "platform/ui/Dialog.h"

#include <string>

// The short and long operation texts of a composite record; either output may be null.
void FormatCompositeOperation(CompositeChannelSettings record, std::string* shortText, std::string* longText);

class CSelectCompositeViewDlg : public CDialog {
public:
    CSelectCompositeViewDlg(CWnd* parent, WORD mode, CompositeChannelSettings* records,
                            const ChannelProcessingSettings* processing, BYTE* spectrum, BYTE* phase,
                            BYTE* spectrogram, BYTE* surface, const BYTE* enabled);

    // The channels' calibration records (8), from which the composite settings derive labels.
    void SetCalibrations(const ChannelCalibration* records) { m_calibrations = records; }

    BOOL OnInitDialog() override;
    void OnOK() override;
    // True when every enabled composite's channels share FFT size and decimation ratio;
    // otherwise shows the first failure's message and returns false.
    bool CheckCompositeConsistency();

private:
    void OnEnableClicked(UINT id);
    void OnOperationClicked(UINT id);
    void UpdateRowState(int composite);
    DECLARE_MESSAGE_MAP()

    WORD m_mode;
    CompositeChannelSettings* m_records;
    const ChannelProcessingSettings* m_processing;
    BYTE* m_wanted[4];
    const BYTE* m_enabled;
    const ChannelCalibration* m_calibrations = nullptr;
};
