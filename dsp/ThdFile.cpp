// The *.thd result file (little-endian, no padding: magic 5000, point count, start and stop
// frequency, plot top and bottom, then channel A's points and, in a two-channel file, channel
// B's) and the text copy of the points.
#include "dsp/ThdFreqAnalysis.h"

#include "platform/core/MessageBox.h"
#include "records/LittleEndian.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr long kHeaderBytes = 24;
constexpr long kPointBytes = 8;

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string WithName(const char* pattern, const std::string& value)
{
    std::string text(pattern);
    const auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, value);
    return text;
}

std::vector<std::uint8_t> EncodePoints(const std::vector<ThdPoint>& points)
{
    std::vector<std::uint8_t> bytes(points.size() * kPointBytes);
    for (std::size_t i = 0; i < points.size(); ++i) {
        PutFloat(&bytes[i * kPointBytes], points[i].Frequency);
        PutFloat(&bytes[i * kPointBytes + 4], points[i].ThdN);
    }
    return bytes;
}

void DecodePoints(const std::uint8_t* bytes, std::vector<ThdPoint>& points)
{
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = {GetFloat(bytes + i * kPointBytes), GetFloat(bytes + i * kPointBytes + 4)};
}

// What a test can produce: frequencies up to 1 MHz, THD+N a finite percentage. Anything else
// is damage, and drawing it would walk its axis for ever.
constexpr float kMaxFrequency = 1e6f;

bool PlausiblePoints(const std::vector<ThdPoint>& points)
{
    return std::all_of(points.begin(), points.end(), [](const ThdPoint& p) {
        return p.Frequency >= 0.0f && p.Frequency <= kMaxFrequency && p.ThdN >= 0.0f && std::isfinite(p.ThdN);
    });
}

// The header's range: a start or stop at or below 0 is ignored as ever, but none may lie
// beyond 1 MHz or be no number; the plot range must be numbers.
bool PlausibleRanges(float start, float stop, float top, float bottom)
{
    return start <= kMaxFrequency && stop <= kMaxFrequency && std::isfinite(start) && std::isfinite(stop) &&
           std::isfinite(top) && std::isfinite(bottom);
}

} // namespace

std::string ThdFreqAnalysis::ThdFilePath(const std::string& name, const std::string& folder)
{
    // Absolute names, and names too short to be a file of ours, are used as they stand.
    if (name.size() <= 3 || name[0] == '/')
        return name;
    return folder + "/" + name;
}

bool ThdFreqAnalysis::SaveFile(const std::string& path)
{
    if (pointsA.empty() || path.empty())
        return false;
    FilePtr f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        AfxMessageBox("Failure creating thd file", MB_OK);
        return false;
    }
    std::uint8_t header[kHeaderBytes];
    PutU32(header, static_cast<std::uint32_t>(kFileMagic));
    PutU32(header + 4, static_cast<std::uint32_t>(pointsA.size()));
    PutFloat(header + 8, settings_->StartFrequency);
    PutFloat(header + 12, settings_->StopFrequency);
    PutFloat(header + 16, settings_->PlotTop);
    PutFloat(header + 20, settings_->PlotBottom);
    const auto a = EncodePoints(pointsA);
    // Channel B is written only when it matches channel A point for point: its presence is
    // judged from the file size alone.
    const auto b = pointsB.size() == pointsA.size() ? EncodePoints(pointsB) : std::vector<std::uint8_t>{};
    bool ok = std::fwrite(header, 1, sizeof header, f.get()) == sizeof header;
    ok = ok && std::fwrite(a.data(), 1, a.size(), f.get()) == a.size();
    ok = ok && (b.empty() || std::fwrite(b.data(), 1, b.size(), f.get()) == b.size());
    ok = std::fclose(f.release()) == 0 && ok;
    if (!ok) {
        // Any short write leaves a file that reads back wrong: report it and keep the results
        // marked as unsaved.
        AfxMessageBox("Error writing thd file.", MB_OK);
        return false;
    }
    modified = 0;
    fileName = path;
    return true;
}

