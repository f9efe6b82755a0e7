// The generator window driven as the user drives it: its layout for one and two output
// channels, the waveform combos and their dialogs, builds, output paths that fail with their
// messages, saving, and closing through the frame (also in the middle of a build).
#include "records/AppMessages.h"
#include "platform/ui/Dialog.h"
#include "platform/usb/KdrSimulator.h"
#include "siggen/CSigGen.h"
#include "siggen/WaveformSynthesis.h"
#include "support/MdiFrameFixture.h"
#include "support/ScriptedUser.h"
#include "wave/TWaveData.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
class GenFrame : public CMDIFrameWnd {
public:
    std::vector<LPARAM> closing;
    std::vector<WPARAM> ioSettings;
    LRESULT OnUtilityClosing(WPARAM, LPARAM lParam)
    {
        closing.push_back(lParam);
        return 1;
    }
    LRESULT OnIoSettings(WPARAM page, LPARAM)
    {
        ioSettings.push_back(page);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};
} // namespace

BEGIN_MESSAGE_MAP(GenFrame, CMDIFrameWnd)
    ON_MESSAGE(WM_UTILITY_CLOSING, &GenFrame::OnUtilityClosing)
    ON_MESSAGE(WM_SIGGEN_IO_SETTINGS, &GenFrame::OnIoSettings)
END_MESSAGE_MAP()

namespace {
class Generator : public MdiFrameTest<GenFrame> {
protected:
    void SetUp() override
    {
        MdiFrameTest<GenFrame>::SetUp();
        output.SigGenSamplingRate = 8000;
        output.SigGenBitsPerSample = 16;
    }
    CSigGen* Open()
    {
        SigGenLinks links;
        links.Channel = channel;
        links.Output = &output;
        links.UseSoundCard = &useCard;
        links.SoundCardIndex = &cardIndex;
        links.DaOutputIndex = &daIndex;
        links.WaveFolder = waveFolder;
        auto* gen = new CSigGen;
        EXPECT_TRUE(gen->CreateWnd(frame, 40, 50, links));
        Settle(gen);
        return gen;
    }
    static void Settle(CSigGen* gen)
    {
        for (int i = 0; i < 2000 && (gen->IsBuilding() || gen->GetWindowTextString() != "Signal Generator"); ++i)
            AfxPumpMessages(5);
        AfxPumpMessages();
    }
    static QWidget* Item(CWnd* w, int id) { return w->GetDlgItem(id) ? QtWidgetOf(w->GetDlgItem(id)) : nullptr; }
    static void Click(CWnd* w, int id) { ASSERT_TRUE(QtClickButton(w, id)) << id; }
    static void Pick(CWnd* w, int id, const char* text)
    {
        auto* combo = qobject_cast<QComboBox*>(Item(w, id));
        const int at = combo->findText(text);
        ASSERT_GE(at, 0) << text;
        combo->setCurrentIndex(at);
        combo->activated(at);
    }

    SigGenChannelSettings channel[2];
    OutputDeviceSettings output;
    BYTE useCard = 1;
    DWORD cardIndex = 0;
    INT daIndex = -1;
    char waveFolder[260] = "/tmp/";
};
} // namespace

