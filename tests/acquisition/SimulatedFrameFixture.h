// A headless frame over the KDR-5200 simulator on its test clock, with every message box's
// text kept in `asked` and answered with its default button.
#pragma once

#include "app/FrameFixture.h"

#include "platform/core/MessageBox.h"
#include "platform/usb/KdrSimulator.h"

#include <string>
#include <vector>

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
