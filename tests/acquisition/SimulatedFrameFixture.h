// A headless frame over the KDR-5200 simulator on its test clock, with every message box's
// text kept in `asked` and answered with its default button.
#pragma once

#include "app/FrameFixture.h"

#include "platform/core/MessageBox.h"
#include "platform/usb/KdrSimulator.h"

#include <string>
#include <vector>

// Channel 0 alone at FFT 1024 without decimation, no composite channel, in `mode`.
inline void UseChannelZeroAlone(FrameSettings& s, WORD mode)
{
    s.OpMode = mode;
    for (int ch = 0; ch < 8; ++ch) {
        s.Device.Channels[ch].bIsEnabled = ch == 0 ? 1 : 0;
        s.Processing[ch].FFTsize = 1024;
        s.Processing[ch].DecimationRatio = 1;
    }
    for (auto& c : s.Composite)
        c.bIsEnabled = 0;
}

// An analog level trigger on channel 0 at 1 V, positive, with the given delay and no prompt.
inline void TriggerOnChannelZero(TriggerSettings& t, WORD delayType, float delayMs)
{
    t.TriggerEnabled = 1;
    t.TriggerChannel = 0;
    t.TriggerSource = 0;
    t.TriggerType = 0;
    t.Polarity = 0;
    t.ThresholdVolts = 1.0f;
    t.DelayType = delayType;
    t.DelayMsec = delayMs;
    t.PromptToAccept = 0;
}

class SimulatedFrame : public frametest::FrameFixture {
protected:
    MessageBoxPresenter saved;
    std::vector<std::string> asked;

    void SetUp() override
    {
        FrameFixture::SetUp();
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        kdrsim::UseTestClock(true);
        saved = SetMessageBoxPresenter([this](const MessageBoxRequest& r) {
            asked.push_back(r.text);
            return DefaultMessageBoxAnswer(r.type);
        });
    }
    void TearDown() override
    {
        FrameFixture::TearDown();
        SetMessageBoxPresenter(saved);
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
    }
};
