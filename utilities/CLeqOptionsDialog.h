// "Leq Analysis Options": the Leq settings of the eight input channels, one channel on show.
// Works on a copy; OK writes the copy back to the caller's records.
//
// Threads: user-interface thread only.
#pragma once

#include "records/UtilitySettings.h"
#include "utilities/TChannelRecordsDialog.h"

class CLeqOptionsDialog : public TChannelRecordsDialog<LeqChannelSettings, 8> {
public:
    // `settings`: the frame's eight records, written on OK only.
    CLeqOptionsDialog(CWnd* parent, LeqChannelSettings* settings);

    BOOL OnInitDialog() override;

protected:
    void OnDefaults();
    void OnIntervalsChoice();
    DECLARE_MESSAGE_MAP()

private:
    bool Store() override;
    void Load() override;
    void SelectValue(int id, WORD value);
};
