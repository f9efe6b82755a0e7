// Bitmaps: creation, resources, .bmp files byte by byte, device-independent bitmaps.
#include "GdiTestSupport.h"

#include "platform/core/Resources.h"

#include <QBuffer>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

std::uint32_t Le32(const std::vector<BYTE>& b, size_t at)
{
    return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16) |
           (std::uint32_t(b[at + 3]) << 24);
}

// A 3 x 2 24-bit .bmp written out by hand from the format's description: bottom-up rows,
// each padded to four bytes.
std::vector<BYTE> HandMadeBmp()
{
    std::vector<BYTE> f = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
    const BYTE info[40] = {40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
    f.insert(f.end(), info, info + 40);
    // Bottom row (y = 1): blue, green, red; then the top row (y = 0): white, black, grey.
    const BYTE rows[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0,
                         255, 255, 255, 0, 0, 0, 128, 128, 128, 0, 0, 0};
    f.insert(f.end(), rows, rows + sizeof rows);
    const std::uint32_t size = std::uint32_t(f.size());
    for (int i = 0; i < 4; ++i)
        f[2 + i] = BYTE(size >> (8 * i));
    return f;
}

class GdiBitmap : public ::testing::Test {
protected:
    void SetUp() override { gditest::EnsureApp(); }
};

TEST_F(GdiBitmap, ReadsAHandMadeFileAndRefusesBrokenOnes)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "gdi-bitmap-test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "hand.bmp").string();
    std::vector<BYTE> bytes = HandMadeBmp();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

    CBitmap bmp;
    ASSERT_TRUE(LoadBitmapFile(bmp, path));
    EXPECT_EQ(bmp.GetBitmapDimension(), CSize(3, 2));
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    mem.SelectObject(&bmp);
    EXPECT_EQ(mem.GetPixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(mem.GetPixel(2, 0), RGB(128, 128, 128));
    EXPECT_EQ(mem.GetPixel(0, 1), RGB(0, 0, 255));
    EXPECT_EQ(mem.GetPixel(2, 1), RGB(255, 0, 0));

    // Truncated pixel data, a wrong bit count and a missing file are refused, not read.
    for (auto damage : {0, 1, 2}) {
        std::vector<BYTE> bad = bytes;
        if (damage == 0)
            bad.resize(bad.size() - 5);
        if (damage == 1)
            bad[14 + 14] = 7;
        const std::string p = (dir / "bad.bmp").string();
        if (damage == 2)
            std::filesystem::remove(p);
        else
            std::ofstream(p, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bad.data()), std::streamsize(bad.size()));
        CBitmap b;
        EXPECT_FALSE(LoadBitmapFile(b, p)) << damage;
        EXPECT_EQ(b.GetSafeHandle(), nullptr);
    }
    std::filesystem::remove_all(dir);
}

