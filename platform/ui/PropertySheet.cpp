#include "platform/ui/PropertySheet.h"

#include "platform/core/Resources.h"
#include "platform/ui/qt/ControlsQt.h"
#include "platform/ui/qt/PropertySheetQt.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/qt/WndInternal.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPointer>
#include <QTabBar>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kMargin = 7;   // around the tabs and below the buttons
constexpr int kButtonW = 75;
constexpr int kButtonH = 23;
constexpr int kGap = 6;
constexpr int kStrip = kMargin + kButtonH + kMargin; // the button strip below the tabs
} // namespace

BEGIN_MESSAGE_MAP(CPropertySheet, CWnd)
    ON_COMMAND(IDOK, &CPropertySheet::OnSheetOK)
    ON_COMMAND(IDCANCEL, &CPropertySheet::OnSheetCancel)
    ON_COMMAND(ID_APPLY_NOW, &CPropertySheet::OnSheetApply)
    ON_COMMAND(IDHELP, &CPropertySheet::OnSheetHelp)
    ON_WM_CLOSE()
END_MESSAGE_MAP()

CPropertySheet::CPropertySheet() = default;

CPropertySheet::CPropertySheet(LPCSTR pszCaption, CWnd* pParentWnd, UINT iSelectPage)
    : caption_(pszCaption ? pszCaption : ""), parent_(pParentWnd)
{
    m_psh.nStartPage = iSelectPage;
}

CPropertySheet::CPropertySheet(UINT nIDCaption, CWnd* pParentWnd, UINT iSelectPage)
    : caption_(LoadResourceString(nIDCaption)), parent_(pParentWnd)
{
    m_psh.nStartPage = iSelectPage;
}

CPropertySheet::~CPropertySheet()
{
    DestroySheetWindow();
    for (CPropertyPage* p : pages_)
        p->AttachToSheet(nullptr);
}

void CPropertySheet::AddPage(CPropertyPage* pPage)
{
    if (!pPage || std::find(pages_.begin(), pages_.end(), pPage) != pages_.end())
        return;
    pages_.push_back(pPage);
    pPage->AttachToSheet(this);
    if (tabs_) {
        auto* holder = new CPageHolder;
        auto* l = new QVBoxLayout(holder);
        l->setContentsMargins(0, 0, 0, 0);
        ++switching_;
        tabs_->addTab(holder, QString::fromLocal8Bit(pPage->GetTabText().c_str()));
        --switching_;
    }
}

void CPropertySheet::RemovePage(int nPage)
{
    if (nPage < 0 || nPage >= GetPageCount())
        return;
    CPropertyPage* p = pages_[size_t(nPage)];
    p->DestroyPageWindow();
    p->AttachToSheet(nullptr);
    pages_.erase(pages_.begin() + nPage);
    if (tabs_) {
        ++switching_;
        QWidget* holder = tabs_->widget(nPage);
        tabs_->removeTab(nPage);
        delete holder;
        --switching_;
    }
    if (active_ == nPage) {
        active_ = -1;
        if (tabs_ && !pages_.empty())
            SwitchTo(std::min(nPage, GetPageCount() - 1), false);
    } else if (active_ > nPage) {
        --active_;
    }
}

void CPropertySheet::RemovePage(CPropertyPage* pPage) { RemovePage(GetPageIndex(pPage)); }

CPropertyPage* CPropertySheet::GetPage(int nPage) const
{
    return nPage >= 0 && nPage < GetPageCount() ? pages_[size_t(nPage)] : nullptr;
}

