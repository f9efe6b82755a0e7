#include "dsp/TOverlayData.h"

#include "dsp/SpectralData.h"
#include "platform/core/MessageBox.h"
#include "records/SpectrumPlotSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

constexpr float kBandBelow = 0.99999f;
constexpr float kBandAbove = 1.00001f;

// One line without its LF; false at the end of the file. A CR before the LF is kept, as the
// name and row rules below stop at it anyway.
bool ReadLine(std::FILE* f, std::string& line)
{
    line.clear();
    int c;
    while ((c = std::fgetc(f)) != EOF) {
        if (c == '\n')
            return true;
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// One number as "%f" reads it: leading white space skipped, an optional sign. Not-a-number
// and infinite values are no data: they would defeat the ordering check and the spline.
bool ParseNumber(const char*& p, const char* end, float& out)
{
    while (p < end && IsSpace(*p))
        ++p;
    if (p < end && *p == '+')
        ++p;
    const auto [next, ec] = std::from_chars(p, end, out, std::chars_format::general);
    if (ec != std::errc() || !std::isfinite(out))
        return false;
    p = next;
    return true;
}

// A data row: two numbers separated by any white space; anything after them is ignored.
bool ParseRow(const std::string& line, float& freq, float& value)
{
    const char* p = line.data();
    const char* end = p + line.size();
    return ParseNumber(p, end, freq) && ParseNumber(p, end, value);
}

// The legend name of a ";" line: at most 23 characters, cut at CR, LF or TAB.
void TakeName(const std::string& line, char* name)
{
    size_t n = 0;
    for (size_t i = 1; i < line.size() && n < TOverlayData::kNameSize - 1; ++i) {
        const char c = line[i];
        if (c == '\r' || c == '\n' || c == '\t')
            break;
        name[n++] = c;
    }
    name[n] = '\0';
}

bool IsSplineOffLine(const std::string& line)
{
    return line.compare(0, 11, ";SPLINE OFF") == 0;
}

} // namespace

OverlayCompositeSettings OverlayCompositeSettings::FromPlot(const SpectrumPlotSettings& s, int trace)
{
    OverlayCompositeSettings c;
    const bool second = trace == 2;
    c.CompositeType = second ? s.CompositeType2 : s.CompositeType1;
    std::memcpy(c.IncludeInAverage, second ? s.IncludeInAverage2 : s.IncludeInAverage1, sizeof c.IncludeInAverage);
    c.DifferenceIndex1 = second ? s.DifferenceIndex2_1 : s.DifferenceIndex1_1;
    c.DifferenceIndex2 = second ? s.DifferenceIndex2_2 : s.DifferenceIndex1_2;
    return c;
}

void OverlayCompositeSettings::ApplyTo(SpectrumPlotSettings& s, int trace) const
{
    const bool second = trace == 2;
    (second ? s.CompositeType2 : s.CompositeType1) = CompositeType;
    std::memcpy(second ? s.IncludeInAverage2 : s.IncludeInAverage1, IncludeInAverage, sizeof IncludeInAverage);
    (second ? s.DifferenceIndex2_1 : s.DifferenceIndex1_1) = DifferenceIndex1;
    (second ? s.DifferenceIndex2_2 : s.DifferenceIndex1_2) = DifferenceIndex2;
}

TOverlayData::TOverlayData() = default;

TOverlayData::TOverlayData(const char* path, WORD freqScaleType, float offset, BYTE nameOnly, BYTE defaultSplineOff)
{
    m_offset = offset;
    m_bandMode = freqScaleType == 2;
    m_splineOff = defaultSplineOff ? 1 : 0;
    if (!path || path[0] == '\0')
        return;
    if (nameOnly) {
        ReadName(path, m_name);
        return;
    }
    if (!AllocateTable(kMaxEntries, "TOverlayData - Insufficient memory to create table"))
        return;
    UINT count = 0;
    if (!ReadTable(path, m_entries.data(), &count, m_name)) {
        // The table stays, empty, so that WriteFile can still write the name line.
        m_count = 0;
        m_entries.clear();
        m_entries.shrink_to_fit();
        return;
    }
    m_count = count;
    m_entries.resize(2 * static_cast<size_t>(m_count));
    m_entries.shrink_to_fit();
    BuildSpline(m_splineOff ? CubicSpline::kLinear : CubicSpline::kCubic);
}

TOverlayData::TOverlayData(const SpectralData* source, float offset, BYTE peakHold)
{
    m_offset = offset;
    if (!source)
        return;
    m_bandMode = source->GetFreqScaleType() == 2;
    const int first = source->GetFirstBin();
    const int last = source->GetLastBin();
    if (first < 0 || last < first)
        return;
    const size_t perBin = m_bandMode ? 3 : 1;
    const size_t bins = std::min<size_t>(static_cast<size_t>(last - first) + 1, kMaxEntries / perBin);
    if (!AllocateTable(bins * perBin, "TOverlayData - insufficient memory to allocate internal table"))
        return;
    for (size_t k = 0; k < bins; ++k) {
        const int bin = first + static_cast<int>(k);
        const float f = source->GetBinFrequency(static_cast<UINT>(bin));
        const float v = peakHold ? source->GetPeakHoldValue(static_cast<UINT>(bin)) : source->GetLevel(bin);
        AppendEntry(f, v);
    }
    m_entries.resize(2 * static_cast<size_t>(m_count));
    BuildSpline(CubicSpline::kCubic);
}

TOverlayData::~TOverlayData()
{
    m_spline.Free();
}

void TOverlayData::Clear()
{
    m_spline.Free();
    m_hasSpline = false;
    m_error = 0;
    m_bandMode = 0;
    m_count = 0;
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_hasTable = false;
    std::memset(m_name, 0, sizeof m_name);
    m_offset = 0.0f;
    m_splineOff = 0;
    m_bandSearchStart = 0;
    m_errorReported = false;
}

void TOverlayData::FailComposite()
{
    // The provisional levels are the live spectrum, not a composite: written out they would
    // pass for one, so the slot file gets only its name.
    m_error = 1;
    m_count = 0;
    m_entries.clear();
}

bool TOverlayData::AllocateTable(size_t entries, const char* failureText)
{
    try {
        // Filled in place and shrunk once to the real size, so rows need no reallocation.
        m_entries.assign(2 * entries, 0.0f);
    } catch (const std::bad_alloc&) {
        m_entries = {};
        m_error = 1;
        m_errorReported = true;
        AfxMessageBox(failureText, MB_OK | MB_ICONSTOP);
        return false;
    }
    m_hasTable = true;
    return true;
}

void TOverlayData::AppendEntry(float f, float v)
{
    float* e = m_entries.data() + 2 * static_cast<size_t>(m_count);
    if (m_bandMode) {
        const float band[6] = {f * kBandBelow, v, f, v, f * kBandAbove, v};
        std::memcpy(e, band, sizeof band);
        m_count += 3;
    } else {
        e[0] = f;
        e[1] = v;
        m_count += 1;
    }
}

void TOverlayData::BuildSpline(BYTE mode)
{
    m_hasSpline = false;
    if (m_count == 0)
        return;
    m_spline.Init(m_entries.data(), m_count, mode);
    m_hasSpline = true;
}

bool TOverlayData::ReadTable(const char* path, float* table, UINT* count, char* name)
{
    *count = 0;
    FilePtr f(path ? std::fopen(path, "r") : nullptr);
    if (!f) {
        m_error = 1;
        return false;
    }
    // Rows are parsed into the caller's table, which has room for kMaxEntries.
    UINT n = 0;
    const UINT perRow = m_bandMode ? 3 : 1;
    try {
        std::string line;
        while (ReadLine(f.get(), line)) {
            if (IsSplineOffLine(line)) {
                m_splineOff = 1;
                continue;
            }
            if (!line.empty() && line[0] == ';') {
                TakeName(line, name);
                continue;
            }
            float freq = 0.0f, value = 0.0f;
            if (!ParseRow(line, freq, value))
                break;
            if (n + perRow > kMaxEntries)
                break;
            if (m_bandMode) {
                const float row[6] = {freq * kBandBelow, value, freq, value, freq * kBandAbove, value};
                std::memcpy(table + 2 * n, row, sizeof row);
            } else {
                table[2 * n] = freq;
                table[2 * n + 1] = value;
            }
            n += perRow;
        }
    } catch (const std::bad_alloc&) {
        m_error = 1;
        return false;
    }
    f.reset();

    if (n < kMinEntries) {
        m_error = 1;  // a slot file with only its name line is normal: no message
        return false;
    }
    // No measurement reaches beyond 1 MHz; a table that does would only overflow the spline.
    const float highest = m_bandMode ? kMaxFrequency * kBandAbove : kMaxFrequency;
    float previous = 0.0f;
    for (UINT i = 0; i < n; ++i) {
        const float fi = table[2 * i];
        if (fi < 0.0f || fi < previous || fi > highest) {
            // A long table (a stored spectrum) keeps what came before the fault; a short
            // hand-written one is more likely mistyped and is refused. A cut that leaves
            // too few entries to draw is refused too.
            if (n < 100 || i < kMinEntries) {
                // Several overlays load at once: the message names its file.
                AfxMessageBox(std::string(fi > highest ? "Overlay data error - frequencies must not exceed 1 MHz!"
                                                       : "Overlay data error - values must be in ascending order by "
                                                         "frequency!") +
                                  "\r\rFile: " + path,
                              MB_OK | MB_ICONSTOP);
                m_error = 1;
                m_errorReported = true;
                return false;
            }
            n = i;
            break;
        }
        previous = fi;
    }
    *count = n;
    return true;
}

void TOverlayData::ReadName(const char* path, char* name)
{
    FilePtr f(path ? std::fopen(path, "r") : nullptr);
    if (!f) {
        m_error = 1;
        return;
    }
    try {
        std::string line;
        while (ReadLine(f.get(), line)) {
            if (line.empty() || line[0] != ';')
                break;
            if (line.compare(0, 7, ";SPLINE") == 0)
                continue;
            TakeName(line, name);
        }
    } catch (const std::bad_alloc&) {
        m_error = 1;
    }
}

float TOverlayData::ValueAt(float f) const
{
    if (!Usable())
        return 0.0f;
    if (f <= m_entries[0])
        return m_entries[1] + m_offset;
    const size_t last = 2 * static_cast<size_t>(m_count - 1);
    if (f >= m_entries[last])
        return m_entries[last + 1] + m_offset;
    return m_spline.Evaluate(f) + m_offset;
}

float TOverlayData::ValueOverBand(float low, float high) const
{
    if (!Usable())
        return 0.0f;
    const float firstF = m_entries[0], firstV = m_entries[1];
    const size_t last = 2 * static_cast<size_t>(m_count - 1);
    const float lastF = m_entries[last], lastV = m_entries[last + 1];
    if (low <= firstF)
        return firstV + m_offset;
    if (low >= lastF)
        return lastV + m_offset;
    if (high <= firstF)
        return firstV + m_offset;
    if (high >= lastF)
        return lastV + m_offset;

    const int count = static_cast<int>(m_count);
    int i = m_bandSearchStart;
    if (i < 0 || i >= count)
        i = 0;
    float maximum = -999.0f;
    bool found = false;
    // At most one lap: a band that lies wholly between two entries finds nothing.
    for (int steps = 0; steps < count; ++steps) {
        const float fi = m_entries[2 * static_cast<size_t>(i)];
        if (fi > high) {
            if (!found)
                m_bandSearchStart = 0;
            break;
        }
        if (low < fi && fi < high) {
            if (!found) {
                m_bandSearchStart = i - 1;
                found = true;
            }
            maximum = std::max(maximum, m_entries[2 * static_cast<size_t>(i) + 1]);
        }
        if (++i >= count)
            i = 0;
    }
    return found ? maximum + m_offset : ValueAt(high);
}

bool TOverlayData::WriteFile(const char* path, const char* name)
{
    if (!m_hasTable || !path)
        return false;
    FilePtr f(std::fopen(path, "w"));
    if (!f)
        return false;
    // The name may be this curve's own (saving under the current name).
    char newName[kNameSize] = {};
    if (name)
        std::strncpy(newName, name, kNameSize - 1);
    std::memcpy(m_name, newName, sizeof m_name);
    bool ok = std::fprintf(f.get(), ";%s\n", m_name) >= 0;
    if (m_splineOff)
        ok = ok && std::fputs(";SPLINE OFF\n", f.get()) >= 0;
    if (m_bandMode) {
        // One row per band centre, with the offset: the file then stands on its own.
        for (UINT i = 1; i < m_count && ok; i += 3) {
            const float centre = m_entries[2 * static_cast<size_t>(i)];
            ok = std::fprintf(f.get(), "%f\t%f\n", static_cast<double>(centre), static_cast<double>(ValueAt(centre))) >= 0;
        }
    } else {
        for (UINT i = 0; i < m_count && ok; ++i)
            ok = std::fprintf(f.get(), "%f\t%f\n", static_cast<double>(m_entries[2 * static_cast<size_t>(i)]),
                              static_cast<double>(m_entries[2 * static_cast<size_t>(i) + 1])) >= 0;
    }
    // A full disk shows up at the close; a file cut short must not count as saved.
    return std::fclose(f.release()) == 0 && ok;
}

bool TOverlayData::WriteName(const char* path, const char* name)
{
    if (!path || path[0] == '\0')
        return false;
    char newName[kNameSize] = {};
    if (name)
        std::strncpy(newName, name, kNameSize - 1);
    std::string text = std::string(";") + newName + "\n";
    try {
        if (FilePtr in{std::fopen(path, "r")}) {
            std::string line;
            while (ReadLine(in.get(), line)) {
                // Name lines go (the new one leads); the spline switch, rows and anything
                // else stay byte for byte.
                if (!line.empty() && line[0] == ';' && !IsSplineOffLine(line))
                    continue;
                text += line;
                text += '\n';
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::string temp = std::string(path) + ".new";
    FilePtr out(std::fopen(temp.c_str(), "w"));
    if (!out)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out.get()) == text.size();
    if (std::fclose(out.release()) != 0 || !written || std::rename(temp.c_str(), path) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

void TOverlayData::BuildFromSpectrum(const SpectralData* source, const TOverlayData* const overlays[kCompositeSources],
                                     OverlayCompositeSettings settings)
{
    Clear();
    if (!source)
        return;
    m_bandMode = source->GetFreqScaleType() == 2;
    const int first = source->GetFirstBin();
    const int last = source->GetLastBin();
    if (first < 0 || last < first) {
        m_error = 1;
        return;
    }
    const size_t perBin = m_bandMode ? 3 : 1;
    const size_t bins = std::min<size_t>(static_cast<size_t>(last - first) + 1, kMaxEntries / perBin);
    if (!AllocateTable(bins * perBin, "TOverlayData - Insufficient memory to allocate internal table"))
        return;
    for (size_t k = 0; k < bins; ++k) {
        const int bin = first + static_cast<int>(k);
        AppendEntry(source->GetBinFrequency(static_cast<UINT>(bin)), source->GetLevel(bin));
    }
    m_entries.resize(2 * static_cast<size_t>(m_count));

    auto exists = [&](int k) { return overlays && overlays[k] && !overlays[k]->ErrorFlag(); };
    if (settings.CompositeType == OverlayCompositeSettings::kAverage) {
        int included = 0, present = 0;
        for (int k = 0; k < kCompositeSources; ++k) {
            if (settings.IncludeInAverage[k] == 1) {
                ++included;
                present += exists(k) ? 1 : 0;
            }
        }
        // Missing curves are left out of the mean rather than counted as silence.
        if (included < 2 || present == 0) {
            FailComposite();
            return;
        }
        for (UINT i = 0; i < m_count; ++i) {
            const float f = m_entries[2 * static_cast<size_t>(i)];
            double sum = 0.0;
            for (int k = 0; k < kCompositeSources; ++k)
                if (settings.IncludeInAverage[k] == 1 && exists(k))
                    sum += std::pow(10.0, overlays[k]->ValueAt(f) / 20.0);
            const double mean = sum / present;
            m_entries[2 * static_cast<size_t>(i) + 1] = mean > 0.0 ? static_cast<float>(20.0 * std::log10(mean)) : 0.0f;
        }
    } else if (settings.CompositeType == OverlayCompositeSettings::kSubtract) {
        const int a = settings.DifferenceIndex1, b = settings.DifferenceIndex2;
        if (a >= kCompositeSources || b >= kCompositeSources || a == b || !exists(a) || !exists(b)) {
            FailComposite();
            return;
        }
        for (UINT i = 0; i < m_count; ++i) {
            const float f = m_entries[2 * static_cast<size_t>(i)];
            const float d = overlays[a]->ValueAt(f) - overlays[b]->ValueAt(f);
            m_entries[2 * static_cast<size_t>(i) + 1] = std::clamp(d, -200.0f, 200.0f);
        }
    }
    BuildSpline(CubicSpline::kCubic);
}
