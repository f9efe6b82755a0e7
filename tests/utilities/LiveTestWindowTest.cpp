// The live-test windows (RT-60, THD+N versus frequency) over the frame's devices as the links
// hand them over: the built-in KDR-5200 simulator as the input, the tests' sound card as the
// output. A window deleted in the middle of a test (as the frame does when it closes) takes
// the test along: input stopped and the frame told, the sound output gone from the frame's
// slot, the frame enabled again, and no report of the output reaches the deleted window.
#include "acquisition/TSoundOutput.h"
#include "acquisition/TUsbDevice.h"
#include "platform/usb/KdrSimulator.h"
#include "records/AppMessages.h"
#include "records/ReverbSettings.h"
#include "records/ThdFreqSettings.h"
#include "support/MdiFrameFixture.h"
#include "utilities/TReverb.h"
#include "utilities/TTHDFreq.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {
class RequestFrame : public CMDIFrameWnd {
public:
    std::vector<WPARAM> reverb, thd; // the requests' wParams, in order
    LRESULT OnReverbRequest(WPARAM wParam, LPARAM)
    {
        reverb.push_back(wParam);
        return 1;
    }
    LRESULT OnThdRequest(WPARAM wParam, LPARAM)
    {
        thd.push_back(wParam);
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};
} // namespace

BEGIN_MESSAGE_MAP(RequestFrame, CMDIFrameWnd)
    ON_MESSAGE(WM_REVERB_REQUEST, &RequestFrame::OnReverbRequest)
    ON_MESSAGE(WM_THDFREQ_REQUEST, &RequestFrame::OnThdRequest)
END_MESSAGE_MAP()

namespace {
class LiveTestWindows : public MdiFrameTest<RequestFrame, 900, 700> {
protected:
    static constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW;

    std::filesystem::path soundFile;
    TUsbDevice input;
    std::unique_ptr<TSoundOutput> slot; // the frame's one sound output

    void SetUp() override
    {
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        soundFile = std::filesystem::temp_directory_path() / ("livetest-" + std::to_string(getpid()) + ".raw");
        setenv("DURNEX_SOUND_FILE", soundFile.c_str(), 1);
        MdiFrameTest::SetUp();
    }
    void TearDown() override
    {
        MdiFrameTest::TearDown();
        slot.reset();
        input.CloseDevice();
        unsetenv("DURNEX_SOUND_FILE");
        std::filesystem::remove(soundFile);
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
    }

    // What the frame hands over: its device settings when asked, the device, its sound slot.
    void Fill(LiveTestLinks& links)
    {
        links.frame = frame;
        links.setup = [] {
            LiveTestSetup s;
            s.inputDeviceIndex = 0;
            s.useSoundCard = true;
            s.output.SigGenSamplingRate = 44100;
            s.output.SigGenNumChannels = 1;
            s.output.SigGenBitsPerSample = 16;
            return s;
        };
        links.inputDevice = [this] { return &input; };
        links.soundOutput = [this] { return slot.get(); };
        links.replaceSoundOutput = [this](std::unique_ptr<TSoundOutput> output) { slot = std::move(output); };
    }

    // Deletes the window mid-test and checks that the test went with it.
    void DeleteMidTest(CWnd* w, const std::vector<WPARAM>& requests, WPARAM deviceStopped)
    {
        ASSERT_NE(slot, nullptr);
        EXPECT_TRUE(input.IsReading());
        const std::size_t before = requests.size();
        delete w;
        EXPECT_EQ(slot, nullptr);
        EXPECT_FALSE(input.IsReading());
        EXPECT_TRUE(frame->IsWindowEnabled());
        ASSERT_GT(requests.size(), before);
        EXPECT_EQ(requests.back(), deviceStopped);
        // Whatever the output had queued for the window is dropped with it.
        for (int i = 0; i < 20; ++i) {
            AfxPumpMessages(1);
            usleep(5000);
        }
    }
};
} // namespace

TEST_F(LiveTestWindows, AWindowDeletedInTheMiddleOfATestTakesTheTestAlong)
{
    // RT-60: the simulator's fixed 4000 samples/s refuse Start, so the steps are taken in turn.
    ReverbSettings reverbSettings;
    ReverbLinks reverbLinks;
    Fill(reverbLinks);
    reverbLinks.settings = &reverbSettings;
    auto* reverb = new TReverb;
    ASSERT_TRUE(reverb->CreateReverbWindow(kStyle, CRect(0, 0, 700, 450), frame, &reverbLinks));
    reverb->PrepareTest(TPcmFormat(4000, 1, 3), TPcmFormat(44100, 1, 2));
    reverb->PlayThroughSoundCard();
    reverb->StartCapture();
    ASSERT_TRUE(reverb->IsRunning());
    frame->EnableWindow(FALSE); // as Start leaves it
    DeleteMidTest(reverb, frame->reverb, kReverbDeviceStopped);

    // THD+N: Start runs the whole sequence on the device's own rate.
    ThdFreqSettings thdSettings;
    thdSettings.StartFrequency = 500.0f;
    thdSettings.StopFrequency = 1500.0f;
    thdSettings.LinearStep = 500.0f;
    ThdFreqLinks thdLinks;
    Fill(thdLinks);
    thdLinks.settings = &thdSettings;
    auto* thd = new TTHDFreq;
    ASSERT_TRUE(thd->Create(kStyle, CRect(0, 0, 700, 450), frame, &thdLinks));
    thd->SendMessage(WM_COMMAND, TTHDFreq::kStart, 0);
    ASSERT_TRUE(thd->IsRunning());
    EXPECT_FALSE(frame->IsWindowEnabled());
    ASSERT_FALSE(frame->thd.empty());
    EXPECT_EQ(frame->thd.front(), kThdStopActivity);
    DeleteMidTest(thd, frame->thd, kThdDeviceStopped);
}
