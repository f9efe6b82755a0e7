#include "platform/ui/Dialog.h"

#include "platform/core/Responder.h"
#include "platform/ui/qt/ControlsQt.h"
#include "platform/ui/qt/DialogBuilder.h"
#include "platform/ui/qt/GdiInternal.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/qt/WndInternal.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLayout>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <deque>

namespace {

std::deque<std::function<void(CWnd&)>>& ModalScripts()
{
    static std::deque<std::function<void(CWnd&)>> q;
    return q;
}

} // namespace

CommandDialogWidget::CommandDialogWidget(CWnd* owner, std::function<bool(UINT vk)> keys, QWidget* parent)
    : QDialog(parent), owner_(owner), keys_(std::move(keys))
{
}

void CommandDialogWidget::keyPressEvent(QKeyEvent* e)
{
    const UINT vk = e->key() == Qt::Key_Escape                                  ? VK_ESCAPE
                    : (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) ? VK_RETURN
                                                                                  : 0;
    if (vk && owner_ && keys_ && keys_(vk))
        return;
    QWidget::keyPressEvent(e);
}

void CommandDialogWidget::reject()
{
    if (owner_)
        owner_->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

std::unique_ptr<CFont> MakeFontOfWidget(const QWidget* widget)
{
    const QFont f = widget ? widget->font() : QApplication::font();
    LOGFONTA lf;
    const int px = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
    lf.lfHeight = -px;
    lf.lfWeight = f.bold() ? 700 : 400;
    lf.lfItalic = f.italic() ? 1 : 0;
    const std::string face = f.family().toStdString();
    std::strncpy(lf.lfFaceName, face.c_str(), sizeof lf.lfFaceName - 1);
    auto font = std::make_unique<CFont>();
    font->CreateFontIndirect(&lf);
    return font;
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOKCommand)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancelCommand)
    ON_WM_CLOSE()
    ON_MESSAGE(WM_NEXTDLGCTL, &CDialog::OnNextDlgCtl)
END_MESSAGE_MAP()

CDialog::CDialog() = default;

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd)
    : m_strTemplateName(lpszTemplateName ? lpszTemplateName : ""), m_pParentWnd(pParentWnd)
{
}

CDialog::~CDialog()
{
    if (QWidget* w = QtWidgetOf(this))
        if (auto* dw = dynamic_cast<CommandDialogWidget*>(w))
            dw->ReleaseOwner();
    wrappers_.clear();
}

const DialogTemplate* CDialog::FindTemplate() const
{
    if (m_nIDTemplate)
        return FindDialogTemplate(m_nIDTemplate);
    if (!m_strTemplateName.empty())
        return FindDialogTemplate(m_strTemplateName);
    return nullptr;
}

BOOL CDialog::BuildControls()
{
    QWidget* host = QtClientWidgetOf(this);
    template_ = FindTemplate();
    if (!template_ || !host)
        return FALSE;
    BuiltControls built = BuildTemplateControls(*template_, host);
    wrappers_ = std::move(built.wrappers);
    defId_ = built.defaultId ? built.defaultId : IDOK;
    font_.reset();
    return TRUE;
}

namespace {
// A fixed-size dialog narrower than its caption shows the caption cut short in the title bar;
// the layout gets at least the caption's width (bold, as window managers draw it) plus room
// for the title bar's buttons.
void KeepCaptionVisible(QLayout& layout, const QString& caption, QFont font)
{
    if (caption.isEmpty())
        return;
    font.setBold(true);
    const int width = QFontMetrics(font).horizontalAdvance(caption) + 110;
    auto* spacer = new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
    if (auto* grid = qobject_cast<QGridLayout*>(&layout))
        grid->addItem(spacer, grid->rowCount(), 0, 1, std::max(1, grid->columnCount()));
    else if (auto* box = qobject_cast<QBoxLayout*>(&layout); box && box->direction() == QBoxLayout::TopToBottom)
        box->addItem(spacer);
    else
        delete spacer; // a row of controls is at least as wide as its own items
}
} // namespace

