// Clipboard round trips: text, wave bytes, bitmaps and registered formats.
#include "GdiTestSupport.h"

#include "platform/ui/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

HGLOBAL Block(const std::vector<BYTE>& bytes)
{
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size());
    std::memcpy(GlobalLock(g), bytes.data(), bytes.size());
    GlobalUnlock(g);
    return g;
}

std::vector<BYTE> Bytes(HANDLE h)
{
    const SIZE_T n = GlobalSize(h);
    const auto* p = static_cast<const BYTE*>(GlobalLock(h));
    std::vector<BYTE> out(p, p + n);
    GlobalUnlock(h);
    return out;
}

class Clipboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        gditest::EnsureApp();
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override { CloseClipboard(); }
};

TEST_F(Clipboard, TextRoundTripKeepsWindowsLineEnds)
{
    const std::string text = "Freq\tLevel\r\n100.0\t-3.5\r\n";
    ASSERT_TRUE(OpenClipboard(this));
    EXPECT_FALSE(OpenClipboard(this)); // already open
    ASSERT_TRUE(EmptyClipboard());
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.push_back(0);
    HGLOBAL g = Block(bytes);
    EXPECT_EQ(SetClipboardData(CF_TEXT, g), g);
    ASSERT_TRUE(CloseClipboard());
    // Other programs see plain text with their own line ends.
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "Freq\tLevel\n100.0\t-3.5\n");

    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_WAVE));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE h = GetClipboardData(CF_TEXT);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(h)), text.c_str());
    GlobalUnlock(h);
    CloseClipboard();

    // Text put there by another program comes back with "\r\n" line ends.
    QGuiApplication::clipboard()->setText("a\nb");
    OpenClipboard(nullptr);
    h = GetClipboardData(CF_TEXT);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(h)), "a\r\nb");
    GlobalUnlock(h);
}

TEST_F(Clipboard, WaveBytesAndRegisteredFormatsTravelExactly)
{
    // A small RIFF image with an odd length and zero bytes inside.
    std::vector<BYTE> wave = {'R', 'I', 'F', 'F', 31, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 0, 0, 0, 0, 0xFF, 0x80, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 11};
    const UINT link = RegisterClipboardFormat("Link");
    EXPECT_GE(link, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormat("LINK"), link);
    EXPECT_NE(RegisterClipboardFormat("Other"), link);
    char name[16];
    EXPECT_EQ(GetClipboardFormatNameA(link, name, sizeof name), 4);
    EXPECT_STREQ(name, "Link");
    const std::string triple = "QorinDT;Data;Spectrum;;";
    std::vector<BYTE> linkBytes(triple.begin(), triple.end());
    linkBytes.push_back(0);
    linkBytes.push_back(0);

    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    ASSERT_NE(SetClipboardData(CF_WAVE, Block(wave)), nullptr);
    ASSERT_NE(SetClipboardData(link, Block(linkBytes)), nullptr);
    CloseClipboard();

    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat("audio/wav"));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_WAVE));
    EXPECT_TRUE(IsClipboardFormatAvailable(link));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(Bytes(GetClipboardData(CF_WAVE)), wave);
    EXPECT_EQ(Bytes(GetClipboardData(link)), linkBytes);
    std::vector<UINT> formats;
    for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f))
        formats.push_back(f);
    EXPECT_EQ(formats, (std::vector<UINT>{CF_WAVE, link}));
    // Emptying removes every format.
    EmptyClipboard();
    CloseClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_WAVE));
    EXPECT_FALSE(IsClipboardFormatAvailable(link));
}

TEST_F(Clipboard, BitmapRoundTripAsBitmapAndDib)
{
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap bmp;
    ASSERT_TRUE(bmp.CreateCompatibleBitmap(&mem, 6, 4));
    CBitmap* old = mem.SelectObject(&bmp);
    mem.FillSolidRect(0, 0, 6, 4, RGB(10, 200, 30));
    mem.SetPixel(5, 3, RGB(0, 0, 0));
    mem.SelectObject(old);

    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HANDLE given = bmp.Detach(); // the clipboard owns it from here
    EXPECT_EQ(SetClipboardData(CF_BITMAP, given), given);
    CloseClipboard();
    EXPECT_FALSE(DeleteObject(static_cast<HBITMAP>(given))); // no longer the caller's

    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
    ASSERT_TRUE(OpenClipboard(nullptr));
    CBitmap* back = CBitmap::FromHandle(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetBitmapDimension(), CSize(6, 4));
    CDC mem2;
    mem2.CreateCompatibleDC(nullptr);
    mem2.SelectObject(back);
    EXPECT_EQ(mem2.GetPixel(0, 0), RGB(10, 200, 30));
    EXPECT_EQ(mem2.GetPixel(5, 3), RGB(0, 0, 0));

    const std::vector<BYTE> dib = Bytes(GetClipboardData(CF_DIB));
    ASSERT_GE(dib.size(), 40u + 4u * size_t(DibRowBytes(6, 24)));
    EXPECT_EQ(dib[0], 40);
    EXPECT_EQ(dib[4], 6);
    EXPECT_EQ(dib[8], 4);
    EXPECT_EQ(dib[14], 24);
    // Bottom-up: the first pixel stored is (0, 3), then (1, 3) ...; (5, 3) is black.
    EXPECT_EQ(dib[40 + 0], 30);
    EXPECT_EQ(dib[40 + 1], 200);
    EXPECT_EQ(dib[40 + 15], 0);
    CloseClipboard();

    // A DIB put on the clipboard comes back as a bitmap.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    ASSERT_NE(SetClipboardData(CF_DIB, Block(dib)), nullptr);
    CloseClipboard();
    ASSERT_TRUE(OpenClipboard(nullptr));
    CBitmap* fromDib = CBitmap::FromHandle(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)));
    ASSERT_NE(fromDib, nullptr);
    EXPECT_EQ(fromDib->GetBitmapDimension(), CSize(6, 4));
}

TEST_F(Clipboard, MisuseIsRefusedWithoutLosingAnything)
{
    HGLOBAL g = Block({'x', 0});
    EXPECT_EQ(SetClipboardData(CF_TEXT, g), nullptr); // not open: the caller keeps the block
    EXPECT_EQ(GlobalSize(g), 2u);
    EXPECT_FALSE(EmptyClipboard());
    EXPECT_FALSE(CloseClipboard());
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(SetClipboardData(0xBEEF, g), nullptr); // never registered
    EXPECT_EQ(SetClipboardData(CF_BITMAP, reinterpret_cast<HANDLE>(g)), nullptr);
    EXPECT_EQ(GetClipboardData(CF_WAVE), nullptr);
    CloseClipboard();
    EXPECT_EQ(GlobalFree(g), nullptr);
    EXPECT_EQ(RegisterClipboardFormat(""), 0u);
}

} // namespace
