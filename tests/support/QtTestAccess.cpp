#include "support/QtTestAccess.h"

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
