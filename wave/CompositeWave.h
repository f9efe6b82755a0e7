// The composite wave file of a file group: the first channel of the files of channels 0..6
// added up frame by frame as raw sample values, times a gain, into one new wave file in the
// format and length of the first of them. Sums beyond the sample range are limited to it.
// User-interface thread only; the channel files are not owned.
#pragma once

#include "platform/core/WinTypes.h"

#include <functional>
#include <string>

struct ChannelFileState;

// The channel whose file sets the composite's format and length, or -1 after telling the user
// why there is none (no file among channels 0..6, or an empty first file).
int FindCompositeReference(const ChannelFileState* files);

// Builds the composite of files[0..6] with the reference's format and length and saves it at
// path. progress receives 0..99 as the frames are added up. False after a message when the
// file could not be made, read or written; nothing is left at path then.
bool BuildCompositeWave(const ChannelFileState* files, int reference, const std::string& path, float gainDb,
                        const std::string& tempDir, const std::function<void(int percent)>& progress = {});
