// DTMF detection over a segment of one channel of a wave file: a first pass finds the level
// of the strongest tone, a second pass slides a Hanning-windowed transform along the segment
// in steps of 1 % of its length and times the keys with DtmfDetector. The frame's command
// adds the wait cursor, caption, progress and the "DTMF keys = " message.
#pragma once

#include "dsp/SegmentProgress.h"
#include "platform/core/WinTypes.h"

#include <string>

class TWaveData;
struct ChannelProcessingSettings;
struct ChannelScalingSettings;

// The transform length for a sample rate: 512 up to 8000 Hz, 1024 up to 16000, 2048 up to
// 34000, 4096 up to 50000, 8192 above.
UINT DtmfTransformSize(DWORD sampleRate);
// Frames the second pass advances per block: 1 % of the transform, truncated.
UINT DtmfHop(UINT transformSize);

// Scans [start, end) seconds of a channel of the wave. The keys found (also those found
// before a cancel) go to `keys`. False when nothing was scanned: an empty segment, or a
// working object that could not be made. The wave's position is left as it was.
bool ScanDtmfKeys(TWaveData& wave, int fileChannel, float start, float end,
                  const ChannelProcessingSettings& processing, const ChannelScalingSettings& scaling,
                  const SegmentProgress& hooks, std::string& keys);

std::string FormatDtmfMessage(const std::string& keys);
