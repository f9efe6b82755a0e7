// Time: a monotonic millisecond clock (timeGetTime, GetTickCount), sleeping, and local time.
#pragma once

#include "platform/core/WinTypes.h"

// Milliseconds on a monotonic clock; wraps around after 2^32 ms like the Windows counter.
DWORD timeGetTime();
DWORD GetTickCount();
ULONGLONG GetTickCount64();
void Sleep(DWORD dwMilliseconds);

struct SYSTEMTIME {
    WORD wYear = 0;
    WORD wMonth = 0;     // 1..12
    WORD wDayOfWeek = 0; // 0 = Sunday
    WORD wDay = 0;
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
};
static_assert(sizeof(SYSTEMTIME) == 16, "Windows layout");
void GetLocalTime(SYSTEMTIME* lpSystemTime);
void GetSystemTime(SYSTEMTIME* lpSystemTime); // UTC
