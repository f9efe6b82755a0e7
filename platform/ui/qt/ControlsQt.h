// The Qt widgets behind the control classes of Controls.h. Each behaves as its Windows
// counterpart where the program can tell the difference: a scroll bar does not move itself
// (its owner sets the position after the scroll message), an auto radio button clears the
// other radios of its group but a code-set check does not, a list-only combo box starts with no
// selection, text set by code sends the edit's change notification, and a notification reports
// a change made by the user, not one made by the code.
//
// The widgets know nothing of CWnd: they report through the hooks, which the control classes
// turn into WM_COMMAND, WM_NOTIFY, WM_HSCROLL/WM_VSCROLL, WM_CTLCOLOR and WM_DRAWITEM messages.
// User-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"
#include "platform/ui/qt/Surface.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ctlqt {

// Raised while the code (not the user) changes a control, so that no notification is sent.
class Guard {
public:
    explicit Guard(int& depth) : depth_(depth) { ++depth_; }
    ~Guard() { --depth_; }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    int& depth_;
};

// Notifications of the WM_COMMAND kind: the code (BN_CLICKED, EN_CHANGE, ...).
using NotifyHook = std::function<void(UINT code)>;

// The focus notifications of edits (EN_SETFOCUS, EN_KILLFOCUS) and combo boxes (CBN_*).
inline constexpr UINT kEnSetFocus = 0x0100;
inline constexpr UINT kEnKillFocus = 0x0200;
inline constexpr UINT kCbnSetFocus = 3;
inline constexpr UINT kCbnKillFocus = 4;

// A control that tells its owner when the focus arrives and leaves, once Qt has moved it.
template <class Widget, UINT SetFocusCode, UINT KillFocusCode> class FocusNotifying : public Widget {
public:
    explicit FocusNotifying(QWidget* parent) : Widget(parent) {}
    NotifyHook notify;
    int guard = 0;

protected:
    void focusInEvent(QFocusEvent* e) override
    {
        Widget::focusInEvent(e);
        if (notify)
            notify(SetFocusCode);
    }
    void focusOutEvent(QFocusEvent* e) override
    {
        Widget::focusOutEvent(e);
        if (notify)
            notify(KillFocusCode);
    }
};
using LineEditBase = FocusNotifying<QLineEdit, kEnSetFocus, kEnKillFocus>;
using TextEditBase = FocusNotifying<QPlainTextEdit, kEnSetFocus, kEnKillFocus>;
using ComboBoxBase = FocusNotifying<QComboBox, kCbnSetFocus, kCbnKillFocus>;

// The colours a static control is drawn with, as its parent answers WM_CTLCOLOR.
struct StaticColors {
    std::optional<QColor> background; // the brush; none means the dialog's own background
    std::optional<QColor> text;
    bool transparentText = false;
};

class PushButton : public QPushButton {
public:
    explicit PushButton(QWidget* parent = nullptr);
    NotifyHook notify;
    // Owner drawing: the hook has the owner paint the whole button (state: ODS_* bits) and
    // returns the surface it painted on, which the button then presents.
    bool ownerDraw = false;
    std::function<CSurface*(UINT state)> drawItem;

protected:
    void paintEvent(QPaintEvent* e) override;
    void initStyleOption(QStyleOptionButton* option) const override;
};

class CheckBox : public QCheckBox {
public:
    explicit CheckBox(QWidget* parent = nullptr);
    NotifyHook notify;
    bool manual = false; // the owner toggles it (BS_CHECKBOX)

protected:
    void nextCheckState() override;
    void initStyleOption(QStyleOptionButton* option) const override;
};

// Radios of one group share a member list; an auto radio clicked checks itself and clears the
// others (Qt's own exclusivity is off, since it would forbid clearing a group from code).
class RadioButton : public QRadioButton {
public:
    explicit RadioButton(QWidget* parent = nullptr);
    NotifyHook notify;
    bool manual = false;
    std::shared_ptr<std::vector<QPointer<RadioButton>>> group;

protected:
    void nextCheckState() override;
    void initStyleOption(QStyleOptionButton* option) const override;
};

// The "text" properties below are what CWnd's Get/SetWindowText reach: text set that way is
// set from code (one EN_CHANGE), multi-line text keeps Windows' "\r\n" line breaks, and a
// combo box's text is its edit's text or its selected item.
class LineEdit : public LineEditBase {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE SetTextFromCode)
public:
    explicit LineEdit(QWidget* parent = nullptr);
    void SetTextFromCode(const QString& text); // sends one EN_CHANGE, as Windows does
};

