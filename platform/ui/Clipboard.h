// The clipboard, over the desktop's (Qt's) clipboard.
//
// Formats: CF_TEXT (text; lines end in "\r\n" as the program writes them; other programs get
// plain "\n" text), CF_UNICODETEXT, CF_WAVE (the RIFF bytes, offered as audio/wav), CF_BITMAP
// and CF_DIB (an image), and formats made with RegisterClipboardFormat ("Link"), carried as
// their exact bytes under a MIME type of their own.
//
// As on Windows, data is handed over in movable memory blocks (platform/core/GlobalMemory.h),
// or as a bitmap handle for CF_BITMAP, and the clipboard owns what SetClipboardData is given.
// What GetClipboardData returns belongs to the clipboard and stays valid until the clipboard
// is emptied or closed. Everything waits for CloseClipboard before other programs see it.
// User-interface thread only.
#pragma once

#include "platform/core/GlobalMemory.h"
#include "platform/ui/GdiTypes.h"

#include <string>

constexpr UINT CF_TEXT = 1;
constexpr UINT CF_BITMAP = 2;
constexpr UINT CF_OEMTEXT = 7;
constexpr UINT CF_DIB = 8;
constexpr UINT CF_PALETTE = 9;
constexpr UINT CF_RIFF = 11;
constexpr UINT CF_WAVE = 12;
constexpr UINT CF_UNICODETEXT = 13;

// Opens the clipboard for the given window (any pointer that names the owner, or null);
// fails when it is already open or there is no clipboard.
BOOL OpenClipboard(const void* owner = nullptr);
BOOL CloseClipboard();
// Removes everything; the clipboard must be open.
BOOL EmptyClipboard();
// Puts data on the open clipboard and takes ownership of it; returns the handle, or null
// (keeping nothing) when the clipboard is not open or the format or data is not usable.
HANDLE SetClipboardData(UINT format, HANDLE data);
// The data in the format, or null when there is none or the clipboard is not open.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
// A format id (0xC000 and up) for the name; the same name (in any case) gives the same id.
UINT RegisterClipboardFormatA(const char* name);
inline UINT RegisterClipboardFormat(const char* name) { return RegisterClipboardFormatA(name); }
int GetClipboardFormatNameA(UINT format, char* name, int size);
// The formats available, in turn: pass 0 to start; 0 at the end.
UINT EnumClipboardFormats(UINT format);
