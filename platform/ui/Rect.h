// CPoint, CSize and CRect: the value types window and drawing code passes around.
// They extend POINT, SIZE and RECT so that either can be passed where the other is expected.
#pragma once

#include "platform/core/WinTypes.h"

#include <algorithm>

using LPRECT = RECT*;
using LPCRECT = const RECT*;
using LPPOINT = POINT*;
using LPSIZE = SIZE*;

class CSize : public SIZE {
public:
    CSize() = default;
    CSize(int x, int y) { cx = x; cy = y; }
    CSize(const SIZE& s) { cx = s.cx; cy = s.cy; }
    bool operator==(const CSize& o) const { return cx == o.cx && cy == o.cy; }
    bool operator!=(const CSize& o) const { return !(*this == o); }
};

class CPoint : public POINT {
public:
    CPoint() = default;
    CPoint(int ix, int iy) { x = ix; y = iy; }
    CPoint(const POINT& p) { x = p.x; y = p.y; }
    void Offset(int dx, int dy) { x += dx; y += dy; }
    void SetPoint(int ix, int iy) { x = ix; y = iy; }
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const CPoint& o) const { return !(*this == o); }
    CPoint operator+(const CSize& s) const { return CPoint(x + s.cx, y + s.cy); }
    CPoint operator-(const CSize& s) const { return CPoint(x - s.cx, y - s.cy); }
    CSize operator-(const POINT& p) const { return CSize(x - p.x, y - p.y); }
    CPoint& operator+=(const CSize& s) { x += s.cx; y += s.cy; return *this; }
    CPoint& operator-=(const CSize& s) { x -= s.cx; y -= s.cy; return *this; }
};

class CRect : public RECT {
public:
    CRect() = default;
    CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    CRect(const RECT& r) { left = r.left; top = r.top; right = r.right; bottom = r.bottom; }
    CRect(const RECT* r) : CRect(*r) {}
    CRect(POINT p, SIZE s) : CRect(p.x, p.y, p.x + s.cx, p.y + s.cy) {}
    CRect(POINT tl, POINT br) : CRect(tl.x, tl.y, br.x, br.y) {}

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    operator RECT*() { return this; }
    operator const RECT*() const { return this; }

    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    // Windows' rule: the left and top edges are inside, the right and bottom edges outside.
    bool PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    void SetRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    void CopyRect(const RECT* r) { *this = CRect(r); }
    bool EqualRect(const RECT* r) const { return left == r->left && top == r->top && right == r->right && bottom == r->bottom; }
    void InflateRect(int dx, int dy) { left -= dx; top -= dy; right += dx; bottom += dy; }
    void InflateRect(int l, int t, int r, int b) { left -= l; top -= t; right += r; bottom += b; }
    void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
    void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }
    void OffsetRect(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
    void OffsetRect(POINT p) { OffsetRect(p.x, p.y); }
    void NormalizeRect()
    {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
    }
    // Both return false (and leave an empty rectangle for Intersect) as Windows does.
    bool IntersectRect(const RECT* a, const RECT* b)
    {
        CRect r(std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
                std::min(a->bottom, b->bottom));
        if (r.IsRectEmpty()) {
            SetRectEmpty();
            return false;
        }
        *this = r;
        return true;
    }
    bool UnionRect(const RECT* a, const RECT* b)
    {
        const CRect ra(a), rb(b);
        if (ra.IsRectEmpty()) *this = rb;
        else if (rb.IsRectEmpty()) *this = ra;
        else *this = CRect(std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                           std::max(a->bottom, b->bottom));
        return !IsRectEmpty();
    }
    bool operator==(const RECT& r) const { return EqualRect(&r); }
    bool operator!=(const RECT& r) const { return !EqualRect(&r); }
    CRect operator&(const RECT& r) const { CRect o; o.IntersectRect(this, &r); return o; }
    CRect operator|(const RECT& r) const { CRect o; o.UnionRect(this, &r); return o; }
};
