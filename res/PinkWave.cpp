// The embedded pink-noise wave ("PINKWAVE" of type "PinkWave"): 60 s of pink noise, mono,
// 16-bit, 44100 Hz, with a format chunk and two further chunks before the data chunk.
// tools/make_pinkwave.py is its maker; the same integer-only generator is carried here so the
// 5 MB image is built at start-up instead of bloating the sources, and the wave test checks
// that both produce the same bytes.
#include "platform/core/Resources.h"
#include "res/ResourceGroups.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kSeconds = 60;
constexpr int kRows = 16;
constexpr std::uint32_t kSeed = 0x5EED1234u;

class PinkSource {
public:
    std::int32_t White()
    {
        x_ = x_ * 1664525u + 1013904223u;
        return static_cast<std::int32_t>(x_ >> 16) - 32768;
    }

private:
    std::uint32_t x_ = kSeed;
};

void Put(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* id, const std::vector<std::uint8_t>& body)
{
    out.insert(out.end(), id, id + 4);
    Put(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1)
        out.push_back(0);
}

std::vector<std::uint8_t> Text(const char* s)
{
    return std::vector<std::uint8_t>(s, s + std::strlen(s) + 1);
}

std::vector<std::uint8_t> MakeImage()
{
    const std::uint32_t frames = kRate * kSeconds;
    std::vector<std::uint8_t> samples;
    samples.reserve(static_cast<std::size_t>(frames) * 2);
    PinkSource source;
    std::int32_t rows[kRows];
    std::int64_t total = 0;
    for (std::int32_t& r : rows) {
        r = source.White();
        total += r;
    }
    for (std::uint32_t n = 1; n <= frames; ++n) {
        // Row k changes every 2^k samples: the row of the lowest set bit of n.
        int tz = __builtin_ctz(n);
        if (tz < kRows) {
            total -= rows[tz];
            rows[tz] = source.White();
            total += rows[tz];
        }
        std::int64_t v = ((total + source.White()) * 11) >> 7;
        v = v < -32767 ? -32767 : (v > 32767 ? 32767 : v);
        Put(samples, static_cast<std::uint32_t>(static_cast<std::int32_t>(v)), 2);
    }

    std::vector<std::uint8_t> fmt;
    Put(fmt, 1, 2);
    Put(fmt, 1, 2);
    Put(fmt, kRate, 4);
    Put(fmt, kRate * 2, 4);
    Put(fmt, 2, 2);
    Put(fmt, 16, 2);
    std::vector<std::uint8_t> info = {'I', 'N', 'F', 'O'};
    PutChunk(info, "INAM", Text("Pink noise"));
    PutChunk(info, "ISFT", Text("Durnex make_pinkwave"));
    std::vector<std::uint8_t> fact;
    Put(fact, frames, 4);

    std::vector<std::uint8_t> body = {'W', 'A', 'V', 'E'};
    PutChunk(body, "fmt ", fmt);
    PutChunk(body, "LIST", info);
    PutChunk(body, "fact", fact);
    PutChunk(body, "data", samples);
    std::vector<std::uint8_t> image = {'R', 'I', 'F', 'F'};
    Put(image, static_cast<std::uint32_t>(body.size()), 4);
    image.insert(image.end(), body.begin(), body.end());
    return image;
}

} // namespace

void RegisterPinkWave()
{
    // Built once; the registry keeps a view of bytes that live as long as the program.
    static std::once_flag once;
    static std::vector<std::uint8_t> image;
    std::call_once(once, [] {
        try {
            image = MakeImage();
        } catch (const std::bad_alloc&) {
            image.clear(); // without memory the program simply has no pink-noise resource
        }
    });
    if (image.empty())
        return;
    RegisterResource("PinkWave", "PINKWAVE", image);
}
