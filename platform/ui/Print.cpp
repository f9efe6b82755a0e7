#include "platform/ui/Print.h"

#include "platform/core/MessageBox.h"
#include "platform/core/Responder.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/qt/GdiInternal.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTimer>
#include <QStandardPaths>

#include <cstring>
#include <string>

namespace {

DWORD g_lastError = 0;

// What a DEVMODE/DEVNAMES pair says, in one place.
struct Selection {
    std::string device;
    std::string output; // the PDF file for the PDF printer
    short orientation = DMORIENT_LANDSCAPE;
    short paper = DMPAPER_LETTER;
    short color = DMCOLOR_COLOR;
    short copies = 1;
    bool isDefault = false;
};

bool IsPdf(const std::string& device) { return device.empty() || device == kPdfPrinterName; }

Selection DefaultSelection()
{
    Selection s;
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    s.device = info.isNull() ? std::string(kPdfPrinterName) : info.printerName().toStdString();
    s.isDefault = true;
    s.orientation = DMORIENT_PORTRAIT;
    if (!info.isNull()) {
        const QPageSize ps = info.defaultPageSize();
        if (ps.id() == QPageSize::A4)
            s.paper = DMPAPER_A4;
        s.color = info.defaultColorMode() == QPrinter::GrayScale ? DMCOLOR_MONOCHROME : DMCOLOR_COLOR;
    }
    return s;
}

Selection ReadSelection(HGLOBAL devMode, HGLOBAL devNames)
{
    Selection s = DefaultSelection();
    if (devMode && GlobalSize(devMode) >= sizeof(DEVMODEA)) {
        if (auto* dm = static_cast<const DEVMODEA*>(GlobalLock(devMode))) {
            if (dm->dmFields & DM_ORIENTATION)
                s.orientation = dm->dmOrientation;
            if (dm->dmFields & DM_PAPERSIZE)
                s.paper = dm->dmPaperSize;
            if (dm->dmFields & DM_COLOR)
                s.color = dm->dmColor;
            if (dm->dmFields & DM_COPIES)
                s.copies = dm->dmCopies > 0 ? dm->dmCopies : 1;
            char name[CCHDEVICENAME + 1] = {};
            std::memcpy(name, dm->dmDeviceName, CCHDEVICENAME);
            if (name[0])
                s.device = name;
            GlobalUnlock(devMode);
        }
    }
    if (devNames) {
        const std::string dev = DevNamesDevice(devNames);
        if (!dev.empty())
            s.device = dev;
        s.output = DevNamesOutput(devNames);
        if (auto* dn = static_cast<const DEVNAMES*>(GlobalLock(devNames))) {
            s.isDefault = dn->wDefault & DN_DEFAULTPRN;
            GlobalUnlock(devNames);
        }
    }
    return s;
}

// Writes the selection into the caller's blocks, allocating them when null.
bool WriteSelection(const Selection& s, HGLOBAL& devMode, HGLOBAL& devNames)
{
    HGLOBAL dm = devMode ? GlobalReAlloc(devMode, sizeof(DEVMODEA), 0) : GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVMODEA));
    if (!dm)
        return false;
    devMode = dm;
    if (auto* p = static_cast<DEVMODEA*>(GlobalLock(dm))) {
        *p = DEVMODEA{};
        std::strncpy(p->dmDeviceName, s.device.c_str(), CCHDEVICENAME - 1);
        p->dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COLOR | DM_COPIES;
        p->dmOrientation = s.orientation;
        p->dmPaperSize = s.paper;
        p->dmColor = s.color;
        p->dmCopies = s.copies;
        GlobalUnlock(dm);
    }
    const std::string driver = IsPdf(s.device) ? "PDF" : "CUPS";
    const size_t bytes = sizeof(DEVNAMES) + driver.size() + 1 + s.device.size() + 1 + s.output.size() + 1;
    if (bytes > 0xFFFF)
        return false;
    HGLOBAL dn = devNames ? GlobalReAlloc(devNames, bytes, GMEM_ZEROINIT) : GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!dn)
        return false;
    devNames = dn;
    if (auto* base = static_cast<char*>(GlobalLock(dn))) {
        std::memset(base, 0, bytes);
        auto* h = reinterpret_cast<DEVNAMES*>(base);
        size_t at = sizeof(DEVNAMES);
        auto put = [&](const std::string& text) {
            const WORD off = WORD(at);
            std::memcpy(base + at, text.c_str(), text.size() + 1);
            at += text.size() + 1;
            return off;
        };
        h->wDriverOffset = put(driver);
        h->wDeviceOffset = put(s.device);
        h->wOutputOffset = put(s.output);
        h->wDefault = s.isDefault ? DN_DEFAULTPRN : 0;
        GlobalUnlock(dn);
    }
    return true;
}

