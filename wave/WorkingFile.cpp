#include "wave/WorkingFile.h"

#include "wave/WaveCalibrationBlock.h"

#include "platform/core/Thread.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

constexpr const char* kKinds[] = {"unknown", "take", "realtime", "backup", "undo"};
constexpr const char* kChanges[] = {"unknown", "overwritten", "removed"};
constexpr const char* kStates[] = {"unknown", "editing", "edited", "undoing"};
constexpr std::size_t kRingLine = 38; // "ring=" and three 10-digit numbers, two blanks, '\n'
constexpr std::int64_t kCopyBytes = 1 << 20;

// The index of `value` among `names`, or 0 (unknown) for a word this version does not know.
template <std::size_t N>
int NameIndex(const char* const (&names)[N], const std::string& value)
{
    for (std::size_t k = 0; k < N; ++k)
        if (value == names[k])
            return int(k);
    return 0;
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void PutLe32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

std::string RingLine(DWORD wrap, DWORD from, DWORD to)
{
    char line[64];
    std::snprintf(line, sizeof line, "ring=%010u %010u %010u\n", unsigned(wrap), unsigned(from), unsigned(to));
    return line;
}

// The bytes after the samples (and their pad byte) when they are a calibration chunk, else empty.
std::vector<std::uint8_t> TrailingChunk(std::ifstream& in, std::int64_t at, std::int64_t size)
{
    std::vector<std::uint8_t> chunk;
    if (size != 8 + std::int64_t(WaveCalibrationBlock::kSize))
        return chunk;
    chunk.resize(std::size_t(size));
    in.seekg(at);
    if (!in.read(reinterpret_cast<char*>(chunk.data()), size) || Le32(chunk.data()) != WaveCalibrationBlock::kChunkId ||
        Le32(chunk.data() + 4) != WaveCalibrationBlock::kSize)
        chunk.clear();
    return chunk;
}

// Copies `bytes` from `at` in `in` to `out`; false when the file ends first.
bool CopyBytes(std::ifstream& in, std::int64_t at, std::int64_t bytes, std::ofstream& out)
{
    std::vector<char> buffer(std::size_t(std::min(bytes, kCopyBytes)));
    in.seekg(at);
    while (bytes > 0) {
        const std::int64_t n = std::min<std::int64_t>(bytes, std::int64_t(buffer.size()));
        if (!in.read(buffer.data(), n) || !out.write(buffer.data(), n))
            return false;
        bytes -= n;
    }
    return true;
}

} // namespace

std::string WorkingFileLabelPath(const std::string& file) { return file + ".label"; }

bool WriteWorkingFileLabel(const std::string& file, const WorkingFileLabel& label)
{
    std::string text = std::string("kind=") + kKinds[int(label.kind)] + "\n";
    text += "process=" + std::to_string(GetCurrentProcessId()) + "\n";
    if (label.channel >= 0)
        text += "channel=" + std::to_string(label.channel) + "\n";
    // A name that would break a line is left out: the label stays readable.
    if (!label.original.empty() && label.original.find_first_of("\r\n") == std::string::npos)
        text += "original=" + label.original + "\n";
    if (label.kind == WorkingFileLabel::Kind::Undo) {
        text += std::string("edited=") + (label.editedInPlace ? "inplace" : "copy") + "\n";
        if (label.first >= 0)
            text += "first=" + std::to_string(label.first) + "\nchange=" + kChanges[int(label.change)] +
                    "\nstate=" + kStates[int(label.state)] + "\n";
    }
    if (!label.run.empty())
        text += "run=" + label.run + "\n";
    if (!label.calibration.empty()) {
        text += "calibration=";
        char hex[3];
        for (std::uint8_t b : label.calibration) {
            std::snprintf(hex, sizeof hex, "%02x", unsigned(b));
            text += hex;
        }
        text += "\n";
    }
    if (label.kind == WorkingFileLabel::Kind::RealTime)
        text += RingLine(label.wrap, label.from, label.to); // always the last line, of fixed width
    const std::string path = WorkingFileLabelPath(file), beside = path + ".new";
    {
        std::ofstream out(beside, std::ios::binary | std::ios::trunc);
        if (!out.write(text.data(), std::streamsize(text.size())) || !out.flush())
            return false;
    }
    std::error_code ec;
    fs::rename(beside, path, ec);
    if (ec)
        fs::remove(beside, ec);
    return !ec;
}

