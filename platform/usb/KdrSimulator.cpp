#include "platform/usb/KdrSimulator.h"

#include "platform/core/MessageBox.h"
#include "platform/core/SysTime.h"
#include "platform/usb/SimulatorBus.h"
#include "platform/usb/WinUsb.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kdrsim {
namespace {

constexpr double kFullScale = 8388607.0;
constexpr double kRate = 4000.0;
constexpr int kBlocks = 8;
constexpr int kPerBlock = 16;
constexpr std::int64_t kPacketMs = 4;
constexpr std::int64_t kBacklogMs = 2000;
constexpr std::size_t kLoopbackCap = 40000; // 10 s at the device's rate
constexpr const char* kDefaultSources = "0=sine:1000:-6;1=noise:-40";

enum class Kind { Silence, Sine, Noise, Dc, File, Loopback };

struct Source {
    Kind kind = Kind::Silence;
    double frequency = 0.0;
    double amplitude = 0.0; // in steps: sine peak, noise RMS
    double phase = 0.0;     // radians
    std::int32_t dc = 0;
    std::shared_ptr<const std::vector<std::int32_t>> file;
    unsigned loopChannel = 0;
};

// xorshift64*: cheap, seedable, the same on every machine.
struct Rng {
    std::uint64_t s = 0x9E3779B97F4A7C15ull;
    std::uint64_t Next()
    {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return s * 2685821657736338717ull;
    }
    double Uniform() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    std::int32_t Dither() { return (Next() >> 63) ? 1 : -1; }
};

std::int32_t Clip(double v)
{
    const double r = std::nearbyint(v);
    return static_cast<std::int32_t>(std::clamp(r, -kFullScale, kFullScale));
}

// ---- Wave files for the file source ----------------------------------------------------

std::uint32_t Le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t Le16(const unsigned char* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

// A file source is held whole at the device's rate: at most an hour of it, read from at most
// 1 GiB of file, so that no header (a rate of 1 sample/s, a huge data size) can exhaust memory.
constexpr std::uintmax_t kMaxSourceFileBytes = std::uintmax_t(1) << 30;
constexpr double kMaxSourceSamples = 3600.0 * kRate;

// The first channel's sample at frame i, scaled to 24 bits.
double FirstChannelSample(const unsigned char* p, unsigned bits, bool flt)
{
    switch (bits) {
    case 8: return double(int(p[0]) - 128) * 65536.0;
    case 16: return double(std::int16_t(Le16(p))) * 256.0;
    case 24: return double(std::int32_t(std::uint32_t(p[0] << 8 | p[1] << 16 | std::uint32_t(p[2]) << 24)) >> 8);
    default:
        if (flt) {
            float f;
            const std::uint32_t u = Le32(p);
            std::memcpy(&f, &u, 4);
            return std::isfinite(f) ? double(f) * kFullScale : 0.0;
        }
        return double(std::int32_t(Le32(p))) / 256.0;
    }
}

std::optional<std::vector<std::int32_t>> ReadWaveBytes(const std::string& path, std::string* error)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in) {
        *error = "cannot open \"" + path + "\"";
        return std::nullopt;
    }
    if (size > kMaxSourceFileBytes) {
        *error = "\"" + path + "\" is larger than the 1 GiB the simulator reads";
        return std::nullopt;
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        *error = "\"" + path + "\" is not a wave file";
        return std::nullopt;
    }
    unsigned format = 0, channels = 0, rate = 0, bits = 0;
    const unsigned char* data = nullptr;
    std::size_t dataSize = 0;
    for (std::size_t pos = 12; pos + 8 <= bytes.size();) {
        const std::uint32_t chunk = Le32(&bytes[pos + 4]);
        const std::size_t body = pos + 8;
        const std::size_t avail = std::min<std::size_t>(chunk, bytes.size() - body);
        if (std::memcmp(&bytes[pos], "fmt ", 4) == 0 && avail >= 16) {
            format = Le16(&bytes[body]);
            channels = Le16(&bytes[body + 2]);
            rate = Le32(&bytes[body + 4]);
            bits = Le16(&bytes[body + 14]);
            if (format == 0xFFFE && avail >= 26)
                format = Le16(&bytes[body + 24]);
        } else if (std::memcmp(&bytes[pos], "data", 4) == 0) {
            data = &bytes[body];
            dataSize = avail; // a truncated data chunk gives what it holds
        }
        pos = body + chunk + (chunk & 1);
    }
    const bool pcm = format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool flt = format == 3 && bits == 32;
    if (data == nullptr || channels == 0 || rate == 0 || (!pcm && !flt)) {
        *error = "\"" + path + "\" is not a PCM or floating-point wave file";
        return std::nullopt;
    }
    const std::size_t frameBytes = std::size_t(channels) * bits / 8;
    const std::size_t frames = dataSize / frameBytes;
    if (frames == 0) {
        *error = "\"" + path + "\" holds no samples";
        return std::nullopt;
    }
    // Linear interpolation to the device's rate; a file made at another rate keeps its pitch.
    const double step = double(rate) / kRate;
    const double wanted = std::max(1.0, std::floor(double(frames) / step));
    if (wanted > kMaxSourceSamples) {
        *error = "\"" + path + "\" would last more than the hour the simulator loops at its rate of " +
                 std::to_string(rate) + " samples/s";
        return std::nullopt;
    }
    auto at = [&](std::size_t i) { return FirstChannelSample(data + i * frameBytes, bits, flt); };
    std::vector<std::int32_t> out(static_cast<std::size_t>(wanted));
    for (std::size_t k = 0; k < out.size(); ++k) {
        const double pos = double(k) * step;
        const std::size_t i = std::min(std::size_t(pos), frames - 1);
        const double f = pos - double(i);
        const double a = at(i);
        out[k] = f == 0.0 ? Clip(a) : Clip(a + ((i + 1 < frames ? at(i + 1) : at(0)) - a) * f);
    }
    return out;
}

