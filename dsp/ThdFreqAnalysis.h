// The THD+N-versus-frequency test: the stepped-sine stimulus (silence, a 1 kHz
// synchronisation burst, silence, one sine step per test frequency), the search for the burst
// in the capture, the THD+N of each step from overlapping FFT blocks, the *.thd result files
// and the text copy.
//
// User-interface thread only. The window owns one of these; the settings record is the
// frame's, handed over by pointer. Failures are reported in message boxes and set the cancel
// flag, which makes every later stage do nothing.
#pragma once

#include "records/ThdFreqSettings.h"
#include "records/TPcmFormat.h"
#include "platform/core/WinTypes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TWaveData;

// One result point; also the record of the *.thd file.
struct ThdPoint {
    float Frequency; // measured peak frequency, Hz
    float ThdN;      // percent
};

class ThdFreqAnalysis {
public:
    static constexpr std::int32_t kFileMagic = 5000;

    explicit ThdFreqAnalysis(ThdFreqSettings* settings);
    ~ThdFreqAnalysis();
    ThdFreqAnalysis(const ThdFreqAnalysis&) = delete;
    ThdFreqAnalysis& operator=(const ThdFreqAnalysis&) = delete;

    ThdFreqSettings& Settings() { return *settings_; }

    // Progress: percent and a text. The window repaints its bar and looks for Esc there.
    std::function<void(int percent, const char* text)> progress;
    void Cancel() { cancel = 1; }
    bool IsCancelled() const { return cancel != 0; }

    // Number of steps of the settings (at least 1) and the first octave band index (-1 for
    // linear steps). Repairs a step that is not above 0 and an octave fraction below 1.
    static int StepCount(ThdFreqSettings& s, int& firstIndex);
    // The nominal frequency of every step, in test order.
    static std::vector<double> StepFrequencies(ThdFreqSettings& s);
    // Relative amplitude 0 < a <= 1 of a generator level in its unit (0 dBFS, 1 %, 2 V rms,
    // 3 mV rms, 4 dBV, 5 dBmV, 6 dBu) against the output full scale in volts.
    static double OutputAmplitude(float level, int unit, float fullScaleVolts);
    // FFT size of the per-step analysis at a capture rate: the size for sound-card rates,
    // halved while a step would hold fewer blocks than at 22050 Hz (a slow device's steps are
    // short in samples); 0 when no size of at least 256 fits in a step.
    static UINT StepFftSize(DWORD rate, float startFrequency);
    // Whether a capture at `rate` can be analysed; refuses (reported) when it can't.
    static bool CheckInputRate(DWORD rate, float startFrequency);

    // Builds the stimulus at the output format `rate`, channels, bytes per sample; a0 and a1
    // are the relative amplitudes of output channels 0 and 1. Refuses (reported, cancelled)
    // rates below 22050 Hz and a stop frequency above half the rate.
    bool BuildStimulus(DWORD rate, WORD channels, WORD bytes, double a0, double a1);
    // The stepped sine from `firstFrame` on (each step P + 1 frames long).
    void WriteSteppedSine(TWaveData& wave, DWORD firstFrame, double a0, double a1);

    // Finds the burst in channel 0 of the capture; keeps the nominal lead-in when none is
    // found or it lies more than 0.5 s away.
    void FindSyncTone();
    // One point per step and recorded channel; sets the clipped and too-low findings.
    void ComputeThdNPoints();
    void FreePoints();

    // --- files and text ---
    static std::string ThdFilePath(const std::string& name, const std::string& folder);
    // Writes the points; false (reported) on failure, leaving the modified flag set.
    bool SaveFile(const std::string& path);
    // Reads a file; false (reported) when it is missing, invalid or holds fewer points than
    // its count. A failed read leaves no points and the settings unchanged.
    bool LoadFile(const std::string& path);
    // Tab-separated lines ("\r\n") of the points.
    std::string PointsText() const;

    // --- state ---
    BYTE running = 0;
    BYTE modified = 0;
    BYTE clipped = 0;
    BYTE tooLow = 0;
    BYTE cancel = 0;
    std::string fileName;
    float leadIn = 1.0f, burst = 0.1f, gap = 1.0f, syncTime = 1.0f;
    TPcmFormat outputFormat{44100, 1, 2};
    std::unique_ptr<TWaveData> stimulus;
    std::unique_ptr<TWaveData> capture; // channel 0 = input A, channel 1 = input B
    std::vector<ThdPoint> pointsA;
    std::vector<ThdPoint> pointsB; // empty for a one-channel result
    int PointCount() const { return static_cast<int>(pointsA.size()); }

private:
    void Progress(int percent, const char* text)
    {
        if (progress)
            progress(percent, text);
    }
    ThdFreqSettings* settings_;
};
