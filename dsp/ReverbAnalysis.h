// The RT-60 measurement: one-third-octave band levels of overlapping FFT blocks of a decay,
// made relative to the decay start, smoothed, and the times the levels need to fall 10, 20,
// ... 60 dB, with extrapolation from RT-10, RT-20 or RT-30. The same chain serves a live test
// (a capture that holds a 1 kHz synchronisation tone, a pink-noise burst and its decay) and a
// selected stretch of a recording (the decay from its first frame on). Also the *.rvb result
// files and the text copies of the three views.
//
// User-interface thread only. The RT-60 window owns one of these; the settings record is the
// frame's, handed over by pointer. Failures are reported in message boxes and set the cancel
// flag, which makes every later stage of the chain do nothing.
#pragma once

#include "records/ReverbRecord.h"
#include "records/ReverbSettings.h"
#include "records/TPcmFormat.h"
#include "platform/core/WinTypes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TWaveData;

class ReverbAnalysis {
public:
    static constexpr int kMaxBands = ReverbRecord::kBands;
    static constexpr DWORD kFileMagic = 50270;    // files written now
    static constexpr DWORD kOldFileMagic = 13211; // the older layout without the start offset

    explicit ReverbAnalysis(ReverbSettings* settings);
    ~ReverbAnalysis();
    ReverbAnalysis(const ReverbAnalysis&) = delete;
    ReverbAnalysis& operator=(const ReverbAnalysis&) = delete;

    ReverbSettings& Settings() { return *settings_; }

    // Progress of the stages: percent and a text ("" hides the text). The window repaints its
    // bar and looks for Esc there, setting the cancel flag through Cancel().
    std::function<void(int percent, const char* text)> progress;
    void Cancel() { cancel = 1; }
    bool IsCancelled() const { return cancel != 0; }

    // --- the chain; each stage does nothing once cancelled or without records ---
    void Synchronize();
    void EvaluateLevels();
    void AnalyzeDecay();
    void NormalizeLevels();
    void SmoothDecay();
    void ComputeDecayTimes();
    // View mode from the outcome: 0 after a failure or cancel, else at least 1.
    void MarkDataPresent();

    // Frees the records and allocates `capacity` empty ones; false, reported, on failure.
    bool AllocateRecords();
    void FreeRecords();
    // The live test's timing from the maximum decay time; record interval and capacity follow
    // from the FFT size, overlap and input rate.
    void SetTestTiming();
    // The record the decay starts at: the start offset over the record spacing, rounded,
    // never past the last record.
    int StartRecord() const;
    float RecordSpacing() const;

    // Analyses the first `length` frames of channel 0 of a wave held by the analysis (the
    // capture) as a decay that starts at its first frame. Sets the FFT size and overlap by
    // the wave's rate. Returns false when nothing could be analysed.
    bool AnalyzeCaptureAsSegment();

    // The FFT size and overlap used for a segment of a recording at `rate`.
    static void SegmentBlockSize(DWORD rate, UINT& fftSize, UINT& overlap);
    // The records a segment must give before a fall can be read off it, and the frames that
    // takes at `rate`.
    static constexpr int kMinSegmentRecords = 3;
    static DWORD SegmentMinimumFrames(DWORD rate);

    // The fall the chosen extrapolation reads its time over: 10, 20 or 30 dB.
    int ChosenFall() const;
    // True when some band's time for the chosen fall was read off its decay.
    bool ShowsChosenFall() const;
    // How far above its noise floor a decay must fall through the chosen range before the
    // Schroeder integral is trusted there (ISO 3382-1: 5 dB before the range, 10 dB after it).
    static constexpr float kFloorMargin = 15.0f;
    // The same for the averaged decay, whose range starts at its start: 10 dB after it.
    static constexpr float kAveragedFloorMargin = 10.0f;

    // --- files and text ---
    // The path a result file name stands for: relative names longer than three characters
    // lie in `folder`.
    static std::string ReverbFilePath(const std::string& name, const std::string& folder);
    // Writes the records; false (reported) on failure. Clears the modified, segment and hint
    // flags and takes the name on success.
    bool SaveFile(const std::string& path);
    // Reads a file into the records, restores the start offset and recomputes the decay
    // times; false (reported) when the file is missing, invalid or short.
    bool LoadFile(const std::string& path);
    // The current view's numbers as tab-separated lines ("\r\n"). In the times of view 1 an
    // extrapolated time carries the mark in a column of its own, and the legend ends the text.
    std::string ViewText(DWORD viewMode) const;

