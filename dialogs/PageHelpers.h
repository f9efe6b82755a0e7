// Small helpers the processing-settings pages and dialogs share: their controls by id and
// fixed-size text fields of the records.
#pragma once

#include "records/NumberText.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/PropertySheet.h"
#include "platform/ui/Rect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace sheet {

inline CComboBox* Combo(const CWnd& dialog, int id) { return static_cast<CComboBox*>(dialog.GetDlgItem(id)); }

inline int Selection(const CWnd& dialog, int id)
{
    const CComboBox* c = Combo(dialog, id);
    return c ? c->GetCurSel() : CB_ERR;
}

// The item data of the selected entry, or fallback when nothing is selected.
inline DWORD_PTR SelectedData(const CWnd& dialog, int id, DWORD_PTR fallback)
{
    const CComboBox* c = Combo(dialog, id);
    const int sel = c ? c->GetCurSel() : CB_ERR;
    return sel == CB_ERR ? fallback : c->GetItemData(sel);
}

inline std::string SelectedText(const CWnd& dialog, int id)
{
    std::string text;
    const CComboBox* c = Combo(dialog, id);
    const int sel = c ? c->GetCurSel() : CB_ERR;
    if (sel != CB_ERR)
        c->GetLBText(sel, text);
    return text;
}

// Selects the entry whose item data is value; returns false (nothing selected) when none has it.
inline bool SelectData(const CWnd& dialog, int id, DWORD_PTR value)
{
    CComboBox* c = Combo(dialog, id);
    if (!c)
        return false;
    for (int i = 0; i < c->GetCount(); ++i)
        if (c->GetItemData(i) == value) {
            c->SetCurSel(i);
            return true;
        }
    return false;
}

inline void Show(const CWnd& dialog, int id, bool show)
{
    if (CWnd* w = dialog.GetDlgItem(id))
        w->ShowWindow(show ? SW_SHOW : SW_HIDE);
}

inline void Enable(const CWnd& dialog, int id, bool enable)
{
    if (CWnd* w = dialog.GetDlgItem(id))
        w->EnableWindow(enable ? TRUE : FALSE);
}

inline std::string Field(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

// Stores text into a fixed field, cut to fit and terminated, the rest zeroed.
inline void Store(char* field, std::size_t size, const std::string& text)
{
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

// Text that is a whole number (blanks around it allowed), bounded to +-1e9 so it fits any
// field; 0 for any other text, which every caller refuses or leaves unstored, where reading it
// like atoi would take "12abc" as 12.
inline long ParseInteger(const std::string& text)
{
    double value = 0.0;
    if (!ParseTypedNumber(text, value) || value != std::floor(value))
        return 0;
    return static_cast<long>(std::clamp(value, -1e9, 1e9));
}

// A settings sheet without Apply and Help, its OK 10 pixels in from the right and 4 up from the
// bottom and its Cancel 166 pixels in from the right, leaving the strip's left part free for
// the sheet's own controls.
inline void PlaceOkCancel(CPropertySheet& s)
{
    for (int id : {ID_APPLY_NOW, IDHELP})
        if (CWnd* w = s.GetDlgItem(id))
            w->ShowWindow(SW_HIDE);
    CRect client;
    s.GetClientRect(&client);
    CWnd* ok = s.GetDlgItem(IDOK);
    if (!ok)
        return;
    CRect r;
    ok->GetWindowRect(&r);
    s.ScreenToClient(&r);
    ok->MoveWindow(client.right - r.Width() - 10, client.bottom - r.Height() - 4, r.Width(), r.Height());
    if (CWnd* cancel = s.GetDlgItem(IDCANCEL)) {
        CRect c;
        cancel->GetWindowRect(&c);
        s.ScreenToClient(&c);
        cancel->MoveWindow(client.right - 166, client.bottom - r.Height() - 4, c.Width(), c.Height());
    }
}

} // namespace sheet

namespace sheet {

// printf formatting of one number, sized to the text.
inline std::string FormatNumber(const char* format, double value)
{
    char text[64];
    const int n = std::snprintf(text, sizeof text, format, value);
    return n > 0 ? std::string(text, static_cast<std::size_t>(std::min(n, static_cast<int>(sizeof text) - 1))) : std::string();
}

// A control's text as a finite number; false when the text is not one number.
inline bool ReadNumber(const CDialog& dialog, int id, double& value)
{
    std::string text;
    dialog.GetDlgItemText(id, text);
    return ParseTypedNumber(text, value);
}

} // namespace sheet
