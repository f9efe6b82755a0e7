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
    FillLiveTestLinks(links);
    links.settings = &Settings.Reverb;
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
    TWaveFile* file = Settings.Files[channel].File.get();
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
    case kReverbStopActivity: StopForUtilityTest(); return 1;
    case kReverbDeviceStopped: UtilityTestStoppedDevice(); return 1;
    case kReverbPrint: PrintReverbWindow(lParam != 0); return 1;
    case kReverbShowSettings: ShowProcessingSettings(static_cast<int>(lParam)); return 1;
    default: return 0;
    }
}

void CMainFrame::PrintReverbWindow(bool withDialogs)
{
    CDC dc;
    if (ReverbWnd == nullptr || !PrepareDefaultPrinter() || !ChoosePrinterDC(dc, withDialogs))
        return;
    if (withDialogs) {
        CPrintAnnotationDialog dialog(this, &Settings.Print);
        if (dialog.DoModal() != IDOK)
            return;
    }
    if (!MarginsFitPage(dc))
        return;
    TReverb* reverb = ReverbWnd;
    PrintUtilityPage(dc, *reverb, "Reverberation Plot",
                     [&](CDC& page) { reverb->PrintMethodLines(&page, Settings.Print); });
}
