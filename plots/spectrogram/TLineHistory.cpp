#include "plots/spectrogram/TLineHistory.h"

#include <algorithm>
#include <new>

void TLineHistory::Resize(int rows)
{
    if (rows < 0)
        rows = 0;
    try {
        m_rows.resize(static_cast<std::size_t>(rows));
        m_hasLevels.resize(static_cast<std::size_t>(rows), 0);
    } catch (const std::bad_alloc&) {
        m_rows.clear();
        m_rows.shrink_to_fit();
        m_hasLevels.clear();
    }
    RecomputeTimes();
}

void TLineHistory::Clear()
{
    std::fill(m_rows.begin(), m_rows.end(), LineHistoryEntry{});
    std::fill(m_hasLevels.begin(), m_hasLevels.end(), 0);
    m_start = 0.0f;
    m_end = 0.0f;
}

void TLineHistory::Record(float time, int at, bool scroll, float peak, float floor)
{
    const int count = Count();
    if (count == 0)
        return;
    if (scroll)
        for (int i = count - 1; i >= m_thickness; --i) {
            m_rows[static_cast<std::size_t>(i)] = m_rows[static_cast<std::size_t>(i - m_thickness)];
            m_hasLevels[static_cast<std::size_t>(i)] = m_hasLevels[static_cast<std::size_t>(i - m_thickness)];
        }
    for (int k = 0; k < m_thickness; ++k) {
        const int row = at + k;
        if (row < 0 || row >= count)
            continue;
        m_rows[static_cast<std::size_t>(row)] = LineHistoryEntry{static_cast<DWORD>(k), time, 0.0f, peak, floor};
        m_hasLevels[static_cast<std::size_t>(row)] = 1;
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
        m_hasLevels[static_cast<std::size_t>(first + k)] = 1;
    }
}

void TLineHistory::Shift(float seconds)
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (!m_hasLevels[i])
            continue;
        m_rows[i].time += seconds;
        if (m_rows[i].time < 0.0f) {
            m_rows[i] = LineHistoryEntry{};
            m_hasLevels[i] = 0;
        }
    }
    RecomputeTimes();
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
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (!m_hasLevels[i])
            continue;
        hi = std::max(hi, m_rows[i].peak);
        lo = std::min(lo, m_rows[i].floor);
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
