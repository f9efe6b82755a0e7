// The common dialogs: file open and save, and colour. Each first asks the Responder in force
// (tests script the answers that way) and shows a real Qt dialog only when there is none.
//
// File dialogs take the Windows forms of their arguments: filters written "Text|*.x|All|*.*||"
// (CFileDialog) or as NUL-separated pairs ending in two NULs (OPENFILENAMEA), a default
// extension, a start folder and a start name (which may be a wildcard such as "*.wav"), and
// the OFN_* options. Whatever shows the dialog, the answer is then checked the same way:
// must-exist options, the default extension and the overwrite question, each with a message
// box and the dialog asked again, as Windows does.
//
// A scripted file prompt records the title as its text, the start folder joined with the start
// name as its initial path, the filter as given ('|'-separated) and the OFN_* flags as its type.
// A scripted colour prompt records "Color" as its text, the initial COLORREF as "0x%08X" in its
// initial field and the CC_* flags as its type.
//
// User-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"
#include "platform/ui/Wnd.h"

#include <string>
#include <vector>

using INT_PTR = std::intptr_t;

// OPENFILENAME options.
constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_SHOWHELP = 0x00000010;
constexpr DWORD OFN_NOVALIDATE = 0x00000100;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_EXTENSIONDIFFERENT = 0x00000400;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_CREATEPROMPT = 0x00002000;
constexpr DWORD OFN_NOREADONLYRETURN = 0x00008000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD OFN_ENABLESIZING = 0x00800000;

// CommDlgExtendedError codes.
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;
constexpr DWORD CDERR_INITIALIZATION = 0x0002;

struct OPENFILENAMEA {
    DWORD lStructSize = sizeof(OPENFILENAMEA);
    HWND hwndOwner = nullptr;
    HINSTANCE hInstance = nullptr;
    LPCSTR lpstrFilter = nullptr;     // "Desc\0*.x\0Desc\0*.y\0\0"
    LPSTR lpstrCustomFilter = nullptr;
    DWORD nMaxCustFilter = 0;
    DWORD nFilterIndex = 0;           // 1-based; 0 means the first
    LPSTR lpstrFile = nullptr;        // in: start name; out: the chosen path
    DWORD nMaxFile = 0;
    LPSTR lpstrFileTitle = nullptr;   // out: the chosen name without its folder
    DWORD nMaxFileTitle = 0;
    LPCSTR lpstrInitialDir = nullptr;
    LPCSTR lpstrTitle = nullptr;
    DWORD Flags = 0;
    WORD nFileOffset = 0;
    WORD nFileExtension = 0;
    LPCSTR lpstrDefExt = nullptr;
};
using OPENFILENAME = OPENFILENAMEA;
using LPOPENFILENAMEA = OPENFILENAMEA*;

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn);
// 0 after a success or a cancel; FNERR_BUFFERTOOSMALL when the chosen path did not fit.
DWORD CommDlgExtendedError();

// The MFC file dialog. The name buffer is the object's own; m_ofn may be changed before DoModal
// (title, start folder, options) as callers of the class do.
class CFileDialog {
public:
    explicit CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR lpszFilter = nullptr,
                         CWnd* pParentWnd = nullptr);
    virtual ~CFileDialog() = default;
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    virtual INT_PTR DoModal(); // IDOK or IDCANCEL

    std::string GetPathName() const;  // the full path chosen
    std::string GetFileName() const;  // its name with extension
    std::string GetFileExt() const;   // its extension without the dot
    std::string GetFileTitle() const; // its name without extension
    std::string GetFolderPath() const;

    OPENFILENAMEA m_ofn;

private:
    bool open_;
    std::string filter_;  // '\0'-separated copy of the filter
    std::string defExt_;
    std::vector<char> file_;
    std::string path_;
};

// CHOOSECOLOR options.
constexpr DWORD CC_RGBINIT = 0x00000001;
constexpr DWORD CC_FULLOPEN = 0x00000002;
constexpr DWORD CC_PREVENTFULLOPEN = 0x00000004;
constexpr DWORD CC_SHOWHELP = 0x00000008;
constexpr DWORD CC_SOLIDCOLOR = 0x00000080;
constexpr DWORD CC_ANYCOLOR = 0x00000100;

struct CHOOSECOLORA {
    DWORD lStructSize = sizeof(CHOOSECOLORA);
    HWND hwndOwner = nullptr;
    HWND hInstance = nullptr;
    COLORREF rgbResult = 0;           // in (with CC_RGBINIT) and out
    COLORREF* lpCustColors = nullptr; // 16 entries, read and written
    DWORD Flags = 0;
};
using CHOOSECOLOR = CHOOSECOLORA;

BOOL ChooseColorA(CHOOSECOLORA* cc);

class CColorDialog {
public:
    explicit CColorDialog(COLORREF clrInit = 0, DWORD dwFlags = 0, CWnd* pParentWnd = nullptr);
    virtual ~CColorDialog() = default;

    virtual INT_PTR DoModal();
    COLORREF GetColor() const { return m_cc.rgbResult; }
    void SetCurrentColor(COLORREF clr) { m_cc.rgbResult = clr; m_cc.Flags |= CC_RGBINIT; }
    // The 16 custom colours shared by every colour dialog of the process.
    static COLORREF* GetSavedCustomColors();

    CHOOSECOLORA m_cc;
};

// The pieces of the file dialogs, open for tests.
namespace filedlg {

struct FilterEntry {
    std::string description;
    std::vector<std::string> patterns; // "*.wav", "*"
};

// Splits "Desc|pat;pat|Desc|pat||" (or the NUL-separated form turned into '|'). An entry
// written without a pattern lists the "*.x" patterns named in its description, or everything.
std::vector<FilterEntry> ParseFilter(const std::string& barSeparated);
// Qt's form: "Desc (*.a *.b);;Other (*)". Windows' "*.*" means every file, so it becomes "*".
std::string ToQtFilter(const std::vector<FilterEntry>& entries);
// "wav" from "wav", ".wav" or "*.wav"; empty for a wildcard such as "*.*" or "*".
std::string CleanDefaultExtension(const std::string& defExt);
// The path with the default extension added when its file name has no extension.
std::string ApplyDefaultExtension(const std::string& path, const std::string& defExt);
// True when a start name is a pattern rather than a file name.
bool IsWildcard(const std::string& name);

} // namespace filedlg
