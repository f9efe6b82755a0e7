#include "platform/ui/GdiDC.h"
#include "platform/ui/qt/GdiInternal.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <span>
#include <unordered_map>

// ---------------------------------------------------------------------------------------------
// Context registry

namespace {

struct DcRegistry {
    std::mutex mutex;
    std::unordered_map<DeviceContext*, std::unique_ptr<DeviceContext>> live;
    std::unordered_map<HDC, std::unique_ptr<CDC>> wrappers;
    // Contexts (with their saved-state stacks) and entries of `live` kept for reuse: a window
    // takes and frees a context on every redraw.
    std::vector<std::unique_ptr<DeviceContext>> spareDCs;
    std::vector<decltype(live)::node_type> spareNodes;
    DcRegistry()
    {
        spareDCs.reserve(16);
        spareNodes.reserve(16);
    }
};

DcRegistry& DcReg()
{
    static DcRegistry* r = new DcRegistry;
    return *r;
}

// Counts freed contexts: a context found live stays so until the count moves.
std::atomic<unsigned> g_freedDCs{0};

} // namespace

DeviceContext::DeviceContext() { InitialState(); }

void DeviceContext::InitialState()
{
    st.pen = std::static_pointer_cast<PenData>(gdi::StockObject(BLACK_PEN));
    st.penObj = static_cast<CPen*>(gdi::StockWrapper(BLACK_PEN));
    st.brush = std::static_pointer_cast<BrushData>(gdi::StockObject(WHITE_BRUSH));
    st.brushObj = static_cast<CBrush*>(gdi::StockWrapper(WHITE_BRUSH));
    st.font = std::static_pointer_cast<FontData>(gdi::StockObject(SYSTEM_FONT));
    st.fontObj = static_cast<CFont*>(gdi::StockWrapper(SYSTEM_FONT));
    st.palette = std::static_pointer_cast<PaletteData>(gdi::StockObject(DEFAULT_PALETTE));
    st.paletteObj = static_cast<CPalette*>(gdi::StockWrapper(DEFAULT_PALETTE));
}

DeviceContext::~DeviceContext()
{
    if (painter && painter->isActive())
        painter->end();
}

namespace gdi {

DeviceContext* LookupDC(HDC dc)
{
    if (!dc)
        return nullptr;
    // Every drawing call asks, mostly for the context of the call before.
    thread_local HDC lastDC = nullptr;
    thread_local unsigned lastFreed = 0;
    const unsigned freed = g_freedDCs.load(std::memory_order_acquire);
    if (dc == lastDC && freed == lastFreed)
        return reinterpret_cast<DeviceContext*>(dc);
    DcRegistry& r = DcReg();
    std::lock_guard lock(r.mutex);
    auto it = r.live.find(reinterpret_cast<DeviceContext*>(dc));
    if (it == r.live.end())
        return nullptr;
    lastDC = dc;
    lastFreed = freed;
    return it->second.get();
}

std::unique_ptr<DeviceContext> NewContext(DeviceContext::Kind kind)
{
    std::unique_ptr<DeviceContext> dc;
    {
        DcRegistry& r = DcReg();
        std::lock_guard lock(r.mutex);
        if (!r.spareDCs.empty()) {
            dc = std::move(r.spareDCs.back());
            r.spareDCs.pop_back();
        }
    }
    if (!dc)
        dc = std::make_unique<DeviceContext>();
    dc->kind = kind;
    return dc;
}

HDC NewDC(std::unique_ptr<DeviceContext> dc)
{
    DcRegistry& r = DcReg();
    std::lock_guard lock(r.mutex);
    HDC h = dc->Handle();
    if (!r.spareNodes.empty()) {
        auto node = std::move(r.spareNodes.back());
        r.spareNodes.pop_back();
        node.key() = dc.get();
        node.mapped() = std::move(dc);
        r.live.insert(std::move(node));
    } else {
        r.live[dc.get()] = std::move(dc);
    }
    return h;
}

void FreeDC(HDC dc)
{
    std::unique_ptr<DeviceContext> gone;
    std::unique_ptr<CDC> wrapper;
    {
        DcRegistry& r = DcReg();
        std::lock_guard lock(r.mutex);
        auto node = r.live.extract(reinterpret_cast<DeviceContext*>(dc));
        if (!node.empty()) {
            g_freedDCs.fetch_add(1, std::memory_order_acq_rel);
            gone = std::move(node.mapped());
            if (r.spareNodes.size() < r.spareNodes.capacity())
                r.spareNodes.push_back(std::move(node));
        }
        auto w = r.wrappers.find(dc);
        if (w != r.wrappers.end()) {
            wrapper = std::move(w->second);
            r.wrappers.erase(w);
        }
    }
    if (wrapper)
        wrapper->m_hDC = nullptr;
    // Screen and memory contexts go back to their first state for reuse (printer ones, which
    // hold a print job, are not kept).
    if (gone && gone->kind != DeviceContext::Kind::Printer && !gone->printer && !gone->painter) {
        gone->surface = nullptr;
        gone->metaClip = ClipArea();
        gone->hasMetaClip = false;
        gone->saved.clear();
        gone->st = DcState();
        gone->InitialState();
        // A memory context's first bitmap serves the next one, black again, when nothing else
        // holds it (as Windows gives every memory context the same one-pixel bitmap).
        if (std::shared_ptr<BitmapData>& first = gone->initialBitmap) {
            if (first.use_count() == 1 && first->bitsPixel == 1 && first->image.size() == QSize(1, 1) &&
                first->image.format() == QImage::Format_RGB32)
                first->image.fill(0xFF000000u);
            else
                first.reset();
        }
        DcRegistry& r = DcReg();
        std::lock_guard lock(r.mutex);
        if (r.spareDCs.size() < r.spareDCs.capacity())
            r.spareDCs.push_back(std::move(gone));
    }
}

} // namespace gdi

// ---------------------------------------------------------------------------------------------
// Pixels, raster operations and mapping

namespace {

constexpr QRgb kOpaque = 0xFF000000u;

inline uint32_t Rop2(int rop, uint32_t P, uint32_t D)
{
    switch (rop) {
    case R2_COPYPEN: return P;
    case R2_NOT: return ~D;
    case R2_XORPEN: return P ^ D;
    case R2_NOTXORPEN: return ~(P ^ D);
    case R2_NOP: return D;
    default: {
        const int t = std::clamp(rop, 1, 16) - 1;
        uint32_t r = 0;
        if (t & 8) r |= P & D;
        if (t & 4) r |= P & ~D;
        if (t & 2) r |= ~P & D;
        if (t & 1) r |= ~P & ~D;
        return r;
    }
    }
}

inline uint32_t Rop3(DWORD rop, uint32_t P, uint32_t S, uint32_t D)
{
    switch (rop) {
    case SRCCOPY: return S;
    case SRCAND: return S & D;
    case SRCPAINT: return S | D;
    case SRCINVERT: return S ^ D;
    case NOTSRCCOPY: return ~S;
    case DSTINVERT: return ~D;
    case PATCOPY: return P;
    case PATINVERT: return P ^ D;
    case BLACKNESS: return 0;
    case WHITENESS: return 0xFFFFFFFFu;
    default: {
        const unsigned t = (rop >> 16) & 0xFF;
        uint32_t r = 0;
        for (unsigned i = 0; i < 8; ++i) {
            if (!(t & (1u << i)))
                continue;
            r |= ((i & 4) ? P : ~P) & ((i & 2) ? S : ~S) & ((i & 1) ? D : ~D);
        }
        return r;
    }
    }
}

inline bool RopUsesSource(DWORD rop)
{
    const unsigned t = (rop >> 16) & 0xFF;
    return ((t >> 2) & 0x33) != (t & 0x33);
}

inline QRgb Mono(QRgb c)
{
    const int lum = (qRed(c) * 30 + qGreen(c) * 59 + qBlue(c) * 11) / 100;
    return lum >= 128 ? 0xFFFFFFFFu : kOpaque;
}

struct Xform {
    double sx = 1, sy = 1, ox = 0, oy = 0;
};

Xform XformOf(const DcState& s)
{
    Xform t;
    if (s.mapMode != MM_TEXT) {
        const double wx = s.windowExt.cx ? s.windowExt.cx : 1, wy = s.windowExt.cy ? s.windowExt.cy : 1;
        t.sx = s.viewportExt.cx / wx;
        t.sy = s.viewportExt.cy / wy;
        if (s.mapMode == MM_ISOTROPIC) {
            const double m = std::min(std::abs(t.sx), std::abs(t.sy));
            t.sx = t.sx < 0 ? -m : m;
            t.sy = t.sy < 0 ? -m : m;
        }
    }
    t.ox = s.viewportOrg.x - s.windowOrg.x * t.sx;
    t.oy = s.viewportOrg.y - s.windowOrg.y * t.sy;
    return t;
}

// Coordinates are kept within +-2^29 so that sizes and differences of them cannot overflow;
// a value that is not a number (a mapping gone wrong) becomes 0.
constexpr double kCoordLimit = double(1 << 29);
inline int Round(double v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::lround(std::clamp(v, -kCoordLimit, kCoordLimit)));
}

inline QPoint ToDev(const Xform& t, double x, double y)
{
    return QPoint(Round(x * t.sx + t.ox), Round(y * t.sy + t.oy));
}

// The same for whole logical coordinates: without a scale and with a whole origin (a window's
// usual mapping) in integers, the result being exact either way.
inline QPoint ToDev(const Xform& t, long x, long y)
{
    constexpr long long limit = 1LL << 29;
    if (t.sx == 1 && t.sy == 1 && t.ox == std::trunc(t.ox) && t.oy == std::trunc(t.oy) && std::abs(t.ox) < limit &&
        std::abs(t.oy) < limit)
        return QPoint(int(std::clamp(x + static_cast<long long>(t.ox), -limit, limit)),
                      int(std::clamp(y + static_cast<long long>(t.oy), -limit, limit)));
    return ToDev(t, double(x), double(y));
}
inline QPoint ToDev(const Xform& t, int x, int y) { return ToDev(t, long(x), long(y)); }

inline QPoint ToLog(const Xform& t, double x, double y)
{
    return QPoint(Round((x - t.ox) / t.sx), Round((y - t.oy) / t.sy));
}