bool ReadWorkingFileLabel(const std::string& file, WorkingFileLabel& label)
{
    std::ifstream in(WorkingFileLabelPath(file), std::ios::binary);
    if (!in)
        return false;
    label = WorkingFileLabel{};
    bool kind = false;
    for (std::string line; std::getline(in, line);) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "kind") {
            for (int k = 0; k < int(std::size(kKinds)); ++k)
                if (value == kKinds[k]) {
                    label.kind = WorkingFileLabel::Kind(k);
                    kind = true;
                }
        } else if (key == "first") {
            char* end = nullptr;
            const unsigned long long first = std::strtoull(value.c_str(), &end, 10);
            if (!value.empty() && *end == '\0' && first <= 0xFFFFFFFFull)
                label.first = static_cast<long long>(first);
        } else if (key == "change") {
            label.change = WorkingFileLabel::Change(NameIndex(kChanges, value));
        } else if (key == "state") {
            label.state = WorkingFileLabel::State(NameIndex(kStates, value));
        } else if (key == "process") {
            label.process = DWORD(std::strtoul(value.c_str(), nullptr, 10));
        } else if (key == "channel") {
            label.channel = std::atoi(value.c_str());
        } else if (key == "original") {
            label.original = value;
        } else if (key == "edited") {
            label.editedInPlace = value != "copy";
        } else if (key == "run") {
            label.run = value;
        } else if (key == "calibration" && value.size() == 2 * WaveCalibrationBlock::kSize) {
            label.calibration.resize(WaveCalibrationBlock::kSize);
            for (std::size_t i = 0; i < label.calibration.size(); ++i)
                label.calibration[i] = std::uint8_t(std::strtoul(value.substr(2 * i, 2).c_str(), nullptr, 16));
        } else if (key == "ring") {
            unsigned w = 0, f = 0, t = 0;
            if (std::sscanf(value.c_str(), "%u %u %u", &w, &f, &t) == 3 && f <= t && (w == 0 || t <= w)) {
                label.wrap = w;
                label.from = f;
                label.to = t;
            }
        }
    }
    return kind && (label.channel < 0 || label.channel < 8);
}

bool UpdateRingPosition(const std::string& file, DWORD wrap, DWORD from, DWORD to)
{
    std::FILE* f = std::fopen(WorkingFileLabelPath(file).c_str(), "r+b");
    if (f == nullptr)
        return false;
    const std::string line = RingLine(wrap, from, to);
    bool ok = line.size() == kRingLine && std::fseek(f, -long(kRingLine), SEEK_END) == 0 &&
              std::fwrite(line.data(), 1, line.size(), f) == line.size();
    if (std::fclose(f) != 0)
        ok = false;
    return ok;
}

void RemoveWorkingFileLabel(const std::string& file)
{
    std::error_code ec;
    fs::remove(WorkingFileLabelPath(file), ec);
}