int CPropertySheet::GetPageIndex(CPropertyPage* pPage) const
{
    auto it = std::find(pages_.begin(), pages_.end(), pPage);
    return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

CPropertyPage* CPropertySheet::GetActivePage() const
{
    if (!tabs_)
        return GetPage(static_cast<int>(m_psh.nStartPage));
    return GetPage(active_);
}

int CPropertySheet::GetActiveIndex() const { return tabs_ ? active_ : static_cast<int>(m_psh.nStartPage); }

BOOL CPropertySheet::SetActivePage(int nPage)
{
    if (nPage < 0 || nPage >= GetPageCount())
        return FALSE;
    if (!tabs_) {
        m_psh.nStartPage = static_cast<UINT>(nPage);
        return TRUE;
    }
    return SwitchTo(nPage, true) ? TRUE : FALSE;
}

BOOL CPropertySheet::SetActivePage(CPropertyPage* pPage) { return SetActivePage(GetPageIndex(pPage)); }

void CPropertySheet::SetTitle(LPCSTR lpszText, UINT)
{
    caption_ = lpszText ? lpszText : "";
    if (QWidget* w = QtWidgetOf(this))
        w->setWindowTitle(QString::fromLocal8Bit(caption_.c_str()));
}

bool CPropertySheet::SwitchTo(int index, bool askCurrent)
{
    if (!tabs_ || index < 0 || index >= GetPageCount())
        return false;
    auto showTab = [this](int i) {
        ++switching_;
        if (i >= 0)
            tabs_->setCurrentIndex(i);
        --switching_;
    };
    if (index == active_) {
        showTab(active_);
        return true;
    }
    const HWND self = m_hWnd;
    CPropertyPage* current = GetPage(active_);
    if (askCurrent && current && current->GetSafeHwnd() && !current->OnKillActive()) {
        if (FromHandle(self) == this)
            showTab(active_);
        return false;
    }
    if (FromHandle(self) != this)
        return false;
    CPropertyPage* page = pages_[size_t(index)];
    showTab(index);
    if (!page->GetSafeHwnd() && !page->CreatePageWindow(tabs_->Holder(index))) {
        showTab(active_);
        return false;
    }
    if (FromHandle(self) != this)
        return false;
    if (!page->OnSetActive()) {
        if (FromHandle(self) == this)
            showTab(active_);
        return false;
    }
    active_ = index;
    return true;
}

void CPropertySheet::OnTabChosen(int index)
{
    if (switching_)
        return;
    SwitchTo(index, true);
}

bool CPropertySheet::CreateSheetWindow()
{
    if (m_hWnd)
        return false;
    AfxEnsureQtApplication();
    CWnd* parent = parent_ ? parent_ : AfxGetMainWnd();
    QWidget* parentWidget = parent && QtWidgetOf(parent) ? QtWidgetOf(parent)->window() : nullptr;
    auto* w = new CommandDialogWidget(this, [this](UINT vk) { return HandleSheetKey(vk); }, parentWidget);
    w->setWindowTitle(QString::fromLocal8Bit(caption_.c_str()));
    w->setModal(true);
    m_dwStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    m_pOwner = parent;
    QtAdoptWidget(this, w);

    tabs_ = new CSheetTabs(w);
    tabs_->setFocusPolicy(Qt::TabFocus);
    ++switching_;
    QSize pageSize(0, 0);
    for (CPropertyPage* p : pages_) {
        auto* holder = new CPageHolder;
        auto* l = new QVBoxLayout(holder);
        l->setContentsMargins(0, 0, 0, 0);
        tabs_->addTab(holder, QString::fromLocal8Bit(p->GetTabText().c_str()));
        const SIZE s = p->MeasureTemplate();
        pageSize = pageSize.expandedTo(QSize(s.cx, s.cy));
    }
    --switching_;
    QObject::connect(tabs_, &QTabWidget::currentChanged, w, [this](int i) { OnTabChosen(i); });

    // Windows' sheet: tabs on top, the buttons right-aligned in the strip below.
    const int tabBar = tabs_->tabBar()->sizeHint().height();
    const int buttonsWidth = 4 * kButtonW + 3 * kGap;
    const int tabW = std::max(pageSize.width() + 8, buttonsWidth);
    const int tabH = pageSize.height() + tabBar + 8;
    int width = tabW + 2 * kMargin;
    int height = kMargin + tabH + kStrip;
    tabs_->setGeometry(kMargin, kMargin, tabW, tabH);
    // A sheet larger than the screen (large pages at 200 %) would put its buttons below it:
    // the pages scroll instead, and OK and Cancel stay on the screen.
    if (QScreen* screen = parentWidget ? parentWidget->screen() : QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        // The frame the window manager adds, as it framed the owner.
        QSize decoration(0, 0);
        if (parentWidget)
            decoration = parentWidget->frameGeometry().size() - parentWidget->geometry().size();
        const int maxW = avail.width() - decoration.width();
        const int maxH = avail.height() - decoration.height();
        if (width > maxW || height > maxH) {
            auto* scroll = new QScrollArea(w);
            scroll->setFrameShape(QFrame::NoFrame);
            tabs_->setFixedSize(tabW, tabH);
            scroll->setWidget(tabs_);
            // A scroll bar on one side takes room the pages need on the other.
            const int bar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
            int viewW = std::min(tabW, maxW - 2 * kMargin);
            int viewH = std::min(tabH, maxH - kMargin - kStrip);
            if (viewH < tabH)
                viewW = std::min(tabW + bar, maxW - 2 * kMargin);
            if (viewW < tabW)
                viewH = std::min(tabH + bar, maxH - kMargin - kStrip);
            viewW = std::max(kButtonW, viewW);
            viewH = std::max(kButtonH, viewH);
            scroll->setGeometry(kMargin, kMargin, viewW, viewH);
            width = std::max(viewW + 2 * kMargin, buttonsWidth + 2 * kMargin);
            height = kMargin + viewH + kStrip;
        }
    }
    w->setFixedSize(width, height);

    struct Std {
        int id;
        const char* text;
        bool visible;
    };
    const Std std[] = {{IDOK, "OK", true},
                       {IDCANCEL, "Cancel", true},
                       {ID_APPLY_NOW, "&Apply", !(m_psh.dwFlags & PSH_NOAPPLYNOW)},
                       {IDHELP, "Help", true}};
    int x = width - kMargin - buttonsWidth;
    const int y = height - kMargin - kButtonH;
    for (const Std& b : std) {
        auto button = std::make_unique<CButton>();
        const DWORD style = WS_CHILD | WS_TABSTOP | (b.visible ? WS_VISIBLE : 0) |
                            (b.id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        button->Create(b.text, style, RECT{x, y, x + kButtonW, y + kButtonH}, this, static_cast<UINT>(b.id));
        if (b.id == ID_APPLY_NOW)
            button->EnableWindow(FALSE);
        buttons_.push_back(std::move(button));
        x += kButtonW + kGap;
    }
    return true;
}

void CPropertySheet::DestroySheetWindow()
{
    for (CPropertyPage* p : pages_)
        p->DestroyPageWindow();
    buttons_.clear();
    font_.reset();
    if (QWidget* w = QtWidgetOf(this))
        if (auto* sw = dynamic_cast<CommandDialogWidget*>(w))
            sw->ReleaseOwner();
    tabs_ = nullptr;
    active_ = -1;
    if (m_hWnd)
        DestroyWindow();
}

BOOL CPropertySheet::OnInitDialog()
{
    if (pages_.empty())
        return TRUE;
    const int start = std::clamp(static_cast<int>(m_psh.nStartPage), 0, GetPageCount() - 1);
    SwitchTo(start, false);
    return TRUE;
}

INT_PTR CPropertySheet::DoModal()
{
    if (!CreateSheetWindow())
        return -1;
    ended_ = false;
    result_ = IDCANCEL;
    const HWND self = m_hWnd;
    QPointer<QWidget> widget = QtWidgetOf(this);
    OnInitDialog();
    if (FromHandle(self) != this || !widget)
        return result_;
    if (CPropertyPage* p = GetActivePage())
        p->NextDlgCtrl();
    if (!ended_) {
        CDialog::ScheduleModalScript(this, [this, self] {
            if (FromHandle(self) == this)
                EndDialog(IDCANCEL);
        });
        running_ = true;
        if (auto* d = dynamic_cast<QDialog*>(widget.data()))
            d->exec();
        running_ = false;
    }
    const int result = result_;
    if (FromHandle(self) == this)
        DestroySheetWindow();
    return result;
}

void CPropertySheet::EndDialog(int nEndID)
{
    result_ = nEndID;
    ended_ = true;
    if (auto* d = dynamic_cast<QDialog*>(QtWidgetOf(this)); d && running_)
        d->done(nEndID);
}

void CPropertySheet::OnSheetOK()
{
    const HWND self = m_hWnd;
    CPropertyPage* current = GetActivePage();
    if (current && current->GetSafeHwnd() && !current->OnKillActive())
        return;
    if (FromHandle(self) != this)
        return;
    for (CPropertyPage* p : pages_)
        if (p->GetSafeHwnd())
            p->OnOK();
    EndDialog(IDOK);
}

void CPropertySheet::OnSheetCancel()
{
    for (CPropertyPage* p : pages_)
        if (p->GetSafeHwnd() && !p->OnQueryCancel())
            return;
    for (CPropertyPage* p : pages_)
        if (p->GetSafeHwnd())
            p->OnCancel();
    EndDialog(IDCANCEL);
}

void CPropertySheet::OnSheetApply()
{
    CPropertyPage* current = GetActivePage();
    if (current && current->GetSafeHwnd() && !current->OnKillActive())
        return;
    for (CPropertyPage* p : pages_)
        if (p->GetSafeHwnd() && p->IsModified())
            p->OnApply();
    if (CWnd* apply = GetDlgItem(ID_APPLY_NOW))
        apply->EnableWindow(FALSE);
}

void CPropertySheet::OnClose() { SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }

BOOL CPropertySheet::PressButton(int nButton)
{
    const int id = nButton == PSBTN_OK ? IDOK
                   : nButton == PSBTN_CANCEL ? IDCANCEL
                   : nButton == PSBTN_APPLYNOW ? ID_APPLY_NOW
                   : nButton == PSBTN_HELP ? IDHELP
                                            : 0;
    if (!id || !m_hWnd)
        return FALSE;
    SendMessage(WM_COMMAND, MAKEWPARAM(WORD(id), BN_CLICKED), 0);
    return TRUE;
}

bool CPropertySheet::HandleSheetKey(UINT vk)
{
    if (const std::optional<bool> settled = CommonDialogKey(this, vk))
        return *settled;
    if (CWnd* ok = GetDlgItem(IDOK))
        if (auto* b = dynamic_cast<QAbstractButton*>(QtWidgetOf(ok))) {
            if (b->isEnabled())
                b->click();
            return true;
        }
    SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
}

BOOL CPropertySheet::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg && pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)) {
        if (FocusedComboListOpen())
            return FALSE;
        return HandleSheetKey(static_cast<UINT>(pMsg->wParam)) ? TRUE : FALSE;
    }
    return CWnd::PreTranslateMessage(pMsg);
}

CFont* CPropertySheet::GetFont() const
{
    if (!QtWidgetOf(this))
        return nullptr;
    if (!font_)
        font_ = MakeFontOfWidget(QtWidgetOf(this));
    return font_.get();
}