// A rectangle given by two logical corners, in device coordinates, normalised. Right and
// bottom stay outside, as on Windows.
QRect DevRect(const Xform& t, int l, int tp, int r, int b)
{
    const QPoint a = ToDev(t, l, tp), c = ToDev(t, r, b);
    const int x0 = std::min(a.x(), c.x()), x1 = std::max(a.x(), c.x());
    const int y0 = std::min(a.y(), c.y()), y1 = std::max(a.y(), c.y());
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

QString ToQString(std::string_view s)
{
    QString q = QString::fromUtf8(s.data(), qsizetype(s.size()));
    if (q.contains(QChar::ReplacementCharacter))
        q = QString::fromLatin1(s.data(), qsizetype(s.size()));
    return q;
}

// The same in a string the thread keeps: a block's labels and read-outs then cost no heap. It
// holds until the thread's next call.
QString& KeptQString(std::string_view s)
{
    thread_local QString q;
    if (!std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        q = ToQString(s);
        return q;
    }
    q.resize(qsizetype(s.size())); // a string shared since (a measured label's key) is copied first
    QChar* out = q.data();
    for (const char c : s)
        *out++ = QChar(static_cast<unsigned char>(c));
    return q;
}

// What one drawing call works on: the pixels of a surface or bitmap, or a printer page.
struct Target {
    DeviceContext* dc = nullptr;
    QImage* img = nullptr;
    QPainter* painter = nullptr;
    qreal ratio = 1;
    QSize devSize;
    bool mono = false;
    ClipArea clip; // device coordinates, always within the device
    bool ok() const { return (img || painter) && !clip.isEmpty(); }
};

QSize PrinterDevSize(const DeviceContext& dc)
{
    if (!dc.printer)
        return {};
    const QRect r = dc.printer->pageLayout().paintRectPixels(dc.printer->resolution());
    return r.size();
}

QSize DeviceSize(const DeviceContext& dc)
{
    switch (dc.kind) {
    case DeviceContext::Kind::Surface: return dc.surface ? QSize(dc.surface->Width(), dc.surface->Height()) : QSize();
    case DeviceContext::Kind::Memory: return dc.st.bitmap ? dc.st.bitmap->image.size() : QSize();
    case DeviceContext::Kind::Printer: return PrinterDevSize(dc);
    }
    return {};
}

ClipArea VisibleRegion(const DeviceContext& dc)
{
    ClipArea r(QRect(QPoint(0, 0), DeviceSize(dc)));
    if (dc.hasMetaClip)
        r.intersect(dc.metaClip);
    if (dc.st.hasClip)
        r.intersect(dc.st.clip);
    return r;
}

Target TargetOf(DeviceContext* dc)
{
    Target t;
    t.dc = dc;
    if (!dc)
        return t;
    switch (dc->kind) {
    case DeviceContext::Kind::Surface:
        if (dc->surface && !dc->surface->Image().isNull()) {
            t.img = &dc->surface->Image();
            t.ratio = t.img->devicePixelRatio();
        }
        break;
    case DeviceContext::Kind::Memory:
        if (dc->st.bitmap && !dc->st.bitmap->image.isNull()) {
            t.img = &dc->st.bitmap->image;
            t.mono = dc->st.bitmap->bitsPixel == 1;
        }
        break;
    case DeviceContext::Kind::Printer:
        if (dc->painter && dc->painter->isActive() && dc->pageOpen)
            t.painter = dc->painter.get();
        break;
    }
    t.devSize = DeviceSize(*dc);
    t.clip = VisibleRegion(*dc);
    return t;
}

// Physical pixel span of device pixel v at the given ratio.
inline int PhysLo(int v, qreal r) { return r == 1 ? v : int(std::floor(v * r)); }

// Clip test in physical pixels.
struct PixClip {
    QRect box;
    QRegion region;
    bool complex = false;
    explicit PixClip(const Target& t)
    {
        if (t.ratio == 1 && !t.clip.complex()) {
            // One rectangle: no region to build.
            box = t.clip.boundingRect();
            if (t.img)
                box &= QRect(QPoint(0, 0), t.img->size());
            return;
        }
        if (t.ratio == 1) {
            region = t.clip.region();
        } else {
            for (const QRect& r : t.clip) {
                const int x0 = PhysLo(r.left(), t.ratio), y0 = PhysLo(r.top(), t.ratio);
                const int x1 = PhysLo(r.right() + 1, t.ratio), y1 = PhysLo(r.bottom() + 1, t.ratio);
                region |= QRect(x0, y0, x1 - x0, y1 - y0);
            }
        }
        if (t.img && !QRect(QPoint(0, 0), t.img->size()).contains(region.boundingRect()))
            region &= QRect(QPoint(0, 0), t.img->size());
        box = region.boundingRect();
        complex = region.rectCount() > 1;
    }
    bool has(int x, int y) const { return box.contains(x, y) && (!complex || region.contains(QPoint(x, y))); }
};

void Touched(const Target& t, const QRect& dev = QRect())
{
    if (!t.dc || t.dc->kind != DeviceContext::Kind::Surface || !t.dc->surface)
        return;
    // Nothing is drawn outside the clip: a window's controls beside it (a plot's scroll bar
    // under its trace) are not repainted for a figure whose bounds only graze them.
    const QRect limit = t.clip.boundingRect();
    const QRect changed = dev.isNull() ? limit : dev.intersected(limit);
    if (!changed.isEmpty())
        t.dc->surface->Changed(changed);
}

COLORREF Resolve(const DcState& s, COLORREF c)
{
    if ((c >> 24) == 0x01) {
        const WORD i = WORD(c & 0xFFFF);
        if (s.palette && i < s.palette->entries.size()) {
            const auto& e = s.palette->entries[i];
            return RGB(e.peRed, e.peGreen, e.peBlue);
        }
        return 0;
    }
    return c & 0x00FFFFFF;
}

// Writes one device pixel (its block of physical pixels) with a binary raster operation.
void PlotDev(const Target& t, const PixClip& clip, int x, int y, QRgb P, int rop)
{
    if (x < 0 || y < 0 || x >= t.devSize.width() || y >= t.devSize.height())
        return;
    const int x0 = PhysLo(x, t.ratio), x1 = t.ratio == 1 ? x + 1 : PhysLo(x + 1, t.ratio);
    const int y0 = PhysLo(y, t.ratio), y1 = t.ratio == 1 ? y + 1 : PhysLo(y + 1, t.ratio);
    for (int py = y0; py < y1; ++py) {
        QRgb* row = reinterpret_cast<QRgb*>(t.img->scanLine(py));
        for (int px = x0; px < x1; ++px)
            if (clip.has(px, py))
                row[px] = kOpaque | (Rop2(rop, P, row[px]) & 0xFFFFFF);
    }
}

// Fills a device rectangle with a ternary raster operation and a pattern colour.
void FillDev(const Target& t, const QRect& dev, QRgb P, DWORD rop)
{
    if (!t.img || dev.isEmpty())
        return;
    const PixClip clip(t);
    const QRect phys = QRect(QPoint(PhysLo(dev.left(), t.ratio), PhysLo(dev.top(), t.ratio)),
                             QPoint(PhysLo(dev.right() + 1, t.ratio) - 1, PhysLo(dev.bottom() + 1, t.ratio) - 1))
                           .intersected(clip.box);
    // Row by row over each rectangle of the clip (they do not overlap); a plain copy is a row
    // fill, the common case of every background.
    const auto fill = [&](const QRect& area) {
        if (rop == PATCOPY) {
            const QRgb value = kOpaque | (P & 0xFFFFFF);
            for (int py = area.top(); py <= area.bottom(); ++py) {
                QRgb* row = reinterpret_cast<QRgb*>(t.img->scanLine(py));
                std::fill(row + area.left(), row + area.right() + 1, value);
            }
            return;
        }
        for (int py = area.top(); py <= area.bottom(); ++py) {
            QRgb* row = reinterpret_cast<QRgb*>(t.img->scanLine(py));
            for (int px = area.left(); px <= area.right(); ++px)
                row[px] = kOpaque | (Rop3(rop, P, 0, row[px]) & 0xFFFFFF);
        }
    };
    if (!clip.complex) {
        fill(phys);
        return;
    }
    for (const QRect& r : clip.region)
        fill(r.intersected(phys));
}

// Cosmetic dash patterns of one-pixel pens, in pixels: on, off, on, off ...
std::span<const int> DashPattern(int style)
{
    static const int dash[] = {18, 6}, dot[] = {3, 3}, dashDot[] = {9, 6, 3, 6}, dashDotDot[] = {9, 3, 3, 3, 3, 3};
    switch (style) {
    case PS_DASH: return dash;
    case PS_DOT: return dot;
    case PS_DASHDOT: return dashDot;
    case PS_DASHDOTDOT: return dashDotDot;
    default: return {};
    }
}

struct StyleState {
    int segment = 0;
    int count = 0;
};

// Pen as the device sees it.
struct DevPen {
    bool null = false;
    bool cosmetic = true; // one device pixel wide
    int style = PS_SOLID;
    int endcap = PS_ENDCAP_ROUND;
    int join = PS_JOIN_ROUND;
    double width = 1;
    QRgb color = kOpaque;
};

DevPen PenOf(const DcState& s, const Xform& x)
{
    DevPen p;
    if (!s.pen)
        return p;
    p.style = s.pen->Style();
    p.null = p.style == PS_NULL;
    p.color = gdi::ToRgb(Resolve(s, s.pen->color));
    p.endcap = s.pen->style & PS_ENDCAP_MASK;
    p.join = s.pen->style & PS_JOIN_MASK;
    const double w = s.pen->width * std::abs(x.sx);
    p.cosmetic = s.pen->width <= 1 || w <= 1.5;
    p.width = p.cosmetic ? 1 : w;
    if (!p.cosmetic && p.style != PS_NULL && p.style != PS_INSIDEFRAME)
        p.style = PS_SOLID; // wide pens draw solid, as on Windows
    return p;
}

struct DevBrush {
    bool null = true;
    QRgb color = 0xFFFFFFFFu;
};

DevBrush BrushOf(const DcState& s)
{
    DevBrush b;
    if (s.brush && s.brush->style != BS_NULL) {
        b.null = false;
        b.color = gdi::ToRgb(Resolve(s, s.brush->color));
    }
    return b;
}

// Cuts a segment to the box so that far-away end points cost nothing; the pixels inside the
// box are those of the whole line up to rounding of the new end points.
bool ClipSegment(QPoint& a, QPoint& b, const QRect& box)
{
    double t0 = 0, t1 = 1;
    const double x0 = a.x(), y0 = a.y(), dx = double(b.x()) - x0, dy = double(b.y()) - y0;
    auto edge = [&](double p, double q) {
        if (p == 0)
            return q >= 0;
        const double r = q / p;
        if (p < 0) {
            if (r > t1)
                return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0)
                return false;
            t1 = std::min(t1, r);
        }
        return true;
    };
    if (!edge(-dx, x0 - box.left()) || !edge(dx, box.right() - x0) || !edge(-dy, y0 - box.top()) ||
        !edge(dy, box.bottom() - y0))
        return false;
    const QPoint na(Round(x0 + t0 * dx), Round(y0 + t0 * dy));
    const QPoint nb(Round(x0 + t1 * dx), Round(y0 + t1 * dy));
    // The last pixel stays excluded only when the true end point was kept.
    if (t1 < 1)
        b = QPoint(nb.x() + (dx > 0) - (dx < 0), nb.y() + (dy > 0) - (dy < 0));
    else
        b = nb;
    a = na;
    return true;
}

// Lines are walked inside the device widened by a pixel; a segment reaching further is cut
// to it first (see ClipSegment). False when nothing of it is left.
bool CutToDevice(const QSize& devSize, QPoint& a, QPoint& b)
{
    const auto in = [&](const QPoint& p) {
        return p.x() >= -1 && p.y() >= -1 && p.x() < devSize.width() && p.y() < devSize.height();
    };
    if (in(a) && in(b))
        return true;
    const QRect box(QPoint(-1, -1), devSize + QSize(1, 1));
    return ClipSegment(a, b, box.adjusted(-2, -2, 2, 2));
}

// Solid one-pixel copy pens on unscaled pixels under a rectangular clip: traces, grids and
// axes, drawn on every block. The pixels are those of the walk in LineDev, written a run at a
// time (a steep segment's column, a flat one's row) straight into the image, clipped per run.
struct SolidRuns {
    uchar* bits = nullptr;
    qsizetype stride = 0;
    QRect box; // the clip, in pixels
    QRgb value = kOpaque;

    // Pixels (x, y0..y1), either order, inclusive.
    void Column(int x, int y0, int y1) const
    {
        if (y0 > y1)
            std::swap(y0, y1);
        if (x < box.left() || x > box.right())
            return;
        y0 = std::max(y0, box.top());
        y1 = std::min(y1, box.bottom());
        uchar* p = bits + y0 * stride + qsizetype(x) * 4;
        for (int y = y0; y <= y1; ++y, p += stride)
            *reinterpret_cast<QRgb*>(p) = value;
    }
    // Pixels (x0..x1, y), either order, inclusive.
    void Row(int y, int x0, int x1) const
    {
        if (x0 > x1)
            std::swap(x0, x1);
        if (y < box.top() || y > box.bottom())
            return;
        x0 = std::max(x0, box.left());
        x1 = std::min(x1, box.right());
        if (x0 > x1)
            return;
        QRgb* row = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(row + x0, row + x1 + 1, value);
    }

    // The line from a to b without its last pixel, as LineDev walks it. `cut` says whether an
    // end point may lie beyond the device.
    void Line(QPoint a, QPoint b, const QSize& devSize, bool cut) const
    {
        if (a == b)
            return;
        // Every pixel of the walk lies within the end points' box: a segment beside the clip
        // (most of a trace under a narrow repaint) costs nothing more.
        if (std::max(a.x(), b.x()) < box.left() || std::min(a.x(), b.x()) > box.right() ||
            std::max(a.y(), b.y()) < box.top() || std::min(a.y(), b.y()) > box.bottom())
            return;
        if (cut && !CutToDevice(devSize, a, b))
            return;
        int x = a.x(), y = a.y();
        const int bx = b.x(), by = b.y();
        if (x == bx && y == by)
            return;
        const int sx = x < bx ? 1 : -1, sy = y < by ? 1 : -1;
        if (x == bx) {
            Column(x, y, by - sy);
            return;
        }
        if (y == by) {
            Row(y, x, bx - sx);
            return;
        }
        const int dx = std::abs(bx - x), dy = -std::abs(by - y);
        int err = dx + dy;
        if (-dy > dx) {
            // Steep: while x stays, 2 * err < dy < dx and so y steps every pixel, err growing
            // by dx; x steps at the first pixel where 2 * err reaches dy. Each column's run
            // is found at once rather than walked.
            while (x != bx) {
                // (A trace's joins step one column: no division for them.)
                const int shortfall = dy - 2 * err;
                const int k = shortfall <= 0 ? 0 : dx == 1 ? (shortfall + 1) >> 1 : (shortfall + 2 * dx - 1) / (2 * dx);
                const int yLast = y + k * sy;
                Column(x, y, yLast);
                err += k * dx;
                const bool stepY = 2 * err <= dx;
                err += dy;
                x += sx;
                y = yLast;
                if (stepY) {
                    err += dx;
                    y += sy;
                }
            }
            if (y != by)
                Column(x, y, by - sy);
            return;
        }
        // Flat: the walk, a row's run written when y changes.
        int runX = x, runY = y;
        while (true) {
            const int lastX = x;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
            const bool end = x == bx && y == by;
            if (y != runY || end) {
                Row(runY, runX, lastX);
                runX = x;
                runY = y;
            }
            if (end)
                return;
        }
    }
};