bool CDialog::CreateDialogWindow(bool modal)
{
    if (m_hWnd)
        return false;
    template_ = FindTemplate();
    if (!template_) {
        std::fprintf(stderr, "CDialog: no dialog template %u%s%s\n", m_nIDTemplate,
                     m_strTemplateName.empty() ? "" : " ", m_strTemplateName.c_str());
        return false;
    }
    AfxEnsureQtApplication();
    CWnd* parent = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    QWidget* parentWidget = parent && QtWidgetOf(parent) ? QtWidgetOf(parent)->window() : nullptr;
    auto* w = new CommandDialogWidget(this, [this](UINT vk) { return HandleDialogKey(vk); }, parentWidget);
    w->setWindowTitle(QString::fromLocal8Bit(template_->caption.c_str()));
    w->setModal(modal);
    m_dwStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | (modal ? 0 : WS_VISIBLE);
    m_pOwner = parent;
    QtAdoptWidget(this, w);
    if (!template_->fontFace.empty() || template_->fontPoints > 0) {
        QFont f = w->font();
        if (!template_->fontFace.empty()) // "MS Sans Serif" and kin map to the installed stand-ins
            f.setFamily(QString::fromStdString(gdi::MapFaceName(template_->fontFace.c_str())));
        if (template_->fontPoints > 0)
            f.setPointSize(template_->fontPoints);
        w->setFont(f);
    }
    BuildControls();
    if (QLayout* l = w->layout()) {
        KeepCaptionVisible(*l, w->windowTitle(), w->font());
        l->setSizeConstraint(QLayout::SetFixedSize); // dialogs keep their size, as on Windows
    }
    modal_ = modal;
    ended_ = false;
    result_ = IDCANCEL;
    return true;
}

INT_PTR CDialog::DoModal()
{
    if (!CreateDialogWindow(true))
        return -1;
    QPointer<QWidget> widget = QtWidgetOf(this);
    const HWND self = m_hWnd;
    if (OnInitDialog())
        NextDlgCtrl();
    if (FromHandle(self) != this || !widget)
        return result_;
    if (!ended_) {
        ScheduleModalScript(this, [this, self] {
            if (FromHandle(self) == this)
                EndDialog(IDCANCEL);
        });
        running_ = true;
        if (auto* dw = dynamic_cast<QDialog*>(widget.data()))
            dw->exec();
        running_ = false;
    }
    const int result = result_;
    if (FromHandle(self) == this)
        DestroyDialogWindow();
    return result;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    m_nIDTemplate = nIDTemplate;
    m_strTemplateName.clear();
    return CreateModeless(pParentWnd);
}

BOOL CDialog::Create(LPCSTR lpszTemplateName, CWnd* pParentWnd)
{
    m_nIDTemplate = 0;
    m_strTemplateName = lpszTemplateName ? lpszTemplateName : "";
    return CreateModeless(pParentWnd);
}

BOOL CDialog::CreateModeless(CWnd* pParentWnd)
{
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    if (!CreateDialogWindow(false))
        return FALSE;
    const HWND self = m_hWnd;
    if (OnInitDialog())
        NextDlgCtrl();
    if (FromHandle(self) == this && QtWidgetOf(this) && !ended_)
        QtWidgetOf(this)->show();
    return TRUE;
}

void CDialog::DestroyDialogWindow()
{
    if (QWidget* w = QtWidgetOf(this))
        if (auto* dw = dynamic_cast<CommandDialogWidget*>(w))
            dw->ReleaseOwner();
    wrappers_.clear();
    font_.reset();
    DestroyWindow();
}

void CDialog::EndDialog(int nResult)
{
    result_ = nResult;
    ended_ = true;
    QWidget* w = QtWidgetOf(this);
    if (!w)
        return;
    if (modal_) {
        if (auto* dw = dynamic_cast<QDialog*>(w); dw && running_)
            dw->done(nResult);
    } else {
        w->hide();
    }
}

