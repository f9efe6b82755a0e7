// "Status" of File > Import: examines the source when it opens, then converts one block of up
// to 8192 samples every 50 ms (timer 109) until the wave file is saved at the destination,
// which ends the dialog with IDOK. Cancel asks first; a cancelled or failed import leaves
// nothing at the destination.
#pragma once

#include "platform/ui/Dialog.h"
#include "wave/ImportProcess.h"

#include <memory>
#include <string>

class CFileImportProcessDlg : public CDialog {
public:
    static constexpr UINT_PTR kTimerId = 109;
    static constexpr UINT kTimerMs = 50;

    // tempDir: the folder of the working copy (the frame's temporary folder).
    CFileImportProcessDlg(CWnd* parent, std::string source, std::string destination,
                          const ImportSettings& settings, const std::string& tempDir);
    ~CFileImportProcessDlg() override;

    BOOL OnInitDialog() override;
    void OnCancel() override;

    const TImportProcess& GetProcess() const { return *process_; }

protected:
    DECLARE_MESSAGE_MAP()
    void OnTimer(UINT_PTR id);

private:
    void ShowProgress();

    std::unique_ptr<TImportProcess> process_;
    bool timerOn_ = false;
};