// A one-pixel line from a to b in device coordinates, without its last pixel (Windows'
// rule), styled and with the binary raster operation, pixel by pixel.
void LineDev(const Target& t, const PixClip& clip, QPoint a, QPoint b, const DevPen& pen, const DcState& s,
             StyleState& style)
{
    if (!CutToDevice(t.devSize, a, b))
        return;
    const std::span<const int> pattern = DashPattern(pen.style);
    const QRgb bk = gdi::ToRgb(Resolve(s, s.bkColor));
    const QRgb penColor = t.mono ? Mono(pen.color) : pen.color;
    const QRgb bkColor = t.mono ? Mono(bk) : bk;
    int x = a.x(), y = a.y();
    const int dx = std::abs(b.x() - x), dy = -std::abs(b.y() - y);
    const int sx = x < b.x() ? 1 : -1, sy = y < b.y() ? 1 : -1;
    int err = dx + dy;
    while (!(x == b.x() && y == b.y())) {
        if (pattern.empty()) {
            PlotDev(t, clip, x, y, penColor, s.rop2);
        } else {
            const bool on = (style.segment % 2) == 0;
            if (on)
                PlotDev(t, clip, x, y, penColor, s.rop2);
            else if (s.bkMode == OPAQUE)
                PlotDev(t, clip, x, y, bkColor, s.rop2);
            if (++style.count >= pattern[size_t(style.segment)]) {
                style.count = 0;
                style.segment = (style.segment + 1) % int(pattern.size());
            }
        }
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

QPen QtPen(const DevPen& p)
{
    if (p.null)
        return QPen(Qt::NoPen);
    QPen q{QColor::fromRgb(p.color)};
    q.setWidthF(p.cosmetic ? 1.0 : p.width);
    q.setCosmetic(p.cosmetic);
    q.setCapStyle(p.endcap == PS_ENDCAP_FLAT ? Qt::FlatCap : p.endcap == PS_ENDCAP_SQUARE ? Qt::SquareCap : Qt::RoundCap);
    q.setJoinStyle(p.join == PS_JOIN_BEVEL ? Qt::BevelJoin : p.join == PS_JOIN_MITER ? Qt::MiterJoin : Qt::RoundJoin);
    switch (p.style) {
    case PS_DASH: q.setDashPattern({18, 6}); break;
    case PS_DOT: q.setDashPattern({3, 3}); break;
    case PS_DASHDOT: q.setDashPattern({9, 6, 3, 6}); break;
    case PS_DASHDOTDOT: q.setDashPattern({9, 3, 3, 3, 3, 3}); break;
    default: break;
    }
    return q;
}

QBrush QtBrush(const DevBrush& b) { return b.null ? QBrush(Qt::NoBrush) : QBrush(QColor::fromRgb(b.color)); }

// Narrows a painter on pixels to a clip area: a rectangle where it is one, which costs no region.
void ClipPainter(QPainter& p, const ClipArea& clip)
{
    if (clip.complex())
        p.setClipRegion(clip.region());
    else
        p.setClipRect(clip.boundingRect());
}

// Draws with Qt in device coordinates. On pixels with a raster operation other than a
// plain copy the figure is first drawn into a mask and then combined pixel by pixel.
template <class Fn> void PaintDev(const Target& t, int rop, const QRect& bound, Fn&& fn)
{
    if (!t.ok() || rop == R2_NOP)
        return;
    if (t.painter) {
        t.painter->save();
        t.painter->setClipRegion(t.clip.toRegion());
        t.painter->setRenderHint(QPainter::Antialiasing, false);
        fn(*t.painter);
        t.painter->restore();
        return;
    }
    if (rop == R2_COPYPEN && !t.mono) {
        QPainter p(t.img);
        ClipPainter(p, t.clip);
        p.setRenderHint(QPainter::Antialiasing, false);
        fn(p);
        return;
    }
    // The figure is drawn into a mask over its bounding box only, then combined.
    QRect area(QPoint(0, 0), t.devSize);
    if (!bound.isNull())
        area &= bound.adjusted(-2, -2, 2, 2);
    if (area.isEmpty())
        return;
    const QPoint physOrigin(PhysLo(area.left(), t.ratio), PhysLo(area.top(), t.ratio));
    const QRect phys = QRect(physOrigin, QPoint(PhysLo(area.right() + 1, t.ratio) - 1, PhysLo(area.bottom() + 1, t.ratio) - 1))
                           .intersected(QRect(QPoint(0, 0), t.img->size()));
    if (phys.isEmpty())
        return;
    QImage mask(phys.size(), QImage::Format_ARGB32_Premultiplied);
    if (mask.isNull())
        return;
    mask.setDevicePixelRatio(t.ratio);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.translate(-physOrigin.x() / t.ratio, -physOrigin.y() / t.ratio);
        ClipPainter(p, t.clip);
        p.setRenderHint(QPainter::Antialiasing, false);
        fn(p);
    }
    for (int py = phys.top(); py <= phys.bottom(); ++py) {
        const QRgb* m = reinterpret_cast<const QRgb*>(mask.constScanLine(py - phys.top())) - phys.left();
        QRgb* row = reinterpret_cast<QRgb*>(t.img->scanLine(py));
        for (int px = phys.left(); px <= phys.right(); ++px) {
            if (qAlpha(m[px]) < 128)
                continue;
            const QRgb P = t.mono ? Mono(m[px]) : m[px];
            row[px] = kOpaque | (Rop2(rop, P, row[px]) & 0xFFFFFF);
        }
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CDC basics

CDC::~CDC()
{
    if (owns_ && m_hDC)
        gdi::FreeDC(m_hDC);
}

DeviceContext* CDC::Context() const { return gdi::LookupDC(m_hDC); }

BOOL CDC::Attach(HDC dc)
{
    if (m_hDC || !gdi::LookupDC(dc))
        return FALSE;
    m_hDC = dc;
    owns_ = true;
    return TRUE;
}

HDC CDC::Detach()
{
    HDC h = m_hDC;
    m_hDC = nullptr;
    owns_ = false;
    return h;
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC)
        return FALSE;
    if (owns_)
        gdi::FreeDC(m_hDC);
    m_hDC = nullptr;
    owns_ = false;
    return TRUE;
}

BOOL DeleteDC(HDC dc)
{
    if (!gdi::LookupDC(dc))
        return FALSE;
    gdi::FreeDC(dc);
    return TRUE;
}

CDC* CDC::FromHandle(HDC dc)
{
    if (!gdi::LookupDC(dc))
        return nullptr;
    DcRegistry& r = DcReg();
    std::lock_guard lock(r.mutex);
    auto& w = r.wrappers[dc];
    if (!w) {
        w = std::make_unique<CDC>();
        w->m_hDC = dc; // not owned: the handle's owner frees it
    }
    return w.get();
}

BOOL CDC::CreateCompatibleDC(CDC*)
{
    if (m_hDC)
        return FALSE;
    auto dc = gdi::NewContext(DeviceContext::Kind::Memory);
    if (!dc->initialBitmap) {
        dc->initialBitmap = gdi::NewBitmap(1, 1, 1);
        if (!dc->initialBitmap)
            return FALSE;
        dc->initialBitmap->image.fill(0xFF000000u);
    }
    dc->st.bitmap = dc->initialBitmap;
    m_hDC = gdi::NewDC(std::move(dc));
    owns_ = true;
    return TRUE;
}

CSurfaceDC::CSurfaceDC(CSurface* surface, const RECT* updateArea)
{
    if (!surface)
        return;
    auto dc = gdi::NewContext(DeviceContext::Kind::Surface);
    dc->surface = surface;
    if (updateArea) {
        dc->hasMetaClip = true;
        dc->metaClip = ClipArea(QRect(QPoint(updateArea->left, updateArea->top),
                                      QPoint(updateArea->right - 1, updateArea->bottom - 1)));
    }
    m_hDC = gdi::NewDC(std::move(dc));
    owns_ = true;
}

// ---------------------------------------------------------------------------------------------
// Objects

namespace {
template <class D> std::shared_ptr<D> As(const CGdiObject* o, GdiKind kind)
{
    if (!o)
        return nullptr;
    auto d = gdi::Lookup(o->GetSafeHandle());
    if (!d || d->kind != kind)
        return nullptr;
    return std::static_pointer_cast<D>(d);
}

// Puts a pen, brush or font into the context and hands back the object it replaced.
template <class Obj, class D>
Obj* SelectInto(DeviceContext* dc, Obj* obj, GdiKind kind, std::shared_ptr<D> DcState::*data, Obj* DcState::*slot)
{
    auto d = As<D>(obj, kind);
    if (!dc || !d)
        return nullptr;
    Obj* prev = dc->st.*slot;
    dc->st.*data = d;
    dc->st.*slot = obj;
    return prev;
}
} // namespace

CPen* CDC::SelectObject(CPen* pen) { return SelectInto(Context(), pen, GdiKind::Pen, &DcState::pen, &DcState::penObj); }

CBrush* CDC::SelectObject(CBrush* brush)
{
    return SelectInto(Context(), brush, GdiKind::Brush, &DcState::brush, &DcState::brushObj);
}

CFont* CDC::SelectObject(CFont* font)
{
    return SelectInto(Context(), font, GdiKind::Font, &DcState::font, &DcState::fontObj);
}

CBitmap* CDC::SelectObject(CBitmap* bitmap)
{
    auto* dc = Context();
    auto d = As<BitmapData>(bitmap, GdiKind::Bitmap);
    if (!dc || !d || dc->kind != DeviceContext::Kind::Memory)
        return nullptr;
    // The context's first bitmap has no C++ object; hand back a wrapper of its handle so the
    // usual "select the old one back" works.
    CBitmap* prev = dc->st.bitmapObj;
    if (!prev && dc->st.bitmap)
        prev = CBitmap::FromHandle(dc->st.bitmap->Handle());
    dc->st.bitmap = d;
    dc->st.bitmapObj = bitmap;
    return prev;
}

int CDC::SelectObject(CRgn* region) { return SelectClipRgn(region); }

CGdiObject* CDC::SelectObject(CGdiObject* object)
{
    auto d = object ? gdi::Lookup(object->GetSafeHandle()) : nullptr;
    if (!d)
        return nullptr;
    switch (d->kind) {
    case GdiKind::Pen: return SelectObject(static_cast<CPen*>(object));
    case GdiKind::Brush: return SelectObject(static_cast<CBrush*>(object));
    case GdiKind::Font: return SelectObject(static_cast<CFont*>(object));
    case GdiKind::Bitmap: return SelectObject(static_cast<CBitmap*>(object));
    case GdiKind::Palette: return SelectPalette(static_cast<CPalette*>(object), FALSE);
    case GdiKind::Region: SelectClipRgn(static_cast<CRgn*>(object)); return nullptr;
    }
    return nullptr;
}

CGdiObject* CDC::SelectStockObject(int index)
{
    CGdiObject* o = gdi::StockWrapper(index);
    auto d = gdi::StockObject(index);
    if (!o || !d)
        return nullptr;
    switch (d->kind) {
    case GdiKind::Pen: return SelectObject(static_cast<CPen*>(o));
    case GdiKind::Brush: return SelectObject(static_cast<CBrush*>(o));
    case GdiKind::Font: return SelectObject(static_cast<CFont*>(o));
    case GdiKind::Palette: return SelectPalette(static_cast<CPalette*>(o), FALSE);
    default: return nullptr;
    }
}

CPalette* CDC::SelectPalette(CPalette* palette, BOOL)
{
    auto* dc = Context();
    auto d = As<PaletteData>(palette, GdiKind::Palette);
    if (!dc || !d)
        return nullptr;
    CPalette* prev = dc->st.paletteObj;
    dc->st.palette = d;
    dc->st.paletteObj = palette;
    return prev;
}

// True-colour devices: nothing to realise.
UINT CDC::RealizePalette() { return 0; }

CPen* CDC::GetCurrentPen() const { auto* dc = Context(); return dc ? dc->st.penObj : nullptr; }
CBrush* CDC::GetCurrentBrush() const { auto* dc = Context(); return dc ? dc->st.brushObj : nullptr; }
CFont* CDC::GetCurrentFont() const { auto* dc = Context(); return dc ? dc->st.fontObj : nullptr; }
CBitmap* CDC::GetCurrentBitmap() const
{
    auto* dc = Context();
    if (!dc || !dc->st.bitmap)
        return nullptr;
    return dc->st.bitmapObj ? dc->st.bitmapObj : CBitmap::FromHandle(dc->st.bitmap->Handle());
}

// ---------------------------------------------------------------------------------------------
// Attributes

#define DC_SET(field, value)                                                                                           \
    auto* dc = Context();                                                                                              \
    if (!dc)                                                                                                           \
        return 0;                                                                                                      \
    auto prev = dc->st.field;                                                                                          \
    dc->st.field = value;                                                                                              \
    return prev

COLORREF CDC::SetTextColor(COLORREF c) { DC_SET(textColor, c); }
COLORREF CDC::SetBkColor(COLORREF c) { DC_SET(bkColor, c); }
int CDC::SetBkMode(int m)
{
    if (m != OPAQUE && m != TRANSPARENT)
        return 0;
    DC_SET(bkMode, m);
}
int CDC::SetROP2(int m)
{
    if (m < R2_BLACK || m > R2_WHITE)
        return 0;
    DC_SET(rop2, m);
}
UINT CDC::SetTextAlign(UINT f) { DC_SET(textAlign, f); }
int CDC::SetStretchBltMode(int m) { DC_SET(stretchMode, m); }
int CDC::SetPolyFillMode(int m) { DC_SET(polyFillMode, m); }
#undef DC_SET

#define DC_GET(field)                                                                                                  \
    auto* dc = Context();                                                                                              \
    return dc ? dc->st.field : 0

COLORREF CDC::GetTextColor() const { DC_GET(textColor); }
COLORREF CDC::GetBkColor() const { DC_GET(bkColor); }
int CDC::GetBkMode() const { DC_GET(bkMode); }
int CDC::GetROP2() const { DC_GET(rop2); }
UINT CDC::GetTextAlign() const { DC_GET(textAlign); }
int CDC::GetStretchBltMode() const { DC_GET(stretchMode); }
int CDC::GetPolyFillMode() const { DC_GET(polyFillMode); }
int CDC::GetMapMode() const { DC_GET(mapMode); }
#undef DC_GET

COLORREF CDC::GetNearestColor(COLORREF color) const
{
    auto* dc = Context();
    if (!dc)
        return CLR_INVALID;
    const COLORREF c = Resolve(dc->st, color);
    if (dc->kind == DeviceContext::Kind::Memory && dc->st.bitmap && dc->st.bitmap->bitsPixel == 1)
        return gdi::ToColorRef(Mono(gdi::ToRgb(c)));
    return c;
}

// ---------------------------------------------------------------------------------------------
// Mapping

int CDC::SetMapMode(int mode)
{
    auto* dc = Context();
    if (!dc || mode < MM_TEXT || mode > MM_ANISOTROPIC)
        return 0;
    const int prev = dc->st.mapMode;
    dc->st.mapMode = mode;
    switch (mode) {
    case MM_TEXT:
        dc->st.windowExt = {1, 1};
        dc->st.viewportExt = {1, 1};
        break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC:
        break; // keeps the extents it had
    default: {
        // Fixed metric modes: logical units of a length, y up.
        const double dpiX = GetDeviceCaps(LOGPIXELSX), dpiY = GetDeviceCaps(LOGPIXELSY);
        double unitsPerInch = 1;
        switch (mode) {
        case MM_LOMETRIC: unitsPerInch = 254; break;
        case MM_HIMETRIC: unitsPerInch = 2540; break;
        case MM_LOENGLISH: unitsPerInch = 100; break;
        case MM_HIENGLISH: unitsPerInch = 1000; break;
        case MM_TWIPS: unitsPerInch = 1440; break;
        }
        dc->st.windowExt = {LONG(unitsPerInch * 100), LONG(unitsPerInch * 100)};
        dc->st.viewportExt = {LONG(dpiX * 100), LONG(-dpiY * 100)};
        break;
    }
    }
    return prev;
}

namespace {
CPoint SwapOrigin(DeviceContext* dc, POINT DcState::*origin, int x, int y)
{
    if (!dc)
        return {};
    CPoint prev(dc->st.*origin);
    dc->st.*origin = {x, y};
    return prev;
}

// Extents mean something only in the scalable modes; zero is refused as on Windows.
CSize SwapExtent(DeviceContext* dc, SIZE DcState::*extent, int cx, int cy)
{
    if (!dc)
        return {};
    CSize prev(dc->st.*extent);
    if ((dc->st.mapMode == MM_ANISOTROPIC || dc->st.mapMode == MM_ISOTROPIC) && cx != 0 && cy != 0)
        dc->st.*extent = {cx, cy};
    return prev;
}
} // namespace

CPoint CDC::SetWindowOrg(int x, int y) { return SwapOrigin(Context(), &DcState::windowOrg, x, y); }
CPoint CDC::GetWindowOrg() const { auto* dc = Context(); return dc ? CPoint(dc->st.windowOrg) : CPoint(); }
CSize CDC::SetWindowExt(int cx, int cy) { return SwapExtent(Context(), &DcState::windowExt, cx, cy); }
CSize CDC::GetWindowExt() const { auto* dc = Context(); return dc ? CSize(dc->st.windowExt) : CSize(); }
CPoint CDC::SetViewportOrg(int x, int y) { return SwapOrigin(Context(), &DcState::viewportOrg, x, y); }
CPoint CDC::GetViewportOrg() const { auto* dc = Context(); return dc ? CPoint(dc->st.viewportOrg) : CPoint(); }

CPoint CDC::OffsetViewportOrg(int dx, int dy)
{
    const CPoint prev = GetViewportOrg();
    SetViewportOrg(prev.x + dx, prev.y + dy);
    return prev;
}

CSize CDC::SetViewportExt(int cx, int cy) { return SwapExtent(Context(), &DcState::viewportExt, cx, cy); }
CSize CDC::GetViewportExt() const { auto* dc = Context(); return dc ? CSize(dc->st.viewportExt) : CSize(); }

namespace {
// Converts points in place, logical to device (toDevice) or back.
void MapPoints(const DeviceContext* dc, POINT* pts, int count, bool toDevice)
{
    if (!dc || !pts)
        return;
    const Xform t = XformOf(dc->st);
    for (int i = 0; i < count; ++i) {
        const QPoint p = toDevice ? ToDev(t, pts[i].x, pts[i].y) : ToLog(t, pts[i].x, pts[i].y);
        pts[i] = {p.x(), p.y()};
    }
}

// Sizes only scale: origins play no part.
void MapSize(const DeviceContext* dc, SIZE* s, bool toDevice)
{
    if (!dc || !s)
        return;
    const Xform t = XformOf(dc->st);
    s->cx = Round(toDevice ? s->cx * t.sx : s->cx / t.sx);
    s->cy = Round(toDevice ? s->cy * t.sy : s->cy / t.sy);
}
} // namespace

void CDC::LPtoDP(POINT* pts, int count) const { MapPoints(Context(), pts, count, true); }
void CDC::LPtoDP(RECT* r) const { LPtoDP(reinterpret_cast<POINT*>(r), 2); }
void CDC::LPtoDP(SIZE* s) const { MapSize(Context(), s, true); }
void CDC::DPtoLP(POINT* pts, int count) const { MapPoints(Context(), pts, count, false); }
void CDC::DPtoLP(RECT* r) const { DPtoLP(reinterpret_cast<POINT*>(r), 2); }
void CDC::DPtoLP(SIZE* s) const { MapSize(Context(), s, false); }

// ---------------------------------------------------------------------------------------------
// Clipping and saved states

namespace {
int KindOf(const ClipArea& r)
{
    if (r.isEmpty())
        return NULLREGION;
    return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
} // namespace

int CDC::SelectClipRgn(CRgn* region) { return SelectClipRgn(region, RGN_COPY); }

int CDC::SelectClipRgn(CRgn* region, int mode)
{
    auto* dc = Context();
    if (!dc)
        return RGN_ERROR;
    auto r = As<RegionData>(region, GdiKind::Region);
    if (!r) {
        if (mode != RGN_COPY)
            return RGN_ERROR;
        dc->st.hasClip = false;
        dc->st.clip = ClipArea();
        return KindOf(VisibleRegion(*dc));
    }
    const QRegion current = dc->st.hasClip ? dc->st.clip.toRegion() : QRegion(QRect(QPoint(0, 0), DeviceSize(*dc)));
    switch (mode) {
    case RGN_COPY: dc->st.clip = r->region; break;
    case RGN_AND: dc->st.clip = current & r->region; break;
    case RGN_OR: dc->st.clip = current | r->region; break;
    case RGN_XOR: dc->st.clip = current ^ r->region; break;
    case RGN_DIFF: dc->st.clip = current - r->region; break;
    default: return RGN_ERROR;
    }
    dc->st.hasClip = true;
    return KindOf(VisibleRegion(*dc));
}

namespace {
// The clip region after keeping (intersect) or cutting away the logical rectangle.
int NarrowClip(DeviceContext* dc, int l, int t, int r, int b, bool intersect)
{
    if (!dc)
        return RGN_ERROR;
    const QRect dev = DevRect(XformOf(dc->st), l, t, r, b);
    if (!dc->st.hasClip)
        dc->st.clip = ClipArea(QRect(QPoint(0, 0), DeviceSize(*dc)));
    if (intersect)
        dc->st.clip.intersect(dev);
    else
        dc->st.clip = dc->st.clip.toRegion() - QRegion(dev);
    dc->st.hasClip = true;
    return KindOf(VisibleRegion(*dc));
}
} // namespace

int CDC::IntersectClipRect(int l, int t, int r, int b) { return NarrowClip(Context(), l, t, r, b, true); }
int CDC::ExcludeClipRect(int l, int t, int r, int b) { return NarrowClip(Context(), l, t, r, b, false); }

int CDC::GetClipBox(RECT* rect) const
{
    auto* dc = Context();
    if (!dc || !rect)
        return RGN_ERROR;
    const ClipArea vis = VisibleRegion(*dc);
    const QRect b = vis.boundingRect();
    if (b.isEmpty()) {
        *rect = RECT{};
        return NULLREGION;
    }
    const Xform t = XformOf(dc->st);
    const QPoint a = ToLog(t, b.left(), b.top()), c = ToLog(t, b.right() + 1, b.bottom() + 1);
    *rect = RECT{std::min(a.x(), c.x()), std::min(a.y(), c.y()), std::max(a.x(), c.x()), std::max(a.y(), c.y())};
    return KindOf(vis);
}

BOOL CDC::PtVisible(int x, int y) const
{
    auto* dc = Context();
    if (!dc)
        return FALSE;
    return VisibleRegion(*dc).contains(ToDev(XformOf(dc->st), x, y)) ? TRUE : FALSE;
}

BOOL CDC::RectVisible(const RECT* r) const
{
    auto* dc = Context();
    if (!dc || !r)
        return FALSE;
    const QRect dev = DevRect(XformOf(dc->st), r->left, r->top, r->right, r->bottom);
    return !dev.isEmpty() && VisibleRegion(*dc).intersects(dev) ? TRUE : FALSE;
}

int CDC::SaveDC()
{
    auto* dc = Context();
    if (!dc)
        return 0;
    dc->saved.push_back(dc->st);
    return int(dc->saved.size());
}

BOOL CDC::RestoreDC(int saved)
{
    auto* dc = Context();
    if (!dc || saved == 0)
        return FALSE;
    const int n = int(dc->saved.size());
    const int level = saved < 0 ? n + 1 + saved : saved;
    if (level < 1 || level > n)
        return FALSE;
    DcState st = dc->saved[size_t(level - 1)];
    dc->saved.resize(size_t(level - 1));
    // A memory context keeps drawing on the bitmap it had if the saved one is the same.
    dc->st = std::move(st);
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Device capabilities

int CDC::GetDeviceCaps(int index) const
{
    auto* dc = Context();
    if (!dc)
        return 0;
    if (dc->kind == DeviceContext::Kind::Printer) {
        if (!dc->printer)
            return 0;
        const int res = dc->printer->resolution();
        const QRect paint = dc->printer->pageLayout().paintRectPixels(res);
        const QRect full = dc->printer->pageLayout().fullRectPixels(res);
        switch (index) {
        case TECHNOLOGY: return DT_RASPRINTER;
        case HORZRES: return paint.width();
        case VERTRES: return paint.height();
        case HORZSIZE: return int(std::lround(paint.width() * 25.4 / res));
        case VERTSIZE: return int(std::lround(paint.height() * 25.4 / res));
        case LOGPIXELSX:
        case LOGPIXELSY: return res;
        case BITSPIXEL: return dc->monochrome ? 1 : 24;
        case PLANES: return 1;
        case NUMCOLORS: return dc->monochrome ? 2 : -1;
        case NUMBRUSHES:
        case NUMPENS: return -1;
        case NUMFONTS: return 0;
        case RASTERCAPS: return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB | RC_SCALING;
        case SIZEPALETTE: return 0;
        case NUMRESERVED: return 0;
        case COLORRES: return dc->monochrome ? 1 : 24;
        case PHYSICALWIDTH: return full.width();
        case PHYSICALHEIGHT: return full.height();
        case PHYSICALOFFSETX: return paint.left() - full.left();
        case PHYSICALOFFSETY: return paint.top() - full.top();
        default: return 0;
        }
    }
    QSize screen(1920, 1080);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* s = app->primaryScreen())
            screen = s->size();
    // A memory context answers for the display it is compatible with, whatever bitmap it holds.
    switch (index) {
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZRES: return screen.width();
    case VERTRES: return screen.height();
    case HORZSIZE: return int(std::lround(screen.width() * 25.4 / 96));
    case VERTSIZE: return int(std::lround(screen.height() * 25.4 / 96));
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case NUMBRUSHES:
    case NUMPENS: return -1;
    case RASTERCAPS: return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    case SIZEPALETTE: return 0;
    case NUMRESERVED: return 20;
    case COLORRES: return 24;
    default: return 0;
    }
}

int GetDeviceCaps(HDC dc, int index)
{
    CDC* w = CDC::FromHandle(dc);
    return w ? w->GetDeviceCaps(index) : 0;
}

// ---------------------------------------------------------------------------------------------
// Lines and shapes

CPoint CDC::MoveTo(int x, int y)
{
    auto* dc = Context();
    if (!dc)
        return {};
    CPoint prev(dc->st.current);
    dc->st.current = {x, y};
    return prev;
}

CPoint CDC::GetCurrentPosition() const { auto* dc = Context(); return dc ? CPoint(dc->st.current) : CPoint(); }

namespace {

// Draws connected segments through device points without the last pixel of each, so that
// the shared vertices are drawn once.
// A wide solid pen's upright or level segment on pixels, as the painter draws it: with square
// ends, or round ends two pixels wide (a pane's frame), that is exactly the rectangle of the
// segment widened by half the pen on each side, so a fill does it without setting a painter up.
bool WideStraightSegment(const Target& t, std::span<const QPoint> pts, const DevPen& pen, int rop)
{
    if (!t.img || t.mono || t.ratio != 1 || rop != R2_COPYPEN || pts.size() != 2 || pen.style != PS_SOLID)
        return false;
    const int w = int(pen.width);
    if (double(w) != pen.width || w < 2 || !(pen.endcap == PS_ENDCAP_SQUARE || (pen.endcap == PS_ENDCAP_ROUND && w == 2)))
        return false;
    const QPoint a = pts[0], b = pts[1];
    if (a.x() != b.x() && a.y() != b.y())
        return false;
    if (a == b)
        return true; // a segment of no length draws nothing
    const int lo = w / 2, hi = (w + 1) / 2 - 1;
    const QRect r(QPoint(std::min(a.x(), b.x()) - lo, std::min(a.y(), b.y()) - lo),
                  QPoint(std::max(a.x(), b.x()) + hi, std::max(a.y(), b.y()) + hi));
    FillDev(t, r, pen.color, PATCOPY);
    return true;
}

void PolylineDev(DeviceContext* dc, std::span<const QPoint> pts, const DevPen& pen)
{
    Target t = TargetOf(dc);
    if (!t.ok() || pen.null || pts.size() < 2)
        return;
    int left = pts[0].x(), right = left, top = pts[0].y(), bottom = top;
    for (const QPoint& p : pts) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    QRect bound(QPoint(left, top), QPoint(right, bottom));
    bound.adjust(-int(pen.width), -int(pen.width), int(pen.width), int(pen.width));
    // A line stays within its points' bounds widened by the pen (a mitred join of a wide
    // pen may reach further): a repaint of a narrow strip passes over the window's other
    // lines without setting up their clip.
    if ((pen.cosmetic || pen.join != PS_JOIN_MITER || pts.size() == 2) &&
        !t.clip.intersects(bound.adjusted(-1, -1, 1, 1)))
        return;
    if (t.img && pen.cosmetic) {
        const PixClip clip(t);
        if (DashPattern(pen.style).empty() && dc->st.rop2 == R2_COPYPEN && t.ratio == 1 && !clip.complex) {
            SolidRuns runs;
            runs.bits = t.img->bits();
            runs.stride = t.img->bytesPerLine();
            runs.box = clip.box;
            runs.value = kOpaque | ((t.mono ? Mono(pen.color) : pen.color) & 0xFFFFFF);
            const bool cut = left < -1 || top < -1 || right >= t.devSize.width() || bottom >= t.devSize.height();
            for (size_t i = 1; i < pts.size(); ++i)
                runs.Line(pts[i - 1], pts[i], t.devSize, cut);
        } else {
            StyleState style;
            for (size_t i = 1; i < pts.size(); ++i)
                LineDev(t, clip, pts[i - 1], pts[i], pen, dc->st, style);
        }
    } else if (!WideStraightSegment(t, pts, pen, dc->st.rop2)) {
        const DcState& s = dc->st;
        PaintDev(t, s.rop2, bound, [&](QPainter& p) {
            QPen q = QtPen(pen);
            if (!pen.cosmetic)
                q.setColor(QColor::fromRgb(pen.color));
            p.setPen(q);
            p.setBrush(Qt::NoBrush);
            if (pen.cosmetic) {
                // One-pixel lines on a printer: as on pixels, the end point is left out.
                for (size_t i = 1; i < pts.size(); ++i)
                    p.drawLine(QLineF(QPointF(pts[i - 1]) + QPointF(0.5, 0.5), QPointF(pts[i]) + QPointF(0.5, 0.5)));
            } else {
                p.drawPolyline(pts.data(), int(pts.size()));
            }
        });
    }
    Touched(t, bound);
}

} // namespace

BOOL CDC::LineTo(int x, int y)
{
    auto* dc = Context();
    if (!dc)
        return FALSE;
    const Xform t = XformOf(dc->st);
    const POINT from = dc->st.current;
    dc->st.current = {x, y};
    const QPoint line[2] = {ToDev(t, from.x, from.y), ToDev(t, x, y)};
    PolylineDev(dc, line, PenOf(dc->st, t));
    return TRUE;
}

BOOL CDC::Polyline(const POINT* points, int count)
{
    auto* dc = Context();
    if (!dc || !points || count < 2)
        return FALSE;
    const Xform t = XformOf(dc->st);
    // Kept between calls: a plot's trace, drawn on every block, allocates nothing.
    thread_local std::vector<QPoint> pts;
    pts.resize(size_t(count));
    constexpr long long limit = 1LL << 29;
    if (t.sx == 1 && t.sy == 1 && t.ox == 0 && t.oy == 0) {
        // A window's own mapping: the points as they are (kept within the limit ToDev keeps).
        for (int i = 0; i < count; ++i)
            pts[size_t(i)] = QPoint(int(std::clamp<long long>(points[i].x, -limit, limit)),
                                    int(std::clamp<long long>(points[i].y, -limit, limit)));
    } else {
        for (int i = 0; i < count; ++i)
            pts[size_t(i)] = ToDev(t, points[i].x, points[i].y);
    }
    PolylineDev(dc, pts, PenOf(dc->st, t));
    return TRUE;
}

BOOL CDC::PolylineTo(const POINT* points, int count)
{
    auto* dc = Context();
    if (!dc || !points || count < 1)
        return FALSE;
    std::vector<POINT> all{dc->st.current};
    all.insert(all.end(), points, points + count);
    Polyline(all.data(), int(all.size()));
    dc->st.current = points[count - 1];
    return TRUE;
}

BOOL CDC::Polygon(const POINT* points, int count)
{
    auto* dc = Context();
    if (!dc || !points || count < 2)
        return FALSE;
    const Xform x = XformOf(dc->st);
    QPolygon poly;
    for (int i = 0; i < count; ++i)
        poly << ToDev(x, points[i].x, points[i].y);
    const DevPen pen = PenOf(dc->st, x);
    const DevBrush brush = BrushOf(dc->st);
    Target t = TargetOf(dc);
    if (!t.ok())
        return TRUE;
    const Qt::FillRule rule = dc->st.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill;
    const QRect bound = poly.boundingRect().adjusted(-int(pen.width), -int(pen.width), int(pen.width), int(pen.width));
    if (!brush.null) {
        PaintDev(t, dc->st.rop2, bound, [&](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor::fromRgb(brush.color));
            p.drawPolygon(poly, rule);
        });
    }
    if (!pen.null) {
        std::vector<QPoint> closed(poly.begin(), poly.end());
        closed.push_back(poly.front());
        PolylineDev(dc, closed, pen);
    }
    Touched(t, bound);
    return TRUE;
}

BOOL CDC::Rectangle(int l, int tp, int r, int b)
{
    auto* dc = Context();
    if (!dc)
        return FALSE;
    const Xform x = XformOf(dc->st);
    const QRect dev = DevRect(x, l, tp, r, b);
    const DevPen pen = PenOf(dc->st, x);
    const DevBrush brush = BrushOf(dc->st);
    Target t = TargetOf(dc);
    if (!t.ok() || dev.isEmpty())
        return TRUE;
    if (pen.cosmetic || pen.null) {
        // Inside: one pixel in from a drawn frame; with no pen the figure is one pixel smaller.
        const QRect inner = pen.null ? dev.adjusted(0, 0, -1, -1) : dev.adjusted(1, 1, -1, -1);
        if (!brush.null && !inner.isEmpty()) {
            if (t.img) {
                const PixClip clip(t);
                const QRgb c = t.mono ? Mono(brush.color) : brush.color;
                for (int yy = inner.top(); yy <= inner.bottom(); ++yy)
                    for (int xx = inner.left(); xx <= inner.right(); ++xx)
                        PlotDev(t, clip, xx, yy, c, dc->st.rop2);
            } else {
                PaintDev(t, dc->st.rop2, inner, [&](QPainter& p) { p.fillRect(inner, QColor::fromRgb(brush.color)); });
            }
        }
        if (!pen.null) {
            const int x0 = dev.left(), y0 = dev.top(), x1 = dev.right(), y1 = dev.bottom();
            const QPoint frame[5] = {QPoint(x0, y0), QPoint(x1, y0), QPoint(x1, y1), QPoint(x0, y1), QPoint(x0, y0)};
            PolylineDev(dc, frame, pen);
        }
    } else {
        const double w = pen.width;
        const QRectF path = pen.style == PS_INSIDEFRAME
                                ? QRectF(dev).adjusted(w / 2, w / 2, -w / 2, -w / 2)
                                : QRectF(dev.left(), dev.top(), dev.width() - 1, dev.height() - 1);
        PaintDev(t, dc->st.rop2, dev.adjusted(-int(w), -int(w), int(w), int(w)), [&](QPainter& p) {
            DevPen solid = pen;
            solid.style = PS_SOLID;
            p.setPen(QtPen(solid));
            p.setBrush(QtBrush(brush));
            p.drawRect(path);
        });
    }
    Touched(t, dev);
    return TRUE;
}

namespace {
// An outlined, filled figure in a bounding rectangle, drawn by `shape` with the context's pen
// and brush set; the figure's rectangle leaves out the right and bottom edges.
template <class Fn> BOOL DrawFigure(DeviceContext* dc, int l, int tp, int r, int b, Fn&& shape)
{
    if (!dc)
        return FALSE;
    const Xform x = XformOf(dc->st);
    const QRect dev = DevRect(x, l, tp, r, b);
    const DevPen pen = PenOf(dc->st, x);
    const DevBrush brush = BrushOf(dc->st);
    Target t = TargetOf(dc);
    if (!t.ok() || dev.isEmpty())
        return TRUE;
    PaintDev(t, dc->st.rop2, dev.adjusted(-int(pen.width), -int(pen.width), int(pen.width), int(pen.width)),
             [&](QPainter& p) {
                 p.setPen(QtPen(pen));
                 p.setBrush(QtBrush(brush));
                 shape(p, QRectF(dev.left(), dev.top(), dev.width() - 1, dev.height() - 1), x);
             });
    Touched(t, dev);
    return TRUE;
}
} // namespace

BOOL CDC::Ellipse(int l, int tp, int r, int b)
{
    return DrawFigure(Context(), l, tp, r, b, [](QPainter& p, const QRectF& box, const Xform&) { p.drawEllipse(box); });
}

BOOL CDC::RoundRect(int l, int tp, int r, int b, int w, int h)
{
    return DrawFigure(Context(), l, tp, r, b, [w, h](QPainter& p, const QRectF& box, const Xform& x) {
        p.drawRoundedRect(box, std::abs(w * x.sx) / 2, std::abs(h * x.sy) / 2);
    });
}

namespace {

// Fills a device rectangle with a pattern colour and a ternary raster operation.
void PatDev(DeviceContext* dc, const QRect& dev, COLORREF pattern, DWORD rop)
{
    Target t = TargetOf(dc);
    if (!t.ok() || dev.isEmpty())
        return;
    QRgb P = gdi::ToRgb(Resolve(dc->st, pattern));
    if (t.mono)
        P = Mono(P);
    if (t.img) {
        FillDev(t, dev, P, rop);
    } else if (t.painter) {
        // A printer page: only what does not read the page can be drawn.
        QColor c;
        switch (rop) {
        case PATCOPY: c = QColor::fromRgb(P); break;
        case BLACKNESS: c = Qt::black; break;
        case WHITENESS: c = Qt::white; break;
        case PATINVERT:
        case DSTINVERT:
        default: return;
        }
        t.painter->save();
        t.painter->setClipRegion(t.clip.toRegion());
        t.painter->fillRect(dev, c);
        t.painter->restore();
    }
    Touched(t, dev);
}

QRect DevRectOf(DeviceContext* dc, const RECT* r)
{
    return DevRect(XformOf(dc->st), r->left, r->top, r->right, r->bottom);
}

} // namespace

void CDC::FillRect(const RECT* rect, CBrush* brush)
{
    auto* dc = Context();
    auto b = As<BrushData>(brush, GdiKind::Brush);
    if (!dc || !rect || !b || b->style == BS_NULL)
        return;
    PatDev(dc, DevRectOf(dc, rect), b->color, PATCOPY);
}

void CDC::FillSolidRect(const RECT* rect, COLORREF color)
{
    auto* dc = Context();
    if (!dc || !rect)
        return;
    // As the class library does it: the background colour is left set to the fill colour.
    dc->st.bkColor = color;
    PatDev(dc, DevRectOf(dc, rect), color, PATCOPY);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color)
{
    const RECT r{x, y, x + cx, y + cy};
    FillSolidRect(&r, color);
}

void CDC::FrameRect(const RECT* rect, CBrush* brush)
{
    auto* dc = Context();
    auto b = As<BrushData>(brush, GdiKind::Brush);
    if (!dc || !rect || !b || b->style == BS_NULL)
        return;
    const QRect d = DevRectOf(dc, rect);
    if (d.isEmpty())
        return;
    PatDev(dc, QRect(d.left(), d.top(), d.width(), 1), b->color, PATCOPY);
    PatDev(dc, QRect(d.left(), d.bottom(), d.width(), 1), b->color, PATCOPY);
    PatDev(dc, QRect(d.left(), d.top(), 1, d.height()), b->color, PATCOPY);
    PatDev(dc, QRect(d.right(), d.top(), 1, d.height()), b->color, PATCOPY);
}

void CDC::Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight)
{
    if (rect)
        Draw3dRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight)
{
    FillSolidRect(x, y, cx - 1, 1, topLeft);
    FillSolidRect(x, y, 1, cy - 1, topLeft);
    FillSolidRect(x + cx - 1, y, 1, cy, bottomRight);
    FillSolidRect(x, y + cy - 1, cx, 1, bottomRight);
}

void CDC::InvertRect(const RECT* rect)
{
    auto* dc = Context();
    if (!dc || !rect)
        return;
    PatDev(dc, DevRectOf(dc, rect), 0, DSTINVERT);
}

void CDC::DrawFocusRect(const RECT* rect)
{
    auto* dc = Context();
    if (!dc || !rect)
        return;
    const QRect d = DevRectOf(dc, rect);
    Target t = TargetOf(dc);
    if (!t.img || d.isEmpty())
        return;
    const PixClip clip(t);
    // Pixels on the frame whose x + y is even, as the checkered focus pattern has them.
    auto dot = [&](int x, int y) {
        if (((x + y) & 1) == 0)
            PlotDev(t, clip, x, y, 0, R2_NOT);
    };
    for (int x = d.left(); x <= d.right(); ++x) {
        dot(x, d.top());
        if (d.bottom() != d.top())
            dot(x, d.bottom());
    }
    for (int y = d.top() + 1; y < d.bottom(); ++y) {
        dot(d.left(), y);
        if (d.right() != d.left())
            dot(d.right(), y);
    }
    Touched(t, d);
}

BOOL CDC::FillRgn(CRgn* region, CBrush* brush)
{
    auto* dc = Context();
    auto r = As<RegionData>(region, GdiKind::Region);
    auto b = As<BrushData>(brush, GdiKind::Brush);
    if (!dc || !r || !b)
        return FALSE;
    if (b->style != BS_NULL)
        for (const QRect& q : r->region)
            PatDev(dc, q, b->color, PATCOPY);
    return TRUE;
}

BOOL CDC::InvertRgn(CRgn* region)
{
    auto* dc = Context();
    auto r = As<RegionData>(region, GdiKind::Region);
    if (!dc || !r)
        return FALSE;
    for (const QRect& q : r->region)
        PatDev(dc, q, 0, DSTINVERT);
    return TRUE;
}

BOOL CDC::PatBlt(int x, int y, int w, int h, DWORD rop)
{
    auto* dc = Context();
    if (!dc)
        return FALSE;
    const RECT r{x, y, x + w, y + h};
    const COLORREF pattern = dc->st.brush && dc->st.brush->style != BS_NULL ? dc->st.brush->color : 0;
    PatDev(dc, DevRectOf(dc, &r), pattern, rop);
    return TRUE;
}

COLORREF CDC::SetPixel(int x, int y, COLORREF color)
{
    auto* dc = Context();
    if (!dc)
        return CLR_INVALID;
    const QPoint d = ToDev(XformOf(dc->st), x, y);
    Target t = TargetOf(dc);
    if (!t.ok() || !t.clip.contains(d))
        return CLR_INVALID;
    QRgb c = gdi::ToRgb(Resolve(dc->st, color));
    if (t.mono)
        c = Mono(c);
    if (t.img) {
        PlotDev(t, PixClip(t), d.x(), d.y(), c, R2_COPYPEN);
    } else {
        t.painter->fillRect(QRect(d, QSize(1, 1)), QColor::fromRgb(c));
    }
    Touched(t, QRect(d, QSize(1, 1)));
    return gdi::ToColorRef(c);
}

BOOL CDC::SetPixelV(int x, int y, COLORREF color) { return SetPixel(x, y, color) != CLR_INVALID ? TRUE : FALSE; }

COLORREF CDC::GetPixel(int x, int y) const
{
    auto* dc = Context();
    if (!dc)
        return CLR_INVALID;
    const QPoint d = ToDev(XformOf(dc->st), x, y);
    Target t = TargetOf(dc);
    if (!t.img || !t.clip.contains(d))
        return CLR_INVALID;
    const int px = PhysLo(d.x(), t.ratio), py = PhysLo(d.y(), t.ratio);
    if (px < 0 || py < 0 || px >= t.img->width() || py >= t.img->height())
        return CLR_INVALID;
    return gdi::ToColorRef(t.img->pixel(px, py));
}

// ---------------------------------------------------------------------------------------------
// Bitmaps

namespace {

// The pixels a context can be read from, with their device size and ratio.
struct Source {
    const QImage* img = nullptr;
    qreal ratio = 1;
    QSize devSize;
    bool mono = false;
};

Source SourceOf(DeviceContext* dc)
{
    Source s;
    if (!dc)
        return s;
    if (dc->kind == DeviceContext::Kind::Surface && dc->surface && !dc->surface->Image().isNull()) {
        s.img = &dc->surface->Image();
        s.ratio = s.img->devicePixelRatio();
    } else if (dc->kind == DeviceContext::Kind::Memory && dc->st.bitmap) {
        s.img = &dc->st.bitmap->image;
        s.mono = dc->st.bitmap->bitsPixel == 1;
    }
    s.devSize = DeviceSize(*dc);
    return s;
}

// The stretch (or plain copy) of a device rectangle of source pixels onto a device
// rectangle of the destination. Widths may be negative (mirroring). Source pixels outside
// the source are skipped.
void BlitDev(DeviceContext* dst, const QRect& dRect, bool flipX, bool flipY, const Source& src, const QRect& sRect,
             bool sFlipX, bool sFlipY, DWORD rop, const DcState& srcState)
{
    Target t = TargetOf(dst);
    if (!t.ok() || dRect.isEmpty())
        return;
    const bool useSrc = RopUsesSource(rop);
    if (useSrc && (!src.img || sRect.isEmpty()))
        return;
    const DcState& ds = dst->st;
    QRgb P = ds.brush && ds.brush->style != BS_NULL ? gdi::ToRgb(Resolve(ds, ds.brush->color)) : kOpaque;
    if (t.mono)
        P = Mono(P);
    // Monochrome to colour: white takes the background colour, black the text colour.
    const QRgb monoWhite = gdi::ToRgb(Resolve(ds, ds.bkColor)), monoBlack = gdi::ToRgb(Resolve(ds, ds.textColor));
    const QRgb srcBk = gdi::ToRgb(Resolve(srcState, srcState.bkColor));
    auto fetch = [&](const Source& S, int sx, int sy, bool& ok) -> QRgb {
        const int px = PhysLo(sx, S.ratio), py = PhysLo(sy, S.ratio);
        if (sx < 0 || sy < 0 || sx >= S.devSize.width() || sy >= S.devSize.height() || px >= S.img->width() ||
            py >= S.img->height()) {
            ok = false;
            return 0;
        }
        ok = true;
        QRgb c = reinterpret_cast<const QRgb*>(S.img->constScanLine(py))[px];
        if (S.mono && !t.mono)
            c = (c & 0xFFFFFF) ? monoWhite : monoBlack;
        else if (!S.mono && t.mono)
            c = ((c & 0xFFFFFF) == (srcBk & 0xFFFFFF)) ? 0xFFFFFFFFu : kOpaque;
        return c;
    };
    const double scaleX = useSrc ? double(sRect.width()) / dRect.width() : 1;
    const double scaleY = useSrc ? double(sRect.height()) / dRect.height() : 1;
    if (t.img) {
        const PixClip clip(t);
        const QRect phys = QRect(QPoint(PhysLo(dRect.left(), t.ratio), PhysLo(dRect.top(), t.ratio)),
                                 QPoint(PhysLo(dRect.right() + 1, t.ratio) - 1, PhysLo(dRect.bottom() + 1, t.ratio) - 1))
                               .intersected(clip.box);
        // A copy of the source when it is the destination itself, so overlaps read old pixels.
        QImage copy;
        Source s2 = src;
        if (useSrc && src.img == t.img) {
            copy = src.img->copy();
            s2.img = &copy;
        }
        // The common case, a one-to-one copy between pixels of the same density: whole rows.
        const bool integral = t.ratio == std::floor(t.ratio);
        if (useSrc && !flipX && !flipY && !sFlipX && !sFlipY && sRect.size() == dRect.size() && src.ratio == t.ratio &&
            integral && src.mono == t.mono) {
            const int r = int(t.ratio);
            const QPoint shift = (sRect.topLeft() - dRect.topLeft()) * r;
            const QRect srcPhys = QRect(QPoint(0, 0), s2.devSize * r).intersected(QRect(QPoint(0, 0), s2.img->size()));
            const QRect area = phys.intersected(srcPhys.translated(-shift));
            for (int py = area.top(); py <= area.bottom(); ++py) {
                QRgb* d = reinterpret_cast<QRgb*>(t.img->scanLine(py));
                const QRgb* sp = reinterpret_cast<const QRgb*>(s2.img->constScanLine(py + shift.y())) + shift.x();
                if (rop == SRCCOPY && !clip.complex) {
                    std::memcpy(d + area.left(), sp + area.left(), size_t(area.width()) * sizeof(QRgb));
                    continue;
                }
                for (int px = area.left(); px <= area.right(); ++px)
                    if (!clip.complex || clip.has(px, py))
                        d[px] = kOpaque | (Rop3(rop, P, sp[px], d[px]) & 0xFFFFFF);
            }
            Touched(t, dRect);
            return;
        }
        for (int py = phys.top(); py <= phys.bottom(); ++py) {
            const int dy = t.ratio == 1 ? py : int(std::floor((py + 0.5) / t.ratio));
            int ry = dy - dRect.top();
            if (flipY)
                ry = dRect.height() - 1 - ry;
            int sy = 0;
            if (useSrc) {
                int off = int(std::floor((ry + 0.5) * scaleY));
                off = std::clamp(off, 0, sRect.height() - 1);
                sy = sFlipY ? sRect.bottom() - off : sRect.top() + off;
            }
            QRgb* row = reinterpret_cast<QRgb*>(t.img->scanLine(py));
            for (int px = phys.left(); px <= phys.right(); ++px) {
                if (clip.complex && !clip.has(px, py))
                    continue;
                QRgb S3 = 0;
                if (useSrc) {
                    const int dx = t.ratio == 1 ? px : int(std::floor((px + 0.5) / t.ratio));
                    int rx = dx - dRect.left();
                    if (flipX)
                        rx = dRect.width() - 1 - rx;
                    int off = int(std::floor((rx + 0.5) * scaleX));
                    off = std::clamp(off, 0, sRect.width() - 1);
                    const int sx = sFlipX ? sRect.right() - off : sRect.left() + off;
                    bool ok = false;
                    S3 = fetch(s2, sx, sy, ok);
                    if (!ok)
                        continue;
                }
                row[px] = kOpaque | (Rop3(rop, P, S3, row[px]) & 0xFFFFFF);
            }
        }
    } else if (t.painter) {
        // A printer page: the source is drawn as it is (what reads the page cannot be done
        // there); inverted sources and plain fills are honoured.
        if (!useSrc) {
            QColor c = rop == BLACKNESS ? QColor(Qt::black) : rop == WHITENESS ? QColor(Qt::white) : QColor::fromRgb(P);
            if (rop != BLACKNESS && rop != WHITENESS && rop != PATCOPY)
                return;
            t.painter->save();
            t.painter->setClipRegion(t.clip.toRegion());
            t.painter->fillRect(dRect, c);
            t.painter->restore();
            return;
        }
        QImage part(sRect.size(), QImage::Format_RGB32);
        for (int y = 0; y < sRect.height(); ++y)
            for (int x = 0; x < sRect.width(); ++x) {
                bool ok = false;
                QRgb c = fetch(src, sRect.left() + x, sRect.top() + y, ok);
                if (!ok)
                    c = 0xFFFFFFFFu;
                if (rop == NOTSRCCOPY)
                    c = kOpaque | (~c & 0xFFFFFF);
                part.setPixel(x, y, c);
            }
        part = part.mirrored(flipX != sFlipX, flipY != sFlipY);
        t.painter->save();
        t.painter->setClipRegion(t.clip.toRegion());
        t.painter->drawImage(QRectF(dRect), part);
        t.painter->restore();
    }
    Touched(t, dRect);
}

// Logical rectangle (x, y, w, h) to device: the normalised rectangle and whether it mirrors.
QRect DevBox(const Xform& t, int x, int y, int w, int h, bool& flipX, bool& flipY)
{
    const QPoint a = ToDev(t, x, y), b = ToDev(t, double(x) + w, double(y) + h);
    flipX = b.x() < a.x();
    flipY = b.y() < a.y();
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPoint(std::max(a.x(), b.x()) - 1, std::max(a.y(), b.y()) - 1));
}

} // namespace

