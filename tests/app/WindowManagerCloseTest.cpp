// The main window closed by a real window manager (openbox on its own Xvfb display, asked the
// way a title bar's close button or a taskbar asks it) after a Real Time run: the run's buffers
// are asked about first, Cancel keeps everything, Yes saves them before the window goes.
#include "FrameFixture.h"

#include "acquisition/TUsbDevice.h"
#include "platform/core/MessageBox.h"
#include "platform/usb/KdrSimulator.h"
#include "records/RecordBytes.h"
#include "res/resource.h"
#include "support/RealDisplay.h"
#include "support/QtTestAccess.h"
#include "wave/TWaveFile.h"

#include <cmath>
#include <cstdlib>

using namespace frametest;

namespace {

class CloseByWindowManager : public FrameFixture {
protected:
    void SetUp() override
    {
        DURNEX_START_REAL_DISPLAY(display_, "1280x800x24", "");
        FrameFixture::SetUp();
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        kdrsim::UseTestClock(true);
        saved_ = SetMessageBoxPresenter([this](const MessageBoxRequest& r) {
            asked.push_back(r.text);
            return r.text.rfind("Data is still available", 0) == 0 ? answer : DefaultMessageBoxAnswer(r.type);
        });
    }
    void TearDown() override
    {
        FrameFixture::TearDown();
        SetMessageBoxPresenter(saved_);
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
        display_.Stop();
    }
    // Asks the window manager to close the window (_NET_CLOSE_WINDOW to the root window), as
    // its close button does; it then sends the window WM_DELETE_WINDOW.
    static bool AskWindowManagerToClose(unsigned long window)
    {
        return Python("import ctypes, ctypes.util\n"
                      "x = ctypes.cdll.LoadLibrary(ctypes.util.find_library('X11'))\n"
                      "x.XOpenDisplay.restype = ctypes.c_void_p\n"
                      "x.XOpenDisplay.argtypes = [ctypes.c_char_p]\n"
                      "x.XInternAtom.restype = ctypes.c_ulong\n"
                      "x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]\n"
                      "x.XDefaultRootWindow.restype = ctypes.c_ulong\n"
                      "x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]\n"
                      "x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]\n"
                      "x.XFlush.argtypes = [ctypes.c_void_p]\n"
                      "x.XCloseDisplay.argtypes = [ctypes.c_void_p]\n"
                      "class Msg(ctypes.Structure):\n"
                      "    _fields_ = [('type', ctypes.c_int), ('serial', ctypes.c_ulong), ('send_event', ctypes.c_int),\n"
                      "                ('display', ctypes.c_void_p), ('window', ctypes.c_ulong), ('message_type', ctypes.c_ulong),\n"
                      "                ('format', ctypes.c_int), ('data', ctypes.c_long * 5)]\n"
                      "class Event(ctypes.Union):\n"
                      "    _fields_ = [('xclient', Msg), ('pad', ctypes.c_long * 24)]\n"
                      "d = x.XOpenDisplay(None)\n"
                      "assert d\n"
                      "e = Event()\n"
                      "e.xclient.type = 33\n"
                      "e.xclient.send_event = 1\n"
                      "e.xclient.window = " + std::to_string(window) + "\n"
                      "e.xclient.message_type = x.XInternAtom(d, b'_NET_CLOSE_WINDOW', 0)\n"
                      "e.xclient.format = 32\n"
                      "e.xclient.data[1] = 2\n"
                      "assert x.XSendEvent(d, x.XDefaultRootWindow(d), 0, (1 << 19) | (1 << 20), ctypes.byref(e))\n"
                      "x.XFlush(d)\n"
                      "x.XCloseDisplay(d)\n");
    }
    RealDisplay display_;
    MessageBoxPresenter saved_;
    std::vector<std::string> asked;
    int answer = IDCANCEL;
};

} // namespace

TEST_F(CloseByWindowManager, ARealTimeRunsBuffersAreAskedAboutBeforeTheWindowGoes)
{
    std::string error;
    ASSERT_TRUE(kdrsim::ConfigureSources("0=sine:1000:-6", &error)) << error;
    ASSERT_NE(Start(), nullptr);
    UseChannelZeroAlone(frame->Settings, 0);
    CopyField(frame->Settings.Paths.Wav, Data("wave").c_str());
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 1;
    frame->Settings.FileIO.RealTimeWaveBufferLengthSecs = 10;
    frame->ExecuteCommand(ID_RUN);
    ASSERT_TRUE(frame->AcquisitionRunning);
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    for (int s = 0; s < 2; ++s) {
        kdrsim::AdvanceClock(1000);
        ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
        frame->DrainRingsToFiles(false);
    }
    frame->ExecuteCommand(ID_STOP);
    const long long frames = frame->InputDevice->GetSampleCounter();
    const TWaveFile* buffer = frame->Settings.Files[0].File.get();
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(buffer->GetEndFrame(), DWORD(frames));
    AfxPumpMessages(500); // framed and mapped by the window manager

    const HWND h = frame->GetSafeHwnd();
    const unsigned long window = static_cast<unsigned long>(QtWidgetOf(frame)->winId());
    const auto closeAndWait = [&](auto done) {
        ASSERT_TRUE(AskWindowManagerToClose(window));
        for (int i = 0; i < 1000 && !done(); ++i)
            AfxPumpMessages(10);
    };
    answer = IDCANCEL;
    closeAndWait([&] { return !asked.empty() || !IsWindow(h); });
    AfxPumpMessages(100);
    if (!IsWindow(h)) {
        frame = nullptr;
        app->ExitInstance();
        app.reset();
        FAIL() << "the window manager's close took the window and the buffers without a question";
    }
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rfind("Data is still available in the Real-Time data buffers.", 0), 0u) << asked[0];
    EXPECT_EQ(frame->Settings.Files[0].File.get(), buffer);

    answer = IDYES;
    closeAndWait([&] { return !IsWindow(h); });
    ASSERT_FALSE(IsWindow(h));
    frame = nullptr;
    app->ExitInstance();
    app.reset();
    std::string savedAs;
    for (const auto& e : std::filesystem::directory_iterator(Data("wave")))
        if (e.path().filename().string().rfind("Ch_0_", 0) == 0)
            savedAs = e.path().string();
    ASSERT_FALSE(savedAs.empty());
    const long a = std::lround(8388607.0 * std::pow(10.0, -6.0 / 20.0));
    EXPECT_TRUE(Python("import wave\n"
                       "w = wave.open('" + savedAs + "')\n"
                       "assert w.getnframes() == " + std::to_string(frames) + ", w.getnframes()\n"
                       "d = w.readframes(w.getnframes())\n"
                       "v = [int.from_bytes(d[i:i+3], 'little', signed=True) for i in range(0, len(d), 3)]\n"
                       "assert all(x == [0, " + std::to_string(a) + ", 0, -" + std::to_string(a) + "][k % 4] for k, x in enumerate(v))\n"));
}
