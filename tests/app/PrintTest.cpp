// Printing the active plot to a PDF file: the page header, channel box, titles, comment block
// and margins, read back with pdftotext and rendered with pdftoppm; the annotation dialog;
// printer errors and impossible margins reported.
#include "LayoutFixture.h"

#include "app/CPrintAnnotationDialog.h"
#include "platform/ui/Print.h"
#include "plots/spectrum/TSpectraPlot.h"

#include "support/QtTestAccess.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace layouttest;

namespace {

std::string ReadFile(const std::filesystem::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Printing : public FrameFixture {
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        frame->OpenSpectrumPlot(0);
        AfxPumpMessages(10);
        ASSERT_NE(frame->SpectrumPlot[0], nullptr);
        frame->MDIActivate(frame->SpectrumPlot[0]);
        AfxPumpMessages(10);
    }
    // Runs File/Print into a PDF file; `edit` runs inside the annotation dialog before OK.
    void PrintTo(const std::filesystem::path& pdf, std::function<void(CDialog&)> edit = {},
                 const std::string& boxContaining = {})
    {
        user->Expect({PromptKind::Print, IDOK, pdf.string()});
        if (!boxContaining.empty())
            user->Expect({PromptKind::MessageBox, IDOK, "", 0, boxContaining});
        CDialog::ScriptModal([edit](CWnd& d) {
            auto& dialog = static_cast<CDialog&>(d);
            if (edit)
                edit(dialog);
            dialog.SendMessage(WM_COMMAND, IDOK, 0);
        });
        frame->ExecuteCommand(ID_FILE_PRINT);
        AfxPumpMessages(10);
    }
    std::string PdfText(const std::filesystem::path& pdf)
    {
        const auto txt = dir / "page.txt";
        const std::string cmd = "pdftotext -layout '" + pdf.string() + "' '" + txt.string() + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return ReadFile(txt);
    }
    // The page rendered at `dpi` dots per inch.
    QImage Render(const std::filesystem::path& pdf, int dpi)
    {
        const auto base = dir / "page";
        const std::string cmd = "pdftoppm -r " + std::to_string(dpi) + " -png -singlefile '" + pdf.string() + "' '" +
                                base.string() + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return QImage(QString::fromStdString(base.string() + ".png")).convertToFormat(QImage::Format_RGB32);
    }
    // Darkest grey level in a small square around (x, y).
    static int Darkest(const QImage& img, int x, int y, int r = 2)
    {
        int best = 255;
        for (int j = y - r; j <= y + r; ++j)
            for (int i = x - r; i <= x + r; ++i)
                if (i >= 0 && j >= 0 && i < img.width() && j < img.height())
                    best = std::min(best, qGray(img.pixel(i, j)));
        return best;
    }
};

} // namespace

TEST_F(Printing, PageHeaderChannelBoxTitlesAndCommentsOnTheRenderedPage)
{
    PrintSettings& p = frame->Settings.Print;
    p.MarginLeft = p.MarginRight = p.MarginTop = p.MarginBottom = 0.5f;
    frame->Settings.Processing[0].AverageBlocks = 10001;
    const auto pdf = dir / "page.pdf";
    PrintTo(pdf, [](CDialog& d) {
        d.SetDlgItemText(1857, "Loudspeaker Test");
        d.SetDlgItemText(1858, "Room Two");
        d.CheckDlgButton(1863, BST_CHECKED);
        d.SetDlgItemText(1864, "first comment\r\nsecond comment");
    });
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_TRUE(user->Unexpected().empty());

    const std::string text = PdfText(pdf);
    for (const char* want : {"Printed By: KDR-5200", "Channel: 0", "Sampling Rate: 4000", "FFT size: 1024",
                             "Averaging: Infinite", "Window: ", "Loudspeaker Test", "Room Two", "first comment",
                             "second comment"})
        EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
    EXPECT_FLOAT_EQ(p.MarginBottom, 0.5f) << "restored after the comment block enlarged it";
    EXPECT_EQ(std::string(p.Comment[1]), "second comment");

    // Landscape letter at 60 dpi: 660 x 510, the PDF printer's printable area a quarter inch
    // (15 dots) in from each edge, so each 0.5 in margin ends 45 dots in. The channel box is
    // 0.75 in high; the comment block's top is (trunc(600 x 1.4f) + 300) / 600 in above the
    // printable area's bottom, its bottom at the margin.
    const QImage img = Render(pdf, 60);
    ASSERT_EQ(img.width(), 660);
    ASSERT_EQ(img.height(), 510);
    EXPECT_LT(Darkest(img, 330, 45, 1), 128) << "box top";
    EXPECT_LT(Darkest(img, 330, 90, 1), 128) << "box bottom";
    EXPECT_LT(Darkest(img, 45, 70, 1), 128) << "box left";
    EXPECT_LT(Darkest(img, 615, 70, 1), 128) << "box right";
    const int blockTop = 15 + 480 - (839 + 300) * 60 / 600;
    EXPECT_LT(Darkest(img, 330, blockTop, 1), 128) << "comment block top";
    EXPECT_LT(Darkest(img, 330, 465, 1), 128) << "comment block bottom";
    EXPECT_GT(Darkest(img, 330, 480, 5), 200) << "nothing in the bottom margin";
    // Texts: the header right-aligned near the right margin, titles centred, comments inside the block.
    EXPECT_LT(Darkest(img, 600, 49, 3), 128) << "Printed By";
    EXPECT_LT(Darkest(img, 330, 49, 3), 128) << "title";
    EXPECT_LT(Darkest(img, 60, 386, 3), 128) << "first comment";
    EXPECT_GT(Darkest(img, 25, 250, 5), 200) << "nothing in the left margin";
}