std::optional<std::vector<std::int32_t>> LoadWave(const std::string& path, std::string* error)
{
    try {
        return ReadWaveBytes(path, error);
    } catch (const std::bad_alloc&) {
        *error = "\"" + path + "\" does not fit in memory";
        return std::nullopt;
    }
}

// ---- Source text ------------------------------------------------------------------------

std::string Trim(const std::string& s)
{
    const auto a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

bool ParseNumber(const std::string& text, double* value)
{
    const std::string t = Trim(text);
    if (t.empty())
        return false;
    char* end = nullptr;
    *value = std::strtod(t.c_str(), &end);
    return end != nullptr && *end == '\0' && std::isfinite(*value);
}

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto p = s.find(sep, start);
        parts.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos)
            return parts;
        start = p + 1;
    }
}

bool ParseSource(const std::string& text, Source* src, std::string* error)
{
    const auto colon = text.find(':');
    const std::string kind = Trim(text.substr(0, colon));
    const std::string rest = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    std::vector<std::string> args = rest.empty() ? std::vector<std::string>() : Split(rest, ':');
    std::vector<double> v;
    auto numbers = [&](std::size_t least, std::size_t most) {
        if (args.size() < least || args.size() > most) {
            *error = "\"" + text + "\" takes " + std::to_string(least) + " to " + std::to_string(most) + " values";
            return false;
        }
        for (const std::string& a : args) {
            double d;
            if (!ParseNumber(a, &d)) {
                *error = "\"" + a + "\" in \"" + text + "\" is not a number";
                return false;
            }
            v.push_back(d);
        }
        return true;
    };
    if (kind == "sine") {
        if (!numbers(1, 3))
            return false;
        if (v[0] < 0.0 || v[0] > kRate / 2) {
            *error = "the sine frequency must be between 0 and 2000 Hz";
            return false;
        }
        src->kind = Kind::Sine;
        src->frequency = v[0];
        src->amplitude = kFullScale * std::pow(10.0, (v.size() > 1 ? std::min(v[1], 0.0) : 0.0) / 20.0);
        src->phase = (v.size() > 2 ? v[2] : 0.0) * M_PI / 180.0;
    } else if (kind == "noise") {
        if (!numbers(0, 1))
            return false;
        src->kind = Kind::Noise;
        src->amplitude = kFullScale * std::pow(10.0, (v.empty() ? -20.0 : std::min(v[0], 0.0)) / 20.0);
    } else if (kind == "dc") {
        if (!numbers(1, 1))
            return false;
        if (v[0] < -1.0 || v[0] > 1.0) {
            *error = "a dc level is a fraction of full scale, from -1 to 1";
            return false;
        }
        src->kind = v[0] == 0.0 ? Kind::Silence : Kind::Dc;
        src->dc = Clip(v[0] * kFullScale);
    } else if (kind == "file") {
        const std::string path = Trim(rest); // a path may hold ':'
        if (path.empty()) {
            *error = "\"file:\" needs the path of a wave file";
            return false;
        }
        auto samples = LoadWave(path, error);
        if (!samples)
            return false;
        src->kind = Kind::File;
        src->file = std::make_shared<const std::vector<std::int32_t>>(std::move(*samples));
    } else if (kind == "loopback") {
        if (!numbers(0, 1))
            return false;
        if (!v.empty() && (v[0] < 0 || v[0] > 7 || v[0] != std::floor(v[0]))) {
            *error = "the loopback output channel must be 0 to 7";
            return false;
        }
        src->kind = Kind::Loopback;
        src->loopChannel = v.empty() ? 0u : unsigned(v[0]);
    } else if (kind == "silence") {
        src->kind = Kind::Silence;
    } else {
        *error = "unknown source \"" + kind + "\" (sine, noise, dc, file, loopback or silence)";
        return false;
    }
    return true;
}

