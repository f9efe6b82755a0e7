// The standard controls: buttons (push, default, check, radio, group box, owner-drawn, flat),
// edits, combo boxes, list boxes, statics, scroll bars, up-down arrows, progress bars, date-time
// pickers, report lists with check boxes, and tooltips.
//
// A control is a CWnd wrapping one of the widgets of ControlsQt.h. It is made either by a
// dialog template (the dialog wraps each control in an object of the matching class) or by
// Create with Windows styles, as the program's windows create their tool-strip controls.
// All state lives in the widget, so a control reached through any wrapper (a member
// subclassed with SubclassDlgItem, or GetDlgItem's pointer cast to the class) behaves the same.
//
// Notifications go to the nearest window above the control (group boxes are skipped, as they
// are siblings on Windows): WM_COMMAND (BN_CLICKED, EN_CHANGE, EN_KILLFOCUS, CBN_SELCHANGE,
// LBN_SELCHANGE, STN_CLICKED...), WM_NOTIFY (DTN_DATETIMECHANGE, UDN_DELTAPOS, NM_CLICK,
// LVN_ITEMCHANGED), WM_HSCROLL/WM_VSCROLL from scroll bars and up-down arrows, WM_CTLCOLOR
// (CTLCOLOR_STATIC) asked by statics before they paint, and WM_DRAWITEM for owner-drawn
// buttons (handed to the button's own DrawItem when the parent does not map WM_DRAWITEM).
// Changes made by code send no notification, except text set into an edit (EN_CHANGE).
//
// User-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/GdiTypes.h"
#include "platform/ui/Wnd.h"

#include <memory>
#include <string>
#include <vector>

class CFont;

using LPINT = int*;

// Button styles.
constexpr DWORD BS_PUSHBUTTON = 0x0000;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
constexpr DWORD BS_CHECKBOX = 0x0002;
constexpr DWORD BS_AUTOCHECKBOX = 0x0003;
constexpr DWORD BS_RADIOBUTTON = 0x0004;
constexpr DWORD BS_3STATE = 0x0005;
constexpr DWORD BS_AUTO3STATE = 0x0006;
constexpr DWORD BS_GROUPBOX = 0x0007;
constexpr DWORD BS_AUTORADIOBUTTON = 0x0009;
constexpr DWORD BS_OWNERDRAW = 0x000B;
constexpr DWORD BS_TYPEMASK = 0x000F;
constexpr DWORD BS_LEFTTEXT = 0x0020;
constexpr DWORD BS_LEFT = 0x0100;
constexpr DWORD BS_RIGHT = 0x0200;
constexpr DWORD BS_CENTER = 0x0300;
constexpr DWORD BS_PUSHLIKE = 0x1000;
constexpr DWORD BS_MULTILINE = 0x2000;
constexpr DWORD BS_NOTIFY = 0x4000;
constexpr DWORD BS_FLAT = 0x8000;
// Check states.
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr UINT BST_INDETERMINATE = 2;
constexpr UINT BST_PUSHED = 4;
constexpr UINT BST_FOCUS = 8;

// Edit styles.
constexpr DWORD ES_LEFT = 0x0000;
constexpr DWORD ES_CENTER = 0x0001;
constexpr DWORD ES_RIGHT = 0x0002;
constexpr DWORD ES_MULTILINE = 0x0004;
constexpr DWORD ES_UPPERCASE = 0x0008;
constexpr DWORD ES_LOWERCASE = 0x0010;
constexpr DWORD ES_PASSWORD = 0x0020;
constexpr DWORD ES_AUTOVSCROLL = 0x0040;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD ES_NOHIDESEL = 0x0100;
constexpr DWORD ES_READONLY = 0x0800;
constexpr DWORD ES_WANTRETURN = 0x1000;
constexpr DWORD ES_NUMBER = 0x2000;

// Combo box styles and results.
constexpr DWORD CBS_SIMPLE = 0x0001;
constexpr DWORD CBS_DROPDOWN = 0x0002;
constexpr DWORD CBS_DROPDOWNLIST = 0x0003;
constexpr DWORD CBS_AUTOHSCROLL = 0x0040;
constexpr DWORD CBS_SORT = 0x0100;
constexpr DWORD CBS_HASSTRINGS = 0x0200;
constexpr int CB_OKAY = 0;
constexpr int CB_ERR = -1;
constexpr int CB_ERRSPACE = -2;

