#include "platform/ui/Clipboard.h"

#include "platform/ui/qt/GdiInternal.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr const char* kWaveMime = "audio/wav";
constexpr const char* kWaveMimeAlt = "audio/x-wav";
// The exact bytes of CF_TEXT, so that the program gets back what it put there.
constexpr const char* kRawTextMime = "application/x-durnex-cf-text";

struct ClipboardState {
    bool open = false;
    const void* owner = nullptr;
    bool changed = false;
    std::unique_ptr<QMimeData> pending;
    // Handles given out by GetClipboardData, freed when the clipboard closes or empties.
    std::vector<HGLOBAL> globals;
    std::vector<std::shared_ptr<GdiObjectData>> bitmaps;
    std::map<UINT, std::string> names; // registered formats
};

ClipboardState& State()
{
    static ClipboardState* s = new ClipboardState;
    return *s;
}

QClipboard* Board()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return nullptr;
    return QGuiApplication::clipboard();
}

void ReleaseGiven(ClipboardState& s)
{
    for (HGLOBAL g : s.globals)
        GlobalFree(g);
    s.globals.clear();
    s.bitmaps.clear();
}

QString RegisteredMime(const std::string& name)
{
    // Qt's own naming of Windows formats, so the bytes keep their name across platforms.
    return QString("application/x-qt-windows-mime;value=\"%1\"").arg(QString::fromStdString(name));
}

QByteArray BlockBytes(HGLOBAL block)
{
    const SIZE_T n = GlobalSize(block);
    const void* p = GlobalLock(block);
    if (!p && n)
        return {};
    QByteArray out(static_cast<const char*>(p), qsizetype(n));
    if (p)
        GlobalUnlock(block);
    return out;
}

HGLOBAL NewBlock(const QByteArray& bytes, bool terminate)
{
    const SIZE_T n = SIZE_T(bytes.size()) + (terminate ? 1 : 0);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, n);
    if (!g)
        return nullptr;
    if (n) {
        void* p = GlobalLock(g);
        if (!p) {
            GlobalFree(g);
            return nullptr;
        }
        std::memcpy(p, bytes.constData(), size_t(bytes.size()));
        GlobalUnlock(g);
    }
    return g;
}

// The clipboard's current content: what this session has set, else the desktop's.
const QMimeData* Current()
{
    ClipboardState& s = State();
    if (s.changed && s.pending)
        return s.pending.get();
    QClipboard* b = Board();
    return b ? b->mimeData() : nullptr;
}

bool Has(const QMimeData* m, UINT format)
{
    if (!m)
        return false;
    switch (format) {
    case CF_TEXT:
    case CF_OEMTEXT:
    case CF_UNICODETEXT: return m->hasFormat(kRawTextMime) || m->hasText();
    case CF_WAVE: return m->hasFormat(kWaveMime) || m->hasFormat(kWaveMimeAlt);
    case CF_BITMAP:
    case CF_DIB: return m->hasImage();
    default: {
        auto it = State().names.find(format);
        return it != State().names.end() && m->hasFormat(RegisteredMime(it->second));
    }
    }
}

} // namespace

BOOL OpenClipboard(const void* owner)
{
    ClipboardState& s = State();
    if (s.open || !Board())
        return FALSE;
    s.open = true;
    s.owner = owner;
    s.changed = false;
    s.pending.reset();
    return TRUE;
}

BOOL CloseClipboard()
{
    ClipboardState& s = State();
    if (!s.open)
        return FALSE;
    if (s.changed) {
        if (QClipboard* b = Board()) {
            if (s.pending)
                b->setMimeData(s.pending.release());
            else
                b->clear();
        }
    }
    s.pending.reset();
    s.changed = false;
    s.open = false;
    s.owner = nullptr;
    ReleaseGiven(s);
    return TRUE;
}

BOOL EmptyClipboard()
{
    ClipboardState& s = State();
    if (!s.open)
        return FALSE;
    ReleaseGiven(s);
    s.pending = std::make_unique<QMimeData>();
    s.changed = true;
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data)
{
    ClipboardState& s = State();
    if (!s.open || !data)
        return nullptr;
    if (!s.pending) {
        // Adding to what is there without emptying first: start from a copy of it.
        s.pending = std::make_unique<QMimeData>();
        if (const QMimeData* m = Board() ? Board()->mimeData() : nullptr)
            for (const QString& f : m->formats())
                s.pending->setData(f, m->data(f));
    }
    QMimeData& m = *s.pending;
    if (format == CF_BITMAP) {
        auto bmp = gdi::LookupAs<BitmapData>(reinterpret_cast<HGDIOBJ>(data), GdiKind::Bitmap);
        if (!bmp)
            return nullptr;
        m.setImageData(bmp->image.copy());
        gdi::TakeDetached(reinterpret_cast<HGDIOBJ>(data)); // the clipboard owns it now
        s.changed = true;
        return data;
    }
    if (GlobalFlags(data) == GMEM_INVALID_HANDLE)
        return nullptr;
    const QByteArray bytes = BlockBytes(data);
    switch (format) {
    case CF_TEXT:
    case CF_OEMTEXT: {
        const qsizetype end = bytes.indexOf('\0');
        const QByteArray text = end < 0 ? bytes : bytes.left(end);
        m.setData(kRawTextMime, text);
        QString q = QString::fromUtf8(text);
        if (q.contains(QChar::ReplacementCharacter))
            q = QString::fromLatin1(text);
        m.setText(q.replace("\r\n", "\n"));
        break;
    }
    case CF_UNICODETEXT: {
        const auto* u = reinterpret_cast<const char16_t*>(bytes.constData());
        qsizetype n = bytes.size() / 2;
        for (qsizetype i = 0; i < n; ++i)
            if (u[i] == 0) {
                n = i;
                break;
            }
        m.setText(QString::fromUtf16(u, n).replace("\r\n", "\n"));
        break;
    }
    case CF_WAVE:
        m.setData(kWaveMime, bytes);
        break;
    case CF_DIB: {
        const QImage img = gdi::DecodeDib(std::span<const BYTE>(reinterpret_cast<const BYTE*>(bytes.constData()), size_t(bytes.size())));
        if (img.isNull())
            return nullptr;
        m.setImageData(img);
        break;
    }
    default: {
        auto it = s.names.find(format);
        if (it == s.names.end())
            return nullptr;
        m.setData(RegisteredMime(it->second), bytes);
        break;
    }
    }
    GlobalFree(data); // the clipboard owns it now; its bytes are kept above
    s.changed = true;
    return data;
}

