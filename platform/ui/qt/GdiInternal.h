// The drawing layer's own objects behind the GDI handles. Included by the layer's sources
// only; the rest of the program sees the handles and the C++ wrappers.
#pragma once

#include "platform/ui/GdiObjects.h"
#include "platform/ui/qt/Surface.h"

#include <QFont>
#include <QImage>
#include <QRegion>

#include <memory>
#include <mutex>
#include <span>
#include <vector>

class QPainter;
class QPrinter;

enum class GdiKind { Pen, Brush, Font, Bitmap, Region, Palette };

namespace gdi {
// An allocator that keeps a few freed blocks of its type for the next allocation: the pens,
// brushes and contexts a window makes and drops on every redraw then cost no heap calls.
template <class T> struct Recycling {
    using value_type = T;
    Recycling() = default;
    template <class U> Recycling(const Recycling<U>&) {}
    T* allocate(std::size_t n)
    {
        if (n == 1) {
            Spare& s = Spares();
            std::lock_guard lock(s.mutex);
            if (!s.blocks.empty()) {
                void* b = s.blocks.back();
                s.blocks.pop_back();
                return static_cast<T*>(b);
            }
        }
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n)
    {
        if (n == 1) {
            Spare& s = Spares();
            std::lock_guard lock(s.mutex);
            if (s.blocks.size() < s.blocks.capacity()) {
                s.blocks.push_back(p);
                return;
            }
        }
        ::operator delete(p);
    }
    template <class U> bool operator==(const Recycling<U>&) const { return true; }

private:
    struct Spare {
        std::mutex mutex;
        std::vector<void*> blocks;
        Spare() { blocks.reserve(256); }
    };
    static Spare& Spares()
    {
        static Spare* s = new Spare; // never destroyed: objects may die during exit
        return *s;
    }
};

template <class D> std::shared_ptr<D> MakeShared() { return std::allocate_shared<D>(Recycling<D>()); }
} // namespace gdi

struct GdiObjectData {
    explicit GdiObjectData(GdiKind k);
    virtual ~GdiObjectData();
    GdiKind kind;
    HGDIOBJ Handle() { return reinterpret_cast<HGDIOBJ>(this); }
};

struct PenData : GdiObjectData {
    PenData() : GdiObjectData(GdiKind::Pen) {}
    int style = PS_SOLID;
    int width = 0;
    COLORREF color = 0;
    int Style() const { return style & PS_STYLE_MASK; }
};

struct BrushData : GdiObjectData {
    BrushData() : GdiObjectData(GdiKind::Brush) {}
    UINT style = BS_SOLID;
    COLORREF color = 0;
    int hatch = 0;
};

struct FontData : GdiObjectData {
    FontData() : GdiObjectData(GdiKind::Font) {}
    LOGFONTA lf;
};

// Pixels are kept as 32-bit RGB whatever the bit depth; a monochrome bitmap holds only
// black and white and says so in bitsPixel.
struct BitmapData : GdiObjectData {
    BitmapData() : GdiObjectData(GdiKind::Bitmap) {}
    QImage image;
    int bitsPixel = 32;
};

struct RegionData : GdiObjectData {
    RegionData() : GdiObjectData(GdiKind::Region) {}
    QRegion region;
};

struct PaletteData : GdiObjectData {
    PaletteData() : GdiObjectData(GdiKind::Palette) {}
    std::vector<PALETTEENTRY> entries;
};

