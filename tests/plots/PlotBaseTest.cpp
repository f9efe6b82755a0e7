// The plot base as every plot inherits it: drag cursors drawn and removed by inversion without
// a repaint, read-out boxes that put back what they covered, harmonic and sideband markers,
// selections against the plot rectangle, the scroll bar's room, the read-out and tick-label
// texts, printing onto a PDF page, the picture and the "Link" block on the clipboard.
#include "PlotTestSupport.h"

#include "records/PrintSettings.h"
#include "platform/core/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Print.h"
#include "support/QtTestAccess.h"
#include "plots/PlotTextClipboard.h"
#include "plots/TPlotBase.h"
#include "support/ScriptedUser.h"


#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

static void PrintTo(const CRect& r, std::ostream* os) { *os << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")"; }

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGrey = RGB(200, 200, 200);

// A plot whose pixels mean something simple: x value = 2 per pixel from the pane's left edge,
// y value = 0.5 per pixel up from its bottom; harmonics every `step` pixels.
class ProbePlot : public TPlotBase {
public:
    BOOL Open(int paneMode, CRect r)
    {
        m_paneMode = paneMode;
        m_leftMargin = 80; // room for the y read-out box
        return CreatePlotWindow("Probe", WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, &r);
    }
    double PixelToXValue(int x, int y) override { return 2.0 * (x - GetPaneAtPoint(CPoint(x, y)).left); }
    double PixelToYValue(int x, int y) override { return 0.5 * (GetPaneAtPoint(CPoint(x, y)).bottom - y); }
    WORD GetHarmonicCount(int, int) override { return harmonics; }
    CPoint GetHarmonicPoint(WORD k, int x, int) override
    {
        highestHarmonic = std::max<int>(highestHarmonic, k);
        return CPoint((x - m_plotRect.left) * k, 0);
    }
    CPoint GetUpperSidebandPoint(WORD k, CPoint anchor, int x, int) override
    {
        sidebands.insert(k);
        return CPoint(anchor.x - m_plotRect.left + k * (x - anchor.x), 0);
    }
    CPoint GetLowerSidebandPoint(WORD k, CPoint anchor, int x, int) override
    {
        return CPoint(anchor.x - m_plotRect.left - k * (x - anchor.x), 0);
    }
    void SetSelectionRect(CRect r) override
    {
        selected = r;
        TPlotBase::SetSelectionRect(r);
    }
    void DrawPlot(CDC* dc, bool full, const RECT& update) override
    {
        ++paints;
        if (m_printing) {
            printedFontHeight = m_fontHeight;
        } else {
            CRect client;
            GetClientRect(&client);
            dc->FillSolidRect(&client, kGrey);
            dc->FillSolidRect(&m_paneA, kWhite);
            if (m_paneMode == 2)
                dc->FillSolidRect(&m_paneB, kWhite);
        }
        TPlotBase::DrawPlot(dc, full, update);
    }
    void EnterSelection(int axis)
    {
        m_selectionMode = 1;
        m_selectionAxis = axis;
    }
    void SetPrinting(bool on) { m_printing = on ? 1 : 0; }

    WORD harmonics = 0;
    int highestHarmonic = 0;
    std::set<int> sidebands;
    CRect selected;
    int paints = 0;
    int printedFontHeight = 0;

protected:
    std::string PaneCaption() const override { return {}; }
};

class PlotBase : public PlotWindows {
protected:
    ProbePlot* Open(int paneMode = 1, CRect r = CRect(0, 0, 700, 500))
    {
        auto* p = new ProbePlot;
        EXPECT_TRUE(p->Open(paneMode, r));
        p->UpdateWindow();
        AfxPumpMessages();
        return p;
    }
    static QImage Shot(ProbePlot* p) { return p->GetSurface()->Image().copy(); }
    static COLORREF At(ProbePlot* p, int x, int y)
    {
        CClientDC dc(p);
        return dc.GetPixel(x, y);
    }
    static void Send(ProbePlot* p, UINT msg, UINT keys, int x, int y) { p->SendMessage(msg, keys, MAKELPARAM(x, y)); }
    // The number of black pixels along a row inside the pane.
    static int BlackInRow(ProbePlot* p, const CRect& pane, int y)
    {
        int n = 0;
        for (int x = pane.left; x < pane.right; ++x)
            n += At(p, x, y) == kBlack;
        return n;
    }
};
} // namespace

