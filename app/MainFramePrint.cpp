// Printing the active plot on one page: page header, channel box, titles, the optional
// comment block, then the plot itself inside the margins.
#include "app/CMainFrame.h"
#include "app/CPrintAnnotationDialog.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"
#include "platform/core/Resources.h"
#include "platform/ui/Print.h"
#include "plots/TPlotBase.h"
#include "res/resource.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

namespace {
struct PageGeometry {
    int W = 0, H = 0, Px = 0, Py = 0;
    int left = 0, right = 0, top = 0, bottom = 0;
    int fontHeight = 0, lineStep = 0;
};

PageGeometry Geometry(CDC* dc, const PrintSettings& p)
{
    PageGeometry g;
    g.W = dc->GetDeviceCaps(HORZRES);
    g.H = dc->GetDeviceCaps(VERTRES);
    g.Px = dc->GetDeviceCaps(LOGPIXELSX);
    g.Py = dc->GetDeviceCaps(LOGPIXELSY);
    g.left = static_cast<int>(g.Px * p.MarginLeft);
    g.right = static_cast<int>(g.Px * p.MarginRight);
    g.top = static_cast<int>(g.Py * p.MarginTop);
    g.bottom = static_cast<int>(g.Py * p.MarginBottom);
    g.fontHeight = -(g.Py * 9 / 72);
    g.lineStep = static_cast<int>(g.fontHeight * -1.1);
    return g;
}

void MakeFont(CFont& font, const PageGeometry& g, bool italic)
{
    font.CreateFont(g.fontHeight, 0, 0, 0, 0, italic ? 1 : 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
}

// The page font and a text alignment for one part of the page, both put back when the part
// is drawn.
class PageText {
public:
    PageText(CDC* dc, const PageGeometry& g, bool italic, UINT align) : dc_(dc)
    {
        MakeFont(font_, g, italic);
        oldFont_ = dc_->SelectObject(&font_);
        oldAlign_ = dc_->SetTextAlign(align);
    }
    ~PageText()
    {
        dc_->SetTextAlign(oldAlign_);
        dc_->SelectObject(oldFont_);
    }
    PageText(const PageText&) = delete;
    PageText& operator=(const PageText&) = delete;

private:
    CDC* dc_;
    CFont font_;
    CFont* oldFont_ = nullptr;
    UINT oldAlign_ = 0;
};

// A box drawn as its outline only: filled, it would cover the lines inside it.
void OutlineBox(CDC* dc, int left, int top, int right, int bottom)
{
    CGdiObject* oldBrush = dc->SelectStockObject(NULL_BRUSH);
    dc->Rectangle(left, top, right, bottom);
    dc->SelectObject(oldBrush);
}

std::string AppName() { return LoadResourceString(AFX_IDS_APP_TITLE); }

// The comment block's height: ten lines of 0.14 inch, the factor kept in single precision.
int CommentBlockHeight(const PageGeometry& g)
{
    const float tenLines = 0.14f * 10.0f;
    return static_cast<int>(g.Py * tenLines) + g.bottom;
}
} // namespace

// ---- Page parts -----------------------------------------------------------------------

void CMainFrame::PrintPageHeader(CDC* dc)
{
    const PageGeometry g = Geometry(dc, Settings.Print);
    const PageText text(dc, g, true, TA_RIGHT);
    const int x = g.W - g.right - 10;
    dc->TextOut(x, g.top + 6, "Printed By: " + AppName());
    const std::time_t now = std::time(nullptr);
    std::string stamp = std::ctime(&now);
    // The text is drawn on one line: its trailing newline has no glyph to show.
    if (!stamp.empty() && stamp.back() == '\n')
        stamp.pop_back();
    dc->TextOut(x, g.top + 6 + 2 * g.lineStep, stamp);
}

void CMainFrame::PrintChannelInfo(CDC* dc, int channel, bool composite)
{
    const PageGeometry g = Geometry(dc, Settings.Print);
    const PageText text(dc, g, false, TA_LEFT);

    // A composite's box shows the input record of its index; composites past the eight input
    // records show their source channel's.
    int record = std::clamp(channel, 0, kChannels - 1);
    char line[128];
    if (composite) {
        const int index = std::clamp(channel >= kComposites ? channel - 8 : channel, 0, kComposites - 1);
        std::snprintf(line, sizeof line, "Composite Channel: %c", 'A' + index);
        record = index < kChannels ? index : std::clamp(GetCompositeSource(index), 0, kChannels - 1);
    } else {
        std::snprintf(line, sizeof line, "Channel: %d", channel);
    }
    const ChannelProcessingSettings& p = Settings.Processing[record];
    const int x = g.left + 10;
    int k = 0;
    auto out = [&](const char* text) { dc->TextOut(x, g.top + 6 + k++ * g.lineStep, text); };
    out(line);
    std::snprintf(line, sizeof line, "Sampling Rate: %d", static_cast<int>(p.SampleFormat.SampleRate));
    out(line);
    std::snprintf(line, sizeof line, "FFT size: %d", static_cast<int>(p.FFTsize));
    out(line);
    if (p.AverageBlocks <= 10000)
        std::snprintf(line, sizeof line, "Averaging: %d", static_cast<int>(p.AverageBlocks));
    else
        std::snprintf(line, sizeof line, "Averaging: Infinite");
    out(line);
    char name[64] = {};
    TSmoothing::GetTypeName(p.SmoothingWindow, name);
    std::snprintf(line, sizeof line, "Window: %s", name);
    out(line);

    OutlineBox(dc, g.left, g.top, g.W - g.right, g.top + static_cast<int>(g.Py * 0.75));
}

void CMainFrame::PrintTitles(CDC* dc)
{
    const PageGeometry g = Geometry(dc, Settings.Print);
    const PageText text(dc, g, false, TA_CENTER);
    const int x = (g.W - g.left - g.right) / 2 + g.left;
    dc->TextOut(x, g.top + 6, Settings.Print.Annotation1);
    dc->TextOut(x, g.top + 6 + g.lineStep, Settings.Print.Annotation2);
}

bool CMainFrame::MarginsFitPage(CDC& dc)
{
    // Margins that leave the plot less room than it needs would print an empty or garbled
    // page: the channel box and the page header side by side across the top (narrower, they
    // print over each other), and a plot of at least two by one and a half inches below the
    // header band.
    const PageGeometry g = Geometry(&dc, Settings.Print);
    const PrintSettings& m = Settings.Print;
    const int blockHeight = m.EnableCommentBlock ? CommentBlockHeight(g) : g.bottom;
    int headerWidth = 0;
    {
        const PageText text(&dc, g, true, TA_LEFT);
        headerWidth = std::max(dc.GetTextExtent("Printed By: " + AppName()).cx,
                               dc.GetTextExtent("Wed Sep 30 00:00:00 2026").cx);
    }
    int boxWidth = 0;
    {
        const PageText text(&dc, g, false, TA_LEFT);
        for (const char* line : {"Composite Channel: M", "Sampling Rate: 100000", "Averaging: Infinite"})
            boxWidth = std::max(boxWidth, static_cast<int>(dc.GetTextExtent(line).cx));
    }
    const int needWidth = std::max(10 + boxWidth + 2 * g.lineStep + headerWidth + 10, 2 * g.Px);
    const int needHeight = static_cast<int>(g.Py * 0.75) + g.Py * 3 / 2;
    if (m.MarginLeft < 0 || m.MarginRight < 0 || m.MarginTop < 0 || m.MarginBottom < 0 ||
        g.W - g.left - g.right < needWidth || g.H - g.top - blockHeight < needHeight) {
        AfxMessageBox("The margins leave no room for the plot on the page.  Please change them in "
                      "File/Annotations and Margins; nothing was printed.",
                      MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

void CMainFrame::PrintComments(CDC* dc)
{
    if (!Settings.Print.EnableCommentBlock)
        return;
    const PageGeometry g = Geometry(dc, Settings.Print);
    const int B = CommentBlockHeight(g);
    // The plot drawn afterwards ends above the block; the print command restores the margin.
    if (g.Py > 0)
        Settings.Print.MarginBottom = static_cast<float>(B) / static_cast<float>(g.Py);
    const PageText text(dc, g, false, TA_LEFT);
    for (int i = 0; i < 10; ++i)
        dc->TextOut(g.left + 10, g.H - B + i * g.lineStep + 10, Settings.Print.Comment[i]);
    OutlineBox(dc, g.left, g.H - B, g.W - g.right, g.H - g.bottom);
}

// ---- Printer choice -------------------------------------------------------------------

// The dialog reallocates the blocks it was given and returns them: the frame keeps whatever
// it returned.
void CMainFrame::KeepPrinterHandles(HGLOBAL devMode, HGLOBAL devNames)
{
    if (devMode)
        PrinterDevMode = devMode;
    if (devNames)
        PrinterDevNames = devNames;
}

bool CMainFrame::PrepareDefaultPrinter()
{
    if (PrinterDevMode && PrinterDevNames)
        return true;
    PRINTDLGA pd;
    pd.hwndOwner = GetSafeHwnd();
    pd.Flags = PD_RETURNDEFAULT;
    if (!PrintDlgA(&pd) || !pd.hDevMode || !pd.hDevNames) {
        AfxMessageBox("No printer is available.", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (auto* dm = static_cast<DEVMODEA*>(GlobalLock(pd.hDevMode))) {
        dm->dmOrientation = DMORIENT_LANDSCAPE;
        dm->dmFields |= DM_ORIENTATION;
        GlobalUnlock(pd.hDevMode);
    }
    KeepPrinterHandles(pd.hDevMode, pd.hDevNames);
    return true;
}

// ---- Commands -------------------------------------------------------------------------

void CMainFrame::OnFilePrint()
{
    if (AcquisitionRunning)
        OnStop();
    int kind = 0, channel = 0, composite = 0;
    GetActivePlot(&kind, &channel, &composite);
    CMDIChildWnd* child = MDIGetActive();
    if (!child)
        return;
    if (child->IsIconic()) {
        child->ShowWindow(SW_RESTORE);
        MDIActivate(child);
    }
    if (!PrepareDefaultPrinter())
        return;

    PRINTDLGA pd;
    pd.hwndOwner = GetSafeHwnd();
    pd.hDevMode = PrinterDevMode;
    pd.hDevNames = PrinterDevNames;
    pd.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE;
    const BOOL ok = PrintDlgA(&pd);
    KeepPrinterHandles(pd.hDevMode, pd.hDevNames);
    if (!ok || !pd.hDC) {
        if (ok)
            AfxMessageBox("The printer could not be prepared; nothing was printed.", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CDC dc;
    dc.Attach(pd.hDC);

    {
        CPrintAnnotationDialog dialog(this, &Settings.Print);
        if (dialog.DoModal() != IDOK)
            return;
    }

    if (!MarginsFitPage(dc))
        return;

    EnableWindow(FALSE);
    const float savedBottom = Settings.Print.MarginBottom;
    const std::string docName = AppName();
    bool failed = dc.StartDoc(docName.c_str()) <= 0;
    if (!failed)
        failed = dc.StartPage() <= 0;
    if (!failed) {
        PrintPageHeader(&dc);
        PrintChannelInfo(&dc, channel, composite != 0);
        PrintTitles(&dc);
        if (Settings.Print.EnableCommentBlock)
            PrintComments(&dc);
        if (auto* plot = dynamic_cast<TPlotBase*>(child))
            plot->PrintPlot(&dc, &Settings.Print, kind == 1 || kind == 2, 0);
        failed = dc.EndPage() <= 0;
    }
    // A failed step has been reported; the job is dropped rather than finished.
    if (failed)
        dc.AbortDoc();
    else
        dc.EndDoc();
    Settings.Print.MarginBottom = savedBottom;
    EnableWindow(TRUE);
}

void CMainFrame::OnFilePrintSetup()
{
    if (AcquisitionRunning)
        OnStop();
    if (!PrepareDefaultPrinter())
        return;
    PRINTDLGA pd;
    pd.hwndOwner = GetSafeHwnd();
    pd.hDevMode = PrinterDevMode;
    pd.hDevNames = PrinterDevNames;
    pd.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE |
               PD_PRINTSETUP;
    PrintDlgA(&pd);
    if (pd.hDC)
        DeleteDC(pd.hDC);
    KeepPrinterHandles(pd.hDevMode, pd.hDevNames);
}

void CMainFrame::OnFileAnnotations()
{
    if (AcquisitionRunning)
        OnStop();
    CPrintAnnotationDialog dialog(this, &Settings.Print);
    dialog.DoModal();
}
