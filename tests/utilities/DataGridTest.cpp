// The result grid: number formats, bounds, spans, drawing on colour and monochrome displays,
// and the clicks it passes to its parent once it has been painted.
#include "utilities/CDataGrid.h"

#include "platform/core/Resources.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/WinApp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <limits>
#include <vector>

namespace {
std::string Formatted(float v, int format)
{
    char out[80];
    CDataGrid::FormatValue(out, v, format);
    return out;
}

// Draws the grid into a w x h bitmap and counts the pixels of a colour inside a rectangle.
class Drawn {
public:
    Drawn(CDataGrid& grid, int w, int h, bool colour)
    {
        mem.CreateCompatibleDC(nullptr);
        bmp.CreateCompatibleBitmap(&mem, w, h);
        old = mem.SelectObject(&bmp);
        grid.Draw(&mem, RECT{0, 0, w, h}, colour);
    }
    ~Drawn() { mem.SelectObject(old); }
    int Count(const RECT& r, COLORREF c)
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += mem.GetPixel(x, y) == c ? 1 : 0;
        return n;
    }
    CDC mem;
    CBitmap bmp;
    CBitmap* old = nullptr;
};

class GridParent : public CWnd {
public:
    std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> got;
    LRESULT OnR(WPARAM w, LPARAM l) { got.push_back({WM_GRID_RBUTTON, {w, l}}); return 0; }
    LRESULT OnD(WPARAM w, LPARAM l) { got.push_back({WM_GRID_DBLCLK, {w, l}}); return 0; }
    DECLARE_MESSAGE_MAP()
};
} // namespace

BEGIN_MESSAGE_MAP(GridParent, CWnd)
    ON_MESSAGE(WM_GRID_RBUTTON, &GridParent::OnR)
    ON_MESSAGE(WM_GRID_DBLCLK, &GridParent::OnD)
END_MESSAGE_MAP()

TEST(DataGrid, NumbersFollowTheColumnFormat)
{
    EXPECT_EQ(Formatted(1234.5f, -1), "1234.5");
    EXPECT_EQ(Formatted(12.345f, -1), "12.35");
    EXPECT_EQ(Formatted(0.5f, -1), "0.500");
    EXPECT_EQ(Formatted(-0.5f, -1), "-0.500");
    EXPECT_EQ(Formatted(-50.0f, -1), "-50.00");
    EXPECT_EQ(Formatted(-500.0f, -1), "-500.0");
    EXPECT_EQ(Formatted(-5000.0f, -1), "-5000");
    EXPECT_EQ(Formatted(std::numeric_limits<float>::quiet_NaN(), -1), "");
    EXPECT_EQ(Formatted(3.14159f, 0), "     3");
    EXPECT_EQ(Formatted(3.14159f, 2), "  3.14");
    EXPECT_EQ(Formatted(3.14159f, 6), "3.141590");
    EXPECT_EQ(Formatted(3.0f, 7), "");

    CDataGrid g;
    g.SetColumnFormat(1, 2);
    g.SetCellTextColor(1, 1, 1);
    g.SetCellValue(1, 1, 2.5f, 4); // selector 4 keeps the colour
    EXPECT_STREQ(g.GetCellText(1, 1), "  2.50");
    EXPECT_EQ(g.GetCell(1, 1).TextColor, 1);
    g.SetCellValue(1, 1, 2.5f, 3); // 3 means black
    EXPECT_EQ(g.GetCell(1, 1).TextColor, 4);
    g.SetCellInt(0, 0, -42, 2);
    EXPECT_STREQ(g.GetCellText(0, 0), "-42");
    EXPECT_EQ(g.GetCell(0, 0).TextColor, 2);
}