TEST_F(PlotBase, ACursorDragInvertsAndRestoresThePaneWithoutRepainting)
{
    ProbePlot* p = Open();
    const CRect pane = p->GetPaneRectA();
    const QImage before = Shot(p);
    p->paints = 0;

    const CPoint a(pane.left + 100, pane.top + 80);
    Send(p, WM_LBUTTONDOWN, MK_LBUTTON, a.x, a.y);
    EXPECT_TRUE(p->IsTracking());
    // Crosshair: the whole row and column of the point inverted inside the pane, not outside.
    // (where the two lines cross, the pixel is inverted twice)
    EXPECT_EQ(BlackInRow(p, pane, a.y), pane.Width() - 1);
    EXPECT_EQ(At(p, a.x, a.y), kWhite);
    EXPECT_EQ(At(p, a.x, pane.top + 5), kBlack);
    EXPECT_EQ(At(p, pane.right + 2, a.y), kGrey);
    // Read-outs: the values under the point, in boxes above the pane and left of it.
    EXPECT_FLOAT_EQ(p->GetXReadoutValue(), 200.0f);
    EXPECT_FLOAT_EQ(p->GetYReadoutValue(), 0.5f * (pane.bottom - a.y));
    EXPECT_EQ(At(p, a.x - 30, pane.top - 18), kBlack); // x box's outline
    EXPECT_EQ(At(p, pane.left - 61, a.y - 8), kBlack); // y box's outline

    const CPoint b(pane.left + 300, pane.top + 200);
    Send(p, WM_MOUSEMOVE, MK_LBUTTON, b.x, b.y);
    EXPECT_EQ(At(p, a.x, pane.top + 5), kWhite); // the old column is back
    EXPECT_EQ(At(p, b.x, pane.top + 5), kBlack);
    EXPECT_EQ(At(p, a.x - 30, pane.top - 18), kGrey); // the old box put back its pixels
    EXPECT_FLOAT_EQ(p->GetXReadoutValue(), 600.0f);

    Send(p, WM_LBUTTONUP, 0, b.x, b.y);
    EXPECT_FALSE(p->IsTracking());
    EXPECT_EQ(p->paints, 0); // nothing was repainted while dragging
    EXPECT_EQ(Shot(p), before);
}

TEST_F(PlotBase, CtrlMeasuresFromTheAnchorAndTheDragStaysInItsPane)
{
    ProbePlot* p = Open(2);
    const CRect a = p->GetPaneRectA();
    const CPoint start(a.left + 50, a.top + 30);
    Send(p, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, start.x, start.y);
    EXPECT_FLOAT_EQ(p->GetXReadoutValue(), 0.0f);
    EXPECT_FLOAT_EQ(p->GetYReadoutValue(), 0.0f);
    Send(p, WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, start.x + 40, start.y + 10);
    EXPECT_FLOAT_EQ(p->GetXReadoutValue(), 80.0f);
    EXPECT_FLOAT_EQ(p->GetYReadoutValue(), -5.0f);
    // Dragged down into pane B, the cursor stops on pane A's last row.
    Send(p, WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, start.x + 40, p->GetPaneRectB().top + 20);
    EXPECT_FLOAT_EQ(p->GetYReadoutValue(), 0.5f * (start.y - (a.bottom - 1)));
    EXPECT_EQ(BlackInRow(p, a, a.bottom - 1), a.Width() - 1); // the crosshair's row, less its crossing
    Send(p, WM_LBUTTONUP, 0, start.x + 40, p->GetPaneRectB().top + 20);
    AfxPumpMessages();
    EXPECT_EQ(BlackInRow(p, a, a.bottom - 1), 0);
    EXPECT_EQ(BlackInRow(p, a, start.y), 0);
}

