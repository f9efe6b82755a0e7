// Contexts on windows: the paint context's clip and erase, and client contexts drawing
// outside WM_PAINT that show at once.
#include "GdiTestSupport.h"

#include "platform/ui/GdiWindowDC.h"
#include "support/QtTestAccess.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

class PaintedWnd : public CWnd {
public:
    COLORREF fill = RGB(0, 0, 255);
    bool draw = true;
    int paints = 0;
    bool erased = false;
    void OnPaint()
    {
        CPaintDC dc(this);
        ++paints;
        erased = dc.m_ps.rcPaint.right > dc.m_ps.rcPaint.left;
        if (draw) {
            CRect all;
            GetClientRect(&all);
            CBrush b(fill);
            dc.FillRect(&all, &b); // clipped to the update rectangle
        }
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(PaintedWnd, CWnd)
    ON_WM_PAINT()
END_MESSAGE_MAP()

class WindowDC : public ::testing::Test {
protected:
    void SetUp() override
    {
        gditest::EnsureApp();
        wnd = new PaintedWnd;
        ASSERT_TRUE(wnd->CreateEx(0, nullptr, "DC test", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 150), nullptr, 0));
        wnd->ShowWindow(SW_SHOW);
        AfxPumpMessages(20);
    }
    void TearDown() override
    {
        wnd->DestroyWindow();
        AfxPumpMessages();
    }
    QImage Shown() { return QtClientWidgetOf(wnd)->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    COLORREF ShownAt(int x, int y)
    {
        const QImage img = Shown();
        const qreal r = img.devicePixelRatio();
        return gditest::At(img, int(x * r), int(y * r));
    }
    PaintedWnd* wnd = nullptr;
};

TEST_F(WindowDC, PaintContextIsClippedToTheUpdateRectangleAndErases)
{
    ASSERT_GE(wnd->paints, 1);
    EXPECT_EQ(ShownAt(100, 70), RGB(0, 0, 255));
    wnd->fill = RGB(255, 0, 0);
    CRect part(20, 30, 60, 50);
    wnd->InvalidateRect(&part, FALSE);
    wnd->UpdateWindow();
    EXPECT_EQ(ShownAt(25, 35), RGB(255, 0, 0));
    EXPECT_EQ(ShownAt(100, 70), RGB(0, 0, 255)); // outside the update rectangle
    EXPECT_EQ(ShownAt(60, 35), RGB(0, 0, 255));  // right edge is outside

    // With erase and a handler that draws nothing, the class background shows.
    wnd->draw = false;
    wnd->InvalidateRect(&part, TRUE);
    wnd->UpdateWindow();
    EXPECT_EQ(ShownAt(25, 35), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(ShownAt(100, 70), RGB(0, 0, 255));
}

TEST_F(WindowDC, ClientContextDrawsAtOnceOutsidePainting)
{
    const int paintsBefore = wnd->paints;
    const QImage before = wnd->GetSurface()->Image().copy();
    {
        CClientDC dc(wnd);
        ASSERT_NE(dc.GetSafeHdc(), nullptr);
        dc.SetROP2(R2_NOT);
        dc.MoveTo(0, 40);
        dc.LineTo(200, 40);
    }
    AfxPumpMessages();
    EXPECT_EQ(ShownAt(50, 40), RGB(255, 255, 0)); // blue inverted
    EXPECT_EQ(wnd->paints, paintsBefore);
    {
        CClientDC dc(wnd);
        dc.SetROP2(R2_NOT);
        dc.MoveTo(0, 40);
        dc.LineTo(200, 40);
    }
    EXPECT_EQ(wnd->GetSurface()->Image(), before);
    EXPECT_EQ(ShownAt(50, 40), RGB(0, 0, 255));

    CDC* dc = GetWindowClientDC(wnd);
    ASSERT_NE(dc, nullptr);
    dc->SetPixel(3, 3, RGB(9, 9, 9));
    EXPECT_EQ(ReleaseWindowDC(wnd, dc), 1);
    EXPECT_EQ(ShownAt(3, 3), RGB(9, 9, 9));
}

} // namespace
