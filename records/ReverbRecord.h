// One step of an RT-60 analysis: the one-third-octave band levels of one FFT block of the
// decay, with their smoothed copies. Also the record of the *.rvb result file.
#pragma once

#include <cstddef>

struct ReverbRecord {
    static constexpr int kBands = 31; // band slots; the wideband entry is the last one used
    static constexpr float kWideband = -999.0f; // the wideband entry's frequency
    static constexpr float kNoLevel = -999.0f;

    float Frequency[kBands]; // band centre, Hz
    float Level[kBands];     // dB, relative to the decay start once normalised
    float Smoothed[kBands];  // dB
    float Time;              // s from the start of the analysed stretch

    void Clear()
    {
        for (int b = 0; b < kBands; ++b) {
            Frequency[b] = 0.0f;
            Level[b] = kNoLevel;
            Smoothed[b] = kNoLevel;
        }
        Time = 0.0f;
    }
};
static_assert(sizeof(ReverbRecord) == 94 * sizeof(float), "a reverb record is 94 floats, as stored in *.rvb files");

// The decay times of one band.
struct ReverbBandResult {
    float Frequency = 0.0f;
    float Rt[6] = {-1, -1, -1, -1, -1, -1};    // RT-10 .. RT-60, s; 0 in a result: not available
    unsigned char NotMeasured[6] = {1, 1, 1, 1, 1, 1}; // 0: read off the decay itself
};
