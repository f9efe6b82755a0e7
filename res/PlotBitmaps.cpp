// The pictures of the plot windows: the watermark logo with its mask, and the 28 x 28 buttons
// of the spectrum tool strip. Drawn here at start-up into Windows bitmap files and registered
// as BITMAP resources by name.
//
// Button frames use the reference greys the tool button maps to system colours (face
// 0xC0C0C0, white, shadow 0x808080, black); "Dn" is the glyph sunk by one pixel, the grey
// picture an embossed dark-grey copy.
#include "platform/core/Resources.h"
#include "res/BmpFile.h"
#include "res/ResourceGroups.h"

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
constexpr Rgb kNavy = 0x00286E;
constexpr Rgb kBlue = 0x0040C0;
constexpr Rgb kRed = 0xE00000;

class Raster {
public:
    Raster(int w, int h, Rgb fill) : w_(w), h_(h), px_(static_cast<std::size_t>(w * h), fill) {}
    int W() const { return w_; }
    int H() const { return h_; }
    const std::vector<Rgb>& Pixels() const { return px_; }
    void SetOffset(int d) { d_ = d; }
    void SetGrey(bool on, Rgb c) { grey_ = on; greyColour_ = c; }
    void Set(int x, int y, Rgb c)
    {
        x += d_;
        y += d_;
        if (x >= 0 && y >= 0 && x < w_ && y < h_)
            px_[static_cast<std::size_t>(y * w_ + x)] = grey_ ? greyColour_ : c;
    }
    void Fill(int x, int y, int w, int h, Rgb c)
    {
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i)
                Set(i, j, c);
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
    void Circle(int cx, int cy, int r, Rgb c)
    {
        for (int y = -r; y <= r; ++y)
            for (int x = -r; x <= r; ++x) {
                const int d = x * x + y * y;
                if (d <= r * r + r && d >= (r - 1) * (r - 1) + (r - 1))
                    Set(cx + x, cy + y, c);
            }
    }

private:
    int w_, h_;
    std::vector<Rgb> px_;
    int d_ = 0;
    bool grey_ = false;
    Rgb greyColour_ = kShadow;
};

std::map<std::string, std::vector<std::uint8_t>>& Store()
{
    static std::map<std::string, std::vector<std::uint8_t>> store;
    return store;
}

void Register(const std::string& name, const Raster& r)
{
    std::vector<std::uint8_t>& bytes = Store()[name];
    bytes = EncodeBmp24(r.W(), r.H(), r.Pixels());
    RegisterResource(ResType::Bitmap, name, std::span<const std::uint8_t>(bytes.data(), bytes.size()));
}

// The logo: a rounded navy tag with a white wave across it. The logo is black outside its
// shape and the mask black over it, white elsewhere, for the AND-then-OR transparent blit.
void Watermark()
{
    constexpr int W = 32, H = 24;
    Raster logo(W, H, kBlack);
    Raster mask(W, H, kWhite);
    auto inside = [](int x, int y) {
        const int cx = x < 4 ? 4 : x > W - 5 ? W - 5 : x;
        const int cy = y < 4 ? 4 : y > H - 5 ? H - 5 : y;
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= 16;
    };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (inside(x, y)) {
                logo.Set(x, y, kNavy);
                mask.Set(x, y, kBlack);
            }
    const int mid = H / 2;
    const int pts[][2] = {{4, mid}, {9, mid - 6}, {15, mid + 6}, {21, mid - 6}, {27, mid}};
    for (int i = 0; i + 1 < 5; ++i)
        for (int t = 0; t < 2; ++t)
            logo.Line(pts[i][0], pts[i][1] + t, pts[i + 1][0], pts[i + 1][1] + t, kWhite);
    Register("WATERMARK_LOGO", logo);
    Register("WATERMARK_LOGO_MASK", mask);
}

using Glyph = std::function<void(Raster&)>;

void Raised(Raster& c)
{
    const int w = c.W(), h = c.H();
    c.Fill(0, 0, w, 1, kWhite);
    c.Fill(0, 0, 1, h, kWhite);
    c.Fill(0, h - 1, w, 1, kBlack);
    c.Fill(w - 1, 0, 1, h, kBlack);
    c.Fill(1, h - 2, w - 2, 1, kShadow);
    c.Fill(w - 2, 1, 1, h - 2, kShadow);
}

void Sunken(Raster& c)
{
    const int w = c.W(), h = c.H();
    c.Fill(0, 0, w, 1, kBlack);
    c.Fill(0, 0, 1, h, kBlack);
    c.Fill(1, 1, w - 2, 1, kShadow);
    c.Fill(1, 1, 1, h - 2, kShadow);
    c.Fill(0, h - 1, w, 1, kWhite);
    c.Fill(w - 1, 0, 1, h, kWhite);
}

