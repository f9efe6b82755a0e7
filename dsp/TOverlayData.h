// A reference curve of (frequency, value) pairs drawn over a spectrum: a stored spectrum, a
// microphone or filter response, a limit line, or the average or difference of other curves.
// It reads and writes overlay files (text: a ";name" line, an optional ";SPLINE OFF" line,
// then "frequency<TAB>value" rows in ascending frequency) and answers the curve's value at a
// frequency and its largest value over a band. Built once, read-only afterwards: owners
// rebuild it when its file, offset or source changes. User-interface thread only.
#pragma once

#include "numerics/CubicSpline.h"
#include "platform/core/WinTypes.h"

#include <cstddef>
#include <vector>

class SpectralData;
struct SpectrumPlotSettings;

// The composite block of a spectrum plot's settings for one trace.
struct OverlayCompositeSettings {
    enum : WORD { kAverage = 0, kSubtract = 1 };
    WORD CompositeType = kAverage;
    BYTE IncludeInAverage[7] = {};  // the first six are used
    WORD DifferenceIndex1 = 0;      // overlay index 0..5; the result is 1 minus 2
    WORD DifferenceIndex2 = 0;

    // trace 1 (A) or 2 (B) of a spectrum plot's settings.
    static OverlayCompositeSettings FromPlot(const SpectrumPlotSettings& s, int trace);
    void ApplyTo(SpectrumPlotSettings& s, int trace) const;
};

class TOverlayData {
public:
    static constexpr UINT kMaxEntries = 0x80000;  // 524,288 (frequency, value) pairs
    static constexpr UINT kMinEntries = 3;
    static constexpr float kMaxFrequency = 1e6f;  // Hz; no measurement reaches beyond
    static constexpr size_t kNameSize = 24;       // 23 characters and the NUL
    static constexpr int kCompositeSources = 6;

    // An empty curve that is not in error.
    TOverlayData();
    // The file form. An empty or null path gives an empty curve that is not in error;
    // freqScaleType 2 (1/N-octave) stores each row as a flat band of three entries.
    TOverlayData(const char* path, WORD freqScaleType, float offset, BYTE nameOnly = 0,
                 BYTE defaultSplineOff = 0);
    // The trace form: a copy of the source's displayed range (levels or peak hold).
    TOverlayData(const SpectralData* source, float offset, BYTE peakHold);
    TOverlayData(const TOverlayData&) = delete;
    TOverlayData& operator=(const TOverlayData&) = delete;
    ~TOverlayData();

    // Replaces this curve by the average or difference of the given overlays (null or in
    // error counts as missing), sampled at the source's displayed frequencies.
    void BuildFromSpectrum(const SpectralData* source, const TOverlayData* const overlays[kCompositeSources],
                           OverlayCompositeSettings settings);

    // Value at f plus the offset; held constant outside the table. 0 when in error.
    float ValueAt(float f) const;
    // Largest value strictly inside (low, high) plus the offset, or ValueAt(high) when no
    // entry lies inside. Fastest when called for ascending bands, as a plot sweeps its columns.
    float ValueOverBand(float low, float high) const;

    // Writes the curve under the given name (cut to 23 characters), which it also takes.
    bool WriteFile(const char* path, const char* name);

    // Gives a slot file a new legend name and keeps every other line as it is; a missing file
    // becomes one that holds only the name line. The old file stays whole if writing fails.
    static bool WriteName(const char* path, const char* name);

    BYTE ErrorFlag() const { return m_error; }
    // True when the error was already told to the user (the ordering or memory message).
    bool ErrorReported() const { return m_errorReported; }
    const char* GetName() const { return m_name; }
    float GetOffset() const { return m_offset; }
    BYTE GetSplineOff() const { return m_splineOff; }
    UINT GetEntryCount() const { return m_count; }
    // Entry i as (frequency, value) without the offset; i below GetEntryCount().
    float EntryFrequency(UINT i) const { return m_entries[2 * i]; }
    float EntryValue(UINT i) const { return m_entries[2 * i + 1]; }

    // The file reader: fills table (2 floats an entry, room for kMaxEntries) and count;
    // takes the name and the ";SPLINE OFF" switch. False leaves the curve in error.
    bool ReadTable(const char* path, float* table, UINT* count, char* name);
    // Reads only the name lines of a file.
    void ReadName(const char* path, char* name);

private:
    void Clear();
    void FailComposite();
    bool AllocateTable(size_t entries, const char* failureText);
    void AppendEntry(float f, float v);
    void BuildSpline(BYTE mode);
    bool Usable() const { return !m_error && m_count > 0 && m_hasSpline; }

    BYTE m_error = 0;
    BYTE m_bandMode = 0;
    UINT m_count = 0;
    std::vector<float> m_entries;  // (frequency, value) pairs
    bool m_hasTable = false;       // a curve read with the name-only flag has none
    CubicSpline m_spline;
    bool m_hasSpline = false;
    char m_name[kNameSize] = {};
    float m_offset = 0.0f;
    BYTE m_splineOff = 0;
    bool m_errorReported = false;
    // Where the next band search starts; each curve keeps its own, so plots sweeping
    // different curves in turn do not restart each other's searches.
    mutable int m_bandSearchStart = 0;
};
