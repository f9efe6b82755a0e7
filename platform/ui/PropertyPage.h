// CPropertyPage: one page of a CPropertySheet, built from a dialog template whose caption is
// the tab text. The sheet creates a page's window the first time the page is shown (that is
// when OnInitDialog runs) and destroys it with the sheet's window.
//
// OnKillActive may refuse to let the user (or SetActivePage) leave the page; OnSetActive may
// refuse to show it. OnOK and OnCancel run for every created page when the sheet ends with its
// default OK and Cancel handling. Enter and Esc on a page belong to the sheet.
//
// User-interface thread only.
#pragma once

#include "platform/ui/Dialog.h"

#include <string>

class CPageHolder;

class CPropertySheet;

struct PROPSHEETPAGEA {
    DWORD dwSize = sizeof(PROPSHEETPAGEA);
    DWORD dwFlags = 0;
    LPCSTR pszTitle = nullptr; // with PSP_USETITLE: the tab text instead of the caption
};
constexpr DWORD PSP_USETITLE = 0x0008;
constexpr DWORD PSP_HASHELP = 0x0020;

class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT nIDTemplate, UINT nIDCaption = 0);
    explicit CPropertyPage(LPCSTR lpszTemplateName, UINT nIDCaption = 0);
    ~CPropertyPage() override;

    virtual BOOL OnSetActive();   // TRUE lets the page show
    virtual BOOL OnKillActive();  // TRUE lets the page go
    void OnOK() override;         // the sheet ended with OK
    void OnCancel() override;     // the sheet ended with Cancel
    virtual BOOL OnApply();
    virtual void OnReset();
    virtual BOOL OnQueryCancel();

    void SetModified(BOOL bChanged = TRUE);
    BOOL IsModified() const { return modified_; }
    void CancelToClose();

    // The sheet holding the page (null before AddPage).
    CPropertySheet* GetSheet() const { return sheet_; }
    // The tab text: m_psp's title, the string of the caption id, or the template's caption.
    std::string GetTabText() const;

    BOOL PreTranslateMessage(MSG* pMsg) override;

    PROPSHEETPAGEA m_psp;

    // Layer use (CPropertySheet).
    void AttachToSheet(CPropertySheet* sheet) { sheet_ = sheet; }
    BOOL CreatePageWindow(CPageHolder* parent);
    SIZE MeasureTemplate() const; // the size the page's controls want
    void DestroyPageWindow();

private:
    UINT captionId_ = 0;
    CPropertySheet* sheet_ = nullptr;
    std::string title_;
    bool modified_ = false;
};
