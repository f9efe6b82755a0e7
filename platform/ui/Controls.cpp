#include "platform/ui/Controls.h"

#include "platform/core/Resources.h"
#include "platform/ui/qt/ControlsQt.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/qt/GdiInternal.h"
#include "platform/ui/qt/WndInternal.h"

#include <QApplication>
#include <QHeaderView>
#include <QLocale>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTextBlock>
#include <QToolTip>

#include <algorithm>
#include <cstring>

namespace {

QString Q(LPCSTR s) { return QString::fromLocal8Bit(s ? s : ""); }
std::string S(const QString& s) { return s.toLocal8Bit().toStdString(); }

// WM_COMMAND to the control's parent, through whichever wrapper the control has now.
void Notify(QWidget* w, UINT code)
{
    QPointer<QWidget> guard(w);
    if (CWnd* self = WndFromWidget(w))
        self->NotifyParent(code);
}

LRESULT NotifyHeader(QWidget* w, NMHDR& hdr)
{
    if (CWnd* self = WndFromWidget(w))
        return self->NotifyParent(hdr);
    return 0;
}

void SendScroll(QWidget* w, UINT message, UINT code, int pos)
{
    CWnd* self = WndFromWidget(w);
    if (!self)
        return;
    if (CWnd* parent = self->GetParent())
        parent->SendMessage(message, MAKEWPARAM(WORD(code), WORD(static_cast<SHORT>(pos))),
                            reinterpret_cast<LPARAM>(self->GetSafeHwnd()));
}

// Asks the parent for the static's colours (WM_CTLCOLOR, CTLCOLOR_STATIC).
ctlqt::StaticColors StaticColorsOf(QWidget* w)
{
    ctlqt::StaticColors out;
    CWnd* self = WndFromWidget(w);
    CWnd* parent = self ? self->GetParent() : nullptr;
    if (!parent || !parent->FindMessageEntry(WM_CTLCOLOR))
        return out;
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    AFX_CTLCOLOR cc;
    cc.pWnd = self;
    cc.pDC = &dc;
    cc.nCtlType = CTLCOLOR_STATIC;
    const auto brush = reinterpret_cast<HBRUSH>(parent->SendMessage(WM_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&cc)));
    if (!brush)
        return out;
    if (auto data = gdi::LookupAs<BrushData>(reinterpret_cast<HGDIOBJ>(brush), GdiKind::Brush)) {
        if (data->style != BS_NULL)
            out.background = QColor::fromRgb(gdi::ToRgb(data->color));
    }
    out.text = QColor::fromRgb(gdi::ToRgb(dc.GetTextColor()));
    out.transparentText = dc.GetBkMode() == TRANSPARENT;
    return out;
}

// Has the owner draw the button on the button's surface (WM_DRAWITEM to a parent that maps it,
// else the button's own DrawItem, as MFC reflects it).
CSurface* DrawOwnerButton(QWidget* w, UINT state)
{
    CWnd* self = WndFromWidget(w);
    if (!self)
        return nullptr;
    CSurface* surface = self->GetSurface();
    if (!surface)
        return nullptr;
    // Drawing here is the paint itself; it must not ask for another one.
    auto changed = std::move(surface->onChanged);
    surface->onChanged = nullptr;
    {
        CSurfaceDC dc(surface);
        DRAWITEMSTRUCT dis;
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = static_cast<UINT>(self->GetDlgCtrlID());
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = state;
        dis.hwndItem = self->GetSafeHwnd();
        dis.hDC = dc.GetSafeHdc();
        dis.rcItem = RECT{0, 0, w->width(), w->height()};
        CWnd* parent = self->GetParent();
        if (parent && parent->FindMessageEntry(WM_DRAWITEM))
            parent->SendMessage(WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        else if (auto* button = dynamic_cast<CButton*>(self))
            button->DrawItem(&dis);
    }
    if (WndFromWidget(w) == self)
        surface->onChanged = std::move(changed);
    return surface;
}

Qt::Alignment AlignmentOf(dlg::Align a)
{
    switch (a) {
    case dlg::Align::Center: return Qt::AlignHCenter;
    case dlg::Align::Right: return Qt::AlignRight;
    default: return Qt::AlignLeft;
    }
}

int CharWidth(const QWidget* w) { return std::max(1, w->fontMetrics().averageCharWidth()); }

// What a control takes beside its text: a combo box its frame and arrow (a template's width in
// characters is the room its items get), other controls a small margin.
int ControlRoomAroundText(QWidget* w)
{
    auto* c = qobject_cast<QComboBox*>(w);
    if (!c)
        return 12;
    return std::max(12, 200 - ctlqt::ComboTextField(*c, QSize(200, c->sizeHint().height())).width() + 4);
}

// A template item from Windows styles, for controls the code creates.
dlg::ControlSpec SpecFromStyle(dlg::Ctl kind, DWORD style, const std::string& text)
{
    dlg::ControlSpec s;
    s.kind = kind;
    s.text = text;
    s.hidden = !(style & WS_VISIBLE);
    s.disabled = (style & WS_DISABLED) != 0;
    s.tabStop = (style & WS_TABSTOP) ? 1 : 0;
    s.group = (style & WS_GROUP) != 0;
    switch (kind) {
    case dlg::Ctl::PushButton: {
        const DWORD type = style & BS_TYPEMASK;
        if (type == BS_DEFPUSHBUTTON)
            s.kind = dlg::Ctl::DefPushButton;
        else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE)
            s.kind = dlg::Ctl::CheckBox;
        else if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)
            s.kind = dlg::Ctl::RadioButton;
        else if (type == BS_GROUPBOX)
            s.kind = dlg::Ctl::GroupBox;
        else if (type == BS_OWNERDRAW)
            s.kind = dlg::Ctl::OwnerDrawButton;
        s.manual = type == BS_CHECKBOX || type == BS_RADIOBUTTON || type == BS_3STATE;
        s.flat = (style & BS_FLAT) != 0;
        s.multilineText = (style & BS_MULTILINE) != 0;
        break;
    }
    case dlg::Ctl::Edit:
        s.multiline = (style & ES_MULTILINE) != 0;
        s.readOnly = (style & ES_READONLY) != 0;
        s.password = (style & ES_PASSWORD) != 0;
        s.number = (style & ES_NUMBER) != 0;
        s.wantReturn = (style & ES_WANTRETURN) != 0;
        s.autoHScroll = (style & ES_AUTOHSCROLL) != 0;
        s.vscroll = (style & WS_VSCROLL) != 0;
        s.hscroll = (style & WS_HSCROLL) != 0;
        s.align = (style & ES_RIGHT) ? dlg::Align::Right : (style & ES_CENTER) ? dlg::Align::Center : dlg::Align::Left;
        break;
    case dlg::Ctl::ComboDropList:
        if ((style & 0x3) == CBS_DROPDOWN || (style & 0x3) == CBS_SIMPLE)
            s.kind = dlg::Ctl::ComboDropDown;
        s.sort = (style & CBS_SORT) != 0;
        break;
    case dlg::Ctl::ListBox:
        s.sort = (style & LBS_SORT) != 0;
        s.multiSelect = (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
        break;
    case dlg::Ctl::Label: {
        const DWORD type = style & SS_TYPEMASK;
        if (type == SS_BITMAP)
            s.kind = dlg::Ctl::Image;
        else if (type >= SS_BLACKRECT && type <= SS_WHITEFRAME)
            s.kind = dlg::Ctl::Frame;
        else if (type == SS_ETCHEDFRAME)
            s.kind = dlg::Ctl::Frame;
        s.align = type == SS_CENTER ? dlg::Align::Center : type == SS_RIGHT ? dlg::Align::Right : dlg::Align::Left;
        s.sunken = (style & SS_SUNKEN) != 0;
        s.notify = (style & SS_NOTIFY) != 0;
        break;
    }
    case dlg::Ctl::HScrollBar:
        if (style & SBS_VERT)
            s.kind = dlg::Ctl::VScrollBar;
        break;
    case dlg::Ctl::Progress: s.smooth = (style & PBS_SMOOTH) != 0; break;
    default: break;
    }
    return s;
}

int SpinSetPos(ctlqt::SpinArrows* s, int nPos)
{
    const int old = s->pos;
    s->pos = std::clamp(nPos, std::min(s->lower, s->upper), std::max(s->lower, s->upper));
    if ((s->style & UDS_SETBUDDYINT) && s->buddy)
        if (CWnd* b = WndFromWidget(s->buddy))
            b->SetWindowText(std::to_string(s->pos));
    return old;
}

