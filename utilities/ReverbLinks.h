// What the RT-60 window and its options dialog need of the frame, handed over when the frame
// creates the window: the devices' side of the live test, and the frame's RT-60 and path
// records, which outlive the window. Requests that make the frame act go by
// WM_REVERB_REQUEST (records/AppMessages.h).
#pragma once

#include "utilities/LiveTestLinks.h"

struct PathSettings;
struct ReverbSettings;

struct ReverbLinks : LiveTestLinks {
    ReverbSettings* settings = nullptr;
    const PathSettings* paths = nullptr;  // rvb: where bare result file names lie
    PathSettings* workingPaths = nullptr; // rvb: the folder the file dialogs start in
};
