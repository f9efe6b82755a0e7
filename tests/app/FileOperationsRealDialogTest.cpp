// "File Operations" with the real file dialog under a real window manager (openbox on an Xvfb
// display of its own): after Open File the focus comes back to the dialog on "Done", so the
// Enter that follows finishes the dialog instead of closing the group just opened.
#include "DialogFixture.h"

#include "app/CDurnexFileSelectDlg.h"
#include "platform/core/Profile.h"
#include "res/FileDialogIds.h"
#include "support/RealDisplay.h"
#include "wave/ChannelFileState.h"
#include "wave/TWaveFile.h"

#include <cstdio>
#include <functional>

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
