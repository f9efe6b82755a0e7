// The frame's construction, creation, first resize, close and destruction, and the profile
// and start-up configuration they read and write.
#include "app/CMainFrame.h"

#include "acquisition/TUsbDevice.h"
#include "records/AppMessages.h"
#include "app/CAboutDialog.h"
#include "app/CSetPathsDlg.h"
#include "app/CStatusbar.h"
#include "app/CToolbar.h"
#include "app/CToolbar2.h"
#include "records/CommonRoutines.h"
#include "app/settings/ConfigurationFile.h"
#include "app/settings/GlobalSettings.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/core/FileSystem.h"
#include "platform/core/MessageBox.h"
#include "platform/core/SystemFolders.h"
#include "platform/sound/WaveOut.h"
#include "platform/ui/LongOperation.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"
#include "siggen/CSigGen.h"
#include "utilities/CAnalysisView.h"
#include "utilities/CLeqAnalysisView.h"
#include "utilities/CSoundPowerAnalysisView.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveData.h"
#include "wave/TWaveFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

BEGIN_MESSAGE_MAP(CMainFrame, CMDIFrameWnd)
    ON_WM_CREATE()
    ON_WM_SIZE()
    ON_WM_CLOSE()
    ON_WM_SYSCOLORCHANGE()
    ON_WM_TIMER()
    ON_COMMAND(ID_APP_EXIT, &CMainFrame::OnAppExit)
    ON_COMMAND(ID_HELP_ABOUT, &CMainFrame::OnAbout)
    ON_COMMAND(ID_FILE_SET_PATHS, &CMainFrame::OnSetPaths)
    ON_COMMAND(ID_MODE_REALTIME, &CMainFrame::OnModeRealTime)
    ON_COMMAND(ID_MODE_RECORDER, &CMainFrame::OnModeRecorder)
    ON_COMMAND(ID_MODE_POSTPROCESS, &CMainFrame::OnModePostProcess)
    ON_COMMAND(ID_RUN, &CMainFrame::OnRun)
    ON_COMMAND(ID_STOP, &CMainFrame::OnStopCommand)
    ON_COMMAND(ID_SYSTEM_CHECK, &CMainFrame::OnSystemCheck)
    ON_COMMAND(ID_CONFIG_SAVE, &CMainFrame::OnConfigSave)
    ON_COMMAND(ID_CONFIG_LOAD, &CMainFrame::OnConfigLoad)
    ON_COMMAND(ID_SELECT_SINGLE_PLOTS, &CMainFrame::OnSelectSingleChannelPlots)
    ON_COMMAND(ID_SELECT_COMPOSITE_PLOTS, &CMainFrame::OnSelectCompositeChannelPlots)
    ON_COMMAND(ID_PROCESSING_SETTINGS, &CMainFrame::OnProcessingSettings)
    ON_COMMAND(ID_CLOSE_ALL_PLOTS, &CMainFrame::OnCloseAllPlots)
    ON_MESSAGE(WM_LOAD_CONFIGURATION, &CMainFrame::OnLoadConfigMessage)
    ON_MESSAGE(CMainFrame::kFirstResizeWork, &CMainFrame::OnFirstResizeWork)
    ON_MESSAGE(WM_PLOT_CLOSING, &CMainFrame::OnPlotClosing)
    ON_MESSAGE(WM_PLOT_ACTIVATED, &CMainFrame::OnPlotActivated)
    ON_MESSAGE(WM_RUN_WHOLE_FILE, &CMainFrame::OnRunWholeFileMessage)
    ON_MESSAGE(WM_SPECTRUM_COMMAND, &CMainFrame::OnSpectrumCommand)
    ON_MESSAGE(WM_UTILITY_CLOSING, &CMainFrame::OnUtilityClosing)
    ON_MESSAGE(WM_PLOT_SEGMENT, &CMainFrame::OnPlotSegmentMessage)
#include "app/MainFrameLayoutMap.inc"
#include "app/MainFrameFilesMap.inc"
#include "app/MainFramePlaybackMap.inc"
#include "app/MainFrameSeriesMap.inc"
#include "app/MainFrameUtilityMap.inc"
#include "app/MainFrameReverbMap.inc"
#include "app/MainFrameThdMap.inc"
#include "app/MainFramePlotOptionsMap.inc"
END_MESSAGE_MAP()

bool CMainFrame::FirstResizeDone = false;

