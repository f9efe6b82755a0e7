// File groups: the channels' wave files saved, opened and closed together. A group file
// (*.qrx) is INI text with section "TestInfo" (TestName, Technician, Comments, TestDate) and
// section "Filenames", one key per channel 0..6 named after the channel's location, holding
// the channel's wave file relative to the group file's folder when it lies there or below.
// Channel 7 never belongs to a group.
//
// The file-group dialog runs the file dialogs and calls these on the frame's records; the
// records are written through. User-interface thread only.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

#include <cstdint>
#include <string>

struct ChannelCalibration;
struct ChannelFileState;
class TWaveFile;

// The current file group, one record in the frame.
struct FileGroupInfo {
    char GroupPath[261]; // full path of the group file; fewer than 3 characters: untitled
    char TestName[260];
    char Technician[260];
    char Comments[260];
    std::int64_t TestDate; // seconds since 1970-01-01 UTC; 0 or less: not set

    FileGroupInfo() { ZeroRecord(*this); }
    bool IsUntitled() const;
    void Clear() { ZeroRecord(*this); }
};

constexpr int kFileGroupChannels = 7; // channels 0..6

// The "Filenames" value for a wave file of a group: the path relative to the group's folder
// when the file lies in it or below, else the path as it is.
std::string FileGroupEntryFor(const std::string& groupPath, const std::string& wavePath);
// The wave file a "Filenames" value names: a relative value (also one written on Windows,
// with backslashes) is taken in the group's folder; an absolute path, or one with a drive
// letter, as it stands.
std::string ResolveFileGroupEntry(const std::string& groupPath, const std::string& value);
// The name an untitled channel file gets when its group is saved:
// <group folder>/<group title>_<location>.wav.
std::string FileGroupChannelFileName(const std::string& groupPath, int channel);

// The group file's keys alone.
bool WriteFileGroupInfo(const std::string& groupPath, const FileGroupInfo& info);
void ReadFileGroupInfo(const std::string& groupPath, FileGroupInfo& info);
bool WriteFileGroupEntry(const std::string& groupPath, int channel, const std::string& wavePath);
// The resolved wave file of a channel, or "" when the group names none.
std::string ReadFileGroupEntry(const std::string& groupPath, int channel);

// Counts the files whose work would be lost on closing: untitled files, and named files with
// changes held only in memory or in a working copy (a file edited in make-backup mode).
int CountUnsavedWaveFiles(const ChannelFileState* files, int channels);

// Saves the group at groupPath: its info (TestDate as given), then for channels 0..6 that hold
// a file: an untitled file is named after the group and its location and saved, a modified
// one saved, and its entry written. Existing wave files that untitled ones would replace are
// named in one question first; anything but Yes saves nothing. The group path is stored in
// info, unless every wave file it had to write failed. False when nothing was saved, or a file
// could not be written (reported).
bool SaveFileGroup(const std::string& groupPath, FileGroupInfo& info, ChannelFileState* files);

// Opens the group: reads its info into info, closes the files of channels 0..6 and opens the
// ones the group names (streamed or in memory by waveMode, with the make-backup choice and the
// wave folder for working copies), taking each file's calibration into the channel's record.
// A file that cannot be opened is reported; its channel keeps the path and has no file.
// Returns the number of files opened.
int OpenFileGroup(const std::string& groupPath, FileGroupInfo& info, ChannelFileState* files,
                  ChannelCalibration* calibrations, WORD waveMode, bool makeBackup, const std::string& waveFolder);

// Closes every channel's file and clears the group. When files hold unsaved work the user is
// asked first; anything but Yes keeps everything and returns false.
bool CloseFileGroup(FileGroupInfo& info, ChannelFileState* files, int channels);