namespace gdi {

// The live object behind a handle, or null for an unknown or freed handle.
std::shared_ptr<GdiObjectData> Lookup(HGDIOBJ handle);
template <class T> std::shared_ptr<T> LookupAs(HGDIOBJ handle, GdiKind kind)
{
    auto d = Lookup(handle);
    if (!d || d->kind != kind)
        return nullptr;
    return std::static_pointer_cast<T>(d);
}
// Keeps a detached object alive until DeleteObject(handle) or Release().
void KeepDetached(std::shared_ptr<GdiObjectData> data);
// Takes a detached object's keep-alive reference (null when it was not detached).
std::shared_ptr<GdiObjectData> TakeDetached(HGDIOBJ handle);

std::shared_ptr<GdiObjectData> StockObject(int index);
CGdiObject* StockWrapper(int index);

// Colour conversions: COLORREF 0x00BBGGRR <-> QRgb 0xFFRRGGBB.
inline QRgb ToRgb(COLORREF c) { return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
inline COLORREF ToColorRef(QRgb q) { return ((q >> 16) & 0xFF) | (q & 0xFF00) | ((q & 0xFF) << 16); }

// A new white bitmap, or null when the size is out of range or memory is short.
std::shared_ptr<BitmapData> NewBitmap(int width, int height, int bitsPixel);

// Reads a packed DIB (BITMAPINFOHEADER, colour table, rows); a null image when malformed.
// Accepts 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed (and 16/32 with bit fields).
QImage DecodeDib(std::span<const BYTE> dib, std::span<const BYTE> separateBits = {});
// A packed DIB of the image: 40-byte header and bottom-up rows, 24 or 32 bits per pixel.
std::vector<BYTE> EncodeDib(const QImage& image, int bitCount = 24);
// A .bmp or .png file image; null when it is neither.
QImage DecodeImageFile(std::span<const BYTE> bytes);

// The font as Qt draws it. deviceHeight is lfHeight converted to device pixels with its sign
// kept: negative = character (em) height, positive = cell height (ascent + descent), 0 = the
// default; every other field comes from lf.
QFont RealizeFont(const LOGFONTA& lf, double deviceHeight);
std::string MapFaceName(const char* face);

} // namespace gdi

// A clip area in device coordinates. Nearly every clip is one rectangle, kept as such so that
// narrowing and drawing with it allocate nothing; a region holds the rest.
class ClipArea {
public:
    ClipArea() = default;
    ClipArea(const QRect& r) : rect_(r.isEmpty() ? QRect() : r) {}
    ClipArea(const QRegion& r) { *this = r; }
    ClipArea& operator=(const QRegion& r)
    {
        complex_ = r.rectCount() > 1;
        region_ = complex_ ? r : QRegion();
        rect_ = complex_ ? QRect() : r.boundingRect();
        return *this;
    }
    bool isEmpty() const { return complex_ ? region_.isEmpty() : rect_.isEmpty(); }
    int rectCount() const { return complex_ ? region_.rectCount() : rect_.isEmpty() ? 0 : 1; }
    bool complex() const { return complex_; }
    QRect boundingRect() const { return complex_ ? region_.boundingRect() : rect_; }
    bool intersects(const QRect& r) const { return complex_ ? region_.intersects(r) : rect_.intersects(r); }
    bool contains(const QPoint& p) const { return complex_ ? region_.contains(p) : rect_.contains(p); }
    QRegion toRegion() const { return complex_ ? region_ : rect_.isEmpty() ? QRegion() : QRegion(rect_); }
    const QRegion& region() const { return region_; } // empty unless complex
    void intersect(const QRect& r)
    {
        if (complex_)
            *this = region_ & r;
        else
            rect_ = rect_.intersected(r);
    }
    void intersect(const ClipArea& o)
    {
        if (!o.complex_)
            intersect(o.rect_);
        else
            *this = toRegion() & o.region_;
    }
    // The rectangles, not overlapping.
    const QRect* begin() const { return complex_ ? region_.begin() : &rect_; }
    const QRect* end() const { return complex_ ? region_.end() : rect_.isEmpty() ? &rect_ : &rect_ + 1; }

private:
    QRect rect_;
    QRegion region_;
    bool complex_ = false;
};

// Everything a device context carries. SaveDC copies it whole.
struct DcState {
    std::shared_ptr<PenData> pen;
    CPen* penObj = nullptr;
    std::shared_ptr<BrushData> brush;
    CBrush* brushObj = nullptr;
    std::shared_ptr<FontData> font;
    CFont* fontObj = nullptr;
    std::shared_ptr<BitmapData> bitmap;
    CBitmap* bitmapObj = nullptr;
    std::shared_ptr<PaletteData> palette;
    CPalette* paletteObj = nullptr;

    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    UINT textAlign = TA_LEFT | TA_TOP;
    int stretchMode = BLACKONWHITE;
    int polyFillMode = ALTERNATE;

    int mapMode = MM_TEXT;
    POINT windowOrg{};
    POINT viewportOrg{};
    SIZE windowExt{1, 1};
    SIZE viewportExt{1, 1};

    POINT current{};
    bool hasClip = false;
    ClipArea clip; // device coordinates
};

// The object behind an HDC.
struct DeviceContext {
    enum class Kind { Surface, Memory, Printer };
    Kind kind = Kind::Memory;

    CSurface* surface = nullptr;
    // A memory context's own first bitmap, kept so that it can be selected back.
    std::shared_ptr<BitmapData> initialBitmap;
    // A fixed clip of the device itself in device coordinates (a paint DC's update area);
    // empty means none.
    ClipArea metaClip;
    bool hasMetaClip = false;

    // Printer contexts.
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<QPainter> painter;
    bool docStarted = false;
    bool pageOpen = false;
    int pagesStarted = 0;
    bool monochrome = false;
    std::string outputFile;
    bool askedOutput = false; // the PDF file was chosen when the job started

    DcState st;
    std::vector<DcState> saved;

    DeviceContext();
    ~DeviceContext();
    void InitialState(); // the stock objects selected
    HDC Handle() { return reinterpret_cast<HDC>(this); }
};

namespace gdi {
// A context behind a handle, or null for an unknown or deleted one.
DeviceContext* LookupDC(HDC dc);
// A context of the kind in its first state (a freed one when there is one to reuse).
std::unique_ptr<DeviceContext> NewContext(DeviceContext::Kind kind);
HDC NewDC(std::unique_ptr<DeviceContext> dc);
void FreeDC(HDC dc);
} // namespace gdi
