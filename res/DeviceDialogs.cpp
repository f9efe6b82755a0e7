// The system check dialog.
#include "platform/ui/DialogTemplate.h"
#include "res/DeviceDialogIds.h"
#include "res/ResourceGroups.h"

void RegisterDeviceDialogs()
{
    using namespace dlg;
    // The grid is a window the dialog creates and places at (24, 24) in the room kept for it.
    RegisterDialogTemplate(
        {IDD_SYSTEM_CHECK, "System Check",
         Row({Area(kSystemCheckGridWidth + 16, kSystemCheckGridHeight + 16),
              Column({Label("This test will check the sensors and connector integrity.  Please terminate (short) the "
                            "sensors before starting the test.")
                          .Chars(30)
                          .Lines(5),
                      Stretch(), PushButton(IDC_SYSTEM_CHECK_START, "Start"), PushButton(IDCANCEL, "Close")})})});
}
