#include "platform/ui/qt/ControlsQt.h"

#include <QStyleOptionComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVBoxLayout>

namespace ctlqt {

namespace {
// Owner-draw item states (ODS_*), the values DRAWITEMSTRUCT carries.
constexpr UINT kOdsSelected = 0x0001;
constexpr UINT kOdsDisabled = 0x0004;
constexpr UINT kOdsFocus = 0x0010;
// Notification codes used here; the control classes pass them on unchanged.
constexpr UINT kBnClicked = 0;
constexpr UINT kEnChange = 0x0300;
constexpr UINT kEnMaxText = 0x0501;
constexpr UINT kCbnSelChange = 1;
constexpr UINT kCbnEditChange = 5;
constexpr UINT kCbnDropDown = 7;
constexpr UINT kCbnCloseUp = 8;
constexpr UINT kLbnSelChange = 1;
constexpr UINT kLbnDblClk = 2;
constexpr UINT kStnClicked = 0;
constexpr UINT kStnDblClk = 1;
constexpr UINT kSbLineUp = 0, kSbLineDown = 1, kSbPageUp = 2, kSbPageDown = 3, kSbThumbPosition = 4,
               kSbThumbTrack = 5, kSbTop = 6, kSbBottom = 7, kSbEndScroll = 8;
constexpr UINT kNmClick = static_cast<UINT>(-2);
constexpr UINT kNmDblClk = static_cast<UINT>(-3);
constexpr UINT kLvnItemChanged = static_cast<UINT>(-101);

void Send(const NotifyHook& hook, UINT code)
{
    if (hook)
        hook(code);
}
} // namespace

QString StripMnemonic(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
                out += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

QString FromWindowsText(const std::string& text)
{
    QString s = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

std::string ToWindowsText(const QString& text, bool multiline)
{
    QString s = text;
    if (multiline)
        s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return s.toLocal8Bit().toStdString();
}

// ---- Buttons.

namespace {
// The focus ring shows whenever a button has the focus, not only after the Tab key as Qt's
// styles have it: Enter and the space bar act on the ringed button, and the user must see which.
void ShowFocusRing(const QWidget* button, QStyleOptionButton* option)
{
    if (button->hasFocus())
        option->state |= QStyle::State_KeyboardFocusChange;
}
} // namespace

PushButton::PushButton(QWidget* parent) : QPushButton(parent)
{
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] { Send(notify, kBnClicked); });
}

void PushButton::paintEvent(QPaintEvent* e)
{
    if (!ownerDraw || !drawItem) {
        QPushButton::paintEvent(e);
        return;
    }
    UINT state = 0;
    if (isDown() || isChecked())
        state |= kOdsSelected;
    if (!isEnabled())
        state |= kOdsDisabled;
    if (hasFocus())
        state |= kOdsFocus;
    if (CSurface* surface = drawItem(state)) {
        QPainter p(this);
        p.drawImage(QPoint(0, 0), surface->Image());
    }
}

void PushButton::initStyleOption(QStyleOptionButton* option) const
{
    QPushButton::initStyleOption(option);
    ShowFocusRing(this, option);
}

void CheckBox::initStyleOption(QStyleOptionButton* option) const
{
    QCheckBox::initStyleOption(option);
    ShowFocusRing(this, option);
}

void RadioButton::initStyleOption(QStyleOptionButton* option) const
{
    QRadioButton::initStyleOption(option);
    ShowFocusRing(this, option);
}

CheckBox::CheckBox(QWidget* parent) : QCheckBox(parent)
{
    connect(this, &QCheckBox::clicked, this, [this] { Send(notify, kBnClicked); });
}

void CheckBox::nextCheckState()
{
    if (!manual)
        QCheckBox::nextCheckState();
}

RadioButton::RadioButton(QWidget* parent) : QRadioButton(parent)
{
    setAutoExclusive(false);
    connect(this, &QRadioButton::clicked, this, [this] { Send(notify, kBnClicked); });
}

void RadioButton::nextCheckState()
{
    if (manual)
        return;
    setChecked(true);
    if (group)
        for (const QPointer<RadioButton>& peer : *group)
            if (peer && peer != this)
                peer->setChecked(false);
}

// ---- Edits.

LineEdit::LineEdit(QWidget* parent) : LineEditBase(parent)
{
    setMaxLength(30000); // the Windows default limit
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!guard)
            Send(notify, kEnChange);
    });
    connect(this, &QLineEdit::inputRejected, this, [this] {
        if (text().size() >= maxLength())
            Send(notify, kEnMaxText);
    });
}

