// The window side of the placement records: reading a live window's placement into its
// record, applying a record to a window, and the rectangles new windows are created in.
#include "app/CMainFrame.h"

#include "plots/TPhasePlot.h"
#include "plots/TSeriesPlot.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "siggen/CSigGen.h"
#include "utilities/CAnalysisView.h"
#include "utilities/CLeqAnalysisView.h"
#include "utilities/CSoundPowerAnalysisView.h"
#include "utilities/TReverb.h"
#include "utilities/TTHDFreq.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
// Placements are stored in the screen's device pixels, as Windows keeps them, so that a
// session at another display scale brings every window back over the same part of the screen.
int ToDevice(int v, UINT dpi) { return v == -1 ? v : static_cast<int>(static_cast<long long>(v) * dpi / 96); }
int FromDevice(int v, UINT dpi) { return v == -1 ? v : static_cast<int>(static_cast<long long>(v) * 96 / dpi); }

void ScalePlacement(WINDOWPLACEMENT& wp, UINT dpi, bool toDevice)
{
    auto f = [&](LONG& v) { v = toDevice ? ToDevice(v, dpi) : FromDevice(v, dpi); };
    f(wp.ptMinPosition.x);
    f(wp.ptMinPosition.y);
    f(wp.ptMaxPosition.x);
    f(wp.ptMaxPosition.y);
    f(wp.rcNormalPosition.left);
    f(wp.rcNormalPosition.top);
    f(wp.rcNormalPosition.right);
    f(wp.rcNormalPosition.bottom);
}

RECT FromDevice(RECT r, UINT dpi)
{
    return RECT{FromDevice(r.left, dpi), FromDevice(r.top, dpi), FromDevice(r.right, dpi), FromDevice(r.bottom, dpi)};
}

UINT PlacementDpi()
{
    const UINT dpi = GetDpiForSystem();
    return dpi > 0 ? dpi : 96;
}

int ClampChannel(int kind, int channel, bool composite)
{
    channel = std::max(channel, 0);
    if (composite && kind >= 2 && kind <= 5)
        return std::min(channel, 15);
    if (kind >= 1 && kind <= 5)
        return std::min(channel, 7);
    return channel;
}
} // namespace

DesktopInfo CMainFrame::GetDesktopInfo() const
{
    DesktopInfo desktop;
    desktop.width = GetSystemMetrics(SM_CXSCREEN);
    desktop.height = GetSystemMetrics(SM_CYSCREEN);
    desktop.frameMinimized = GetSafeHwnd() != nullptr && IsIconic();
    return desktop;
}

CWnd* CMainFrame::GetPlacementWindow(int kind, int channel, bool composite) const
{
    if (kind == 0)
        return GetSafeHwnd() != nullptr ? const_cast<CMainFrame*>(this) : nullptr;
    if (kind >= 1 && kind <= 5)
        return GetPlot(kind, ClampChannel(kind, channel, composite), composite);
    return GetUtilityWindow(kind);
}

void CMainFrame::RecordWindowPlacement(int kind, int channel, bool composite)
{
    if (WindowPlacementIndex(kind, channel, composite) < 0)
        return;
    CWnd* window = GetPlacementWindow(kind, channel, composite);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    const bool have = window != nullptr && window->GetSafeHwnd() != nullptr && window->GetWindowPlacement(&placement);
    if (have)
        ScalePlacement(placement, PlacementDpi(), true);
    ::RecordWindowPlacement(Settings.Placements, kind, channel, composite, kind == 0 || window != nullptr,
                            have ? &placement : nullptr);
}

bool CMainFrame::IsWindowMarkedOpen(int kind, int channel, bool composite) const
{
    return ::IsWindowMarkedOpen(Settings.Placements, kind, channel, composite);
}

CRect CMainFrame::GetPlacementArea(int kind) const
{
    // As Windows' SetWindowPlacement keeps a window visible, every window is fitted to where it
    // lives: the plots and the two test windows to the MDI area, the others to the screen. A
    // placement stored on a larger screen, or damaged, would otherwise open a window past the
    // edges, or one of gigabytes.
    CRect area(0, 0, 0, 0);
    if (IsMdiWindowKind(kind)) {
        if (GetMDIClient() != nullptr)
            GetMDIClient()->GetClientRect(&area);
        else
            GetClientRect(&area);
        return area;
    }
    const DesktopInfo desktop = GetDesktopInfo();
    return CRect(0, 0, desktop.width, desktop.height);
}

