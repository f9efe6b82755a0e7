#include "plots/spectrogram/TLineHistory.h"

#include <algorithm>
#include <new>

void TLineHistory::Resize(int rows)
{
    if (rows < 0)
        rows = 0;
    try {
        m_rows.resize(static_cast<std::size_t>(rows));
    } catch (const std::bad_alloc&) {
        m_rows.clear();
        m_rows.shrink_to_fit();
    }
    RecomputeTimes();
}

void TLineHistory::Clear()
{
    std::fill(m_rows.begin(), m_rows.end(), LineHistoryEntry{});
    m_start = 0.0f;
    m_end = 0.0f;
}

void TLineHistory::Record(float time, int at, bool scroll, float peak, float floor)
{
    const int count = Count();
    if (count == 0)
        return;
    if (scroll)
        for (int i = count - 1; i >= m_thickness; --i)
            m_rows[static_cast<std::size_t>(i)] = m_rows[static_cast<std::size_t>(i - m_thickness)];
    for (int k = 0; k < m_thickness; ++k) {
        const int row = at + k;
        if (row < 0 || row >= count)
            continue;
        m_rows[static_cast<std::size_t>(row)] = LineHistoryEntry{static_cast<DWORD>(k), time, 0.0f, peak, floor};
    }
    RecomputeTimes();
}

void TLineHistory::SetLine(int line, float time)
{
    const int first = line * m_thickness;
    if (line < 0 || first >= Count())
        return;
    for (int k = 0; k < m_thickness && first + k < Count(); ++k) {
        LineHistoryEntry& e = m_rows[static_cast<std::size_t>(first + k)];
        e.tag = static_cast<DWORD>(line);
        e.time = time;
        e.zero = 0.0f;
    }
    RecomputeTimes();
}

void TLineHistory::SetLevels(int line, float peak, float floor)
{
    const int first = line * m_thickness;
    if (line < 0)
        return;
    for (int k = 0; k < m_thickness && first + k < Count(); ++k) {
        m_rows[static_cast<std::size_t>(first + k)].peak = peak;
        m_rows[static_cast<std::size_t>(first + k)].floor = floor;
    }
}

float TLineHistory::RowTime(int k) const
{
    if (m_rows.empty())
        return 0.0f;
    k = std::clamp(k, 0, Count() - 1);
    return m_rows[static_cast<std::size_t>(k)].time;
}

void TLineHistory::LevelExtent(float* maxPeak, float* minFloor) const
{
    float hi = -999.9f;
    float lo = 999.9f;
    for (const LineHistoryEntry& e : m_rows) {
        hi = std::max(hi, e.peak);
        lo = std::min(lo, e.floor);
    }
    *maxPeak = hi;
    *minFloor = lo;
}

// The first row of every line counts: an empty row has time 0, so a history that is not yet
// full starts at 0.
void TLineHistory::RecomputeTimes()
{
    float start = 1e11f;
    float end = 0.0f;
    for (int i = 0; i < Count(); i += m_thickness) {
        const float t = m_rows[static_cast<std::size_t>(i)].time;
        if (t >= 0.0f && t <= start)
            start = t;
        if (t > end)
            end = t;
    }
    m_start = m_rows.empty() ? 0.0f : start;
    m_end = end;
}
