#include "support/QtTestAccess.h"

#include "platform/ui/qt/ControlsQt.h"
#include "platform/ui/qt/DialogBuilder.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QtTest/qtestspontaneevent.h>

namespace {
QImage PictureOf(QWidget* w)
{
    return w ? w->grab().toImage().convertToFormat(QImage::Format_RGB32) : QImage();
}
} // namespace

QImage QtPictureOf(const CWnd* wnd) { return PictureOf(QtWidgetOf(wnd)); }

QImage QtClientPictureOf(const CWnd* wnd) { return PictureOf(QtClientWidgetOf(wnd)); }

bool QtClickButton(const CWnd* parent, int id)
{
    auto* b = QtControlOf<QAbstractButton>(parent, id);
    if (!b)
        return false;
    b->click();
    return true;
}

bool QtTypeKeys(const CWnd* box, const std::string& text)
{
    auto* e = box ? qobject_cast<QLineEdit*>(QtWidgetOf(box)) : nullptr;
    if (!e)
        return false;
    for (const char c : text) {
        const QString t(QChar::fromLatin1(c));
        const int key = c >= 'a' && c <= 'z' ? Qt::Key_A + (c - 'a') : static_cast<int>(QChar::fromLatin1(c).toUpper().unicode());
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, t);
        QApplication::sendEvent(e, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, t);
        QApplication::sendEvent(e, &release);
    }
    return true;
}

bool QtTypeInto(const CWnd* box, const std::string& text)
{
    auto* e = box ? qobject_cast<QLineEdit*>(QtWidgetOf(box)) : nullptr;
    if (!e)
        return false;
    e->window()->activateWindow();
    e->setFocus(Qt::MouseFocusReason);
    e->selectAll();
    return QtTypeKeys(box, text);
}