class TextEdit : public TextEditBase {
    Q_OBJECT
    Q_PROPERTY(QString text READ WindowsText WRITE SetTextFromCode)
public:
    explicit TextEdit(QWidget* parent = nullptr);
    int limit = 0;          // characters; 0: none
    bool wantReturn = false; // without it Enter belongs to the dialog's default button
    void SetTextFromCode(const QString& text); // "\r\n" or "\n" line breaks
    QString WindowsText() const;               // "\r\n" line breaks

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

// Where a combo box of the given size shows its text (the rest is its frame and arrow).
QRect ComboTextField(const QComboBox& combo, const QSize& size);

class ComboBox : public ComboBoxBase {
    Q_OBJECT
    Q_PROPERTY(QString text READ currentText WRITE SetTextFromCode)
public:
    explicit ComboBox(bool editable, QWidget* parent = nullptr);
    bool sorted = false;
    int dropLines = 0;
    void SetTextFromCode(const QString& text); // the edit of a drop-down; a list-only box keeps its item
    // Sized to its contents, the box leaves its widest item the whole text field (Qt's own
    // hint falls a few pixels short of it in some styles).
    QSize sizeHint() const override;

protected:
    void showPopup() override;
    void hidePopup() override;
};

class ListBox : public QListWidget {
public:
    explicit ListBox(QWidget* parent = nullptr);
    NotifyHook notify;
    int guard = 0;
    bool sorted = false;
};

// Static text, frames and images. With a colour hook the static paints its own background and
// text in the colours its parent gives, as WM_CTLCOLORSTATIC does.
class Static : public QLabel {
public:
    explicit Static(QWidget* parent = nullptr);
    NotifyHook notify; // STN_CLICKED with SS_NOTIFY
    bool notifyClicks = false;
    std::function<StaticColors()> colors;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
};

// A scroll bar that reports its owner's scroll codes and leaves its position to the owner.
class ScrollBar : public QScrollBar {
public:
    explicit ScrollBar(Qt::Orientation o, QWidget* parent = nullptr);
    std::function<void(UINT code, int pos)> scroll;
    int guard = 0;

private:
    void OnAction(int action);
    int Limit() const; // the owner's largest position (the Qt range may be one step larger)
};

// A group box: a frame with a title drawn behind its controls, which stay the dialog's children.
class GroupBox : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QString text READ title WRITE setTitle)
public:
    explicit GroupBox(QWidget* parent = nullptr) : QGroupBox(parent) {}
};

// Up-down arrows (msctls_updown32), with the state the control keeps.
class SpinArrows : public QWidget {
public:
    explicit SpinArrows(QWidget* parent = nullptr);
    int lower = 100; // Windows' default range runs from 100 down to 0
    int upper = 0;
    int pos = 0;
    DWORD style = 0;
    QPointer<QWidget> buddy;
    std::function<void(int delta)> step; // +1 up, -1 down
    QToolButton* up;
    QToolButton* down;
    QSize sizeHint() const override;
};

class DateTimeEdit : public QDateTimeEdit {
public:
    explicit DateTimeEdit(QWidget* parent = nullptr);
    NotifyHook notify; // DTN_DATETIMECHANGE
    int guard = 0;
};

class ReportList : public QTreeWidget {
public:
    explicit ReportList(QWidget* parent = nullptr);
    std::function<void(UINT code, int item)> notify; // NM_CLICK, NM_DBLCLK, item changes
    int guard = 0;
    bool checkBoxes = false;
};

// Strips Windows mnemonics for display where Qt does not interpret them ("&&" stays "&").
QString StripMnemonic(const QString& text);
// Windows "\r\n" line breaks to Qt's "\n", and back.
QString FromWindowsText(const std::string& text);
std::string ToWindowsText(const QString& text, bool multiline);

} // namespace ctlqt

namespace dlg {
struct ControlSpec;
}
class CFont;

// The control widget of a dialog template item; dialogs build their controls here.
QWidget* CreateControlWidget(const dlg::ControlSpec& desc, QWidget* parent);
// The CFont describing a widget's font (for GetFont of dialogs and sheets).
std::unique_ptr<CFont> MakeFontOfWidget(const QWidget* widget);
