// CPropertySheet: a modal tabbed dialog of CPropertyPage objects, laid out as Windows lays a
// sheet out: the tabs on top and the OK, Cancel, Apply and Help buttons (IDOK, IDCANCEL,
// ID_APPLY_NOW, IDHELP) along the bottom right, positioned in pixels, so that OnInitDialog can
// hide, move and add buttons and other controls in the strip below the tabs.
//
// A page change asks the current page's OnKillActive, then the new page's OnSetActive; either
// may refuse and the old page stays. The base OnInitDialog shows the start page. The default
// OK asks the active page's OnKillActive, runs every created page's OnOK and ends with IDOK;
// the default Cancel runs OnCancel and ends with IDCANCEL; a derived sheet may map IDOK to its
// own handler instead.
//
// User-interface thread only.
#pragma once

#include "platform/ui/Dialog.h"
#include "platform/ui/PropertyPage.h"

#include <memory>
#include <string>
#include <vector>

class CSheetTabs;

struct PROPSHEETHEADERA {
    DWORD dwSize = sizeof(PROPSHEETHEADERA);
    DWORD dwFlags = 0;
    UINT nStartPage = 0;
};
constexpr DWORD PSH_NOAPPLYNOW = 0x0080;
constexpr DWORD PSH_HASHELP = 0x0200;
constexpr DWORD PSH_NOCONTEXTHELP = 0x02000000;
// PressButton
constexpr int PSBTN_OK = 1;
constexpr int PSBTN_CANCEL = 2;
constexpr int PSBTN_APPLYNOW = 3;
constexpr int PSBTN_HELP = 4;

class CPropertySheet : public CWnd {
public:
    CPropertySheet();
    explicit CPropertySheet(LPCSTR pszCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
    explicit CPropertySheet(UINT nIDCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
    ~CPropertySheet() override;

    void AddPage(CPropertyPage* pPage);
    void RemovePage(CPropertyPage* pPage);
    void RemovePage(int nPage);
    int GetPageCount() const { return static_cast<int>(pages_.size()); }
    CPropertyPage* GetPage(int nPage) const;
    int GetPageIndex(CPropertyPage* pPage) const;
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    // Shows the page (creating its window the first time), asking the pages as a tab click
    // does; before the sheet has a window it only chooses the start page.
    BOOL SetActivePage(int nPage);
    BOOL SetActivePage(CPropertyPage* pPage);
    void SetTitle(LPCSTR lpszText, UINT nStyle = 0);

    virtual INT_PTR DoModal();
    void EndDialog(int nEndID);
    virtual BOOL OnInitDialog();
    BOOL PressButton(int nButton);

    CFont* GetFont() const;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    bool IsModalRunning() const { return running_; }

    PROPSHEETHEADERA m_psh;

    // Layer use: a tab the user chose.
    void OnTabChosen(int index);

protected:
    DECLARE_MESSAGE_MAP()
protected:
    // The default handling of the sheet's own buttons.
    void OnSheetOK();
    void OnSheetCancel();
    void OnSheetApply();
    void OnSheetHelp() {}
    void OnClose();

private:
    bool CreateSheetWindow();
    void DestroySheetWindow();
    bool SwitchTo(int index, bool askCurrent);
    bool HandleSheetKey(UINT vk);

    std::string caption_;
    CWnd* parent_ = nullptr;
    std::vector<CPropertyPage*> pages_;
    int active_ = -1;
    CSheetTabs* tabs_ = nullptr;
    std::vector<std::unique_ptr<CButton>> buttons_;
    int result_ = IDCANCEL;
    bool running_ = false;
    bool ended_ = false;
    int switching_ = 0;
    mutable std::unique_ptr<CFont> font_;
};
