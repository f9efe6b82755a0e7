// The tool button: its pictures and their colour mapping, the up, down and grey states, the
// command it sends, and the tooltip driven by timers 201 and 202.
#include "plots/CToolBtn.h"
#include "app/CToolbar2.h"
#include "platform/core/Resources.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/Wnd.h"

#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// A plain window that records the commands its children send.
class RecordingParent : public CWnd {
public:
    std::vector<UINT> commands;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (HIWORD(wParam) == BN_CLICKED)
            commands.push_back(LOWORD(wParam));
        return CWnd::OnCommand(wParam, lParam);
    }
};

// A 24-bit Windows bitmap file of w x h pixels filled by `pixel` (0xRRGGBB).
std::vector<std::uint8_t> Bmp(int w, int h, std::uint32_t (*pixel)(int x, int y))
{
    const int row = ((w * 3 + 3) / 4) * 4;
    std::vector<std::uint8_t> b(54 + static_cast<std::size_t>(row * h), 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<std::uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = pixel(x, y);
            const std::size_t at = 54 + static_cast<std::size_t>((h - 1 - y) * row + x * 3);
            b[at] = static_cast<std::uint8_t>(p);
            b[at + 1] = static_cast<std::uint8_t>(p >> 8);
            b[at + 2] = static_cast<std::uint8_t>(p >> 16);
        }
    return b;
}

// Columns of the four reference colours, then a colour that is none of them.
std::uint32_t Stripes(int x, int)
{
    switch (x % 5) {
    case 0: return 0xC0C0C0;
    case 1: return 0xFFFFFF;
    case 2: return 0x808080;
    case 3: return 0x000000;
    default: return 0x123456;
    }
}

COLORREF PixelOf(CBitmap* bitmap, int x, int y)
{
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap* old = mem.SelectObject(bitmap);
    const COLORREF c = mem.GetPixel(x, y);
    mem.SelectObject(old);
    return c;
}

QImage Grab(CWnd& w)
{
    AfxPumpMessages(5);
    return QtPictureOf(&w);
}

class ToolButton : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
        parent = std::make_unique<RecordingParent>();
        const RECT r{100, 100, 400, 200};
        ASSERT_TRUE(parent->CreateEx(0, nullptr, "Parent", WS_OVERLAPPED | WS_VISIBLE, r, nullptr, 0));
    }
    void TearDown() override
    {
        parent->DestroyWindow();
        parent.reset();
    }
    std::unique_ptr<RecordingParent> parent;
};

} // namespace

TEST(ToolPictures, EveryButtonOfBothToolWindowsHasItsPictures)
{
    AfxEnsureQtApplication();
    RegisterBuiltInResources();
    const char* mainNames[] = {"Run", "Stop", "Rec", "Rwd", "Fwd", "Tile"};
    for (const char* n : mainNames)
        for (const char* suffix : {"Up", "Down"}) {
            CBitmap b;
            ASSERT_TRUE(b.LoadBitmap((std::string(n) + suffix).c_str())) << n << suffix;
            BITMAP bm{};
            b.GetBitmap(&bm);
            EXPECT_EQ(bm.bmWidth, 40);
            EXPECT_EQ(bm.bmHeight, 32);
        }
    for (const CToolbar2::ButtonSpec& s : CToolbar2::Buttons())
        for (const char* name : {s.up, s.down, s.grey}) {
            if (!name)
                continue;
            CBitmap b;
            ASSERT_TRUE(b.LoadBitmap(name)) << name;
            BITMAP bm{};
            b.GetBitmap(&bm);
            EXPECT_EQ(bm.bmWidth, 28) << name;
            EXPECT_EQ(bm.bmHeight, 28) << name;
        }
}