// A click on an arrow: UDN_DELTAPOS (which may refuse), the new position, the buddy's text,
// then the scroll message with SB_THUMBPOSITION.
void SpinStep(ctlqt::SpinArrows* s, int delta)
{
    // The up arrow moves toward the upper end of the range, whichever way it runs.
    const int dir = s->upper >= s->lower ? delta : -delta;
    NMUPDOWN n;
    n.hdr.code = UDN_DELTAPOS;
    n.iPos = s->pos;
    n.iDelta = dir;
    QPointer<QWidget> alive(s);
    if (NotifyHeader(s, n.hdr) != 0 || !alive)
        return;
    const int lo = std::min(s->lower, s->upper), hi = std::max(s->lower, s->upper);
    int next = s->pos + n.iDelta;
    if (next > hi)
        next = (s->style & UDS_WRAP) ? lo : hi;
    if (next < lo)
        next = (s->style & UDS_WRAP) ? hi : lo;
    SpinSetPos(s, next);
    const UINT message = (s->style & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL;
    SendScroll(s, message, SB_THUMBPOSITION, next);
    if (alive)
        SendScroll(s, message, SB_ENDSCROLL, next);
}

// Check state of any button widget, whatever wraps it.
int ButtonCheck(QWidget* w)
{
    auto* b = dynamic_cast<QAbstractButton*>(w);
    if (!b || !b->isCheckable())
        return BST_UNCHECKED;
    if (auto* c = qobject_cast<QCheckBox*>(b))
        return c->checkState() == Qt::PartiallyChecked ? BST_INDETERMINATE : c->isChecked() ? BST_CHECKED : BST_UNCHECKED;
    return b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void SetButtonCheck(QWidget* w, int nCheck)
{
    auto* b = dynamic_cast<QAbstractButton*>(w);
    if (!b || !b->isCheckable())
        return;
    if (auto* c = qobject_cast<QCheckBox*>(b)) {
        if (nCheck == BST_INDETERMINATE)
            c->setTristate(true);
        c->setCheckState(nCheck == BST_INDETERMINATE ? Qt::PartiallyChecked : nCheck ? Qt::Checked : Qt::Unchecked);
        return;
    }
    b->setChecked(nCheck != 0);
}

template <class W> W* As(const CWnd* wnd) { return wnd ? dynamic_cast<W*>(QtWidgetOf(wnd)) : nullptr; }

} // namespace

// ---- Widget factory ---------------------------------------------------------------------------

QWidget* CreateControlWidget(const dlg::ControlSpec& desc, QWidget* parent)
{
    using dlg::Ctl;
    QWidget* w = nullptr;
    const QString text = QString::fromLocal8Bit(desc.text.c_str());
    switch (desc.kind) {
    case Ctl::PushButton:
    case Ctl::DefPushButton:
    case Ctl::OwnerDrawButton: {
        auto* b = new ctlqt::PushButton(parent);
        b->setText(text);
        b->setFlat(desc.flat);
        b->setDefault(desc.kind == Ctl::DefPushButton);
        b->notify = [b](UINT code) { Notify(b, code); };
        if (desc.kind == Ctl::OwnerDrawButton) {
            b->ownerDraw = true;
            b->drawItem = [b](UINT state) { return DrawOwnerButton(b, state); };
        }
        w = b;
        break;
    }
    case Ctl::CheckBox: {
        auto* b = new ctlqt::CheckBox(parent);
        b->setText(text);
        b->manual = desc.manual;
        b->notify = [b](UINT code) { Notify(b, code); };
        w = b;
        break;
    }
    case Ctl::RadioButton: {
        auto* b = new ctlqt::RadioButton(parent);
        b->setText(text);
        b->manual = desc.manual;
        b->notify = [b](UINT code) { Notify(b, code); };
        w = b;
        break;
    }
    case Ctl::GroupBox: {
        auto* g = new ctlqt::GroupBox(parent);
        g->setTitle(text);
        g->setFocusPolicy(Qt::NoFocus);
        w = g;
        break;
    }
    case Ctl::Label:
    case Ctl::Frame:
    case Ctl::Image: {
        auto* l = new ctlqt::Static(parent);
        l->setTextFormat(Qt::PlainText);
        l->setText(text);
        l->setAlignment(AlignmentOf(desc.align) | Qt::AlignVCenter);
        l->setWordWrap(desc.heightLines > 1);
        if (desc.kind == Ctl::Frame || desc.sunken)
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (desc.kind == Ctl::Frame)
            l->setMinimumSize(16, 16);
        if (desc.kind == Ctl::Image && !desc.image.empty()) {
            const auto bytes = FindResourceBytes(ResType::Bitmap, desc.image);
            const QImage img = gdi::DecodeImageFile(bytes);
            if (!img.isNull())
                l->setPixmap(QPixmap::fromImage(img));
        }
        l->notifyClicks = desc.notify;
        l->notify = [l](UINT code) { Notify(l, code); };
        l->colors = [l] { return StaticColorsOf(l); };
        l->setFocusPolicy(Qt::NoFocus);
        w = l;
        break;
    }
    case Ctl::Edit:
        if (desc.multiline) {
            auto* e = new ctlqt::TextEdit(parent);
            e->setReadOnly(desc.readOnly);
            e->wantReturn = desc.wantReturn;
            e->limit = desc.limit;
            e->setLineWrapMode(desc.autoHScroll && desc.hscroll ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
            e->setVerticalScrollBarPolicy(desc.vscroll ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
            e->notify = [e](UINT code) { Notify(e, code); };
            const int lines = desc.heightLines > 0 ? desc.heightLines : 3;
            // As tall as its lines ask, not as tall as Qt's default.
            e->setFixedHeight(e->fontMetrics().lineSpacing() * lines + 2 * e->frameWidth() + 8);
            w = e;
        } else {
            auto* e = new ctlqt::LineEdit(parent);
            e->setReadOnly(desc.readOnly);
            if (desc.password)
                e->setEchoMode(QLineEdit::Password);
            if (desc.limit > 0)
                e->setMaxLength(desc.limit);
            if (desc.number)
                e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
            e->setAlignment(AlignmentOf(desc.align));
            e->notify = [e](UINT code) { Notify(e, code); };
            w = e;
        }
        break;
    case Ctl::ComboDropDown:
    case Ctl::ComboDropList: {
        auto* c = new ctlqt::ComboBox(desc.kind == Ctl::ComboDropDown, parent);
        c->sorted = desc.sort;
        c->dropLines = desc.dropLines;
        // In a template's layout the box grows to its widest item, so that no item is cut
        // whatever the font (CreateControl undoes it for boxes the code places by pixels).
        c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        c->notify = [c](UINT code) { Notify(c, code); };
        w = c;
        break;
    }
    case Ctl::ListBox: {
        auto* l = new ctlqt::ListBox(parent);
        l->sorted = desc.sort;
        l->setSelectionMode(desc.multiSelect ? QAbstractItemView::MultiSelection : QAbstractItemView::SingleSelection);
        l->notify = [l](UINT code) { Notify(l, code); };
        if (desc.heightLines > 0)
            l->setFixedHeight(l->fontMetrics().lineSpacing() * desc.heightLines + 2 * l->frameWidth() + 4);
        w = l;
        break;
    }
    case Ctl::HScrollBar:
    case Ctl::VScrollBar: {
        const bool vertical = desc.kind == Ctl::VScrollBar;
        auto* s = new ctlqt::ScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, parent);
        // An empty range, as a new control has; Qt is given one step of room so that the
        // arrows still work, since a spin-like bar is clicked without any range set.
        s->setRange(0, 1);
        s->setProperty("durnexMax", 0);
        s->setProperty("durnexLimit", 0);
        s->scroll = [s, vertical](UINT code, int pos) { SendScroll(s, vertical ? WM_VSCROLL : WM_HSCROLL, code, pos); };
        // A vertical bar in a template is mostly a spin beside an edit: as tall as one.
        if (vertical)
            s->setFixedHeight(desc.heightLines > 0 ? s->fontMetrics().lineSpacing() * desc.heightLines + 4
                                                   : QLineEdit().sizeHint().height());
        w = s;
        break;
    }
    case Ctl::Spin: {
        auto* s = new ctlqt::SpinArrows(parent);
        s->step = [s](int delta) { SpinStep(s, delta); };
        w = s;
        break;
    }
    case Ctl::Progress: {
        auto* p = new QProgressBar(parent);
        p->setRange(0, 100);
        p->setValue(0);
        p->setTextVisible(false);
        w = p;
        break;
    }
    case Ctl::DateTime: {
        auto* d = new ctlqt::DateTimeEdit(parent);
        d->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
        d->setDateTime(QDateTime::currentDateTime());
        d->notify = [d](UINT) {
            NMDATETIMECHANGE n;
            n.nmhdr.code = DTN_DATETIMECHANGE;
            n.time = d->dateTime().toSecsSinceEpoch();
            NotifyHeader(d, n.nmhdr);
        };
        w = d;
        break;
    }
    case Ctl::ReportList: {
        auto* r = new ctlqt::ReportList(parent);
        r->checkBoxes = desc.checkBoxes;
        QStringList headings;
        for (const auto& [heading, width] : desc.columns)
            headings << QString::fromLocal8Bit(heading.c_str());
        r->setColumnCount(std::max<int>(1, static_cast<int>(headings.size())));
        r->setHeaderLabels(headings);
        for (int i = 0; i < static_cast<int>(desc.columns.size()); ++i)
            r->setColumnWidth(i, desc.columns[size_t(i)].second * CharWidth(r));
        r->notify = [r](UINT code, int item) {
            NMLISTVIEW n;
            n.hdr.code = code;
            n.iItem = item;
            n.uChanged = 0x8; // LVIF_STATE
            NotifyHeader(r, n.hdr);
        };
        if (desc.heightLines > 0)
            r->setFixedHeight(r->fontMetrics().lineSpacing() * (desc.heightLines + 2) + 8);
        w = r;
        break;
    }
    }
    if (!w)
        return nullptr;
    if (desc.id >= 0 && desc.id != 0xFFFF)
        w->setProperty(kCtrlIdProperty, static_cast<UINT>(desc.id));
    if (desc.widthChars > 0)
        w->setMinimumWidth(desc.widthChars * CharWidth(w) + ControlRoomAroundText(w));
    if (desc.tabStop == 0)
        w->setFocusPolicy(Qt::ClickFocus);
    w->setEnabled(!desc.disabled);
    // A control the code hides keeps its place, as on Windows.
    QSizePolicy sp = w->sizePolicy();
    sp.setRetainSizeWhenHidden(true);
    w->setSizePolicy(sp);
    if (desc.hidden)
        w->hide();
    return w;
}

std::unique_ptr<CWnd> CControlWnd::NewWrapper(dlg::Ctl kind)
{
    using dlg::Ctl;
    switch (kind) {
    case Ctl::PushButton:
    case Ctl::DefPushButton:
    case Ctl::CheckBox:
    case Ctl::RadioButton:
    case Ctl::OwnerDrawButton:
    case Ctl::GroupBox: return std::make_unique<CButton>();
    case Ctl::Label:
    case Ctl::Frame:
    case Ctl::Image: return std::make_unique<CStatic>();
    case Ctl::Edit: return std::make_unique<CEdit>();
    case Ctl::ComboDropDown:
    case Ctl::ComboDropList: return std::make_unique<CComboBox>();
    case Ctl::ListBox: return std::make_unique<CListBox>();
    case Ctl::HScrollBar:
    case Ctl::VScrollBar: return std::make_unique<CScrollBar>();
    case Ctl::Spin: return std::make_unique<CSpinButtonCtrl>();
    case Ctl::Progress: return std::make_unique<CProgressCtrl>();
    case Ctl::DateTime: return std::make_unique<CDateTimeCtrl>();
    case Ctl::ReportList: return std::make_unique<CListCtrl>();
    }
    return std::make_unique<CWnd>();
}

BOOL CControlWnd::CreateControl(const dlg::ControlSpec& desc, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                                UINT nID)
{
    if (m_hWnd || !pParentWnd || !QtClientWidgetOf(pParentWnd))
        return FALSE;
    dlg::ControlSpec s = desc;
    s.id = static_cast<int>(nID);
    QWidget* w = CreateControlWidget(s, QtClientWidgetOf(pParentWnd));
    if (!w)
        return FALSE;
    // The code places this control in pixels: the template's size hints do not apply, and a
    // combo box must not resize itself to its items.
    if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    w->setMinimumSize(0, 0);
    w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    w->setGeometry(rect.left, rect.top, std::max(0, int(rect.right - rect.left)), std::max(0, int(rect.bottom - rect.top)));
    m_nID = nID;
    m_dwStyle = dwStyle | WS_CHILD;
    QtAdoptWidget(this, w);
    w->setVisible((dwStyle & WS_VISIBLE) != 0);
    return TRUE;
}

template <class W> W* CControlWnd::Widget() const { return As<W>(this); }

void CControlWnd::SetFont(CFont* pFont, BOOL bRedraw)
{
    QWidget* w = QtWidgetOf(this);
    if (!w || !pFont)
        return;
    LOGFONTA lf;
    if (!pFont->GetLogFont(&lf))
        return;
    // Negative heights are character heights, positive ones cell heights; 0 keeps the size.
    const double height = lf.lfHeight != 0 ? double(lf.lfHeight) : -double(QFontInfo(w->font()).pixelSize());
    const QFont f = gdi::RealizeFont(lf, height);
    w->setFont(f);
    font_.reset();
    if (bRedraw)
        w->update();
}

CFont* CControlWnd::GetFont() const
{
    QWidget* w = QtWidgetOf(this);
    if (!w)
        return nullptr;
    if (!font_)
        font_ = MakeFontOfWidget(w);
    return font_.get();
}

LRESULT CControlWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETFONT) {
        if (CFont* f = CFont::FromHandle(reinterpret_cast<HFONT>(wParam)))
            SetFont(f, static_cast<BOOL>(lParam));
        return 0;
    }
    if (message == WM_GETFONT) {
        CFont* f = GetFont();
        return f ? reinterpret_cast<LRESULT>(f->GetSafeHandle()) : 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

// ---- Buttons ----------------------------------------------------------------------------------

BOOL CButton::Create(LPCSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CreateControl(SpecFromStyle(dlg::Ctl::PushButton, dwStyle, lpszCaption ? lpszCaption : ""), dwStyle,
                         rect, pParentWnd, nID);
}

int CButton::GetCheck() const { return ButtonCheck(QtWidgetOf(this)); }

void CButton::SetCheck(int nCheck) { SetButtonCheck(QtWidgetOf(this), nCheck); }

UINT CButton::GetState() const
{
    auto* b = Widget<QAbstractButton>();
    if (!b)
        return 0;
    UINT s = static_cast<UINT>(GetCheck());
    if (b->isDown())
        s |= BST_PUSHED;
    if (b->hasFocus())
        s |= BST_FOCUS;
    return s;
}

void CButton::SetState(BOOL bHighlight)
{
    if (auto* b = Widget<QAbstractButton>()) {
        b->setDown(bHighlight != FALSE);
        b->update();
    }
}

UINT CButton::GetButtonStyle() const
{
    QWidget* w = QtWidgetOf(this);
    if (auto* p = dynamic_cast<ctlqt::PushButton*>(w))
        return p->ownerDraw ? BS_OWNERDRAW : p->isDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if (auto* c = dynamic_cast<ctlqt::CheckBox*>(w))
        return c->manual ? BS_CHECKBOX : BS_AUTOCHECKBOX;
    if (auto* r = dynamic_cast<ctlqt::RadioButton*>(w))
        return r->manual ? BS_RADIOBUTTON : BS_AUTORADIOBUTTON;
    if (dynamic_cast<QGroupBox*>(w))
        return BS_GROUPBOX;
    return BS_PUSHBUTTON;
}

void CButton::SetButtonStyle(UINT nStyle, BOOL bRedraw)
{
    // Dialogs move the default-button look between push buttons this way.
    if (auto* p = dynamic_cast<ctlqt::PushButton*>(QtWidgetOf(this))) {
        const UINT type = nStyle & BS_TYPEMASK;
        if (type == BS_DEFPUSHBUTTON || type == BS_PUSHBUTTON)
            p->setDefault(type == BS_DEFPUSHBUTTON);
        if (bRedraw)
            p->update();
    }
}

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

// ---- Edits ------------------------------------------------------------------------------------

BOOL CEdit::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (!CreateControl(SpecFromStyle(dlg::Ctl::Edit, dwStyle, ""), dwStyle, rect, pParentWnd, nID))
        return FALSE;
    // An edit the code creates has a border only when asked for one.
    if (auto* e = Widget<QLineEdit>())
        e->setFrame((dwStyle & WS_BORDER) != 0);
    else if (auto* t = Widget<QPlainTextEdit>())
        t->setFrameStyle((dwStyle & WS_BORDER) ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
    return TRUE;
}

void CEdit::SetLimitText(UINT nMax)
{
    const int limit = nMax == 0 ? 0x7FFFFFFE : static_cast<int>(std::min<UINT>(nMax, 0x7FFFFFFE));
    if (auto* e = Widget<ctlqt::LineEdit>())
        e->setMaxLength(limit);
    else if (auto* t = Widget<ctlqt::TextEdit>())
        t->limit = nMax == 0 ? 0 : limit;
}

UINT CEdit::GetLimitText() const
{
    if (auto* e = Widget<ctlqt::LineEdit>())
        return static_cast<UINT>(e->maxLength());
    if (auto* t = Widget<ctlqt::TextEdit>())
        return t->limit > 0 ? static_cast<UINT>(t->limit) : 0x7FFFFFFE;
    return 0;
}

int CEdit::GetLineCount() const
{
    if (auto* t = Widget<ctlqt::TextEdit>())
        return std::max(1, t->document()->blockCount());
    return 1;
}

std::string CEdit::GetLine(int nIndex) const
{
    if (auto* t = Widget<ctlqt::TextEdit>()) {
        const QTextBlock b = t->document()->findBlockByNumber(nIndex);
        return b.isValid() ? S(b.text()) : std::string();
    }
    if (auto* e = Widget<ctlqt::LineEdit>())
        return nIndex == 0 ? S(e->text()) : std::string();
    return {};
}

int CEdit::GetLine(int nIndex, LPSTR lpszBuffer, int nMaxLength) const
{
    if (!lpszBuffer || nMaxLength <= 0)
        return 0;
    const std::string line = GetLine(nIndex);
    const int n = std::min<int>(static_cast<int>(line.size()), nMaxLength);
    std::memcpy(lpszBuffer, line.data(), size_t(n));
    if (n < nMaxLength)
        lpszBuffer[n] = '\0';
    return n;
}

BOOL CEdit::SetReadOnly(BOOL bReadOnly)
{
    if (auto* e = Widget<QLineEdit>())
        e->setReadOnly(bReadOnly != FALSE);
    else if (auto* t = Widget<QPlainTextEdit>())
        t->setReadOnly(bReadOnly != FALSE);
    else
        return FALSE;
    return TRUE;
}

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL)
{
    if (auto* e = Widget<QLineEdit>()) {
        if (nStartChar == -1) {
            e->deselect();
            return;
        }
        const int len = static_cast<int>(e->text().size());
        const int end = nEndChar < 0 ? len : std::min(nEndChar, len);
        e->setSelection(std::min(nStartChar, len), end - std::min(nStartChar, len));
    } else if (auto* t = Widget<QPlainTextEdit>()) {
        QTextCursor c = t->textCursor();
        const int len = static_cast<int>(t->toPlainText().size());
        c.setPosition(std::clamp(nStartChar, 0, len));
        c.setPosition(nEndChar < 0 ? len : std::min(nEndChar, len), QTextCursor::KeepAnchor);
        t->setTextCursor(c);
    }
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const
{
    nStartChar = nEndChar = 0;
    if (auto* e = Widget<QLineEdit>()) {
        if (e->hasSelectedText()) {
            nStartChar = e->selectionStart();
            nEndChar = e->selectionEnd();
        } else {
            nStartChar = nEndChar = e->cursorPosition();
        }
    } else if (auto* t = Widget<QPlainTextEdit>()) {
        nStartChar = t->textCursor().selectionStart();
        nEndChar = t->textCursor().selectionEnd();
    }
}

void CEdit::ReplaceSel(LPCSTR lpszNewText, BOOL)
{
    if (auto* e = Widget<QLineEdit>())
        e->insert(Q(lpszNewText));
    else if (auto* t = Widget<QPlainTextEdit>())
        t->insertPlainText(ctlqt::FromWindowsText(lpszNewText ? lpszNewText : ""));
}

BOOL CEdit::GetModify() const
{
    if (auto* e = Widget<QLineEdit>())
        return e->isModified();
    if (auto* t = Widget<QPlainTextEdit>())
        return t->document()->isModified();
    return FALSE;
}

void CEdit::SetModify(BOOL bModified)
{
    if (auto* e = Widget<QLineEdit>())
        e->setModified(bModified != FALSE);
    else if (auto* t = Widget<QPlainTextEdit>())
        t->document()->setModified(bModified != FALSE);
}

// ---- Combo boxes ------------------------------------------------------------------------------

namespace {
int SortedPosition(const QStringList& items, const QString& text)
{
    int i = 0;
    while (i < items.size() && QString::compare(items[i], text, Qt::CaseInsensitive) <= 0)
        ++i;
    return i;
}

QStringList ComboItems(const QComboBox* c)
{
    QStringList l;
    for (int i = 0; i < c->count(); ++i)
        l << c->itemText(i);
    return l;
}

int FindPrefix(const QStringList& items, int startAfter, const QString& text, bool exact)
{
    const int n = static_cast<int>(items.size());
    if (n == 0)
        return -1;
    int start = (startAfter < -1 || startAfter >= n) ? 0 : startAfter + 1;
    for (int k = 0; k < n; ++k) {
        const int i = (start + k) % n;
        const bool hit = exact ? QString::compare(items[i], text, Qt::CaseInsensitive) == 0
                               : items[i].startsWith(text, Qt::CaseInsensitive);
        if (hit)
            return i;
    }
    return -1;
}
} // namespace

BOOL CComboBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (!pParentWnd || !CreateControl(SpecFromStyle(dlg::Ctl::ComboDropList, dwStyle, ""), dwStyle, rect, pParentWnd, nID))
        return FALSE;
    // The rectangle's height includes the drop-down list; placing it again keeps the box one
    // line high.
    MoveWindow(&rect, FALSE);
    return TRUE;
}

int CComboBox::InsertString(int nIndex, LPCSTR lpszString)
{
    auto* c = Widget<ctlqt::ComboBox>();
    if (!c)
        return CB_ERR;
    if (nIndex < -1 || nIndex > c->count())
        return CB_ERR;
    const int at = nIndex == -1 ? c->count() : nIndex;
    ctlqt::Guard g(c->guard);
    const int sel = c->currentIndex();
    const QString editText = c->isEditable() ? c->currentText() : QString();
    c->insertItem(at, Q(lpszString), QVariant::fromValue<qulonglong>(0));
    // Qt selects the first item added to an empty box; Windows leaves the selection alone.
    c->setCurrentIndex(sel < 0 ? -1 : (at <= sel ? sel + 1 : sel));
    if (c->isEditable() && sel < 0)
        c->setEditText(editText);
    return at;
}

int CComboBox::AddString(LPCSTR lpszString)
{
    auto* c = Widget<ctlqt::ComboBox>();
    if (!c)
        return CB_ERR;
    return InsertString(c->sorted ? SortedPosition(ComboItems(c), Q(lpszString)) : -1, lpszString);
}

int CComboBox::DeleteString(UINT nIndex)
{
    auto* c = Widget<ctlqt::ComboBox>();
    if (!c || static_cast<int>(nIndex) >= c->count())
        return CB_ERR;
    ctlqt::Guard g(c->guard);
    const int sel = c->currentIndex();
    const QString editText = c->isEditable() ? c->currentText() : QString();
    c->removeItem(static_cast<int>(nIndex));
    const int i = static_cast<int>(nIndex);
    c->setCurrentIndex(sel < 0 || sel == i ? -1 : (sel > i ? sel - 1 : sel));
    if (c->isEditable() && (sel < 0 || sel == i))
        c->setEditText(editText);
    return c->count();
}

void CComboBox::ResetContent()
{
    if (auto* c = Widget<ctlqt::ComboBox>()) {
        ctlqt::Guard g(c->guard);
        c->clear();
        c->setCurrentIndex(-1);
        if (c->isEditable())
            c->setEditText(QString());
    }
}

int CComboBox::GetCount() const
{
    auto* c = Widget<QComboBox>();
    return c ? c->count() : CB_ERR;
}

int CComboBox::GetCurSel() const
{
    auto* c = Widget<QComboBox>();
    if (!c)
        return CB_ERR;
    return c->currentIndex() < 0 ? CB_ERR : c->currentIndex();
}

int CComboBox::SetCurSel(int nSelect)
{
    auto* c = Widget<ctlqt::ComboBox>();
    if (!c)
        return CB_ERR;
    ctlqt::Guard g(c->guard);
    if (nSelect < 0 || nSelect >= c->count()) {
        c->setCurrentIndex(-1);
        if (c->isEditable())
            c->setEditText(QString());
        return CB_ERR;
    }
    c->setCurrentIndex(nSelect);
    return nSelect;
}

DWORD_PTR CComboBox::GetItemData(int nIndex) const
{
    auto* c = Widget<QComboBox>();
    if (!c || nIndex < 0 || nIndex >= c->count())
        return static_cast<DWORD_PTR>(CB_ERR);
    return static_cast<DWORD_PTR>(c->itemData(nIndex).toULongLong());
}

int CComboBox::SetItemData(int nIndex, DWORD_PTR dwItemData)
{
    auto* c = Widget<QComboBox>();
    if (!c || nIndex < 0 || nIndex >= c->count())
        return CB_ERR;
    c->setItemData(nIndex, QVariant::fromValue<qulonglong>(dwItemData));
    return CB_OKAY;
}

int CComboBox::GetLBText(int nIndex, LPSTR lpszText) const
{
    auto* c = Widget<QComboBox>();
    if (!c || nIndex < 0 || nIndex >= c->count() || !lpszText)
        return CB_ERR;
    const std::string t = S(c->itemText(nIndex));
    std::memcpy(lpszText, t.c_str(), t.size() + 1);
    return static_cast<int>(t.size());
}

void CComboBox::GetLBText(int nIndex, std::string& rString) const
{
    auto* c = Widget<QComboBox>();
    rString = (c && nIndex >= 0 && nIndex < c->count()) ? S(c->itemText(nIndex)) : std::string();
}

int CComboBox::GetLBTextLen(int nIndex) const
{
    auto* c = Widget<QComboBox>();
    if (!c || nIndex < 0 || nIndex >= c->count())
        return CB_ERR;
    return static_cast<int>(S(c->itemText(nIndex)).size());
}

int CComboBox::FindString(int nStartAfter, LPCSTR lpszString) const
{
    auto* c = Widget<QComboBox>();
    return c ? FindPrefix(ComboItems(c), nStartAfter, Q(lpszString), false) : CB_ERR;
}

int CComboBox::FindStringExact(int nIndexStart, LPCSTR lpszFind) const
{
    auto* c = Widget<QComboBox>();
    return c ? FindPrefix(ComboItems(c), nIndexStart, Q(lpszFind), true) : CB_ERR;
}

int CComboBox::SelectString(int nStartAfter, LPCSTR lpszString)
{
    const int i = FindString(nStartAfter, lpszString);
    return i < 0 ? CB_ERR : SetCurSel(i);
}

void CComboBox::ShowDropDown(BOOL bShowIt)
{
    if (auto* c = Widget<QComboBox>())
        bShowIt ? c->showPopup() : c->hidePopup();
}

BOOL CComboBox::GetDroppedState() const
{
    auto* c = Widget<QComboBox>();
    return c && c->view() && c->view()->isVisible();
}

BOOL CComboBox::LimitText(int nMaxChars)
{
    auto* c = Widget<QComboBox>();
    if (!c || !c->isEditable() || !c->lineEdit())
        return FALSE;
    c->lineEdit()->setMaxLength(nMaxChars > 0 ? nMaxChars : 32767);
    return TRUE;
}

BOOL CComboBox::GetComboBoxInfo(PCOMBOBOXINFO pcbi) const
{
    auto* c = Widget<QComboBox>();
    if (!c || !pcbi)
        return FALSE;
    QStyleOptionComboBox opt;
    opt.initFrom(c);
    opt.editable = c->isEditable();
    opt.rect = c->rect();
    const QRect item = ctlqt::ComboTextField(*c, c->size());
    const QRect arrow = c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxArrow, c);
    pcbi->rcItem = RECT{item.left(), item.top(), item.right() + 1, item.bottom() + 1};
    pcbi->rcButton = RECT{arrow.left(), arrow.top(), arrow.right() + 1, arrow.bottom() + 1};
    pcbi->stateButton = c->view() && c->view()->isVisible() ? STATE_SYSTEM_PRESSED : 0;
    pcbi->hwndCombo = m_hWnd;
    pcbi->hwndItem = nullptr;
    pcbi->hwndList = nullptr;
    return TRUE;
}

