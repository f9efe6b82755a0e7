// Pixel-exact drawing on surfaces and bitmaps: raster operations, Windows' line and
// rectangle rules, clipping, mapping modes and blits.
#include "GdiTestSupport.h"

#include "platform/ui/GdiObjects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

using gditest::At;

namespace {

class GdiRaster : public ::testing::Test {
protected:
    void SetUp() override
    {
        gditest::EnsureApp();
        surface.Resize(64, 48);
        surface.onChanged = [this](const QRect& r) { changes.push_back(r); };
    }
    CSurface surface;
    std::vector<QRect> changes;
};

TEST_F(GdiRaster, XorAndNotFiguresDrawnTwiceRestoreEveryPixel)
{
    gditest::FillNoise(surface);
    const QImage before = surface.Image().copy();
    CSurfaceDC dc(&surface);
    CPen pen(PS_SOLID, 1, RGB(0x5A, 0xC3, 0x0F));
    CPen wide(PS_SOLID, 5, RGB(0x11, 0x22, 0x33));
    CBrush brush(RGB(0x80, 0x40, 0xF0));
    dc.SelectObject(&pen);
    dc.SelectStockObject(NULL_BRUSH);
    const POINT poly[] = {{3, 3}, {60, 5}, {30, 40}, {3, 3}, {50, 44}};
    for (int rop : {R2_XORPEN, R2_NOT, R2_NOTXORPEN}) {
        for (int pass = 0; pass < 2; ++pass) {
            dc.SetROP2(rop);
            dc.MoveTo(0, 20);
            dc.LineTo(63, 21); // crosshair: horizontal and vertical through the same point
            dc.MoveTo(31, 0);
            dc.LineTo(31, 47);
            dc.Polyline(poly, 5);
            dc.Rectangle(10, 10, 40, 30);
            dc.Ellipse(5, 5, 50, 40);
            CPen* thin = dc.SelectObject(&wide);
            CBrush* hollow = dc.SelectObject(&brush);
            dc.Polygon(poly, 4);
            dc.MoveTo(2, 45);
            dc.LineTo(60, 2);
            dc.SelectObject(thin);
            dc.SelectObject(hollow);
        }
        EXPECT_EQ(surface.Image(), before) << "raster operation " << rop;
    }
    // Something was drawn in between: the first pass changes pixels.
    dc.SetROP2(R2_NOT);
    dc.MoveTo(0, 20);
    dc.LineTo(63, 20);
    EXPECT_EQ(At(surface.Image(), 5, 20), (~At(before, 5, 20)) & 0xFFFFFF);
    EXPECT_FALSE(changes.empty());
}

TEST_F(GdiRaster, LineToLeavesOutTheLastPixelAndPolylineVerticesOnce)
{
    surface.Image().fill(Qt::white);
    CSurfaceDC dc(&surface);
    dc.MoveTo(10, 5);
    dc.LineTo(20, 5);
    EXPECT_EQ(At(surface.Image(), 10, 5), RGB(0, 0, 0));
    EXPECT_EQ(At(surface.Image(), 19, 5), RGB(0, 0, 0));
    EXPECT_EQ(At(surface.Image(), 20, 5), RGB(255, 255, 255));
    EXPECT_EQ(dc.GetCurrentPosition(), CPoint(20, 5));
    // Diagonal: from (0,10) to (8,18) covers (0,10)..(7,17), not (8,18).
    dc.MoveTo(0, 10);
    dc.LineTo(8, 18);
    EXPECT_EQ(gditest::CountNear(surface.Image(), 0, 10, 9, 19, RGB(0, 0, 0)), 8);
    EXPECT_EQ(At(surface.Image(), 8, 18), RGB(255, 255, 255));

    // With XOR each vertex of a polyline is touched once: a closed square inverts its corners.
    surface.Image().fill(Qt::white);
    dc.SetROP2(R2_NOT);
    const POINT sq[] = {{30, 30}, {40, 30}, {40, 40}, {30, 40}, {30, 30}};
    dc.Polyline(sq, 5);
    for (auto [x, y] : {std::pair{30, 30}, {40, 30}, {40, 40}, {30, 40}})
        EXPECT_EQ(At(surface.Image(), x, y), RGB(0, 0, 0)) << x << "," << y;
    EXPECT_EQ(gditest::CountNear(surface.Image(), 0, 0, 64, 48, RGB(0, 0, 0)), 40);
}

TEST_F(GdiRaster, FarAwayCoordinatesAreCutNotWalked)
{
    // Plots map levels of -999.9 dB and worse far off the window; such lines must neither
    // overflow nor take time, and XOR drawing must still undo itself.
    gditest::FillNoise(surface);
    const QImage before = surface.Image().copy();
    CSurfaceDC dc(&surface);
    dc.SetROP2(R2_NOT);
    for (int pass = 0; pass < 2; ++pass) {
        dc.MoveTo(-2000000000, 10);
        dc.LineTo(2000000000, 30);
        dc.MoveTo(32, -2147483647);
        dc.LineTo(33, 2147483647);
        if (pass == 0)
            EXPECT_NE(surface.Image(), before);
    }
    EXPECT_EQ(surface.Image(), before);
    // A mapping with a huge scale does the same.
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetWindowExt(1, 1);
    dc.SetViewportExt(1000000, 1000000);
    dc.MoveTo(-5000, 0);
    dc.LineTo(5000, 0);
    dc.Ellipse(-5000, -5000, 5000, 5000);
    const RECT huge{-5000, -5000, 5000, 5000};
    dc.InvertRect(&huge);
    SUCCEED();
}

TEST_F(GdiRaster, RectangleFramesInsideAndFillsInterior)
{
    surface.Image().fill(Qt::white);
    CSurfaceDC dc(&surface);
    CPen pen(PS_SOLID, 1, RGB(255, 0, 0));
    CBrush brush(RGB(0, 0, 255));
    CPen* oldPen = dc.SelectObject(&pen);
    CBrush* oldBrush = dc.SelectObject(&brush);
    ASSERT_NE(oldPen, nullptr);
    ASSERT_NE(oldBrush, nullptr);
    dc.Rectangle(10, 10, 20, 16);
    const QImage& img = surface.Image();
    EXPECT_EQ(At(img, 10, 10), RGB(255, 0, 0));
    EXPECT_EQ(At(img, 19, 15), RGB(255, 0, 0));
    EXPECT_EQ(At(img, 20, 12), RGB(255, 255, 255)); // right edge outside
    EXPECT_EQ(At(img, 12, 16), RGB(255, 255, 255)); // bottom edge outside
    EXPECT_EQ(gditest::CountNear(img, 0, 0, 64, 48, RGB(0, 0, 255)), 8 * 4);
    EXPECT_EQ(gditest::CountNear(img, 0, 0, 64, 48, RGB(255, 0, 0)), 10 * 6 - 8 * 4);
    // The previous objects go back in.
    EXPECT_EQ(dc.SelectObject(oldPen), &pen);
    EXPECT_EQ(dc.SelectObject(oldBrush), &brush);
    // With no pen the filled area is one pixel smaller in each direction.
    surface.Image().fill(Qt::white);
    dc.SelectStockObject(NULL_PEN);
    dc.SelectObject(&brush);
    dc.Rectangle(30, 30, 40, 35);
    EXPECT_EQ(gditest::CountNear(img, 0, 0, 64, 48, RGB(0, 0, 255)), 9 * 4);
    EXPECT_EQ(At(img, 30, 30), RGB(0, 0, 255));
    EXPECT_EQ(At(img, 39, 30), RGB(255, 255, 255));
}

TEST_F(GdiRaster, FramesAndSunkenEdges)
{
    surface.Image().fill(Qt::white);
    CSurfaceDC dc(&surface);
    const COLORREF tl = RGB(140, 140, 140), br = RGB(230, 230, 230);
    dc.Draw3dRect(10, 10, 5, 4, tl, br);
    const QImage& img = surface.Image();
    EXPECT_EQ(At(img, 10, 10), tl);
    EXPECT_EQ(At(img, 13, 10), tl);
    EXPECT_EQ(At(img, 14, 10), br); // top-right corner belongs to the right edge
    EXPECT_EQ(At(img, 10, 12), tl);
    EXPECT_EQ(At(img, 10, 13), br);
    EXPECT_EQ(At(img, 14, 13), br);
    EXPECT_EQ(At(img, 12, 11), RGB(255, 255, 255));
    EXPECT_EQ(At(img, 15, 10), RGB(255, 255, 255));
    EXPECT_EQ(dc.GetBkColor(), br); // as the class library leaves it
    CBrush red(RGB(255, 0, 0));
    const RECT r{30, 30, 34, 33};
    dc.FrameRect(&r, &red);
    EXPECT_EQ(gditest::CountNear(img, 0, 0, 64, 48, RGB(255, 0, 0)), 4 * 3 - 2);
    EXPECT_EQ(At(img, 33, 32), RGB(255, 0, 0));
    EXPECT_EQ(At(img, 31, 31), RGB(255, 255, 255));

    // A focus frame is dotted and goes away when drawn again.
    const QImage before = img.copy();
    const RECT focus{40, 5, 50, 12};
    dc.DrawFocusRect(&focus);
    EXPECT_EQ(At(img, 41, 5), RGB(0, 0, 0)); // the dots follow the device's checkerboard
    EXPECT_EQ(At(img, 40, 5), RGB(255, 255, 255));
    EXPECT_EQ(At(img, 45, 8), RGB(255, 255, 255));
    dc.DrawFocusRect(&focus);
    EXPECT_EQ(img, before);

    // What SelectStockObject hands back goes back in as a plain object.
    CGdiObject* old = dc.SelectStockObject(NULL_BRUSH);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(dc.SelectObject(old), gditest::Stock(NULL_BRUSH));
    EXPECT_EQ(dc.GetCurrentBrush(), static_cast<CBrush*>(old));
}

TEST_F(GdiRaster, DottedPenFollowsItsPatternAndBackgroundMode)
{
    surface.Image().fill(Qt::white);
    CSurfaceDC dc(&surface);
    CPen dot(PS_DOT, 1, RGB(0, 0, 0));
    dc.SelectObject(&dot);
    dc.SetBkMode(TRANSPARENT);
    dc.MoveTo(0, 1);
    dc.LineTo(12, 1);
    const COLORREF k = RGB(0, 0, 0), w = RGB(255, 255, 255);
    const COLORREF expect[12] = {k, k, k, w, w, w, k, k, k, w, w, w};
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(At(surface.Image(), x, 1), expect[x]) << x;
    dc.SetBkMode(OPAQUE);
    dc.SetBkColor(RGB(0, 255, 0));
    dc.MoveTo(0, 3);
    dc.LineTo(6, 3);
    EXPECT_EQ(At(surface.Image(), 4, 3), RGB(0, 255, 0));
}

TEST_F(GdiRaster, ClippingKeepsEverythingInside)
{
    gditest::FillNoise(surface);
    const QImage before = surface.Image().copy();
    CSurfaceDC dc(&surface);
    CBrush red(RGB(255, 0, 0));
    CPen pen(PS_SOLID, 3, RGB(0, 255, 0));
    dc.SelectObject(&pen);
    dc.SelectObject(&red);

    const int saved = dc.SaveDC();
    EXPECT_EQ(dc.IntersectClipRect(10, 10, 30, 20), SIMPLEREGION);
    EXPECT_EQ(dc.ExcludeClipRect(15, 12, 18, 14), COMPLEXREGION);
    const RECT all{0, 0, 64, 48};
    dc.FillRect(&all, &red);
    dc.MoveTo(0, 0);
    dc.LineTo(63, 47);
    dc.Ellipse(0, 0, 64, 48);
    dc.TextOut(0, 12, "WWWWWWWWWWWWWWWW");
    dc.SetPixel(5, 5, RGB(1, 2, 3));
    dc.InvertRect(&all);
    RECT box;
    EXPECT_EQ(dc.GetClipBox(&box), COMPLEXREGION);
    EXPECT_EQ(box, (RECT{10, 10, 30, 20}));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 10 && x < 30 && y >= 10 && y < 20 && !(x >= 15 && x < 18 && y >= 12 && y < 14);
            if (!inside)
                ASSERT_EQ(surface.Image().pixel(x, y), before.pixel(x, y)) << x << "," << y;
        }
    EXPECT_EQ(dc.GetPixel(5, 5), CLR_INVALID); // outside the clip

