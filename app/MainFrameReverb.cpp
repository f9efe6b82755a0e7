// The frame's side of the RT-60 window: what the window gets when it opens, the analysis of a
// time-series selection, the window's requests (stop what runs before a test, the device's
// end, the settings sheet) and its printout.
#include "app/CMainFrame.h"
#include "app/CPrintAnnotationDialog.h"
#include "app/CStatusbar.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/LongOperation.h"
#include "platform/ui/Print.h"
#include "records/AppMessages.h"
#include "res/resource.h"
#include "siggen/CSigGen.h"
#include "utilities/TReverb.h"
#include "wave/TWaveFile.h"

ReverbLinks CMainFrame::ReverbHandOver()
{
    ReverbLinks links;
    links.frame = this;
    links.settings = &Settings.Reverb;
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
    return links;
}

bool CMainFrame::AnalyzeReverbSegment(int channel, float start, float end)
{
    if (channel < 0 || channel >= kChannels || Settings.Files[channel].File == nullptr)
        return false;
    if (start == end) {
        AfxMessageBox("You must first select a time segment.", MB_OK);
        return false;
    }
    if (ReverbWnd == nullptr)
        ToggleUtilityWindow(17);
    if (ReverbWnd == nullptr)
        return false;
    MDIActivate(ReverbWnd);
    ReverbWnd->SetFocus();
    TWaveFile* file = Settings.Files[channel].File;
    const DWORD position = file->GetPosition();
    {
        CWaitCursor wait;
        ReverbWnd->AnalyzeSegment(*file, start, end);
    }
    file->SetPosition(position);
    return true;
}

LRESULT CMainFrame::OnReverbRequest(WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case kReverbStopActivity:
        if (AcquisitionRunning)
            OnStop();
        StopPlayback();
        if (SigGen)
            SigGen->StopOutput();
        return 1;
    case kReverbDeviceStopped:
        AcquisitionRunning = false;
        if (StatusBar)
            StatusBar->Update(2);
        return 1;
    case kReverbPrint: PrintReverbWindow(lParam != 0); return 1;
    case kReverbShowSettings: ShowProcessingSettings(static_cast<int>(lParam)); return 1;
    default: return 0;
    }
}

void CMainFrame::PrintReverbWindow(bool withDialogs)
{
    if (ReverbWnd == nullptr || !PrepareDefaultPrinter())
        return;
    PRINTDLGA pd;
    pd.hwndOwner = GetSafeHwnd();
    pd.hDevMode = PrinterDevMode;
    pd.hDevNames = PrinterDevNames;
    pd.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE;
    if (!withDialogs)
        pd.Flags |= PD_RETURNDEFAULT;
    const BOOL ok = PrintDlgA(&pd);
    KeepPrinterHandles(pd.hDevMode, pd.hDevNames);
    if (!ok || !pd.hDC)
        return;
    CDC dc;
    dc.Attach(pd.hDC);
    if (withDialogs) {
        CPrintAnnotationDialog dialog(this, &Settings.Print);
        if (dialog.DoModal() != IDOK)
            return;
    }
    TReverb* reverb = ReverbWnd;
    reverb->EnableWindow(FALSE);
    bool failed = dc.StartDoc("Reverberation Plot") <= 0;
    if (!failed)
        failed = dc.StartPage() <= 0;
    if (!failed) {
        PrintPageHeader(&dc);
        PrintTitles(&dc);
        reverb->PrintMethodLines(&dc, Settings.Print);
        if (Settings.Print.EnableCommentBlock)
            PrintComments(&dc);
        reverb->PrintPlot(&dc, &Settings.Print, false, 0);
        failed = dc.EndPage() <= 0;
    }
    if (failed)
        dc.AbortDoc();
    else
        dc.EndDoc();
    reverb->EnableWindow(TRUE);
}
