// The profile (data folder + base name + ".ini": [Install], [Paths], [FileIO]) and the install
// profile (program folder + base name + "Install.ini": [Install] WindowsInstall), read and
// written through the private-profile functions so that keys of others survive.
#pragma once

#include "records/FileIOSettings.h"
#include "records/PathSettings.h"

#include <string>
#include <vector>

// [Install] WindowsInstall of the install profile; 0 when the file or key is missing.
int ReadInstallProfile(const char* installProfilePath);

// Fills the folders and file options from the profile. With [Install] Default nonzero on a
// documents-folder installation the [Paths] keys are not read and every folder is its default
// under dataFolder. workingPaths receives a copy of the folders. File options outside the
// ranges the system allows are held to them, each noted in replaced when given.
void ReadGlobalSettings(const char* profilePath, const std::string& dataFolder, bool windowsInstall,
                        PathSettings& paths, PathSettings& workingPaths, FileIOSettings& fileIO,
                        std::vector<std::string>* replaced = nullptr);

// Writes [Paths] and [FileIO]; other sections and keys of the file stay. False when the
// file could not be written.
bool WriteGlobalSettings(const char* profilePath, const PathSettings& paths, const FileIOSettings& fileIO);