HANDLE GetClipboardData(UINT format)
{
    ClipboardState& s = State();
    if (!s.open)
        return nullptr;
    const QMimeData* m = Current();
    if (!Has(m, format))
        return nullptr;
    HGLOBAL out = nullptr;
    switch (format) {
    case CF_TEXT:
    case CF_OEMTEXT: {
        QByteArray text;
        if (m->hasFormat(kRawTextMime)) {
            text = m->data(kRawTextMime);
        } else {
            // Text from other programs: Windows line ends, as the program expects.
            QString q = m->text();
            q.replace("\r\n", "\n").replace("\n", "\r\n");
            text = q.toUtf8();
        }
        out = NewBlock(text, true);
        break;
    }
    case CF_UNICODETEXT: {
        QString q = m->hasFormat(kRawTextMime) ? QString::fromUtf8(m->data(kRawTextMime)) : m->text();
        q.replace("\r\n", "\n").replace("\n", "\r\n");
        // Two zero bytes end UTF-16 text.
        out = NewBlock(QByteArray(reinterpret_cast<const char*>(q.utf16()), q.size() * 2) + QByteArray(2, '\0'), false);
        break;
    }
    case CF_WAVE:
        out = NewBlock(m->hasFormat(kWaveMime) ? m->data(kWaveMime) : m->data(kWaveMimeAlt), false);
        break;
    case CF_DIB: {
        const QImage img = qvariant_cast<QImage>(m->imageData());
        const std::vector<BYTE> dib = gdi::EncodeDib(img, 24);
        if (dib.empty())
            return nullptr;
        out = NewBlock(QByteArray(reinterpret_cast<const char*>(dib.data()), qsizetype(dib.size())), false);
        break;
    }
    case CF_BITMAP: {
        const QImage img = qvariant_cast<QImage>(m->imageData());
        auto b = gdi::NewBitmap(img.width(), img.height(), 32);
        if (!b)
            return nullptr;
        b->image = img.convertToFormat(QImage::Format_RGB32);
        s.bitmaps.push_back(b);
        return reinterpret_cast<HANDLE>(b->Handle());
    }
    default: {
        auto it = s.names.find(format);
        out = NewBlock(m->data(RegisteredMime(it->second)), false);
        break;
    }
    }
    if (out)
        s.globals.push_back(out);
    return out;
}

BOOL IsClipboardFormatAvailable(UINT format) { return Has(Current(), format) ? TRUE : FALSE; }

UINT RegisterClipboardFormatA(const char* name)
{
    if (!name || !*name)
        return 0;
    ClipboardState& s = State();
    for (const auto& [id, n] : s.names)
        if (QString::fromStdString(n).compare(QString::fromUtf8(name), Qt::CaseInsensitive) == 0)
            return id;
    const UINT id = 0xC000 + UINT(s.names.size());
    s.names[id] = name;
    return id;
}

int GetClipboardFormatNameA(UINT format, char* name, int size)
{
    ClipboardState& s = State();
    auto it = s.names.find(format);
    if (it == s.names.end() || !name || size <= 0)
        return 0;
    std::strncpy(name, it->second.c_str(), size_t(size - 1));
    name[size - 1] = 0;
    return int(std::strlen(name));
}

UINT EnumClipboardFormats(UINT format)
{
    if (!State().open)
        return 0;
    std::vector<UINT> all;
    for (UINT f : {CF_TEXT, CF_BITMAP, CF_OEMTEXT, CF_DIB, CF_WAVE, CF_UNICODETEXT})
        if (Has(Current(), f))
            all.push_back(f);
    for (const auto& [id, n] : State().names)
        if (Has(Current(), id))
            all.push_back(id);
    if (format == 0)
        return all.empty() ? 0 : all.front();
    for (size_t i = 0; i + 1 < all.size(); ++i)
        if (all[i] == format)
            return all[i + 1];
    return 0;
}
