// The program's main frame started for a benchmark, headless (offscreen), in a scratch data
// folder that goes with it: the module is taken to live in <scratch>/bin/Durnex, the splash
// screen is closed as soon as it is up. Message boxes would wait for a user: the benchmarks
// only take roads that show none.
#pragma once

#include "app/CMainFrame.h"
#include "app/CTervaneApp.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Resources.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Wnd.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace bench {

class BenchFrame {
public:
    explicit BenchFrame(const std::string& name)
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        root = std::filesystem::path(GetSystemTempFolder()) / ("durnex-bench-" + name + "-" + std::to_string(::getpid()));
        for (const char* sub : {"bin", "wave", "temp", "config", "cal", "miccomp", "overlay", "log", "reverb", "Thd", "filter"})
            std::filesystem::create_directories(root / sub);
        ::setenv("HOME", root.c_str(), 1);
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
        CMainFrame::SetModulePath((root / "bin" / "Durnex").string());
        CMainFrame::FirstResizeDone = false;
        CDialog::ScriptModal([](CWnd& splash) { static_cast<CDialog&>(splash).EndDialog(IDOK); });
        app = std::make_unique<CTervaneApp>();
        std::string program = "Durnex";
        char* argv[] = {program.data(), nullptr};
        app->InitApplicationState(1, argv);
        if (app->InitInstance())
            frame = dynamic_cast<CMainFrame*>(app->m_pMainWnd);
        AfxPumpMessages(20);
        CDialog::ClearModalScripts();
    }
    ~BenchFrame()
    {
        if (frame != nullptr) {
            frame->DestroyWindow();
            AfxPumpMessages(20);
        }
        if (app) {
            app->ExitInstance();
            app.reset();
        }
        CMainFrame::SetModulePath("");
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    BenchFrame(const BenchFrame&) = delete;
    BenchFrame& operator=(const BenchFrame&) = delete;

    // The wave file at `path` on `channel` in Post Process mode, as the File commands apply it.
    bool OpenChannel(int channel, const std::string& path)
    {
        if (frame == nullptr)
            return false;
        if (frame->Settings.OpMode != 2)
            frame->SetModePostProcess(false);
        std::strncpy(frame->Settings.Files[channel].FilePath, path.c_str(), 259);
        if (!frame->ReopenChannelFile(channel) || frame->Settings.Files[channel].File == nullptr)
            return false;
        frame->InitChannelScaling(channel);
        frame->SetupChannelProcessing(channel);
        frame->AttachWaveFileToPlots(channel);
        frame->ReleaseChannelProcessing(channel);
        return true;
    }

    std::filesystem::path root;
    std::unique_ptr<CTervaneApp> app;
    CMainFrame* frame = nullptr;
};

} // namespace bench