bool ParseSources(const std::string& text, Source (&out)[kBlocks], std::string* error)
{
    Source parsed[kBlocks];
    for (const std::string& raw : Split(text, ';')) {
        const std::string item = Trim(raw);
        if (item.empty())
            continue;
        const auto eq = item.find('=');
        double ch = -1;
        if (eq == std::string::npos || !ParseNumber(item.substr(0, eq), &ch) || ch < 0 || ch > 7 || ch != std::floor(ch)) {
            *error = "\"" + item + "\": expected <channel 0-7>=<source>";
            return false;
        }
        if (!ParseSource(Trim(item.substr(eq + 1)), &parsed[int(ch)], error))
            return false;
    }
    for (int i = 0; i < kBlocks; ++i)
        out[i] = parsed[i];
    return true;
}

// ---- The device -------------------------------------------------------------------------

struct LoopbackQueue {
    std::deque<std::int32_t> samples;
    double pos = 0.0;  // of the next output sample, in input samples after the previous call's last
    double last = 0.0; // last input sample of the previous call
    unsigned rate = 0;
};

struct Simulator {
    std::mutex m;
    std::condition_variable cv;
    bool started = false;
    bool selected = false;
    bool plugged = true;
    int generation = 1;
    int claimed = 0;
    bool aborted = false;
    bool readerWaiting = false; // a read is waiting for a packet not yet due
    int nextSession = 1;

    Source sources[kBlocks]; // by channel, as configured
    Source blocks[kBlocks];  // by packet block, taken at the start command
    Rng rng[kBlocks];

    bool testClock = false;
    std::int64_t testNow = 1000;

    bool streaming = false;
    std::int64_t t0 = 0;
    std::int64_t next = 0; // index of the next packet
    long long sent = 0;
    long long starts = 0;

    int zeroPackets = 0;
    std::deque<std::array<BYTE, 512>> rawPackets;
    int shortReads = 0;
    int shortBytes = 0;
    std::int64_t stallFrom = 0, stallTo = 0;

    std::mutex loopMutex;
    LoopbackQueue loop[kBlocks];

    std::int64_t NowLocked() const { return testClock ? testNow : std::int64_t(GetTickCount64()); }
    std::int64_t Due(std::int64_t k) const { return t0 + kPacketMs * (k + 1); }

