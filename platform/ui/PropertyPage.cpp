#include "platform/ui/PropertyPage.h"

#include "platform/core/Resources.h"
#include "platform/ui/qt/DialogBuilder.h"
#include "platform/ui/qt/PropertySheetQt.h"
#include "platform/ui/qt/QtAccess.h"
#include "platform/ui/PropertySheet.h"

#include <QLayout>
#include <QWidget>

CPropertyPage::CPropertyPage(UINT nIDTemplate, UINT nIDCaption) : CDialog(nIDTemplate), captionId_(nIDCaption) {}

CPropertyPage::CPropertyPage(LPCSTR lpszTemplateName, UINT nIDCaption)
    : CDialog(lpszTemplateName), captionId_(nIDCaption)
{
}

CPropertyPage::~CPropertyPage()
{
    if (sheet_)
        sheet_->RemovePage(this);
}

BOOL CPropertyPage::OnSetActive() { return TRUE; }
BOOL CPropertyPage::OnKillActive() { return TRUE; }
void CPropertyPage::OnOK() { modified_ = false; }
void CPropertyPage::OnCancel() {}
BOOL CPropertyPage::OnApply()
{
    OnOK();
    return TRUE;
}
void CPropertyPage::OnReset() { OnCancel(); }
BOOL CPropertyPage::OnQueryCancel() { return TRUE; }

void CPropertyPage::SetModified(BOOL bChanged)
{
    modified_ = bChanged != FALSE;
    if (sheet_)
        if (CWnd* apply = sheet_->GetDlgItem(ID_APPLY_NOW))
            apply->EnableWindow(modified_);
}

void CPropertyPage::CancelToClose()
{
    if (!sheet_)
        return;
    if (CWnd* cancel = sheet_->GetDlgItem(IDCANCEL))
        cancel->EnableWindow(FALSE);
    if (CWnd* ok = sheet_->GetDlgItem(IDOK))
        ok->SetWindowText("Close");
}

std::string CPropertyPage::GetTabText() const
{
    if ((m_psp.dwFlags & PSP_USETITLE) && m_psp.pszTitle)
        return m_psp.pszTitle;
    if (captionId_) {
        const std::string s = LoadResourceString(captionId_);
        if (!s.empty())
            return s;
    }
    const DialogTemplate* t = m_nIDTemplate ? FindDialogTemplate(m_nIDTemplate) : FindDialogTemplate(m_strTemplateName);
    return t ? t->caption : std::string();
}

BOOL CPropertyPage::PreTranslateMessage(MSG* pMsg)
{
    // Enter and Esc go on to the sheet.
    return CWnd::PreTranslateMessage(pMsg);
}

BOOL CPropertyPage::CreatePageWindow(CPageHolder* parent)
{
    if (m_hWnd || !parent)
        return FALSE;
    auto* w = new QWidget(parent);
    m_dwStyle = WS_CHILD | WS_VISIBLE;
    QtAdoptWidget(this, w);
    if (!BuildControls()) {
        DestroyWindow();
        return FALSE;
    }
    if (parent->layout())
        parent->layout()->addWidget(w);
    w->show();
    OnInitDialog();
    return m_hWnd != nullptr;
}

void CPropertyPage::DestroyPageWindow()
{
    if (m_hWnd)
        DestroyDialogWindow();
}

SIZE CPropertyPage::MeasureTemplate() const
{
    const DialogTemplate* t = m_nIDTemplate ? FindDialogTemplate(m_nIDTemplate) : FindDialogTemplate(m_strTemplateName);
    if (!t)
        return SIZE{0, 0};
    QWidget probe;
    SIZE size;
    {
        BuiltControls built = BuildTemplateControls(*t, &probe);
        const QSize hint = probe.sizeHint().expandedTo(probe.minimumSizeHint());
        size = SIZE{hint.width(), hint.height()};
    }
    return size;
}
