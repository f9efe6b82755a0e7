// The main frame started headless in a scratch data folder: the module is taken to live in
// <scratch>/bin/Durnex, so the data folder is <scratch>/ with its ten sub-folders. A scripted
// user answers every message box; the splash screen is closed as soon as it is up.
#pragma once

#include "app/CMainFrame.h"
#include "records/AppMessages.h"
#include "app/CTervaneApp.h"
#include "plots/TPhasePlot.h"
#include "plots/TSeriesPlot.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "platform/core/Resources.h"
#include "platform/dialogs/DialogTestSupport.h"
#include "platform/ui/Dialog.h"
#include "support/ScriptedUser.h"
#include "TestScratch.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace frametest {

// Channel 0 alone at FFT 1024 without decimation, no composite channel, in `mode`.
inline void UseChannelZeroAlone(FrameSettings& s, WORD mode)
{
    s.OpMode = mode;
    for (int ch = 0; ch < 8; ++ch) {
        s.Device.Channels[ch].bIsEnabled = ch == 0 ? 1 : 0;
        s.Processing[ch].FFTsize = 1024;
        s.Processing[ch].DecimationRatio = 1;
    }
    for (auto& c : s.Composite)
        c.bIsEnabled = 0;
}

// An analog level trigger on channel 0 at 1 V, positive, with the given delay and no prompt.
inline void TriggerOnChannelZero(TriggerSettings& t, WORD delayType, float delayMs)
{
    t.TriggerEnabled = 1;
    t.TriggerChannel = 0;
    t.TriggerSource = 0;
    t.TriggerType = 0;
    t.Polarity = 0;
    t.ThresholdVolts = 1.0f;
    t.DelayType = delayType;
    t.DelayMsec = delayMs;
    t.PromptToAccept = 0;
}

class FrameFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
        CDialog::ClearModalScripts();
        root = apptest::FreshScratchFolder("frame");
        std::filesystem::create_directories(root / "bin");
        for (const char* sub : {"wave", "temp", "config", "cal", "miccomp", "overlay", "log", "reverb", "Thd", "filter"})
            std::filesystem::create_directories(root / sub);
        CMainFrame::SetModulePath((root / "bin" / "Durnex").string());
        apptest::ResetFrameStatics();
    }

    void TearDown() override
    {
        // A Real Time run's buffers go with the test, without the question Exit asks about them.
        if (frame != nullptr && frame->Settings.OpMode == 0) {
            frame->StopRunAndPlayback();
            frame->DropAllWaveFiles();
        }
        // A frame that refused to close (a test that left work unsaved) is destroyed anyway.
        if (frame != nullptr && !Close()) {
            frame->DestroyWindow();
            AfxPumpMessages(20);
            frame = nullptr;
            app->ExitInstance();
            app.reset();
        }
        CMainFrame::SetModulePath("");
        EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
        CDialog::ClearModalScripts();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    std::string Data(const std::string& name = {}) const { return root.string() + "/" + name; }

    // Starts the application with the given command-line arguments.
    CMainFrame* Start(std::vector<std::string> args = {})
    {
        CMainFrame::FirstResizeDone = false;
        CDialog::ScriptModal([](CWnd& splash) { static_cast<CDialog&>(splash).EndDialog(IDOK); });
        app = std::make_unique<CTervaneApp>();
        args.insert(args.begin(), "Durnex");
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        app->InitApplicationState(int(args.size()), argv.data());
        if (!app->InitInstance())
            return nullptr;
        frame = dynamic_cast<CMainFrame*>(app->m_pMainWnd);
        AfxPumpMessages(20);
        return frame;
    }

    // Closes the frame as its close box does; false when it stayed open.
    bool Close()
    {
        const HWND h = frame->GetSafeHwnd();
        frame->SendMessage(WM_CLOSE);
        AfxPumpMessages(20);
        if (IsWindow(h))
            return false;
        frame = nullptr;
        app->ExitInstance();
        app.reset();
        return true;
    }

    int ChildCount() const { return int(QtMdiAreaOf(frame)->subWindowList().size()); }

    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path root;
    ScriptedUser user;
    std::unique_ptr<CTervaneApp> app;
    CMainFrame* frame = nullptr;
};

// Runs a Python script; false when it fails.
inline bool Python(const std::string& code) { return apptest::RunPython("frame", code); }

// The start of a script that needs numpy: an interpreter without it hands over to the system's.
inline constexpr const char* kNumpyPrelude = "import os, sys\n"
                                             "try:\n"
                                             "    import numpy\n"
                                             "except ImportError:\n"
                                             "    if sys.executable != '/usr/bin/python3':\n"
                                             "        os.execv('/usr/bin/python3', ['/usr/bin/python3'] + sys.argv)\n";

} // namespace frametest
