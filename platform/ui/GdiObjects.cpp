#include "platform/ui/qt/GdiInternal.h"
#include "platform/ui/GdiDC.h"

#include "platform/core/Resources.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <unordered_map>

// ---------------------------------------------------------------------------------------------
// Handle registry

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<HGDIOBJ, std::weak_ptr<GdiObjectData>> live;
    std::unordered_map<HGDIOBJ, std::shared_ptr<GdiObjectData>> detached;
    // Non-owning wrappers handed out by FromHandle, one per handle.
    std::unordered_map<HGDIOBJ, std::unique_ptr<CGdiObject>> wrappers;
    // Entries of `live` kept after their object died, for the next one to reuse.
    std::vector<decltype(live)::node_type> spare;
    Registry() { spare.reserve(64); }
};

Registry& Reg()
{
    static Registry* r = new Registry; // never destroyed: objects may die during exit
    return *r;
}

} // namespace

GdiObjectData::GdiObjectData(GdiKind k) : kind(k) {}

GdiObjectData::~GdiObjectData()
{
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    auto node = r.live.extract(Handle());
    if (!node.empty() && r.spare.size() < r.spare.capacity()) {
        node.mapped().reset();
        r.spare.push_back(std::move(node));
    }
}

namespace gdi {

static HGDIOBJ Register(const std::shared_ptr<GdiObjectData>& d)
{
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    const auto it = r.live.find(d->Handle());
    if (it != r.live.end()) {
        it->second = d;
    } else if (!r.spare.empty()) {
        auto node = std::move(r.spare.back());
        r.spare.pop_back();
        node.key() = d->Handle();
        node.mapped() = d;
        r.live.insert(std::move(node));
    } else {
        r.live.emplace(d->Handle(), d);
    }
    return d->Handle();
}

std::shared_ptr<GdiObjectData> Lookup(HGDIOBJ handle)
{
    if (!handle)
        return nullptr;
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    auto it = r.live.find(handle);
    return it == r.live.end() ? nullptr : it->second.lock();
}

void KeepDetached(std::shared_ptr<GdiObjectData> data)
{
    if (!data)
        return;
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    r.detached[data->Handle()] = std::move(data);
}

std::shared_ptr<GdiObjectData> TakeDetached(HGDIOBJ handle)
{
    std::shared_ptr<GdiObjectData> out;
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    auto it = r.detached.find(handle);
    if (it != r.detached.end()) {
        out = std::move(it->second);
        r.detached.erase(it);
    }
    return out;
}

std::shared_ptr<BitmapData> NewBitmap(int width, int height, int bitsPixel)
{
    if (width < 1 || height < 1 || width > 32767 || height > 32767)
        return nullptr;
    auto b = std::make_shared<BitmapData>();
    b->image = QImage(width, height, QImage::Format_RGB32);
    if (b->image.isNull())
        return nullptr;
    b->image.fill(0xFFFFFFFFu);
    b->bitsPixel = bitsPixel == 1 ? 1 : 32;
    Register(b);
    return b;
}

} // namespace gdi

// ---------------------------------------------------------------------------------------------
// Stock objects and system colours

namespace {

std::shared_ptr<GdiObjectData> MakeStock(int index)
{
    switch (index) {
    case WHITE_BRUSH:
    case LTGRAY_BRUSH:
    case GRAY_BRUSH:
    case DKGRAY_BRUSH:
    case BLACK_BRUSH:
    case NULL_BRUSH: {
        static const COLORREF colors[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                          RGB(64, 64, 64), RGB(0, 0, 0), 0};
        auto b = gdi::MakeShared<BrushData>();
        b->color = colors[index];
        b->style = index == NULL_BRUSH ? BS_NULL : BS_SOLID;
        return b;
    }
    case WHITE_PEN:
    case BLACK_PEN:
    case NULL_PEN: {
        auto p = gdi::MakeShared<PenData>();
        p->color = index == WHITE_PEN ? RGB(255, 255, 255) : RGB(0, 0, 0);
        p->style = index == NULL_PEN ? PS_NULL : PS_SOLID;
        return p;
    }
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
    case DEFAULT_GUI_FONT: {
        auto f = std::make_shared<FontData>();
        const bool fixed = index == OEM_FIXED_FONT || index == ANSI_FIXED_FONT || index == SYSTEM_FIXED_FONT;
        f->lf.lfHeight = index == DEFAULT_GUI_FONT ? -11 : 16;
        f->lf.lfWeight = (index == SYSTEM_FONT || index == DEVICE_DEFAULT_FONT) ? FW_BOLD : FW_NORMAL;
        std::strcpy(f->lf.lfFaceName, fixed ? "Courier New" : index == DEFAULT_GUI_FONT ? "MS Shell Dlg" : "System");
        return f;
    }
    case DEFAULT_PALETTE: {
        auto p = std::make_shared<PaletteData>();
        // The twenty static colours of a palette display.
        static const BYTE rgb[20][3] = {{0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128},
                                        {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192},
                                        {166, 202, 240}, {255, 251, 240}, {160, 160, 164}, {128, 128, 128},
                                        {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255},
                                        {0, 255, 255}, {255, 255, 255}};
        for (auto& c : rgb)
            p->entries.push_back(PALETTEENTRY{c[0], c[1], c[2], 0});
        return p;
    }
    default:
        return nullptr;
    }
}

struct StockTable {
    std::shared_ptr<GdiObjectData> objects[18];
    std::unique_ptr<CGdiObject> wrappers[18];
};

StockTable& Stock()
{
    static StockTable* t = new StockTable;
    return *t;
}

} // namespace