// ---- List boxes -------------------------------------------------------------------------------

namespace {
QStringList ListItems(const QListWidget* l)
{
    QStringList out;
    for (int i = 0; i < l->count(); ++i)
        out << l->item(i)->text();
    return out;
}
} // namespace

BOOL CListBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CreateControl(SpecFromStyle(dlg::Ctl::ListBox, dwStyle, ""), dwStyle, rect, pParentWnd, nID);
}

int CListBox::InsertString(int nIndex, LPCSTR lpszItem)
{
    auto* l = Widget<ctlqt::ListBox>();
    if (!l || nIndex < -1 || nIndex > l->count())
        return LB_ERR;
    const int at = nIndex == -1 ? l->count() : nIndex;
    ctlqt::Guard g(l->guard);
    auto* item = new QListWidgetItem(Q(lpszItem));
    item->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(0));
    l->insertItem(at, item);
    return at;
}

int CListBox::AddString(LPCSTR lpszItem)
{
    auto* l = Widget<ctlqt::ListBox>();
    if (!l)
        return LB_ERR;
    return InsertString(l->sorted ? SortedPosition(ListItems(l), Q(lpszItem)) : -1, lpszItem);
}

int CListBox::DeleteString(UINT nIndex)
{
    auto* l = Widget<ctlqt::ListBox>();
    if (!l || static_cast<int>(nIndex) >= l->count())
        return LB_ERR;
    ctlqt::Guard g(l->guard);
    delete l->takeItem(static_cast<int>(nIndex));
    return l->count();
}

