#include "records/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The text after leading blanks and one optional sign.
const char* SkipBlanksAndSign(const char* p, bool& negative)
{
    while (IsBlank(*p))
        ++p;
    negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    return p;
}
} // namespace

std::int64_t ParseDecimalInteger(const char* text)
{
    if (text == nullptr)
        return 0;
    bool negative = false;
    const char* p = SkipBlanksAndSign(text, negative);
    std::uint64_t value = 0;
    constexpr std::uint64_t kLimit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    bool saturated = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        unsigned digit = static_cast<unsigned>(*p - '0');
        if (value > (kLimit - digit) / 10) {
            saturated = true;
            value = kLimit;
        } else if (!saturated) {
            value = value * 10 + digit;
        }
    }
    return negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
}

double ParseDecimalFloat(const char* text, double fallback)
{
    if (text == nullptr)
        return 0.0;
    bool negative = false;
    const char* p = SkipBlanksAndSign(text, negative);
    if (*p == '-' || *p == '+')
        return 0.0;
    const char* end = p;
    while (*end != '\0')
        ++end;
    double value = 0.0;
    std::from_chars_result r = std::from_chars(p, end, value, std::chars_format::general);
    if (r.ec == std::errc::invalid_argument)
        return 0.0;
    if (r.ec != std::errc() || !std::isfinite(value))
        return fallback;
    return negative ? -value : value;
}

float NarrowToFloat(double value, float fallback)
{
    constexpr double kMax = std::numeric_limits<float>::max();
    if (!(value >= -kMax && value <= kMax))
        return fallback;
    return static_cast<float>(value);
}

std::string FormatFixed(double value, int decimals)
{
    char buf[400];
    std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return std::string();
    return std::string(buf, r.ptr);
}

std::string FormatExponent(double value)
{
    char buf[64];
    std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 6);
    if (r.ec != std::errc())
        return std::string();
    return std::string(buf, r.ptr);
}
