// The pictures of the two tool windows' buttons, drawn here at start-up into Windows bitmap
// files (24-bit, bottom-up) and registered as BITMAP resources by name.
//
// The frames use the four reference greys the tool button maps to system colours: light grey
// 0xC0C0C0 (face), white (highlight), dark grey 0x808080 (shadow) and black (text). Glyphs in
// black follow the button-text colour; coloured glyphs keep their colour. The "Dn" picture is
// the same glyph sunk by one pixel, the "Gr" picture an embossed dark-grey copy.
#include "platform/core/Resources.h"
#include "res/BmpFile.h"
#include "res/ResourceGroups.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using Rgb = std::uint32_t; // 0xRRGGBB

constexpr Rgb kFace = 0xC0C0C0;
constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kShadow = 0x808080;
constexpr Rgb kBlack = 0x000000;
constexpr Rgb kRed = 0xE00000;
constexpr Rgb kGreen = 0x00A000;
constexpr Rgb kBlue = 0x0040C0;
constexpr Rgb kYellow = 0xF0D000;
constexpr Rgb kTeal = 0x008080;

// A small raster to draw on. In "grey" mode every colour but the face becomes dark grey.
class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<std::size_t>(w * h), kFace) {}

    int W() const { return w_; }
    int H() const { return h_; }
    const std::vector<Rgb>& Pixels() const { return px_; }

    void Set(int x, int y, Rgb c)
    {
        x += dx_;
        y += dy_;
        if (x < 0 || y < 0 || x >= w_ || y >= h_)
            return;
        px_[static_cast<std::size_t>(y * w_ + x)] = grey_ ? greyColour_ : c;
    }
    void Fill(int x, int y, int w, int h, Rgb c)
    {
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i)
                Set(i, j, c);
    }
    void Frame(int x, int y, int w, int h, Rgb c)
    {
        Fill(x, y, w, 1, c);
        Fill(x, y + h - 1, w, 1, c);
        Fill(x, y, 1, h, c);
        Fill(x + w - 1, y, 1, h, c);
    }
    void Line(int x0, int y0, int x1, int y1, Rgb c)
    {
        const int ddx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
        const int ddy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
        int err = ddx + ddy;
        for (;;) {
            Set(x0, y0, c);
            if (x0 == x1 && y0 == y1)
                break;
            const int e2 = 2 * err;
            if (e2 >= ddy) {
                err += ddy;
                x0 += sx;
            }
            if (e2 <= ddx) {
                err += ddx;
                y0 += sy;
            }
        }
    }
    // A filled triangle: every pixel centre inside (or on) the three edges.
    void Triangle(int ax, int ay, int bx, int by, int cx, int cy, Rgb c)
    {
        auto edge = [](double px, double py, double x0, double y0, double x1, double y1) {
            return (x1 - x0) * (py - y0) - (y1 - y0) * (px - x0);
        };
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                const double e0 = edge(x, y, ax, ay, bx, by);
                const double e1 = edge(x, y, bx, by, cx, cy);
                const double e2 = edge(x, y, cx, cy, ax, ay);
                if ((e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0))
                    Set(x, y, c);
            }
    }
    void Disc(int cx, int cy, int r, Rgb c)
    {
        for (int y = -r; y <= r; ++y)
            for (int x = -r; x <= r; ++x)
                if (x * x + y * y <= r * r + r / 2)
                    Set(cx + x, cy + y, c);
    }
    void Circle(int cx, int cy, int r, Rgb c)
    {
        for (int y = -r; y <= r; ++y)
            for (int x = -r; x <= r; ++x) {
                const int d = x * x + y * y;
                if (d <= r * r + r && d >= (r - 1) * (r - 1) + (r - 1))
                    Set(cx + x, cy + y, c);
            }
    }
    // Text in a 3 x 5 pixel font, one pixel between letters; returns the width drawn.
    int Text(int x, int y, const std::string& s, Rgb c);
    static int TextWidth(const std::string& s) { return s.empty() ? 0 : static_cast<int>(s.size()) * 4 - 1; }
    void CentredText(int y, const std::string& s, Rgb c) { Text((w_ - TextWidth(s)) / 2, y, s, c); }

    void SetOffset(int dx, int dy) { dx_ = dx; dy_ = dy; }
    void SetGrey(bool on, Rgb colour = kShadow)
    {
        grey_ = on;
        greyColour_ = colour;
    }

