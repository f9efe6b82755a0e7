// Windows bitmap files for the pictures the resources draw at start-up.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// A 24-bit bottom-up .bmp file (14-byte file header, 40-byte info header, rows padded to four
// bytes) of a width x height picture given as 0xRRGGBB pixels, top row first.
std::vector<std::uint8_t> EncodeBmp24(int width, int height, std::span<const std::uint32_t> pixels);
