// Fonts and text: heights with Windows' sign meaning, metric-compatible faces, alignment,
// rotated text, backgrounds, clipping and DrawText layout.
#include "GdiTestSupport.h"

#include <gtest/gtest.h>

namespace {

class GdiText : public ::testing::Test {
protected:
    void SetUp() override
    {
        gditest::EnsureApp();
        surface.Resize(300, 200);
        surface.Image().fill(Qt::white);
    }
    CSurface surface;
};

TEST_F(GdiText, HeightSignSelectsCharacterOrCellHeight)
{
    CSurfaceDC dc(&surface);
    for (int h : {15, 20, 40}) {
        CFont cell, character;
        ASSERT_TRUE(cell.CreateFont(h, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"));
        ASSERT_TRUE(character.CreateFont(-h, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"));
        TEXTMETRIC tm;
        dc.SelectObject(&cell);
        ASSERT_TRUE(dc.GetTextMetrics(&tm));
        EXPECT_NEAR(tm.tmHeight, h, 1) << "cell height " << h;
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
        dc.SelectObject(&character);
        ASSERT_TRUE(dc.GetTextMetrics(&tm));
        EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, h, 1) << "character height " << h;
        EXPECT_GT(tm.tmHeight, h);
    }
}

TEST_F(GdiText, ArialMapsToAMetricCompatibleFace)
{
    // Arial's advance widths in thousandths of the em: H 722, e 556, l 222, o 556.
    CSurfaceDC dc(&surface);
    CFont arial;
    arial.CreateFont(-100, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    dc.SelectObject(&arial);
    EXPECT_NEAR(dc.GetTextExtent("Hello").cx, 228, 1);
    EXPECT_NEAR(dc.GetTextExtent("Hello", 2).cx, 128, 1);
    // "MS Sans Serif" takes the same family; the extent height is the cell height.
    CFont sans;
    sans.CreatePointFont(720, "MS Sans Serif", &dc); // 72 points = 96 pixels on the screen
    dc.SelectObject(&sans);
    LOGFONT lf;
    sans.GetLogFont(&lf);
    EXPECT_EQ(lf.lfHeight, -96);
    TEXTMETRIC tm;
    dc.GetTextMetrics(&tm);
    EXPECT_NEAR(dc.GetTextExtent("Hello").cx, 219, 1);
    EXPECT_EQ(dc.GetTextExtent("Hello").cy, tm.tmHeight);
}

TEST_F(GdiText, AlignmentPlacesTextAroundTheReferencePoint)
{
    CSurfaceDC dc(&surface);
    CFont f;
    f.CreateFont(-30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    dc.SelectObject(&f);
    dc.SetBkMode(TRANSPARENT);
    TEXTMETRIC tm;
    dc.GetTextMetrics(&tm);

    dc.SetTextAlign(TA_RIGHT | TA_TOP);
    dc.TextOut(200, 20, "IIII");
    QRect box = gditest::DarkBox(surface.Image());
    ASSERT_FALSE(box.isNull());
    EXPECT_LE(box.right(), 200);
    EXPECT_GE(box.right(), 194);
    EXPECT_GE(box.top(), 20);
    EXPECT_LE(box.bottom(), 20 + tm.tmHeight);

    surface.Image().fill(Qt::white);
    dc.SetTextAlign(TA_CENTER | TA_BASELINE);
    dc.TextOut(150, 100, "HHH");
    box = gditest::DarkBox(surface.Image());
    EXPECT_NEAR((box.left() + box.right()) / 2.0, 150, 2);
    EXPECT_EQ(box.bottom(), 99); // capitals sit on the baseline
    EXPECT_NEAR(box.top(), 100 - 0.716 * 30, 2); // cap height of Arial: 0.716 em
    EXPECT_EQ(dc.GetTextAlign(), TA_CENTER | TA_BASELINE);
}

TEST_F(GdiText, EscapementOf900RunsTextUpwards)
{
    CSurfaceDC dc(&surface);
    CFont up;
    up.CreateFont(-20, 0, 900, 900, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    dc.SelectObject(&up);
    dc.SetBkMode(TRANSPARENT);
    const int width = [&] {
        CFont flat;
        flat.CreateFont(-20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
        CFont* old = dc.SelectObject(&flat);
        const int w = dc.GetTextExtent("Frequency (Hz)").cx;
        dc.SelectObject(old);
        return w;
    }();
    TEXTMETRIC tm;
    dc.GetTextMetrics(&tm);
    // Left-top alignment rotated: the text rises from (8, 180), its top towards the left.
    dc.TextOut(8, 180, "Frequency (Hz)");
    const QImage& img = surface.Image();
    const QRect box = gditest::DarkBox(img);
    ASSERT_FALSE(box.isNull());
    EXPECT_GE(box.left(), 8);
    EXPECT_LE(box.right(), 8 + tm.tmHeight);
    EXPECT_LE(box.bottom(), 180);
    EXPECT_NEAR(box.top(), 180 - width, 3);
    EXPECT_GT(box.height(), 3 * box.width()); // tall and narrow
    EXPECT_GT(gditest::CountDark(img, 8, 180 - width, 8 + tm.tmHeight, 181), 100);
}

TEST_F(GdiText, OpaqueBackgroundAndClippedExtTextOut)
{
    CSurfaceDC dc(&surface);
    CFont f;
    f.CreateFont(-20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    dc.SelectObject(&f);
    dc.SetBkColor(RGB(0, 255, 0));
    dc.SetTextColor(RGB(0, 0, 255));
    const CSize ext = dc.GetTextExtent("Opaque");
    dc.TextOut(10, 10, "Opaque"); // OPAQUE is the default
    EXPECT_EQ(gditest::At(surface.Image(), 11, 11), RGB(0, 255, 0));
    EXPECT_EQ(gditest::At(surface.Image(), 10 + ext.cx - 1, 10 + ext.cy - 1), RGB(0, 255, 0));
    EXPECT_EQ(gditest::At(surface.Image(), 10 + ext.cx + 1, 12), RGB(255, 255, 255));
    EXPECT_GT(gditest::CountNear(surface.Image(), 10, 10, 10 + ext.cx, 10 + ext.cy, RGB(0, 0, 255), 40), 20);

    // ETO_OPAQUE fills the rectangle; ETO_CLIPPED keeps the text inside it.
    surface.Image().fill(Qt::white);
    const RECT r{50, 50, 70, 80};
    dc.SetBkMode(TRANSPARENT);
    dc.ExtTextOut(40, 55, ETO_OPAQUE | ETO_CLIPPED, &r, "WWWWWWWW");
    const QImage& img = surface.Image();
    EXPECT_EQ(gditest::CountDark(img, 0, 0, 50, 200) + gditest::CountDark(img, 70, 0, 300, 200), 0);
    EXPECT_EQ(gditest::At(img, 50, 79), RGB(0, 255, 0));
    EXPECT_GT(gditest::CountNear(img, 50, 50, 70, 80, RGB(0, 0, 255), 40), 10);

    // A date as ctime gives it, newline included, right-aligned: the newline takes no room.
    surface.Image().fill(Qt::white);
    dc.SetTextAlign(TA_RIGHT);
    dc.TextOut(290, 120, "Mon Dec  7 04:36:37 2026\n");
    const QRect box = gditest::DarkBox(surface.Image());
    EXPECT_NEAR(box.right(), 289, 2);
}

TEST_F(GdiText, DrawTextMeasuresAndCentres)
{
    CSurfaceDC dc(&surface);
    CFont f;
    f.CreateFont(-16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    dc.SelectObject(&f);
    RECT calc{10, 10, 10, 10};
    const int h = dc.DrawText("Line one\nLine two is longer", &calc, DT_CALCRECT);
    EXPECT_EQ(h, 2 * dc.GetTextExtent("x").cy);
    EXPECT_EQ(calc.bottom - calc.top, h);
    EXPECT_NEAR(calc.right - calc.left, dc.GetTextExtent("Line two is longer").cx, 1);
    EXPECT_EQ(gditest::CountDark(surface.Image(), 0, 0, 300, 200), 0); // nothing drawn

    // "&" marks a mnemonic and is not shown; "&&" shows one.
    RECT m{0, 0, 0, 0};
    dc.DrawText("&Save", &m, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_NEAR(m.right, dc.GetTextExtent("Save").cx, 1);

    RECT box{100, 100, 200, 160};
    dc.SetBkMode(TRANSPARENT);
    dc.DrawText("Centre", &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    const QRect ink = gditest::DarkBox(surface.Image());
    ASSERT_FALSE(ink.isNull());
    EXPECT_NEAR((ink.left() + ink.right()) / 2.0, 150, 2);
    EXPECT_NEAR((ink.top() + ink.bottom()) / 2.0, 130, 4);
}

TEST_F(GdiText, FontsScaleWithTheMappingMode)
{
    // A font height in logical units is drawn at that height times the mapping's scale.
    CSurfaceDC dc(&surface);
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetWindowExt(100, 100);
    dc.SetViewportExt(200, 200);
    CFont f;
    f.CreateFont(-10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    dc.SelectObject(&f);
    dc.SetBkMode(TRANSPARENT);
    EXPECT_NEAR(dc.GetTextExtent("Hello").cx, 23, 1); // logical units
    dc.TextOut(10, 10, "Hello");
    const QRect ink = gditest::DarkBox(surface.Image());
    EXPECT_NEAR(ink.width(), 45, 3); // device pixels: 2.278 * 20
    EXPECT_GE(ink.left(), 20);
}

} // namespace