private:
    int w_, h_;
    std::vector<Rgb> px_;
    int dx_ = 0, dy_ = 0;
    bool grey_ = false;
    Rgb greyColour_ = kShadow;
};

// Rows of three bits, top row first (bit 2 is the left pixel).
const std::map<char, std::array<std::uint8_t, 5>>& Font()
{
    static const std::map<char, std::array<std::uint8_t, 5>> font = {
        {'A', {2, 5, 7, 5, 5}}, {'B', {6, 5, 6, 5, 6}}, {'C', {3, 4, 4, 4, 3}}, {'D', {6, 5, 5, 5, 6}},
        {'E', {7, 4, 6, 4, 7}}, {'F', {7, 4, 6, 4, 4}}, {'G', {3, 4, 5, 5, 3}}, {'H', {5, 5, 7, 5, 5}},
        {'I', {7, 2, 2, 2, 7}}, {'J', {1, 1, 1, 5, 2}}, {'K', {5, 5, 6, 5, 5}}, {'L', {4, 4, 4, 4, 7}},
        {'M', {5, 7, 7, 5, 5}}, {'N', {5, 7, 7, 7, 5}}, {'O', {2, 5, 5, 5, 2}}, {'P', {6, 5, 6, 4, 4}},
        {'Q', {2, 5, 5, 7, 3}}, {'R', {6, 5, 6, 5, 5}}, {'S', {3, 4, 2, 1, 6}}, {'T', {7, 2, 2, 2, 2}},
        {'U', {5, 5, 5, 5, 7}}, {'V', {5, 5, 5, 5, 2}}, {'W', {5, 5, 7, 7, 5}}, {'X', {5, 5, 2, 5, 5}},
        {'Y', {5, 5, 2, 2, 2}}, {'Z', {7, 1, 2, 4, 7}}, {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}},
        {'2', {6, 1, 2, 4, 7}}, {'3', {6, 1, 2, 1, 6}}, {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 6, 1, 6}},
        {'6', {3, 4, 7, 5, 7}}, {'7', {7, 1, 2, 2, 2}}, {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 6}},
        {'+', {0, 2, 7, 2, 0}}, {'-', {0, 0, 7, 0, 0}}, {'/', {1, 1, 2, 4, 4}}, {'%', {5, 1, 2, 4, 5}},
        {' ', {0, 0, 0, 0, 0}},
    };
    return font;
}

int Canvas::Text(int x, int y, const std::string& s, Rgb c)
{
    int cx = x;
    for (char ch : s) {
        auto it = Font().find(ch);
        if (it != Font().end())
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 3; ++col)
                    if (it->second[static_cast<std::size_t>(row)] & (4 >> col))
                        Set(cx + col, y + row, c);
        cx += 4;
    }
    return cx - x - 1;
}

// The raised frame of a released button and the sunken one of a pressed button.
void RaisedFrame(Canvas& c)
{
    const int w = c.W(), h = c.H();
    c.Fill(0, 0, w, 1, kWhite);
    c.Fill(0, 0, 1, h, kWhite);
    c.Fill(0, h - 1, w, 1, kBlack);
    c.Fill(w - 1, 0, 1, h, kBlack);
    c.Fill(1, h - 2, w - 2, 1, kShadow);
    c.Fill(w - 2, 1, 1, h - 2, kShadow);
}

void SunkenFrame(Canvas& c)
{
    const int w = c.W(), h = c.H();
    c.Fill(0, 0, w, 1, kBlack);
    c.Fill(0, 0, 1, h, kBlack);
    c.Fill(1, 1, w - 2, 1, kShadow);
    c.Fill(1, 1, 1, h - 2, kShadow);
    c.Fill(0, h - 1, w, 1, kWhite);
    c.Fill(w - 1, 0, 1, h, kWhite);
}

using Glyph = std::function<void(Canvas&)>;

