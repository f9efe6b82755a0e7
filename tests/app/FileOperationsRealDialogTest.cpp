// "File Operations" with the real file dialog under a real window manager (openbox on an Xvfb
// display of its own): after Open File the focus comes back to the dialog on "Done", so the
// Enter that follows finishes the dialog instead of closing the group just opened.
#include "DialogFixture.h"

#include "app/CDurnexFileSelectDlg.h"
#include "platform/core/Profile.h"
#include "res/FileDialogIds.h"
#include "support/NeedsTool.h"
#include "wave/ChannelFileState.h"
#include "wave/TWaveFile.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace filestest;

namespace {

bool Installed(const char* program)
{
    const std::string cmd = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// Starts a program; `keepFd` stays open in it (for Xvfb's -displayfd).
pid_t Spawn(std::vector<std::string> args, int keepFd = -1)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (keepFd >= 0)
            ::fcntl(keepFd, F_SETFD, 0);
        ::freopen("/dev/null", "w", stderr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

class RealFileDialog : public DialogFixture {
protected:
    void SetUp() override
    {
        if (!Installed("Xvfb") || !Installed("openbox"))
            DURNEX_SKIP_WITHOUT("Xvfb and openbox are needed");
        // Qt picks its platform once per process: this test runs in a process of its own.
        if (QGuiApplication::instance() != nullptr)
            GTEST_SKIP() << "the toolkit is already up on another platform";
        // Xvfb picks a free display itself and names it on the pipe.
        int fds[2];
        ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        xvfb_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                      fds[1]);
        ::close(fds[1]);
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        ::setenv("DISPLAY", (":" + number).c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        // openbox runs its start-up command once it manages the screen.
        const std::string ready = (std::filesystem::temp_directory_path() /
                                   ("durnex-openbox-" + std::to_string(::getpid()))).string();
        std::filesystem::remove(ready);
        wm_ = Spawn({"openbox", "--sm-disable", "--startup", "touch " + ready});
        for (int i = 0; i < 400 && !std::filesystem::exists(ready); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(std::filesystem::exists(ready)) << "openbox did not start";
        std::filesystem::remove(ready);
        DialogFixture::SetUp();
    }
    void TearDown() override
    {
        for (ChannelFileState& f : files)
            f.File.reset();
        if (QGuiApplication::instance() != nullptr)
            DialogFixture::TearDown();
        for (pid_t p : {wm_, xvfb_})
            if (p > 0) {
                ::kill(p, SIGTERM);
                ::waitpid(p, nullptr, 0);
            }
    }

    pid_t xvfb_ = -1, wm_ = -1;
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
