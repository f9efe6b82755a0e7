// Segment playback driven through the frame's Edit > Play commands, played through the sound
// card into ALSA's file plugin (the test sound configuration): the bytes that arrive are the
// segment's samples, one-second buffers padded with silence, at the rate each command asks.
#include "FilesFrameFixture.h"

#include "acquisition/TSoundOutput.h"
#include "acquisition/TUsbDevice.h"
#include "platform/usb/KdrSimulator.h"
#include "res/PlaybackDialogIds.h"
#include "res/resource.h"

#include <chrono>
#include <cstdint>
#include <functional>

using namespace filesframe;

namespace {

// The test wave's sample at frame i: a ramp that never repeats within the file.
std::int16_t SampleAt(long i) { return static_cast<std::int16_t>((i * 37) % 60001 - 30000); }
const char* kSampleExpression = "(i * 37) % 60001 - 30000";

class Playback : public FilesFrame {
protected:
    void SetUp() override
    {
        FilesFrame::SetUp();
        soundFile = root / "played.raw";
        setenv("DURNEX_SOUND_FILE", soundFile.c_str(), 1);
    }
    void TearDown() override
    {
        FilesFrame::TearDown();
        unsetenv("DURNEX_SOUND_FILE");
    }

    // Channel 0 plays a file of `frames` frames at `rate` through the sound card.
    bool StartWithFile(int rate, int frames)
    {
        if (Start() == nullptr || !WriteWaveOf(Data("wave/ramp.wav"), rate, frames, kSampleExpression) ||
            !OpenChannel(0, Data("wave/ramp.wav")))
            return false;
        frame->Settings.UseSoundCardForOutput = 1;
        return true;
    }
    void Command(UINT id) { frame->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    static bool PumpUntil(const std::function<bool()>& until)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!until()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            AfxPumpMessages(5);
        }
        return true;
    }
    std::vector<std::int16_t> Played() const
    {
        const std::string bytes = ReadFile(soundFile.string());
        std::vector<std::int16_t> out(bytes.size() / 2);
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<std::int16_t>(std::uint8_t(bytes[2 * i]) | std::uint8_t(bytes[2 * i + 1]) << 8);
        return out;
    }
    DWORD CardRate() const { return frame->SoundOutput ? frame->SoundOutput->GetFormat().SampleRate : 0; }

    std::filesystem::path soundFile;
};

TEST_F(Playback, PlaySendsTheSegmentInSecondBuffersAndStopsAtItsEnd)
{
    ASSERT_TRUE(StartWithFile(8000, 32000));
    EXPECT_FALSE(CommandEnabled(frame, ID_EDIT_PLAY)) << "nothing selected";
    ASSERT_NE(Select(0, 0.5f, 3.0f), nullptr);
    EXPECT_TRUE(CommandEnabled(frame, ID_EDIT_PLAY));
    Command(ID_EDIT_PLAY);
    ASSERT_TRUE(frame->Playing);
    EXPECT_EQ(CardRate(), 8000u);
    ASSERT_TRUE(PumpUntil([&] { return !frame->Playing; }));
    EXPECT_EQ(frame->SoundOutput, nullptr);
    EXPECT_EQ(frame->PlaybackRate, 0u);

    // 2.5 s fill 8000, 8000 and 4000 frames; the last buffer ends in 4000 frames of silence.
    const std::vector<std::int16_t> played = Played();
    ASSERT_EQ(played.size(), 24000u);
    for (long i = 0; i < 20000; ++i)
        ASSERT_EQ(played[i], SampleAt(4000 + i)) << "frame " << i;
    for (long i = 20000; i < 24000; ++i)
        ASSERT_EQ(played[i], 0) << "frame " << i;
}

TEST_F(Playback, LoopRepeatsTheSegmentPaddedToItsBufferUntilPlayedAgain)
{
    ASSERT_TRUE(StartWithFile(8000, 8000));
    ASSERT_NE(Select(0, 0.25f, 0.5f), nullptr);
    Command(ID_EDIT_PLAY_LOOP);
    ASSERT_TRUE(frame->Playing);
    ASSERT_TRUE(PumpUntil([&] { return Played().size() >= 4 * 8000; }));
    EXPECT_TRUE(frame->Playing);
    // Play while looping stops the playback.
    Command(ID_EDIT_PLAY);
    EXPECT_FALSE(frame->Playing);
    EXPECT_EQ(frame->SoundOutput, nullptr);

    const std::vector<std::int16_t> played = Played();
    ASSERT_GE(played.size(), 4u * 8000);
    for (std::size_t i = 0; i < played.size(); ++i) {
        const long inPass = long(i % 8000);
        ASSERT_EQ(played[i], inPass < 2000 ? SampleAt(2000 + inPass) : 0) << "frame " << i;
    }
}