TEST_F(ToolButton, MapsReferenceGreysToButtonColoursBelow101PixelsAndOnlyWhiteFromThere)
{
    static std::vector<std::uint8_t> narrow = Bmp(100, 4, Stripes);
    static std::vector<std::uint8_t> wide = Bmp(101, 4, Stripes);
    RegisterResource(ResType::Bitmap, "TestNarrowUp", narrow);
    RegisterResource(ResType::Bitmap, "TestWideUp", wide);

    CToolBtn n(parent.get(), 900, "TestNarrowUp", "TestNarrowUp", nullptr, nullptr);
    EXPECT_EQ(PixelOf(n.UpBitmap(), 0, 1), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(PixelOf(n.UpBitmap(), 1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(PixelOf(n.UpBitmap(), 2, 1), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(PixelOf(n.UpBitmap(), 3, 1), GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(PixelOf(n.UpBitmap(), 4, 1), RGB(0x12, 0x34, 0x56));

    CToolBtn w(parent.get(), 901, "TestWideUp", "TestWideUp", nullptr, nullptr);
    EXPECT_EQ(w.BitmapWidth(), 101);
    EXPECT_EQ(PixelOf(w.UpBitmap(), 0, 1), RGB(192, 192, 192));
    EXPECT_EQ(PixelOf(w.UpBitmap(), 1, 1), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(PixelOf(w.UpBitmap(), 2, 1), RGB(128, 128, 128));
    EXPECT_EQ(PixelOf(w.UpBitmap(), 3, 1), RGB(0, 0, 0));
}

TEST_F(ToolButton, DrawsUpDownAndGreyPictures)
{
    CToolBtn plain(parent.get(), 910, "PeakFreqUp", "PeakFreqDn", nullptr, "Peak Frequency");
    CToolBtn greyable(parent.get(), 911, "PrintUp", "PrintDn", "PrintGr", "Print");
    plain.MoveWindow(0, 0, 28, 28);
    greyable.MoveWindow(40, 0, 28, 28);

    const QImage up = Grab(plain);
    // The raised frame's top-left edge is the highlight colour, its face the button face.
    EXPECT_EQ(up.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(up.pixel(2, 2) & 0xFFFFFF, 0xF0F0F0u);
    plain.Press();
    const QImage down = Grab(plain);
    EXPECT_EQ(down.pixel(0, 0) & 0xFFFFFF, 0x000000u) << "sunken frame";
    EXPECT_NE(up, down);
    plain.Release();
    EXPECT_EQ(Grab(plain), up);

    // Without a grey picture Disable changes nothing.
    plain.Disable();
    EXPECT_FALSE(plain.IsDisabled());
    EXPECT_EQ(Grab(plain), up);

    const QImage gUp = Grab(greyable);
    greyable.Press();
    greyable.Disable();
    EXPECT_TRUE(greyable.IsDisabled());
    const QImage gGrey = Grab(greyable);
    EXPECT_NE(gGrey, gUp);
    EXPECT_EQ(gGrey.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu) << "grey wins over pressed: raised frame";
    greyable.Enable();
    EXPECT_EQ(Grab(greyable).pixel(0, 0) & 0xFFFFFF, 0x000000u) << "pressed again";
}

TEST_F(ToolButton, ClickSendsItsCommandEvenWhenGreyed)
{
    CToolBtn b(parent.get(), 920, "PrintUp", "PrintDn", "PrintGr", nullptr);
    b.MoveWindow(0, 0, 28, 28);
    auto* qb = qobject_cast<QAbstractButton*>(QtWidgetOf(&b));
    ASSERT_NE(qb, nullptr);
    qb->click();
    b.Disable();
    qb->click();
    EXPECT_EQ(parent->commands, (std::vector<UINT>{920, 920}));
}

TEST_F(ToolButton, TooltipTextLimit)
{
    const std::string t79(79, 'x'), t80(80, 'x');
    CToolBtn ok(parent.get(), 930, "RunUp", "RunDown", nullptr, t79.c_str());
    CToolBtn tooLong(parent.get(), 931, "RunUp", "RunDown", nullptr, t80.c_str());
    EXPECT_EQ(std::string(ok.TipText()), t79);
    EXPECT_EQ(std::string(tooLong.TipText()), "");
    tooLong.ShowTip();
    EXPECT_FALSE(tooLong.IsTipShown());
}

TEST_F(ToolButton, TipShowsAfterTheCursorRestsAndGoesWhenItLeaves)
{
    CToolBtn b(parent.get(), 940, "RunUp", "RunDown", nullptr, "Run analyzer");
    b.MoveWindow(10, 10, 40, 32);
    AfxPumpMessages(10);
    POINT at{20, 16};
    b.ClientToScreen(&at);
    SetCursorPos(at.x, at.y);
    b.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(20, 16));

    // Moving within the button before 250 ms restarts the wait.
    AfxPumpMessages(150);
    EXPECT_FALSE(b.IsTipShown());
    SetCursorPos(at.x + 2, at.y);
    b.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(22, 16));
    AfxPumpMessages(150);
    EXPECT_FALSE(b.IsTipShown()) << "the wait started again at the new point";
    AfxPumpMessages(250);
    ASSERT_TRUE(b.IsTipShown());
    ASSERT_NE(b.TipWindow(), nullptr);

    // Below the button, starting at its horizontal centre.
    RECT button{};
    b.GetWindowRect(&button);
    const RECT tip = b.TipRect();
    EXPECT_EQ(tip.left, (button.left + button.right) / 2);
    EXPECT_EQ(tip.top, button.bottom + 4);
    EXPECT_GT(tip.right - tip.left, 8);
    RECT shown{};
    b.TipWindow()->GetWindowRect(&shown);
    EXPECT_EQ(shown.left, tip.left);
    EXPECT_EQ(shown.top, tip.top);
    // The tip picture: a black frame around the text on white.
    const QImage img = QtWidgetOf(b.TipWindow())->grab().toImage();
    EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(img.pixel(2, img.height() / 2) & 0xFFFFFF, 0xFFFFFFu);
    bool ink = false;
    for (int x = 4; x < img.width() - 2; ++x)
        ink |= (img.pixel(x, img.height() / 2) & 0xFFFFFF) != 0xFFFFFFu;
    EXPECT_TRUE(ink) << "text drawn";

    // Timer 202 notices the cursor has left.
    SetCursorPos(button.right + 50, button.bottom + 50);
    AfxPumpMessages(400);
    EXPECT_FALSE(b.IsTipShown());
    EXPECT_EQ(b.TipWindow(), nullptr);
}

TEST_F(ToolButton, MovingOutOfTheButtonHidesTheTip)
{
    CToolBtn b(parent.get(), 950, "RunUp", "RunDown", nullptr, "Run analyzer");
    b.MoveWindow(10, 10, 40, 32);
    b.ShowTip();
    ASSERT_TRUE(b.IsTipShown());
    b.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(60, 16));
    EXPECT_FALSE(b.IsTipShown());
}