TEST(DataGrid, SizesAndIndicesStayInsideTheTable)
{
    CDataGrid g;
    EXPECT_EQ(g.GetRowCount(), 2);
    g.SetSize(60, 60);
    EXPECT_EQ(g.GetRowCount(), 2);
    EXPECT_EQ(g.GetColumnCount(), 2);
    g.SetSize(59, 59);
    EXPECT_EQ(g.GetRowCount(), 59);
    EXPECT_EQ(g.GetColumnCount(), 59);

    g.SetCellText(60, 0, "x");
    g.SetCellText(0, 60, "x");
    g.SetCellValue(60, 60, 1.0f, 0);
    g.SetCellBorders(60, 1, 0, 0, 0, 0);
    const GridCell outside = g.GetCell(60, 0);
    EXPECT_EQ(outside.TextColor, 0);
    EXPECT_EQ(outside.Left, 0);

    std::string longText(100, 'a');
    g.SetCellText(3, 3, longText.c_str());
    EXPECT_EQ(std::string(g.GetCellText(3, 3)).size(), 79u);

    g.SetHeaderRows(1, 0);
    EXPECT_EQ(g.GetCell(0, 59).BackColor, 3);
    EXPECT_EQ(g.GetCell(0, 5).Top, 0);
    EXPECT_EQ(g.GetCell(0, 5).Left, 1);
    EXPECT_EQ(g.GetCell(1, 5).BackColor, 0);

    g.Clear();
    EXPECT_EQ(g.GetRowCount(), 2);
    EXPECT_STREQ(g.GetCellText(3, 3), "");
    EXPECT_EQ(g.GetColumnFormat(0), -1);
}

TEST(DataGrid, SpansSetBordersAndTheTwoHundredAndFirstIsDropped)
{
    CDataGrid g;
    g.AddSpan(1, 0, 2, "Channel", 4, 3, 0, 1);
    EXPECT_EQ(g.GetCell(1, 0).Left, 1);
    EXPECT_EQ(g.GetCell(1, 0).Right, 0);
    EXPECT_EQ(g.GetCell(1, 1).Left, 0);
    EXPECT_EQ(g.GetCell(1, 1).Right, 0);
    EXPECT_EQ(g.GetCell(1, 2).Right, 1);
    EXPECT_EQ(g.GetCell(1, 2).Left, 0);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(g.GetCell(1, static_cast<WORD>(c)).Top, 0);
        EXPECT_EQ(g.GetCell(1, static_cast<WORD>(c)).Bottom, 1);
    }
    for (int i = 1; i < CDataGrid::kSpans; ++i)
        g.AddSpan(2, 0, 0, "x", 4, 0, 0, 0);
    EXPECT_TRUE(g.GetSpan(CDataGrid::kSpans - 1).InUse);
    g.AddSpan(5, 0, 1, "lost", 4, 0, 0, 0);
    for (int i = 0; i < CDataGrid::kSpans; ++i)
        EXPECT_STRNE(g.GetSpan(i).Text, "lost");
    EXPECT_EQ(g.GetCell(5, 1).Right, 1); // the borders change all the same
}

TEST(DataGrid, RedIsRedInColourAndBoldBlackInMonochrome)
{
    AfxEnsureQtApplication();
    CDataGrid g;
    g.SetSize(2, 2);
    g.SetCellText(0, 0, "WWWWW");
    g.SetCellTextColor(0, 0, 2);
    g.SetCellText(1, 0, "WWWWW"); // the same text in black, normal weight
    const RECT red{2, 2, 98, 19};
    const RECT plain{2, 22, 98, 39};
    {
        Drawn d(g, 200, 40, true);
        EXPECT_GT(d.Count(red, RGB(255, 0, 0)), 20);
        EXPECT_EQ(g.GetRowHeight(), 20);
        EXPECT_EQ(g.GetColumnWidth(), 100);
    }
    Drawn d(g, 200, 40, false);
    EXPECT_EQ(d.Count(red, RGB(255, 0, 0)), 0);
    const int bold = d.Count(red, RGB(0, 0, 0));
    const int normal = d.Count(plain, RGB(0, 0, 0));
    EXPECT_GT(normal, 20);
    EXPECT_GT(bold, normal + normal / 5);
}

TEST(DataGrid, ASpanWithAnUnknownAlignmentShowsNoText)
{
    AfxEnsureQtApplication();
    CDataGrid g;
    g.SetSize(1, 3);
    g.AddSpan(0, 0, 2, "WWWWWWWW", 4, 0, 1, 0);
    Drawn none(g, 300, 20, true);
    const RECT inside{3, 2, 297, 18};
    EXPECT_EQ(none.Count(inside, RGB(0, 0, 0)), 0);
    CDataGrid h;
    h.SetSize(1, 3);
    h.AddSpan(0, 0, 2, "WWWWWWWW", 4, 0, 6, 0);
    Drawn centred(h, 300, 20, true);
    EXPECT_GT(centred.Count(RECT{100, 2, 200, 18}, RGB(0, 0, 0)), 20);
}

