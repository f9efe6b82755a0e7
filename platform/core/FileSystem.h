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

// Replaces a file's whole content with what `write` puts into the stream it is handed. The
// new content goes to a file beside the old one, which is renamed over it only when all of it
// is written, keeping the old file's permissions: a full disk or a crash leaves the old file,
// never half of one. A link is written through in place, so it stays a link; so is a file in
// a folder where no new file can be made. `write` returns false when it failed.
bool ReplaceFileContent(const char* path, const std::function<bool(std::FILE*)>& write);
