// "Leq Analysis Options": the Leq settings of the eight input channels, one channel on show.
// Works on a copy; OK writes the copy back to the caller's records.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/Dialog.h"
#include "records/UtilitySettings.h"

#include <array>

class CLeqOptionsDialog : public CDialog {
public:
    // `settings`: the frame's eight records, written on OK only.
    CLeqOptionsDialog(CWnd* parent, LeqChannelSettings* settings);

    BOOL OnInitDialog() override;
    void OnOK() override;
    const LeqChannelSettings& Working(int channel) const { return m_work[static_cast<std::size_t>(channel)]; }

protected:
    void OnChannelChange();
    void OnDefaults();
    void OnCopyAll();
    void OnIntervalsChoice();
    void OnHelpButton() {}
    DECLARE_MESSAGE_MAP()

private:
    // Reads the controls into the shown channel's record; false (with the message shown)
    // when a number is refused.
    bool Store();
    void Load();
    void SelectValue(int id, WORD value);

    LeqChannelSettings* m_target;
    std::array<LeqChannelSettings, 8> m_work;
    int m_channel = 0;
};
