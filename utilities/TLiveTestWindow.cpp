#include "utilities/TLiveTestWindow.h"

#include "platform/sound/WaveOut.h"
#include "platform/ui/Wnd.h"

BEGIN_MESSAGE_MAP(TLiveTestWindow, TUtilityPlot)
    ON_WM_CHAR()
    ON_MESSAGE(MM_WOM_DONE, &TLiveTestWindow::OnWaveOutDone)
END_MESSAGE_MAP()

TLiveTestWindow::TLiveTestWindow(UINT request, WPARAM stopActivity, WPARAM deviceStopped)
    : m_request(request), m_stopActivity(stopActivity), m_deviceStopped(deviceStopped)
{
}

LiveTestRoad TLiveTestWindow::Road() { return LiveTestRoad(this, TestLinks(), m_request, m_deviceStopped); }

void TLiveTestWindow::AskFrameToStopActivity()
{
    if (CWnd* frame = TestLinks().frame)
        frame->SendMessage(m_request, m_stopActivity, 0);
}

void TLiveTestWindow::EnableFrame(bool enable) { Road().EnableFrame(enable); }

void TLiveTestWindow::StopDevices() { Road().StopDevices(); }

void TLiveTestWindow::DeleteSoundOutput() { Road().DeleteSoundOutput(); }

void TLiveTestWindow::EndTestOnClose()
{
    if (!TestRunning())
        return;
    StopDevices();
    DeleteSoundOutput();
    EnableFrame(true);
}

void TLiveTestWindow::SetProgress(int percent, const char* text)
{
    if (SetProgressAndPoll(percent, text))
        CancelTest();
}

void TLiveTestWindow::OnChar(UINT nChar, UINT, UINT)
{
    if (nChar == VK_ESCAPE && TestRunning() && !TestCancelled()) {
        CancelTest();
        AbandonTest();
    }
}

LRESULT TLiveTestWindow::OnWaveOutDone(WPARAM, LPARAM)
{
    if (!TestRunning())
        return 1;
    // Only the end of the whole stimulus ends the test.
    if (!Road().PlaybackDone())
        return 1;
    DeleteSoundOutput();
    if (TestCancelled())
        AbandonTest();
    else
        CompleteTest();
    return 1;
}
