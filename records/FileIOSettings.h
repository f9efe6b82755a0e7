// File handling options (profile section "FileIO").
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct FileIOSettings {
    static constexpr DWORD kMinDiskRecordingBytes = 1000000;
    static constexpr DWORD kMaxDiskRecordingBytes = 2000000000;
    // Recording times and the real-time buffer's length take at least 4 seconds; a recording
    // in memory at most an hour. A buffer on disk of this many seconds of the device's 24-bit
    // samples at 4000 Hz (with the tenth added when it is made) stays below the largest
    // recording file.
    static constexpr DWORD kMinRecordingSecs = 4;
    static constexpr DWORD kMaxRamRecordingSecs = 3600;
    static constexpr DWORD kMaxRealTimeBufferSecs = 100000;

    DWORD WaveFileMode;            // 0 whole file in memory, 1 streamed from disk
    DWORD MaxRamRecordingTimeSecs;
    BYTE MakeBackup;               // work on a backup copy of a streamed file
    BYTE IncludeCalibrationData;   // write the calibration chunk into wave files
    BYTE RealTimeWaveBufferEnableFlag;
    DWORD RealTimeWaveBufferLengthSecs;
    DWORD MaxDiskRecordingSizeBytes;
    BYTE AutoReopenOnLaunch;       // reopen the channels' wave files at start

    FileIOSettings()
    {
        ZeroRecord(*this);
        WaveFileMode = 1;
        MaxRamRecordingTimeSecs = 3600;
        MakeBackup = 1;
        IncludeCalibrationData = 1;
        RealTimeWaveBufferEnableFlag = 1;
        RealTimeWaveBufferLengthSecs = 3600;
        MaxDiskRecordingSizeBytes = kMaxDiskRecordingBytes;
        AutoReopenOnLaunch = 1;
    }
};
