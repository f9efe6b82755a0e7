// Printing: the print and print-setup dialog (PrintDlgA) and printer device contexts.
//
// The chosen printer travels in two movable memory blocks, a DEVMODEA (orientation, paper,
// colour, copies) and a DEVNAMES (driver, device and output names), as the dialog returns
// them; callers keep them between dialogs. Besides the system's printers there is always the
// printer "Print to File (PDF)", whose output name is the PDF file written. When a Responder
// is in force (tests), the dialogs ask it instead of showing a window: PromptKind::Print or
// PrintSetup, IDOK or IDCANCEL, and a path that names the PDF file to print to.
//
// Printer contexts draw with Qt onto the printer's pages in device pixels (600 per inch for
// PDF). Raster operations that read the page (XOR, AND, inversion) cannot be done on paper;
// sources are drawn as they are. User-interface thread only.
#pragma once

#include "platform/core/GlobalMemory.h"
#include "platform/ui/GdiDC.h"

constexpr int CCHDEVICENAME = 32;
constexpr int CCHFORMNAME = 32;

// dmFields bits.
constexpr DWORD DM_ORIENTATION = 0x00000001;
constexpr DWORD DM_PAPERSIZE = 0x00000002;
constexpr DWORD DM_COPIES = 0x00000100;
constexpr DWORD DM_PRINTQUALITY = 0x00000400;
constexpr DWORD DM_COLOR = 0x00000800;
constexpr DWORD DM_YRESOLUTION = 0x00002000;
constexpr DWORD DM_COLLATE = 0x00008000;
constexpr short DMORIENT_PORTRAIT = 1;
constexpr short DMORIENT_LANDSCAPE = 2;
constexpr short DMCOLOR_MONOCHROME = 1;
constexpr short DMCOLOR_COLOR = 2;
constexpr short DMPAPER_LETTER = 1;
constexpr short DMPAPER_LEGAL = 5;
constexpr short DMPAPER_A3 = 8;
constexpr short DMPAPER_A4 = 9;
constexpr short DMPAPER_A5 = 11;

struct DEVMODEA {
    char dmDeviceName[CCHDEVICENAME] = {};
    WORD dmSpecVersion = 0x0401;
    WORD dmDriverVersion = 0;
    WORD dmSize = sizeof(DEVMODEA);
    WORD dmDriverExtra = 0;
    DWORD dmFields = 0;
    short dmOrientation = DMORIENT_PORTRAIT;
    short dmPaperSize = DMPAPER_LETTER;
    short dmPaperLength = 0;
    short dmPaperWidth = 0;
    short dmScale = 100;
    short dmCopies = 1;
    short dmDefaultSource = 0;
    short dmPrintQuality = 0;
    short dmColor = DMCOLOR_COLOR;
    short dmDuplex = 1;
    short dmYResolution = 0;
    short dmTTOption = 0;
    short dmCollate = 0;
    char dmFormName[CCHFORMNAME] = {};
    WORD dmLogPixels = 0;
    DWORD dmBitsPerPel = 0;
    DWORD dmPelsWidth = 0;
    DWORD dmPelsHeight = 0;
    DWORD dmDisplayFlags = 0;
    DWORD dmDisplayFrequency = 0;
};
using DEVMODE = DEVMODEA;

// Offsets (in characters from the start of the block) of three zero-terminated names.
struct DEVNAMES {
    WORD wDriverOffset = 0;
    WORD wDeviceOffset = 0;
    WORD wOutputOffset = 0;
    WORD wDefault = 0;
};
constexpr WORD DN_DEFAULTPRN = 0x0001;

constexpr DWORD PD_ALLPAGES = 0x00000000;
constexpr DWORD PD_SELECTION = 0x00000001;
constexpr DWORD PD_PAGENUMS = 0x00000002;
constexpr DWORD PD_NOSELECTION = 0x00000004;
constexpr DWORD PD_NOPAGENUMS = 0x00000008;
constexpr DWORD PD_COLLATE = 0x00000010;
constexpr DWORD PD_PRINTTOFILE = 0x00000020;
constexpr DWORD PD_PRINTSETUP = 0x00000040;
constexpr DWORD PD_NOWARNING = 0x00000080;
constexpr DWORD PD_RETURNDC = 0x00000100;
constexpr DWORD PD_RETURNIC = 0x00000200;
constexpr DWORD PD_RETURNDEFAULT = 0x00000400;
constexpr DWORD PD_USEDEVMODECOPIESANDCOLLATE = 0x00040000;
constexpr DWORD PD_DISABLEPRINTTOFILE = 0x00080000;
constexpr DWORD PD_HIDEPRINTTOFILE = 0x00100000;

struct PRINTDLGA {
    DWORD lStructSize = sizeof(PRINTDLGA);
    void* hwndOwner = nullptr;
    HGLOBAL hDevMode = nullptr;
    HGLOBAL hDevNames = nullptr;
    HDC hDC = nullptr;
    DWORD Flags = 0;
    WORD nFromPage = 0;
    WORD nToPage = 0;
    WORD nMinPage = 0;
    WORD nMaxPage = 0;
    WORD nCopies = 1;
};
using PRINTDLG = PRINTDLGA;

// Error codes of the last PrintDlgA (CommDlgExtendedError's values; that function belongs to
// the file dialogs, so the print dialog reports through PrintDlgLastError).
constexpr DWORD PDERR_SETUPFAILURE = 0x1001;
constexpr DWORD PDERR_RETDEFFAILURE = 0x1009;
constexpr DWORD PDERR_NODEFAULTPRN = 0x1008;
constexpr DWORD PDERR_CREATEICFAILURE = 0x100A;

// The name of the always-present PDF printer.
inline constexpr const char* kPdfPrinterName = "Print to File (PDF)";

// Shows the print (or, with PD_PRINTSETUP, print-setup) dialog, or with PD_RETURNDEFAULT
// returns the default printer without one. TRUE when confirmed; the handles are then
// replaced (or filled in when null) and, with PD_RETURNDC, hDC holds a printer context the
// caller deletes. Cancelling leaves the handles as they were and returns FALSE.
BOOL PrintDlgA(PRINTDLGA* dialog);
inline BOOL PrintDlg(PRINTDLGA* dialog) { return PrintDlgA(dialog); }
// 0 after a success or a cancel, else one of the PDERR_ codes.
DWORD PrintDlgLastError();

// A printer context for the printer the two blocks describe (the default printer when both
// are null); null when it cannot be made.
HDC CreatePrinterDC(HGLOBAL devMode, HGLOBAL devNames);

// Reads the device and output names back from a DEVNAMES block (empty when invalid).
std::string DevNamesDevice(HGLOBAL devNames);
std::string DevNamesOutput(HGLOBAL devNames);
