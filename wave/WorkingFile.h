// What a working file ("wav*.tmp") is, and what the next start does with one a crash left.
//
// While a working file lives, a label beside it ("<file>.label", a few "key=value" lines) says
// what it is: a take of a live run (with its channel, its run and its channel's calibration
// chunk), a Real Time buffer (a take whose newest part may come first: its ring line says where
// the order turns, rewritten in place before each piece is written), the backup copy of a
// file being edited, or an undo copy. Whoever deletes or moves the file removes the label. A
// crash leaves both, so the next start can offer takes as takes, put buffers into time order
// and clear copies whose original is intact.
//
// Plain functions on paths; any thread, but one file is handled by one thread at a time.
#pragma once

#include "platform/core/WinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

struct WorkingFileLabel {
    enum class Kind { Unknown, Take, RealTime, Backup, Undo };
    Kind kind = Kind::Unknown;
    int channel = -1;
    std::string original;                  // Backup, Undo: the file it copies or belongs to
    // Undo: the edit it takes back went into that file itself (edited in place, or a take's own
    // working file), so the copy may hold the only frames the edit overwrote or removed. Labels
    // that do not say are taken to mean so.
    bool editedInPlace = true;
    // Undo: its frames belong at frame `first` of the file, where the edit overwrote them or cut
    // them out; -1 in labels that do not say. `state` says how far the edit (or taking it back) got.
    enum class Change { Unknown, Overwritten, Removed };
    enum class State { Unknown, Editing, Edited, Undoing };
    long long first = -1;
    Change change = Change::Unknown;
    State state = State::Unknown;
    std::string run;                       // Take, RealTime: the files that end at one sample share it
    std::vector<std::uint8_t> calibration; // Take, RealTime: the calibration chunk's body, or empty
    // RealTime: once the ring wrapped at frame `wrap`, frames [to, wrap) are the oldest and
    // [0, from) the newest; [from, to) was being written.
    DWORD wrap = 0, from = 0, to = 0;
    DWORD process = 0; // the process that made it: while that runs, the file is in use
};

std::string WorkingFileLabelPath(const std::string& file);
// Written beside and renamed, so a label is whole or absent, naming this process as the file's
// user; false when it cannot be written.
bool WriteWorkingFileLabel(const std::string& file, const WorkingFileLabel& label);
// false without a readable label.
bool ReadWorkingFileLabel(const std::string& file, WorkingFileLabel& label);
// A Real Time label's ring line, rewritten in place (one small write); false when it cannot be.
bool UpdateRingPosition(const std::string& file, DWORD wrap, DWORD from, DWORD to);
void RemoveWorkingFileLabel(const std::string& file);

// A working file's wave layout as a crash left it.
struct WorkingWave {
    std::vector<std::uint8_t> header; // every byte before the samples, up to the data chunk's size field
    std::int64_t dataOffset = 0;
    DWORD blockAlign = 0;
    DWORD sampleRate = 0;
    std::int64_t frames = 0; // whole frames on disk: those the header names, or more when it lags
};
// false when the file is no PCM wave this program writes.
bool InspectWorkingWave(const std::string& file, WorkingWave& wave);

// Rewrites a take in place as a wave of its first `frames` frames (a Real Time buffer in time
// order, `frames` counted in that order), with the label's calibration chunk; the label then
// says Take. Written beside and renamed: on failure the file is as it was.
bool SealTake(const std::string& file, const WorkingWave& wave, WorkingFileLabel& label, std::int64_t frames);
// The frames a take offers: a wrapped Real Time buffer its ring's, anything else those on disk.
std::int64_t TakeFrames(const WorkingWave& wave, const WorkingFileLabel& label);

// Whether two wave files hold the same format, samples and calibration chunk.
bool SameWaveData(const std::string& a, const std::string& b);