    // Moves `next` past packets lost to a stall or to a reader too far behind.
    void SkipLost(std::int64_t now)
    {
        if (now - Due(next) > kBacklogMs)
            next = (now - kBacklogMs - t0) / kPacketMs;
        while (Due(next) >= stallFrom && Due(next) < stallTo)
            ++next;
    }

    std::int32_t Sample(int b, std::int64_t n, const std::int32_t* loopSamples)
    {
        const Source& s = blocks[b];
        switch (s.kind) {
        case Kind::Sine: {
            const double cycles = std::fmod(s.frequency * double(n) / kRate, 1.0);
            return Clip(s.amplitude * std::sin(2.0 * M_PI * cycles + s.phase));
        }
        case Kind::Noise: {
            // Box-Muller; one draw a sample keeps the stream simple.
            const double u1 = std::max(rng[b].Uniform(), 1e-300), u2 = rng[b].Uniform();
            return Clip(s.amplitude * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2));
        }
        case Kind::Dc: return s.dc;
        case Kind::File: return (*s.file)[std::size_t(n % std::int64_t(s.file->size()))];
        case Kind::Loopback: return loopSamples[n % kPerBlock];
        case Kind::Silence: break;
        }
        return rng[b].Dither();
    }

    void BuildPacket(std::int64_t k, BYTE* out)
    {
        std::int32_t loopSamples[kBlocks][kPerBlock];
        {
            // One pull a packet per output channel that a loopback source reads.
            std::lock_guard lock(loopMutex);
            bool pulled[kBlocks] = {};
            for (int b = 0; b < kBlocks; ++b) {
                if (blocks[b].kind != Kind::Loopback || pulled[blocks[b].loopChannel])
                    continue;
                const unsigned c = blocks[b].loopChannel;
                pulled[c] = true;
                for (int i = 0; i < kPerBlock; ++i) {
                    if (loop[c].samples.empty()) {
                        loopSamples[c][i] = rng[b].Dither();
                    } else {
                        loopSamples[c][i] = loop[c].samples.front() != 0 ? loop[c].samples.front() : rng[b].Dither();
                        loop[c].samples.pop_front();
                    }
                }
            }
        }
        for (int b = 0; b < kBlocks; ++b) {
            const std::int32_t* ls = blocks[b].kind == Kind::Loopback ? loopSamples[blocks[b].loopChannel] : nullptr;
            for (int i = 0; i < kPerBlock; ++i) {
                const auto u = std::uint32_t(Sample(b, k * kPerBlock + i, ls));
                BYTE* w = out + 64 * b + 4 * i;
                w[0] = BYTE(u >> 24);
                w[1] = BYTE(u >> 16);
                w[2] = BYTE(u >> 8);
                w[3] = BYTE(u);
            }
        }
    }

    void Start()
    {
        // Channel c feeds block c - 1; channels 0 and 7 share block 6; block 7 is never read.
        for (int c = 1; c <= 6; ++c)
            blocks[c - 1] = sources[c];
        blocks[6] = sources[0].kind != Kind::Silence ? sources[0] : sources[7];
        blocks[7] = Source();
        for (int b = 0; b < kBlocks; ++b)
            rng[b].s = 0x9E3779B97F4A7C15ull ^ (std::uint64_t(b + 1) * 0xD1B54A32D192ED03ull);
        streaming = true;
        t0 = NowLocked();
        next = 0;
        sent = 0;
        ++starts;
    }
};

Simulator& Sim()
{
    static Simulator* sim = new Simulator; // lives to the end of the process: readers may outlive statics
    return *sim;
}


} // namespace

// ---- Public control ---------------------------------------------------------------------

void SelectSimulator(bool on)
{
    bus::EnsureStarted();
    std::lock_guard lock(Sim().m);
    Sim().selected = on;
}

bool IsSimulatorSelected()
{
    bus::EnsureStarted();
    std::lock_guard lock(Sim().m);
    return Sim().selected;
}

