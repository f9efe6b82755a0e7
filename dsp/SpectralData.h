// The per-channel spectrum engine. A windowed block of N samples goes in through the frame;
// the engine transforms it, scales it to calibrated units, averages it, keeps peak hold,
// 1/N-octave bands, weighting and compensation, and answers every level, frequency and
// measure that plots, utilities and logging read.
//
// Threads: one engine is used by one thread (the user-interface thread) at a time.
// Ownership: every buffer belongs to the engine; pointers handed out stay valid until the
// engine is destroyed or reconfigured. Composite operations read buffers of other engines of
// the same FFT size, which their caller keeps alive for the call.
// Errors: the error flag is set after a bad FFT size or a failed allocation (allocations are
// also reported in a message box); every operation on a broken engine does nothing or returns
// 0 / -999.9.
#pragma once

#include "dsp/ToneModel.h"
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/ChannelCalibration.h"
#include "platform/core/WinTypes.h"

#include <complex>
#include <memory>
#include <optional>
#include <vector>

class SpectralData {
public:
    // Time of day in seconds since local midnight; peak hold expires against it.
    using TimeOfDayFn = float (*)();
    // Replaces the clock of every engine (tests); null restores the local clock.
    static void SetTimeOfDaySource(TimeOfDayFn fn);
    static float TimeOfDay();

    struct Band {
        float centre;  // exact centre, Hz
        float nominal; // nominal centre shown as the band's frequency, Hz
        float lower;
        float upper;
    };
    struct BandBins {
        UINT first;
        float firstWeight; // fraction of the first bin inside the band
        UINT last;
        float lastWeight;
    };
    struct PeakEntry {
        float level;
        float expiry; // time of day until which the level is held
    };

    SpectralData(const ChannelProcessingSettings* processing, const ChannelScalingSettings* scaling,
                 bool loadCompensation);
    ~SpectralData();
    SpectralData(const SpectralData&) = delete;
    SpectralData& operator=(const SpectralData&) = delete;

    // --- settings, memory and scale table ---
    void SetScaling(const ChannelCalibration* calibration);
    void SetScalingSettings(const ChannelScalingSettings* scaling, bool loadCompensation);
    void ComputeScaleTable();
    void SetAveraging(WORD speed, UINT blocks);
    void CopyAverageCount(const SpectralData* other);
    void AllocateLinearBuffers();
    void ResetAverages();
    void ClearSpectra();
    void ClearPeakHold();
    void SetPeakDecay(WORD selector);
    void SetUnitsLabel(const char* text);
    float GetScale(UINT bin) const;
    void SetScale(UINT bin, float value);
    void SetWhiteningScale();
    const ChannelCalibration& GetCalibration() const { return calibration; }
    float GetCalibrationFactor() const { return calibrationFactor; }
    float GetAverageBlocks() const { return AverageBlocks; }
    WORD GetAverageType() const { return AverageType; }
    int GetAverageCount() const { return averageCount; }
    int GetLinearSlotCount() const { return static_cast<int>(ringMagnitude.size()); }
    float GetFullScale() const { return fullScale; }
    bool HasError() const { return error != 0; }

    // --- per block ---
    void SetTimeSample(UINT index, float value)
    {
        if (frame && index < N)
            frame[index] = value;
    }
    float* GetFrame() { return frame.get(); }
    float* GetTimeBuffer() { return frame.get(); }
    void ZeroTimeSamples(UINT from, UINT to);
    void ComputeSpectrum();
    void UpdateTimeAverage(float time);
    void Average(bool meanBands);
    void UpdatePeakHold();
    void ComputeInverse();
    float GetTimeSample(UINT index) const;
    float* GetInverseBuffer() { return inverse.get(); }
    void LevelsToTimeFrame();

    // --- bands, weighting, compensation ---
    void BuildBandTable();
    void BuildBandBinTable();
    float NominalFrequency(float centre) const;
    void BuildOctaveBands(bool mean);
    UINT FrequencyToBand(float f) const;
    float GetBandCentre(UINT band) const;
    float GetBandLower(UINT band) const;
    float GetBandUpper(UINT band) const;
    UINT GetFirstBand() const;
    UINT GetLastBand() const;
    UINT GetBandCount() const { return bandCount; }
    // slot: 0 the display weighting (StandardWeighting), 1..3 the total-power A, B, C tables.
    void BuildWeightingTable(int slot, int kind);
    void SetCompensation(const char* fileName, bool enable);
    bool HasCompensation() const { return compensation != nullptr; }
    // Reads a response file (*.mic, *.flt) onto the bins, in dB.
    bool LoadCompensationFile(const char* fileName, float* out);
    // points: count pairs (Hz, dB).
    void InterpolatePointTable(const float* points, UINT count, float* out, bool linear) const;
    bool LoadFilterResponse(const char* fileName, UINT count, float* out);

