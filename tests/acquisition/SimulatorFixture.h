// The built-in KDR-5200 simulator as the bus, on a test clock that only the test moves.
#pragma once

#include "acquisition/TUsbDevice.h"
#include "platform/core/Responder.h"
#include "platform/usb/KdrSimulator.h"

#include <gtest/gtest.h>

#include <string>

namespace simtest {

class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        kdrsim::UseTestClock(true);
    }
    void TearDown() override
    {
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
    }

    static void Sources(const std::string& sources)
    {
        std::string error;
        ASSERT_TRUE(kdrsim::ConfigureSources(sources, &error)) << error;
    }

    // Moves the clock in steps of at most a second and waits until the reader has every packet.
    static void Run(DWORD milliseconds)
    {
        while (milliseconds > 0) {
            const DWORD step = milliseconds < 1000 ? milliseconds : 1000;
            kdrsim::AdvanceClock(step);
            ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
            milliseconds -= step;
        }
    }

    // All eight channels enabled at gain 1, 24 bits.
    static UsbDeviceSettings AllChannels()
    {
        UsbDeviceSettings s;
        for (int ch = 0; ch < 8; ++ch) {
            s.Channels[ch].bIsEnabled = 1;
            s.Channels[ch].Gain = 1.0;
        }
        s.BitsPerSample = 24;
        return s;
    }

    // Only `channel` enabled, at gain 1, 24 bits.
    static UsbDeviceSettings OnlyChannel(int channel)
    {
        UsbDeviceSettings s = AllChannels();
        for (int ch = 0; ch < 8; ++ch)
            s.Channels[ch].bIsEnabled = ch == channel ? 1 : 0;
        return s;
    }

    // Opens, configures and starts `device`.
    static void Start(TUsbDevice& device, const UsbDeviceSettings& settings, int largestBlock = 4096)
    {
        ASSERT_TRUE(device.OpenDevice(nullptr, 0, 1));
        ASSERT_TRUE(device.SetDeviceConfigurationAD(settings, largestBlock, false, 0));
        ASSERT_TRUE(device.StartInput());
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000)); // the clock is not moved before the stream starts
    }
};

} // namespace simtest
