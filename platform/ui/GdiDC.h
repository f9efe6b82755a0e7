// Device contexts. Every context draws on a surface: a window's back buffer (CSurfaceDC, and
// the window contexts of GdiWindowDC.h), a bitmap selected into a memory context, or a
// printer page (Print.h). On surfaces and bitmaps raster operations are exact per pixel:
// one-pixel lines are rasterised here (the last pixel of a line is not drawn), so drawing a
// figure twice with R2_NOT or R2_XORPEN restores every pixel. Colours stay 0x00BBGGRR values
// until they are drawn. Coordinates are logical and pass through the mapping mode; clip
// regions are in device coordinates, as on Windows.
//
// A context (and the objects it draws with) belongs to the user-interface thread.
#pragma once

#include "platform/ui/GdiObjects.h"
#include "platform/ui/Rect.h"

#include <string>
#include <string_view>

class CSurface;
struct DeviceContext;

struct DOCINFOA {
    int cbSize = sizeof(DOCINFOA);
    const char* lpszDocName = nullptr;
    const char* lpszOutput = nullptr; // a file to print into (a PDF file here), or null
    const char* lpszDatatype = nullptr;
    DWORD fwType = 0;
};
using DOCINFO = DOCINFOA;

class CDC {
public:
    CDC() = default;
    virtual ~CDC(); // deletes a context it owns
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    BOOL Attach(HDC dc); // takes ownership: DeleteDC or the destructor frees it
    HDC Detach();
    BOOL DeleteDC();
    static CDC* FromHandle(HDC dc);

    // A memory context with a 1 x 1 monochrome bitmap selected, like the given context.
    BOOL CreateCompatibleDC(CDC* dc);

    // Objects. Each returns the object selected before (null on failure).
    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    CFont* SelectObject(CFont* font);
    CBitmap* SelectObject(CBitmap* bitmap);
    int SelectObject(CRgn* region); // as SelectClipRgn
    // Any object, by its kind (what SelectStockObject returned goes back this way).
    CGdiObject* SelectObject(CGdiObject* object);
    CGdiObject* SelectStockObject(int index);
    CPalette* SelectPalette(CPalette* palette, BOOL forceBackground);
    UINT RealizePalette();
    CPen* GetCurrentPen() const;
    CBrush* GetCurrentBrush() const;
    CFont* GetCurrentFont() const;
    CBitmap* GetCurrentBitmap() const;

    // Attributes.
    COLORREF SetTextColor(COLORREF color);
    COLORREF GetTextColor() const;
    COLORREF SetBkColor(COLORREF color);
    COLORREF GetBkColor() const;
    int SetBkMode(int mode);
    int GetBkMode() const;
    int SetROP2(int mode);
    int GetROP2() const;
    UINT SetTextAlign(UINT flags);
    UINT GetTextAlign() const;
    int SetStretchBltMode(int mode);
    int GetStretchBltMode() const;
    int SetPolyFillMode(int mode);
    int GetPolyFillMode() const;
    COLORREF GetNearestColor(COLORREF color) const;

    // Mapping.
    int SetMapMode(int mode);
    int GetMapMode() const;
    CPoint SetWindowOrg(int x, int y);
    CPoint SetWindowOrg(POINT p) { return SetWindowOrg(p.x, p.y); }
    CPoint GetWindowOrg() const;
    CSize SetWindowExt(int cx, int cy);
    CSize SetWindowExt(SIZE s) { return SetWindowExt(s.cx, s.cy); }
    CSize GetWindowExt() const;
    CPoint SetViewportOrg(int x, int y);
    CPoint SetViewportOrg(POINT p) { return SetViewportOrg(p.x, p.y); }
    CPoint GetViewportOrg() const;
    CPoint OffsetViewportOrg(int dx, int dy);
    CSize SetViewportExt(int cx, int cy);
    CSize SetViewportExt(SIZE s) { return SetViewportExt(s.cx, s.cy); }
    CSize GetViewportExt() const;
    void LPtoDP(POINT* points, int count = 1) const;
    void LPtoDP(RECT* rect) const;
    void LPtoDP(SIZE* size) const;
    void DPtoLP(POINT* points, int count = 1) const;
    void DPtoLP(RECT* rect) const;
    void DPtoLP(SIZE* size) const;

    // Clipping (regions in device coordinates, rectangles in logical ones).
    int SelectClipRgn(CRgn* region);
    int SelectClipRgn(CRgn* region, int mode);
    int IntersectClipRect(int left, int top, int right, int bottom);
    int IntersectClipRect(const RECT* rect) { return IntersectClipRect(rect->left, rect->top, rect->right, rect->bottom); }
    int ExcludeClipRect(int left, int top, int right, int bottom);
    int ExcludeClipRect(const RECT* rect) { return ExcludeClipRect(rect->left, rect->top, rect->right, rect->bottom); }
    int GetClipBox(RECT* rect) const;
    BOOL PtVisible(int x, int y) const;
    BOOL RectVisible(const RECT* rect) const;