// Registered bytes must outlive the registry: the store keeps them for the process.
std::map<std::string, std::vector<std::uint8_t>>& Store()
{
    static std::map<std::string, std::vector<std::uint8_t>> store;
    return store;
}

void Register(const std::string& name, const Canvas& c)
{
    std::vector<std::uint8_t>& bytes = Store()[name];
    bytes = EncodeBmp24(c.W(), c.H(), c.Pixels());
    RegisterResource(ResType::Bitmap, name, std::span<const std::uint8_t>(bytes.data(), bytes.size()));
}

// Registers the up, down and (when greyName is not empty) grey pictures of one button.
void Button(int w, int h, const std::string& upName, const std::string& downName, const std::string& greyName,
            const Glyph& glyph)
{
    Canvas up(w, h);
    RaisedFrame(up);
    glyph(up);
    Register(upName, up);

    Canvas down(w, h);
    SunkenFrame(down);
    down.SetOffset(1, 1);
    glyph(down);
    Register(downName, down);

    if (!greyName.empty()) {
        Canvas grey(w, h);
        RaisedFrame(grey);
        grey.SetOffset(1, 1);
        grey.SetGrey(true, kWhite);
        glyph(grey);
        grey.SetOffset(0, 0);
        grey.SetGrey(true, kShadow);
        glyph(grey);
        Register(greyName, grey);
    }
}

// ---- The main tool window: 40 x 32.
void MainToolButtons()
{
    constexpr int W = 40, H = 32;
    auto big = [&](const std::string& n, const Glyph& g) { Button(W, H, n + "Up", n + "Down", "", g); };
    big("Run", [](Canvas& c) { c.Triangle(14, 8, 14, 23, 27, 15, kGreen); c.Line(14, 8, 27, 15, kBlack); c.Line(14, 23, 27, 15, kBlack); c.Line(14, 8, 14, 23, kBlack); });
    big("Stop", [](Canvas& c) { c.Fill(13, 9, 14, 14, kRed); c.Frame(13, 9, 14, 14, kBlack); });
    big("Rec", [](Canvas& c) { c.Disc(20, 15, 7, kRed); c.Circle(20, 15, 7, kBlack); });
    big("Rwd", [](Canvas& c) {
        c.Fill(9, 9, 2, 14, kBlack);
        c.Triangle(11, 15, 19, 9, 19, 22, kBlack);
        c.Triangle(19, 15, 27, 9, 27, 22, kBlack);
    });
    big("Fwd", [](Canvas& c) {
        c.Triangle(12, 9, 12, 22, 20, 15, kBlack);
        c.Triangle(20, 9, 20, 22, 28, 15, kBlack);
        c.Fill(29, 9, 2, 14, kBlack);
    });
    big("Tile", [](Canvas& c) {
        for (int r = 0; r < 2; ++r)
            for (int k = 0; k < 2; ++k) {
                const int x = 9 + k * 11, y = 6 + r * 10;
                c.Fill(x, y, 10, 9, kWhite);
                c.Fill(x, y, 10, 2, kBlue);
                c.Frame(x, y, 10, 9, kBlack);
            }
    });
}

// A small page with a folded corner.
void Page(Canvas& c, int x, int y)
{
    c.Fill(x, y, 11, 14, kWhite);
    c.Line(x, y, x + 7, y, kBlack);
    c.Line(x, y, x, y + 13, kBlack);
    c.Line(x, y + 13, x + 10, y + 13, kBlack);
    c.Line(x + 10, y + 3, x + 10, y + 13, kBlack);
    c.Line(x + 7, y, x + 10, y + 3, kBlack);
    c.Line(x + 7, y, x + 7, y + 3, kBlack);
    c.Line(x + 7, y + 3, x + 10, y + 3, kBlack);
}

// A small plot frame with a curve, for the plot-selection and measurement buttons.
void PlotBox(Canvas& c, Rgb curve)
{
    c.Fill(5, 4, 18, 13, kWhite);
    c.Frame(5, 4, 18, 13, kBlack);
    int py = 13;
    for (int x = 6; x < 22; ++x) {
        const int y = 10 + static_cast<int>(4 * ((x % 8) < 4 ? (x % 4) - 2 : 2 - (x % 4)) / 2);
        c.Line(x - 1, py, x, y, curve);
        py = y;
    }
}