void LineEdit::SetTextFromCode(const QString& text)
{
    {
        Guard g(guard);
        setText(text);
    }
    Send(notify, kEnChange);
}

TextEdit::TextEdit(QWidget* parent) : TextEditBase(parent)
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (guard)
            return;
        if (limit > 0 && toPlainText().size() > limit) {
            // Refuse what goes past the limit, as the control does, keeping the cursor.
            Guard g(guard);
            QTextCursor c = textCursor();
            const int pos = c.position();
            setPlainText(toPlainText().left(limit));
            c = textCursor();
            c.setPosition(std::min(pos, limit));
            setTextCursor(c);
            Send(notify, kEnMaxText);
        }
        Send(notify, kEnChange);
    });
}

void TextEdit::SetTextFromCode(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    {
        Guard g(guard);
        setPlainText(limit > 0 ? t.left(limit) : t);
    }
    Send(notify, kEnChange);
}

QString TextEdit::WindowsText() const
{
    QString t = toPlainText();
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t;
}

void ComboBox::SetTextFromCode(const QString& text)
{
    if (!isEditable())
        return;
    Guard g(guard);
    setEditText(text);
}

void TextEdit::keyPressEvent(QKeyEvent* e)
{
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !wantReturn &&
        !(e->modifiers() & Qt::ControlModifier)) {
        e->ignore(); // the dialog's default button takes it
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

// ---- Lists.

ComboBox::ComboBox(bool editable, QWidget* parent) : ComboBoxBase(parent)
{
    setEditable(editable);
    setInsertPolicy(QComboBox::NoInsert);
    if (editable) {
        setCompleter(nullptr);
        connect(this, &QComboBox::editTextChanged, this, [this] {
            if (!guard)
                Send(notify, kCbnEditChange);
        });
    }
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!guard)
            Send(notify, kCbnSelChange);
    });
}

QRect ComboTextField(const QComboBox& combo, const QSize& size)
{
    QStyleOptionComboBox opt;
    opt.initFrom(&combo);
    opt.editable = combo.isEditable();
    opt.rect = QRect(QPoint(0, 0), size);
    return combo.style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, &combo);
}

QSize ComboBox::sizeHint() const
{
    QSize hint = ComboBoxBase::sizeHint();
    if (sizeAdjustPolicy() != QComboBox::AdjustToContents)
        return hint;
    const int field = ComboTextField(*this, hint).width();
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, fontMetrics().horizontalAdvance(itemText(i)));
    hint.setWidth(std::max(hint.width(), widest + (hint.width() - field) + 2));
    return hint;
}

void ComboBox::showPopup()
{
    Send(notify, kCbnDropDown);
    if (dropLines > 0)
        setMaxVisibleItems(dropLines);
    QComboBox::showPopup();
}

void ComboBox::hidePopup()
{
    QComboBox::hidePopup();
    Send(notify, kCbnCloseUp);
}

ListBox::ListBox(QWidget* parent) : QListWidget(parent)
{
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!guard)
            Send(notify, kLbnSelChange);
    });
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { Send(notify, kLbnDblClk); });
}

// ---- Statics.

Static::Static(QWidget* parent) : QLabel(parent) {}

