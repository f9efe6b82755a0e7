// The wave file of one input channel (8 in the frame). Held in memory only, never stored in a
// configuration file, so it owns its file outright.
#pragma once

#include "platform/core/WinTypes.h"

#include <memory>

class TWaveFile;

struct ChannelFileState {
    BYTE IsActive = 0;               // the channel takes part in processing and file writing
    char FilePath[260] = {};         // the channel's wave file, "" when none
    std::unique_ptr<TWaveFile> File; // null when no file is open
    DWORD FileChannel = 0;           // the channel's slot within its file

    // Out of line: TWaveFile is complete only there.
    ChannelFileState();
    ~ChannelFileState();
    ChannelFileState(ChannelFileState&&) noexcept;
    ChannelFileState& operator=(ChannelFileState&&) noexcept;

    // Closes the file and forgets its path and slot; whether the channel is active stays.
    void Clear();
};
