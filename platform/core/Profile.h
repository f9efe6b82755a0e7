// Private profile (INI) files with the Windows semantics the system's profiles, calibration
// files and file groups rely on:
// - sections and keys match without regard to (ASCII) case; the first occurrence wins;
// - lines may end in CRLF or LF, the last line may lack its line end, a UTF-8 byte-order mark
//   is skipped; lines starting with ';' are comments;
// - values are trimmed of blanks and of one pair of enclosing quotes;
// - a missing file, section or key gives the default;
// - a write updates the file in place: other sections, keys and comments stay as they are,
//   a new key goes after the last line of its section, a new section at the end; every line
//   is written back with CRLF, as Windows does.
// Files are read anew on every call; nothing is cached.
#pragma once

#include "platform/core/WinTypes.h"

// Copies the value of [section] key (or def when missing; null def is "") into buf, at most
// size-1 characters plus the terminating zero. Returns the characters copied.
// A null key lists the section's keys, a null section the file's sections, each terminated
// by a zero with a second zero at the end; when that list is cut, the result is size-2.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buf, DWORD size,
                               LPCSTR fileName);

// The value as an integer (decimal, or with 0x/0o/0b prefixes; optional sign; digits up to
// the first other character; no digits gives 0). A missing or empty value gives def.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT def, LPCSTR fileName);

// Sets [section] key=value. A null value deletes the key, a null key the whole section.
// Creates the file when missing. FALSE when the file cannot be written.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);

// The names of every section, as GetPrivateProfileStringA with a null section.
DWORD GetPrivateProfileSectionNamesA(LPSTR buf, DWORD size, LPCSTR fileName);