TEST_F(GdiBitmap, SavedFileHasTheWindowsLayout)
{
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap bmp;
    ASSERT_TRUE(bmp.CreateCompatibleBitmap(&mem, 3, 2));
    mem.SelectObject(&bmp);
    mem.SetPixel(0, 0, RGB(1, 2, 3));
    mem.SetPixel(2, 1, RGB(250, 251, 252));
    const std::vector<BYTE> f = EncodeBitmapFile(bmp);
    ASSERT_EQ(f.size(), 14u + 40u + 2u * 12u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(Le32(f, 2), f.size());
    EXPECT_EQ(Le32(f, 10), 54u);
    EXPECT_EQ(Le32(f, 14), 40u);
    EXPECT_EQ(Le32(f, 18), 3u);
    EXPECT_EQ(Le32(f, 22), 2u); // positive: bottom-up
    EXPECT_EQ(f[26] | (f[27] << 8), 1);
    EXPECT_EQ(f[28] | (f[29] << 8), 24);
    // First stored row is the bottom one: pixel (2,1) at its end, as B, G, R.
    EXPECT_EQ(f[54 + 6], 252);
    EXPECT_EQ(f[54 + 7], 251);
    EXPECT_EQ(f[54 + 8], 250);
    EXPECT_EQ(f[54 + 9], 0); // padding
    EXPECT_EQ(f[54 + 12 + 0], 3);
    EXPECT_EQ(f[54 + 12 + 2], 1);

    // Another reader (Qt's image plug-in) sees the same pixels.
    QByteArray raw(reinterpret_cast<const char*>(f.data()), qsizetype(f.size()));
    QBuffer buf(&raw);
    QImageReader reader(&buf, "BMP");
    const QImage img = reader.read();
    ASSERT_FALSE(img.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(gditest::At(img, 0, 0), RGB(1, 2, 3));
    EXPECT_EQ(gditest::At(img, 2, 1), RGB(250, 251, 252));

    const std::string path = (std::filesystem::temp_directory_path() / "gdi-save-test.bmp").string();
    ASSERT_TRUE(SaveBitmapFile(bmp, path));
    EXPECT_EQ(std::filesystem::file_size(path), f.size());
    std::filesystem::remove(path);
    CBitmap empty;
    EXPECT_FALSE(SaveBitmapFile(empty, path));
    EXPECT_FALSE(SaveBitmapFile(bmp, "/nonexistent-folder/x.bmp"));
}

TEST_F(GdiBitmap, LoadsBitmapResourcesByNameAndId)
{
    const std::vector<BYTE> bmp = HandMadeBmp();
    RegisterResource(ResType::Bitmap, "GDITEST_BMP", bmp);
    // A PNG made by Qt's writer stands for artwork kept as PNG.
    QImage png(4, 3, QImage::Format_RGB32);
    png.fill(qRgb(10, 20, 30));
    QByteArray pngBytes;
    QBuffer out(&pngBytes);
    out.open(QIODevice::WriteOnly);
    ASSERT_TRUE(png.save(&out, "PNG"));
    RegisterResource(ResType::Bitmap, 4242u,
                     std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(pngBytes.constData()), size_t(pngBytes.size())));
    // A bare DIB (no file header), as resource compilers store bitmaps.
    RegisterResource(ResType::Bitmap, "GDITEST_DIB", std::span<const std::uint8_t>(bmp).subspan(14));

    CBitmap a, b, c, missing;
    ASSERT_TRUE(a.LoadBitmap("gditest_bmp")); // names compare without case
    ASSERT_TRUE(b.LoadBitmap(4242));
    ASSERT_TRUE(c.LoadBitmap("GDITEST_DIB"));
    EXPECT_FALSE(missing.LoadBitmap("NO_SUCH_BITMAP"));
    EXPECT_EQ(missing.GetSafeHandle(), nullptr);
    BITMAP bm;
    ASSERT_TRUE(b.GetBitmap(&bm));
    EXPECT_EQ(bm.bmWidth, 4);
    EXPECT_EQ(bm.bmHeight, 3);
    EXPECT_EQ(c.GetBitmapDimension(), CSize(3, 2));
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    mem.SelectObject(&b);
    EXPECT_EQ(mem.GetPixel(3, 2), RGB(10, 20, 30));
}

TEST_F(GdiBitmap, DibRoundTripAndStretchDIBitsOrientation)
{
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap bmp;
    bmp.CreateCompatibleBitmap(&mem, 5, 3);
    mem.SelectObject(&bmp);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            mem.SetPixel(x, y, RGB(x * 50, y * 100, 7));

    std::vector<BYTE> buf(sizeof(BITMAPINFO));
    auto* info = reinterpret_cast<BITMAPINFO*>(buf.data());
    info->bmiHeader = BITMAPINFOHEADER{};
    // A zero bit count asks for the header only.
    EXPECT_EQ(GetDIBits(mem, bmp, 0, 3, nullptr, info, DIB_RGB_COLORS), 3);
    EXPECT_EQ(info->bmiHeader.biWidth, 5);
    EXPECT_EQ(info->bmiHeader.biBitCount, 32);
    info->bmiHeader.biBitCount = 24;
    std::vector<BYTE> bits(size_t(DibRowBytes(5, 24) * 3));
    ASSERT_EQ(GetDIBits(mem, bmp, 0, 3, bits.data(), info, DIB_RGB_COLORS), 3);
    EXPECT_EQ(info->bmiHeader.biSizeImage, bits.size());
    // Bottom-up: the first row is y = 2.
    EXPECT_EQ(bits[0], 7);
    EXPECT_EQ(bits[1], 200);
    EXPECT_EQ(bits[2], 0);

    CSurface surface;
    surface.Resize(20, 20);
    surface.Image().fill(Qt::white);
    CSurfaceDC dc(&surface);
    dc.SetStretchBltMode(COLORONCOLOR);
    EXPECT_EQ(StretchDIBits(dc, 2, 2, 10, 6, 0, 0, 5, 3, bits.data(), info, DIB_RGB_COLORS, SRCCOPY), 3);
    EXPECT_EQ(dc.GetPixel(2, 2), RGB(0, 0, 7));
    EXPECT_EQ(dc.GetPixel(11, 7), RGB(200, 200, 7));
    EXPECT_EQ(dc.GetPixel(12, 2), RGB(255, 255, 255));

    // And back into another bitmap.
    CBitmap copy;
    copy.CreateCompatibleBitmap(&mem, 5, 3);
    EXPECT_EQ(SetDIBits(mem, copy, 0, 3, bits.data(), info, DIB_RGB_COLORS), 3);
    CDC mem2;
    mem2.CreateCompatibleDC(nullptr);
    mem2.SelectObject(&copy);
    EXPECT_EQ(mem2.GetPixel(4, 1), RGB(200, 100, 7));
}

TEST_F(GdiBitmap, DetachedHandlesLiveUntilDeleted)
{
    CBitmap bmp;
    ASSERT_TRUE(bmp.CreateBitmap(2, 2, 1, 32, nullptr));
    HBITMAP h = static_cast<HBITMAP>(bmp.Detach());
    EXPECT_EQ(bmp.GetSafeHandle(), nullptr);
    CBitmap* view = CBitmap::FromHandle(h);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetBitmapDimension(), CSize(2, 2));
    EXPECT_TRUE(DeleteObject(h));
    EXPECT_FALSE(DeleteObject(h));
    EXPECT_EQ(CBitmap::FromHandle(h), nullptr);
    CBitmap again;
    EXPECT_FALSE(again.Attach(h));
}

} // namespace