// List box styles and results.
constexpr DWORD LBS_NOTIFY = 0x0001;
constexpr DWORD LBS_SORT = 0x0002;
constexpr DWORD LBS_MULTIPLESEL = 0x0008;
constexpr DWORD LBS_HASSTRINGS = 0x0040;
constexpr DWORD LBS_NOINTEGRALHEIGHT = 0x0100;
constexpr DWORD LBS_EXTENDEDSEL = 0x0800;
constexpr DWORD LBS_STANDARD = 0x00A00003;
constexpr int LB_OKAY = 0;
constexpr int LB_ERR = -1;
constexpr int LB_ERRSPACE = -2;

// Static styles.
constexpr DWORD SS_LEFT = 0x0000;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD SS_RIGHT = 0x0002;
constexpr DWORD SS_ICON = 0x0003;
constexpr DWORD SS_BLACKRECT = 0x0004;
constexpr DWORD SS_GRAYRECT = 0x0005;
constexpr DWORD SS_WHITERECT = 0x0006;
constexpr DWORD SS_BLACKFRAME = 0x0007;
constexpr DWORD SS_GRAYFRAME = 0x0008;
constexpr DWORD SS_WHITEFRAME = 0x0009;
constexpr DWORD SS_SIMPLE = 0x000B;
constexpr DWORD SS_LEFTNOWORDWRAP = 0x000C;
constexpr DWORD SS_BITMAP = 0x000E;
constexpr DWORD SS_ETCHEDFRAME = 0x0012;
constexpr DWORD SS_TYPEMASK = 0x001F;
constexpr DWORD SS_NOPREFIX = 0x0080;
constexpr DWORD SS_NOTIFY = 0x0100;
constexpr DWORD SS_CENTERIMAGE = 0x0200;
constexpr DWORD SS_SUNKEN = 0x1000;

// Scroll bar styles and SCROLLINFO.
constexpr DWORD SBS_HORZ = 0x0000;
constexpr DWORD SBS_VERT = 0x0001;
constexpr UINT SIF_RANGE = 0x0001;
constexpr UINT SIF_PAGE = 0x0002;
constexpr UINT SIF_POS = 0x0004;
constexpr UINT SIF_DISABLENOSCROLL = 0x0008;
constexpr UINT SIF_TRACKPOS = 0x0010;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
struct SCROLLINFO {
    UINT cbSize = sizeof(SCROLLINFO);
    UINT fMask = 0;
    int nMin = 0;
    int nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};
using LPSCROLLINFO = SCROLLINFO*;

constexpr DWORD STATE_SYSTEM_PRESSED = 0x00000008;
struct COMBOBOXINFO {
    DWORD cbSize = sizeof(COMBOBOXINFO);
    RECT rcItem{};
    RECT rcButton{};
    DWORD stateButton = 0;
    HWND hwndCombo = nullptr;
    HWND hwndItem = nullptr;
    HWND hwndList = nullptr;
};
using PCOMBOBOXINFO = COMBOBOXINFO*;
constexpr UINT ESB_ENABLE_BOTH = 0x0000;
constexpr UINT ESB_DISABLE_BOTH = 0x0003;

// Up-down styles.
constexpr DWORD UDS_WRAP = 0x0001;
constexpr DWORD UDS_SETBUDDYINT = 0x0002;
constexpr DWORD UDS_ALIGNRIGHT = 0x0004;
constexpr DWORD UDS_ALIGNLEFT = 0x0008;
constexpr DWORD UDS_AUTOBUDDY = 0x0010;
constexpr DWORD UDS_ARROWKEYS = 0x0020;
constexpr DWORD UDS_HORZ = 0x0040;
constexpr DWORD UDS_NOTHOUSANDS = 0x0080;

// Progress bar styles.
constexpr DWORD PBS_SMOOTH = 0x0001;
constexpr DWORD PBS_VERTICAL = 0x0004;