// A spectrum sketch: bars of a few heights.
void Bars(Canvas& c, int x, int y, Rgb colour)
{
    const int heights[] = {3, 9, 5, 12, 4, 7, 2};
    for (int i = 0; i < 7; ++i)
        c.Fill(x + i * 2, y - heights[i], 1, heights[i], colour);
    c.Line(x - 1, y, x + 13, y, kBlack);
}

void SecondToolButtons()
{
    constexpr int S = 28;
    auto btn = [&](const std::string& n, bool grey, const Glyph& g, const char* up = "Up", const char* dn = "Dn") {
        Button(S, S, n + up, n + dn, grey ? n + "Gr" : std::string(), g);
    };
    // Labelled measurement button: a small picture on top, a short name below.
    auto labelled = [&](const std::string& n, const std::string& label, const Glyph& pic) {
        btn(n, false, [label, pic](Canvas& c) {
            pic(c);
            c.CentredText(19, label, kBlack);
        });
    };

    btn("FileNew", true, [](Canvas& c) {
        Page(c, 8, 6);
        c.Disc(20, 8, 3, kRed);
    });
    btn("FileOpen", true, [](Canvas& c) {
        c.Fill(5, 10, 16, 11, kYellow);
        c.Frame(5, 10, 16, 11, kBlack);
        c.Fill(5, 8, 7, 2, kYellow);
        c.Line(5, 8, 11, 8, kBlack);
        c.Triangle(9, 21, 13, 14, 24, 14, kYellow);
        c.Line(9, 21, 13, 14, kBlack);
        c.Line(13, 14, 24, 14, kBlack);
        c.Line(24, 14, 20, 21, kBlack);
    });
    btn("FileSave", true, [](Canvas& c) {
        c.Fill(6, 5, 16, 17, kBlue);
        c.Frame(6, 5, 16, 17, kBlack);
        c.Fill(9, 6, 10, 6, kWhite);
        c.Fill(10, 15, 8, 6, kFace);
        c.Fill(15, 16, 2, 4, kBlack);
    });
    btn("Print", true, [](Canvas& c) {
        c.Fill(9, 4, 10, 7, kWhite);
        c.Frame(9, 4, 10, 7, kBlack);
        c.Fill(5, 11, 18, 8, kFace);
        c.Frame(5, 11, 18, 8, kBlack);
        c.Fill(19, 13, 2, 1, kGreen);
        c.Fill(9, 17, 10, 6, kWhite);
        c.Frame(9, 17, 10, 6, kBlack);
        c.Line(11, 19, 16, 19, kBlack);
    });
    labelled("Device", "DEV", [](Canvas& c) {
        c.Fill(6, 5, 16, 10, kShadow);
        c.Frame(6, 5, 16, 10, kBlack);
        for (int i = 0; i < 4; ++i)
            c.Disc(9 + i * 3, 10, 1, kGreen);
    });
    labelled("Settings", "FFT", [](Canvas& c) { Bars(c, 8, 16, kBlue); });
    labelled("Scaling", "DB", [](Canvas& c) {
        c.Line(6, 4, 6, 16, kBlack);
        for (int y = 5; y <= 15; y += 2)
            c.Line(6, y, y % 4 == 1 ? 10 : 8, y, kBlack);
        c.Line(11, 15, 21, 5, kBlue);
    });
    labelled("Calibrate", "CAL", [](Canvas& c) {
        c.Circle(14, 11, 6, kBlack);
        c.Line(14, 11, 18, 7, kRed);
        c.Fill(13, 10, 3, 3, kBlack);
    });
    labelled("Trigger", "TRIG", [](Canvas& c) {
        c.Line(5, 14, 11, 14, kBlack);
        c.Line(11, 14, 11, 5, kBlack);
        c.Line(11, 5, 22, 5, kBlack);
        c.Line(8, 9, 14, 9, kRed);
    });
    labelled("RunOpts", "RUN", [](Canvas& c) {
        c.Triangle(8, 4, 8, 15, 16, 9, kGreen);
        c.Circle(19, 10, 4, kBlack);
        c.Line(19, 10, 19, 7, kBlack);
    });
    labelled("PlotSelect", "1 CH", [](Canvas& c) { PlotBox(c, kBlue); });
    labelled("CompositePlot", "A-P", [](Canvas& c) {
        c.Fill(4, 3, 14, 10, kWhite);
        c.Frame(4, 3, 14, 10, kBlack);
        c.Fill(10, 7, 14, 10, kWhite);
        c.Frame(10, 7, 14, 10, kBlack);
        c.Line(11, 14, 22, 9, kTeal);
    });
    labelled("Generate", "GEN", [](Canvas& c) {
        c.Fill(4, 4, 20, 13, kBlack);
        for (int x = 5; x < 23; ++x) {
            const int phase = (x - 5) % 8;
            const int y = phase < 4 ? 10 - phase : 2 + phase;
            c.Set(x, y, kGreen);
        }
    });
    labelled("PeakFreq", "FREQ", [](Canvas& c) {
        Bars(c, 7, 16, kBlue);
        c.Line(13, 3, 13, 16, kRed);
    });
    labelled("PeakAmp", "AMPL", [](Canvas& c) {
        Bars(c, 7, 16, kBlue);
        c.Line(5, 4, 22, 4, kRed);
    });
    labelled("TotalPwr", "PWR", [](Canvas& c) {
        c.Fill(7, 4, 14, 12, kBlue);
        c.Frame(7, 4, 14, 12, kBlack);
        c.CentredText(8, "+", kWhite);
    });
    labelled("THD_", "THD", [](Canvas& c) { Bars(c, 7, 16, kBlue); });
    labelled("THD_N_", "THD+N", [](Canvas& c) { Bars(c, 7, 16, kTeal); });
    labelled("THDFreq", "VS F", [](Canvas& c) {
        c.Line(5, 4, 5, 16, kBlack);
        c.Line(5, 16, 22, 16, kBlack);
        c.Line(6, 7, 11, 12, kRed);
        c.Line(11, 12, 17, 11, kRed);
        c.Line(17, 11, 22, 5, kRed);
    });
    labelled("IMD_", "IMD", [](Canvas& c) {
        c.Line(4, 16, 23, 16, kBlack);
        c.Fill(9, 4, 2, 12, kBlue);
        c.Fill(17, 6, 2, 10, kBlue);
        c.Fill(13, 12, 1, 4, kRed);
        c.Fill(6, 13, 1, 3, kRed);
        c.Fill(21, 13, 1, 3, kRed);
    });
    labelled("SNR_", "SNR", [](Canvas& c) {
        c.Line(4, 16, 23, 16, kBlack);
        c.Fill(13, 4, 2, 12, kBlue);
        for (int x = 5; x < 23; x += 2)
            c.Fill(x, 13 + (x % 3), 1, 3 - (x % 3), kShadow);
    });
    labelled("Leq", "LEQ", [](Canvas& c) {
        c.Line(4, 16, 23, 16, kBlack);
        for (int x = 5; x < 23; ++x)
            c.Fill(x, 8 + (x * 7 % 5), 1, 8 - (x * 7 % 5), kTeal);
        c.Line(4, 9, 23, 9, kRed);
    });
    labelled("DataLog", "LOG", [](Canvas& c) {
        Page(c, 8, 3);
        c.Line(10, 8, 16, 8, kBlack);
        c.Line(10, 10, 16, 10, kBlack);
        c.Line(10, 12, 14, 12, kBlack);
    });
    labelled("Reverb", "RT60", [](Canvas& c) {
        c.Line(5, 4, 5, 16, kBlack);
        c.Line(5, 16, 22, 16, kBlack);
        c.Line(6, 5, 21, 15, kRed);
    });
}

