// "Sound Power options": corrections and measurement surface of the sixteen composite
// channels, one on show. Works on a copy; OK writes it back to the caller's records.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/Dialog.h"
#include "records/UtilitySettings.h"

#include <array>

class CSoundPowerOptionsDialog : public CDialog {
public:
    CSoundPowerOptionsDialog(CWnd* parent, SoundPowerChannelSettings* settings);

    BOOL OnInitDialog() override;
    void OnOK() override;
    const SoundPowerChannelSettings& Working(int composite) const { return m_work[static_cast<std::size_t>(composite)]; }

protected:
    void OnChannelChange();
    void OnDefaults();
    void OnCopyAll();
    void OnHelpButton() {}
    DECLARE_MESSAGE_MAP()

private:
    bool Store();
    void Load();

    SoundPowerChannelSettings* m_target;
    std::array<SoundPowerChannelSettings, 16> m_work;
    int m_channel = 0;
};