void CListBox::ResetContent()
{
    if (auto* l = Widget<ctlqt::ListBox>()) {
        ctlqt::Guard g(l->guard);
        l->clear();
    }
}

int CListBox::GetCount() const
{
    auto* l = Widget<QListWidget>();
    return l ? l->count() : LB_ERR;
}

int CListBox::GetCurSel() const
{
    auto* l = Widget<QListWidget>();
    if (!l)
        return LB_ERR;
    if (l->selectionMode() == QAbstractItemView::MultiSelection)
        return l->currentRow(); // the caret item, as Windows answers for such boxes
    const auto sel = l->selectedItems();
    return sel.isEmpty() ? LB_ERR : l->row(sel.first());
}

int CListBox::SetCurSel(int nSelect)
{
    auto* l = Widget<ctlqt::ListBox>();
    if (!l)
        return LB_ERR;
    ctlqt::Guard g(l->guard);
    if (nSelect < 0 || nSelect >= l->count()) {
        l->clearSelection();
        return nSelect == -1 ? LB_ERR : LB_ERR;
    }
    l->setCurrentRow(nSelect, QItemSelectionModel::ClearAndSelect);
    return nSelect;
}

int CListBox::GetSel(int nIndex) const
{
    auto* l = Widget<QListWidget>();
    if (!l || nIndex < 0 || nIndex >= l->count())
        return LB_ERR;
    return l->item(nIndex)->isSelected() ? 1 : 0;
}

