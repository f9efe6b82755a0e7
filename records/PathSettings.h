// The ten data folders (profile section "Paths"). The frame keeps a second copy as the
// folders the file dialogs remember while the program runs.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

#include <string>

struct PathSettings {
    static constexpr int kCount = 10;

    char Wav[260];    // wave files
    char Tmp[260];    // temporary files
    char cfg[260];    // configurations
    char cal[260];    // calibration files
    char mic[260];    // microphone compensation files
    char ovl[260];    // overlays
    char txt[260];    // data logging
    char rvb[260];    // reverberation results
    char thd[260];    // THD+N results
    char filter[260]; // filter response files

    PathSettings() { ZeroRecord(*this); }

    // Folder i (0..9) in the order above, with its profile key and default sub-folder name.
    char* Folder(int i);
    const char* Folder(int i) const;
    static const char* Key(int i);
    static const char* DefaultName(int i);

    // Sets every folder to the data folder followed by its default name.
    void SetDefaults(const std::string& dataFolder);
};

// The data folder joined with a name, with a '/' between them when the folder lacks one.
std::string JoinDataFolder(const std::string& dataFolder, const char* name);
