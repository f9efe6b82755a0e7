#include "platform/core/SysTime.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace {
ULONGLONG MonotonicMs()
{
    using namespace std::chrono;
    return static_cast<ULONGLONG>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void Fill(SYSTEMTIME* st, bool local)
{
    if (!st)
        return;
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    if (local)
        localtime_r(&t, &tm);
    else
        gmtime_r(&t, &tm);
    st->wYear = static_cast<WORD>(tm.tm_year + 1900);
    st->wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st->wDay = static_cast<WORD>(tm.tm_mday);
    st->wHour = static_cast<WORD>(tm.tm_hour);
    st->wMinute = static_cast<WORD>(tm.tm_min);
    st->wSecond = static_cast<WORD>(tm.tm_sec);
    st->wMilliseconds = static_cast<WORD>(ms < 0 ? 0 : ms);
}
} // namespace

DWORD timeGetTime() { return static_cast<DWORD>(MonotonicMs()); }
DWORD GetTickCount() { return static_cast<DWORD>(MonotonicMs()); }
ULONGLONG GetTickCount64() { return MonotonicMs(); }

void Sleep(DWORD ms)
{
    if (ms == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void GetLocalTime(SYSTEMTIME* st) { Fill(st, true); }
void GetSystemTime(SYSTEMTIME* st) { Fill(st, false); }
