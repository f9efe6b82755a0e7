// Drawing objects: pens, brushes, fonts, bitmaps, regions and palettes.
//
// Each C++ object owns a reference to the layer's object behind its handle. A device context
// that has an object selected holds its own reference, so deleting a selected object never
// leaves the context drawing with freed memory. Detach() hands the object over to its handle:
// it then lives until DeleteObject(handle) or until the clipboard takes it.
//
// Bitmap resources (type "BITMAP") are the bytes of a .bmp file (with or without its 14-byte
// file header) or of a .png file. User-interface thread only.
#pragma once

#include "platform/ui/GdiTypes.h"
#include "platform/ui/Rect.h"

#include <memory>
#include <string>
#include <vector>

struct GdiObjectData;
class CDC;

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ m_hObject = nullptr;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    operator HGDIOBJ() const { return m_hObject; }

    // Takes a reference to the object behind the handle; fails for an unknown handle.
    BOOL Attach(HGDIOBJ handle);
    // Gives the object to its handle (see above) and leaves this C++ object empty.
    HGDIOBJ Detach();
    // Drops this object's reference; the object itself goes when nothing else holds it.
    BOOL DeleteObject();
    BOOL CreateStockObject(int index);
    // Copies the object's description (LOGPEN, LOGBRUSH, LOGFONT, BITMAP, or a WORD entry
    // count for a palette) into the buffer; returns the bytes written, 0 on failure.
    int GetObject(int count, void* buffer) const;

    // The layer's use: the object behind this C++ object (or behind its handle).
    std::shared_ptr<GdiObjectData> Data() const;

protected:
    void Adopt(std::shared_ptr<GdiObjectData> data);

    std::shared_ptr<GdiObjectData> data_;
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    // Width in logical units; 0 (and 1) draw one device pixel whatever the mapping.
    BOOL CreatePen(int style, int width, COLORREF color);
    BOOL CreatePenIndirect(const LOGPEN* pen);
    int GetLogPen(LOGPEN* pen) const { return GetObject(sizeof(LOGPEN), pen); }
    static CPen* FromHandle(HPEN handle);
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color);
    // Solid and null brushes (the program draws with no others).
    BOOL CreateBrushIndirect(const LOGBRUSH* brush);
    BOOL CreateSysColorBrush(int index);
    int GetLogBrush(LOGBRUSH* brush) const { return GetObject(sizeof(LOGBRUSH), brush); }
    static CBrush* FromHandle(HBRUSH handle);
};

class CFont : public CGdiObject {
public:
    // Height in logical units: negative = character height, positive = cell height,
    // 0 = the default. Escapement in tenths of a degree, counter-clockwise.
    BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                    BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                    BYTE quality, BYTE pitchAndFamily, const char* faceName);
    BOOL CreateFontIndirect(const LOGFONTA* font);
    // Size in tenths of a point on the given context (the screen when null).
    BOOL CreatePointFont(int pointSize, const char* faceName, CDC* dc = nullptr);
    BOOL CreatePointFontIndirect(const LOGFONTA* font, CDC* dc = nullptr);
    int GetLogFont(LOGFONTA* font) const { return GetObject(sizeof(LOGFONTA), font); }
    static CFont* FromHandle(HFONT handle);
};

class CBitmap : public CGdiObject {
public:
    // A colour bitmap of the display's format, white. Fails for sizes outside 1..32767.
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    // bits per pixel 1 (monochrome) or 24/32 (colour); bits, when given, in the device
    // layout: rows padded to 2 bytes, 1 = white for monochrome, B,G,R(,X) for colour.
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
    BOOL CreateBitmapIndirect(const BITMAP* bitmap);
    // From a BITMAP resource; fails (leaving the object empty) when there is none.
    BOOL LoadBitmap(UINT id);
    BOOL LoadBitmap(const char* name);
    int GetBitmap(BITMAP* bitmap) const;
    CSize GetBitmapDimension() const;
    // Pixels in the device layout of CreateBitmap; return the bytes copied.
    DWORD GetBitmapBits(DWORD count, void* bits) const;
    DWORD SetBitmapBits(DWORD count, const void* bits);
    operator HBITMAP() const { return m_hObject; }
    static CBitmap* FromHandle(HBITMAP handle);
};

class CRgn : public CGdiObject {
public:
    BOOL CreateRectRgn(int left, int top, int right, int bottom);
    BOOL CreateRectRgnIndirect(const RECT* rect);
    BOOL CreateEllipticRgn(int left, int top, int right, int bottom);
    BOOL CreatePolygonRgn(const POINT* points, int count, int fillMode);
    void SetRectRgn(int left, int top, int right, int bottom);
    // Combines two regions into this one (which must exist); returns the region kind.
    int CombineRgn(const CRgn* a, const CRgn* b, int mode);
    int CopyRgn(const CRgn* source);
    int OffsetRgn(int dx, int dy);
    int GetRgnBox(RECT* rect) const;
    BOOL PtInRegion(int x, int y) const;
    BOOL RectInRegion(const RECT* rect) const;
    BOOL EqualRgn(const CRgn* other) const;
    static CRgn* FromHandle(HRGN handle);
};

class CPalette : public CGdiObject {
public:
    BOOL CreatePalette(const LOGPALETTE* palette);
    int GetEntryCount() const;
    UINT GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const;
    UINT SetPaletteEntries(UINT start, UINT count, const PALETTEENTRY* entries);
    UINT GetNearestPaletteIndex(COLORREF color) const;
    static CPalette* FromHandle(HPALETTE handle);
};

// Frees an object given by handle (one that was detached); FALSE for an unknown handle.
BOOL DeleteObject(HGDIOBJ handle);

// The system colours: fixed values of the familiar Windows scheme, so that drawing does not
// depend on the desktop's theme. GetSysColorBrush returns a stock brush of that colour.
COLORREF GetSysColor(int index);
CBrush* GetSysColorBrush(int index);

// Windows bitmap files (.bmp): a 14-byte file header, a 40-byte BITMAPINFOHEADER and
// bottom-up rows of 24-bit pixels padded to four bytes, all little-endian.
std::vector<BYTE> EncodeBitmapFile(const CBitmap& bitmap);
// Writes the file; FALSE (and nothing written) when the bitmap is empty or the file fails.
BOOL SaveBitmapFile(const CBitmap& bitmap, const std::string& path);
// Reads a .bmp (or .png) file into the bitmap; FALSE for a missing or malformed file.
BOOL LoadBitmapFile(CBitmap& bitmap, const std::string& path);