void CDialog::ScheduleModalScript(CWnd* dialog, std::function<void()> cancel)
{
    auto& q = ModalScripts();
    const HWND h = dialog->GetSafeHwnd();
    if (!q.empty()) {
        auto step = std::move(q.front());
        q.pop_front();
        QTimer::singleShot(0, [h, step = std::move(step)] {
            CWnd* w = CWnd::FromHandle(h);
            if (!w)
                return;
            // A modal dialog is the active window, as the desktop makes it.
            if (QWidget* q = QtWidgetOf(w)) {
                q->activateWindow();
                QApplication::processEvents();
            }
            if ((w = CWnd::FromHandle(h)))
                step(*w);
        });
    } else if (Responder::Current()) {
        std::fprintf(stderr, "CDialog: unscripted modal dialog \"%s\" cancelled\n",
                     dialog->GetWindowTextString().c_str());
        QTimer::singleShot(0, std::move(cancel));
    }
}

void CDialog::ScriptModal(std::function<void(CWnd&)> step) { ModalScripts().push_back(std::move(step)); }
std::size_t CDialog::PendingModalScripts() { return ModalScripts().size(); }
void CDialog::ClearModalScripts() { ModalScripts().clear(); }

BOOL CDialog::OnInitDialog() { return TRUE; }
void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnClose() { SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }

LRESULT CDialog::OnNextDlgCtl(WPARAM wParam, LPARAM lParam)
{
    if (lParam)
        GotoDlgCtrl(FromHandle(reinterpret_cast<HWND>(wParam)));
    else if (wParam)
        PrevDlgCtrl();
    else
        NextDlgCtrl();
    return 0;
}

std::optional<bool> CommonDialogKey(CWnd* wnd, UINT vk)
{
    QWidget* w = QtWidgetOf(wnd);
    if (!w || !w->isEnabled())
        return false;
    if (vk == VK_ESCAPE) {
        wnd->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return true;
    }
    if (vk != VK_RETURN)
        return false;
    QWidget* focus = QApplication::focusWidget();
    if (focus && w->isAncestorOf(focus)) {
        if (auto* t = dynamic_cast<ctlqt::TextEdit*>(focus); t && t->wantReturn)
            return false;
        if (auto* b = dynamic_cast<ctlqt::PushButton*>(focus); b && b->isEnabled() && b->isVisible()) {
            b->click();
            return true;
        }
    }
    return std::nullopt;
}

bool FocusedComboListOpen()
{
    auto* c = dynamic_cast<QComboBox*>(QApplication::focusWidget());
    return c && c->view() && c->view()->isVisible();
}

bool CDialog::HandleDialogKey(UINT vk)
{
    if (const std::optional<bool> settled = CommonDialogKey(this, vk))
        return *settled;
    const UINT id = LOWORD(GetDefID());
    CWnd* button = GetDlgItem(static_cast<int>(id));
    if (button && QtWidgetOf(button)) {
        QWidget* bw = QtWidgetOf(button);
        if (!bw->isEnabled())
            return true; // a disabled default button takes no Enter
        if (auto* b = dynamic_cast<QAbstractButton*>(bw)) {
            b->click();
            return true;
        }
    }
    SendMessage(WM_COMMAND, MAKEWPARAM(WORD(id), BN_CLICKED), 0);
    return true;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg && pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)) {
        if (FocusedComboListOpen())
            return FALSE;
        return HandleDialogKey(static_cast<UINT>(pMsg->wParam)) ? TRUE : FALSE;
    }
    return CWnd::PreTranslateMessage(pMsg);
}

// ---- Controls by id -----------------------------------------------------------------------------

void CDialog::SetDlgItemText(int nID, LPCSTR lpszString) { ::SetDlgItemTextA(m_hWnd, nID, lpszString); }

int CDialog::GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const
{
    return static_cast<int>(::GetDlgItemTextA(m_hWnd, nID, lpStr, nMaxCount));
}