    // A region clip in device coordinates, and RestoreDC gives the whole surface back.
    EXPECT_TRUE(dc.RestoreDC(saved));
    CRgn rgn;
    ASSERT_TRUE(rgn.CreateEllipticRgn(40, 20, 60, 40));
    dc.SelectClipRgn(&rgn);
    const RECT far{0, 0, 30, 48};
    surface.Image().fill(Qt::white);
    dc.FillRect(&far, &red);
    EXPECT_EQ(gditest::CountNear(surface.Image(), 0, 0, 64, 48, RGB(255, 0, 0)), 0);
    dc.SelectClipRgn(nullptr);
    dc.FillRect(&far, &red);
    EXPECT_EQ(gditest::CountNear(surface.Image(), 0, 0, 64, 48, RGB(255, 0, 0)), 30 * 48);
}

// Windows make and free a context on every redraw, and the layer reuses freed ones: a new
// context must start as a fresh one, whatever the last one was left with.
TEST_F(GdiRaster, AFreshContextKeepsNothingOfTheLastOne)
{
    CPen pen(PS_SOLID, 3, RGB(0, 255, 0));
    CBrush red(RGB(255, 0, 0));
    CPen* stockPen = nullptr;
    CBrush* stockBrush = nullptr;
    for (int round = 0; round < 3; ++round) {
        const RECT update{4, 4, 20, 20};
        auto dc = std::make_unique<CSurfaceDC>(&surface, round == 0 ? &update : nullptr);
        if (round == 0) {
            stockPen = dc->GetCurrentPen();
            stockBrush = dc->GetCurrentBrush();
        }
        // Everything a fresh context has.
        RECT box;
        EXPECT_EQ(dc->GetClipBox(&box), SIMPLEREGION);
        EXPECT_EQ(box, round == 0 ? update : (RECT{0, 0, 64, 48}));
        EXPECT_FALSE(dc->RestoreDC(-1)); // no saved state
        EXPECT_EQ(dc->GetCurrentPen(), stockPen);
        EXPECT_EQ(dc->GetCurrentBrush(), stockBrush);
        EXPECT_EQ(dc->GetTextColor(), RGB(0, 0, 0));
        EXPECT_EQ(dc->GetROP2(), R2_COPYPEN);
        EXPECT_EQ(dc->GetMapMode(), MM_TEXT);
        EXPECT_EQ(dc->GetWindowOrg(), CPoint(0, 0));
        EXPECT_EQ(dc->GetCurrentPosition(), CPoint(0, 0));
        // Left in a state nothing may carry over from.
        dc->SelectObject(&pen);
        dc->SelectObject(&red);
        dc->SetTextColor(RGB(1, 2, 3));
        dc->SetROP2(R2_XORPEN);
        dc->SaveDC();
        dc->SetMapMode(MM_ANISOTROPIC);
        dc->SetWindowOrg(7, 9);
        dc->ExcludeClipRect(0, 0, 8, 8);
        dc->IntersectClipRect(0, 0, 30, 30);
        dc->SaveDC();
        dc->MoveTo(5, 6);
    }
    // A memory context after them still has its own 1 x 1 bitmap and draws in full.
    CDC mem;
    ASSERT_TRUE(mem.CreateCompatibleDC(nullptr));
    RECT box;
    EXPECT_EQ(mem.GetClipBox(&box), SIMPLEREGION);
    EXPECT_EQ(box, (RECT{0, 0, 1, 1}));
    EXPECT_FALSE(mem.RestoreDC(-1));
}

