// What every fuzz target shares: message boxes answered by nobody, a scratch folder of the
// target's own, and writing the input to a file there, since the readers under test take paths.
#pragma once

#include "platform/core/MessageBox.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// Damaged input shows message boxes; here nobody is there to read them.
inline void QuietBoxes()
{
    static const bool once = [] {
        SetMessageBoxPresenter([](const MessageBoxRequest&) { return IDOK; });
        return true;
    }();
    (void)once;
}

// A folder for the process's files, removed at exit.
inline const std::string& ScratchFolder()
{
    struct Folder {
        std::string path;
        Folder()
        {
            char tmpl[] = "/tmp/durnex-fuzz-XXXXXX";
            if (const char* made = ::mkdtemp(tmpl))
                path = made;
        }
        ~Folder()
        {
            std::error_code ec;
            if (!path.empty())
                std::filesystem::remove_all(path, ec);
        }
    };
    static const Folder folder;
    return folder.path;
}

inline std::string ScratchFile(const std::string& name) { return ScratchFolder() + "/" + name; }

// Writes bytes to a file of the scratch folder; its path, or empty when it could not be written.
inline std::string PutFile(const std::string& name, const std::uint8_t* data, std::size_t size)
{
    const std::string path = ScratchFile(name);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return {};
    const bool ok = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !ok)
        return {};
    return path;
}

// A broken promise of the code under test: the fuzzer keeps the input that made it.
#define FUZZ_REQUIRE(condition)                                                                    \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

} // namespace fuzz
