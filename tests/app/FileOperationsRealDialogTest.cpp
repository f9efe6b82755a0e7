// "File Operations" with the real file dialog under a real window manager (openbox on an Xvfb
// display of its own): after Open File the focus comes back to the dialog on "Done", so the
// Enter that follows finishes the dialog instead of closing the group just opened; Save File
// over a group whose wave files exist asks before it replaces them.
#include "DialogFixture.h"

#include "app/CDurnexFileSelectDlg.h"
#include "platform/core/MessageBox.h"
#include "platform/core/Profile.h"
#include "res/FileDialogIds.h"
#include "support/RealDisplay.h"
#include "wave/ChannelFileState.h"
#include "wave/FileGroup.h"
#include "wave/TWaveFile.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>

using namespace filestest;

namespace {

class RealFileDialog : public OnRealDisplay<DialogFixture> {
protected:
    void TearDown() override
    {
        for (ChannelFileState& f : files)
            f.File.reset();
        OnRealDisplay::TearDown();
    }

    FileGroupInfo group;
    char folder[260] = {};
    ChannelFileState files[8];
    ChannelCalibration calibrations[8];
    BYTE changed = 0;
};

// Runs `step` every 50 ms until it returns true, or fails the test after `seconds`.
class Poller {
public:
    Poller(double seconds, std::function<bool()> step) : step_(std::move(step))
    {
        limit_.start();
        seconds_ = seconds;
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (busy_ || done_)
                return;
            busy_ = true;
            done_ = step_();
            if (!done_ && limit_.elapsed() > seconds_ * 1000.0) {
                done_ = true;
                timedOut_ = true;
            }
            if (done_)
                timer_.stop();
            busy_ = false;
        });
        timer_.start();
    }
    bool TimedOut() const { return timedOut_; }

private:
    std::function<bool()> step_;
    QTimer timer_;
    QElapsedTimer limit_;
    double seconds_ = 0;
    bool busy_ = false, done_ = false, timedOut_ = false;
};

} // namespace

TEST_F(RealFileDialog, EnterAfterOpenFileLeavesTheGroupOpen)
{
    ASSERT_TRUE(WritePythonWave(Path("r_Crown.wav"), 8000, {1, 2, 3, 4}));
    const std::string qrx = Path("R.qrx");
    WritePrivateProfileStringA("Filenames", "Crown", "r_Crown.wav", qrx.c_str());
    std::snprintf(folder, sizeof folder, "%s", dir.c_str());

    CDurnexFileSelectDlg dlg(nullptr, &group, folder, files, calibrations, &changed);
    dlg.SetFileOptions(TWaveFile::kStreamed, false, dir.string());

    // The user's steps, each taken once the screen shows what it needs.
    enum { kWaitDialog, kWaitFileDialog, kWaitBack, kWaitEnd } stage = kWaitDialog;
    int focusedAfterOpen = 0, fileDialogs = 0;
    QWidget* lastFocus = nullptr;
    int steady = 0, afterEnter = 0;
    Poller user(50.0, [&]() -> bool {
        QWidget* self = dlg.GetSafeHwnd() ? QtWidgetOf(&dlg) : nullptr;
        switch (stage) {
        case kWaitDialog:
            if (!self || QApplication::activeWindow() != self)
                return false;
            stage = kWaitFileDialog;
            // Clicked with the mouse: the button takes the focus and opens the file dialog,
            // whose own loop runs inside the click.
            QTimer::singleShot(0, [&dlg] { QtMouseClick(&dlg, IDC_GROUP_OPEN); });
            return false;
        case kWaitFileDialog: {
            QWidget* files = QApplication::activeModalWidget();
            if (!files || !files->inherits("QFileDialog") || QApplication::activeWindow() != files)
                return false;
            ++fileDialogs;
            auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!name)
                return false;
            name->setFocus();
            name->setText(QString::fromStdString(qrx));
            Key(name, Qt::Key_Return);
            stage = kWaitBack;
            return false;
        }
        case kWaitBack: {
            // The window manager hands the activation back; the focus then settles inside.
            QWidget* focus = QApplication::focusWidget();
            if (!self || QApplication::activeWindow() != self || !focus || focus->window() != self) {
                steady = 0;
                return false;
            }
            steady = focus == lastFocus ? steady + 1 : 0;
            lastFocus = focus;
            if (steady < 4)
                return false;
            CWnd* wnd = CWnd::GetFocus();
            focusedAfterOpen = wnd ? wnd->GetDlgCtrlID() : 0;
            Key(focus, Qt::Key_Return);
            stage = kWaitEnd;
            return false;
        }
        case kWaitEnd:
            // Enter on a button other than "Done" leaves the dialog up.
            if (self && self->isVisible() && ++afterEnter < 100)
                return false;
            if (self && self->isVisible())
                dlg.EndDialog(IDABORT);
            return true;
        }
        return true;
    });
    // Whatever happens, the dialog ends: a test that fails must not hang.
    QTimer last;
    last.setSingleShot(true);
    QObject::connect(&last, &QTimer::timeout, [&dlg] {
        if (QWidget* files = QApplication::activeModalWidget(); files && files->inherits("QFileDialog"))
            files->close();
        if (dlg.GetSafeHwnd())
            dlg.EndDialog(IDABORT);
    });
    last.start(60000);
    const INT_PTR result = dlg.DoModal();
    EXPECT_FALSE(user.TimedOut()) << "stage " << stage;
    EXPECT_EQ(fileDialogs, 1);
    EXPECT_EQ(focusedAfterOpen, IDCANCEL);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_NE(files[0].File, nullptr) << "the group just opened was closed";
    EXPECT_STREQ(group.GroupPath, qrx.c_str());
}