namespace gdi {

std::shared_ptr<GdiObjectData> StockObject(int index)
{
    if (index < 0 || index >= 18)
        return nullptr;
    StockTable& t = Stock();
    if (!t.objects[index]) {
        t.objects[index] = MakeStock(index);
        if (t.objects[index])
            Register(t.objects[index]);
    }
    return t.objects[index];
}

CGdiObject* StockWrapper(int index)
{
    auto d = StockObject(index);
    if (!d)
        return nullptr;
    StockTable& t = Stock();
    if (!t.wrappers[index]) {
        std::unique_ptr<CGdiObject> w;
        switch (d->kind) {
        case GdiKind::Pen: w = std::make_unique<CPen>(); break;
        case GdiKind::Brush: w = std::make_unique<CBrush>(); break;
        case GdiKind::Font: w = std::make_unique<CFont>(); break;
        case GdiKind::Palette: w = std::make_unique<CPalette>(); break;
        default: return nullptr;
        }
        w->CreateStockObject(index);
        t.wrappers[index] = std::move(w);
    }
    return t.wrappers[index].get();
}

} // namespace gdi

COLORREF GetSysColor(int index)
{
    switch (index) {
    case COLOR_SCROLLBAR: return RGB(200, 200, 200);
    case COLOR_BACKGROUND: return RGB(0, 0, 0);
    case COLOR_ACTIVECAPTION: return RGB(153, 180, 209);
    case COLOR_INACTIVECAPTION: return RGB(191, 205, 219);
    case COLOR_MENU: return RGB(240, 240, 240);
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWFRAME: return RGB(100, 100, 100);
    case COLOR_MENUTEXT: return RGB(0, 0, 0);
    case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
    case COLOR_CAPTIONTEXT: return RGB(0, 0, 0);
    case COLOR_ACTIVEBORDER: return RGB(180, 180, 180);
    case COLOR_INACTIVEBORDER: return RGB(244, 247, 252);
    case COLOR_APPWORKSPACE: return RGB(171, 171, 171);
    case COLOR_HIGHLIGHT: return RGB(51, 153, 255);
    case COLOR_HIGHLIGHTTEXT: return RGB(255, 255, 255);
    case COLOR_BTNFACE: return RGB(240, 240, 240);
    case COLOR_BTNSHADOW: return RGB(160, 160, 160);
    case COLOR_GRAYTEXT: return RGB(109, 109, 109);
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_INACTIVECAPTIONTEXT: return RGB(67, 78, 84);
    case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
    case COLOR_3DDKSHADOW: return RGB(105, 105, 105);
    case COLOR_3DLIGHT: return RGB(227, 227, 227);
    case COLOR_INFOTEXT: return RGB(0, 0, 0);
    case COLOR_INFOBK: return RGB(255, 255, 225);
    case COLOR_HOTLIGHT: return RGB(0, 102, 204);
    case COLOR_GRADIENTACTIVECAPTION: return RGB(185, 209, 234);
    case COLOR_GRADIENTINACTIVECAPTION: return RGB(215, 228, 242);
    case COLOR_MENUHILIGHT: return RGB(51, 153, 255);
    case COLOR_MENUBAR: return RGB(240, 240, 240);
    default: return 0;
    }
}

CBrush* GetSysColorBrush(int index)
{
    static std::map<int, std::unique_ptr<CBrush>>* brushes = new std::map<int, std::unique_ptr<CBrush>>;
    auto& b = (*brushes)[index];
    if (!b)
        b = std::make_unique<CBrush>(GetSysColor(index));
    return b.get();
}

// ---------------------------------------------------------------------------------------------
// CGdiObject

CGdiObject::~CGdiObject() = default;

void CGdiObject::Adopt(std::shared_ptr<GdiObjectData> data)
{
    data_ = std::move(data);
    m_hObject = data_ ? data_->Handle() : nullptr;
}