    // A time extrapolated from a shorter fall, not read off the decay itself: the windows, the
    // printout and the copied text show it with this mark and explain it by the legend.
    static constexpr const char* kExtrapolatedMark = "*";
    static constexpr const char* kExtrapolatedLegend = "* extrapolated, not measured";
    // True when band b's time k (0 RT-10 .. 5 RT-60) is available but extrapolated.
    bool IsExtrapolated(int b, int k) const
    {
        return b >= 0 && b < kMaxBands && k >= 0 && k < 6 && results[b].Rt[k] > 0.0f && results[b].NotMeasured[k] != 0;
    }

    // --- state (the window reads and sets these) ---
    DWORD running = 0;
    DWORD viewMode = 0; // 0 no data, 1 reverb times, 2 decay plot, 3 3-D surface
    BYTE modified = 0;
    std::string fileName;
    float leadIn = 0.8f, toneLength = 0.1f, gap = 0.5f, noiseLength = 4.0f, maxDecayTime = 10.0f,
          totalLength = 15.4f;
    float detectedToneTime = 0.8f;
    BYTE segment = 0;    // analysing a selected stretch: no margin before the cut-off
    BYTE cutoffHint = 0; // the decay rises more than 20 dB above its start
    UINT fftSize = 8192;
    UINT overlap = 95;
    int bandCount = 0;
    int recordCount = 0;
    int capacity = 0;
    float recordInterval = 0.0f;
    std::vector<ReverbRecord> records;
    ReverbBandResult results[kMaxBands];
    // Per band, how many dB the decay falls from its start before it meets the noise floor, as
    // the smoothing found it; negative where no floor was looked for or none was met.
    float decaySpan[kMaxBands];
    TPcmFormat inputFormat{44100, 1, 2};
    TPcmFormat outputFormat{44100, 1, 2};
    std::unique_ptr<TWaveData> capture;
    std::unique_ptr<TWaveData> testSignal;
    BYTE cancel = 0;
    // The largest sample of the level check's stretch in dB relative to full scale.
    float noisePeakDbfs = -999.0f;

private:
    void Progress(int percent, const char* text)
    {
        if (progress)
            progress(percent, text);
    }
    bool HasRecords() const { return !records.empty(); }
    // Fills record `index` from the engine's bands.
    template <class Engine>
    void FillRecord(int index, Engine& engine, int first, int last, float time);

    ReverbSettings* settings_;
    // The margin over the floor the smoothing that found decaySpan asks for.
    float m_floorMargin = kFloorMargin;
};

// Where one band's decay, levels[i] dB at times[i] (seconds from the start, equally spaced),
// meets its noise floor, by Lundeby's iteration: the floor from the last records, a line through
// the decay down to 10 dB above it, the floor again from past where that line meets it.
struct DecayFloor {
    double level = -999.0; // the floor, dB
    double start = 0.0;    // the line through the decay: start + slope t, dB
    double slope = 0.0;    // dB per second
    double cross = 0.0;    // where the line meets the floor, s
    bool fitted = false;   // a falling line was found
    bool met = false;      // the records show the decay flatten out on the floor
};
DecayFloor FindDecayFloor(const std::vector<double>& levels, const std::vector<double>& times);

// Schroeder's backward integral of the energy of one band's decay, levels[i] dB at times[i]
// (seconds from the start, equally spaced), into `smoothed` (dB relative to its start). The
// integral stops where the decay meets the noise floor (FindDecayFloor) and adds the energy the
// fitted line gives beyond the cut; records past the cut keep their levels. Returns how many dB
// the decay falls before it meets the floor (the line's start over the floor).
float SchroederIntegral(const std::vector<double>& levels, const std::vector<double>& times,
                        std::vector<double>& smoothed);

// The decay times of ReverbAnalysis::ComputeDecayTimes over plain records, for the analysis and
// for tests: records [s, count) are read; maxDecay is D of the extrapolation rules.
void ComputeReverbDecayTimes(const ReverbRecord* records, int count, int bandCount, int s, float maxDecay,
                             DWORD extrapolation, ReverbBandResult (&out)[ReverbRecord::kBands]);
