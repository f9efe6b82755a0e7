// "Status" of File > Import: examines the source when it opens, then converts one block of up
// to 8192 samples a step until the wave file is saved at the destination, which ends the
// dialog with IDOK. Cancel asks first; a cancelled or failed import leaves nothing at the
// destination.
#pragma once

#include "app/CProcessStatusDlg.h"
#include "wave/ImportProcess.h"

#include <memory>
#include <string>

class CFileImportProcessDlg : public CProcessStatusDlg {
public:
    // tempDir: the folder of the working copy (the frame's temporary folder).
    CFileImportProcessDlg(CWnd* parent, std::string source, std::string destination,
                          const ImportSettings& settings, const std::string& tempDir);
    ~CFileImportProcessDlg() override;

    BOOL OnInitDialog() override;

protected:
    bool StepWork() override { return process_->Step(); }
    int WorkProgress() const override { return process_->GetProgress(); }
    bool WorkDone() const override { return process_->GetState() == TImportProcess::State::Done; }
    void CancelWork() override { process_->Cancel(); }

private:
    std::unique_ptr<TImportProcess> process_;
};
