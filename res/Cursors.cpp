// Cursors of the plot windows, 32 x 32, in the text form platform/ui/Cursor.cpp reads:
// '.' transparent, '#' black, 'o' white (an outline so the cursor shows on dark plots).
#include "platform/core/Resources.h"
#include "res/ResourceGroups.h"
#include "res/resource.h"

#include <map>
#include <string>

namespace {
// A 19-pixel cross centred on the hot spot (15,15).
std::string CrossCursor()
{
    std::string s = "hotspot 15 15\n";
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const bool arm = (x == 15 && y >= 6 && y <= 24) || (y == 15 && x >= 6 && x <= 24);
            const bool edge = !arm && (((x == 14 || x == 16) && y >= 6 && y <= 24) ||
                                       ((y == 14 || y == 16) && x >= 6 && x <= 24));
            s += arm ? '#' : edge ? 'o' : '.';
        }
        s += '\n';
    }
    return s;
}

std::string HiddenCursor()
{
    std::string s = "hotspot 15 15\n";
    for (int y = 0; y < 32; ++y)
        s += std::string(32, '.') + "\n";
    return s;
}

// A small cross at (4,4) with an outlined rectangle to its lower right.
std::string SelectCursor()
{
    std::string s = "hotspot 4 4\n";
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const bool cross = (x == 4 && y <= 8) || (y == 4 && x <= 8);
            const bool box = ((x == 10 || x == 22) && y >= 10 && y <= 18) || ((y == 10 || y == 18) && x >= 10 && x <= 22);
            s += (cross || box) ? '#' : '.';
        }
        s += '\n';
    }
    return s;
}

void Register(UINT id, const std::string& text)
{
    // Registered bytes must outlive the registry: keep them for the process.
    static std::map<UINT, std::string> store;
    std::string& slot = store[id];
    if (slot.empty())
        slot = text;
    RegisterResource(ResType::Cursor, id,
                     std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(slot.data()), slot.size()));
}
} // namespace

void RegisterCursors()
{
    Register(IDC_PLOT_CROSS, CrossCursor());
    Register(IDC_PLOT_HIDDEN, HiddenCursor());
    Register(IDC_PLOT_SELECT, SelectCursor());
}
