// Tests that check against an outside tool (python3 with numpy, scipy or soundfile; sox) skip
// themselves where it is missing. CI installs every one of them, so there (CI=true) a missing
// tool fails the test instead of hiding a lost check behind a skip.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

// Whether `program` is on the PATH.
inline bool DurnexToolInstalled(const char* program)
{
    const std::string cmd = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

inline bool DurnexInCi()
{
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

// Skips the test (or fails it in CI), saying what is missing.
#define DURNEX_SKIP_WITHOUT(what)                                                                  \
    do {                                                                                           \
        if (DurnexInCi())                                                                          \
            FAIL() << what << " (CI installs it; a skip there would hide this check)";             \
        else                                                                                       \
            GTEST_SKIP() << what;                                                                  \
    } while (0)