TEST(DataGrid, ClicksReachTheParentOnlyOnceTheGridHasBeenPainted)
{
    AfxEnsureQtApplication();
    RegisterBuiltInResources();
    GridParent parent;
    ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0), "grid", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 100),
                                nullptr, 0));
    CDataGrid grid;
    ASSERT_TRUE(grid.Create("Data", WS_CHILD | BS_OWNERDRAW, RECT{0, 0, 200, 100}, &parent, 102));
    grid.SendMessage(WM_RBUTTONDOWN, 0, MAKELPARAM(30, 40));
    grid.SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(30, 40));
    AfxPumpMessages();
    EXPECT_TRUE(parent.got.empty());

    grid.ShowWindow(SW_SHOW);
    grid.UpdateWindow();
    AfxPumpMessages();
    ASSERT_EQ(grid.GetRowHeight(), 50);
    grid.SendMessage(WM_RBUTTONDOWN, 0, MAKELPARAM(30, 60));
    grid.SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(130, 60));
    AfxPumpMessages();
    ASSERT_EQ(parent.got.size(), 2u);
    EXPECT_EQ(parent.got[0].first, WM_GRID_RBUTTON);
    EXPECT_EQ(parent.got[0].second, std::make_pair(WPARAM(30), LPARAM(60)));
    EXPECT_EQ(parent.got[1].first, WM_GRID_DBLCLK);
    EXPECT_EQ(parent.got[1].second, std::make_pair(WPARAM(1), LPARAM(1))); // row 1, column 1
    grid.DestroyWindow();
    parent.DestroyWindow();
}

// A cell's colour is drawn over its whole box and survives its text being cleared; a whole
// record copied to another cell draws the same there; a record outside the table is ignored.
TEST(DataGrid, CellColoursAndWholeRecordsDrawWhereTheyAreSet)
{
    AfxEnsureQtApplication();
    CDataGrid g;
    g.SetSize(2, 2);
    g.SetCellBackColor(0, 1, 6);
    g.SetCellText(0, 1, "WWWWW");
    g.SetCellTextColor(0, 1, 2);
    const RECT cell01{103, 2, 198, 18}; // inside the borders of row 0, column 1
    const RECT cell10{3, 22, 98, 38};
    const int area = (cell01.right - cell01.left) * (cell01.bottom - cell01.top);
    {
        Drawn d(g, 200, 40, true);
        EXPECT_GT(d.Count(cell01, RGB(255, 0, 0)), 20);
        EXPECT_GT(d.Count(cell01, RGB(0, 255, 255)), area / 2);
        EXPECT_EQ(d.Count(cell01, RGB(255, 255, 255)), 0);
    }
    g.ClearCell(0, 1);
    EXPECT_STREQ(g.GetCellText(0, 1), "");
    g.SetCellText(0, 1, "x");
    const GridCell copied = g.GetCell(0, 1);
    g.ClearCell(0, 1);
    g.SetCell(1, 0, copied);
    g.SetCell(60, 0, copied);
    EXPECT_EQ(g.GetCell(60, 0).BackColor, 0);
    Drawn d(g, 200, 40, true);
    EXPECT_EQ(d.Count(cell01, RGB(0, 255, 255)), area);
    EXPECT_GT(d.Count(cell10, RGB(255, 0, 0)), 0);
    EXPECT_GT(d.Count(cell10, RGB(0, 255, 255)), area / 2);
    EXPECT_EQ(d.Count(cell10, RGB(255, 255, 255)), 0);
}

// A bitmap file (written here by Python) is stretched over its block of cells inside a black
// frame; a file that does not load leaves the cells as they are, without a word.
TEST(DataGrid, AnImageFillsItsBlockOfCellsInsideABlackFrame)
{
    AfxEnsureQtApplication();
    const std::string path = testing::TempDir() + "durnex-grid-image.bmp";
    const std::string script = "import struct\n"
                               "w, h = 3, 2\n"
                               "row = bytes([255, 0, 0]) * w + bytes((4 - 3 * w % 4) % 4)\n"
                               "pixels = row * h\n"
                               "head = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)\n"
                               "info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)\n"
                               "open('" + path + "', 'wb').write(head + info + pixels)\n";
    ASSERT_EQ(std::system(("python3 -c \"" + script + "\"").c_str()), 0);
    CDataGrid g;
    g.SetSize(4, 4);
    g.SetImage(1, 3, 1, 3, path.c_str()); // rows 1-2, columns 1-2
    const RECT inside{102, 22, 298, 58};  // the block less one pixel each side, less the frame
    const int area = (inside.right - inside.left) * (inside.bottom - inside.top);
    {
        Drawn d(g, 400, 80, true);
        EXPECT_EQ(d.Count(inside, RGB(0, 0, 255)), area);
        EXPECT_EQ(d.Count(RECT{101, 21, 102, 59}, RGB(0, 0, 0)), 38); // the frame's left edge
        EXPECT_EQ(d.Count(RECT{0, 0, 400, 80}, RGB(0, 0, 255)), area);
    }
    std::remove(path.c_str());
    Drawn d(g, 400, 80, true);
    EXPECT_EQ(d.Count(RECT{0, 0, 400, 80}, RGB(0, 0, 255)), 0);
    // Only the cells' own borders cross the block now.
    EXPECT_EQ(d.Count(inside, RGB(0, 0, 0)), (inside.right - inside.left) + (inside.bottom - inside.top) - 1);
}