// Upright and level lines in both directions, a fill under a clip of several rectangles, and text
// partly or wholly outside the clip: each pixel as the rules say, and nothing drawn for nothing.
TEST_F(GdiRaster, StraightLinesFillsAndTextAgreeWithTheirRulesUnderAClip)
{
    CSurfaceDC dc(&surface);
    dc.IntersectClipRect(4, 4, 60, 44);
    dc.ExcludeClipRect(20, 0, 24, 48); // two rectangles side by side
    const auto inside = [](int x, int y) { return x >= 4 && x < 60 && y >= 4 && y < 44 && !(x >= 20 && x < 24); };
    struct Line {
        int x0, y0, x1, y1;
    };
    for (const Line l : {Line{10, 0, 10, 47}, Line{10, 47, 10, 0}, Line{0, 30, 63, 30}, Line{63, 30, 0, 30},
                         Line{22, 2, 22, 40}, Line{30, 40, 30, 40}}) {
        surface.Image().fill(Qt::white);
        dc.MoveTo(l.x0, l.y0);
        dc.LineTo(l.x1, l.y1);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                // From the first point up to the last, the last left out.
                const bool on = (l.x0 == l.x1 && x == l.x0 && y != l.y1 && (y - l.y0) * (y - l.y1) <= 0) ||
                                (l.y0 == l.y1 && y == l.y0 && x != l.x1 && (x - l.x0) * (x - l.x1) <= 0);
                ASSERT_EQ(At(surface.Image(), x, y), on && inside(x, y) ? RGB(0, 0, 0) : RGB(255, 255, 255))
                    << x << "," << y << " of " << l.x0 << "," << l.y0 << "-" << l.x1 << "," << l.y1;
            }
    }
    surface.Image().fill(Qt::white);
    dc.FillSolidRect(0, 0, 64, 48, RGB(0, 0, 255));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(At(surface.Image(), x, y), inside(x, y) ? RGB(0, 0, 255) : RGB(255, 255, 255)) << x << "," << y;

    // Text: what shows inside the clip is what the same text draws unclipped; text outside it
    // touches nothing and reports no change.
    CFont font;
    font.CreateFont(14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    CSurface plain;
    plain.Resize(64, 48);
    plain.Image().fill(Qt::white);
    {
        CSurfaceDC free(&plain);
        free.SelectObject(&font);
        free.SetBkMode(TRANSPARENT);
        free.TextOut(8, 36, "Wg");
    }
    surface.Image().fill(Qt::white);
    dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.TextOut(8, 36, "Wg"); // runs below the clip's bottom edge
    int shown = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const QRgb want = inside(x, y) ? plain.Image().pixel(x, y) : qRgb(255, 255, 255);
            ASSERT_EQ(surface.Image().pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
            shown += inside(x, y) && (want & 0xFFFFFF) != 0xFFFFFF;
        }
    EXPECT_GT(shown, 0);
    changes.clear();
    dc.TextOut(8, 47, "Wg");
    dc.TextOut(-40, 20, "Wg");
    dc.SetTextAlign(TA_RIGHT | TA_TOP);
    dc.TextOut(0, 20, "Wg");
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(gditest::CountNear(surface.Image(), 0, 44, 64, 48, RGB(0, 0, 0)), 0);
}

