// "Status" of File > Export: writes one block of up to 8192 samples a step and ends by itself
// with IDOK when the whole file is out. Cancel asks first and removes what was written.
#pragma once

#include "app/CProcessStatusDlg.h"
#include "wave/ExportProcess.h"

#include <memory>
#include <string>

class TWaveFile;

class CFileExportProcessDlg : public CProcessStatusDlg {
public:
    CFileExportProcessDlg(CWnd* parent, TWaveFile* wave, std::string output, const ExportSettings& settings);
    ~CFileExportProcessDlg() override;

    BOOL OnInitDialog() override;

protected:
    bool StepWork() override { return process_->Step(); }
    int WorkProgress() const override { return process_->GetProgress(); }
    bool WorkDone() const override { return process_->GetState() == TExportProcess::State::Done; }
    void CancelWork() override { process_->Cancel(); }

private:
    std::unique_ptr<TExportProcess> process_;
};
