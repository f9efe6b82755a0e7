// "Sampling Rate for Playback": the rate of Edit > Play Special > Arbitrary Speed, in samples
// per second. Edits the caller's rate in place on OK.
#pragma once

#include "app/CValueEntryDlg.h"

class CEnterPlaybackRateDlg : public CValueEntryDlg {
public:
    // The largest rate taken: a second of it must still fit a playback buffer.
    static constexpr long kMaxRate = 1000000;

    CEnterPlaybackRateDlg(CWnd* parent, DWORD* rate);

private:
    std::string ShownText() const override;
    std::string Take(const char* text) override;

    DWORD* m_rate;
};