TEST_F(GdiRaster, BlitRasterOperationsGiveTheBitwiseResults)
{
    // Source pixels and destination pixels with every bit pattern that matters.
    const COLORREF src = RGB(0xF0, 0x0F, 0xAA), dst = RGB(0xCC, 0x33, 0x55), pat = RGB(0x12, 0x34, 0x56);
    CDC mem;
    ASSERT_TRUE(mem.CreateCompatibleDC(nullptr));
    CBitmap bmp;
    ASSERT_TRUE(bmp.CreateCompatibleBitmap(&mem, 4, 4));
    mem.SelectObject(&bmp);
    mem.FillSolidRect(0, 0, 4, 4, src);
    CSurfaceDC dc(&surface);
    CBrush brush(pat);
    dc.SelectObject(&brush);
    struct Case {
        DWORD rop;
        std::uint32_t expect;
    };
    const std::uint32_t S = src, D = dst, P = pat;
    const Case cases[] = {{SRCCOPY, S},        {SRCAND, S & D},     {SRCPAINT, S | D},   {SRCINVERT, S ^ D},
                          {NOTSRCCOPY, ~S},    {DSTINVERT, ~D},     {PATCOPY, P},        {BLACKNESS, 0},
                          {WHITENESS, ~0u},    {SRCERASE, S & ~D},  {MERGEPAINT, ~S | D}, {PATINVERT, P ^ D},
                          {MERGECOPY, P & S}};
    for (const Case& c : cases) {
        dc.FillSolidRect(0, 0, 64, 48, dst);
        changes.clear();
        EXPECT_TRUE(dc.BitBlt(8, 8, 4, 4, &mem, 0, 0, c.rop));
        EXPECT_EQ(dc.GetPixel(9, 9), c.expect & 0xFFFFFF) << std::hex << c.rop;
        EXPECT_EQ(dc.GetPixel(12, 9), dst) << "outside the blit";
        ASSERT_FALSE(changes.empty());
        EXPECT_TRUE(changes.back().contains(QRect(8, 8, 4, 4)));
    }
}

