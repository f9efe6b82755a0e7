#include "res/BmpFile.h"

std::vector<std::uint8_t> EncodeBmp24(int width, int height, std::span<const std::uint32_t> pixels)
{
    const int w = width, h = height;
    const int row = ((w * 24 + 31) / 32) * 4;
    const std::uint32_t imageBytes = static_cast<std::uint32_t>(row * h);
    std::vector<std::uint8_t> out;
    auto u16 = [&](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    u32(14 + 40 + imageBytes);
    u32(0);
    u32(14 + 40);
    u32(40);
    u32(static_cast<std::uint32_t>(w));
    u32(static_cast<std::uint32_t>(h));
    u16(1);
    u16(24);
    u32(0);
    u32(imageBytes);
    u32(2835); // 72 dpi
    u32(2835);
    u32(0);
    u32(0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y * w + x)];
            out.push_back(static_cast<std::uint8_t>(p));
            out.push_back(static_cast<std::uint8_t>(p >> 8));
            out.push_back(static_cast<std::uint8_t>(p >> 16));
        }
        for (int pad = w * 3; pad < row; ++pad)
            out.push_back(0);
    }
    return out;
}
