// Printing to PDF through the print dialog's scripted answers; pages are checked by
// rendering them with poppler's pdftoppm and looking at their pixels.
#include "GdiTestSupport.h"

#include "platform/ui/Print.h"
#include "support/ScriptedUser.h"

#include <QImage>

#include <gtest/gtest.h>

#include <fstream>

#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class Printing : public ::testing::Test {
protected:
    void SetUp() override
    {
        gditest::EnsureApp();
        dir = fs::temp_directory_path() / ("gdi-print-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        if (pd.hDevMode)
            GlobalFree(pd.hDevMode);
        if (pd.hDevNames)
            GlobalFree(pd.hDevNames);
        fs::remove_all(dir);
    }

    // The default printer's handles with landscape set, as the program's print command does.
    void DefaultLandscape(short color = DMCOLOR_COLOR)
    {
        pd.Flags = PD_RETURNDEFAULT;
        ASSERT_TRUE(PrintDlg(&pd));
        ASSERT_NE(pd.hDevMode, nullptr);
        ASSERT_NE(pd.hDevNames, nullptr);
        auto* dm = static_cast<DEVMODE*>(GlobalLock(pd.hDevMode));
        dm->dmOrientation = DMORIENT_LANDSCAPE;
        dm->dmColor = color;
        dm->dmPaperSize = DMPAPER_LETTER;
        dm->dmFields |= DM_ORIENTATION | DM_COLOR | DM_PAPERSIZE;
        GlobalUnlock(pd.hDevMode);
    }

    // Renders every page at `dpi`; returns the number of pages rendered.
    int Render(const fs::path& pdf, int dpi)
    {
        const std::string cmd = "pdftoppm -r " + std::to_string(dpi) + " -png '" + pdf.string() + "' '" +
                                (dir / "page").string() + "'";
        if (std::system(cmd.c_str()) != 0)
            return -1;
        int pages = 0;
        while (fs::exists(dir / ("page-" + std::to_string(pages + 1) + ".png")))
            ++pages;
        return pages;
    }
    QImage Page(int n) { return QImage(QString::fromStdString((dir / ("page-" + std::to_string(n) + ".png")).string())); }

    fs::path dir;
    PRINTDLG pd;
};

TEST_F(Printing, TwoPagePdfHoldsWhatWasDrawn)
{
    const fs::path pdf = dir / "out.pdf";
    ScriptedUser user;
    user.Expect({PromptKind::Print, IDOK, pdf.string()});
    DefaultLandscape();
    pd.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE;
    ASSERT_TRUE(PrintDlg(&pd));
    ASSERT_NE(pd.hDC, nullptr);
    EXPECT_EQ(DevNamesOutput(pd.hDevNames), pdf.string());

    CDC dc;
    ASSERT_TRUE(dc.Attach(pd.hDC));
    // Letter in landscape at 600 dots per inch, less a quarter inch all round.
    EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSX), 600);
    EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSY), 600);
    const int W = dc.GetDeviceCaps(HORZRES), H = dc.GetDeviceCaps(VERTRES);
    EXPECT_EQ(W, 6300);
    EXPECT_EQ(H, 4800);
    EXPECT_EQ(dc.GetDeviceCaps(PHYSICALOFFSETX), 150);
    EXPECT_EQ(dc.GetDeviceCaps(PHYSICALWIDTH), 6600);
    EXPECT_GE(dc.GetDeviceCaps(BITSPIXEL), 2);
    EXPECT_EQ(dc.GetDeviceCaps(TECHNOLOGY), DT_RASPRINTER);

    ASSERT_GT(dc.StartDoc("KDR-5200"), 0);
    EXPECT_TRUE(dc.IsPrinting());
    ASSERT_GT(dc.StartPage(), 0);
    dc.FillSolidRect(0, 0, W / 2, H / 2, RGB(255, 0, 0));
    CPen thick(PS_SOLID, 30, RGB(0, 0, 0));
    dc.SelectObject(&thick);
    dc.SelectStockObject(NULL_BRUSH);
    dc.Rectangle(0, 0, W, H);
    CFont font;
    font.CreateFont(-(600 * 48 / 72), 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextAlign(TA_CENTER | TA_BASELINE);
    dc.TextOut(W * 3 / 4, H * 3 / 4, "Page one");
    ASSERT_GT(dc.EndPage(), 0);
    ASSERT_GT(dc.StartPage(), 0);
    CBrush blue(RGB(0, 0, 255));
    dc.SelectObject(&blue);
    dc.SelectStockObject(NULL_PEN);
    dc.Ellipse(W / 2 - 1000, H / 2 - 1000, W / 2 + 1000, H / 2 + 1000);
    ASSERT_GT(dc.EndPage(), 0);
    ASSERT_GT(dc.EndDoc(), 0);
    dc.DeleteDC();
    ASSERT_TRUE(fs::exists(pdf));

    ASSERT_EQ(Render(pdf, 20), 2);
    // At 20 dots per inch the page is 220 x 170 and the printable area starts at (5, 5).
    const QImage p1 = Page(1), p2 = Page(2);
    ASSERT_EQ(p1.size(), QSize(220, 170));
    EXPECT_EQ(gditest::At(p1, 50, 40), RGB(255, 0, 0));
    EXPECT_EQ(gditest::At(p1, 160, 40), RGB(255, 255, 255));
    EXPECT_EQ(gditest::At(p1, 2, 2), RGB(255, 255, 255)); // outside the printable area
    EXPECT_LT(qGray(p1.pixel(5, 100)), 100);              // the frame's left edge
    EXPECT_GT(gditest::CountDark(p1, 115, 100, 215, 130), 50); // the text
    EXPECT_EQ(gditest::At(p2, 110, 85), RGB(0, 0, 255));
    EXPECT_EQ(gditest::At(p2, 20, 20), RGB(255, 255, 255));
    EXPECT_EQ(gditest::CountNear(p2, 0, 0, 220, 170, RGB(255, 0, 0), 30), 0);
}

