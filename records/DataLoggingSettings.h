// Data logging: one global block with a record per input channel and per composite channel
// (sections "DataLoggingMain", "DataLoggingOpts_%d", "DataLoggingCompositeOpts_%d"). The
// working fields after IntervalSecs belong to data logging and are never stored.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

#include <cstdio>

struct DataLoggingSettings {
    static constexpr int kDataItems = 35;

    BYTE Enable;                // log this channel
    BYTE DataItem[kDataItems];  // one flag per loggable quantity
    float Threshold;
    BYTE IntervalFlag;          // 1: at most one row per interval
    float IntervalSecs;
    float LastRowTime;          // working: 0.0 when the file is opened
    float NextRowTime;          // working: -1.0 when the file is opened
    char LogFilePath[260];      // working: set when the file is opened
    std::FILE* LogFile;         // working: the open log file, or null
    BYTE HeaderPending;         // working: a header is still to be written

    DataLoggingSettings() { ZeroRecord(*this); }
};

struct DataLoggingBlock {
    BYTE IsLogging;             // 1 while logging is on; never stored
    DWORD FilenameFormat;       // 0 one name per channel, 1 with start date and time
    BYTE OverwriteFlag;
    BYTE IncludeHeaderFlag;
    BYTE IncludeTimeStampFlag;
    char ViewerProgram[260];
    DataLoggingSettings Channel[8];
    DataLoggingSettings Composite[16];

    DataLoggingBlock()
    {
        ZeroRecord(*this);
        OverwriteFlag = 1;
        IncludeHeaderFlag = 1;
        IncludeTimeStampFlag = 1;
        CopyField(ViewerProgram, "Notepad.exe");
        Channel[0].DataItem[1] = 1;
    }
};
