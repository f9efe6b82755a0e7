// The process entry: the application object already exists (static initialisation); the
// resources are registered and the object runs.
#include "platform/core/Resources.h"
#include "platform/ui/WinApp.h"

int main(int argc, char** argv)
{
    RegisterBuiltInResources();
    return AfxWinMain(argc, argv);
}
