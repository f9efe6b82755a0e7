#include "platform/core/SystemFolders.h"

#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

std::string GetModuleFileNameString()
{
    std::error_code ec;
    const fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

DWORD GetModuleFileNameA(void*, char* buf, DWORD nSize)
{
    const std::string p = GetModuleFileNameString();
    if (!buf || nSize == 0)
        return 0;
    const size_t n = std::min<size_t>(p.size(), nSize - 1);
    std::memcpy(buf, p.data(), n);
    buf[n] = '\0';
    return static_cast<DWORD>(n);
}

namespace {
std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string Home()
{
    std::string h = Env("HOME");
    return h.empty() ? std::string("/") : h;
}

// XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs ("$HOME/..." or an absolute path).
std::string DocumentsFromUserDirs()
{
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty())
        config = Home() + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.rfind(key, 0) != 0)
            continue;
        std::string v = line.substr(key.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
            v = v.substr(1, v.size() - 2);
        if (v.rfind("$HOME", 0) == 0)
            v = Home() + v.substr(5);
        if (!v.empty() && v.front() == '/')
            return v;
    }
    return {};
}

std::string StripSlash(std::string s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}
} // namespace

std::string GetPersonalFolder()
{
    std::string d = Env("XDG_DOCUMENTS_DIR");
    if (d.empty())
        d = DocumentsFromUserDirs();
    if (d.empty())
        d = Home() + "/Documents";
    return StripSlash(d);
}

std::string GetCommonAppDataFolder()
{
    std::string dirs = Env("XDG_DATA_DIRS");
    std::string first = dirs.substr(0, dirs.find(':'));
    if (first.empty())
        first = "/usr/local/share";
    return StripSlash(first);
}

long SHGetFolderPathA(void*, int csidl, void*, DWORD, char* pszPath)
{
    std::string p;
    switch (csidl & 0xFF) {
    case CSIDL_PERSONAL: p = GetPersonalFolder(); break;
    case CSIDL_COMMON_APPDATA: p = GetCommonAppDataFolder(); break;
    case CSIDL_APPDATA: {
        p = Env("XDG_DATA_HOME");
        if (p.empty())
            p = Home() + "/.local/share";
        p = StripSlash(p);
        break;
    }
    default: return 0x80070057L; // E_INVALIDARG
    }
    if (csidl & CSIDL_FLAG_CREATE) {
        std::error_code ec;
        fs::create_directories(p, ec);
    }
    if (!pszPath)
        return 0x80070057L;
    if (p.size() >= MAX_PATH)
        return 0x8007007AL; // the buffer is MAX_PATH long
    std::memcpy(pszPath, p.c_str(), p.size() + 1);
    return 0;
}

bool OpenInDesktopViewer(const std::string& path)
{
    // Arguments go straight to xdg-open, never through a shell.
    std::string prog = "xdg-open";
    char* argv[] = {prog.data(), const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    // Not waited for, as WinExec doesn't wait; reaped in the background so no zombie stays.
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return true;
}

UINT WinExec(LPCSTR lpCmdLine, UINT)
{
    if (!lpCmdLine)
        return 2;
    std::string line = lpCmdLine;
    std::string program, rest;
    size_t i = line.find_first_not_of(' ');
    if (i == std::string::npos)
        return 2;
    if (line[i] == '"') {
        const size_t end = line.find('"', i + 1);
        if (end == std::string::npos)
            return 2;
        program = line.substr(i + 1, end - i - 1);
        i = end + 1;
    } else {
        const size_t end = line.find(' ', i);
        program = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
        i = end == std::string::npos ? line.size() : end;
    }
    rest = line.substr(std::min(i, line.size()));
    const size_t b = rest.find_first_not_of(' ');
    rest = b == std::string::npos ? std::string() : rest.substr(b);
    while (!rest.empty() && rest.back() == ' ')
        rest.pop_back();
    // The program's base name, whatever the separators, compared without regard to case.
    const size_t slash = program.find_last_of("\\/");
    std::string base = slash == std::string::npos ? program : program.substr(slash + 1);
    for (char& c : base)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (base != "notepad.exe" && base != "explorer.exe" && base != "iexplore.exe" && base != "notepad" &&
        base != "explorer")
        return 2;
    if (rest.empty())
        return 2;
    return OpenInDesktopViewer(rest) ? 33 : 2;
}