BOOL CDC::StretchBlt(int x, int y, int w, int h, CDC* source, int xs, int ys, int sw, int sh, DWORD rop)
{
    auto* dc = Context();
    if (!dc)
        return FALSE;
    bool fx = false, fy = false, sfx = false, sfy = false;
    const QRect d = DevBox(XformOf(dc->st), x, y, w, h, fx, fy);
    DeviceContext* sdc = source ? source->Context() : nullptr;
    if (RopUsesSource(rop)) {
        if (!sdc || sdc->kind == DeviceContext::Kind::Printer)
            return FALSE;
        const QRect s = DevBox(XformOf(sdc->st), xs, ys, sw, sh, sfx, sfy);
        BlitDev(dc, d, fx, fy, SourceOf(sdc), s, sfx, sfy, rop, sdc->st);
    } else {
        BlitDev(dc, d, fx, fy, Source{}, QRect(), false, false, rop, dc->st);
    }
    return TRUE;
}

BOOL CDC::BitBlt(int x, int y, int w, int h, CDC* source, int xs, int ys, DWORD rop)
{
    return StretchBlt(x, y, w, h, source, xs, ys, w, h, rop);
}

BOOL CDC::ScrollDC(int dx, int dy, const RECT* scroll, const RECT* clipRect, CRgn* updateRegion, RECT* updateRect)
{
    auto* dc = Context();
    if (!dc)
        return FALSE;
    Target t = TargetOf(dc);
    const QRect all(QPoint(0, 0), t.devSize);
    QRect src = scroll ? DevRectOf(dc, scroll) & all : all;
    QRect lim = clipRect ? DevRectOf(dc, clipRect) & all : all;
    const int ddx = dx, ddy = dy; // device units, as on Windows
    const QRect area = src & lim;
    const QRect dst = src.translated(ddx, ddy) & lim;
    QRegion uncovered = QRegion(area) - QRegion(dst);
    if (t.img && !dst.isEmpty()) {
        const PixClip clip(t);
        // Work on the image's pixels: the shift scaled by the density, the areas by their blocks.
        auto physRect = [&](const QRect& r) {
            return QRect(QPoint(PhysLo(r.left(), t.ratio), PhysLo(r.top(), t.ratio)),
                         QPoint(PhysLo(r.right() + 1, t.ratio) - 1, PhysLo(r.bottom() + 1, t.ratio) - 1));
        };
        const int sx = Round(ddx * t.ratio), sy = Round(ddy * t.ratio);
        const QRect srcPhys = physRect(src).intersected(t.img->rect());
        const QRect dstPhys = physRect(dst).intersected(srcPhys.translated(sx, sy)).intersected(clip.box);
        if (!clip.complex) {
            // In place, rows taken in the order that reads each before it is overwritten (a
            // spectrogram scrolls its whole picture on every block).
            const int rows = dstPhys.height();
            for (int i = 0; i < rows; ++i) {
                const int py = sy > 0 ? dstPhys.bottom() - i : dstPhys.top() + i;
                QRgb* d = reinterpret_cast<QRgb*>(t.img->scanLine(py));
                const QRgb* o = reinterpret_cast<const QRgb*>(t.img->constScanLine(py - sy)) - sx;
                std::memmove(d + dstPhys.left(), o + dstPhys.left(), size_t(dstPhys.width()) * sizeof(QRgb));
            }
        } else {
            const QImage old = t.img->copy();
            for (int py = dstPhys.top(); py <= dstPhys.bottom(); ++py) {
                QRgb* d = reinterpret_cast<QRgb*>(t.img->scanLine(py));
                const QRgb* o = reinterpret_cast<const QRgb*>(old.constScanLine(py - sy)) - sx;
                for (int px = dstPhys.left(); px <= dstPhys.right(); ++px)
                    if (clip.has(px, py))
                        d[px] = o[px];
            }
        }
        Touched(t, area);
    }
    // The uncovered area, in device (client) coordinates.
    if (updateRegion) {
        auto r = As<RegionData>(updateRegion, GdiKind::Region);
        if (r)
            r->region = uncovered;
    }
    if (updateRect) {
        const QRect b = uncovered.boundingRect();
        *updateRect = b.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
    }
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Device-independent bitmaps

int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT)
{
    auto b = gdi::LookupAs<BitmapData>(bitmap, GdiKind::Bitmap);
    if (!b || !info || info->bmiHeader.biSize < 40)
        return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    const int w = b->image.width(), ht = b->image.height();
    if (h.biBitCount == 0 || !bits) {
        if (h.biBitCount == 0) {
            h.biWidth = w;
            h.biHeight = ht;
            h.biPlanes = 1;
            h.biBitCount = 32;
            h.biCompression = BI_RGB;
        }
        h.biSizeImage = DWORD(DibRowBytes(w, h.biBitCount) * ht);
        return ht;
    }
    if (h.biBitCount != 24 && h.biBitCount != 32)
        return 0;
    const bool topDown = h.biHeight < 0;
    h.biWidth = w;
    h.biPlanes = 1;
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(DibRowBytes(w, h.biBitCount) * ht);
    const size_t stride = size_t(DibRowBytes(w, h.biBitCount));
    auto* out = static_cast<BYTE*>(bits);
    int done = 0;
    for (UINT i = 0; i < lines && int(start + i) < ht; ++i) {
        const int dibRow = int(start + i); // counted from the bottom for bottom-up DIBs
        const int y = topDown ? dibRow : ht - 1 - dibRow;
        const QRgb* row = reinterpret_cast<const QRgb*>(b->image.constScanLine(y));
        BYTE* o = out + stride * i;
        std::memset(o, 0, stride);
        for (int x = 0; x < w; ++x) {
            BYTE* px = o + x * (h.biBitCount / 8);
            px[0] = BYTE(qBlue(row[x]));
            px[1] = BYTE(qGreen(row[x]));
            px[2] = BYTE(qRed(row[x]));
        }
        ++done;
    }
    return done;
}

