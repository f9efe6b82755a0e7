#include "records/CommonRoutines.h"

#include "platform/core/MessageBox.h"

#include <cctype>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>

float GetSecondsOfDay()
{
    // One reading of the clock gives both the seconds and the milliseconds, so the time of
    // day never steps back at a second's boundary.
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    if (ms < 0)
        ms += 1000;
    return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) +
           static_cast<float>(ms) / 1000.0f;
}

const char* FormatTime(float seconds, bool hundredths, bool forceHours)
{
    static char text[64];
    bool negative = seconds < 0.0f;
    double s = std::fabs(static_cast<double>(seconds));
    // Beyond a day (or not a number) the whole seconds wrap, so the conversion stays in range.
    double whole = std::trunc(s);
    long long t = 0;
    if (std::isfinite(whole))
        t = whole >= 86400.0 ? static_cast<long long>(std::fmod(whole, 86400.0)) : static_cast<long long>(whole);
    int h = static_cast<int>(t / 3600);
    int m = static_cast<int>((t % 3600) / 60);
    int sec = static_cast<int>(t % 60);
    int cs = std::isfinite(s) ? static_cast<int>(std::trunc((s - std::trunc(s)) * 100.0)) : 0;
    const char* sign = negative ? "-" : "";
    if (h == 0 && m == 0 && !forceHours) {
        if (hundredths)
            std::snprintf(text, sizeof text, "%s%d.%02d", sign, sec, cs);
        else
            std::snprintf(text, sizeof text, "%s%d", sign, sec);
    } else if (h == 0 && !forceHours) {
        if (hundredths)
            std::snprintf(text, sizeof text, "%s%d:%02d.%02d", sign, m, sec, cs);
        else
            std::snprintf(text, sizeof text, "%s%d:%02d", sign, m, sec);
    } else {
        if (hundredths)
            std::snprintf(text, sizeof text, "%s%02d:%02d:%02d.%02d", sign, h, m, sec, cs);
        else
            std::snprintf(text, sizeof text, "%s%02d:%02d:%02d", sign, h, m, sec);
    }
    return text;
}

char SystemDecimalSeparator()
{
    locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return '.';
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    char sep = (radix != nullptr && radix[0] != '\0') ? radix[0] : '.';
    freelocale(loc);
    return sep;
}

void ReplaceDecimalPoints(char* text, char separator)
{
    if (text == nullptr || separator != ',')
        return;
    for (char* p = text; *p != '\0'; ++p)
        if (*p == '.')
            *p = ',';
}

bool IsDecimalComma(char* text, int length)
{
    if (text == nullptr || length < 1 || length > 1023)
        return false;
    ReplaceDecimalPoints(text, SystemDecimalSeparator());
    return true;
}

bool IsColorDevice(int bitsPerPixel, int numColors, int planes)
{
    return bitsPerPixel >= 2 || numColors >= 3 || planes >= 2;
}

namespace {
bool IsSeparator(char c) { return c == '/' || c == '\\'; }

void BoundedCopy(char* dest, std::size_t destSize, const char* src, std::size_t n)
{
    if (destSize == 0)
        return;
    if (n > destSize - 1)
        n = destSize - 1;
    std::memmove(dest, src, n);
    dest[n] = '\0';
}
} // namespace

void GetFolderOfPath(const char* source, char* dest, std::size_t destSize)
{
    if (source == nullptr || dest == nullptr || destSize == 0)
        return;
    std::size_t len = std::strlen(source);
    std::size_t cut = len;
    for (std::size_t i = len; i-- > 1;) {
        if (IsSeparator(source[i])) {
            cut = i;
            break;
        }
    }
    BoundedCopy(dest, destSize, source, cut);
}

void GetFileNameOfPath(const char* path, char* dest, std::size_t destSize)
{
    if (path == nullptr || dest == nullptr || destSize == 0)
        return;
    std::size_t len = std::strlen(path);
    std::size_t last = 0;
    for (std::size_t i = len; i-- > 1;) {
        if (IsSeparator(path[i])) {
            last = i;
            break;
        }
    }
    if (len < 4 || last == 0 || len - last - 1 <= 4)
        BoundedCopy(dest, destSize, path, len);
    else
        BoundedCopy(dest, destSize, path + last + 1, len - last - 1);
}

char GetChannelLetter(int index)
{
    return (index >= 0 && index < 16) ? static_cast<char>('A' + index) : 'X';
}

const char* GetChannelLocationName(int index)
{
    static const char* const kNames[7] = {"Crown", "Brow", "Throat", "Heart", "Solar", "Sacral", "Base"};
    return (index >= 0 && index < 7) ? kNames[index] : "  ";
}

bool FloatsEqualToDecimals(float a, float b, int decimals)
{
    // p is an integer power of ten, the products are taken in float as the callers' values are.
    float p = static_cast<float>(std::trunc(std::pow(10.0, decimals)));
    return std::trunc(p * a) == std::trunc(p * b);
}

namespace {
int CompareFloats(const void* a, const void* b)
{
    float x = *static_cast<const float*>(a);
    float y = *static_cast<const float*>(b);
    if (x == y)
        return 0;
    return x > y ? 1 : -1;
}
} // namespace

void SortFloats(float* values, int count)
{
    if (values == nullptr || count < 2)
        return;
    std::qsort(values, static_cast<std::size_t>(count), sizeof(float), CompareFloats);
}

bool HasConfigExtension(const char* path)
{
    if (path == nullptr || std::strlen(path) < 5)
        return false;
    const char* dot = std::strchr(path, '.');
    if (dot == nullptr)
        return false;
    const char* ext = dot + 1;
    if (std::strlen(ext) < 3)
        return false;
    return std::tolower(static_cast<unsigned char>(ext[0])) == 'c' &&
           std::tolower(static_cast<unsigned char>(ext[1])) == 'f' &&
           std::tolower(static_cast<unsigned char>(ext[2])) == 'g';
}

bool CheckFolderExists(const char* folder)
{
    if (folder == nullptr)
        return false;
    struct stat st {};
    if (::stat(folder, &st) == 0)
        return true;
    char text[600];
    std::snprintf(text, sizeof text,
                  "The file folder \"%s\" does not exist!  Please check the path/folder settings under the "
                  "<File><Set Paths> menu.",
                  folder);
    MessageBoxA(nullptr, text, std::string(), MB_OK | MB_ICONSTOP);
    return false;
}
