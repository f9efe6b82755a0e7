// Ids of the playback dialogs and their controls.
#pragma once

#define IDD_PLAYBACK_RATE 170
#define IDC_PLAYBACK_RATE 2075
