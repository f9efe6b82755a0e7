// Named configurations: save the whole working state, load it back (with "-Undo.cfg" holding
// the state from before the load), from the Config menu, the tool window's list or the
// command line.
#include "app/CMainFrame.h"

#include "acquisition/TUsbDevice.h"
#include "app/settings/ConfigurationFile.h"
#include "records/CommonRoutines.h"
#include "records/RecordBytes.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "platform/core/FileSystem.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/CommonDialogs.h"
#include "utilities/CAnalysisView.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {
constexpr const char* kConfigFilter = "Configuration Files (*.cfg)|*.cfg||";

// A name is taken relative to the configuration folder unless it names a place itself.
std::string FullConfigurationPath(const char* path, const char* configFolder)
{
    const std::string text = path;
    if (text.size() > 3 && text[0] != '/')
        return JoinDataFolder(configFolder, text.c_str());
    return text;
}

// Only regular files are read: a FIFO in a configuration's place must not hold the program up.
bool CanReadFile(const std::string& path)
{
    std::string ignored;
    return ReadSmallFile(path, kMaxSettingsFileBytes, ignored) == FileReadResult::Ok;
}
} // namespace

void CMainFrame::OnConfigSave()
{
    CFileDialog dialog(FALSE, "cfg", "*.cfg", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kConfigFilter, this);
    dialog.m_ofn.lpstrInitialDir = Settings.WorkingPaths.cfg;
    dialog.m_ofn.lpstrTitle = "Save Configuration File";
    if (dialog.DoModal() != IDOK)
        return;
    const std::string path = dialog.GetPathName();
    CopyField(Settings.WorkingPaths.cfg, std::filesystem::path(path).parent_path().string().c_str());
    SaveConfiguration(path.c_str());
}

void CMainFrame::OnConfigLoad()
{
    CFileDialog dialog(TRUE, "cfg", "*.cfg", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, kConfigFilter,
                       this);
    dialog.m_ofn.lpstrInitialDir = Settings.WorkingPaths.cfg;
    dialog.m_ofn.lpstrTitle = "Open Configuration File";
    if (dialog.DoModal() != IDOK)
        return;
    const std::string path = dialog.GetPathName();
    CopyField(Settings.WorkingPaths.cfg, std::filesystem::path(path).parent_path().string().c_str());
    LoadConfiguration(path.c_str());
}

LRESULT CMainFrame::OnLoadConfigMessage(WPARAM, LPARAM lParam)
{
    if (lParam == 0)
        return 0;
    char path[261] = {};
    std::strncpy(path, reinterpret_cast<const char*>(lParam), 260);
    LoadConfiguration(path);
    return 1;
}

bool CMainFrame::SaveConfiguration(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return false;
    RecordAllWindowPlacements();
    const bool written = WriteConfigurationFile(path);
    if (!written)
        AfxMessageBox(std::string("The configuration file \"") + path + "\" could not be written.",
                      MB_OK | MB_ICONSTOP);
    ToolbarFillConfigurations();
    return written;
}

bool CMainFrame::LoadConfiguration(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return false;
    // A file that can't be read is reported before anything is stopped or closed, so a
    // mistyped name leaves the whole working state as it was.
    const std::string fullPath = FullConfigurationPath(path, Settings.Paths.cfg);
    if (!CanReadFile(fullPath)) {
        AfxMessageBox("The configuration file \"" + fullPath + "\" could not be opened.", MB_OK | MB_ICONSTOP);
        return false;
    }

    OnStop();
    if (!CloseAllWaveFiles())
        return false;
    ReattachChannelFile();

    const std::string undoPath = JoinDataFolder(Settings.Paths.cfg, "-Undo.cfg");
    // Without its undo copy the state the load replaces could not be had back: stop here.
    if (std::filesystem::path(fullPath).lexically_normal() != std::filesystem::path(undoPath).lexically_normal() &&
        !SaveConfiguration(undoPath.c_str()))
        return false;

    ReleaseAllChannelProcessing();
    OnFileClose();
    OnCloseAllPlots();
    // The result windows keep the height of their rows: the loaded placement was made for as
    // many rows as there were channels then, and the load has just closed the files.
    std::array<int, 20> rowHeights{};
    for (int kind = 6; kind <= 19; ++kind)
        if (const std::unique_ptr<CAnalysisView>* v = AnalysisViewSlot(kind); v && *v)
            rowHeights[static_cast<std::size_t>(kind)] = (*v)->GetRowHeight();
    for (int kind = 6; kind <= 19; ++kind) {
        if (GetUtilityWindow(kind) == nullptr)
            continue;
        RecordWindowPlacement(kind, 0, false);
        if (QueryUtilitySave(kind))
            DeleteUtilityWindow(kind);
    }

    const INT inputIndex = Settings.DTInputDeviceIndex;
    const INT outputIndex = Settings.DTOutputDeviceIndex;
    ConfigurationCheck check;
    if (!ReadConfigurationFile(fullPath.c_str(), &check))
        AfxMessageBox("The configuration file \"" + fullPath + "\" could not be read completely.",
                      MB_OK | MB_ICONSTOP);
    else if (const std::string text = DescribeConfigurationCheck("The configuration file \"" + fullPath + "\"", check);
             !text.empty())
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    if (inputIndex != Settings.DTInputDeviceIndex && InputDevice != nullptr)
        InputDevice->CloseDevice();
    if (outputIndex != Settings.DTOutputDeviceIndex && OutputDevice != nullptr)
        OutputDevice->CloseDevice();

    ReattachChannelFile();
    SetupAllChannels();
    ReconfigureProcessing();

    ToolbarSetMode();
    ApplyToolWindowFlags();
    UpdateModeMenuChecks();
    StatusbarUpdate(2);

    ForEachPlotSlot([this](int kind, int index, bool composite) {
        if (IsWindowMarkedOpen(kind, index, composite))
            OpenPlot(kind, index, composite);
    });
    ReopenUtilityWindows();

    if (Settings.OpMode != 0) {
        ReopenAndApplyAllWaveFiles();
    }

    UpdateTitle();
    ResetUtilityViews();
    for (int kind = 6; kind <= 19; ++kind)
        if (const std::unique_ptr<CAnalysisView>* v = AnalysisViewSlot(kind); v && *v)
            (*v)->LimitRowHeight(rowHeights[static_cast<std::size_t>(kind)]);
    bool anySurface = false;
    for (int c = kComposites - 1; c >= 0; --c)
        if (CompositeSurfacePlot[c] != nullptr) {
            MDIRestore(CompositeSurfacePlot[c]);
            MDIActivate(CompositeSurfacePlot[c]);
            anySurface = true;
        }
    for (int ch = kChannels - 1; ch >= 0; --ch)
        if (SurfacePlot[ch] != nullptr) {
            MDIRestore(SurfacePlot[ch]);
            MDIActivate(SurfacePlot[ch]);
            anySurface = true;
        }
    if (anySurface)
        MDITile(MDITILE_HORIZONTAL);
    return true;
}