void Static::paintEvent(QPaintEvent* e)
{
    const StaticColors c = colors ? colors() : StaticColors();
    if (!c.background && !c.text) {
        QLabel::paintEvent(e);
        return;
    }
    QPainter p(this);
    if (c.background)
        p.fillRect(rect(), *c.background);
    drawFrame(&p);
    if (!pixmap().isNull()) {
        p.drawPixmap(contentsRect().topLeft(), pixmap());
        return;
    }
    if (!text().isEmpty()) {
        if (c.text)
            p.setPen(*c.text);
        p.setFont(font());
        p.drawText(contentsRect(), static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0), text());
    }
}

void Static::mouseReleaseEvent(QMouseEvent* e)
{
    QLabel::mouseReleaseEvent(e);
    if (notifyClicks)
        Send(notify, kStnClicked);
}

void Static::mouseDoubleClickEvent(QMouseEvent* e)
{
    QLabel::mouseDoubleClickEvent(e);
    if (notifyClicks)
        Send(notify, kStnDblClk);
}

// ---- Scroll bars.

ScrollBar::ScrollBar(Qt::Orientation o, QWidget* parent) : QScrollBar(o, parent)
{
    setTracking(false);
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) { OnAction(action); });
    connect(this, &QAbstractSlider::sliderReleased, this, [this] {
        const int pos = std::min(sliderPosition(), Limit());
        {
            Guard g(guard);
            setSliderPosition(value()); // the owner moves it, if it wants to
        }
        if (scroll) {
            scroll(kSbThumbPosition, pos);
            scroll(kSbEndScroll, 0);
        }
    });
}

void ScrollBar::OnAction(int action)
{
    if (guard)
        return;
    UINT code = kSbEndScroll;
    switch (action) {
    case SliderSingleStepSub: code = kSbLineUp; break;
    case SliderSingleStepAdd: code = kSbLineDown; break;
    case SliderPageStepSub: code = kSbPageUp; break;
    case SliderPageStepAdd: code = kSbPageDown; break;
    case SliderToMinimum: code = kSbTop; break;
    case SliderToMaximum: code = kSbBottom; break;
    case SliderMove: code = kSbThumbTrack; break;
    default: return;
    }
    const int pos = std::min(sliderPosition(), Limit());
    if (code != kSbThumbTrack) {
        // The control itself stays put: moving it is the owner's answer to the message.
        Guard g(guard);
        setSliderPosition(value());
    }
    if (scroll) {
        scroll(code, code == kSbThumbTrack ? pos : value());
        if (code != kSbThumbTrack)
            scroll(kSbEndScroll, 0);
    }
}

int ScrollBar::Limit() const
{
    const QVariant v = property("durnexLimit");
    return v.isValid() ? v.toInt() : maximum();
}

// ---- Up-down arrows.

SpinArrows::SpinArrows(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up = new QToolButton(this);
    down = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up, down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        layout->addWidget(b);
    }
    connect(up, &QToolButton::clicked, this, [this] { if (step) step(+1); });
    connect(down, &QToolButton::clicked, this, [this] { if (step) step(-1); });
}

QSize SpinArrows::sizeHint() const { return QSize(16, 22); }

// ---- Date and time.

DateTimeEdit::DateTimeEdit(QWidget* parent) : QDateTimeEdit(parent)
{
    setCalendarPopup(true);
    connect(this, &QDateTimeEdit::dateTimeChanged, this, [this] {
        if (!guard)
            Send(notify, 0);
    });
}

// ---- Report list.

ReportList::ReportList(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    header()->setStretchLastSection(false);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (notify)
            notify(kNmClick, indexOfTopLevelItem(item));
    });
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (notify)
            notify(kNmDblClk, indexOfTopLevelItem(item));
    });
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        if (!guard && notify)
            notify(kLvnItemChanged, indexOfTopLevelItem(item));
    });
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!guard && notify)
            notify(kLvnItemChanged, indexOfTopLevelItem(currentItem()));
    });
}

} // namespace ctlqt
