// Free helpers used throughout the program: time formatting, decimal separators, colour bytes,
// path splitting, channel names and letters, float comparison and sorting, folder checks.
// They keep no state except FormatTime's shared result buffer. User-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"

#include <cstddef>

// Seconds since local midnight, with the milliseconds of the clock.
float GetSecondsOfDay();

// [-][hh:]mm:ss[.cc] (see the table of cases in the source). The text lives in one static
// buffer that the next call overwrites.
const char* FormatTime(float seconds, bool hundredths, bool forceHours);

// Replaces every '.' of text by ',' when the system's locale writes 1.0 with a decimal comma.
// False for a null text or a length outside 1..1023; true otherwise.
bool IsDecimalComma(char* text, int length);
inline bool LocalizeDecimalPoint(char* text, int length) { return IsDecimalComma(text, length); }
// The work of IsDecimalComma for a given decimal separator (the system's is asked there).
void ReplaceDecimalPoints(char* text, char separator);
// The decimal separator of the system's locale (LC_NUMERIC of the environment).
char SystemDecimalSeparator();

// True when a device with these capabilities shows colour.
bool IsColorDevice(int bitsPerPixel, int numColors, int planes);

constexpr BYTE ColorLowByte(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE ColorMidByte(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE ColorHighByte(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

// The folder of a path: the path cut at its last separator (searched from the end down to the
// second character; the separator is removed). Paths from Windows files use '\', ours '/':
// both separate. A path without a separator after its first character is left whole.
// The destination holds at most destSize-1 characters and is always terminated.
void GetFolderOfPath(const char* source, char* dest, std::size_t destSize);
template <std::size_t N>
void GetFolderOfPath(const char* source, char (&dest)[N])
{
    GetFolderOfPath(source, dest, N);
}

// The file name of a path: the part after the last separator, unless the path is shorter than
// 4 characters, has no separator after its first character, or that part has 4 characters
// or fewer; then the whole path. Bounded and always terminated.
void GetFileNameOfPath(const char* path, char* dest, std::size_t destSize);
template <std::size_t N>
void GetFileNameOfPath(const char* path, char (&dest)[N])
{
    GetFileNameOfPath(path, dest, N);
}

// 0..15 give 'A'..'P'; anything else 'X'.
char GetChannelLetter(int index);
// "Crown", "Brow", "Throat", "Heart", "Solar", "Sacral", "Base" for 0..6; two blanks otherwise.
const char* GetChannelLocationName(int index);

// trunc(p*a) == trunc(p*b) with p = 10^n truncated to an integer.
bool FloatsEqualToDecimals(float a, float b, int decimals);

// Sorts ascending when the array is given and count >= 2.
void SortFloats(float* values, int count);

// True when the three characters after the path's first '.' are "cfg" in any case (the path
// must have at least 5 characters).
bool HasConfigExtension(const char* path);

// True when the folder (or file) exists; otherwise reports it and returns false. Null: false.
bool CheckFolderExists(const char* folder);
