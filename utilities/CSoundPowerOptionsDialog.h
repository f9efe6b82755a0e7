// "Sound Power options": corrections and measurement surface of the sixteen composite
// channels, one on show. Works on a copy; OK writes it back to the caller's records.
//
// Threads: user-interface thread only.
#pragma once

#include "records/UtilitySettings.h"
#include "utilities/TChannelRecordsDialog.h"

class CSoundPowerOptionsDialog : public TChannelRecordsDialog<SoundPowerChannelSettings, 16> {
public:
    CSoundPowerOptionsDialog(CWnd* parent, SoundPowerChannelSettings* settings);

    BOOL OnInitDialog() override;

protected:
    void OnDefaults();
    DECLARE_MESSAGE_MAP()

private:
    bool Store() override;
    void Load() override;
};
