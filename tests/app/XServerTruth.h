// Where the X server has a top-level window, asked of the server itself (xwininfo, xprop), not
// of the toolkit: the check against which the toolkit's idea of a window's place is held.
#pragma once

#include "support/NeedsTool.h"
#include "support/QtTestAccess.h"

#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace xtruth {

inline bool ToolsInstalled() { return DurnexToolInstalled("xwininfo") && DurnexToolInstalled("xprop"); }

inline std::string Output(const std::string& command)
{
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> p(::popen(command.c_str(), "r"), ::pclose);
    std::array<char, 256> line{};
    while (p && std::fgets(line.data(), int(line.size()), p.get()))
        out += line.data();
    return out;
}

// The client area's rectangle on the root window.
inline std::optional<QRect> ClientRect(QWidget* top)
{
    const std::string s = Output("xwininfo -id " + std::to_string(top->winId()));
    const auto x = s.find("Absolute upper-left X:"), y = s.find("Absolute upper-left Y:");
    const auto w = s.find("Width:"), h = s.find("Height:");
    if (x == std::string::npos || y == std::string::npos || w == std::string::npos || h == std::string::npos)
        return std::nullopt;
    return QRect(std::stoi(s.substr(x + 22)), std::stoi(s.substr(y + 22)), std::stoi(s.substr(w + 6)),
                 std::stoi(s.substr(h + 7)));
}

// The root position of the window's client area (the X window the toolkit made), as the server
// translates it through every parent the window manager put around it.
inline std::optional<QPoint> ClientOrigin(QWidget* top)
{
    const std::optional<QRect> r = ClientRect(top);
    return r ? std::optional<QPoint>(r->topLeft()) : std::nullopt;
}

// The frame the window manager drew around it: left, right, top, bottom.
struct Extents {
    int left = 0, right = 0, top = 0, bottom = 0;
};
inline std::optional<Extents> FrameExtents(QWidget* top)
{
    const std::string s = Output("xprop -id " + std::to_string(top->winId()) + " _NET_FRAME_EXTENTS");
    Extents e;
    const auto eq = s.find('=');
    if (eq == std::string::npos ||
        std::sscanf(s.c_str() + eq + 1, " %d , %d , %d , %d", &e.left, &e.right, &e.top, &e.bottom) != 4)
        return std::nullopt;
    return e;
}

} // namespace xtruth