TEST_F(Printing, AveragingUpToTenThousandIsShownAsANumber)
{
    frame->Settings.Processing[0].AverageBlocks = 10000;
    const auto pdf = dir / "avg.pdf";
    PrintTo(pdf);
    EXPECT_NE(PdfText(pdf).find("Averaging: 10000"), std::string::npos);
}

TEST_F(Printing, FirstPrintProposesTheDefaultPrinterInLandscape)
{
    ASSERT_EQ(frame->PrinterDevMode, nullptr);
    user->Expect({PromptKind::Print, IDCANCEL, ""});
    frame->ExecuteCommand(ID_FILE_PRINT);
    ASSERT_NE(frame->PrinterDevMode, nullptr) << "kept after a cancel";
    ASSERT_NE(frame->PrinterDevNames, nullptr);
    auto* dm = static_cast<DEVMODEA*>(GlobalLock(frame->PrinterDevMode));
    ASSERT_NE(dm, nullptr);
    EXPECT_EQ(dm->dmOrientation, DMORIENT_LANDSCAPE);
    GlobalUnlock(frame->PrinterDevMode);
}

TEST_F(Printing, ImpossibleMarginsAreReportedAndNothingIsPrinted)
{
    const auto pdf = dir / "none.pdf";
    PrintTo(
        pdf,
        [](CDialog& d) {
            d.SetDlgItemText(1859, "6");
            d.SetDlgItemText(1860, "6");
        },
        "margins");
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_EQ(user->Pending(), 0u);
    EXPECT_TRUE(frame->IsWindowEnabled());

    // A negative margin is refused by the dialog itself, which stays open until cancelled.
    user->Expect({PromptKind::Print, IDOK, pdf.string()});
    user->Expect({PromptKind::MessageBox, IDOK, "", 0, "The top margin must be between 0 and 10."});
    user->Expect({PromptKind::MessageBox, IDOK, "", 0, "The bottom margin: \"1/2\" is not a number."});
    const PrintSettings before = frame->Settings.Print;
    CDialog::ScriptModal([](CWnd& d) {
        auto& dialog = static_cast<CDialog&>(d);
        dialog.SetDlgItemText(1857, "Changed title");
        dialog.SetDlgItemText(1861, "-1");
        dialog.SendMessage(WM_COMMAND, IDOK, 0);
        dialog.SetDlgItemText(1861, "1");
        dialog.SetDlgItemText(1862, "1/2");
        dialog.SendMessage(WM_COMMAND, IDOK, 0);
        dialog.SendMessage(WM_COMMAND, IDCANCEL, 0);
    });
    frame->ExecuteCommand(ID_FILE_PRINT);
    AfxPumpMessages(10);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_EQ(user->Pending(), 0u);
    EXPECT_EQ(std::memcmp(&before, &frame->Settings.Print, sizeof before), 0);
}

TEST_F(Printing, APrinterThatFailsIsReportedAndTheFrameStaysUsable)
{
    frame->Settings.Print.MarginBottom = 0.5f;
    frame->Settings.Print.EnableCommentBlock = 1;
    const auto pdf = dir / "missing-folder" / "page.pdf";
    PrintTo(pdf, {}, "could not be started");
    EXPECT_EQ(user->Pending(), 0u);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_TRUE(frame->IsWindowEnabled());
    EXPECT_FLOAT_EQ(frame->Settings.Print.MarginBottom, 0.5f);
}

