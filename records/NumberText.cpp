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

bool ParseTypedNumber(const std::string& text, double& value)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    // from_chars takes a minus only: a plus is skipped, and no second sign may follow it.
    if (begin < end && text[begin] == '+' && ++begin < end && (text[begin] == '-' || text[begin] == '+'))
        return false;
    if (begin == end)
        return false;
    double parsed = 0.0;
    const std::from_chars_result r = std::from_chars(text.data() + begin, text.data() + end, parsed,
                                                     std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != text.data() + end || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

namespace {
// Limits as a user reads them: "20000", "0.5", "1e+06".
std::string Shown(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}
} // namespace

std::string CheckTypedNumber(const std::string& text, const NumberField& field, double& value)
{
    double parsed = 0.0;
    const std::string name = field.Name != nullptr ? field.Name : "The value";
    if (!ParseTypedNumber(text, parsed))
        return name + ": \"" + text.substr(0, 40) + "\" is not a number.  Please enter a number.";
    if (field.Integer && parsed != std::floor(parsed))
        return name + " must be a whole number.";
    constexpr double kUnbounded = std::numeric_limits<double>::max();
    if (parsed < field.Min || parsed > field.Max) {
        if (field.Max == kUnbounded)
            return name + " must be at least " + Shown(field.Min) + ".";
        if (field.Min == -kUnbounded)
            return name + " must be at most " + Shown(field.Max) + ".";
        return name + " must be between " + Shown(field.Min) + " and " + Shown(field.Max) + ".";
    }
    value = parsed;
    return {};
}