TEST_F(Printing, MonochromePrinterSaysSoAndPrintsGrey)
{
    const fs::path pdf = dir / "mono.pdf";
    ScriptedUser user;
    user.Expect({PromptKind::Print, IDOK, pdf.string()});
    DefaultLandscape(DMCOLOR_MONOCHROME);
    pd.Flags = PD_RETURNDC;
    ASSERT_TRUE(PrintDlg(&pd));
    CDC dc;
    dc.Attach(pd.hDC);
    EXPECT_EQ(dc.GetDeviceCaps(BITSPIXEL), 1);
    EXPECT_EQ(dc.GetDeviceCaps(NUMCOLORS), 2);
    EXPECT_EQ(dc.GetDeviceCaps(PLANES), 1);
    ASSERT_GT(dc.StartDoc("mono"), 0);
    dc.StartPage();
    dc.FillSolidRect(0, 0, 3000, 3000, RGB(255, 0, 0));
    dc.EndPage();
    dc.EndDoc();
    dc.DeleteDC();
    ASSERT_EQ(Render(pdf, 20), 1);
    const QRgb q = Page(1).pixel(40, 40);
    EXPECT_EQ(qRed(q), qGreen(q));
    EXPECT_EQ(qGreen(q), qBlue(q));
    EXPECT_LT(qRed(q), 200);
}

TEST_F(Printing, CancelKeepsTheHandlesAndSetupReplacesThem)
{
    ScriptedUser user;
    DefaultLandscape();
    const HGLOBAL dm = pd.hDevMode, dn = pd.hDevNames;
    user.Expect({PromptKind::Print, IDCANCEL, ""});
    pd.Flags = PD_RETURNDC;
    EXPECT_FALSE(PrintDlg(&pd));
    EXPECT_EQ(pd.hDC, nullptr);
    EXPECT_EQ(pd.hDevMode, dm);
    EXPECT_EQ(pd.hDevNames, dn);
    EXPECT_EQ(PrintDlgLastError(), 0u);
    auto* mode = static_cast<DEVMODE*>(GlobalLock(pd.hDevMode));
    EXPECT_EQ(mode->dmOrientation, DMORIENT_LANDSCAPE);
    GlobalUnlock(pd.hDevMode);

    const std::string chosen = (dir / "setup.pdf").string();
    user.Expect({PromptKind::PrintSetup, IDOK, chosen});
    pd.Flags = PD_PRINTSETUP;
    EXPECT_TRUE(PrintDlg(&pd));
    EXPECT_EQ(DevNamesDevice(pd.hDevNames), kPdfPrinterName);
    EXPECT_EQ(DevNamesOutput(pd.hDevNames), chosen);
    mode = static_cast<DEVMODE*>(GlobalLock(pd.hDevMode));
    EXPECT_EQ(mode->dmOrientation, DMORIENT_LANDSCAPE); // the choice is kept
    GlobalUnlock(pd.hDevMode);
    ASSERT_EQ(user.Shown().size(), 2u);
    EXPECT_EQ(user.Shown()[1].kind, PromptKind::PrintSetup);

    // Asking for the default printer with handles already there is refused, as on Windows.
    pd.Flags = PD_RETURNDEFAULT;
    EXPECT_FALSE(PrintDlg(&pd));
    EXPECT_EQ(PrintDlgLastError(), PDERR_RETDEFFAILURE);
}

