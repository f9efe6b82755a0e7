// Cursors: system shapes, cursors from resources, ::SetCursor and the class cursor.
//
// A cursor resource is text: a line "hotspot X Y", then rows of equal length where '.' is
// transparent, '#' black, 'o' white and '^' inverted (drawn black: X11 has no inversion).
#include "platform/core/Resources.h"
#include "platform/ui/qt/WndInternal.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

struct HCURSOR__ {
    QCursor cursor;
};

namespace {
QPointer<QWidget> g_cursorTarget;

HCURSOR StandardCursor(std::uintptr_t id)
{
    static std::map<std::uintptr_t, std::unique_ptr<HCURSOR__>> cache;
    auto it = cache.find(id);
    if (it != cache.end())
        return it->second.get();
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (id) {
    case 32513: shape = Qt::IBeamCursor; break;
    case 32514: shape = Qt::WaitCursor; break;
    case 32515: shape = Qt::CrossCursor; break;
    case 32516: shape = Qt::UpArrowCursor; break;
    case 32642: shape = Qt::SizeFDiagCursor; break;
    case 32643: shape = Qt::SizeBDiagCursor; break;
    case 32644: shape = Qt::SizeHorCursor; break;
    case 32645: shape = Qt::SizeVerCursor; break;
    case 32646: shape = Qt::SizeAllCursor; break;
    case 32648: shape = Qt::ForbiddenCursor; break;
    case 32649: shape = Qt::PointingHandCursor; break;
    case 32650: shape = Qt::BusyCursor; break;
    case 32512: shape = Qt::ArrowCursor; break;
    default: return nullptr;
    }
    auto& c = cache[id];
    c = std::make_unique<HCURSOR__>(HCURSOR__{QCursor(shape)});
    return c.get();
}

// Parses the text form above; null when the data is malformed.
HCURSOR__* ParseCursor(std::span<const std::uint8_t> bytes)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    std::string word;
    int hx = 0, hy = 0;
    if (!(in >> word >> hx >> hy) || word != "hotspot")
        return nullptr;
    std::vector<std::string> rows;
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty())
            rows.push_back(line);
    }
    if (rows.empty())
        return nullptr;
    const int w = static_cast<int>(rows[0].size()), h = static_cast<int>(rows.size());
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int y = 0; y < h; ++y) {
        if (static_cast<int>(rows[y].size()) != w)
            return nullptr;
        for (int x = 0; x < w; ++x) {
            const char c = rows[y][x];
            if (c == '#' || c == '^')
                img.setPixel(x, y, qRgba(0, 0, 0, 255));
            else if (c == 'o')
                img.setPixel(x, y, qRgba(255, 255, 255, 255));
            else if (c != '.')
                return nullptr;
        }
    }
    return new HCURSOR__{QCursor(QPixmap::fromImage(img), qBound(0, hx, w - 1), qBound(0, hy, h - 1))};
}

HCURSOR ResourceCursor(UINT id)
{
    static std::mutex m;
    static std::map<UINT, std::unique_ptr<HCURSOR__>> cache;
    std::lock_guard lock(m);
    auto it = cache.find(id);
    if (it != cache.end())
        return it->second.get();
    const auto bytes = FindResourceBytes(ResType::Cursor, id);
    if (bytes.empty())
        return nullptr;
    HCURSOR__* c = ParseCursor(bytes);
    if (c)
        cache[id].reset(c);
    return c;
}
} // namespace

const QCursor* CursorOf(HCURSOR h) { return h ? &h->cursor : nullptr; }

HCURSOR LoadCursor(HINSTANCE, LPCSTR name)
{
    if (!name)
        return nullptr;
    if (IS_INTRESOURCE(name)) {
        const auto id = reinterpret_cast<std::uintptr_t>(name);
        if (HCURSOR c = StandardCursor(id))
            return c;
        return ResourceCursor(static_cast<UINT>(id));
    }
    return nullptr;
}

