// The generator's synthesis routines: each fills one channel of an already sized, formatted and
// silent wave with one waveform, frame by frame. They are plain functions over the wave so that
// the builder thread, the tests and the benchmarks call them alike; nothing here knows a window.
//
// Noise and dither draw on CrtRand(), whose state is per thread: a build on a fresh thread
// starts from the run-time's seed, so the same settings give the same samples every time.
//
// Threads: any one thread per wave; the abort flag may be set from another thread.
#pragma once

#include "records/SigGenChannelSettings.h"
#include "platform/core/WinTypes.h"
#include "records/TPcmFormat.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

class TWaveData;

// What every routine needs beside the wave and the record.
struct SynthesisContext {
    // Set by another thread to stop a routine before its next frame; may be null.
    const std::atomic<BYTE>* abort = nullptr;
    // Called before every 1000th frame with the percentage done (0..99); may be empty.
    std::function<void(int percent)> progress;
    // The 16-bit samples of the pink-noise recording; empty when it could not be loaded.
    std::span<const std::int16_t> pink;
    // Shows a failure the build goes on from (a user wave that does not open); may be empty.
    std::function<void(const std::string& text)> report;
    // Where a user wave file's working copy may go; empty for the system's.
    std::string tempFolder;
    // The channel's user wave file, read beforehand on the user-interface thread (opening a
    // file may show a message, which only that thread can do); null when it did not open.
    // Without it, the routine opens the file itself.
    const TWaveData* userWave = nullptr;
    bool userWaveLoaded = false;

    bool Aborted() const { return abort != nullptr && abort->load(std::memory_order_relaxed) != 0; }
};

// Waveform type codes of SigGenChannelSettings::Type.
namespace SigGenType {
enum : int {
    WhiteNoise = 0, PinkNoise = 1, NoiseBurst = 2, Tone1k = 3, MultipleTones = 4, ToneBurst = 5,
    ImdTones = 6, FreqSweep = 7, LevelSweep = 8, Sawtooth = 9, Triangular = 10, Pulse = 11,
    Square = 12, UserDefined = 13, Dtmf = 14, DigitalZero = 15, FreqStep = 16
};
}

// What the generator says when a user wave cannot be read: the file named, or, for an empty
// path, that no file was chosen.
std::string UserWaveFailureText(const std::string& path);

// Triangular dither of +-1 sample step: the sum of two uniform values, from two CrtRand() draws.
float WhiteNoiseSample();

// The pink-noise loop: the recording's samples less 20, less one more when that is odd.
DWORD PinkLoopLength(std::size_t recordingSamples);

// Frequency step count of a Freq Step record (at least 1) and, when asked, its start band
// (-1 for linear steps or a start below the first band).
int CountFrequencySteps(const SigGenChannelSettings& settings, int* startBand);
// Centre frequency of fractional-octave band `band` with `fraction` bands an octave.
double OctaveBandCentre(int band, int fraction);

// Sawtooth, triangle and square: frames of one cycle at `frequency` (at least one, whole or
// not), and the frame where cycle `cycle` begins (whole frames, rounded down).
double ShapedPeriod(double rate, float frequency);
std::int64_t ShapedCycleStart(double period, std::int64_t cycle);

using SynthesisRoutine = void (*)(TWaveData* wave, const SigGenChannelSettings& settings, WORD channel,
                                  double amplitude, const SynthesisContext& context);

void GenerateWhiteNoise(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GeneratePinkNoise(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateWhiteNoiseBurst(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GeneratePinkNoiseBurst(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateTone(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateMultipleTones(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateToneBurst(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateImdTones(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateLevelSweep(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateSawtooth(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateTriangular(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GeneratePulse(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateSquare(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateUserWave(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateDtmf(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateDigitalZero(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateFreqSweep(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);
void GenerateFreqStep(TWaveData*, const SigGenChannelSettings&, WORD, double, const SynthesisContext&);

// One block of D/A output slots from the wave at frame `position`, which it advances: channel
// 0 (and channel 1 in the next slot with a two-channel wave), truncated to integers. At the
// wave's end a looped waveform starts over; any other gives silence from there on.
void FillDeviceOutputBlock(TWaveData& wave, DWORD& position, bool looped, std::span<std::int32_t> block);

// The routine of a record's type (a Noise Burst by its noise type); null when the channel is
// to stay silent (an unknown type or noise type).
SynthesisRoutine RoutineFor(const SigGenChannelSettings& settings);
