// What the THD+N-versus-frequency window and its options dialog need of the frame, handed over
// when the frame creates the window: pointers to the frame's own records and objects, which
// outlive the window. Requests that make the frame act go by WM_THDFREQ_REQUEST
// (records/AppMessages.h).
#pragma once

#include "platform/core/WinTypes.h"

class CWnd;
class TSoundOutput;
class TUsbDevice;
struct OutputDeviceSettings;
struct PathSettings;
struct ThdFreqSettings;
struct UsbDeviceSettings;

struct ThdFreqLinks {
    CWnd* frame = nullptr; // told of closing and asked to act
    ThdFreqSettings* settings = nullptr;
    const UsbDeviceSettings* device = nullptr;
    const OutputDeviceSettings* output = nullptr; // rate, format and the generator's levels
    const INT* inputDeviceIndex = nullptr;        // negative: no device
    const INT* outputDeviceIndex = nullptr;
    const BYTE* useSoundCard = nullptr;
    const DWORD* soundCardIndex = nullptr;
    const WORD* opMode = nullptr; // 2: Post Process
    TUsbDevice* const* inputDevice = nullptr; // the frame's device objects (each may be null)
    TUsbDevice* const* outputDevice = nullptr;
    TSoundOutput** soundOutput = nullptr;     // the frame's one sound output, null when idle
    const PathSettings* paths = nullptr;      // thd: where bare result file names lie
    PathSettings* workingPaths = nullptr;     // thd: the folder the file dialogs start in
    const char* profilePath = nullptr;        // the program's profile ([THDFreqOpts] DebugFlag)
};
