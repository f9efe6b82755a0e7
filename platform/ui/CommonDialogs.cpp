#include "platform/ui/CommonDialogs.h"

#include "platform/core/MessageBox.h"
#include "platform/core/Responder.h"
#include "platform/ui/qt/QtAccess.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QWidget>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

DWORD g_lastError = 0;

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// The NUL-separated filter of an OPENFILENAMEA as "a|b|c||".
std::string BarsFromNulSeparated(LPCSTR filter)
{
    std::string out;
    if (!filter)
        return out;
    const char* p = filter;
    while (*p) {
        const std::size_t n = std::strlen(p);
        out.append(p, n);
        out += '|';
        p += n + 1;
    }
    out += '|';
    return out;
}

QWidget* OwnerWidget(HWND owner)
{
    CWnd* wnd = CWnd::FromHandle(owner);
    return wnd ? QtWidgetOf(wnd) : nullptr;
}

struct FileRequest {
    bool open = true;
    std::string title;
    std::string filterBars;
    std::string defExt;
    std::string initialDir;
    std::string initialName;
    DWORD flags = 0;
    int filterIndex = 0;
    HWND owner = nullptr;
};

// One answer from the user (scripted or real): the path chosen, or nothing on cancel.
std::optional<std::string> AskOnce(const FileRequest& r, const std::string& startName)
{
    std::string start = r.initialDir;
    if (!startName.empty() && !filedlg::IsWildcard(startName)) {
        const fs::path n(startName);
        start = n.is_absolute() || start.empty() ? startName : (fs::path(start) / n).string();
    }

    if (Responder* responder = Responder::Current()) {
        Prompt p;
        p.kind = r.open ? PromptKind::FileOpen : PromptKind::FileSave;
        p.text = r.title;
        p.initial = r.initialDir.empty() ? startName : (fs::path(r.initialDir) / startName).string();
        p.filter = r.filterBars;
        p.type = r.flags;
        const ScriptedAnswer a = responder->Answer(p);
        if (a.code != IDOK || a.path.empty())
            return std::nullopt;
        const fs::path chosen(a.path);
        if (chosen.is_relative() && !r.initialDir.empty())
            return (fs::path(r.initialDir) / chosen).string();
        return a.path;
    }

    const auto entries = filedlg::ParseFilter(r.filterBars);
    const QString qtFilter = QString::fromStdString(filedlg::ToQtFilter(entries));
    QFileDialog dialog(OwnerWidget(r.owner),
                       QString::fromStdString(r.title.empty() ? (r.open ? "Open" : "Save As") : r.title),
                       QString::fromStdString(start.empty() ? r.initialDir : start), qtFilter);
    dialog.setAcceptMode(r.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(r.open && (r.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The overwrite question is asked below, the same way for scripted and real answers.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QStringList filters = qtFilter.split(QStringLiteral(";;"));
    if (r.filterIndex > 0 && r.filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(r.filterIndex - 1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

// Asks until the answer passes the options' checks or the user cancels.
std::optional<std::string> RunFileDialog(const FileRequest& r)
{
    std::string startName = r.initialName;
    for (;;) {
        std::optional<std::string> answer = AskOnce(r, startName);
        if (!answer)
            return std::nullopt;
        std::string path = filedlg::ApplyDefaultExtension(*answer, r.defExt);
        const fs::path p(path);
        std::error_code ec;
        const bool exists = fs::exists(p, ec);
        const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
        startName = p.filename().string();
        if ((r.flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && !fs::is_directory(folder, ec)) {
            MessageBoxA(r.owner, path + "\nPath does not exist.\nCheck the path and try again.", r.title,
                        MB_OK | MB_ICONWARNING);
            continue;
        }
        if ((r.flags & OFN_FILEMUSTEXIST) && r.open && !exists) {
            MessageBoxA(r.owner, path + "\nFile not found.\nCheck the file name and try again.", r.title,
                        MB_OK | MB_ICONWARNING);
            continue;
        }
        if (exists && fs::is_directory(p, ec)) {
            // A folder is not a file to open or save; Windows would step into it.
            MessageBoxA(r.owner, path + "\nis a folder.\nChoose a file name.", r.title, MB_OK | MB_ICONWARNING);
            continue;
        }
        if (!r.open && exists && (r.flags & OFN_OVERWRITEPROMPT)) {
            if (MessageBoxA(r.owner, p.filename().string() + " already exists.\nDo you want to replace it?", r.title,
                            MB_YESNO | MB_ICONWARNING) != IDYES)
                continue;
        }
        return path;
    }
}

BOOL RunOpenFileName(OPENFILENAMEA* ofn, bool open)
{
    g_lastError = 0;
    if (!ofn) {
        g_lastError = CDERR_INITIALIZATION;
        return FALSE;
    }
    FileRequest r;
    r.open = open;
    r.title = ofn->lpstrTitle ? ofn->lpstrTitle : "";
    r.filterBars = BarsFromNulSeparated(ofn->lpstrFilter);
    r.defExt = ofn->lpstrDefExt ? ofn->lpstrDefExt : "";
    r.initialDir = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : "";
    if (ofn->lpstrFile && ofn->nMaxFile > 0)
        r.initialName.assign(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile));
    // A start name that carries its folder starts there.
    if (!filedlg::IsWildcard(r.initialName) && r.initialName.find('/') != std::string::npos) {
        const fs::path n(r.initialName);
        if (n.has_parent_path()) {
            r.initialDir = n.parent_path().string();
            r.initialName = n.filename().string();
        }
    }
    r.flags = ofn->Flags;
    r.filterIndex = static_cast<int>(ofn->nFilterIndex);
    r.owner = ofn->hwndOwner;

    const std::optional<std::string> path = RunFileDialog(r);
    if (!path)
        return FALSE;
    // A path that does not fit the caller's buffer is refused rather than cut short.
    if (!ofn->lpstrFile || path->size() + 1 > ofn->nMaxFile) {
        g_lastError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::memcpy(ofn->lpstrFile, path->c_str(), path->size() + 1);
    const fs::path p(*path);
    const std::string name = p.filename().string();
    ofn->nFileOffset = static_cast<WORD>(path->size() - name.size());
    const auto dot = name.rfind('.');
    ofn->nFileExtension = static_cast<WORD>(dot == std::string::npos ? path->size() : ofn->nFileOffset + dot + 1);
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
        const std::size_t n = std::min<std::size_t>(name.size(), ofn->nMaxFileTitle - 1);
        std::memcpy(ofn->lpstrFileTitle, name.data(), n);
        ofn->lpstrFileTitle[n] = '\0';
    }
    return TRUE;
}

std::array<COLORREF, 16>& CustomColors()
{
    static std::array<COLORREF, 16> colors = [] {
        std::array<COLORREF, 16> c{};
        c.fill(RGB(255, 255, 255));
        return c;
    }();
    return colors;
}

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
COLORREF FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

} // namespace

namespace filedlg {

bool IsWildcard(const std::string& name)
{
    return name.find_first_of("*?") != std::string::npos;
}

std::vector<FilterEntry> ParseFilter(const std::string& barSeparated)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : barSeparated) {
        if (c == '|' || c == '\0') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        parts.push_back(cur);

    std::vector<FilterEntry> out;
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        FilterEntry e;
        e.description = Trim(parts[i]);
        if (e.description.empty())
            break; // "||" ends the list
        std::string patterns = i + 1 < parts.size() ? parts[i + 1] : std::string();
        if (Trim(patterns).empty()) {
            // No pattern given: list what the description names, e.g. "Reverb Files (*.rvb)".
            std::string found;
            const std::string& d = e.description;
            for (std::size_t p = d.find("*."); p != std::string::npos; p = d.find("*.", p + 2)) {
                std::size_t end = p + 2;
                while (end < d.size() && (std::isalnum(static_cast<unsigned char>(d[end])) || d[end] == '*' ||
                                          d[end] == '_' || d[end] == '?'))
                    ++end;
                found += d.substr(p, end - p) + ';';
            }
            patterns = found.empty() ? "*" : found;
        }
        std::string one;
        auto flush = [&] {
            std::string t = Trim(one);
            if (t == "*.*")
                t = "*";
            if (!t.empty())
                e.patterns.push_back(t);
            one.clear();
        };
        for (char c : patterns) {
            if (c == ';' || c == ' ')
                flush();
            else
                one += c;
        }
        flush();
        if (e.patterns.empty())
            e.patterns.push_back("*");
        out.push_back(std::move(e));
    }
    return out;
}

std::string ToQtFilter(const std::vector<FilterEntry>& entries)
{
    if (entries.empty())
        return "All files (*)";
    std::string out;
    for (const FilterEntry& e : entries) {
        if (!out.empty())
            out += ";;";
        std::string pats;
        for (const std::string& p : e.patterns)
            pats += (pats.empty() ? "" : " ") + p;
        // Windows descriptions name their patterns, "Wave Files (*.wav)"; Qt reads the last
        // group as the patterns, so that group is replaced rather than followed by a second.
        std::string description = e.description;
        const std::size_t open = description.rfind('(');
        if (!description.empty() && description.back() == ')' && open != std::string::npos) {
            const std::string inner = description.substr(open + 1, description.size() - open - 2);
            bool wildcards = !Trim(inner).empty();
            std::size_t at = 0;
            while (wildcards && at < inner.size()) {
                const std::size_t end = inner.find_first_of("; ,", at);
                const std::string token = inner.substr(at, end == std::string::npos ? std::string::npos : end - at);
                if (!token.empty() && token.find_first_of("*?") == std::string::npos)
                    wildcards = false;
                at = end == std::string::npos ? inner.size() : end + 1;
            }
            if (wildcards)
                description = Trim(description.substr(0, open));
        }
        out += description + " (" + pats + ")";
    }
    return out;
}

std::string CleanDefaultExtension(const std::string& defExt)
{
    std::string e = Trim(defExt);
    if (e.rfind("*.", 0) == 0)
        e = e.substr(2);
    else if (!e.empty() && e[0] == '.')
        e = e.substr(1);
    if (e.empty() || IsWildcard(e) || e.find_first_of("/.") != std::string::npos)
        return {};
    return e;
}

std::string ApplyDefaultExtension(const std::string& path, const std::string& defExt)
{
    const std::string ext = CleanDefaultExtension(defExt);
    if (ext.empty())
        return path;
    const std::string name = fs::path(path).filename().string();
    if (name.empty() || name.find('.') != std::string::npos)
        return path;
    return path + "." + ext;
}

} // namespace filedlg

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) { return RunOpenFileName(ofn, true); }
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn) { return RunOpenFileName(ofn, false); }
DWORD CommDlgExtendedError() { return g_lastError; }

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags,
                         LPCSTR lpszFilter, CWnd* pParentWnd)
    : open_(bOpenFileDialog != FALSE), defExt_(lpszDefExt ? lpszDefExt : ""), file_(MAX_PATH * 4, '\0')
{
    if (lpszFilter) {
        filter_ = lpszFilter;
        for (char& c : filter_)
            if (c == '|')
                c = '\0';
        filter_ += '\0';
    }
    if (lpszFileName)
        std::strncpy(file_.data(), lpszFileName, file_.size() - 1);
    m_ofn.hwndOwner = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
    m_ofn.lpstrFilter = lpszFilter ? filter_.c_str() : nullptr;
    m_ofn.lpstrFile = file_.data();
    m_ofn.nMaxFile = static_cast<DWORD>(file_.size());
    m_ofn.lpstrDefExt = lpszDefExt ? defExt_.c_str() : nullptr;
    m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal()
{
    const BOOL ok = open_ ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
    path_ = ok ? std::string(m_ofn.lpstrFile) : std::string();
    return ok ? IDOK : IDCANCEL;
}

std::string CFileDialog::GetPathName() const { return path_; }
std::string CFileDialog::GetFileName() const { return fs::path(path_).filename().string(); }
std::string CFileDialog::GetFileExt() const
{
    const std::string name = GetFileName();
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}
std::string CFileDialog::GetFileTitle() const
{
    const std::string name = GetFileName();
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}
std::string CFileDialog::GetFolderPath() const { return fs::path(path_).parent_path().string(); }

BOOL ChooseColorA(CHOOSECOLORA* cc)
{
    if (!cc)
        return FALSE;
    const COLORREF initial = (cc->Flags & CC_RGBINIT) ? cc->rgbResult : RGB(0, 0, 0);
    if (Responder* responder = Responder::Current()) {
        Prompt p;
        p.kind = PromptKind::Color;
        p.text = "Color";
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(initial));
        p.initial = buf;
        p.type = cc->Flags;
        const ScriptedAnswer a = responder->Answer(p);
        if (a.code != IDOK)
            return FALSE;
        cc->rgbResult = a.color & 0x00FFFFFF;
        return TRUE;
    }
    COLORREF* custom = cc->lpCustColors ? cc->lpCustColors : CColorDialog::GetSavedCustomColors();
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, ToQColor(custom[i]));
    QColorDialog dialog(ToQColor(initial), OwnerWidget(cc->hwndOwner));
    dialog.setWindowTitle(QStringLiteral("Color"));
    const bool ok = dialog.exec() == QDialog::Accepted;
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i)
        custom[i] = FromQColor(QColorDialog::customColor(i));
    if (!ok)
        return FALSE;
    cc->rgbResult = FromQColor(dialog.selectedColor());
    return TRUE;
}

COLORREF* CColorDialog::GetSavedCustomColors() { return CustomColors().data(); }

CColorDialog::CColorDialog(COLORREF clrInit, DWORD dwFlags, CWnd* pParentWnd)
{
    m_cc.hwndOwner = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
    m_cc.rgbResult = clrInit;
    m_cc.lpCustColors = GetSavedCustomColors();
    m_cc.Flags = dwFlags | (clrInit != 0 ? CC_RGBINIT : 0);
}

INT_PTR CColorDialog::DoModal() { return ChooseColorA(&m_cc) ? IDOK : IDCANCEL; }
