#include "platform/core/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

void CopyOut(const std::string& s, LPSTR out, std::size_t capacity)
{
    if (out == nullptr || capacity == 0)
        return;
    std::size_t n = s.size() < capacity - 1 ? s.size() : capacity - 1;
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

// Copies into a new file created beside the target, then renames it over the target, so that
// readers never see a partial copy and a failure leaves the target as it was.
bool CopyViaTemp(const std::string& from, const std::string& to)
{
    std::error_code ec;
    fs::path target(to);
    fs::path folder = target.parent_path();
    std::string temp = MakeTempFile(folder.empty() ? std::string(".") : folder.string(), "wav");
    if (temp.empty())
        return false;
    fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        return false;
    }
    return true;
}

} // namespace

std::string GetSystemTempFolder()
{
    std::error_code ec;
    fs::path p = fs::temp_directory_path(ec);
    if (ec || p.empty())
        p = "/tmp";
    return WithSlash(p.string());
}

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer)
{
    std::string t = GetSystemTempFolder();
    if (buffer == nullptr || bufferLength <= t.size())
        return static_cast<DWORD>(t.size() + 1);
    CopyOut(t, buffer, bufferLength);
    return static_cast<DWORD>(t.size());
}

UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR out)
{
    std::string dir = (folder && *folder) ? WithSlash(folder) : GetSystemTempFolder();
    std::string pre = prefix ? std::string(prefix).substr(0, 3) : std::string();
    if (unique != 0) {
        char name[32];
        std::snprintf(name, sizeof name, "%X.tmp", unique & 0xFFFFu);
        CopyOut(dir + pre + name, out, MAX_PATH);
        return unique & 0xFFFFu;
    }
    // A counter mixed with the process id and the clock; O_EXCL makes the claim atomic.
    static std::atomic<unsigned> counter{0};
    unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761u ^
                    static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 65535; ++attempt) {
        unsigned n = (seed + counter.fetch_add(1)) & 0xFFFFFFu;
        if (n == 0)
            continue;
        char name[32];
        std::snprintf(name, sizeof name, "%X.tmp", n);
        std::string full = dir + pre + name;
        if (full.size() >= MAX_PATH)
            return 0;
        int fd = ::open(full.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            CopyOut(full, out, MAX_PATH);
            return n;
        }
        if (errno != EEXIST)
            return 0;
    }
    return 0;
}

std::string MakeTempFile(const std::string& folder, const std::string& prefix)
{
    char out[MAX_PATH] = {};
    if (GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, out) == 0)
        return {};
    return out;
}

BOOL CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists)
{
    if (from == nullptr || to == nullptr)
        return FALSE;
    std::error_code ec;
    if (!fs::is_regular_file(from, ec))
        return FALSE;
    if (fs::exists(to, ec)) {
        if (failIfExists)
            return FALSE;
        if (fs::equivalent(from, to, ec))
            return TRUE;
    }
    return CopyViaTemp(from, to) ? TRUE : FALSE;
}

BOOL MoveFileA(LPCSTR from, LPCSTR to)
{
    if (from == nullptr || to == nullptr)
        return FALSE;
    std::error_code ec;
    if (!fs::exists(from, ec))
        return FALSE;
    fs::rename(from, to, ec);
    if (!ec)
        return TRUE;
    if (ec != std::errc::cross_device_link)
        return FALSE;
    if (!CopyViaTemp(from, to))
        return FALSE;
    fs::remove(from, ec);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path)
{
    if (path == nullptr || *path == '\0')
        return FALSE;
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return FALSE;
    return fs::remove(path, ec) && !ec ? TRUE : FALSE;
}

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool FolderExists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

std::int64_t GetFileSizeOf(const std::string& path)
{
    std::error_code ec;
    auto n = fs::file_size(path, ec);
    if (ec)
        return -1;
    return static_cast<std::int64_t>(n);
}

bool ReplaceFileContent(const char* path, const std::function<bool(std::FILE*)>& write)
{
    if (path == nullptr)
        return false;
    struct stat old {};
    const bool exists = ::lstat(path, &old) == 0;
    if (!exists || S_ISREG(old.st_mode)) {
        const std::string name(path);
        const std::size_t slash = name.find_last_of('/');
        const std::string temp =
            MakeTempFile(slash == std::string::npos ? std::string(".") : name.substr(0, slash + 1), "new");
        if (!temp.empty()) {
            std::FILE* f = std::fopen(temp.c_str(), "wb");
            bool ok = f != nullptr && write(f) && std::fflush(f) == 0;
            if (ok && exists)
                ok = ::fchmod(::fileno(f), old.st_mode & 07777) == 0;
            if (f != nullptr && std::fclose(f) != 0)
                ok = false;
            if (ok && std::rename(temp.c_str(), path) == 0)
                return true;
            std::remove(temp.c_str());
            return false;
        }
    }
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr)
        return false;
    bool ok = write(f) && std::fflush(f) == 0;
    if (std::fclose(f) != 0)
        ok = false;
    return ok;
}