BOOL CGdiObject::Attach(HGDIOBJ handle)
{
    auto d = gdi::Lookup(handle);
    if (!d)
        return FALSE;
    Adopt(std::move(d));
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ h = m_hObject;
    gdi::KeepDetached(data_);
    data_.reset();
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject()
{
    if (!data_)
        return FALSE;
    data_.reset();
    m_hObject = nullptr;
    return TRUE;
}

BOOL CGdiObject::CreateStockObject(int index)
{
    auto d = gdi::StockObject(index);
    if (!d)
        return FALSE;
    Adopt(std::move(d));
    return TRUE;
}

std::shared_ptr<GdiObjectData> CGdiObject::Data() const
{
    return data_ ? data_ : gdi::Lookup(m_hObject);
}

int CGdiObject::GetObject(int count, void* buffer) const
{
    const std::shared_ptr<GdiObjectData> data_ = Data();
    if (!data_)
        return 0;
    auto put = [&](const void* src, int size) {
        if (!buffer)
            return size;
        const int n = std::min(count, size);
        if (n <= 0)
            return 0;
        std::memcpy(buffer, src, size_t(n));
        return n;
    };
    switch (data_->kind) {
    case GdiKind::Pen: {
        auto& p = static_cast<const PenData&>(*data_);
        LOGPEN lp;
        lp.lopnStyle = UINT(p.style);
        lp.lopnWidth.x = p.width;
        lp.lopnColor = p.color;
        return put(&lp, sizeof lp);
    }
    case GdiKind::Brush: {
        auto& b = static_cast<const BrushData&>(*data_);
        LOGBRUSH lb;
        lb.lbStyle = b.style;
        lb.lbColor = b.color;
        lb.lbHatch = std::uintptr_t(b.hatch);
        return put(&lb, sizeof lb);
    }
    case GdiKind::Font: return put(&static_cast<const FontData&>(*data_).lf, sizeof(LOGFONTA));
    case GdiKind::Bitmap: {
        auto& b = static_cast<const BitmapData&>(*data_);
        BITMAP bm;
        bm.bmWidth = b.image.width();
        bm.bmHeight = b.image.height();
        bm.bmPlanes = 1;
        bm.bmBitsPixel = WORD(b.bitsPixel);
        bm.bmWidthBytes = ((bm.bmWidth * b.bitsPixel + 15) / 16) * 2;
        return put(&bm, sizeof bm);
    }
    case GdiKind::Palette: {
        WORD n = WORD(static_cast<const PaletteData&>(*data_).entries.size());
        return put(&n, sizeof n);
    }
    case GdiKind::Region: return 0;
    }
    return 0;
}

BOOL DeleteObject(HGDIOBJ handle)
{
    return gdi::TakeDetached(handle) ? TRUE : FALSE;
}

namespace {

template <class W> W* WrapperFor(HGDIOBJ handle, GdiKind kind)
{
    auto d = gdi::Lookup(handle);
    if (!d || d->kind != kind)
        return nullptr;
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    // Forget wrappers of handles that have gone, so that a reused address starts afresh.
    for (auto it = r.wrappers.begin(); it != r.wrappers.end();) {
        if (!r.live.count(it->first))
            it = r.wrappers.erase(it);
        else
            ++it;
    }
    auto& w = r.wrappers[handle];
    if (!w || !dynamic_cast<W*>(w.get())) {
        auto nw = std::make_unique<W>();
        // Non-owning: an aliasing pointer that keeps nothing alive, as a temporary wrapper.
        nw->m_hObject = handle;
        w = std::move(nw);
    }
    return static_cast<W*>(w.get());
}

} // namespace

// Wrappers made by FromHandle see the object through the handle only.
CPen* CPen::FromHandle(HPEN h) { return WrapperFor<CPen>(h, GdiKind::Pen); }
CBrush* CBrush::FromHandle(HBRUSH h) { return WrapperFor<CBrush>(h, GdiKind::Brush); }
CFont* CFont::FromHandle(HFONT h) { return WrapperFor<CFont>(h, GdiKind::Font); }
CBitmap* CBitmap::FromHandle(HBITMAP h) { return WrapperFor<CBitmap>(h, GdiKind::Bitmap); }
CRgn* CRgn::FromHandle(HRGN h) { return WrapperFor<CRgn>(h, GdiKind::Region); }
CPalette* CPalette::FromHandle(HPALETTE h) { return WrapperFor<CPalette>(h, GdiKind::Palette); }

// ---------------------------------------------------------------------------------------------
// Pens, brushes, fonts

BOOL CPen::CreatePen(int style, int width, COLORREF color)
{
    if (data_)
        return FALSE;
    auto p = gdi::MakeShared<PenData>();
    p->style = style;
    p->width = std::max(0, width);
    p->color = color;
    gdi::Register(p);
    Adopt(p);
    return TRUE;
}

BOOL CPen::CreatePenIndirect(const LOGPEN* pen)
{
    return pen ? CreatePen(int(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor) : FALSE;
}

BOOL CBrush::CreateSolidBrush(COLORREF color)
{
    LOGBRUSH lb;
    lb.lbStyle = BS_SOLID;
    lb.lbColor = color;
    return CreateBrushIndirect(&lb);
}

BOOL CBrush::CreateBrushIndirect(const LOGBRUSH* brush)
{
    if (data_ || !brush || (brush->lbStyle != BS_SOLID && brush->lbStyle != BS_NULL))
        return FALSE;
    auto b = gdi::MakeShared<BrushData>();
    b->style = brush->lbStyle;
    b->color = brush->lbColor;
    b->hatch = int(brush->lbHatch);
    gdi::Register(b);
    Adopt(b);
    return TRUE;
}

BOOL CBrush::CreateSysColorBrush(int index) { return CreateSolidBrush(GetSysColor(index)); }

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                       BYTE quality, BYTE pitchAndFamily, const char* faceName)
{
    LOGFONTA lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    lf.lfStrikeOut = strikeOut;
    lf.lfCharSet = charSet;
    lf.lfOutPrecision = outPrecision;
    lf.lfClipPrecision = clipPrecision;
    lf.lfQuality = quality;
    lf.lfPitchAndFamily = pitchAndFamily;
    if (faceName)
        std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* font)
{
    if (data_ || !font)
        return FALSE;
    auto f = std::make_shared<FontData>();
    f->lf = *font;
    f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
    gdi::Register(f);
    Adopt(f);
    return TRUE;
}

BOOL CFont::CreatePointFont(int pointSize, const char* faceName, CDC* dc)
{
    LOGFONTA lf;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = pointSize;
    if (faceName)
        std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreatePointFontIndirect(&lf, dc);
}

BOOL CFont::CreatePointFontIndirect(const LOGFONTA* font, CDC* dc)
{
    if (!font)
        return FALSE;
    LOGFONTA lf = *font;
    // Tenths of a point to device pixels, then to the context's logical units.
    const int dpi = dc && dc->GetSafeHdc() ? dc->GetDeviceCaps(LOGPIXELSY) : 96;
    POINT pt{0, LONG(std::lround(double(dpi) * lf.lfHeight / 720.0))};
    POINT origin{0, 0};
    if (dc && dc->GetSafeHdc()) {
        dc->DPtoLP(&pt);
        dc->DPtoLP(&origin);
    }
    lf.lfHeight = -std::abs(pt.y - origin.y);
    return CreateFontIndirect(&lf);
}

namespace gdi {

std::string MapFaceName(const char* face)
{
    std::string f = face ? face : "";
    auto eq = [&](const char* n) { return QString::fromStdString(f).compare(n, Qt::CaseInsensitive) == 0; };
    // Windows face names to installed metric-compatible families.
    if (f.empty() || eq("Arial") || eq("MS Sans Serif") || eq("MS Shell Dlg") || eq("MS Shell Dlg 2") ||
        eq("Microsoft Sans Serif") || eq("Helvetica") || eq("System") || eq("Tahoma") || eq("Verdana") ||
        eq("Segoe UI"))
        return "Liberation Sans";
    if (eq("Times New Roman") || eq("Times") || eq("MS Serif"))
        return "Liberation Serif";
    if (eq("Courier New") || eq("Courier") || eq("Terminal") || eq("Lucida Console") || eq("Consolas"))
        return "Liberation Mono";
    return f;
}

QFont RealizeFont(const LOGFONTA& lf, double deviceHeight)
{
    QFont font(QString::fromStdString(MapFaceName(lf.lfFaceName)));
    font.setStyleHint((lf.lfPitchAndFamily & 0xF0) == FF_ROMAN    ? QFont::Serif
                      : (lf.lfPitchAndFamily & 0xF0) == FF_MODERN ? QFont::Monospace
                                                                  : QFont::SansSerif);
    // Ratio of cell height (ascent + descent) to character height for this family.
    static std::map<std::string, double>* cellRatio = new std::map<std::string, double>;
    const std::string family = font.family().toStdString();
    double& ratio = (*cellRatio)[family];
    if (ratio == 0.0) {
        QFont probe(font);
        probe.setPixelSize(1000);
        QFontMetricsF m(probe);
        ratio = (m.ascent() + m.descent()) / 1000.0;
        if (!(ratio > 0.5 && ratio < 3.0))
            ratio = 1.15;
    }
    double em;
    if (deviceHeight < 0)
        em = -deviceHeight;
    else if (deviceHeight > 0)
        em = deviceHeight / ratio;
    else
        em = 16.0 / ratio; // the default height
    font.setPixelSize(std::max(1, int(std::lround(em))));
    font.setWeight(lf.lfWeight <= 0 ? QFont::Normal : QFont::Weight(std::clamp(int(lf.lfWeight), 100, 900)));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    font.setKerning(false);
    if (lf.lfQuality == NONANTIALIASED_QUALITY)
        font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace gdi

// ---------------------------------------------------------------------------------------------
// Bitmaps

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height)
{
    // Always colour: a bitmap compatible with a memory context that holds its default
    // monochrome bitmap would be monochrome on Windows, a trap no caller wants.
    if (data_)
        return FALSE;
    auto b = gdi::NewBitmap(width, height, 32);
    if (!b)
        return FALSE;
    Adopt(b);
    return TRUE;
}

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    if (data_ || planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 24 && bitsPerPixel != 32))
        return FALSE;
    auto b = gdi::NewBitmap(width, height, int(bitsPerPixel));
    if (!b)
        return FALSE;
    Adopt(b);
    if (bitsPerPixel == 24) {
        // Kept as 32-bit colour; the bits follow the 24-bit device layout (B, G, R).
        if (bits) {
            auto d = std::static_pointer_cast<BitmapData>(data_);
            const size_t stride = size_t(((width * 24 + 15) / 16) * 2);
            const auto* in = static_cast<const BYTE*>(bits);
            for (int y = 0; y < height; ++y) {
                QRgb* row = reinterpret_cast<QRgb*>(d->image.scanLine(y));
                const BYTE* s = in + stride * size_t(y);
                for (int x = 0; x < width; ++x)
                    row[x] = qRgb(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
            }
        }
        return TRUE;
    }
    if (bits)
        SetBitmapBits(DWORD(((width * int(bitsPerPixel) + 15) / 16) * 2 * height), bits);
    return TRUE;
}

BOOL CBitmap::CreateBitmapIndirect(const BITMAP* bm)
{
    return bm ? CreateBitmap(bm->bmWidth, bm->bmHeight, bm->bmPlanes, bm->bmBitsPixel, bm->bmBits) : FALSE;
}

namespace {

BOOL LoadBitmapBytes(CBitmap& bitmap, std::span<const std::uint8_t> bytes)
{
    if (bytes.empty() || bitmap.GetSafeHandle())
        return FALSE;
    QImage img = gdi::DecodeImageFile(bytes);
    if (img.isNull())
        img = gdi::DecodeDib(bytes);
    if (img.isNull())
        return FALSE;
    if (!bitmap.CreateBitmap(img.width(), img.height(), 1, 32, nullptr))
        return FALSE;
    auto d = std::static_pointer_cast<BitmapData>(bitmap.Data());
    d->image = img.convertToFormat(QImage::Format_RGB32);
    return TRUE;
}

} // namespace

BOOL CBitmap::LoadBitmap(UINT id) { return LoadBitmapBytes(*this, FindResourceBytes(ResType::Bitmap, id)); }

BOOL CBitmap::LoadBitmap(const char* name)
{
    if (!name)
        return FALSE;
    return LoadBitmapBytes(*this, FindResourceBytes(ResType::Bitmap, name));
}

int CBitmap::GetBitmap(BITMAP* bitmap) const
{
    auto d = Data();
    if (!d || d->kind != GdiKind::Bitmap || !bitmap)
        return 0;
    return GetObject(sizeof(BITMAP), bitmap);
}

CSize CBitmap::GetBitmapDimension() const
{
    BITMAP bm;
    if (!GetBitmap(&bm))
        return CSize(0, 0);
    return CSize(bm.bmWidth, bm.bmHeight);
}

DWORD CBitmap::GetBitmapBits(DWORD count, void* bits) const
{
    auto d = std::dynamic_pointer_cast<BitmapData>(Data());
    if (!d || !bits)
        return 0;
    const int w = d->image.width(), h = d->image.height();
    const int stride = ((w * d->bitsPixel + 15) / 16) * 2;
    auto* out = static_cast<BYTE*>(bits);
    DWORD written = 0;
    for (int y = 0; y < h && written + DWORD(stride) <= count; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(d->image.constScanLine(y));
        BYTE* o = out + size_t(y) * size_t(stride);
        std::memset(o, 0, size_t(stride));
        for (int x = 0; x < w; ++x) {
            if (d->bitsPixel == 1) {
                if ((row[x] & 0xFFFFFF) == 0xFFFFFF)
                    o[x / 8] |= BYTE(0x80 >> (x % 8));
            } else {
                o[x * 4 + 0] = BYTE(qBlue(row[x]));
                o[x * 4 + 1] = BYTE(qGreen(row[x]));
                o[x * 4 + 2] = BYTE(qRed(row[x]));
            }
        }
        written += DWORD(stride);
    }
    return written;
}

DWORD CBitmap::SetBitmapBits(DWORD count, const void* bits)
{
    auto d = std::dynamic_pointer_cast<BitmapData>(Data());
    if (!d || !bits)
        return 0;
    const int w = d->image.width(), h = d->image.height();
    const int bpp = d->bitsPixel;
    const int stride = ((w * bpp + 15) / 16) * 2;
    const auto* in = static_cast<const BYTE*>(bits);
    DWORD read = 0;
    for (int y = 0; y < h && read + DWORD(stride) <= count; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(d->image.scanLine(y));
        const BYTE* s = in + size_t(y) * size_t(stride);
        if (bpp == 1) {
            for (int x = 0; x < w; ++x)
                row[x] = (s[x / 8] & (0x80 >> (x % 8))) ? 0xFFFFFFFFu : 0xFF000000u;
        } else {
            // Blue, green, red, unused in memory: a little-endian word is the pixel's RGB.
            std::memcpy(row, s, size_t(w) * 4);
            for (int x = 0; x < w; ++x)
                row[x] = qFromLittleEndian(row[x]) | 0xFF000000u;
        }
        read += DWORD(stride);
    }
    return read;
}

// ---------------------------------------------------------------------------------------------
// DIBs and bitmap files

namespace {

DWORD Rd32(const BYTE* p) { return DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24); }
WORD Rd16(const BYTE* p) { return WORD(p[0] | (p[1] << 8)); }
void Wr32(std::vector<BYTE>& v, DWORD x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(BYTE(x >> (8 * i)));
}
void Wr16(std::vector<BYTE>& v, WORD x)
{
    v.push_back(BYTE(x));
    v.push_back(BYTE(x >> 8));
}

int MaskShift(DWORD m)
{
    int s = 0;
    while (m && !(m & 1)) {
        m >>= 1;
        ++s;
    }
    return s;
}
int MaskBits(DWORD m)
{
    m >>= MaskShift(m);
    int n = 0;
    while (m & 1) {
        m >>= 1;
        ++n;
    }
    return n;
}
int Channel(DWORD v, DWORD mask)
{
    if (!mask)
        return 0;
    const int bits = MaskBits(mask);
    const DWORD c = (v & mask) >> MaskShift(mask);
    return bits >= 8 ? int(c >> (bits - 8)) : int((c * 255 + ((1u << bits) - 1) / 2) / ((1u << bits) - 1));
}

} // namespace

