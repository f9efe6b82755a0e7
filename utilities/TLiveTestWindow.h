// A utility plot window that runs a live test through the frame's devices (the RT-60 and
// THD+N-versus-frequency windows): the road to the devices, the frame disabled while a test
// runs, Esc to abandon a test, and the end of playback, which ends it. The window's analysis
// keeps the test's state; the derived window answers for it and for the test's two ends.
//
// Threads: user-interface thread only.
#pragma once

#include "utilities/LiveTestLinks.h"
#include "utilities/LiveTestRoad.h"
#include "utilities/TUtilityPlot.h"

class TLiveTestWindow : public TUtilityPlot {
protected:
    // The window asks the frame by `request`: wParam `stopActivity` before a test, and
    // `deviceStopped` once the test has stopped the input device.
    TLiveTestWindow(UINT request, WPARAM stopActivity, WPARAM deviceStopped);

    // The frame's side, as the derived window holds it.
    virtual const LiveTestLinks& TestLinks() const = 0;
    virtual bool TestRunning() const = 0;
    virtual bool TestCancelled() const = 0;
    // Marks the running stage cancelled; the stage itself stops at its next step.
    virtual void CancelTest() = 0;
    // Ends a cancelled or failed test: devices stopped, its results dropped, the frame enabled.
    virtual void AbandonTest() = 0;
    // Ends a test whose playback has ended: the capture read and analysed.
    virtual void CompleteTest() = 0;

    LiveTestRoad Road();
    LiveTestSetup Setup() const { return TestLinks().Setup(); }
    void AskFrameToStopActivity();
    void EnableFrame(bool enable);
    // Stops the D/A output and the input and tells the frame.
    void StopDevices();
    void DeleteSoundOutput();
    // For the derived window's destructor: the frame's sound output may still report to it,
    // and the frame is disabled; both go with a test that still runs.
    void EndTestOnClose();
    // Moves the progress bar; Esc meanwhile cancels the test.
    void SetProgress(int percent, const char* text);

    bool IsBusy() const override { return TestRunning(); }
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    LRESULT OnWaveOutDone(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    UINT m_request;
    WPARAM m_stopActivity;
    WPARAM m_deviceStopped;
};
