// "Sampling Rate for Playback": the rate of Edit > Play Special > Arbitrary Speed, in samples
// per second. Edits the caller's rate in place on OK.
#pragma once

#include "platform/ui/Dialog.h"

class CEnterPlaybackRateDlg : public CDialog {
public:
    // The largest rate taken: a second of it must still fit a playback buffer.
    static constexpr long kMaxRate = 1000000;

    CEnterPlaybackRateDlg(CWnd* parent, DWORD* rate);

    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    DWORD* m_rate;
};