// Seven untitled takes saved as a group whose seven wave files exist, with and without the
// group's file: one question names the wave files, and No leaves every file byte for byte (the
// group's file too) and the takes untitled, as a Cancel would.
TEST_F(RealFileDialog, SavingOverExistingWaveFilesAsksAndNoKeepsThemAll)
{
    std::snprintf(folder, sizeof folder, "%s", dir.c_str());
    const std::string qrx = Path("Test1.qrx");
    auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    std::vector<std::string> boxes;
    const MessageBoxPresenter previous = SetMessageBoxPresenter([&](const MessageBoxRequest& r) {
        boxes.push_back(r.text);
        return r.text.find("already exists") != std::string::npos ? IDYES : IDNO;
    });
    for (const bool withGroup : {false, true}) {
        SCOPED_TRACE(withGroup ? "with the group's file" : "without the group's file");
        std::vector<std::string> before;
        for (int c = 0; c < 7; ++c) {
            ASSERT_TRUE(WritePythonWave(FileGroupChannelFileName(qrx, c), 8000, {c, c + 1, c + 2}));
            before.push_back(bytes(FileGroupChannelFileName(qrx, c)));
            files[c].File.reset(new TWaveFile(2, TPcmFormat(8000, 1, 2), dir.string()));
            for (DWORD i = 0; i < 2; ++i)
                ASSERT_TRUE(files[c].File->SetSample(100 + c, i, 0));
        }
        if (withGroup)
            WritePrivateProfileStringA("Filenames", "Crown", "Test1_Crown.wav", qrx.c_str());
        const std::string groupBefore = bytes(qrx);
        boxes.clear();

        CDurnexFileSelectDlg dlg(nullptr, &group, folder, files, calibrations, &changed);
        dlg.SetFileOptions(TWaveFile::kMemory, false, dir.string());
        enum { kWaitDialog, kWaitFileDialog, kWaitBack, kWaitEnd } stage = kWaitDialog;
        Poller user(50.0, [&]() -> bool {
            QWidget* self = dlg.GetSafeHwnd() ? QtWidgetOf(&dlg) : nullptr;
            switch (stage) {
            case kWaitDialog:
                if (!self || QApplication::activeWindow() != self)
                    return false;
                stage = kWaitFileDialog;
                QTimer::singleShot(0, [&dlg] { QtMouseClick(&dlg, IDC_GROUP_SAVE); });
                return false;
            case kWaitFileDialog: {
                QWidget* chooser = QApplication::activeModalWidget();
                if (!chooser || !chooser->inherits("QFileDialog") || QApplication::activeWindow() != chooser)
                    return false;
                auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (!name)
                    return false;
                name->setFocus();
                name->setText(QString::fromStdString(qrx));
                Key(name, Qt::Key_Return);
                stage = kWaitBack;
                return false;
            }
            case kWaitBack:
                if (!self || QApplication::activeWindow() != self || QApplication::activeModalWidget() != self)
                    return false;
                stage = kWaitEnd;
                QTimer::singleShot(0, [&dlg] { QtMouseClick(&dlg, IDCANCEL); });
                return false;
            case kWaitEnd:
                return !self || !self->isVisible();
            }
            return true;
        });
        QTimer last;
        last.setSingleShot(true);
        QObject::connect(&last, &QTimer::timeout, [&dlg] {
            if (QWidget* chooser = QApplication::activeModalWidget(); chooser && chooser->inherits("QFileDialog"))
                chooser->close();
            if (dlg.GetSafeHwnd())
                dlg.EndDialog(IDABORT);
        });
        last.start(60000);
        dlg.DoModal();
        EXPECT_FALSE(user.TimedOut()) << "stage " << stage;

        ASSERT_EQ(boxes.size(), withGroup ? 2u : 1u);
        EXPECT_EQ(boxes.front().find("already exists") != std::string::npos, withGroup);
        const std::string& asked = boxes.back();
        EXPECT_NE(asked.find(" in " + dir.string() + " with untitled takes:"), std::string::npos) << asked;
        EXPECT_NE(asked.find("Do you want to replace them?"), std::string::npos) << asked;
        for (int c = 0; c < 7; ++c) {
            EXPECT_NE(asked.find(std::filesystem::path(FileGroupChannelFileName(qrx, c)).filename().string()), std::string::npos)
                << c;
            EXPECT_EQ(bytes(FileGroupChannelFileName(qrx, c)), before[std::size_t(c)]) << c;
            EXPECT_TRUE(files[c].File->IsUntitled()) << c;
            EXPECT_STREQ(files[c].FilePath, "") << c;
        }
        EXPECT_EQ(bytes(qrx), groupBefore);
        EXPECT_TRUE(group.IsUntitled());
    }
    SetMessageBoxPresenter(previous);
}