// Date-time picker styles.
constexpr DWORD DTS_UPDOWN = 0x0001;
constexpr DWORD DTS_SHOWNONE = 0x0002;
constexpr DWORD DTS_SHORTDATEFORMAT = 0x0000;
constexpr DWORD DTS_LONGDATEFORMAT = 0x0004;
constexpr DWORD DTS_TIMEFORMAT = 0x0009;
constexpr DWORD GDT_VALID = 0;
constexpr DWORD GDT_NONE = 1;

// List view styles, states and notifications.
constexpr DWORD LVS_REPORT = 0x0001;
constexpr DWORD LVS_SINGLESEL = 0x0004;
constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
constexpr DWORD LVS_NOSORTHEADER = 0x8000;
constexpr DWORD LVS_EX_GRIDLINES = 0x0001;
constexpr DWORD LVS_EX_CHECKBOXES = 0x0004;
constexpr DWORD LVS_EX_FULLROWSELECT = 0x0020;
constexpr int LVCFMT_LEFT = 0;
constexpr int LVCFMT_RIGHT = 1;
constexpr int LVCFMT_CENTER = 2;
constexpr UINT LVNI_ALL = 0;
constexpr UINT LVNI_SELECTED = 2;
constexpr UINT LVIS_SELECTED = 0x0002;
constexpr UINT LVIS_FOCUSED = 0x0001;
constexpr UINT LVN_ITEMCHANGED = static_cast<UINT>(-101);
struct NMLISTVIEW {
    NMHDR hdr;
    int iItem = -1;
    int iSubItem = 0;
    UINT uNewState = 0;
    UINT uOldState = 0;
    UINT uChanged = 0;
    POINT ptAction;
    LPARAM lParam = 0;
};
using LPNMLISTVIEW = NMLISTVIEW*;
struct NMDATETIMECHANGE {
    NMHDR nmhdr;
    DWORD dwFlags = GDT_VALID;
    time64_t time = 0; // seconds since 1970 (the picked local date and time as a time_t)
};

// Property sheet button ids.
constexpr int IDHELP = 9;
constexpr int ID_APPLY_NOW = 0x3021;

// The common base of the control classes: creation from styles and the control's font.
class CControlWnd : public CWnd {
public:
    // WM_SETFONT: the control draws its text with the font (a copy is taken).
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    // The font the control draws with, as a CFont the control keeps.
    CFont* GetFont() const;

    // A wrapper object of the class that matches the template item's kind.
    static std::unique_ptr<CWnd> NewWrapper(dlg::Ctl kind);

    // WM_SETFONT (wParam: HFONT) and WM_GETFONT.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // Makes the control from a template item at the rectangle; used by each class's Create.
    BOOL CreateControl(const dlg::ControlSpec& desc, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    template <class W> W* Widget() const;

private:
    mutable std::unique_ptr<CFont> font_;
};

class CButton : public CControlWnd {
public:
    using CWnd::Create;
    // dwStyle: BS_* kind and options with WS_* window styles.
    BOOL Create(LPCSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    int GetCheck() const;      // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE
    void SetCheck(int nCheck); // no notification
    UINT GetState() const;     // check state with BST_PUSHED and BST_FOCUS
    void SetState(BOOL bHighlight);
    UINT GetButtonStyle() const;
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
    // Paints an owner-drawn button; the base paints nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
};

class CEdit : public CControlWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    void SetLimitText(UINT nMax); // 0: the largest
    void LimitText(int nChars = 0) { SetLimitText(static_cast<UINT>(nChars)); }
    UINT GetLimitText() const;
    int GetLineCount() const; // lines of text (a single-line edit has one)
    // Copies line nIndex (no line break) into the buffer of nMaxLength characters, ending it
    // with a NUL when there is room; returns the characters copied.
    int GetLine(int nIndex, LPSTR lpszBuffer, int nMaxLength) const;
    std::string GetLine(int nIndex) const;
    BOOL SetReadOnly(BOOL bReadOnly = TRUE);
    void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE); // -1 end: to the end
    void GetSel(int& nStartChar, int& nEndChar) const;
    void ReplaceSel(LPCSTR lpszNewText, BOOL bCanUndo = FALSE);
    BOOL GetModify() const;
    void SetModify(BOOL bModified = TRUE);
};

