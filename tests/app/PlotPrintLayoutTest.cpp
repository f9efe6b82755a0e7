// Every plot kind printed to a PDF keeps its texts inside the printed frame and apart from one
// another: read back word by word with pdftotext's boxes, and the page rendered by pdftoppm has
// no ink outside the frame but for the header band above it.
#include "LayoutFixture.h"

#include "platform/ui/Print.h"
#include "plots/TPlotBase.h"

#include "support/QtTestAccess.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

using namespace layouttest;

namespace {

struct Word {
    double x0, y0, x1, y1;
    std::string text;
};

class PlotPrintLayout : public FrameFixture {
protected:
    std::filesystem::path Print(TPlotBase* plot, const std::string& name)
    {
        frame->MDIActivate(plot);
        AfxPumpMessages(10);
        std::string file = name;
        std::replace(file.begin(), file.end(), ' ', '_');
        const auto pdf = dir / (file + ".pdf");
        user->Expect({PromptKind::Print, IDOK, pdf.string()});
        CDialog::ScriptModal([](CWnd& d) { static_cast<CDialog&>(d).SendMessage(WM_COMMAND, IDOK, 0); });
        frame->ExecuteCommand(ID_FILE_PRINT);
        AfxPumpMessages(10);
        // With DURNEX_SCREENSHOT_DIR set, the pages are kept there to be looked at.
        if (const char* keep = std::getenv("DURNEX_SCREENSHOT_DIR"); keep && *keep)
            std::filesystem::copy_file(pdf, std::filesystem::path(keep) / pdf.filename(),
                                       std::filesystem::copy_options::overwrite_existing);
        return pdf;
    }
    // The words of the page with their boxes in points, and the page's size.
    std::vector<Word> Words(const std::filesystem::path& pdf, double& width, double& height)
    {
        const auto html = dir / "words.html";
        EXPECT_EQ(std::system(("pdftotext -bbox '" + pdf.string() + "' '" + html.string() + "'").c_str()), 0);
        std::ifstream in(html);
        std::stringstream s;
        s << in.rdbuf();
        const std::string text = s.str();
        std::smatch m;
        const std::regex page(R"re(<page width="([0-9.]+)" height="([0-9.]+)")re");
        width = height = 0;
        if (std::regex_search(text, m, page)) {
            width = std::stod(m[1]);
            height = std::stod(m[2]);
        }
        std::vector<Word> words;
        const std::regex word(
            R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator(); ++it)
            words.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4]),
                             (*it)[5]});
        return words;
    }

    void ExpectLaidOutWell(TPlotBase* plot, const std::string& name)
    {
        ASSERT_NE(plot, nullptr) << name;
        const auto pdf = Print(plot, name);
        ASSERT_TRUE(std::filesystem::exists(pdf)) << name;
        double w = 0, h = 0;
        const std::vector<Word> words = Words(pdf, w, h);
        ASSERT_GT(w, 0) << name;
        const PrintSettings& p = frame->Settings.Print;
        // The frame, in points: the margins, with the header band added to the top one, within
        // the PDF printer's printable area (a quarter inch in from the paper's edges).
        const double edge = 18;
        const double left = edge + 72 * p.MarginLeft, right = w - edge - 72 * p.MarginRight;
        const double top = edge + 72 * (p.MarginTop + 0.75), bottom = h - edge - 72 * p.MarginBottom;
        std::vector<Word> inside;
        for (const Word& word : words) {
            if (word.y1 <= top + 1)
                continue; // the page header
            inside.push_back(word);
            EXPECT_TRUE(word.x0 >= left && word.x1 <= right && word.y1 <= bottom)
                << name << ": \"" << word.text << "\" at " << word.x0 << "," << word.y0 << " - " << word.x1 << ","
                << word.y1 << " leaves the frame " << left << "," << top << " - " << right << "," << bottom;
        }
        EXPECT_GE(inside.size(), 5u) << name;
        for (size_t i = 0; i < inside.size(); ++i)
            for (size_t j = i + 1; j < inside.size(); ++j) {
                const Word& a = inside[i];
                const Word& b = inside[j];
                const double ox = std::min(a.x1, b.x1) - std::max(a.x0, b.x0);
                const double oy = std::min(a.y1, b.y1) - std::max(a.y0, b.y0);
                EXPECT_FALSE(ox > 0.5 && oy > 0.5)
                    << name << ": \"" << a.text << "\" and \"" << b.text << "\" overlap (" << a.x0 << "," << a.y0
                    << " - " << a.x1 << "," << a.y1 << " and " << b.x0 << "," << b.y0 << " - " << b.x1 << ","
                    << b.y1 << ")";
            }

        // No ink outside the frame: left, right and below it.
        std::string file = name;
        std::replace(file.begin(), file.end(), ' ', '_');
        const auto base = dir / file;
        ASSERT_EQ(std::system(("pdftoppm -r 72 -gray -png -singlefile '" + pdf.string() + "' '" + base.string() + "'")
                                  .c_str()),
                  0);
        const QImage page = QImage(QString::fromStdString(base.string() + ".png")).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(page.isNull());
        int outside = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const bool out = x < left - 2 || x > right + 2 || (y > bottom + 2 && y < page.height());
                if (out && qGray(page.pixel(x, y)) < 160)
                    ++outside;
            }
        EXPECT_EQ(outside, 0) << name << ": ink outside the printed frame";
        // The frame itself is where it was taken to be: dark down its left edge.
        int dark = 0;
        for (int y = int(top) + 2; y < int(bottom) - 2; ++y)
            dark += qGray(page.pixel(int(std::lround(left)), y)) < 160 ? 1 : 0;
        EXPECT_GT(dark, int(bottom - top) * 9 / 10) << name << ": no frame at " << left;
    }
    void SetOrientation(short orientation)
    {
        ASSERT_NE(frame->PrinterDevMode, nullptr);
        auto* dm = static_cast<DEVMODEA*>(GlobalLock(frame->PrinterDevMode));
        ASSERT_NE(dm, nullptr);
        dm->dmOrientation = orientation;
        GlobalUnlock(frame->PrinterDevMode);
    }
};

} // namespace

