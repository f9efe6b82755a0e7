#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

TEST(MessageBox, ScriptedAnswersAreGivenInOrderAndTextsRecorded)
{
    ScriptedUser user;
    user.ExpectBox(IDNO, "save");
    user.ExpectBox(IDCANCEL);
    EXPECT_EQ(AfxMessageBox("Do you want to save?", MB_YESNOCANCEL), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Second", "Own caption", MB_OKCANCEL), IDCANCEL);
    ASSERT_EQ(user.Shown().size(), 2u);
    EXPECT_EQ(user.Shown()[1].caption, "Own caption");
    EXPECT_EQ(user.Texts()[0], "Do you want to save?");
}

TEST(MessageBox, UnscriptedBoxIsReportedAndGetsItsDefaultButton)
{
    Responder r;
    EXPECT_EQ(AfxMessageBox("Surprise", MB_YESNO | MB_DEFBUTTON2), IDNO);
    ASSERT_EQ(r.Unexpected().size(), 1u);
    EXPECT_NE(r.Unexpected()[0].find("Surprise"), std::string::npos);
}

// ---- The Qt presenter the application installs at start-up.
#include "platform/core/Resources.h"
#include "platform/ui/WinApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {
struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Presses `press` in the message box showing `text` once it appears, recording what it showed.
void AnswerBox(const QString& text, QMessageBox::StandardButton press, SeenBox* seen)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, text, press, seen] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible() || !box->text().startsWith(text) || !box->button(press))
                continue;
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                seen->buttons << b->text();
            if (box->defaultButton())
                seen->defaultButton = box->standardButton(box->defaultButton());
            timer->stop();
            timer->deleteLater();
            box->button(press)->click();
            return;
        }
    });
    timer->start(5);
}
} // namespace

TEST(MessageBoxPresenter, ShowsAQtBoxWithTheButtonsIconCaptionAndAnswer)
{
    AfxEnsureQtApplication();
    RegisterBuiltInResources();
    CWinApp app; // unnamed: the title comes from the string table
    char prog[] = "/opt/durnex/bin/Durnex";
    char* argv[] = {prog, nullptr};
    app.InitApplicationState(1, argv);
    EXPECT_STREQ(app.m_pszAppName, "KDR-5200");
    MessageBoxPresenter previous = SetMessageBoxPresenter(nullptr);
    AfxInstallMessageBoxPresenter();

    SeenBox seen;
    AnswerBox("Save the file?", QMessageBox::No, &seen);
    EXPECT_EQ(AfxMessageBox("Save the file?\rReally?", MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(seen.title, "KDR-5200");
    EXPECT_EQ(seen.text, "Save the file?\nReally?") << "\\r line breaks show as breaks";
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons.size(), 3);
    EXPECT_EQ(seen.defaultButton, QMessageBox::No) << "MB_DEFBUTTON2 of Yes/No/Cancel";

    SeenBox seen2;
    AnswerBox("Stop!", QMessageBox::Ok, &seen2);
    EXPECT_EQ(MessageBoxA(nullptr, "Stop!", "Own", MB_OK | MB_ICONSTOP), IDOK);
    EXPECT_EQ(seen2.title, "Own");
    EXPECT_EQ(seen2.icon, QMessageBox::Critical);
    EXPECT_EQ(seen2.buttons.size(), 1);

    SeenBox seen3;
    AnswerBox("Go on?", QMessageBox::Cancel, &seen3);
    EXPECT_EQ(AfxMessageBox("Go on?", MB_OKCANCEL | MB_ICONEXCLAMATION), IDCANCEL);
    EXPECT_EQ(seen3.icon, QMessageBox::Warning);

    SeenBox seen4;
    AnswerBox("Done.", QMessageBox::Yes, &seen4);
    EXPECT_EQ(AfxMessageBox("Done.", MB_YESNO | MB_ICONINFORMATION), IDYES);
    EXPECT_EQ(seen4.icon, QMessageBox::Information);
    EXPECT_EQ(seen4.buttons.size(), 2);
    SetMessageBoxPresenter(previous);
}

TEST(MessageBoxPresenter, AResponderInForceKeepsAnsweringBoxes)
{
    AfxEnsureQtApplication();
    ScriptedUser user;
    user.ExpectBox(IDRETRY, "disk");
    AfxInstallMessageBoxPresenter(); // must not displace the responder
    EXPECT_EQ(AfxMessageBox("The disk is full", MB_RETRYCANCEL), IDRETRY);
}

// Esc on every kind of box, through the Qt presenter (a real key event) and through the scripted
// user: Cancel where there is one, OK on an OK box; Yes/No and Abort/Retry/Ignore ignore it and
// stay up, without a close box, until a button is pressed.
TEST(MessageBoxPresenter, EscAnswersCancelOrOkAndIsIgnoredWhereThereIsNeither)
{
    AfxEnsureQtApplication();
    struct Case {
        UINT type;
        int escAnswer; // 0: Esc is ignored
        QMessageBox::StandardButton thenPress;
        int thenAnswer;
    };
    const Case cases[] = {
        {MB_OK, IDOK, QMessageBox::Ok, IDOK},
        {MB_OKCANCEL, IDCANCEL, QMessageBox::Ok, IDOK},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, IDCANCEL, QMessageBox::Yes, IDYES},
        {MB_RETRYCANCEL, IDCANCEL, QMessageBox::Retry, IDRETRY},
        {MB_YESNO | MB_ICONQUESTION, 0, QMessageBox::Yes, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, 0, QMessageBox::No, IDNO},
        {MB_ABORTRETRYIGNORE, 0, QMessageBox::Ignore, IDIGNORE},
    };
    MessageBoxPresenter previous = SetMessageBoxPresenter(AfxQtMessageBoxPresenter());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "box type " << c.type);
        const int expected = c.escAnswer ? c.escAnswer : c.thenAnswer;
        EXPECT_EQ(EscapeAnswer(c.type).value_or(0), c.escAnswer);

        bool stayedAfterEsc = false, stayedAfterClose = false, closeBox = true;
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [&, timer] {
            QMessageBox* box = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible() && b->text() == "Keep the data?")
                    box = b;
            if (!box)
                return;
            timer->stop();
            timer->deleteLater();
            closeBox = box->windowFlags().testFlag(Qt::WindowCloseButtonHint);
            QWidget* target = box->focusWidget() ? box->focusWidget() : box;
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(target, &press);
            QApplication::processEvents();
            stayedAfterEsc = box->isVisible();
            if (!stayedAfterEsc)
                return;
            box->close(); // the window manager's close request
            QApplication::processEvents();
            stayedAfterClose = box->isVisible();
            if (stayedAfterClose)
                box->button(c.thenPress)->click();
        });
        timer->start(5);
        EXPECT_EQ(AfxMessageBox("Keep the data?", c.type), expected);
        EXPECT_EQ(stayedAfterEsc, c.escAnswer == 0);
        EXPECT_EQ(stayedAfterClose, c.escAnswer == 0);
        if (c.escAnswer == 0)
            EXPECT_FALSE(closeBox) << "a box that ignores Esc offers no close box";

        // The scripted user follows the same rule.
        ScriptedUser user;
        user.ExpectEscape("Keep");
        if (c.escAnswer == 0)
            user.ExpectBox(c.thenAnswer);
        EXPECT_EQ(AfxMessageBox("Keep the data?", c.type), expected);
        EXPECT_EQ(user.IgnoredEscapes(), c.escAnswer == 0 ? 1 : 0);
        EXPECT_EQ(user.Shown().size(), 1u) << "one box, however many keys";
    }
    SetMessageBoxPresenter(previous);
}
