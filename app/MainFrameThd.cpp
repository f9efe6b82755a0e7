// The frame's side of the THD+N-versus-frequency window: what the window gets when it opens,
// its requests (stop what runs before a test, the device's end, the settings sheet) and its
// printout.
#include "app/CMainFrame.h"
#include "app/CPrintAnnotationDialog.h"
#include "platform/core/MessageBox.h"
#include "records/AppMessages.h"
#include "utilities/TTHDFreq.h"

ThdFreqLinks CMainFrame::ThdFreqHandOver()
{
    ThdFreqLinks links;
    FillLiveTestLinks(links);
    links.settings = &Settings.ThdFreq;
    links.paths = &Settings.Paths;
    links.workingPaths = &Settings.WorkingPaths;
    links.profilePath = ProfilePath;
    return links;
}

LRESULT CMainFrame::OnThdFreqRequest(WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case kThdStopActivity: StopForUtilityTest(); return 1;
    case kThdDeviceStopped: UtilityTestStoppedDevice(); return 1;
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
    CDC dc;
    if (!ChoosePrinterDC(dc, true) || !MarginsFitPage(dc))
        return;
    if (!PrintUtilityPage(dc, *THDFreqWnd, "THD+N vs Frequency Plot", {}))
        AfxMessageBox("The printout could not be completed.", MB_OK | MB_ICONEXCLAMATION);
}
