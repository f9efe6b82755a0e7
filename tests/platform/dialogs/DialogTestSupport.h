// Helpers of the dialog tests: the Qt application, controls by id, and input as a user gives it
// (key presses through the event filters, clicks on buttons, picks in lists).
#pragma once

#include "platform/core/Resources.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Wnd.h"
#include "support/QtTestAccess.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QWidget>

#include <string>

namespace dlgtest {

inline void EnsureApp() { AfxEnsureQtApplication(); }

// Windows built from the resource templates, their modal boxes answered by scripts: every
// script a test sets up must have been used by its end.
class TemplateDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        RegisterBuiltInResources();
        CDialog::ClearModalScripts();
    }
    void TearDown() override { EXPECT_EQ(CDialog::PendingModalScripts(), 0u); }
};

inline QWidget* W(CWnd& parent, int id)
{
    CWnd* c = parent.GetDlgItem(id);
    return c ? QtWidgetOf(c) : nullptr;
}

template <class T> T* As(CWnd& parent, int id) { return dynamic_cast<T*>(W(parent, id)); }

// A key press (and release) as the keyboard delivers it to the widget with the focus.
inline void Key(QWidget* target, int key, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

inline void Type(QWidget* target, const std::string& s)
{
    for (char c : s) {
        const QString t(QChar::fromLatin1(c));
        const int key = (c >= 'a' && c <= 'z') ? Qt::Key_A + (c - 'a') : (c >= '0' && c <= '9') ? Qt::Key_0 + (c - '0') : int(c);
        Key(target, key, t);
    }
}

// Gives the widget the keyboard focus, as a click into it would.
inline void Focus(QWidget* w)
{
    w->window()->activateWindow();
    w->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
}

inline void Click(CWnd& parent, int id)
{
    if (auto* b = As<QAbstractButton>(parent, id))
        b->click();
}

// A pick in a combo box's list, as the user makes it.
inline void Pick(CWnd& parent, int id, int index)
{
    if (auto* c = As<QComboBox>(parent, id))
        c->setCurrentIndex(index);
}

inline COLORREF Pixel(const QImage& img, int x, int y)
{
    const QRgb q = img.pixel(x, y);
    return RGB(qRed(q), qGreen(q), qBlue(q));
}

} // namespace dlgtest