HCURSOR LoadCursor(HINSTANCE h, UINT nIDResource) { return LoadCursor(h, MAKEINTRESOURCEA(nIDResource)); }

void SetCursorTarget(QWidget* w) { g_cursorTarget = w; }
QWidget* CursorTarget() { return g_cursorTarget.data(); }

HCURSOR SetCursor(HCURSOR hCursor)
{
    static HCURSOR current = nullptr;
    HCURSOR old = current;
    current = hCursor;
    QWidget* target = g_cursorTarget.data();
    if (!target && QApplication::instance())
        target = QApplication::widgetAt(QCursor::pos());
    if (target) {
        if (hCursor)
            target->setCursor(hCursor->cursor);
        else
            target->setCursor(QCursor(Qt::BlankCursor));
    }
    return old;
}

void ApplyClassCursor(CWnd* wnd)
{
    QWidget* c = wnd ? QtClientWidgetOf(wnd) : nullptr;
    if (!c || !wnd->IsCustomDrawn())
        return;
    HCURSOR h = wnd->GetClassCursor() ? wnd->GetClassCursor() : StandardCursor(32512);
    c->setCursor(h->cursor);
}

BOOL GetCursorPos(LPPOINT p)
{
    if (!p)
        return FALSE;
    const QPoint q = QCursor::pos();
    p->x = q.x();
    p->y = q.y();
    return TRUE;
}

namespace {
bool g_suppressMove = false;
QPoint g_suppressAt;
} // namespace

BOOL SetCursorPos(int x, int y)
{
    if (!QCoreApplication::instance())
        return FALSE;
    g_suppressMove = true;
    g_suppressAt = QPoint(x, y);
    QCursor::setPos(x, y);
    return TRUE;
}

namespace {
bool g_clipped = false;
QRect g_clip;
} // namespace

QPoint ConfinedCursorPos(const QPoint& global)
{
    if (!g_clipped)
        return global;
    return QPoint(std::clamp(global.x(), g_clip.left(), g_clip.right()),
                  std::clamp(global.y(), g_clip.top(), g_clip.bottom()));
}

BOOL ClipCursor(const RECT* rect)
{
    if (rect == nullptr) {
        g_clipped = false;
        return TRUE;
    }
    if (rect->right <= rect->left || rect->bottom <= rect->top)
        return FALSE;
    g_clip = QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1));
    g_clipped = true;
    if (QCoreApplication::instance()) {
        const QPoint now = QCursor::pos();
        const QPoint inside = ConfinedCursorPos(now);
        if (inside != now)
            SetCursorPos(inside.x(), inside.y());
    }
    return TRUE;
}

BOOL GetClipCursor(LPRECT rect)
{
    if (rect == nullptr)
        return FALSE;
    QRect r = g_clip;
    if (!g_clipped) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        r = screen ? screen->virtualGeometry() : QRect();
    }
    *rect = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    return TRUE;
}

bool TakeSuppressedMove(const QPoint& global)
{
    if (!g_suppressMove || global != g_suppressAt)
        return false;
    g_suppressMove = false;
    return true;
}

SHORT GetKeyState(int nVirtKey)
{
    if (!QApplication::instance())
        return 0;
    const Qt::KeyboardModifiers m = QGuiApplication::queryKeyboardModifiers();
    const Qt::MouseButtons b = QGuiApplication::mouseButtons();
    bool down = false;
    switch (nVirtKey) {
    case VK_SHIFT: down = m & Qt::ShiftModifier; break;
    case VK_CONTROL: down = m & Qt::ControlModifier; break;
    case VK_MENU: down = m & Qt::AltModifier; break;
    case VK_LBUTTON: down = b & Qt::LeftButton; break;
    case VK_RBUTTON: down = b & Qt::RightButton; break;
    case VK_MBUTTON: down = b & Qt::MiddleButton; break;
    default: break;
    }
    return down ? SHORT(0x8000) : SHORT(0);
}

SHORT GetAsyncKeyState(int vKey) { return GetKeyState(vKey); }