bool ConfigureSources(const std::string& text, std::string* error)
{
    bus::EnsureStarted();
    Source parsed[kBlocks];
    std::string message;
    if (!ParseSources(text, parsed, &message)) { // file loading happens outside the lock
        if (error != nullptr)
            *error = message;
        return false;
    }
    std::lock_guard lock(Sim().m);
    for (int i = 0; i < kBlocks; ++i)
        Sim().sources[i] = parsed[i];
    return true;
}

void UseTestClock(bool on)
{
    bus::EnsureStarted();
    Simulator& s = Sim();
    std::lock_guard lock(s.m);
    if (on == s.testClock)
        return;
    s.testClock = on;
    s.testNow = 1000;
    s.streaming = false; // a stream's times belong to one clock
    s.cv.notify_all();
}

void AdvanceClock(DWORD milliseconds)
{
    Simulator& s = Sim();
    std::lock_guard lock(s.m);
    if (s.testClock)
        s.testNow += milliseconds;
    s.cv.notify_all();
}

DWORD Now()
{
    std::lock_guard lock(Sim().m);
    return DWORD(Sim().NowLocked());
}

bool WaitUntilDelivered(DWORD realTimeoutMs)
{
    Simulator& s = Sim();
    std::unique_lock lock(s.m);
    return s.cv.wait_for(lock, std::chrono::milliseconds(realTimeoutMs), [&s] {
        if (!s.streaming || !s.plugged || s.claimed == 0)
            return true;
        const std::int64_t now = s.NowLocked();
        s.SkipLost(now);
        // Delivered means read and taken in: the reader has come back for the next packet.
        return s.Due(s.next) > now && s.readerWaiting;
    });
}

bool WaitUntilStreaming(DWORD realTimeoutMs)
{
    Simulator& s = Sim();
    std::unique_lock lock(s.m);
    return s.cv.wait_for(lock, std::chrono::milliseconds(realTimeoutMs), [&s] { return s.streaming; });
}

void SendZeroPackets(int count)
{
    std::lock_guard lock(Sim().m);
    Sim().zeroPackets = std::max(0, count);
}

void SendRawPacket(const BYTE (&packet)[512])
{
    std::array<BYTE, 512> copy;
    std::memcpy(copy.data(), packet, 512);
    std::lock_guard lock(Sim().m);
    Sim().rawPackets.push_back(copy);
}

void SendShortReads(int count, int bytes)
{
    std::lock_guard lock(Sim().m);
    Sim().shortReads = std::max(0, count);
    Sim().shortBytes = std::clamp(bytes, 0, 511);
}

void Stall(DWORD milliseconds)
{
    Simulator& s = Sim();
    std::lock_guard lock(s.m);
    s.stallFrom = s.streaming ? s.Due(s.next) : s.NowLocked();
    s.stallTo = s.stallFrom + milliseconds;
}

void Unplug()
{
    Simulator& s = Sim();
    std::lock_guard lock(s.m);
    s.plugged = false;
    ++s.generation;
    s.claimed = 0;
    s.streaming = false;
    s.cv.notify_all();
}

void Plug()
{
    std::lock_guard lock(Sim().m);
    Sim().plugged = true;
}

long long PacketsSent()
{
    std::lock_guard lock(Sim().m);
    return Sim().sent;
}

long long StartCommands()
{
    std::lock_guard lock(Sim().m);
    return Sim().starts;
}

