// Window messages posted from any thread by layers below the windows (the sound output posts
// MM_WOM_DONE from its writer threads). The window layer installs the poster when the
// application starts; without a user interface nothing is posted.
#pragma once

#include "platform/core/WinTypes.h"

#include <functional>

// Runs on the user-interface thread, in the order of posted messages, just before the message
// would be delivered; false drops the message.
using MessageGate = std::function<bool()>;
using MessagePoster = bool (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam, MessageGate gate);

void SetMessagePoster(MessagePoster poster);
// Posts `message` to `window`, delivered only when `gate` (if any) returns true and the window
// still exists. A null window takes no message, but its gate still runs. False when there is no
// user interface to post to: then nothing will run.
bool PostMessageIf(HWND window, UINT message, WPARAM wParam, LPARAM lParam, MessageGate gate);