namespace {
std::vector<BYTE> PackDib(const BITMAPINFO* info, const void* bits)
{
    const BITMAPINFOHEADER& h = info->bmiHeader;
    size_t colors = 0;
    if (h.biBitCount <= 8)
        colors = h.biClrUsed ? h.biClrUsed : (size_t(1) << h.biBitCount);
    if (h.biCompression == BI_BITFIELDS)
        colors = 3;
    const size_t headerBytes = h.biSize + colors * 4;
    const size_t rows = size_t(std::abs(h.biHeight));
    const size_t bytes = size_t(DibRowBytes(h.biWidth, h.biBitCount)) * rows;
    std::vector<BYTE> dib(headerBytes + bytes);
    std::memcpy(dib.data(), info, headerBytes);
    std::memcpy(dib.data() + headerBytes, bits, bytes);
    return dib;
}
} // namespace

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT)
{
    auto b = gdi::LookupAs<BitmapData>(bitmap, GdiKind::Bitmap);
    if (!b || !info || !bits || info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight == 0)
        return 0;
    const QImage img = gdi::DecodeDib(PackDib(info, bits));
    if (img.isNull())
        return 0;
    const int ht = b->image.height();
    const bool topDown = info->bmiHeader.biHeight < 0;
    int done = 0;
    for (UINT i = 0; i < lines; ++i) {
        const int dibRow = int(start + i);
        const int y = topDown ? dibRow : ht - 1 - dibRow;
        const int sy = topDown ? dibRow : img.height() - 1 - dibRow;
        if (y < 0 || y >= ht || sy < 0 || sy >= img.height())
            continue;
        for (int x = 0; x < std::min(img.width(), b->image.width()); ++x)
            b->image.setPixel(x, y, b->bitsPixel == 1 ? Mono(img.pixel(x, sy)) : img.pixel(x, sy));
        ++done;
    }
    return done;
}