void LoopbackPlay(const void* frames, unsigned frameCount, unsigned channels, unsigned bitsPerSample,
                  unsigned sampleRate, bool isFloat)
{
    if (frames == nullptr || frameCount == 0 || channels == 0 || sampleRate == 0)
        return;
    if (bitsPerSample != 8 && bitsPerSample != 16 && bitsPerSample != 24 && bitsPerSample != 32)
        return;
    const auto* p = static_cast<const unsigned char*>(frames);
    const unsigned bytes = bitsPerSample / 8;
    auto read = [&](unsigned frame, unsigned ch) {
        const unsigned char* q = p + (std::size_t(frame) * channels + ch) * bytes;
        switch (bitsPerSample) {
        case 8: return double(int(q[0]) - 128) / 128.0;
        case 16: return double(std::int16_t(Le16(q))) / 32768.0;
        case 24: return double(std::int32_t(std::uint32_t(q[0] << 8 | q[1] << 16 | std::uint32_t(q[2]) << 24)) >> 8) / 8388608.0;
        default:
            if (isFloat) {
                float f;
                const std::uint32_t u = Le32(q);
                std::memcpy(&f, &u, 4);
                return std::isfinite(f) ? double(f) : 0.0;
            }
            return double(std::int32_t(Le32(q))) / 2147483648.0;
        }
    };
    Simulator& s = Sim();
    std::lock_guard lock(s.loopMutex);
    const double step = double(sampleRate) / kRate;
    for (unsigned c = 0; c < channels && c < unsigned(kBlocks); ++c) {
        LoopbackQueue& q = s.loop[c];
        if (q.rate != sampleRate) {
            q.rate = sampleRate;
            q.pos = 0.0;
            q.last = 0.0;
        }
        // Position -1 is the previous call's last sample, so the stream joins without a seam.
        while (q.pos <= double(frameCount) - 1.0) {
            const double at = q.pos;
            const auto i = static_cast<long long>(std::floor(at));
            const double a = i < 0 ? q.last : read(unsigned(i), c);
            const double b = read(unsigned(i + 1), c);
            q.samples.push_back(Clip((a + (b - a) * (at - double(i))) * kFullScale));
            q.pos += step;
        }
        q.pos -= double(frameCount);
        q.last = read(frameCount - 1, c);
        while (q.samples.size() > kLoopbackCap)
            q.samples.pop_front();
    }
}

void LoopbackReset()
{
    Simulator& s = Sim();
    std::lock_guard lock(s.loopMutex);
    for (LoopbackQueue& q : s.loop)
        q = LoopbackQueue();
}

void Reset()
{
    bus::EnsureStarted();
    Simulator& s = Sim();
    {
        std::lock_guard lock(s.m);
        std::string error;
        const char* text = std::getenv("DURNEX_SIMULATOR");
        if (text == nullptr || !ParseSources(text, s.sources, &error))
            ParseSources(kDefaultSources, s.sources, &error);
        s.testClock = false;
        s.testNow = 1000;
        s.plugged = true;
        s.zeroPackets = s.shortReads = s.shortBytes = 0;
        s.rawPackets.clear();
        s.stallFrom = s.stallTo = 0;
        s.cv.notify_all();
    }
    LoopbackReset();
}

// ---- What the USB functions use ---------------------------------------------------------