TEST_F(Generator, OneChannelShowsOnlyTheFirstRowAndBuildsAtTheOutputFormat)
{
    CSigGen* gen = Open();
    EXPECT_EQ(gen->GetWindowTextString(), "Signal Generator");
    EXPECT_EQ(gen->GetOwner(), frame);
    auto* combo2 = qobject_cast<QComboBox*>(Item(gen, 405));
    ASSERT_EQ(combo2->count(), 1);
    EXPECT_EQ(combo2->currentText().toStdString(), "N/A");
    EXPECT_TRUE(combo2->isHidden());
    EXPECT_TRUE(Item(gen, 407)->isHidden());
    auto* combo1 = qobject_cast<QComboBox*>(Item(gen, 404));
    EXPECT_EQ(combo1->count(), 17);
    EXPECT_EQ(combo1->currentText().toStdString(), "1 kHz Tone");
    EXPECT_FALSE(Item(gen, 406)->isEnabled()); // the tone has no parameters
    CRect r;
    gen->GetWindowRect(&r);
    // 216 wide, or as much wider as the box must grow to show its longest name whole; the
    // Details button keeps its place beside the box.
    const int wider = combo1->width() - 106;
    EXPECT_GE(wider, 0);
    EXPECT_EQ(r.Width(), 216 + wider);
    EXPECT_EQ(r.Height(), 116); // the waveform row and the save row
    EXPECT_FALSE(Item(gen, 408)->isHidden());
    EXPECT_EQ(Item(gen, 406)->x(), 116 + wider);
    const int room = Item(gen, 406)->x() - combo1->x();
    EXPECT_GT(room, combo1->fontMetrics().horizontalAdvance("IMD Test Tones"));
    ASSERT_NE(gen->GetWaveform(), nullptr);
    EXPECT_EQ(gen->GetWaveform()->GetSampleRate(), 8000u);
    EXPECT_EQ(gen->GetWaveform()->GetLength(), 80000u); // 10 s, whole cycles
    delete gen;
}

TEST_F(Generator, TwoChannelsKeepTheirOwnWaveformsInOneWave)
{
    output.SigGenNumChannels = 2;
    channel[1].Type = 15;
    CSigGen* gen = Open();
    EXPECT_FALSE(Item(gen, 405)->isHidden());
    EXPECT_EQ(qobject_cast<QComboBox*>(Item(gen, 405))->currentText().toStdString(), "Digital Zero");
    CRect r;
    gen->GetWindowRect(&r);
    EXPECT_EQ(r.Height(), 148);
    const TWaveData* wave = gen->GetWaveform();
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->GetLength(), 80000u);
    double peak = 0.0;
    for (DWORD i = 0; i < wave->GetLength(); i += 7) {
        peak = std::max(peak, const_cast<TWaveData*>(wave)->GetSample(i, 0, false));
        ASSERT_EQ(const_cast<TWaveData*>(wave)->GetSample(i, 1, false), 0.0);
    }
    EXPECT_GT(peak, 32000.0);
    delete gen;
}

TEST_F(Generator, ChoosingAWaveformOpensItsDialogAndRebuildsEvenAfterCancel)
{
    CSigGen* gen = Open();
    ScriptedUser user;
    std::string caption;
    CDialog::ScriptModal([&](CWnd& d) {
        caption = d.GetWindowTextString();
        Click(&d, IDCANCEL);
    });
    Pick(gen, 404, "Pulse");
    Settle(gen);
    EXPECT_EQ(caption, "Pulse Settings");
    EXPECT_EQ(channel[0].Type, 11);
    EXPECT_TRUE(Item(gen, 406)->isEnabled());
    // 10 ms pulses repeated to just over a second.
    ASSERT_NE(gen->GetWaveform(), nullptr);
    EXPECT_EQ(gen->GetWaveform()->GetLength(), 8080u);
    EXPECT_TRUE(gen->IsLoopedWaveform());

    // Details: OK stores the single-shot flag; the signal then plays once.
    CDialog::ScriptModal([&](CWnd& d) {
        Click(&d, 1944);
        Click(&d, IDOK);
    });
    Click(gen, 406);
    Settle(gen);
    EXPECT_EQ(channel[0].Pulse.SingleShot, 1);
    EXPECT_FALSE(gen->IsLoopedWaveform());
    EXPECT_EQ(gen->GetWaveform()->GetLength(), 80u);

    // A waveform without parameters opens nothing.
    Pick(gen, 404, "White Noise");
    Settle(gen);
    EXPECT_FALSE(Item(gen, 406)->isEnabled());
    EXPECT_EQ(gen->GetWaveform()->GetLength(), 480000u);
    delete gen;
}

