// The device object the frame holds while its layer is not built: the device is never found,
// and every stop, close and read is harmless.
#include "acquisition/TUsbDevice.h"

#include <gtest/gtest.h>

#include <climits>

TEST(UsbDevice, FindsNoDeviceAndStartsNothing)
{
    TUsbDevice device;
    EXPECT_FALSE(device.OpenDevice(nullptr, 0, 1));
    EXPECT_FALSE(device.OpenDevice(nullptr, -1, 1));
    EXPECT_FALSE(device.SetDeviceConfigurationAD(UsbDeviceSettings(), 4096, false, 0));
    EXPECT_FALSE(device.StartInput());
    EXPECT_FALSE(device.IsInputRunning());
    EXPECT_FALSE(device.StartOutput());
}

TEST(UsbDevice, ReadsAreZeroForEveryChannelIndex)
{
    TUsbDevice device;
    for (int ch : {INT_MIN, -1, 0, 3, 7, 8, 9, INT_MAX})
        EXPECT_EQ(device.GetChannelLevel(ch), 0u) << ch;
    EXPECT_EQ(device.GetRingFill(), 0);
    EXPECT_EQ(device.GetRingLength(), 0);
}

TEST(UsbDevice, StopAndCloseAreHarmlessRepeatedAndInAnyOrder)
{
    {
        TUsbDevice input;
        TUsbDevice output;
        output.StopOutput();
        output.CloseDevice();
        output.CloseDevice();
        input.StopInput();
        input.CloseDevice();
        EXPECT_FALSE(input.OpenDevice(nullptr, 0, 1));
        input.CloseDevice();
    } // destroyed without being opened: nothing to release
    SUCCEED();
}