namespace gdi {

QImage DecodeDib(std::span<const BYTE> dib, std::span<const BYTE> separateBits)
{
    if (dib.size() < 40)
        return {};
    const BYTE* p = dib.data();
    const DWORD hdrSize = Rd32(p);
    if (hdrSize < 40 || hdrSize > dib.size())
        return {};
    const LONG width = LONG(Rd32(p + 4));
    const LONG rawHeight = LONG(Rd32(p + 8));
    const WORD planes = Rd16(p + 12);
    const WORD bits = Rd16(p + 14);
    const DWORD compression = Rd32(p + 16);
    DWORD clrUsed = Rd32(p + 32);
    if (width <= 0 || width > 32767 || rawHeight == 0 || rawHeight < -32767 || rawHeight > 32767 || planes != 1)
        return {};
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return {};
    if (compression != BI_RGB && !(compression == BI_BITFIELDS && (bits == 16 || bits == 32)))
        return {};
    const bool topDown = rawHeight < 0;
    const LONG height = topDown ? -rawHeight : rawHeight;
    size_t offset = hdrSize;
    DWORD masks[3] = {0, 0, 0};
    if (compression == BI_BITFIELDS) {
        if (hdrSize == 40) {
            if (dib.size() < offset + 12)
                return {};
            for (int i = 0; i < 3; ++i)
                masks[i] = Rd32(p + offset + 4 * i);
            offset += 12;
        } else {
            for (int i = 0; i < 3; ++i)
                masks[i] = Rd32(p + 40 + 4 * i);
        }
    } else if (bits == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (bits == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
    }
    std::vector<QRgb> table;
    if (bits <= 8) {
        const DWORD maxColors = 1u << bits;
        if (clrUsed == 0 || clrUsed > maxColors)
            clrUsed = maxColors;
        if (dib.size() < offset + size_t(clrUsed) * 4)
            return {};
        for (DWORD i = 0; i < clrUsed; ++i) {
            const BYTE* q = p + offset + 4 * i;
            table.push_back(qRgb(q[2], q[1], q[0]));
        }
        offset += size_t(clrUsed) * 4;
    }
    const size_t stride = size_t(DibRowBytes(width, bits));
    std::span<const BYTE> pixels = separateBits.empty() ? dib.subspan(offset) : separateBits;
    if (pixels.size() < stride * size_t(height))
        return {};
    QImage img(width, height, QImage::Format_RGB32);
    if (img.isNull())
        return {};
    for (LONG y = 0; y < height; ++y) {
        const BYTE* s = pixels.data() + stride * size_t(topDown ? y : height - 1 - y);
        QRgb* d = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (LONG x = 0; x < width; ++x) {
            switch (bits) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / bits;
                const int shift = 8 - bits * (1 + int(x % perByte));
                const int index = (s[x / perByte] >> shift) & ((1 << bits) - 1);
                d[x] = size_t(index) < table.size() ? table[size_t(index)] : 0xFF000000u;
                break;
            }
            case 16: {
                const DWORD v = Rd16(s + 2 * x);
                d[x] = qRgb(Channel(v, masks[0]), Channel(v, masks[1]), Channel(v, masks[2]));
                break;
            }
            case 24: d[x] = qRgb(s[3 * x + 2], s[3 * x + 1], s[3 * x]); break;
            case 32: {
                const DWORD v = Rd32(s + 4 * x);
                d[x] = qRgb(Channel(v, masks[0]), Channel(v, masks[1]), Channel(v, masks[2]));
                break;
            }
            }
        }
    }
    return img;
}