std::string DevNamesString(HGLOBAL devNames, int which)
{
    const size_t size = GlobalSize(devNames);
    if (size < sizeof(DEVNAMES))
        return {};
    std::string out;
    if (auto* base = static_cast<const char*>(GlobalLock(devNames))) {
        auto* h = reinterpret_cast<const DEVNAMES*>(base);
        const size_t off = which == 0 ? h->wDriverOffset : which == 1 ? h->wDeviceOffset : h->wOutputOffset;
        if (off >= sizeof(DEVNAMES) && off < size) {
            const char* s = base + off;
            out.assign(s, strnlen(s, size - off));
        }
        GlobalUnlock(devNames);
    }
    return out;
}

QPageSize::PageSizeId PageOf(short paper)
{
    switch (paper) {
    case DMPAPER_A4: return QPageSize::A4;
    case DMPAPER_A3: return QPageSize::A3;
    case DMPAPER_A5: return QPageSize::A5;
    case DMPAPER_LEGAL: return QPageSize::Legal;
    default: return QPageSize::Letter;
    }
}

short PaperOf(const QPageSize& ps)
{
    switch (ps.id()) {
    case QPageSize::A4: return DMPAPER_A4;
    case QPageSize::A3: return DMPAPER_A3;
    case QPageSize::A5: return DMPAPER_A5;
    case QPageSize::Legal: return DMPAPER_LEGAL;
    default: return DMPAPER_LETTER;
    }
}

// PDF pages get the unprintable edge paper printers have, so that both print alike; a real
// printer keeps its own.
constexpr double kEdgeMm = 6.35;

void Configure(QPrinter& p, const Selection& s)
{
    if (IsPdf(s.device)) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setResolution(600);
        if (!s.output.empty())
            p.setOutputFileName(QString::fromStdString(s.output));
    } else {
        p.setOutputFormat(QPrinter::NativeFormat);
        p.setPrinterName(QString::fromStdString(s.device));
    }
    p.setFullPage(false);
    p.setPageSize(QPageSize(PageOf(s.paper)));
    p.setPageOrientation(s.orientation == DMORIENT_LANDSCAPE ? QPageLayout::Landscape : QPageLayout::Portrait);
    if (IsPdf(s.device))
        p.setPageMargins(QMarginsF(kEdgeMm, kEdgeMm, kEdgeMm, kEdgeMm), QPageLayout::Millimeter);
    p.setColorMode(s.color == DMCOLOR_MONOCHROME ? QPrinter::GrayScale : QPrinter::Color);
    p.setCopyCount(s.copies);
}

Selection FromPrinter(const QPrinter& p, Selection s)
{
    if (p.outputFormat() == QPrinter::PdfFormat || !p.outputFileName().isEmpty()) {
        s.device = kPdfPrinterName;
        s.output = p.outputFileName().toStdString();
    } else {
        s.device = p.printerName().toStdString();
        s.output.clear();
    }
    s.orientation = p.pageLayout().orientation() == QPageLayout::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    s.paper = PaperOf(p.pageLayout().pageSize());
    s.color = p.colorMode() == QPrinter::GrayScale ? DMCOLOR_MONOCHROME : DMCOLOR_COLOR;
    s.copies = short(std::max(1, p.copyCount()));
    s.isDefault = false;
    return s;
}

bool HasScreen()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != "offscreen" && platform != "minimal";
}

// A PDF printout with no file yet: the user names it (and is asked before one is replaced).
// False when the choice is cancelled.
bool AskPdfFileName(const std::string& docName, std::string& chosen)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QDir::homePath();
    std::string name = docName.empty() ? "Printout" : docName;
    for (char& c : name)
        if (c == '/')
            c = '_';
    char file[1024] = {};
    std::snprintf(file, sizeof file, "%s.pdf", name.c_str());
    const std::string initialDir = dir.toStdString();
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = "PDF Files (*.pdf)\0*.pdf\0All Files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrInitialDir = initialDir.c_str();
    ofn.lpstrTitle = "Print to File";
    ofn.lpstrDefExt = "pdf";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&ofn))
        return false;
    chosen = file;
    return true;
}

} // namespace

