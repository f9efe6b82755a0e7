// The signal generator's D/A road around a live run on the KDR-5200 (the simulator on the USB
// road): the input keeps the device open between runs, and the generator opens it too, for its
// output format and for its Run (and playback for its own D/A road). Whatever the order, the user hears only what the device itself
// answers (it has no analog output), never that it is busy, and the run is not disturbed.
#include "LiveRunFixture.h"

#include "res/resource.h"
#include "siggen/CSigGen.h"

#include "support/QtTestAccess.h"

using namespace frametest;

namespace {

constexpr const char* kRefused = "Failure Configuring KDR5200 Output subsystem.";

enum class Step { OpenGenerator, Run, Stop, GeneratorRun, PickWhiteNoise, Flow, PlaySegment };

struct Road {
    const char* name;
    std::vector<Step> steps;
};

class GeneratorAfterRun : public livetest::LiveRun {
protected:
    void Settle()
    {
        CSigGen* gen = frame->SigGen.get();
        for (int i = 0; i < 4000 && gen != nullptr && (gen->IsBuilding() || !gen->GetWaveform()); ++i)
            AfxPumpMessages(5);
    }

    void Do(Step step)
    {
        switch (step) {
        case Step::OpenGenerator:
            frame->SendMessage(WM_COMMAND, ID_UTIL_SIGNAL_GENERATOR, 0);
            ASSERT_NE(frame->SigGen, nullptr);
            Settle();
            break;
        case Step::Run:
            frame->ExecuteCommand(ID_RUN);
            AfxPumpMessages(5);
            ASSERT_TRUE(frame->AcquisitionRunning);
            ASSERT_NO_FATAL_FAILURE(Play(200));
            break;
        case Step::Stop:
            frame->ExecuteCommand(ID_STOP);
            AfxPumpMessages(5);
            ASSERT_FALSE(frame->AcquisitionRunning);
            break;
        case Step::GeneratorRun:
            // The device opens and refuses analog output: that refusal is the one word.
            user.ExpectBox(IDOK, kRefused);
            ASSERT_TRUE(QtClickButton(frame->SigGen.get(), 401));
            AfxPumpMessages(5);
            EXPECT_FALSE(frame->SigGen->IsRunning());
            EXPECT_FALSE(QtWidgetOf(frame->SigGen->GetDlgItem(401))->isHidden()) << "back to the idle view";
            break;
        case Step::PickWhiteNoise: {
            // A new waveform asks the device for the output format again.
            auto* combo = qobject_cast<QComboBox*>(QtWidgetOf(frame->SigGen->GetDlgItem(404)));
            ASSERT_NE(combo, nullptr);
            const int at = combo->findText("White Noise");
            ASSERT_GE(at, 0);
            combo->setCurrentIndex(at);
            combo->activated(at);
            Settle();
            break;
        }
        case Step::PlaySegment:
            // The run's take played back on the same D/A path: the frame's output object.
            ASSERT_NE(frame->Settings.Files[0].File, nullptr);
            user.ExpectBox(IDOK, kRefused);
            EXPECT_FALSE(frame->StartSegmentPlayback(0, 0.0f, 0.1f));
            EXPECT_FALSE(frame->Playing);
            break;
        case Step::Flow: {
            // The run still reads the device: every packet of the time played arrives.
            ASSERT_TRUE(frame->AcquisitionRunning);
            const long long before = frame->InputDevice->GetSampleCounter();
            ASSERT_NO_FATAL_FAILURE(Play(400));
            EXPECT_TRUE(frame->AcquisitionRunning);
            EXPECT_GE(frame->InputDevice->GetSampleCounter() - before, 1600 - 16);
            EXPECT_EQ(frame->InputDevice->GetLostPackets(), 0);
            EXPECT_TRUE(frame->InputDevice->IsReading());
            break;
        }
        }
    }
};

} // namespace

TEST_F(GeneratorAfterRun, TheDaRoadAroundALiveRunHearsOnlyTheDevicesRefusal)
{
    const Road roads[] = {
        {"Run, Stop, then the generator's Run", {Step::OpenGenerator, Step::Run, Step::Stop, Step::GeneratorRun}},
        {"Run, Stop, then the generator opened, a waveform picked and run",
         {Step::Run, Step::Stop, Step::OpenGenerator, Step::PickWhiteNoise, Step::GeneratorRun}},
        {"the generator's Run and a new waveform while a run goes on",
         {Step::OpenGenerator, Step::Run, Step::GeneratorRun, Step::Flow, Step::PickWhiteNoise, Step::Flow, Step::Stop}},
        {"Run, Stop, then the take played on the D/A path", {Step::Run, Step::Stop, Step::PlaySegment}},
        {"the generator's Run, then two runs",
         {Step::OpenGenerator, Step::GeneratorRun, Step::Run, Step::Flow, Step::Stop, Step::Run, Step::Flow,
          Step::Stop, Step::GeneratorRun}},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        ASSERT_NO_FATAL_FAILURE(Prepare("0=sine:250:-6"));
        if (frame->SigGen != nullptr) // the last road's start-up configuration reopened it
            frame->SendMessage(WM_COMMAND, ID_UTIL_SIGNAL_GENERATOR, 0);
        frame->Settings.UseSoundCardForOutput = 0; // the D/A path, on the device the run reads
        frame->Settings.DTOutputDeviceIndex = 0;
        frame->Settings.Output.SigGenSamplingRate = 8000;
        frame->Settings.Output.SigGenBitsPerSample = 16;
        for (Step step : road.steps)
            ASSERT_NO_FATAL_FAILURE(Do(step)) << int(step);
        for (const std::string& text : user.Unexpected())
            ADD_FAILURE() << "the user was shown: " << text;
        EXPECT_EQ(user.Pending(), 0u);
        user.Clear();
        frame->StopRunAndPlayback();
        frame->DropAllWaveFiles();
        ASSERT_TRUE(Close());
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        kdrsim::UseTestClock(true);
    }
}
