// Files and temporary names over std::filesystem, with the Windows calls the system's code
// is written against. Paths are '/'-separated and case-sensitive. Nothing here throws.
#pragma once

#include "platform/core/WinTypes.h"

#include <cstdio>
#include <cstdint>
#include <functional>
#include <string>

// The system's temporary folder with a trailing '/'. Returns its length, 0 on failure.
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer);
std::string GetSystemTempFolder();

// Creates a new, empty, uniquely named file "<prefix><hex>.tmp" in `folder` (only the first
// three characters of the prefix are used) and writes its full name to `out` (MAX_PATH bytes).
// With `unique` nonzero the name is made from it and no file is created, as on Windows.
// Returns the number used in the name, 0 on failure.
UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR out);
// The same for modern callers: the new file's path, or an empty string on failure. An empty
// folder means the system's temporary folder.
std::string MakeTempFile(const std::string& folder, const std::string& prefix = "wav");

// Copies a file; with failIfExists an existing target is kept and the call fails.
BOOL CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists);
// Renames a file, replacing an existing target; across file systems it copies to a
// temporary name beside the target, renames that into place and then deletes the source,
// so that a failure never leaves a half-written target.
BOOL MoveFileA(LPCSTR from, LPCSTR to);
// Deletes a file; FALSE when it is missing or cannot be removed.
BOOL DeleteFileA(LPCSTR path);

bool FileExists(const std::string& path);      // a regular file exists there
bool FolderExists(const std::string& path);    // a folder exists there
// Size in bytes, or -1 when the file is missing or unreadable.
std::int64_t GetFileSizeOf(const std::string& path);

// What reading a settings file found.
enum class FileReadResult {
    Ok,         // the whole file was read
    Missing,    // nothing is there (a link that leads nowhere counts as nothing)
    Unreadable, // something is there that cannot be read as a file: see GetLastFileError()
};
// Settings files (profiles, configurations, groups, calibrations) are never larger than this.
constexpr std::size_t kMaxSettingsFileBytes = 16u << 20;

// Reads a whole regular file of at most maxBytes into `out`. A folder, a FIFO, a device, a
// file larger than maxBytes or one whose read fails (no permission, an I/O error) is
// Unreadable; nothing here blocks on a FIFO or reads a device without end.
FileReadResult ReadSmallFile(const std::string& path, std::size_t maxBytes, std::string& out);

// Why the last file call of this thread that failed did so ("Is a directory", "No space left
// on device"), for messages.
const std::string& GetLastFileError();

// True when a regular file (or a link to one) is there and carries no write permission: the
// user marked it read-only, and the system does not replace it.
bool IsWriteProtectedFile(const std::string& path);

// Replaces a file's whole content with what `write` puts into the stream it is handed. The
// new content goes to a file beside the old one, which is renamed over it only when all of it
// is written, keeping the old file's permissions: a full disk, a file-size limit or a crash
// leaves the old file, never half of one, and no temporary file. A link is followed, so it
// stays a link and its target is replaced the same way. Nothing is written, and false
// returned, when the new file cannot be made beside the old one (never in place), or when the
// old one is write-protected, unreadable or not a regular file. `write` returns false when it
// failed. GetLastFileError() tells why a replacement failed.
bool ReplaceFileContent(const char* path, const std::function<bool(std::FILE*)>& write);

// File-size limits (ulimit -f) make writes past them fail instead of ending the process, so
// that a save can report the failure and clean up. Called once at start.
void KeepProcessAliveAtFileSizeLimit();
