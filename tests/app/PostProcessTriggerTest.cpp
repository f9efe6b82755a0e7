// Triggering in a post-process run over wave files written by Python's wave module: the event is
// found at the sample where the burst starts, the pre-trigger span lies before it, and the
// accept prompt's answers steer the run.
#include "FrameFixture.h"

#include "platform/core/MessageBox.h"
#include "res/resource.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <cmath>

using namespace frametest;

namespace {
constexpr int kRate = 8000;

// 16-bit mono at 8 kHz, silent except a 500 Hz cosine burst at half scale from frame `onset`:
// its first sample is the peak, 5 V with the 10 V full scale of gain 1.
bool WriteBurst(const std::string& path, int onset, int frames)
{
    return Python("import wave, struct, math\n"
                  "w = wave.open('" + path + "', 'wb')\n"
                  "w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)\n"
                  "onset, n = " + std::to_string(onset) + ", " + std::to_string(frames) + "\n"
                  "s = [0 if i < onset else int(16383 * math.cos(2 * math.pi * 500 * (i - onset) / 8000))"
                  " for i in range(n)]\n"
                  "w.writeframes(struct.pack('<%dh' % n, *s))\n"
                  "w.close()\n");
}

class PostProcessTrigger : public FrameFixture {
protected:
    MessageBoxPresenter saved;
    std::vector<std::string> asked;
    std::vector<int> answers;

    void TearDown() override
    {
        SetMessageBoxPresenter(saved);
        FrameFixture::TearDown();
    }

    TWaveFile* Prepare(int onset, float preDelayMsec, bool prompt)
    {
        if (Start() == nullptr)
            return nullptr;
        saved = SetMessageBoxPresenter([this](const MessageBoxRequest& r) {
            asked.push_back(r.text);
            if (answers.empty())
                return DefaultMessageBoxAnswer(r.type);
            const int a = answers.front();
            answers.erase(answers.begin());
            return a;
        });
        frame->SetModePostProcess(false);
        if (!WriteBurst(Data("wave/burst.wav"), onset, 2 * kRate))
            return nullptr;
        auto* file = new TWaveFile(Data("wave/burst.wav"), 0, false, Data("temp"));
        if (file->IsError()) {
            delete file;
            return nullptr;
        }
        frame->Settings.Files[0].File.reset(file);
        ChannelProcessingSettings& p = frame->Settings.Processing[0];
        p.SampleFormat = file->GetFormat();
        p.FFTsize = 256;
        p.DecimationRatio = 1;
        p.OverlapPercent = 50;
        frame->Settings.Calibration[0].IsEnabled = 0;
        frame->Settings.Calibration[0].DTGain = 1.0f;
        frametest::TriggerOnChannelZero(frame->Settings.Trigger, 0, preDelayMsec);
        frame->Settings.Trigger.PromptToAccept = prompt ? 1 : 0;
        return file;
    }

    // Steps until a block has been processed or the run has ended.
    void StepToFirstBlock()
    {
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->PostProcessBusy);
        for (int i = 0; i < 200 && frame->PostProcessBusy && frame->FftsProcessed == 0; ++i)
            frame->PostProcessStep();
    }
};
} // namespace

TEST_F(PostProcessTrigger, BurstIsFoundAtItsOnsetWithThePreTriggerSpanBeforeIt)
{
    const int onset = 5003;
    TWaveFile* file = Prepare(onset, 10.0f, false); // 10 ms = 80 frames before the event
    ASSERT_NE(file, nullptr);
    StepToFirstBlock();
    ASSERT_EQ(frame->FftsProcessed, 1);
    EXPECT_TRUE(frame->TriggerDetected);
    // The block began at onset - 80, then the file moved on by one hop.
    EXPECT_EQ(file->GetPosition(), DWORD(onset - 80 + 128));
    TSampleBuffer* b = frame->SampleBuffer[0];
    ASSERT_NE(b, nullptr);
    for (DWORD i = 0; i < 80; ++i)
        ASSERT_EQ(b->GetSample(i, false), 0.0) << i;
    EXPECT_NEAR(b->GetSample(80, false), 16383.0, 1.0);
    frame->ExecuteCommand(ID_STOP);
}

TEST_F(PostProcessTrigger, PreDelayBeforeTheFileStartBeginsTheBlockAtFrameZero)
{
    TWaveFile* file = Prepare(40, 10.0f, false);
    ASSERT_NE(file, nullptr);
    StepToFirstBlock();
    ASSERT_EQ(frame->FftsProcessed, 1);
    EXPECT_EQ(file->GetPosition(), 128u);
    EXPECT_EQ(frame->SampleBuffer[0]->GetSample(39, false), 0.0);
    EXPECT_NEAR(frame->SampleBuffer[0]->GetSample(40, false), 16383.0, 1.0);
    frame->ExecuteCommand(ID_STOP);
}

TEST_F(PostProcessTrigger, PromptNoSearchesOnAndCancelStopsTheRun)
{
    TWaveFile* file = Prepare(1000, 0.0f, true);
    ASSERT_NE(file, nullptr);
    answers = {IDNO, IDCANCEL};
    frame->ExecuteCommand(ID_RUN);
    for (int i = 0; i < 50 && asked.empty(); ++i)
        frame->PostProcessStep();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Accept This Trigger Event?");
    // No: nothing analysed, the run goes on searching after the refused piece.
    EXPECT_EQ(frame->FftsProcessed, 0);
    EXPECT_TRUE(frame->PostProcessBusy);
    EXPECT_FALSE(frame->TriggerDetected);
    for (int i = 0; i < 50 && frame->PostProcessBusy; ++i)
        frame->PostProcessStep();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_FALSE(frame->PostProcessBusy);
    EXPECT_EQ(frame->FftsProcessed, 0);
}

TEST_F(PostProcessTrigger, TwoTachometerFilesRefuseToStart)
{
    ASSERT_NE(Prepare(1000, 0.0f, false), nullptr);
    auto* second = new TWaveFile(Data("wave/burst.wav"), 0, false, Data("temp"));
    ASSERT_FALSE(second->IsError());
    frame->Settings.Files[1].File.reset(second);
    for (int ch : {0, 1}) {
        frame->Settings.Calibration[ch].IsEnabled = 1;
        frame->Settings.Calibration[ch].RefUnits = kUnitRpm;
    }
    frame->ExecuteCommand(ID_RUN);
    EXPECT_FALSE(frame->PostProcessBusy);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].substr(0, 41), "Multiple files contain tachometer data.  ");
}