TEST_F(GdiRaster, MemoryBitmapBlitsAndStretchesOntoSurface)
{
    CDC mem;
    ASSERT_TRUE(mem.CreateCompatibleDC(nullptr));
    CBitmap bmp;
    ASSERT_TRUE(bmp.CreateCompatibleBitmap(&mem, 2, 2));
    CBitmap* first = mem.SelectObject(&bmp);
    ASSERT_NE(first, nullptr); // the context's own 1 x 1 bitmap
    mem.SetPixel(0, 0, RGB(255, 0, 0));
    mem.SetPixel(1, 0, RGB(0, 255, 0));
    mem.SetPixel(0, 1, RGB(0, 0, 255));
    mem.SetPixel(1, 1, RGB(9, 9, 9));
    surface.Image().fill(Qt::white);
    CSurfaceDC dc(&surface);
    dc.BitBlt(5, 6, 2, 2, &mem, 0, 0, SRCCOPY);
    EXPECT_EQ(dc.GetPixel(5, 6), RGB(255, 0, 0));
    EXPECT_EQ(dc.GetPixel(6, 7), RGB(9, 9, 9));
    // Doubling: each source pixel becomes a 2 x 2 block; a negative width mirrors.
    dc.StretchBlt(20, 20, 4, 4, &mem, 0, 0, 2, 2, SRCCOPY);
    EXPECT_EQ(dc.GetPixel(21, 21), RGB(255, 0, 0));
    EXPECT_EQ(dc.GetPixel(22, 20), RGB(0, 255, 0));
    EXPECT_EQ(dc.GetPixel(23, 23), RGB(9, 9, 9));
    dc.StretchBlt(33, 30, -2, 2, &mem, 0, 0, 2, 2, SRCCOPY);
    EXPECT_EQ(dc.GetPixel(31, 30), RGB(0, 255, 0));
    EXPECT_EQ(dc.GetPixel(32, 30), RGB(255, 0, 0));
    // The bitmap reads back what was drawn into it, and survives its C++ object's deletion
    // while it is still selected.
    BITMAP bm;
    ASSERT_TRUE(bmp.GetBitmap(&bm));
    EXPECT_EQ(bm.bmWidth, 2);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    bmp.DeleteObject();
    mem.SetPixel(0, 0, RGB(1, 1, 1));
    EXPECT_EQ(mem.GetPixel(0, 0), RGB(1, 1, 1));
    EXPECT_EQ(mem.SelectObject(first), &bmp);
    EXPECT_EQ(mem.GetPixel(0, 0), RGB(0, 0, 0)); // the 1 x 1 monochrome bitmap again
    EXPECT_EQ(mem.GetPixel(1, 1), CLR_INVALID);
}

TEST_F(GdiRaster, MonochromeBitmapsTakeTextAndBackgroundColours)
{
    const BYTE bits[] = {0xA0, 0x00}; // one row: 1 0 1 0, padded to two bytes
    CBitmap mono;
    ASSERT_TRUE(mono.CreateBitmap(4, 1, 1, 1, bits));
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    mem.SelectObject(&mono);
    CSurfaceDC dc(&surface);
    dc.SetTextColor(RGB(200, 0, 0));
    dc.SetBkColor(RGB(0, 0, 200));
    dc.BitBlt(0, 0, 4, 1, &mem, 0, 0, SRCCOPY);
    EXPECT_EQ(dc.GetPixel(0, 0), RGB(0, 0, 200)); // white (1) -> background colour
    EXPECT_EQ(dc.GetPixel(1, 0), RGB(200, 0, 0)); // black (0) -> text colour
    BYTE back[2] = {};
    EXPECT_EQ(mono.GetBitmapBits(2, back), 2u);
    EXPECT_EQ(back[0], 0xA0);

    // 24-bit device bits: B, G, R per pixel, rows padded to two bytes.
    const BYTE rgb[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0};
    CBitmap colour;
    ASSERT_TRUE(colour.CreateBitmap(3, 2, 1, 24, rgb));
    mem.SelectObject(&colour);
    EXPECT_EQ(mem.GetPixel(0, 0), RGB(3, 2, 1));
    EXPECT_EQ(mem.GetPixel(2, 1), RGB(18, 17, 16));
}

TEST_F(GdiRaster, AnisotropicMappingMapsAsComputed)
{
    CSurfaceDC dc(&surface);
    EXPECT_EQ(dc.SetMapMode(MM_ANISOTROPIC), MM_TEXT);
    dc.SetWindowOrg(100, 200);
    dc.SetWindowExt(1000, 500);
    dc.SetViewportOrg(4, 40);
    dc.SetViewportExt(50, -25);
    // Device = (logical - window origin) * viewport extent / window extent + viewport origin.
    POINT p[] = {{100, 200}, {300, 600}, {1100, 700}, {-60, 100}};
    dc.LPtoDP(p, 4);
    EXPECT_EQ(p[0], (POINT{4, 40}));
    EXPECT_EQ(p[1], (POINT{14, 20}));
    EXPECT_EQ(p[2], (POINT{54, 15}));
    EXPECT_EQ(p[3], (POINT{-4, 45}));
    POINT back = p[1];
    dc.DPtoLP(&back);
    EXPECT_EQ(back, (POINT{300, 600}));
    // Drawing lands where the mapping says.
    surface.Image().fill(Qt::white);
    dc.SetPixel(300, 600, RGB(7, 8, 9));
    EXPECT_EQ(At(surface.Image(), 14, 20), RGB(7, 8, 9));
    CBrush b(RGB(0, 0, 0));
    const RECT r{100, 200, 300, 600}; // device (4,40)-(14,20)
    dc.FillRect(&r, &b);
    EXPECT_EQ(gditest::CountNear(surface.Image(), 0, 0, 64, 48, RGB(0, 0, 0)), 10 * 20);
    EXPECT_EQ(At(surface.Image(), 4, 21), RGB(0, 0, 0));
    EXPECT_EQ(At(surface.Image(), 13, 39), RGB(0, 0, 0));
    // Back to MM_TEXT the extents reset to one to one.
    dc.SetMapMode(MM_TEXT);
    EXPECT_EQ(dc.GetWindowExt(), CSize(1, 1));
    POINT q{10, 10};
    dc.LPtoDP(&q);
    EXPECT_EQ(q, (POINT{10 - 100 + 4, 10 - 200 + 40}));
}