namespace {
std::string& ModulePathOverride()
{
    static std::string path;
    return path;
}

// Reports a settings file that is there but cannot be read (a folder or a FIFO in its place,
// no permission, an I/O error); true when it is so. The caller goes on with the defaults.
bool ReportUnreadableSettingsFile(const std::string& path, const std::string& what, const char* consequence)
{
    std::string ignored;
    if (ReadSmallFile(path, kMaxSettingsFileBytes, ignored) != FileReadResult::Unreadable)
        return false;
    AfxMessageBox("The " + what + " " + path + " cannot be read: " + GetLastFileError() + ".\r\r" + consequence,
                  MB_OK | MB_ICONEXCLAMATION);
    return true;
}

// Copies a file to a new name beside it (<name>.damaged, then .damaged-2 ...); the new name,
// or empty when no copy could be made.
std::string KeepCopyBeside(const std::string& path)
{
    for (int n = 1; n < 100; ++n) {
        const std::string copy = path + ".damaged" + (n == 1 ? std::string() : "-" + std::to_string(n));
        std::error_code ec;
        if (std::filesystem::symlink_status(copy, ec).type() != std::filesystem::file_type::not_found)
            continue;
        if (CopyFileA(path.c_str(), copy.c_str(), TRUE))
            return copy;
        return {};
    }
    return {};
}
} // namespace

void CMainFrame::SetModulePath(std::string path) { ModulePathOverride() = std::move(path); }

std::string CMainFrame::ModulePath()
{
    if (!ModulePathOverride().empty())
        return ModulePathOverride();
    return AfxGetModulePath();
}

CMainFrame::CMainFrame()
{
    m_channels.reserve(kChannels);
    for (int ch = 0; ch < kChannels; ++ch)
        m_channels.emplace_back(Settings, ch);
    m_composites.reserve(kComposites);
    for (int k = 0; k < kComposites; ++k)
        m_composites.emplace_back(Settings, k);
    InputDevice = std::make_unique<TUsbDevice>();
    OutputDevice = std::make_unique<TUsbDevice>();
    ConnectSoundLoopback();

    Settings.DTInputDeviceIndex = 0;
    Settings.DTOutputDeviceIndex = 0;
    Settings.Device.SamplingRate = UsbDeviceSettings::kDefaultSamplingRate;
    Settings.Device.BitsPerSample = UsbDeviceSettings::kDefaultBitsPerSample;

    ProgramBaseName = "Durnex";
    const std::string module = ModulePath();
    if (!module.empty()) {
        const std::string stem = std::filesystem::path(module).stem().string();
        if (!stem.empty())
            ProgramBaseName = stem;
    }
    BuildInstallProfilePath();
    ReportUnreadableSettingsFile(InstallProfilePath, "install profile",
                                 "The data folder is taken from the program's folder.");
    ChooseDataFolder();
    ProfilePath = DataFolder + ProgramBaseName + ".ini";
    StartupConfigPath = DataFolder + ProgramBaseName + ".cfg";

    SetDefaultPaths(Settings.Paths);
    Settings.WorkingPaths = Settings.Paths;

    CopyInitialDataFolder();
    CreateStandardFolders();
    KeepProfile = ReportUnreadableSettingsFile(
        ProfilePath, "profile",
        "The analyser starts with its default folders and file options, and leaves the file as it is.");
    std::vector<std::string> profileReplaced;
    ReadGlobalSettings(&profileReplaced);
    ReadStartupConfiguration(profileReplaced);

    // The channels' files are reopened by the file commands, never taken from a configuration.
    for (ChannelFileState& file : Settings.Files)
        file = ChannelFileState();
    FileGroup = FileGroupInfo();

    Settings.Buttons = 0;
    Settings.Statusbar = 0;
    for (int ch = 0; ch < 7; ++ch)
        Settings.Files[ch].IsActive = 1;
    Settings.WorkingPaths = Settings.Paths;
}

CMainFrame::~CMainFrame()
{
    // The frame's window and with it every MDI child is gone by now; the plot windows freed
    // themselves, so their slots must not be used by what follows.
    ForgetPlotWindows();

    OnStop();
    CloseLogFiles();
    for (int ch = 0; ch < kChannels; ++ch)
        DeleteChannelObjects(ch);
    for (TCompositeProcessing& composite : m_composites)
        composite.Clear();
    DeletePlaybackObjects();
    // The printer choice the print dialogs handed back.
    if (PrinterDevMode)
        GlobalFree(PrinterDevMode);
    if (PrinterDevNames)
        GlobalFree(PrinterDevNames);
    PrinterDevMode = PrinterDevNames = nullptr;
    DeleteUtilityObjects();
    // Files still open here were not closed by OnClose (a frame destroyed without closing).
    for (ChannelFileState& file : Settings.Files)
        file.File.reset();

    WriteSettingsAtExit();

    OutputDevice.reset();
    InputDevice.reset();
    DeleteToolWindows();
}