int CDialog::GetDlgItemText(int nID, std::string& rString) const
{
    CWnd* w = GetDlgItem(nID);
    rString = w ? w->GetWindowTextString() : std::string();
    return static_cast<int>(rString.size());
}

void CDialog::SetDlgItemInt(int nID, UINT nValue, BOOL bSigned) { ::SetDlgItemInt(m_hWnd, nID, nValue, bSigned); }

UINT CDialog::GetDlgItemInt(int nID, BOOL* lpTrans, BOOL bSigned) const
{
    return ::GetDlgItemInt(m_hWnd, nID, lpTrans, bSigned);
}

void CDialog::CheckDlgButton(int nIDButton, UINT nCheck) { ::CheckDlgButton(m_hWnd, nIDButton, nCheck); }
UINT CDialog::IsDlgButtonChecked(int nIDButton) const { return ::IsDlgButtonChecked(m_hWnd, nIDButton); }

void CDialog::CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton)
{
    ::CheckRadioButton(m_hWnd, nIDFirstButton, nIDLastButton, nIDCheckButton);
}

int CDialog::GetCheckedRadioButton(int nIDFirstButton, int nIDLastButton) const
{
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id)
        if (::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED)
            return id;
    return 0;
}

LRESULT CDialog::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* w = GetDlgItem(nID);
    return w ? w->SendMessage(message, wParam, lParam) : 0;
}

// ---- Focus and the default button ---------------------------------------------------------------

namespace {
// Controls that take the focus with Tab, in tab order.
std::vector<QWidget*> TabStops(QWidget* root)
{
    std::vector<QWidget*> out;
    if (!root)
        return out;
    QWidget* w = root;
    for (int guard = 0; guard < 10000; ++guard) {
        w = w->nextInFocusChain();
        if (!w || w == root)
            break;
        if (root->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(root) &&
            !w->focusProxy())
            out.push_back(w);
    }
    return out;
}

void StepFocus(QWidget* root, bool forward)
{
    const auto stops = TabStops(root);
    if (stops.empty())
        return;
    QWidget* focus = QApplication::focusWidget();
    while (focus && focus->focusProxy())
        focus = focus->focusProxy();
    auto it = std::find(stops.begin(), stops.end(), focus);
    // Focus inside a compound control (a combo box's edit) counts as the control's.
    if (it == stops.end() && focus)
        for (auto s = stops.begin(); s != stops.end(); ++s)
            if ((*s)->isAncestorOf(focus))
                it = s;
    QWidget* next = nullptr;
    if (it == stops.end())
        next = forward ? stops.front() : stops.back();
    else if (forward)
        next = (it + 1 == stops.end()) ? stops.front() : *(it + 1);
    else
        next = it == stops.begin() ? stops.back() : *(it - 1);
    next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}
} // namespace

void CDialog::NextDlgCtrl() const { StepFocus(QtWidgetOf(this), true); }
void CDialog::PrevDlgCtrl() const { StepFocus(QtWidgetOf(this), false); }

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl)
{
    if (pWndCtrl && QtWidgetOf(pWndCtrl))
        QtWidgetOf(pWndCtrl)->setFocus(Qt::OtherFocusReason);
}

void CDialog::SetDefID(UINT nID)
{
    if (CWnd* old = GetDlgItem(static_cast<int>(defId_)))
        if (auto* b = dynamic_cast<QPushButton*>(QtWidgetOf(old)))
            b->setDefault(false);
    defId_ = nID;
    if (CWnd* now = GetDlgItem(static_cast<int>(nID)))
        if (auto* b = dynamic_cast<QPushButton*>(QtWidgetOf(now)))
            b->setDefault(true);
}

DWORD CDialog::GetDefID() const { return static_cast<DWORD>(MAKELONG(WORD(defId_), DC_HASDEFID)); }

CFont* CDialog::GetFont() const
{
    if (!QtWidgetOf(this))
        return nullptr;
    if (!font_)
        font_ = MakeFontOfWidget(QtWidgetOf(this));
    return font_.get();
}
