// "Status" of File > Export: writes one block of up to 8192 samples every 50 ms (timer 109)
// and ends by itself with IDOK when the whole file is out. Cancel asks first and removes
// what was written.
#pragma once

#include "platform/ui/Dialog.h"
#include "wave/ExportProcess.h"

#include <memory>
#include <string>

class TWaveFile;

class CFileExportProcessDlg : public CDialog {
public:
    static constexpr UINT_PTR kTimerId = 109;
    static constexpr UINT kTimerMs = 50;

    CFileExportProcessDlg(CWnd* parent, TWaveFile* wave, std::string output, const ExportSettings& settings);
    ~CFileExportProcessDlg() override;

    BOOL OnInitDialog() override;
    void OnCancel() override;

    TExportProcess& GetProcess() { return *process_; }

protected:
    DECLARE_MESSAGE_MAP()
    void OnTimer(UINT_PTR id);

private:
    std::unique_ptr<TExportProcess> process_;
    bool timerOn_ = false;
};