std::vector<BYTE> EncodeDib(const QImage& source, int bitCount)
{
    std::vector<BYTE> out;
    if (source.isNull() || (bitCount != 24 && bitCount != 32))
        return out;
    const QImage img = source.convertToFormat(QImage::Format_RGB32);
    const LONG w = img.width(), h = img.height();
    const size_t stride = size_t(DibRowBytes(w, bitCount));
    out.reserve(40 + stride * size_t(h));
    Wr32(out, 40);
    Wr32(out, DWORD(w));
    Wr32(out, DWORD(h));
    Wr16(out, 1);
    Wr16(out, WORD(bitCount));
    Wr32(out, BI_RGB);
    Wr32(out, DWORD(stride * size_t(h)));
    Wr32(out, 3780); // 96 dots per inch
    Wr32(out, 3780);
    Wr32(out, 0);
    Wr32(out, 0);
    for (LONG y = h - 1; y >= 0; --y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        size_t n = 0;
        for (LONG x = 0; x < w; ++x) {
            out.push_back(BYTE(qBlue(row[x])));
            out.push_back(BYTE(qGreen(row[x])));
            out.push_back(BYTE(qRed(row[x])));
            n += 3;
            if (bitCount == 32) {
                out.push_back(0);
                ++n;
            }
        }
        for (; n < stride; ++n)
            out.push_back(0);
    }
    return out;
}