// ---- Names and folders ----------------------------------------------------------------

void CMainFrame::BuildInstallProfilePath()
{
    const std::string module = ModulePath();
    std::string folder;
    if (!module.empty()) {
        folder = std::filesystem::path(module).parent_path().string();
        if (!folder.empty() && folder.back() != '/')
            folder += '/';
    }
    InstallProfilePath = folder + ProgramBaseName + "Install.ini";
}

void CMainFrame::ChooseDataFolder()
{
    DataFolder.clear();
    WindowsInstall = ReadInstallProfile(InstallProfilePath.c_str()) != 0;
    if (WindowsInstall) {
        const std::string documents = GetPersonalFolder();
        if (!documents.empty())
            DataFolder = JoinDataFolder(documents, "Durnex") + "/";
        return;
    }
    // The program's folder; an installation keeps the executable in a "bin" folder below the
    // data, so a trailing "bin" is dropped. Case is kept: Linux file names are case-sensitive.
    const std::string module = ModulePath();
    if (module.empty())
        return;
    std::filesystem::path folder = std::filesystem::path(module).parent_path();
    if (folder.filename() == "bin")
        folder = folder.parent_path();
    DataFolder = folder.string();
    if (DataFolder.empty() || DataFolder.back() != '/')
        DataFolder += '/';
}

void CMainFrame::SetDefaultPaths(PathSettings& paths) const { paths.SetDefaults(DataFolder); }

void CMainFrame::CopyInitialDataFolder()
{
    if (!WindowsInstall || DataFolder.empty() || FolderExists(DataFolder))
        return;
    const std::string common = GetCommonAppDataFolder();
    if (common.empty())
        return;
    const std::filesystem::path source = std::filesystem::path(common) / "Durnex";
    std::error_code ec;
    if (!std::filesystem::is_directory(source, ec))
        return;
    // A failed copy is not reported: start-up goes on with whatever the folder holds.
    std::filesystem::create_directories(DataFolder, ec);
    std::filesystem::copy(source, DataFolder,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::skip_existing, ec);
}

// The data folder and its standard sub-folders (wave, temp, config, ...), as an installation
// leaves them: without them a first run has nowhere to put its temporary and saved files.
// Folders that can't be made are left to the commands that use them, which report it.
void CMainFrame::CreateStandardFolders()
{
    if (DataFolder.empty())
        return;
    PathSettings defaults;
    defaults.SetDefaults(DataFolder);
    std::error_code ec;
    std::filesystem::create_directories(DataFolder, ec);
    for (int i = 0; i < PathSettings::kCount; ++i)
        std::filesystem::create_directories(defaults.Folder(i), ec);
}

void CMainFrame::ReadGlobalSettings(std::vector<std::string>* replaced)
{
    ::ReadGlobalSettings(ProfilePath.c_str(), DataFolder, WindowsInstall, Settings.Paths, Settings.WorkingPaths,
                         Settings.FileIO, replaced);
}

bool CMainFrame::WriteGlobalSettings()
{
    return ::WriteGlobalSettings(ProfilePath.c_str(), Settings.Paths, Settings.FileIO);
}

void CMainFrame::ReadStartupConfiguration(const std::vector<std::string>& profileReplaced)
{
    ConfigurationCheck profile;
    profile.replaced = profileReplaced;
    const std::string profileText = DescribeConfigurationCheck("The profile " + ProfilePath, profile);
    // Whatever the start-up configuration says, the profile's replaced values are told once.
    auto tell = [&profileText](std::string text) {
        if (!profileText.empty())
            text = text.empty() ? profileText : text + "\r\r" + profileText;
        if (!text.empty())
            AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    };
    ConfigurationCheck check;
    if (!::ReadConfigurationFile(Settings, StartupConfigPath.c_str(), &check)) {
        // The fixed channel names hold also when there is no start-up configuration yet (first
        // start); the channels in use are then the defaults (0 to 4).
        ApplyFixedChannelNames(Settings);
        if (check.result == FileReadResult::Unreadable) {
            KeepStartupConfig = true;
            tell("The start-up configuration " + StartupConfigPath + " cannot be read: " + GetLastFileError() +
                 ".\r\rThe analyser starts with its default settings, and leaves the file as it is.");
        } else {
            tell({});
        }
        return;
    }
    std::string text = DescribeConfigurationCheck("The start-up configuration " + StartupConfigPath, check);
    if (text.empty()) {
        tell({});
        return;
    }
    // The file is replaced at exit; what the reader could not use stays in a copy.
    const std::string copy = KeepCopyBeside(StartupConfigPath);
    text += "\r\r";
    if (copy.empty()) {
        KeepStartupConfig = true;
        text += "No copy of it could be made (" + GetLastFileError() + "), so it is left as it is.";
    } else {
        text += "The file as it was is kept as " + copy + ".";
    }
    tell(text);
}