bool InspectWorkingWave(const std::string& file, WorkingWave& wave)
{
    std::ifstream in(file, std::ios::binary);
    std::error_code ec;
    const std::int64_t size = std::int64_t(fs::file_size(file, ec));
    std::uint8_t head[12];
    if (!in || ec || !in.read(reinterpret_cast<char*>(head), 12) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return false;
    wave = WorkingWave{};
    wave.header.assign(head, head + 12);
    // The chunks before the samples: the format's block size, then the data chunk.
    for (std::int64_t at = 12; at + 8 <= size && at < (1 << 20);) {
        std::uint8_t ck[8];
        if (!in.read(reinterpret_cast<char*>(ck), 8))
            return false;
        wave.header.insert(wave.header.end(), ck, ck + 8);
        const std::uint32_t length = Le32(ck + 4);
        if (std::memcmp(ck, "data", 4) == 0) {
            wave.dataOffset = at + 8;
            break;
        }
        if (length > (1u << 16))
            return false;
        std::vector<std::uint8_t> body(length + (length & 1u));
        if (!in.read(reinterpret_cast<char*>(body.data()), std::streamsize(body.size())))
            return false;
        if (std::memcmp(ck, "fmt ", 4) == 0 && length >= 16) {
            wave.sampleRate = Le32(body.data() + 4);
            wave.blockAlign = body[12] | DWORD(body[13]) << 8;
        }
        wave.header.insert(wave.header.end(), body.begin(), body.end());
        at += 8 + std::int64_t(body.size());
    }
    if (wave.dataOffset == 0 || wave.blockAlign == 0)
        return false;
    // A header that names its samples and a calibration chunk after them is a finished file;
    // otherwise the header may lag the samples on disk, and every whole frame there counts.
    const std::int64_t named = Le32(wave.header.data() + wave.dataOffset - 4);
    const std::int64_t after = wave.dataOffset + named + (named & 1);
    if (after == size || (after < size && !TrailingChunk(in, after, size - after).empty()))
        wave.frames = named / wave.blockAlign;
    else
        wave.frames = std::max<std::int64_t>(0, size - wave.dataOffset) / wave.blockAlign;
    return true;
}

std::int64_t TakeFrames(const WorkingWave& wave, const WorkingFileLabel& label)
{
    if (label.kind == WorkingFileLabel::Kind::RealTime && label.wrap > 0 && wave.frames >= std::int64_t(label.wrap))
        return std::int64_t(label.wrap - label.to) + label.from;
    return wave.frames;
}

bool SealTake(const std::string& file, const WorkingWave& wave, WorkingFileLabel& label, std::int64_t frames)
{
    const bool ring = label.kind == WorkingFileLabel::Kind::RealTime && label.wrap > 0 &&
                      wave.frames >= std::int64_t(label.wrap);
    frames = std::clamp<std::int64_t>(frames, 0, TakeFrames(wave, label));
    const std::int64_t bytes = frames * wave.blockAlign;
    const bool withCalibration = label.calibration.size() == WaveCalibrationBlock::kSize;
    if (wave.dataOffset + bytes + 1 + 8 + std::int64_t(WaveCalibrationBlock::kSize) > 0xFFFFFFFFll)
        return false;
    std::vector<std::uint8_t> header = wave.header;
    PutLe32(header.data() + 4, std::uint32_t(wave.dataOffset - 8 + bytes + (bytes & 1)));
    PutLe32(header.data() + wave.dataOffset - 4, std::uint32_t(bytes));
    const std::string beside = file + ".seal";
    bool ok;
    {
        std::ifstream in(file, std::ios::binary);
        std::ofstream out(beside, std::ios::binary | std::ios::trunc);
        ok = in && out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
        // The oldest part of a wrapped buffer first, then the newest, ending where writing stopped.
        const std::int64_t align = wave.blockAlign;
        const std::int64_t oldest = ring ? std::min<std::int64_t>(frames, label.wrap - label.to) : 0;
        if (ok && ring)
            ok = CopyBytes(in, wave.dataOffset + label.to * align, oldest * align, out);
        if (ok)
            ok = CopyBytes(in, wave.dataOffset, (frames - oldest) * align, out);
        if (ok && (bytes & 1))
            ok = bool(out.put('\0'));
        if (ok && withCalibration) {
            std::uint8_t ck[8];
            PutLe32(ck, WaveCalibrationBlock::kChunkId);
            PutLe32(ck + 4, WaveCalibrationBlock::kSize);
            ok = out.write(reinterpret_cast<const char*>(ck), 8) &&
                 out.write(reinterpret_cast<const char*>(label.calibration.data()), std::streamsize(label.calibration.size()));
        }
        ok = ok && out.flush();
    }
    std::error_code ec;
    if (ok)
        fs::rename(beside, file, ec);
    if (!ok || ec) {
        fs::remove(beside, ec);
        return false;
    }
    // In order now: a later start takes it as the take it is.
    label.kind = WorkingFileLabel::Kind::Take;
    label.wrap = label.from = label.to = 0;
    (void)WriteWorkingFileLabel(file, label);
    return true;
}

bool SameWaveData(const std::string& a, const std::string& b)
{
    WorkingWave wa, wb;
    if (!InspectWorkingWave(a, wa) || !InspectWorkingWave(b, wb) || wa.blockAlign != wb.blockAlign ||
        wa.frames != wb.frames)
        return false;
    // The format chunks, from the byte after the RIFF header to the data chunk's header.
    auto format = [](const WorkingWave& w) {
        return std::vector<std::uint8_t>(w.header.begin() + 12, w.header.begin() + std::ptrdiff_t(w.dataOffset) - 8);
    };
    if (format(wa) != format(wb))
        return false;
    std::ifstream ia(a, std::ios::binary), ib(b, std::ios::binary);
    std::error_code ec;
    const std::int64_t sizeA = std::int64_t(fs::file_size(a, ec)), sizeB = std::int64_t(fs::file_size(b, ec));
    const std::int64_t bytes = wa.frames * wa.blockAlign;
    const std::int64_t afterA = wa.dataOffset + bytes + (bytes & 1), afterB = wb.dataOffset + bytes + (bytes & 1);
    if (TrailingChunk(ia, afterA, sizeA - afterA) != TrailingChunk(ib, afterB, sizeB - afterB))
        return false;
    ia.clear();
    ib.clear();
    ia.seekg(wa.dataOffset);
    ib.seekg(wb.dataOffset);
    std::vector<char> pa(std::size_t(std::min(bytes, kCopyBytes))), pb(pa.size());
    for (std::int64_t left = bytes; left > 0;) {
        const std::int64_t n = std::min<std::int64_t>(left, std::int64_t(pa.size()));
        if (!ia.read(pa.data(), n) || !ib.read(pb.data(), n) || std::memcmp(pa.data(), pb.data(), std::size_t(n)) != 0)
            return false;
        left -= n;
    }
    return true;
}