// While the button is down the pointer itself is held in the drag's pane on the screen: a move
// past its edge puts the pointer back on the edge and is reported there. Button up lets go.
TEST_F(PlotBase, ADragConfinesThePointerToItsPaneOnTheScreenUntilTheButtonIsUp)
{
    ProbePlot* p = Open(2);
    const CRect a = p->GetPaneRectA();
    CPoint topLeft = a.TopLeft(), bottomRight = a.BottomRight();
    p->ClientToScreen(&topLeft);
    p->ClientToScreen(&bottomRight);
    RECT desktop{};
    ASSERT_TRUE(GetClipCursor(&desktop));
    Send(p, WM_LBUTTONDOWN, MK_LBUTTON, a.left + 50, a.top + 30);
    RECT clip{};
    ASSERT_TRUE(GetClipCursor(&clip));
    EXPECT_EQ(CRect(clip), CRect(topLeft, bottomRight));

    // The user's mouse leaves pane A downwards, into pane B.
    QWidget* client = QtClientWidgetOf(p);
    ASSERT_NE(client, nullptr);
    const QPointF local(a.left + 90, p->GetPaneRectB().top + 20);
    QMouseEvent move(QEvent::MouseMove, local, client->mapToGlobal(local), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(client, &move);
    EXPECT_FLOAT_EQ(p->GetXReadoutValue(), 180.0f);
    EXPECT_FLOAT_EQ(p->GetYReadoutValue(), 0.5f); // on pane A's last row
    POINT pointer{};
    ASSERT_TRUE(GetCursorPos(&pointer));
    EXPECT_EQ(pointer.y, bottomRight.y - 1);
    EXPECT_EQ(pointer.x, topLeft.x + 90);

    Send(p, WM_LBUTTONUP, 0, a.left + 90, a.bottom - 1);
    ASSERT_TRUE(GetClipCursor(&clip));
    EXPECT_EQ(CRect(clip), CRect(desktop));
}

TEST_F(PlotBase, HarmonicMarkersStopAtTheThousandthAndSidebandsComeInTwelvePairs)
{
    ProbePlot* p = Open();
    const CRect pane = p->GetPaneRectA();
    const int y = pane.top + 100;

    p->harmonics = 1; // a single harmonic draws nothing beyond the crosshair
    Send(p, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, pane.left + 40, y);
    EXPECT_EQ(p->highestHarmonic, 0);
    Send(p, WM_LBUTTONUP, 0, pane.left + 40, y);

    p->harmonics = 5000;
    Send(p, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, pane.left + 40, y);
    EXPECT_EQ(p->highestHarmonic, 1000);
    // Harmonics 2.. at 80, 120, ... pixels: their columns are inverted.
    for (int k = 2; 40 * k < pane.Width(); ++k)
        EXPECT_EQ(At(p, pane.left + 40 * k, y + 20), kBlack) << k;
    EXPECT_EQ(At(p, pane.left + 60, y + 20), kWhite);
    Send(p, WM_LBUTTONUP, 0, pane.left + 40, y);
    EXPECT_EQ(BlackInRow(p, pane, y + 20), 0);

    // Ctrl+Shift: no crosshair at the anchor, sidebands at anchor +- k * distance.
    const int x0 = pane.left + 300;
    Send(p, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT | MK_CONTROL, x0, y);
    Send(p, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT | MK_CONTROL, x0 + 10, y + 30);
    EXPECT_EQ(p->sidebands, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(At(p, x0 + 120, y + 5), kBlack);
    EXPECT_EQ(At(p, x0 - 120, y + 5), kBlack);
    EXPECT_EQ(At(p, x0 + 130, y + 5), kWhite); // a 13th pair is not drawn
    EXPECT_EQ(At(p, x0 + 10, y + 5), kBlack);  // first upper sideband, not a crosshair: the row
    EXPECT_EQ(At(p, x0 + 5, y + 30), kBlack);  // at the cursor is the horizontal line
    Send(p, WM_LBUTTONUP, 0, x0 + 10, y + 30);
    EXPECT_EQ(BlackInRow(p, pane, y + 5), 0);
}

TEST_F(PlotBase, SelectionsSpanThePlotRectangleAndEndNormalised)
{
    ProbePlot* p = Open(2);
    const CRect plot = p->GetPlotRect();
    const CRect b = p->GetPaneRectB();

    p->EnterSelection(0);
    Send(p, WM_LBUTTONDOWN, MK_LBUTTON, b.left + 300, b.top + 10);
    Send(p, WM_MOUSEMOVE, MK_LBUTTON, b.left + 200, b.top + 20);
    // The frame runs over both panes and the gap between them.
    EXPECT_EQ(At(p, b.left + 200, plot.top + 3), kBlack);
    Send(p, WM_LBUTTONUP, 0, b.left + 120, b.top + 20);
    EXPECT_EQ(p->selected, CRect(b.left + 120, plot.top, b.left + 300, plot.bottom));
    EXPECT_FALSE(p->IsSelectionMode());
    EXPECT_EQ(At(p, b.left + 200, plot.top + 3), kWhite);

    // A vertical selection dragged past the pane ends on its last row and spans the width.
    p->EnterSelection(1);
    Send(p, WM_LBUTTONDOWN, MK_LBUTTON, b.left + 5, b.top + 40);
    Send(p, WM_LBUTTONUP, 0, b.left + 5, b.bottom + 60);
    EXPECT_EQ(p->selected, CRect(plot.left, b.top + 40, plot.right, b.bottom - 1));

    // Outside every pane a button-down starts nothing.
    p->EnterSelection(0);
    Send(p, WM_LBUTTONDOWN, MK_LBUTTON, plot.left + 5, p->GetPaneRectA().bottom + 3);
    EXPECT_FALSE(p->IsTracking());
}

TEST_F(PlotBase, TheScrollBarTakesRoomUnderThePanesExceptOnPaper)
{
    ProbePlot* p = Open();
    const CRect plot = p->GetPlotRect();
    ASSERT_NE(p->GetScrollBar(), nullptr);
    EXPECT_FALSE(p->GetScrollBar()->IsWindowVisible());
    p->ShowPlotScrollBar();
    EXPECT_EQ(p->GetPlotRect().bottom, plot.bottom - 12);
    CRect bar;
    p->GetScrollBar()->GetWindowRect(&bar);
    EXPECT_EQ(bar.Height(), 12);
    EXPECT_EQ(bar.Width(), plot.Width());
    p->SetPrinting(true);
    EXPECT_EQ(p->GetScrollBarHeight(), 0);
    p->SetPrinting(false);

    // Paging right moves the visible window by a quarter of its span (scroll maximum 100).
    p->GetScrollBar()->SetScrollPos(0);
    p->SendMessage(WM_HSCROLL, MAKEWPARAM(SB_PAGERIGHT, 0), reinterpret_cast<LPARAM>(p->GetScrollBar()->GetSafeHwnd()));
    // UpdateLayout resets the base's visible window to 0..100; the bar keeps the new place.
    EXPECT_EQ(p->GetScrollBar()->GetScrollPos(), 25);
    // Another window's bar is not the plot's business.
    CScrollBar other;
    ASSERT_TRUE(other.Create(WS_CHILD | SBS_VERT, CRect(0, 0, 10, 40), p, 999));
    p->SendMessage(WM_HSCROLL, MAKEWPARAM(SB_PAGERIGHT, 0), reinterpret_cast<LPARAM>(other.GetSafeHwnd()));
    EXPECT_EQ(p->GetScrollBar()->GetScrollPos(), 25);
    p->HidePlotScrollBar();
    EXPECT_EQ(p->GetPlotRect(), plot);
}

TEST(PlotText, ReadoutsAndTickLabelsAsThePlotsWriteThem)
{
    struct Probe : TPlotBase {
        std::string F(float v, int format, const char* unit)
        {
            std::string s;
            FormatAxisValue(s, v, format, unit);
            return s;
        }
    } p;
    EXPECT_EQ(p.F(0.5f, 101, " Hz"), "0.500 Hz");
    EXPECT_EQ(p.F(5.0f, 101, " Hz"), "5.00 Hz");
    EXPECT_EQ(p.F(50.0f, 101, " Hz"), "50.0 Hz");
    EXPECT_EQ(p.F(5000.0f, 101, " Hz"), "5000 Hz");
    EXPECT_EQ(p.F(-7.9f, 0, "V"), "-7V");
    EXPECT_EQ(p.F(1.23456f, 4, ""), "1.2346");
    EXPECT_EQ(p.F(0.00012f, 100, " dB"), "1.2e-04 dB");

    char t[16];
    const std::pair<double, const char*> ticks[] = {{0.00005, "5.0e-5"}, {12345.0, "1.2e+4"}, {0.5, "0.50"},
                                                    {5e-11, "0.0"},      {-0.005, "-0.005"}, {250.0, "250.0"},
                                                    {2500.0, "2500"}};
    for (const auto& [v, want] : ticks) {
        TPlotBase::FormatTickLabel(v, t, sizeof t);
        EXPECT_STREQ(t, want) << v;
    }
    std::strcpy(t, "keep");
    TPlotBase::FormatTickLabel(1.0, t, 9); // a buffer under 10 is left alone
    EXPECT_STREQ(t, "keep");
}

TEST(PlotClipboardFormats, LinkBlocksAreByteExact)
{
    const auto phase = BuildPlotLinkBlock("Vesterin;Data;Phase;;");
    const char phaseHead[] = "Vesterin\0Data\0Phase\0";
    EXPECT_EQ(std::memcmp(phase.data(), phaseHead, 21), 0);
    EXPECT_TRUE(std::all_of(phase.begin() + 21, phase.end(), [](char c) { return c == 0; }));
    const auto spectrum = BuildPlotLinkBlock("QorinDT;Data;Spectrum;;");
    EXPECT_EQ(std::memcmp(spectrum.data(), "QorinDT\0Data\0Spectrum\0", 23), 0);
    EXPECT_TRUE(std::all_of(spectrum.begin() + 23, spectrum.end(), [](char c) { return c == 0; }));
    const auto series = BuildPlotLinkBlock("QorinDT;Data;Time Series;;");
    EXPECT_EQ(std::memcmp(series.data(), "QorinDT\0Data\0Time Series\0", 26), 0);
    EXPECT_TRUE(std::all_of(series.begin() + 26, series.end(), [](char c) { return c == 0; }));
}

TEST_F(PlotBase, ATableCopyLeavesTextAndLinkAndALongRowIsWhole)
{
    ProbePlot* p = Open();
    // A row far wider than any fixed row size: nothing is cut or written past its block.
    const std::string row = "1.000000\t" + std::string(300, '9') + "\r\n";
    ASSERT_TRUE(CopyPlotTextToClipboard(p, "first\r\n", "QorinDT;Data;Time Series;;", "no memory", MB_ICONSTOP));
    ASSERT_TRUE(CopyPlotTextToClipboard(p, row, "QorinDT;Data;Spectrum;;", "no memory", MB_ICONSTOP));
    ASSERT_TRUE(OpenClipboard(p));
    std::set<UINT> formats;
    for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f))
        formats.insert(f);
    const UINT link = RegisterClipboardFormat("Link");
    // The text and the link, with the text forms the clipboard makes of CF_TEXT itself.
    EXPECT_EQ(formats, (std::set<UINT>{CF_TEXT, CF_OEMTEXT, CF_UNICODETEXT, link}));
    HANDLE text = GetClipboardData(CF_TEXT);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(text))), row);
    GlobalUnlock(text);
    HANDLE block = GetClipboardData(link);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 128u);
    EXPECT_EQ(std::memcmp(GlobalLock(block), BuildPlotLinkBlock("QorinDT;Data;Spectrum;;").data(), 128), 0);
    GlobalUnlock(block);
    CloseClipboard();
}

