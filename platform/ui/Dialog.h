// CDialog: a modal or modeless dialog built from a template of DialogTemplate.h.
//
// DoModal builds the dialog, runs OnInitDialog, and runs the modal loop until EndDialog. The
// dialog keys work as on Windows: Esc and the close box send IDCANCEL; Enter presses the
// focused push button, else the default button (IDOK unless the template or SetDefID says
// otherwise), unless a multi-line edit that wants Enter has the focus. IDOK and IDCANCEL reach
// the virtual OnOK and OnCancel, which may refuse by not calling EndDialog. After the loop the
// dialog's window and controls are destroyed; the C++ object stays.
//
// Tests drive modal dialogs with ScriptModal: each modal dialog, once up, runs the next
// queued step (which types, clicks and ends the dialog). A modal dialog that opens while a
// Responder is in force and no step is queued is cancelled at once and reported on stderr, so
// a test never hangs on it.
//
// User-interface thread only.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using INT_PTR = std::intptr_t;


class CDialog : public CWnd {
public:
    CDialog();
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    explicit CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // The result given to EndDialog; -1 when the template is missing.
    virtual INT_PTR DoModal();
    // A modeless dialog, shown at once.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    BOOL Create(LPCSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    using CWnd::Create;
    // Ends the modal loop with the result (a modeless dialog is hidden).
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog(); // TRUE: the first control takes the focus
    virtual void OnOK();         // the base ends the dialog with IDOK
    virtual void OnCancel();     // the base ends the dialog with IDCANCEL

    // Controls by id.
    void SetDlgItemText(int nID, LPCSTR lpszString);
    void SetDlgItemText(int nID, const std::string& s) { SetDlgItemText(nID, s.c_str()); }
    int GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const;
    int GetDlgItemText(int nID, std::string& rString) const;
    void SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE);
    UINT GetDlgItemInt(int nID, BOOL* lpTrans = nullptr, BOOL bSigned = TRUE) const;
    void CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;
    void CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton);
    int GetCheckedRadioButton(int nIDFirstButton, int nIDLastButton) const; // 0 when none
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Focus among the controls, in tab order.
    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;
    void GotoDlgCtrl(CWnd* pWndCtrl);
    // The default push button.
    void SetDefID(UINT nID);
    DWORD GetDefID() const; // MAKELONG(id, DC_HASDEFID)

    // The font the dialog's controls are drawn with (kept by the dialog).
    CFont* GetFont() const;

    const DialogTemplate* GetTemplate() const { return template_; }
    bool IsModalRunning() const { return running_; }

    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Tests: the next modal dialog (or property sheet) runs the step once it is up.
    static void ScriptModal(std::function<void(CWnd& dialog)> step);
    static std::size_t PendingModalScripts();
    static void ClearModalScripts();

    // Layer use: the Enter and Esc keys of a dialog window; true when handled.
    bool HandleDialogKey(UINT vk);
    // Layer use: runs the queued test step (or cancels an unscripted dialog) inside the modal
    // loop of `dialog`, a dialog or property sheet.
    static void ScheduleModalScript(CWnd* dialog, std::function<void()> cancel);
    // Layer use: builds the template into the window's client widget (dialogs, property pages).
    BOOL BuildControls();

protected:
    DECLARE_MESSAGE_MAP()
protected:
    void OnClose();
    LRESULT OnNextDlgCtl(WPARAM wParam, LPARAM lParam);
    void OnOKCommand() { OnOK(); }
    void OnCancelCommand() { OnCancel(); }

    // Destroys the window and the template's control wrappers.
    void DestroyDialogWindow();

    UINT m_nIDHelp = 0;
    UINT m_nIDTemplate = 0;
    std::string m_strTemplateName;
    CWnd* m_pParentWnd = nullptr;

private:
    const DialogTemplate* FindTemplate() const;
    bool CreateDialogWindow(bool modal);
    // The template is chosen: creates the window, initialises it and shows it.
    BOOL CreateModeless(CWnd* pParentWnd);

    const DialogTemplate* template_ = nullptr;
    std::vector<std::unique_ptr<CWnd>> wrappers_;
    UINT defId_ = IDOK;
    int result_ = IDCANCEL;
    bool running_ = false;
    bool ended_ = false;
    bool modal_ = false;
    mutable std::unique_ptr<CFont> font_;
};

constexpr WORD DC_HASDEFID = 0x534B;
