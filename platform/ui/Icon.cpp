// Icons from resources. An icon resource is text: a line "icon W H", lines "colour C RRGGBB"
// naming the colour of character C, then H rows of W characters ('.' transparent).
#include "platform/core/Resources.h"
#include "platform/ui/qt/WndInternal.h"

#include <QImage>
#include <QPixmap>

#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

struct HICON__ {
    QIcon icon;
};

struct HINSTANCE__ {};

namespace {
HICON__* ParseIcon(std::span<const std::uint8_t> bytes)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    std::string word;
    int w = 0, h = 0;
    if (!(in >> word >> w >> h) || word != "icon" || w <= 0 || h <= 0 || w > 256 || h > 256)
        return nullptr;
    std::map<char, QRgb> colours;
    std::vector<std::string> rows;
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty())
            continue;
        if (line.rfind("colour ", 0) == 0) {
            std::istringstream ls(line.substr(7));
            char c = 0;
            std::string hex;
            if (!(ls >> c >> hex) || hex.size() != 6)
                return nullptr;
            colours[c] = 0xFF000000u | static_cast<QRgb>(std::stoul(hex, nullptr, 16));
            continue;
        }
        rows.push_back(line);
    }
    if (static_cast<int>(rows.size()) != h)
        return nullptr;
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int y = 0; y < h; ++y) {
        if (static_cast<int>(rows[size_t(y)].size()) != w)
            return nullptr;
        for (int x = 0; x < w; ++x) {
            const char c = rows[size_t(y)][size_t(x)];
            if (c == '.')
                continue;
            auto it = colours.find(c);
            if (it == colours.end())
                return nullptr;
            img.setPixel(x, y, it->second);
        }
    }
    return new HICON__{QIcon(QPixmap::fromImage(img))};
}

HICON Load(const std::string& key, std::span<const std::uint8_t> bytes)
{
    static std::mutex m;
    static std::map<std::string, std::unique_ptr<HICON__>> cache;
    std::lock_guard lock(m);
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second.get();
    if (bytes.empty())
        return nullptr;
    HICON__* icon = ParseIcon(bytes);
    if (icon)
        cache[key].reset(icon);
    return icon;
}
} // namespace

HICON LoadIcon(HINSTANCE, LPCSTR name)
{
    if (!name)
        return nullptr;
    if (IS_INTRESOURCE(name)) {
        const auto id = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name));
        return Load("#" + std::to_string(id), FindResourceBytes(ResType::Icon, id));
    }
    // Names compare without regard to case, as the registry's do.
    std::string key = name;
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return Load(key, FindResourceBytes(ResType::Icon, std::string_view(name)));
}

HICON LoadIcon(HINSTANCE h, UINT id) { return LoadIcon(h, MAKEINTRESOURCEA(id)); }

const QIcon* IconOf(HICON h) { return h ? &h->icon : nullptr; }

void ApplyClassIcon(QWidget* w, HICON icon)
{
    if (w && icon)
        w->setWindowIcon(icon->icon);
}

HINSTANCE AfxGetInstanceHandle()
{
    static HINSTANCE__ module;
    return &module;
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }
