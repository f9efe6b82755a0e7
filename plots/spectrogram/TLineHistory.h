// The line history of a spectrogram or 3-D surface window: one entry per pixel row along the
// time axis, saying which time the row shows and the peak and floor levels of its spectrum.
// A history line is `thickness` consecutive rows. Entry 0 is the newest row, at the edge
// where new lines enter; higher entries are older (in sweep mode the rows follow the sweep
// position instead).
//
// Threads: user-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"

#include <vector>

struct LineHistoryEntry {
    DWORD tag = 0;      // row within its line when recorded per block; the line index when rebuilt
    float time = 0.0f;  // seconds of the spectrum shown on this row
    float zero = 0.0f;  // always 0
    float peak = 0.0f;  // highest local peak over the displayed bins
    float floor = 0.0f; // lowest level over the displayed bins
};
static_assert(sizeof(LineHistoryEntry) == 20, "five 32-bit words");

class TLineHistory {
public:
    explicit TLineHistory(int thickness) : m_thickness(thickness > 0 ? thickness : 1) {}

    // New row count; existing rows are kept, rows beyond the old count start empty. A count
    // that cannot be had leaves the history empty (count 0).
    void Resize(int rows);
    // Every row empty, both times 0.
    void Clear();

    int Count() const { return static_cast<int>(m_rows.size()); }
    int Thickness() const { return m_thickness; }
    bool Empty() const { return m_rows.empty(); }
    // Lines the history can show, plus one (1 for an empty history).
    int LineCapacity() const { return Count() / m_thickness + 1; }

    // A new line at row `at` (the sweep position; 0 in scroll mode). With `scroll` every row
    // first moves one line older.
    void Record(float time, int at, bool scroll, float peak, float floor);
    // The rows of `line` take the line index and the time; a line outside the history is
    // ignored.
    void SetLine(int line, float time);
    // Peak and floor of the rows of `line` that lie inside the history.
    void SetLevels(int line, float peak, float floor);
    // Every row that shows a spectrum moves by `seconds`; a row that lands before 0 (its
    // samples left the file) becomes empty.
    void Shift(float seconds);
    // Whether row k shows a spectrum (recorded or rebuilt).
    bool HasSpectrum(int k) const { return k >= 0 && k < Count() && m_hasLevels[static_cast<std::size_t>(k)] != 0; }
    // Lines whose first row lies inside the history (0 for none).
    int VisibleLines() const { return (Count() + m_thickness - 1) / m_thickness; }

    // The time of row k, k clamped to the history; 0 without one.
    float RowTime(int k) const;
    const LineHistoryEntry& Row(int k) const { return m_rows[static_cast<std::size_t>(k)]; }
    float StartTime() const { return m_start; }
    float EndTime() const { return m_end; }
    // Largest peak (from -999.9) and smallest floor (from 999.9) over the rows that hold a
    // spectrum's levels (an empty row's zeros are no level).
    void LevelExtent(float* maxPeak, float* minFloor) const;

private:
    void RecomputeTimes();

    int m_thickness;
    std::vector<LineHistoryEntry> m_rows;
    std::vector<char> m_hasLevels; // per row: levels were written
    float m_start = 0.0f;
    float m_end = 0.0f;
};
