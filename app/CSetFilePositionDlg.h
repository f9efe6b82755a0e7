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

// How far the files a position applies to reach: the end of the shortest of every open file,
// and of the active channel's file. A negative end means there is no such file to move.
struct FilePositionEnds {
    double AllSeconds = -1.0;
    std::int64_t AllFrames = -1;
    double ActiveSeconds = -1.0;
    std::int64_t ActiveFrames = -1;
};

class CSetFilePositionDlg : public CDialog {
public:
    CSetFilePositionDlg(CWnd* parent, float* seconds, std::int32_t* samples, DWORD* mode, BYTE* applyToAll);
    // A position past the end of a file it would move is refused (the file could not go there).
    void SetEnds(const FilePositionEnds& ends) { ends_ = ends; }

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
    FilePositionEnds ends_;
};