TEST_F(Generator, OutputThatCannotStartSaysWhyAndStaysIdle)
{
    useCard = 0;
    CSigGen* gen = Open();
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "There are no Durnex KDR-5200 Series data acquisition devices available on your system.");
        Click(gen, 401);
    }
    EXPECT_FALSE(gen->IsRunning());
    EXPECT_FALSE(Item(gen, 401)->isHidden());
    daIndex = 0;
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "Failure opening Durnex KDR-5200 Series data acquisition device.  Please check the "
                             "cabling and retry.");
        Click(gen, 401);
    }
    EXPECT_FALSE(gen->IsRunning());
    EXPECT_EQ(gen->GetWindowTextString(), "Signal Generator");
    // The device itself (the simulator on the USB road) opens, but has no analog output.
    kdrsim::Reset();
    kdrsim::SelectSimulator(true);
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "Failure Configuring KDR5200 Output subsystem.");
        Click(gen, 401);
    }
    EXPECT_FALSE(gen->IsRunning());
    EXPECT_FALSE(Item(gen, 401)->isHidden());
    kdrsim::SelectSimulator(false);
    delete gen;
}

// D/A blocks take the wave's frames in order, channel 0 then 1 in each pair of slots; a looped
// wave starts over at its end, any other goes silent there.
TEST(DeviceOutputBlocks, SlotsFollowTheFramesThenLoopOrFallSilent)
{
    TWaveData stereo(5, TPcmFormat(8000, 2, 2));
    for (DWORD f = 0; f < 5; ++f)
        for (int c = 0; c < 2; ++c)
            ASSERT_TRUE(stereo.SetSample(std::int32_t(f * 10 + c + 1), f, c));
    std::vector<std::int32_t> block(16);
    DWORD position = 1;
    FillDeviceOutputBlock(stereo, position, true, block);
    EXPECT_EQ(block, (std::vector<std::int32_t>{11, 12, 21, 22, 31, 32, 41, 42, 1, 2, 11, 12, 21, 22, 31, 32}));
    EXPECT_EQ(position, 4u);
    FillDeviceOutputBlock(stereo, position, false, block);
    EXPECT_EQ(block, (std::vector<std::int32_t>{41, 42, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(position, 5u);

    TWaveData mono(3, TPcmFormat(8000, 1, 2));
    for (DWORD f = 0; f < 3; ++f)
        ASSERT_TRUE(mono.SetSample(-std::int32_t(f + 1), f, 0));
    std::vector<std::int32_t> odd(7);
    position = 0;
    FillDeviceOutputBlock(mono, position, true, odd);
    EXPECT_EQ(odd, (std::vector<std::int32_t>{-1, -2, -3, -1, -2, -3, -1}));
}

TEST_F(Generator, SavingWritesTheSignalRepeatedBackToBack)
{
    channel[0].Type = 9; // a 100 Hz sawtooth: 80 frames, repeated to 8080
    channel[0].Sawtooth.Frequency = 100.0f;
    CSigGen* gen = Open();
    const auto path =
        std::filesystem::temp_directory_path() / ("durnex-siggen-save-" + std::to_string(::getpid()) + ".wav");
    ASSERT_TRUE(gen->SaveSignalToFile(path.c_str(), 3));
    const std::string check = "python3 -c \"import wave,sys; w=wave.open('" + path.string() +
                              "'); d=w.readframes(w.getnframes()); n=len(d)//3; "
                              "sys.exit(0 if (w.getnframes(),w.getframerate(),w.getsampwidth())==(3*8080,8000,2) "
                              "and d[:n]==d[n:2*n]==d[2*n:] and d[:n]!=bytes(n) else 1)\"";
    EXPECT_EQ(std::system(check.c_str()), 0);
    std::filesystem::remove(path);
    delete gen;
}

TEST_F(Generator, AnUnbuildableSignalIsReportedAndNothingPlays)
{
    channel[0].Type = 16;
    channel[0].FreqStep = {1.0f, 4000.0f, 1.0f, 3, 600000, 1, 1, 0};
    ScriptedUser user;
    user.ExpectBox(IDOK, "Signal Generator - insufficient memory available to build selected waveform.");
    CSigGen* gen = Open();
    EXPECT_EQ(gen->GetWaveform(), nullptr);
    Click(gen, 401);
    EXPECT_FALSE(gen->IsRunning());
    EXPECT_FALSE(gen->SaveSignalToFile("/tmp/never.wav", 1));
    delete gen;
}

TEST_F(Generator, IoSettingsAndCloseGoToTheFrameAndClosingMidBuildIsSafe)
{
    CSigGen* gen = Open();
    Click(gen, 403);
    ASSERT_EQ(frame->ioSettings.size(), 1u);
    EXPECT_EQ(frame->ioSettings[0], 6u);

    const HWND h = gen->GetSafeHwnd();
    QtWidgetOf(gen)->close();
    AfxPumpMessages();
    ASSERT_EQ(frame->closing.size(), 1u);
    EXPECT_EQ(frame->closing[0], reinterpret_cast<LPARAM>(gen));
    EXPECT_TRUE(IsWindow(h));
    delete gen;

    // Sixty seconds of white noise on two channels: deleted while the builder is at work.
    output.SigGenNumChannels = 2;
    output.SigGenSamplingRate = 48000;
    channel[0].Type = channel[1].Type = 0;
    SigGenLinks links;
    links.Channel = channel;
    links.Output = &output;
    auto* busy = new CSigGen;
    ASSERT_TRUE(busy->CreateWnd(frame, 0, 0, links));
    EXPECT_TRUE(busy->IsBuilding());
    delete busy;
    AfxPumpMessages();
}

TEST_F(Generator, AUserWaveIsReadBeforeTheBuildAndAMissingOneLeavesSilence)
{
    const auto path = std::filesystem::temp_directory_path() / ("durnex-siggen-user-" + std::to_string(::getpid()) + ".wav");
    {
        CSigGen* source = Open(); // a 1 kHz tone saved as the user's file
        ASSERT_TRUE(source->SaveSignalToFile(path.c_str(), 1));
        delete source;
    }
    channel[0].Type = 13;
    std::snprintf(channel[0].UserWave.Path, sizeof channel[0].UserWave.Path, "%s", path.c_str());
    CSigGen* gen = Open();
    ASSERT_NE(gen->GetWaveform(), nullptr);
    EXPECT_EQ(gen->GetWaveform()->GetLength(), 80000u);
    EXPECT_NE(const_cast<TWaveData*>(gen->GetWaveform())->GetSample(2, 0, false), 0.0);
    delete gen;

    std::filesystem::remove(path);
    ScriptedUser user;
    user.ExpectBox(IDOK, "Generator - Failure opening file: " + path.string());
    gen = Open();
    EXPECT_EQ(gen->GetWaveform()->GetLength(), 0u);
    delete gen;
}

// User Defined with OK and no file chosen: the message says that no file was chosen (not a
// failure to open a file it cannot name), once, and the channel stays silent.
TEST_F(Generator, UserDefinedWithoutAFileSaysNoneWasChosen)
{
    CSigGen* gen = Open();
    ScriptedUser user;
    user.ExpectBox(IDOK, "Generator - No wave file was chosen for the User Defined signal.");
    CDialog::ScriptModal([&](CWnd& d) {
        static_cast<CDialog&>(d).SetDlgItemText(1947, "");
        Click(&d, IDOK);
    });
    Pick(gen, 404, "User Defined");
    Settle(gen);
    EXPECT_EQ(channel[0].Type, 13);
    EXPECT_EQ(user.Texts().size(), 1u);
    ASSERT_NE(gen->GetWaveform(), nullptr);
    EXPECT_EQ(gen->GetWaveform()->GetLength(), 0u);
    delete gen;
}