int StretchDIBits(HDC hdc, int x, int y, int w, int h, int xs, int ys, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT, DWORD rop)
{
    DeviceContext* dc = gdi::LookupDC(hdc);
    if (!dc || !info || !bits || info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight == 0)
        return 0;
    const QImage img = gdi::DecodeDib(PackDib(info, bits));
    if (img.isNull())
        return 0;
    // The source origin of a bottom-up DIB is its lower-left corner.
    const int top = info->bmiHeader.biHeight > 0 ? img.height() - ys - sh : ys;
    Source s;
    s.img = &img;
    s.devSize = img.size();
    bool fx = false, fy = false;
    const QRect d = DevBox(XformOf(dc->st), x, y, w, h, fx, fy);
    const bool sfx = sw < 0, sfy = sh < 0;
    const QRect sr = QRect(QPoint(std::min(xs, xs + sw), std::min(top, top + sh)),
                           QSize(std::abs(sw), std::abs(sh)));
    DcState plain;
    BlitDev(dc, d, fx, fy, s, sr, sfx, sfy, rop, plain);
    return std::abs(sh);
}

// ---------------------------------------------------------------------------------------------
// Text

namespace {

struct TextSetup {
    QFont font;
    double ascent = 0, descent = 0, leading = 0;
    double maxWidth = 0; // of the widest glyph
    double angle = 0; // degrees, counter-clockwise
    // Widths of texts already measured in a screen font (none for a printer's): a window's
    // labels are mostly the same from one repaint to the next.
    std::shared_ptr<std::unordered_map<QString, double>> widths;
};

TextSetup FontFor(const DeviceContext& dc)
{
    TextSetup s;
    const Xform x = XformOf(dc.st);
    LOGFONTA lf = dc.st.font ? dc.st.font->lf : LOGFONTA{};
    const double height = lf.lfHeight * std::abs(x.sy);
    // Realising and measuring a font costs more than drawing most labels, and a window's
    // repaint asks for the same few fonts again and again: the screen's are kept (by the
    // application's thread, which draws them).
    struct Known {
        LOGFONTA lf;
        double height;
        TextSetup setup;
    };
    static auto* known = new std::vector<Known>;
    const QCoreApplication* app = QCoreApplication::instance();
    const bool keep = !dc.printer && app && QThread::currentThread() == app->thread();
    if (keep)
        for (const Known& k : *known)
            if (k.height == height && std::memcmp(&k.lf, &lf, sizeof lf) == 0)
                return k.setup;
    s.font = gdi::RealizeFont(lf, height);
    QFontMetricsF m = dc.printer ? QFontMetricsF(s.font, dc.printer.get()) : QFontMetricsF(s.font);
    s.ascent = m.ascent();
    s.descent = m.descent();
    s.leading = m.leading();
    s.maxWidth = m.maxWidth();
    s.angle = lf.lfEscapement / 10.0;
    if (keep) {
        if (known->size() >= 64)
            known->clear();
        s.widths = std::make_shared<std::unordered_map<QString, double>>();
        known->push_back({lf, height, s});
    }
    return s;
}

double Advance(const DeviceContext& dc, const QFont& font, const QString& text)
{
    QFontMetricsF m = dc.printer ? QFontMetricsF(font, dc.printer.get()) : QFontMetricsF(font);
    return m.horizontalAdvance(text);
}

double Advance(const DeviceContext& dc, const TextSetup& f, const QString& text)
{
    if (!f.widths)
        return Advance(dc, f.font, text);
    if (const auto known = f.widths->find(text); known != f.widths->end())
        return known->second;
    const double w = Advance(dc, f.font, text);
    if (f.widths->size() >= 512)
        f.widths->clear();
    f.widths->emplace(text, w);
    return w;
}

// One line of text at a device reference point, aligned by `align`, rotated by the font.
void TextDev(DeviceContext* dc, QPointF ref, const QString& text, UINT align, const TextSetup& f, const double* dx,
             const QRect* extraClip, const QRect* opaqueRect)
{
    Target t = TargetOf(dc);
    if (!t.ok())
        return;
    if (extraClip)
        t.clip.intersect(*extraClip);
    if (!opaqueRect && !dx) {
        // Text wholly outside the clip draws nothing; a repaint of a narrow strip needn't lay
        // out every other label of the window. The reach bounds the text box however it is
        // aligned or turned: no glyph is wider than the widest, and an overhang stays within
        // the height added.
        const double height = 2.0 * (f.ascent + f.descent);
        const double reach = double(text.size()) * f.maxWidth + height;
        const double turn = std::fmod(std::abs(f.angle), 180.0);
        const QRectF around = turn == 0.0    ? QRectF(ref.x() - reach, ref.y() - height, 2.0 * reach, 2.0 * height)
                              : turn == 90.0 ? QRectF(ref.x() - height, ref.y() - reach, 2.0 * height, 2.0 * reach)
                                             : QRectF(ref.x() - reach, ref.y() - reach, 2.0 * reach, 2.0 * reach);
        if (!t.clip.intersects(around.toAlignedRect()))
            return;
    }
    const DcState& s = dc->st;
    const double width = dx ? [&] {
        double w = 0;
        for (int i = 0; i < text.size(); ++i)
            w += dx[i];
        return w;
    }()
                            : Advance(*dc, f, text);
    double x0 = 0;
    if ((align & TA_CENTER) == TA_CENTER)
        x0 = -width / 2;
    else if (align & TA_RIGHT)
        x0 = -width;
    double base = f.ascent; // TA_TOP
    if ((align & TA_BASELINE) == TA_BASELINE)
        base = 0;
    else if (align & TA_BOTTOM)
        base = -f.descent;
    // The touched area: the rotated text box, with room for a glyph's overhang. A box that
    // misses the clip draws nothing (turned text is costly to lay out for nothing).
    QTransform m;
    m.translate(ref.x(), ref.y());
    m.rotate(-f.angle);
    const int overhang = std::max(2, int((f.ascent + f.descent) / 4));
    QRect box = m.mapRect(QRectF(x0, base - f.ascent, width, f.ascent + f.descent))
                    .toAlignedRect()
                    .adjusted(-overhang, -overhang, overhang, overhang);
    if (!opaqueRect && !t.clip.intersects(box))
        return;
    QRgb color = gdi::ToRgb(Resolve(s, s.textColor)), bk = gdi::ToRgb(Resolve(s, s.bkColor));
    if (t.mono) {
        color = Mono(color);
        bk = Mono(bk);
    }
    auto draw = [&](QPainter& p) {
        if (opaqueRect)
            p.fillRect(*opaqueRect, QColor::fromRgb(bk));
        p.translate(ref);
        p.rotate(-f.angle);
        if (s.bkMode == OPAQUE)
            p.fillRect(QRectF(x0, base - f.ascent, width, f.ascent + f.descent), QColor::fromRgb(bk));
        p.setFont(f.font);
        p.setPen(QColor::fromRgb(color));
        if (!dx) {
            p.drawText(QPointF(x0, base), text);
        } else {
            double xx = x0;
            for (int i = 0; i < text.size(); ++i) {
                p.drawText(QPointF(xx, base), QString(text[i]));
                xx += dx[i];
            }
        }
    };
    if (t.painter) {
        t.painter->save();
        t.painter->setClipRegion(t.clip.toRegion());
        draw(*t.painter);
        t.painter->restore();
    } else {
        QPainter p(t.img);
        ClipPainter(p, t.clip);
        draw(p);
    }
    if (opaqueRect)
        box |= *opaqueRect;
    Touched(t, box);
}

} // namespace

