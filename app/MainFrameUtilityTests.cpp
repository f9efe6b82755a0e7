// The frame's side of the windows that run a test of their own (RT-60, THD+N versus
// frequency): what stops before a test, the device the test stopped, and their printouts.
#include "app/CMainFrame.h"
#include "acquisition/TSoundOutput.h"
#include "app/CStatusbar.h"
#include "platform/ui/Print.h"
#include "plots/TPlotBase.h"
#include "siggen/CSigGen.h"
#include "utilities/LiveTestLinks.h"

void CMainFrame::FillLiveTestLinks(LiveTestLinks& links)
{
    links.frame = this;
    links.setup = [this] {
        LiveTestSetup setup;
        setup.device = Settings.Device;
        setup.output = Settings.Output;
        setup.inputDeviceIndex = Settings.DTInputDeviceIndex;
        setup.outputDeviceIndex = Settings.DTOutputDeviceIndex;
        setup.useSoundCard = Settings.UseSoundCardForOutput != 0;
        setup.soundCardIndex = Settings.SoundCardDeviceIndex;
        setup.opMode = Settings.OpMode;
        return setup;
    };
    links.inputDevice = [this] { return InputDevice.get(); };
    links.outputDevice = [this] { return OutputDevice.get(); };
    links.soundOutput = [this] { return SoundOutput.get(); };
    links.replaceSoundOutput = [this](std::unique_ptr<TSoundOutput> output) { SoundOutput = std::move(output); };
}

void CMainFrame::StopForUtilityTest()
{
    if (AcquisitionRunning)
        OnStop();
    // The test plays through the one sound output that playback uses too.
    StopPlayback();
    if (SigGen)
        SigGen->StopOutput();
}

void CMainFrame::UtilityTestStoppedDevice()
{
    AcquisitionRunning = false;
    if (StatusBar)
        StatusBar->Update(2);
}

bool CMainFrame::ChoosePrinterDC(CDC& dc, bool withDialog)
{
    PRINTDLGA pd;
    pd.hwndOwner = GetSafeHwnd();
    pd.hDevMode = PrinterDevMode;
    pd.hDevNames = PrinterDevNames;
    pd.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE;
    if (!withDialog)
        pd.Flags |= PD_RETURNDEFAULT;
    const BOOL ok = PrintDlgA(&pd);
    KeepPrinterHandles(pd.hDevMode, pd.hDevNames);
    if (!ok || !pd.hDC)
        return false;
    dc.Attach(pd.hDC);
    return true;
}

bool CMainFrame::PrintUtilityPage(CDC& dc, TPlotBase& wnd, const char* document,
                                  const std::function<void(CDC&)>& extra)
{
    wnd.EnableWindow(FALSE);
    bool failed = dc.StartDoc(document) <= 0;
    if (!failed)
        failed = dc.StartPage() <= 0;
    if (!failed) {
        PrintPageHeader(&dc);
        PrintTitles(&dc);
        if (extra)
            extra(dc);
        if (Settings.Print.EnableCommentBlock)
            PrintComments(&dc);
        wnd.PrintPlot(&dc, &Settings.Print, false, 0);
        failed = dc.EndPage() <= 0;
    }
    if (failed)
        dc.AbortDoc();
    else
        dc.EndDoc();
    wnd.EnableWindow(TRUE);
    return !failed;
}