void CMainFrame::RestoreWindowPlacement(int kind, int channel, bool composite)
{
    WINDOWPLACEMENT placement{};
    const UINT dpi = PlacementDpi();
    DesktopInfo device = GetDesktopInfo();
    device.width = ToDevice(device.width, dpi);
    device.height = ToDevice(device.height, dpi);
    if (!GetRestorePlacement(Settings.Placements, kind, channel, composite, device, &placement))
        return;
    ScalePlacement(placement, dpi, false);
    CWnd* window = GetPlacementWindow(kind, channel, composite);
    if (window == nullptr || window->GetSafeHwnd() == nullptr)
        return;
    const CRect area = GetPlacementArea(kind);
    placement.rcNormalPosition = FitRectInArea(placement.rcNormalPosition, area.Width(), area.Height());
    if (kind == 0) {
        SetWindowPlacement(&placement);
    } else if (kind <= 5) {
        window->SetWindowPlacement(&placement);
        MDIRestore(window);
        if (placement.showCmd == SW_SHOWMAXIMIZED)
            MDIMaximize(window);
    } else {
        window->SetWindowPlacement(&placement);
        window->ShowWindow(SW_SHOWNORMAL);
    }
}

void CMainFrame::GetCascadeRect(RECT* rect)
{
    if (rect == nullptr)
        return;
    CRect client;
    GetClientRect(&client);
    *rect = ::GetCascadeRect(client.Width(), client.Height());
}

void CMainFrame::GetInitialWindowRect(RECT* rect, int kind, int channel, bool composite, bool* maximised)
{
    CRect client;
    GetClientRect(&client);
    // A plot window is a child of the MDI area, which the tool windows and the status bar make
    // smaller than the frame's client: its default rectangle is cascaded within that area and
    // it opens wholly inside it, axes and all.
    const bool plot = kind >= 1 && kind <= 5;
    if (plot && GetMDIClient() != nullptr)
        GetMDIClient()->GetClientRect(&client);
    // The generator's and the utilities' fixed places count from the top left of the area below
    // the frame's menu and tool windows, wherever the frame stands, so that they never cover
    // the menu or the Run and Stop buttons.
    POINT offset{0, 0};
    if (!IsMdiWindowKind(kind) && kind != 0 && GetSafeHwnd() != nullptr) {
        if (GetMDIClient() != nullptr)
            GetMDIClient()->ClientToScreen(&offset);
        else
            ClientToScreen(&offset);
    }
    // A stored rectangle is in device pixels; the cascade and the fixed places are not.
    const UINT dpi = PlacementDpi();
    DesktopInfo desktop = GetDesktopInfo();
    const int record = WindowPlacementIndex(kind, channel, composite);
    WINDOWPLACEMENT probe{};
    const bool stored = record >= 0 && dpi != 96 && ParsePlacement(Settings.Placements[record].PlacementText, &probe, desktop);
    if (stored) {
        desktop.width = ToDevice(desktop.width, dpi);
        desktop.height = ToDevice(desktop.height, dpi);
    }
    RECT r = ::GetInitialWindowRect(Settings.Placements, kind, channel, composite, client.Width(),
                                    client.Height(), desktop, maximised, offset);
    if (stored)
        r = FromDevice(r, dpi);
    // Windows on the desktop take their own size, and are kept on the screen once made.
    if (IsMdiWindowKind(kind)) {
        const CRect area = GetPlacementArea(kind);
        r = FitRectInArea(r, area.Width(), area.Height());
    }
    if (rect != nullptr)
        *rect = r;
}

void CMainFrame::KeepOnScreen(int kind)
{
    CWnd* window = GetPlacementWindow(kind, 0, false);
    if (window == nullptr || window->GetSafeHwnd() == nullptr)
        return;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!window->GetWindowPlacement(&placement) || placement.showCmd != SW_SHOWNORMAL)
        return;
    const CRect area = GetPlacementArea(kind);
    const RECT fitted = FitRectInArea(placement.rcNormalPosition, area.Width(), area.Height());
    if (std::memcmp(&fitted, &placement.rcNormalPosition, sizeof fitted) == 0)
        return;
    placement.rcNormalPosition = fitted;
    window->SetWindowPlacement(&placement);
}