    int SaveDC();
    BOOL RestoreDC(int saved);

    int GetDeviceCaps(int index) const;

    // Lines and shapes.
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
    BOOL LineTo(int x, int y);
    BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
    CPoint GetCurrentPosition() const;
    BOOL Polyline(const POINT* points, int count);
    BOOL PolylineTo(const POINT* points, int count);
    BOOL Polygon(const POINT* points, int count);
    BOOL Rectangle(int left, int top, int right, int bottom);
    BOOL Rectangle(const RECT* rect) { return Rectangle(rect->left, rect->top, rect->right, rect->bottom); }
    BOOL Ellipse(int left, int top, int right, int bottom);
    BOOL Ellipse(const RECT* rect) { return Ellipse(rect->left, rect->top, rect->right, rect->bottom); }
    BOOL RoundRect(int left, int top, int right, int bottom, int width, int height);
    void FillRect(const RECT* rect, CBrush* brush);
    void FillSolidRect(const RECT* rect, COLORREF color);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
    void FrameRect(const RECT* rect, CBrush* brush);
    void Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight);
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
    void InvertRect(const RECT* rect);
    // A dotted frame drawn by inverting every other pixel; drawing it again removes it.
    void DrawFocusRect(const RECT* rect);
    BOOL FillRgn(CRgn* region, CBrush* brush);
    BOOL InvertRgn(CRgn* region);
    COLORREF SetPixel(int x, int y, COLORREF color);
    COLORREF SetPixel(POINT p, COLORREF color) { return SetPixel(p.x, p.y, color); }
    BOOL SetPixelV(int x, int y, COLORREF color);
    COLORREF GetPixel(int x, int y) const;
    COLORREF GetPixel(POINT p) const { return GetPixel(p.x, p.y); }

    // Bitmaps.
    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc, DWORD rop);
    BOOL StretchBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc, int srcWidth,
                    int srcHeight, DWORD rop);
    BOOL PatBlt(int x, int y, int width, int height, DWORD rop);
    // Moves the pixels of `scroll` (the whole device when null) by dx, dy, changing only those
    // inside `clip` (everywhere when null); reports the area left uncovered.
    BOOL ScrollDC(int dx, int dy, const RECT* scroll, const RECT* clip, CRgn* updateRegion, RECT* updateRect);

    // Text.
    BOOL TextOut(int x, int y, std::string_view text);
    BOOL TextOut(int x, int y, const char* text, int count);
    BOOL ExtTextOut(int x, int y, UINT options, const RECT* rect, std::string_view text, const int* dx = nullptr);
    BOOL ExtTextOut(int x, int y, UINT options, const RECT* rect, const char* text, UINT count, const int* dx = nullptr);
    int DrawText(std::string_view text, RECT* rect, UINT format);
    int DrawText(const char* text, int count, RECT* rect, UINT format);
    CSize GetTextExtent(std::string_view text) const;
    CSize GetTextExtent(const char* text, int count) const;
    CSize GetOutputTextExtent(std::string_view text) const { return GetTextExtent(text); }
    BOOL GetTextMetrics(TEXTMETRICA* metrics) const;
    int GetTextFace(int count, char* face) const;

    // Printing (printer contexts only; see Print.h). Each returns a value <= 0 on failure
    // and shows what went wrong.
    int StartDoc(const DOCINFOA* info);
    int StartDoc(const char* docName);
    int StartPage();
    int EndPage();
    int EndDoc();
    int AbortDoc();
    BOOL IsPrinting() const;

    // The layer's use.
    DeviceContext* Context() const;

protected:
    bool owns_ = false;
};

// A context on a window's surface (or any standalone surface, as tests use). The update
// area, when given, clips everything drawn (a paint context's invalid rectangle). The surface
// must outlive the context; it may be resized meanwhile.
class CSurfaceDC : public CDC {
public:
    explicit CSurfaceDC(CSurface* surface, const RECT* updateArea = nullptr);
};

// Free-function forms used with handles.
int GetDeviceCaps(HDC dc, int index);
BOOL DeleteDC(HDC dc);
// Device-independent bitmaps: rows of a bitmap in the layout the header asks for (24 or 32
// bits; a zero biBitCount asks only for the header to be filled in), and the reverse.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT scanLines, void* bits, BITMAPINFO* info, UINT usage);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info,
              UINT usage);
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
