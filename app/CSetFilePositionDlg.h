// "Set Current File Position": a position in seconds or in samples for the active channel's
// file or for every open file. The four values are the caller's, kept for the process's life.
#pragma once

#include "platform/ui/Dialog.h"

#include <cstdint>

// The values of Edit > Set File Position, remembered until exit (never written to a file).
struct FilePositionValues {
    float Seconds = 0.0f;
    std::int32_t Samples = 0;
    DWORD Mode = 0;    // 0 seconds, 1 samples
    BYTE ApplyToAll = 1;
};

class CSetFilePositionDlg : public CDialog {
public:
    CSetFilePositionDlg(CWnd* parent, float* seconds, std::int32_t* samples, DWORD* mode, BYTE* applyToAll);

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    DECLARE_MESSAGE_MAP()
    void OnModeClicked();

private:
    void ShowMode();

    float* seconds_;
    std::int32_t* samples_;
    DWORD* mode_;
    BYTE* applyToAll_;
};
