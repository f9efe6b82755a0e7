#include "app/settings/WindowPlacement.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace {

const char* const kPlotNames[5] = {"TimeSeriesPlot_%d", "SpectrumPlot_%d", "PhasePlot_%d", "SpectrogramPlot_%d",
                                   "SurfacePlot_%d"};
const char* const kCompositeNames[4] = {"CompositeSpectrumPlot_%d", "CompositePhasePlot_%d",
                                        "CompositeSpectrogramPlot_%d", "CompositeSurfacePlot_%d"};
const char* const kSingleNames[14] = {"SignalGenerator", "UtilityPeakFreq", "UtilityPeakAmp", "UtilityTotalPwr",
                                      "UtilityTHD",      "UtilityTHD_N",    "UtilityIMD",     "UtilitySNR",
                                      "UtilitySINAD",    "UtilityLeq",      "THDvsFreq",      "Reverb",
                                      "UtilityRPM",      "UtilitySoundPower"};

// A small scanner with the rules of sscanf for "%d" and literal characters.
class Scanner {
public:
    explicit Scanner(const char* text) : p_(text) {}
    void SkipSpace()
    {
        while (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n' || *p_ == '\v' || *p_ == '\f')
            ++p_;
    }
    bool Literal(char c)
    {
        if (*p_ != c)
            return false;
        ++p_;
        return true;
    }
    // Values beyond 32 bits saturate.
    bool Int(int& out)
    {
        SkipSpace();
        const char* q = p_;
        bool negative = false;
        if (*q == '-' || *q == '+')
            negative = *q++ == '-';
        if (*q < '0' || *q > '9')
            return false;
        long long v = 0;
        for (; *q >= '0' && *q <= '9'; ++q)
            if (v <= INT_MAX)
                v = v * 10 + (*q - '0');
        if (negative)
            v = -v;
        if (v > INT_MAX)
            v = INT_MAX;
        if (v < INT_MIN)
            v = INT_MIN;
        out = static_cast<int>(v);
        p_ = q;
        return true;
    }

private:
    const char* p_;
};

void PullOntoDesktop(WINDOWPLACEMENT& wp, const DesktopInfo& desktop)
{
    LONG* coords[8] = {&wp.ptMinPosition.x,       &wp.ptMinPosition.y,      &wp.ptMaxPosition.x,
                       &wp.ptMaxPosition.y,       &wp.rcNormalPosition.left, &wp.rcNormalPosition.top,
                       &wp.rcNormalPosition.right, &wp.rcNormalPosition.bottom};
    for (LONG* c : coords)
        if (*c < 0)
            *c = 0;
    if (wp.rcNormalPosition.left > desktop.width)
        wp.rcNormalPosition.left = desktop.width / 2;
    if (wp.rcNormalPosition.top > desktop.height)
        wp.rcNormalPosition.top = desktop.height / 2;
    // No window is smaller than its caption and borders (Windows' minimum tracking size at its
    // default metrics): an empty or inverted rectangle from a damaged file would open a window
    // of a single pixel that nobody can see or grab.
    constexpr LONG kMinTrackWidth = 136, kMinTrackHeight = 39;
    RECT& r = wp.rcNormalPosition;
    if (r.right - r.left < kMinTrackWidth)
        r.right = r.left + kMinTrackWidth;
    if (r.bottom - r.top < kMinTrackHeight)
        r.bottom = r.top + kMinTrackHeight;
}

// Left and top of windows created without a stored placement, by kind; 0 keeps the cascade.
int FixedOrigin(int kind)
{
    switch (kind) {
    case WK_SignalGenerator: return 200;
    case WK_UtilityPeakFreq: return 100;
    case WK_UtilityPeakAmp: return 140;
    case WK_UtilityTotalPwr: return 180;
    case WK_UtilityTHD: return 220;
    case WK_UtilityTHD_N: return 260;
    case WK_UtilityIMD: return 300;
    case WK_UtilitySNR: return 340;
    case WK_UtilitySINAD: return 380;
    case WK_UtilityLeq: return 400;
    case WK_THDvsFreq: return 200;
    case WK_Reverb: return 220;
    case WK_UtilitySoundPower: return 500;
    default: return 0;
    }
}

int g_cascadeX = 0;
int g_cascadeY = 0;

} // namespace

