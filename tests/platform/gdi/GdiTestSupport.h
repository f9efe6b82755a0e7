// Shared helpers of the drawing tests: the Qt application, surfaces with known content and
// pixel queries in COLORREF terms.
#pragma once

#include "platform/ui/GdiDC.h"
#include "support/QtTestAccess.h"
#include "platform/ui/Wnd.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdint>
#include <memory>

namespace gditest {

// The Qt application every test here needs (fonts, clipboard, printing).
inline void EnsureApp() { AfxEnsureQtApplication(); }

// The stock object's wrapper, as SelectStockObject returns it.
inline CGdiObject* Stock(int index)
{
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    mem.SelectStockObject(index);
    return index == NULL_BRUSH ? static_cast<CGdiObject*>(mem.GetCurrentBrush()) : nullptr;
}

inline COLORREF At(const QImage& img, int x, int y)
{
    const QRgb q = img.pixel(x, y);
    return RGB(qRed(q), qGreen(q), qBlue(q));
}

// A surface filled with a fixed pseudo-random pattern, so that raster operations have
// something non-trivial to work on.
inline void FillNoise(CSurface& s, std::uint32_t seed = 12345)
{
    QImage& img = s.Image();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            img.setPixel(x, y, 0xFF000000u | (seed >> 8));
        }
}

// Counts pixels in [x0, x1) x [y0, y1) whose colour is within `tol` of `c` per channel.
inline int CountNear(const QImage& img, int x0, int y0, int x1, int y1, COLORREF c, int tol = 0)
{
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(img.height(), y1); ++y)
        for (int x = std::max(0, x0); x < std::min(img.width(), x1); ++x) {
            const QRgb q = img.pixel(x, y);
            if (std::abs(qRed(q) - GetRValue(c)) <= tol && std::abs(qGreen(q) - GetGValue(c)) <= tol &&
                std::abs(qBlue(q) - GetBValue(c)) <= tol)
                ++n;
        }
    return n;
}

// Counts pixels darker than mid-grey (text drawn in black on white).
inline int CountDark(const QImage& img, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(img.height(), y1); ++y)
        for (int x = std::max(0, x0); x < std::min(img.width(), x1); ++x)
            if (qGray(img.pixel(x, y)) < 128)
                ++n;
    return n;
}

// Bounding box of the dark pixels, or a null rectangle.
inline QRect DarkBox(const QImage& img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace gditest