void CMainFrame::RecordAllWindowPlacements()
{
    RecordWindowPlacement(0, 0, false);
    ForEachPlotSlot(
        [this](int kind, int index, bool composite) { RecordWindowPlacement(kind, index, composite); });
    for (int kind = 6; kind <= 19; ++kind)
        RecordWindowPlacement(kind, 0, false);
}

void CMainFrame::KeepClearOfToolWindows(int kind)
{
    if (kind < 7 || kind > 19 || IsMdiWindowKind(kind))
        return;
    // A stored place is the user's choice, overlap and all.
    const WindowPlacementRecord& record = Settings.Placements[WindowPlacementIndex(kind, 0, false)];
    WINDOWPLACEMENT stored{};
    if (ParsePlacement(record.PlacementText, &stored, GetDesktopInfo()))
        return;
    CWnd* window = GetPlacementWindow(kind, 0, false);
    if (window == nullptr || window->GetSafeHwnd() == nullptr)
        return;
    // A window the window manager has not framed yet measures as its client, which stands
    // where its frame will go: allow for the frame and title bar it is about to get there.
    constexpr int kFrame = 6, kTitle = 30, kGap = 8;
    auto outer = [](CWnd* w) {
        CRect r, client;
        w->GetWindowRect(&r);
        w->GetClientRect(&client);
        if (r.Width() == client.Width() && r.Height() == client.Height())
            r.InflateRect(0, 0, 2 * kFrame, kTitle + kFrame);
        return r;
    };
    std::vector<CRect> others;
    for (int other = 6; other <= 19; ++other) {
        CWnd* w = other == kind || IsMdiWindowKind(other) ? nullptr : GetPlacementWindow(other, 0, false);
        if (w != nullptr && w->GetSafeHwnd() != nullptr && w->IsWindowVisible())
            others.push_back(outer(w));
    }
    if (others.empty())
        return;
    const CRect own = outer(window);
    const CRect area = GetPlacementArea(kind);
    auto fits = [&](CPoint at) {
        const CRect r(at, own.Size());
        if (r.left < area.left || r.top < area.top || r.right > area.right || r.bottom > area.bottom)
            return false;
        return std::none_of(others.begin(), others.end(), [&](const CRect& o) {
            CRect meet;
            return meet.IntersectRect(&r, &o) != FALSE;
        });
    };
    const CPoint start = own.TopLeft();
    if (fits(start))
        return;
    // Beside or below one of the others, the nearest such place to the window's own.
    std::vector<CPoint> places;
    for (const CRect& o : others)
        for (const CPoint p : {CPoint(o.right + kGap, start.y), CPoint(o.right + kGap, o.top),
                               CPoint(start.x, o.bottom + kGap), CPoint(o.left, o.bottom + kGap)})
            places.push_back(p);
    std::stable_sort(places.begin(), places.end(), [&](CPoint a, CPoint b) {
        return std::abs(a.x - start.x) + std::abs(a.y - start.y) < std::abs(b.x - start.x) + std::abs(b.y - start.y);
    });
    // Crowded beside and below them: the nearest free place below the frame's menu and tool
    // windows, where the fixed places count from.
    const auto free = std::find_if(places.begin(), places.end(), fits);
    CPoint to = free != places.end() ? *free : start;
    if (free == places.end()) {
        POINT below{0, 0};
        if (GetMDIClient() != nullptr)
            GetMDIClient()->ClientToScreen(&below);
        constexpr int kStep = 8;
        long nearest = -1;
        for (int y = std::max<int>(area.top, below.y); y + own.Height() <= area.bottom; y += kStep)
            for (int x = area.left; x + own.Width() <= area.right; x += kStep) {
                const long distance = std::abs(x - start.x) + std::abs(y - start.y);
                if ((nearest < 0 || distance < nearest) && fits(CPoint(x, y))) {
                    nearest = distance;
                    to = CPoint(x, y);
                }
            }
        if (nearest < 0)
            return; // no room anywhere: where it is
    }
    // A move alone: the platform puts the frame there, also once the window manager frames a
    // window it has not framed yet, and the window keeps the size its contents gave it.
    window->SetWindowPos(nullptr, to.x, to.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
