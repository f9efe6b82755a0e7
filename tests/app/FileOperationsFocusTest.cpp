// Where "File Operations" puts the focus: Ctrl+S opens it with the focus on "Save File...",
// so the Enter that follows saves the group rather than closing the dialog with nothing saved.
#include "FilesFrameFixture.h"

#include "platform/core/Profile.h"
#include "res/FileDialogIds.h"
#include "res/resource.h"

#include <filesystem>

using namespace filesframe;

namespace {
using FileOperationsFocus = FilesFrame;

void PressCtrl(CMainFrame* frame, int key)
{
    QWidget* target = QtMdiAreaOf(frame);
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
    QApplication::sendEvent(target, &release);
}
} // namespace

TEST_F(FileOperationsFocus, CtrlSThenEnterSavesTheGroupAndCtrlOThenEnterOpensOne)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/s_Crown.wav"), 8000, 800, "100"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/s_Crown.wav")));
    const std::string qrx = Data("wave/Saved.qrx");

    int focused = 0;
    user.ExpectFile(PromptKind::FileSave, qrx);
    CDialog::ScriptModal([&](CWnd& d) {
        CWnd* focus = CWnd::GetFocus();
        focused = focus ? focus->GetDlgCtrlID() : 0;
        dlgtest::Key(QApplication::focusWidget() ? QApplication::focusWidget() : QtWidgetOf(&d), Qt::Key_Return);
        dlgtest::Click(d, IDCANCEL);
    });
    PressCtrl(frame, Qt::Key_S);
    AfxPumpMessages();
    EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
    EXPECT_EQ(focused, IDC_GROUP_SAVE);
    EXPECT_TRUE(std::filesystem::exists(qrx));
    EXPECT_STREQ(frame->FileGroup.GroupPath, qrx.c_str());

    // Without files the dialog is there to open a group: Enter opens one.
    frame->ExecuteCommand(ID_FILE_CLOSE);
    ASSERT_EQ(frame->Settings.Files[0].File, nullptr);
    user.ExpectFile(PromptKind::FileOpen, qrx);
    CDialog::ScriptModal([&](CWnd& d) {
        CWnd* focus = CWnd::GetFocus();
        focused = focus ? focus->GetDlgCtrlID() : 0;
        dlgtest::Key(QApplication::focusWidget() ? QApplication::focusWidget() : QtWidgetOf(&d), Qt::Key_Return);
        dlgtest::Click(d, IDCANCEL);
    });
    PressCtrl(frame, Qt::Key_O);
    AfxPumpMessages();
    EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
    EXPECT_EQ(focused, IDC_GROUP_OPEN);
    EXPECT_NE(frame->Settings.Files[0].File, nullptr);
}
