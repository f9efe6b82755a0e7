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