void InitWindowPlacementRecords(WindowPlacementRecord (&records)[kWindowPlacementCount])
{
    for (WindowPlacementRecord& r : records)
        ZeroRecord(r);
    int i = 0;
    std::snprintf(records[i++].WindowName, 256, "%s", "MainWindow");
    for (const char* name : kPlotNames)
        for (int ch = 0; ch < 8; ++ch)
            std::snprintf(records[i++].WindowName, 256, name, ch);
    for (const char* name : kCompositeNames)
        for (int ch = 0; ch < 16; ++ch)
            std::snprintf(records[i++].WindowName, 256, name, ch);
    for (const char* name : kSingleNames)
        std::snprintf(records[i++].WindowName, 256, "%s", name);
}

int WindowPlacementIndex(int kind, int channel, bool composite)
{
    if (kind < 0 || kind >= WK_Count)
        return -1;
    if (composite && (kind < WK_SpectrumPlot || kind > WK_SurfacePlot))
        return -1;
    if (channel < 0)
        channel = 0;
    if (composite) {
        if (channel > 15)
            channel = 15;
        return 41 + (kind - WK_SpectrumPlot) * 16 + channel;
    }
    if (kind == WK_MainWindow)
        return 0;
    if (kind <= WK_SurfacePlot) {
        if (channel > 7)
            channel = 7;
        return 1 + (kind - WK_TimeSeriesPlot) * 8 + channel;
    }
    return 105 + (kind - WK_SignalGenerator);
}

void FormatPlacement(const WINDOWPLACEMENT* wp, char* text, std::size_t textSize)
{
    if (wp == nullptr || text == nullptr || textSize == 0)
        return;
    std::snprintf(text, textSize, "%d, %d, {%d,%d}, {%d,%d}, {%d,%d,%d,%d}", static_cast<int>(wp->flags),
                  static_cast<int>(wp->showCmd), wp->ptMinPosition.x, wp->ptMinPosition.y, wp->ptMaxPosition.x,
                  wp->ptMaxPosition.y, wp->rcNormalPosition.left, wp->rcNormalPosition.top,
                  wp->rcNormalPosition.right, wp->rcNormalPosition.bottom);
}

bool ParsePlacement(const char* text, WINDOWPLACEMENT* out, const DesktopInfo& desktop)
{
    if (text == nullptr || out == nullptr || std::strlen(text) < 3)
        return false;
    out->length = sizeof(WINDOWPLACEMENT);
    int v[10] = {};
    Scanner s(text);
    // "%d, %d, {%d,%d}, {%d,%d}, {%d,%d,%d,%d}"
    bool ok = s.Int(v[0]) && s.Literal(',') && (s.SkipSpace(), s.Int(v[1])) && s.Literal(',') &&
              (s.SkipSpace(), s.Literal('{')) && s.Int(v[2]) && s.Literal(',') && s.Int(v[3]) && s.Literal('}') &&
              s.Literal(',') && (s.SkipSpace(), s.Literal('{')) && s.Int(v[4]) && s.Literal(',') && s.Int(v[5]) &&
              s.Literal('}') && s.Literal(',') && (s.SkipSpace(), s.Literal('{')) && s.Int(v[6]) &&
              s.Literal(',') && s.Int(v[7]) && s.Literal(',') && s.Int(v[8]) && s.Literal(',') && s.Int(v[9]);
    // A text without all ten values would give a window of no size: treat it as unreadable.
    if (!ok)
        return false;
    out->flags = static_cast<UINT>(v[0]);
    out->showCmd = static_cast<UINT>(v[1]);
    out->ptMinPosition = {v[2], v[3]};
    out->ptMaxPosition = {v[4], v[5]};
    out->rcNormalPosition = {v[6], v[7], v[8], v[9]};
    PullOntoDesktop(*out, desktop);
    if (desktop.frameMinimized)
        out->showCmd = SW_MINIMIZE;
    else if (out->showCmd == static_cast<UINT>(SW_SHOWMINIMIZED))
        out->showCmd = SW_SHOWNORMAL;
    return true;
}

void RecordWindowPlacement(WindowPlacementRecord (&records)[kWindowPlacementCount], int kind, int channel,
                           bool composite, bool windowExists, const WINDOWPLACEMENT* current)
{
    int i = WindowPlacementIndex(kind, channel, composite);
    if (i < 0)
        return;
    WindowPlacementRecord& r = records[i];
    r.IsOpen = (kind == WK_MainWindow || windowExists) ? 1 : 0;
    if (windowExists && current != nullptr)
        FormatPlacement(current, r.PlacementText, sizeof r.PlacementText);
}