class CComboBox : public CControlWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    int AddString(LPCSTR lpszString); // index of the new item (sorted in with CBS_SORT)
    int InsertString(int nIndex, LPCSTR lpszString); // -1: at the end
    int DeleteString(UINT nIndex);                   // items left, or CB_ERR
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const; // CB_ERR when nothing is selected
    int SetCurSel(int nSelect); // -1 clears; returns the index or CB_ERR
    DWORD_PTR GetItemData(int nIndex) const; // CB_ERR for a bad index
    int SetItemData(int nIndex, DWORD_PTR dwItemData);
    int GetLBText(int nIndex, LPSTR lpszText) const; // the caller's buffer must be big enough
    void GetLBText(int nIndex, std::string& rString) const;
    int GetLBTextLen(int nIndex) const;
    // The first item after nStartAfter (-1: from the start) beginning with the text, ignoring
    // case, searching round; CB_ERR when none.
    int FindString(int nStartAfter, LPCSTR lpszString) const;
    int FindStringExact(int nIndexStart, LPCSTR lpszFind) const;
    int SelectString(int nStartAfter, LPCSTR lpszString);
    void ShowDropDown(BOOL bShowIt = TRUE);
    BOOL GetDroppedState() const;
    BOOL LimitText(int nMaxChars);
    // The box's parts in its client coordinates: rcItem where the text shows, rcButton the arrow.
    BOOL GetComboBoxInfo(PCOMBOBOXINFO pcbi) const;
};

class CListBox : public CControlWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    int AddString(LPCSTR lpszItem);
    int InsertString(int nIndex, LPCSTR lpszItem);
    int DeleteString(UINT nIndex);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int nSelect);
    int GetSel(int nIndex) const;             // > 0 when selected, LB_ERR for a bad index
    int SetSel(int nIndex, BOOL bSelect = TRUE); // multiple-selection boxes; -1: all
    int GetSelCount() const;
    int GetSelItems(int nMaxItems, LPINT rgIndex) const;
    int GetText(int nIndex, LPSTR lpszBuffer) const;
    void GetText(int nIndex, std::string& rString) const;
    int GetTextLen(int nIndex) const;
    DWORD_PTR GetItemData(int nIndex) const;
    int SetItemData(int nIndex, DWORD_PTR dwItemData);
    int FindString(int nStartAfter, LPCSTR lpszItem) const;
    int FindStringExact(int nIndexStart, LPCSTR lpszFind) const;
    int SelectString(int nStartAfter, LPCSTR lpszItem);
    int GetTopIndex() const;
    int SetTopIndex(int nIndex);
};

class CStatic : public CControlWnd {
public:
    using CWnd::Create;
    BOOL Create(LPCSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID = 0xFFFF);
    // Shows a bitmap (SS_BITMAP); returns the previous one. The static does not own it.
    HBITMAP SetBitmap(HBITMAP hBitmap);
    HBITMAP GetBitmap() const;
};

class CScrollBar : public CControlWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    int GetScrollPos() const;
    int SetScrollPos(int nPos, BOOL bRedraw = TRUE); // returns the previous position
    void GetScrollRange(LPINT lpMinPos, LPINT lpMaxPos) const;
    void SetScrollRange(int nMinPos, int nMaxPos, BOOL bRedraw = TRUE);
    BOOL SetScrollInfo(LPSCROLLINFO lpScrollInfo, BOOL bRedraw = TRUE);
    BOOL GetScrollInfo(LPSCROLLINFO lpScrollInfo, UINT nMask = SIF_ALL) const;
    int GetScrollLimit() const; // the largest position: max - page + 1
    void ShowScrollBar(BOOL bShow = TRUE);
    BOOL EnableScrollBar(UINT nArrowFlags = ESB_ENABLE_BOTH);
};

