// The frame's side of the signal generator: what the window is handed when it is created, the
// save-signal command and the window's request for the output settings.
#include "app/CMainFrame.h"
#include "app/CStatusbar.h"
#include "records/CommonRoutines.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/LongOperation.h"
#include "res/resource.h"
#include "siggen/CSigGen.h"
#include "siggen/WaveformDialogs.h"
#include "wave/TWaveFile.h"

#include <cstdio>
#include <string>

SigGenLinks CMainFrame::MakeSigGenLinks()
{
    SigGenLinks links;
    links.Channel = Settings.SigGen;
    links.Output = &Settings.Output;
    links.UseSoundCard = &Settings.UseSoundCardForOutput;
    links.SoundCardIndex = &Settings.SoundCardDeviceIndex;
    links.DaOutputIndex = &Settings.DTOutputDeviceIndex;
    links.WaveFolder = Settings.WorkingPaths.Wav;
    links.TempFolder = Settings.WorkingPaths.Tmp;
    links.StatusBar = StatusBar.get();
    return links;
}

void CMainFrame::OnUpdateSaveSignal(CCmdUI* pCmdUI) { pCmdUI->Enable(SigGen != nullptr); }

void CMainFrame::OnSaveSignalToWaveFile()
{
    CWaitCursor wait;
    if (!SigGen)
        return;
    OnStop();
    DWORD multiplier = 1;
    CSaveSignalLengthDlg lengthDialog(this, SigGen->GetSignalSeconds(), &multiplier);
    if (lengthDialog.DoModal() != IDOK)
        return;
    CFileDialog fileDialog(FALSE, "wav", "*.wav",
                           OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER,
                           "Wave Files (*.wav)|*.wav||", this);
    fileDialog.m_ofn.lpstrTitle = "Save Wave File";
    fileDialog.m_ofn.lpstrInitialDir = Settings.WorkingPaths.Wav;
    if (fileDialog.DoModal() != IDOK)
        return;
    const std::string path = fileDialog.GetPathName();
    GetFolderOfPath(path.c_str(), Settings.WorkingPaths.Wav);
    // File names are case-sensitive here: only the very same path is the channel's file.
    for (int ch = 0; ch < kChannels; ++ch) {
        const TWaveFile* file = Settings.Files[ch].File.get();
        if (file && file->GetFileName() == path) {
            char text[600];
            std::snprintf(text, sizeof text,
                          "The selected file \"%s\" is currently in use on channel %d.  The operation will be "
                          "cancelled.",
                          path.c_str(), ch);
            AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
    }
    SigGen->SaveSignalToFile(path.c_str(), multiplier);
}

// The processing-settings sheet that holds the output settings is not part of this build; the
// generator has stopped its output and rebuilds when the settings change.
LRESULT CMainFrame::OnSigGenIoSettings(WPARAM wParam, LPARAM)
{
    ShowProcessingSettings(static_cast<int>(wParam));
    return 0;
}