bool ThdFreqAnalysis::LoadFile(const std::string& path)
{
    FreePoints();
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        AfxMessageBox(WithName("Failure opening thd file: %s", path), MB_OK);
        return false;
    }
    long size = -1;
    if (std::fseek(f.get(), 0, SEEK_END) == 0)
        size = std::ftell(f.get());
    std::rewind(f.get());
    std::uint8_t header[kHeaderBytes] = {};
    const std::size_t got = std::fread(header, 1, sizeof header, f.get());
    if (got < 4 || static_cast<std::int32_t>(GetU32(header)) != kFileMagic) {
        AfxMessageBox(WithName("Invalid thd file: %s", path), MB_OK);
        return false;
    }
    const std::int32_t count = got >= 8 ? static_cast<std::int32_t>(GetU32(header + 4)) : 0;
    if (count < 1) {
        AfxMessageBox(WithName("File contains no thd data: %s", path), MB_OK);
        return false;
    }
    // The count must fit the file: a corrupt count would otherwise ask for gigabytes or load
    // zero points as if they were measured.
    const long long needA = kHeaderBytes + static_cast<long long>(count) * kPointBytes;
    if (got < sizeof header || size < needA) {
        AfxMessageBox(WithName("Error reading thd file: %s", path), MB_OK);
        return false;
    }
    const bool twoChannels = size >= needA + static_cast<long long>(count) * kPointBytes;
    // Bytes after channel A that are not a whole channel B are a two-channel file cut short:
    // loading it as one channel would drop channel B without a word.
    if (!twoChannels && size > needA) {
        AfxMessageBox(WithName("Error reading thd file: %s", path), MB_OK);
        return false;
    }
    std::vector<std::uint8_t> bytes;
    std::vector<ThdPoint> a, b;
    try {
        bytes.resize(static_cast<std::size_t>(count) * kPointBytes * (twoChannels ? 2 : 1));
        a.resize(static_cast<std::size_t>(count));
        if (twoChannels)
            b.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        AfxMessageBox("Out of Memory", MB_OK);
        return false;
    }
    if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) {
        AfxMessageBox(WithName("Error reading thd file: %s", path), MB_OK);
        return false;
    }
    DecodePoints(bytes.data(), a);
    if (twoChannels)
        DecodePoints(bytes.data() + a.size() * kPointBytes, b);

    ThdFreqSettings& s = *settings_;
    const float start = GetFloat(header + 8), stop = GetFloat(header + 12);
    const float top = GetFloat(header + 16), bottom = GetFloat(header + 20);
    if (!PlausibleRanges(start, stop, top, bottom) || !PlausiblePoints(a) || !PlausiblePoints(b)) {
        AfxMessageBox(WithName("Invalid thd file: %s", path), MB_OK);
        return false;
    }
    if (start > 0.0f)
        s.StartFrequency = start;
    if (stop > 0.0f && start < stop)
        s.StopFrequency = stop;
    if (top > 0.0f)
        s.PlotTop = top;
    if (bottom > 0.0f && top > bottom)
        s.PlotBottom = bottom;
    pointsA = std::move(a);
    pointsB = std::move(b);
    s.ChannelCount = pointsB.empty() ? 1 : 2;
    fileName = path;
    return true;
}

std::string ThdFreqAnalysis::PointsText() const
{
    std::string out;
    char line[256];
    const bool two = pointsB.size() == pointsA.size() && !pointsB.empty();
    for (std::size_t i = 0; i < pointsA.size(); ++i) {
        if (two)
            std::snprintf(line, sizeof line, "%f\t%f\t%f\r\n", pointsA[i].Frequency, pointsA[i].ThdN, pointsB[i].ThdN);
        else
            std::snprintf(line, sizeof line, "%f\t%f\r\n", pointsA[i].Frequency, pointsA[i].ThdN);
        out += line;
    }
    return out;
}
