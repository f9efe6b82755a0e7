// The wave file of one input channel (8 in the frame; not stored in a configuration file).
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

class TWaveFile;

struct ChannelFileState {
    BYTE IsActive;      // the channel takes part in processing and file writing
    char FilePath[260]; // the channel's wave file, "" when none
    TWaveFile* File;    // owned by the frame; null when no file is open
    DWORD FileChannel;  // the channel's slot within its file

    ChannelFileState() { ZeroRecord(*this); }
};