QImage DecodeImageFile(std::span<const BYTE> bytes)
{
    if (bytes.size() >= 14 && bytes[0] == 'B' && bytes[1] == 'M') {
        const DWORD offBits = Rd32(bytes.data() + 10);
        std::span<const BYTE> dib = bytes.subspan(14);
        if (offBits < 14 + 40 || offBits > bytes.size())
            return {};
        return DecodeDib(dib, bytes.subspan(offBits));
    }
    static const BYTE png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), png, 8) == 0) {
        QImage img;
        if (img.loadFromData(bytes.data(), int(bytes.size()), "PNG"))
            return img.convertToFormat(QImage::Format_RGB32);
    }
    return {};
}

} // namespace gdi

std::vector<BYTE> EncodeBitmapFile(const CBitmap& bitmap)
{
    auto d = std::dynamic_pointer_cast<BitmapData>(bitmap.Data());
    if (!d || d->image.isNull())
        return {};
    std::vector<BYTE> dib = gdi::EncodeDib(d->image, 24);
    std::vector<BYTE> out;
    out.reserve(14 + dib.size());
    out.push_back('B');
    out.push_back('M');
    Wr32(out, DWORD(14 + dib.size()));
    Wr16(out, 0);
    Wr16(out, 0);
    Wr32(out, 14 + 40);
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

BOOL SaveBitmapFile(const CBitmap& bitmap, const std::string& path)
{
    const std::vector<BYTE> bytes = EncodeBitmapFile(bitmap);
    if (bytes.empty())
        return FALSE;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f)
        return FALSE;
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    f.close();
    return f ? TRUE : FALSE;
}

