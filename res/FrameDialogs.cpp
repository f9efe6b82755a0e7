// The frame's own dialogs: the About box (also the splash screen) with its logo picture, and
// Set Paths.
#include "platform/core/Resources.h"
#include "platform/ui/DialogTemplate.h"
#include "res/BmpFile.h"
#include "res/ResourceGroups.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int kLogoWidth = 245;
constexpr int kLogoHeight = 227;

// The logo: a dark-blue field with a grid, the bars of a spectrum and a decaying wave over them,
// drawn as a 24-bit bottom-up Windows bitmap.
std::vector<std::uint8_t> DrawLogo()
{
    const int w = kLogoWidth, h = kLogoHeight;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w * h));
    auto set = [&](int x, int y, std::uint32_t rgb) {
        if (x >= 0 && y >= 0 && x < w && y < h)
            px[static_cast<std::size_t>(y * w + x)] = rgb;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int shade = 40 + (y * 60) / h;
            set(x, y, static_cast<std::uint32_t>((10 << 16) | ((20 + shade / 3) << 8) | (shade + 40)));
        }
    for (int x = 12; x < w - 12; x += 24)
        for (int y = 12; y < h - 12; ++y)
            set(x, y, 0x203a6a);
    for (int y = 12; y < h - 12; y += 24)
        for (int x = 12; x < w - 12; ++x)
            set(x, y, 0x203a6a);
    // Spectrum bars falling off with frequency, a peak at the fourth bar.
    const int base = h - 20;
    for (int bar = 0; bar < 14; ++bar) {
        const double level = bar == 3 ? 0.85 : 0.65 * std::exp(-0.16 * bar) + 0.08 * ((bar * 7) % 3);
        const int top = base - static_cast<int>(level * (h - 60));
        const int x0 = 18 + bar * 15;
        for (int x = x0; x < x0 + 11; ++x)
            for (int y = top; y < base; ++y) {
                const int g = 120 + (base - y) * 120 / (h - 60);
                set(x, y, static_cast<std::uint32_t>((40 << 16) | ((g > 255 ? 255 : g) << 8) | 200));
            }
    }
    // A decaying sine wave across the picture, three pixels thick.
    for (int x = 10; x < w - 10; ++x) {
        const double t = (x - 10) / double(w - 20);
        const int y = 70 + static_cast<int>(45.0 * std::exp(-2.2 * t) * std::sin(2 * 3.14159265 * 5.0 * t));
        for (int d = -1; d <= 1; ++d)
            set(x, y + d, 0xf0d040);
    }
    for (int x = 8; x < w - 8; ++x) {
        set(x, 8, 0xe0e0e0);
        set(x, h - 9, 0xe0e0e0);
    }
    for (int y = 8; y < h - 8; ++y) {
        set(8, y, 0xe0e0e0);
        set(w - 9, y, 0xe0e0e0);
    }

    return EncodeBmp24(w, h, px);
}

} // namespace

void RegisterFrameDialogs()
{
    using namespace dlg;
    // Registered bytes must outlive the registry.
    static const std::vector<std::uint8_t> logo = DrawLogo();
    RegisterResource(ResType::Bitmap, "SPLASH_SCREEN_LOGO", std::span<const std::uint8_t>(logo.data(), logo.size()));

    // The logo button is created and placed by the dialog at (24, 24), 245 x 227.
    RegisterDialogTemplate({100, "Version information",
                            Row({Area(kLogoWidth + 16, kLogoHeight + 16),
                                 Column({Label("", 1813).Chars(42).Lines(9), Stretch(),
                                         Row({Stretch(), DefPushButton(IDOK, "OK")})})})});

    RegisterDialogTemplate({159, "Set Paths",
                            Column({
                                Grid(2, {Label("Wave Files:"), Edit(1983).Chars(48),
                                         Label("Temp Files:"), Edit(1984).Chars(48),
                                         Label("Configuration Files:"), Edit(1985).Chars(48),
                                         Label("Calibration Files"), Edit(1986).Chars(48),
                                         Label("Mic Compensation FIles:"), Edit(1987).Chars(48),
                                         Label("Overlay Files:"), Edit(1988).Chars(48),
                                         Label("Data Logging Files:"), Edit(1989).Chars(48)}),
                                Row({PushButton(1994, "Defaults"), Stretch(), DefPushButton(IDOK, "OK"),
                                     PushButton(IDCANCEL, "Cancel")}),
                            })});
}
