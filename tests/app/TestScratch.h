// Scratch space of the app tests: a fresh folder per test, Python scripts run from a file, and
// a frame's statics as a new process has them.
#pragma once

#include "app/CMainFrame.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace apptest {

// <temp>/durnex-<kind>-<pid>-<test name>, emptied and made again.
inline std::filesystem::path FreshScratchFolder(const std::string& kind)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("durnex-" + kind + "-" + std::to_string(::getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

// Runs a Python script; false when it fails.
inline bool RunPython(const std::string& kind, const std::string& code)
{
    const std::filesystem::path script =
        std::filesystem::temp_directory_path() / ("durnex-" + kind + "-" + std::to_string(::getpid()) + ".py");
    { std::ofstream(script) << code; }
    const std::string cmd = "python3 " + script.string();
    const bool ok = std::system(cmd.c_str()) == 0;
    std::filesystem::remove(script);
    return ok;
}

// The first lines of a script that needs numpy and scipy: a python3 on the path without them
// (a virtual environment) hands the script to the system's, which has them.
inline const char* const kNumpyPreamble = "import os, sys\n"
                                          "try:\n"
                                          "    import numpy, scipy\n"
                                          "except ImportError:\n"
                                          "    if sys.executable != '/usr/bin/python3':\n"
                                          "        os.execv('/usr/bin/python3', ['/usr/bin/python3'] + sys.argv)\n";

// What the frame keeps in statics outlives a frame: each test starts as a new process would.
inline void ResetFrameStatics()
{
    CMainFrame::FirstResizeDone = false;
    CMainFrame::LastArbitraryRate = 0;
    CMainFrame::ProcessIntervalMs = 0;
}

} // namespace apptest