TEST_F(Playback, SpeedsSetTheCardsRateAndTheTypedRateIsBoundedAndKept)
{
    ASSERT_TRUE(StartWithFile(44101, 44101));
    ASSERT_NE(Select(0, 0.0f, 0.5f), nullptr);
    Command(ID_EDIT_PLAY_HALF);
    EXPECT_EQ(CardRate(), 22050u);
    Command(ID_STOP);
    EXPECT_FALSE(frame->Playing);
    Command(ID_EDIT_PLAY_DOUBLE);
    EXPECT_EQ(CardRate(), 88202u);
    Command(ID_STOP);

    // The dialog keeps refusing until a rate above zero that fits; it offers the file's rate first.
    user.ExpectBox(IDOK, "Sampling Rate must be greater than zero.");
    user.ExpectBox(IDOK, "\"fast\" is not a number.");
    user.ExpectBox(IDOK, "Sampling Rate must not be greater than 1000000.");
    CDialog::ScriptModal([](CWnd& d) {
        auto& dialog = static_cast<CDialog&>(d);
        std::string shown;
        dialog.GetDlgItemText(IDC_PLAYBACK_RATE, shown);
        EXPECT_EQ(shown, "44101");
        for (const char* typed : {"0", "fast", "18446744073709551621", "12345"}) {
            dialog.SetDlgItemText(IDC_PLAYBACK_RATE, typed);
            dlgtest::Click(d, IDOK);
        }
    });
    Command(ID_EDIT_PLAY_ARBITRARY);
    EXPECT_EQ(CardRate(), 12345u);
    Command(ID_STOP);

    // Offered again next time; Cancel plays nothing.
    CDialog::ScriptModal([](CWnd& d) {
        std::string shown;
        static_cast<CDialog&>(d).GetDlgItemText(IDC_PLAYBACK_RATE, shown);
        EXPECT_EQ(shown, "12345");
        dlgtest::Click(d, IDCANCEL);
    });
    Command(ID_EDIT_PLAY_ARBITRARY);
    EXPECT_FALSE(frame->Playing);
}

TEST_F(Playback, RefusalsSayWhyAndLeavePlaybackIdle)
{
    ASSERT_TRUE(StartWithFile(8000, 16000));
    user.ExpectBox(IDOK, "You must first select a time segment.");
    EXPECT_FALSE(frame->StartSegmentPlayback(0, 1.0f, 1.0f));
    EXPECT_FALSE(frame->StartSegmentPlayback(1, 0.0f, 1.0f)) << "no file on channel 1";

    // A selection reaching before the start plays from 0 s.
    ASSERT_TRUE(frame->StartSegmentPlayback(0, -0.5f, 0.25f));
    EXPECT_EQ(frame->PlaybackStartFrame, 0);
    EXPECT_EQ(frame->PlaybackEndFrame, 2000);
    ASSERT_TRUE(PumpUntil([&] { return !frame->Playing; }));

    // Without the sound card the device output is tried; it has none.
    frame->Settings.UseSoundCardForOutput = 0;
    frame->PlaybackRate = 4000;
    user.ExpectBox(IDOK, "Please check the cabling and retry.");
    EXPECT_FALSE(frame->StartSegmentPlayback(0, 0.0f, 1.0f));
    EXPECT_EQ(frame->PlaybackRate, 0u) << "a refused half speed doesn't stay for the next Play";
    // The device on the USB road (the simulator) opens, but has no analog output.
    kdrsim::Reset();
    kdrsim::SelectSimulator(true);
    user.ExpectBox(IDOK, "Failure Configuring KDR5200 Output subsystem.");
    EXPECT_FALSE(frame->StartSegmentPlayback(0, 0.0f, 1.0f));
    kdrsim::SelectSimulator(false);
    EXPECT_FALSE(frame->OutputDevice->IsOpen());
    frame->Settings.DTOutputDeviceIndex = -1;
    user.ExpectBox(IDOK, "There are no Durnex KDR-5200 Series data acquisition devices available on your system.");
    EXPECT_FALSE(frame->StartSegmentPlayback(0, 0.0f, 1.0f));

    // A system without a sound card.
    frame->Settings.UseSoundCardForOutput = 1;
    const std::string saved = std::getenv("ALSA_CONFIG_PATH");
    setenv("ALSA_CONFIG_PATH", DURNEX_TEST_DATA "/asound-none.conf", 1);
    user.ExpectBox(IDOK, "No sound card is available on this system.");
    user.ExpectBox(IDOK, "Failure opening sound card for playback.");
    EXPECT_FALSE(frame->StartSegmentPlayback(0, 0.0f, 1.0f));
    setenv("ALSA_CONFIG_PATH", saved.c_str(), 1);
    EXPECT_FALSE(frame->Playing);
    EXPECT_EQ(frame->SoundOutput, nullptr);
    EXPECT_EQ(frame->PlaybackFile, nullptr);
}

TEST_F(Playback, AFileThatCanNoLongerBeReadStopsPlaybackWithOneMessage)
{
    ASSERT_NE(Start(), nullptr);
    frame->Settings.FileIO.WaveFileMode = 1; // streamed
    frame->Settings.FileIO.MakeBackup = 0;   // straight from the file
    frame->Settings.UseSoundCardForOutput = 1;
    ASSERT_TRUE(WriteWaveOf(Data("wave/ramp.wav"), 8000, 16000, kSampleExpression));
    ASSERT_TRUE(OpenChannel(0, Data("wave/ramp.wav")));
    ASSERT_NE(Select(0, 0.0f, 1.5f), nullptr);
    // The file loses its samples on disk after it was opened.
    std::filesystem::resize_file(Data("wave/ramp.wav"), 44 + 200);
    user.ExpectBox(IDOK, "Failure reading wave file");
    Command(ID_EDIT_PLAY);
    ASSERT_TRUE(PumpUntil([&] { return !frame->Playing; }));
    EXPECT_EQ(frame->SoundOutput, nullptr);
    AfxPumpMessages(100);
    EXPECT_EQ(user.Texts().size(), 1u);
}

TEST_F(Playback, ClosingTheFrameMidPlaybackEndsItCleanly)
{
    ASSERT_TRUE(StartWithFile(8000, 16000));
    ASSERT_NE(Select(0, 0.0f, 2.0f), nullptr);
    Command(ID_EDIT_PLAY_LOOP);
    ASSERT_TRUE(frame->Playing);
    ASSERT_TRUE(PumpUntil([&] { return Played().size() >= 8000; }));
    ASSERT_TRUE(Close());
    // Completions already on their way find no port and no window.
    AfxPumpMessages(300);
}

} // namespace