std::string DevNamesDevice(HGLOBAL devNames) { return DevNamesString(devNames, 1); }
std::string DevNamesOutput(HGLOBAL devNames) { return DevNamesString(devNames, 2); }

DWORD PrintDlgLastError() { return g_lastError; }

HDC CreatePrinterDC(HGLOBAL devMode, HGLOBAL devNames)
{
    const Selection s = ReadSelection(devMode, devNames);
    auto dc = std::make_unique<DeviceContext>();
    dc->kind = DeviceContext::Kind::Printer;
    dc->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    Configure(*dc->printer, s);
    if (!IsPdf(s.device) && !dc->printer->isValid())
        return nullptr;
    dc->monochrome = s.color == DMCOLOR_MONOCHROME;
    dc->outputFile = s.output;
    return gdi::NewDC(std::move(dc));
}

BOOL PrintDlgA(PRINTDLGA* pd)
{
    g_lastError = 0;
    if (!pd || pd->lStructSize < sizeof(PRINTDLGA)) {
        g_lastError = PDERR_SETUPFAILURE;
        return FALSE;
    }
    pd->hDC = nullptr;
    if (pd->Flags & PD_RETURNDEFAULT) {
        // As on Windows, the caller passes empty handles and gets the default printer's.
        if (pd->hDevMode || pd->hDevNames) {
            g_lastError = PDERR_RETDEFFAILURE;
            return FALSE;
        }
        if (!WriteSelection(DefaultSelection(), pd->hDevMode, pd->hDevNames)) {
            g_lastError = PDERR_SETUPFAILURE;
            return FALSE;
        }
    } else {
        Selection s = ReadSelection(pd->hDevMode, pd->hDevNames);
        const bool setup = pd->Flags & PD_PRINTSETUP;
        bool ok = false;
        if (Responder* r = Responder::Current()) {
            Prompt prompt;
            prompt.kind = setup ? PromptKind::PrintSetup : PromptKind::Print;
            prompt.text = setup ? "Print Setup" : "Print";
            prompt.initial = IsPdf(s.device) ? s.output : s.device;
            const ScriptedAnswer a = r->Answer(prompt);
            ok = a.code == IDOK;
            if (ok && !a.path.empty()) {
                s.device = kPdfPrinterName;
                s.output = a.path;
                s.isDefault = false;
            }
        } else if (HasScreen()) {
            QPrinter printer(QPrinter::HighResolution);
            Configure(printer, s);
            QPrintDialog dialog(&printer, QApplication::activeWindow());
            dialog.setWindowTitle(setup ? "Print Setup" : "Print");
            QAbstractPrintDialog::PrintDialogOptions options;
            if (!(pd->Flags & PD_NOSELECTION))
                options |= QAbstractPrintDialog::PrintSelection;
            if (!(pd->Flags & PD_NOPAGENUMS))
                options |= QAbstractPrintDialog::PrintPageRange;
            // Without any printer, a file is the only place a printout can go.
            if ((!(pd->Flags & PD_HIDEPRINTTOFILE) && !(pd->Flags & PD_DISABLEPRINTTOFILE)) ||
                QPrinterInfo::availablePrinters().isEmpty())
                options |= QAbstractPrintDialog::PrintToFile;
            options |= QAbstractPrintDialog::PrintShowPageSize;
            dialog.setOptions(options);
            if (setup) {
                // Setting up prints nothing: the accepting button says OK.
                QTimer::singleShot(0, &dialog, [&dialog] {
                    for (QPushButton* b : dialog.findChildren<QPushButton*>())
                        if (b->text().remove('&') == "Print")
                            b->setText("OK");
                });
            }
            ok = dialog.exec() == QDialog::Accepted;
            if (ok)
                s = FromPrinter(printer, s);
        } else {
            // No screen and nobody to answer: nothing can be chosen.
            std::fprintf(stderr, "%s dialog: no display; cancelled\n", setup ? "Print Setup" : "Print");
        }
        if (!ok)
            return FALSE;
        if (!WriteSelection(s, pd->hDevMode, pd->hDevNames)) {
            g_lastError = PDERR_SETUPFAILURE;
            return FALSE;
        }
    }
    if (pd->Flags & (PD_RETURNDC | PD_RETURNIC)) {
        pd->hDC = CreatePrinterDC(pd->hDevMode, pd->hDevNames);
        if (!pd->hDC) {
            g_lastError = PDERR_CREATEICFAILURE;
            AfxMessageBox("The printer \"" + DevNamesDevice(pd->hDevNames) + "\" is not available.",
                          MB_OK | MB_ICONERROR);
            return FALSE;
        }
    }
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Print jobs on a printer context

int CDC::StartDoc(const char* docName)
{
    DOCINFOA info;
    info.lpszDocName = docName;
    return StartDoc(&info);
}

int CDC::StartDoc(const DOCINFOA* info)
{
    auto* dc = Context();
    if (!dc || dc->kind != DeviceContext::Kind::Printer || !dc->printer || dc->docStarted)
        return -1;
    const std::string name = info && info->lpszDocName ? info->lpszDocName : "";
    dc->printer->setDocName(QString::fromStdString(name));
    if (info && info->lpszOutput && *info->lpszOutput) {
        dc->printer->setOutputFormat(QPrinter::PdfFormat);
        dc->printer->setOutputFileName(QString::fromUtf8(info->lpszOutput));
    } else if (dc->printer->outputFormat() == QPrinter::PdfFormat && dc->printer->outputFileName().isEmpty()) {
        std::string chosen;
        if (!AskPdfFileName(name, chosen))
            return -1; // cancelled: nothing is printed
        dc->printer->setOutputFileName(QString::fromStdString(chosen));
        dc->askedOutput = true;
    }
    dc->outputFile = dc->printer->outputFileName().toStdString();
    dc->painter = std::make_unique<QPainter>();
    if (!dc->painter->begin(dc->printer.get())) {
        dc->painter.reset();
        const std::string where = dc->outputFile.empty() ? dc->printer->printerName().toStdString() : dc->outputFile;
        AfxMessageBox("The print job could not be started on \"" + where + "\".", MB_OK | MB_ICONERROR);
        return -1;
    }
    dc->docStarted = true;
    dc->pageOpen = false;
    dc->pagesStarted = 0;
    return 1;
}

int CDC::StartPage()
{
    auto* dc = Context();
    if (!dc || !dc->docStarted || dc->pageOpen)
        return -1;
    // The first page is begun by the job itself.
    if (dc->pagesStarted > 0 && !dc->printer->newPage()) {
        AfxMessageBox("The printer could not start a new page.", MB_OK | MB_ICONERROR);
        return -1;
    }
    ++dc->pagesStarted;
    dc->pageOpen = true;
    return 1;
}

int CDC::EndPage()
{
    auto* dc = Context();
    if (!dc || !dc->docStarted || !dc->pageOpen)
        return -1;
    dc->pageOpen = false;
    return 1;
}

int CDC::EndDoc()
{
    auto* dc = Context();
    if (!dc || !dc->docStarted)
        return -1;
    dc->pageOpen = false;
    dc->docStarted = false;
    const bool ended = dc->painter->end();
    dc->painter.reset();
    if (!ended || dc->printer->printerState() == QPrinter::Error) {
        AfxMessageBox("The printer reported an error; the printout may be incomplete.", MB_OK | MB_ICONERROR);
        return -1;
    }
    if (dc->askedOutput) {
        dc->askedOutput = false;
        AfxMessageBox("The printout was saved as \"" + dc->outputFile + "\".", MB_OK | MB_ICONINFORMATION);
    }
    return 1;
}

int CDC::AbortDoc()
{
    auto* dc = Context();
    if (!dc || !dc->docStarted)
        return -1;
    dc->printer->abort();
    if (dc->painter && dc->painter->isActive())
        dc->painter->end();
    dc->painter.reset();
    dc->docStarted = false;
    dc->pageOpen = false;
    // A PDF cut short is no document: remove it.
    if (!dc->outputFile.empty())
        QFile::remove(QString::fromStdString(dc->outputFile));
    return 1;
}

BOOL CDC::IsPrinting() const
{
    auto* dc = Context();
    return dc && dc->docStarted ? TRUE : FALSE;
}