int CListBox::SetSel(int nIndex, BOOL bSelect)
{
    auto* l = Widget<ctlqt::ListBox>();
    if (!l || l->selectionMode() != QAbstractItemView::MultiSelection || nIndex < -1 || nIndex >= l->count())
        return LB_ERR;
    ctlqt::Guard g(l->guard);
    if (nIndex == -1) {
        for (int i = 0; i < l->count(); ++i)
            l->item(i)->setSelected(bSelect != FALSE);
    } else {
        l->item(nIndex)->setSelected(bSelect != FALSE);
    }
    return LB_OKAY;
}

int CListBox::GetSelCount() const
{
    auto* l = Widget<QListWidget>();
    return l ? static_cast<int>(l->selectedItems().size()) : LB_ERR;
}

int CListBox::GetSelItems(int nMaxItems, LPINT rgIndex) const
{
    auto* l = Widget<QListWidget>();
    if (!l || !rgIndex)
        return LB_ERR;
    int n = 0;
    for (int i = 0; i < l->count() && n < nMaxItems; ++i)
        if (l->item(i)->isSelected())
            rgIndex[n++] = i;
    return n;
}

int CListBox::GetText(int nIndex, LPSTR lpszBuffer) const
{
    auto* l = Widget<QListWidget>();
    if (!l || !lpszBuffer || nIndex < 0 || nIndex >= l->count())
        return LB_ERR;
    const std::string t = S(l->item(nIndex)->text());
    std::memcpy(lpszBuffer, t.c_str(), t.size() + 1);
    return static_cast<int>(t.size());
}

void CListBox::GetText(int nIndex, std::string& rString) const
{
    auto* l = Widget<QListWidget>();
    rString = (l && nIndex >= 0 && nIndex < l->count()) ? S(l->item(nIndex)->text()) : std::string();
}

int CListBox::GetTextLen(int nIndex) const
{
    auto* l = Widget<QListWidget>();
    if (!l || nIndex < 0 || nIndex >= l->count())
        return LB_ERR;
    return static_cast<int>(S(l->item(nIndex)->text()).size());
}

DWORD_PTR CListBox::GetItemData(int nIndex) const
{
    auto* l = Widget<QListWidget>();
    if (!l || nIndex < 0 || nIndex >= l->count())
        return static_cast<DWORD_PTR>(LB_ERR);
    return static_cast<DWORD_PTR>(l->item(nIndex)->data(Qt::UserRole).toULongLong());
}

int CListBox::SetItemData(int nIndex, DWORD_PTR dwItemData)
{
    auto* l = Widget<QListWidget>();
    if (!l || nIndex < 0 || nIndex >= l->count())
        return LB_ERR;
    l->item(nIndex)->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(dwItemData));
    return LB_OKAY;
}

int CListBox::FindString(int nStartAfter, LPCSTR lpszItem) const
{
    auto* l = Widget<QListWidget>();
    return l ? FindPrefix(ListItems(l), nStartAfter, Q(lpszItem), false) : LB_ERR;
}

int CListBox::FindStringExact(int nIndexStart, LPCSTR lpszFind) const
{
    auto* l = Widget<QListWidget>();
    return l ? FindPrefix(ListItems(l), nIndexStart, Q(lpszFind), true) : LB_ERR;
}

int CListBox::SelectString(int nStartAfter, LPCSTR lpszItem)
{
    const int i = FindString(nStartAfter, lpszItem);
    return i < 0 ? LB_ERR : SetCurSel(i);
}

