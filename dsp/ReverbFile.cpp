// The *.rvb result file (little-endian, no padding: magic, band count, record count, the
// records of 94 floats each, then the start offset in ms) and the text copies of the views.
#include "dsp/ReverbAnalysis.h"

#include "platform/core/MessageBox.h"
#include "records/LittleEndian.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kRecordBytes = 94 * 4;

void EncodeRecord(const ReverbRecord& r, std::uint8_t* p)
{
    for (int b = 0; b < ReverbRecord::kBands; ++b) {
        PutFloat(p + 4 * b, r.Frequency[b]);
        PutFloat(p + 4 * (31 + b), r.Level[b]);
        PutFloat(p + 4 * (62 + b), r.Smoothed[b]);
    }
    PutFloat(p + 4 * 93, r.Time);
}

void DecodeRecord(const std::uint8_t* p, ReverbRecord& r)
{
    for (int b = 0; b < ReverbRecord::kBands; ++b) {
        r.Frequency[b] = GetFloat(p + 4 * b);
        r.Level[b] = GetFloat(p + 4 * (31 + b));
        r.Smoothed[b] = GetFloat(p + 4 * (62 + b));
    }
    r.Time = GetFloat(p + 4 * 93);
}

// What an analysis can produce. Band centres up to 1 MHz (the wideband entry at -999); levels
// of float magnitudes lie within +-900 dB and their differences within +-1800 dB; record times
// from 0 up to a day. Anything else is damage that the views would turn into pixel and list
// counts beyond any int.
constexpr float kMaxFrequency = 1e6f;
constexpr float kMaxLevel = 2000.0f;
constexpr float kMaxTime = 86400.0f;

bool PlausibleRecord(const ReverbRecord& r, int bands)
{
    auto level = [](float v) { return v >= -kMaxLevel && v <= kMaxLevel; };
    for (int b = 0; b < bands; ++b) {
        const float f = r.Frequency[b];
        if (!(f == ReverbRecord::kWideband || (f >= 0.0f && f <= kMaxFrequency)) || !level(r.Level[b]) ||
            !level(r.Smoothed[b]))
            return false;
    }
    return r.Time >= 0.0f && r.Time <= kMaxTime;
}

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string Format(const char* pattern, const std::string& value)
{
    std::string text(pattern);
    const auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, value);
    return text;
}

void AppendF(std::string& out, const char* pattern, double a)
{
    char line[64];
    std::snprintf(line, sizeof line, pattern, a);
    out += line;
}

} // namespace

std::string ReverbAnalysis::ReverbFilePath(const std::string& name, const std::string& folder)
{
    if (name.size() > 3 && name[0] != '/' && name[1] != ':' && !folder.empty()) {
        std::string path = folder;
        if (path.back() != '/')
            path += '/';
        return path + name;
    }
    return name;
}

bool ReverbAnalysis::SaveFile(const std::string& path)
{
    if (records.empty() || path.empty())
        return false;
    FilePtr f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        AfxMessageBox("Failure creating reverb file", MB_OK);
        return false;
    }
    const int count = std::max(recordCount, 0);
    bool ok = true;
    std::uint8_t head[12];
    PutU32(head, kFileMagic);
    PutU32(head + 4, static_cast<std::uint32_t>(bandCount));
    PutU32(head + 8, static_cast<std::uint32_t>(count));
    ok = std::fwrite(head, 1, sizeof head, f.get()) == sizeof head;
    std::uint8_t rec[kRecordBytes];
    for (int r = 0; ok && r < count; ++r) {
        // Band slots past the band count go out as empty values.
        ReverbRecord out = records[static_cast<std::size_t>(r)];
        for (int b = std::max(bandCount, 0); b < ReverbRecord::kBands; ++b) {
            out.Frequency[b] = 0.0f;
            out.Level[b] = ReverbRecord::kNoLevel;
            out.Smoothed[b] = ReverbRecord::kNoLevel;
        }
        EncodeRecord(out, rec);
        ok = std::fwrite(rec, 1, sizeof rec, f.get()) == sizeof rec;
    }
    std::uint8_t tail[4];
    PutU32(tail, static_cast<std::uint32_t>(Settings().StartOffset));
    ok = ok && std::fwrite(tail, 1, sizeof tail, f.get()) == sizeof tail;
    ok = (std::fclose(f.release()) == 0) && ok;
    if (!ok) {
        AfxMessageBox("Error writing reverb file.", MB_OK);
        return false;
    }
    modified = 0;
    segment = 0;
    cutoffHint = 0;
    fileName = path;
    return true;
}

