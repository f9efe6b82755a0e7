// Templates of the playback dialogs: the rate of Edit > Play Special > Arbitrary Speed.
#include "platform/ui/DialogTemplate.h"
#include "res/PlaybackDialogIds.h"
#include "res/ResourceGroups.h"

using namespace dlg;

void RegisterPlaybackDialogs()
{
    RegisterDialogTemplate({IDD_PLAYBACK_RATE, "Sampling Rate for Playback",
                            Column({Row({Label("Playback Sampling Rate"), Edit(IDC_PLAYBACK_RATE).Chars(12)}), OkCancel()})});
}