int CListBox::GetTopIndex() const
{
    auto* l = Widget<QListWidget>();
    if (!l || l->count() == 0)
        return 0;
    const QModelIndex top = l->indexAt(QPoint(2, 2));
    return top.isValid() ? top.row() : 0;
}

int CListBox::SetTopIndex(int nIndex)
{
    auto* l = Widget<QListWidget>();
    if (!l || nIndex < 0 || nIndex >= l->count())
        return LB_ERR;
    l->scrollToItem(l->item(nIndex), QAbstractItemView::PositionAtTop);
    return LB_OKAY;
}

// ---- Statics ----------------------------------------------------------------------------------

BOOL CStatic::Create(LPCSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CreateControl(SpecFromStyle(dlg::Ctl::Label, dwStyle, lpszText ? lpszText : ""), dwStyle, rect,
                         pParentWnd, nID);
}

HBITMAP CStatic::SetBitmap(HBITMAP hBitmap)
{
    auto* l = Widget<QLabel>();
    if (!l)
        return nullptr;
    auto previous = reinterpret_cast<HBITMAP>(l->property("durnexBitmap").value<void*>());
    l->setProperty("durnexBitmap", QVariant::fromValue<void*>(hBitmap));
    if (auto data = gdi::LookupAs<BitmapData>(reinterpret_cast<HGDIOBJ>(hBitmap), GdiKind::Bitmap))
        l->setPixmap(QPixmap::fromImage(data->image));
    else
        l->setPixmap(QPixmap());
    return previous;
}

HBITMAP CStatic::GetBitmap() const
{
    auto* l = Widget<QLabel>();
    return l ? reinterpret_cast<HBITMAP>(l->property("durnexBitmap").value<void*>()) : nullptr;
}

// ---- Scroll bars ------------------------------------------------------------------------------

namespace {
// Windows keeps (min, max, page): the largest position is max - page + 1. Qt keeps the range
// of positions, given at least one step so that an empty range still has working arrows.
void ApplyScroll(ctlqt::ScrollBar* s, int nMin, int nMax, UINT page, int pos)
{
    ctlqt::Guard g(s->guard);
    const int limit = std::max(nMin, page > 0 ? nMax - static_cast<int>(page) + 1 : nMax);
    s->setRange(nMin, std::max(nMin + 1, limit));
    s->setPageStep(page > 0 ? static_cast<int>(page) : std::max(1, (nMax - nMin) / 10));
    s->setProperty("durnexMax", nMax);
    s->setProperty("durnexPage", page);
    s->setProperty("durnexLimit", limit);
    s->setValue(std::clamp(pos, nMin, limit));
    s->setSliderPosition(s->value());
}

int ScrollLimit(const QScrollBar* s)
{
    const QVariant v = s->property("durnexLimit");
    return v.isValid() ? v.toInt() : s->maximum();
}
} // namespace

BOOL CScrollBar::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CreateControl(SpecFromStyle(dlg::Ctl::HScrollBar, dwStyle, ""), dwStyle, rect, pParentWnd, nID);
}

int CScrollBar::GetScrollPos() const
{
    auto* s = Widget<QScrollBar>();
    return s ? s->value() : 0;
}

int CScrollBar::SetScrollPos(int nPos, BOOL)
{
    auto* s = Widget<ctlqt::ScrollBar>();
    if (!s)
        return 0;
    const int old = s->value();
    ctlqt::Guard g(s->guard);
    s->setValue(std::clamp(nPos, s->minimum(), ScrollLimit(s)));
    s->setSliderPosition(s->value());
    return old;
}

void CScrollBar::GetScrollRange(LPINT lpMinPos, LPINT lpMaxPos) const
{
    auto* s = Widget<QScrollBar>();
    if (lpMinPos)
        *lpMinPos = s ? s->minimum() : 0;
    if (lpMaxPos)
        *lpMaxPos = s ? s->property("durnexMax").isValid() ? s->property("durnexMax").toInt() : s->maximum() : 0;
}

void CScrollBar::SetScrollRange(int nMinPos, int nMaxPos, BOOL)
{
    if (auto* s = Widget<ctlqt::ScrollBar>())
        ApplyScroll(s, nMinPos, nMaxPos, s->property("durnexPage").toUInt(), s->value());
}

BOOL CScrollBar::SetScrollInfo(LPSCROLLINFO info, BOOL)
{
    auto* s = Widget<ctlqt::ScrollBar>();
    if (!s || !info)
        return FALSE;
    int nMin = s->minimum(), nMax = 0;
    GetScrollRange(&nMin, &nMax);
    UINT page = s->property("durnexPage").toUInt();
    int pos = s->value();
    if (info->fMask & SIF_RANGE) {
        nMin = info->nMin;
        nMax = info->nMax;
    }
    if (info->fMask & SIF_PAGE)
        page = info->nPage;
    if (info->fMask & SIF_POS)
        pos = info->nPos;
    ApplyScroll(s, nMin, nMax, page, pos);
    return TRUE;
}

BOOL CScrollBar::GetScrollInfo(LPSCROLLINFO info, UINT nMask) const
{
    auto* s = Widget<QScrollBar>();
    if (!s || !info)
        return FALSE;
    info->fMask = nMask;
    GetScrollRange(&info->nMin, &info->nMax);
    info->nPage = s->property("durnexPage").toUInt();
    info->nPos = s->value();
    info->nTrackPos = s->sliderPosition();
    return TRUE;
}

int CScrollBar::GetScrollLimit() const
{
    auto* s = Widget<QScrollBar>();
    return s ? ScrollLimit(s) : 0;
}

void CScrollBar::ShowScrollBar(BOOL bShow) { ShowWindow(bShow ? SW_SHOW : SW_HIDE); }

BOOL CScrollBar::EnableScrollBar(UINT nArrowFlags)
{
    EnableWindow(nArrowFlags != ESB_DISABLE_BOTH);
    return TRUE;
}

// ---- Up-down arrows ---------------------------------------------------------------------------

BOOL CSpinButtonCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (!CreateControl(SpecFromStyle(dlg::Ctl::Spin, dwStyle, ""), dwStyle, rect, pParentWnd, nID))
        return FALSE;
    if (auto* s = Widget<ctlqt::SpinArrows>())
        s->style = dwStyle;
    return TRUE;
}

void CSpinButtonCtrl::SetRange32(int nLower, int nUpper)
{
    if (auto* s = Widget<ctlqt::SpinArrows>()) {
        s->lower = nLower;
        s->upper = nUpper;
        s->pos = std::clamp(s->pos, std::min(nLower, nUpper), std::max(nLower, nUpper));
    }
}

void CSpinButtonCtrl::GetRange32(int& nLower, int& nUpper) const
{
    auto* s = Widget<ctlqt::SpinArrows>();
    nLower = s ? s->lower : 0;
    nUpper = s ? s->upper : 0;
}

DWORD CSpinButtonCtrl::GetRange() const
{
    int lo = 0, hi = 0;
    GetRange32(lo, hi);
    return static_cast<DWORD>(MAKELONG(WORD(hi), WORD(lo)));
}

int CSpinButtonCtrl::SetPos32(int nPos)
{
    auto* s = Widget<ctlqt::SpinArrows>();
    return s ? SpinSetPos(s, nPos) : 0;
}

int CSpinButtonCtrl::GetPos32(BOOL* lpbError) const
{
    auto* s = Widget<ctlqt::SpinArrows>();
    if (lpbError)
        *lpbError = s ? FALSE : TRUE;
    return s ? s->pos : 0;
}

CWnd* CSpinButtonCtrl::SetBuddy(CWnd* pWndBuddy)
{
    auto* s = Widget<ctlqt::SpinArrows>();
    if (!s)
        return nullptr;
    CWnd* old = s->buddy ? WndFromWidget(s->buddy) : nullptr;
    s->buddy = pWndBuddy ? QtWidgetOf(pWndBuddy) : nullptr;
    return old;
}

CWnd* CSpinButtonCtrl::GetBuddy() const
{
    auto* s = Widget<ctlqt::SpinArrows>();
    return s && s->buddy ? WndFromWidget(s->buddy) : nullptr;
}

void CSpinButtonCtrl::Step(int delta)
{
    if (auto* s = Widget<ctlqt::SpinArrows>())
        SpinStep(s, delta);
}

// ---- Progress bars ----------------------------------------------------------------------------

BOOL CProgressCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (!CreateControl(SpecFromStyle(dlg::Ctl::Progress, dwStyle, ""), dwStyle, rect, pParentWnd, nID))
        return FALSE;
    if (auto* p = Widget<QProgressBar>())
        p->setOrientation((dwStyle & PBS_VERTICAL) ? Qt::Vertical : Qt::Horizontal);
    return TRUE;
}

