// Little-endian 32-bit fields of the binary result files, written and read byte by byte so
// that files stay the same on every machine.
#pragma once

#include <cstdint>
#include <cstring>

inline void PutU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint32_t GetU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

inline void PutFloat(std::uint8_t* p, float f)
{
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    PutU32(p, v);
}

inline float GetFloat(const std::uint8_t* p)
{
    const std::uint32_t v = GetU32(p);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}