TEST_F(GdiRaster, ScrollDCMovesPixelsAndReportsTheUncoveredStrip)
{
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap bmp;
    bmp.CreateCompatibleBitmap(&mem, 10, 4);
    mem.SelectObject(&bmp);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 4; ++y)
            mem.SetPixel(x, y, RGB(x * 10, y * 10, 0));
    const RECT all{0, 0, 10, 4};
    RECT update{};
    EXPECT_TRUE(mem.ScrollDC(-3, 0, &all, &all, nullptr, &update));
    EXPECT_EQ(update, (RECT{7, 0, 10, 4}));
    EXPECT_EQ(mem.GetPixel(0, 1), RGB(30, 10, 0));
    EXPECT_EQ(mem.GetPixel(6, 2), RGB(90, 20, 0));
    EXPECT_EQ(mem.GetPixel(7, 2), RGB(70, 20, 0)); // uncovered: left as it was

    // Up by one row, limited to the left half: the right half stays.
    const RECT left{0, 0, 5, 4};
    CRgn uncovered;
    uncovered.CreateRectRgn(0, 0, 0, 0);
    EXPECT_TRUE(mem.ScrollDC(0, -1, &all, &left, &uncovered, &update));
    EXPECT_EQ(update, (RECT{0, 3, 5, 4}));
    RECT box;
    EXPECT_EQ(uncovered.GetRgnBox(&box), SIMPLEREGION);
    EXPECT_EQ(box, update);
    EXPECT_EQ(mem.GetPixel(0, 0), RGB(30, 10, 0));
    EXPECT_EQ(mem.GetPixel(4, 2), RGB(70, 30, 0));
    EXPECT_EQ(mem.GetPixel(5, 0), RGB(80, 0, 0));

    // On a high-density surface the shift is in logical pixels.
    CSurface dense;
    dense.Resize(8, 4, 2.0);
    CSurfaceDC sdc(&dense);
    sdc.SetPixel(6, 1, RGB(1, 2, 3));
    EXPECT_TRUE(sdc.ScrollDC(-2, 1, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(sdc.GetPixel(4, 2), RGB(1, 2, 3));
    EXPECT_EQ(gditest::At(dense.Image(), 9, 5), RGB(1, 2, 3));
}

// Scrolling works in place (a spectrogram scrolls its whole picture on every block): every
// direction, diagonals included, against the picture as it was; the uncovered strips keep their
// old pixels, and a scroll limited to part of the surface leaves the rest alone.
TEST_F(GdiRaster, ScrollDCInPlaceMatchesTheOldPictureInEveryDirection)
{
    CSurfaceDC dc(&surface);
    const RECT part{5, 4, 50, 40};
    for (const RECT* limit : {static_cast<const RECT*>(nullptr), &part})
        for (int dx : {-3, 0, 2})
            for (int dy : {-2, 0, 3}) {
                gditest::FillNoise(surface, static_cast<std::uint32_t>(7 * dx + dy + 100));
                const QImage old = surface.Image().copy();
                ASSERT_TRUE(dc.ScrollDC(dx, dy, limit, limit, nullptr, nullptr));
                const QRect area = limit ? QRect(part.left, part.top, part.right - part.left, part.bottom - part.top)
                                         : old.rect();
                for (int y = 0; y < old.height(); ++y)
                    for (int x = 0; x < old.width(); ++x) {
                        const bool moved = area.contains(x, y) && area.contains(x - dx, y - dy);
                        const QRgb want = moved ? old.pixel(x - dx, y - dy) : old.pixel(x, y);
                        ASSERT_EQ(surface.Image().pixel(x, y), want) << dx << "," << dy << " at " << x << "," << y;
                    }
            }
}

// A figure reports as changed only what its clip lets it touch, so that the controls beside a
// plot's clipped trace are not repainted for it.
TEST_F(GdiRaster, ChangesReportedStayInsideTheClip)
{
    CSurfaceDC dc(&surface);
    CPen wide(PS_SOLID, 3, RGB(200, 0, 0));
    dc.SelectObject(&wide);
    dc.IntersectClipRect(10, 10, 40, 30);
    changes.clear();
    const POINT across[] = {{0, 0}, {63, 47}, {0, 47}};
    dc.Polyline(across, 3);
    dc.FillSolidRect(0, 0, 64, 48, RGB(1, 2, 3));
    dc.SetPixel(5, 5, RGB(9, 9, 9)); // outside the clip: nothing drawn, nothing reported
    ASSERT_FALSE(changes.empty());
    for (const QRect& r : changes)
        EXPECT_TRUE(QRect(10, 10, 30, 20).contains(r)) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    EXPECT_NE(gditest::At(surface.Image(), 5, 5), RGB(9, 9, 9));
}

TEST_F(GdiRaster, HighDensitySurfaceStaysExact)
{
    surface.Resize(40, 30, 2.0);
    gditest::FillNoise(surface, 99);
    const QImage before = surface.Image().copy();
    ASSERT_EQ(before.width(), 80);
    CSurfaceDC dc(&surface);
    dc.SetROP2(R2_NOT);
    dc.MoveTo(0, 10);
    dc.LineTo(39, 10);
    // One logical pixel is a 2 x 2 block of the image.
    EXPECT_EQ(surface.Image().pixel(10, 20), (~before.pixel(10, 20) & 0xFFFFFF) | 0xFF000000u);
    EXPECT_EQ(surface.Image().pixel(11, 21), (~before.pixel(11, 21) & 0xFFFFFF) | 0xFF000000u);
    EXPECT_EQ(surface.Image().pixel(10, 22), before.pixel(10, 22));
    dc.MoveTo(0, 10);
    dc.LineTo(39, 10);
    const RECT r{3, 3, 17, 9};
    dc.InvertRect(&r);
    dc.InvertRect(&r);
    EXPECT_EQ(surface.Image(), before);

    // A bitmap lands as blocks, and copying the window back into a bitmap (the clipboard
    // picture) reads one pixel per logical pixel.
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap bmp;
    bmp.CreateCompatibleBitmap(&mem, 2, 1);
    CBitmap* old = mem.SelectObject(&bmp);
    mem.SetPixel(0, 0, RGB(255, 0, 0));
    mem.SetPixel(1, 0, RGB(0, 0, 255));
    dc.BitBlt(5, 5, 2, 1, &mem, 0, 0, SRCCOPY);
    EXPECT_EQ(gditest::At(surface.Image(), 10, 10), RGB(255, 0, 0));
    EXPECT_EQ(gditest::At(surface.Image(), 11, 11), RGB(255, 0, 0));
    EXPECT_EQ(gditest::At(surface.Image(), 12, 11), RGB(0, 0, 255));
    CBitmap grab;
    grab.CreateCompatibleBitmap(&mem, 4, 2);
    mem.SelectObject(&grab);
    mem.BitBlt(0, 0, 4, 2, &dc, 4, 5, SRCCOPY);
    EXPECT_EQ(mem.GetPixel(1, 0), RGB(255, 0, 0));
    EXPECT_EQ(mem.GetPixel(2, 0), RGB(0, 0, 255));
    EXPECT_EQ(mem.GetPixel(1, 1), dc.GetPixel(5, 6));
    mem.SelectObject(old);
}

TEST_F(GdiRaster, PalettesTakeTheTrueColourRoad)
{
    CSurfaceDC dc(&surface);
    EXPECT_EQ(dc.GetDeviceCaps(RASTERCAPS) & RC_PALETTE, 0);
    EXPECT_EQ(dc.GetDeviceCaps(BITSPIXEL), 32);
    EXPECT_EQ(dc.GetNearestColor(RGB(1, 2, 3)), RGB(1, 2, 3));
    std::vector<BYTE> raw(sizeof(LOGPALETTE) + 2 * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(raw.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = 3;
    lp->palPalEntry[0] = {10, 20, 30, 0};
    lp->palPalEntry[1] = {40, 50, 60, PC_RESERVED};
    lp->palPalEntry[2] = {70, 80, 90, 0};
    CPalette pal;
    ASSERT_TRUE(pal.CreatePalette(lp));
    EXPECT_EQ(pal.GetEntryCount(), 3);
    CPalette* old = dc.SelectPalette(&pal, FALSE);
    EXPECT_NE(old, nullptr);
    EXPECT_EQ(dc.RealizePalette(), 0u);
    dc.SetPixel(1, 1, PALETTEINDEX(1));
    EXPECT_EQ(dc.GetPixel(1, 1), RGB(40, 50, 60));
    EXPECT_EQ(pal.GetNearestPaletteIndex(RGB(69, 81, 88)), 2u);
    dc.SelectPalette(old, FALSE);
}

TEST(GdiSysColor, KnownSystemColoursAndStockObjects)
{
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), RGB(255, 255, 255));
    EXPECT_NE(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNSHADOW));
    LOGBRUSH lb;
    ASSERT_TRUE(GetSysColorBrush(COLOR_BTNFACE)->GetLogBrush(&lb));
    EXPECT_EQ(lb.lbColor, GetSysColor(COLOR_BTNFACE));
    CPen stock;
    ASSERT_TRUE(stock.CreateStockObject(NULL_PEN));
    LOGPEN lp;
    ASSERT_TRUE(stock.GetLogPen(&lp));
    EXPECT_EQ(int(lp.lopnStyle), PS_NULL);
}

} // namespace