TEST_F(Printing, FailuresAreReportedAndAbortLeavesNoFile)
{
    ScriptedUser user;
    user.Expect({PromptKind::Print, IDOK, "/nonexistent-folder/out.pdf"});
    user.ExpectBox(IDOK, "could not be started");
    pd.Flags = PD_RETURNDC;
    ASSERT_TRUE(PrintDlg(&pd));
    CDC bad;
    bad.Attach(pd.hDC);
    EXPECT_LT(bad.StartDoc("x"), 0);
    EXPECT_LT(bad.StartPage(), 0);
    EXPECT_LT(bad.EndDoc(), 0);
    bad.DeleteDC();

    // Drawing outside a page is ignored; an aborted job leaves no file behind.
    const fs::path pdf = dir / "aborted.pdf";
    user.Expect({PromptKind::Print, IDOK, pdf.string()});
    ASSERT_TRUE(PrintDlg(&pd));
    CDC dc;
    dc.Attach(pd.hDC);
    dc.FillSolidRect(0, 0, 100, 100, RGB(1, 2, 3));
    ASSERT_GT(dc.StartDoc("aborted"), 0);
    dc.StartPage();
    dc.FillSolidRect(0, 0, 100, 100, RGB(1, 2, 3));
    EXPECT_GT(dc.AbortDoc(), 0);
    EXPECT_FALSE(dc.IsPrinting());
    EXPECT_FALSE(fs::exists(pdf));
}

TEST_F(Printing, PlotStylePrintingMapsAWindowOntoThePage)
{
    // What the plot windows do: an anisotropic mapping of a 600 x 400 window onto the page,
    // a font sized in logical units, and a one-pixel pen.
    const fs::path pdf = dir / "plot.pdf";
    ScriptedUser user;
    user.Expect({PromptKind::Print, IDOK, pdf.string()});
    DefaultLandscape();
    pd.Flags = PD_RETURNDC;
    ASSERT_TRUE(PrintDlg(&pd));
    CDC dc;
    dc.Attach(pd.hDC);
    const int W = dc.GetDeviceCaps(HORZRES), H = dc.GetDeviceCaps(VERTRES);
    ASSERT_GT(dc.StartDoc("plot"), 0);
    dc.StartPage();
    const int prev = dc.SetMapMode(MM_ANISOTROPIC);
    EXPECT_EQ(prev, MM_TEXT);
    dc.SetWindowExt(600, 400);
    dc.SetViewportExt(W, H);
    dc.SetViewportOrg(0, 0);
    CBrush green(RGB(0, 160, 0));
    RECT lower{0, 200, 600, 400};
    dc.FillRect(&lower, &green);
    POINT p{300, 200};
    dc.LPtoDP(&p);
    EXPECT_EQ(p.x, W / 2);
    EXPECT_EQ(p.y, H / 2);
    dc.SetMapMode(prev);
    dc.EndPage();
    dc.EndDoc();
    dc.DeleteDC();
    ASSERT_EQ(Render(pdf, 20), 1);
    const QImage page = Page(1);
    EXPECT_EQ(gditest::At(page, 110, 40), RGB(255, 255, 255));
    EXPECT_EQ(gditest::At(page, 110, 130), RGB(0, 160, 0));
}

} // namespace

// With no printer the printout goes to a PDF file the user names; replacing a file is asked
// about, and the user is told where the printout went. Cancelling the name prints nothing.
TEST_F(Printing, APdfWithoutAFileNameAsksForOneAndSaysWhereItWent)
{
    DefaultLandscape();
    if (DevNamesDevice(pd.hDevNames) != kPdfPrinterName)
        GTEST_SKIP() << "a real printer is the default here";
    const fs::path pdf = dir / "report.pdf";
    {
        std::ofstream(pdf) << "old";
    }
    ScriptedUser user;
    user.Expect({PromptKind::Print, IDOK, ""});
    pd.Flags = PD_RETURNDC;
    ASSERT_TRUE(PrintDlg(&pd));
    CDC dc;
    ASSERT_TRUE(dc.Attach(pd.hDC));

    user.ExpectFile(PromptKind::FileSave, "");
    EXPECT_LT(dc.StartDoc("KDR-5200"), 0);

    user.ExpectFile(PromptKind::FileSave, pdf.string());
    user.ExpectBox(IDYES, "already exists");
    ASSERT_GT(dc.StartDoc("KDR-5200"), 0);
    ASSERT_GT(dc.StartPage(), 0);
    dc.FillSolidRect(0, 0, 100, 100, RGB(0, 0, 0));
    ASSERT_GT(dc.EndPage(), 0);
    user.ExpectBox(IDOK, "The printout was saved as \"" + pdf.string() + "\".");
    ASSERT_GT(dc.EndDoc(), 0);
    EXPECT_GT(fs::file_size(pdf), 100u);
}
