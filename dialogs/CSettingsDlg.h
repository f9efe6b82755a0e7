// "FFT Settings": FFT size, window, averaging mode, type and count or speed, and the
// post-process overlap of every input channel, on the working copies of the sheet.
#pragma once

#include "dialogs/CSheetPage.h"
#include "records/ChannelProcessingSettings.h"

class CSettingsDlg : public CSheetPage {
public:
    CSettingsDlg();

    ChannelProcessingSettings* m_Processing = nullptr; // the sheet's eight working records

    BOOL OnInitDialog() override;
    void Fill() override;
    void Defaults() override;
    bool ValidateAndStore() override;
    void Copy(int source, const BYTE destinations[8]) override;
    void ApplyChannelEnables() override;

    // The averaging count list's entry for a count: the entries near it, 1 for 0 and
    // "Infinite" (100000) from 2000 up.
    static DWORD SnapCount(DWORD count);

private:
    void FillCountList(int row);
    void OnModeChanged(UINT id);
    DECLARE_MESSAGE_MAP()
};