void CProgressCtrl::SetRange32(int nLower, int nUpper)
{
    if (auto* p = Widget<QProgressBar>()) {
        p->setRange(nLower, std::max(nLower, nUpper));
        p->setValue(std::clamp(p->value(), p->minimum(), p->maximum()));
    }
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const
{
    auto* p = Widget<QProgressBar>();
    nLower = p ? p->minimum() : 0;
    nUpper = p ? p->maximum() : 0;
}

int CProgressCtrl::SetPos(int nPos)
{
    auto* p = Widget<QProgressBar>();
    if (!p)
        return 0;
    const int old = std::max(p->value(), p->minimum());
    p->setValue(std::clamp(nPos, p->minimum(), p->maximum()));
    return old;
}

int CProgressCtrl::GetPos() const
{
    auto* p = Widget<QProgressBar>();
    return p ? std::max(p->value(), p->minimum()) : 0;
}

int CProgressCtrl::OffsetPos(int nPos) { return SetPos(GetPos() + nPos); }

int CProgressCtrl::SetStep(int nStep)
{
    QWidget* w = QtWidgetOf(this);
    if (!w)
        return 0;
    const QVariant v = w->property("durnexStep");
    const int old = v.isValid() ? v.toInt() : 10;
    w->setProperty("durnexStep", nStep);
    return old;
}

int CProgressCtrl::StepIt()
{
    auto* p = Widget<QProgressBar>();
    if (!p)
        return 0;
    const QVariant v = p->property("durnexStep");
    const int step = v.isValid() ? v.toInt() : 10;
    const int old = GetPos();
    int next = old + step;
    if (next > p->maximum())
        next = p->minimum(); // past the top the bar starts over
    p->setValue(next);
    return old;
}

// ---- Date and time ----------------------------------------------------------------------------

BOOL CDateTimeCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (!CreateControl(SpecFromStyle(dlg::Ctl::DateTime, dwStyle, ""), dwStyle, rect, pParentWnd, nID))
        return FALSE;
    if (auto* d = Widget<QDateTimeEdit>()) {
        if ((dwStyle & DTS_TIMEFORMAT) == DTS_TIMEFORMAT)
            d->setDisplayFormat(QLocale().timeFormat(QLocale::LongFormat));
        else if (dwStyle & DTS_LONGDATEFORMAT)
            d->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
        d->setCalendarPopup(!(dwStyle & DTS_UPDOWN));
    }
    return TRUE;
}

DWORD CDateTimeCtrl::GetTime(time64_t& timeDest) const
{
    auto* d = Widget<QDateTimeEdit>();
    if (!d)
        return GDT_NONE;
    timeDest = d->dateTime().toSecsSinceEpoch();
    return GDT_VALID;
}

BOOL CDateTimeCtrl::SetTime(time64_t timeNew)
{
    auto* d = Widget<ctlqt::DateTimeEdit>();
    if (!d)
        return FALSE;
    ctlqt::Guard g(d->guard);
    d->setDateTime(QDateTime::fromSecsSinceEpoch(timeNew));
    return TRUE;
}

// ---- Report lists -----------------------------------------------------------------------------

namespace {
QTreeWidgetItem* ItemOf(const QTreeWidget* t, int nItem)
{
    return (t && nItem >= 0 && nItem < t->topLevelItemCount()) ? t->topLevelItem(nItem) : nullptr;
}
} // namespace

BOOL CListCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (!CreateControl(SpecFromStyle(dlg::Ctl::ReportList, dwStyle, ""), dwStyle, rect, pParentWnd, nID))
        return FALSE;
    if (auto* r = Widget<QTreeWidget>())
        r->setSelectionMode((dwStyle & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                      : QAbstractItemView::ExtendedSelection);
    return TRUE;
}

DWORD CListCtrl::SetExtendedStyle(DWORD dwNewStyle)
{
    auto* r = Widget<ctlqt::ReportList>();
    if (!r)
        return 0;
    const DWORD old = GetExtendedStyle();
    r->setProperty("durnexExStyle", static_cast<uint>(dwNewStyle));
    const bool checks = (dwNewStyle & LVS_EX_CHECKBOXES) != 0;
    if (checks != r->checkBoxes) {
        ctlqt::Guard g(r->guard);
        r->checkBoxes = checks;
        for (int i = 0; i < r->topLevelItemCount(); ++i) {
            QTreeWidgetItem* it = r->topLevelItem(i);
            if (checks)
                it->setCheckState(0, Qt::Unchecked);
            else
                it->setData(0, Qt::CheckStateRole, QVariant());
        }
    }
    return old;
}

DWORD CListCtrl::GetExtendedStyle() const
{
    auto* r = Widget<ctlqt::ReportList>();
    if (!r)
        return 0;
    DWORD s = r->property("durnexExStyle").toUInt();
    if (r->checkBoxes)
        s |= LVS_EX_CHECKBOXES;
    return s;
}

int CListCtrl::InsertColumn(int nCol, LPCSTR lpszColumnHeading, int nFormat, int nWidth)
{
    auto* r = Widget<QTreeWidget>();
    if (!r || nCol < 0)
        return -1;
    QTreeWidgetItem* header = r->headerItem();
    int count = r->property("durnexColumns").toInt();
    const int at = std::min(nCol, count);
    r->setColumnCount(std::max(count + 1, 1));
    // Shift the later headings and texts one column right.
    for (int c = count; c > at; --c) {
        header->setText(c, header->text(c - 1));
        for (int i = 0; i < r->topLevelItemCount(); ++i)
            r->topLevelItem(i)->setText(c, r->topLevelItem(i)->text(c - 1));
    }
    header->setText(at, Q(lpszColumnHeading));
    header->setTextAlignment(at, nFormat == LVCFMT_RIGHT ? Qt::AlignRight : nFormat == LVCFMT_CENTER ? Qt::AlignHCenter : Qt::AlignLeft);
    for (int i = 0; i < r->topLevelItemCount(); ++i)
        r->topLevelItem(i)->setText(at, QString());
    if (nWidth >= 0)
        r->setColumnWidth(at, nWidth);
    r->setProperty("durnexColumns", count + 1);
    return at;
}

BOOL CListCtrl::DeleteColumn(int nCol)
{
    auto* r = Widget<QTreeWidget>();
    const int count = r ? r->property("durnexColumns").toInt() : 0;
    if (!r || nCol < 0 || nCol >= count)
        return FALSE;
    QTreeWidgetItem* header = r->headerItem();
    for (int c = nCol; c + 1 < count; ++c) {
        header->setText(c, header->text(c + 1));
        for (int i = 0; i < r->topLevelItemCount(); ++i)
            r->topLevelItem(i)->setText(c, r->topLevelItem(i)->text(c + 1));
    }
    r->setColumnCount(std::max(1, count - 1));
    r->setProperty("durnexColumns", count - 1);
    return TRUE;
}

BOOL CListCtrl::SetColumnWidth(int nCol, int cx)
{
    auto* r = Widget<QTreeWidget>();
    if (!r || nCol < 0 || nCol >= r->columnCount())
        return FALSE;
    r->setColumnWidth(nCol, cx);
    return TRUE;
}

int CListCtrl::GetColumnWidth(int nCol) const
{
    auto* r = Widget<QTreeWidget>();
    return r && nCol >= 0 && nCol < r->columnCount() ? r->columnWidth(nCol) : 0;
}

int CListCtrl::InsertItem(int nItem, LPCSTR lpszItem)
{
    auto* r = Widget<ctlqt::ReportList>();
    if (!r || nItem < 0)
        return -1;
    const int at = std::min(nItem, r->topLevelItemCount());
    ctlqt::Guard g(r->guard);
    auto* it = new QTreeWidgetItem;
    it->setText(0, Q(lpszItem));
    it->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(0));
    it->setFlags(it->flags() & ~Qt::ItemIsUserTristate);
    if (r->checkBoxes)
        it->setCheckState(0, Qt::Unchecked);
    r->insertTopLevelItem(at, it);
    return at;
}

BOOL CListCtrl::DeleteItem(int nItem)
{
    auto* r = Widget<ctlqt::ReportList>();
    if (!ItemOf(r, nItem))
        return FALSE;
    ctlqt::Guard g(r->guard);
    delete r->takeTopLevelItem(nItem);
    return TRUE;
}

BOOL CListCtrl::DeleteAllItems()
{
    auto* r = Widget<ctlqt::ReportList>();
    if (!r)
        return FALSE;
    ctlqt::Guard g(r->guard);
    r->clear();
    return TRUE;
}

int CListCtrl::GetItemCount() const
{
    auto* r = Widget<QTreeWidget>();
    return r ? r->topLevelItemCount() : 0;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCSTR lpszText)
{
    auto* r = Widget<ctlqt::ReportList>();
    QTreeWidgetItem* it = ItemOf(r, nItem);
    if (!it || nSubItem < 0 || nSubItem >= std::max(1, r->property("durnexColumns").toInt()))
        return FALSE;
    ctlqt::Guard g(r->guard);
    it->setText(nSubItem, Q(lpszText));
    return TRUE;
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    QTreeWidgetItem* it = ItemOf(Widget<QTreeWidget>(), nItem);
    return it && nSubItem >= 0 ? S(it->text(nSubItem)) : std::string();
}