void QtPressKey(const CWnd* wnd, int key)
{
    QWidget* target = wnd ? QtWidgetOf(wnd) : nullptr;
    if (!target)
        return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

namespace {
void MouseClick(QWidget* w)
{
    w->window()->activateWindow();
    // A radio button or check box is clicked on its indicator: a layout may stretch the
    // control beyond its text, where a click does nothing.
    const bool indicator = qobject_cast<QRadioButton*>(w) || qobject_cast<QCheckBox*>(w);
    const QPointF local(indicator ? w->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) / 2.0 + 1 : w->width() / 2.0,
                        w->height() / 2.0);
    const QPointF global = w->mapToGlobal(local);
    // Marked as coming from the window system, so Qt gives the focus as for a real click.
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QSpontaneKeyEvent::setSpontaneous(&press);
    QApplication::instance()->notify(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QSpontaneKeyEvent::setSpontaneous(&release);
    QApplication::instance()->notify(w, &release);
    QApplication::processEvents();
}
} // namespace

bool QtMouseClick(const CWnd* parent, int id)
{
    CWnd* c = parent ? parent->GetDlgItem(id) : nullptr;
    QWidget* w = c ? QtWidgetOf(c) : nullptr;
    if (!w)
        return false;
    MouseClick(w);
    return true;
}

std::vector<std::vector<int>> QtClickedRadioGroups(const DialogTemplate& t)
{
    QWidget host;
    const BuiltControls built = BuildTemplateControls(t, &host);
    host.show();
    std::vector<std::pair<int, QRadioButton*>> radios;
    for (const auto& c : built.wrappers)
        if (auto* r = qobject_cast<QRadioButton*>(QtWidgetOf(c.get()))) {
            r->setEnabled(true);
            r->show();
            radios.emplace_back(c->GetDlgCtrlID(), r);
        }
    std::vector<std::vector<int>> groups;
    std::vector<bool> placed(radios.size(), false);
    for (size_t i = 0; i < radios.size(); ++i) {
        if (placed[i])
            continue;
        for (auto& [id, r] : radios)
            r->setChecked(true);
        MouseClick(radios[i].second);
        std::vector<int> group;
        for (size_t j = 0; j < radios.size(); ++j)
            if (j == i || !radios[j].second->isChecked()) {
                group.push_back(radios[j].first);
                placed[j] = true;
            }
        groups.push_back(std::move(group));
    }
    return groups;
}

namespace {
QScrollBar* ScrollBarOf(const CWnd* bar) { return bar ? qobject_cast<QScrollBar*>(QtWidgetOf(bar)) : nullptr; }

QPoint ScrollArrowCentre(QScrollBar* s, bool up)
{
    QStyleOptionSlider opt;
    opt.initFrom(s);
    opt.orientation = s->orientation();
    if (s->orientation() == Qt::Horizontal)
        opt.state |= QStyle::State_Horizontal;
    opt.minimum = s->minimum();
    opt.maximum = s->maximum();
    opt.sliderPosition = s->sliderPosition();
    opt.sliderValue = s->value();
    opt.singleStep = s->singleStep();
    opt.pageStep = s->pageStep();
    opt.upsideDown = s->invertedAppearance();
    opt.subControls = QStyle::SC_All;
    const QRect r = s->style()->subControlRect(QStyle::CC_ScrollBar, &opt,
                                               up ? QStyle::SC_ScrollBarSubLine : QStyle::SC_ScrollBarAddLine, s);
    return r.center();
}
} // namespace

bool QtPressScrollArrow(const CWnd* bar, bool up)
{
    QScrollBar* s = ScrollBarOf(bar);
    if (!s)
        return false;
    const QPointF at = ScrollArrowCentre(s, up);
    QMouseEvent press(QEvent::MouseButtonPress, at, s->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(s, &press);
    return true;
}

bool QtPostScrollArrowRelease(const CWnd* bar, bool up)
{
    QScrollBar* s = ScrollBarOf(bar);
    if (!s)
        return false;
    const QPointF at = ScrollArrowCentre(s, up);
    QCoreApplication::postEvent(s, new QMouseEvent(QEvent::MouseButtonRelease, at, s->mapToGlobal(at), Qt::LeftButton,
                                                   Qt::NoButton, Qt::NoModifier));
    return true;
}

namespace {
// What a control shows: mnemonic ampersands are not drawn ("&&" shows one).
QString Shown(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

int WidestLine(const QFontMetrics& fm, const QString& text)
{
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return widest;
}

std::string Describe(const QWidget* w, const QString& text, int need, int room)
{
    const QRect g = w->geometry();
    return std::string(w->metaObject()->className()) + " \"" + text.toStdString() + "\" needs " +
           std::to_string(need) + " px, has " + std::to_string(room) + " (at " + std::to_string(g.x()) + "," +
           std::to_string(g.y()) + " " + std::to_string(g.width()) + "x" + std::to_string(g.height()) + " in " +
           (w->window() ? w->window()->windowTitle().toStdString() : std::string()) + ")";
}
} // namespace

std::vector<std::string> QtTextsCutOff(const CWnd* wnd)
{
    std::vector<std::string> out;
    QWidget* root = QtWidgetOf(wnd);
    if (!root)
        return out;
    auto check = [&](const QWidget* w, const QString& text, int need, int room) {
        if (need > room)
            out.push_back(Describe(w, text, need, room));
    };
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(root) || w->width() <= 0 || w->height() <= 0)
            continue;
        const QFontMetrics fm = w->fontMetrics();
        if (auto* l = qobject_cast<QLabel*>(w)) {
            const QString text = Shown(l->text());
            if (text.isEmpty() || !l->pixmap().isNull())
                continue;
            const QRect room = l->contentsRect().adjusted(l->margin(), l->margin(), -l->margin(), -l->margin());
            if (l->wordWrap()) {
                const QRect need = fm.boundingRect(room, Qt::TextWordWrap | int(l->alignment()), text);
                check(w, text, need.height(), room.height());
                check(w, text, need.width(), room.width());
            } else {
                check(w, text, WidestLine(fm, text), room.width());
                check(w, text, fm.height() * int(text.count(QLatin1Char('\n')) + 1), room.height() + 2);
            }
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            const int room = ctlqt::ComboTextField(*c, c->size()).width();
            for (int i = 0; i < c->count(); ++i)
                check(w, c->itemText(i), fm.horizontalAdvance(c->itemText(i)), room);
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            const QString text = Shown(g->title());
            if (!text.isEmpty())
                check(w, text, fm.horizontalAdvance(text) + 16, g->width());
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            const QString text = Shown(b->text());
            // Owner-drawn buttons draw a picture, not their text.
            const auto* own = dynamic_cast<const ctlqt::PushButton*>(w);
            if (text.isEmpty() || !b->icon().isNull() || (own && own->ownerDraw))
                continue;
            int indicator = 0;
            if (qobject_cast<QCheckBox*>(w))
                indicator = b->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b) +
                            b->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b);
            else if (qobject_cast<QRadioButton*>(w))
                indicator = b->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, b) +
                            b->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, b);
            else
                indicator = 2 * b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b) + 2;
            check(w, text, WidestLine(fm, text) + indicator, b->width());
        }
    }
    return out;
}
