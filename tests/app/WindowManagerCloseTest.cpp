// The main window closed by a real window manager (openbox on its own Xvfb display, asked the
// way a title bar's close button or a taskbar asks it) after a Real Time run: the run's buffers
// are asked about first, Cancel keeps everything, Yes saves them before the window goes.
#include "acquisition/SimulatedRunFixture.h"

#include "support/RealDisplay.h"
#include "support/QtTestAccess.h"
#include "wave/TWaveFile.h"

using namespace frametest;

namespace {

class CloseByWindowManager : public OnRealDisplay<SimulatedRun> {
protected:
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
};

} // namespace

TEST_F(CloseByWindowManager, ARealTimeRunsBuffersAreAskedAboutBeforeTheWindowGoes)
{
    ASSERT_NE(Start(), nullptr);
    UseChannelZeroAlone(frame->Settings, 0);
    CopyField(frame->Settings.Paths.Wav, Data("wave").c_str());
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->Settings.FileIO.RealTimeWaveBufferEnableFlag = 1;
    frame->Settings.FileIO.RealTimeWaveBufferLengthSecs = 10;
    const long long frames = Run(-6, 2);
    const TWaveFile* buffer = frame->Settings.Files[0].File.get();
    ASSERT_NE(buffer, nullptr);
    ASSERT_GT(frames, 4000);
    ASSERT_EQ(buffer->GetEndFrame(), DWORD(frames));
    AfxPumpMessages(500); // framed and mapped by the window manager

    const HWND h = frame->GetSafeHwnd();
    const unsigned long window = static_cast<unsigned long>(QtWidgetOf(frame)->winId());
    answers = {{kBuffers, IDCANCEL}};
    ASSERT_TRUE(AskWindowManagerToClose(window));
    PumpUntil([&] { return !asked.empty() || !IsWindow(h); }, 20000);
    AfxPumpMessages(100);
    if (!IsWindow(h)) {
        EndApplication();
        FAIL() << "the window manager's close took the window and the buffers without a question";
    }
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rfind(kBuffers, 0), 0u) << asked[0];
    EXPECT_EQ(frame->Settings.Files[0].File.get(), buffer);

    answers = {{kBuffers, IDYES}};
    ASSERT_TRUE(AskWindowManagerToClose(window));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(h); }, 20000));
    EndApplication();
    ExpectBufferSaved(frames);
}