    // --- composite channels ---
    void ComplexSum(const float* const* spectra, int count);
    void RealSum(const float* const* spectra, int count);
    void PolarMean(const float* a, const float* b);
    void CrossSpectrum(const float* x, const float* y);
    void RealTransferFunction(const float* num, const float* den, const void* unused1 = nullptr,
                              const void* unused2 = nullptr);
    void CrossOverAuto(const float* referencePower);
    void Coherence(const float* gx, const float* gy);
    bool IsRatioKind() const { return ratioKind != 0; }
    bool IsTransferKind() const { return transferKind != 0; }
    bool IsCrossKind() const { return crossKind != 0; }
    bool IsCoherenceKind() const { return coherenceKind != 0; }

    // --- measures ---
    float TotalLevel(UINT first, UINT last, WORD ampType, int weighting);
    float NoiseBandwidthFactor() const;
    // THD and THD+N in percent, SNR and SINAD in dB, over the analysed band (or f1..f2): the
    // fundamental is the strongest tone, its power (and each harmonic's) the power of its main
    // lobe; the leakage the window spreads beyond the lobe counts as the tone's. Empty when
    // there is nothing to measure: no tone above the noise, the fundamental at DC, for THD
    // every harmonic beyond the band.
    std::optional<float> ComputeThd() const;
    std::optional<float> ComputeThdN() const;
    std::optional<float> ComputeSnr() const;
    std::optional<float> ComputeSinad() const;
    float ComputeSfdr() const;
    std::optional<float> ComputeImd() const;
    std::optional<float> ComputeThdInRange(float f1, float f2) const;
    std::optional<float> ComputeThdNInRange(float f1, float f2) const;
    std::optional<float> ComputeSnrInRange(float f1, float f2) const;
    std::optional<float> ComputeSinadInRange(float f1, float f2) const;
    void FindRankedPeak(int lo, int hi, float* freq, float* level, int rank) const;
    float RankedPeakFrequency(float f1, float f2, UINT rank, bool fromPeakHold) const;
    void FindMinimumInRange(UINT lo, UINT hi, float* freq, float* level) const;
    float HalfPowerBandwidth(float f1, float f2, bool fromPeakHold) const;
    float QualityFactor(float f1, float f2, bool fromPeakHold) const;
    float MagnitudeAtFrequency(float f) const;
    void FindValleys(UINT peak, UINT* lo, UINT* hi) const;

    // --- readers ---
    float GetLevel(int bin) const;
    // GetLevel of bins first .. first + count - 1 into out, in one pass (a bin outside the
    // spectrum reads 0, as there).
    void GetLevels(int first, int count, float* out) const;
    double MaxLevel(int lo, int hi) const;
    float GetPeakHoldValue(UINT bin) const;
    double MaxPeakHold(int lo, int hi) const;
    double PeakHoldFrequency(int lo, int hi) const;
    float GetPhaseDegrees(int bin) const;
    void GetComplexValue(float out[2], int bin) const;
    float GetBinFrequency(UINT bin) const;
    int FrequencyToBin(float f) const;
    UINT NarrowbandBin(float f) const;
    float GetLowFrequency() const;
    float GetHighFrequency() const;
    int GetFirstBin() const;
    int GetLastBin() const;
    int GetBinCount() const;
    int GetFftSize() const { return static_cast<int>(N); }
    float GetSpan() const { return span; }
    float GetBinWidth() const { return binWidth; }
    SHORT GetAmpScaleType() const { return static_cast<SHORT>(AmpScaleType); }
    SHORT GetFreqScaleType() const { return static_cast<SHORT>(FreqScaleType); }
    SHORT GetTotalPowerWeighting() const { return static_cast<SHORT>(TotalPowerWeighting); }
    char* GetUnitsLabel() { return unitsLabel; }
    const char* GetAmplitudeLabel() const;
    float GetOverallLevel() const { return overallLevel; }
    float GetPeakHoldOverallLevel() const { return peakOverallLevel; }
    int FindPeakBin() const;
    float GetPeakFrequency() const;
    float* GetComplexBuffer() { return averaged.get(); }
    float* GetMagnitudeBuffer() { return magnitude.get(); }
    const float* GetMagnitudeBuffer() const { return magnitude.get(); }
    const float* GetMagnitudeDbBuffer() const { return magnitudeDb.get(); }
    void SmoothSpectrum(int width);
    // Sets one bin (clamped into range): mode 0 from an amplitude, mode 1 from a level in dB
    // (clamped to +-999); the power and the dB level always agree. NaN is ignored.
    void SetBinLevel(int bin, float value, WORD mode);