void Button(const std::string& up, const std::string& down, const std::string& grey, const Glyph& glyph)
{
    constexpr int S = 28;
    Raster u(S, S, kFace);
    Raised(u);
    glyph(u);
    Register(up, u);
    Raster d(S, S, kFace);
    Sunken(d);
    d.SetOffset(1);
    glyph(d);
    Register(down, d);
    if (grey.empty())
        return;
    Raster g(S, S, kFace);
    Raised(g);
    g.SetOffset(1);
    g.SetGrey(true, kWhite);
    glyph(g);
    g.SetOffset(0);
    g.SetGrey(true, kShadow);
    glyph(g);
    Register(grey, g);
}

// A magnifier with a sign or a letter in its glass.
Glyph Magnifier(const std::function<void(Raster&)>& inner)
{
    return [inner](Raster& c) {
        c.Circle(11, 11, 6, kBlack);
        c.Line(15, 15, 22, 22, kBlack);
        c.Line(16, 15, 22, 21, kBlack);
        inner(c);
    };
}

void SpectrumButtons()
{
    Button("ZoomInUp", "ZoomInDn", "ZoomInGry", Magnifier([](Raster& c) {
               c.Line(8, 11, 14, 11, kBlack);
               c.Line(11, 8, 11, 14, kBlack);
           }));
    Button("ZoomFullUp", "ZoomFullDn", "ZoomFullGry", Magnifier([](Raster& c) {
               c.Line(8, 9, 8, 13, kBlack);
               c.Line(14, 9, 14, 13, kBlack);
               c.Line(8, 11, 14, 11, kBlack);
           }));
    Button("Zoom2XInUp", "Zoom2XInDn", "Zoom2XInGry", Magnifier([](Raster& c) {
               c.Line(9, 11, 13, 11, kBlack);
               c.Line(11, 9, 11, 13, kBlack);
               c.Line(19, 4, 23, 4, kBlue);
               c.Line(23, 4, 19, 8, kBlue);
               c.Line(19, 8, 23, 8, kBlue);
           }));
    Button("Zoom2XOutUp", "Zoom2XOutDn", "Zoom2XOutGry", Magnifier([](Raster& c) {
               c.Line(9, 11, 13, 11, kBlack);
               c.Line(19, 4, 23, 4, kBlue);
               c.Line(23, 4, 19, 8, kBlue);
               c.Line(19, 8, 23, 8, kBlue);
           }));
    Button("GraphLineUp", "GraphLineDn", "", [](Raster& c) {
        const int pts[][2] = {{5, 20}, {9, 14}, {12, 17}, {15, 6}, {18, 16}, {22, 19}};
        for (int i = 0; i + 1 < 6; ++i)
            c.Line(pts[i][0], pts[i][1], pts[i + 1][0], pts[i + 1][1], kBlue);
        c.Line(4, 22, 23, 22, kBlack);
    });
    Button("GraphBarUp", "GraphBarDn", "", [](Raster& c) {
        const int tops[] = {16, 12, 6, 14, 18};
        for (int i = 0; i < 5; ++i)
            c.Fill(5 + i * 4, tops[i], 3, 22 - tops[i], kBlue);
        c.Line(4, 22, 23, 22, kBlack);
    });
    Button("GraphStepBarUp", "GraphStepBarDn", "", [](Raster& c) {
        const int tops[] = {16, 12, 6, 14, 18};
        for (int i = 0; i < 5; ++i) {
            c.Line(4 + i * 4, tops[i], 8 + i * 4, tops[i], kBlue);
            if (i + 1 < 5)
                c.Line(8 + i * 4, tops[i], 8 + i * 4, tops[i + 1], kBlue);
        }
        c.Line(4, 22, 23, 22, kBlack);
    });
    Button("OptionsUp", "OptionsDn", "", [](Raster& c) {
        for (int i = 0; i < 3; ++i) {
            c.Line(6, 8 + i * 6, 21, 8 + i * 6, kBlack);
            c.Fill(8 + i * 5, 7 + i * 6, 3, 3, kRed);
        }
    });
    Button("AutoScaleUp", "AutoScaleDn", "AutoGr", [](Raster& c) {
        c.Line(13, 4, 13, 23, kBlack);
        c.Line(13, 4, 10, 8, kBlack);
        c.Line(13, 4, 16, 8, kBlack);
        c.Line(13, 23, 10, 19, kBlack);
        c.Line(13, 23, 16, 19, kBlack);
        c.Line(5, 14, 21, 14, kBlue);
    });
    Button("MarkerUp", "MarkerDown", "", [](Raster& c) {
        for (int y = 0; y < 5; ++y)
            c.Line(13 - (4 - y), 14 + y, 13 + (4 - y), 14 + y, kRed);
        c.Line(13, 5, 13, 14, kRed);
        c.Line(4, 22, 23, 22, kBlack);
    });
}

} // namespace

void RegisterPlotBitmaps()
{
    Watermark();
    SpectrumButtons();
}
