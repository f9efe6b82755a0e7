#include "support/QtTestAccess.h"

#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

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
