// Shared helpers of the wave tests: a temporary folder per test, running the independent
// readers and writers (sox, Python's wave module), and small file builders.
#pragma once

#include "records/TPcmFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace wavetest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder()
    {
        std::random_device rd;
        for (int i = 0; i < 100; ++i) {
            auto p = std::filesystem::temp_directory_path() /
                     ("durnex-wave-" + std::to_string(rd()) + "-" + std::to_string(i));
            std::error_code ec;
            if (std::filesystem::create_directory(p, ec)) {
                path_ = p.string();
                break;
            }
        }
    }
    ~TempFolder()
    {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Files in the folder, for checks that nothing temporary was left behind.
    std::size_t count() const
    {
        std::error_code ec;
        std::size_t n = 0;
        for (auto it = std::filesystem::directory_iterator(path_, ec); !ec && it != std::filesystem::directory_iterator();
             ++it)
            ++n;
        return n;
    }

private:
    std::string path_;
};

inline std::vector<std::uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs a shell command; returns its exit status (-1 when it could not run).
inline int RunCommand(const std::string& command)
{
    int r = std::system(command.c_str());
    if (r == -1)
        return -1;
    return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

inline bool HaveTool(const std::string& tool)
{
    return RunCommand("command -v " + tool + " >/dev/null 2>&1") == 0;
}

inline void PutLe(std::vector<std::uint8_t>& out, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void PutId(std::vector<std::uint8_t>& out, const char* id)
{
    out.insert(out.end(), id, id + 4);
}

// A "fmt " chunk body of the given fields.
inline std::vector<std::uint8_t> FmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                         std::uint16_t blockAlign, std::uint16_t bits, std::size_t extra = 0)
{
    std::vector<std::uint8_t> f;
    PutLe(f, tag, 2);
    PutLe(f, channels, 2);
    PutLe(f, rate, 4);
    PutLe(f, static_cast<std::uint64_t>(rate) * blockAlign, 4);
    PutLe(f, blockAlign, 2);
    PutLe(f, bits, 2);
    if (extra > 0) {
        PutLe(f, extra - 2, 2);
        f.resize(f.size() + extra - 2, 0);
    }
    return f;
}

inline void PutChunk(std::vector<std::uint8_t>& out, const char* id, const std::vector<std::uint8_t>& body,
                     std::int64_t statedSize = -1)
{
    PutId(out, id);
    PutLe(out, statedSize >= 0 ? static_cast<std::uint64_t>(statedSize) : body.size(), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1)
        out.push_back(0);
}

// Wraps chunk bytes in a RIFF WAVE chunk.
inline std::vector<std::uint8_t> Riff(const std::vector<std::uint8_t>& chunks, std::int64_t statedSize = -1)
{
    std::vector<std::uint8_t> out;
    PutId(out, "RIFF");
    PutLe(out, statedSize >= 0 ? static_cast<std::uint64_t>(statedSize) : chunks.size() + 4, 4);
    PutId(out, "WAVE");
    out.insert(out.end(), chunks.begin(), chunks.end());
    return out;
}

// Deterministic sample bytes of a format: a different value in every sample.
inline std::vector<std::uint8_t> PatternBytes(const TPcmFormat& f, std::uint32_t frames, std::uint32_t seed = 1)
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(frames) * f.BlockAlign());
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : out) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}

// Limits the size of files this process may write, so that a write fails half-way.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit l = old_;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit old_{};
    void (*previous_)(int) = nullptr;
};

} // namespace wavetest