TEST_F(Printing, NoActivePlotPrintsNothingAndAsksNothing)
{
    frame->CloseSpectrumPlot(0);
    AfxPumpMessages(10);
    ASSERT_EQ(frame->MDIGetActive(), nullptr);
    frame->ExecuteCommand(ID_FILE_PRINT);
    EXPECT_TRUE(user->Shown().empty());
}

TEST_F(Printing, AnnotationDialogKeepsTenCommentLinesAndReadsMarginsAsNumbers)
{
    PrintSettings& p = frame->Settings.Print;
    std::string twelve;
    for (int i = 1; i <= 12; ++i)
        twelve += "line " + std::to_string(i) + (i < 12 ? "\r\n" : "");
    CDialog::ScriptModal([&](CWnd& d) {
        auto& dialog = static_cast<CDialog&>(d);
        std::string s;
        dialog.GetDlgItemText(1859, s);
        EXPECT_EQ(s, "1.00");
        dialog.SetDlgItemText(1864, twelve);
        dialog.SetDlgItemText(1860, " 0 ");
        dialog.SendMessage(WM_COMMAND, IDOK, 0);
    });
    frame->ExecuteCommand(ID_FILE_ANNOTATIONS);
    EXPECT_EQ(std::string(p.Comment[0]), "line 1");
    EXPECT_EQ(std::string(p.Comment[9]), "line 10");
    EXPECT_FLOAT_EQ(p.MarginRight, 0.0f);

    CDialog::ScriptModal([&](CWnd& d) {
        auto& dialog = static_cast<CDialog&>(d);
        std::string s;
        dialog.GetDlgItemText(1860, s);
        EXPECT_EQ(s, "0.00");
        dialog.SetDlgItemText(1864, "a\r\nb\r\nc");
        dialog.SendMessage(WM_COMMAND, IDOK, 0);
    });
    frame->ExecuteCommand(ID_FILE_ANNOTATIONS);
    EXPECT_EQ(std::string(p.Comment[2]), "c");
    for (int i = 3; i < 10; ++i)
        EXPECT_EQ(std::string(p.Comment[i]), "") << i;

    // Cancel changes nothing.
    const PrintSettings before = p;
    CDialog::ScriptModal([](CWnd& d) {
        static_cast<CDialog&>(d).SetDlgItemText(1857, "changed");
        d.SendMessage(WM_COMMAND, IDCANCEL, 0);
    });
    frame->ExecuteCommand(ID_FILE_ANNOTATIONS);
    EXPECT_EQ(std::memcmp(&before, &p, sizeof p), 0);
}

TEST_F(Printing, TheReverberationWindowPrintsWithChannelZerosBox)
{
    frame->Settings.Processing[0].FFTsize = 2048;
    frame->ExecuteCommand(ID_UTIL_RT60);
    AfxPumpMessages(10);
    ASSERT_NE(frame->ReverbWnd, nullptr);
    frame->MDIActivate(frame->GetUtilityWindow(17));
    AfxPumpMessages(10);
    const auto pdf = dir / "reverb.pdf";
    PrintTo(pdf);
    const std::string text = PdfText(pdf);
    EXPECT_NE(text.find("Channel: 0"), std::string::npos) << text;
    EXPECT_NE(text.find("FFT size: 2048"), std::string::npos) << text;
}

// Margins that leave the plot less room than the page header and a readable plot need are
// refused before anything is printed, on either side of the page; margins that leave the room
// print.
TEST_F(Printing, MarginsThatLeaveThePlotTooLittleRoomAreRefused)
{
    struct Case {
        const char *left, *right, *top, *bottom;
        bool prints;
    };
    int n = 0;
    for (const Case c : {Case{"4.25", "4.25", "0.5", "0.5", false}, Case{"5", "5", "0.5", "0.5", false},
                         Case{"0.5", "0.5", "3.5", "3.5", false}, Case{"0.5", "0.5", "0.5", "6", false},
                         Case{"1", "1", "1", "1", true}, Case{"3", "3", "2", "2", true}}) {
        SCOPED_TRACE(testing::Message() << c.left << " " << c.right << " " << c.top << " " << c.bottom);
        const auto pdf = dir / ("margins" + std::to_string(n++) + ".pdf");
        PrintTo(
            pdf,
            [c](CDialog& d) {
                d.SetDlgItemText(1859, c.left);
                d.SetDlgItemText(1860, c.right);
                d.SetDlgItemText(1861, c.top);
                d.SetDlgItemText(1862, c.bottom);
            },
            c.prints ? "" : "The margins leave no room for the plot on the page.");
        EXPECT_EQ(std::filesystem::exists(pdf), c.prints);
        EXPECT_EQ(user->Pending(), 0u);
        EXPECT_TRUE(frame->IsWindowEnabled());
    }
}