TEST_F(PlotPrintLayout, EveryPlotKindKeepsItsTextsInsideTheFrameAndApart)
{
    const char* const names[] = {"", "series", "spectrum", "phase", "spectrogram", "surface"};
    for (int kind = 1; kind <= 5; ++kind)
        frame->OpenPlot(kind, 0, false);
    for (int kind = 2; kind <= 5; ++kind)
        frame->OpenPlot(kind, 0, true);
    // The first print proposes landscape; the second round is portrait, where the page is
    // narrow for the window.
    for (short orientation : {DMORIENT_LANDSCAPE, DMORIENT_PORTRAIT}) {
        const bool landscape = orientation == DMORIENT_LANDSCAPE;
        const std::string o = landscape ? "landscape " : "portrait ";
        if (!landscape)
            SetOrientation(orientation);
        for (int kind = 1; kind <= 5; ++kind)
            ExpectLaidOutWell(frame->GetPlot(kind, 0, false), o + names[kind]);
        for (int kind = 2; kind <= 5; ++kind)
            ExpectLaidOutWell(frame->GetPlot(kind, 0, true), o + "composite " + names[kind]);
    }
}

// The phase axis title turned on its side prints in the page's font, as tall as the other
// printed texts, not at the screen's size.
TEST_F(PlotPrintLayout, ThePhaseTitlePrintsAtThePagesFontSize)
{
    frame->OpenPlot(3, 0, false);
    TPlotBase* plot = frame->GetPlot(3, 0, false);
    ASSERT_NE(plot, nullptr);
    // Drawn on screen first, with the screen's font, in a small window: the page's font is
    // then much smaller in the window's units.
    plot->MoveWindow(0, 0, 420, 300);
    plot->RedrawWindow();
    AfxPumpMessages(10);
    double w = 0, h = 0;
    const std::vector<Word> words = Words(Print(plot, "phase title"), w, h);
    double turned = 0, upright = 0;
    for (const Word& word : words) {
        if (word.text == "Phase")
            turned = word.x1 - word.x0; // on its side: its width is the line's height
        if (word.text == "Frequency")
            upright = word.y1 - word.y0;
    }
    ASSERT_GT(turned, 0);
    ASSERT_GT(upright, 0);
    // pdftotext boxes a word on its side about a quarter wider than the same font upright.
    EXPECT_GT(turned / upright, 0.9) << turned << " against " << upright;
    EXPECT_LT(turned / upright, 1.5) << turned << " against " << upright;
}
