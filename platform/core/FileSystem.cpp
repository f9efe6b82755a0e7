#include "platform/core/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <csignal>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

thread_local std::string lastFileError;

void SetFileError(std::string why) { lastFileError = std::move(why); }
void SetFileErrno(int code)
{
    SetFileError(code != 0 ? std::error_code(code, std::generic_category()).message() : "the write failed");
}

// The file a path finally names: links are followed (relative ones from their own folder).
// A loop of links ends on a link, which the caller then refuses as no regular file.
std::string FollowLinks(std::string path)
{
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::error_code ec;
        fs::path target = fs::read_symlink(path, ec);
        if (ec)
            return path;
        if (target.is_relative())
            target = fs::path(path).parent_path() / target;
        path = target.string();
    }
    return path;
}

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

FileReadResult ReadSmallFile(const std::string& path, std::size_t maxBytes, std::string& out)
{
    out.clear();
    if (path.empty())
        return FileReadResult::Missing;
    // Non-blocking, so that a FIFO in the file's place cannot hold the caller up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR)
            return FileReadResult::Missing;
        SetFileErrno(code);
        return FileReadResult::Unreadable;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        SetFileErrno(errno);
        return FileReadResult::Unreadable;
    }
    if (S_ISDIR(st.st_mode)) {
        SetFileError("it is a folder");
        return FileReadResult::Unreadable;
    }
    if (!S_ISREG(st.st_mode)) {
        SetFileError("it is not a regular file");
        return FileReadResult::Unreadable;
    }
    const std::string tooLarge = "it is larger than the " + std::to_string(maxBytes) + " bytes a settings file may have";
    if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        SetFileError(tooLarge);
        return FileReadResult::Unreadable;
    }
    try {
        out.reserve(static_cast<std::size_t>(st.st_size));
        // Files under /proc say they are empty and are not: the bound counts what is read.
        char buf[65536];
        for (;;) {
            const ssize_t got = ::read(fd, buf, sizeof buf);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                SetFileErrno(errno);
                out.clear();
                return FileReadResult::Unreadable;
            }
            if (got == 0)
                break;
            if (out.size() + static_cast<std::size_t>(got) > maxBytes) {
                SetFileError(tooLarge);
                out.clear();
                return FileReadResult::Unreadable;
            }
            out.append(buf, static_cast<std::size_t>(got));
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        SetFileError("there is not enough memory to read it");
        return FileReadResult::Unreadable;
    }
    return FileReadResult::Ok;
}

const std::string& GetLastFileError() { return lastFileError; }

bool IsWriteProtectedFile(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0;
}

bool ReplaceFileContent(const char* path, const std::function<bool(std::FILE*)>& write)
{
    if (path == nullptr || *path == '\0') {
        SetFileError("no file name was given");
        return false;
    }
    const std::string target = FollowLinks(path);
    struct stat old {};
    const bool exists = ::lstat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) {
        SetFileErrno(errno);
        return false;
    }
    if (exists) {
        if (!S_ISREG(old.st_mode)) {
            SetFileError(S_ISDIR(old.st_mode) ? "it is a folder" : "it is not a regular file");
            return false;
        }
        if ((old.st_mode & 0222) == 0) {
            SetFileError("the file is write-protected");
            return false;
        }
        // What cannot be read is not replaced unseen.
        if (::access(target.c_str(), R_OK) != 0) {
            SetFileErrno(errno);
            return false;
        }
    }
    const std::size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    errno = 0;
    const std::string temp = MakeTempFile(folder, "new");
    if (temp.empty()) {
        const int code = errno;
        SetFileError("no new file can be made in " + folder + " (" +
                     (code != 0 ? std::error_code(code, std::generic_category()).message() : "no room") + ")");
        return false;
    }
    errno = 0;
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    bool ok = f != nullptr && write(f) && std::fflush(f) == 0;
    int code = ok ? 0 : errno;
    if (ok && exists && ::fchmod(::fileno(f), old.st_mode & 07777) != 0) {
        ok = false;
        code = errno;
    }
    if (f != nullptr && std::fclose(f) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && std::rename(temp.c_str(), target.c_str()) == 0)
        return true;
    if (ok)
        code = errno;
    SetFileErrno(code);
    std::remove(temp.c_str());
    return false;
}

void KeepProcessAliveAtFileSizeLimit() { std::signal(SIGXFSZ, SIG_IGN); }
