// Helpers for the settings records: every record is a plain fixed-size structure that is
// zeroed whole before its defaults are set, copied whole, and compared byte for byte (dialogs
// edit copies; the frame compares old and new copies to decide what to re-apply). Zeroing the
// whole object, padding included, is what makes the byte comparison meaningful.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

template <class T>
inline void ZeroRecord(T& record)
{
    static_assert(std::is_trivially_copyable_v<T>, "settings records are copied byte for byte");
    std::memset(static_cast<void*>(&record), 0, sizeof(T));
}

template <class T>
inline bool SameRecordBytes(const T& a, const T& b)
{
    static_assert(std::is_trivially_copyable_v<T>, "settings records are compared byte for byte");
    return std::memcmp(static_cast<const void*>(&a), static_cast<const void*>(&b), sizeof(T)) == 0;
}

// Copies a text into a fixed char field, cut so that the field stays terminated.
template <std::size_t N>
inline void CopyField(char (&field)[N], const char* text)
{
    static_assert(N > 0);
    std::size_t n = 0;
    if (text != nullptr)
        while (n + 1 < N && text[n] != '\0')
            ++n;
    if (n > 0)
        std::memcpy(field, text, n);
    std::memset(field + n, 0, N - n);
}
