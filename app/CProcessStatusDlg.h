// The "Status" box of File > Import and File > Export: one step of the work every 50 ms
// (timer 109) with its progress shown, IDOK by itself once the work is done. Cancel asks
// first; a failed step has been reported by the work and leaves only Cancel.
#pragma once

#include "platform/ui/Dialog.h"

class CProcessStatusDlg : public CDialog {
public:
    static constexpr UINT_PTR kTimerId = 109;
    static constexpr UINT kTimerMs = 50;

    void OnCancel() override;

protected:
    // cancelQuestion: the text of the question Cancel asks (a literal, kept by address).
    CProcessStatusDlg(CWnd* parent, const char* cancelQuestion);

    DECLARE_MESSAGE_MAP()

protected:
    void OnTimer(UINT_PTR id);
    void StartSteps();
    void ShowProgress();

    // The work: one step (false when there is no more), its percent, whether it ended done,
    // and giving it up.
    virtual bool StepWork() = 0;
    virtual int WorkProgress() const = 0;
    virtual bool WorkDone() const = 0;
    virtual void CancelWork() = 0;

private:
    const char* cancelQuestion_;
    bool timerOn_ = false;
};