BOOL LoadBitmapFile(CBitmap& bitmap, const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return FALSE;
    std::vector<BYTE> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return LoadBitmapBytes(bitmap, bytes);
}

// ---------------------------------------------------------------------------------------------
// Regions

namespace {

RegionData* Rgn(const std::shared_ptr<GdiObjectData>& d)
{
    return d && d->kind == GdiKind::Region ? static_cast<RegionData*>(d.get()) : nullptr;
}

int RegionKind(const QRegion& r)
{
    if (r.isEmpty())
        return NULLREGION;
    return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

} // namespace

static BOOL NewRegion(CRgn& self, std::shared_ptr<GdiObjectData>& data, const QRegion& region)
{
    if (data)
        return FALSE;
    auto r = gdi::MakeShared<RegionData>();
    r->region = region;
    gdi::Register(r);
    // CGdiObject::Adopt is protected; reach it through a CRgn member.
    return self.Attach(r->Handle()) ? TRUE : FALSE;
}

BOOL CRgn::CreateRectRgn(int l, int t, int r, int b)
{
    return NewRegion(*this, data_, QRegion(QRect(QPoint(std::min(l, r), std::min(t, b)),
                                                 QPoint(std::max(l, r) - 1, std::max(t, b) - 1))));
}

BOOL CRgn::CreateRectRgnIndirect(const RECT* r)
{
    return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : FALSE;
}

BOOL CRgn::CreateEllipticRgn(int l, int t, int r, int b)
{
    return NewRegion(*this, data_, QRegion(QRect(l, t, r - l, b - t), QRegion::Ellipse));
}

BOOL CRgn::CreatePolygonRgn(const POINT* points, int count, int fillMode)
{
    if (!points || count < 2)
        return FALSE;
    QPolygon poly;
    for (int i = 0; i < count; ++i)
        poly << QPoint(points[i].x, points[i].y);
    return NewRegion(*this, data_, QRegion(poly, fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill));
}

void CRgn::SetRectRgn(int l, int t, int r, int b)
{
    if (auto* d = Rgn(Data()))
        d->region = QRegion(QRect(QPoint(std::min(l, r), std::min(t, b)), QPoint(std::max(l, r) - 1, std::max(t, b) - 1)));
}

int CRgn::CombineRgn(const CRgn* a, const CRgn* b, int mode)
{
    auto* d = Rgn(Data());
    const RegionData* ra = a ? Rgn(a->Data()) : nullptr;
    const RegionData* rb = b ? Rgn(b->Data()) : nullptr;
    if (!d || !ra || (mode != RGN_COPY && !rb))
        return RGN_ERROR;
    switch (mode) {
    case RGN_AND: d->region = ra->region.intersected(rb->region); break;
    case RGN_OR: d->region = ra->region.united(rb->region); break;
    case RGN_XOR: d->region = ra->region.xored(rb->region); break;
    case RGN_DIFF: d->region = ra->region.subtracted(rb->region); break;
    case RGN_COPY: d->region = ra->region; break;
    default: return RGN_ERROR;
    }
    return RegionKind(d->region);
}

int CRgn::CopyRgn(const CRgn* source) { return CombineRgn(source, nullptr, RGN_COPY); }

int CRgn::OffsetRgn(int dx, int dy)
{
    auto* d = Rgn(Data());
    if (!d)
        return RGN_ERROR;
    d->region.translate(dx, dy);
    return RegionKind(d->region);
}

int CRgn::GetRgnBox(RECT* rect) const
{
    auto* d = Rgn(Data());
    if (!d || !rect)
        return RGN_ERROR;
    const QRect b = d->region.boundingRect();
    *rect = b.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
    return RegionKind(d->region);
}

BOOL CRgn::PtInRegion(int x, int y) const
{
    auto* d = Rgn(Data());
    return d && d->region.contains(QPoint(x, y)) ? TRUE : FALSE;
}

BOOL CRgn::RectInRegion(const RECT* r) const
{
    auto* d = Rgn(Data());
    return d && r && d->region.intersects(QRect(QPoint(r->left, r->top), QPoint(r->right - 1, r->bottom - 1)))
               ? TRUE
               : FALSE;
}

BOOL CRgn::EqualRgn(const CRgn* other) const
{
    auto* a = Rgn(Data());
    auto* b = other ? Rgn(other->Data()) : nullptr;
    return a && b && a->region == b->region ? TRUE : FALSE;
}

// ---------------------------------------------------------------------------------------------
// Palettes

namespace {
PaletteData* Pal(const std::shared_ptr<GdiObjectData>& d)
{
    return d && d->kind == GdiKind::Palette ? static_cast<PaletteData*>(d.get()) : nullptr;
}
} // namespace

BOOL CPalette::CreatePalette(const LOGPALETTE* palette)
{
    if (data_ || !palette || palette->palNumEntries == 0)
        return FALSE;
    auto p = std::make_shared<PaletteData>();
    p->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    gdi::Register(p);
    Adopt(p);
    return TRUE;
}

int CPalette::GetEntryCount() const
{
    auto* p = Pal(Data());
    return p ? int(p->entries.size()) : 0;
}

UINT CPalette::GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const
{
    auto* p = Pal(Data());
    if (!p || !entries || start >= p->entries.size())
        return 0;
    const UINT n = std::min<UINT>(count, UINT(p->entries.size()) - start);
    std::copy_n(p->entries.begin() + start, n, entries);
    return n;
}

UINT CPalette::SetPaletteEntries(UINT start, UINT count, const PALETTEENTRY* entries)
{
    auto* p = Pal(Data());
    if (!p || !entries || start >= p->entries.size())
        return 0;
    const UINT n = std::min<UINT>(count, UINT(p->entries.size()) - start);
    std::copy_n(entries, n, p->entries.begin() + start);
    return n;
}

UINT CPalette::GetNearestPaletteIndex(COLORREF color) const
{
    auto* p = Pal(Data());
    if (!p || p->entries.empty())
        return CLR_INVALID;
    UINT best = 0;
    long bestD = -1;
    for (size_t i = 0; i < p->entries.size(); ++i) {
        const auto& e = p->entries[i];
        const long dr = long(e.peRed) - GetRValue(color), dg = long(e.peGreen) - GetGValue(color),
                   db = long(e.peBlue) - GetBValue(color);
        const long dist = dr * dr + dg * dg + db * db;
        if (bestD < 0 || dist < bestD) {
            bestD = dist;
            best = UINT(i);
        }
    }
    return best;
}
