// Where things are: the running module, the user's documents folder, the common application
// data folder, found the XDG way; and opening a file or folder in the
// desktop's viewer.
#pragma once

#include "platform/core/WinTypes.h"

#include <string>

// The running executable's full path ("" when it can't be found).
std::string GetModuleFileNameString();
// GetModuleFileNameA: copies the path (NUL-terminated, cut to nSize - 1); returns its length.
DWORD GetModuleFileNameA(void* hModule, char* lpFilename, DWORD nSize);

// SHGetFolderPathA's folders.
constexpr int CSIDL_PERSONAL = 0x0005;
constexpr int CSIDL_APPDATA = 0x001A;
constexpr int CSIDL_COMMON_APPDATA = 0x0023;
constexpr int CSIDL_FLAG_CREATE = 0x8000;
// Personal: $XDG_DOCUMENTS_DIR (from user-dirs.dirs), else $HOME/Documents.
// Common application data: the first of $XDG_DATA_DIRS (default /usr/local/share).
// Application data: $XDG_DATA_HOME, else $HOME/.local/share.
// Returns 0 (S_OK) and the folder without a trailing '/', or a nonzero code when unknown.
long SHGetFolderPathA(void* hwnd, int csidl, void* hToken, DWORD dwFlags, char* pszPath);
std::string GetPersonalFolder();
std::string GetCommonAppDataFolder();

// The temporary folder (GetTempPathA) is in platform/core/FileSystem.h.

// Opens a file in the desktop's text viewer or a folder in its file manager (xdg-open),
// without waiting. Returns false when the viewer could not be started.
bool OpenInDesktopViewer(const std::string& path);

// WinExec of the Windows viewers the program starts ("notepad.exe <file>", "explorer.exe
// <folder>", "...\\iexplore.exe <address>"): the rest of the command line after the program is
// one path or address, opened with OpenInDesktopViewer. Returns a value above 31 when the
// viewer started, 2 for any other program (nothing else is started).
UINT WinExec(LPCSTR lpCmdLine, UINT uCmdShow);