bool IsWindowMarkedOpen(const WindowPlacementRecord (&records)[kWindowPlacementCount], int kind, int channel,
                        bool composite)
{
    int i = WindowPlacementIndex(kind, channel, composite);
    return i >= 0 && records[i].IsOpen != 0;
}

bool GetRestorePlacement(const WindowPlacementRecord (&records)[kWindowPlacementCount], int kind, int channel,
                         bool composite, const DesktopInfo& desktop, WINDOWPLACEMENT* out)
{
    if (out == nullptr || !IsWindowMarkedOpen(records, kind, channel, composite))
        return false;
    const WindowPlacementRecord& r = records[WindowPlacementIndex(kind, channel, composite)];
    char text[sizeof r.PlacementText];
    std::memcpy(text, r.PlacementText, sizeof text);
    text[sizeof text - 1] = '\0';
    if (text[0] == '\0')
        return false;
    *out = WINDOWPLACEMENT{};
    return ParsePlacement(text, out, desktop);
}

RECT GetCascadeRect(int clientWidth, int clientHeight)
{
    RECT r;
    r.left = g_cascadeX;
    r.top = g_cascadeY;
    r.right = static_cast<LONG>(clientWidth * 0.75) + g_cascadeX;
    r.bottom = static_cast<LONG>(clientHeight * 0.75) + g_cascadeY;
    g_cascadeX += 24;
    g_cascadeY += 24;
    if (r.right > clientWidth || r.bottom > clientHeight) {
        g_cascadeX = 0;
        g_cascadeY = 0;
    }
    return r;
}

RECT FitRectInArea(RECT r, int areaWidth, int areaHeight)
{
    const LONG width = std::min<LONG>(std::max<LONG>(0, r.right - r.left), std::max(0, areaWidth));
    const LONG height = std::min<LONG>(std::max<LONG>(0, r.bottom - r.top), std::max(0, areaHeight));
    r.left = std::clamp<LONG>(r.left, 0, std::max<LONG>(0, areaWidth - width));
    r.top = std::clamp<LONG>(r.top, 0, std::max<LONG>(0, areaHeight - height));
    r.right = r.left + width;
    r.bottom = r.top + height;
    return r;
}

void ResetCascadeOffsets()
{
    g_cascadeX = 0;
    g_cascadeY = 0;
}

RECT GetInitialWindowRect(const WindowPlacementRecord (&records)[kWindowPlacementCount], int kind, int channel,
                          bool composite, int clientWidth, int clientHeight, const DesktopInfo& desktop,
                          bool* maximised, POINT fixedOffset)
{
    if (maximised != nullptr)
        *maximised = false;
    RECT cascade = GetCascadeRect(clientWidth, clientHeight);
    int i = WindowPlacementIndex(kind, channel, composite);
    if (i >= 0) {
        char text[sizeof records[i].PlacementText];
        std::memcpy(text, records[i].PlacementText, sizeof text);
        text[sizeof text - 1] = '\0';
        WINDOWPLACEMENT wp{};
        // Only where the window goes matters here, not whether the frame is minimised now.
        DesktopInfo screen = desktop;
        screen.frameMinimized = false;
        if (ParsePlacement(text, &wp, screen)) {
            if (maximised != nullptr && wp.showCmd == static_cast<UINT>(SW_SHOWMAXIMIZED))
                *maximised = true;
            return wp.rcNormalPosition;
        }
    }
    int origin = FixedOrigin(kind);
    if (origin != 0) {
        cascade.left = origin + fixedOffset.x;
        cascade.top = origin + fixedOffset.y;
    } else if (kind > WK_MainWindow && !IsMdiWindowKind(kind)) {
        // A desktop window without a fixed place (the RPM window) still counts from the area
        // below the frame's menu and toolbars, a title bar lower: the window manager puts the
        // title bar above the place asked for, where it would cover Run and Stop.
        constexpr int kTitleBar = 30;
        cascade.left += fixedOffset.x;
        cascade.right += fixedOffset.x;
        cascade.top += fixedOffset.y + kTitleBar;
        cascade.bottom += fixedOffset.y + kTitleBar;
    }
    return cascade;
}

bool IsMdiWindowKind(int kind)
{
    return (kind >= WK_TimeSeriesPlot && kind <= WK_SurfacePlot) || kind == WK_THDvsFreq || kind == WK_Reverb;
}
