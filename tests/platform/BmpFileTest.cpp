// The bitmap files the resources draw at start-up, read back by Qt's own BMP reader.
#include "platform/core/Resources.h"
#include "res/BmpFile.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdint>
#include <vector>

namespace {
QImage Decode(const std::vector<std::uint8_t>& bytes)
{
    QImage image;
    image.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "BMP");
    return image;
}
} // namespace

TEST(BmpFile, RowsArePaddedToFourBytesAndReadBackTopRowFirst)
{
    // Width 3: 9 bytes of pixels a row, padded to 12.
    const std::vector<std::uint32_t> px = {0xFF0000, 0x00FF00, 0x0000FF, //
                                           0x123456, 0xFFFFFF, 0x000000};
    const std::vector<std::uint8_t> bytes = EncodeBmp24(3, 2, px);
    ASSERT_EQ(bytes.size(), 14u + 40u + 2u * 12u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[2] | bytes[3] << 8, int(bytes.size())); // file size, little-endian
    EXPECT_EQ(bytes[28], 24);                                // bits a pixel
    // Bottom-up: the file's first row is the picture's last, blue-green-red.
    EXPECT_EQ(bytes[54], 0x56);
    EXPECT_EQ(bytes[55], 0x34);
    EXPECT_EQ(bytes[56], 0x12);

    const QImage image = Decode(bytes);
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(3, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(image.pixel(x, y) & 0xFFFFFF, px[size_t(y * 3 + x)]) << x << "," << y;
}

TEST(BmpFile, TheRegisteredLogoAndToolPicturesAreReadableBitmaps)
{
    RegisterBuiltInResources();
    for (const char* name : {"SPLASH_SCREEN_LOGO", "FileNewUp", "FileNewDn", "FileNewGr", "RunUp"}) {
        const auto bytes = FindResourceBytes(ResType::Bitmap, name);
        ASSERT_FALSE(bytes.empty()) << name;
        const QImage image = Decode(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        EXPECT_FALSE(image.isNull()) << name;
    }
    const auto logo = FindResourceBytes(ResType::Bitmap, "SPLASH_SCREEN_LOGO");
    EXPECT_EQ(Decode(std::vector<std::uint8_t>(logo.begin(), logo.end())).size(), QSize(245, 227));
}
