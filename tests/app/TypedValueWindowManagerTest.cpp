// The typed tool-strip value and F5 at once, under a real window manager (openbox on its own
// Xvfb display), where the sheet takes the focus from the box as it opens: the sheet shows the
// typed value, and after OK the record, the box and the drawn trace all agree on it.
#include "FilesFrameFixture.h"

#include "platform/ui/GdiWindowDC.h"
#include "plots/CPlotOptionsMain.h"
#include "res/PlotOptionsDialogIds.h"
#include "res/resource.h"
#include "support/NeedsTool.h"

#include "support/QtTestAccess.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace filesframe;

namespace {

pid_t Spawn(std::vector<std::string> args)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::freopen("/dev/null", "w", stderr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

bool Installed(const char* program)
{
    const std::string cmd = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

class TypedUnderWindowManager : public FilesFrame {
protected:
    void SetUp() override
    {
        if (!Installed("Xvfb") || !Installed("openbox"))
            DURNEX_SKIP_WITHOUT("Xvfb and openbox are needed");
        // Qt picks its platform once per process: this test runs in a process of its own.
        if (QGuiApplication::instance() != nullptr)
            GTEST_SKIP() << "the toolkit is already up on another platform";
        // A display nobody else holds (other sessions on this machine use low numbers).
        int display = 500 + static_cast<int>(::getpid() % 400);
        while (std::filesystem::exists("/tmp/.X" + std::to_string(display) + "-lock"))
            ++display;
        const std::string name = ":" + std::to_string(display);
        xvfb_ = Spawn({"Xvfb", name, "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
        for (int i = 0; i < 200 && !std::filesystem::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(std::filesystem::exists(socket));
        ::setenv("DISPLAY", name.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        wm_ = Spawn({"openbox", "--sm-disable"});
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        FilesFrame::SetUp();
    }
    void TearDown() override
    {
        FilesFrame::TearDown();
        for (pid_t p : {wm_, xvfb_})
            if (p > 0) {
                ::kill(p, SIGTERM);
                ::waitpid(p, nullptr, 0);
            }
    }
    pid_t xvfb_ = -1, wm_ = -1;
};

// The row of the highest pixel in the colour inside the pane, or -1.
int HighestRow(CWnd* plot, const CRect& pane, COLORREF colour)
{
    AfxPumpMessages();
    CClientDC dc(plot);
    for (int y = pane.top; y < pane.bottom; ++y)
        for (int x = pane.left; x < pane.right; ++x)
            if (dc.GetPixel(x, y) == colour)
                return y;
    return -1;
}

} // namespace

TEST_F(TypedUnderWindowManager, F5AtOnceAfterTypingOpensTheSheetOnTheTypedTopAndOkKeepsIt)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(
        WriteWaveOf(Data("wave/t.wav"), 8000, 16000, "round(12000 * math.sin(2 * math.pi * 1000 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/t.wav")));
    frame->ComputeSegmentAverageSpectrum(0, 0.0f, 1.0f, false);
    TSpectraPlot* plot = frame->SpectrumPlot[0];
    ASSERT_NE(plot, nullptr);
    SpectrumPlotSettings& s = frame->Settings.SpectrumOpts[0];
    s.StartFreq = 0.0f;
    s.StopFreq = 4000.0f;
    plot->UpdateLayout();
    plot->Autoscale();
    frame->MDIActivate(plot);
    // The window manager maps and activates the frame some time after it is shown.
    for (int i = 0; i < 100 && !QtWidgetOf(frame)->window()->isActiveWindow(); ++i)
        AfxPumpMessages(50);
    ASSERT_TRUE(QtWidgetOf(frame)->window()->isActiveWindow());
    const CRect pane = plot->GetPlotRect();
    const int startRow = HighestRow(plot, pane, s.LineColor);
    ASSERT_GT(startRow, pane.top);
    const float start = s.PlotTop, range = static_cast<float>(s.PlotRange);
    const float typed = start + 10.0f;

    bool sheetShown = false;
    CDialog::ScriptModal([&](CWnd& w) {
        auto& sheet = static_cast<CPlotOptionsMain&>(w);
        // Let the window manager give the sheet the focus, as it does for the user.
        for (int i = 0; i < 100 && !QtWidgetOf(&sheet)->window()->isActiveWindow(); ++i)
            AfxPumpMessages(20);
        sheetShown = true;
        EXPECT_NEAR(std::strtod(sheet.m_SpectrumPage.GetDlgItem(IDC_PO_TOP)->GetWindowTextString().c_str(), nullptr),
                    typed, 1e-3);
        dlgtest::Click(sheet, IDOK);
    });
    char text[32];
    std::snprintf(text, sizeof text, "%g", typed);
    ASSERT_TRUE(QtTypeInto(plot->GetPlotTopEdit(), text));
    QtPressKey(plot->GetPlotTopEdit(), Qt::Key_F5);
    ASSERT_TRUE(sheetShown);
    // Longer than the typing pause: nothing that was typed lands later.
    for (int i = 0; i < 30; ++i)
        AfxPumpMessages(50);
    EXPECT_FLOAT_EQ(s.PlotTop, typed);
    EXPECT_NEAR(std::strtod(plot->GetPlotTopEdit()->GetWindowTextString().c_str(), nullptr), typed, 1e-4);
    EXPECT_NEAR(HighestRow(plot, pane, s.LineColor) - startRow, 10.0f * pane.Height() / range, 1.5);
}
