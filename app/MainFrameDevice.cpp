// The frame's use of the acquisition device outside a run: the system check.
#include "app/CMainFrame.h"

#include "acquisition/CSystemCheckDlg.h"

void CMainFrame::OnSystemCheck()
{
    OnStop();
    CSystemCheckDlg dialog(this, InputDevice, Settings.Device, &Settings.Calibration[0]);
    dialog.DoModal();
}
