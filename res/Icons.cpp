// Window icons, 32 x 32, drawn here in the text form platform/ui/Icon.cpp reads.
#include "platform/core/Resources.h"
#include "res/ResourceGroups.h"
#include "res/resource.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>

namespace {
constexpr int N = 32;
const char* const kPalette = "colour k 000000\ncolour w FFFFFF\ncolour b 1F3A93\ncolour g 2ECC40\n"
                             "colour r D62828\ncolour y F4D35E\ncolour s 7F8C8D\n";

// A framed white plot with axes and whatever `trace` marks.
std::string Plot(const std::function<char(int x, int y)>& trace)
{
    std::string s = "icon 32 32\n";
    s += kPalette;
    for (int y = 0; y < N; ++y) {
        for (int x = 0; x < N; ++x) {
            char c = 'w';
            if (x == 0 || y == 0 || x == N - 1 || y == N - 1)
                c = 's';
            else if (x == 4 || y == N - 5)
                c = 'k';
            else if (char t = trace(x, y))
                c = t;
            s += c;
        }
        s += '\n';
    }
    return s;
}

std::string AppIcon()
{
    // Spectrum bars on a dark blue square.
    std::string s = "icon 32 32\n";
    s += kPalette;
    const int heights[] = {6, 14, 22, 17, 25, 12, 19, 9, 15, 5};
    for (int y = 0; y < N; ++y) {
        for (int x = 0; x < N; ++x) {
            char c = 'b';
            if (x >= 2 && x < 30 && y >= 2 && y < 30) {
                const int bar = (x - 2) / 3 < 10 && (x - 2) % 3 != 2 ? (x - 2) / 3 : -1;
                if (bar >= 0 && bar < 10 && 29 - y < heights[bar])
                    c = (29 - y) > 20 ? 'y' : 'g';
            }
            s += c;
        }
        s += '\n';
    }
    return s;
}

void Register(const std::string& key, UINT id, const std::string& text)
{
    // The registry keeps views of the bytes: they stay here for the life of the process.
    static std::map<std::string, std::string> store;
    std::string& slot = store[key];
    if (slot.empty())
        slot = text;
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(slot.data()), slot.size());
    if (id)
        RegisterResource(ResType::Icon, id, bytes);
    else
        RegisterResource(ResType::Icon, key, bytes);
}

// A connected trace of y = f(x) over the plot, drawn in colour c; jumps longer than 8 pixels
// (a phase wrap) are not joined.
std::function<char(int, int)> Trace(std::function<int(int)> f, char c)
{
    return [f, c](int x, int y) -> char {
        if (x < 6 || x > 29)
            return 0;
        const int a = f(x), b = x > 6 ? f(x - 1) : a;
        const int lo = std::abs(a - b) > 8 ? a : std::min(a, b), hi = std::abs(a - b) > 8 ? a : std::max(a, b);
        return y >= lo && y <= hi ? c : 0;
    };
}
} // namespace

void RegisterIcons()
{
    Register(IDI_MAIN_APP_NAME, 0, AppIcon());
    // Spectrum: a falling curve with peaks.
    Register("spectrum", IDI_SPECTRUM_PLOT,
             Plot(Trace([](int x) { return int(24 - 16 * std::exp(-(x - 6) / 9.0)) - ((x % 7 == 3) ? 5 : 0); }, 'r')));
    // Time series: a sine.
    Register("series", IDI_SERIES_PLOT,
             Plot(Trace([](int x) { return int(std::lround(14 + 8 * std::sin((x - 6) * 0.5))); }, 'b')));
    // Phase: a wrapping ramp.
    Register("phase", IDI_PHASE_PLOT, Plot(Trace([](int x) { return 24 - ((x - 6) * 2) % 20; }, 'g')));
}
