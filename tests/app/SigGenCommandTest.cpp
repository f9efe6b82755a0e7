// The frame's side of the generator: it opens the window on its own records and saves the
// generated signal through the signal-length question and the save dialog.
#include "FrameFixture.h"

#include "res/SigGenDialogIds.h"
#include "res/resource.h"
#include "platform/usb/KdrSimulator.h"
#include "siggen/CSigGen.h"
#include "wave/TWaveData.h"

#include "support/QtTestAccess.h"

using namespace frametest;

namespace {
class SigGenCommand : public FrameFixture {
protected:
    // Opens the generator on an 8 kHz, 16-bit output and waits for its first waveform.
    void OpenGenerator()
    {
        frame->Settings.Output.SigGenSamplingRate = 8000;
        frame->Settings.Output.SigGenBitsPerSample = 16;
        frame->SendMessage(WM_COMMAND, ID_UTIL_SIGNAL_GENERATOR, 0);
        ASSERT_NE(frame->SigGen, nullptr);
        for (int i = 0; i < 2000 && (frame->SigGen->IsBuilding() || !frame->SigGen->GetWaveform()); ++i)
            AfxPumpMessages(5);
    }
};
} // namespace

TEST_F(SigGenCommand, SaveSignalWritesTheChosenNumberOfCopiesWhereTheUserSaid)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_NO_FATAL_FAILURE(OpenGenerator());
    ASSERT_NE(frame->SigGen->GetWaveform(), nullptr);
    EXPECT_EQ(frame->SigGen->GetWaveform()->GetLength(), 80000u); // the frame's 1 kHz tone, 10 s

    const std::string path = Data("wave/generated.wav");
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(d.GetWindowTextString(), "Signal Length Options");
        qobject_cast<QComboBox*>(QtWidgetOf(d.GetDlgItem(IDC_SAVE_MULTIPLIER)))->setCurrentIndex(1);
        d.SendMessage(WM_COMMAND, IDOK, 0);
    });
    user.ExpectFile(PromptKind::FileSave, path);
    // The generator window's own button is the way in.
    ASSERT_TRUE(QtClickButton(frame->SigGen.get(), 408));
    AfxPumpMessages(5);
    EXPECT_STREQ(frame->Settings.WorkingPaths.Wav, Data("wave").c_str());
    EXPECT_TRUE(Python("import wave,sys\nw = wave.open('" + path +
                       "')\nsys.exit(0 if (w.getnframes(), w.getframerate(), w.getnchannels()) == (160000, 8000, 1) "
                       "else 1)\n"));
}

// Without a sound card the generator's Run says so in one box, and the Runs after it, from the
// window's button or the frame's Run, add none while the window stays open.
TEST_F(SigGenCommand, WithoutASoundCardOneBoxSaysSoOnce)
{
    ASSERT_NE(Start(), nullptr);
    frame->Settings.UseSoundCardForOutput = 1;
    ASSERT_NO_FATAL_FAILURE(OpenGenerator());
    const std::string saved = std::getenv("ALSA_CONFIG_PATH");
    setenv("ALSA_CONFIG_PATH", DURNEX_TEST_DATA "/asound-none.conf", 1);
    user.ExpectBox(IDOK, "No sound card is available on this system.");
    for (int run = 0; run < 3; ++run) {
        ASSERT_TRUE(QtClickButton(frame->SigGen.get(), 401)) << run;
        AfxPumpMessages(5);
        frame->SigGen->StartOutput();
        EXPECT_FALSE(frame->SigGen->IsRunning()) << run;
    }
    setenv("ALSA_CONFIG_PATH", saved.c_str(), 1);
    EXPECT_EQ(user.Texts().size(), 1u);
    EXPECT_EQ(user.Pending(), 0u);
}

// The generator restored open at start-up and never run by the user: a Real Time Run whose
// output cannot start (no sound card; or the KDR-5200's D/A path, which the device lacks) starts
// without stopping on a box, the generator staying idle; the user's own Run of the generator
// then says why.
TEST_F(SigGenCommand, ARunStartsARestoredGeneratorWithoutABoxAboutItsMissingOutput)
{
    struct Road {
        WORD useSoundCard;
        std::vector<const char*> told;
    };
    // The device the live run's input still holds is shared with the generator, which finds no
    // analog output on it.
    for (const Road& road : {Road{1, {"No sound card is available on this system."}},
                             Road{0, {"Failure Configuring KDR5200 Output subsystem."}}}) {
        SCOPED_TRACE("UseSoundCardForOutput " + std::to_string(road.useSoundCard));
        ASSERT_NE(Start(), nullptr);
        frame->Settings.UseSoundCardForOutput = road.useSoundCard;
        if (frame->SigGen == nullptr) // the last road's start-up configuration left it open
            ASSERT_NO_FATAL_FAILURE(OpenGenerator());
        ASSERT_TRUE(Close());
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        kdrsim::UseTestClock(true);
        ASSERT_NE(Start(), nullptr);
        ASSERT_NE(frame->SigGen, nullptr) << "restored at start-up";
        ASSERT_EQ(frame->Settings.UseSoundCardForOutput, road.useSoundCard);
        for (int i = 0; i < 2000 && (frame->SigGen->IsBuilding() || !frame->SigGen->GetWaveform()); ++i)
            AfxPumpMessages(5);
        UseChannelZeroAlone(frame->Settings, 0);
        const std::string saved = std::getenv("ALSA_CONFIG_PATH");
        setenv("ALSA_CONFIG_PATH", DURNEX_TEST_DATA "/asound-none.conf", 1);

        frame->ExecuteCommand(ID_RUN);
        AfxPumpMessages(5);
        EXPECT_TRUE(frame->AcquisitionRunning);
        EXPECT_FALSE(frame->SigGen->IsRunning());
        for (const std::string& text : user.Texts())
            ADD_FAILURE() << "a live run showed: " << text;
        frame->ExecuteCommand(ID_STOP);
        EXPECT_FALSE(frame->AcquisitionRunning);

        for (const char* told : road.told)
            user.ExpectBox(IDOK, told);
        ASSERT_TRUE(QtClickButton(frame->SigGen.get(), 401));
        AfxPumpMessages(5);
        EXPECT_FALSE(frame->SigGen->IsRunning());
        setenv("ALSA_CONFIG_PATH", saved.c_str(), 1);
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
        EXPECT_EQ(user.Texts().size(), road.told.size());
        EXPECT_EQ(user.Pending(), 0u);
        user.Clear();
        frame->DropAllWaveFiles(); // the run's buffers go without Exit's question
        ASSERT_TRUE(Close());
    }
}