bool ReverbAnalysis::LoadFile(const std::string& path)
{
    segment = 0;
    cutoffHint = 0;
    FreeRecords();
    Settings().SelectedBand = 0;
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        AfxMessageBox(Format("Failure opening reverb file: %s", path), MB_OK);
        return false;
    }
    std::uint8_t head[12];
    const std::size_t got = std::fread(head, 1, sizeof head, f.get());
    const std::uint32_t magic = got >= 4 ? GetU32(head) : 0;
    if (magic != kFileMagic && magic != kOldFileMagic) {
        AfxMessageBox(Format("Invalid reverb file: %s", path), MB_OK);
        return false;
    }
    const auto bands = static_cast<std::int32_t>(GetU32(head + 4));
    const auto count = static_cast<std::int32_t>(GetU32(head + 8));
    // Counts that the band results or the file itself can't hold would read past the array.
    long size = -1;
    if (std::fseek(f.get(), 0, SEEK_END) == 0)
        size = std::ftell(f.get());
    const bool fits = size >= 12 && count > 0 &&
                      static_cast<std::uint64_t>(count) * kRecordBytes <= static_cast<std::uint64_t>(size - 12);
    if (got != sizeof head || bands < 1 || bands > ReverbRecord::kBands || !fits ||
        std::fseek(f.get(), 12, SEEK_SET) != 0) {
        AfxMessageBox(Format("Invalid reverb file: %s", path), MB_OK);
        return false;
    }
    try {
        records.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        records.clear();
        AfxMessageBox("Reverb Cut Data - insufficient memory available", MB_OK);
        return false;
    }
    for (ReverbRecord& r : records)
        r.Clear();
    bandCount = bands;
    recordCount = count;
    std::uint8_t rec[kRecordBytes];
    bool plausible = true;
    for (auto& r : records) {
        if (std::fread(rec, 1, sizeof rec, f.get()) != sizeof rec)
            break; // cannot happen: the size was checked
        DecodeRecord(rec, r);
        plausible = plausible && PlausibleRecord(r, bands);
    }
    if (!plausible) {
        FreeRecords();
        AfxMessageBox(Format("Invalid reverb file: %s", path), MB_OK);
        return false;
    }
    Settings().StartOffset = 0;
    bool ok = true;
    if (magic == kFileMagic) {
        std::uint8_t tail[4];
        ok = std::fread(tail, 1, sizeof tail, f.get()) == sizeof tail;
        if (ok)
            Settings().StartOffset = static_cast<std::int32_t>(GetU32(tail));
    }
    f.reset();
    if (!ok) {
        AfxMessageBox(Format("Error reading reverb file: %s", path), MB_OK);
        return false;
    }
    if (viewMode == 0)
        viewMode = 1;
    // Whole seconds, as the records' span rounds; a short segment's records end within half a
    // second, and a limit of 0 would leave every time unread.
    const float lastTime = records[static_cast<std::size_t>(count - 1)].Time;
    maxDecayTime = static_cast<float>(static_cast<int>(lastTime + 0.5f));
    if (maxDecayTime <= 0.0f && lastTime > 0.0f)
        maxDecayTime = std::ceil(lastTime);
    Settings().TimeExtent = maxDecayTime;
    SetTestTiming();
    // The records keep the spacing they were taken with, whatever the FFT settings are now.
    if (RecordSpacing() > 0.0f)
        recordInterval = RecordSpacing();
    fileName = path;
    if (Settings().StartOffset < 0 || Settings().StartOffset > 1000)
        Settings().StartOffset = 0;
    cancel = 0;
    SmoothDecay();
    ComputeDecayTimes();
    return true;
}

std::string ReverbAnalysis::ViewText(DWORD mode) const
{
    std::string out;
    if (records.empty() || mode == 0 || recordCount <= 0)
        return out;
    const ReverbSettings& st = *settings_;
    if (mode == 1) {
        const DWORD choice = std::min<DWORD>(st.RtChoice, 5);
        bool marked = false;
        for (int b = 0; b < bandCount; ++b) {
            const float t = results[b].Rt[choice];
            if (results[b].Frequency <= 0.0f)
                AppendF(out, "Wideband\t%f", t);
            else {
                AppendF(out, "%f\t", results[b].Frequency);
                AppendF(out, "%f", t);
            }
            // The mark in a column of its own keeps the time a number where the text is pasted.
            if (IsExtrapolated(b, static_cast<int>(choice))) {
                out += std::string("\t") + kExtrapolatedMark;
                marked = true;
            }
            out += "\r\n";
        }
        if (marked)
            out += std::string(kExtrapolatedLegend) + "\r\n";
        return out;
    }
    const int s = StartRecord();
    const int band = std::clamp(static_cast<int>(st.SelectedBand), 0, std::max(bandCount - 1, 0));
    for (int r = s; r < recordCount; ++r) {
        const ReverbRecord& rec = records[static_cast<std::size_t>(r)];
        if (mode == 2) {
            AppendF(out, "%f\t", rec.Time);
            AppendF(out, "%f\r\n", rec.Smoothed[band]);
        } else {
            AppendF(out, "%f\t", rec.Time);
            for (int b = 0; b < bandCount; ++b)
                AppendF(out, "%f\t", rec.Smoothed[b]);
            out += "\r\n";
        }
    }
    return out;
}