// Fitting resizes the window to 15 pixels a row (45 a column) plus 3 and repaints it, so the
// next click already maps to the new cell size.
TEST(DataGrid, FittingTheWindowToRowsAndColumnsRepaintsAtTheNewSize)
{
    AfxEnsureQtApplication();
    RegisterBuiltInResources();
    GridParent parent;
    ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0), "grid", WS_POPUP | WS_VISIBLE, CRect(0, 0, 400, 300),
                                nullptr, 0));
    CDataGrid grid;
    ASSERT_TRUE(grid.Create("Data", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{0, 0, 200, 100}, &parent, 102));
    grid.SetSize(4, 3);
    grid.FitHeightToRows();
    grid.FitWidthToColumns();
    CRect client;
    grid.GetClientRect(&client);
    EXPECT_EQ(client.Width(), 3 * 45 + 3);
    EXPECT_EQ(client.Height(), 4 * 15 + 3);
    grid.UpdateWindow();
    AfxPumpMessages();
    EXPECT_EQ(grid.GetRowHeight(), 15);    // 63 / 4, rounded down: four rows fit in 63
    EXPECT_EQ(grid.GetColumnWidth(), 46);  // 138 / 3
    grid.SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(100, 50));
    AfxPumpMessages();
    ASSERT_EQ(parent.got.size(), 1u);
    EXPECT_EQ(parent.got[0].second, std::make_pair(WPARAM(3), LPARAM(2)));
    grid.DestroyWindow();
    parent.DestroyWindow();
}

// Whatever the client size, the last row and the last column are drawn whole inside it: their
// cells' colour runs the full row height and column width less the border lines.
TEST(DataGrid, TheLastRowAndColumnAreDrawnWholeInsideTheClientArea)
{
    AfxEnsureQtApplication();
    struct Case {
        WORD rows, columns;
        int w, h;
    };
    // Sizes whose quotient has a fraction of a half or more, and exact ones.
    for (const Case c : {Case{6, 11, 462, 93}, Case{7, 2, 308, 109}, Case{9, 3, 200, 139}, Case{2, 2, 101, 31},
                         Case{6, 11, 462, 96}, Case{1, 1, 40, 17}}) {
        SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.columns) + " in " + std::to_string(c.w) + "x" +
                     std::to_string(c.h));
        CDataGrid g;
        g.SetSize(c.rows, c.columns);
        const WORD lastRow = static_cast<WORD>(c.rows - 1), lastColumn = static_cast<WORD>(c.columns - 1);
        for (WORD col = 0; col < c.columns; ++col)
            g.SetCellBackColor(lastRow, col, 6);
        for (WORD row = 0; row < c.rows; ++row)
            g.SetCellBackColor(row, lastColumn, 6);
        Drawn d(g, c.w, c.h, true);
        const int rh = g.GetRowHeight(), cw = g.GetColumnWidth();
        EXPECT_LE(c.rows * rh, c.h);
        EXPECT_LE(c.columns * cw, c.w);
        EXPECT_GE(rh, c.h / c.rows);
        // A column through the middle of the last row's first cell, a line through the middle of
        // the last column's first cell.
        const int x = cw / 2, y = rh / 2, top = lastRow * rh, left = lastColumn * cw;
        EXPECT_GE(d.Count(RECT{x, top, x + 1, c.h}, RGB(0, 255, 255)), rh - 2);
        EXPECT_GE(d.Count(RECT{left, y, c.w, y + 1}, RGB(0, 255, 255)), cw - 3);
    }
}