namespace bus {

void EnsureStarted()
{
    Simulator& s = Sim();
    std::unique_lock lock(s.m);
    if (s.started)
        return;
    // The message box for a bad source text must not be shown under the lock.
    s.started = true;
    const char* device = std::getenv("DURNEX_DEVICE");
    s.selected = device != nullptr && std::string(device) == "simulator";
    std::string error;
    ParseSources(kDefaultSources, s.sources, &error);
    lock.unlock();
    const char* text = std::getenv("DURNEX_SIMULATOR");
    if (text != nullptr && !ConfigureSources(text, &error))
        AfxMessageBox("The KDR-5200 simulator cannot use DURNEX_SIMULATOR=\"" + std::string(text) + "\": " + error +
                          ".\nIt uses its default sources instead.",
                      MB_OK | MB_ICONEXCLAMATION);
}

bool Present()
{
    EnsureStarted();
    std::lock_guard lock(Sim().m);
    return Sim().selected && Sim().plugged;
}

int Claim(DWORD* error)
{
    Simulator& s = Sim();
    std::lock_guard lock(s.m);
    if (!s.selected || !s.plugged) {
        *error = ERROR_DEVICE_NOT_CONNECTED;
        return 0;
    }
    if (s.claimed != 0) {
        *error = ERROR_BUSY;
        return 0;
    }
    s.claimed = s.nextSession++ * 16 + (s.generation & 15);
    return s.claimed;
}

void Release(int session)
{
    Simulator& s = Sim();
    std::lock_guard lock(s.m);
    if (session != 0 && session == s.claimed) {
        s.claimed = 0;
        s.aborted = false;
        s.streaming = false; // the device streams until its pipe is released
        s.cv.notify_all();
    }
}

bool Alive(int session)
{
    std::lock_guard lock(Sim().m);
    return session != 0 && session == Sim().claimed && Sim().plugged;
}

DWORD Write(int session, BYTE pipe, const BYTE* data, ULONG length, ULONG* transferred)
{
    Simulator& s = Sim();
    std::lock_guard lock(s.m);
    *transferred = 0;
    if (session == 0 || session != s.claimed || !s.plugged)
        return ERROR_DEVICE_NOT_CONNECTED;
    if (pipe != kPipeOut || data == nullptr)
        return ERROR_INVALID_PARAMETER;
    *transferred = length;
    s.aborted = false;
    // The device knows one command: 64 zero bytes start the stream. Anything else is ignored.
    if (length == 64 && std::all_of(data, data + 64, [](BYTE b) { return b == 0; }))
        s.Start();
    s.cv.notify_all();
    return ERROR_SUCCESS;
}

DWORD Read(int session, BYTE pipe, BYTE* data, ULONG length, ULONG* transferred, DWORD timeoutMs)
{
    Simulator& s = Sim();
    std::unique_lock lock(s.m);
    *transferred = 0;
    if (pipe != kPipeIn || data == nullptr)
        return ERROR_INVALID_PARAMETER;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(timeoutMs == 0 ? 24u * 3600u * 1000u : timeoutMs);
    for (;;) {
        if (session == 0 || session != s.claimed || !s.plugged)
            return ERROR_DEVICE_NOT_CONNECTED;
        if (s.aborted)
            return ERROR_OPERATION_ABORTED;
        std::int64_t wait = -1;
        if (s.streaming) {
            const std::int64_t now = s.NowLocked();
            s.SkipLost(now);
            if (s.Due(s.next) <= now) {
                BYTE packet[512] = {};
                if (!s.rawPackets.empty()) {
                    std::memcpy(packet, s.rawPackets.front().data(), sizeof packet);
                    s.rawPackets.pop_front();
                } else if (s.zeroPackets > 0)
                    --s.zeroPackets;
                else
                    s.BuildPacket(s.next, packet);
                ULONG n = std::min<ULONG>(length, 512);
                if (s.shortReads > 0) {
                    --s.shortReads;
                    n = std::min<ULONG>(n, ULONG(s.shortBytes));
                }
                std::memcpy(data, packet, n);
                *transferred = n;
                ++s.next;
                ++s.sent;
                s.cv.notify_all();
                return ERROR_SUCCESS;
            }
            if (!s.testClock)
                wait = s.Due(s.next) - now;
        }
        s.readerWaiting = true;
        s.cv.notify_all();
        if (wait >= 0) {
            const auto until = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(wait));
            s.cv.wait_until(lock, until);
        } else {
            s.cv.wait_until(lock, deadline); // a test clock's move or a state change wakes us
        }
        s.readerWaiting = false;
        if (std::chrono::steady_clock::now() >= deadline) {
            // One last look: the packet may have come due as the time ran out.
            if (s.streaming && s.claimed == session && s.plugged && s.Due(s.next) <= s.NowLocked())
                continue;
            return ERROR_SEM_TIMEOUT;
        }
    }
}

void Abort(int session)
{
    Simulator& s = Sim();
    std::lock_guard lock(s.m);
    if (session != 0 && session == s.claimed) {
        s.aborted = true;
        s.cv.notify_all();
    }
}

DWORD ClockNow()
{
    Simulator& s = Sim();
    std::lock_guard lock(s.m);
    return s.selected && s.testClock ? DWORD(s.testNow) : timeGetTime();
}

} // namespace bus
} // namespace kdrsim
