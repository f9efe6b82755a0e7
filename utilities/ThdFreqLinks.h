// What the THD+N-versus-frequency window and its options dialog need of the frame, handed over
// when the frame creates the window: the devices' side of the live test, and the frame's
// THD+N and path records, which outlive the window. Requests that make the frame act go by
// WM_THDFREQ_REQUEST (records/AppMessages.h).
#pragma once

#include "utilities/LiveTestLinks.h"

#include <string>

struct PathSettings;
struct ThdFreqSettings;

struct ThdFreqLinks : LiveTestLinks {
    ThdFreqSettings* settings = nullptr;
    const PathSettings* paths = nullptr;  // thd: where bare result file names lie
    PathSettings* workingPaths = nullptr; // thd: the folder the file dialogs start in
    std::string profilePath;              // the program's profile ([THDFreqOpts] DebugFlag)
};
