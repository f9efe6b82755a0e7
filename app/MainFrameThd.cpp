// The frame's side of the THD+N-versus-frequency window: what the window gets when it opens,
// its requests (stop what runs before a test, the device's end, the settings sheet) and its
// printout.
#include "app/CMainFrame.h"
#include "app/CPrintAnnotationDialog.h"
#include "app/CStatusbar.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Print.h"
#include "records/AppMessages.h"
#include "siggen/CSigGen.h"
#include "utilities/TTHDFreq.h"

ThdFreqLinks CMainFrame::ThdFreqHandOver()
{
    ThdFreqLinks links;
    links.frame = this;
    links.settings = &Settings.ThdFreq;
    links.device = &Settings.Device;
    links.output = &Settings.Output;
    links.inputDeviceIndex = &Settings.DTInputDeviceIndex;
    links.outputDeviceIndex = &Settings.DTOutputDeviceIndex;
    links.useSoundCard = &Settings.UseSoundCardForOutput;
    links.soundCardIndex = &Settings.SoundCardDeviceIndex;
    links.opMode = &Settings.OpMode;
    links.inputDevice = &InputDevice;
    links.outputDevice = &OutputDevice;
    links.soundOutput = &SoundOutput;
    links.paths = &Settings.Paths;
    links.workingPaths = &Settings.WorkingPaths;
    links.profilePath = ProfilePath.c_str();
    return links;
}

LRESULT CMainFrame::OnThdFreqRequest(WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case kThdStopActivity:
        if (AcquisitionRunning)
            OnStop();
        // The test plays through the one sound output that playback uses too.
        StopPlayback();
        if (SigGen)
            SigGen->StopOutput();
        return 1;
    case kThdDeviceStopped:
        AcquisitionRunning = false;
        if (StatusBar)
            StatusBar->Update(2);
        return 1;
    case kThdPrint: PrintThdFreqWindow(); return 1;
    case kThdShowSettings: ShowProcessingSettings(static_cast<int>(lParam)); return 1;
    default: return 0;
    }
}

void CMainFrame::PrintThdFreqWindow()
{
    if (THDFreqWnd == nullptr || !PrepareDefaultPrinter())
        return;
    CPrintAnnotationDialog dialog(this, &Settings.Print);
    if (dialog.DoModal() != IDOK)
        return;
    PRINTDLGA pd;
    pd.hwndOwner = GetSafeHwnd();
    pd.hDevMode = PrinterDevMode;
    pd.hDevNames = PrinterDevNames;
    pd.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE;
    const BOOL ok = PrintDlgA(&pd);
    KeepPrinterHandles(pd.hDevMode, pd.hDevNames);
    if (!ok || !pd.hDC) {
        if (ok)
            AfxMessageBox("The printer could not be prepared; nothing was printed.", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CDC dc;
    dc.Attach(pd.hDC);
    TTHDFreq* thd = THDFreqWnd;
    thd->EnableWindow(FALSE);
    bool failed = dc.StartDoc("THD+N vs Frequency Plot") <= 0;
    if (!failed)
        failed = dc.StartPage() <= 0;
    if (!failed) {
        PrintPageHeader(&dc);
        PrintTitles(&dc);
        if (Settings.Print.EnableCommentBlock)
            PrintComments(&dc);
        thd->PrintPlot(&dc, &Settings.Print, false, 0);
        failed = dc.EndPage() <= 0;
    }
    if (failed) {
        dc.AbortDoc();
        AfxMessageBox("The printout could not be completed.", MB_OK | MB_ICONEXCLAMATION);
    } else {
        dc.EndDoc();
    }
    thd->EnableWindow(TRUE);
}
