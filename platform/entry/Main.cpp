// The process entry: the application object already exists (static initialisation); the
// resources are registered and the object runs.
#include "platform/core/FileSystem.h"
#include "platform/core/Resources.h"
#include "platform/ui/WinApp.h"

// In sanitizer builds: D-Bus and fontconfig keep process-lifetime allocations that Qt's
// platform plugins make on a real display; they are not the program's leaks.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus\nleak:libfontconfig\nleak:libfreetype\n";
}

int main(int argc, char** argv)
{
    // Saves past a file-size limit fail and are reported instead of ending the program.
    KeepProcessAliveAtFileSizeLimit();
    RegisterBuiltInResources();
    return AfxWinMain(argc, argv);
}