BOOL CDC::TextOut(int x, int y, std::string_view text) { return ExtTextOut(x, y, 0, nullptr, text, nullptr); }

BOOL CDC::TextOut(int x, int y, const char* text, int count)
{
    if (!text || count < 0)
        return FALSE;
    return TextOut(x, y, std::string_view(text, size_t(count)));
}

BOOL CDC::ExtTextOut(int x, int y, UINT options, const RECT* rect, const char* text, UINT count, const int* dx)
{
    return ExtTextOut(x, y, options, rect, text ? std::string_view(text, count) : std::string_view(), dx);
}

BOOL CDC::ExtTextOut(int x, int y, UINT options, const RECT* rect, std::string_view text, const int* dx)
{
    auto* dc = Context();
    if (!dc)
        return FALSE;
    const Xform xf = XformOf(dc->st);
    // Control characters (the newline ctime leaves at the end of its text) show as nothing.
    QString& q = KeptQString(text);
    for (QChar& c : q)
        if (c.unicode() < 0x20)
            c = c == '\t' ? QChar(' ') : QChar(0x200B);
    q.remove(QChar(0x200B));
    const TextSetup f = FontFor(*dc);
    QRect devRect;
    if (rect)
        devRect = DevRectOf(dc, rect);
    const bool update = dc->st.textAlign & TA_UPDATECP;
    const POINT at = update ? dc->st.current : POINT{x, y};
    const QPoint ref = ToDev(xf, at.x, at.y);
    std::vector<double> ddx;
    if (dx) {
        for (int i = 0; i < q.size(); ++i)
            ddx.push_back(dx[i] * std::abs(xf.sx));
    }
    QRect clip;
    if (rect && (options & ETO_CLIPPED))
        clip = devRect;
    TextDev(dc, ref, q, dc->st.textAlign, f, dx ? ddx.data() : nullptr, (rect && (options & ETO_CLIPPED)) ? &clip : nullptr,
            (rect && (options & ETO_OPAQUE) && !devRect.isEmpty()) ? &devRect : nullptr);
    if (update) {
        const double w = dx ? [&] {
            double s = 0;
            for (double v : ddx)
                s += v;
            return s;
        }()
                            : Advance(*dc, f, q);
        dc->st.current.x += LONG(std::lround(w / xf.sx));
    }
    return TRUE;
}