void CMainFrame::WriteSettingsAtExit()
{
    // A write-protected file is the user's choice and stays as it is, as does one that could
    // not be read at start-up. Any other failure (a full disk, a file-size limit) loses this
    // session's settings, so the user is told.
    auto report = [](const std::string& path) {
        AfxMessageBox("The settings could not be saved in " + path + ": " + GetLastFileError() +
                          ".\r\rThe file there was left as it was.",
                      MB_OK | MB_ICONEXCLAMATION);
    };
    if (!KeepProfile && !IsWriteProtectedFile(ProfilePath) && !WriteGlobalSettings())
        report(ProfilePath);
    if (!KeepStartupConfig && !IsWriteProtectedFile(StartupConfigPath) &&
        !WriteConfigurationFile(StartupConfigPath.c_str()))
        report(StartupConfigPath);
}

bool CMainFrame::ReadConfigurationFile(const char* path, ConfigurationCheck* check)
{
    return ::ReadConfigurationFile(Settings, path, check);
}

bool CMainFrame::WriteConfigurationFile(const char* path) { return ::WriteConfigurationFile(Settings, path); }

// ---- Window creation ------------------------------------------------------------------

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs)
{
    if (!CMDIFrameWnd::PreCreateWindow(cs))
        return FALSE;
    WNDCLASSA wc;
    if (!GetClassInfo(AfxGetInstanceHandle(), "Durnex", &wc)) {
        wc = WNDCLASSA();
        wc.hIcon = ::LoadIcon(AfxGetInstanceHandle(), IDI_MAIN_APP_NAME);
        wc.lpszClassName = "Durnex";
        if (!AfxRegisterClass(&wc))
            return FALSE;
    }
    cs.lpszClass = "Durnex";
    return TRUE;
}

int CMainFrame::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (CMDIFrameWnd::OnCreate(lpCreateStruct) == -1)
        return -1;

    {
        CAboutDialog splash(this, true);
        splash.DoModal();
    }

    CreateToolWindows();

    UpdateModeMenuChecks();
    UpdateToolbarMenuChecks();
    UpdateUtilityMenuChecks();
    ToolbarSetMode();
    StatusbarUpdate(2);

    RemoveHiddenMenuItems();

    // Before any working copy of this session is made in the wave folder.
    ReportLeftOverTakes();
    if (Settings.OpMode != 0)
        ReopenAllWaveFiles();
    ReattachChannelFile();
    SetupAllChannels();
    ReconfigureProcessing();
    ResetUtilityViews();
    return 0;
}

// The Utilities and Edit pop-ups, and the File menu's File I/O Options and Delete items, are
// reached by accelerators and tool windows only.
void CMainFrame::RemoveHiddenMenuItems()
{
    CMenu* menu = GetMenu();
    if (menu == nullptr)
        return;
    auto removePopup = [menu](const char* name) {
        for (int i = 0; i < int(menu->GetMenuItemCount()); ++i)
            if (menu->GetMenuString(UINT(i), MF_BYPOSITION) == name) {
                menu->RemoveMenu(UINT(i), MF_BYPOSITION);
                return;
            }
    };
    removePopup("&Utilities");
    removePopup("&Edit");
    CMenu* file = menu->GetSubMenu(0);
    if (file == nullptr)
        return;
    for (int i = 0; i < int(file->GetMenuItemCount()); ++i) {
        const std::string text = file->GetMenuString(UINT(i), MF_BYPOSITION);
        if (text.rfind("File I/O Options", 0) == 0) {
            file->RemoveMenu(UINT(i), MF_BYPOSITION);
            if (i > 0 && file->GetMenuItemID(i - 1) == 0 && file->GetSubMenu(i - 1) == nullptr)
                file->RemoveMenu(UINT(i - 1), MF_BYPOSITION);
            break;
        }
    }
    file->RemoveMenu(ID_FILE_DELETE, MF_BYCOMMAND);
}