class CSpinButtonCtrl : public CControlWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    void SetRange(short nLower, short nUpper) { SetRange32(nLower, nUpper); }
    void SetRange32(int nLower, int nUpper);
    void GetRange32(int& nLower, int& nUpper) const;
    DWORD GetRange() const; // MAKELONG(upper, lower)
    int SetPos(int nPos) { return SetPos32(nPos); }
    int SetPos32(int nPos); // returns the previous position
    int GetPos() const { return GetPos32(); }
    int GetPos32(BOOL* lpbError = nullptr) const;
    CWnd* SetBuddy(CWnd* pWndBuddy);
    CWnd* GetBuddy() const;
    // Steps as a click on an arrow does: UDN_DELTAPOS (which may refuse), the new position,
    // the buddy's text with UDS_SETBUDDYINT, then WM_VSCROLL (WM_HSCROLL with UDS_HORZ)
    // SB_THUMBPOSITION.
    void Step(int delta);
};

class CProgressCtrl : public CControlWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    void SetRange(short nLower, short nUpper) { SetRange32(nLower, nUpper); }
    void SetRange32(int nLower, int nUpper);
    void GetRange(int& nLower, int& nUpper) const;
    int SetPos(int nPos); // clamped to the range; returns the previous position
    int GetPos() const;
    int OffsetPos(int nPos);
    int SetStep(int nStep);
    int StepIt(); // wraps to the bottom past the top, as the control does
};

class CDateTimeCtrl : public CControlWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    // Local date and time as seconds since 1970; GDT_VALID.
    DWORD GetTime(time64_t& timeDest) const;
    BOOL SetTime(time64_t timeNew);
};

class CListCtrl : public CControlWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    DWORD SetExtendedStyle(DWORD dwNewStyle); // returns the previous
    DWORD GetExtendedStyle() const;
    int InsertColumn(int nCol, LPCSTR lpszColumnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1);
    BOOL DeleteColumn(int nCol);
    BOOL SetColumnWidth(int nCol, int cx);
    int GetColumnWidth(int nCol) const;
    int InsertItem(int nItem, LPCSTR lpszItem); // -1 on failure
    BOOL DeleteItem(int nItem);
    BOOL DeleteAllItems();
    int GetItemCount() const;
    BOOL SetItemText(int nItem, int nSubItem, LPCSTR lpszText);
    std::string GetItemText(int nItem, int nSubItem) const;
    int GetItemText(int nItem, int nSubItem, LPSTR lpszText, int nLen) const;
    BOOL SetCheck(int nItem, BOOL fCheck = TRUE); // no notification
    BOOL GetCheck(int nItem) const;
    BOOL SetItemData(int nItem, DWORD_PTR dwData);
    DWORD_PTR GetItemData(int nItem) const;
    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    UINT GetItemState(int nItem, UINT nMask) const;
    int GetNextItem(int nItem, int nFlags) const;
    UINT GetSelectedCount() const;
    BOOL EnsureVisible(int nItem, BOOL bPartialOK);
};

// Tooltips over other windows: the desktop shows them when the mouse rests on a tool.
class CToolTipCtrl : public CWnd {
public:
    using CWnd::Create;
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    BOOL AddTool(CWnd* pWnd, LPCSTR lpszText = nullptr, LPCRECT lpRectTool = nullptr, UINT_PTR nIDTool = 0);
    void DelTool(CWnd* pWnd, UINT_PTR nIDTool = 0);
    void UpdateTipText(LPCSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool = 0);
    std::string GetText(CWnd* pWnd, UINT_PTR nIDTool = 0) const;
    void Activate(BOOL bActivate);
    int GetToolCount() const;
    void SetDelayTime(UINT nDelay);
    int SetMaxTipWidth(int iWidth);
    void RelayEvent(LPMSG) {} // the desktop watches the mouse itself

private:
    struct Tool {
        HWND hwnd = nullptr;
        UINT_PTR id = 0;
        std::string text;
    };
    std::vector<Tool> tools_;
    bool active_ = true;
    int maxWidth_ = -1;
    void Apply(const Tool& tool) const;
};

// Dialog-item helpers for any window holding controls (CDialog offers them as members).
void SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString);
UINT GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax);
void SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned);
UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned);
BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck);
UINT IsDlgButtonChecked(HWND hDlg, int nIDButton);
// Checks nIDCheckButton and clears the other buttons with ids in [first, last].
BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton);