namespace {

QString StripPrefix(const QString& s)
{
    QString out;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += s[i];
    }
    return out;
}

QStringList WrapLine(const QString& line, double maxWidth, const std::function<double(const QString&)>& width)
{
    QStringList out;
    const QStringList words = line.split(' ');
    QString cur;
    for (const QString& w : words) {
        const QString cand = cur.isEmpty() ? w : cur + ' ' + w;
        if (!cur.isEmpty() && width(cand) > maxWidth) {
            out << cur;
            cur = w;
        } else {
            cur = cand;
        }
    }
    out << cur;
    return out;
}

} // namespace

int CDC::DrawText(const char* text, int count, RECT* rect, UINT format)
{
    if (!text)
        return 0;
    const size_t n = count < 0 ? std::strlen(text) : size_t(count);
    return DrawText(std::string_view(text, n), rect, format);
}

int CDC::DrawText(std::string_view text, RECT* rect, UINT format)
{
    auto* dc = Context();
    if (!dc || !rect)
        return 0;
    const Xform xf = XformOf(dc->st);
    TextSetup f = FontFor(*dc);
    f.angle = 0; // DrawText lays text out horizontally
    QString q = ToQString(text);
    if (!(format & DT_NOPREFIX))
        q = StripPrefix(q);
    q.remove('\r');
    if (format & DT_EXPANDTABS)
        q.replace('\t', QString(8, ' '));
    const QRect devRect = DevRectOf(dc, rect);
    auto width = [&](const QString& s) { return Advance(*dc, f, s); };
    QStringList lines;
    if (format & DT_SINGLELINE) {
        lines << QString(q).replace('\n', ' ');
    } else {
        for (const QString& l : q.split('\n')) {
            if (format & DT_WORDBREAK)
                lines << WrapLine(l, devRect.width(), width);
            else
                lines << l;
        }
    }
    const double lineH = f.ascent + f.descent;
    double maxW = 0;
    for (const QString& l : lines)
        maxW = std::max(maxW, width(l));
    const double totalH = lineH * lines.size();
    const int logH = int(std::lround(totalH / std::abs(xf.sy)));
    if (format & DT_CALCRECT) {
        rect->right = rect->left + LONG(std::ceil(maxW / std::abs(xf.sx)));
        rect->bottom = rect->top + logH;
        return logH;
    }
    double y = devRect.top();
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = devRect.top() + (devRect.height() - lineH) / 2;
        else if (format & DT_BOTTOM)
            y = devRect.bottom() + 1 - lineH;
    }
    const QRect clip = devRect;
    const UINT savedAlign = dc->st.textAlign;
    for (const QString& l : lines) {
        const double w = width(l);
        double x = devRect.left();
        if (format & DT_CENTER)
            x = devRect.left() + (devRect.width() - w) / 2;
        else if (format & DT_RIGHT)
            x = devRect.right() + 1 - w;
        TextDev(dc, QPointF(std::round(x), std::round(y)), l, TA_LEFT | TA_TOP, f, nullptr,
                (format & DT_NOCLIP) ? nullptr : &clip, nullptr);
        y += lineH;
    }
    dc->st.textAlign = savedAlign;
    return logH;
}

CSize CDC::GetTextExtent(const char* text, int count) const
{
    if (!text || count < 0)
        return CSize(0, 0);
    return GetTextExtent(std::string_view(text, size_t(count)));
}

CSize CDC::GetTextExtent(std::string_view text) const
{
    auto* dc = Context();
    if (!dc)
        return CSize(0, 0);
    const Xform xf = XformOf(dc->st);
    const TextSetup f = FontFor(*dc);
    const double w = Advance(*dc, f, KeptQString(text));
    return CSize(int(std::lround(w / std::abs(xf.sx))), int(std::lround((f.ascent + f.descent) / std::abs(xf.sy))));
}

BOOL CDC::GetTextMetrics(TEXTMETRICA* tm) const
{
    auto* dc = Context();
    if (!dc || !tm)
        return FALSE;
    const Xform xf = XformOf(dc->st);
    const TextSetup f = FontFor(*dc);
    QFontMetricsF m = dc->printer ? QFontMetricsF(f.font, dc->printer.get()) : QFontMetricsF(f.font);
    const double sy = std::abs(xf.sy), sx = std::abs(xf.sx);
    const LOGFONTA lf = dc->st.font ? dc->st.font->lf : LOGFONTA{};
    *tm = TEXTMETRICA{};
    tm->tmAscent = LONG(std::lround(m.ascent() / sy));
    tm->tmDescent = LONG(std::lround(m.descent() / sy));
    tm->tmHeight = tm->tmAscent + tm->tmDescent;
    tm->tmInternalLeading = std::max<LONG>(0, tm->tmHeight - LONG(std::lround(f.font.pixelSize() / sy)));
    tm->tmExternalLeading = LONG(std::lround(m.leading() / sy));
    tm->tmAveCharWidth = LONG(std::lround(m.averageCharWidth() / sx));
    tm->tmMaxCharWidth = LONG(std::lround(m.maxWidth() / sx));
    tm->tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    tm->tmItalic = lf.lfItalic;
    tm->tmUnderlined = lf.lfUnderline;
    tm->tmStruckOut = lf.lfStrikeOut;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFF;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = GetDeviceCaps(LOGPIXELSY);
    tm->tmPitchAndFamily = BYTE(0x06 | (lf.lfPitchAndFamily & 0xF0)); // variable pitch, TrueType
    tm->tmCharSet = lf.lfCharSet;
    return TRUE;
}

int CDC::GetTextFace(int count, char* face) const
{
    auto* dc = Context();
    if (!dc || !face || count <= 0)
        return 0;
    const char* name = dc->st.font ? dc->st.font->lf.lfFaceName : "";
    std::strncpy(face, name, size_t(count - 1));
    face[count - 1] = 0;
    return int(std::strlen(face));
}