void CMainFrame::OnSize(UINT nType, int cx, int cy)
{
    CMDIFrameWnd::OnSize(nType, cx, cy);
    RecalcLayout();
    if (GetMDIClient() == nullptr || FirstResizeDone)
        return;
    FirstResizeDone = true;
    // The first size arrives while the frame is created, before its client area has its
    // shown size; the reopened windows are placed in that area, so the work waits until the
    // frame is up.
    PostMessage(kFirstResizeWork);
}

LRESULT CMainFrame::OnFirstResizeWork(WPARAM, LPARAM)
{
    const CWinApp* app = AfxGetApp();
    std::string commandLine = app != nullptr && app->m_lpCmdLine != nullptr ? app->m_lpCmdLine : "";
    // One argument with blanks comes quoted, as Windows hands it on.
    if (commandLine.size() >= 2 && commandLine.front() == '"' && commandLine.back() == '"')
        commandLine = commandLine.substr(1, commandLine.size() - 2);
    // The extension is looked for in the file name: Linux folders often carry dots (".config").
    const std::size_t slash = commandLine.rfind('/');
    const std::string fileName = slash != std::string::npos ? commandLine.substr(slash + 1) : commandLine;
    // A configuration that can't be loaded has been reported; the windows of the last
    // session come back as they would without one, so that their layout is not lost.
    const bool loaded = commandLine.size() >= 5 && HasConfigExtension(fileName.c_str()) &&
                        LoadConfiguration(commandLine.c_str());
    if (!loaded) {
        RestoreWindows();
        if (Settings.OpMode != 0) {
            ReopenAndApplyAllWaveFiles();
        }
        ToolbarFillConfigurations();
        ResetUtilityViews();
    }
    UpdateTitle();
    return 0;
}

// ---- Close and shutdown ---------------------------------------------------------------

void CMainFrame::OnClose()
{
    if (!CloseAllWaveFiles())
        return;
    CWaitCursor wait;

    // Every window's placement, and whether it is open, is recorded while it still exists.
    RecordAllWindowPlacements();

    // The generator and the utilities up to Leq close without asking.
    for (int kind = 6; kind <= 15; ++kind)
        DeleteUtilityWindow(kind);
    // THD+N versus frequency and RT-60 may hold unsaved results and refuse.
    for (int kind = 16; kind <= 17; ++kind) {
        if (GetUtilityWindow(kind) != nullptr) {
            if (!QueryUtilitySave(kind))
                return;
            DeleteUtilityWindow(kind);
        }
    }
    for (int kind = 18; kind <= 19; ++kind)
        DeleteUtilityWindow(kind);
    CMDIFrameWnd::OnClose();
}

void CMainFrame::DeleteChannelObjects(int channel)
{
    Channel(channel).Clear();
}

std::unique_ptr<TSampleBuffer> CMainFrame::SwapSampleBuffer(int channel, std::unique_ptr<TSampleBuffer> buffer)
{
    return Channel(channel).SwapBuffer(std::move(buffer));
}

void CMainFrame::ForgetPlotWindows()
{
    for (int ch = 0; ch < kChannels; ++ch) {
        TimeSeriesPlot[ch] = nullptr;
        SpectrumPlot[ch] = nullptr;
        PhasePlot[ch] = nullptr;
        SpectrogramPlot[ch] = nullptr;
        SurfacePlot[ch] = nullptr;
    }
    for (int c = 0; c < kComposites; ++c) {
        CompositeSpectrumPlot[c] = nullptr;
        CompositePhasePlot[c] = nullptr;
        CompositeSpectrogramPlot[c] = nullptr;
        CompositeSurfacePlot[c] = nullptr;
    }
    // The two utilities that are MDI children went with the frame's window too.
    THDFreqWnd = nullptr;
    ReverbWnd = nullptr;
}

// ---- About and Set Paths --------------------------------------------------------------

void CMainFrame::OnAbout()
{
    CAboutDialog about(this, false);
    about.DoModal();
}

void CMainFrame::OnSetPaths()
{
    CSetPathsDlg dialog(this, &Settings.Paths);
    if (dialog.DoModal() != IDOK)
        return;
    Settings.WorkingPaths = Settings.Paths;
    ToolbarFillConfigurations();
    if (!KeepProfile)
        WriteGlobalSettings();
}

// File/Exit closes the main window as its close box does.
void CMainFrame::OnAppExit() { PostMessage(WM_CLOSE); }