int CListCtrl::GetItemText(int nItem, int nSubItem, LPSTR lpszText, int nLen) const
{
    if (!lpszText || nLen <= 0)
        return 0;
    const std::string t = GetItemText(nItem, nSubItem);
    const int n = std::min<int>(static_cast<int>(t.size()), nLen - 1);
    std::memcpy(lpszText, t.data(), size_t(n));
    lpszText[n] = '\0';
    return n;
}

BOOL CListCtrl::SetCheck(int nItem, BOOL fCheck)
{
    auto* r = Widget<ctlqt::ReportList>();
    QTreeWidgetItem* it = ItemOf(r, nItem);
    if (!it || !r->checkBoxes)
        return FALSE;
    ctlqt::Guard g(r->guard);
    it->setCheckState(0, fCheck ? Qt::Checked : Qt::Unchecked);
    return TRUE;
}

BOOL CListCtrl::GetCheck(int nItem) const
{
    auto* r = Widget<ctlqt::ReportList>();
    QTreeWidgetItem* it = ItemOf(r, nItem);
    return it && r->checkBoxes && it->checkState(0) == Qt::Checked;
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData)
{
    QTreeWidgetItem* it = ItemOf(Widget<QTreeWidget>(), nItem);
    if (!it)
        return FALSE;
    it->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(dwData));
    return TRUE;
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const
{
    QTreeWidgetItem* it = ItemOf(Widget<QTreeWidget>(), nItem);
    return it ? static_cast<DWORD_PTR>(it->data(0, Qt::UserRole).toULongLong()) : 0;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask)
{
    auto* r = Widget<ctlqt::ReportList>();
    if (!r)
        return FALSE;
    ctlqt::Guard g(r->guard);
    auto apply = [&](QTreeWidgetItem* it) {
        if (nMask & LVIS_SELECTED)
            it->setSelected((nState & LVIS_SELECTED) != 0);
        if ((nMask & LVIS_FOCUSED) && (nState & LVIS_FOCUSED))
            r->setCurrentItem(it, 0, QItemSelectionModel::NoUpdate);
    };
    if (nItem == -1) {
        for (int i = 0; i < r->topLevelItemCount(); ++i)
            apply(r->topLevelItem(i));
        return TRUE;
    }
    QTreeWidgetItem* it = ItemOf(r, nItem);
    if (!it)
        return FALSE;
    apply(it);
    return TRUE;
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const
{
    auto* r = Widget<QTreeWidget>();
    QTreeWidgetItem* it = ItemOf(r, nItem);
    if (!it)
        return 0;
    UINT s = 0;
    if (it->isSelected())
        s |= LVIS_SELECTED;
    if (r->currentItem() == it)
        s |= LVIS_FOCUSED;
    return s & nMask;
}

int CListCtrl::GetNextItem(int nItem, int nFlags) const
{
    auto* r = Widget<QTreeWidget>();
    if (!r)
        return -1;
    for (int i = nItem + 1; i < r->topLevelItemCount(); ++i)
        if (!(nFlags & LVNI_SELECTED) || r->topLevelItem(i)->isSelected())
            return i;
    return -1;
}

UINT CListCtrl::GetSelectedCount() const
{
    auto* r = Widget<QTreeWidget>();
    return r ? static_cast<UINT>(r->selectedItems().size()) : 0;
}

BOOL CListCtrl::EnsureVisible(int nItem, BOOL)
{
    auto* r = Widget<QTreeWidget>();
    QTreeWidgetItem* it = ItemOf(r, nItem);
    if (!it)
        return FALSE;
    r->scrollToItem(it);
    return TRUE;
}

// ---- Tooltips ---------------------------------------------------------------------------------

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD)
{
    // The tips are the desktop's own; this object only keeps the list of tools.
    m_pOwner = pParentWnd;
    return pParentWnd != nullptr;
}

void CToolTipCtrl::Apply(const Tool& tool) const
{
    CWnd* w = CWnd::FromHandle(tool.hwnd);
    QWidget* q = w ? QtWidgetOf(w) : nullptr;
    if (!q)
        return;
    QString text = active_ ? Q(tool.text.c_str()) : QString();
    if (maxWidth_ > 0 && !text.isEmpty())
        text = QStringLiteral("<p style='white-space:pre-wrap; width:%1px'>%2</p>").arg(maxWidth_).arg(text.toHtmlEscaped());
    q->setToolTip(text);
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCSTR lpszText, LPCRECT, UINT_PTR nIDTool)
{
    if (!pWnd || !QtWidgetOf(pWnd))
        return FALSE;
    DelTool(pWnd, nIDTool);
    tools_.push_back(Tool{pWnd->GetSafeHwnd(), nIDTool, lpszText ? lpszText : ""});
    Apply(tools_.back());
    return TRUE;
}

void CToolTipCtrl::DelTool(CWnd* pWnd, UINT_PTR nIDTool)
{
    if (!pWnd)
        return;
    for (auto it = tools_.begin(); it != tools_.end(); ++it) {
        if (it->hwnd == pWnd->GetSafeHwnd() && it->id == nIDTool) {
            if (QWidget* q = QtWidgetOf(pWnd))
                q->setToolTip(QString());
            tools_.erase(it);
            return;
        }
    }
}

void CToolTipCtrl::UpdateTipText(LPCSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool)
{
    for (Tool& t : tools_)
        if (pWnd && t.hwnd == pWnd->GetSafeHwnd() && t.id == nIDTool) {
            t.text = lpszText ? lpszText : "";
            Apply(t);
        }
}

std::string CToolTipCtrl::GetText(CWnd* pWnd, UINT_PTR nIDTool) const
{
    for (const Tool& t : tools_)
        if (pWnd && t.hwnd == pWnd->GetSafeHwnd() && t.id == nIDTool)
            return t.text;
    return {};
}

void CToolTipCtrl::Activate(BOOL bActivate)
{
    active_ = bActivate != FALSE;
    for (const Tool& t : tools_)
        Apply(t);
}

int CToolTipCtrl::GetToolCount() const { return static_cast<int>(tools_.size()); }

void CToolTipCtrl::SetDelayTime(UINT) {}

int CToolTipCtrl::SetMaxTipWidth(int iWidth)
{
    const int old = maxWidth_;
    maxWidth_ = iWidth;
    for (const Tool& t : tools_)
        Apply(t);
    return old;
}

// ---- Dialog-item helpers ----------------------------------------------------------------------

namespace {
CWnd* Item(HWND hDlg, int id)
{
    CWnd* dlg = CWnd::FromHandle(hDlg);
    return dlg ? dlg->GetDlgItem(id) : nullptr;
}
} // namespace

void SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    if (CWnd* w = Item(hDlg, nIDDlgItem))
        w->SetWindowText(lpString ? lpString : "");
}

UINT GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax)
{
    if (!lpString || cchMax <= 0)
        return 0;
    CWnd* w = Item(hDlg, nIDDlgItem);
    if (!w) {
        lpString[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(w->GetWindowText(lpString, cchMax));
}

void SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned)
{
    const std::string s = bSigned ? std::to_string(static_cast<int>(uValue)) : std::to_string(uValue);
    SetDlgItemTextA(hDlg, nIDDlgItem, s.c_str());
}

UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned)
{
    if (lpTranslated)
        *lpTranslated = FALSE;
    CWnd* w = Item(hDlg, nIDDlgItem);
    if (!w)
        return 0;
    const std::string text = w->GetWindowTextString();
    // Windows reads optional blanks, a sign when signed, then digits; anything after fails.
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (bSigned && i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
        return 0;
    unsigned long long v = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        v = v * 10 + static_cast<unsigned>(text[i++] - '0');
        if (v > (bSigned ? 2147483648ull : 4294967295ull))
            return 0; // out of range: not translated
    }
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i != text.size() || (bSigned && !negative && v > 2147483647ull))
        return 0;
    if (lpTranslated)
        *lpTranslated = TRUE;
    return negative ? static_cast<UINT>(-static_cast<long long>(v)) : static_cast<UINT>(v);
}

BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck)
{
    CWnd* w = Item(hDlg, nIDButton);
    if (!w || !dynamic_cast<QAbstractButton*>(QtWidgetOf(w)))
        return FALSE;
    SetButtonCheck(QtWidgetOf(w), static_cast<int>(uCheck));
    return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int nIDButton)
{
    CWnd* w = Item(hDlg, nIDButton);
    if (!w || !dynamic_cast<QAbstractButton*>(QtWidgetOf(w)))
        return 0;
    return static_cast<UINT>(ButtonCheck(QtWidgetOf(w)));
}

BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton)
{
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id)
        if (id != nIDCheckButton)
            CheckDlgButton(hDlg, id, BST_UNCHECKED);
    return CheckDlgButton(hDlg, nIDCheckButton, BST_CHECKED);
}