TEST_F(PlotBase, TheClipboardPictureIsTheClientBelowTheToolStripFramedInBlack)
{
    ProbePlot* p = Open(1, CRect(0, 0, 200, 200));
    // A client of 400 x 330 whatever the window's frame takes.
    CRect client, outer;
    p->GetClientRect(&client);
    p->GetWindowRect(&outer);
    p->MoveWindow(0, 0, outer.Width() + 400 - client.Width(), outer.Height() + 330 - client.Height());
    p->UpdateWindow();
    AfxPumpMessages();
    p->GetClientRect(&client);
    ASSERT_EQ(client.Size(), CSize(400, 330));
    p->CopyBitmapToClipboard();

    ASSERT_TRUE(OpenClipboard(p));
    auto* bitmap = CBitmap::FromHandle(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_TRUE(bitmap->GetBitmap(&info));
    EXPECT_EQ(info.bmWidth, 400);
    EXPECT_EQ(info.bmHeight, 300);
    CDC memory;
    ASSERT_TRUE(memory.CreateCompatibleDC(nullptr));
    CBitmap* old = memory.SelectObject(bitmap);
    for (const CPoint c : {CPoint(0, 0), CPoint(399, 0), CPoint(0, 299), CPoint(399, 299), CPoint(200, 0), CPoint(0, 150)})
        EXPECT_EQ(memory.GetPixel(c.x, c.y), kBlack) << c.x << "," << c.y;
    // Inside, the pixels are the client's 30 rows further down.
    const CRect pane = p->GetPaneRectA();
    EXPECT_EQ(memory.GetPixel(pane.left + 5, pane.top + 5 - 30), kWhite);
    EXPECT_EQ(memory.GetPixel(5, pane.top + 5 - 30), At(p, 5, pane.top + 5));
    memory.SelectObject(old);
    CloseClipboard();
}

TEST_F(PlotBase, PrintingPutsTheFrameBelowTheHeaderBandAndScalesTheFont)
{
    ProbePlot* p = Open(1, CRect(0, 0, 600, 600));
    CRect client;
    p->GetClientRect(&client);
    const fs::path dir = fs::temp_directory_path() / ("plot-print-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path pdf = dir / "plot.pdf";

    ScriptedUser user;
    user.Expect({PromptKind::Print, IDOK, pdf.string(), 0, {}});
    PRINTDLG pd;
    pd.Flags = PD_RETURNDC;
    ASSERT_TRUE(PrintDlg(&pd));
    CDC dc;
    ASSERT_TRUE(dc.Attach(pd.hDC));
    ASSERT_EQ(dc.GetDeviceCaps(LOGPIXELSY), 600);
    const int pageH = dc.GetDeviceCaps(VERTRES);
    PrintSettings margins;
    margins.MarginLeft = margins.MarginRight = margins.MarginTop = margins.MarginBottom = 0.5f;
    ASSERT_GT(dc.StartDoc("plot"), 0);
    ASSERT_GT(dc.StartPage(), 0);
    p->PrintPlot(&dc, &margins, false, 0);
    const float scale = static_cast<float>(pageH - 750 - 300) / static_cast<float>(client.Height());
    EXPECT_EQ(p->printedFontHeight, static_cast<int>(75 / scale + 0.5));
    p->PrintPlot(&dc, &margins, true, 0);
    EXPECT_EQ(p->printedFontHeight, 75);
    ASSERT_GT(dc.EndPage(), 0);
    ASSERT_GT(dc.EndDoc(), 0);
    dc.DeleteDC();
    if (pd.hDevMode)
        GlobalFree(pd.hDevMode);
    if (pd.hDevNames)
        GlobalFree(pd.hDevNames);

    // Rendered at 60 dpi, the printable area starts at the page's physical offset.
    const std::string png = (dir / "page").string();
    ASSERT_EQ(std::system(("pdftoppm -r 60 -png -singlefile '" + pdf.string() + "' '" + png + "'").c_str()), 0);
    QImage page(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(page.isNull());
    // The frame's top edge: 750 device pixels (0.5 inch margin + 0.75 inch header) = 75 at 60 dpi,
    // plus the quarter-inch unprintable edge (15).
    auto darkRun = [&](int y) {
        int n = 0;
        for (int x = 0; x < page.width(); ++x)
            n += qGray(page.pixel(x, y)) < 250;
        return n;
    };
    EXPECT_GT(std::max({darkRun(89), darkRun(90), darkRun(91)}), page.width() / 2);
    EXPECT_LT(darkRun(60), 5);
    fs::remove_all(dir);
}
