// Registers every resource the program carries. Each group of resources lives in a file of
// its own in this folder and offers a Register...() function called from here.
#include "platform/core/Resources.h"
#include "res/ResourceGroups.h"

#include <mutex>

void RegisterBuiltInResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterStringTable();
        RegisterPinkWave();
        RegisterMainMenu();
        RegisterCursors();
        RegisterIcons();
        RegisterFileDialogs();
        RegisterToolBitmaps();
        RegisterPrintDialogs();
        RegisterFrameDialogs();
        RegisterPlotSelectionDialogs();
        RegisterPlaybackDialogs();
        RegisterDeviceDialogs();
        RegisterProcessingDialogs();
        RegisterSheetPageDialogs();
        RegisterSigGenDialogs();
        RegisterUtilityDialogs();
        RegisterReverbDialogs();
        RegisterOverlayDialogs();
        RegisterThdDialogs();
        RegisterPlotOptionsDialogs();
        RegisterPlotBitmaps();
    });
}