namespace {
// Bresenham's walk as the integer-error form states it: each pixel from a up to b, b left out.
template <class Plot> void WalkLine(int x, int y, int x1, int y1, Plot&& plot)
{
    const int dx = std::abs(x1 - x), dy = -std::abs(y1 - y);
    const int sx = x < x1 ? 1 : -1, sy = y < y1 ? 1 : -1;
    int err = dx + dy;
    while (!(x == x1 && y == y1)) {
        plot(x, y);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}
} // namespace

// Random polylines of every slope (the steep strokes and short joins of a dense trace among
// them), drawn with a plain pen under one clip rectangle, with the same clip made of two
// rectangles (which draws pixel by pixel) and with an XOR pen: each against the walk above,
// segment by segment, with only the clip's pixels touched.
TEST_F(GdiRaster, PolylinesMatchTheWalkUnderEveryRoad)
{
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> x(-1, 63), y(-1, 47), len(1, 40), kind(0, 3);
    const QRect clip(5, 3, 50, 40);
    CPen pen(PS_SOLID, 1, RGB(0x12, 0x9A, 0xF0));
    for (int trial = 0; trial < 60; ++trial) {
        std::vector<POINT> pts{{x(gen), y(gen)}};
        for (int i = 0; i < len(gen); ++i) {
            POINT p = pts.back();
            switch (kind(gen)) {
            case 0: p = {p.x + (i % 2 ? 1 : -1) * (trial % 3), y(gen)}; break; // steep
            case 1: p = {x(gen), p.y + (trial % 4) - 2}; break;                    // flat
            case 2: p = {p.x, y(gen)}; break;                                      // upright
            default: p = {x(gen), y(gen)}; break;
            }
            pts.push_back({std::clamp<LONG>(p.x, -1, 63), std::clamp<LONG>(p.y, -1, 47)});
        }
        for (const int road : {0, 1, 2}) {
            gditest::FillNoise(surface, std::uint32_t(trial + 1));
            QImage want = surface.Image().copy();
            const QRgb colour = 0xFF000000u | qRgb(0x12, 0x9A, 0xF0);
            for (std::size_t i = 1; i < pts.size(); ++i)
                WalkLine(pts[i - 1].x, pts[i - 1].y, pts[i].x, pts[i].y, [&](int px, int py) {
                    if (!clip.contains(px, py))
                        return;
                    const QRgb old = want.pixel(px, py);
                    want.setPixel(px, py, road == 2 ? 0xFF000000u | ((old ^ colour) & 0xFFFFFF) : colour);
                });
            CSurfaceDC dc(&surface);
            dc.SelectObject(&pen);
            dc.IntersectClipRect(clip.left(), clip.top(), clip.right() + 1, clip.bottom() + 1);
            if (road == 1) {
                CRgn left, right;
                left.CreateRectRgn(clip.left(), clip.top(), 30, clip.bottom() + 1);
                right.CreateRectRgn(30, clip.top(), clip.right() + 1, clip.bottom() + 1);
                left.CombineRgn(&left, &right, RGN_OR);
                dc.SelectClipRgn(&left);
            }
            if (road == 2)
                dc.SetROP2(R2_XORPEN);
            dc.Polyline(pts.data(), int(pts.size()));
            ASSERT_EQ(surface.Image(), want) << "trial " << trial << " road " << road;
        }
    }
    // End points far beyond the surface are cut first: the same pixels on both roads.
    const POINT far[] = {{-100000, 20}, {30, 100000}, {31, -50000}, {200000, 47}, {10, 10}};
    QImage roads[2];
    for (const int road : {0, 1}) {
        surface.Image().fill(Qt::white);
        CSurfaceDC dc(&surface);
        dc.SelectObject(&pen);
        if (road == 1) {
            CRgn left, right;
            left.CreateRectRgn(0, 0, 30, 48);
            right.CreateRectRgn(30, 0, 64, 48);
            left.CombineRgn(&left, &right, RGN_OR);
            dc.SelectClipRgn(&left);
        }
        dc.Polyline(far, 5);
        roads[road] = surface.Image().copy();
    }
    EXPECT_EQ(roads[0], roads[1]);
    EXPECT_GT(gditest::CountNear(roads[0], 0, 0, 64, 48, RGB(0x12, 0x9A, 0xF0)), 90);
}

// Wide pens' upright and level segments (a pane's frame) are filled directly; the painter's
// own drawing of the same segments (reached through an XOR pen on white, which draws the
// figure with the painter first) is the reference, clip of two rectangles and all.
TEST_F(GdiRaster, WideStraightSegmentsMatchThePaintersDrawing)
{
    std::mt19937 gen(11);
    std::uniform_int_distribution<int> x(-3, 66), y(-3, 50), len(0, 30), axis(0, 3);
    const COLORREF colour = RGB(0x20, 0x80, 0xC0);
    struct Pen {
        int width, cap;
    };
    for (const Pen kind : {Pen{2, PS_ENDCAP_ROUND}, Pen{2, PS_ENDCAP_SQUARE}, Pen{3, PS_ENDCAP_SQUARE},
                           Pen{6, PS_ENDCAP_SQUARE}, Pen{3, PS_ENDCAP_ROUND}, Pen{4, PS_ENDCAP_FLAT}})
        for (int trial = 0; trial < 40; ++trial) {
            POINT a{x(gen), y(gen)}, b = a;
            const int n = len(gen);
            switch (axis(gen)) {
            case 0: b.x += n; break;
            case 1: b.x -= n; break;
            case 2: b.y += n; break;
            default: b.y -= n; break;
            }
            QImage roads[2];
            for (const int road : {0, 1}) {
                surface.Image().fill(Qt::white);
                CSurfaceDC dc(&surface);
                CPen pen(PS_SOLID | kind.cap, kind.width, road == 0 ? colour : colour ^ 0xFFFFFF);
                dc.SelectObject(&pen);
                CRgn left, right;
                left.CreateRectRgn(2, 2, 30, 46);
                right.CreateRectRgn(30, 6, 62, 40);
                left.CombineRgn(&left, &right, RGN_OR);
                dc.SelectClipRgn(&left);
                if (road == 1)
                    dc.SetROP2(R2_XORPEN);
                dc.MoveTo(a.x, a.y);
                dc.LineTo(b.x, b.y);
                roads[road] = surface.Image().copy();
            }
            ASSERT_EQ(roads[0], roads[1]) << "width " << kind.width << " cap " << kind.cap << " from " << a.x << ","
                                          << a.y << " to " << b.x << "," << b.y;
        }
}