// ---- The plots' tool strips: 28 x 28.
void PlotStripButtons()
{
    constexpr int S = 28;
    auto btn = [&](const std::string& up, const std::string& down, const std::string& grey, const Glyph& g) {
        Button(S, S, up, down, grey, g);
    };
    // A dashed bracket over a bit of trace: a time segment.
    auto segment = [](Canvas& c) {
        for (int x = 6; x < 22; x += 2) {
            c.Set(x, 6, kBlack);
            c.Set(x, 21, kBlack);
        }
        c.Fill(6, 6, 1, 16, kBlack);
        c.Fill(21, 6, 1, 16, kBlack);
        c.Line(8, 14, 11, 9, kBlue);
        c.Line(11, 9, 15, 18, kBlue);
        c.Line(15, 18, 19, 12, kBlue);
    };
    btn("SelectUp", "SelectDn", "SelectGry", segment);
    auto play = [](Canvas& c) {
        c.Triangle(10, 7, 10, 20, 20, 13, kGreen);
        c.Line(10, 7, 20, 13, kBlack);
        c.Line(10, 20, 20, 13, kBlack);
        c.Line(10, 7, 10, 20, kBlack);
    };
    btn("SelectPlayUp", "SelectPlayDn", "SelectPlayGry", play);
    // Held down while a segment plays: the stop symbol.
    btn("SelectStopUp", "SelectStopDn", "", [](Canvas& c) {
        c.Fill(9, 9, 10, 10, kRed);
        c.Frame(9, 9, 10, 10, kBlack);
    });
    btn("SelectFilterUp", "SelectFilterDn", "SelectFilterGry", [](Canvas& c) {
        c.Triangle(6, 7, 21, 7, 14, 15, kTeal);
        c.Line(6, 7, 21, 7, kBlack);
        c.Line(6, 7, 13, 15, kBlack);
        c.Line(21, 7, 14, 15, kBlack);
        c.Fill(13, 15, 2, 7, kBlack);
    });
    auto glass = [](Canvas& c, bool plus, bool minus) {
        c.Circle(12, 12, 6, kBlack);
        c.Line(16, 16, 21, 21, kBlack);
        c.Line(17, 16, 22, 21, kBlack);
        if (plus || minus)
            c.Fill(9, 12, 7, 1, kBlack);
        if (plus)
            c.Fill(12, 9, 1, 7, kBlack);
    };
    btn("ZoomInUp", "ZoomInDn", "ZoomInGry", [glass](Canvas& c) { glass(c, true, false); });
    btn("Zoom2XInUp", "Zoom2XInDn", "Zoom2XInGry", [glass](Canvas& c) {
        glass(c, true, false);
        c.Text(19, 4, "2", kBlack);
    });
    btn("Zoom2XOutUp", "Zoom2XOutDn", "Zoom2XOutGry", [glass](Canvas& c) {
        glass(c, false, true);
        c.Text(19, 4, "2", kBlack);
    });
    btn("ZoomFullUp", "ZoomFullDn", "ZoomFullGry", [](Canvas& c) {
        c.Line(5, 13, 22, 13, kBlack);
        c.Line(5, 13, 9, 9, kBlack);
        c.Line(5, 13, 9, 17, kBlack);
        c.Line(22, 13, 18, 9, kBlack);
        c.Line(22, 13, 18, 17, kBlack);
    });
    btn("OptionsUp", "OptionsDn", "", [](Canvas& c) {
        for (int k = 0; k < 3; ++k) {
            c.Fill(6, 8 + k * 5, 16, 1, kBlack);
            c.Fill(9 + k * 4, 6 + k * 5, 3, 5, kBlue);
        }
    });
    btn("AutoScaleUp", "AutoScaleDn", "AutoGr", [](Canvas& c) {
        c.Line(13, 4, 13, 23, kBlack);
        c.Line(13, 4, 10, 7, kBlack);
        c.Line(13, 4, 16, 7, kBlack);
        c.Line(13, 23, 10, 20, kBlack);
        c.Line(13, 23, 16, 20, kBlack);
        c.Line(5, 14, 8, 9, kRed);
        c.Line(8, 9, 11, 18, kRed);
        c.Line(15, 10, 18, 17, kRed);
        c.Line(18, 17, 22, 12, kRed);
    });
}

} // namespace

void RegisterToolBitmaps()
{
    MainToolButtons();
    SecondToolButtons();
    PlotStripButtons();
}