    BYTE error = 0;

private:
    bool IsOctave() const { return FreqScaleType == 2; }
    bool IsCalibrated() const { return calibration.IsEnabled != 0; }
    bool IsPlain() const { return !coherenceKind && !ratioKind && !transferKind; }
    float UnitOffset() const;
    float BinFrequency(UINT k) const { return static_cast<float>(k) * binWidth; }
    float GaussianPeakFrequency(int centreBin) const;
    // The bin of the highest peak hold over lo..hi; hi alone when lo = hi - 1 or lo < 0; -1
    // when the range holds none.
    int PeakHoldBestBin(int lo, int hi) const;
    double PowerOfLevel(double level) const;
    // The width in Hz a density bin's value stands for (1 without density).
    double DensityBinWidth() const;
    // The spectrum as the tone model reads it, and its fit of the tone between two bins.
    ToneModel::Spectrum ModelSpectrum() const;
    ToneModel::Parts FitTone(float f1, float f2) const;
    void UpdateMagnitudeDb();
    // Keeps the block just averaged's value at the strongest tone's bin with its weight in
    // the average (`ring`: the linear average of the last blocks alike).
    void RecordBlockPhase(bool ring);
    // The strongest tone moved to where the blocks' second peak lay: its phases become the
    // first's.
    void SwapPhaseBins();
    // The strongest peak of the magnitudes clear of the phase bin's lobe (0: none).
    UINT SecondPeakBin() const;
    // The peak bin and the overall level of the magnitudes as they now stand.
    void UpdatePeakAndOverallLevel();
    // The transfer or coherence value of bin k as shown: v, or with peak hold the larger of v
    // and the value shown before. `held` is false when the values shown before can't be kept.
    float HoldRatio(UINT k, float v, bool held);
    bool PrepareHeldRatios();
    void AllocateBuffers();
    void ReportWorkingMemory();

    std::unique_ptr<float[]> frame;       // N floats: time block, then the scaled spectrum
    std::unique_ptr<float[]> averaged;    // bins complex values
    std::unique_ptr<float[]> magnitude;   // bins
    std::unique_ptr<float[]> magnitudeDb; // bins, only on a logarithmic scale
    std::unique_ptr<Band[]> bandTable;
    std::unique_ptr<float[]> bandLevels;
    std::unique_ptr<BandBins[]> bandBins;
    std::unique_ptr<float[]> weighting;
    std::unique_ptr<float[]> compensation;
    std::unique_ptr<float[]> inverse;
    std::unique_ptr<float[]> scale;
    mutable std::unique_ptr<float[]> gaussianWork;
    mutable ToneModel toneModel; // the window's tables and the last fit, kept between reads
    std::unique_ptr<PeakEntry[]> peakHold;
    UINT peakHoldCount = 0;
    std::unique_ptr<float[]> totalWeighting[3];
    char unitsLabel[80] = {};
    std::vector<std::unique_ptr<float[]>> ringMagnitude;
    // The transfer or coherence values last shown: Average writes the cross spectrum's
    // magnitudes in between, so peak hold can't compare with those.
    std::vector<float> heldRatios;
    std::vector<std::unique_ptr<float[]>> ringComplex;

    WORD AverageType = 0;
    UINT AverageSpeed = 0;
    WORD AverageMode = 0;
    float AverageBlocks = 1.0f;
    float lastBlockTime = 0.0f;
    int averageCount = 0;
    int ringIndex = 0;
    UINT N = 0;
    float fullScale = 1.0f;
    UINT bins = 0;
    UINT bandCount = 0;
    float span = 0.0f;
    float lowFrequency = 0.0f;
    float highFrequency = 0.0f;
    float binWidth = 0.0f;
    UINT AmpScaleType = 0;
    UINT FreqScaleType = 0;
    UINT OctaveNumber = 1;
    WORD StandardWeighting = 0;
    WORD TotalPowerWeighting = 0;
    WORD windowType = 0;
    float noiseBandwidth = 1.0f; // the window's 1/ENBW, fixed with the window and N
    float densityDivisor = 1.0f;
    BYTE densityFlag = 0;
    BYTE densityAmplitude = 0;
    float calibrationFactor = 1.0f;
    ChannelCalibration calibration;
    UINT peakBin = 0;
    std::vector<ToneModel::BlockPhase> blockPhases; // the latest blocks' at phaseBin, oldest first
    UINT phaseBin = 0;
    WORD peakDecay = 0;
    float overallLevel = kNoLevelDb;
    float peakOverallLevel = kNoLevelDb;
    float peakOverallExpiry = 0.0f;
    BYTE ratioKind = 0;
    BYTE transferKind = 0;
    BYTE crossKind = 0;
    BYTE coherenceKind = 0;
};