namespace {

// A memory context starts on a black one-pixel monochrome bitmap, whatever the context before
// it did to its own: drew on it, or handed it out and had it held past its end.
TEST_F(GdiBitmap, EveryMemoryContextStartsOnABlackPixel)
{
    auto expectFresh = [](CDC& mem) {
        BITMAP info{};
        ASSERT_NE(mem.GetCurrentBitmap(), nullptr);
        mem.GetCurrentBitmap()->GetBitmap(&info);
        EXPECT_EQ(info.bmWidth, 1);
        EXPECT_EQ(info.bmHeight, 1);
        EXPECT_EQ(info.bmBitsPixel, 1);
        EXPECT_EQ(mem.GetPixel(0, 0), RGB(0, 0, 0));
    };
    for (int round = 0; round < 3; ++round) {
        CDC mem;
        ASSERT_TRUE(mem.CreateCompatibleDC(nullptr));
        expectFresh(mem);
        mem.SetPixel(0, 0, RGB(255, 255, 255));
        EXPECT_EQ(mem.GetPixel(0, 0), RGB(255, 255, 255));
    }
    // The first bitmap selected out and kept as a bitmap of its own outlives its context, and
    // the next context gets another.
    CBitmap kept;
    {
        CDC mem;
        ASSERT_TRUE(mem.CreateCompatibleDC(nullptr));
        CBitmap wide;
        ASSERT_TRUE(wide.CreateBitmap(4, 4, 1, 32, nullptr));
        CBitmap* first = mem.SelectObject(&wide);
        ASSERT_NE(first, nullptr);
        ASSERT_TRUE(kept.Attach(first->Detach()));
        mem.SelectObject(&kept);
        mem.SetPixel(0, 0, RGB(255, 255, 255));
        mem.SelectObject(&wide);
    }
    CDC next;
    ASSERT_TRUE(next.CreateCompatibleDC(nullptr));
    expectFresh(next);
    EXPECT_NE(next.GetCurrentBitmap()->GetSafeHandle(), kept.GetSafeHandle());
    CDC view;
    ASSERT_TRUE(view.CreateCompatibleDC(nullptr));
    view.SelectObject(&kept);
    EXPECT_EQ(view.GetPixel(0, 0), RGB(255, 255, 255));
}

} // namespace
